// File-search figures: the search as the file-search dialog starts it (RunGrep with the progress
// window, its hits listed in the docked results window of the shown main window, up to the list's
// repaint), beside its floor (GrepFloor.h) in the same process, the two taking turns run by run.
//   grep_bench --make DIR     writes the Shift-JIS test tree into DIR (deterministic)
//   grep_bench [--runs N] DIR [CASE...]  runs every case (or the named ones), each side N times
//                             (default 1), and prints one line per case with the fastest run of each
// Case lines read: name pattern options MB "MB" ms "ms" rate "MB/s" hits "hits" floor-ms "floor"
// ratio "x" same|DIFFERENT (tools parse them; patterns hold no blanks); each case also prints its
// table row ("@row", see BenchUtil.h). Lines starting with '#' are remarks.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "BenchUtil.h"
#include "GrepCases.h"
#include "GrepFloor.h"
#include "GrepTree.h"
#include "main_window/MainFrm.h"
#include "main_window/ProgramForms.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/GrepProc.h"
#include "search/MessageFrm.h"

namespace
{
const char* const kMasks = "*.txt";

// Bytes in the files the search reads (the same masks, every folder).
uint64_t TreeBytes(const std::wstring& folder, const TSWildCardsStringCL& masks, int& files)
{
    uint64_t total = 0;
    WalkTree(folder, [&](const std::wstring&, const WIN32_FIND_DATAW& fd) {
        if (masks.WildCards_MatchAnyWide(fd.cFileName))
        {
            total += FileBytes(fd);
            ++files;
        }
    });
    return total;
}

AnsiString Options(const TCase& c)
{
    AnsiString s = c.caseSensitive ? "case" : "nocase";
    if (c.wholeWord)
        s += ",word";
    if (c.regex)
        s += ",regex";
    return s;
}

void StartProgram()
{
    Application->Initialize();
    Application->SetTitle("Varnolet");
    CreateProgramForms();
    MainForm->MinStartupMs = 0;
    MainForm->Show();
    Application->ProcessMessages();
}

struct TListed
{
    long long hits = 0;
    uint64_t digest = 0;
};

// What the results window lists: hits and the digest of their files, lines and places.
TListed Listed()
{
    TListed l;
    TStrings* items = MessageForm->SrchResListBox->Items();
    for (int i = 0; i < items->GetCount(); ++i)
        if (auto* hit = dynamic_cast<typGrepInf*>(items->GetObject(i)))
        {
            ++l.hits;
            l.digest += HitDigest(hit->Path.c_str(), hit->Path.Length(), hit->LineNo, hit->Position, hit->Length);
        }
    return l;
}

// Counts the driver's rounds (it updates the progress window once a round).
struct TRounds : TObject
{
    int count = 0;
    void Round(TObject*) { ++count; }
} gRounds;

// CPU time of the whole process (every thread), in ms.
double CpuMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](FILETIME f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

// One search as the dialog starts it, from the click on its search button to the list drawn.
double RunOurs(const AnsiString& root, const TCase& c, double& cpu)
{
    // The last run's list goes first, untimed.
    MessageForm->MsgForm_ClearGrepResults();
    Application->ProcessMessages();
    TGrepRequest request;
    request.Folder = root;
    request.Masks = kMasks;
    request.Pattern = c.pattern;
    request.Recurse = true;
    request.CaseSensitive = c.caseSensitive;
    request.WholeWord = c.wholeWord;
    request.Regex = c.regex;
    const double c0 = CpuMs();
    const double t0 = NowMs();
    if (!MessageForm->Visible())
        MessageForm->Show();
    FileSrchMonitorForm->OnProgress = TNotifyEvent(&gRounds, &TRounds::Round);
    gRounds.count = 0;
    RunGrep(request, FileSrchMonitorForm, MessageForm, MainForm->GrepProc);
    std::printf("# rounds %d\n", gRounds.count);
    Application->ProcessMessages();
    UpdateWindow(MessageForm->SrchResListBox->Handle());
    const double ms = NowMs() - t0;
    cpu = CpuMs() - c0;
    return ms;
}

double RunFloor(TGrepFloor& floor, const AnsiString& root, const TCase& c, double& cpu)
{
    floor.hits.clear();
    floor.hits.shrink_to_fit();
    floor.texts.clear();
    floor.texts.shrink_to_fit();
    Application->ProcessMessages();
    const double c0 = CpuMs();
    const double t0 = NowMs();
    floor.Run(c, root);
    const double ms = NowMs() - t0;
    cpu = CpuMs() - c0;
    return ms;
}

void RunCase(TGrepFloor& floor, const AnsiString& root, const TCase& c, double mb, int runs)
{
    double best = 0, floorBest = 0, cpuBest = 0, floorCpuBest = 0;
    TListed ours;
    for (int i = 0; i < runs; ++i)
    {
        double cpu = 0, floorCpu = 0;
        const double ms = RunOurs(root, c, cpu);
        cpuBest = i == 0 || cpu < cpuBest ? cpu : cpuBest;
        const TListed l = Listed();
        if (i > 0 && (l.hits != ours.hits || l.digest != ours.digest))
            std::printf("# %s: %lld hits in one run, %lld in another\n", c.name, ours.hits, l.hits);
        ours = l;
        best = i == 0 || ms < best ? ms : best;
        const double fms = RunFloor(floor, root, c, floorCpu);
        floorBest = i == 0 || fms < floorBest ? fms : floorBest;
        floorCpuBest = i == 0 || floorCpu < floorCpuBest ? floorCpu : floorCpuBest;
    }
    const bool same = ours.hits == (long long)floor.hits.size() && ours.digest == floor.Digest();
    std::printf("%-10s %-22s %-12s %7.1f MB %9.1f ms %7.1f MB/s %8lld hits %9.1f floor %5.2f x %s\n", c.name,
                c.pattern, Options(c).c_str(), mb, best, mb / (best / 1000.0), ours.hits, floorBest,
                floorBest > 0 ? best / floorBest : 0.0, same ? "same" : "DIFFERENT");
    std::printf("# %s: processor time (every thread, least of the runs): search %.0f ms, floor %.0f ms\n", c.name,
                cpuBest, floorCpuBest);
    if (!same)
        std::printf("# %s: the floor found %zu hits, the search listed %lld; their places %s\n", c.name,
                    floor.hits.size(), ours.hits, ours.digest == floor.Digest() ? "agree" : "differ");
    char work[160], now[96];
    std::snprintf(work, sizeof work, "file search %s (%s) in 2,000 files, %.0f MB, listed", c.name,
                  Options(c).c_str(), mb);
    std::snprintf(now, sizeof now, "%.0f ms, %lld hits", best, ours.hits);
    PrintRow(work, now, floorBest, best, "one thread, same hits, rows drawn on demand", 1.3);
    std::fflush(stdout);
}
} // namespace

int main()
{
    try
    {
        if (ParamCount() == 2 && ParamStr(1) == "--make")
        {
            Application->Initialize();
            grep_tree::MakeTree(NormalizeGrepFolder(ParamStr(2)));
            return 0;
        }
        int arg = 1;
        const int runs = RunsArg(arg);
        if (ParamCount() < arg || ParamStr(arg).IsEmpty() || ParamStr(arg)[1] == '-')
        {
            std::fprintf(stderr, "usage: grep_bench --make DIR | grep_bench [--runs N] DIR [CASE...]\n");
            return 2;
        }
        StartProgram();
        const AnsiString root = NormalizeGrepFolder(ParamStr(arg));
        TSWildCardsStringCL masks;
        masks.WildCards_Set(kMasks);
        int files = 0;
        const double mb = double(TreeBytes(SjisToWide(root), masks, files)) / kMb;
        if (files == 0)
        {
            std::fprintf(stderr, "grep_bench: no %s files under %s\n", kMasks, root.c_str());
            return 1;
        }
        std::printf("# %s: %d files, %.1f MB\n", root.c_str(), files, mb);
        TGrepFloor floor;
        for (const TCase& c : kCases)
        {
            if (CaseWanted(c, arg))
                RunCase(floor, root, c, mb, runs);
        }
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "grep_bench: %s\n", e.what());
        return 1;
    }
}
