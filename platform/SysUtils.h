// Exceptions and string, path, file and date helpers of the component layer.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

#include "AnsiString.h"
#include "System.h"

// <windows.h> maps DeleteFile to DeleteFileW; our helper keeps its own name in every unit.
#ifdef DeleteFile
#undef DeleteFile
#endif

struct _FILETIME;

class Exception : public std::exception
{
public:
    explicit Exception(const AnsiString& msg) : Message(msg) {}
    const char* what() const noexcept override { return Message.c_str(); }
    AnsiString Message;
};

#define VN_DECLARE_EXCEPTION(Name, Base)                                                                     \
    class Name : public Base                                                                                 \
    {                                                                                                        \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
    };

VN_DECLARE_EXCEPTION(EConvertError, Exception)
VN_DECLARE_EXCEPTION(ERangeError, Exception)
VN_DECLARE_EXCEPTION(EInvalidCast, Exception)
VN_DECLARE_EXCEPTION(EOutOfMemory, Exception)
VN_DECLARE_EXCEPTION(EListError, Exception)
VN_DECLARE_EXCEPTION(EStringListError, Exception)
VN_DECLARE_EXCEPTION(EStreamError, Exception)

// Open and create failures keep the Win32 error so callers can tell a sharing violation from the rest,
// and the file the caller named.
class EFileStreamError : public EStreamError
{
public:
    explicit EFileStreamError(const AnsiString& msg, int errorCode = 0, const AnsiString& fileName = AnsiString())
        : EStreamError(msg), ErrorCode(errorCode), FileName(fileName)
    {
    }
    int ErrorCode = 0;
    AnsiString FileName;
};

VN_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
VN_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
VN_DECLARE_EXCEPTION(EReadError, EStreamError)
VN_DECLARE_EXCEPTION(EWriteError, EStreamError)
VN_DECLARE_EXCEPTION(EInvalidOperation, Exception)

class EOSError : public Exception
{
public:
    explicit EOSError(const AnsiString& msg, unsigned long errorCode = 0)
        : Exception(msg), ErrorCode(errorCode)
    {
    }
    unsigned long ErrorCode = 0;
};

// Silent exception: unwinds without a message box.
class EAbort : public Exception
{
public:
    EAbort() : Exception("Operation aborted") {}
    using Exception::Exception;
};

// ---- Texts of the layer's exceptions ----------------------------------------------------------------
// They reach the user's message boxes, so they are Japanese; the "%s" after the file name is the
// system's own text for the error.
inline constexpr const char* SFOpenError = "ファイル[%s]を開けません。%s";
inline constexpr const char* SFCreateError = "ファイル[%s]を作成できません。%s";
inline constexpr const char* SFileReadError = "ファイル[%s]の読み込みに失敗しました。%s";
inline constexpr const char* SFileWriteError = "ファイル[%s]への書き込みに失敗しました。%s";
inline constexpr const char* SFileSeekError = "ファイル[%s]の位置を移動できません。%s";
inline constexpr const char* SFileSizeError = "ファイル[%s]の大きさを変更できません。%s";
inline constexpr const char* SFileFlushError = "ファイル[%s]をディスクに書き出せません。%s";
inline constexpr const char* SStreamReadError = "データの読み込みに失敗しました。%s";
inline constexpr const char* SStreamWriteError = "データの書き込みに失敗しました。%s";
inline constexpr const char* SStreamSeekError = "データの位置を移動できません。%s";
inline constexpr const char* SStreamSizeError = "データの大きさを変更できません。%s";
inline constexpr const char* SReadPastEnd = "データが途中で終わっています。";
inline constexpr const char* SWriteIncomplete = "%d バイトのうち %d バイトしか書き込めませんでした。";
inline constexpr const char* SStreamTooLarge = "データが大きすぎて扱えません。";
inline constexpr const char* SInvalidStreamPosition = "データの位置が正しくありません。";
inline constexpr const char* SOutOfMemory = "メモリが不足しています。";
inline constexpr const char* SListIndexError = "リストの位置 %d は範囲外です。";
inline constexpr const char* SListCapacityError = "リストの容量 %d は範囲外です。";
inline constexpr const char* SListCountError = "リストの項目数 %d は範囲外です。";
inline constexpr const char* SSortedListError = "並べ替えたリストにはこの操作はできません。";
inline constexpr const char* SDuplicateString = "リストには同じ文字列を重ねて入れられません。";
inline constexpr const char* SOSError = "システムエラー %u: %s";
inline constexpr const char* SUnknownOSError = "システムの関数呼び出しに失敗しました。";
inline constexpr const char* SUnknownSysError = "システムエラー (コード %u)";

// ---- Format --------------------------------------------------------------------------------------
// One argument of Format. Built implicitly from the value, so no AnsiString ever goes through "...".
struct TVarRec
{
    enum TKind
    {
        vtInteger,
        vtUnsigned,
        vtInt64,
        vtDouble,
        vtChar,
        vtPChar,
        vtAnsiString,
        vtPointer
    };

    TVarRec(int v) : Kind(vtInteger) { Value.Int = v; }
    TVarRec(long v) : Kind(vtInteger) { Value.Int = int(v); } // 32 bits here; avoids ambiguity for LONG
    TVarRec(unsigned v) : Kind(vtUnsigned) { Value.Unsigned = v; }
    TVarRec(unsigned long v) : Kind(vtUnsigned) { Value.Unsigned = unsigned(v); } // DWORD
    TVarRec(long long v) : Kind(vtInt64) { Value.Int64 = v; }
    TVarRec(unsigned long long v) : Kind(vtInt64) { Value.Int64 = (long long)v; }
    TVarRec(double v) : Kind(vtDouble) { Value.Double = v; }
    TVarRec(char v) : Kind(vtChar) { Value.Char = v; }
    TVarRec(const char* v) : Kind(vtPChar) { Value.PChar = v; }
    TVarRec(const AnsiString& v) : Kind(vtAnsiString) { Value.Str = &v; } // lives for the whole call
    TVarRec(const void* v) : Kind(vtPointer) { Value.Pointer = v; }
    TVarRec(std::nullptr_t) : Kind(vtPointer) { Value.Pointer = nullptr; }

    TKind Kind;
    union
    {
        int Int;
        unsigned Unsigned;
        long long Int64;
        double Double;
        char Char;
        const char* PChar;
        const AnsiString* Str;
        const void* Pointer;
    } Value;
};

// printf-like: %d %u %x %X %s %c %f %e %g %p %% with flags - 0 + space, width, precision and *.
// A conversion whose argument is missing or of the wrong kind raises EConvertError.
AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args);

// ---- Numbers and case -----------------------------------------------------------------------------
AnsiString IntToStr(int value);
AnsiString IntToStr(long long value);
inline AnsiString IntToStr(long value) { return IntToStr(int(value)); }
inline AnsiString IntToStr(unsigned value) { return IntToStr((long long)value); }
inline AnsiString IntToStr(unsigned long value) { return IntToStr((long long)value); }
AnsiString IntToHex(int value, int digits); // upper case, at least digits wide
int StrToInt(const AnsiString& s);          // decimal or "$hex"; raises EConvertError
int StrToIntDef(const AnsiString& s, int def);

AnsiString UpperCase(const AnsiString& s); // ASCII letters only; trail bytes untouched
AnsiString LowerCase(const AnsiString& s);
int CompareText(const AnsiString& a, const AnsiString& b); // ASCII letters folded, trail bytes never
bool SameText(const AnsiString& a, const AnsiString& b);
int AnsiCompareText(const AnsiString& a, const AnsiString& b); // user locale, ignoring case
bool AnsiSameText(const AnsiString& a, const AnsiString& b);
int AnsiCompareStr(const AnsiString& a, const AnsiString& b); // user locale, case-sensitive

AnsiString Trim(const AnsiString& s);
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);

// ---- Paths (a 0x5C trail byte is never a separator) -------------------------------------------------
AnsiString ExtractFileName(const AnsiString& path);
AnsiString ExtractFilePath(const AnsiString& path); // keeps the trailing backslash
AnsiString ExtractFileDir(const AnsiString& path);  // without it, except for a root ("C:\")
AnsiString ExtractFileExt(const AnsiString& path);  // with the dot; empty when none
AnsiString ChangeFileExt(const AnsiString& path, const AnsiString& ext);
AnsiString IncludeTrailingBackslash(const AnsiString& path);
AnsiString ExcludeTrailingBackslash(const AnsiString& path);

// ---- Files ------------------------------------------------------------------------------------------
// The path as the W file functions take it: a path too long for the plain form gets the "\\?\" form
// (made absolute first, as that form requires).
std::wstring WideFilePath(const AnsiString& path);
std::wstring WideFilePath(const std::wstring& path);
bool FileExists(const AnsiString& path); // an existing file, not a folder
bool DirectoryExists(const AnsiString& path);
bool DeleteFile(const AnsiString& path);
bool RenameFile(const AnsiString& oldName, const AnsiString& newName);
AnsiString GetCurrentDir();
// The absolute form of path as the system makes it; false when it makes none.
bool FullPathName(const std::wstring& path, std::wstring& full);
AnsiString ExpandFileName(const AnsiString& path);
// Last-write time as a DOS date (date in the high word, local time); -1 on failure.
int FileGetDate(const AnsiString& path);
int FileGetDate(void* handle);

// ---- Dates ------------------------------------------------------------------------------------------
TDateTime Now();
TDateTime Date();
TDateTime EncodeDate(unsigned short year, unsigned short month, unsigned short day); // EConvertError
TDateTime EncodeTime(unsigned short hour, unsigned short min, unsigned short sec, unsigned short msec);
void DecodeDate(TDateTime dt, unsigned short& year, unsigned short& month, unsigned short& day);
void DecodeTime(TDateTime dt, unsigned short& hour, unsigned short& min, unsigned short& sec,
                unsigned short& msec);
TDateTime FileTimeToDateTime(const _FILETIME& ft); // UTC file time to local date-time
void DateTimeToFileTime(TDateTime dt, _FILETIME& ft);
TDateTime FileDateToDateTime(int dosDate); // EConvertError for an impossible date

// ---- Process and system -----------------------------------------------------------------------------
int ParamCount();
AnsiString ParamStr(int index); // 0 = the program's path; past the end = empty
// Libraries asked for by name are looked for beside the program and in the system's folders only,
// never in the current folder (the folder of a file the program was started on).
void RestrictLibrarySearch();
// text with its environment strings ("%NAME%") expanded; as it is where that fails.
AnsiString ExpandEnvironmentText(const AnsiString& text);
AnsiString RemoveDoubleQuotes(AnsiString text);
// The full path of the program a name stands for (expanded, unquoted): a full path as it is (or with
// an extension that runs), a bare name in the system folder, the Windows folder, the folders of PATH
// and the shell's registered programs. Never the current folder or a document's: a program planted
// there, or a relative path that would reach one, must not run. Empty when found nowhere.
AnsiString LocateProgram(const AnsiString& name);
// The system's text for a Win32 error: Japanese where the system has it, else in its own language.
AnsiString SysErrorMessage(unsigned long errorCode);
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(unsigned long errorCode);
