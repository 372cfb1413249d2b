// The escape conversions: a table of fixed cases, then random texts that must come back unchanged.
#include <gtest/gtest.h>

#include <random>

#include "main_window/TextConvert.h"

namespace
{
struct Case
{
    AnsiString (*convert)(const AnsiString&);
    const char* in;
    const char* out;
};

const Case kCases[] = {
    {SjisToUnicodeEscape, "AB", "\\u41\\u42"},
    {SjisToUnicodeEscape, "文字", "\\u6587\\u5B57"},
    {SjisToUnicodeEscape, "a\r\nb", "\\u61\r\n\\u62"},
    {SjisToUnicodeEscape, "a\rb", "\\u61\r\n\\u62"}, // a lone CR ends the line as CR LF
    {SjisToUnicodeEscape, "a\nb", "\\u61\\uA\\u62"},
    {UnicodeEscapeToSjis, "\\u41\\u42", "AB"},
    {UnicodeEscapeToSjis, "\\u6587x", "文x"},
    {UnicodeEscapeToSjis, "\\U6587\\u5b57", "文字"},
    {UnicodeEscapeToSjis, "\\uZ", "\\uZ"},
    {UnicodeEscapeToSjis, "\\n\\", "\\n\\"},
    {UnicodeEscapeToSjis, "\\u0", "\\u0"},       // no NUL comes out
    {UnicodeEscapeToSjis, "\\u0000x", "\\u0000x"},
    {UnicodeEscapeToSjis, "\\u00410", "A0"},     // four digits at most
    {UnicodeEscapeToSjis, "\\u61\r\n\\u62", "a\r\nb"},
    {UnicodeEscapeToSjis, "ソu41", "ソu41"},     // the 0x5C of ソ is no backslash
    {UnicodeEscapeToSjis, "\\u1\\u9\\uA", "\\u1\t\n"}, // a control a page drops stays written
    {UnicodeEscapeToSjis, "\\u00E9", "\\u00E9"}, // no Shift-JIS character: kept as written
    {UnicodeEscapeToSjis, "\\uD83D\\uDE00", "\\uD83D\\uDE00"},
    {SjisToPercentEscape, "あ", "%82%A0"},
    {SjisToPercentEscape, "a\r\n", "%61%D%A"},
    {PercentEscapeToSjis, "%41%", "A%"},
    {PercentEscapeToSjis, "%82%A0%zz", "あ%zz"},
    {PercentEscapeToSjis, "%00%0|%0a%1B", "%00%0|\n%1B"},
    {PercentEscapeToSjis, "%D%A", "\r\n"},
    {PercentEscapeToSjis, "%4142", "A42"}, // two digits at most
};
} // namespace

TEST(TextConvert, EscapesAndUnescapesAsTheTableSays)
{
    for (const Case& c : kCases)
        EXPECT_EQ(c.convert(c.in), AnsiString(c.out)) << c.in;
}

TEST(TextConvert, RandomTextsComeBackThroughBothEscapes)
{
    // Pieces that trip a byte-wise scanner: backslashes, "u", "%", hex digits, trail bytes equal
    // to '\', line ends, half-width kana.
    const char* const pieces[] = {"A", "u", "0", "f", "\\", "%", " ", "あ", "ソ", "表", "能", "ｱ", "\r\n", "\n", "\t", "～"};
    std::mt19937 random(16);
    for (int round = 0; round < 400; ++round)
    {
        AnsiString text;
        const int n = int(random() % 12);
        for (int i = 0; i < n; ++i)
            text += pieces[random() % std::size(pieces)];
        EXPECT_EQ(UnicodeEscapeToSjis(SjisToUnicodeEscape(text)), text) << text.c_str();
        EXPECT_EQ(PercentEscapeToSjis(SjisToPercentEscape(text)), text) << text.c_str();
    }
}
