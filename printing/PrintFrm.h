// The print dialog: font, margins, line spacing, page range, odd or even pages, line numbers,
// columns, header and footer of the active document; starts the preview or the print.
#pragma once

#include <functional>

#include "platform/Buttons.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "printing/StrPrint.h"

// What the dialog prints: the active page's whole text, its file path (empty when untitled) and
// its tab size. False when no page is active.
struct typPrintDocument
{
    AnsiString text;
    AnsiString filePath;
    int tabSize = 8;
};

class TPrintForm : public TForm
{
public:
    explicit TPrintForm(TComponent* owner);
    void AfterConstruction() override;

    TButton* PrinterSetupBtn = nullptr;
    TBitBtn* PrintBtn = nullptr;
    TBitBtn* PreViewBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TRadioButton* AllPageRBtn = nullptr;
    TRadioButton* PageDesignRBtn = nullptr;
    TEdit* StartPageEdit = nullptr;
    TEdit* EndPageEdit = nullptr;
    TRadioButton* BothPageRBtn = nullptr;
    TRadioButton* OddPageBtn = nullptr;
    TRadioButton* EvenPageRBtn = nullptr;
    TCheckBox* LineNumPrintCBox = nullptr;
    TComboBox* ColCBox = nullptr;
    TEdit* HeaderEdit = nullptr;
    TEdit* FooterEdit = nullptr;
    TComboBox* HPosCBox = nullptr;
    TComboBox* FPosCBox = nullptr;
    TComboBox* FontNameCBox = nullptr;
    TComboBox* FontSizeCBox = nullptr;
    TPanel* PrintStatusPanel = nullptr;
    TImage* PrintStatusImage = nullptr;
    // The edit and up-down pairs, found by tag: 1, 2, 3, 4, 9 (margins, line spacing), 11 (gap).
    TEdit* PairEdit(int tag) const;
    TUpDown* PairUpDown(int tag) const;

    TStringsPrinter* Pri = nullptr;
    // Where the PRINTER settings live (tests use their own key).
    AnsiString RegistryKey;
    // The active document; set by the main window.
    std::function<bool(typPrintDocument&)> ActiveDocument;

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void FormKeyPress(TObject* sender, char& key);
    void PrinterSetupBtnClick(TObject* sender);
    void AllPageRBtnClick(TObject* sender);
    void UD_ChangingEx(TObject* sender, bool& allowChange, int newValue, TUpDownDirection direction);
    void mEdit_Change(TObject* sender);
    void mEdit_KeyPress(TObject* sender, char& key);
    void PreViewBtnClick(TObject* sender);
    void PrintBtnClick(TObject* sender);
    void UpdatePrinterProperties();

private:
    void ReadSettings();
    void WriteSettings();
    int tabSize_ = 8;
};

extern TPrintForm* PrintForm;
