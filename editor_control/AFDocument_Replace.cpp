// Replacing many pieces of the text at once: every paragraph a piece touches is cut into rows anew
// in one pass, the rows below move once, and the whole change is one undo record that holds the
// rows it replaced (see acSplice), however many pieces there were.
#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor_control/AFDocument.h"

void TRowChunks::MoveInto(std::vector<AnsiString>& out)
{
    if (out.capacity() < out.size() + size_t(count_))
        out.reserve(std::max(out.size() + size_t(count_), out.capacity() * 2)); // grows as push_back would
    for (std::vector<AnsiString>& chunk : chunks_)
        for (AnsiString& row : chunk)
            out.push_back(std::move(row));
    // The first chunk's room serves the rows that come next: many small paragraphs in turn.
    if (!chunks_.empty())
    {
        chunks_.resize(1);
        chunks_.front().clear();
    }
    count_ = 0;
}

namespace
{
// A record as a replay stores it: no column list, and the dirty flag never tells records apart.
TAttrListItem Stored(const TAttrListItem& rec)
{
    TAttrListItem r = rec;
    r.ColAttr = nullptr;
    r.Dirty = false;
    return r;
}

void AddRun(std::vector<TAttrRun>& runs, const TAttrListItem& rec, int count)
{
    if (count <= 0)
        return;
    if (!runs.empty() && TUndoBuff::SameOnReplay(runs.back().Rec, rec))
        runs.back().Count += count;
    else
        runs.push_back(TAttrRun{count, Stored(rec)});
}

// Walks runs row by row.
class TRunCursor
{
public:
    explicit TRunCursor(const std::vector<TAttrRun>& runs) : runs_(runs) {}
    const TAttrListItem& Next()
    {
        while (at_ < runs_.size() && used_ >= runs_[at_].Count)
        {
            ++at_;
            used_ = 0;
        }
        ++used_;
        return at_ < runs_.size() ? runs_[at_].Rec : fallback_;
    }

private:
    const std::vector<TAttrRun>& runs_;
    size_t at_ = 0;
    int used_ = 0;
    TAttrListItem fallback_;
};
} // namespace

TReplaceWork::~TReplaceWork()
{
    for (TColAttrList* cols : Cols)
        delete cols;
}

const AnsiString& TAFDocument::RowCopy(int row) const
{
    FRowCopy = FLines->Get(row);
    return FRowCopy;
}

bool TAFDocument::RowHooksIdle() { return FHost == &FNoHost || FHost->DocRowHooksIdle(); }

void TAFDocument::SwapSplice(TUndoSplice& splice, std::vector<TColAttrList*>* cols)
{
    std::vector<TUndoSpan>& spans = splice.Spans;
    if (spans.empty())
        return;
    const int n0 = GetLinesCount();
    int64_t delta = 0;
    size_t wanted = 0;
    for (size_t i = 0; i < spans.size(); ++i)
    {
        const TUndoSpan& s = spans[i];
        const int floorRow = i == 0 ? 0 : spans[i - 1].Row + spans[i - 1].Now;
        if (s.Row < floorRow || s.Now < 0 || s.Rows < 0 || s.Row + s.Now > n0)
            throw EListError("splice out of the text"); // never so: records are ours
        delta += s.Rows - s.Now;
        wanted += size_t(s.Rows);
    }
    if (wanted != splice.Rows.size() || n0 + delta < 1)
        throw EListError("splice out of the text");
    const int first = spans.front().Row;
    const int end = spans.back().Row + spans.back().Now;

    // What can fail comes first, so that running out of memory leaves the text as it was: the
    // slots of the rows from the first span's to the last one's, records for rows a span adds, and
    // room in the row list. A row both sides hold keeps its record, given the new values below.
    std::vector<TAttrListItem*> slots;
    std::vector<TAttrListItem*> made;
    std::vector<TAttrRun> oldRuns;
    slots.reserve(size_t(end - first + delta));
    try
    {
        int at = first;
        for (const TUndoSpan& s : spans)
        {
            for (; at < s.Row + std::min(s.Now, s.Rows); ++at)
                slots.push_back(FAttrs->GetItem(at));
            for (int i = s.Now; i < s.Rows; ++i)
            {
                made.push_back(TAttrList::NewCopy(TAttrListItem()));
                slots.push_back(made.back());
            }
            for (; at < s.Row + s.Now; ++at)
                FAttrs->GetItem(at); // each row has its record
        }
        if (delta > 0 && FLines->GetCapacity() < n0 + delta)
            FLines->SetCapacity(int(n0 + delta)); // inserts then never allocate
        oldRuns.reserve(splice.Runs.size());
    }
    catch (...)
    {
        for (TAttrListItem* rec : made)
            TAttrList::Free(rec);
        throw;
    }

    // The records: the old values go to the runs, the new ones in; rows a span drops keep theirs
    // until they leave the list.
    {
        TRunCursor runs(splice.Runs);
        size_t k = 0, slot = 0;
        int at = first;
        for (const TUndoSpan& s : spans)
        {
            slot += size_t(s.Row - at);
            for (int i = 0; i < s.Rows; ++i, ++k, ++slot)
            {
                TAttrListItem* rec = slots[slot];
                if (i < s.Now)
                    AddRun(oldRuns, *rec, 1);
                delete rec->ColAttr;
                *rec = runs.Next();
                rec->Dirty = true;
                rec->ColAttr = cols && cols->size() == wanted ? std::exchange((*cols)[k], nullptr) : nullptr;
            }
            for (int i = s.Rows; i < s.Now; ++i)
                AddRun(oldRuns, *FAttrs->GetItem(s.Row + i), 1);
            at = s.Row + s.Now;
        }
    }

    // The rows, top down: the row list sees each change (a list that reports them hears of every
    // row), and its gap follows along, so the rows below move once.
    const bool blocks = FBlkAttrs->GetCount() > 0;
    std::vector<AnsiString> oldRows;
    oldRows.reserve(size_t(end - first));
    NoteLineWidth(splice.RowsLongest);
    std::vector<TUndoSpan> done;
    done.reserve(spans.size());
    int shift = 0;
    size_t k = 0;
    for (const TUndoSpan& s : spans)
    {
        const int r = s.Row + shift;
        const int common = std::min(s.Now, s.Rows);
        for (int i = 0; i < common; ++i, ++k)
        {
            AnsiString row = std::move(splice.Rows[k]);
            if (FRowList)
                FRowList->SwapString(r + i, row);
            else
            {
                AnsiString old = FLines->Get(r + i);
                FLines->Put(r + i, row);
                row = std::move(old);
            }
            oldRows.push_back(std::move(row));
            if (blocks)
                BlkAttrLineEdit(r + i, emChange);
        }
        for (int i = common; i < s.Rows; ++i, ++k)
        {
            AnsiString seen = splice.Rows[k];
            FHost->DocLineInserting(r + i, seen); // the record's text is what comes in
            FLines->Insert(r + i, splice.Rows[k]);
            if (blocks)
                BlkAttrLineEdit(r + i, emInsert);
        }
        for (int i = common; i < s.Now; ++i)
        {
            oldRows.push_back(RowRef(r + common));
            FHost->DocLineDeleting(r + common);
            FLines->Delete(r + common);
            if (blocks)
                BlkAttrLineEdit(r + common, emDelete);
        }
        done.push_back(TUndoSpan{r, s.Rows, s.Now});
        shift += s.Rows - s.Now;
    }

    // One move of the slots below; the records of the rows a span dropped go.
    FAttrs->ExchangeSlots(first, end - first, slots);
    int at = first;
    size_t slot = 0;
    for (const TUndoSpan& s : spans)
    {
        slot += size_t(s.Row - at);
        for (int i = 0; i < s.Now; ++i, ++slot)
            if (i >= s.Rows)
                TAttrList::Free(slots[slot]);
        at = s.Row + s.Now;
    }

    spans.swap(done);
    splice.Rows.swap(oldRows);
    std::swap(splice.RowBytes, splice.TextBytes);
    std::swap(splice.RowsLongest, splice.TextLongest);
    splice.Runs.swap(oldRuns);
    if (delta != 0)
        FHost->DocRowCountChanged();
}

bool TAFDocument::PlanReplace(const std::vector<TPoint>& hits, int length, std::string_view with, TReplaceWork& work)
{
    const int n = GetLinesCount();
    if (hits.empty() || length <= 0 || n == 0)
        return false;
    auto len = [&](int row) { return RowRef(row).Length(); };
    auto isCr = [&](int row) {
        const AnsiString& s = RowRef(row);
        return s.Length() > 0 && s.c_str()[s.Length() - 1] == '\r';
    };

    // Regions: whole paragraphs, each holding the hits that touch it; a hit that takes a
    // paragraph's CR joins the next paragraph to its region. Each is worked out as it is found.
    struct TRegion
    {
        int first, last;
        size_t hitFrom, hitTo;
    };
    TPoint firstEnd, lastEnd(0, -1); // where the first hit and the one before the next end
    // The region from hit h on; false when a hit is out of the text, out of order or overlaps.
    auto region = [&](size_t h, TRegion& reg) {
        reg.hitFrom = h;
        reg.first = -1;
        for (; h < hits.size(); ++h)
        {
            const TPoint p = hits[h];
            if (p.y < 0 || p.y >= n || p.x < 0 || p.x >= len(p.y))
                return false;
            if (p.y < lastEnd.y || (p.y == lastEnd.y && p.x < lastEnd.x))
                return false;
            if (reg.first >= 0 && p.y > reg.last)
                break; // the next region's
            int rest = length;
            int y = p.y, x = p.x;
            for (;;)
            {
                const int take = std::min(rest, len(y) - x);
                rest -= take;
                x += take;
                if (rest == 0)
                    break;
                if (++y >= n)
                    return false; // the hit runs past the text
                x = 0;
            }
            lastEnd = TPoint(x, y);
            if (h == 0)
                firstEnd = lastEnd;
            if (reg.first < 0)
            {
                reg.first = p.y;
                while (reg.first > 0 && !isCr(reg.first - 1))
                    --reg.first;
                reg.last = p.y;
            }
            int b = y;
            if (RowRef(y).c_str()[x - 1] == '\r' && x == len(y) && b + 1 < n)
                ++b; // the CR goes: the next paragraph joins
            while (b + 1 < n && !isCr(b))
                ++b;
            reg.last = std::max(reg.last, b);
        }
        reg.hitTo = h;
        return true;
    };

    // Each region's new text, cut into rows as a load cuts paragraphs.
    TStringArena arena;
    struct TArenaUse
    {
        TStringArena*& slot;
        ~TArenaUse() { slot = nullptr; }
    } arenaUse{FArena};
    FArena = &arena;
    std::string text;
    std::vector<int> rowStart;           // region offsets of its rows, and its end
    std::vector<int> paraFirst;          // the first rows of its paragraphs
    std::vector<TColAttrListItem> colRecs; // per byte of text, when a row of the region has column records
    std::vector<char> colHeld;             // the byte came from a row that had them
    std::vector<TAttrListItem> foldAttrs;
    TRowChunks chunks;
    struct TSeg
    {
        int out;  // where it starts in the new text
        int src;  // region offset of its first byte; -1 for a replacement
        int row;  // a replacement's hit row
    };
    std::vector<TSeg> segs;
    // Room to spare costs no more than the pages it touches: no list is copied as it grows.
    work.Splice.Spans.reserve(std::min(hits.size(), size_t(n)));
    work.Splice.Rows.reserve(std::min(size_t(n) + hits.size() / 4, hits.size() * 4 + 64));
    int64_t undo = int64_t(sizeof(TUndoSplice));
    TAttrListItem lastRec;
    const TAttrListItem* prevOld = nullptr;
    std::vector<TAttrRun> runs; // the region's
    TRegion reg;
    for (size_t g = 0, h = 0; h < hits.size(); ++g, h = reg.hitTo)
    {
        if (!region(h, reg))
            return false;
        undo += int64_t(sizeof(TUndoSpan));
        rowStart.clear();
        paraFirst.clear();
        int off = 0;
        bool cols = false;
        bool marked = false; // a row of the region has a bookmark
        for (int r = reg.first; r <= reg.last; ++r)
        {
            rowStart.push_back(off);
            off += len(r);
            if (r == reg.first || isCr(r - 1))
                paraFirst.push_back(r);
            const TAttrListItem* rec = r < FAttrs->GetCount() ? FAttrs->GetItem(r) : nullptr;
            cols = cols || (rec && rec->ColAttr);
            marked = marked || (rec && (rec->Reserve != 0 || !rec->Str.IsEmpty()));
            undo += TUndoSplice::kRowCost + len(r);
            work.Splice.TextBytes += TUndoSplice::kRowCost + len(r);
            work.Splice.TextLongest = std::max(work.Splice.TextLongest, len(r));
            if (!rec || !prevOld || !TUndoBuff::SameOnReplay(*rec, *prevOld))
                undo += int64_t(sizeof(TAttrRun)) + (rec ? rec->Str.Length() : 0);
            prevOld = rec;
        }
        rowStart.push_back(off);
        auto rowOf = [&](int offset) {
            return reg.first + int(std::upper_bound(rowStart.begin(), rowStart.end() - 1, offset) - rowStart.begin()) - 1;
        };
        // Where the bytes of the new text came from matters only where it holds more paragraphs
        // than one, which each take the record of the paragraph their first byte came from.
        const bool sources = paraFirst.size() > 1 || with.find('\r') != std::string_view::npos;
        // Copies region bytes [from, to) to the new text (with their column records).
        auto copy = [&](int from, int to) {
            if (sources)
                segs.push_back(TSeg{int(text.size()), from, -1});
            for (int r = rowOf(from); from < to; ++r)
            {
                const AnsiString& s = RowRef(r);
                const int at = from - rowStart[size_t(r - reg.first)];
                const int take = std::min(to - from, s.Length() - at);
                text.append(s.c_str() + at, size_t(take));
                if (cols)
                {
                    TColAttrList* list = FAttrs->GetItem(r)->ColAttr;
                    for (int i = 0; i < take; ++i)
                    {
                        const bool has = list && at + i < list->GetCount();
                        colRecs.push_back(has ? *list->GetItem(at + i) : TColAttrListItem());
                        colHeld.push_back(list ? 1 : 0);
                    }
                }
                from += take;
            }
        };
        text.clear();
        colRecs.clear();
        colHeld.clear();
        segs.clear();
        int pos = 0;
        for (size_t h = reg.hitFrom; h < reg.hitTo; ++h)
        {
            const int at = rowStart[size_t(hits[h].y - reg.first)] + hits[h].x;
            copy(pos, at);
            if (sources)
                segs.push_back(TSeg{int(text.size()), -1, hits[h].y});
            text.append(with.data(), with.size());
            if (cols)
            {
                colRecs.resize(text.size());
                colHeld.resize(text.size(), 0);
            }
            pos = at + length;
            if (h + 1 == hits.size())
            {
                work.LastSpan = int(g);
                work.LastOffset = int(text.size());
            }
        }
        copy(pos, off);
        const bool textEnd = reg.last == n - 1;
        if (!textEnd && (text.empty() || text.back() != '\r'))
            return false; // never so: a region ends with its last paragraph's CR

        // Paragraphs of the new text, each with the record of the paragraph its first byte came
        // from (a paragraph that starts with replaced bytes: the hit's).
        // Without bookmarks the runs go straight to the work's.
        std::vector<TAttrRun>& into = marked ? runs : work.Splice.Runs;
        runs.clear();
        int rows = 0;
        size_t seg = 0;
        size_t para = 0;
        auto sourceRow = [&](int p) {
            while (seg + 1 < segs.size() && segs[seg + 1].out <= p)
                ++seg;
            if (segs.empty())
                return reg.first;
            const TSeg& s = segs[seg];
            if (s.src < 0)
                return s.row;
            return rowOf(std::min(s.src + (p - s.out), std::max(0, off - 1)));
        };
        auto paraRecord = [&](int row) {
            while (para + 1 < paraFirst.size() && paraFirst[para + 1] <= row)
                ++para;
            TAttrListItem rec = *FAttrs->GetItem(paraFirst[para]);
            rec.ColAttr = nullptr;
            rec.Reserve = 0; // bookmarks stay on their rows (below)
            rec.Str = AnsiString();
            rec.Dirty = true;
            return rec;
        };
        const int total = int(text.size());
        for (int p = 0; p < total;)
        {
            const size_t cr = text.find('\r', size_t(p));
            const int stop = cr == std::string::npos ? total : int(cr) + 1;
            const TAttrListItem rec = paraRecord(sourceRow(p));
            foldAttrs.clear();
            FoldParagraphInto(chunks, foldAttrs, std::string_view(text.data() + p, size_t(stop - p)), rec);
            AddRun(into, rec, int(foldAttrs.size()));
            rows += int(foldAttrs.size());
            lastRec = rec;
            p = stop;
        }
        if (total == 0 || (textEnd && text.back() == '\r'))
        {
            // The text's last row never ends a paragraph: an empty one follows, as typing makes it.
            const TAttrListItem rec = total == 0 ? paraRecord(reg.first) : lastRec;
            chunks.Add(AnsiString());
            AddRun(into, rec, 1);
            ++rows;
        }

        // Bookmarks stay on the rows they were on.
        const int oldRows = reg.last - reg.first + 1;
        for (int i = 0; marked && i < std::min(oldRows, rows); ++i)
        {
            const TAttrListItem* old = FAttrs->GetItem(reg.first + i);
            if (old->Reserve == 0 && old->Str.IsEmpty())
                continue;
            // Split the run holding row i and give that row the bookmark.
            int at = 0;
            for (size_t j = 0; j < runs.size(); at += runs[j++].Count)
            {
                if (i >= at + runs[j].Count)
                    continue;
                TAttrRun mark{1, runs[j].Rec};
                mark.Rec.Reserve = old->Reserve;
                mark.Rec.Str = old->Str;
                TAttrRun after{runs[j].Count - (i - at) - 1, runs[j].Rec};
                runs[j].Count = i - at;
                std::vector<TAttrRun> put;
                put.push_back(mark);
                if (after.Count > 0)
                    put.push_back(after);
                runs.insert(runs.begin() + ptrdiff_t(j + 1), put.begin(), put.end());
                if (runs[j].Count == 0)
                    runs.erase(runs.begin() + ptrdiff_t(j));
                break;
            }
        }

        // Column records for the rows whose bytes had them.
        const size_t madeFrom = work.Splice.Rows.size();
        chunks.MoveInto(work.Splice.Rows);
        for (size_t i = madeFrom; i < work.Splice.Rows.size(); ++i)
        {
            const int rowLen = work.Splice.Rows[i].Length();
            work.Splice.RowBytes += TUndoSplice::kRowCost + rowLen;
            work.Splice.RowsLongest = std::max(work.Splice.RowsLongest, rowLen);
        }
        if (cols)
        {
            work.Cols.resize(madeFrom, nullptr);
            int at = 0;
            for (size_t i = madeFrom; i < work.Splice.Rows.size(); ++i)
            {
                const int rowLen = work.Splice.Rows[i].Length();
                TColAttrList* list = nullptr;
                if (std::any_of(colHeld.begin() + at, colHeld.begin() + at + rowLen, [](char c) { return c != 0; }))
                {
                    list = new TColAttrList();
                    try
                    {
                        list->SetCapacity(rowLen);
                        for (int b = 0; b < rowLen; ++b)
                            list->Add(colRecs[size_t(at + b)]);
                    }
                    catch (...)
                    {
                        delete list;
                        throw;
                    }
                }
                work.Cols.push_back(list);
                at += rowLen;
            }
        }
        else if (!work.Cols.empty())
            work.Cols.resize(work.Splice.Rows.size(), nullptr);
        if (marked)
            for (const TAttrRun& run : runs)
                AddRun(work.Splice.Runs, run.Rec, run.Count);
        work.Splice.Spans.push_back(TUndoSpan{reg.first, oldRows, rows});
        if (int(g) == work.LastSpan)
        {
            // Where the caret ends: just after the last replacement, in the rows just made.
            int at = 0, row = 0;
            for (size_t i = madeFrom; i < work.Splice.Rows.size(); ++i, ++row)
            {
                const int rowLen = work.Splice.Rows[i].Length();
                if (work.LastOffset < at + rowLen || i + 1 == work.Splice.Rows.size())
                    break;
                at += rowLen;
            }
            work.LastRow = row;
            work.LastCol = work.LastOffset - at;
        }
    }
    if (!work.Cols.empty())
        work.Cols.resize(work.Splice.Rows.size(), nullptr);
    work.UndoBytes = undo;
    work.CaretFirst = DspPos(firstEnd);
    return true;
}

void TAFDocument::ApplyReplace(TReplaceWork& work, bool record)
{
    auto splice = std::make_unique<TUndoSplice>(std::move(work.Splice));
    ++FUndoGroupId;
    SwapSplice(*splice, work.Cols.empty() ? nullptr : &work.Cols);
    // The spans now name the rows as the text numbers them after the change.
    const TUndoSpan& last = splice->Spans[size_t(std::clamp(work.LastSpan, 0, int(splice->Spans.size()) - 1))];
    const int row = std::clamp(last.Row + work.LastRow, 0, GetLinesCount() - 1);
    FCaret = DspPos(TPoint(work.LastCol, row));
    if (record)
        FUndo->PushSplice(FUndoGroupId, work.CaretFirst, FCaret, std::move(splice));
    else
        FUndo->Forget();
    FireUndoChange(FUndo->Kept(), false);
}
