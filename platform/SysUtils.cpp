#include "SysUtils.h"

#include <windows.h>

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

// ---- Format ----------------------------------------------------------------------------------------------

namespace
{
// Width and precision beyond this are a bug in the caller, not a wish for a huge string.
constexpr int kMaxFieldWidth = 1 << 20;

struct FieldSpec
{
    bool left = false;
    bool zero = false;
    bool plus = false;
    bool space = false;
    int width = 0;
    int precision = -1; // none
};

class Formatter
{
public:
    Formatter(const AnsiString& fmt, std::initializer_list<TVarRec> args)
        : fmt_(fmt), arg_(args.begin()), end_(args.end())
    {
    }
    AnsiString Run();

private:
    [[noreturn]] void Fail() const
    {
        throw EConvertError("Format '" + fmt_ + "' invalid or incompatible with argument");
    }
    const TVarRec& NextArg()
    {
        if (arg_ == end_)
            Fail();
        return *arg_++;
    }
    int StarArg();
    void Pad(const char* body, int len, const FieldSpec& spec);
    void Integer(const FieldSpec& spec, char conv);
    void Floating(const FieldSpec& spec, char conv);
    void Text(const FieldSpec& spec);
    void Char(const FieldSpec& spec);
    void Pointer(const FieldSpec& spec);

    const AnsiString& fmt_;
    const TVarRec* arg_;
    const TVarRec* end_;
    AnsiString out_;
};

int Formatter::StarArg()
{
    const TVarRec& a = NextArg();
    long long v;
    switch (a.Kind)
    {
    case TVarRec::vtInteger:
        v = a.Value.Int;
        break;
    case TVarRec::vtUnsigned:
        v = a.Value.Unsigned;
        break;
    case TVarRec::vtInt64:
        v = a.Value.Int64;
        break;
    default:
        Fail();
    }
    if (v > kMaxFieldWidth || v < -kMaxFieldWidth)
        Fail();
    return int(v);
}

void Formatter::Pad(const char* body, int len, const FieldSpec& spec)
{
    int fill = spec.width > len ? spec.width - len : 0;
    if (!spec.left && fill)
        out_ += AnsiString::StringOfChar(' ', fill);
    out_.Append(body, len);
    if (spec.left && fill)
        out_ += AnsiString::StringOfChar(' ', fill);
}

void Formatter::Integer(const FieldSpec& spec, char conv)
{
    const TVarRec& a = NextArg();
    bool negative = false;
    unsigned long long magnitude = 0;
    bool wide = false; // 64-bit pattern for %x and %u
    switch (a.Kind)
    {
    case TVarRec::vtInteger:
        negative = a.Value.Int < 0;
        magnitude =
            negative ? 0ULL - (unsigned long long)(long long)a.Value.Int : (unsigned long long)a.Value.Int;
        break;
    case TVarRec::vtUnsigned:
        magnitude = a.Value.Unsigned;
        break;
    case TVarRec::vtInt64:
        negative = a.Value.Int64 < 0;
        magnitude = negative ? 0ULL - (unsigned long long)a.Value.Int64 : (unsigned long long)a.Value.Int64;
        wide = true;
        break;
    default:
        Fail();
    }
    if (conv != 'd' && negative)
    {
        // %u and %x show the two's-complement pattern of the argument's own width.
        magnitude = 0ULL - magnitude;
        if (!wide)
            magnitude &= 0xFFFFFFFFULL;
        negative = false;
    }

    char digits[32];
    int n = 0;
    unsigned base = (conv == 'x' || conv == 'X') ? 16 : 10;
    const char* alphabet = conv == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
    for (unsigned long long v = magnitude; v; v /= base)
        digits[n++] = alphabet[v % base];

    AnsiString body;
    if (negative)
        body += '-';
    else if (conv == 'd' && spec.plus)
        body += '+';
    else if (conv == 'd' && spec.space)
        body += ' ';
    int minDigits = spec.precision >= 0 ? spec.precision : 1;
    int zeros = minDigits > n ? minDigits - n : 0;
    if (spec.zero && !spec.left && spec.precision < 0)
    {
        int total = body.Length() + zeros + n;
        if (spec.width > total)
            zeros += spec.width - total;
    }
    if (zeros)
        body += AnsiString::StringOfChar('0', zeros);
    for (int i = n - 1; i >= 0; --i)
        body += digits[i];
    Pad(body.c_str(), body.Length(), spec);
}

void Formatter::Floating(const FieldSpec& spec, char conv)
{
    const TVarRec& a = NextArg();
    if (a.Kind != TVarRec::vtDouble)
        Fail();
    // The C conversion is trusted only with a spec we built ourselves and one double.
    char cfmt[32];
    std::snprintf(cfmt, sizeof cfmt, "%%%s%s%s%s*.*%c", spec.left ? "-" : "", spec.zero ? "0" : "",
                  spec.plus ? "+" : "", spec.space ? " " : "", conv);
    int precision = spec.precision >= 0 ? spec.precision : 6;
    int need = std::snprintf(nullptr, 0, cfmt, spec.width, precision, a.Value.Double);
    if (need < 0)
        Fail();
    std::vector<char> buf(size_t(need) + 1);
    std::snprintf(buf.data(), buf.size(), cfmt, spec.width, precision, a.Value.Double);
    out_.Append(buf.data(), need);
}

void Formatter::Text(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    const char* s;
    int len;
    switch (a.Kind)
    {
    case TVarRec::vtPChar:
        s = a.Value.PChar ? a.Value.PChar : "";
        len = int(std::strlen(s));
        break;
    case TVarRec::vtAnsiString:
        s = a.Value.Str->c_str();
        len = a.Value.Str->Length();
        break;
    case TVarRec::vtChar:
        s = &a.Value.Char;
        len = 1;
        break;
    default:
        Fail();
    }
    if (spec.precision >= 0 && spec.precision < len)
    {
        int cut = spec.precision;
        // Never keep half of a double-byte character.
        if (cut > 0 && ByteTypeAt(s, len, cut - 1) == mbLeadByte)
            --cut;
        len = cut;
    }
    Pad(s, len, spec);
}

void Formatter::Char(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    char c;
    switch (a.Kind)
    {
    case TVarRec::vtChar:
        c = a.Value.Char;
        break;
    case TVarRec::vtInteger:
        c = char(a.Value.Int);
        break;
    case TVarRec::vtUnsigned:
        c = char(a.Value.Unsigned);
        break;
    default:
        Fail();
    }
    Pad(&c, 1, spec);
}

void Formatter::Pointer(const FieldSpec& spec)
{
    const TVarRec& a = NextArg();
    if (a.Kind != TVarRec::vtPointer)
        Fail();
    char buf[2 * sizeof(void*) + 1];
    uintptr_t v = reinterpret_cast<uintptr_t>(a.Value.Pointer);
    for (int i = int(2 * sizeof(void*)) - 1; i >= 0; --i, v >>= 4)
        buf[i] = "0123456789ABCDEF"[v & 15];
    Pad(buf, int(2 * sizeof(void*)), spec);
}

AnsiString Formatter::Run()
{
    const char* p = fmt_.c_str();
    const char* end = p + fmt_.Length();
    out_.Reserve(fmt_.Length() + 16);
    while (p < end)
    {
        // '%' (0x25) is never a trail byte, so a plain byte scan is safe.
        const char* q = static_cast<const char*>(std::memchr(p, '%', size_t(end - p)));
        if (!q)
        {
            out_.Append(p, int(end - p));
            break;
        }
        out_.Append(p, int(q - p));
        p = q + 1;
        if (p < end && *p == '%')
        {
            out_ += '%';
            ++p;
            continue;
        }
        FieldSpec spec;
        for (; p < end; ++p)
        {
            if (*p == '-')
                spec.left = true;
            else if (*p == '0')
                spec.zero = true;
            else if (*p == '+')
                spec.plus = true;
            else if (*p == ' ')
                spec.space = true;
            else
                break;
        }
        if (p < end && *p == '*')
        {
            spec.width = StarArg();
            if (spec.width < 0)
            {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++p;
        }
        else
        {
            for (; p < end && *p >= '0' && *p <= '9'; ++p)
            {
                spec.width = spec.width * 10 + (*p - '0');
                if (spec.width > kMaxFieldWidth)
                    Fail();
            }
        }
        if (p < end && *p == '.')
        {
            ++p;
            spec.precision = 0;
            if (p < end && *p == '*')
            {
                int v = StarArg();
                spec.precision = v < 0 ? -1 : v;
                ++p;
            }
            else
            {
                for (; p < end && *p >= '0' && *p <= '9'; ++p)
                {
                    spec.precision = spec.precision * 10 + (*p - '0');
                    if (spec.precision > kMaxFieldWidth)
                        Fail();
                }
            }
        }
        if (p >= end)
            Fail();
        char conv = *p++;
        switch (conv)
        {
        case 'd':
        case 'u':
        case 'x':
        case 'X':
            Integer(spec, conv);
            break;
        case 'f':
        case 'e':
        case 'g':
            Floating(spec, conv);
            break;
        case 's':
            Text(spec);
            break;
        case 'c':
            Char(spec);
            break;
        case 'p':
            Pointer(spec);
            break;
        default:
            Fail();
        }
    }
    return out_;
}
} // namespace

AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args)
{
    return Formatter(fmt, args).Run();
}

// ---- Numbers and case
// ---------------------------------------------------------------------------------------

AnsiString IntToStr(int value) { return AnsiString(value); }
AnsiString IntToStr(long long value) { return AnsiString(value); }

AnsiString IntToHex(int value, int digits)
{
    if (digits > 32)
        digits = 32;
    char buf[40];
    int n = 0;
    for (unsigned v = unsigned(value); v; v >>= 4)
        buf[n++] = "0123456789ABCDEF"[v & 15];
    while (n < digits || n == 0)
        buf[n++] = '0';
    AnsiString r;
    for (int i = n - 1; i >= 0; --i)
        r += buf[i];
    return r;
}

int StrToInt(const AnsiString& s) { return s.ToInt(); }
int StrToIntDef(const AnsiString& s, int def) { return s.ToIntDef(def); }

AnsiString UpperCase(const AnsiString& s) { return s.UpperCase(); }
AnsiString LowerCase(const AnsiString& s) { return s.LowerCase(); }

int CompareText(const AnsiString& a, const AnsiString& b)
{
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a.c_str());
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b.c_str());
    int n = a.Length(), m = b.Length();
    int k = n < m ? n : m;
    bool trail = false; // equal prefixes classify their bytes alike, so one flag serves both strings
    for (int i = 0; i < k; ++i)
    {
        unsigned cx = x[i], cy = y[i];
        if (!trail)
        {
            if (cx >= 'a' && cx <= 'z')
                cx -= 32;
            if (cy >= 'a' && cy <= 'z')
                cy -= 32;
        }
        if (cx != cy)
            return cx < cy ? -1 : 1;
        trail = !trail && IsSjisLead(x[i]);
    }
    return n < m ? -1 : (n > m ? 1 : 0);
}

bool SameText(const AnsiString& a, const AnsiString& b)
{
    return a.Length() == b.Length() && CompareText(a, b) == 0;
}

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

AnsiString Trim(const AnsiString& s) { return s.Trim(); }
AnsiString TrimLeft(const AnsiString& s) { return s.TrimLeft(); }
AnsiString TrimRight(const AnsiString& s) { return s.TrimRight(); }

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

AnsiString ExpandFileName(const AnsiString& path)
{
    if (path.IsEmpty())
        return path;
    std::wstring wpath = SjisToWide(path);
    DWORD n = GetFullPathNameW(wpath.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring w(n, L'\0');
    n = GetFullPathNameW(wpath.c_str(), n, w.data(), nullptr);
    w.resize(n);
    return WideToSjis(w);
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
