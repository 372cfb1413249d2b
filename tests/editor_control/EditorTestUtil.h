// Helpers shared by the editor control's tests.
#pragma once

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "platform/Classes.h"

inline std::ostream& operator<<(std::ostream& os, const AnsiString& s) { return os << s.str(); }
inline std::ostream& operator<<(std::ostream& os, const TPoint& p) { return os << "(" << p.x << ", " << p.y << ")"; }

// A WM_CHAR of the code, as the editor's key handlers take it.
inline TWMKey CharKey(WORD code)
{
    TMessage m;
    m.Msg = WM_CHAR;
    m.WParam = code;
    return TWMKey(m);
}

// An editor with no window: enough for everything but drawing and input.
inline std::unique_ptr<TAFEdit> NewEditor() { return std::unique_ptr<TAFEdit>(Create<TAFEdit>(nullptr)); }

// Loads bytes as a file would be loaded (folded unless told otherwise).
inline void LoadText(TCustomAFEdit& ed, const std::string& bytes, TConvMode modes = TConvMode{cmFoldLine})
{
    TStringStream stream(AnsiString(bytes.data(), int(bytes.size())));
    ed.LoadFromStream(&stream, modes);
}

inline std::vector<std::string> RowsOf(TCustomAFEdit& ed)
{
    std::vector<std::string> rows;
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        rows.push_back(ed.GetLine(i).str());
    return rows;
}

// Rows given exactly, each with a fresh attribute record; the caret and selection stay as they
// are. A row without a final CR is folded into the next one.
inline void PutRows(TCustomAFEdit& ed, const std::vector<std::string>& rows)
{
    ed.Lines()->Clear();
    ed.AttrList()->Clear();
    for (const std::string& r : rows)
    {
        ed.Lines()->Add(AnsiString(r.data(), int(r.size())));
        ed.AttrList()->Add(ed.MakeAttr(false, 0, 500));
    }
}

// The rows as PutRows gives them, with no selection and the caret at the start.
inline void LoadRows(TCustomAFEdit& ed, const std::vector<std::string>& rows)
{
    PutRows(ed, rows);
    ed.SelArea()->PointReset();
    ed.SelArea()->RowReset();
    ed.SetCaretRaw(TPoint(0, 0));
}

// The rows back to back: the text with CR line ends.
inline std::string JoinedRows(TCustomAFEdit& ed)
{
    std::string s;
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        s += ed.GetLine(i).str();
    return s;
}

// Offset into the joined rows of a display point (a point in the indent stands at its row's start).
inline size_t OffsetOfDisplayPoint(TCustomAFEdit& ed, const TPoint& display)
{
    size_t at = 0;
    for (int i = 0; i < display.y && i < ed.GetLinesCount(); ++i)
        at += size_t(ed.GetLine(i).Length());
    int col = ed.LogicalPos(display);
    return at + size_t(std::max(0, std::min(col, ed.GetLine(display.y).Length())));
}

// Display point of an offset into the joined rows (an offset at a row end goes to the next row).
inline TPoint PointOf(TCustomAFEdit& ed, size_t offset)
{
    size_t at = 0;
    for (int row = 0; row < ed.GetLinesCount(); ++row)
    {
        size_t len = size_t(ed.GetLine(row).Length());
        if (offset < at + len || row == ed.GetLinesCount() - 1)
            return ed.DspPos(TPoint(int(offset - at), row));
        at += len;
    }
    return TPoint(0, 0);
}
