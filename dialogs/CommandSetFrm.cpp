// The external commands dialog.
#include "dialogs/CommandSetFrm.h"

#include <commdlg.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "platform/Services.h"

TCommandSetForm* CommandSetForm = nullptr;

std::vector<AnsiString> CommandListOf(const std::vector<AnsiString>& typed)
{
    // Stored as typed: the runner splits the line at the first blank outside quotes, so doubling a
    // quote would break a quoted program path.
    std::vector<AnsiString> list;
    for (const AnsiString& line : typed)
    {
        const AnsiString text = line.Trim();
        if (!text.IsEmpty())
            list.push_back(text);
    }
    return list;
}

TCommandSetForm::TCommandSetForm(TComponent* owner) : TForm(owner), SettingsKey(VN::kRegistryKey)
{
    SetName("CommandSetForm");
    SetCaption("コマンドライン設定");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetBounds(200, 150, 520, 220);
    auto* group = PlaceControl(this, Create<TGroupBox>(this), "GroupBox", "コマンドライン設定", 8, 8, 496, 120);
    const char* const labels[3] = {"コマンド１", "コマンド２", "コマンド３"};
    for (int i = 0; i < 3; ++i)
    {
        const int y = 24 + i * 30;
        const AnsiString n = "0" + IntToStr(i + 1);
        PlaceControl(group, Create<TLabel>(this), nullptr, labels[i], 10, y + 4, 0, 0);
        CE[i] = PlaceControl(group, Create<TEdit>(this), ("CE_" + n).c_str(), "", 90, y, 296, 22);
        FIB[i] = PlaceControl(group, Create<TButton>(this), ("FIB_" + n).c_str(), "...", 390, y, 30, 22);
        FIB[i]->SetTag(i);
        FIB[i]->OnClick = TNotifyEvent(this, &TCommandSetForm::FIBtnClick);
        FLB[i] = PlaceControl(group, Create<TButton>(this), ("FLB_" + n).c_str(), "ﾌｫﾙﾀﾞ", 424, y, 60, 22);
        FLB[i]->SetTag(i);
        FLB[i]->OnClick = TNotifyEvent(this, &TCommandSetForm::FLBtnClick);
    }
    SaveChkBtn = PlaceControl(this, Create<TCheckBox>(this), "SaveChkBtn", "コマンド実行前に編集中のファイルを保存", 16,
                              136, 320, 20);
    OkBtn = PlaceControl(this, Create<TButton>(this), "OkBtn", "OK", 340, 160, 78, 25);
    OkBtn->SetDefault(true);
    OkBtn->OnClick = TNotifyEvent(this, &TCommandSetForm::OkBtnClick);
    CancelBtn = PlaceControl(this, Create<TButton>(this), "CancelBtn", "ｷｬﾝｾﾙ", 426, 160, 78, 25);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    PopupMenu = Create<TPopupMenu>(this);
    PopupMenu->SetName("PopupMenu");
    FileRefMenu = NewMenuItem(this, PopupMenu->Items(), "FileRefMenu", "ﾌｧｲﾙ参照", scNone,
                              TNotifyEvent(this, &TCommandSetForm::FileRefMenuClick));
    EditFileMenu = NewMenuItem(this, PopupMenu->Items(), "EditFileMenu", "編集中のﾌｧｲﾙ(%F を挿入)", scNone,
                               TNotifyEvent(this, &TCommandSetForm::EditFileMenuClick));
    OnShow = TNotifyEvent(this, &TCommandSetForm::FormShow);
}

void TCommandSetForm::FormShow(TObject*)
{
    nsArray<nsString> commands;
    bool saved = false;
    ReadCommandSettings(commands, saved, SettingsKey);
    for (int i = 0; i < 3; ++i)
        CE[i]->SetText(i < commands.Count() ? NsStringToAnsi(commands[i]) : AnsiString());
    SaveChkBtn->SetChecked(saved);
    if (CE[0]->HandleAllocated() && CE[0]->CanFocus())
        CE[0]->SetFocus();
}

void TCommandSetForm::InsertIntoCommandEdit(TEdit* edit, const AnsiString& text)
{
    const AnsiString value = text.Pos(" ") ? "\"" + text + "\"" : text;
    edit->SetSelText(value);
    if (edit->HandleAllocated() && edit->CanFocus())
        edit->SetFocus();
}

TEdit* TCommandSetForm::MenuRowEdit() const
{
    const int row = PopupMenu->Tag();
    return row >= 0 && row < 3 ? CE[row] : nullptr;
}

void TCommandSetForm::FIBtnClick(TObject* sender)
{
    auto* button = dynamic_cast<TButton*>(sender);
    if (!button)
        return;
    PopupMenu->SetTag(button->Tag());
    PopupMenu->SetPopupComponent(button); // the menu's owner is this dialog, which stays in front
    POINT corner{0, button->Height()};
    if (button->HandleAllocated())
        ClientToScreen(button->Handle(), &corner);
    PopupMenu->Popup(corner.x, corner.y);
}

void TCommandSetForm::FileRefMenuClick(TObject*)
{
    TEdit* edit = MenuRowEdit();
    if (!edit)
        return;
    TFileDialogData data;
    data.Filter = "全てのﾌｧｲﾙ(*.*)|*.*";
    data.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (Services().OpenFileDialog(Handle(), data))
        InsertIntoCommandEdit(edit, data.FileName);
}

void TCommandSetForm::EditFileMenuClick(TObject*)
{
    if (TEdit* edit = MenuRowEdit())
        InsertIntoCommandEdit(edit, "%F");
}

void TCommandSetForm::FLBtnClick(TObject* sender)
{
    auto* button = dynamic_cast<TButton*>(sender);
    if (!button || button->Tag() < 0 || button->Tag() > 2)
        return;
    AnsiString folder = lastFolder_;
    if (!Services().BrowseForFolder(Handle(), msgFolderSetTitle, folder))
        return;
    lastFolder_ = folder;
    InsertIntoCommandEdit(CE[button->Tag()], folder);
}

void TCommandSetForm::OkBtnClick(TObject*)
{
    if (YesNoBox("%s", msgCommandSaveQuestion) != baYes)
        return;
    const std::vector<AnsiString> list = CommandListOf({CE[0]->Text(), CE[1]->Text(), CE[2]->Text()});
    nsArray<nsString> commands;
    for (size_t i = 0; i < list.size(); ++i)
        commands[int(i)] = AnsiToNsString(list[i]);
    WriteCommandSettings(commands, SaveChkBtn->Checked(), SettingsKey);
    SetModalResult(mrOk); // shown modally: this closes it
}
