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
    // The same after PlayEnhMetaFileRecord played a text record into dc, with the state the
    // playback left there: measured with the font as the record's output realized it (scaled by
    // the playback, in the record's graphics mode), filled in device pixels.
    void Ink(HDC dc, const EMREXTTEXTOUTW& record);

private:
    struct TBox
    {
        bool blank = false;
        RECT box{}; // in device pixels, from the character's origin on the baseline
    };
    // A font as it comes out: its attributes, the scale from logical units to pixels and the
    // graphics mode it was realized in (0: the DC's own, without a scale).
    struct TFace
    {
        LOGFONTW font{};
        FLOAT scaleX = 1, scaleY = 1;
        DWORD mode = 0;
        int ascent = -1; // device pixels
        std::unordered_map<wchar_t, TBox> boxes;
    };
    TFace& FaceOf(const LOGFONTW& font, FLOAT scaleX, FLOAT scaleY, DWORD mode);
    static bool Known(const TFace& face, const wchar_t* text, size_t count);
    // Measured with the font dc has realized when first asked for; the ascent scaled from logical
    // units to pixels.
    static void MeasureAscent(HDC dc, TFace& face, FLOAT scaleY);
    static const TBox& BoxOf(HDC dc, TFace& face, wchar_t ch);

    // A row switches fonts between runs (keywords, the selection): a few are kept.
    std::vector<TFace> faces_;
    std::vector<RECT> fills_;
};
