#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "platform/Classes.h"

namespace
{
// Offset of a logical point in the joined rows, and back.
size_t OffsetOf(TCustomAFEdit& ed, TPoint p)
{
    size_t at = 0;
    for (int row = 0; row < p.y; ++row)
        at += size_t(ed.GetLine(row).Length());
    return at + size_t(p.x);
}

std::string Upper(std::string s)
{
    for (size_t i = 0; i < s.size(); ++i)
    {
        unsigned char c = (unsigned char)s[i];
        if (IsSjisLead(c) && i + 1 < s.size())
        {
            if (c == 0x82 && (unsigned char)s[i + 1] >= 0x81 && (unsigned char)s[i + 1] <= 0x9A)
                s[i + 1] = char((unsigned char)s[i + 1] - 0x21);
            ++i;
        }
        else if (c >= 'a' && c <= 'z')
            s[i] = char(c - 32);
    }
    return s;
}

bool Boundary(const std::string& s, size_t at)
{
    return at >= s.size() || ByteTypeAt(s.data(), int(s.size()), int(at)) != mbTrailByte;
}
} // namespace

TEST(AFEditSearch, EdgeCases)
{
    auto ed = NewEditor();
    LoadText(*ed, std::string(58, 'x') + "needle" + std::string(10, 'y') + "\r\nabc ABC abc", TConvMode{cmFoldLine});
    // A word split across two rows is found with X on the first row.
    EXPECT_EQ(ed->Search("needle", TPoint(0, 0), TPoint(99, 3), TSearchOpts()), TPoint(58, 0));
    // Backward from the middle of a row finds the last occurrence before the start point.
    int last = ed->GetLinesCount() - 1;
    EXPECT_EQ(ed->GetLine(last), "abc ABC abc");
    EXPECT_EQ(ed->Search("abc", TPoint(9, last), TPoint(0, 0), TSearchOpts{soReverse}), TPoint(0, last));
    EXPECT_EQ(ed->Search("abc", TPoint(11, last), TPoint(0, 0), TSearchOpts{soReverse}), TPoint(8, last));
    EXPECT_EQ(ed->Search("abc", TPoint(1, last), TPoint(11, last), TSearchOpts{soIgnoreCase}), TPoint(4, last));
    // Never matches at or after the end point's column; an empty pattern finds nothing.
    EXPECT_EQ(ed->Search("abc", TPoint(1, last), TPoint(10, last), TSearchOpts()).x, -1);
    EXPECT_EQ(ed->Search("", TPoint(0, 0), TPoint(0, last), TSearchOpts()).x, -1);
    EXPECT_EQ(ed->Search(AnsiString(std::string(300, 'x')), TPoint(0, 0), TPoint(0, last), TSearchOpts()).x, -1);
}

TEST(AFEditSearch, NeverMatchesOnTrailBytes)
{
    auto ed = NewEditor();
    // 表 is 95 5C and ソ is 83 5C; 能 is 94 5C; @ is 0x40 like the trail of 機 (8B 40).
    LoadText(*ed, "表ソ能機\\@", TConvMode());
    EXPECT_EQ(ed->Search("\\", TPoint(0, 0), TPoint(20, 0), TSearchOpts()), TPoint(8, 0));
    EXPECT_EQ(ed->Search("@", TPoint(0, 0), TPoint(20, 0), TSearchOpts()), TPoint(9, 0));
    EXPECT_EQ(ed->Search("\\", TPoint(20, 0), TPoint(0, 0), TSearchOpts{soReverse}), TPoint(8, 0));
    // Full-width letters fold too, without changing lengths.
    LoadText(*ed, "ＡＢｃ", TConvMode());
    EXPECT_EQ(ed->Search("ａｂＣ", TPoint(0, 0), TPoint(20, 0), TSearchOpts{soIgnoreCase}), TPoint(0, 0));
}

TEST(AFEditSearch, AgreesWithASimpleScanOfTheJoinedText)
{
    const char* pieces[] = {"ab", "AB", "表", "ソ", "\\", "@", "a", "ｃ", "Ｃ", " ", "\r\n", "x"};
    for (unsigned seed = 1; seed <= 20; ++seed)
    {
        std::mt19937 rng(seed);
        std::string text;
        for (int i = 0; i < 80; ++i)
            text += pieces[rng() % 12];
        auto ed = NewEditor();
        ed->SetDefWrapPos(10 + int(seed % 5));
        LoadText(*ed, text);
        std::string joined = JoinedRows(*ed);
        int rows = ed->GetLinesCount();
        for (int q = 0; q < 40; ++q)
        {
            std::string pat;
            int np = 1 + int(rng() % 3);
            for (int i = 0; i < np; ++i)
            {
                const char* p = pieces[rng() % 12];
                if (std::string(p) != "\r\n")
                    pat += p;
            }
            if (pat.empty())
                continue;
            bool fold = rng() % 2;
            bool reverse = rng() % 2;
            TPoint a(0, int(rng() % unsigned(rows)));
            a.x = int(rng() % unsigned(ed->GetLine(a.y).Length() + 1));
            TPoint b(0, int(rng() % unsigned(rows)));
            b.x = int(rng() % unsigned(ed->GetLine(b.y).Length() + 1));
            size_t oa = OffsetOf(*ed, a), ob = OffsetOf(*ed, b);
            if (oa > ob)
                std::swap(a, b), std::swap(oa, ob);
            std::string hay = fold ? Upper(joined) : joined;
            std::string needle = fold ? Upper(pat) : pat;
            // Model: every match inside [oa, ob) on character boundaries; first or last.
            long expected = -1;
            for (size_t s = oa; s + needle.size() <= ob; ++s)
            {
                if (hay.compare(s, needle.size(), needle) == 0 && Boundary(joined, s) &&
                    Boundary(joined, s + needle.size()))
                {
                    expected = long(s);
                    if (!reverse)
                        break;
                }
            }
            TPoint got = reverse ? ed->Search(AnsiString(pat), b, a, TSearchOpts{soReverse} << (fold ? soIgnoreCase : soReverse))
                                 : ed->Search(AnsiString(pat), a, b, fold ? TSearchOpts{soIgnoreCase} : TSearchOpts());
            long gotOffset = got.x < 0 ? -1 : long(OffsetOf(*ed, got));
            ASSERT_EQ(gotOffset, expected) << "seed " << seed << " query " << q << " pattern '" << pat << "' "
                                           << (reverse ? "reverse " : "") << (fold ? "fold" : "");
        }
    }
}
