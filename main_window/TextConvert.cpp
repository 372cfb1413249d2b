#include "main_window/TextConvert.h"

#include <string>

#include <windows.h>

#include "platform/Cp932.h"

namespace
{
constexpr UINT kSjis = 932;

// A control character the editor would drop on typing: its escape stays as written instead.
bool IsDroppedControl(unsigned value) { return value < 0x20 && value != '\t' && value != '\r' && value != '\n'; }

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads up to maxDigits hexadecimal digits at s[i]; returns how many were read.
int ReadHex(const char* s, int n, int i, int maxDigits, unsigned& value)
{
    int digits = 0;
    value = 0;
    while (digits < maxDigits && i + digits < n && HexValue(s[i + digits]) >= 0)
        value = value * 16 + unsigned(HexValue(s[i + digits++]));
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
    const char* s = text.c_str();
    const int n = text.Length();
    std::string out;
    out.reserve(size_t(n));
    int i = 0;
    while (i < n)
    {
        wchar_t unit = 0;
        if (int len = EscapeAt(s, n, i, unit))
        {
            // A high surrogate escape followed by a low one is one character.
            wchar_t low = 0;
            int len2 = IS_HIGH_SURROGATE(unit) ? EscapeAt(s, n, i + len, low) : 0;
            if (len2 && IS_LOW_SURROGATE(low))
            {
                const wchar_t pair[2] = {unit, low};
                if (UnitsToSjis(pair, 2, out))
                {
                    i += len + len2;
                    continue;
                }
            }
            else if (UnitsToSjis(&unit, 1, out))
            {
                i += len;
                continue;
            }
            out.append(s + i, size_t(len));
            i += len;
            continue;
        }
        const int step = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n ? 2 : 1;
        out.append(s + i, size_t(step));
        i += step;
    }
    return AnsiString(out.data(), int(out.size()));
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
    const char* s = text.c_str();
    const int n = text.Length();
    std::string out;
    out.reserve(size_t(n));
    int i = 0;
    while (i < n)
    {
        if (s[i] == '%')
        {
            unsigned value = 0;
            int digits = ReadHex(s, n, i + 1, 2, value);
            if (digits > 0 && !IsDroppedControl(value))
            {
                out += char(value);
                i += 1 + digits;
                continue;
            }
            out.append(s + i, size_t(1 + digits));
            i += 1 + digits;
            continue;
        }
        const int step = IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < n ? 2 : 1;
        out.append(s + i, size_t(step));
        i += step;
    }
    return AnsiString(out.data(), int(out.size()));
}
