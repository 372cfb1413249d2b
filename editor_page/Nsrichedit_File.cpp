// Document files of the page: shared opening, the file time, and the backup copy on save.
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
        SetFileDate(FileDateToDateTime(FileGetDate(stream->Handle())));
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

void nsRichEdit::LoadFromFile(const AnsiString& path, TConvMode mode)
{
    // The shared-open status is read back with OpenStatus(); it is no error.
    LoadFile(path, mode);
}

void nsRichEdit::SaveToFile(const AnsiString& path, TConvMode mode)
{
    if (BackupFile)
    {
        std::wstring wpath = SjisToWide(path);
        DWORD attrs = GetFileAttributesW(wpath.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
        {
            AnsiString backup = path + ".bak";
            if (!CopyFileW(wpath.c_str(), SjisToWide(backup).c_str(), FALSE))
                WarningBox(msgBackupFailed, backup.c_str()); // told first; the save goes on
        }
    }
    TCustomAFEdit::SaveToFile(path, mode);
    FLoadTruncation = TLoadTruncation();
}

void nsRichEdit::ApplyEditSetting(const VN::typEditSetting& s)
{
    ColURL = TColor(0xFF0000);
    ColMail = TColor(0xFF0000);
    ColTxtBk = s.STR_BKCOLOR;
    ColTxtBkAB = s.STR_BK_ALPHA;
    TxtBkABMode = s.STR_TRANSPARENCY;
    BackupFile = s.BACKUPFILE;
    HOMEKeyGoAndRet = false;
    UseTab = s.USETAB;
    SetCommentMode(cmmNormal);
}
