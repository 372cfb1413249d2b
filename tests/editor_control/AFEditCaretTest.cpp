#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "editor_control/AFEditText.h"
#include "platform/Services.h"
#include "tests/TestServices.h"

namespace
{
// Rows as given, each with its indent (missing indents are 0).
void SetRows(TCustomAFEdit& ed, const std::vector<std::string>& rows, const std::vector<int>& indents = {})
{
    ed.Lines()->Clear();
    ed.AttrList()->Clear();
    ed.BlkAttrList()->Clear();
    for (size_t i = 0; i < rows.size(); ++i)
    {
        ed.Lines()->Add(AnsiString(rows[i].data(), int(rows[i].size())));
        ed.AttrList()->Add(ed.MakeAttr(false, i < indents.size() ? indents[i] : 0, 60));
    }
}

std::vector<std::string> Rows(TCustomAFEdit& ed)
{
    std::vector<std::string> out;
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        out.push_back(ed.GetLine(i).str());
    return out;
}

std::string Show(const std::vector<TPoint>& points)
{
    std::string s;
    for (const TPoint& p : points)
        s += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ") ";
    return s;
}

struct TRecorder
{
    std::vector<std::string> log;
    WORD replaceWith = 0xFFFF;
    void CtrlKeyDown(TObject*, WORD& key, TShiftState)
    {
        log.push_back("ctrl " + std::to_string(key));
        if (replaceWith != 0xFFFF)
            key = replaceWith;
    }
    void LineInsert(TObject*, int index, AnsiString& text)
    {
        log.push_back("insert " + std::to_string(index) + " " + text.str());
    }
    void LineDelete(TObject*, int index) { log.push_back("delete " + std::to_string(index)); }
    void UndoChange(TObject*, bool canUndo, bool canRedo)
    {
        log.push_back(std::string("undo ") + (canUndo ? "1" : "0") + (canRedo ? "1" : "0"));
    }
};
} // namespace

// ---- caret steps -------------------------------------------------------------------------------

TEST(CaretStep, WalksStopOnEveryCharacterTabAndParagraphEnd)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> rows;
        std::vector<int> indents;
        int tabSize;
        bool freeCaret;
        TPoint start;
        char dir; // 'R' CaretRight, 'L' CaretLeft
        std::vector<TPoint> stops;
    };
    const Case cases[] = {
        {"a tab is one step and the CR column is a stop", {"ab\tc\r", "xy"}, {}, 4, false, TPoint(0, 0), 'R',
         {TPoint(1, 0), TPoint(2, 0), TPoint(4, 0), TPoint(5, 0), TPoint(0, 1), TPoint(1, 1), TPoint(2, 1),
          TPoint(2, 1)}},
        {"back over the tab and onto the CR of the row above", {"ab\tc\r", "xy"}, {}, 4, false, TPoint(1, 1), 'L',
         {TPoint(0, 1), TPoint(5, 0), TPoint(4, 0), TPoint(2, 0), TPoint(1, 0), TPoint(0, 0), TPoint(0, 0)}},
        {"double-byte characters take two columns", {"aあb\r", ""}, {}, 4, false, TPoint(0, 0), 'R',
         {TPoint(1, 0), TPoint(3, 0), TPoint(4, 0), TPoint(0, 1), TPoint(0, 1)}},
        {"back over double-byte characters", {"あい"}, {}, 4, false, TPoint(4, 0), 'L',
         {TPoint(2, 0), TPoint(0, 0), TPoint(0, 0)}},
        {"from the middle of a double-byte character", {"aあい"}, {}, 4, false, TPoint(4, 0), 'L',
         {TPoint(3, 0), TPoint(1, 0), TPoint(0, 0)}},
        {"the bytes two to the left lie before the row", {"あい"}, {}, 4, false, TPoint(1, 0), 'L', {TPoint(0, 0)}},
        {"indents are skipped and a wrapped row goes on at the next indent", {"abc", "de\r", ""}, {2, 2, 0}, 4,
         false, TPoint(0, 0), 'R',
         {TPoint(2, 0), TPoint(3, 0), TPoint(4, 0), TPoint(2, 1), TPoint(3, 1), TPoint(4, 1), TPoint(0, 2)}},
        {"left from an indent goes to the end of a wrapped row, never into row 0's indent", {"abc", "de\r", ""},
         {2, 2, 0}, 4, false, TPoint(0, 2), 'L',
         {TPoint(4, 1), TPoint(3, 1), TPoint(2, 1), TPoint(5, 0), TPoint(4, 0), TPoint(3, 0), TPoint(2, 0),
          TPoint(2, 0)}},
        {"left inside row 0's indent goes to the indent", {"abc"}, {3}, 4, false, TPoint(1, 0), 'L', {TPoint(3, 0)}},
        {"two tabs in a row", {"\t\tx"}, {}, 4, false, TPoint(0, 0), 'R',
         {TPoint(4, 0), TPoint(8, 0), TPoint(9, 0)}},
        {"two tabs back", {"\t\tx"}, {}, 4, false, TPoint(9, 0), 'L', {TPoint(8, 0), TPoint(4, 0), TPoint(0, 0)}},
        {"from inside a tab's fill", {"\t\tx"}, {}, 4, false, TPoint(6, 0), 'L', {TPoint(4, 0)}},
        {"from inside a tab's fill to the right", {"\t\tx"}, {}, 4, false, TPoint(5, 0), 'R', {TPoint(8, 0)}},
        {"a tab of width one", {"abc\td"}, {}, 4, false, TPoint(2, 0), 'R',
         {TPoint(3, 0), TPoint(4, 0), TPoint(5, 0)}},
        {"tabs count from the text, not the indent", {"a\tb"}, {3}, 4, false, TPoint(3, 0), 'R',
         {TPoint(4, 0), TPoint(7, 0), TPoint(8, 0)}},
        {"a 0x0B byte of the text is a character, not tab fill", {"a\x0B\tb"}, {}, 4, false, TPoint(0, 0), 'R',
         {TPoint(1, 0), TPoint(2, 0), TPoint(4, 0), TPoint(5, 0)}},
        {"and back", {"a\x0B\tb"}, {}, 4, false, TPoint(5, 0), 'L',
         {TPoint(4, 0), TPoint(2, 0), TPoint(1, 0), TPoint(0, 0)}},
        {"a double-byte character before a tab", {"あ\tb"}, {}, 4, false, TPoint(0, 0), 'R',
         {TPoint(2, 0), TPoint(4, 0), TPoint(5, 0)}},
        {"free caret walks past the end and stays on the row", {"ab\r", "cd"}, {}, 4, true, TPoint(1, 0), 'R',
         {TPoint(2, 0), TPoint(3, 0), TPoint(4, 0)}},
        {"free caret walks back from past the end", {"ab"}, {}, 4, true, TPoint(5, 0), 'L',
         {TPoint(4, 0), TPoint(3, 0), TPoint(2, 0), TPoint(1, 0)}},
        {"without a free caret, past the end goes back onto the last character", {"aあ"}, {}, 4, false,
         TPoint(7, 0), 'L', {TPoint(1, 0), TPoint(0, 0)}},
        {"past the end of an empty indented row stays out of the indent", {"x\r", ""}, {0, 4}, 4, false,
         TPoint(9, 1), 'L', {TPoint(4, 1), TPoint(1, 0)}},
        {"below the last row only the column moves", {"ab"}, {}, 4, false, TPoint(2, 3), 'R',
         {TPoint(3, 3), TPoint(4, 3)}},
        {"below the last row, back to column 0", {"ab"}, {}, 4, false, TPoint(2, 3), 'L',
         {TPoint(1, 3), TPoint(0, 3), TPoint(0, 3)}},
        {"the last row keeps the caret at its end", {"ab\r", "c"}, {}, 4, false, TPoint(0, 1), 'R',
         {TPoint(1, 1), TPoint(1, 1)}},
        {"tab size 1", {"a\tb"}, {}, 1, false, TPoint(0, 0), 'R', {TPoint(1, 0), TPoint(2, 0), TPoint(3, 0)}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        ed->SetTabSize(c.tabSize);
        SetRows(*ed, c.rows, c.indents);
        TAFEditOptions options = ed->GetOptions();
        if (c.freeCaret)
            options << aoFreeCaret;
        ed->SetOptions(options);
        ed->SetCaretRaw(c.start);
        std::vector<TPoint> got;
        for (size_t i = 0; i < c.stops.size(); ++i)
        {
            if (c.dir == 'R')
                ed->CaretRight();
            else
                ed->CaretLeft();
            got.push_back(ed->GetCaret());
        }
        EXPECT_EQ(Show(got), Show(c.stops)) << c.name;
        EXPECT_EQ(ed->AttrList()->GetCount(), int(c.rows.size())) << c.name; // no records made by reading
    }
}

// Over random rows of tabs, double-byte characters and 0x0B bytes, a right walk never stops inside a
// character or a tab, and the left walk from the end visits the same stops backwards.
TEST(CaretStep, LeftAndRightWalksMirrorEachOtherOnRandomRows)
{
    const char* pieces[] = {"a", "\t", "漢", "ｱ", " ", "\x0B", "xy"};
    for (unsigned seed : {11u, 23u, 1999u})
    {
        std::mt19937 rng(seed);
        for (int round = 0; round < 200; ++round)
        {
            std::string row;
            int n = 1 + int(rng() % 10);
            for (int i = 0; i < n; ++i)
                row += pieces[rng() % 7];
            int indent = int(rng() % 4);
            auto ed = NewEditor();
            ed->SetTabSize(1 + int(rng() % 8));
            SetRows(*ed, {row}, {indent});
            std::vector<TDspCell> cells;
            DisplayCells(cells, row.c_str(), int(row.size()), ed->GetTabSize());
            int len = indent + int(cells.size());
            // Character starts: every cell that is not a trail byte and not inside a tab's fill
            // after its first cell.
            std::vector<int> starts;
            for (int x = 0; x < int(cells.size()); ++x)
            {
                TDspCell c = cells[size_t(x)];
                bool tab = c == dcTabFill || c == dcTabEnd;
                bool tabInside = tab && x > 0 && cells[size_t(x - 1)] == dcTabFill;
                if (c != dcTrail && !tabInside)
                    starts.push_back(indent + x);
            }
            starts.push_back(len);
            ed->SetCaretRaw(TPoint(indent, 0));
            std::vector<int> right = {indent};
            while (right.size() < starts.size())
            {
                ed->CaretRight();
                right.push_back(ed->GetCaret().x);
            }
            ASSERT_EQ(right, starts) << "seed " << seed << " round " << round;
            std::vector<int> left = {len};
            ed->SetCaretRaw(TPoint(len, 0));
            while (left.size() < starts.size())
            {
                ed->CaretLeft();
                left.insert(left.begin(), ed->GetCaret().x);
            }
            ASSERT_EQ(left, starts) << "seed " << seed << " round " << round;
            // Every character start maps to its logical column and back.
            for (int x : starts)
            {
                int lc = ed->LogicalPos(TPoint(x, 0));
                ASSERT_EQ(ed->DspPos(TPoint(lc, 0)).x, x) << "seed " << seed << " round " << round;
            }
        }
    }
}

TEST(CaretStep, LogicalPosTellsTextBytesFromTabFill)
{
    auto ed = NewEditor();
    SetRows(*ed, {"a\x0B\tb"}, {2});
    // Display: 2 indent cells, a, 0x0B (text), tab fill, tab end, b.
    const int want[] = {-2, -1, 0, 1, 2, 2, 3, 4, 4};
    for (int x = 0; x < 9; ++x)
        EXPECT_EQ(ed->LogicalPos(TPoint(x, 0)), want[x]) << x;
    EXPECT_EQ(ed->DspPos(TPoint(3, 0)), TPoint(6, 0));
    EXPECT_EQ(ed->DspPos(TPoint(2, 0)), TPoint(4, 0));
}

TEST(ColAdj, MovesOffTrailBytesAlternatingFromTheLeft)
{
    auto ed = NewEditor();
    SetRows(*ed, {"aあい\x0B"}, {1});
    // Columns: 0 indent, 1 a, 2-3 あ, 4-5 い, 6 the 0x0B byte.
    EXPECT_EQ(ed->ColAdj(TPoint(3, 0), true), TPoint(2, 0));
    EXPECT_EQ(ed->ColAdj(TPoint(5, 0), false), TPoint(6, 0));
    EXPECT_EQ(ed->ColAdj(TPoint(3, 0), false), TPoint(2, 0));
    // Character boundaries, the indent, the end and rows that do not exist stay as they are, and do
    // not flip the direction.
    for (TPoint p : {TPoint(0, 0), TPoint(1, 0), TPoint(2, 0), TPoint(4, 0), TPoint(6, 0), TPoint(7, 0),
                     TPoint(3, 1), TPoint(3, -1)})
        EXPECT_EQ(ed->ColAdj(p, false), p) << p;
    EXPECT_EQ(ed->ColAdj(TPoint(5, 0), false), TPoint(6, 0));
}

// ---- control characters ------------------------------------------------------------------------

TEST(DoCtrlKeyPress, EscapeDropsBothSelectionsAndOtherCtrlCharactersAreSwallowed)
{
    TKeyServices keys;
    auto ed = NewEditor();
    SetRows(*ed, {"abc\r", "def"});
    TSelArea* sel = ed->SelArea();
    sel->PutStartPoint(TPoint(1, 0));
    sel->PutEndPoint(TPoint(2, 1));
    sel->PutStartRow(0);
    sel->PutEndRow(1);
    ed->ShiftSelecting = true;
    EXPECT_TRUE(ed->DoCtrlKeyPress(CharKey(VK_ESCAPE)));
    EXPECT_FALSE(sel->isPointAble());
    EXPECT_FALSE(sel->isRowAble());
    EXPECT_EQ(sel->GetStartPoint(), TPoint(2, 1)); // collapsed onto the moving end
    EXPECT_FALSE(ed->ShiftSelecting);

    struct Case
    {
        const char* name;
        WORD code;
        bool ctrl, passOn, handled;
    };
    const Case cases[] = {
        {"Ctrl+A", 1, true, false, true},
        {"Ctrl+Z", 26, true, false, true},
        {"a control character without Ctrl", 1, false, false, false},
        {"a Ctrl character the key-down handler passes on", 1, true, true, false},
        {"a printable character with Ctrl", 'a', true, false, false},
        {"a printable character", 'a', false, false, false},
        {"a double-byte lead byte", 0x82, true, false, false},
    };
    for (const Case& c : cases)
    {
        keys.down.clear();
        if (c.ctrl)
            keys.down.insert(VK_CONTROL);
        ed->CtrlCharPassOn = c.passOn;
        EXPECT_EQ(ed->DoCtrlKeyPress(CharKey(c.code)), c.handled) << c.name;
    }
    ed->CtrlCharPassOn = false;
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{"abc\r", "def"}));
}

TEST(DoCtrlKeyPress, TheCtrlKeyHookSeesTheCharacterFirstAndMayConsumeOrReplaceIt)
{
    TKeyServices keys;
    auto ed = NewEditor();
    SetRows(*ed, {"abc"});
    TRecorder rec;
    ed->OnCtrlKeyDown = TKeyEvent(&rec, &TRecorder::CtrlKeyDown);
    TSelArea* sel = ed->SelArea();
    sel->PutStartPoint(TPoint(0, 0));
    sel->PutEndPoint(TPoint(2, 0));

    rec.replaceWith = 0; // consumed: Escape does nothing
    EXPECT_TRUE(ed->DoCtrlKeyPress(CharKey(VK_ESCAPE)));
    EXPECT_TRUE(sel->isPointAble());

    rec.replaceWith = VK_ESCAPE; // a printable character turned into Escape
    EXPECT_TRUE(ed->DoCtrlKeyPress(CharKey('q')));
    EXPECT_FALSE(sel->isPointAble());
    EXPECT_EQ(rec.log, (std::vector<std::string>{"ctrl 27", "ctrl 113"}));
}

// ---- row primitives -----------------------------------------------------------------------------

TEST(RowPrimitives, AddLinePWritesTheRecordAtTheNewRow)
{
    auto ed = NewEditor();
    SetRows(*ed, {"a\r", "b"});
    ed->AttrList()->GetItem(4)->Indent = 9; // a read past the end made stale records
    TRecorder rec;
    ed->OnLineInsert = TLineInsertNotifyEvent(&rec, &TRecorder::LineInsert);
    ed->OnUndoChange = TUndoNotifyEvent(&rec, &TRecorder::UndoChange);
    TAttrListItem attr = ed->MakeAttr(false, 3, 40);
    TColAttrList foreign;
    attr.ColAttr = &foreign;
    attr.States << asChanged;
    ed->AddLineP("c", attr);
    ASSERT_EQ(ed->GetLinesCount(), 3);
    EXPECT_EQ(ed->GetLine(2), AnsiString("c"));
    TAttrListItem* r = ed->GetLinesAttr(2);
    EXPECT_EQ(r->Indent, 3);
    EXPECT_EQ(r->WrapPos, 40);
    EXPECT_TRUE(r->Dirty);
    EXPECT_EQ(r->ColAttr, nullptr);
    EXPECT_FALSE(r->States.Contains(asChanged));
    EXPECT_EQ(rec.log, (std::vector<std::string>{"insert 1 c", "undo 10"}));
    TUndoBuffItem* u = ed->UndoBuff()->PrevPop();
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->Action, acInsert);
    EXPECT_EQ(u->Index, 2);
    EXPECT_EQ(u->After, AnsiString("c"));
    EXPECT_EQ(u->AttrAfter.Indent, 3);
    EXPECT_EQ(u->AttrAfter.ColAttr, nullptr);
}

TEST(RowPrimitives, DelLinePRefusesRowsThatDoNotExistAndMovesTheCaretUpOnlyFromBelow)
{
    struct Case
    {
        int row;
        TPoint caretBefore, caretAfter;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        {-1, TPoint(1, 2), TPoint(1, 2), {"a\r", "b\r", "c"}},
        {3, TPoint(1, 2), TPoint(1, 2), {"a\r", "b\r", "c"}},
        {0, TPoint(1, 2), TPoint(1, 1), {"b\r", "c"}},
        {1, TPoint(1, 2), TPoint(1, 1), {"a\r", "c"}},
        {2, TPoint(1, 2), TPoint(1, 2), {"a\r", "b\r"}},
        {1, TPoint(0, 1), TPoint(0, 1), {"a\r", "c"}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"a\r", "b\r", "c"});
        ed->SetCaretRaw(c.caretBefore);
        TRecorder rec;
        ed->OnLineDelete = TLineDeleteNotifyEvent(&rec, &TRecorder::LineDelete);
        ed->DelLineP(c.row);
        EXPECT_EQ(Rows(*ed), c.rows) << c.row;
        EXPECT_EQ(ed->GetCaret(), c.caretAfter) << c.row;
        bool exists = c.row >= 0 && c.row < 3;
        EXPECT_EQ(ed->CanUndo(), exists) << c.row;
        EXPECT_EQ(rec.log.size(), exists ? 1u : 0u) << c.row;
        EXPECT_EQ(ed->AttrList()->GetCount(), ed->GetLinesCount()) << c.row;
    }
}

TEST(RowPrimitives, DeletingTheOnlyRowLeavesOneEmptyRowAndUndoesInOneStep)
{
    auto ed = NewEditor();
    SetRows(*ed, {"only"}, {4});
    ed->UndoBuff()->Reset();
    TRecorder rec;
    ed->OnLineDelete = TLineDeleteNotifyEvent(&rec, &TRecorder::LineDelete);
    ed->OnLineInsert = TLineInsertNotifyEvent(&rec, &TRecorder::LineInsert);
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->DelLineP(0);
    EXPECT_EQ(Rows(*ed), std::vector<std::string>{""});
    EXPECT_EQ(ed->AttrList()->GetCount(), 1);
    EXPECT_EQ(ed->GetLinesAttr(0)->Indent, 4);
    EXPECT_EQ(rec.log, (std::vector<std::string>{"delete 0", "insert 0 "}));
    EXPECT_TRUE(ed->isEdited());
    ed->Undo();
    EXPECT_EQ(Rows(*ed), std::vector<std::string>{"only"});
    EXPECT_FALSE(ed->CanUndo());
    EXPECT_FALSE(ed->isEdited());
    ed->Redo();
    EXPECT_EQ(Rows(*ed), std::vector<std::string>{""});
}

TEST(RowPrimitives, DelLinePOfManyRowsUndoesAsOneGroup)
{
    auto ed = NewEditor();
    SetRows(*ed, {"a\r", "b\r", "c\r", "d"});
    ed->UndoBuff()->Reset();
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->DelLineP(1);
    ed->DelLineP(1);
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{"a\r", "d"}));
    ed->Undo();
    EXPECT_EQ(Rows(*ed), (std::vector<std::string>{"a\r", "b\r", "c\r", "d"}));
    EXPECT_FALSE(ed->CanUndo());
    EXPECT_EQ(ed->AttrList()->GetCount(), 4);
}
