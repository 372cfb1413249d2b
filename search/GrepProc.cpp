#include "search/GrepProc.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

#include "platform/Cp932.h"
#include "search/ByteScan.h"

namespace
{
using ByteScan::FindEither;
using ByteScan::FindText;

wchar_t FoldAsciiW(wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c + 32) : c; }

// Upper-cases every byte a-z, four at a time, trail bytes too: every line of a search ignoring
// case comes here. Lead bytes are never letters, so a folded text splits into characters as the
// text does, and a match on it is checked on the trail bytes the pattern holds.
void FoldBytes(const char* s, int len, std::string& out)
{
    out.resize(size_t(len));
    char* d = out.data();
    int i = 0;
    for (; i + 4 <= len; i += 4)
    {
        uint32_t x;
        std::memcpy(&x, s + i, 4);
        const uint32_t low = x & 0x7F7F7F7Fu;
        // Bit 7 of each byte: at least 'a', above 'z'; bytes of 0x80 and above are left alone.
        const uint32_t atLeastA = low + 0x1F1F1F1Fu;
        const uint32_t aboveZ = low + 0x05050505u;
        const uint32_t lower = atLeastA & ~aboveZ & ~x & 0x80808080u;
        x -= lower >> 2;
        std::memcpy(d + i, &x, 4);
    }
    for (; i < len; ++i)
    {
        const auto c = static_cast<unsigned char>(s[i]);
        d[i] = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
}

// Upper-cases the single-byte ASCII letters of a Shift-JIS text; trail bytes stay as they are.
void FoldAscii(const char* s, int len, std::string& out)
{
    out.resize(size_t(len));
    char* d = out.data();
    for (int i = 0; i < len; ++i)
    {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80)
            d[i] = char(c >= 'a' && c <= 'z' ? c - 32 : c);
        else
        {
            d[i] = char(c);
            if (IsSjisLead(c) && i + 1 < len)
            {
                ++i;
                d[i] = s[i];
            }
        }
    }
}

bool InWordSet(unsigned char c) { return c >= 0x21 && c <= 0x7E && !(c >= 0x3A && c <= 0x40) && c != 0x60; }
bool InIdentSet(unsigned char c) { return c < 0x80 && (std::isalnum(c) || c == '_'); }
bool IsAsciiAlnum(unsigned char c) { return c < 0x80 && std::isalnum(c); }

// The end of a piece of at most n bytes of a long line that starts on a character: before a lead
// byte whose trail byte would fall beyond it. A run of lead-range bytes just before n starts on a
// character (the byte before it is no lead); an odd run ends in a lead.
size_t PieceEnd(const char* s, size_t n)
{
    size_t k = n;
    while (k > 0 && IsSjisLead(static_cast<unsigned char>(s[k - 1])))
        --k;
    return (n - k) % 2 == 1 ? n - 1 : n;
}

// Case-insensitive ordinal order of names (ASCII folded), so that results come in a fixed order
// whatever order the file system lists them in.
bool NameLess(const std::wstring& a, const std::wstring& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
    {
        const wchar_t x = FoldAsciiW(a[i]);
        const wchar_t y = FoldAsciiW(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

constexpr DWORD kBlockSize = 1 << 20;
// A piece never ends inside a character, so a line cap below this is raised to it.
constexpr int kMinLineBytes = 16;
constexpr size_t kBatchSize = 512;
// This many hits waiting for the window wake the interface thread to list them.
constexpr size_t kWakeQueued = 16384;
// Past this many (a window that cannot keep up) the worker hands them over and waits.
constexpr size_t kMaxQueued = 65536;
// Candidates of one line between two looks at a stop request.
constexpr int kCandidatesPerStopCheck = 64;
constexpr DWORD kFlushMs = 50;
} // namespace

// The byte type at a place of a line, walking forward from the last place asked: the hits of a line
// come left to right, so a line is walked once however many candidates it has. Asked for a place
// behind it, it walks again from the line's start. A lead byte takes the next byte, as ByteTypeAt.
class TByteWalk
{
public:
    TByteWalk(const char* line, int length) : line_(line), length_(length) {}
    TMbcsByteType At(int at)
    {
        if (at < 0 || at >= length_)
            return mbSingleByte;
        if (at < char_)
            char_ = 0;
        for (;;)
        {
            const int len = IsSjisLead(static_cast<unsigned char>(line_[char_])) && char_ + 1 < length_ ? 2 : 1;
            if (at < char_ + len)
                return len == 1 ? mbSingleByte : at == char_ ? mbLeadByte : mbTrailByte;
            char_ += len;
        }
    }
    bool Same(const char* line, int length) const { return line == line_ && length == length_; }

private:
    const char* line_;
    int length_;
    int char_ = 0; // a character start at or before every place asked since the last restart
};

// ---- file masks ---------------------------------------------------------------------------------

TSWildCardCL::TSWildCardCL(const AnsiString& mask) : mask_(SjisToWide(mask)) {}

bool TSWildCardCL::Match(const AnsiString& name) const { return MatchWide(SjisToWide(name)); }

bool TSWildCardCL::MatchWide(const std::wstring& name) const
{
    // '*' remembers where it stood; a later mismatch lets it take one more character.
    const size_t mn = mask_.size();
    const size_t sn = name.size();
    size_t mi = 0;
    size_t si = 0;
    size_t starMask = std::wstring::npos;
    size_t starName = 0;
    while (si < sn)
    {
        if (mi < mn && mask_[mi] == L'*')
        {
            starMask = mi++;
            starName = si;
        }
        else if (mi < mn && (mask_[mi] == L'?' || FoldAsciiW(mask_[mi]) == FoldAsciiW(name[si])))
        {
            ++mi;
            ++si;
        }
        else if (starMask != std::wstring::npos)
        {
            mi = starMask + 1;
            si = ++starName;
        }
        else
            return false;
    }
    while (mi < mn && mask_[mi] == L'*')
        ++mi;
    return mi == mn;
}

void TSWildCardsStringCL::WildCards_Set(const AnsiString& text)
{
    items_.clear();
    const char* s = text.c_str();
    const int n = text.Length();
    std::string field;
    std::vector<bool> quotedByte;
    bool quoted = false;
    auto finish = [&]
    {
        // Blanks outside quotes at either end are no part of the mask.
        size_t b = 0;
        size_t e = field.size();
        while (b < e && !quotedByte[b] && (field[b] == ' ' || field[b] == '\t'))
            ++b;
        while (e > b && !quotedByte[e - 1] && (field[e - 1] == ' ' || field[e - 1] == '\t'))
            --e;
        if (e > b)
            items_.emplace_back(AnsiString(field.data() + b, int(e - b)));
        field.clear();
        quotedByte.clear();
    };
    for (int i = 0; i < n; ++i)
    {
        const auto c = static_cast<unsigned char>(s[i]);
        if (IsSjisLead(c) && i + 1 < n)
        {
            field.append(s + i, 2);
            quotedByte.push_back(quoted);
            quotedByte.push_back(quoted);
            ++i;
        }
        else if (c == '"')
        {
            if (quoted && i + 1 < n && s[i + 1] == '"')
            {
                field.push_back('"');
                quotedByte.push_back(true);
                ++i;
            }
            else
                quoted = !quoted;
        }
        else if (c == ',' && !quoted)
            finish();
        else
        {
            field.push_back(char(c));
            quotedByte.push_back(quoted);
        }
    }
    if (n > 0)
        finish();
}

bool TSWildCardsStringCL::WildCards_MatchAny(const AnsiString& name) const
{
    return WildCards_MatchAnyWide(SjisToWide(name));
}

bool TSWildCardsStringCL::WildCards_MatchAnyWide(const std::wstring& name) const
{
    if (items_.empty())
        return true;
    return std::any_of(items_.begin(), items_.end(), [&](const TSWildCardCL& m) { return m.MatchWide(name); });
}

AnsiString NormalizeGrepFolder(const AnsiString& folder)
{
    std::string s = folder.str();
    // Character starts: a '\' that is the second byte of a double-byte character is no separator.
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); ++i)
    {
        starts.push_back(i);
        if (IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size())
            ++i;
        else if (s[i] == '/')
            s[i] = '\\';
    }
    while (!starts.empty() && starts.back() == s.size() - 1 && s.back() == '\\')
    {
        s.pop_back();
        starts.pop_back();
    }
    return AnsiString(s.data(), int(s.size()));
}

// ---- the worker ---------------------------------------------------------------------------------

typGrepProc::typGrepProc(bool createSuspended)
    : TThread(createSuspended), hitsWaiting_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

typGrepProc::~typGrepProc()
{
    Terminate();
    WaitFor();
    if (hitsWaiting_)
        CloseHandle(hitsWaiting_);
}

void typGrepProc::Setup(const AnsiString& folder, const AnsiString& masks, bool recurse, bool caseSensitive,
                        bool wholeWord, bool regex, const AnsiString& pattern)
{
    if (pattern.IsEmpty())
        throw EThread("検索文字列が空です。");
    Pause = false;
    startFolder_ = NormalizeGrepFolder(folder);
    SetCurrentFolder(startFolder_);
    recurse_ = recurse;
    caseSensitive_ = caseSensitive;
    wholeWord_ = wholeWord;
    regex_ = regex;
    hitCount_ = 0;
    files_ = 0;
    hitLimit_ = false;
    depth_ = 0;
    masks_.WildCards_Set(masks);
    re_.reset();
    if (regex)
    {
        // One that does not compile is taken as it is and finds nothing.
        re_ = std::make_unique<TRegexp>(pattern.c_str(), !caseSensitive, std::nothrow);
        re_->SetStopCheck([this] { return Terminated(); }); // a long line's match stops too
        pattern_ = pattern;
    }
    else if (!caseSensitive)
    {
        std::string folded;
        FoldAscii(pattern.c_str(), pattern.Length(), folded);
        pattern_ = AnsiString(folded.data(), int(folded.size()));
    }
    else
        pattern_ = pattern;
    // A search ignoring case looks for the pattern with every byte folded, then checks the bytes
    // that are trail bytes in the pattern as they are.
    needle_.clear();
    patternTrails_.clear();
    if (!regex && !caseSensitive)
    {
        FoldBytes(pattern_.c_str(), pattern_.Length(), needle_);
        const char* p = pattern_.c_str();
        const int n = pattern_.Length();
        for (int i = 0; i + 1 < n; ++i)
            if (IsSjisLead(static_cast<unsigned char>(p[i])))
                patternTrails_.push_back(++i);
    }
    else
        needle_.assign(pattern_.c_str(), size_t(pattern_.Length()));
}

AnsiString typGrepProc::CurrentFolder()
{
    std::lock_guard<TCriticalSection> hold(lock_);
    return AnsiString(folder_.c_str(), folder_.Length()); // a copy of its own for the other thread
}

void typGrepProc::SetCurrentFolder(const AnsiString& folder)
{
    AnsiString copy(folder.c_str(), folder.Length());
    std::lock_guard<TCriticalSection> hold(lock_);
    folder_ = copy;
}

namespace
{
// The whole-word test once the byte types of the bytes either side are known (typeOf(at) is
// asked for those two only).
template <class TTypeOf>
bool WordEdges(const char* line, int lineLength, int position, int length, TTypeOf&& typeOf)
{
    if (length <= 0 || position < 0 || position + length > lineLength)
        return false;
    for (int i = position; i < position + length; ++i)
        if (!InWordSet(static_cast<unsigned char>(line[i])))
            return false;
    auto neighbourFails = [&](int at, unsigned char edge)
    {
        if (typeOf(at) != mbSingleByte)
            return true;
        const auto b = static_cast<unsigned char>(line[at]);
        return IsAsciiAlnum(edge) ? InIdentSet(b) : InWordSet(b);
    };
    if (position > 0 && neighbourFails(position - 1, static_cast<unsigned char>(line[position])))
        return false;
    const int after = position + length;
    if (after < lineLength && neighbourFails(after, static_cast<unsigned char>(line[after - 1])))
        return false;
    return true;
}

bool WordBoundary(const char* line, int lineLength, int position, int length, TByteWalk& walk)
{
    return WordEdges(line, lineLength, position, length, [&](int at) { return walk.At(at); });
}
} // namespace

bool typGrepProc::IsWordBoundary(const char* line, int lineLength, int position, int length)
{
    TByteWalk walk(line, lineLength);
    return WordBoundary(line, lineLength, position, length, walk);
}

bool typGrepProc::WholeWordAt(const char* line, int lineLength, int position, int length)
{
    if (!walk_ || !walk_->Same(line, lineLength))
        walk_ = std::make_unique<TByteWalk>(line, lineLength);
    return WordBoundary(line, lineLength, position, length, *walk_);
}

bool typGrepProc::MatchLine(const char* line, int lineLength, int& start, int& position, int& length)
{
    if (regex_)
    {
        if (!re_)
            return false;
        // FindNext moves start past every hit it reports, rejected ones too.
        if (start == 0)
            walk_.reset(); // a new line, perhaps at the same address
        while (re_->FindNext(line, lineLength, start, position, length))
            if (!wholeWord_ || WholeWordAt(line, lineLength, position, length))
                return true;
        return false;
    }

    const int plen = pattern_.Length();
    if (plen == 0 || start < 0)
        return false;
    // A line is prepared once, on its first call (start 0): the folded copy and the walk over
    // its character starts serve every later call on it.
    if (start == 0 || line != line_ || lineLength != lineLength_)
    {
        walk_.reset();
        line_ = line;
        lineLength_ = lineLength;
        cursor_ = 0;
        if (!caseSensitive_)
            FoldBytes(line, lineLength, folded_);
    }
    const char* text = caseSensitive_ ? line : folded_.data();
    const std::string_view hay(text, size_t(lineLength));
    const std::string_view needle(needle_);
    int& cursor = cursor_;
    auto charLen = [&](int at)
    { return IsSjisLead(static_cast<unsigned char>(line[at])) && at + 1 < lineLength ? 2 : 1; };
    int untilStopCheck = kCandidatesPerStopCheck;
    while (start <= lineLength - plen)
    {
        // Rejected candidates of a long line may keep this loop busy.
        if (--untilStopCheck == 0)
        {
            if (Terminated())
                return false;
            untilStopCheck = kCandidatesPerStopCheck;
        }
        const size_t found = FindText(hay, needle, size_t(start));
        if (found == std::string_view::npos)
            return false;
        const int pos = int(found);
        // The lead-range bytes just before pos pair up from the last byte that cannot lead (it
        // ends a character) or from the known start: pos starts a character when they are even.
        int k = pos;
        while (k > cursor && IsSjisLead(static_cast<unsigned char>(line[k - 1])))
            --k;
        if ((pos - k) % 2 == 1)
        {
            cursor = pos - 1;
            start = pos + 1; // began on a trail byte
            continue;
        }
        const int known = cursor; // a character starts there
        cursor = pos;
        int end = pos;
        while (end < pos + plen)
            end += charLen(end);
        if (end != pos + plen)
        {
            start = pos + charLen(pos); // ends inside a character
            continue;
        }
        // The hit splits into characters as the pattern does: its trail bytes must be the
        // pattern's own, never folded.
        bool trailsMatch = true;
        for (int t : patternTrails_)
            trailsMatch = trailsMatch && line[pos + t] == pattern_.c_str()[t];
        if (!trailsMatch)
        {
            start = pos + charLen(pos);
            continue;
        }
        // Both ends of the hit start characters, so the byte after it is no trail, and the byte
        // before it is a trail exactly when the lead-range bytes before it (back to one that
        // cannot lead, or to a known start) are odd in number.
        auto typeOf = [&](int at)
        {
            if (at == pos + plen)
                return charLen(at) == 2 ? mbLeadByte : mbSingleByte;
            int j = at;
            while (j > known && IsSjisLead(static_cast<unsigned char>(line[j - 1])))
                --j;
            return (at - j) % 2 == 1 ? mbTrailByte : mbSingleByte;
        };
        if (wholeWord_ && !WordEdges(line, lineLength, pos, plen, typeOf))
        {
            start = pos + charLen(pos);
            continue;
        }
        position = pos;
        length = plen;
        start = pos + plen;
        return true;
    }
    return false;
}

void typGrepProc::Execute()
{
    lastFlush_ = GetTickCount();
    try
    {
        SearchFolder(SjisToWide(startFolder_), startFolder_, 0);
    }
    catch (...)
    {
        batch_.clear();
        throw;
    }
    Flush(true);
}

void typGrepProc::SearchFolder(const std::wstring& folderW, const AnsiString& folder, int depth)
{
    if (depth > kMaxDepth || StopAsked())
        return;
    struct TDepth
    {
        std::atomic<int>& d;
        explicit TDepth(std::atomic<int>& x) : d(x) { ++d; }
        ~TDepth() { --d; }
    } nest(depth_);
    SetCurrentFolder(folder);

    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folderW + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            // Links and junctions are not followed: they may lead back up the tree.
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                folders.push_back(name);
        }
        else
            files.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(files.begin(), files.end(), NameLess);
    std::sort(folders.begin(), folders.end(), NameLess);

    for (const std::wstring& name : files)
    {
        if (StopAsked())
            return;
        if (!masks_.WildCards_MatchAnyWide(name))
            continue;
        SearchFile(folderW + L"\\" + name, folder + "\\" + WideToSjis(name));
    }
    if (!recurse_)
        return;
    for (const std::wstring& name : folders)
    {
        if (StopAsked())
            return;
        SearchFolder(folderW + L"\\" + name, folder + "\\" + WideToSjis(name), depth + 1);
        SetCurrentFolder(folder);
    }
}

void typGrepProc::SearchFile(const std::wstring& pathW, const AnsiString& path)
{
    HANDLE f = CreateFileW(pathW.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return; // unreadable files are passed over
    struct TClose
    {
        HANDLE h;
        ~TClose() { CloseHandle(h); }
    } close{f};
    ++files_;

    const size_t cap = size_t(std::max(MaxLineBytes, kMinLineBytes));
    if (block_.size() != kBlockSize)
        block_.resize(kBlockSize); // once per search: most files are far smaller than a block
    std::string carry; // a line that runs on into the next block, never longer than cap
    bool carryNul = false; // carry may hold a NUL byte
    int lineNo = 0;
    long long offset = 0; // of carry in its line, once pieces of the line were searched
    for (;;)
    {
        DWORD got = 0;
        if (!ReadFile(f, block_.data(), kBlockSize, &got, nullptr) || got == 0)
            break;
        char* p = block_.data();
        char* const end = p + got;
        while (p < end)
        {
            // A NUL byte is found on the way to the line end; most lines hold none and are not
            // looked at for one again.
            char* nl = const_cast<char*>(FindEither(p, end, '\n', 0));
            const bool lineNul = nl < end && *nl == '\0';
            if (lineNul)
                nl = const_cast<char*>(FindEither(nl, end, '\n', '\n'));
            if (nl == end)
                nl = nullptr;
            char* const stop = nl ? nl + 1 : end;
            // Too long for one line: a piece goes now and its cut-off character starts the next.
            while (carry.size() + size_t(stop - p) > cap)
            {
                const size_t room = cap - carry.size();
                carry.append(p, room);
                p += room;
                carryNul = carryNul || lineNul;
                const size_t cut = PieceEnd(carry.data(), cap);
                SearchLine(path, lineNo + 1, carry.data(), int(cut), offset, carryNul);
                offset += (long long)cut;
                carry.erase(0, cut);
                if (StopAsked())
                    return;
            }
            if (!nl)
            {
                carry.append(p, size_t(end - p));
                carryNul = carryNul || lineNul;
                break;
            }
            ++lineNo;
            if (carry.empty())
                SearchLine(path, lineNo, p, int(stop - p), offset, lineNul);
            else
            {
                carry.append(p, size_t(stop - p));
                SearchLine(path, lineNo, carry.data(), int(carry.size()), offset, carryNul || lineNul);
                carry.clear();
                carryNul = false;
            }
            offset = 0;
            p = stop;
            if (StopAsked())
                return;
        }
        Flush(false);
        // A long file still lets the search stop soon.
        if (StopAsked())
            return;
    }
    if (!carry.empty() && !StopAsked())
        SearchLine(path, ++lineNo, carry.data(), int(carry.size()), offset, carryNul);
    Flush(false);
}

void typGrepProc::SearchLine(const AnsiString& path, int lineNo, char* line, int length, long long offset,
                             bool mayHoldNul)
{
    // The line as a text-mode read gives it: CR LF as LF, and like a C string it ends at its
    // first NUL byte.
    if (length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n')
    {
        line[length - 2] = '\n';
        --length;
    }
    if (const void* nul = mayHoldNul ? std::memchr(line, 0, size_t(length)) : nullptr)
        length = int(static_cast<const char*>(nul) - line);
    int start = 0;
    int position = 0;
    int matchLength = 0;
    AnsiString text; // made at the first hit; a long line with many hits is held once
    while (!StopAsked() && MatchLine(line, length, start, position, matchLength))
    {
        if (Terminated())
            break; // found after the stop was asked: not handed over
        if (text.IsEmpty())
            text = AnsiString(line, length);
        AddHit(path, lineNo, text, position, matchLength, offset);
    }
}

void typGrepProc::AddHit(const AnsiString& path, int lineNo, const AnsiString& line, int position,
                         int matchLength, long long offset)
{
    while (Pause.load() && !Terminated())
        Sleep(10);
    typGrepInf hit;
    hit.Path = path;
    hit.LineNo = lineNo;
    hit.Line = line;
    hit.Position = position;
    hit.Length = matchLength;
    hit.LineOffset = int(std::min<long long>(offset, INT_MAX));
    batch_.push_back(std::move(hit));
    if (++hitCount_ >= MaxHits)
        hitLimit_ = true;
    Flush(false);
}

// Hits wait in a queue that the interface thread empties as it waits for the search (every 50 ms),
// so the worker never waits for the window; a full queue and the last hits are handed over at once.
void typGrepProc::Flush(bool force)
{
    if (!force && (batch_.empty() || (batch_.size() < kBatchSize && GetTickCount() - lastFlush_ < kFlushMs)))
        return;
    bool waiting = false;
    bool full = false;
    bool wake = false;
    std::vector<typGrepInf> spent;
    {
        std::lock_guard<TCriticalSection> hold(queueLock_);
        if (queue_.empty())
            queue_.swap(batch_);
        else
            std::move(batch_.begin(), batch_.end(), std::back_inserter(queue_));
        waiting = !queue_.empty();
        full = queue_.size() >= kMaxQueued;
        wake = !woken_ && queue_.size() >= kWakeQueued;
        woken_ = woken_ || wake;
        spent.swap(spent_);
    }
    batch_.clear();
    spent.clear();
    if (batch_.capacity() < spent.capacity())
        batch_.swap(spent);
    lastFlush_ = GetTickCount();
    if (wake && hitsWaiting_)
        SetEvent(hitsWaiting_);
    if (waiting && (force || full))
        Synchronize(TThreadMethod(this, &typGrepProc::Deliver));
}

void typGrepProc::DeliverQueuedHits() { Deliver(); }

void typGrepProc::Deliver()
{
    std::vector<typGrepInf> hits;
    {
        std::lock_guard<TCriticalSection> hold(queueLock_);
        hits.swap(queue_);
        woken_ = false;
    }
    for (typGrepInf& hit : hits)
    {
        currentHit_ = &hit;
        struct TReset
        {
            typGrepInf*& p;
            ~TReset() { p = nullptr; }
        } reset{currentHit_};
        if (OnFileFind)
            OnFileFind(this, &hit);
    }
    // The delivered hits go back to the worker, which frees their strings on the thread that made
    // them (the two threads do not contend for the heap) and reuses the storage.
    std::lock_guard<TCriticalSection> hold(queueLock_);
    if (spent_.empty())
        spent_.swap(hits);
}
