// Case and width conversions on 1 MB and 5 MB of mixed Japanese text: prints time and throughput.
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>

#include "common/Wstr.h"

namespace
{
// Lines of prose-like text: kanji, hiragana, katakana, half-width kana with marks, ASCII words,
// full-width letters and digits, punctuation.
std::string MakeText(size_t bytes, unsigned seed)
{
    static const char* pieces[] = {
        "日本語の文章を", "変換します。", "テキストエディタ", "ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ﾊﾟﾋﾟﾌﾟ", "ｱｲｳｴｵ",
        "Hello World ", "sample_text ", "ＡＢＣｘｙｚ", "０１２３", "12345 ", "「括弧」、", "がっこう",
        "ヴァイオリン", "ﾃｷｽﾄ ", "漢字かな交じり", "(a+b)*c; ", "\r\n",
    };
    std::mt19937 rng(seed);
    std::string text;
    text.reserve(bytes + 32);
    while (text.size() < bytes)
        text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
    // Cut on a character boundary.
    size_t i = 0;
    for (;;)
    {
        size_t n = IsSjisLead((unsigned char)text[i]) ? 2 : 1;
        if (i + n > bytes)
            break;
        i += n;
    }
    text.resize(i);
    return text;
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
} // namespace

int main()
{
    struct
    {
        const char* name;
        nsString (*fn)(const nsString&);
    } conversions[] = {
        {"ToUpperConvert", ToUpperConvert},       {"ToLowerConvert", ToLowerConvert},
        {"ToSentenceCaseConvert", ToSentenceCaseConvert}, {"ToFullWidthConvert", ToFullWidthConvert},
        {"ToHalfWidthConvert", ToHalfWidthConvert},
    };
    // The tables are built on first use; time that separately.
    double t0 = Seconds();
    ToUpperConvert(nsString("a"));
    std::printf("table build: %.2f ms\n", (Seconds() - t0) * 1000.0);

    for (size_t mb : {1u, 5u})
    {
        const std::string text = MakeText(mb * 1024 * 1024, 1234);
        const nsString input(text.data(), int(text.size()));
        std::printf("\n%zu MB of mixed text (%d bytes)\n", mb, input.Length());
        for (const auto& c : conversions)
        {
            const int runs = 3;
            double best = 1e9;
            int outLen = 0;
            for (int r = 0; r < runs; ++r)
            {
                double start = Seconds();
                nsString out = c.fn(input);
                double elapsed = Seconds() - start;
                outLen = out.Length();
                if (elapsed < best)
                    best = elapsed;
            }
            std::printf("  %-22s %8.2f ms  %8.1f MB/s  (output %d bytes, best of %d)\n", c.name, best * 1000.0,
                        double(input.Length()) / (1024.0 * 1024.0) / best, outLen, runs);
        }
    }
    return 0;
}
