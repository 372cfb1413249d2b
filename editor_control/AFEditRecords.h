// Attribute records of the editor control: one line record per display row, optional per-byte
// column records, block attributes over ranges, and the lists that own them.
#pragma once

#include <cstdint>
#include <vector>

#include "editor_control/AFEditSel.h"
#include "platform/Classes.h"
#include "platform/System.h"

using TColorValue = int32_t; // same bits as TColor; the records store it as a plain Int32

// Stored image sizes (the raw document stream and the bare-record file use these).
constexpr int kAttrImageSize = 25;
constexpr int kColAttrImageSize = 15;
constexpr int kBlkAttrImageSize = 25;

// Wrap position meaning "never wrap" (also the largest value that fits the 16-bit field).
constexpr int kNoWrap = 65535;

class TColAttrList;

enum TAttrState
{
    asChanged,
    asCmtented
};
using TAttrStates = TSet<TAttrState>;

// Line attribute record of one display row.
struct TAttrListItem
{
    TColorValue FontColor = 0;
    TColorValue BackColor = 0;
    int16_t Indent = 0;
    int16_t Reserve = 0;   // never interpreted; kept and copied
    uint16_t WrapPos = 0;  // 0 = never initialised; 65535 = no wrap
    uint8_t Style = 0;     // font style bits: 0 bold, 1 italic, 2 underline, 3 strike-out
    bool Dirty = false;    // row must be redrawn
    TColAttrList* ColAttr = nullptr; // owned by the list slot holding the record
    TAttrStates States;
    AnsiString Str;        // reserved; never interpreted

    // The 25-byte stored image; the column list and the string are written as zero.
    void ToImage(unsigned char out[kAttrImageSize]) const;
    // Reads an image; the column list and the string come back empty.
    static TAttrListItem FromImage(const unsigned char in[kAttrImageSize]);
};

// Attribute record of one byte of a row (index = logical column).
struct TColAttrListItem
{
    TColorValue Color = 0;
    int32_t Reserve = 0;
    uint8_t Style = 0;
    bool OwnColor = false;
    int32_t MarkId = 0;
    bool InComment = false;
};

// Colour and style over a range of (logical column, display row) positions; end excluded.
struct TBlkAttrListItem
{
    int StartCol = 0;
    int StartRow = 0;
    int EndCol = 0;
    int EndRow = 0;
    TColorValue Color = 0;
    uint8_t Style = 0;
    uint8_t Extra[4] = {0, 0, 0, 0};
};

// Per-byte column attributes of one row. Reading a slot past the end grows the list.
class TColAttrList : public TList
{
public:
    ~TColAttrList() override;
    TColAttrListItem* GetItem(int i);
    int Add(const TColAttrListItem& item);
    void Insert(int i, const TColAttrListItem& item);
    void Delete(int i);
    void SetCount(int n);
    void Clear() override;
    TColAttrList* Clone() const;
};

// One line record per display row; index = row. Every slot owns its record and that record's
// column list, so no two rows ever share a column list. Rows whose records are alike and hold
// neither a column list nor a string share one record (a big text's rows mostly do): a row gets a
// record of its own once it is written to through GetItem. Records are made and freed on the
// thread of the window only.
class TAttrList : public TList
{
public:
    ~TAttrList() override;
    // Never null: grows the list to i + 1 and fills an empty slot with an all-zero record; the
    // record is the row's own, to be written to.
    TAttrListItem* GetItem(int i);
    // The record of row i for reading, or null for an empty slot; i out of range raises as TList.
    const TAttrListItem* Get(int i) const;
    // The record of row i for reading, never null: an all-zero record for an empty slot or a row
    // past the end, which this does not add. Valid until the list changes.
    const TAttrListItem& Peek(int i) const;
    void Put(int i, void* item) = delete; // slots are the list's own
    // Stores a copy at row i (growing the list to hold it). The column list is deep-copied (or
    // kept when it already is the slot's own), and the list the slot held before is freed. A
    // record the row already has of its own keeps its place.
    void SetItem(int i, const TAttrListItem* item);
    // As SetItem, but the row may come to share its record: what GetItem gave for row i before
    // is no longer the row's.
    void Store(int i, const TAttrListItem& item);
    // Sets row i's repaint flag (growing the list as GetItem does) without giving the row a
    // record of its own.
    void SetDirty(int i, bool dirty);
    int Add(const TAttrListItem& item);
    void Insert(int i, const TAttrListItem& item);
    // Inserts count empty slots at i (at most the count), the slots below moving once.
    void InsertEmpty(int i, int count);
    void Delete(int i);
    // Frees the records of slots first .. first + count - 1 (those that exist) and moves the slots
    // below up once.
    void DeleteRange(int first, int count);
    void SetCount(int n);
    void Clear() override;
    // Removes the record of slot i without freeing its column list, handing the list to the caller.
    TColAttrList* TakeColAttr(int i);
    // Slots first .. first + count - 1 take the records of slots (the list owns them now) and
    // slots gets the records they held (the caller owns those now); the slots below move once.
    // Fails (changing nothing) only for want of memory.
    void ExchangeSlots(int first, int count, std::vector<TAttrListItem*>& slots);
    // A record as the list makes them (its column list is deep-copied), and its freeing.
    static TAttrListItem* NewCopy(const TAttrListItem& item);
    static void Free(TAttrListItem* item);
    // Every record that exists, changed by change (a callable taking a TAttrListItem&); rows that
    // shared a record and still are alike keep sharing one.
    template <class F>
    void ChangeEach(F change)
    {
        TChangeMemo memo;
        for (int i = 0; i < GetCount(); ++i)
        {
            void* slot = TList::Get(i);
            if (!slot)
                continue;
            if (!IsShared(slot))
            {
                change(*Record(slot));
                continue;
            }
            if (slot == memo.From && memo.To)
            {
                if (memo.To != slot) // a run the change left alike keeps its slots
                    PutShared(i, memo.To);
                continue;
            }
            TAttrListItem copy = *Record(slot);
            change(copy);
            Replace(i, copy, memo);
        }
    }

    void loadFromFile(const AnsiString& path);
    void loadFromStream(TStream* stream);
    void SaveToFile(const AnsiString& path);
    // Writes every slot in row order; an empty slot is written as a zero record so later
    // records stay on their rows.
    void SaveToStream(TStream* stream);

private:
    struct TChangeMemo
    {
        void* From = nullptr;
        void* To = nullptr;
    };
    static bool IsShared(const void* slot) { return (reinterpret_cast<uintptr_t>(slot) & 1) != 0; }
    static TAttrListItem* Record(void* slot)
    {
        return reinterpret_cast<TAttrListItem*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(1));
    }
    static bool Sharable(const TAttrListItem& item) { return !item.ColAttr && item.Str.IsEmpty(); }
    // A held shared record alike item (its slot value); Drop lets go of one hold.
    static void* Share(const TAttrListItem& item);
    static void Drop(void* slot) noexcept;
    // Slot i takes a hold on the shared record to and lets go of what it held.
    void PutShared(int i, void* to);
    // Slot i, which shares memo.From, gets a copy of item (shared when it can be); memo notes
    // what the next row alike gets.
    void Replace(int i, const TAttrListItem& item, TChangeMemo& memo);
    // A slot value for a copy of item: shared when it can be, else a record of its own.
    static void* MakeSlot(const TAttrListItem& item);
    static void FreeSlot(void* slot) noexcept;
};

using TBlkAttrDeleteEvent = Closure<void(TObject* sender, int startRow, int endRow)>;

class TBlkAttrList : public TList
{
public:
    ~TBlkAttrList() override;
    TBlkAttrListItem* GetItem(int i);
    int Add(const TBlkAttrListItem& item);
    void Insert(int i, const TBlkAttrListItem& item);
    void Delete(int i); // fires OnDelete before freeing
    void SetCount(int n);
    void Clear() override; // frees without firing
    bool GetProperty(const TPoint& point, TColorValue& color, uint8_t& style);
    int NearestChangePos(const TPoint& point);

    TBlkAttrDeleteEvent OnDelete;
};
