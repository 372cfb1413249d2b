// Byte scans the file search and its floor share: a word at a time, the C run-time's memchr taking
// a byte.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace ByteScan
{
// The first byte of [p, end) that is a or b, or end: four bytes at a time (the C run-time's
// memchr takes one). In a word holding a match the lowest flagged byte is the first one, since a
// borrow only runs on from a byte that matched.
inline const char* FindEither(const char* p, const char* end, unsigned char a, unsigned char b)
{
    const uint32_t ma = 0x01010101u * a;
    const uint32_t mb = 0x01010101u * b;
    auto zeroByte = [](uint32_t x) { return (x - 0x01010101u) & ~x & 0x80808080u; };
    for (; end - p >= 4; p += 4)
    {
        uint32_t w;
        std::memcpy(&w, p, 4);
        if (const uint32_t m = zeroByte(w ^ ma) | zeroByte(w ^ mb))
            return p + (std::countr_zero(m) >> 3);
    }
    for (; p < end; ++p)
        if (static_cast<unsigned char>(*p) == a || static_cast<unsigned char>(*p) == b)
            return p;
    return end;
}

// Where needle first occurs in hay from from on, or npos: its first byte found as above, the rest
// compared.
inline size_t FindText(std::string_view hay, std::string_view needle, size_t from)
{
    const size_t n = needle.size();
    if (n == 0 || hay.size() < n || from > hay.size() - n)
        return std::string_view::npos;
    const auto first = static_cast<unsigned char>(needle[0]);
    const char* const last = hay.data() + (hay.size() - n) + 1; // past the last place it can start
    for (const char* p = hay.data() + from; p < last; ++p)
    {
        p = FindEither(p, last, first, first);
        if (p == last)
            break;
        if (std::memcmp(p + 1, needle.data() + 1, n - 1) == 0)
            return size_t(p - hay.data());
    }
    return std::string_view::npos;
}
} // namespace ByteScan
