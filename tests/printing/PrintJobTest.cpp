#include <gtest/gtest.h>

#include "printing/StrPrint.h"
#include "printing/Strpprog.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
int Count(const std::string& s, const std::string& what)
{
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(PrintJob, FilePrinterReceivesTheChosenPagesUnderTheDocumentTitle)
{
    TTempDir dir;
    std::string why;
    ASSERT_TRUE(AddFilePrinter(L"VnFilePrinter", SjisToWide(dir.Path()), why)) << why;
    TBoxServices services;
    const struct
    {
        TStringsPrinterPageOption parity;
        int pages;
    } cases[] = {{poBoth, 3}, {poOdd, 2}, {poEven, 1}};
    for (const auto& c : cases)
    {
        const AnsiString out = dir / ("job" + std::to_string(int(c.parity)) + ".ps").c_str();
        Printer()->SetOutputFile(out);
        TStringsPrinter p(nullptr);
        p.SetFileName("C:\\doc\\report.txt");
        p.SetPageOption(c.parity);
        TStringList lines;
        // Three pages at the printer's own resolution: find how many lines one page takes first.
        TMetaFileList probe;
        for (int i = 0; i < 2000 && probe.GetCount() < 4; i += 50)
        {
            for (int k = 0; k < 50; ++k)
                lines.Add(("line " + std::to_string(i + k)).c_str());
            probe.Clear();
            ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &probe, "t"));
            if (probe.GetCount() == 3)
                break;
        }
        ASSERT_EQ(probe.GetCount(), 3);
        ASSERT_TRUE(p.PrintStrings(&lines));
        const std::string ps = TTempDir::Read(out).str();
        EXPECT_EQ(PostScriptTitle(ps), "Varnolet[report.txt]");
        EXPECT_EQ(Count(ps, "%%Page:"), c.pages);
        EXPECT_TRUE(services.boxes.empty());
    }
    Printer()->SetOutputFile("");
}

TEST(PrintJob, ARefusedJobIsAbortedAndReportedNeverTakenForSuccess)
{
    TTempDir dir;
    std::string why;
    ASSERT_TRUE(AddFilePrinter(L"VnFilePrinter", SjisToWide(dir.Path()), why)) << why;
    TBoxServices services;
    Printer()->SetOutputFile(dir / "no such folder\\job.ps");
    TStringsPrinter p(nullptr);
    TStringList lines;
    lines.Add("text");
    EXPECT_FALSE(p.PrintStrings(&lines));
    EXPECT_TRUE(p.Reported());
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0].rfind("印刷できませんでした。", 0), 0u) << services.boxes[0];
    EXPECT_FALSE(Printer()->Printing());
    // The printer object is ready for the next job.
    const AnsiString out = dir / "after.ps";
    Printer()->SetOutputFile(out);
    EXPECT_TRUE(p.PrintStrings(&lines));
    EXPECT_EQ(Count(TTempDir::Read(out).str(), "%%Page:"), 1);
    Printer()->SetOutputFile("");
}

namespace
{
// During a layout: asks for another print and preview (refused while one runs), then presses the
// progress window's Cancel button as a user would.
struct TCancelDuringLayout
{
    static inline TStringsPrinter* printer = nullptr;
    static inline int refused = 0;
    static inline bool pressed = false;
    static BOOL CALLBACK FindButton(HWND wnd, LPARAM param)
    {
        wchar_t text[32] = {};
        GetWindowTextW(wnd, text, 32);
        if (std::wstring(text) == SjisToWide(AnsiString("ｷｬﾝｾﾙ")))
            *reinterpret_cast<HWND*>(param) = wnd;
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        HWND progress = FindWindowW(nullptr, SjisToWide(AnsiString("処理中")).c_str());
        if (!progress || pressed)
            return;
        pressed = true;
        TStringList other;
        other.Add("x");
        refused += !printer->PrintStrings(&other);
        HWND button = nullptr;
        EnumChildWindows(progress, FindButton, reinterpret_cast<LPARAM>(&button));
        if (button)
            SendMessageW(button, BM_CLICK, 0, 0);
    }
};
} // namespace

TEST(PrintJob, CancelStopsTheLayoutAndAnotherPrintWaitsForIt)
{
    TTempDir dir;
    TFakePrinter device;
    // A second job, if one ran, would land here.
    device.SetOutputFile(dir / "second.ps");
    TBoxServices services;
    TStringsPrinter p(nullptr);
    TStringList lines;
    for (int i = 0; i < 300000; ++i)
        lines.Add("a line of text that goes on");
    TCancelDuringLayout::printer = &p;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, TCancelDuringLayout::Tick);
    EXPECT_FALSE(p.PrintStrings(&lines));
    KillTimer(nullptr, timer);
    EXPECT_TRUE(TCancelDuringLayout::pressed);
    EXPECT_EQ(TCancelDuringLayout::refused, 1);
    EXPECT_FALSE(p.Busy());
    EXPECT_FALSE(p.Reported());
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_FALSE(FileExists(dir / "second.ps"));
    EXPECT_TRUE(device.jobPages.empty());
    // The progress window went with the layout.
    EXPECT_EQ(FindWindowW(nullptr, SjisToWide(AnsiString("処理中")).c_str()), nullptr);
}

TEST(PrintJob, PaperListComesFromThePrinterAndNamesTheCurrentPaper)
{
    TTempDir dir;
    std::string why;
    ASSERT_TRUE(AddFilePrinter(L"VnFilePrinter", SjisToWide(dir.Path()), why)) << why;
    TStringsPrinter p(nullptr);
    TStringsPrinterInfo* info = p.PrinterInfo();
    info->CheckPrinterIndex();
    TPaperItemList* papers = info->PaperList();
    ASSERT_GT(papers->GetCount(), 0);
    bool current = false;
    for (int i = 0; i < papers->GetCount(); ++i)
    {
        const typPaperItem* item = papers->GetPaperItem(i);
        EXPECT_FALSE(item->name.IsEmpty());
        EXPECT_LE(SjisToWide(item->name).size(), 64u);
        EXPECT_GT(item->width, 0);
        EXPECT_GT(item->height, 0);
        current |= item->id == info->GetPaperIndex();
        if (item->id == DMPAPER_A4)
        {
            EXPECT_EQ(item->width, 210);
            EXPECT_EQ(item->height, 297);
        }
    }
    EXPECT_TRUE(current);
    int w = 0, h = 0;
    info->GetPaperSize(w, h);
    const typPaperEntry* fallback = FallbackPaper(info->GetPaperIndex());
    ASSERT_NE(fallback, nullptr);
    EXPECT_NEAR(w, fallback->width, 1);
    EXPECT_NEAR(h, fallback->height, 1);
    EXPECT_EQ(FallbackPaper(69), nullptr);
    EXPECT_EQ(std::string(FallbackPaper(DMPAPER_A3)->name), "DMPAPER_A3");
    EXPECT_EQ(FallbackPaper(68)->width, 322);
}
