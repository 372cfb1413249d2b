#include <gtest/gtest.h>

#include <windows.h>

#include "platform/Forms.h"
#include "themes/WinLabel.h"

namespace
{
// The first and last columns holding the text colour (black), -1 when none.
std::pair<int, int> InkedColumns(TWinLabel* label)
{
    HWND window = label->Handle();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    int first = -1;
    int last = -1;
    for (int x = 0; x < label->Width(); ++x)
        for (int y = 0; y < label->Height(); ++y)
            if (GetPixel(dc, x, y) == RGB(0, 0, 0))
            {
                if (first < 0)
                    first = x;
                last = x;
            }
    ReleaseDC(window, dc);
    return {first, last};
}
} // namespace

TEST(WinLabel, TextIsAlignedWhenItFitsAndStartsAtTheMarginWhenItDoesNot)
{
    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 120);
    form->Show();
    TWinLabel* label = Create<TWinLabel>(form);
    label->SetParent(form);
    label->SetBounds(10, 10, 200, 30);
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
    delete form;
}

TEST(WinLabel, EmptyCaptionShowsThePlaceholderInLightGrey)
{
    TForm* form = Create<TForm>(nullptr);
    form->Show();
    TWinLabel* label = Create<TWinLabel>(form);
    label->SetParent(form);
    label->SetBounds(10, 10, 120, 24);
    label->SetNoCaption("未入力");
    label->SetNoCaptionDraw(true);
    label->SetCaption("");
    HWND window = label->Handle();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    int grey = 0;
    int black = 0;
    for (int x = 0; x < 120; ++x)
        for (int y = 0; y < 24; ++y)
        {
            COLORREF c = GetPixel(dc, x, y);
            grey += c == RGB(0xC0, 0xC0, 0xC0);
            black += c == RGB(0, 0, 0);
        }
    ReleaseDC(window, dc);
    EXPECT_GT(grey, 0);
    EXPECT_EQ(black, 0);
    delete form;
}
