// The editor page's clipboard: the box selection (copy, paste, deletion) beside the control's
// character and row selections.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "editor_control/AFEditText.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Clipbrd.h"
#include "platform/SysUtils.h"

namespace
{
constexpr char kIndentCell = 0x01;
constexpr char kTabFill = 0x0B;

unsigned BoxFormat() { return RegisterClipboardFormatSjis("VNEDIT_RANGE_SELECT"); }

// The piece [a, b) of a row's display cells that a box [left, right) takes: a character cut by
// an edge is taken whole, and the piece never reaches past the row. A box without width takes
// nothing, not even the character its column falls inside: copy, cut and deletion all read this.
void BoxPiece(const std::vector<TDspCell>& cells, int left, int right, int& a, int& b)
{
    const int n = int(cells.size());
    a = std::min(left, n);
    b = std::clamp(right, a, n);
    if (right <= left)
    {
        b = a;
        return;
    }
    if (a > 0 && a < n && cells[size_t(a)] == dcTrail)
        --a;
    if (b < n && cells[size_t(b)] == dcTrail)
        ++b;
}

// Display form of a paste line made ready for typing: indent cells become blanks, a tab's fill
// goes (its last cell is the tab itself) unless the tab was cut off, and other control bytes go.
std::string TypableLine(const std::string& line)
{
    std::string out;
    for (size_t i = 0; i < line.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == kIndentCell)
            out.push_back(' ');
        else if (c == kTabFill)
        {
            size_t j = i;
            while (j < line.size() && line[j] == kTabFill)
                ++j;
            const bool whole = j < line.size() && line[j] == '\t';
            if (!whole)
                out.push_back(' ');
        }
        else if (c >= 0x20 || c == '\t')
            out.push_back(char(c));
    }
    return out;
}
} // namespace

// ---- the box --------------------------------------------------------------------------------------

bool nsRichEdit::BoxBounds(int& top, int& bottom, int& left, int& right) const
{
    if (!IsRangeSelect())
        return false;
    const TPoint a = SelArea()->AnchorPoint();
    const TPoint e = SelArea()->MovingPoint();
    top = std::min(a.y, e.y);
    bottom = std::max(a.y, e.y);
    left = std::min(a.x, e.x);
    right = std::max(a.x, e.x);
    return true;
}

namespace
{
// A row as the screen shows it: indent cells, then tab cells; no CR or LF. Its cells pair the
// bytes as the row does (a lead byte before a tab or a CR stands alone), which the display form
// alone cannot tell.
struct TBoxRow
{
    std::string form;
    std::vector<TDspCell> cells;
};

TBoxRow DisplayRow(nsRichEdit& ed, int row)
{
    const AnsiString text = ed.GetLine(row);
    int len = text.Length();
    while (len > 0 && (text.c_str()[len - 1] == '\r' || text.c_str()[len - 1] == '\n'))
        --len;
    const size_t indent = size_t(std::max<int>(0, ed.AttrList()->Peek(row).Indent));
    TBoxRow r;
    r.form.assign(indent, kIndentCell);
    r.form += ed.TabExpand(text.SubString(1, len), false).str();
    DisplayCells(r.cells, text.c_str(), len, ed.GetTabSize());
    r.cells.insert(r.cells.begin(), indent, dcSingle);
    return r;
}
} // namespace

bool nsRichEdit::isSelArea(int col, int row, int attrRow, const AnsiString& s)
{
    int top = 0, bottom = 0, left = 0, right = 0;
    if (!BoxBounds(top, bottom, left, right))
        return TCustomAFEdit::isSelArea(col, row, attrRow, s);
    if (row < top || row > bottom || right <= left)
        return false;
    if (col >= left && col < right)
        return true;
    // A character cut by an edge is taken whole, and shows so; only the cells beside the edges
    // need the row's cells.
    if ((col != left - 1 && col != right) || row >= GetLinesCount())
        return false;
    int a = 0, b = 0;
    BoxPiece(DisplayRow(*this, row).cells, left, right, a, b);
    return col >= a && col < b;
}

AnsiString nsRichEdit::BoxText(bool displayForm)
{
    int top = 0, bottom = 0, left = 0, right = 0;
    if (!BoxBounds(top, bottom, left, right))
        return AnsiString();
    std::string out;
    bottom = std::min(bottom, GetLinesCount() - 1);
    for (int row = std::max(0, top); row <= bottom; ++row)
    {
        const TBoxRow r = DisplayRow(*this, row);
        if (r.form.empty())
            continue;
        int a = 0, b = 0;
        BoxPiece(r.cells, left, right, a, b);
        std::string piece = r.form.substr(size_t(a), size_t(b - a));
        if (!displayForm)
            for (char& c : piece)
                if (c == kIndentCell || c == kTabFill || c == '\t')
                    c = ' ';
        out += piece + "\r\n";
    }
    return AnsiString(out.data(), int(out.size()));
}

void nsRichEdit::CopySelToClipboard()
{
    if (!IsRangeSelect())
    {
        SelectAreaCopy(false);
        return;
    }
    int top = 0, bottom = 0, left = 0, right = 0;
    if (BoxBounds(top, bottom, left, right) && left == right)
        return; // a box without width (an Alt+click) holds nothing: the clipboard keeps what it has
    const AnsiString form = BoxText(true);
    TClipboard* clip = Clipboard();
    clip->Open();
    try
    {
        // Other programs read blanks; a box paste reads the display form, tabs and all.
        clip->SetAsText(BoxText(false));
        clip->SetBuffer(BoxFormat(), form.c_str(), form.Length() + 1);
    }
    catch (...)
    {
        clip->Close();
        throw;
    }
    clip->Close();
}

// ---- pasting ----------------------------------------------------------------------------------------

void nsRichEdit::ClipInsert()
{
    if (GetReadOnly())
        return;
    AnsiString box;
    bool isBox = false;
    try
    {
        TClipboard* clip = Clipboard();
        clip->Open();
        try
        {
            isBox = clip->HasFormat(BoxFormat());
            if (isBox)
                box = clip->GetBuffer(BoxFormat());
        }
        catch (...)
        {
            clip->Close();
            throw;
        }
        clip->Close();
    }
    catch (const Exception&)
    {
        return; // another program holds the clipboard: nothing to paste, as the control does
    }
    if (!isBox)
    {
        TCustomAFEdit::ClipInsert();
        return;
    }
    PasteBox(AnsiString(box.c_str(), int(std::strlen(box.c_str()))));
}

void nsRichEdit::PasteBox(const AnsiString& displayText)
{
    std::vector<std::string> lines;
    {
        const std::string t = displayText.str();
        size_t start = 0;
        for (size_t i = 0; i <= t.size(); ++i)
            if (i == t.size() || t[i] == '\r' || t[i] == '\n')
            {
                if (i < t.size() || i > start)
                    lines.push_back(TypableLine(t.substr(start, i - start)));
                if (i + 1 < t.size() && t[i] == '\r' && t[i + 1] == '\n')
                    ++i;
                start = i + 1;
            }
    }
    if (lines.empty() || GetReadOnly())
        return;
    if (HandleAllocated())
        HideCaret(Handle());
    const bool wasUpdating = Updating;
    const bool wasInsert = GetInsertMode();
    Updating = true;
    if (SelArea()->isPointAble() || SelArea()->isRowAble())
        SelectAreaDel();
    else
        SetUndoGroupId(UndoGroupId() + 1);
    SetRangeSelect(false);
    SetInsertMode(true);
    const int group = UndoGroupId();
    const TPoint at = GetCaret();
    const int X = std::max(0, at.x);
    BeginUpdate();
    try
    {
        for (size_t i = 0; i < lines.size(); ++i)
        {
            const int row = at.y + int(i);
            // The box needs a row for each of its lines: the text grows at its end.
            while (row >= GetLinesCount())
            {
                const int last = GetLinesCount() - 1;
                SetCaretRaw(TPoint(RowIndent(last) + TabExpand(GetLine(last), false).Length(), last));
                SetUndoGroupId(group - 1);
                KeyInput("\r");
            }
            const TBoxRow form = DisplayRow(*this, row);
            const int n = int(form.form.size());
            std::string s = lines[i];
            TPoint caret(X, row);
            if (n < X)
            {
                s.insert(0, size_t(X - n), ' ');
                caret.x = n;
            }
            else if (X < n && form.cells[size_t(X)] == dcTrail)
                caret.x = X - 1; // onto the start of the character under the column
            if (s.empty())
                continue;
            SetCaretRaw(caret);
            SelArea()->PutStartPoint(caret);
            SelArea()->PutEndPoint(caret);
            SetUndoGroupId(group - 1);
            KeyInput(AnsiString(s.data(), int(s.size())));
        }
    }
    catch (...)
    {
        EndUpdate();
        SetUndoGroupId(group);
        SetInsertMode(wasInsert);
        Updating = wasUpdating;
        throw;
    }
    EndUpdate();
    SetUndoGroupId(group);
    SetInsertMode(wasInsert);
    Updating = wasUpdating;
    FireUndoChange(UndoBuff()->Kept(), false);
    ScrollCaretIntoViewAfterPaste();
    if (HandleAllocated())
        ShowCaret(Handle());
}

// ---- deleting a box ---------------------------------------------------------------------------------

void nsRichEdit::SelectAreaDel()
{
    int top = 0, bottom = 0, left = 0, right = 0;
    if (!BoxBounds(top, bottom, left, right) || !SelArea()->isPointAble())
    {
        TCustomAFEdit::SelectAreaDel();
        return;
    }
    SetUndoGroupId(UndoGroupId() + 1);
    top = std::max(0, top);
    bottom = std::min(bottom, GetLinesCount() - 1);
    // The caret goes to the box's left edge in its top row, at the start of the character there.
    int caretCol = left;
    for (int row = bottom; row >= top; --row)
    {
        const std::vector<TDspCell> cells = DisplayRow(*this, row).cells;
        if (row == top && left > 0 && left < int(cells.size()) && cells[size_t(left)] == dcTrail)
            caretCol = left - 1;
        int a = 0, b = 0;
        BoxPiece(cells, left, right, a, b);
        if (b <= a)
            continue;
        const AnsiString text = GetLine(row);
        const int indent = RowIndent(row);
        const int body = text.Length() - (isCrLine(row) ? 1 : 0); // the CR stays
        auto logical = [&](int dspCol)
        { return dspCol <= indent ? 0 : DspColToLogCol(text.c_str(), text.Length(), GetTabSize(), dspCol - indent); };
        const int from = std::clamp(logical(a), 0, body);
        const int to = std::clamp(logical(b), from, body);
        if (to <= from)
            continue;
        ColAttrEdit(row, from, to - from, emDelete);
        BlkAttrEdit(row, from, to - from, emDelete);
        LineChange(row, text.SubString(1, from) + text.SubString(to + 1, text.Length() - to), false);
        AttrList()->SetDirty(row, true);
    }
    SetDragMode(dmNone);
    // Bottom up, so that a re-fold never moves a row still to be folded.
    for (int row = bottom; row >= top; --row)
        if (row < GetLinesCount())
            FoldLine(row);
    const TPoint caret = PointAlign(TPoint(caretCol, top));
    SetCaretRaw(caret);
    if (GetTopLine() > caret.y)
        SetTopLineRaw(caret.y);
    SelArea()->RowReset();
    SelArea()->PutStartPoint(caret);
    SelArea()->PutEndPoint(caret);
    MarkDirtyFrom(top);
    Invalidate();
    SetCaretPosition();
}
