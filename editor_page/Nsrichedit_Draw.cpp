// Painting of the editor page: requests to the drawing thread, the rows drawn through the
// off-screen bitmap, the margin with its bookmark column, the column ruler and the metrics.
#include <windows.h>
#undef TextOut

#include <algorithm>

#include "editor_page/DrawLineThread.h"
#include "editor_page/Nsrichedit.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kRulerHeight = 16;
// Display columns the fixed-form dialect marks with a line: label, continuation, statement end,
// card end.
constexpr int kF77Columns[] = {5, 6, 72, 80};
} // namespace

// ---- painting -----------------------------------------------------------------------------------

void nsRichEdit::Paint()
{
    const int first = GetTopLine();
    const int end = GetTopLine() + GetDspRowCount();
    // A paint into a DC given with the message (a snapshot, printing) cannot wait for the thread.
    if (FDrawThread && !FPaintIntoGivenDC)
    {
        FDrawThread->AddRequest(this, first, end);
        return;
    }
    DrawRows(first, end);
}

void nsRichEdit::WMPaint(TWMPaint& message)
{
    FPaintIntoGivenDC = message.DC != nullptr;
    try
    {
        TCustomAFEdit::WMPaint(message);
    }
    catch (...)
    {
        FPaintIntoGivenDC = false;
        throw;
    }
    FPaintIntoGivenDC = false;
}

void nsRichEdit::WMSize(TWMSize& message)
{
    TCustomAFEdit::WMSize(message);
    if (FOffscreen && message.Width > 0 && message.Height > 0)
        FOffscreen->SetSize(message.Width, message.Height);
}

TCanvas* nsRichEdit::GetMyCanvas()
{
    if (FDrawingOffscreen && FOffscreen)
        return FOffscreen->Canvas();
    return TCustomAFEdit::GetMyCanvas();
}

void nsRichEdit::DrawRows(int first, int end)
{
    // The rows drawn are those visible now, whatever the request said.
    if (Updating || !HandleAllocated())
        return;
    if (EditRect().Right <= EditRect().Left || EditRect().Bottom <= EditRect().Top)
        SyncEditRect();
    RECT client{};
    GetClientRect(handle_, &client);
    TCanvas* screen = TCustomAFEdit::GetMyCanvas();
    CaretHide();
    SetPaintRect(EditRect());
    const bool offscreen = FOffscreen && client.right > 0 && client.bottom > 0;
    if (offscreen && (FOffscreen->Width() != client.right || FOffscreen->Height() != client.bottom))
        FOffscreen->SetSize(client.right, client.bottom);
    FDrawingOffscreen = offscreen;
    try
    {
        const int last = GetTopLine() + GetDspRowCount();
        for (int row = GetTopLine(); row <= last; ++row)
            DrawLine(row);
        if (offscreen)
        {
            // The ruler goes into the bitmap too, so that the whole client area is shown at once:
            // the margin, every row, the area below the text and the band above it.
            DrawColIndicate();
            BitBlt(screen->Handle(), 0, 0, client.right, client.bottom, FOffscreen->Canvas()->Handle(), 0, 0,
                   SRCCOPY);
        }
    }
    catch (...)
    {
        FDrawingOffscreen = false;
        CaretShow();
        throw;
    }
    FDrawingOffscreen = false;
    SetCaretPosition();
    SetScrollBars(ScrollBars);
    CaretShow();
    DrawColIndicate();
    SetLastPaintTop(GetTopLine());
}

bool nsRichEdit::IsExColRow(int row) const
{
    return (ExColRowNum1 >= 0 && row == ExColRowNum1) || (GetExColRowNum2() >= 0 && row == GetExColRowNum2());
}

void nsRichEdit::FillEditRect(const TRect& rect)
{
    const int row = (rect.Top - EditRect().Top) / std::max(1, GetRowHeight()) + GetTopLine();
    if (IsExColRow(row))
    {
        GetMyCanvas()->FillRect(rect);
        return;
    }
    DrawWallPaperRect(rect, wpBackground);
}

// ---- margin -------------------------------------------------------------------------------------

bool nsRichEdit::IsBookmarked(int row)
{
    if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount())
        return false;
    return AttrList()->Peek(row).Reserve != 0;
}

void nsRichEdit::FillMargin(int row)
{
    TCanvas* c = GetMyCanvas();
    const int y = (row - GetTopLine()) * GetRowHeight() + EditRect().Top;
    const int bottom = y + GetRowHeight();
    // Without a ruler the top row's margin reaches up through the top margin.
    const int top =
        row == GetTopLine() && !GetViewOpt().Contains(voColIndicate) ? std::max(0, EditRect().Top - GetTopMgn()) : y;
    const int markRight = std::max(0, EditRect().Left - FBookmarkGap);
    const int markLeft = std::max(0, markRight - FBookmarkWidth);
    c->Brush()->SetColor(ColLeftMgn);
    c->FillRect(TRect(0, top, markLeft, bottom));
    c->FillRect(TRect(markRight, top, EditRect().Left, bottom));
    c->Brush()->SetColor(ColBookMarkBk);
    c->FillRect(TRect(markLeft, top, markRight, bottom));
}

void nsRichEdit::DrawLeftMgnEX(int row) { FillMargin(row); }

void nsRichEdit::DrawLeftMgn(int row, const AnsiString& s)
{
    TCanvas* c = GetMyCanvas();
    const int y = (row - GetTopLine()) * GetRowHeight() + EditRect().Top;
    FillMargin(row);
    const int markRight = std::max(0, EditRect().Left - FBookmarkGap);
    const int markLeft = std::max(0, markRight - FBookmarkWidth);
    if (IsBookmarked(row))
    {
        const int d = std::max(2, std::min(markRight - markLeft, GetRowHeight()) - 2);
        const int x0 = markLeft + (markRight - markLeft - d) / 2;
        const int y0 = y + (GetRowHeight() - d) / 2;
        c->Pen()->SetColor(ColBookMarkLine);
        c->Pen()->SetMode(pmCopy);
        c->Pen()->SetStyle(psSolid);
        c->Brush()->SetColor(clWindow);
        Ellipse(c->Handle(), x0, y0, x0 + d, y0 + d);
    }
    TRect cell(0, y, markLeft, y + GetRowHeight());
    AnsiString text = s;
    bool defaultDraw = true;
    if (OnDrawLeftMgn)
        OnDrawLeftMgn(this, row, cell, text, defaultDraw);
    if (!defaultDraw || !GetViewOpt().Contains(voRowNum))
        return;
    c->Font()->Assign(*Font());
    c->Font()->SetColor(ColRowNo);
    c->Brush()->SetColor(ColLeftMgn);
    ExtTextPaint(cell.Left, y, 0, text);
}

// ---- column ruler ---------------------------------------------------------------------------------

void nsRichEdit::DrawColIndicate()
{
    if (Updating || !HandleAllocated() || !FRuler)
        return;
    RECT client{};
    GetClientRect(handle_, &client);
    const TRect band(0, 0, client.right, EditRect().Top);
    if (band.Width() <= 0 || band.Height() <= 0)
        return;
    TCanvas* c = GetMyCanvas();
    if (!GetViewOpt().Contains(voColIndicate))
    {
        // A plain top margin; the margin column's part belongs to the top row.
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(EditRect().Left, 0, band.Right, band.Bottom));
        return;
    }
    TRulerKey key{band, GetLeftCol(), ColColumnIndi, ColColumnNo, EditRect().Left, GetColWidth()};
    if (!(key == FRulerKey) || FRuler->Width() != band.Width() || FRuler->Height() != band.Height())
    {
        DrawRuler(key);
        FRulerKey = key;
    }
    BitBlt(c->Handle(), 0, 0, band.Width(), band.Height(), FRuler->Canvas()->Handle(), 0, 0, SRCCOPY);
    const int x = (GetCaret().x - GetLeftCol()) * GetColWidth() + EditRect().Left;
    if (x >= EditRect().Left && x < band.Right)
    {
        c->Brush()->SetColor(ColColumnNo);
        c->FillRect(TRect(x, band.Height() / 2, std::min(x + GetColWidth(), int(band.Right)), band.Bottom - 1));
    }
}

void nsRichEdit::DrawRuler(const TRulerKey& key)
{
    const int w = key.Band.Width();
    const int h = key.Band.Height();
    FRuler->SetSize(w, h);
    TCanvas* rc = FRuler->Canvas();
    rc->Brush()->SetColor(key.Indi);
    rc->FillRect(TRect(0, 0, w, h));
    rc->Pen()->SetColor(key.No);
    rc->Pen()->SetMode(pmCopy);
    rc->Pen()->SetStyle(psSolid);
    rc->MoveTo(0, h - 1);
    rc->LineTo(w, h - 1);
    rc->Font()->Assign(*Font());
    rc->Font()->SetHeight(-std::clamp(h - 6, 6, 10));
    rc->Font()->SetStyle(TFontStyles());
    rc->Font()->SetColor(key.No);
    for (int i = 0;; ++i)
    {
        const int x = key.EditLeft + i * key.ColWidth;
        if (x >= w)
            break;
        const int col = key.LeftCol + i + 1; // columns are numbered from 1
        const int tick = col % 10 == 0 ? 5 : col % 5 == 0 ? 3 : 2;
        rc->MoveTo(x, h - 1 - tick);
        rc->LineTo(x, h - 1);
        if (col % 10 == 0)
        {
            AnsiString number = IntToStr(col);
            const int tw = rc->TextWidth(number);
            rc->TextOut(x + key.ColWidth / 2 - tw / 2, 0, number);
        }
    }
}

// ---- metrics ------------------------------------------------------------------------------------

void nsRichEdit::MetricsUpdate(bool repaint)
{
    TCanvas* canvas = TCustomAFEdit::GetMyCanvas();
    canvas->SetFont(Font());
    int height;
    int width;
    if (Font()->Charset() != ANSI_CHARSET)
    {
        height = canvas->TextHeight("あ");
        width = (height + 1) / 2;
    }
    else
    {
        height = canvas->TextHeight("g");
        width = canvas->TextWidth("M");
    }
    SetCellMetrics(height, width);
    const int lines = GetLinesCount();
    const int digits = lines < 10000 ? 5 : lines < 100000 ? 6 : 7;
    // Digits, a strip, the bookmark column and its gap.
    const int margin = GetViewOpt().Contains(voRowNum) ? GetColWidth() * digits + 12 + 2 : 10;
    SetEditOrigin(margin, GetViewOpt().Contains(voColIndicate) ? kRulerHeight : GetTopMgn());
    EnsureMarkColor();
    if (FOffscreen && HandleAllocated())
    {
        RECT client{};
        GetClientRect(handle_, &client);
        if (client.right > 0 && client.bottom > 0)
            FOffscreen->SetSize(client.right, client.bottom);
    }
    if (repaint && HandleAllocated())
    {
        CaretHide();
        TCanvas* c = TCustomAFEdit::GetMyCanvas();
        c->Brush()->SetColor(Color());
        c->FillRect(ClientRect());
        Invalidate();
        CaretShow();
    }
}

// ---- wrap and column lines ------------------------------------------------------------------------

void nsRichEdit::DrawWrapLine(int row, const TRect& rect, int top, int bottom)
{
    if (FComment.Mode == cmmF77 && DispColumnLine)
    {
        TCanvas* c = GetMyCanvas();
        c->Pen()->SetColor(ColColLine);
        c->Pen()->SetMode(pmCopy);
        c->Pen()->SetStyle(psSolid);
        // On the last row the lines run on to the bottom of the edit area.
        const int y2 =
            row >= GetLinesCount() - 1 ? std::max(int(rect.Bottom), int(EditRect().Bottom)) : rect.Bottom;
        for (int col : kF77Columns)
        {
            const int x = (col - GetLeftCol()) * GetColWidth() + EditRect().Left - 1;
            if (x < EditRect().Left || x >= EditRect().Right)
                continue;
            c->MoveTo(x, rect.Top);
            c->LineTo(x, y2);
        }
    }
    TCustomAFEdit::DrawWrapLine(row, rect, top, bottom);
}
