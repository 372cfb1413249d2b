// The find dialog and the batch search.
#include <windows.h>

#include <algorithm>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "platform/SysUtils.h"
#include "search/SrchFrm.h"
#include "search/SrchResults.h"

TSrchForm* SrchForm = nullptr;

namespace
{
constexpr char kCtrlV = 0x16; // the character the keyboard makes of Ctrl+V

TSrchResultsSink* gSink = nullptr;
} // namespace

TSrchResultsSink* SrchResultsSink() { return gSink; }

TSrchResultsSink* SetSrchResultsSink(TSrchResultsSink* sink)
{
    TSrchResultsSink* previous = gSink;
    gSink = sink;
    return previous;
}

// ---- shared helpers -----------------------------------------------------------------------------

void PushComboHistory(TComboBox* combo, const AnsiString& text, int max)
{
    if (text.IsEmpty())
        return;
    TStrings* items = combo->Items();
    for (int i = items->GetCount() - 1; i >= 0; --i)
        if (items->Get(i) == text)
            items->Delete(i);
    items->Insert(0, text);
    while (items->GetCount() > max)
        items->Delete(items->GetCount() - 1);
    combo->SetText(text);
}

TPoint LogicalPoint(TCustomAFEdit& ed, const TPoint& display)
{
    return TPoint(std::max(0, ed.LogicalPos(display)), display.y);
}

TSelectionHold::TSelectionHold(TCustomAFEdit& ed)
    : ed_(ed), anchor_(ed.SelArea()->AnchorPoint()), end_(ed.SelArea()->MovingPoint()),
      startRow_(ed.SelArea()->GetStartRow()), endRow_(ed.SelArea()->GetEndRow())
{
}

TSelectionHold::~TSelectionHold()
{
    if (released_)
        return;
    TSelArea* sel = ed_.SelArea();
    sel->PutStartPoint(anchor_);
    sel->PutEndPoint(end_);
    sel->PutStartRow(startRow_);
    sel->PutEndRow(endRow_);
}

void TSelectionHold::Collapse()
{
    ed_.SelArea()->PointReset();
    ed_.SelArea()->RowReset();
}

// ---- the dialog ---------------------------------------------------------------------------------

TSrchForm::TSrchForm(TComponent* owner) : TForm(owner), SettingsKey(VN::kRegistryKey)
{
    SetName("SrchForm");
    SetCaption("検索");
    SetBorderStyle(bsDialog);
    SetBounds(200, 150, 540, 205);
    SetKeyPreview(true);

    // Labels left of the strings, options under them, buttons in a column on the right; each
    // label is as wide as its text, so none reaches into its combo box.
    auto label = [this](const char* caption, int x, int y) {
        return PlaceControl(this, Create<TLabel>(this), nullptr, caption, x, y, 0, 0);
    };
    auto combo = [this](const char* name, int y) {
        return PlaceControl(this, Create<TComboBox>(this), name, "", 100, y, 270, 22);
    };
    auto check = [this](const char* name, const char* caption, int y) {
        return PlaceControl(this, Create<TCheckBox>(this), name, caption, 10, y, 170, 20);
    };
    auto radio = [this](const char* name, const char* caption, int y) {
        return PlaceControl(this, Create<TRadioButton>(this), name, caption, 190, y, 180, 20);
    };
    auto button = [this](const char* name, const char* caption, int y) {
        return PlaceControl(this, Create<TButton>(this), name, caption, 385, y, 140, 25);
    };

    TLabel* srchLabel = label("検索文字列(&S)", 10, 12);
    SrchStrCBox = combo("SrchStrCBox", 8);
    srchLabel->SetFocusControl(SrchStrCBox);
    label("↓一括検索時有効↓", 100, 34);
    label("検索文字列２", 10, 54);
    SrchStrCBox2 = combo("SrchStrCBox2", 50);
    label("検索文字列３", 10, 80);
    SrchStrCBox3 = combo("SrchStrCBox3", 76);
    AlphaChkBox = check("AlphaChkBox", "大文字と小文字を区別", 110);
    WordChkBox = check("WordChkBox", "単語単位で検索", 134);
    ActivePageSrchRBtn = radio("ActivePageSrchRBtn", "アクティブファイル", 110);
    ActivePageSrchRBtn->SetChecked(true);
    AllOpenPageSrchRBtn = radio("AllOpenPageSrchRBtn", "開いているファイル全て", 134);

    NextBtn = button("NextBtn", "次を検索(F3)", 8);
    NextBtn->SetDefault(true);
    NextBtn->OnClick = TNotifyEvent(this, &TSrchForm::NextBtnClick);
    PrevBtn = button("PrevBtn", "前を検索(Shift+F3)", 38);
    PrevBtn->OnClick = TNotifyEvent(this, &TSrchForm::PrevBtnClick);
    AllSrchBtn = button("AllSrchBtn", "一括検索(F5)", 68);
    AllSrchBtn->OnClick = TNotifyEvent(this, &TSrchForm::AllSrchBtnClick);
    CancelBtn = button("CancelBtn", "キャンセル", 98);
    CancelBtn->SetCancel(true);
    CancelBtn->OnClick = TNotifyEvent(this, &TSrchForm::CancelBtnClick);

    OnShow = TNotifyEvent(this, &TSrchForm::FormShow);
    OnKeyDown = TKeyEvent(this, &TSrchForm::FormKeyDown);
    OnKeyPress = TKeyPressEvent(this, &TSrchForm::FormKeyPress);
}

void TSrchForm::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    params.ExStyle |= WS_EX_TOPMOST; // stays over the editor while the user goes on typing
}

void TSrchForm::FormShow(TObject*)
{
    ReadSettings();
    if (SrchStrCBox->HandleAllocated() && SrchStrCBox->CanFocus())
        SrchStrCBox->SetFocus();
}

void TSrchForm::FormKeyDown(TObject*, WORD& key, TShiftState shift)
{
    pastedOnKeyDown_ = false;
    if (key == VK_F3)
    {
        key = 0;
        FindStep(!shift.Contains(ssShift));
    }
    else if (key == VK_F5)
    {
        key = 0;
        AllSrchBtnClick(this);
    }
    else if (key == 'V' && shift.Contains(ssCtrl))
    {
        // Paste into whichever search string has the focus.
        for (TComboBox* c : {SrchStrCBox, SrchStrCBox2, SrchStrCBox3})
            if (c->HandleAllocated() && c->EditHandle() && GetFocus() == c->EditHandle())
            {
                SendMessageW(c->EditHandle(), WM_PASTE, 0, 0);
                key = 0;
                pastedOnKeyDown_ = true;
            }
    }
}

void TSrchForm::FormKeyPress(TObject*, char& key)
{
    // The character Ctrl+V makes would paste a second time in the edit.
    if (key == kCtrlV && pastedOnKeyDown_)
        key = 0;
    pastedOnKeyDown_ = false;
}

void TSrchForm::CancelBtnClick(TObject*) { Hide(); }

void TSrchForm::NextBtnClick(TObject*) { FindStep(true); }

void TSrchForm::PrevBtnClick(TObject*) { FindStep(false); }

void TSrchForm::FindStep(bool forward)
{
    const AnsiString pattern = SrchStrCBox->Text();
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    if (pattern.IsEmpty() || !ed)
        return;
    const TPoint from = LogicalPoint(*ed, ed->GetCaret());
    const bool caseSensitive = AlphaChkBox->Checked();
    const bool wholeWord = WordChkBox->Checked();
    const TPoint hit = forward ? ed->FindNext(from, pattern, caseSensitive, wholeWord, true)
                               : ed->FindPrev(from, pattern, caseSensitive, wholeWord, true);
    if (hit.x < 0)
    {
        // Asked from the dialog, the box belongs to it: closing the box gives the focus back to the
        // dialog, so that F3 and F5 go on working there, instead of to the main window.
        void* const owner = MessageOwner();
        const bool fromDialog = HandleAllocated() && GetActiveWindow() == Handle();
        if (fromDialog)
            SetMessageOwner(Handle());
        try
        {
            InfoBox(msgFindNotFound, ("'" + pattern + "'").c_str());
        }
        catch (...)
        {
            SetMessageOwner(owner);
            throw;
        }
        SetMessageOwner(owner);
    }
    PushHistory();
}

void TSrchForm::AllSrchBtnClick(TObject*)
{
    const bool caseSensitive = AlphaChkBox->Checked();
    const bool wholeWord = WordChkBox->Checked();
    TSrchResultsSink* sink = SrchResultsSink();
    if (sink)
    {
        sink->ClearHits();
        sink->ShowResults();
    }

    std::vector<nsRichEdit*> editors;
    if (ActivePageSrchRBtn->Checked())
    {
        if (nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr)
            editors.push_back(ed);
    }
    else if (OpenEditors)
        editors = OpenEditors();

    // An empty string ends the list: the later ones are not used.
    std::vector<AnsiString> patterns;
    for (TComboBox* c : {SrchStrCBox, SrchStrCBox2, SrchStrCBox3})
    {
        if (c->Text().IsEmpty())
            break;
        patterns.push_back(c->Text());
    }

    int count = 0;
    if (sink)
        sink->BeginHits();
    try
    {
        for (nsRichEdit* ed : editors)
        {
            if (!ed)
                continue;
            TSelectionHold hold(*ed);
            hold.Collapse();
            for (size_t k = 0; k < patterns.size(); ++k)
            {
                const AnsiString& pattern = patterns[k];
                TPoint from(0, 0);
                for (;;)
                {
                    const TPoint hit = ed->FindNext(from, pattern, caseSensitive, wholeWord, false);
                    if (hit.x < 0)
                        break;
                    ++count;
                    auto* pack = new typSrchPack;
                    pack->HitPoint = hit;
                    pack->Pattern = pattern;
                    pack->Color = VN::EditSetting.色_検索文字列[k].colour;
                    ed->MakeSrchPack(*pack);
                    if (sink)
                        sink->AddHit(pack);
                    else
                        delete pack;
                    // On after the hit: the next one starts where this one ended.
                    TPoint next(hit.x + pattern.Length(), hit.y);
                    while (next.y + 1 < ed->GetLinesCount() && next.x >= ed->GetLine(next.y).Length())
                    {
                        next.x -= ed->GetLine(next.y).Length();
                        ++next.y;
                    }
                    if (next.y < from.y || (next.y == from.y && next.x <= from.x))
                        break; // cannot happen; a search that does not move on would never end
                    from = next;
                }
            }
        }
        if (count == 0 && sink)
        {
            AnsiString list;
            for (const AnsiString& p : patterns)
                list += " '" + p + "'";
            sink->AddLine(Format(msgFindNotFound, {list.Trim()}));
        }
    }
    catch (...)
    {
        if (sink)
            sink->EndHits();
        throw;
    }
    if (sink)
        sink->EndHits();
    PushHistory();
    Hide();
}

// ---- history and settings -----------------------------------------------------------------------

void TSrchForm::PushHistory()
{
    PushComboHistory(SrchStrCBox, SrchStrCBox->Text());
    PushComboHistory(SrchStrCBox2, SrchStrCBox2->Text());
    PushComboHistory(SrchStrCBox3, SrchStrCBox3->Text());
    WriteSettings();
}

void TSrchForm::ReadSettings()
{
    VN::typSearchSetting f;
    ReadSearchSettings(f, SettingsKey); // blank history lines are already dropped
    (f.allSearchType == 1 ? AllOpenPageSrchRBtn : ActivePageSrchRBtn)->SetChecked(true);
    TStringList list;
    list.SetText(f.searchHistory);
    while (list.GetCount() > kSearchHistoryMax)
        list.Delete(list.GetCount() - 1);
    for (TComboBox* c : {SrchStrCBox, SrchStrCBox2, SrchStrCBox3})
    {
        const AnsiString text = c->Text();
        c->Items()->Assign(&list);
        c->SetText(text); // the typed text stays
    }
    AlphaChkBox->SetChecked(f.searchCase);
    WordChkBox->SetChecked(f.searchWord);
}

void TSrchForm::WriteSettings()
{
    VN::typSearchSetting f;
    ReadSearchSettings(f, SettingsKey); // the file search keeps its part of the section
    f.allSearchType = AllOpenPageSrchRBtn->Checked() ? 1 : 0;
    f.searchHistory = SrchStrCBox->Items()->GetText();
    f.searchCase = AlphaChkBox->Checked();
    f.searchWord = WordChkBox->Checked();
    WriteSearchSettings(f, SettingsKey);
}
