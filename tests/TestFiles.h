// File helpers shared by the test programs.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

// Removes a folder with everything below it.
inline void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
            {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL); // read-only files too
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

// A fresh folder of test files under the temporary folder, removed afterwards.
class TTempDir
{
public:
    TTempDir()
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        static int n = 0;
        path_ = WideToSjis(std::wstring(tmp)) + "vn_test_" + IntToStr(int(GetCurrentProcessId())) + "_" +
                IntToStr(++n);
        CreateDirectoryW(SjisToWide(path_).c_str(), nullptr);
    }
    ~TTempDir() { RemoveTree(SjisToWide(path_)); }

    const AnsiString& Path() const { return path_; }
    AnsiString operator/(const char* name) const { return path_ + "\\" + name; }
    AnsiString Write(const AnsiString& name, const AnsiString& text) const
    {
        AnsiString full = path_ + "\\" + name;
        TFileStream f(full, fmCreate);
        if (text.Length() > 0)
            f.WriteBuffer(text.c_str(), text.Length());
        return full;
    }
    static AnsiString Read(const AnsiString& path)
    {
        TFileStream f(path, fmOpenRead);
        AnsiString s;
        s.SetLength(int(f.GetSize()));
        if (s.Length() > 0)
            f.ReadBuffer(s.Unique(), s.Length());
        return s;
    }

private:
    AnsiString path_;
};
