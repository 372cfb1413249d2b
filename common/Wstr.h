// Case and width conversions of Shift-JIS text: upper, lower and sentence case, full-width and
// half-width forms. The per-unit routines (…W) define the mapping on UTF-16 units; the text
// conversions apply it through byte tables derived from them once, so characters that do not
// change keep their exact bytes and invalid bytes pass through.
#pragma once

#include "Nscontainers.h"

// True for a unit above 0xFF outside the half-width and full-width forms block (0xFF00-0xFFFF).
bool IsFullWidthW(wchar_t unit);
wchar_t ToUpperW(wchar_t unit);
wchar_t ToLowerW(wchar_t unit);
// Full-width form of text[pos] (pos < len). A half-width kana followed by a voiced or semi-voiced
// mark that it can take becomes one voiced kana and both units are consumed. Returns the position
// after what was consumed.
int ToFullWidthW(const wchar_t* text, int len, int pos, wchar_t& out);
// Half-width form of one unit into out[0..1] (out[1] and out[2] zero when one unit results).
// Returns the number of units (1 or 2).
int ToHalfWidthW(wchar_t unit, wchar_t out[3]);
// Index of the first `unit` in the zero-terminated `text`, or -1 (also for unit 0).
int WStrChr(const wchar_t* text, wchar_t unit);

// UTF-16 to Shift-JIS (code page 932). Unrepresentable units become the default character; a null,
// empty or unconvertible text gives an empty nsString.
nsString WideToNsString(const wchar_t* text, int len);

// The text conversions; lengths are explicit, so a NUL inside the text is kept.
nsString ToUpperConvert(const nsString& text);
nsString ToLowerConvert(const nsString& text);
// First character upper case, every other one lower case.
nsString ToSentenceCaseConvert(const nsString& text);
nsString ToFullWidthConvert(const nsString& text);
nsString ToHalfWidthConvert(const nsString& text);
