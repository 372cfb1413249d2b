// What the user waits for in the shown main window, each beside a floor measured in the same run
// (bench/run_all.sh makes the files, runs the cases and prints the table):
//   user_path_bench make FILE MB PATTERN HITS LAST
//        Shift-JIS text of MB megabytes holding PATTERN exactly HITS times and LAST once, on its
//        last row
//   user_path_bench replace FILE PATTERN REPLACEMENT RUNS
//        Replace All from the replace dialog's own handler on FILE opened in the main window, up to
//        the repaint; the floor opens the same file folded there, also up to its repaint. Then the
//        undo (one step) and the redo, and the undo group's memory.
//   user_path_bench find FILE PATTERN RUNS
//        Find Next from the search command (F3), from the top to the hit on the last row, up to the
//        repaint; the floor searches the same bytes in one buffer in this process.
// Times are the best of RUNS. Each figure is printed as a table row: "@row", then work, now, floor,
// ratio and target, separated by tabs (see bench/BenchUtil.h).
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "editor_page/DrawLineThread.h"
#include "main_window/MainFrm.h"
#include "main_window/ProgramForms.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"

namespace
{
constexpr size_t kMb = 1024 * 1024;

std::wstring Wide(const char* path) { return SjisToWide(AnsiString(path)); }

bool ReadAll(const char* path, std::string& out)
{
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    GetFileSizeEx(f, &size);
    out.resize(size_t(size.QuadPart));
    DWORD got = 0;
    size_t done = 0;
    bool ok = true;
    while (ok && done < out.size())
    {
        ok = ReadFile(f, out.data() + done, DWORD(std::min<size_t>(out.size() - done, 16 * kMb)), &got, nullptr) &&
             got > 0;
        done += got;
    }
    CloseHandle(f);
    return ok;
}

// The text of MakeText with pattern put between words every so often, hits times in all, and last
// as the only word of one more row at the end.
bool MakeFile(const char* path, size_t mb, const std::string& pattern, long long hits, const std::string& last)
{
    const std::string base = MakeText(mb * kMb);
    std::string s;
    s.reserve(base.size() + size_t(hits) * (pattern.size() + 1) + last.size() + 64);
    const size_t every = std::max<size_t>(1, base.size() / size_t(std::max(1LL, hits)));
    long long put = 0;
    size_t next = every / 2;
    for (size_t i = 0; i < base.size(); ++i)
    {
        s += base[i];
        if (base[i] == ' ' && i >= next && put < hits)
        {
            s += pattern + ' ';
            ++put;
            next += every;
        }
    }
    for (; put < hits; ++put)
        s += pattern + "\r\n";
    s += last + "\r\n";
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    const bool ok = WriteFile(f, s.data(), DWORD(s.size()), &wrote, nullptr) && wrote == s.size();
    CloseHandle(f);
    return ok;
}

long long Count(const AnsiString& text, std::string_view what)
{
    long long n = 0;
    const std::string_view t = text.view();
    for (size_t p = t.find(what); !what.empty() && p != std::string::npos; p = t.find(what, p + what.size()))
        ++n;
    return n;
}

// Counts the rows the page draws, so that waiting for the repaint knows when it happened.
struct TDrawCounter : TObject
{
    TDrawLineEvent chained;
    long long rows = 0;
    void Drawn(TObject* sender, int index, TRect rect, AnsiString text, bool& defaultDraw)
    {
        ++rows;
        if (chained)
            chained(sender, index, rect, text, defaultDraw);
    }
    void Watch(TPageEditor* page)
    {
        if (page->OnDrawLine == TDrawLineEvent(this, &TDrawCounter::Drawn))
            return;
        chained = page->OnDrawLine;
        page->OnDrawLine = TDrawLineEvent(this, &TDrawCounter::Drawn);
    }
};
TDrawCounter gDraws;

// Runs messages until the active page has drawn rows since drawnBefore and its drawing thread has
// nothing left to do: what the user sees is then on screen.
void WaitForRepaint(long long drawnBefore)
{
    TPageEditor* page = MainForm->Edit();
    for (;;)
    {
        Application->ProcessMessages();
        if (page)
            UpdateWindow(page->Handle());
        DrawLineThread* thread = page ? page->DrawThread() : nullptr;
        const bool drawn = !page || gDraws.rows > drawnBefore;
        if (drawn && (!thread || (thread->RequestCount() == 0 && !thread->Busy())))
            break;
        Sleep(0);
    }
    Application->ProcessMessages();
}

void CloseAllPages()
{
    while (MainForm->MainPageCtrl->PageCount() > 0)
        MainForm->ClosePage(MainForm->MainPageCtrl->Pages(0), false);
    Application->ProcessMessages();
}

// Opens path in a fresh tab and waits for its first repaint; the time it took.
double OpenShown(const AnsiString& path)
{
    CloseAllPages();
    const long long before = gDraws.rows;
    const double t0 = NowMs();
    MainForm->OpenFile(path);
    if (TPageEditor* page = MainForm->Edit())
        gDraws.Watch(page);
    WaitForRepaint(before);
    return NowMs() - t0;
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

int Replace(const char* file, const char* pattern, const char* replacement, int runs)
{
    StartProgram();
    const AnsiString path(file);
    std::string text;
    ReadAll(file, text);
    const std::string_view needle(pattern);
    long long expected = 0;
    for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size()))
        ++expected;
    const size_t textMb = text.size() / kMb;
    text.clear();
    text.shrink_to_fit();

    RePlaceForm->ActiveEditor = [] { return static_cast<nsRichEdit*>(MainForm->Edit()); };
    double best = 1e300, floor = 1e300, undoBest = 1e300, redoBest = 1e300;
    int replaced = 0;
    double undoMb = 0, grewMb = 0;
    bool undone = true, redone = true;
    for (int run = 0; run < runs; ++run)
    {
        floor = std::min(floor, OpenShown(path));
        TPageEditor* page = MainForm->Edit();
        const int64_t undoBefore = page->UndoBuff()->Bytes();
        const AnsiString original = page->GetText();
        RePlaceForm->Show();
        RePlaceForm->SrchStrCBox->SetText(pattern);
        RePlaceForm->ReStrCBox->SetText(replacement);
        RePlaceForm->AllTextRBtn->SetChecked(true);
        RePlaceForm->ConfirmCBox->SetChecked(false);
        RePlaceForm->AlphaChkBox->SetChecked(true);
        Application->ProcessMessages();
        const size_t wsBefore = WorkingSetNowMb();
        long long before = gDraws.rows;
        double t0 = NowMs();
        RePlaceForm->AllRePlaceBtnClick(RePlaceForm->AllRePlaceBtn);
        WaitForRepaint(before);
        best = std::min(best, NowMs() - t0);
        grewMb = double(WorkingSetNowMb()) - double(wsBefore);
        undoMb = double(page->UndoBuff()->Bytes() - undoBefore) / double(kMb);
        const AnsiString result = page->GetText();
        replaced = int(Count(result, replacement) - Count(original, replacement));

        before = gDraws.rows;
        t0 = NowMs();
        MainForm->Edit()->Undo();
        WaitForRepaint(before);
        undoBest = std::min(undoBest, NowMs() - t0);
        undone = undone && page->GetText() == original;

        before = gDraws.rows;
        t0 = NowMs();
        MainForm->Edit()->Redo();
        WaitForRepaint(before);
        redoBest = std::min(redoBest, NowMs() - t0);
        redone = redone && page->GetText() == result;
    }
    char work[256];
    std::snprintf(work, sizeof work, "Replace All from the dialog, %lld hits in %zu MB (\"%s\" -> \"%s\")", expected,
                  textMb, pattern, replacement);
    char now[256];
    std::snprintf(now, sizeof now, "%.0f ms (%d replaced%s)", best, replaced, undone && redone ? "" : ", UNDO/REDO DIFFER");
    PrintRow(work, now, floor, best, "opening it folded", 2.0);
    std::snprintf(work, sizeof work, "its undo (one step), then its redo");
    std::snprintf(now, sizeof now, "%.0f ms, %.0f ms; the group holds %.1f MB (working set +%.0f MB)", undoBest,
                  redoBest, undoMb, grewMb);
    PrintRow(work, now, floor, std::max(undoBest, redoBest), "opening it folded", 0);
    CloseAllPages();
    return undone && redone ? 0 : 1;
}

int Find(const char* file, const char* pattern, int runs)
{
    StartProgram();
    std::string text;
    if (!ReadAll(file, text))
        return 1;
    // The floor: the same bytes in one buffer, searched in this process.
    double floor = 1e300;
    size_t at = 0;
    for (int run = 0; run < runs; ++run)
    {
        const double t0 = NowMs();
        at = std::string_view(text).find(pattern);
        floor = std::min(floor, NowMs() - t0);
    }
    const size_t textMb = text.size() / kMb;
    text.clear();
    text.shrink_to_fit();

    OpenShown(AnsiString(file));
    TPageEditor* page = MainForm->Edit();
    MainForm->SrchMenuClick(nullptr); // the find dialog learns where the pages are
    SrchForm->Hide();
    SrchForm->SrchStrCBox->SetText(pattern);
    double best = 1e300;
    int row = -1;
    for (int run = 0; run < runs; ++run)
    {
        page->SetCaret(TPoint(0, 0));
        page->SelArea()->PutStartPoint(TPoint(0, 0));
        page->SelArea()->PutEndPoint(TPoint(0, 0));
        page->SetTopLine(0);
        WaitForRepaint(gDraws.rows - 1);
        const long long before = gDraws.rows;
        const double t0 = NowMs();
        MainForm->NextSrchMenuClick(nullptr);
        WaitForRepaint(before);
        best = std::min(best, NowMs() - t0);
        row = page->GetCaret().y;
    }
    char work[256];
    std::snprintf(work, sizeof work, "Find Next (F3) from the top to the last row of %zu MB", textMb);
    char now[256];
    std::snprintf(now, sizeof now, "%.0f ms (row %d of %d%s)", best, row + 1, page->GetLinesCount(),
                  at == std::string::npos ? ", not in the text" : "");
    PrintRow(work, now, floor, best, "the same bytes searched in one buffer", 3.0);
    const int rows = page->GetLinesCount();
    CloseAllPages();
    return row == rows - 2 || row == rows - 1 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 7)
        return MakeFile(argv[2], size_t(std::atoll(argv[3])), argv[4], std::atoll(argv[5]), argv[6]) ? 0 : 1;
    if (mode == "replace" && argc == 6)
        return Replace(argv[2], argv[3], argv[4], std::max(1, std::atoi(argv[5])));
    if (mode == "find" && argc == 5)
        return Find(argv[2], argv[3], std::max(1, std::atoi(argv[4])));
    std::fprintf(stderr, "usage: user_path_bench make FILE MB PATTERN HITS LAST | replace FILE PATTERN "
                         "REPLACEMENT RUNS | find FILE PATTERN RUNS\n");
    return 2;
}
