// Our own small containers: nsString (one owned byte string), nsWString (one system-allocated wide
// string), nsArray<T> (growable array of values) and nsList<T> (growable list of owned pointers with
// an optional sort order and binary search).
#pragma once

#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/AnsiString.h"
#include "platform/SysUtils.h"

// One heap copy of a Shift-JIS byte string. The length is kept, so a NUL inside the text survives;
// the buffer is NUL-terminated as well. Empty text holds no buffer.
class nsString
{
public:
    nsString() noexcept = default;
    nsString(const char* s);          // NUL-terminated; null counts as ""
    nsString(const char* s, int len); // exactly len bytes
    nsString(const nsString& o);
    nsString(nsString&& o) noexcept : text_(o.text_), len_(o.len_)
    {
        o.text_ = nullptr;
        o.len_ = 0;
    }
    ~nsString();

    nsString& operator=(const nsString& o);
    nsString& operator=(nsString&& o) noexcept;
    nsString& operator=(const char* s);
    void Assign(const char* s, int len);

    // Null when empty (that is how the settings code tells an unset value).
    const char* Data() const noexcept { return text_; }
    // Never null.
    const char* c_str() const noexcept { return text_ ? text_ : ""; }
    int Length() const noexcept { return len_; }
    bool IsEmpty() const noexcept { return len_ == 0; }

    friend bool operator==(const nsString& a, const nsString& b) noexcept
    {
        return a.len_ == b.len_ && (a.len_ == 0 || std::memcmp(a.text_, b.text_, size_t(a.len_)) == 0);
    }
    friend bool operator!=(const nsString& a, const nsString& b) noexcept { return !(a == b); }

private:
    char* text_ = nullptr;
    int len_ = 0;
};

AnsiString NsStringToAnsi(const nsString& s);
nsString AnsiToNsString(const AnsiString& s);

// Case-blind order of names: bytes compare unsigned, ASCII letters fold to upper case, and both
// bytes of a double-byte character compare exactly (ア 83 41 and ヂ 83 61 stay different).
// Returns -1, 0 or 1; a prefix sorts first.
int CompareNsString(const nsString& a, const nsString& b);

// Default order of nsList items; element types of sorted lists provide NsListCompare.
inline int NsListCompare(const nsString& a, const nsString& b) { return CompareNsString(a, b); }

// One wide string allocated with SysAllocStringLen and freed with SysFreeString.
class nsWString
{
public:
    nsWString() noexcept = default;
    nsWString(const wchar_t* s, int len); // raises EOutOfMemory when the system refuses
    explicit nsWString(const wchar_t* s);
    nsWString(const nsWString& o);
    nsWString(nsWString&& o) noexcept : bstr_(o.bstr_) { o.bstr_ = nullptr; }
    ~nsWString();
    nsWString& operator=(const nsWString& o);
    nsWString& operator=(nsWString&& o) noexcept;

    const wchar_t* c_str() const noexcept { return bstr_ ? bstr_ : L""; }
    wchar_t* Data() noexcept { return bstr_; }
    int Length() const noexcept;
    bool IsEmpty() const noexcept { return Length() == 0; }

private:
    wchar_t* bstr_ = nullptr;
};

namespace nsDetail
{
[[noreturn]] void RaiseIndex(const char* what, long long index, int count);
[[noreturn]] void RaiseSize(const char* what);
} // namespace nsDetail

// Growable array of values. Writing through operator[] at or past the count extends the array with
// value-initialised elements; reading through At (or a const array) never grows it. A reference
// into the array is invalid after anything that may grow it.
template <typename T>
class nsArray
{
public:
    static constexpr int kGrowBy = 64;

    nsArray() noexcept = default;
    nsArray(const nsArray& o) { CopyFrom(o); }
    nsArray(nsArray&& o) noexcept { Steal(o); }
    ~nsArray() { delete[] data_; }
    nsArray& operator=(const nsArray& o)
    {
        if (this != &o)
        {
            nsArray tmp(o);
            Swap(tmp);
        }
        return *this;
    }
    nsArray& operator=(nsArray&& o) noexcept
    {
        if (this != &o)
        {
            Clear();
            Steal(o);
        }
        return *this;
    }

    // Grows to index + 1 elements when index is at or past the count. A negative index or one the
    // array cannot reach raises ERangeError and changes nothing.
    T& operator[](int index)
    {
        if (index < 0)
            nsDetail::RaiseIndex("nsArray index", index, count_);
        if (index >= count_)
        {
            if (index >= MaxCount())
                nsDetail::RaiseIndex("nsArray index", index, count_);
            Resize(index + 1);
            count_ = index + 1;
        }
        return data_[index];
    }
    const T& operator[](int index) const { return At(index); }

    // Checked access without growth.
    T& At(int index)
    {
        if (!IsValidIndex(index))
            nsDetail::RaiseIndex("nsArray index", index, count_);
        return data_[index];
    }
    const T& At(int index) const
    {
        if (!IsValidIndex(index))
            nsDetail::RaiseIndex("nsArray index", index, count_);
        return data_[index];
    }

    int Add(const T& value)
    {
        if (count_ >= MaxCount())
            nsDetail::RaiseSize("nsArray too large");
        if (count_ + 1 > capacity_)
        {
            // value may live in our own storage: copy it before the old block goes.
            T copy(value);
            Resize(count_ + 1);
            data_[count_] = std::move(copy);
        }
        else
            data_[count_] = value;
        return count_++;
    }

    // Makes room for n elements; the count is unchanged. Capacity is a multiple of the step and
    // at least doubles, so appending is linear.
    void Resize(int n)
    {
        if (n <= capacity_)
            return;
        if (n > MaxCount())
            nsDetail::RaiseSize("nsArray too large");
        long long want = ((long long)n / kGrowBy + 1) * kGrowBy;
        if (want < 2LL * capacity_)
            want = 2LL * capacity_;
        if (want > MaxCount())
            want = MaxCount();
        Reallocate(int(want));
    }

    // Exact room for a known final size (rounded up to the step).
    void Reserve(int n)
    {
        if (n <= capacity_)
            return;
        if (n > MaxCount())
            nsDetail::RaiseSize("nsArray too large");
        long long want = ((long long)n + kGrowBy - 1) / kGrowBy * kGrowBy;
        if (want > MaxCount())
            want = MaxCount();
        Reallocate(int(want));
    }

    void Clear() noexcept
    {
        delete[] data_;
        data_ = nullptr;
        capacity_ = 0;
        count_ = 0;
    }

    bool IsValidIndex(int index) const noexcept { return index >= 0 && index < count_; }
    int Count() const noexcept { return count_; }
    int Capacity() const noexcept { return capacity_; }

    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + count_; }
    const T* begin() const noexcept { return data_; }
    const T* end() const noexcept { return data_ + count_; }

    void Swap(nsArray& o) noexcept
    {
        std::swap(capacity_, o.capacity_);
        std::swap(data_, o.data_);
        std::swap(count_, o.count_);
    }

    static constexpr int MaxCount() noexcept
    {
        constexpr long long bySize = (long long)(INT_MAX / 2) / (long long)sizeof(T);
        return int(bySize / kGrowBy * kGrowBy);
    }

private:
    void Reallocate(int newCapacity)
    {
        T* fresh = new T[size_t(newCapacity)]();
        for (int i = 0; i < count_; ++i)
            fresh[i] = std::move(data_[i]);
        delete[] data_;
        data_ = fresh;
        capacity_ = newCapacity;
    }
    void CopyFrom(const nsArray& o)
    {
        if (o.count_ == 0)
            return;
        Reserve(o.count_);
        for (int i = 0; i < o.count_; ++i)
            data_[i] = o.data_[i];
        count_ = o.count_;
    }
    void Steal(nsArray& o) noexcept
    {
        capacity_ = o.capacity_;
        data_ = o.data_;
        count_ = o.count_;
        o.capacity_ = 0;
        o.data_ = nullptr;
        o.count_ = 0;
    }

    int capacity_ = 0;
    T* data_ = nullptr;
    int count_ = 0;
};

// Order of nsList items: the element type's NsListCompare (found by argument-dependent lookup).
struct nsListDefaultCompare
{
    template <typename T>
    int operator()(const T& a, const T& b) const
    {
        return NsListCompare(a, b);
    }
};

// Growable list of pointers, owning its items by default. Slots may be null (Pack removes them).
template <typename T, typename Compare = nsListDefaultCompare>
class nsList
{
public:
    static constexpr int kGrowBy = 1024;

    nsList() noexcept = default;
    nsList(const nsList&) = delete;
    nsList& operator=(const nsList&) = delete;
    ~nsList()
    {
        Clear();
        delete[] items_;
    }

    // A null item is refused with -1.
    int Add(T* item, bool markUnsorted = true)
    {
        if (!item)
            return -1;
        if (count_ + 1 > capacity_)
            Grow(count_ + 1);
        items_[count_] = item;
        if (markUnsorted)
            sorted_ = false;
        return count_++;
    }

    // index == Count() appends; returns 1 when stored, -1 for a null item or an index outside
    // 0..Count() (nothing changes then).
    int Insert(int index, T* item, bool markUnsorted = true)
    {
        if (!item || index < 0 || index > count_)
            return -1;
        if (count_ + 1 > capacity_)
            Grow(count_ + 1);
        std::memmove(items_ + index + 1, items_ + index, sizeof(T*) * size_t(count_ - index));
        items_[index] = item;
        ++count_;
        if (markUnsorted)
            sorted_ = false;
        return 1;
    }

    // Removes the slot; the item is deleted when the list owns its items. False for a bad index.
    bool Delete(int index)
    {
        if (index < 0 || index >= count_)
            return false;
        T* item = Extract(index);
        if (owns_)
            delete item;
        return true;
    }

    // Removes the slot and hands the item to the caller (never deleted here). Null for a bad
    // index (or a null slot).
    T* Extract(int index)
    {
        if (index < 0 || index >= count_)
            return nullptr;
        T* item = items_[index];
        std::memmove(items_ + index, items_ + index + 1, sizeof(T*) * size_t(count_ - index - 1));
        items_[--count_] = nullptr;
        return item;
    }

    T* Get(int index) const noexcept { return (index >= 0 && index < count_) ? items_[index] : nullptr; }
    T* At(int index) const noexcept { return Get(index); }
    int Count() const noexcept { return count_; }
    int Capacity() const noexcept { return capacity_; }
    bool Owns() const noexcept { return owns_; }
    void SetOwns(bool owns) noexcept { owns_ = owns; }
    bool IsSorted() const noexcept { return sorted_; }

    // Empties the list (deleting owned items); the slot array stays allocated.
    void Clear() noexcept
    {
        for (int i = 0; i < count_; ++i)
        {
            if (owns_)
                delete items_[i];
            items_[i] = nullptr;
        }
        count_ = 0;
    }

    // Room for n items without further growth (callers that know the final size).
    void Reserve(int n)
    {
        if (n > capacity_)
            Reallocate(n);
    }

    // Moves the non-null pointers to the front, keeping their order.
    void Pack() noexcept
    {
        int to = 0;
        for (int i = 0; i < count_; ++i)
            if (items_[i])
                items_[to++] = items_[i];
        for (int i = to; i < count_; ++i)
            items_[i] = nullptr;
        count_ = to;
    }

    // In-place heap sort into ascending order; equal items end in no particular order.
    void Sort()
    {
        Pack();
        for (int i = count_ / 2 - 1; i >= 0; --i)
            SiftDown(i, count_);
        for (int end = count_ - 1; end > 0; --end)
        {
            std::swap(items_[0], items_[end]);
            SiftDown(0, end);
        }
        sorted_ = true;
    }

    // True when equal items exist: first and last are then the lowest and highest equal index.
    // Otherwise false, with last the insertion point (first = last - 1).
    bool Find(const T* key, int& first, int& last)
    {
        if (count_ == 0)
        {
            first = -1;
            last = 0;
            return false;
        }
        if (!sorted_)
            Sort();
        return BinarySearch(key, first, last);
    }

    // Keeps the list sorted; a new item equal to existing ones goes before the first of them.
    int AddSorted(T* item)
    {
        if (!item)
            return -1;
        if (!sorted_)
            Sort();
        if (count_ == 0)
            return Add(item, false);
        int first = 0, last = 0;
        int at = Find(item, first, last) ? first : last;
        return Insert(at, item, false) == 1 ? at : -1;
    }

    T* FindItem(const T* key)
    {
        int first = 0, last = 0;
        return Find(key, first, last) ? items_[first] : nullptr;
    }

private:
    int Cmp(const T* a, const T* b) const { return Compare()(*a, *b); }

    void SiftDown(int node, int size)
    {
        for (;;)
        {
            int child = 2 * node + 1;
            if (child >= size)
                return;
            if (child + 1 < size && Cmp(items_[child], items_[child + 1]) < 0)
                ++child;
            if (Cmp(items_[node], items_[child]) >= 0)
                return;
            std::swap(items_[node], items_[child]);
            node = child;
        }
    }

    bool BinarySearch(const T* key, int& first, int& last) const
    {
        int lo = 0, hi = count_ - 1;
        while (lo <= hi)
        {
            int mid = lo + (hi - lo) / 2;
            int c = Cmp(key, items_[mid]);
            if (c == 0)
            {
                first = mid;
                while (first > 0 && Cmp(key, items_[first - 1]) == 0)
                    --first;
                last = mid;
                while (last + 1 < count_ && Cmp(key, items_[last + 1]) == 0)
                    ++last;
                return true;
            }
            if (c < 0)
                hi = mid - 1;
            else
                lo = mid + 1;
        }
        first = hi;
        last = lo;
        return false;
    }

    void Grow(int need)
    {
        if (growBy_ == 0)
            growBy_ = kGrowBy;
        long long want = (long long)capacity_ + (capacity_ > growBy_ ? capacity_ : growBy_);
        if (want < need)
            want = need;
        constexpr long long maxSlots = (long long)(INT_MAX / 2) / (long long)sizeof(T*);
        if (need > maxSlots)
            nsDetail::RaiseSize("nsList too large");
        if (want > maxSlots)
            want = maxSlots;
        Reallocate(int(want));
    }

    void Reallocate(int newCapacity)
    {
        T** fresh = new T*[size_t(newCapacity)]();
        if (count_ > 0)
            std::memcpy(fresh, items_, sizeof(T*) * size_t(count_));
        delete[] items_;
        items_ = fresh;
        capacity_ = newCapacity;
    }

    int growBy_ = kGrowBy;
    int count_ = 0;
    int capacity_ = 0;
    T** items_ = nullptr;
    bool owns_ = true;
    bool sorted_ = false;
};
