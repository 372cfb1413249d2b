#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VN_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define VN_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define VN_POISON(p, n) ((void)(p), (void)(n))
#define VN_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

#ifdef _WIN32
#include <windows.h>
#endif

#include "editor_control/AFEditRecords.h"
#include "platform/SysUtils.h"

namespace
{
// Line records come from 64 KB pools instead of a heap block each: a big text has millions of
// rows, and a block per record costs a header and rounding besides the record. A pool sits on a
// 64 KB boundary, so a record finds its pool from its own address; a pool goes back once its last
// record is freed (one empty pool is kept, so a row added and deleted in turn does not take and
// free one each time). Records are made and freed on the thread of the window only.
class TRecordPools
{
public:
    static TRecordPools& Get()
    {
        static TRecordPools* pools = new TRecordPools(); // outlives every list freed at exit
        return *pools;
    }

    // Room for one record.
    void* Take()
    {
        TPool* pool = open_;
        if (!pool)
        {
            pool = new (AllocatePool()) TPool();
            Link(pool);
        }
        char* slot = pool->free;
        if (slot)
        {
            VN_UNPOISON(slot, kSlot);
            pool->free = *reinterpret_cast<char**>(slot);
        }
        else
            slot = reinterpret_cast<char*>(pool) + kFirst + size_t(pool->used++) * kSlot;
        ++pool->live;
        if (spare_ == pool)
            spare_ = nullptr;
        if (!pool->free && pool->used == kSlots)
            Unlink(pool);
        return slot;
    }

    void Give(void* record) noexcept
    {
        char* slot = static_cast<char*>(record);
        TPool* pool = reinterpret_cast<TPool*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(kPoolSize - 1));
        *reinterpret_cast<char**>(slot) = pool->free;
        pool->free = slot;
        // A freed record stays unreadable under the address sanitizer, past the link word.
        VN_POISON(slot + sizeof(void*), kSlot - sizeof(void*));
        --pool->live;
        if (!pool->listed)
            Link(pool);
        if (pool->live > 0)
            return;
        if (TPool* old = spare_; old && old != pool)
        {
            Unlink(old);
            FreePool(old);
        }
        spare_ = pool;
    }

private:
    static constexpr size_t kPoolSize = 65536;
    struct TPool
    {
        TPool* prev = nullptr;
        TPool* next = nullptr;
        char* free = nullptr; // slots given back, linked through their record's first word
        int used = 0;         // slots ever handed out from the front
        int live = 0;
        bool listed = false;  // on the list of pools with room
    };
    static constexpr size_t kAlign = alignof(TAttrListItem) > alignof(void*) ? alignof(TAttrListItem) : alignof(void*);
    static constexpr size_t kSlot = (std::max(sizeof(TAttrListItem), sizeof(void*)) + kAlign - 1) / kAlign * kAlign;
    static constexpr size_t kFirst = (sizeof(TPool) + kAlign - 1) / kAlign * kAlign;
    static constexpr int kSlots = int((kPoolSize - kFirst) / kSlot);

    // Memory of kPoolSize bytes on a kPoolSize boundary (the system's allocation granularity on
    // Windows, so nothing is lost to rounding).
    static void* AllocatePool()
    {
#ifdef _WIN32
        void* p = VirtualAlloc(nullptr, kPoolSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (p && (reinterpret_cast<uintptr_t>(p) & (kPoolSize - 1)) != 0)
        {
            VirtualFree(p, 0, MEM_RELEASE);
            p = nullptr;
        }
#else
        void* p = std::aligned_alloc(kPoolSize, kPoolSize);
#endif
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    static void FreePool(TPool* pool) noexcept
    {
        pool->~TPool();
        VN_UNPOISON(pool, kPoolSize);
#ifdef _WIN32
        VirtualFree(pool, 0, MEM_RELEASE);
#else
        std::free(pool);
#endif
    }
    void Link(TPool* pool) noexcept
    {
        pool->prev = nullptr;
        pool->next = open_;
        if (open_)
            open_->prev = pool;
        open_ = pool;
        pool->listed = true;
    }
    void Unlink(TPool* pool) noexcept
    {
        if (pool->prev)
            pool->prev->next = pool->next;
        else
            open_ = pool->next;
        if (pool->next)
            pool->next->prev = pool->prev;
        pool->prev = pool->next = nullptr;
        pool->listed = false;
        if (spare_ == pool)
            spare_ = nullptr;
    }

    TPool* open_ = nullptr;  // pools with a free slot, the last one linked first
    TPool* spare_ = nullptr; // an empty pool kept for the next record
};

TAttrListItem* NewRecord(const TAttrListItem& from)
{
    void* slot = TRecordPools::Get().Take();
    try
    {
        return new (slot) TAttrListItem(from);
    }
    catch (...)
    {
        TRecordPools::Get().Give(slot);
        throw;
    }
}

void DeleteRecord(TAttrListItem* item) noexcept
{
    item->~TAttrListItem();
    TRecordPools::Get().Give(item);
}

void PutI32(unsigned char* p, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    p[0] = u & 0xFF;
    p[1] = (u >> 8) & 0xFF;
    p[2] = (u >> 16) & 0xFF;
    p[3] = (u >> 24) & 0xFF;
}
void PutU16(unsigned char* p, uint16_t v)
{
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
int32_t GetI32(const unsigned char* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}
uint16_t GetU16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

void CheckIndex(int i)
{
    if (i < 0)
        throw EListError("List index out of bounds (" + AnsiString(i) + ")");
}
} // namespace

void TAttrListItem::ToImage(unsigned char out[kAttrImageSize]) const
{
    std::memset(out, 0, kAttrImageSize);
    PutI32(out + 0, FontColor);
    PutI32(out + 4, BackColor);
    PutU16(out + 8, uint16_t(Indent));
    PutU16(out + 10, uint16_t(Reserve));
    PutU16(out + 12, WrapPos);
    out[14] = Style;
    out[15] = Dirty ? 1 : 0;
    out[20] = uint8_t(States.ToInt());
}

TAttrListItem TAttrListItem::FromImage(const unsigned char in[kAttrImageSize])
{
    TAttrListItem r;
    r.FontColor = GetI32(in + 0);
    r.BackColor = GetI32(in + 4);
    r.Indent = int16_t(GetU16(in + 8));
    r.Reserve = int16_t(GetU16(in + 10));
    r.WrapPos = GetU16(in + 12);
    r.Style = in[14];
    r.Dirty = in[15] != 0;
    r.States = TAttrStates::FromInt(in[20] & 3);
    return r;
}

// ---- TColAttrList -------------------------------------------------------------------------

TColAttrList::~TColAttrList() { Clear(); }

TColAttrListItem* TColAttrList::GetItem(int i)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    auto* item = static_cast<TColAttrListItem*>(Get(i));
    if (!item)
    {
        item = new TColAttrListItem();
        Put(i, item);
    }
    return item;
}

int TColAttrList::Add(const TColAttrListItem& item) { return TList::Add(new TColAttrListItem(item)); }

void TColAttrList::Insert(int i, const TColAttrListItem& item)
{
    CheckIndex(i);
    auto* copy = new TColAttrListItem(item);
    try
    {
        TList::Insert(i, copy);
    }
    catch (...)
    {
        delete copy;
        throw;
    }
}

void TColAttrList::Delete(int i)
{
    delete static_cast<TColAttrListItem*>(Get(i));
    TList::Delete(i);
}

void TColAttrList::SetCount(int n)
{
    if (n < 0)
        n = 0;
    for (int i = GetCount() - 1; i >= n; --i)
    {
        delete static_cast<TColAttrListItem*>(Get(i));
        Put(i, nullptr);
    }
    TList::SetCount(n);
}

void TColAttrList::Clear()
{
    for (int i = GetCount() - 1; i >= 0; --i)
    {
        delete static_cast<TColAttrListItem*>(Get(i));
        Put(i, nullptr);
    }
    TList::Clear();
}

TColAttrList* TColAttrList::Clone() const
{
    auto* copy = new TColAttrList();
    try
    {
        copy->SetCapacity(GetCount());
        for (int i = 0; i < GetCount(); ++i)
        {
            auto* item = static_cast<TColAttrListItem*>(Get(i));
            if (item)
                copy->Add(*item);
            else
                copy->TList::Add(nullptr);
        }
    }
    catch (...)
    {
        delete copy;
        throw;
    }
    return copy;
}

// ---- TAttrList ----------------------------------------------------------------------------

namespace
{
// The records rows share: one per set of values, held by a count of the slots pointing at it.
// A slot tells a shared record by the low bit of its value.
struct TSharedRecord
{
    TAttrListItem Rec; // first: the record's address is the shared record's
    int Holds = 0;
    TSharedRecord* Next = nullptr; // in its bucket
};

class TSharedRecords
{
public:
    static TSharedRecords& Get()
    {
        static TSharedRecords* shared = new TSharedRecords(); // outlives every list freed at exit
        return *shared;
    }
    // A hold on the shared record alike item.
    TSharedRecord* Take(const TAttrListItem& item)
    {
        if (last_ && Alike(last_->Rec, item))
        {
            ++last_->Holds;
            return last_;
        }
        TSharedRecord** bucket = &buckets_[Hash(item) & (kBuckets - 1)];
        for (TSharedRecord* r = *bucket; r; r = r->Next)
            if (Alike(r->Rec, item))
            {
                ++r->Holds;
                last_ = r;
                return r;
            }
        auto* r = new TSharedRecord();
        r->Rec = item;
        r->Rec.ColAttr = nullptr;
        r->Holds = 1;
        r->Next = *bucket;
        *bucket = r;
        last_ = r;
        return r;
    }
    void Drop(TSharedRecord* r) noexcept
    {
        if (--r->Holds > 0)
            return;
        TSharedRecord** at = &buckets_[Hash(r->Rec) & (kBuckets - 1)];
        while (*at != r)
            at = &(*at)->Next;
        *at = r->Next;
        if (last_ == r)
            last_ = nullptr;
        delete r;
    }

private:
    static constexpr size_t kBuckets = 256;
    static bool Alike(const TAttrListItem& a, const TAttrListItem& b)
    {
        return a.FontColor == b.FontColor && a.BackColor == b.BackColor && a.Indent == b.Indent &&
               a.Reserve == b.Reserve && a.WrapPos == b.WrapPos && a.Style == b.Style && a.Dirty == b.Dirty &&
               a.States == b.States;
    }
    static size_t Hash(const TAttrListItem& a)
    {
        uint32_t h = uint32_t(a.FontColor) * 0x9E3779B1u;
        h ^= uint32_t(a.BackColor) + 0x7F4A7C15u + (h << 6) + (h >> 2);
        h ^= (uint32_t(uint16_t(a.Indent)) | uint32_t(a.WrapPos) << 16) + (h << 6) + (h >> 2);
        h ^= (uint32_t(uint16_t(a.Reserve)) | uint32_t(a.Style) << 16 | uint32_t(a.Dirty) << 24 |
              uint32_t(a.States.ToInt()) << 25) +
             (h << 6) + (h >> 2);
        return h ^ (h >> 15);
    }
    TSharedRecord* buckets_[kBuckets] = {};
    TSharedRecord* last_ = nullptr; // rows in a run are mostly alike
};

const TAttrListItem kZeroRecord{};
} // namespace

TAttrList::~TAttrList() { Clear(); }

TAttrListItem* TAttrList::NewCopy(const TAttrListItem& item)
{
    auto* copy = NewRecord(item);
    copy->ColAttr = nullptr;
    if (item.ColAttr)
    {
        try
        {
            copy->ColAttr = item.ColAttr->Clone();
        }
        catch (...)
        {
            DeleteRecord(copy);
            throw;
        }
    }
    return copy;
}

void TAttrList::Free(TAttrListItem* item)
{
    if (!item)
        return;
    delete item->ColAttr;
    DeleteRecord(item);
}

void* TAttrList::Share(const TAttrListItem& item)
{
    return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(TSharedRecords::Get().Take(item)) | 1);
}

void TAttrList::Drop(void* slot) noexcept
{
    TSharedRecords::Get().Drop(reinterpret_cast<TSharedRecord*>(Record(slot)));
}

void* TAttrList::MakeSlot(const TAttrListItem& item)
{
    return Sharable(item) ? Share(item) : NewCopy(item);
}

void TAttrList::FreeSlot(void* slot) noexcept
{
    if (!slot)
        return;
    if (IsShared(slot))
        Drop(slot);
    else
        Free(Record(slot));
}

void TAttrList::PutShared(int i, void* to)
{
    ++reinterpret_cast<TSharedRecord*>(Record(to))->Holds;
    void* old = TList::Get(i);
    TList::Put(i, to);
    FreeSlot(old);
}

void TAttrList::Replace(int i, const TAttrListItem& item, TChangeMemo& memo)
{
    void* old = TList::Get(i);
    void* made = MakeSlot(item);
    TList::Put(i, made);
    memo.From = old;
    memo.To = IsShared(made) ? made : nullptr;
    FreeSlot(old);
}

TAttrListItem* TAttrList::GetItem(int i)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    void* slot = TList::Get(i);
    if (slot && !IsShared(slot))
        return Record(slot);
    // An empty slot, or a record others may share: the row gets one of its own.
    TAttrListItem* item = NewRecord(slot ? *Record(slot) : TAttrListItem());
    TList::Put(i, item);
    if (slot)
        Drop(slot);
    return item;
}

const TAttrListItem* TAttrList::Get(int i) const
{
    void* slot = TList::Get(i);
    return slot ? Record(slot) : nullptr;
}

const TAttrListItem& TAttrList::Peek(int i) const
{
    void* slot = i >= 0 && i < GetCount() ? TList::Get(i) : nullptr;
    return slot ? *Record(slot) : kZeroRecord;
}

void TAttrList::SetItem(int i, const TAttrListItem* item)
{
    CheckIndex(i);
    if (!item)
    {
        GetItem(i);
        return;
    }
    if (i >= GetCount())
        TList::SetCount(i + 1);
    void* had = TList::Get(i);
    if (!had || IsShared(had))
    {
        if (had && Record(had) == item)
            return;
        TList::Put(i, MakeSlot(*item)); // a column list already the slot's cannot be: shared ones have none
        FreeSlot(had);
        return;
    }
    TAttrListItem* slot = Record(had);
    if (item == slot)
        return;
    TColAttrList* cols = nullptr;
    if (item->ColAttr)
        cols = item->ColAttr == slot->ColAttr ? slot->ColAttr : item->ColAttr->Clone();
    TColAttrList* old = slot->ColAttr;
    *slot = *item;
    slot->ColAttr = cols;
    if (old && old != cols)
        delete old;
}

void TAttrList::Store(int i, const TAttrListItem& item)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    void* had = TList::Get(i);
    if (had && Record(had) == &item)
        return;
    if (had && !IsShared(had) && item.ColAttr && item.ColAttr == Record(had)->ColAttr)
    {
        SetItem(i, &item); // the row keeps its own column list
        return;
    }
    TList::Put(i, MakeSlot(item));
    FreeSlot(had);
}

void TAttrList::SetDirty(int i, bool dirty)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    void* slot = TList::Get(i);
    if (slot && !IsShared(slot))
    {
        Record(slot)->Dirty = dirty;
        return;
    }
    const TAttrListItem& now = slot ? *Record(slot) : kZeroRecord;
    if (slot && now.Dirty == dirty)
        return;
    TAttrListItem changed = now;
    changed.Dirty = dirty;
    TList::Put(i, Share(changed));
    FreeSlot(slot);
}

int TAttrList::Add(const TAttrListItem& item)
{
    void* slot = MakeSlot(item);
    try
    {
        return TList::Add(slot);
    }
    catch (...)
    {
        FreeSlot(slot);
        throw;
    }
}

void TAttrList::Insert(int i, const TAttrListItem& item)
{
    CheckIndex(i);
    void* slot = MakeSlot(item);
    try
    {
        if (i > GetCount())
            TList::SetCount(i); // the record lands at its own row even past the end
        TList::Insert(i, slot);
    }
    catch (...)
    {
        FreeSlot(slot);
        throw;
    }
}

void TAttrList::InsertEmpty(int i, int count)
{
    CheckIndex(i);
    if (count <= 0)
        return;
    const int old = GetCount();
    if (i > old)
    {
        TList::SetCount(i + count);
        return;
    }
    TList::SetCount(old + count);
    for (int j = old - 1; j >= i; --j)
    {
        TList::Put(j + count, TList::Get(j));
        TList::Put(j, nullptr);
    }
}

void TAttrList::Delete(int i)
{
    void* slot = TList::Get(i);
    TList::Put(i, nullptr);
    FreeSlot(slot);
    TList::Delete(i);
}

void TAttrList::DeleteRange(int first, int count)
{
    const int records = GetCount();
    if (first < 0 || count <= 0 || first >= records)
        return;
    count = std::min(count, records - first);
    for (int i = first; i < first + count; ++i)
    {
        FreeSlot(TList::Get(i));
        TList::Put(i, nullptr);
    }
    for (int i = first + count; i < records; ++i)
    {
        TList::Put(i - count, TList::Get(i));
        TList::Put(i, nullptr);
    }
    TList::SetCount(records - count);
}

void TAttrList::SetCount(int n)
{
    if (n < 0)
        n = 0;
    for (int i = GetCount() - 1; i >= n; --i)
    {
        FreeSlot(TList::Get(i));
        TList::Put(i, nullptr);
    }
    TList::SetCount(n);
}

void TAttrList::Clear()
{
    for (int i = GetCount() - 1; i >= 0; --i)
    {
        FreeSlot(TList::Get(i));
        TList::Put(i, nullptr);
    }
    TList::Clear();
}

void TAttrList::ExchangeSlots(int first, int count, std::vector<TAttrListItem*>& slots)
{
    const int n = GetCount();
    first = std::clamp(first, 0, n);
    count = std::clamp(count, 0, n - first);
    const int delta = int(slots.size()) - count;
    std::vector<TAttrListItem*> old(static_cast<size_t>(count));
    if (delta > 0)
        TList::SetCapacity(std::max(GetCapacity(), n + delta)); // with GetItem, the only steps that can fail
    // The rows handed back get records of their own; the slots below move as they are, shared or not.
    for (int i = 0; i < count; ++i)
        old[size_t(i)] = GetItem(first + i);
    if (delta > 0)
    {
        TList::SetCount(n + delta);
        for (int i = n - 1; i >= first + count; --i)
            TList::Put(i + delta, TList::Get(i));
    }
    else if (delta < 0)
    {
        for (int i = first + count; i < n; ++i)
            TList::Put(i + delta, TList::Get(i));
        TList::SetCount(n + delta);
    }
    for (size_t i = 0; i < slots.size(); ++i)
        TList::Put(first + int(i), slots[i]);
    slots.swap(old);
}

TColAttrList* TAttrList::TakeColAttr(int i)
{
    if (i >= 0 && i < GetCount() && (!TList::Get(i) || IsShared(TList::Get(i))))
        return nullptr; // such a record has no column list
    TAttrListItem* item = GetItem(i);
    TColAttrList* cols = item->ColAttr;
    item->ColAttr = nullptr;
    return cols;
}

void TAttrList::loadFromStream(TStream* stream)
{
    int64_t remaining = stream->GetSize() - stream->GetPosition();
    int64_t count = remaining > 0 ? remaining / kAttrImageSize : 0;
    unsigned char image[kAttrImageSize];
    for (int64_t k = 0; k < count; ++k)
    {
        stream->ReadBuffer(image, kAttrImageSize);
        Add(TAttrListItem::FromImage(image));
    }
}

void TAttrList::SaveToStream(TStream* stream)
{
    const int batch = 4096;
    std::string buf;
    buf.reserve(size_t(batch) * kAttrImageSize);
    unsigned char image[kAttrImageSize];
    for (int i = 0; i < GetCount(); ++i)
    {
        Peek(i).ToImage(image); // an empty slot reads as a zero record
        buf.append(reinterpret_cast<const char*>(image), kAttrImageSize);
        if (buf.size() >= size_t(batch) * kAttrImageSize)
        {
            stream->WriteBuffer(buf.data(), int(buf.size()));
            buf.clear();
        }
    }
    if (!buf.empty())
        stream->WriteBuffer(buf.data(), int(buf.size()));
}

// ---- TBlkAttrList -------------------------------------------------------------------------

TBlkAttrList::~TBlkAttrList() { Clear(); }

TBlkAttrListItem* TBlkAttrList::GetItem(int i)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    auto* item = static_cast<TBlkAttrListItem*>(Get(i));
    if (!item)
    {
        item = new TBlkAttrListItem();
        Put(i, item);
    }
    return item;
}

int TBlkAttrList::Add(const TBlkAttrListItem& item) { return TList::Add(new TBlkAttrListItem(item)); }

void TBlkAttrList::Insert(int i, const TBlkAttrListItem& item)
{
    CheckIndex(i);
    auto* copy = new TBlkAttrListItem(item);
    try
    {
        TList::Insert(i, copy);
    }
    catch (...)
    {
        delete copy;
        throw;
    }
}

void TBlkAttrList::Delete(int i)
{
    auto* item = static_cast<TBlkAttrListItem*>(Get(i));
    if (item && OnDelete)
        OnDelete(this, item->StartRow, item->EndRow);
    // The handler may have changed the list; find the record again by identity.
    int at = IndexOf(item);
    if (at >= 0)
    {
        delete item;
        TList::Delete(at);
    }
    else if (!item && i < GetCount())
        TList::Delete(i);
}

void TBlkAttrList::SetCount(int n)
{
    if (n < 0)
        n = 0;
    for (int i = GetCount() - 1; i >= n; --i)
    {
        delete static_cast<TBlkAttrListItem*>(Get(i));
        Put(i, nullptr);
    }
    TList::SetCount(n);
}

void TBlkAttrList::Clear()
{
    for (int i = GetCount() - 1; i >= 0; --i)
    {
        delete static_cast<TBlkAttrListItem*>(Get(i));
        Put(i, nullptr);
    }
    TList::Clear();
}

bool TBlkAttrList::GetProperty(const TPoint& point, TColorValue& color, uint8_t& style)
{
    for (int i = 0; i < GetCount(); ++i)
    {
        auto* b = static_cast<TBlkAttrListItem*>(Get(i));
        if (b && PointInRange(point, TPoint(b->StartCol, b->StartRow), TPoint(b->EndCol, b->EndRow)))
        {
            color = b->Color;
            style = b->Style;
            return true;
        }
    }
    return false;
}

int TBlkAttrList::NearestChangePos(const TPoint& p)
{
    int result = -10000;
    for (int i = 0; i < GetCount(); ++i)
    {
        auto* b = static_cast<TBlkAttrListItem*>(Get(i));
        if (!b)
            continue;
        if (PointInRange(p, TPoint(b->StartCol, b->StartRow), TPoint(b->EndCol, b->EndRow)))
            result = 0;
        if (b->StartRow == p.y && b->StartCol > p.x)
            result = result < 1 ? b->StartCol : std::min(result, b->StartCol);
        if (b->EndRow == p.y && b->EndCol > p.x)
            result = result < 1 ? b->EndCol + 1 : std::min(result, b->EndCol + 1);
    }
    return result;
}
