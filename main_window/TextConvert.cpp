#include "main_window/TextConvert.h"

#include <string>

#include <windows.h>

#include "platform/Cp932.h"

namespace
{
constexpr UINT kSjis = 932;

// A control character the editor would drop on typing: its escape stays as written instead.
bool IsDroppedControl(unsigned value) { return value < 0x20 && value != '\t' && value != '\r' && value != '\n'; }

// Reads up to maxDigits hexadecimal digits at s[i]; returns how many were read.
int ReadHex(const char* s, int n, int i, int maxDigits, unsigned& value)
{
    int digits = 0;
    value = 0;
    while (digits < maxDigits && i + digits < n && HexDigitValue(s[i + digits]) >= 0)
        value = value * 16 + unsigned(HexDigitValue(s[i + digits++]));
    return digits;
}

// The units in Shift-JIS, or false when Shift-JIS has no character for one of them.
bool UnitsToSjis(const wchar_t* units, int count, std::string& out)
{
    BOOL usedDefault = FALSE;
    char buf[8];
    int n = WideCharToMultiByte(kSjis, WC_NO_BEST_FIT_CHARS, units, count, buf, sizeof buf, nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    out.append(buf, size_t(n));
    return true;
}

// One "\uXXXX" escape at s[i]: its unit, and the length of its text; 0 when there is none there.
int EscapeAt(const char* s, int n, int i, wchar_t& unit)
{
    if (i + 1 >= n || s[i] != '\\' || (s[i + 1] != 'u' && s[i + 1] != 'U'))
        return 0;
    unsigned value = 0;
    int digits = ReadHex(s, n, i + 2, 4, value);
    if (digits == 0 || IsDroppedControl(value))
        return 0;
    unit = wchar_t(value);
    return 2 + digits;
}
// Decodes text: escape(s, n, i, out) takes the escape at s[i] into out and gives its length, or 0
// when none starts there; a character that starts none is copied whole.
template <class TEscape> AnsiString Unescape(const AnsiString& text, TEscape escape)
{
    const char* s = text.c_str();
    const int n = text.Length();
    std::string out;
    out.reserve(size_t(n));
    int i = 0;
    while (i < n)
    {
        if (const int len = escape(s, n, i, out))
        {
            i += len;
            continue;
        }
        const int step = IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < n ? 2 : 1;
        out.append(s + i, size_t(step));
        i += step;
    }
    return AnsiString(out.data(), int(out.size()));
}
} // namespace

AnsiString SjisToUnicodeEscape(const AnsiString& text)
{
    const std::wstring wide = SjisToWide(text);
    std::string out;
    out.reserve(wide.size() * 6);
    char buf[16];
    for (size_t i = 0; i < wide.size(); ++i)
    {
        if (wide[i] == L'\r')
        {
            out += "\r\n";
            if (i + 1 < wide.size() && wide[i + 1] == L'\n')
                ++i;
            continue;
        }
        snprintf(buf, sizeof buf, "\\u%X", unsigned(wide[i]));
        out += buf;
    }
    return AnsiString(out.data(), int(out.size()));
}

AnsiString UnicodeEscapeToSjis(const AnsiString& text)
{
    return Unescape(text, [](const char* s, int n, int i, std::string& out) {
        wchar_t unit = 0;
        const int len = EscapeAt(s, n, i, unit);
        if (len == 0)
            return 0;
        // A high surrogate escape followed by a low one is one character.
        wchar_t low = 0;
        const int len2 = IS_HIGH_SURROGATE(unit) ? EscapeAt(s, n, i + len, low) : 0;
        if (len2 && IS_LOW_SURROGATE(low))
        {
            const wchar_t pair[2] = {unit, low};
            if (UnitsToSjis(pair, 2, out))
                return len + len2;
        }
        else if (UnitsToSjis(&unit, 1, out))
            return len;
        out.append(s + i, size_t(len));
        return len;
    });
}

AnsiString SjisToPercentEscape(const AnsiString& text)
{
    std::string out;
    out.reserve(size_t(text.Length()) * 3);
    char buf[8];
    for (int i = 1; i <= text.Length(); ++i)
    {
        snprintf(buf, sizeof buf, "%%%X", unsigned(static_cast<unsigned char>(text[i])));
        out += buf;
    }
    return AnsiString(out.data(), int(out.size()));
}

AnsiString PercentEscapeToSjis(const AnsiString& text)
{
    return Unescape(text, [](const char* s, int n, int i, std::string& out) {
        if (s[i] != '%')
            return 0;
        unsigned value = 0;
        const int digits = ReadHex(s, n, i + 1, 2, value);
        if (digits > 0 && !IsDroppedControl(value))
            out += char(value);
        else
            out.append(s + i, size_t(1 + digits));
        return 1 + digits;
    });
}
