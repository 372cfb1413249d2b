#include "Classes.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "Cp932.h"

#ifdef GetObject
#undef GetObject
#endif

// ---- TList --------------------------------------------------------------------------------------------

TList::~TList() { std::free(items_); }

void TList::IndexError(int index) const
{
    throw EListError(Format(SListIndexError, {index}));
}

void TList::Grow()
{
    // Geometric, so n appends cost O(n) in all.
    long long grown = (long long)capacity_ + capacity_ / 2 + 8;
    if (grown > INT_MAX / int(sizeof(void*)))
        grown = INT_MAX / int(sizeof(void*));
    if (grown <= capacity_)
        throw EOutOfMemory(SOutOfMemory);
    SetCapacity(int(grown));
}

void TList::SetCapacity(int capacity)
{
    if (capacity < count_ || capacity > INT_MAX / int(sizeof(void*)))
        throw EListError(Format(SListCapacityError, {capacity}));
    if (capacity == capacity_)
        return;
    if (capacity == 0)
    {
        std::free(items_);
        items_ = nullptr;
        capacity_ = 0;
        return;
    }
    void* p = std::realloc(items_, size_t(capacity) * sizeof(void*));
    if (!p)
        throw EOutOfMemory(SOutOfMemory);
    items_ = static_cast<void**>(p);
    capacity_ = capacity;
}

void TList::SetCount(int count)
{
    if (count < 0 || count > INT_MAX / int(sizeof(void*)))
        throw EListError(Format(SListCountError, {count}));
    if (count > capacity_)
        SetCapacity(count);
    if (count > count_)
        std::memset(items_ + count_, 0, size_t(count - count_) * sizeof(void*));
    count_ = count;
}

int TList::Add(void* item)
{
    if (count_ == capacity_)
        Grow();
    items_[count_] = item;
    return count_++;
}

void TList::Insert(int index, void* item)
{
    if (index < 0 || index > count_)
        IndexError(index);
    if (count_ == capacity_)
        Grow();
    std::memmove(items_ + index + 1, items_ + index, size_t(count_ - index) * sizeof(void*));
    items_[index] = item;
    ++count_;
}

void TList::Delete(int index)
{
    if (index < 0 || index >= count_)
        IndexError(index);
    --count_;
    std::memmove(items_ + index, items_ + index + 1, size_t(count_ - index) * sizeof(void*));
}

void TList::Swap(TList& other) noexcept
{
    std::swap(items_, other.items_);
    std::swap(count_, other.count_);
    std::swap(capacity_, other.capacity_);
}

void TList::Clear()
{
    count_ = 0;
    SetCapacity(0);
}

void* TList::Get(int index) const
{
    if (index < 0 || index >= count_)
        IndexError(index);
    return items_[index];
}

void TList::Put(int index, void* item)
{
    if (index < 0 || index >= count_)
        IndexError(index);
    items_[index] = item;
}

int TList::IndexOf(const void* item) const
{
    for (int i = 0; i < count_; ++i)
        if (items_[i] == item)
            return i;
    return -1;
}

int TList::Remove(void* item)
{
    int i = IndexOf(item);
    if (i >= 0)
        Delete(i);
    return i;
}

void* TList::Extract(void* item)
{
    int i = IndexOf(item);
    if (i < 0)
        return nullptr;
    Delete(i);
    return item;
}

void TList::Exchange(int index1, int index2)
{
    if (index1 < 0 || index1 >= count_)
        IndexError(index1);
    if (index2 < 0 || index2 >= count_)
        IndexError(index2);
    std::swap(items_[index1], items_[index2]);
}

// ---- TCollection ----------------------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* collection) : collection_(collection)
{
    if (!collection_)
        return;
    collection_->items_.push_back(this);
    collection_->Changed();
}

TCollectionItem::~TCollectionItem()
{
    if (!collection_)
        return;
    auto& items = collection_->items_;
    items.erase(std::find(items.begin(), items.end(), this));
    collection_->Changed();
}

int TCollectionItem::Index() const
{
    if (!collection_)
        return -1;
    const auto& items = collection_->items_;
    return int(std::find(items.begin(), items.end(), this) - items.begin());
}

TPersistent* TCollectionItem::GetOwner()
{
    return collection_;
}

void TCollectionItem::Changed(bool allItems)
{
    if (collection_ && collection_->updateCount_ == 0)
        collection_->Update(allItems ? nullptr : this);
}

TCollection::~TCollection()
{
    ++updateCount_; // a collection going away reports nothing
    Clear();
}

TCollectionItem* TCollection::Add()
{
    return itemClass_(this);
}

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format(SListIndexError, {index}));
    return items_[size_t(index)];
}

void TCollection::Delete(int index)
{
    delete Items(index);
}

void TCollection::Clear()
{
    if (items_.empty())
        return;
    BeginUpdate();
    while (!items_.empty())
        delete items_.back();
    EndUpdate();
}

void TCollection::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TCollection::Changed()
{
    if (updateCount_ == 0)
        Update(nullptr);
}
// ---- TStrings -----------------------------------------------------------------------------------------

void TStrings::Put(int index, const AnsiString& s)
{
    TObject* object = GetObject(index);
    Delete(index);
    InsertObject(index, s, object);
}

TObject* TStrings::GetObject(int index) { return nullptr; }

void TStrings::PutObject(int index, TObject* object) {}

void TStrings::InsertObject(int index, const AnsiString& s, TObject* object)
{
    Insert(index, s);
    PutObject(index, object);
}

int TStrings::Add(const AnsiString& s)
{
    int index = GetCount();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const AnsiString& s, TObject* object)
{
    int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::Exchange(int index1, int index2)
{
    BeginUpdate();
    try
    {
        AnsiString s = Get(index1);
        TObject* o = GetObject(index1);
        Put(index1, Get(index2));
        PutObject(index1, GetObject(index2));
        Put(index2, s);
        PutObject(index2, o);
    }
    catch (...)
    {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(const AnsiString& s)
{
    int n = GetCount();
    for (int i = 0; i < n; ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::GetCapacity() { return GetCount(); }

void TStrings::SetCapacity(int capacity) {}

int TStrings::CompareStrings(const AnsiString& a, const AnsiString& b) { return CompareText(a, b); }

void TStrings::BeginUpdate()
{
    if (updateCount_ == 0)
        SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate()
{
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ == 0)
        SetUpdateState(false);
}

namespace
{
// Runs EndUpdate however the bracketed code leaves.
class UpdateScope
{
public:
    explicit UpdateScope(TStrings* s) : s_(s) { s_->BeginUpdate(); }
    ~UpdateScope() { s_->EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    TStrings* s_;
};
} // namespace

AnsiString TStrings::GetText()
{
    int n = GetCount();
    std::vector<AnsiString> lines;
    lines.reserve(size_t(n));
    long long total = 0;
    for (int i = 0; i < n; ++i)
    {
        lines.push_back(Get(i));
        total += lines.back().Length() + 2;
    }
    if (total > INT_MAX - 64)
        throw EOutOfMemory(SStreamTooLarge);
    AnsiString r;
    r.Reserve(int(total));
    for (const AnsiString& line : lines)
    {
        r.Append(line.c_str(), line.Length());
        r.Append("\r\n", 2);
    }
    return r;
}

void TStrings::SetText(const AnsiString& text)
{
    UpdateScope scope(this);
    Clear();
    const char* p = text.c_str();
    const char* end = p + text.Length();
    while (p < end)
    {
        const char* q = p;
        while (q < end && *q != '\r' && *q != '\n')
            ++q;
        Add(AnsiString(p, int(q - p)));
        if (q < end && *q == '\r')
            ++q;
        if (q < end && *q == '\n')
            ++q;
        p = q;
    }
}

void TStrings::AddStrings(TStrings* source)
{
    UpdateScope scope(this);
    int n = source->GetCount();
    for (int i = 0; i < n; ++i)
        AddObject(source->Get(i), source->GetObject(i));
}

void TStrings::Assign(TStrings* source)
{
    if (source == this)
        return;
    UpdateScope scope(this);
    Clear();
    if (source)
        AddStrings(source);
}

void TStrings::LoadFromStream(TStream* stream)
{
    int64_t left = stream->GetSize() - stream->GetPosition();
    if (left > INT_MAX - 64)
        throw EOutOfMemory(SStreamTooLarge);
    AnsiString s;
    if (left > 0)
    {
        s.SetLength(int(left));
        int got = stream->Read(s.Unique(), int(left));
        s.SetLength(got);
    }
    SetText(s);
}

void TStrings::SaveToStream(TStream* stream)
{
    AnsiString s = GetText();
    stream->WriteBuffer(s.c_str(), s.Length());
}

// ---- TStringList ----------------------------------------------------------------------------------------

TStringList::~TStringList() = default;

void TStringList::CheckIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw EStringListError(Format(SListIndexError, {index}));
}

void TStringList::MoveGap(int index)
{
    if (gapLen_ == 0)
    {
        gap_ = index;
        return;
    }
    if (index < gap_)
        std::move_backward(items_.begin() + index, items_.begin() + gap_, items_.begin() + gap_ + gapLen_);
    else if (index > gap_)
        std::move(items_.begin() + gap_ + gapLen_, items_.begin() + index + gapLen_, items_.begin() + gap_);
    gap_ = index; // moved-from slots are empty: an AnsiString move leaves nothing behind
}

AnsiString TStringList::Get(int index)
{
    CheckIndex(index);
    return items_[Slot(index)].str;
}

void TStringList::SwapString(int index, AnsiString& s)
{
    if (sorted_)
        throw EStringListError(SSortedListError);
    CheckIndex(index);
    Changing();
    std::swap(items_[Slot(index)].str, s);
    Changed();
}

void TStringList::Put(int index, const AnsiString& s)
{
    if (sorted_)
        throw EStringListError(SSortedListError);
    CheckIndex(index);
    Changing();
    items_[Slot(index)].str = s;
    Changed();
}

TObject* TStringList::GetObject(int index)
{
    CheckIndex(index);
    return items_[Slot(index)].object;
}

void TStringList::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    Changing();
    items_[Slot(index)].object = object;
    Changed();
}

int TStringList::GetCount() { return Count(); }

void TStringList::Insert(int index, const AnsiString& s)
{
    if (sorted_)
        throw EStringListError(SSortedListError);
    if (index < 0 || index > Count())
        throw EStringListError(Format(SListIndexError, {index}));
    InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const AnsiString& s, TObject* object)
{
    Changing();
    MoveGap(index);
    if (gapLen_ == 0)
    {
        // Room reserved beforehand is used first, without allocating; after that the gap grows
        // geometrically, so inserts cost a constant on average.
        const size_t spare = items_.capacity() - items_.size();
        const size_t more = spare > 0 ? spare : std::max<size_t>(16, items_.size() / 2);
        if (items_.size() + more > size_t(INT_MAX))
            throw EStringListError(SOutOfMemory);
        items_.insert(items_.begin() + gap_, more, Item{});
        gapLen_ = int(more);
    }
    items_[size_t(gap_)] = Item{s, object};
    ++gap_;
    --gapLen_;
    Changed();
}

int TStringList::Add(const AnsiString& s)
{
    if (!sorted_)
        return TStrings::Add(s); // through the virtual Insert
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const AnsiString& s, TObject* object)
{
    if (!sorted_)
    {
        int index = Add(s);
        if (object)
            PutObject(index, object);
        return index;
    }
    int index;
    if (Find(s, index))
    {
        if (duplicates_ == dupIgnore)
            return index;
        if (duplicates_ == dupError)
            throw EStringListError(SDuplicateString);
    }
    InsertItem(index, s, object);
    return index;
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    Changing();
    MoveGap(index);
    items_[size_t(gap_ + gapLen_)] = Item{};
    ++gapLen_;
    // A list that shrank a lot gives the room back.
    if (gapLen_ > 4096 && gapLen_ > 2 * Count())
    {
        GapToEnd();
        items_.resize(size_t(Count()));
        items_.shrink_to_fit();
        gapLen_ = 0;
    }
    Changed();
}

void TStringList::Clear()
{
    if (Count() == 0)
    {
        std::vector<Item>().swap(items_);
        gap_ = gapLen_ = 0;
        return;
    }
    Changing();
    std::vector<Item>().swap(items_);
    gap_ = gapLen_ = 0;
    Changed();
}

void TStringList::Swap(TStringList& other) noexcept
{
    items_.swap(other.items_);
    std::swap(gap_, other.gap_);
    std::swap(gapLen_, other.gapLen_);
}

void TStringList::AppendMoving(AnsiString* rows, int count)
{
    if (sorted_)
        throw EStringListError(SSortedListError);
    if (count <= 0)
        return;
    const int n = Count();
    if (count > INT_MAX / int(sizeof(Item)) - n)
        throw EStringListError(SOutOfMemory);
    // The room first, so a failure leaves the list untouched; room reserved earlier is used.
    GapToEnd();
    items_.resize(size_t(n)); // the gap's empty slots go, the capacity stays
    gapLen_ = 0;
    if (size_t(n) + size_t(count) > items_.capacity())
    {
        const size_t most = size_t(INT_MAX / int(sizeof(Item)));
        std::vector<Item> bigger;
        bigger.reserve(std::max(size_t(n) + size_t(count), std::min(size_t(n) + size_t(n) / 2, most)));
        for (int i = 0; i < n; ++i)
            bigger.push_back(std::move(items_[size_t(i)]));
        items_.swap(bigger);
    }
    Changing();
    for (int i = 0; i < count; ++i)
        items_.push_back(Item{std::move(rows[i]), nullptr});
    gap_ = Count();
    Changed();
    Appended(n, count);
}

void TStringList::AppendTaking(TStringList& from)
{
    if (sorted_)
        throw EStringListError(SSortedListError);
    const int count = from.Count();
    if (&from == this || count == 0)
        return;
    const int n = Count();
    if (n == 0)
    {
        // Nothing to keep: the items and their room change hands.
        Changing();
        Swap(from);
        from.TStringList::Clear(); // only empty slots: no event
        Changed();
        Appended(0, count);
        return;
    }
    if (count > INT_MAX / int(sizeof(Item)) - n)
        throw EStringListError(SOutOfMemory);
    GapToEnd();
    items_.resize(size_t(n));
    gapLen_ = 0;
    from.GapToEnd();
    items_.reserve(size_t(n) + size_t(count)); // the only step that can fail: nothing moved yet
    Changing();
    for (int i = 0; i < count; ++i)
        items_.push_back(std::move(from.items_[size_t(i)]));
    gap_ = Count();
    from.items_.clear();
    from.gap_ = from.gapLen_ = 0;
    Changed();
    Appended(n, count);
}

void TStringList::Exchange(int index1, int index2)
{
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(items_[Slot(index1)], items_[Slot(index2)]);
    Changed();
}

int TStringList::IndexOf(const AnsiString& s)
{
    if (!sorted_)
        return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

int TStringList::GetCapacity() { return int(std::max(items_.capacity(), size_t(Count()))); }

void TStringList::SetCapacity(int capacity)
{
    if (capacity < Count() || capacity > INT_MAX / int(sizeof(Item)))
        throw EStringListError(Format(SListCapacityError, {capacity}));
    GapToEnd();
    items_.resize(size_t(Count()));
    gapLen_ = 0;
    if (size_t(capacity) > items_.capacity())
        items_.reserve(size_t(capacity));
    else if (size_t(capacity) < items_.capacity())
    {
        std::vector<Item> smaller;
        smaller.reserve(size_t(capacity));
        for (Item& it : items_)
            smaller.push_back(std::move(it));
        items_.swap(smaller);
    }
}

bool TStringList::Find(const AnsiString& s, int& index)
{
    // Lower bound, so with duplicates the first equal item is found.
    int lo = 0, hi = Count();
    while (lo < hi)
    {
        int mid = lo + (hi - lo) / 2;
        if (CompareStrings(items_[Slot(mid)].str, s) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    index = lo;
    return lo < Count() && CompareStrings(items_[Slot(lo)].str, s) == 0;
}

void TStringList::QuickSort(int left, int right, TStringListSortCompare compare)
{
    // Hoare partition around a tracked pivot slot; the compare function reads the list itself, so
    // items move in place. Recurse into the smaller side to bound the depth.
    while (left < right)
    {
        int i = left, j = right, p = left + (right - left) / 2;
        do
        {
            while (i != p && compare(this, i, p) < 0)
                ++i;
            while (j != p && compare(this, j, p) > 0)
                --j;
            if (i <= j)
            {
                if (i != j)
                {
                    std::swap(items_[Slot(i)], items_[Slot(j)]);
                    if (p == i)
                        p = j;
                    else if (p == j)
                        p = i;
                }
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - left < right - i)
        {
            QuickSort(left, j, compare);
            left = i;
        }
        else
        {
            QuickSort(i, right, compare);
            right = j;
        }
    }
}

void TStringList::CustomSort(TStringListSortCompare compare)
{
    if (sorted_ || Count() < 2)
        return;
    Changing();
    QuickSort(0, Count() - 1, compare);
    Changed();
}

void TStringList::Sort()
{
    if (sorted_ || Count() < 2)
        return;
    Changing();
    GapToEnd();
    QuickSort(0, Count() - 1,
              [](TStringList* list, int i, int j)
              { return list->CompareStrings(list->items_[size_t(i)].str, list->items_[size_t(j)].str); });
    Changed();
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted == sorted_)
        return;
    if (sorted)
        Sort();
    sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == caseSensitive_)
        return;
    caseSensitive_ = caseSensitive;
    if (sorted_)
    {
        sorted_ = false;
        Sort();
        sorted_ = true;
    }
}

int TStringList::CompareStrings(const AnsiString& a, const AnsiString& b)
{
    return caseSensitive_ ? a.Compare(b) : CompareText(a, b);
}

void TStringList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

// ---- TStream --------------------------------------------------------------------------------------------

int64_t TStream::GetSize()
{
    int64_t pos = Seek(0, soFromCurrent);
    int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

void TStream::SetSize(int64_t size) { throw EStreamError(Format(SStreamSizeError, {AnsiString()})); }

void TStream::ReadBuffer(void* buffer, int count)
{
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError(Format(SStreamReadError, {SReadPastEnd}));
}

void TStream::WriteBuffer(const void* buffer, int count)
{
    if (count <= 0)
        return;
    int done = Write(buffer, count);
    if (done != count)
        throw EWriteError(Format(SStreamWriteError, {Format(SWriteIncomplete, {count, done})}));
}

int64_t TStream::CopyFrom(TStream* source, int64_t count)
{
    if (count == 0)
    {
        source->SetPosition(0);
        count = source->GetSize();
    }
    const int kChunk = 65536;
    std::vector<char> buf(size_t(count < kChunk ? (count > 0 ? count : 1) : kChunk));
    int64_t left = count;
    while (left > 0)
    {
        int n = left < int64_t(buf.size()) ? int(left) : int(buf.size());
        source->ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream
// ----------------------------------------------------------------------------------------------

namespace
{
// Memory and string streams live in 32-bit address space: positions past this cannot be written.
constexpr int64_t kMaxMemory = INT_MAX - 64;

int64_t NewPosition(int64_t offset, TSeekOrigin origin, int64_t current, int64_t size)
{
    int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? current : size;
    int64_t pos = base + offset;
    if (pos < 0)
        throw EStreamError(SInvalidStreamPosition);
    return pos;
}
} // namespace

TMemoryStream::~TMemoryStream() { std::free(data_); }

void TMemoryStream::Reserve(int64_t capacity)
{
    if (capacity <= capacity_)
        return;
    if (capacity > kMaxMemory)
        throw EOutOfMemory(SStreamTooLarge);
    int64_t grown = (int64_t)capacity_ + capacity_ / 2 + 256;
    if (grown < capacity)
        grown = capacity;
    if (grown > kMaxMemory)
        grown = kMaxMemory;
    void* p = std::realloc(data_, size_t(grown));
    if (!p)
        throw EOutOfMemory(SOutOfMemory);
    data_ = static_cast<char*>(p);
    capacity_ = int(grown);
}

int TMemoryStream::Read(void* buffer, int count)
{
    if (count <= 0 || position_ >= size_)
        return 0;
    int n = int(std::min<int64_t>(count, size_ - position_));
    std::memcpy(buffer, data_ + position_, size_t(n));
    position_ += n;
    return n;
}

int TMemoryStream::Write(const void* buffer, int count)
{
    if (count <= 0)
        return 0;
    int64_t end = position_ + count;
    if (end > size_)
    {
        Reserve(end);
        if (position_ > size_)
            std::memset(data_ + size_, 0, size_t(position_ - size_));
        size_ = int(end);
    }
    std::memcpy(data_ + position_, buffer, size_t(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = NewPosition(offset, origin, position_, size_);
    return position_;
}

void TMemoryStream::SetSize(int64_t size)
{
    if (size < 0)
        throw EStreamError(Format(SStreamSizeError, {SInvalidStreamPosition}));
    Reserve(size);
    if (size > size_)
        std::memset(data_ + size_, 0, size_t(size - size_));
    size_ = int(size);
    if (position_ > size_)
        position_ = size_;
}

void TMemoryStream::Clear()
{
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream)
{
    stream->SetPosition(0);
    int64_t size = stream->GetSize();
    SetSize(size);
    if (size)
        stream->ReadBuffer(data_, int(size));
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream* stream)
{
    if (size_)
        stream->WriteBuffer(data_, size_);
}

// ---- TStringStream
// ----------------------------------------------------------------------------------------------

int TStringStream::Read(void* buffer, int count)
{
    int64_t size = data_.Length();
    if (count <= 0 || position_ >= size)
        return 0;
    int n = int(std::min<int64_t>(count, size - position_));
    std::memcpy(buffer, data_.c_str() + position_, size_t(n));
    position_ += n;
    return n;
}

int TStringStream::Write(const void* buffer, int count)
{
    if (count <= 0)
        return 0;
    int64_t end = position_ + count;
    if (end > kMaxMemory)
        throw EOutOfMemory(SStreamTooLarge);
    int len = data_.Length();
    if (position_ > len)
    {
        data_.SetLength(int(position_)); // zero-filled gap
        len = int(position_);
    }
    int overlap = int(std::min<int64_t>(count, len - position_));
    if (overlap > 0)
        std::memcpy(data_.Unique() + position_, buffer, size_t(overlap));
    if (overlap < count)
        data_.Append(static_cast<const char*>(buffer) + overlap, count - overlap);
    position_ = end;
    return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin)
{
    position_ = NewPosition(offset, origin, position_, data_.Length());
    return position_;
}

void TStringStream::SetSize(int64_t size)
{
    if (size < 0 || size > kMaxMemory)
        throw EStreamError(Format(SStreamSizeError, {SInvalidStreamPosition}));
    data_.SetLength(int(size));
    if (position_ > size)
        position_ = size;
}
