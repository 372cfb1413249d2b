#include "English.h"

namespace
{
// Texts no code shows; kept in their slots so the numbering stays readable.
constexpr const char* kReplaceCaption = "置換";
constexpr const char* kEditSettingCaption = "エディタの設定";
constexpr const char* kProjectOpenFailed = "プロジェクトファイル[%s]のオープンに失敗しました";
constexpr const char* kQuitWhileRunning = "現在プログラム実行中です、終了してよろしいですか";
constexpr const char* kSaveFileQuestion = "ファイル[%s]の保存を行いますか。";
constexpr const char* kNameWithSpace = "ファイル名にスペース文字を含むファイル[%s]は登録できません。";

constexpr int kLastShownSlot = msTranslateFont;
static_assert(kLastShownSlot == kMsgSlotCount - 1);
} // namespace

const char* const MsgTable[kMsgSlotCount] = {
    /* 0 */ msgReplaceQuestionTail,
    /* 1 */ msgReplaceNotFound,
    /* 2 */ kReplaceCaption,
    /* 3 */ msgNoPreviewPage,
    /* 4 */ msgNoPrintPage,
    /* 5 */ msgJumpNoNumber,
    /* 6 */ msgJumpNoSuchLine,
    /* 7 */ msgTabSizeRange,
    /* 8 */ kEditSettingCaption,
    /* 9 */ msgOpenFilter,
    /* 10 */ msgOpenFilter,
    "", "", "", "", "", // 11-15
    /* 16 */ msgRecentOpenFailed,
    /* 17 */ kProjectOpenFailed,
    "", "", // 18-19
    /* 20 */ msgOpenFailed,
    /* 21 */ msgWriteProtected,
    /* 22 */ msgFileLocked,
    /* 23 */ msgSaveChanges,
    /* 24 */ kQuitWhileRunning,
    /* 25 */ kSaveFileQuestion,
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", // 26-42
    /* 43 */ msgGrepRunning,
    "", // 44
    /* 45 */ kNameWithSpace,
    "", // 46
    /* 47 */ msgChangedOnDisk,
    "", // 48
    /* 49 */ msgWallpaperMissing,
    /* 50 */ msgWallpaperFolderEmpty,
    /* 51 */ msgSearchHasLineEnd,
    /* 52 */ msgNoPrinter,
    "", // 53
    /* 54 */ msgInsertMode,
    /* 55 */ msgOverwriteMode,
    /* 56 */ msgGrepNotFound,
    "", // 57
    /* 58 */ msgPageLimit,
    "", "", // 59-60
    /* 61 */ msgUrlHome,
    /* 62 */ msgUrlProduct,
    /* 63 */ msgUrlContact,
    /* 64 */ msgUrlUpdate,
    "", "", "", "", "", "", "", "", // 65-72: texts of dialogs the program does not show
    /* 73 */ msgGrepFolderTitle,
    "", // 74
    /* 75 */ msgGrepNoFolder,
    /* 76 */ msgGrepNoText,
    "", // 77
    /* 78 */ msgFolderSetTitle,
    "", "", "", // 79-81
    /* 82 */ msgPictureFilter,
    /* 83 */ msgPictureUnreadable,
    /* 84 */ msgPictureFolderEmpty,
    /* 85 */ msgConfirmPicture,
    /* 86 */ msgPictureSetFailed,
    /* 87 */ msgConfirmRemoveWallpaper,
    /* 88 */ msgBlendRange,
    /* 89 */ msgBlendRangeAgain,
    /* 90 */ msgTextBlendRange,
    "", // 91
    /* 92 */ msgWallpaperFolderTitle,
    /* 93 */ msgChosenFolderEmpty,
    "", // 94
    /* 95 */ msgHelpCalc,
    /* 96 */ msgHelpDate,
    "", // 97
    /* 98 */ msgHelpTime,
    /* 99 */ msgFindNotFound,
    /* 100 */ msgTranslateFont,
};

const char* MsgText(int slot)
{
    if (slot < 0 || slot >= kMsgSlotCount)
        return "";
    return MsgTable[slot];
}

bool TranslateForm(TObject*, const typTranslateRow*) { return true; }
