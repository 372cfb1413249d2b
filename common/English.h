// The message catalogue: every text shown in a message box, and a few dialog titles, filters and
// help keywords. Slots are addressed by number (MsgTable) or by the named constants below; the
// constants are what callers use, so the compiler checks their "%s" against the arguments.
#pragma once

class TObject;

constexpr int kMsgSlotCount = 101;
extern const char* const MsgTable[kMsgSlotCount];
// The text of a slot; "" for an empty or unknown slot.
const char* MsgText(int slot);

// Slot numbers of the texts the program shows.
enum TMsgSlot
{
    msReplaceQuestionTail = 0,
    msReplaceNotFound = 1,
    msNoPreviewPage = 3,
    msNoPrintPage = 4,
    msJumpNoNumber = 5,
    msJumpNoSuchLine = 6,
    msTabSizeRange = 7,
    msOpenFilter = 9,
    msRecentOpenFailed = 16,
    msOpenFailed = 20,
    msWriteProtected = 21,
    msFileLocked = 22,
    msSaveChanges = 23,
    msGrepRunning = 43,
    msChangedOnDisk = 47,
    msWallpaperMissing = 49,
    msWallpaperFolderEmpty = 50,
    msSearchHasLineEnd = 51,
    msNoPrinter = 52,
    msInsertMode = 54,
    msOverwriteMode = 55,
    msGrepNotFound = 56,
    msPageLimit = 58,
    msUrlHome = 61,
    msUrlProduct = 62,
    msUrlContact = 63,
    msUrlUpdate = 64,
    msGrepFolderTitle = 73,
    msGrepNoFolder = 75,
    msGrepNoText = 76,
    msFolderSetTitle = 78,
    msPictureFilter = 82,
    msPictureUnreadable = 83,
    msPictureFolderEmpty = 84,
    msConfirmPicture = 85,
    msPictureSetFailed = 86,
    msConfirmRemoveWallpaper = 87,
    msBlendRange = 88,
    msBlendRangeAgain = 89,
    msTextBlendRange = 90,
    msWallpaperFolderTitle = 92,
    msChosenFolderEmpty = 93,
    msHelpCalc = 95,
    msHelpDate = 96,
    msHelpTime = 98,
    msFindNotFound = 99,
    msTranslateFont = 100,
};

// The texts themselves. A text with "%s" is a format: pass it to a box routine with its argument.
inline constexpr const char* msgReplaceQuestionTail = "' を置き換えますか";
inline constexpr const char* msgReplaceNotFound = "検索文字列 '%s' が見つかりません。";
inline constexpr const char* msgNoPreviewPage = "プレビュー表示対象のページが存在しません";
inline constexpr const char* msgNoPrintPage = "印刷対象のページが存在しません";
inline constexpr const char* msgJumpNoNumber = "ジャンプする行番号を指定して下さい";
inline constexpr const char* msgJumpNoSuchLine = "%s 行目は存在しません";
inline constexpr const char* msgTabSizeRange = "タブサイズは１～１６の間で設定して下さい";
inline constexpr const char* msgOpenFilter =
    "テキスト(*.txt,*.inf,*.bat,*.ini)|*.txt;*.inf;*.bat;*.ini|HTML関連(*.htm,*.html)|*.htm;*.html|"
    "全てのファイル(*.*)|*.*";
inline constexpr const char* msgRecentOpenFailed = "ファイル[%s]のオープンに失敗しました";
inline constexpr const char* msgOpenFailed =
    "ファイル[%s]のオープンに失敗しました。\nファイル名が正しいかチェックしてください。";
inline constexpr const char* msgWriteProtected =
    "ファイル[%s]は書き込みが禁止されています、読み込み専用で開きます。";
inline constexpr const char* msgFileLocked =
    "ファイル[%s]は他のプロセスによってロックされています、読み出し専用でオープンされます。";
inline constexpr const char* msgSaveChanges = "%s を保存しますか";
inline constexpr const char* msgUntitledChanged = "ﾌｧｲﾙ[無題]の内容は変更されています\n変更を保存しますか?";
inline constexpr const char* msgFileChanged = "ﾌｧｲﾙ[%s]の内容は変更されています\n変更を保存しますか?";
// Added to the changed-on-disk question when a reload would throw away edits.
inline constexpr const char* msgReloadDiscardsEdits =
    "\n（このページには保存していない変更があります。読み込むと変更は失われます。）";
inline constexpr const char* msgGrepHitLimit = "ヒット数が上限に達したため、検索を中止しました。";
inline constexpr const char* msgBoxSelectionNoReplace = "矩形選択の範囲は置換できません。";
// Asked when the backup copy could not be made; Yes saves without it (No is the default).
inline constexpr const char* msgBackupFailed =
    "バックアップファイル[%s]を作成できませんでした。\n%s\n前回のバックアップはそのまま残っています。"
    "\nバックアップを作らずに上書き保存しますか?";
inline constexpr const char* msgBackupNotReplaced =
    "ファイル[%s]は保存しましたが、バックアップファイル[%s]を置き換えられませんでした。\n%s\n"
    "保存する前の内容はファイル[%s]に残してあります。";
inline constexpr const char* msgSaveFailed = "ファイル[%s]の保存に失敗しました。\n%s";
// The last %s of these is the number of bytes from the first NUL byte to the end of the file.
inline constexpr const char* msgTruncatedAtNul =
    "ファイル[%s]には NUL 文字が含まれているため、その手前までを読み込みました"
    "（NUL 文字から後の %s バイトは読み込んでいません）。";
inline constexpr const char* msgTruncatedUtf16 =
    "ファイル[%s]は UTF-16 のテキストのようです。このエディタは Shift-JIS のテキストを扱うため、"
    "最初の NUL 文字の手前までを読み込みました（NUL 文字から後の %s バイトは読み込んでいません）。";
inline constexpr const char* msgOverwriteTruncated =
    "ファイル[%s]は途中までしか読み込まれていません。\n上書き保存すると、NUL 文字から後の %s バイトが"
    "失われます。保存しますか?";
inline constexpr const char* msgOverwriteTruncatedUtf16 =
    "ファイル[%s]は UTF-16 のテキストのようで、途中までしか読み込まれていません。\n上書き保存すると、"
    "NUL 文字から後の %s バイトが失われます。保存しますか?";
// A name too long for Windows; the %s are its length in characters and the name (shortened).
inline constexpr const char* msgNameTooLong =
    "ファイル名が長すぎるため開けません（%s 文字）。\n%s\nWindows で扱えるファイル名は、"
    "全体で 32767 文字まで、フォルダー名やファイル名の一つ一つは 255 文字までです。";
inline constexpr const char* msgSaveNameTooLong =
    "ファイル名が長すぎるため保存できません（%s 文字）。\n%s\nWindows で扱えるファイル名は、"
    "全体で 32767 文字まで、フォルダー名やファイル名の一つ一つは 255 文字までです。";
inline constexpr const char* msgOpenFailedBecause = "ファイル[%s]を開けませんでした。\n%s";
inline constexpr const char* msgReloadFailed =
    "ファイル[%s]を読み込み直せませんでした。\n%s\nページの内容は読み込む前のままです。";
inline constexpr const char* msgOutOfMemory =
    "メモリが足りません。ほかのファイルやプログラムを閉じてから、もう一度お試しください。";
inline constexpr const char* msgUnexpectedError = "予期しないエラーが発生しました。";
// Save As onto the file of another page that holds unsaved edits (No is the default).
inline constexpr const char* msgSaveAsOpenElsewhere =
    "ファイル[%s]は別のページで開かれていて、そのページには保存していない変更があります。\n"
    "上書き保存しますか?\n（そのページの変更はそのまま残り、ファイルが更新されたことをそのページで"
    "お知らせします）";
// Asked before a save over a file whose time or size changed since it was read or saved (No is
// the default).
inline constexpr const char* msgOverwriteChangedOnDisk =
    "ファイル[%s]は、読み込んだ後（または前回保存した後）に他のプログラムによって変更されています。\n"
    "上書き保存すると、その変更は失われます。上書き保存しますか?";
// As msgBackupFailed, when there was no earlier backup to keep.
inline constexpr const char* msgBackupFailedNoEarlier =
    "バックアップファイル[%s]を作成できませんでした。\n%s\nバックアップを作らずに上書き保存しますか?";
// As msgBackupNotReplaced, when there was no earlier backup to replace.
inline constexpr const char* msgBackupNotMade =
    "ファイル[%s]は保存しましたが、バックアップファイル[%s]を作成できませんでした。\n%s\n"
    "保存する前の内容はファイル[%s]に残してあります。";
// The file was taken by another program while it was saved, so it was written in place and its
// earlier text could not be kept.
inline constexpr const char* msgBackupNotMadeHeld =
    "ファイル[%s]は保存しましたが、他のプログラムが開いていたため、バックアップファイル[%s]は作成できませんでした。";
inline constexpr const char* msgSaveDeviceName =
    "ファイル名[%s]は Windows が装置（CON、PRN、AUX、NUL、COM1～COM9、LPT1～LPT9）に使う名前のため、"
    "保存できません。\n別のファイル名を指定してください。";
inline constexpr const char* msgGrepRunning = "現在ファイル検索は実行中です。";
inline constexpr const char* msgChangedOnDisk = "ファイル[%s]は外部で更新されました、読み込みますか。";
inline constexpr const char* msgWallpaperMissing =
    "壁紙表示対象のファイル[%s]が存在しません、壁紙ファイルの再設定を行って下さい。";
inline constexpr const char* msgWallpaperFolderEmpty =
    "設定された壁紙フォルダー[%s]には、有効な画像ファイルが存在しません。\n壁紙フォルダーの再設定を行って下さい。";
inline constexpr const char* msgSearchHasLineEnd = "改行を含む文字列は検索できません。";
inline constexpr const char* msgNoPrinter = "現在プリンターは利用出来ません。";
inline constexpr const char* msgInsertMode = "挿入";
inline constexpr const char* msgOverwriteMode = "上書";
inline constexpr const char* msgGrepNotFound = "検索文字列 '%s' は見つかりません。";
inline constexpr const char* msgPageLimit =
    "現在開いているファイルの数が上限に達したため、エディタへの表示処理を終了します。";
inline constexpr const char* msgUrlHome = "https://www.orvane.example/";
inline constexpr const char* msgUrlProduct = "https://www.orvane.example/varnolet/";
inline constexpr const char* msgUrlContact = "https://www.orvane.example/contact/";
inline constexpr const char* msgUrlUpdate = "https://www.orvane.example/varnolet/update.xml";
inline constexpr const char* msgGrepFolderTitle = "ﾌｫﾙﾀﾞｰを選択してください";
inline constexpr const char* msgGrepNoFolder = "指定された検索ディレクトリは存在しません。";
inline constexpr const char* msgGrepNoText = "検索文字列を入力してください。";
inline constexpr const char* msgFolderSetTitle = "ﾌｫﾙﾀﾞｰを選択してください";
inline constexpr const char* msgPictureFilter =
    "画像ファイル (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG イメージファイル (*.jpg)|*.jpg|"
    "JPEG イメージファイル (*.jpeg)|*.jpeg|ビットマップ (*.bmp)|*.bmp";
inline constexpr const char* msgPictureUnreadable = "現在設定されている壁紙用画像ファイルは読込めませんでした。";
inline constexpr const char* msgPictureFolderEmpty = "現在設定されている壁紙格納フォルダーに画像ファイルが存在しません。";
inline constexpr const char* msgConfirmPicture = "画像ファイル[%s]を設定してもよろしいですか";
inline constexpr const char* msgPictureSetFailed = "画像ファイルの設定に失敗しました";
inline constexpr const char* msgConfirmRemoveWallpaper = "現在設定されている壁紙を解除してもよろしいですか";
inline constexpr const char* msgBlendRange = "透明度は０～２５５の間で設定して下さい。";
inline constexpr const char* msgBlendRangeAgain = "仏の顔も三度まで";
inline constexpr const char* msgTextBlendRange = "透明度は０～２５５の間で設定して下さい。";
inline constexpr const char* msgWallpaperFolderTitle = "壁紙画像フォルダーの選択";
inline constexpr const char* msgChosenFolderEmpty = "指定のフォルダには、画像ファイルが存在しません。";
inline constexpr const char* msgPictureNotViewed = "画像ファイル[%s]を原寸大で表示できませんでした。";
inline constexpr const char* msgHelpCalc = "電卓";
inline constexpr const char* msgHelpDate = "日付の挿入";
inline constexpr const char* msgHelpTime = "時刻の挿入";
inline constexpr const char* msgFindNotFound = "検索文字列 %s は見つかりません。";
inline constexpr const char* msgTranslateFont = "Arial";
inline constexpr const char* msgScreenSaverPathTooLong = "スクリーンセーバーのパスが長すぎるため、表示できません。";
inline constexpr const char* msgScreenSaverNotStarted = "スクリーンセーバー[%s]を起動できませんでした。";
inline constexpr const char* msgWrapWidthRange = "折り返し文字数は１０～９９９の間で設定してください。";
inline constexpr const char* msgRowPitchRange = "行間隔は０～９９の間で設定してください。";
inline constexpr const char* msgEmphasisAddExt = "拡張子[%s]の強調文字列の設定が存在しません、追加しますか。";
inline constexpr const char* msgEmphasisExtExists = "拡張子[%s]は既に定義されています、処理を中止します。";
inline constexpr const char* msgEmphasisNoExtKept = "拡張子なしの設定は削除できません。";
inline constexpr const char* msgEmphasisDeleteExt = "拡張子[%s]の強調文字列の設定を削除します、よろしいですか。";
inline constexpr const char* msgEmphasisWordExists = "強調文字列[%s]は既に入力されています、処理を中止します。";
inline constexpr const char* msgEmphasisDeleteWord = "強調文字列[%s]を削除します、よろしいですか。";
inline constexpr const char* msgEmphasisSave = "強調文字列の設定を保存します、よろしいですか。";
inline constexpr const char* msgEmphasisTitle = "強調文字列の設定";
inline constexpr const char* msgEmphasisExtPrompt = "拡張子を入力してください";
inline constexpr const char* msgCommandUntitled =
    "編集中のファイルが「無題」のため %F(編集中のファイルのパス) が展開できません";
inline constexpr const char* msgCommandFailed = "コマンドライン[%s]の実行に失敗しました。";
inline constexpr const char* msgCommandSaveQuestion = "コマンドラインの設定を保存しますか?";
inline constexpr const char* msgCommandUnsafeName =
    "ファイル名の文字「%s」はコマンドライン[%s]に正しく渡せないため、実行を中止しました。";
inline constexpr const char* msgCommandNotFound =
    "コマンドライン[%s]のプログラム[%s]が見つかりません。プログラムはフルパスで指定するか、PATHの通ったフォルダーに置いてください。";
inline constexpr const char* msgShortCutQuestion = "メニューのショートカットの再設定を行います、よろしいですか。";
inline constexpr const char* msgMailFailed =
    "メールを作成できませんでした。メールソフトが設定されているか確認してください。";
inline constexpr const char* msgWallpaperIntervalInvalid =
    "壁紙切り替え時間の設定が不正です。１秒～５９分５９秒の間で設定して下さい。";
inline constexpr const char* msgLockFileUnusable = "ロックパスワードファイル[%s]を読み書きできません。";
inline constexpr const char* msgLockFileDamaged = "ロックパスワードファイル[%s]が壊れています。";
inline constexpr const char* msgLockNotWritten = "ロックパスワードを書き込めませんでした。パスワードは変更されていません。";
inline constexpr const char* msgPrintNoRoom =
    "余白、行間または段の間隔が大きすぎるため、用紙に文字を配置できません。\n設定を見直して下さい。";
inline constexpr const char* msgPrintFailed = "印刷できませんでした。\n%s";
inline constexpr const char* msgIntervalRange = "０～５９の間で設定して下さい";
// Asked before a replace all too large for the undo history; Yes replaces (No is the default).
inline constexpr const char* msgReplaceNoUndo =
    "置換する箇所が多すぎるため、この置換は元に戻せません。\n置換しますか?";

// One row of a window's translation table.
struct typTranslateRow
{
    const char* name;
    int index;
    const char* text;
};

// Called by every window when it is created. The interface stays Japanese: nothing changes.
bool TranslateForm(TObject* form, const typTranslateRow* table);
