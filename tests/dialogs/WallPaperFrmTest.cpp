#include <gtest/gtest.h>

#include <optional>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/WallPaperFrm.h"
#include "editor_page/Nsrichedit.h"
#include "tests/TestFiles.h"
#include "tests/TestPictures.h"
#include "tests/TestServices.h"

namespace
{
// The dialog filled from given values and the current editor settings, as showing it does.
struct TDialog
{
    explicit TDialog(typWallpaperValues values = {}) : values(values)
    {
        saved = VN::EditSetting;
        form = Create<TWallPaperForm>(nullptr);
        form->GetValues = [this] { return this->values; };
        form->ApplyValues = [this](const typWallpaperValues& v) { applied = v; };
        form->HandleNeeded();
        form->FormShow(form);
    }
    ~TDialog()
    {
        delete form;
        VN::EditSetting = saved;
        RestoreAlphaBlend();
    }
    typWallpaperValues values;
    std::optional<typWallpaperValues> applied;
    VN::typEditSetting saved;
    TWallPaperForm* form;
};
} // namespace

TEST(TWallPaperForm, AutomaticTextBackgroundAgreesWithTheEditorsAndManualTransparencyToo)
{
    TBoxServices boxes;
    TDialog d;
    auto* page = Create<nsRichEdit>(nullptr);
    d.form->AutoRB->SetChecked(true);
    d.form->YesRBtn->SetChecked(true);
    // t: the picture's transparency in the dialog; text: the text background's transparency shown.
    const struct
    {
        int t, text;
    } cases[] = {{0, 153}, {255, 255}, {128, 153}, {191, 192}, {250, 250}};
    for (const auto& c : cases)
    {
        d.form->BlendEdit->SetText(IntToStr(c.t));
        EXPECT_EQ(c.text, StrToInt(d.form->TxtBkABEdit->Text())) << c.t;
        EXPECT_EQ(255 - c.text, d.form->TxtBkLabel->AlphaBlendValue()) << c.t;
        d.form->OkBtnClick(nullptr);
        ASSERT_TRUE(d.applied.has_value());
        page->ApplyEditSetting(VN::EditSetting);
        EXPECT_TRUE(page->AlphaBlend());
        EXPECT_EQ(255 - c.t, page->AlphaBlendValue());
        EXPECT_EQ(255 - c.text, page->TextBackAlpha()) << c.t;
    }
    d.form->ManualRB->SetChecked(true);
    for (int v : {0, 40, 255})
    {
        d.form->TxtBkBlendTrackBar->SetPosition(v);
        EXPECT_EQ(IntToStr(v), d.form->TxtBkABEdit->Text());
        d.form->OkBtnClick(nullptr);
        page->ApplyEditSetting(VN::EditSetting);
        EXPECT_EQ(d.form->TxtBkLabel->AlphaBlendValue(), page->TextBackAlpha()) << v;
    }
    // Blending off: the text background is not drawn at all.
    d.form->NoRBtn->SetChecked(true);
    d.form->TxtBkABEdit->SetText("100");
    EXPECT_EQ(0, d.form->TxtBkLabel->AlphaBlendValue());
    delete page;
    EXPECT_TRUE(boxes.boxes.empty());
}

// Both transparency boxes: a whole 0 to 255 moves the slider beside it, anything else leaves it.
TEST(TWallPaperForm, EachSliderFollowsItsBoxOnlyForAWholeNumberFromZeroTo255)
{
    TBoxServices boxes;
    TDialog d;
    d.form->ManualRB->SetChecked(true);
    const std::pair<TEdit*, TTrackBar*> pairs[] = {{d.form->BlendEdit, d.form->BlendTrackBar},
                                                  {d.form->TxtBkABEdit, d.form->TxtBkBlendTrackBar}};
    const std::pair<const char*, int> typed[] = {{"37", 37}, {"256", 37}, {"-1", 37}, {"x", 37},
                                                 {" 255 ", 255}, {"0", 0}, {"", 0}};
    for (const auto& [edit, slider] : pairs)
    {
        EXPECT_EQ(255, slider->Max());
        for (const auto& [text, position] : typed)
        {
            edit->SetText(text);
            EXPECT_EQ(position, slider->Position()) << edit->Name().c_str() << " \"" << text << "\"";
        }
    }
}

TEST(TWallPaperForm, OkRefusesAnIntervalOutsideOneSecondToFiftyNineFiftyNineAndAlphasOutOfRange)
{
    const struct
    {
        const char *minutes, *seconds, *blend, *text;
        const char* message; // null: accepted
    } cases[] = {
        {"0", "0", "10", "10", msgWallpaperIntervalInvalid},  {"0", "1", "10", "10", nullptr},
        {"59", "59", "10", "10", nullptr},                     {"60", "0", "10", "10", msgWallpaperIntervalInvalid},
        {"", "", "10", "10", msgWallpaperIntervalInvalid},     {"3", "0", "256", "10", msgBlendRange},
        {"3", "0", "0", "999", msgBlendRange},                 {"3", "0", "255", "0", nullptr},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.minutes << ":" << c.seconds << " " << c.blend << " " << c.text);
        TBoxServices boxes;
        TDialog d;
        d.form->ManualRB->SetChecked(true);
        d.form->WPIntervalEdit->SetText(c.minutes);
        d.form->WPIntervalSecEdit->SetText(c.seconds);
        d.form->BlendEdit->SetText(c.blend);
        d.form->TxtBkABEdit->SetText(c.text);
        d.form->OkBtnClick(nullptr);
        EXPECT_EQ(c.message == nullptr, d.applied.has_value());
        EXPECT_EQ(c.message ? mrNone : mrOk, d.form->ModalResult());
        ASSERT_EQ(c.message ? 1u : 0u, boxes.boxes.size());
        if (c.message)
        {
            EXPECT_EQ(c.message, boxes.boxes[0]);
        }
        else
        {
            EXPECT_EQ(StrToInt(c.minutes), d.applied->minutes);
            EXPECT_EQ(255 - StrToInt(c.blend), VN::EditSetting.ALPHA_VALUE);
            EXPECT_EQ(StrToInt(c.text), VN::EditSetting.STR_BK_ALPHA);
        }
    }
}

TEST(TWallPaperForm, PreviewIsScaledOnceAndBlendedOnEveryStepOrShownPlainWithoutAlphaBlend)
{
    TBoxServices boxes;
    TTempDir dir;
    constexpr COLORREF pic = RGB(200, 0, 0);
    VN::EditSetting.色_文字 = RGB(255, 255, 255);
    VN::EditSetting.TRANSPARENCY = true;
    typWallpaperValues v;
    v.file = WriteJpeg(dir / "photo.jpg", 2000, 1500, Solid(pic));
    TDialog d(v);
    ASSERT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(d.form->ImageUnSetupLabel->Visible());
    EXPECT_TRUE(d.form->TxtBkLabel->Visible());
    EXPECT_EQ(d.form->Panel2->ClientWidth(), d.form->PreviewBase()->Width());
    auto shown = [&] { return PixelOf(d.form->PhotoImage->Picture()->Bitmap(), 20, 20); };
    for (int t = 0; t <= 255; t += 15)
    {
        d.form->BlendTrackBar->SetPosition(t);
        EXPECT_EQ(IntToStr(t), d.form->BlendEdit->Text());
        EXPECT_TRUE(Near(Blend(pic, RGB(255, 255, 255), 255 - t), shown(), 3)) << t << " " << Hex(shown());
    }
    EXPECT_EQ(1, d.form->PreviewBuilds());
    d.form->NoRBtn->SetChecked(true);
    EXPECT_TRUE(Near(pic, shown(), 3));
    d.form->YesRBtn->SetChecked(true);
    SetAlphaBlendForTesting(nullptr);
    d.form->BlendTrackBar->SetPosition(100);
    EXPECT_TRUE(Near(pic, shown(), 3));

    // A damaged file or a folder without pictures is told when the dialog opens.
    WriteBytes(dir / "bad.jpg", "bad");
    CreateDirectoryW(SjisToWide(dir / "only.jpg").c_str(), nullptr);
    typWallpaperValues bad;
    bad.file = dir / "bad.jpg";
    TDialog d2(bad);
    typWallpaperValues folder;
    folder.folderMode = true;
    folder.folder = dir / "only.jpg";
    TDialog d3(folder);
    EXPECT_EQ((std::vector<std::string>{msgPictureUnreadable, msgPictureFolderEmpty}), boxes.boxes);
    EXPECT_TRUE(d2.form->ImageUnSetupLabel->Visible());
}

// The editor lays its picture over its basic background colour, not over the normal text's
// background: the preview blends over the same colour, and エディタの背景と同色 takes it for the
// text background, which OK stores.
TEST(TWallPaperForm, TheEditorBackgroundIsTheBasicBackgroundInThePreviewAndForTheSameColourButton)
{
    TBoxServices boxes;
    TTempDir dir;
    constexpr COLORREF pic = RGB(0, 0, 200), yellow = RGB(255, 255, 0), white = RGB(255, 255, 255);
    const VN::typEditSetting before = VN::EditSetting;
    VN::EditSetting.色_文字 = yellow;
    VN::EditSetting.色_背景.bkcolour = white;
    VN::EditSetting.STR_BKCOLOR = RGB(0, 128, 0);
    VN::EditSetting.TRANSPARENCY = true;
    typWallpaperValues v;
    v.file = WriteBmp(dir / "photo.bmp", 400, 300, Solid(pic));
    {
        TDialog d(v);
        d.form->Show();
        d.form->BlendTrackBar->SetPosition(128);
        const COLORREF shown = PixelOf(d.form->PhotoImage->Picture()->Bitmap(), 20, 20);
        EXPECT_TRUE(Near(Blend(pic, yellow, 127), shown, 3)) << Hex(shown);

        SendMessageW(d.form->Btn_02->Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(TColor(yellow), d.form->CPanel_01->Color());
        EXPECT_EQ(TColor(yellow), d.form->TxtBkLabel->Color());
        SendMessageW(d.form->OkBtn->Handle(), BM_CLICK, 0, 0);
        ASSERT_TRUE(d.applied.has_value());
        EXPECT_EQ(TColor(yellow), VN::EditSetting.STR_BKCOLOR);
        d.form->Hide();
    }
    VN::EditSetting = before;
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(TImageForm, ThePictureShowsAtItsOwnSizeAndScrollsWhenLargerThanTheScreen)
{
    auto* form = Create<TImageForm>(nullptr);
    form->HandleNeeded();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const struct
    {
        int w, h;
        bool fits;
    } cases[] = {{50, 40, true},     {300, 200, true},    {800, 600, true}, {6000, 300, false},
                 {200, 5000, false}, {5000, 4000, false}, {640, 480, true}};
    // A caption bar has a least width: a narrower picture keeps its size at the left.
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        TBitmap b;
        b.SetSize(c.w, c.h);
        form->Image->Picture()->Assign(&b);
        form->Show();
        Application->ProcessMessages();
        EXPECT_EQ(c.w, form->Image->Width());
        EXPECT_EQ(c.h, form->Image->Height());
        if (c.fits)
        {
            EXPECT_EQ(c.w < 150 ? form->ClientWidth() : c.w, form->ClientWidth());
            EXPECT_EQ(form->ClientHeight(), c.h);
            // No scroll bar takes room from a picture that fits.
            EXPECT_EQ(form->ClientWidth(), form->ImageBox->ClientWidth());
            EXPECT_EQ(c.h, form->ImageBox->ClientHeight());
            EXPECT_EQ(0, form->ImageBox->HorzRange());
            EXPECT_EQ(0, form->ImageBox->VertRange());
        }
        else
        {
            EXPECT_LE(form->Width(), work.right - work.left);
            EXPECT_LE(form->Height(), work.bottom - work.top);
            // Scrolled to its far corner, the picture's last pixels are in view.
            EXPECT_EQ(c.w, form->ImageBox->ClientWidth() + form->ImageBox->HorzRange());
            EXPECT_EQ(c.h, form->ImageBox->ClientHeight() + form->ImageBox->VertRange());
        }
        form->Hide();
    }
    delete form;
}

TEST(TWallPaperForm, AFieldLeftWithAWrongValueTakesTheFocusBackWithOneBoxPerExitAndNeverBounces)
{
    TBoxServices boxes;
    TDialog d;
    TWallPaperForm* f = d.form;
    f->Show();
    SetForegroundWindow(f->Handle());
    Application->ProcessMessages();
    f->ManualRB->SetChecked(true);
    // Each step: values typed, the field focused first, the control the focus moves to; then the
    // boxes shown and where the focus ends.
    const struct
    {
        const char *blend, *text, *minutes;
        TEdit* from;
        TWinControl* to;
        std::vector<std::string> shown;
        TWinControl* focused;
    } steps[] = {
        // Both transparencies wrong: each move away from the first gives one box, the second field
        // is never entered and so never left; the fourth box in a row is the sharper one.
        {"300", "999", "3", f->BlendEdit, f->TxtBkABEdit, {msgBlendRange}, f->BlendEdit},
        {"300", "999", "3", f->BlendEdit, f->TxtBkABEdit, {msgBlendRange}, f->BlendEdit},
        {"300", "999", "3", f->BlendEdit, f->WPIntervalEdit, {msgBlendRange}, f->BlendEdit},
        {"300", "999", "3", f->BlendEdit, f->TxtBkABEdit, {msgBlendRangeAgain}, f->BlendEdit},
        {"300", "999", "3", f->BlendEdit, f->TxtBkABEdit, {msgBlendRange}, f->BlendEdit},
        {"", "999", "3", f->BlendEdit, f->TxtBkABEdit, {msgBlendRange}, f->BlendEdit},
        {"100", "999", "3", f->BlendEdit, f->TxtBkABEdit, {}, f->TxtBkABEdit},
        {"100", "999", "3", f->TxtBkABEdit, f->BlendEdit, {msgTextBlendRange}, f->TxtBkABEdit},
        {"100", "0", "60", f->WPIntervalEdit, f->TxtBkABEdit, {msgIntervalRange}, f->WPIntervalEdit},
        {"100", "0", "", f->WPIntervalEdit, f->WPIntervalSecEdit, {}, f->WPIntervalSecEdit},
        // Leaving for Cancel drops what was typed: no box stands in the way.
        {"300", "999", "3", f->BlendEdit, f->CancelBtn, {}, f->CancelBtn},
    };
    int i = 0;
    for (const auto& s : steps)
    {
        SCOPED_TRACE(i++);
        f->BlendEdit->SetText(s.blend);
        f->TxtBkABEdit->SetText(s.text);
        f->WPIntervalEdit->SetText(s.minutes);
        f->WPIntervalSecEdit->SetText("0");
        s.from->SetFocus();
        Application->ProcessMessages();
        boxes.boxes.clear();
        s.to->SetFocus();
        Application->ProcessMessages();
        EXPECT_EQ(boxes.boxes, s.shown);
        EXPECT_EQ(f->ActiveControl(), s.focused);
        EXPECT_EQ(GetFocus(), s.focused->Handle());
    }

    // OK with both wrong and the focus in the second: one box, about the field being typed in.
    f->BlendEdit->SetText("300");
    f->TxtBkABEdit->SetText("999");
    f->TxtBkABEdit->SetFocus();
    boxes.boxes.clear();
    f->OkBtnClick(nullptr);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{msgBlendRange});
    EXPECT_EQ(f->ActiveControl(), f->TxtBkABEdit);

    // Shown again over a wrong value left in the focused field: filling the controls asks nothing.
    f->Hide();
    boxes.boxes.clear();
    f->Show();
    Application->ProcessMessages();
    EXPECT_TRUE(boxes.boxes.empty());
    f->Hide();
}

// The picture's opacity is stored and its transparency shown (stored 128 shows 127), the text
// background's transparency is stored and shown as it is; confirming an untouched dialog stores
// exactly what was there.
TEST(TWallPaperForm, StoredOpacitiesShowAsTransparenciesAndComeBackUnchanged)
{
    TBoxServices boxes;
    const VN::typEditSetting before = VN::EditSetting;
    for (int stored : {0, 1, 127, 128, 254, 255})
    {
        SCOPED_TRACE(stored);
        VN::EditSetting.ALPHA_VALUE = stored;
        VN::EditSetting.STR_BK_ALPHA = 255 - stored;
        VN::EditSetting.STR_TRANSPARENCY = false;
        TDialog d;
        EXPECT_EQ(IntToStr(255 - stored), d.form->BlendEdit->Text());
        EXPECT_EQ(255 - stored, d.form->BlendTrackBar->Position());
        EXPECT_EQ(IntToStr(255 - stored), d.form->TxtBkABEdit->Text());
        d.form->OkBtnClick(nullptr);
        EXPECT_EQ(stored, VN::EditSetting.ALPHA_VALUE);
        EXPECT_EQ(255 - stored, VN::EditSetting.STR_BK_ALPHA);
    }
    VN::EditSetting = before;
    EXPECT_TRUE(boxes.boxes.empty());
}

namespace
{
// Counts a message of its own posted to it.
class TListener : public TForm
{
public:
    using TForm::TForm;
    static constexpr UINT kPing = WM_APP + 41;
    int pings = 0;

protected:
    void WndProc(TMessage& message) override
    {
        if (message.Msg == kPing)
            ++pings;
        TForm::WndProc(message);
    }
};

// Closes the image viewer once it shows, and says it did.
bool gViewerShown = false;
void CALLBACK CloseViewer(HWND, UINT, UINT_PTR, DWORD)
{
    if (ImageForm && ImageForm->Visible())
    {
        gViewerShown = true;
        ImageForm->Close();
    }
}
} // namespace

// The dialog reads its pictures aside: a message posted to the program is served while the preview's
// picture loads. A JPEG whose scans ask too much of the decoder is refused by the preview (which
// opening, 画像を開く and a folder all read through) and by 原寸大で見る.
TEST(TWallPaperForm, PicturesAreReadAsideAndOnesAskingTooMuchOfTheDecoderAreRefusedEverywhere)
{
    TBoxServices boxes;
    TTempDir dir;
    const AnsiString good = WriteJpeg(dir / "good.jpg", 640, 480, Solid(RGB(200, 0, 0)), 90, false, true);
    const AnsiString heavy = WriteScanHeavyJpeg(dir / "heavy.jpg", 512, 512, 3000);
    auto* listener = Create<TListener>(nullptr);
    listener->HandleNeeded();
    PostMessageW(listener->Handle(), TListener::kPing, 0, 0);
    typWallpaperValues v;
    v.file = good;
    TDialog d(v);
    EXPECT_EQ(1, listener->pings);
    delete listener;
    ASSERT_TRUE(boxes.boxes.empty());
    ASSERT_FALSE(d.form->Picture()->Empty());

    boxes.fileAnswer = heavy.str();
    boxes.answer = IDYES;
    d.form->FileReadBtnClick(nullptr);
    EXPECT_EQ((std::vector<std::string>{Format(msgConfirmPicture, {heavy}).str(), msgPictureSetFailed}), boxes.boxes);
    EXPECT_EQ(good, d.form->FilePathEdit->Text());
    EXPECT_FALSE(d.form->Picture()->Empty());


    // The previewed file has been replaced since.
    boxes.boxes.clear();
    TImageForm* viewer = Create<TImageForm>(nullptr);
    std::swap(ImageForm, viewer);
    WriteBytes(good, ReadBytes(heavy));
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseViewer);
    d.form->ImageViewBtnClick(nullptr);
    KillTimer(nullptr, timer);
    EXPECT_EQ(std::vector<std::string>{Format(msgPictureNotViewed, {good}).str()}, boxes.boxes);
    EXPECT_FALSE(gViewerShown);
    std::swap(ImageForm, viewer);
    delete viewer;
}
