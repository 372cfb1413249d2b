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

int TCustomAFEdit::GetLinesCount() const { return FLines ? FLines->GetCount() : 0; }

AnsiString TCustomAFEdit::GetLine(int row) const
{
    if (!FLines || row < 0 || row >= FLines->GetCount())
        return AnsiString();
    return FLines->Get(row);
}

bool TCustomAFEdit::isCrLine(int row) const
{
    AnsiString s = GetLine(row);
    return s.Length() > 0 && s.c_str()[s.Length() - 1] == '\r';
}

TAttrListItem TCustomAFEdit::MakeAttr(bool dirty, int indent, int wrapPos)
{
    TAttrListItem r;
    r.FontColor = Font()->Color();
    r.BackColor = Color();
    r.Indent = int16_t(indent);
    r.WrapPos = uint16_t(std::clamp(wrapPos, 0, kNoWrap));
    r.Style = 0;
    r.Dirty = dirty;
    r.ColAttr = nullptr;
    return r;
}

void TCustomAFEdit::NoteLineWidth(int length)
{
    if (length + 2 > FLongestLine)
        FLongestLine = length + 2;
}

AnsiString TCustomAFEdit::TabExpand(const AnsiString& s, bool toSpaces)
{
    if (s.view().find('\t') == std::string_view::npos)
        return s;
    std::string out;
    out.reserve(size_t(s.Length()) + 16);
    AppendTabExpansion(out, s.c_str(), s.Length(), FTabSize, toSpaces);
    return AnsiString(out.data(), int(out.size()));
}

AnsiString TCustomAFEdit::DisplayText(int row)
{
    int indent = row >= 0 && row < GetLinesCount() ? std::max<int>(0, FAttrs->GetItem(row)->Indent) : 0;
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

TPoint TCustomAFEdit::DspPos(const TPoint& logical)
{
    AnsiString line = GetLine(logical.y);
    int indent = logical.y >= 0 && logical.y < GetLinesCount() ? int(FAttrs->GetItem(logical.y)->Indent) : 0;
    int count = std::clamp(logical.x, 0, line.Length());
    std::string out;
    AppendTabExpansion(out, line.c_str(), count, FTabSize, false);
    return TPoint(int(out.size()) + indent, logical.y);
}

int TCustomAFEdit::LogicalPos(const TPoint& display)
{
    int row = display.y;
    int indent = row >= 0 && row < GetLinesCount() ? int(FAttrs->GetItem(row)->Indent) : 0;
    if (display.x < indent)
        return display.x - indent;
    // Walks the stored text: a 0x0B byte of the text is a character, not tab fill.
    AnsiString line = GetLine(row);
    return DspColToLogCol(line.c_str(), line.Length(), FTabSize, display.x - indent);
}

void TCustomAFEdit::SetWrapPos(int row, int wrapPos)
{
    FAttrs->GetItem(row)->WrapPos = uint16_t(std::clamp(wrapPos, 10, kNoWrap));
}

TColAttrList* TCustomAFEdit::GetColAttrs(int row)
{
    TAttrListItem* rec = FAttrs->GetItem(row);
    if (!rec->ColAttr)
    {
        auto* list = new TColAttrList();
        int n = GetLine(row).Length();
        list->SetCapacity(n);
        for (int i = 0; i < n; ++i)
            list->Add(TColAttrListItem());
        rec->ColAttr = list;
    }
    return rec->ColAttr;
}

void TCustomAFEdit::ColAttrFree(int row)
{
    if (row < 0 || row >= FAttrs->GetCount())
        return;
    TAttrListItem* rec = FAttrs->GetItem(row);
    delete rec->ColAttr;
    rec->ColAttr = nullptr;
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
    TAttrListItem rec = n > 0 ? *FAttrs->GetItem(n - 1) : MakeAttr(true, 0, FDefWrapPos);
    rec.ColAttr = nullptr;
    rec.Dirty = true;
    AddLineP(s, rec);
    if (!Updating)
        SetScrollBars(ScrollBars);
}

void TCustomAFEdit::AddLineP(const AnsiString& textIn, const TAttrListItem& attr)
{
    AnsiString text = textIn;
    int n = GetLinesCount();
    if (OnLineInsert)
        OnLineInsert(this, n - 1, text);
    TAttrListItem after = attr;
    after.ColAttr = nullptr;
    FUndo->Push(FUndoGroupId, n, 0, FCaret, acInsert, AnsiString(), text, TAttrListItem(), after);
    FLines->Add(text);
    NoteLineWidth(text.Length());
    TAttrListItem rec = attr;
    rec.ColAttr = nullptr;
    rec.States = TAttrStates();
    rec.Dirty = true;
    // The record goes to the new row's index, even when reads created records past the end.
    FAttrs->SetItem(n, &rec);
    FireUndoChange(FUndo->Kept(), false);
}

void TCustomAFEdit::InsertLineP(int row, const AnsiString& text, const TAttrListItem& attr)
{
    InsertRow(row, text, attr, true);
}

void TCustomAFEdit::InsertRow(int row, const AnsiString& textIn, const TAttrListItem& attr, bool hookMayRewrite)
{
    AnsiString text = textIn;
    TAttrListItem copy = attr;
    copy.ColAttr = nullptr;
    if (OnLineInsert)
    {
        AnsiString seen = text;
        OnLineInsert(this, row, seen);
        if (hookMayRewrite)
            text = seen;
    }
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acInsert, AnsiString(), text, TAttrListItem(), copy);
    FLines->Insert(row, text);
    NoteLineWidth(text.Length());
    copy.Dirty = true;
    copy.States = TAttrStates();
    FAttrs->Insert(row, copy);
    BlkAttrLineEdit(row, emInsert);
    if (!Updating)
        SetScrollBars(ScrollBars);
    FireUndoChange(FUndo->Kept(), false);
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

bool TCustomAFEdit::AskChange(int row, const AnsiString& text)
{
    if (!OnBeforeChange)
        return true;
    AnsiString seen = text;
    bool canModify = true;
    OnBeforeChange(this, row, seen, canModify);
    // A change that must land exactly as asked (one half of a fold) is refused when rewritten.
    return canModify && seen == text;
}

void TCustomAFEdit::ApplyLineChange(int row, const AnsiString& text)
{
    TAttrListItem* rec = FAttrs->GetItem(row);
    TAttrListItem before = *rec;
    before.ColAttr = nullptr;
    TAttrListItem after = before;
    after.Dirty = true;
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acChange, FLines->Get(row), text, before, after);
    FLines->Put(row, text);
    NoteLineWidth(text.Length());
    FAttrs->GetItem(row)->Dirty = true;
    if (OnChange)
    {
        OnChange(this);
        TAttrListItem now = *FAttrs->GetItem(row);
        now.ColAttr = nullptr;
        FUndo->Push(FUndoGroupId, row, 0, FCaret, acChange, text, FLines->Get(row), after, now);
    }
    FireUndoChange(FUndo->Kept(), false);
}

void TCustomAFEdit::DeleteRowsAt(int first, int count, bool lastFirst)
{
    const int n = GetLinesCount();
    first = std::clamp(first, 0, n);
    count = std::clamp(count, 0, n - first);
    if (count >= n)
        count = n - 1; // the editor keeps a row
    if (count <= 0)
        return;
    if (count == 1)
    {
        DelLineP(first);
        return;
    }
    // The same undo records as deleting the rows one by one (last first, or all at first), but
    // the rows below move up once: linear in the rows of the text.
    for (int k = 0; k < count; ++k)
    {
        int row = lastFirst ? first + count - 1 - k : first + k;
        if (OnLineDelete)
            OnLineDelete(this, lastFirst ? row : first);
        TAttrListItem before = *FAttrs->GetItem(row);
        before.ColAttr = nullptr;
        FUndo->Push(FUndoGroupId, lastFirst ? row : first, 0, FCaret, acDelete, FLines->Get(row), AnsiString(),
                    before, TAttrListItem());
    }
    if (first + count < n)
        for (int row = first; row < first + count; ++row)
            BlkAttrRowEndToNext(row, first + count);
    FLines->BeginUpdate();
    try
    {
        for (int i = first + count; i < n; ++i)
            FLines->Put(i - count, FLines->Get(i));
        for (int i = n - 1; i >= n - count; --i)
            FLines->Delete(i);
    }
    catch (...)
    {
        FLines->EndUpdate();
        throw;
    }
    FLines->EndUpdate();
    // Records: free the deleted ones, move the rest up, drop the tail slots.
    int records = FAttrs->GetCount();
    for (int i = first; i < first + count && i < records; ++i)
    {
        ColAttrFree(i);
        delete static_cast<TAttrListItem*>(FAttrs->Get(i));
        FAttrs->Put(i, nullptr);
    }
    for (int i = first + count; i < records; ++i)
    {
        FAttrs->Put(i - count, FAttrs->Get(i));
        FAttrs->Put(i, nullptr);
    }
    FAttrs->TList::SetCount(std::max(0, records - count));
    for (int k = 0; k < count; ++k)
        BlkAttrLineEdit(first, emDelete);
    if (FCaret.y >= first + count)
        FCaret.y -= count;
    else if (FCaret.y > first)
        FCaret.y = first;
    if (!Updating)
        SetScrollBars(ScrollBars);
    FireUndoChange(FUndo->Kept(), false);
}

void TCustomAFEdit::DelLineP(int row)
{
    int n = GetLinesCount();
    if (row < 0 || row >= n)
        return; // refused: there is no such row
    if (OnLineDelete)
        OnLineDelete(this, row);
    TAttrListItem before = *FAttrs->GetItem(row);
    before.ColAttr = nullptr;
    FUndo->Push(FUndoGroupId, row, 0, FCaret, acDelete, FLines->Get(row), AnsiString(), before, TAttrListItem());
    if (row + 1 < n)
        BlkAttrRowEndToNext(row, row + 1);
    FLines->Delete(row);
    if (row < FAttrs->GetCount())
        FAttrs->Delete(row);
    BlkAttrLineEdit(row, emDelete);
    if (row < FCaret.y)
        --FCaret.y;
    if (GetLinesCount() == 0)
    {
        // The editor always holds a row: an empty one, recorded too, takes the only row's place.
        InsertRow(0, AnsiString(), before, false);
    }
    if (!Updating) // a batch of changes sets the bars once at its end
        SetScrollBars(ScrollBars);
    FireUndoChange(FUndo->Kept(), false);
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
    FAttrs->Clear();
    FLines->Clear();
    FBlkAttrs->Clear();
    FTopLine = 0;
    TAttrListItem rec = MakeAttr(true, 0, FDefWrapPos);
    FLines->Add(AnsiString());
    FAttrs->Add(rec);
    FUndo->Reset();
    FireUndoChange(FUndo->Kept(), false);
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

bool TCustomAFEdit::CanUndo() { return FUndo->PrevPop() != nullptr; }
bool TCustomAFEdit::CanRedo() { return FUndo->NextPop() != nullptr; }

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

void TCustomAFEdit::SetBanEnd(const AnsiString& chars)
{
    FBanEnd = chars;
    FBanEndSet.Assign(chars.c_str(), chars.Length());
}

void TCustomAFEdit::SetBanHead(const AnsiString& chars)
{
    FBanHead = chars;
    FBanHeadSet.Assign(chars.c_str(), chars.Length());
}

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
    FUndo = new TUndoBuff(100);
    FAttrs = new TAttrList();
    FBlkAttrs = new TBlkAttrList();
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
    FBlkAttrs->OnDelete = TBlkAttrDeleteEvent(this, &TCustomAFEdit::BlkAttrDelete);

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
    FLines = MakeFLine();
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
    FUndo->SetMax(-1);
    LoadEditorCursor();
    FUndo->Reset();
    SetColDependence(TColor(0xFF00FF));
    TAttrListItem rec = MakeAttr(false, 0, FDefWrapPos);
    FLines->Add(AnsiString());
    FAttrs->Add(rec);
}

void TCustomAFEdit::Loaded()
{
    SetFont(Font());
    FUndo->Reset();
    FireUndoChange(FUndo->Kept(), false);
    if (GetLinesCount() == 0)
    {
        FLines->Add(AnsiString());
        TAttrListItem rec = MakeAttr(false, 0, FDefWrapPos);
        FAttrs->SetItem(0, &rec);
    }
    FUndo->Reset();
    FCaret = TPoint(0, 0);
    SetCaretPosition();
}

TCustomAFEdit::~TCustomAFEdit()
{
    delete FUndo;
    if (FAttrs)
        FAttrs->Clear();
    delete FAttrs;
    delete FBlkAttrs;
    delete FRowClipAttrs;
    delete FRowClipTexts;
    delete FLines;
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
