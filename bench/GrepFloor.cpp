// The floor for the file search: the least work that finds the same hits in the same tree, on one
// thread. Each *.txt file is read in 1 MB blocks and cut into lines; a line is searched with
// string_view::find (the case folded first when it is ignored; whole words checked as grep -w
// checks them) or with the search's own regular-expression engine; each hit keeps one small record
// (file, line, position). The tree is made so that these byte-wise rules find exactly the hits the
// search finds (see MakeLine in GrepBench.cpp).
//   grep_floor [--runs N] DIR [CASE...]   one line per case, in grep_bench's form
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BenchUtil.h"
#include "GrepCases.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "search/Regexp.h"

namespace
{
constexpr DWORD kBlock = 1 << 20;

struct THit
{
    uint32_t file;
    uint32_t line;
    uint32_t position;
};

bool IsWordByte(unsigned char c) { return c < 0x80 && (std::isalnum(c) || c == '_'); }

// A *.txt file, as the search's mask takes it.
bool IsTxt(const WIN32_FIND_DATAW& fd)
{
    const size_t n = wcslen(fd.cFileName);
    return n > 4 && _wcsicmp(fd.cFileName + n - 4, L".txt") == 0;
}

class TFloor
{
public:
    explicit TFloor(const TCase& c) : c_(c), pattern_(c.pattern)
    {
        if (c.regex)
            re_ = std::make_unique<TRegexp>(c.pattern, !c.caseSensitive);
        if (!c.caseSensitive)
            Fold(pattern_);
    }

    void Folder(const std::wstring& folder)
    {
        WalkTree(folder, [this](const std::wstring& path, const WIN32_FIND_DATAW& fd) {
            if (IsTxt(fd))
                File(path);
        });
    }

    std::vector<THit> hits;
    int files = 0;

private:
    static void Fold(std::string& s)
    {
        for (char& c : s)
            if (c >= 'a' && c <= 'z')
                c = char(c - 32);
    }

    void File(const std::wstring& path)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return;
        ++files;
        block_.resize(kBlock);
        std::string carry;
        uint32_t lineNo = 0;
        for (;;)
        {
            DWORD got = 0;
            if (!ReadFile(f, block_.data(), kBlock, &got, nullptr) || got == 0)
                break;
            const char* p = block_.data();
            const char* const end = p + got;
            while (p < end)
            {
                const auto* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
                if (!nl)
                {
                    carry.append(p, size_t(end - p));
                    break;
                }
                ++lineNo;
                if (carry.empty())
                    Line(p, size_t(nl - p), lineNo);
                else
                {
                    carry.append(p, size_t(nl - p));
                    Line(carry.data(), carry.size(), lineNo);
                    carry.clear();
                }
                p = nl + 1;
            }
        }
        if (!carry.empty())
            Line(carry.data(), carry.size(), ++lineNo);
        CloseHandle(f);
    }

    void Line(const char* s, size_t n, uint32_t lineNo)
    {
        if (n && s[n - 1] == '\r')
            --n;
        if (c_.regex)
        {
            int start = 0, position = 0, length = 0;
            while (re_->FindNext(s, int(n), start, position, length))
                hits.push_back(THit{uint32_t(files), lineNo, uint32_t(position)});
            return;
        }
        if (!c_.caseSensitive)
        {
            folded_.assign(s, n);
            Fold(folded_);
            s = folded_.data();
        }
        const std::string_view line(s, n);
        for (size_t at = line.find(pattern_); at != std::string_view::npos; at = line.find(pattern_, at))
        {
            const size_t after = at + pattern_.size();
            if (c_.wholeWord && ((at > 0 && IsWordByte(static_cast<unsigned char>(s[at - 1]))) ||
                                 (after < n && IsWordByte(static_cast<unsigned char>(s[after])))))
            {
                ++at;
                continue;
            }
            hits.push_back(THit{uint32_t(files), lineNo, uint32_t(at)});
            at = after;
        }
    }

    const TCase& c_;
    std::string pattern_;
    std::unique_ptr<TRegexp> re_;
    std::vector<char> block_;
    std::string folded_;
};

uint64_t TreeBytes(const std::wstring& folder)
{
    uint64_t total = 0;
    WalkTree(folder, [&](const std::wstring&, const WIN32_FIND_DATAW& fd) {
        if (IsTxt(fd))
            total += FileBytes(fd);
    });
    return total;
}
} // namespace

int main()
{
    try
    {
        int arg = 1;
        const int runs = RunsArg(arg);
        if (ParamCount() < arg)
        {
            std::fprintf(stderr, "usage: grep_floor [--runs N] DIR [CASE...]\n");
            return 2;
        }
        const std::wstring root = SjisToWide(ParamStr(arg));
        const double mb = double(TreeBytes(root)) / kMb;
        for (const TCase& c : kCases)
        {
            if (!CaseWanted(c, arg))
                continue;
            double best = 0;
            size_t hits = 0;
            for (int i = 0; i < runs; ++i)
            {
                const double t0 = NowMs();
                TFloor floor(c);
                floor.Folder(root);
                const double ms = NowMs() - t0;
                hits = floor.hits.size();
                best = i == 0 || ms < best ? ms : best;
            }
            std::printf("%-10s %-22s %-12s %7.1f MB %9.1f ms %7.1f MB/s %8zu hits\n", c.name, c.pattern, "floor", mb,
                        best, mb / (best / 1000.0), hits);
            std::fflush(stdout);
        }
        return 0;
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "grep_floor: %s\n", e.what());
        return 1;
    }
}
