// Access to a file that leaves its creation, last-access and last-write times as they were.
#pragma once

#include <windows.h>

#include <cstdio>

class FileTimeFixAccess
{
public:
    // Keeps the file's three times. Throws the int -1 when the file is missing or its times cannot
    // be read. Needs only read access: a read-only or shared file can still be read.
    explicit FileTimeFixAccess(const char* fileName);
    // Closes the stream and puts the kept times back; never throws, also when the file has gone.
    ~FileTimeFixAccess();
    FileTimeFixAccess(const FileTimeFixAccess&) = delete;
    FileTimeFixAccess& operator=(const FileTimeFixAccess&) = delete;

    // Opens the kept name with fopen (an open stream is closed first); null on failure.
    FILE* Open(const char* mode);
    void Close();
    FILE* Stream() const { return stream_; }

private:
    FILE* stream_ = nullptr;
    char* name_ = nullptr;
    FILETIME creation_{}, lastAccess_{}, lastWrite_{};
};
