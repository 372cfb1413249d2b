// Finding a pattern in the rows where they lie.
#include "editor_page/RowFinder.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <emmintrin.h>

namespace
{
// Upper-case form of every double-byte character whose upper case is a double-byte character too,
// from the platform's Unicode case mapping (so full-width, Greek and Cyrillic letters fold).
const std::vector<uint16_t>& DoubleByteUpper()
{
    static const std::vector<uint16_t> table = []
    {
        std::vector<uint16_t> t(65536);
        for (int code = 0; code < 65536; ++code)
            t[size_t(code)] = uint16_t(code);
        for (int lead = 0x81; lead <= 0xFC; ++lead)
        {
            if (!IsSjisLead(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail)
            {
                if (trail == 0x7F)
                    continue;
                char in[2] = {char(lead), char(trail)};
                wchar_t w[2] = {};
                if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, w, 2) != 1)
                    continue;
                wchar_t up = w[0];
                CharUpperBuffW(&up, 1);
                if (up == w[0])
                    continue;
                char out[4] = {};
                BOOL lossy = FALSE;
                if (WideCharToMultiByte(932, 0, &up, 1, out, 4, nullptr, &lossy) == 2 && !lossy)
                    t[size_t(lead << 8 | trail)] = uint16_t(static_cast<unsigned char>(out[0]) << 8 |
                                                            static_cast<unsigned char>(out[1]));
            }
        }
        return t;
    }();
    return table;
}

unsigned char UpperAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

// Whether col of a row is where a character starts, knowing that one starts at known (<= col):
// the lead bytes right before col pair up from the first of them.
bool CharStartAt(const char* s, int col, int known)
{
    int i = col;
    while (i > known && IsSjisLead(static_cast<unsigned char>(s[i - 1])))
        --i;
    return ((col - i) & 1) == 0;
}

// For each byte value, the bytes of a text that the search's folding can turn into it: a single
// byte's upper case, the lead or the trail byte of a double-byte character's folded form.
const std::vector<std::vector<unsigned char>>& FoldSources()
{
    static const std::vector<std::vector<unsigned char>> sources = []
    {
        std::vector<std::vector<bool>> from(256, std::vector<bool>(256, false));
        for (int c = 0; c < 256; ++c)
        {
            from[size_t(c)][size_t(c)] = true;
            from[UpperAscii(static_cast<unsigned char>(c))][size_t(c)] = true;
        }
        const std::vector<uint16_t>& upper = DoubleByteUpper();
        for (int code = 0; code < 65536; ++code)
        {
            from[upper[size_t(code)] >> 8][size_t(code >> 8)] = true;
            from[upper[size_t(code)] & 0xFF][size_t(code & 0xFF)] = true;
        }
        std::vector<std::vector<unsigned char>> out(256);
        for (int v = 0; v < 256; ++v)
            for (int c = 0; c < 256; ++c)
                if (from[size_t(v)][size_t(c)])
                    out[size_t(v)].push_back(static_cast<unsigned char>(c));
        return out;
    }();
    return sources;
}

// For each byte value, the lead bytes of the double-byte characters whose folded form starts with it.
const std::vector<std::vector<unsigned char>>& FoldedLeadSources()
{
    static const std::vector<std::vector<unsigned char>> sources = []
    {
        std::vector<std::vector<bool>> from(256, std::vector<bool>(256, false));
        const std::vector<uint16_t>& upper = DoubleByteUpper();
        for (int lead = 0; lead < 256; ++lead)
            if (IsSjisLead(static_cast<unsigned char>(lead)))
                for (int trail = 0; trail < 256; ++trail)
                    from[upper[size_t(lead << 8 | trail)] >> 8][size_t(lead)] = true;
        std::vector<std::vector<unsigned char>> out(256);
        for (int v = 0; v < 256; ++v)
            for (int c = 0; c < 256; ++c)
                if (from[size_t(v)][size_t(c)])
                    out[size_t(v)].push_back(static_cast<unsigned char>(c));
        return out;
    }();
    return sources;
}

// How often a byte comes in a Japanese or English text, roughly (per mille of letters for ASCII);
// the rows are scanned for the pattern byte whose possible bytes are rarest.
int Frequency(unsigned char c)
{
    static const int letters[26] = {82, 15, 28, 43, 127, 22, 20, 61, 70, 2, 8, 40, 24,
                                    67, 75, 19, 1, 60, 63, 91, 28, 10, 24, 2, 20, 1};
    if (c >= 'a' && c <= 'z')
        return letters[c - 'a'];
    if (c >= 'A' && c <= 'Z')
        return letters[c - 'A'] / 8 + 1;
    if (c == ' ')
        return 150;
    if (c >= '0' && c <= '9')
        return 10;
    if (c == '\t' || c == '\r')
        return 20;
    if (c == 0x82)
        return 120; // hiragana
    if (c == 0x83)
        return 80; // katakana
    if (c == 0x81)
        return 40; // punctuation
    if (c >= 0x80)
        return 8;
    return c < 0x20 ? 1 : 5;
}

constexpr uint32_t kOnes = 0x01010101u;
constexpr uint32_t kHighs = 0x80808080u;

// Nonzero when a byte of w is zero.
inline uint32_t ZeroByte(uint32_t w) { return (w - kOnes) & ~w & kHighs; }

bool HasSse2()
{
    static const bool has = __builtin_cpu_supports("sse2");
    return has;
}

// The first place in s[i, to) holding one of the count (1 to 4) bytes of v, or to: sixteen bytes at
// a time.
__attribute__((target("sse2"))) int ScanSse2(const char* s, int i, int to, const unsigned char* v, int count)
{
    const __m128i a = _mm_set1_epi8(char(v[0]));
    const __m128i b = _mm_set1_epi8(char(v[count > 1 ? 1 : 0]));
    const __m128i c = _mm_set1_epi8(char(v[count > 2 ? 2 : 0]));
    const __m128i d = _mm_set1_epi8(char(v[count > 3 ? 3 : 0]));
    for (; i + 16 <= to; i += 16)
    {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, a), _mm_cmpeq_epi8(x, b)),
                                       _mm_or_si128(_mm_cmpeq_epi8(x, c), _mm_cmpeq_epi8(x, d)));
        const int mask = _mm_movemask_epi8(m);
        if (mask)
            return i + __builtin_ctz(unsigned(mask));
    }
    for (; i < to; ++i)
        for (int k = 0; k < count; ++k)
            if (static_cast<unsigned char>(s[i]) == v[k])
                return i;
    return to;
}

// The same four bytes at a time, for one or two bytes, where SSE2 is missing.
int ScanWords(const char* s, int i, int to, unsigned char a, unsigned char b)
{
    const uint32_t wa = a * kOnes, wb = b * kOnes;
    auto hit = [&](int k) { return s[k] == char(a) || s[k] == char(b); };
    for (; i < to && (reinterpret_cast<uintptr_t>(s + i) & 3) != 0; ++i)
        if (hit(i))
            return i;
    for (; i + 4 <= to; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        if (ZeroByte(w ^ wa) | ZeroByte(w ^ wb))
            break;
    }
    for (; i < to; ++i)
        if (hit(i))
            return i;
    return to;
}
} // namespace

void SjisByteKinds(const char* s, int len, std::vector<unsigned char>& kinds)
{
    for (int i = 0; i < len; ++i)
    {
        if (IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < len)
        {
            kinds.push_back(1);
            kinds.push_back(2);
            ++i;
        }
        else
            kinds.push_back(0);
    }
}

void FoldSearchCase(std::string& s, const std::vector<unsigned char>& kinds)
{
    const std::vector<uint16_t>& upper = DoubleByteUpper();
    for (size_t i = 0; i < s.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (kinds[i] == 1)
        {
            uint16_t u = upper[size_t(c << 8 | static_cast<unsigned char>(s[i + 1]))];
            s[i] = char(u >> 8);
            s[i + 1] = char(u & 0xFF);
            ++i;
        }
        else if (kinds[i] == 0)
            s[i] = char(UpperAscii(c));
    }
}

TRowFinder::TRowFinder(const TAFDocument& doc, const AnsiString& pattern, bool ignoreCase)
    : doc_(doc), pattern_(pattern.str()), fold_(ignoreCase)
{
    if (pattern_.empty())
        return;
    if (fold_)
    {
        std::vector<unsigned char> kinds;
        SjisByteKinds(pattern_.data(), int(pattern_.size()), kinds);
        FoldSearchCase(pattern_, kinds);
    }
    // The bytes a text can hold where the pattern holds b (b lies in the pattern).
    auto sources = [&](const unsigned char& b) -> std::pair<const unsigned char*, size_t> {
        if (!fold_)
            return {&b, 1};
        const std::vector<unsigned char>& v = FoldSources()[b];
        return {v.data(), v.size()};
    };
    // A match starts with a single byte whose upper case is the pattern's first byte, or with the
    // lead byte of a character whose folded form starts with it.
    const unsigned char want = static_cast<unsigned char>(pattern_[0]);
    if (!fold_)
        first_[want] = true;
    else
    {
        for (int c = 0; c < 256; ++c)
            first_[c] = UpperAscii(static_cast<unsigned char>(c)) == want;
        for (unsigned char c : FoldedLeadSources()[want])
            first_[c] = true;
    }
    // The rarest pattern byte, counting every byte that may stand for it.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(pattern_.data());
    long best = -1;
    for (size_t k = 0; k < pattern_.size(); ++k)
    {
        const auto [from, count] = sources(bytes[k]);
        long cost = 0;
        for (size_t i = 0; i < count; ++i)
            cost += Frequency(from[i]);
        if (best < 0 || cost < best)
        {
            best = cost;
            keyAt_ = int(k);
        }
    }
    const auto [keys, count] = sources(bytes[keyAt_]);
    for (size_t i = 0; i < count; ++i)
        key_[keys[i]] = true;
    keyCount_ = count <= 4 ? int(count) : 0;
    for (int i = 0; i < keyCount_; ++i)
        keys_[i] = keys[i];
}

int TRowFinder::NextKey(const char* s, int i, int to) const
{
    if (keyCount_ > 0 && HasSse2())
        return ScanSse2(s, i, to, keys_, keyCount_);
    if (keyCount_ > 0 && keyCount_ <= 2)
        return ScanWords(s, i, to, keys_[0], keys_[keyCount_ - 1]);
    while (i < to && !key_[static_cast<unsigned char>(s[i])])
        ++i;
    return i;
}

bool TRowFinder::MatchAt(int row, int col, TPoint& end) const
{
    const int rows = doc_.GetLinesCount();
    const int startRow = row;
    const int plen = int(pattern_.size());
    const char* p = pattern_.data();
    const AnsiString* r = &doc_.RowRef(row);
    const char* s = r->c_str();
    int n = r->Length();
    int i = col, j = 0;
    if (!fold_)
    {
        for (;;)
        {
            const int take = std::min(plen - j, n - i);
            if (take > 0 && std::memcmp(s + i, p + j, size_t(take)) != 0)
                return false;
            i += take;
            j += take;
            if (j == plen)
                break;
            if (++row >= rows)
                return false;
            r = &doc_.RowRef(row);
            s = r->c_str();
            n = r->Length();
            i = 0;
        }
        // A match that ends inside a character is none.
        if (i < n && !CharStartAt(s, i, row == startRow ? col : 0))
            return false;
        end = TPoint(i, row);
        return true;
    }
    // Character by character, each folded as the text pairs it: the end is a character's end.
    const std::vector<uint16_t>& upper = DoubleByteUpper();
    while (j < plen)
    {
        if (i >= n)
        {
            if (++row >= rows)
                return false;
            r = &doc_.RowRef(row);
            s = r->c_str();
            n = r->Length();
            i = 0;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsSjisLead(c) && i + 1 < n)
        {
            if (j + 1 >= plen)
                return false; // the pattern ends inside this character
            const uint16_t u = upper[size_t(c << 8 | static_cast<unsigned char>(s[i + 1]))];
            if (static_cast<unsigned char>(p[j]) != (u >> 8) || static_cast<unsigned char>(p[j + 1]) != (u & 0xFF))
                return false;
            i += 2;
            j += 2;
        }
        else
        {
            if (static_cast<unsigned char>(p[j]) != UpperAscii(c))
                return false;
            ++i;
            ++j;
        }
    }
    end = TPoint(i, row);
    return true;
}

TPoint TRowFinder::Next(const TPoint& from, const TPoint& to)
{
    TPoint result(-1, from.y);
    const int rows = doc_.GetLinesCount();
    if (pattern_.empty() || rows == 0)
        return result;
    const int plen = int(pattern_.size());
    const int last = std::min(to.y, rows - 1);
    for (int y = std::max(0, from.y); y <= last; ++y)
    {
        result.y = y;
        const AnsiString& row = doc_.RowRef(y);
        const char* s = row.c_str();
        const int n = row.Length();
        const int c0 = y == from.y ? std::max(0, from.x) : 0;
        int known = 0; // a character starts here
        // Whether a match starts at c; false when none can, or none can end by to any more.
        bool past = false;
        auto tryAt = [&](int c) {
            if (!first_[static_cast<unsigned char>(s[c])] || !CharStartAt(s, c, known))
                return false;
            known = c;
            TPoint end;
            if (!MatchAt(y, c, end))
                return false;
            if (end.y > to.y || (end.y == to.y && end.x > to.x))
            {
                past = true; // every later match ends later still
                return false;
            }
            lastEnd_ = end;
            return true;
        };
        // Matches inside the row, found by the key byte; then those that run on into the next rows.
        const int inside = n - plen; // the last start of a match inside the row
        const int keyEnd = inside + keyAt_ + 1;
        for (int k = c0 + keyAt_ < keyEnd ? NextKey(s, c0 + keyAt_, keyEnd) : keyEnd; k < keyEnd;
             k = NextKey(s, k + 1, keyEnd))
        {
            if (tryAt(k - keyAt_))
                return TPoint(k - keyAt_, y);
            if (past)
                break;
        }
        for (int c = std::max(c0, inside + 1); c < n && !past; ++c)
            if (tryAt(c))
                return TPoint(c, y);
        if (past)
        {
            result.y = last;
            return result;
        }
    }
    return result;
}
