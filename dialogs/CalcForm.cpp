// The pocket calculator.
#include "dialogs/CalcForm.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "platform/Services.h"

TCalcFrm* CalcFrm = nullptr;

namespace
{
// A display or memory text as a number; anything that is not one (a lone "-") reads as 0.
long double CalcValue(const AnsiString& text)
{
    char* end = nullptr;
    const long double value = std::strtold(text.c_str(), &end);
    return end == text.c_str() ? 0.0L : value;
}

// True for what the entry accepts as typed: an optional "-", digits, at most one point.
bool IsEntryNumber(const AnsiString& text)
{
    int digits = 0, points = 0;
    for (int i = 1; i <= text.Length(); ++i)
    {
        const char c = text[i];
        if (c == '-' && i == 1)
            continue;
        if (c == '.')
            ++points;
        else if (c >= '0' && c <= '9')
            ++digits;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

// Integer part (text before the point, sign included) and fraction of a display text.
void SplitAtPoint(const AnsiString& text, int& integerLength, int& fractionLength, bool& hasPoint)
{
    const int point = text.Pos(".");
    hasPoint = point != 0;
    integerLength = hasPoint ? point - 1 : text.Length();
    fractionLength = hasPoint ? text.Length() - point : 0;
}
} // namespace

bool CalcFormatValue(long double value, AnsiString& text)
{
    text = "0";
    if (!std::isfinite(value))
        return false;
    if (value == 0)
        return true;
    // 18 significant digits; the decimals are then cut to 18 as well, rounding once more.
    char buffer[64];
    __mingw_snprintf(buffer, sizeof buffer, "%.17Le", value);
    int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    if (exponent < -1)
    {
        const int precision = exponent + 17; // significant digits that reach the 18th decimal, minus one
        if (precision < 0)
        {
            // Below the 18th decimal: it rounds to 0 or to the last decimal.
            if (std::fabs(value) < 5e-19L)
                return true;
            __mingw_snprintf(buffer, sizeof buffer, "%.0Le", value < 0 ? -1e-18L : 1e-18L);
        }
        else
            __mingw_snprintf(buffer, sizeof buffer, "%.*Le", precision, value);
        exponent = std::atoi(std::strchr(buffer, 'e') + 1);
    }
    std::string digits;
    const bool negative = buffer[0] == '-';
    for (const char* p = buffer; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    std::string integer, fraction;
    if (exponent >= 0)
    {
        if (int(digits.size()) < exponent + 1)
            digits.append(size_t(exponent + 1) - digits.size(), '0');
        integer = digits.substr(0, size_t(exponent) + 1);
        fraction = digits.substr(size_t(exponent) + 1);
    }
    else
    {
        integer = "0";
        fraction = std::string(size_t(-exponent - 1), '0') + digits;
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (integer == "0" && fraction.empty())
        return true; // no "-0"
    std::string out = (negative ? "-" : "") + integer;
    if (out.size() >= 16)
        return false;
    if (!fraction.empty())
        out += "." + fraction;
    text = out.c_str();
    return true;
}

namespace
{
constexpr int kDisplayFontSize = 14;
constexpr int kDisplayFontSizeMin = 7;
} // namespace

TCalcFrm::TCalcFrm(TComponent* owner) : TForm(owner)
{
    SetName("CalcFrm");
    SetCaption("電卓");
    SetBorderStyle(bsToolWindow);
    SetBounds(300, 200, 262, 290);
    SetKeyPreview(true);

    DisplayPanel = Create<TLabel>(this);
    DisplayPanel->SetAutoSize(false);
    PlaceControl(this, DisplayPanel, "DisplayPanel", "0", 8, 8, 240, 26);
    DisplayPanel->SetAlignment(taRightJustify);
    DisplayPanel->SetShowAccelChar(false);
    DisplayPanel->SetColor(clWindow);
    DisplayPanel->Font()->SetSize(kDisplayFontSize);
    MemoryPanel = Create<TLabel>(this);
    MemoryPanel->SetAutoSize(false);
    PlaceControl(this, MemoryPanel, "MemoryPanel", "", 8, 38, 20, 18);
    MemoryPanel->Font()->SetColor(clBlue);

    auto button = [this](const char* name, const char* caption, int col, int row, int code, int span = 1) {
        TButton* b = PlaceControl(this, Create<TButton>(this), name, caption, 8 + col * 48, 60 + row * 32,
                                  44 + (span - 1) * 48, 28);
        b->SetTag(code);
        b->OnClick = TNotifyEvent(this, &TCalcFrm::Btn_EnzanClick);
        return b;
    };
    Btn_MC = button("Btn_MC", "MC", 0, 0, ccMemoryClear);
    Btn_MR = button("Btn_MR", "MR", 1, 0, ccMemoryRecall);
    Btn_MS = button("Btn_MS", "MS", 2, 0, ccMemoryStore);
    Btn_MP = button("Btn_MP", "M+", 3, 0, ccMemoryAdd);
    Btn_BS = button("Btn_BS", "BS", 4, 0, ccBackspace);
    const int grid[10][2] = {{0, 4}, {0, 3}, {1, 3}, {2, 3}, {0, 2}, {1, 2}, {2, 2}, {0, 1}, {1, 1}, {2, 1}};
    for (int d = 0; d < 10; ++d)
    {
        const AnsiString name = "Btn_" + IntToStr(d);
        Btn_Num[d] = button(name.c_str(), IntToStr(d).c_str(), grid[d][0], grid[d][1], d);
        Btn_Num[d]->OnClick = TNotifyEvent(this, &TCalcFrm::Btn_NumClick);
    }
    Btn_Wari = button("Btn_Wari", "/", 3, 1, ccDivide);
    Btn_CE = button("Btn_CE", "CE", 4, 1, ccClearEntry);
    Btn_Kake = button("Btn_Kake", "*", 3, 2, ccMultiply);
    Btn_C = button("Btn_C", "C", 4, 2, ccClear);
    Btn_Hiku = button("Btn_Hiku", "-", 3, 3, ccSubtract);
    Btn_Rute = button("Btn_Rute", "√", 4, 3, ccSqrt);
    Btn_PM = button("Btn_PM", "+/-", 1, 4, ccSign);
    Btn_Dot = button("Btn_Dot", ".", 2, 4, ccPoint);
    Btn_Tasu = button("Btn_Tasu", "+", 3, 4, ccAdd);
    Btn_Pa = button("Btn_Pa", "%", 4, 4, ccPercent);
    Btn_Wa = button("Btn_Wa", "=", 0, 5, ccEquals, 3);
    ForwardBtn = button("ForwardBtn", "転送", 3, 5, 0, 2);
    ForwardBtn->OnClick = TNotifyEvent(this, &TCalcFrm::ForwardBtnClick);

    OnShow = TNotifyEvent(this, &TCalcFrm::FormShow);
    OnKeyDown = TKeyEvent(this, &TCalcFrm::FormKeyDown);
    OnKeyPress = TKeyPressEvent(this, &TCalcFrm::FormKeyPress);
}

void TCalcFrm::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    params.ExStyle |= WS_EX_TOPMOST;
}

bool TCalcFrm::DialogKey(WORD key, TShiftState shift)
{
    if (key == VK_RETURN || key == VK_ESCAPE)
        return false;
    return TForm::DialogKey(key, shift);
}

void TCalcFrm::FormShow(TObject*)
{
    SetIndicator("", clBlue);
    CalcClear();
    CalcUpdateDisplay();
}

void TCalcFrm::Press(TButton* button)
{
    button->Click();
}

void TCalcFrm::FormKeyDown(TObject*, WORD& key, TShiftState shift)
{
    const bool ctrl = shift.Contains(ssCtrl);
    TButton* target = nullptr;
    if (ctrl)
    {
        switch (key)
        {
        case 'L': target = Btn_MC; break;
        case 'R': target = Btn_MR; break;
        case 'M': target = Btn_MS; break;
        case 'P': target = Btn_MP; break;
        default: break;
        }
    }
    else
    {
        switch (key)
        {
        case VK_RETURN: target = Btn_Wa; break;
        case VK_SPACE: target = ForwardBtn; break;
        case VK_BACK: target = Btn_BS; break;
        case VK_DELETE: target = Btn_CE; break;
        case VK_F9: target = Btn_PM; break;
        case VK_ESCAPE:
            key = 0;
            Press(Btn_C);
            Close();
            return;
        case VK_F1:
            key = 0;
            ShowHelp(Handle(), msgHelpCalc);
            return;
        default: break;
        }
    }
    if (!target)
        return;
    // Taken here, so neither the focused button nor the character the key makes acts again.
    key = 0;
    Press(target);
}

void TCalcFrm::FormKeyPress(TObject*, char& key)
{
    // Enter, Space, Backspace and Esc were handled as keys, and so were the Ctrl keys, whose
    // characters (Ctrl+M: a carriage return) find nothing here.
    const char c = key;
    TButton* target = nullptr;
    if (c >= '0' && c <= '9')
        target = Btn_Num[c - '0'];
    else
    {
        switch (c)
        {
        case '+': target = Btn_Tasu; break;
        case '-': target = Btn_Hiku; break;
        case '*': target = Btn_Kake; break;
        case '/': target = Btn_Wari; break;
        case '.': target = Btn_Dot; break;
        case '%': target = Btn_Pa; break;
        case '@': target = Btn_Rute; break;
        default: break;
        }
    }
    if (!target)
        return;
    key = 0;
    Press(target);
}

void TCalcFrm::Btn_NumClick(TObject* sender)
{
    if (auto* b = dynamic_cast<TButton*>(sender))
        CalcCommand(ccDigit, b->Tag());
}

void TCalcFrm::Btn_EnzanClick(TObject* sender)
{
    if (auto* b = dynamic_cast<TButton*>(sender))
        CalcCommand(b->Tag());
}

void TCalcFrm::ForwardBtnClick(TObject*)
{
    if (TypeIntoPage)
        TypeIntoPage(display_);
}

void TCalcFrm::SetIndicator(const char* text, TColor color)
{
    MemoryPanel->Font()->SetColor(color);
    MemoryPanel->SetCaption(text);
}

void TCalcFrm::CalcCommand(int code, int digit)
{
    if (error_)
    {
        if (code != ccClearEntry && code != ccClear)
            return;
        SetIndicator("", clBlue);
        CalcClear();
        CalcUpdateDisplay();
        return;
    }
    switch (code)
    {
    case ccDigit: CalcInputDigit(char('0' + digit)); break;
    case ccAdd:
    case ccSubtract:
    case ccMultiply:
    case ccDivide: CalcOperator(code); break;
    case ccEquals: CalcEquals(); break;
    case ccSign: CalcToggleSign(); break;
    case ccPoint: CalcInputDigit('.'); break;
    case ccPercent: CalcPercent(); break;
    case ccSqrt: CalcSqrt(); break;
    case ccMemoryClear: CalcMemoryClear(); break;
    case ccMemoryRecall: CalcMemoryRecall(); break;
    case ccMemoryStore: CalcMemoryStore(); break;
    case ccMemoryAdd: CalcMemoryAdd(); break;
    case ccBackspace: CalcBackspace(); break;
    case ccClearEntry: CalcClearEntry(); break;
    case ccClear: CalcClear(); break;
    default: break;
    }
    CalcUpdateDisplay();
}

void TCalcFrm::CalcUpdateDisplay()
{
    DisplayPanel->SetCaption(display_);
    // A long entry or result (24 digits, a point and a sign; a result's fraction runs longer) is
    // shown whole in a smaller size: at the normal size the display would cut off its head.
    if (!DisplayPanel->HandleAllocated())
        return;
    TCanvas* canvas = DisplayPanel->Canvas();
    int size = kDisplayFontSize;
    for (; size > kDisplayFontSizeMin; --size)
    {
        DisplayPanel->Font()->SetSize(size);
        canvas->SetFont(DisplayPanel->Font());
        if (canvas->TextWidth(display_) <= DisplayPanel->ClientWidth())
            break;
    }
    DisplayPanel->Font()->SetSize(size);
}

void TCalcFrm::ShowResult(long double value)
{
    AnsiString text;
    if (CalcFormatValue(value, text))
    {
        display_ = text;
        return;
    }
    // Too large to show, or no number at all (division by zero, root of a negative).
    char buffer[64];
    __mingw_snprintf(buffer, sizeof buffer, "%Lg", value);
    display_ = std::isfinite(value) ? AnsiString(buffer) : AnsiString("0");
    error_ = true;
    SetIndicator("E", clRed);
}

void TCalcFrm::CalcInputDigit(char c)
{
    const AnsiString typed = c == '.' ? AnsiString("0.") : AnsiString(c);
    if (operatorEntered_)
    {
        if (resultShown_)
        {
            previous_ = display_;
            resultShown_ = false;
        }
        display_ = typed;
        operatorEntered_ = false;
        return;
    }
    if (resultShown_)
    {
        CalcClear();
        display_ = typed;
        return;
    }
    if (display_ == "0")
    {
        if (c != '0')
            display_ = typed;
        return;
    }
    int integerLength, fractionLength;
    bool hasPoint;
    SplitAtPoint(display_, integerLength, fractionLength, hasPoint);
    if (c == '.')
    {
        if (!hasPoint && integerLength < 24)
            display_ += ".";
    }
    else if (!hasPoint ? integerLength < 15 : integerLength + fractionLength < 24)
        display_ += AnsiString(c);
}

void TCalcFrm::CalcOperator(int op)
{
    if (pending_ == 0)
    {
        if (display_ == "0")
            return;
        pending_ = op;
        operatorEntered_ = true;
        previous_ = display_;
        return;
    }
    if (!operatorEntered_)
    {
        if (!resultShown_)
        {
            CalcEquals();
            if (error_)
                return;
        }
        pending_ = op;
        operatorEntered_ = true;
        return;
    }
    if (op != pending_)
    {
        if (resultShown_)
        {
            previous_ = display_;
            resultShown_ = false;
        }
        pending_ = op;
    }
}

namespace
{
long double Apply(int op, long double a, long double b)
{
    switch (op)
    {
    case ccAdd: return a + b;
    case ccSubtract: return a - b;
    case ccMultiply: return a * b;
    default: return a / b; // a zero divisor gives no finite number: the error state
    }
}
} // namespace

// Repeating "=" or "%" applies the last operand again to the result shown.
void TCalcFrm::CalcOperands(long double& a, long double& b)
{
    if (!resultShown_)
    {
        a = CalcValue(previous_);
        b = CalcValue(display_);
        previous_ = display_;
    }
    else
    {
        a = CalcValue(display_);
        b = CalcValue(previous_);
    }
}

void TCalcFrm::CalcEquals()
{
    if (pending_ == 0)
        return;
    long double a, b;
    CalcOperands(a, b);
    ShowResult(Apply(pending_, a, b));
    resultShown_ = true;
}

void TCalcFrm::CalcPercent()
{
    if (pending_ == 0)
        return;
    long double a, b;
    CalcOperands(a, b);
    long double r;
    switch (pending_)
    {
    case ccAdd: r = a + 0.01L * b * a; break;
    case ccSubtract: r = a - 0.01L * b * a; break;
    case ccMultiply: r = 0.01L * b * a; break;
    default: r = a * 100 / b; break;
    }
    ShowResult(r);
    resultShown_ = true;
}

void TCalcFrm::CalcSqrt()
{
    ShowResult(std::sqrt(CalcValue(display_)));
    pending_ = 0;
    operatorEntered_ = false;
}

void TCalcFrm::CalcToggleSign()
{
    if (display_ == "0")
        return;
    if (display_[1] == '-')
        display_.Delete(1, 1);
    else
        display_.Insert("-", 1);
}

void TCalcFrm::CalcBackspace()
{
    if (resultShown_)
        return;
    if (display_.Length() <= 1 || display_ == "0." || (display_.Length() == 2 && display_[1] == '-'))
        display_ = "0";
    else
        display_.Delete(display_.Length(), 1);
}

void TCalcFrm::CalcClear()
{
    display_ = "0";
    previous_ = "";
    pending_ = 0;
    operatorEntered_ = false;
    resultShown_ = false;
    error_ = false;
}

void TCalcFrm::CalcMemoryStore()
{
    if (display_ == "0")
        return;
    memory_ = display_;
    SetIndicator("M", clBlue);
}

void TCalcFrm::CalcMemoryAdd()
{
    if (display_ == "0")
        return;
    AnsiString text;
    // A sum too large to show leaves the memory as it was.
    if (!CalcFormatValue(CalcValue(memory_) + CalcValue(display_), text))
        return;
    memory_ = text;
    SetIndicator("M", clBlue);
}

void TCalcFrm::CalcMemoryClear()
{
    memory_ = "";
    SetIndicator("", clBlue);
}

void TCalcFrm::CalcMemoryRecall()
{
    if (!IsEntryNumber(memory_))
        return;
    CalcClearEntry();
    const bool negative = memory_[1] == '-';
    for (int i = negative ? 2 : 1; i <= memory_.Length(); ++i)
        CalcInputDigit(memory_[i]);
    if (negative)
        CalcToggleSign();
}
