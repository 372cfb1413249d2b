// Drawing figures: a full screen of 60 rows by 250 columns with a column attribute on every byte
// and a selection; a ~100 MB text scrolled from top to bottom by pages; a 64 KB unwrapped row
// scrolled to its middle.
// Usage: draw_bench [megabytes]   (the size of the scrolled text, 100 by default)
#include <windows.h>

#include <cstdio>
#include <climits>
#include <cstdlib>
#include <algorithm>
#include <string>

#include "editor_control/AFEdit.h"
#include "platform/Classes.h"
#include "platform/Forms.h"

namespace
{
double NowMs()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return 1000.0 * double(t.QuadPart) / double(f.QuadPart);
}

// Deterministic text: ASCII and Japanese words, lines of 0 to ~200 bytes, a few tabs, CR LF ends.
std::string MakeText(size_t bytes, size_t maxLine, bool lineEnds)
{
    const char* words[] = {"the", "editor", "漢字", "かな", "カタカナ", "ﾊﾝｶｸ", "0123", "\t", "表示", "ソース",
                           "value", "。", "「引用」", "x", "　"};
    std::string s;
    s.reserve(bytes + 256);
    uint32_t state = 12345;
    auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return state >> 8;
    };
    while (s.size() < bytes)
    {
        size_t len = maxLine ? next() % maxLine : bytes;
        size_t start = s.size();
        while (s.size() - start < len && s.size() < bytes)
        {
            s += words[next() % (sizeof words / sizeof *words)];
            if (next() % 3)
                s += ' ';
        }
        if (lineEnds)
            s += "\r\n";
    }
    return s;
}

void Load(TCustomAFEdit* ed, const std::string& text, TConvMode modes)
{
    TStringStream stream(AnsiString(text.data(), int(text.size())));
    ed->LoadFromStream(&stream, modes);
}

// Paints the editor into a bitmap of its client size and returns the milliseconds per paint.
double PaintMs(TCustomAFEdit* ed, int times)
{
    RECT r{};
    GetClientRect(ed->Handle(), &r);
    TBitmap target;
    target.SetSize(r.right, r.bottom);
    HDC dc = target.Canvas()->Handle();
    SendMessageW(ed->Handle(), WM_PAINT, WPARAM(dc), 0); // warm the font cache
    double t0 = NowMs();
    for (int i = 0; i < times; ++i)
        SendMessageW(ed->Handle(), WM_PAINT, WPARAM(dc), 0);
    GdiFlush();
    return (NowMs() - t0) / times;
}
} // namespace

int main(int argc, char** argv)
{
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 100;
    Application->Initialize();
    TForm* form = Create<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    TAFEdit* ed = Create<TAFEdit>(form);
    ed->SetVisible(true);
    ed->SetDefWrapPos(65535);
    ed->SetOptions(TAFEditOptions{});

    // 1. A full 60 x 250 screen.
    // Room for both scroll bars: the text area itself is 60 x 250 cells.
    const int width = ed->EditRect().Left + 250 * ed->GetColWidth() + GetSystemMetrics(SM_CXVSCROLL) + 1;
    const int height = ed->EditRect().Top + 60 * ed->GetRowHeight() + GetSystemMetrics(SM_CYHSCROLL) + 1;
    form->SetBounds(0, 0, width, height);
    ed->SetBounds(0, 0, width, height);
    form->Show();
    Load(ed, MakeText(60 * 252, 250, true), TConvMode{});
    for (int row = 0; row < ed->GetLinesCount(); ++row)
    {
        TColAttrList* attrs = ed->GetColAttrs(row);
        for (int i = 0; i < attrs->GetCount(); ++i)
        {
            TColAttrListItem* item = attrs->GetItem(i);
            item->OwnColor = true;
            item->Color = TColor(0x202020 * ((i / 4) % 6));
        }
    }
    ed->SelArea()->PutStartPoint(TPoint(30, 10));
    ed->SelArea()->PutEndPoint(TPoint(120, 45));
    std::printf("screen %d x %d cells (%d x %d px), attribute on every byte, selection: %.2f ms per paint\n",
                ed->GetDspRowCount(), ed->GetDspColCount(), width, height, PaintMs(ed, 50));

    // 2. The big text, by pages from top to bottom.
    form->SetBounds(0, 0, 800, 600);
    ed->SetBounds(0, 0, 800, 600);
    ed->SelArea()->PutEndPoint(ed->SelArea()->AnchorPoint());
    std::string big = MakeText(mb * 1024 * 1024, 200, true);
    Load(ed, big, TConvMode{cmFoldLine});
    big.clear();
    big.shrink_to_fit();
    ed->SetFocus();
    std::printf("a screen of the %zu MB text: %.2f ms per paint\n", mb, PaintMs(ed, 20));
    // The first thousand pages, then the last thousand down to the end: the whole text by pages
    // would take minutes at the same rate.
    auto pageDown = [&](int most) {
        int pages = 0;
        for (; pages < most; ++pages)
        {
            int top = ed->GetTopLine();
            SendMessageW(ed->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
            SendMessageW(ed->Handle(), WM_VSCROLL, SB_ENDSCROLL, 0);
            if (ed->GetTopLine() == top)
                break;
        }
        return pages;
    };
    double t0 = NowMs();
    int pages = pageDown(1000);
    ed->SetTopLine(std::max(ed->GetTopLine(), ed->GetLinesCount() - 1000 * ed->GetDspRowCount()));
    pages += pageDown(INT_MAX);
    double t1 = NowMs();
    std::printf("%zu MB text, %d rows: %d pages down to row %d in %.0f ms, %.0f pages per second\n", mb,
                ed->GetLinesCount(), pages, ed->GetTopLine(), t1 - t0, pages / ((t1 - t0) / 1000.0));
    Load(ed, "", TConvMode{});
    std::printf("empty text: %.2f ms per paint\n", PaintMs(ed, 50));

    // 3. A 64 KB row without wrapping, scrolled to its middle.
    Load(ed, MakeText(65536, 0, false), TConvMode{});
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 32768, 0};
    ed->SetScrollBars(ssBoth);
    SetScrollInfo(ed->Handle(), SB_HORZ, &si, TRUE);
    SendMessageW(ed->Handle(), WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
    std::printf("64 KB row (%d bytes) at column %d: %.2f ms per paint\n", ed->GetLine(0).Length(), ed->GetLeftCol(),
                PaintMs(ed, 50));
    delete form;
    return 0;
}
