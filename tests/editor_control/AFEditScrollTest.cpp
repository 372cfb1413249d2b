// Caret placement and scrolling in a real, focused window: acceleration, Shift, long texts,
// tiny panes, the caret's hide count, and the view following the caret.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EditorViewTestUtil.h"

namespace
{
std::string Rows(int n, const std::string& row = "row")
{
    std::string text;
    text.reserve(size_t(n) * (row.size() + 2));
    for (int i = 0; i < n; ++i)
        text += row + "\r\n";
    return text;
}

class ScrollTest : public testing::Test
{
protected:
    void SetUp() override
    {
        host.Focus();
        ASSERT_TRUE(ed.Focused());
        Send(WM_VSCROLL, SB_ENDSCROLL); // the acceleration is shared by all editors
    }
    LRESULT Send(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0) { return host.Send(msg, wparam, lparam); }
    void VScroll(int code, int pos = 0) { Send(WM_VSCROLL, MAKEWPARAM(code, pos & 0xFFFF)); }
    void HScroll(int code, int pos = 0) { Send(WM_HSCROLL, MAKEWPARAM(code, pos & 0xFFFF)); }
    bool CaretInView() const
    {
        const TRect& r = ed.EditRect();
        TPoint c = ed.GetCaret();
        int x = (c.x - ed.GetLeftCol()) * ed.GetColWidth() + r.Left;
        int y = (c.y - ed.GetTopLine()) * ed.GetRowHeight() + r.Top;
        return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
    }

    TViewHost host{480, 300};
    TRecordingEdit& ed = *host.edit;
};
} // namespace

TEST_F(ScrollTest, HeldArrowAcceleratesUpToTheRateAndEndScrollResetsIt)
{
    host.Load(Rows(300));
    struct Case
    {
        int rate;
        std::vector<int> steps;
    } cases[] = {{2, {1, 2, 2, 2}}, {4, {1, 2, 3, 4, 4}}, {1, {1, 1, 1}}, {0, {1, 1}}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.rate);
        ed.AccelRate = c.rate;
        ed.SetTopLine(0);
        VScroll(SB_ENDSCROLL);
        for (int step : c.steps)
        {
            int before = ed.GetTopLine();
            VScroll(SB_LINEDOWN);
            EXPECT_EQ(ed.GetTopLine() - before, step);
        }
        VScroll(SB_ENDSCROLL);
        EXPECT_EQ(TCustomAFEdit::ScrollAcceleration(), 0);
        int before = ed.GetTopLine();
        VScroll(SB_LINEUP);
        EXPECT_EQ(before - ed.GetTopLine(), 1);
        VScroll(SB_ENDSCROLL);
    }
}

TEST_F(ScrollTest, ShiftScrollsTheViewAndLeavesTheCaret)
{
    host.Load(Rows(500));
    const int vis = ed.GetDspRowCount();
    struct Case
    {
        int code;
        bool shift;
        int top;       // TopLine before
        int caretRow;  // before
        int topAfter;
        int caretAfter;
    } cases[] = {
        {SB_PAGEDOWN, true, 0, 3, vis, 3},
        {SB_PAGEDOWN, false, 0, 3, vis, 3 + vis},
        {SB_PAGEUP, true, 2 * vis, 2 * vis + 1, vis, 2 * vis + 1},
        {SB_PAGEUP, false, 2 * vis, 2 * vis + 1, vis, vis + 1},
        {SB_LINEDOWN, true, 10, 10, 11, 10},
        {SB_LINEDOWN, false, 10, 10, 11, 11},
        {SB_LINEUP, true, 10, 10 + vis - 1, 9, 10 + vis - 1},
        {SB_LINEUP, false, 10, 10 + vis - 1, 9, 10 + vis - 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.code) + (c.shift ? " with Shift" : ""));
        TKeyServices keys;
        if (c.shift)
            keys.down.insert(VK_SHIFT);
        ed.SetTopLineRaw(c.top);
        ed.SetCaret(TPoint(0, c.caretRow));
        VScroll(SB_ENDSCROLL);
        VScroll(c.code);
        EXPECT_EQ(ed.GetTopLine(), c.topAfter);
        EXPECT_EQ(ed.GetCaret().y, c.caretAfter);
        VScroll(SB_ENDSCROLL);
    }
}

// The scroll message carries 16 bits of position; the bar's own position carries 32.
TEST_F(ScrollTest, ThumbReachesRowsPastSixtyFiveThousand)
{
    host.Load(Rows(70000, "x"));
    ed.SetScrollBars(ssBoth);
    for (int code : {SB_THUMBPOSITION, SB_THUMBTRACK})
    {
        for (int target : {68000, 65536, 66000, 1234})
        {
            SCOPED_TRACE(std::to_string(code) + " to " + std::to_string(target));
            SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, target, 0};
            SetScrollInfo(ed.Handle(), SB_VERT, &si, TRUE);
            VScroll(code, target);
            EXPECT_EQ(ed.GetTopLine(), target);
            EXPECT_GE(ed.GetCaret().y, target); // pulled into the view
        }
    }
    // The caret moved far down: the view follows it and the bar keeps the 32-bit place.
    ed.SetCaretRaw(TPoint(0, 69990));
    ed.CaretMoveResultPaint();
    EXPECT_EQ(ed.GetTopLine(), 69990 - ed.GetDspRowCount() + 2);
    SCROLLINFO si{sizeof si, SIF_POS};
    GetScrollInfo(ed.Handle(), SB_VERT, &si);
    EXPECT_EQ(si.nPos, ed.GetTopLine());
}

TEST_F(ScrollTest, TheViewFollowsTheCaretWhateverTheScrollBars)
{
    host.Load(Rows(200, "0123456789"));
    const int n = ed.GetDspRowCount();
    for (TScrollStyle style : {ssBoth, ssNone, ssHorizontal, ssVertical})
    {
        SCOPED_TRACE(int(style));
        ed.SetScrollBars(style);
        struct Case
        {
            int caretRow;
            int top;
        } cases[] = {{9, 9}, {10 + n - 1, 11}, {10 + n + 5, 10 + n + 5 - n + 2}, {2, 2}, {10 + n - 2, 10}};
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.caretRow);
            ed.SetTopLineRaw(10);
            ed.SetCaretRaw(TPoint(0, c.caretRow));
            ed.CaretMoveResultPaint();
            EXPECT_EQ(ed.GetTopLine(), c.top);
            EXPECT_EQ(ed.VertScrollInfo().nPos, c.top);
            EXPECT_TRUE(CaretInView());
        }
    }
}

TEST_F(ScrollTest, CollapsingARowSelectionRepaintsTheRowsThatWereSelected)
{
    host.Load(Rows(40));
    TSnapshot first(host); // everything painted and clean
    ed.SelArea()->PutStartRow(3);
    ed.SelArea()->PutEndRow(6);
    ed.SetCaretRaw(TPoint(1, 10));
    ed.Clean();
    ed.CaretMoveResultPaint();
    EXPECT_FALSE(ed.SelArea()->isRowAble());
    for (int row : {3, 4, 5, 6})
        EXPECT_NE(std::count(ed.drawnRows.begin(), ed.drawnRows.end(), row), 0) << row;
    EXPECT_EQ(ed.SelArea()->AnchorPoint(), TPoint(1, 10));
}

TEST_F(ScrollTest, CaretColumnIsKeptInsideItsRow)
{
    host.Load("0123456789\r\n\r\n0123456789");
    ed.SetOptions(TAFEditOptions{aoAutoFormat});
    struct Case
    {
        TPoint given;
        TPoint placed;
    } cases[] = {
        {{40, 0}, {10, 0}},  // on the paragraph end, never past it
        {{40, 2}, {10, 2}},  // the last row has none
        {{40, 1}, {0, 1}},   // an empty paragraph: only its CR
        {{5, 50}, {5, 2}},   // no row past the text without a free caret
        {{-4, -3}, {0, 0}},
    };
    for (const Case& c : cases)
    {
        ed.SetCaret(c.given);
        EXPECT_EQ(ed.GetCaret(), c.placed) << c.given;
    }
    // A free caret may stand below the text: the row reads as empty and gets no record.
    ed.SetOptions(TAFEditOptions{aoAutoFormat, aoFreeCaret});
    ed.SetCaret(TPoint(7, 40));
    EXPECT_EQ(ed.GetCaret(), TPoint(0, 40));
    ed.CaretMoveResultPaint();
    TSnapshot shot(host);
    EXPECT_EQ(ed.AttrList()->GetCount(), 3);
}

TEST_F(ScrollTest, CaretShapeFollowsModeAndTheCharacterUnderIt)
{
    // With a tab before it, the display column of "あ" is not its byte column.
    host.Load("\tあa");
    ed.SetTabSize(4);
    const int h = ed.GetTextHeight();
    struct Case
    {
        bool insert;
        int col;
        int width;
    } cases[] = {{true, 4, 2}, {false, 4, h}, {false, 6, h / 2}, {false, 0, h / 2}, {true, 6, 2}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.insert) + " at " + std::to_string(c.col));
        ed.SetInsertMode(c.insert);
        ed.SetCaret(TPoint(c.col, 0));
        EXPECT_EQ(ed.CaretWidth(), c.width);
        EXPECT_EQ(ed.CaretIsBlock(), !c.insert);
        EXPECT_TRUE(ed.CaretShown());
    }
}

// Random placements inside and outside the view, scrolls, selections and repaints: after each,
// the caret is shown exactly when it lies in the text area.
TEST_F(ScrollTest, CaretHideAndShowStayBalanced)
{
    host.Load(Rows(300, "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz"));
    ed.SetOptions(TAFEditOptions{aoAutoFormat});
    struct TCount : TObject
    {
        int n = 0;
        void On(TObject*) { ++n; }
    } status;
    ed.OnStatusChange = TNotifyEvent(&status, &TCount::On);
    const unsigned seed = 9001;
    std::mt19937 rng(seed);
    for (int step = 0; step < 400; ++step)
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
        switch (rng() % 7)
        {
        case 0:
        case 1:
        {
            int placements = status.n;
            ed.SetCaret(TPoint(int(rng() % 80), int(rng() % 300)));
            EXPECT_EQ(status.n, placements + 1); // every placement reports, moved or not
            break;
        }
        case 2: VScroll(int(rng() % 6)); break;
        case 3: VScroll(SB_ENDSCROLL); break;
        case 4:
            ed.SelArea()->PutStartPoint(TPoint(0, int(rng() % 300)));
            ed.SelArea()->PutEndPoint(TPoint(int(rng() % 3), int(rng() % 300)));
            break;
        case 5: host.Pump(); break;
        default: ed.CaretMoveResultPaint(); break;
        }
        host.Pump();
        ASSERT_EQ(ed.CaretShown(), CaretInView()) << ed.GetCaret() << " top " << ed.GetTopLine();
    }
}

// A pane smaller than one row and one column: every scroll and placement keeps the view and the
// caret in range and nothing divides by zero.
TEST_F(ScrollTest, TinyPanesNeverGoNegative)
{
    for (int size : {1, 3, 12})
    {
        SCOPED_TRACE(size);
        ed.SetBounds(0, 0, ed.GetLeftMgn() + size, ed.EditRect().Top + size);
        host.Pump();
        host.Load(Rows(30, "abcdef") + std::string(200, 'x'));
        const unsigned seed = 31 + unsigned(size);
        std::mt19937 rng(seed);
        for (int step = 0; step < 300; ++step)
        {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            switch (rng() % 6)
            {
            case 0: VScroll(int(rng() % 9)); break;
            case 1: HScroll(int(rng() % 9), int(rng() % 300)); break;
            case 2: ed.SetTopLine(int(rng() % 60) - 20); break;
            case 3:
                ed.SetCaretRaw(TPoint(int(rng() % 250), int(rng() % 31)));
                ed.CaretMoveResultPaint();
                break;
            case 4: ed.SetCaret(TPoint(int(rng() % 250) - 5, int(rng() % 40) - 5)); break;
            default: host.Pump(); break;
            }
            ASSERT_GE(ed.GetTopLine(), 0);
            ASSERT_GE(ed.GetLeftCol(), 0);
            ASSERT_GE(ed.GetCaret().y, 0);
            ASSERT_LT(ed.GetCaret().y, ed.GetLinesCount());
            ASSERT_EQ(ed.AttrList()->GetCount(), ed.GetLinesCount());
        }
        VScroll(SB_ENDSCROLL);
    }
}

TEST_F(ScrollTest, TopLineAndHorizontalPagesStayInRange)
{
    host.Load(Rows(100, std::string(300, 'y')));
    const int vis = ed.GetDspRowCount();
    ed.SetTopLine(1000);
    EXPECT_EQ(ed.GetTopLine(), ed.GetLinesCount() - vis / 2);
    ed.SetTopLine(-5);
    EXPECT_EQ(ed.GetTopLine(), 0);

    // Without automatic formatting the range is the longest row, not the wrap column.
    ed.SetOptions(TAFEditOptions{});
    ed.SetScrollBars(ssBoth);
    const int cols = ed.GetDspColCount();
    HScroll(SB_PAGERIGHT);
    EXPECT_EQ(ed.GetLeftCol(), cols - 2);
    for (int i = 0; i < 50; ++i)
        HScroll(SB_PAGERIGHT);
    int furthest = ed.GetLeftCol();
    EXPECT_LE(furthest, ed.HorzScrollInfo().nMax - cols + 1);
    HScroll(SB_LINELEFT);
    EXPECT_EQ(ed.GetLeftCol(), furthest - 1);
    for (int i = 0; i < 50; ++i)
        HScroll(SB_PAGELEFT);
    EXPECT_EQ(ed.GetLeftCol(), 0);
    HScroll(SB_LINELEFT);
    EXPECT_EQ(ed.GetLeftCol(), 0);
}

TEST_F(ScrollTest, PointAlignKeepsPointsOnTheText)
{
    host.Load("ab\tc\r\nxyz");
    struct Case
    {
        TPoint given;
        TPoint aligned;
    } cases[] = {{{9, 0}, {6, 0}}, {{2, 7}, {2, 1}}, {{-3, -1}, {0, 0}}, {{3, 1}, {3, 1}}};
    for (const Case& c : cases)
        EXPECT_EQ(ed.PointAlign(c.given), c.aligned) << c.given;
}

// A page through a long text moves the thumb by less than a pixel: the bar is left as it is,
// with its position stored. A move that shifts the thumb repaints it. A mark put on the bar's
// track tells whether it was painted again.
TEST_F(ScrollTest, ScrollBarIsRepaintedOnlyWhenItsThumbMoves)
{
    host.Load(Rows(200000, "r"));
    const HWND h = ed.Handle();
    auto pageDown = [&] {
        Send(WM_KEYDOWN, VK_NEXT, 1);
        Send(WM_KEYUP, VK_NEXT, 0xC0000001);
        host.Pump();
    };
    auto bar = [&] {
        SCROLLBARINFO sb{};
        sb.cbSize = sizeof sb;
        EXPECT_TRUE(GetScrollBarInfo(h, OBJID_VSCROLL, &sb));
        return sb;
    };
    auto pixel = [&](POINT p, const COLORREF* put) {
        HDC dc = GetWindowDC(h);
        if (put)
            SetPixel(dc, p.x, p.y, *put);
        const COLORREF c = GetPixel(dc, p.x, p.y);
        ReleaseDC(h, dc);
        return c;
    };
    auto storedPos = [&] {
        SCROLLINFO si{sizeof si, SIF_POS};
        GetScrollInfo(h, SB_VERT, &si);
        return si.nPos;
    };
    // Off the first row the up arrow may change its look: the bar is painted for that.
    pageDown();
    const SCROLLBARINFO start = bar();
    ASSERT_EQ(start.rgstate[0] & STATE_SYSTEM_INVISIBLE, 0u);
    RECT win{};
    GetWindowRect(h, &win);
    // On the track halfway between the thumb and the lower arrow, in window coordinates.
    const int barHeight = start.rcScrollBar.bottom - start.rcScrollBar.top;
    const POINT onTrack{(start.rcScrollBar.left + start.rcScrollBar.right) / 2 - win.left,
                        start.rcScrollBar.top - win.top + (start.xyThumbBottom + barHeight - start.dxyLineButton) / 2};
    const COLORREF mark = RGB(1, 2, 3);
    ASSERT_EQ(pixel(onTrack, &mark), mark);

    const int top = ed.GetTopLine();
    pageDown();
    pageDown();
    EXPECT_GT(ed.GetTopLine(), top);
    EXPECT_EQ(storedPos(), ed.GetTopLine());
    EXPECT_EQ(bar().xyThumbTop, start.xyThumbTop);
    EXPECT_EQ(pixel(onTrack, nullptr), mark) << "pages that left the thumb where it was repainted the bar";

    ed.SetTopLine(150000);
    host.Pump();
    EXPECT_EQ(storedPos(), 150000);
    EXPECT_GT(bar().xyThumbTop, start.xyThumbTop);
    EXPECT_NE(pixel(onTrack, nullptr), mark) << "a move of the thumb left the bar unpainted";
}

// A character typed at the top costs the same whatever the text's length: the rows it changed
// and the ruler once, nothing below the view, and the caret shown after it.
TEST_F(ScrollTest, TypingAtTheTopRepaintsItsRowAndTheRulerOnceWhateverTheLength)
{
    std::vector<std::pair<size_t, size_t>> work;
    for (int rows : {200, 60000})
    {
        SCOPED_TRACE(rows);
        host.Load(Rows(rows, "abcdefghij"));
        ed.SetCaret(TPoint(0, 0));
        ed.SetTopLine(0);
        host.Pump();
        ed.Clean();
        Send(WM_CHAR, 'a', 1);
        int rulers = 0;
        for (const TRun& r : ed.runs)
            rulers += r.y < ed.EditRect().Top && r.text.size() > 1;
        EXPECT_EQ(rulers, 1);
        ASSERT_FALSE(ed.drawnRows.empty());
        EXPECT_EQ(ed.drawnRows.front(), 0);
        for (int row : ed.drawnRows)
            EXPECT_LE(row, ed.GetDspRowCount() + 1); // on screen only
        EXPECT_EQ(ed.GetLine(0), "aabcdefghij\r");
        EXPECT_EQ(ed.GetCaret(), TPoint(1, 0));
        EXPECT_TRUE(ed.CaretShown());
        work.emplace_back(ed.drawnRows.size(), ed.runs.size());
    }
    EXPECT_EQ(work[0], work[1]);
}

// A paste leaves the caret where it can be seen, however far right or down the text took it, and
// wherever the view stood before.
TEST_F(ScrollTest, APasteShowsTheCaretWhereverItEnds)
{
    const int cols = ed.GetDspColCount();
    struct TCase
    {
        const char* what;
        std::string text;
        TPoint caret;
        int top, left;
        std::string pasted;
    } cases[] = {
        {"at the end of a long row", std::string(300, 'x'), {300, 0}, 0, 0, "abc"},
        {"lines whose last one is long", "ab", {2, 0}, 0, 0, "1\r\n" + std::string(cols + 40, 'y')},
        {"a long row pasted in front of a short one", "z", {0, 0}, 0, 0, std::string(cols * 3, 'w')},
        {"a short piece at the start of a row the view had left", std::string(300, 'x'), {0, 0}, 0, 250, "q"},
        {"a caret above the rows shown", Rows(300), {0, 2}, 150, 0, "q"},
    };
    ed.SetOptions(TAFEditOptions{}); // no folding: rows run on past the view
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        host.Load(c.text);
        ed.SetCaretRaw(c.caret);
        ed.SetTopLineRaw(c.top);
        ed.SetLeftColRaw(c.left);
        ed.PasteText(AnsiString(c.pasted.data(), int(c.pasted.size())));
        host.Pump();
        EXPECT_TRUE(CaretInView()) << "caret " << ed.GetCaret() << ", view from column " << ed.GetLeftCol()
                                   << " row " << ed.GetTopLine();
    }
}
