// Caret steps by one character, the column adjustment onto character boundaries, and the
// control characters the user types.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"

namespace
{
// A row as the caret sees it: indent cells (spaces) followed by the cells of its expanded text.
struct TRowCells
{
    int Indent = 0;
    std::vector<TDspCell> Cells;

    int Length() const { return Indent + int(Cells.size()); }
    // Cell at display column x; the indent counts as blanks.
    TDspCell At(int x) const { return x < Indent ? dcSingle : Cells[size_t(x - Indent)]; }
    bool IsTab(int x) const
    {
        TDspCell c = At(x);
        return c == dcTabFill || c == dcTabEnd;
    }
    // First column of the tab that covers column x: its fill ends where an earlier tab ended.
    int TabStart(int x) const
    {
        while (x > Indent && At(x - 1) == dcTabFill)
            --x;
        return x;
    }
    // Column of the tab-end cell of the tab that covers column x.
    int TabEnd(int x) const
    {
        while (x < Length() - 1 && At(x) == dcTabFill)
            ++x;
        return x;
    }
    // First column of the character that covers column x.
    int CharStart(int x) const
    {
        if (x < Indent)
            return x;
        if (IsTab(x))
            return TabStart(x);
        if (At(x) == dcTrail)
            return x - 1;
        return x;
    }
};

TRowCells RowCells(TCustomAFEdit& edit, int row)
{
    TRowCells rc;
    rc.Indent = std::max<int>(0, edit.GetLinesAttr(row)->Indent);
    AnsiString text = edit.GetLine(row);
    DisplayCells(rc.Cells, text.c_str(), text.Length(), edit.GetTabSize());
    return rc;
}
} // namespace

void TCustomAFEdit::CaretLeft()
{
    TPoint& c = FCaret;
    if (c.y < 0 || c.y >= GetLinesCount())
    {
        if (c.x > 0)
            --c.x;
        return;
    }
    TRowCells rc = RowCells(*this, c.y);
    const int len = rc.Length();
    if (c.x > rc.Indent)
    {
        if (c.x > len)
        {
            // Past the end of the text: back onto the last character, never into the indent.
            if (FOptions.Contains(aoFreeCaret))
                --c.x;
            else
                c.x = std::max(rc.Indent, rc.CharStart(len - 1));
            return;
        }
        if (rc.IsTab(c.x - 1))
            c.x = rc.TabStart(c.x - 1);
        else if (rc.At(c.x - 1) == dcTrail)
            c.x -= 2; // the lead byte lies inside the row's text, so this stays at or right of the indent
        else
            --c.x;
        return;
    }
    if (c.y == 0)
    {
        c.x = rc.Indent; // the caret cannot enter the indent
        return;
    }
    --c.y;
    TRowCells above = RowCells(*this, c.y);
    c.x = above.Length() - (isCrLine(c.y) ? 1 : 0); // onto the CR of a paragraph end
}

void TCustomAFEdit::CaretRight()
{
    TPoint& c = FCaret;
    const int rows = GetLinesCount();
    if (c.y < 0 || c.y >= rows)
    {
        ++c.x;
        return;
    }
    const bool freeCaret = FOptions.Contains(aoFreeCaret);
    TRowCells rc = RowCells(*this, c.y);
    const int len = rc.Length();
    if (c.x < rc.Indent)
        c.x = rc.Indent;
    else if (c.x > len - 1)
    {
        if (freeCaret)
            ++c.x;
    }
    else if (rc.IsTab(c.x))
        c.x = rc.TabEnd(c.x) + 1;
    else if (rc.At(c.x) == dcLead)
        c.x += 2;
    else
        ++c.x;
    // Past the last cell the caret goes on to the next row; a paragraph's CR column is a stop of
    // its own. The last row never ends a paragraph, so the caret stays at its end.
    if (!freeCaret && c.x > len - 1 && c.y < rows - 1)
    {
        ++c.y;
        c.x = std::max<int>(0, FAttrs->GetItem(c.y)->Indent);
    }
}

TPoint TCustomAFEdit::ColAdj(const TPoint& point, bool leftFirst)
{
    static bool toLeft = false; // shared by all editors: alternate adjustments go opposite ways
    if (leftFirst)
        toLeft = true;
    TPoint r = point;
    if (point.y >= 0 && point.y < GetLinesCount())
    {
        TRowCells rc = RowCells(*this, point.y);
        if (point.x >= rc.Indent && point.x < rc.Length() && rc.At(point.x) == dcTrail)
        {
            r.x += toLeft ? -1 : 1;
            toLeft = !toLeft;
        }
    }
    return r;
}

bool TCustomAFEdit::DoCtrlKeyPress(const TWMKey& message)
{
    TShiftState shift = KeyDataToShiftState(message.KeyData);
    ShiftSelecting = false;
    WORD code = message.CharCode;
    if (OnCtrlKeyDown)
    {
        OnCtrlKeyDown(this, code, shift);
        if (code == 0)
            return true;
    }
    switch (code)
    {
    case VK_BACK:
        // STUB: Backspace (a caret step left and a direct delete as one undo group; nothing at
        // the start of the text) comes with typing and deletion.
        return true;
    case VK_TAB:
        // STUB: Tab (a tab or TabSize - X mod TabSize spaces through KeyInput) comes with typing.
        return true;
    case VK_RETURN:
        // STUB: Enter (CR LF and the auto-indent prefix through KeyInput) comes with typing.
        return true;
    case VK_ESCAPE:
        FSelArea->PointReset();
        FSelArea->RowReset();
        Invalidate();
        return true;
    default:
        break;
    }
    // Other control characters are Ctrl commands of the key-down handler: never typed as text.
    bool control = code < 0x20 || code == 0x7F;
    return control && shift.Contains(ssCtrl) && !CtrlCharPassOn;
}
