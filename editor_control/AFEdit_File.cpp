// Loading and saving the editor's content: Shift-JIS text files and the raw document stream.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditFile.h"
#include "editor_control/AFEditText.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
// Writes all count bytes through the seam. False with the system's error.
bool WriteAll(HANDLE h, const char* data, unsigned long count, DWORD& error)
{
    unsigned long written = 0;
    while (written < count)
    {
        unsigned long done = 0;
        if (!SaveWriter().Write(h, data + written, count - written, done))
        {
            error = GetLastError();
            return false;
        }
        if (done == 0)
        {
            error = ERROR_DISK_FULL; // a file takes less than asked only when the disk is full
            return false;
        }
        written += done;
    }
    return true;
}

// A save's stream over a file handle: a failed write says why in the system's words.
class TSaveStream : public THandleStream
{
public:
    explicit TSaveStream(HANDLE h) : THandleStream(h) {}
    int Write(const void* buffer, int count) override
    {
        DWORD error = 0;
        if (count > 0 && !WriteAll(handle_, static_cast<const char*>(buffer), (unsigned long)count, error))
            throw EWriteError(SysErrorMessage(error));
        return count;
    }
};

// Which file, why, and that the file on disk is as it was (or that none was made).
AnsiString SaveFailureText(const AnsiString& path, const AnsiString& reason, bool existed)
{
    return Format(SSaveFailed, {path, reason}) + "\n" + (existed ? SSaveOriginalIntact : SSaveNothingCreated);
}

// A new empty file beside path, named vnXXXXXXXX.tmp; its path is sized from path, never fixed.
HANDLE CreateTempBeside(const AnsiString& path, AnsiString& tempPath, DWORD& error)
{
    static unsigned counter = 0;
    const AnsiString dir = ExtractFilePath(path);
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 12);
    error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 64; ++attempt)
    {
        tempPath = dir + "vn" + IntToHex(int(seed + 2654435761u * ++counter), 8) + ".tmp";
        HANDLE h = CreateFileW(WideFilePath(tempPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

bool SeekTo(HANDLE h, int64_t pos)
{
    LARGE_INTEGER at;
    at.QuadPart = pos;
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) != 0;
}

// Copies count bytes at offset from one file to the same offset of another, the writes through
// the seam. False with the system's error.
bool CopyRange(HANDLE from, HANDLE to, int64_t offset, int64_t count, DWORD& error)
{
    if (!SeekTo(from, offset) || !SeekTo(to, offset))
    {
        error = GetLastError();
        return false;
    }
    char buf[65536]; // no allocation: this runs while a file is half-written
    while (count > 0)
    {
        DWORD want = DWORD(std::min<int64_t>(count, int64_t(sizeof buf)));
        DWORD got = 0;
        if (!ReadFile(from, buf, want, &got, nullptr))
        {
            error = GetLastError();
            return false;
        }
        if (got != want)
        {
            error = ERROR_HANDLE_EOF; // the copy is shorter than it was written
            return false;
        }
        if (!WriteAll(to, buf, got, error))
            return false;
        count -= got;
    }
    return true;
}

int64_t FileSizeOf(HANDLE h)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) ? size.QuadPart : -1;
}

TSaveWriter plainWriter;
TSaveWriter* currentWriter = &plainWriter;
} // namespace

// ---- the bare-record file ------------------------------------------------------------------

void TAttrList::loadFromFile(const AnsiString& path)
{
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    loadFromStream(&stream);
}

void TAttrList::SaveToFile(const AnsiString& path)
{
    TFileStream stream(path, fmCreate);
    SaveToStream(&stream);
}

// ---- loading ----------------------------------------------------------------------------------

void TCustomAFEdit::LoadFromStream(TStream* stream, TConvMode modes)
{
    // Everything is built first, the rows and their records; only then is it swapped in, by steps
    // that cannot fail. A failure before the swap (a read error, memory running out) leaves the
    // editor as it was.
    auto lines = std::make_unique<TStringList>();
    auto records = std::make_unique<TAttrList>();
    TLoadTruncation truncation;
    FDoc->ReadRows(stream, modes, *lines, *records, truncation);
    const int longest = FLongestLine;

    // Commit: once the rows are taken, nothing can fail.
    TakeRows(*lines);
    BlkAttrList()->Clear();
    AttrList()->Swap(*records);
    FTopLine = 0;
    FLongestLine = longest;
    FLoadTruncation = truncation;
    FSelArea->RowReset();
    FSelArea->PutStartPoint(TPoint());
    FSelArea->PutEndPoint(TPoint());
    UndoBuff()->Reset();
    FUndoGroupId = 0;
    FCaret = TPoint(0, 0);
    // The old rows go now; then the parts that tell others of the new content.
    lines.reset();
    records.reset();
    FireUndoChange(UndoBuff()->Kept(), false);
    Invalidate();
    SetCaretPosition();
    SetScrollBars(ScrollBars);
}

void TCustomAFEdit::LoadFromFile(const AnsiString& path, TConvMode modes)
{
    TFileStream stream(path, fmOpenRead);
    LoadFromStream(&stream, modes);
    EditFilePath = path;
}

void TCustomAFEdit::SetText(const AnsiString& text)
{
    TStringStream stream(text);
    LoadFromStream(&stream, TConvMode());
}

AnsiString TCustomAFEdit::GetText()
{
    int n = GetLinesCount();
    int64_t total = 0;
    for (int i = 0; i < n; ++i)
        total += Lines()->Get(i).Length() + 1;
    AnsiString out;
    out.Reserve(int(std::min<int64_t>(total, 0x7FFFFF00)));
    for (int i = 0; i < n; ++i)
    {
        AnsiString row = Lines()->Get(i);
        out += row;
        if (isCrLine(i))
            out += '\n';
    }
    return out;
}

// ---- saving -----------------------------------------------------------------------------------

void TCustomAFEdit::SaveToStream(TStream* stream, TConvMode modes) { FDoc->WriteRows(stream, modes); }

void TCustomAFEdit::SaveToFile(const AnsiString& path, TConvMode modes) { SaveToFileKeeping(path, modes, AnsiString()); }

void TCustomAFEdit::SaveToFileKeeping(const AnsiString& path, TConvMode modes, const AnsiString& keepReplacedAs)
{
    SaveFileSafely(path, modes, keepReplacedAs);
    UndoBuff()->MarkSaved();
    EditFilePath = path;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(WideFilePath(path).c_str(), GetFileExInfoStandard, &data))
        FFileDate = FileTimeToDateTime(data.ftLastWriteTime);
}

// ---- the writer seam ----------------------------------------------------------------------------

bool TSaveWriter::Write(void* handle, const void* data, unsigned long count, unsigned long& done)
{
    DWORD n = 0;
    BOOL ok = WriteFile(handle, data, count, &n, nullptr);
    done = n;
    return ok != 0;
}

TSaveWriter& SaveWriter() { return *currentWriter; }

TSaveWriter* SetSaveWriter(TSaveWriter* writer)
{
    TSaveWriter* previous = currentWriter == &plainWriter ? nullptr : currentWriter;
    currentWriter = writer ? writer : &plainWriter;
    return previous;
}

// ---- writing a file safely ------------------------------------------------------------------------

// Writes a temporary file beside the target and swaps it in, so a failed save never damages the
// file on disk. Every failure names the file the user saved and says why.
void TCustomAFEdit::SaveFileSafely(const AnsiString& path, TConvMode modes, const AnsiString& keepReplacedAs)
{
    if (path.IsEmpty())
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(ERROR_INVALID_NAME), false), ERROR_INVALID_NAME,
                            path);
    const std::wstring target = WideFilePath(path);
    const DWORD attrs = GetFileAttributesW(target.c_str());
    const bool existed = attrs != INVALID_FILE_ATTRIBUTES;
    // Checked before anything is written: a folder is never moved aside to make room for a file.
    if (existed && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        throw EFCreateError(Format(SSaveTargetIsFolder, {path}), ERROR_ACCESS_DENIED, path);
    if (existed && (attrs & FILE_ATTRIBUTE_READONLY))
        throw EFCreateError(SaveFailureText(path, SSaveReadOnly, true), ERROR_ACCESS_DENIED, path);

    AnsiString tempPath;
    DWORD err = 0;
    HANDLE th = CreateTempBeside(path, tempPath, err);
    if (th == INVALID_HANDLE_VALUE)
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), existed), int(err), path);
    const std::wstring temp = WideFilePath(tempPath);
    int64_t newSize = 0;
    try
    {
        TSaveStream stream(th);
        SaveToStream(&stream, modes);
        if (!FlushFileBuffers(th))
            throw EWriteError(SysErrorMessage(GetLastError()));
        newSize = FileSizeOf(th);
    }
    catch (const std::bad_alloc&)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw EOutOfMemory(SaveFailureText(path, SOutOfMemory, existed));
    }
    catch (const Exception& e)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw EWriteError(SaveFailureText(path, e.Message, existed));
    }
    catch (...)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw;
    }
    CloseHandle(th);

    if (!existed)
    {
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        err = GetLastError();
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), false), int(err), path);
    }
    // A file another program holds without delete sharing cannot be replaced; it is written in
    // place instead, without trying (a failed replace may leave a file of its own behind).
    HANDLE probe = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE)
    {
        CloseHandle(probe);
        const std::wstring keep = keepReplacedAs.IsEmpty() ? std::wstring() : WideFilePath(keepReplacedAs);
        if (ReplaceFileW(target.c_str(), temp.c_str(), keep.empty() ? nullptr : keep.c_str(),
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return;
    }
    err = GetLastError();
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        // The old file went but the new one did not take its place.
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        err = GetLastError();
        throw EWriteError(Format(SSaveFailed, {path, SysErrorMessage(err)}) + "\n" +
                          Format(SSaveTextKept, {tempPath}));
    }
    const bool held = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
                      err == ERROR_UNABLE_TO_REMOVE_REPLACED || err == ERROR_ACCESS_DENIED;
    if (!held)
    {
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), true), int(err), path);
    }
    WriteInPlace(path, tempPath, newSize);
    DeleteFileW(temp.c_str());
}

// Another program holds the file open, so it cannot be replaced: its bytes are overwritten with
// those of the temporary copy. The part past the old end is written first, before any old byte is
// touched: a disk too small fails there, and the file is cut back to what it was. The temporary
// copy stays until the whole text is in place, so a later failure still loses nothing.
void TCustomAFEdit::WriteInPlace(const AnsiString& path, const AnsiString& tempPath, int64_t newSize)
{
    const std::wstring temp = WideFilePath(tempPath);
    HANDLE h = CreateFileW(WideFilePath(path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        DWORD err = GetLastError();
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), true), int(err), path);
    }
    HANDLE src = CreateFileW(temp.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t oldSize = FileSizeOf(h);
    DWORD err = 0;
    if (src == INVALID_HANDLE_VALUE || oldSize < 0 || newSize < 0)
    {
        err = GetLastError();
        if (src != INVALID_HANDLE_VALUE)
            CloseHandle(src);
        CloseHandle(h);
        DeleteFileW(temp.c_str());
        throw EWriteError(SaveFailureText(path, SysErrorMessage(err), true));
    }
    if (newSize > oldSize)
    {
        bool grown = CopyRange(src, h, oldSize, newSize - oldSize, err);
        if (grown && !FlushFileBuffers(h))
        {
            grown = false;
            err = GetLastError();
        }
        if (!grown)
        {
            if (SeekTo(h, oldSize))
                SetEndOfFile(h);
            CloseHandle(src);
            CloseHandle(h);
            throw EWriteError(SaveFailureText(path, SysErrorMessage(err), true) + "\n" +
                              Format(SSaveTextKept, {tempPath}));
        }
    }
    bool ok = CopyRange(src, h, 0, std::min(oldSize, newSize), err);
    if (ok && newSize < oldSize && !(SeekTo(h, newSize) && SetEndOfFile(h)))
    {
        ok = false;
        err = GetLastError();
    }
    if (ok && !FlushFileBuffers(h))
    {
        ok = false;
        err = GetLastError();
    }
    CloseHandle(src);
    CloseHandle(h);
    if (!ok)
        throw EWriteError(Format(SSaveOverwriteBroken, {path, SysErrorMessage(err)}) + "\n" +
                          Format(SSaveTextKept, {tempPath}));
}

// The rows become those of lines, told to the line list's watchers as a clear and an add of each
// row. Room for every row is made before the old rows go, so nothing after that can fail: either
// this throws with the rows as they were, or all the rows are in.
