#include "editor_control/AFEditPlaces.h"

TTextOffset RowStart(TCustomAFEdit* e, int row)
{
    TTextOffset off = 0;
    for (int r = 0; r < row; ++r)
        off += e->GetLine(r).Length();
    return off;
}

TTextOffset OffsetOfPoint(TCustomAFEdit* e, const TPoint& dsp)
{
    const int n = e->GetLinesCount();
    const int row = dsp.y < 0 ? 0 : (dsp.y >= n ? n - 1 : dsp.y);
    const int len = e->GetLine(row).Length();
    int logCol = e->LogicalPos(TPoint(dsp.x, row));
    logCol = logCol < 0 ? 0 : (logCol > len ? len : logCol);
    return RowStart(e, row) + logCol;
}

void RowOfOffset(TCustomAFEdit* e, TTextOffset off, int& row, int& logCol)
{
    const int n = e->GetLinesCount();
    TTextOffset start = 0;
    for (int r = 0; r < n; ++r)
    {
        const int len = e->GetLine(r).Length();
        if (off < start + len)
        {
            row = r;
            logCol = int(off - start);
            return;
        }
        start += len;
    }
    row = n - 1;
    const TTextOffset last = start - e->GetLine(n - 1).Length();
    const TTextOffset col = off - last;
    logCol = int(col < 0 ? 0 : (col > e->GetLine(n - 1).Length() ? e->GetLine(n - 1).Length() : col));
}

TPoint PointOfOffset(TCustomAFEdit* e, TTextOffset off)
{
    int row = 0, logCol = 0;
    RowOfOffset(e, off, row, logCol);
    return e->DspPos(TPoint(logCol, row));
}

TTextOffset TextLength(TCustomAFEdit* e) { return RowStart(e, e->GetLinesCount()); }

void TKeptPlaces::Take(TCustomAFEdit* e)
{
    TSelArea* sel = e->SelArea();
    caret = OffsetOfPoint(e, e->GetCaret());
    // Both points, even when they meet: the anchor is where Shift-selection starts from.
    anchor = OffsetOfPoint(e, sel->AnchorPoint());
    moving = OffsetOfPoint(e, sel->MovingPoint());
    hadRows = sel->isRowAble();
    if (hadRows)
    {
        const int n = e->GetLinesCount();
        const int first = sel->GetStartRow() < n ? sel->GetStartRow() : n - 1;
        const int last = sel->GetEndRow() < n ? sel->GetEndRow() : n - 1;
        const int lastLen = e->GetLine(last).Length();
        rowFirst = RowStart(e, first);
        rowLast = RowStart(e, last) + (lastLen > 0 ? lastLen - 1 : 0);
    }
}

void TKeptPlaces::Restore(TCustomAFEdit* e) const
{
    TSelArea* sel = e->SelArea();
    e->SetCaretRaw(PointOfOffset(e, caret));
    sel->PutStartPoint(PointOfOffset(e, anchor));
    sel->PutEndPoint(PointOfOffset(e, moving));
    if (hadRows)
    {
        int first = 0, last = 0, col = 0;
        RowOfOffset(e, rowFirst, first, col);
        RowOfOffset(e, rowLast, last, col);
        sel->PutStartRow(first);
        sel->PutEndRow(last);
    }
}
