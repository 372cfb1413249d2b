// A stream as lines of hexadecimal text, and those lines in an INI file section or a stream in a
// registry value.
#pragma once

#include "platform/Classes.h"

// Longest stream the readers take back (a damaged count must not make them read forever).
constexpr int kMaxStoredStreamLines = 65536; // 2 MB of bytes at 32 a line
constexpr unsigned kMaxStoredStreamBytes = 2u << 20;

// The bytes from the stream's position as upper-case hexadecimal, 32 bytes (64 digits) a line.
void StreamToStrings(TStream* stream, TStrings* strings);
// Each pair of digits (a last single one too) as one byte; text that is no hexadecimal gives 0.
void StringsToStream(TStrings* strings, TStream* stream);

// Keys Ident_c (the line count) and Ident_d0, Ident_d1... in the section; an empty stream removes them.
void IniWriteStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);
void IniReadStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident);

// The bytes as the binary value Ident of HKEY_CURRENT_USER\key\section.
void RegWriteStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident);
void RegReadStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident);
