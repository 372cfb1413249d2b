// The unlock dialog: the only way out of the editor lock is the right password.
#pragma once

#include <functional>

#include "dialogs/EditLockPasswordFrm.h"

class TUnLockForm : public TForm
{
public:
    explicit TUnLockForm(TComponent* owner);

    TLabel* PasswordLabel = nullptr;
    TPasswordEdit* P1 = nullptr;
    TButton* OKBtn = nullptr;

    // The password that ends the lock, and the locked window (disabled while this dialog shows);
    // OnUnlock ends the lock. The main window sets all three before showing the dialog.
    AnsiString Password;
    TCustomForm* LockedForm = nullptr;
    std::function<void()> OnUnlock;
    // A wrong password waits this long before the box, so guessing takes time.
    unsigned WrongPasswordDelayMs = 700;

    void FormShow(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void FormClose(TObject* sender, TCloseAction& action);
    void OKBtnClick(TObject* sender);

protected:
    void CreateParams(TCreateParams& params) override;

private:
    bool unlocking_ = false;
};

extern TUnLockForm* UnLockForm;
