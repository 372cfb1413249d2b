// Regular-expression search over 16 MB of mixed Japanese lines, every hit of every line, as the file
// search steps through them; then pathological patterns on long lines. Prints time, MB/s and hits.
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "search/Regexp.h"

namespace
{
std::vector<std::string> MakeLines(size_t bytes, unsigned seed)
{
    static const char* pieces[] = {
        "日本語の文章を", "検索します。", "テキストエディタ", "ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ソフト表示", "ｱｲｳｴｵ",
        "Hello World ", "sample_text ", "ＡＢＣｘｙｚ", "０１２３", "12345 ", "「括弧」、", "int main(void) ",
        "return 0; ", "error: ", "C:\\work\\表\\", "漢字かな交じり", "(a+b)*c; ", "x = 42; ",
    };
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    size_t total = 0;
    while (total < bytes)
    {
        std::string line;
        const size_t words = 3 + rng() % 20;
        for (size_t i = 0; i < words; ++i)
            line += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        line += '\n';
        total += line.size();
        lines.push_back(std::move(line));
    }
    return lines;
}

double Seconds()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(freq.QuadPart);
}

void Run(const char* name, const char* pattern, bool ignoreCase, const std::vector<std::string>& lines)
{
    TRegexp re(pattern, ignoreCase);
    size_t bytes = 0, hits = 0;
    const double t0 = Seconds();
    for (const std::string& line : lines)
    {
        bytes += line.size();
        int start = 0, pos = 0, len = 0;
        while (re.FindNext(line.data(), int(line.size()), start, pos, len))
            ++hits;
    }
    const double dt = Seconds() - t0;
    std::printf("%-28s %8.3f s %9.1f MB/s %10zu hits\n", name, dt, double(bytes) / 1e6 / dt, hits);
}
} // namespace

int main()
{
    const std::vector<std::string> lines = MakeLines(16u << 20, 7);
    std::printf("16 MB, %zu lines\n", lines.size());
    Run("literal rare", "xyzzy", false, lines);
    Run("literal common", "return", false, lines);
    Run("literal kanji", "漢字", false, lines);
    Run("ignoring case", "hello", true, lines);
    Run("class and closure", "[0-9]+", false, lines);
    Run("dot star", "int.*0;", false, lines);
    Run("anchored", "^日本", false, lines);
    Run("line end", "\\\\$", false, lines);
    Run("negated class", "[^a-z ]+", false, lines);
    Run("empty hits", "q*", false, lines);

    std::printf("pathological, one 64 KB line each\n");
    const std::vector<std::string> as(1, std::string(65536, 'a'));
    Run("a*a*a*a*a*c", "a*a*a*a*a*c", false, as);
    Run(".*.*.*.*.*x", ".*.*.*.*.*x", false, as);
    std::string kanji;
    while (kanji.size() < 65536)
        kanji += "表";
    Run(".*\\\\ over 表", ".*\\\\", false, std::vector<std::string>(1, kanji));
    std::string opt;
    for (int i = 0; i < 30; ++i)
        opt += "a?";
    for (int i = 0; i < 30; ++i)
        opt += "a";
    Run("a?{30}a{30}", opt.c_str(), false, std::vector<std::string>(1, std::string(29, 'a')));

    // The longest closure chain a program holds on long lines: the work grows with the line alone.
    std::string chain;
    for (int i = 0; i < 63; ++i)
        chain += "a*";
    chain += "c";
    for (size_t mb : {1, 5})
    {
        const std::vector<std::string> line(1, std::string(mb << 20, 'a'));
        Run(mb == 1 ? "(a*){63}c, 1 MB line" : "(a*){63}c, 5 MB line", chain.c_str(), false, line);
    }
    return 0;
}
