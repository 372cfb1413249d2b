// The editor page's clipboard: box copy in both formats, box paste, box deletion, plain paste, and
// a clipboard another program holds.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Clipbrd.h"
#include "tests/HexText.h"
#include "tests/TestClipboard.h"
#include "tests/TestMouse.h"
#include "tests/TestServices.h"
#include "tests/editor_control/StringModel.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
const char* const kA = "\x82\xa0";

unsigned BoxFormat() { return RegisterClipboardFormatSjis("VNEDIT_RANGE_SELECT"); }

void SelectBox(TTestPage& page, TPoint anchor, TPoint end)
{
    page.SelArea()->RowReset();
    page.SelArea()->PutStartPoint(anchor);
    page.SelArea()->PutEndPoint(end);
    page.SetRangeSelect(true);
}

std::string Place(const TPoint& p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

std::string BoxOnClipboard()
{
    const AnsiString raw = Clipboard()->GetBuffer(BoxFormat());
    return std::string(raw.c_str()); // up to the NUL that ends the block
}

// What a box of display columns [left, right) takes from one row, worked out cell by cell: the
// copy takes the cells inside the box and both cells of a double-byte character that has one
// inside; the deletion takes the characters the copy took whole, a tab only with its last cell,
// never an indent cell nor the CR.
struct TBoxRowModel
{
    std::string piece; // the display form the copy takes
    std::string rest;  // the stored row after the deletion
    std::vector<bool> taken; // per cell of the row: the copy takes it
};

TBoxRowModel BoxRowModel(const std::string& text, int indent, int tabSize, int left, int right)
{
    const bool cr = !text.empty() && text.back() == '\r';
    const std::string body = text.substr(0, text.size() - (cr ? 1 : 0));
    auto inBox = [&](int cell) { return cell >= left && cell < right; };
    TBoxRowModel m;
    for (int c = 0; c < indent; ++c)
    {
        m.taken.push_back(inBox(c));
        if (inBox(c))
            m.piece += '\x01';
    }
    int cell = indent;
    for (size_t i = 0; i < body.size();)
    {
        const int n = CharBytes(body, i);
        std::string cells = body.substr(i, size_t(n));
        if (body[i] == '\t')
            cells = std::string(size_t(tabSize - (cell - indent) % tabSize - 1), '\x0B') + '\t';
        const int w = int(cells.size());
        bool any = false;
        for (int k = 0; k < w; ++k)
            any = any || inBox(cell + k);
        for (int k = 0; k < w; ++k)
        {
            m.taken.push_back(inBox(cell + k) || (any && n == 2));
            if (m.taken.back())
                m.piece += cells[size_t(k)];
        }
        const bool taken = body[i] == '\t' ? inBox(cell + w - 1) : any;
        if (!taken)
            m.rest += body.substr(i, size_t(n));
        cell += w;
        i += size_t(n);
    }
    if (cr)
        m.rest += '\r';
    return m;
}
} // namespace

TEST(nsRichEditClip, BoxCopyTakesDisplayColumnsWithIndentAndTabsAndWholeCharactersInBothFormats)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    // Row 1: indent 2, then a b TAB(2 cells) c あ d; row 2 empty; row 3 ends left of the box.
    LoadRows(page, {"abcdefgh\r", std::string("ab\tc") + kA + "d\r", "\r", "a\r", "abcdefgh"});
    page.AttrList()->GetItem(1)->Indent = 2;
    struct TCase
    {
        const char* what;
        TPoint anchor, end;
        const char* display; // the private format
        const char* text;    // the text format
    } cases[] = {
        {"indent, tab and a character cut on the right edge", {1, 1}, {8, 1},
         "\x01" "ab\x0B\x09" "c\x82\xa0\r\n", " ab  c\x82\xa0\r\n"},
        {"a character cut on the left edge", {8, 1}, {10, 1}, "\x82\xa0" "d\r\n", "\x82\xa0" "d\r\n"},
        {"rows: an empty one gives nothing, a short one an empty line", {1, 2}, {4, 4}, "\r\nbcd\r\n",
         "\r\nbcd\r\n"},
        {"the end given first", {6, 4}, {3, 0}, "def\r\nb\x0B\x09\r\n\r\ndef\r\n", "def\r\nb  \r\n\r\ndef\r\n"},
    };
    for (const TCase& c : cases)
    {
        SelectBox(page, c.anchor, c.end);
        page.CopySelToClipboard();
        EXPECT_EQ(BoxOnClipboard(), c.display) << c.what;
        EXPECT_EQ(Clipboard()->GetAsText().str(), c.text) << c.what;
    }
    // A character selection copies plain text and no box.
    page.SetRangeSelect(false);
    page.SelArea()->PutStartPoint(TPoint(1, 0));
    page.SelArea()->PutEndPoint(TPoint(3, 0));
    page.CopySelToClipboard();
    EXPECT_FALSE(Clipboard()->HasFormat(BoxFormat()));
    EXPECT_EQ(Clipboard()->GetAsText().str(), "bc");
}

TEST(nsRichEditClip, BoxPasteFillsShortRowsGrowsTheTextAndUndoesInOneStep)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    struct TCase
    {
        const char* what;
        std::vector<std::string> rows;
        int indent1;
        TPoint caret;
        const char* box; // display form
        std::vector<std::string> after;
    } cases[] = {
        {"past the ends of two rows: blanks, and a third row", {"abc\r", "xy"}, 0, {10, 0}, "def\r\ndef\r\ndef\r\n",
         {"abc       def\r", "xy        def\r", "          def"}},
        {"into an indented row: the indent counts as columns", {"0123\r", "ab\r", "z"}, 2, {3, 0}, "XY\r\nZW\r\n",
         {"012XY3\r", "aZWb\r", "z"}},
        {"indent cells become blanks, a whole tab stays a tab, a cut one blanks", {"k\r", "l"}, 0, {1, 0},
         "\x01\x0B\x09q\r\n\x0Bq\r\n", {"k \tq\r", "l q"}},
        {"a column on a double-byte character's second half", {std::string("a") + kA + "b"}, 0, {2, 0}, "Q\r\n",
         {std::string("aQ") + kA + "b"}},
    };
    for (const TCase& c : cases)
    {
        LoadRows(page, c.rows);
        page.UndoBuff()->Reset();
        if (c.indent1)
            page.AttrList()->GetItem(1)->Indent = int16_t(c.indent1);
        Clipboard()->Open();
        Clipboard()->SetAsText("ignored: the box comes from its own format");
        Clipboard()->SetBuffer(BoxFormat(), c.box, int(std::string(c.box).size()) + 1);
        Clipboard()->Close();
        page.SetCaretRaw(c.caret);
        page.ClipInsert();
        EXPECT_EQ(RowsOf(page), c.after) << c.what;
        page.Undo();
        EXPECT_EQ(RowsOf(page), c.rows) << c.what << ": one undo";
    }
}

TEST(nsRichEditClip, BoxCutDeletesItsColumnsKeepsEachCrAndRoundTripsThroughPaste)
{
    TKeyServices keys;
    TPageHost host;
    TTestPage& page = *host.page;
    page.SetFocus();
    host.Settle();
    const std::vector<std::string> rows = {"abcdefgh\r", std::string("ab") + kA + "\r", "a\r", "abcdefgh"};
    LoadRows(page, rows);
    page.UndoBuff()->Reset();
    // Alt+drag from column 1 of row 0 to column 3 of row 3.
    keys.down.insert(VK_MENU);
    TMouse mouse{page};
    mouse.Drag(mouse.At(1, 0), mouse.At(3, 3));
    keys.down.clear();
    ASSERT_TRUE(page.IsRangeSelect());
    page.Perform(WM_CUT, 0, 0);
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"adefgh\r", std::string("a") + "\r", "a\r", "adefgh"}))
        << "a character cut by the edge goes whole; CRs stay";
    EXPECT_EQ(BoxOnClipboard(), std::string("bc\r\nb") + kA + "\r\n\r\nbc\r\n");
    EXPECT_FALSE(page.IsRangeSelect());
    page.SetCaretRaw(TPoint(1, 0));
    page.Perform(WM_PASTE, 0, 0);
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"abcdefgh\r", std::string("ab") + kA + "\r", "a\r", "abcdefgh"}));
    page.Undo();
    page.Undo();
    EXPECT_EQ(RowsOf(page), rows);
}

TEST(nsRichEditClip, ABoxCutWhileAnotherProgramHoldsTheClipboardIsReportedAndDeletesNothing)
{
    TBoxServices boxes;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    LoadRows(page, {"abcdefgh\r", "abcdefgh"});
    SelectBox(page, TPoint(1, 0), TPoint(3, 1));
    {
        TClipboardHolder holder;
        ASSERT_TRUE(holder.Holding());
        page.Perform(WM_CUT, 0, 0);
    }
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"abcdefgh\r", "abcdefgh"}));
}

// Random box cuts, box deletions and box pastes, typing and Backspace over folded text of tabs,
// double-byte characters and paragraph ends, with many boxes of no width through double-byte
// characters: the box shows selected the cells a copy of it takes; a cut puts on the clipboard what
// a copy of the same box gives and deletes just what it put there, as the Delete key deletes it; a box paste over a box of no width pastes as it does
// at the box's top; after every edit each row has its one record; undo of everything gives the
// start back, redo of everything the end.
TEST(nsRichEditClip, BoxEditsCutWhatACopyTakesKeepOneRecordPerRowAndUndoAndRedoWhole)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.StopDrawThread();
    page.SetTabSize(4);
    const char* const tokens[] = {"a", "b", "c", " ", "\t", "\r", "\x82\xa0", "\x88\x9f", "xyz", "klmnopq"};
    RunEpisodes("box edits", 1, EnvNumber("VN_BOX_EDITS", 3000),
                [&](unsigned seed, long long& done) -> std::string
                {
                    std::mt19937 rng(seed);
                    auto rand = [&](int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); };
                    auto text = [&](int n) {
                        std::string s;
                        for (int i = 0; i < n; ++i)
                            s += tokens[rand(int(std::size(tokens)))];
                        return s;
                    };
                    page.SetDefWrapPos(8 + rand(10));
                    page.SetOptions(rand(3) == 0 ? TAFEditOptions{} : TAFEditOptions{aoAutoFormat});
                    LoadText(page, text(rand(40)));
                    // Some paragraphs indented, cut anew.
                    for (int i = 0, indent = 0; i < page.GetLinesCount(); ++i)
                    {
                        if (i == 0 || page.isCrLine(i - 1))
                            indent = rand(2) ? 0 : rand(5);
                        page.GetLinesAttr(i)->Indent = int16_t(indent);
                    }
                    page.RefoldParagraphs();
                    page.UndoBuff()->Reset();
                    const std::vector<std::string> start = RowsOf(page);
                    std::string step;
                    auto check = [&]() -> std::string {
                        const int n = page.GetLinesCount();
                        if (page.AttrList()->GetCount() != n)
                            return step + ": " + std::to_string(page.AttrList()->GetCount()) +
                                   " records for " + std::to_string(n) + " rows";
                        return std::string();
                    };
                    // The box from a to b as the model takes it: the copy, the text after its deletion,
                    // and the first row whose cells show selected other than the copy takes them.
                    auto modelBox = [&](TPoint a, TPoint b, std::string& copy, std::string& after, int& shown) {
                        const int top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
                        const int left = std::min(a.x, b.x), right = std::max(a.x, b.x);
                        copy.clear();
                        after.clear();
                        shown = -1;
                        for (int r = 0; r < page.GetLinesCount(); ++r)
                        {
                            const std::string row = page.GetLine(r).str();
                            if (r < top || r > bottom)
                            {
                                after += row;
                                continue;
                            }
                            const TBoxRowModel m = BoxRowModel(row, page.RowIndent(r), page.GetTabSize(), left, right);
                            if (page.RowIndent(r) > 0 || row.find_first_not_of('\r') != std::string::npos)
                                copy += m.piece + "\r\n";
                            after += m.rest;
                            for (size_t c = 0; c < m.taken.size() && shown < 0; ++c)
                                if (page.isSelArea(int(c), r, r, AnsiString()) != m.taken[c])
                                    shown = r;
                        }
                    };
                    const int edits = 5 + rand(20);
                    for (int e = 0; e < edits; ++e, ++done)
                    {
                        const int rows = page.GetLinesCount();
                        TPoint a(rand(16), rand(rows)), b(rand(16), rand(rows));
                        if (rand(3) == 0)
                            b.x = a.x; // no width
                        const int what = rand(14);
                        page.SetRangeSelect(false);
                        page.SelArea()->RowReset();
                        page.SelArea()->PointReset();
                        std::string fault;
                        if (what < 4)
                        {
                            const bool cut = what < 3 || a == b; // no box: Delete would take the caret's character
                            step = (cut ? "box cut " : "box Delete ") + Place(a) + " to " + Place(b);
                            std::string copy, after;
                            int shown = -1;
                            SelectBox(page, a, b);
                            modelBox(a, b, copy, after, shown);
                            if (shown >= 0)
                                fault = "row " + std::to_string(shown) + " shows other cells selected than a copy takes";
                            Clipboard()->SetAsText("kept");
                            page.CopySelToClipboard();
                            const bool none = a.x == b.x;
                            const std::string copied = none ? Clipboard()->GetAsText().str() : BoxOnClipboard();
                            if (fault.empty() && copied != (none ? std::string("kept") : copy))
                                fault = "the copy took " + Hex(copied) + ", the model " + Hex(copy);
                            Clipboard()->SetAsText("kept");
                            if (cut)
                                page.Perform(WM_CUT, 0, 0);
                            else
                                page.Perform(WM_KEYDOWN, VK_DELETE, 0);
                            const std::string kept = none || !cut ? Clipboard()->GetAsText().str() : BoxOnClipboard();
                            if (fault.empty() && kept != (none || !cut ? std::string("kept") : copied))
                                fault = "the clipboard holds " + Hex(kept) + " after the copy gave " + Hex(copied);
                            if (fault.empty() && JoinedRows(page) != after)
                                fault = "the text became " + Hex(JoinedRows(page)) + ", the model " + Hex(after);
                        }
                        else if (what < 7)
                        {
                            SelectBox(page, a, b);
                            page.CopySelToClipboard();
                            page.SetRangeSelect(false);
                            page.SelArea()->PointReset();
                            const TPoint at = page.PointAlign(TPoint(rand(16), rand(rows)));
                            step = "box paste at " + Place(at);
                            if (rand(3) == 0)
                            {
                                // Over a box of no width from there: it pastes as at the box's top.
                                const int other = rand(rows);
                                step += " over a box of no width to row " + std::to_string(other);
                                const std::string before = JoinedRows(page);
                                const TPoint from = page.ColAdj(at, true); // where a click puts the caret
                                page.SetCaretRaw(from);
                                SelectBox(page, from, TPoint(from.x, other));
                                page.Perform(WM_PASTE, 0, 0);
                                const std::string over = JoinedRows(page);
                                if (over != before) // a paste of nothing leaves nothing to undo
                                    page.Undo();
                                if (JoinedRows(page) != before)
                                    fault = "one undo does not take the paste back";
                                page.SetRangeSelect(false);
                                page.SelArea()->PointReset();
                                page.SetCaretRaw(page.ColAdj(page.PointAlign(TPoint(from.x, std::min(at.y, other))), true));
                                page.Perform(WM_PASTE, 0, 0);
                                if (fault.empty() && JoinedRows(page) != over)
                                    fault = "it gave " + Hex(over) + ", at the top " + Hex(JoinedRows(page));
                            }
                            else
                            {
                                page.SetCaretRaw(at);
                                page.Perform(WM_PASTE, 0, 0);
                            }
                        }
                        else if (what >= 10)
                        {
                            step = what < 12 ? "undo" : "redo";
                            what < 12 ? page.Undo() : page.Redo();
                        }
                        else
                        {
                            const TPoint at = page.PointAlign(TPoint(rand(16), rand(rows)));
                            page.SetCaretRaw(at);
                            step = "Backspace or typing at " + Place(at);
                            if (what == 7)
                                page.DoCtrlKeyPress(CharKey(VK_BACK));
                            else
                                page.KeyInput(Ansi(text(1 + rand(3))));
                        }
                        step = "edit " + std::to_string(e) + ", " + step;
                        if (!fault.empty())
                            return step + ": " + fault;
                        if (std::string f = check(); !f.empty())
                            return f;
                    }
                    // Undo and redo among the edits may leave a redo tail: the end is past it.
                    while (page.CanRedo())
                        page.Redo();
                    const std::vector<std::string> last = RowsOf(page);
                    while (page.CanUndo())
                        page.Undo();
                    if (RowsOf(page) != start)
                        return "undo of everything does not give the start back";
                    while (page.CanRedo())
                        page.Redo();
                    if (RowsOf(page) != last)
                        return "redo of everything does not give the end back";
                    return check();
                });
}

// A box line that lands below an emptied last piece of a wrapped paragraph goes on a row of its
// own, as on the text a fresh load of the same bytes gives, never onto the paragraph above.
TEST(nsRichEditClip, ABoxLineBelowAnEmptiedLastPieceGoesOnARowOfItsOwn)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetDefWrapPos(10);
    page.SetOptions(TAFEditOptions{aoAutoFormat, aoJpnBanBreak});
    LoadText(page, "abcdefghijk");
    ASSERT_EQ(RowsOf(page), (std::vector<std::string>{"abcdefghij", "k"}));
    page.SetCaretRaw(TPoint(1, 1));
    page.DoCtrlKeyPress(CharKey(VK_BACK));
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"abcdefghij"}));
    // Where the emptied row stood.
    page.SetCaretRaw(TPoint(0, 1));
    page.PasteBox("ZW\r\n");
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"abcdefghij\r", "ZW"}));
    EXPECT_EQ(page.AttrList()->GetCount(), page.GetLinesCount());
}

// A copy or a cut with nothing selected leaves the clipboard and the text as they were: no
// selection, an Alt+click (a box with no width), a box as narrow as a column boundary over several
// rows, and an Alt+drag straight down through the middle of double-byte characters, cut with
// Ctrl+X; each row keeps its one record.
TEST(nsRichEditClip, ACopyOrACutOfNothingLeavesTheClipboardAndTheTextAlone)
{
    TKeyServices keys;
    TPageHost host;
    TTestPage& page = *host.page;
    page.SetFocus();
    host.Settle();
    TMouse mouse{page};
    struct TCase
    {
        const char* what;
        std::function<void()> select;
    } cases[] = {
        {"no selection", [&] { mouse.Click(mouse.At(2, 1)); }},
        {"an Alt+click",
         [&] {
             keys.down.insert(VK_MENU);
             mouse.Click(mouse.At(2, 1));
             keys.down.clear();
         }},
        {"a box without width", [&] { SelectBox(page, TPoint(3, 0), TPoint(3, 2)); }},
        {"an Alt+drag straight down through double-byte characters",
         [&] {
             keys.down.insert(VK_MENU);
             mouse.Drag(mouse.At(1, 0), mouse.At(1, 3));
             keys.down.clear();
         }},
    };
    // Column 1 falls on the second half of a character in rows 0, 1 and 3, on the first in row 2.
    const std::vector<std::string> rows = {"\x82\xa0\x82\xa2\r", "\x82\xa9\x82\xab\r", "a\x82\xb3\r",
                                           "\x82\xbd\x82\xbf"};
    for (const TCase& c : cases)
        for (const UINT key : {UINT('C'), UINT('X')})
        {
            SCOPED_TRACE(std::string(c.what) + (key == 'C' ? ", Ctrl+C" : ", Ctrl+X"));
            LoadRows(page, rows);
            Clipboard()->SetAsText("kept");
            c.select();
            keys.down.insert(VK_CONTROL);
            page.Perform(WM_KEYDOWN, key, 0);
            keys.down.clear();
            EXPECT_EQ(Clipboard()->GetAsText().str(), "kept");
            EXPECT_FALSE(Clipboard()->HasFormat(BoxFormat()));
            EXPECT_EQ(RowsOf(page), rows);
            EXPECT_EQ(page.AttrList()->GetCount(), page.GetLinesCount());
        }
}
