// The main window's wallpaper: the folder's pictures, the interval's range, rotation on the timer,
// the page switch moving the picture, and no page at all.
#include <gtest/gtest.h>

#include <set>

#include "common/English.h"
#include "common/WallpaperFiles.h"
#include "common/WexmoorDef.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/WallPaperFrm.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "tests/BmpFiles.h"
#include "tests/TestFiles.h"
#include "tests/TestPictures.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

namespace
{
AnsiString WallpaperTestKey()
{
    return Format("Software\\VarnoletTest\\wallpaper%u", {unsigned(GetCurrentProcessId())});
}

void DropKey() { RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(WallpaperTestKey()).c_str()); }

struct TKeyCleanup
{
    ~TKeyCleanup() { DropKey(); }
} keyCleanup;

// A window started from the given wallpaper settings, on an untitled page.
TMainForm* StartWindow(const VN::typWallpaperSetting& w)
{
    DropKey();
    WriteWallpaperSettings(w, VN::EditSetting, WallpaperTestKey());
    TMainForm* form = StartMainWindow(WallpaperTestKey(), "");
    form->WaitForWallpaper();
    return form;
}

// a.bmp, b.JPG, c.png, a folder x.jpg and a damaged d.jpeg.
AnsiString MakeFolder(const TTempDir& dir)
{
    WriteBmp(dir / "a.bmp", 30, 20, Solid(RGB(255, 0, 0)));
    WriteJpeg(dir / "b.JPG", 30, 20, Solid(RGB(0, 0, 255)));
    WriteBmp(dir / "c.png", 30, 20, Solid(0));
    CreateDirectoryW(SjisToWide(dir / "x.jpg").c_str(), nullptr);
    WriteBytes(dir / "d.jpeg", "damaged");
    return dir.Path();
}
} // namespace

TEST(TMainFormWallpaper, AFolderListsItsPictureFilesOnlyJoinedToTheFolder)
{
    TTempDir dir;
    MakeFolder(dir);
    const std::vector<AnsiString> expected = {dir / "a.bmp", dir / "b.JPG", dir / "d.jpeg"};
    EXPECT_EQ(expected, ListWallpaperPictures(dir.Path()));
    EXPECT_EQ(expected, ListWallpaperPictures(dir.Path() + "\\"));
    EXPECT_TRUE(ListWallpaperPictures(dir / "x.jpg").empty());
    EXPECT_TRUE(ListWallpaperPictures(dir / "none").empty());
    EXPECT_TRUE(ListWallpaperPictures("").empty());
}

TEST(TMainFormWallpaper, TheIntervalStaysWithinOneSecondAndFiftyNineMinutesFiftyNineSeconds)
{
    TBoxServices boxes;
    VN::typWallpaperSetting w;
    const struct
    {
        int minutes, seconds;
        unsigned ms;
    } cases[] = {{0, 0, 1000}, {0, 1, 1000}, {0, 30, 30000}, {3, 0, 180000}, {59, 59, 3599000},
                 {60, 0, 3599000}, {999, 59, 3599000}};
    for (const auto& c : cases)
    {
        // Stored, and read at start-up.
        w.minutes = c.minutes;
        w.seconds = c.seconds;
        TMainForm* form = StartWindow(w);
        EXPECT_EQ(c.ms, form->WPTimer->Interval()) << c.minutes << ":" << c.seconds;
        // Set.
        form->SetWallpaperInterval(7, 7);
        form->SetWallpaperInterval(c.minutes, c.seconds);
        EXPECT_EQ(c.ms, form->WPTimer->Interval()) << c.minutes << ":" << c.seconds;
        EXPECT_EQ(int(c.ms / 60000), form->GetWallpaperMinutes());
        EXPECT_EQ(int(c.ms / 1000 % 60), form->GetWallpaperSeconds());
        delete form;
    }
}

TEST(TMainFormWallpaper, AFolderRotatesBetweenItsPicturesThatLoadOnTheTimer)
{
    TBoxServices boxes;
    TTempDir dir;
    VN::typWallpaperSetting w;
    w.folderMode = true;
    w.folder = nsString(MakeFolder(dir).c_str());
    w.minutes = 0;
    w.seconds = 30;
    TMainForm* form = StartWindow(w);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(form->WPTimer->Enabled());
    EXPECT_EQ(30000u, form->WPTimer->Interval());
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i)
    {
        form->WPTimerTimer(form->WPTimer);
        form->WaitForWallpaper();
        ASSERT_TRUE(form->Edit()->WallPaperSet());
        EXPECT_EQ(form->CurrentWallpaper, form->Edit()->WallPaperFile());
        seen.insert(ExtractFileName(form->CurrentWallpaper).str());
    }
    EXPECT_EQ((std::set<std::string>{"a.bmp", "b.JPG"}), seen);

    // The page switch takes the picture along; no page at all leaves nothing to apply to.
    TTabSheet* first = form->MainPageCtrl->ActivePage();
    TPageEditor* firstEditor = form->Edit();
    form->NewPage("second");
    form->SetActivePage(form->MainPageCtrl->Pages(form->MainPageCtrl->PageCount() - 1));
    EXPECT_FALSE(firstEditor->WallPaperSet());
    EXPECT_TRUE(form->Edit()->WallPaperSet());
    while (form->MainPageCtrl->PageCount() > 0)
        ASSERT_TRUE(form->ClosePage(form->MainPageCtrl->Pages(0), false));
    (void)first;
    EXPECT_EQ(nullptr, form->Edit());
    form->WPTimerTimer(form->WPTimer);
    form->LoadWallpaperSettings();
    delete form;
}

TEST(TMainFormWallpaper, AMissingFileOrAFolderWithoutPicturesIsToldOnceAndShowsNothing)
{
    TTempDir dir;
    WriteBmp(dir / "only.png", 4, 4, Solid(0));
    const AnsiString good = WriteBmp(dir / "good.bmp", 4, 4, Solid(0));
    const struct
    {
        bool folderMode;
        AnsiString file, folder;
        const char* message; // null: none
        bool shown;
    } cases[] = {
        {false, dir / "gone.jpg", "", msgWallpaperMissing, false},
        {true, "", dir / "none", msgWallpaperFolderEmpty, false},
        {true, "", dir.Path(), nullptr, true}, // good.bmp is there
        {false, good, "", nullptr, true},
        {false, "", "", nullptr, false},
        {true, "", "", nullptr, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.file.IsEmpty() ? c.folder.c_str() : c.file.c_str());
        TBoxServices boxes;
        VN::typWallpaperSetting w;
        w.folderMode = c.folderMode;
        w.file = nsString(c.file.c_str());
        w.folder = nsString(c.folder.c_str());
        TMainForm* form = StartWindow(w);
        ASSERT_EQ(c.message ? 1u : 0u, boxes.boxes.size());
        if (c.message)
        {
            EXPECT_EQ(Format(c.message, {c.file.IsEmpty() ? c.folder : c.file}).str(), boxes.boxes[0]);
        }
        EXPECT_EQ(c.shown, form->Edit()->WallPaperSet());
        EXPECT_EQ(c.folderMode && c.shown, form->WPTimer->Enabled());
        delete form;
    }
}

// Every damaged and odd bitmap of the reader's table, damaged and huge JPEGs, one whose scans ask too
// much of the decoder, and one good picture in a rotating folder: the window shows only pictures that
// load and keeps rotating.
TEST(TMainFormWallpaper, AFolderOfDamagedAndHugePicturesRotatesThroughTheGoodOnesOnly)
{
    TBoxServices boxes;
    TTempDir dir;
    std::set<std::string> good;
    int n = 0;
    for (const TCrafted& c : CraftedBitmaps())
    {
        const std::string name = "b" + std::to_string(n++) + ".bmp";
        WriteBytes(dir / name.c_str(), Crafted(c));
        if (c.loads)
            good.insert(name);
    }
    WriteJpegClaiming(dir / "huge.jpg", 60000, 60000);
    WriteScanHeavyJpeg(dir / "scans.jpg", 512, 512, 3000);
    WriteBytes(dir / "cut.jpg", ReadBytes(WriteJpeg(dir / "cut.jpg", 64, 48, Solid(0))).substr(0, 100));
    WriteCmykJpeg(dir / "cmyk.jpeg", 64, 48, Solid(RGB(0, 128, 255)));
    good.insert("cmyk.jpeg");
    VN::typWallpaperSetting w;
    w.folderMode = true;
    w.folder = nsString(dir.Path().c_str());
    w.minutes = 0;
    w.seconds = 1;
    TMainForm* form = StartWindow(w);
    // The pick is random: ticks go on until every good picture has come or far past the odds.
    std::set<std::string> seen;
    for (int i = 0; i < 3000 && seen != good; ++i)
    {
        form->WPTimerTimer(form->WPTimer);
        form->WaitForWallpaper();
        ASSERT_TRUE(form->Edit()->WallPaperSet());
        seen.insert(ExtractFileName(form->Edit()->WallPaperFile()).str());
    }
    EXPECT_EQ(good, seen);
    EXPECT_TRUE(form->WPTimer->Enabled());
    EXPECT_TRUE(boxes.boxes.empty());
    delete form;
}

// A tick tries a few pictures, each once: a folder where nothing loads is told once every picture
// has failed, and then the timer rests; a fixed picture that does not load is told at once.
TEST(TMainFormWallpaper, PicturesThatNeverLoadAreToldOnceAllHaveFailedAFewPerTick)
{
    TTempDir dir;
    for (int i = 0; i < 40; ++i)
        WriteBytes(dir / ("bad" + std::to_string(i) + ".bmp").c_str(), "BM damaged");
    VN::typWallpaperSetting w;
    w.folderMode = true;
    w.folder = nsString(dir.Path().c_str());
    w.seconds = 1;
    TBoxServices boxes;
    TMainForm* form = StartWindow(w);
    // 16 tried at start, 32 after one tick, all 40 after the second.
    const std::string told = Format(msgWallpaperFolderEmpty, {dir.Path()}).str();
    EXPECT_TRUE(boxes.boxes.empty());
    form->WPTimerTimer(form->WPTimer);
    form->WaitForWallpaper();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(form->WPTimer->Enabled());
    for (int i = 0; i < 3; ++i)
    {
        form->WPTimerTimer(form->WPTimer);
        form->WaitForWallpaper();
    }
    EXPECT_EQ(std::vector<std::string>{told}, boxes.boxes);
    EXPECT_FALSE(form->WPTimer->Enabled());
    EXPECT_FALSE(form->Edit()->WallPaperSet());
    delete form;

    // A damaged bitmap, and a JPEG whose scans ask too much of the decoder.
    for (const AnsiString& file : {dir / "bad0.bmp", WriteScanHeavyJpeg(dir / "scans.jpg", 512, 512, 3000)})
    {
        boxes.boxes.clear();
        w.folderMode = false;
        w.file = nsString(file.c_str());
        form = StartWindow(w);
        EXPECT_EQ(std::vector<std::string>{msgPictureUnreadable}, boxes.boxes) << file.c_str();
        EXPECT_FALSE(form->Edit()->WallPaperSet()) << file.c_str();
        delete form;
    }
}

// The page switch hands the picture over as it is, loaded and blended once; a long path is named in
// a box of a normal size.
TEST(TMainFormWallpaper, ThePageSwitchMovesThePictureAndLongPathsAreCutInTheMiddle)
{
    TTempDir dir;
    VN::typWallpaperSetting w;
    w.file = nsString(WriteJpeg(dir / "a.jpg", 64, 48, Solid(RGB(0, 0, 255))).c_str());
    TBoxServices boxes;
    TMainForm* form = StartWindow(w);
    TPicture* picture = form->Edit()->WallPaperPicture();
    TBitmap* blend = form->Edit()->WallPaperBack();
    TTabSheet* first = form->MainPageCtrl->ActivePage();
    form->NewPage("second");
    form->SetActivePage(form->MainPageCtrl->Pages(form->MainPageCtrl->PageCount() - 1));
    EXPECT_EQ(picture, form->Edit()->WallPaperPicture());
    EXPECT_EQ(blend, form->Edit()->WallPaperBack());
    form->SetActivePage(first);
    EXPECT_EQ(picture, form->Edit()->WallPaperPicture());
    delete form;

    const AnsiString head = "C:\\" + AnsiString(std::string(2500, 'h').c_str());
    const AnsiString tail = AnsiString(std::string(2500, 't').c_str()) + "\\end";
    for (bool folderMode : {false, true})
    {
        boxes.boxes.clear();
        w.folderMode = folderMode;
        w.file = nsString((head + "\\" + tail + ".jpg").c_str());
        w.folder = nsString((head + "\\" + tail).c_str());
        delete StartWindow(w);
        ASSERT_EQ(1u, boxes.boxes.size()) << folderMode;
        const std::string& box = boxes.boxes[0];
        EXPECT_LT(box.size(), 500u) << folderMode;
        EXPECT_NE(std::string::npos, box.find("C:\\hhhh")) << folderMode;
        EXPECT_NE(std::string::npos, box.find(folderMode ? "ttt\\end]" : "ttt\\end.jpg]")) << folderMode;
    }
}

namespace
{
// The wallpaper dialog and the image viewer as the program makes them, tied to a main window.
struct TWallpaperDialog
{
    explicit TWallpaperDialog(TMainForm* main) : main(main)
    {
        dialog = Create<TWallPaperForm>(nullptr);
        viewer = Create<TImageForm>(nullptr);
        std::swap(WallPaperForm, dialog);
        std::swap(ImageForm, viewer);
        main->AttachWallpaperWindow();
    }
    ~TWallpaperDialog()
    {
        std::swap(WallPaperForm, dialog);
        std::swap(ImageForm, viewer);
        delete dialog;
        delete viewer;
    }
    TWallPaperForm* operator->() const { return WallPaperForm; }
    // A button pressed as a click does.
    static void Press(TButton* button) { SendMessageW(button->Handle(), BM_CLICK, 0, 0); }
    // The page's pixel at the middle of its text area, as drawn now.
    COLORREF PageCentre() const
    {
        TPageEditor* page = main->Edit();
        page->DrawRows(page->GetTopLine(), page->GetTopLine() + page->GetDspRowCount());
        const TRect& e = page->EditRect();
        return PixelOf(page->OffscreenBitmap(), e.Left + e.Width() / 2, e.Top + e.Height() / 2);
    }
    AnsiString StoredFile() const
    {
        VN::typWallpaperSetting w;
        ReadWallpaperSettings(w, WallpaperTestKey());
        return AnsiString(w.file.c_str());
    }
    TMainForm* main;
    TWallPaperForm* dialog;
    TImageForm* viewer;
};

// What the image viewer showed: the picture's size and the window's, read while it is open.
TSize gViewedPicture, gViewedClient;
void CALLBACK CloseViewer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (!ImageForm->Visible())
        return;
    KillTimer(nullptr, id);
    gViewedPicture = TSize(ImageForm->Image->Width(), ImageForm->Image->Height());
    gViewedClient = TSize(ImageForm->ClientWidth(), ImageForm->ClientHeight());
    ImageForm->Close();
}
} // namespace

// Each picture button of the dialog, pressed as a click, with the answer given to its question:
// 画像を開く then Yes sets the picture and, after OK, the page shows it and the settings hold it;
// 壁紙の解除 then Yes removes it; No changes nothing.
TEST(TMainFormWallpaper, TheDialogsPictureButtonsSetOrRemoveTheWallpaperOnYesAndNothingOnNo)
{
    TBoxServices boxes;
    TTempDir dir;
    constexpr COLORREF kBlue = RGB(0, 0, 255);
    const AnsiString picture = WriteBmp(dir / "blue.bmp", 2000, 1600, Solid(kBlue));
    TMainForm* form = StartWindow(VN::typWallpaperSetting());
    const COLORREF background = TWallpaperDialog(form).PageCentre();
    ASSERT_NE(Hex(kBlue), Hex(background));
    TWallpaperDialog d(form);
    boxes.fileAnswer = picture.str();
    const struct
    {
        TButton* TWallPaperForm::*button;
        int answer;
        const char* question;
        bool shown; // on the page after OK
    } steps[] = {
        {&TWallPaperForm::FileReadBtn, IDNO, msgConfirmPicture, false},
        {&TWallPaperForm::FileReadBtn, IDYES, msgConfirmPicture, true},
        {&TWallPaperForm::UnLoadBtn, IDNO, msgConfirmRemoveWallpaper, true},
        {&TWallPaperForm::UnLoadBtn, IDYES, msgConfirmRemoveWallpaper, false},
    };
    int i = 0;
    for (const auto& s : steps)
    {
        SCOPED_TRACE(i++);
        d->Show();
        boxes.boxes.clear();
        boxes.answer = s.answer;
        TWallpaperDialog::Press(WallPaperForm->*s.button);
        ASSERT_EQ(1u, boxes.boxes.size());
        EXPECT_EQ(s.question == msgConfirmPicture ? Format(s.question, {picture}).str() : s.question, boxes.boxes[0]);
        TWallpaperDialog::Press(d->OkBtn);
        form->WaitForWallpaper();
        d->Hide();
        EXPECT_EQ(s.shown ? Hex(kBlue) : Hex(background), Hex(d.PageCentre()));
        EXPECT_EQ(s.shown ? picture : AnsiString(), d.StoredFile());
    }
    delete form;
}

// The dialog's other buttons, each pressed once as a click, with what it changed: the viewer shows
// the picture at its own size (scrolling), the colour buttons set the text background, the folder
// button takes a folder with pictures, the radio buttons switch what they govern, Cancel keeps the
// settings and OK stores them.
TEST(TMainFormWallpaper, EveryOtherButtonOfTheDialogDoesWhatItSays)
{
    TBoxServices boxes;
    TTempDir dir;
    const AnsiString picture = WriteJpeg(dir / "big.jpg", 3000, 400, Solid(RGB(200, 30, 30)));
    CreateDirectoryW(SjisToWide(dir / "pics").c_str(), nullptr);
    WriteBmp(dir / "pics\\a.bmp", 40, 30, Solid(RGB(0, 200, 0)));
    VN::typWallpaperSetting w;
    w.file = nsString(picture.c_str());
    TMainForm* form = StartWindow(w);
    TWallpaperDialog d(form);
    d->Show();
    using P = TWallPaperForm;
    auto press = [&](TButton* P::*b) { TWallpaperDialog::Press(WallPaperForm->*b); };
    auto pick = [&](TRadioButton* P::*b) { SendMessageW((WallPaperForm->*b)->Handle(), BM_CLICK, 0, 0); };

    // 原寸大で見る: the picture at 3000 x 400, in a window no wider than the screen.
    SetTimer(nullptr, 0, 50, CloseViewer);
    press(&P::ImageViewBtn);
    EXPECT_EQ(3000, gViewedPicture.cx);
    EXPECT_EQ(400, gViewedPicture.cy);
    EXPECT_LE(gViewedClient.cx, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_TRUE(ImageForm->Image->Picture()->Empty()); // let go when the viewer closes

    // 変更 and エディタの背景と同色.
    boxes.colorAnswer = int(RGB(1, 2, 3));
    press(&P::Btn_01);
    EXPECT_EQ(TColor(RGB(1, 2, 3)), d->CPanel_01->Color());
    EXPECT_EQ(TColor(RGB(1, 2, 3)), d->TxtBkLabel->Color());
    press(&P::Btn_02);
    EXPECT_EQ(VN::EditSetting.色_文字, d->CPanel_01->Color());

    // The radio buttons.
    pick(&P::ManualRB);
    EXPECT_TRUE(d->TxtBkABEdit->Enabled());
    pick(&P::AutoRB);
    EXPECT_FALSE(d->TxtBkABEdit->Enabled());
    pick(&P::YesRBtn);
    EXPECT_TRUE(d->YesRBtn->Checked());
    pick(&P::NoRBtn);
    EXPECT_EQ(0, d->TxtBkLabel->AlphaBlendValue()); // no blending: no text background
    pick(&P::WPFolderRBtn);
    EXPECT_TRUE(d->FolderSelectBtn->Enabled());
    EXPECT_FALSE(d->FileReadBtn->Enabled());

    // フォルダを指定: a folder with a picture is taken and previewed.
    boxes.folderAnswer = (dir / "pics").str();
    press(&P::FolderSelectBtn);
    EXPECT_EQ(dir / "pics", d->WPFolderEdit->Text());
    EXPECT_TRUE(d->PhotoImage->Visible());

    // Cancel keeps what was stored; OK stores the folder and the main window rotates it.
    press(&P::CancelBtn);
    EXPECT_EQ(mrCancel, d->ModalResult());
    EXPECT_EQ(picture, d.StoredFile());
    EXPECT_FALSE(form->WallpaperFolderMode);
    d->Hide();
    d->Show();
    pick(&P::WPFolderRBtn);
    boxes.folderAnswer = (dir / "pics").str();
    press(&P::FolderSelectBtn);
    press(&P::OkBtn);
    form->WaitForWallpaper();
    EXPECT_TRUE(form->WallpaperFolderMode);
    EXPECT_EQ(dir / "pics", form->WallpaperFolder);
    EXPECT_EQ(dir / "pics\\a.bmp", form->Edit()->WallPaperFile());
    EXPECT_TRUE(form->WPTimer->Enabled());
    EXPECT_TRUE(boxes.boxes.empty());
    d->Hide();
    delete form;
}

// The dialog opens over the main window, not in the middle of the screen: under Wine's desktop the
// windows it opens were drawn black while it reached past the main window.
TEST(TMainFormWallpaper, TheDialogOpensCentredOverTheMainWindow)
{
    TBoxServices boxes;
    DropKey();
    TMainForm* form = nullptr;
    Application->CreateForm(form); // the program's main form, which dialogs centre on
    form->SettingsKey = WallpaperTestKey();
    form->MinStartupMs = 0;
    form->CommandLineFile = "";
    form->SetBounds(40, 30, 900, 700);
    form->Show();
    Application->ProcessMessages();
    TWallpaperDialog d(form);
    d->Show();
    RECT main{}, dialog{};
    GetWindowRect(form->Handle(), &main);
    GetWindowRect(d->Handle(), &dialog);
    EXPECT_GE(dialog.left, main.left);
    EXPECT_GE(dialog.top, main.top);
    EXPECT_LE(dialog.right, main.right);
    EXPECT_LE(dialog.bottom, main.bottom);
    EXPECT_LE(std::abs((dialog.left + dialog.right) - (main.left + main.right)), 2);
    d->Hide();
    delete form;
}
