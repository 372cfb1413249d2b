// The editor's selection: a character selection between two display points and a row selection
// between two display rows, independent of each other.
#pragma once

#include "platform/System.h"

enum TSelChange
{
    slNone,
    slSel,
    slDisSel
};

TPoint OrderStartPoint(const TPoint& a, const TPoint& b);
TPoint OrderEndPoint(const TPoint& a, const TPoint& b);
bool PointInRange(const TPoint& p, const TPoint& start, const TPoint& end);
inline int MaxOf(int a, int b) { return a > b ? a : b; }
inline int MinOf(int a, int b) { return a < b ? a : b; }

class TSelArea : public TObject
{
public:
    void PutStartPoint(const TPoint& p) { FAnchor = p; }
    void PutEndPoint(const TPoint& p) { FEnd = p; }
    TPoint GetStartPoint() const { return OrderStartPoint(FAnchor, FEnd); }
    TPoint GetEndPoint() const { return OrderEndPoint(FAnchor, FEnd); }
    TPoint AnchorPoint() const { return FAnchor; }
    TPoint MovingPoint() const { return FEnd; }
    void PutStartRow(int row) { FStartRow = row; }
    void PutEndRow(int row) { FEndRow = row; }
    int GetStartRow() const { return MinOf(FStartRow, FEndRow); }
    int GetEndRow() const { return MaxOf(FStartRow, FEndRow); }
    bool isPointAble() const { return FAnchor != FEnd; }
    // Both ends must be set: a half-made row selection is none.
    bool isRowAble() const { return FStartRow >= 0 && FEndRow >= 0; }
    bool isSelRow(int row) const { return GetStartRow() <= row && row <= GetEndRow(); }
    bool isSelPoint(int col, int row) const { return PointInRange(TPoint(col, row), GetStartPoint(), GetEndPoint()); }
    void PointReset() { FAnchor = FEnd; }
    void RowReset() { FStartRow = FEndRow = -1; }
    void Insert(int row);
    void Delete(int row);
    TSelChange SelectChanged();

    int DragCol = 0;
    int MaxIndent = -1;
    int MinWrapPos = 100000;

private:
    bool FWasSelected = false;
    TPoint FEnd;
    int FEndRow = -1;
    TPoint FAnchor;
    int FStartRow = -1;
};
