// The replace confirmation dialog.
#include <windows.h>

#include "search/Replacedlgfrm.h"

TReplaceDlgForm* ReplaceDlgForm = nullptr;

TReplaceDlgForm::TReplaceDlgForm(TComponent* owner) : TForm(owner)
{
    SetName("ReplaceDlgForm");
    SetCaption("置換の確認");
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 330, 130);

    // The question holds the user's pattern: a fixed place, and every "&" of it shown.
    MsgLabel = Create<TLabel>(this);
    MsgLabel->SetName("MsgLabel");
    MsgLabel->SetAutoSize(false);
    MsgLabel->SetShowAccelChar(false);
    MsgLabel->SetBounds(16, 16, 290, 32);
    MsgLabel->SetParent(this);

    auto button = [this](const char* name, const char* caption, int x, TModalResult result) {
        auto* b = Create<TButton>(this);
        b->SetName(name);
        b->SetCaption(caption);
        b->SetBounds(x, 60, 90, 25);
        b->SetModalResult(result);
        b->SetParent(this);
        return b;
    };
    YesBtn = button("YesBtn", "はい(&Y)", 16, mrYes);
    YesBtn->SetDefault(true);
    NoBtn = button("NoBtn", "いいえ(&N)", 116, mrNo);
    CancelBtn = button("CancelBtn", "キャンセル", 216, mrCancel);
    CancelBtn->SetCancel(true);
}

int TReplaceDlgForm::Prepare(const AnsiString& message)
{
    MsgLabel->SetCaption(message);
    SetActiveControl(YesBtn);
    switch (ShowModal())
    {
    case mrYes: return 0;
    case mrNo: return 1;
    default: return 2;
    }
}
