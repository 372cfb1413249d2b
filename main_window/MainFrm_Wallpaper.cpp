// The main window's wallpaper: one picture, or a folder of pictures changed on WPTimer; only the
// active page's editor holds it.
#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "common/English.h"
#include "dialogs/WallPaperFrm.h"
#include "common/Nsenumwindows.h"
#include "common/WallpaperFiles.h"
#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kMinIntervalSec = 1;
constexpr int kMaxIntervalSec = 59 * 60 + 59;
} // namespace

void TMainForm::ReadWallpaper()
{
    VN::typWallpaperSetting w;
    ReadWallpaperSettings(w, SettingsKey);
    WallpaperFolderMode = w.folderMode;
    WallpaperFile = AnsiString(w.file.c_str());
    WallpaperFolder = AnsiString(w.folder.c_str());
    SetWallpaperInterval(w.minutes, w.seconds);
}

void TMainForm::WriteWallpaper()
{
    VN::typWallpaperSetting w;
    w.folderMode = WallpaperFolderMode;
    w.file = nsString(WallpaperFile.c_str());
    w.folder = nsString(WallpaperFolder.c_str());
    w.minutes = GetWallpaperMinutes();
    w.seconds = GetWallpaperSeconds();
    WriteWallpaperSettings(w, VN::EditSetting, SettingsKey);
}

int TMainForm::GetWallpaperMinutes() const { return int(WPTimer->Interval() / 60000); }

int TMainForm::GetWallpaperSeconds() const { return int(WPTimer->Interval() / 1000 % 60); }

void TMainForm::SetWallpaperInterval(int minutes, int seconds)
{
    // A stored 0:00 would make a timer of interval 0, which never runs; 999 minutes is beyond the
    // dialog's range.
    const int64_t total = int64_t(minutes) * 60 + seconds;
    const int clamped = int(std::clamp<int64_t>(total, kMinIntervalSec, kMaxIntervalSec));
    WPTimer->SetInterval(unsigned(clamped) * 1000u);
}

void TMainForm::LoadWallpaperSettings()
{
    WPTimer->SetEnabled(false);
    if (TPageEditor* editor = Edit())
        editor->ClearWallPaper();
    WallpaperList.clear();
    if (!WallpaperFolderMode)
    {
        if (!WallpaperFile.IsEmpty())
        {
            if (FileExists(WallpaperFile))
                WallpaperList.push_back(WallpaperFile);
            else
                ErrorBox(msgWallpaperMissing, WallpaperFile.c_str());
        }
        WPTimerTimer(nullptr);
        return;
    }
    if (WallpaperFolder.IsEmpty())
    {
        WPTimerTimer(nullptr);
        return;
    }
    WallpaperList = ListWallpaperPictures(WallpaperFolder);
    if (WallpaperList.empty())
    {
        ErrorBox(msgWallpaperFolderEmpty, WallpaperFolder.c_str());
        WPTimerTimer(nullptr);
        return;
    }
    std::srand(unsigned(std::time(nullptr)));
    WPTimer->SetEnabled(true);
    WPTimerTimer(nullptr);
}

void TMainForm::WPTimerTimer(TObject*)
{
    CurrentWallpaper = WallpaperList.empty() ? AnsiString() : WallpaperList[size_t(std::rand()) % WallpaperList.size()];
    if (TPageEditor* editor = Edit())
        ApplyWallpaperToEditor(editor);
}

void TMainForm::ApplyWallpaperToEditor(TPageEditor* editor)
{
    if (!startupFinished_ || !editor)
        return;
    if (CurrentWallpaper.IsEmpty())
    {
        editor->ClearWallPaper();
        return;
    }
    if (editor->SetWallPaper(CurrentWallpaper))
        return;
    // A picture that fails (damaged, removed meanwhile) gives way to the next one that loads.
    const auto at = std::find(WallpaperList.begin(), WallpaperList.end(), CurrentWallpaper);
    const size_t start = at == WallpaperList.end() ? 0 : size_t(at - WallpaperList.begin());
    for (size_t i = 1; i < WallpaperList.size(); ++i)
    {
        const AnsiString& next = WallpaperList[(start + i) % WallpaperList.size()];
        if (editor->SetWallPaper(next))
        {
            CurrentWallpaper = next;
            return;
        }
    }
    CurrentWallpaper = "";
    editor->ClearWallPaper();
}

void TMainForm::AttachWallpaperWindow()
{
    if (!WallPaperForm)
        return;
    WallPaperForm->GetValues = [this] {
        typWallpaperValues v;
        v.folderMode = WallpaperFolderMode;
        v.file = WallpaperFile;
        v.folder = WallpaperFolder;
        v.minutes = GetWallpaperMinutes();
        v.seconds = GetWallpaperSeconds();
        return v;
    };
    WallPaperForm->ApplyValues = [this](const typWallpaperValues& v) {
        WallpaperFolderMode = v.folderMode;
        WallpaperFile = v.file;
        WallpaperFolder = v.folder;
        SetWallpaperInterval(v.minutes, v.seconds);
        WriteWallpaper();
        WriteEditSetting(VN::EditSetting, SettingsKey);
        ApplySettingsToAllEditors();
        LoadWallpaperSettings();
    };
}
