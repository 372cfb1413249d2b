// The layout every edit must leave: each paragraph's rows are those a folded load of its text
// gives, cut with its first row's record, and every row of it carries that record's indent and
// wrap position.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "editor_control/AFDocument.h"
#include "tests/HexText.h"

// How the rows of d differ from that layout (the first difference), or an empty string.
inline std::string FreshFoldDifference(TAFDocument& d)
{
    // A document of the same settings cuts each paragraph, so that d is only read.
    static thread_local TAFDocument fresh;
    fresh.Options() = d.Options();
    fresh.DefWrapPos() = d.DefWrapPos();
    fresh.TabSize() = d.TabSize();
    fresh.WrapLeadBytes() = d.WrapLeadBytes();
    fresh.WrapTrailBytes() = d.WrapTrailBytes();
    for (int c = 0; c < 256; ++c)
        fresh.WordChars()[c] = d.WordChars()[c];
    if (fresh.GetBanHead() != d.GetBanHead())
        fresh.SetBanHead(d.GetBanHead());
    if (fresh.GetBanEnd() != d.GetBanEnd())
        fresh.SetBanEnd(d.GetBanEnd());
    // Paragraphs found right once are not folded again while they stand as they were: an edit
    // changes few of them.
    static thread_local std::unordered_set<std::string> known;
    std::string settings = std::to_string(fresh.Options().ToInt()) + "/" + std::to_string(fresh.DefWrapPos()) + "/" +
                           std::to_string(fresh.TabSize()) + "/" + std::to_string(fresh.WrapLeadBytes()) + "/" +
                           std::to_string(fresh.WrapTrailBytes()) + "/" + fresh.GetBanHead().str() + "/" +
                           fresh.GetBanEnd().str() + "/";
    for (int c = 0; c < 256; ++c)
        settings += fresh.WordChars()[c] ? '1' : '0';
    if (known.size() > 100000)
        known.clear();
    const int n = d.GetLinesCount();
    TStringList rows;
    std::vector<TAttrListItem> attrs;
    for (int first = 0; first < n;)
    {
        int last = first;
        while (last < n - 1 && !d.isCrLine(last))
            ++last;
        std::string text;
        std::string key = settings;
        for (int r = first; r <= last; ++r)
        {
            const TAttrListItem* a = d.Attrs()->GetItem(r);
            key += "\n" + std::to_string(a->Indent) + "/" + std::to_string(a->WrapPos) + ":" + d.GetLine(r).str();
            text += d.GetLine(r).str();
        }
        if (known.count(key))
        {
            first = last + 1;
            continue;
        }
        const TAttrListItem rec = *d.Attrs()->GetItem(first);
        rows.Clear();
        attrs.clear();
        fresh.FoldParagraphInto(&rows, attrs, AnsiString(text.data(), int(text.size())), rec);
        bool same = rows.GetCount() == last - first + 1;
        for (int r = first; same && r <= last; ++r)
            same = rows.Get(r - first) == d.GetLine(r);
        if (!same)
        {
            std::string want, have;
            for (int i = 0; i < rows.GetCount(); ++i)
                want += " \"" + Hex(rows.Get(i).str()) + "\"";
            for (int r = first; r <= last; ++r)
                have += " \"" + Hex(d.GetLine(r).str()) + "\"";
            return "rows " + std::to_string(first) + " to " + std::to_string(last) + ":" + have +
                   ", a folded load of their text:" + want;
        }
        for (int r = first + 1; r <= last; ++r)
        {
            const TAttrListItem* a = d.Attrs()->GetItem(r);
            if (a->Indent != rec.Indent || a->WrapPos != rec.WrapPos)
                return "row " + std::to_string(r) + " has indent " + std::to_string(a->Indent) + " and wrap " +
                       std::to_string(a->WrapPos) + ", its paragraph " + std::to_string(rec.Indent) + " and " +
                       std::to_string(rec.WrapPos);
        }
        known.insert(key);
        first = last + 1;
    }
    return std::string();
}
