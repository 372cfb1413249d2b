// The parts of SysUtils that ask Windows: locale comparison, paths and files, dates and times, the
// command line and the system's error texts.
#include "SysUtils.h"

#include <windows.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Cp932.h"

#ifdef DeleteFile
#undef DeleteFile
#endif

namespace
{
int LocaleCompare(const AnsiString& a, const AnsiString& b, DWORD flags)
{
    std::wstring wa = SjisToWide(a), wb = SjisToWide(b);
    int r =
        CompareStringW(LOCALE_USER_DEFAULT, flags, wa.c_str(), int(wa.size()), wb.c_str(), int(wb.size()));
    if (r == 0)
        return a.Compare(b); // cannot fail with valid arguments; keep an order anyway
    return r - CSTR_EQUAL;
}
} // namespace

int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return LocaleCompare(a, b, NORM_IGNORECASE); }
bool AnsiSameText(const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) == 0; }
int AnsiCompareStr(const AnsiString& a, const AnsiString& b) { return LocaleCompare(a, b, 0); }

// ---- Paths ------------------------------------------------------------------------------------------------

namespace
{
// 1-based position of the last byte of delims that is a character of its own; 0 when none.
int LastDelimiter(const AnsiString& s, const char* delims)
{
    const char* d = s.c_str();
    int n = s.Length();
    int found = 0;
    for (int i = 0; i < n;)
    {
        unsigned char c = (unsigned char)d[i];
        if (IsSjisLead(c) && i + 1 < n)
        {
            i += 2;
            continue;
        }
        if (c && std::strchr(delims, c))
            found = i + 1;
        ++i;
    }
    return found;
}

bool IsSeparatorAt(const AnsiString& s, int index)
{
    if (index < 1 || index > s.Length())
        return false;
    char c = s[index];
    return (c == '\\' || c == '/') && ByteType(s, index) == mbSingleByte;
}

const char kPathDelims[] = "\\/:";
const char kExtDelims[] = ".\\/:";
} // namespace

AnsiString ExtractFilePath(const AnsiString& path)
{
    return path.SubString(1, LastDelimiter(path, kPathDelims));
}

AnsiString ExtractFileName(const AnsiString& path)
{
    int i = LastDelimiter(path, kPathDelims);
    return path.SubString(i + 1, path.Length() - i);
}

AnsiString ExtractFileDir(const AnsiString& path)
{
    int i = LastDelimiter(path, kPathDelims);
    // Keep the separator of a root ("C:\", "\") and of a UNC prefix ("\\").
    if (i > 1 && IsSeparatorAt(path, i) && !IsSeparatorAt(path, i - 1) &&
        !(path[i - 1] == ':' && ByteType(path, i - 1) == mbSingleByte))
        --i;
    return path.SubString(1, i);
}

AnsiString ExtractFileExt(const AnsiString& path)
{
    int i = LastDelimiter(path, kExtDelims);
    if (i > 0 && path[i] == '.')
        return path.SubString(i, path.Length() - i + 1);
    return AnsiString();
}

AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext)
{
    int i = LastDelimiter(path, kExtDelims);
    if (i == 0 || path[i] != '.')
        i = path.Length() + 1;
    return path.SubString(1, i - 1) + ext;
}

AnsiString IncludeTrailingBackslash(const AnsiString& path)
{
    if (IsSeparatorAt(path, path.Length()))
        return path;
    return path + "\\";
}

AnsiString ExcludeTrailingBackslash(const AnsiString& path)
{
    if (IsSeparatorAt(path, path.Length()))
        return path.SubString(1, path.Length() - 1);
    return path;
}

// ---- Files ------------------------------------------------------------------------------------------------

std::wstring WideFilePath(const AnsiString& path)
{
    return WideFilePath(SjisToWide(path));
}

std::wstring WideFilePath(const std::wstring& w)
{
    // Folders take 12 characters less than files (room for an 8.3 name); past that only the
    // "\\?\" form reaches the file.
    if (w.size() < MAX_PATH - 12 || w.compare(0, 4, L"\\\\?\\") == 0)
        return w;
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return w;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return w;
    full.resize(n);
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool FileExists(const AnsiString& path)
{
    DWORD a = GetFileAttributesW(WideFilePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const AnsiString& path)
{
    DWORD a = GetFileAttributesW(WideFilePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const AnsiString& path) { return DeleteFileW(WideFilePath(path).c_str()) != 0; }

bool RenameFile(const AnsiString& oldName, const AnsiString& newName)
{
    return MoveFileW(WideFilePath(oldName).c_str(), WideFilePath(newName).c_str()) != 0;
}

AnsiString GetCurrentDir()
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        RaiseLastOSError();
    std::wstring w(n, L'\0');
    n = GetCurrentDirectoryW(n, w.data());
    w.resize(n);
    return WideToSjis(w);
}

bool FullPathName(const std::wstring& path, std::wstring& full)
{
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return false;
    full.assign(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(n);
    return true;
}

AnsiString ExpandFileName(const AnsiString& path)
{
    if (path.IsEmpty())
        return path;
    std::wstring full;
    return FullPathName(SjisToWide(path), full) ? WideToSjis(full) : path;
}

namespace
{
bool UtcToLocalSystemTime(const FILETIME& utc, SYSTEMTIME& local)
{
    SYSTEMTIME st;
    // The zone rules of that date, not today's daylight saving.
    return FileTimeToSystemTime(&utc, &st) && SystemTimeToTzSpecificLocalTime(nullptr, &st, &local);
}

int DosDateOf(const FILETIME& utc)
{
    SYSTEMTIME local;
    FILETIME localFt;
    WORD date, time;
    if (!UtcToLocalSystemTime(utc, local) || !SystemTimeToFileTime(&local, &localFt) ||
        !FileTimeToDosDateTime(&localFt, &date, &time))
        return -1;
    return int((unsigned(date) << 16) | time);
}
} // namespace

int FileGetDate(const AnsiString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WideFilePath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return DosDateOf(data.ftLastWriteTime);
}

int FileGetDate(void* handle)
{
    FILETIME write;
    if (!GetFileTime(handle, nullptr, nullptr, &write))
        return -1;
    return DosDateOf(write);
}

// ---- Dates ------------------------------------------------------------------------------------------------

namespace
{
constexpr long long kMSecsPerDay = 86400000LL;
constexpr long long kUnixToDateTime = 25569; // days from 1899-12-30 to 1970-01-01

// Proleptic Gregorian calendar, days relative to 1970-01-01.
long long DaysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = unsigned(y - era * 400);
    unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d)
{
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = unsigned(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int(yoe + era * 400) + (m <= 2);
}

bool IsLeapYear(unsigned y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

// Whole days and milliseconds of the day; a negative value keeps its time of day positive.
void SplitDateTime(TDateTime dt, long long& days, long long& msec)
{
    long long total = std::llround(std::fabs(dt) * double(kMSecsPerDay));
    days = total / kMSecsPerDay;
    msec = total % kMSecsPerDay;
    if (dt < 0)
        days = -days;
}

TDateTime FromSystemTime(const SYSTEMTIME& st)
{
    return EncodeDate(st.wYear, st.wMonth, st.wDay) +
           EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}
} // namespace

TDateTime EncodeDate(unsigned short year, unsigned short month, unsigned short day)
{
    static const unsigned char kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > kDays[month - 1] + (month == 2 && IsLeapYear(year)))
        throw EConvertError("日付として正しくない値です。");
    return TDateTime(DaysFromCivil(year, month, day) + kUnixToDateTime);
}

TDateTime EncodeTime(unsigned short hour, unsigned short min, unsigned short sec, unsigned short msec)
{
    if (hour > 23 || min > 59 || sec > 59 || msec > 999)
        throw EConvertError("時刻として正しくない値です。");
    return TDateTime(((hour * 60LL + min) * 60 + sec) * 1000 + msec) / double(kMSecsPerDay);
}

void DecodeDate(TDateTime dt, unsigned short& year, unsigned short& month, unsigned short& day)
{
    long long days, msec;
    SplitDateTime(dt, days, msec);
    if (!std::isfinite(dt) || days < -693593 || days > 2958465) // outside years 1..9999
    {
        year = month = day = 0;
        return;
    }
    int y;
    unsigned m, d;
    CivilFromDays(days - kUnixToDateTime, y, m, d);
    year = (unsigned short)y;
    month = (unsigned short)m;
    day = (unsigned short)d;
}

void DecodeTime(TDateTime dt, unsigned short& hour, unsigned short& min, unsigned short& sec,
                unsigned short& msec)
{
    long long days, ms;
    if (!std::isfinite(dt))
    {
        hour = min = sec = msec = 0;
        return;
    }
    SplitDateTime(dt, days, ms);
    msec = (unsigned short)(ms % 1000);
    ms /= 1000;
    sec = (unsigned short)(ms % 60);
    ms /= 60;
    min = (unsigned short)(ms % 60);
    hour = (unsigned short)(ms / 60);
}

TDateTime Now()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return FromSystemTime(st);
}

TDateTime Date()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

TDateTime FileTimeToDateTime(const _FILETIME& ft)
{
    SYSTEMTIME local;
    if (!UtcToLocalSystemTime(ft, local))
        throw EConvertError("ファイルの日時が正しくありません。");
    return FromSystemTime(local);
}

void DateTimeToFileTime(TDateTime dt, _FILETIME& ft)
{
    SYSTEMTIME local = {}, utc;
    DecodeDate(dt, local.wYear, local.wMonth, local.wDay);
    DecodeTime(dt, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
    if (local.wYear < 1601 || !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &ft))
        throw EConvertError("ファイルの日時として扱えない日付です。");
}

TDateTime FileDateToDateTime(int dosDate)
{
    unsigned date = unsigned(dosDate) >> 16, time = unsigned(dosDate) & 0xFFFF;
    return EncodeDate((unsigned short)((date >> 9) + 1980), (unsigned short)((date >> 5) & 15),
                      (unsigned short)(date & 31)) +
           EncodeTime((unsigned short)(time >> 11), (unsigned short)((time >> 5) & 63),
                      (unsigned short)((time & 31) * 2), 0);
}

// ---- Process and system
// ----------------------------------------------------------------------------------------

namespace
{
// Blanks separate parameters; a double quote toggles quoting and is dropped. Backslashes are plain
// characters, so "C:\dir\" stays a folder name.
std::vector<std::wstring> CommandLineParams()
{
    std::vector<std::wstring> params;
    const wchar_t* p = GetCommandLineW();
    while (p && *p)
    {
        while (*p && *p <= L' ')
            ++p;
        if (!*p)
            break;
        std::wstring param;
        bool quoted = false;
        for (; *p && (quoted || *p > L' '); ++p)
        {
            if (*p == L'"')
                quoted = !quoted;
            else
                param += *p;
        }
        params.push_back(param);
    }
    return params;
}
} // namespace

void RestrictLibrarySearch()
{
    // The default folders: the program's own and the system's. Older systems without the call keep
    // their order less the current folder.
    constexpr DWORD kSearchDefaultDirs = 0x00001000; // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel ? reinterpret_cast<TSetDefaultDllDirectories>(
                                         reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                   : nullptr;
    if (!setDefault || !setDefault(kSearchDefaultDirs))
        SetDllDirectoryW(L"");
}

int ParamCount()
{
    size_t n = CommandLineParams().size();
    return n ? int(n) - 1 : 0;
}

AnsiString ParamStr(int index)
{
    if (index == 0)
    {
        std::wstring w(MAX_PATH, L'\0');
        for (;;)
        {
            DWORD n = GetModuleFileNameW(nullptr, w.data(), DWORD(w.size()));
            if (n == 0)
                return AnsiString();
            if (n < w.size())
            {
                w.resize(n);
                return WideToSjis(w);
            }
            w.resize(w.size() * 2);
        }
    }
    std::vector<std::wstring> params = CommandLineParams();
    if (index < 0 || size_t(index) >= params.size())
        return AnsiString();
    return WideToSjis(params[size_t(index)]);
}

AnsiString SysErrorMessage(unsigned long errorCode)
{
    // Japanese first, whatever language the process runs in; the system's default after that.
    const DWORD languages[] = {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), 0};
    for (DWORD lang : languages)
    {
        wchar_t* text = nullptr;
        DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 nullptr, DWORD(errorCode), lang, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (n == 0 || !text)
            continue;
        while (n > 0 && text[n - 1] <= L' ')
            --n;
        AnsiString result = WideToSjis(text, int(n));
        LocalFree(text);
        if (!result.IsEmpty())
            return result;
    }
    return Format(SUnknownSysError, {errorCode});
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void RaiseLastOSError(unsigned long errorCode)
{
    if (errorCode == 0)
        throw EOSError(SUnknownOSError);
    throw EOSError(Format(SOSError, {errorCode, SysErrorMessage(errorCode)}), errorCode);
}

// ---- Programs ---------------------------------------------------------------------------------------
AnsiString ExpandEnvironmentText(const AnsiString& text)
{
    const std::wstring wide = SjisToWide(text);
    std::wstring expanded(wide.size() + 1, L'\0');
    for (;;)
    {
        const DWORD n = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), DWORD(expanded.size()));
        if (n == 0)
            return text;
        if (n <= expanded.size())
        {
            expanded.resize(n - 1);
            return WideToSjis(expanded);
        }
        expanded.resize(n);
    }
}

AnsiString RemoveDoubleQuotes(AnsiString text)
{
    for (int i = text.Length(); i >= 1; --i)
        if (text[i] == '"')
            text.Delete(i, 1);
    return text;
}

namespace
{
int SjisCharLength(const AnsiString& text, int i)
{
    return i < text.Length() && IsSjisLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
}

bool IsAbsolute(const AnsiString& name)
{
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    return (name.Length() >= 3 && std::isalpha(static_cast<unsigned char>(name[1])) && name[2] == ':' &&
            slash(name[3])) ||
           (name.Length() >= 2 && slash(name[1]) && slash(name[2]));
}

// A path part of any kind: a slash (never a trail byte here), or a drive.
bool HasPathPart(const AnsiString& name)
{
    for (int i = 1; i <= name.Length(); i += SjisCharLength(name, i))
        if (name[i] == '\\' || name[i] == '/' || name[i] == ':')
            return true;
    return false;
}

std::vector<AnsiString> SplitList(const AnsiString& list)
{
    std::vector<AnsiString> items;
    int start = 1;
    for (int i = 1; i <= list.Length() + 1; i += i <= list.Length() ? SjisCharLength(list, i) : 1)
        if (i > list.Length() || list[i] == ';')
        {
            const AnsiString item = RemoveDoubleQuotes(list.SubString(start, i - start)).Trim();
            if (!item.IsEmpty())
                items.push_back(item);
            start = i + 1;
        }
    return items;
}

AnsiString EnvironmentValue(const wchar_t* name)
{
    const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return "";
    std::wstring value(n, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), n));
    return WideToSjis(value);
}

// The file the name stands for in the folder (empty folder: the name is a full path): the name
// itself when it has an extension, else the first of the extensions that run.
AnsiString FindIn(const AnsiString& folder, const AnsiString& name)
{
    const AnsiString base = folder.IsEmpty() ? name : IncludeTrailingBackslash(folder) + name;
    if (!ExtractFileExt(name).IsEmpty())
        return FileExists(base) ? base : AnsiString();
    AnsiString extensions = EnvironmentValue(L"PATHEXT");
    if (extensions.IsEmpty())
        extensions = ".COM;.EXE;.BAT;.CMD";
    for (const AnsiString& extension : SplitList(extensions))
        if (extension[1] == '.' && FileExists(base + extension))
            return base + extension;
    return "";
}

// A program registered under its name for the shell, as the Run box finds it.
AnsiString RegisteredPath(const AnsiString& name)
{
    const AnsiString key = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" +
                           (ExtractFileExt(name).IsEmpty() ? name + ".exe" : name);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        wchar_t value[MAX_PATH * 2] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        if (RegGetValueW(root, SjisToWide(key).c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr,
                         value, &size) != ERROR_SUCCESS)
            continue;
        const AnsiString path = RemoveDoubleQuotes(ExpandEnvironmentText(WideToSjis(std::wstring(value))));
        if (IsAbsolute(path) && FileExists(path))
            return ExpandFileName(path);
    }
    return "";
}

} // namespace

// A name already expanded and unquoted: a full path as it is (or with an extension that runs),
// a bare name in the system folder, the Windows folder, the folders of PATH and the shell's
// registered programs. Never the current folder or the document's: a program planted there, or
// a relative path that would reach one, must not run.
AnsiString LocateProgram(const AnsiString& name)
{
    if (name.Trim().IsEmpty())
        return "";
    if (IsAbsolute(name))
    {
        const AnsiString full = ExpandFileName(name);
        if (FileExists(full))
            return full;
        const AnsiString found = FindIn("", full);
        return !found.IsEmpty() || !DirectoryExists(full) ? found : full; // the shell opens a folder
    }
    if (HasPathPart(name))
        return "";
    wchar_t folder[MAX_PATH];
    std::vector<AnsiString> folders;
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        folders.push_back(WideToSjis(std::wstring(folder, n)));
    n = GetWindowsDirectoryW(folder, MAX_PATH);
    if (n > 0 && n < MAX_PATH)
        folders.push_back(WideToSjis(std::wstring(folder, n)));
    for (const AnsiString& entry : SplitList(EnvironmentValue(L"PATH")))
        if (IsAbsolute(ExpandEnvironmentText(entry)))
            folders.push_back(ExpandEnvironmentText(entry));
    for (const AnsiString& where : folders)
    {
        const AnsiString found = FindIn(where, name);
        if (!found.IsEmpty())
            return found;
    }
    return RegisteredPath(name);
}

