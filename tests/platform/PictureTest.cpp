#include <gtest/gtest.h>

#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "tests/BmpFiles.h"
#include "tests/TestFiles.h"
#include "tests/TestPictures.h"

namespace
{
struct TLoadCase
{
    const char* name;
    std::function<void(const AnsiString&)> make; // null: no file at all
    int maxW, maxH;
    bool loads;
    int w, h;
};

std::string Bytes(const char* s) { return std::string(s); }
} // namespace

TEST(TPicture, LoadsBitmapsAndJpegsByExtensionShrinksToTheLimitAndRefusesTheRest)
{
    TTempDir dir;
    const std::vector<TLoadCase> cases = {
        {"a.bmp", [](const AnsiString& p) { WriteBmp(p, 40, 30, Quarters(40, 30)); }, 0, 0, true, 40, 30},
        {"b.JPG", [](const AnsiString& p) { WriteJpeg(p, 64, 48, Quarters(64, 48)); }, 0, 0, true, 64, 48},
        {"c.jpeg", [](const AnsiString& p) { WriteJpeg(p, 64, 48, Quarters(64, 48)); }, 0, 0, true, 64, 48},
        // Wider than the limit: the width decides; taller: the height does.
        {"wide.bmp", [](const AnsiString& p) { WriteBmp(p, 400, 100, Solid(RGB(9, 9, 9))); }, 200, 200, true, 200, 50},
        {"tall.jpg", [](const AnsiString& p) { WriteJpeg(p, 300, 900, Solid(RGB(9, 9, 9))); }, 200, 300, true, 100, 300},
        {"gray.jpg", [](const AnsiString& p) { WriteJpeg(p, 30, 20, Solid(RGB(0, 90, 0)), 95, true); }, 0, 0, true, 30, 20},
        {"fits.jpg", [](const AnsiString& p) { WriteJpeg(p, 100, 80, Solid(RGB(9, 9, 9))); }, 200, 300, true, 100, 80},
        {"missing.jpg", nullptr, 0, 0, false, 0, 0},
        {"missing.bmp", nullptr, 0, 0, false, 0, 0},
        {"text.jpg", [](const AnsiString& p) { WriteBytes(p, Bytes("not a picture")); }, 0, 0, false, 0, 0},
        {"text.bmp", [](const AnsiString& p) { WriteBytes(p, Bytes("BMnot a picture at all, really")); }, 0, 0, false, 0, 0},
        {"empty.jpg", [](const AnsiString& p) { WriteBytes(p, ""); }, 0, 0, false, 0, 0},
        // A JPEG cut inside its header.
        {"cut.jpg", [](const AnsiString& p) {
             WriteJpeg(p, 64, 48, Quarters(64, 48));
             WriteBytes(p, TTempDir::Read(p).SubString(1, 60).c_str());
         }, 0, 0, false, 0, 0},
        {"d.png", [](const AnsiString& p) { WriteBmp(p, 8, 8, Solid(0)); }, 0, 0, false, 0, 0},
    };
    for (const TLoadCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const AnsiString path = dir / c.name;
        if (c.make)
            c.make(path);
        TPicture picture;
        WriteBmp(dir / "before.bmp", 5, 7, Solid(0));
        picture.LoadFromFile(dir / "before.bmp");
        bool loaded = true;
        try
        {
            picture.LoadFromFile(path, c.maxW, c.maxH);
        }
        catch (const EInvalidGraphic&)
        {
            loaded = false;
        }
        EXPECT_EQ(c.loads, loaded);
        // A failed load keeps the picture there was.
        EXPECT_EQ(c.loads ? c.w : 5, picture.Width());
        EXPECT_EQ(c.loads ? c.h : 7, picture.Height());
        ASSERT_NE(nullptr, picture.Bitmap());
    }
}

TEST(TPicture, PixelsOfLoadedAndShrunkPicturesKeepTheirPlaceAndColour)
{
    TTempDir dir;
    struct TCase
    {
        AnsiString path;
        int maxW, maxH;
        int tolerance;
    };
    // JPEG is lossy: a solid area comes back within a few steps.
    const std::vector<TCase> cases = {
        {WriteBmp(dir / "q.bmp", 80, 60, Quarters(80, 60)), 0, 0, 0},
        {WriteJpeg(dir / "q.jpg", 80, 60, Quarters(80, 60)), 0, 0, 8},
        {WriteBmp(dir / "big.bmp", 800, 600, Quarters(800, 600)), 80, 60, 8},
        {WriteJpeg(dir / "big.jpg", 1600, 1200, Quarters(1600, 1200)), 80, 60, 8},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.path.c_str());
        TPicture picture;
        picture.LoadFromFile(c.path, c.maxW, c.maxH);
        TBitmap* bmp = picture.Bitmap();
        ASSERT_NE(nullptr, bmp);
        ASSERT_EQ(80, bmp->Width());
        ASSERT_EQ(60, bmp->Height());
        const auto expect = Quarters(80, 60);
        for (auto [x, y] : {std::pair{10, 10}, {70, 10}, {10, 50}, {70, 50}})
            EXPECT_TRUE(Near(expect(x, y), PixelOf(bmp, x, y), c.tolerance))
                << x << "," << y << " " << Hex(PixelOf(bmp, x, y));
    }
}

TEST(TJPEGImage, DecodesABigPhotoAtAReducedScaleThatStillCoversTheFit)
{
    TTempDir dir;
    const AnsiString path = WriteJpeg(dir / "photo.jpg", 4000, 3000, Solid(RGB(200, 100, 50)), 50);
    const struct
    {
        int fitW, fitH, w, h;
    } cases[] = {{0, 0, 4000, 3000}, {1024, 768, 2000, 1500}, {400, 300, 500, 375}, {2000, 100, 2000, 1500}};
    for (const auto& c : cases)
    {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(path, c.fitW, c.fitH);
        EXPECT_EQ(c.w, jpeg.Width()) << c.fitW;
        EXPECT_EQ(c.h, jpeg.Height()) << c.fitW;
    }
}

namespace
{
// Paints a solid square with a constant alpha over what lies behind it.
class TVeil : public TGraphicControl
{
public:
    using TGraphicControl::TGraphicControl;
    int Paints = 0;

protected:
    void Paint() override
    {
        ++Paints;
        TBitmap b;
        b.SetSize(Width(), Height());
        b.Canvas()->Brush()->SetColor(RGB(0, 0, 0));
        b.Canvas()->FillRect(TRect(0, 0, Width(), Height()));
        AlphaBlendDraw(Canvas(), 0, 0, &b, 128);
    }
};
} // namespace

TEST(TGraphicControl, TheParentPaintsItsGraphicChildrenInOrderEachOverTheOnesBefore)
{
    TTempDir dir;
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 200, 150);
    auto* image = Create<TImage>(form);
    image->SetParent(form);
    image->SetBounds(10, 10, 40, 30);
    image->SetStretch(true);
    image->Picture()->LoadFromFile(WriteBmp(dir / "q.bmp", 20, 20, Quarters(20, 20)));
    auto* veil = Create<TVeil>(form);
    veil->SetParent(form);
    veil->SetBounds(30, 20, 40, 40); // over the image's right half and beyond it
    auto* empty = Create<TVeil>(form);
    empty->SetParent(form);
    empty->SetBounds(100, 100, 0, 0); // a zero-sized control paints nothing

    TBitmap shot;
    shot.SetSize(200, 150);
    shot.Canvas()->Brush()->SetColor(RGB(255, 255, 255));
    shot.Canvas()->FillRect(TRect(0, 0, 200, 150));
    form->Perform(WM_PAINT, WPARAM(shot.Canvas()->Handle()), 0);

    const struct
    {
        int x, y;
        COLORREF expect;
    } samples[] = {
        {15, 15, RGB(255, 0, 0)},                            // the image alone: stretched top left
        {35, 15, RGB(0, 255, 0)},                            // image top right, above the veil
        {40, 30, Blend(0, RGB(255, 255, 255), 128)},         // veil over the image's white quarter
        {60, 50, Blend(0, RGB(255, 255, 255), 128)},         // veil over the form
        {5, 5, RGB(255, 255, 255)},                          // neither
        {40, 22, Blend(0, RGB(0, 255, 0), 128)},             // veil over the lime quarter
    };
    for (const auto& s : samples)
        EXPECT_TRUE(Near(s.expect, PixelOf(&shot, s.x, s.y), 1)) << s.x << "," << s.y << " " << Hex(PixelOf(&shot, s.x, s.y));
    EXPECT_EQ(1, veil->Paints);
    EXPECT_EQ(0, empty->Paints);

    // AutoSize follows the picture.
    image->SetAutoSize(true);
    EXPECT_EQ(20, image->Width());
    image->Picture()->LoadFromFile(WriteJpeg(dir / "r.jpg", 33, 17, Solid(0)));
    EXPECT_EQ(33, image->Width());
    EXPECT_EQ(17, image->Height());
    delete form;
}

TEST(TPicture, CraftedBitmapsAreRefusedFromTheirHeadersOrReadWithinTheFile)
{
    TTempDir dir;
    for (const TCrafted& c : CraftedBitmaps())
    {
        SCOPED_TRACE(c.name);
        const AnsiString path = dir / "crafted.bmp";
        WriteBytes(path, Crafted(c));
        TPicture picture;
        bool loaded = true;
        try
        {
            picture.LoadFromFile(path, 1280, 1024);
        }
        catch (const EInvalidGraphic&)
        {
            loaded = false;
        }
        EXPECT_EQ(c.loads, loaded);
        EXPECT_EQ(c.loads, !picture.Empty());
    }
}

// Every depth, header and storage the reader takes, odd widths included: each pixel read back is the
// one written (16 bits through their masks), whole or reduced while decoding.
TEST(TPicture, EveryKindOfBitmapReadsBackPixelForPixel)
{
    TTempDir dir;
    std::vector<typBmpSpec> specs;
    for (int bits : {1, 4, 8, 16, 24, 32})
        for (int h : {7, -7})
            specs.push_back(Spec(13, h, bits));
    specs.push_back(Spec(13, 7, 8, 1));
    specs.push_back(Spec(13, 7, 4, 2));
    specs.push_back(Spec(13, 7, 8, 0, 5));
    specs.push_back(Spec(13, 7, 16, 3));
    specs.push_back(Spec(13, 7, 32, 3));
    specs.push_back(Spec(13, 7, 24, 0, 0, 12));
    specs.push_back(Spec(13, 7, 4, 0, 0, 12));
    specs.push_back(Spec(13, 7, 16, 3, 0, 56));
    specs.push_back(Spec(13, 7, 24, 0, 0, 108));
    for (const typBmpSpec& s : specs)
    {
        SCOPED_TRACE(testing::Message() << s.bits << " bits, height " << s.height << ", compression " << s.compression
                                        << ", header " << s.infoSize << ", colours " << s.clrUsed);
        const AnsiString path = dir / "kind.bmp";
        WriteBytes(path, MakeBmp(s));
        TBitmap bmp;
        bmp.LoadFromFile(path);
        ASSERT_EQ(13, bmp.Width());
        ASSERT_EQ(7, bmp.Height());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
            {
                const uint32_t e = ExpectedPixel(s, x, y);
                ASSERT_EQ(Hex(RGB(e >> 16, e >> 8 & 255, e & 255)), Hex(PixelOf(&bmp, x, y))) << x << "," << y;
            }
    }
    // Reduced while decoding: 1/4 of 64 x 48 covers 16 x 12, each pixel the mean of its block.
    WriteBmp(dir / "q.bmp", 64, 48, Quarters(64, 48));
    TBitmap small;
    small.LoadFromFile(dir / "q.bmp", 16, 12);
    ASSERT_EQ(16, small.Width());
    ASSERT_EQ(12, small.Height());
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(PixelOf(&small, 2, 2)));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(PixelOf(&small, 12, 9)));
}

// The reader is picked by the file's first bytes; CMYK JPEGs read in colour; a picture claiming to
// be huge is refused from its header.
TEST(TPicture, TheReaderFollowsTheBytesNotTheNameAndCmykAndHugeHeadersAreHandled)
{
    TTempDir dir;
    const struct
    {
        const char* name;
        std::function<void(const AnsiString&)> make;
        bool loads;
        COLORREF centre;
    } cases[] = {
        {"bitmap.jpg", [](const AnsiString& p) { WriteBmp(p, 40, 30, Solid(RGB(0, 0, 255))); }, true, RGB(0, 0, 255)},
        {"photo.bmp", [](const AnsiString& p) { WriteJpeg(p, 40, 30, Solid(RGB(0, 200, 0))); }, true, RGB(0, 200, 0)},
        {"cmyk.jpg", [](const AnsiString& p) { WriteCmykJpeg(p, 40, 30, Solid(RGB(230, 120, 10))); }, true,
         RGB(230, 120, 10)},
        {"huge.jpg", [](const AnsiString& p) { WriteJpegClaiming(p, 60000, 60000); }, false, 0},
        {"huge-narrow.jpg", [](const AnsiString& p) { WriteJpegClaiming(p, 65000, 4000); }, false, 0},
        {"text.jpeg", [](const AnsiString& p) { WriteBytes(p, "BM is no bitmap"); }, false, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        c.make(dir / c.name);
        TPicture picture;
        bool loaded = true;
        try
        {
            picture.LoadFromFile(dir / c.name, 1280, 1024);
        }
        catch (const EInvalidGraphic&)
        {
            loaded = false;
        }
        ASSERT_EQ(c.loads, loaded);
        if (loaded)
        {
            EXPECT_TRUE(Near(c.centre, PixelOf(picture.Bitmap(), 20, 15), 6)) << Hex(PixelOf(picture.Bitmap(), 20, 15));
        }
    }
}

// The middle of a picture larger than the limit, at its own scale: the very pixels the whole picture
// has there (a JPEG's within a few steps), with equal margins cut off, odd or even; a picture within
// the limit stays whole.
TEST(TPicture, ACentreReadKeepsTheMiddleOfThePictureAtItsOwnScale)
{
    TTempDir dir;
    // Squares of 13 pixels in colours far apart: a part moved by one pixel differs along every edge.
    const TPixelFunc squares = [](int x, int y) {
        const int k = x / 13 * 7 + y / 13 * 3;
        return RGB(k * 53 & 255, k * 97 & 255, k * 151 & 255);
    };
    const int w = 301, h = 203;
    WriteBytes(dir / "rle.bmp", MakeBmp(Spec(w, h, 8, 1)));
    const std::pair<AnsiString, int> kinds[] = {
        {WriteBmp(dir / "q.bmp", w, h, squares), 0},
        {dir / "rle.bmp", 0},
        {WriteJpeg(dir / "q.jpg", w, h, squares, 95), 6},
        {WriteJpeg(dir / "p.jpg", w, h, squares, 95, false, true), 6},
        {WriteCmykJpeg(dir / "cmyk.jpg", w, h, squares), 6},
    };
    for (const auto& [path, tolerance] : kinds)
    {
        TPicture whole;
        whole.LoadFromFile(path);
        // Margins of 181 x 123 (odd: one more pixel kept), 180 x 122, and none.
        for (auto [limitW, limitH] : {std::pair{120, 80}, {121, 81}, {400, 300}})
        {
            SCOPED_TRACE(testing::Message() << path.c_str() << " within " << limitW << "x" << limitH);
            TPicture centre;
            centre.LoadFromFile(path, typPictureRead{limitW, limitH, pfCentre});
            const int cw = std::min(w, limitW + (w - limitW) % 2), ch = std::min(h, limitH + (h - limitH) % 2);
            ASSERT_EQ(cw, centre.Width());
            ASSERT_EQ(ch, centre.Height());
            int wrong = 0;
            std::string first;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                {
                    const COLORREF want = PixelOf(whole.Bitmap(), x + (w - cw) / 2, y + (h - ch) / 2);
                    const COLORREF got = PixelOf(centre.Bitmap(), x, y);
                    if (!Near(want, got, tolerance) && wrong++ == 0)
                        first = std::to_string(x) + "," + std::to_string(y) + " " + Hex(got) + " not " + Hex(want);
                }
            EXPECT_EQ(0, wrong) << first;
        }
    }
}

// A JPEG whose scans ask more of the decoder than any picture taken, too many of them or many over a
// large picture, is refused before it is decoded; a usual progressive one loads, large or not. A
// read stops when it is cancelled.
TEST(TPicture, JpegsWhoseScansAskTooMuchAreRefusedAndCancelledReadsStop)
{
    TTempDir dir;
    // The usual ten scans over 4096 x 4096 and forty over 8192 x 8192 are claimed (their data missing).
    const std::pair<AnsiString, bool> cases[] = {
        {WriteJpeg(dir / "progressive.jpg", 200, 150, Quarters(200, 150), 90, false, true), true},
        {WriteJpeg(dir / "progressive-gray.jpg", 200, 150, Solid(RGB(0, 90, 0)), 90, true, true), true},
        {WriteScanHeavyJpeg(dir / "scans-100.jpg", 64, 64, 100), true},
        {WriteScanHeavyJpeg(dir / "scans-101.jpg", 64, 64, 101), false},
        {WriteScanHeavyJpeg(dir / "scans-3000.jpg", 512, 512, 3000), false},
        {ClaimJpegSize(WriteScanHeavyJpeg(dir / "scans-10-large.jpg", 64, 64, 10), 4096, 4096), true},
        {ClaimJpegSize(WriteScanHeavyJpeg(dir / "scans-40-large.jpg", 64, 64, 40), 8192, 8192), false},
    };
    for (const auto& [path, loads] : cases)
    {
        SCOPED_TRACE(path.c_str());
        TPicture picture;
        bool loaded = true;
        try
        {
            picture.LoadFromFile(path, 1280, 1024);
        }
        catch (const EInvalidGraphic&)
        {
            loaded = false;
        }
        EXPECT_EQ(loads, loaded);
    }

    const AnsiString files[] = {dir / "progressive.jpg", WriteJpeg(dir / "b.jpg", 64, 48, Solid(0)),
                                WriteBmp(dir / "b.bmp", 64, 48, Solid(0)), WriteBmp(dir / "c.bmp", 4000, 10, Solid(0))};
    for (const AnsiString& file : files)
        for (TPictureFit fit : {pfReduce, pfCentre})
        {
            SCOPED_TRACE(testing::Message() << file.c_str() << " fit " << fit);
            std::atomic<bool> stop{true};
            TPicture picture;
            EXPECT_THROW(picture.LoadFromFile(file, typPictureRead{32, 32, fit, &stop}), EInvalidGraphic);
            EXPECT_TRUE(picture.Empty());
            stop = false;
            picture.LoadFromFile(file, typPictureRead{32, 32, fit, &stop});
            EXPECT_FALSE(picture.Empty());
        }
}
