// .bmp files built byte by byte for the picture reader's tests, with every header field settable,
// and the colour each pixel must come back as. Needs no Windows (the native build uses it too).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct typBmpSpec
{
    int width = 8;
    int height = 6; // negative: rows stored from the top
    int bits = 24;
    uint32_t compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t infoSize = 40;   // 12, 40, 52, 56, 108 or 124
    uint32_t clrUsed = 0;
    uint32_t masks[3] = {0xF800, 0x07E0, 0x001F}; // with bit fields (565 for 16 bits)
    std::optional<uint32_t> offBits;              // else where the pixels are
};

// Channel values are kept as 0xRRGGBB.
inline uint32_t Rgb(int r, int g, int b)
{
    return uint32_t(r & 255) << 16 | uint32_t(g & 255) << 8 | uint32_t(b & 255);
}

// The colour of table entry i: distinct for every index up to 256.
inline uint32_t TableColour(int i) { return Rgb(i * 37 + 11, 255 - i, i * 91 + 3); }

// Index (tables) or colour (other depths) of pixel (x, y), y from the top.
inline uint32_t SpecPixel(const typBmpSpec& s, int x, int y)
{
    if (s.bits <= 8)
    {
        const int colours = s.clrUsed ? int(s.clrUsed) : 1 << s.bits;
        return uint32_t((x + 3 * y + (x / 3) * (y / 2)) % colours);
    }
    return Rgb(x * 29 + y * 3, 250 - x * 7 - y * 11, y * 41 + x);
}

namespace bmpfiles
{
inline void Put16(std::string& b, uint32_t v)
{
    b += char(v & 255);
    b += char(v >> 8 & 255);
}
inline void Put32(std::string& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline int Low(uint32_t m)
{
    int n = 0;
    while (m && !(m & 1))
    {
        m >>= 1;
        ++n;
    }
    return n;
}
inline int Bits(uint32_t m)
{
    int n = 0;
    for (; m; m &= m - 1)
        ++n;
    return n;
}
inline const uint32_t* Masks(const typBmpSpec& s)
{
    static const uint32_t m555[3] = {0x7C00, 0x03E0, 0x001F}, m888[3] = {0xFF0000, 0xFF00, 0xFF};
    return s.compression == 3 ? s.masks : s.bits == 16 ? m555 : m888;
}
inline uint32_t Pack(uint32_t rgb, const uint32_t* masks)
{
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c)
    {
        const uint32_t channel = rgb >> (16 - 8 * c) & 255;
        v |= (channel >> (8 - std::min(8, Bits(masks[c])))) << Low(masks[c]);
    }
    return v;
}
inline void RleRow(std::string& b, const std::vector<int>& row, bool four)
{
    // Repeats as encoded runs, stretches of different pixels (3 or more) as absolute runs.
    for (size_t x = 0; x < row.size();)
    {
        size_t n = 1;
        while (x + n < row.size() && row[x + n] == row[x] && n < 254)
            ++n;
        if (n == 1)
        {
            size_t m = 1;
            while (x + m < row.size() && m < 254 && row[x + m] != row[x + m - 1])
                ++m;
            if (m >= 3)
            {
                b += '\0';
                b += char(m);
                std::string bytes;
                for (size_t i = 0; i < m; ++i)
                    if (!four)
                        bytes += char(row[x + i]);
                    else if (i % 2 == 0)
                        bytes += char(row[x + i] << 4);
                    else
                        bytes.back() = char(bytes.back() | row[x + i]);
                if (bytes.size() % 2)
                    bytes += '\0';
                b += bytes;
                x += m;
                continue;
            }
        }
        b += char(n);
        b += char(four ? (row[x] << 4 | row[x]) : row[x]);
        x += n;
    }
    b += '\0';
    b += '\0';
}
} // namespace bmpfiles

inline std::string MakeBmp(const typBmpSpec& s)
{
    using namespace bmpfiles;
    const int h = s.height < 0 ? -s.height : s.height;
    const bool core = s.infoSize == 12;
    const int colours = s.bits <= 8 ? (s.clrUsed ? int(s.clrUsed) : 1 << s.bits) : 0;
    std::string table;
    for (int i = 0; i < colours && i < 256; ++i)
    {
        const uint32_t c = TableColour(i);
        table += char(c & 255);
        table += char(c >> 8 & 255);
        table += char(c >> 16 & 255);
        if (!core)
            table += '\0';
    }
    std::string masks;
    if (s.compression == 3)
        for (uint32_t m : s.masks)
            Put32(masks, m);
    std::string pixels;
    const size_t rowBytes = (size_t(s.width) * size_t(s.bits) + 31) / 32 * 4;
    for (int r = 0; r < h; ++r)
    {
        const int y = s.height < 0 ? r : h - 1 - r;
        if (s.compression == 1 || s.compression == 2)
        {
            std::vector<int> row;
            for (int x = 0; x < s.width; ++x)
                row.push_back(int(SpecPixel(s, x, y)));
            RleRow(pixels, row, s.compression == 2);
            continue;
        }
        std::string row(rowBytes, '\0');
        for (int x = 0; x < s.width; ++x)
        {
            const uint32_t v = SpecPixel(s, x, y);
            if (s.bits <= 8)
            {
                const size_t bit = size_t(x) * size_t(s.bits);
                row[bit / 8] = char(uint8_t(row[bit / 8]) | uint8_t(v << (8 - s.bits - int(bit % 8))));
            }
            else if (s.bits == 24)
            {
                row[size_t(x) * 3] = char(v & 255);
                row[size_t(x) * 3 + 1] = char(v >> 8 & 255);
                row[size_t(x) * 3 + 2] = char(v >> 16 & 255);
            }
            else
            {
                std::string p;
                Put32(p, Pack(v, Masks(s)));
                row.replace(size_t(x) * size_t(s.bits / 8), size_t(s.bits / 8), p.substr(0, size_t(s.bits / 8)));
            }
        }
        pixels += row;
    }
    if (s.compression == 1 || s.compression == 2)
    {
        pixels += '\0';
        pixels += '\1';
    }
    std::string info;
    Put32(info, s.infoSize);
    if (core)
    {
        Put16(info, uint32_t(s.width));
        Put16(info, uint32_t(h));
        Put16(info, 1);
        Put16(info, uint32_t(s.bits));
    }
    else
    {
        Put32(info, uint32_t(s.width));
        Put32(info, uint32_t(s.height));
        Put16(info, 1);
        Put16(info, uint32_t(s.bits));
        Put32(info, s.compression);
        Put32(info, uint32_t(pixels.size()));
        Put32(info, 2835);
        Put32(info, 2835);
        Put32(info, s.clrUsed);
        Put32(info, 0);
        if (s.infoSize > 40)
        {
            info += masks; // the longer headers hold the masks (zeros when there are none)
            info.resize(40 + 12, '\0');
            info.resize(s.infoSize, '\0');
            masks.clear();
        }
    }
    const uint32_t at = uint32_t(14 + info.size() + masks.size() + table.size());
    std::string b = "BM";
    Put32(b, uint32_t(at + pixels.size()));
    Put32(b, 0);
    Put32(b, s.offBits.value_or(at));
    return b + info + masks + table + pixels;
}

// What pixel (x, y) must read back as (0xRRGGBB): the table's colour, or the colour through the
// depth's masks, each channel widened back to 8 bits as the reader does.
inline uint32_t ExpectedPixel(const typBmpSpec& s, int x, int y)
{
    using namespace bmpfiles;
    const uint32_t v = SpecPixel(s, x, y);
    if (s.bits <= 8)
        return TableColour(int(v));
    if (s.bits == 24)
        return v;
    const uint32_t* masks = Masks(s);
    const uint32_t packed = Pack(v, masks);
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c)
    {
        const int bits = Bits(masks[c]);
        const uint32_t raw = (packed & masks[c]) >> Low(masks[c]);
        const uint32_t eight = bits >= 8 ? raw >> (bits - 8) : raw * 255 / ((1u << bits) - 1);
        out |= eight << (16 - 8 * c);
    }
    return out;
}

// Damaged and odd files, each with whether the reader takes it.
// A .bmp file as built, then changed: cut to its first bytes, or a 32-bit field overwritten.
struct TCrafted
{
    const char* name;
    typBmpSpec spec;
    size_t cutTo = 0;   // 0: whole
    size_t fieldAt = 0; // 0: none
    uint32_t fieldValue = 0;
    bool loads = false;
};

inline typBmpSpec Spec(int w, int h, int bits, uint32_t compression = 0, uint32_t clrUsed = 0, uint32_t infoSize = 40)
{
    typBmpSpec s;
    s.width = w;
    s.height = h;
    s.bits = bits;
    s.compression = compression;
    s.clrUsed = clrUsed;
    s.infoSize = infoSize;
    return s;
}

inline std::string Crafted(const TCrafted& c)
{
    std::string b = MakeBmp(c.spec);
    if (c.fieldAt)
        for (int i = 0; i < 4; ++i)
            b[c.fieldAt + size_t(i)] = char(c.fieldValue >> (8 * i) & 255);
    if (c.cutTo)
        b.resize(std::min(b.size(), c.cutTo));
    return b;
}

// Offsets of header fields.
inline constexpr size_t kOffBits = 10, kInfoSize = 14, kWidth = 18, kHeight = 22, kBitCount = 28, kCompression = 30,
                        kClrUsed = 46, kRedMask = 54;

inline const std::vector<TCrafted>& CraftedBitmaps()
{
    static const std::vector<TCrafted> cases = {
        {"an ordinary 640x480", Spec(640, 480, 24), 0, 0, 0, true},
        {"its first 5,000 bytes", Spec(640, 480, 24), 5000},
        {"its last row short", Spec(640, 480, 24), 14 + 40 + 640 * 3 * 480 - 1},
        {"the header alone", Spec(64, 48, 8), 14 + 40},
        {"two bytes", Spec(64, 48, 8), 2},
        {"pixels at 0x7FFFFFF0", Spec(64, 48, 24), 0, kOffBits, 0x7FFFFFF0},
        {"pixels inside the header", Spec(64, 48, 24), 0, kOffBits, 20},
        {"pixels at the end", Spec(64, 48, 24), 0, kOffBits, 14 + 40 + 64 * 3 * 48},
        {"pixels offset 0 (right after the table)", Spec(64, 48, 8), 0, kOffBits, 0, true},
        {"8 bits, 0xFFFFFFF0 colours", Spec(64, 48, 8), 0, kClrUsed, 0xFFFFFFF0},
        {"8 bits, 257 colours", Spec(64, 48, 8), 0, kClrUsed, 257},
        {"4 bits, 17 colours", Spec(64, 48, 4), 0, kClrUsed, 17},
        {"8 bits, a table of 16", Spec(64, 48, 8, 0, 16), 0, 0, 0, true},
        {"0 bits", Spec(64, 48, 24), 0, kBitCount, 0},
        {"2 bits", Spec(64, 48, 24), 0, kBitCount, 2},
        {"7 bits", Spec(64, 48, 24), 0, kBitCount, 7},
        {"64 bits", Spec(64, 48, 24), 0, kBitCount, 64},
        {"a JPEG inside", Spec(64, 48, 24), 0, kCompression, 4},
        {"a PNG inside", Spec(64, 48, 24), 0, kCompression, 5},
        {"compression 99", Spec(64, 48, 24), 0, kCompression, 99},
        {"runs of 8 bits in 24", Spec(64, 48, 24), 0, kCompression, 1},
        {"runs of 4 bits in 8", Spec(64, 48, 8), 0, kCompression, 2},
        {"bit fields in 24", Spec(64, 48, 24), 0, kCompression, 3},
        {"bit fields, red mask 0", Spec(64, 48, 16, 3), 0, kRedMask, 0},
        {"bit fields, red mask with a hole", Spec(64, 48, 16, 3), 0, kRedMask, 0xF00F},
        {"bit fields, red over green", Spec(64, 48, 16, 3), 0, kRedMask, 0x0FE0},
        {"bit fields, 16 bits, mask above them", Spec(64, 48, 16, 3), 0, kRedMask, 0x1F0000},
        {"runs stored top down", Spec(64, -48, 8, 1)},
        {"top down", Spec(64, -48, 24), 0, 0, 0, true},
        {"height -2^31", Spec(64, 48, 24), 0, kHeight, 0x80000000},
        {"0 x 0", Spec(64, 48, 24), 0, kWidth, 0},
        {"height 0", Spec(64, 48, 24), 0, kHeight, 0},
        {"width -64", Spec(64, 48, 24), 0, kWidth, uint32_t(-64)},
        {"60000 x 60000", Spec(60000, 48, 24), 0, kHeight, 60000},
        {"60000 x 60000 in runs", Spec(60000, 1, 8, 1), 0, kHeight, 60000},
        {"16000 x 16000 in runs (too many pixels)", Spec(16000, 1, 8, 1), 0, kHeight, 16000},
        {"runs cut short", Spec(64, 48, 8, 1), 14 + 40 + 256 * 4 + 40, 0, 0, true},
        {"header size 0", Spec(64, 48, 24), 0, kInfoSize, 0},
        {"header size 64", Spec(64, 48, 24), 0, kInfoSize, 64},
        {"header size past the file", Spec(64, 48, 24), 0, kInfoSize, 1000000},
        {"the old 12-byte header", Spec(64, 48, 8, 0, 0, 12), 0, 0, 0, true},
        {"a 124-byte header", Spec(64, 48, 32, 3, 0, 124), 0, 0, 0, true},
    };
    return cases;
}
