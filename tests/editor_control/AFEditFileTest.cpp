#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "editor_control/AFEditFile.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"

// The program's allocations, with a countdown: when it reaches zero the allocation fails as it
// would with memory exhausted. -1 (always, outside the tests that set it) never fails.
namespace
{
long gAllocationsBeforeFailure = -1;
}

void* operator new(size_t size)
{
    if (gAllocationsBeforeFailure >= 0 && gAllocationsBeforeFailure-- == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace
{
// Reference splitter: a line keeps one CR for its line end (CR, LF, CR LF, LF CR); the text ends
// at its first NUL; a line without a line end longer than a row holds is cut into pieces of
// 65,536 bytes, one byte less where that would split a double-byte character.
std::vector<std::string> ReferenceRows(const std::string& in)
{
    std::string text = in.substr(0, in.find('\0'));
    std::vector<std::string> rows;
    std::string cur;
    auto flushPieces = [&](bool withCr) {
        size_t off = 0;
        while (cur.size() - off > 65536)
        {
            size_t cut = 65536;
            if (ByteTypeAt(cur.data() + off, int(cur.size() - off), int(cut)) == mbTrailByte)
                --cut;
            rows.push_back(cur.substr(off, cut));
            off += cut;
        }
        rows.push_back(cur.substr(off) + (withCr ? "\r" : ""));
        cur.clear();
    };
    for (size_t i = 0; i < text.size(); ++i)
    {
        char c = text[i];
        if (c == '\r' || c == '\n')
        {
            char partner = c == '\r' ? '\n' : '\r';
            if (i + 1 < text.size() && text[i + 1] == partner)
                ++i;
            flushPieces(true);
        }
        else
            cur.push_back(c);
    }
    if (!cur.empty())
        flushPieces(false);
    if (rows.empty() || (!rows.back().empty() && rows.back().back() == '\r'))
        rows.push_back("");
    return rows;
}

void LoadBytes(TCustomAFEdit& ed, const std::string& bytes, TConvMode modes = TConvMode())
{
    LoadText(ed, bytes, modes);
}

std::string SaveBytes(TCustomAFEdit& ed, TConvMode modes = TConvMode())
{
    TStringStream stream;
    ed.SaveToStream(&stream, modes);
    return stream.DataString().str();
}

void ExpectRecordsMatchRows(TCustomAFEdit& ed)
{
    EXPECT_GE(ed.AttrList()->GetCount(), ed.GetLinesCount());
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        ASSERT_NE(ed.AttrList()->Get(i), nullptr) << "row " << i;
    EXPECT_FALSE(ed.isCrLine(ed.GetLinesCount() - 1)) << "the last row never ends a paragraph";
}
} // namespace

TEST(AFEditFile, NewEditorHoldsOneEmptyRowAndNothingToUndo)
{
    auto ed = NewEditor();
    EXPECT_EQ(ed->GetLinesCount(), 1);
    EXPECT_EQ(ed->GetLine(0), "");
    EXPECT_EQ(ed->GetCaret(), TPoint(0, 0));
    EXPECT_FALSE(ed->CanUndo());
    EXPECT_FALSE(ed->CanRedo());
    EXPECT_FALSE(ed->isEdited());
    EXPECT_EQ(ed->AttrList()->GetCount(), ed->GetLinesCount());
    EXPECT_EQ(ed->GetDefWrapPos(), 60);
    EXPECT_EQ(ed->GetTabSize(), 4);
}

TEST(AFEditFile, LineEndMatrixLoadsLikeTheReferenceAndSavesWithCrLf)
{
    struct Case
    {
        const char* name;
        std::string in;
        std::string saved;
    } cases[] = {
        {"empty", "", ""},
        {"cr lf", "a\r\nb", "a\r\nb"},
        {"cr lf final", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"cr", "a\rb\r", "a\r\nb\r\n"},
        {"lf", "a\nb\n", "a\r\nb\r\n"},
        {"lf cr", "a\n\rb\n\r", "a\r\nb\r\n"},
        {"mixed", "a\r\nb\nc\rd\n\re", "a\r\nb\r\nc\r\nd\r\ne"},
        {"blank lines", "\r\n\r\n\n\r", "\r\n\r\n\r\n"},
        {"cr cr", "a\r\rb", "a\r\n\r\nb"},
        {"lf lf", "a\n\nb", "a\r\n\r\nb"},
        {"japanese", "日本語\r\nテスト\n", "日本語\r\nテスト\r\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto ed = NewEditor();
        LoadBytes(*ed, c.in);
        EXPECT_EQ(RowsOf(*ed), ReferenceRows(c.in));
        ExpectRecordsMatchRows(*ed);
        EXPECT_EQ(SaveBytes(*ed), c.saved);
        EXPECT_FALSE(ed->isEdited());
        EXPECT_FALSE(ed->CanUndo());
    }
}

TEST(AFEditFile, BlockBoundariesNeverSplitALineEndOrACharacter)
{
    // Lines around the 64 KB read window, line ends and double-byte pairs straddling a refill.
    std::vector<std::pair<std::string, std::string>> cases;
    for (int len : {65535, 65536, 65537, 131072, 131073})
        cases.emplace_back("line " + std::to_string(len), std::string(size_t(len), 'x') + "\r\ny");
    cases.emplace_back("unterminated 65537", std::string(65537, 'x'));
    for (int at : {65534, 65535, 65536})
    {
        cases.emplace_back("cr lf at " + std::to_string(at), std::string(size_t(at), 'x') + "\r\nz\r\n");
        cases.emplace_back("lf cr at " + std::to_string(at), std::string(size_t(at), 'x') + "\n\rz");
        cases.emplace_back("cr cr at " + std::to_string(at), std::string(size_t(at), 'x') + "\r\rz");
    }
    for (int at : {65534, 65535, 65536})
    {
        std::string s(size_t(at), 'x');
        s += "あ";
        s += std::string(70000, 'y');
        cases.emplace_back("kanji at " + std::to_string(at), s);
    }
    {
        // A long line of double-byte characters only, starting at an odd offset.
        std::string s = "a";
        for (int i = 0; i < 40000; ++i)
            s += "漢";
        cases.emplace_back("odd double-byte run", s);
    }
    for (const auto& [name, in] : cases)
    {
        SCOPED_TRACE(name);
        auto ed = NewEditor();
        LoadBytes(*ed, in);
        auto rows = RowsOf(*ed);
        auto want = ReferenceRows(in);
        ASSERT_EQ(rows.size(), want.size());
        for (size_t i = 0; i < rows.size(); ++i)
        {
            ASSERT_EQ(rows[i].size(), want[i].size()) << "row " << i;
            ASSERT_TRUE(rows[i] == want[i]) << "row " << i;
            ASSERT_NE(ByteTypeAt(rows[i].data(), int(rows[i].size()), 0), mbTrailByte) << "row " << i;
        }
        ExpectRecordsMatchRows(*ed);
    }
}

TEST(AFEditFile, CrLfInputRoundTripsByteForByte)
{
    std::mt19937 rng(12345);
    const char* pieces[] = {"a", "bc", " ", "\t", "漢字", "ｶﾅ", "ソ", "表", "\r\n", "\r\n\r\n", "0123456789"};
    for (int round = 0; round < 50; ++round)
    {
        std::string in;
        int n = int(rng() % 200);
        for (int i = 0; i < n; ++i)
            in += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        auto ed = NewEditor();
        LoadBytes(*ed, in);
        ASSERT_EQ(SaveBytes(*ed), in) << "seed 12345 round " << round;
        // Folding at load changes rows, never bytes.
        LoadBytes(*ed, in, TConvMode{cmFoldLine});
        ExpectRecordsMatchRows(*ed);
        ASSERT_EQ(SaveBytes(*ed), in) << "folded, seed 12345 round " << round;
    }
}

TEST(AFEditFile, NulByteEndsTheTextAndIsRecorded)
{
    auto ed = NewEditor();
    LoadBytes(*ed, std::string("ab\r\ncd\0ef\r\n", 11));
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"ab\r", "cd"}));
    EXPECT_TRUE(ed->LoadTruncation().Truncated);
    EXPECT_EQ(ed->LoadTruncation().ByteOffset, 6);
    LoadBytes(*ed, "plain");
    EXPECT_FALSE(ed->LoadTruncation().Truncated);
}

TEST(AFEditFile, ConversionModesOnLoadAndSave)
{
    auto ed = NewEditor();
    // Leading tabs become indent; the last byte of a row is never taken.
    LoadBytes(*ed, "\t\t\tx\r\n\t\r\n\t\t", TConvMode{cmTabToIndent});
    EXPECT_EQ(ed->GetLine(0), "x\r");
    EXPECT_EQ(ed->GetLinesAttr(0)->Indent, 12);
    EXPECT_EQ(ed->GetLine(1), "\r");
    EXPECT_EQ(ed->GetLinesAttr(1)->Indent, 4);
    EXPECT_EQ(ed->GetLine(2), "\t");
    EXPECT_EQ(ed->GetLinesAttr(2)->Indent, 4);
    // Without an indent option the indent is written as spaces, never dropped.
    EXPECT_EQ(SaveBytes(*ed), "            x\r\n    \r\n    \t");
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmIndentToTab}), "\t\t\tx\r\n\t\r\n\t\t");
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmIndentToSp}), "            x\r\n    \r\n    \t");
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmTabToSp}), "            x\r\n    \r\n        ");

    // Only as many tabs as fit below wrap - 8 become indent; the rest stay in the text.
    std::string many(20, '\t');
    LoadBytes(*ed, many + "y", TConvMode{cmTabToIndent});
    EXPECT_EQ(ed->GetLinesAttr(0)->Indent, 52);
    EXPECT_EQ(ed->GetLine(0), AnsiString(std::string(7, '\t') + "y"));
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmIndentToTab}), many + "y");

    // Indent 5 with tab size 4 is written as two tabs.
    LoadBytes(*ed, "z");
    ed->GetLinesAttr(0)->Indent = 5;
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmIndentToTab}), "\t\tz");

    // Tabs to spaces on load.
    LoadBytes(*ed, "a\tb\r\n", TConvMode{cmTabToSp});
    EXPECT_EQ(ed->GetLine(0), "a   b\r");

    // Folded rows: one paragraph per line, or every row its own line with cmFoldToCr.
    std::string para(150, 'q');
    LoadBytes(*ed, para + "\r\nend", TConvMode{cmFoldLine});
    ASSERT_EQ(ed->GetLinesCount(), 4);
    EXPECT_EQ(ed->GetLine(0).Length(), 60);
    EXPECT_EQ(ed->GetLine(1).Length(), 60);
    EXPECT_EQ(ed->GetLine(2), AnsiString(std::string(30, 'q') + "\r"));
    EXPECT_EQ(SaveBytes(*ed), para + "\r\nend");
    EXPECT_EQ(SaveBytes(*ed, TConvMode{cmFoldToCr}),
              std::string(60, 'q') + "\r\n" + std::string(60, 'q') + "\r\n" + std::string(30, 'q') + "\r\nend");
}

TEST(AFEditFile, FoldingAtLoadFollowsTheLineBreakingRules)
{
    auto ed = NewEditor();
    TAFEditOptions opts = ed->GetOptions();
    ed->SetOptions(opts << aoJpnBanBreak);
    // "。" right after the wrap hangs on the piece.
    std::string s(60, 'a');
    s += "。b";
    LoadBytes(*ed, s, TConvMode{cmFoldLine});
    EXPECT_EQ(ed->GetLine(0), AnsiString(std::string(60, 'a') + "。"));
    EXPECT_EQ(ed->GetLine(1), "b");

    // A paragraph end of exactly the wrap plus its CR stays on one piece...
    LoadBytes(*ed, std::string(60, 'c') + "\r\n", TConvMode{cmFoldLine});
    EXPECT_EQ(ed->GetLine(0).Length(), 61);
    // ...and without the rules the CR goes to a row of its own.
    ed->SetOptions(TAFEditOptions{aoAutoFormat});
    LoadBytes(*ed, std::string(60, 'c') + "\r\n", TConvMode{cmFoldLine});
    EXPECT_EQ(ed->GetLine(0).Length(), 60);
    EXPECT_EQ(ed->GetLine(1), "\r");

    // A double-byte character is never split.
    std::string k = "a";
    for (int i = 0; i < 40; ++i)
        k += "漢";
    LoadBytes(*ed, k, TConvMode{cmFoldLine});
    for (int i = 0; i < ed->GetLinesCount(); ++i)
    {
        AnsiString row = ed->GetLine(i);
        EXPECT_LE(row.Length(), 60);
        if (row.Length() > 0)
        {
            EXPECT_NE(ByteType(row, row.Length()), mbLeadByte) << i;
        }
    }
    EXPECT_EQ(SaveBytes(*ed), k);

    // Without auto format only line ends split rows.
    ed->SetOptions(TAFEditOptions());
    LoadBytes(*ed, std::string(300, 'w'), TConvMode{cmFoldLine});
    EXPECT_EQ(ed->GetLinesCount(), 1);
}

TEST(AFEditFile, RawStreamRoundTripsRowsAndRecords)
{
    auto ed = NewEditor();
    LoadBytes(*ed, std::string(130, 'r') + "\r\n漢字\tx\r\nlast", TConvMode{cmFoldLine});
    ed->GetLinesAttr(1)->Indent = 3;
    ed->GetLinesAttr(2)->FontColor = 0x00FF00;
    ed->GetLinesAttr(2)->States << asCmtented;
    ed->GetColAttrs(0);
    std::string raw = SaveBytes(*ed, TConvMode{cmRaw});
    auto before = RowsOf(*ed);

    auto back = NewEditor();
    LoadBytes(*back, raw, TConvMode{cmRaw});
    EXPECT_EQ(RowsOf(*back), before);
    for (int i = 0; i < back->GetLinesCount(); ++i)
    {
        EXPECT_EQ(back->GetLinesAttr(i)->Indent, ed->GetLinesAttr(i)->Indent) << i;
        EXPECT_EQ(back->GetLinesAttr(i)->FontColor, ed->GetLinesAttr(i)->FontColor) << i;
        EXPECT_EQ(back->GetLinesAttr(i)->WrapPos, ed->GetLinesAttr(i)->WrapPos) << i;
        EXPECT_EQ(back->GetLinesAttr(i)->States, ed->GetLinesAttr(i)->States) << i;
        EXPECT_EQ(back->GetLinesAttr(i)->ColAttr, nullptr) << i;
    }
    // A wrong total size loads as one empty row.
    std::string bad = raw;
    bad[0] ^= 1;
    LoadBytes(*back, bad, TConvMode{cmRaw});
    EXPECT_EQ(RowsOf(*back), std::vector<std::string>{""});
}

TEST(AFEditFile, CorruptRawStreamsNeverCrash)
{
    auto ed = NewEditor();
    LoadBytes(*ed, "one\r\ntwo\r\n三\r\n", TConvMode());
    ed->GetLinesAttr(1)->WrapPos = kNoWrap;
    const std::string raw = SaveBytes(*ed, TConvMode{cmRaw});
    std::mt19937 rng(4711);
    auto target = NewEditor();
    for (int round = 0; round < 3000; ++round)
    {
        std::string s = raw;
        int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f)
        {
            size_t at = rng() % s.size();
            switch (rng() % 3)
            {
            case 0:
                s[at] = char(rng());
                break;
            case 1:
                s.erase(at, 1 + rng() % 8);
                break;
            default:
                // Keep the header consistent with the size so the deeper checks are reached.
                s[at] = char(rng());
                {
                    uint32_t total = uint32_t(s.size());
                    std::memcpy(&s[0], &total, 4);
                }
                break;
            }
            if (s.size() < 4)
                break;
        }
        LoadBytes(*target, s, TConvMode{cmRaw});
        ASSERT_GE(target->GetLinesCount(), 1) << "seed 4711 round " << round;
        for (int i = 0; i < target->GetLinesCount(); ++i)
        {
            TAttrListItem* r = target->GetLinesAttr(i);
            ASSERT_GE(int(r->WrapPos), 10) << "seed 4711 round " << round;
            ASSERT_GE(int(r->Indent), 0) << "seed 4711 round " << round;
            ASSERT_LE(int(r->Indent), int(r->WrapPos) - 8) << "seed 4711 round " << round;
        }
        ExpectRecordsMatchRows(*target);
        SaveBytes(*target);
    }
}

namespace
{
// Fails after a number of bytes, as a read error part-way through a file would.
class TFailingStream : public TStringStream
{
public:
    TFailingStream(const AnsiString& s, int failAt) : TStringStream(s), failAt_(failAt) {}
    int Read(void* buffer, int count) override
    {
        if (GetPosition() + count > failAt_)
            throw EReadError("simulated read error");
        return TStringStream::Read(buffer, count);
    }

private:
    int failAt_;
};
} // namespace

TEST(AFEditFile, LoadThatFailsPartWayLeavesTheEditorAsItWas)
{
    auto ed = NewEditor();
    LoadBytes(*ed, "keep\r\nme");
    ed->LineChange(1, "me!", true);
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "line " + std::to_string(i) + "\r\n";
    TFailingStream stream(AnsiString(big.data(), int(big.size())), 100000);
    EXPECT_THROW(ed->LoadFromStream(&stream, TConvMode()), EReadError);
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"keep\r", "me!"}));
    EXPECT_TRUE(ed->isEdited());
    EXPECT_TRUE(ed->CanUndo());
}

TEST(AFEditFile, DspPosAndLogicalPosAgreeOverTabsIndentAndDoubleByteText)
{
    auto ed = NewEditor();
    LoadBytes(*ed, "a\tb\r\n");
    ed->GetLinesAttr(0)->Indent = 2;
    EXPECT_EQ(ed->DspPos(TPoint(3, 0)), TPoint(7, 0));
    EXPECT_EQ(ed->LogicalPos(TPoint(4, 0)), 1); // inside the tab's fill: the tab itself
    EXPECT_EQ(ed->LogicalPos(TPoint(0, 0)), -2);

    std::mt19937 rng(99);
    const char* pieces[] = {"a", "\t", "漢", "ｱ", " ", "xy"};
    for (int round = 0; round < 300; ++round)
    {
        std::string row;
        int n = 1 + int(rng() % 12);
        for (int i = 0; i < n; ++i)
            row += pieces[rng() % 6];
        int tab = 1 + int(rng() % 8);
        int indent = int(rng() % 6);
        ed->SetTabSize(tab);
        LoadBytes(*ed, row);
        ed->GetLinesAttr(0)->Indent = int16_t(indent);
        // Every character start maps to a display column and back.
        for (int lc = 0; lc <= int(row.size());)
        {
            TPoint d = ed->DspPos(TPoint(lc, 0));
            ASSERT_EQ(ed->LogicalPos(d), lc) << "seed 99 round " << round << " col " << lc;
            lc += lc < int(row.size()) && IsSjisLead((unsigned char)row[lc]) ? 2 : 1;
        }
        // Display columns are monotone and past the end clamp to the row length.
        int prev = -1000;
        for (int dc = 0; dc < indent + 60; ++dc)
        {
            int lc = ed->LogicalPos(TPoint(dc, 0));
            ASSERT_GE(lc, prev) << "seed 99 round " << round;
            ASSERT_LE(lc, int(row.size()));
            prev = lc;
        }
    }
}

namespace
{
std::string TempDir()
{
    wchar_t buf[MAX_PATH];
    GetTempPathW(MAX_PATH, buf);
    AnsiString base = WideToSjis(buf, int(wcslen(buf)));
    static int counter = 0;
    AnsiString dir = base + "vn_save_test_" + AnsiString(int(GetCurrentProcessId())) + "_" +
                     AnsiString(int(GetTickCount())) + "_" + AnsiString(++counter) + "\\";
    CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
    return dir.str();
}

std::string ReadFileBytes(const AnsiString& path)
{
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    std::string s(size_t(f.GetSize()), '\0');
    if (!s.empty())
        f.ReadBuffer(s.data(), int(s.size()));
    return s;
}

void WriteFileBytes(const AnsiString& path, const std::string& bytes)
{
    TFileStream f(path, fmCreate);
    if (!bytes.empty())
        f.WriteBuffer(bytes.data(), int(bytes.size()));
}

int CountFiles(const std::string& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(SjisToWide(AnsiString(dir + "*")).c_str(), &fd);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++n;
    while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}
} // namespace

TEST(AFEditFile, SaveReplacesTheFileAndMarksTheEditorSaved)
{
    std::string dir = TempDir() + "新しいフォルダ表\\";
    CreateDirectoryW(SjisToWide(AnsiString(dir)).c_str(), nullptr);
    AnsiString path = AnsiString(dir) + "テスト能.txt";
    WriteFileBytes(path, "old\r\n");
    auto ed = NewEditor();
    ed->LoadFromFile(path, TConvMode{cmFoldLine});
    EXPECT_EQ(ed->EditFilePath, path);
    ed->LineChange(0, "new\r", true);
    EXPECT_TRUE(ed->isEdited());
    ed->SaveToFile(path, TConvMode());
    EXPECT_FALSE(ed->isEdited());
    EXPECT_GT(ed->GetFileDate(), 30000.0);
    EXPECT_EQ(ReadFileBytes(path), "new\r\n");
    EXPECT_EQ(CountFiles(dir), 1) << "no temporary file is left behind";
    // A new file is created too.
    AnsiString fresh = AnsiString(dir) + "fresh.txt";
    ed->SaveToFile(fresh, TConvMode());
    EXPECT_EQ(ReadFileBytes(fresh), "new\r\n");
    EXPECT_EQ(ed->EditFilePath, fresh);
}

TEST(AFEditFile, FailedSaveKeepsTheOriginalAndTheEditorEdited)
{
    std::string dir = TempDir();
    AnsiString path = AnsiString(dir) + "readonly.txt";
    SetFileAttributesW(SjisToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteFileBytes(path, "original");
    SetFileAttributesW(SjisToWide(path).c_str(), FILE_ATTRIBUTE_READONLY);
    auto ed = NewEditor();
    LoadBytes(*ed, "changed");
    ed->SetEdited(true);
    int before = CountFiles(dir);
    EXPECT_THROW(ed->SaveToFile(path, TConvMode()), EFileStreamError);
    EXPECT_EQ(ReadFileBytes(path), "original");
    EXPECT_TRUE(ed->isEdited());
    EXPECT_NE(ed->EditFilePath, path);
    EXPECT_EQ(CountFiles(dir), before);
    SetFileAttributesW(SjisToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held open without any sharing: neither replaced nor written.
    AnsiString held = AnsiString(dir) + "held.txt";
    WriteFileBytes(held, "original");
    HANDLE h = CreateFileW(SjisToWide(held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_THROW(ed->SaveToFile(held, TConvMode()), EFileStreamError);
    CloseHandle(h);
    EXPECT_EQ(ReadFileBytes(held), "original");
    EXPECT_TRUE(ed->isEdited());
}

TEST(AFEditFile, SaveWritesInPlaceWhenAnotherProgramHoldsTheFileOpenForSharing)
{
    std::string dir = TempDir();
    AnsiString path = AnsiString(dir) + "shared.txt";
    WriteFileBytes(path, "a much longer original text");
    // Another program reads the file and lets others read and write, but not delete or rename.
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    auto ed = NewEditor();
    LoadBytes(*ed, "short");
    ed->SetEdited(true);
    ed->SaveToFile(path, TConvMode());
    CloseHandle(h);
    EXPECT_EQ(ReadFileBytes(path), "short");
    EXPECT_FALSE(ed->isEdited());
}

TEST(AFEditFile, AnOwnerThatIsNoWindowedControlIsRefused)
{
    TComponent* owner = Create<TComponent>(nullptr);
    EXPECT_THROW(Create<TAFEdit>(owner), EInvalidCast);
    delete owner;
}

// ---- loading: linear work, nothing changed by a failure ---------------------------------------

namespace
{
// The text as the reader gives it back joined: each line end one CR, nothing after a NUL.
std::string WithCrLineEnds(const std::string& in)
{
    std::string text = in.substr(0, in.find('\0'));
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        char c = text[i];
        if (c == '\r' || c == '\n')
        {
            if (i + 1 < text.size() && text[i + 1] == (c == '\r' ? '\n' : '\r'))
                ++i;
            out += '\r';
        }
        else
            out += c;
    }
    return out;
}
} // namespace

TEST(AFEditFile, TheLineReaderLooksAtEveryByteOnceWhateverTheShapeOfTheFile)
{
    std::vector<std::pair<std::string, std::string>> cases;
    cases.emplace_back("one line of 3 MB", std::string(3 << 20, 'x'));
    cases.emplace_back("one line of 3 MB and a line end", std::string(3 << 20, 'x') + "\r\n");
    {
        std::string s;
        for (int i = 0; i < 600000; ++i)
            s += "漢";
        cases.emplace_back("double-byte line", s);
    }
    {
        std::string s;
        for (int i = 0; i < 300000; ++i)
            s += "ab\r\n";
        cases.emplace_back("short lines", s);
    }
    for (int len : {65534, 65535, 65536, 65537, 200000})
    {
        std::string s;
        for (int i = 0; i < 12; ++i)
            s += std::string(size_t(len), 'y') + (i % 2 ? "\n\r" : "\r\n");
        cases.emplace_back("lines of " + std::to_string(len), s);
    }
    cases.emplace_back("nul far in", std::string(1 << 20, 'z') + std::string(1, '\0') + std::string(1 << 20, 'w'));
    for (const auto& [name, text] : cases)
    {
        SCOPED_TRACE(name);
        TStringStream stream(AnsiString(text.data(), int(text.size())));
        TLineReader reader(&stream);
        std::string joined;
        AnsiString line;
        while (reader.Next(line))
            joined.append(line.c_str(), size_t(line.Length()));
        ASSERT_TRUE(joined == WithCrLineEnds(text));
        EXPECT_LE(reader.Scanned(), int64_t(text.size())) << "a byte was looked at twice";
    }
}

namespace
{
struct TEditorState
{
    std::vector<std::string> rows;
    std::vector<int> indents;
    TPoint caret;
    bool edited;
    bool canUndo;
    bool operator==(const TEditorState&) const = default;
};

TEditorState StateOf(TCustomAFEdit& ed)
{
    TEditorState st{RowsOf(ed), {}, ed.GetCaret(), ed.isEdited(), ed.CanUndo()};
    for (int i = 0; i < ed.GetLinesCount(); ++i)
        st.indents.push_back(ed.GetLinesAttr(i)->Indent);
    return st;
}
} // namespace

TEST(AFEditFile, ALoadThatRunsOutOfMemoryAtAnyStepLeavesTheEditorAsItWas)
{
    std::string next;
    for (int i = 0; i < 40; ++i)
        next += "\tline " + std::to_string(i) + std::string(size_t(i * 7), 'q') + "\r\n";
    auto other = NewEditor();
    LoadBytes(*other, next, TConvMode{cmTabToIndent});
    const std::string raw = SaveBytes(*other, TConvMode{cmRaw});

    struct Case
    {
        const char* name;
        const std::string* bytes;
        TConvMode modes;
    } cases[] = {
        {"text", &next, TConvMode()},
        {"folded, tabs to indent", &next, TConvMode{cmFoldLine, cmTabToIndent}},
        {"raw", &raw, TConvMode{cmRaw}},
        {"raw, folded", &raw, TConvMode{cmRaw, cmFoldLine}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto ed = NewEditor();
        LoadBytes(*ed, "\tkeep\r\nme", TConvMode{cmTabToIndent});
        ed->LineChange(1, "me!", true);
        const TEditorState before = StateOf(*ed);
        long k = 0;
        for (;; ++k)
        {
            TStringStream stream(AnsiString(c.bytes->data(), int(c.bytes->size())));
            bool failed = false;
            gAllocationsBeforeFailure = k;
            try
            {
                ed->LoadFromStream(&stream, c.modes);
            }
            catch (...)
            {
                failed = true;
            }
            gAllocationsBeforeFailure = -1;
            if (!failed)
                break; // every allocation of the load has failed once
            ASSERT_TRUE(StateOf(*ed) == before) << "allocation " << k << " failed";
        }
        // Rows' text and records come in shared blocks, so a load takes few allocations; each
        // of the lists it builds is one of them.
        EXPECT_GT(k, 5);
        auto plain = NewEditor();
        LoadBytes(*plain, *c.bytes, c.modes);
        EXPECT_TRUE(StateOf(*ed) == StateOf(*plain)) << "the load that got through is whole";
    }
}

TEST(AFEditFile, TheRowAddedAfterTheLastLineEndTakesNoIndentAndIndentsNeverOverflow)
{
    struct Case
    {
        const char* name;
        int wrap;
        std::string in;
        TConvMode saveModes;
        std::string saved;
    };
    const std::string manyTabs(9000, '\t');
    const Case cases[] = {
        {"indent kept as tabs", 60, "\tabc\r\n", TConvMode{cmIndentToTab}, "\tabc\r\n"},
        {"indent kept as spaces", 60, "\tabc\r\n", TConvMode(), "    abc\r\n"},
        {"two paragraphs", 60, "\t\ta\r\n\tb\r\n", TConvMode{cmIndentToTab}, "\t\ta\r\n\tb\r\n"},
        {"wrap 32775", 32775, manyTabs + "x\r\n", TConvMode{cmIndentToTab}, manyTabs + "x\r\n"},
        {"wrap 32776", 32776, manyTabs + "x\r\n", TConvMode{cmIndentToTab}, manyTabs + "x\r\n"},
        {"wrap 40000", 40000, manyTabs + "x\r\n", TConvMode{cmIndentToTab}, manyTabs + "x\r\n"},
        {"no wrap", kNoWrap, manyTabs + "x", TConvMode{cmIndentToTab}, manyTabs + "x"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto ed = NewEditor();
        ed->SetDefWrapPos(c.wrap);
        LoadBytes(*ed, c.in, TConvMode{cmTabToIndent});
        for (int i = 0; i < ed->GetLinesCount(); ++i)
        {
            EXPECT_GE(ed->GetLinesAttr(i)->Indent, 0) << i;
            EXPECT_LE(ed->GetLinesAttr(i)->Indent, std::max(0, c.wrap - 8)) << i;
        }
        EXPECT_EQ(ed->GetLinesAttr(ed->GetLinesCount() - 1)->Indent, c.in.back() == '\n' ? 0 : 32764);
        EXPECT_TRUE(SaveBytes(*ed, c.saveModes) == c.saved);
    }
}

// ---- saving: long paths, held files, full disks, what a failure says ----------------------------

namespace
{
// A disk with so many bytes free, whose writes can also be made to fail from the n-th on.
class TFakeDisk : public TSaveWriter
{
public:
    int64_t FreeBytes = INT64_MAX;
    int FailFromWrite = -1;
    DWORD FailError = ERROR_WRITE_FAULT;
    int Writes = 0;

    bool Write(void* h, const void* data, unsigned long count, unsigned long& done) override
    {
        done = 0;
        if (FailFromWrite >= 0 && Writes++ >= FailFromWrite)
        {
            SetLastError(FailError);
            return false;
        }
        LARGE_INTEGER zero{}, pos, size;
        SetFilePointerEx(h, zero, &pos, FILE_CURRENT);
        GetFileSizeEx(h, &size);
        int64_t growth = std::max<int64_t>(0, pos.QuadPart + int64_t(count) - size.QuadPart);
        unsigned long fits = growth > FreeBytes ? count - (unsigned long)(growth - FreeBytes) : count;
        if (fits > 0 && !TSaveWriter::Write(h, data, fits, done))
            return false;
        FreeBytes -= std::max<int64_t>(0, pos.QuadPart + int64_t(done) - size.QuadPart);
        if (fits < count)
        {
            SetLastError(ERROR_DISK_FULL); // as a real disk: part of the write went in
            return false;
        }
        return true;
    }
};

class TWriterInstalled
{
public:
    explicit TWriterInstalled(TSaveWriter* writer) : previous_(SetSaveWriter(writer)) {}
    ~TWriterInstalled() { SetSaveWriter(previous_); }

private:
    TSaveWriter* previous_;
};

// Saves the editor to path on a fake disk with so many bytes free, failing every write from the
// failFromWrite-th on (-1: none); the message of the E the save threw, or nothing when it saved.
template <class E = Exception>
std::optional<AnsiString> SaveOnDisk(TAFEdit& ed, const AnsiString& path, int64_t free, int failFromWrite)
{
    TFakeDisk disk;
    disk.FreeBytes = free;
    disk.FailFromWrite = failFromWrite;
    TWriterInstalled installed(&disk);
    try
    {
        ed.SaveToFile(path, TConvMode());
    }
    catch (const E& e)
    {
        return e.Message;
    }
    return std::nullopt;
}

std::vector<std::string> FilesIn(const AnsiString& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(WideFilePath(dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..")
            names.push_back(WideToSjis(n).str());
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// The temporary copy a failure message names as holding the text, or "" when it names none.
AnsiString KeptCopyNamedIn(const AnsiString& message)
{
    AnsiString head = "一時ファイル[";
    int at = message.Pos(head);
    if (at == 0)
        return AnsiString();
    AnsiString rest = message.SubString(at + head.Length(), message.Length());
    return rest.SubString(1, rest.Pos("]") - 1);
}

std::string SomeLines(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "新しい行 " + std::to_string(i) + "\tです\r\n";
    return s;
}
} // namespace

TEST(AFEditFile, SavingInFoldersWithLongPathsWritesExactlyTheText)
{
    TTempDir dir;
    const std::wstring root = WideFilePath(dir.Path()).rfind(L"\\\\?\\", 0) == 0
                                  ? WideFilePath(dir.Path())
                                  : L"\\\\?\\" + SjisToWide(ExpandFileName(dir.Path()));
    const std::string text = SomeLines(30) + "end";
    for (int depth : {250, 259, 260, 261, 277, 300, 520, 1000})
    {
        SCOPED_TRACE(depth);
        AnsiString folder = ExpandFileName(dir.Path()) + "\\d" + IntToStr(depth);
        CreateDirectoryW(WideFilePath(folder).c_str(), nullptr);
        while (folder.Length() < depth)
        {
            int seg = std::min(60, depth - folder.Length() - 1);
            folder += "\\" + AnsiString(std::string(size_t(std::max(seg, 1)), 'f'));
            ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + SjisToWide(folder)).c_str(), nullptr)) << folder.Length();
        }
        ASSERT_GE(folder.Length(), depth);
        AnsiString path = folder + "\\保存.txt";
        auto ed = NewEditor();
        LoadBytes(*ed, text);
        ed->SetEdited(true);
        ed->SaveToFile(path, TConvMode()); // a new file
        ed->LineChange(0, "変えた\r", true);
        ed->SaveToFile(path, TConvMode()); // over it
        EXPECT_FALSE(ed->isEdited());
        std::string want = "変えた\r\n" + text.substr(text.find('\n') + 1);
        EXPECT_TRUE(ReadFileBytes(path) == want);
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"保存.txt"}) << "no temporary file is left";
        auto back = NewEditor();
        back->LoadFromFile(path, TConvMode());
        EXPECT_TRUE(SaveBytes(*back) == want);
    }
    RemoveTree(root);
}

TEST(AFEditFile, AFailedSaveNeverDamagesTheFileWhateverHoldsItAndHoweverLittleRoomIsLeft)
{
    TTempDir dir;
    const AnsiString path = dir / "held.txt";
    const std::string original = "the original text\r\n";
    const std::string text = SomeLines(300);
    const int64_t grows = int64_t(text.size() - original.size());
    const DWORD shares[] = {0,
                            FILE_SHARE_READ,
                            FILE_SHARE_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            FILE_SHARE_DELETE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE,
                            FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    struct Room
    {
        const char* name;
        int64_t free;
        int failFromWrite;
    };
    std::vector<Room> rooms = {{"room enough", INT64_MAX, -1},
                               {"no room at all", 0, -1},
                               {"room for all but the copy's last byte", int64_t(text.size()) - 1, -1},
                               {"room for the copy but not for the growth", int64_t(text.size()) + grows - 1, -1},
                               {"room for the copy and the growth", int64_t(text.size()) + grows, -1}};
    for (int n = 0; n < 6; ++n)
        rooms.push_back({"writes fail from the n-th", INT64_MAX, n});
    int keptCopies = 0;
    for (DWORD share : shares)
    {
        for (const Room& room : rooms)
        {
            SCOPED_TRACE(std::string(room.name) + " " + std::to_string(room.failFromWrite) + ", share " +
                         std::to_string(share));
            WriteFileBytes(path, original);
            HANDLE holder = CreateFileW(SjisToWide(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
            auto ed = NewEditor();
            LoadBytes(*ed, text);
            ed->SetEdited(true);
            const AnsiString message = SaveOnDisk(*ed, path, room.free, room.failFromWrite).value_or(AnsiString());
            CloseHandle(holder);
            if (message.IsEmpty())
            {
                EXPECT_TRUE(ReadFileBytes(path) == text);
                EXPECT_FALSE(ed->isEdited());
            }
            else
            {
                EXPECT_TRUE(ed->isEdited());
                EXPECT_GT(message.Pos("[" + path + "]"), 0) << message.c_str();
                AnsiString kept = KeptCopyNamedIn(message);
                if (!kept.IsEmpty())
                {
                    ++keptCopies;
                    EXPECT_TRUE(ReadFileBytes(kept) == text) << "the named copy holds the whole text";
                    DeleteFileW(SjisToWide(kept).c_str());
                }
                if (room.failFromWrite < 0 || message.Pos(SSaveOriginalIntact) > 0)
                {
                    EXPECT_TRUE(ReadFileBytes(path) == original) << message.c_str();
                }
                else
                {
                    EXPECT_FALSE(kept.IsEmpty()) << "a damaged file is told with where the text is";
                }
            }
            EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"held.txt"});
        }
    }
    EXPECT_GT(keptCopies, 0) << "the in-place path was never reached";
}

TEST(AFEditFile, EverySaveFailureSaysWhichFileWhyAndWhatBecameOfIt)
{
    TTempDir dir;
    const std::string original = "original\r\n";
    struct Case
    {
        const char* name;
        AnsiString path;
        std::function<void()> setUp;
        int64_t free;
        int failFromWrite;
        AnsiString reason;
        AnsiString outcome;
    };
    HANDLE holder = INVALID_HANDLE_VALUE;
    const AnsiString missing = dir / "無い\\a.txt";
    const Case cases[] = {
        {"read-only file", dir / "読専.txt",
         [&] {
             WriteFileBytes(dir / "読専.txt", original);
             SetFileAttributesW(SjisToWide(dir / "読専.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         INT64_MAX, -1, SSaveReadOnly, SSaveOriginalIntact},
        {"folder missing", missing, [] {}, INT64_MAX, -1, SysErrorMessage(ERROR_PATH_NOT_FOUND), SSaveNothingCreated},
        {"held without sharing", dir / "held.txt",
         [&] {
             WriteFileBytes(dir / "held.txt", original);
             holder = CreateFileW(SjisToWide(dir / "held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
         },
         INT64_MAX, -1, SysErrorMessage(ERROR_SHARING_VIOLATION), SSaveOriginalIntact},
        {"disk full", dir / "full.txt", [&] { WriteFileBytes(dir / "full.txt", original); }, 10, -1,
         SysErrorMessage(ERROR_DISK_FULL), SSaveOriginalIntact},
        {"write fault on a new file", dir / "new.txt", [] {}, INT64_MAX, 0, SysErrorMessage(ERROR_WRITE_FAULT),
         SSaveNothingCreated},
        {"the target is a folder", dir / "フォルダー.txt",
         [&] {
             CreateDirectoryW(SjisToWide(dir / "フォルダー.txt").c_str(), nullptr);
             WriteFileBytes(dir / "フォルダー.txt\\中身.txt", original);
         },
         INT64_MAX, -1, "", Format(SSaveTargetIsFolder, {dir / "フォルダー.txt"})},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        c.setUp();
        const std::vector<std::string> before = FilesIn(dir.Path());
        auto ed = NewEditor();
        LoadBytes(*ed, "changed text\r\n");
        ed->SetEdited(true);
        const std::optional<AnsiString> thrown = SaveOnDisk<EStreamError>(*ed, c.path, c.free, c.failFromWrite);
        if (!thrown)
            ADD_FAILURE() << "saved";
        const AnsiString message = thrown.value_or(AnsiString());
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
        EXPECT_GT(message.Pos("[" + c.path + "]"), 0) << message.c_str();
        if (!c.reason.IsEmpty())
        {
            EXPECT_GT(message.Pos(c.reason), 0) << message.c_str();
        }
        EXPECT_GT(message.Pos(c.outcome), 0) << message.c_str();
        EXPECT_EQ(message.Pos(".tmp"), 0) << message.c_str();
        for (const char* english : {"Cannot", "Stream", "error", "file \""})
            EXPECT_EQ(message.Pos(english), 0) << message.c_str();
        EXPECT_TRUE(ed->isEdited());
        EXPECT_EQ(FilesIn(dir.Path()), before) << "the folder is as it was";
        if (FileExists(c.path))
        {
            EXPECT_TRUE(ReadFileBytes(c.path) == original);
        }
    }
    EXPECT_TRUE(DirectoryExists(dir / "フォルダー.txt"));
    EXPECT_TRUE(ReadFileBytes(dir / "フォルダー.txt\\中身.txt") == original);
    SetFileAttributesW(SjisToWide(dir / "読専.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}
