#include "Nsenumwindows.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <string>

#include "platform/AnsiString.h"
#include "platform/Cp932.h"
#include "platform/Services.h"

namespace
{
void* g_owner = nullptr;
char g_caption[kMsgCaptionSize] = "Varnolet for Windows";

// Length of s[0..len) without a lead byte whose trail byte was cut off.
int WholeCharacters(const char* s, int len)
{
    int i = 0;
    while (i < len)
    {
        if (IsSjisLead((unsigned char)s[i]))
        {
            if (i + 1 >= len)
                return i;
            i += 2;
        }
        else
            ++i;
    }
    return len;
}

// The whole formatted text, however long: a message that lost its end would lose its reason.
AnsiString FormatWhole(const char* format, va_list args)
{
    if (!format)
        format = "";
    std::string buf(512, '\0');
    for (;;)
    {
        va_list each;
        va_copy(each, args);
        int n = std::vsnprintf(buf.data(), buf.size(), format, each);
        va_end(each);
        if (n >= 0 && size_t(n) < buf.size())
            return AnsiString(buf.data(), n);
        // A C library that reports no length only says "too small"; an error that no size mends
        // stops at a bound.
        if (n < 0 && buf.size() >= (size_t(1) << 26))
            return AnsiString(format);
        buf.resize(n >= 0 ? size_t(n) + 1 : buf.size() * 2);
    }
}

// A box over a window that a modal dialog has disabled would bring that window to the front as it
// closes, above the dialog, which then takes no keys: the active dialog owns the box instead.
void* BoxOwner()
{
    HWND owner = static_cast<HWND>(g_owner);
    if (owner && IsWindow(owner) && !IsWindowEnabled(owner))
        if (HWND active = GetActiveWindow(); active && active != owner && IsWindowEnabled(active))
            return active;
    return g_owner;
}

int Show(unsigned flags, const char* format, va_list args)
{
    AnsiString text = FormatWhole(format, args);
    return Services().MessageBox(BoxOwner(), text, AnsiString(g_caption), flags);
}

unsigned DefaultButtonFlag(TBoxDefault def) { return def == bdNo ? MB_DEFBUTTON2 : MB_DEFBUTTON1; }
} // namespace

AnsiString NameForBox(const AnsiString& name)
{
    std::wstring w = SjisToWide(name);
    constexpr size_t kHead = 120, kTail = 60;
    if (w.size() <= kHead + kTail + 1)
        return name;
    return WideToSjis(w.substr(0, kHead) + L"\u2026" + w.substr(w.size() - kTail));
}

void SetMessageOwner(void* ownerHwnd) { g_owner = ownerHwnd; }

void* MessageOwner() { return g_owner; }

void SetMsgCaption(const char* text)
{
    if (!text)
        text = "";
    int len = int(strnlen(text, kMsgCaptionSize));
    if (len >= kMsgCaptionSize)
        len = WholeCharacters(text, kMsgCaptionSize - 1);
    std::memcpy(g_caption, text, size_t(len));
    g_caption[len] = '\0';
}

const char* MsgCaption() { return g_caption; }

int ErrorBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_ICONERROR, format, args);
    va_end(args);
    return r;
}

int WarningBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_ICONWARNING, format, args);
    va_end(args);
    return r;
}

int InfoBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_ICONINFORMATION, format, args);
    va_end(args);
    return r;
}

TBoxAnswer YesNoBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_YESNO | MB_ICONINFORMATION, format, args);
    va_end(args);
    return r == IDYES ? baYes : baNo;
}

TBoxAnswer YesNoBox(TBoxDefault def, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_YESNO | MB_ICONINFORMATION | DefaultButtonFlag(def), format, args);
    va_end(args);
    return r == IDYES ? baYes : baNo;
}

namespace
{
TBoxAnswer YesNoCancelAnswer(int r)
{
    if (r == IDYES)
        return baYes;
    if (r == IDNO)
        return baNo;
    return baCancel;
}
} // namespace

TBoxAnswer YesNoCancelBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_YESNOCANCEL | MB_ICONINFORMATION, format, args);
    va_end(args);
    return YesNoCancelAnswer(r);
}

TBoxAnswer YesNoCancelBox(TBoxDefault def, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int r = Show(MB_YESNOCANCEL | MB_ICONINFORMATION | DefaultButtonFlag(def), format, args);
    va_end(args);
    return YesNoCancelAnswer(r);
}
