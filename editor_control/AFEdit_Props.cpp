// Property setters, metrics, fonts and their derived glyph bitmaps, and the row sort.
#include <windows.h>
#undef TextOut

#include <algorithm>

#include "editor_control/AFEdit.h"
#include "platform/SysUtils.h"

namespace
{
// Font colour at the last font change of any editor: rows still in that colour follow the next one.
TColor gLastFontColor = 0;
const char* const kDefaultRowFmt = "%5d ";
// Row-number formats wider than this would eat the text area.
constexpr int kMaxRowFmtWidth = 32;
} // namespace

// ---- edited state, sizes ----

void TCustomAFEdit::SetEdited(bool edited)
{
    if (edited)
        UndoBuff()->MarkUnsaved(); // the saved state becomes unreachable: reads true even at position 0
    else
        UndoBuff()->MarkSaved();
}

void TCustomAFEdit::SetTabSize(int size)
{
    FTabSize = std::clamp(size, 1, 16);
    Invalidate();
}

void TCustomAFEdit::SetDefWrapPos(int wrapPos)
{
    wrapPos = std::clamp(wrapPos, 10, kNoWrap);
    int old = FDefWrapPos;
    for (int i = 0; i < AttrList()->GetCount(); ++i)
    {
        auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(i));
        if (rec && rec->WrapPos == old)
            rec->WrapPos = uint16_t(wrapPos);
    }
    FDefWrapPos = wrapPos;
}

void TCustomAFEdit::SetViewOpt(TViewOptions options)
{
    FViewOpt = options;
    if (!Updating)
        MetricsUpdate(true);
}

void TCustomAFEdit::SetRowPich(int pich)
{
    pich = std::clamp(pich, 0, 99);
    if (pich == FRowPich)
        return;
    FRowPich = pich;
    MetricsUpdate(false);
    Invalidate();
}

void TCustomAFEdit::SetCharPich(int pich)
{
    FCharPich = std::clamp(pich, 0, 99);
    MetricsUpdate(true);
}

void TCustomAFEdit::SetTopMgn(int mgn)
{
    FTopMgn = std::clamp(mgn, 0, 999);
    MetricsUpdate(true);
}

void TCustomAFEdit::SetLeftMgn(int mgn)
{
    FLeftMgn = std::max(0, mgn);
    MetricsUpdate(true);
}

bool TCustomAFEdit::IsRowNumberFormat(const AnsiString& fmt)
{
    const char* s = fmt.c_str();
    const int n = fmt.Length();
    int conversions = 0;
    for (int i = 0; i < n; ++i)
    {
        if (s[i] != '%')
            continue;
        if (++i >= n)
            return false;
        if (s[i] == '%')
            continue;
        while (i < n && std::string_view("-0+ ").find(s[i]) != std::string_view::npos)
            ++i;
        int width = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9')
            width = std::min(width * 10 + (s[i++] - '0'), 1000);
        if (i < n && s[i] == '.')
        {
            int precision = 0;
            ++i;
            while (i < n && s[i] >= '0' && s[i] <= '9')
                precision = std::min(precision * 10 + (s[i++] - '0'), 1000);
            width = std::max(width, precision);
        }
        if (i >= n || width > kMaxRowFmtWidth)
            return false;
        switch (s[i])
        {
        case 'd':
        case 'u':
        case 'x':
        case 'X': ++conversions; break;
        default: return false; // '*', strings, pointers, floats: not a row number
        }
    }
    return conversions == 1;
}

AnsiString TCustomAFEdit::RowNumberFormat() const
{
    return IsRowNumberFormat(RowDspFmt) ? RowDspFmt : AnsiString(kDefaultRowFmt);
}

void TCustomAFEdit::SetRowDspFmt(const AnsiString& fmt)
{
    RowDspFmt = IsRowNumberFormat(fmt) ? fmt : AnsiString(kDefaultRowFmt);
    MetricsUpdate(true);
}

// ---- colours ----

TColor TCustomAFEdit::MarkColorOf(TColor windowColor)
{
    unsigned rgb = unsigned(ColorToRGB(windowColor)) & 0xFFFFFF;
    unsigned out = 0;
    for (int shift = 0; shift < 24; shift += 8)
    {
        int channel = int((rgb >> shift) & 0xFF) - 0x40;
        out |= unsigned(std::max(channel, 0)) << shift;
    }
    return TColor(out);
}

void TCustomAFEdit::SetColor(TColor color)
{
    TColor old = Color();
    for (int i = 0; i < AttrList()->GetCount(); ++i)
    {
        auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(i));
        if (rec && rec->BackColor == old)
        {
            rec->BackColor = color;
            rec->Dirty = true;
        }
    }
    TControl::SetColor(color);
    Invalidate();
}

void TCustomAFEdit::SetCrColor(TColor cr, TColor back)
{
    if (FCrKeyHeight == FTextHeight && FCrKeyColor == cr && FCrKeyBack == back && FCrKeySel == ColSelBrush)
        return;
    ColCr = cr;
    TBitmap* glyph = FMarkBitmaps[2];
    if (!glyph || !FMarkBitmaps[0] || !FMarkBitmaps[1])
        return;
    const char* name = FTextHeight > 20 ? "CRL" : FTextHeight > 14 ? "CR" : "CRS";
    try
    {
        // Loaded afresh each time: the flood fills below re-colour the glyph itself.
        glyph->LoadFromResourceName(HInstance, name);
    }
    catch (const Exception&)
    {
        return; // no glyph: the line end is drawn as text only
    }
    FCrKeyHeight = FTextHeight;
    FCrKeyColor = cr;
    FCrKeyBack = back;
    FCrKeySel = ColSelBrush;
    glyph->SetPixelFormat(pf24bit);
    TCanvas* g = glyph->Canvas();
    g->Brush()->SetColor(cr);
    g->FloodFill(10, 4, TColor(0x000080), fsSurface);
    g->FloodFill(4, 10, TColor(0x000080), fsSurface);
    g->Brush()->SetColor(back);
    g->FloodFill(1, 1, cr, fsBorder);
    int h = std::max(1, FTextHeight);
    FMarkBitmaps[0]->SetSize(h, h);
    FMarkBitmaps[0]->Canvas()->StretchDraw(TRect(0, 0, h, h), glyph);
    g->Brush()->SetColor(ColSelBrush);
    g->FloodFill(1, 1, cr, fsBorder);
    FMarkBitmaps[1]->SetSize(h, h);
    FMarkBitmaps[1]->Canvas()->StretchDraw(TRect(0, 0, h, h), glyph);
}

void TCustomAFEdit::SetMgnColor(TColor color)
{
    ColLeftMgn = color;
    Invalidate();
}

void TCustomAFEdit::SetRowNoColor(TColor color)
{
    ColRowNo = color;
    Invalidate();
}

TColor TCustomAFEdit::GetKeywordColor() const { return FFontKeyWord->Color(); }
void TCustomAFEdit::SetKeyWordColor(TColor color) { FFontKeyWord->SetColor(color); }
TFontStyles TCustomAFEdit::GetKeywordStyle() const { return FFontKeyWord->Style(); }
void TCustomAFEdit::SetKeyWordStyle(TFontStyles style) { FFontKeyWord->SetStyle(style); }
TColor TCustomAFEdit::GetExKeywordColor() const { return FFontExKeyWord->Color(); }
void TCustomAFEdit::SetExKeyWordColor(TColor color) { FFontExKeyWord->SetColor(color); }
TFontStyles TCustomAFEdit::GetExKeywordStyle() const { return FFontExKeyWord->Style(); }
void TCustomAFEdit::SetExKeyWordStyle(TFontStyles style) { FFontExKeyWord->SetStyle(style); }
TColor TCustomAFEdit::GetSelTextColor() const { return FFontSelText->Color(); }
void TCustomAFEdit::SetSelTextColor(TColor color) { FFontSelText->SetColor(color); }

void TCustomAFEdit::SetColDependence(TColor color)
{
    FColDependence = color;
    FFontDependence->SetColor(color);
}

void TCustomAFEdit::SetKeyWords(TStrings* words)
{
    if (words && words != FKeywords)
        FKeywords->Assign(words);
    else if (!words)
        FKeywords->Clear();
    KeywordsChange(FKeywords);
    Invalidate();
}

void TCustomAFEdit::SetKeywordCase(bool caseSensitive)
{
    if (caseSensitive == KeywordCase() && caseSensitive == FExKeywords->GetCaseSensitive())
        return;
    FKeywords->SetCaseSensitive(caseSensitive);
    FExKeywords->SetCaseSensitive(caseSensitive);
    Invalidate();
}

void TCustomAFEdit::SetExKeyWords(TStrings* words)
{
    if (words && words != FExKeywords)
        FExKeywords->Assign(words);
    else if (!words)
        FExKeywords->Clear();
    Invalidate();
}

void TCustomAFEdit::WMNCPaint(TMessage& message)
{
    DefaultHandler(message);
    SyncEditRect();
    FMarkColor = MarkColorOf(clWindow);
    SetCrColor(ColCr, Color());
}

// ---- metrics and fonts ----

TCanvas* TCustomAFEdit::GetMyCanvas()
{
    if (HandleAllocated())
        return Canvas();
    // No window yet: measure on a screen-compatible memory DC.
    if (!FMeasureCanvas)
    {
        FMeasureCanvas = new TCanvas();
        FMeasureDC = CreateCompatibleDC(nullptr);
        FMeasureCanvas->SetHandle(FMeasureDC);
    }
    return FMeasureCanvas;
}

void TCustomAFEdit::MetricsUpdate(bool repaint)
{
    TCanvas* canvas = GetMyCanvas();
    canvas->SetFont(Font());
    const int height = std::max(1, canvas->TextHeight("あ"));
    SetCellMetrics(height, (height + 1) / 2);
    SetEditOrigin(FViewOpt.Contains(voRowNum) ? Format(RowNumberFormat(), {100}).Length() * FColWidth : 2,
                  FTopMgn + (FViewOpt.Contains(voColIndicate) ? FRowHeight : 0));
    EnsureMarkColor();
    if (repaint && HandleAllocated())
    {
        CaretHide();
        TCanvas* c = GetMyCanvas();
        c->Brush()->SetColor(Color());
        c->FillRect(ClientRect());
        Invalidate();
        CaretShow();
    }
}

void TCustomAFEdit::SetCellMetrics(int textHeight, int cellWidth)
{
    FTextHeight = std::max(1, textHeight);
    FRowHeight = std::max(1, FTextHeight + FRowPich);
    FColWidth = std::max(1, cellWidth + FCharPich);
    std::fill(FPixelTable.begin(), FPixelTable.end(), FColWidth);
}

void TCustomAFEdit::SetEditOrigin(int leftMgn, int top)
{
    FLeftMgn = leftMgn;
    FEditRect.Left = FLeftMgn;
    FEditRect.Top = top;
}

void TCustomAFEdit::EnsureMarkColor()
{
    if (FMarkColor == clNone)
        FMarkColor = MarkColorOf(clWindow);
}

void TCustomAFEdit::SetFont(TFont* font)
{
    if (FInFontChange)
        return; // our own height fix-up below comes back through the font-change message
    FInFontChange = true;
    try
    {
        if (font && font != Font())
            TControl::SetFont(font);
        if (Font()->Color() != gLastFontColor)
        {
            for (int i = 0; i < AttrList()->GetCount(); ++i)
            {
                auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(i));
                if (rec && rec->FontColor == gLastFontColor)
                    rec->FontColor = Font()->Color();
            }
            gLastFontColor = Font()->Color();
        }
        // Even before measuring: half-width cells then match the glyphs that are drawn.
        int h = Font()->Height();
        if (h % 2 != 0)
            Font()->SetHeight(h > 0 ? h + 1 : h - 1);
        MetricsUpdate(false);
        TColor depColor = FFontDependence->Color();
        FFontDependence->Assign(*Font());
        FFontDependence->SetColor(depColor);
        for (TFont* f : {FFontKeyWord, FFontExKeyWord})
        {
            TColor c = f->Color();
            TFontStyles s = f->Style();
            f->Assign(*Font());
            f->SetColor(c);
            f->SetStyle(s);
        }
        TColor selColor = FFontSelText->Color();
        FFontSelText->Assign(*Font());
        FFontSelText->SetColor(selColor);
        FImePos = POINT{-1, -1}; // the composition font must follow
        if (HandleAllocated() && Focused())
        {
            CaretCreate();
            SetCaretPosition();
            CaretShow();
        }
        SetCrColor(ColCr, Color());
    }
    catch (...)
    {
        FInFontChange = false;
        throw;
    }
    FInFontChange = false;
}

void TCustomAFEdit::CMFontChanged(TMessage& message)
{
    if (FInFontChange)
        return;
    SetFont(Font());
    Invalidate();
}

// ---- rows: records without growth, selection bounds, sorting ----

int TCustomAFEdit::RowWrapPos(int row) const
{
    if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount())
        return FDefWrapPos;
    auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(row));
    return rec && rec->WrapPos != 0 ? int(rec->WrapPos) : FDefWrapPos;
}

int TCustomAFEdit::RowIndent(int row) const
{
    if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount())
        return 0;
    auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(row));
    return rec ? std::max<int>(0, rec->Indent) : 0;
}

void TCustomAFEdit::MarkRowsDirty(int from, int to)
{
    if (from > to)
        std::swap(from, to);
    from = std::max(from, 0);
    to = std::min(to, std::min(GetLinesCount(), AttrList()->GetCount()) - 1);
    for (int row = from; row <= to; ++row)
        if (auto* rec = static_cast<TAttrListItem*>(AttrList()->Get(row)))
            rec->Dirty = true;
}

void TCustomAFEdit::SetSelAreaMaxMin()
{
    if (!FSelArea->isRowAble())
        return;
    int maxIndent = -1;
    int minWrap = 100000;
    int last = std::min(FSelArea->GetEndRow(), GetLinesCount() - 1);
    for (int row = std::max(0, FSelArea->GetStartRow()); row <= last; ++row)
    {
        maxIndent = std::max(maxIndent, RowIndent(row));
        minWrap = std::min(minWrap, RowWrapPos(row));
    }
    FSelArea->MaxIndent = maxIndent;
    FSelArea->MinWrapPos = minWrap;
}

void TCustomAFEdit::SwapRows(int i, int j, bool record)
{
    AnsiString ti = Lines()->Get(i);
    AnsiString tj = Lines()->Get(j);
    TAttrListItem ri = *AttrList()->GetItem(i);
    TAttrListItem rj = *AttrList()->GetItem(j);
    ri.ColAttr = nullptr;
    rj.ColAttr = nullptr;
    if (record)
    {
        UndoBuff()->Push(FUndoGroupId, i, 0, FCaret, acChange, ti, tj, ri, rj);
        UndoBuff()->Push(FUndoGroupId, j, 0, FCaret, acChange, tj, ti, rj, ri);
    }
    Lines()->Exchange(i, j);
    AttrList()->Exchange(i, j);
    AttrList()->GetItem(i)->Dirty = true;
    AttrList()->GetItem(j)->Dirty = true;
}

// The partition of the string list's quicksort; the smaller side recurses and the larger one
// loops, so the depth stays logarithmic whatever the order of the rows.
void TCustomAFEdit::SortRange(TStringList* list, int first, int last, TStringListSortCompare compare, bool record)
{
    while (first < last)
    {
        int i = first;
        int j = last;
        int p = (first + last) >> 1;
        do
        {
            // The bounds only matter for a compare function that contradicts itself.
            while (i < last && compare(list, i, p) < 0)
                ++i;
            while (j > first && compare(list, j, p) > 0)
                --j;
            if (i <= j)
            {
                if (i != j)
                {
                    SwapRows(i, j, record);
                    if (p == i)
                        p = j;
                    else if (p == j)
                        p = i;
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - first < last - i)
        {
            SortRange(list, first, j, compare, record);
            first = i;
        }
        else
        {
            SortRange(list, i, last, compare, record);
            last = j;
        }
    }
}

void TCustomAFEdit::QuickSort(int first, int last, TStringListSortCompare compare, bool record)
{
    auto* list = dynamic_cast<TStringList*>(Lines());
    if (!list || !compare)
        return;
    first = std::max(first, 0);
    last = std::min(last, GetLinesCount() - 1);
    // An empty final row stays in place; only the whole range's own last row counts.
    if (first < last && GetLine(last).IsEmpty())
        --last;
    if (first < last)
        SortRange(list, first, last, compare, record);
    FireUndoChange(UndoBuff()->Kept(), false);
}

void TCustomAFEdit::CustomSort(int first, int last, TStringListSortCompare compare, bool newGroup)
{
    if (newGroup)
        ++FUndoGroupId;
    QuickSort(first, last, compare, true);
    Invalidate();
}
