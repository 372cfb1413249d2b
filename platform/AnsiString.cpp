#include "AnsiString.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>

#include "SysUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
int AtomicInc(int* p) noexcept { return __atomic_add_fetch(p, 1, __ATOMIC_RELAXED); }
int AtomicDec(int* p) noexcept { return __atomic_sub_fetch(p, 1, __ATOMIC_ACQ_REL); }
int AtomicLoad(const int* p) noexcept { return __atomic_load_n(p, __ATOMIC_ACQUIRE); }
int AtomicSub(int* p, int n) noexcept { return __atomic_sub_fetch(p, n, __ATOMIC_ACQ_REL); }

int CheckedLength(size_t n)
{
    if (n > size_t(INT_MAX - 64))
        throw EOutOfMemory("string too long");
    return int(n);
}
} // namespace

AnsiString::Rep* AnsiString::NewRep(int cap)
{
    if (cap < 0 || cap > INT_MAX - 64)
        throw EOutOfMemory("string too long");
    void* mem = std::malloc(sizeof(int) + offsetof(Rep, data) + size_t(cap) + 1);
    if (!mem)
        throw EOutOfMemory("out of memory");
    *static_cast<int*>(mem) = cap;
    Rep* r = reinterpret_cast<Rep*>(static_cast<int*>(mem) + 1);
    r->refs = 1;
    r->len = 0;
    r->data[0] = '\0';
    return r;
}

int AnsiString::Capacity(const Rep* r) noexcept
{
    // The kind bits never change while the string lives: no atomic read is needed for them.
    return (r->refs & (kInSmallBlock | kInPageBlock)) ? -1 : reinterpret_cast<const int*>(r)[-1];
}

void AnsiString::Release(Rep* r) noexcept
{
    if (!r)
        return;
    const int left = AtomicDec(&r->refs);
    if ((left & kCountMask) != 0)
        return;
    if (!(left & (kInSmallBlock | kInPageBlock)))
    {
        std::free(reinterpret_cast<int*>(r) - 1);
        return;
    }
    // The block's first int counts its strings and the arena while it still fills the block.
    char* block = (left & kInPageBlock)
                      ? reinterpret_cast<char*>(reinterpret_cast<uintptr_t>(r) & ~uintptr_t(kPageBlock - 1))
                      : reinterpret_cast<char*>(r) - reinterpret_cast<int*>(r)[-1];
    if (AtomicDec(reinterpret_cast<int*>(block)) == 0)
    {
        if (left & kInPageBlock)
            FreePageBlock(block);
        else
            ::operator delete(block);
    }
}

AnsiString::AnsiString(const char* s) : AnsiString(s, s ? CheckedLength(std::strlen(s)) : 0) {}

AnsiString::AnsiString(const char* s, int len) : rep_(nullptr)
{
    if (len <= 0 || !s)
        return;
    rep_ = NewRep(len);
    std::memcpy(rep_->data, s, size_t(len));
    rep_->data[len] = '\0';
    rep_->len = len;
}

AnsiString::AnsiString(std::string_view s) : AnsiString(s.data(), CheckedLength(s.size())) {}

AnsiString::AnsiString(char c) : AnsiString(&c, 1) {}

AnsiString::AnsiString(long long value) : rep_(nullptr)
{
    char buf[32];
    bool neg = value < 0;
    unsigned long long u =
        neg ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    int i = sizeof buf;
    do
    {
        buf[--i] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (neg)
        buf[--i] = '-';
    *this = AnsiString(buf + i, int(sizeof buf) - i);
}

AnsiString::AnsiString(int value) : AnsiString(static_cast<long long>(value)) {}
AnsiString::AnsiString(unsigned value) : AnsiString(static_cast<long long>(value)) {}

AnsiString::AnsiString(const AnsiString& o) noexcept : rep_(o.rep_)
{
    if (rep_)
        AtomicInc(&rep_->refs);
}

AnsiString& AnsiString::operator=(const AnsiString& o) noexcept
{
    if (o.rep_)
        AtomicInc(&o.rep_->refs); // before release: safe for self-assignment
    Release(rep_);
    rep_ = o.rep_;
    return *this;
}

AnsiString& AnsiString::operator=(AnsiString&& o) noexcept
{
    if (this != &o)
    {
        Release(rep_);
        rep_ = o.rep_;
        o.rep_ = nullptr;
    }
    return *this;
}

AnsiString& AnsiString::operator=(const char* s)
{
    AnsiString tmp(s); // copy first: s may point into our own buffer
    return *this = std::move(tmp);
}

void AnsiString::MakeUnique(int minCap)
{
    if (rep_ && (AtomicLoad(&rep_->refs) & kCountMask) == 1 && Capacity(rep_) >= minCap)
        return;
    int len = Length();
    int cap = minCap;
    const int had = rep_ ? std::max(Capacity(rep_), len) : 0;
    if (rep_ && minCap > had)
    {
        // Geometric growth keeps repeated appends linear.
        long long grown = (long long)had + had / 2 + 16;
        if (grown > INT_MAX - 64)
            grown = INT_MAX - 64;
        if (grown > cap)
            cap = int(grown);
    }
    if (cap < len)
        cap = len;
    Rep* r = NewRep(cap);
    if (len)
        std::memcpy(r->data, rep_->data, size_t(len));
    r->len = len;
    r->data[len] = '\0';
    Release(rep_);
    rep_ = r;
}

char AnsiString::operator[](int index) const
{
    if (index < 1 || index > Length())
        throw ERangeError("string index out of range");
    return rep_->data[index - 1];
}

char& AnsiString::operator[](int index)
{
    if (index < 1 || index > Length())
        throw ERangeError("string index out of range");
    MakeUnique(Length());
    return rep_->data[index - 1];
}

char* AnsiString::Unique()
{
    if (!rep_)
        return nullptr;
    MakeUnique(rep_->len);
    return rep_->data;
}

AnsiString& AnsiString::SetLength(int newLength)
{
    if (newLength <= 0)
    {
        Release(rep_);
        rep_ = nullptr;
        return *this;
    }
    int old = Length();
    if (!rep_ || (AtomicLoad(&rep_->refs) & kCountMask) != 1 || Capacity(rep_) < newLength)
    {
        Rep* r = NewRep(newLength);
        int keep = old < newLength ? old : newLength;
        if (keep)
            std::memcpy(r->data, rep_->data, size_t(keep));
        Release(rep_);
        rep_ = r;
    }
    if (newLength > old)
        std::memset(rep_->data + old, 0, size_t(newLength - old));
    rep_->len = newLength;
    rep_->data[newLength] = '\0';
    return *this;
}

void AnsiString::Reserve(int capacity)
{
    if (capacity > Length())
        MakeUnique(capacity);
}

AnsiString AnsiString::SubString(int index, int count) const
{
    int len = Length();
    if (index < 1)
        index = 1;
    if (count <= 0 || index > len)
        return AnsiString();
    long long end = (long long)index - 1 + count;
    if (end > len)
        count = len - index + 1;
    if (index == 1 && count == len)
        return *this;
    return AnsiString(rep_->data + index - 1, count);
}

AnsiString& AnsiString::Insert(const AnsiString& s, int index)
{
    int len = Length();
    int add = s.Length();
    if (add == 0)
        return *this;
    if (index < 1)
        index = 1;
    if (index > len + 1)
        index = len + 1;
    AnsiString keep(s); // s may be *this
    if ((long long)len + add > INT_MAX - 64)
        throw EOutOfMemory("string too long");
    MakeUnique(len + add);
    std::memmove(rep_->data + index - 1 + add, rep_->data + index - 1, size_t(len - index + 1));
    std::memcpy(rep_->data + index - 1, keep.c_str(), size_t(add));
    rep_->len = len + add;
    rep_->data[rep_->len] = '\0';
    return *this;
}

AnsiString& AnsiString::Delete(int index, int count)
{
    int len = Length();
    if (index < 1 || index > len || count <= 0)
        return *this;
    if ((long long)index - 1 + count > len)
        count = len - index + 1;
    MakeUnique(len);
    std::memmove(rep_->data + index - 1, rep_->data + index - 1 + count, size_t(len - index + 1 - count));
    rep_->len = len - count;
    rep_->data[rep_->len] = '\0';
    return *this;
}

int AnsiString::Pos(const AnsiString& sub) const
{
    if (sub.IsEmpty() || sub.Length() > Length())
        return 0;
    size_t p = view().find(sub.view());
    return p == std::string_view::npos ? 0 : int(p) + 1;
}

int AnsiString::AnsiPos(const AnsiString& sub) const
{
    int n = Length(), m = sub.Length();
    if (m == 0 || m > n)
        return 0;
    const char* d = c_str();
    for (int i = 0; i + m <= n;)
    {
        if (std::memcmp(d + i, sub.c_str(), size_t(m)) == 0)
            return i + 1;
        i += (IsSjisLead((unsigned char)d[i]) && i + 1 < n) ? 2 : 1;
    }
    return 0;
}

AnsiString AnsiString::TrimLeft() const
{
    int i = 1, n = Length();
    while (i <= n && (unsigned char)rep_->data[i - 1] <= ' ')
        ++i;
    return SubString(i, n - i + 1);
}

AnsiString AnsiString::TrimRight() const
{
    int n = Length();
    while (n > 0 && (unsigned char)rep_->data[n - 1] <= ' ')
        --n;
    return SubString(1, n);
}

AnsiString AnsiString::Trim() const { return TrimLeft().TrimRight(); }

namespace
{
AnsiString MapAscii(const AnsiString& s, bool upper)
{
    AnsiString r(s);
    int n = r.Length();
    bool changed = false;
    char* d = nullptr;
    for (int i = 0; i < n; ++i)
    {
        unsigned char c = (unsigned char)r.c_str()[i];
        if (IsSjisLead(c) && i + 1 < n)
        {
            ++i; // skip the trail byte
            continue;
        }
        bool hit = upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z');
        if (hit)
        {
            if (!changed)
            {
                d = r.Unique();
                changed = true;
            }
            d[i] = char(upper ? c - 32 : c + 32);
        }
    }
    return r;
}
} // namespace

AnsiString AnsiString::UpperCase() const { return MapAscii(*this, true); }
AnsiString AnsiString::LowerCase() const { return MapAscii(*this, false); }

int AnsiString::ToInt() const
{
    int v = 0;
    AnsiString t = Trim();
    const char* s = t.c_str();
    int n = t.Length();
    int i = 0;
    bool neg = false;
    if (i < n && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    bool hex = false;
    if (i < n && s[i] == '$')
    {
        hex = true;
        ++i;
    }
    else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X'))
    {
        hex = true;
        i += 2;
    }
    if (i >= n)
        throw EConvertError("'" + *this + "' is not a valid integer value");
    long long acc = 0;
    for (; i < n; ++i)
    {
        int d;
        char c = s[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            throw EConvertError("'" + *this + "' is not a valid integer value");
        acc = acc * (hex ? 16 : 10) + d;
        // Hex may fill all 32 bits ($FFFFFFFF = -1), decimal must fit the signed range.
        if ((hex && acc > 0xFFFFFFFFLL) || (!hex && acc > (neg ? 2147483648LL : 2147483647LL)))
            throw EConvertError("'" + *this + "' is not a valid integer value");
    }
    if (hex)
    {
        uint32_t bits = uint32_t(acc);
        v = int(neg ? 0u - bits : bits); // unsigned negation: "-$80000000" must not overflow
    }
    else
        v = int(neg ? -acc : acc);
    return v;
}

int AnsiString::ToIntDef(int def) const noexcept
{
    try
    {
        return ToInt();
    }
    catch (...)
    {
        return def;
    }
}

bool AnsiString::IsLeadByte(int index) const { return ByteType(*this, index) == mbLeadByte; }
bool AnsiString::IsTrailByte(int index) const { return ByteType(*this, index) == mbTrailByte; }

AnsiString AnsiString::StringOfChar(char c, int count)
{
    AnsiString r;
    if (count <= 0)
        return r;
    r.SetLength(count);
    std::memset(r.Unique(), (unsigned char)c, size_t(count));
    return r;
}

AnsiString& AnsiString::Append(const char* s, int len)
{
    if (len <= 0)
        return *this;
    int old = Length();
    if ((long long)old + len > INT_MAX - 64)
        throw EOutOfMemory("string too long");
    // s may point into our own buffer; keep it alive over a reallocation.
    Rep* hold = nullptr;
    if (rep_ && s >= rep_->data && s < rep_->data + std::max(Capacity(rep_), rep_->len) + 1)
    {
        hold = rep_;
        AtomicInc(&hold->refs);
    }
    MakeUnique(old + len);
    std::memmove(rep_->data + old, s, size_t(len));
    rep_->len = old + len;
    rep_->data[rep_->len] = '\0';
    Release(hold);
    return *this;
}

AnsiString& AnsiString::operator+=(const AnsiString& o)
{
    if (IsEmpty())
        return *this = o;
    AnsiString keep(o);
    return Append(keep.c_str(), keep.Length());
}

AnsiString& AnsiString::operator+=(const char* s)
{
    return s ? Append(s, CheckedLength(std::strlen(s))) : *this;
}

AnsiString& AnsiString::operator+=(char c) { return Append(&c, 1); }

AnsiString operator+(const AnsiString& a, const AnsiString& b)
{
    AnsiString r;
    r.Reserve(a.Length() + b.Length());
    r.Append(a.c_str(), a.Length());
    r.Append(b.c_str(), b.Length());
    return r;
}

AnsiString operator+(const AnsiString& a, const char* b) { return a + AnsiString(b); }
AnsiString operator+(const char* a, const AnsiString& b) { return AnsiString(a) + b; }
AnsiString operator+(const AnsiString& a, char b) { return a + AnsiString(b); }

int AnsiString::Compare(const AnsiString& o) const noexcept
{
    int n = Length(), m = o.Length();
    int k = n < m ? n : m;
    int c = k > 0 ? std::memcmp(c_str(), o.c_str(), static_cast<unsigned>(k)) : 0;
    if (c)
        return c;
    return n < m ? -1 : (n > m ? 1 : 0);
}

TMbcsByteType ByteType(const AnsiString& s, int index)
{
    return ByteTypeAt(s.c_str(), s.Length(), index - 1);
}

std::ostream& operator<<(std::ostream& os, const AnsiString& s) { return os.write(s.c_str(), s.Length()); }

// ---- TStringArena ---------------------------------------------------------------------------

namespace
{
constexpr size_t kArenaHeader = 8;   // the count, and the strings stay aligned
constexpr int kArenaLargest = 4096; // longer strings get a heap block of their own
// Strings of one byte, and of one byte and a CR, made once for the whole run and shared: in a
// text of very short lines they are many of the rows. Never freed.
AnsiString* ShortRows()
{
    static AnsiString* rows = [] {
        auto* made = new AnsiString[512];
        for (int c = 0; c < 256; ++c)
        {
            const char two[2] = {char(c), '\r'};
            made[c] = AnsiString(two, 1);
            made[256 + c] = AnsiString(two, 2);
        }
        return made;
    }();
    return rows;
}
} // namespace

char* AnsiString::NewPageBlock()
{
#ifdef _WIN32
    // The system's allocation granularity is 64 KB: the block starts on the boundary.
    void* p = VirtualAlloc(nullptr, kPageBlock, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = std::aligned_alloc(kPageBlock, kPageBlock);
#endif
    if (!p || (reinterpret_cast<uintptr_t>(p) & (kPageBlock - 1)) != 0)
    {
        if (p)
            FreePageBlock(static_cast<char*>(p));
        throw std::bad_alloc();
    }
    return static_cast<char*>(p);
}

void AnsiString::FreePageBlock(char* block) noexcept
{
#ifdef _WIN32
    VirtualFree(block, 0, MEM_RELEASE);
#else
    std::free(block);
#endif
}

TStringArena::~TStringArena() { Leave(); }

void TStringArena::Leave() noexcept
{
    // The arena's own hold and the holds it took ahead but never handed out.
    if (block_ && AtomicSub(reinterpret_cast<int*>(block_), 1 + ahead_) == 0)
    {
        if (blockBytes_ >= AnsiString::kPageBlock)
            AnsiString::FreePageBlock(block_);
        else
            ::operator delete(block_);
    }
    block_ = nullptr;
    used_ = 0;
    ahead_ = 0;
}

AnsiString TStringArena::Make(const char* s, int len)
{
    if (len <= 0 || !s)
        return AnsiString();
    if (len <= 2 && (len == 1 || s[1] == '\r'))
    {
        const AnsiString& shared = ShortRows()[(len - 1) * 256 + (unsigned char)s[0]];
        // Far below where the count would run into the kind bits.
        if ((AtomicLoad(&shared.rep_->refs) & AnsiString::kCountMask) < (1 << 28))
            return shared;
    }
    const bool pages = blockBytes_ >= AnsiString::kPageBlock;
    const size_t bytes = pages ? AnsiString::kPageBlock : blockBytes_;
    // A string of a small block keeps the way back to its block in front of its header.
    const size_t front = pages ? 0 : sizeof(int);
    const size_t need = (front + offsetof(AnsiString::Rep, data) + size_t(len) + 1 + 3) & ~size_t(3);
    if (len > kArenaLargest || kArenaHeader + need > bytes)
        return AnsiString(s, len);
    if (!block_ || used_ + need > bytes)
    {
        char* block = pages ? AnsiString::NewPageBlock() : static_cast<char*>(::operator new(bytes));
        Leave();
        block_ = block;
        // The arena's own hold, and one taken ahead for every string the block can take: a
        // string made is then counted without a locked step of its own.
        ahead_ = int(bytes / 4);
        *reinterpret_cast<int*>(block_) = 1 + ahead_;
        used_ = kArenaHeader;
    }
    auto* r = reinterpret_cast<AnsiString::Rep*>(block_ + used_ + front);
    if (pages)
        r->refs = 1 | AnsiString::kInPageBlock;
    else
    {
        reinterpret_cast<int*>(r)[-1] = int(used_ + front);
        r->refs = 1 | AnsiString::kInSmallBlock;
    }
    r->len = len;
    // Rows are short: a word at a time here beats a call out per row. The compiler barrier keeps
    // the loop from being turned back into that call.
    char* d = r->data;
    int i = 0;
    for (; i + 4 <= len; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        std::memcpy(d + i, &w, 4);
        __asm__("" : "+r"(d));
    }
    for (; i < len; ++i)
    {
        d[i] = s[i];
        __asm__("" : "+r"(d));
    }
    d[len] = '\0';
    used_ += need;
    --ahead_;
    AnsiString out;
    out.rep_ = r;
    return out;
}
