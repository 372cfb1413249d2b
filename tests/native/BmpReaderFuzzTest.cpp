// The .bmp reader against damaged files: well-formed files of every kind it reads, with random bytes
// changed, header fields set to extreme values and the end cut off. Whatever the file, the reader
// refuses it or decodes it without reading or writing one byte outside the file and the output
// (the native build runs this under the address and undefined-behaviour sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

#include "platform/BmpReader.h"
#include "tests/BmpFiles.h"

namespace
{
unsigned FuzzSeed()
{
    const char* s = std::getenv("VN_FUZZ_SEED");
    return s && *s ? unsigned(std::strtoul(s, nullptr, 10)) : 20240612u;
}

std::vector<typBmpSpec> Seeds()
{
    return {Spec(5, 3, 1, 0),  Spec(9, -4, 4, 0),        Spec(7, 5, 8, 0, 9),       Spec(6, 4, 16, 0),
            Spec(6, 4, 16, 3), Spec(5, -3, 24, 0),       Spec(4, 4, 32, 3, 0, 124), Spec(17, 6, 8, 1),
            Spec(17, 6, 4, 2), Spec(5, 3, 24, 0, 0, 12), Spec(300, 2, 8, 1)};
}

// Decodes what the reader accepts into an output of exactly its size, like the program does (or of
// a window's size, cut from the picture anywhere, even partly outside it), but only pictures small
// enough for a quick run.
bool ReadAll(const std::string& file, int denom, typBmpWindow window = {})
{
    // The bytes alone on the heap: a read of one more is reported.
    std::unique_ptr<uint8_t[]> data(new uint8_t[file.size() ? file.size() : 1]);
    std::memcpy(data.get(), file.data(), file.size());
    typBmpHeader h;
    if (!ReadBmpHeader(data.get(), file.size(), h))
        return false;
    EXPECT_GT(h.width, 0);
    EXPECT_GT(h.height, 0);
    EXPECT_LE(h.pixelsAt, file.size());
    if (int64_t(h.width) * h.height > 4'000'000)
        return true;
    int w = BmpScaled(h.width, denom), height = BmpScaled(h.height, denom);
    if (window.width > 0 && window.height > 0)
    {
        denom = 1;
        w = std::min(window.width, h.width - std::clamp(window.left, 0, h.width));
        height = std::min(window.height, h.height - std::clamp(window.top, 0, h.height));
        if (w <= 0 || height <= 0)
            return true;
    }
    const ptrdiff_t stride = ptrdiff_t(w) * 3;
    std::unique_ptr<uint8_t[]> out(new uint8_t[size_t(stride) * size_t(height)]);
    EXPECT_TRUE(DecodeBmp(data.get(), file.size(), h, denom, out.get(), stride, window));
    return true;
}
} // namespace

TEST(BmpReaderFuzz, DamagedFilesAreRefusedOrDecodedWithinTheirBytes)
{
    std::mt19937 rng(FuzzSeed());
    const std::vector<typBmpSpec> seeds = Seeds();
    // Values that have broken readers: zero, one, signs, overflow edges.
    const uint32_t extremes[] = {0,       1,          2,          3,          4,          7,         12,
                                 16,      40,         124,        255,        256,        0x7FFF,    0xFFFF,
                                 0x10000, 0x7FFFFFF0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF};
    int accepted = 0, refused = 0;
    for (int round = 0; round < 40000; ++round)
    {
        const typBmpSpec& spec = seeds[size_t(rng()) % seeds.size()];
        std::string file = MakeBmp(spec);
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits; ++e)
        {
            switch (rng() % 4)
            {
            case 0: // a field of the headers set to an extreme
            {
                const size_t at = rng() % std::min<size_t>(file.size(), 70);
                const uint32_t v = extremes[rng() % std::size(extremes)];
                for (size_t i = 0; i < 4 && at + i < file.size(); ++i)
                    file[at + i] = char(v >> (8 * i) & 255);
                break;
            }
            case 1: // a random byte anywhere
                file[rng() % file.size()] = char(rng());
                break;
            case 2: // a random byte in the headers
                file[rng() % std::min<size_t>(file.size(), 70)] = char(rng());
                break;
            default: // the end cut off
                file.resize(rng() % (file.size() + 1));
                if (file.empty())
                    file = "B";
                break;
            }
        }
        SCOPED_TRACE(testing::Message() << "round " << round << " (VN_FUZZ_SEED=" << FuzzSeed() << ")");
        typBmpWindow window;
        if (rng() % 3 == 0)
            window = typBmpWindow{int(rng() % 20) - 2, int(rng() % 20) - 2, 1 + int(rng() % 20), 1 + int(rng() % 20)};
        (ReadAll(file, 1 << (rng() % 4), window) ? accepted : refused)++;
        if (HasFailure())
            return;
    }
    // Both sides were reached: the damage was neither always fatal nor always harmless.
    EXPECT_GT(accepted, 1000);
    EXPECT_GT(refused, 1000);
}

// Undamaged files of every kind decode to the colours they were written with, whole and reduced
// (a reduced pixel is the mean of its block).
TEST(BmpReaderFuzz, WellFormedFilesDecodeToTheirColoursAtEveryReduction)
{
    for (const typBmpSpec& s : Seeds())
        for (int denom : {1, 2, 4, 8})
        {
            SCOPED_TRACE(testing::Message() << s.bits << " bits " << s.width << "x" << s.height << " compression "
                                            << s.compression << " 1/" << denom);
            const std::string file = MakeBmp(s);
            typBmpHeader h;
            ASSERT_TRUE(ReadBmpHeader(reinterpret_cast<const uint8_t*>(file.data()), file.size(), h));
            const int w = BmpScaled(h.width, denom), height = BmpScaled(h.height, denom);
            std::vector<uint8_t> out(size_t(w) * size_t(height) * 3);
            DecodeBmp(reinterpret_cast<const uint8_t*>(file.data()), file.size(), h, denom, out.data(), w * 3);
            for (int oy = 0; oy < height; ++oy)
                for (int ox = 0; ox < w; ++ox)
                    for (int c = 0; c < 3; ++c)
                    {
                        int sum = 0, n = 0;
                        for (int y = oy * denom; y < std::min(h.height, (oy + 1) * denom); ++y)
                            for (int x = ox * denom; x < std::min(h.width, (ox + 1) * denom); ++x, ++n)
                                sum += int(ExpectedPixel(s, x, y) >> (8 * c) & 255);
                        ASSERT_EQ((sum + n / 2) / n, out[(size_t(oy) * size_t(w) + size_t(ox)) * 3 + size_t(c)])
                            << ox << "," << oy << " channel " << c;
                    }
        }
}

