// Opening a file as the user does: File > Open's call into the shown main window, the editor page
// filled and its first screen painted, beside a floor in the same process (the two take turns, run
// by run), and the most memory the open took.
//   open_bench make-text FILE MB    Shift-JIS text of MB megabytes (lines of 0 to ~200 bytes)
//   open_bench make-short FILE MB   lines of 0 to 9 bytes: about 16 M lines per 100 MB
//   open_bench make-ends FILE MB    nothing but LF line ends: a row per byte
//   open_bench open FILE fold|nofold RUNS [TIME MEMORY]
//                                   opens FILE RUNS times with wrapping at 60 or off; TIME is the
//                                   target of now / floor, MEMORY that of the peak / the file's
//                                   size (0 or left out: none)
// The peak is that of the first open, taken before the floor ever runs; the process starts with the
// main window shown and its untitled page. Each figure is printed as a table row ("@row", see
// BenchUtil.h) and a line "@ name=value..." for scripts; lines starting with '#' are remarks.
#include "BenchUtil.h"
#include "OpenFloor.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/WexmoorDef.h"
#include "editor_page/DrawLineThread.h"
#include "main_window/MainFrm.h"
#include "main_window/ProgramForms.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

namespace
{
constexpr size_t kMb = 1024 * 1024;
constexpr int kFoldAt = 60;

bool WriteRepeated(const char* path, const std::string& piece, size_t bytes)
{
    HANDLE f =
        CreateFileW(SjisToWide(AnsiString(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes;)
    {
        const DWORD n = DWORD(std::min(piece.size(), bytes - done));
        DWORD wrote = 0;
        ok = WriteFile(f, piece.data(), n, &wrote, nullptr) && wrote == n;
        done += n;
    }
    CloseHandle(f);
    return ok;
}

std::string ShortLines()
{
    std::string s;
    s.reserve(16 * kMb + 16);
    uint32_t x = 77;
    while (s.size() < 16 * kMb)
    {
        x = x * 1103515245u + 12345u;
        const size_t len = (x >> 8) % 10;
        for (size_t i = 0; i < len; ++i)
            s += char('a' + (x >> (8 + 2 * i)) % 26);
        s += "\r\n";
    }
    return s;
}

std::string LineEnds() { return std::string(65536, '\n'); }

// Until the screen shows the pages as they now are: messages handled, the drawing threads idle,
// nothing left to paint.
void Settle()
{
    for (;;)
    {
        Application->ProcessMessages();
        CheckSynchronize();
        UpdateWindow(MainForm->Handle());
        bool busy = false;
        if (TPageEditor* page = MainForm->Edit())
        {
            RECT r;
            DrawLineThread* t = page->DrawThread();
            busy = (t && (t->RequestCount() > 0 || t->Busy())) || GetUpdateRect(page->Handle(), &r, FALSE);
        }
        if (!busy)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

// The floor's screen: the first rows drawn into the main window.
void FloorShow(const TFloorDoc& doc)
{
    HDC dc = GetDC(MainForm->Handle());
    const size_t rows = std::min<size_t>(doc.Rows(), 40);
    for (size_t i = 0; i < rows; ++i)
        TextOutA(dc, 40, int(16 * i), doc.Row(i).text, int(std::min<uint32_t>(doc.Row(i).length, 200)));
    ReleaseDC(MainForm->Handle(), dc);
    GdiFlush();
}

// The open dialog answers with the file; a message box is printed and answered with its default.
class TBenchServices : public TPlatformServices
{
public:
    AnsiString File;
    int Boxes = 0;
    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned flags) override
    {
        ++Boxes;
        std::printf("# box: %s\n", text.c_str());
        return (flags & MB_TYPEMASK) == MB_YESNO || (flags & MB_TYPEMASK) == MB_YESNOCANCEL ? IDNO : IDOK;
    }
    short GetKeyState(int) override { return 0; }
    bool OpenFileDialog(void*, TFileDialogData& data) override
    {
        data.FileName = File;
        return true;
    }
};

// One table row whose floor is not a time.
void PrintMemoryRow(const char* work, const char* now, const char* floor, double ratio, double target)
{
    std::printf("@row\t%s\t%s\t%s\t%.2f\t%g\n", work, now, floor, ratio, target);
    std::fflush(stdout);
}

int Open(const char* path, bool fold, int runs, double timeTarget, double memoryTarget)
{
    Application->Initialize();
    Application->SetTitle("Varnolet");
    CreateProgramForms();
    MainForm->MinStartupMs = 0;
    MainForm->Show();
    Settle();
    VN::EditSetting.ISWRAP = fold;
    VN::EditSetting.WRAPWIDTH = kFoldAt;

    const AnsiString file(path);
    TBenchServices services;
    services.File = file;
    SetServices(&services);
    const std::wstring wide = SjisToWide(file);
    WIN32_FILE_ATTRIBUTE_DATA info{};
    GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &info);
    const double fileMb = double((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow) / double(kMb);

    const size_t before = PeakMb();
    double best = 0, floorBest = 0, peak = 0;
    int rows = 0;
    size_t floorRows = 0;
    for (int i = 0; i < runs; ++i)
    {
        const double t0 = NowMs();
        MainForm->OpenFileMenuClick(nullptr);
        TPageEditor* page = MainForm->Edit();
        if (services.Boxes > 0 || !page || page->EditFilePath.IsEmpty())
        {
            std::printf("@ fail=the file did not open peak=%zu after=%.0f\n", PeakMb(), NowMs() - t0);
            return 1;
        }
        Settle();
        const double ms = NowMs() - t0;
        best = i == 0 || ms < best ? ms : best;
        rows = page->GetLinesCount();
        TTabSheet* sheet = MainForm->MainPageCtrl->ActivePage();
        if (i == 0)
            peak = double(PeakMb());
        MainForm->ClosePage(sheet, false);
        Settle();

        const double f0 = NowMs();
        {
            TFloorDoc doc;
            if (!FloorLoad(wide, doc))
            {
                std::printf("@ fail=the floor cannot read the file\n");
                return 1;
            }
            FloorShow(doc);
            floorRows = doc.Rows();
        }
        const double fms = NowMs() - f0;
        floorBest = i == 0 || fms < floorBest ? fms : floorBest;
        std::printf("# run %d: open %.0f ms, floor %.0f ms, %.2fx\n", i + 1, ms, fms, ms / fms);
    }
    // The text the rows hold: the file less one byte of each CR LF (a row keeps its CR).
    const double beside = rows > 0 ? (peak - double(before) - fileMb) * double(kMb) / double(rows) : 0;
    std::printf("@ ms=%.1f floor=%.1f peak=%.0f base=%zu rows=%d floorrows=%zu file=%.0f beside=%.1f\n", best,
                floorBest, peak, before, rows, floorRows, fileMb, beside);

    const char* name = std::strrchr(path, '\\') ? std::strrchr(path, '\\') + 1 : path;
    char work[160], now[160], floor[96];
    std::snprintf(work, sizeof work, "open %s (%.0f MB, %d rows), %s, File > Open to the first screen", name,
                  fileMb, rows, fold ? "folding at 60" : "no folding");
    std::snprintf(now, sizeof now, "%.0f ms", best);
    PrintRow(work, now, floorBest, best, "read in 4 MB blocks, split lines, 8-byte record a line, first screen",
             timeTarget);
    std::snprintf(work, sizeof work, "peak memory opening %s, %s", name, fold ? "folding at 60" : "no folding");
    std::snprintf(now, sizeof now, "%.0f MB, %.1f bytes a row beside its text (%.0f MB before)", peak, beside,
                  double(before));
    std::snprintf(floor, sizeof floor, "%.0f MB (the file)", fileMb);
    PrintMemoryRow(work, now, floor, peak / fileMb, memoryTarget);
    // A row's cost beside its text against the floor's record; at most 32 bytes, four of its 8.
    std::snprintf(work, sizeof work, "memory a row beside its text opening %s, %s", name,
                  fold ? "folding at 60" : "no folding");
    std::snprintf(now, sizeof now, "%.1f bytes", beside);
    PrintMemoryRow(work, now, "8 bytes (the floor's record a line)", beside / 8, 4);
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: open_bench make-text|make-short|make-ends FILE MB | open FILE fold|nofold RUNS"
                         " [TIME MEMORY]\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string what = argv[1];
    const int n = std::max(1, std::atoi(argv[std::min(argc, 5) - 1]));
    try
    {
        if (what == "make-text" && argc == 4)
            return WriteRepeated(argv[2], MakeText(std::min<size_t>(size_t(n), 100) * kMb), size_t(n) * kMb) ? 0
                                                                                                             : 1;
        if (what == "make-short" && argc == 4)
            return WriteRepeated(argv[2], ShortLines(), size_t(n) * kMb) ? 0 : 1;
        if (what == "make-ends" && argc == 4)
            return WriteRepeated(argv[2], LineEnds(), size_t(n) * kMb) ? 0 : 1;
        if (what == "open" && (argc == 5 || argc == 7))
            return Open(argv[2], std::string(argv[3]) == "fold", n, argc == 7 ? std::atof(argv[5]) : 0,
                        argc == 7 ? std::atof(argv[6]) : 0);
        return Usage();
    }
    catch (const std::exception& e)
    {
        std::printf("@ fail=%s peak=%zu\n", e.what(), PeakMb());
        return 1;
    }
}
