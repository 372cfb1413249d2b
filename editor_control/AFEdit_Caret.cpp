// Caret steps by one character, the column adjustment onto character boundaries, and the
// control characters the user types.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"
#include "platform/Services.h"

namespace
{
// A row as the caret sees it: indent cells (spaces) followed by the cells of its expanded text.
struct TRowCells
{
    int Row = -1;
    int Indent = 0;
    AnsiString Text;
    std::vector<TDspCell> Cells;
    std::vector<int> LogCols; // byte of the text under each cell

    int Length() const { return Indent + int(Cells.size()); }
    bool EndsParagraph() const { return Text.Length() > 0 && Text.c_str()[Text.Length() - 1] == '\r'; }
    // Cell at display column x; the indent counts as blanks.
    TDspCell At(int x) const { return x < Indent ? dcSingle : Cells[size_t(x - Indent)]; }
    // Byte of the text under display column x (Indent <= x < Length()).
    unsigned char ByteAt(int x) const
    {
        return static_cast<unsigned char>(Text.c_str()[LogCols[size_t(x - Indent)]]);
    }
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

void LoadRowCells(TRowCells& rc, TCustomAFEdit& edit, int row)
{
    rc.Row = row;
    rc.Indent = edit.RowIndent(row);
    rc.Text = edit.GetLine(row);
    DisplayCells(rc.Cells, rc.Text.c_str(), rc.Text.Length(), edit.GetTabSize());
    rc.LogCols.resize(rc.Cells.size());
    int b = 0;
    for (size_t i = 0; i < rc.Cells.size(); ++i)
    {
        rc.LogCols[i] = b;
        switch (rc.Cells[i])
        {
        case dcSingle:
        case dcTabEnd:
            ++b;
            break;
        case dcLead:
            rc.LogCols[i + 1] = b + 1;
            b += 2;
            ++i;
            break;
        default:
            break; // tab fill: the tab's byte
        }
    }
}

bool IsWordByte(unsigned char b)
{
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

// Steps the caret by characters. The cells of the last two rows it stood on are kept, so a run
// of steps (a word move) expands each row once, not once per step.
class TCaretStepper
{
public:
    explicit TCaretStepper(TCustomAFEdit& edit) : edit_(edit) {}

    void Left(TPoint& c)
    {
        if (c.y < 0 || c.y >= edit_.GetLinesCount())
        {
            if (c.x > 0)
                --c.x;
            return;
        }
        const TRowCells& rc = Row(c.y);
        const int len = rc.Length();
        if (c.x > rc.Indent)
        {
            if (c.x > len)
            {
                // Past the end of the text: back onto the last character, never into the indent.
                if (edit_.GetOptions().Contains(aoFreeCaret))
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
        const TRowCells& above = Row(c.y);
        c.x = above.Length() - (above.EndsParagraph() ? 1 : 0); // onto the CR of a paragraph end
    }

    void Right(TPoint& c)
    {
        const int rows = edit_.GetLinesCount();
        if (c.y < 0 || c.y >= rows)
        {
            ++c.x;
            return;
        }
        const bool freeCaret = edit_.GetOptions().Contains(aoFreeCaret);
        const TRowCells& rc = Row(c.y);
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
            c.x = edit_.RowIndent(c.y);
        }
    }

    // Left, and on over the end of a wrapped piece onto its last character: that end is no
    // character of its own, the text runs on into the next row.
    void LeftChar(TPoint& c)
    {
        const int row = c.y;
        Left(c);
        if (c.y != row && c.y >= 0 && c.y < edit_.GetLinesCount() && !Row(c.y).EndsParagraph() &&
            c.x >= Row(c.y).Length() && Row(c.y).Length() > Row(c.y).Indent)
            Left(c);
    }

    // ---- what lies under the caret; a caret left of the indent counts as standing at it ----

    bool OnChar(const TPoint& c) { return Column(c) >= 0; }
    // Not on a character, or on anything but an ASCII letter or digit.
    bool OnDelimiter(const TPoint& c)
    {
        int x = Column(c);
        if (x < 0)
            return true;
        const TRowCells& rc = Row(c.y);
        TDspCell cell = rc.At(x);
        return cell == dcLead || cell == dcTrail || !IsWordByte(rc.ByteAt(x));
    }
    bool OnDoubleByte(const TPoint& c)
    {
        int x = Column(c);
        if (x < 0)
            return false;
        TDspCell cell = Row(c.y).At(x);
        return cell == dcLead || cell == dcTrail;
    }
    bool OnCr(const TPoint& c)
    {
        int x = Column(c);
        return x >= 0 && Row(c.y).At(x) == dcSingle && Row(c.y).ByteAt(x) == '\r';
    }
    // A step left would leave the caret where it is: the start of the text (which may be the
    // indent of row 0, not column 0).
    bool AtStart(const TPoint& c)
    {
        TPoint t = c;
        Left(t);
        return t == c;
    }

private:
    // Display column of the character under c, or -1 when there is none.
    int Column(const TPoint& c)
    {
        if (c.y < 0 || c.y >= edit_.GetLinesCount() || c.x < 0)
            return -1;
        const TRowCells& rc = Row(c.y);
        int x = std::max(c.x, rc.Indent);
        return x < rc.Length() ? x : -1;
    }

    const TRowCells& Row(int row)
    {
        for (int i = 0; i < 2; ++i)
        {
            if (rows_[i].Row == row)
            {
                next_ = i ^ 1; // the other row is the one to give up
                return rows_[i];
            }
        }
        TRowCells& slot = rows_[next_];
        next_ ^= 1;
        LoadRowCells(slot, edit_, row);
        return slot;
    }

    TCustomAFEdit& edit_;
    TRowCells rows_[2];
    int next_ = 0;
};

// Word moves and Enter never use the free caret: they stop at row ends like the text does.
class TFreeCaretOff
{
public:
    explicit TFreeCaretOff(TAFEditOptions& options) : options_(options), was_(options.Contains(aoFreeCaret))
    {
        options_ >> aoFreeCaret;
    }
    ~TFreeCaretOff()
    {
        if (was_)
            options_ << aoFreeCaret;
    }
    TFreeCaretOff(const TFreeCaretOff&) = delete;
    TFreeCaretOff& operator=(const TFreeCaretOff&) = delete;

private:
    TAFEditOptions& options_;
    bool was_;
};
} // namespace

void TCustomAFEdit::CaretLeft()
{
    TCaretStepper step(*this);
    step.Left(FCaret);
}

void TCustomAFEdit::CaretRight()
{
    TCaretStepper step(*this);
    step.Right(FCaret);
}

void TCustomAFEdit::Backspace()
{
    if (FSelArea->isPointAble() || FSelArea->isRowAble())
    {
        SelectAreaDel(); // its own undo group; never the clipboard, whatever Shift says
        return;
    }
    const TPoint before = FCaret;
    TCaretStepper step(*this);
    step.LeftChar(FCaret);
    // Nothing lies before the start of the text; a caret in row 0's indent only goes to the indent.
    if (FCaret.y < before.y || (FCaret.y == before.y && FCaret.x < before.x))
        DeleteAtCaret();
    CaretMoveResultPaint();
    ValiPaint();
}

void TCustomAFEdit::NewLineWithIndent()
{
    AnsiString prefix;
    const int row = FCaret.y;
    const bool jpn = FOptions.Contains(aoAutoJpnIndent);
    if ((jpn || FOptions.Contains(aoAutoIndent)) && row >= 0 && row < GetLinesCount())
    {
        AnsiString text = GetLine(row);
        // The blanks the row starts with, up to the caret (left of the indent: none).
        const int logCol = std::min(std::max(0, LogicalPos(FCaret)), text.Length());
        const auto* t = reinterpret_cast<const unsigned char*>(text.c_str());
        int n = 0;
        while (n < logCol)
        {
            if (t[n] == ' ' || t[n] == '\t')
                ++n;
            else if (jpn && n + 1 < logCol && t[n] == 0x81 && t[n + 1] == 0x40)
                n += 2; // a full-width space
            else
                break;
        }
        prefix = text.SubString(1, n);
    }
    const bool wasInsert = FInsertMode;
    FInsertMode = true;
    try
    {
        TFreeCaretOff off(FOptions);
        KeyInput("\r\n" + prefix);
    }
    catch (...)
    {
        FInsertMode = wasInsert;
        throw;
    }
    FInsertMode = wasInsert;
}

void TCustomAFEdit::WordLeft()
{
    TFreeCaretOff off(FOptions);
    TCaretStepper step(*this);
    TPoint& c = FCaret;
    // Every loop also ends at the start of the text, where a step no longer moves the caret.
    step.LeftChar(c);
    if (step.OnDoubleByte(c))
        return; // one double-byte character
    while (step.OnDelimiter(c) && !step.OnDoubleByte(c) && !step.OnCr(c) && !step.AtStart(c))
        step.LeftChar(c);
    if (step.OnCr(c))
        return; // a paragraph end stops the move
    bool overshot = false;
    while (!step.OnDelimiter(c) && !step.OnDoubleByte(c) && !step.AtStart(c))
    {
        step.LeftChar(c);
        overshot = step.OnDelimiter(c) || step.OnDoubleByte(c);
    }
    // Back from the character before the word onto its first letter; a word that begins the text
    // is already there.
    if (overshot || !step.AtStart(c))
        step.Right(c);
}

void TCustomAFEdit::WordRight()
{
    TFreeCaretOff off(FOptions);
    TCaretStepper step(*this);
    TPoint& c = FCaret;
    if (step.OnDoubleByte(c))
    {
        step.Right(c);
        return;
    }
    auto moved = [&] {
        TPoint before = c;
        step.Right(c);
        return c != before;
    };
    while (step.OnChar(c) && !step.OnDelimiter(c))
        if (!moved())
            return;
    if (step.OnCr(c) && !moved())
        return;
    while (step.OnDelimiter(c) && step.OnChar(c) && !step.OnCr(c) && !step.OnDoubleByte(c))
        if (!moved())
            return;
}

TPoint TCustomAFEdit::ColAdj(const TPoint& point, bool leftFirst)
{
    static bool toLeft = false; // shared by all editors: alternate adjustments go opposite ways
    if (leftFirst)
        toLeft = true;
    TPoint r = point;
    if (point.y >= 0 && point.y < GetLinesCount())
    {
        TRowCells rc;
        LoadRowCells(rc, *this, point.y);
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
    WORD code = message.CharCode;
    // The key state is asked only where it is used: a printable character with no handlers needs
    // none, and each question is a trip to the window system.
    const bool controlChar = code < 0x20 || code == 0x7F;
    const TShiftState shift =
        OnCtrlKeyDown || OnAfterCtrlKeyDown || controlChar ? KeyDataToShiftState(message.KeyData) : TShiftState();
    ShiftSelecting = false;
    if (OnCtrlKeyDown)
    {
        OnCtrlKeyDown(this, code, shift);
        if (code == 0)
            return true;
    }
    switch (code)
    {
    case VK_BACK:
        // Ctrl+Backspace brings this character on some systems (others give 127): its key-down
        // was the whole command. Ctrl+H, the same character from another key, is Backspace.
        if (shift.Contains(ssCtrl) && Services().GetKeyState(VK_BACK) < 0)
            return true;
        if (!FReadOnly)
            Backspace();
        if (OnAfterCtrlKeyDown)
            OnAfterCtrlKeyDown(this, code, shift);
        return true;
    case VK_TAB:
        ++FUndoGroupId;
        if (!FReadOnly)
        {
            if (FOptions.Contains(aoTabToSp))
                KeyInput(AnsiString::StringOfChar(' ', FTabSize - FCaret.x % std::max(1, FTabSize)));
            else
                KeyInput("\t");
        }
        if (OnAfterCtrlKeyDown)
            OnAfterCtrlKeyDown(this, code, shift);
        return true;
    case VK_RETURN:
        if (!FReadOnly)
            NewLineWithIndent();
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
