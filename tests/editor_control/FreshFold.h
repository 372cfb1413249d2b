// The layout every edit must leave: each paragraph's rows are those a folded load of its text
// gives, cut with its first row's record, and every row of it carries that record's indent and
// wrap position.
#pragma once

#include <string>
#include <vector>

#include "editor_control/AFDocument.h"
#include "tests/HexText.h"

// How the rows of d differ from that layout (the first difference), or an empty string.
inline std::string FreshFoldDifference(TAFDocument& d)
{
    // A document of the same settings cuts each paragraph, so that d is only read.
    TAFDocument fresh;
    fresh.Options() = d.Options();
    fresh.DefWrapPos() = d.DefWrapPos();
    fresh.TabSize() = d.TabSize();
    fresh.WrapLeadBytes() = d.WrapLeadBytes();
    fresh.WrapTrailBytes() = d.WrapTrailBytes();
    for (int c = 0; c < 256; ++c)
        fresh.WordChars()[c] = d.WordChars()[c];
    fresh.SetBanHead(d.GetBanHead());
    fresh.SetBanEnd(d.GetBanEnd());
    const int n = d.GetLinesCount();
    for (int first = 0; first < n;)
    {
        int last = first;
        while (last < n - 1 && !d.isCrLine(last))
            ++last;
        std::string text;
        for (int r = first; r <= last; ++r)
            text += d.GetLine(r).str();
        const TAttrListItem rec = *d.Attrs()->GetItem(first);
        TStringList rows;
        std::vector<TAttrListItem> attrs;
        fresh.FoldParagraphInto(&rows, attrs, AnsiString(text.data(), int(text.size())), rec);
        std::string want, have;
        for (int i = 0; i < rows.GetCount(); ++i)
            want += " \"" + Hex(rows.Get(i).str()) + "\"";
        for (int r = first; r <= last; ++r)
            have += " \"" + Hex(d.GetLine(r).str()) + "\"";
        if (want != have)
            return "rows " + std::to_string(first) + " to " + std::to_string(last) + ":" + have +
                   ", a folded load of their text:" + want;
        for (int r = first + 1; r <= last; ++r)
        {
            const TAttrListItem* a = d.Attrs()->GetItem(r);
            if (a->Indent != rec.Indent || a->WrapPos != rec.WrapPos)
                return "row " + std::to_string(r) + " has indent " + std::to_string(a->Indent) + " and wrap " +
                       std::to_string(a->WrapPos) + ", its paragraph " + std::to_string(rec.Indent) + " and " +
                       std::to_string(rec.WrapPos);
        }
        first = last + 1;
    }
    return std::string();
}
