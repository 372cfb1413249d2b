// The settings store and the settings records. Every setting lives under one registry key of the
// current user, one subkey per section. Each section has one reader and one writer; each of them
// opens its own WXRegIni, handles its section and closes the store again, so no store outlives a
// call. Readers carry the defaults and refuse damaged values (wrong type, out of range) in favour
// of the default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "common/ColorRec.h"
#include "common/Nscontainers.h"
#include "platform/AnsiString.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

class TCustomAFEdit;

VN_DECLARE_EXCEPTION(ERegistryException, Exception)

// An INI-style reader and writer over a registry key of HKEY_CURRENT_USER: a section is a subkey,
// a key is a value. Names and text go to the registry as UTF-16 converted from CP932.
// Reading never fails: a missing section or value, or one of the wrong type, gives the default.
// Writing raises ERegistryException when the registry refuses.
class WXRegIni : public TObject
{
public:
    // Opens rootKey (creating it when missing) with full access; ERegistryException on failure.
    explicit WXRegIni(const AnsiString& rootKey);
    WXRegIni(); // the program's own key
    ~WXRegIni() override;
    WXRegIni(const WXRegIni&) = delete;
    WXRegIni& operator=(const WXRegIni&) = delete;

    const AnsiString& RootKey() const { return rootKey_; }

    // REG_SZ or REG_EXPAND_SZ (not expanded); any other type gives def.
    AnsiString ReadString(const AnsiString& section, const AnsiString& ident, const AnsiString& def);
    void WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value);
    // REG_DWORD, or a decimal text; anything else gives def.
    int ReadInteger(const AnsiString& section, const AnsiString& ident, int def);
    // REG_DWORD, except over an existing text value, which stays text (its decimal form).
    void WriteInteger(const AnsiString& section, const AnsiString& ident, int value);
    // ReadInteger with the default 0 or 1; true when not 0.
    bool ReadBool(const AnsiString& section, const AnsiString& ident, bool def);
    // The text "1" or "0".
    void WriteBool(const AnsiString& section, const AnsiString& ident, bool value);
    // The value names of the section (cleared first; empty when the section is missing).
    void ReadSection(const AnsiString& section, TStrings* idents);
    // Deletes the section's subkey with everything under it; a missing section is no error.
    void EraseSection(const AnsiString& section);
    void DeleteKey(const AnsiString& section, const AnsiString& ident);
    bool SectionExists(const AnsiString& section);
    bool ValueExists(const AnsiString& section, const AnsiString& ident);

private:
    // Null when the section is missing (read); raises when it cannot be made (write).
    HKEY OpenSection(const AnsiString& section, bool forWrite);
    // The value's type and bytes; false when the section or the value is missing.
    bool QueryValue(const AnsiString& section, const AnsiString& ident, DWORD& type, std::string& data);
    void SetValue(const AnsiString& section, const AnsiString& ident, DWORD type, const void* data, DWORD size);

    AnsiString rootKey_;
    HKEY root_ = nullptr;
};

namespace VN
{
// "Software\Orvane\Varnolet" under HKEY_CURRENT_USER.
extern const char* const kRegistryKey;
extern const char* const kEditSettingSection; // "EDITSETTING"
extern const char* const kWallpaperSection;   // "WALLPAPER"

// The editor settings. Field names are the keys they are stored under; one global instance
// (EditSetting) lives for the whole run.
struct typEditSetting
{
    bool IS_REMAIN = false;
    nsString FONT_NAME;
    int FONT_SIZE = 0;
    TColor 色_文字 = 0;   // the editor's background (its Color)
    TColor NORMAL_COLOR = 0; // not stored: 色_背景's colour, for the machine-dependent characters
    typColorRec 色_背景;   // normal text
    typColorRec 色_選択文字;
    typColorRec 色_強調文字列;
    typColorRec 色_行番号;   // line numbers and the left margin
    typColorRec 色_ルーラー; // column numbers and the column indicator
    typColorRec 色_検索文字列[3];
    int ROWPITCH = 0;
    bool DISPROWNUM = false;
    bool DISPRULA = false;
    bool AUTO_INDENT = false;
    int TABSIZE = 0;
    bool UNDOBSAVE = false; // kept for the settings dialog; the editor does not use it
    bool DISPTAB = false;
    bool DISSPACE2 = false;
    bool BACKUPFILE = false;
    bool ISWRAP = false;
    int WRAPWIDTH = 0;
    bool USETAB = false;
    // Stored in WALLPAPER (written with the wallpaper settings), read with these.
    bool TRANSPARENCY = false;
    int ALPHA_VALUE = 0;
    TColor STR_BKCOLOR = 0;
    int STR_BK_ALPHA = 0;
    bool STR_TRANSPARENCY = false;
    bool KINSOKU = false;
    nsString BANHEAD;
    nsString BANEND;
    int WINDOW_ALPHABLENDVALUE = 0;

    friend bool operator==(const typEditSetting& a, const typEditSetting& b);
    friend bool operator!=(const typEditSetting& a, const typEditSetting& b) { return !(a == b); }
};

extern typEditSetting EditSetting;

// What the reader gives for a key that is missing or damaged.
typEditSetting EditSettingDefaults();

// The ranges the settings dialog allows; the reader refuses anything else.
constexpr int kFontSizeMin = 7, kFontSizeMax = 30;
constexpr int kRowPitchMin = 0, kRowPitchMax = 99;
constexpr int kTabSizeMin = 1, kTabSizeMax = 16;
constexpr int kWrapWidthMin = 10, kWrapWidthMax = 999;
constexpr int kAlphaMin = 0, kAlphaMax = 255;
// The line-breaking strings' edits set no maximum of their own, so they hold what an edit control
// takes by default: 32,767 characters. A longer stored value is cut there on reading.
constexpr int kBanCharsMax = 32767;

// What the printing component holds (its setters clamp to these); the print settings reader
// refuses anything else.
constexpr int kPrintMarginMax = 100; // margins, line spacing and the column gap, mm
constexpr int kPrintColumnsMax = 3;
constexpr int kPrintNumberMax = 999999; // pages and line numbers
} // namespace VN

// Classes above this library that hold part of the editor settings (the editor page: link and
// wallpaper colours, blending, backup, tab use, comment mode; the main window: its alpha value)
// implement this. ApplyEditSetting finds them by dynamic_cast on the editor and on its form, so
// this library never includes them.
class TEditSettingTarget
{
public:
    virtual void ApplyEditSetting(const VN::typEditSetting& setting) = 0;

protected:
    ~TEditSettingTarget() = default;
};

// The colour record under key: {colour, bkcolour, no flags} when the value is missing, empty or
// damaged; a missing field keeps its start value.
typColorRec ReadColorRec(WXRegIni* ini, const AnsiString& section, const AnsiString& key, TColor colour,
                         TColor bkcolour);
void WriteColorRec(WXRegIni* ini, const AnsiString& section, const AnsiString& key, const typColorRec& rec);

// Section EDITSETTING and the five text-blending keys of WALLPAPER, into / from a record.
void ReadEditSetting(VN::typEditSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
// Section EDITSETTING only: the WALLPAPER keys go with the wallpaper settings.
void WriteEditSetting(const VN::typEditSetting& setting = VN::EditSetting,
                      const AnsiString& rootKey = VN::kRegistryKey);

// A null editor reads the settings into VN::EditSetting; an editor gets VN::EditSetting applied.
void LoadEditSetting(TCustomAFEdit* editor, const AnsiString& rootKey = VN::kRegistryKey);

// Sets the editor from the record. A change of the folding (wrap on or off, wrap width, or, while
// wrapping, tab size and line-breaking rules) re-folds every row at once, visible or not: the
// text, the edited state, the caret and the selection keep their place; the undo history is
// cleared. Without such a change the history is kept.
void ApplyEditSetting(TCustomAFEdit* editor, const VN::typEditSetting& setting);

// The program's folder, without a trailing backslash except at a drive root.
nsString GetAppDir();

// ---- Platform services ------------------------------------------------------------------------

// The help file, in the program's folder.
AnsiString HelpFilePath();
// Opens the help at the index entry of keyword (through the services); false when no help window
// came up.
bool ShowHelp(HWND owner, const AnsiString& keyword);

// The Japanese (Shift-JIS) font faces of the screen, in the order the system lists them; vertical
// ("@") faces are left out, and without allPitches so are proportional ones. At most 4096 faces are
// looked at.
struct typFontList
{
    int32_t count = 0;
    char** names = nullptr; // count owned C strings
};
void EnumJapaneseFonts(typFontList& list, bool allPitches);
void FreeFontList(typFontList& list);

// One entry of a folder listing.
struct typFolderEntry
{
    AnsiString name;
    DWORD attributes = 0;
    int64_t size = 0;
    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A junction or symbolic link: a scan that follows it may come back to where it started.
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};
// The entries matching pattern ("folder\\*.jpg"), "." and ".." left out: 0 when the pattern matched
// anything (even only those two), -1 when nothing.
int ListFolder(std::vector<typFolderEntry>& list, const AnsiString& pattern);

// Runs the screen saver of SCREENSAVER_FILE inside window, as its preview. The process handle, or
// null (with message set to what to tell, empty when there is nothing to tell) when none is set
// or it cannot start.
HANDLE StartScreenSaverPreview(HWND window, AnsiString& message, const AnsiString& rootKey = VN::kRegistryKey);
// Ends the preview and closes its handle; harmless for a process that has ended or for null.
void StopScreenSaverPreview(HANDLE process);

// Brings window to the foreground even from behind another program's window.
void ForceForegroundWindow(HWND window);

// ---- Window, history and dialog settings ------------------------------------------------------
// Each section below has one reader and one writer, each opening its own store. The readers fill
// plain records; the windows apply them, so this library never knows the windows.
namespace VN
{
extern const char* const kStandardSection;    // "STANDARD": recent files, window and dock layout
extern const char* const kEmphasisSection;    // 強調文字列
extern const char* const kPrinterSection;     // "PRINTER"
extern const char* const kSearchSection;      // "SEARCH": find, file search and replace
extern const char* const kCommandSection;     // "COMMAND"
extern const char* const kReopenSection;      // "REOPEN"
extern const char* const kScreenSaverSection; // "SCREENSAVER"
extern const char* const kNoExtensionName;    // 拡張子無: the value name for files without extension

constexpr int kFileHistoryCount = 5;   // recent files kept, newest first
constexpr int kSearchHistoryMax = 30;  // entries the search dialogs keep in their histories
constexpr int kCommandCount = 3;       // external commands

// The emphasized strings of one file extension (without the dot; empty for no extension), one
// string a line, lines separated by CR LF. Ordered by extension, case-blind.
struct typEmphItem
{
    nsString extension;
    nsString words;
    explicit typEmphItem(const nsString& ext) : extension(ext) {}
};
inline int NsListCompare(const typEmphItem& a, const typEmphItem& b)
{
    return CompareNsString(a.extension, b.extension);
}

// One file open at the last exit; flag 1: listed but not reopened.
struct typReopen
{
    unsigned char flag = 0;
    nsString path;
};

// The search-results window's place: docked (1) or floating (0), visible (1), top, left, width,
// height, undocked width, undocked height.
struct typDockMessage
{
    int docked = 1, visible = 1, top = 0, left = 0, width = 540, height = 140, undockWidth = 540,
        undockHeight = 140;
    friend bool operator==(const typDockMessage&, const typDockMessage&) = default;
};
// Eight comma-separated integers; a missing or damaged text gives the default record. A height
// below 16 becomes 16.
typDockMessage ParseDockMessage(const AnsiString& text);
AnsiString FormatDockMessage(const typDockMessage& dock);

struct typWindowState
{
    int left = 100, top = 100, width = 800, height = 600;
    bool maximized = false;
    bool statusBar = true;
    int dockBottomHeight = 100;
    typDockMessage dock;
    friend bool operator==(const typWindowState&, const typWindowState&) = default;
};

struct typPrinterSetting
{
    nsString fontName; // ＭＳ ゴシック
    int fontSize = 9;
    int marginLeft = 15, marginRight = 15, marginTop = 15, marginBottom = 15;
    int marginLine = 2;
    int rangeOption = 0; // roWhole, roLimited
    int startPage = 1, lastPage = 1;
    int pageOption = 0; // poBoth, poOdd, poEven
    bool lineNumber = false;
    int columnCount = 1, columnSpace = 4;
    nsString header, footer;
    int headerAlign = 0, footerAlign = 0; // haNone, haLeft, haCenter, haRight
    friend bool operator==(const typPrinterSetting&, const typPrinterSetting&) = default;
};
typPrinterSetting PrinterSettingDefaults();

// Find and file-search settings. Histories are list texts, one entry a line ending in CR LF.
struct typSearchSetting
{
    int allSearchType = 0; // 0 the active page, 1 all open pages
    AnsiString searchHistory;
    bool searchCase = false, searchWord = false;
    int fileSearchType = 0; // 0 the project, 1 the given folder
    bool fileSearchWord = false, fileSearchCase = false, fileSearchRegular = false, fileSearchSubDir = false;
    AnsiString fileSearchStrHistory, fileSearchNameHistory, fileSearchDirHistory;
    friend bool operator==(const typSearchSetting&, const typSearchSetting&) = default;
};

// Replace settings; its histories keep blank lines.
struct typReplaceSetting
{
    AnsiString searchHistory, replaceHistory;
    bool replaceCase = false, replaceWord = false, confirm = false;
    int range = 0; // 0 whole text, 1 from the caret
    friend bool operator==(const typReplaceSetting&, const typReplaceSetting&) = default;
};

struct typWallpaperSetting
{
    nsString file;
    bool folderMode = false; // false one picture, true a folder of pictures
    nsString folder;
    int minutes = 3, seconds = 0; // the change interval
    unsigned IntervalMs() const { return unsigned(minutes) * 60000u + unsigned(seconds) * 1000u; }
    friend bool operator==(const typWallpaperSetting&, const typWallpaperSetting&) = default;
};

// The process-wide lists of this section, built at start-up and freed at exit.
extern nsList<nsString> FileHistory;
extern nsList<typEmphItem> EmphasisList;
} // namespace VN

// STANDARD 履歴_01..履歴_05: the list is cleared and always gets five entries, empty ones included.
void ReadFileHistory(nsList<nsString>& history = VN::FileHistory, const AnsiString& rootKey = VN::kRegistryKey);
// Entries 0..4; a missing entry is written empty.
void WriteFileHistory(const nsList<nsString>& history = VN::FileHistory,
                      const AnsiString& rootKey = VN::kRegistryKey);

// STANDARD window and dock keys.
VN::typWindowState ReadWindowState(const AnsiString& rootKey = VN::kRegistryKey);
// The bounds are the normal (not maximised) ones; the bottom dock height is written as at least 20.
void WriteWindowState(const VN::typWindowState& state, const AnsiString& rootKey = VN::kRegistryKey);

// 強調文字列: one value per extension.
void ReadEmphasisList(nsList<VN::typEmphItem>& list = VN::EmphasisList,
                      const AnsiString& rootKey = VN::kRegistryKey);
void WriteEmphasisList(nsList<VN::typEmphItem>& list = VN::EmphasisList,
                       const AnsiString& rootKey = VN::kRegistryKey);
// The entry for the path's extension (case-blind), or null.
const VN::typEmphItem* FindEmphasis(nsList<VN::typEmphItem>& list, const AnsiString& path);

void ReadPrinterSettings(VN::typPrinterSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
void WritePrinterSettings(const VN::typPrinterSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);

// A history text without the lines that are blank after trimming.
AnsiString CleanHistoryText(const AnsiString& text);
void ReadSearchSettings(VN::typSearchSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
void WriteSearchSettings(const VN::typSearchSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
void ReadReplaceSettings(VN::typReplaceSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
void WriteReplaceSettings(const VN::typReplaceSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);

// COMMAND EXE_01..EXE_03 and EXE_SAVED.
void ReadCommandSettings(nsArray<nsString>& commands, bool& saved, const AnsiString& rootKey = VN::kRegistryKey);
void WriteCommandSettings(const nsArray<nsString>& commands, bool saved,
                          const AnsiString& rootKey = VN::kRegistryKey);

// WALLPAPER, the main window's part. The writer also stores the text-blending keys of the editor
// settings record.
void ReadWallpaperSettings(VN::typWallpaperSetting& setting, const AnsiString& rootKey = VN::kRegistryKey);
void WriteWallpaperSettings(const VN::typWallpaperSetting& setting,
                            const VN::typEditSetting& edit = VN::EditSetting,
                            const AnsiString& rootKey = VN::kRegistryKey);

// REOPEN: the files open at the last exit and whether to reopen them at start.
// active gets the index in list of the entry that was the active page (-1: none).
void ReadReopenList(nsList<VN::typReopen>& list, bool& reopen, const AnsiString& rootKey = VN::kRegistryKey,
                    int* active = nullptr);
// Keys past the new count stay and are ignored. active is the index in list of the active page's
// entry (-1: none).
void WriteReopenList(const nsList<VN::typReopen>& list, bool reopen,
                     const AnsiString& rootKey = VN::kRegistryKey, int active = -1);

AnsiString ReadScreenSaver(const AnsiString& rootKey = VN::kRegistryKey);
void WriteScreenSaver(const AnsiString& path, const AnsiString& rootKey = VN::kRegistryKey);

// ---- Editor-lock password ---------------------------------------------------------------------
// The password lies scrambled in 13 bytes of a 32768-byte data file beside the program. Neither
// routine throws; every failure is a result the caller shows with LockStoreMessage.

constexpr int kLockImageSize = 32768;
constexpr int kLockPasswordMax = 12; // bytes

enum TLockStoreResult
{
    lsOk,
    lsWrongPassword, // the current password given does not match
    lsTooLong,       // the new password has more than kLockPasswordMax bytes
    lsUnusable,      // missing, read-only or held by another program
    lsDamaged,       // not kLockImageSize bytes, a check value that does not match its bytes, or no
                     // password in them that the password fields could give
    lsNotWritten,    // a write or its read-back failed; the old password stays
    lsUntypeable,    // the new password holds a byte that the password fields cannot give
};

// "Varnolet.dll" in the program's folder, unless another file was set (tests use their own).
AnsiString LockPasswordFile();
void SetLockPasswordFile(const AnsiString& path); // empty: back to the program's folder
// The file as installed: it holds the empty password.
std::vector<unsigned char> LockPasswordImage();

TLockStoreResult LoadLockPassword(nsString& password);
// Replaces the password when current (null: empty) is the stored one. Only the password's bytes
// are written; the file's times stay as they were.
TLockStoreResult StoreLockPassword(const char* current, const char* newPassword);
// The box text for a failure of the file itself ("" for lsOk, lsWrongPassword and lsTooLong).
AnsiString LockStoreMessage(TLockStoreResult result);

// For tests: asked before each stored byte is written; false makes that write fail.
using TLockWriteProbe = bool (*)(int index);
void SetLockWriteProbe(TLockWriteProbe probe);
// For tests: the file positions of the password's 13 bytes, then those of their check value.
std::vector<int> LockStoreBytePositions();
