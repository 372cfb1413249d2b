// Row indentation of the editor page: Tab and Shift+Tab over a block of rows, the F77 dialect's tab
// stops, text put at the head or the end of every row of a block, and the Home key's jump.
#include <windows.h>

#include <algorithm>
#include <string>

#include "editor_page/F77Columns.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Services.h"

namespace
{
int LeadingBlanks(const AnsiString& text)
{
    int n = 0;
    while (n < text.Length() && text.c_str()[n] == ' ')
        ++n;
    return n;
}

// A row's head is the head of a saved line only when the row starts a paragraph.
bool ParagraphHead(const nsRichEdit& ed, int row) { return row == 0 || ed.isCrLine(row - 1); }

// Text without its CR: a row holding only its CR is empty.
bool EmptyRow(const AnsiString& text) { return text.IsEmpty() || text == "\r"; }
} // namespace

bool nsRichEdit::BlockRows(int& first, int& last)
{
    const int rows = GetLinesCount();
    if (rows <= 0)
        return false;
    if (SelArea()->isRowAble())
    {
        first = SelArea()->GetStartRow();
        last = SelArea()->GetEndRow();
    }
    else if (SelArea()->isPointAble())
    {
        const TPoint s = SelArea()->GetStartPoint();
        const TPoint e = SelArea()->GetEndPoint();
        first = s.y;
        last = e.y;
        // An end at the start of a later row takes nothing of that row.
        if (e.y > s.y && LogicalPos(e) <= 0)
            --last;
    }
    else
        first = last = GetCaret().y;
    first = std::max(0, first);
    last = std::min(last, rows - 1);
    return first <= last;
}

template <class F>
void nsRichEdit::EditBlockRows(int first, int last, F change)
{
    // One group for the whole block, whichever rows are left as they are.
    SetUndoGroupId(UndoGroupId() + 1);
    const TPoint anchor = SelArea()->AnchorPoint();
    const TPoint moving = SelArea()->MovingPoint();
    const bool wasUpdating = Updating;
    Updating = true;
    int changedFirst = -1;
    int changedLast = -1;
    for (int row = first; row <= last && row < GetLinesCount(); ++row)
    {
        const AnsiString text = GetLine(row);
        AnsiString next = text;
        if (!change(row, next) || next == text)
            continue;
        LineChange(row, next, false);
        AttrList()->GetItem(row)->Dirty = true;
        NoteLineWidth(next.Length());
        changedFirst = changedFirst < 0 ? row : changedFirst;
        changedLast = row;
    }
    // Bottom up: a re-fold never moves a row still to be folded.
    for (int row = changedLast; row >= changedFirst && row >= 0; --row)
        if (row < GetLinesCount())
            FoldLine(row);
    Updating = wasUpdating;
    SelArea()->PutStartPoint(PointAlign(anchor));
    SelArea()->PutEndPoint(PointAlign(moving));
    FireUndoChange(UndoBuff()->Kept(), false);
    MarkDirtyFrom(first);
    Invalidate();
}


// ---- Tab and Home -----------------------------------------------------------------------------------

void nsRichEdit::WMChar(TWMChar& message)
{
    if (message.CharCode == '\t' && !GetReadOnly() && TabKey())
    {
        message.Result = 0;
        return;
    }
    TCustomAFEdit::WMChar(message);
}

bool nsRichEdit::TabKey()
{
    if (Services().GetKeyState(VK_SHIFT) < 0)
    {
        UnIndentRows();
        return true;
    }
    const bool f77 = CommentMode() == cmmF77;
    int first = 0, last = 0;
    const bool anySel = SelArea()->isPointAble() || SelArea()->isRowAble();
    if (anySel && BlockRows(first, last) && last > first)
    {
        if (GetOptions().Contains(aoAutoFormat))
            return true;
        int common = -1;
        if (f77)
            for (int row = first; row <= last; ++row)
            {
                const AnsiString text = GetLine(row);
                if (ParagraphHead(*this, row) && !EmptyRow(text) && !IsColumn1CommentRow(CommentList(), text))
                    common = common < 0 ? LeadingBlanks(text) : std::min(common, LeadingBlanks(text));
            }
        const AnsiString head = UseTab ? AnsiString("\t")
                                : f77  ? AnsiString::StringOfChar(' ', F77TabBlanks(std::max(0, common), GetTabSize()))
                                       : AnsiString::StringOfChar(' ', GetTabSize());
        EditBlockRows(first, last,
                      [&](int row, AnsiString& text)
                      {
                          if (!ParagraphHead(*this, row))
                              return false;
                          if (f77 && (EmptyRow(text) || IsColumn1CommentRow(CommentList(), text)))
                              return false;
                          text = head + text;
                          return true;
                      });
        return true;
    }
    const int col = SelArea()->isPointAble() ? SelArea()->GetStartPoint().x : GetCaret().x;
    if (f77)
    {
        if (OnCtrlKeyDown)
        {
            WORD key = VK_TAB;
            OnCtrlKeyDown(this, key, TShiftState());
            if (key == 0)
                return true;
        }
        KeyInput(AnsiString::StringOfChar(' ', F77TabBlanks(col, GetTabSize())));
        return true;
    }
    if (!UseTab)
    {
        const int tab = std::max(1, GetTabSize());
        KeyInput(AnsiString::StringOfChar(' ', tab - col % tab));
        return true;
    }
    return false;
}

void nsRichEdit::WMKeyDownProc(TWMKey& message)
{
    if (message.CharCode == VK_HOME && HOMEKeyGoAndRet && GetCaret().y >= 0 && GetCaret().y < GetLinesCount() &&
        GetCaret().x <= RowIndent(GetCaret().y))
        message.CharCode = VK_END;
    TCustomAFEdit::WMKeyDownProc(message);
}

// ---- unindent, head and end insertion -----------------------------------------------------------------

void nsRichEdit::UnIndentRows()
{
    int first = 0, last = 0;
    if (GetReadOnly() || !BlockRows(first, last))
        return;
    const bool hadSelection = SelArea()->isPointAble() || SelArea()->isRowAble();
    const bool f77 = CommentMode() == cmmF77;
    const int tab = std::max(1, GetTabSize());
    EditBlockRows(first, last,
                  [&](int row, AnsiString& text)
                  {
                      if (!ParagraphHead(*this, row) || EmptyRow(text))
                          return false;
                      int cut = 0;
                      if (f77)
                          cut = F77UnindentBlanks(LeadingBlanks(text), tab);
                      else if (text.c_str()[0] == '\t')
                          cut = 1;
                      else
                      {
                          cut = std::min(LeadingBlanks(text), tab);
                          if (cut < tab && cut < text.Length() && text.c_str()[cut] == '\t')
                              ++cut; // the tab that stood after too few blanks goes with them
                      }
                      if (cut == 0)
                          return false;
                      text = text.SubString(cut + 1, text.Length() - cut);
                      return true;
                  });
    if (!hadSelection)
    {
        // Onto the row's first character that is no blank.
        const int row = std::clamp(GetCaret().y, 0, GetLinesCount() - 1);
        const AnsiString text = GetLine(row);
        int i = 0;
        while (i < text.Length() && (text.c_str()[i] == ' ' || text.c_str()[i] == '\t'))
            ++i;
        const TPoint caret = DspPos(TPoint(i, row));
        SetCaretRaw(caret);
        SelArea()->PutStartPoint(caret);
        SelArea()->PutEndPoint(caret);
    }
    SetCaretPosition();
}

void nsRichEdit::InsertStrToRowHead(const AnsiString& text)
{
    int first = 0, last = 0;
    if (GetReadOnly() || text.IsEmpty() || !BlockRows(first, last))
        return;
    EditBlockRows(first, last,
                  [&](int row, AnsiString& line)
                  {
                      if (!ParagraphHead(*this, row))
                          return false;
                      line = text + line;
                      return true;
                  });
    SetCaretPosition();
}

void nsRichEdit::InsertStrToEndOfRow(const AnsiString& text)
{
    int first = 0, last = 0;
    if (GetReadOnly() || text.IsEmpty() || !BlockRows(first, last))
        return;
    const int rows = GetLinesCount();
    EditBlockRows(first, last,
                  [&](int row, AnsiString& line)
                  {
                      // Only where a saved line ends: at its CR, or at the end of the text.
                      if (isCrLine(row))
                          line = line.SubString(1, line.Length() - 1) + text + "\r";
                      else if (row == rows - 1)
                          line = line + text;
                      else
                          return false;
                      return true;
                  });
    SetCaretPosition();
}
