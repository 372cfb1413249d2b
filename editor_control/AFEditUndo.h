// Grouped, bounded undo history of the editor control: one record per changed display row, or
// one for a whole re-fold.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "editor_control/AFEditRecords.h"

enum TUndoAction
{
    acInsert,
    acDelete,
    acChange,
    acMove,
    acOverWrite,
    acBlock,
    acSplice
};

// A piece of an acSplice record: the text's rows Row .. Row + Now - 1 are to become the record's
// next Rows rows. Row counts the rows as the text stands before the record is replayed.
struct TUndoSpan
{
    int Row = 0;
    int Now = 0;
    int Rows = 0;
};

// Rows in a row that a replay gives alike records, held once.
struct TAttrRun
{
    int Count = 0;
    TAttrListItem Rec; // never owns a column list
};

// What an acSplice record holds: pieces of the text anywhere below each other, each with the rows
// it is to get. A replay swaps them with the rows the text holds there, so the record then holds
// the rows it replaced; a replace of every hit in a text is one record, its old text held once.
struct TUndoSplice
{
    std::vector<TUndoSpan> Spans; // top down
    std::vector<AnsiString> Rows; // every span's rows, in order
    std::vector<TAttrRun> Runs;   // their records, in order
    // What Rows take and their longest, and the same of the rows the text holds at the spans:
    // a swap exchanges them without reading every row again.
    int64_t RowBytes = 0;
    int64_t TextBytes = 0;
    int RowsLongest = 0;
    int TextLongest = 0;
    // Memory a row takes besides its bytes: its slot, the string's header and end.
    static constexpr int64_t kRowCost = int64_t(sizeof(AnsiString)) + 16;
    int64_t Bytes() const;
};

struct TUndoBuffItem
{
    int GroupId = 0;
    int Index = 0;
    int Index2 = 0;
    TPoint Caret;
    TUndoAction Action = acChange;
    AnsiString Before;
    AnsiString After;
    TAttrListItem AttrBefore; // never owns a column list
    TAttrListItem AttrAfter;  // never owns a column list
    // acBlock: the text's rows Index .. Index + Index2 - 1 are to become Rows (with Attrs); a
    // replay swaps the two, so the record then holds the rows it replaced. Undo leaves the caret
    // at Caret, redo at CaretLast.
    std::vector<AnsiString> Rows;
    std::vector<TAttrListItem> Attrs; // never own a column list; one serves all rows alike
    const TAttrListItem& AttrOf(size_t row) const { return Attrs[Attrs.size() == 1 ? 0 : row]; }
    TPoint CaretLast;
    // acSplice: its pieces; undo leaves the caret at Caret, redo at CaretLast.
    std::unique_ptr<TUndoSplice> Splice;
};

// Records 0 .. Position-1 can be undone, Position .. Top-1 redone. The text counts as edited
// whenever Position differs from SavedPos; SavedPos is -1 when the saved state can no longer be
// reached (its records were dropped or a change could not be recorded). Besides the record limit,
// the records' memory stays within a budget: the oldest whole groups go first, as for the limit.
class TUndoBuff : public TList
{
public:
    explicit TUndoBuff(int size);
    ~TUndoBuff() override;

    void Push(int id, int index, int index2, const TPoint& caret, TUndoAction action, const AnsiString& before,
              const AnsiString& after, const TAttrListItem& attrBefore, const TAttrListItem& attrAfter);
    // A whole re-fold as one record (see acBlock); rows and attrs are taken.
    void PushBlock(int id, int index, int rowsNow, const TPoint& caretFirst, const TPoint& caretLast,
                   std::vector<AnsiString>&& rows, std::vector<TAttrListItem>&& attrs);
    // One record for many pieces of the text (see acSplice); false when refused (the history is
    // then gone: the change that follows cannot be undone).
    bool PushSplice(int id, const TPoint& caretFirst, const TPoint& caretLast, std::unique_ptr<TUndoSplice> splice);
    // Whether a record of this many bytes would be kept (older groups dropping to make room).
    bool Fits(int64_t bytes) const { return FMax != 0 && int64_t(sizeof(TUndoBuffItem)) + bytes <= FBudget; }
    // A change is made without a record: every record goes, and the saved state is out of reach.
    void Forget();
    // A block record's rows were swapped: its memory is counted anew.
    void Resized(const TUndoBuffItem& item, int64_t oldSize) { FBytes += SizeOf(item) - oldSize; }
    static int64_t SizeOf(const TUndoBuffItem& item);
    // A block record keeps one record for rows whose records are alike (as a replay sets them).
    static void Compact(TUndoBuffItem& item);
    // Alike as a replay sets them: the dirty flag and the column list never tell records apart.
    static bool SameOnReplay(const TAttrListItem& a, const TAttrListItem& b);
    TUndoBuffItem* PrevPop();
    TUndoBuffItem* NextPop();
    void ToPrev();
    void ToNext();
    void Reset();
    void Clear() override;

    int GetMax() const { return FMax; }
    // Negative: unbounded. Lowering it drops whole oldest groups (and the redo tail) to fit.
    void SetMax(int max);
    static constexpr int64_t kDefaultBudget = int64_t(256) << 20;
    int64_t GetBudget() const { return FBudget; }
    // Lowering it drops whole oldest groups (and the redo tail) to fit.
    void SetBudget(int64_t bytes);
    // Memory the kept records take: their slots and their texts.
    int64_t Bytes() const { return FBytes; }

    bool Kept() const { return FKept; }
    int Position() const { return FPosition; }
    int Top() const { return FTop; }
    int SavedPos() const { return FSavedPos; }
    bool Edited() const { return FPosition != FSavedPos; }
    void MarkSaved() { FSavedPos = FPosition; }
    void MarkUnsaved() { FSavedPos = -1; }
    int RecordCount() const { return FTop; }

private:
    TUndoBuffItem* Slot(int i) const { return i < GetCount() ? static_cast<TUndoBuffItem*>(Get(i)) : nullptr; }
    int Capacity() const;
    bool EvictOldestGroup(int currentId);
    void DropFront(int n);
    void FreeFrom(int first);
    void Refuse();
    // Makes room for and stores item under group id; false when refused (item is freed).
    bool Place(int id, TUndoBuffItem* item);

    int FLastId = 0;
    int FRunCount = 0;
    bool FKept = false;
    int FPosition = 0;
    int FSavedPos = 0;
    int FTop = 0;
    int FMax = 0;
    int FOverflowId = 0;
    bool FOverflowed = false;
    int64_t FBytes = 0;
    int64_t FBudget = kDefaultBudget;
};
