#include "dialogs/EditLockPasswordFrm.h"

#include "common/Nsenumwindows.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

TEditLockPasswordForm* EditLockPasswordForm = nullptr;

namespace
{
constexpr const char* kBadPassword = "パスワードの設定が不正です";
} // namespace

TPasswordEdit::TPasswordEdit(TComponent* owner) : TEdit(owner)
{
    SetPasswordChar('*');
    SetMaxLength(kLockPasswordMax);
    SetImeMode(imDisable);
}

void TPasswordEdit::Dispatch(TMessage& message)
{
    if (message.Msg == WM_CONTEXTMENU)
    {
        message.Result = 0;
        return;
    }
    TEdit::Dispatch(message);
}

TEditLockPasswordForm::TEditLockPasswordForm(TComponent* owner) : TForm(owner)
{
    SetName("EditLockPasswordForm");
    SetCaption("エディタロック設定");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 420, 330);

    auto label = [this](TWinControl* parent, const char* caption, int x, int y, int w) {
        auto* l = Create<TLabel>(this);
        l->SetCaption(caption);
        l->SetBounds(x, y, w, 16);
        l->SetParent(parent);
        return l;
    };
    auto button = [this](TWinControl* parent, const char* name, const char* caption, int x, int y, int w) {
        auto* b = Create<TButton>(this);
        b->SetName(name);
        b->SetCaption(caption);
        b->SetBounds(x, y, w, 24);
        b->SetParent(parent);
        return b;
    };

    PasswordGroup = Create<TGroupBox>(this);
    PasswordGroup->SetCaption("ロックパスワード設定");
    PasswordGroup->SetBounds(8, 8, 396, 110);
    PasswordGroup->SetParent(this);
    TPasswordEdit** fields[] = {&P1, &P2, &P3};
    const char* captions[] = {"現在のパスワード :", "新しいパスワード :", "新しいパスワードをもう一度入力 :"};
    for (int i = 0; i < 3; ++i)
    {
        label(PasswordGroup, captions[i], 12, 22 + i * 28, 220);
        auto* edit = Create<TPasswordEdit>(this);
        edit->SetName(("P" + IntToStr(i + 1)).c_str());
        edit->SetBounds(240, 20 + i * 28, 140, 22);
        edit->SetParent(PasswordGroup);
        *fields[i] = edit;
    }

    ScrGroup = Create<TGroupBox>(this);
    ScrGroup->SetCaption("スクリーンセーバー設定");
    ScrGroup->SetBounds(8, 126, 396, 120);
    ScrGroup->SetParent(this);
    label(ScrGroup, "スクリーンセーバーファイルのパス", 12, 22, 300);
    ScrEdit = Create<TEdit>(this);
    ScrEdit->SetName("ScrEdit");
    ScrEdit->SetBounds(12, 42, 340, 22);
    ScrEdit->SetParent(ScrGroup);
    FIB_01 = button(ScrGroup, "FIB_01", "...", 356, 41, 28); // ﾌｧｲﾙ参照
    ScrRunBtn = button(ScrGroup, "ScrRunBtn", "試実行", 204, 78, 86);
    ScrOkBtn = button(ScrGroup, "ScrOkBtn", "設定する", 298, 78, 86);

    OKBtn = button(this, "OKBtn", "OK", 228, 260, 84);
    OKBtn->SetDefault(true);
    CancelBtn = button(this, "CancelBtn", "キャンセル", 320, 260, 84);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OpenDialog = Create<TOpenDialog>(this);
    OpenDialog->SetFilter("ｽｸﾘｰﾝｾｰﾊﾞﾌｧｲﾙ(*.scr)|*.scr");

    OnShow = TNotifyEvent(this, &TEditLockPasswordForm::FormShow);
    OnClose = TCloseEvent(this, &TEditLockPasswordForm::FormClose);
    OKBtn->OnClick = TNotifyEvent(this, &TEditLockPasswordForm::OKBtnClick);
    FIB_01->OnClick = TNotifyEvent(this, &TEditLockPasswordForm::FIB_01Click);
    ScrRunBtn->OnClick = TNotifyEvent(this, &TEditLockPasswordForm::ScrRunBtnClick);
    ScrOkBtn->OnClick = TNotifyEvent(this, &TEditLockPasswordForm::ScrOkBtnClick);
}

void TEditLockPasswordForm::FormShow(TObject*)
{
    for (TEdit* e : {P1, P2, P3})
        e->Clear();
    ScrEdit->SetText(ReadScreenSaver(SettingsKey));
    SetActiveControl(P1);
}

// Passwords do not stay in the window's memory after it closes.
void TEditLockPasswordForm::FormClose(TObject*, TCloseAction&)
{
    for (TEdit* e : {P1, P2, P3})
        e->Clear();
}

void TEditLockPasswordForm::OKBtnClick(TObject*)
{
    if (P2->Text() != P3->Text())
    {
        ErrorBox("%s", kBadPassword);
        return;
    }
    const TLockStoreResult result = StoreLockPassword(P1->Text().c_str(), P2->Text().c_str());
    if (result == lsOk)
    {
        SetModalResult(mrOk);
        return;
    }
    const AnsiString message = LockStoreMessage(result);
    ErrorBox("%s", message.IsEmpty() ? kBadPassword : message.c_str());
}

void TEditLockPasswordForm::FIB_01Click(TObject*)
{
    OpenDialog->SetInitialDir(ExtractFilePath(ScrEdit->Text()));
    OpenDialog->SetFileName("");
    if (OpenDialog->Execute())
        ScrEdit->SetText(OpenDialog->FileName());
}

void TEditLockPasswordForm::ScrRunBtnClick(TObject*)
{
    const AnsiString path = ScrEdit->Text();
    // Found as the lock finds it (never in the current folder), then opened by the shell as the
    // user would open the file: a screen saver run this way shows itself.
    const AnsiString program = LocateProgram(RemoveDoubleQuotes(ExpandEnvironmentText(path)));
    if (program.IsEmpty() || !Services().ShellOpen(Handle(), program, "", ""))
        ErrorBox("スクリーンセーバー[%s]の起動に失敗しました。", path.c_str());
}

void TEditLockPasswordForm::ScrOkBtnClick(TObject*)
{
    const AnsiString path = ScrEdit->Text();
    WriteScreenSaver(path, SettingsKey);
    InfoBox("エディタロック時スクリーンセーバー[%s]を設定しました。", path.c_str());
}
