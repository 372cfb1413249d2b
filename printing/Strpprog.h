// The progress window of a page layout, with its Cancel button.
#pragma once

#include "platform/Buttons.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TFormStrProgress : public TForm
{
public:
    explicit TFormStrProgress(TComponent* owner);

    TLabel* Label1 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TButton* Button1 = nullptr;

    // Makes the window with text, shows it without waiting and returns it; the caller frees it.
    static TFormStrProgress* Execute(TComponent* owner, const AnsiString& text);
    // Shows how far the work is (the bar full when maximum is 0) and lets the Cancel button work.
    void Progress(const AnsiString& text, int maximum, int position);
    bool Cancelled() const { return cancelled_; }

    void Button1Click(TObject* sender);

private:
    bool cancelled_ = false;
    DWORD lastPump_ = 0;
};
