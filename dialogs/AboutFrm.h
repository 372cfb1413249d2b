// The version dialog: the product and version, the maker, and links to the maker's pages.
#pragma once

#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// A label that opens its caption, an address, in the browser when clicked.
class TURLLabel : public TLabel
{
public:
    explicit TURLLabel(TComponent* owner);
    TNotifyEvent OnClick;

protected:
    void Dispatch(TMessage& message) override;
};

class TAboutBox : public TForm
{
public:
    explicit TAboutBox(TComponent* owner);

    TLabel* ProductName = nullptr;
    TLabel* Copyright = nullptr;
    TURLLabel* URLLabel = nullptr;
    TURLLabel* SupportURLLabel = nullptr;
    TButton* OKButton = nullptr;

    void URLLabelClick(TObject* sender);
    void FormKeyPress(TObject* sender, char& key);
};

extern TAboutBox* AboutBox;
