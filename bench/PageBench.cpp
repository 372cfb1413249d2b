// Editor-page figures: applying a new wrap width to a page holding a large text, and the CPU an
// idle window with 30 open pages uses.
// Usage: page_bench [megabytes]   (default 100)
#include "BenchUtil.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"

namespace
{
double CpuMs()
{
    FILETIME c, e, k, u;
    GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
    auto ms = [](FILETIME f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0; };
    return ms(k) + ms(u);
}

std::string Text(size_t bytes)
{
    const char* words[] = {"the", "editor", "漢字", "かな", "カタカナ", "value", "。", "0123"};
    std::string s;
    s.reserve(bytes + 256);
    uint32_t x = 5;
    while (s.size() < bytes)
    {
        x = x * 1103515245u + 12345u;
        size_t len = (x >> 8) % 200, start = s.size();
        while (s.size() - start < len)
        {
            x = x * 1103515245u + 12345u;
            s += words[(x >> 8) % 8];
            s += ' ';
        }
        s += "\r\n";
    }
    return s;
}
} // namespace

int main(int argc, char** argv)
{
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 100;
    Application->Initialize();
    {
        nsRichEdit* page = Create<nsRichEdit>(nullptr);
        std::string text = Text(mb * 1024 * 1024);
        TStringStream stream(AnsiString(text.data(), int(text.size())));
        page->LoadFromStream(&stream, TConvMode{cmFoldLine});
        text.clear();
        text.shrink_to_fit();
        VN::typEditSetting setting = VN::EditSettingDefaults();
        setting.ISWRAP = true;
        setting.WRAPWIDTH = 80;
        double t0 = NowMs();
        ApplyEditSetting(page, setting);
        double t1 = NowMs();
        std::printf("apply wrap width 80 to a %zu MB page: %.1f ms, rows %d, peak working set %zu MB\n", mb, t1 - t0,
                    page->GetLinesCount(), PeakMb());
        delete page;
    }
    {
        TForm* form = Create<TForm>(nullptr);
        form->SetBounds(0, 0, 800, 600);
        std::vector<nsRichEdit*> pages;
        for (int i = 0; i < 30; ++i)
        {
            nsRichEdit* page = Create<nsRichEdit>(form);
            page->SetAlign(alClient);
            page->SetText(AnsiString("page ") + AnsiString(i) + "\r\n漢字かな");
            page->SetVisible(i == 29);
            pages.push_back(page);
        }
        form->Show();
        for (int i = 0; i < 50; ++i)
        {
            Application->ProcessMessages();
            Sleep(10);
        }
        double c0 = CpuMs(), w0 = NowMs();
        while (NowMs() - w0 < 3000)
        {
            Application->ProcessMessages();
            Sleep(10);
        }
        double c1 = CpuMs(), w1 = NowMs();
        std::printf("idle with 30 open pages: %.1f%% of one core over %.0f ms\n", 100.0 * (c1 - c0) / (w1 - w0),
                    w1 - w0);
        delete form;
    }
    return 0;
}
