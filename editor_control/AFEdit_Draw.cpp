// Drawing of one display row: the text in runs of equal colour, the marks for indents, tabs,
// full-width spaces and line ends, keywords, column and block attributes and the selection.
//
// The row is first turned into cells (one per display column, classified from the start of the
// stored text, each with its logical column), then every visible cell gets its glyphs and
// colours, and neighbouring cells that look alike are drawn as one run.
#include <windows.h>
#undef TextOut

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "platform/SysUtils.h"

namespace
{
enum TCellKind : uint8_t
{
    cellIndent,
    cellSingle,
    cellLead,
    cellTrail,
    cellTabFill,
    cellTabEnd,
    cellCr,
    cellLf
};

// A display row. sel is what the selection test sees: the indent as 0x01 bytes, then the text
// with every tab in fill form (0x0B ... 0x09). dsp is the same after the mark replacements, with
// the LF of a row that does not end a paragraph. kind and logCol run parallel to dsp.
struct TRowImage
{
    std::string sel;
    std::string dsp;
    std::vector<uint8_t> kind;
    std::vector<int> logCol;

    void Push(char b, TCellKind k, int lc)
    {
        sel.push_back(b);
        kind.push_back(k);
        logCol.push_back(lc);
    }
};

// Lead and trail bytes are told apart by walking from the row's start; a lead byte before a tab
// or a CR, or at the end, stands alone (as the caret steps see it).
void BuildRowImage(TRowImage& img, const char* s, int len, int indent, int tabSize, bool crLine, bool showTab,
                   bool showIndent)
{
    img.sel.clear();
    img.kind.clear();
    img.logCol.clear();
    img.sel.reserve(size_t(indent + len) + 16);
    for (int k = 0; k < indent; ++k)
        img.Push('\x01', cellIndent, k - indent);
    int col = 0;
    for (int i = 0; i < len; ++i)
    {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b == '\t')
        {
            int w = tabSize - col % tabSize;
            for (int k = 1; k < w; ++k)
                img.Push('\x0B', cellTabFill, i);
            img.Push('\t', cellTabEnd, i);
            col += w;
        }
        else if (b == '\r' && crLine && i == len - 1)
        {
            img.Push('\r', cellCr, i);
            ++col;
        }
        else if (IsSjisLead(b) && i + 1 < len && s[i + 1] != '\t' && s[i + 1] != '\r')
        {
            img.Push(char(b), cellLead, i);
            img.Push(s[i + 1], cellTrail, i + 1);
            ++i;
            col += 2;
        }
        else
        {
            img.Push(char(b), cellSingle, i);
            ++col;
        }
    }
    img.dsp = img.sel;
    for (char& c : img.dsp)
    {
        if (!showTab && (c == '\t' || c == '\x0B'))
            c = ' ';
        else if (!showIndent && c == '\x01')
            c = ' ';
    }
    if (img.dsp.empty() || !crLine)
    {
        img.dsp.push_back('\n');
        img.kind.push_back(cellLf);
        img.logCol.push_back(len);
    }
}

// What one cell (or double-byte pair) looks like.
struct TCellLook
{
    TColor fg = 0;
    TColor bg = 0;
    uint8_t style = 0;
    bool sel = false;
};

// A piece of the row to draw: glyph bytes from display column col, one cell per byte.
struct TSegment
{
    int col = 0;
    std::string bytes;
    TCellLook look;
    bool alone = false; // a lone lead byte: nothing may follow it in the same text output
    int bitmap = -1;    // the line-end bitmap (0 normal, 1 selected) instead of text
};

bool SameLook(const TCellLook& a, const TCellLook& b)
{
    return a.fg == b.fg && a.bg == b.bg && a.style == b.style && a.sel == b.sel;
}

// The two-byte sequences a string holds at its character starts, for a lookup per character where
// a search of the string per character would cost a page thousands of comparisons. Made again only
// when the string changes; every editor shares the one table (they share the default string).
class TPairTable
{
public:
    const std::vector<bool>& For(const AnsiString& chars)
    {
        if (!built_ || chars != source_)
        {
            source_ = chars;
            built_ = true;
            pairs_.assign(65536, false);
            const auto* d = reinterpret_cast<const unsigned char*>(chars.c_str());
            const int n = chars.Length();
            for (int i = 0; i + 2 <= n;)
            {
                pairs_[size_t(d[i]) << 8 | d[i + 1]] = true;
                i += IsSjisLead(d[i]) ? 2 : 1;
            }
        }
        return pairs_;
    }

private:
    AnsiString source_;
    bool built_ = false;
    std::vector<bool> pairs_;
};

int MaxLength(TStringList* list)
{
    int n = 0;
    for (int i = 0; i < list->GetCount(); ++i)
        n = std::max(n, list->Get(i).Length());
    return n;
}
} // namespace

// ---- the run primitives ----

void TCustomAFEdit::SetRunFont(TColor fg, TColor bg, uint8_t style)
{
    TCanvas* c = GetMyCanvas();
    TFont* f = c->Font();
    TFont* base = Font();
    if (f->Name() != base->Name() || f->Height() != base->Height() || f->Charset() != base->Charset() ||
        f->Pitch() != base->Pitch())
        f->Assign(*base);
    f->SetStyle(TFontStyles::FromInt(style));
    f->SetColor(fg);
    c->Brush()->SetColor(bg);
}

void TCustomAFEdit::DrawTextRun(int x, int y, int left, const char* bytes, int len)
{
    if (len <= 0)
        return;
    const int cw = FColWidth;
    const int right = FEditRect.Right > 0 ? std::max(FEditRect.Right, left) : INT_MAX;
    // Only the characters that reach into [left, right) are output.
    int start = -1;
    int end = len;
    for (int i = 0; i < len;)
    {
        int n = IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < len ? 2 : 1;
        if (x + i * cw >= right)
        {
            end = i;
            break;
        }
        if (start < 0 && x + (i + n) * cw > left)
            start = i;
        i += n;
    }
    if (start < 0 || start >= end)
        return;
    TCanvas* c = GetMyCanvas();
    // A clear brush draws the text over what is already there (a wallpaper).
    const unsigned options = ETO_CLIPPED | (c->Brush()->Style() == bsClear ? 0u : unsigned(ETO_OPAQUE));
    const int table = int(FPixelTable.size());
    for (int pos = start; pos < end;)
    {
        int n = std::min(end - pos, table);
        if (pos + n < end)
        {
            // Back off so that a double-byte character is not cut in two.
            int i = pos;
            while (i < pos + n)
                i += IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < end ? 2 : 1;
            if (i > pos + n)
                n -= 1;
        }
        int cx = x + pos * cw;
        TRect clip(std::max(left, cx), y, cx + n * cw, y + FRowHeight);
        if (clip.Left < clip.Right)
            c->ExtTextOutSjis(cx, y, options, &clip, bytes + pos, n, FPixelTable.data());
        pos += n;
    }
}

void TCustomAFEdit::ExtTextPaint(int x, int y, int left, const AnsiString& s)
{
    DrawTextRun(x, y, left, s.c_str(), s.Length());
    GetMyCanvas()->MoveTo(x + s.Length() * FColWidth, y + FRowHeight);
}

bool TCustomAFEdit::isSelArea(int col, int row, int attrRow, const AnsiString& s)
{
    if (FSelArea->isRowAble() && FSelArea->isSelRow(row))
        return true;
    if (!FSelArea->isPointAble())
        return false;
    return FSelArea->isSelPoint(col, row) && col >= RowIndent(attrRow) && col < s.Length();
}

void TCustomAFEdit::DrawWrapLine(int row, const TRect& rect, int top, int bottom)
{
    if (!FOptions.Contains(aoAutoFormat) && !FViewOpt.Contains(voWrapLine))
        return;
    // Measured from the edit rectangle, whatever part of the row is being drawn.
    int x = (RowWrapPos(row) - FLeftCol) * FColWidth + FEditRect.Left;
    if (x <= FEditRect.Left || x >= FEditRect.Right)
        return;
    TCanvas* c = GetMyCanvas();
    c->Pen()->SetColor(WrapLineColor);
    c->Pen()->SetMode(pmCopy);
    c->Pen()->SetStyle(psSolid);
    c->MoveTo(x, rect.Top);
    c->LineTo(x, rect.Bottom);
}

// ---- one row ----

void TCustomAFEdit::DrawLine(int row)
{
    if (Updating || row < 0)
        return;
    const int top = (row - FTopLine) * FRowHeight + FEditRect.Top;
    TRect clip(std::max(FEditRect.Left, FPaintRect.Left), std::max(top, FPaintRect.Top),
               std::min(FEditRect.Right, FPaintRect.Right), std::min(top + FRowHeight, FPaintRect.Bottom));
    if (clip.Left >= clip.Right || clip.Top >= clip.Bottom)
        return;
    if (row < FTopLine || row > FTopLine + VisibleRows() + 1)
        return;
    TCanvas* c = GetMyCanvas();
    const int rows = GetLinesCount();
    // Rows past the text are tested first: drawing never gives them records.
    if (row >= rows)
    {
        c->Brush()->SetColor(Color());
        FillEditRect(clip);
        DrawLeftMgnEX(row);
        DrawWrapLine(row, clip, clip.Top, clip.Bottom);
        return;
    }
    TAttrListItem* rec = AttrList()->GetItem(row);
    if (rec->WrapPos == 0)
    {
        // A record never initialised; what MakeAttr leaves alone stays.
        TAttrListItem fresh = MakeAttr(true, 0, FDefWrapPos);
        fresh.Reserve = rec->Reserve;
        fresh.ColAttr = rec->ColAttr;
        fresh.States = rec->States;
        fresh.Str = rec->Str;
        rec->ColAttr = nullptr;
        *rec = fresh;
    }
    const AnsiString text = GetLine(row);
    const bool crLine = isCrLine(row);
    const bool lastRow = row == rows - 1;
    const int indent = std::max<int>(0, rec->Indent);
    const TColor rowBack = rec->BackColor;
    const TColor rowText = rec->FontColor;
    const TColor fontColor = Font()->Color();
    const uint8_t fontStyle = uint8_t(Font()->Style().ToInt());

    TRowImage img;
    BuildRowImage(img, text.c_str(), text.Length(), indent, std::max(1, FTabSize), crLine,
                  FViewOpt.Contains(voTab), FViewOpt.Contains(voIndent));
    const AnsiString selText(img.sel);
    const int len = int(img.dsp.size());

    // The selection pair of this row: the selected-text colours, or, on a row with a background
    // of its own, its two colours swapped.
    TCellLook selLook;
    selLook.sel = true;
    selLook.style = uint8_t(FFontSelText->Style().ToInt());
    if (rowBack == Color())
    {
        selLook.fg = FFontSelText->Color();
        selLook.bg = ColSelBrush;
    }
    else
    {
        selLook.fg = rowBack;
        selLook.bg = rowText;
    }
    const bool exRow1 = ExColRowNum1 >= 0 && row == ExColRowNum1;
    const bool exRow2 = !exRow1 && FExColRowNum2 >= 0 && row == FExColRowNum2;
    const TColor plainBack = exRow1 ? ExColBack1 : exRow2 ? ExColBack2 : rowBack;

    // Background: selected across the whole width when the selection goes on past this row.
    bool fillSelected = isSelArea(int(img.sel.size()), row, row, selText + " ");
    c->Font()->SetCharset(Font()->Charset());
    SetRunFont(fontColor, fillSelected ? selLook.bg : plainBack, fontStyle);
    FillEditRect(clip);

    bool defaultDraw = true;
    if (OnDrawLine)
        OnDrawLine(this, row, clip, AnsiString(img.dsp), defaultDraw);
    if (!defaultDraw)
        return;

    // Visible cells; a double-byte character is drawn whole.
    int first = (clip.Left - FEditRect.Left) / FColWidth + FLeftCol;
    int last = (clip.Right - FEditRect.Left + FColWidth - 1) / FColWidth + FLeftCol;
    first = std::clamp(first, 0, len - 1); // the line-end cell carries marks wider than itself
    if (img.kind[size_t(first)] == cellTrail)
        --first;
    last = std::min(last, len);
    if (last < len && img.kind[size_t(last)] == cellTrail)
        ++last;
    last = std::max(last, first + 1);

    TColAttrList* colAttrs = rec->ColAttr;
    const int colAttrCount = colAttrs ? colAttrs->GetCount() : 0;
    auto colAttrAt = [&](int lc) -> const TColAttrListItem* {
        if (lc < 0 || lc >= colAttrCount)
            return nullptr;
        auto* item = static_cast<TColAttrListItem*>(colAttrs->Get(lc));
        return item && (item->OwnColor || item->InComment) ? item : nullptr;
    };
    const bool haveBlocks = BlkAttrList()->GetCount() > 0;
    // The first block covering the byte. A run that enters a block keeps its colour through the
    // block's end column itself (the change position after a block is its end + 1).
    auto blockAt = [&](int lc, TColorValue& color, uint8_t& style) {
        const TPoint p(lc, row);
        for (int i = 0; i < BlkAttrList()->GetCount(); ++i)
        {
            auto* b = static_cast<TBlkAttrListItem*>(BlkAttrList()->Get(i));
            if (!b)
                continue;
            const TPoint s(b->StartCol, b->StartRow);
            const TPoint e(b->EndCol, b->EndRow);
            bool nonEmpty = s.y < e.y || (s.y == e.y && s.x < e.x);
            if (PointInRange(p, s, e) || (nonEmpty && p.y == e.y && p.x == e.x))
            {
                color = b->Color;
                style = b->Style;
                return true;
            }
        }
        return false;
    };
    const bool keywordsOn =
        FViewOpt.Contains(voKeyWord) && (FKeywords->GetCount() > 0 || FExKeywords->GetCount() > 0);
    const int maxKeyword = keywordsOn ? std::max(MaxLength(FKeywords), MaxLength(FExKeywords)) : 0;
    const std::string& d = img.dsp;
    auto isWordCell = [&](int k) {
        return k >= 0 && k < len && img.kind[size_t(k)] == cellSingle &&
               FWordChars[static_cast<unsigned char>(d[size_t(k)])] && !colAttrAt(img.logCol[size_t(k)]);
    };
    // Keyword kind of the word around cell k, found once per word.
    int wordEnd = -1;
    TCharKind wordKind = ckNorm;
    auto keywordKindAt = [&](int k) -> TCharKind {
        if (k < wordEnd)
            return wordKind;
        int ws = k;
        int limit = maxKeyword + 1;
        while (ws > 0 && isWordCell(ws - 1) && k - ws < limit)
            --ws;
        int we = k + 1;
        while (we < len && isWordCell(we) && we - ws <= limit)
            ++we;
        wordEnd = we;
        wordKind = ckNorm;
        if (we - ws > maxKeyword || (ws > 0 && isWordCell(ws - 1)) || isWordCell(we))
            return wordKind; // longer than any keyword
        AnsiString word(d.data() + ws, we - ws);
        int index = 0;
        if (FKeywords->GetCount() > 0 && FKeywords->Find(word, index))
            wordKind = ckKeyWord;
        else if (FExKeywords->GetCount() > 0 && FExKeywords->Find(word, index))
        {
            int p = we;
            while (p < len && d[size_t(p)] == ' ')
                ++p;
            if (p < len && d[size_t(p)] == '(')
                wordKind = ckExKeyWord;
        }
        return wordKind;
    };

    auto lookOf = [&](TCharKind kind, bool sel, const TColAttrListItem* ca, int lc) {
        TCellLook look;
        if (sel)
        {
            look = selLook;
            if (ca)
                look.style = ca->Style;
            else if (kind == ckKeyWord)
                look.style = uint8_t(FFontKeyWord->Style().ToInt());
            else if (kind == ckExKeyWord)
                look.style = uint8_t(FFontExKeyWord->Style().ToInt());
            return look;
        }
        look.bg = plainBack;
        if (ca)
        {
            // A column attribute keeps its own colour whatever block attributes say.
            look.fg = ca->Color;
            look.style = ca->Style;
            return look;
        }
        TColorValue blockColor = 0;
        uint8_t blockStyle = 0;
        if (haveBlocks && lc >= 0 && blockAt(lc, blockColor, blockStyle))
        {
            look.fg = blockColor;
            look.style = blockStyle;
            look.bg = rowBack;
            return look;
        }
        look.style = fontStyle;
        switch (kind)
        {
        case ckJSpace: look.fg = FMarkColor; break;
        case ckCrMark: look.fg = ColCr; break;
        case ckDependence: look.fg = FFontDependence->Color(); break;
        case ckKeyWord:
            look.fg = FFontKeyWord->Color();
            look.style = uint8_t(FFontKeyWord->Style().ToInt());
            if (KeyWordBackColor != clNone)
                look.bg = KeyWordBackColor;
            break;
        case ckExKeyWord:
            look.fg = FFontExKeyWord->Color();
            look.style = uint8_t(FFontExKeyWord->Style().ToInt());
            if (ExKeyWordBackColor != clNone)
                look.bg = ExKeyWordBackColor;
            break;
        default: look.fg = fontColor; break;
        }
        if (exRow1)
            look.fg = ExColText1;
        else if (exRow2)
            look.fg = ExColText2;
        return look;
    };

    std::vector<TSegment> segs;
    auto add = [&](int col, const char* bytes, int n, const TCellLook& look, bool alone = false, int bitmap = -1) {
        if (!segs.empty())
        {
            TSegment& prev = segs.back();
            if (bitmap < 0 && prev.bitmap < 0 && !prev.alone && SameLook(prev.look, look) &&
                prev.col + int(prev.bytes.size()) == col)
            {
                prev.bytes.append(bytes, size_t(n));
                prev.alone = alone;
                return;
            }
        }
        TSegment seg;
        seg.col = col;
        seg.bytes.assign(bytes, size_t(n));
        seg.look = look;
        seg.alone = alone;
        seg.bitmap = bitmap;
        segs.push_back(std::move(seg));
    };

    const bool showTab = FViewOpt.Contains(voTab);
    const bool showIndent = FViewOpt.Contains(voIndent);
    const AnsiString jspace = JSpaceMark.Length() == 2 ? JSpaceMark : AnsiString("□");
    static TPairTable dependencePairs;
    const std::vector<bool>* dependence =
        FViewOpt.Contains(voDependence) && DependenceChar.Length() > 0 ? &dependencePairs.For(DependenceChar) : nullptr;
    for (int k = first; k < last; ++k)
    {
        const uint8_t kind = img.kind[size_t(k)];
        const int lc = img.logCol[size_t(k)];
        const bool sel = isSelArea(k, row, row, selText);
        const char* at = d.data() + k;
        switch (kind)
        {
        case cellIndent:
        {
            char mark = showIndent ? '.' : ' ';
            add(k, &mark, 1, lookOf(showIndent ? ckJSpace : ckNorm, sel, nullptr, lc));
            break;
        }
        case cellTabFill:
        case cellTabEnd:
        {
            const TColAttrListItem* ca = colAttrAt(lc);
            if (showTab)
            {
                char mark = kind == cellTabEnd ? '>' : '-';
                add(k, &mark, 1, lookOf(ckJSpace, sel, nullptr, lc));
            }
            else
                add(k, " ", 1, lookOf(ca ? ckColAttr : ckNorm, sel, ca, lc));
            break;
        }
        case cellLead:
        {
            const TColAttrListItem* ca = colAttrAt(lc);
            bool jspace0 = static_cast<unsigned char>(at[0]) == 0x81 && static_cast<unsigned char>(at[1]) == 0x40;
            if (ca)
                add(k, at, 2, lookOf(ckColAttr, sel, ca, lc));
            else if (jspace0 && FViewOpt.Contains(voAnsiSpace))
                add(k, jspace.c_str(), 2, lookOf(ckJSpace, sel, nullptr, lc));
            else if (dependence &&
                     (*dependence)[size_t(static_cast<unsigned char>(at[0])) << 8 | static_cast<unsigned char>(at[1])])
                add(k, at, 2, lookOf(ckDependence, sel, nullptr, lc));
            else
                add(k, at, 2, lookOf(ckNorm, sel, nullptr, lc));
            ++k; // the trail byte went with it
            break;
        }
        case cellCr:
            if (!FViewOpt.Contains(voCr))
                add(k, " ", 1, lookOf(ckNorm, sel, nullptr, lc));
            else if (CrMark.Length() > 0)
                add(k, CrMark.c_str(), CrMark.Length(), lookOf(ckCrMark, sel, nullptr, lc));
            else
            {
                if (rowBack != FCrKeyBack)
                    SetCrColor(ColCr, rowBack);
                add(k, "", 0, lookOf(ckCrMark, sel, nullptr, lc), false, sel ? 1 : 0);
            }
            break;
        case cellLf:
        {
            std::string marks;
            if (FViewOpt.Contains(voFoldMark))
                marks += FoldMark.str();
            if (lastRow && ShowEofMark)
                marks += EofMark.str();
            if (!marks.empty())
                add(k, marks.data(), int(marks.size()), lookOf(ckCrMark, sel, nullptr, lc));
            break;
        }
        default: // single bytes, and a trail byte cut off by the clip
        {
            const unsigned char b = static_cast<unsigned char>(*at);
            const unsigned char stored = static_cast<unsigned char>(img.sel[size_t(k)]);
            const TColAttrListItem* ca = colAttrAt(lc);
            if (kind == cellSingle && (stored < 0x20 || stored == 0x7F))
            {
                // A control byte of the text: the font would draw it as a box two cells wide over
                // the next character; its caret-notation letter (^L as L) fits its one cell.
                const char mark = char(stored ^ 0x40);
                add(k, &mark, 1, lookOf(ckJSpace, sel, nullptr, lc));
            }
            else if (ca)
                add(k, at, 1, lookOf(ckColAttr, sel, ca, lc), IsSjisLead(b));
            else if (FViewOpt.Contains(voHankana) && b >= 0x81)
                add(k, at, 1, lookOf(ckDependence, sel, nullptr, lc), IsSjisLead(b)); // kana run on together
            else if (keywordsOn && kind == cellSingle && FWordChars[b])
                add(k, at, 1, lookOf(keywordKindAt(k), sel, nullptr, lc));
            else
                add(k, at, 1, lookOf(ckNorm, sel, nullptr, lc), IsSjisLead(b));
            break;
        }
        }
    }

    for (const TSegment& seg : segs)
    {
        const int x = (seg.col - FLeftCol) * FColWidth + FEditRect.Left;
        FLastFontSelected = seg.look.sel;
        if (seg.bitmap >= 0)
        {
            TBitmap* bmp = FMarkBitmaps[seg.bitmap];
            if (bmp && !bmp->Empty() && x + bmp->Width() > FEditRect.Left)
                c->Draw(x, top, bmp);
            continue;
        }
        SetRunFont(seg.look.fg, seg.look.bg, seg.look.style);
        ExtTextPaint(x, top, FEditRect.Left, AnsiString(seg.bytes));
    }

    DrawLeftMgn(row, Format(RowNumberFormat(), {row + 1}));
    DrawWrapLine(row, TRect(FEditRect.Left, top, FEditRect.Right, top + FRowHeight), top, top + FRowHeight);
    if (lastRow)
    {
        // The area below the text: rows that were deleted leave nothing behind.
        TRect below(FEditRect.Left, (rows - FTopLine) * FRowHeight + FEditRect.Top, FEditRect.Right,
                    FEditRect.Bottom);
        if (below.Top < below.Bottom)
        {
            c->Brush()->SetColor(Color());
            FillEditRect(below);
            DrawWrapLine(row, below, below.Top, below.Bottom);
        }
    }
    rec->Dirty = false;
}
