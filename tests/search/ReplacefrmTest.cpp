// Replace next and replace all on a real editor page: ranges, hits that never repeat, one undo
// group, box selections, and the dialog answered through its own buttons and the message seam.
#include <gtest/gtest.h>

#include "tests/TestServices.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Services.h"
#include "search/Replacedlgfrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "common/English.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
// Rows from a text whose lines end in CR (the last one without).
std::vector<std::string> RowsFromText(const std::string& text)
{
    std::vector<std::string> rows;
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r')
        {
            rows.push_back(text.substr(from, i + 1 - from));
            from = i + 1;
        }
    rows.push_back(text.substr(from));
    return rows;
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Replace all on a plain string: non-overlapping hits on character boundaries, each ending by the
// range's end, which moves with the length changes.
std::string ModelReplaceAll(std::string text, size_t start, size_t end, const std::string& pattern,
                            const std::string& replacement, int* count = nullptr, int maxCount = INT_MAX)
{
    size_t pos = start;
    int n = 0;
    while (pos < text.size() && n < maxCount)
    {
        size_t hit = std::string::npos;
        for (size_t p = pos; p + pattern.size() <= end;)
        {
            if (text.compare(p, pattern.size(), pattern) == 0)
            {
                hit = p;
                break;
            }
            p += IsLead(static_cast<unsigned char>(text[p])) ? 2 : 1;
        }
        if (hit == std::string::npos)
            break;
        text.replace(hit, pattern.size(), replacement);
        end = end + replacement.size() - pattern.size();
        pos = hit + replacement.size();
        ++n;
    }
    if (count)
        *count = n;
    return text;
}

// The logical point of a byte offset in the joined rows.
TPoint PointOfOffset(TCustomAFEdit& ed, size_t offset)
{
    for (int row = 0; row < ed.GetLinesCount(); ++row)
    {
        const size_t len = size_t(ed.GetLine(row).Length());
        if (offset < len || row + 1 == ed.GetLinesCount())
            return TPoint(int(offset), row);
        offset -= len;
    }
    return TPoint(0, 0);
}

void SelectLogical(nsRichEdit& ed, TPoint from, TPoint to)
{
    ed.SelArea()->RowReset();
    ed.SelArea()->PutStartPoint(ed.DspPos(from));
    ed.SelArea()->PutEndPoint(ed.DspPos(to));
    ed.SetCaretRaw(ed.DspPos(to));
}

TReplaceRequest MakeRequest(const char* pattern, const char* replacement, TReplaceRange range = rrAllText)
{
    TReplaceRequest r;
    r.Pattern = pattern;
    r.Replacement = replacement;
    r.CaseSensitive = true;
    r.Range = range;
    return r;
}

// Loads text as a file is loaded: paragraphs folded at wrap display columns, nothing edited.
void LoadFolded(nsRichEdit& ed, const std::string& text, int wrap = 10)
{
    ed.SetOptions(TAFEditOptions{aoAutoFormat});
    ed.SetDefWrapPos(wrap);
    TStringStream stream(AnsiString(text.data(), int(text.size())));
    ed.LoadFromStream(&stream, TConvMode{cmFoldLine});
    ed.SelArea()->PointReset();
    ed.SelArea()->RowReset();
    ed.SetCaretRaw(TPoint(0, 0));
}

// ---- replace next -------------------------------------------------------------------------------

TEST(Replace, ReplaceNext_NeverReplacesTheSameSpotTwice)
{
    struct Case
    {
        std::vector<std::string> rows;
        const char* pattern;
        const char* replacement;
    } cases[] = {
        {{"a a\r", "aa"}, "a", "ab"},
        {{"aaa"}, "a", "aa"},
        {{"aaaa"}, "aa", "a"},
        {{"xa\tya\r", "\tay"}, "a", "ba"},
        {{"アAア"}, "A", "AA"},
        {{"abab"}, "ab", ""},
    };
    for (const Case& c : cases)
    {
        TPageHost host(400, 200, false);
        nsRichEdit& ed = *host.page;
        LoadRows(ed, c.rows);
        std::string original;
        for (const std::string& r : c.rows)
            original += r;
        int expectedCount = 0;
        const std::string expected =
            ModelReplaceAll(original, 0, original.size(), c.pattern, c.replacement, &expectedCount);
        int count = 0;
        for (int guard = 0; guard < 100; ++guard)
        {
            const TReplaceOutcome outcome = ReplaceNext(ed, MakeRequest(c.pattern, c.replacement), {});
            if (outcome != roReplaced)
            {
                EXPECT_EQ(outcome, roNotFound);
                break;
            }
            ++count;
        }
        EXPECT_EQ(count, expectedCount) << original;
        EXPECT_EQ(JoinedRows(ed), expected) << original;
    }
}

TEST(Replace, ReplaceNext_AfterNoMovesOnAndSelectsToTheHitsDisplayEnd)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"\ta\tb a\tb\r", "a\tb"});
    TReplaceRequest request = MakeRequest("a\tb", "X");
    request.Confirm = true;
    std::deque<int> answers = {1, 0, 1};
    std::vector<TPoint> asked;
    auto ask = [&](const AnsiString& question) {
        EXPECT_EQ(question, ReplaceQuestion("a\tb"));
        // The hit is selected from its display start to the display point of its end.
        asked.push_back(ed.SelArea()->GetStartPoint());
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    };
    EXPECT_EQ(ReplaceNext(ed, request, ask), roSkipped);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), ed.DspPos(TPoint(1, 0)));
    EXPECT_EQ(ed.SelArea()->GetEndPoint(), ed.DspPos(TPoint(4, 0)));
    EXPECT_EQ(ReplaceNext(ed, request, ask), roReplaced);
    EXPECT_EQ(ReplaceNext(ed, request, ask), roSkipped);
    EXPECT_EQ(ReplaceNext(ed, request, ask), roNotFound);
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(JoinedRows(ed), "\ta\tb X\r" "a\tb");
}

// ---- replace all --------------------------------------------------------------------------------

// Half the rounds on rows as loaded from a file, folded at ten columns, so that hits run across
// folds and every replacement folds the rows anew.
TEST(Replace, ReplaceAll_InARandomSelectionMatchesTheModelAndUndoesAsOneStep)
{
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    const char* pieces[] = {"a", "b", "A", "ab", "\t", " ", "ア", "あ", "\r"};
    const char* patterns[] = {"a", "ab", "ba", "aa", "A", "a\tb"};
    const char* replacements[] = {"", "a", "ab", "aab", "x", "\t", "ア"};
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    for (int round = 0; round < 300; ++round)
    {
        std::string text;
        const int n = 1 + int(rng() % 40);
        for (int i = 0; i < n; ++i)
            text += pieces[rng() % std::size(pieces)];
        const bool folded = round % 2 == 1;
        if (folded)
            LoadFolded(ed, text);
        else
            LoadRows(ed, RowsFromText(text));
        const std::vector<std::string> rowsBefore = RowsOf(ed);
        // Two character boundaries.
        std::vector<size_t> bounds;
        for (size_t p = 0; p <= text.size();)
        {
            bounds.push_back(p);
            if (p == text.size())
                break;
            p += IsLead(static_cast<unsigned char>(text[p])) ? 2 : 1;
        }
        size_t s = bounds[rng() % bounds.size()];
        size_t e = bounds[rng() % bounds.size()];
        if (s > e)
            std::swap(s, e);
        const int mode = int(rng() % 3);
        const char* pattern = patterns[rng() % std::size(patterns)];
        const char* replacement = replacements[rng() % std::size(replacements)];
        TReplaceRequest request = MakeRequest(pattern, replacement);
        size_t modelStart = 0, modelEnd = text.size();
        if (mode == 0)
        {
            request.Range = rrSelection;
            SelectLogical(ed, PointOfOffset(ed, s), PointOfOffset(ed, e));
            modelStart = s;
            modelEnd = e;
        }
        else if (mode == 1)
        {
            request.Range = rrFromCaret;
            ed.SetCaretRaw(ed.DspPos(PointOfOffset(ed, s)));
            modelStart = s;
        }
        int expectedCount = 0;
        const std::string expected =
            ModelReplaceAll(text, modelStart, modelEnd, pattern, replacement, &expectedCount);
        const TReplaceAllResult result = ReplaceAll(ed, request, {});
        ASSERT_EQ(JoinedRows(ed), expected) << "seed " << seed << " round " << round << " mode " << mode
                                            << " [" << s << "," << e << ") " << pattern << "->" << replacement
                                            << (folded ? " folded" : "");
        EXPECT_EQ(result.Replaced, expectedCount) << "seed " << seed << " round " << round;
        if (result.Replaced > 0)
        {
            ASSERT_TRUE(ed.CanUndo());
            ed.Undo();
            EXPECT_EQ(RowsOf(ed), rowsBefore) << "seed " << seed << " round " << round;
            EXPECT_FALSE(ed.CanUndo()) << "seed " << seed << " round " << round;
            if (folded)
            {
                EXPECT_FALSE(ed.isEdited()) << "seed " << seed << " round " << round;
            }
        }
    }
}

// ---- scopes on a folded page --------------------------------------------------------------------

// Four paragraphs folded at ten columns, as a file is loaded: tabs, a double-byte character, and
// hits that folds cut in two.
const std::string kFoldedText = "ab\tab abab ab a\r"
                                "\tab ab\tあab ab ab\r"
                                "xa ab ab\tab ababab\r"
                                "ab ab ab";

size_t OffsetOfRow(TCustomAFEdit& ed, int row)
{
    size_t offset = 0;
    for (int r = 0; r < row; ++r)
        offset += size_t(ed.GetLine(r).Length());
    return offset;
}

// Whether an occurrence of pattern inside [start, end) of the text is cut by the fold after row.
bool FoldCutsAHit(TCustomAFEdit& ed, int row, const std::string& pattern, size_t start, size_t end)
{
    if (row + 1 >= ed.GetLinesCount() || ed.isCrLine(row))
        return false;
    const std::string text = JoinedRows(ed);
    const size_t fold = OffsetOfRow(ed, row + 1);
    for (size_t p = fold - std::min(fold, pattern.size() - 1); p < fold; ++p)
        if (p >= start && p + pattern.size() <= end && text.compare(p, pattern.size(), pattern) == 0)
            return true;
    return false;
}

std::string Layout(TCustomAFEdit& ed)
{
    std::string s;
    for (const std::string& r : RowsOf(ed))
        s += "[" + r + "]";
    return s;
}

enum TScope
{
    scWhole,
    scCaret,
    scRows,
    scChars,
    scCharsBackward
};
const char* const kScopeNames[] = {"whole text", "from the caret", "row selection", "character selection",
                                   "character selection made backwards"};

// Sets the page up for a scope and gives its range as byte offsets of the text.
TReplaceRange ApplyScope(nsRichEdit& ed, TScope scope, size_t& start, size_t& end)
{
    const std::string text = JoinedRows(ed);
    start = 0;
    end = text.size();
    switch (scope)
    {
    case scWhole:
        // Replace all ignores the caret; replace next starts there.
        ed.SetCaretRaw(ed.DspPos(PointOfOffset(ed, text.find("xa ab"))));
        return rrAllText;
    case scCaret:
        // Inside a hit: that hit starts before the range.
        start = text.find("abab") + 1;
        ed.SetCaretRaw(ed.DspPos(PointOfOffset(ed, start)));
        return rrFromCaret;
    case scRows:
    {
        // Down to the second row whose fold cuts a hit: one cut hit lies inside, the other reaches
        // past the range.
        int last = 1;
        for (int found = 0; found < 2 && last + 1 < ed.GetLinesCount();)
            if (FoldCutsAHit(ed, ++last, "ab", 0, text.size()))
                ++found;
        EXPECT_TRUE(FoldCutsAHit(ed, last, "ab", 0, text.size())) << Layout(ed);
        ed.SelArea()->PutStartRow(1);
        ed.SelArea()->PutEndRow(last);
        ed.SetCaretRaw(TPoint(0, last));
        start = OffsetOfRow(ed, 1);
        end = OffsetOfRow(ed, last + 1);
        return rrSelection;
    }
    default:
        // From just after a tab, across the double-byte character, to the middle of a hit after a
        // tab, in a row that the rest of its paragraph runs on from.
        start = text.find("\tab ab\tあ") + 1;
        end = text.find("\tab ababab") + 2;
        if (scope == scChars)
            SelectLogical(ed, PointOfOffset(ed, start), PointOfOffset(ed, end));
        else
            SelectLogical(ed, PointOfOffset(ed, end), PointOfOffset(ed, start));
        return rrSelection;
    }
}

// Longer, longer holding the pattern, shorter, empty, equal.
const struct TLengthChange
{
    const char* pattern;
    const char* replacement;
} kLengthChanges[] = {{"a", "bbb"}, {"ab", "aab"}, {"ab", "x"}, {"ab", ""}, {"ab", "yz"}};

TEST(Replace, ReplaceAll_EveryScopeAndLengthChangeOnAFoldedPageMatchesTheModelAndUndoesAsOneStep)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    for (int scope = scWhole; scope <= scCharsBackward; ++scope)
        for (const TLengthChange& r : kLengthChanges)
            for (const bool editedBefore : {false, true})
            {
                SCOPED_TRACE(std::string(kScopeNames[scope]) + ": " + r.pattern + " -> " + r.replacement +
                             (editedBefore ? ", edited before" : ""));
                LoadFolded(ed, kFoldedText);
                ASSERT_FALSE(ed.CanUndo());
                ASSERT_FALSE(ed.isEdited());
                if (editedBefore)
                {
                    const int last = ed.GetLinesCount() - 1;
                    ed.SetCaretRaw(ed.DspPos(TPoint(ed.GetLine(last).Length(), last)));
                    ed.KeyInput("z");
                    ASSERT_EQ(JoinedRows(ed), kFoldedText + "z");
                }
                const std::string before = JoinedRows(ed);
                const std::vector<std::string> rowsBefore = RowsOf(ed);
                size_t start = 0, end = 0;
                TReplaceRequest request = MakeRequest(r.pattern, r.replacement);
                request.Range = ApplyScope(ed, TScope(scope), start, end);
                // A fold cuts a hit inside the range: replacements fold the rows up to its end anew.
                bool cut = false;
                for (int row = 0; row < ed.GetLinesCount(); ++row)
                    cut = cut || FoldCutsAHit(ed, row, "ab", start, end);
                ASSERT_TRUE(cut) << Layout(ed);
                int count = 0;
                const std::string expected =
                    ModelReplaceAll(before, start, end, r.pattern, r.replacement, &count);
                ASSERT_GT(count, 0);

                const TReplaceAllResult result = ReplaceAll(ed, request, {});
                EXPECT_EQ(JoinedRows(ed), expected) << "range [" << start << "," << end << ")";
                EXPECT_EQ(result.Replaced, count);
                EXPECT_EQ(result.Hits, count);
                EXPECT_TRUE(ed.isEdited());

                ed.Undo();
                EXPECT_EQ(RowsOf(ed), rowsBefore);
                EXPECT_EQ(ed.isEdited(), editedBefore);
                EXPECT_EQ(ed.CanUndo(), editedBefore);
                ed.Redo();
                EXPECT_EQ(JoinedRows(ed), expected);
            }
}

// A hit may run across any number of folded rows: every length at every fold width is replaced as
// in the paragraph taken as one string.
TEST(Replace, ReplaceAll_HitsRunningAcrossManyFoldedRowsAreReplacedAsInTheModel)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    const std::string text = "あいうえおかきくけこさしすせそ\r\nあいうえおかきくけこ";
    for (int wrap : {4, 6, 10, 12})
        for (size_t chars = 1; chars <= 13; ++chars)
        {
            const std::string pattern = text.substr(4, 2 * chars); // from う on
            SCOPED_TRACE("wrap " + std::to_string(wrap) + " pattern " + pattern);
            LoadFolded(ed, text, wrap);
            const std::string before = JoinedRows(ed);
            int count = 0;
            const std::string expected = ModelReplaceAll(before, 0, before.size(), pattern, "X", &count);
            const TReplaceAllResult result = ReplaceAll(ed, MakeRequest(pattern.c_str(), "X"), {});
            EXPECT_EQ(JoinedRows(ed), expected);
            EXPECT_EQ(result.Replaced, count);
            EXPECT_EQ(count, chars <= 8 ? 2 : 1);
        }
}

// Replace next, pressed again and again, walks the range as replace all does; each press is one
// undo step. In a selection one press replaces the selection's first hit, whichever end the caret
// is at.
TEST(Replace, ReplaceNext_OnAFoldedPageWalksTheRangeAsTheModelDoes)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    for (int scope = scWhole; scope <= scCharsBackward; ++scope)
        for (const TLengthChange& r : kLengthChanges)
        {
            SCOPED_TRACE(std::string(kScopeNames[scope]) + ": " + r.pattern + " -> " + r.replacement);
            LoadFolded(ed, kFoldedText);
            const std::vector<std::string> rowsBefore = RowsOf(ed);
            size_t start = 0, end = 0;
            TReplaceRequest request = MakeRequest(r.pattern, r.replacement);
            request.Range = ApplyScope(ed, TScope(scope), start, end);
            const bool once = request.Range == rrSelection;
            // A press starts at the later of the caret and the range's start; a caret at the end of
            // a selection made forwards is no guide.
            const TPoint caret = LogicalPoint(ed, ed.GetCaret());
            const size_t caretOffset = OffsetOfRow(ed, caret.y) + size_t(caret.x);
            if (caretOffset > start && caretOffset < end)
                start = caretOffset;
            int count = 0;
            const int most = once ? 1 : INT_MAX;
            const std::string expected =
                ModelReplaceAll(kFoldedText, start, end, r.pattern, r.replacement, &count, most);
            int presses = 0;
            for (int guard = 0; guard < 100; ++guard)
            {
                const TReplaceOutcome outcome = ReplaceNext(ed, request, {});
                if (outcome != roReplaced)
                {
                    EXPECT_EQ(outcome, roNotFound);
                    break;
                }
                ++presses;
                if (once)
                    break;
            }
            EXPECT_EQ(presses, count);
            EXPECT_EQ(JoinedRows(ed), expected) << "range [" << start << "," << end << ")";
            for (int i = 0; i < presses; ++i)
                ed.Undo();
            EXPECT_EQ(RowsOf(ed), rowsBefore);
            EXPECT_FALSE(ed.CanUndo());
            EXPECT_FALSE(ed.isEdited());
        }
}

// ---- all at once against hit by hit ------------------------------------------------------------

// Every hit replaced one by one (confirmation answered Yes each time) is the reference replace all
// without confirmation must match byte for byte, whatever the case, whole-word and range settings;
// its one undo gives the start back row for row and its redo the result. Patterns run across folds
// and paragraph ends, replacements hold the pattern, CRs or nothing, and the text holds characters
// whose trail byte is a letter or a backslash.
TEST(Replace, ReplaceAll_AtOnceMatchesReplacingHitByHitAndUndoAndRedoGiveBothTextsBack)
{
    const unsigned seed = 20270315;
    std::mt19937 rng(seed);
    const char* pieces[] = {"a", "b", "A", "B", "ab", "\t", " ", "_", "1", "ア", "あ", "ａ", "Ａ", "ソ", "表",
                            "\x82\x61" /* ‚a */, "\r", "\r"};
    const char* patterns[] = {"a", "ab", "ba", "A", "B", "ａ", "b\ra", "\ra", "あ", "a b", "ab_", "\\", "a1", "ソ"};
    // The last two are typed without their control byte, and with a lead byte left alone (which the
    // page replaces hit by hit).
    const char* replacements[] = {"", "a", "ab", "aab", "x\ry", "\r", "ア", "\t", "Ａ", "AB", "b\x01", "b\x82"};
    TPageHost host(400, 200, false);
    TPageHost refHost(400, 200, false);
    TPageHost canonHost(400, 200, false);
    nsRichEdit& ed = *host.page;
    nsRichEdit& ref = *refHost.page;
    nsRichEdit& canon = *canonHost.page;
    int rowsDiffered = 0, rounds = 0;
    for (int round = 0; round < 700; ++round)
    {
        std::string text;
        const int n = 1 + int(rng() % 50);
        for (int i = 0; i < n; ++i)
            text += pieces[rng() % std::size(pieces)];
        const int wrap = 4 + int(rng() % 12);
        TAFEditOptions options{aoAutoFormat};
        const bool rules = rng() % 3 == 0;
        if (rules)
            options << aoJpnBanBreak << aoWordWrap;
        TReplaceRequest request =
            MakeRequest(patterns[rng() % std::size(patterns)], replacements[rng() % std::size(replacements)]);
        request.CaseSensitive = rng() % 2 == 0;
        request.WholeWord = rng() % 3 == 0;
        const int mode = int(rng() % 3);
        std::vector<size_t> bounds; // character starts, and the end
        for (size_t p = 0;; p += IsLead(static_cast<unsigned char>(text[p])) ? 2 : 1)
        {
            bounds.push_back(std::min(p, text.size()));
            if (p >= text.size())
                break;
        }
        size_t s = bounds[rng() % bounds.size()], e = bounds[rng() % bounds.size()];
        if (s > e)
            std::swap(s, e);
        // Loads the text as a file is loaded, folded at wrap with the options.
        auto load = [&](nsRichEdit& page, const std::string& t) {
            page.SetOptions(options);
            page.SetBanHead("、。」ぁ)");
            page.SetBanEnd("「(");
            page.SetDefWrapPos(wrap);
            LoadText(page, t);
            page.SelArea()->PointReset();
            page.SelArea()->RowReset();
            page.SetCaretRaw(TPoint(0, 0));
        };
        for (nsRichEdit* page : {&ed, &ref})
        {
            load(*page, text);
            if (mode == 1)
            {
                request.Range = rrFromCaret;
                page->SetCaretRaw(page->DspPos(PointOfOffset(*page, s)));
            }
            else if (mode == 2)
            {
                request.Range = rrSelection;
                SelectLogical(*page, PointOfOffset(*page, s), PointOfOffset(*page, e));
            }
        }
        const std::vector<std::string> before = RowsOf(ed);
        TReplaceRequest oneByOne = request;
        oneByOne.Confirm = true;
        const std::string at = "seed " + std::to_string(seed) + " round " + std::to_string(round) + ": \"" + text +
                               "\" " + request.Pattern.str() + " -> " + request.Replacement.str() +
                               (request.CaseSensitive ? " case" : "") + (request.WholeWord ? " word" : "") +
                               " mode " + std::to_string(mode) + " [" + std::to_string(s) + "," +
                               std::to_string(e) + ") wrap " + std::to_string(wrap) + (rules ? " rules" : "");
        const TReplaceAllResult expected = ReplaceAll(ref, oneByOne, [](const AnsiString&) { return 0; });
        const TReplaceAllResult result = ReplaceAll(ed, request, {});
        ASSERT_EQ(JoinedRows(ed), JoinedRows(ref)) << at;
        ASSERT_EQ(result.Replaced, expected.Replaced) << at;
        ASSERT_EQ(result.Hits, expected.Hits) << at;
        if (request.CaseSensitive && !request.WholeWord && request.Replacement != "b\x01" &&
            request.Replacement != "b\x82")
        {
            const size_t start = mode == 0 ? 0 : s, end = mode == 2 ? e : text.size();
            ASSERT_EQ(JoinedRows(ed), ModelReplaceAll(text, start, end, request.Pattern.str(),
                                                      request.Replacement.str()))
                << at;
        }
        // Each paragraph is cut as a load cuts it (hit by hit, the cuts may come out otherwise).
        load(canon, JoinedRows(ed));
        ASSERT_EQ(RowsOf(ed), RowsOf(canon)) << at << "\n" << Layout(ed) << "\n" << Layout(canon);
        rowsDiffered += RowsOf(ed) != RowsOf(ref);
        if (result.Replaced == 0)
        {
            EXPECT_FALSE(ed.CanUndo()) << at;
            continue;
        }
        ++rounds;
        const std::vector<std::string> after = RowsOf(ed);
        ed.Undo();
        ASSERT_EQ(RowsOf(ed), before) << at;
        EXPECT_FALSE(ed.CanUndo()) << at;
        EXPECT_FALSE(ed.isEdited()) << at;
        ed.Redo();
        ASSERT_EQ(RowsOf(ed), after) << at;
        EXPECT_TRUE(ed.isEdited()) << at;
        EXPECT_FALSE(ed.CanRedo()) << at;
    }
    EXPECT_GT(rounds, 150);
    std::printf("replace all at once: %d rounds replaced, %d cut their rows otherwise than hit by hit\n", rounds,
                rowsDiffered);
}

// A million hits are one undo step, and undo and redo give each text back byte for byte.
TEST(Replace, ReplaceAll_OfAMillionHitsIsOneUndoStepThatGivesBothTextsBackByteForByte)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    std::string line;
    for (int i = 0; i < 20; ++i)
        line += i % 7 == 3 ? "漢q " : "aq ";
    line += "\r\n";
    std::string text;
    for (int i = 0; i < 50000; ++i)
        text += line;
    ed.SetDefWrapPos(60);
    LoadText(ed, text);
    const AnsiString original = ed.GetText();
    const std::vector<std::string> rowsBefore = RowsOf(ed);
    TReplaceRequest request = MakeRequest("q", "bqq");
    const TReplaceAllResult result = ReplaceAll(ed, request, {});
    ASSERT_EQ(result.Replaced, 1000000);
    std::string expected;
    for (char c : original.str())
        expected += c == 'q' ? std::string("bqq") : std::string(1, c);
    ASSERT_TRUE(ed.GetText().str() == expected);
    const std::vector<std::string> rowsAfter = RowsOf(ed);
    ASSERT_TRUE(ed.CanUndo());
    ed.Undo();
    EXPECT_FALSE(ed.CanUndo());
    EXPECT_TRUE(ed.GetText() == original);
    EXPECT_TRUE(RowsOf(ed) == rowsBefore);
    EXPECT_FALSE(ed.isEdited());
    ed.Redo();
    EXPECT_TRUE(RowsOf(ed) == rowsAfter);
    EXPECT_TRUE(ed.GetText().str() == expected);
}

// A history too small for the change: the question comes first; No leaves the text alone, Yes
// replaces without undo. One that fits only as one record is undone whole.
TEST(Replace, ReplaceAll_TooLargeToUndoAsksBeforeReplacingAndAFittingOneIsUndoneWhole)
{
    TBoxServices services;
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "one needle and a needle more\r\n";
    auto* form = Create<TRePlaceForm>(nullptr);
    form->SettingsKey = "Software\\VarnoletTest\\Replace";
    form->ActiveEditor = [&] { return &ed; };
    struct
    {
        int64_t budget;
        int answer;
        bool replaced;
        bool undoable;
        size_t questions;
    } cases[] = {
        {4 * 1024, IDNO, false, false, 1},
        {4 * 1024, IDYES, true, false, 1},
        // Room for the rows once, not for a record per hit.
        {int64_t(text.size()) * 2 + 64 * 1024, IDNO, true, true, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("budget " + std::to_string(c.budget) + " answer " + std::to_string(c.answer));
        LoadText(ed, text);
        ed.UndoBuff()->SetBudget(c.budget);
        const AnsiString original = ed.GetText();
        services.boxes.clear();
        services.answer = c.answer;
        form->SrchStrCBox->SetText("needle");
        form->ReStrCBox->SetText("pin");
        form->AllTextRBtn->SetChecked(true);
        form->ConfirmCBox->SetChecked(false);
        form->AllRePlaceBtnClick(form->AllRePlaceBtn);
        ASSERT_EQ(services.boxes.size(), c.questions);
        if (c.questions)
        {
            EXPECT_EQ(services.boxes[0], msgReplaceNoUndo);
        }
        EXPECT_EQ(ed.GetText() != original, c.replaced);
        EXPECT_EQ(ed.isEdited(), c.replaced);
        EXPECT_EQ(ed.CanUndo(), c.undoable);
        if (c.undoable)
        {
            ed.Undo();
            EXPECT_TRUE(ed.GetText() == original);
            EXPECT_FALSE(ed.isEdited());
        }
        ed.UndoBuff()->SetBudget(TUndoBuff::kDefaultBudget);
    }
    delete form;
}

// On a shown page the window is set once however many hits there are: one undo-state event, one
// repaint of the rows in view, and the row list still hears of every row that changed.
TEST(Replace, ReplaceAll_SetsTheWindowOnceAndTheRowListHearsOfEveryChangedRow)
{
    struct TUndoEvents : TObject
    {
        int count = 0;
        bool canUndo = false;
        void Changed(TObject*, bool undo, bool) { ++count, canUndo = undo; }
    } events;
    TPageLog log;
    TPageHost host(400, 200, true, &log);
    nsRichEdit& ed = *host.page;
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += i % 3 ? "plain row\r\n" : "a hit, and a hit\r\n";
    LoadText(ed, text);
    ed.SetCommentMode(cmmCCPP);
    host.Settle();
    ed.OnUndoChange = TUndoNotifyEvent(&events, &TUndoEvents::Changed);
    const std::vector<std::string> before = RowsOf(ed);
    log.changes.clear();
    log.drawnRows.clear();
    const TReplaceAllResult result = ReplaceAll(ed, MakeRequest("hit", "miss"), {});
    host.Settle();
    EXPECT_EQ(result.Replaced, 200);
    EXPECT_EQ(events.count, 1);
    EXPECT_TRUE(events.canUndo);
    EXPECT_LE(log.drawnRows.size(), size_t(ed.GetDspRowCount() + 2));
    const std::vector<std::string> after = RowsOf(ed);
    ASSERT_EQ(after.size(), before.size());
    for (size_t r = 0; r < after.size(); ++r)
        if (after[r] != before[r])
        {
            const bool heard = std::any_of(log.changes.begin(), log.changes.end(),
                                           [&](const auto& c) { return c.second == int(r); });
            EXPECT_TRUE(heard) << "row " << r;
        }
    ed.OnUndoChange = TUndoNotifyEvent();
}

// Replacements that open and close comments and add paragraphs: the comment model is what a page
// loaded with the result has, bookmarks of rows the replacements leave alone follow their rows,
// and hit marks of the batch search still find their hits.
TEST(Replace, ReplaceAll_KeepsTheCommentModelBookmarksAndHitMarksInStep)
{
    TPageHost host(400, 200, false);
    TPageHost freshHost(400, 200, false);
    nsRichEdit& ed = *host.page;
    nsRichEdit& fresh = *freshHost.page;
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += i % 4 == 0   ? "int keep; // OPEN here\r\n"
                : i % 4 == 1 ? "plain text with keep\r\n"
                : i % 4 == 2 ? "a = 1; /* CLOSE */ keep\r\n"
                             : "untouched row\r\n";
    ed.SetDefWrapPos(20); // the longer rows fold
    fresh.SetDefWrapPos(20);
    LoadText(ed, text);
    ed.SetCommentMode(cmmCCPP);
    std::vector<typSrchPack> packs;
    for (TPoint from(0, 0);;)
    {
        const TPoint hit = ed.FindNext(from, "keep", true, false, false);
        if (hit.x < 0)
            break;
        packs.emplace_back();
        packs.back().HitPoint = hit;
        packs.back().Pattern = "keep";
        ed.MakeSrchPack(packs.back());
        from = TPoint(hit.x + 1, hit.y);
    }
    ASSERT_EQ(packs.size(), 45u);
    std::vector<std::string> marked; // texts of the bookmarked rows nothing touches
    for (int row = 0; row < ed.GetLinesCount(); row += 3)
    {
        ed.SetBookmark(row, true, "b");
        if (ed.GetLine(row).str() == "untouched row\r")
            marked.push_back(ed.GetLine(row).str());
    }
    ASSERT_FALSE(marked.empty());

    for (const auto& [pattern, replacement] : {std::pair{"OPEN", "/* open\r"}, std::pair{"CLOSE */", "*/\rclosed"}})
    {
        SCOPED_TRACE(pattern);
        ASSERT_GT(ReplaceAll(ed, MakeRequest(pattern, replacement), {}).Replaced, 0);
        LoadText(fresh, JoinedRows(ed));
        fresh.SetCommentMode(cmmCCPP);
        nsList<typCommentInf>& a = ed.CommentList().Marks;
        nsList<typCommentInf>& b = fresh.CommentList().Marks;
        ASSERT_EQ(a.Count(), b.Count());
        for (int i = 0; i < a.Count(); ++i)
        {
            EXPECT_EQ(a.Get(i)->Row, b.Get(i)->Row) << i;
            EXPECT_EQ(a.Get(i)->Position, b.Get(i)->Position) << i;
            EXPECT_EQ(a.Get(i)->Kind, b.Get(i)->Kind) << i;
        }
    }
    std::vector<std::string> stillMarked;
    for (int row = 0; row < ed.GetLinesCount(); ++row)
        if (ed.IsBookmarked(row) && ed.GetLine(row).str() == "untouched row\r")
            stillMarked.push_back(ed.GetLine(row).str());
    EXPECT_EQ(stillMarked, marked);
    for (typSrchPack& pack : packs)
    {
        ASSERT_TRUE(ed.LocateSrchPack(pack)) << pack.HitPoint;
        EXPECT_EQ(ed.GetLine(pack.HitPoint.y).SubString(pack.HitPoint.x + 1, 4), "keep") << pack.HitPoint;
    }
}

TEST(Replace, ReplaceAll_LineSelectionTakesTheWholeLastRowAndNothingBelow)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"a a\r", "a a\r", "a a\r", "a a"});
    ed.SelArea()->PutStartRow(1);
    ed.SelArea()->PutEndRow(2);
    const TReplaceAllResult result = ReplaceAll(ed, MakeRequest("a", "bb", rrSelection), {});
    EXPECT_EQ(result.Replaced, 4);
    EXPECT_EQ(RowsOf(ed), (std::vector<std::string>{"a a\r", "bb bb\r", "bb bb\r", "a a"}));
}

TEST(Replace, ReplaceAll_WithConfirmationSkipsNoAndStopsAtCancelAsOneUndo)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"a a a a a"});
    TReplaceRequest request = MakeRequest("a", "ab");
    request.Confirm = true;
    std::deque<int> answers = {0, 1, 0, 2};
    const TReplaceAllResult result = ReplaceAll(ed, request, [&](const AnsiString&) {
        const int a = answers.front();
        answers.pop_front();
        return a;
    });
    EXPECT_TRUE(result.Cancelled);
    EXPECT_EQ(result.Replaced, 2);
    EXPECT_EQ(JoinedRows(ed), "ab a ab a a");
    ed.Undo();
    EXPECT_EQ(JoinedRows(ed), "a a a a a");
}

TEST(Replace, BoxSelection_IsRefusedAndLeavesTheTextAlone)
{
    TPageHost host(400, 200, false);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"abc\r", "abc"});
    SelectLogical(ed, TPoint(0, 0), TPoint(2, 1));
    ed.SetRangeSelect(true);
    EXPECT_TRUE(ReplaceAll(ed, MakeRequest("a", "x", rrSelection), {}).Refused);
    EXPECT_EQ(ReplaceNext(ed, MakeRequest("a", "x", rrSelection), {}), roRefused);
    EXPECT_EQ(JoinedRows(ed), "abc\rabc");

    // Through the dialog: an error box, nothing replaced.
    TBoxServices services;
    auto* form = Create<TRePlaceForm>(nullptr);
    form->SettingsKey = "Software\\VarnoletTest\\Replace";
    form->ActiveEditor = [&] { return &ed; };
    form->SrchStrCBox->SetText("a");
    form->ReStrCBox->SetText("x");
    form->SelAreaRBtn->SetChecked(true);
    form->AllRePlaceBtnClick(form);
    EXPECT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(JoinedRows(ed), "abc\rabc");
    delete form;
}

// Clicks the confirmation dialog's buttons in order, one per showing.
struct TClickScript : TObject
{
    TReplaceDlgForm* dialog = nullptr;
    std::deque<TButton*> clicks;
    std::vector<std::string> questions;
    void Shown(TObject*)
    {
        questions.push_back(dialog->MsgLabel->Caption().str());
        if (!clicks.empty())
        {
            PostMessageW(clicks.front()->Handle(), BM_CLICK, 0, 0);
            clicks.pop_front();
        }
    }
};

// ---- the dialogs --------------------------------------------------------------------------------

TEST(Replace, Dialog_AsksThroughTheConfirmationButtonsAndReportsNotFound)
{
    TBoxServices services;
    TPageHost host(400, 200, true);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"a a a"});
    ReplaceDlgForm = Create<TReplaceDlgForm>(nullptr);
    auto* form = Create<TRePlaceForm>(nullptr);
    form->SettingsKey = "Software\\VarnoletTest\\Replace";
    form->ActiveEditor = [&] { return &ed; };

    // Each time the question shows, the next button is clicked as the user would.
    TClickScript script;
    script.dialog = ReplaceDlgForm;
    script.clicks = {ReplaceDlgForm->YesBtn, ReplaceDlgForm->NoBtn, ReplaceDlgForm->YesBtn};
    ReplaceDlgForm->OnShow = TNotifyEvent(&script, &TClickScript::Shown);
    std::vector<std::string>& questions = script.questions;
    form->Show();
    form->SrchStrCBox->SetText("a");
    form->ReStrCBox->SetText("b");
    form->AllTextRBtn->SetChecked(true);
    form->ConfirmCBox->SetChecked(true);
    form->AllRePlaceBtnClick(form);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions.front(), "'a' を置き換えますか");
    EXPECT_EQ(JoinedRows(ed), "b a b");
    EXPECT_TRUE(services.boxes.empty());

    form->SrchStrCBox->SetText("zz");
    form->ConfirmCBox->SetChecked(false);
    form->OKBtnClick(form);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], "検索文字列 'zz' が見つかりません。");
    // The histories keep the newest first.
    EXPECT_EQ(form->SrchStrCBox->Items()->Get(0), "zz");
    EXPECT_EQ(form->SrchStrCBox->Items()->Get(1), "a");

    delete form;
    delete ReplaceDlgForm;
    ReplaceDlgForm = nullptr;
}
} // namespace

namespace
{
// Each button of the replace dialog pressed as the user presses it, the dialog shown modally.
TEST(Replace, Dialog_EachButtonPressedInTheShownDialogDoesItsPart)
{
    TBoxServices services;
    TPageHost host(400, 200, true);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"a a\r", "a a"});
    auto* form = Create<TRePlaceForm>(nullptr);
    form->SettingsKey = "Software\\VarnoletTest\\ReplaceButtons";
    form->ActiveEditor = [&] { return &ed; };
    form->HandleNeeded();
    auto press = [&](TButton* button, const char* pattern, const char* replacement) {
        form->SrchStrCBox->SetText(pattern);
        form->ReStrCBox->SetText(replacement);
        PostMessageW(button->Handle(), BM_CLICK, 0, 0);
        return form->ShowModal();
    };
    // Replace all, without confirmation: every hit at once, one undo step.
    EXPECT_EQ(press(form->AllRePlaceBtn, "a", "bc"), mrOk);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(JoinedRows(ed), "bc bc\rbc bc");
    // OK: the next hit from the caret, which stands after the last replacement.
    ed.SetCaretRaw(TPoint(0, 0));
    EXPECT_EQ(press(form->OKBtn, "bc", "d"), mrOk);
    EXPECT_EQ(JoinedRows(ed), "d bc\rbc bc");
    // Cancel: nothing replaced, nothing asked.
    EXPECT_EQ(press(form->CancelBtn, "bc", "e"), mrCancel);
    EXPECT_EQ(JoinedRows(ed), "d bc\rbc bc");
    EXPECT_TRUE(services.boxes.empty());
    ed.Undo();
    ed.Undo();
    EXPECT_EQ(JoinedRows(ed), "a a\ra a");
    EXPECT_FALSE(ed.CanUndo());
    delete form;
}
} // namespace
