// Pictures that are slow to decode, through every way the program reads one: how long the wallpaper
// dialog's preview and the image viewer take to show a picture, and the longest the window's thread
// went meanwhile without serving a timer of 10 ms (the time it was frozen); the longest single
// message of a main window started with the picture as its wallpaper, until the picture is shown or
// refused; and how long closing that window takes while the picture is still being decoded.
// Usage: picture_bench [name...]   (the names of the pictures to run; all when none)
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/WallPaperFrm.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "tests/TestPictures.h"
#include "tests/TestServices.h"

namespace
{
struct TBenchPicture
{
    const char* name;
    std::function<void(const AnsiString&)> make;
};

TPixelFunc Photo()
{
    auto seed = std::make_shared<uint32_t>(7);
    return [seed](int x, int y) {
        *seed = *seed * 1103515245u + 12345u;
        const int n = int((*seed >> 16) & 31);
        return RGB((x / 16 + n) & 255, (y / 12 + n) & 255, ((x + y) / 28) & 255);
    };
}

const AnsiString kKey = "Software\\VarnoletBench\\pictures";

TMainForm* StartWith(const AnsiString& file)
{
    VN::typWallpaperSetting w;
    w.file = nsString(file.c_str());
    WriteWallpaperSettings(w, VN::EditSetting, kKey);
    auto* form = Create<TMainForm>(nullptr);
    form->SettingsKey = kKey;
    form->MinStartupMs = 0;
    form->CommandLineFile = "";
    form->SetBounds(0, 0, 1000, 760);
    form->Show();
    return form;
}

// The longest single message the window's thread handled until the picture was shown or refused
// (a box told), and when that was.
void TimeStart(const AnsiString& file, TBoxServices& boxes, double& longest, double& done)
{
    const double t0 = NowMs();
    TMainForm* form = StartWith(file);
    longest = NowMs() - t0; // the window's start-up, made of messages too
    done = -1;
    while (NowMs() - t0 < 60000)
    {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (form->Edit() && (form->Edit()->WallPaperSet() || !boxes.boxes.empty()))
            {
                done = NowMs() - t0;
                break;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
            continue;
        }
        const double m0 = NowMs();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        longest = std::max(longest, NowMs() - m0);
    }
    delete form;
}

// Closing a window whose wallpaper is being decoded, 150 ms after it started.
double TimeExit(const AnsiString& file)
{
    TMainForm* form = StartWith(file);
    const double t0 = NowMs();
    while (NowMs() - t0 < 150)
    {
        Application->ProcessMessages();
        Sleep(1);
    }
    const double c0 = NowMs();
    form->Close();
    delete form;
    return NowMs() - c0;
}

// A timer of 10 ms on the window's thread, and the longest it went unserved.
double gLastBeat = 0, gLongestGap = 0;
void CALLBACK Beat(HWND, UINT, UINT_PTR, DWORD)
{
    const double now = NowMs();
    gLongestGap = std::max(gLongestGap, now - gLastBeat);
    gLastBeat = now;
}

// Runs f with the timer going; gives the longest gap.
template <class F>
double Frozen(F f)
{
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Beat);
    gLastBeat = NowMs();
    gLongestGap = 0;
    f();
    Beat(nullptr, 0, 0, 0);
    KillTimer(nullptr, timer);
    return gLongestGap;
}

double gViewerAsked = 0, gViewerShown = 0;
void CALLBACK CloseViewer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!ImageForm->Visible())
        return;
    KillTimer(nullptr, id);
    gViewerShown = NowMs() - gViewerAsked;
    ImageForm->Close();
}
} // namespace

int main(int argc, char** argv)
{
    Application->Initialize();
    TBoxServices boxes;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const AnsiString dir = WideToSjis(std::wstring(tmp)) + "vn_picture_bench";
    CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
    const std::vector<TBenchPicture> pictures = {
        {"photo-4000.jpg", [](const AnsiString& p) { WriteJpeg(p, 4000, 3000, Photo(), 90); }},
        {"progressive-4000.jpg", [](const AnsiString& p) { WriteJpeg(p, 4000, 3000, Photo(), 90, false, true); }},
        {"photo-8192.jpg", [](const AnsiString& p) { WriteJpeg(p, 8192, 8192, Photo(), 90); }},
        {"progressive-8192.jpg", [](const AnsiString& p) { WriteJpeg(p, 8192, 8192, Photo(), 90, false, true); }},
        // The most scans of that size taken, and just too many.
        {"scans-18-8192.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 8192, 8192, 18); }},
        {"scans-19-8192.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 8192, 8192, 19); }},
        {"scans-40-8192.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 8192, 8192, 40); }},
        {"scans-200-8192.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 8192, 8192, 200); }},
        {"scans-3000-8192.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 8192, 8192, 3000); }},
        {"scans-3000-1024.jpg", [](const AnsiString& p) { WriteScanHeavyJpeg(p, 1024, 1024, 3000); }},
        {"photo-8000.bmp", [](const AnsiString& p) { WriteBmp(p, 8000, 6000, Photo()); }},
    };
    std::printf("screen %dx%d; times in ms on the window's thread (refused: the picture did not load)\n",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::printf("%-22s %8s | %8s %7s | %8s %7s | %11s %8s | %6s\n", "picture", "file KB", "preview", "frozen",
                "viewer", "frozen", "start: most", "shown at", "exit");

    auto* dialog = Create<TWallPaperForm>(nullptr);
    dialog->HandleNeeded();
    ImageForm = Create<TImageForm>(nullptr);
    for (const TBenchPicture& p : pictures)
    {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || std::strcmp(argv[i], p.name) == 0;
        if (!wanted)
            continue;
        const AnsiString path = dir + "\\" + p.name;
        p.make(path);
        boxes.boxes.clear();

        // A figure with "no" after it: the picture was refused after that long.
        auto figure = [](bool ok, double ms) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.0f%s", ms, ok ? "" : " no");
            return std::string(buf);
        };
        bool previewed = false;
        double t0 = NowMs();
        const double previewFrozen = Frozen([&] { previewed = dialog->LoadPreviewPicture(path); });
        const std::string preview = figure(previewed, NowMs() - t0);

        std::string viewer = "-", viewerFrozen = "-";
        if (previewed)
        {
            gViewerShown = -1;
            const UINT_PTR closer = SetTimer(nullptr, 0, 5, CloseViewer);
            gViewerAsked = NowMs();
            // Frozen until the viewer shows: its own loop serves the timer from then on.
            viewerFrozen = figure(true, Frozen([&] { dialog->ImageViewBtnClick(nullptr); }));
            KillTimer(nullptr, closer);
            viewer = gViewerShown >= 0 ? figure(true, gViewerShown) : figure(false, NowMs() - gViewerAsked);
            boxes.boxes.clear();
        }

        double longest = 0, shown = 0;
        TimeStart(path, boxes, longest, shown);
        const std::string start = figure(boxes.boxes.empty(), shown);
        boxes.boxes.clear();
        const double exit = TimeExit(path);
        boxes.boxes.clear();
        std::printf("%-22s %8.0f | %8s %7.0f | %8s %7s | %11.0f %8s | %6.0f\n", p.name,
                    double(ReadBytes(path).size()) / 1024, preview.c_str(), previewFrozen, viewer.c_str(),
                    viewerFrozen.c_str(), longest, start.c_str(), exit);
        std::fflush(stdout);
        DeleteFileW(SjisToWide(path).c_str());
    }
    std::printf("peak working set: %zu MB\n", PeakMb());
    delete dialog;
    delete ImageForm;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
    return 0;
}
