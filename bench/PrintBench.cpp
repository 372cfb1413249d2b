// Page layout figures: the first 2,000 pages of the 100 MB text, a 1 MB single line, and the GDI
// objects held before and after, for a 300 dpi A4 device of our own (no printer needed). Then a
// big text at 30 pt in three columns previewed (showing the first and the last page) and printed
// to a PostScript file printer, each with the most memory the process took
// over what it held before, and how long a page takes to paint at each scale (also for a page of
// source text at 9 pt).
// The same preview through the print dialog, with the copies of the document's text it makes.
// Last, how long the INI store takes to refuse a damaged line count and a stored megabyte, and to
// write and read back the largest stream it keeps.
//   print_bench [layout] [preview] [dialog] [print] [store]     (all when none is named)
// Environment: VN_PRINT_MB, the big text's size for the preview (default 13 MB), VN_PRINT_JOB_MB for
// the print (default 1 MB: the PostScript driver takes about 40 ms a page).
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "BenchUtil.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"
#include "printing/Hstreamutils.h"
#include "printing/PrintFrm.h"
#include "printing/StrPrint.h"
#include "printing/Strppfm.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
class TBenchPrinter : public TPrinter
{
public:
    TBenchPrinter() : dc_(CreateCompatibleDC(nullptr)) { SetPrinter(this); }
    ~TBenchPrinter() override
    {
        SetPrinter(nullptr);
        DeleteDC(dc_);
    }
    int DeviceCaps(int index) override
    {
        switch (index)
        {
        case LOGPIXELSX:
        case LOGPIXELSY: return 300;
        case HORZRES: return 2480;
        case VERTRES: return 3508;
        default: return GetDeviceCaps(dc_, index);
        }
    }
    HDC Handle() override { return dc_; }
    DEVMODEW* DevMode() override { return nullptr; }

private:
    HDC dc_;
};

size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc);
    return std::max(size_t(pmc.PrivateUsage), size_t(pmc.WorkingSetSize));
}

// The most memory the process holds while it lives, sampled every few milliseconds.
class TMemoryPeak
{
public:
    TMemoryPeak()
        : start_(PrivateBytes()), peak_(start_), sampler_(
                                                     [this]
                                                     {
                                                         while (!stop_)
                                                         {
                                                             const size_t now = PrivateBytes();
                                                             if (now > peak_)
                                                                 peak_ = now;
                                                             Sleep(2);
                                                         }
                                                     })
    {
    }
    ~TMemoryPeak()
    {
        stop_ = true;
        sampler_.join();
    }
    // Megabytes over what the process held when the sampling began.
    size_t GrowthMb() const { return (peak_ > start_ ? peak_ - start_ : 0) >> 20; }

private:
    size_t start_;
    std::atomic<size_t> peak_;
    std::atomic<bool> stop_{false};
    std::thread sampler_;
};

// Lays out lines; returns the time taken, with the pages made, the GDI objects held while they
// exist and their bytes.
double LayOut(TStringsPrinter& p, TStrings* lines, int& pages, int& handles, size_t& bytes)
{
    TMetaFileList list;
    const double t0 = NowMs();
    p.DivideStringsToMetaFiles(lines, &list, "bench");
    const double t = NowMs() - t0;
    pages = list.GetCount();
    handles = GdiObjectsInUse();
    bytes = 0;
    for (int i = 0; i < pages; ++i)
        bytes += list.GetMetaFile(i)->Size();
    return t;
}

void LayoutFigures()
{
    TBenchPrinter printer;
    TStringsPrinter p(nullptr);
    p.Font()->SetName("ＭＳ ゴシック");
    p.Font()->SetSize(9);
    for (auto set : {&TStringsPrinter::SetMarginLeft, &TStringsPrinter::SetMarginRight, &TStringsPrinter::SetMarginTop,
                     &TStringsPrinter::SetMarginBottom})
        (p.*set)(15);
    p.SetMarginLine(2);
    p.SetLineNumber(true);
    p.SetHeader("%F - %p");
    p.SetHeaderAlign(haCenter);
    // What one layout makes once (the progress window, cached fonts) is made before counting.
    int pages = 0, handles = 0;
    size_t bytes = 0;
    {
        TStringList one;
        one.Add("x");
        LayOut(p, &one, pages, handles, bytes);
    }
    const int handlesBefore = GdiObjectsInUse();

    // The 100 MB text, split into lines; with the long ones wrapping, about 31 lines fill a page,
    // so the first 62,200 lines give a little over 2,000 pages.
    TStringList first;
    {
        const std::string text = MakeText(100u << 20);
        TStringList all;
        const double t0 = NowMs();
        all.SetText(AnsiString(text.c_str(), int(text.size())));
        std::printf("split 100 MB into %d lines: %.0f ms\n", all.GetCount(), NowMs() - t0);
        for (int i = 0; i < 62200 && i < all.GetCount(); ++i)
            first.Add(all.Get(i));
    }
    double ms = LayOut(p, &first, pages, handles, bytes);
    std::printf("layout of the first %d lines: %d pages, %.0f ms (%.2f ms a page), %zu MB of pages\n", first.GetCount(),
                pages, ms, ms / std::max(1, pages), bytes >> 20);
    std::printf("GDI objects: %d before, %d with the pages, %d after they were freed\n", handlesBefore, handles,
                GdiObjectsInUse());

    // One line of 1 MB: it wraps into many pieces, each measured once.
    std::string line;
    while (line.size() < (1u << 20))
        line += "漢字かな abc\tdef 0123 ";
    TStringList one;
    one.Add(AnsiString(line.c_str(), int(line.size())));
    ms = LayOut(p, &one, pages, handles, bytes);
    std::printf("layout of a 1 MB line: %d pages, %.0f ms, GDI objects with the pages %d\n", pages, ms, handles);
    std::printf("GDI objects at the end: %d\n", GdiObjectsInUse());
}

// The big text of the kind: 30 pt, three columns, line numbers.
void SetUpBig(TStringsPrinter& p)
{
    p.Font()->SetName("ＭＳ ゴシック");
    p.Font()->SetSize(30);
    p.SetColumnCount(3);
    p.SetLineNumber(true);
    p.SetHeader("%F - %p");
    p.SetHeaderAlign(haCenter);
}

TStringList* BigText(const char* variable, size_t defaultMb)
{
    const char* env = std::getenv(variable);
    const size_t mb = env ? std::strtoul(env, nullptr, 10) : defaultMb;
    auto* lines = new TStringList;
    const std::string text = MakeText(mb << 20);
    lines->SetText(AnsiString(text.c_str(), int(text.size())));
    std::printf("big text: %zu MB, %d lines\n", mb, lines->GetCount());
    return lines;
}

// How long the page shown takes to paint at 100 %, to the width and to the height: the fastest of
// a few paints each.
struct TPaintFigures
{
    double ms[3] = {};
    void Measure(TFormStrPreview* form)
    {
        const TPreviewMode modes[] = {pmHundred, pmWidth, pmHeight};
        for (int m = 0; m < 3; ++m)
        {
            form->SetPreviewMode(modes[m]);
            Application->ProcessMessages();
            ms[m] = 1e9;
            for (int i = 0; i < 20; ++i)
            {
                const double t0 = NowMs();
                RedrawWindow(form->Image1->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                GdiFlush();
                ms[m] = std::min(ms[m], NowMs() - t0);
            }
        }
    }
    void Print(const char* what) const
    {
        std::printf("preview: %s painted in %.1f ms at 100 %%, %.1f ms to the width, %.1f ms to the height\n", what,
                    ms[0], ms[1], ms[2]);
    }
};

// In the preview: how many pages, and how long the last page and then the first take to show,
// then to paint.
struct TPreviewLook
{
    static inline int pages = 0;
    static inline double lastMs = 0, firstMs = 0, shownAt = 0;
    static inline TPaintFigures paint;
    void Shown(TObject* sender)
    {
        auto* form = static_cast<TFormStrPreview*>(sender);
        shownAt = NowMs();
        double t0 = NowMs();
        form->SpeedButtonClick(form->SpeedButton4);
        lastMs = NowMs() - t0;
        pages = form->MetaFileIndex() + 1;
        t0 = NowMs();
        form->SpeedButtonClick(form->SpeedButton1);
        firstMs = NowMs() - t0;
        paint.Measure(form);
        form->Close();
    }
};

// A page of source text at the print dialog's default font, its names full of low lines.
void SourcePagePaintFigures()
{
    TBenchPrinter printer;
    TStringsPrinter p(nullptr);
    p.Font()->SetName("ＭＳ ゴシック");
    p.Font()->SetSize(9);
    TStringList lines;
    for (int i = 0; i < 100; ++i)
        lines.Add(i % 2 ? AnsiString("#define MAX_ITEM_") + AnsiString(i) + " (g_count_value + 10) /* 項目の上限 */"
                        : AnsiString("    int g_count_value_") + AnsiString(i) + " = some_function(a_b, c_d);");
    TPreviewLook look;
    TFormStrPreview::OnShown = TNotifyEvent(&look, &TPreviewLook::Shown);
    p.PreviewStrings(&lines);
    TFormStrPreview::OnShown = nullptr;
    TPreviewLook::paint.Print("a page of source text at 9 pt");
}

void PreviewFigures()
{
    TBenchPrinter printer;
    TStringsPrinter p(nullptr);
    SetUpBig(p);
    TStringList* lines = BigText("VN_PRINT_MB", 13);
    TPreviewLook look;
    TFormStrPreview::OnShown = TNotifyEvent(&look, &TPreviewLook::Shown);
    double ms = 0;
    size_t growth = 0;
    {
        TMemoryPeak peak;
        const double t0 = NowMs();
        p.PreviewStrings(lines);
        ms = TPreviewLook::shownAt - t0;
        growth = peak.GrowthMb();
    }
    TFormStrPreview::OnShown = nullptr;
    std::printf("preview: %d pages laid out in %.0f ms (%.2f ms a page), the last page shown in %.0f ms, the first "
                "in %.0f ms; memory grew by %zu MB at most\n",
                TPreviewLook::pages, ms, ms / std::max(1, TPreviewLook::pages), TPreviewLook::lastMs,
                TPreviewLook::firstMs, growth);
    TPreviewLook::paint.Print("the first page");
    delete lines;
    SourcePagePaintFigures();
}

void DialogFigures()
{
    TBenchPrinter printer;
    const char* env = std::getenv("VN_PRINT_MB");
    const size_t mb = env ? std::strtoul(env, nullptr, 10) : 13;
    TPrintForm* form = Create<TPrintForm>(nullptr);
    form->RegistryKey = "Software\\VarnoletBench\\print";
    form->ActiveDocument = [mb](typPrintDocument& doc)
    {
        const std::string text = MakeText(mb << 20);
        doc.text = AnsiString(text.c_str(), int(text.size()));
        doc.tabSize = 4;
        return true;
    };
    form->Show();
    SetUpBig(*form->Pri);
    // The dialog's controls are what it lays out with.
    form->FontSizeCBox->SetItemIndex(form->FontSizeCBox->Items()->IndexOf("30"));
    form->ColCBox->SetItemIndex(2);
    form->LineNumPrintCBox->SetChecked(true);
    TPreviewLook look;
    TFormStrPreview::OnShown = TNotifyEvent(&look, &TPreviewLook::Shown);
    size_t growth = 0;
    {
        TMemoryPeak peak;
        form->PreViewBtnClick(nullptr);
        growth = peak.GrowthMb();
    }
    TFormStrPreview::OnShown = nullptr;
    std::printf("preview of %zu MB through the print dialog: %d pages; memory grew by %zu MB at most\n", mb,
                TPreviewLook::pages, growth);
    form->Close();
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnoletBench");
}

void PrintFigures()
{
    std::string why;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    if (!AddFilePrinter(L"VnBenchPrinter", temp, why))
    {
        std::printf("print: no file printer (%s)\n", why.c_str());
        return;
    }
    const AnsiString out = WideToSjis(std::wstring(temp)) + "print_bench.ps";
    Printer()->SetOutputFile(out);
    TStringsPrinter p(nullptr);
    SetUpBig(p);
    TStringList* lines = BigText("VN_PRINT_JOB_MB", 1);
    double ms = 0;
    size_t growth = 0;
    bool printed = false;
    {
        TMemoryPeak peak;
        const double t0 = NowMs();
        printed = p.PrintStrings(lines);
        ms = NowMs() - t0;
        growth = peak.GrowthMb();
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(SjisToWide(out).c_str(), GetFileExInfoStandard, &data);
    DeleteFileW(SjisToWide(out).c_str());
    std::printf("print to a PostScript file: %s in %.0f ms, %lu MB of PostScript; memory grew by %zu MB at most\n",
                printed ? "printed" : "FAILED", ms, (unsigned long)(data.nFileSizeLow >> 20 | data.nFileSizeHigh << 12),
                growth);
    delete lines;
}
void StoreFigures()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const AnsiString file = WideToSjis(std::wstring(temp)) + "print_bench.ini";
    const std::wstring wfile = SjisToWide(file);
    auto refuse = [&](const char* what, const char* count)
    {
        WritePrivateProfileStringW(L"S", L"P_c", SjisToWide(AnsiString(count)).c_str(), wfile.c_str());
        TMemoryStream back;
        const double t0 = NowMs();
        try
        {
            IniReadStream(&back, file, "S", "P");
            std::printf("store: %s read as %d bytes", what, int(back.GetSize()));
        }
        catch (const EReadError&)
        {
            std::printf("store: %s refused", what);
        }
        std::printf(" in %.0f ms\n", NowMs() - t0);
    };
    refuse("a line count of 2^31-1", "2147483647");
    refuse("a count of 32,768 lines (1 MB)", "32768");
    TMemoryStream largest;
    largest.SetSize(kMaxStoredStreamBytes);
    double t0 = NowMs();
    IniWriteStream(&largest, file, "T", "P");
    const double written = NowMs() - t0;
    TMemoryStream back;
    t0 = NowMs();
    IniReadStream(&back, file, "T", "P");
    std::printf("store: the largest stream kept (%d KB) written in %.0f ms, read back in %.0f ms\n",
                kMaxStoredStreamBytes >> 10, written, NowMs() - t0);
    DeleteFileW(wfile.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    Application->Initialize();
    setvbuf(stdout, nullptr, _IONBF, 0);
    bool layout = argc < 2, preview = argc < 2, dialog = argc < 2, print = argc < 2, store = argc < 2;
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        layout |= a == "layout";
        preview |= a == "preview";
        dialog |= a == "dialog";
        print |= a == "print";
        store |= a == "store";
    }
    if (layout)
        LayoutFigures();
    if (preview)
        PreviewFigures();
    if (dialog)
        DialogFigures();
    if (print)
        PrintFigures();
    if (store)
        StoreFigures();
    return 0;
}
