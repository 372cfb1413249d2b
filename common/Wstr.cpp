#include "Wstr.h"

#include <windows.h>

#include "platform/Cp932.h"

#include <cstdint>
#include <string>
#include <vector>

namespace
{
template <size_t N>
constexpr int Len(const wchar_t (&)[N])
{
    return int(N) - 1;
}

// Partner tables: a unit's position in one selects the unit at the same position in the other.
constexpr wchar_t kHiragana[] = L"をぁぃぅぇぉゃゅょっあいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわん";
constexpr wchar_t kKatakana[] = L"ヲァィゥェォャュョッアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
constexpr wchar_t kHalfKana[] = L"ｦｧｨｩｪｫｬｭｮｯｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ";
constexpr wchar_t kVoicedHiragana[] = L"がぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽ";
constexpr wchar_t kVoicedKatakana[] = L"ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴ";
// Pairs of kana and mark, one pair per voiced katakana.
constexpr wchar_t kHalfVoicedKana[] = L"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ";
// "０" stands first and last; lookups find the first.
constexpr wchar_t kFullDigits[] = L"０１２３４５６７８９０";
constexpr wchar_t kDigits[] = L"0123456789";
// The blanks stand first so that they map to each other.
constexpr wchar_t kFullCapitals[] = L"\u3000ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ";
constexpr wchar_t kFullSmall[] = L"\u3000ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ";
constexpr wchar_t kCapitals[] = L" ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr wchar_t kSmall[] = L" abcdefghijklmnopqrstuvwxyz";
// Escapes where look-alikes exist: ” ’ － ￥ ￣ and the half-width punctuation and marks.
constexpr wchar_t kFullSymbols[] = L"！\u201D＃＄％＆\u2019（）＊＋，\uFF0D．／：；＜＝＞？＠［\uFFE5］＾＿｀｛｜｝\uFFE3"
                                   L"。「」、・ー゛゜";
constexpr wchar_t kSymbols[] = L"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"
                               L"\uFF61\uFF62\uFF63\uFF64\uFF65\uFF70\uFF9E\uFF9F";

static_assert(Len(kHiragana) == 55 && Len(kKatakana) == 55 && Len(kHalfKana) == 55);
static_assert(Len(kVoicedHiragana) == 25 && Len(kVoicedKatakana) == 26 && Len(kHalfVoicedKana) == 52);
static_assert(Len(kFullDigits) == 11 && Len(kDigits) == 10);
static_assert(Len(kFullCapitals) == 27 && Len(kFullSmall) == 27 && Len(kCapitals) == 27 && Len(kSmall) == 27);
static_assert(Len(kFullSymbols) == 40 && Len(kSymbols) == 40);

constexpr wchar_t kVoicedMark = 0xFF9E;
constexpr wchar_t kSemiVoicedMark = 0xFF9F;

// Looks `unit` up in `from` and gives the partner at the same position.
bool MapThrough(const wchar_t* from, const wchar_t* to, wchar_t unit, wchar_t& out)
{
    int i = WStrChr(from, unit);
    if (i < 0)
        return false;
    out = to[i];
    return true;
}

// --- Byte tables ------------------------------------------------------------------------------
// Every unit of the tables above that code page 932 encodes (and decodes back to the same unit)
// gets a class; a 64 K table maps each Shift-JIS code (single byte b, or lead << 8 | trail) to its
// class, 0 meaning "no conversion touches it". Each conversion keeps, per class, the bytes it
// writes instead (none = unchanged).

struct Replacement
{
    uint8_t len = 0; // 0: the character stays as it is
    char bytes[4] = {};
};

enum ConvKind
{
    ckUpper,
    ckLower,
    ckFull,
    ckHalf,
    ckCount
};

struct ByteTables
{
    std::vector<uint16_t> classOf = std::vector<uint16_t>(0x10000, 0);
    std::vector<wchar_t> unitOf{0};        // class -> unit
    std::vector<Replacement> bytesOf{{}}; // class -> canonical Shift-JIS bytes of the unit
    std::vector<Replacement> out[ckCount];
    std::vector<Replacement> voiced[2]; // full width: class followed by ﾞ / ﾟ
    uint16_t markClass[2] = {0, 0};

    ByteTables();
    uint16_t ClassOfUnit(wchar_t unit) const;
    bool Encode(const wchar_t* units, int n, Replacement& r) const;
};

bool EncodeUnit(wchar_t unit, Replacement& r)
{
    char buf[8];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(kCodePageSjis, WC_NO_BEST_FIT_CHARS, &unit, 1, buf, sizeof buf, nullptr,
                                &usedDefault);
    if (n < 1 || n > 2 || usedDefault)
        return false;
    wchar_t back[4];
    int m = MultiByteToWideChar(kCodePageSjis, MB_ERR_INVALID_CHARS, buf, n, back, 4);
    if (m != 1 || back[0] != unit)
        return false;
    r.len = uint8_t(n);
    r.bytes[0] = buf[0];
    r.bytes[1] = n > 1 ? buf[1] : 0;
    return true;
}

unsigned CodeOf(const Replacement& r)
{
    return r.len == 1 ? (unsigned char)r.bytes[0]
                      : ((unsigned)(unsigned char)r.bytes[0] << 8) | (unsigned char)r.bytes[1];
}

ByteTables::ByteTables()
{
    const wchar_t* tables[] = {kHiragana, kKatakana,     kHalfKana,  kVoicedHiragana, kVoicedKatakana,
                               kHalfVoicedKana, kFullDigits, kDigits, kFullCapitals, kFullSmall,
                               kCapitals, kSmall,         kFullSymbols, kSymbols};
    for (const wchar_t* t : tables)
    {
        for (; *t; ++t)
        {
            if (ClassOfUnit(*t))
                continue;
            Replacement r;
            if (!EncodeUnit(*t, r))
                continue; // a unit the code page cannot hold is never converted to or from
            classOf[CodeOf(r)] = uint16_t(unitOf.size());
            unitOf.push_back(*t);
            bytesOf.push_back(r);
        }
    }
    const int classes = int(unitOf.size());
    for (auto& v : out)
        v.resize(size_t(classes));
    for (auto& v : voiced)
        v.resize(size_t(classes));
    markClass[0] = ClassOfUnit(kVoicedMark);
    markClass[1] = ClassOfUnit(kSemiVoicedMark);

    for (int c = 1; c < classes; ++c)
    {
        const wchar_t u = unitOf[size_t(c)];
        wchar_t w = ToUpperW(u);
        if (w != u)
            Encode(&w, 1, out[ckUpper][size_t(c)]);
        w = ToLowerW(u);
        if (w != u)
            Encode(&w, 1, out[ckLower][size_t(c)]);
        ToFullWidthW(&u, 1, 0, w);
        if (w != u)
            Encode(&w, 1, out[ckFull][size_t(c)]);
        wchar_t half[3];
        int n = ToHalfWidthW(u, half);
        if (n > 1 || half[0] != u)
            Encode(half, n, out[ckHalf][size_t(c)]);
        for (int m = 0; m < 2; ++m)
        {
            const wchar_t pair[2] = {u, m == 0 ? kVoicedMark : kSemiVoicedMark};
            if (markClass[m] && ToFullWidthW(pair, 2, 0, w) == 2)
                Encode(&w, 1, voiced[m][size_t(c)]);
        }
    }
}

uint16_t ByteTables::ClassOfUnit(wchar_t unit) const
{
    for (size_t c = 1; c < unitOf.size(); ++c)
        if (unitOf[c] == unit)
            return uint16_t(c);
    return 0;
}

// Only units that have a class can be written; anything else leaves the character unchanged.
bool ByteTables::Encode(const wchar_t* units, int n, Replacement& r) const
{
    Replacement acc;
    for (int i = 0; i < n; ++i)
    {
        uint16_t c = ClassOfUnit(units[i]);
        if (!c)
            return false;
        const Replacement& b = bytesOf[c];
        if (acc.len + b.len > int(sizeof acc.bytes))
            return false;
        for (int k = 0; k < b.len; ++k)
            acc.bytes[acc.len++] = b.bytes[k];
    }
    r = acc;
    return true;
}

const ByteTables& Tables()
{
    static const ByteTables tables;
    return tables;
}

enum ConvMode
{
    cvUpper,
    cvLower,
    cvSentence,
    cvFull,
    cvHalf
};

nsString Convert(const nsString& text, ConvMode mode)
{
    const int n = text.Length();
    if (n == 0)
        return nsString();
    const ByteTables& t = Tables();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text.c_str());
    const std::vector<Replacement>* table = nullptr;
    switch (mode)
    {
    case cvUpper: table = &t.out[ckUpper]; break;
    case cvLower: table = &t.out[ckLower]; break;
    case cvSentence: table = &t.out[ckUpper]; break;
    case cvFull: table = &t.out[ckFull]; break;
    case cvHalf: table = &t.out[ckHalf]; break;
    }

    std::string result;
    result.reserve(mode == cvFull ? size_t(n) * 2 : size_t(n));
    int copied = 0; // bytes before this are in result
    int i = 0;
    while (i < n)
    {
        int clen = 1;
        unsigned code = s[i];
        if (IsSjisLead(s[i]) && i + 1 < n && IsSjisTrail(s[i + 1]))
        {
            code = (unsigned)s[i] << 8 | s[i + 1];
            clen = 2;
        }
        const uint16_t c = t.classOf[code];
        if (c)
        {
            const Replacement* r = &(*table)[c];
            int consumed = clen;
            if (mode == cvFull && i + clen < n)
            {
                // A mark that this kana cannot take is left for the next step (ｱﾞ → ア゛).
                const uint16_t next = t.classOf[s[i + clen]];
                for (int m = 0; m < 2; ++m)
                {
                    if (next && next == t.markClass[m] && t.voiced[m][c].len)
                    {
                        r = &t.voiced[m][c];
                        consumed = clen + 1;
                    }
                }
            }
            if (r->len)
            {
                result.append(reinterpret_cast<const char*>(s) + copied, size_t(i - copied));
                result.append(r->bytes, r->len);
                copied = i + consumed;
            }
            clen = consumed;
        }
        if (mode == cvSentence && i == 0)
            table = &t.out[ckLower];
        i += clen;
    }
    if (copied == 0)
        return text;
    result.append(reinterpret_cast<const char*>(s) + copied, size_t(n - copied));
    return nsString(result.data(), int(result.size()));
}
} // namespace

int WStrChr(const wchar_t* text, wchar_t unit)
{
    if (!text || unit == 0)
        return -1;
    for (int i = 0; text[i]; ++i)
        if (text[i] == unit)
            return i;
    return -1;
}

bool IsFullWidthW(wchar_t unit) { return unit > 0xFF && unit < 0xFF00; } // wchar_t is 16 bits here

wchar_t ToUpperW(wchar_t unit)
{
    wchar_t out;
    const bool fullSmall = unit >= 0xFF41 && unit <= 0xFF5A;
    if ((IsFullWidthW(unit) || fullSmall) && MapThrough(kFullSmall, kFullCapitals, unit, out))
        return out;
    if (MapThrough(kSmall, kCapitals, unit, out))
        return out;
    return unit;
}

wchar_t ToLowerW(wchar_t unit)
{
    wchar_t out;
    const bool fullCapital = unit >= 0xFF21 && unit <= 0xFF3A;
    if ((IsFullWidthW(unit) || fullCapital) && MapThrough(kFullCapitals, kFullSmall, unit, out))
        return out;
    if (MapThrough(kCapitals, kSmall, unit, out))
        return out;
    return unit;
}

int ToFullWidthW(const wchar_t* text, int len, int pos, wchar_t& out)
{
    const wchar_t unit = text[pos];
    if (pos + 1 < len && (text[pos + 1] == kVoicedMark || text[pos + 1] == kSemiVoicedMark))
    {
        for (int i = 0; i < Len(kVoicedKatakana); ++i)
        {
            if (kHalfVoicedKana[2 * i] == unit && kHalfVoicedKana[2 * i + 1] == text[pos + 1])
            {
                out = kVoicedKatakana[i];
                return pos + 2;
            }
        }
    }
    if (MapThrough(kHalfKana, kKatakana, unit, out) || MapThrough(kCapitals, kFullCapitals, unit, out) ||
        MapThrough(kSmall, kFullSmall, unit, out) || MapThrough(kSymbols, kFullSymbols, unit, out) ||
        MapThrough(kDigits, kFullDigits, unit, out))
        return pos + 1;
    out = unit;
    return pos + 1;
}

int ToHalfWidthW(wchar_t unit, wchar_t out[3])
{
    out[1] = 0;
    out[2] = 0;
    if (MapThrough(kHiragana, kHalfKana, unit, out[0]) || MapThrough(kKatakana, kHalfKana, unit, out[0]))
        return 1;
    // Voiced hiragana and katakana share their order, so number i of either is pair i (ヴ last).
    int i = WStrChr(kVoicedHiragana, unit);
    if (i < 0)
        i = WStrChr(kVoicedKatakana, unit);
    if (i >= 0)
    {
        out[0] = kHalfVoicedKana[2 * i];
        out[1] = kHalfVoicedKana[2 * i + 1];
        return 2;
    }
    if (MapThrough(kFullCapitals, kCapitals, unit, out[0]) || MapThrough(kFullSmall, kSmall, unit, out[0]) ||
        MapThrough(kFullSymbols, kSymbols, unit, out[0]) || MapThrough(kFullDigits, kDigits, unit, out[0]))
        return 1;
    out[0] = unit;
    return 1;
}

nsString WideToNsString(const wchar_t* text, int len)
{
    if (!text || len <= 0)
        return nsString();
    int n = WideCharToMultiByte(kCodePageSjis, 0, text, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return nsString();
    std::string buf(size_t(n), '\0');
    if (WideCharToMultiByte(kCodePageSjis, 0, text, len, buf.data(), n, nullptr, nullptr) != n)
        return nsString();
    return nsString(buf.data(), n);
}

nsString ToUpperConvert(const nsString& text) { return Convert(text, cvUpper); }
nsString ToLowerConvert(const nsString& text) { return Convert(text, cvLower); }
nsString ToSentenceCaseConvert(const nsString& text) { return Convert(text, cvSentence); }
nsString ToFullWidthConvert(const nsString& text) { return Convert(text, cvFull); }
nsString ToHalfWidthConvert(const nsString& text) { return Convert(text, cvHalf); }
