// The progress window of a page layout, with its Cancel button. It belongs to the form that started
// the layout: it stays in front of it, centred on it, and that form takes no input while it is up.
#pragma once

#include "platform/Buttons.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TFormStrProgress : public TForm
{
public:
    explicit TFormStrProgress(TComponent* owner);
    void BeforeDestruction() override;

    TLabel* Label1 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TButton* Button1 = nullptr;

    // Makes the window with text, shows it without waiting and returns it; the caller frees it.
    // An owner that is a form is disabled until the window goes.
    static TFormStrProgress* Execute(TComponent* owner, const AnsiString& text);
    // Shows how far the work is (the bar full when maximum is 0) and lets the Cancel button work.
    void Progress(const AnsiString& text, int maximum, int position);
    bool Cancelled() const { return cancelled_; }

    void Button1Click(TObject* sender);

protected:
    // No border icons: Cancel is the only way to stop the layout.
    void CreateParams(TCreateParams& params) override;

private:
    TCustomForm* OwnerForm() const;
    bool cancelled_ = false;
    bool ownerDisabled_ = false;
    DWORD lastPump_ = 0;
};
