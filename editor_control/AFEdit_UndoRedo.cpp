// Undo and redo of whole user operations: each walks one group of undo records.
#include <windows.h>

#include <algorithm>

#include "editor_control/AFEdit.h"

void TCustomAFEdit::ReplayDelete(int index)
{
    if (index < 0 || index >= GetLinesCount())
        return;
    if (OnLineDelete)
        OnLineDelete(this, index);
    FLines->Delete(index);
    if (index < FAttrs->GetCount())
        FAttrs->Delete(index);
    BlkAttrLineEdit(index, emDelete);
}

void TCustomAFEdit::ReplayInsert(int index, const AnsiString& textIn, const TAttrListItem& attr)
{
    index = std::clamp(index, 0, GetLinesCount());
    AnsiString text = textIn;
    if (OnLineInsert)
    {
        AnsiString seen = text;
        OnLineInsert(this, index, seen); // the record's text is what comes back
    }
    FLines->Insert(index, text);
    NoteLineWidth(text.Length());
    TAttrListItem rec = attr;
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    FAttrs->Insert(index, rec);
    BlkAttrLineEdit(index, emInsert);
}

void TCustomAFEdit::ReplayChange(int index, const AnsiString& text, const TAttrListItem& attr)
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

void TCustomAFEdit::SettleAfterReplay()
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
    FSelArea->RowReset();
    FSelArea->PutStartPoint(FCaret);
    FSelArea->PutEndPoint(FCaret);
}

void TCustomAFEdit::Undo()
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
    if (any)
        FireUndoChange(FUndo->PrevPop() != nullptr, true);
    if (HandleAllocated())
        HideCaret(Handle());
    int vis = VisibleRows();
    if (FCaret.y < FTopLine)
        FTopLine = std::max(FCaret.y - 1, 0);
    else if (FCaret.y + 2 > FTopLine + vis)
        FTopLine = std::max(0, FCaret.y - vis + 2);
    SetScrollBars(ScrollBars);
    Invalidate();
    if (HandleAllocated())
        ShowCaret(Handle());
}

void TCustomAFEdit::Redo()
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
        case acMove: // no operation records moves
        case acOverWrite:
            break;
        }
        FCaret = rec->Caret;
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
    if (HandleAllocated())
        HideCaret(Handle());
    SetScrollBars(ScrollBars);
    Invalidate();
    if (HandleAllocated())
        ShowCaret(Handle());
    FireUndoChange(true, more);
}
