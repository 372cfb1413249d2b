// The editor's mouse, through button and move messages sent to its real window.
#include <gtest/gtest.h>

#include <iterator>

#include "tests/TestMouse.h"
#include "tests/TestServices.h"
#include "tests/editor_control/EditorViewTestUtil.h"

namespace
{
std::string Selected(TCustomAFEdit& ed) { return ed.GetSelText().str(); }
} // namespace

TEST(AFEditMouse, APressPutsTheCaretOnTheCellAStrokeOfThePenWouldMean)
{
    TKeyServices keys;
    TViewHost host;
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    // A paragraph end, a wrapped piece, a double-byte character, an indented row.
    LoadRows(ed, {"abcdef\r", "ghij", "kl\r", "\x82\xa0xy\r", "zz\r"});
    ed.AttrList()->GetItem(4)->Indent = 4;
    const int w = ed.GetColWidth();
    struct TCase
    {
        const char* what;
        int col, row, dx;
        TPoint caret;
    } cases[] = {
        {"left part of a cell", 2, 0, 1, {2, 0}},
        {"within the slop of the cell's right edge", 2, 0, w - TCustomAFEdit::ClickSlop, {3, 0}},
        {"just before the slop", 2, 0, w - TCustomAFEdit::ClickSlop - 1, {2, 0}},
        {"right of a paragraph's end: before its CR", 30, 0, 1, {6, 0}},
        {"right of a wrapped piece: after its last character", 30, 1, 1, {4, 1}},
        {"second half of a double-byte character", 1, 3, 1, {0, 3}},
        {"in the indent: at the text's start", 1, 4, 1, {4, 4}},
        {"below the text: on its last row", 6, 9, 1, {6, 4}},
    };
    TMouse mouse{*host.edit};
    for (const TCase& c : cases)
    {
        mouse.Click(mouse.At(c.col, c.row, c.dx));
        EXPECT_EQ(ed.GetCaret(), c.caret) << c.what;
        EXPECT_FALSE(ed.SelArea()->isPointAble()) << c.what;
        EXPECT_EQ(ed.GetDragMode(), dmNone) << c.what;
    }
    // The left margin: the row's start, the reversed arrow over it, the I-beam over the text.
    const POINT margin{ed.EditRect().Left / 2, mouse.At(0, 2).y};
    mouse.Send(WM_MOUSEMOVE, 0, margin);
    EXPECT_EQ(ed.Cursor(), 5);
    mouse.Click(margin);
    EXPECT_EQ(ed.GetCaret(), TPoint(0, 2));
    mouse.Send(WM_MOUSEMOVE, 0, mouse.At(1, 1));
    EXPECT_EQ(ed.Cursor(), crIBeam);
}

TEST(AFEditMouse, ADragSelectsAndShiftExtendsFromTheAnchor)
{
    TKeyServices keys;
    TViewHost host;
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    LoadRows(ed, {"abcdef\r", "ghijkl\r", "mnopqr"});
    TMouse mouse{*host.edit};
    mouse.Down(mouse.At(1, 0));
    EXPECT_TRUE(ed.MouseCapture());
    mouse.Move(mouse.At(3, 2));
    mouse.Up(mouse.At(3, 2));
    EXPECT_FALSE(ed.MouseCapture());
    EXPECT_EQ(Selected(ed), "bcdef\r\nghijkl\r\nmno");
    EXPECT_EQ(ed.GetDragMode(), dmNone);

    // Shift extends from the anchor, wherever the press is.
    keys.down.insert(VK_SHIFT);
    mouse.Click(mouse.At(2, 1));
    EXPECT_EQ(Selected(ed), "bcdef\r\ngh");
    keys.down.clear();

}

TEST(AFEditMouse, DoubleClickSelectsAWordOrADoubleByteCharacterAndNeverReadsPastTheRow)
{
    TKeyServices keys;
    TViewHost host;
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    LoadRows(ed, {"abc_1 def\r", "x\x82\xa0y\r", "z"});
    struct TCase
    {
        int col, row;
        const char* selected;
    } cases[] = {
        {0, 0, "abc_1"}, {4, 0, "abc_1"}, {7, 0, "def"}, {2, 1, "\x82\xa0"},
        {1, 1, "\x82\xa0"}, {20, 0, ""},  {5, 2, ""},    {0, 2, "z"},
    };
    TMouse mouse{*host.edit};
    for (const TCase& c : cases)
    {
        mouse.DoubleClick(mouse.At(c.col, c.row));
        EXPECT_EQ(Selected(ed), c.selected) << c.col << "," << c.row;
    }
}

// A word goes on over a folded row's end but not past a paragraph's; a run of one colour and style
// is taken whole, whatever its bytes are.
TEST(AFEditMouse, DoubleClickWidensAWordOverAFoldAndTakesAColourRunWhole)
{
    TKeyServices keys;
    TViewHost host;
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    LoadRows(ed, {"ab+cd", "ef gh\r", "x=y;z"});
    TColAttrList* attrs = ed.GetColAttrs(2);
    for (int i = 1; i <= 3; ++i)
    {
        TColAttrListItem* item = attrs->GetItem(i);
        item->OwnColor = true;
        item->Color = i < 3 ? 0x0000FF : 0x00FF00;
    }
    struct TCase
    {
        int col, row;
        const char* selected;
    } cases[] = {
        {3, 0, "cdef"}, {1, 1, "cdef"}, {4, 1, "gh"}, {0, 0, "ab"}, {1, 2, "=y"}, {2, 2, "=y"}, {3, 2, ";"},
    };
    TMouse mouse{*host.edit};
    for (const TCase& c : cases)
    {
        mouse.DoubleClick(mouse.At(c.col, c.row));
        EXPECT_EQ(Selected(ed), c.selected) << c.col << "," << c.row;
    }
}

// Holding the pointer still outside the rows keeps scrolling, a row or column a tick, until the
// text's edge is shown; the watchdog counts rounds, not time.
TEST(AFEditMouse, DragOutsideTheRowsScrollsOnATimerUntilTheEdgeInEachDirection)
{
    TKeyServices keys;
    TViewHost host(400, 240);
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    std::vector<std::string> rows;
    for (int i = 0; i < 120; ++i)
        rows.push_back(std::string(i % 7 == 0 ? 150 : 10, char('a' + i % 26)) + "\r");
    rows.back().pop_back();
    LoadRows(ed, rows);
    ed.NoteLineWidth(151);
    const int vis = ed.VisibleRows();
    TMouse mouse{*host.edit};
    auto settle = [&]
    {
        for (int round = 0; round < 4000 && ed.DragScrolling(); ++round)
        {
            host.Pump();
            Sleep(1);
        }
        return !ed.DragScrolling();
    };
    const RECT r = {ed.EditRect().Left, ed.EditRect().Top, ed.EditRect().Right, ed.EditRect().Bottom};

    mouse.Down(mouse.At(1, 2));
    mouse.Move(POINT{r.left + 20, r.bottom + 25});
    ASSERT_TRUE(ed.DragScrolling());
    ASSERT_TRUE(settle()) << "never stopped going down";
    EXPECT_EQ(ed.GetTopLine(), 120 - vis);
    EXPECT_EQ(ed.SelArea()->MovingPoint().y, 119);

    mouse.Move(POINT{r.left + 20, r.top - 25});
    ASSERT_TRUE(settle()) << "never stopped going up";
    EXPECT_EQ(ed.GetTopLine(), 0);
    EXPECT_EQ(ed.SelArea()->MovingPoint().y, 0);

    mouse.Move(mouse.At(3, 0));
    mouse.Move(POINT{r.right + 25, r.top + 2});
    ASSERT_TRUE(settle()) << "never stopped going right";
    EXPECT_GT(ed.GetLeftCol(), 0);
    EXPECT_EQ(ed.SelArea()->MovingPoint(), TPoint(150, 0)) << "the selection reaches the row's end";

    mouse.Move(POINT{2, r.top + 2});
    ASSERT_TRUE(settle()) << "never stopped going left";
    EXPECT_EQ(ed.GetLeftCol(), 0);
    mouse.Up(POINT{2, r.top + 2});
    EXPECT_FALSE(ed.DragScrolling());
    EXPECT_EQ(ed.GetDragMode(), dmNone);
}

// The bare control inserts nothing, so dragging a selection there moves nothing: it never deletes.
TEST(AFEditMouse, ADragMoveInTheBareControlLeavesTheTextWhole)
{
    TKeyServices keys;
    TViewHost host;
    host.Focus();
    TRecordingEdit& ed = *host.edit;
    LoadRows(ed, {"abcdef\r", "ghijkl"});
    TMouse mouse{*host.edit};
    mouse.Down(mouse.At(1, 0));
    mouse.Move(mouse.At(4, 0));
    mouse.Up(mouse.At(4, 0));
    ASSERT_EQ(Selected(ed), "bcd");
    mouse.Down(mouse.At(2, 0));
    EXPECT_EQ(ed.GetDragMode(), dmMoveSel);
    mouse.Up(mouse.At(3, 1));
    EXPECT_EQ(JoinedRows(ed), "abcdef\rghijkl");
    EXPECT_FALSE(ed.CanUndo());
}

TEST(AFEditMouse, LeadingBlanksBecomeIndentOnParagraphHeadsUpToTheWrapLimitInOneUndo)
{
    auto ed = NewEditor();
    ed->SetTabSize(4);
    LoadRows(*ed, {" \tx\r", "   \r", "  y", "  z\r", std::string(30, ' ') + "w"});
    for (int row = 0; row < 5; ++row)
        ed->AttrList()->GetItem(row)->WrapPos = 20;
    ed->AttrList()->GetItem(3)->Indent = 2;
    ed->SelArea()->PutStartRow(0);
    ed->SelArea()->PutEndRow(4);
    ed->SelAreaLeftSpaceToIndent();
    // Each paragraph whose indent grew is cut anew at its wrap position, as a folded load cuts it.
    struct TRow
    {
        const char* text;
        int indent;
    } want[] = {
        {"x\r", 4}, {"\r", 3}, {"y  z\r", 2}, // a wrapped piece keeps its blanks
        // the indent stops at wrap - 8; the other blanks stay in the text
        {"        ", 12}, {"        ", 12}, {"  w", 12},
    };
    ASSERT_EQ(ed->GetLinesCount(), int(std::size(want)));
    for (int row = 0; row < int(std::size(want)); ++row)
    {
        EXPECT_EQ(ed->GetLine(row).str(), want[row].text) << row;
        EXPECT_EQ(ed->AttrList()->GetItem(row)->Indent, want[row].indent) << row;
    }
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{" \tx\r", "   \r", "  y", "  z\r", std::string(30, ' ') + "w"}));
    EXPECT_EQ(ed->AttrList()->GetItem(0)->Indent, 0);
    EXPECT_EQ(ed->AttrList()->GetItem(4)->Indent, 0);

    // The indent is written as blanks: converted blanks save as they were loaded.
    LoadText(*ed, "   a\r\n b", TConvMode());
    ed->SelectAll();
    ed->SelAreaLeftSpaceToIndent();
    TStringStream saved;
    ed->SaveToStream(&saved, TConvMode());
    EXPECT_EQ(saved.DataString().str(), "   a\r\n b");
}
