// The version dialog.
#include "dialogs/AboutFrm.h"

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Services.h"

TAboutBox* AboutBox = nullptr;

TURLLabel::TURLLabel(TComponent* owner) : TLabel(owner)
{
    SetShowAccelChar(false);
    SetCursor(crHandPoint);
    Font()->SetColor(clBlue);
}

void TURLLabel::Dispatch(TMessage& message)
{
    TLabel::Dispatch(message);
    if (message.Msg == WM_LBUTTONUP && OnClick)
        OnClick(this);
}

TAboutBox::TAboutBox(TComponent* owner) : TForm(owner)
{
    SetName("AboutBox");
    SetCaption("バージョン情報");
    SetBorderStyle(bsDialog);
    SetPosition(poMainFormCenter);
    SetBounds(250, 200, 420, 210);
    SetKeyPreview(true);
    ProductName = PlaceControl(this, Create<TLabel>(this), "ProductName", "Varnolet for Windows 0.99", 20, 16, 0, 0);
    ProductName->Font()->SetSize(12);
    Copyright = PlaceControl(this, Create<TLabel>(this), "Copyright", "Orvane", 20, 44, 0, 0);
    PlaceControl(this, Create<TLabel>(this), "HomePageLabel", "Home Page", 20, 76, 0, 0);
    URLLabel = PlaceControl(this, Create<TURLLabel>(this), "URLLabel", msgUrlHome, 150, 76, 0, 0);
    URLLabel->OnClick = TNotifyEvent(this, &TAboutBox::URLLabelClick);
    PlaceControl(this, Create<TLabel>(this), "SupportLabel", "Varnoletサポートページ", 20, 100, 0, 0);
    SupportURLLabel = PlaceControl(this, Create<TURLLabel>(this), "SupportURLLabel", msgUrlProduct, 150, 100, 0, 0);
    SupportURLLabel->OnClick = TNotifyEvent(this, &TAboutBox::URLLabelClick);
    OKButton = PlaceControl(this, Create<TButton>(this), "OKButton", "OK", 170, 140, 80, 25);
    OKButton->SetDefault(true);
    OKButton->SetModalResult(mrOk);
    OnKeyPress = TKeyPressEvent(this, &TAboutBox::FormKeyPress);
}

void TAboutBox::URLLabelClick(TObject* sender)
{
    auto* label = dynamic_cast<TLabel*>(sender);
    if (!label)
        return;
    const AnsiString address = label->Caption();
    if (!Services().ShellOpen(Handle(), address, "", ""))
        ErrorBox(msgCommandFailed, address.c_str());
}

void TAboutBox::FormKeyPress(TObject*, char& key)
{
    if (key == 27)
    {
        key = 0;
        SetModalResult(mrCancel);
    }
}
