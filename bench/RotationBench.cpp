// Wallpaper rotation left running: the main window rotates a folder of good, damaged and huge
// pictures every second while characters are typed into its page, and the program prints how long
// the window's thread spent on each tick, on taking each loaded picture, on each paint of the page,
// and how late each typed character was handled.
// Usage: rotation_bench [seconds]   (default 60; VN_ROTATION_SECONDS too; VN_ROTATION_DAMAGED=n adds n
// damaged bitmaps)
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "tests/BmpFiles.h"
#include "tests/TestPictures.h"

namespace
{
struct TFigures
{
    std::vector<double> ms;
    void Add(double v) { ms.push_back(v); }
    void Print(const char* what)
    {
        if (ms.empty())
        {
            std::printf("%-44s none\n", what);
            return;
        }
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        std::printf("%-44s %6zu, median %7.2f ms, 99%% %7.2f ms, max %7.2f ms\n", what, s.size(), s[s.size() / 2],
                    s[std::min(s.size() - 1, s.size() * 99 / 100)], s.back());
    }
};

// Times the rotation tick the window's timer runs.
class TTickMeter : public TObject
{
public:
    explicit TTickMeter(TMainForm* form) : form_(form) {}
    void Tick(TObject* sender)
    {
        const double t0 = NowMs();
        form_->WPTimerTimer(sender);
        ticks.Add(NowMs() - t0);
    }
    TFigures ticks;

private:
    TMainForm* form_;
};

AnsiString MakeFolder(const AnsiString& dir)
{
    CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
    auto at = [&](const char* name) { return dir + "\\" + name; };
    uint32_t seed = 7;
    auto photo = [&seed](int x, int y) {
        seed = seed * 1103515245u + 12345u;
        const int n = int((seed >> 16) & 31);
        return RGB((x / 16 + n) & 255, (y / 12 + n) & 255, ((x + y) / 28) & 255);
    };
    // Good pictures of the sizes people use, a photo larger than the screen among them.
    WriteJpeg(at("good-1920.jpg"), 1920, 1080, photo, 90);
    WriteJpeg(at("good-1280.jpg"), 1280, 1024, photo, 90);
    WriteJpeg(at("good-4000.jpg"), 4000, 3000, photo, 90);
    WriteBmp(at("good-1024.bmp"), 1024, 768, photo);
    WriteCmykJpeg(at("good-cmyk.jpg"), 800, 600, photo);
    // Huge: a photo that loads slowly, and headers that claim what is not there.
    WriteJpeg(at("huge-8000.jpg"), 8000, 6000, photo, 85);
    WriteJpegClaiming(at("huge-60000.jpg"), 60000, 60000);
    typBmpSpec runs = Spec(4000, 4000, 8, 1);
    WriteBytes(at("huge-runs.bmp"), MakeBmp(runs));
    // Every damaged bitmap of the reader's table (VN_ROTATION_NO_CRAFTED=1 leaves them out, for a
    // program that cannot survive them), and damaged JPEGs.
    int n = 0;
    if (!std::getenv("VN_ROTATION_NO_CRAFTED"))
        for (const TCrafted& c : CraftedBitmaps())
            WriteBytes(dir + "\\crafted-" + IntToStr(n++) + ".bmp", Crafted(c));
    WriteBytes(at("cut.jpg"), ReadBytes(WriteJpeg(at("cut.jpg"), 640, 480, photo)).substr(0, 3000));
    // VN_ROTATION_DAMAGED=n: n more damaged bitmaps, a folder that is mostly unreadable.
    const char* damaged = std::getenv("VN_ROTATION_DAMAGED");
    for (int i = 0, count = damaged ? std::atoi(damaged) : 0; i < count; ++i)
        WriteBytes(dir + "\\damaged-" + IntToStr(i) + ".bmp", "BM damaged");
    WriteBytes(at("text.jpg"), "not a picture");
    return dir;
}
} // namespace

int main(int argc, char** argv)
{
    const char* env = std::getenv("VN_ROTATION_SECONDS");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : env ? std::atoi(env) : 60;
    Application->Initialize();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const AnsiString folder = MakeFolder(WideToSjis(std::wstring(tmp)) + "vn_rotation_bench");
    const AnsiString key = "Software\\VarnoletBench\\rotation";
    VN::typWallpaperSetting w;
    w.folderMode = true;
    w.folder = nsString(folder.c_str());
    w.minutes = 0;
    w.seconds = 1;
    VN::EditSetting.TRANSPARENCY = true;
    WriteWallpaperSettings(w, VN::EditSetting, key);

    auto* form = Create<TMainForm>(nullptr);
    form->SettingsKey = key;
    form->MinStartupMs = 0;
    form->CommandLineFile = "";
    form->SetBounds(0, 0, 1000, 760);
    form->Show();
    Application->ProcessMessages();
    TTickMeter meter(form);
    form->WPTimer->OnTimer = TNotifyEvent(&meter, &TTickMeter::Tick);
    std::printf("screen %dx%d, folder of %zu pictures, tick every %u ms, %d s\n", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), form->WallpaperList.size(), form->WPTimer->Interval(), seconds);

    TFigures deliveries, paints, draws, typing;
    HWND page = form->Edit()->Handle();
    const double end = NowMs() + seconds * 1000.0;
    double nextKey = NowMs();
    std::deque<double> keysPosted;
    int typed = 0, shown = 0;
    AnsiString last;
    while (NowMs() < end)
    {
        const double now = NowMs();
        if (now >= nextKey)
        {
            // A character every 50 ms, stamped with when it was typed.
            PostMessageW(page, WM_CHAR, WPARAM('a' + keysPosted.size() % 26), 0);
            keysPosted.push_back(now);
            nextKey = now + 50;
        }
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            continue;
        }
        wchar_t cls[64] = {};
        GetClassNameW(msg.hwnd, cls, 64);
        const bool delivery = std::wstring(cls) == L"VnWallpaperLoader";
        const bool key = msg.hwnd == page && msg.message == WM_CHAR;
        if (key && !keysPosted.empty())
        {
            typing.Add(NowMs() - keysPosted.front());
            keysPosted.pop_front();
            ++typed;
        }
        const double t0 = NowMs();
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        const double dt = NowMs() - t0;
        if (delivery)
        {
            deliveries.Add(dt);
            if (form->Edit()->WallPaperFile() != last)
            {
                last = form->Edit()->WallPaperFile();
                ++shown;
            }
        }
        else if (msg.hwnd == page && msg.message == WM_PAINT)
            paints.Add(dt);
        else if (std::wstring(cls) == L"VnSyncWindow")
            draws.Add(dt); // the page's drawing thread has rows drawn here
    }
    std::printf("pictures shown %d, characters typed %d, page holds %d characters\n", shown, typed,
                form->Edit()->GetText().Length());
    meter.ticks.Print("tick (the window's thread)");
    deliveries.Print("taking a loaded picture (the window's thread)");
    paints.Print("paint of the page (queues its rows)");
    draws.Print("rows drawn for the drawing thread");
    typing.Print("typed character handled after");
    std::printf("peak working set: %zu MB\n", PeakMb());
    form->WPTimer->SetEnabled(false);
    delete form;
    return 0;
}
