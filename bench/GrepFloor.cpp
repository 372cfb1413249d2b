// The floor for the file search (see GrepFloor.h). Each *.txt file is read in 1 MB blocks and cut
// into lines; a line is searched for the pattern's first byte, four bytes at a time (on a copy with the letters folded when case
// is ignored) or with the search's own regular-expression engine; a candidate is kept when it starts
// a character (the lead-range bytes before it, back to a known start, are even in number), and for
// whole words when its neighbours pass the same rules as the search's. Each hit is one small record;
// a line with hits is copied once. At the end the list is told how many rows it has and draws the
// rows in view from the records.
#include "GrepFloor.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <string_view>

#include "platform/Cp932.h"
#include "search/ByteScan.h"
#include "search/Regexp.h"

namespace
{
constexpr DWORD kBlock = 1 << 20;

using ByteScan::FindEither;
using ByteScan::FindText;

bool InWordSet(unsigned char c) { return c >= 0x21 && c <= 0x7E && !(c >= 0x3A && c <= 0x40) && c != 0x60; }
bool InIdentSet(unsigned char c) { return c < 0x80 && (std::isalnum(c) || c == '_'); }

// A *.txt file, as the search's mask takes it.
bool IsTxt(const wchar_t* name)
{
    const size_t n = wcslen(name);
    return n > 4 && _wcsicmp(name + n - 4, L".txt") == 0;
}

LRESULT CALLBACK FloorWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == WM_DRAWITEM)
    {
        auto* floor = reinterpret_cast<TGrepFloor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (floor && item->itemID < floor->hits.size())
        {
            const TFloorHit& h = floor->hits[item->itemID];
            const AnsiString& path = floor->paths[h.file];
            const std::string text = std::string(path.c_str(), size_t(path.Length())) + "(" +
                                     std::to_string(h.line) + "):" + (floor->texts.c_str() + h.text);
            const std::wstring w = SjisToWide(text.data(), int(text.size()));
            FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_WINDOW));
            TextOutW(item->hDC, item->rcItem.left, item->rcItem.top, w.c_str(), int(w.size()));
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}
} // namespace

uint64_t HitDigest(const char* path, int pathLength, int line, int position, int length)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](unsigned char b) { h = (h ^ b) * 1099511628211ull; };
    for (int i = 0; i < pathLength; ++i)
        mix(static_cast<unsigned char>(path[i]));
    for (int v : {line, position, length})
        for (int i = 0; i < 4; ++i)
            mix(static_cast<unsigned char>(unsigned(v) >> (8 * i)));
    return h;
}

TGrepFloor::TGrepFloor()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = FloorWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VnGrepFloor";
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, L"VnGrepFloor", L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 300,
                              nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
    list_ = CreateWindowExW(0, L"LISTBOX", nullptr,
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT,
                            0, 0, 580, 260, window_, nullptr, wc.hInstance, nullptr);
    block_.resize(kBlock);
}

TGrepFloor::~TGrepFloor()
{
    if (window_)
        DestroyWindow(window_);
}

void TGrepFloor::Run(const TCase& c, const AnsiString& root)
{
    case_ = &c;
    paths.clear();
    hits.clear();
    texts.clear();
    SendMessageW(list_, LB_SETCOUNT, 0, 0);
    re_.reset();
    if (c.regex)
        re_ = std::make_unique<TRegexp>(c.pattern, !c.caseSensitive);
    pattern_ = c.pattern;
    patternTrails_.clear();
    patternWhole_ = true;
    for (size_t i = 0; i < pattern_.size(); ++i)
    {
        const auto b = static_cast<unsigned char>(pattern_[i]);
        if (IsSjisLead(b))
        {
            if (i + 1 == pattern_.size())
                patternWhole_ = false;
            else
                patternTrails_.push_back(int(++i));
        }
        else if (!c.caseSensitive && b >= 'a' && b <= 'z')
            pattern_[i] = char(b - 32);
    }
    Folder(SjisToWide(root), root);
    Show();
}

uint64_t TGrepFloor::Digest() const
{
    uint64_t sum = 0;
    for (const TFloorHit& h : hits)
        sum += HitDigest(paths[h.file].c_str(), paths[h.file].Length(), int(h.line), int(h.position), int(h.length));
    return sum;
}

void TGrepFloor::Folder(const std::wstring& folder, const AnsiString& name)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
    {
        if (fd.cFileName[0] == L'.' && (!fd.cFileName[1] || (fd.cFileName[1] == L'.' && !fd.cFileName[2])))
            continue;
        const AnsiString child = name + "\\" + WideToSjis(fd.cFileName, int(wcslen(fd.cFileName)));
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Folder(folder + L"\\" + fd.cFileName, child);
        else if (IsTxt(fd.cFileName))
            File(folder + L"\\" + fd.cFileName, child);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

void TGrepFloor::File(const std::wstring& path, const AnsiString& name)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    paths.push_back(name);
    std::string carry;
    bool carryNul = false;
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
            // A line ends at its first NUL byte for the search, as a C string does.
            const char* nl = FindEither(p, end, '\n', 0);
            const bool nul = nl < end && *nl == '\0';
            if (nul)
                nl = FindEither(nl, end, '\n', '\n');
            if (nl == end)
            {
                carry.append(p, size_t(end - p));
                carryNul = carryNul || nul;
                break;
            }
            ++lineNo;
            if (carry.empty())
                Line(p, size_t(nl - p), lineNo, nul);
            else
            {
                carry.append(p, size_t(nl - p));
                Line(carry.data(), carry.size(), lineNo, carryNul || nul);
                carry.clear();
                carryNul = false;
            }
            p = nl + 1;
        }
    }
    if (!carry.empty())
        Line(carry.data(), carry.size(), ++lineNo, carryNul);
    CloseHandle(f);
}

bool TGrepFloor::WordAt(const char* s, size_t n, size_t at, size_t len) const
{
    for (size_t i = at; i < at + len; ++i)
        if (!InWordSet(static_cast<unsigned char>(s[i])))
            return false;
    auto fails = [](unsigned char neighbour, unsigned char edge)
    { return (edge < 0x80 && std::isalnum(edge)) ? InIdentSet(neighbour) : InWordSet(neighbour); };
    if (at > 0)
    {
        // A trail byte before the hit is never lead-range here: the hit would not start a character.
        size_t k = at - 1;
        while (k > 0 && IsSjisLead(static_cast<unsigned char>(s[k - 1])))
            --k;
        if ((at - 1 - k) % 2 == 1 || fails(static_cast<unsigned char>(s[at - 1]), static_cast<unsigned char>(s[at])))
            return false;
    }
    const size_t after = at + len;
    if (after < n)
    {
        const auto b = static_cast<unsigned char>(s[after]);
        if ((IsSjisLead(b) && after + 1 < n) || fails(b, static_cast<unsigned char>(s[after - 1])))
            return false;
    }
    return true;
}

void TGrepFloor::Hit(const char* s, size_t n, uint32_t lineNo, size_t at, size_t len, uint32_t& text)
{
    if (text == UINT32_MAX)
    {
        text = uint32_t(texts.size());
        texts.append(s, n);
        texts.push_back('\0');
    }
    hits.push_back(TFloorHit{uint32_t(paths.size() - 1), lineNo, uint32_t(at), uint32_t(len), text});
}

void TGrepFloor::Line(const char* s, size_t n, uint32_t lineNo, bool nul)
{
    if (n && s[n - 1] == '\r')
        --n;
    if (nul)
        n = size_t(static_cast<const char*>(std::memchr(s, 0, n)) - s);
    uint32_t text = UINT32_MAX;
    if (re_)
    {
        int start = 0, position = 0, length = 0;
        while (re_->FindNext(s, int(n), start, position, length))
            if (!case_->wholeWord || WordAt(s, n, size_t(position), size_t(length)))
                Hit(s, n, lineNo, size_t(position), size_t(length), text);
        return;
    }
    const char* hay = s;
    if (!case_->caseSensitive)
    {
        folded_.resize(n);
        for (size_t i = 0; i < n; ++i)
        {
            const auto c = static_cast<unsigned char>(s[i]);
            folded_[i] = char(unsigned(c - 'a') < 26u ? c - 32 : c);
        }
        hay = folded_.data();
    }
    const std::string_view line(hay, n);
    const size_t plen = pattern_.size();
    size_t known = 0; // a character starts there
    for (size_t at = FindText(line, pattern_, 0); at != std::string_view::npos;)
    {
        size_t k = at;
        while (k > known && IsSjisLead(static_cast<unsigned char>(s[k - 1])))
            --k;
        bool ok = (at - k) % 2 == 0;
        if (ok)
            known = at;
        ok = ok && (patternWhole_ || at + plen == n);
        if (ok && !case_->caseSensitive)
            for (int t : patternTrails_)
                ok = ok && s[at + size_t(t)] == case_->pattern[t];
        ok = ok && (!case_->wholeWord || WordAt(s, n, at, plen));
        if (ok)
            Hit(s, n, lineNo, at, plen, text);
        at = FindText(line, pattern_, ok ? at + plen : at + 1);
    }
}

void TGrepFloor::Show()
{
    SendMessageW(list_, LB_SETCOUNT, WPARAM(hits.size()), 0);
    InvalidateRect(list_, nullptr, TRUE);
    UpdateWindow(list_);
}
