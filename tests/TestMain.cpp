// Test entry: GoogleTest under Wine, with the application object ready and message boxes that
// never wait for a click (a test that wants to see or answer a box installs its own services).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Services.h"

namespace
{

std::string ToUtf8(const AnsiString& s)
{
    std::wstring w = SjisToWide(s);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Answers each box at once with its most cautious button and logs it; no key is ever down.
class THeadlessServices : public TPlatformServices
{
public:
    int MessageBox(void*, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        std::fprintf(stderr, "[message box] %s: %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
        switch (flags & MB_TYPEMASK)
        {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL: return IDCANCEL;
        case MB_YESNO: return IDNO;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        default: return IDOK;
        }
    }
    short GetKeyState(int) override { return 0; }
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    static THeadlessServices headless;
    SetServices(&headless);
    Application->Initialize();
    return RUN_ALL_TESTS();
}
