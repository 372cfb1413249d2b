#include "common/FileTimeFixAccess.h"

#include <cstring>
#include <string>

#include "platform/Cp932.h"

namespace
{
HANDLE OpenForTimes(const char* name, DWORD access)
{
    const std::wstring wide = SjisToWide(name, int(std::strlen(name)));
    // Times are attributes: reading or setting them needs neither data access nor an exclusive
    // handle, so a read-only file or one another program holds open keeps its times too.
    return CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

FileTimeFixAccess::FileTimeFixAccess(const char* fileName)
{
    HANDLE h = OpenForTimes(fileName, FILE_READ_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE)
        throw -1;
    const bool read = GetFileTime(h, &creation_, &lastAccess_, &lastWrite_);
    CloseHandle(h);
    if (!read)
        throw -1;
    const size_t len = std::strlen(fileName);
    name_ = new char[len + 1];
    std::memcpy(name_, fileName, len + 1);
}

FileTimeFixAccess::~FileTimeFixAccess()
{
    Close();
    HANDLE h = OpenForTimes(name_, FILE_WRITE_ATTRIBUTES);
    if (h != INVALID_HANDLE_VALUE)
    {
        SetFileTime(h, &creation_, &lastAccess_, &lastWrite_);
        CloseHandle(h);
    }
    delete[] name_;
}

FILE* FileTimeFixAccess::Open(const char* mode)
{
    Close();
    // fopen would take the name in the process code page; the name is Shift-JIS whatever that is.
    const std::wstring wide = SjisToWide(name_, int(std::strlen(name_)));
    const std::wstring wmode(mode, mode + std::strlen(mode));
    stream_ = _wfopen(wide.c_str(), wmode.c_str());
    return stream_;
}

void FileTimeFixAccess::Close()
{
    if (stream_)
        std::fclose(stream_);
    stream_ = nullptr;
}
