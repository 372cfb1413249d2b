// Start-up and page-switch figures of the main window: start to a shown window with an empty page,
// start with a ~100 MB text named on the command line, and switching between a 20 MB page and a
// small one. Usage: startup_bench [megabytes]
#include "BenchUtil.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "main_window/MainFrm.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"

namespace
{
void WriteText(const AnsiString& path, size_t bytes)
{
    std::string text = MakeText(bytes);
    TFileStream f(path, fmCreate);
    f.WriteBuffer(text.data(), int(text.size()));
}

// Runs messages until no page-switch timer of the form is pending, then paints what is invalid.
void Settle(TMainForm* form)
{
    auto pending = [form] {
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (dynamic_cast<TTimer*>(form->Components(i)))
                return true;
        return false;
    };
    do
    {
        Application->ProcessMessages();
        if (pending())
            Sleep(0);
    } while (pending());
    UpdateWindow(form->Handle());
    if (TPageEditor* editor = form->Edit())
        UpdateWindow(editor->Handle());
    Application->ProcessMessages();
}

// Start with the given command-line file: from creating the window to it shown and settled. The
// deliberate one-second pause of the start-up is left out (MinStartupMs 0) and printed apart.
TMainForm* Start(const AnsiString& commandLine, double& ms)
{
    double t0 = NowMs();
    auto* form = Create<TMainForm>(nullptr);
    form->MinStartupMs = 0;
    form->CommandLineFile = commandLine;
    form->Show();
    Settle(form);
    ms = NowMs() - t0;
    return form;
}
} // namespace

int main(int argc, char** argv)
{
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 100;
    if (mb == 0)
        mb = 100;
    Application->Initialize();

    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    AnsiString dir = WideToSjis(tmp, int(wcslen(tmp)));
    AnsiString big = dir + "vn_startup_big.txt";
    AnsiString twenty = dir + "vn_startup_20mb.txt";
    AnsiString small = dir + "vn_startup_small.txt";
    WriteText(big, mb * 1024 * 1024);
    WriteText(twenty, 20 * 1024 * 1024);
    WriteText(small, 4 * 1024);

    double ms = 0;
    TMainForm* form = Start("", ms);
    std::printf("start-up to a shown window with an empty page: %.1f ms (pages %d; plus the 1000 ms "
                "minimum start-up pause)\n",
                ms, form->MainPageCtrl->PageCount());
    delete form;

    form = Start(big, ms);
    std::printf("start-up with the %zu MB text on the command line to a shown window: %.1f ms (rows %d, "
                "peak working set %zu MB)\n",
                mb, ms, form->Edit() ? form->Edit()->GetLinesCount() : 0, PeakMb());
    delete form;

    form = Start(twenty, ms);
    form->OpenFile(small);
    Settle(form);
    TTabSheet* pages[2] = {form->MainPageCtrl->Pages(0), form->MainPageCtrl->Pages(1)};
    const int switches = 40;
    double worst = 0;
    double t0 = NowMs();
    for (int i = 0; i < switches; ++i)
    {
        double s0 = NowMs();
        form->SetActivePage(pages[i % 2]);
        Settle(form);
        double one = NowMs() - s0;
        if (one > worst)
            worst = one;
    }
    double total = NowMs() - t0;
    std::printf("switching between a 20 MB page and a small one: %.1f ms per switch on average, worst "
                "%.1f ms (%d switches, each with its 10 ms deferred finish)\n",
                total / switches, worst, switches);
    delete form;

    DeleteFileW(SjisToWide(big).c_str());
    DeleteFileW(SjisToWide(twenty).c_str());
    DeleteFileW(SjisToWide(small).c_str());
    return 0;
}
