#include "Services.h"

#include "Cp932.h"

namespace
{
class TWin32Services : public TPlatformServices
{
public:
    int MessageBox(void* ownerHwnd, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        std::wstring wtext = SjisToWide(text);
        std::wstring wcaption = SjisToWide(caption);
        return MessageBoxW(static_cast<HWND>(ownerHwnd), wtext.c_str(), wcaption.c_str(), flags);
    }

    short GetKeyState(int vk) override { return ::GetKeyState(vk); }
};

TWin32Services win32Services;
TPlatformServices* current = &win32Services;
} // namespace

TPlatformServices& Services()
{
    return *current;
}

TPlatformServices* SetServices(TPlatformServices* services)
{
    TPlatformServices* previous = current;
    current = services ? services : &win32Services;
    return previous;
}
