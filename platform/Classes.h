// Lists, string lists and streams of the component layer.
#pragma once

#include <cstdint>
#include <vector>

#include "AnsiString.h"
#include "SysUtils.h"
#include "System.h"

// <windows.h> maps GetObject to GetObjectW; TStrings::GetObject keeps its own name in every unit.
#ifdef GetObject
#undef GetObject
#endif

// ---- TList --------------------------------------------------------------------------------------------
// Slots of untyped pointers; a slot may be null. The list never owns what its slots point to.
// ~TList does not reach a derived Clear: a derived list that owns its items clears in its own destructor.
class TList : public TObject
{
public:
    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    ~TList() override;

    int Add(void* item); // returns the new index
    void Insert(int index, void* item);
    void Delete(int index);
    virtual void Clear(); // empties the slots and frees the array
    void* Get(int index) const;
    void Put(int index, void* item);
    void* Items(int index) const { return Get(index); }
    int IndexOf(const void* item) const; // -1 when absent
    int Remove(void* item);              // index it had, or -1
    void* Extract(void* item);           // removes it and returns it, null when absent
    void Exchange(int index1, int index2);
    // Exchanges all slots with other's (a list built aside is swapped in); cannot fail.
    void Swap(TList& other) noexcept;

    int GetCount() const { return count_; }
    void SetCount(int count); // growing adds null slots
    int GetCapacity() const { return capacity_; }
    int Capacity() const { return capacity_; }
    void SetCapacity(int capacity); // below Count raises EListError

private:
    void Grow();
    [[noreturn]] void IndexError(int index) const;
    void** items_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};

// ---- TPersistent, TCollection -------------------------------------------------------------------------
// An object that may belong to another: a collection item to its collection, a collection to the
// object it describes.
class TPersistent : public TObject
{
public:
    virtual TPersistent* GetOwner() { return nullptr; }
};

class TCollection;

// One item of a collection. Made with its collection, which it joins at the end; freed by it, or
// freed alone, when it leaves it.
class TCollectionItem : public TPersistent
{
public:
    explicit TCollectionItem(TCollection* collection);
    ~TCollectionItem() override;
    TCollectionItem(const TCollectionItem&) = delete;
    TCollectionItem& operator=(const TCollectionItem&) = delete;

    TCollection* Collection() const { return collection_; }
    int Index() const; // -1 outside a collection
    TPersistent* GetOwner() override;

protected:
    // Tells the collection that this item (or, with allItems, every item) changed.
    void Changed(bool allItems);

private:
    friend class TCollection;
    TCollection* collection_;
};

// Owned items of one kind, in order. A change of its items is reported through the virtual
// Update (the item changed, or null for all of them), held back between BeginUpdate and EndUpdate
// and reported once at the end.
class TCollection : public TPersistent
{
public:
    using TItemClass = TCollectionItem* (*)(TCollection* collection);
    explicit TCollection(TItemClass itemClass) : itemClass_(itemClass) {}
    ~TCollection() override;
    TCollection(const TCollection&) = delete;
    TCollection& operator=(const TCollection&) = delete;

    TCollectionItem* Add(); // a new item of the collection's kind, at the end
    void Delete(int index); // frees it
    void Clear();
    int Count() const { return int(items_.size()); }
    TCollectionItem* Items(int index) const; // EListError out of range

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

protected:
    virtual void Update(TCollectionItem* item) {}
    void Changed();
    int UpdateCount() const { return updateCount_; }

private:
    friend class TCollectionItem;
    std::vector<TCollectionItem*> items_;
    TItemClass itemClass_;
    int updateCount_ = 0;
};

// ---- TStrings -----------------------------------------------------------------------------------------
class TStream;

// Abstract list of strings, each with an object pointer. Add, Text, Assign and AddStrings all go
// through the virtual Insert/Clear, so a subclass that overrides those sees every change.
class TStrings : public TObject
{
public:
    TStrings() = default;
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;

    virtual AnsiString Get(int index) = 0;
    virtual void Put(int index, const AnsiString& s); // default: Delete + Insert, keeping the object
    virtual TObject* GetObject(int index);            // default: none
    virtual void PutObject(int index, TObject* object);
    virtual int GetCount() = 0;
    virtual void Insert(int index, const AnsiString& s) = 0;
    virtual void InsertObject(int index, const AnsiString& s, TObject* object); // Insert + PutObject
    virtual int Add(const AnsiString& s);                                       // Insert at the end
    virtual int AddObject(const AnsiString& s, TObject* object);                // Add + PutObject
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int index1, int index2);
    virtual int IndexOf(const AnsiString& s); // first match ignoring ASCII case; -1 when absent
    virtual int GetCapacity();
    virtual void SetCapacity(int capacity);

    AnsiString Strings(int index) { return Get(index); }
    void SetStrings(int index, const AnsiString& s) { Put(index, s); }
    TObject* Objects(int index) { return GetObject(index); }
    void SetObjects(int index, TObject* object) { PutObject(index, object); }

    // Nested; notifications resume when the outermost EndUpdate runs.
    void BeginUpdate();
    void EndUpdate();

    // Every line followed by CR LF.
    AnsiString GetText();
    // Replaces the lines; splits at CR LF, CR or LF; a final line end adds no empty line.
    void SetText(const AnsiString& text);

    void Assign(TStrings* source); // Clear + AddStrings
    void AddStrings(TStrings* source);

    // Plain text from the current position to the end / at the current position.
    void LoadFromStream(TStream* stream);
    void SaveToStream(TStream* stream);
    void LoadFromFile(const AnsiString& path);
    void SaveToFile(const AnsiString& path);

protected:
    virtual void SetUpdateState(bool updating) {}
    // Order and equality used by IndexOf (and a sorted string list).
    virtual int CompareStrings(const AnsiString& a, const AnsiString& b);
    int UpdateCount() const { return updateCount_; }

private:
    int updateCount_ = 0;
};

// ---- TStringList ----------------------------------------------------------------------------------------
enum TDuplicates
{
    dupIgnore,
    dupAccept,
    dupError
};

class TStringList;
using TStringListSortCompare = int (*)(TStringList* list, int index1, int index2);

class TStringList : public TStrings
{
public:
    TStringList() = default;
    ~TStringList() override; // frees the strings, never the objects

    AnsiString Get(int index) override;
    // The string at index where it lies, for reading without a copy (valid until the list changes).
    const AnsiString& Ref(int index) const
    {
        if (index < 0 || index >= Count())
            CheckIndex(index);
        return items_[Slot(index)].str;
    }
    // Exchanges the string at index with s, as Put stores a string (the watchers are told of it
    // as of a Put), without a copy of either. Not on a sorted list.
    virtual void SwapString(int index, AnsiString& s);
    void Put(int index, const AnsiString& s) override; // not on a sorted list
    TObject* GetObject(int index) override;
    void PutObject(int index, TObject* object) override;
    int GetCount() override;
    void Insert(int index, const AnsiString& s) override; // not on a sorted list
    int Add(const AnsiString& s) override;                // sorted: at its place, per Duplicates
    int AddObject(const AnsiString& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int index1, int index2) override;
    int IndexOf(const AnsiString& s) override; // binary search when sorted
    int GetCapacity() override;
    void SetCapacity(int capacity) override;

    // Sorted lists only: true when found; index is the first match or where s would be inserted.
    bool Find(const AnsiString& s, int& index);
    void Sort();
    void CustomSort(TStringListSortCompare compare); // does nothing on a sorted list
    // Exchanges all items and the room reserved for them with other's, without any event;
    // cannot fail. Adds into room reserved so never allocate.
    void Swap(TStringList& other) noexcept;
    // Appends count strings at the end, moving them out of rows (they are left empty): one
    // change for the watchers, no per-string insert. Not on a sorted list. When room cannot be
    // had, nothing is told, moved or changed.
    void AppendMoving(AnsiString* rows, int count);
    // Appends every item of from, with its object, leaving from empty without any event (as
    // Swap): one change for the watchers, no per-string insert. Not on a sorted list.
    void AppendTaking(TStringList& from);

    bool GetSorted() const { return sorted_; }
    void SetSorted(bool sorted);
    TDuplicates GetDuplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
    bool GetCaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool caseSensitive);

    // Fired around each change while no update is open, and once at the end of an update.
    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    int CompareStrings(const AnsiString& a, const AnsiString& b) override;
    virtual void Changing();
    virtual void Changed();
    // The items first..first+count-1 came in by a bulk append, after the watchers were told.
    virtual void Appended(int first, int count) {}
    // Stores the item at index without the sorted-list check; what sorted Add uses.
    void InsertItem(int index, const AnsiString& s, TObject* object);

private:
    struct Item
    {
        AnsiString str;
        TObject* object = nullptr;
    };
    void CheckIndex(int index) const;
    void QuickSort(int left, int right, TStringListSortCompare compare);
    // The items live in a gap buffer: a run of empty slots stays where the last insert or delete
    // was, so a series of edits walking through a long list moves each item only once.
    int Count() const { return int(items_.size()) - gapLen_; }
    size_t Slot(int index) const { return size_t(index < gap_ ? index : index + gapLen_); }
    void MoveGap(int index);
    void GapToEnd() { MoveGap(Count()); } // slots 0..Count()-1 are then the items in order
    std::vector<Item> items_;
    int gap_ = 0;
    int gapLen_ = 0;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

// ---- Streams --------------------------------------------------------------------------------------------
enum TSeekOrigin
{
    soFromBeginning,
    soFromCurrent,
    soFromEnd
};

class TStream : public TObject
{
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Bytes transferred; fewer than count only at the end of the data. An I/O failure raises.
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0; // new position
    virtual int64_t GetSize();
    virtual void SetSize(int64_t size); // raises EStreamError unless the stream can resize

    int64_t GetPosition() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }

    void ReadBuffer(void* buffer, int count);        // EReadError on a short read
    void WriteBuffer(const void* buffer, int count); // EWriteError on a short write
    // Copies count bytes from source's position; count 0 copies all of source from its start.
    int64_t CopyFrom(TStream* source, int64_t count);
};

// Over a Win32 handle the caller owns.
class THandleStream : public TStream
{
public:
    explicit THandleStream(void* handle) : handle_(handle) {}
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override;
    void SetSize(int64_t size) override; // keeps the position when it is still inside
    void* Handle() const { return handle_; }

protected:
    // The text of a failure: with the file's name when the stream knows it.
    AnsiString ErrorText(const char* fileFormat, const char* streamFormat, unsigned long error) const;
    void* handle_;
    AnsiString fileName_; // empty for a bare handle
};

constexpr unsigned fmCreate = 0xFFFF; // create or truncate; exclusive while open
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareCompat = 0x0000; // as exclusive
constexpr unsigned fmShareExclusive = 0x0010;
constexpr unsigned fmShareDenyWrite = 0x0020;
constexpr unsigned fmShareDenyRead = 0x0030;
constexpr unsigned fmShareDenyNone = 0x0040;

// Owns its handle. Failing to open raises EFOpenError, failing to create EFCreateError; both carry
// the Win32 error in ErrorCode and the path in FileName.
class TFileStream : public THandleStream
{
public:
    TFileStream(const AnsiString& path, unsigned mode);
    ~TFileStream() override;
    const AnsiString& FileName() const { return fileName_; }
    void Flush(); // FlushFileBuffers; EWriteError on failure
};

// A growable block of memory.
class TMemoryStream : public TStream
{
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override; // past the end: the gap is zero-filled
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override { return size_; }
    void SetSize(int64_t size) override; // new bytes are zero
    void* Memory() const { return data_; }
    void Clear();
    void LoadFromStream(TStream* stream); // all of stream from its start; position 0 afterwards
    void SaveToStream(TStream* stream);   // all of this at stream's position
    void LoadFromFile(const AnsiString& path);
    void SaveToFile(const AnsiString& path);

private:
    void Reserve(int64_t capacity);
    char* data_ = nullptr;
    int size_ = 0;
    int capacity_ = 0;
    int64_t position_ = 0;
};

// Reads and writes the bytes of an AnsiString.
class TStringStream : public TStream
{
public:
    explicit TStringStream(const AnsiString& s = AnsiString()) : data_(s) {}
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override; // past the end: the gap is zero-filled
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t GetSize() override { return data_.Length(); }
    void SetSize(int64_t size) override;
    const AnsiString& DataString() const { return data_; }

private:
    AnsiString data_;
    int64_t position_ = 0;
};
