// The parts of Classes that ask Windows: handle and file streams, and loading and saving lists and
// memory streams as files.
#include "Classes.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "Cp932.h"

#ifdef GetObject
#undef GetObject
#endif

void TStrings::LoadFromFile(const AnsiString& path)
{
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TStrings::SaveToFile(const AnsiString& path)
{
    TFileStream stream(path, fmCreate);
    SaveToStream(&stream);
}

// ---- THandleStream ----------------------------------------------------------------------------------------

AnsiString THandleStream::ErrorText(const char* fileFormat, const char* streamFormat, unsigned long error) const
{
    AnsiString reason = SysErrorMessage(error);
    if (fileName_.IsEmpty())
        return Format(streamFormat, {reason});
    return Format(fileFormat, {fileName_, reason});
}

int THandleStream::Read(void* buffer, int count)
{
    if (count <= 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, DWORD(count), &got, nullptr))
    {
        DWORD e = GetLastError();
        if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF)
            return int(got);
        throw EReadError(ErrorText(SFileReadError, SStreamReadError, e));
    }
    return int(got);
}

int THandleStream::Write(const void* buffer, int count)
{
    // A file takes part of a write only when the disk is full; the rest is retried so the
    // system says why.
    const char* p = static_cast<const char*>(buffer);
    int total = 0;
    while (total < count)
    {
        DWORD done = 0;
        if (!WriteFile(handle_, p + total, DWORD(count - total), &done, nullptr))
            throw EWriteError(ErrorText(SFileWriteError, SStreamWriteError, GetLastError()));
        if (done == 0)
            throw EWriteError(ErrorText(SFileWriteError, SStreamWriteError, ERROR_DISK_FULL));
        total += int(done);
    }
    return total;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin)
{
    static const DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER dist, result;
    dist.QuadPart = offset;
    if (!SetFilePointerEx(handle_, dist, &result, kMethod[origin]))
        throw EStreamError(ErrorText(SFileSeekError, SStreamSeekError, GetLastError()));
    return result.QuadPart;
}

int64_t THandleStream::GetSize()
{
    LARGE_INTEGER size;
    if (GetFileSizeEx(handle_, &size))
        return size.QuadPart;
    return TStream::GetSize();
}

void THandleStream::SetSize(int64_t size)
{
    int64_t pos = GetPosition();
    Seek(size, soFromBeginning);
    if (!SetEndOfFile(handle_))
    {
        DWORD e = GetLastError();
        Seek(pos, soFromBeginning);
        throw EStreamError(ErrorText(SFileSizeError, SStreamSizeError, e));
    }
    if (pos < size)
        Seek(pos, soFromBeginning);
}

// ---- TFileStream
// --------------------------------------------------------------------------------------------

namespace
{
HANDLE OpenFileHandle(const AnsiString& path, unsigned mode, DWORD& error)
{
    std::wstring wpath = WideFilePath(path);
    HANDLE h;
    if ((mode & fmCreate) == fmCreate)
    {
        h = CreateFileW(wpath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    else
    {
        static const DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
        static const DWORD kShare[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE};
        unsigned access = mode & 0x0F;
        unsigned share = (mode & 0xF0) >> 4;
        if (access > 2 || share > 4)
        {
            error = ERROR_INVALID_PARAMETER;
            return INVALID_HANDLE_VALUE;
        }
        h = CreateFileW(wpath.c_str(), kAccess[access], kShare[share], nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    return h;
}
} // namespace

TFileStream::TFileStream(const AnsiString& path, unsigned mode) : THandleStream(nullptr)
{
    fileName_ = path;
    DWORD error = 0;
    HANDLE h = OpenFileHandle(path, mode, error);
    if (h == INVALID_HANDLE_VALUE)
    {
        AnsiString text = SysErrorMessage(error);
        if ((mode & fmCreate) == fmCreate)
            throw EFCreateError(Format(SFCreateError, {path, text}), int(error), path);
        throw EFOpenError(Format(SFOpenError, {path, text}), int(error), path);
    }
    handle_ = h;
}

TFileStream::~TFileStream()
{
    if (handle_ && handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}

void TFileStream::Flush()
{
    if (!FlushFileBuffers(handle_))
        throw EWriteError(Format(SFileFlushError, {fileName_, SysErrorMessage(GetLastError())}));
}

void TMemoryStream::LoadFromFile(const AnsiString& path)
{
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&stream);
}

void TMemoryStream::SaveToFile(const AnsiString& path)
{
    TFileStream stream(path, fmCreate);
    SaveToStream(&stream);
}
