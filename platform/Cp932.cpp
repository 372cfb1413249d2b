#include "Cp932.h"

#include <windows.h>

std::wstring SjisToWide(const char* s, int len)
{
    if (!s || len <= 0)
        return std::wstring();
    int n = MultiByteToWideChar(kCodePageSjis, 0, s, len, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(kCodePageSjis, 0, s, len, w.data(), n);
    return w;
}

AnsiString WideToSjis(const wchar_t* s, int len)
{
    if (!s || len <= 0)
        return AnsiString();
    int n = WideCharToMultiByte(kCodePageSjis, 0, s, len, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return AnsiString();
    AnsiString r;
    r.SetLength(n);
    WideCharToMultiByte(kCodePageSjis, 0, s, len, r.Unique(), n, nullptr, nullptr);
    return r;
}
