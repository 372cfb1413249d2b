#include "ColorRec.h"

#include <cstdio>
#include <vector>

#include "CsvFields.h"

namespace
{
// atoi's reading (leading blanks, sign, digits, stop at anything else; no digits give 0), but a
// number outside the 32-bit range is refused instead of being undefined.
bool ParseField(const AnsiString& field, int& value)
{
    const char* p = field.c_str();
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        n = n * 10 + (*p - '0');
        if (n > 0xFFFFFFFFLL)
            return false;
    }
    if (negative)
    {
        if (n > 0x80000000LL)
            return false;
        value = int(-n);
    }
    else
        value = int((unsigned)n); // 0x8000000D written unsigned is the same system colour
    return true;
}

// A whole field: blanks, an optional sign, at least one digit, blanks; nothing else.
bool ParseWholeField(const AnsiString& field, int& value)
{
    const char* p = field.c_str();
    const char* end = p + field.Length();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (p < end && blank(*p))
        ++p;
    while (end > p && blank(end[-1]))
        --end;
    const char* digits = p < end && (*p == '+' || *p == '-') ? p + 1 : p;
    if (digits == end)
        return false;
    for (const char* q = digits; q < end; ++q)
        if (*q < '0' || *q > '9')
            return false;
    return ParseField(AnsiString(p, int(end - p)), value);
}
} // namespace

bool IsStorableColor(TColor colour)
{
    const unsigned c = unsigned(colour);
    if ((c & 0xFF000000u) == 0)
        return true;
    return (c & 0xFF000000u) == 0x80000000u && (c & 0x00FFFFFFu) <= COLOR_MENUBAR;
}

bool typColorRec::TryParse(const AnsiString& text, const typColorRec& start, typColorRec& out)
{
    AnsiString trimmed = text.Trim();
    if (trimmed.IsEmpty())
    {
        out = start;
        return true;
    }
    std::vector<AnsiString> fields = SplitCsvFields(trimmed);
    if (fields.size() > 5)
        return false;
    int values[5] = {start.colour, start.bkcolour, start.bold, start.italic, start.underline};
    for (size_t i = 0; i < fields.size(); ++i)
        if (!ParseWholeField(fields[i], values[i]))
            return false;
    if (!IsStorableColor(values[0]) || !IsStorableColor(values[1]))
        return false;
    out = typColorRec(values[0], values[1], values[2] >= 1, values[3] >= 1, values[4] >= 1);
    return true;
}

typColorRec::typColorRec(const AnsiString& text, const typColorRec& start) : typColorRec(start)
{
    AnsiString trimmed = text.Trim();
    if (trimmed.IsEmpty())
        return;
    std::vector<AnsiString> fields = SplitCsvFields(trimmed);
    int v = 0;
    if (fields.size() > 0 && ParseField(fields[0], v))
        colour = v;
    if (fields.size() > 1 && ParseField(fields[1], v))
        bkcolour = v;
    if (fields.size() > 2 && ParseField(fields[2], v))
        bold = v >= 1;
    if (fields.size() > 3 && ParseField(fields[3], v))
        italic = v >= 1;
    if (fields.size() > 4 && ParseField(fields[4], v))
        underline = v >= 1;
}

AnsiString typColorRec::ToString() const
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "%d,%d,%d,%d,%d", colour, bkcolour, bold ? 1 : 0, italic ? 1 : 0,
                  underline ? 1 : 0);
    return AnsiString(buf);
}

TFontStyles ColorRecToFontStyles(const typColorRec& rec)
{
    TFontStyles styles;
    if (rec.bold)
        styles << fsBold;
    if (rec.italic)
        styles << fsItalic;
    if (rec.underline)
        styles << fsUnderline;
    return styles;
}
