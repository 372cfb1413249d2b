#include "dialogs/UnLockFrm.h"

#include "common/Nsenumwindows.h"

TUnLockForm* UnLockForm = nullptr;

TUnLockForm::TUnLockForm(TComponent* owner) : TForm(owner)
{
    SetName("UnLockForm");
    SetCaption("ロック解除");
    SetBorderStyle(bsDialog);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 260, 120);

    PasswordLabel = Create<TLabel>(this);
    PasswordLabel->SetCaption("ロックを解除するパスワード");
    PasswordLabel->SetBounds(12, 12, 230, 16);
    PasswordLabel->SetParent(this);

    P1 = Create<TPasswordEdit>(this);
    P1->SetName("P1");
    P1->SetBounds(12, 34, 230, 22);
    P1->SetParent(this);

    OKBtn = Create<TButton>(this);
    OKBtn->SetName("OKBtn");
    OKBtn->SetCaption("OK");
    OKBtn->SetDefault(true);
    OKBtn->SetBounds(162, 64, 80, 24);
    OKBtn->SetParent(this);
    OKBtn->OnClick = TNotifyEvent(this, &TUnLockForm::OKBtnClick);

    OnShow = TNotifyEvent(this, &TUnLockForm::FormShow);
    OnCloseQuery = TCloseQueryEvent(this, &TUnLockForm::FormCloseQuery);
    OnClose = TCloseEvent(this, &TUnLockForm::FormClose);
}

// No close box: only the right password closes it.
void TUnLockForm::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    params.Style &= ~WS_SYSMENU;
    params.ExStyle |= WS_EX_TOPMOST;
}

void TUnLockForm::FormShow(TObject*)
{
    if (LockedForm)
        LockedForm->SetEnabled(false);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    P1->Clear();
    SetActiveControl(P1);
}

// Esc, Alt+F4 and the system's close all end here.
void TUnLockForm::FormCloseQuery(TObject*, bool& canClose) { canClose = unlocking_; }

void TUnLockForm::FormClose(TObject*, TCloseAction&)
{
    P1->Clear();
    if (LockedForm)
        LockedForm->SetEnabled(true);
}

void TUnLockForm::OKBtnClick(TObject*)
{
    if (P1->Text() != Password)
    {
        // The next try starts empty: typed after the wrong one, the right password would fail too.
        P1->Clear();
        Sleep(WrongPasswordDelayMs);
        ErrorBox("%s", "パスワードが違います");
        SetActiveControl(P1);
        return;
    }
    Password = "";
    unlocking_ = true;
    Close();
    unlocking_ = false;
    if (OnUnlock)
        OnUnlock();
}
