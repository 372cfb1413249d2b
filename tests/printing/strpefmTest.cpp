// The component's own set-up dialog: Cancel keeps the caller's settings, OK and a print copy them
// back, a print with no page keeps the dialog open, and without a text nothing can print.
#include "printing/strpefm.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
// Runs step on the dialog once it is up.
struct TInDialog
{
    static inline std::function<void(TFormStringsPrint*)> step;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        for (int i = 0; i < Application->ComponentCount(); ++i)
            if (auto* f = dynamic_cast<TFormStringsPrint*>(Application->Components(i)); f && f->Visible() && step)
            {
                KillTimer(nullptr, id);
                auto run = std::move(step);
                step = nullptr;
                run(f);
            }
    }
};

bool RunDialog(TStringsPrinter* p, TStrings* text, std::function<void(TFormStringsPrint*)> step)
{
    TInDialog::step = std::move(step);
    SetTimer(nullptr, 0, 20, TInDialog::Tick);
    return TFormStringsPrint::Execute(p, text);
}
} // namespace

TEST(TFormStringsPrint, CopiesBackOnlyWhatOkOrAPrintConfirms)
{
    TFakePrinter device;
    TBoxServices services;
    TStringList text;
    text.Add("one line");
    const struct
    {
        TButton* TFormStringsPrint::*button;
        TStringsPrinterPageOption parity;
        bool result, copied, stillOpen;
    } cases[] = {
        {&TFormStringsPrint::Button2, poBoth, false, false, false}, // Cancel
        {&TFormStringsPrint::Button1, poBoth, true, true, false},   // OK
        {&TFormStringsPrint::Button5, poEven, false, false, true},  // Print, but no even page
    };
    for (const auto& c : cases)
    {
        TStringsPrinter caller(nullptr);
        caller.SetTabSize(3);
        caller.SetPageOption(c.parity);
        bool open = false;
        const bool result = RunDialog(&caller, &text, [&](TFormStringsPrint* f) {
            EXPECT_EQ(f->Working()->TabSize(), 3);
            f->CheckBox1->SetChecked(true);
            f->RadioGroup1->SetItemIndex(2);
            f->Edit1->SetText("%p");
            (f->*c.button)->Click();
            open = f->ModalResult() == mrNone;
            if (open)
                f->Button2->Click();
        });
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(open, c.stillOpen);
        EXPECT_EQ(caller.LineNumber(), c.copied);
        EXPECT_EQ(caller.ColumnCount(), c.copied ? 3 : 1);
        EXPECT_EQ(caller.Header(), AnsiString(c.copied ? "%p" : ""));
    }
    EXPECT_FALSE(TFormStringsPrint::Execute(nullptr, &text));
}

TEST(TFormStringsPrint, WithoutATextThePrinterControlsAreDisabled)
{
    TFakePrinter device;
    TBoxServices services;
    for (bool withText : {false, true})
    {
        TStringsPrinter caller(nullptr);
        TStringList text;
        RunDialog(&caller, withText ? &text : nullptr, [&](TFormStringsPrint* f) {
            for (TControl* c : std::initializer_list<TControl*>{f->Button4, f->Button5, f->Button6, f->Label5})
                EXPECT_EQ(c->Enabled(), withText) << c->Name().str();
            f->RadioGroup5->SetItemIndex(1);
            EXPECT_TRUE(f->Label18->Enabled());
            f->Button3->Click();
            f->Button2->Click();
        });
    }
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_NE(services.boxes[0].find("%F  ファイル名パス無し"), std::string::npos);
}
