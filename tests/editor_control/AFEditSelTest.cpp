#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor_control/AFEditSel.h"
#include "EditorTestUtil.h"

TEST(SelArea, PointOrderIsByRowThenColumnAndEqualPointsGiveTheEndPoint)
{
    struct Case
    {
        TPoint a, b, start, end;
    };
    const Case cases[] = {
        {TPoint(5, 3), TPoint(2, 3), TPoint(2, 3), TPoint(5, 3)},
        {TPoint(1, 3), TPoint(9, 2), TPoint(9, 2), TPoint(1, 3)},
        {TPoint(9, 2), TPoint(1, 3), TPoint(9, 2), TPoint(1, 3)},
        {TPoint(4, 4), TPoint(4, 4), TPoint(4, 4), TPoint(4, 4)},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(OrderStartPoint(c.a, c.b), c.start) << c.a << " " << c.b;
        EXPECT_EQ(OrderEndPoint(c.a, c.b), c.end) << c.a << " " << c.b;
        TSelArea sel;
        sel.PutStartPoint(c.a);
        sel.PutEndPoint(c.b);
        EXPECT_EQ(sel.GetStartPoint(), c.start);
        EXPECT_EQ(sel.GetEndPoint(), c.end);
    }
}

TEST(SelArea, CharacterSelectionIsHalfOpenInRowMajorOrder)
{
    struct Case
    {
        TPoint anchor, end;
        std::vector<TPoint> in, out;
    };
    const Case cases[] = {
        // One row: columns 2, 3, 4 of row 3.
        {TPoint(5, 3), TPoint(2, 3), {TPoint(2, 3), TPoint(3, 3), TPoint(4, 3)},
         {TPoint(1, 3), TPoint(5, 3), TPoint(3, 2), TPoint(3, 4)}},
        // Rows 2 to 5: from column 4 of row 2 to column 0 of row 5.
        {TPoint(4, 2), TPoint(1, 5), {TPoint(4, 2), TPoint(100, 2), TPoint(0, 3), TPoint(500, 4), TPoint(0, 5)},
         {TPoint(3, 2), TPoint(1, 5), TPoint(0, 6), TPoint(9, 1)}},
        // Collapsed: nothing.
        {TPoint(3, 3), TPoint(3, 3), {}, {TPoint(3, 3), TPoint(2, 3), TPoint(4, 3)}},
    };
    for (const Case& c : cases)
    {
        TSelArea sel;
        sel.PutStartPoint(c.anchor);
        sel.PutEndPoint(c.end);
        EXPECT_EQ(sel.isPointAble(), c.anchor != c.end);
        for (const TPoint& p : c.in)
            EXPECT_TRUE(sel.isSelPoint(p.x, p.y)) << p << " in " << c.anchor << "-" << c.end;
        for (const TPoint& p : c.out)
            EXPECT_FALSE(sel.isSelPoint(p.x, p.y)) << p << " not in " << c.anchor << "-" << c.end;
    }
    EXPECT_TRUE(PointInRange(TPoint(0, 3), TPoint(2, 1), TPoint(1, 5)));
    EXPECT_FALSE(PointInRange(TPoint(1, 5), TPoint(2, 1), TPoint(1, 5)));
}

TEST(SelArea, ANewSelectionHasNoRowSelectionAndRowsCountOnlyWhenBothAreSet)
{
    TSelArea sel;
    EXPECT_FALSE(sel.isRowAble());
    EXPECT_FALSE(sel.isPointAble());
    EXPECT_EQ(sel.GetStartRow(), -1);
    EXPECT_EQ(sel.GetEndRow(), -1);
    EXPECT_EQ(sel.GetStartPoint(), TPoint(0, 0));

    sel.PutStartRow(3); // only the anchor is set: not yet a row selection
    EXPECT_FALSE(sel.isRowAble());
    sel.PutEndRow(3);
    EXPECT_TRUE(sel.isRowAble());
    sel.RowReset();
    EXPECT_FALSE(sel.isRowAble());
    EXPECT_TRUE(sel.isSelRow(-1)); // why callers ask isRowAble first
    EXPECT_FALSE(sel.isSelRow(0));
}

TEST(SelArea, RowSelectionOrdersItsEndsAndGrowsOrShrinksOnlyAtRowsInsideIt)
{
    struct Case
    {
        int startRow, endRow;
        char op; // 'i' insert, 'd' delete
        int row;
        int wantStart, wantEnd; // GetStartRow, GetEndRow afterwards; -1 -1 when reset
    };
    const Case cases[] = {
        {7, 3, 'i', 5, 3, 8},  // the larger end moves, here the anchor
        {3, 7, 'i', 5, 3, 8},  // here the moving end
        {7, 3, 'i', 2, 3, 7},  // a row inserted above does not shift it
        {7, 3, 'i', 8, 3, 7},  // nor one below
        {7, 3, 'i', 3, 3, 8},  // at the first row: it grows
        {7, 3, 'd', 7, 3, 6},  // deleting the last row shrinks it
        {3, 7, 'd', 3, 3, 6},  // deleting the first row: the rest moves up under it
        {3, 7, 'd', 1, 3, 7},  // outside: nothing
        {5, 5, 'i', 5, 5, 6},  // a split one-row selection covers both pieces
        {5, 5, 'd', 5, 4, 4},  // a one-row selection moves, both ends together
        {0, 0, 'd', 0, -1, -1}, // ... and at row 0 it ends
        {5, 5, 'd', 4, 5, 5},
    };
    for (const Case& c : cases)
    {
        TSelArea sel;
        sel.PutStartRow(c.startRow);
        sel.PutEndRow(c.endRow);
        if (c.op == 'i')
            sel.Insert(c.row);
        else
            sel.Delete(c.row);
        std::string what = std::string(1, c.op) + " " + std::to_string(c.row) + " on " +
                           std::to_string(c.startRow) + "," + std::to_string(c.endRow);
        EXPECT_EQ(sel.GetStartRow(), c.wantStart) << what;
        EXPECT_EQ(sel.GetEndRow(), c.wantEnd) << what;
        EXPECT_EQ(sel.isRowAble(), c.wantStart >= 0) << what;
    }
}

TEST(SelArea, InsertAndDeleteWithoutARowSelectionChangeNothing)
{
    TSelArea sel;
    sel.PutStartPoint(TPoint(1, 1));
    sel.PutEndPoint(TPoint(4, 2));
    for (int row = -1; row < 4; ++row)
    {
        sel.Insert(row);
        sel.Delete(row);
    }
    EXPECT_FALSE(sel.isRowAble());
    EXPECT_EQ(sel.GetStartRow(), -1);
    // The character selection is never adjusted by row changes.
    EXPECT_EQ(sel.GetStartPoint(), TPoint(1, 1));
    EXPECT_EQ(sel.GetEndPoint(), TPoint(4, 2));
}

TEST(SelArea, SelectChangedReportsAppearingAndVanishingOnce)
{
    TSelArea sel;
    EXPECT_EQ(sel.SelectChanged(), slNone);
    sel.PutStartPoint(TPoint(1, 0));
    sel.PutEndPoint(TPoint(3, 0));
    EXPECT_EQ(sel.SelectChanged(), slSel);
    EXPECT_EQ(sel.SelectChanged(), slNone);
    sel.PointReset(); // collapses onto the end point
    EXPECT_EQ(sel.GetStartPoint(), TPoint(3, 0));
    EXPECT_FALSE(sel.isPointAble());
    EXPECT_EQ(sel.SelectChanged(), slDisSel);
    EXPECT_EQ(sel.SelectChanged(), slNone);
    sel.PutStartRow(2);
    sel.PutEndRow(4);
    EXPECT_EQ(sel.SelectChanged(), slSel);
    sel.RowReset();
    EXPECT_EQ(sel.SelectChanged(), slDisSel);
}

TEST(SelArea, ANewEditorHasNoSelection)
{
    auto ed = NewEditor();
    EXPECT_FALSE(ed->SelArea()->isRowAble());
    EXPECT_FALSE(ed->SelArea()->isPointAble());
    EXPECT_EQ(ed->SelArea()->SelectChanged(), slNone);
}
