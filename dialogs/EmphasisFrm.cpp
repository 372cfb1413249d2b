// The emphasized-string settings dialog.
#include "dialogs/EmphasisFrm.h"

#include <algorithm>
#include <string>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Dialogs.h"
#include "platform/SysUtils.h"

TEmphasisForm* EmphasisForm = nullptr;

namespace
{
constexpr const char* kNoExtensionTab = "拡張子なし";

AnsiString TabCaption(const VN::typEmphItem& item)
{
    const AnsiString ext = NsStringToAnsi(item.extension);
    return ext.IsEmpty() ? AnsiString(kNoExtensionTab) : ext;
}

// The words of an entry, one a line, in byte order.
std::vector<std::string> SplitWords(const AnsiString& words)
{
    std::vector<std::string> out;
    if (words.IsEmpty())
        return out;
    const std::string s = words.str();
    size_t from = 0;
    while (true)
    {
        const size_t at = s.find("\r\n", from);
        out.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            break;
        from = at + 2;
    }
    std::sort(out.begin(), out.end());
    return out;
}
} // namespace

TEmphasisForm::TEmphasisForm(TComponent* owner) : TForm(owner), SettingsKey(VN::kRegistryKey)
{
    SetName("EmphasisForm");
    SetCaption("強調文字列の設定");
    SetBorderStyle(bsDialog);
    SetBounds(200, 120, 420, 400);
    work_.SetOwns(true);

    PlaceControl(this, Create<TLabel>(this), nullptr, "ファイルの拡張子ごとに強調文字列を設定できます", 10, 10, 0, 0);
    TGroupBox* extGroup =
        PlaceControl(this, Create<TGroupBox>(this), "ExtGroup", "拡張子の追加／削除", 10, 30, 395, 50);
    ExtAddBtn = PlaceControl(extGroup, Create<TButton>(this), "ExtAddBtn", "追加", 10, 18, 80, 25);
    ExtAddBtn->OnClick = TNotifyEvent(this, &TEmphasisForm::ExtAddBtnClick);
    ExtDelBtn = PlaceControl(extGroup, Create<TButton>(this), "ExtDelBtn", "削除", 100, 18, 80, 25);
    ExtDelBtn->OnClick = TNotifyEvent(this, &TEmphasisForm::ExtDelBtnClick);

    TGroupBox* group =
        PlaceControl(this, Create<TGroupBox>(this), "EmphGroup", "強調文字列の設定", 10, 88, 395, 240);
    ExtTabCtrl = PlaceControl(group, Create<TPageControl>(this), "ExtTabCtrl", "", 10, 18, 375, 30);
    ExtTabCtrl->OnChange = TNotifyEvent(this, &TEmphasisForm::ExtCBoxChange);
    PlaceControl(group, Create<TLabel>(this), nullptr, "強調文字列一覧", 10, 50, 0, 0);
    EmphasisLBox = PlaceControl(group, Create<TListBox>(this), "EmphasisLBox", "", 10, 66, 220, 160);
    PlaceControl(group, Create<TLabel>(this), nullptr, "強調する文字列を入力", 240, 50, 0, 0);
    EmhEdit = PlaceControl(group, Create<TEdit>(this), "EmhEdit", "", 240, 66, 145, 22);
    EmpAddBtn = PlaceControl(group, Create<TButton>(this), "EmpAddBtn", "強調文字列追加", 240, 96, 145, 25);
    EmpAddBtn->OnClick = TNotifyEvent(this, &TEmphasisForm::EmpAddBtnClick);
    EmpDelBtn = PlaceControl(group, Create<TButton>(this), "EmpDelBtn", "削除", 240, 128, 145, 25);
    EmpDelBtn->OnClick = TNotifyEvent(this, &TEmphasisForm::EmpDelBtnClick);

    OkBtn = PlaceControl(this, Create<TButton>(this), "OkBtn", "OK", 230, 338, 80, 25);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = TNotifyEvent(this, &TEmphasisForm::OkBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "ｷｬﾝｾﾙ", 320, 338, 80, 25);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OnShow = TNotifyEvent(this, &TEmphasisForm::FormShow);
}

void TEmphasisForm::AddTab(VN::typEmphItem* item)
{
    auto* sheet = Create<TTabSheet>(this);
    sheet->SetCaption(TabCaption(*item));
    sheet->SetPageControl(ExtTabCtrl);
    tabItems_.push_back(item);
}

void TEmphasisForm::RebuildTabs()
{
    while (ExtTabCtrl->PageCount() > 0)
        delete ExtTabCtrl->Pages(ExtTabCtrl->PageCount() - 1);
    tabItems_.clear();
    bool haveEmpty = false;
    for (int i = 0; i < work_.Count(); ++i)
    {
        AddTab(work_.Get(i));
        haveEmpty = haveEmpty || NsStringToAnsi(work_.Get(i)->extension).IsEmpty();
    }
    if (!haveEmpty)
    {
        auto* item = new VN::typEmphItem(nsString());
        work_.Add(item);
        AddTab(item);
    }
}

void TEmphasisForm::FormShow(TObject*)
{
    work_.Clear();
    for (int i = 0; i < VN::EmphasisList.Count(); ++i)
        if (const VN::typEmphItem* from = VN::EmphasisList.Get(i))
        {
            auto* item = new VN::typEmphItem(from->extension);
            item->words = from->words;
            work_.Add(item, false);
        }
    RebuildTabs();

    int select = 0;
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    AnsiString ext = ed ? ExtractFileExt(ed->EditFilePath) : AnsiString();
    if (ext.Length() > 0 && ext[1] == '.')
        ext = ext.SubString(2, ext.Length() - 1);
    if (!ext.IsEmpty())
    {
        select = -1;
        for (size_t i = 0; i < tabItems_.size() && select < 0; ++i)
            if (AnsiSameText(NsStringToAnsi(tabItems_[i]->extension), ext))
                select = int(i);
        if (select < 0)
        {
            select = 0;
            if (YesNoBox(msgEmphasisAddExt, ext.c_str()) == baYes && AddExtensionEntry(ext))
                select = int(tabItems_.size()) - 1;
        }
    }
    ExtTabCtrl->SetActivePageIndex(select);
    ExtCBoxChange(this);
    if (EmhEdit->HandleAllocated() && EmhEdit->CanFocus())
        EmhEdit->SetFocus();
    // A selection handed over is one word: only its first line.
    std::string word = AddWord.str();
    word = word.substr(0, word.find_first_of("\r\n"));
    EmhEdit->SetText(AnsiString(word.data(), int(word.size())));
    AddWord = "";
}

VN::typEmphItem* TEmphasisForm::SelectedItem()
{
    const int i = ExtTabCtrl->ActivePageIndex();
    return i >= 0 && i < int(tabItems_.size()) ? tabItems_[size_t(i)] : nullptr;
}

bool TEmphasisForm::AddExtensionEntry(AnsiString ext)
{
    if (ext.Length() > 0 && ext[1] == '.')
        ext = ext.SubString(2, ext.Length() - 1);
    // The empty extension is always there, and 拡張子無 is the name it is stored under.
    bool taken = ext.IsEmpty() || ext == VN::kNoExtensionName;
    for (size_t i = 0; i < tabItems_.size() && !taken; ++i)
        taken = AnsiSameText(NsStringToAnsi(tabItems_[i]->extension), ext);
    if (taken)
    {
        ErrorBox(msgEmphasisExtExists, ext.c_str());
        return false;
    }
    auto* item = new VN::typEmphItem(AnsiToNsString(ext));
    work_.Add(item);
    AddTab(item);
    ExtTabCtrl->SetActivePageIndex(ExtTabCtrl->PageCount() - 1);
    ExtCBoxChange(this);
    return true;
}

void TEmphasisForm::ExtAddBtnClick(TObject*)
{
    AnsiString ext = AddExtension;
    AddExtension = "";
    if (ext.IsEmpty() && !Services().InputQuery(msgEmphasisTitle, msgEmphasisExtPrompt, ext))
        return;
    AddExtensionEntry(ext);
}

void TEmphasisForm::ExtDelBtnClick(TObject*)
{
    VN::typEmphItem* item = SelectedItem();
    if (!item)
        return;
    const AnsiString ext = NsStringToAnsi(item->extension);
    if (ext.IsEmpty())
    {
        ErrorBox("%s", msgEmphasisNoExtKept);
        return;
    }
    if (YesNoBox(bdNo, msgEmphasisDeleteExt, ext.c_str()) != baYes)
        return;
    const int tab = ExtTabCtrl->ActivePageIndex();
    delete ExtTabCtrl->Pages(tab);
    tabItems_.erase(tabItems_.begin() + tab);
    for (int i = 0; i < work_.Count(); ++i)
        if (work_.Get(i) == item)
        {
            work_.Delete(i);
            break;
        }
    ExtTabCtrl->SetActivePageIndex(0);
    ExtCBoxChange(this);
}

void TEmphasisForm::ExtCBoxChange(TObject*)
{
    TStrings* lines = EmphasisLBox->Items();
    lines->BeginUpdate();
    lines->Clear();
    if (VN::typEmphItem* item = SelectedItem())
        for (const std::string& w : SplitWords(NsStringToAnsi(item->words)))
            lines->Add(AnsiString(w.data(), int(w.size())));
    lines->EndUpdate();
}

void TEmphasisForm::WriteWordsBack()
{
    VN::typEmphItem* item = SelectedItem();
    if (!item)
        return;
    AnsiString words;
    TStrings* lines = EmphasisLBox->Items();
    for (int i = 0; i < lines->GetCount(); ++i)
        words += (i ? AnsiString("\r\n") : AnsiString()) + lines->Get(i);
    item->words = AnsiToNsString(words);
}

void TEmphasisForm::EmpAddBtnClick(TObject*)
{
    if (!SelectedItem())
        return;
    const AnsiString word = EmhEdit->Text();
    TStrings* lines = EmphasisLBox->Items();
    // Words differ by their bytes: "Abc" and "abc" are two words. The list stays in byte order.
    const std::string w = word.str();
    int at = lines->GetCount();
    for (int i = 0; i < lines->GetCount(); ++i)
    {
        const std::string line = lines->Get(i).str();
        if (line == w)
        {
            ErrorBox(msgEmphasisWordExists, word.c_str());
            return;
        }
        if (at == lines->GetCount() && w < line)
            at = i;
    }
    lines->Insert(at, word);
    WriteWordsBack();
}

void TEmphasisForm::EmpDelBtnClick(TObject*)
{
    const int i = EmphasisLBox->ItemIndex();
    if (i < 0 || !SelectedItem())
        return;
    const AnsiString word = EmphasisLBox->Items()->Get(i);
    if (YesNoBox(bdNo, msgEmphasisDeleteWord, word.c_str()) != baYes)
        return;
    EmphasisLBox->Items()->Delete(i);
    WriteWordsBack();
}

void TEmphasisForm::OkBtnClick(TObject*)
{
    if (YesNoBox("%s", msgEmphasisSave) != baYes)
        return;
    VN::EmphasisList.Clear();
    for (int i = 0; i < work_.Count(); ++i)
        if (const VN::typEmphItem* from = work_.Get(i))
        {
            auto* item = new VN::typEmphItem(from->extension);
            item->words = from->words;
            VN::EmphasisList.AddSorted(item);
        }
    if (nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr)
    {
        if (RefreshEmphasis)
            RefreshEmphasis(ed);
        ed->Invalidate();
    }
    WriteEmphasisList(VN::EmphasisList, SettingsKey);
    SetModalResult(mrOk);
}
