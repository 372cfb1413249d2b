// Loads and saves a generated ~100 MB Shift-JIS text and prints rows, times and peak memory; then
// the same for files of one single line of 4, 16 and 64 MB, whose times must grow linearly.
// Usage: load_save_bench [megabytes] [largest single line in megabytes]
#include "BenchUtil.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "editor_control/AFEdit.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace
{
double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER f) { return 1000.0 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart); }

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
    AnsiString input = dir + "vn_bench_input.txt";
    AnsiString output = dir + "vn_bench_output.txt";
    {
        std::string text = MakeText(mb * 1024 * 1024);
        TFileStream f(input, fmCreate);
        f.WriteBuffer(text.data(), int(text.size()));
        std::printf("generated %zu bytes\n", text.size());
    }

    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    struct Step
    {
        const char* name;
        TConvMode modes;
    } steps[] = {{"load {}", TConvMode()}, {"load {cmFoldLine}", TConvMode{cmFoldLine}}};
    auto run = [&](const char* label) {
        for (const auto& step : steps)
        {
            std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
            QueryPerformanceCounter(&t0);
            ed->LoadFromFile(input, step.modes);
            QueryPerformanceCounter(&t1);
            std::printf("%-12s %-20s rows %10d  %9.1f ms  peak working set %zu MB\n", label, step.name,
                        ed->GetLinesCount(), Ms(t0, t1, freq), PeakMb());
            QueryPerformanceCounter(&t0);
            ed->SaveToFile(output, TConvMode());
            QueryPerformanceCounter(&t1);
            std::printf("%-12s %-20s rows %10d  %9.1f ms  peak working set %zu MB\n", label, "  save {}",
                        ed->GetLinesCount(), Ms(t0, t1, freq), PeakMb());
        }
    };
    run("text");

    size_t lineMb = argc > 2 ? size_t(std::atoi(argv[2])) : 64;
    for (size_t m = 4; m <= lineMb; m *= 4)
    {
        {
            std::string text = MakeText(m * 1024 * 1024 + 4096);
            std::string line;
            line.reserve(text.size());
            for (char c : text)
                if (c != '\r' && c != '\n')
                    line.push_back(c);
            line.resize(m * 1024 * 1024);
            TFileStream f(input, fmCreate);
            f.WriteBuffer(line.data(), int(line.size()));
        }
        char label[32];
        std::snprintf(label, sizeof label, "line %zu MB", m);
        run(label);
    }
    DeleteFileW(SjisToWide(input).c_str());
    DeleteFileW(SjisToWide(output).c_str());
    return 0;
}
