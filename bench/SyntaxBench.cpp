// Syntax-colouring figures: building the comment model of a large C file, a keystroke at its top,
// and drawing screens of it with 100 emphasized strings.
// Usage: syntax_bench [lines]   (default 100000)
#include "BenchUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"

namespace
{
std::string CSource(int lines)
{
    const char* rows[] = {"#include <stdio.h>", "/* a block comment", "   that goes on */", "int main(void) {",
                          "    printf(\"%d \\\"x\\\"\\n\", 0x1F + 42); // the answer", "    char c = '\\'';",
                          "    return 0; /* done */", "}", "    double d = 3.14e5;", "    const char* s = \"漢字ソ\";"};
    std::string s;
    for (int i = 0; i < lines; ++i)
    {
        s += rows[i % 10];
        s += "\r\n";
    }
    return s;
}
} // namespace

int main(int argc, char** argv)
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    Application->Initialize();
    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 800, 600);
    nsRichEdit* page = Create<nsRichEdit>(form);
    page->SetAlign(alClient);
    page->SetVisible(true);
    form->Show();
    page->StopDrawThread();
    const std::string text = CSource(lines);
    page->SetText(AnsiString(text.data(), int(text.size())));

    double t0 = NowMs();
    page->SetCommentMode(cmmCCPP);
    double t1 = NowMs();
    std::printf("comment model of a %d-line C file: %.1f ms, %d marks, peak working set %zu MB\n", lines, t1 - t0,
                page->CommentList().Marks.Count(), PeakMb());

    page->SetCaret(TPoint(0, 0));
    const int keys = 200;
    t0 = NowMs();
    for (int i = 0; i < keys; ++i)
        page->KeyInput(i % 2 ? "*" : "/"); // opens and closes comments at the top
    t1 = NowMs();
    std::printf("keystroke at the top: %.3f ms each (%d keys)\n", (t1 - t0) / keys, keys);

    TStringList words;
    for (int i = 0; i < 50; ++i)
    {
        words.Add(AnsiString("word") + AnsiString(i));
        words.Add(AnsiString("漢字") + AnsiString(i));
    }
    page->SetKeyWords(&words);
    const int screens = 200;
    const int view = std::max(1, page->GetDspRowCount());
    t0 = NowMs();
    for (int i = 0; i < screens; ++i)
    {
        page->SetTopLine((i * view) % std::max(1, page->GetLinesCount() - view));
        page->DrawRows(page->GetTopLine(), page->GetTopLine() + view);
    }
    t1 = NowMs();
    std::printf("drawing a screen of %d rows with 100 emphasized strings: %.2f ms, peak working set %zu MB\n", view,
                (t1 - t0) / screens, PeakMb());
    delete form;
    return 0;
}
