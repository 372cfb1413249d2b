#include "common/Nsimereconvert.h"

#include <cstdlib>
#include <cstring>

#include <imm.h>

#include "platform/Cp932.h"

namespace
{
bool HandOver(HWND window, const AnsiString& text, bool wide)
{
    HIMC context = ImmGetContext(window);
    if (!context)
        return false;
    std::vector<unsigned char> block = ReconvertBlock(text, wide);
    const BOOL set = wide ? ImmSetCompositionStringW(context, SCS_SETRECONVERTSTRING, block.data(), DWORD(block.size()),
                                                     nullptr, 0)
                          : ImmSetCompositionStringA(context, SCS_SETRECONVERTSTRING, block.data(), DWORD(block.size()),
                                                     nullptr, 0);
    if (set)
    {
        ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CONVERT, 0);
        ImmNotifyIME(context, NI_OPENCANDIDATE, 0, 0);
    }
    ImmReleaseContext(window, context);
    return set != FALSE;
}
} // namespace

std::vector<unsigned char> ReconvertBlock(const AnsiString& text, bool wide)
{
    const std::wstring w = wide ? SjisToWide(text) : std::wstring();
    const DWORD chars = wide ? DWORD(w.size()) : DWORD(text.Length());
    const DWORD bytes = wide ? chars * sizeof(wchar_t) : chars;
    std::vector<unsigned char> block(sizeof(RECONVERTSTRING) + bytes + sizeof(wchar_t), 0);
    RECONVERTSTRING header{};
    header.dwSize = DWORD(block.size());
    header.dwVersion = 0;
    header.dwStrLen = chars;
    header.dwStrOffset = sizeof(RECONVERTSTRING);
    header.dwCompStrLen = chars;
    header.dwCompStrOffset = 0;
    header.dwTargetStrLen = chars;
    header.dwTargetStrOffset = 0;
    std::memcpy(block.data(), &header, sizeof header);
    if (bytes)
        std::memcpy(block.data() + sizeof header, wide ? static_cast<const void*>(w.data()) : text.c_str(), bytes);
    return block;
}

bool DescriptionIsRecentAtok(const AnsiString& description)
{
    const int at = description.Pos("ATOK");
    if (at == 0)
        return false;
    const AnsiString digits = description.SubString(at + 4, 2);
    int version = 0, n = 0;
    while (n < digits.Length() && digits[n + 1] >= '0' && digits[n + 1] <= '9')
        version = version * 10 + (digits[++n] - '0');
    return version >= 12;
}

bool ImeCapability(int kind)
{
    HKL layout = GetKeyboardLayout(0);
    switch (kind)
    {
    case 1: return ImmGetProperty(layout, IGP_SETCOMPSTR) != 0;
    case 2:
    {
        HWND ime = ImmGetDefaultIMEWnd(GetActiveWindow());
        const UINT request = RegisterWindowMessageW(L"MSIMEReconvertRequest");
        return ime && SendMessageW(ime, request, 0x10000000, 0) != 0;
    }
    case 3:
    {
        wchar_t buf[256] = {};
        const UINT n = ImmGetDescriptionW(layout, buf, 255);
        return DescriptionIsRecentAtok(WideToSjis(buf, int(n)));
    }
    default: return false;
    }
}

void ImeReconvert(HWND window, const AnsiString& text)
{
    if (text.IsEmpty())
        return;
    if (ImeCapability(3))
        HandOver(window, text, true);
    HandOver(window, text, !ImeCapability(1));
}
