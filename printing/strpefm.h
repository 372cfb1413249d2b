// The printing component's own set-up dialog (English captions): font, columns, line numbers,
// word break, page and line ranges, header and footer; it can also print or preview a text.
#pragma once

#include "platform/Buttons.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "printing/StrPrint.h"

class TFormStringsPrint : public TForm
{
public:
    explicit TFormStringsPrint(TComponent* owner);

    TLabel* Label5 = nullptr;  // printer name
    TLabel* Label6 = nullptr;  // orientation
    TLabel* Label12 = nullptr; // paper
    TLabel* Label18 = nullptr;
    TLabel* Label19 = nullptr;
    TLabel* Label21 = nullptr;
    TLabel* Label22 = nullptr;
    TButton* Button4 = nullptr; // printer setting
    TComboBox* ComboBox1 = nullptr;
    TComboBox* ComboBox2 = nullptr;
    TCheckBox* CheckBox1 = nullptr; // LineNumber
    TCheckBox* CheckBox2 = nullptr; // WordBreak
    TRadioGroup* RadioGroup1 = nullptr; // columns
    TRadioGroup* RadioGroup2 = nullptr; // header
    TRadioGroup* RadioGroup3 = nullptr; // footer
    TRadioGroup* RadioGroup4 = nullptr; // page option
    TRadioGroup* RadioGroup5 = nullptr; // range option
    TRadioGroup* RadioGroup6 = nullptr; // line range option
    TEdit* Edit1 = nullptr;
    TEdit* Edit2 = nullptr;
    TButton* Button5 = nullptr; // Print
    TButton* Button6 = nullptr; // Preview
    TButton* Button1 = nullptr; // OK
    TButton* Button2 = nullptr; // Cancel
    TButton* Button3 = nullptr; // Help

    // Shows the dialog on a copy of printer; OK (or a print) copies it back. strings (may be null)
    // is what Print and Preview use. A null printer shows nothing.
    static bool Execute(TStringsPrinter* printer, TStrings* strings);
    // The dialog's working copy, and the text it prints.
    void Setup(TStringsPrinter* printer, TStrings* strings);
    TStringsPrinter* Working() const { return working_; }

    void FormShow(TObject* sender);
    void PrinterInfoLabelUpdate();
    void Button3Click(TObject* sender);
    void Button4Click(TObject* sender);
    void Button5Click(TObject* sender);
    void Button6Click(TObject* sender);
    void ControlChange(TObject* sender);

private:
    TStringsPrinter* working_;
    TStrings* strings_ = nullptr;
    bool loading_ = false;
};
