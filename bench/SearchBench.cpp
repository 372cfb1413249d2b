// Search figures: a file search over a generated folder tree, replace all on a large page, and a
// batch search that lists 100,000 hits.
#include <cstdio>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "search/GrepProc.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "search/SrchResults.h"

namespace
{
std::string Lines(size_t bytes, unsigned seed)
{
    const char* words[] = {"the", "editor", "漢字", "かな", "needle", "value", "。", "0123", "表示"};
    std::string s;
    s.reserve(bytes + 256);
    uint32_t x = seed;
    while (s.size() < bytes)
    {
        x = x * 1103515245u + 12345u;
        size_t len = (x >> 8) % 100, start = s.size();
        while (s.size() - start < len)
        {
            x = x * 1103515245u + 12345u;
            s += words[(x >> 8) % 9];
            s += ' ';
        }
        s += "\r\n";
    }
    return s;
}

struct THitCounter : TObject
{
    int hits = 0;
    void OnHit(TObject*, typGrepInf*) { ++hits; }
};

class TCountingSink : public TSrchResultsSink
{
public:
    void ClearHits() override { hits = 0; }
    void AddHit(typSrchPack* pack) override
    {
        ++hits;
        delete pack;
    }
    void AddLine(const AnsiString&) override {}
    void ShowResults() override {}
    int hits = 0;
};
} // namespace

int main()
{
    Application->Initialize();
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    AnsiString root = WideToSjis(tmp, int(wcslen(tmp))) + "vn_search_bench\\";
    CreateDirectoryW(SjisToWide(root).c_str(), nullptr);
    // 20 folders of 20 files of 64 KB: about 25 MB.
    size_t total = 0;
    for (int d = 0; d < 20; ++d)
    {
        AnsiString dir = root + "dir" + IntToStr(d) + "\\";
        CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
        for (int f = 0; f < 20; ++f)
        {
            std::string text = Lines(64 * 1024, unsigned(d * 100 + f));
            TFileStream out(dir + "file" + IntToStr(f) + ".txt", fmCreate);
            out.WriteBuffer(text.data(), int(text.size()));
            total += text.size();
        }
    }
    for (bool regex : {false, true})
    {
        THitCounter counter;
        typGrepProc* grep = new typGrepProc(true);
        grep->Setup(root, "*.txt", true, false, false, regex, regex ? "nee+dle" : "needle");
        grep->OnFileFind = TGrepFileFindEvent(&counter, &THitCounter::OnHit);
        double t0 = NowMs();
        grep->Start();
        grep->WaitFor();
        double t1 = NowMs();
        std::printf("file search %s over %zu bytes in 400 files: %d hits, %.1f ms\n",
                    regex ? "(regular expression)" : "(plain)", total, counter.hits, t1 - t0);
        delete grep;
    }

    // Whole words on one long line where every candidate is rejected (a letter before it): the
    // time grows with the line, not with its square.
    for (size_t kb : {64, 256, 1024})
    {
        std::string line;
        while (line.size() < kb * 1024)
            line += "xa ア_a ";
        line += "a\r\n";
        AnsiString dir = root + "word" + IntToStr(int(kb)) + "\\";
        CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
        {
            TFileStream out(dir + "line.txt", fmCreate);
            out.WriteBuffer(line.data(), int(line.size()));
        }
        THitCounter counter;
        typGrepProc* grep = new typGrepProc(true);
        grep->Setup(dir, "*.txt", false, true, true, false, "a");
        grep->OnFileFind = TGrepFileFindEvent(&counter, &THitCounter::OnHit);
        double t0 = NowMs();
        grep->Start();
        grep->WaitFor();
        double t1 = NowMs();
        std::printf("file search, whole word, one %zu KB line: %d hits, %.1f ms\n", kb, counter.hits, t1 - t0);
        delete grep;
    }
    {
        nsRichEdit* page = Create<nsRichEdit>(nullptr);
        std::string row;
        while (row.size() < 60 * 1024)
            row += "xa ア_a ";
        row += "a";
        TStringStream stream(AnsiString(row.data(), int(row.size())));
        page->LoadFromStream(&stream, TConvMode());
        double t0 = NowMs();
        const TPoint hit = page->FindNext(TPoint(0, 0), "a", true, true, false);
        double t1 = NowMs();
        std::printf("page find next, whole word, one %d-byte row: hit at %d, %.1f ms\n", page->GetLine(0).Length(),
                    hit.x, t1 - t0);
        delete page;
    }

    // A rare word at two sizes shows the growth; "a" -> "bb" is the dense case: every few bytes a
    // replacement that lengthens its row and re-folds it.
    struct
    {
        size_t mb;
        const char* pattern;
        const char* replacement;
    } replaces[] = {{2, "needle", "NEEDLE!"}, {10, "needle", "NEEDLE!"}, {1, "a", "bb"}, {5, "a", "bb"}};
    for (const auto& c : replaces)
    {
        nsRichEdit* page = Create<nsRichEdit>(nullptr);
        std::string text = Lines(c.mb * 1024 * 1024, 7);
        TStringStream stream(AnsiString(text.data(), int(text.size())));
        page->LoadFromStream(&stream, TConvMode{cmFoldLine});
        TReplaceRequest request;
        request.Pattern = c.pattern;
        request.Replacement = c.replacement;
        double t0 = NowMs();
        TReplaceAllResult r = ReplaceAll(*page, request, [](const AnsiString&) { return 0; });
        double t1 = NowMs();
        std::printf("replace all \"%s\" -> \"%s\" on a %zu MB page: %d replaced, %.1f ms, peak %zu MB\n", c.pattern,
                    c.replacement, c.mb, r.Replaced, t1 - t0, PeakMb());
        delete page;
    }

    {
        nsRichEdit* page = Create<nsRichEdit>(nullptr);
        std::string text;
        for (int i = 0; i < 100000; ++i)
            text += "row with a needle in it\r\n";
        TStringStream stream(AnsiString(text.data(), int(text.size())));
        page->LoadFromStream(&stream, TConvMode{cmFoldLine});
        TSrchForm* form = Create<TSrchForm>(nullptr);
        form->ActiveEditor = [page] { return page; };
        form->OpenEditors = [page] { return std::vector<nsRichEdit*>{page}; };
        form->SettingsKey = "Software\\VarnoletBench";
        form->SrchStrCBox->SetText("needle");
        TCountingSink sink;
        TSrchResultsSink* old = SetSrchResultsSink(&sink);
        double t0 = NowMs();
        form->AllSrchBtnClick(nullptr);
        double t1 = NowMs();
        SetSrchResultsSink(old);
        std::printf("batch search listing %d hits: %.1f ms\n", sink.hits, t1 - t0);
        delete form;
        delete page;
    }
    return 0;
}
