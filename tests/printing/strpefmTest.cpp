// The component's own set-up dialog: Cancel keeps the caller's settings, OK and a print copy them
// back, a print with no page keeps the dialog open, and without a text nothing can print.
#include "printing/strpefm.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include "printing/Strppfm.h"
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

namespace
{
// Closes every preview as soon as it is up, counting them.
struct TClosePreview
{
    int shown = 0;
    void Shown(TObject* sender)
    {
        ++shown;
        static_cast<TFormStrPreview*>(sender)->Close();
    }
};
} // namespace

TEST(TFormStringsPrint, CopiesBackOnlyWhatOkOrAPrintConfirms)
{
    TFakePrinter device;
    TBoxServices services;
    TClosePreview previews;
    TFormStrPreview::OnShown = TNotifyEvent(&previews, &TClosePreview::Shown);
    TStringList text;
    text.Add("one line");
    const struct
    {
        TButton* TFormStringsPrint::*button;
        TStringsPrinterPageOption parity;
        bool result, copied, stillOpen;
        int printed, previewed, setups;
    } cases[] = {
        {&TFormStringsPrint::Button2, poBoth, false, false, false, 0, 0, 0}, // Cancel
        {&TFormStringsPrint::Button1, poBoth, true, true, false, 0, 0, 0},   // OK
        {&TFormStringsPrint::Button5, poEven, false, false, true, 0, 0, 0},  // Print, but no even page
        {&TFormStringsPrint::Button5, poBoth, true, true, false, 1, 0, 0},   // Print
        {&TFormStringsPrint::Button6, poBoth, false, false, true, 0, 1, 0},  // Preview, then Cancel
        {&TFormStringsPrint::Button4, poBoth, false, false, true, 0, 0, 1},  // Printer setting, then Cancel
    };
    for (const auto& c : cases)
    {
        TStringsPrinter caller(nullptr);
        caller.SetTabSize(3);
        caller.SetPageOption(c.parity);
        bool open = false;
        previews.shown = 0;
        services.printerSetups = 0;
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
        EXPECT_EQ(int(device.jobPages.size()), c.printed);
        EXPECT_EQ(previews.shown, c.previewed);
        EXPECT_EQ(services.printerSetups, c.setups);
        for (HENHMETAFILE page : device.jobPages)
            DeleteEnhMetaFile(page);
        device.jobPages.clear();
    }
    TFormStrPreview::OnShown = nullptr;
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

namespace
{
// The colours a control paints over the button face, by PaintTo into a bitmap of that colour.
std::set<COLORREF> PaintedColours(TGraphicControl* c)
{
    const int w = c->Width(), h = c->Height();
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    HBRUSH brush = CreateSolidBrush(face);
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    c->PaintTo(dc, 0, 0);
    std::set<COLORREF> colours;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (GetPixel(dc, x, y) != face)
                colours.insert(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return colours;
}
} // namespace

TEST(TFormStringsPrint, EveryMeasureLabelHasItsUnitAndTheSixBevelsDrawEtchedLines)
{
    TFakePrinter device;
    TBoxServices services;
    std::unique_ptr<TFormStringsPrint> f(Create<TFormStringsPrint>(nullptr));
    f->Show();
    Application->ProcessMessages();
    const TRect client = f->ClientRect();
    for (const char* name : {"Label7", "Label1", "Label2", "Label3", "Label4", "Label24"})
    {
        auto* label = dynamic_cast<TControl*>(f->FindComponent(name));
        ASSERT_NE(label, nullptr) << name;
        // The "mm" label follows it on its line, before the next label.
        const TControl* unit = nullptr;
        for (int i = 0; i < f->ComponentCount(); ++i)
            if (auto* l = dynamic_cast<TLabel*>(f->Components(i));
                l && l->Caption() == AnsiString("mm") && std::abs(l->Top() - label->Top()) <= 2 &&
                l->Left() >= label->Left() + label->Width() && l->Left() <= label->Left() + label->Width() + 40)
                unit = l;
        ASSERT_NE(unit, nullptr) << name;
        EXPECT_LE(unit->Left() + unit->Width(), client.Right) << name;
    }
    const std::set<COLORREF> etched{GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT)};
    for (int n = 1; n <= 6; ++n)
    {
        const std::string name = "Bevel" + std::to_string(n);
        auto* bevel = dynamic_cast<TGraphicControl*>(f->FindComponent(name.c_str()));
        ASSERT_NE(bevel, nullptr) << name;
        EXPECT_TRUE(bevel->Visible());
        EXPECT_GE(bevel->Left(), 0);
        EXPECT_LE(bevel->Left() + bevel->Width(), client.Right) << name;
        EXPECT_LE(bevel->Top() + bevel->Height(), client.Bottom) << name;
        EXPECT_EQ(PaintedColours(bevel), etched) << name;
    }
}
