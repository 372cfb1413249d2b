// Metrics, scroll bars, caret placement and the plain drawing of rows.
#include <windows.h>
#undef TextOut

#include <algorithm>
#include <string>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace
{
// Font colour at the last font change of any editor: rows still in that colour follow the next one.
TColor gLastFontColor = 0;
constexpr int kRevCursorSlot = 5;
} // namespace

TCanvas* TCustomAFEdit::GetMyCanvas()
{
    if (HandleAllocated())
        return Canvas();
    // No window yet: measure on a screen-compatible memory DC.
    if (!FMeasureCanvas)
    {
        FMeasureCanvas = new TCanvas();
        FMeasureDC = CreateCompatibleDC(nullptr);
        FMeasureCanvas->SetHandle(FMeasureDC);
    }
    return FMeasureCanvas;
}

void TCustomAFEdit::MetricsUpdate(bool repaint)
{
    TCanvas* canvas = GetMyCanvas();
    canvas->SetFont(Font());
    FTextHeight = std::max(1, canvas->TextHeight("あ"));
    FRowHeight = std::max(1, FTextHeight + RowPich);
    int half = (FTextHeight + 1) / 2;
    FColWidth = std::max(1, half + CharPich);
    std::fill(FPixelTable.begin(), FPixelTable.end(), FColWidth);
    if (FViewOpt.Contains(voRowNum))
    {
        AnsiString sample;
        try
        {
            sample = Format(RowDspFmt, {100});
        }
        catch (const Exception&)
        {
            sample = "  100 ";
        }
        LeftMgn = sample.Length() * FColWidth;
    }
    else
        LeftMgn = 2;
    FEditRect.Left = LeftMgn;
    FEditRect.Top = TopMgn + (FViewOpt.Contains(voColIndicate) ? FRowHeight : 0);
    if (repaint && HandleAllocated())
    {
        HideCaret(Handle());
        TCanvas* c = GetMyCanvas();
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(0, 0, Width(), Height()));
        Invalidate();
        ShowCaret(Handle());
    }
}

void TCustomAFEdit::SetFont(TFont* font)
{
    if (Font()->Color() != gLastFontColor)
    {
        for (int i = 0; i < FAttrs->GetCount(); ++i)
        {
            auto* rec = static_cast<TAttrListItem*>(FAttrs->Get(i));
            if (rec && rec->FontColor == gLastFontColor)
                rec->FontColor = Font()->Color();
        }
        gLastFontColor = Font()->Color();
    }
    if (font != Font())
        TControl::SetFont(font);
    // An even height keeps the half-width cells in step with the glyphs drawn.
    if (Font()->Height() % 2 != 0)
        Font()->SetHeight(Font()->Height() + (Font()->Height() > 0 ? 1 : -1));
    MetricsUpdate(false);
    TColor depColor = FFontDependence->Color();
    FFontDependence->Assign(*Font());
    FFontDependence->SetColor(depColor);
    for (TFont* f : {FFontKeyWord, FFontExKeyWord})
    {
        TColor c = f->Color();
        TFontStyles s = f->Style();
        f->Assign(*Font());
        f->SetColor(c);
        f->SetStyle(s);
    }
    TColor selColor = FFontSelText->Color();
    FFontSelText->Assign(*Font());
    FFontSelText->SetColor(selColor);
    if (HandleAllocated() && Focused())
    {
        CreateCaret(Handle(), nullptr, 2, FTextHeight);
        ShowCaret(Handle());
    }
}

void TCustomAFEdit::CMFontChanged(TMessage& message)
{
    if (FInFontChange)
        return;
    FInFontChange = true;
    try
    {
        SetFont(Font());
    }
    catch (...)
    {
        FInFontChange = false;
        throw;
    }
    FInFontChange = false;
    Invalidate();
}

void TCustomAFEdit::SetColDependence(TColor color)
{
    FColDependence = color;
    FFontDependence->SetColor(color);
}

void TCustomAFEdit::LoadEditorCursor()
{
    HCURSOR cursor = LoadCursorW(HInstance, L"RevCursor");
    if (cursor)
        Screen->SetCursors(kRevCursorSlot, cursor);
}

void TCustomAFEdit::SetFocus()
{
    TWinControl::SetFocus();
}

void TCustomAFEdit::WMSize(TWMSize& message)
{
    TCustomControl::WMSize(message);
    if (message.SizeType == SIZE_RESTORED || message.SizeType == SIZE_MAXIMIZED)
    {
        FEditRect.Right = message.Width;
        FEditRect.Bottom = message.Height;
    }
    SetScrollBars(ScrollBars);
}

void TCustomAFEdit::WMSetFocus(TWMSetFocus& message)
{
    TCustomControl::WMSetFocus(message);
    CreateCaret(Handle(), nullptr, FInsertMode ? 2 : FColWidth, FTextHeight);
    SetCaretPosition();
    ShowCaret(Handle());
}

void TCustomAFEdit::WMKillFocus(TWMKillFocus& message)
{
    TCustomControl::WMKillFocus(message);
    HideCaret(Handle());
    DestroyCaret();
}

void TCustomAFEdit::WMGetDlgCode(TWMGetDlgCode& message)
{
    message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
}

int TCustomAFEdit::VisibleRows() const { return std::max(0, (FEditRect.Bottom - FEditRect.Top) / FRowHeight); }
int TCustomAFEdit::VisibleCols() const { return std::max(0, (FEditRect.Right - FEditRect.Left) / FColWidth); }

void TCustomAFEdit::SetCaretPosition()
{
    if (Updating || !HandleAllocated() || !Focused())
        return;
    int x = FEditRect.Left + (FCaret.x - FLeftCol) * FColWidth;
    int y = FEditRect.Top + (FCaret.y - FTopLine) * FRowHeight;
    SetCaretPos(x, y);
    if (OnStatusChange)
        OnStatusChange(this);
}

void TCustomAFEdit::SetScrollBars(TScrollStyle style)
{
    ScrollBars = style;
    if (FRowHeight == 0 || !HandleAllocated())
        return;
    HWND h = Handle();
    int rows = GetLinesCount();
    int visRows = VisibleRows();
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (rows < visRows && FTopLine < 1 && FCaret.y < visRows)
    {
        if (FVertShown)
        {
            ShowScrollBar(h, SB_VERT, FALSE);
            FVertShown = false;
        }
    }
    else
    {
        si.nMin = 0;
        si.nMax = std::max({rows - 1, visRows + FTopLine - 1, FCaret.y});
        si.nPage = UINT(std::max(0, visRows));
        si.nPos = FTopLine;
        if (style == ssVertical || style == ssBoth)
        {
            SetScrollInfo(h, SB_VERT, &si, TRUE);
            if (!FVertShown)
            {
                ShowScrollBar(h, SB_VERT, TRUE);
                FVertShown = true;
            }
        }
        else if (FVertShown)
        {
            ShowScrollBar(h, SB_VERT, FALSE);
            FVertShown = false;
        }
        EnableScrollBar(h, SB_VERT, ESB_ENABLE_BOTH);
    }
    int visCols = VisibleCols();
    if (std::max(FDefWrapPos, FLongestLine) <= visCols && FLeftCol < 1)
    {
        if (FHorzShown)
        {
            ShowScrollBar(h, SB_HORZ, FALSE);
            FHorzShown = false;
        }
        return;
    }
    si.nMin = 0;
    if (FOptions.Contains(aoAutoFormat) && FViewOpt.Contains(voWrapLine))
        si.nMax = FDefWrapPos + 4;
    else
        si.nMax = std::max(FDefWrapPos, FLongestLine);
    si.nMax = std::max(si.nMax, FCaret.x);
    si.nPage = UINT(std::max(0, visCols));
    si.nPos = FLeftCol;
    if (style == ssHorizontal || style == ssBoth)
    {
        SetScrollInfo(h, SB_HORZ, &si, TRUE);
        if (!FHorzShown)
        {
            ShowScrollBar(h, SB_HORZ, TRUE);
            FHorzShown = true;
        }
    }
    else if (FHorzShown)
    {
        ShowScrollBar(h, SB_HORZ, FALSE);
        FHorzShown = false;
    }
    EnableScrollBar(h, SB_HORZ, ESB_ENABLE_BOTH);
}

void TCustomAFEdit::FillEditRect(const TRect& rect) { GetMyCanvas()->FillRect(rect); }

void TCustomAFEdit::ExtTextPaint(int x, int y, int left, const AnsiString& s)
{
    TRect clip(std::max(left, x), y, x + s.Length() * FColWidth, y + FRowHeight);
    GetMyCanvas()->ExtTextOutSjis(x, y, ETO_CLIPPED | ETO_OPAQUE, &clip, s.c_str(), s.Length(), FPixelTable.data());
}

void TCustomAFEdit::ExtSelTextPaint(int x, int y, int left, const AnsiString& s)
{
    TRect clip(std::max(left, x), y, x + s.Length() * FColWidth, y + FRowHeight);
    TCanvas* c = GetMyCanvas();
    c->ExtTextOutSjis(x, y, ETO_CLIPPED | ETO_OPAQUE, &clip, s.c_str(), s.Length(), FPixelTable.data());
    c->MoveTo(clip.Right, y + FRowHeight);
}

void TCustomAFEdit::DrawLeftMgn(int row, const AnsiString& s)
{
    TCanvas* c = GetMyCanvas();
    int y = FEditRect.Top + (row - FTopLine) * FRowHeight;
    TRect r(0, y, FEditRect.Left, y + FRowHeight);
    AnsiString text = s;
    bool defaultDraw = true;
    if (OnDrawLeftMgn)
        OnDrawLeftMgn(this, row, r, text, defaultDraw);
    if (!defaultDraw)
        return;
    c->Brush()->SetColor(ColLeftMgn);
    c->Font()->Assign(*Font());
    c->Font()->SetColor(ColRowNo);
    c->ExtTextOutSjis(0, y, ETO_CLIPPED | ETO_OPAQUE, &r, text.c_str(), text.Length(), FPixelTable.data());
}

void TCustomAFEdit::DrawLeftMgnEX(int row)
{
    TCanvas* c = GetMyCanvas();
    int y = FEditRect.Top + (row - FTopLine) * FRowHeight;
    c->Brush()->SetColor(ColLeftMgn);
    c->FillRect(TRect(0, y, FEditRect.Left, y + FRowHeight));
}

void TCustomAFEdit::DrawColIndicate()
{
    if (!FViewOpt.Contains(voColIndicate) || !HandleAllocated())
        return;
    TCanvas* c = GetMyCanvas();
    TRect r(0, TopMgn, Width(), TopMgn + FRowHeight);
    bool defaultDraw = true;
    if (OnDrawColIndi)
        OnDrawColIndi(this, r, defaultDraw);
    if (!defaultDraw)
        return;
    c->Brush()->SetColor(ColColumnIndi);
    c->FillRect(r);
    c->Font()->Assign(*Font());
    c->Font()->SetColor(ColColumnNo);
    // Plain ruler: a number every ten columns.
    for (int col = FLeftCol - FLeftCol % 10; col < FLeftCol + VisibleCols() + 10; col += 10)
    {
        if (col < FLeftCol)
            continue;
        AnsiString num(col);
        int x = FEditRect.Left + (col - FLeftCol) * FColWidth;
        TRect clip(x, r.Top, std::min(x + num.Length() * FColWidth, r.Right), r.Bottom);
        c->ExtTextOutSjis(x, r.Top, ETO_CLIPPED, &clip, num.c_str(), num.Length(), FPixelTable.data());
    }
    FLastCaretCol = FCaret.x;
    FLastLeftCol = FLeftCol;
}

void TCustomAFEdit::CaretMoveResultPaint() { ValiPaint(); }

void TCustomAFEdit::DrawWrapLine(int row, const TRect& rect, int top, int bottom)
{
    if (!FViewOpt.Contains(voWrapLine) || !FOptions.Contains(aoAutoFormat))
        return;
    int wrap = row >= 0 && row < GetLinesCount() ? GetWrapPos(row) : FDefWrapPos;
    if (wrap <= 0 || wrap >= kNoWrap)
        return;
    int x = FEditRect.Left + (wrap - FLeftCol) * FColWidth;
    if (x < rect.Left || x >= rect.Right)
        return;
    TCanvas* c = GetMyCanvas();
    c->Pen()->SetColor(ColCr);
    c->MoveTo(x, top);
    c->LineTo(x, bottom);
}

void TCustomAFEdit::DrawLine(int row)
{
    TCanvas* c = GetMyCanvas();
    int y = FEditRect.Top + (row - FTopLine) * FRowHeight;
    TRect strip(FEditRect.Left, y, FEditRect.Right, y + FRowHeight);
    if (row >= GetLinesCount())
    {
        c->Brush()->SetColor(Color());
        FillEditRect(strip);
        DrawLeftMgnEX(row);
        DrawWrapLine(row, strip, strip.Top, strip.Bottom);
        return;
    }
    TAttrListItem* rec = FAttrs->GetItem(row);
    if (rec->WrapPos == 0)
        *rec = MakeAttr(true, 0, FDefWrapPos);
    AnsiString text = GetLine(row);
    bool cr = isCrLine(row);
    if (cr)
        text.SetLength(text.Length() - 1);
    std::string shown(size_t(std::max<int>(0, rec->Indent)), ' ');
    AppendTabExpansion(shown, text.c_str(), text.Length(), FTabSize, true);
    AnsiString dsp(shown.data(), int(shown.size()));
    bool defaultDraw = true;
    if (OnDrawLine)
        OnDrawLine(this, row, strip, dsp, defaultDraw);
    if (defaultDraw)
    {
        c->Brush()->SetColor(rec->BackColor);
        c->Font()->Assign(*Font());
        c->Font()->SetColor(rec->FontColor);
        AnsiString visible = dsp.SubString(FLeftCol + 1, dsp.Length());
        int x = FEditRect.Left;
        c->ExtTextOutSjis(x, y, ETO_CLIPPED | ETO_OPAQUE, &strip, visible.c_str(), visible.Length(),
                          FPixelTable.data());
        if (row == GetLinesCount() - 1 && FViewOpt.Contains(voCr))
        {
            int ex = x + visible.Length() * FColWidth;
            c->Font()->SetColor(ColCr);
            TRect clip(ex, y, FEditRect.Right, y + FRowHeight);
            if (clip.Left < clip.Right)
                c->ExtTextOutSjis(ex, y, ETO_CLIPPED, &clip, EofMark.c_str(), EofMark.Length(), FPixelTable.data());
        }
        DrawWrapLine(row, strip, strip.Top, strip.Bottom);
    }
    if (FViewOpt.Contains(voRowNum))
    {
        AnsiString num;
        try
        {
            num = Format(RowDspFmt, {row + 1});
        }
        catch (const Exception&)
        {
            num = AnsiString(row + 1);
        }
        DrawLeftMgn(row, num);
    }
    else
        DrawLeftMgnEX(row);
    if (!Updating)
        rec->Dirty = false;
}

void TCustomAFEdit::Paint()
{
    if (!HandleAllocated())
        return;
    HWND h = Handle();
    HideCaret(h);
    TCanvas* c = GetMyCanvas();
    if (FEditRect.Right == 0 && FEditRect.Bottom == 0)
    {
        FEditRect.Right = ClientWidth();
        FEditRect.Bottom = ClientHeight();
    }
    int last = FTopLine + VisibleRows();
    for (int row = FTopLine; row <= last; ++row)
        DrawLine(row);
    int below = FEditRect.Top + (last - FTopLine + 1) * FRowHeight;
    if (below < ClientHeight())
    {
        c->Brush()->SetColor(Color());
        c->FillRect(TRect(FEditRect.Left, below, ClientWidth(), ClientHeight()));
        c->Brush()->SetColor(ColLeftMgn);
        c->FillRect(TRect(0, below, FEditRect.Left, ClientHeight()));
    }
    SetCaretPosition();
    SetScrollBars(ScrollBars);
    ShowCaret(h);
    DrawColIndicate();
    FLastPaintTop = FTopLine;
}

void TCustomAFEdit::ValiPaint()
{
    if (!HandleAllocated())
        return;
    if (FTopLine != FLastPaintTop)
    {
        Invalidate();
    }
    else
    {
        HWND h = Handle();
        HideCaret(h);
        int last = FTopLine + VisibleRows();
        for (int row = FTopLine; row <= last; ++row)
        {
            bool lastRecord = row == FAttrs->GetCount() - 1;
            if (row < GetLinesCount() && (FAttrs->GetItem(row)->Dirty || lastRecord))
                DrawLine(row);
            else if (row >= GetLinesCount())
                DrawLeftMgnEX(row);
        }
        ShowCaret(h);
    }
    DrawColIndicate();
    FLastPaintTop = FTopLine;
}

void TCustomAFEdit::ResetExColRowNum2()
{
    if (FExColRowNum2 >= 0)
    {
        if (FExColRowNum2 < GetLinesCount())
            FAttrs->GetItem(FExColRowNum2)->Dirty = true;
        FExColRowNum2 = -1;
        ValiPaint();
    }
}
