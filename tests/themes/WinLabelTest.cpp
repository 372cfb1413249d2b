#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "platform/Forms.h"
#include "tests/themes/TestThemes.h"
#include "themes/WinLabel.h"

namespace
{
// The first and last columns holding the text colour (black), -1 when none.
std::pair<int, int> InkedColumns(TWinLabel* label)
{
    const TPainted painted = Painted(label);
    int first = -1;
    int last = -1;
    for (int x = 0; x < painted.width; ++x)
        for (int y = 0; y < painted.height; ++y)
            if (painted.At(x, y) == RGB(0, 0, 0))
            {
                if (first < 0)
                    first = x;
                last = x;
            }
    return {first, last};
}
} // namespace

TEST(WinLabel, TextIsAlignedWhenItFitsAndStartsAtTheMarginWhenItDoesNot)
{
    TShownControl<TWinLabel> shown(10, 10, 200, 30, 400, 120);
    TWinLabel* label = shown.control;
    struct TCase
    {
        TAlignment alignment;
        const char* text;
        int firstAtMost;
        int firstAtLeast;
    };
    const TCase cases[] = {
        {taLeftJustify, "ab", 3, 0},
        {taRightJustify, "ab", 200, 170},
        {taCenter, "ab", 110, 85},
        {taRightJustify, "とても長い文字列はラベルの幅に入りません", 3, 0},
        {taCenter, "とても長い文字列はラベルの幅に入りません", 3, 0},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << int(c.alignment) << " " << c.text);
        label->SetAlignment(c.alignment);
        label->SetCaption(c.text);
        auto [first, last] = InkedColumns(label);
        EXPECT_GE(first, c.firstAtLeast);
        EXPECT_LE(first, c.firstAtMost);
    }
}

TEST(WinLabel, EmptyCaptionShowsThePlaceholderInLightGrey)
{
    TShownControl<TWinLabel> shown(10, 10, 120, 24);
    TWinLabel* label = shown.control;
    label->SetNoCaption("未入力");
    label->SetNoCaptionDraw(true);
    label->SetCaption("");
    const std::vector<COLORREF> pixels = Painted(label).pixels;
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), RGB(0xC0, 0xC0, 0xC0)), 0);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), RGB(0, 0, 0)), 0);
}
