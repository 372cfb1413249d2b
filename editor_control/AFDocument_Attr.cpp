// Keeping column attributes (one record per byte of a row) and block attributes (coloured spans
// between two points) in step with the bytes they describe when text moves.
#include <algorithm>

#include "editor_control/AFDocument.h"

namespace
{
// ---- column lists: bulk moves, so a long row costs one pass, not one shift per record ----

TColAttrListItem Copied(TColAttrList* list, int i)
{
    auto* item = static_cast<TColAttrListItem*>(list->Get(i));
    return item ? *item : TColAttrListItem();
}

// Opens n empty slots at index at.
void OpenGap(TColAttrList* list, int at, int n)
{
    int count = list->GetCount();
    list->TList::SetCount(count + n);
    for (int i = count - 1; i >= at; --i)
        list->Put(i + n, list->Get(i));
    for (int i = at; i < at + n; ++i)
        list->Put(i, nullptr);
}

void InsertZeroed(TColAttrList* list, int at, int n)
{
    OpenGap(list, at, n);
    for (int i = at; i < at + n; ++i)
        list->Put(i, new TColAttrListItem());
}

void DeleteRange(TColAttrList* list, int at, int n)
{
    int count = list->GetCount();
    for (int i = at; i < at + n; ++i)
        delete static_cast<TColAttrListItem*>(list->Get(i));
    for (int i = at + n; i < count; ++i)
        list->Put(i - n, list->Get(i));
    for (int i = count - n; i < count; ++i)
        list->Put(i, nullptr);
    list->TList::SetCount(count - n);
}

// Copies records from..from+n-1 of src into dst at index at (src's records past its end count as
// zeroed ones).
void InsertCopies(TColAttrList* dst, int at, TColAttrList* src, int from, int n)
{
    OpenGap(dst, at, n);
    for (int k = 0; k < n; ++k)
    {
        int i = from + k;
        TColAttrListItem item = src && i >= 0 && i < src->GetCount() ? Copied(src, i) : TColAttrListItem();
        dst->Put(at + k, new TColAttrListItem(item));
    }
}

TColAttrList* NewZeroedList(int n)
{
    auto* list = new TColAttrList();
    list->SetCapacity(n);
    InsertZeroed(list, 0, n);
    return list;
}

// ---- block points ----

bool Before(int colA, int rowA, int colB, int rowB) { return rowA < rowB || (rowA == rowB && colA < colB); }

// Does the point (col, row) lie in [start, end)?
bool InHalfOpen(int col, int row, int startCol, int startRow, int endCol, int endRow)
{
    return !Before(col, row, startCol, startRow) && Before(col, row, endCol, endRow);
}
} // namespace

// ---- column attributes ----------------------------------------------------------------------

void TAFDocument::ColAttrEdit(int row, int col, int len, TEditMode mode)
{
    if (row < 0 || row >= GetLinesCount() || len <= 0)
        return;
    TColAttrList* list = FAttrs->Peek(row).ColAttr;
    if (!list)
        return;
    int count = list->GetCount();
    switch (mode)
    {
    case emInsert:
        InsertZeroed(list, std::clamp(col, 0, count), len);
        break;
    case emAdd:
        InsertZeroed(list, count, len);
        break;
    case emDelete:
    {
        // Only the part of [col, col + len) that lies in the list.
        int from = std::clamp(col, 0, count);
        int to = std::clamp(col + len, from, count);
        DeleteRange(list, from, to - from);
        break;
    }
    case emChange:
        break;
    }
}

void TAFDocument::ColAttrBlockEdit(int source, int dest, int len, TEditMode mode)
{
    const int rows = GetLinesCount();
    if ((mode != emInsert && mode != emAdd) || len <= 0 || source == dest || source < 0 || source >= rows ||
        dest < 0 || dest >= rows)
        return;
    TColAttrList* src = FAttrs->Peek(source).ColAttr;
    TColAttrList* dst = FAttrs->Peek(dest).ColAttr;
    if (!src && !dst)
        return;
    if (src)
    {
        // Keyword hits are found again after the move; the bytes no longer sit in their words.
        for (int i = 0; i < src->GetCount(); ++i)
            if (auto* item = static_cast<TColAttrListItem*>(src->Get(i)))
                item->OwnColor = false;
    }
    const int srcCount = src ? src->GetCount() : 0;
    const int taken = std::min(len, srcCount); // records that leave the source
    const int destLen = GetLine(dest).Length();
    if (mode == emInsert)
    {
        // dest already holds the moved bytes at its front; a new list gets zeroed records for the rest.
        if (!dst)
            dst = FAttrs->GetItem(dest)->ColAttr = NewZeroedList(std::max(0, destLen - len));
        // When the source's list is short, the bytes it lacks get zeroed records (placed first).
        InsertCopies(dst, 0, src, srcCount - len, len);
        if (src)
            DeleteRange(src, srcCount - taken, taken);
    }
    else
    {
        // dest does not hold the moved bytes yet: a new list gets zeroed records for its own bytes.
        if (!dst)
            dst = FAttrs->GetItem(dest)->ColAttr = NewZeroedList(destLen);
        InsertCopies(dst, dst->GetCount(), src, 0, len);
        if (src)
            DeleteRange(src, 0, taken);
    }
}

// ---- block attributes -----------------------------------------------------------------------

namespace
{
void MarkRows(TAFDocument& edit, int from, int to)
{
    int last = std::min(std::max(from, to), edit.GetLinesCount() - 1);
    for (int r = std::max(0, std::min(from, to)); r <= last; ++r)
        edit.Attrs()->SetDirty(r, true);
}

// Removing a block repaints the rows it covered first.
void RemoveBlock(TAFDocument& edit, int i)
{
    TBlkAttrListItem* b = edit.BlkAttrs()->GetItem(i);
    MarkRows(edit, b->StartRow, b->EndRow);
    edit.BlkAttrs()->Delete(i);
}
} // namespace

void TAFDocument::BlkAttrLineEdit(int row, TEditMode mode)
{
    TBlkAttrList* blocks = FBlkAttrs;
    switch (mode)
    {
    case emInsert:
        for (int i = 0; i < blocks->GetCount(); ++i)
        {
            TBlkAttrListItem* b = blocks->GetItem(i);
            if (b->StartRow >= row)
                ++b->StartRow;
            if (b->EndRow >= row)
                ++b->EndRow;
        }
        break;
    case emDelete:
        for (int i = blocks->GetCount() - 1; i >= 0; --i)
        {
            TBlkAttrListItem* b = blocks->GetItem(i);
            // Test the deleted row before shifting, so blocks of the next row stay.
            if (b->StartRow == row || b->EndRow == row)
            {
                RemoveBlock(*this, i);
                continue;
            }
            if (b->StartRow > row)
                --b->StartRow;
            if (b->EndRow > row)
                --b->EndRow;
        }
        break;
    case emChange:
        for (int i = blocks->GetCount() - 1; i >= 0; --i)
        {
            TBlkAttrListItem* b = blocks->GetItem(i);
            if (b->StartRow == row || b->EndRow == row)
                RemoveBlock(*this, i);
        }
        break;
    case emAdd:
        break;
    }
}

void TAFDocument::BlkAttrRowEndToNext(int row, int next)
{
    const int len = GetLine(row).Length();
    for (int i = 0; i < FBlkAttrs->GetCount(); ++i)
    {
        TBlkAttrListItem* b = FBlkAttrs->GetItem(i);
        if (b->StartRow == row && b->StartCol >= len)
        {
            b->StartRow = next;
            b->StartCol = 0;
        }
        if (b->EndRow == row && b->EndCol >= len)
        {
            b->EndRow = next;
            b->EndCol = 0;
        }
    }
}

void TAFDocument::BlkAttrEdit(int row, int col, int len, TEditMode mode)
{
    if (mode == emDelete && col < 0)
    {
        len += col; // only the bytes from column 0 on exist
        col = 0;
    }
    if (len <= 0 || (mode != emInsert && mode != emDelete))
        return;
    col = std::max(0, col);
    TBlkAttrList* blocks = FBlkAttrs;
    if (mode == emInsert)
    {
        // Points after the edit point move with their bytes; an end at the edit point moves too,
        // so text typed at either edge of a block joins it, and text before it never shrinks it.
        for (int i = 0; i < blocks->GetCount(); ++i)
        {
            TBlkAttrListItem* b = blocks->GetItem(i);
            if (b->StartRow == row && b->StartCol > col)
                b->StartCol += len;
            if (b->EndRow == row && b->EndCol >= col)
                b->EndCol += len;
        }
        return;
    }
    // A block whose start or end falls in the deleted bytes goes; the others close the gap.
    const int stop = col + len;
    for (int i = blocks->GetCount() - 1; i >= 0; --i)
    {
        TBlkAttrListItem* b = blocks->GetItem(i);
        if (InHalfOpen(b->StartCol, b->StartRow, col, row, stop, row) ||
            InHalfOpen(b->EndCol, b->EndRow, col, row, stop, row))
        {
            RemoveBlock(*this, i);
            continue;
        }
        if (b->StartRow == row && b->StartCol >= stop)
            b->StartCol -= len;
        if (b->EndRow == row && b->EndCol >= stop)
            b->EndCol -= len;
    }
}

void TAFDocument::BlkAttrBlockEdit(int source, int dest, int len, TEditMode mode)
{
    // An emptied row handing on nothing still hands on the points at its start.
    if ((mode != emInsert && mode != emAdd) || len < 0 || (len == 0 && mode == emInsert) || source < 0 ||
        source >= GetLinesCount())
        return;
    const int srcLen = GetLine(source).Length();
    len = std::min(len, srcLen);
    TBlkAttrList* blocks = FBlkAttrs;
    if (mode == emInsert)
    {
        // The last len bytes of source move to the front of dest.
        const int keep = srcLen - len;
        auto move = [&](int& c, int& r) {
            if (r == dest)
                c += len;
            else if (r == source && c >= keep)
            {
                r = dest;
                c -= keep;
            }
        };
        for (int i = 0; i < blocks->GetCount(); ++i)
        {
            TBlkAttrListItem* b = blocks->GetItem(i);
            move(b->StartCol, b->StartRow);
            move(b->EndCol, b->EndRow);
        }
        return;
    }
    // The first len bytes of source move to the end of dest.
    const int destLen = GetLine(dest).Length();
    const bool whole = len >= srcLen;
    auto move = [&](int& c, int& r) {
        if (r != source)
            return;
        if (c <= len || whole)
        {
            r = dest;
            c = destLen + std::min(c, len);
        }
        else
            c -= len;
    };
    for (int i = 0; i < blocks->GetCount(); ++i)
    {
        TBlkAttrListItem* b = blocks->GetItem(i);
        move(b->StartCol, b->StartRow);
        move(b->EndCol, b->EndRow);
    }
}
