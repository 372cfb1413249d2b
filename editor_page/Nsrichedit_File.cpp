// Document files of the page: shared opening, the file time, and the backup copy on save.
#include <algorithm>
#include <windows.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

typOpenStatus nsRichEdit::LoadFile(const AnsiString& path, TConvMode mode)
{
    bool shared = false;
    TFileStream* stream = nullptr;
    try
    {
        stream = new TFileStream(path, fmOpenRead);
    }
    catch (const EFOpenError&)
    {
        // Another program holds the file: read it anyway, sharing everything.
        shared = true;
        try
        {
            stream = new TFileStream(path, fmOpenRead | fmShareDenyNone);
        }
        catch (const EFOpenError& e)
        {
            throw EFOpenError("Open Error", e.ErrorCode);
        }
    }
    try
    {
        LoadFromStream(stream, mode);
        EditFilePath = path;
        // The full write time, as a save stores it: a change within the same two seconds counts.
        FILETIME written{};
        SetFileDate(GetFileTime(stream->Handle(), nullptr, nullptr, &written) ? FileTimeToDateTime(written)
                                                                              : TDateTime(0.0));
        FFileLength = stream->GetSize();
        FFileIdentity = ReadFileIdentity(stream->Handle());
    }
    catch (...)
    {
        delete stream;
        throw;
    }
    delete stream;
    FOpenStatus = shared ? osShared : osNormal;
    return FOpenStatus;
}

typFileIdentity ReadFileIdentity(void* handle)
{
    typFileIdentity identity;
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) && basic.ChangeTime.QuadPart != 0)
    {
        identity.changeKnown = true;
        identity.changeTime = basic.ChangeTime.QuadPart;
    }
    // Some network file systems give every file the index 0: that tells nothing.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info) && (info.nFileIndexHigh | info.nFileIndexLow) != 0)
    {
        identity.indexKnown = true;
        identity.volume = info.dwVolumeSerialNumber;
        identity.index = uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    return identity;
}

bool SameFileIdentity(const typFileIdentity& a, const typFileIdentity& b)
{
    if (a.changeKnown && b.changeKnown && a.changeTime != b.changeTime)
        return false;
    return !(a.indexKnown && b.indexKnown && (a.volume != b.volume || a.index != b.index));
}

void nsRichEdit::LoadFromFile(const AnsiString& path, TConvMode mode)
{
    // The shared-open status is read back with OpenStatus(); it is no error.
    LoadFile(path, mode);
}

namespace
{
void RemoveFile(const AnsiString& path)
{
    std::wstring w = WideFilePath(path);
    SetFileAttributesW(w.c_str(), FILE_ATTRIBUTE_NORMAL); // a copy of a read-only file is read-only
    DeleteFileW(w.c_str());
}
} // namespace

bool nsRichEdit::CopyForBackup(const AnsiString& from, const AnsiString& to, unsigned long& error)
{
    if (CopyFileW(WideFilePath(from).c_str(), WideFilePath(to).c_str(), TRUE))
        return true;
    error = GetLastError();
    return false;
}

namespace
{
// Whether the file could be renamed now: another program may hold it open without letting it be.
bool CanBeRenamed(const AnsiString& path)
{
    HANDLE h = CreateFileW(WideFilePath(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}
} // namespace

void nsRichEdit::SaveToFile(const AnsiString& path, TConvMode mode)
{
    // The new backup waits under a temporary name beside the file until the save has succeeded:
    // the previous backup is never overwritten by a partial copy, and a failed save leaves no trace.
    // Usually the save's replace moves the old file itself there, so its text is never copied; a
    // file another program holds is written in place, so it is copied first.
    AnsiString backup = path + ".bak";
    AnsiString pending;
    AnsiString keepAs; // where the save is to leave the file it replaces
    bool earlierBackup = false;
    DWORD attrs = GetFileAttributesW(WideFilePath(path).c_str());
    if (BackupFile && attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
    {
        unsigned long error = 0;
        DWORD old = GetFileAttributesW(WideFilePath(backup).c_str());
        earlierBackup = old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY);
        if (old != INVALID_FILE_ATTRIBUTES && (old & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
            error = ERROR_ACCESS_DENIED; // the old backup could not be replaced afterwards
        if (error == 0 && !(attrs & FILE_ATTRIBUTE_READONLY) && CanBeRenamed(path))
            for (int n = 1; keepAs.IsEmpty() && n <= 1000; ++n)
            {
                AnsiString name = backup + Format(".%u-%d.tmp", {unsigned(GetCurrentProcessId()), n});
                if (GetFileAttributesW(WideFilePath(name).c_str()) == INVALID_FILE_ATTRIBUTES)
                    keepAs = name;
            }
        for (int n = 1; error == 0 && keepAs.IsEmpty() && n <= 1000; ++n)
        {
            AnsiString name = backup + Format(".%u-%d.tmp", {unsigned(GetCurrentProcessId()), n});
            if (CopyForBackup(path, name, error))
            {
                pending = name;
                break;
            }
            if (error == ERROR_FILE_EXISTS) // someone else's file: left alone, the next name tried
            {
                error = n < 1000 ? 0 : error;
                continue;
            }
            RemoveFile(name); // what a copy that failed part-way left
            if (error == 0)
                error = ERROR_GEN_FAILURE;
        }
        if (!pending.IsEmpty())
        {
            DWORD copied = GetFileAttributesW(WideFilePath(pending).c_str());
            if (copied != INVALID_FILE_ATTRIBUTES && (copied & FILE_ATTRIBUTE_READONLY))
                SetFileAttributesW(WideFilePath(pending).c_str(), copied & ~DWORD(FILE_ATTRIBUTE_READONLY));
        }
        else if (keepAs.IsEmpty() &&
                 YesNoBox(bdNo, earlierBackup ? msgBackupFailed : msgBackupFailedNoEarlier, backup.c_str(),
                          SysErrorMessage(error).c_str()) != baYes)
            throw EAbort(); // not saved, and nothing on disk changed
    }
    try
    {
        SaveToFileKeeping(path, mode, keepAs);
    }
    catch (...)
    {
        if (!pending.IsEmpty())
            RemoveFile(pending);
        throw;
    }
    if (!keepAs.IsEmpty())
    {
        // Kept unless the file had to be written in place after all (held since it was looked at).
        DWORD kept = GetFileAttributesW(WideFilePath(keepAs).c_str());
        if (kept != INVALID_FILE_ATTRIBUTES && !(kept & FILE_ATTRIBUTE_DIRECTORY))
            pending = keepAs;
        else
            WarningBox(msgBackupNotMadeHeld, path.c_str(), backup.c_str());
    }
    ResetLoadTruncation();
    // Read from the file the save left in place (the replace made it a new one): the next save and
    // the check for changes on disk compare with it.
    FFileLength = -1;
    FFileIdentity = typFileIdentity();
    HANDLE written = CreateFileW(WideFilePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (written != INVALID_HANDLE_VALUE)
    {
        LARGE_INTEGER size{};
        if (GetFileSizeEx(written, &size))
            FFileLength = size.QuadPart;
        FFileIdentity = ReadFileIdentity(written);
        CloseHandle(written);
    }
    if (!pending.IsEmpty() &&
        !MoveFileExW(WideFilePath(pending).c_str(), WideFilePath(backup).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        DWORD error = GetLastError();
        WarningBox(earlierBackup ? msgBackupNotReplaced : msgBackupNotMade, path.c_str(), backup.c_str(),
                   SysErrorMessage(error).c_str(), pending.c_str());
    }
}

void nsRichEdit::ApplyEditSetting(const VN::typEditSetting& s)
{
    ColURL = TColor(0xFF0000);
    ColMail = TColor(0xFF0000);
    ColTxtBk = s.STR_BKCOLOR;
    // The stored value is the transparency the wallpaper dialog shows; the blend takes opacity.
    ColTxtBkAB = 255 - std::clamp(s.STR_BK_ALPHA, 0, 255);
    TxtBkABMode = s.STR_TRANSPARENCY;
    FAlphaBlend = s.TRANSPARENCY;
    FAlphaBlendValue = std::clamp(s.ALPHA_VALUE, 0, 255);
    // The colours may have changed too.
    if (FWallPaperSet)
    {
        RebuildWallPaper();
        Invalidate();
    }
    BackupFile = s.BACKUPFILE;
    HOMEKeyGoAndRet = false;
    UseTab = s.USETAB;
    // The comment syntax is the file's own: it follows the name, not the settings.
    SetCommentMode(CommentModeForFile(EditFilePath));
}
