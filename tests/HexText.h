// Bytes as readable text for failure messages: printable ASCII as itself, the rest as \xHH, so a
// failure shows what the Shift-JIS bytes really were.
#pragma once

#include <string>

inline std::string Hex(const std::string& s)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s)
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out += char(c);
        else
        {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    return out;
}
