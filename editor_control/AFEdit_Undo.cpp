#include <algorithm>
#include <climits>
#include <memory>

#include "editor_control/AFEditUndo.h"

TUndoBuff::TUndoBuff(int size) { TList::SetCount(size > 0 ? size : 0); }

TUndoBuff::~TUndoBuff() { Clear(); }

int TUndoBuff::Capacity() const
{
    if (FMax < 0)
        return INT_MAX;
    if (FMax == 0)
        return 0;
    // A full buffer keeps one record less than its limit, but never fewer than one.
    return FMax > 1 ? FMax - 1 : 1;
}

int64_t TUndoBuff::SizeOf(const TUndoBuffItem& item)
{
    int64_t size = int64_t(sizeof(TUndoBuffItem)) + item.Before.Length() + item.After.Length() +
                   item.AttrBefore.Str.Length() + item.AttrAfter.Str.Length();
    for (const AnsiString& row : item.Rows)
        size += int64_t(sizeof(AnsiString)) + row.Length();
    for (const TAttrListItem& rec : item.Attrs)
        size += int64_t(sizeof(TAttrListItem)) + rec.Str.Length();
    if (item.Splice)
        size += item.Splice->Bytes();
    return size;
}

int64_t TUndoSplice::Bytes() const
{
    int64_t size = int64_t(sizeof(TUndoSplice)) + int64_t(Spans.size() * sizeof(TUndoSpan)) + RowBytes;
    for (const TAttrRun& run : Runs)
        size += int64_t(sizeof(TAttrRun)) + run.Rec.Str.Length();
    return size;
}

void TUndoBuff::FreeFrom(int first)
{
    // Slots from FTop on are empty: stopping there keeps a push after an undo from walking the
    // whole list (which only grows) every time.
    const int end = std::min(GetCount(), FTop);
    for (int i = first; i < end; ++i)
    {
        if (Slot(i))
            FBytes -= SizeOf(*Slot(i));
        delete Slot(i);
        Put(i, nullptr);
    }
    if (FTop > first)
        FTop = first;
}

void TUndoBuff::DropFront(int n)
{
    int count = GetCount();
    for (int i = 0; i < n; ++i)
    {
        if (Slot(i))
            FBytes -= SizeOf(*Slot(i));
        delete Slot(i);
    }
    for (int i = n; i < count; ++i)
        Put(i - n, Get(i));
    for (int i = count - n; i < count; ++i)
        Put(i, nullptr);
    FPosition = FPosition >= n ? FPosition - n : 0;
    FTop = FTop >= n ? FTop - n : 0;
    FSavedPos = FSavedPos >= n ? FSavedPos - n : -1;
}

bool TUndoBuff::EvictOldestGroup(int currentId)
{
    TUndoBuffItem* first = Slot(0);
    if (!first || FTop == 0 || first->GroupId == currentId)
        return false; // never drop records of the group being pushed
    int id = first->GroupId;
    int n = 0;
    while (n < FTop && Slot(n) && Slot(n)->GroupId == id)
        ++n;
    DropFront(n);
    return true;
}

void TUndoBuff::Refuse()
{
    // The change happens without a record: the saved state can no longer be reached by undo.
    FKept = false;
    FSavedPos = -1;
}

bool TUndoBuff::Place(int id, TUndoBuffItem* item)
{
    std::unique_ptr<TUndoBuffItem> owned(item);
    if (id == FLastId)
        ++FRunCount;
    else
    {
        FRunCount = 0;
        FOverflowed = false;
    }
    FLastId = id;

    if (FMax == 0 || (FOverflowed && FOverflowId == id))
    {
        Refuse();
        return false;
    }

    // A push forgets everything that could have been redone.
    if (FSavedPos > FPosition)
        FSavedPos = -1;
    FreeFrom(FPosition);

    const int64_t size = SizeOf(*item);
    while (FPosition >= Capacity() || FBytes + size > FBudget)
    {
        if (!EvictOldestGroup(id))
        {
            // This one operation fills the whole buffer: keep none of it rather than half of it.
            FreeFrom(0);
            FPosition = 0;
            FOverflowed = true;
            FOverflowId = id;
            Refuse();
            return false;
        }
    }

    if (GetCount() <= FPosition)
        TList::SetCount(FPosition + 1);
    item->GroupId = id;
    Put(FPosition, owned.release());
    FBytes += size;
    ++FPosition;
    FTop = FPosition;
    FKept = true;
    return true;
}

void TUndoBuff::Push(int id, int index, int index2, const TPoint& caret, TUndoAction action,
                     const AnsiString& before, const AnsiString& after, const TAttrListItem& attrBefore,
                     const TAttrListItem& attrAfter)
{
    auto* item = new TUndoBuffItem();
    item->Index = index;
    item->Index2 = index2;
    item->Caret = caret;
    item->Action = action;
    item->Before = before;
    item->After = after;
    item->AttrBefore = attrBefore;
    item->AttrBefore.ColAttr = nullptr;
    item->AttrAfter = attrAfter;
    item->AttrAfter.ColAttr = nullptr;
    Place(id, item);
}

void TUndoBuff::PushBlock(int id, int index, int rowsNow, const TPoint& caretFirst, const TPoint& caretLast,
                          std::vector<AnsiString>&& rows, std::vector<TAttrListItem>&& attrs)
{
    auto* item = new TUndoBuffItem();
    item->Index = index;
    item->Index2 = rowsNow;
    item->Caret = caretFirst;
    item->CaretLast = caretLast;
    item->Action = acBlock;
    item->Rows = std::move(rows);
    item->Attrs = std::move(attrs);
    for (TAttrListItem& rec : item->Attrs)
        rec.ColAttr = nullptr;
    Compact(*item);
    Place(id, item);
}

bool TUndoBuff::PushSplice(int id, const TPoint& caretFirst, const TPoint& caretLast,
                           std::unique_ptr<TUndoSplice> splice)
{
    auto* item = new TUndoBuffItem();
    item->Index = splice->Spans.empty() ? 0 : splice->Spans.front().Row;
    item->Caret = caretFirst;
    item->CaretLast = caretLast;
    item->Action = acSplice;
    item->Splice = std::move(splice);
    return Place(id, item);
}

void TUndoBuff::Forget()
{
    FreeFrom(0);
    FPosition = 0;
    FTop = 0;
    FKept = false;
    FSavedPos = -1;
}

bool TUndoBuff::SameOnReplay(const TAttrListItem& a, const TAttrListItem& b)
{
    // A replay marks every row dirty and gives it no column list.
    return a.FontColor == b.FontColor && a.BackColor == b.BackColor && a.Indent == b.Indent &&
           a.Reserve == b.Reserve && a.WrapPos == b.WrapPos && a.Style == b.Style && a.States == b.States &&
           a.Str == b.Str;
}

void TUndoBuff::Compact(TUndoBuffItem& item)
{
    std::vector<TAttrListItem>& attrs = item.Attrs;
    if (attrs.size() > 1 && std::all_of(attrs.begin() + 1, attrs.end(),
                                        [&](const TAttrListItem& a) { return SameOnReplay(a, attrs[0]); }))
        attrs.resize(1);
    attrs.shrink_to_fit();
    item.Rows.shrink_to_fit();
}

TUndoBuffItem* TUndoBuff::PrevPop()
{
    return FPosition >= 1 && FPosition <= FTop ? Slot(FPosition - 1) : nullptr;
}

TUndoBuffItem* TUndoBuff::NextPop() { return FPosition >= 0 && FPosition < FTop ? Slot(FPosition) : nullptr; }

void TUndoBuff::ToPrev()
{
    if (FPosition > 0)
        --FPosition;
}

void TUndoBuff::ToNext()
{
    if (FPosition < FTop)
        ++FPosition;
}

void TUndoBuff::Reset()
{
    FreeFrom(0);
    FPosition = 0;
    FSavedPos = 0;
    FTop = 0;
    FKept = false;
    // A fresh history: an operation that overflowed before the reset may record again.
    FOverflowed = false;
}

void TUndoBuff::Clear()
{
    Reset();
    TList::Clear();
}

void TUndoBuff::SetMax(int max)
{
    FMax = max;
    if (max < 0)
        return;
    int cap = Capacity();
    if (FTop > cap)
    {
        if (FSavedPos > FPosition)
            FSavedPos = -1;
        FreeFrom(FPosition);
    }
    while (FPosition > cap && FTop > 0)
    {
        int id = Slot(0)->GroupId;
        int n = 0;
        while (n < FTop && Slot(n)->GroupId == id)
            ++n;
        DropFront(n);
    }
    if (cap == 0 && FTop > 0)
    {
        if (FSavedPos != FPosition)
            FSavedPos = -1;
        FreeFrom(0);
        FPosition = 0;
        if (FSavedPos != -1)
            FSavedPos = 0;
    }
}

void TUndoBuff::SetBudget(int64_t bytes)
{
    FBudget = bytes;
    if (FBytes <= FBudget)
        return;
    if (FSavedPos > FPosition)
        FSavedPos = -1;
    FreeFrom(FPosition);
    while (FBytes > FBudget && FTop > 0)
    {
        int id = Slot(0)->GroupId;
        int n = 0;
        while (n < FTop && Slot(n)->GroupId == id)
            ++n;
        DropFront(n);
    }
}
