#include "printing/Strpprog.h"

#include <cmath>

TFormStrProgress::TFormStrProgress(TComponent* owner) : TForm(owner)
{
    SetName("FormStrProgress");
    SetCaption("処理中");
    SetBorderStyle(bsDialog);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 320, 130);

    Label1 = Create<TLabel>(this);
    Label1->SetAutoSize(false);
    PlaceControl(this, Label1, "Label1", "", 16, 12, 280, 16);
    ProgressBar1 = PlaceControl(this, Create<TProgressBar>(this), "ProgressBar1", "", 16, 36, 280, 18);
    Button1 = PlaceControl(this, Create<TButton>(this), "Button1", "ｷｬﾝｾﾙ", 120, 64, 80, 25);
    Button1->SetModalResult(mrCancel);
    Button1->SetCancel(true);
    Button1->OnClick = TNotifyEvent(this, &TFormStrProgress::Button1Click);
}

TCustomForm* TFormStrProgress::OwnerForm() const
{
    auto* form = dynamic_cast<TCustomForm*>(Owner());
    return form && form->HandleAllocated() ? form : nullptr;
}

void TFormStrProgress::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    params.Style &= ~WS_SYSMENU;
    if (TCustomForm* owner = OwnerForm())
        params.WndParent = owner->Handle();
}

TFormStrProgress* TFormStrProgress::Execute(TComponent* owner, const AnsiString& text)
{
    auto* form = Create<TFormStrProgress>(owner);
    form->Label1->SetCaption(text);
    form->ProgressBar1->SetPosition(0);
    form->Show();
    // A click on the form below would do nothing now, and Esc there would not close it while the
    // layout runs on.
    if (TCustomForm* below = form->OwnerForm(); below && below->Enabled())
    {
        below->SetEnabled(false);
        form->ownerDisabled_ = true;
    }
    return form;
}

void TFormStrProgress::BeforeDestruction()
{
    // Enabled again before this window goes, so that the activation returns to it.
    TCustomForm* below = OwnerForm();
    if (ownerDisabled_ && below && !below->ComponentState().Contains(csDestroying))
        below->SetEnabled(true);
    TForm::BeforeDestruction();
}

void TFormStrProgress::Progress(const AnsiString& text, int maximum, int position)
{
    const int percent = maximum <= 0 ? 100 : int(std::lround(double(position) / maximum * 100));
    // Millions of lines report progress: the window is touched only when it would change, and the
    // queue is looked at every few milliseconds.
    if (Label1->Caption() != text)
    {
        Label1->SetCaption(text);
        Label1->Update();
    }
    if (ProgressBar1->Position() != percent)
    {
        ProgressBar1->SetPosition(percent);
        ProgressBar1->Update();
    }
    const DWORD now = GetTickCount();
    if (now - lastPump_ >= 20 || percent == 100)
    {
        lastPump_ = now;
        Application->ProcessMessages();
    }
}

void TFormStrProgress::Button1Click(TObject*)
{
    cancelled_ = true;
}
