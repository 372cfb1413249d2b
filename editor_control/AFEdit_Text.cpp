#include "editor_control/AFEditText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/AnsiString.h"

const char* FindTab(const char* s, size_t n)
{
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        if (WordHasTab(w))
            break;
    }
    for (; i < n; ++i)
        if (s[i] == '\t')
            return s + i;
    return nullptr;
}

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
        // With a limit, look no further than what can still be written.
        int window = len - i;
        if (limit >= 0)
            window = std::min(window, int(size_t(limit) - out.size()) + 1);
        const char* tab = FindTab(s + i, size_t(window));
        int runEnd = tab ? int(tab - s) : (window == len - i ? len : i + window);
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

void DisplayCells(std::vector<TDspCell>& out, const char* s, int len, int tabSize)
{
    if (tabSize < 1)
        tabSize = 1;
    out.clear();
    out.reserve(size_t(len) + 8);
    for (int i = 0; i < len; ++i)
    {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b == '\t')
        {
            int w = tabSize - int(out.size() % size_t(tabSize));
            out.insert(out.end(), size_t(w - 1), dcTabFill);
            out.push_back(dcTabEnd);
        }
        else if (IsSjisLead(b) && i + 1 < len && s[i + 1] != '\t' && s[i + 1] != '\r')
        {
            out.push_back(dcLead);
            out.push_back(dcTrail);
            ++i;
        }
        else
            out.push_back(dcSingle);
    }
}

int DspColToLogCol(const char* s, int len, int tabSize, int dspCol)
{
    if (dspCol < 0)
        return dspCol;
    if (tabSize < 1)
        tabSize = 1;
    int col = 0;
    int i = 0;
    while (i < len)
    {
        // Look no further than the column asked for: long rows stay cheap.
        int window = std::min(len - i, dspCol - col + 1);
        const char* tab = FindTab(s + i, size_t(window));
        int run = (tab ? int(tab - s) : std::min(len, i + window)) - i;
        if (dspCol < col + run)
            return i + (dspCol - col);
        col += run;
        i += run;
        if (!tab)
            break;
        col += tabSize - col % tabSize;
        if (dspCol < col)
            return i;
        ++i;
    }
    return len;
}

void TBanSet::Assign(const char* s, int len)
{
    single_.reset();
    pairs_.reset();
    // The same character starts the search steps over.
    for (int i = 0; i < len;)
    {
        const auto b = static_cast<unsigned char>(s[i]);
        single_.set(b);
        if (i + 1 < len)
            pairs_.set(size_t(b) * 256 + static_cast<unsigned char>(s[i + 1]));
        i += IsSjisLead(b) && i + 1 < len ? 2 : 1;
    }
}

bool TBanSet::Contains(const char* ch, int len) const
{
    const auto* b = reinterpret_cast<const unsigned char*>(ch);
    if (len == 1)
        return single_.test(b[0]);
    if (len == 2)
        return pairs_.test(size_t(b[0]) * 256 + b[1]);
    return false;
}

