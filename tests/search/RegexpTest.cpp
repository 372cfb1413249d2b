#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "search/Regexp.h"
#include "tests/HexText.h"

namespace
{
struct THit
{
    int Pos;
    int Len;
    bool operator==(const THit& o) const { return Pos == o.Pos && Len == o.Len; }
};

std::ostream& operator<<(std::ostream& os, const THit& h) { return os << "(" << h.Pos << "," << h.Len << ")"; }

THit Find(TRegexp& re, const std::string& text, int start)
{
    int len = -1;
    int pos = re.find(text.data(), int(text.size()), &len, start);
    return {pos, len};
}

std::vector<THit> AllHits(TRegexp& re, const std::string& text)
{
    std::vector<THit> hits;
    int start = 0, pos = 0, len = 0;
    while (re.FindNext(text.data(), int(text.size()), start, pos, len))
    {
        hits.push_back({pos, len});
        if (start > int(text.size()) + 1 || hits.size() > text.size() + 2)
        {
            ADD_FAILURE() << "FindNext does not move on: start " << start;
            break;
        }
    }
    EXPECT_EQ(start, int(text.size()) + 1);
    return hits;
}

struct TRow
{
    const char* pattern;
    std::string text;
    int start;
    bool ignoreCase;
    int pos;
    int len;
};

void CheckRows(const std::vector<TRow>& rows)
{
    for (const TRow& r : rows)
    {
        SCOPED_TRACE("pattern \"" + Hex(r.pattern) + "\" text \"" + Hex(r.text) + "\" start " +
                     std::to_string(r.start) + (r.ignoreCase ? " ignoring case" : ""));
        TRegexp re(r.pattern, r.ignoreCase);
        EXPECT_EQ(Find(re, r.text, r.start), (THit{r.pos, r.pos < 0 ? 0 : r.len}));
        TRegexp states(r.pattern, r.ignoreCase);
        states.SetBacktrackLimit(0);
        EXPECT_EQ(Find(states, r.text, r.start), (THit{r.pos, r.pos < 0 ? 0 : r.len}));
    }
}
} // namespace

TEST(TRegexp, Find_FollowsEveryRuleOfTheDialect)
{
    const bool ic = true;
    CheckRows({
        // Literals and '.'; the pattern ends at a newline.
        {"abc", "xxabcx", 0, false, 2, 3},
        {"abc", "xxabx", 0, false, -1, 0},
        {"a.c", "abc", 0, false, 0, 3},
        {"a.c", "a\nc", 0, false, -1, 0},
        {".", "あ", 0, false, 0, 2},
        {"a.c", "aあc", 0, false, 0, 4},
        {"a\nzzz", "xa", 0, false, 1, 1},
        // Classes: ranges either way round, '-' first or last, ']' only escaped, the end of the pattern
        // closes, '^' only first negates, escapes inside.
        {"[a-c]+", "xxbcaz", 0, false, 2, 3},
        {"[c-a]+", "xxbcaz", 0, false, 2, 3},
        {"[-a]+", "x-a-", 0, false, 1, 3},
        {"[a-]+", "x-a-", 0, false, 1, 3},
        {"[^a]", "a\n", 0, false, 1, 1},
        {"[\\]]", "a]", 0, false, 1, 1},
        {"[]a]", "]a]", 0, false, -1, 0},
        {"[^]", "x", 0, false, 0, 1},
        {"[abc", "xc", 0, false, 1, 1},
        {"[\\t]", "a\tb", 0, false, 1, 1},
        {"[\\x41-\\x43]+", "ABCD", 0, false, 0, 3},
        {"[^\\n]+", "ab\n", 0, false, 0, 2},
        {"[.]", "a.", 0, false, 1, 1},
        {"[*+?]+", "a*+?", 0, false, 1, 3},
        {"[a^]+", "x^a", 0, false, 1, 2},
        {"[1]", "ｱ", 0, false, 0, 1}, // single bytes of 0x80 and above count by their low seven bits
        {"[あい]", "xい", 0, false, 1, 2},
        {"[ぁ-ん]+", "カなかナ", 0, false, 2, 4},
        {"[ん-ぁ]+", "カなかナ", 0, false, 2, 4},
        {"[^a]", "あ", 0, false, 0, 2},
        {"[^あ]", "あい", 0, false, 2, 2},
        // Closures: greedy, backing off whole elements; '+' keeps its first element; '?' backtracks.
        // An empty match where the search began counts the character there; elsewhere, or with
        // nothing there, it counts nothing.
        {"a*", "bbb", 0, false, 0, 1},
        {"a*", "xab", 1, false, 1, 1},
        {"a*", "xbb", 1, false, 1, 1},
        {"x*", "あい", 2, false, 2, 2},
        {"$", "abc\n", 0, false, 3, 0},
        {"$", "abc\n", 3, false, 3, 1},
        {"$", "abc", 3, false, 3, 0},
        {"^", "aaa", 1, false, 1, 1},
        {"b?$", "ab\n", 2, false, 2, 1},
        {"b?$", "ab\n", 0, false, 1, 1},
        {"a+b", "xaab", 0, false, 1, 3},
        {"a+", "baaac", 0, false, 1, 3},
        {"ab?c", "ac", 0, false, 0, 2},
        {"ab?c", "abc", 0, false, 0, 3},
        {"a?ab", "ab", 0, false, 0, 2},
        {"[0-9]?[0-9]x", "5x", 0, false, 0, 2},
        {"a*ab", "aaab", 0, false, 0, 4},
        {"x.*y", "xayby", 0, false, 0, 5},
        {"表*", "表表x", 0, false, 0, 4},
        {"x表+", "x表表", 0, false, 0, 5},
        {".*", "あいう", 0, false, 0, 6},
        {"\\**", "**a", 0, false, 0, 2},
        // Anchors: '^' only first and only at the search start, '$' only last, before the newline.
        {"^a", "aaa", 0, false, 0, 1},
        {"^a", "aaa", 1, false, 1, 1},
        {"^a", "baa", 0, false, -1, 0},
        {"^a", "baa", 1, false, 1, 1},
        {"^a", "bba", 1, false, -1, 0},
        {"^b", "あb", 1, false, 2, 1}, // a start inside a character moves on, the anchor with it
        {"x$", "ax\n", 0, false, 1, 1},
        {"x$", "xa\n", 0, false, -1, 0},
        {"$", "ab\n", 0, false, 2, 0},
        {"$", "ab", 0, false, 2, 0},
        {"$", "abc", 3, false, 3, 0},
        {"^$", "\n", 0, false, 0, 1},
        {"^$", "", 0, false, 0, 0},
        {"^$", "a\n", 0, false, -1, 0},
        {"^", "abc", 0, false, 0, 1},
        {"a^b", "a^b", 0, false, 0, 3},
        {"a$b", "a$b", 0, false, 0, 3},
        {"a$*", "a$$", 0, false, 0, 3},
        {"^^", "^a", 0, false, 0, 1},
        {"^^", "a^", 0, false, -1, 0},
        {"\\$", "a$", 0, false, 1, 1},
        // Escapes.
        {"\\x41", "A", 0, false, 0, 1},
        {"\\X41", "zA", 0, false, 1, 1},
        {"\\x4", "\x04", 0, false, 0, 1},
        {"\\x0411", "xA1", 0, false, 1, 2},
        // An escape worth 0 is the byte that ends a text: no line holds it, so it matches nothing.
        {"\\x", "abc", 0, false, -1, 0},
        {"a\\x", "abc", 0, false, -1, 0},
        {"a\\x?b", "xab", 0, false, 1, 2},
        {"a\\00*b", "xab", 0, false, 1, 2},
        {"\\^@", "@", 0, false, -1, 0},
        {"\\t", "a\tb", 0, false, 1, 1},
        {"\\T", "a\tb", 0, false, 1, 1},
        {"\\q", "q", 0, false, 0, 1},
        {"\\.", "a.b", 0, false, 1, 1},
        {"\\*", "a*", 0, false, 1, 1},
        {"\\[", "[", 0, false, 0, 1},
        {"\\\\", "a\\", 0, false, 1, 1},
        {"\\b\\B", "\b\b", 0, false, 0, 2},
        {"\\e", "\x1b", 0, false, 0, 1},
        {"\\f", "\f", 0, false, 0, 1},
        {"\\n", "a\n", 0, false, 1, 1},
        {"\\r", "\r", 0, false, 0, 1},
        {"\\s", "a b", 0, false, 1, 1},
        {"\\^a", "\x01", 0, false, 0, 1},
        {"\\^[", "\x1b", 0, false, 0, 1},
        {"\\012", "\n", 0, false, 0, 1},
        {"\\007", "\a", 0, false, 0, 1},
        {"\\0101", "A", 0, false, 0, 1},
        {"\\12", "\x02", 0, false, 0, 1}, // the first octal digit only opens the escape
        {"\\0a", "\x01", 0, false, 0, 1}, // the next character counts by its low three bits
        {"\\09", "\x01", 0, false, 0, 1},
        {"a\\", "a\\", 0, false, 0, 2},
        {"\\表", "表", 0, false, 0, 2},
        // Ignoring case folds ASCII letters only.
        {"abc", "xABC", 0, ic, 1, 3},
        {"ABC", "xabc", 0, ic, 1, 3},
        {"[a-c]+", "xABC", 0, ic, 1, 3},
        {"[^a]", "A", 0, ic, -1, 0},
        {"\\x61", "A", 0, ic, 0, 1},
        {"a", "ア", 0, ic, -1, 0},
        {"ａ", "Ａ", 0, ic, -1, 0},
        {"abc", "xABC", 0, false, -1, 0},
    });
}

TEST(TRegexp, Find_TreatsDoubleByteCharactersAsWholeUnits)
{
    // ア 83 41, ァ 83 40, ソ 83 5C, 表 95 5C, ゾ 83 5D, タ 83 5E: trail bytes that look like syntax.
    CheckRows({
        {"A", "ア", 0, false, -1, 0},
        {"A", "アA", 0, false, 2, 1},
        {"A", "アA", 1, false, 2, 1}, // a start inside a character moves to the next one
        {"A", "ア", 1, false, -1, 0},
        {"@", "ァ", 0, false, -1, 0},
        {"\\\\", "表", 0, false, -1, 0},
        {"\\\\", "ソ\\", 0, false, 2, 1},
        {"]", "ゾ", 0, false, -1, 0},
        {"a^", "aタ", 0, false, -1, 0},
        {"[A-Z]", "ア", 0, false, -1, 0},
        {"[@-\\]]", "表ァ", 0, false, -1, 0},
        {"[^x]", "ア", 0, false, 0, 2},
        {".", "アA", 0, false, 0, 2},
        {".*A", "ア", 0, false, -1, 0},
        {".*A", "アA", 0, false, 0, 3},
        {"[^a]*A", "アア", 0, false, -1, 0},
        {"表", "x表", 0, false, 1, 2},
        {"表x", "表\\x", 0, false, -1, 0},
        {"ソ*x", "ソソx", 0, false, 0, 5},
        {"タ", "xタ", 0, false, 1, 2},
        {"[ゾ]", "aゾ", 0, false, 1, 2},
        {"[ソ]", "\\ソ", 0, false, 1, 2},
        {"[表]", "\\", 0, false, -1, 0},
        {"ｱ", "ア", 0, false, -1, 0},
        {"ｱ", "ｱ", 0, false, 0, 1},
        {"\\x83", "ア", 0, false, -1, 0},
        {"\\x83", "a\x83", 0, false, 1, 1}, // a lead byte with no trail is a character of its own
        {".", "\x83\n", 0, false, 0, 1},
        {".$", "a\x83\n", 0, false, 1, 1},
        {"A", "ア", 0, true, -1, 0},
    });
}

TEST(TRegexp, Compile_RaisesOnMalformedPatterns)
{
    const struct
    {
        const char* pattern;
        int status;
    } cases[] = {
        {"", TRegexp::rsEmpty},         {"\n", TRegexp::rsEmpty},         {"*a", TRegexp::rsEmpty},
        {"+a", TRegexp::rsEmpty},       {"?a", TRegexp::rsEmpty},         {"a**", TRegexp::rsInvalid},
        {"a*+", TRegexp::rsInvalid},    {"a+?", TRegexp::rsInvalid},      {"^*", TRegexp::rsInvalid},
        {"^+a", TRegexp::rsInvalid},    {"\\x0", TRegexp::rsCompiled},    {"\\x", TRegexp::rsCompiled},
        {"a\\xg", TRegexp::rsCompiled}, {"\\x100", TRegexp::rsInvalid},   {"\\0", TRegexp::rsInvalid},
        {"\\00", TRegexp::rsCompiled},  {"\\08", TRegexp::rsCompiled},    {"\\0777", TRegexp::rsInvalid},
        {"\\^@", TRegexp::rsCompiled},  {"\\^1", TRegexp::rsInvalid},     {"\\^?", TRegexp::rsInvalid},
        {"\\0あ", TRegexp::rsInvalid},     {"[\\x00]", TRegexp::rsCompiled},
        {"[\\", TRegexp::rsCompiled},   {"[a-あ]", TRegexp::rsInvalid},   {"[あ-a]", TRegexp::rsInvalid},
        {"a\\", TRegexp::rsCompiled},   {"\\^", TRegexp::rsCompiled},     {"[", TRegexp::rsCompiled},
        {"$*", TRegexp::rsCompiled},    {"a^*", TRegexp::rsCompiled},     {"^", TRegexp::rsCompiled},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("pattern \"") + Hex(c.pattern) + "\"");
        TRegexp quiet(c.pattern, false, std::nothrow);
        EXPECT_EQ(quiet.Status(), c.status);
        if (c.status == TRegexp::rsCompiled)
        {
            EXPECT_NO_THROW(TRegexp re(c.pattern));
            continue;
        }
        EXPECT_FALSE(quiet.ErrorMessage().IsEmpty());
        int len = 7;
        EXPECT_EQ(quiet.find("aaa*$", &len, 0), -1);
        EXPECT_EQ(len, 0);
        try
        {
            TRegexp re(c.pattern);
            ADD_FAILURE() << "compiled";
        }
        catch (const ERegexpError& e)
        {
            EXPECT_EQ(e.Status, c.status);
            EXPECT_GT(std::strlen(e.what()), 0u);
            EXPECT_GE(e.Offset, 0);
            EXPECT_LE(e.Offset, int(std::strlen(c.pattern)));
        }
    }
}

TEST(TRegexp, Compile_FitsTheProgramIntoItsBuffer)
{
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    // Program bytes: ASCII 1, a closure 1, a class 17, a double-byte character 3 or 4, the end 1.
    const struct
    {
        std::string pattern;
        int length; // 0: does not fit
    } cases[] = {
        {repeat("a", 127), 128},
        {repeat("a", 128), 0},
        {repeat("a", 126) + "*", 128},
        {repeat("a", 63) + "+", 65},
        {repeat("[a-z]", 7), 7 * 17 + 1},
        {repeat("[a-z]", 8), 0},
        {repeat("あ", 31), 31 * 4 + 1},
        {repeat("あ", 32), 0},
        {repeat("ア", 42), 42 * 3 + 1},
        {repeat("ア", 43), 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Hex(c.pattern));
        TRegexp re(c.pattern.c_str(), false, std::nothrow);
        if (c.length)
        {
            EXPECT_EQ(re.Status(), TRegexp::rsCompiled);
            EXPECT_EQ(re.ProgramLength(), c.length);
        }
        else
            EXPECT_EQ(re.Status(), TRegexp::rsInvalid);
    }
}

TEST(TRegexp, FindNext_ReportsEachHitOfALineOnce)
{
    const struct
    {
        const char* pattern;
        std::string text;
        std::vector<THit> hits;
    } cases[] = {
        {"a", "aaa", {{0, 1}, {1, 1}, {2, 1}}},
        {"a", "aアa\n", {{0, 1}, {3, 1}}},
        {"ア", "アアア", {{0, 2}, {2, 2}, {4, 2}}},
        {"$", "abc\n", {{3, 0}}},
        {"$", "abc", {{3, 0}}},
        {"$", "", {{0, 0}}},
        {"$", "\n", {{0, 1}}},
        {"^", "abc\n", {{0, 1}}},
        {"^abc", "abcabc", {{0, 3}}},
        {"^$", "\n", {{0, 1}}},
        {"a*", "bbb", {{0, 1}, {1, 1}, {2, 1}, {3, 0}}},
        {"a*", "baa\n", {{0, 1}, {1, 2}, {3, 1}}},
        {"x*", "あい", {{0, 2}, {2, 2}, {4, 0}}},
        {"\\n", "ab\n", {{2, 1}}},
        {"[^a]", "ab\n", {{1, 1}, {2, 1}}},
        {"\\\\", "表\\ソ\\", {{2, 1}, {5, 1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("pattern \"") + Hex(c.pattern) + "\" text \"" + Hex(c.text) + "\"");
        TRegexp re(c.pattern);
        EXPECT_EQ(AllHits(re, c.text), c.hits);
    }
}

namespace
{
// Text placed just before a page that cannot be read: any read past its end faults.
class TGuardedText
{
public:
    explicit TGuardedText(const std::string& text)
    {
#ifdef _WIN32
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        page_ = si.dwPageSize;
#else
        page_ = size_t(sysconf(_SC_PAGESIZE));
#endif
        const size_t dataPages = (text.size() + page_ - 1) / page_ + 1;
        size_ = (dataPages + 1) * page_;
#ifdef _WIN32
        base_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + dataPages * page_, page_, PAGE_NOACCESS, &old);
#else
        base_ = static_cast<char*>(
            mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + dataPages * page_, page_, PROT_NONE);
#endif
        data_ = base_ + dataPages * page_ - text.size();
        std::memcpy(data_, text.data(), text.size());
    }
    ~TGuardedText()
    {
#ifdef _WIN32
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, size_);
#endif
    }
    const char* Data() const { return data_; }

private:
    size_t page_ = 0;
    size_t size_ = 0;
    char* base_ = nullptr;
    char* data_ = nullptr;
};
} // namespace

TEST(TRegexp, Find_NeverReadsPastTheLine)
{
    const char* patterns[] = {"$", "a*", "^abc", "^", ".*", "[^a]*", "x$", "c\\n$", ".$", "\\x83", "a?$",
                              "[^x]+$", "ア*$", "\\\\"};
    const std::string texts[] = {"", "abcabc", "abc\n", "abc\x83", "\x83", "ア", "aア\n", "表", "\n"};
    for (const char* pattern : patterns)
        for (const std::string& text : texts)
        {
            SCOPED_TRACE(std::string("pattern \"") + Hex(pattern) + "\" text \"" + Hex(text) + "\"");
            TRegexp re(pattern);
            const int n = int(text.size());
            TGuardedText exact(text);
            TGuardedText terminated(text + '\0');
            std::vector<THit> hits;
            int start = 0, pos = 0, len = 0;
            while (re.FindNext(exact.Data(), n, start, pos, len))
            {
                ASSERT_LE(pos + len, n);
                ASSERT_LE(start, n + 1);
                hits.push_back({pos, len});
            }
            EXPECT_EQ(hits, AllHits(re, text));
            for (int s = 0; s <= n + 1; ++s)
            {
                int len1 = 0, len2 = 0;
                const int pos1 = re.find(exact.Data(), n, &len1, s);
                const int pos2 = re.find(terminated.Data(), &len2, s);
                EXPECT_EQ((THit{pos1, len1}), (THit{pos2, len2})) << "start " << s;
                EXPECT_LE(pos1 + len1, n);
            }
        }
}

TEST(TRegexp, Find_FinishesPathologicalPatternsOnLongLines)
{
    auto repeat = [](const std::string& s, int n) {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    };
    const std::string a4k(4095, 'a'), a64k(65536, 'a');
    const struct
    {
        std::string pattern;
        std::string text;
        int pos;
        int len;
    } cases[] = {
        {"a*a*a*a*a*c", a4k, -1, 0},
        {"a*a*a*a*a*c", a4k + "c", 0, 4096},
        {"a*a*a*a*a*c", a64k, -1, 0},
        {"(a*)*b", a64k, -1, 0},
        {".*.*.*.*.*x", a64k, -1, 0},
        {"[ab]*[ab]*[ab]*[ab]*c", repeat("ab", 32768), -1, 0},
        {repeat("a?", 20) + repeat("a", 20), repeat("a", 19), -1, 0},
        {repeat("a?", 20) + repeat("a", 20), repeat("a", 20), 0, 20},
        {repeat("a?", 30) + repeat("a", 30), a64k, 0, 60},
        {repeat("x*", 40) + "y", std::string(65536, 'x'), -1, 0},
        {repeat("x*", 40) + "y", std::string(65535, 'x') + "y", 0, 65536},
        {".*\\\\", repeat("表", 32768), -1, 0},
        {".*A", repeat("ア", 32768), -1, 0},
        {"[^a]*[^a]*[^a]*A", repeat("ア", 32768), -1, 0},
        {"ア*ア*ア*x", repeat("ア", 32768), -1, 0},
        {"a+a+a+a+b", a64k, -1, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE("pattern \"" + Hex(c.pattern) + "\" on " + std::to_string(c.text.size()) + " bytes");
        TRegexp re(c.pattern.c_str());
        EXPECT_EQ(Find(re, c.text, 0), (THit{c.pos, c.len}));
    }

    // Every hit of a long line, each found in constant time.
    const struct
    {
        const char* pattern;
        std::string text;
        size_t hits;
    } scans[] = {
        {"a", a64k, 65536},
        {"x*", a64k, 65537},
        {"＝", repeat("＝", 32768), 32768},
        {"\\x81", repeat("＝", 32768), 0},
        {"[^b]", repeat("表", 32768), 32768},
    };
    for (const auto& c : scans)
    {
        SCOPED_TRACE(std::string("pattern \"") + Hex(c.pattern) + "\"");
        TRegexp re(c.pattern);
        EXPECT_EQ(AllHits(re, c.text).size(), c.hits);
    }
}

TEST(TRegexp, Find_TakesStepsLinearInTheLineOnLinesOfAnyLength)
{
    // The longest chain of closures a program holds, then a byte the line lacks (or has only at its
    // end): backtracking alone takes steps exponential in the chain. Whatever the line's length,
    // a search takes at most (elements + 1) steps per byte past its bounded share of backtracking.
    std::string chain;
    for (int i = 0; i < 63; ++i)
        chain += "a*";
    const struct
    {
        std::string pattern;
        char tail;
        int pos;
    } cases[] = {{chain + "c", 'a', -1}, {chain + "c", 'c', 0}, {"[^x]*[^x]*[^x]*x", 'a', -1}};
    // 4.5 MB is past where a memo of one bit per closure and position stops fitting in memory
    // (the sanitized native build stops short of it: it runs ten times slower).
#ifdef _WIN32
    const int longest = 9 << 19;
#else
    const int longest = 1 << 20;
#endif
    for (int n : {4096, 1 << 18, longest})
        for (const auto& c : cases)
        {
            if (n == longest && &c != &cases[0])
                continue;
            std::string text(size_t(n) - 1, 'a');
            text += c.tail;
            SCOPED_TRACE("pattern \"" + c.pattern + "\" on " + std::to_string(n) + " bytes");
            TRegexp re(c.pattern.c_str());
            EXPECT_EQ(Find(re, text, 0), (THit{c.pos, c.pos < 0 ? 0 : n}));
            const long long elements = 64;
            EXPECT_LE(re.Steps(), 1024 + 4LL * (n + 1) + 2 * (elements + 1) * (n + 1));
        }
}

TEST(TRegexp, Find_GivesUpWithinAFewThousandStepsOnceAStopIsAsked)
{
    std::string chain;
    for (int i = 0; i < 20; ++i)
        chain += "a*";
    const std::string line(1 << 20, 'a');
    for (int limit : {-1, 0})
        for (const char* pattern : {"b", "a*b", chain.c_str()})
        {
            SCOPED_TRACE(std::string(pattern) + " backtracking " + std::to_string(limit));
            TRegexp re(pattern);
            re.SetBacktrackLimit(limit);
            int asked = 0;
            re.SetStopCheck([&] { return ++asked >= 2; });
            EXPECT_EQ(Find(re, line, 0), (THit{-1, 0}));
            EXPECT_LE(re.Steps(), 4 * 16384 + 64);
            // A stepper over the line stops too, past the line.
            int start = 0, pos = 0, len = 0;
            asked = 0;
            EXPECT_FALSE(re.FindNext(line.data(), int(line.size()), start, pos, len));
            EXPECT_EQ(start, int(line.size()) + 1);
        }
}

// The stop check costs a call across threads: short searches, line after line, never ask it; a
// search that runs long asks it every few thousand steps.
TEST(TRegexp, Find_AsksTheStopCheckOnlyOnceASearchRunsLong)
{
    struct TCase
    {
        const char* pattern;
        int lineBytes;
        int lines;
        bool asks;
    } cases[] = {{"id_[0-9]*\\.t?[a-z]+", 60, 5000, false}, {"b", 40, 5000, false}, {"a*b", 1 << 16, 1, true}};
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.pattern);
        TRegexp re(c.pattern);
        int asked = 0;
        re.SetStopCheck([&] { return ++asked < 0; });
        const std::string line = std::string(size_t(c.lineBytes) - 10, 'a') + "id_12.txt\n";
        for (int i = 0; i < c.lines; ++i)
        {
            int start = 0, pos = 0, len = 0;
            while (re.FindNext(line.data(), int(line.size()), start, pos, len))
            {
            }
        }
        EXPECT_EQ(asked > 0, c.asks) << asked;
    }
}

// ---- Model ---------------------------------------------------------------------------------------
// A plain recursive backtracking matcher over the characters of short texts, driven by the same
// pattern the generator renders to text, so the engine's parser and matcher are both checked.
namespace
{
struct TModelElem
{
    enum
    {
        mLit,
        mAny,
        mClass,
        mBol,
        mEol
    } Kind = mLit;
    char Quant = 0; // 0, '*', '+', '?'
    std::string Lit;
    bool Negated = false;
    std::vector<std::pair<std::string, std::string>> Members; // ranges of characters (lo == hi: one)
};

TModelElem Anchor(decltype(TModelElem::Kind) kind)
{
    TModelElem e;
    e.Kind = kind;
    return e;
}

struct TModel
{
    std::vector<TModelElem> Elems;
    bool IgnoreCase = false;
    size_t BolChar = 0; // the character where '^' matches
};

std::vector<std::string> Chars(const std::string& s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();)
    {
        const bool pair =
            IsSjisLead((unsigned char)s[i]) && i + 1 < s.size() && IsSjisTrail((unsigned char)s[i + 1]);
        out.push_back(s.substr(i, pair ? 2 : 1));
        i += pair ? 2 : 1;
    }
    return out;
}

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

bool SameByte(unsigned char a, unsigned char b, bool ic) { return ic ? Fold(a) == Fold(b) : a == b; }

int Code(const std::string& c) { return (unsigned char)c[0] << 8 | (unsigned char)c[1]; }

bool InClass(const TModelElem& e, const std::string& c, bool ic)
{
    bool in = false;
    for (const auto& m : e.Members)
    {
        if (c.size() == 1 && m.first.size() == 1)
        {
            // Single bytes are compared by their low seven bits.
            int lo = (unsigned char)m.first[0], hi = (unsigned char)m.second[0];
            if (lo > hi)
                std::swap(lo, hi);
            for (int v = lo; v <= hi && !in; ++v)
                in = SameByte((unsigned char)(v & 0x7F), (unsigned char)((unsigned char)c[0] & 0x7F), ic);
        }
        else if (c.size() == 2 && m.first.size() == 2)
        {
            int lo = Code(m.first), hi = Code(m.second);
            if (lo > hi)
                std::swap(lo, hi);
            in = Code(c) >= lo && Code(c) <= hi;
        }
        if (in)
            break;
    }
    return in != e.Negated;
}

bool MatchOne(const TModelElem& e, const std::vector<std::string>& t, size_t k, bool ic)
{
    if (k >= t.size())
        return false;
    switch (e.Kind)
    {
    case TModelElem::mLit:
        return t[k].size() == e.Lit.size() &&
               (e.Lit.size() == 2 ? t[k] == e.Lit : SameByte((unsigned char)t[k][0], (unsigned char)e.Lit[0], ic));
    case TModelElem::mAny: return t[k] != "\n";
    case TModelElem::mClass: return InClass(e, t[k], ic);
    default: return false;
    }
}

// End (in characters) of the first match of elements i.. at character k, or -1.
int ModelHere(const TModel& m, size_t i, const std::vector<std::string>& t, size_t k)
{
    if (i == m.Elems.size())
        return int(k);
    const TModelElem& e = m.Elems[i];
    if (e.Kind == TModelElem::mBol)
        return k == m.BolChar ? ModelHere(m, i + 1, t, k) : -1;
    if (e.Kind == TModelElem::mEol)
        return (k == t.size() || t[k] == "\n") ? ModelHere(m, i + 1, t, k) : -1;
    switch (e.Quant)
    {
    case '?':
        if (MatchOne(e, t, k, m.IgnoreCase))
        {
            int r = ModelHere(m, i + 1, t, k + 1);
            if (r >= 0)
                return r;
        }
        return ModelHere(m, i + 1, t, k);
    case '*':
    case '+':
    {
        size_t j = k;
        while (MatchOne(e, t, j, m.IgnoreCase))
            ++j;
        const size_t least = e.Quant == '+' ? k + 1 : k;
        for (size_t q = j + 1; q-- > least;)
        {
            int r = ModelHere(m, i + 1, t, q);
            if (r >= 0)
                return r;
        }
        return -1;
    }
    default: return MatchOne(e, t, k, m.IgnoreCase) ? ModelHere(m, i + 1, t, k + 1) : -1;
    }
}

// find anchors '^' at the search start, the line stepper at the line's start; an empty match where
// the search began counts the character there.
THit ModelFind(TModel m, const std::string& text, int start, bool anchorAtStart = true)
{
    const std::vector<std::string> t = Chars(text);
    std::vector<int> offset(1, 0);
    for (const std::string& c : t)
        offset.push_back(offset.back() + int(c.size()));
    m.BolChar = 0;
    if (anchorAtStart)
        while (m.BolChar < t.size() && offset[m.BolChar] < start)
            ++m.BolChar;
    size_t from = 0; // a start inside a character moves to the next one
    while (from < t.size() && offset[from] < start)
        ++from;
    for (size_t k = from; k <= t.size(); ++k)
    {
        if (k == t.size() && k > 0 && t.back() == "\n")
            break;
        const int r = ModelHere(m, 0, t, k);
        if (r == int(k) && k == from && k < t.size())
            return {offset[k], int(t[k].size())}; // empty where the search began: one character
        if (r >= 0)
            return {offset[k], offset[size_t(r)] - offset[k]};
    }
    return {-1, 0};
}

std::vector<THit> ModelAllHits(const TModel& m, const std::string& text)
{
    std::vector<THit> hits;
    int start = 0;
    for (;;)
    {
        const THit h = ModelFind(m, text, start, false);
        if (h.Pos < 0)
            break;
        hits.push_back(h);
        if (h.Len > 0)
            start = h.Pos + h.Len;
        else if (h.Pos < int(text.size()))
            start = h.Pos + int(Chars(text.substr(size_t(h.Pos))).front().size());
        else
            break;
    }
    return hits;
}

class TGenerator
{
public:
    TGenerator(unsigned seed, bool sjis) : rng_(seed), sjis_(sjis) {}

    std::string Char()
    {
        static const char* ascii[] = {"a", "b", "c", "\n"};
        static const char* mixed[] = {"a", "b", "A", "\\", "@", "]", "-", "1", ".", "*", "\n", "ア", "ソ", "表",
                                      "ァ", "ゾ", "ｱ", "\x83"};
        if (!sjis_)
            return ascii[Pick(Chance(10) ? 4 : 3)];
        return mixed[Pick(sizeof mixed / sizeof mixed[0])];
    }

    std::string Text()
    {
        std::string s;
        const int n = Pick(sjis_ ? 10 : 14);
        for (int i = 0; i < n; ++i)
            s += Char();
        return s;
    }

    // A random pattern and the model it stands for.
    std::string Pattern(TModel& m)
    {
        m = TModel();
        m.IgnoreCase = Chance(4);
        std::string p;
        if (Chance(5))
        {
            p += "^";
            m.Elems.push_back(Anchor(TModelElem::mBol));
        }
        const int n = 1 + Pick(5);
        int classes = 0;
        for (int i = 0; i < n; ++i)
        {
            TModelElem e;
            const int kind = Pick(10);
            if (kind < 2)
            {
                e.Kind = TModelElem::mAny;
                p += ".";
            }
            else if (kind < 4 && classes < 2)
            {
                ++classes;
                e.Kind = TModelElem::mClass;
                p += "[";
                if (Chance(3))
                {
                    e.Negated = true;
                    p += "^";
                }
                const int members = Pick(4);
                for (int k = 0; k < members; ++k)
                {
                    std::string lo = Member(), hi = lo;
                    p += Render(lo, true);
                    if (Chance(3))
                    {
                        do
                            hi = Member();
                        while (hi.size() != lo.size());
                        p += "-" + Render(hi, true);
                    }
                    e.Members.push_back({lo, hi});
                }
                p += "]";
            }
            else
            {
                std::string c;
                do
                    c = Char();
                while (c == "\n" || c == "\x83");
                e.Lit = c;
                p += Render(c, false);
            }
            const int q = Pick(8);
            e.Quant = q == 0 ? '*' : q == 1 ? '+' : q == 2 ? '?' : 0;
            if (e.Quant)
                p += e.Quant;
            m.Elems.push_back(e);
        }
        if (Chance(5))
        {
            p += "$";
            m.Elems.push_back(Anchor(TModelElem::mEol));
        }
        return p;
    }

private:
    int Pick(size_t n) { return int(rng_() % n); }
    bool Chance(int oneIn) { return Pick(size_t(oneIn)) == 0; }

    std::string Member()
    {
        std::string c;
        do
            c = Char();
        while (c == "\n" || c == "\x83");
        return c;
    }

    // The pattern text for one character: syntax characters escaped, sometimes in hexadecimal
    // (always three digits, so a following digit is not taken in).
    std::string Render(const std::string& c, bool inClass)
    {
        if (c.size() == 2)
            return c;
        const char ch = c[0];
        const bool special = std::strchr(inClass ? "]\\-^" : ".[*+?\\^$", ch) != nullptr;
        if (!special && !Chance(8))
            return c;
        if (special && ch != '^' && Chance(2))
            return std::string("\\") + ch;
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%03X", (unsigned char)ch);
        return buf;
    }

    std::mt19937 rng_;
    bool sjis_;
};

void CheckAgainstModel(bool sjis, unsigned seed, int patterns)
{
    TGenerator gen(seed, sjis);
    for (int i = 0; i < patterns; ++i)
    {
        TModel model;
        const std::string pattern = gen.Pattern(model);
        TRegexp re(pattern.c_str(), model.IgnoreCase, std::nothrow);
        ASSERT_EQ(re.Status(), TRegexp::rsCompiled) << "seed " << seed << " pattern \"" << Hex(pattern) << "\"";
        TRegexp states(pattern.c_str(), model.IgnoreCase);
        states.SetBacktrackLimit(0);
        for (int j = 0; j < 6; ++j)
        {
            const std::string text = gen.Text();
            const std::string what = "seed " + std::to_string(seed) + " case " + std::to_string(i) +
                                     " pattern \"" + Hex(pattern) + "\"" +
                                     (model.IgnoreCase ? " ignoring case" : "") + " text \"" + Hex(text) + "\"";
            for (int s = 0; s <= int(text.size()); ++s)
            {
                const THit want = ModelFind(model, text, s);
                ASSERT_EQ(Find(re, text, s), want) << what << " start " << s;
                ASSERT_EQ(Find(states, text, s), want) << what << " start " << s << " (state sets)";
            }
            ASSERT_EQ(AllHits(re, text), ModelAllHits(model, text)) << what;
        }
    }
}
} // namespace

TEST(TRegexp, Find_AgreesWithABacktrackingModelOnAsciiText)
{
    for (unsigned seed : {1u, 2u, 3u})
        CheckAgainstModel(false, seed, 1500);
}

TEST(TRegexp, Find_AgreesWithTheModelOnShiftJisTextWithTrailBytesThatLookLikeSyntax)
{
    for (unsigned seed : {11u, 12u, 13u})
        CheckAgainstModel(true, seed, 1500);
}
