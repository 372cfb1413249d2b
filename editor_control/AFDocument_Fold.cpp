// Line-breaking decision and the folding of loaded paragraphs into display rows.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "editor_control/AFDocument.h"
#include "editor_control/AFEditText.h"

int TAFDocument::WordBreak(const AnsiString& S, int p, int m)
{
    if (S.Length() <= p || m >= p)
        return p;
    int wrap = p;
    if (FHost->DocWordBreak(S, wrap))
        return wrap;
    // The budgets belong to this one decision, so the same text always breaks the same way.
    TBreakBudget budget;
    return WordBreakStep(S.view(), p, m, budget);
}

int TAFDocument::WordBreakStep(std::string_view S, int p, int m, TBreakBudget& budget)
{
    int len = int(S.size());
    if (len <= p || m >= p)
        return p;
    int& trail = budget.Trail;
    int& lead = budget.Lead;

    // The head character A (first of the next piece) and the end character B (last kept), as
    // views into S: a break decision allocates nothing.
    auto sub = [S, len](int index, int count) {
        index = std::max(index, 1);
        if (count <= 0 || index > len)
            return S.substr(0, 0);
        return S.substr(size_t(index - 1), size_t(std::min(count, len - index + 1)));
    };
    std::string_view A;
    int adj = 0;
    TMbcsByteType headType = ByteTypeAt(S.data(), len, p);
    if (headType == mbLeadByte)
        A = sub(p + 1, 2);
    else if (headType == mbTrailByte)
    {
        A = sub(p, 2);
        adj = -1;
    }
    else
        A = sub(p + 1, 1);
    std::string_view B;
    int endAt = p + adj;
    if (endAt >= 1)
    {
        if (ByteTypeAt(S.data(), len, endAt - 1) == mbTrailByte)
            B = sub(endAt - 1, 2);
        else
            B = sub(endAt, 1);
    }

    int result = -1;
    if (FOptions.Contains(aoJpnBanBreak) && (FBanHeadSet.Contains(A.data(), int(A.size())) || A == "\r"))
    {
        if (trail <= FWrapTrailBytes)
        {
            trail += 2;
            result = WordBreakStep(S, p + adj + 2, m, budget);
        }
        else if (lead <= FWrapLeadBytes)
        {
            lead += 1;
            result = WordBreakStep(S, p + adj - 1, m, budget);
        }
    }
    else if (FOptions.Contains(aoJpnBanBreak) && FBanEndSet.Contains(B.data(), int(B.size())))
    {
        if (lead <= FWrapLeadBytes)
        {
            lead += 2;
            result = WordBreakStep(S, p - 2, m, budget);
        }
    }
    else if (FOptions.Contains(aoWordWrap) && !A.empty() && !B.empty() && FWordChars[(unsigned char)A[0]] &&
             FWordChars[(unsigned char)B[0]])
    {
        if (lead <= FWrapLeadBytes)
        {
            lead += 1;
            result = WordBreakStep(S, p - 1, m, budget);
        }
    }
    else
    {
        trail = lead = 0;
        result = p + adj;
    }
    if (result == -1)
    {
        trail = lead = 0;
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

// Copies s[0..n) to d up to its first tab, a word at a time; the count copied. Short runs between
// tabs are the rule, too short to be worth a call out for each.
int CopyToTab(char* d, const char* s, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        if (WordHasTab(w))
            break;
        std::memcpy(d + i, &w, 4);
    }
    for (; i < n && s[i] != '\t'; ++i)
        d[i] = s[i];
    return i;
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

void TAFDocument::FoldParagraphInto(TStringList* lines, std::vector<TAttrListItem>& attrs,
                                      const AnsiString& text, const TAttrListItem& attr)
{
    TRowChunks rows;
    FoldParagraphInto(rows, attrs, text.view(), attr);
    rows.MoveInto(*lines, 0);
}

void TAFDocument::FoldParagraphInto(TRowChunks& rows, std::vector<TAttrListItem>& attrs, std::string_view text,
                                      const TAttrListItem& attr)
{
    const char* base = text.data();
    const int total = int(text.size());
    const int indent = attr.Indent > 0 ? attr.Indent : 0;
    const int wrap = FOptions.Contains(aoAutoFormat) ? (attr.WrapPos ? attr.WrapPos : FDefWrapPos) : kNoWrap;
    const bool endsParagraph = total > 0 && base[total - 1] == '\r';
    // Only the first wrap + a margin display bytes can influence a break decision; characters
    // that may not begin a row hang past the wrap as far as the trail budget lets them.
    const int window = int(std::min<int64_t>(int64_t(wrap) + std::max(0, FWrapTrailBytes) + 64, INT_MAX / 4));

    auto emit = [&](int from, int count) {
        rows.Add(NewRowText(base + from, count));
        attrs.push_back(attr);
        NoteLineWidth(count);
    };

    // A piece narrower than the wrap, without a tab, is one row as it stands: every decision would
    // find the break past its end.
    const bool narrow = int64_t(indent) + total < wrap;
    const char* narrowTab = narrow ? FindTab(base, size_t(total)) : nullptr;
    if (narrow && !narrowTab)
    {
        emit(0, total);
        return;
    }

    int off = 0;
    const int tab = std::max(1, FTabSize);
    const int tabMask = (tab & (tab - 1)) == 0 ? tab - 1 : 0; // the usual sizes need no division
    // One buffer for every piece's display form, and where its tabs went, to find the byte a
    // display column shows; kept for the next paragraph unless a word-break handler folds another
    // one meanwhile.
    TPieceScratch own;
    TPieceScratch& scratch = FPieceScratch.busy ? own : FPieceScratch;
    struct TRelease
    {
        TPieceScratch& s;
        ~TRelease() { s.busy = false; }
    } release{scratch};
    scratch.busy = true;
    AnsiString& D = scratch.display;
    std::vector<TPieceTab>& tabs = scratch.tabs;
    // Without a word-break handler a decision reads the display form where it was built.
    const bool direct = FHost == &FNoHost || FHost->DocRowHooksIdle();
    for (;;)
    {
        const int restLen = total - off;
        const char* s = base + off;
        // The indent, then the bytes with tabs widened, up to the reach of a break decision (a
        // tab right after a run that reached the limit is still widened).
        const int limit = indent + window;
        const int reach = int(std::min<int64_t>(window, int64_t(restLen) * tab)) + tab;
        const size_t room = size_t(std::max(indent + reach, limit + 1)) + 8;
        if (scratch.bytes.size() < room)
            scratch.bytes.resize(room);
        char* d = scratch.bytes.data();
        tabs.clear();
        int n = indent;
        int i = 0;
        bool truncated = false;
        // Most pieces have neither indent nor tab in reach: their display form is their bytes.
        // A narrow piece's first tab is known already: the reach of a decision covers it whole.
        const char* firstTab = indent > 0         ? nullptr
                               : narrow && off == 0 ? narrowTab
                                                    : FindTab(s, size_t(std::min(restLen, limit + 1)));
        const bool plain = indent == 0 && !firstTab;
        if (plain)
        {
            n = std::min(restLen, limit);
            truncated = restLen > limit;
            i = restLen;
        }
        else if (indent > 0)
            std::memset(d, ' ', size_t(indent));
        else if (firstTab - s < limit)
        {
            // The bytes before the first tab are known to hold none: one copy, not a second scan.
            i = n = int(firstTab - s);
            std::memcpy(d, s, size_t(i));
        }
        while (i < restLen)
        {
            if (n >= limit)
            {
                truncated = true;
                break;
            }
            const int span = std::min(restLen - i, limit - n + 1);
            const int run = CopyToTab(d + n, s + i, span);
            const bool t = run < span;
            if (n + run > limit)
            {
                n = limit;
                truncated = true;
                break;
            }
            n += run;
            i += run;
            if (!t)
                break;
            const int w = tab - (tabMask ? (n - indent) & tabMask : (n - indent) % tab);
            for (int k = 0; k < w; ++k)
                d[n + k] = k + 1 < w ? '\x0B' : '\t';
            tabs.push_back(TPieceTab{n - indent, w, i});
            n += w;
            ++i;
        }
        const char* shown = plain ? s : d;
        int dLen = n;
        if (!direct)
        {
            D.SetLength(n);
            if (n > 0)
                std::memcpy(D.Unique(), shown, size_t(n));
        }
        auto wordBreak = [&](int p, int m) {
            if (!direct)
                return WordBreak(D, p, m);
            if (dLen <= p || m >= p)
                return p;
            TBreakBudget budget;
            return WordBreakStep(std::string_view(shown, size_t(dLen)), p, m, budget);
        };

        int brk;
        if (endsParagraph)
        {
            int first = wordBreak(wrap, indent + 2);
            if (!truncated && first >= dLen)
            {
                emit(off, restLen);
                return;
            }
            // A lower bound one less changes the decision only where the first one stopped at its
            // bound: elsewhere both take the same steps.
            brk = first != indent + 2 ? first : wordBreak(wrap, indent + 1);
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
            brk = wordBreak(wrap, indent + 1);
        }
        // The byte the break column falls on; past what was widened only a truncated form needs
        // the walk along the bytes.
        const int col = brk - indent;
        int lb;
        if (col < 0)
            lb = col;
        else if (col < dLen - indent)
        {
            lb = col;
            for (const TPieceTab& c : tabs)
            {
                if (col < c.col)
                    break;
                if (col < c.col + c.width)
                {
                    lb = c.source; // a column of a tab's room is the tab
                    break;
                }
                lb = c.source + 1 + (col - c.col - c.width);
            }
        }
        else if (!truncated)
            lb = restLen;
        else
            lb = DspColToLogCol(s, restLen, FTabSize, col);
        lb = AlignCut(base + off, restLen, lb);
        if (lb <= 0)
            lb = FirstCharLength(base + off, restLen); // always make progress
        if (lb >= restLen)
        {
            emit(off, restLen); // the piece that took the rest ends the paragraph: no empty row after it
            return;
        }
        emit(off, lb);
        off += lb;
    }
}

// ---- folding of the rows in the document ----------------------------------------------------

int TAFDocument::ClampBreak(int brk, int length) const { return std::clamp(brk, 1, std::max(1, length)); }

namespace
{
int CountCr(const AnsiString& s)
{
    int n = 0;
    for (int i = 0; i < s.Length(); ++i)
        if (s.c_str()[i] == '\r')
            ++n;
    return n;
}

// Notes where tabs and CRs stand in s[0, n) (at offsets from base), a word at a time: text holds
// few bytes below 0x10, and only a word with one is looked at byte by byte.
void MarkTabsAndCrs(const char* s, size_t n, int base, std::vector<int>& tabs, std::vector<int>& crs)
{
    auto look = [&](size_t i, size_t end) {
        for (; i < end; ++i)
            if (s[i] == '\t')
                tabs.push_back(base + int(i));
            else if (s[i] == '\r')
                crs.push_back(base + int(i));
    };
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        if ((w - 0x10101010u) & ~w & 0x80808080u)
            look(i, i + 4);
    }
    look(i, n);
}

// The first of the sorted offsets in [from, to), or -1.
int FirstMarkIn(const std::vector<int>& marks, int from, int to)
{
    const auto it = std::lower_bound(marks.begin(), marks.end(), from);
    return it != marks.end() && *it < to ? *it : -1;
}

// Cut position in text (0 < cut <= len) that keeps double-byte characters whole and makes progress.
int SafeCut(const char* text, int len, int cut)
{
    if (len <= 0)
        return 0;
    cut = std::clamp(cut, 0, len);
    cut = AlignCut(text, len, cut);
    if (cut <= 0)
        cut = FirstCharLength(text, len);
    return std::min(cut, len);
}
} // namespace

bool TAFDocument::FoldTake(int row, int through, int delta)
{
    if (!FFold)
        return false;
    TFoldCapture& f = *FFold;
    if (f.First >= 0 && row < f.First)
        FoldFlush(); // a change above what was gathered: it starts a record of its own
    if (f.First < 0)
    {
        f.First = row;
        f.CaretFirst = FCaret;
    }
    // Rows past the gathered ones are untouched yet: take them as they stand.
    for (int at = f.First + int(f.Rows.size()) + f.Delta; at < through; ++at)
    {
        f.Rows.push_back(FLines->Get(at));
        TAttrListItem rec = *FAttrs->GetItem(at);
        rec.ColAttr = nullptr;
        f.Attrs.push_back(rec);
    }
    f.Delta += delta;
    f.CaretLast = FCaret;
    return true;
}

void TAFDocument::FoldFlush()
{
    if (!FFold || FFold->First < 0)
        return;
    TFoldCapture& f = *FFold;
    const int rowsNow = int(f.Rows.size()) + f.Delta;
    const int first = f.First;
    f.First = -1;
    f.Delta = 0;
    FUndo->PushBlock(FUndoGroupId, first, rowsNow, f.CaretFirst, f.CaretLast, std::move(f.Rows), std::move(f.Attrs));
    f.Rows.clear();
    f.Attrs.clear();
    FireUndoChange(FUndo->Kept(), false);
}

void TAFDocument::FoldLine(int row)
{
    if (FFold)
    {
        FoldRows(row);
        return;
    }
    if (FoldRowsAtOnce(row))
        return;
    // The re-fold's changes go to the undo history as one record of the rows it replaced.
    TFoldCapture capture;
    FFold = &capture;
    try
    {
        FoldRows(row);
    }
    catch (...)
    {
        try
        {
            FoldFlush();
        }
        catch (...)
        {
            FUndo->MarkUnsaved(); // the change stands unrecorded: the saved state is out of reach
        }
        FFold = nullptr;
        throw;
    }
    try
    {
        FoldFlush();
    }
    catch (...)
    {
        FUndo->MarkUnsaved();
        FFold = nullptr;
        throw;
    }
    FFold = nullptr;
}

void TAFDocument::DropEmptyLastRow(int row)
{
    // The caret on it goes to the end of the piece before, where what is typed next lands.
    const int prevLen = GetLine(row - 1).Length();
    if (FCaret.y >= row)
        FCaret = DspPos(TPoint(prevLen, row - 1));
    // So do block ends there: they keep the bytes they cover.
    for (int i = 0; i < FBlkAttrs->GetCount(); ++i)
    {
        TBlkAttrListItem* b = FBlkAttrs->GetItem(i);
        if (b->StartRow == row)
            b->StartRow = row - 1, b->StartCol = prevLen;
        if (b->EndRow == row)
            b->EndRow = row - 1, b->EndCol = prevLen;
    }
    DelLineP(row);
    FHost->DocMarkDirtyFrom(row - 1);
    FHost->DocSelRowDeleted(row);
}

void TAFDocument::FoldRows(int row)
{
    // The caret follows its byte of the text, not the break asked for: the cut made can differ
    // from it (a tab is never split, the rules walk a break back, a double-byte character stays
    // whole), and whatever is typed next goes where the caret stands.
    auto caretLogCol = [&](int r) {
        return std::clamp(LogicalPos(TPoint(FCaret.x, r)), 0, GetLine(r).Length());
    };
    // Bytes from the start of row r to the caret, when it stands on row r or (joined) r + 1.
    auto caretOffset = [&](int r, bool withNext) {
        if (FCaret.y == r)
            return caretLogCol(r);
        if (withNext && FCaret.y == r + 1 && r + 1 < GetLinesCount())
            return GetLine(r).Length() + caretLogCol(r + 1);
        return -1;
    };
    // Back onto its byte once row r holds headLen bytes of the offsets and row r + 1 the rest; at
    // the cut itself the caret goes on to the next row unless that one was left empty.
    auto placeCaret = [&](int r, int off, bool wasOnRow, int headLen, bool nextEmpty) {
        if (off < 0)
            return;
        if (off < headLen || (off == headLen && nextEmpty))
        {
            if (!wasOnRow)
                FCaret = DspPos(TPoint(off, r));
        }
        else
            FCaret = DspPos(TPoint(off - headLen, r + 1));
    };

    int r = row;
    while (r >= 0 && r < GetLinesCount())
    {
        TAttrListItem* rec = FAttrs->GetItem(r);
        if (FOptions.Contains(aoAutoFormat) && (rec->WrapPos == 0 || int(rec->WrapPos) <= rec->Indent + 1))
        {
            // A record that cannot hold a character would never settle: give it the defaults.
            TAttrListItem def = MakeAttr(true, 0, FDefWrapPos);
            def.ColAttr = rec->ColAttr;
            def.States = rec->States;
            *rec = def;
        }
        const int W = FOptions.Contains(aoAutoFormat) ? int(rec->WrapPos) : kNoWrap;
        const int I = std::max<int>(0, rec->Indent);
        const AnsiString L = GetLine(r);
        // The row as displayed; a wrapped piece in the middle never needs it.
        auto display = [&] { return AnsiString::StringOfChar(' ', I) + TabExpand(L, false); };
        const bool last = r == GetLinesCount() - 1;

        if (CountCr(L) == 1 && isCrLine(r) && WordBreak(display(), W, I + 2) >= display().Length())
        {
            if (last)
            {
                TAttrListItem copy = *rec;
                AddLineP(AnsiString(), copy);
            }
            return;
        }
        if (L.IsEmpty())
        {
            if (!last)
            {
                // The caret on the empty piece stands before the next row's first byte.
                const bool caretHere = FCaret.y == r;
                DelLineP(r);
                if (caretHere)
                    FCaret = DspPos(TPoint(0, r));
                FHost->DocMarkDirtyFrom(r);
                FHost->DocSelRowDeleted(r);
            }
            // An empty last row after a wrapped piece: a load never makes one, and what is typed
            // there would join the paragraph above.
            if (r > 0 && r == GetLinesCount() - 1 && GetLine(r).IsEmpty() && !isCrLine(r - 1))
                DropEmptyLastRow(r);
            return;
        }

        if (L.view().find('\r') == std::string_view::npos)
        {
            // A wrapped piece, or the unterminated last row.
            if (last)
            {
                const AnsiString D = display();
                if (W > D.Length())
                    return;
                int b = ClampBreak(WordBreak(D, W, I + 1), D.Length());
                int lb = SafeCut(L.c_str(), L.Length(), DspColToLogCol(L.c_str(), L.Length(), FTabSize, b - I));
                if (lb >= L.Length())
                    return;
                if (!AskChange(r, L.SubString(1, lb)))
                    return;
                const int off = caretOffset(r, false);
                AnsiString tail = L.SubString(lb + 1, L.Length() - lb);
                TAttrListItem copy = *rec;
                InsertRow(r + 1, tail, copy, false);
                ColAttrBlockEdit(r, r + 1, tail.Length(), emInsert);
                BlkAttrBlockEdit(r, r + 1, tail.Length(), emInsert);
                ApplyLineChange(r, L.SubString(1, lb));
                placeCaret(r, off, true, lb, false);
                FHost->DocSelRowInserted(r);
                FHost->DocMarkDirtyFrom(r);
                ++r;
                continue;
            }
            const AnsiString next = GetLine(r + 1);
            // The next piece's tabs are expanded where they will stand, after this row's text.
            const AnsiString joined = L + next;
            const AnsiString J = I > 0 ? AnsiString::StringOfChar(' ', I) + TabExpand(joined, false)
                                       : TabExpand(joined, false);
            const int off = caretOffset(r, true);
            const bool onRow = FCaret.y == r;
            if (W > J.Length())
            {
                // The whole next piece fits: join it.
                if (!AskChange(r, joined))
                    return;
                ColAttrBlockEdit(r + 1, r, next.Length(), emAdd);
                BlkAttrBlockEdit(r + 1, r, next.Length(), emAdd);
                ApplyLineChange(r, joined);
                DelLineP(r + 1);
                placeCaret(r, off, onRow, joined.Length(), true);
                FHost->DocSelRowDeleted(r + 1);
                FHost->DocMarkDirtyFrom(r + 1);
                if (r + 1 < GetLinesCount())
                    continue; // fold row r again
                return;
            }
            int b = ClampBreak(WordBreak(J, W, I + 1), J.Length());
            // Map the break back through the stored text: a 0x0B of the text is not tab fill.
            int lb = SafeCut(joined.c_str(), joined.Length(),
                             DspColToLogCol(joined.c_str(), joined.Length(), FTabSize, b - I));
            if (lb == L.Length())
            {
                // Nothing moves: the boundary is settled, and so is the rest of the paragraph.
                if (next.IsEmpty() && r + 1 == GetLinesCount() - 1)
                    DropEmptyLastRow(r + 1);
                return;
            }
            const AnsiString newR = joined.SubString(1, lb);
            const AnsiString newNext = joined.SubString(lb + 1, joined.Length() - lb);
            const bool up = lb > L.Length();
            const int moved = up ? lb - L.Length() : L.Length() - lb;
            if (!AskChange(r, newR) || !AskChange(r + 1, newNext))
                return;
            if (up)
            {
                ColAttrBlockEdit(r + 1, r, moved, emAdd);
                BlkAttrBlockEdit(r + 1, r, moved, emAdd);
            }
            else
                BlkAttrBlockEdit(r, r + 1, moved, emInsert); // row lengths before the move
            ApplyLineChange(r, newR);
            ApplyLineChange(r + 1, newNext);
            if (!up)
                ColAttrBlockEdit(r, r + 1, moved, emInsert); // the next row holds the bytes now
            placeCaret(r, off, onRow, lb, newNext.IsEmpty());
            FAttrs->GetItem(r)->Dirty = true;
            FAttrs->GetItem(r + 1)->Dirty = true;
            ++r;
            continue;
        }

        // The row holds a CR: the piece ends at it or earlier.
        const AnsiString D = display();
        int b = WordBreak(D, W, I + 1);
        int crPos = int(D.view().find('\r')) + 1;
        if (crPos < b)
            b = crPos;
        b = ClampBreak(b, D.Length());
        int lb = SafeCut(L.c_str(), L.Length(), DspColToLogCol(L.c_str(), L.Length(), FTabSize, b - I));
        if (lb >= L.Length())
        {
            // The row is settled (wider than the wrap only by what hangs): a paragraph end on the
            // last row still gets the empty row after it.
            if (last)
            {
                TAttrListItem copy = *rec;
                AddLineP(AnsiString(), copy);
                return;
            }
            ++r; // go on with the next one
            continue;
        }
        AnsiString head = L.SubString(1, lb);
        AnsiString tail = L.SubString(lb + 1, L.Length() - lb);
        if (!AskChange(r, head))
            return;
        const bool newRow = last || isCrLine(r);
        // A new row holds the tail alone; otherwise the tail goes in front of the next piece.
        const int off = caretOffset(r, !newRow);
        const bool onRow = FCaret.y == r;
        if (newRow)
        {
            TAttrListItem copy = *rec;
            InsertRow(r + 1, tail, copy, false);
            if (FCaret.y > r)
                ++FCaret.y;
            FHost->DocSelRowInserted(r);
            FHost->DocMarkDirtyFrom(r + 1);
        }
        else
        {
            AnsiString merged = tail + GetLine(r + 1);
            if (!AskChange(r + 1, merged))
                return;
            ApplyLineChange(r + 1, merged);
        }
        ColAttrBlockEdit(r, r + 1, tail.Length(), emInsert);
        BlkAttrBlockEdit(r, r + 1, tail.Length(), emInsert);
        ApplyLineChange(r, head);
        placeCaret(r, off, onRow, lb, false);
        FAttrs->GetItem(r)->Dirty = true;
        FAttrs->GetItem(r + 1)->Dirty = true;
        ++r;
    }
}

// ---- re-folding the whole text ------------------------------------------------------------

void TAFDocument::RefoldParagraphs()
{
    // Each paragraph is joined and cut again in one pass, as a load does: linear in the text.
    TStringArena arena;
    struct TArenaUse
    {
        TStringArena*& slot;
        ~TArenaUse() { slot = nullptr; }
    } arenaUse{FArena};
    FArena = &arena;
    auto lines = std::make_unique<TStringList>();
    TRowChunks rows;
    std::vector<TAttrListItem> attrs;
    const int n = GetLinesCount();
    attrs.reserve(size_t(n));
    const int savedLongest = FLongestLine;
    FLongestLine = 0;
    try
    {
        AnsiString para;
        int first = 0;
        bool startNew = true;
        for (int i = 0; i < n; ++i)
        {
            if (startNew)
            {
                first = i;
                para = FLines->Get(i);
            }
            else
                para += FLines->Get(i);
            startNew = isCrLine(i);
            if (startNew || i == n - 1)
            {
                TAttrListItem rec = *FAttrs->GetItem(first);
                rec.ColAttr = nullptr;
                rec.Dirty = true;
                if (para.IsEmpty())
                {
                    rows.Add(AnsiString());
                    attrs.push_back(rec);
                }
                else
                    FoldParagraphInto(rows, attrs, para.view(), rec);
            }
        }
        if (rows.Count() == 0 || rows.Last().view().ends_with('\r'))
        {
            // The added row starts a paragraph of its own: it takes no indent from the one before.
            TAttrListItem rec = attrs.empty() ? MakeAttr(true, 0, FDefWrapPos) : attrs.back();
            rec.Indent = 0;
            rec.ColAttr = nullptr;
            rows.Add(AnsiString());
            attrs.push_back(rec);
        }
        rows.MoveInto(*lines, 0);
    }
    catch (...)
    {
        FLongestLine = savedLongest;
        throw;
    }
    // Block attributes name rows and columns that no longer exist.
    FBlkAttrs->Clear();
    TakeRows(*lines);
    FAttrs->Clear();
    FAttrs->SetCapacity(int(attrs.size()));
    for (auto& rec : attrs)
        FAttrs->Add(rec);
}

// ---- re-folding from a row in one pass --------------------------------------------------------

namespace
{
constexpr size_t kFoldArenaBlock = 16 * 1024;
}

bool TAFDocument::FoldRowsAtOnce(int row)
{
    // FoldRows only ever moves bytes across the boundary of two neighbouring rows, so the bytes
    // from row on stay one string and the rows are cuts in it. The steps are worked out on that
    // string; the row list then sees the same inserts and deletes, the history gathers the same
    // rows, and each changed row gets its final text once instead of twice per step.
    const int n0 = GetLinesCount();
    if (row < 0 || row >= n0 || FBlkAttrs->GetCount() > 0)
        return false;
    if (FHost != &FNoHost && !FHost->DocRowHooksIdle())
        return false;
    auto* list = dynamic_cast<TStringList*>(FLines);
    if (!list || typeid(*list) != typeid(TStringList) || list->OnChange || list->OnChanging)
        return false;
    const bool autoFormat = FOptions.Contains(aoAutoFormat);

    enum TStepKind
    {
        skTake,
        skInsert,
        skAppend,
        skDelete,
        skRowCount,
        skMarkDirty,
        skSelInserted,
        skSelDeleted
    };
    using TCut = TFoldCut;
    using TStep = TFoldStep;
    // One scratch serves every document of the thread. A view told of the fold's changes might
    // fold another text meanwhile: that fold gets a scratch of its own.
    static thread_local TFoldScratch shared;
    static thread_local bool sharedBusy = false;
    TFoldScratch own;
    TFoldScratch& scratchUse = sharedBusy ? own : shared;
    struct TRelease
    {
        bool& busy;
        const bool mine;
        ~TRelease()
        {
            if (mine)
                busy = false;
        }
    } release{sharedBusy, !sharedBusy};
    sharedBusy = true;
    std::string& bytes = scratchUse.Bytes;
    std::vector<TCut>& cuts = scratchUse.Cuts;
    std::vector<TStep>& steps = scratchUse.Steps;
    std::vector<AnsiString>& texts = scratchUse.Texts;
    std::vector<const TAttrListItem*>& recs = scratchUse.Recs;
    std::vector<int>& tabsAt = scratchUse.Tabs;
    std::vector<int>& crsAt = scratchUse.Crs;
    tabsAt.clear();
    crsAt.clear();
    bytes.clear();
    cuts.clear();
    steps.clear();
    texts.clear();
    recs.clear();
    // The rows read, as they stand: those the fold replaces go to the history as they are.
    std::vector<AnsiString> rowsRead;
    // Holding on to the room of a very long paragraph would cost more than fetching it again.
    struct TTrim
    {
        TFoldScratch& s;
        ~TTrim()
        {
            s.Texts.clear();
            if (s.Bytes.capacity() > (8u << 20))
                s = TFoldScratch();
        }
    } trim{scratchUse};
    int loaded = 0; // rows row .. row + loaded - 1 of the text are in cuts
    TPoint caret = FCaret;
    int longest = FLongestLine;
    bool refused = false;
    int takeFirst = -1, takeRows = 0, takeDelta = 0;
    TPoint takeCaretFirst, takeCaret;

    auto count = [&] { return row + int(cuts.size()) + (n0 - row - loaded); };
    auto load = [&](int r) {
        while (r - row >= int(cuts.size()) && row + loaded < n0)
        {
            TAttrListItem* rec = FAttrs->GetItem(row + loaded);
            if (rec->ColAttr)
                refused = true; // column records move with their bytes
            rowsRead.push_back(FLines->Get(row + loaded));
            recs.push_back(rec);
            const AnsiString& s = rowsRead.back();
            cuts.push_back(TCut{int(bytes.size()), s.Length(), rec, false});
            MarkTabsAndCrs(s.c_str(), size_t(s.Length()), int(bytes.size()), tabsAt, crsAt);
            bytes.append(s.c_str(), size_t(s.Length()));
            ++loaded;
        }
    };
    auto cut = [&](int r) -> TCut& { return cuts[size_t(r - row)]; };
    auto text = [&](int r) { return std::string_view(bytes.data() + cut(r).Start, size_t(cut(r).Len)); };
    auto note = [&](TStepKind kind, int r, int through = 0, int delta = 0) {
        steps.push_back(TStep{kind, r, through, delta, caret, longest});
    };
    auto width = [&](int len) { longest = std::max(longest, len + 2); };
    // What FoldTake would gather: the rows read from takeFirst on, one after the other (rows
    // inserted in between are not the text's yet). A step notes how far the history got, for a
    // replay that fails part way.
    auto take = [&](int r, int through, int delta) {
        if (takeFirst >= 0 && r < takeFirst)
            refused = true;
        const bool first = takeFirst < 0;
        const int gathered = std::max(0, through - (first ? r : takeFirst + takeRows + takeDelta));
        if (first)
        {
            takeFirst = r;
            takeCaretFirst = caret;
        }
        takeRows += gathered;
        takeDelta += delta;
        takeCaret = caret;
        if (first || gathered > 0 || delta != 0)
        {
            TStep* prev = steps.empty() ? nullptr : &steps.back();
            if (prev && prev->Kind == skTake && prev->Delta == 0 && delta == 0)
            {
                prev->Through = takeRows;
                prev->Caret = caret;
            }
            else
                note(skTake, r, takeRows, delta);
        }
    };
    auto insertCut = [&](int at, int start, int len, int from) {
        cuts.insert(cuts.begin() + (at - row), TCut{start, len, cut(from).Rec, true});
    };
    auto change = [&](int r, int start, int len) {
        take(r, r + 1, 0);
        width(len);
        TCut& c = cut(r);
        c.Start = start;
        c.Len = len;
        c.Changed = true;
    };
    auto remove = [&](int r) {
        take(r, r + 1, -1);
        if (r < caret.y)
            --caret.y;
        note(skDelete, r);
        cuts.erase(cuts.begin() + (r - row));
        note(skRowCount, r);
    };
    auto insert = [&](int at, int start, int len, int from) {
        take(at, at, 1);
        width(len);
        note(skInsert, at, from);
        insertCut(at, start, len, from);
        note(skRowCount, at);
    };
    auto append = [&](int from) {
        const int n = count();
        take(n, n, 1);
        width(0);
        note(skAppend, n, from);
        insertCut(n, int(bytes.size()), 0, from);
    };

    // The display form of t after indent blanks, as far as a break decision at wrap can read, and
    // how many of t's first bytes were seen to hold no tab.
    std::string dsp;
    int tabFree = 0;
    auto display = [&](std::string_view t, int indent, int wrap, int& fullLen) {
        const int limit = wrap + std::max(0, FWrapTrailBytes) + 16;
        const int n = int(t.size());
        bool truncated = false;
        tabFree = 0;
        const int at = int(t.data() - bytes.data()); // t is always some of the bytes read
        if (FirstMarkIn(tabsAt, at, at + std::min(n, limit + 1)) < 0)
        {
            tabFree = std::min(n, limit + 1);
            const int keep = std::clamp(limit - indent, 0, n);
            fullLen = keep < n ? INT_MAX : indent + n;
            if (indent == 0)
                return t.substr(0, size_t(keep)); // the bytes are their own display form
            dsp.assign(size_t(indent), ' ');
            dsp.append(t.data(), size_t(keep));
            return std::string_view(dsp);
        }
        dsp.assign(size_t(indent), ' ');
        AppendTabExpansion(dsp, t.data(), n, FTabSize, false, std::max(limit, indent), &truncated);
        fullLen = truncated ? INT_MAX : int(dsp.size());
        return std::string_view(dsp);
    };
    auto breakAt = [&](std::string_view d, int fullLen, int wrap, int minPos) {
        if (fullLen <= wrap || minPos >= wrap)
            return wrap;
        TBreakBudget budget;
        return WordBreakStep(d, wrap, minPos, budget);
    };
    // The byte of t (as display last saw it) a display column falls on; up to where no tab was
    // seen, column and byte are one.
    auto logCut = [&](std::string_view t, int dspCol) {
        const int n = int(t.size());
        const int col = dspCol >= 0 && std::min(dspCol + 1, n) <= tabFree ? std::min(dspCol, n)
                                                                          : DspColToLogCol(t.data(), n, FTabSize, dspCol);
        return SafeCut(t.data(), n, col);
    };
    auto isCr = [](std::string_view t) { return !t.empty() && t.back() == '\r'; };

    // The caret, as FoldRows keeps it on its byte.
    std::string scratch;
    auto dspPos = [&](int off, int r) {
        const std::string_view t = text(r);
        scratch.clear();
        AppendTabExpansion(scratch, t.data(), std::clamp(off, 0, int(t.size())), FTabSize, false);
        return TPoint(int(scratch.size()) + cut(r).Rec->Indent, r);
    };
    auto caretLogCol = [&](int r) {
        const std::string_view t = text(r);
        const int indent = cut(r).Rec->Indent;
        const int x = caret.x < indent ? caret.x - indent
                                       : DspColToLogCol(t.data(), int(t.size()), FTabSize, caret.x - indent);
        return std::clamp(x, 0, int(t.size()));
    };
    auto caretOffset = [&](int r, bool withNext) {
        if (caret.y == r)
            return caretLogCol(r);
        if (withNext && caret.y == r + 1 && r + 1 < count())
            return cut(r).Len + caretLogCol(r + 1);
        return -1;
    };
    auto placeCaret = [&](int r, int off, bool wasOnRow, int headLen, bool nextEmpty) {
        if (off < 0)
            return;
        if (off < headLen || (off == headLen && nextEmpty))
        {
            if (!wasOnRow)
                caret = dspPos(off, r);
        }
        else
            caret = dspPos(off - headLen, r + 1);
    };
    // As DropEmptyLastRow: the empty last row r after a wrapped piece goes.
    auto dropLast = [&](int r) {
        if (caret.y >= r)
            caret = r - 1 >= row ? dspPos(cut(r - 1).Len, r - 1)
                                 : DspPos(TPoint(GetLine(r - 1).Length(), r - 1));
        remove(r);
        note(skMarkDirty, r - 1);
        note(skSelDeleted, r);
    };

    int r = row;
    while (!refused && r >= 0 && r < count())
    {
        load(r + 1);
        if (refused)
            break;
        const TAttrListItem& rec = *cut(r).Rec;
        if (autoFormat && (rec.WrapPos == 0 || int(rec.WrapPos) <= rec.Indent + 1))
        {
            refused = true; // FoldRows gives the record the defaults first
            break;
        }
        const int W = autoFormat ? int(rec.WrapPos) : kNoWrap;
        const int I = std::max<int>(0, rec.Indent);
        const std::string_view L = text(r);
        const int len = int(L.size());
        const bool last = r == count() - 1;
        int full = 0;
        const int crAt = FirstMarkIn(crsAt, cut(r).Start, cut(r).Start + len);
        const size_t cr = crAt < 0 ? std::string_view::npos : size_t(crAt - cut(r).Start);

        if (cr != std::string_view::npos && cr + 1 == L.size())
        {
            const std::string_view D = display(L, I, W, full);
            if (breakAt(D, full, W, I + 2) >= full)
            {
                if (last)
                    append(r);
                break;
            }
        }
        if (L.empty())
        {
            if (!last)
            {
                const bool caretHere = caret.y == r;
                remove(r);
                if (caretHere)
                    caret = dspPos(0, r);
                note(skMarkDirty, r);
                note(skSelDeleted, r);
            }
            const bool afterPiece = r > 0 && !(r > row ? isCr(text(r - 1)) : isCrLine(r - 1));
            if (afterPiece && r == count() - 1 && cut(r).Len == 0)
                dropLast(r);
            break;
        }
        if (cr == std::string_view::npos)
        {
            if (last)
            {
                const std::string_view D = display(L, I, W, full);
                if (W > full)
                    break;
                const int b = ClampBreak(breakAt(D, full, W, I + 1), full);
                const int lb = logCut(L, b - I);
                if (lb >= len)
                    break;
                const int off = caretOffset(r, false);
                const int start = cut(r).Start;
                insert(r + 1, start + lb, len - lb, r);
                change(r, start, lb);
                placeCaret(r, off, true, lb, false);
                note(skSelInserted, r);
                note(skMarkDirty, r);
                ++r;
                continue;
            }
            const int start = cut(r).Start;
            const int joinedLen = len + cut(r + 1).Len;
            const std::string_view joined(bytes.data() + start, size_t(joinedLen));
            const std::string_view J = display(joined, I, W, full);
            const int off = caretOffset(r, true);
            const bool onRow = caret.y == r;
            if (W > full)
            {
                change(r, start, joinedLen);
                cut(r + 1).Len = 0; // its bytes are row r's now
                remove(r + 1);
                placeCaret(r, off, onRow, joinedLen, true);
                note(skSelDeleted, r + 1);
                note(skMarkDirty, r + 1);
                if (r + 1 < count())
                    continue;
                break;
            }
            const int b = ClampBreak(breakAt(J, full, W, I + 1), full);
            const int lb = logCut(joined, b - I);
            if (lb == len)
            {
                if (cut(r + 1).Len == 0 && r + 1 == count() - 1)
                    dropLast(r + 1);
                break;
            }
            change(r, start, lb);
            change(r + 1, start + lb, joinedLen - lb);
            placeCaret(r, off, onRow, lb, joinedLen == lb);
            ++r;
            continue;
        }

        // The row holds a CR: the piece ends at it or earlier.
        const std::string_view D = display(L, I, W, full);
        int b = breakAt(D, full, W, I + 1);
        const size_t dcr = D.find('\r');
        if (dcr != std::string_view::npos && int(dcr) + 1 < b)
            b = int(dcr) + 1;
        b = ClampBreak(b, full);
        const int lb = logCut(L, b - I);
        if (lb >= len)
        {
            if (last)
            {
                append(r);
                break;
            }
            ++r;
            continue;
        }
        const bool newRow = last || isCr(L);
        const int off = caretOffset(r, !newRow);
        const bool onRow = caret.y == r;
        const int start = cut(r).Start;
        if (newRow)
        {
            insert(r + 1, start + lb, len - lb, r);
            if (caret.y > r)
                ++caret.y;
            note(skSelInserted, r);
            note(skMarkDirty, r + 1);
        }
        else
            change(r + 1, start + lb, len - lb + cut(r + 1).Len);
        change(r, start, lb);
        placeCaret(r, off, onRow, lb, false);
        ++r;
    }
    if (refused)
        return false;

    // The final texts first: running out of memory here leaves the text as it was. They share
    // small blocks, a row that outlives its neighbours keeps no more than its block alive, and a
    // fold of a few rows takes a block just their size (a string's header and end are within 16
    // bytes, the block's own 8).
    size_t room = 8;
    for (const TCut& c : cuts)
        if (c.Changed)
            room += size_t(c.Len) + 16;
    TStringArena arena(std::min(kFoldArenaBlock, room));
    texts.resize(cuts.size());
    for (size_t i = 0; i < cuts.size(); ++i)
        if (cuts[i].Changed)
            texts[i] = arena.Make(bytes.data() + cuts[i].Start, cuts[i].Len);
    // The history's record of the rows gathered, as FoldFlush pushes it (the records are read
    // now, before any row goes); push makes it of the first rows of them.
    if (takeFirst >= 0 && takeFirst - row + takeRows > int(rowsRead.size()))
        return false; // never so: a take gathers rows the fold has read
    const size_t from = size_t(std::max(0, takeFirst - row));
    std::vector<TAttrListItem> taken;
    for (size_t i = from; i < from + size_t(takeRows); ++i)
        if (!TUndoBuff::SameOnReplay(*recs[i], *recs[from]))
        {
            taken.reserve(size_t(takeRows));
            for (size_t k = from; k < from + size_t(takeRows); ++k)
                taken.push_back(*recs[k]);
            break;
        }
    if (taken.empty() && takeRows > 0)
        taken.push_back(*recs[from]);
    auto push = [&](int rows, int delta, const TPoint& caretLast) {
        std::vector<AnsiString> rowsTaken;
        std::vector<TAttrListItem> attrs;
        if (rows == takeRows)
        {
            rowsRead.resize(from + size_t(rows));
            rowsRead.erase(rowsRead.begin(), rowsRead.begin() + ptrdiff_t(from));
            rowsTaken.swap(rowsRead);
            attrs.swap(taken);
        }
        else
        {
            rowsTaken.assign(rowsRead.begin() + ptrdiff_t(from), rowsRead.begin() + ptrdiff_t(from) + rows);
            attrs.assign(taken.begin(), taken.begin() + (taken.size() == 1 ? std::min(rows, 1) : rows));
        }
        FUndo->PushBlock(FUndoGroupId, takeFirst, rows + delta, takeCaretFirst, caretLast, std::move(rowsTaken),
                         std::move(attrs));
        FireUndoChange(FUndo->Kept(), false);
    };

    // Replayed in order: the records and the history see what FoldRows would have shown them.
    int doneRows = 0, doneDelta = 0;
    TPoint doneCaret;
    bool begun = false;
    try
    {
        for (const TStep& s : steps)
        {
            FCaret = s.Caret;
            FLongestLine = s.Longest;
            switch (s.Kind)
            {
            case skTake:
                begun = true;
                doneRows = s.Through;
                doneDelta += s.Delta;
                doneCaret = s.Caret;
                break;
            case skInsert:
            case skAppend:
            {
                TAttrListItem rec = *FAttrs->GetItem(s.Through);
                rec.ColAttr = nullptr;
                rec.States = TAttrStates();
                rec.Dirty = true;
                if (s.Kind == skInsert)
                {
                    FLines->Insert(s.Row, AnsiString());
                    FAttrs->Insert(s.Row, rec);
                }
                else
                {
                    FLines->Add(AnsiString());
                    FAttrs->SetItem(s.Row, &rec);
                }
                break;
            }
            case skDelete:
                FLines->Delete(s.Row);
                if (s.Row < FAttrs->GetCount())
                    FAttrs->Delete(s.Row);
                break;
            case skRowCount:
                FHost->DocRowCountChanged();
                break;
            case skMarkDirty:
                FHost->DocMarkDirtyFrom(s.Row);
                break;
            case skSelInserted:
                FHost->DocSelRowInserted(s.Row);
                break;
            case skSelDeleted:
                FHost->DocSelRowDeleted(s.Row);
                break;
            }
        }
        for (size_t i = 0; i < cuts.size(); ++i)
        {
            if (cuts[i].Changed)
            {
                FLines->Put(row + int(i), texts[i]);
                FAttrs->GetItem(row + int(i))->Dirty = true;
            }
        }
        FCaret = caret;
        FLongestLine = longest;
        begun = false;
        if (takeFirst >= 0)
            push(takeRows, takeDelta, takeCaret);
    }
    catch (...)
    {
        try
        {
            if (begun)
                push(doneRows, doneDelta, doneCaret);
        }
        catch (...)
        {
        }
        FUndo->MarkUnsaved();
        throw;
    }
    return true;
}
