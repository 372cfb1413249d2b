// Places in the text that survive re-folding and edits elsewhere: the byte offset from the start
// of the text (the rows' bytes one after another, each CR counted). Folding moves row boundaries
// but never bytes, so an offset names the same byte before and after.
#pragma once

#include <cstdint>

#include "editor_control/AFEdit.h"

using TTextOffset = int64_t;

TTextOffset RowStart(TCustomAFEdit* e, int row);
// Bytes of the whole text.
TTextOffset TextLength(TCustomAFEdit* e);
TTextOffset OffsetOfPoint(TCustomAFEdit* e, const TPoint& dsp);
// The row holding the byte at off, and the byte's index in it. An offset at the end of a wrapped
// piece is the start of the next row, as the caret shows it after typing there.
void RowOfOffset(TCustomAFEdit* e, TTextOffset off, int& row, int& logCol);
TPoint PointOfOffset(TCustomAFEdit* e, TTextOffset off);

// The caret and the selection as text offsets, taken before the tab size or the folding changes
// and put back afterwards, so they stay on the same bytes.
struct TKeptPlaces
{
    TTextOffset caret = 0;
    TTextOffset anchor = 0, moving = 0;
    bool hadRows = false;
    TTextOffset rowFirst = 0, rowLast = 0; // first byte of the first row, last byte of the last

    void Take(TCustomAFEdit* e);
    void Restore(TCustomAFEdit* e) const;
};
