// Text retrieval, typing, pasting and deleting: each user operation is one undo group.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"
#include "platform/Clipbrd.h"

namespace
{
AnsiString WithoutCr(const AnsiString& s)
{
    return s.Length() > 0 && s.c_str()[s.Length() - 1] == '\r' ? s.SubString(1, s.Length() - 1) : s;
}

// Drops control bytes except TAB and CR.
AnsiString FilterControls(const AnsiString& s)
{
    std::string out;
    out.reserve(size_t(s.Length()));
    for (int i = 0; i < s.Length(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(s.c_str()[i]);
        if (c >= 0x20 || c == '\t' || c == '\r')
            out.push_back(char(c));
    }
    return AnsiString(out.data(), int(out.size()));
}

// Splits at CR LF, CR or LF.
std::vector<AnsiString> SplitLines(const AnsiString& t, bool& endsWithBreak)
{
    std::vector<AnsiString> lines;
    const char* s = t.c_str();
    int n = t.Length();
    int start = 0;
    endsWithBreak = false;
    for (int i = 0; i < n; ++i)
    {
        if (s[i] == '\r' || s[i] == '\n')
        {
            lines.emplace_back(s + start, i - start);
            if (s[i] == '\r' && i + 1 < n && s[i + 1] == '\n')
                ++i;
            start = i + 1;
            endsWithBreak = start == n;
        }
    }
    if (start < n || lines.empty())
        lines.emplace_back(s + start, n - start);
    return lines;
}

AnsiString StripLineEnds(const AnsiString& s)
{
    std::string out;
    for (int i = 0; i < s.Length(); ++i)
        if (s.c_str()[i] != '\r' && s.c_str()[i] != '\n')
            out.push_back(s.c_str()[i]);
    return AnsiString(out.data(), int(out.size()));
}
} // namespace

// ---- text retrieval -----------------------------------------------------------------------

AnsiString TCustomAFEdit::GetRangeText(const TPoint& startIn, const TPoint& endIn, bool display)
{
    TPoint start = startIn;
    TPoint end = endIn;
    int n = GetLinesCount();
    if (n == 0 || (end.x == 0 && end.y == 0))
        return AnsiString();
    start.y = std::clamp(start.y, 0, n - 1);
    end.y = std::clamp(end.y, 0, n - 1);
    start.x = std::clamp(start.x, 0, GetLine(start.y).Length());
    if (end.x < 0)
        end.x = GetLine(end.y).Length();
    if (end.x == 0 && end.y > 0)
    {
        end.y -= 1;
        end.x = GetLine(end.y).Length();
    }
    end.x = std::clamp(end.x, 0, GetLine(end.y).Length());
    if (end.y < start.y || (end.y == start.y && end.x <= start.x))
        return AnsiString();

    AnsiString endRow = GetLine(end.y);
    bool crEnd = end.x > 0 && endRow.c_str()[end.x - 1] == '\r';

    auto displayOf = [&](int row) {
        std::string out(size_t(std::max<int>(0, AttrList()->GetItem(row)->Indent)), ' ');
        AnsiString t = WithoutCr(GetLine(row));
        AppendTabExpansion(out, t.c_str(), t.Length(), FTabSize, true);
        return out;
    };
    auto blankPrefix = [&](std::string s, int cols) {
        for (int i = 0; i < cols && i < int(s.size()); ++i)
            s[size_t(i)] = ' ';
        return s;
    };

    std::vector<std::string> lines;
    if (start.y == end.y)
    {
        AnsiString t = WithoutCr(endRow);
        if (display)
        {
            std::string d = blankPrefix(displayOf(start.y), DspPos(start).x);
            d.resize(std::min(d.size(), size_t(std::max(0, DspPos(end).x))));
            lines.push_back(d);
        }
        else
        {
            int to = std::min(end.x, t.Length());
            lines.push_back(to > start.x ? t.SubString(start.x + 1, to - start.x).str() : std::string());
        }
    }
    else
    {
        AnsiString first = WithoutCr(GetLine(start.y));
        if (display)
            lines.push_back(blankPrefix(displayOf(start.y), DspPos(start).x));
        else
            lines.push_back(first.SubString(start.x + 1, first.Length()).str());
        bool prevEnded = isCrLine(start.y);
        for (int row = start.y + 1; row < end.y; ++row)
        {
            if (display)
                lines.push_back(displayOf(row));
            else if (prevEnded)
                lines.push_back(WithoutCr(GetLine(row)).str());
            else
                lines.back() += WithoutCr(GetLine(row)).str();
            prevEnded = isCrLine(row);
        }
        AnsiString last = WithoutCr(endRow);
        if (last.IsEmpty())
        {
            // A CR folded onto a row of its own ends the line before it, not one more line.
            if (display || prevEnded)
                lines.emplace_back();
        }
        else if (display)
        {
            std::string d = displayOf(end.y);
            d.resize(std::min(d.size(), size_t(std::max(0, DspPos(end).x))));
            lines.push_back(d);
        }
        else
        {
            std::string part = last.SubString(1, std::min(end.x, last.Length())).str();
            if (prevEnded)
                lines.push_back(part);
            else
                lines.back() += part;
        }
    }
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    if (!crEnd && out.size() >= 2)
        out.resize(out.size() - 2);
    return AnsiString(out.data(), int(out.size()));
}

AnsiString TCustomAFEdit::GetSelText()
{
    if (FSelArea->isPointAble())
    {
        TPoint s = FSelArea->GetStartPoint();
        TPoint e = FSelArea->GetEndPoint();
        TPoint from(std::max(0, LogicalPos(s)), s.y);
        TPoint to(std::max(0, LogicalPos(e)), e.y);
        if (from == to)
            return AnsiString(); // both ends on one logical point: nothing is selected
        if (to.x == 0 && to.y == 0)
            return AnsiString();
        if (to.x == 0)
        {
            // An end at the start of a row means the whole previous row, its line end included.
            to.y -= 1;
            to.x = GetLine(to.y).Length();
        }
        return GetRangeText(from, to, false);
    }
    if (FSelArea->isRowAble())
    {
        int first = FSelArea->GetStartRow();
        int last = std::min(FSelArea->GetEndRow(), GetLinesCount() - 1);
        return GetRangeText(TPoint(0, first), TPoint(GetLine(last).Length(), last), false);
    }
    return AnsiString();
}

// ---- typing -------------------------------------------------------------------------------

void TCustomAFEdit::KeyInput(const AnsiString& input)
{
    bool deletedSelection = false;
    if (FSelArea->isPointAble() || FSelArea->isRowAble())
    {
        bool wasUpdating = Updating;
        Updating = true;
        SelectAreaDel();
        Updating = wasUpdating;
        deletedSelection = true;
    }
    else
        ++FUndoGroupId;

    AnsiString s = FilterControls(input);
    if (s.IsEmpty())
        return;

    int r = FCaret.y;
    if (r < 0)
        r = FCaret.y = 0;
    if (r >= GetLinesCount())
    {
        // A free caret below the text: extend the text down to it.
        int last = GetLinesCount() - 1;
        if (!isCrLine(last))
            LineChange(last, GetLine(last) + "\r", false);
        TAttrListItem rec = *AttrList()->GetItem(last);
        rec.ColAttr = nullptr;
        while (GetLinesCount() < r)
            AddLineP("\r", rec);
        AddLineP(AnsiString(), rec);
        r = FCaret.y = GetLinesCount() - 1;
    }

    AnsiString L = GetLine(r);
    const int indent = std::max<int>(0, AttrList()->GetItem(r)->Indent);
    std::vector<TDspCell> cells;
    DisplayCells(cells, L.c_str(), L.Length(), FTabSize);
    const int dLen = indent + int(cells.size());
    // Onto the start of a tab when the caret stands in its fill.
    while (FCaret.x > indent && FCaret.x < dLen && cells[size_t(FCaret.x - indent - 1)] == dcTabFill)
        --FCaret.x;
    bool cr = isCrLine(r);
    const int endCol = dLen - (cr ? 1 : 0);
    int p;
    bool leftOfIndent = false;
    if (FCaret.x > endCol)
    {
        if (FOptions.Contains(aoFreeCaret))
            s = AnsiString::StringOfChar(' ', FCaret.x - endCol) + s;
        FCaret.x = endCol;
        p = L.Length() - (cr ? 1 : 0);
    }
    else if (FCaret.x < indent)
    {
        FCaret.x = indent;
        p = 0; // never a negative column: the text goes to the start of the row
        leftOfIndent = true;
    }
    else
        p = std::max(0, DspColToLogCol(L.c_str(), L.Length(), FTabSize, FCaret.x - indent));

    if (r > 0 && !isCrLine(r - 1) && p == 0 && !leftOfIndent)
    {
        // At the start of a continuation piece: append to the piece before.
        --r;
        L = GetLine(r);
        p = L.Length();
        cr = false; // a continuation piece: typing over at its end adds no line end
        FCaret = DspPos(TPoint(p, r));
    }

    AnsiString next;
    if (FInsertMode || deletedSelection)
    {
        next = L.SubString(1, p) + s + L.SubString(p + 1, L.Length() - p);
        ColAttrEdit(r, p, s.Length(), emInsert);
        BlkAttrEdit(r, p, s.Length(), emInsert);
    }
    else if (L.Length() - p > s.Length())
    {
        next = L;
        char* d = next.Unique();
        std::copy(s.c_str(), s.c_str() + s.Length(), d + p);
        int lastReplaced = p + s.Length() - 1;
        if (ByteTypeAt(L.c_str(), L.Length(), lastReplaced) == mbLeadByte)
            d[lastReplaced + 1] = ' '; // the orphaned trail byte
    }
    else
    {
        next = L.SubString(1, p) + s + (cr ? AnsiString("\r") : AnsiString());
        int grow = next.Length() - L.Length();
        if (grow > 0)
            ColAttrEdit(r, L.Length() - (cr ? 1 : 0), grow, emInsert);
        else if (grow < 0)
            ColAttrEdit(r, next.Length() - (cr ? 1 : 0), -grow, emDelete);
    }
    LineChange(r, next, false);
    AttrList()->GetItem(r)->Dirty = true;
    NoteLineWidth(GetLine(r).Length());
    FCaret.y = r;
    FoldLine(r);

    StepCaretOver(s.c_str(), s.Length());
}

void TCustomAFEdit::StepCaretOver(const char* text, int n)
{
    // Step over what was typed, character by character, wrapping at row ends.
    const bool freeCaret = FOptions.Contains(aoFreeCaret);
    if (freeCaret)
        FOptions >> aoFreeCaret;
    for (int i = 0; i < n; ++i)
    {
        if (IsSjisLead(static_cast<unsigned char>(text[i])) && i + 1 < n)
            ++i;
        CaretRight();
    }
    if (freeCaret)
        FOptions << aoFreeCaret;
    FCaret.y = std::clamp(FCaret.y, 0, GetLinesCount() - 1);
    FSelArea->PutStartPoint(FCaret);
    FSelArea->PutEndPoint(FCaret);
    if (!Updating)
    {
        // Hidden once around the move and the rows drawn over it: the caret is then moved while
        // hidden and drawn once, where showing it between the two drew it and hid it again.
        CaretHide();
        FRulerLater = true;
        try
        {
            CaretMoveResultPaint();
        }
        catch (...)
        {
            FRulerLater = false;
            throw;
        }
        FRulerLater = false;
        ValiPaint();
        CaretShow();
    }
}

// ---- whole rows ---------------------------------------------------------------------------

void TCustomAFEdit::ScrollCaretIntoViewAfterPaste()
{
    int vis = VisibleRows();
    bool moved = false;
    if (vis > 2 && FCaret.y > FTopLine + vis - 2)
    {
        FTopLine = std::max(0, FCaret.y - vis + 2);
        moved = true;
    }
    // Whatever row it ended on, and however far right: the caret is shown.
    if (ShowRange(FCaret, FCaret) || moved)
        Invalidate();
    else
        ValiPaint();
    SetCaretPosition();
}

void TCustomAFEdit::ClipInsert()
{
    AnsiString T;
    try
    {
        T = Clipboard()->GetAsText();
    }
    catch (const Exception&)
    {
        return; // another program holds the clipboard: nothing to paste
    }
    PasteText(T);
}

void TCustomAFEdit::PasteText(const AnsiString& T)
{
    if (T.IsEmpty() || FReadOnly)
        return;
    if (HandleAllocated())
        HideCaret(Handle());
    bool wasUpdating = Updating;
    bool wasInsert = FInsertMode;
    bool joined = false;
    if (FSelArea->isPointAble() || FSelArea->isRowAble())
    {
        Updating = true;
        SelectAreaDel();
        joined = true; // the paste joins the deletion's group
    }
    FInsertMode = true;
    Updating = true;
    try
    {
        AnsiString rowClip;
        for (int i = 0; i < FRowClipTexts->GetCount(); ++i)
            rowClip += FRowClipTexts->Get(i);
        if (FRowClipTexts->GetCount() > 0 && StripLineEnds(rowClip) == StripLineEnds(T))
        {
            if (!joined)
                ++FUndoGroupId;
            std::vector<AnsiString> texts;
            std::vector<TAttrListItem> attrs;
            for (int i = 0; i < FRowClipTexts->GetCount(); ++i)
            {
                AnsiString t = FRowClipTexts->Get(i);
                // The last copied row never runs on into the paragraph below it.
                if (i == FRowClipTexts->GetCount() - 1 && !(t.Length() > 0 && t.c_str()[t.Length() - 1] == '\r'))
                    t += "\r";
                texts.push_back(t);
                TAttrListItem rec = *FRowClipAttrs->GetItem(i);
                rec.ColAttr = nullptr;
                attrs.push_back(rec);
            }
            FCaret.x = std::max<int>(0, AttrList()->GetItem(std::clamp(FCaret.y, 0, GetLinesCount() - 1))->Indent);
            InsertRowsAt(std::clamp(FCaret.y, 0, GetLinesCount()), texts, attrs);
            MarkDirtyFrom(FCaret.y);
        }
        else
        {
            bool endsWithBreak = false;
            std::vector<AnsiString> lines = SplitLines(T, endsWithBreak);
            if (!joined)
                ++FUndoGroupId;
            if (lines.size() > 1)
            {
                KeyInputInGroup(lines.front() + "\r");
                std::vector<AnsiString> middle;
                std::vector<TAttrListItem> attrs;
                TAttrListItem rec = *AttrList()->GetItem(std::clamp(FCaret.y, 0, GetLinesCount() - 1));
                rec.ColAttr = nullptr;
                for (size_t i = 1; i + 1 < lines.size(); ++i)
                {
                    middle.push_back(FilterControls(lines[i]) + "\r");
                    attrs.push_back(rec);
                }
                const int first = FCaret.y;
                InsertRowsAt(first, middle, attrs);
                // Pasted lines longer than the wrap position are cut as typed ones are.
                for (int row = first + int(middle.size()) - 1; row >= first; --row)
                    FoldLine(row);
            }
            AnsiString last = lines.back();
            if (endsWithBreak)
                last += "\r";
            if (!last.IsEmpty())
                KeyInputInGroup(last);
            FireUndoChange(UndoBuff()->Kept(), false);
        }
    }
    catch (...)
    {
        FInsertMode = wasInsert;
        Updating = wasUpdating;
        throw;
    }
    FInsertMode = wasInsert;
    Updating = wasUpdating;
    FCaret.y = std::clamp(FCaret.y, 0, GetLinesCount() - 1);
    ScrollCaretIntoViewAfterPaste();
    if (HandleAllocated())
        ShowCaret(Handle());
}

// Types s as part of the current undo group.
void TCustomAFEdit::KeyInputInGroup(const AnsiString& s)
{
    --FUndoGroupId;
    KeyInput(s);
}

void TCustomAFEdit::QuoteInsert(const AnsiString& text, const AnsiString& quote)
{
    if (text.IsEmpty())
        return;
    bool wasUpdating = Updating;
    Updating = true;
    bool endsWithBreak = false;
    std::vector<AnsiString> lines = SplitLines(text, endsWithBreak);
    if (endsWithBreak && lines.size() > 1 && lines.back().IsEmpty())
        lines.pop_back();
    int row = std::clamp(FCaret.y, 0, GetLinesCount() - 1);
    TAttrListItem rec = *AttrList()->GetItem(row);
    rec.ColAttr = nullptr;
    std::vector<AnsiString> texts;
    std::vector<TAttrListItem> attrs;
    for (const auto& l : lines)
    {
        texts.push_back(FilterControls(quote + l) + "\r");
        attrs.push_back(rec);
    }
    ++FUndoGroupId;
    InsertRowsAt(row, texts, attrs);
    FireUndoChange(UndoBuff()->Kept(), false);
    Updating = wasUpdating;
    ScrollCaretIntoViewAfterPaste();
}

void TCustomAFEdit::InsertLine(int row, const AnsiString& s)
{
    ++FUndoGroupId;
    row = std::clamp(row, 0, GetLinesCount());
    TAttrListItem rec = row > 0 ? *AttrList()->GetItem(row - 1) : MakeAttr(true, 0, FDefWrapPos);
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    InsertLineP(row, s, rec);
    ++FCaret.y;
}

void TCustomAFEdit::DelLine(int row)
{
    ++FUndoGroupId;
    DelLineP(row);
}

// ---- deleting and copying the selection ---------------------------------------------------

void TCustomAFEdit::SelectAll()
{
    FSelArea->RowReset();
    FSelArea->PutStartPoint(FCaret);
    FSelArea->PutEndPoint(FCaret);
    FSelArea->PutStartRow(0);
    FSelArea->PutEndRow(GetLinesCount() - 1);
    SetSelAreaMaxMin();
    TellSelectChange();
    Invalidate();
}

void TCustomAFEdit::TellSelectChange()
{
    const TSelChange change = FSelArea->SelectChanged();
    if (change == slSel && OnSelect)
        OnSelect(this);
    else if (change == slDisSel && OnDisSelect)
        OnDisSelect(this);
}

void TCustomAFEdit::SelectAreaDel()
{
    ++FUndoGroupId;
    if (FSelArea->isRowAble() && !FSelArea->isPointAble())
    {
        int first = std::max(0, FSelArea->GetStartRow());
        int last = std::min(FSelArea->GetEndRow(), GetLinesCount() - 1);
        const bool emptiesLast = last == GetLinesCount() - 1 && last >= first;
        if (emptiesLast)
        {
            // The last row is emptied, through an undoable change.
            ColAttrFree(last);
            if (!GetLine(last).IsEmpty())
                LineChange(last, AnsiString(), false);
            --last;
        }
        DeleteRowsAt(first, last - first + 1, true);
        if (emptiesLast)
            FoldLine(GetLinesCount() - 1); // an empty row after a wrapped piece goes
        MarkDirtyFrom(first);
        if (FCaret.y >= GetLinesCount())
            FCaret.y = GetLinesCount() - 1;
        if (FCaret.y < 0)
            FCaret = TPoint(0, 0);
        FTopLine = std::min(FTopLine, FCaret.y);
        FSelArea->RowReset();
        FSelArea->PutStartPoint(FCaret);
        FSelArea->PutEndPoint(FCaret);
    }
    else if (FSelArea->isPointAble())
    {
        TPoint S = FSelArea->GetStartPoint();
        TPoint E = FSelArea->GetEndPoint();
        int n = GetLinesCount();
        S.y = std::clamp(S.y, 0, n - 1);
        E.y = std::clamp(E.y, 0, n - 1);
        // Both end columns are taken before any row goes away.
        int sLog = std::clamp(LogicalPos(S), 0, GetLine(S.y).Length());
        int eLog = std::clamp(LogicalPos(E), 0, GetLine(E.y).Length());
        DeleteRowsAt(S.y + 1, E.y - S.y - 1, false);
        AnsiString LS = GetLine(S.y);
        if (E.y == S.y)
        {
            if (eLog > sLog)
            {
                ColAttrEdit(S.y, sLog, eLog - sLog, emDelete);
                BlkAttrEdit(S.y, sLog, eLog - sLog, emDelete);
                LineChange(S.y, LS.SubString(1, sLog) + LS.SubString(eLog + 1, LS.Length() - eLog), false);
            }
        }
        else
        {
            int nextRow = S.y + 1;
            AnsiString LE = GetLine(nextRow);
            ColAttrEdit(S.y, sLog, LS.Length() - sLog, emDelete);
            BlkAttrEdit(S.y, sLog, LS.Length() - sLog, emDelete);
            ColAttrEdit(nextRow, 0, eLog, emDelete);
            BlkAttrEdit(nextRow, 0, eLog, emDelete);
            AnsiString rest = LE.SubString(eLog + 1, LE.Length() - eLog);
            AnsiString head = LS.SubString(1, sLog);
            // The rest of the end row travels to the end of the start row with its attributes.
            LineChange(S.y, head, false);
            ColAttrBlockEdit(nextRow, S.y, rest.Length(), emAdd);
            BlkAttrBlockEdit(nextRow, S.y, rest.Length(), emAdd);
            LineChange(S.y, head + rest, false);
            if (nextRow == GetLinesCount() - 1)
            {
                ColAttrFree(nextRow);
                LineChange(nextRow, AnsiString(), false);
            }
            else
                DelLineP(nextRow);
        }
        MarkDirtyFrom(S.y);
        FCaret = DspPos(TPoint(sLog, S.y));
        FoldLine(S.y);
        FCaret.y = std::clamp(FCaret.y, 0, GetLinesCount() - 1);
        FTopLine = std::min(FTopLine, FCaret.y);
        FSelArea->PutStartPoint(FCaret);
        FSelArea->PutEndPoint(FCaret);
    }
    ValiPaint();
    SetCaretPosition();
}

void TCustomAFEdit::SelectAreaCopy(bool box)
{
    TPoint from, to;
    bool rows = false;
    if (FSelArea->isPointAble())
    {
        TPoint s = FSelArea->GetStartPoint();
        TPoint e = FSelArea->GetEndPoint();
        from = TPoint(std::max(0, LogicalPos(s)), s.y);
        to = TPoint(std::max(0, LogicalPos(e)), e.y);
    }
    else if (FSelArea->isRowAble())
    {
        int last = std::min(FSelArea->GetEndRow(), GetLinesCount() - 1);
        from = TPoint(0, FSelArea->GetStartRow());
        to = TPoint(GetLine(last).Length(), last);
        rows = true;
    }
    else
        return;
    Clipboard()->SetAsText(GetRangeText(from, to, box));
    if (!box)
    {
        FRowClipTexts->Clear();
        FRowClipAttrs->Clear();
        if (rows)
        {
            for (int row = from.y; row <= to.y; ++row)
            {
                FRowClipTexts->Add(GetLine(row));
                TAttrListItem rec = *AttrList()->GetItem(row);
                rec.ColAttr = nullptr;
                FRowClipAttrs->Add(rec);
            }
        }
    }
}
