// The ground every other test stands on: Shift-JIS literals, code page 932 and a Japanese font.
// When one of these fails, fix the machine (tools/setup.sh, tools/wine-session.sh), not the code.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/Cp932.h"

namespace
{

std::wstring Wide(const char* sjis)
{
    return SjisToWide(sjis, int(std::strlen(sjis)));
}

int CALLBACK CountFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM counter)
{
    ++*reinterpret_cast<int*>(counter);
    return 1;
}

// A memory DC with one font selected; everything released on the way out.
class FontProbe
{
public:
    explicit FontProbe(const std::wstring& face)
    {
        dc_ = CreateCompatibleDC(nullptr);
        LOGFONTW lf{};
        lf.lfHeight = -16;
        lf.lfCharSet = SHIFTJIS_CHARSET;
        lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
        font_ = CreateFontIndirectW(&lf);
        old_ = SelectObject(dc_, font_);
    }
    ~FontProbe()
    {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    FontProbe(const FontProbe&) = delete;
    FontProbe& operator=(const FontProbe&) = delete;

    HDC dc() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

} // namespace

TEST(Environment, SourceLiteralsBecomeShiftJisBytes)
{
    EXPECT_STREQ("あ", "\x82\xA0");
    EXPECT_STREQ("ＭＳ ゴシック", "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    EXPECT_EQ(Wide("ＭＳ ゴシック"), L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF");
}

TEST(Environment, AnsiCodePageIsShiftJis)
{
    EXPECT_EQ(GetACP(), 932u) << "Wine runs without LC_ALL=ja_JP.UTF-8 (see tools/wine-session.sh)";
}

TEST(Environment, ShiftJisCharsetHasAFontFamily)
{
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = SHIFTJIS_CHARSET;
    int families = 0;
    EnumFontFamiliesExW(dc, &lf, CountFamily, reinterpret_cast<LPARAM>(&families), 0);
    ReleaseDC(nullptr, dc);
    EXPECT_GT(families, 0) << "no Japanese font installed (fonts-ipafont-gothic)";
}

// The faces programs ask for by name must reach a real Japanese font: the face keeps the
// requested name, is Shift-JIS, has a glyph for あ, and the Gothic faces keep their pitch.
TEST(Environment, JapaneseFacesResolveToShiftJisFontsWithGlyphs)
{
    struct Case
    {
        const char* label; // ASCII, so a failure reads the same on any terminal
        const char* face;
        bool fixedPitch;
    };
    const Case cases[] = {
        {"MS Gothic (full-width name)", "ＭＳ ゴシック", true},
        {"MS PGothic (full-width name)", "ＭＳ Ｐゴシック", false},
        {"MS Mincho (full-width name)", "ＭＳ 明朝", true},
        {"MS Gothic", "MS Gothic", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        const std::wstring face = Wide(c.face);
        FontProbe probe(face);

        wchar_t got[LF_FACESIZE] = {};
        ASSERT_GT(GetTextFaceW(probe.dc(), LF_FACESIZE, got), 0);
        EXPECT_EQ(std::wstring(got), face) << "no font replacement for this face in the Wine prefix";

        TEXTMETRICW tm{};
        ASSERT_TRUE(GetTextMetricsW(probe.dc(), &tm));
        EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);

        WORD glyph = 0;
        ASSERT_EQ(GetGlyphIndicesW(probe.dc(), L"\x3042", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS), 1u);
        EXPECT_NE(glyph, 0xFFFF) << "no glyph for U+3042";

        // A full-width character is exactly two half-width cells in a fixed-pitch face.
        SIZE narrowW{}, wideW{}, full{};
        ASSERT_TRUE(GetTextExtentPoint32W(probe.dc(), L"i", 1, &narrowW));
        ASSERT_TRUE(GetTextExtentPoint32W(probe.dc(), L"W", 1, &wideW));
        ASSERT_TRUE(GetTextExtentPoint32W(probe.dc(), L"\x3042", 1, &full));
        if (c.fixedPitch)
        {
            EXPECT_EQ(narrowW.cx, wideW.cx);
            EXPECT_EQ(full.cx, 2 * wideW.cx);
        }
        else
        {
            EXPECT_LT(narrowW.cx, wideW.cx);
        }
    }
}
