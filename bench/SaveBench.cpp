// Save figures: File > Save of a page in the shown main window, with the backup setting as it is by
// default (on), beside a floor in the same process, the two taking turns run by run.
//   save_bench make FILE MB     Shift-JIS text of MB megabytes (lines of 0 to ~200 bytes)
//   save_bench save FILE RUNS   opens FILE (a copy of it for the floor), then saves it RUNS times
// The floor writes the same rows with CR LF into a new file beside its copy in 1 MB writes, flushes
// it to the disk, and renames the old file to the backup and the new one into place: the least
// that leaves the text on the disk, the previous text as the backup and never a half-written file.
// Each figure is printed as a table row ("@row", see BenchUtil.h); lines starting with '#' are
// remarks.
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main_window/MainFrm.h"
#include "main_window/ProgramForms.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace
{
constexpr size_t kMb = 1024 * 1024;

std::wstring Wide(const AnsiString& path) { return SjisToWide(path); }

bool ReadAll(const AnsiString& path, std::string& out)
{
    out.clear();
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    GetFileSizeEx(f, &size);
    out.resize(size_t(size.QuadPart));
    size_t done = 0;
    bool ok = true;
    while (ok && done < out.size())
    {
        DWORD got = 0;
        ok = ReadFile(f, out.data() + done, DWORD(std::min<size_t>(out.size() - done, 16 * kMb)), &got, nullptr) &&
             got > 0;
        done += got;
    }
    CloseHandle(f);
    return ok;
}

bool WriteAll(const AnsiString& path, const std::string& text)
{
    TFileStream f(path, fmCreate);
    f.WriteBuffer(text.data(), int(text.size()));
    return true;
}

// The rows as the page holds them, each kept alive here.
struct TRows
{
    std::vector<AnsiString> rows;
};

// Writes the rows with CR LF after each row that ends a paragraph, in 1 MB writes, to a new file
// beside path; flushes it; the old file becomes path.bak and the new one path.
bool FloorSave(const TRows& rows, const AnsiString& path)
{
    const std::wstring target = Wide(path);
    const std::wstring temp = target + L".new";
    const std::wstring backup = Wide(path + ".bak");
    HANDLE f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    std::string block;
    block.reserve(kMb + 65536);
    bool ok = true;
    auto flush = [&] {
        DWORD wrote = 0;
        ok = ok && WriteFile(f, block.data(), DWORD(block.size()), &wrote, nullptr) && wrote == block.size();
        block.clear();
    };
    for (const AnsiString& row : rows.rows)
    {
        const int n = row.Length();
        block.append(row.c_str(), size_t(n));
        if (n > 0 && row.c_str()[n - 1] == '\r')
            block.push_back('\n');
        if (block.size() >= kMb)
            flush();
    }
    flush();
    ok = ok && FlushFileBuffers(f);
    CloseHandle(f);
    ok = ok && MoveFileExW(target.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING);
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(), 0);
    return ok;
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

int Save(const AnsiString& file, int runs)
{
    StartProgram();
    std::string text;
    if (!ReadAll(file, text))
    {
        std::printf("# cannot read %s\n", file.c_str());
        return 1;
    }
    const double mb = double(text.size()) / double(kMb);
    const AnsiString floorFile = file + ".floor.txt";
    WriteAll(floorFile, text);
    DeleteFileW(Wide(file + ".bak").c_str());
    DeleteFileW(Wide(floorFile + ".bak").c_str());

    MainForm->OpenFile(file, false);
    TPageEditor* page = MainForm->Edit();
    if (!page)
    {
        std::printf("# %s did not open\n", file.c_str());
        return 1;
    }
    Application->ProcessMessages();
    TRows rows;
    rows.rows.reserve(size_t(page->GetLinesCount()));
    for (int i = 0; i < page->GetLinesCount(); ++i)
        rows.rows.push_back(page->GetLine(i));

    double best = 0, floorBest = 0;
    bool floorOk = true;
    for (int i = 0; i < runs; ++i)
    {
        const double t0 = NowMs();
        MainForm->OverWriteMenuClick(nullptr);
        const double ms = NowMs() - t0;
        best = i == 0 || ms < best ? ms : best;
        Application->ProcessMessages();
        const double f0 = NowMs();
        floorOk = FloorSave(rows, floorFile) && floorOk;
        const double fms = NowMs() - f0;
        floorBest = i == 0 || fms < floorBest ? fms : floorBest;
        Application->ProcessMessages();
    }
    // The same bytes: the saved file and the floor's, and the backups (the text before the save).
    std::string saved, floorSaved, backup, floorBackup;
    ReadAll(file, saved);
    ReadAll(floorFile, floorSaved);
    ReadAll(file + ".bak", backup);
    ReadAll(floorFile + ".bak", floorBackup);
    const bool same = floorOk && saved == floorSaved && backup == floorBackup && saved == text && !page->isEdited();
    std::printf("# save %.0f MB: %s; now %.0f ms, floor %.0f ms%s\n", mb, same ? "same bytes" : "DIFFERENT bytes", best,
                floorBest, floorOk ? "" : " (the floor failed)");
    char work[128], now[64];
    std::snprintf(work, sizeof work, "save %.0f MB (File > Save, backup on as by default)", mb);
    std::snprintf(now, sizeof now, "%.0f ms%s", best, same ? "" : ", DIFFERENT bytes");
    PrintRow(work, now, floorBest, best, "write beside, flush, rename old to .bak and new into place",
             mb >= 50 ? 1.5 : 0);
    DeleteFileW(Wide(floorFile).c_str());
    DeleteFileW(Wide(floorFile + ".bak").c_str());
    DeleteFileW(Wide(file + ".bak").c_str());
    return same ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    try
    {
        if (argc == 4 && std::string(argv[1]) == "make")
        {
            const std::string text = MakeText(size_t(std::max(1, std::atoi(argv[3]))) * kMb);
            WriteAll(argv[2], text);
            return 0;
        }
        if (argc == 4 && std::string(argv[1]) == "save")
            return Save(argv[2], std::max(1, std::atoi(argv[3])));
        std::fprintf(stderr, "usage: save_bench make FILE MB | save_bench save FILE RUNS\n");
        return 2;
    }
    catch (const std::exception& e)
    {
        std::printf("# save_bench: %s\n", e.what());
        return 1;
    }
}
