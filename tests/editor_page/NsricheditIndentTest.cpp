// Row indentation of the editor page: Tab and Shift+Tab over blocks, the F77 columns, head and
// end insertion, and the Home key's jump.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor_page/F77Columns.h"
#include "tests/TestServices.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
// The text, whichever way its paragraphs are folded into rows.
std::string Joined(const std::vector<std::string>& rows)
{
    std::string s;
    for (const std::string& r : rows)
        s += r;
    return s;
}
} // namespace

TEST(F77Columns, TabStopsAndUnindentStepsKeepStatementsOutOfTheLabelField)
{
    // Column (or leading blanks) -> blanks, TabSize 4.
    const int tabBlanks[] = {5, 4, 3, 2, 1, 1, 4, 3, 2, 1, 4, 3};
    const int unindent[] = {0, 1, 2, 3, 4, 5, 1, 1, 2, 3, 4, 4};
    for (int c = 0; c < 12; ++c)
    {
        EXPECT_EQ(F77TabBlanks(c, 4), tabBlanks[c]) << "tab from " << c;
        EXPECT_EQ(F77UnindentBlanks(c, 4), unindent[c]) << "unindent of " << c;
    }
    typCommentList model;
    model.SetMode(cmmF77);
    const std::pair<const char*, bool> rows[] = {{"C text", true}, {"c text", true}, {"* x", true}, {"! x", true},
                                                 {" C x", false}, {"x = 1", false}, {"", false}};
    for (const auto& [row, comment] : rows)
        EXPECT_EQ(IsColumn1CommentRow(model, row), comment) << row;
}

TEST(nsRichEditIndent, TabAndShiftTabOverABlockChangeParagraphHeadsAsOneUndoStep)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    page.SetOptions(page.GetOptions() >> aoAutoFormat);
    const std::string six(6, ' ');
    struct TCase
    {
        const char* what;
        typCommentMode mode;
        bool useTab, shift;
        std::vector<std::string> rows;
        int first, last; // a row selection; first < 0: a character selection (3, 2) to (0, 5)
        std::vector<std::string> after;
    } cases[] = {
        {"F77: from position 6 to 6 + TabSize; comments and empty rows stay", cmmF77, false, false,
         {"C first\r", six + "a\r", "\r", six + "  b\r", "*x"}, 0, 4,
         {"C first\r", six + "    a\r", "\r", six + "      b\r", "*x"}},
        {"F77 unindent: 8 to 6, 6 to 5, 3 to 0", cmmF77, false, true,
         {"        a\r", six + "b\r", "   c\r", "C  d"}, 0, 3, {six + "a\r", "     b\r", "c\r", "C  d"}},
        {"blanks", cmmNormal, false, false, {"a\r", "\r", "b"}, 0, 2, {"    a\r", "    \r", "    b"}},
        {"tabs", cmmNormal, true, false, {"a\r", "b"}, 0, 1, {"\ta\r", "\tb"}},
        {"unindent: a tab, blanks up to TabSize, a tab after too few blanks", cmmNormal, false, true,
         {"\tx\r", "      y\r", "  \tz\r", "w"}, 0, 3, {"x\r", "  y\r", "z\r", "w"}},
        {"a wrapped piece's head lies inside a saved line", cmmNormal, false, false, {"ab", "cd\r", "e"}, 0, 2,
         {"    ab", "cd\r", "    e"}},
        {"a character selection ending at a row start leaves that row", cmmNormal, false, false,
         {"0\r", "1\r", "2\r", "3\r", "4\r", "5\r", "6"}, -1, -1, {"0\r", "1\r", "    2\r", "    3\r", "    4\r", "5\r", "6"}},
    };
    for (const TCase& c : cases)
    {
        LoadRows(page, c.rows);
        page.UndoBuff()->Reset();
        page.SetCommentMode(c.mode);
        page.UseTab = c.useTab;
        if (c.first >= 0)
        {
            page.SelArea()->PutStartRow(c.first);
            page.SelArea()->PutEndRow(c.last);
        }
        else
        {
            page.SelArea()->PutStartPoint(TPoint(3, 2));
            page.SelArea()->PutEndPoint(TPoint(0, 5));
        }
        keys.down.clear();
        if (c.shift)
            keys.down.insert(VK_SHIFT);
        page.Perform(WM_CHAR, '\t', 0);
        EXPECT_EQ(JoinedRows(page), Joined(c.after)) << c.what;
        // The same key again is a step of its own, even when the block's first row is left alone.
        const std::vector<std::string> once = RowsOf(page);
        page.Perform(WM_CHAR, '\t', 0);
        keys.down.clear();
        page.Undo();
        EXPECT_EQ(RowsOf(page), once) << c.what << ": one undo";
        page.Undo();
        EXPECT_EQ(RowsOf(page), c.rows) << c.what << ": two undos";
    }
    // With automatic formatting on, Tab over a block changes nothing.
    LoadRows(page, {"a\r", "b"});
    page.SetOptions(page.GetOptions() << aoAutoFormat);
    page.SelArea()->PutStartRow(0);
    page.SelArea()->PutEndRow(1);
    page.Perform(WM_CHAR, '\t', 0);
    EXPECT_EQ(RowsOf(page), (std::vector<std::string>{"a\r", "b"}));
}

TEST(nsRichEditIndent, TabOnOneRowTypesBlanksToTheNextStop)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    struct TCase
    {
        typCommentMode mode;
        bool useTab;
        int col;
        const char* after;
    } cases[] = {
        {cmmF77, false, 2, "ab   cdefgh"}, {cmmF77, false, 5, "abcde fgh"}, {cmmF77, false, 7, "abcdefg   h"},
        {cmmNormal, false, 5, "abcde   fgh"}, {cmmNormal, true, 1, "a\tbcdefgh"},
    };
    for (const TCase& c : cases)
    {
        LoadRows(page, {"abcdefgh"});
        page.SetCommentMode(c.mode);
        page.UseTab = c.useTab;
        page.SetOptions(page.GetOptions() >> aoTabToSp);
        page.SetCaretRaw(TPoint(c.col, 0));
        page.SelArea()->PutStartPoint(TPoint(c.col, 0));
        page.SelArea()->PutEndPoint(TPoint(c.col, 0));
        page.Perform(WM_CHAR, '\t', 0);
        EXPECT_EQ(page.GetLine(0).str(), c.after) << c.mode << " at " << c.col;
    }
}

TEST(nsRichEditIndent, HeadAndEndInsertionLandOnlyWhereSavedLinesStartAndEnd)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    const std::vector<std::string> rows = {"ab", "cd\r", "\r", "ef"}; // "ab" runs on into "cd"
    for (const bool head : {true, false})
    {
        LoadRows(page, rows);
        page.SelArea()->PutStartRow(0);
        page.SelArea()->PutEndRow(3);
        head ? page.InsertStrToRowHead("> ") : page.InsertStrToEndOfRow(";");
        EXPECT_EQ(JoinedRows(page), head ? "> abcd\r> \r> ef" : "abcd;\r;\ref;");
        page.Undo();
        EXPECT_EQ(RowsOf(page), rows);
    }
}

// A block that holds only wrapped pieces of a paragraph still reaches that paragraph's head and end:
// the caret or a selection anywhere in it is enough, and the next paragraph is left alone.
TEST(nsRichEditIndent, ABlockInsideAWrappedParagraphReachesItsHeadAndItsEnd)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    page.UseTab = false;
    page.SetOptions(page.GetOptions() >> aoAutoFormat);
    const std::vector<std::string> rows = {"  ab", "cd", "ef\r", "g"}; // one paragraph in three rows, then "g"
    enum TOp { Head, End, Tab, ShiftTab };
    const struct
    {
        TOp op;
        TPoint from, to; // the selection; from == to: the caret alone
        const char* after;
    } cases[] = {
        {End, {1, 0}, {1, 0}, "  abcdef;\rg"},      {End, {1, 1}, {1, 1}, "  abcdef;\rg"},
        {End, {0, 0}, {2, 1}, "  abcdef;\rg"},      {Head, {1, 2}, {1, 2}, ">   abcdef\rg"},
        {Head, {0, 1}, {1, 2}, ">   abcdef\rg"},    {ShiftTab, {1, 1}, {1, 1}, "abcdef\rg"},
        {Tab, {0, 1}, {1, 2}, "      abcdef\rg"},
    };
    for (const auto& c : cases)
    {
        const char* names[] = {"head", "end", "Tab", "Shift+Tab"};
        SCOPED_TRACE(testing::Message() << names[c.op] << " (" << c.from.x << "," << c.from.y << ")-(" << c.to.x << ","
                                        << c.to.y << ")");
        LoadRows(page, rows);
        page.UndoBuff()->Reset();
        page.SelArea()->PutStartPoint(c.from);
        page.SelArea()->PutEndPoint(c.to);
        page.SetCaretRaw(c.to);
        keys.down.clear();
        if (c.op == ShiftTab)
            keys.down.insert(VK_SHIFT);
        if (c.op == Head)
            page.InsertStrToRowHead("> ");
        else if (c.op == End)
            page.InsertStrToEndOfRow(";");
        else
            page.Perform(WM_CHAR, '\t', 0);
        keys.down.clear();
        EXPECT_EQ(JoinedRows(page), c.after);
        page.Undo();
        EXPECT_EQ(JoinedRows(page), Joined(rows));
    }
}

TEST(nsRichEditIndent, HomeAtTheStartOfARowGoesToItsEndWhenSetSo)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    LoadRows(page, {"abc\r", "d"});
    const struct
    {
        bool jump;
        int from, to;
    } cases[] = {{false, 0, 0}, {true, 0, 3}, {true, 2, 0}};
    for (const auto& c : cases)
    {
        page.HOMEKeyGoAndRet = c.jump;
        page.SetCaretRaw(TPoint(c.from, 0));
        page.Perform(WM_KEYDOWN, VK_HOME, 0);
        EXPECT_EQ(page.GetCaret(), TPoint(c.to, 0)) << c.jump << " from " << c.from;
    }
}

// Tab and Shift+Tab over a character selection of several rows, folding off: the selection's
// ends and the caret stay on the characters they stood on, whatever width went in or out in
// front of them (a point at a row's head stays there and takes in the new blanks).
TEST(nsRichEditIndent, TheSelectionAndTheCaretFollowTheirTextThroughTabAndShiftTab)
{
    TKeyServices keys;
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.SetTabSize(4);
    page.UseTab = false;
    page.SetOptions(page.GetOptions() >> aoAutoFormat);
    const std::string a = "\x82\xa0", i = "\x82\xa2", u = "\x82\xa4"; // あいう
    const std::string blanks3(3, ' '), blanks4(4, ' ');
    struct TCase
    {
        const char* what;
        bool shift;
        std::vector<std::string> rows;
        TPoint anchor, moving;
        TPoint anchorAfter, movingAfter;
    } cases[] = {
        {"Tab: both ends move right by the blanks", false, {a + i + u + "\r", a + i + u + "\r", a + i + u},
         {2, 0}, {4, 2}, {6, 0}, {8, 2}},
        {"Tab: an end at a row's head stays there", false, {a + i + u + "\r", a + i + u + "\r", a + i + u},
         {0, 0}, {4, 1}, {0, 0}, {8, 1}},
        {"Shift+Tab: an odd number of blanks out, never into a character", true,
         {blanks3 + a + i + u + "\r", blanks3 + a + i + u + "\r", "x"}, {5, 0}, {7, 1}, {2, 0}, {4, 1}},
        {"Shift+Tab: an end inside the blanks goes to the head", true,
         {blanks4 + a + "\r", blanks4 + a + "\r", "x"}, {2, 0}, {6, 1}, {0, 0}, {2, 1}},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        LoadRows(page, c.rows);
        page.SelArea()->PutStartPoint(c.anchor);
        page.SelArea()->PutEndPoint(c.moving);
        page.SetCaretRaw(c.moving);
        const std::string selected = page.GetSelText().str();
        keys.down.clear();
        if (c.shift)
            keys.down.insert(VK_SHIFT);
        page.Perform(WM_CHAR, '\t', 0);
        keys.down.clear();
        EXPECT_EQ(page.SelArea()->AnchorPoint(), c.anchorAfter);
        EXPECT_EQ(page.SelArea()->MovingPoint(), c.movingAfter);
        EXPECT_EQ(page.GetCaret(), c.movingAfter);
        // The same characters are selected, blanks aside.
        auto noBlanks = [](std::string s) {
            s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
            return s;
        };
        EXPECT_EQ(noBlanks(page.GetSelText().str()), noBlanks(selected));
    }
}
