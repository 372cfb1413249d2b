// The settings of the windows and dialogs: recent files, window and dock layout, emphasized
// strings, printing, find / replace / file search, external commands, wallpaper, the reopen list
// and the screen saver. Every reader falls back to the default on a missing or damaged value.
#include <windows.h>

#include "common/WexmoorDef.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"

namespace VN
{
const char* const kStandardSection = "STANDARD";
const char* const kEmphasisSection = "強調文字列";
const char* const kPrinterSection = "PRINTER";
const char* const kSearchSection = "SEARCH";
const char* const kCommandSection = "COMMAND";
const char* const kReopenSection = "REOPEN";
const char* const kScreenSaverSection = "SCREENSAVER";
const char* const kNoExtensionName = "拡張子無";

nsList<nsString> FileHistory;
nsList<typEmphItem> EmphasisList;

typPrinterSetting PrinterSettingDefaults()
{
    typPrinterSetting s;
    s.fontName = "ＭＳ ゴシック";
    return s;
}
} // namespace VN

namespace
{
// Window coordinates beyond this are damage, not a place on any screen.
constexpr int kCoordLimit = 32767;
constexpr int kMinDockHeight = 16;
constexpr int kMinBottomDockWrite = 20;
// More reopen entries than this is a damaged count.
constexpr int kMaxReopen = 9999;

int ReadRanged(WXRegIni& ini, const AnsiString& section, const AnsiString& key, int def, int lo, int hi)
{
    int v = ini.ReadInteger(section, key, def);
    return v >= lo && v <= hi ? v : def;
}

nsString ReadNs(WXRegIni& ini, const AnsiString& section, const AnsiString& key, const nsString& def = nsString())
{
    return AnsiToNsString(ini.ReadString(section, key, NsStringToAnsi(def)));
}

void WriteNs(WXRegIni& ini, const AnsiString& section, const AnsiString& key, const nsString& value)
{
    ini.WriteString(section, key, NsStringToAnsi(value));
}

bool TryStrToInt(const AnsiString& text, int& value)
{
    try
    {
        value = StrToInt(text);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

AnsiString HistoryKey(int i) { return Format("履歴_%02d", {i + 1}); }
AnsiString ReopenKey(int i) { return Format("PURL_%02d", {i + 1}); }
AnsiString CommandKey(int i) { return Format("EXE_%02d", {i + 1}); }

// The extension of a path without its dot; empty for none.
nsString ExtensionOf(const AnsiString& path)
{
    AnsiString ext = ExtractFileExt(path);
    if (ext.Length() > 0 && ext[1] == '.')
        ext = ext.SubString(2, ext.Length() - 1);
    return AnsiToNsString(ext);
}
} // namespace

// ---- dock message -----------------------------------------------------------------------------

VN::typDockMessage VN::ParseDockMessage(const AnsiString& text)
{
    int v[8];
    int n = 0;
    AnsiString rest = text;
    while (n < 8)
    {
        int comma = rest.Pos(",");
        AnsiString field = comma > 0 ? rest.SubString(1, comma - 1) : rest;
        int value = 0;
        if (!TryStrToInt(field.Trim(), value) || value < -kCoordLimit || value > kCoordLimit)
            return VN::typDockMessage{};
        v[n++] = value;
        if (comma == 0)
            break;
        rest = rest.SubString(comma + 1, rest.Length() - comma);
    }
    if (n != 8)
        return VN::typDockMessage{};
    VN::typDockMessage d{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
    if (d.height < kMinDockHeight)
        d.height = kMinDockHeight;
    return d;
}

AnsiString VN::FormatDockMessage(const VN::typDockMessage& d)
{
    return Format("%d,%d,%d,%d,%d,%d,%d,%d",
                  {d.docked, d.visible, d.top, d.left, d.width, d.height, d.undockWidth, d.undockHeight});
}

// ---- STANDARD ---------------------------------------------------------------------------------

void ReadFileHistory(nsList<nsString>& history, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    history.Clear();
    for (int i = 0; i < VN::kFileHistoryCount; ++i)
        history.Add(new nsString(ReadNs(ini, VN::kStandardSection, HistoryKey(i))));
}

void WriteFileHistory(const nsList<nsString>& history, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    for (int i = 0; i < VN::kFileHistoryCount; ++i)
    {
        const nsString* entry = history.Get(i);
        WriteNs(ini, VN::kStandardSection, HistoryKey(i), entry ? *entry : nsString());
    }
}

VN::typWindowState ReadWindowState(const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const VN::typWindowState def;
    const char* s = VN::kStandardSection;
    VN::typWindowState w;
    w.left = ReadRanged(ini, s, "WIN_LEFT", def.left, -kCoordLimit, kCoordLimit);
    w.top = ReadRanged(ini, s, "WIN_TOP", def.top, -kCoordLimit, kCoordLimit);
    w.width = ReadRanged(ini, s, "WIN_WIDTH", def.width, 1, kCoordLimit);
    w.height = ReadRanged(ini, s, "WIN_HEIGHT", def.height, 1, kCoordLimit);
    w.maximized = ini.ReadBool(s, "WIN_MAX", def.maximized);
    w.statusBar = ini.ReadBool(s, "STATUS_BAR", def.statusBar);
    w.dockBottomHeight = ReadRanged(ini, s, "DOCK_BTOMHEIGHT", def.dockBottomHeight, 0, kCoordLimit);
    w.dock = VN::ParseDockMessage(ini.ReadString(s, "DOCK_MESSAGE", VN::FormatDockMessage(def.dock)));
    return w;
}

void WriteWindowState(const VN::typWindowState& w, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kStandardSection;
    ini.WriteBool(s, "WIN_MAX", w.maximized);
    ini.WriteInteger(s, "WIN_LEFT", w.left);
    ini.WriteInteger(s, "WIN_TOP", w.top);
    ini.WriteInteger(s, "WIN_WIDTH", w.width);
    ini.WriteInteger(s, "WIN_HEIGHT", w.height);
    ini.WriteBool(s, "STATUS_BAR", w.statusBar);
    ini.WriteInteger(s, "DOCK_BTOMHEIGHT", w.dockBottomHeight < kMinBottomDockWrite ? kMinBottomDockWrite
                                                                                     : w.dockBottomHeight);
    ini.WriteString(s, "DOCK_MESSAGE", VN::FormatDockMessage(w.dock));
}

// ---- 強調文字列 ----------------------------------------------------------------------------------

void ReadEmphasisList(nsList<VN::typEmphItem>& list, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    list.Clear();
    TStringList names;
    ini.ReadSection(VN::kEmphasisSection, &names);
    for (int i = 0; i < names.GetCount(); ++i)
    {
        AnsiString name = names.Strings(i);
        auto* item = new VN::typEmphItem(name == VN::kNoExtensionName ? nsString() : AnsiToNsString(name));
        item->words = ReadNs(ini, VN::kEmphasisSection, name);
        list.AddSorted(item);
    }
}

void WriteEmphasisList(nsList<VN::typEmphItem>& list, const AnsiString& rootKey)
{
    // Every entry is written before the names no longer listed go: a write that fails part way
    // leaves the old entries, never an empty section.
    WXRegIni ini(rootKey);
    TStringList kept;
    for (int i = 0; i < list.Count(); ++i)
        if (const VN::typEmphItem* item = list.Get(i))
        {
            AnsiString name = item->extension.IsEmpty() ? AnsiString(VN::kNoExtensionName)
                                                        : NsStringToAnsi(item->extension);
            WriteNs(ini, VN::kEmphasisSection, name, item->words);
            kept.Add(name);
        }
    TStringList stored;
    ini.ReadSection(VN::kEmphasisSection, &stored);
    for (int i = 0; i < stored.GetCount(); ++i)
        if (kept.IndexOf(stored.Strings(i)) < 0)
            ini.DeleteKey(VN::kEmphasisSection, stored.Strings(i));
}

const VN::typEmphItem* FindEmphasis(nsList<VN::typEmphItem>& list, const AnsiString& path)
{
    VN::typEmphItem key(ExtensionOf(path));
    return list.FindItem(&key);
}

// ---- PRINTER ----------------------------------------------------------------------------------

void ReadPrinterSettings(VN::typPrinterSetting& p, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const VN::typPrinterSetting d = VN::PrinterSettingDefaults();
    const char* s = VN::kPrinterSection;
    AnsiString font = ini.ReadString(s, "フォント名", NsStringToAnsi(d.fontName));
    p.fontName = font.Trim().IsEmpty() || SjisToWide(font).size() >= LF_FACESIZE ? d.fontName
                                                                                 : AnsiToNsString(font);
    p.fontSize = ReadRanged(ini, s, "フォントサイズ", d.fontSize, VN::kFontSizeMin, VN::kFontSizeMax);
    p.marginLeft = ReadRanged(ini, s, "左マージン", d.marginLeft, 0, VN::kPrintMarginMax);
    p.marginRight = ReadRanged(ini, s, "右マージン", d.marginRight, 0, VN::kPrintMarginMax);
    p.marginTop = ReadRanged(ini, s, "上マージン", d.marginTop, 0, VN::kPrintMarginMax);
    p.marginBottom = ReadRanged(ini, s, "下マージン", d.marginBottom, 0, VN::kPrintMarginMax);
    p.marginLine = ReadRanged(ini, s, "行間", d.marginLine, 0, VN::kPrintMarginMax);
    p.rangeOption = ReadRanged(ini, s, "印刷範囲", d.rangeOption, 0, 1);
    p.startPage = ReadRanged(ini, s, "開始ページ", d.startPage, 1, VN::kPrintNumberMax);
    p.lastPage = ReadRanged(ini, s, "終了ページ", d.lastPage, 1, VN::kPrintNumberMax);
    p.pageOption = ReadRanged(ini, s, "印刷指定", d.pageOption, 0, 2);
    p.lineNumber = ini.ReadBool(s, "行番号印刷", d.lineNumber);
    p.columnCount = ReadRanged(ini, s, "段数", d.columnCount, 1, VN::kPrintColumnsMax);
    p.columnSpace = ReadRanged(ini, s, "段の間隔", d.columnSpace, 0, VN::kPrintMarginMax);
    p.header = ReadNs(ini, s, "ヘッダー", d.header);
    p.footer = ReadNs(ini, s, "フッター", d.footer);
    p.headerAlign = ReadRanged(ini, s, "ヘッダー位置", d.headerAlign, 0, 3);
    p.footerAlign = ReadRanged(ini, s, "フッター位置", d.footerAlign, 0, 3);
}

void WritePrinterSettings(const VN::typPrinterSetting& p, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kPrinterSection;
    WriteNs(ini, s, "フォント名", p.fontName);
    ini.WriteInteger(s, "フォントサイズ", p.fontSize);
    ini.WriteInteger(s, "左マージン", p.marginLeft);
    ini.WriteInteger(s, "右マージン", p.marginRight);
    ini.WriteInteger(s, "上マージン", p.marginTop);
    ini.WriteInteger(s, "下マージン", p.marginBottom);
    ini.WriteInteger(s, "行間", p.marginLine);
    ini.WriteInteger(s, "印刷範囲", p.rangeOption);
    ini.WriteInteger(s, "開始ページ", p.startPage);
    ini.WriteInteger(s, "終了ページ", p.lastPage);
    ini.WriteInteger(s, "印刷指定", p.pageOption);
    ini.WriteBool(s, "行番号印刷", p.lineNumber);
    ini.WriteInteger(s, "段数", p.columnCount);
    ini.WriteInteger(s, "段の間隔", p.columnSpace);
    WriteNs(ini, s, "ヘッダー", p.header);
    WriteNs(ini, s, "フッター", p.footer);
    ini.WriteInteger(s, "ヘッダー位置", p.headerAlign);
    ini.WriteInteger(s, "フッター位置", p.footerAlign);
}

// ---- SEARCH -----------------------------------------------------------------------------------

AnsiString CleanHistoryText(const AnsiString& text)
{
    TStringList lines;
    lines.SetText(text);
    for (int i = lines.GetCount() - 1; i >= 0; --i)
        if (lines.Strings(i).Trim().IsEmpty())
            lines.Delete(i);
    return lines.GetText();
}

void ReadSearchSettings(VN::typSearchSetting& f, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kSearchSection;
    // Any other value selects the first choice.
    f.allSearchType = ReadRanged(ini, s, "ALLSRCH_TYPE", 0, 0, 1);
    f.searchHistory = CleanHistoryText(ini.ReadString(s, "SRCH_HIST", ""));
    f.searchCase = ini.ReadBool(s, "SRCH_CASE", false);
    f.searchWord = ini.ReadBool(s, "SRCH_WORD", false);
    f.fileSearchType = ReadRanged(ini, s, "FSRCH_SRCH_TYPE", 0, 0, 1);
    f.fileSearchWord = ini.ReadBool(s, "FSRCH_WORD", false);
    f.fileSearchCase = ini.ReadBool(s, "FSRCH_CASE", false);
    f.fileSearchRegular = ini.ReadBool(s, "FSRCH_REGULAR", false);
    f.fileSearchSubDir = ini.ReadBool(s, "FSRCH_SUBDIR", false);
    f.fileSearchStrHistory = CleanHistoryText(ini.ReadString(s, "FSRCH_STR_HIST", ""));
    f.fileSearchNameHistory = CleanHistoryText(ini.ReadString(s, "FSRCH_FILENAME_HIST", ""));
    f.fileSearchDirHistory = CleanHistoryText(ini.ReadString(s, "FSRCH_DIR_HIST", ""));
}

void WriteSearchSettings(const VN::typSearchSetting& f, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kSearchSection;
    ini.WriteInteger(s, "ALLSRCH_TYPE", f.allSearchType == 1 ? 1 : 0);
    ini.WriteString(s, "SRCH_HIST", f.searchHistory);
    ini.WriteBool(s, "SRCH_CASE", f.searchCase);
    ini.WriteBool(s, "SRCH_WORD", f.searchWord);
    ini.WriteInteger(s, "FSRCH_SRCH_TYPE", f.fileSearchType == 1 ? 1 : 0);
    ini.WriteBool(s, "FSRCH_WORD", f.fileSearchWord);
    ini.WriteBool(s, "FSRCH_CASE", f.fileSearchCase);
    ini.WriteBool(s, "FSRCH_REGULAR", f.fileSearchRegular);
    ini.WriteBool(s, "FSRCH_SUBDIR", f.fileSearchSubDir);
    ini.WriteString(s, "FSRCH_STR_HIST", f.fileSearchStrHistory);
    ini.WriteString(s, "FSRCH_FILENAME_HIST", f.fileSearchNameHistory);
    ini.WriteString(s, "FSRCH_DIR_HIST", f.fileSearchDirHistory);
}

void ReadReplaceSettings(VN::typReplaceSetting& r, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kSearchSection;
    r.searchHistory = ini.ReadString(s, "SRCH_HIST", "");
    r.replaceHistory = ini.ReadString(s, "REP_HIST", "");
    r.replaceCase = ini.ReadBool(s, "REP_CASE", false);
    r.replaceWord = ini.ReadBool(s, "REP_WORD", false);
    r.confirm = ini.ReadBool(s, "REP_COMFIRM", false);
    r.range = ReadRanged(ini, s, "REP_RANGE", 0, 0, 1);
}

void WriteReplaceSettings(const VN::typReplaceSetting& r, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kSearchSection;
    ini.WriteString(s, "SRCH_HIST", r.searchHistory);
    ini.WriteString(s, "REP_HIST", r.replaceHistory);
    ini.WriteBool(s, "REP_CASE", r.replaceCase);
    ini.WriteBool(s, "REP_WORD", r.replaceWord);
    ini.WriteBool(s, "REP_COMFIRM", r.confirm);
    ini.WriteInteger(s, "REP_RANGE", r.range);
}

// ---- COMMAND ----------------------------------------------------------------------------------

void ReadCommandSettings(nsArray<nsString>& commands, bool& saved, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    commands.Clear();
    for (int i = 0; i < VN::kCommandCount; ++i)
        commands[i] = ReadNs(ini, VN::kCommandSection, CommandKey(i));
    saved = ini.ReadBool(VN::kCommandSection, "EXE_SAVED", false);
}

void WriteCommandSettings(const nsArray<nsString>& commands, bool saved, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    for (int i = 0; i < VN::kCommandCount; ++i)
        WriteNs(ini, VN::kCommandSection, CommandKey(i), i < commands.Count() ? commands.At(i) : nsString());
    ini.WriteBool(VN::kCommandSection, "EXE_SAVED", saved);
}

// ---- WALLPAPER --------------------------------------------------------------------------------

void ReadWallpaperSettings(VN::typWallpaperSetting& w, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const VN::typWallpaperSetting d;
    const char* s = VN::kWallpaperSection;
    w.file = ReadNs(ini, s, "WP_FILE");
    w.folderMode = ini.ReadBool(s, "WP_DISP_MODE", d.folderMode);
    w.folder = ReadNs(ini, s, "WP_FOLDER");
    w.minutes = ReadRanged(ini, s, "WP_CHG_TIME", d.minutes, 0, 999);
    w.seconds = ReadRanged(ini, s, "WP_CHG_SEC", d.seconds, 0, 59);
}

void WriteWallpaperSettings(const VN::typWallpaperSetting& w, const VN::typEditSetting& e,
                            const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kWallpaperSection;
    ini.WriteBool(s, "TRANSPARENCY", e.TRANSPARENCY);
    ini.WriteInteger(s, "ALPHA_VALUE", e.ALPHA_VALUE);
    WriteNs(ini, s, "WP_FILE", w.file);
    ini.WriteInteger(s, "STR_BKCOLOR", e.STR_BKCOLOR);
    ini.WriteInteger(s, "STR_BK_ALPHA", e.STR_BK_ALPHA);
    ini.WriteBool(s, "STR_TRANSPARENCY", e.STR_TRANSPARENCY);
    ini.WriteBool(s, "WP_DISP_MODE", w.folderMode);
    WriteNs(ini, s, "WP_FOLDER", w.folder);
    unsigned ms = w.IntervalMs();
    ini.WriteInteger(s, "WP_CHG_TIME", int(ms / 60000));
    ini.WriteInteger(s, "WP_CHG_SEC", int(ms % 60000 / 1000));
}

// ---- REOPEN -----------------------------------------------------------------------------------

void ReadReopenList(nsList<VN::typReopen>& list, bool& reopen, const AnsiString& rootKey, int* active)
{
    if (active)
        *active = -1;
    WXRegIni ini(rootKey);
    const char* s = VN::kReopenSection;
    list.Clear();
    reopen = ini.ReadBool(s, "REOPEN", false);
    int count = ReadRanged(ini, s, "FILENUM", 0, 0, kMaxReopen);
    // The key number of the entry that was active; 0 for none.
    const int activeKey = active ? ReadRanged(ini, s, "ACTIVE", 0, 0, count) : 0;
    for (int i = 0; i < count; ++i)
    {
        AnsiString value = ini.ReadString(s, ReopenKey(i), "");
        if (value.IsEmpty())
            continue;
        if (i + 1 == activeKey)
            *active = list.Count();
        auto* entry = new VN::typReopen;
        if (value[1] == '@')
        {
            entry->flag = 1;
            value = value.SubString(2, value.Length() - 1);
        }
        entry->path = AnsiToNsString(value);
        list.Add(entry);
    }
}

void WriteReopenList(const nsList<VN::typReopen>& list, bool reopen, const AnsiString& rootKey, int active)
{
    WXRegIni ini(rootKey);
    const char* s = VN::kReopenSection;
    ini.WriteBool(s, "REOPEN", reopen);
    ini.WriteInteger(s, "FILENUM", list.Count());
    ini.WriteInteger(s, "ACTIVE", active >= 0 && active < list.Count() ? active + 1 : 0);
    for (int i = 0; i < list.Count(); ++i)
    {
        const VN::typReopen* entry = list.Get(i);
        AnsiString path = entry ? NsStringToAnsi(entry->path) : AnsiString();
        ini.WriteString(s, ReopenKey(i), entry && entry->flag == 1 ? "@" + path : path);
    }
}

// ---- SCREENSAVER ------------------------------------------------------------------------------

AnsiString ReadScreenSaver(const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    return ini.ReadString(VN::kScreenSaverSection, "SCREENSAVER_FILE", "");
}

void WriteScreenSaver(const AnsiString& path, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    ini.WriteString(VN::kScreenSaverSection, "SCREENSAVER_FILE", path);
}
