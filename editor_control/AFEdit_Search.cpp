// Forward and backward search over the stored rows; a match may run on into the next row.
#include <algorithm>
#include <string>
#include <string_view>

#include "editor_control/AFEdit.h"

namespace
{
// Upper-cases ASCII and full-width Latin letters in place; byte lengths never change.
void FoldCase(std::string& s)
{
    for (size_t i = 0; i < s.size(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsSjisLead(c) && i + 1 < s.size())
        {
            unsigned char t = static_cast<unsigned char>(s[i + 1]);
            if (c == 0x82 && t >= 0x81 && t <= 0x9A)
                s[i + 1] = char(t - 0x21); // ａ..ｚ to Ａ..Ｚ
            ++i;
        }
        else if (c >= 'a' && c <= 'z')
            s[i] = char(c - 32);
    }
}

// Byte types of text, computed once: lead, trail or single.
std::vector<unsigned char> Types(const std::string& text, size_t charStart)
{
    std::vector<unsigned char> t(text.size(), 0);
    for (size_t i = charStart; i < text.size(); ++i)
    {
        if (IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size())
        {
            t[i] = 1;
            t[i + 1] = 2;
            ++i;
        }
    }
    return t;
}
} // namespace

TPoint TCustomAFEdit::Search(const AnsiString& patternIn, const TPoint& from, const TPoint& to, TSearchOpts opts)
{
    TPoint result(-1, from.y);
    const int n = GetLinesCount();
    if (patternIn.IsEmpty() || n == 0)
        return result;
    std::string pattern = patternIn.str();
    const bool fold = opts.Contains(soIgnoreCase);
    if (fold)
        FoldCase(pattern);
    const int plen = int(pattern.size());
    auto before = [](const TPoint& a, const TPoint& b) { return a.y < b.y || (a.y == b.y && a.x < b.x); };

    if (!opts.Contains(soReverse))
    {
        int first = std::max(0, from.y);
        int last = std::min(to.y, n - 1);
        for (int y = first; y <= last; ++y)
        {
            result.y = y;
            std::string row = GetLine(y).str();
            const int rowLen = int(row.size());
            std::string text = row;
            int nextLen = 0;
            if (y + 1 < n)
            {
                std::string next = GetLine(y + 1).str();
                nextLen = int(next.size());
                text += next.substr(0, size_t(std::min(nextLen, plen - 1)));
            }
            std::vector<unsigned char> types = Types(text, 0);
            if (fold)
                FoldCase(text);
            size_t pos = 0;
            while ((pos = std::string_view(text).find(pattern, pos)) != std::string_view::npos)
            {
                int s = int(pos), e = int(pos) + plen;
                TPoint start(s, y);
                TPoint end = e <= rowLen ? TPoint(e, y) : TPoint(e - rowLen, y + 1);
                bool onChars = types[size_t(s)] != 2 && (size_t(e) >= types.size() || types[size_t(e)] != 2);
                bool inRange = !before(start, from) && !before(to, end) && s < rowLen;
                if (onChars && inRange)
                {
                    result.x = s;
                    return result;
                }
                pos += types[pos] == 1 ? 2 : 1; // one character on
            }
        }
        return result;
    }

    // Backward: from is the later point, to the earlier one.
    int first = std::min(from.y, n - 1);
    int last = std::max(0, to.y);
    for (int y = first; y >= last; --y)
    {
        result.y = y;
        std::string row = GetLine(y).str();
        std::string prefix;
        int prevLen = 0;
        if (y > 0)
        {
            std::string prev = GetLine(y - 1).str();
            prevLen = int(prev.size());
            int k = std::min(prevLen, plen);
            // The prefix starts on a character of the row before.
            std::vector<unsigned char> pt = Types(prev, 0);
            int startAt = prevLen - k;
            if (startAt < prevLen && pt[size_t(startAt)] == 2)
                ++startAt;
            prefix = prev.substr(size_t(startAt));
        }
        const int k = int(prefix.size());
        std::string text = prefix + row;
        std::vector<unsigned char> types = Types(text, 0);
        if (fold)
            FoldCase(text);
        int best = -1;
        size_t pos = 0;
        while ((pos = std::string_view(text).find(pattern, pos)) != std::string_view::npos)
        {
            int s = int(pos), e = int(pos) + plen;
            TPoint start = s >= k ? TPoint(s - k, y) : TPoint(prevLen - (k - s), y - 1);
            TPoint end = e >= k ? TPoint(e - k, y) : TPoint(prevLen - (k - e), y - 1);
            bool onChars = types[size_t(s)] != 2 && (size_t(e) >= types.size() || types[size_t(e)] != 2);
            bool inRange = !before(start, to) && !before(from, end) && e > k;
            if (onChars && inRange)
                best = s;
            pos += types[pos] == 1 ? 2 : 1;
        }
        if (best >= 0)
        {
            result.x = best - k;
            if (result.x < 0)
            {
                result.x += prevLen;
                result.y = y - 1;
            }
            return result;
        }
    }
    return result;
}
