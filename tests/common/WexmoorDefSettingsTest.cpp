// The window, history and dialog sections of the settings store, on a private registry key.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
// Each test gets its own key, deleted at the end, so the program's settings are never touched.
class WexmoorDefSettings : public testing::Test
{
protected:
    void SetUp() override
    {
        root = Format("Software\\VarnoletTest\\s%u", {unsigned(GetCurrentProcessId())});
        wroot = SjisToWide(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, wroot.c_str());
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, wroot.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, wroot.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VarnoletTest"); // only when no other run uses it
    }
    void PutText(const AnsiString& section, const AnsiString& name, const AnsiString& text)
    {
        WXRegIni ini(root);
        ini.WriteString(section, name, text);
    }
    void PutInt(const AnsiString& section, const AnsiString& name, int v)
    {
        WXRegIni ini(root);
        ini.WriteInteger(section, name, v);
    }
    AnsiString Stored(const AnsiString& section, const AnsiString& name)
    {
        WXRegIni ini(root);
        return ini.ReadString(section, name, "<none>");
    }

    AnsiString root;
    std::wstring wroot;
};

std::vector<AnsiString> Texts(const nsList<nsString>& list)
{
    std::vector<AnsiString> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(NsStringToAnsi(*list.Get(i)));
    return out;
}

} // namespace

TEST_F(WexmoorDefSettings, AnEmptyKeyGivesTheDefaultsOfEverySection)
{
    VN::typWindowState w = ReadWindowState(root);
    EXPECT_EQ(w, VN::typWindowState{});
    EXPECT_EQ(w.left, 100);
    EXPECT_EQ(w.top, 100);
    EXPECT_EQ(w.width, 800);
    EXPECT_EQ(w.height, 600);
    EXPECT_TRUE(w.statusBar);
    EXPECT_EQ(w.dock.docked, 1);
    EXPECT_EQ(w.dock.visible, 1);
    EXPECT_EQ(VN::FormatDockMessage(w.dock), "1,1,0,0,540,140,540,140");

    nsList<nsString> history;
    history.Add(new nsString("stale"));
    ReadFileHistory(history, root);
    EXPECT_EQ(Texts(history), std::vector<AnsiString>(5, ""));

    nsList<VN::typReopen> reopen;
    bool again = true;
    ReadReopenList(reopen, again, root);
    EXPECT_EQ(reopen.Count(), 0);
    EXPECT_FALSE(again);

    VN::typPrinterSetting p;
    ReadPrinterSettings(p, root);
    EXPECT_EQ(p, VN::PrinterSettingDefaults());
    EXPECT_EQ(NsStringToAnsi(p.fontName), "ＭＳ ゴシック");

    VN::typSearchSetting f;
    f.searchCase = true;
    ReadSearchSettings(f, root);
    EXPECT_EQ(f, VN::typSearchSetting{});
    VN::typReplaceSetting r;
    r.confirm = true;
    ReadReplaceSettings(r, root);
    EXPECT_EQ(r, VN::typReplaceSetting{});

    VN::typWallpaperSetting wp;
    wp.minutes = 9;
    ReadWallpaperSettings(wp, root);
    EXPECT_EQ(wp, VN::typWallpaperSetting{});
    EXPECT_EQ(wp.IntervalMs(), 180000u);

    nsArray<nsString> commands;
    bool saved = true;
    ReadCommandSettings(commands, saved, root);
    ASSERT_EQ(commands.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(commands.At(i).IsEmpty());
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadScreenSaver(root), "");
}

TEST_F(WexmoorDefSettings, EverySectionReadsBackWhatWasWritten)
{
    VN::typWindowState w;
    w = {-20, 30, 640, 480, true, false, 250, {0, 1, 10, 20, 300, 200, 310, 210}};
    WriteWindowState(w, root);
    EXPECT_EQ(ReadWindowState(root), w);

    VN::typPrinterSetting p{"游ゴシック", 12, 1, 2, 3, 4, 5, 1, 2, 7, 2, true, 3, 6, "頭", "足", 2, 3};
    WritePrinterSettings(p, root);
    VN::typPrinterSetting p2;
    ReadPrinterSettings(p2, root);
    EXPECT_EQ(p2, p);

    VN::typSearchSetting f;
    f = {1, "あ\r\nb\r\n", true, true, 1, true, true, true, true, "x\r\n", "*.txt\r\n*.c\r\n", "C:\\フォルダ\r\n"};
    WriteSearchSettings(f, root);
    VN::typSearchSetting f2;
    ReadSearchSettings(f2, root);
    EXPECT_EQ(f2, f);

    VN::typReplaceSetting r{"検索\r\n", "置換\r\n", true, true, true, 1};
    WriteReplaceSettings(r, root);
    VN::typReplaceSetting r2;
    ReadReplaceSettings(r2, root);
    EXPECT_EQ(r2, r);

    VN::typEditSetting e = VN::EditSettingDefaults();
    e.TRANSPARENCY = true;
    e.ALPHA_VALUE = 77;
    e.STR_BKCOLOR = 0x123456;
    e.STR_BK_ALPHA = 99;
    e.STR_TRANSPARENCY = true;
    VN::typWallpaperSetting wp{"C:\\壁紙.jpg", true, "C:\\絵", 12, 34};
    WriteWallpaperSettings(wp, e, root);
    VN::typWallpaperSetting wp2;
    ReadWallpaperSettings(wp2, root);
    EXPECT_EQ(wp2, wp);
    EXPECT_EQ(wp2.IntervalMs(), 12u * 60000u + 34u * 1000u);
    // The blending keys come back through the editor settings.
    VN::typEditSetting e2;
    ReadEditSetting(e2, root);
    EXPECT_EQ(e2.TRANSPARENCY, true);
    EXPECT_EQ(e2.ALPHA_VALUE, 77);
    EXPECT_EQ(e2.STR_BKCOLOR, TColor(0x123456));
    EXPECT_EQ(e2.STR_BK_ALPHA, 99);
    EXPECT_EQ(e2.STR_TRANSPARENCY, true);

    nsArray<nsString> commands;
    commands[0] = "notepad.exe %s";
    commands[2] = "cmd.exe /c 実行";
    WriteCommandSettings(commands, true, root);
    nsArray<nsString> commands2;
    bool saved = false;
    ReadCommandSettings(commands2, saved, root);
    ASSERT_EQ(commands2.Count(), 3);
    EXPECT_EQ(commands2.At(0), commands.At(0));
    EXPECT_TRUE(commands2.At(1).IsEmpty());
    EXPECT_EQ(commands2.At(2), commands.At(2));
    EXPECT_TRUE(saved);

    WriteScreenSaver("C:\\スクリーン.scr", root);
    EXPECT_EQ(ReadScreenSaver(root), "C:\\スクリーン.scr");
}

TEST_F(WexmoorDefSettings, FileHistoryAlwaysHasFiveEntriesUnderNumberedKeys)
{
    const struct
    {
        std::vector<AnsiString> written;
        std::vector<AnsiString> read;
    } cases[] = {
        {{}, {"", "", "", "", ""}},
        {{"C:\\a.txt", "C:\\ファイル.txt"}, {"C:\\a.txt", "C:\\ファイル.txt", "", "", ""}},
        {{"1", "2", "3", "4", "5", "6"}, {"1", "2", "3", "4", "5"}},
    };
    for (const auto& c : cases)
    {
        nsList<nsString> list;
        for (const AnsiString& s : c.written)
            list.Add(new nsString(AnsiToNsString(s)));
        WriteFileHistory(list, root);
        nsList<nsString> back;
        ReadFileHistory(back, root);
        EXPECT_EQ(Texts(back), c.read);
    }
    EXPECT_EQ(Stored(VN::kStandardSection, "履歴_01"), "1");
    EXPECT_EQ(Stored(VN::kStandardSection, "履歴_05"), "5");
    EXPECT_EQ(Stored(VN::kStandardSection, "履歴_06"), "<none>");
}

TEST(DockMessage, ParsesEightNumbersAndFallsBackOnDamage)
{
    const VN::typDockMessage def;
    const struct
    {
        const char* text;
        VN::typDockMessage dock;
    } cases[] = {
        {"0,1,10,20,300,5,0,0", {0, 1, 10, 20, 300, 16, 0, 0}}, // height at least 16
        {"1,0,5,6,7,16,8,9", {1, 0, 5, 6, 7, 16, 8, 9}},
        {" 2 , 1,0,0,100,100,100,100", {2, 1, 0, 0, 100, 100, 100, 100}},
        {"1,1,0,0,540,140,540", def},          // seven fields
        {"1,1,0,0,540,140,540,140,1", def},    // nine
        {"1,1,0,0,abc,140,540,140", def},
        {"1,1,0,0,,140,540,140", def},
        {"", def},
        {"1,1,0,0,99999999,140,540,140", def},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VN::ParseDockMessage(c.text), c.dock) << c.text;
    VN::typDockMessage d{0, 1, -3, 4, 5, 60, 7, 8};
    EXPECT_EQ(VN::FormatDockMessage(d), "0,1,-3,4,5,60,7,8");
    EXPECT_EQ(VN::ParseDockMessage(VN::FormatDockMessage(d)), d);
}

TEST_F(WexmoorDefSettings, DamagedOrOutOfRangeValuesGiveTheirDefaults)
{
    const struct
    {
        const char* section;
        const char* key;
        const char* text; // stored as text; "" means stored as the number below
        int number;
    } cases[] = {
        {"STANDARD", "WIN_WIDTH", "", 0},
        {"STANDARD", "WIN_HEIGHT", "", -5},
        {"STANDARD", "WIN_LEFT", "left", 0},
        {"STANDARD", "WIN_TOP", "", 100000},
        {"STANDARD", "DOCK_BTOMHEIGHT", "", -1},
        {"STANDARD", "DOCK_MESSAGE", "1,2,3", 0},
        {"PRINTER", "フォントサイズ", "", 31},
        {"PRINTER", "フォント名", "  ", 0},
        {"PRINTER", "左マージン", "", -1},
        {"PRINTER", "印刷範囲", "", 2},
        {"PRINTER", "印刷指定", "", 3},
        {"PRINTER", "段数", "", 0},
        {"PRINTER", "開始ページ", "", 0},
        {"PRINTER", "ヘッダー位置", "", 4},
        {"PRINTER", "フッター位置", "x", 0},
        {"WALLPAPER", "WP_CHG_SEC", "", 60},
        {"WALLPAPER", "WP_CHG_TIME", "", -1},
        {"SEARCH", "ALLSRCH_TYPE", "", 2},
        {"SEARCH", "FSRCH_SRCH_TYPE", "", -1},
        {"SEARCH", "REP_RANGE", "", 2},
    };
    for (const auto& c : cases)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, wroot.c_str());
        if (*c.text)
            PutText(c.section, c.key, c.text);
        else
            PutInt(c.section, c.key, c.number);
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ReadWindowState(root), VN::typWindowState{});
        VN::typPrinterSetting p;
        ReadPrinterSettings(p, root);
        EXPECT_EQ(p, VN::PrinterSettingDefaults());
        VN::typWallpaperSetting wp;
        ReadWallpaperSettings(wp, root);
        EXPECT_EQ(wp, VN::typWallpaperSetting{});
        VN::typSearchSetting f;
        ReadSearchSettings(f, root);
        EXPECT_EQ(f, VN::typSearchSetting{});
        VN::typReplaceSetting r;
        ReadReplaceSettings(r, root);
        EXPECT_EQ(r, VN::typReplaceSetting{});
    }
}

TEST_F(WexmoorDefSettings, WindowStateKeepsTheBottomDockAtLeastTwentyHigh)
{
    for (int h : {0, 19, 20, 21})
    {
        VN::typWindowState w;
        w.dockBottomHeight = h;
        WriteWindowState(w, root);
        EXPECT_EQ(ReadWindowState(root).dockBottomHeight, h < 20 ? 20 : h);
    }
    VN::typWindowState w;
    w.maximized = true;
    WriteWindowState(w, root);
    EXPECT_EQ(Stored("STANDARD", "WIN_MAX"), "1");
}

TEST_F(WexmoorDefSettings, ReopenListFlagsAtPathsSkipsEmptiesAndIgnoresKeysPastTheCount)
{
    PutInt("REOPEN", "REOPEN", 1);
    PutInt("REOPEN", "FILENUM", 4);
    PutText("REOPEN", "PURL_01", "C:\\a.txt");
    PutText("REOPEN", "PURL_02", "@C:\\閉じた.txt");
    PutText("REOPEN", "PURL_03", "");
    PutText("REOPEN", "PURL_04", "@");
    PutText("REOPEN", "PURL_05", "C:\\past.txt");
    nsList<VN::typReopen> list;
    bool again = false;
    ReadReopenList(list, again, root);
    EXPECT_TRUE(again);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0)->flag, 0);
    EXPECT_EQ(NsStringToAnsi(list.Get(0)->path), "C:\\a.txt");
    EXPECT_EQ(list.Get(1)->flag, 1);
    EXPECT_EQ(NsStringToAnsi(list.Get(1)->path), "C:\\閉じた.txt");
    EXPECT_EQ(list.Get(2)->flag, 1);
    EXPECT_TRUE(list.Get(2)->path.IsEmpty());

    // Writing a shorter list leaves the old keys; the count hides them.
    nsList<VN::typReopen> shorter;
    auto* e = new VN::typReopen;
    e->flag = 1;
    e->path = "C:\\b.txt";
    shorter.Add(e);
    WriteReopenList(shorter, false, root);
    EXPECT_EQ(Stored("REOPEN", "PURL_01"), "@C:\\b.txt");
    EXPECT_EQ(Stored("REOPEN", "PURL_02"), "@C:\\閉じた.txt");
    ReadReopenList(list, again, root);
    EXPECT_FALSE(again);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Get(0)->flag, 1);
    EXPECT_EQ(NsStringToAnsi(list.Get(0)->path), "C:\\b.txt");

    for (const char* damaged : {"-1", "many", "100000"})
    {
        PutText("REOPEN", "FILENUM", damaged);
        ReadReopenList(list, again, root);
        EXPECT_EQ(list.Count(), 0) << damaged;
    }
}

TEST_F(WexmoorDefSettings, TheActivePagesEntryIsFoundAmongTheEntriesReadAndNoneWhenItIsNotThere)
{
    // ACTIVE holds the key number of the active page's entry (as written at exit).
    const struct
    {
        const char* stored;
        int active; // index in the list read
    } cases[] = {
        {"1", 0}, {"3", 1}, {"4", 2}, {"2", -1} /* an empty entry */, {"0", -1}, {"5", -1}, {"-1", -1},
        {"x", -1}, {nullptr, -1},
    };
    for (const auto& c : cases)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(root + "\\REOPEN").c_str());
        PutInt("REOPEN", "FILENUM", 4);
        PutText("REOPEN", "PURL_01", "C:\\a.txt");
        PutText("REOPEN", "PURL_02", "");
        PutText("REOPEN", "PURL_03", "@C:\\b.txt");
        PutText("REOPEN", "PURL_04", "C:\\c.txt");
        if (c.stored)
            PutText("REOPEN", "ACTIVE", c.stored);
        nsList<VN::typReopen> list;
        bool again = false;
        int active = 7;
        ReadReopenList(list, again, root, &active);
        ASSERT_EQ(list.Count(), 3);
        EXPECT_EQ(active, c.active) << (c.stored ? c.stored : "none");
    }
}

TEST_F(WexmoorDefSettings, EmphasisListMatchesExtensionsRegardlessOfCase)
{
    PutText(VN::kEmphasisSection, "old", "gone");
    nsList<VN::typEmphItem> list;
    const struct
    {
        const char* ext;
        const char* words;
    } items[] = {{"txt", "TODO\r\nFIXME"}, {"CPP", "class"}, {"", "無し"}};
    for (const auto& i : items)
    {
        auto* item = new VN::typEmphItem(i.ext);
        item->words = i.words;
        list.AddSorted(item);
    }
    WriteEmphasisList(list, root);
    EXPECT_EQ(Stored(VN::kEmphasisSection, "old"), "<none>"); // the section is rewritten whole
    EXPECT_EQ(Stored(VN::kEmphasisSection, "拡張子無"), "無し");

    nsList<VN::typEmphItem> back;
    ReadEmphasisList(back, root);
    ASSERT_EQ(back.Count(), 3);
    const struct
    {
        const char* path;
        const char* words; // null: no entry
    } lookups[] = {
        {"C:\\dir\\a.TXT", "TODO\r\nFIXME"}, {"b.cpp", "class"}, {"C:\\dir.x\\Makefile", "無し"},
        {"c.h", nullptr},                    {"d.txt.bak", nullptr},
    };
    for (const auto& l : lookups)
    {
        const VN::typEmphItem* found = FindEmphasis(back, l.path);
        if (!l.words)
        {
            EXPECT_EQ(found, nullptr) << l.path;
            continue;
        }
        ASSERT_NE(found, nullptr) << l.path;
        EXPECT_EQ(NsStringToAnsi(found->words), l.words) << l.path;
    }
}

TEST_F(WexmoorDefSettings, FindHistoriesLoseBlankLinesAndReplaceHistoriesKeepThem)
{
    PutText("SEARCH", "SRCH_HIST", "a\r\n  \r\nb\r\n\r\n");
    PutText("SEARCH", "FSRCH_DIR_HIST", "\r\nC:\\x\r\n\t\r\n");
    PutText("SEARCH", "REP_HIST", "r\r\n\r\ns\r\n");
    VN::typSearchSetting f;
    ReadSearchSettings(f, root);
    EXPECT_EQ(f.searchHistory, "a\r\nb\r\n");
    EXPECT_EQ(f.fileSearchDirHistory, "C:\\x\r\n");
    VN::typReplaceSetting r;
    ReadReplaceSettings(r, root);
    EXPECT_EQ(r.searchHistory, "a\r\n  \r\nb\r\n\r\n");
    EXPECT_EQ(r.replaceHistory, "r\r\n\r\ns\r\n");
    EXPECT_EQ(CleanHistoryText(""), "");
}

TEST_F(WexmoorDefSettings, AnEmphasisWriteThatFailsPartWayKeepsTheEntriesItDidNotReach)
{
    PutText(VN::kEmphasisSection, "a", "old a");
    PutText(VN::kEmphasisSection, "z", "old z");
    nsList<VN::typEmphItem> list;
    for (const std::string& ext : {std::string("a"), "m" + std::string(20000, 'x'), std::string("z")})
    {
        auto* item = new VN::typEmphItem(AnsiToNsString(ext.c_str()));
        item->words = AnsiToNsString(("new " + ext.substr(0, 1)).c_str());
        list.AddSorted(item);
    }
    // No value name is that long: the write stops at it.
    EXPECT_ANY_THROW(WriteEmphasisList(list, root));
    EXPECT_EQ(Stored(VN::kEmphasisSection, "a"), "new a");
    EXPECT_EQ(Stored(VN::kEmphasisSection, "z"), "old z");
}
