// The calculator driven as a user drives it: key sequences against what the display must show,
// the display's formatting against exact decimal arithmetic, and the keyboard on a shown window.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "dialogs/CalcForm.h"
#include "tests/TestKeys.h"
#include "tests/TestServices.h"

namespace
{
// Feeds a sequence: digits, "." "+" "-" "*" "/" "=" "%" as on the keys; 'r' root, 's' sign,
// 'b' backspace, 'e' clear entry, 'c' clear, 'S' memory store, 'A' memory add, 'R' recall,
// 'L' memory clear.
void Feed(TCalcFrm* calc, const std::string& keys)
{
    for (char k : keys)
    {
        if (k >= '0' && k <= '9')
        {
            calc->CalcCommand(ccDigit, k - '0');
            continue;
        }
        const int code = k == '+'   ? ccAdd
                         : k == '-' ? ccSubtract
                         : k == '*' ? ccMultiply
                         : k == '/' ? ccDivide
                         : k == '=' ? ccEquals
                         : k == '.' ? ccPoint
                         : k == '%' ? ccPercent
                         : k == 'r' ? ccSqrt
                         : k == 's' ? ccSign
                         : k == 'b' ? ccBackspace
                         : k == 'e' ? ccClearEntry
                         : k == 'c' ? ccClear
                         : k == 'S' ? ccMemoryStore
                         : k == 'A' ? ccMemoryAdd
                         : k == 'R' ? ccMemoryRecall
                         : k == 'L' ? ccMemoryClear
                                    : 0;
        ASSERT_NE(code, 0) << k;
        calc->CalcCommand(code);
    }
}

struct TSequence
{
    const char* keys;
    const char* display;
    bool error;
};

const TSequence kSequences[] = {
    {"2+3==", "8", false},
    {"2+3=", "5", false},
    {"2+3+", "5", false},
    {"2+3+4=", "9", false},
    {"200+10%", "220", false},
    {"200-10%", "180", false},
    {"200*10%", "20", false},
    {"200/10%", "2000", false},
    {"200+10%%", "242", false}, // again: the result with the same operand
    {"8/2==", "2", false},
    {"9r", "3", false},
    {"2+9r=", "3", false},
    {"c9r5", "35", false},
    {"+", "0", false},
    {"1234567890123456", "123456789012345", false},
    {"1.23456789012345678901234567", "1.23456789012345678901234", false},
    {"12345.67+0.01=", "12345.68", false},
    {"0.1+0.2=", "0.3", false},
    {"1/3=", "0.333333333333333333", false},
    {"2/3=", "0.666666666666666667", false},
    {"0.000001*0.000001=", "0.000000000001", false},
    {"0.000000001*0.000000001=", "0.000000000000000001", false},
    {"0.000000001*0.0000000001=", "0", false},
    {"5-5=", "0", false},
    {"0.5s-0.5s=", "0", false},
    {"0.5s*0=", "0", false},
    {"5sb", "0", false},
    {"5sb+2=", "2", false},
    {"999999999999999AAceR", "999999999999999", false},
    {"2s*0.0000000001*0.0000000001=", "0", false},
    {"99999999*99999999=", "1e+16", true},
    {"99999999*99999999=5+3", "1e+16", true},
    {"99999999*99999999=c", "0", false},
    {"99999999*99999999=e7", "7", false},
    {"1/0=", "0", true},
    {"1/0=e", "0", false},
    {"4sr", "0", true},
    {"5-", "5", false},
    {"1+-*2=", "2", false},
    {"12b", "1", false},
    {"1b", "0", false},
    {"0.b", "0", false},
    {"5sbb", "0", false},
    {"2+3=b", "5", false},
    {"12.5SceR", "12.5", false},
    {"3sSceR", "-3", false},
    {"7Sc3AceR", "10", false},
    {"LR", "0", false},
    {"12345678S99999999*99999999=cR", "12345678", false},
};

class TCalcTest : public ::testing::Test
{
protected:
    void SetUp() override { calc = Create<TCalcFrm>(nullptr); }
    void TearDown() override { delete calc; }
    TCalcFrm* calc = nullptr;
};
} // namespace

TEST_F(TCalcTest, KeySequences_ShowWhatADeskCalculatorShows)
{
    for (const TSequence& s : kSequences)
    {
        SCOPED_TRACE(s.keys);
        Feed(calc, "Lc");
        Feed(calc, s.keys);
        EXPECT_EQ(calc->DisplayText().str(), s.display);
        EXPECT_EQ(calc->InError(), s.error);
        EXPECT_EQ(calc->DisplayPanel->Caption().str(), s.display);
    }
}

// Every display, the longest entries and results included, is shown whole: its text in the
// display's font fits the display, which keeps its normal size for a short one.
TEST_F(TCalcTest, TheDisplayShowsEveryEntryAndResultWhole)
{
    calc->Show();
    std::vector<std::string> sequences;
    for (const TSequence& s : kSequences)
        sequences.push_back(s.keys);
    for (const char* longer : {"123456789012345.123456789", "123456789012345.123456789s", "s123456789012345.12345678",
                               "0.12345678901234567890123", "123456789012345/7=", "99999999999999.9s/3="})
        sequences.push_back(longer);
    const int normalSize = calc->DisplayPanel->Font()->Size();
    for (const std::string& keys : sequences)
    {
        SCOPED_TRACE(keys);
        Feed(calc, "Lc");
        Feed(calc, keys);
        TCanvas* canvas = calc->DisplayPanel->Canvas();
        canvas->SetFont(calc->DisplayPanel->Font());
        const AnsiString shown = calc->DisplayPanel->Caption();
        EXPECT_LE(canvas->TextWidth(shown), calc->DisplayPanel->ClientWidth());
        if (shown.Length() <= 12)
        {
            EXPECT_EQ(calc->DisplayPanel->Font()->Size(), normalSize);
        }
    }
    EXPECT_EQ(calc->DisplayPanel->Caption(), AnsiString("-33333333333333.3"));
    calc->Hide();
}

TEST_F(TCalcTest, ErrorState_ShowsTheRedIndicatorAndOnlyClearsLeaveIt)
{
    Feed(calc, "1/0=");
    EXPECT_EQ(calc->MemoryPanel->Caption(), AnsiString("E"));
    EXPECT_EQ(calc->MemoryPanel->Font()->Color(), clRed);
    Feed(calc, "S");
    EXPECT_TRUE(calc->MemoryText().IsEmpty());
    Feed(calc, "e");
    EXPECT_FALSE(calc->InError());
    EXPECT_EQ(calc->MemoryPanel->Caption(), AnsiString(""));
}

// Sums, differences and products of two-decimal numbers against integer arithmetic on cents: the
// display never shows binary noise, never "-0", and never a trailing zero.
TEST(CalcFormatValue, TwoDecimalArithmeticShowsTheExactDecimal)
{
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    std::uniform_int_distribution<long long> cents(-99999999, 99999999);
    auto exact = [](long long value, int decimals) {
        const bool negative = value < 0;
        std::string digits = std::to_string(negative ? -value : value);
        while (int(digits.size()) <= decimals)
            digits = "0" + digits;
        std::string text = digits.substr(0, digits.size() - size_t(decimals));
        std::string fraction = digits.substr(digits.size() - size_t(decimals));
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        if (!fraction.empty())
            text += "." + fraction;
        return (negative && text != "0" ? "-" : "") + text;
    };
    auto value = [](long long c, int decimals) {
        long double v = (long double)c;
        for (int i = 0; i < decimals; ++i)
            v /= 10;
        return v;
    };
    for (int i = 0; i < 2000; ++i)
    {
        const long long a = cents(random), b = cents(random) / 1000;
        SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i) + ": " + std::to_string(a) +
                     ", " + std::to_string(b));
        AnsiString text;
        ASSERT_TRUE(CalcFormatValue(value(a, 2) + value(b, 2), text));
        EXPECT_EQ(text.str(), exact(a + b, 2));
        ASSERT_TRUE(CalcFormatValue(value(a, 2) - value(a, 2), text));
        EXPECT_EQ(text.str(), "0");
        ASSERT_TRUE(CalcFormatValue(value(a, 2) * value(b, 2), text));
        EXPECT_EQ(text.str(), exact(a * b, 4));
    }
}

namespace
{
void PressKey(TBoxServices& services, HWND target, WORD key, bool ctrl)
{
    if (ctrl)
        services.down.insert(VK_CONTROL);
    // The message loop makes the key's character (Ctrl+M: a carriage return) as typing does.
    PressWithHeldKeys(services, target, key);
}
} // namespace

// Each key acts once, whichever button has the focus: Ctrl+M makes a carriage return that must
// not also press "=", and Enter or Space on a focused button must not click it as well.
TEST_F(TCalcTest, EachKeyActsOnceOnAShownWindowWhateverButtonHasTheFocus)
{
    TBoxServices services;
    std::vector<std::string> typed;
    calc->TypeIntoPage = [&typed](const AnsiString& text) { typed.push_back(text.str()); };
    calc->Show();
    Application->ProcessMessages();
    for (TButton* focused : {calc->Btn_Num[5], calc->Btn_Tasu, calc->Btn_Wa, calc->ForwardBtn})
    {
        SCOPED_TRACE(focused->Name().str());
        Feed(calc, "Lc");
        typed.clear();
        focused->SetFocus();
        Application->ProcessMessages();
        const HWND target = focused->Handle();
        PressKey(services, target, '2', false);
        PressKey(services, target, 'M', true); // MS
        EXPECT_EQ(calc->DisplayText(), AnsiString("2"));
        EXPECT_EQ(calc->MemoryText(), AnsiString("2"));
        PressKey(services, target, 'P', true); // M+
        EXPECT_EQ(calc->MemoryText(), AnsiString("4"));
        PressKey(services, target, VK_DELETE, false);
        PressKey(services, target, 'R', true); // MR
        EXPECT_EQ(calc->DisplayText(), AnsiString("4"));
        PressKey(services, target, VK_ADD, false);
        PressKey(services, target, '3', false);
        PressKey(services, target, VK_RETURN, false);
        EXPECT_EQ(calc->DisplayText(), AnsiString("7"));
        PressKey(services, target, VK_RETURN, false);
        EXPECT_EQ(calc->DisplayText(), AnsiString("10"));
        PressKey(services, target, VK_SPACE, false);
        EXPECT_EQ(typed, std::vector<std::string>{"10"});
    }
    calc->Hide();
}

// Every button of the shown calculator, clicked as the mouse clicks it, with what the display and
// the memory show afterwards ("." in memory: empty) and what "転送" typed.
TEST_F(TCalcTest, EveryButtonClickedOnTheWindowDoesItsOperation)
{
    TBoxServices services;
    std::vector<std::string> typed;
    calc->TypeIntoPage = [&typed](const AnsiString& text) { typed.push_back(text.str()); };
    calc->Show();
    TCalcFrm* c = calc;
    const struct
    {
        TButton* button;
        const char* display;
        const char* memory;
    } clicks[] = {
        {c->Btn_C, "0", "."},         {c->Btn_Num[1], "1", "."},     {c->Btn_Num[2], "12", "."},
        {c->Btn_Num[3], "123", "."},  {c->Btn_Num[4], "1234", "."},  {c->Btn_Num[5], "12345", "."},
        {c->Btn_Num[6], "123456", "."}, {c->Btn_Num[7], "1234567", "."}, {c->Btn_Num[8], "12345678", "."},
        {c->Btn_Num[9], "123456789", "."}, {c->Btn_Num[0], "1234567890", "."}, {c->Btn_BS, "123456789", "."},
        {c->Btn_PM, "-123456789", "."}, {c->Btn_PM, "123456789", "."}, {c->Btn_CE, "0", "."},
        {c->Btn_Num[4], "4", "."},    {c->Btn_Rute, "2", "."},       {c->Btn_Tasu, "2", "."},
        {c->Btn_Num[3], "3", "."},    {c->Btn_Wa, "5", "."},         {c->Btn_Kake, "5", "."},
        {c->Btn_Num[2], "2", "."},    {c->Btn_Wa, "10", "."},        {c->Btn_Hiku, "10", "."},
        {c->Btn_Num[4], "4", "."},    {c->Btn_Wa, "6", "."},         {c->Btn_Wari, "6", "."},
        {c->Btn_Num[3], "3", "."},    {c->Btn_Wa, "2", "."},         {c->Btn_MS, "2", "2"},
        {c->Btn_MP, "2", "4"},        {c->Btn_C, "0", "4"},          {c->Btn_MR, "4", "4"},
        {c->Btn_MC, "4", "."},        {c->Btn_Tasu, "4", "."},       {c->Btn_Num[5], "5", "."},
        {c->Btn_Pa, "4.2", "."},      {c->Btn_C, "0", "."},          {c->Btn_Num[1], "1", "."},
        {c->Btn_Dot, "1.", "."},      {c->Btn_Num[5], "1.5", "."},   {c->ForwardBtn, "1.5", "."},
    };
    for (const auto& k : clicks)
    {
        SCOPED_TRACE(k.button->Name().str() + " to " + k.display);
        SendMessageW(k.button->Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(calc->DisplayText().str(), k.display);
        EXPECT_EQ(calc->DisplayPanel->Caption().str(), k.display);
        EXPECT_EQ(calc->MemoryText().str(), std::string(k.memory) == "." ? "" : k.memory);
    }
    EXPECT_EQ(typed, std::vector<std::string>{"1.5"});
    calc->Hide();
}
