// Byte-level text helpers of the editor control (tab expansion, column conversion).
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// True when one of the four bytes of w is a tab (a zero byte where a tab was, found without a
// per-byte look).
inline bool WordHasTab(uint32_t w)
{
    const uint32_t x = w ^ 0x09090909u;
    return ((x - 0x01010101u) & ~x & 0x80808080u) != 0;
}

// The first tab of s[0, n), or null. Reads a word at a time: every row's display form looks for
// tabs, and the C library's search goes a byte at a time.
const char* FindTab(const char* s, size_t n);

// Appends the tab expansion of s to out. Tab columns count from the start of s, not from the
// start of out. Fill form (toSpaces false): each tab becomes width-1 bytes 0x0B and one 0x09.
// With limit >= 0 it stops once out holds limit bytes and sets *truncated.
void AppendTabExpansion(std::string& out, const char* s, int len, int tabSize, bool toSpaces, int limit = -1,
                        bool* truncated = nullptr);

// What one display cell of a row's fill-form expansion holds. Told from the stored text: the
// display form alone cannot tell a 0x0B byte of the text from tab fill.
enum TDspCell : unsigned char
{
    dcSingle,  // a single-byte character (a 0x0B of the text is one)
    dcLead,    // first byte of a double-byte character
    dcTrail,   // second byte of a double-byte character
    dcTabFill, // fill cell of a tab (shown as 0x0B)
    dcTabEnd   // last cell of a tab (shown as 0x09)
};

// One cell per display column of s expanded in fill form (the row's indent is not included).
// A lead byte pairs with the next byte unless that is a tab or a CR, which keep cells of their own.
void DisplayCells(std::vector<TDspCell>& out, const char* s, int len, int tabSize);

// Logical column (byte index of s) under display column dspCol of s's expansion, indent not
// counted: a column inside a tab gives the tab's index, a column at or past the end gives len,
// and a negative column comes back unchanged.
int DspColToLogCol(const char* s, int len, int tabSize, int dspCol);

// The characters of a line-breaking rule string, decided by lookup instead of a scan of the string.
// A character of one or two bytes is in the set exactly when the multibyte-aware search of the
// string (which never matches at a trail byte) would find it.
class TBanSet
{
public:
    void Assign(const char* s, int len);
    bool Contains(const char* ch, int len) const;

private:
    std::bitset<256> single_;
    std::bitset<65536> pairs_; // lead byte * 256 + next byte
};

