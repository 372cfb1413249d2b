#include "SysUtils.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Cp932.h"

// ---- Format ----------------------------------------------------------------------------------------------

namespace
{
// Width and precision beyond this are a bug in the caller, not a wish for a huge string.
constexpr int kMaxFieldWidth = 1 << 20;

struct FieldSpec
{
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    int width = 0;
    int precision = -1; // none
};

class Formatter
{
public:
    Formatter(const AnsiString& fmt, std::initializer_list<TVarRec> args)
        : fmt_(fmt), arg_(args.begin()), end_(args.end())
    {
    }
    AnsiString Run();

private:
    [[noreturn]] void Fail() const
    {
        throw EConvertError("Format '" + fmt_ + "' invalid or incompatible with argument");
    }
    const TVarRec& NextArg()
    {
        if (arg_ == end_)
            Fail();
        return *arg_++;
    }
    int StarArg();
    void Pad(const char* body, int len, const FieldSpec& spec);
    void Integer(const FieldSpec& spec, char conv);
    void Floating(const FieldSpec& spec, char conv);
    void Text(const FieldSpec& spec);
    void Char(const FieldSpec& spec);
    void Pointer(const FieldSpec& spec);

    const AnsiString& fmt_;
    const TVarRec* arg_;
    const TVarRec* end_;
    AnsiString out_;
};

int Formatter::StarArg()
{
    const TVarRec& a = NextArg();
    long long v;
    switch (a.Kind)
    {
    case TVarRec::vtInteger:
        v = a.Value.Int;
        break;
    case TVarRec::vtUnsigned:
        v = a.Value.Unsigned;
        break;
    case TVarRec::vtInt64:
        v = a.Value.Int64;
        break;
    default:
        Fail();
    }
    if (v > kMaxFieldWidth || v < -kMaxFieldWidth)
        Fail();
    return int(v);
}

void Formatter::Pad(const char* body, int len, const FieldSpec& spec)
{
    int fill = spec.width > len ? spec.width - len : 0;
    if (!spec.left && fill)
        out_ += AnsiString::StringOfChar(' ', fill);
    out_.Append(body, len);
    if (spec.left && fill)
        out_ += AnsiString::StringOfChar(' ', fill);
}

void Formatter::Integer(const FieldSpec& spec, char conv)
{
    const TVarRec& a = NextArg();
    bool negative = false;
    unsigned long long magnitude = 0;
    bool wide = false; // 64-bit pattern for %x and %u
    switch (a.Kind)
    {
    case TVarRec::vtInteger:
        negative = a.Value.Int < 0;
        magnitude =
            negative ? 0ULL - (unsigned long long)(long long)a.Value.Int : (unsigned long long)a.Value.Int;
        break;
    case TVarRec::vtUnsigned:
        magnitude = a.Value.Unsigned;
        break;
    case TVarRec::vtInt64:
        negative = a.Value.Int64 < 0;
        magnitude = negative ? 0ULL - (unsigned long long)a.Value.Int64 : (unsigned long long)a.Value.Int64;
        wide = true;
        break;
    default:
        Fail();
    }
    if (conv != 'd' && negative)
    {
        // %u and %x show the two's-complement pattern of the argument's own width.
        magnitude = 0ULL - magnitude;
        if (!wide)
            magnitude &= 0xFFFFFFFFULL;
        negative = false;
    }

    char digits[32];
    int n = 0;
    unsigned base = (conv == 'x' || conv == 'X') ? 16 : 10;
    const char* alphabet = conv == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
    for (unsigned long long v = magnitude; v; v /= base)
        digits[n++] = alphabet[v % base];

    AnsiString body;
    if (negative)
        body += '-';
    else if (conv == 'd' && spec.plus)
        body += '+';
    else if (conv == 'd' && spec.space)
        body += ' ';
    int minDigits = spec.precision >= 0 ? spec.precision : 1;
    int zeros = minDigits > n ? minDigits - n : 0;
    if (spec.zero && !spec.left && spec.precision < 0)
    {
        int total = body.Length() + zeros + n;
        if (spec.width > total)
            zeros += spec.width - total;
    }
    if (zeros)
        body += AnsiString::StringOfChar('0', zeros);
    for (int i = n - 1; i >= 0; --i)
        body += digits[i];
    Pad(body.c_str(), body.Length(), spec);
}

void Formatter::Floating(const FieldSpec& spec, char conv)
{
    const TVarRec& a = NextArg();
    if (a.Kind != TVarRec::vtDouble)
        Fail();
    // The C conversion is trusted only with a spec we built ourselves and one double.
    char cfmt[32];
    std::snprintf(cfmt, sizeof cfmt, "%%%s%s%s%s*.*%c", spec.left ? "-" : "", spec.zero ? "0" : "",
                  spec.plus ? "+" : "", spec.space ? " " : "", conv);
    int precision = spec.precision >= 0 ? spec.precision : 6;
    int need = std::snprintf(nullptr, 0, cfmt, spec.width, precision, a.Value.Double);
    if (need < 0)
        Fail();
    std::vector<char> buf(size_t(need) + 1);
    std::snprintf(buf.data(), buf.size(), cfmt, spec.width, precision, a.Value.Double);
    out_.Append(buf.data(), need);
}

void Formatter::Text(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    const char* s;
    int len;
    switch (a.Kind)
    {
    case TVarRec::vtPChar:
        s = a.Value.PChar ? a.Value.PChar : "";
        len = int(std::strlen(s));
        break;
    case TVarRec::vtAnsiString:
        s = a.Value.Str->c_str();
        len = a.Value.Str->Length();
        break;
    case TVarRec::vtChar:
        s = &a.Value.Char;
        len = 1;
        break;
    default:
        Fail();
    }
    if (spec.precision >= 0 && spec.precision < len)
    {
        int cut = spec.precision;
        // Never keep half of a double-byte character.
        if (cut > 0 && ByteTypeAt(s, len, cut - 1) == mbLeadByte)
            --cut;
        len = cut;
    }
    Pad(s, len, spec);
}

void Formatter::Char(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    char c;
    switch (a.Kind)
    {
    case TVarRec::vtChar:
        c = a.Value.Char;
        break;
    case TVarRec::vtInteger:
        c = char(a.Value.Int);
        break;
    case TVarRec::vtUnsigned:
        c = char(a.Value.Unsigned);
        break;
    default:
        Fail();
    }
    Pad(&c, 1, spec);
}

void Formatter::Pointer(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    if (a.Kind != TVarRec::vtPointer)
        Fail();
    char buf[2 * sizeof(void*) + 1];
    uintptr_t v = reinterpret_cast<uintptr_t>(a.Value.Pointer);
    for (int i = int(2 * sizeof(void*)) - 1; i >= 0; --i, v >>= 4)
        buf[i] = "0123456789ABCDEF"[v & 15];
    Pad(buf, int(2 * sizeof(void*)), spec);
}

AnsiString Formatter::Run()
{
    const char* p = fmt_.c_str();
    const char* end = p + fmt_.Length();
    out_.Reserve(fmt_.Length() + 16);
    while (p < end)
    {
        // '%' (0x25) is never a trail byte, so a plain byte scan is safe.
        const char* q = static_cast<const char*>(std::memchr(p, '%', size_t(end - p)));
        if (!q)
        {
            out_.Append(p, int(end - p));
            break;
        }
        out_.Append(p, int(q - p));
        p = q + 1;
        if (p < end && *p == '%')
        {
            out_ += '%';
            ++p;
            continue;
        }
        FieldSpec spec;
        for (; p < end; ++p)
        {
            if (*p == '-')
                spec.left = true;
            else if (*p == '0')
                spec.zero = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else
                break;
        }
        if (p < end && *p == '*')
        {
            spec.width = StarArg();
            if (spec.width < 0)
            {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++p;
        }
        else
        {
            for (; p < end && *p >= '0' && *p <= '9'; ++p)
            {
                spec.width = spec.width * 10 + (*p - '0');
                if (spec.width > kMaxFieldWidth)
                    Fail();
            }
        }
        if (p < end && *p == '.')
        {
            ++p;
            spec.precision = 0;
            if (p < end && *p == '*')
            {
                int v = StarArg();
                spec.precision = v < 0 ? -1 : v;
                ++p;
            }
            else
            {
                for (; p < end && *p >= '0' && *p <= '9'; ++p)
                {
                    spec.precision = spec.precision * 10 + (*p - '0');
                    if (spec.precision > kMaxFieldWidth)
                        Fail();
                }
            }
        }
        if (p >= end)
            Fail();
        char conv = *p++;
        switch (conv)
        {
        case 'd':
        case 'u':
        case 'x':
        case 'X':
            Integer(spec, conv);
            break;
        case 'f':
        case 'e':
        case 'g':
            Floating(spec, conv);
            break;
        case 's':
            Text(spec);
            break;
        case 'c':
            Char(spec);
            break;
        case 'p':
            Pointer(spec);
            break;
        default:
            Fail();
        }
    }
    return out_;
}
} // namespace

AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args)
{
    return Formatter(fmt, args).Run();
}

// ---- Numbers and case
// ---------------------------------------------------------------------------------------

AnsiString IntToStr(int value) { return AnsiString(value); }
AnsiString IntToStr(long long value) { return AnsiString(value); }

AnsiString IntToHex(int value, int digits)
{
    if (digits > 32)
        digits = 32;
    char buf[40];
    int n = 0;
    for (unsigned v = unsigned(value); v; v >>= 4)
        buf[n++] = "0123456789ABCDEF"[v & 15];
    while (n < digits || n == 0)
        buf[n++] = '0';
    AnsiString r;
    for (int i = n - 1; i >= 0; --i)
        r += buf[i];
    return r;
}

int StrToInt(const AnsiString& s) { return s.ToInt(); }
int StrToIntDef(const AnsiString& s, int def) { return s.ToIntDef(def); }

AnsiString UpperCase(const AnsiString& s) { return s.UpperCase(); }
AnsiString LowerCase(const AnsiString& s) { return s.LowerCase(); }

int CompareText(const AnsiString& a, const AnsiString& b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a.c_str());
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b.c_str());
    int n = a.Length(), m = b.Length();
    int k = n < m ? n : m;
    bool trail = false; // equal prefixes classify their bytes alike, so one flag serves both strings
    for (int i = 0; i < k; ++i)
    {
        unsigned cx = x[i], cy = y[i];
        if (!trail)
        {
            if (cx >= 'a' && cx <= 'z')
                cx -= 32;
            if (cy >= 'a' && cy <= 'z')
                cy -= 32;
        }
        if (cx != cy)
            return cx < cy ? -1 : 1;
        trail = !trail && IsSjisLead(x[i]);
    }
    return n < m ? -1 : (n > m ? 1 : 0);
}

bool SameText(const AnsiString& a, const AnsiString& b)
{
    return a.Length() == b.Length() && CompareText(a, b) == 0;
}

AnsiString Trim(const AnsiString& s) { return s.Trim(); }
AnsiString TrimLeft(const AnsiString& s) { return s.TrimLeft(); }
AnsiString TrimRight(const AnsiString& s) { return s.TrimRight(); }
