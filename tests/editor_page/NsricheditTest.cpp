// The editor page in real windows under Wine: two-phase creation with its reporting line store,
// OnEnter, typing a text as one undo step, the search range, dependent rows, metrics, the
// off-screen drawing, the wheel and dropped files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PageTestUtil.h"
#include "platform/Cp932.h"

namespace
{

using Change = std::pair<typLineChange, int>;

// ---- creation and the line store ----------------------------------------------------------------

TEST(nsRichEdit, TwoPhaseCreationGivesThePageItsReportingLineStore)
{
    TPageHost host(300, 200, false);
    TTestPage* page = host.page;
    auto* store = dynamic_cast<nsStringList*>(page->Lines());
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->Owner(), page);
    // The control's first empty row already went through the page's store.
    ASSERT_FALSE(page->Log().changes.empty());
    EXPECT_EQ(page->Log().changes.front(), Change(lcAdd, 0));
    EXPECT_EQ(page->GetLinesCount(), 1);
    ASSERT_NE(page->DrawThread(), nullptr);
    EXPECT_TRUE(page->DrawThread()->Started());
    EXPECT_TRUE(page->OnDrawLine.Assigned());
    EXPECT_EQ(page->OnDrawLine.Object(), static_cast<void*>(page));
    EXPECT_EQ(page->BookmarkColumnWidth(), 12);
    EXPECT_EQ(page->BookmarkColumnGap(), 1);
    EXPECT_EQ(page->ColBookMarkBk, TColor(0xEEEEEE));
    EXPECT_EQ(page->ColBookMarkLine, TColor(0x808080));
    EXPECT_EQ(page->RowDspFmt, "%5d");
    EXPECT_EQ(page->CommentMode(), cmmNormal);
    EXPECT_TRUE(GetWindowLongW(page->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

TEST(nsStringList, ReportsEachKindOfChangeOnceWithItsIndex)
{
    struct Case
    {
        const char* name;
        void (*op)(TStrings*);
        std::vector<Change> expected;
    } cases[] = {
        {"Add", [](TStrings* s) { s->Add("x"); }, {{lcAdd, 3}}},
        {"AddObject", [](TStrings* s) { s->AddObject("x", nullptr); }, {{lcAdd, 3}}},
        {"Insert", [](TStrings* s) { s->Insert(1, "x"); }, {{lcInsert, 1}}},
        {"InsertObject", [](TStrings* s) { s->InsertObject(0, "x", nullptr); }, {{lcInsert, 0}}},
        {"Put", [](TStrings* s) { s->Put(2, "x"); }, {{lcPut, 2}}},
        {"Delete", [](TStrings* s) { s->Delete(1); }, {{lcDelete, 1}}},
        {"Exchange", [](TStrings* s) { s->Exchange(0, 2); }, {{lcPut, 0}, {lcPut, 2}}},
        {"Clear", [](TStrings* s) { s->Clear(); }, {{lcClear, -1}}},
        {"Text", [](TStrings* s) { s->SetText("p\r\nq"); }, {{lcClear, -1}, {lcAdd, 0}, {lcAdd, 1}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        PutRows(*page, {"a", "b", "c"});
        page->Log().changes.clear();
        c.op(page->Lines());
        EXPECT_EQ(page->Log().changes, c.expected);
    }
}

// Rebuilds the rows from the notifications alone: any change the store does not report makes
// the copy differ from the page.
class TShadowPage : public TTestPage
{
public:
    using TTestPage::TTestPage;
    std::vector<std::string> shadow;
    void LineStoreChanged(typLineChange change, int index) override
    {
        TTestPage::LineStoreChanged(change, index);
        switch (change)
        {
        case lcAdd:
        case lcInsert: shadow.insert(shadow.begin() + index, Lines()->Get(index).str()); break;
        case lcPut: shadow.at(size_t(index)) = Lines()->Get(index).str(); break;
        case lcDelete: shadow.erase(shadow.begin() + index); break;
        case lcClear: shadow.clear(); break;
        }
    }
};

int CompareRows(TStringList* list, int a, int b)
{
    AnsiString x = list->Get(a), y = list->Get(b);
    return x < y ? -1 : y < x ? 1 : 0;
}

TEST(nsStringList, EveryEditOfThePageIsReported)
{
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    std::unique_ptr<TShadowPage> page(Create<TShadowPage>(nullptr));
    page->SetDefWrapPos(16); // short rows: typing folds and unfolds a lot
    const char* pieces[] = {"a", "bc", "あ", "ア", "\t", "\r", " ", "xyz", "漢字"};
    auto randomText = [&](int n)
    {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += pieces[rng() % std::size(pieces)];
        return s;
    };
    auto randomPoint = [&]
    {
        int row = int(rng() % unsigned(page->GetLinesCount()));
        int len = page->DisplayText(row).Length();
        return TPoint(int(rng() % unsigned(len + 1)), row);
    };
    for (int step = 0; step < 400; ++step)
    {
        const unsigned op = rng() % 11;
        switch (op)
        {
        case 0:
        case 1:
            page->SetCaretRaw(randomPoint());
            page->KeyInput(AnsiString(randomText(1 + int(rng() % 4))));
            break;
        case 2:
            page->SetCaretRaw(randomPoint());
            page->StringInsert(AnsiString(randomText(1 + int(rng() % 6))));
            break;
        case 3:
        {
            TPoint a = randomPoint(), b = randomPoint();
            page->SelArea()->PutStartPoint(a);
            page->SelArea()->PutEndPoint(b);
            page->SetCaretRaw(b);
            page->SelectAreaDel();
            break;
        }
        case 4: page->Undo(); break;
        case 5: page->Redo(); break;
        case 6:
            page->InsertLine(int(rng() % unsigned(page->GetLinesCount() + 1)),
                             AnsiString(randomText(2) + "\r"));
            break;
        case 7: page->DelLine(int(rng() % unsigned(page->GetLinesCount()))); break;
        case 8:
            page->SetLine(int(rng() % unsigned(page->GetLinesCount())), AnsiString(randomText(3) + "\r"));
            break;
        case 9:
            if (rng() % 8 == 0)
                page->SetText(AnsiString(randomText(10)));
            else
                page->CustomSort(0, page->GetLinesCount() - 1, CompareRows, true);
            break;
        case 10:
            if (rng() % 10 == 0)
                page->Clear();
            else
                page->SetCaretRaw(randomPoint());
            break;
        }
        ASSERT_EQ(page->shadow, RowsOf(*page))
            << "seed " << seed << ", step " << step << ", operation " << op;
    }
}

// ---- entering the page ----------------------------------------------------------------------------

class TFocusTarget : public TCustomControl
{
public:
    using TCustomControl::TCustomControl;
};

TEST(nsRichEdit, OnEnterMeansTheFormsActiveControlBecameThePage)
{
    struct TCounter : TObject
    {
        int enters = 0;
        int exits = 0;
        void Enter(TObject*) { ++enters; }
        void Exit(TObject*) { ++exits; }
    } count;
    TPageHost host(300, 200, true);
    auto* other = Create<TFocusTarget>(host.form);
    other->SetParent(host.form);
    other->SetBounds(0, 180, 50, 20);
    other->SetVisible(true);
    host.page->SetBounds(0, 0, 300, 170);
    host.page->OnEnter = TNotifyEvent(&count, &TCounter::Enter);
    host.page->OnExit = TNotifyEvent(&count, &TCounter::Exit);

    auto* dialog = Create<TForm>(nullptr);
    dialog->SetBounds(320, 0, 200, 100);
    auto* inDialog = Create<TFocusTarget>(dialog);
    inDialog->SetParent(dialog);
    inDialog->SetBounds(0, 0, 50, 20);
    inDialog->SetVisible(true);
    dialog->Show();
    host.form->Show();
    Application->ProcessMessages();

    host.page->SetFocus();
    Application->ProcessMessages();
    EXPECT_EQ(count.enters, 1) << "first focus";
    host.page->SetFocus();
    SendMessageW(host.page->Handle(), WM_SETFOCUS, 0, 0); // focus that comes from nowhere
    EXPECT_EQ(count.enters, 1) << "focus the page already holds";

    other->SetFocus();
    Application->ProcessMessages();
    EXPECT_EQ(count.exits, 1) << "another control of the form";
    host.page->SetFocus();
    Application->ProcessMessages();
    EXPECT_EQ(count.enters, 2) << "back from another control of the form";

    inDialog->SetFocus(); // another window: the form keeps the page as its active control
    Application->ProcessMessages();
    EXPECT_EQ(count.exits, 1);
    host.page->SetFocus();
    Application->ProcessMessages();
    EXPECT_EQ(count.enters, 2) << "back from another window";

    inDialog->SetFocus();
    Application->ProcessMessages();
    SetActiveWindow(host.form->Handle()); // the form gives the focus back to its active control
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), host.page->Handle());
    EXPECT_EQ(count.enters, 2) << "form activated again";

    delete dialog;
}

// ---- typing a text ------------------------------------------------------------------------------

TEST(nsRichEdit, StringInsertAlignsTheCaretAndTypesTheTextAsOneUndoStep)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> rows;
        TPoint caret;
        const char* text;
        bool insert;
        bool freeCaret;
        std::string expected; // the rows back to back
        TPoint caretAfter;
    } cases[] = {
        {"on a trail byte", {"あいう"}, TPoint(1, 0), "X", true, false, "Xあいう", TPoint(1, 0)},
        {"on the second trail byte", {"あいう"}, TPoint(3, 0), "ab", true, false, "あabいう", TPoint(4, 0)},
        {"inside a tab", {"a\tb"}, TPoint(3, 0), "XY", true, false, "aXY\tb", TPoint(3, 0)},
        {"at a tab's first cell", {"a\tb"}, TPoint(1, 0), "X", true, false, "aX\tb", TPoint(2, 0)},
        {"control bytes dropped",
         {"ab"},
         TPoint(1, 0),
         "1\x01"
         "2\n3\x0B"
         "4\x1F",
         true,
         false,
         "a1234b",
         TPoint(5, 0)},
        {"past the end", {"ab"}, TPoint(9, 0), "X", true, false, "abX", TPoint(3, 0)},
        {"past the end, free caret", {"ab"}, TPoint(5, 0), "X", true, true, "ab   X", TPoint(6, 0)},
        {"below the text, free caret", {"ab"}, TPoint(1, 2), "X", true, true, "ab\r\r X", TPoint(2, 2)},
        {"a line break", {"abcd"}, TPoint(2, 0), "X\rY", true, false, "abX\rYcd", TPoint(1, 1)},
        {"overwrite", {"abcd"}, TPoint(1, 0), "XY", false, false, "aXYd", TPoint(3, 0)},
        {"overwrite cuts a character", {"aあい"}, TPoint(0, 0), "XY", false, false, "XY い", TPoint(2, 0)},
        {"overwrite on a trail byte", {"あい"}, TPoint(1, 0), "X", false, false, "X い", TPoint(1, 0)},
        {"overwrite never takes the CR",
         {"ab\r", "c"},
         TPoint(1, 0),
         "XYZ",
         false,
         false,
         "aXYZ\rc",
         TPoint(4, 0)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        PutRows(*page, c.rows);
        page->UndoBuff()->Reset();
        const std::string before = JoinedRows(*page);
        page->SetInsertModeRaw(c.insert);
        TAFEditOptions opts = page->GetOptions();
        if (c.freeCaret)
            opts << aoFreeCaret;
        page->SetOptions(opts);
        page->SetCaretRaw(c.caret);
        page->StringInsert(c.text);
        EXPECT_EQ(JoinedRows(*page), c.expected);
        EXPECT_EQ(page->GetCaret(), c.caretAfter);
        ASSERT_TRUE(page->CanUndo());
        page->Undo();
        EXPECT_EQ(JoinedRows(*page), before) << "one undo step takes it all back";
        EXPECT_FALSE(page->CanUndo());
    }
}

// A row of tokens as the model sees it: where each character starts, in bytes and in columns.
struct TToken
{
    std::string bytes;
    int width; // display columns
};

TEST(nsRichEdit, StringInsertMatchesAModelOfCharacterAlignedInsertion)
{
    const unsigned seed = 77031;
    std::mt19937 rng(seed);
    const char* alphabet[] = {"a", "b", "あ", "ア", "ソ", "\t", " "};
    for (int round = 0; round < 300; ++round)
    {
        auto page = NewPage();
        // Tokens of the row, with their display widths at the tab size 4.
        std::vector<std::string> tokens;
        const int n = int(rng() % 12);
        for (int i = 0; i < n; ++i)
            tokens.push_back(alphabet[rng() % std::size(alphabet)]);
        std::string row;
        std::vector<int> startCol, startByte;
        int col = 0;
        for (const std::string& t : tokens)
        {
            startCol.push_back(col);
            startByte.push_back(int(row.size()));
            col += t == "\t" ? 4 - col % 4 : int(t.size());
            row += t;
        }
        const int width = col;
        PutRows(*page, {row});
        page->UndoBuff()->Reset();
        const int caret = int(rng() % unsigned(width + 3));
        // The model: the character covering the caret column is typed in front of.
        int p = int(row.size());
        for (size_t k = 0; k < tokens.size(); ++k)
        {
            int end = k + 1 < tokens.size() ? startCol[k + 1] : width;
            if (caret < end)
            {
                p = startByte[k];
                break;
            }
        }
        std::string ins;
        const int m = 1 + int(rng() % 4);
        for (int i = 0; i < m; ++i)
            ins += alphabet[rng() % std::size(alphabet)];
        page->SetCaretRaw(TPoint(caret, 0));
        page->StringInsert(AnsiString(ins));
        std::string expected = row.substr(0, size_t(p)) + ins + row.substr(size_t(p));
        ASSERT_EQ(JoinedRows(*page), expected)
            << "seed " << seed << ", round " << round << ", caret " << caret;
        ASSERT_EQ(page->GetCaret(), page->DspPos(TPoint(p + int(ins.size()), 0)))
            << "seed " << seed << ", round " << round;
        page->Undo();
        ASSERT_EQ(JoinedRows(*page), row) << "seed " << seed << ", round " << round;
        ASSERT_FALSE(page->CanUndo()) << "seed " << seed << ", round " << round;
    }
}

// ---- search -------------------------------------------------------------------------------------

bool PointBefore(const TPoint& a, const TPoint& b) { return a.y < b.y || (a.y == b.y && a.x < b.x); }

// Upper case as the search sees it, for the characters the tests use.
std::string FoldModel(const std::string& s)
{
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsSjisLead(c) && i + 1 < out.size())
        {
            unsigned char t = static_cast<unsigned char>(out[i + 1]);
            if (c == 0x82 && t >= 0x81 && t <= 0x9A)
                out[i + 1] = char(t - 0x21); // full-width a..z
            ++i;
        }
        else if (c >= 'a' && c <= 'z')
            out[i] = char(c - 32);
    }
    return out;
}

// Every match the search may report: on character boundaries, over at most two rows, inside
// [lo, hi]; the first (forward) or the last (reverse) by its start.
TPoint SearchModel(const std::vector<std::string>& rows, const std::string& pattern, TPoint lo, TPoint hi,
                   bool reverse, bool fold)
{
    struct Cell
    {
        int row, col;
        bool trail;
    };
    std::vector<Cell> cells;
    std::string bytes;
    for (int y = 0; y < int(rows.size()); ++y)
    {
        const std::string& r = rows[size_t(y)];
        for (int i = 0; i < int(r.size()); ++i)
        {
            bool lead = IsSjisLead(static_cast<unsigned char>(r[size_t(i)])) && i + 1 < int(r.size());
            cells.push_back({y, i, false});
            bytes.push_back(r[size_t(i)]);
            if (lead)
            {
                cells.push_back({y, i + 1, true});
                bytes.push_back(r[size_t(i + 1)]);
                ++i;
            }
        }
    }
    // Fold per character, row by row.
    std::string folded;
    for (const std::string& r : rows)
        folded += fold ? FoldModel(r) : r;
    const std::string pat = fold ? FoldModel(pattern) : pattern;
    TPoint best(-1, 0);
    for (size_t s = 0; s + pat.size() <= cells.size(); ++s)
    {
        const size_t e = s + pat.size();
        if (cells[s].trail || (e < cells.size() && cells[e].trail && cells[e].row == cells[e - 1].row))
            continue;
        if (folded.compare(s, pat.size(), pat) != 0)
            continue;
        TPoint start(cells[s].col, cells[s].row);
        TPoint end(cells[e - 1].col + 1, cells[e - 1].row);
        if (PointBefore(start, lo) || PointBefore(hi, end))
            continue;
        if (!reverse)
            return start;
        best = start;
    }
    return best;
}

TEST(nsRichEdit, SearchNeverMatchesOutsideTheSearchedRange)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> rows;
        const char* pattern;
        TPoint from, to;
        TSearchOpts opts;
        TPoint expected;
    } cases[] = {
        // A blank standing for the bytes before the start must not meet a blank in the pattern.
        {"filler byte before the start",
         {"\x07\x07"
          "ab"},
         "\x07"
         "a",
         TPoint(2, 0),
         TPoint(4, 0),
         {},
         TPoint(-1, 0)},
        {"filler byte before the start, found later",
         {"\x07\x07"
          "ab\x07"
          "a"},
         "\x07"
         "a",
         TPoint(2, 0),
         TPoint(6, 0),
         {},
         TPoint(4, 0)},
        {"match straddling the start", {"xxabab"}, "ab", TPoint(3, 0), TPoint(6, 0), {}, TPoint(4, 0)},
        {"match past the end point", {"xxab"}, "ab", TPoint(0, 0), TPoint(3, 0), {}, TPoint(-1, 0)},
        {"match straddling the end, next row",
         {"xa", "bz"},
         "ab",
         TPoint(0, 0),
         TPoint(0, 1),
         {},
         TPoint(-1, 0)},
        {"match across rows", {"xa", "bz"}, "ab", TPoint(0, 0), TPoint(1, 1), {}, TPoint(1, 0)},
        {"trail byte A is no letter", {"アA"}, "A", TPoint(0, 0), TPoint(3, 0), {}, TPoint(2, 0)},
        {"trail byte a is not folded",
         {"ヂa"},
         "A",
         TPoint(0, 0),
         TPoint(3, 0),
         {soIgnoreCase},
         TPoint(2, 0)},
        {"full-width letters fold", {"xａ"}, "Ａ", TPoint(0, 0), TPoint(3, 0), {soIgnoreCase}, TPoint(1, 0)},
        {"reverse: match after from",
         {"abxxab"},
         "ab",
         TPoint(5, 0),
         TPoint(0, 0),
         {soReverse},
         TPoint(0, 0)},
        {"reverse: filler after from",
         {"ab\x07\x07"},
         "b\x07",
         TPoint(2, 0),
         TPoint(0, 0),
         {soReverse},
         TPoint(-1, 0)},
        {"reverse: before to", {"abxab"}, "ab", TPoint(5, 0), TPoint(1, 0), {soReverse}, TPoint(3, 0)},
        {"reverse across rows", {"xa", "bz"}, "ab", TPoint(2, 1), TPoint(0, 0), {soReverse}, TPoint(1, 0)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        PutRows(*page, c.rows);
        TPoint hit = page->Search(c.pattern, c.from, c.to, c.opts);
        EXPECT_EQ(hit.x, c.expected.x);
        if (c.expected.x >= 0)
        {
            EXPECT_EQ(hit.y, c.expected.y);
        }
    }
}

TEST(nsRichEdit, SearchFindsWhatAModelOfTheRangeFinds)
{
    const unsigned seed = 5150;
    std::mt19937 rng(seed);
    const char* alphabet[] = {"a", "A", "b", "ア", "ヂ", "ソ", "ａ", "Ａ", "あ", "\x07", "\t"};
    for (int round = 0; round < 600; ++round)
    {
        std::vector<std::string> rows(1 + rng() % 4);
        for (auto& r : rows)
        {
            int n = int(rng() % 7);
            for (int i = 0; i < n; ++i)
                r += alphabet[rng() % std::size(alphabet)];
        }
        std::string pattern;
        int m = 1 + int(rng() % 3);
        for (int i = 0; i < m; ++i)
            pattern += alphabet[rng() % std::size(alphabet)];
        auto randomPoint = [&]
        {
            int y = int(rng() % rows.size());
            return TPoint(int(rng() % (rows[size_t(y)].size() + 1)), y);
        };
        TPoint a = randomPoint(), b = randomPoint();
        if (PointBefore(b, a))
            std::swap(a, b);
        const bool reverse = rng() % 2;
        const bool fold = rng() % 2;
        TSearchOpts opts;
        if (reverse)
            opts << soReverse;
        if (fold)
            opts << soIgnoreCase;
        auto page = NewPage();
        PutRows(*page, rows);
        TPoint hit = reverse ? page->Search(AnsiString(pattern), b, a, opts)
                             : page->Search(AnsiString(pattern), a, b, opts);
        TPoint expected = SearchModel(rows, pattern, a, b, reverse, fold);
        ASSERT_EQ(hit.x, expected.x) << "seed " << seed << ", round " << round;
        if (expected.x >= 0)
        {
            ASSERT_EQ(hit.y, expected.y) << "seed " << seed << ", round " << round;
        }
    }
}

// ---- rows that depend on the row before ----------------------------------------------------------

TEST(nsRichEdit, FreeFormContinuationRedrawsTheNextRow)
{
    struct Case
    {
        const char* name;
        typCommentMode mode;
        const char* before;
        const char* after;
        bool nextDirty;
    } cases[] = {
        {"gains &", cmmF9095, "x = 1\r", "x = 1 &\r", true},
        {"loses &", cmmF9095, "x = 1 &\r", "x = 1\r", true},
        {"keeps &", cmmF9095, "x = 1 &\r", "y = 2 &  \r", false},
        {"keeps none", cmmF9095, "x = 1\r", "y = 2\r", false},
        {"a double-byte character after & is no code", cmmF9095, "x &\r", "x & ア\r", false},
        {"& followed by blanks", cmmF9095, "x\r", "x &   \r", true},
        {"other dialects", cmmCCPP, "x = 1\r", "x = 1 &\r", false},
        {"definition files count as free-form", cmmDEF, "x = 1\r", "x = 1 &\r", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        page->SetCommentMode(c.mode);
        PutRows(*page, {c.before, "  + 2\r", "end"});
        for (int i = 0; i < 3; ++i)
            page->GetLinesAttr(i)->Dirty = false;
        page->LineChange(0, c.after, true);
        EXPECT_EQ(page->GetLine(0), c.after);
        EXPECT_EQ(page->GetLinesAttr(1)->Dirty, c.nextDirty);
        EXPECT_FALSE(page->GetLinesAttr(2)->Dirty);
    }
}

TEST(nsRichEdit, ContinuationOnTheLastRowNeverAddsARecord)
{
    auto page = NewPage();
    page->SetCommentMode(cmmF9095);
    PutRows(*page, {"a\r", "x = 1"});
    const int records = page->AttrList()->GetCount();
    page->LineChange(1, "x = 1 &", true);
    page->LineChange(1, "x = 1", true);
    EXPECT_EQ(page->AttrList()->GetCount(), records);
    EXPECT_EQ(page->GetLinesCount(), 2);
}

TEST(nsRichEdit, CommentModesSetTheirSyntax)
{
    auto page = NewPage();
    page->SetCommentMode(cmmF77);
    EXPECT_EQ(page->CommentMode(), cmmF77);
    EXPECT_EQ(page->CommentList().LineComment2, "C");
    page->SetCommentMode(cmmCCPP);
    EXPECT_TRUE(page->CommentList().EnableRangeComment);
    EXPECT_EQ(page->CommentList().LineComment1, "//");
    EXPECT_EQ(page->CommentList().LineComment2, "") << "F77's \"C\" is no comment in C";
    page->SetCommentMode(cmmDEF);
    EXPECT_EQ(page->CommentMode(), cmmF9095);
    EXPECT_EQ(page->CommentList().LineComment1, ";");
}

// ---- attributes and selection ---------------------------------------------------------------------

TEST(nsRichEdit, ColumnAttributesFollowInsertionsAndDeletions)
{
    struct Case
    {
        const char* name;
        int column, mode, count;
        std::vector<int> expected; // colours of the records, 0 for new ones
    } cases[] = {
        {"insert", 1, 0, 2, {1, 0, 0, 2, 3}},  {"insert past the end", 9, 0, 1, {1, 2, 3, 0}},
        {"append", 0, 1, 2, {1, 2, 3, 0, 0}},  {"delete", 1, 2, 1, {1, 3}},
        {"delete past the end", 1, 2, 5, {1}}, {"delete outside", 3, 2, 1, {1, 2, 3}},
        {"nothing", 1, 0, 0, {1, 2, 3}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        PutRows(*page, {"abc", "def"});
        TColAttrList* list = page->GetColAttrs(0);
        for (int i = 0; i < 3; ++i)
            list->GetItem(i)->Color = i + 1;
        page->ColAttrListEdit(0, c.column, c.mode, c.count);
        std::vector<int> colours;
        for (int i = 0; i < list->GetCount(); ++i)
            colours.push_back(list->GetItem(i)->Color);
        EXPECT_EQ(colours, c.expected);
        page->ColAttrListEdit(1, 0, 0, 2); // a row without records gets none
        EXPECT_EQ(page->GetLinesAttr(1)->ColAttr, nullptr);
    }
}

TEST(nsRichEdit, SelectCurrentLineSelectsTheCaretRowUpToItsLineEnd)
{
    auto page = NewPage();
    PutRows(*page, {"ab\r", "c\td\r", "e"});
    page->GetLinesAttr(1)->Indent = 2;
    page->SetCaretRaw(TPoint(3, 1));
    page->SelectCurrentLine();
    EXPECT_EQ(page->SelArea()->GetStartPoint(), TPoint(2, 1));
    EXPECT_EQ(page->SelArea()->GetEndPoint(), TPoint(7, 1));
    EXPECT_EQ(page->GetCaret(), TPoint(7, 1));
    EXPECT_EQ(page->GetSelText(), "c\td");
}

// ---- metrics and drawing ------------------------------------------------------------------------

TEST(nsRichEdit, MarginHoldsTheRowNumberDigitsAndTheBookmarkColumn)
{
    struct Case
    {
        int lines;
        bool rowNumbers;
        int digits; // 0: no numbers
    } cases[] = {{1, true, 5},     {9999, true, 5},   {10000, true, 6},
                 {12345, true, 6}, {100000, true, 7}, {50, false, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.lines);
        auto page = NewPage();
        std::vector<std::string> rows(size_t(c.lines), "x\r");
        PutRows(*page, rows);
        TViewOptions view = page->GetViewOpt();
        if (c.rowNumbers)
            view << voRowNum;
        else
            view >> voRowNum;
        page->SetViewOpt(view);
        page->MetricsUpdate(false);
        const int expected = c.rowNumbers ? page->GetColWidth() * c.digits + 14 : 10;
        EXPECT_EQ(page->GetLeftMgn(), expected);
        EXPECT_EQ(page->EditRect().Left, expected);
    }
}

TEST(nsRichEdit, EditAreaStartsBelowTheRulerOrTheTopMargin)
{
    auto page = NewPage();
    page->SetTopMgn(5);
    TViewOptions view = page->GetViewOpt();
    page->SetViewOpt(view << voColIndicate);
    EXPECT_EQ(page->EditRect().Top, 16);
    page->SetViewOpt(view >> voColIndicate);
    EXPECT_EQ(page->EditRect().Top, 5);
    // The character cell follows the font's own measure of a double-byte character.
    EXPECT_EQ(page->GetColWidth(), (page->GetTextHeight() + 1) / 2);
}

// The page painted into a bitmap first filled with a colour no part of the page uses.
struct TPainted
{
    explicit TPainted(TTestPage* page)
    {
        RECT r{};
        GetClientRect(page->Handle(), &r);
        bitmap.SetSize(r.right, r.bottom);
        dc = bitmap.Canvas()->Handle();
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &r, green);
        DeleteObject(green);
        SendMessageW(page->Handle(), WM_PAINT, WPARAM(dc), 0);
        GdiFlush();
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    int Count(COLORREF colour) const
    {
        int n = 0;
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                if (At(x, y) == colour)
                    ++n;
        return n;
    }
    TBitmap bitmap;
    HDC dc = nullptr;
};

TEST(nsRichEdit, DrawRowsShowsEverythingItDrewOffscreen)
{
    struct Case
    {
        const char* name;
        const char* text;
        bool ruler;
        int topLine;
    } cases[] = {
        {"short text", "one\r\ntwo", true, 0},
        {"text past the view",
         "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n14\r\n15\r\n16\r\n17\r\n18\r\n"
         "19\r\n20\r\n21\r\n22\r\n23\r\n24\r\n25",
         true, 3},
        {"no ruler", "one\r\ntwo", false, 0},
        {"empty", "", true, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TPageHost host(360, 240);
        TTestPage* page = host.page;
        page->SetText(c.text);
        TViewOptions view = page->GetViewOpt();
        page->SetViewOpt(c.ruler ? view << voColIndicate : view >> voColIndicate);
        page->SetTopLineRaw(c.topLine);
        host.Settle();
        page->Log().drawnOffscreen.clear();
        TPainted painted(page);
        EXPECT_EQ(painted.Count(RGB(0, 255, 0)), 0) << "every pixel of the client area was shown";
        ASSERT_FALSE(page->Log().drawnOffscreen.empty());
        for (bool off : page->Log().drawnOffscreen)
            EXPECT_TRUE(off);
    }
}

// Every glyph shows whole on the page at every size of both fixed-pitch fonts, with the rows as far
// apart as the line pitch says by default and as close as it allows: each pixel the font inks for
// the character drawn alone is inked in the character's cell, and a character whose outline has a
// box there never comes out blank. The second row is drawn below the first, so a row that paints
// over the bottom of the one above shows too.
TEST(nsRichEdit, EveryPixelOfEveryGlyphShowsAtEverySizeAndLinePitch)
{
    TPageHost host(360, 160);
    TTestPage* page = host.page;
    const char* const faces[] = {"\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e",  // the gothic face
                                 "\x82\x6c\x82\x72 \x96\xbe\x92\xa9"};                  // the mincho face
    // Low line, a descender, a comma, a full-width character, the full-width overline.
    const char* const chars[] = {"_", "g", ",", "\x82\xa0", "\x81\x50"};
    std::string row;
    for (const char* c : chars)
        row += c;
    page->SetText(AnsiString((row + "\r\n" + row).c_str()));
    TBitmap alone;
    alone.SetSize(64, 64);
    HDC ref = alone.Canvas()->Handle();
    for (const char* face : faces)
        for (int size = 8; size <= 28; ++size)
            for (int pitch : {2, 0})
            {
                SCOPED_TRACE(std::string(size == 8 ? "gothic" : "") + " size " + std::to_string(size) + " pitch " +
                             std::to_string(pitch));
                TFont font;
                font.Assign(*page->Font());
                font.SetName(face);
                font.SetSize(size);
                font.SetCharset(SHIFTJIS_CHARSET);
                page->SetFont(&font);
                page->SetRowPich(pitch);
                host.Settle();
                TPainted painted(page);
                const COLORREF back = ColorToRGB(page->Color());
                HGDIOBJ before = SelectObject(ref, page->Font()->Handle());
                for (int r = 0; r < 2; ++r)
                    for (int k = 0, col = 0; k < int(std::size(chars)); col += int(std::strlen(chars[k])), ++k)
                    {
                        const std::wstring w = SjisToWide(chars[k], int(std::strlen(chars[k])));
                        RECT all{0, 0, 64, 64};
                        FillRect(ref, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
                        SetBkMode(ref, TRANSPARENT);
                        SetTextColor(ref, 0);
                        TextOutW(ref, 0, 0, w.c_str(), int(w.size()));
                        const int x0 = page->EditRect().Left + col * page->GetColWidth();
                        const int y0 = page->EditRect().Top + r * page->GetRowHeight();
                        const int width = int(std::strlen(chars[k])) * page->GetColWidth();
                        int missing = 0, inked = 0;
                        for (int y = 0; y < page->GetRowHeight(); ++y)
                            for (int x = 0; x < width; ++x)
                            {
                                const bool ink = painted.At(x0 + x, y0 + y) != back;
                                inked += ink;
                                missing += !ink && x < 64 && y < 64 && (GetPixel(ref, x, y) & 0xFFFFFF) != 0xFFFFFF;
                            }
                        EXPECT_EQ(missing, 0) << "row " << r << ", character " << k << ": pixels of its glyph";
                        EXPECT_GT(inked, 0) << "row " << r << ", character " << k << " is blank";
                    }
                SelectObject(ref, before);
            }
}

TEST(nsRichEdit, MarginShowsTheBookmarkColumnAndItsMarks)
{
    TPageHost host(360, 240);
    TTestPage* page = host.page;
    page->SetText("a\r\nb\r\nc");
    page->GetLinesAttr(1)->Reserve = 1;
    host.Settle();
    TPainted painted(page);
    const int right = page->EditRect().Left - page->BookmarkColumnGap();
    const int left = right - page->BookmarkColumnWidth();
    auto countInRow = [&](int row, COLORREF colour)
    {
        int n = 0;
        int top = page->EditRect().Top + (row - page->GetTopLine()) * page->GetRowHeight();
        for (int y = top; y < top + page->GetRowHeight(); ++y)
            for (int x = left; x < right; ++x)
                if (painted.At(x, y) == colour)
                    ++n;
        return n;
    };
    const int cells = page->BookmarkColumnWidth() * page->GetRowHeight();
    EXPECT_EQ(countInRow(0, 0xEEEEEE), cells);
    EXPECT_GT(countInRow(1, 0x808080), 0);
    EXPECT_LT(countInRow(1, 0xEEEEEE), cells);
    EXPECT_EQ(countInRow(2, 0xEEEEEE), cells);
    EXPECT_FALSE(page->IsBookmarked(0));
    EXPECT_TRUE(page->IsBookmarked(1));
    const int records = page->AttrList()->GetCount();
    EXPECT_FALSE(page->IsBookmarked(50));
    EXPECT_EQ(page->AttrList()->GetCount(), records);
}

// ---- wheel and dropped files ----------------------------------------------------------------------

TEST(nsRichEdit, WheelUpScrollsTwoRowsAndWheelDownOne)
{
    TPageHost host(360, 240);
    TTestPage* page = host.page;
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "row\r\n";
    page->SetText(AnsiString(text));
    struct Case
    {
        int top;
        short delta;
        int expected;
    } cases[] = {{1, 120, 0}, {0, 120, 0}, {10, 120, 8}, {10, -120, 11}, {0, -120, 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.top * 1000 + c.delta);
        page->SetTopLineRaw(c.top);
        SendMessageW(page->Handle(), WM_VSCROLL, SB_ENDSCROLL, 0); // no acceleration left over
        SendMessageW(page->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(c.delta)), 0);
        EXPECT_EQ(page->GetTopLine(), c.expected);
    }
    host.Settle();
}

// A drop as the shell hands it over: the names after the header, wide, doubly terminated.
HGLOBAL MakeDrop(const std::vector<std::wstring>& names)
{
    size_t chars = 1;
    for (const auto& n : names)
        chars += n.size() + 1;
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(h));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* p = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const auto& n : names)
    {
        std::copy(n.begin(), n.end(), p);
        p += n.size() + 1;
    }
    GlobalUnlock(h);
    return h;
}

TEST(nsRichEdit, DroppedFilesReachOnFileDropWithoutFolders)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::wstring dir = std::wstring(tmp) + L"vn-drop-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring fileA = dir + L"\\a.txt";
    const std::wstring fileB = dir + L"\\\u8868\u793A.txt"; // 表示: trail bytes 0x5C
    const std::wstring folder = dir + L"\\sub";
    for (const auto& f : {fileA, fileB})
    {
        HANDLE h = CreateFileW(f.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
    }
    CreateDirectoryW(folder.c_str(), nullptr);

    struct TDrops : TObject
    {
        std::vector<std::vector<std::string>> calls;
        void Drop(TObject*, TStringList* files)
        {
            std::vector<std::string> names;
            for (int i = 0; i < files->GetCount(); ++i)
                names.push_back(files->Get(i).str());
            calls.push_back(names);
        }
    } drops;
    TPageHost host(200, 100, false);
    TTestPage* page = host.page;
    page->OnFileDrop = TFileDropEvent(&drops, &TDrops::Drop);

    SendMessageW(page->Handle(), WM_DROPFILES, WPARAM(MakeDrop({fileA, folder, fileB})), 0);
    ASSERT_EQ(drops.calls.size(), 1u);
    EXPECT_EQ(drops.calls[0], (std::vector<std::string>{WideToSjis(fileA).str(), WideToSjis(fileB).str()}));
    EXPECT_NE(drops.calls[0][1].find("表示.txt"), std::string::npos);

    SendMessageW(page->Handle(), WM_DROPFILES, WPARAM(MakeDrop({folder})), 0);
    EXPECT_EQ(drops.calls.size(), 1u) << "a folder alone is no drop";

    page->OnFileDrop = nullptr;
    SendMessageW(page->Handle(), WM_DROPFILES, WPARAM(MakeDrop({fileA})), 0);
    EXPECT_EQ(drops.calls.size(), 1u);

    DeleteFileW(fileA.c_str());
    DeleteFileW(fileB.c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(dir.c_str());
}

TEST(nsRichEdit, LeftAreaClickReachesItsEvent)
{
    struct TClicks : TObject
    {
        std::vector<int> seen;
        void Click(TObject*, int x, int y, int row) { seen = {x, y, row}; }
    } clicks;
    auto page = NewPage();
    page->OnLeftAreaClick = TLeftAreaClickEvent(&clicks, &TClicks::Click);
    page->LeftAreaClick(3, 40, 2);
    EXPECT_EQ(clicks.seen, (std::vector<int>{3, 40, 2}));
}

} // namespace
