#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "editor_control/AFEdit.h"
#include "editor_control/AFEditPlaces.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "tests/editor_control/EditorViewTestUtil.h"

namespace
{
using VN::typEditSetting;

// Each test gets its own key, deleted at the end, so the program's settings are never touched.
class WexmoorDef : public testing::Test
{
protected:
    void SetUp() override
    {
        root = Format("Software\\VarnoletTest\\%u", {unsigned(GetCurrentProcessId())});
        wroot = SjisToWide(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, wroot.c_str());
    }
    void TearDown() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, wroot.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, wroot.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VarnoletTest"); // only when no other run uses it
    }

    // Raw access, past the store, to plant values of any type and to see what was stored.
    void Put(const std::wstring& section, const std::wstring& name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        std::wstring path = wroot + L"\\" + section;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void PutDword(const std::wstring& section, const std::wstring& name, DWORD v)
    {
        Put(section, name, REG_DWORD, &v, sizeof v);
    }
    void PutText(const std::wstring& section, const std::wstring& name, const std::wstring& text,
                 DWORD type = REG_SZ)
    {
        Put(section, name, type, text.c_str(), DWORD((text.size() + 1) * sizeof(wchar_t)));
    }
    // False when missing.
    bool Get(const std::wstring& section, const std::wstring& name, DWORD& type, std::vector<BYTE>& data)
    {
        HKEY key = nullptr;
        std::wstring path = wroot + L"\\" + section;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        bool ok = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
        data.assign(size, 0);
        ok = ok && RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        return ok;
    }
    void EraseSettings()
    {
        WXRegIni ini(root);
        ini.EraseSection(VN::kEditSettingSection);
        ini.EraseSection(VN::kWallpaperSection);
    }

    AnsiString root;
    std::wstring wroot;
};

std::string Utf8(const AnsiString& s)
{
    std::wstring w = SjisToWide(s);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The names of the fields in which two records differ, for failure messages.
std::string Differences(const typEditSetting& a, const typEditSetting& b)
{
    std::string out;
#define VN_CMP(f)                                                                                                \
    if (!(a.f == b.f))                                                                                           \
        out += std::string(Utf8(#f)) + " ";
    VN_CMP(IS_REMAIN) VN_CMP(FONT_NAME) VN_CMP(FONT_SIZE) VN_CMP(色_文字) VN_CMP(NORMAL_COLOR) VN_CMP(色_背景)
    VN_CMP(色_選択文字) VN_CMP(色_強調文字列) VN_CMP(色_行番号) VN_CMP(色_ルーラー) VN_CMP(色_検索文字列[0])
    VN_CMP(色_検索文字列[1]) VN_CMP(色_検索文字列[2]) VN_CMP(ROWPITCH) VN_CMP(DISPROWNUM) VN_CMP(DISPRULA)
    VN_CMP(AUTO_INDENT) VN_CMP(TABSIZE) VN_CMP(UNDOBSAVE) VN_CMP(DISPTAB) VN_CMP(DISSPACE2) VN_CMP(BACKUPFILE)
    VN_CMP(ISWRAP) VN_CMP(WRAPWIDTH) VN_CMP(USETAB) VN_CMP(TRANSPARENCY) VN_CMP(ALPHA_VALUE) VN_CMP(STR_BKCOLOR)
    VN_CMP(STR_BK_ALPHA) VN_CMP(STR_TRANSPARENCY) VN_CMP(KINSOKU) VN_CMP(BANHEAD) VN_CMP(BANEND)
    VN_CMP(WINDOW_ALPHABLENDVALUE)
#undef VN_CMP
    if (out.empty() != (a == b))
        out += "(operator== disagrees)";
    return out;
}

// The defaults as the settings are documented, written out by hand.
typEditSetting DocumentedDefaults()
{
    typEditSetting d;
    d.IS_REMAIN = true;
    d.FONT_NAME = "ＭＳ ゴシック";
    d.FONT_SIZE = 10;
    d.色_文字 = 0xFFFFFF;
    d.NORMAL_COLOR = 0;
    d.色_背景 = {0, 0xFFFFFF};
    d.色_選択文字 = {int(0x8000000E), int(0x8000000D)};
    d.色_強調文字列 = {0xFF0000, 0xFFFFFF};
    d.色_行番号 = {0xFF0000, 0xFFFFFF};
    d.色_ルーラー = {0xFF0000, 0xFFFFFF};
    d.色_検索文字列[0] = d.色_検索文字列[1] = d.色_検索文字列[2] = {0xFF00, 0xFFFFFF};
    d.ROWPITCH = 2;
    d.DISPROWNUM = d.DISPRULA = d.AUTO_INDENT = d.UNDOBSAVE = d.BACKUPFILE = true;
    d.TABSIZE = 4;
    d.DISPTAB = d.USETAB = d.DISSPACE2 = d.ISWRAP = false;
    d.WRAPWIDTH = 80;
    d.TRANSPARENCY = false;
    d.ALPHA_VALUE = 128;
    d.STR_BKCOLOR = 0xFFFFFF;
    d.STR_BK_ALPHA = 0;
    d.STR_TRANSPARENCY = true;
    d.KINSOKU = false;
    d.BANHEAD = "、。，．？！゛゜…‥’”）〕］｝〉》」』】≫ぁぃぅぇぉっゃゅょァィゥェォッャュョ)]},.;:";
    d.BANEND = "（［｛「〔《『【〈≪‘“({[";
    d.WINDOW_ALPHABLENDVALUE = 128;
    return d;
}

TColor RandomColour(std::mt19937& rng)
{
    if (rng() % 4 == 0)
        return SysColor(int(rng() % (COLOR_MENUBAR + 1)));
    return TColor(rng() & 0xFFFFFF);
}

typColorRec RandomColorRec(std::mt19937& rng)
{
    return typColorRec(RandomColour(rng), RandomColour(rng), rng() & 1, rng() & 1, rng() & 1);
}

int Between(std::mt19937& rng, int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); }

typEditSetting RandomSetting(std::mt19937& rng)
{
    static const char* const fonts[] = {"ＭＳ 明朝", "Courier New", "ＭＳ ゴシック", "x"};
    static const char* const texts[] = {"", "、。", "abc", "（［｛「", "ソ表能", ")]},.;:"};
    typEditSetting s;
    s.IS_REMAIN = rng() & 1;
    s.FONT_NAME = fonts[rng() % 4];
    s.FONT_SIZE = Between(rng, VN::kFontSizeMin, VN::kFontSizeMax);
    s.色_文字 = RandomColour(rng);
    s.色_背景 = RandomColorRec(rng);
    s.NORMAL_COLOR = s.色_背景.colour;
    s.色_選択文字 = RandomColorRec(rng);
    s.色_強調文字列 = RandomColorRec(rng);
    s.色_行番号 = RandomColorRec(rng);
    s.色_ルーラー = RandomColorRec(rng);
    for (auto& r : s.色_検索文字列)
        r = RandomColorRec(rng);
    s.ROWPITCH = Between(rng, VN::kRowPitchMin, VN::kRowPitchMax);
    s.DISPROWNUM = rng() & 1;
    s.DISPRULA = rng() & 1;
    s.AUTO_INDENT = rng() & 1;
    s.TABSIZE = Between(rng, VN::kTabSizeMin, VN::kTabSizeMax);
    s.UNDOBSAVE = rng() & 1;
    s.DISPTAB = rng() & 1;
    s.DISSPACE2 = rng() & 1;
    s.BACKUPFILE = rng() & 1;
    s.ISWRAP = rng() & 1;
    s.WRAPWIDTH = Between(rng, VN::kWrapWidthMin, VN::kWrapWidthMax);
    s.USETAB = rng() & 1;
    s.TRANSPARENCY = rng() & 1;
    s.ALPHA_VALUE = Between(rng, 0, 255);
    s.STR_BKCOLOR = RandomColour(rng);
    s.STR_BK_ALPHA = Between(rng, 0, 255);
    s.STR_TRANSPARENCY = rng() & 1;
    s.KINSOKU = rng() & 1;
    s.BANHEAD = texts[rng() % 6];
    s.BANEND = texts[rng() % 6];
    s.WINDOW_ALPHABLENDVALUE = Between(rng, 0, 255);
    return s;
}

// The WALLPAPER keys the editor settings read; the wallpaper settings write them.
void WriteBlendKeys(const AnsiString& root, const typEditSetting& s)
{
    WXRegIni ini(root);
    const AnsiString wp = VN::kWallpaperSection;
    ini.WriteBool(wp, "TRANSPARENCY", s.TRANSPARENCY);
    ini.WriteInteger(wp, "ALPHA_VALUE", s.ALPHA_VALUE);
    ini.WriteInteger(wp, "STR_BKCOLOR", s.STR_BKCOLOR);
    ini.WriteInteger(wp, "STR_BK_ALPHA", s.STR_BK_ALPHA);
    ini.WriteBool(wp, "STR_TRANSPARENCY", s.STR_TRANSPARENCY);
}
} // namespace

// ---- the store ------------------------------------------------------------------------------------

TEST_F(WexmoorDef, WXRegIni_KeepsJapaneseSectionAndValueNamesAsUnicode)
{
    {
        WXRegIni ini(root);
        ini.WriteString("強調文字列", "拡張子無", "あいう\r\nえお");
        ini.WriteString("強調文字列", "cpp", "int\r\nvoid");
    }
    // What another program sees: UTF-16 names and text.
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Get(L"強調文字列", L"拡張子無", type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"あいう\r\nえお");
    PutText(L"強調文字列", L"表示", L"ソ能表");

    WXRegIni ini(root);
    EXPECT_EQ(ini.ReadString("強調文字列", "表示", ""), "ソ能表");
    EXPECT_EQ(ini.ReadString("強調文字列", "拡張子無", ""), "あいう\r\nえお");
    TStringList names;
    ini.ReadSection("強調文字列", &names);
    std::vector<std::string> got;
    for (int i = 0; i < names.GetCount(); ++i)
        got.push_back(names.Get(i).str());
    std::sort(got.begin(), got.end());
    std::vector<std::string> want = {AnsiString("cpp").str(), AnsiString("拡張子無").str(),
                                     AnsiString("表示").str()};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(got, want);

    ini.EraseSection("強調文字列");
    EXPECT_FALSE(ini.SectionExists("強調文字列"));
    ini.ReadSection("強調文字列", &names);
    EXPECT_EQ(names.GetCount(), 0);
    EXPECT_EQ(ini.ReadString("強調文字列", "cpp", "gone"), "gone");
    ini.EraseSection("強調文字列"); // a missing section is no error
}

TEST_F(WexmoorDef, WXRegIni_ReadsEachTypeAsTheClassLibraryStoreDid)
{
    PutDword(L"S", L"dword", 42);
    PutDword(L"S", L"minus", 0xFFFFFFF9);
    PutText(L"S", L"text", L" 17 ");
    PutText(L"S", L"negative", L"-7");
    PutText(L"S", L"word", L"4x");
    PutText(L"S", L"empty", L"");
    PutText(L"S", L"big", L"2147483648");
    PutText(L"S", L"expand", L"%PATH%", REG_EXPAND_SZ);
    const BYTE bytes[4] = {1, 0, 0, 0};
    Put(L"S", L"binary", REG_BINARY, bytes, 4);
    const unsigned long long q = 5;
    Put(L"S", L"qword", REG_QWORD, &q, sizeof q);
    Put(L"S", L"unterminated", REG_SZ, L"ab", 2 * sizeof(wchar_t));

    WXRegIni ini(root);
    const struct
    {
        const char* name;
        int integer;   // ReadInteger with the default -1
        const char* text; // ReadString with the default "def"
    } cases[] = {
        {"dword", 42, "def"},       {"minus", -7, "def"},          {"text", 17, " 17 "},
        {"negative", -7, "-7"},     {"word", -1, "4x"},            {"empty", -1, ""},
        {"big", -1, "2147483648"},  {"expand", -1, "%PATH%"},      {"binary", -1, "def"},
        {"qword", -1, "def"},       {"unterminated", -1, "ab"},    {"missing", -1, "def"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini.ReadInteger("S", c.name, -1), c.integer);
        EXPECT_EQ(ini.ReadString("S", c.name, "def"), c.text);
        EXPECT_EQ(ini.ReadBool("S", c.name, true), c.integer == -1 ? true : c.integer != 0);
    }
    EXPECT_EQ(ini.ReadInteger("no such section", "dword", 3), 3);
    EXPECT_TRUE(ini.ValueExists("S", "binary"));
    ini.DeleteKey("S", "binary");
    EXPECT_FALSE(ini.ValueExists("S", "binary"));
}

TEST_F(WexmoorDef, WXRegIni_WritesIntegersAsNumbersUnlessTheValueIsText)
{
    PutText(L"S", L"was text", L"1");
    {
        WXRegIni ini(root);
        ini.WriteInteger("S", "new", -5);
        ini.WriteInteger("S", "was text", 300);
        ini.WriteBool("S", "flag", true);
        ini.WriteBool("S", "off", false);
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Get(L"S", L"new", type, data));
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), DWORD(0xFFFFFFFB));
    ASSERT_TRUE(Get(L"S", L"was text", type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"300");
    ASSERT_TRUE(Get(L"S", L"flag", type, data));
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), L"1");

    WXRegIni ini(root);
    EXPECT_EQ(ini.ReadInteger("S", "new", 0), -5);
    EXPECT_EQ(ini.ReadInteger("S", "was text", 0), 300);
    EXPECT_TRUE(ini.ReadBool("S", "flag", false));
    EXPECT_FALSE(ini.ReadBool("S", "off", true));
}

// ---- colour records -------------------------------------------------------------------------------

TEST_F(WexmoorDef, ReadColorRec_KeepsMissingFieldsAndFallsBackOnDamage)
{
    const typColorRec start(0x123, 0x456);
    const std::string longBlank = "1,2,1,0,0" + std::string(400, ' ');
    const std::string longZeros = "1,2,1,0," + std::string(400, '0');
    const struct
    {
        std::string text;
        typColorRec expected;
    } cases[] = {
        {"", start},
        {"   ", start},
        {"255", {255, 0x456}},
        {"255,0,1", {255, 0, true}},
        {"1,2,0,1,1", {1, 2, false, true, true}},
        {" 7 , 8 ,2,0,-1", {7, 8, true, false, false}}, // flags clamp to 0 or 1
        {"-2147483635,-2147483634,0,0,0", {int(0x8000000D), int(0x8000000E)}},
        {"2147483661,0", {int(0x8000000D), 0}}, // a system colour written unsigned
        {longBlank, {1, 2, true}},              // no fixed buffer: the whole text counts
        {longZeros, {1, 2, true, false, false}},
        {"abc", start},
        {"12px,0", start},
        {"1,2,3,4,5,6", start},
        {"99999999999", start},
        {"16777216,0", start},  // not a colour
        {"0,-1", start},
        {"-2147483616,0", start}, // system colour index past the table
        {"1,,1", start},
        {"1;2", start},
        {"0x10,0", start},
    };
    WXRegIni ini(root);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text.substr(0, 40));
        ini.WriteString("C", "key", AnsiString(c.text));
        EXPECT_EQ(ReadColorRec(&ini, "C", "key", 0x123, 0x456), c.expected);
    }
    PutDword(L"C", L"dword", 255);
    EXPECT_EQ(ReadColorRec(&ini, "C", "dword", 0x123, 0x456), start);
    EXPECT_EQ(ReadColorRec(&ini, "C", "missing", 0x123, 0x456), start);

    WriteColorRec(&ini, "C", "written", typColorRec(int(0x8000000E), 0xFF, true, false, true));
    EXPECT_EQ(ini.ReadString("C", "written", ""), "-2147483634,255,1,0,1");
}

TEST(ColorRecToFontStyles, MapsEachFlagToItsStyle)
{
    for (int bits = 0; bits < 8; ++bits)
    {
        typColorRec r(0, 0, bits & 1, bits & 2, bits & 4);
        TFontStyles want;
        if (bits & 1)
            want << fsBold;
        if (bits & 2)
            want << fsItalic;
        if (bits & 4)
            want << fsUnderline;
        EXPECT_EQ(ColorRecToFontStyles(r), want) << bits;
    }
}

// ---- section EDITSETTING -----------------------------------------------------------------------------

TEST_F(WexmoorDef, ReadEditSetting_GivesTheDefaultsOnAnEmptyKey)
{
    std::mt19937 rng(1);
    typEditSetting s = RandomSetting(rng); // every field overwritten by the reader
    ReadEditSetting(s, root);
    EXPECT_EQ(Differences(s, DocumentedDefaults()), "");
    EXPECT_EQ(Differences(VN::EditSettingDefaults(), DocumentedDefaults()), "");

    // The null-editor form reads into the global record.
    const typEditSetting saved = VN::EditSetting;
    VN::EditSetting = typEditSetting();
    LoadEditSetting(nullptr, root);
    EXPECT_EQ(Differences(VN::EditSetting, DocumentedDefaults()), "");
    VN::EditSetting = saved;
}

TEST_F(WexmoorDef, WriteEditSetting_ThenReadGivesBackEveryField)
{
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    for (int i = 0; i < 40; ++i)
    {
        typEditSetting s = RandomSetting(rng);
        WriteEditSetting(s, root);
        WriteBlendKeys(root, s);
        typEditSetting back;
        ReadEditSetting(back, root);
        ASSERT_EQ(Differences(back, s), "") << "seed " << seed << ", round " << i;
    }
}

TEST_F(WexmoorDef, WriteEditSetting_StoresEachKeyWithItsType)
{
    typEditSetting s = DocumentedDefaults();
    s.KINSOKU = true;
    WriteEditSetting(s, root);
    const struct
    {
        const wchar_t* key;
        DWORD type;
        const wchar_t* text; // for REG_SZ
        DWORD number;        // for REG_DWORD
    } cases[] = {
        {L"IS_REMAIN", REG_SZ, L"1", 0},
        {L"FONT_NAME", REG_SZ, L"ＭＳ ゴシック", 0},
        {L"FONT_SIZE", REG_DWORD, nullptr, 10},
        {L"色_文字", REG_DWORD, nullptr, 0xFFFFFF},
        {L"色_背景", REG_SZ, L"0,16777215,0,0,0", 0},
        {L"色_選択文字", REG_SZ, L"-2147483634,-2147483635,0,0,0", 0},
        {L"色_検索文字列３", REG_SZ, L"65280,16777215,0,0,0", 0},
        {L"ROWPITCH", REG_DWORD, nullptr, 2},
        {L"AUTO_INDENT", REG_DWORD, nullptr, 1},
        {L"DISPTAB", REG_SZ, L"0", 0},
        {L"KINSOKU", REG_SZ, L"1", 0},
        {L"WRAPWIDTH", REG_DWORD, nullptr, 80},
        {L"BANEND", REG_SZ, L"（［｛「〔《『【〈≪‘“({[", 0},
        {L"WINDOW_ALPHABLENDVALUE", REG_DWORD, nullptr, 128},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "key " << Utf8(WideToSjis(c.key)));
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(Get(L"EDITSETTING", c.key, type, data));
        ASSERT_EQ(type, c.type);
        if (type == REG_SZ)
            EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), c.text);
        else
            EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), c.number);
    }
    // The blending keys belong to the wallpaper settings' writer.
    EXPECT_FALSE(WXRegIni(root).SectionExists(VN::kWallpaperSection));
}

TEST_F(WexmoorDef, ReadEditSetting_RefusesOutOfRangeDamagedAndMistypedValues)
{
    using Field = std::function<long long(const typEditSetting&)>;
    const Field fontSize = [](const typEditSetting& s) { return s.FONT_SIZE; };
    const Field tabSize = [](const typEditSetting& s) { return s.TABSIZE; };
    const Field wrap = [](const typEditSetting& s) { return s.WRAPWIDTH; };
    const Field pitch = [](const typEditSetting& s) { return s.ROWPITCH; };
    const Field alpha = [](const typEditSetting& s) { return s.ALPHA_VALUE; };
    const Field bkAlpha = [](const typEditSetting& s) { return s.STR_BK_ALPHA; };
    const Field winAlpha = [](const typEditSetting& s) { return s.WINDOW_ALPHABLENDVALUE; };
    const Field back = [](const typEditSetting& s) { return s.色_文字; };
    const Field strBk = [](const typEditSetting& s) { return s.STR_BKCOLOR; };
    const Field remain = [](const typEditSetting& s) { return s.IS_REMAIN; };
    const Field wrapOn = [](const typEditSetting& s) { return s.ISWRAP; };
    const Field normal = [](const typEditSetting& s) { return s.色_背景.colour; };
    const Field normalCopy = [](const typEditSetting& s) { return s.NORMAL_COLOR; };
    const Field searchBk = [](const typEditSetting& s) { return s.色_検索文字列[1].bkcolour; };

    enum Kind { dword, text, binary };
    const struct
    {
        const wchar_t* section;
        const wchar_t* key;
        Kind kind;
        DWORD number;
        const wchar_t* str;
        const Field* field;
        long long expected;
    } cases[] = {
        {L"EDITSETTING", L"FONT_SIZE", dword, 6, nullptr, &fontSize, 10},
        {L"EDITSETTING", L"FONT_SIZE", dword, 31, nullptr, &fontSize, 10},
        {L"EDITSETTING", L"FONT_SIZE", dword, 7, nullptr, &fontSize, 7},
        {L"EDITSETTING", L"FONT_SIZE", dword, 30, nullptr, &fontSize, 30},
        {L"EDITSETTING", L"FONT_SIZE", text, 0, L"12", &fontSize, 12},
        {L"EDITSETTING", L"FONT_SIZE", text, 0, L"12pt", &fontSize, 10},
        {L"EDITSETTING", L"FONT_SIZE", binary, 12, nullptr, &fontSize, 10},
        {L"EDITSETTING", L"TABSIZE", dword, 0, nullptr, &tabSize, 4},
        {L"EDITSETTING", L"TABSIZE", dword, 17, nullptr, &tabSize, 4},
        {L"EDITSETTING", L"TABSIZE", dword, 0xFFFFFFFF, nullptr, &tabSize, 4},
        {L"EDITSETTING", L"TABSIZE", dword, 1, nullptr, &tabSize, 1},
        {L"EDITSETTING", L"TABSIZE", dword, 16, nullptr, &tabSize, 16},
        {L"EDITSETTING", L"WRAPWIDTH", dword, 9, nullptr, &wrap, 80},
        {L"EDITSETTING", L"WRAPWIDTH", dword, 1000, nullptr, &wrap, 80},
        {L"EDITSETTING", L"WRAPWIDTH", dword, 10, nullptr, &wrap, 10},
        {L"EDITSETTING", L"WRAPWIDTH", dword, 999, nullptr, &wrap, 999},
        {L"EDITSETTING", L"ROWPITCH", dword, 0xFFFFFFFF, nullptr, &pitch, 2},
        {L"EDITSETTING", L"ROWPITCH", dword, 100, nullptr, &pitch, 2},
        {L"EDITSETTING", L"ROWPITCH", dword, 0, nullptr, &pitch, 0},
        {L"EDITSETTING", L"ROWPITCH", dword, 99, nullptr, &pitch, 99},
        {L"WALLPAPER", L"ALPHA_VALUE", dword, 256, nullptr, &alpha, 128},
        {L"WALLPAPER", L"ALPHA_VALUE", dword, 255, nullptr, &alpha, 255},
        {L"WALLPAPER", L"STR_BK_ALPHA", dword, 0xFFFFFFFF, nullptr, &bkAlpha, 0},
        {L"WALLPAPER", L"STR_BK_ALPHA", text, 0, L"77", &bkAlpha, 77},
        {L"EDITSETTING", L"WINDOW_ALPHABLENDVALUE", dword, 300, nullptr, &winAlpha, 128},
        {L"EDITSETTING", L"WINDOW_ALPHABLENDVALUE", dword, 0, nullptr, &winAlpha, 0},
        {L"EDITSETTING", L"色_文字", dword, 0x01000000, nullptr, &back, 0xFFFFFF},
        {L"EDITSETTING", L"色_文字", dword, 0x80000005, nullptr, &back, int(0x80000005)},
        {L"EDITSETTING", L"色_文字", dword, 0x80000100, nullptr, &back, 0xFFFFFF},
        {L"EDITSETTING", L"色_文字", text, 0, L"255", &back, 255},
        {L"WALLPAPER", L"STR_BKCOLOR", dword, 0x12345678, nullptr, &strBk, 0xFFFFFF},
        {L"WALLPAPER", L"STR_BKCOLOR", dword, 0x00ABCDEF, nullptr, &strBk, 0xABCDEF},
        {L"EDITSETTING", L"IS_REMAIN", text, 0, L"0", &remain, 0},
        {L"EDITSETTING", L"IS_REMAIN", dword, 0, nullptr, &remain, 0},
        {L"EDITSETTING", L"IS_REMAIN", text, 0, L"yes", &remain, 1},
        {L"EDITSETTING", L"IS_REMAIN", binary, 0, nullptr, &remain, 1},
        {L"EDITSETTING", L"ISWRAP", dword, 2, nullptr, &wrapOn, 1},
        {L"EDITSETTING", L"色_背景", text, 0, L"255,0,1", &normal, 255},
        {L"EDITSETTING", L"色_背景", text, 0, L"255,0,1", &normalCopy, 255},
        {L"EDITSETTING", L"色_背景", text, 0, L"garbage", &normalCopy, 0},
        {L"EDITSETTING", L"色_背景", dword, 255, nullptr, &normal, 0},
        {L"EDITSETTING", L"色_検索文字列２", text, 0, L"1,2", &searchBk, 2},
        {L"EDITSETTING", L"色_検索文字列２", text, 0, L"1,2,x", &searchBk, 0xFFFFFF},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << Utf8(WideToSjis(c.key)) << " " << c.number << " "
                                        << (c.str ? Utf8(WideToSjis(c.str)) : std::string()));
        EraseSettings();
        if (c.kind == dword)
            PutDword(c.section, c.key, c.number);
        else if (c.kind == text)
            PutText(c.section, c.key, c.str);
        else
            Put(c.section, c.key, REG_BINARY, &c.number, sizeof c.number);
        typEditSetting s;
        ReadEditSetting(s, root);
        EXPECT_EQ((*c.field)(s), c.expected);
    }
}

TEST_F(WexmoorDef, ReadEditSetting_TextBackgroundDefaultsToTheNormalBackground)
{
    PutText(L"EDITSETTING", L"色_背景", L"0,255");
    typEditSetting s;
    ReadEditSetting(s, root);
    EXPECT_EQ(s.STR_BKCOLOR, 255);
    PutDword(L"WALLPAPER", L"STR_BKCOLOR", 0x01000000); // damaged: the same default
    ReadEditSetting(s, root);
    EXPECT_EQ(s.STR_BKCOLOR, 255);
}

TEST_F(WexmoorDef, ReadEditSetting_TakesOnlyFontNamesGdiCanUse)
{
    const struct
    {
        const wchar_t* stored; // null: a number instead
        const char* expected;
    } cases[] = {
        {L"Courier New", "Courier New"},
        {L"ＭＳ 明朝", "ＭＳ 明朝"},
        {L"", "ＭＳ ゴシック"},
        {L"   ", "ＭＳ ゴシック"},
        {L"0123456789012345678901234567890", "0123456789012345678901234567890"},
        {L"01234567890123456789012345678901", "ＭＳ ゴシック"},
        {nullptr, "ＭＳ ゴシック"},
    };
    for (const auto& c : cases)
    {
        EraseSettings();
        if (c.stored)
            PutText(L"EDITSETTING", L"FONT_NAME", c.stored);
        else
            PutDword(L"EDITSETTING", L"FONT_NAME", 5);
        typEditSetting s;
        ReadEditSetting(s, root);
        EXPECT_EQ(NsStringToAnsi(s.FONT_NAME), c.expected) << (c.stored ? Utf8(WideToSjis(c.stored)) : "dword");
    }
    // Banned-character lists may be cleared, but not replaced by a number.
    EraseSettings();
    PutText(L"EDITSETTING", L"BANHEAD", L"");
    PutDword(L"EDITSETTING", L"BANEND", 1);
    typEditSetting s;
    ReadEditSetting(s, root);
    EXPECT_TRUE(s.BANHEAD.IsEmpty());
    EXPECT_EQ(s.BANEND, DocumentedDefaults().BANEND);
}

TEST_F(WexmoorDef, ReadEditSetting_CutsOverLongBannedCharacterListsToWhatTheEditHolds)
{
    // Characters, not bytes, count; a double-byte character is never cut in two.
    std::wstring mixed;
    for (int i = 0; mixed.size() < 200000; ++i)
        mixed += i % 3 ? L"。" : L")";
    const struct
    {
        std::wstring stored;
        size_t chars;
    } cases[] = {
        {mixed, size_t(VN::kBanCharsMax)},
        {mixed.substr(0, size_t(VN::kBanCharsMax)), size_t(VN::kBanCharsMax)},
        {mixed.substr(0, size_t(VN::kBanCharsMax) - 1), size_t(VN::kBanCharsMax) - 1},
        {std::wstring(40000, L'、'), size_t(VN::kBanCharsMax)},
    };
    for (const auto& c : cases)
    {
        EraseSettings();
        PutText(L"EDITSETTING", L"BANHEAD", c.stored);
        PutText(L"EDITSETTING", L"BANEND", c.stored);
        typEditSetting s;
        ReadEditSetting(s, root);
        const AnsiString expected = WideToSjis(c.stored.substr(0, c.chars));
        EXPECT_TRUE(NsStringToAnsi(s.BANHEAD) == expected) << c.stored.size() << " stored";
        EXPECT_TRUE(NsStringToAnsi(s.BANEND) == expected) << c.stored.size() << " stored";
    }
}

// ---- applying the settings to an editor ----------------------------------------------------------------

namespace
{
void Load(TCustomAFEdit& ed, const std::string& bytes)
{
    TStringStream stream(AnsiString(bytes.data(), int(bytes.size())));
    ed.LoadFromStream(&stream, TConvMode{cmFoldLine});
}

std::vector<std::string> Rows(TCustomAFEdit& ed)
{
    std::vector<std::string> rows;
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        rows.push_back(ed.GetLine(i).str());
    return rows;
}

// The text in front of a display point: what a caret or a selection end stays behind.
std::string TextBefore(TCustomAFEdit& ed, const TPoint& dsp)
{
    std::string s;
    for (int r = 0; r < dsp.y; ++r)
        s += ed.GetLine(r).str();
    const std::string row = ed.GetLine(dsp.y).str();
    const int logCol = std::clamp(ed.LogicalPos(dsp), 0, int(row.size()));
    return s + row.substr(0, size_t(logCol));
}

// A display point at a random character boundary (never inside a double-byte character, never
// after a CR).
TPoint RandomPoint(TCustomAFEdit& ed, std::mt19937& rng)
{
    const int row = int(rng() % unsigned(ed.GetLinesCount()));
    const std::string s = ed.GetLine(row).str();
    std::vector<int> cuts;
    for (int i = 0;;)
    {
        cuts.push_back(i);
        if (i >= int(s.size()) || s[size_t(i)] == '\r')
            break;
        i += IsSjisLead((unsigned char)s[size_t(i)]) && i + 1 < int(s.size()) ? 2 : 1;
    }
    return ed.DspPos(TPoint(cuts[rng() % cuts.size()], row));
}

std::string RandomText(std::mt19937& rng, bool tabs)
{
    // Banned heads and ends, double-byte characters, tabs and blanks, so that breaks land on all
    // of them.
    const char* const pieces[] = {"a", "b", "xyz", " ", tabs ? "\t" : " ", "あ", "漢", "ソ", "、", "。",
                                  "」", "）", "（", "「", ")", "(", ".", "ー", "ab cd"};
    const int paragraphs = 1 + int(rng() % 6);
    std::string text;
    for (int p = 0; p < paragraphs; ++p)
    {
        const int len = int(rng() % 260);
        std::string para;
        while (int(para.size()) < len)
            para += pieces[rng() % std::size(pieces)];
        text += para;
        if (p + 1 < paragraphs || rng() % 2)
            text += "\r\n";
        if (rng() % 5 == 0)
            text += "\r\n"; // an empty paragraph
    }
    return text;
}

// The defaults with the settings that decide the folding chosen at random.
typEditSetting RandomFolding(std::mt19937& rng)
{
    typEditSetting s = VN::EditSettingDefaults();
    s.ISWRAP = rng() % 4 != 0;
    s.WRAPWIDTH = Between(rng, 10, 90);
    s.TABSIZE = Between(rng, 1, 8);
    s.KINSOKU = rng() & 1;
    return s;
}

bool FoldingDiffers(const typEditSetting& a, const typEditSetting& b)
{
    return a.ISWRAP != b.ISWRAP ||
           (b.ISWRAP && (a.WRAPWIDTH != b.WRAPWIDTH || a.TABSIZE != b.TABSIZE || a.KINSOKU != b.KINSOKU));
}

struct UndoListener : TObject
{
    int calls = 0;
    bool canUndo = true;
    void Changed(TObject*, bool undo, bool)
    {
        ++calls;
        canUndo = undo;
    }
};
} // namespace

TEST(ApplyEditSetting, SetsTheEditorFromTheRecord)
{
    typEditSetting on = VN::EditSettingDefaults();
    on.FONT_NAME = "Courier New";
    on.FONT_SIZE = 20;
    on.色_文字 = 0x102030;
    on.色_背景 = {0x0000FF, 0x00FF00, true, false, true};
    on.NORMAL_COLOR = 0x0000FF;
    on.色_選択文字 = {0x111111, 0x222222};
    on.色_強調文字列 = {0x777777, 0x888888};
    on.色_行番号 = {0x333333, 0x444444};
    on.色_ルーラー = {0x555555, 0x666666};
    on.ROWPITCH = 7;
    on.TABSIZE = 8;
    on.DISPROWNUM = on.DISPRULA = on.AUTO_INDENT = on.DISPTAB = on.DISSPACE2 = on.ISWRAP = on.KINSOKU = true;
    on.WRAPWIDTH = 40;
    on.BANHEAD = "。";
    on.BANEND = "「";
    typEditSetting off = on;
    off.DISPROWNUM = off.DISPRULA = off.AUTO_INDENT = off.DISPTAB = off.DISSPACE2 = off.ISWRAP = off.KINSOKU =
        false;
    off.色_背景 = {0x0000FF, 0x00FF00, false, true, false};
    off.ROWPITCH = 0;

    for (const typEditSetting* s : {&on, &off, &on})
    {
        auto ed = NewEditor();
        ed->SetViewOpt(TViewOptions{voCr, voRowNum});
        ed->WrapLineColor = 0;
        ed->SetCrColor(0xFF, 0);
        ApplyEditSetting(ed.get(), *s);
        EXPECT_EQ(ed->Font()->Name(), "Courier New");
        EXPECT_NEAR(ed->Font()->Size(), s->FONT_SIZE, 1); // the editor evens the pixel height
        EXPECT_EQ(ed->Color(), s->色_文字);
        EXPECT_EQ(ed->Font()->Color(), s->色_背景.colour);
        EXPECT_EQ(ed->Font()->Style(), ColorRecToFontStyles(s->色_背景));
        EXPECT_EQ(ed->GetDependenceColor(), s->NORMAL_COLOR);
        EXPECT_EQ(ed->ColCr, 0x80);
        EXPECT_EQ(ed->ColSelBrush, s->色_選択文字.bkcolour);
        EXPECT_EQ(ed->GetSelTextColor(), s->色_選択文字.colour);
        EXPECT_EQ(ed->GetKeywordColor(), s->色_強調文字列.colour);
        EXPECT_EQ(ed->WrapLineColor, 0x808080);
        EXPECT_EQ(ed->ColRowNo, s->色_行番号.colour);
        EXPECT_EQ(ed->ColLeftMgn, s->色_行番号.bkcolour);
        EXPECT_EQ(ed->ColColumnNo, s->色_ルーラー.colour);
        EXPECT_EQ(ed->ColColumnIndi, s->色_ルーラー.bkcolour);
        EXPECT_EQ(ed->GetRowPich(), s->ROWPITCH);
        EXPECT_EQ(ed->GetRowHeight(), ed->GetTextHeight() + s->ROWPITCH);
        EXPECT_EQ(ed->GetTabSize(), s->TABSIZE);
        EXPECT_EQ(ed->GetDefWrapPos(), s->WRAPWIDTH);
        EXPECT_EQ(ed->GetBanHead(), NsStringToAnsi(s->BANHEAD));
        EXPECT_EQ(ed->GetBanEnd(), NsStringToAnsi(s->BANEND));
        const TViewOptions v = ed->GetViewOpt();
        EXPECT_FALSE(v.Contains(voCr)); // line-end marks always go off
        EXPECT_EQ(v.Contains(voRowNum), s->DISPROWNUM);
        EXPECT_EQ(v.Contains(voColIndicate), s->DISPRULA);
        EXPECT_EQ(v.Contains(voTab), s->DISPTAB);
        EXPECT_EQ(v.Contains(voAnsiSpace), s->DISSPACE2);
        EXPECT_EQ(v.Contains(voWrapLine), s->ISWRAP);
        const TAFEditOptions o = ed->GetOptions();
        EXPECT_EQ(o.Contains(aoJpnBanBreak), s->KINSOKU);
        EXPECT_EQ(o.Contains(aoAutoIndent), s->AUTO_INDENT);
        EXPECT_EQ(o.Contains(aoAutoFormat), s->ISWRAP);
        EXPECT_TRUE(ed->Keywords()->GetCaseSensitive()); // emphasized strings match case
        EXPECT_TRUE(ed->ExKeywords()->GetCaseSensitive());
        EXPECT_FALSE(ed->Updating);
    }
}

namespace
{
struct TargetEdit : TAFEdit, TEditSettingTarget
{
    using TAFEdit::TAFEdit;
    void ApplyEditSetting(const typEditSetting& s) override
    {
        ++calls;
        alpha = s.WINDOW_ALPHABLENDVALUE;
    }
    int calls = 0;
    int alpha = -1;
};

struct TargetForm : TForm, TEditSettingTarget
{
    using TForm::TForm;
    void ApplyEditSetting(const typEditSetting& s) override
    {
        ++calls;
        alpha = s.WINDOW_ALPHABLENDVALUE & 0xFF;
    }
    int calls = 0;
    int alpha = -1;
};
} // namespace

TEST(ApplyEditSetting, ReachesThePageAndItsFormThroughTheirTargets)
{
    TargetForm* form = Create<TargetForm>(nullptr);
    TargetEdit* ed = Create<TargetEdit>(form);
    typEditSetting s = VN::EditSettingDefaults();
    s.WINDOW_ALPHABLENDVALUE = 200;
    ApplyEditSetting(ed, s);
    EXPECT_EQ(form->calls, 1);
    EXPECT_EQ(form->alpha, 200);
    EXPECT_EQ(ed->calls, 1);
    EXPECT_EQ(ed->alpha, 200);
    delete ed;
    delete form;

    auto plain = NewEditor(); // no targets anywhere: nothing to reach, nothing fails
    ApplyEditSetting(plain.get(), s);
}

TEST(ApplyEditSetting, RefoldsAHiddenEditorAtOnce)
{
    auto ed = NewEditor();
    ASSERT_FALSE(ed->Visible());
    typEditSetting s = VN::EditSettingDefaults();
    ApplyEditSetting(ed.get(), s);
    Load(*ed, std::string(100, 'a') + "\r\n");
    s.ISWRAP = true;
    s.WRAPWIDTH = 40;
    ApplyEditSetting(ed.get(), s);
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{std::string(40, 'a'), std::string(40, 'a'),
                                                   std::string(20, 'a') + "\r", ""}));
    s.WRAPWIDTH = 60;
    ApplyEditSetting(ed.get(), s);
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{std::string(60, 'a'), std::string(40, 'a') + "\r", ""}));
    s.ISWRAP = false;
    ApplyEditSetting(ed.get(), s);
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{std::string(100, 'a') + "\r", ""}));
}

TEST(ApplyEditSetting, RefoldKeepsTextEditedStateCaretAndSelection)
{
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    int refolds = 0;
    for (int round = 0; round < 400; ++round)
    {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", round " << round);
        auto ed = NewEditor();
        const typEditSetting a = RandomFolding(rng);
        const typEditSetting b = RandomFolding(rng);
        ApplyEditSetting(ed.get(), a);
        const bool tabs = round % 3 == 0;
        const std::string text = RandomText(rng, tabs);
        Load(*ed, text);
        const AnsiString before = ed->GetText();
        const bool edited = rng() & 1;
        ed->SetEdited(edited);
        const bool insert = rng() & 1; // overwrite mode must not matter: nothing is typed
        ed->SetInsertMode(insert);
        const TPoint caret = RandomPoint(*ed, rng), anchor = RandomPoint(*ed, rng), moving = RandomPoint(*ed, rng);
        ed->SetCaretRaw(caret);
        ed->SelArea()->PutStartPoint(anchor);
        ed->SelArea()->PutEndPoint(moving);
        const std::string caretText = TextBefore(*ed, caret), anchorText = TextBefore(*ed, anchor),
                          movingText = TextBefore(*ed, moving);
        UndoListener undo;
        ed->OnUndoChange = TUndoNotifyEvent(&undo, &UndoListener::Changed);

        ApplyEditSetting(ed.get(), b);

        ASSERT_EQ(ed->GetText(), before);
        EXPECT_EQ(ed->isEdited(), edited);
        EXPECT_EQ(ed->GetInsertMode(), insert);
        if (FoldingDiffers(a, b))
        {
            ++refolds;
            EXPECT_FALSE(ed->CanUndo());
            EXPECT_FALSE(ed->CanRedo());
            EXPECT_GE(undo.calls, 1);
            EXPECT_FALSE(undo.canUndo);
        }
        EXPECT_EQ(TextBefore(*ed, ed->GetCaret()), caretText);
        EXPECT_EQ(TextBefore(*ed, ed->SelArea()->AnchorPoint()), anchorText);
        EXPECT_EQ(TextBefore(*ed, ed->SelArea()->MovingPoint()), movingText);
        // Settled: folding any row again moves nothing. (With tabs the control's folding is
        // not consistent with itself: it expands a row's tabs from the row's own start when it
        // weighs joining it to the row above.)
        const std::vector<std::string> rows = Rows(*ed);
        if (!tabs)
        {
            for (int r = 0; r < ed->GetLinesCount(); ++r)
                ed->FoldLine(r);
            ASSERT_EQ(Rows(*ed), rows);
        }
        // Plain text (no tabs, no line-breaking rules) folds as the same text loaded afresh.
        if (!tabs && !b.KINSOKU)
        {
            auto fresh = NewEditor();
            ApplyEditSetting(fresh.get(), b);
            Load(*fresh, text);
            ASSERT_EQ(rows, Rows(*fresh));
        }
    }
    EXPECT_GT(refolds, 150);
}

TEST(ApplyEditSetting, RefoldNeverSplitsADoubleByteCharacterOrLosesABannedOne)
{
    const std::string kanji = [] {
        std::string k;
        for (int i = 0; i < 40; ++i)
            k += "漢";
        return k;
    }();
    const std::string texts[] = {
        "a" + kanji + "\r\n",                                    // a double-byte character on every odd edge
        std::string(9, 'x') + "。。、」" + kanji + "\r\n",       // banned heads at the edge
        std::string(8, 'x') + "「（" + kanji + "（「\r\nend",   // banned ends at the edge
        "あ" + std::string(9, ' ') + "。" + kanji + "\r\n\r\n" + kanji,
    };
    for (const std::string& text : texts)
    {
        for (bool kinsoku : {false, true})
        {
            for (int width = 10; width <= 21; ++width)
            {
                SCOPED_TRACE(testing::Message() << "width " << width << (kinsoku ? " with rules" : ""));
                auto ed = NewEditor();
                typEditSetting s = VN::EditSettingDefaults();
                s.KINSOKU = kinsoku;
                ApplyEditSetting(ed.get(), s);
                Load(*ed, text);
                ed->SetInsertMode(false);
                ed->SelArea()->PutStartPoint(TPoint(0, 0));
                ed->SelArea()->PutEndPoint(TPoint(3, 1));
                const AnsiString before = ed->GetText();
                s.ISWRAP = true;
                s.WRAPWIDTH = width;
                ApplyEditSetting(ed.get(), s);
                ASSERT_EQ(ed->GetText(), before);
                EXPECT_FALSE(ed->isEdited());
                for (int r = 0; r < ed->GetLinesCount(); ++r)
                {
                    const AnsiString row = ed->GetLine(r);
                    EXPECT_EQ(WideToSjis(SjisToWide(row)), row) << "row " << r << " splits a character";
                }
            }
        }
    }
}

TEST(ApplyEditSetting, WithoutAFoldingChangeKeepsRowsAndTheUndoHistory)
{
    auto ed = NewEditor();
    typEditSetting s = VN::EditSettingDefaults();
    s.ISWRAP = true;
    s.WRAPWIDTH = 30;
    ApplyEditSetting(ed.get(), s);
    Load(*ed, std::string(70, 'q') + "\r\nab\r\n");
    ed->SetLine(3, "xy\r"); // an edit to undo
    ASSERT_TRUE(ed->CanUndo());
    const std::vector<std::string> rows = Rows(*ed);
    s.色_文字 = 0x123456;
    s.DISPTAB = true;
    s.FONT_SIZE = 14;
    ApplyEditSetting(ed.get(), s);
    EXPECT_TRUE(ed->CanUndo());
    EXPECT_TRUE(ed->isEdited());
    EXPECT_EQ(Rows(*ed), rows);
}

// A view scrolled right along a long row, then wrapping turned on (or the wrap width changed):
// the view keeps no column the horizontal bar cannot reach, and the caret stays in it.
TEST(ApplyEditSetting, AReFoldLeavesTheViewWhereTheBarAndTheCaretCanBeSeen)
{
    TViewHost host(480, 300);
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    const int cols = ed.GetDspColCount();
    ASSERT_GT(cols, 60);
    struct TCase
    {
        const char* what;
        bool wrap;
        int width;
        bool rowStartsShown; // the whole text fits across the view
    } cases[] = {
        {"wrapping on, narrower than the view", true, 40, true},
        {"wrapping on, wider than the view", true, cols + 30, false},
        {"wrapping off again", false, 40, false},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        typEditSetting s = VN::EditSettingDefaults();
        s.ISWRAP = !c.wrap;
        s.WRAPWIDTH = c.width;
        ApplyEditSetting(&ed, s);
        std::string text;
        for (int i = 0; i < 40; ++i)
            text += std::string(200, 'a' + i % 26) + "\r\n";
        host.Load(text, TConvMode{cmFoldLine});
        ed.SetCaretRaw(PointOfOffset(&ed, 30 * 201 + 150)); // byte 150 of the 31st line
        ed.CaretMoveResultPaint();
        host.Pump();
        s.ISWRAP = c.wrap;
        ApplyEditSetting(&ed, s);
        host.Pump();
        const TPoint caret = ed.GetCaret();
        const int left = ed.GetLeftCol();
        const int shown = ed.GetDspColCount(); // the settings show row numbers: fewer columns
        EXPECT_EQ(OffsetOfPoint(&ed, caret), 30 * 201 + 150);
        if (c.wrap) // the bar reaches the wrap column and a little past it
        {
            EXPECT_LE(left, std::max(0, c.width + 4 - shown + 1));
        }
        if (c.rowStartsShown)
        {
            EXPECT_EQ(left, 0);
        }
        EXPECT_GE(caret.x, left);
        EXPECT_LT(caret.x, left + shown);
        EXPECT_GE(caret.y, ed.GetTopLine());
        EXPECT_LT(caret.y, ed.GetTopLine() + ed.GetDspRowCount());
    }
}

TEST_F(WexmoorDef, LoadEditSetting_AppliesTheGlobalRecordToAnEditor)
{
    const typEditSetting saved = VN::EditSetting;
    typEditSetting s = VN::EditSettingDefaults();
    s.TABSIZE = 3;
    s.ROWPITCH = 9;
    WriteEditSetting(s, root);
    LoadEditSetting(nullptr, root);
    auto ed = NewEditor();
    LoadEditSetting(ed.get(), root);
    EXPECT_EQ(ed->GetTabSize(), 3);
    EXPECT_EQ(ed->GetRowPich(), 9);
    VN::EditSetting = saved;
}

TEST(GetAppDir, IsTheFolderOfTheProgramWithoutATrailingBackslash)
{
    const AnsiString dir = NsStringToAnsi(GetAppDir());
    ASSERT_FALSE(dir.IsEmpty());
    EXPECT_NE(dir[dir.Length()], '\\');
    EXPECT_TRUE(FileExists(dir + "\\" + ExtractFileName(ParamStr(0))));
}
