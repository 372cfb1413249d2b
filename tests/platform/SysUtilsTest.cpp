// Format, number and case helpers, double-byte-safe paths, files, dates and process helpers.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"

namespace
{
void Touch(const AnsiString& path)
{
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done;
    WriteFile(h, "x", 1, &done, nullptr);
    CloseHandle(h);
}
} // namespace

// ---- Format
// ------------------------------------------------------------------------------------------------

TEST(Format, ConvertsEachKindWithFlagsWidthAndPrecision)
{
    AnsiString name = "表ソ";
    struct Case
    {
        AnsiString got;
        std::string expected;
    };
    const Case cases[] = {
        {Format("%5d ", {42}), "   42 "},
        {Format("%-5d|", {42}), "42   |"},
        {Format("%05d", {-42}), "-0042"},
        {Format("%+d % d %d", {5, 5, -5}), "+5  5 -5"},
        {Format("%.3d", {7}), "007"},
        {Format("%06.3d", {7}), "   007"}, // precision turns the zero flag off
        {Format("%d", {INT_MIN}), "-2147483648"},
        {Format("%d", {-9000000000LL}), "-9000000000"},
        {Format("%u", {-1}), "4294967295"},
        {Format("%u", {4000000000u}), "4000000000"},
        {Format("%x %X %08X", {255, 255, 48879}), "ff FF 0000BEEF"},
        {Format("%x", {-1}), "ffffffff"},
        {Format("%X", {-1LL}), "FFFFFFFFFFFFFFFF"},
        {Format("%02d:%02d", {7, 5}), "07:05"},
        {Format("%s - [%s]", {name, "Varnolet"}), "表ソ - [Varnolet]"},
        {Format("%-6s|%6s", {"ab", name}), "ab    |  表ソ"},
        {Format("%.3s", {name}), "表"}, // never half of ソ
        {Format("%.4s", {name}), "表ソ"},
        {Format("%.1s", {"abc"}), "a"},
        {Format("%s", {(const char*)nullptr}), ""},
        {Format("%s", {'c'}), "c"},
        {Format("%*c%s", {3, ' ', "x"}), "   x"},
        {Format("%c%c", {'a', 98}), "ab"},
        {Format("%*d|%-*d|", {4, 1, 3, 2}), "   1|2  |"},
        {Format("%*d", {-3, 1}), "1  "}, // negative width: left-justified
        {Format("%.*s", {2, "abcd"}), "ab"},
        {Format("%f", {1.5}), "1.500000"},
        {Format("%.2f|%8.3f|%-8.1f|", {3.14159, -2.5, 1.0}), "3.14|  -2.500|1.0     |"},
        {Format("%+.1e", {12345.0}), "+1.2e+04"},
        {Format("%g %g", {0.0001, 1e20}), "0.0001 1e+20"},
        {Format("%p", {(const void*)0x1234}), "00001234"},
        {Format("%p", {nullptr}), "00000000"},
        {Format("100%% %d%%", {5}), "100% 5%"},
        {Format("no args", {}), "no args"},
        {Format("extra", {1, 2}), "extra"},
        {Format("%d", {(long)-3}), "-3"},
        {Format("%u", {(unsigned long)7}), "7"},
        {Format("%d", {true}), "1"},
        {Format("行%d", {3}), "行3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got.str(), c.expected);
}

TEST(Format, RaisesConvertErrorForMissingOrMismatchedArguments)
{
    const std::function<void()> calls[] = {
        [] { Format("%d", {}); },
        [] { Format("%d %d", {1}); },
        [] { Format("%d", {"text"}); },
        [] { Format("%d", {1.5}); },
        [] { Format("%d", {'c'}); },
        [] { Format("%s", {5}); },
        [] { Format("%s", {(const void*)nullptr}); },
        [] { Format("%f", {5}); },
        [] { Format("%c", {"ab"}); },
        [] { Format("%p", {5}); },
        [] {
            Format("%*d", {"3", 1});
        },
        [] { Format("%q", {1}); },
        [] { Format("%ld", {1}); },
        [] { Format("abc%", {}); },
        [] { Format("%5", {1}); },
        [] { Format("%99999999d", {1}); },
        [] {
            Format("%*d", {100000000, 1});
        },
    };
    int i = 0;
    for (const auto& call : calls)
    {
        try
        {
            call();
            ADD_FAILURE() << "case " << i << " did not raise";
        }
        catch (const EConvertError& e)
        {
            EXPECT_EQ(e.Message.Pos("Format '"), 1) << i;
            EXPECT_GT(e.Message.Pos("invalid or incompatible with argument"), 0) << i;
        }
        ++i;
    }
}

// ---- Numbers and case -----------------------------------------------------------------------------------

TEST(SysUtils, IntegerTextConversions)
{
    EXPECT_EQ(IntToStr(-12), "-12");
    EXPECT_EQ(IntToStr(9000000000LL), "9000000000");
    EXPECT_EQ(IntToStr(4000000000ul), "4000000000");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0x12345, 2), "12345");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(0, 0), "0");
    struct Case
    {
        const char* text;
        int value; // with default 99
    };
    for (Case c : {Case{"12", 12},
                   {"$1F", 31},
                   {"$ffffffff", -1},
                   {"-8", -8},
                   {"x", 99},
                   {"", 99},
                   {"$", 99},
                   {"3000000000", 99},
                   {"$1G", 99}})
        EXPECT_EQ(StrToIntDef(c.text, 99), c.value) << c.text;
    EXPECT_EQ(StrToInt("$10"), 16);
    EXPECT_THROW(StrToInt("ten"), EConvertError);
}

TEST(SysUtils, AsciiCaseFoldingNeverTouchesTrailBytes)
{
    EXPECT_EQ(UpperCase("abcヂ"), "ABCヂ");
    EXPECT_EQ(LowerCase("ABCア"), "abcア");
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_TRUE(SameText("Readme.TXT", "README.txt"));
    EXPECT_FALSE(SameText("ア", "ヂ")); // 83 41 vs 83 61
    EXPECT_LT(CompareText("ア", "ヂ"), 0);
    EXPECT_LT(CompareText("a", "B"), 0);
    EXPECT_GT(CompareText("b", "A"), 0);
    EXPECT_LT(CompareText("ab", "ABC"), 0);
    EXPECT_FALSE(SameText("a", "a "));
}

TEST(SysUtils, LocaleComparisonsWorkOnTheWideText)
{
    EXPECT_EQ(AnsiCompareText("abc", "ABC"), 0);
    EXPECT_TRUE(AnsiSameText("ＡＢＣ", "ａｂｃ")); // full-width letters fold too
    EXPECT_FALSE(AnsiSameText("ア", "ヂ"));
    EXPECT_NE(AnsiCompareStr("a", "A"), 0);
    EXPECT_EQ(AnsiCompareStr("表", "表"), 0);
    EXPECT_LT(AnsiCompareText("a", "b"), 0);
    EXPECT_GT(AnsiCompareText("B", "a"), 0);
}

TEST(SysUtils, TrimFunctionsMatchTheMembers)
{
    EXPECT_EQ(Trim("  a "), "a");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
}

// ---- Paths ----------------------------------------------------------------------------------------------

TEST(SysUtils, PathHelpersStepOverDoubleByteCharacters)
{
    // ソ = 83 5C, 表 = 95 5C, 能 = 94 5C: the 5C is not a separator.
    struct Case
    {
        const char* path;
        const char* name;
        const char* dirWithSlash;
        const char* dir;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\ソ\\表.txt", "表.txt", "C:\\ソ\\", "C:\\ソ", ".txt"},
        {"C:\\能", "能", "C:\\", "C:\\", ""},
        {"C:\\dir\\ソ", "ソ", "C:\\dir\\", "C:\\dir", ""},
        {"表", "表", "", "", ""},
        {"能.ソ", "能.ソ", "", "", ".ソ"},
        {"C:\\a.b\\表", "表", "C:\\a.b\\", "C:\\a.b", ""},
        {"C:\\表\\", "", "C:\\表\\", "C:\\表", ""},
        {"\\\\srv\\共有\\a.txt", "a.txt", "\\\\srv\\共有\\", "\\\\srv\\共有", ".txt"},
        {"C:file.txt", "file.txt", "C:", "C:", ".txt"},
        {"\\ソ", "ソ", "\\", "\\", ""},
        {"C:/dir/ソ.txt", "ソ.txt", "C:/dir/", "C:/dir", ".txt"},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
        EXPECT_EQ(ExtractFilePath(c.path), c.dirWithSlash) << c.path;
        EXPECT_EQ(ExtractFileDir(c.path), c.dir) << c.path;
        EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
    }
}

TEST(SysUtils, ChangeFileExtAndTrailingBackslashRespectDoubleByteCharacters)
{
    EXPECT_EQ(ChangeFileExt("C:\\ソ\\表.txt", ".bak"), "C:\\ソ\\表.bak");
    EXPECT_EQ(ChangeFileExt("C:\\a.b\\能", ".txt"), "C:\\a.b\\能.txt");
    EXPECT_EQ(ChangeFileExt("a.txt", ""), "a");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\ソ"), "C:\\ソ\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\ソ\\"), "C:\\ソ\\");
    EXPECT_EQ(IncludeTrailingBackslash(""), "\\");
    EXPECT_EQ(ExcludeTrailingBackslash("C:\\表"), "C:\\表");
    EXPECT_EQ(ExcludeTrailingBackslash("C:\\表\\"), "C:\\表");
    EXPECT_EQ(ExcludeTrailingBackslash("能"), "能");
}

// ---- Files ----------------------------------------------------------------------------------------------

TEST(SysUtils, FileFunctionsUseTheUnicodeNames)
{
    TTempDir dir;
    AnsiString a = dir / "表ソ.txt";
    AnsiString b = dir / "能.txt";
    Touch(a);
    EXPECT_TRUE(FileExists(a));
    EXPECT_FALSE(FileExists(dir.Path()));
    EXPECT_TRUE(DirectoryExists(dir.Path()));
    EXPECT_FALSE(DirectoryExists(a));
    EXPECT_TRUE(RenameFile(a, b));
    EXPECT_FALSE(FileExists(a));
    EXPECT_NE(GetFileAttributesW((SjisToWide(dir.Path()) + L"\\\u80FD.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(DeleteFile(b));
    EXPECT_FALSE(DeleteFile(b));
    EXPECT_FALSE(FileExists(b));
}

TEST(SysUtils, CurrentDirectoryAndExpandFileName)
{
    TTempDir dir;
    AnsiString sub = dir / "作業";
    ASSERT_TRUE(CreateDirectoryW(SjisToWide(sub).c_str(), nullptr));
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(SjisToWide(sub).c_str()));
    EXPECT_TRUE(SameText(GetCurrentDir(), sub));
    EXPECT_TRUE(SameText(ExpandFileName("ソ.txt"), sub + "\\ソ.txt"));
    EXPECT_TRUE(SameText(ExpandFileName("..\\表.txt"), dir / "表.txt"));
    SetCurrentDirectoryW(saved);
}

TEST(SysUtils, FileGetDateReadsTheLocalWriteTime)
{
    TTempDir dir;
    AnsiString path = dir / "日付.txt";
    Touch(path);
    TDateTime when = EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 8, 0);
    FILETIME ft;
    DateTimeToFileTime(when, ft);
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
    EXPECT_EQ(FileDateToDateTime(FileGetDate(h)), when);
    CloseHandle(h);
    EXPECT_EQ(FileDateToDateTime(FileGetDate(path)), when);
    EXPECT_EQ(FileTimeToDateTime(ft), when);
    EXPECT_EQ(FileGetDate(dir / "無い.txt"), -1);
    EXPECT_EQ(FileGetDate(dir.Path()), -1); // a folder has no file date
}

// ---- Dates ----------------------------------------------------------------------------------------------

TEST(SysUtils, DatesCountDaysFrom1899December30)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    struct Bad
    {
        unsigned short a, b, c;
        bool date;
    };
    for (Bad x : {Bad{1900, 2, 29, true},
                  {2023, 4, 31, true},
                  {0, 1, 1, true},
                  {2023, 13, 1, true},
                  {2023, 1, 0, true},
                  {24, 0, 0, false},
                  {0, 60, 0, false},
                  {0, 0, 60, false}})
    {
        if (x.date)
            EXPECT_THROW(EncodeDate(x.a, x.b, x.c), EConvertError) << x.a << "-" << x.b << "-" << x.c;
        else
            EXPECT_THROW(EncodeTime(x.a, x.b, x.c, 0), EConvertError) << x.a << ":" << x.b << ":" << x.c;
    }
    EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(SysUtils, DecodeInvertsEncodeOverTheWholeRange)
{
    const unsigned seed = 99;
    std::mt19937 rng(seed);
    for (int i = 0; i < 20000; ++i)
    {
        unsigned short y = (unsigned short)(1 + rng() % 9999), m = (unsigned short)(1 + rng() % 12),
                       d = (unsigned short)(1 + rng() % 28);
        unsigned short h = (unsigned short)(rng() % 24), mi = (unsigned short)(rng() % 60),
                       s = (unsigned short)(rng() % 60), ms = (unsigned short)(rng() % 1000);
        TDateTime dt = EncodeDate(y, m, d);
        if (dt >= 0)
            dt += EncodeTime(h, mi, s, ms);
        unsigned short y2, m2, d2, h2, mi2, s2, ms2;
        DecodeDate(dt, y2, m2, d2);
        ASSERT_EQ(y2 * 10000 + m2 * 100 + d2, y * 10000 + m * 100 + d) << "seed " << seed << " i " << i;
        if (dt >= 0)
        {
            DecodeTime(dt, h2, mi2, s2, ms2);
            ASSERT_EQ(((h2 * 60 + mi2) * 60 + s2) * 1000 + ms2, ((h * 60 + mi) * 60 + s) * 1000 + ms)
                << "seed " << seed << " i " << i;
        }
    }
    // Just below midnight rounds to the next day in both halves, never to 24:00.
    unsigned short y, m, d, h, mi, s, ms;
    TDateTime almost = EncodeDate(2020, 12, 31) + 0.99999999999;
    DecodeDate(almost, y, m, d);
    DecodeTime(almost, h, mi, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20210101);
    EXPECT_EQ(h + mi + s + ms, 0);
}

TEST(SysUtils, DosDatesDecodeAndImpossibleOnesRaise)
{
    // 2021-03-04 05:06:08: date (41 << 9 | 3 << 5 | 4), time (5 << 11 | 6 << 5 | 4)
    int dos = int((((41u << 9) | (3u << 5) | 4u) << 16) | ((5u << 11) | (6u << 5) | 4u));
    EXPECT_EQ(FileDateToDateTime(dos), EncodeDate(2021, 3, 4) + EncodeTime(5, 6, 8, 0));
    EXPECT_THROW(FileDateToDateTime(-1), EConvertError);
    EXPECT_THROW(FileDateToDateTime(0), EConvertError); // month 0
}

TEST(SysUtils, NowLiesWithinToday)
{
    TDateTime today = Date();
    TDateTime now = Now();
    EXPECT_EQ(today, std::floor(today));
    // Midnight may pass between the two calls.
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 2);
}

// ---- Process and system
// -------------------------------------------------------------------------------------

TEST(SysUtils, ParamStrZeroIsThisProgram)
{
    AnsiString self = ParamStr(0);
    EXPECT_TRUE(SameText(ExtractFileName(self), "platform_tests.exe")) << self.c_str();
    EXPECT_TRUE(FileExists(self));
    EXPECT_GE(ParamCount(), 0);
    EXPECT_EQ(ParamStr(ParamCount() + 1), "");
    EXPECT_EQ(ParamStr(-1), "");
}

TEST(SysUtils, SystemErrorsBecomeMessagesAndOSErrors)
{
    EXPECT_FALSE(SysErrorMessage(ERROR_FILE_NOT_FOUND).IsEmpty());
    AnsiString text = SysErrorMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_NE(text[text.Length()], '\n');
    SetLastError(ERROR_ACCESS_DENIED);
    try
    {
        RaiseLastOSError();
        ADD_FAILURE() << "did not raise";
    }
    catch (const EOSError& e)
    {
        EXPECT_EQ(e.ErrorCode, (unsigned long)ERROR_ACCESS_DENIED);
        EXPECT_GT(e.Message.Pos(SysErrorMessage(ERROR_ACCESS_DENIED)), 0);
    }
}

// A library planted in the current folder is never loaded for one asked for by name.
TEST(SysUtils, LibrariesAreNeverLoadedFromTheCurrentFolder)
{
    TTempDir dir;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring stub = self;
    stub = stub.substr(0, stub.find_last_of(L'\\') + 1) + L"stub_dll.dll";
    ASSERT_TRUE(CopyFileW(stub.c_str(), SjisToWide(dir / "vn_planted.dll").c_str(), FALSE));
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(SjisToWide(dir.Path()).c_str());
    RestrictLibrarySearch();
    HMODULE planted = LoadLibraryW(L"vn_planted.dll");
    EXPECT_EQ(planted, nullptr);
    if (planted)
        FreeLibrary(planted);
    // What the program does load by name still comes from the system's folder.
    HMODULE system = LoadLibraryW(L"mapi32.dll");
    EXPECT_NE(system, nullptr);
    if (system)
        FreeLibrary(system);
    SetCurrentDirectoryW(saved);
}
