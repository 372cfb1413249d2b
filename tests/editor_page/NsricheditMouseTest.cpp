// Dragging on the editor page: moving selected text, and the wrap and indent lines of the ruler.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "editor_control/AFEditPlaces.h"
#include "tests/TestMouse.h"
#include "tests/TestServices.h"
#include "tests/editor_control/FreshFold.h"
#include "tests/editor_control/StringModel.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
std::string WithoutLf(const AnsiString& s)
{
    std::string out;
    for (char c : s.str())
        if (c != '\n')
            out.push_back(c);
    return out;
}

void Focus(TPageHost& host)
{
    host.page->SetFocus();
    host.Settle();
}
} // namespace

TEST(nsRichEditMouse, DraggingASelectionMovesItsTextSelectsItThereAndOneUndoPutsItBack)
{
    TKeyServices keys;
    TPageHost host;
    Focus(host);
    TTestPage& page = *host.page;
    const std::vector<std::string> start = {"abcdef\r", "ghijkl\r", "mnopqr"};
    struct TCase
    {
        const char* what;
        TPoint selFrom, selTo, press, drop;
        const char* text;  // afterwards, rows joined
        const char* moved; // the new selection
    } cases[] = {
        {"before it, one row", {2, 0}, {4, 0}, {3, 0}, {0, 0}, "cdabef\rghijkl\rmnopqr", "cd"},
        {"after it, several rows", {4, 0}, {2, 1}, {5, 0}, {3, 2}, "abcdijkl\rmnoef\rghpqr", "ef\rgh"},
        {"before it, several rows", {1, 1}, {2, 2}, {3, 1}, {1, 0}, "ahijkl\rmnbcdef\rgopqr", "hijkl\rmn"},
        {"inside it: only deselects", {1, 0}, {5, 0}, {2, 0}, {4, 0}, "abcdef\rghijkl\rmnopqr", ""},
    };
    TMouse mouse{page};
    for (const TCase& c : cases)
    {
        LoadRows(page, start);
        page.UndoBuff()->Reset();
        mouse.Drag(mouse.At(c.selFrom.x, c.selFrom.y), mouse.At(c.selTo.x, c.selTo.y));
        mouse.Down(mouse.At(c.press.x, c.press.y));
        ASSERT_EQ(page.GetDragMode(), dmMoveSel) << c.what;
        mouse.Up(mouse.At(c.drop.x, c.drop.y));
        EXPECT_EQ(JoinedRows(page), c.text) << c.what;
        EXPECT_EQ(WithoutLf(page.GetSelText()), c.moved) << c.what;
        page.Undo();
        EXPECT_EQ(RowsOf(page), start) << c.what << ": one undo";
    }

    // A row selection dropped above itself goes there whole; read-only refuses every move.
    LoadRows(page, start);
    page.SelArea()->PutStartRow(1);
    page.SelArea()->PutEndRow(1);
    mouse.Down(mouse.At(2, 1));
    mouse.Up(mouse.At(0, 0));
    EXPECT_EQ(JoinedRows(page), "ghijkl\rabcdef\rmnopqr");
    LoadRows(page, start);
    page.SetReadOnly(true);
    mouse.Drag(mouse.At(1, 0), mouse.At(3, 0));
    mouse.Down(mouse.At(2, 0));
    mouse.Up(mouse.At(2, 2));
    page.SetReadOnly(false);
    EXPECT_EQ(RowsOf(page), start);
}

// Random selections of folded text with tabs, double-byte characters and paragraph ends, moved
// to random places: the text must be the string with the piece moved, the selection exactly the
// moved piece, and one undo the text before.
TEST(nsRichEditMouse, MovesMatchAModelOfCutAndInsertOverFoldedText)
{
    TPageHost host(480, 320, false);
    TTestPage& page = *host.page;
    page.StopDrawThread();
    const char* const tokens[] = {"a", "b", "c", " ", "\t", "\r", "\x82\xa0", "\x88\x9f", "xyz"};
    RunEpisodes("moves", 1, EnvNumber("VN_MOVE_EDITS", 400),
                [&](unsigned seed, long long& done) -> std::string
                {
                    std::mt19937 rng(seed);
                    std::string text;
                    const int n = 5 + int(rng() % 60);
                    for (int i = 0; i < n; ++i)
                        text += tokens[rng() % std::size(tokens)];
                    page.SetDefWrapPos(12 + int(rng() % 8));
                    LoadText(page, text);
                    for (int edit = 0; edit < 4; ++edit, ++done)
                    {
                        const std::string before = JoinedRows(page);
                        const std::vector<int> cuts = Starts(before);
                        if (cuts.size() < 3)
                            break;
                        size_t i = rng() % cuts.size(), j = rng() % cuts.size();
                        if (i == j)
                            continue;
                        if (i > j)
                            std::swap(i, j);
                        const int s = cuts[i], e = cuts[j];
                        std::vector<int> drops;
                        for (int c : cuts)
                            if (c < s || c > e)
                                drops.push_back(c);
                        if (drops.empty())
                            continue;
                        const int d = drops[rng() % drops.size()];
                        page.SelArea()->RowReset();
                        page.SelArea()->PutStartPoint(PointOfOffset(&page, s));
                        page.SelArea()->PutEndPoint(PointOfOffset(&page, e));
                        if (!page.MoveSelectedText(d))
                            return "refused a move of [" + std::to_string(s) + "," + std::to_string(e) + ") to " +
                                   std::to_string(d);
                        const std::string piece = before.substr(size_t(s), size_t(e - s));
                        std::string want = before;
                        want.erase(size_t(s), size_t(e - s));
                        want.insert(size_t(d < s ? d : d - (e - s)), piece);
                        if (JoinedRows(page) != want)
                            return "text after moving [" + std::to_string(s) + "," + std::to_string(e) + ") to " +
                                   std::to_string(d);
                        if (WithoutLf(page.GetSelText()) != piece)
                            return "selection after a move is not the moved text";
                        page.Undo();
                        if (JoinedRows(page) != before)
                            return "one undo did not restore the text";
                        page.Redo();
                    }
                    return std::string();
                });
}

TEST(nsRichEditMouse, RulerDragsMoveIndentsAndWrapsWithinTheirLimitsAsOneUndoStep)
{
    TKeyServices keys;
    TPageHost host(640, 320);
    Focus(host);
    TTestPage& page = *host.page;
    page.SetViewOpt(page.GetViewOpt() << voColIndicate);
    host.Settle();
    ASSERT_GT(page.EditRect().Top, 4) << "the ruler band";
    struct TCase
    {
        const char* what;
        bool wrapLine, shift;
        int to;                   // column the line is dragged to
        std::vector<int> indents; // afterwards
        std::vector<int> wraps;
    } cases[] = {
        {"indent, every row by the same amount", false, false, 3, {3, 7, 5}, {40, 40, 30}},
        {"indent with Shift, every row the same", false, true, 3, {3, 3, 3}, {40, 40, 30}},
        {"indent stops 8 left of the smallest wrap; each row 8 left of its own", false, false, 50, {22, 26, 22}, {40, 40, 30}},
        {"wrap stops 8 right of the largest indent", true, false, 2, {0, 4, 2}, {12, 12, 12}},
        {"wrap to a column", true, false, 25, {0, 4, 2}, {25, 25, 25}},
    };
    const int y = page.EditRect().Top - 4;
    auto x = [&](int col) { return page.EditRect().Left + col * page.GetColWidth() + 1; };
    for (const TCase& c : cases)
    {
        LoadRows(page, {"one\r", "two\r", "three"});
        page.UndoBuff()->Reset();
        const int indents[] = {0, 4, 2}, wraps[] = {40, 40, 30};
        for (int row = 0; row < 3; ++row)
        {
            page.AttrList()->GetItem(row)->Indent = int16_t(indents[row]);
            page.AttrList()->GetItem(row)->WrapPos = uint16_t(wraps[row]);
        }
        page.SelArea()->PutStartRow(0);
        page.SelArea()->PutEndRow(2);
        page.SetSelAreaMaxMin();
        if (c.shift)
            keys.down.insert(VK_SHIFT);
        TMouse mouse{page};
        mouse.Send(WM_MOUSEMOVE, 0, POINT{x(c.wrapLine ? 40 : 0), y});
        EXPECT_EQ(page.Cursor(), crSizeWE) << c.what;
        mouse.Send(WM_MOUSEMOVE, 0, POINT{x(30), y});
        EXPECT_EQ(page.Cursor(), crDefault) << "no line there";
        mouse.Down(POINT{x(c.wrapLine ? 40 : 0), y});
        ASSERT_EQ(page.GetDragMode(), c.wrapLine ? dmFoldColSel : dmIndent) << c.what;
        mouse.Move(POINT{x(c.to), y});
        mouse.Up(POINT{x(c.to), y});
        keys.down.clear();
        for (int row = 0; row < 3; ++row)
        {
            EXPECT_EQ(page.AttrList()->GetItem(row)->Indent, c.indents[size_t(row)]) << c.what << " row " << row;
            EXPECT_EQ(page.AttrList()->GetItem(row)->WrapPos, c.wraps[size_t(row)]) << c.what << " row " << row;
        }
        page.Undo();
        for (int row = 0; row < 3; ++row)
        {
            EXPECT_EQ(page.AttrList()->GetItem(row)->Indent, indents[row]) << c.what << ": one undo";
            EXPECT_EQ(page.AttrList()->GetItem(row)->WrapPos, wraps[row]) << c.what << ": one undo";
        }
    }
}

// A paragraph has one indent and one wrap position: whichever of its rows a change of them starts
// from, every row of it takes them and is cut anew, as a folded load of the text would cut it, and
// one undo gives back the rows and records.
TEST(nsRichEditMouse, AnIndentOrWrapChangeFromAnyRowOfAParagraphRecutsTheWholeParagraph)
{
    TKeyServices keys;
    TPageHost host(640, 320);
    Focus(host);
    TTestPage& page = *host.page;
    page.SetViewOpt(page.GetViewOpt() << voColIndicate);
    page.SetOptions(TAFEditOptions{aoAutoFormat});
    page.SetDefWrapPos(20);
    host.Settle();
    const int y = page.EditRect().Top - 4;
    auto x = [&](int col) { return page.EditRect().Left + col * page.GetColWidth() + 1; };
    auto rulerDrag = [&](int row, int from, int to) {
        page.SelArea()->PutStartRow(row);
        page.SelArea()->PutEndRow(row);
        page.SetSelAreaMaxMin();
        TMouse mouse{page};
        mouse.Send(WM_MOUSEMOVE, 0, POINT{x(from), y});
        mouse.Down(POINT{x(from), y});
        mouse.Move(POINT{x(to), y});
        mouse.Up(POINT{x(to), y});
    };
    struct TCase
    {
        const char* what;
        int indent; // of the paragraph before
        std::function<void()> change;
        int indentAfter, wrapAfter;
    } cases[] = {
        {"the wrap line of a continuation row dragged", 0, [&] { rulerDrag(2, 20, 30); }, 0, 30},
        {"the indent line of a continuation row dragged", 0, [&] { rulerDrag(2, 0, 4); }, 4, 20},
        {"Ctrl+Backspace at the start of a continuation row's text", 8,
         [&] {
             page.SetCaret(TPoint(8, 2));
             keys.down.insert(VK_CONTROL);
             SendMessageW(page.Handle(), WM_KEYDOWN, VK_BACK, 1);
             SendMessageW(page.Handle(), WM_CHAR, 0x7F, 1);
             keys.down.clear();
         },
         4, 20},
        {"the leading blanks of a wrapped paragraph's head become its indent", 0,
         [&] {
             page.SelArea()->PutStartRow(0);
             page.SelArea()->PutEndRow(0);
             page.SelAreaLeftSpaceToIndent();
         },
         6, 20},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::string para = "      ";
        for (int i = 0; i < 9; ++i)
            para += "abcdefghij";
        LoadText(page, para + "\r\nnext\r\n");
        for (int row = 0; row + 2 < page.GetLinesCount(); ++row)
            page.AttrList()->GetItem(row)->Indent = int16_t(c.indent);
        page.RefoldParagraphs();
        page.UndoBuff()->Reset();
        page.SelArea()->RowReset();
        const std::string text = JoinedRows(page);
        const std::vector<std::string> rows = RowsOf(page);
        ASSERT_GT(rows.size(), 5u);
        c.change();
        keys.down.clear();
        if (c.wrapAfter != 20 || c.indentAfter != 6)
        {
            EXPECT_EQ(JoinedRows(page), text); // only the blanks-to-indent case takes bytes out
        }
        EXPECT_EQ(FreshFoldDifference(page.Document()), "");
        EXPECT_EQ(page.AttrList()->GetItem(0)->Indent, c.indentAfter);
        EXPECT_EQ(page.AttrList()->GetItem(0)->WrapPos, c.wrapAfter);
        page.Undo();
        EXPECT_EQ(RowsOf(page), rows);
        for (int row = 0; row + 2 < page.GetLinesCount(); ++row)
            EXPECT_EQ(page.AttrList()->GetItem(row)->Indent, c.indent) << "row " << row;
    }
}
