// Random patterns, well-formed and not, against random lines of Shift-JIS, stray lead and trail bytes,
// newlines and NULs. Whatever the input, the engine stays inside the line, reports whole characters,
// agrees with itself from every start and always finishes. The native build runs this under the
// address and undefined-behaviour sanitizers (tools/test-native.sh), so a stray read fails the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "search/Regexp.h"
#include "tests/HexText.h"

namespace
{
// Another run explores other inputs: VN_FUZZ_SEED=n tools/test-native.sh
unsigned FuzzSeed()
{
    const char* s = std::getenv("VN_FUZZ_SEED");
    return s && *s ? unsigned(std::strtoul(s, nullptr, 10)) : 20240611u;
}

// CP932 ranges written out again, so the checks do not lean on the engine's own tables.
bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(unsigned char b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Element i: a character begins at byte i; the end of the text counts as one.
std::vector<bool> Boundaries(const std::string& t)
{
    std::vector<bool> b(t.size() + 1, false);
    size_t i = 0;
    while (i < t.size())
    {
        b[i] = true;
        i += IsLead(t[i]) && i + 1 < t.size() && IsTrail(t[i + 1]) ? 2 : 1;
    }
    b[t.size()] = true;
    return b;
}

// The text's bytes alone on the heap (plus a NUL when asked): a read of one byte more is reported.
class TExactText
{
public:
    TExactText(const std::string& s, bool terminated) : data_(new char[s.size() + (terminated ? 1 : 0)])
    {
        std::memcpy(data_.get(), s.data(), s.size());
        if (terminated)
            data_[s.size()] = '\0';
    }
    const char* Data() const { return data_.get(); }

private:
    std::unique_ptr<char[]> data_;
};

struct THit
{
    int Pos;
    int Len;
    bool operator==(const THit& o) const { return Pos == o.Pos && Len == o.Len; }
};

std::ostream& operator<<(std::ostream& os, const THit& h)
{
    return os << "(" << h.Pos << "," << h.Len << ")";
}

// What one regexp reports on one text: find from the starts tried (all of them on a short text), then
// every FindNext hit. Two regexps that must behave alike give equal traces.
struct TTrace
{
    std::vector<THit> Finds;
    std::vector<THit> Steps;
    bool operator==(const TTrace& o) const { return Finds == o.Finds && Steps == o.Steps; }
};

std::ostream& operator<<(std::ostream& os, const TTrace& t)
{
    os << "finds";
    for (const THit& h : t.Finds)
        os << " " << h;
    os << "; steps";
    for (const THit& h : t.Steps)
        os << " " << h;
    return os;
}

// A compiled pattern that begins with '^' matches only where its search begins.
bool Anchored(const TRegexp& re, const std::string& pattern)
{
    return re.Status() == TRegexp::rsCompiled && !pattern.empty() && pattern[0] == '^';
}

// Runs re over text and checks what holds for any pattern and any line.
TTrace Exercise(TRegexp& re, bool anchored, const std::string& text, bool everyStart)
{
    TTrace trace;
    const int n = int(text.size());
    const std::vector<bool> boundary = Boundaries(text);
    const bool compiled = re.Status() == TRegexp::rsCompiled;
    const TExactText exact(text, false);
    const TExactText terminated(text, true);

    auto checkHit = [&](const THit& h, int start, int limit, const char* what) {
        if (h.Pos < 0)
        {
            EXPECT_EQ(h.Pos, -1) << what << " from " << start;
            EXPECT_EQ(h.Len, 0) << what << " from " << start;
            return;
        }
        EXPECT_TRUE(compiled) << what << ": a pattern that did not compile found " << h;
        EXPECT_GE(h.Pos, std::max(start, 0)) << what << " from " << start;
        EXPECT_GE(h.Len, 0) << what << " from " << start;
        EXPECT_LE(h.Pos + h.Len, limit) << what << " from " << start;
        if (h.Len >= 0 && h.Pos + h.Len <= limit)
        {
            EXPECT_TRUE(boundary[size_t(h.Pos)]) << what << " from " << start << ": begins inside one";
            EXPECT_TRUE(boundary[size_t(h.Pos + h.Len)]) << what << " from " << start << ": ends inside one";
        }
    };

    // find over the given length, from before the text to past its end.
    std::vector<int> starts;
    if (everyStart)
        for (int s = -1; s <= n + 1; ++s)
            starts.push_back(s);
    else
        for (int s : {-1, 0, 1, 2, n / 3, n / 2, n - 2, n - 1, n, n + 1})
            starts.push_back(s);
    for (int s : starts)
    {
        THit h{0, -1};
        h.Pos = re.find(exact.Data(), n, &h.Len, s);
        checkHit(h, s, n, "find");
        if (s > n)
        {
            EXPECT_EQ(h.Pos, -1) << "find from past the end";
        }
        else if (anchored && h.Pos >= 0)
        {
            int from = std::max(s, 0);
            while (!boundary[size_t(from)])
                ++from;
            EXPECT_EQ(h.Pos, from) << "an anchored find from " << s << " hit elsewhere";
        }
        trace.Finds.push_back(h);
    }
    if (everyStart)
    {
        // From every start the answer is the leftmost hit: the one that begins there, or else the one
        // from the next character on. A start inside a character moves to the next one.
        auto at = [&](int s) { return trace.Finds[size_t(s + 1)]; };
        EXPECT_EQ(at(-1), at(0));
        for (int s = 0; s < n; ++s)
        {
            int next = s + 1;
            while (!boundary[size_t(next)])
                ++next;
            if (!boundary[size_t(s)])
            {
                EXPECT_EQ(at(s), at(next)) << "from " << s << " and from " << next;
            }
            else if (!anchored && at(s).Pos != s)
            {
                // The same hit, except that an empty one counts the character there when the
                // search began on it.
                EXPECT_EQ(at(s).Pos, at(next).Pos) << "from " << s << " and from " << next;
                if (at(s).Len != at(next).Len)
                {
                    int end = std::min(next + 1, n);
                    while (end < n && !boundary[size_t(end)])
                        ++end;
                    EXPECT_TRUE(at(s).Len == 0 && at(next).Pos == next && at(next).Len == end - next)
                        << "from " << s << " " << at(s) << " and from " << next << " " << at(next);
                }
            }
        }
        EXPECT_TRUE(at(n).Pos == -1 || at(n).Pos == n) << at(n);
    }

    // The NUL-terminated form sees the text up to its first NUL.
    const int cut = int(std::strlen(terminated.Data()));
    for (int s : {0, cut / 2, cut})
    {
        THit h{0, -1};
        h.Pos = re.find(terminated.Data(), &h.Len, s);
        checkHit(h, s, cut, "find up to the NUL");
    }

    // FindNext over the whole line: hits left to right, start always moving on, never past n + 1.
    int start = 0, pos = -2, len = -2;
    for (int count = 0;; ++count)
    {
        const int before = start;
        if (!re.FindNext(exact.Data(), n, start, pos, len))
            break;
        const THit h{pos, len};
        checkHit(h, before, n, "FindNext");
        if (n > 0 && text[size_t(n - 1)] == '\n')
        {
            EXPECT_LT(pos, n) << "FindNext began a hit after the line end";
        }
        if (everyStart && before >= 0 && before <= n)
        {
            EXPECT_EQ(h, trace.Finds[size_t(before + 1)]) << "FindNext from " << before;
        }
        EXPECT_GT(start, before) << "FindNext did not move on from " << h;
        EXPECT_LE(start, n + 1);
        trace.Steps.push_back(h);
        if (count > n + 1 || start <= before || ::testing::Test::HasFailure())
            break;
    }
    if (!compiled)
    {
        EXPECT_TRUE(trace.Steps.empty());
    }
    if (anchored)
    {
        EXPECT_LE(trace.Steps.size(), 1u) << "an anchored pattern hit a line more than once";
        if (!trace.Steps.empty())
        {
            EXPECT_EQ(trace.Steps[0].Pos, 0);
        }
    }
    return trace;
}

int PatternLength(const std::string& p)
{
    size_t n = 0;
    while (n < p.size() && p[n] != '\0' && p[n] != '\n')
        ++n;
    return int(n);
}

// The status of a pattern, checked against the raising constructor.
void CheckCompile(const TRegexp& re, const std::string& pattern, bool ignoreCase)
{
    const int plen = PatternLength(pattern);
    if (re.Status() == TRegexp::rsCompiled)
    {
        EXPECT_GT(re.ProgramLength(), 1);
        EXPECT_LE(re.ProgramLength(), TRegexp::ProgramSize);
        EXPECT_GT(plen, 0);
    }
    else
    {
        EXPECT_TRUE(re.Status() == TRegexp::rsEmpty || re.Status() == TRegexp::rsInvalid) << re.Status();
        EXPECT_GE(re.ErrorOffset(), 0);
        EXPECT_LE(re.ErrorOffset(), plen);
        EXPECT_FALSE(re.ErrorMessage().IsEmpty());
    }
    try
    {
        TRegexp raising(pattern.c_str(), ignoreCase);
        EXPECT_EQ(re.Status(), TRegexp::rsCompiled) << "only the nothrow constructor failed";
        EXPECT_EQ(raising.ProgramLength(), re.ProgramLength());
    }
    catch (const ERegexpError& e)
    {
        EXPECT_EQ(e.Status, re.Status());
        EXPECT_EQ(e.Offset, re.ErrorOffset());
        EXPECT_EQ(e.Message, re.ErrorMessage());
    }
}

// No byte that ignoring case could touch: not a letter, nor a byte whose low seven bits are one.
bool CaseFree(const std::string& text)
{
    for (unsigned char c : text)
    {
        const unsigned char low = c & 0x7F;
        if ((low >= 'A' && low <= 'Z') || (low >= 'a' && low <= 'z'))
            return false;
    }
    return true;
}

class TGenerator
{
public:
    explicit TGenerator(unsigned seed) : rng_(seed) {}

    int Below(int n) { return int(rng_() % unsigned(n)); }
    bool Chance(int percent) { return Below(100) < percent; }
    template <size_t N> const char* Pick(const char* const (&items)[N]) { return items[Below(int(N))]; }

    std::string Pair()
    {
        // Trail bytes that read as '\\', '[', ']', '^', 'A', 'a' on their own, the range ends, and a
        // lead that takes no trail ('-').
        static const unsigned char pairs[][2] = {{0x83, 0x41}, {0x83, 0x5C}, {0x95, 0x5C}, {0x81, 0x5B},
                                                 {0x81, 0x5D}, {0x83, 0x5E}, {0x82, 0xA0}, {0x88, 0x9F},
                                                 {0xE0, 0x40}, {0xFC, 0xFC}, {0x81, 0x80}, {0x9F, 0x7E},
                                                 {0x83, 0x61}, {0x81, 0x2D}, {0x81, 0x40}, {0x82, 0x9F}};
        if (Chance(25))
        {
            const unsigned char lead = uint8_t(Chance(70) ? 0x81 + Below(0x1F) : 0xE0 + Below(0x1D));
            const unsigned char trail = uint8_t(Chance(40) ? 0x40 + Below(0x3F) : 0x80 + Below(0x7D));
            return {char(lead), char(trail)};
        }
        const auto& p = pairs[Below(int(std::size(pairs)))];
        return {char(p[0]), char(p[1])};
    }

    // A character or byte run of a line.
    std::string TextToken(const std::string& pattern)
    {
        switch (Below(10))
        {
        case 0:
        case 1:
            if (!pattern.empty())
            {
                // Bytes of the pattern itself, so the line has something to hit.
                const int at = Below(int(pattern.size()));
                return pattern.substr(size_t(at), size_t(1 + Below(4)));
            }
            return "a";
        case 2:
        case 3: return std::string(1, "aAbBcxyz0_ \t"[Below(12)]);
        case 4:
        case 5: return Pair();
        case 6: return std::string(1, char(Chance(70) ? 0x81 + Below(0x1F) : 0xE0 + Below(0x1D))); // a lead
        case 7: return std::string(1, "\\[]^$.*+?-A"[Below(11)]); // after a lead, a trail byte
        case 8: return std::string(1, char(0x80 + Below(0x80)));
        default: return std::string(1, "\n\n\0\x7F\x01"[Below(5)]);
        }
    }

    std::string Text(const std::string& pattern)
    {
        const int tokens = Chance(85) ? Below(24) : Below(160);
        std::string t;
        for (int i = 0; i < tokens; ++i)
            t += TextToken(pattern);
        if (Chance(20))
            t += '\n';
        return t;
    }

    // One element of the dialect, now and then with a closure, well-placed or not.
    std::string Piece()
    {
        static const char* const escapes[] = {"\\n",  "\\t",   "\\x41",  "\\x",   "\\x0",  "\\X7f", "\\xfff",
                                              "\\101", "\\0",  "\\07",   "\\1777", "\\8",   "\\^A",  "\\^?",
                                              "\\^1",  "\\^",  "\\\\",   "\\[",   "\\]",   "\\.",   "\\*",
                                              "\\s",   "\\e",  "\\b",    "\\Z",   "\\-",   "\\$",   "\\x5c"};
        static const char* const classes[] = {"[abc]", "[^a]",   "[a-z]",  "[z-a]",  "[]",      "[^]",
                                              "[-a]",  "[a-]",   "[\\]]",  "[\\x41-\\x5a]", "[^\\n]",
                                              "[",     "[^",     "[a-",    "[\\",    "[.*+?]", "[\\^A-\\^Z]"};
        std::string p;
        switch (Below(9))
        {
        case 0:
        case 1: p = std::string(1, "abcABxyz0 _@"[Below(12)]); break;
        case 2: p = Pair(); break;
        case 3: p = "."; break;
        case 4: p = Pick(escapes); break;
        case 5: p = Pick(classes); break;
        case 6:
        {
            // A class with double-byte members and ranges, both well-formed and mixed.
            p = Chance(30) ? "[^" : "[";
            for (int k = Below(4); k >= 0; --k)
            {
                p += Chance(50) ? Pair() : std::string(1, "ab\\-^]"[Below(6)]);
                if (Chance(30))
                    p += "-" + (Chance(70) ? Pair() : std::string(1, 'z'));
            }
            if (Chance(85))
                p += "]";
            break;
        }
        case 7: p = std::string(1, "^$*+?]-"[Below(7)]); break;
        default: p = std::string(1, char(0x80 + Below(0x80))); break;
        }
        if (Chance(35))
            p += "*+?"[Below(3)];
        if (Chance(3))
            p += "*+?"[Below(3)]; // two closures in a row
        return p;
    }

    std::string Pattern()
    {
        std::string p;
        switch (Below(8))
        {
        case 0:
        {
            // Raw bytes, NUL and newline included (the pattern ends at either).
            const int n = 1 + Below(20);
            for (int i = 0; i < n; ++i)
                p += char(Chance(50) ? "\\[]^$.*+?-x0^Aa\n"[Below(16)] : Below(256));
            break;
        }
        case 1:
            // Past the program's size.
            for (int i = 40 + Below(60); i > 0; --i)
                p += Piece();
            break;
        default:
            if (Chance(15))
                p += '^';
            for (int i = 1 + Below(6); i > 0; --i)
                p += Piece();
            if (Chance(15))
                p += '$';
            break;
        }
        if (Chance(25))
            Mutate(p);
        return p;
    }

    void Mutate(std::string& p)
    {
        const int at = p.empty() ? 0 : Below(int(p.size()));
        switch (Below(6))
        {
        case 0: p += '\\'; break;                                   // backslash at the end
        case 1: p += char(0x81 + Below(0x1F)); break;               // lead byte at the end
        case 2: p.resize(size_t(at)); break;                        // cut anywhere, inside a pair too
        case 3: p.insert(size_t(at), 1, "*+?[]\\^$"[Below(8)]); break;
        case 4: if (!p.empty()) p[size_t(at)] = char(Below(256)); break;
        default: p.insert(size_t(at), Pair()); break;
        }
    }

private:
    std::mt19937 rng_;
};
} // namespace

TEST(TRegexpFuzz, RandomPatternsKeepEveryPromiseOnRandomLines)
{
    const unsigned seed = FuzzSeed();
    TGenerator gen(seed);
    for (int round = 0; round < 10000; ++round)
    {
        const std::string pattern = gen.Pattern();
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round) + " pattern \"" +
                     Hex(pattern) + "\"");
        static const int backtrackLimits[] = {0, 1, 2, 5, 17, 64};
        const int backtrackLimit = backtrackLimits[gen.Below(6)];
        // [ignoreCase]: as given, on state sets from an early step, and cut at the pattern's end.
        std::unique_ptr<TRegexp> plain[2], states[2], cut[2];
        const std::string head = pattern.substr(0, size_t(PatternLength(pattern)));
        for (int ic = 0; ic < 2; ++ic)
        {
            plain[ic] = std::make_unique<TRegexp>(pattern.c_str(), ic != 0, std::nothrow);
            CheckCompile(*plain[ic], pattern, ic != 0);
            states[ic] = std::make_unique<TRegexp>(pattern.c_str(), ic != 0, std::nothrow);
            states[ic]->SetBacktrackLimit(backtrackLimit);
            if (head.size() != pattern.size())
            {
                cut[ic] = std::make_unique<TRegexp>(head.c_str(), ic != 0, std::nothrow);
                EXPECT_EQ(cut[ic]->Status(), plain[ic]->Status()) << "the pattern ends at NUL or newline";
                EXPECT_EQ(cut[ic]->ErrorOffset(), plain[ic]->ErrorOffset());
            }
        }
        EXPECT_EQ(plain[0]->Status(), plain[1]->Status()) << "ignoring case changed the status";
        EXPECT_EQ(plain[0]->ErrorOffset(), plain[1]->ErrorOffset());

        for (int k = 0; k < 6; ++k)
        {
            const std::string text = gen.Text(pattern);
            SCOPED_TRACE("text \"" + Hex(text) + "\"");
            const bool everyStart = text.size() <= 96;
            TTrace traces[2];
            for (int ic = 0; ic < 2; ++ic)
            {
                SCOPED_TRACE(ic ? "ignoring case" : "matching case");
                const bool anchored = Anchored(*plain[ic], pattern);
                traces[ic] = Exercise(*plain[ic], anchored, text, everyStart);
                EXPECT_EQ(Exercise(*states[ic], anchored, text, everyStart), traces[ic])
                    << "state sets after " << backtrackLimit << " steps";
                if (cut[ic])
                {
                    EXPECT_EQ(Exercise(*cut[ic], anchored, text, everyStart), traces[ic])
                        << "pattern cut at its end";
                }
            }
            if (CaseFree(text))
            {
                EXPECT_EQ(traces[1], traces[0]) << "ignoring case changed a line without letters";
            }
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

TEST(TRegexpFuzz, PathologicalPatternsFinishOnLongLines)
{
    const unsigned seed = FuzzSeed();
    TGenerator gen(seed);
    std::string sjis;
    while (sjis.size() < 4094)
        sjis += gen.Pair();
    std::string mixed;
    while (mixed.size() < 4095)
        mixed += gen.TextToken("a");
    const std::string as(4095, 'a');
    const struct
    {
        const char* pattern;
        const std::string& text;
    } cases[] = {
        {"a*a*a*a*a*c", as},        {"a*a*a*a*a*c", mixed},   {"[^x]*[^x]*[^x]*y", as},
        {"[^x]*[^x]*[^x]*y", sjis}, {"[^x]*[^x]*[^x]*y", mixed}, {".*.*.*.*\\n", mixed},
        {"a?a?a?a?a?a?aaaaaac", as}, {"a+a+a+a+a+$", as + "b"},  {"^a*a*a*a*a*$", as + "b"},
    };
    for (const auto& c : cases)
        for (int ic = 0; ic < 2; ++ic)
        {
            SCOPED_TRACE(std::string("pattern \"") + Hex(c.pattern) + "\" on " +
                         std::to_string(c.text.size()) + " bytes, seed " + std::to_string(seed) +
                         (ic ? ", ignoring case" : ""));
            TRegexp re(c.pattern, ic != 0);
            Exercise(re, Anchored(re, c.pattern), c.text, false);
        }

    // Closures of whatever the line is made of, then something it lacks.
    static const char* const closures[] = {".*",  "a*", "[^z]*", "[a-y]*", "ア*",
                                           "[ア-ン]*", "a?", ".+",    "[^z]+"};
    for (int round = 0; round < 12; ++round)
    {
        std::string pattern;
        for (int k = 3 + gen.Below(4); k > 0; --k)
            pattern += gen.Pick(closures);
        pattern += gen.Chance(50) ? "z" : "\\n";
        const std::string& text = gen.Chance(50) ? as : gen.Chance(50) ? sjis : mixed;
        SCOPED_TRACE("pattern \"" + Hex(pattern) + "\" on " + std::to_string(text.size()) + " bytes, seed " +
                     std::to_string(seed));
        TRegexp re(pattern.c_str(), gen.Chance(50));
        Exercise(re, false, text, false);
    }
}
