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
