// The pocket calculator: a small window that stays on top, computes in extended precision, keeps
// its numbers as decimal text, has one memory, and types its result into the active page.
#pragma once

#include <functional>

#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// Command codes of CalcCommand, in the order of the keys.
enum TCalcCode
{
    ccDigit = 1,
    ccAdd = 2,
    ccSubtract = 3,
    ccMultiply = 4,
    ccDivide = 5,
    ccEquals = 6,
    ccSign = 7,
    ccPoint = 8,
    ccPercent = 9,
    ccSqrt = 10,
    ccMemoryClear = 11,
    ccMemoryRecall = 12,
    ccMemoryStore = 13,
    ccMemoryAdd = 14,
    ccBackspace = 15,
    ccClearEntry = 16,
    ccClear = 17,
};

// A value as the display shows it: fixed notation, at most 18 significant digits and 18 decimals,
// no trailing zeros, no "-0". False (text then "0") when the value is not finite or its integer
// part, sign included, would take 16 characters or more.
bool CalcFormatValue(long double value, AnsiString& text);

class TCalcFrm : public TForm
{
public:
    explicit TCalcFrm(TComponent* owner);

    TLabel* DisplayPanel = nullptr;
    TLabel* MemoryPanel = nullptr;
    TButton* Btn_Num[10] = {};
    TButton* Btn_Tasu = nullptr;
    TButton* Btn_Hiku = nullptr;
    TButton* Btn_Kake = nullptr;
    TButton* Btn_Wari = nullptr;
    TButton* Btn_Wa = nullptr;
    TButton* Btn_PM = nullptr;
    TButton* Btn_Dot = nullptr;
    TButton* Btn_Pa = nullptr;
    TButton* Btn_Rute = nullptr;
    TButton* Btn_MC = nullptr;
    TButton* Btn_MR = nullptr;
    TButton* Btn_MS = nullptr;
    TButton* Btn_MP = nullptr;
    TButton* Btn_BS = nullptr;
    TButton* Btn_CE = nullptr;
    TButton* Btn_C = nullptr;
    TButton* ForwardBtn = nullptr;

    // Types text at the caret of the active page (set by the main window; unset: nothing happens).
    std::function<void(const AnsiString&)> TypeIntoPage;

    // Runs one command; digit is the digit of ccDigit.
    void CalcCommand(int code, int digit = 0);
    const AnsiString& DisplayText() const { return display_; }
    const AnsiString& MemoryText() const { return memory_; }
    bool InError() const { return error_; }

    void FormShow(TObject* sender);
    void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);
    void FormKeyPress(TObject* sender, char& key);
    void Btn_NumClick(TObject* sender);
    void Btn_EnzanClick(TObject* sender);
    void ForwardBtnClick(TObject* sender);

    // Enter and Esc are the calculator's own keys, not the dialog's.
    bool DialogKey(WORD key, TShiftState shift) override;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void CalcInputDigit(char c);
    void CalcOperator(int op);
    void CalcOperands(long double& a, long double& b);
    void CalcEquals();
    void CalcPercent();
    void CalcSqrt();
    void CalcToggleSign();
    void CalcBackspace();
    void CalcClearEntry() { display_ = "0"; }
    void CalcClear();
    void CalcMemoryStore();
    void CalcMemoryAdd();
    void CalcMemoryClear();
    void CalcMemoryRecall();
    void CalcUpdateDisplay();
    // display := formatted value, or the error state when it cannot be shown.
    void ShowResult(long double value);
    void SetIndicator(const char* text, TColor color);
    void Press(TButton* button);

    AnsiString display_ = "0";
    AnsiString previous_;
    AnsiString memory_;
    int pending_ = 0; // ccAdd..ccDivide, 0 for none
    bool operatorEntered_ = false;
    bool resultShown_ = false;
    bool error_ = false;
};

extern TCalcFrm* CalcFrm;
