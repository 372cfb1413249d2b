// A stream as lines of hexadecimal text, and those lines in an INI file section or a stream in a
// registry value.
#pragma once

#include <windows.h>

#include "common/WexmoorDef.h"
#include "platform/Classes.h"

// The longest stream stored: far more than a component's properties take, and short enough that the
// INI form, which rewrites its file for every line, stores it in seconds. A longer one is refused
// by the writers (EWriteError) and by the readers (EReadError) before any line is read, so a
// damaged count or value costs nothing.
constexpr int kMaxStoredStreamBytes = 64 << 10;
constexpr int kMaxStoredStreamLines = kMaxStoredStreamBytes / 32;

// The bytes from the stream's position as upper-case hexadecimal, 32 bytes (64 digits) a line.
void StreamToStrings(TStream* stream, TStrings* strings);
// Each pair of digits (a last single one too) as one byte; text that is no hexadecimal gives 0.
void StringsToStream(TStrings* strings, TStream* stream);

// Keys Ident_c (the line count) and Ident_d0, Ident_d1... in the section; an empty stream removes them.
void IniWriteStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);
void IniReadStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);

// The registry file of a stream's key, for the handle of one of its sections.
class TStreamReg : public WXRegIni
{
public:
    using WXRegIni::WXRegIni;
    // The section's key (the caller closes it): made when missing if create, else null then.
    HKEY OpenSectionKey(const AnsiString& section, bool create);
};

// The bytes as the binary value Ident of HKEY_CURRENT_USER\key\section.
void RegWriteStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident);
void RegReadStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident);
