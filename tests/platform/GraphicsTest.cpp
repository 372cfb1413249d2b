#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"

namespace
{

constexpr COLORREF kGlyphStroke = 0x000080; // the colour the editor's fills look for

COLORREF PixelAt(TBitmap& b, int x, int y)
{
    return GetPixel(b.Canvas()->Handle(), x, y);
}

int CountPixels(TBitmap& b, COLORREF colour)
{
    int n = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            n += PixelAt(b, x, y) == colour;
    return n;
}

TEST(ColorToRGB, MapsSystemColoursAndKeepsTheRest)
{
    struct Case
    {
        TColor color;
        TColor expected;
    } cases[] = {
        {clRed, 0x0000FF},
        {clNavy, 0x800000},
        {0x123456, 0x123456},
        {clWindow, TColor(GetSysColor(COLOR_WINDOW))},
        {clBtnFace, TColor(GetSysColor(COLOR_BTNFACE))},
        {clHighlightText, TColor(GetSysColor(COLOR_HIGHLIGHTTEXT))},
        {clNone, clNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColorToRGB(c.color), c.expected) << std::hex << c.color;
}

class TChangeCounter : public TObject
{
public:
    void Changed(TObject*) { ++count; }
    int count = 0;
};

TEST(TFont, SettersFireOnChangeOnlyWhenTheValueChanges)
{
    TFont font;
    TChangeCounter counter;
    font.OnChange = TNotifyEvent(&counter, &TChangeCounter::Changed);
    struct Step
    {
        const char* what;
        void (*apply)(TFont&);
        int expectedCount;
    } steps[] = {
        {"name", [](TFont& f) { f.SetName("ＭＳ ゴシック"); }, 1},
        {"same name", [](TFont& f) { f.SetName("ＭＳ ゴシック"); }, 1},
        {"height", [](TFont& f) { f.SetHeight(-20); }, 2},
        {"same height", [](TFont& f) { f.SetHeight(-20); }, 2},
        {"style", [](TFont& f) { f.SetStyle(TFontStyles{fsBold, fsUnderline}); }, 3},
        {"same style", [](TFont& f) { f.SetStyle(TFontStyles{fsUnderline, fsBold}); }, 3},
        {"colour", [](TFont& f) { f.SetColor(clRed); }, 4},
        {"same colour", [](TFont& f) { f.SetColor(clRed); }, 4},
        {"pitch", [](TFont& f) { f.SetPitch(fpFixed); }, 5},
        {"charset", [](TFont& f) { f.SetCharset(ANSI_CHARSET); }, 6},
    };
    for (const Step& s : steps)
    {
        s.apply(font);
        EXPECT_EQ(counter.count, s.expectedCount) << s.what;
    }
    TFont copy;
    copy.Assign(font);
    EXPECT_EQ(copy.Name(), "ＭＳ ゴシック");
    EXPECT_EQ(copy.Height(), -20);
    EXPECT_EQ(copy.Style().ToInt(), 0x5u); // bold (bit 0) and underline (bit 2)
    EXPECT_EQ(copy.Color(), clRed);
    EXPECT_EQ(copy.Charset(), ANSI_CHARSET);
    EXPECT_EQ(copy.Pitch(), fpFixed);
}

TEST(TFont, DefaultsToShiftJisAndConvertsSizeAtScreenResolution)
{
    TFont font;
    EXPECT_EQ(font.Charset(), SHIFTJIS_CHARSET);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (int points : {8, 9, 12, 20})
    {
        font.SetSize(points);
        EXPECT_EQ(font.Height(), -MulDiv(points, dpi, 72)) << points;
        EXPECT_EQ(font.Size(), points) << points;
    }
}

class CanvasTest : public testing::Test
{
protected:
    void SetUp() override
    {
        bitmap.SetSize(120, 40);
        canvas = bitmap.Canvas();
        canvas->Font()->SetName("ＭＳ ゴシック");
    }
    TBitmap bitmap;
    TCanvas* canvas = nullptr;
};

TEST_F(CanvasTest, FullWidthCharacterIsTwiceAHalfWidthOneInMsGothic)
{
    for (int height : {-12, -14, -16, -20, -24})
    {
        canvas->Font()->SetHeight(height);
        int a = canvas->TextWidth("a");
        ASSERT_GT(a, 0) << height;
        EXPECT_EQ(canvas->TextWidth("あ"), 2 * a) << height;
        EXPECT_EQ(canvas->TextWidth("漢字"), 4 * a) << height;
        EXPECT_EQ(canvas->TextWidth("ｱｲ"), 2 * a) << height; // half-width katakana
        EXPECT_EQ(canvas->TextWidth("aあ表b"), 6 * a) << height;
        EXPECT_EQ(canvas->TextHeight("あ"), canvas->TextHeight("a")) << height;
        EXPECT_GE(canvas->TextHeight("あ"), -height) << height;
    }
}

TEST_F(CanvasTest, ChangesOfFontAndBrushReachTheSelectedObjects)
{
    canvas->Font()->SetHeight(-12);
    int small = canvas->TextWidth("ああ");
    canvas->Font()->SetHeight(-24);
    EXPECT_GT(canvas->TextWidth("ああ"), small);

    for (TColor colour : {clRed, clLime, clBlue})
    {
        canvas->Brush()->SetColor(colour);
        canvas->FillRect(TRect(0, 0, 10, 10));
        EXPECT_EQ(PixelAt(bitmap, 5, 5), COLORREF(colour)) << std::hex << colour;
    }
}

TEST_F(CanvasTest, PenPosFollowsMoveLineAndText)
{
    canvas->MoveTo(3, 4);
    EXPECT_EQ(canvas->PenPos(), TPoint(3, 4));
    canvas->Pen()->SetColor(clBlack);
    canvas->LineTo(30, 4);
    EXPECT_EQ(canvas->PenPos(), TPoint(30, 4));
    EXPECT_EQ(PixelAt(bitmap, 10, 4), COLORREF(clBlack));
    canvas->TextOut(5, 10, "aあ");
    EXPECT_EQ(canvas->PenPos(), TPoint(5 + canvas->TextWidth("aあ"), 10));
}

TEST_F(CanvasTest, ExtTextOutSjisFillsTheClipRectangleWithTheBrush)
{
    canvas->Brush()->SetColor(clRed);
    const int advances[] = {8, 8, 8, 8};
    TRect clip(20, 5, 60, 25);
    canvas->ExtTextOutSjis(20, 5, ETO_CLIPPED | ETO_OPAQUE, &clip, "  ", 2, advances);
    EXPECT_EQ(PixelAt(bitmap, 50, 15), COLORREF(clRed)); // inside the clip rectangle, past the text
    EXPECT_EQ(PixelAt(bitmap, 19, 15), COLORREF(clWhite));
    EXPECT_EQ(PixelAt(bitmap, 60, 15), COLORREF(clWhite));
    EXPECT_EQ(PixelAt(bitmap, 30, 25), COLORREF(clWhite));
}

TEST(SjisRunToWide, GivesEachCharacterTheSumOfItsBytesAdvances)
{
    struct Case
    {
        const char* bytes;
        std::vector<int> byteAdvances;
        std::wstring text;
        std::vector<int> advances;
    } cases[] = {
        {"a", {5}, L"a", {5}},
        {"aあb", {1, 2, 3, 4}, L"aあb", {1, 5, 4}},
        {"表示", {1, 2, 3, 4}, L"表示", {3, 7}}, // 0x5C trail bytes stay inside their characters
        {"ｱa", {7, 1}, L"ｱa", {7, 1}},
        {"あ\x81", {2, 3, 4}, L"あ\x30FB", {5, 4}},   // lone lead byte at the end of the run
        {"\x81\x20z", {1, 2, 3}, L"\x30FB z", {1, 2, 3}}, // a lead byte before a non-trail byte
        {"", {}, L"", {}},
    };
    for (const Case& c : cases)
    {
        std::wstring text;
        std::vector<int> advances;
        SjisRunToWide(c.bytes, int(c.byteAdvances.size()), c.byteAdvances.data(), text, advances);
        EXPECT_EQ(text, c.text) << c.bytes;
        EXPECT_EQ(advances, c.advances) << c.bytes;
    }
}

TEST(TBitmap, SetSizeKeepsThePictureAndWhitensNewArea)
{
    TBitmap b;
    EXPECT_TRUE(b.Empty());
    b.SetSize(4, 4);
    EXPECT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_EQ(PixelAt(b, 2, 2), COLORREF(clWhite));
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(TRect(1, 1, 2, 2));
    b.SetSize(8, 6);
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Height(), 6);
    EXPECT_EQ(PixelAt(b, 1, 1), COLORREF(clRed));
    EXPECT_EQ(PixelAt(b, 6, 5), COLORREF(clWhite));
    b.SetPixelFormat(pf32bit);
    EXPECT_EQ(PixelAt(b, 1, 1), COLORREF(clRed));
    EXPECT_THROW(b.SetPixelFormat(pf8bit), EInvalidOperation);
}

// The editor's recolouring of a line-end glyph: strokes by surface fills at (10, 4) and (4, 10),
// then the background from (1, 1) up to the stroke colour.
TEST(TBitmap, LineEndGlyphsLoadFromResourcesAndTakeTheEditorsFills)
{
    for (const char* name : {"CRS", "CR", "CRL"})
    {
        TBitmap glyph;
        glyph.LoadFromResourceName(HInstance, name);
        glyph.SetPixelFormat(pf24bit);
        ASSERT_GE(glyph.Width(), 11) << name;
        ASSERT_GE(glyph.Height(), 11) << name;
        EXPECT_EQ(PixelAt(glyph, 10, 4), kGlyphStroke) << name;
        EXPECT_EQ(PixelAt(glyph, 4, 10), kGlyphStroke) << name;
        EXPECT_EQ(PixelAt(glyph, 1, 1), COLORREF(clWhite)) << name;
        int strokes = CountPixels(glyph, kGlyphStroke);
        int whites = CountPixels(glyph, COLORREF(clWhite));
        EXPECT_EQ(strokes + whites, glyph.Width() * glyph.Height()) << name;

        TCanvas* c = glyph.Canvas();
        c->Brush()->SetColor(clBlue);
        c->FloodFill(10, 4, TColor(kGlyphStroke), fsSurface);
        c->FloodFill(4, 10, TColor(kGlyphStroke), fsSurface);
        EXPECT_EQ(CountPixels(glyph, kGlyphStroke), 0) << name;
        EXPECT_EQ(CountPixels(glyph, COLORREF(clBlue)), strokes) << name;
        c->Brush()->SetColor(clYellow);
        c->FloodFill(1, 1, clBlue, fsBorder);
        EXPECT_EQ(CountPixels(glyph, COLORREF(clYellow)), whites) << name;
    }
}

TEST(TBitmap, StretchDrawScalesAGlyph)
{
    TBitmap glyph;
    glyph.LoadFromResourceName(HInstance, "CR");
    TBitmap cell;
    cell.SetSize(glyph.Width() * 2, glyph.Height() * 2);
    cell.Canvas()->StretchDraw(TRect(0, 0, cell.Width(), cell.Height()), &glyph);
    EXPECT_EQ(PixelAt(cell, 20, 8), kGlyphStroke);
    EXPECT_EQ(PixelAt(cell, 21, 9), kGlyphStroke);
    EXPECT_EQ(PixelAt(cell, 2, 2), COLORREF(clWhite));
    TBitmap copy;
    copy.SetSize(glyph.Width(), glyph.Height());
    copy.Canvas()->Draw(0, 0, &glyph);
    EXPECT_EQ(CountPixels(copy, kGlyphStroke), CountPixels(glyph, kGlyphStroke));
}

TEST(TBitmap, MissingResourceRaises)
{
    TBitmap b;
    EXPECT_THROW(b.LoadFromResourceName(HInstance, "NoSuchBitmap"), EOSError);
    EXPECT_TRUE(b.Empty());
}

} // namespace

TEST(GdiObjectsInUse, CountsTheObjectsMadeAndDeleted)
{
    const int before = GdiObjectsInUse();
    HBRUSH brushes[5];
    for (HBRUSH& b : brushes)
        b = CreateSolidBrush(RGB(1, 2, 3));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GdiObjectsInUse(), before + 6);
    for (HBRUSH b : brushes)
        DeleteObject(b);
    DeleteDC(dc);
    EXPECT_EQ(GdiObjectsInUse(), before);
}
