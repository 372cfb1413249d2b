// Characters that a font's rasterizer leaves without a single pixel at the size in use, although
// their outline covers a box there: a bar thinner than a pixel that lies across a pixel boundary
// is missed by every pixel centre ("_" and the full-width overline at some sizes of the Japanese
// fixed-pitch faces). Such a character's box is filled instead, so that it shows.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

class TBlankGlyphs
{
public:
    // After text went out at (x, y), top-left aligned, with the DC's font and one advance per
    // UTF-16 unit: fills the box of every character the font leaves blank, in the DC's text colour
    // and within clip (null: no clip).
    void Ink(HDC dc, int x, int y, const RECT* clip, const std::wstring& text, const std::vector<int>& advances);

private:
    struct TBox
    {
        bool blank = false;
        RECT cell{}; // from the cell's top left
    };
    struct TFace
    {
        LOGFONTW font{};
        std::unordered_map<wchar_t, TBox> boxes;
    };
    TFace& FaceOf(const LOGFONTW& font);
    static TBox Measure(HDC dc, wchar_t ch, int ascent);

    // A row switches fonts between runs (keywords, the selection): a few are kept.
    std::vector<TFace> faces_;
};
