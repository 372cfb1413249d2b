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

TAttrListItem* TAttrList::GetItem(int i)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    auto* item = static_cast<TAttrListItem*>(Get(i));
    if (!item)
    {
        item = NewRecord(TAttrListItem());
        try
        {
            Put(i, item);
        }
        catch (...)
        {
            DeleteRecord(item);
            throw;
        }
    }
    return item;
}

void TAttrList::SetItem(int i, const TAttrListItem* item)
{
    TAttrListItem* slot = GetItem(i);
    if (!item || item == slot)
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

int TAttrList::Add(const TAttrListItem& item)
{
    TAttrListItem* copy = NewCopy(item);
    try
    {
        return TList::Add(copy);
    }
    catch (...)
    {
        Free(copy);
        throw;
    }
}

void TAttrList::Insert(int i, const TAttrListItem& item)
{
    CheckIndex(i);
    TAttrListItem* copy = NewCopy(item);
    try
    {
        if (i > GetCount())
            TList::SetCount(i); // the record lands at its own row even past the end
        TList::Insert(i, copy);
    }
    catch (...)
    {
        Free(copy);
        throw;
    }
}

void TAttrList::Delete(int i)
{
    Free(static_cast<TAttrListItem*>(Get(i)));
    Put(i, nullptr);
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
        Free(static_cast<TAttrListItem*>(Get(i)));
        Put(i, nullptr);
    }
    for (int i = first + count; i < records; ++i)
    {
        Put(i - count, Get(i));
        Put(i, nullptr);
    }
    TList::SetCount(records - count);
}

void TAttrList::SetCount(int n)
{
    if (n < 0)
        n = 0;
    for (int i = GetCount() - 1; i >= n; --i)
    {
        Free(static_cast<TAttrListItem*>(Get(i)));
        Put(i, nullptr);
    }
    TList::SetCount(n);
}

void TAttrList::Clear()
{
    for (int i = GetCount() - 1; i >= 0; --i)
    {
        Free(static_cast<TAttrListItem*>(Get(i)));
        Put(i, nullptr);
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
        TList::SetCapacity(std::max(GetCapacity(), n + delta)); // the only step that can fail
    for (int i = 0; i < count; ++i)
        old[size_t(i)] = static_cast<TAttrListItem*>(Get(first + i));
    if (delta > 0)
    {
        TList::SetCount(n + delta);
        for (int i = n - 1; i >= first + count; --i)
            Put(i + delta, Get(i));
    }
    else if (delta < 0)
    {
        for (int i = first + count; i < n; ++i)
            Put(i + delta, Get(i));
        TList::SetCount(n + delta);
    }
    for (size_t i = 0; i < slots.size(); ++i)
        Put(first + int(i), slots[i]);
    slots.swap(old);
}

TColAttrList* TAttrList::TakeColAttr(int i)
{
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
        auto* item = static_cast<TAttrListItem*>(Get(i));
        if (item)
            item->ToImage(image);
        else
            std::memset(image, 0, sizeof image);
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
