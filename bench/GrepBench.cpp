// File-search figures: the search as the file-search dialog starts it (RunGrep with the progress
// window, its hits listed in the docked results window of the shown main window, up to the list's
// repaint), beside its floor (GrepFloor.h) in the same process, the two taking turns run by run.
//   grep_bench --make DIR     writes the Shift-JIS test tree into DIR (deterministic)
//   grep_bench [--runs N] DIR [CASE...]  runs every case (or the named ones), each side N times
//                             (default 1), and prints one line per case with the fastest run of each
//   grep_bench [--runs N] --lists DIR [CASE...]  the search listed in the results window against
//                             the same search counting only, and a double-click on a hit of the long
//                             list against one in a list of ten (default case: common)
// Case lines read: name pattern options MB "MB" ms "ms" rate "MB/s" hits "hits" floor-ms "floor"
// ratio "x" same|DIFFERENT (tools parse them; patterns hold no blanks); each case also prints its
// table row ("@row", see BenchUtil.h). Lines starting with '#' are remarks.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "GrepCases.h"
#include "GrepFloor.h"
#include "GrepTree.h"
#include "editor_page/Nsrichedit.h"
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
// The same search with no list: the same worker, handed its hits in the same rounds, which it
// only counts.
struct TCounted : TObject
{
    long long hits = 0;
    void Found(TObject*, typGrepInf*) { ++hits; }
};

double RunUnlisted(const AnsiString& root, const TCase& c, long long& hits)
{
    Application->ProcessMessages();
    TCounted counted;
    const double t0 = NowMs();
    typGrepProc worker(true);
    worker.Setup(root, kMasks, true, c.caseSensitive, c.wholeWord, c.regex, c.pattern);
    worker.OnFileFind = TGrepFileFindEvent(&counted, &TCounted::Found);
    worker.Start();
    const HANDLE handles[] = {worker.Handle(), worker.HitsWaiting()};
    while (!worker.Finished())
    {
        worker.DeliverQueuedHits();
        Application->ProcessMessages();
        if (!worker.Finished())
            MsgWaitForMultipleObjects(handles[1] ? 2 : 1, handles, FALSE, 50, QS_ALLINPUT & ~QS_PAINT);
    }
    worker.WaitFor();
    hits = counted.hits;
    return NowMs() - t0;
}

BOOL CALLBACK PaintNow(HWND window, LPARAM)
{
    UpdateWindow(window);
    return TRUE;
}

// A double-click on listed line i, up to the editor showing the hit.
double DoubleClickHit(int i)
{
    TListBox* list = MessageForm->SrchResListBox;
    list->SetItemIndex(i);
    list->SetTopIndex(i);
    Application->ProcessMessages();
    const TRect r = list->ItemRect(i);
    const double t0 = NowMs();
    SendMessageW(list->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.Left + 2, r.Top + 2));
    SendMessageW(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.Left + 2, r.Top + 2));
    Application->ProcessMessages();
    EnumChildWindows(MainForm->Handle(), PaintNow, 0); // the page's repaint
    return NowMs() - t0;
}

// The hit lines of the list (not the closing remark), and of them the first, middle and last.
std::vector<int> Picks(long long& listed)
{
    std::vector<int> lines;
    TStrings* items = MessageForm->SrchResListBox->Items();
    for (int i = 0; i < items->GetCount(); ++i)
        if (dynamic_cast<typGrepInf*>(items->GetObject(i)))
            lines.push_back(i);
    listed = (long long)lines.size();
    if (lines.empty())
        return {};
    return {lines.front(), lines[lines.size() / 2], lines.back()};
}

// The search listed in the results window against the same search counting only, and a
// double-click on its first, middle and last hit against the same hits in a list of ten.
void RunListCase(const AnsiString& root, const TCase& c, int runs)
{
    double listedBest = 0, bareBest = 0, cpu = 0;
    long long bareHits = 0;
    for (int i = 0; i < runs; ++i)
    {
        const double ms = RunOurs(root, c, cpu);
        listedBest = i == 0 || ms < listedBest ? ms : listedBest;
        const double bare = RunUnlisted(root, c, bareHits);
        bareBest = i == 0 || bare < bareBest ? bare : bareBest;
    }
    long long listed = 0;
    const std::vector<int> picks = Picks(listed);
    std::printf("# %s: listed %lld hits in %.0f ms, counted %lld in %.0f ms\n", c.name, listed, listedBest, bareHits,
                bareBest);
    char work[160], now[96];
    std::snprintf(work, sizeof work, "file search %s, %lld hits listed in the results window", c.name, listed);
    std::snprintf(now, sizeof now, "%.0f ms", listedBest);
    PrintRow(work, now, bareBest, listedBest, "the same search, hits counted, no list", 2);
    if (picks.empty())
        return;

    // The hits' files are opened once, untimed; then each double-click only shows its hit.
    std::vector<typGrepInf> kept;
    for (int i : picks)
    {
        kept.push_back(*static_cast<typGrepInf*>(MessageForm->SrchResListBox->Items()->GetObject(i)));
        DoubleClickHit(i);
    }
    double big = 0;
    for (int run = 0; run < runs; ++run)
    {
        double sum = 0;
        for (int i : picks)
            sum += DoubleClickHit(i);
        big = run == 0 || sum < big ? sum : big;
    }
    // Ten hits: the three, then the first seven of the long list again.
    std::vector<typGrepInf> few = kept;
    for (int i = 0; few.size() < 10; ++i)
        few.push_back(*static_cast<typGrepInf*>(MessageForm->SrchResListBox->Items()->GetObject(i)));
    MessageForm->MsgForm_ClearGrepResults();
    for (typGrepInf& hit : few)
        MessageForm->MsgForm_AddGrepHit(&hit);
    Application->ProcessMessages();
    double small = 0;
    for (int run = 0; run < runs; ++run)
    {
        double sum = 0;
        for (int i = 0; i < int(picks.size()); ++i)
            sum += DoubleClickHit(i);
        small = run == 0 || sum < small ? sum : small;
    }
    if (nsRichEdit* editor = MainForm->GetPageEditor(MainForm->MainPageCtrl->ActivePage()))
        if (editor->GetSelText() != AnsiString(c.pattern))
            std::printf("# %s: the last double-click did not select its hit\n", c.name);
    const double n = double(picks.size());
    std::snprintf(work, sizeof work, "double-click on the first, middle and last of %lld listed hits", listed);
    std::snprintf(now, sizeof now, "%.1f ms a hit", big / n);
    PrintRow(work, now, small / n, big / n, "the same hits in a list of 10", 1.5);
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
        const bool lists = ParamCount() >= arg && ParamStr(arg) == "--lists";
        if (lists)
            ++arg;
        if (ParamCount() < arg || ParamStr(arg).IsEmpty() || ParamStr(arg)[1] == '-')
        {
            std::fprintf(stderr, "usage: grep_bench --make DIR | grep_bench [--runs N] [--lists] DIR [CASE...]\n");
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
            if (lists)
            {
                if (ParamCount() > arg ? CaseWanted(c, arg) : std::string(c.name) == "common")
                    RunListCase(root, c, runs);
            }
            else if (CaseWanted(c, arg))
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
