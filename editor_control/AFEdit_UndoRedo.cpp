// Undo and redo of whole user operations: each walks one group of undo records.
#include <windows.h>

#include <algorithm>

#include "editor_control/AFEdit.h"

void TCustomAFEdit::SettleAfterReplay()
{
    FSelArea->RowReset();
    FSelArea->PutStartPoint(FCaret);
    FSelArea->PutEndPoint(FCaret);
}

void TCustomAFEdit::Undo()
{
    const bool any = FDoc->UndoGroup();
    SettleAfterReplay();
    if (any)
        FireUndoChange(UndoBuff()->PrevPop() != nullptr, true);
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
    const bool more = FDoc->RedoGroup();
    SettleAfterReplay();
    if (HandleAllocated())
        HideCaret(Handle());
    SetScrollBars(ScrollBars);
    Invalidate();
    if (HandleAllocated())
        ShowCaret(Handle());
    FireUndoChange(true, more);
}
