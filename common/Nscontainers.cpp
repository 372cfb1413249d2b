#include "Nscontainers.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>

namespace
{
int CheckedLength(size_t n)
{
    if (n > size_t(INT_MAX - 1))
        nsDetail::RaiseSize("nsString too long");
    return int(n);
}

// A fresh NUL-terminated copy, or null for an empty text.
char* Duplicate(const char* s, int len)
{
    if (!s || len <= 0)
        return nullptr;
    char* p = new char[size_t(len) + 1];
    std::memcpy(p, s, size_t(len));
    p[len] = '\0';
    return p;
}

unsigned char FoldAscii(unsigned char b) { return (b >= 'a' && b <= 'z') ? (unsigned char)(b - 0x20) : b; }
} // namespace

namespace nsDetail
{
void RaiseIndex(const char* what, long long index, int count)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %lld out of bounds (count %d)", what, index, count);
    throw ERangeError(buf);
}

void RaiseSize(const char* what) { throw EOutOfMemory(what); }
} // namespace nsDetail

nsString::nsString(const char* s) : nsString(s, s ? CheckedLength(std::strlen(s)) : 0) {}

nsString::nsString(const char* s, int len) : text_(Duplicate(s, len)), len_(text_ ? len : 0) {}

nsString::nsString(const nsString& o) : text_(Duplicate(o.text_, o.len_)), len_(o.len_) {}

nsString::~nsString() { delete[] text_; }

nsString& nsString::operator=(const nsString& o)
{
    Assign(o.text_, o.len_);
    return *this;
}

nsString& nsString::operator=(nsString&& o) noexcept
{
    if (this != &o)
    {
        delete[] text_;
        text_ = o.text_;
        len_ = o.len_;
        o.text_ = nullptr;
        o.len_ = 0;
    }
    return *this;
}

nsString& nsString::operator=(const char* s)
{
    Assign(s, s ? CheckedLength(std::strlen(s)) : 0);
    return *this;
}

void nsString::Assign(const char* s, int len)
{
    // Copy first: s may be our own buffer or point into it.
    char* fresh = Duplicate(s, len);
    delete[] text_;
    text_ = fresh;
    len_ = fresh ? len : 0;
}

AnsiString NsStringToAnsi(const nsString& s) { return AnsiString(s.Data(), s.Length()); }

nsString AnsiToNsString(const AnsiString& s) { return nsString(s.c_str(), s.Length()); }

int CompareNsString(const nsString& a, const nsString& b)
{
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a.c_str());
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b.c_str());
    const int na = a.Length(), nb = b.Length();
    int i = 0;
    while (i < na && i < nb)
    {
        unsigned char ca = pa[i], cb = pb[i];
        // Equal prefixes keep both texts on the same character boundaries, so a lead byte here
        // is a lead byte in both, and its trail byte compares without folding.
        if (IsSjisLead(ca) && i + 1 < na && i + 1 < nb && ca == cb)
        {
            unsigned char ta = pa[i + 1], tb = pb[i + 1];
            if (ta != tb)
                return ta > tb ? 1 : -1;
            i += 2;
            continue;
        }
        ca = FoldAscii(ca);
        cb = FoldAscii(cb);
        if (ca != cb)
            return ca > cb ? 1 : -1;
        ++i;
    }
    if (na == nb)
        return 0;
    return na > nb ? 1 : -1;
}

nsWString::nsWString(const wchar_t* s, int len)
{
    if (!s || len <= 0)
        return;
    bstr_ = SysAllocStringLen(s, UINT(len));
    if (!bstr_)
        throw EOutOfMemory("SysAllocStringLen failed");
}

nsWString::nsWString(const wchar_t* s) : nsWString(s, s ? CheckedLength(std::wcslen(s)) : 0) {}

nsWString::nsWString(const nsWString& o) : nsWString(o.bstr_, o.Length()) {}

nsWString::~nsWString()
{
    if (bstr_)
        SysFreeString(bstr_);
}

nsWString& nsWString::operator=(const nsWString& o)
{
    if (this != &o)
    {
        nsWString tmp(o);
        std::swap(bstr_, tmp.bstr_);
    }
    return *this;
}

nsWString& nsWString::operator=(nsWString&& o) noexcept
{
    std::swap(bstr_, o.bstr_);
    return *this;
}

int nsWString::Length() const noexcept { return bstr_ ? int(SysStringLen(bstr_)) : 0; }
