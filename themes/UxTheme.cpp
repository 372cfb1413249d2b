#include "UxTheme.h"

#include <mutex>
#include <string>

#include "platform/Threads.h"

namespace UxTheme
{
decltype(&::OpenThemeData) OpenThemeData = nullptr;
decltype(&::CloseThemeData) CloseThemeData = nullptr;
decltype(&::DrawThemeBackground) DrawThemeBackground = nullptr;
decltype(&::DrawThemeText) DrawThemeText = nullptr;
decltype(&::GetThemeBackgroundContentRect) GetThemeBackgroundContentRect = nullptr;
decltype(&::DrawThemeEdge) DrawThemeEdge = nullptr;
decltype(&::DrawThemeIcon) DrawThemeIcon = nullptr;
decltype(&::IsThemeBackgroundPartiallyTransparent) IsThemeBackgroundPartiallyTransparent = nullptr;
decltype(&::GetThemeSysColor) GetThemeSysColor = nullptr;
decltype(&::IsThemeActive) IsThemeActive = nullptr;
decltype(&::IsAppThemed) IsAppThemed = nullptr;
decltype(&::EnableThemeDialogTexture) EnableThemeDialogTexture = nullptr;
decltype(&::GetThemeAppProperties) GetThemeAppProperties = nullptr;
decltype(&::SetThemeAppProperties) SetThemeAppProperties = nullptr;
decltype(&::DrawThemeParentBackground) DrawThemeParentBackground = nullptr;
} // namespace UxTheme

namespace
{
HMODULE themeLibrary = nullptr;
int referenceCount = 0;
// Made at start-up, before any thread can load the library; freed by
// FinalizeUxTheme.
TCriticalSection* themeLibraryLock = new TCriticalSection;

struct TEntry
{
    const char* name;
    FARPROC* pointer;
};

template <class F> FARPROC* Slot(F& pointer)
{
    return reinterpret_cast<FARPROC*>(&pointer);
}

const TEntry entries[] = {
    {"OpenThemeData", Slot(UxTheme::OpenThemeData)},
    {"CloseThemeData", Slot(UxTheme::CloseThemeData)},
    {"DrawThemeBackground", Slot(UxTheme::DrawThemeBackground)},
    {"DrawThemeText", Slot(UxTheme::DrawThemeText)},
    {"GetThemeBackgroundContentRect", Slot(UxTheme::GetThemeBackgroundContentRect)},
    {"DrawThemeEdge", Slot(UxTheme::DrawThemeEdge)},
    {"DrawThemeIcon", Slot(UxTheme::DrawThemeIcon)},
    {"IsThemeBackgroundPartiallyTransparent", Slot(UxTheme::IsThemeBackgroundPartiallyTransparent)},
    {"GetThemeSysColor", Slot(UxTheme::GetThemeSysColor)},
    {"IsThemeActive", Slot(UxTheme::IsThemeActive)},
    {"IsAppThemed", Slot(UxTheme::IsAppThemed)},
    {"EnableThemeDialogTexture", Slot(UxTheme::EnableThemeDialogTexture)},
    {"GetThemeAppProperties", Slot(UxTheme::GetThemeAppProperties)},
    {"SetThemeAppProperties", Slot(UxTheme::SetThemeAppProperties)},
    {"DrawThemeParentBackground", Slot(UxTheme::DrawThemeParentBackground)},
};

// From the system folder only: a library of the same name beside the program or
// in the current folder must never be picked up instead.
HMODULE LoadSystemLibrary(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    return LoadLibraryW(path.c_str());
}
} // namespace

bool InitThemeLibrary()
{
    if (!themeLibraryLock)
        return false;
    std::lock_guard<TCriticalSection> hold(*themeLibraryLock);
    ++referenceCount;
    if (!themeLibrary)
    {
        themeLibrary = LoadSystemLibrary(L"uxtheme.dll");
        if (themeLibrary)
            for (const TEntry& entry : entries)
                *entry.pointer = GetProcAddress(themeLibrary, entry.name);
    }
    return themeLibrary != nullptr;
}

void FreeThemeLibrary()
{
    if (!themeLibraryLock)
        return;
    std::lock_guard<TCriticalSection> hold(*themeLibraryLock);
    if (referenceCount > 0)
        --referenceCount;
    if (themeLibrary && referenceCount == 0)
    {
        FreeLibrary(themeLibrary);
        themeLibrary = nullptr;
        for (const TEntry& entry : entries)
            *entry.pointer = nullptr;
    }
}

bool UseThemes()
{
    return themeLibrary && UxTheme::IsAppThemed && UxTheme::IsThemeActive && UxTheme::IsAppThemed() &&
           UxTheme::IsThemeActive();
}

HMODULE ThemeLibrary()
{
    return themeLibrary;
}

int ThemeLibraryReferenceCount()
{
    return referenceCount;
}

void FinalizeUxTheme()
{
    if (!themeLibraryLock)
        return;
    while (referenceCount > 0)
        FreeThemeLibrary();
    delete themeLibraryLock;
    themeLibraryLock = nullptr;
}
