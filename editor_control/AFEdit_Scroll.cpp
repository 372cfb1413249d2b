// Caret placement, the scroll bars and scrolling by line, page and thumb.
#include <windows.h>
#include <imm.h>
#undef TextOut

#include <algorithm>

#include "editor_control/AFEdit.h"
#include "platform/Services.h"

namespace
{
// Consecutive vertical scroll messages of any editor; an end-scroll resets it.
int gScrollAccel = 0;

bool ShiftHeld() { return Services().GetKeyState(VK_SHIFT) < 0; }
} // namespace

int TCustomAFEdit::ScrollAcceleration() { return gScrollAccel; }

int TCustomAFEdit::VisibleRows() const
{
    return std::max(0, (FEditRect.Bottom - FEditRect.Top) / std::max(1, FRowHeight));
}

int TCustomAFEdit::VisibleCols() const
{
    return std::max(0, (FEditRect.Right - FEditRect.Left) / std::max(1, FColWidth));
}

void TCustomAFEdit::SyncEditRect()
{
    if (!HandleAllocated())
        return;
    RECT r{};
    GetClientRect(Handle(), &r);
    FEditRect.Right = r.right;
    FEditRect.Bottom = r.bottom;
}

// ---- the system caret ----
// Hide and show are cumulative on the platform; FCaretLevel mirrors that count so a caret made
// anew can be given the level the old one had.

void TCustomAFEdit::CaretCreate()
{
    if (!HandleAllocated())
        return;
    int keepLevel = FCaretExists ? FCaretLevel : 0;
    bool dbcs = CaretOnDoubleByte();
    int width = FInsertMode ? 2 : dbcs ? FTextHeight : FTextHeight / 2;
    CreateCaret(Handle(), nullptr, std::max(1, width), std::max(1, FTextHeight));
    FCaretExists = true;
    FCaretLevel = 1; // a new caret starts hidden
    FCaretInsert = FInsertMode;
    FCaretDbcs = dbcs;
    FCaretWidth = std::max(1, width);
    while (FCaretLevel < keepLevel)
    {
        HideCaret(Handle());
        ++FCaretLevel;
    }
}

void TCustomAFEdit::CaretHide()
{
    if (!FCaretExists || !HandleAllocated())
        return;
    HideCaret(Handle());
    ++FCaretLevel;
}

void TCustomAFEdit::CaretShow()
{
    if (!FCaretExists || !HandleAllocated() || FCaretLevel == 0)
        return;
    ShowCaret(Handle());
    --FCaretLevel;
}

void TCustomAFEdit::CaretDestroy()
{
    if (FCaretExists)
        DestroyCaret();
    FCaretExists = false;
    FCaretLevel = 0;
    FHiddenCount = 0;
}

bool TCustomAFEdit::CaretOnDoubleByte()
{
    if (FCaret.y < 0 || FCaret.y >= GetLinesCount())
        return false;
    // The logical column: a display column would be off by every tab's fill.
    int logCol = LogicalPos(FCaret);
    AnsiString text = GetLine(FCaret.y);
    if (logCol < 0 || logCol >= text.Length())
        return false;
    return ByteType(text, logCol + 1) == mbLeadByte;
}

// ---- placement ----

void TCustomAFEdit::SetCaret(const TPoint& p)
{
    FCaret = p;
    SetCaretPosition();
}

TPoint TCustomAFEdit::PointAlign(const TPoint& p)
{
    TPoint r = p;
    int rows = GetLinesCount();
    r.y = std::clamp(r.y, 0, std::max(0, rows - 1));
    int len = RowIndent(r.y) + TabExpand(GetLine(r.y), true).Length();
    r.x = std::clamp(r.x, 0, len);
    return r;
}

void TCustomAFEdit::SetCaretPosition()
{
    int rows = GetLinesCount();
    // The caret row stays within the text unless the caret is free.
    if (FCaret.y < 0)
        FCaret.y = 0;
    else if (FCaret.y >= rows && !FOptions.Contains(aoFreeCaret))
        FCaret.y = std::max(0, rows - 1);
    if (!HandleAllocated() || !Focused())
    {
        // The caret moved all the same (a search run from a dialog): the status must show it.
        if (OnStatusChange)
            OnStatusChange(this);
        return;
    }
    FCaret = ColAdj(FCaret, false);
    // A row past the end (free caret) has no text: it counts as empty and gets no record.
    bool inText = FCaret.y < rows;
    AnsiString text = inText ? GetLine(FCaret.y) : AnsiString();
    int len = inText ? TabExpand(text, false).Length() + RowIndent(FCaret.y) : 0;
    if (FCaret.x > len - 1)
    {
        if (len < 1)
            FCaret.x = 0;
        else
            FCaret.x = isCrLine(FCaret.y) ? len - 1 : len;
    }
    FCaret.x = std::max(0, FCaret.x);
    int x = (FCaret.x - FLeftCol) * FColWidth + FEditRect.Left;
    int y = (FCaret.y - FTopLine) * FRowHeight + FEditRect.Top;
    if (Updating)
        return;
    ++FPlacements;
    bool dbcs = CaretOnDoubleByte();
    bool inside = x >= FEditRect.Left && x < FEditRect.Right && y >= FEditRect.Top && y < FEditRect.Bottom;
    // A caret that keeps its shape and stays in view is only moved: the platform hides and shows
    // it around the move itself, and a hide and show of our own would leave its level as it was
    // at the cost of two more trips to the window system.
    const bool moveOnly =
        inside && FHiddenCount == 0 && FCaretExists && FCaretInsert == FInsertMode && FCaretDbcs == dbcs;
    if (!moveOnly)
    {
        CaretHide();
        if (!FCaretExists || FCaretInsert != FInsertMode || FCaretDbcs != dbcs)
            CaretCreate();
    }
    SetCaretPos(x, y);
    if (inside)
    {
        if (!moveOnly)
            for (int i = 0; i <= FHiddenCount; ++i)
                CaretShow();
        FHiddenCount = 0;
        // The input method is told only of a new place: asking it costs more than the placement.
        HIMC imc = x != FImePos.x || y != FImePos.y ? ImmGetContext(Handle()) : nullptr;
        if (imc)
        {
            // The font only after the focus came or the font changed (both forget the place): a
            // caret that only moved leaves the composition font as it was.
            const bool fontToo = FImePos.x == -1 && FImePos.y == -1;
            FImePos = POINT{x, y};
            COMPOSITIONFORM form{};
            form.dwStyle = CFS_POINT;
            form.ptCurrentPos = POINT{x, y};
            ImmSetCompositionWindow(imc, &form);
            LOGFONTW lf{};
            if (fontToo && GetObjectW(Font()->Handle(), sizeof lf, &lf))
                ImmSetCompositionFontW(imc, &lf);
            ImmReleaseContext(Handle(), imc);
        }
    }
    else
        ++FHiddenCount;
    if (OnStatusChange)
        OnStatusChange(this);
    // Drawn once where a repaint of rows follows (that repaint draws it again), unless a handler
    // draws it.
    if ((FCaret.x != FLastCaretCol || FLeftCol != FLastLeftCol) && !(FRulerLater && !OnDrawColIndi))
        DrawColIndicate();
    if (FTopLine != FLastPlacedTop || FLeftCol != FLastLeftCol)
        SetScrollBars(ScrollBars);
    FLastCaretCol = FCaret.x;
    FLastLeftCol = FLeftCol;
    FLastPlacedTop = FTopLine;
}

void TCustomAFEdit::SetTopLine(int row)
{
    FTopLine = std::max(0, std::min(row, GetLinesCount() - VisibleRows() / 2));
    StoreVertPos(FTopLine);
    Invalidate();
}

void TCustomAFEdit::RepaintNow()
{
    Invalidate();
    Update();
}

// ---- scroll bars ----

namespace
{
bool SameBarLook(const SCROLLBARINFO& a, const SCROLLBARINFO& b)
{
    if (!EqualRect(&a.rcScrollBar, &b.rcScrollBar) || a.dxyLineButton != b.dxyLineButton ||
        a.xyThumbTop != b.xyThumbTop || a.xyThumbBottom != b.xyThumbBottom)
        return false;
    for (int i = 0; i <= CCHILDREN_SCROLLBAR; ++i)
        if (a.rgstate[i] != b.rgstate[i])
            return false;
    return true;
}

// Gives a bar new information, repainting it only when what it shows (its thumb, its state)
// changed: a page through a long text moves the thumb by less than a pixel, and repainting a
// themed bar costs more than painting the page.
void SetBarInfo(HWND h, int bar, const SCROLLINFO& si)
{
    const LONG object = bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL;
    SCROLLBARINFO before{};
    before.cbSize = sizeof before;
    SCROLLINFO old{sizeof old, SIF_ALL};
    if (!GetScrollBarInfo(h, object, &before) || !GetScrollInfo(h, bar, &old))
    {
        SetScrollInfo(h, bar, &si, TRUE);
        return;
    }
    SetScrollInfo(h, bar, &si, FALSE);
    SCROLLBARINFO after{};
    after.cbSize = sizeof after;
    const bool known = GetScrollBarInfo(h, object, &after) != FALSE;
    if (known && SameBarLook(before, after))
        return;
    // Shown or hidden by the change: the platform repaints the frame for that.
    if (known && ((before.rgstate[0] ^ after.rgstate[0]) & STATE_SYSTEM_INVISIBLE))
        return;
    // It looks different: back to the old information, then the new one with a repaint.
    old.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    SetScrollInfo(h, bar, &old, FALSE);
    SetScrollInfo(h, bar, &si, TRUE);
}
} // namespace

void TCustomAFEdit::StoreVertPos(int pos)
{
    FVertInfo.nPos = pos;
    if (HandleAllocated() && FVertShown && (ScrollBars == ssVertical || ScrollBars == ssBoth))
    {
        SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
        SetBarInfo(Handle(), SB_VERT, si);
    }
}

void TCustomAFEdit::StoreHorzPos(int pos)
{
    FHorzInfo.nPos = pos;
    if (HandleAllocated() && FHorzShown && (ScrollBars == ssHorizontal || ScrollBars == ssBoth))
    {
        SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
        SetBarInfo(Handle(), SB_HORZ, si);
    }
}

namespace
{
bool SameInfo(const SCROLLINFO& a, const SCROLLINFO& b)
{
    return a.nMin == b.nMin && a.nMax == b.nMax && a.nPage == b.nPage && a.nPos == b.nPos;
}

// Gives a bar its information and shows or hides it, talking to the platform only about what
// changed: each call there repaints the bar.
void UpdateBar(HWND h, int bar, bool needed, bool styleWants, const SCROLLINFO& wanted, SCROLLINFO& kept,
               bool& shown)
{
    bool same = SameInfo(wanted, kept);
    if (needed)
        kept = wanted;
    if (!needed || !styleWants)
    {
        if (shown && h)
            ShowScrollBar(h, bar, FALSE);
        shown = false;
        return;
    }
    if (!h)
        return;
    if (!shown || !same)
        SetBarInfo(h, bar, kept);
    if (!shown)
    {
        ShowScrollBar(h, bar, TRUE);
        EnableScrollBar(h, bar, ESB_ENABLE_BOTH);
    }
    shown = true;
}
} // namespace

int TCustomAFEdit::HorzRangeMax() const
{
    const int widest = FOptions.Contains(aoAutoFormat) && FViewOpt.Contains(voWrapLine)
                           ? FDefWrapPos + 4
                           : std::max(FDefWrapPos, FLongestLine);
    return std::max(widest, FCaret.x);
}

void TCustomAFEdit::KeepLeftColInRange()
{
    // Past the range the bar can go no further right, and no bar shows at all when the range fits
    // the view: every row's start would stay hidden.
    const int visCols = VisibleCols();
    const int maxLeft = std::max(0, HorzRangeMax() - visCols + 1);
    if (visCols <= 0 || FLeftCol <= maxLeft)
        return;
    FLeftCol = maxLeft;
    StoreHorzPos(FLeftCol);
    Invalidate();
}

void TCustomAFEdit::SetScrollBars(TScrollStyle style)
{
    ScrollBars = style;
    if (FRowHeight == 0)
        return;
    HWND h = HandleAllocated() ? Handle() : nullptr;
    const int rows = GetLinesCount();
    const int visRows = VisibleRows();
    SCROLLINFO v{sizeof v, SIF_RANGE | SIF_PAGE | SIF_POS};
    v.nMin = 0;
    v.nMax = std::max({rows - 1, visRows + FTopLine - 1, FCaret.y});
    v.nPage = UINT(visRows);
    v.nPos = FTopLine;
    bool vNeeded = !(rows < visRows && FTopLine < 1 && FCaret.y < visRows);
    UpdateBar(h, SB_VERT, vNeeded, style == ssVertical || style == ssBoth, v, FVertInfo, FVertShown);

    const int visCols = VisibleCols();
    SCROLLINFO hz{sizeof hz, SIF_RANGE | SIF_PAGE | SIF_POS};
    hz.nMin = 0;
    hz.nMax = HorzRangeMax();
    hz.nPage = UINT(visCols);
    hz.nPos = FLeftCol;
    bool hNeeded = !(std::max(FDefWrapPos, FLongestLine) <= visCols && FLeftCol < 1);
    UpdateBar(h, SB_HORZ, hNeeded, style == ssHorizontal || style == ssBoth, hz, FHorzInfo, FHorzShown);
}

// ---- scrolling ----

bool TCustomAFEdit::ShowRange(const TPoint& first, const TPoint& last)
{
    bool moved = false;
    // A scroll bar the move brings narrows the view: the range is placed again in what is left.
    for (int pass = 0; pass < 2; ++pass)
    {
        const int rows = std::max(1, VisibleRows());
        const int cols = std::max(1, VisibleCols());
        int top = FTopLine;
        if (last.y > top + rows - 1)
            top = last.y - rows + 1;
        if (first.y < top)
            top = first.y;
        int left = FLeftCol;
        const int hi = std::max(first.x, last.x);
        const int lo = std::min(first.x, last.x);
        if (hi > left + cols - 1)
            left = hi - cols + 1;
        if (lo < left)
            left = lo;
        // Too wide to show whole: first's cell at least.
        if (first.x < left)
            left = first.x;
        else if (first.x > left + cols - 1)
            left = first.x - cols + 1;
        top = std::max(0, top);
        left = std::max(0, left);
        if (top == FTopLine && left == FLeftCol)
            break;
        FTopLine = top;
        FLeftCol = left;
        StoreVertPos(FTopLine);
        StoreHorzPos(FLeftCol);
        moved = true;
        if (!HandleAllocated())
            break;
        SetScrollBars(ScrollBars);
        Invalidate();
        if (std::max(1, VisibleRows()) == rows && std::max(1, VisibleCols()) == cols)
            break;
    }
    return moved;
}

void TCustomAFEdit::WMVScroll(TWMScroll& message)
{
    const bool shift = ShiftHeld();
    const int rows = GetLinesCount();
    const int vis = VisibleRows();
    const bool selHide = FCaretExists && (FSelArea->isPointAble() || FSelArea->isRowAble());
    if (selHide)
    {
        CaretHide();
        ++FHiddenCount;
    }
    const int placedBefore = FPlacements;
    gScrollAccel = std::max(1, std::min(gScrollAccel + 1, AccelRate));
    SCROLLINFO si = FVertInfo;
    if (ScrollBars == ssVertical || ScrollBars == ssBoth)
    {
        SCROLLINFO live{sizeof live, SIF_ALL};
        if (HandleAllocated() && GetScrollInfo(Handle(), SB_VERT, &live))
            si = live;
    }
    else
        si.nTrackPos = si.nPos;
    const int maxTop = std::max({0, rows - 1, int(si.nMax)});
    auto clampTop = [&](int top) { return std::clamp(top, 0, maxTop); };
    // Pulls the caret into the rows the view now shows (the thumb moves the view, not the text).
    auto pullCaret = [&] {
        if (shift)
            return;
        if (FCaret.y < FTopLine)
            FCaret.y = FTopLine;
        else if (FCaret.y > FTopLine + std::max(0, vis - 2))
            FCaret.y = FTopLine + std::max(0, vis - 2);
        FCaret.y = std::min(FCaret.y, std::max(0, rows - 1));
    };
    switch (message.ScrollCode)
    {
    case SB_LINEUP:
    {
        CaretHide();
        const int steps = gScrollAccel;
        for (int k = 0; k < steps; ++k)
        {
            if (FTopLine - gScrollAccel <= 0)
                gScrollAccel = 1;
            if (FTopLine > 0)
            {
                --FTopLine;
                if (FCaret.y > FTopLine + vis - 2 && !shift)
                    --FCaret.y;
            }
        }
        RepaintNow();
        StoreVertPos(FTopLine);
        SetCaretPosition();
        SetScrollBars(ScrollBars);
        CaretShow();
        break;
    }
    case SB_LINEDOWN:
        CaretHide();
        if (FTopLine <= rows - vis)
        {
            FTopLine = clampTop(FTopLine + gScrollAccel);
            if (FCaret.y < FTopLine && !shift)
                FCaret.y = std::min(FCaret.y + gScrollAccel, std::max(0, rows - 1));
            Invalidate();
        }
        StoreVertPos(FTopLine);
        SetCaretPosition();
        SetScrollBars(ScrollBars);
        CaretShow();
        break;
    case SB_PAGEUP:
        for (int k = 0; k < gScrollAccel; ++k)
        {
            FTopLine = std::max(0, FTopLine - vis);
            if (!shift)
                FCaret.y = std::max(0, FCaret.y - vis);
        }
        if (FTopLine != FLastPaintTop)
            RepaintNow();
        StoreVertPos(FTopLine);
        SetCaretPosition();
        SetScrollBars(ScrollBars);
        break;
    case SB_PAGEDOWN:
        for (int k = 0; k < gScrollAccel; ++k)
        {
            // Never backwards, even when a line step already went past the last page.
            int top = std::max(FTopLine, std::min(FTopLine + vis, int(si.nMax) - vis));
            FTopLine = clampTop(top);
            if (!shift)
                FCaret.y = std::min(FCaret.y + vis, std::max(0, rows - 1));
        }
        if (FTopLine != FLastPaintTop)
            RepaintNow();
        StoreVertPos(FTopLine);
        SetCaretPosition();
        SetScrollBars(ScrollBars);
        break;
    case SB_THUMBPOSITION:
        if (Focused())
        {
            // The 32-bit position: the message carries only 16 bits.
            int top = clampTop(int(si.nTrackPos));
            bool moved = top != FTopLine;
            FTopLine = top;
            pullCaret();
            if (moved)
                RepaintNow();
            StoreVertPos(FTopLine);
            SetCaretPosition();
        }
        SetScrollBars(ScrollBars);
        break;
    case SB_THUMBTRACK:
        if (ThumbTracking)
        {
            int top = clampTop(int(si.nTrackPos));
            bool moved = top != FTopLine;
            FTopLine = top;
            pullCaret();
            CaretHide();
            if (moved)
                RepaintNow();
            if (Focused())
            {
                SetCaretPosition();
                CaretShow();
            }
        }
        break;
    case SB_ENDSCROLL: gScrollAccel = 0; break;
    default: break;
    }
    if (selHide && FPlacements == placedBefore)
        SetCaretPosition(); // pays back the hide made above for a selection
    message.Result = 0;
}

void TCustomAFEdit::WMHScroll(TWMScroll& message)
{
    if (!Focused() && CanFocus())
        SetFocus();
    const int visCols = VisibleCols();
    SCROLLINFO si = FHorzInfo;
    if (ScrollBars == ssHorizontal || ScrollBars == ssBoth)
    {
        SCROLLINFO live{sizeof live, SIF_ALL};
        if (HandleAllocated() && GetScrollInfo(Handle(), SB_HORZ, &live))
            si = live;
    }
    else
        si.nTrackPos = si.nPos;
    // Paging never passes the range, and a pane too narrow for two columns still moves.
    const int maxLeft = std::max(0, int(si.nMax) - visCols + 1);
    const int page = std::max(1, visCols - 2);
    int left = FLeftCol;
    switch (message.ScrollCode)
    {
    case SB_LINELEFT:
        if (left > 0)
            --left;
        break;
    case SB_LINERIGHT:
        FLongestLine = std::max(FLongestLine, FDefWrapPos + 2);
        if (FLongestLine - visCols >= left)
            ++left;
        break;
    case SB_PAGELEFT: left = left >= visCols ? left - page : 0; break;
    case SB_PAGERIGHT:
        left = std::max(left, std::min(left + page, maxLeft));
        break;
    case SB_THUMBPOSITION: left = int(si.nTrackPos); break;
    case SB_THUMBTRACK:
        if (ThumbTracking)
            left = int(si.nTrackPos);
        break;
    default: return;
    }
    left = std::max(0, left);
    if (left != FLeftCol)
    {
        FLeftCol = left;
        StoreHorzPos(FLeftCol);
        if (message.ScrollCode == SB_PAGERIGHT)
            RepaintNow();
        else
            Invalidate();
    }
    message.Result = 0;
}

// ---- focus ----

void TCustomAFEdit::SetFocus() { TWinControl::SetFocus(); }

void TCustomAFEdit::WMSetFocus(TWMSetFocus& message)
{
    // The base only records the active control of the form; nothing else of the platform's.
    TCustomControl::WMSetFocus(message);
    FHiddenCount = 0;
    FImePos = POINT{-1, -1};
    CaretCreate();
    SetCaretPosition();
    CaretShow();
    SetScrollBars(ScrollBars);
}

void TCustomAFEdit::WMKillFocus(TWMKillFocus& message)
{
    CaretDestroy();
    TCustomControl::WMKillFocus(message);
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
