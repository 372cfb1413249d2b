// The escape conversions of the Edit menu: Shift-JIS text to and from backslash-u escapes of its
// UTF-16 units ("文" <-> "\u6587") and percent escapes of its bytes ("あ" <-> "%82%A0").
#pragma once

#include "platform/AnsiString.h"

// Every unit becomes "\u" and its upper-case hexadecimal without leading zeros; a line end (CR LF,
// or a lone CR) stays a CR LF.
AnsiString SjisToUnicodeEscape(const AnsiString& text);
// "\u" or "\U" with one to four hexadecimal digits becomes its unit in Shift-JIS. An escape that
// would give a NUL or another control character than TAB, CR and LF (which a page cannot hold), or
// a unit Shift-JIS has no character for, stays as written, so nothing is lost;
// a surrogate pair written as two escapes becomes its one character when Shift-JIS has it.
AnsiString UnicodeEscapeToSjis(const AnsiString& text);
// Every byte, line ends included, becomes "%" and its upper-case hexadecimal ("%A" for LF).
AnsiString SjisToPercentEscape(const AnsiString& text);
// "%" with one or two hexadecimal digits becomes that byte; "%00" and the other control bytes but
// TAB, CR and LF stay as written.
AnsiString PercentEscapeToSjis(const AnsiString& text);
