// The editor control's class frame: construction, rows and their records, coordinates.
#include "editor_control/AFEdit.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "editor_control/AFEditText.h"
#include "platform/SysUtils.h"

namespace
{
const char* const kBanHead = "、。，．？！゛゜…‥’”）〕］｝〉》」』】≫ぁぃぅぇぉっゃゅょァィゥェォッャュョ)]},.;:";
const char* const kBanEnd = "（［｛「〔《『【〈≪‘“({[";
const char* const kDependenceChar =
    "㈲㊥㈹㊤㊧㈱㊦㊨㍼㍽㍾㍻㌻㍊㌫㌣㌦㌍㍗㍑㌶㌃㌧㌘㍍㌢㌔㍉℡№㎜㎎㎡㎞㏍㎏㎝㏄⑳⑲⑱⑰⑯⑮⑭⑬⑫⑪Ⅹ⑩Ⅸ⑨Ⅷ⑧Ⅶ⑦Ⅵ⑥Ⅴ⑤Ⅳ④Ⅲ③Ⅱ②Ⅰ①⊿⊥≡≒∵∮∫∪∩∠∟√∑〟〝";
} // namespace

AnsiString TCustomAFEdit::DisplayText(int row)
{
    int indent = row >= 0 && row < GetLinesCount() ? std::max<int>(0, AttrList()->Peek(row).Indent) : 0;
    return AnsiString::StringOfChar(' ', indent) + TabExpand(GetLine(row), false);
}

int TCustomAFEdit::DspColToLogicalCol(const AnsiString& dsp, int pos, int indent)
{
    int len = dsp.Length();
    if (len == 0)
        return 0;
    const char* d = dsp.c_str();
    if (pos >= len)
        pos = len;
    if (pos < 0)
        return pos - indent;
    while (pos < len && d[pos] == '\x0B')
        ++pos;
    int fill = 0;
    for (int i = 0; i < pos; ++i)
        if (d[i] == '\x0B')
            ++fill;
    return pos - fill - indent;
}

void TCustomAFEdit::FireUndoChange(bool canUndo, bool canRedo)
{
    if (OnUndoChange)
        OnUndoChange(this, canUndo, canRedo);
}

// ---- row primitives: every change pushes its undo record ----

void TCustomAFEdit::AddLine(const AnsiString& s)
{
    ++FUndoGroupId;
    int n = GetLinesCount();
    TAttrListItem rec = n > 0 ? *AttrList()->GetItem(n - 1) : MakeAttr(true, 0, FDefWrapPos);
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    AddLineP(s, rec);
    if (!Updating)
        SetScrollBars(ScrollBars);
}

void TCustomAFEdit::InsertLineP(int row, const AnsiString& text, const TAttrListItem& attr)
{
    InsertRow(row, text, attr, true);
}

void TCustomAFEdit::LineChange(int row, const AnsiString& textIn, bool newGroup)
{
    AnsiString text = textIn;
    bool canModify = true;
    if (OnBeforeChange)
        OnBeforeChange(this, row, text, canModify);
    if (!canModify)
        return;
    if (newGroup)
        ++FUndoGroupId;
    ApplyLineChange(row, text);
}

AnsiString TCustomAFEdit::TabExpand(const AnsiString& s, bool toSpaces) { return FDoc->TabExpand(s, toSpaces); }

void TCustomAFEdit::DelLineP(int row) { FDoc->DelLineP(row); }

void TCustomAFEdit::MarkDirtyFrom(int row)
{
    // Only rows on screen are ever drawn from their flag (a scroll repaints the whole view), so
    // marking stops below the view: an edit costs the rows shown, not the rows below it.
    const int last = std::min(GetLinesCount(), FTopLine + VisibleRows() + 2);
    for (int i = std::max(std::max(0, row), FTopLine); i < last; ++i)
        AttrList()->SetDirty(i, true);
}

void TCustomAFEdit::RefoldParagraphs()
{
    FDoc->RefoldParagraphs();
    FTopLine = std::min(FTopLine, std::max(0, GetLinesCount() - 1));
}

// ---- what the document tells the view ----

void TCustomAFEdit::DocLineInserting(int row, AnsiString& text)
{
    if (OnLineInsert)
        OnLineInsert(this, row, text);
}

void TCustomAFEdit::DocLineDeleting(int row)
{
    if (OnLineDelete)
        OnLineDelete(this, row);
}

bool TCustomAFEdit::DocBeforeChange(int row, AnsiString& text)
{
    bool canModify = true;
    if (OnBeforeChange)
        OnBeforeChange(this, row, text, canModify);
    return canModify;
}

bool TCustomAFEdit::DocChanged()
{
    if (!OnChange)
        return false;
    OnChange(this);
    return true;
}

bool TCustomAFEdit::DocWordBreak(const AnsiString& line, int& wrapPos)
{
    if (!OnWordBreak)
        return false;
    OnWordBreak(this, line, wrapPos);
    return true;
}

void TCustomAFEdit::DocRowCountChanged()
{
    if (!Updating) // a batch of changes sets the bars once at its end
        SetScrollBars(ScrollBars);
}

void TCustomAFEdit::DocSelRowInserted(int row)
{
    if (FSelArea->isRowAble())
        FSelArea->Insert(row);
}

void TCustomAFEdit::DocSelRowDeleted(int row)
{
    if (FSelArea->isRowAble())
        FSelArea->Delete(row);
}

bool TCustomAFEdit::DocRowHooksIdle()
{
    return !OnLineInsert && !OnLineDelete && !OnBeforeChange && !OnChange && !OnWordBreak;
}

void TCustomAFEdit::DocDefaultColors(TColorValue& fontColor, TColorValue& backColor)
{
    fontColor = Font()->Color();
    backColor = Color();
}

// ---- update brackets, clearing, undo state ----

void TCustomAFEdit::BeginUpdate() { Updating = true; }

void TCustomAFEdit::EndUpdate()
{
    Updating = false;
    Invalidate();
}

void TCustomAFEdit::Clear()
{
    FDoc->Clear(MakeAttr(true, 0, FDefWrapPos));
    FTopLine = 0;
    FireUndoChange(UndoBuff()->Kept(), false);
    FSelArea->RowReset();
    FSelArea->PutStartPoint(TPoint());
    FSelArea->PutEndPoint(TPoint());
    FLongestLine = 0;
    SetScrollBars(ScrollBars);
    ValiPaint();
    FCaret = TPoint(0, 0);
    SetCaretPosition();
    FFileDate = 0;
}

bool TCustomAFEdit::CanUndo() { return FDoc->CanUndo(); }
bool TCustomAFEdit::CanRedo() { return FDoc->CanRedo(); }

void TCustomAFEdit::BlkAttrDelete(TObject* sender, int startRow, int endRow)
{
    if (OnBlkAttrDelete)
        OnBlkAttrDelete(this, startRow, endRow);
}

void TCustomAFEdit::KeywordsChange(TObject* sender)
{
    std::fill(std::begin(FWordChars), std::end(FWordChars), false);
    for (int c = '0'; c <= '9'; ++c)
        FWordChars[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        FWordChars[c] = FWordChars[c + 32] = true;
    for (int i = 0; i < FKeywords->GetCount(); ++i)
    {
        AnsiString k = FKeywords->Get(i);
        for (int j = 1; j <= k.Length(); ++j)
            FWordChars[k.Byte(j)] = true;
    }
}

TStrings* TCustomAFEdit::MakeFLine() { return new TStringList(); }

namespace
{
// Initial values shared by construction and the published defaults.
void InitStrings(TCustomAFEdit& e)
{
    e.SetBanHead(kBanHead);
    e.SetBanEnd(kBanEnd);
    e.DependenceChar = kDependenceChar;
    e.EofMark = "[EOF]";
    e.CrMark = "↓";
    e.RowDspFmt = "%5d ";
}
} // namespace

TCustomAFEdit::TCustomAFEdit(TComponent* owner) : TCustomControl(owner)
{
    // Checked first, before anything is allocated that the unwinding would not free.
    if (owner && !dynamic_cast<TWinControl*>(owner))
        throw EInvalidCast("Invalid class typecast");
    SetVisible(false);
    InitStrings(*this);
    FDoc->SetHost(this);
    FRowClipAttrs = new TAttrList();
    FRowClipTexts = new TStringList();
    FKeywords = new TStringList();
    FKeywords->SetSorted(true);
    FExKeywords = new TStringList();
    FExKeywords->SetSorted(true);
    FSelArea = new TSelArea();
    FFontDependence = new TFont();
    FFontKeyWord = new TFont();
    FFontExKeyWord = new TFont();
    FFontSelText = new TFont();
    FFontSelText->SetColor(clHighlightText);
    BlkAttrList()->OnDelete = TBlkAttrDeleteEvent(this, &TCustomAFEdit::BlkAttrDelete);

    FCaret = TPoint(0, 0);
    ColColumnIndi = clBtnFace;
    ColColumnNo = clWindowText;
    ColCr = TColor(0x000080);
    ColLeftMgn = clWindow;
    ColRowNo = clWindowText;
    ColSelBrush = clHighlight;
    TControl::SetColor(clWindow);
    FDefWrapPos = 60;
    FOptions = TAFEditOptions{aoAutoFormat};
    FTabSize = 4;
    FViewOpt = TViewOptions::FromInt(0x3FF);
    WrapLeadBytes = 10;
    WrapTrailBytes = 4;
    FPixelTable.assign(65536, 1);

    if (auto* parent = dynamic_cast<TWinControl*>(owner))
        SetParent(parent);
}

void TCustomAFEdit::AfterConstruction()
{
    TCustomControl::AfterConstruction();
    // Overridable parts of construction run here, once the derived class is complete.
    FDoc->SetLines(MakeFLine());
    for (auto*& bmp : FMarkBitmaps)
        bmp = new TBitmap();
    try
    {
        FMarkBitmaps[2]->LoadFromResourceName(HInstance, "CR");
    }
    catch (const Exception&)
    {
        // A missing glyph only costs the line-end mark.
    }
    Font()->SetName("ＭＳ ゴシック");
    Font()->SetColor(clWindowText);
    FKeywords->OnChange = TNotifyEvent(this, &TCustomAFEdit::KeywordsChange);
    KeywordsChange(FKeywords);
    MetricsUpdate(false);
    UndoBuff()->SetMax(-1);
    LoadEditorCursor();
    UndoBuff()->Reset();
    SetColDependence(TColor(0xFF00FF));
    TAttrListItem rec = MakeAttr(false, 0, FDefWrapPos);
    Lines()->Add(AnsiString());
    AttrList()->Add(rec);
}

void TCustomAFEdit::Loaded()
{
    SetFont(Font());
    UndoBuff()->Reset();
    FireUndoChange(UndoBuff()->Kept(), false);
    if (GetLinesCount() == 0)
    {
        Lines()->Add(AnsiString());
        TAttrListItem rec = MakeAttr(false, 0, FDefWrapPos);
        AttrList()->SetItem(0, &rec);
    }
    UndoBuff()->Reset();
    FCaret = TPoint(0, 0);
    SetCaretPosition();
}

TCustomAFEdit::~TCustomAFEdit()
{
    delete FRowClipAttrs;
    delete FRowClipTexts;
    FDoc->SetHost(nullptr);
    FDoc.reset();
    delete FKeywords;
    delete FExKeywords;
    delete FSelArea;
    delete FFontDependence;
    delete FFontKeyWord;
    delete FFontExKeyWord;
    delete FFontSelText;
    for (auto* bmp : FMarkBitmaps)
        delete bmp;
    delete FMeasureCanvas;
    if (FMeasureDC)
        DeleteDC(FMeasureDC);
}
