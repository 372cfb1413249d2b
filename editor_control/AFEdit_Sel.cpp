#include "editor_control/AFEditSel.h"

namespace
{
bool Before(const TPoint& a, const TPoint& b) { return a.y < b.y || (a.y == b.y && a.x < b.x); }
} // namespace

TPoint OrderStartPoint(const TPoint& a, const TPoint& b) { return Before(a, b) ? a : b; }
TPoint OrderEndPoint(const TPoint& a, const TPoint& b) { return Before(a, b) ? b : a; }

bool PointInRange(const TPoint& p, const TPoint& start, const TPoint& end)
{
    if (start.y == end.y)
        return p.y == start.y && start.x <= p.x && p.x < end.x;
    if (start.y < p.y && p.y < end.y)
        return true;
    if (p.y == start.y)
        return p.x >= start.x;
    if (p.y == end.y)
        return p.x < end.x;
    return false;
}

void TSelArea::Insert(int row)
{
    if (!isRowAble() || !isSelRow(row))
        return;
    if (FStartRow >= FEndRow)
        ++FStartRow;
    else
        ++FEndRow;
}

void TSelArea::Delete(int row)
{
    if (!isRowAble() || !isSelRow(row))
        return;
    if (FStartRow == FEndRow)
    {
        // The only selected row is gone: the selection moves with it, never onto a second row.
        if (row == 0)
            RowReset();
        else
            FStartRow = FEndRow = row - 1;
        return;
    }
    if (FStartRow >= FEndRow)
        --FStartRow;
    else
        --FEndRow;
}

TSelChange TSelArea::SelectChanged()
{
    bool now = isRowAble() || isPointAble();
    bool old = FWasSelected;
    FWasSelected = now;
    if (now == old)
        return slNone;
    return now ? slSel : slDisSel;
}
