#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "platform/Forms.h"
#include "tests/themes/TestThemes.h"
#include "themes/BorderEdit.h"

namespace
{

// Which cells of a comb field hold ink (anything darker than the field) away from their lines.
std::vector<bool> InkedCells(TBorderEdit* edit, int cells)
{
    const TPainted painted = Painted(edit);
    std::vector<bool> inked;
    int w = painted.width;
    int x = 0;
    for (int i = 0; i < cells; ++i)
    {
        int cellWidth = w / cells + (i < w % cells ? 1 : 0);
        bool ink = false;
        for (int px = x + 2; px < x + cellWidth - 3; ++px)
            for (int py = 2; py < painted.height - 2; ++py)
                ink = ink || painted.At(px, py) == RGB(0, 0, 0);
        inked.push_back(ink);
        x += cellWidth;
    }
    return inked;
}

} // namespace

TEST(BorderEdit, CombCellsAreFilledFromTheRightOneCharacterPerCell)
{
    struct TCase
    {
        int cells;
        const char* text;
        std::vector<bool> inked; // per cell, left to right
    };
    const TCase cases[] = {
        {7, "abc", {false, false, false, false, true, true, true}},
        {4, "日本", {false, false, true, true}}, // a double-byte character is one character
        {3, "日a本", {true, true, true}},
        {2, "abcd", {true, true}}, // the last ones when there are more than cells
        {0, "x", {true}},          // fewer than one cell is one
        {-3, "", {false}},
    };
    TShownControl<TBorderEdit> shown(10, 10, 280, 30, 400, 100);
    TBorderEdit* edit = shown.control;
    edit->SetColSeparateDraw(true);
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.cells << " cells, " << c.text);
        edit->SetColSeparateNum(c.cells);
        edit->SetText(c.text);
        EXPECT_EQ(InkedCells(edit, std::max(1, c.cells)), c.inked);
    }
}

TEST(BorderEdit, EditingGoesThroughTheInnerEditAndComesBackAsText)
{
    TShownControl<TBorderEdit> shown;
    TBorderEdit* edit = shown.control;
    TEdit* other = Create<TEdit>(shown.form);
    other->SetParent(shown.form);
    edit->SetText("before");
    edit->SetFocus();
    EXPECT_TRUE(edit->Edit()->Visible());
    EXPECT_TRUE(edit->Edit()->Focused());
    edit->Edit()->SetText("after");
    EXPECT_EQ(edit->Text(), "after");
    other->SetFocus();
    EXPECT_FALSE(edit->Edit()->Visible());
    EXPECT_EQ(edit->Text(), "after");
    EXPECT_TRUE(edit->TabStop());
}
