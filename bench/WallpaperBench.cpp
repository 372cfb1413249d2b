// Wallpaper figures: loading and blending a 4000x3000 JPEG, rebuilding the blends, painting a page
// with and without a wallpaper, typing over one, and the peak working set.
// Usage: wallpaper_bench
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "editor_page/Nsrichedit.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Picture.h"
#include "tests/TestPictures.h"

namespace
{
template <class F>
double MedianMs(int runs, F f)
{
    std::vector<double> t;
    for (int i = 0; i < runs; ++i)
    {
        double t0 = NowMs();
        f();
        t.push_back(NowMs() - t0);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
} // namespace

int main()
{
    Application->Initialize();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const AnsiString path = WideToSjis(std::wstring(tmp)) + "vn_wallpaper_bench.jpg";
    // A photo-like picture: gradients with some noise, so the coder has detail to work on.
    uint32_t seed = 7;
    WriteJpeg(path, 4000, 3000, [&seed](int x, int y) {
        seed = seed * 1103515245u + 12345u;
        int n = int((seed >> 16) & 31);
        return RGB((x / 16 + n) & 255, (y / 12 + n) & 255, ((x + y) / 28) & 255);
    }, 90);
    std::printf("screen %dx%d, peak working set after writing the JPEG: %zu MB\n", GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), PeakMb());

    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    nsRichEdit* page = Create<nsRichEdit>(form);
    page->SetBounds(0, 0, 780, 560);
    page->SetParent(form);
    page->StopDrawThread();
    AnsiString text;
    for (int i = 0; i < 200; ++i)
        text += "the editor 漢字かなカタカナ value。 0123 the editor 漢字かな\r\n";
    page->SetText(text);
    form->HandleNeeded();
    page->HandleNeeded();
    form->Show();
    Application->ProcessMessages();
    std::printf("page %dx%d, %d rows shown\n", page->Width(), page->Height(), page->GetDspRowCount());
    auto paint = [&] { page->DrawRows(page->GetTopLine(), page->GetTopLine() + page->GetDspRowCount()); };

    const double plain = MedianMs(30, paint);
    page->SetAlphaBlend(true);
    page->SetAlphaBlendValue(128);
    const double load = MedianMs(5, [&] { page->SetWallPaper(path); });
    std::printf("SetWallPaper 4000x3000 JPEG (decode its centre, two blends): %.1f ms, picture %dx%d\n",
                load, page->WallPaperPicture()->Width(), page->WallPaperPicture()->Height());
    int v = 0;
    const double rebuild = MedianMs(10, [&] { page->SetAlphaBlendValue(100 + (v++ % 50)); });
    std::printf("blends rebuilt (AlphaBlendValue changed): %.1f ms\n", rebuild);
    const double withWall = MedianMs(30, paint);
    std::printf("paint of a 780x560 page: %.2f ms without wallpaper, %.2f ms with\n", plain, withWall);
    const double key = MedianMs(200, [&] {
        page->KeyInput("a");
        paint();
    });
    std::printf("a keystroke and its repaint over the wallpaper: %.2f ms\n", key);
    std::printf("peak working set: %zu MB\n", PeakMb());
    delete form;
    DeleteFileW(SjisToWide(path).c_str());
    return 0;
}
