// Handing a text to the input method for reconversion.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "platform/AnsiString.h"

// 1: the input method takes a composition string set by the program; 2: it answers the reconvert
// request message; 3: it is the kind whose description names a version 12 or later. Else false.
bool ImeCapability(int kind);
// The reconversion block the input method reads: a header of sizes and offsets, then the text in
// UTF-16 (wide) or in Shift-JIS bytes, with the whole text as composition and target.
std::vector<unsigned char> ReconvertBlock(const AnsiString& text, bool wide);
// Whether an input-method description names the kind of kind 3 with version 12 or later.
bool DescriptionIsRecentAtok(const AnsiString& description);
// Hands the text to the input method of window for reconversion and opens its candidates.
void ImeReconvert(HWND window, const AnsiString& text);
