#include "dialogs/JumpRowFrm.h"

#include <climits>

#include "common/English.h"
#include "common/Nsenumwindows.h"

TJumpRowForm* JumpRowForm = nullptr;

bool ParseRowNumber(const AnsiString& text, int& value)
{
    if (text.IsEmpty())
        return false;
    long long n = 0;
    for (int i = 1; i <= text.Length(); ++i)
    {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
        if (n > INT_MAX)
            return false;
    }
    value = int(n);
    return true;
}

TJumpRowForm::TJumpRowForm(TComponent* owner) : TForm(owner)
{
    SetName("JumpRowForm");
    SetCaption("指定行にジャンプ");
    SetBorderStyle(bsToolWindow);
    SetPosition(poScreenCenter);
    SetKeyPreview(true);
    SetBounds(0, 0, 250, 120);

    RowLabel = Create<TLabel>(this);
    RowLabel->SetName("RowLabel");
    RowLabel->SetCaption("行番号");
    RowLabel->SetBounds(12, 16, 50, 16);
    RowLabel->SetParent(this);

    RowSetEdit = Create<TEdit>(this);
    RowSetEdit->SetName("RowSetEdit");
    RowSetEdit->SetBounds(64, 12, 90, 22);
    RowSetEdit->SetImeMode(imDisable);
    RowSetEdit->SetParent(this);
    RowSetEdit->OnKeyPress = TKeyPressEvent(this, &TJumpRowForm::RowSetEditKeyPress);
    RowSetEdit->OnChange = TNotifyEvent(this, &TJumpRowForm::RowSetEditChange);
    RowLabel->SetFocusControl(RowSetEdit);

    // Not associated: the edit holds what was typed, even a number past the range.
    RowUD = Create<TUpDown>(this);
    RowUD->SetName("RowUD");
    RowUD->SetBounds(154, 12, 16, 22);
    RowUD->SetThousands(false);
    RowUD->SetParent(this);
    RowUD->OnChangingEx = TUDChangingEventEx(this, &TJumpRowForm::RowUDChangingEx);

    RowRangeLabel = Create<TLabel>(this);
    RowRangeLabel->SetName("RowRangeLabel");
    RowRangeLabel->SetBounds(64, 40, 150, 16);
    RowRangeLabel->SetParent(this);

    OkBtn = Create<TButton>(this);
    OkBtn->SetName("OkBtn");
    OkBtn->SetCaption("OK");
    OkBtn->SetDefault(true);
    OkBtn->SetBounds(40, 64, 80, 24);
    OkBtn->SetParent(this);
    OkBtn->OnClick = TNotifyEvent(this, &TJumpRowForm::OkBtnClick);

    CancelBtn = Create<TButton>(this);
    CancelBtn->SetName("CancelBtn");
    CancelBtn->SetCaption("ｷｬﾝｾﾙ");
    CancelBtn->SetCancel(true); // Esc closes
    CancelBtn->SetModalResult(mrCancel);
    CancelBtn->SetBounds(128, 64, 80, 24);
    CancelBtn->SetParent(this);

    OnShow = TNotifyEvent(this, &TJumpRowForm::FormShow);
}

void TJumpRowForm::FormShow(TObject*)
{
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    lineCount_ = ed ? std::max(1, ed->GetLinesCount()) : 1;
    const TUDChangingEventEx keep = RowUD->OnChangingEx;
    RowUD->OnChangingEx = TUDChangingEventEx();
    RowUD->SetMin(1);
    RowUD->SetMax(lineCount_);
    RowUD->OnChangingEx = keep;
    RowSetEdit->SetText(IntToStr(ed ? ed->GetCaret().y + 1 : 1));
    RowRangeLabel->SetCaption("(1-" + IntToStr(lineCount_) + ")");
    SetActiveControl(RowSetEdit);
}

void TJumpRowForm::RowSetEditKeyPress(TObject*, char& key)
{
    if (static_cast<unsigned char>(key) >= 32 && (key < '0' || key > '9'))
        key = 0;
}

void TJumpRowForm::RowSetEditChange(TObject*)
{
    int value = 1;
    if (!ParseRowNumber(RowSetEdit->Text(), value))
        value = 1;
    const TUDChangingEventEx keep = RowUD->OnChangingEx;
    RowUD->OnChangingEx = TUDChangingEventEx();
    RowUD->SetPosition(value);
    RowUD->OnChangingEx = keep;
}

void TJumpRowForm::RowUDChangingEx(TObject*, bool& allowChange, int newValue, TUpDownDirection)
{
    allowChange = newValue >= RowUD->Min() && newValue <= RowUD->Max();
    if (!allowChange)
        return;
    const TNotifyEvent keep = RowSetEdit->OnChange;
    RowSetEdit->OnChange = TNotifyEvent();
    RowSetEdit->SetText(IntToStr(newValue));
    RowSetEdit->OnChange = keep;
}

void TJumpRowForm::OkBtnClick(TObject*)
{
    const AnsiString text = RowSetEdit->Text();
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    if (text.IsEmpty())
    {
        ErrorBox("%s", msgJumpNoNumber);
        RowSetEdit->SetFocus();
        return;
    }
    int row = 0;
    // The box names the line as typed: a number too big for int is still the user's number.
    if (!ed || !ParseRowNumber(text, row) || row < 1 || row > lineCount_ || row > ed->GetLinesCount())
    {
        ErrorBox(msgJumpNoSuchLine, text.c_str());
        RowSetEdit->SetFocus();
        return;
    }
    const TPoint caret(0, row - 1);
    ed->SetCaret(caret);
    ed->SelArea()->PutStartPoint(caret);
    ed->SelArea()->PutEndPoint(caret);
    ed->SelArea()->RowReset();
    if (!ed->ScrollIntoView(0, row - 1))
        ed->Invalidate();
    SetModalResult(mrOk);
}
