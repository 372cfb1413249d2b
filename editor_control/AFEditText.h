// Byte-level text helpers of the editor control (tab expansion, column conversion).
#pragma once

#include <string>

// Appends the tab expansion of s to out. Tab columns count from the start of s, not from the
// start of out. Fill form (toSpaces false): each tab becomes width-1 bytes 0x0B and one 0x09.
// With limit >= 0 it stops once out holds limit bytes and sets *truncated.
void AppendTabExpansion(std::string& out, const char* s, int len, int tabSize, bool toSpaces, int limit = -1,
                        bool* truncated = nullptr);
