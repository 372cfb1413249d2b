#include "editor_control/AFEditText.h"

#include <cstring>

void AppendTabExpansion(std::string& out, const char* s, int len, int tabSize, bool toSpaces, int limit,
                        bool* truncated)
{
    if (truncated)
        *truncated = false;
    if (tabSize < 1)
        tabSize = 1;
    const size_t start = out.size();
    int i = 0;
    while (i < len)
    {
        if (limit >= 0 && out.size() >= size_t(limit))
        {
            if (truncated)
                *truncated = true;
            return;
        }
        const char* tab = static_cast<const char*>(std::memchr(s + i, '\t', size_t(len - i)));
        int runEnd = tab ? int(tab - s) : len;
        int run = runEnd - i;
        if (limit >= 0 && out.size() + size_t(run) > size_t(limit))
        {
            out.append(s + i, size_t(limit) - out.size());
            if (truncated)
                *truncated = true;
            return;
        }
        out.append(s + i, size_t(run));
        i = runEnd;
        if (!tab)
            break;
        int col = int(out.size() - start);
        int w = tabSize - col % tabSize;
        if (toSpaces)
            out.append(size_t(w), ' ');
        else
        {
            out.append(size_t(w - 1), '\x0B');
            out.push_back('\t');
        }
        ++i;
    }
}
