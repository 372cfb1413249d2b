#include <algorithm>
#include <cstring>

#include "editor_control/AFEditRecords.h"
#include "platform/SysUtils.h"

namespace
{
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
    auto* copy = new TAttrListItem(item);
    copy->ColAttr = nullptr;
    if (item.ColAttr)
    {
        try
        {
            copy->ColAttr = item.ColAttr->Clone();
        }
        catch (...)
        {
            delete copy;
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
    delete item;
}

TAttrListItem* TAttrList::GetItem(int i)
{
    CheckIndex(i);
    if (i >= GetCount())
        TList::SetCount(i + 1);
    auto* item = static_cast<TAttrListItem*>(Get(i));
    if (!item)
    {
        item = new TAttrListItem();
        Put(i, item);
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
