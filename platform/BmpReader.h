// Reading .bmp files without trusting them: every header field is checked against the file's size
// before a pixel is read, and the pixels are decoded here, never by the system's reader (which reads
// past the end of a damaged file). Needs no Windows: the native sanitizer build fuzzes it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct typBmpHeader
{
    int width = 0;
    int height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;         // 1, 4, 8, 16, 24 or 32
    uint32_t compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    uint32_t masks[3] = {};   // red, green and blue of 16- and 32-bit pixels
    size_t paletteAt = 0;     // the colour table (1-, 4- and 8-bit pictures)
    int paletteEntry = 4;     // bytes per colour: 3 in the old 12-byte header
    int colors = 0;
    size_t pixelsAt = 0;
};

// False when the data cannot be a picture this reader draws: a field out of range, a table or the
// pixels past the end of the data, a kind it does not know (a JPEG or PNG inside, an unknown
// header).
bool ReadBmpHeader(const uint8_t* data, size_t size, typBmpHeader& header);

// The size of the picture decoded at 1/denom.
inline int BmpScaled(int side, int denom) { return int((int64_t(side) + denom - 1) / denom); }

// A part of a picture: width x height pixels from column left and row top (0 = the top row).
struct typBmpWindow
{
    int left = 0;
    int top = 0;
    int width = 0; // 0: the whole picture
    int height = 0;
};

// Decodes a picture whose header was read into 24-bit rows (blue, green, red) at 1/denom of its size
// (denom 1, 2, 4 or 8; an output pixel is the average of the block it covers): output row y (0 = top)
// starts at out + y * stride. Run-length data that ends early leaves the rest black; a colour index
// past the table is black. With a window (inside the picture, denom 1) only that part is written,
// its top left pixel at out. False when cancel was set before the end (the output is then partly
// written).
bool DecodeBmp(const uint8_t* data, size_t size, const typBmpHeader& header, int denom, uint8_t* out,
               ptrdiff_t stride, const typBmpWindow& window = {}, const std::atomic<bool>* cancel = nullptr);
