#include "search/Regexp.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
enum : uint8_t
{
    ekByte,  // one single-byte character
    ekPair,  // one double-byte character
    ekAny,   // '.'
    ekClass, // '[...]'
    ekBol,   // '^'
    ekEol,   // '$'
};

enum : uint8_t
{
    qOne,
    qOpt,  // '?'
    qStar, // '*'; 'x+' is kept as 'x' followed by 'x*'
};

// Backtracking ends with failure or with a match; past this it always ends with a result, which
// the state sets give as well in linear time.
constexpr long long kBacktrackBase = 1024;
constexpr long long kBacktrackPerByte = 4;
// A stop request is looked at after this many steps.
constexpr long long kStopCheckSteps = 1 << 14;
constexpr int kGaveUp = -2;

// A lead byte followed by a valid trail byte is one character; anything else is a single byte.
inline bool IsPairAt(const unsigned char* s, int n, int i)
{
    return IsSjisLead(s[i]) && i + 1 < n && IsSjisTrail(s[i + 1]);
}

inline int CharLen(const unsigned char* s, int n, int i) { return IsPairAt(s, n, i) ? 2 : 1; }

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

inline bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Bytes of 0x80 and above take two bytes in the program's encoding.
inline int ByteCost(int b) { return b < 0x80 ? 1 : 2; }

// The pattern ends at its first NUL or newline.
int PatternLength(const char* pattern)
{
    int n = 0;
    if (pattern)
        while (pattern[n] != '\0' && pattern[n] != '\n')
            ++n;
    return n;
}

inline bool TestBit(const std::vector<uint64_t>& bits, size_t i) { return (bits[i >> 6] >> (i & 63)) & 1; }
inline void SetBit(std::vector<uint64_t>& bits, size_t i) { bits[i >> 6] |= uint64_t(1) << (i & 63); }
inline void ClearBit(std::vector<uint64_t>& bits, size_t i) { bits[i >> 6] &= ~(uint64_t(1) << (i & 63)); }
} // namespace

TRegexp::TRegexp(const char* pattern, bool ignoreCase) : ignoreCase_(ignoreCase)
{
    Compile(reinterpret_cast<const unsigned char*>(pattern ? pattern : ""), PatternLength(pattern));
}

TRegexp::TRegexp(const char* pattern, bool ignoreCase, std::nothrow_t) : ignoreCase_(ignoreCase)
{
    try
    {
        Compile(reinterpret_cast<const unsigned char*>(pattern ? pattern : ""), PatternLength(pattern));
    }
    catch (const ERegexpError& e)
    {
        status_ = e.Status;
        errorOffset_ = e.Offset;
        errorMessage_ = e.Message;
        elems_.clear();
        classes_.clear();
        programLength_ = 0;
    }
}

TRegexp::~TRegexp() = default;

void TRegexp::Fail(int status, int offset, const char* what) const
{
    AnsiString msg = status == rsEmpty
                         ? AnsiString(what)
                         : AnsiString("正規表現の誤り（") + AnsiString(offset + 1) + " バイト目）: " + what;
    throw ERegexpError(msg, status, offset);
}

// ---- Compiling -----------------------------------------------------------------------------------

void TRegexp::Compile(const unsigned char* pat, int len)
{
    elems_.clear();
    classes_.clear();
    if (len == 0)
        Fail(rsEmpty, 0, "検索する正規表現が空です。");
    if (pat[0] == '*' || pat[0] == '+' || pat[0] == '?')
        Fail(rsEmpty, 0, "正規表現の先頭に '*'、'+'、'?' は置けません。");

    enum
    {
        lastAnchor,
        lastClosure,
        lastElem
    } last = lastElem;
    int size = 1; // the terminator
    auto reserve = [&](int bytes, int at) {
        if (size + bytes > ProgramSize)
            Fail(rsInvalid, at, "正規表現が長すぎます。");
        size += bytes;
    };

    int i = 0;
    while (i < len)
    {
        const int at = i;
        const unsigned char c = pat[i];
        if (c == '*' || c == '+' || c == '?')
        {
            if (last == lastAnchor)
                Fail(rsInvalid, at, "'^' の直後に '*'、'+'、'?' は置けません。");
            if (last == lastClosure)
                Fail(rsInvalid, at, "'*'、'+'、'?' は続けて置けません。");
            reserve(1, at);
            TElem& prev = elems_.back();
            if (c == '*')
                prev.Quant = qStar;
            else if (c == '?')
                prev.Quant = qOpt;
            else
            {
                TElem more = prev;
                more.Quant = qStar;
                elems_.push_back(more);
            }
            last = lastClosure;
            ++i;
            continue;
        }

        TElem e{ekByte, qOne, 0, 0, -1};
        if (c == '^' && i == 0)
        {
            reserve(1, at);
            e.Kind = ekBol;
            ++i;
        }
        else if (c == '$' && i == len - 1)
        {
            reserve(1, at);
            e.Kind = ekEol;
            ++i;
        }
        else if (c == '.')
        {
            reserve(1, at);
            e.Kind = ekAny;
            ++i;
        }
        else if (c == '[')
        {
            e.Kind = ekClass;
            e.Class = int(classes_.size());
            i = ParseClass(pat, len, i + 1, size);
        }
        else if (c == '\\')
        {
            int value = 0, trail = -1;
            i = ParseEscape(pat, len, i, value, trail);
            e.B1 = uint8_t(value);
            if (trail >= 0)
            {
                e.Kind = ekPair;
                e.B2 = uint8_t(trail);
                reserve(2 + ByteCost(trail), at);
            }
            else
                reserve(ByteCost(value), at);
        }
        else if (IsPairAt(pat, len, i))
        {
            // The trail byte belongs to the character, even when it looks like '\\', '[' or '^'.
            e.Kind = ekPair;
            e.B1 = c;
            e.B2 = pat[i + 1];
            reserve(2 + ByteCost(pat[i + 1]), at);
            i += 2;
        }
        else
        {
            e.B1 = c;
            reserve(ByteCost(c), at);
            ++i;
        }
        if (ignoreCase_ && e.Kind == ekByte)
            e.B1 = FoldAscii(e.B1);
        elems_.push_back(e);
        last = (e.Kind == ekBol || e.Kind == ekEol) ? lastAnchor : lastElem;
    }

    programLength_ = size;
    const TElem& first = elems_.front();
    const bool foldedFirst = first.Kind == ekByte && ignoreCase_ && IsAsciiLetter(first.B1);
    leadsWithByte_ =
        (first.Kind == ekPair || first.Kind == ekByte) && first.Quant == qOne && !foldedFirst && first.B1 != 0;
    anchored_ = first.Kind == ekBol;
}

// Reads the escape at pat[i] == '\\'; returns the index after it. A double-byte character after the
// backslash is itself (value = lead, trail >= 0); every other escape gives one byte in value.
int TRegexp::ParseEscape(const unsigned char* pat, int len, int i, int& value, int& trail) const
{
    trail = -1;
    const int at = i;
    if (i + 1 >= len)
    {
        value = '\\'; // a backslash that ends the pattern is itself
        return i + 1;
    }
    const unsigned char d = pat[i + 1];
    if (IsPairAt(pat, len, i + 1))
    {
        value = d;
        trail = pat[i + 2];
        return i + 3;
    }
    int j = i + 2;
    switch (d)
    {
    case 'b':
    case 'B': value = 8; break;
    case 'e':
    case 'E': value = 27; break;
    case 'f':
    case 'F': value = 12; break;
    case 'n':
    case 'N': value = 10; break;
    case 'r':
    case 'R': value = 13; break;
    case 's':
    case 'S': value = 32; break;
    case 't':
    case 'T': value = 9; break;
    case 'x':
    case 'X':
        value = 0;
        for (int k = 0; k < 3 && j < len && HexDigitValue(pat[j]) >= 0; ++k, ++j)
            value = value * 16 + HexDigitValue(pat[j]);
        break;
    case '^':
    {
        if (j >= len)
        {
            value = '^';
            break;
        }
        const unsigned char u = (pat[j] >= 'a' && pat[j] <= 'z') ? pat[j] - ('a' - 'A') : pat[j];
        ++j;
        // Only '@'..'_' name a control code; anything below would be a negative byte.
        if (u < 0x40 || u > 0x5F)
            Fail(rsInvalid, at, "'\\^' の後の文字は制御文字を表しません。");
        value = u - 0x40;
        break;
    }
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
        // The first digit only marks the escape as octal; the next character gives the first digit
        // whatever it is (its low three bits above '0'), further octal digits are appended.
        if (j >= len || IsPairAt(pat, len, j))
            Fail(rsInvalid, at, "8 進数のエスケープに数字が続いていません。");
        value = (pat[j++] - '0') & 7;
        for (int k = 0; k < 2 && j < len && pat[j] >= '0' && pat[j] <= '7'; ++k, ++j)
            value = value * 8 + (pat[j] - '0');
        break;
    default: value = d; break;
    }
    // A value of 0 is the byte that ends a text: as a literal it matches nothing.
    if (value > 0xFF)
        Fail(rsInvalid, at, "エスケープの値が 0xFF を超えています。");
    return j;
}

// Reads a class from pat[i] (just after '['); returns the index after its ']' or the pattern's end.
int TRegexp::ParseClass(const unsigned char* pat, int len, int i, int& size)
{
    const int open = i - 1;
    TClass cls{};
    if (i < len && pat[i] == '^')
    {
        cls.Negated = true;
        ++i;
    }
    int cost = 1 + 16;
    auto member = [&](int j, int& value, int& trail) {
        if (pat[j] == '\\')
            return ParseEscape(pat, len, j, value, trail);
        if (IsPairAt(pat, len, j))
        {
            value = pat[j];
            trail = pat[j + 1];
            return j + 2;
        }
        value = pat[j];
        trail = -1;
        return j + 1;
    };
    while (i < len && pat[i] != ']')
    {
        const int at = i;
        int lo = 0, loTrail = -1;
        i = member(i, lo, loTrail);
        int hi = lo, hiTrail = loTrail;
        const bool range = i + 1 < len && pat[i] == '-' && pat[i + 1] != ']';
        if (range)
            i = member(i + 1, hi, hiTrail);
        if ((loTrail < 0) != (hiTrail < 0))
            Fail(rsInvalid, at, "範囲の両端は 1 バイト文字どうしか 2 バイト文字どうしにしてください。");
        if (loTrail < 0)
        {
            if (lo > hi)
                std::swap(lo, hi);
            // Members are kept by their low seven bits, as single-byte text is tested.
            for (int v = lo; v <= hi; ++v)
                cls.Bits[(v & 0x7F) >> 3] |= uint8_t(1 << (v & 7));
        }
        else
        {
            uint16_t a = uint16_t(lo << 8 | loTrail), b = uint16_t(hi << 8 | hiTrail);
            if (a > b)
                std::swap(a, b);
            cls.Wide.emplace_back(a, b);
            cost += range ? 4 : 2;
        }
    }
    if (i < len)
        ++i; // the ']'
    if (size + cost > ProgramSize)
        Fail(rsInvalid, open, "正規表現が長すぎます。");
    size += cost;
    if (ignoreCase_)
        for (int c = 'a'; c <= 'z'; ++c)
        {
            const int u = c - ('a' - 'A');
            const bool either = (cls.Bits[c >> 3] >> (c & 7) & 1) || (cls.Bits[u >> 3] >> (u & 7) & 1);
            if (either)
            {
                cls.Bits[c >> 3] |= uint8_t(1 << (c & 7));
                cls.Bits[u >> 3] |= uint8_t(1 << (u & 7));
            }
        }
    if (cls.Negated)
        for (uint8_t& b : cls.Bits)
            b = uint8_t(~b);
    classes_.push_back(std::move(cls));
    return i;
}

// ---- Matching ------------------------------------------------------------------------------------

bool TRegexp::ClassHas(const TClass& c, const unsigned char* t, int p, int charLen) const
{
    if (charLen == 1)
    {
        const int b = t[p] & 0x7F;
        return (c.Bits[b >> 3] >> (b & 7)) & 1;
    }
    const uint16_t code = uint16_t(t[p] << 8 | t[p + 1]);
    bool in = false;
    for (const auto& r : c.Wide)
        if (code >= r.first && code <= r.second)
        {
            in = true;
            break;
        }
    return in != c.Negated;
}

// One element at p: the position after it, or -1. Records the character boundaries it steps over.
int TRegexp::Step(const TElem& e, const unsigned char* t, int n, int p)
{
    if (++steps_ >= nextStopCheck_ && StopAsked())
        return -1; // everything fails from now on: the search unwinds quickly
    if (e.Kind == ekBol)
        return p == bolAt_ ? p : -1;
    if (e.Kind == ekEol)
        return (p == n || t[p] == '\n') ? p : -1;
    if (p >= n)
        return -1;
    const int len = CharLen(t, n, p);
    switch (e.Kind)
    {
    case ekByte:
        if (len != 1 || (ignoreCase_ ? FoldAscii(t[p]) : t[p]) != e.B1 || e.B1 == 0)
            return -1;
        break;
    case ekPair:
        if (len != 2 || t[p] != e.B1 || t[p + 1] != e.B2)
            return -1;
        break;
    case ekAny:
        if (t[p] == '\n')
            return -1;
        break;
    default:
        if (!ClassHas(classes_[size_t(e.Class)], t, p, len))
            return -1;
        break;
    }
    SetBit(boundary_, size_t(p));
    if (len == 2)
        ClearBit(boundary_, size_t(p) + 1);
    return p + len;
}

// The character boundary before p, where p > the start of a run this search stepped over.
int TRegexp::Prev(int p) const { return TestBit(boundary_, size_t(p) - 1) ? p - 1 : p - 2; }

bool TRegexp::StopAsked()
{
    if (!stopped_ && steps_ >= nextStopCheck_)
    {
        nextStopCheck_ = steps_ + kStopCheckSteps;
        stopped_ = stop_();
    }
    return stopped_;
}

// Opens the choice of a closure at p. A star first runs as far as it can and then backs off one
// element at a time.
void TRegexp::PushFrame(int elem, const unsigned char* t, int n, int p)
{
    const TElem& e = elems_[size_t(elem)];
    TFrame f{elem, p, -1, 0};
    if (e.Quant == qOpt)
    {
        f.Cur = Step(e, t, n, p);
        f.Far = 1;
    }
    else
    {
        int w = p;
        for (;;)
        {
            const int q = Step(e, t, n, w);
            if (q < 0)
                break;
            w = q;
        }
        f.Cur = w;
        f.Far = w;
    }
    frames_.push_back(f);
}

// The end of the match that begins at s, -1, or kGaveUp past the step limit (or a stop). Backtracking
// keeps its choices in frames_, never on the native stack.
int TRegexp::MatchAt(const unsigned char* t, int n, int s)
{
    frames_.clear();
    const int m = int(elems_.size());
    int i = 0, p = s;
    for (;;)
    {
        for (;;)
        {
            if (i == m)
                return p;
            const TElem& e = elems_[size_t(i)];
            if (e.Quant == qOne)
            {
                p = Step(e, t, n, p);
                if (p < 0)
                    break;
                ++i;
                continue;
            }
            if (steps_ > stepLimit_ || StopAsked())
                return kGaveUp;
            PushFrame(i, t, n, p);
            break;
        }
        for (;;)
        {
            if (stopped_)
                return kGaveUp;
            if (frames_.empty())
                return -1;
            TFrame& f = frames_.back();
            const TElem& e = elems_[size_t(f.Elem)];
            int next = -1;
            if (e.Quant == qOpt)
            {
                if (f.Cur >= 0)
                {
                    next = f.Cur;
                    f.Cur = -1;
                }
                else if (f.Far)
                {
                    next = f.Pos;
                    f.Far = 0;
                }
            }
            else if (f.Cur >= 0)
            {
                next = f.Cur;
                f.Cur = next > f.Pos ? Prev(next) : -1;
            }
            if (next >= 0)
            {
                i = f.Elem + 1;
                p = next;
                break;
            }
            frames_.pop_back();
        }
    }
}

// The first character start at or after p (itself one) whose byte is the first element's; -1 when
// there is none.
int TRegexp::ScanFirstByte(const unsigned char* t, int n, int p) const
{
    while (p < n)
    {
        const void* hit = std::memchr(t + p, elems_[0].B1, size_t(n - p));
        if (!hit)
            return -1;
        const int q = int(static_cast<const unsigned char*>(hit) - t);
        // p is a boundary and [k, q) are lead-range bytes: q is a trail byte exactly when an odd
        // run ends in a lead that takes it. (The first byte of a pair is itself lead-range.)
        int k = q;
        while (k > p && IsSjisLead(t[k - 1]))
            --k;
        if ((q - k) % 2 == 0 || !IsSjisTrail(t[q]))
            return q;
        p = q + 1;
    }
    return -1;
}

// Adds the state "element elem next, at p" to a list in the order backtracking would try it, with
// the states reached from it without consuming (a skipped '?' or '*', an anchor that holds) after
// it. A state already in the list came by a path tried earlier, which has the same future.
void TRegexp::AddState(std::vector<TState>& list, int elem, const unsigned char* t, int n, int p, int start)
{
    const int m = int(elems_.size());
    for (;;)
    {
        if (seen_[size_t(elem)] == p + 1)
            return;
        seen_[size_t(elem)] = p + 1;
        if (elem == m)
        {
            list.push_back({elem, start});
            return;
        }
        const TElem& e = elems_[size_t(elem)];
        if (e.Kind == ekBol || e.Kind == ekEol)
        {
            if (Step(e, t, n, p) < 0)
                return;
            ++elem;
            continue;
        }
        list.push_back({elem, start});
        if (e.Quant == qOne)
            return;
        ++elem;
    }
}

// The leftmost match from p on, as backtracking would find it, without backtracking: the states
// alive at a position are kept in the order backtracking tries them (earlier starts first), all step
// over one character together, and a match drops the states after it. Each element is taken once
// per position, so this takes at most (elements + 1) steps per character.
int TRegexp::MatchStates(const unsigned char* t, int n, int p, int last, int* length)
{
    const int m = int(elems_.size());
    seen_.assign(size_t(m) + 1, 0);
    std::vector<TState>& cur = states_;
    std::vector<TState>& next = nextStates_;
    cur.clear();
    int matchStart = -1, matchEnd = -1;
    for (;;)
    {
        if (matchStart < 0 && p <= last)
        {
            if (cur.empty() && leadsWithByte_)
            {
                p = ScanFirstByte(t, n, p);
                if (p < 0 || p > last)
                    break;
            }
            AddState(cur, 0, t, n, p, p);
        }
        if (cur.empty() || StopAsked())
            break;
        next.clear();
        for (const TState& st : cur)
        {
            if (st.Elem == m)
            {
                matchStart = st.Start;
                matchEnd = p;
                break;
            }
            const TElem& e = elems_[size_t(st.Elem)];
            const int q = Step(e, t, n, p);
            if (q >= 0)
                AddState(next, e.Quant == qStar ? st.Elem : st.Elem + 1, t, n, q, st.Start);
        }
        cur.swap(next);
        if (p >= n)
            break;
        p += CharLen(t, n, p);
    }
    if (matchStart < 0 || stopped_)
        return -1;
    *length = matchEnd - matchStart;
    if (*length == 0 && matchStart == searchStart_ && matchStart < n)
        *length = CharLen(t, n, matchStart);
    return matchStart;
}

// Leftmost match from start, which must be a character boundary; '^' matches only at bolAt.
int TRegexp::Search(const unsigned char* t, int n, int start, int bolAt, int* length)
{
    *length = 0;
    if (status_ != rsCompiled || start < 0 || start > n)
        return -1;
    const size_t words = (size_t(n) + 1 + 63) / 64;
    if (boundary_.size() < words)
        boundary_.resize(words);
    steps_ = 0;
    // Not at the start: a file search asks between lines itself, and a short line's search
    // should not pay for the question.
    nextStopCheck_ = stop_ ? kStopCheckSteps : LLONG_MAX;
    stopped_ = false;
    stepLimit_ = backtrackLimit_ >= 0 ? backtrackLimit_ : kBacktrackBase + kBacktrackPerByte * (n + 1LL);
    bolAt_ = bolAt;
    searchStart_ = start;

    // A match never begins after the line's final newline, so "$" hits a line once.
    int last = (n > 0 && t[n - 1] == '\n') ? n - 1 : n;
    if (anchored_)
        last = std::min(last, bolAt);
    int p = start;
    while (p <= last)
    {
        if (leadsWithByte_)
        {
            p = ScanFirstByte(t, n, p);
            if (p < 0 || p > last)
                return -1;
        }
        if (StopAsked())
            return -1;
        const int end = MatchAt(t, n, p);
        if (end == kGaveUp)
            return stopped_ ? -1 : MatchStates(t, n, p, last, length);
        if (end >= 0)
        {
            *length = end - p;
            if (*length == 0 && p == start && p < n)
                *length = CharLen(t, n, p); // an empty match where the search began counts what is there
            return p;
        }
        if (p >= n)
            break;
        p += CharLen(t, n, p);
    }
    return -1;
}

int TRegexp::find(const char* text, int* length, int start)
{
    return find(text, text ? int(std::strlen(text)) : 0, length, start);
}

int TRegexp::find(const char* text, int textLength, int* length, int start)
{
    int unused = 0;
    if (!length)
        length = &unused;
    *length = 0;
    if (!text || textLength < 0)
        textLength = 0;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text ? text : "");
    if (start < 0)
        start = 0;
    if (start > textLength)
        return -1;
    // A start inside a double-byte character moves to the next one: count the lead-range bytes
    // before it; an odd run ends in a lead that takes the byte at start.
    if (start > 0 && start < textLength)
    {
        int k = start;
        while (k > 0 && IsSjisLead(t[k - 1]))
            --k;
        if ((start - k) % 2 == 1 && IsSjisTrail(t[start]))
            ++start;
    }
    return Search(t, textLength, start, start, length);
}

bool TRegexp::FindNext(const char* text, int textLength, int& start, int& position, int& length)
{
    position = -1;
    length = 0;
    if (!text || textLength < 0)
        textLength = 0;
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text ? text : "");
    if (start < 0)
        start = 0;
    if (start > textLength)
        return false;
    const int pos = Search(t, textLength, start, 0, &length);
    if (pos < 0)
    {
        start = textLength + 1;
        return false;
    }
    position = pos;
    if (length > 0)
        start = pos + length;
    else
        start = pos < textLength ? pos + CharLen(t, textLength, pos) : textLength + 1;
    return true;
}
