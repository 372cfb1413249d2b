// File search without its windows: mask matching, the folder form, the line matcher with its
// whole-word test, and the worker over a real folder tree with hits collected on the interface
// thread, including very long lines, links that lead back up the tree and the depth limit.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "search/GrepProc.h"

namespace
{
std::string B(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s.push_back(char(b));
    return s;
}

// ---- masks --------------------------------------------------------------------------------------

TEST(GrepMasks, MatchNamesAsWindowsDoesWithoutFoldingBeyondAscii)
{
    struct Case
    {
        std::string masks;
        std::string name;
        bool match;
    } cases[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "a.b.txt", true}, // '*' gives back what the rest needs
        {"*.txt", "a.txt.bak", false},
        {"*.txt", "a.txt ", false},
        {"*.TXT", "a.txt", true},
        {"*.txt", "README.TXT", true},
        {"?.txt", "ab.txt", false},
        {"??.txt", "ab.txt", true},
        {"?.txt", ".txt", false},
        {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
        {"*a*a*a*a*a*b", std::string(40, 'a'), false},
        {"*.c, *.h", "x.h", true}, // blanks around a field are no part of the mask
        {" *.c ,*.h ", "x.c", true},
        {"*.c,*.h", "x.cpp", false},
        {"\"a,b.txt\"", "a,b.txt", true},
        {"\" a.txt\"", " a.txt", true}, // quoted blanks stay
        {"", "anything.bin", true},
        {" , ", "anything.bin", true},
        {"*表*", "一覧表.txt", true},
        {"ソ*.txt", "ソース.txt", true},
        {"ソ*.txt", "ｿｰｽ.txt", false},
        {"*.ＴＸＴ", "a.ｔｘｔ", false}, // only ASCII letters fold
        {"?.txt", "表.txt", true},     // '?' is one character, not one byte
        // ア is 83 41 and ヂ is 83 61: folding a trail byte would make them one.
        {B({0x83, 0x41}), B({0x83, 0x61}), false},
        {B({0x83, 0x61}), B({0x83, 0x41}), false},
        {B({0x83, 0x5C}) + "*", B({0x83, 0x5C}) + "x", true},
    };
    for (const Case& c : cases)
    {
        TSWildCardsStringCL masks;
        masks.WildCards_Set(AnsiString(c.masks.data(), int(c.masks.size())));
        EXPECT_EQ(masks.WildCards_MatchAny(AnsiString(c.name.data(), int(c.name.size()))), c.match)
            << "masks [" << c.masks << "] name [" << c.name << "]";
    }
}

TEST(GrepMasks, SplitsAtCommasOutsideQuotes)
{
    TSWildCardsStringCL masks;
    masks.WildCards_Set("*.c, \"x,y\" ,, *.h");
    ASSERT_EQ(masks.Count(), 3);
    EXPECT_EQ(masks.Item(0).Mask(), L"*.c");
    EXPECT_EQ(masks.Item(1).Mask(), L"x,y");
    EXPECT_EQ(masks.Item(2).Mask(), L"*.h");
}

TEST(GrepFolder, NormalizesSeparatorsWithoutCuttingDoubleByteCharacters)
{
    struct Case
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\dir\\", "C:\\dir"},
        {"C:\\dir\\\\", "C:\\dir"},
        {"C:/dir/sub/", "C:\\dir\\sub"},
        {"C:\\dir", "C:\\dir"},
        {"C:\\表", "C:\\表"},     // 表 ends in the byte of '\'
        {"C:\\表\\", "C:\\表"},
        {"C:/ソ/", "C:\\ソ"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizeGrepFolder(c.in).str(), std::string(c.out)) << c.in;
}

// ---- the line matcher ---------------------------------------------------------------------------

TEST(GrepMatch, WholeWordTable)
{
    struct Case
    {
        std::string line;
        int pos;
        int len;
        bool word;
    } cases[] = {
        {"abc_d", 0, 3, false}, {"xabc", 1, 3, false}, {"abc-d", 0, 3, true},   {"(abc)", 1, 3, true},
        {"abc", 0, 3, true},    {"abc1", 0, 3, false}, {"abc:", 0, 3, true},    {"漢abc", 2, 3, false},
        {"abc字", 0, 3, false}, {"ｱabc", 1, 3, true},  {"a b", 0, 3, false},    {"x-a", 1, 2, false},
        {" -a ", 1, 2, true},   {"@abc", 1, 3, true},  {"ab`c", 0, 2, true},    {"abc\n", 0, 3, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(typGrepProc::IsWordBoundary(c.line.data(), int(c.line.size()), c.pos, c.len), c.word)
            << c.line << " at " << c.pos;
}

struct THit
{
    int pos;
    int len;
    bool operator==(const THit& o) const { return pos == o.pos && len == o.len; }
};
std::ostream& operator<<(std::ostream& os, const THit& h) { return os << "(" << h.pos << "," << h.len << ")"; }

std::vector<THit> LineHits(typGrepProc& g, const std::string& line)
{
    std::vector<THit> hits;
    int start = 0, pos = 0, len = 0;
    for (int guard = 0; guard < 1000 && g.MatchLine(line.data(), int(line.size()), start, pos, len); ++guard)
    {
        EXPECT_LE(pos + len, int(line.size())) << line;
        if (!hits.empty())
        {
            EXPECT_GT(pos, hits.back().pos) << line;
        }
        hits.push_back({pos, len});
    }
    return hits;
}

TEST(GrepMatch, EveryHitOfALineOnceOnCharacterBoundaries)
{
    struct Case
    {
        std::string pattern;
        bool caseSensitive;
        bool word;
        bool regex;
        std::string line;
        std::vector<THit> hits;
    } cases[] = {
        {"a", true, false, false, "aaa\n", {{0, 1}, {1, 1}, {2, 1}}},
        {"aa", true, false, false, "aaaaa\n", {{0, 2}, {2, 2}}},
        {"A", true, false, false, "ア\n", {}},
        {"\\", true, false, false, "ソ\n", {}},
        {"\\", true, false, false, "ソ\\\n", {{2, 1}}},
        {"abc", false, false, false, "xABCx\n", {{1, 3}}},
        {"ABC", false, false, false, "xabcx\n", {{1, 3}}},
        {"abc", true, false, false, "xABCx\n", {}},
        {B({0x83, 0x61}), false, false, false, "ア\n", {}}, // trail bytes never fold
        {"ア", false, false, false, B({0x83, 0x61}) + "\n", {}},
        {"ア", false, false, false, "xアア\n", {{1, 2}, {3, 2}}},
        {"abc", true, true, false, "abc abc_d xabc (abc) abc-d\n", {{0, 3}, {16, 3}, {21, 3}}},
        {"abc", true, true, false, "漢abc ｱabc\n", {{7, 3}}},
        {"a", true, true, false, std::string(200, 'a') + "\n", {}},
        {"[0-9]+", true, true, true, "a1 22 3b\n", {{3, 2}}},
        {"^abc", true, false, true, "abcabc\n", {{0, 3}}},
        {"b+", false, false, true, "aBbab\n", {{1, 2}, {4, 1}}},
        {"x.y", true, false, true, "xアy\n", {{0, 4}}},
    };
    for (const Case& c : cases)
    {
        typGrepProc g(true);
        g.Setup("C:\\", "", false, c.caseSensitive, c.word, c.regex,
                AnsiString(c.pattern.data(), int(c.pattern.size())));
        EXPECT_EQ(LineHits(g, c.line), c.hits) << "pattern [" << c.pattern << "] line [" << c.line << "]";
    }
}

// The whole-word test as it was first written, classifying each neighbour from the line's start.
bool ReferenceWholeWord(const std::string& line, int pos, int len)
{
    auto word = [](unsigned char c) { return c >= 0x21 && c <= 0x7E && !(c >= 0x3A && c <= 0x40) && c != 0x60; };
    auto ident = [](unsigned char c) { return c < 0x80 && (std::isalnum(c) || c == '_'); };
    for (int i = pos; i < pos + len; ++i)
        if (!word(static_cast<unsigned char>(line[size_t(i)])))
            return false;
    auto fails = [&](int at, unsigned char edge)
    {
        if (ByteTypeAt(line.data(), int(line.size()), at) != mbSingleByte)
            return true;
        const auto b = static_cast<unsigned char>(line[size_t(at)]);
        return edge < 0x80 && std::isalnum(edge) ? ident(b) : word(b);
    };
    if (pos > 0 && fails(pos - 1, static_cast<unsigned char>(line[size_t(pos)])))
        return false;
    return !(pos + len < int(line.size()) && fails(pos + len, static_cast<unsigned char>(line[size_t(pos + len - 1)])));
}

// Whole-word hits are the plain hits that pass the test above, on lines full of double-byte
// characters whose trail bytes read as letters, digits, '_' and symbols, and of stray lead bytes.
TEST(GrepMatch, WholeWordHitsAreThePlainHitsThatPassTheTestOnMixedLines)
{
    const char* const tokens[] = {"ab", "a", "_", "1", "-", " ", "(", "ア", "ソ", "ヂ", "表", "\x83", "\x81_",
                                  "\x88\x9F", "ｱ", ":", "ab_1"};
    const char* const patterns[] = {"ab", "a", "1", "_", "-", "ab_1", "[a-b]+", "[0-9_]", "a*b"};
    std::mt19937 rng(4417);
    for (int round = 0; round < 400; ++round)
    {
        std::string line;
        for (int k = int(rng() % 40); k > 0; --k)
            line += tokens[rng() % std::size(tokens)];
        const char* pattern = patterns[rng() % std::size(patterns)];
        const bool regex = std::strpbrk(pattern, "[*+") != nullptr;
        typGrepProc plain(true), word(true);
        plain.Setup("C:\\", "", false, true, false, regex, pattern);
        word.Setup("C:\\", "", false, true, true, regex, pattern);
        std::vector<THit> expected;
        for (const THit& h : LineHits(plain, line))
            if (ReferenceWholeWord(line, h.pos, h.len))
                expected.push_back(h);
        // A rejected regular-expression hit is stepped over whole, a plain one by a character.
        if (!regex)
        {
            ASSERT_EQ(LineHits(word, line), expected) << "round " << round << " pattern " << pattern;
        }
        for (const THit& h : LineHits(word, line))
            ASSERT_TRUE(ReferenceWholeWord(line, h.pos, h.len)) << "round " << round << " pattern " << pattern;
    }
}

// Plain patterns over random bytes thick with lead-byte values (which can be trail bytes too): the
// hits are those of a walk over the characters from the line's start, each once, left to right.
TEST(GrepMatch, PlainHitsFollowACharacterWalkOverRunsOfLeadBytes)
{
    const std::string symbols[] = {B({0x81}), B({0x88}), B({0x9F}), B({0xE0}), "A", "a", "\\", B({0xB1}), "b"};
    auto charLen = [](const std::string& s, size_t at) {
        return IsSjisLead(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
    };
    auto fold = [&](std::string s) {
        for (size_t i = 0; i < s.size(); i += size_t(charLen(s, i)))
            if (s[i] >= 'a' && s[i] <= 'z')
                s[i] = char(s[i] - 32);
        return s;
    };
    std::mt19937 rng(4711);
    for (int round = 0; round < 4000; ++round)
    {
        std::string line, pattern;
        for (size_t n = rng() % 40; n > 0; --n)
            line += symbols[rng() % std::size(symbols)];
        for (size_t n = 1 + rng() % 3; n > 0; --n)
            pattern += symbols[rng() % std::size(symbols)];
        const bool caseSensitive = rng() % 2 == 0;
        const std::string hay = caseSensitive ? line : fold(line);
        const std::string needle = caseSensitive ? pattern : fold(pattern);
        std::vector<THit> want;
        for (size_t i = 0; i < hay.size();)
        {
            size_t end = i;
            while (end < i + needle.size() && end < hay.size())
                end += size_t(charLen(line, end));
            if (end == i + needle.size() && hay.compare(i, needle.size(), needle) == 0)
            {
                want.push_back({int(i), int(needle.size())});
                i = end;
            }
            else
                i += size_t(charLen(line, i));
        }
        typGrepProc g(true);
        g.Setup("C:\\", "", false, caseSensitive, false, false, AnsiString(pattern.data(), int(pattern.size())));
        ASSERT_EQ(LineHits(g, line), want) << "round " << round;
    }
}

TEST(GrepMatch, ZeroWidthPatternsReportEachPlaceOnce)
{
    struct Case
    {
        const char* pattern;
        const char* line;
        size_t count;
    } cases[] = {{"$", "abc\n", 1}, {"$", "", 1}, {"^", "abc\n", 1}, {"x*", "ab\n", 3}, {"a*", "baab\n", 4}};
    for (const Case& c : cases)
    {
        typGrepProc g(true);
        g.Setup("C:\\", "", false, true, false, true, c.pattern);
        EXPECT_EQ(LineHits(g, c.line).size(), c.count) << c.pattern << " on " << c.line;
    }
}

TEST(GrepMatch, SetupRefusesInvalidAndEmptyPatterns)
{
    typGrepProc g(true);
    EXPECT_THROW(g.Setup("C:\\", "", false, true, false, true, "a**"), ERegexpError);
    EXPECT_THROW(g.Setup("C:\\", "", false, true, false, true, "*a"), ERegexpError);
    EXPECT_THROW(g.Setup("C:\\", "", false, true, false, false, ""), Exception);
    EXPECT_NO_THROW(g.Setup("C:\\", "", false, true, false, false, "a**"));
}

// ---- the worker over a folder tree --------------------------------------------------------------

std::wstring W(const std::string& sjis) { return SjisToWide(sjis.c_str(), int(sjis.size())); }

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(h);
}

// A temporary folder tree, removed at the end.
class TTree
{
public:
    TTree()
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        root = std::wstring(tmp) + L"vn_grep_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++serial_);
        RemoveTree(root);
        CreateDirectoryW(root.c_str(), nullptr);
    }
    ~TTree() { RemoveTree(root); }
    void Dir(const std::string& rel) { CreateDirectoryW((root + L"\\" + W(rel)).c_str(), nullptr); }
    void File(const std::string& rel, const std::string& bytes) { WriteBytes(root + L"\\" + W(rel), bytes); }
    AnsiString Root() const { return WideToSjis(root); }

    std::wstring root;

private:
    static inline int serial_ = 0;
};

struct TCollector
{
    std::vector<typGrepInf> hits;
    bool offThread = false;
    bool currentHitSeen = true;
    typGrepProc* stopAfterFirst = nullptr;
    void OnHit(TObject* sender, typGrepInf* hit)
    {
        if (GetCurrentThreadId() != MainThreadID())
            offThread = true;
        auto* g = dynamic_cast<typGrepProc*>(sender);
        if (!g || g->CurrentHit() != hit)
            currentHitSeen = false;
        hits.push_back(*hit);
    }
};

struct TExpected
{
    std::string rel;
    int line;
    int pos;
    int len;
    std::string text;
};

void ExpectHits(const TCollector& c, const AnsiString& root, const std::vector<TExpected>& expected)
{
    EXPECT_FALSE(c.offThread);
    EXPECT_TRUE(c.currentHitSeen);
    std::string got;
    for (const typGrepInf& h : c.hits)
        got += h.Path.str() + "(" + std::to_string(h.LineNo) + ")@" + std::to_string(h.Position) + "\n";
    ASSERT_EQ(c.hits.size(), expected.size()) << got;
    for (size_t i = 0; i < expected.size(); ++i)
    {
        const typGrepInf& h = c.hits[i];
        const TExpected& e = expected[i];
        EXPECT_EQ(h.Path.str(), root.str() + "\\" + e.rel) << i;
        EXPECT_EQ(h.LineNo, e.line) << e.rel;
        EXPECT_EQ(h.Position, e.pos) << e.rel;
        EXPECT_EQ(h.Length, e.len) << e.rel;
        if (!e.text.empty())
        {
            EXPECT_EQ(h.Line.str(), e.text) << e.rel;
        }
    }
}

const std::string kLong = std::string(3000000, 'x') + "find\r\n";

void BuildTree(TTree& t)
{
    t.File("a.txt", "first line\r\nfind me here\r\nfind find\r\n");
    t.File("b.log", "find\n");
    t.File("bin.txt", std::string("find\0find\nabc find", 18));
    t.File("long.txt", kLong);
    t.File("表ソ.txt", "ソfind\n");
    t.Dir("sub");
    t.File("sub\\c.TXT", "no\nFIND\n");
    t.Dir("sub\\深い");
    t.File("sub\\深い\\d.txt", "x find");
}

// Runs one search to its end, waiting on the interface thread without pumping messages first.
void RunSearch(TCollector& c, const AnsiString& folder, const AnsiString& masks, bool recurse, bool caseSensitive,
         bool word, bool regex, const AnsiString& pattern, int* hitCount = nullptr,
         int maxHits = typGrepProc::kDefaultMaxHits)
{
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(folder, masks, recurse, caseSensitive, word, regex, pattern);
    g->MaxHits = maxHits;
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    g->Start();
    g->WaitFor();
    EXPECT_TRUE(g->Finished());
    EXPECT_FALSE(g->FatalException());
    EXPECT_EQ(g->Depth(), 0);
    if (hitCount)
        *hitCount = g->HitCount();
}

TEST(GrepProc, SearchesTheTreeAndHandsEveryHitToTheInterfaceThread)
{
    TTree t;
    BuildTree(t);
    TCollector c;
    int count = 0;
    // A trailing separator and '/' are the same folder.
    std::string folder = t.Root().str() + "/";
    RunSearch(c, AnsiString(folder.c_str()), "*.txt", true, false, false, false, "find", &count);
    ExpectHits(c, t.Root(),
               {
                   {"a.txt", 2, 0, 4, "find me here\n"},
                   {"a.txt", 3, 0, 4, "find find\n"},
                   {"a.txt", 3, 5, 4, ""},
                   {"bin.txt", 1, 0, 4, "find"}, // a line ends at its first NUL
                   {"bin.txt", 2, 4, 4, "abc find"},
                   {"long.txt", 1, 3000000, 4, ""}, // lines are read whole
                   {"表ソ.txt", 1, 2, 4, "ソfind\n"},
                   {"sub\\c.TXT", 2, 0, 4, "FIND\n"},
                   {"sub\\深い\\d.txt", 1, 2, 4, "x find"},
               });
    EXPECT_EQ(count, 9);
}

TEST(GrepProc, HonoursCaseWholeWordSubfoldersAndRegularExpressions)
{
    TTree t;
    BuildTree(t);
    {
        TCollector c;
        RunSearch(c, t.Root(), "*.txt", false, true, false, false, "find");
        ExpectHits(c, t.Root(),
                   {{"a.txt", 2, 0, 4, ""},
                    {"a.txt", 3, 0, 4, ""},
                    {"a.txt", 3, 5, 4, ""},
                    {"bin.txt", 1, 0, 4, ""},
                    {"bin.txt", 2, 4, 4, ""},
                    {"long.txt", 1, 3000000, 4, ""},
                    {"表ソ.txt", 1, 2, 4, ""}});
    }
    {
        TCollector c;
        RunSearch(c, t.Root(), "*.txt", true, true, false, false, "FIND");
        ExpectHits(c, t.Root(), {{"sub\\c.TXT", 2, 0, 4, ""}});
    }
    {
        // Next to ソ or a letter a word is no whole word.
        TCollector c;
        RunSearch(c, t.Root(), "*.txt,*.log", true, false, true, false, "find");
        ExpectHits(c, t.Root(),
                   {{"a.txt", 2, 0, 4, ""},
                    {"a.txt", 3, 0, 4, ""},
                    {"a.txt", 3, 5, 4, ""},
                    {"b.log", 1, 0, 4, ""},
                    {"bin.txt", 1, 0, 4, ""},
                    {"bin.txt", 2, 4, 4, ""},
                    {"sub\\c.TXT", 2, 0, 4, ""},
                    {"sub\\深い\\d.txt", 1, 2, 4, ""}});
    }
    {
        TCollector c;
        RunSearch(c, t.Root(), "*.txt", true, false, false, true, "f[i]nd$");
        ExpectHits(c, t.Root(),
                   {{"a.txt", 3, 5, 4, ""},
                    {"bin.txt", 1, 0, 4, ""},
                    {"bin.txt", 2, 4, 4, ""},
                    {"long.txt", 1, 3000000, 4, ""},
                    {"表ソ.txt", 1, 2, 4, ""},
                    {"sub\\c.TXT", 2, 0, 4, ""},
                    {"sub\\深い\\d.txt", 1, 2, 4, ""}});
    }
    {
        TCollector c;
        RunSearch(c, t.Root(), "*.none", true, false, false, false, "find");
        EXPECT_TRUE(c.hits.empty());
    }
}

TEST(GrepProc, HitsReachTheInterfaceThreadWhileTheWorkerGoesOnWithoutWaitingForIt)
{
    TTree t;
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "a hit " + std::to_string(i) + "\n";
    t.File("many.txt", text);
    TCollector c;
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(t.Root(), "", true, true, false, false, "hit");
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    g->Start();
    // Nothing here runs synchronised calls: every hit taken comes from the queue, while the worker
    // cannot finish (its last hand-over waits for this thread).
    for (int i = 0; i < 10000 && c.hits.size() < 2000; ++i)
    {
        g->DeliverQueuedHits();
        Sleep(1);
    }
    EXPECT_EQ(c.hits.size(), 2000u);
    EXPECT_FALSE(g->Finished());
    g->WaitFor();
    ASSERT_EQ(c.hits.size(), 2000u); // none twice
    for (size_t i = 0; i < c.hits.size(); ++i)
        ASSERT_EQ(c.hits[i].LineNo, int(i) + 1);
    EXPECT_FALSE(c.offThread);
    EXPECT_TRUE(c.currentHitSeen);
}

// Hits piling up wake the interface thread through an event it waits on beside the worker's end,
// and the hits it takes then are whole, in order: the event fires again for the next pile.
TEST(GrepProc, HitsPilingUpSignalTheirEventUntilTakenAndAgainForTheNextPile)
{
    TTree t;
    std::string text;
    for (int i = 0; i < 60000; ++i)
        text += "x " + std::to_string(i) + "\n";
    t.File("piles.txt", text);
    TCollector c;
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(t.Root(), "", true, true, false, false, "x");
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    ASSERT_NE(g->HitsWaiting(), nullptr);
    g->Start();
    int wakes = 0;
    for (int quiet = 0; !g->Finished() && quiet < 100 && (wakes == 0 || quiet < 3);)
    {
        const HANDLE handles[] = {g->HitsWaiting(), g->Handle()};
        if (WaitForMultipleObjects(2, handles, FALSE, 100) == WAIT_OBJECT_0)
        {
            ++wakes;
            g->DeliverQueuedHits();
        }
        else
            ++quiet; // the worker may be waiting for its last hand-over
    }
    g->WaitFor();
    EXPECT_GE(wakes, 2);
    ASSERT_EQ(c.hits.size(), 60000u);
    for (size_t i = 0; i < c.hits.size(); ++i)
        ASSERT_EQ(c.hits[i].LineNo, int(i) + 1);
}

TEST(GrepProc, StopsBetweenFilesWhenAsked)
{
    TTree t;
    for (int i = 0; i < 20; ++i)
        t.File("f" + std::to_string(100 + i) + ".txt", "hit\nhit\nhit\n");
    TCollector c;
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(t.Root(), "", true, true, false, false, "hit");
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    // Held at the first hit, so that the stop comes while the first file is being read.
    g->Pause = true;
    g->Start();
    for (int i = 0; i < 5000 && g->FilesSearched() == 0; ++i)
        Sleep(1);
    ASSERT_EQ(g->FilesSearched(), 1);
    g->Terminate();
    g->WaitFor();
    // The hit found before the stop (if the worker got that far) is handed over; no other line or
    // file is searched.
    EXPECT_EQ(g->FilesSearched(), 1);
    EXPECT_LE(g->HitCount(), 1);
    EXPECT_EQ(c.hits.size(), size_t(g->HitCount()));
}

// A stop asked while the worker waits at a hit: the rest of that line, and a long line after it,
// give nothing, whether the line is matched as text or by a regular expression.
TEST(GrepProc, AStopInsideALineDeliversNothingFoundAfterIt)
{
    std::string longLine;
    while (longLine.size() < 900000)
        longLine += "hit ";
    const struct
    {
        const char* name;
        std::string text;
        bool regex;
    } cases[] = {
        {"inside a long line", longLine + "\n", false},
        {"before a long line", "hit\n" + longLine + "\n", false},
        {"before a long line, regular expression", "hit\n" + longLine + "\n", true},
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(k.name);
        TTree t;
        t.File("a.txt", k.text);
        TCollector c;
        std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
        g->Setup(t.Root(), "", true, true, false, k.regex, k.regex ? "h[i]t" : "hit");
        g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
        g->Pause = true;
        g->Start();
        for (int i = 0; i < 5000 && g->FilesSearched() == 0; ++i)
            Sleep(1);
        Sleep(20); // most likely at the first hit's pause by now
        g->Terminate();
        g->WaitFor();
        EXPECT_TRUE(g->Finished());
        // At most the hit that waited at the pause; the worker may have been stopped before it.
        EXPECT_LE(g->HitCount(), 1);
        ASSERT_EQ(c.hits.size(), size_t(g->HitCount()));
        if (!c.hits.empty())
        {
            EXPECT_EQ(c.hits[0].LineNo, 1);
            EXPECT_EQ(c.hits[0].Position, 0);
        }
    }
}

TEST(GrepProc, DeletingARunningWorkerStopsAndWaitsForIt)
{
    TTree t;
    for (int i = 0; i < 5; ++i)
        t.File("f" + std::to_string(i) + ".txt", "hit\n");
    TCollector c;
    auto* g = Create<typGrepProc>(true);
    g->Setup(t.Root(), "", true, true, false, false, "hit");
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    g->Pause = true;
    g->Start();
    for (int i = 0; i < 5000 && g->FilesSearched() == 0; ++i)
        Sleep(1);
    delete g; // must neither hang nor leave a hit behind that names freed memory
    EXPECT_LE(c.hits.size(), 1u);
}

TEST(GrepProc, StopsAndSaysSoPastTheHitLimit)
{
    TTree t;
    std::string many;
    for (int i = 0; i < 10; ++i)
        many += "hit hit\n";
    t.File("a.txt", many);
    t.File("b.txt", many);
    TCollector c;
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(t.Root(), "", true, true, false, false, "hit");
    g->MaxHits = 5;
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    g->Start();
    g->WaitFor();
    EXPECT_TRUE(g->HitLimitReached());
    EXPECT_EQ(g->HitCount(), 5);
    EXPECT_EQ(c.hits.size(), 5u);
    EXPECT_EQ(g->FilesSearched(), 1);
}

TEST(GrepProc, CurrentFolderIsReadableWhileItRuns)
{
    TTree t;
    t.Dir("sub");
    t.File("sub\\x.txt", "hit\n");
    std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
    g->Setup(t.Root() + "\\", "", true, true, false, false, "hit");
    EXPECT_EQ(g->CurrentFolder().str(), t.Root().str());
    g->Pause = true;
    TCollector c;
    g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
    g->Start();
    for (int i = 0; i < 5000 && g->FilesSearched() == 0; ++i)
        Sleep(1);
    EXPECT_EQ(g->CurrentFolder().str(), t.Root().str() + "\\sub");
    EXPECT_EQ(g->Depth(), 2);
    g->Pause = false;
    g->WaitFor();
    EXPECT_EQ(g->CurrentFolder().str(), t.Root().str());
    EXPECT_EQ(c.hits.size(), 1u);
}
TEST(GrepProc, EverySpellingOfTheFolderFindsTheSameHitsUnderOnePath)
{
    TTree t;
    t.File("a.txt", "find\n");
    t.Dir("sub");
    t.File("sub\\b.txt", "x find\n");
    std::string slashed = t.Root().str();
    for (char& c : slashed)
        if (c == '\\')
            c = '/';
    const std::string forms[] = {t.Root().str(), t.Root().str() + "\\", t.Root().str() + "\\\\", slashed,
                                 slashed + "/", slashed + "//"};
    for (const std::string& form : forms)
    {
        SCOPED_TRACE(form);
        TCollector c;
        RunSearch(c, AnsiString(form.c_str()), "", true, true, false, false, "find");
        ExpectHits(c, t.Root(), {{"a.txt", 1, 0, 4, "find\n"}, {"sub\\b.txt", 1, 2, 4, "x find\n"}});
    }
}

// ---- hard cases: long lines, links, depth -------------------------------------------------------

TEST(GrepProc, AVeryLongLineKeepsEachHitOnceAtItsPlaceAndItsTextOnce)
{
    constexpr int kBlock = 1 << 20; // the worker's read size
    TTree t;
    // No line end; hits at the start, just after ア whose bytes the first block edge parts, across
    // the second edge and at the very end.
    std::string one(5 * kBlock + 3, 'x');
    auto put = [](std::string& s, size_t at, const std::string& what) { s.replace(at, what.size(), what); };
    put(one, 0, "find");
    put(one, kBlock - 1, "アfind");
    put(one, 2 * kBlock - 2, "find");
    put(one, one.size() - 4, "find");
    t.File("one.txt", one);
    // Thousands of hits on one 4 MB line: each hit names the line, none copies it.
    std::string many(4 * kBlock, 'y');
    for (size_t at = 0; at < many.size(); at += 1024)
        put(many, at, "find");
    t.File("many.txt", many);

    struct Mode
    {
        const char* pattern;
        bool caseSensitive;
        bool regex;
    } modes[] = {{"find", true, false}, {"FIND", false, false}, {"f[i]nd", true, true}};
    for (const Mode& m : modes)
    {
        SCOPED_TRACE(m.pattern);
        TCollector c;
        RunSearch(c, t.Root(), "one.txt", false, m.caseSensitive, false, m.regex, m.pattern);
        ExpectHits(c, t.Root(),
                   {{"one.txt", 1, 0, 4, one},
                    {"one.txt", 1, kBlock + 1, 4, ""},
                    {"one.txt", 1, 2 * kBlock - 2, 4, ""},
                    {"one.txt", 1, int(one.size()) - 4, 4, one}});

        TCollector d;
        RunSearch(d, t.Root(), "many.txt", false, m.caseSensitive, false, m.regex, m.pattern);
        ASSERT_EQ(d.hits.size(), many.size() / 1024);
        for (size_t i = 0; i < d.hits.size(); ++i)
        {
            const typGrepInf& h = d.hits[i];
            ASSERT_EQ(h.LineNo, 1) << i;
            ASSERT_EQ(h.Position, int(i * 1024)) << i;
            ASSERT_EQ(h.Line.Length(), int(many.size())) << i;
        }
        EXPECT_EQ(d.hits.back().Line.view(), many);
    }
}

// The search as a model sees it: a line ends after each LF; a line longer than cap is taken in
// pieces of whole characters that keep its number and know their offset in it; CR LF reads as LF
// and a NUL ends the text of a line; hits are found at character starts, left to right, without
// overlapping.
struct TModelHit
{
    int line;
    int pos;
    size_t text; // index into the model's lines
    int offset;  // of the piece in its line
};

size_t ModelCharLen(const std::string& s, size_t at, size_t end)
{
    return IsSjisLead(static_cast<unsigned char>(s[at])) && at + 1 < end ? 2 : 1;
}

std::vector<TModelHit> ModelSearch(const std::string& bytes, size_t cap, const std::string& pattern, bool fold,
                                   std::vector<std::string>& lines)
{
    lines.clear();
    std::vector<int> numbers, offsets;
    for (size_t i = 0; i < bytes.size();)
    {
        const size_t nl = bytes.find('\n', i);
        const size_t end = nl == std::string::npos ? bytes.size() : nl + 1;
        const int number = numbers.empty() ? 1 : numbers.back() + 1;
        size_t s = i;
        while (end - s > cap)
        {
            size_t k = s;
            while (k - s + ModelCharLen(bytes, k, end) <= cap)
                k += ModelCharLen(bytes, k, end);
            lines.push_back(bytes.substr(s, k - s));
            numbers.push_back(number);
            offsets.push_back(int(s - i));
            s = k;
        }
        lines.push_back(bytes.substr(s, end - s));
        numbers.push_back(number);
        offsets.push_back(int(s - i));
        i = end;
    }
    auto up = [fold](char c) { return fold && c >= 'a' && c <= 'z' ? char(c - 32) : c; };
    std::vector<TModelHit> hits;
    for (size_t n = 0; n < lines.size(); ++n)
    {
        std::string& line = lines[n];
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0)
            line.replace(line.size() - 2, 2, "\n");
        line = line.substr(0, line.find('\0'));
        for (size_t i = 0; i + pattern.size() <= line.size();)
        {
            bool same = true;
            for (size_t j = 0; j < pattern.size() && same; ++j)
                same = up(line[i + j]) == up(pattern[j]);
            if (same)
            {
                hits.push_back({numbers[n], int(i), n, offsets[n]});
                i += pattern.size();
            }
            else
                i += ModelCharLen(line, i, line.size());
        }
    }
    return hits;
}

// Stretches of short lines and long runs without a line end (up to 1.5 MB, so lines cross the
// worker's 1 MB reads), with hits in both cases, double-byte characters whose bytes are lead bytes
// too, lone lead bytes, CR LF and a rare NUL.
std::string RandomText(std::mt19937& rng, size_t size)
{
    const std::vector<std::string> pieces = {"find", "FiNd", "fin", "ind", "\n", "\r\n", "\r", "ア", "ソ",
                                             "亜", "＠", B({0x83}), B({0x88, 0x9F, 0x88}), std::string(1, '\0')};
    const int weights[] = {6, 2, 2, 2, 3, 3, 1, 2, 2, 2, 2, 1, 1, 1};
    std::discrete_distribution<int> pick(std::begin(weights), std::end(weights));
    std::string text;
    while (text.size() < size)
    {
        const bool longLine = rng() % 3 == 0;
        const size_t stretch = longLine ? 100000 + rng() % 1400000 : 1000 + rng() % 200000;
        const size_t stop = text.size() + stretch;
        while (text.size() < stop)
        {
            int k = pick(rng);
            if (longLine && (k == 4 || k == 5))
                k = 0;
            text += pieces[size_t(k)];
            text.append(rng() % 40, 'x');
        }
    }
    return text;
}

TEST(GrepProc, LinesOfAnyLengthFollowTheModelAtEveryLineCap)
{
    const unsigned seeds[] = {20240601u, 77u};
    const int caps[] = {typGrepProc::kDefaultMaxLineBytes, 700000, 1000, 17};
    struct Mode
    {
        const char* pattern;
        bool caseSensitive;
        bool regex;
    } modes[] = {{"find", true, false}, {"FIND", false, false}, {"f[i]nd", true, true}};
    TTree t;
    for (unsigned seed : seeds)
    {
        std::mt19937 rng(seed);
        const std::string text = RandomText(rng, 2600000);
        t.File("r.txt", text);
        for (int cap : caps)
            for (const Mode& m : modes)
            {
                SCOPED_TRACE("seed " + std::to_string(seed) + ", cap " + std::to_string(cap) + ", " +
                             m.pattern);
                std::vector<std::string> lines;
                const std::vector<TModelHit> expected =
                    ModelSearch(text, size_t(cap), "find", !m.caseSensitive, lines);
                TCollector c;
                std::unique_ptr<typGrepProc> g(Create<typGrepProc>(true));
                g->Setup(t.Root(), "r.txt", false, m.caseSensitive, false, m.regex, m.pattern);
                g->MaxLineBytes = cap;
                g->OnFileFind = TGrepFileFindEvent(&c, &TCollector::OnHit);
                g->Start();
                g->WaitFor();
                ASSERT_FALSE(g->FatalException());
                ASSERT_EQ(c.hits.size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i)
                {
                    const typGrepInf& h = c.hits[i];
                    const TModelHit& e = expected[i];
                    ASSERT_EQ(h.LineNo, e.line) << "hit " << i;
                    ASSERT_EQ(h.Position, e.pos) << "hit " << i;
                    ASSERT_EQ(h.LineOffset, e.offset) << "hit " << i;
                    ASSERT_EQ(h.Length, 4) << "hit " << i;
                    ASSERT_TRUE(h.Line.view() == lines[e.text]) << "hit " << i;
                }
            }
    }
}

// ---- links --------------------------------------------------------------------------------------

// The Unix name of a Windows path under Wine ("" elsewhere).
std::string UnixName(const std::wstring& path)
{
    using TUnixName = char*(CDECL*)(LPCWSTR);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    auto unixName = reinterpret_cast<TUnixName>(reinterpret_cast<void*>(found));
    if (!unixName)
        return "";
    char* name = unixName(path.c_str());
    if (!name)
        return "";
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a Unix program from Wine and waits until done() holds; Wine hands back no process handle
// to wait on, so the file system is watched instead.
bool RunUnix(const std::string& command, const std::function<bool()>& done)
{
    std::wstring line(command.begin(), command.end()); // ASCII paths only
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    if (pi.hProcess)
    {
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    for (int i = 0; i < 2000 && !done(); ++i)
        Sleep(5);
    return done();
}

// A folder with links in it, all removed at the end: by the Unix side under Wine (where removing
// a link by its Windows name removes its target), else the Windows links first.
class TLinkedTree
{
public:
    TLinkedTree()
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        // A fresh name: what an earlier run left may hold links that a plain removal would follow.
        for (int i = 0; i < 1000; ++i)
        {
            base = std::wstring(tmp) + L"vn_grep_links_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                   std::to_wstring(i);
            if (CreateDirectoryW(base.c_str(), nullptr))
                break;
        }
        unixBase_ = UnixName(base);
    }
    ~TLinkedTree()
    {
        if (!unixBase_.empty())
        {
            RunUnix("/bin/rm -rf \"" + unixBase_ + "\"",
                    [this] { return GetFileAttributesW(base.c_str()) == INVALID_FILE_ATTRIBUTES; });
            return;
        }
        for (const std::wstring& link : windowsLinks_)
            RemoveDirectoryW(link.c_str());
        RemoveTree(base);
    }
    void Dir(const std::string& rel) { CreateDirectoryW(Path(rel).c_str(), nullptr); }
    void File(const std::string& rel, const std::string& bytes) { WriteBytes(Path(rel), bytes); }
    std::wstring Path(const std::string& rel) const { return base + L"\\" + W(rel); }
    AnsiString Name(const std::string& rel) const { return WideToSjis(Path(rel)); }
    // A link to a folder; false when this system makes none.
    bool Link(const std::string& rel, const std::string& target)
    {
        const std::wstring link = Path(rel);
        auto made = [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; };
        if (!unixBase_.empty())
            return RunUnix("/bin/ln -s \"" + UnixName(Path(target)) + "\" \"" + UnixName(link) + "\"", made);
        const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
        if (CreateSymbolicLinkW(link.c_str(), Path(target).c_str(), flags) && made())
        {
            windowsLinks_.push_back(link);
            return true;
        }
        return false;
    }

    std::wstring base;

private:
    std::string unixBase_;
    std::vector<std::wstring> windowsLinks_;
};

TEST(GrepProc, LinkedFoldersAreNotEnteredSoALoopEndsAndEachFileIsSearchedOnce)
{
    TLinkedTree t;
    t.Dir("tree");
    t.File("tree\\a.txt", "find\n");
    t.Dir("tree\\sub");
    t.File("tree\\sub\\b.txt", "find\n");
    t.Dir("other");
    t.File("other\\c.txt", "find\n");
    // Two ways back up make a walk that follows links double with each level.
    if (!t.Link("tree\\sub\\up", "tree") || !t.Link("tree\\sub\\self", "tree\\sub") ||
        !t.Link("tree\\out", "other"))
        GTEST_SKIP() << "no folder links can be made here";
    ASSERT_TRUE(GetFileAttributesW(t.Path("tree\\sub\\up\\a.txt").c_str()) != INVALID_FILE_ATTRIBUTES);

    // Were the links followed, the hit limit would end the walk rather than the depth limit.
    const AnsiString tree = t.Name("tree");
    TCollector c;
    int count = 0;
    RunSearch(c, tree, "*.txt", true, true, false, false, "find", &count, 1000);
    ExpectHits(c, tree, {{"a.txt", 1, 0, 4, ""}, {"sub\\b.txt", 1, 0, 4, ""}});
    EXPECT_EQ(count, 2);

    // A link named as the folder to search is searched: the user chose it.
    TCollector d;
    const AnsiString viaLink = t.Name("tree\\sub\\up");
    RunSearch(d, viaLink, "*.txt", true, true, false, false, "find", nullptr, 1000);
    ExpectHits(d, viaLink, {{"a.txt", 1, 0, 4, ""}, {"sub\\b.txt", 1, 0, 4, ""}});
}

TEST(GrepProc, FoldersBeyondTheDepthLimitAreNotEntered)
{
    TTree t;
    std::string rel;
    t.File("f.txt", "find\n");
    for (int depth = 1; depth <= typGrepProc::kMaxDepth + 2; ++depth)
    {
        rel += (rel.empty() ? "" : "\\") + std::string("d");
        t.Dir(rel);
        t.File(rel + "\\f.txt", "find\n");
    }
    ASSERT_NE(GetFileAttributesW((t.root + L"\\" + W(rel) + L"\\f.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "this system refuses paths that long";
    TCollector c;
    int count = 0;
    RunSearch(c, t.Root(), "", true, true, false, false, "find", &count);
    ASSERT_EQ(count, typGrepProc::kMaxDepth + 1);
    ASSERT_EQ(c.hits.size(), size_t(typGrepProc::kMaxDepth + 1));
    std::string deepest = t.Root().str();
    for (int depth = 1; depth <= typGrepProc::kMaxDepth; ++depth)
        deepest += "\\d";
    EXPECT_EQ(c.hits.back().Path.str(), deepest + "\\f.txt");
}

} // namespace
