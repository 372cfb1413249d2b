// Clock and memory figures shared by the benchmark programs.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

inline double NowMs()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * double(t.QuadPart) / double(f.QuadPart);
}

inline size_t PeakMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakWorkingSetSize / (1024 * 1024);
}

// Deterministic text: ASCII and Japanese words, lines of 0 to ~200 bytes, a few tabs, CR LF ends.
inline std::string MakeText(size_t bytes)
{
    const char* words[] = {"the", "editor", "漢字", "かな", "カタカナ", "ﾊﾝｶｸ", "0123", "\t", "表示", "ソース",
                           "value", "。", "「引用」", "x"};
    const size_t nwords = sizeof words / sizeof *words;
    std::string s;
    s.reserve(bytes + 256);
    uint32_t state = 12345;
    auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    while (s.size() < bytes)
    {
        size_t len = next() % 200;
        size_t start = s.size();
        while (s.size() - start < len)
        {
            s += words[next() % nwords];
            if (next() % 3)
                s += ' ';
        }
        s += "\r\n";
    }
    return s;
}

inline size_t WorkingSetNowMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.WorkingSetSize / (1024 * 1024);
}

// One row of the table bench/run_all.sh prints: "@row", then what was timed, the figure now (its
// time first), the floor with what it is, now / floor and the target for that ratio (0: none),
// separated by tabs; ASCII only (the script puts in the signs).
inline void PrintRow(const char* work, const char* now, double floorMs, double nowMs, const char* floorWhat,
                     double target)
{
    // A floor of a few milliseconds keeps its fraction: rounded, its ratio could not be checked.
    std::printf("@row\t%s\t%s\t%.*f ms (%s)\t%.2f\t%g\n", work, now, floorMs < 10 ? 2 : 0, floorMs, floorWhat,
                floorMs > 0 ? nowMs / floorMs : 0.0, target);
    std::fflush(stdout);
}
