// The Shift-JIS tree the file-search benchmark searches: 2,000 files over 40 folders, about 80 MB,
// made deterministically. grep_bench.sh remakes it when this file changes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "GrepCases.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace grep_tree
{
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
} // namespace grep_tree
