// Colour record of one kind of text (font colour, background, style flags) and its stored form
// "colour,bkcolour,bold,italic,underline".
#pragma once

#include "platform/AnsiString.h"
#include "platform/Graphics.h"

// A colour the settings may hold: an RGB value 0x00BBGGRR or a system colour (top bit set, index
// up to COLOR_MENUBAR). Anything else in a stored value is damage, not a colour.
bool IsStorableColor(TColor colour);

struct typColorRec
{
    int colour = 0;          // TColor: 0x00BBGGRR, or a system colour with the top bit set
    int bkcolour = 0xFFFFFF;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    typColorRec() = default;
    typColorRec(int aColour, int aBkcolour, bool aBold = false, bool aItalic = false, bool aUnderline = false)
        : colour(aColour), bkcolour(aBkcolour), bold(aBold), italic(aItalic), underline(aUnderline)
    {
    }
    // Reads the stored form over `start`: an empty (blank) text keeps all of start, a missing
    // field keeps its start value. Fields read like atoi; a flag is set by 1 or more. Colours
    // written unsigned (up to 0xFFFFFFFF) read back as the same 32 bits.
    typColorRec(const AnsiString& text, const typColorRec& start);

    // The strict reading used for stored settings: like the constructor, but false (and `out`
    // untouched) when the text is damaged: a field that is not a whole decimal number of 32 bits,
    // an empty field, more than five fields, or a colour that IsStorableColor refuses. Flags
    // clamp: 1 or more sets, 0 or less clears. Works on the whole text, however long.
    static bool TryParse(const AnsiString& text, const typColorRec& start, typColorRec& out);

    AnsiString ToString() const; // "%d,%d,%d,%d,%d", flags as 1 or 0

    friend bool operator==(const typColorRec& a, const typColorRec& b)
    {
        return a.colour == b.colour && a.bkcolour == b.bkcolour && a.bold == b.bold && a.italic == b.italic &&
               a.underline == b.underline;
    }
    friend bool operator!=(const typColorRec& a, const typColorRec& b) { return !(a == b); }
};

// bold -> fsBold, italic -> fsItalic, underline -> fsUnderline.
TFontStyles ColorRecToFontStyles(const typColorRec& rec);
