// The seam for what a test cannot click or press: message boxes and the physical key state go
// through one replaceable object, so tests run headless and answer a box with Yes, No or Cancel.
#pragma once

#include <windows.h>
#undef MessageBox // our TPlatformServices::MessageBox, not the A/W macro

#include "AnsiString.h"

class TPlatformServices
{
public:
    virtual ~TPlatformServices() = default;
    // Returns the button pressed (IDOK, IDYES...), or 0 when the box could not be shown.
    virtual int MessageBox(void* ownerHwnd, const AnsiString& text, const AnsiString& caption,
                           unsigned flags) = 0;
    virtual short GetKeyState(int vk) = 0;
};

// The services in use: the Win32 ones unless a test installed others.
TPlatformServices& Services();
// Installs services (nullptr: the Win32 ones again) and returns the previous ones.
TPlatformServices* SetServices(TPlatformServices* services);
