// Properties and metrics of the editor control: clamped setters, the edited state, fonts and the
// cells they give, colours, the line-end bitmaps, scroll-bar ranges and the row sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "EditorViewTestUtil.h"

namespace
{
class PropsTest : public testing::Test
{
protected:
    TViewHost host;
    TRecordingEdit& ed = *host.edit;
};

int ByText(TStringList* list, int i, int j) { return list->Get(i).Compare(list->Get(j)); }
} // namespace

TEST_F(PropsTest, SettersClampWhatTheyAreGiven)
{
    struct Case
    {
        const char* name;
        void (TCustomAFEdit::*set)(int);
        int (TCustomAFEdit::*get)() const;
        int given;
        int kept;
    } cases[] = {
        {"tab size 0", &TCustomAFEdit::SetTabSize, &TCustomAFEdit::GetTabSize, 0, 1},
        {"tab size -7", &TCustomAFEdit::SetTabSize, &TCustomAFEdit::GetTabSize, -7, 1},
        {"tab size 17", &TCustomAFEdit::SetTabSize, &TCustomAFEdit::GetTabSize, 17, 16},
        {"tab size 8", &TCustomAFEdit::SetTabSize, &TCustomAFEdit::GetTabSize, 8, 8},
        {"row pitch -1", &TCustomAFEdit::SetRowPich, &TCustomAFEdit::GetRowPich, -1, 0},
        {"row pitch 100", &TCustomAFEdit::SetRowPich, &TCustomAFEdit::GetRowPich, 100, 99},
        {"row pitch 5", &TCustomAFEdit::SetRowPich, &TCustomAFEdit::GetRowPich, 5, 5},
        {"char pitch -50", &TCustomAFEdit::SetCharPich, &TCustomAFEdit::GetCharPich, -50, 0},
        {"char pitch 1000", &TCustomAFEdit::SetCharPich, &TCustomAFEdit::GetCharPich, 1000, 99},
        {"wrap 0", &TCustomAFEdit::SetDefWrapPos, &TCustomAFEdit::GetDefWrapPos, 0, 10},
        {"wrap 9", &TCustomAFEdit::SetDefWrapPos, &TCustomAFEdit::GetDefWrapPos, 9, 10},
        {"wrap 70000", &TCustomAFEdit::SetDefWrapPos, &TCustomAFEdit::GetDefWrapPos, 70000, 65535},
        {"top margin -3", &TCustomAFEdit::SetTopMgn, &TCustomAFEdit::GetTopMgn, -3, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        (ed.*c.set)(c.given);
        EXPECT_EQ((ed.*c.get)(), c.kept);
        EXPECT_GE(ed.GetRowHeight(), 1);
        EXPECT_GE(ed.GetColWidth(), 1);
    }
}

// Whatever a settings file holds, the metrics stay usable: nothing divides by zero, no count is
// negative, and the cells follow the pitches.
TEST_F(PropsTest, MetricsStayPositiveUnderAnySettings)
{
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    const int extremes[] = {INT_MIN, -1000, -1, 0, 1, 2, 7, 99, 100, 65535, 70000, INT_MAX};
    host.Load("abc\r\ndef");
    for (int round = 0; round < 200; ++round)
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        int v = extremes[rng() % std::size(extremes)];
        switch (rng() % 6)
        {
        case 0: ed.SetRowPich(v); break;
        case 1: ed.SetCharPich(v); break;
        case 2: ed.SetTabSize(v); break;
        case 3: ed.SetDefWrapPos(v); break;
        case 4: ed.SetTopMgn(v); break;
        default: ed.Font()->SetHeight(std::clamp(v, -60, 60) == 0 ? -12 : std::clamp(v, -60, 60)); break;
        }
        ASSERT_GE(ed.GetRowHeight(), 1);
        ASSERT_GE(ed.GetColWidth(), 1);
        ASSERT_GE(ed.GetDspRowCount(), 0);
        ASSERT_GE(ed.GetDspColCount(), 0);
        EXPECT_EQ(ed.GetRowHeight(), ed.GetTextHeight() + ed.GetRowPich());
        EXPECT_EQ(ed.GetColWidth(), (ed.GetTextHeight() + 1) / 2 + ed.GetCharPich());
        EXPECT_EQ(ed.GetDefWrapPos(), std::clamp(ed.GetDefWrapPos(), 10, 65535));
    }
    TSnapshot shot(host); // and it still paints
}

TEST_F(PropsTest, EditedFollowsTheSavedStateAndCanBeForced)
{
    host.Load("abc");
    EXPECT_FALSE(ed.isEdited());
    ed.SetEdited(true); // at undo position 0: the saved state can no longer be reached
    EXPECT_TRUE(ed.isEdited());
    ed.SetEdited(false);
    EXPECT_FALSE(ed.isEdited());
    ed.SetLine(0, "abd");
    EXPECT_TRUE(ed.isEdited());
    ed.Undo();
    EXPECT_FALSE(ed.isEdited());
    ed.Redo();
    ed.SetEdited(true);
    ed.Undo();
    EXPECT_TRUE(ed.isEdited()); // forced: no position is the saved one any more
}

TEST_F(PropsTest, FontHeightIsMadeEvenBeforeTheCellsAreMeasured)
{
    for (int height : {-13, -15, 13, -16, 21})
    {
        SCOPED_TRACE(height);
        ed.Font()->SetHeight(height);
        int even = height % 2 ? (height > 0 ? height + 1 : height - 1) : height;
        EXPECT_EQ(ed.Font()->Height(), even);
        // The cells are those of the font that is drawn.
        TFont probe;
        probe.Assign(*ed.Font());
        TBitmap bmp;
        bmp.SetSize(4, 4);
        bmp.Canvas()->SetFont(&probe);
        EXPECT_EQ(ed.GetTextHeight(), bmp.Canvas()->TextHeight("あ"));
        EXPECT_EQ(ed.GetColWidth(), (ed.GetTextHeight() + 1) / 2);
    }
}

TEST_F(PropsTest, TheFontChangingToItselfMeasuresOnceWithoutReentry)
{
    ed.metricsUpdates = 0;
    ed.SetFont(ed.Font());
    EXPECT_EQ(ed.metricsUpdates, 1);
    ed.metricsUpdates = 0;
    ed.Font()->SetHeight(-17); // made even inside: one change message comes back and is ignored
    EXPECT_EQ(ed.metricsUpdates, 1);
    EXPECT_EQ(ed.Font()->Height(), -18);
}

TEST_F(PropsTest, MarkColourIsTheWindowColourDarkenedPerChannel)
{
    struct Case
    {
        TColor window;
        TColor mark;
    } cases[] = {
        {0xFFFFFF, 0xBFBFBF}, {0x000000, 0x000000}, {0x203050, 0x000010},
        {0x40FF3F, 0x00BF00}, {0x414141, 0x010101}, {0xF0F0F0, 0xB0B0B0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TCustomAFEdit::MarkColorOf(c.window), c.mark) << std::hex << c.window;
    EXPECT_EQ(ed.GetMarkColor(), TCustomAFEdit::MarkColorOf(ColorToRGB(clWindow)));
}

TEST_F(PropsTest, LeftMarginAndEditRectangleFollowTheViewOptions)
{
    TViewOptions all = TViewOptions::FromInt(0x3FF);
    ed.SetViewOpt(all);
    EXPECT_EQ(ed.GetLeftMgn(), 6 * ed.GetColWidth()); // "  100 "
    EXPECT_EQ(ed.EditRect().Left, ed.GetLeftMgn());
    EXPECT_EQ(ed.EditRect().Top, ed.GetRowHeight());
    TViewOptions bare = all;
    bare >> voRowNum;
    bare >> voColIndicate;
    ed.SetViewOpt(bare);
    EXPECT_EQ(ed.GetLeftMgn(), 2);
    EXPECT_EQ(ed.EditRect().Top, 0);
    ed.SetTopMgn(7);
    EXPECT_EQ(ed.EditRect().Top, 7);
    ed.SetLeftMgn(100); // the metrics derive it afresh
    EXPECT_EQ(ed.GetLeftMgn(), 2);
}

TEST_F(PropsTest, ColourAndWrapDefaultsFollowOnlyTheRowsThatHadThem)
{
    host.Load("a\r\nb\r\nc");
    ed.GetLinesAttr(1)->BackColor = 0x00FFFF;
    ed.GetLinesAttr(2)->WrapPos = 30;
    TColor old = ed.Color();
    ed.SetColor(0x102030);
    EXPECT_EQ(ed.GetLinesAttr(0)->BackColor, 0x102030);
    EXPECT_EQ(ed.GetLinesAttr(1)->BackColor, 0x00FFFF);
    EXPECT_EQ(ed.GetLinesAttr(2)->BackColor, 0x102030);
    ed.SetColor(old);
    ed.SetDefWrapPos(72);
    EXPECT_EQ(ed.GetWrapPos(0), 72);
    EXPECT_EQ(ed.GetWrapPos(2), 30);
    EXPECT_EQ(ed.GetLine(0).str(), "a\r"); // nothing re-folded
}

TEST_F(PropsTest, LineEndBitmapsAreRecolouredForTheirBackgrounds)
{
    ed.ColSelBrush = 0x00C000;
    ed.SetCrColor(0x0000FF, 0xFFFF00);
    for (bool selected : {false, true})
    {
        TBitmap* bmp = ed.CrBitmap(selected);
        ASSERT_EQ(bmp->Width(), ed.GetTextHeight());
        ASSERT_EQ(bmp->Height(), ed.GetTextHeight());
        HDC dc = bmp->Canvas()->Handle();
        int stroke = 0;
        int back = 0;
        int old = 0;
        for (int y = 0; y < bmp->Height(); ++y)
            for (int x = 0; x < bmp->Width(); ++x)
            {
                COLORREF p = GetPixel(dc, x, y);
                stroke += p == 0x0000FF;
                back += p == (selected ? 0x00C000u : 0xFFFF00u);
                old += p == 0x000080 || p == 0xFFFFFF;
            }
        EXPECT_GT(stroke, 0) << selected;
        EXPECT_GT(back, stroke) << selected;
        EXPECT_EQ(old, 0) << selected;
    }
}

TEST_F(PropsTest, SelectionBoundsNeedARowSelection)
{
    host.Load("a\r\nb\r\nc\r\nd");
    ed.GetLinesAttr(1)->Indent = 3;
    ed.GetLinesAttr(2)->Indent = 5;
    ed.GetLinesAttr(2)->WrapPos = 40;
    ed.SetSelAreaMaxMin(); // no row selection: nothing changes
    EXPECT_EQ(ed.SelArea()->MaxIndent, -1);
    EXPECT_EQ(ed.SelArea()->MinWrapPos, 100000);
    ed.SelArea()->PutStartRow(2);
    ed.SelArea()->PutEndRow(0);
    ed.SetSelAreaMaxMin();
    EXPECT_EQ(ed.SelArea()->MaxIndent, 5);
    EXPECT_EQ(ed.SelArea()->MinWrapPos, 40);
    ed.SelArea()->PutStartRow(3);
    ed.SelArea()->PutEndRow(50); // past the text: no records are made for it
    ed.SetSelAreaMaxMin();
    EXPECT_EQ(ed.SelArea()->MaxIndent, 0);
    EXPECT_EQ(ed.AttrList()->GetCount(), 4);
}

// Random row sets and ranges against std::sort: every range ends sorted, rows outside it stay,
// records travel with their rows, an empty final row stays last, and one undo restores it all.
TEST_F(PropsTest, CustomSortSortsTheRangeWithItsRecordsAndUndoesAsOneStep)
{
    const unsigned seed = 777;
    std::mt19937 rng(seed);
    for (int round = 0; round < 40; ++round)
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        int n = 1 + int(rng() % 30);
        std::vector<std::string> rows;
        std::string text;
        for (int i = 0; i < n; ++i)
        {
            std::string r(1 + rng() % 3, char('a' + rng() % 4));
            rows.push_back(r + "\r");
            text += r + "\r\n";
        }
        if (rng() % 2)
            text.pop_back(), text.pop_back(), rows.back().pop_back(); // last row without CR
        else
            rows.push_back(""); // an empty last row
        host.Load(text);
        ASSERT_EQ(ed.GetLinesCount(), int(rows.size()));
        for (int i = 0; i < ed.GetLinesCount(); ++i)
            ed.GetLinesAttr(i)->Indent = int16_t(i);
        int first = int(rng() % rows.size());
        int last = first + int(rng() % (rows.size() - first));
        ed.CustomSort(first, last, ByText, true);
        std::vector<std::string> expected = rows;
        int sortLast = last;
        if (first < last && expected[size_t(last)].empty())
            --sortLast;
        if (first < sortLast)
            std::sort(expected.begin() + first, expected.begin() + sortLast + 1);
        for (int i = 0; i < ed.GetLinesCount(); ++i)
        {
            EXPECT_EQ(ed.GetLine(i).str(), expected[size_t(i)]) << "row " << i;
            EXPECT_EQ(ed.GetLine(i).str(), rows[size_t(ed.GetLinesAttr(i)->Indent)]) << "record of row " << i;
        }
        ed.Undo();
        for (int i = 0; i < ed.GetLinesCount(); ++i)
            EXPECT_EQ(ed.GetLine(i).str(), rows[size_t(i)]) << "undone row " << i;
    }
}

TEST_F(PropsTest, SortingLargeSortedReversedAndEqualTextsOrdersThemAll)
{
    // Large ranges in the orders that stress a quicksort's partition.
    for (int kind = 0; kind < 3; ++kind)
    {
        SCOPED_TRACE(kind);
        std::string text;
        const int n = 30000;
        for (int i = 0; i < n; ++i)
        {
            char buf[16];
            int key = kind == 0 ? i : kind == 1 ? n - i : 7;
            snprintf(buf, sizeof buf, "%06d\r\n", key);
            text += buf;
        }
        host.Load(text);
        ed.QuickSort(0, ed.GetLinesCount() - 1, ByText, false);
        for (int i = 1; i < n; ++i)
            ASSERT_LE(ed.GetLine(i - 1).Compare(ed.GetLine(i)), 0) << i;
        EXPECT_TRUE(ed.GetLine(n).IsEmpty()); // the empty final row stayed last
    }
}

TEST_F(PropsTest, ScrollBarsAppearOnlyWhenNeeded)
{
    host.Focus();
    host.Load("ab\r\ncd");
    ed.SetScrollBars(ssBoth);
    HWND h = ed.Handle();
    auto vertShown = [&] { return (GetWindowLongW(h, GWL_STYLE) & WS_VSCROLL) != 0; };
    ASSERT_GT(ed.GetDspRowCount(), 20);
    EXPECT_FALSE(vertShown());

    ed.SetOptions(TAFEditOptions{aoAutoFormat, aoFreeCaret});
    int farRow = ed.GetDspRowCount() + 5;
    ed.SetCaretRaw(TPoint(0, farRow));
    ed.SetScrollBars(ssBoth);
    EXPECT_TRUE(vertShown());
    SCROLLINFO si{sizeof si, SIF_RANGE};
    GetScrollInfo(h, SB_VERT, &si);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, farRow);
    EXPECT_EQ(ed.AttrList()->GetCount(), 2);

    ed.SetScrollBars(ssHorizontal);
    EXPECT_FALSE(vertShown());
    EXPECT_EQ(ed.VertScrollInfo().nMax, farRow); // kept for the scroll messages all the same
    ed.SetScrollBars(ssBoth);
    EXPECT_TRUE(vertShown());
}
