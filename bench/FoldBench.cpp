// Folding figures: a 5 MB single-line file loaded with folding (also with 200,000-character
// line-breaking strings), and one character typed at the start of a 10,000-piece paragraph (which
// re-folds every piece after it).
#include "BenchUtil.h"

#include <cstdio>
#include <memory>
#include <string>

#include "editor_control/AFEdit.h"
#include "platform/Forms.h"

namespace
{
std::string MixedLine(size_t bytes)
{
    const char* words[] = {"漢字", "かな", "word", " ", "。", "0123", "「", "」", "text "};
    std::string s;
    uint32_t x = 7;
    while (s.size() < bytes)
    {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 8) % 9];
    }
    return s;
}
} // namespace

int main()
{
    Application->Initialize();
    for (size_t mb : {1, 5})
    {
        std::string line = MixedLine(mb * 1024 * 1024);
        std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
        ed->SetOptions(TAFEditOptions{aoAutoFormat, aoJpnBanBreak});
        TStringStream stream(AnsiString(line.data(), int(line.size())));
        double t0 = NowMs();
        ed->LoadFromStream(&stream, TConvMode{cmFoldLine});
        double t1 = NowMs();
        std::printf("load %zu MB single line {cmFoldLine}: rows %d  %.1f ms  peak working set %zu MB\n", mb,
                    ed->GetLinesCount(), t1 - t0, PeakMb());
    }
    {
        // Rule strings of 200,000 characters each: a break decision must not cost their length.
        std::string rules;
        while (rules.size() < 400000)
            rules += "ー";
        std::string line = MixedLine(1024 * 1024);
        std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
        ed->SetOptions(TAFEditOptions{aoAutoFormat, aoJpnBanBreak});
        ed->SetBanHead(AnsiString(rules.data(), int(rules.size())) + ed->GetBanHead());
        ed->SetBanEnd(AnsiString(rules.data(), int(rules.size())) + ed->GetBanEnd());
        TStringStream stream(AnsiString(line.data(), int(line.size())));
        double t0 = NowMs();
        ed->LoadFromStream(&stream, TConvMode{cmFoldLine});
        double t1 = NowMs();
        std::printf("load 1 MB single line {cmFoldLine}, 200,000-character rule strings: rows %d  %.1f ms\n",
                    ed->GetLinesCount(), t1 - t0);
    }
    for (int pieces : {1000, 10000})
    {
        std::string para(size_t(pieces) * 60, 'a');
        para += "\r\n";
        std::unique_ptr<TAFEdit> ed(Create<TAFEdit>(nullptr));
        TStringStream stream(AnsiString(para.data(), int(para.size())));
        ed->LoadFromStream(&stream, TConvMode{cmFoldLine});
        double t0 = NowMs();
        ed->SetUndoGroupId(ed->UndoGroupId() + 1);
        ed->LineChange(0, "Z" + ed->GetLine(0), false);
        ed->FoldLine(0);
        double t1 = NowMs();
        std::printf("one character typed at the start of a %d-piece paragraph: %.1f ms, %d undo records\n",
                    pieces, t1 - t0, ed->UndoBuff()->RecordCount());
    }
    return 0;
}
