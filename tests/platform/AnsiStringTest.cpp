// The CP932 byte string: clamping, double-byte awareness, parsing and copy-on-write.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/AnsiString.h"
#include "platform/SysUtils.h"

using namespace std::string_literals;

TEST(AnsiString, SjisLiteralsAreTwoBytesPerCharacter)
{
    AnsiString s = "aソ";
    ASSERT_EQ(s.Length(), 3);
    EXPECT_EQ(s.Byte(2), 0x83);
    EXPECT_EQ(s.Byte(3), 0x5C);
}

TEST(AnsiString, SubString_ClampsIndexAndCount)
{
    struct Case
    {
        int index, count;
        const char* expected;
    };
    const Case cases[] = {
        {1, 3, "abc"},
        {2, 2, "bc"},
        {0, 2, "ab"},
        {-5, 2, "ab"},
        {4, 10, "def"},
        {6, 1, "f"},
        {7, 1, ""},
        {3, 0, ""},
        {3, -1, ""},
        {1, INT_MAX, "abcdef"},
        {INT_MAX, INT_MAX, ""},
    };
    AnsiString s = "abcdef";
    for (const Case& c : cases)
        EXPECT_EQ(s.SubString(c.index, c.count), c.expected) << c.index << "," << c.count;
    EXPECT_EQ(AnsiString().SubString(1, 1), "");
}

TEST(AnsiString, InsertAndDelete_ClampPositions)
{
    struct InsertCase
    {
        int index;
        const char* expected;
    };
    for (InsertCase c :
         {InsertCase{1, "XYabc"}, {2, "aXYbc"}, {4, "abcXY"}, {9, "abcXY"}, {0, "XYabc"}, {-3, "XYabc"}})
    {
        AnsiString s = "abc";
        s.Insert("XY", c.index);
        EXPECT_EQ(s, c.expected) << c.index;
    }
    struct DeleteCase
    {
        int index, count;
        const char* expected;
    };
    for (DeleteCase c : {DeleteCase{1, 1, "bcde"},
                         {2, 2, "ade"},
                         {4, 99, "abc"},
                         {5, 1, "abcd"},
                         {6, 1, "abcde"},
                         {0, 2, "abcde"},
                         {2, 0, "abcde"},
                         {2, -1, "abcde"},
                         {1, INT_MAX, ""}})
    {
        AnsiString s = "abcde";
        s.Delete(c.index, c.count);
        EXPECT_EQ(s, c.expected) << c.index << "," << c.count;
    }
}

TEST(AnsiString, AnsiPosNeverMatchesAtATrailByte)
{
    struct Case
    {
        const char* text;
        const char* sub;
        int pos;
        int ansiPos;
    };
    const Case cases[] = {
        {"ア", "A", 2, 0},                           // ア = 83 41
        {"ソ\\", "\\", 2, 3},                        // ソ = 83 5C, then a real backslash
        {"表a", "\\a", 2, 0},                        // 表 = 95 5C
        {"xア", "ア", 2, 2},    {"ヂaa", "a", 2, 3}, // ヂ = 83 61
        {"abc", "", 0, 0},      {"ab", "abc", 0, 0},
        {"\x83", "\x83", 1, 1}, // a lone lead byte at the end is a character of its own
    };
    for (const Case& c : cases)
    {
        AnsiString text = c.text;
        EXPECT_EQ(text.Pos(c.sub), c.pos) << c.text << " / " << c.sub;
        EXPECT_EQ(text.AnsiPos(c.sub), c.ansiPos) << c.text << " / " << c.sub;
    }
}

TEST(AnsiString, ByteTypeFollowsCharactersFromTheStart)
{
    // a ソ \ 表 \x83 (lone lead at the end)
    AnsiString s = "aソ\\表\x83";
    const TMbcsByteType expected[] = {mbSingleByte, mbLeadByte,  mbTrailByte, mbSingleByte,
                                      mbLeadByte,   mbTrailByte, mbSingleByte};
    ASSERT_EQ(s.Length(), 7);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(ByteType(s, i), expected[i - 1]) << i;
    EXPECT_TRUE(s.IsTrailByte(3));
    EXPECT_TRUE(s.IsLeadByte(5));
    EXPECT_FALSE(s.IsLeadByte(7));
    // Lead-byte values in trail position: "\x83\x83\x83" is one character and a lone lead.
    AnsiString leads = "\x83\x83\x83";
    EXPECT_EQ(ByteType(leads, 2), mbTrailByte);
    EXPECT_EQ(ByteType(leads, 3), mbSingleByte);
}

TEST(AnsiString, ByteTypeAgreesWithAWalkFromTheStartOnRandomMixesOfLeadAndTrailValues)
{
    // Bytes that lead, trail, do both or neither, in runs long and short.
    const unsigned char kBytes[] = {'a', '\\', '\r', 0x40, 0x80, 0x81, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC, 0xFD};
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round)
    {
        std::string s(size_t(rng() % 24), '\0');
        const unsigned lead = rng() % 100; // how often a byte takes a lead value
        for (char& c : s)
            c = char(rng() % 100 < lead ? 0x81 + rng() % 0x1F : kBytes[rng() % sizeof kBytes]);
        std::vector<TMbcsByteType> walked;
        for (size_t i = 0; i < s.size();)
        {
            if (IsSjisLead((unsigned char)s[i]) && i + 1 < s.size())
            {
                walked.insert(walked.end(), {mbLeadByte, mbTrailByte});
                i += 2;
            }
            else
            {
                walked.push_back(mbSingleByte);
                ++i;
            }
        }
        for (int i = 0; i < int(s.size()); ++i)
            ASSERT_EQ(ByteTypeAt(s.data(), int(s.size()), i), walked[size_t(i)]) << "round " << round << " at " << i;
    }
}

// Strings made in shared blocks (of any size) behave as any other: copies share, a write moves the
// string to a block of its own, and the blocks outlive the arena for as long as a string in them
// lives (the address sanitizer of the native build sees every block freed exactly once).
TEST(AnsiString, StringsOfAnArenaFollowAPlainModelThroughCopiesWritesAndTheArenasEnd)
{
    // The last string of a block, its arena gone, appends its own bytes while it moves out.
    for (const char* text : {"x", "abc", "0123456789"})
    {
        AnsiString lone;
        {
            TStringArena arena;
            lone = arena.Make(text, int(std::strlen(text)));
        }
        lone.Append(lone.c_str(), lone.Length());
        EXPECT_EQ(lone.str(), std::string(text) + text);
    }
    std::mt19937 rng(29);
    for (int round = 0; round < 40; ++round)
    {
        std::vector<AnsiString> strings;
        std::vector<std::string> model;
        {
            // Blocks of the default size, and small ones some strings do not fit in.
            const size_t blockBytes[] = {256 * 1024, 16 * 1024, 1024, 64};
            TStringArena arena(blockBytes[round % 4]);
            for (int k = 0; k < 3000; ++k)
            {
                // Mostly short, now and then past what a block takes.
                std::string text(size_t(rng() % 8 == 0 ? rng() % 6000 : rng() % 40), '\0');
                for (char& c : text)
                    c = char('a' + rng() % 26);
                strings.push_back(arena.Make(text.data(), int(text.size())));
                model.push_back(text);
            }
            if (round % 2)
                strings.erase(strings.begin(), strings.begin() + 1500), model.erase(model.begin(), model.begin() + 1500);
        }
        for (int step = 0; step < 4000; ++step)
        {
            const size_t i = rng() % strings.size();
            const size_t j = rng() % strings.size();
            AnsiString& s = strings[i];
            std::string& m = model[i];
            switch (rng() % 6)
            {
            case 0:
                strings[j] = s, model[j] = m;
                break;
            case 1:
                if (!m.empty())
                {
                    const int at = int(rng() % m.size());
                    s[at + 1] = 'Z';
                    m[size_t(at)] = 'Z';
                }
                break;
            case 2:
                s += s, m += m; // from its own bytes
                if (m.size() > 20000)
                    s = AnsiString(), m.clear();
                break;
            case 3:
            {
                const int len = int(rng() % 50);
                s.SetLength(len);
                m.resize(size_t(len), '\0');
                break;
            }
            case 4:
                s.Append(strings[j].c_str(), strings[j].Length()), m += model[j];
                if (m.size() > 20000)
                    s = AnsiString(), m.clear();
                break;
            default:
            {
                const size_t gone = rng() % strings.size();
                strings[gone] = AnsiString();
                model[gone].clear();
                break;
            }
            }
            ASSERT_EQ(s.str(), m) << "round " << round << " step " << step;
        }
        for (size_t k = 0; k < strings.size(); ++k)
            ASSERT_EQ(strings[k].str(), model[k]) << "round " << round << " string " << k;
    }
}

TEST(AnsiString, ToIntParsesDecimalAndHexWithOverflowChecks)
{
    struct Good
    {
        const char* text;
        int value;
    };
    for (Good c : {Good{"0", 0},
                   {"42", 42},
                   {" -17 ", -17},
                   {"+5", 5},
                   {"2147483647", INT_MAX},
                   {"-2147483648", INT_MIN},
                   {"$7FFFFFFF", INT_MAX},
                   {"$FFFFFFFF", -1},
                   {"$ff", 255},
                   {"0x10", 16},
                   {"-$10", -16},
                   {"-$80000000", INT_MIN},
                   {"007", 7}})
    {
        EXPECT_EQ(AnsiString(c.text).ToInt(), c.value) << c.text;
        EXPECT_EQ(AnsiString(c.text).ToIntDef(99), c.value) << c.text;
    }
    for (const char* bad : {"", " ", "-", "+", "$", "0x", "2147483648", "-2147483649", "$100000000", "12a",
                            "1 2", "99999999999999999999", "$-1", "１"})
    {
        EXPECT_THROW(AnsiString(bad).ToInt(), EConvertError) << bad;
        EXPECT_EQ(AnsiString(bad).ToIntDef(-7), -7) << bad;
    }
}

TEST(AnsiString, CopiesShareUntilWritten)
{
    using Write = void (*)(AnsiString&);
    const Write writes[] = {
        [](AnsiString& s) { s[1] = 'X'; },          [](AnsiString& s) { s.Insert("X", 2); },
        [](AnsiString& s) { s.Delete(1, 1); },      [](AnsiString& s) { s += "X"; },
        [](AnsiString& s) { s.Unique()[0] = 'X'; }, [](AnsiString& s) { s.SetLength(2); },
        [](AnsiString& s) { s.SetLength(10); },     [](AnsiString& s) { s.Append("XY", 2); },
    };
    for (size_t i = 0; i < sizeof writes / sizeof writes[0]; ++i)
    {
        AnsiString original = AnsiString("ab") + "cd"; // a heap buffer of its own
        AnsiString copy = original;
        EXPECT_EQ(copy.c_str(), original.c_str()) << i; // shared
        writes[i](original);
        EXPECT_EQ(copy, "abcd") << "write " << i;
        writes[i](copy);
        EXPECT_EQ(copy, original) << "write " << i;
    }
}

TEST(AnsiString, SelfAppendAndSelfInsertReadTheOldValue)
{
    AnsiString s = "ab";
    s += s;
    EXPECT_EQ(s, "abab");
    s.Insert(s, 2);
    EXPECT_EQ(s, "aababbab");
    s.Reserve(100); // no reallocation on the next append: the source must still be read correctly
    s.Append(s.c_str() + 1, 3);
    EXPECT_EQ(s, "aababbababa");
    s = s.c_str() + 8;
    EXPECT_EQ(s, "aba");
    s = s;
    EXPECT_EQ(s, "aba");
    AnsiString shared = s;
    s += s; // shared buffer: append must not read a freed block
    EXPECT_EQ(s, "abaaba");
    EXPECT_EQ(shared, "aba");
}

TEST(AnsiString, CaseMappingTouchesAsciiLettersOutsideDoubleByteCharacters)
{
    EXPECT_EQ(AnsiString("aヂz").UpperCase(), "AヂZ"); // ヂ = 83 61; 61 is 'a' but a trail byte
    EXPECT_EQ(AnsiString("Aア").LowerCase(), "aア");   // ア = 83 41
    EXPECT_EQ(AnsiString("ｱb").UpperCase(), "ｱB");     // half-width kana is a single byte
}

TEST(AnsiString, TrimRemovesControlBytesAndBlanksOnly)
{
    EXPECT_EQ(AnsiString(" \t\r\na b\x01 ").Trim(), "a b");
    EXPECT_EQ(AnsiString("  x ").TrimLeft(), "x ");
    EXPECT_EQ(AnsiString("  x ").TrimRight(), "  x");
    EXPECT_EQ(AnsiString("　x　").Trim(), "　x　"); // full-width space is text
    EXPECT_EQ(AnsiString("   ").Trim(), "");
}

TEST(AnsiString, ComparesBytesAsUnsignedAndKeepsEmbeddedNul)
{
    EXPECT_LT(AnsiString("z"), AnsiString("ア"));
    EXPECT_LT(AnsiString("ab"), AnsiString("abc"));
    AnsiString withNul("a\0b", 3);
    EXPECT_EQ(withNul.Length(), 3);
    EXPECT_NE(withNul, AnsiString("a"));
    EXPECT_EQ(withNul.SubString(3, 1), "b");
    EXPECT_EQ(AnsiString::StringOfChar('-', 3), "---");
    EXPECT_EQ(AnsiString::StringOfChar('-', -1), "");
    EXPECT_THROW(AnsiString("ab")[3], ERangeError);
    EXPECT_THROW(AnsiString("ab")[0], ERangeError);
}

// Random edits on a string and its copies against std::string: every copy keeps its own value.
TEST(AnsiString, EditsMatchAStdStringModelAcrossCopies)
{
    const unsigned seed = 1234;
    std::mt19937 rng(seed);
    std::vector<AnsiString> strings(4);
    std::vector<std::string> model(4);
    const char* pieces[] = {"a", "ソ", "表", "\\", "xyz", ""};
    for (int step = 0; step < 5000; ++step)
    {
        size_t k = rng() % 4;
        AnsiString& s = strings[k];
        std::string& m = model[k];
        int len = int(m.size());
        int index = int(rng() % unsigned(len + 3)) - 1;
        int count = int(rng() % 6) - 1;
        std::string piece = pieces[rng() % 6];
        switch (rng() % 6)
        {
        case 0:
            s.Insert(piece.c_str(), index);
            if (!piece.empty())
                m.insert(size_t(std::clamp(index, 1, len + 1) - 1), piece);
            break;
        case 1:
            s.Delete(index, count);
            if (index >= 1 && index <= len && count > 0)
                m.erase(size_t(index - 1), size_t(count));
            break;
        case 2:
            s += piece.c_str();
            m += piece;
            break;
        case 3:
        {
            size_t j = rng() % 4;
            strings[j] = s;
            model[j] = m;
            break;
        }
        case 4:
        {
            int from = std::max(index, 1);
            std::string expect = (count <= 0 || from > len) ? "" : m.substr(size_t(from - 1), size_t(count));
            ASSERT_EQ(s.SubString(index, count).str(), expect) << "seed " << seed << " step " << step;
            break;
        }
        case 5:
            if (len > 40)
            {
                s.SetLength(len / 2);
                m.resize(size_t(len / 2));
            }
            break;
        }
        for (size_t j = 0; j < 4; ++j)
            ASSERT_EQ(strings[j].str(), model[j]) << "seed " << seed << " step " << step << " string " << j;
    }
}
