// Line-breaking decision and the folding of loaded paragraphs into display rows.
#include <algorithm>
#include <cstring>
#include <string>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"

namespace
{
// Budget spent across the recursive steps of one break decision; shared by all editors
// (folding only ever runs on the interface thread).
int gTrailCounter = 0;
int gLeadCounter = 0;

bool InSet(const AnsiString& set, const AnsiString& ch) { return !ch.IsEmpty() && set.AnsiPos(ch) > 0; }
} // namespace

int TCustomAFEdit::WordBreak(const AnsiString& S, int p, int m)
{
    int len = S.Length();
    if (len <= p || m >= p)
        return p;
    if (OnWordBreak)
    {
        int wrap = p;
        OnWordBreak(this, S, wrap);
        return wrap;
    }

    // The head character A (first of the next piece) and the end character B (last kept).
    AnsiString A;
    int adj = 0;
    TMbcsByteType headType = ByteType(S, p + 1);
    if (headType == mbLeadByte)
        A = S.SubString(p + 1, 2);
    else if (headType == mbTrailByte)
    {
        A = S.SubString(p, 2);
        adj = -1;
    }
    else
        A = S.SubString(p + 1, 1);
    AnsiString B;
    int endAt = p + adj;
    if (endAt >= 1)
    {
        if (ByteType(S, endAt) == mbTrailByte)
            B = S.SubString(endAt - 1, 2);
        else
            B = S.SubString(endAt, 1);
    }

    int result = -1;
    if (FOptions.Contains(aoJpnBanBreak) && (InSet(BanHead, A) || A == "\r"))
    {
        if (gTrailCounter <= WrapTrailBytes)
        {
            gTrailCounter += 2;
            result = WordBreak(S, p + adj + 2, m);
        }
        else if (gLeadCounter <= WrapLeadBytes)
        {
            gLeadCounter += 1;
            result = WordBreak(S, p + adj - 1, m);
        }
    }
    else if (FOptions.Contains(aoJpnBanBreak) && InSet(BanEnd, B))
    {
        if (gLeadCounter <= WrapLeadBytes)
        {
            gLeadCounter += 2;
            result = WordBreak(S, p - 2, m);
        }
    }
    else if (FOptions.Contains(aoWordWrap) && !A.IsEmpty() && !B.IsEmpty() && FWordChars[A.Byte(1)] &&
             FWordChars[B.Byte(1)])
    {
        if (gLeadCounter <= WrapLeadBytes)
        {
            gLeadCounter += 1;
            result = WordBreak(S, p - 1, m);
        }
    }
    else
    {
        gTrailCounter = gLeadCounter = 0;
        result = p + adj;
    }
    if (result == -1)
    {
        gTrailCounter = gLeadCounter = 0;
        result = p + adj;
    }
    return result;
}

namespace
{
// Length in bytes of the character starting at text[0] (a tab or a single byte counts one).
int FirstCharLength(const char* text, int len)
{
    if (len >= 2 && IsSjisLead(static_cast<unsigned char>(text[0])))
        return 2;
    return len > 0 ? 1 : 0;
}

// Moves a cut back (or, at the very start, forward) so it never splits a double-byte character.
int AlignCut(const char* text, int len, int cut)
{
    if (cut <= 0 || cut >= len)
        return cut;
    if (ByteTypeAt(text, len, cut) == mbTrailByte)
        return cut > 1 ? cut - 1 : cut + 1;
    return cut;
}
} // namespace

void TCustomAFEdit::FoldParagraphInto(TStringList* lines, std::vector<TAttrListItem>& attrs,
                                      const AnsiString& text, const TAttrListItem& attr)
{
    const char* base = text.c_str();
    const int total = text.Length();
    const int indent = attr.Indent > 0 ? attr.Indent : 0;
    const int wrap = FOptions.Contains(aoAutoFormat) ? (attr.WrapPos ? attr.WrapPos : FDefWrapPos) : kNoWrap;
    const bool endsParagraph = total > 0 && base[total - 1] == '\r';
    // Only the first wrap + a margin display bytes can influence a break decision.
    const int window = wrap + 64;

    auto emit = [&](int from, int count) {
        lines->Add(AnsiString(base + from, count));
        attrs.push_back(attr);
        NoteLineWidth(count);
    };

    int off = 0;
    std::string dsp;
    for (;;)
    {
        int restLen = total - off;
        bool truncated = false;
        dsp.assign(size_t(indent), ' ');
        AppendTabExpansion(dsp, base + off, restLen, FTabSize, false, indent + window, &truncated);
        AnsiString D(dsp.data(), int(dsp.size()));
        int dLen = D.Length();

        int brk;
        if (endsParagraph)
        {
            int first = WordBreak(D, wrap, indent + 2);
            if (!truncated && first >= dLen)
            {
                emit(off, restLen);
                return;
            }
            brk = WordBreak(D, wrap, indent + 1);
            if (!truncated && dLen < brk)
                brk = dLen; // the CR stays on the piece
        }
        else
        {
            if (!truncated && wrap > dLen)
            {
                emit(off, restLen);
                return;
            }
            brk = WordBreak(D, wrap, indent + 1);
        }
        int lb = DspColToLogicalCol(D, brk, indent);
        if (lb >= restLen)
        {
            emit(off, restLen);
            if (!endsParagraph)
            {
                // An unterminated last piece that does not fit keeps an empty row after it.
                lines->Add(AnsiString());
                attrs.push_back(attr);
            }
            return;
        }
        lb = AlignCut(base + off, restLen, lb);
        if (lb <= 0)
            lb = FirstCharLength(base + off, restLen); // always make progress
        emit(off, lb);
        off += lb;
    }
}
