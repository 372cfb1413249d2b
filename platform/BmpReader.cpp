#include "BmpReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;
// No picture is wider or taller than this; the callers limit the number of pixels further.
constexpr int64_t kMaxSide = 65535;

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

int LowBit(uint32_t mask)
{
    int n = 0;
    while (mask && !(mask & 1u))
    {
        mask >>= 1;
        ++n;
    }
    return n;
}

int BitsIn(uint32_t mask)
{
    int n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

// One run of set bits: a mask with a hole in it would scramble the colour.
bool Contiguous(uint32_t mask)
{
    if (!mask)
        return false;
    const uint32_t m = mask >> LowBit(mask);
    return (m & (m + 1)) == 0;
}

// Turns one channel of a packed pixel into 8 bits.
struct TChannel
{
    uint32_t mask;
    int shift, bits;
    explicit TChannel(uint32_t m) : mask(m), shift(LowBit(m)), bits(BitsIn(m)) {}
    uint8_t operator()(uint32_t v) const
    {
        const uint32_t x = (v & mask) >> shift;
        if (bits >= 8)
            return uint8_t(x >> (bits - 8));
        return bits ? uint8_t(x * 255u / ((1u << bits) - 1u)) : 0;
    }
};

// Collects decoded rows (any order, each once, the rows of one output row together) into the
// output, averaging denom x denom blocks, or keeping the window's part of each; and says whether the
// decoding is to stop.
class TRowSink
{
public:
    TRowSink(const typBmpHeader& h, int denom, uint8_t* out, ptrdiff_t stride, const typBmpWindow& window,
             const std::atomic<bool>* cancel)
        : w_(h.width), h_(h.height), denom_(denom), ow_(BmpScaled(h.width, denom)), out_(out), stride_(stride),
          sum_(denom > 1 ? size_t(ow_) * 3 : 0, 0), window_(window), cancel_(cancel)
    {
        if (window_.width <= 0 || window_.height <= 0 || denom_ > 1)
            window_ = typBmpWindow{0, 0, w_, h_};
        // Never past the picture, whatever was asked.
        window_.left = std::clamp(window_.left, 0, w_);
        window_.top = std::clamp(window_.top, 0, h_);
        window_.width = std::min(window_.width, w_ - window_.left);
        window_.height = std::min(window_.height, h_ - window_.top);
    }
    ~TRowSink() { Flush(); }

    // Whether row y (from the top) is written at all: the others need no decoding.
    bool Wanted(int y) const { return y >= window_.top && y < window_.top + window_.height; }
    bool Cancelled()
    {
        cancelled_ = cancelled_ || (cancel_ && cancel_->load(std::memory_order_relaxed));
        return cancelled_;
    }

    // bgr: the row's width pixels; y: its place from the top.
    void Row(int y, const uint8_t* bgr)
    {
        if (denom_ == 1)
        {
            if (Wanted(y))
                std::memcpy(out_ + stride_ * (y - window_.top), bgr + size_t(window_.left) * 3,
                            size_t(window_.width) * 3);
            return;
        }
        if (y / denom_ != outY_)
        {
            Flush();
            outY_ = y / denom_;
        }
        ++rows_;
        for (int x = 0; x < w_; ++x)
        {
            uint32_t* s = &sum_[size_t(x / denom_) * 3];
            s[0] += bgr[x * 3];
            s[1] += bgr[x * 3 + 1];
            s[2] += bgr[x * 3 + 2];
        }
    }

private:
    void Flush()
    {
        if (rows_ == 0)
            return;
        uint8_t* o = out_ + stride_ * outY_;
        for (int ox = 0; ox < ow_; ++ox)
        {
            const uint32_t n = uint32_t(std::min(denom_, w_ - ox * denom_) * rows_);
            for (int c = 0; c < 3; ++c)
            {
                uint32_t& s = sum_[size_t(ox) * 3 + c];
                o[ox * 3 + c] = uint8_t((s + n / 2) / n);
                s = 0;
            }
        }
        rows_ = 0;
    }

    int w_, h_, denom_, ow_;
    uint8_t* out_;
    ptrdiff_t stride_;
    std::vector<uint32_t> sum_;
    typBmpWindow window_;
    const std::atomic<bool>* cancel_;
    bool cancelled_ = false;
    int outY_ = -1;
    int rows_ = 0;
};

// The colour table as blue, green, red triples; entries past it are black.
std::vector<uint8_t> Palette(const uint8_t* data, const typBmpHeader& h)
{
    std::vector<uint8_t> bgr(256 * 3, 0);
    for (int i = 0; i < h.colors; ++i)
        std::memcpy(&bgr[size_t(i) * 3], data + h.paletteAt + size_t(i) * size_t(h.paletteEntry), 3);
    return bgr;
}

void DecodeRows(const uint8_t* data, const typBmpHeader& h, TRowSink& sink)
{
    const size_t rowBytes = (size_t(h.width) * size_t(h.bitCount) + 31) / 32 * 4;
    const std::vector<uint8_t> palette = h.bitCount <= 8 ? Palette(data, h) : std::vector<uint8_t>();
    const TChannel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    std::vector<uint8_t> row(size_t(h.width) * 3);
    for (int r = 0; r < h.height && !sink.Cancelled(); ++r)
    {
        if (!sink.Wanted(h.topDown ? r : h.height - 1 - r))
            continue;
        const uint8_t* src = data + h.pixelsAt + rowBytes * size_t(r);
        uint8_t* o = row.data();
        switch (h.bitCount)
        {
        case 24: std::memcpy(o, src, row.size()); break;
        case 1:
        case 4:
        case 8:
            for (int x = 0; x < h.width; ++x)
            {
                const size_t bit = size_t(x) * size_t(h.bitCount);
                const int shift = 8 - h.bitCount - int(bit % 8);
                const int index = (src[bit / 8] >> shift) & ((1 << h.bitCount) - 1);
                std::memcpy(o + x * 3, &palette[size_t(index) * 3], 3);
            }
            break;
        default: // 16 and 32 bits, packed
            for (int x = 0; x < h.width; ++x)
            {
                const uint32_t v = h.bitCount == 16 ? U16(src + x * 2) : U32(src + x * 4);
                o[x * 3] = blue(v);
                o[x * 3 + 1] = green(v);
                o[x * 3 + 2] = red(v);
            }
            break;
        }
        sink.Row(h.topDown ? r : h.height - 1 - r, o);
    }
}

// Run-length data, bottom row first. Every read is checked against the end of the data and every
// write against the row; moves only go forward, so the rows come out in order.
void DecodeRle(const uint8_t* data, size_t size, const typBmpHeader& h, TRowSink& sink)
{
    const bool four = h.compression == kRle4;
    const std::vector<uint8_t> palette = Palette(data, h);
    std::vector<uint8_t> index(size_t(h.width), 0);
    std::vector<uint8_t> bgr(size_t(h.width) * 3);
    int row = 0, x = 0;
    auto emit = [&] {
        if (row >= h.height)
            return;
        if (sink.Wanted(h.height - 1 - row))
        {
            for (int i = 0; i < h.width; ++i)
                std::memcpy(&bgr[size_t(i) * 3], &palette[size_t(index[size_t(i)]) * 3], 3);
            sink.Row(h.height - 1 - row, bgr.data());
        }
        std::fill(index.begin(), index.end(), uint8_t(0));
        ++row;
    };
    auto put = [&](int value) {
        if (x < h.width)
            index[size_t(x)] = uint8_t(value);
        ++x;
    };
    size_t p = h.pixelsAt;
    while (row < h.height && p + 2 <= size && !sink.Cancelled())
    {
        const int count = data[p], code = data[p + 1];
        p += 2;
        if (count > 0)
        {
            for (int i = 0; i < count && x < h.width; ++i)
                put(four ? (i % 2 == 0 ? code >> 4 : code & 15) : code);
        }
        else if (code == 0)
        {
            emit();
            x = 0;
        }
        else if (code == 1)
            break;
        else if (code == 2)
        {
            if (p + 2 > size)
                break;
            const int dx = data[p], dy = data[p + 1];
            p += 2;
            for (int i = 0; i < dy && row < h.height; ++i)
                emit();
            x = std::min(x + dx, h.width);
        }
        else
        {
            const size_t bytes = four ? (size_t(code) + 1) / 2 : size_t(code);
            for (int i = 0; i < code && x < h.width; ++i)
            {
                const size_t at = p + (four ? size_t(i) / 2 : size_t(i));
                if (at >= size)
                    break;
                put(four ? (i % 2 == 0 ? data[at] >> 4 : data[at] & 15) : data[at]);
            }
            p += bytes + (bytes & 1); // runs keep to whole words
        }
    }
    while (row < h.height && !sink.Cancelled())
        emit();
}
} // namespace

bool ReadBmpHeader(const uint8_t* data, size_t size, typBmpHeader& out)
{
    if (!data || size < 18 || data[0] != 'B' || data[1] != 'M')
        return false;
    typBmpHeader h;
    const uint32_t offBits = U32(data + 10);
    const uint32_t infoSize = U32(data + 14);
    const bool core = infoSize == 12;
    if (!core && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return false;
    if (14 + uint64_t(infoSize) > size)
        return false;
    int64_t width, height;
    if (core)
    {
        width = U16(data + 18);
        height = U16(data + 20);
        h.bitCount = int(U16(data + 24));
        h.paletteEntry = 3;
    }
    else
    {
        width = int32_t(U32(data + 18));
        height = int32_t(U32(data + 22));
        h.bitCount = int(U16(data + 28));
        h.compression = U32(data + 30);
    }
    if (width <= 0 || height == 0 || width > kMaxSide || height < -kMaxSide || height > kMaxSide)
        return false;
    h.width = int(width);
    h.topDown = height < 0;
    h.height = int(height < 0 ? -height : height);
    switch (h.bitCount)
    {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: break;
    default: return false;
    }
    switch (h.compression)
    {
    case kRgb: break;
    case kRle8:
    case kRle4:
        // Runs are stored bottom row first: a top-down run-length picture does not exist.
        if (h.bitCount != (h.compression == kRle8 ? 8 : 4) || h.topDown)
            return false;
        break;
    case kBitFields:
        if (h.bitCount != 16 && h.bitCount != 32)
            return false;
        break;
    default: return false; // a JPEG or PNG inside, or something newer
    }
    uint64_t tableAt = 14 + uint64_t(infoSize);
    if (h.compression == kBitFields)
    {
        // The three masks follow the 40-byte header; the longer headers hold them.
        const uint64_t masksAt = infoSize == 40 ? tableAt : 14 + 40;
        if (infoSize == 40)
            tableAt += 12;
        if (masksAt + 12 > size)
            return false;
        for (int i = 0; i < 3; ++i)
            h.masks[i] = U32(data + masksAt + size_t(i) * 4);
        const uint32_t limit = h.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (int i = 0; i < 3; ++i)
            if (!Contiguous(h.masks[i]) || (h.masks[i] & ~limit))
                return false;
        if ((h.masks[0] & h.masks[1]) || (h.masks[0] & h.masks[2]) || (h.masks[1] & h.masks[2]))
            return false;
    }
    else if (h.bitCount == 16)
    {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    }
    else if (h.bitCount == 32)
    {
        h.masks[0] = 0xFF0000;
        h.masks[1] = 0x00FF00;
        h.masks[2] = 0x0000FF;
    }
    uint64_t tableEnd = tableAt;
    if (h.bitCount <= 8)
    {
        const uint64_t most = uint64_t(1) << h.bitCount;
        const uint64_t used = core ? 0 : U32(data + 46);
        if (used > most)
            return false;
        uint64_t colors = used ? used : most;
        // A table shorter than it says, cut by the pixels that follow it, keeps what it has.
        if (offBits > tableAt && offBits < tableAt + colors * uint64_t(h.paletteEntry))
            colors = (offBits - tableAt) / uint64_t(h.paletteEntry);
        tableEnd = tableAt + colors * uint64_t(h.paletteEntry);
        if (tableEnd > size)
            return false;
        h.colors = int(colors);
    }
    h.paletteAt = size_t(tableAt);
    // Some writers leave the offset 0: the pixels follow the table.
    const uint64_t pixelsAt = offBits ? offBits : tableEnd;
    if (pixelsAt < tableAt || pixelsAt >= size)
        return false;
    h.pixelsAt = size_t(pixelsAt);
    if (h.compression == kRgb || h.compression == kBitFields)
    {
        const uint64_t rowBytes = (uint64_t(h.width) * uint64_t(h.bitCount) + 31) / 32 * 4;
        if (uint64_t(h.height) > (size - pixelsAt) / rowBytes)
            return false;
    }
    out = h;
    return true;
}

bool DecodeBmp(const uint8_t* data, size_t size, const typBmpHeader& header, int denom, uint8_t* out,
               ptrdiff_t stride, const typBmpWindow& window, const std::atomic<bool>* cancel)
{
    denom = std::clamp(denom, 1, 8);
    TRowSink sink(header, denom, out, stride, window, cancel);
    if (header.compression == kRle8 || header.compression == kRle4)
        DecodeRle(data, size, header, sink);
    else
        DecodeRows(data, header, sink);
    return !sink.Cancelled();
}
