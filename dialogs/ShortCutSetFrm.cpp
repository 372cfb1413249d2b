// Shortcut-key assignment.
#include "dialogs/ShortCutSetFrm.h"

#include <algorithm>

#include "common/English.h"
#include "common/Nsenumwindows.h"

TShortCutSetForm* ShortCutSetForm = nullptr;

const std::vector<AnsiString>& ShortCutTexts()
{
    static const std::vector<AnsiString> texts = [] {
        std::vector<AnsiString> out;
        for (const char* prefix : {"Ctrl+", "Ctrl+Alt+"})
            for (char c = 'A'; c <= 'Z'; ++c)
                if (c != 'D' && c != 'K')
                    out.push_back(AnsiString(prefix) + c);
        for (const char* prefix : {"", "Ctrl+", "Shift+", "Shift+Ctrl+"})
            for (int f = 1; f <= 12; ++f)
                out.push_back(AnsiString(prefix) + "F" + IntToStr(f));
        for (const char* text : {"Ins", "Shift+Ins", "Ctrl+Ins", "Del", "Shift+Del", "Ctrl+Del", "Alt+BkSp",
                                 "Shift+Alt+BkSp"})
            out.push_back(text);
        return out;
    }();
    return texts;
}

namespace
{
// Index of a shortcut in the list, -1 when it is none of them.
int ShortCutIndex(TShortCut shortCut)
{
    if (shortCut == scNone)
        return -1;
    const std::vector<AnsiString>& texts = ShortCutTexts();
    for (size_t i = 0; i < texts.size(); ++i)
        if (TextToShortCut(texts[i]) == shortCut)
            return int(i);
    return -1;
}
} // namespace

TShortCutSetForm::TShortCutSetForm(TComponent* owner) : TForm(owner)
{
    SetName("ShortCutSetForm");
    SetCaption("ショートカットキーの割り当て");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetBounds(200, 150, 470, 360);
    PlaceControl(this, Create<TLabel>(this), "MenuLabel", "メニュー項目の選択", 8, 8, 0, 0);
    MenuTreeView = PlaceControl(this, Create<TTreeView>(this), "MenuTreeView", "", 8, 26, 260, 290);
    MenuTreeView->SetHideSelection(false);
    MenuTreeView->OnChange = TTVChangedEvent(this, &TShortCutSetForm::MenuTreeViewChange);
    MenuTreeView->OnDeletion = TTVChangedEvent(this, &TShortCutSetForm::MenuTreeViewDeletion);
    SetShLabel = PlaceControl(this, Create<TLabel>(this), "SetShLabel", "設定するショートカット", 280, 26, 0, 0);
    ShortCutCBox = PlaceControl(this, Create<TComboBox>(this), "ShortCutCBox", "", 280, 44, 175, 22);
    ShortCutCBox->SetStyle(csDropDownList);
    ShortCutCBox->OnClick = TNotifyEvent(this, &TShortCutSetForm::ShortCutCBoxSelect);
    TLabel* now = PlaceControl(this, Create<TLabel>(this), "NowShLabel", "現在のショートカット", 280, 80, 0, 0);
    now->SetEnabled(false);
    NowShortCutCBox = PlaceControl(this, Create<TComboBox>(this), "NowShortCutCBox", "", 280, 98, 175, 22);
    NowShortCutCBox->SetStyle(csDropDownList);
    NowShortCutCBox->SetEnabled(false);
    for (const AnsiString& text : ShortCutTexts())
    {
        ShortCutCBox->Items()->Add(text);
        NowShortCutCBox->Items()->Add(text);
    }
    OkBtn = PlaceControl(this, Create<TButton>(this), "OkBtn", "OK", 290, 290, 78, 25);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = TNotifyEvent(this, &TShortCutSetForm::OkBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "ｷｬﾝｾﾙ", 376, 290, 78, 25);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);
    OnShow = TNotifyEvent(this, &TShortCutSetForm::FormShow);
    OnClose = TCloseEvent(this, &TShortCutSetForm::FormClose);
}

void TShortCutSetForm::AddItems(TMenuItem* parent, TTreeNode* parentNode)
{
    for (int i = 0; i < parent->Count(); ++i)
    {
        TMenuItem* item = parent->Items(i);
        if (item->Tag() == -1 || item->IsLine())
            continue;
        AnsiString text = item->Caption();
        if (const int amp = text.Pos("(&"))
            text = text.SubString(1, amp - 1);
        records_.push_back(std::make_unique<typShortCutNode>(typShortCutNode{item, item->ShortCut()}));
        TTreeNode* node = MenuTreeView->AddChild(parentNode, text, records_.back().get());
        AddItems(item, node);
    }
}

void TShortCutSetForm::FormShow(TObject*)
{
    MenuTreeView->Clear();
    if (Menu)
        AddItems(Menu->Items(), nullptr);
    ShortCutCBox->SetItemIndex(-1);
    NowShortCutCBox->SetItemIndex(-1);
    ShortCutCBox->SetEnabled(false);
    SetShLabel->SetEnabled(false);
}

void TShortCutSetForm::FormClose(TObject*, TCloseAction&) { MenuTreeView->Clear(); }

void TShortCutSetForm::MenuTreeViewDeletion(TObject*, TTreeNode* node)
{
    auto* record = static_cast<typShortCutNode*>(node->Data());
    std::erase_if(records_, [record](const std::unique_ptr<typShortCutNode>& r) { return r.get() == record; });
}

void TShortCutSetForm::MenuTreeViewChange(TObject*, TTreeNode* node)
{
    auto* record = node ? static_cast<typShortCutNode*>(node->Data()) : nullptr;
    const TShortCut current = record ? record->item->ShortCut() : scNone;
    NowShortCutCBox->SetItemIndex(ShortCutIndex(current));
    ShortCutCBox->SetItemIndex(record && record->pending != current ? ShortCutIndex(record->pending) : -1);
    // Only commands take a shortcut, not the menus of the bar.
    const bool command = node && node->Level() > 0;
    ShortCutCBox->SetEnabled(command);
    SetShLabel->SetEnabled(command);
}

void TShortCutSetForm::ShortCutCBoxSelect(TObject*)
{
    TTreeNode* node = MenuTreeView->Selected();
    const int index = ShortCutCBox->ItemIndex();
    if (!node || node->Level() == 0 || index < 0 || index >= int(ShortCutTexts().size()))
        return;
    static_cast<typShortCutNode*>(node->Data())->pending = TextToShortCut(ShortCutTexts()[size_t(index)]);
}

void TShortCutSetForm::OkBtnClick(TObject*)
{
    const TBoxAnswer answer = YesNoCancelBox("%s", msgShortCutQuestion);
    if (answer == baCancel)
        return;
    if (answer == baYes)
        for (const auto& record : records_)
            if (record->pending != record->item->ShortCut())
                record->item->SetShortCut(record->pending);
    SetModalResult(mrOk);
}
