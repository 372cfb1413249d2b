#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/TestPictures.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
constexpr COLORREF kBack = RGB(255, 255, 255);
constexpr COLORREF kTextBack = RGB(255, 255, 0);
constexpr COLORREF kPic = RGB(0, 0, 255);

// A page that paints at once, on white, with a yellow text background.
class WallPaperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.page->StopDrawThread();
        host.page->SetColor(kBack);
        host.page->ColTxtBk = kTextBack;
    }
    void TearDown() override { RestoreAlphaBlend(); }

    TPageHost host{480, 320};
    TTempDir dir;

    COLORREF Shot(int x, int y)
    {
        host.page->DrawRows(host.page->GetTopLine(), host.page->GetTopLine() + host.page->GetDspRowCount());
        return PixelOf(host.page->OffscreenBitmap(), x, y);
    }
    TPoint EditCentre() const
    {
        const TRect& e = host.page->EditRect();
        return TPoint(e.Left + e.Width() / 2, e.Top + e.Height() / 2);
    }
};
} // namespace

TEST(nsRichEditAutoTextBackAlpha, FollowsTheWallpaperOpacityFaintlyAndMatchesItWhenFaint)
{
    const struct
    {
        int alpha, expected;
    } cases[] = {{255, 102}, {128, 103}, {64, 63}, {50, 50}, {10, 10}, {0, 0}, {300, 102}, {-5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, nsRichEdit::AutoTextBackAlpha(c.alpha)) << c.alpha;
}

TEST_F(WallPaperTest, PictureIsCentredAndBlendedWithTheBackgroundColourOrCopiedWithoutBlending)
{
    const struct
    {
        const char* name;
        int w, h;
        bool blend;
        int alpha;
        bool haveFunction;
    } cases[] = {
        {"small.bmp", 100, 60, false, 128, true}, {"small.jpg", 100, 60, true, 128, true},
        {"small.bmp", 100, 60, true, 255, true},  {"small.bmp", 100, 60, true, 0, true},
        {"small.bmp", 100, 60, true, 200, false}, // no AlphaBlend: a plain copy
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.name << " blend " << c.blend << " alpha " << c.alpha << " fn "
                                        << c.haveFunction);
        if (c.haveFunction)
            RestoreAlphaBlend();
        else
            SetAlphaBlendForTesting(nullptr);
        const AnsiString path = dir / c.name;
        if (AnsiString(c.name).Pos(".jpg"))
            WriteJpeg(path, c.w, c.h, Solid(kPic));
        else
            WriteBmp(path, c.w, c.h, Solid(kPic));
        host.page->SetAlphaBlend(c.blend);
        host.page->SetAlphaBlendValue(c.alpha);
        ASSERT_TRUE(host.page->SetWallPaper(path));
        EXPECT_TRUE(host.page->WallPaperSet());
        EXPECT_EQ(path, host.page->WallPaperFile());
        const COLORREF inside = c.blend && c.haveFunction ? Blend(kPic, kBack, c.alpha) : kPic;
        const TPoint m = EditCentre();
        const int tol = AnsiString(c.name).Pos(".jpg") ? 4 : 1;
        // Inside near each corner of the picture, and just outside it on each side.
        for (auto [dx, dy] : {std::pair{-48, -28}, {48, -28}, {-48, 28}, {48, 28}, {0, 0}})
            EXPECT_TRUE(Near(inside, Shot(m.x + dx, m.y + dy), tol)) << dx << "," << dy << " " << Hex(Shot(m.x + dx, m.y + dy));
        for (auto [dx, dy] : {std::pair{-53, 0}, {52, 0}, {0, -33}, {0, 32}})
            EXPECT_EQ(kBack, Shot(m.x + dx, m.y + dy)) << dx << "," << dy;
    }
}

TEST_F(WallPaperTest, LargerPictureIsCroppedAroundItsCentreAndTextCellsShowTheTextBlend)
{
    const int w = 1200, h = 900; // larger than the edit area either way
    ASSERT_TRUE(host.page->SetWallPaper(WriteBmp(dir / "big.bmp", w, h, Quarters(w, h))));
    host.page->SetAlphaBlend(true);
    host.page->SetAlphaBlendValue(200);
    host.page->TxtBkABMode = false;
    host.page->ColTxtBkAB = 60;
    host.page->SetAlphaBlendValue(200); // rebuilds with the new text alpha
    host.page->Lines()->Put(0, "        "); // blanks: their cells show the text background only
    const TPoint m = EditCentre();
    const auto q = Quarters(2, 2);
    EXPECT_TRUE(Near(Blend(q(0, 0), kBack, 200), Shot(m.x - 5, m.y - 5), 1));
    EXPECT_TRUE(Near(Blend(q(1, 0), kBack, 200), Shot(m.x + 5, m.y - 5), 1));
    EXPECT_TRUE(Near(Blend(q(0, 1), kBack, 200), Shot(m.x - 5, m.y + 5), 1));
    EXPECT_TRUE(Near(Blend(q(1, 1), kBack, 200), Shot(m.x + 5, m.y + 5), 1));
    // Row 0: its blank cells over the red quarter take the text blend, the rest of the row the
    // background blend.
    const TRect& e = host.page->EditRect();
    const int y = e.Top + host.page->GetRowHeight() / 2;
    const int cw = host.page->GetColWidth();
    EXPECT_TRUE(Near(Blend(q(0, 0), kTextBack, 60), Shot(e.Left + cw * 3 + 1, y), 1)) << Hex(Shot(e.Left + cw * 3 + 1, y));
    EXPECT_TRUE(Near(Blend(q(0, 0), kBack, 200), Shot(e.Left + cw * 12, y), 1)) << Hex(Shot(e.Left + cw * 12, y));
}

TEST_F(WallPaperTest, PicturesThatCannotBeLoadedChangeNothingAndClearingResets)
{
    const AnsiString good = WriteBmp(dir / "good.bmp", 50, 40, Solid(kPic));
    host.page->SetAlphaBlend(false);
    ASSERT_TRUE(host.page->SetWallPaper(good));
    WriteBytes(dir / "bad.jpg", "\xFF\xD8\xFF\xE0 broken");
    WriteBytes(dir / "bad.bmp", "BM broken");
    for (const char* name : {"bad.jpg", "bad.bmp", "missing.jpg", "picture.png", ""})
    {
        SCOPED_TRACE(name);
        EXPECT_FALSE(host.page->SetWallPaper(*name ? dir / name : AnsiString()));
        EXPECT_TRUE(host.page->WallPaperSet());
        EXPECT_EQ(good, host.page->WallPaperFile());
        EXPECT_EQ(kPic, Shot(EditCentre().x, EditCentre().y));
    }
    EXPECT_TRUE(host.page->ClearWallPaper());
    EXPECT_FALSE(host.page->WallPaperSet());
    EXPECT_EQ("", host.page->WallPaperFile());
    EXPECT_EQ(kBack, Shot(EditCentre().x, EditCentre().y));
    // Blending changes with no wallpaper show nothing.
    host.page->SetAlphaBlend(true);
    host.page->SetAlphaBlendValue(10);
    EXPECT_EQ(kBack, Shot(EditCentre().x, EditCentre().y));
    EXPECT_TRUE(host.page->ClearWallPaper());
}

// A picture larger than any edit area is cut to its middle, not shrunk: at every size of the page,
// up to the largest a window can take, the page shows the picture's centre pixel for pixel; and no
// more of a huge photo is kept than that largest area.
TEST_F(WallPaperTest, APictureLargerThanTheScreenShowsItsCentrePixelForPixelAtEveryPageSize)
{
    const TSize area = nsRichEdit::WallPaperArea();
    EXPECT_GE(area.cx, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_GE(area.cy, GetSystemMetrics(SM_CYSCREEN));
    // Every pixel a colour of its own: a picture moved or scaled by one pixel shows.
    const TPixelFunc pixel = [](int x, int y) { return RGB(x & 255, y & 255, (x >> 8) * 16 + (y >> 8)); };
    host.page->SetAlphaBlend(false);
    // No wrap line drawn over it.
    TViewOptions view = host.page->GetViewOpt();
    host.page->SetViewOpt(view >> voWrapLine);
    TAFEditOptions options = host.page->GetOptions();
    host.page->SetOptions(options >> aoAutoFormat);
    // Margins of odd and of even widths either way.
    for (auto [w, h] : {std::pair{area.cx + 301, area.cy + 200}, {area.cx + 40, area.cy + 7}})
    {
        ASSERT_TRUE(host.page->SetWallPaper(WriteBmp(dir / "big.bmp", w, h, pixel)));
        for (auto [pageW, pageH] : {std::pair{480, 320}, {1001, 699}, {int(area.cx), int(area.cy)}})
        {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " on a page of " << pageW << "x" << pageH);
            host.form->SetBounds(0, 0, pageW, pageH);
            host.page->SetBounds(0, 0, pageW, pageH);
            Shot(0, 0);
            const TRect e = host.page->EditRect();
            const int left = e.Left + (e.Width() - w) / 2, top = e.Top + (e.Height() - h) / 2;
            int wrong = 0;
            std::string first;
            for (int y = e.Top; y < e.Bottom; ++y)
                for (int x = e.Left; x < e.Right; ++x)
                {
                    const COLORREF got = PixelOf(host.page->OffscreenBitmap(), x, y);
                    if (got != pixel(x - left, y - top) && wrong++ == 0)
                        first = std::to_string(x) + "," + std::to_string(y) + " " + Hex(got) + " not " +
                                Hex(pixel(x - left, y - top));
                }
            EXPECT_EQ(0, wrong) << first;
        }
    }

    const AnsiString path = WriteJpeg(dir / "photo.jpg", 4000, 3000, Quarters(4000, 3000), 40);
    ASSERT_TRUE(host.page->SetWallPaper(path));
    for (TBitmap* b : {host.page->WallPaperPicture()->Bitmap(), host.page->WallPaperBack(), host.page->WallPaperText()})
    {
        EXPECT_EQ(area.cx + (4000 - area.cx) % 2, b->Width());
        EXPECT_EQ(area.cy + (3000 - area.cy) % 2, b->Height());
    }
}
