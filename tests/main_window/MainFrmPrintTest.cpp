// Printing from the real main window: the Print command's dialog prints the active page on a file
// printer under the page's file name.
#include <gtest/gtest.h>

#include <windows.h>

#include "main_window/MainFrm.h"
#include "platform/SysUtils.h"
#include "printing/PrintFrm.h"
#include "printing/Strppfm.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
AnsiString PrintTestKey()
{
    return Format("Software\\VarnoletTest\\print%u", {unsigned(GetCurrentProcessId())});
}

// While the print dialog is up, presses one of its buttons once.
struct TPressInDialog
{
    static inline TBitBtn* (*button)() = nullptr;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        if (PrintForm && PrintForm->Visible() && button)
        {
            KillTimer(nullptr, id);
            TBitBtn* b = button();
            button = nullptr;
            b->Click();
            if (PrintForm->Visible())
                PrintForm->SetModalResult(mrCancel);
        }
    }
};
} // namespace

TEST(TMainFormPrint, PrintCommandPrintsTheActivePageUnderItsFileName)
{
    TBoxServices services;
    TTempDir dir;
    std::string why;
    ASSERT_TRUE(AddFilePrinter(L"VnMainPrinter", SjisToWide(dir.Path()), why)) << why;
    AnsiString text;
    for (int i = 0; i < 150; ++i)
        text += "行 " + IntToStr(i) + "\r\n";
    const AnsiString file = dir.Write("日本語.txt", text);
    const AnsiString out = dir / "job.ps";
    Printer()->SetOutputFile(out);

    Application->CreateForm(PrintForm);
    PrintForm->RegistryKey = PrintTestKey();
    auto* form = Create<TMainForm>(nullptr);
    form->SettingsKey = PrintTestKey();
    form->MinStartupMs = 0;
    form->CommandLineFile = file;
    form->Show();
    for (int i = 0; i < 50; ++i)
        Application->ProcessMessages();
    ASSERT_NE(form->Edit(), nullptr);
    form->AttachPrintWindow();

    TPressInDialog::button = [] { return PrintForm->PrintBtn; };
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, TPressInDialog::Tick);
    form->PrintMenuClick(nullptr);
    KillTimer(nullptr, timer);

    const std::string ps = TTempDir::Read(out).str();
    EXPECT_EQ(PostScriptTitle(ps), "Varnolet[日本語.txt]") << ps.substr(0, 300);
    EXPECT_NE(ps.find("%%Page: 1"), std::string::npos);
    EXPECT_TRUE(services.boxes.empty()) << services.boxes.front();
    // The dialog wrote what it used.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SjisToWide(PrintTestKey() + "\\PRINTER").c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    if (key)
        RegCloseKey(key);

    // Preview from the same dialog: the window shows the first of the pages and closes.
    static int previewPages = 0;
    static AnsiString previewLabel;
    struct TSeen
    {
        void Shown(TObject* sender)
        {
            auto* preview = static_cast<TFormStrPreview*>(sender);
            previewLabel = preview->Label1->Caption();
            preview->SpeedButtonClick(preview->SpeedButton8);
            ++previewPages;
        }
    } seen;
    TFormStrPreview::OnShown = TNotifyEvent(&seen, &TSeen::Shown);
    TPressInDialog::button = [] { return PrintForm->PreViewBtn; };
    const UINT_PTR timer2 = SetTimer(nullptr, 0, 30, TPressInDialog::Tick);
    form->PrintMenuClick(nullptr);
    KillTimer(nullptr, timer2);
    TFormStrPreview::OnShown = TNotifyEvent();
    EXPECT_EQ(previewPages, 1);
    EXPECT_EQ(previewLabel.SubString(1, 5), AnsiString("  1 /"));
    EXPECT_TRUE(services.boxes.empty());

    Printer()->SetOutputFile("");
    delete form;
    delete PrintForm;
    PrintForm = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(PrintTestKey()).c_str());
}
