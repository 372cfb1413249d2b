// Search support of the editor page: find next and previous with the whole-word test, hit marks
// found again after edits, bookmarks, and replacing the selection.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "PageTestUtil.h"

namespace
{
// Every hit from the start, each search going on from the caret as the find dialog does.
std::vector<TPoint> AllHits(nsRichEdit& ed, const char* pattern, bool caseSensitive, bool wholeWord)
{
    std::vector<TPoint> hits;
    ed.SelArea()->PointReset();
    ed.SetCaretRaw(TPoint(0, 0));
    for (int guard = 0; guard < 10000; ++guard)
    {
        const TPoint caret = ed.GetCaret();
        const TPoint from(std::max(0, ed.LogicalPos(caret)), caret.y);
        const TPoint hit = ed.FindNext(from, pattern, caseSensitive, wholeWord, true);
        if (hit.x < 0)
            return hits;
        hits.push_back(hit);
    }
    ADD_FAILURE() << "the search never ended";
    return hits;
}

std::vector<TPoint> AllHitsBackward(nsRichEdit& ed, const char* pattern, bool wholeWord)
{
    std::vector<TPoint> hits;
    ed.SelArea()->PointReset();
    const TPoint endPos = ed.GetEndPos();
    TPoint from(endPos.x + 1, endPos.y);
    for (int guard = 0; guard < 10000; ++guard)
    {
        const TPoint hit = ed.FindPrev(from, pattern, false, wholeWord, true);
        if (hit.x < 0)
            return hits;
        hits.push_back(hit);
        from = TPoint(std::max(0, ed.LogicalPos(ed.GetCaret())), ed.GetCaret().y);
    }
    ADD_FAILURE() << "the search never ended";
    return hits;
}

int32_t MarkOf(nsRichEdit& ed, int col, int row)
{
    TColAttrList* list = ed.AttrList()->GetItem(row)->ColAttr;
    return list && col < list->GetCount() ? list->GetItem(col)->MarkId : 0;
}

// ---- find ---------------------------------------------------------------------------------------

TEST(nsRichEditSearch, FindNext_FromTheSelectedHitGoesOnToTheNextOne)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    // Tabs make display and logical columns differ: the skip must compare logical points.
    PutRows(ed, {"\tab\tab\tAB\r", "x\tab"});
    const std::vector<TPoint> expected = {{1, 0}, {4, 0}, {7, 0}, {2, 1}};
    EXPECT_EQ(AllHits(ed, "ab", false, false), expected);
    const std::vector<TPoint> exact = {{1, 0}, {4, 0}, {2, 1}};
    EXPECT_EQ(AllHits(ed, "ab", true, false), exact);
    // Each hit is selected from its start to its end, in display columns.
    AllHits(ed, "ab", true, false);
    ed.SelArea()->PointReset();
    ed.SetCaretRaw(TPoint(0, 0));
    ed.FindNext(TPoint(0, 0), "ab", true, false, true);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), ed.DspPos(TPoint(1, 0)));
    EXPECT_EQ(ed.SelArea()->GetEndPoint(), ed.DspPos(TPoint(3, 0)));
}

TEST(nsRichEditSearch, FindNext_OverlappingHitsAreEachFoundOnce)
{
    auto page = NewPage();
    PutRows(*page, {"aaa"});
    const std::vector<TPoint> expected = {{0, 0}, {1, 0}, {2, 0}};
    EXPECT_EQ(AllHits(*page, "a", false, false), expected);
    const std::vector<TPoint> backward = {{2, 0}, {1, 0}, {0, 0}};
    EXPECT_EQ(AllHitsBackward(*page, "a", false), backward);
}

TEST(nsRichEditSearch, FindNext_FindsAndSelectsAHitAcrossAFold)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    PutRows(ed, {"xxxab", "cdyy\r", "zz"});
    const std::vector<TPoint> expected = {{3, 0}};
    EXPECT_EQ(AllHits(ed, "abcd", false, false), expected);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(3, 0));
    EXPECT_EQ(ed.SelArea()->GetEndPoint(), TPoint(2, 1));
    EXPECT_EQ(AllHitsBackward(ed, "abcd", false), expected);
}

// Every substring of a paragraph, folded at several widths so that a hit runs across any number of
// rows, against the paragraph as one string: find next and previous select exactly the hit, and its
// mark finds it again.
TEST(nsRichEditSearch, HitsOfAnyLengthAcrossAnyNumberOfRowsAreFoundSelectedAndMarked)
{
    const std::string text = "あいうえおかきくけこさしすせそ";
    const std::string mixed = "ab漢字cdeかなfgh";
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    for (const std::string& para : {text, mixed})
        for (int wrap : {2, 4, 6, 10, 12})
        {
            // Rows of at most wrap bytes, cut between characters; the last one ends the paragraph.
            std::vector<std::string> rows;
            std::vector<size_t> starts; // of each character
            for (size_t i = 0; i < para.size();)
            {
                starts.push_back(i);
                const size_t len = IsSjisLead(static_cast<unsigned char>(para[i])) ? 2 : 1;
                if (rows.empty() || rows.back().size() + len > size_t(wrap))
                    rows.emplace_back();
                rows.back() += para.substr(i, len);
                i += len;
            }
            rows.back() += "\r";
            starts.push_back(para.size());
            // A start lies on the row holding its byte; an end at a row's end stays on that row.
            auto pointOf = [&](size_t offset, bool isEnd = false)
            {
                int row = 0;
                while ((isEnd ? offset > rows[size_t(row)].size() : offset >= rows[size_t(row)].size()) &&
                       row + 1 < int(rows.size()))
                    offset -= rows[size_t(row++)].size();
                return TPoint(int(offset), row);
            };
            for (size_t a = 0; a + 1 < starts.size(); ++a)
                for (size_t b = a + 1; b < starts.size(); ++b)
                {
                    const std::string pattern = para.substr(starts[a], starts[b] - starts[a]);
                    SCOPED_TRACE("wrap " + std::to_string(wrap) + " pattern " + pattern);
                    LoadRows(ed, rows);
                    const TPoint first = pointOf(para.find(pattern));
                    const TPoint last = pointOf(para.rfind(pattern));
                    const TPoint end = pointOf(para.find(pattern) + pattern.size(), true);
                    EXPECT_EQ(ed.FindNext(TPoint(0, 0), pattern.c_str(), true, false, true), first);
                    EXPECT_EQ(ed.GetSelText().str(), pattern);
                    EXPECT_EQ(ed.SelArea()->GetEndPoint(), ed.DspPos(end));
                    const TPoint endPos = ed.GetEndPos();
                    ed.SelArea()->PointReset();
                    EXPECT_EQ(ed.FindPrev(TPoint(endPos.x + 1, endPos.y), pattern.c_str(), false, false, false),
                              last);

                    typSrchPack pack;
                    pack.HitPoint = first;
                    pack.Pattern = pattern.c_str();
                    ed.MakeSrchPack(pack);
                    pack.HitPoint = TPoint(0, 0);
                    EXPECT_TRUE(ed.LocateSrchPack(pack));
                    EXPECT_EQ(pack.HitPoint, first);
                }
        }
}

// The forward search against a plain model over rows cut anywhere: each row pairs its bytes from
// its own start (a lead byte takes the next one, so a lead byte may end a row unpaired), a match
// starts and ends on a character of its rows, and ignoring case folds ASCII and full-width letters
// as the rows pair them. Backslash and 'a' stand as trail bytes too.
TEST(nsRichEditSearch, Search_ForwardFindsTheFirstMatchOnCharactersWithinTheRangeAsTheModel)
{
    struct TModel
    {
        std::vector<std::string> rows;
        std::string text;
        std::vector<unsigned char> kinds; // 0 single, 1 lead, 2 trail, as each row pairs them
        std::vector<TPoint> starts;       // the logical point of each byte; an end closes its row
        std::vector<TPoint> ends;
        explicit TModel(const std::vector<std::string>& r) : rows(r)
        {
            for (size_t y = 0; y < rows.size(); ++y)
                for (size_t i = 0; i < rows[y].size(); ++i)
                {
                    const bool lead = IsSjisLead(static_cast<unsigned char>(rows[y][i])) && i + 1 < rows[y].size();
                    kinds.push_back(lead ? 1 : 0);
                    starts.emplace_back(int(i), int(y));
                    ends.emplace_back(int(i + 1), int(y));
                    if (lead)
                    {
                        kinds.push_back(2);
                        starts.emplace_back(int(i + 1), int(y));
                        ends.emplace_back(int(i + 2), int(y));
                        ++i;
                    }
                }
            for (const std::string& row : rows)
                text += row;
        }
        std::string Folded(const std::string& t, const std::vector<unsigned char>& k) const
        {
            std::string f = t;
            for (size_t i = 0; i < f.size(); ++i)
                if (k[i] == 0 && f[i] >= 'a' && f[i] <= 'z')
                    f[i] = char(f[i] - 32);
                else if (k[i] == 1 && static_cast<unsigned char>(f[i]) == 0x82 &&
                         static_cast<unsigned char>(f[i + 1]) >= 0x81 && static_cast<unsigned char>(f[i + 1]) <= 0x9A)
                    f[i + 1] = char(static_cast<unsigned char>(f[i + 1]) - 0x21);
            return f;
        }
        TPoint Find(const std::string& pattern, TPoint from, TPoint to, bool ignoreCase) const
        {
            std::vector<unsigned char> pk;
            for (size_t i = 0; i < pattern.size(); ++i)
            {
                const bool lead = IsSjisLead(static_cast<unsigned char>(pattern[i])) && i + 1 < pattern.size();
                pk.push_back(lead ? 1 : 0);
                if (lead)
                    pk.push_back(2), ++i;
            }
            const std::string p = ignoreCase ? Folded(pattern, pk) : pattern;
            const std::string t = ignoreCase ? Folded(text, kinds) : text;
            auto before = [](TPoint a, TPoint b) { return a.y < b.y || (a.y == b.y && a.x < b.x); };
            for (size_t s = 0; s + p.size() <= t.size(); ++s)
            {
                const size_t e = s + p.size();
                if (kinds[s] == 2 || (e < kinds.size() && kinds[e] == 2) || t.compare(s, p.size(), p) != 0)
                    continue;
                if (before(starts[s], from) || before(to, ends[e - 1]))
                    continue;
                return starts[s];
            }
            return TPoint(-1, 0);
        }
    };
    const char* pieces[] = {"a", "b", "A", "B", "ab", " ", "\t", "\\", "ａ", "Ａ", "ｂ", "あ", "表", "ソ",
                            "\x82\x61", "\x82", "\r"};
    const char* patterns[] = {"a", "ab", "AB", "b a", "\\", "ａ", "Ａｂ", "あ", "表", "\x82", "\x61", "a\rb",
                              "\x95", "b\\", "ソa"};
    std::mt19937 rng(8128);
    auto page = NewPage();
    for (int round = 0; round < 600; ++round)
    {
        std::vector<std::string> rows(1 + rng() % 6);
        for (std::string& row : rows)
            for (int i = int(rng() % 8); i > 0; --i)
                row += pieces[rng() % std::size(pieces)];
        PutRows(*page, rows);
        const TModel model(rows);
        const std::string pattern = patterns[rng() % std::size(patterns)];
        const bool ignoreCase = rng() % 2 == 0;
        const int y0 = int(rng() % rows.size()), y1 = y0 + int(rng() % (rows.size() - size_t(y0)));
        const TPoint from(int(rng() % (rows[size_t(y0)].size() + 1)), y0);
        const TPoint to(int(rng() % (rows[size_t(y1)].size() + 2)), y1);
        TSearchOpts opts;
        if (ignoreCase)
            opts << soIgnoreCase;
        const TPoint want = model.Find(pattern, from, to, ignoreCase);
        const TPoint got = page->Search(AnsiString(pattern.c_str()), from, to, opts);
        ASSERT_EQ(got.x, want.x) << "round " << round << " \"" << pattern << "\" in \"" << model.text << "\" from "
                                 << from << " to " << to << (ignoreCase ? " ignoring case" : "");
        if (want.x >= 0)
        {
            ASSERT_EQ(got.y, want.y) << "round " << round;
        }
    }
}

TEST(nsRichEditSearch, WholeWord_AcceptsOnlyHitsWithoutWordNeighbours)
{
    struct Case
    {
        std::vector<std::string> rows;
        const char* pattern;
        std::vector<TPoint> hits;
    } cases[] = {
        {{"abc_d"}, "abc", {}},
        {{"xabc"}, "abc", {}},
        {{"abc1"}, "abc", {}},
        {{"abc-d"}, "abc", {{0, 0}}},
        {{"(abc)"}, "abc", {{1, 0}}},
        {{"abc abc"}, "abc", {{0, 0}, {4, 0}}},
        {{"漢abc字"}, "abc", {{2, 0}}},
        {{"ｱabcｲ"}, "abc", {{1, 0}}},
        // A single-byte pattern never stands on a trail byte (ソ ends in 0x5C).
        {{"ソ\\x"}, "\\", {{2, 0}}},
        // Across a fold the neighbour is in the next or the previous row.
        {{"xxab", "cd\r"}, "abc", {}},
        {{"xx ab", "c d\r"}, "abc", {{3, 0}}},
        {{"x abc", "d\r"}, "abc", {}},
        // A paragraph end is no neighbour.
        {{"abc\r", "d"}, "abc", {{0, 0}}},
        {{"a\r", "abc"}, "abc", {{0, 1}}},
        // A hit that is a symbol fails only next to symbols of the word set... which it never is.
        {{"a-b -"}, "-", {{1, 0}, {4, 0}}},
    };
    for (const Case& c : cases)
    {
        auto page = NewPage();
        PutRows(*page, c.rows);
        EXPECT_EQ(AllHits(*page, c.pattern, true, true), c.hits) << c.rows[0] << " / " << c.pattern;
        std::vector<TPoint> backward(c.hits.rbegin(), c.hits.rend());
        EXPECT_EQ(AllHitsBackward(*page, c.pattern, true), backward) << c.rows[0] << " / " << c.pattern;
    }
}

TEST(nsRichEditSearch, WholeWord_EndsOnTextWhereEveryHitIsRejected)
{
    // Every position holds a hit that fails the test: each retry must move on.
    auto page = NewPage();
    std::vector<std::string> rows;
    for (int i = 0; i < 8; ++i)
        rows.push_back(std::string(300, 'a')); // folded rows: one long word
    rows.back() += "\r";
    rows.push_back("ａａａａ" + std::string(50, 'a'));
    PutRows(*page, rows);
    EXPECT_TRUE(AllHits(*page, "aa", false, true).empty());
    EXPECT_TRUE(AllHitsBackward(*page, "aa", true).empty());
    EXPECT_TRUE(AllHits(*page, "ａ", false, true).size() == 4u);
}

// ---- hit marks ----------------------------------------------------------------------------------

TEST(nsRichEditSearch, MakeSrchPack_GivesEveryHitItsOwnIdFromOne)
{
    auto page = NewPage();
    PutRows(*page, {"ab ab ab\r", "xxa", "b ab\r", "ab"});
    std::vector<std::unique_ptr<typSrchPack>> packs;
    std::set<int32_t> ids;
    for (const TPoint& hit : AllHits(*page, "ab", false, false))
    {
        auto pack = std::make_unique<typSrchPack>();
        pack->HitPoint = hit;
        pack->Pattern = "ab";
        page->MakeSrchPack(*pack);
        EXPECT_NE(pack->MarkId, 0);
        EXPECT_EQ(pack->Editor, page.get());
        EXPECT_TRUE(ids.insert(pack->MarkId).second) << "id " << pack->MarkId << " given twice";
        EXPECT_EQ(MarkOf(*page, hit.x, hit.y), pack->MarkId);
        packs.push_back(std::move(pack));
    }
    ASSERT_EQ(packs.size(), 6u);
    EXPECT_EQ(packs.front()->MarkId, 1);
    EXPECT_EQ(page->PeekMarkId(), 7);
    // The hit across the fold carries its id on both rows.
    EXPECT_EQ(packs[3]->HitPoint, TPoint(2, 1));
    EXPECT_EQ(MarkOf(*page, 2, 1), packs[3]->MarkId);
    EXPECT_EQ(MarkOf(*page, 0, 2), packs[3]->MarkId);
    EXPECT_EQ(MarkOf(*page, 1, 2), 0);
    // A second page counts on its own.
    auto other = NewPage();
    PutRows(*other, {"ab"});
    typSrchPack pack;
    pack.Pattern = "ab";
    other->MakeSrchPack(pack);
    EXPECT_EQ(pack.MarkId, 1);
}

TEST(nsRichEditSearch, LocateSrchPack_FindsTheHitAfterRowsWereTypedAboveIt)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    std::vector<std::string> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back(i == 10 ? "xx needle yy\r" : "row " + std::to_string(i) + "\r");
    rows.back().pop_back();
    PutRows(ed, rows);
    typSrchPack pack;
    pack.Pattern = "needle";
    pack.HitPoint = ed.FindNext(TPoint(0, 0), "needle", true, false, false);
    ASSERT_EQ(pack.HitPoint, TPoint(3, 10));
    ed.MakeSrchPack(pack);

    ed.SetCaretRaw(TPoint(0, 2));
    ed.KeyInput("new\rnew\rnew\r");
    ASSERT_EQ(ed.GetLine(13).str(), "xx needle yy\r");
    ASSERT_TRUE(ed.LocateSrchPack(pack));
    EXPECT_EQ(pack.HitPoint, TPoint(3, 13));
    EXPECT_EQ(pack.SelPoint, ed.DspPos(TPoint(3, 13)));
    EXPECT_EQ(pack.LineText.str(), "xx needle yy\r");

    // Far away: rows deleted above put the hit well before the recorded row.
    for (int i = 0; i < 12; ++i)
        ed.DelLine(0);
    pack.HitPoint.y = 18;
    ASSERT_TRUE(ed.LocateSrchPack(pack));
    EXPECT_EQ(pack.HitPoint, TPoint(3, 1));

    // Part of the hit deleted: gone.
    ed.SetCaretRaw(TPoint(5, 1));
    ed.DeleteAtCaret();
    EXPECT_FALSE(ed.LocateSrchPack(pack));
}

TEST(nsRichEditSearch, LocateSrchPack_FindsAHitAcrossAFoldFromEitherRow)
{
    auto page = NewPage();
    PutRows(*page, {"row\r", "xxxab", "cdyy\r", "zz"});
    typSrchPack pack;
    pack.Pattern = "abcd";
    pack.HitPoint = page->FindNext(TPoint(0, 0), "abcd", false, false, false);
    ASSERT_EQ(pack.HitPoint, TPoint(3, 1));
    page->MakeSrchPack(pack);
    for (int recorded : {0, 1, 2, 3, 7})
    {
        pack.HitPoint = TPoint(0, recorded);
        ASSERT_TRUE(page->LocateSrchPack(pack)) << recorded;
        EXPECT_EQ(pack.HitPoint, TPoint(3, 1)) << recorded;
    }
    // The tail overwritten: no longer the hit.
    page->AttrList()->GetItem(2)->ColAttr->GetItem(1)->MarkId = 0;
    EXPECT_FALSE(page->LocateSrchPack(pack));
}

TEST(nsRichEditSearch, LocateSrchPack_KeepsFindingHitsThroughRandomEdits)
{
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    std::vector<std::string> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back(i % 5 == 2 ? "word HIT" + std::to_string(i / 5) + " end\r" : "plain text\r");
    rows.back().pop_back();
    PutRows(ed, rows);
    std::vector<std::unique_ptr<typSrchPack>> packs;
    for (int k = 0; k < 8; ++k)
    {
        auto pack = std::make_unique<typSrchPack>();
        pack->Pattern = ("HIT" + std::to_string(k)).c_str();
        pack->HitPoint = ed.FindNext(TPoint(0, 0), pack->Pattern, true, false, false);
        ASSERT_GE(pack->HitPoint.x, 0);
        ed.MakeSrchPack(*pack);
        packs.push_back(std::move(pack));
    }
    for (int step = 0; step < 60; ++step)
    {
        // Edits in rows without a hit: whole rows typed or removed, text typed at a row's start.
        int row = int(rng() % unsigned(ed.GetLinesCount()));
        if (ed.GetLine(row).Pos("HIT") > 0)
            continue;
        ed.SelArea()->PointReset();
        switch (rng() % 3)
        {
        case 0:
            ed.SetCaretRaw(TPoint(0, row));
            ed.KeyInput("typed\r");
            break;
        case 1:
            if (row + 1 < ed.GetLinesCount())
                ed.DelLine(row);
            break;
        default:
            ed.SetCaretRaw(TPoint(0, row));
            ed.KeyInput("xy");
            break;
        }
        for (auto& pack : packs)
        {
            ASSERT_TRUE(ed.LocateSrchPack(*pack)) << "seed " << seed << " step " << step << " " << pack->Pattern;
            const AnsiString line = ed.GetLine(pack->HitPoint.y);
            EXPECT_EQ(line.SubString(pack->HitPoint.x + 1, pack->Pattern.Length()), pack->Pattern)
                << "seed " << seed << " step " << step;
        }
    }
}

// ---- scrolling ----------------------------------------------------------------------------------

TEST(nsRichEditSearch, ScrollIntoView_MovesOnlyWhenThePointIsOutside)
{
    TPageHost host(300, 200, false);
    nsRichEdit& ed = *host.page;
    std::vector<std::string> rows(200, std::string(300, 'x') + "\r");
    PutRows(ed, rows);
    ed.SetScrollBars(ssBoth); // the bars take their room before the view is measured
    const int shownRows = ed.GetDspRowCount();
    const int shownCols = ed.GetDspColCount();
    ASSERT_GT(shownRows, 2);
    ASSERT_GT(shownCols, 2);
    EXPECT_FALSE(ed.ScrollIntoView(0, 0));
    EXPECT_FALSE(ed.ScrollIntoView(shownCols - 1, shownRows - 1));
    EXPECT_TRUE(ed.ScrollIntoView(0, 100));
    EXPECT_EQ(ed.GetTopLine(), 100 - shownRows + 1);
    EXPECT_TRUE(ed.ScrollIntoView(0, 10));
    EXPECT_EQ(ed.GetTopLine(), 10);
    EXPECT_TRUE(ed.ScrollIntoView(250, 10));
    EXPECT_EQ(ed.GetLeftCol(), 250 - shownCols + 1);
    EXPECT_EQ(ed.GetTopLine(), 10);
    EXPECT_TRUE(ed.ScrollIntoView(3, 10));
    EXPECT_EQ(ed.GetLeftCol(), 3);
}

// ---- bookmarks ----------------------------------------------------------------------------------

TEST(nsRichEditSearch, Bookmarks_NextAndPreviousStopAtTheEnds)
{
    TPageHost host(300, 200, false);
    nsRichEdit& ed = *host.page;
    PutRows(ed, std::vector<std::string>(12, "row\r"));
    for (int row : {2, 5, 9})
        ed.SetBookmark(row, true, "b");
    ed.SetCaretRaw(TPoint(2, 0));
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i)
    {
        ed.GoNextBookMark();
        seen.push_back(ed.GetCaret().y);
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 5, 9, 9}));
    EXPECT_EQ(ed.GetCaret().x, 0);
    seen.clear();
    for (int i = 0; i < 4; ++i)
    {
        ed.GoPrevBookMark();
        seen.push_back(ed.GetCaret().y);
    }
    EXPECT_EQ(seen, (std::vector<int>{5, 2, 2, 2}));
    ed.SetBookmark(5, false);
    ed.GoNextBookMark();
    EXPECT_EQ(ed.GetCaret().y, 9);
    EXPECT_FALSE(ed.SelArea()->isPointAble());
}

TEST(nsRichEditSearch, Bookmarks_SurviveReplacingTheSelectionOnUnchangedRows)
{
    auto page = NewPage();
    PutRows(*page, {"one\r", "two\r", "three\r", "four\r", "five"});
    page->SetBookmark(0, true, "first");
    page->SetBookmark(2, true, "third");
    page->SetBookmark(4, true, "fifth");
    nsArray<typBMarkInf> marks;
    page->SaveBookmarks(marks);
    ASSERT_EQ(marks.Count(), 3);
    EXPECT_EQ(marks[1].Row, 2);
    EXPECT_EQ(marks[1].Text.str(), "third");

    // Rows 1..3 selected and upper-cased, as the conversions do.
    page->SelArea()->PutStartPoint(TPoint(0, 1));
    page->SelArea()->PutEndPoint(TPoint(4, 3));
    const AnsiString sel = page->GetSelText();
    ASSERT_EQ(sel.str(), "two\r\nthree\r\nfour");
    ASSERT_TRUE(page->ReplaceSelText(sel.UpperCase()));
    page->RestoreBookmarks(marks);
    EXPECT_EQ(RowsOf(*page), (std::vector<std::string>{"one\r", "TWO\r", "THREE\r", "FOUR\r", "five"}));
    for (int row = 0; row < 5; ++row)
    {
        AnsiString text;
        EXPECT_EQ(page->BookmarkText(row, text), row % 2 == 0) << row;
    }
    AnsiString text;
    page->BookmarkText(2, text);
    EXPECT_EQ(text.str(), "third");

    // A bookmark not in the list goes.
    page->SetBookmark(1, true, "x");
    page->RestoreBookmarks(marks);
    EXPECT_FALSE(page->IsBookmarked(1));
}

// ---- replacing the selection --------------------------------------------------------------------

TEST(nsRichEditSearch, ReplaceSelText_IsOneUndoStepAndRefusesABox)
{
    auto page = NewPage();
    PutRows(*page, {"alpha\r", "beta\r", "gamma"});
    page->SelArea()->PutStartPoint(TPoint(1, 0));
    page->SelArea()->PutEndPoint(TPoint(2, 1));
    ASSERT_TRUE(page->ReplaceSelText("X\rYY\rZ"));
    EXPECT_EQ(RowsOf(*page), (std::vector<std::string>{"aX\r", "YY\r", "Zta\r", "gamma"}));
    page->Undo();
    EXPECT_EQ(RowsOf(*page), (std::vector<std::string>{"alpha\r", "beta\r", "gamma"}));

    page->SetRangeSelect(true);
    page->SelArea()->PutStartPoint(TPoint(1, 0));
    page->SelArea()->PutEndPoint(TPoint(2, 1));
    EXPECT_FALSE(page->ReplaceSelText("X"));
    EXPECT_EQ(RowsOf(*page), (std::vector<std::string>{"alpha\r", "beta\r", "gamma"}));
}

TEST(nsRichEditSearch, GetEndPos_IsTheLastByteOfTheLastRow)
{
    auto page = NewPage();
    PutRows(*page, {"ab\r", "xyz"});
    EXPECT_EQ(page->GetEndPos(), TPoint(2, 1));
    PutRows(*page, {"ab\r", ""});
    EXPECT_EQ(page->GetEndPos(), TPoint(-1, 1));
}
} // namespace

// A hit found with the view elsewhere is shown whole: its first and its last column are in view.
TEST(nsRichEditSearch, AFoundHitIsScrolledIntoViewWhole)
{
    TPageHost host(300, 200, false);
    TTestPage& ed = *host.page;
    ed.SetOptions(ed.GetOptions() >> aoAutoFormat);
    ed.SetScrollBars(ssBoth);
    const int cols = ed.GetDspColCount();
    ASSERT_GT(cols, 12);
    const std::string pattern = "needle";
    struct TCase
    {
        const char* what;
        int hitCol, row, left;
    } cases[] = {
        {"starting just inside the right edge", cols - 2, 0, 0},
        {"starting on the last column", cols - 1, 3, 0},
        {"far to the right", 3 * cols, 5, 0},
        {"left of the view", 4, 7, 2 * cols},
        {"half cut off on the left", 2 * cols - 3, 9, 2 * cols},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<std::string> rows(12, std::string(5 * cols, 'x') + "\r");
        rows[size_t(c.row)].replace(size_t(c.hitCol), pattern.size(), pattern);
        PutRows(ed, rows);
        ed.SetTopLineRaw(0);
        ed.SetLeftColRaw(c.left);
        ed.SelArea()->PointReset();
        const TPoint hit = ed.FindNext(TPoint(0, 0), pattern.c_str(), true, false, true);
        ASSERT_EQ(hit, TPoint(c.hitCol, c.row));
        EXPECT_GE(c.hitCol, ed.GetLeftCol());
        EXPECT_LE(c.hitCol + int(pattern.size()) - 1, ed.GetLeftCol() + cols - 1);
    }
}
