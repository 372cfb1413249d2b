#include "editor_page/F77Columns.h"

#include <algorithm>

#include "editor_page/Nsrichedit.h"

int F77TabBlanks(int col, int tabSize)
{
    tabSize = std::max(1, tabSize);
    if (col < 5)
        return 5 - col;
    if (col == 5)
        return 1;
    return tabSize - (col - 6) % tabSize;
}

int F77UnindentBlanks(int leading, int tabSize)
{
    tabSize = std::max(1, tabSize);
    if (leading < 6)
        return leading;
    if (leading == 6)
        return 1;
    if (leading < 6 + tabSize)
        return leading - 6;
    return tabSize;
}

namespace
{
// The mark is one character; the row starts with it.
bool StartsWith(const AnsiString& row, const AnsiString& mark, bool anyCase)
{
    if (mark.IsEmpty() || row.Length() < mark.Length())
        return false;
    for (int i = 0; i < mark.Length(); ++i)
    {
        char a = row.c_str()[i];
        char b = mark.c_str()[i];
        if (anyCase)
        {
            a = a >= 'a' && a <= 'z' ? char(a - 32) : a;
            b = b >= 'a' && b <= 'z' ? char(b - 32) : b;
        }
        if (a != b)
            return false;
    }
    return true;
}
} // namespace

bool IsColumn1CommentRow(const typCommentList& model, const AnsiString& row)
{
    return StartsWith(row, model.LineComment1, false) || StartsWith(row, model.LineComment3, false) ||
           StartsWith(row, model.LineComment2, true);
}
