// Mouse handling of the editor control: the cursor over its areas, clicks and drags that select,
// the box (Alt) drag, dragging a selection to move its text, the wrap and indent lines of a row
// selection on the ruler band, double clicks, the left margin and the right button.
#include <windows.h>
#include <imm.h>
#undef TextOut

#include <algorithm>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditPlaces.h"
#include "editor_control/AFEditText.h"
#include "platform/Forms.h"
#include "platform/Services.h"

namespace
{
constexpr TCursor kRevCursor = 5; // the reversed arrow over the left margin
constexpr UINT_PTR kDragScrollTimerId = 0x5644;
constexpr UINT kDragScrollMs = 40;
// The narrowest wrap and the widest the settings allow; an indent keeps this far left of a wrap.
constexpr int kMinWrap = 10;
constexpr int kMaxWrap = 999;
constexpr int kIndentGap = 8;

bool KeyHeld(int vk) { return Services().GetKeyState(vk) < 0; }

// Rounds towards minus infinity: a pointer above or left of the rows is a row or column before them.
int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

bool IsWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
} // namespace

// ---- points and areas ---------------------------------------------------------------------------

TPoint TCustomAFEdit::MousePoint(int x, int y) const
{
    const int col = std::max(0, FloorDiv(x + ClickSlop - FEditRect.Left, std::max(1, FColWidth)) + FLeftCol);
    const int row = FloorDiv(y - FEditRect.Top, std::max(1, FRowHeight)) + FTopLine;
    return TPoint(col, std::clamp(row, 0, std::max(0, GetLinesCount() - 1)));
}

TCustomAFEdit::TMouseArea TCustomAFEdit::MouseAreaAt(int x, int y)
{
    if (x < 1 || y < 1 || x >= FEditRect.Right || y >= FEditRect.Bottom)
        return maNone;
    if (x >= FEditRect.Left)
    {
        if (y >= FEditRect.Top)
            return maText;
        if (!FSelArea->isRowAble() || FSelArea->GetStartRow() >= GetLinesCount())
            return maNone;
        const int start = FSelArea->GetStartRow();
        const int col = MousePoint(x, y).x;
        return col == RowWrapPos(start) || col == RowIndent(start) ? maRuler : maNone;
    }
    return y >= FEditRect.Top ? maLeftMargin : maNone;
}

void TCustomAFEdit::ShapeCursor(TCursor cursor)
{
    if (Cursor() == cursor)
        return;
    SetCursor(cursor);
    if (Screen && Screen->Cursor() == crDefault && HandleAllocated())
        ::SetCursor(Screen->Cursors(cursor));
}

TPoint TCustomAFEdit::LimitToRowEnd(const TPoint& p)
{
    TPoint r = p;
    if (r.y < 0 || r.y >= GetLinesCount())
        return r;
    // Onto the start of a double-byte character, never its second half.
    std::vector<TDspCell> cells;
    const AnsiString text = GetLine(r.y);
    DisplayCells(cells, text.c_str(), text.Length(), FTabSize);
    const int indent = RowIndent(r.y);
    if (r.x > indent && r.x - indent < int(cells.size()) && cells[size_t(r.x - indent)] == dcTrail)
        --r.x;
    const int len = indent + int(cells.size());
    if (r.x < indent)
        r.x = indent; // the indent holds no text: a press there stands at the text's start
    else if (r.x > len)
        r.x = len <= 0 ? 0 : isCrLine(r.y) ? len - 1 : len;
    else if (r.x == len && isCrLine(r.y))
        r.x = len - 1; // a press on the CR cell stands before it
    return r;
}

// ---- button down --------------------------------------------------------------------------------

void TCustomAFEdit::WMLButtonDown(TWMMouse& message)
{
    SetFocus();
    ResetExColRowNum2();
    StopDragScroll();
    FDragMode = dmNone;
    const bool shift = (message.Keys & MK_SHIFT) != 0 || KeyHeld(VK_SHIFT);
    const bool alt = KeyHeld(VK_MENU);
    const int x = message.XPos;
    const int y = message.YPos;
    FDragPos = POINT{x, y};
    TPoint P = MousePoint(x, y);

    switch (MouseAreaAt(x, y))
    {
    case maText:
    {
        P = LimitToRowEnd(P);
        if (FSelArea->isRowAble())
        {
            MarkRowsDirty(FSelArea->GetStartRow(), FSelArea->GetEndRow());
            if (FSelArea->isSelRow(P.y) && !shift && !alt)
                FDragMode = dmMoveSel;
            else
                FSelArea->RowReset();
        }
        if (HandleAllocated())
            if (HIMC imc = ImmGetContext(Handle()))
            {
                ImmNotifyIME(imc, NI_COMPOSITIONSTR, CPS_CANCEL, 0);
                ImmReleaseContext(Handle(), imc);
            }
        const TPoint oldStart = FSelArea->GetStartPoint();
        const TPoint oldEnd = FSelArea->GetEndPoint();
        if (FDragMode == dmMoveSel)
            ; // the row selection is dragged as it stands
        else if (shift)
        {
            if (!FSelArea->isPointAble())
                FSelArea->PutStartPoint(PointAlign(FCaret));
            FSelArea->PutEndPoint(PointAlign(P));
            MarkRowsDirty(std::min(oldStart.y, FSelArea->GetStartPoint().y),
                          std::max(oldEnd.y, FSelArea->GetEndPoint().y));
        }
        else
        {
            MarkRowsDirty(oldStart.y, oldEnd.y);
            // Inside the selection (its end excluded) the press starts a move.
            if (FSelArea->isPointAble() && !alt && FSelArea->isSelPoint(P.x, P.y) && P != oldEnd)
                FDragMode = dmMoveSel;
            else
            {
                // A box keeps the column pressed, even right of the row's end.
                const TPoint anchor = alt ? MousePoint(x, y) : PointAlign(P);
                FSelArea->PutStartPoint(anchor);
                FSelArea->PutEndPoint(anchor);
            }
        }
        FCaret = P;
        SetCaretPosition();
        if (FDragMode == dmMoveSel)
            ShapeCursor(crDrag);
        else
            FDragMode = alt ? dmRangeSel : dmCharsSel;
        SetMouseCapture(true);
        ValiPaint();
        break;
    }
    case maLeftMargin:
        LeftAreaClick(x, y, P.y);
        MarkRowsDirty(FSelArea->GetStartPoint().y, FSelArea->GetEndPoint().y);
        if (FSelArea->isRowAble())
            MarkRowsDirty(FSelArea->GetStartRow(), FSelArea->GetEndRow());
        MarkRowsDirty(P.y, P.y);
        FSelArea->RowReset();
        FCaret = TPoint(0, P.y);
        FSelArea->PutStartPoint(FCaret);
        FSelArea->PutEndPoint(FCaret);
        ValiPaint();
        SetMouseCapture(true);
        SetCaretPosition();
        break;
    case maRuler:
    {
        const int start = FSelArea->GetStartRow();
        if (P.x == RowWrapPos(start))
            FDragMode = dmFoldColSel;
        else if (RowIndent(start) == std::min(P.x, RowWrapPos(start) - kIndentGap))
            FDragMode = dmIndent;
        if (FDragMode != dmNone)
        {
            SetSelAreaMaxMin();
            FSelArea->DragCol = P.x;
            DrawDragLine(P.x);
            SetMouseCapture(true);
        }
        break;
    }
    case maNone: break;
    }
    TellSelectChange();
    TCustomControl::WMLButtonDown(message);
}

// ---- mouse move ---------------------------------------------------------------------------------

void TCustomAFEdit::WMMouseMove(TWMMouse& message)
{
    MouseMoveFunc(message);
    TCustomControl::WMMouseMove(message);
}

void TCustomAFEdit::MouseMoveFunc(TWMMouse& message)
{
    const int x = message.XPos;
    const int y = message.YPos;
    FDragPos = POINT{x, y};
    const TPoint P = MousePoint(x, y);
    switch (FDragMode)
    {
    case dmNone:
        switch (MouseAreaAt(x, y))
        {
        case maText: ShapeCursor(crIBeam); break;
        case maRuler: ShapeCursor(crSizeWE); break;
        case maLeftMargin: ShapeCursor(kRevCursor); break;
        case maNone: ShapeCursor(crDefault); break;
        }
        break;
    case dmFoldColSel:
    {
        const int col = std::clamp(std::max(P.x, FSelArea->MaxIndent + kIndentGap), kMinWrap, kMaxWrap);
        if (col != FSelArea->DragCol)
        {
            DrawDragLine(FSelArea->DragCol); // inverted again: gone
            DrawDragLine(col);
            FSelArea->DragCol = col;
        }
        break;
    }
    case dmIndent:
    {
        const int col = std::max(0, std::min(P.x, FSelArea->MinWrapPos - kIndentGap));
        if (col != FSelArea->DragCol)
        {
            DrawDragLine(FSelArea->DragCol);
            DrawDragLine(col);
            FSelArea->DragCol = col;
        }
        break;
    }
    case dmCharsSel:
    case dmRangeSel:
        if (!(message.Keys & MK_LBUTTON))
            break;
        if (P != FSelArea->MovingPoint())
            DragSelectTo(P);
        // Outside the rows shown the view follows the pointer on a timer, while it stays there.
        if (!FDragScrollTimer && DragScrollStep() && HandleAllocated())
            FDragScrollTimer = SetTimer(Handle(), kDragScrollTimerId, kDragScrollMs, nullptr) != 0;
        break;
    default: break;
    }
}

void TCustomAFEdit::DragSelectTo(const TPoint& p)
{
    TPoint P = p;
    const TPoint old = FSelArea->MovingPoint();
    if (FDragMode == dmRangeSel)
        P.y = std::clamp(P.y, 0, std::max(0, GetLinesCount() - 1)); // a box takes any column
    else
    {
        P = LimitToRowEnd(P);
        P = PointAlign(P);
    }
    FSelArea->PutEndPoint(P);
    MarkRowsDirty(std::min(old.y, P.y), std::max(old.y, P.y));
    if (FDragMode == dmRangeSel)
        MarkRowsDirty(FSelArea->AnchorPoint().y, P.y);
    FCaret = P;
    ValiPaint();
}

// One step of the drag's scrolling, by at least one row or column and never past the text; false
// when the pointer is inside the rows shown or the view can go no further.
bool TCustomAFEdit::DragScrollStep()
{
    // A drag that lost the mouse (another window took it) scrolls no more.
    if ((FDragMode != dmCharsSel && FDragMode != dmRangeSel) || !MouseCapture())
        return false;
    const int rows = GetLinesCount();
    const int vis = std::max(1, VisibleRows());
    const int visCols = std::max(1, VisibleCols());
    const int rawRow = FloorDiv(FDragPos.y - FEditRect.Top, std::max(1, FRowHeight)) + FTopLine;
    const int rawCol = FloorDiv(FDragPos.x + ClickSlop - FEditRect.Left, std::max(1, FColWidth)) + FLeftCol;
    int top = FTopLine;
    int left = FLeftCol;
    if (FDragPos.y >= FEditRect.Bottom || rawRow >= FTopLine + vis)
        top = std::min(FTopLine + std::max(1, rawRow - (FTopLine + vis) + 1), std::max(0, rows - vis));
    else if (FDragPos.y < FEditRect.Top)
        top = std::max(0, FTopLine - std::max(1, FTopLine - rawRow));
    else if (FDragPos.x >= FEditRect.Right)
        left = std::min(FLeftCol + std::max(1, rawCol - (FLeftCol + visCols) + 1),
                        std::max(0, FLongestLine + 1 - visCols));
    else if (FDragPos.x < FEditRect.Left)
        left = std::max(0, FLeftCol - std::max(1, FLeftCol - rawCol));
    else
        return false;
    top = std::max(0, top);
    left = std::max(0, left);
    const TPoint P(std::clamp(rawCol, left, left + visCols), std::clamp(rawRow, top, top + vis - 1));
    const TPoint before = FSelArea->MovingPoint();
    const bool scrolled = top != FTopLine || left != FLeftCol;
    if (scrolled)
    {
        FTopLine = top;
        FLeftCol = left;
        StoreVertPos(FTopLine);
        StoreHorzPos(FLeftCol);
        Invalidate();
    }
    DragSelectTo(P);
    return scrolled || FSelArea->MovingPoint() != before;
}

void TCustomAFEdit::StopDragScroll()
{
    if (FDragScrollTimer && HandleAllocated())
        KillTimer(Handle(), kDragScrollTimerId);
    FDragScrollTimer = false;
}

void TCustomAFEdit::WMTimer(TWMTimer& message)
{
    if (message.TimerID != kDragScrollTimerId)
    {
        TCustomControl::WMTimer(message);
        return;
    }
    if (!DragScrollStep())
        StopDragScroll();
}

void TCustomAFEdit::DrawDragLine(int col)
{
    if (!HandleAllocated())
        return;
    const int x = (col - FLeftCol) * FColWidth + FEditRect.Left;
    TCanvas* canvas = Canvas();
    canvas->Pen()->SetMode(pmNot);
    canvas->MoveTo(x, FEditRect.Top);
    canvas->LineTo(x, FEditRect.Bottom);
    canvas->Pen()->SetMode(pmCopy);
}

// ---- button up ----------------------------------------------------------------------------------

void TCustomAFEdit::WMLButtonUp(TWMMouse& message)
{
    const TPoint P = MousePoint(message.XPos, message.YPos);
    SetMouseCapture(false);
    StopDragScroll();
    const bool shift = (message.Keys & MK_SHIFT) != 0 || KeyHeld(VK_SHIFT);
    switch (FDragMode)
    {
    case dmCharsSel:
        FDragMode = dmNone;
        SetCaretPosition();
        break;
    case dmRangeSel:
        SetCaretPosition(); // the mode stays: it marks the box until the next press
        break;
    case dmFoldColSel:
    case dmIndent:
    {
        const bool wrap = FDragMode == dmFoldColSel;
        DrawDragLine(FSelArea->DragCol);
        FDragMode = dmNone;
        if (!FReadOnly)
            ApplyRulerDrag(wrap, shift);
        Invalidate(); // a repaint during the drag may have left a piece of the line
        break;
    }
    case dmMoveSel:
        FDragMode = dmNone;
        ShapeCursor(crIBeam);
        DropSelection(LimitToRowEnd(P));
        break;
    default: break;
    }
    TellSelectChange();
    TCustomControl::WMLButtonUp(message);
}

void TCustomAFEdit::ApplyRulerDrag(bool wrap, bool shift)
{
    int first = std::max(0, FSelArea->GetStartRow());
    int last = std::min(FSelArea->GetEndRow(), GetLinesCount() - 1);
    if (first > last)
        return;
    const int col = FSelArea->DragCol;
    const int delta = col - RowIndent(first);
    // A paragraph has one indent and one wrap position, its first row's: each paragraph the
    // selection reaches takes the change there and is cut anew, every row of it.
    while (first > 0 && !isCrLine(first - 1))
        --first;
    std::vector<int> heads;
    for (int row = first; row <= last; ++row)
        if (row == first || isCrLine(row - 1))
            heads.push_back(row);
    ++FUndoGroupId;
    for (int row : heads)
    {
        TAttrListItem* rec = AttrList()->GetItem(row);
        TAttrListItem before = *rec;
        before.ColAttr = nullptr;
        TAttrListItem after = before;
        if (wrap)
            after.WrapPos = uint16_t(std::clamp(col, kMinWrap, kMaxWrap));
        else
        {
            const int limit = std::max(0, RowWrapPos(row) - kIndentGap);
            after.Indent = int16_t(std::clamp(shift ? col : RowIndent(row) + delta, 0, limit));
        }
        after.Dirty = true;
        const AnsiString text = GetLine(row);
        UndoBuff()->Push(FUndoGroupId, row, 0, FCaret, acChange, text, text, before, after);
        rec->WrapPos = after.WrapPos;
        rec->Indent = after.Indent;
        rec->Dirty = true;
    }
    // From the last paragraph up, so the rows of those above keep their numbers; the selection's
    // end follows the rows the folding adds or removes.
    for (auto head = heads.rbegin(); head != heads.rend(); ++head)
        FoldLine(*head);
    FireUndoChange(UndoBuff()->Kept(), false);
    SetSelAreaMaxMin();
    Invalidate();
    DrawColIndicate();
}

// ---- moving a selection by dragging it ----------------------------------------------------------

void TCustomAFEdit::DropSelection(const TPoint& p)
{
    if (FReadOnly || !MoveSelectedText(OffsetOfPoint(this, p)))
    {
        // Released on the selection itself (or nothing may change): only deselects.
        MarkRowsDirty(FSelArea->GetStartPoint().y, FSelArea->GetEndPoint().y);
        if (FSelArea->isRowAble())
            MarkRowsDirty(FSelArea->GetStartRow(), FSelArea->GetEndRow());
        FSelArea->RowReset();
        FCaret = p;
        FSelArea->PutStartPoint(PointAlign(p));
        FSelArea->PutEndPoint(PointAlign(p));
    }
    ValiPaint();
    SetCaretPosition();
}

bool TCustomAFEdit::MoveSelectedText(int64_t drop)
{
    const bool rows = FSelArea->isRowAble() && !FSelArea->isPointAble();
    TTextOffset from = 0;
    TTextOffset to = 0;
    if (rows)
    {
        from = RowStart(this, std::max(0, FSelArea->GetStartRow()));
        to = RowStart(this, std::min(FSelArea->GetEndRow(), GetLinesCount() - 1) + 1);
    }
    else
    {
        from = OffsetOfPoint(this, FSelArea->GetStartPoint());
        to = OffsetOfPoint(this, FSelArea->GetEndPoint());
    }
    if (from >= to || (from <= drop && drop <= to))
        return false;
    const AnsiString text = GetSelText();
    const int firstRow = rows ? FSelArea->GetStartRow() : FSelArea->GetStartPoint().y;
    const int lastRow = rows ? FSelArea->GetEndRow() : FSelArea->GetEndPoint().y;
    MarkRowsDirty(firstRow, lastRow);

    // The text goes in first and the selection's bytes go out after: a control that inserts
    // nothing loses nothing. Both join one undo group.
    const bool wasUpdating = Updating;
    Updating = true;
    const TTextOffset before = TextLength(this);
    ++FUndoGroupId;
    const int group = FUndoGroupId;
    FSelArea->RowReset();
    FCaret = PointOfOffset(this, drop);
    FSelArea->PutStartPoint(FCaret);
    FSelArea->PutEndPoint(FCaret);
    FUndoGroupId = group - 1;
    StringInsert(text);
    const TTextOffset inserted = TextLength(this) - before;
    if (inserted <= 0)
    {
        FUndoGroupId = group;
        Updating = wasUpdating;
        return false;
    }
    if (drop < from)
    {
        from += inserted;
        to += inserted;
    }
    FSelArea->PutStartPoint(PointOfOffset(this, from));
    FSelArea->PutEndPoint(PointOfOffset(this, to));
    FUndoGroupId = group - 1;
    SelectAreaDel();
    FUndoGroupId = group;
    const TTextOffset removed = before + inserted - TextLength(this);
    const TTextOffset start = drop < from ? drop : drop - removed;
    Updating = wasUpdating;

    const TPoint a = PointOfOffset(this, start);
    const TPoint e = PointOfOffset(this, start + inserted);
    FSelArea->RowReset();
    FSelArea->PutStartPoint(a);
    FSelArea->PutEndPoint(e);
    FCaret = e;
    MarkRowsDirty(std::min(firstRow, a.y), std::max(lastRow, GetLinesCount() - 1));
    Invalidate();
    return true;
}

// ---- double click, right button -----------------------------------------------------------------

void TCustomAFEdit::WMLButtonDblClk(TWMMouse& message)
{
    LButtonDblClkFunc(message);
    TCustomControl::WMLButtonDblClk(message);
}

void TCustomAFEdit::LButtonDblClkFunc(TWMMouse& message)
{
    const int rows = GetLinesCount();
    if (FCaret.y < 0 || FCaret.y >= rows || message.XPos < FLeftMgn)
        return;
    const int row = FCaret.y;
    const AnsiString text = GetLine(row);
    const int L = LogicalPos(FCaret);
    if (L < 0 || L >= text.Length() || text.c_str()[L] == '\r')
        return;
    auto byteAt = [&](int r, int i) { return static_cast<unsigned char>(GetLine(r).c_str()[i]); };
    // The byte before (r, i) within one paragraph; false at its start.
    auto stepBack = [&](int& r, int& i)
    {
        if (i > 0)
        {
            --i;
            return true;
        }
        if (r == 0 || isCrLine(r - 1) || GetLine(r - 1).IsEmpty())
            return false;
        --r;
        i = GetLine(r).Length() - 1;
        return true;
    };
    // The byte after (r, i) within one paragraph; false at its end.
    auto stepForward = [&](int& r, int& i)
    {
        const AnsiString t = GetLine(r);
        if (i + 1 < t.Length() && t.c_str()[i + 1] != '\r')
        {
            ++i;
            return true;
        }
        if (i + 1 < t.Length() || r + 1 >= rows || isCrLine(r) || GetLine(r + 1).IsEmpty())
            return false;
        ++r;
        i = 0;
        return GetLine(r).c_str()[0] != '\r';
    };

    TPoint anchor;
    TPoint end;
    // Widens (row, L) both ways over the bytes `keep` accepts.
    auto spread = [&](auto&& keep)
    {
        int r = row, i = L;
        for (int pr = r, pi = i; stepBack(pr, pi) && keep(pr, pi);)
            r = pr, i = pi;
        anchor = DspPos(TPoint(i, r));
        r = row, i = L;
        for (int nr = r, ni = i; stepForward(nr, ni) && keep(nr, ni);)
            r = nr, i = ni;
        end = DspPos(TPoint(i + 1, r));
    };
    TColAttrList* cols = AttrList()->Peek(row).ColAttr;
    auto attrAt = [&](int r, int i) -> const TColAttrListItem*
    {
        TColAttrList* list = AttrList()->Peek(r).ColAttr;
        return list && i < list->GetCount() ? list->GetItem(i) : nullptr;
    };
    const TColAttrListItem* hit = cols && L < cols->GetCount() ? cols->GetItem(L) : nullptr;
    if (hit && hit->OwnColor)
    {
        const TColAttrListItem like = *hit;
        spread([&](int r, int i)
        {
            const TColAttrListItem* a = attrAt(r, i);
            return a && a->OwnColor && a->Color == like.Color && a->Style == like.Style;
        });
    }
    else
    {
        switch (ByteTypeAt(text.c_str(), text.Length(), L))
        {
        case mbLeadByte:
            anchor = DspPos(TPoint(L, row));
            end = DspPos(TPoint(std::min(L + 2, text.Length()), row));
            break;
        case mbTrailByte:
            anchor = DspPos(TPoint(L - 1, row));
            end = DspPos(TPoint(L + 1, row));
            break;
        default:
            if (!IsWordByte(byteAt(row, L)))
            {
                anchor = DspPos(TPoint(L, row));
                end = DspPos(TPoint(L + 1, row));
                break;
            }
            // Single bytes only: a lead or trail byte that happens to look like a letter is no
            // part of the word.
            spread([&](int r, int i)
            {
                const AnsiString t = GetLine(r);
                return ByteTypeAt(t.c_str(), t.Length(), i) == mbSingleByte && IsWordByte(byteAt(r, i));
            });
            break;
        }
    }
    FSelArea->RowReset();
    FSelArea->PutStartPoint(anchor);
    FSelArea->PutEndPoint(end);
    TellSelectChange();
    MarkRowsDirty(anchor.y, end.y);
    ValiPaint();
}

void TCustomAFEdit::WMRButtonDown(TWMMouse& message)
{
    // The pop-up menu comes from the platform's context-menu message, keyboard or mouse alike.
    SetFocus();
    SetCaretPosition();
    TCustomControl::WMRButtonDown(message);
}

// ---- leading blanks to indent -------------------------------------------------------------------

void TCustomAFEdit::SelAreaLeftSpaceToIndent()
{
    if (FReadOnly)
        return;
    int first = 0;
    int last = 0;
    if (FSelArea->isPointAble())
    {
        first = FSelArea->GetStartPoint().y;
        last = FSelArea->GetEndPoint().y;
    }
    else if (FSelArea->isRowAble())
    {
        first = FSelArea->GetStartRow();
        last = FSelArea->GetEndRow();
    }
    else
        first = last = FSelArea->GetStartPoint().y;
    first = std::max(0, first);
    last = std::min(last, GetLinesCount() - 1);
    const int tab = std::max(1, FTabSize);
    ++FUndoGroupId;
    // From the last row up: a paragraph whose indent grew is cut anew, and the rows above it keep
    // their numbers.
    for (int row = last; row >= first; --row)
    {
        // A wrapped piece's blanks lie inside a saved line: only a paragraph's head is converted.
        if (row > 0 && !isCrLine(row - 1))
            continue;
        TAttrListItem* rec = AttrList()->GetItem(row);
        const AnsiString text = GetLine(row);
        const int limit = std::max(0, RowWrapPos(row) - kIndentGap);
        int n = std::max<int>(0, rec->Indent);
        int b = 0;
        // Blanks that would push the indent past its limit stay in the text.
        for (; b < text.Length(); ++b)
        {
            const char c = text.c_str()[b];
            const int next = c == ' ' ? n + 1 : c == '\t' ? (n / tab + 1) * tab : -1;
            if (next < 0 || next > limit)
                break;
            n = next;
        }
        if (b == 0)
            continue;
        TAttrListItem before = *rec;
        before.ColAttr = nullptr;
        TAttrListItem after = before;
        after.Indent = int16_t(n);
        after.Dirty = true;
        const AnsiString rest = text.SubString(b + 1, text.Length() - b);
        Lines()->Put(row, rest);
        UndoBuff()->Push(FUndoGroupId, row, 0, FCaret, acChange, text, rest, before, after);
        rec->Indent = after.Indent;
        rec->Dirty = true;
        ColAttrEdit(row, 0, b, emDelete);
        BlkAttrEdit(row, 0, b, emDelete);
        FoldLine(row);
        FireUndoChange(UndoBuff()->Kept(), false);
    }
    MarkDirtyFrom(first);
    ValiPaint();
}
