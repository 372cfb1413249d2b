// File-search figures: the search worker over a folder tree, driven as the interface thread drives it
// (hits handed over in batches, counted in OnFileFind), for a few patterns and options.
//   grep_bench --make DIR     writes the Shift-JIS test tree into DIR (deterministic)
//   grep_bench [--runs N] DIR [CASE...]  runs every case (or the named ones) N times (default 1):
//                             one line per case, with the fastest run's time
// Case lines read: name pattern options MB "MB" ms "ms" rate "MB/s" hits "hits" (tools parse them;
// patterns hold no blanks). Lines starting with '#' are remarks.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "GrepCases.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "search/GrepProc.h"

namespace
{
const char* const kMasks = "*.txt";

// ---- the tree -----------------------------------------------------------------------------------

class TRng
{
public:
    explicit TRng(uint64_t seed) : s_(seed) {}
    uint32_t Next()
    {
        s_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = s_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint64_t s_;
};

enum TKind
{
    tkNone,
    tkAscii,
    tkWide, // double-byte characters
    tkHalf  // half-width kana
};

const char* const kAsciiWords[] = {
    "the", "of", "and", "to", "buffer", "count", "index", "text", "data", "file", "open", "close", "read",
    "write", "size", "name", "path", "list", "item", "node", "next", "prev", "value", "values", "value_no",
    "getValue", "line", "lines", "inline", "line_no", "line2", "line-end", "newline", "Line", "editor", "Editor",
    "EDITOR", "editorial", "eDitor", "search", "grep", "main", "return", "int", "char", "void",
};
// 表, ソ, 能, 十, 申 end in 0x5C; ア, ハ, ヌ and the full-width letters end in ASCII letters.
const char* const kWideWords[] = {
    "漢字", "表示", "表示中", "再表示", "検索", "文字列", "編集", "設定", "変換", "保存", "画面", "行番号", "全角",
    "日本語", "予定", "能力", "ソフト", "十分", "申請", "かな", "ひらがな", "です", "ます", "これは", "ために",
    "カタカナ", "ソース", "テキスト", "ファイル", "ハンドル", "データ", "ヌル", "アイコン", "ＡＢＣ", "ｘｙｚ",
    "１２３", "「引用」", "第3章",
};
const char* const kHalfWords[] = {"ﾊﾝｶｸ", "ｶﾀｶﾅ", "ﾃｷｽﾄ", "ｿｰｽ", "ﾃﾞｰﾀ", "ｱｲｳ", "｡", "｢ｶｷﾞ｣", "ﾊﾟｽ"};

template <size_t N>
const char* Pick(TRng& rng, const char* const (&words)[N])
{
    return words[rng.Below(N)];
}

// One line of 0 to ~160 bytes. ASCII tokens never touch a double-byte character (a blank or
// half-width kana stands between), so no ASCII pattern can begin on a trail byte and grep -w sees
// the same words as the search; there is no backslash, so "表示" cannot match from a trail byte.
void MakeLine(std::string& out, TRng& rng, int& rare, const char* eol)
{
    const size_t start = out.size();
    const size_t target = rng.Below(100) < 4 ? 0 : 8 + rng.Below(150);
    TKind prev = tkNone;
    if (target && rng.Below(30) == 0)
    {
        out += "第" + std::to_string(1 + rng.Below(40)) + "章 ";
        prev = tkNone;
    }
    char buf[64];
    while (out.size() - start < target)
    {
        const uint32_t r = rng.Below(100);
        const TKind kind = r < 45 ? tkAscii : r < 85 ? tkWide : tkHalf;
        std::string token;
        if (kind == tkAscii)
        {
            const uint32_t k = rng.Below(100);
            if (rng.Below(170000) == 0)
            {
                token = kRare;
                ++rare;
            }
            else if (k < 3)
            {
                const char* ext[] = {"txt", "log", "csv", "tmp"};
                if (rng.Below(8) == 0)
                    std::snprintf(buf, sizeof buf, "id_.%s", ext[rng.Below(4)]);
                else if (rng.Below(8) == 0)
                    std::snprintf(buf, sizeof buf, "ID_%u.%s", rng.Below(1000), ext[rng.Below(4)]);
                else
                    std::snprintf(buf, sizeof buf, "id_%u.%s", rng.Below(100000), ext[rng.Below(4)]);
                token = buf;
            }
            else if (k < 8)
            {
                std::snprintf(buf, sizeof buf, rng.Below(2) ? "%u" : "0x%X", rng.Below(70000));
                token = buf;
            }
            else
                token = Pick(rng, kAsciiWords);
            const uint32_t d = rng.Below(20);
            if (d == 0)
                token = "(" + token + ")";
            else if (d == 1)
                token += ".";
            else if (d == 2)
                token += ",";
            else if (d == 3)
                token = "\"" + token + "\":";
        }
        else if (kind == tkWide)
        {
            token = Pick(rng, kWideWords);
            const uint32_t d = rng.Below(12);
            if (d == 0)
                token += "。";
            else if (d == 1)
                token += "、";
        }
        else
            token = Pick(rng, kHalfWords);

        if (prev != tkNone)
        {
            const bool mayTouch = (prev != tkAscii && kind != tkAscii) || prev == tkHalf || kind == tkHalf;
            const uint32_t s = rng.Below(16);
            // A full-width blank is a double-byte character: only between Japanese tokens.
            if (!mayTouch || s < 8)
                out += s == 0 ? "\t" : s == 1 ? "  " : s == 2 && prev == tkWide && kind == tkWide ? "　" : " ";
        }
        out += token;
        prev = kind;
    }
    out += eol;
}

void CreateFolder(const AnsiString& path)
{
    if (!CreateDirectoryW(SjisToWide(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw Exception("cannot create " + path);
}

// 2,000 files over 40 folders at two depths under five top folders, about 80 MB: most files a few
// to 64 KB, ten of 1.5 to 2 MB (lines run on over the search's 1 MB reads). A few files end lines
// with LF only, some end without a line end.
void MakeTree(const AnsiString& root)
{
    const char* tops[] = {"src", "doc", "data", "表示", "log"};
    std::vector<AnsiString> folders;
    CreateFolder(root);
    for (const char* top : tops)
    {
        CreateFolder(root + "\\" + top);
        for (int p = 0; p < 4; ++p)
        {
            AnsiString dir = root + "\\" + top + "\\p" + IntToStr(p);
            CreateFolder(dir);
            CreateFolder(dir + "\\deep");
            folders.push_back(dir);
            folders.push_back(dir + "\\deep");
        }
    }
    TRng rng(20240601);
    int rare = 0;
    uint64_t total = 0;
    std::string text;
    for (int i = 0; i < 2000; ++i)
    {
        const size_t bytes = i % 200 == 7 ? 1536 * 1024 + rng.Below(512 * 1024) : 1024 + rng.Below(64 * 1024);
        const char* eol = i % 10 == 3 ? "\n" : "\r\n";
        text.clear();
        while (text.size() < bytes)
            MakeLine(text, rng, rare, eol);
        if (i % 25 == 11)
            text.resize(text.size() - std::string(eol).size());
        char name[32];
        std::snprintf(name, sizeof name, i % 7 == 0 ? "資料%04d.txt" : "f%04d.txt", i);
        TFileStream out(folders[size_t(i) % folders.size()] + "\\" + name, fmCreate);
        out.WriteBuffer(text.data(), int(text.size()));
        total += text.size();
    }
    std::printf("# made %s: 2000 files, %.1f MB, %d rare strings (%s)\n", root.c_str(), double(total) / kMb, rare,
                kRare);
}

// ---- the search ---------------------------------------------------------------------------------

// Bytes in the files the search reads (the same masks, every folder).
uint64_t TreeBytes(const std::wstring& folder, const TSWildCardsStringCL& masks, int& files)
{
    uint64_t total = 0;
    WalkTree(folder, [&](const std::wstring&, const WIN32_FIND_DATAW& fd) {
        if (masks.WildCards_MatchAnyWide(fd.cFileName))
        {
            total += FileBytes(fd);
            ++files;
        }
    });
    return total;
}

struct THitCounter : TObject
{
    long long hits = 0;
    void OnHit(TObject*, typGrepInf*) { ++hits; }
};

AnsiString Options(const TCase& c)
{
    AnsiString s = c.caseSensitive ? "case" : "nocase";
    if (c.wholeWord)
        s += ",word";
    if (c.regex)
        s += ",regex";
    return s;
}

// One search to its end; its time in ms.
double RunOnce(const AnsiString& root, const TCase& c, int files, long long& hits)
{
    THitCounter counter;
    std::unique_ptr<typGrepProc> grep(Create<typGrepProc>(true));
    grep->Setup(root, kMasks, true, c.caseSensitive, c.wholeWord, c.regex, c.pattern);
    grep->OnFileFind = TGrepFileFindEvent(&counter, &THitCounter::OnHit);
    const double t0 = NowMs();
    grep->Start();
    // As the file-search driver waits: the queued hits are taken between the waits.
    const HANDLE handle = grep->Handle();
    while (!grep->Finished())
    {
        grep->DeliverQueuedHits();
        Application->ProcessMessages();
        if (!grep->Finished())
            MsgWaitForMultipleObjects(1, &handle, FALSE, 50, QS_ALLINPUT);
    }
    grep->WaitFor();
    const double ms = NowMs() - t0;
    hits = counter.hits;
    if (grep->FatalException())
        std::printf("# %s: the search ended with an exception\n", c.name);
    if (grep->HitLimitReached())
        std::printf("# %s: stopped at the hit limit (%d)\n", c.name, grep->MaxHits);
    if (grep->HitCount() != counter.hits)
        std::printf("# %s: HitCount() is %d but %lld hits were handed over\n", c.name, grep->HitCount(),
                    counter.hits);
    if (grep->FilesSearched() != files)
        std::printf("# %s: %d files searched of %d\n", c.name, grep->FilesSearched(), files);
    return ms;
}

void RunCase(const AnsiString& root, const TCase& c, double mb, int files, int runs)
{
    double best = 0;
    long long hits = -1;
    for (int i = 0; i < runs; ++i)
    {
        long long h = 0;
        const double ms = RunOnce(root, c, files, h);
        if (hits >= 0 && h != hits)
            std::printf("# %s: %lld hits in one run, %lld in another\n", c.name, hits, h);
        hits = h;
        best = i == 0 || ms < best ? ms : best;
    }
    std::printf("%-10s %-22s %-12s %7.1f MB %9.1f ms %7.1f MB/s %8lld hits\n", c.name, c.pattern,
                Options(c).c_str(), mb, best, mb / (best / 1000.0), hits);
    std::fflush(stdout);
}
} // namespace

int main()
{
    try
    {
        Application->Initialize();
        if (ParamCount() == 2 && ParamStr(1) == "--make")
        {
            MakeTree(NormalizeGrepFolder(ParamStr(2)));
            return 0;
        }
        int arg = 1;
        const int runs = RunsArg(arg);
        if (ParamCount() < arg || ParamStr(arg).IsEmpty() || ParamStr(arg)[1] == '-')
        {
            std::fprintf(stderr, "usage: grep_bench --make DIR | grep_bench [--runs N] DIR [CASE...]\n");
            return 2;
        }
        const AnsiString root = NormalizeGrepFolder(ParamStr(arg));
        TSWildCardsStringCL masks;
        masks.WildCards_Set(kMasks);
        int files = 0;
        const double mb = double(TreeBytes(SjisToWide(root), masks, files)) / kMb;
        if (files == 0)
        {
            std::fprintf(stderr, "grep_bench: no %s files under %s\n", kMasks, root.c_str());
            return 1;
        }
        std::printf("# %s: %d files, %.1f MB\n", root.c_str(), files, mb);
        for (const TCase& c : kCases)
        {
            if (CaseWanted(c, arg))
                RunCase(root, c, mb, files, runs);
        }
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "grep_bench: %s\n", e.what());
        return 1;
    }
}
