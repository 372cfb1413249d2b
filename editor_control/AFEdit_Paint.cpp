// Painting of the whole view: full and partial repaints, the left margin, the column ruler and
// the repaint after a caret move.
#include <windows.h>
#undef TextOut

#include <algorithm>

#include "editor_control/AFEdit.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kRevCursorSlot = 5;
constexpr int kMgnStrip = 4; // blank strip between the row numbers and the text

// Ruler character of column number c (from 1).
char RulerChar(int c)
{
    if (c % 10 == 0)
        return char('0' + (c / 10) % 10);
    return c % 5 == 0 ? '+' : '.';
}
} // namespace

void TCustomAFEdit::LoadEditorCursor()
{
    HCURSOR cursor = LoadCursorW(HInstance, L"RevCursor");
    if (cursor)
        Screen->SetCursors(kRevCursorSlot, cursor);
}

void TCustomAFEdit::WMGetDlgCode(TWMGetDlgCode& message)
{
    message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
}

void TCustomAFEdit::CMMouseLeave(TMessage& message)
{
    if (Screen)
        Screen->SetCursor(crDefault);
}

// Paint covers the whole client area, so the background is never erased first (no flicker).
void TCustomAFEdit::WMEraseBkgnd(TWMEraseBkgnd& message) { message.Result = 1; }

void TCustomAFEdit::FillEditRect(const TRect& rect) { GetMyCanvas()->FillRect(rect); }

void TCustomAFEdit::ExtSelTextPaint(int x, int y, int left, const AnsiString& s)
{
    DrawTextRun(x, y, left, s.c_str(), s.Length());
    TCanvas* c = GetMyCanvas();
    c->MoveTo(std::max(left, x + s.Length() * FColWidth), y + FRowHeight);
}

// ---- full and partial repaints ----

void TCustomAFEdit::Paint()
{
    if (!HandleAllocated())
        return;
    if (FEditRect.Right <= FEditRect.Left || FEditRect.Bottom <= FEditRect.Top)
        SyncEditRect();
    CaretHide();
    FPaintRect = FEditRect;
    int last = FTopLine + VisibleRows();
    for (int row = FTopLine; row <= last; ++row)
        DrawLine(row);
    SetCaretPosition();
    SetScrollBars(ScrollBars);
    CaretShow();
    DrawColIndicate();
    FLastPaintTop = FTopLine;
}

void TCustomAFEdit::ValiPaint()
{
    if (!HandleAllocated())
        return;
    if (FTopLine == FLastPaintTop)
    {
        // A caret we already hid stays hidden: a hide and show of our own would only count.
        const bool hide = FCaretLevel == 0;
        if (hide)
            CaretHide();
        const int rows = GetLinesCount();
        const int last = FTopLine + VisibleRows();
        for (int row = FTopLine; row <= last; ++row)
        {
            int top = (row - FTopLine) * FRowHeight + FEditRect.Top;
            FPaintRect = TRect(FEditRect.Left, top, FEditRect.Right, top + FRowHeight);
            if (row < rows)
            {
                // The last row also paints the area below the text (rows that were deleted).
                const TAttrListItem* rec = row < AttrList()->GetCount() ? AttrList()->Get(row) : nullptr;
                if (!rec || rec->Dirty || row == rows - 1)
                    DrawLine(row);
            }
            else
                DrawLeftMgnEX(row);
        }
        FPaintRect = FEditRect;
        if (hide)
            CaretShow();
    }
    else
        Invalidate();
    DrawColIndicate();
    FLastPaintTop = FTopLine;
}

void TCustomAFEdit::ResetExColRowNum2()
{
    if (FExColRowNum2 >= 0)
    {
        MarkRowsDirty(FExColRowNum2, FExColRowNum2);
        FExColRowNum2 = -1;
        ValiPaint();
    }
}

// ---- left margin ----

void TCustomAFEdit::DrawLeftMgn(int row, const AnsiString& s)
{
    TCanvas* c = GetMyCanvas();
    const int y = (row - FTopLine) * FRowHeight + FEditRect.Top;
    const int numRight = FEditRect.Left - kMgnStrip;
    TRect cell(0, y, numRight, y + FRowHeight);
    c->Brush()->SetColor(ColLeftMgn);
    if (row == FTopLine)
        c->FillRect(TRect(0, FEditRect.Top - FTopMgn, numRight, cell.Bottom)); // the corner beside the ruler
    c->FillRect(cell);
    AnsiString text = s;
    bool defaultDraw = true;
    if (OnDrawLeftMgn)
        OnDrawLeftMgn(this, row, cell, text, defaultDraw);
    if (!defaultDraw)
        return;
    c->Font()->Assign(*Font());
    c->Font()->SetColor(ColRowNo);
    if (FViewOpt.Contains(voRowNum))
        ExtTextPaint(cell.Left, y, 0, text);
    c->Brush()->SetColor(Color());
    c->FillRect(TRect(numRight, y, FEditRect.Left, y + FRowHeight));
    c->Pen()->SetColor(TColor(0x808080));
    c->Pen()->SetMode(pmCopy);
    c->MoveTo(FEditRect.Left - kMgnStrip - 1, y);
    c->LineTo(FEditRect.Left - kMgnStrip - 1, y + FRowHeight);
}

// Rows below the text: the margin keeps its look without a number, so numbers of deleted rows
// never linger there.
void TCustomAFEdit::DrawLeftMgnEX(int row)
{
    TCanvas* c = GetMyCanvas();
    const int y = (row - FTopLine) * FRowHeight + FEditRect.Top;
    const int numRight = FEditRect.Left - kMgnStrip;
    c->Brush()->SetColor(ColLeftMgn);
    c->FillRect(TRect(0, y, numRight, y + FRowHeight));
    c->Brush()->SetColor(Color());
    c->FillRect(TRect(numRight, y, FEditRect.Left, y + FRowHeight));
    c->Pen()->SetColor(TColor(0x808080));
    c->Pen()->SetMode(pmCopy);
    c->MoveTo(numRight - 1, y);
    c->LineTo(numRight - 1, y + FRowHeight);
}

// ---- column ruler ----

void TCustomAFEdit::DrawColIndicate()
{
    if (Updating || !HandleAllocated())
        return;
    const int width = FEditRect.Right - FEditRect.Left;
    int cols = std::max(0, width / FColWidth);
    if (width % FColWidth > FColWidth / 2)
        ++cols;
    TCanvas* c = GetMyCanvas();
    c->Font()->Assign(*Font());
    c->Font()->SetColor(ColColumnNo);
    const bool ruler = FViewOpt.Contains(voColIndicate);
    c->Brush()->SetColor(ruler ? ColColumnIndi : Color());
    TRect band(0, 0, FEditRect.Right, FEditRect.Top);
    c->FillRect(band);
    if (!ruler)
        return;
    bool defaultDraw = true;
    if (OnDrawColIndi)
        OnDrawColIndi(this, band, defaultDraw);
    if (!defaultDraw)
        return;
    std::string text;
    text.reserve(size_t(cols) + 1);
    for (int col = FLeftCol + 1; col <= FLeftCol + cols + 1; ++col)
        text.push_back(RulerChar(col));
    ExtTextPaint(FEditRect.Left, 0, FEditRect.Left, AnsiString(text));
    if (FOptions.Contains(aoAutoFormat))
    {
        const int rows = GetLinesCount();
        int ref = FSelArea->isRowAble() ? std::min(FSelArea->GetStartRow(), rows - 1) : FCaret.y;
        if (ref >= 0 && ref < rows)
        {
            c->Font()->SetColor(ColCr);
            int x = (RowWrapPos(ref) - FLeftCol) * FColWidth + FEditRect.Left;
            ExtTextPaint(x, 0, FEditRect.Left, "<");
            x = (RowIndent(ref) - FLeftCol - 1) * FColWidth + FEditRect.Left;
            if (x >= FEditRect.Left - FColWidth)
                ExtTextPaint(x, 0, FEditRect.Left, ">");
        }
    }
    if (ColColumnNo == clWindowText)
    {
        c->Font()->SetColor(clHighlightText);
        c->Brush()->SetColor(clHighlight);
    }
    else
    {
        c->Font()->SetColor(ColColumnIndi);
        c->Brush()->SetColor(ColColumnNo);
    }
    int x = (FCaret.x - FLeftCol) * FColWidth + FEditRect.Left;
    if (x >= FEditRect.Left)
        ExtTextPaint(x, 0, FEditRect.Left, AnsiString(RulerChar(FCaret.x + 1)));
}

// ---- after a caret move ----

void TCustomAFEdit::CaretMoveResultPaint()
{
    if (FTopLine != FLastPaintTop || FLeftCol != FLastLeftCol)
        SetScrollBars(ScrollBars);
    // The view follows the caret. TopLine and LeftCol are set here directly (no scroll
    // messages): no acceleration, no focus needed, and the position is kept for every bar style.
    const int n = std::max(2, VisibleRows());
    int top = FTopLine;
    if (FCaret.y < FTopLine - 1)
        top = FCaret.y;
    else if (FCaret.y == FTopLine - 1)
        top = FTopLine - 1;
    else if (FCaret.y == FTopLine + n - 1)
        top = FTopLine + 1;
    else if (FCaret.y > FTopLine + n - 1)
        top = FCaret.y - n + 2;
    top = std::max(0, top);
    const int m = std::max(1, VisibleCols());
    int left = FLeftCol;
    if (FCaret.x < FLeftCol - 1)
        left = FCaret.x;
    else if (FCaret.x == FLeftCol - 1)
        left = FLeftCol - 1;
    else if (FCaret.x == FLeftCol + m - 2 && m >= 2)
        left = FLeftCol + 1;
    else if (FCaret.x >= FLeftCol + m - 1)
        left = FCaret.x - m + 1;
    left = std::max(0, left);
    if (top != FTopLine || left != FLeftCol)
    {
        FTopLine = top;
        FLeftCol = left;
        StoreVertPos(FTopLine);
        StoreHorzPos(FLeftCol);
        SetScrollBars(ScrollBars);
        Invalidate();
    }
    SetCaretPosition();
    const TPoint oldEnd = FSelArea->MovingPoint();
    if (ShiftSelecting)
        FSelArea->PutEndPoint(PointAlign(FCaret));
    else if (FSelArea->isPointAble())
    {
        MarkRowsDirty(FSelArea->GetStartPoint().y, FSelArea->GetEndPoint().y);
        TPoint p = PointAlign(FCaret);
        FSelArea->PutStartPoint(p);
        FSelArea->PutEndPoint(p);
        ValiPaint();
    }
    else if (FSelArea->isRowAble())
    {
        // The rows that were selected lose their highlight.
        MarkRowsDirty(FSelArea->GetStartRow(), FSelArea->GetEndRow());
        FSelArea->RowReset();
        TPoint p = PointAlign(FCaret);
        FSelArea->PutStartPoint(p);
        FSelArea->PutEndPoint(p);
        ValiPaint();
    }
    const TPoint newEnd = FSelArea->MovingPoint();
    if (newEnd.y != oldEnd.y)
    {
        MarkRowsDirty(oldEnd.y, FCaret.y);
        ValiPaint();
    }
    else if (newEnd.x != oldEnd.x && HandleAllocated() && FCaret.y >= 0)
    {
        int top = (FCaret.y - FTopLine) * FRowHeight + FEditRect.Top;
        FPaintRect = TRect((std::min(oldEnd.x, newEnd.x) - FLeftCol) * FColWidth + FEditRect.Left, top,
                           (std::max(oldEnd.x, newEnd.x) - FLeftCol) * FColWidth + FEditRect.Left,
                           top + FRowHeight);
        CaretHide();
        DrawLine(FCaret.y);
        CaretShow();
        FPaintRect = FEditRect;
    }
}
