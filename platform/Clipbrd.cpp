#include "Clipbrd.h"

#include <windows.h>

#include <cstring>

#include "Cp932.h"
#include "Forms.h"
#include "SysUtils.h"

namespace
{
HWND OwnerWindow()
{
    return Application ? Application->Handle() : nullptr;
}

// Hands a copy of the bytes to the clipboard under format; the clipboard must be open.
void PutGlobal(unsigned format, const void* data, size_t size)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size > 0 ? size : 1);
    if (!h)
        throw EOutOfMemory("Out of memory");
    void* p = GlobalLock(h);
    if (size > 0)
        std::memcpy(p, data, size);
    GlobalUnlock(h);
    if (!SetClipboardData(format, h))
    {
        GlobalFree(h);
        RaiseLastOSError();
    }
}
} // namespace

TClipboard* Clipboard()
{
    static TClipboard clipboard;
    return &clipboard;
}

unsigned RegisterClipboardFormatSjis(const AnsiString& name)
{
    return RegisterClipboardFormatW(SjisToWide(name).c_str());
}

void TClipboard::Open()
{
    if (openCount_ == 0)
    {
        // Another program may hold the clipboard for a moment.
        bool opened = false;
        for (int attempt = 0; attempt < 10 && !opened; ++attempt)
        {
            opened = OpenClipboard(OwnerWindow()) != 0;
            if (!opened)
                Sleep(10);
        }
        if (!opened)
            throw Exception("Cannot open clipboard");
        emptied_ = false;
    }
    ++openCount_;
}

void TClipboard::Close()
{
    if (openCount_ == 0)
        return;
    if (--openCount_ == 0)
        CloseClipboard();
}

void TClipboard::Clear()
{
    Open();
    EmptyClipboard();
    emptied_ = true;
    Close();
}

AnsiString TClipboard::GetAsText()
{
    Open();
    AnsiString result;
    HANDLE h = GetClipboardData(CF_UNICODETEXT);
    if (h)
    {
        const wchar_t* w = static_cast<const wchar_t*>(GlobalLock(h));
        if (w)
        {
            size_t max = GlobalSize(h) / sizeof(wchar_t);
            size_t n = 0;
            while (n < max && w[n])
                ++n;
            result = WideToSjis(w, int(n));
            GlobalUnlock(h);
        }
    }
    Close();
    return result;
}

void TClipboard::SetAsText(const AnsiString& text)
{
    std::wstring w = SjisToWide(text);
    Open();
    try
    {
        if (!emptied_)
        {
            EmptyClipboard();
            emptied_ = true;
        }
        PutGlobal(CF_UNICODETEXT, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    }
    catch (...)
    {
        Close();
        throw;
    }
    Close();
}

bool TClipboard::HasFormat(unsigned format) { return IsClipboardFormatAvailable(format) != 0; }

void TClipboard::SetBuffer(unsigned format, const void* data, int size)
{
    Open();
    try
    {
        PutGlobal(format, data, size_t(size > 0 ? size : 0));
    }
    catch (...)
    {
        Close();
        throw;
    }
    Close();
}

AnsiString TClipboard::GetBuffer(unsigned format)
{
    Open();
    AnsiString result;
    HANDLE h = GetClipboardData(format);
    if (h)
    {
        const char* p = static_cast<const char*>(GlobalLock(h));
        if (p)
        {
            result = AnsiString(p, int(GlobalSize(h)));
            GlobalUnlock(h);
        }
    }
    Close();
    return result;
}
