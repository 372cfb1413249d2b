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
// column list, so no two rows ever share a column list.
class TAttrList : public TList
{
public:
    ~TAttrList() override;
    // Never null: grows the list to i + 1 and fills an empty slot with an all-zero record.
    TAttrListItem* GetItem(int i);
    // Stores a copy at row i. The column list is deep-copied (or kept when it already is the
    // slot's own), and the list the slot held before is freed.
    void SetItem(int i, const TAttrListItem* item);
    int Add(const TAttrListItem& item);
    void Insert(int i, const TAttrListItem& item);
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

    void loadFromFile(const AnsiString& path);
    void loadFromStream(TStream* stream);
    void SaveToFile(const AnsiString& path);
    // Writes every slot in row order; an empty slot is written as a zero record so later
    // records stay on their rows.
    void SaveToStream(TStream* stream);

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
