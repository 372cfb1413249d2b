// Jump to line: moves the caret of the active page to the start of a display line typed by number.
#pragma once

#include <functional>

#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// A line number of decimal digits only, within int; false for anything else (empty, a sign, a
// character other than a digit, a number past 2147483647).
bool ParseRowNumber(const AnsiString& text, int& value);

class TJumpRowForm : public TForm
{
public:
    explicit TJumpRowForm(TComponent* owner);

    TLabel* RowLabel = nullptr;
    TEdit* RowSetEdit = nullptr;
    TUpDown* RowUD = nullptr;
    TLabel* RowRangeLabel = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // The editor of the active page (null: none); the main window sets it.
    std::function<nsRichEdit*()> ActiveEditor;

    void FormShow(TObject* sender);
    void RowSetEditKeyPress(TObject* sender, char& key);
    void RowSetEditChange(TObject* sender);
    void RowUDChangingEx(TObject* sender, bool& allowChange, int newValue, TUpDownDirection direction);
    void OkBtnClick(TObject* sender);

private:
    int lineCount_ = 0; // of the page, when the dialog was shown
};

extern TJumpRowForm* JumpRowForm;
