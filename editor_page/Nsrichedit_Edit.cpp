// Editing operations of the editor page: row changes that repaint a dependent row, typing a text
// as one undo step, per-byte attribute upkeep, the search used by the find dialogs, and line
// selection.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "editor_control/AFEditText.h"
#include "editor_page/Nsrichedit.h"
#include "editor_page/RowFinder.h"

namespace
{
// Byte kinds and case folding of the search (editor_page/RowFinder.h).
void ByteKinds(const char* s, int len, std::vector<unsigned char>& kinds) { SjisByteKinds(s, len, kinds); }
void FoldCase(std::string& s, const std::vector<unsigned char>& kinds) { FoldSearchCase(s, kinds); }

bool Before(const TPoint& a, const TPoint& b) { return a.y < b.y || (a.y == b.y && a.x < b.x); }

// Rows searched as one text: a row with as much of the rows around it as a hit may run into.
// Each piece is classified on its own (a row starts on a character) and remembers where it lies.
struct TJoined
{
    struct TPiece
    {
        int row;
        int col;   // of the piece's first byte in its row
        size_t at; // of the piece's first byte in text
        size_t len;
    };
    std::string text;
    std::vector<unsigned char> kinds;
    std::vector<TPiece> pieces;

    void Append(int row, int col, const char* s, int len)
    {
        pieces.push_back({row, col, text.size(), size_t(len)});
        text.append(s, size_t(len));
        ByteKinds(s, len, kinds);
    }
    // A match at [s, s + plen) starts and ends on character boundaries.
    bool OnCharacters(size_t s, size_t plen) const
    {
        return kinds[s] != 2 && (s + plen >= kinds.size() || kinds[s + plen] != 2);
    }
    // The logical point of a start (the piece holding its byte) or of an end (the piece it
    // closes, so that an end at a row's end stays on that row, as AdvanceBytes counts).
    TPoint PointAt(size_t offset, bool isEnd) const
    {
        for (const TPiece& p : pieces)
            if (isEnd ? (offset > p.at && offset <= p.at + p.len) : offset < p.at + p.len)
                return TPoint(p.col + int(offset - p.at), p.row);
        const TPiece& last = pieces.back();
        return TPoint(last.col + int(last.len), last.row);
    }
};

// The last printable ASCII byte of text[0, limit) that is not part of a double-byte character.
unsigned char LastPrintableAscii(const AnsiString& text, int limit)
{
    unsigned char last = 0;
    const char* s = text.c_str();
    limit = std::min(limit, text.Length());
    for (int i = 0; i < limit; ++i)
    {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (IsSjisLead(c) && i + 1 < limit && s[i + 1] != '\r' && s[i + 1] != '\t')
        {
            ++i;
            continue;
        }
        if (c >= 33 && c <= 126)
            last = c;
    }
    return last;
}
} // namespace

// ---- row changes ----------------------------------------------------------------------------------

bool nsRichEdit::ContinuesOnNextRow(int row, const AnsiString& text)
{
    int limit = text.Length();
    nsList<typCMRange> spans;
    if (FComment.GetRowRanges(row, spans) && spans.Count() > 0)
    {
        // Only the code before the row's last comment counts.
        limit = spans.Get(spans.Count() - 1)->Start;
        if (limit <= 0)
            return false;
    }
    return LastPrintableAscii(text, limit) == '&';
}

void nsRichEdit::LineChange(int row, const AnsiString& text, bool newGroup)
{
    // In the free-form dialect a row ending with "&" goes on in the next row, whose label
    // colouring then changes: that row is redrawn as well.
    const bool track = FComment.Mode == cmmF9095 && row >= 0 && row < GetLinesCount();
    const bool before = track && ContinuesOnNextRow(row, GetLine(row));
    TCustomAFEdit::LineChange(row, text, newGroup);
    if (!track || row >= GetLinesCount())
        return;
    const bool after = ContinuesOnNextRow(row, GetLine(row));
    // Reading the record of a row past the text would add one: the last row has no next row.
    if (before != after && row + 1 < GetLinesCount() && row + 1 < AttrList()->GetCount())
        AttrList()->GetItem(row + 1)->Dirty = true;
}

void nsRichEdit::ColAttrListEdit(int row, int column, int mode, int count)
{
    if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount() || count <= 0)
        return;
    TColAttrList* list = AttrList()->GetItem(row)->ColAttr;
    if (!list)
        return;
    switch (mode)
    {
    case 0:
    {
        const int at = std::clamp(column, 0, list->GetCount());
        for (int i = 0; i < count; ++i)
            list->Insert(at, TColAttrListItem());
        break;
    }
    case 1:
        for (int i = 0; i < count; ++i)
            list->Add(TColAttrListItem());
        break;
    case 2:
        for (int i = 0; i < count && column >= 0 && column < list->GetCount(); ++i)
            list->Delete(column);
        break;
    default: break;
    }
}

// ---- typing a text ------------------------------------------------------------------------------

void nsRichEdit::StringInsert(const AnsiString& input)
{
    std::string text;
    text.reserve(size_t(input.Length()));
    for (int i = 0; i < input.Length(); ++i)
    {
        unsigned char c = static_cast<unsigned char>(input.c_str()[i]);
        if (c >= 0x20 || c == '\t' || c == '\r')
            text.push_back(char(c));
    }
    if (text.empty())
        return;
    SetUndoGroupId(UndoGroupId() + 1); // every change below joins this one group: one undo step

    int r = std::max(0, GetCaret().y);
    if (r >= GetLinesCount())
    {
        // A free caret below the text: the text is extended down to it.
        const int last = GetLinesCount() - 1;
        if (!isCrLine(last))
            LineChange(last, GetLine(last) + "\r", false);
        TAttrListItem rec = *AttrList()->GetItem(last);
        rec.ColAttr = nullptr;
        while (GetLinesCount() < r)
            AddLineP("\r", rec);
        AddLineP(AnsiString(), rec);
        r = GetLinesCount() - 1;
    }
    TPoint caret(GetCaret().x, r);

    const AnsiString L = GetLine(r);
    const int indent = std::max<int>(0, AttrList()->GetItem(r)->Indent);
    std::vector<TDspCell> cells;
    DisplayCells(cells, L.c_str(), L.Length(), GetTabSize());
    const int dLen = indent + int(cells.size());
    // Onto the start of the character under the caret: never between the two bytes of a
    // double-byte character, never inside a tab.
    if (caret.x > indent && caret.x < dLen)
    {
        if (cells[size_t(caret.x - indent)] == dcTrail)
            --caret.x;
        else
            while (caret.x > indent && cells[size_t(caret.x - indent - 1)] == dcTabFill)
                --caret.x;
    }
    const bool cr = isCrLine(r);
    const int endCol = dLen - (cr ? 1 : 0);
    int p;
    if (caret.x > endCol)
    {
        if (GetOptions().Contains(aoFreeCaret))
            text.insert(0, size_t(caret.x - endCol), ' ');
        caret.x = endCol;
        p = L.Length() - (cr ? 1 : 0);
    }
    else if (caret.x < indent)
    {
        caret.x = indent;
        p = 0;
    }
    else
        p = std::max(0, DspColToLogCol(L.c_str(), L.Length(), GetTabSize(), caret.x - indent));
    SetCaretRaw(caret);

    const int n = int(text.size());
    std::string next = L.str();
    if (GetInsertMode())
    {
        next.insert(size_t(p), text);
        ColAttrListEdit(r, p, 0, n);
        BlkAttrEdit(r, p, n, emInsert);
    }
    else
    {
        // Overwriting never takes the row's CR; past it the text grows.
        const int limit = L.Length() - (cr ? 1 : 0);
        if (p + n <= limit)
        {
            next.replace(size_t(p), size_t(n), text);
            if (p + n < limit && ByteTypeAt(L.c_str(), L.Length(), p + n - 1) == mbLeadByte)
                next[size_t(p + n)] = ' '; // the trail byte of a character cut at the end
        }
        else
        {
            next = L.SubString(1, p).str() + text + (cr ? "\r" : "");
            ColAttrListEdit(r, limit, 0, int(next.size()) - L.Length());
        }
    }
    LineChange(r, AnsiString(next.data(), int(next.size())), false);
    if (r < AttrList()->GetCount())
        AttrList()->GetItem(r)->Dirty = true;
    NoteLineWidth(int(next.size()));
    SetCaretRaw(TPoint(GetCaret().x, r));
    FoldLine(r);

    StepCaretOver(text.data(), n);
}

// ---- search -------------------------------------------------------------------------------------

TPoint nsRichEdit::Search(const AnsiString& pattern, const TPoint& from, const TPoint& to, TSearchOpts opts)
{
    return SearchHits(pattern, from, to, opts, nullptr);
}

TPoint nsRichEdit::SearchHits(const AnsiString& patternIn, const TPoint& from, const TPoint& to, TSearchOpts opts,
                              const std::function<bool(const TPoint&)>& accept)
{
    TPoint result(-1, from.y);
    const int rows = GetLinesCount();
    if (patternIn.IsEmpty() || rows == 0)
        return result;
    const bool fold = opts.Contains(soIgnoreCase);
    std::string pattern = patternIn.str();
    if (fold)
    {
        std::vector<unsigned char> kinds;
        ByteKinds(pattern.data(), int(pattern.size()), kinds);
        FoldCase(pattern, kinds);
    }
    const size_t plen = pattern.size();
    // Every candidate is checked against the range itself: bytes outside it never take part in a
    // match, whatever they hold.
    auto inRange = [](const TPoint& start, const TPoint& end, const TPoint& lo, const TPoint& hi)
    { return !Before(start, lo) && !Before(hi, end); };

    if (!opts.Contains(soReverse))
    {
        // The rows are read where they lie; a candidate that accept turns down lets the search go
        // on one byte after its start.
        TRowFinder finder(Document(), patternIn, fold);
        TPoint at = from;
        for (;;)
        {
            const TPoint hit = finder.Next(at, to);
            if (hit.x < 0 || !accept || accept(hit))
                return hit;
            at = TPoint(hit.x + 1, hit.y);
        }
    }

    // Backward: from is the later point and to the earlier one; each match is looked at in the
    // row where it ends, and the row's last one wins. It may begin any number of rows before.
    const int first = std::min(from.y, rows - 1);
    std::vector<size_t> found;
    for (int y = first; y >= std::max(0, to.y); --y)
    {
        result.y = y;
        struct TBefore
        {
            int row;
            AnsiString text;
            int take;
        };
        std::vector<TBefore> before; // the rows before, nearest first
        int need = int(plen) - 1;
        for (int r = y - 1; need > 0 && r >= 0; --r)
        {
            AnsiString text = GetLine(r);
            const int take = std::min(text.Length(), need);
            need -= take;
            before.push_back({r, std::move(text), take});
        }
        TJoined j;
        for (auto it = before.rbegin(); it != before.rend(); ++it)
        {
            const int len = it->text.Length();
            int startAt = len - it->take;
            if (startAt > 0)
            {
                // Only the farthest row is taken in part: its piece starts on a character.
                std::vector<unsigned char> kinds;
                ByteKinds(it->text.c_str(), len, kinds);
                if (startAt < len && kinds[size_t(startAt)] == 2)
                    ++startAt;
            }
            j.Append(it->row, startAt, it->text.c_str() + startAt, len - startAt);
        }
        const size_t k = j.text.size();
        const AnsiString row = GetLine(y);
        j.Append(y, 0, row.c_str(), row.Length());
        if (fold)
            FoldCase(j.text, j.kinds);
        found.clear();
        for (size_t pos = j.text.find(pattern); pos != std::string::npos; pos = j.text.find(pattern, pos + 1))
        {
            if (pos + plen <= k)
                continue; // ends in a row before: that row's own turn
            if (j.OnCharacters(pos, plen) && inRange(j.PointAt(pos, false), j.PointAt(pos + plen, true), to, from))
                found.push_back(pos);
        }
        for (auto it = found.rbegin(); it != found.rend(); ++it)
        {
            const TPoint start = j.PointAt(*it, false);
            if (!accept || accept(start))
                return start;
        }
    }
    return result;
}

// ---- selection ----------------------------------------------------------------------------------

void nsRichEdit::SelectCurrentLine()
{
    const int y = std::clamp(GetCaret().y, 0, std::max(0, GetLinesCount() - 1));
    const AnsiString text = GetLine(y);
    const int len = text.Length() - (isCrLine(y) ? 1 : 0);
    const TPoint start = DspPos(TPoint(0, y));
    const TPoint end = DspPos(TPoint(len, y));
    SelArea()->RowReset();
    SelArea()->PutStartPoint(start);
    SelArea()->PutEndPoint(end);
    SetCaretRaw(end);
    MarkRowsDirty(y, y);
    TellSelectChange();
    if (!Updating)
    {
        SetCaretPosition();
        ValiPaint();
    }
}
