#include "CsvFields.h"

std::vector<AnsiString> SplitCsvFields(const AnsiString& text)
{
    std::vector<AnsiString> fields;
    const int n = text.Length();
    if (n == 0)
        return fields;
    const char* s = text.c_str();
    AnsiString field;
    bool quoted = false;
    int i = 0;
    while (i < n)
    {
        unsigned char b = (unsigned char)s[i];
        if (IsSjisLead(b) && i + 1 < n)
        {
            field.Append(s + i, 2);
            i += 2;
            continue;
        }
        if (b == '"')
        {
            if (quoted && i + 1 < n && s[i + 1] == '"')
            {
                field += '"';
                i += 2;
                continue;
            }
            quoted = !quoted;
        }
        else if (b == ',' && !quoted)
        {
            fields.push_back(field);
            field = AnsiString();
        }
        else
            field += char(b);
        ++i;
    }
    fields.push_back(field);
    return fields;
}
