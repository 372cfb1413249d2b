// Explicit Shift-JIS <-> UTF-16 conversion at the Win32 boundary (never the process code page).
#pragma once

#include <string>

#include "AnsiString.h"

constexpr unsigned kCodePageSjis = 932;

std::wstring SjisToWide(const char* s, int len);
inline std::wstring SjisToWide(const AnsiString& s) { return SjisToWide(s.c_str(), s.Length()); }
AnsiString WideToSjis(const wchar_t* s, int len);
inline AnsiString WideToSjis(const std::wstring& s) { return WideToSjis(s.c_str(), int(s.size())); }
