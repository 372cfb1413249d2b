// Editing figures on large texts: select all and delete, undo and redo; a paste of 100,000 lines
// at the top of a 100,000-row text; a word move across a 64 KB row; searches for an absent pattern.
// Usage: edit_bench [megabytes]   (default 100)
#include "BenchUtil.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "editor_control/AFEdit.h"
#include "platform/Forms.h"

namespace
{
std::string Text(size_t bytes)
{
    const char* words[] = {"the", "editor", "漢字", "かな", "カタカナ", "value", "。", "0123", "\t"};
    std::string s;
    s.reserve(bytes + 256);
    uint32_t x = 99;
    while (s.size() < bytes)
    {
        x = x * 1103515245u + 12345u;
        size_t len = (x >> 8) % 120;
        size_t start = s.size();
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

std::unique_ptr<TAFEdit> Load(const std::string& text)
{
    std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
    TStringStream stream(AnsiString(text.data(), int(text.size())));
    ed->LoadFromStream(&stream, TConvMode{cmFoldLine});
    return ed;
}

void Report(const char* what, double ms, int rows) { std::printf("%-52s %9.1f ms  rows %9d  peak %zu MB\n", what, ms, rows, PeakMb()); }
} // namespace

int main(int argc, char** argv)
{
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 100;
    Application->Initialize();
    {
        std::string text = Text(mb * 1024 * 1024);
        auto ed = Load(text);
        text.clear();
        text.shrink_to_fit();
        for (TSearchOpts opts : {TSearchOpts(), TSearchOpts{soIgnoreCase}})
        {
            int last = ed->GetLinesCount() - 1;
            double t0 = NowMs();
            TPoint f = ed->Search("absent-pattern", TPoint(0, 0), TPoint(ed->GetLine(last).Length(), last), opts);
            double t1 = NowMs();
            TPoint b = ed->Search("absent-pattern", TPoint(ed->GetLine(last).Length(), last), TPoint(0, 0),
                                  TSearchOpts(opts) << soReverse);
            double t2 = NowMs();
            Report(opts.Contains(soIgnoreCase) ? "search absent, ignoring case, forward" : "search absent, forward",
                   t1 - t0, f.x);
            Report(opts.Contains(soIgnoreCase) ? "search absent, ignoring case, backward" : "search absent, backward",
                   t2 - t1, b.x);
        }
        double t0 = NowMs();
        ed->SelectAll();
        ed->SelectAreaDel();
        double t1 = NowMs();
        Report("select all and delete", t1 - t0, ed->GetLinesCount());
        ed->Undo();
        double t2 = NowMs();
        Report("undo", t2 - t1, ed->GetLinesCount());
        ed->Redo();
        double t3 = NowMs();
        Report("redo", t3 - t2, ed->GetLinesCount());
    }
    {
        std::string rows;
        for (int i = 0; i < 100000; ++i)
            rows += "row " + std::to_string(i) + "\r\n";
        auto ed = Load(rows);
        ed->SetCaretRaw(TPoint(0, 0));
        double t0 = NowMs();
        ed->PasteText(AnsiString(rows));
        double t1 = NowMs();
        Report("paste 100,000 lines at the top of 100,000 rows", t1 - t0, ed->GetLinesCount());
    }
    {
        // One word of 64 KB: a single Ctrl+Right crosses the whole row.
        std::string row(60000, 'w');
        row += " end";
        std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
        ed->SetOptions(TAFEditOptions());
        TStringStream stream(AnsiString(row.data(), int(row.size())));
        ed->LoadFromStream(&stream, TConvMode());
        double t0 = NowMs();
        ed->WordRight();
        double t1 = NowMs();
        Report("one Ctrl+Right across a 60,000-byte word", t1 - t0, ed->GetCaret().x);
    }
    return 0;
}
