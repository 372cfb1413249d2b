// The main window's wallpaper: the folder's pictures, the interval's range, rotation on the timer,
// the page switch moving the picture, and no page at all.
#include <gtest/gtest.h>

#include <set>

#include "common/English.h"
#include "common/WallpaperFiles.h"
#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
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
    return StartMainWindow(WallpaperTestKey(), "");
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
