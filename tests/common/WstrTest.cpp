#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/Wstr.h"
#include "platform/Cp932.h"

namespace
{
std::string Bytes(const nsString& s) { return std::string(s.c_str(), size_t(s.Length())); }

std::string Hex(const std::string& s)
{
    std::string r;
    char buf[4];
    for (unsigned char b : s)
    {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        r += buf;
    }
    return r;
}

// Splits Shift-JIS text into characters (one or two bytes each).
std::vector<std::string> Chars(const std::string& s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();)
    {
        size_t n = (IsSjisLead((unsigned char)s[i]) && i + 1 < s.size()) ? 2 : 1;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

using ConvFn = nsString (*)(const nsString&);

std::string Conv(ConvFn f, const std::string& s) { return Bytes(f(nsString(s.data(), int(s.size())))); }

// The partner tables, written out independently of the library.
const std::string kHiragana = "をぁぃぅぇぉゃゅょっあいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわん";
const std::string kKatakana = "ヲァィゥェォャュョッアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";
const std::string kHalfKana = "ｦｧｨｩｪｫｬｭｮｯｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝ";
const std::string kVoicedHiragana = "がぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽ";
const std::string kVoicedKatakana = "ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポヴ";
const std::string kHalfVoiced = "ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟｳﾞ";
const std::string kAscii = " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                           "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~｡｢｣､･ｰﾞﾟ";
const std::string kFull = "　ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ"
                          "０１２３４５６７８９"
                          "！”＃＄％＆’（）＊＋，－．／：；＜＝＞？＠［￥］＾＿｀｛｜｝￣。「」、・ー゛゜";
} // namespace

TEST(WidthConversion, EveryKanaPairConvertsBothWays)
{
    auto half = Chars(kHalfKana), kata = Chars(kKatakana), hira = Chars(kHiragana);
    ASSERT_EQ(half.size(), 55u);
    ASSERT_EQ(kata.size(), 55u);
    ASSERT_EQ(hira.size(), 55u);
    for (size_t i = 0; i < half.size(); ++i)
    {
        EXPECT_EQ(Conv(ToFullWidthConvert, half[i]), kata[i]) << i;
        EXPECT_EQ(Conv(ToHalfWidthConvert, kata[i]), half[i]) << i;
        EXPECT_EQ(Conv(ToHalfWidthConvert, hira[i]), half[i]) << i;
    }
}

TEST(WidthConversion, EveryVoicedPairConvertsBothWays)
{
    auto pairs = Chars(kHalfVoiced), kata = Chars(kVoicedKatakana), hira = Chars(kVoicedHiragana);
    ASSERT_EQ(pairs.size(), 52u);
    ASSERT_EQ(kata.size(), 26u);
    ASSERT_EQ(hira.size(), 25u);
    for (size_t i = 0; i < kata.size(); ++i)
    {
        const std::string pair = pairs[2 * i] + pairs[2 * i + 1];
        EXPECT_EQ(Conv(ToFullWidthConvert, pair), kata[i]) << i;
        EXPECT_EQ(Conv(ToHalfWidthConvert, kata[i]), pair) << i;
        if (i < hira.size())
        {
            EXPECT_EQ(Conv(ToHalfWidthConvert, hira[i]), pair) << i;
        }
    }
}

TEST(WidthConversion, EveryLetterDigitAndSymbolPairConvertsBothWays)
{
    auto ascii = Chars(kAscii), full = Chars(kFull);
    ASSERT_EQ(ascii.size(), full.size());
    for (size_t i = 0; i < ascii.size(); ++i)
    {
        EXPECT_EQ(Conv(ToFullWidthConvert, ascii[i]), full[i]) << Hex(ascii[i]);
        EXPECT_EQ(Conv(ToHalfWidthConvert, full[i]), ascii[i]) << Hex(full[i]);
    }
}

TEST(WidthConversion, MarksAndSequencesConvertAsExpected)
{
    struct Case
    {
        ConvFn f;
        const char* in;
        const char* out;
    } cases[] = {
        {ToFullWidthConvert, "ｶﾞ", "ガ"},
        {ToFullWidthConvert, "ｶ", "カ"},
        {ToFullWidthConvert, "ﾞ", "゛"},
        {ToFullWidthConvert, "ﾟ", "゜"},
        {ToFullWidthConvert, "ｱﾞ", "ア゛"},     // no voiced ア: the mark stands on its own
        {ToFullWidthConvert, "ｶﾟ", "カ゜"},
        {ToFullWidthConvert, "Aﾞ", "Ａ゛"},
        {ToFullWidthConvert, "ﾊﾟﾊﾞﾊ", "パバハ"},
        {ToFullWidthConvert, "ｳﾞｧ", "ヴァ"},
        {ToFullWidthConvert, "ﾞﾞ", "゛゛"},
        {ToFullWidthConvert, "漢字 ｶﾅ", "漢字　カナ"},
        {ToFullWidthConvert, "\\~", "￥￣"},
        {ToHalfWidthConvert, "が", "ｶﾞ"},
        {ToHalfWidthConvert, "ヴ", "ｳﾞ"},
        {ToHalfWidthConvert, "゛", "ﾞ"},
        {ToHalfWidthConvert, "ー", "ｰ"},
        {ToHalfWidthConvert, "　", " "},
        {ToHalfWidthConvert, "ヵヶゎ漢字", "ヵヶゎ漢字"},
        {ToHalfWidthConvert, "がっこう", "ｶﾞｯｺｳ"},
        {ToHalfWidthConvert, "０", "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Conv(c.f, c.in), c.out) << Hex(c.in);
}

TEST(CaseConversion, UpperLowerAndSentenceCase)
{
    struct Case
    {
        ConvFn f;
        const char* in;
        const char* out;
    } cases[] = {
        {ToUpperConvert, "abcａｂｃ漢字かなアα", "ABCＡＢＣ漢字かなアα"},
        {ToLowerConvert, "ABCＡＢＣ漢字かなアΑ", "abcａｂｃ漢字かなアΑ"},
        {ToUpperConvert, "ｱｲｳ 123 !", "ｱｲｳ 123 !"},
        {ToSentenceCaseConvert, "hELLO wORLD. NEXT sentence", "Hello world. next sentence"},
        {ToSentenceCaseConvert, "ａＢＣ ＤＥＦ", "Ａｂｃ ｄｅｆ"},
        {ToSentenceCaseConvert, "漢ABC", "漢abc"},
        {ToSentenceCaseConvert, " ABC", " abc"},
        {ToSentenceCaseConvert, "x", "X"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Conv(c.f, c.in), c.out) << c.in;
}

TEST(Conversions, KeepBytesOfDuplicateCodesAndInvalidSequences)
{
    const ConvFn all[] = {ToUpperConvert, ToLowerConvert, ToSentenceCaseConvert, ToFullWidthConvert,
                          ToHalfWidthConvert};
    const std::string untouched[] = {
        "\x87\x90", // NEC ≒, same character as 81 E0
        "\x81\xE0",
        "\x87\x54", // NEC Ⅰ, also at FA 4A
        "\xFA\x4A",
        "\xED\x40", // NEC-selected IBM kanji
        "\xFA\x55", // IBM ￤
        "\x85\x40", // unassigned pair
        "\x82",     // stray lead byte at the end
        "\x82\x0D", // lead byte without a trail byte
        "\xFD",     // byte that is never a character
        "\xA0",
    };
    for (ConvFn f : all)
    {
        for (const std::string& u : untouched)
        {
            EXPECT_EQ(Conv(f, u), u) << Hex(u);
            // Beside characters that do change, the bytes stay too.
            std::string in = "k" + u;
            std::string got = Conv(f, in);
            ASSERT_GE(got.size(), u.size()) << Hex(in);
            EXPECT_EQ(got.substr(got.size() - u.size()), u) << Hex(in) << "-> " << Hex(got);
        }
    }
    EXPECT_EQ(Conv(ToUpperConvert, std::string("\x87\x90z\x82", 4)), std::string("\x87\x90Z\x82", 4));
}

TEST(Conversions, EmptyTextAndEmbeddedNul)
{
    EXPECT_EQ(ToUpperConvert(nsString()).Length(), 0);
    EXPECT_EQ(ToHalfWidthConvert(nsString("")).Data(), nullptr);
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(Conv(ToUpperConvert, withNul), std::string("A\0B", 3));
    EXPECT_EQ(Conv(ToFullWidthConvert, withNul), std::string("ａ\0ｂ", 5));
    EXPECT_EQ(Conv(ToHalfWidthConvert, std::string("が\0ア", 5)), std::string("ｶﾞ\0ｱ", 4));
}

// On text that code page 932 round-trips exactly, the byte tables must agree with the plain frame:
// decode everything, map unit by unit, encode back.
TEST(Conversions, MatchTheUnitByUnitFrameOnRandomText)
{
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    std::vector<std::string> alphabet = Chars(kHiragana + kKatakana + kHalfKana + kVoicedHiragana +
                                              kVoicedKatakana + kHalfVoiced + kAscii + kFull +
                                              "漢字表示能ソαΑ\r\n\tヵヶゎ〒※");
    auto frame = [](const std::string& s, int mode) {
        std::wstring w = SjisToWide(s.data(), int(s.size()));
        std::wstring out;
        for (size_t i = 0; i < w.size();)
        {
            wchar_t u = w[i];
            switch (mode)
            {
            case 0: out += ToUpperW(u); ++i; break;
            case 1: out += ToLowerW(u); ++i; break;
            case 2: out += i == 0 ? ToUpperW(u) : ToLowerW(u); ++i; break;
            case 3:
            {
                wchar_t f;
                i = size_t(ToFullWidthW(w.data(), int(w.size()), int(i), f));
                out += f;
                break;
            }
            default:
            {
                wchar_t h[3];
                int n = ToHalfWidthW(u, h);
                out.append(h, size_t(n));
                ++i;
            }
            }
        }
        AnsiString a = WideToSjis(out);
        return std::string(a.c_str(), size_t(a.Length()));
    };
    const ConvFn fns[] = {ToUpperConvert, ToLowerConvert, ToSentenceCaseConvert, ToFullWidthConvert,
                          ToHalfWidthConvert};
    for (int round = 0; round < 300; ++round)
    {
        std::string text;
        int n = int(rng() % 40);
        for (int i = 0; i < n; ++i)
            text += alphabet[rng() % alphabet.size()];
        for (int mode = 0; mode < 5; ++mode)
            ASSERT_EQ(Conv(fns[mode], text), frame(text, mode))
                << "seed " << seed << " round " << round << " mode " << mode << ": " << Hex(text);
    }
}

TEST(WideToNsString, ConvertsWithCodePage932)
{
    EXPECT_EQ(Bytes(WideToNsString(L"文x", 2)), "文x");
    EXPECT_EQ(WideToNsString(L"", 0).Data(), nullptr);
    EXPECT_EQ(WideToNsString(nullptr, 3).Data(), nullptr);
    const wchar_t withNul[] = {L'a', 0, L'b'};
    EXPECT_EQ(Bytes(WideToNsString(withNul, 3)), std::string("a\0b", 3));
}
