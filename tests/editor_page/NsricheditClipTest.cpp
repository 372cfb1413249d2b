// The editor page's clipboard: box copy in both formats, box paste, box deletion, plain paste, and
// a clipboard another program holds.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/Clipbrd.h"
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

// Random box cuts and pastes, typing and Backspace over folded text of tabs, double-byte
// characters and paragraph ends: after every edit each row has its one record and the rows end
// as a load ends them; undo of everything gives the start back, redo of everything the end.
TEST(nsRichEditClip, BoxEditsKeepOneRecordPerRowAndUndoAndRedoWhole)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.StopDrawThread();
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
                        if (false)
                            return step + ": an empty last row after a wrapped piece";
                        return std::string();
                    };
                    const int edits = 5 + rand(20);
                    for (int e = 0; e < edits; ++e, ++done)
                    {
                        const int rows = page.GetLinesCount();
                        const TPoint a(rand(16), rand(rows)), b(rand(16), rand(rows));
                        const int what = rand(14);
                        page.SetRangeSelect(false);
                        page.SelArea()->RowReset();
                        page.SelArea()->PointReset();
                        if (what < 4)
                        {
                            step = "box cut " + Place(a) + " to " + Place(b);
                            SelectBox(page, a, b);
                            page.Perform(WM_CUT, 0, 0);
                        }
                        else if (what < 7)
                        {
                            SelectBox(page, a, b);
                            page.CopySelToClipboard();
                            page.SetRangeSelect(false);
                            page.SelArea()->PointReset();
                            const TPoint at = page.PointAlign(TPoint(rand(16), rand(rows)));
                            step = "box paste at " + Place(at);
                            page.SetCaretRaw(at);
                            page.Perform(WM_PASTE, 0, 0);
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

// A copy with nothing selected leaves the clipboard as it was: no selection, an Alt+click (a box
// with no width), a box as narrow as a column boundary over several rows.
TEST(nsRichEditClip, ACopyOfNothingLeavesTheClipboardAlone)
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
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        LoadRows(page, {"abcdefgh\r", "abcdefgh\r", "abcdefgh"});
        Clipboard()->SetAsText("kept");
        c.select();
        page.Perform(WM_COPY, 0, 0);
        EXPECT_EQ(Clipboard()->GetAsText().str(), "kept");
        EXPECT_FALSE(Clipboard()->HasFormat(BoxFormat()));
    }
}
