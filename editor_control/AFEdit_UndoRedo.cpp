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
    // Nothing is drawn here: the repaint that follows hides the caret around its rows and puts it
    // in place, so hiding and showing it here too would only cost trips to the window system.
    int vis = VisibleRows();
    if (FCaret.y < FTopLine)
        FTopLine = std::max(FCaret.y - 1, 0);
    else if (FCaret.y + 2 > FTopLine + vis)
        FTopLine = std::max(0, FCaret.y - vis + 2);
    SetScrollBars(ScrollBars);
    Invalidate();
}

void TCustomAFEdit::Redo()
{
    const bool more = FDoc->RedoGroup();
    SettleAfterReplay();
    SetScrollBars(ScrollBars); // drawn by the repaint that follows, as after an undo
    Invalidate();
    FireUndoChange(true, more);
}
