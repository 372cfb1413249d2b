// Document figures, each beside a floor program doing the least the same work needs; one case per
// run of the program, so that each peak working set is that case's own (bench/doc_bench.sh runs
// them all and prints the table).
//   doc_bench make-text FILE MB      Shift-JIS text of MB megabytes (lines of 0 to ~200 bytes)
//   doc_bench make-short FILE MB     lines of 0 to 9 bytes: about 16 M lines per 100 MB
//   doc_bench open FILE fold|nofold RUNS   the editor control opens FILE (fold: at 60 columns)
//   doc_bench floor FILE RUNS        the floor loader: ReadFile in large blocks, split into lines,
//                                    one small record per line
//   doc_bench key RUNS               a keystroke at the start of a 10,000-piece paragraph where every
//                                    piece changes ('a' and kana), and the floor's re-split of it
//   doc_bench pagekey RUNS           the same keystroke on the editor page in a shown window with its
//                                    repaint, and one at the top of 16 MB of full-width spaces; these
//                                    print table rows ("@row", see BenchUtil.h)
//   doc_bench type N                 N keystrokes there, stopping early at a memory or time guard
//   doc_bench page FILE PAGES        page down from the top and from the middle of FILE (folded),
//                                    then a keystroke at its top
// Times are the best of RUNS. Result lines start with "@ " and hold name=value fields.
#include "BenchUtil.h"
#include "OpenFloor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "editor_control/AFEdit.h"
#include "editor_page/DrawLineThread.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"

namespace
{
constexpr size_t kMb = 1024 * 1024;
constexpr int kPieces = 10000;
constexpr int kFoldAt = 60;

size_t WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.WorkingSetSize / kMb;
}

// Bytes the C heap has handed out and not yet taken back (a walk over its blocks).
double HeapInUseMb()
{
    _HEAPINFO info = {};
    size_t used = 0;
    while (_heapwalk(&info) == _HEAPOK)
        if (info._useflag == _USEDENTRY)
            used += info._size;
    return double(used) / double(kMb);
}

std::wstring Wide(const char* path) { return SjisToWide(AnsiString(path)); }

// ---- test files ---------------------------------------------------------------------------------

bool WriteRepeated(const char* path, const std::string& piece, size_t bytes)
{
    HANDLE f = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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

// A big text repeats 100 MB of MakeText; its last line may be cut short.
bool MakeTextFile(const char* path, size_t mb) { return WriteRepeated(path, MakeText(std::min<size_t>(mb, 100) * kMb), mb * kMb); }

bool MakeShortLines(const char* path, size_t mb)
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
    return WriteRepeated(path, s, mb * kMb);
}

// ---- the floor ----------------------------------------------------------------------------------

// Cuts a paragraph into pieces of at most width columns (a double-byte character is two columns
// and is never cut): one record of offset and length per piece.
void FloorSplit(const std::string& text, int width, std::vector<std::pair<uint32_t, uint32_t>>& pieces)
{
    pieces.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t start = 0;
    int col = 0;
    for (size_t i = 0; i < n;)
    {
        const int w = IsSjisLead(s[i]) && i + 1 < n ? 2 : 1;
        if (col + w > width)
        {
            pieces.emplace_back(uint32_t(start), uint32_t(i - start));
            start = i;
            col = 0;
        }
        col += w;
        i += size_t(w);
    }
    pieces.emplace_back(uint32_t(start), uint32_t(n - start));
}

// ---- the editor ---------------------------------------------------------------------------------

struct TWindow
{
    TForm* form = nullptr;
    TAFEdit* ed = nullptr;
    TWindow()
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        ed = Create<TAFEdit>(form);
        ed->SetVisible(true);
        form->SetBounds(0, 0, 800, 600);
        ed->SetBounds(0, 0, 800, 600);
        form->Show();
        ed->SetFocus();
    }
    ~TWindow() { delete form; }
    // As a typed character arrives: UTF-16 in WM_CHAR, the control gets its Shift-JIS bytes.
    void Type(wchar_t c) { SendMessageW(ed->Handle(), WM_CHAR, WPARAM(c), 1); }
};

// The editor page as a tab holds it, in a shown window, folding at kFoldAt with the settings'
// defaults otherwise.
struct TPageWindow
{
    TForm* form = nullptr;
    nsRichEdit* page = nullptr;
    TPageWindow()
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 800, 600);
        page = Create<nsRichEdit>(form);
        page->SetAlign(alClient);
        VN::typEditSetting setting = VN::EditSettingDefaults();
        setting.ISWRAP = true;
        setting.WRAPWIDTH = kFoldAt;
        ApplyEditSetting(page, setting);
        page->SetVisible(true);
        form->Show();
        page->SetFocus();
        Settle();
    }
    ~TPageWindow() { delete form; }
    // Until the screen shows the page as it now is: pending paints done, the drawing thread idle.
    void Settle()
    {
        for (;;)
        {
            UpdateWindow(form->Handle());
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            CheckSynchronize();
            DrawLineThread* t = page->DrawThread();
            RECT r;
            if ((!t || (t->RequestCount() == 0 && !t->Busy())) && !GetUpdateRect(page->Handle(), &r, FALSE))
                return;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
    }
    // A typed character as the window gets it, and the repaint that follows.
    void Type(wchar_t c)
    {
        SendMessageW(page->Handle(), WM_CHAR, WPARAM(c), 1);
        Settle();
    }
};

// One paragraph of mixed ASCII and double-byte words, exactly kPieces pieces when cut at kFoldAt
// columns; typing at its front moves every cut.
std::string Paragraph()
{
    const char* words[] = {"abc", "かな", "漢字", "value", "0123", "テキスト", "x", "表示"};
    std::string s;
    uint32_t x = 3;
    std::vector<std::pair<uint32_t, uint32_t>> pieces;
    while (s.size() < size_t(kPieces) * (kFoldAt - 1))
    {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 8) % 8];
    }
    // Short of kPieces by d: 30 d + 1 more bytes add at least one piece and at most d.
    for (FloorSplit(s, kFoldAt, pieces); int(pieces.size()) < kPieces; FloorSplit(s, kFoldAt, pieces))
        s.append(size_t(kPieces - int(pieces.size())) * 30 + 1, 'x');
    return s;
}

void LoadParagraph(TWindow& w, const std::string& para)
{
    TStringStream stream(AnsiString(para.data(), int(para.size())) + "\r\n");
    w.ed->LoadFromStream(&stream, TConvMode{cmFoldLine});
    w.ed->SetCaret(TPoint(0, 0));
}

void LoadParagraph(TPageWindow& w, const std::string& para)
{
    TStringStream stream(AnsiString(para.data(), int(para.size())) + "\r\n");
    w.page->LoadFromStream(&stream, TConvMode{cmFoldLine});
    w.page->SetCaret(TPoint(0, 0));
    w.page->SetTopLine(0);
    w.Settle();
}

// A paragraph of full-width spaces of the given size: every cut moves when one byte goes in.
std::string WideParagraph(size_t bytes)
{
    std::string s;
    s.reserve(bytes);
    while (s.size() + 2 <= bytes)
        s += "\x81\x40";
    return s;
}

// A keystroke on the editor page as the user has it: WM_CHAR to the page's window in a shown
// window and the repaint that follows, on a page just loaded (a fresh window each run). The floor
// puts the same bytes into a plain buffer and cuts the whole paragraph anew.
void PageKeyRow(const char* work, const std::string& para, wchar_t ch, const char* sjis, int runs, double target,
                double targetMs)
{
    double best = 0, floorBest = 0;
    int rows = 0;
    bool same = true;
    std::vector<std::pair<uint32_t, uint32_t>> pieces;
    for (int i = 0; i < runs; ++i)
    {
        TPageWindow w;
        LoadParagraph(w, para);
        const double t0 = NowMs();
        w.Type(ch);
        const double ms = NowMs() - t0;
        best = i == 0 || ms < best ? ms : best;
        rows = w.page->GetLinesCount();
        same = same && w.page->GetLine(0).view().starts_with(sjis) && w.page->GetCaret() == TPoint(int(std::strlen(sjis)), 0);

        std::string text = para;
        const double f0 = NowMs();
        text.insert(0, sjis);
        FloorSplit(text, kFoldAt, pieces);
        const double fms = NowMs() - f0;
        floorBest = i == 0 || fms < floorBest ? fms : floorBest;
    }
    // The page's rows are the paragraph's pieces and the empty row after it.
    same = same && size_t(rows) == pieces.size() + 1;
    std::printf("# %s: now %.2f ms, floor %.2f ms, %d rows, %zu pieces%s\n", work, best, floorBest, rows,
                pieces.size(), same ? "" : ", rows DIFFER from the floor's");
    char now[96];
    std::snprintf(now, sizeof now, "%.2f ms%s%s", best,
                  targetMs > 0 ? (best <= targetMs ? " (target 20 ms met)" : " (target 20 ms MISSED)") : "",
                  same ? "" : ", rows DIFFER");
    PrintRow(work, now, floorBest, best, "the paragraph cut anew in a plain buffer", target);
}

int PageKey(int runs)
{
    const std::string para = Paragraph();
    PageKeyRow("keystroke ('a') at the start of a 10,000-piece paragraph, editor page shown, with its repaint",
               para, L'a', "a", runs, 3, 0);
    PageKeyRow("keystroke (kana) at the start of a 10,000-piece paragraph, editor page shown, with its repaint",
               para, L'\x3042', "\x82\xA0", runs, 3, 0);
    PageKeyRow("keystroke ('a') at the top of a 16 MB paragraph of full-width spaces, editor page shown",
               WideParagraph(16 * kMb), L'a', "a", runs, 0, 20);
    return 0;
}

// ---- the cases ----------------------------------------------------------------------------------

int Open(const char* path, bool fold, int runs)
{
    double best = 0;
    int rows = 0;
    for (int i = 0; i < runs; ++i)
    {
        const double t0 = NowMs();
        try
        {
            std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
            ed->LoadFromFile(path, fold ? TConvMode{cmFoldLine} : TConvMode());
            const double ms = NowMs() - t0;
            rows = ed->GetLinesCount();
            best = i == 0 || ms < best ? ms : best;
        }
        catch (const std::bad_alloc&)
        {
            std::printf("@ after=%.0f peak=%zu fail=std::bad_alloc\n", NowMs() - t0, PeakMb());
            return 1;
        }
        catch (const std::exception& e)
        {
            std::printf("@ after=%.0f peak=%zu fail=%s\n", NowMs() - t0, PeakMb(), e.what());
            return 1;
        }
    }
    std::printf("@ ms=%.1f peak=%zu rows=%d\n", best, PeakMb(), rows);
    return 0;
}

int Floor(const char* path, int runs)
{
    double best = 0;
    size_t rows = 0;
    for (int i = 0; i < runs; ++i)
    {
        const double t0 = NowMs();
        try
        {
            TFloorDoc doc;
            if (!FloorLoad(Wide(path), doc))
            {
                std::printf("@ after=0 peak=%zu fail=cannot read the file\n", PeakMb());
                return 1;
            }
            const double ms = NowMs() - t0;
            rows = doc.Rows();
            best = i == 0 || ms < best ? ms : best;
        }
        catch (const std::bad_alloc&)
        {
            std::printf("@ after=%.0f peak=%zu fail=std::bad_alloc\n", NowMs() - t0, PeakMb());
            return 1;
        }
    }
    std::printf("@ ms=%.1f peak=%zu rows=%zu\n", best, PeakMb(), rows);
    return 0;
}

int Key(int runs)
{
    const std::string para = Paragraph();
    struct TKey
    {
        const char* name;
        wchar_t ch;
        const char* sjis;
    } keys[] = {{"a", L'a', "a"}, {"kana", L'\x3042', "あ"}};
    for (const TKey& k : keys)
    {
        double best = 0;
        double again = 0;
        double floorBest = 0;
        int records = 0;
        int rows = 0;
        double grew = 0;
        std::vector<std::pair<uint32_t, uint32_t>> pieces;
        for (int i = 0; i < runs; ++i)
        {
            // A new editor each time: the keystroke is its first change.
            TWindow w;
            LoadParagraph(w, para);
            rows = w.ed->GetLinesCount(); // the pieces and the empty row after the paragraph
            const double heap = HeapInUseMb();
            const double t0 = NowMs();
            w.Type(k.ch);
            const double ms = NowMs() - t0;
            records = w.ed->UndoBuff()->Position();
            grew = HeapInUseMb() - heap;
            best = i == 0 || ms < best ? ms : best;
            // The same keystroke once more after undoing it.
            w.ed->Undo();
            w.ed->SetCaret(TPoint(0, 0));
            const double a0 = NowMs();
            w.Type(k.ch);
            const double ams = NowMs() - a0;
            again = i == 0 || ams < again ? ams : again;

            std::string text = para;
            const double f0 = NowMs();
            text.insert(0, k.sjis);
            FloorSplit(text, kFoldAt, pieces);
            const double fms = NowMs() - f0;
            floorBest = i == 0 || fms < floorBest ? fms : floorBest;
        }
        std::printf("@ key=%s ms=%.2f floor=%.3f records=%d undo=%.2f rows=%d floorrows=%zu again=%.1f\n", k.name, best,
                    floorBest, records, grew, rows, pieces.size(), again);
    }
    return 0;
}

int Type(int count)
{
    // A 32-bit process must stop well before its address space ends: past that the editor shows
    // an out-of-memory box and the run would hang.
    const size_t guardMb = 1536;
    const double guardMs = 300000;
    const std::string para = Paragraph();
    TWindow w;
    LoadParagraph(w, para);
    const double heap = HeapInUseMb();
    const wchar_t keys[] = {L'a', L'\x3042'};
    const double t0 = NowMs();
    int typed = 0;
    const char* stop = "done";
    try
    {
        for (; typed < count; ++typed)
        {
            if (WorkingSetMb() > guardMb)
            {
                stop = "memory-guard";
                break;
            }
            if (NowMs() - t0 > guardMs)
            {
                stop = "time-guard";
                break;
            }
            w.Type(keys[typed % 2]);
        }
    }
    catch (const std::bad_alloc&)
    {
        stop = "std::bad_alloc";
    }
    const double ms = NowMs() - t0;
    std::printf("@ typed=%d stop=%s ms=%.0f per=%.2f grew=%.0f peak=%zu records=%d\n", typed, stop, ms,
                typed ? ms / typed : 0.0, HeapInUseMb() - heap, PeakMb(), w.ed->UndoBuff()->Position());
    return 0;
}

int Page(const char* path, int pages)
{
    TWindow w;
    w.ed->LoadFromFile(path, TConvMode{cmFoldLine});
    UpdateWindow(w.ed->Handle());
    const int rows = w.ed->GetLinesCount();
    auto down = [&](int most) {
        int n = 0;
        for (; n < most; ++n)
        {
            const int top = w.ed->GetTopLine();
            SendMessageW(w.ed->Handle(), WM_KEYDOWN, VK_NEXT, 1);
            SendMessageW(w.ed->Handle(), WM_KEYUP, VK_NEXT, 0xC0000001);
            UpdateWindow(w.ed->Handle());
            if (w.ed->GetTopLine() == top)
                break;
        }
        return n;
    };
    const double t0 = NowMs();
    int done = down(pages);
    w.ed->SetCaret(TPoint(0, rows / 2));
    w.ed->SetTopLine(rows / 2);
    UpdateWindow(w.ed->Handle());
    const double t1 = NowMs();
    done += down(pages);
    const double t2 = NowMs();
    const double ms = (t1 - t0) + (t2 - t1);

    double key = 0;
    for (int i = 0; i < 5; ++i)
    {
        w.ed->SetCaret(TPoint(0, 0));
        w.ed->SetTopLine(0);
        UpdateWindow(w.ed->Handle());
        const double k0 = NowMs();
        w.Type(L'a');
        const double k = NowMs() - k0;
        key = i == 0 || k < key ? k : key;
    }
    std::printf("@ pages=%d ms=%.0f rate=%.1f rows=%d key=%.3f\n", done, ms, done / (ms / 1000.0), rows, key);
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: doc_bench make-text|make-short FILE MB | open FILE fold|nofold RUNS | floor FILE RUNS"
                         " | key RUNS | pagekey RUNS | type N | page FILE PAGES\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string what = argv[1];
    const int n = std::max(1, std::atoi(argv[argc - 1]));
    try
    {
        Application->Initialize();
        if (what == "make-text" && argc == 4)
            return MakeTextFile(argv[2], size_t(n)) ? 0 : 1;
        if (what == "make-short" && argc == 4)
            return MakeShortLines(argv[2], size_t(n)) ? 0 : 1;
        if (what == "open" && argc == 5)
            return Open(argv[2], std::string(argv[3]) == "fold", n);
        if (what == "floor" && argc == 4)
            return Floor(argv[2], n);
        if (what == "key" && argc == 3)
            return Key(n);
        if (what == "type" && argc == 3)
            return Type(n);
        if (what == "pagekey" && argc == 3)
            return PageKey(n);
        if (what == "page" && argc == 4)
            return Page(argv[2], n);
        return Usage();
    }
    catch (const std::exception& e)
    {
        std::printf("@ fail=%s\n", e.what());
        return 1;
    }
}
