// Glyph buttons: what they draw (read back through WM_PRINTCLIENT) and how they take clicks.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/Buttons.h"
#include "platform/Forms.h"

namespace
{
const COLORREF kFuchsia = RGB(255, 0, 255);

// A 12 x 12 glyph: a 6 x 6 red square on fuchsia, the colour of its bottom-left pixel.
void RedSquare(TBitmap* glyph)
{
    glyph->SetSize(12, 12);
    TCanvas* c = glyph->Canvas();
    c->Brush()->SetColor(TColor(kFuchsia));
    c->FillRect(TRect(0, 0, 12, 12));
    c->Brush()->SetColor(clRed);
    c->FillRect(TRect(3, 3, 9, 9));
}

// What a button's face shows inside its frame.
struct TFace
{
    int red = 0, fuchsia = 0, shadow = 0;
    int redLeft = INT_MAX, redRight = -1, redTop = INT_MAX;
    int inkLeft = INT_MAX, inkRight = -1; // caption text
};

TFace Render(TGlyphButton* b)
{
    TBitmap face;
    face.SetSize(b->Width(), b->Height());
    HDC dc = face.Canvas()->Handle();
    SendMessageW(b->Handle(), WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT);
    TFace f;
    for (int y = 3; y < b->Height() - 3; ++y)
        for (int x = 3; x < b->Width() - 3; ++x)
        {
            const COLORREF c = GetPixel(dc, x, y);
            if (c == RGB(255, 0, 0))
            {
                ++f.red;
                f.redLeft = std::min(f.redLeft, x);
                f.redRight = std::max(f.redRight, x);
                f.redTop = std::min(f.redTop, y);
            }
            f.fuchsia += c == kFuchsia;
            f.shadow += c == GetSysColor(COLOR_BTNSHADOW);
            if (c == GetSysColor(COLOR_BTNTEXT))
            {
                f.inkLeft = std::min(f.inkLeft, x);
                f.inkRight = std::max(f.inkRight, x);
            }
        }
    return f;
}

struct TClicks
{
    int count = 0;
    void Click(TObject*) { ++count; }
};
} // namespace

TEST(TGlyphButton, DrawsTheGlyphBeforeTheCaptionWithoutItsBackgroundAndEmbossedWhenDisabled)
{
    auto* form = Create<TForm>(nullptr);
    auto* bit = PlaceControl(form, Create<TBitBtn>(form), "Bit", "印刷", 10, 10, 120, 30);
    auto* speed = PlaceControl(form, Create<TSpeedButton>(form), "Speed", "", 10, 50, 30, 30);
    RedSquare(bit->Glyph());
    RedSquare(speed->Glyph());
    form->Show();

    const TFace withText = Render(bit);
    EXPECT_EQ(withText.red, 36);
    EXPECT_EQ(withText.fuchsia, 0);
    ASSERT_GE(withText.inkRight, 0) << "no caption drawn";
    EXPECT_LT(withText.redRight, withText.inkLeft);
    // Glyph and caption are centred together.
    EXPECT_NEAR((withText.redLeft - 3) + withText.inkRight, bit->Width(), 6);

    const TFace alone = Render(speed);
    EXPECT_EQ(alone.red, 36);
    EXPECT_EQ(alone.redLeft, (30 - 12) / 2 + 3);
    EXPECT_EQ(alone.redTop, (30 - 12) / 2 + 3);

    speed->SetEnabled(false);
    const TFace disabled = Render(speed);
    EXPECT_EQ(disabled.red, 0);
    EXPECT_EQ(disabled.fuchsia, 0);
    EXPECT_EQ(disabled.shadow, 36); // the square's shape, nothing else
    delete form;
}

TEST(TGlyphButton, StaysDrawnByItselfAsDefaultAndTakesBothClicksOfADoubleClick)
{
    auto* form = Create<TForm>(nullptr);
    auto* bit = PlaceControl(form, Create<TBitBtn>(form), "Bit", "OK", 10, 10, 80, 28);
    TClicks clicks;
    bit->OnClick = TNotifyEvent(&clicks, &TClicks::Click);
    form->Show();
    bit->SetDefault(true);
    EXPECT_EQ(GetWindowLongW(bit->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    const LPARAM at = MAKELPARAM(40, 14);
    for (UINT down : {WM_LBUTTONDOWN, WM_LBUTTONDBLCLK})
    {
        SendMessageW(bit->Handle(), down, MK_LBUTTON, at);
        SendMessageW(bit->Handle(), WM_LBUTTONUP, 0, at);
    }
    EXPECT_EQ(clicks.count, 2);
    delete form;
}

namespace
{
const COLORREF kImageColours[] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 200, 0)};

// count images of 12 x 12 side by side, each a 6 x 6 square of its own colour on fuchsia.
void Strip(TBitmap* glyph, int count)
{
    glyph->SetSize(12 * count, 12);
    TCanvas* c = glyph->Canvas();
    c->Brush()->SetColor(TColor(kFuchsia));
    c->FillRect(TRect(0, 0, 12 * count, 12));
    for (int i = 0; i < count; ++i)
    {
        c->Brush()->SetColor(TColor(kImageColours[i]));
        c->FillRect(TRect(12 * i + 3, 3, 12 * i + 9, 9));
    }
}

// Which image the face shows: its index, -1 for none, -2 for more than one.
int ShownImage(TGlyphButton* b, COLORREF* corner = nullptr)
{
    TBitmap face;
    face.SetSize(b->Width(), b->Height());
    HDC dc = face.Canvas()->Handle();
    SendMessageW(b->Handle(), WM_PRINTCLIENT, WPARAM(dc), PRF_CLIENT);
    int counts[4] = {};
    for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x)
            for (int i = 0; i < 4; ++i)
                counts[i] += GetPixel(dc, x, y) == kImageColours[i];
    if (corner)
        *corner = GetPixel(dc, b->Width() - 1, b->Height() - 1);
    int shown = -1;
    for (int i = 0; i < 4; ++i)
        if (counts[i] == 36)
            shown = shown == -1 ? i : -2;
        else if (counts[i] != 0)
            return -2;
    return shown;
}
} // namespace

TEST(TGlyphButton, ShowsTheImageOfItsStateFromNumGlyphs)
{
    enum TSetUp
    {
        Up,
        Disabled,
        Pressed,
        Down,
        DownDisabled
    };
    struct TCase
    {
        bool speed;
        int images;
        TSetUp setUp;
        int shown; // -1: the first image embossed
    };
    const TCase cases[] = {
        {false, 1, Up, 0},      {false, 4, Up, 0},      {false, 1, Disabled, -1},   {false, 2, Disabled, 1},
        {false, 2, Pressed, 0}, {false, 3, Pressed, 2}, {true, 1, Disabled, -1},    {true, 2, Disabled, 1},
        {true, 3, Pressed, 2},  {true, 3, Down, 0},     {true, 4, Down, 3},         {true, 4, DownDisabled, 1},
    };
    auto* form = Create<TForm>(nullptr);
    form->Show();
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.speed ? "speed " : "bit ") << c.images << " images, set-up " << c.setUp);
        TGlyphButton* b = c.speed ? static_cast<TGlyphButton*>(Create<TSpeedButton>(form)) : Create<TBitBtn>(form);
        PlaceControl(form, b, nullptr, "", 10, 10, 40, 30);
        Strip(b->Glyph(), c.images);
        b->SetNumGlyphs(c.images);
        EXPECT_EQ(b->GlyphImage(c.images - 1), TRect(12 * (c.images - 1), 0, 12 * c.images, 12));
        b->SetEnabled(c.setUp != Disabled && c.setUp != DownDisabled);
        if (c.setUp == Pressed)
            SendMessageW(b->Handle(), BM_SETSTATE, TRUE, 0);
        if (c.setUp == Down || c.setUp == DownDisabled)
            static_cast<TSpeedButton*>(b)->SetDown(true);
        EXPECT_EQ(ShownImage(b), c.shown);
        delete b;
    }
    delete form;
}

TEST(TSpeedButton, AFlatOneShowsItsFrameOnlyWhileTheMouseIsInItOrItIsDown)
{
    auto* form = Create<TForm>(nullptr);
    auto* speed = PlaceControl(form, Create<TSpeedButton>(form), "Speed", "", 10, 10, 40, 30);
    form->Show();
    COLORREF corner = 0;
    ShownImage(speed, &corner);
    EXPECT_NE(corner, GetSysColor(COLOR_BTNFACE)); // the raised frame's shadow
    speed->SetFlat(true);
    ShownImage(speed, &corner);
    EXPECT_EQ(corner, GetSysColor(COLOR_BTNFACE));
    speed->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_TRUE(speed->MouseInControl());
    ShownImage(speed, &corner);
    EXPECT_NE(corner, GetSysColor(COLOR_BTNFACE));
    speed->Perform(CM_MOUSELEAVE, 0, 0);
    speed->SetDown(true);
    ShownImage(speed, &corner);
    EXPECT_NE(corner, GetSysColor(COLOR_BTNFACE));
    delete form;
}

TEST(CalcButtonLayout, GlyphAndCaptionSitByLayoutMarginAndSpacing)
{
    struct TCase
    {
        TButtonLayout layout;
        int margin, spacing;
        bool rightToLeft;
        SIZE glyph;
        POINT glyphPos, captionPos;
    };
    // A 100 by 40 content area, a 30 by 12 caption.
    const TCase cases[] = {
        {blGlyphLeft, -1, 4, false, {16, 16}, {25, 12}, {45, 14}},
        {blGlyphRight, 2, -1, false, {16, 16}, {82, 12}, {26, 14}},
        {blGlyphLeft, 2, -1, true, {16, 16}, {82, 12}, {26, 14}},
        {blGlyphTop, -1, -1, false, {16, 16}, {42, 4}, {35, 24}},
        {blGlyphBottom, 3, 5, false, {16, 16}, {42, 21}, {35, 4}},
        {blGlyphLeft, -1, 4, false, {0, 0}, {35, 20}, {35, 14}}, // no glyph: no spacing
    };
    for (const TCase& c : cases)
    {
        TButtonPlacement in;
        in.layout = c.layout;
        in.margin = c.margin;
        in.spacing = c.spacing;
        in.rightToLeft = c.rightToLeft;
        in.glyph = c.glyph;
        in.caption = {30, 12};
        POINT glyph{}, caption{};
        CalcButtonLayout(in, 100, 40, glyph, caption);
        SCOPED_TRACE(int(&c - cases));
        EXPECT_EQ(glyph.x, c.glyphPos.x);
        EXPECT_EQ(glyph.y, c.glyphPos.y);
        EXPECT_EQ(caption.x, c.captionPos.x);
        EXPECT_EQ(caption.y, c.captionPos.y);
    }
}
