// Search support of the editor page: find next and previous with the whole-word test, scrolling a
// point into view, hit marks that find a hit again after edits, row bookmarks, and replacing the
// selection as one undo step.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <functional>
#include <iterator>
#include <vector>

#include "editor_page/Nsrichedit.h"
#include "editor_page/RowFinder.h"

namespace
{
bool IsWordByte(unsigned char c) { return (c < 0x80 && std::isalnum(c)) || c == '_'; }

bool MarkedAt(TColAttrList* list, int col, int32_t id)
{
    return list && col >= 0 && col < list->GetCount() && list->GetItem(col)->MarkId == id;
}
} // namespace

// ---- points -------------------------------------------------------------------------------------

TPoint nsRichEdit::GetEndPos()
{
    const int last = std::max(0, GetLinesCount() - 1);
    return TPoint(GetLine(last).Length() - 1, last);
}

TPoint nsRichEdit::AdvanceBytes(TPoint p, int n)
{
    const int rows = GetLinesCount();
    while (n > 0 && p.y < rows)
    {
        const int room = GetLine(p.y).Length() - p.x;
        if (n <= room || p.y + 1 >= rows)
        {
            p.x += n;
            return p;
        }
        n -= std::max(0, room);
        ++p.y;
        p.x = 0;
    }
    return p;
}

bool nsRichEdit::ScrollIntoView(int col, int row)
{
    int top = GetTopLine();
    int left = GetLeftCol();
    const int shownRows = std::max(1, GetDspRowCount());
    const int shownCols = std::max(1, GetDspColCount());
    if (row < top)
        top = row;
    else if (row > top + shownRows - 1)
        top = row - shownRows + 1;
    if (col < left)
        left = col;
    else if (col > left + shownCols - 1)
        left = col - shownCols + 1;
    top = std::max(0, top);
    left = std::max(0, left);
    if (top == GetTopLine() && left == GetLeftCol())
        return false;
    SetTopLineRaw(top);
    SetLeftColRaw(left);
    StoreVertPos(GetTopLine());
    StoreHorzPos(GetLeftCol());
    if (HandleAllocated())
    {
        SetScrollBars(ScrollBars);
        Invalidate();
    }
    return true;
}

// ---- find ---------------------------------------------------------------------------------------

// Rows with their bytes classified once (0 single, 1 lead, 2 trail, as ByteTypeAt reads them) for
// the whole-word tests of one search, so that no test walks a long row from its start again.
class nsRichEdit::TRowBytes
{
public:
    explicit TRowBytes(TCustomAFEdit& ed) : ed_(ed) {}
    int Length(int row) { return Get(row).text.Length(); }
    // A single-byte letter, digit or '_' at col of row (nothing outside the row).
    bool WordByteAt(int row, int col)
    {
        const TRow& r = Get(row);
        return col >= 0 && col < r.text.Length() && r.kinds[size_t(col)] == 0 &&
               IsWordByte(static_cast<unsigned char>(r.text.c_str()[col]));
    }

private:
    struct TRow
    {
        int row = -1;
        AnsiString text;
        std::vector<unsigned char> kinds;
    };
    // A hit and its neighbours touch few rows: a handful of slots, reused in turn.
    const TRow& Get(int row)
    {
        for (const TRow& r : rows_)
            if (r.row == row)
                return r;
        TRow& r = rows_[next_];
        next_ = (next_ + 1) % std::size(rows_);
        r.row = row;
        r.text = ed_.GetLine(row);
        const int n = r.text.Length();
        const char* s = r.text.c_str();
        r.kinds.assign(size_t(n), 0);
        for (int i = 0; i < n; ++i)
            if (IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < n)
            {
                r.kinds[size_t(i)] = 1;
                r.kinds[size_t(++i)] = 2;
            }
        return r;
    }

    TCustomAFEdit& ed_;
    TRow rows_[4];
    size_t next_ = 0;
};

bool nsRichEdit::IsWholeWordHit(const TPoint& hit, int length)
{
    TRowBytes bytes(*this);
    return IsWholeWordHit(hit, length, bytes);
}

bool nsRichEdit::WordBefore(const TPoint& hit, TRowBytes& bytes)
{
    // Across a fold the text goes on in the next row; a paragraph end is no word.
    if (hit.x > 0)
        return bytes.WordByteAt(hit.y, hit.x - 1);
    if (hit.y > 0 && !isCrLine(hit.y - 1))
        return bytes.WordByteAt(hit.y - 1, bytes.Length(hit.y - 1) - 1);
    return false;
}

bool nsRichEdit::IsWholeWordHit(const TPoint& hit, int length, TRowBytes& bytes, const bool* wordBefore)
{
    const int rows = GetLinesCount();
    if (length <= 0 || hit.y < 0 || hit.y >= rows || hit.x < 0 || hit.x >= bytes.Length(hit.y))
        return false;

    // The hit's own edge bytes: a double-byte character at an edge is no word byte.
    const bool firstWord = bytes.WordByteAt(hit.y, hit.x);
    const TPoint lastPt = AdvanceBytes(hit, length - 1);
    const bool lastWord = bytes.WordByteAt(lastPt.y, lastPt.x);

    const bool before = wordBefore ? *wordBefore : WordBefore(hit, bytes);
    if (firstWord && before)
        return false;

    const TPoint endPt = AdvanceBytes(hit, length);
    bool after = false;
    if (endPt.x < bytes.Length(endPt.y))
        after = bytes.WordByteAt(endPt.y, endPt.x);
    else if (!isCrLine(endPt.y) && endPt.y + 1 < rows)
        after = bytes.WordByteAt(endPt.y + 1, 0);
    return !(lastWord && after);
}

namespace
{
// The selection as logical points.
void SelectionLogical(TCustomAFEdit& ed, TPoint& start, TPoint& end)
{
    const TPoint s = ed.SelArea()->GetStartPoint();
    const TPoint e = ed.SelArea()->GetEndPoint();
    start = TPoint(std::max(0, ed.LogicalPos(s)), s.y);
    end = TPoint(std::max(0, ed.LogicalPos(e)), e.y);
}
} // namespace

TPoint nsRichEdit::FindNext(const TPoint& from, const AnsiString& pattern, bool caseSensitive, bool wholeWord,
                            bool select)
{
    if (pattern.IsEmpty() || GetLinesCount() == 0)
        return TPoint(-1, from.y);
    TSearchOpts opts;
    if (!caseSensitive)
        opts << soIgnoreCase;
    const int length = pattern.Length();
    TPoint end = GetEndPos();
    ++end.x;

    TPoint start = from;
    if (SelArea()->isPointAble())
    {
        // The hit selected at from is the current one: the search goes on after it.
        TPoint selStart, selEnd;
        SelectionLogical(*this, selStart, selEnd);
        if (selStart == from && AdvanceBytes(selStart, length) == selEnd &&
            Search(pattern, selStart, selEnd, opts) == selStart)
            start = selEnd;
    }

    TRowBytes bytes(*this);
    std::function<bool(const TPoint&)> accept;
    if (wholeWord)
        accept = [&](const TPoint& hit) { return IsWholeWordHit(hit, length, bytes); };
    const TPoint hit = SearchHits(pattern, start, end, opts, accept);
    if (hit.x >= 0 && select)
        ShowHit(hit, length);
    return hit;
}

TPoint nsRichEdit::FindPrev(const TPoint& from, const AnsiString& pattern, bool caseSensitive, bool wholeWord,
                            bool select)
{
    if (pattern.IsEmpty() || GetLinesCount() == 0)
        return TPoint(-1, from.y);
    TSearchOpts opts;
    opts << soReverse;
    TSearchOpts forward;
    if (!caseSensitive)
    {
        opts << soIgnoreCase;
        forward << soIgnoreCase;
    }
    const int length = pattern.Length();

    TPoint start = from;
    if (SelArea()->isPointAble())
    {
        TPoint selStart, selEnd;
        SelectionLogical(*this, selStart, selEnd);
        if (selEnd == from && AdvanceBytes(selStart, length) == selEnd &&
            Search(pattern, selStart, selEnd, forward) == selStart)
            start = selStart;
    }

    TRowBytes bytes(*this);
    std::function<bool(const TPoint&)> accept;
    if (wholeWord)
        accept = [&](const TPoint& hit) { return IsWholeWordHit(hit, length, bytes); };
    const TPoint hit = SearchHits(pattern, start, TPoint(0, 0), opts, accept);
    if (hit.x >= 0 && select)
        ShowHit(hit, length);
    return hit;
}

void nsRichEdit::ShowHit(const TPoint& hit, int length)
{
    const TPoint d = DspPos(hit);
    const TPoint e = DspPos(AdvanceBytes(hit, length));
    SelArea()->RowReset();
    SelArea()->PutStartPoint(d);
    SelArea()->PutEndPoint(e);
    SetCaretRaw(d);
    const bool scrolled = ShowRange(d, TPoint(std::max(0, e.x - 1), e.y)); // the whole hit
    TellSelectChange();
    if (Updating || !HandleAllocated())
        return;
    SetCaretPosition();
    if (scrolled)
        return; // the scroll repaints everything
    // The old selection may lie anywhere on screen: every shown row is drawn again.
    MarkRowsDirty(GetTopLine(), GetTopLine() + GetDspRowCount() + 1);
    ValiPaint();
}

// ---- hit marks ----------------------------------------------------------------------------------

void nsRichEdit::MakeSrchPack(typSrchPack& pack)
{
    const int32_t id = FNextMarkId;
    FNextMarkId = id == INT32_MAX ? 1 : id + 1;
    pack.Editor = this;
    pack.MarkId = id;
    pack.SelPoint = DspPos(pack.HitPoint);
    pack.LineText = TabExpand(GetLine(pack.HitPoint.y), true);
    pack.FileName = EditFilePath;
    // The hit's bytes, on into the next rows when it runs across a fold.
    TPoint p = pack.HitPoint;
    int n = pack.Pattern.Length();
    const int rows = GetLinesCount();
    while (n > 0 && p.y >= 0 && p.y < rows)
    {
        const int len = GetLine(p.y).Length();
        const int stop = std::min(len, p.x + n);
        if (p.x < stop)
        {
            TColAttrList* list = GetColAttrs(p.y);
            for (int x = std::max(0, p.x); x < stop; ++x)
                list->GetItem(x)->MarkId = id;
            n -= stop - p.x;
        }
        ++p.y;
        p.x = 0;
    }
}

bool nsRichEdit::LocateSrchPack(typSrchPack& pack)
{
    const int rows = std::min(GetLinesCount(), AttrList()->GetCount());
    const int length = pack.Pattern.Length();
    const int32_t id = pack.MarkId;
    if (length <= 0 || id == 0)
        return false;
    auto list = [&](int row) { return row >= 0 && row < rows ? AttrList()->GetItem(row)->ColAttr : nullptr; };
    auto firstMarked = [&](int row)
    {
        TColAttrList* l = list(row);
        const int n = l ? std::min(l->GetCount(), GetLine(row).Length()) : 0;
        for (int x = 0; x < n; ++x)
            if (l->GetItem(x)->MarkId == id)
                return x;
        return -1;
    };

    const int r = pack.HitPoint.y;
    for (int k = 0; r - k >= 0 || r + k < rows; ++k)
    {
        const int probes[2] = {r + k, r - k};
        for (int i = 0; i < (k == 0 ? 1 : 2); ++i)
        {
            int row = probes[i];
            if (row < 0 || row >= rows)
                continue;
            int x = firstMarked(row);
            if (x < 0)
                continue;
            // A probe may land on the tail of a hit that began before a fold.
            while (x == 0 && row > 0 && !isCrLine(row - 1))
            {
                TColAttrList* prev = list(row - 1);
                int px = GetLine(row - 1).Length() - 1;
                if (!MarkedAt(prev, px, id))
                    break;
                while (px > 0 && MarkedAt(prev, px - 1, id))
                    --px;
                x = px;
                --row;
            }
            // Every byte of the hit must still carry the mark.
            TPoint p(x, row);
            for (int n = 0; n < length; ++n)
            {
                while (p.y < rows && p.x >= GetLine(p.y).Length())
                {
                    ++p.y;
                    p.x = 0;
                }
                if (p.y >= rows || !MarkedAt(list(p.y), p.x, id))
                    return false;
                ++p.x;
            }
            pack.HitPoint = TPoint(x, row);
            pack.SelPoint = DspPos(pack.HitPoint);
            pack.LineText = TabExpand(GetLine(row), true);
            return true;
        }
    }
    return false;
}

// ---- bookmarks ----------------------------------------------------------------------------------

bool nsRichEdit::BookmarkText(int row, AnsiString& text)
{
    if (!IsBookmarked(row))
        return false;
    text = AttrList()->GetItem(row)->Str;
    return true;
}

void nsRichEdit::SetBookmark(int row, bool on, const AnsiString& text)
{
    if (row < 0 || row >= GetLinesCount())
        return;
    TAttrListItem* rec = AttrList()->GetItem(row);
    rec->Reserve = on ? 1 : 0;
    rec->Str = on ? text : AnsiString();
    rec->Dirty = true;
}

// The caret at the start of row, nothing selected, the row in view.
void nsRichEdit::PutCaretOnRow(int row)
{
    SelArea()->RowReset();
    SetCaretRaw(TPoint(0, row));
    SelArea()->PutStartPoint(GetCaret());
    SelArea()->PutEndPoint(GetCaret());
    ScrollIntoView(0, row);
    if (!Updating && HandleAllocated())
    {
        SetCaretPosition();
        Invalidate();
    }
}

void nsRichEdit::GoNextBookMark()
{
    for (int row = std::max(0, GetCaret().y + 1); row < GetLinesCount(); ++row)
        if (IsBookmarked(row))
        {
            PutCaretOnRow(row);
            return;
        }
}

void nsRichEdit::GoPrevBookMark()
{
    for (int row = std::min(GetCaret().y, GetLinesCount()) - 1; row >= 0; --row)
        if (IsBookmarked(row))
        {
            PutCaretOnRow(row);
            return;
        }
}

void nsRichEdit::SaveBookmarks(nsArray<typBMarkInf>& list)
{
    list.Clear();
    for (int row = 0; row < GetLinesCount(); ++row)
        if (IsBookmarked(row))
            list.Add(typBMarkInf{row, AttrList()->GetItem(row)->Str});
}

void nsRichEdit::RestoreBookmarks(const nsArray<typBMarkInf>& list)
{
    int cursor = 0;
    for (int row = 0; row < GetLinesCount(); ++row)
    {
        // Entries for rows that no longer come are passed over.
        while (cursor < list.Count() && list[cursor].Row < row)
            ++cursor;
        if (cursor < list.Count() && list[cursor].Row == row)
        {
            SetBookmark(row, true, list[cursor].Text);
            ++cursor;
        }
        else if (IsBookmarked(row))
            SetBookmark(row, false);
    }
}

// ---- replacing the selection --------------------------------------------------------------------

bool nsRichEdit::ReplaceSelText(const AnsiString& text)
{
    if (IsRangeSelect())
        return false;
    BeginUpdate();
    try
    {
        SelectAreaDel();
        const int group = UndoGroupId();
        const char* s = text.c_str();
        const int n = text.Length();
        int from = 0;
        for (int i = 0; i < n; ++i)
            if (s[i] == '\r' || i == n - 1)
            {
                SetUndoGroupId(group - 1); // the typing joins the deletion's group
                KeyInput(AnsiString(s + from, i + 1 - from));
                from = i + 1;
            }
        SetUndoGroupId(group);
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
    return true;
}

// ---- replace all in one go ----------------------------------------------------------------------

nsRichEdit::TReplaceEvery nsRichEdit::ReplaceEvery(const AnsiString& pattern, const AnsiString& replacement,
                                                   const TPoint& from, const TPoint& to, bool caseSensitive,
                                                   bool wholeWord, const std::function<bool()>& noUndo)
{
    TReplaceEvery outcome;
    // What typing the replacement would store.
    std::string with;
    for (int i = 0; i < replacement.Length(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(replacement.c_str()[i]);
        if (c >= 0x20 || c == '\t' || c == '\r')
            with.push_back(char(c));
    }
    std::vector<unsigned char> kinds;
    SjisByteKinds(with.data(), int(with.size()), kinds);
    // A replacement that ends on a lone lead byte would pair it with the byte after it.
    const bool lone = !with.empty() && kinds.back() == 0 && IsSjisLead(static_cast<unsigned char>(with.back()));
    if (lone || !Document().RowHooksIdle() || BlkAttrList()->GetCount() > 0)
        return outcome;
    outcome.Done = true;
    const int length = pattern.Length();
    if (length == 0 || GetLinesCount() == 0)
        return outcome;

    // The hits in order, each search going on after the hit before. A hit right after the one
    // before has the replacement's last byte before it when the whole-word test is made.
    const bool withEndsWord = !with.empty() && kinds.back() == 0 && IsWordByte(static_cast<unsigned char>(with.back()));
    TRowFinder finder(Document(), pattern, !caseSensitive);
    TRowBytes bytes(*this);
    std::vector<TPoint> hits;
    TPoint at = from;
    TPoint lastEnd(-1, -1);
    bool wordBeforeNext = false; // the byte before lastEnd, once replaced, is a word byte
    for (;;)
    {
        const TPoint hit = finder.Next(at, to);
        if (hit.x < 0)
            break;
        if (wholeWord)
        {
            const bool adjacent = (hit.y == lastEnd.y && hit.x == lastEnd.x) ||
                                  (hit.y == lastEnd.y + 1 && hit.x == 0 && lastEnd.x >= GetLine(lastEnd.y).Length());
            const bool before = adjacent ? wordBeforeNext : WordBefore(hit, bytes);
            if (!IsWholeWordHit(hit, length, bytes, &before))
            {
                at = TPoint(hit.x + 1, hit.y);
                continue;
            }
            wordBeforeNext = with.empty() ? before : withEndsWord;
        }
        hits.push_back(hit);
        at = lastEnd = finder.LastEnd();
    }
    outcome.Hits = int(hits.size());
    if (hits.empty())
        return outcome;

    TReplaceWork work;
    if (!Document().PlanReplace(hits, length, with, work))
    {
        outcome.Done = false; // never so: the hits are in order and apart
        return outcome;
    }
    const bool record = UndoBuff()->Fits(work.UndoBytes);
    if (!record && (!noUndo || !noUndo()))
    {
        outcome.Declined = true;
        return outcome;
    }
    Document().ApplyReplace(work, record);
    outcome.Replaced = outcome.Hits;

    // The window once: the caret after the last replacement, nothing selected, every row drawn
    // anew by the repaint that follows.
    SetRangeSelect(false);
    SelArea()->RowReset();
    SelArea()->PutStartPoint(GetCaret());
    SelArea()->PutEndPoint(GetCaret());
    TellSelectChange();
    MarkRowsDirty(GetTopLine(), GetTopLine() + GetDspRowCount() + 1);
    if (HandleAllocated())
    {
        SetScrollBars(ScrollBars);
        Invalidate();
    }
    return outcome;
}
