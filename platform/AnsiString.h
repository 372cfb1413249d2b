// Reference-counted byte string holding Shift-JIS (CP932) text.
// Indexing is 1-based, as the rest of the code expects. Copies share the buffer until written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class AnsiString
{
public:
    AnsiString() noexcept : rep_(nullptr) {}
    AnsiString(const char* s);                // NUL-terminated; nullptr is the empty string
    AnsiString(const char* s, int len);       // exactly len bytes (may contain NUL)
    AnsiString(std::string_view s);
    explicit AnsiString(char c);
    explicit AnsiString(int value);           // decimal text
    explicit AnsiString(unsigned value);
    explicit AnsiString(long long value);
    AnsiString(const AnsiString& o) noexcept;
    AnsiString(AnsiString&& o) noexcept : rep_(o.rep_) { o.rep_ = nullptr; }
    ~AnsiString()
    {
        if (rep_) // most strings dropped were moved from or empty: no call for them
            Release(rep_);
    }

    AnsiString& operator=(const AnsiString& o) noexcept;
    AnsiString& operator=(AnsiString&& o) noexcept;
    AnsiString& operator=(const char* s);

    int Length() const noexcept { return rep_ ? rep_->len : 0; }
    bool IsEmpty() const noexcept { return Length() == 0; }
    // Never null; valid until the string is next modified.
    const char* c_str() const noexcept { return rep_ ? rep_->data : ""; }
    std::string_view view() const noexcept { return std::string_view(c_str(), size_t(Length())); }
    std::string str() const { return std::string(c_str(), size_t(Length())); }

    // 1-based access; out of range raises ERangeError.
    char operator[](int index) const;
    char& operator[](int index);             // unshares the buffer first
    unsigned char Byte(int index) const { return static_cast<unsigned char>((*this)[index]); }

    // Writable buffer of Length() bytes (plus a NUL); unshares first. Null when empty.
    char* Unique();
    AnsiString& SetLength(int newLength);    // new bytes are zero
    void Reserve(int capacity);

    // Clamped like the class library: index < 1 counts from 1, count past the end is cut.
    AnsiString SubString(int index, int count) const;
    AnsiString& Insert(const AnsiString& s, int index);
    AnsiString& Delete(int index, int count);
    int Pos(const AnsiString& sub) const;     // 1-based byte position, 0 when absent
    int AnsiPos(const AnsiString& sub) const; // like Pos, but never matches at a trail byte
    AnsiString Trim() const;
    AnsiString TrimLeft() const;
    AnsiString TrimRight() const;
    AnsiString UpperCase() const;             // ASCII letters only; trail bytes untouched
    AnsiString LowerCase() const;
    int ToInt() const;                        // raises EConvertError
    int ToIntDef(int def) const noexcept;
    bool IsLeadByte(int index) const;         // CP932 lead byte at index (byte-type aware)
    bool IsTrailByte(int index) const;

    static AnsiString StringOfChar(char c, int count);

    AnsiString& operator+=(const AnsiString& o);
    AnsiString& operator+=(const char* s);
    AnsiString& operator+=(char c);
    AnsiString& Append(const char* s, int len);
    friend AnsiString operator+(const AnsiString& a, const AnsiString& b);
    friend AnsiString operator+(const AnsiString& a, const char* b);
    friend AnsiString operator+(const char* a, const AnsiString& b);
    friend AnsiString operator+(const AnsiString& a, char b);

    int Compare(const AnsiString& o) const noexcept; // bytes as unsigned
    friend bool operator==(const AnsiString& a, const AnsiString& b) noexcept
    {
        return a.Length() == b.Length() && a.Compare(b) == 0;
    }
    friend bool operator==(const AnsiString& a, const char* b) noexcept { return a.view() == (b ? b : ""); }
    friend bool operator!=(const AnsiString& a, const AnsiString& b) noexcept { return !(a == b); }
    friend bool operator!=(const AnsiString& a, const char* b) noexcept { return !(a == b); }
    friend bool operator<(const AnsiString& a, const AnsiString& b) noexcept { return a.Compare(b) < 0; }
    friend bool operator>(const AnsiString& a, const AnsiString& b) noexcept { return a.Compare(b) > 0; }
    friend bool operator<=(const AnsiString& a, const AnsiString& b) noexcept { return a.Compare(b) <= 0; }
    friend bool operator>=(const AnsiString& a, const AnsiString& b) noexcept { return a.Compare(b) >= 0; }

private:
    friend class TStringArena;
    // Eight bytes before the text: millions of rows each have one. Where the bytes live is told by
    // the top bits of refs; a string of its own heap block keeps its capacity in the four bytes
    // before the header, one in a small shared block the way back to the block's start there, and
    // one in a 64 KB shared block nothing (the block starts at the 64 KB boundary below it).
    struct Rep
    {
        int refs; // the count in the low bits; atomic access through the helpers in the .cpp
        int len;
        char data[1];
    };
    static constexpr int kCountMask = (1 << 29) - 1;
    static constexpr int kInSmallBlock = 1 << 29;
    static constexpr int kInPageBlock = 1 << 30;
    static constexpr size_t kPageBlock = 65536;
    static Rep* NewRep(int cap);
    static char* NewPageBlock(); // kPageBlock bytes on a kPageBlock boundary
    static void FreePageBlock(char* block) noexcept;
    static int Capacity(const Rep* r) noexcept; // -1 in a shared block: never written in place
    static void Release(Rep* r) noexcept;
    void MakeUnique(int minCap);
    Rep* rep_;
};

// Makes strings whose bytes sit in large shared blocks instead of a heap block each (millions of
// rows of a big text cost a heap header and rounding apiece otherwise). A string made here is
// copied to storage of its own when it is written to; a block goes back once the arena and every
// string in it are gone. A string of one byte, or of one byte and a CR, is one held for the whole
// run and shared. Making strings is for one thread; the strings go anywhere.
class TStringArena
{
public:
    TStringArena() = default;
    // Smaller blocks for strings that are replaced piecemeal: one that outlives its neighbours
    // holds no more than its block. Blocks of 64 KB or more are made 64 KB.
    explicit TStringArena(size_t blockBytes) : blockBytes_(blockBytes) {}
    ~TStringArena();
    TStringArena(const TStringArena&) = delete;
    TStringArena& operator=(const TStringArena&) = delete;

    AnsiString Make(const char* s, int len);

private:
    void Leave() noexcept; // gives up the arena's hold on its current block
    char* block_ = nullptr;
    size_t used_ = 0;
    int ahead_ = 0; // holds on the block counted already, for strings not yet made
    size_t blockBytes_ = AnsiString::kPageBlock;
};

// CP932 byte classification over fixed ranges (never the process code page).
inline bool IsSjisLead(unsigned char b) noexcept { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool IsSjisTrail(unsigned char b) noexcept { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The value of a hexadecimal digit (either case), or -1 for any other byte.
inline int HexDigitValue(unsigned char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Raw bytes, for diagnostics (test failures print the text, not the object's address).
std::ostream& operator<<(std::ostream& os, const AnsiString& s);

enum TMbcsByteType { mbSingleByte, mbLeadByte, mbTrailByte };
// Type of the byte at 1-based index, scanning from the start of s.
TMbcsByteType ByteType(const AnsiString& s, int index);
// Same over raw bytes, 0-based index. Inline: every break decision asks it twice.
inline TMbcsByteType ByteTypeAt(const char* s, int len, int index0)
{
    if (index0 < 0 || index0 >= len)
        return mbSingleByte;
    // A character starts right after the last byte before index0 that cannot lead (whether that
    // byte was a single byte or a trail, the next one begins a character); from there on every
    // byte leads or trails in turn. Only that run is looked at, not the whole text before it.
    int k = index0;
    while (k > 0 && IsSjisLead((unsigned char)s[k - 1]))
        --k;
    if ((index0 - k) % 2 == 1)
        return mbTrailByte;
    return (IsSjisLead((unsigned char)s[index0]) && index0 + 1 < len) ? mbLeadByte : mbSingleByte;
}
