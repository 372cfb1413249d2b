// The document's rows and records, their primitives with undo records, and undo and redo.
#include "editor_control/AFDocument.h"

#include <algorithm>
#include <typeinfo>
#include <string>

TAFDocument::TAFDocument()
{
    FUndo = new TUndoBuff(100);
    FUndo->SetMax(-1); // the memory budget bounds it
    FAttrs = new TAttrList();
    FBlkAttrs = new TBlkAttrList();
    FLines = FRowList = new TStringList();
    FOptions = TAFEditOptions{aoAutoFormat};
}

TAFDocument::~TAFDocument()
{
    delete FUndo;
    if (FAttrs)
        FAttrs->Clear();
    delete FAttrs;
    delete FBlkAttrs;
    delete FLines;
}

void TAFDocument::SetLines(TStrings* lines)
{
    if (lines == FLines)
        return;
    delete FLines;
    FLines = lines;
    FRowList = dynamic_cast<TStringList*>(lines);
}

void TAFDocument::SetBanEnd(const AnsiString& chars)
{
    FBanEnd = chars;
    FBanEndSet.Assign(chars.c_str(), chars.Length());
}

void TAFDocument::SetBanHead(const AnsiString& chars)
{
    FBanHead = chars;
    FBanHeadSet.Assign(chars.c_str(), chars.Length());
}

void TAFDocument::Clear(const TAttrListItem& rec)
{
    FAttrs->Clear();
    FLines->Clear();
    FBlkAttrs->Clear();
    FLines->Add(AnsiString());
    FAttrs->Add(rec);
    FUndo->Reset();
}

// ---- rows and records ----

int TAFDocument::GetLinesCount() const { return FLines ? FLines->GetCount() : 0; }

AnsiString TAFDocument::GetLine(int row) const
{
    if (!FLines || row < 0 || row >= FLines->GetCount())
        return AnsiString();
    return FLines->Get(row);
}

bool TAFDocument::isCrLine(int row) const
{
    AnsiString s = GetLine(row);
    return s.Length() > 0 && s.c_str()[s.Length() - 1] == '\r';
}

TAttrListItem TAFDocument::MakeAttr(bool dirty, int indent, int wrapPos)
{
    TAttrListItem r;
    FHost->DocDefaultColors(r.FontColor, r.BackColor);
    r.Indent = int16_t(indent);
    r.WrapPos = uint16_t(std::clamp(wrapPos, 0, kNoWrap));
    r.Style = 0;
    r.Dirty = dirty;
    r.ColAttr = nullptr;
    return r;
}

void TAFDocument::NoteLineWidth(int length)
{
    if (length + 2 > FLongestLine)
        FLongestLine = length + 2;
}

AnsiString TAFDocument::TabExpand(const AnsiString& s, bool toSpaces) const
{
    if (!FindTab(s.c_str(), size_t(s.Length())))
        return s;
    std::string out;
    out.reserve(size_t(s.Length()) + 16);
    AppendTabExpansion(out, s.c_str(), s.Length(), FTabSize, toSpaces);
    return AnsiString(out.data(), int(out.size()));
}

TPoint TAFDocument::DspPos(const TPoint& logical)
{
    AnsiString line = GetLine(logical.y);
    int indent = logical.y >= 0 && logical.y < GetLinesCount() ? int(FAttrs->Peek(logical.y).Indent) : 0;
    int count = std::clamp(logical.x, 0, line.Length());
    std::string out;
    AppendTabExpansion(out, line.c_str(), count, FTabSize, false);
    return TPoint(int(out.size()) + indent, logical.y);
}

int TAFDocument::LogicalPos(const TPoint& display)
{
    int row = display.y;
    int indent = row >= 0 && row < GetLinesCount() ? int(FAttrs->Peek(row).Indent) : 0;
    if (display.x < indent)
        return display.x - indent;
    // Walks the stored text: a 0x0B byte of the text is a character, not tab fill.
    AnsiString line = GetLine(row);
    return DspColToLogCol(line.c_str(), line.Length(), FTabSize, display.x - indent);
}

void TAFDocument::SetWrapPos(int row, int wrapPos)
{
    FAttrs->GetItem(row)->WrapPos = uint16_t(std::clamp(wrapPos, 10, kNoWrap));
}

TColAttrList* TAFDocument::GetColAttrs(int row)
{
    TAttrListItem* rec = FAttrs->GetItem(row);
    if (!rec->ColAttr)
    {
        auto* list = new TColAttrList();
        int n = GetLine(row).Length();
        list->SetCapacity(n);
        for (int i = 0; i < n; ++i)
            list->Add(TColAttrListItem());
        rec->ColAttr = list;
    }
    return rec->ColAttr;
}

void TAFDocument::ColAttrFree(int row)
{
    if (row < 0 || row >= FAttrs->GetCount())
        return;
    if (!FAttrs->Peek(row).ColAttr)
        return; // nothing to free, and a shared record stays shared
    TAttrListItem* rec = FAttrs->GetItem(row);
    delete rec->ColAttr;
    rec->ColAttr = nullptr;
}

void TAFDocument::AddLineP(const AnsiString& textIn, const TAttrListItem& attr)

// ---- row primitives: every change pushes its undo record ----

{
    AnsiString text = textIn;
    int n = GetLinesCount();
    FHost->DocLineInserting(n - 1, text);
    TAttrListItem after = attr;
    after.ColAttr = nullptr;
    FUndo->Push(FUndoGroupId, n, 0, FCaret, acInsert, AnsiString(), text, TAttrListItem(), after);
    FLines->Add(text);
    NoteLineWidth(text.Length());
    TAttrListItem rec = attr;
    rec.ColAttr = nullptr;
    rec.States = TAttrStates();
    rec.Dirty = true;
    // The record goes to the new row's index, even when reads created records past the end.
    FAttrs->SetItem(n, &rec);
    FireUndoChange(FUndo->Kept(), false);
}

void TAFDocument::InsertRow(int row, const AnsiString& textIn, const TAttrListItem& attr, bool hookMayRewrite)
{
    AnsiString text = textIn;
    TAttrListItem copy = attr;
    copy.ColAttr = nullptr;
    AnsiString seen = text;
    FHost->DocLineInserting(row, seen);
    if (hookMayRewrite)
        text = seen;
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acInsert, AnsiString(), text, TAttrListItem(), copy);
    FLines->Insert(row, text);
    NoteLineWidth(text.Length());
    copy.Dirty = true;
    copy.States = TAttrStates();
    FAttrs->Insert(row, copy);
    BlkAttrLineEdit(row, emInsert);
    FHost->DocRowCountChanged();
    FireUndoChange(FUndo->Kept(), false);
}

bool TAFDocument::AskChange(int row, const AnsiString& text)
{
    AnsiString seen = text;
    const bool canModify = FHost->DocBeforeChange(row, seen);
    // A change that must land exactly as asked (one half of a fold) is refused when rewritten.
    return canModify && seen == text;
}

void TAFDocument::ApplyLineChange(int row, const AnsiString& text)
{
    TAttrListItem before = FAttrs->Peek(row);
    before.ColAttr = nullptr;
    TAttrListItem after = before;
    after.Dirty = true;
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acChange, FLines->Get(row), text, before, after);
    FLines->Put(row, text);
    NoteLineWidth(text.Length());
    FAttrs->SetDirty(row, true);
    if (FHost->DocChanged())
    {
        TAttrListItem now = FAttrs->Peek(row);
        now.ColAttr = nullptr;
        FUndo->Push(FUndoGroupId, row, 0, FCaret, acChange, text, FLines->Get(row), after, now);
    }
    FireUndoChange(FUndo->Kept(), false);
}

void TAFDocument::DeleteRowsAt(int first, int count, bool lastFirst)
{
    const int n = GetLinesCount();
    first = std::clamp(first, 0, n);
    count = std::clamp(count, 0, n - first);
    if (count >= n)
        count = n - 1; // the editor keeps a row
    if (count <= 0)
        return;
    if (count == 1)
    {
        DelLineP(first);
        return;
    }
    // The same undo records as deleting the rows one by one (last first, or all at first), but
    // the rows below move up once: linear in the rows of the text.
    for (int k = 0; k < count; ++k)
    {
        int row = lastFirst ? first + count - 1 - k : first + k;
        FHost->DocLineDeleting(lastFirst ? row : first);
        TAttrListItem before = FAttrs->Peek(row);
        before.ColAttr = nullptr;
        FUndo->Push(FUndoGroupId, lastFirst ? row : first, 0, FCaret, acDelete, FLines->Get(row), AnsiString(),
                    before, TAttrListItem());
    }
    if (first + count < n)
        for (int row = first; row < first + count; ++row)
            BlkAttrRowEndToNext(row, first + count);
    FLines->BeginUpdate();
    try
    {
        for (int i = first + count; i < n; ++i)
            FLines->Put(i - count, FLines->Get(i));
        for (int i = n - 1; i >= n - count; --i)
            FLines->Delete(i);
    }
    catch (...)
    {
        FLines->EndUpdate();
        throw;
    }
    FLines->EndUpdate();
    // Records: free the deleted ones, move the rest up, drop the tail slots.
    FAttrs->DeleteRange(first, count);
    for (int k = 0; k < count; ++k)
        BlkAttrLineEdit(first, emDelete);
    if (FCaret.y >= first + count)
        FCaret.y -= count;
    else if (FCaret.y > first)
        FCaret.y = first;
    FHost->DocRowCountChanged();
    FireUndoChange(FUndo->Kept(), false);
}

void TAFDocument::DelLineP(int row)
{
    int n = GetLinesCount();
    if (row < 0 || row >= n)
        return; // refused: there is no such row
    FHost->DocLineDeleting(row);
    TAttrListItem before = FAttrs->Peek(row);
    before.ColAttr = nullptr;
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acDelete, FLines->Get(row), AnsiString(), before, TAttrListItem());
    if (row + 1 < n)
        BlkAttrRowEndToNext(row, row + 1);
    FLines->Delete(row);
    if (row < FAttrs->GetCount())
        FAttrs->Delete(row);
    BlkAttrLineEdit(row, emDelete);
    if (row < FCaret.y)
        --FCaret.y;
    if (GetLinesCount() == 0)
    {
        // The editor always holds a row: an empty one, recorded too, takes the only row's place.
        InsertRow(0, AnsiString(), before, false);
    }
    FHost->DocRowCountChanged();
    FireUndoChange(FUndo->Kept(), false);
}

void TAFDocument::InsertRowsAt(int row, const std::vector<AnsiString>& texts,
                                 const std::vector<TAttrListItem>& attrs)
{
    const int n = int(texts.size());
    if (n == 0)
        return;
    const int old = GetLinesCount();
    row = std::clamp(row, 0, old);
    // Make room at the end and move the rows below down once: linear in the rows.
    FLines->BeginUpdate();
    try
    {
        for (int i = 0; i < n; ++i)
            FLines->Add(AnsiString());
        for (int j = old - 1; j >= row; --j)
            FLines->Put(j + n, FLines->Get(j));
        for (int i = 0; i < n; ++i)
            FLines->Put(row + i, texts[size_t(i)]);
    }
    catch (...)
    {
        FLines->EndUpdate();
        throw;
    }
    FLines->EndUpdate();
    if (FAttrs->GetCount() > old)
        FAttrs->SetCount(old); // records past the end are stale
    FAttrs->SetCount(std::max(FAttrs->GetCount(), row));
    FAttrs->InsertEmpty(row, n);
    for (int j = row + n; j < old + n; ++j)
        FAttrs->SetDirty(j, true);
    for (int i = 0; i < n; ++i)
    {
        TAttrListItem rec = attrs[size_t(i)];
        rec.ColAttr = nullptr;
        rec.Dirty = true;
        FAttrs->Store(row + i, rec);
        NoteLineWidth(texts[size_t(i)].Length());
        FUndo->Push(FUndoGroupId, row + i, 0, FCaret, acInsert, AnsiString(), texts[size_t(i)], TAttrListItem(), rec);
    }
    BlkAttrShiftRows(row, n);
    if (FCaret.y >= row)
        FCaret.y += n;
}

void TAFDocument::BlkAttrShiftRows(int row, int n)
{
    for (int i = 0; i < FBlkAttrs->GetCount(); ++i)
    {
        auto* b = static_cast<TBlkAttrListItem*>(FBlkAttrs->Get(i));
        if (!b)
            continue;
        if (b->StartRow >= row)
            b->StartRow += n;
        if (b->EndRow >= row)
            b->EndRow += n;
    }
}

void TAFDocument::TakeRows(TStringList& lines)
{
    auto* list = dynamic_cast<TStringList*>(FLines);
    if (list && list != &lines)
    {
        // The list tells its watchers only when the update ends, and a list of a derived kind
        // hears of the rows through its append hook: a big text's row list is never held twice.
        FLines->BeginUpdate();
        try
        {
            FLines->Clear();
            list->AppendTaking(lines);
        }
        catch (...)
        {
            FLines->EndUpdate();
            throw;
        }
        FLines->EndUpdate();
        return;
    }
    FLines->BeginUpdate();
    FLines->Clear();
    for (int i = 0; i < lines.GetCount(); ++i)
        FLines->Add(lines.Get(i));
    FLines->EndUpdate();
}

void TAFDocument::ReplayDelete(int index)
{
    if (index < 0 || index >= GetLinesCount())
        return;
    FHost->DocLineDeleting(index);
    FLines->Delete(index);
    if (index < FAttrs->GetCount())
        FAttrs->Delete(index);
    BlkAttrLineEdit(index, emDelete);
}

void TAFDocument::ReplayInsert(int index, const AnsiString& textIn, const TAttrListItem& attr)
{
    index = std::clamp(index, 0, GetLinesCount());
    AnsiString text = textIn;
    AnsiString seen = text;
    FHost->DocLineInserting(index, seen); // the record's text is what comes back
    FLines->Insert(index, text);
    NoteLineWidth(text.Length());
    TAttrListItem rec = attr;
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    FAttrs->Insert(index, rec);
    BlkAttrLineEdit(index, emInsert);
}

void TAFDocument::ReplayChange(int index, const AnsiString& text, const TAttrListItem& attr)
{
    if (index < 0 || index >= GetLinesCount())
        return;
    FLines->Put(index, text);
    NoteLineWidth(text.Length());
    ColAttrFree(index);
    TAttrListItem rec = attr;
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    FAttrs->SetItem(index, &rec);
    BlkAttrLineEdit(index, emChange);
}

void TAFDocument::SwapBlock(TUndoBuffItem& rec)
{
    const int64_t oldSize = TUndoBuff::SizeOf(rec);
    const int at = std::clamp(rec.Index, 0, GetLinesCount());
    const int now = std::clamp(rec.Index2, 0, GetLinesCount() - at);
    const int want = int(rec.Rows.size());
    std::vector<AnsiString> rows;
    std::vector<TAttrListItem> attrs;
    rows.reserve(size_t(now));
    attrs.reserve(size_t(now));
    for (int i = 0; i < now; ++i)
    {
        rows.push_back(FLines->Get(at + i));
        TAttrListItem rec2 = FAttrs->Peek(at + i);
        rec2.ColAttr = nullptr;
        attrs.push_back(rec2);
    }
    // Rows both sides hold change in place; only the difference is deleted or inserted.
    const int common = std::min(now, want);
    for (int i = 0; i < common; ++i)
        ReplayChange(at + i, rec.Rows[size_t(i)], rec.AttrOf(size_t(i)));
    for (int i = common; i < now; ++i)
        ReplayDelete(at + common);
    for (int i = common; i < want; ++i)
        ReplayInsert(at + i, rec.Rows[size_t(i)], rec.AttrOf(size_t(i)));
    rec.Rows.swap(rows);
    rec.Attrs.swap(attrs);
    rec.Index2 = want;
    TUndoBuff::Compact(rec);
    FUndo->Resized(rec, oldSize);
}

void TAFDocument::Resplice(TUndoBuffItem& rec)
{
    if (!rec.Splice)
        return;
    const int64_t oldSize = TUndoBuff::SizeOf(rec);
    SwapSplice(*rec.Splice);
    FUndo->Resized(rec, oldSize);
}

void TAFDocument::SettleAfterReplay()
{
    // The editor always keeps one row, and the caret stays inside the text.
    if (GetLinesCount() == 0)
    {
        FLines->Add(AnsiString());
        TAttrListItem rec = MakeAttr(true, 0, FDefWrapPos);
        FAttrs->SetItem(0, &rec);
    }
    if (!FOptions.Contains(aoFreeCaret))
        FCaret.y = std::clamp(FCaret.y, 0, GetLinesCount() - 1);
    FCaret.x = std::max(0, FCaret.x);
}

bool TAFDocument::UndoGroup()
{
    bool any = false;
    TUndoBuffItem* rec = FUndo->PrevPop();
    while (rec)
    {
        switch (rec->Action)
        {
        case acInsert:
            ReplayDelete(rec->Index);
            break;
        case acDelete:
            ReplayInsert(rec->Index, rec->Before, rec->AttrBefore);
            break;
        case acChange:
            ReplayChange(rec->Index, rec->Before, rec->AttrBefore);
            break;
        case acBlock:
            SwapBlock(*rec);
            break;
        case acSplice:
            Resplice(*rec);
            break;
        case acMove: // no operation records moves
        case acOverWrite:
            break;
        }
        FCaret = rec->Caret;
        any = true;
        int id = rec->GroupId;
        FUndo->ToPrev();
        rec = FUndo->PrevPop();
        if (rec && rec->GroupId != id)
            break;
    }
    SettleAfterReplay();
    return any;
}

bool TAFDocument::RedoGroup()
{
    bool more = false;
    TUndoBuffItem* rec = FUndo->NextPop();
    while (rec)
    {
        switch (rec->Action)
        {
        case acInsert:
            ReplayInsert(rec->Index, rec->After, rec->AttrAfter);
            break;
        case acDelete:
            ReplayDelete(rec->Index);
            break;
        case acChange:
            ReplayChange(rec->Index, rec->After, rec->AttrAfter);
            break;
        case acBlock:
            SwapBlock(*rec);
            break;
        case acSplice:
            Resplice(*rec);
            break;
        case acMove: // no operation records moves
        case acOverWrite:
            break;
        }
        FCaret = rec->Action == acBlock || rec->Action == acSplice ? rec->CaretLast : rec->Caret;
        int id = rec->GroupId;
        FUndo->ToNext();
        rec = FUndo->NextPop();
        if (rec && rec->GroupId != id)
        {
            more = true;
            break;
        }
    }
    SettleAfterReplay();
    return more;
}
