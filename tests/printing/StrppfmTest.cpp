// The preview and progress windows: page indicator and navigation, the three scales, centring,
// a minimised window, and the progress bar's ends.
#include "printing/Strppfm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>

#include "printing/StrPrint.h"
#include "printing/Strpprog.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
struct TPreview
{
    explicit TPreview(int lines, bool english = false)
    {
        printer.SetIsEnglish(english);
        TStringList strings;
        for (int i = 0; i < lines; ++i)
            strings.Add("line");
        EXPECT_TRUE(printer.DivideStringsToMetaFiles(&strings, &pages, "t"));
        form = Create<TFormStrPreview>(nullptr);
        form->Setup(&printer, &pages);
        form->Show();
        Application->ProcessMessages();
    }
    ~TPreview() { delete form; }
    TFakePrinter device;
    TBoxServices services;
    TStringsPrinter printer{nullptr};
    TMetaFileList pages;
    TFormStrPreview* form;
};
} // namespace

TEST(TFormStrPreview, IndicatorAndNavigationFollowThePage)
{
    TPreview one(1);
    // Sized when shown, and still wholly on the screen.
    EXPECT_GE(one.form->Top(), 0);
    EXPECT_LE(one.form->Top() + one.form->Height(), Screen->Height());
    EXPECT_GE(one.form->Left(), 0);
    EXPECT_LE(one.form->Left() + one.form->Width(), Screen->Width());
    EXPECT_EQ(one.form->Label1->Caption(), AnsiString("  1 /   1"));
    // Room for the numbers, however large they grow (a big text makes hundreds of thousands of pages).
    {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, one.form->Label1->Font()->Handle());
        SIZE widest{};
        GetTextExtentPoint32W(dc, L"9999999 / 9999999", 17, &widest);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        EXPECT_GE(one.form->Label1->Width(), widest.cx);
    }
    // The page buttons show a glyph each, all different, and no text.
    std::set<std::string> glyphs;
    for (TSpeedButton* b : {one.form->SpeedButton1, one.form->SpeedButton2, one.form->SpeedButton3,
                            one.form->SpeedButton4})
    {
        EXPECT_FALSE(b->Enabled());
        EXPECT_TRUE(b->Caption().IsEmpty());
        TBitmap* g = b->Glyph();
        ASSERT_FALSE(g->Empty());
        std::string pixels;
        for (int y = 0; y < g->Height(); ++y)
            pixels.append(reinterpret_cast<const char*>(g->ScanLine(y)), size_t(g->Width() * 3));
        glyphs.insert(pixels);
    }
    EXPECT_EQ(glyphs.size(), 4u);

    TPreview english(1, true);
    EXPECT_EQ(english.form->Caption(), AnsiString("Print Preview"));
    EXPECT_EQ(english.form->SpeedButton6->Caption(), AnsiString("Fit Width"));
    EXPECT_EQ(one.form->SpeedButton8->Caption(), AnsiString("閉じる"));

    TPreview many(200);
    ASSERT_GE(many.pages.GetCount(), 3);
    const int last = many.pages.GetCount() - 1;
    const struct
    {
        TSpeedButton* TFormStrPreview::*button;
        int index;
    } steps[] = {{&TFormStrPreview::SpeedButton3, 1},    {&TFormStrPreview::SpeedButton4, last},
                 {&TFormStrPreview::SpeedButton3, last}, {&TFormStrPreview::SpeedButton2, last - 1},
                 {&TFormStrPreview::SpeedButton1, 0},    {&TFormStrPreview::SpeedButton2, 0}};
    for (const auto& s : steps)
    {
        many.form->SpeedButtonClick(many.form->*s.button);
        EXPECT_EQ(many.form->MetaFileIndex(), s.index);
        EXPECT_EQ(many.form->SpeedButton1->Enabled(), s.index > 0);
        EXPECT_EQ(many.form->SpeedButton4->Enabled(), s.index < last);
    }
}

TEST(TFormStrPreview, ScalesCentreAndSurviveAMinimisedWindow)
{
    TPreview p(1);
    TFormStrPreview* f = p.form;
    const int vbar = GetSystemMetrics(SM_CXVSCROLL);
    for (int width : {500, 700})
    {
        f->SetWidth(width);
        f->SpeedButtonClick(f->SpeedButton6); // to the width
        EXPECT_EQ(f->Image1->Width(), f->ScrollBox1->Width() - vbar);
        EXPECT_NEAR(double(f->Image1->Height()) / f->Image1->Width(), 3508.0 / 2480.0, 0.01);
    }
    f->SetBounds(f->Left(), f->Top(), 900, 500);
    f->SpeedButtonClick(f->SpeedButton5); // to the height: narrower than the box, so centred
    EXPECT_EQ(f->ScrollBox1->HorzRange(), 0);
    EXPECT_NEAR(f->Image1->Left(), (f->ScrollBox1->ClientWidth() - f->Image1->Width()) / 2, 1);
    f->Image1MouseMove(f->Image1, TShiftState{ssLeft}, 10, 10);
    EXPECT_EQ(f->ScrollBox1->HorzPosition(), 0);
    EXPECT_EQ(f->ScrollBox1->VertPosition(), 0);
    f->SetBounds(f->Left(), f->Top(), 600, 500);
    f->SpeedButtonClick(f->SpeedButton7); // 100 %: larger than the box, so it drags
    f->Image1MouseDown(f->Image1, mbLeft, TShiftState{ssLeft}, 50, 50);
    f->Image1MouseMove(f->Image1, TShiftState{ssLeft}, 30, 20);
    EXPECT_EQ(f->ScrollBox1->HorzPosition(), 20);
    EXPECT_EQ(f->ScrollBox1->VertPosition(), 30);
    SendMessageW(f->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), 0);
    EXPECT_EQ(f->ScrollBox1->VertPosition(), 150);
    f->Image1MouseMove(f->Image1, TShiftState(), 30, 20);
    EXPECT_EQ(f->Image1->Cursor(), crOpenHand);
    EXPECT_EQ(Screen->Cursors(crOpenHand), LoadCursorW(HInstance, L"OpenHand"));
    EXPECT_NE(Screen->Cursors(crOpenHand), nullptr);
    ShowWindow(f->Handle(), SW_MINIMIZE);
    for (TPreviewMode m : {pmWidth, pmHeight})
    {
        f->SetPreviewMode(m);
        EXPECT_GE(f->Image1->Width(), 1);
        EXPECT_GE(f->Image1->Height(), 1);
    }
}

// Every character a page prints shows on the screen at each of the preview's scales, for both
// fixed-pitch faces at sizes across the print dialog's range: a low line, a descender, a comma, a
// full-width character and the full-width overline each have ink in the cell where the page's text
// record puts them (the font's rasterizer leaves some without a single pixel at some sizes).
TEST(TFormStrPreview, EveryCharacterOfThePageHasInkAtEveryScale)
{
    const char* const faces[] = {"ＭＳ ゴシック", "ＭＳ 明朝"};
    const int sizes[] = {8, 9, 11, 12, 20};
    // Each character between spaces, so that no neighbour's ink counts for it.
    const char* const chars[] = {"_", "g", ",", "あ", "￣"};
    const char* const names[] = {"low line", "g", "comma", "full-width a", "full-width overline"};
    std::string line;
    for (const char* c : chars)
        line += std::string(c) + " ";
    const struct
    {
        TPreviewMode mode;
        const char* name;
    } scales[] = {{pmHundred, "100 %"}, {pmWidth, "width"}, {pmHeight, "height"}};
    TFakePrinter device;
    TBoxServices services;
    for (const char* face : faces)
        for (int size : sizes)
        {
            TStringsPrinter printer(nullptr);
            printer.Font()->SetName(face);
            printer.Font()->SetSize(size);
            TStringList strings;
            strings.Add(line.c_str());
            strings.Add("x");
            TMetaFileList pages;
            ASSERT_TRUE(printer.DivideStringsToMetaFiles(&strings, &pages, "t"));
            TMetafile* page = pages.GetMetaFile(0);
            const std::vector<typTextRecord> records = TextRecords(page->Handle());
            ASSERT_EQ(records.size(), 2u);
            const typTextRecord& r = records[0];
            ASSERT_EQ(r.dx.size(), 2 * std::size(chars));
            const int pitch = records[1].ref.y - r.ref.y;
            const TRect off = printer.PaperOffset();
            std::unique_ptr<TFormStrPreview> form(Create<TFormStrPreview>(nullptr));
            form->Setup(&printer, &pages);
            form->Show();
            Application->ProcessMessages();
            for (const auto& scale : scales)
            {
                SCOPED_TRACE(std::string(face == faces[0] ? "gothic " : "mincho ") + std::to_string(size) + " pt, " +
                             scale.name);
                form->SetPreviewMode(scale.mode);
                TPreviewPage* image = form->Image1;
                TBitmap shown;
                shown.SetSize(image->Width(), image->Height());
                HDC dc = shown.Canvas()->Handle();
                SendMessageW(image->Handle(), WM_PAINT, WPARAM(dc), 0);
                GdiFlush();
                // Page dots to the image's pixels, with a pixel to spare on every side.
                const double sx = double(image->Width()) / (page->Width() + off.Left + off.Right);
                const double sy = double(image->Height()) / (page->Height() + off.Top + off.Bottom);
                const int top = int(std::floor((off.Top + r.ref.y) * sy)) - 1;
                const int bottom = int(std::ceil((off.Top + r.ref.y + pitch) * sy)) + 1;
                int x = off.Left + r.ref.x;
                for (size_t k = 0; k < std::size(chars); x += r.dx[2 * k] + r.dx[2 * k + 1], ++k)
                {
                    const int left = int(std::floor(x * sx)) - 1;
                    const int right = int(std::ceil((x + r.dx[2 * k]) * sx)) + 1;
                    int inked = 0;
                    for (int py = top; py < bottom; ++py)
                        for (int px = left; px < right; ++px)
                            inked += (GetPixel(dc, px, py) & 0xFFFFFF) != 0xFFFFFF;
                    EXPECT_GT(inked, 0) << names[k] << " is blank";
                }
            }
        }
}

TEST(TFormStrProgress, BarShowsTheShareDoneAndCancelStopsTheLayout)
{
    std::unique_ptr<TFormStrProgress> form(TFormStrProgress::Execute(nullptr, "x"));
    const struct
    {
        int maximum, position, percent;
    } cases[] = {{0, 0, 100}, {200, 1, 1}, {200, 100, 50}, {3, 2, 67}};
    for (const auto& c : cases)
    {
        form->Progress("y", c.maximum, c.position);
        EXPECT_EQ(form->ProgressBar1->Position(), c.percent);
    }
    EXPECT_EQ(form->Label1->Caption(), AnsiString("y"));
    EXPECT_EQ(form->Label1->Width(), 280);
    EXPECT_FALSE(form->Cancelled());
    form->Button1->Click();
    EXPECT_TRUE(form->Cancelled());
}

namespace
{
// In the modal preview: where its tools end against its width, then Esc where the focus is; a
// window the key did not close is closed after a while, and that is noted.
struct TLookThenEsc
{
    int clientWidth = 0, toolsRight = 0, indicatorRight = 0, formRight = 0;
    bool closedByEsc = true;
    TFormStrPreview* form = nullptr;
    TTimer* timer = nullptr;
    void Shown(TObject* sender)
    {
        form = static_cast<TFormStrPreview*>(sender);
        clientWidth = form->ClientWidth();
        toolsRight = form->SpeedButton8->Left() + form->SpeedButton8->Width();
        indicatorRight = form->Label1->Left() + form->Label1->Width();
        formRight = form->Left() + form->Width();
        HWND target = GetFocus() ? GetFocus() : form->Handle();
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(target, WM_CHAR, 27, 1);
        PostMessageW(target, WM_KEYUP, VK_ESCAPE, LPARAM(0xC0000001));
        timer = Create<TTimer>(form);
        timer->SetInterval(300);
        timer->OnTimer = TNotifyEvent(this, &TLookThenEsc::Late);
    }
    void Late(TObject*)
    {
        timer->SetEnabled(false);
        closedByEsc = false;
        form->Close();
    }
};
} // namespace

TEST(TFormStrPreview, NarrowPaperStillShowsEveryToolAndEscCloses)
{
    // A long envelope (110 x 220 mm) and A4, at 300 dpi.
    const struct
    {
        short paper;
        int width, height;
    } papers[] = {{DMPAPER_ENV_DL, 1299, 2598}, {DMPAPER_A4, 2480, 3508}};
    for (const auto& paper : papers)
    {
        TFakePrinter device(paper.width, paper.height);
        device.paper = paper.paper;
        TBoxServices services;
        TStringsPrinter printer(nullptr);
        TStringList strings;
        strings.Add("line");
        TLookThenEsc look;
        TFormStrPreview::OnShown = TNotifyEvent(&look, &TLookThenEsc::Shown);
        EXPECT_TRUE(printer.PreviewStrings(&strings));
        TFormStrPreview::OnShown = nullptr;
        EXPECT_LE(look.toolsRight, look.clientWidth) << paper.width;
        EXPECT_LE(look.indicatorRight, look.clientWidth) << paper.width;
        EXPECT_LE(look.formRight, Screen->Width()) << paper.width;
        EXPECT_TRUE(look.closedByEsc) << paper.width;
    }
}
