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
constexpr size_t kTriesPerTick = 16;
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
    // A picture still being loaded for the old settings is not shown.
    ++wallpaperTag_;
    wallpaperFailureTold_ = false;
    if (TPageEditor* editor = Edit())
        editor->ClearWallPaper();
    WallpaperList.clear();
    wallpaperFailed_.clear();
    if (!WallpaperFolderMode)
    {
        if (!WallpaperFile.IsEmpty())
        {
            if (FileExists(WallpaperFile))
                WallpaperList.push_back(WallpaperFile);
            else
                ErrorBox(msgWallpaperMissing, NameForBox(WallpaperFile).c_str());
        }
        wallpaperFailed_.assign(WallpaperList.size(), false);
        WPTimerTimer(nullptr);
        return;
    }
    if (WallpaperFolder.IsEmpty())
    {
        WPTimerTimer(nullptr);
        return;
    }
    WallpaperList = ListWallpaperPictures(WallpaperFolder);
    wallpaperFailed_.assign(WallpaperList.size(), false);
    if (WallpaperList.empty())
    {
        ErrorBox(msgWallpaperFolderEmpty, NameForBox(WallpaperFolder).c_str());
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
    if (editor->WallPaperSet() && editor->WallPaperFile() == CurrentWallpaper)
        return;
    const auto at = std::find(WallpaperList.begin(), WallpaperList.end(), CurrentWallpaper);
    RequestWallpaper(at == WallpaperList.end() ? 0 : size_t(at - WallpaperList.begin()));
}

void TMainForm::MoveWallpaper(TPageEditor* from, TPageEditor* to)
{
    if (from && from != to)
    {
        const AnsiString file = from->WallPaperFile();
        nsRichEdit::typWallImages images = from->TakeWallPaper();
        if (to && images.picture && startupFinished_ && file == CurrentWallpaper &&
            to->SetWallPaper(file, std::move(images)))
            return;
    }
    if (to)
        ApplyWallpaperToEditor(to);
}

void TMainForm::RequestWallpaper(size_t first)
{
    TPageEditor* editor = Edit();
    if (!editor || WallpaperList.empty())
        return;
    if (!wallpaperLoader_)
        wallpaperLoader_ = std::make_unique<TWallpaperLoader>([this](typWallpaperResult& r) { WallpaperLoaded(r); });
    if (wallpaperLoader_->Busy())
    {
        wallpaperPending_ = true;
        return;
    }
    // The picture drawn, else the ones after it: a picture that fails gives way to the next one that
    // loads. A few per tick, each tried once: a folder of thousands of damaged files costs no more.
    typWallpaperJob job;
    for (size_t i = 0; i < WallpaperList.size() && job.files.size() < kTriesPerTick; ++i)
    {
        const size_t k = (first + i) % WallpaperList.size();
        if (!wallpaperFailed_[k])
            job.files.push_back(WallpaperList[k]);
    }
    if (job.files.empty())
        return;
    const TSize area = nsRichEdit::WallPaperArea();
    job.maxWidth = area.cx;
    job.maxHeight = area.cy;
    job.blend = editor->WallBlend();
    job.tag = wallpaperTag_;
    wallpaperLoader_->Request(std::move(job));
}

void TMainForm::WallpaperLoaded(typWallpaperResult& result)
{
    if (result.tag == wallpaperTag_)
    {
        for (const AnsiString& file : result.failed)
        {
            const auto at = std::find(WallpaperList.begin(), WallpaperList.end(), file);
            if (at != WallpaperList.end())
                wallpaperFailed_[size_t(at - WallpaperList.begin())] = true;
        }
        TPageEditor* editor = Edit();
        if (!result.file.IsEmpty())
        {
            CurrentWallpaper = result.file;
            if (editor)
                editor->SetWallPaper(result.file, std::move(result.images));
        }
        else if (std::find(wallpaperFailed_.begin(), wallpaperFailed_.end(), false) == wallpaperFailed_.end())
        {
            // Nothing left that loads: said once, and the timer rests until the settings change.
            CurrentWallpaper = "";
            WPTimer->SetEnabled(false);
            if (editor)
                editor->ClearWallPaper();
            if (!wallpaperFailureTold_)
            {
                wallpaperFailureTold_ = true;
                if (WallpaperFolderMode)
                    ErrorBox(msgWallpaperFolderEmpty, NameForBox(WallpaperFolder).c_str());
                else
                    ErrorBox("%s", msgPictureUnreadable);
            }
        }
        else
            CurrentWallpaper = editor ? editor->WallPaperFile() : AnsiString();
    }
    if (wallpaperPending_)
    {
        wallpaperPending_ = false;
        ApplyWallpaperToEditor(Edit());
    }
}

void TMainForm::WaitForWallpaper()
{
    // A result may ask for the picture drawn meanwhile: that one is waited for too.
    while (wallpaperLoader_ && wallpaperLoader_->Busy())
        wallpaperLoader_->Wait();
}

void TMainForm::StopWallpaperLoader()
{
    wallpaperLoader_.reset();
    wallpaperPending_ = false;
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
