// The comment model and the colouring of drawn rows: tables of rows and the colour runs they
// get, and random edits through the line store against a model rebuilt from scratch.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "PageTestUtil.h"

namespace
{

// One letter per byte of the row (a closing CR left out): '.' plain, c comment, s string,
// h character constant, n number, p preprocessor, l label, k keyword.
std::string Runs(nsRichEdit& page, int row)
{
    page.ColComment = TColor(1);
    page.ColString = TColor(2);
    page.ColChr = TColor(3);
    page.ColNumeric = TColor(4);
    page.ColPreProc = TColor(5);
    page.ColLabelNum = TColor(6);
    page.SetKeyWordColor(TColor(7));
    bool dd = true;
    page.SyntaxColorRow(nullptr, row, TRect(), AnsiString(), dd);
    AnsiString line = page.GetLine(row);
    int n = line.Length();
    if (n > 0 && line[n] == '\r')
        --n;
    std::string out(size_t(n), '.');
    TColAttrList* list = page.AttrList()->GetItem(row)->ColAttr;
    for (int i = 0; list && i < n && i < list->GetCount(); ++i)
    {
        auto* item = static_cast<TColAttrListItem*>(list->Get(i));
        if (item && (item->InComment || item->OwnColor))
            out[size_t(i)] = "?cshnplk"[item->Color >= 0 && item->Color < 8 ? item->Color : 0];
    }
    return out;
}

struct Case
{
    const char* name;
    typCommentMode mode;
    std::vector<std::string> rows;
    std::vector<std::string> runs;
};

} // namespace

TEST(nsRichEdit_Syntax, RowsGetTheColourRunsOfTheirSyntax)
{
    const Case cases[] = {
        // C and C++
        {"a comment opener inside a string", cmmCCPP, {"x = \"/*\";"}, {"....ssss."}},
        {"a block comment over three rows", cmmCCPP, {"a /* b\r", "mid\r", "c */ d"}, {"..cccc", "ccc", "cccc.."}},
        {"an opener after // is no opener", cmmCCPP, {"x // y /* z\r", "w"}, {"..ccccccccc", "."}},
        {"a line comment inside a block does not close it", cmmCCPP, {"/* a // b\r", "c */ e"},
         {"ccccccccc", "cccc.."}},
        {"a closer inside quotes still closes", cmmCCPP, {"/* a\r", "\"*/\" x"}, {"cccc", "ccc..."}},
        {"escaped quotes", cmmCCPP, {"s = \"a\\\"b\"; c = '\\'';"}, {"....ssssss......hhhh."}},
        {"an escaped backslash ends before the quote", cmmCCPP, {"\"\\\\\" // x"}, {"ssss.cccc"}},
        {"a 0x5C trail byte escapes nothing", cmmCCPP, {"\"\x83\x5C\" // x"}, {"ssss.cccc"}},
        {"quotes inside a comment of the row", cmmCCPP, {"/* it's */ x // y"}, {"cccccccccc...cccc"}},
        {"an unclosed opener runs to the end", cmmCCPP, {"x /* y\r", "a\r", "b"}, {"..cccc", "c", "c"}},
        {"/*/ opens without closing", cmmCCPP, {"/*/ a\r", "b"}, {"ccccc", "c"}},
        {"a preprocessor line up to its comment", cmmCCPP, {"#define X 1 /* c */"}, {"ppppppppppppccccccc"}},
        {"a hash in a constant", cmmCCPP, {"a = '#';"}, {"....hhh."}},
        {"numbers", cmmCCPP, {"0x10 0x1F 1e5 1e-5 3.14"}, {"nnnn......nnn......n.nn"}},
        {"digits inside words and a lone minus", cmmCCPP, {"abc1 = x2 - 5"}, {"............n"}},
        {"a row ending in a line comment", cmmCCPP, {"x = 1; // end"}, {"....n..cccccc"}},
        // fixed-form
        {"comment rows", cmmF77, {"C comment\r", "c lower\r", "* star\r", "! bang"},
         {"ccccccccc", "ccccccc", "cccccc", "cccccc"}},
        {"labels, strings, a bang comment", cmmF77, {"  100 CONTINUE\r", "      X = 'it!' ! tail"},
         {"..lll.........", "..........sssss.cccccc"}},
        {"numbers from column 6, the continuation column plain", cmmF77,
         {"      Y = 12\r", "     1 Z\r", "      A = C"}, {"..........nn", "........", "..........."}},
        // free-form
        {"labels unless the row above goes on", cmmF9095,
         {"x = 1 ! note\r", "100 continue\r", "y = a + &\r", "200 z\r", "a = 1.0D-3"},
         {"....n.cccccc", "lll.........", ".........", ".....", "....n.nnnn"}},
        {"definition files", cmmDEF, {"; comment\r", "x ; y"}, {"ccccccccc", "..ccc"}},
        // plain text
        {"nothing in plain text", cmmNormal, {"// x /* y\r", "1 'a'"}, {".........", "....."}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        PutRows(*page, c.rows);
        page->SetCommentMode(c.mode);
        for (size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(Runs(*page, int(r)), c.runs[r]) << "row " << r;
    }
}

TEST(nsRichEdit_Syntax, DoubleByteKeywordsMatchEveryOccurrenceAtCharacterStartsAndKeepTheCaseFlag)
{
    struct KCase
    {
        const char* name;
        const char* keyword;
        const char* row;
        bool caseSensitive;
        const char* runs;
    } cases[] = {
        {"every occurrence", "\x8A\xBF\x8E\x9A", "\x8A\xBF\x8E\x9A\x82\xC6\x8A\xBF\x8E\x9A", true,
         "kkkk..kkkk"},
        {"occurrences side by side", "\x8A\xBF", "\x8A\xBF\x8A\xBF\x8A\xBF", true, "kkkkkk"},
        {"never from a trail byte", "\x5C\x83\x5C", "\x83\x5C\x83\x5C", true, "...."},
        {"a letter of another case, matching case", "\x8A\xBF" "a", "\x8A\xBF" "a" "\x8A\xBF" "A", true,
         "kkk..."},
        {"a letter of another case, ignoring case", "\x8A\xBF" "a", "\x8A\xBF" "a" "\x8A\xBF" "A", false,
         "kkkkkk"},
        // ア is 0x83 0x41 and ヂ 0x83 0x61: a trail byte is never a letter to fold.
        {"trail bytes are not letters", "\x83\x41", "\x83\x61\x83\x41", false, "..kk"},
        {"single-byte keywords are the control's", "abc", "abc", true, "..."},
    };
    for (const KCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto page = NewPage();
        TStringList words;
        words.Add(c.keyword);
        page->SetKeyWords(&words);
        page->Keywords()->SetCaseSensitive(c.caseSensitive);
        PutRows(*page, {c.row});
        EXPECT_EQ(Runs(*page, 0), c.runs);
    }
}

TEST(nsRichEdit_Syntax, ColouringStartsEveryRowPlainAndKeepsNoRecordsItDoesNotNeed)
{
    auto page = NewPage();
    PutRows(*page, {"// x\r", "plain"});
    page->SetCommentMode(cmmCCPP);
    page->FStyComment = TFontStyles{fsBold};
    Runs(*page, 0);
    page->FStyComment = TFontStyles{fsItalic};
    Runs(*page, 0);
    auto* item = page->AttrList()->GetItem(0)->ColAttr->GetItem(0);
    EXPECT_EQ(item->Style, uint8_t(TFontStyles{fsItalic}.ToInt())) << "styles of an earlier pass stay";
    Runs(*page, 1);
    EXPECT_EQ(page->AttrList()->GetItem(1)->ColAttr, nullptr);
    // Once the comment is gone, so are the row's records.
    page->SetCommentMode(cmmNormal);
    EXPECT_EQ(Runs(*page, 0), "....");
    EXPECT_EQ(page->AttrList()->GetItem(0)->ColAttr, nullptr);
}

TEST(nsRichEdit_Syntax, ChangingTheModeRebuildsAndSettingItAgainChangesNothing)
{
    auto page = NewPage();
    PutRows(*page, {"C x\r", "/* y */"});
    page->SetCommentMode(cmmF77);
    EXPECT_EQ(Runs(*page, 0), "ccc");
    page->SetCommentMode(cmmCCPP);
    EXPECT_EQ(Runs(*page, 0), "...") << "F77's C leaked into C";
    EXPECT_EQ(Runs(*page, 1), "ccccccc");
    EXPECT_EQ(page->CommentList().LineComment2, "");
    const int marks = page->CommentList().Marks.Count();
    page->CommentList().Marks.Clear(); // a repeated request must not rebuild
    page->SetCommentMode(cmmCCPP);
    EXPECT_EQ(page->CommentList().Marks.Count(), 0);
    page->SetCommentMode(cmmNormal);
    page->SetCommentMode(cmmCCPP);
    EXPECT_EQ(page->CommentList().Marks.Count(), marks);
}

TEST(nsRichEdit_Syntax, FileExtensionsChooseTheCommentMode)
{
    const std::pair<const char*, typCommentMode> cases[] = {
        {"a.f", cmmF77},    {"A.FOR", cmmF77},    {"b.f77", cmmF77},   {"c.f90", cmmF9095}, {"d.F95", cmmF9095},
        {"e.c", cmmCCPP},   {"f.cpp", cmmCCPP},   {"g.cc", cmmCCPP},   {"h.cxx", cmmCCPP},  {"i.h", cmmCCPP},
        {"j.hpp", cmmCCPP}, {"k.txt", cmmNormal}, {"noext", cmmNormal}, {"", cmmNormal},
    };
    for (const auto& [name, mode] : cases)
        EXPECT_EQ(CommentModeForFile(name), mode) << name;
}

// Each row's marks depend on its own text alone: random edits through the line store leave the
// same spans as a model built from the final rows at once.
TEST(nsRichEdit_Syntax, RandomEditsKeepTheSpansOfAFullRebuild)
{
    const unsigned seed = 18u;
    std::mt19937 rng(seed);
    const char* pieces[] = {"/*", "*/", "//", "\"", "'", "\\", "x", " ", "\x83\x5C", "#", "C", "!", "*"};
    auto randomRow = [&] {
        std::string s;
        int n = int(rng() % 6);
        for (int i = 0; i < n; ++i)
            s += pieces[rng() % std::size(pieces)];
        return s + "\r";
    };
    for (typCommentMode mode : {cmmCCPP, cmmF77, cmmF9095})
    {
        SCOPED_TRACE(int(mode));
        auto page = NewPage();
        page->SetCommentMode(mode);
        for (int step = 0; step < 400; ++step)
        {
            TStrings* lines = page->Lines();
            const int count = lines->GetCount();
            const std::string row = randomRow();
            const AnsiString text(row.data(), int(row.size()));
            switch (rng() % 4)
            {
            case 0: lines->Add(text); break;
            case 1: lines->Insert(count ? int(rng() % (count + 1)) : 0, text); break;
            case 2:
                if (count)
                    lines->Put(int(rng() % count), text);
                break;
            default:
                if (count)
                    lines->Delete(int(rng() % count));
                break;
            }
        }
        auto fresh = NewPage();
        fresh->Lines()->Clear();
        for (int i = 0; i < page->Lines()->GetCount(); ++i)
            fresh->Lines()->Add(page->Lines()->Get(i));
        fresh->SetCommentMode(mode);
        ASSERT_EQ(page->CommentList().Marks.Count(), fresh->CommentList().Marks.Count()) << "seed " << seed;
        for (int r = 0; r < page->Lines()->GetCount(); ++r)
        {
            nsList<typCMRange> a, b;
            page->CommentList().GetRowRanges(r, a);
            fresh->CommentList().GetRowRanges(r, b);
            ASSERT_EQ(a.Count(), b.Count()) << "row " << r << " seed " << seed;
            for (int k = 0; k < a.Count(); ++k)
            {
                EXPECT_EQ(a.Get(k)->Start, b.Get(k)->Start) << "row " << r;
                EXPECT_EQ(a.Get(k)->End, b.Get(k)->End) << "row " << r;
            }
        }
    }
}

// Records are made per byte of a coloured row: scrolling through a long file must not keep them
// for every row it passed.
TEST(nsRichEdit_Syntax, ScrollingThroughAFileKeepsRecordsForFewRows)
{
    TPageHost host(300, 200);
    TTestPage* page = host.page;
    page->StopDrawThread();
    std::vector<std::string> rows(3000, "x = 1; // comment\r");
    PutRows(*page, rows);
    page->SetCommentMode(cmmCCPP);
    const int view = page->GetDspRowCount();
    ASSERT_GT(view, 0);
    for (int top = 0; top + view < 3000; top += view)
    {
        page->SetTopLineRaw(top);
        for (int r = top; r < top + view; ++r)
            Runs(*page, r);
    }
    int withRecords = 0;
    for (int r = 0; r < 3000; ++r)
        withRecords += page->AttrList()->GetItem(r)->ColAttr != nullptr;
    EXPECT_LE(withRecords, 5 * (view + 1) + 64);
    EXPECT_EQ(Runs(*page, 0), "....n..cccccccccc") << "a trimmed row is coloured again when drawn";
}
