// Page layout figures: the first 2,000 pages of the 100 MB text, a 1 MB single line, and the GDI
// objects held before and after. Pages are laid out for a 300 dpi A4 device of our own, so no
// printer is needed.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchUtil.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"
#include "printing/StrPrint.h"

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
} // namespace

int main()
{
    Application->Initialize();
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
    const std::string text = MakeText(100u << 20);
    TStringList all;
    double t0 = NowMs();
    all.SetText(AnsiString(text.c_str(), int(text.size())));
    std::printf("split 100 MB into %d lines: %.0f ms\n", all.GetCount(), NowMs() - t0);
    TStringList first;
    for (int i = 0; i < 62200 && i < all.GetCount(); ++i)
        first.Add(all.Get(i));
    all.Clear();
    double ms = LayOut(p, &first, pages, handles, bytes);
    std::printf("layout of the first %d lines: %d pages, %.0f ms (%.2f ms a page), %zu MB of pages, peak %zu MB\n",
                first.GetCount(), pages, ms, ms / std::max(1, pages), bytes >> 20, PeakMb());
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
    return 0;
}
