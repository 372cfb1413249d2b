// The question asked before each replacement when confirmation is on.
#pragma once

#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TReplaceDlgForm : public TForm
{
public:
    explicit TReplaceDlgForm(TComponent* owner);

    TLabel* MsgLabel = nullptr;
    TButton* YesBtn = nullptr;
    TButton* NoBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // Shows the message modally: 0 Yes, 1 No, 2 Cancel (also Esc and closing the window).
    int Prepare(const AnsiString& message);
};

extern TReplaceDlgForm* ReplaceDlgForm;
