#include <gtest/gtest.h>

#include "dialogs/AALabel.h"
#include "platform/ExtCtrls.h"
#include "platform/Picture.h"
#include "tests/TestPictures.h"

namespace
{
constexpr COLORREF kParent = RGB(0, 0, 255);
constexpr COLORREF kLabel = RGB(255, 255, 0);
constexpr COLORREF kText = RGB(255, 0, 0);

// A blue panel with a yellow label on it; the panel painted into a bitmap as on screen.
struct TLabelScene
{
    TLabelScene()
    {
        form = Create<TForm>(nullptr);
        panel = Create<TPanel>(form);
        panel->SetParent(form);
        panel->SetBevelOuter(bvNone);
        panel->SetColor(kParent);
        panel->SetBounds(0, 0, 120, 60);
        label = Create<TAALabel>(panel);
        label->SetParent(panel);
        label->SetBounds(10, 10, 100, 40);
        label->SetColor(kLabel);
        label->Font()->SetColor(kText);
        label->Font()->SetHeight(-20);
        label->SetCaption("WWWW");
        panel->HandleNeeded();
    }
    ~TLabelScene()
    {
        delete form;
        RestoreAlphaBlend();
    }
    TBitmap* Shot()
    {
        shot.SetSize(120, 60);
        // What erasing the panel's background would have left.
        shot.Canvas()->Brush()->SetColor(kParent);
        shot.Canvas()->FillRect(TRect(0, 0, 120, 60));
        panel->Perform(WM_PAINT, WPARAM(shot.Canvas()->Handle()), 0);
        return &shot;
    }
    // Pixels of the label that are neither its background nor what lies behind: the text's.
    int TextPixels(COLORREF back)
    {
        int n = 0;
        for (int y = 10; y < 50; ++y)
            for (int x = 10; x < 110; ++x)
                n += !Near(PixelOf(&shot, x, y), back, 2);
        return n;
    }
    TForm* form;
    TPanel* panel;
    TAALabel* label;
    TBitmap shot;
};
} // namespace

TEST(TAALabel, BlendsItsBackgroundAndOptionallyItsTextOverWhatLiesBehind)
{
    const struct
    {
        int alpha;
        bool strBlend;
        bool haveFunction;
        COLORREF back;
        bool textShows;
    } cases[] = {
        {0, false, true, kParent, true},
        {0, true, true, kParent, false}, // the text goes with the background
        {128, false, true, Blend(kLabel, kParent, 128), true},
        {128, true, true, Blend(kLabel, kParent, 128), true},
        {255, false, true, kLabel, true},
        {255, true, true, kLabel, true},
        {0, true, false, kLabel, true}, // no AlphaBlend: an opaque label
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.alpha << " str " << c.strBlend << " fn " << c.haveFunction);
        TLabelScene scene;
        if (!c.haveFunction)
            SetAlphaBlendForTesting(nullptr);
        scene.label->SetAlphaBlend(true);
        scene.label->SetStrAlphaBlend(c.strBlend);
        scene.label->SetAlphaBlendValue(c.alpha);
        TBitmap* shot = scene.Shot();
        EXPECT_TRUE(Near(c.back, PixelOf(shot, 105, 45), 1)) << Hex(PixelOf(shot, 105, 45));
        EXPECT_EQ(kParent, PixelOf(shot, 5, 5)); // outside the label
        EXPECT_EQ(c.textShows, scene.TextPixels(c.back) > 20) << scene.TextPixels(c.back);
    }
}

TEST(TAALabel, KeepsItsAlphaForValuesOutOfRangeAndPlacesTheCaptionWithinItsMargin)
{
    TLabelScene scene;
    scene.label->SetAlphaBlendValue(77);
    scene.label->SetAlphaBlendValue(300);
    scene.label->SetAlphaBlendValue(-1);
    EXPECT_EQ(77, scene.label->AlphaBlendValue());

    scene.label->SetCaption("W");
    const int m = 2;
    scene.label->SetBorderStyle(bsSingle);
    scene.label->SetAlignment(taRightJustify);
    scene.label->SetLayout(tlBottom);
    const TPoint p = scene.label->TextOrigin();
    EXPECT_GT(p.x, 50);
    EXPECT_GT(p.y, 5);
    // Wider than the label: at the margin, whatever the alignment.
    scene.label->SetCaption(AnsiString("WWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
    for (TAlignment a : {taLeftJustify, taRightJustify, taCenter})
    {
        scene.label->SetAlignment(a);
        EXPECT_EQ(m, scene.label->TextOrigin().x);
    }
    scene.label->SetdX(3);
    scene.label->SetdY(-1);
    EXPECT_EQ(m + 3, scene.label->TextOrigin().x);
}
