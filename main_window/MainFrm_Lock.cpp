// The main window's edit lock, and the jump and lock dialogs' hand-over to it.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "dialogs/EditLockPasswordFrm.h"
#include "dialogs/JumpRowFrm.h"
#include "dialogs/UnLockFrm.h"
#include "main_window/MainFrm.h"
#include "platform/Forms.h"
#include "search/MessageFrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"

namespace
{
constexpr const char* kLockedWord = "ロック中";

// Every menu item and tool bar of the form on or off.
void EnableCommands(TMainForm* form, bool enabled)
{
    for (int i = 0; i < form->ComponentCount(); ++i)
    {
        TComponent* c = form->Components(i);
        if (auto* item = dynamic_cast<TMenuItem*>(c))
            item->SetEnabled(enabled);
        else if (auto* bar = dynamic_cast<TToolBar*>(c))
            bar->SetEnabled(enabled);
    }
}
} // namespace

void TMainForm::AttachLockWindows()
{
    TMainForm* main = this;
    if (JumpRowForm)
        JumpRowForm->ActiveEditor = [main]() -> nsRichEdit* { return main->Edit(); };
    if (EditLockPasswordForm)
        EditLockPasswordForm->SettingsKey = SettingsKey;
}

void TMainForm::ToggleEditLock()
{
    if (locked_)
        return;
    // Without its password, or without the dialog to type it in, a lock could never end.
    nsString password;
    const TLockStoreResult read = LoadLockPassword(password);
    if (read != lsOk)
    {
        ErrorBox("%s", LockStoreMessage(read).c_str());
        return;
    }
    if (!UnLockForm)
        return;
    lockPassword_ = password.c_str();

    EnableCommands(this, false);
    // A disabled bar still draws its buttons as usable: each is greyed itself, and gets its own
    // state back when the lock ends.
    toolStatesBeforeLock_.clear();
    for (int i = 0; i < ToolBar->ControlCount(); ++i)
    {
        TControl* c = ToolBar->Controls(i);
        toolStatesBeforeLock_.emplace_back(c, c->Enabled());
        c->SetEnabled(false);
    }
    if (TPageEditor* ed = Edit())
        ed->SetVisible(false);
    MainPageCtrl->SetVisible(false);
    // The tool windows (find, calculator, the results window...) would show the text or take input.
    hiddenByLock_.clear();
    std::vector<TCustomForm*> forms = {MessageForm, SrchForm, RePlaceForm};
    for (int i = 0; i < Application->ComponentCount(); ++i)
        forms.push_back(dynamic_cast<TCustomForm*>(Application->Components(i)));
    for (TCustomForm* form : forms)
        if (form && form != this && form != UnLockForm && form->Visible() &&
            std::find(hiddenByLock_.begin(), hiddenByLock_.end(), form) == hiddenByLock_.end())
            hiddenByLock_.push_back(form);
    for (TCustomForm* form : hiddenByLock_)
        form->SetVisible(false);
    // The docking bar would still offer the hidden results window's caption and close button.
    srchPanelShownBeforeLock_ = SrchPanel->Visible();
    SrchPanel->SetVisible(false);

    locked_ = true;
    // A box enables its owner again when it closes: owned by the locked window, any box would
    // open the window to the mouse and keyboard.
    boxOwnerBeforeLock_ = MessageOwner();
    SetMessageOwner(UnLockForm->Handle());
    SetCaption(Format("%s - [%s]", {kProgramCaption, kLockedWord}));
    Application->SetTitle(Format("[%s] - %s", {kLockedWord, kProgramCaption}));

    AnsiString message;
    saverProcess_ = StartScreenSaverPreview(MainPanel->Handle(), message, SettingsKey);
    if (!message.IsEmpty())
        WarningBox("%s", message.c_str());

    Application->OnActivate = TNotifyEvent(this, &TMainForm::AppEventsActivate);
    AppEventsActivate(this);
}

void TMainForm::AppEventsActivate(TObject*)
{
    if (!locked_ || !UnLockForm)
        return;
    // A password changed or a file gone since the lock started: the one read then still unlocks.
    nsString password;
    UnLockForm->Password = LoadLockPassword(password) == lsOk ? AnsiString(password.c_str()) : lockPassword_;
    UnLockForm->LockedForm = this;
    TMainForm* main = this;
    UnLockForm->OnUnlock = [main] { main->UnlockEditor(); };
    // Asked afresh each time, also when the dialog is still up with what was typed in it.
    UnLockForm->P1->Clear();
    UnLockForm->Show();
}

void TMainForm::UnlockEditor()
{
    if (!locked_)
        return;
    EnableCommands(this, true);
    for (auto& [control, enabled] : toolStatesBeforeLock_)
        control->SetEnabled(enabled);
    toolStatesBeforeLock_.clear();
    StopScreenSaverPreview(saverProcess_);
    saverProcess_ = nullptr;
    // Without a page the page control would cover the drop panel.
    TPageEditor* ed = Edit();
    if (ed)
    {
        MainPageCtrl->SetVisible(true);
        ed->SetVisible(true);
    }
    SrchPanel->SetVisible(srchPanelShownBeforeLock_);
    for (TCustomForm* form : hiddenByLock_)
        form->SetVisible(true);
    hiddenByLock_.clear();
    if (Application->OnActivate == TNotifyEvent(this, &TMainForm::AppEventsActivate))
        Application->OnActivate = TNotifyEvent();
    locked_ = false;
    lockPassword_ = "";
    SetMessageOwner(boxOwnerBeforeLock_);
    UpdateCaption(nullptr);
    RefreshUiState();
    if (ed && ed->CanFocus())
        ed->SetFocus();
}

void TMainForm::ApplyEditSetting(const VN::typEditSetting& setting)
{
    SetAlphaBlendValue(setting.WINDOW_ALPHABLENDVALUE);
}
