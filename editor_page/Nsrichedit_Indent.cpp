// Row indentation of the editor page: Tab and Shift+Tab over a block of rows, the F77 dialect's tab
// stops, text put at the head or the end of every row of a block, and the Home key's jump.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

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

// The rows widened to whole paragraphs: a block inside a wrapped paragraph still reaches its head and
// its end, where the block operations act.
void WholeParagraphs(const nsRichEdit& ed, int& first, int& last)
{
    while (first > 0 && !ParagraphHead(ed, first))
        --first;
    while (last < ed.GetLinesCount() - 1 && !ed.isCrLine(last))
        ++last;
}

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

namespace
{
// A place in the text from the start of a row on, as a byte count; bytes put in or taken out at
// a row move it as they move its character.
struct TBlockPlaces
{
    struct TEdit
    {
        int at;    // bytes from the first row's start, before any edit
        int delta; // bytes put in (taken out when negative)
    };
    std::vector<TEdit> edits;

    // Bytes from the start of row first to a display point (its row at or below first).
    static int Offset(nsRichEdit& ed, int first, const TPoint& p)
    {
        int off = 0;
        for (int r = first; r < p.y; ++r)
            off += ed.GetLine(r).Length();
        return off + std::clamp(ed.LogicalPos(p), 0, ed.GetLine(p.y).Length());
    }
    // A place at an edit stays before what went in; one inside what went out goes to where it was.
    int Moved(int off) const
    {
        int shift = 0;
        for (const TEdit& e : edits)
        {
            if (off <= e.at)
                break;
            if (e.delta < 0 && off < e.at - e.delta)
                return e.at + shift;
            shift += e.delta;
        }
        return off + shift;
    }
    // The display point of a byte count from row first's start; at the end of a wrapped piece, the
    // start of the next row, where typing goes on.
    static TPoint PointOf(nsRichEdit& ed, int first, int off)
    {
        const int rows = ed.GetLinesCount();
        int r = first;
        for (; r < rows - 1; ++r)
        {
            const int len = ed.GetLine(r).Length();
            if (off < len)
                break;
            off -= len;
        }
        return ed.DspPos(TPoint(std::clamp(off, 0, ed.GetLine(r).Length()), r));
    }
};
} // namespace

template <class F>
void nsRichEdit::EditBlockRows(int first, int last, F change)
{
    // One group for the whole block, whichever rows are left as they are.
    SetUndoGroupId(UndoGroupId() + 1);
    const TPoint points[3] = {SelArea()->AnchorPoint(), SelArea()->MovingPoint(), GetCaret()};
    int offsets[3];
    for (int k = 0; k < 3; ++k)
    {
        const bool inBlock = points[k].y >= first && points[k].y < GetLinesCount();
        offsets[k] = inBlock ? TBlockPlaces::Offset(*this, first, points[k]) : -1;
    }
    TBlockPlaces places;
    const bool wasUpdating = Updating;
    Updating = true;
    int changedFirst = -1;
    int changedLast = -1;
    int rowStart = 0;
    for (int row = first; row <= last && row < GetLinesCount(); ++row)
    {
        const AnsiString text = GetLine(row);
        AnsiString next = text;
        int at = 0;
        if (change(row, next, at) && next != text)
        {
            LineChange(row, next, false);
            AttrList()->SetDirty(row, true);
            NoteLineWidth(next.Length());
            changedFirst = changedFirst < 0 ? row : changedFirst;
            changedLast = row;
            places.edits.push_back({rowStart + at, next.Length() - text.Length()});
        }
        rowStart += text.Length();
    }
    // Bottom up: a re-fold never moves a row still to be folded.
    for (int row = changedLast; row >= changedFirst && row >= 0; --row)
        if (row < GetLinesCount())
            FoldLine(row);
    Updating = wasUpdating;
    TPoint after[3];
    for (int k = 0; k < 3; ++k)
    {
        if (offsets[k] < 0)
            after[k] = PointAlign(points[k]);
        else
            after[k] = PointAlign(TBlockPlaces::PointOf(*this, first, places.Moved(offsets[k])));
    }
    SelArea()->PutStartPoint(after[0]);
    SelArea()->PutEndPoint(after[1]);
    SetCaretRaw(after[2]);
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
        WholeParagraphs(*this, first, last);
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
                      [&](int row, AnsiString& text, int& at)
                      {
                          if (!ParagraphHead(*this, row))
                              return false;
                          if (f77 && (EmptyRow(text) || IsColumn1CommentRow(CommentList(), text)))
                              return false;
                          text = head + text;
                          at = 0;
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
    WholeParagraphs(*this, first, last);
    const bool hadSelection = SelArea()->isPointAble() || SelArea()->isRowAble();
    const bool f77 = CommentMode() == cmmF77;
    const int tab = std::max(1, GetTabSize());
    EditBlockRows(first, last,
                  [&](int row, AnsiString& text, int& at)
                  {
                      at = 0;
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
        // Onto the paragraph's first character that is no blank.
        int row = std::clamp(GetCaret().y, 0, GetLinesCount() - 1);
        while (row > 0 && !ParagraphHead(*this, row))
            --row;
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
    WholeParagraphs(*this, first, last);
    EditBlockRows(first, last,
                  [&](int row, AnsiString& line, int& at)
                  {
                      if (!ParagraphHead(*this, row))
                          return false;
                      line = text + line;
                      at = 0;
                      return true;
                  });
    SetCaretPosition();
}

void nsRichEdit::InsertStrToEndOfRow(const AnsiString& text)
{
    int first = 0, last = 0;
    if (GetReadOnly() || text.IsEmpty() || !BlockRows(first, last))
        return;
    WholeParagraphs(*this, first, last);
    const int rows = GetLinesCount();
    EditBlockRows(first, last,
                  [&](int row, AnsiString& line, int& at)
                  {
                      // Only where a saved line ends: at its CR, or at the end of the text.
                      if (isCrLine(row))
                      {
                          at = line.Length() - 1;
                          line = line.SubString(1, at) + text + "\r";
                      }
                      else if (row == rows - 1)
                      {
                          at = line.Length();
                          line = line + text;
                      }
                      else
                          return false;
                      return true;
                  });
    SetCaretPosition();
}
