// The editor lock's settings: the lock password and the screen saver shown while locked.
#pragma once

#include "common/WexmoorDef.h"
#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// A password field: typed text shows as "*", no input method, at most kLockPasswordMax bytes,
// and no context menu to paste into it or copy out of it.
class TPasswordEdit : public TEdit
{
public:
    explicit TPasswordEdit(TComponent* owner);

protected:
    void Dispatch(TMessage& message) override;
};

class TEditLockPasswordForm : public TForm
{
public:
    explicit TEditLockPasswordForm(TComponent* owner);

    TGroupBox* PasswordGroup = nullptr;
    TPasswordEdit* P1 = nullptr; // current
    TPasswordEdit* P2 = nullptr; // new
    TPasswordEdit* P3 = nullptr; // new, again
    TGroupBox* ScrGroup = nullptr;
    TEdit* ScrEdit = nullptr;
    TButton* FIB_01 = nullptr;
    TButton* ScrRunBtn = nullptr;
    TButton* ScrOkBtn = nullptr;
    TButton* OKBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TOpenDialog* OpenDialog = nullptr;

    // Registry key of the settings (tests use their own).
    AnsiString SettingsKey = VN::kRegistryKey;

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void OKBtnClick(TObject* sender);
    void FIB_01Click(TObject* sender);
    void ScrRunBtnClick(TObject* sender);
    void ScrOkBtnClick(TObject* sender);
};

extern TEditLockPasswordForm* EditLockPasswordForm;
