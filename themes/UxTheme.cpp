#include "UxTheme.h"

#include <iterator>
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
decltype(&::GetThemeBackgroundExtent) GetThemeBackgroundExtent = nullptr;
decltype(&::GetThemePartSize) GetThemePartSize = nullptr;
decltype(&::GetThemeTextExtent) GetThemeTextExtent = nullptr;
decltype(&::GetThemeTextMetrics) GetThemeTextMetrics = nullptr;
decltype(&::GetThemeBackgroundRegion) GetThemeBackgroundRegion = nullptr;
decltype(&::HitTestThemeBackground) HitTestThemeBackground = nullptr;
decltype(&::DrawThemeEdge) DrawThemeEdge = nullptr;
decltype(&::DrawThemeIcon) DrawThemeIcon = nullptr;
decltype(&::IsThemePartDefined) IsThemePartDefined = nullptr;
decltype(&::IsThemeBackgroundPartiallyTransparent) IsThemeBackgroundPartiallyTransparent = nullptr;
decltype(&::GetThemeColor) GetThemeColor = nullptr;
decltype(&::GetThemeMetric) GetThemeMetric = nullptr;
decltype(&::GetThemeString) GetThemeString = nullptr;
decltype(&::GetThemeBool) GetThemeBool = nullptr;
decltype(&::GetThemeInt) GetThemeInt = nullptr;
decltype(&::GetThemeEnumValue) GetThemeEnumValue = nullptr;
decltype(&::GetThemePosition) GetThemePosition = nullptr;
decltype(&::GetThemeFont) GetThemeFont = nullptr;
decltype(&::GetThemeRect) GetThemeRect = nullptr;
decltype(&::GetThemeMargins) GetThemeMargins = nullptr;
decltype(&::GetThemeIntList) GetThemeIntList = nullptr;
decltype(&::GetThemePropertyOrigin) GetThemePropertyOrigin = nullptr;
decltype(&::SetWindowTheme) SetWindowTheme = nullptr;
decltype(&::GetThemeFilename) GetThemeFilename = nullptr;
decltype(&::GetThemeSysColor) GetThemeSysColor = nullptr;
decltype(&::GetThemeSysColorBrush) GetThemeSysColorBrush = nullptr;
decltype(&::GetThemeSysBool) GetThemeSysBool = nullptr;
decltype(&::GetThemeSysSize) GetThemeSysSize = nullptr;
decltype(&::GetThemeSysFont) GetThemeSysFont = nullptr;
decltype(&::GetThemeSysString) GetThemeSysString = nullptr;
decltype(&::GetThemeSysInt) GetThemeSysInt = nullptr;
decltype(&::IsThemeActive) IsThemeActive = nullptr;
decltype(&::IsAppThemed) IsAppThemed = nullptr;
decltype(&::GetWindowTheme) GetWindowTheme = nullptr;
decltype(&::EnableThemeDialogTexture) EnableThemeDialogTexture = nullptr;
decltype(&::IsThemeDialogTextureEnabled) IsThemeDialogTextureEnabled = nullptr;
decltype(&::GetThemeAppProperties) GetThemeAppProperties = nullptr;
decltype(&::SetThemeAppProperties) SetThemeAppProperties = nullptr;
decltype(&::GetCurrentThemeName) GetCurrentThemeName = nullptr;
decltype(&::GetThemeDocumentationProperty) GetThemeDocumentationProperty = nullptr;
decltype(&::DrawThemeParentBackground) DrawThemeParentBackground = nullptr;
decltype(&::EnableTheming) EnableTheming = nullptr;
} // namespace UxTheme

namespace
{
HMODULE themeLibrary = nullptr;
int referenceCount = 0;
// Made at start-up, before any thread can load the library; freed by
// FinalizeUxTheme.
TCriticalSection* themeLibraryLock = new TCriticalSection;

template <class F> FARPROC* Slot(F& pointer)
{
    return reinterpret_cast<FARPROC*>(&pointer);
}

const TThemeEntryPoint entries[] = {
    {"OpenThemeData", Slot(UxTheme::OpenThemeData)},
    {"CloseThemeData", Slot(UxTheme::CloseThemeData)},
    {"DrawThemeBackground", Slot(UxTheme::DrawThemeBackground)},
    {"DrawThemeText", Slot(UxTheme::DrawThemeText)},
    {"GetThemeBackgroundContentRect", Slot(UxTheme::GetThemeBackgroundContentRect)},
    {"GetThemeBackgroundExtent", Slot(UxTheme::GetThemeBackgroundExtent)},
    {"GetThemePartSize", Slot(UxTheme::GetThemePartSize)},
    {"GetThemeTextExtent", Slot(UxTheme::GetThemeTextExtent)},
    {"GetThemeTextMetrics", Slot(UxTheme::GetThemeTextMetrics)},
    {"GetThemeBackgroundRegion", Slot(UxTheme::GetThemeBackgroundRegion)},
    {"HitTestThemeBackground", Slot(UxTheme::HitTestThemeBackground)},
    {"DrawThemeEdge", Slot(UxTheme::DrawThemeEdge)},
    {"DrawThemeIcon", Slot(UxTheme::DrawThemeIcon)},
    {"IsThemePartDefined", Slot(UxTheme::IsThemePartDefined)},
    {"IsThemeBackgroundPartiallyTransparent", Slot(UxTheme::IsThemeBackgroundPartiallyTransparent)},
    {"GetThemeColor", Slot(UxTheme::GetThemeColor)},
    {"GetThemeMetric", Slot(UxTheme::GetThemeMetric)},
    {"GetThemeString", Slot(UxTheme::GetThemeString)},
    {"GetThemeBool", Slot(UxTheme::GetThemeBool)},
    {"GetThemeInt", Slot(UxTheme::GetThemeInt)},
    {"GetThemeEnumValue", Slot(UxTheme::GetThemeEnumValue)},
    {"GetThemePosition", Slot(UxTheme::GetThemePosition)},
    {"GetThemeFont", Slot(UxTheme::GetThemeFont)},
    {"GetThemeRect", Slot(UxTheme::GetThemeRect)},
    {"GetThemeMargins", Slot(UxTheme::GetThemeMargins)},
    {"GetThemeIntList", Slot(UxTheme::GetThemeIntList)},
    {"GetThemePropertyOrigin", Slot(UxTheme::GetThemePropertyOrigin)},
    {"SetWindowTheme", Slot(UxTheme::SetWindowTheme)},
    {"GetThemeFilename", Slot(UxTheme::GetThemeFilename)},
    {"GetThemeSysColor", Slot(UxTheme::GetThemeSysColor)},
    {"GetThemeSysColorBrush", Slot(UxTheme::GetThemeSysColorBrush)},
    {"GetThemeSysBool", Slot(UxTheme::GetThemeSysBool)},
    {"GetThemeSysSize", Slot(UxTheme::GetThemeSysSize)},
    {"GetThemeSysFont", Slot(UxTheme::GetThemeSysFont)},
    {"GetThemeSysString", Slot(UxTheme::GetThemeSysString)},
    {"GetThemeSysInt", Slot(UxTheme::GetThemeSysInt)},
    {"IsThemeActive", Slot(UxTheme::IsThemeActive)},
    {"IsAppThemed", Slot(UxTheme::IsAppThemed)},
    {"GetWindowTheme", Slot(UxTheme::GetWindowTheme)},
    {"EnableThemeDialogTexture", Slot(UxTheme::EnableThemeDialogTexture)},
    {"IsThemeDialogTextureEnabled", Slot(UxTheme::IsThemeDialogTextureEnabled)},
    {"GetThemeAppProperties", Slot(UxTheme::GetThemeAppProperties)},
    {"SetThemeAppProperties", Slot(UxTheme::SetThemeAppProperties)},
    {"GetCurrentThemeName", Slot(UxTheme::GetCurrentThemeName)},
    {"GetThemeDocumentationProperty", Slot(UxTheme::GetThemeDocumentationProperty)},
    {"DrawThemeParentBackground", Slot(UxTheme::DrawThemeParentBackground)},
    {"EnableTheming", Slot(UxTheme::EnableTheming)},
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

const TThemeEntryPoint* ThemeEntryPoints(int& count)
{
    count = int(std::size(entries));
    return entries;
}

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
            for (const TThemeEntryPoint& entry : entries)
                *entry.slot = GetProcAddress(themeLibrary, entry.name);
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
        for (const TThemeEntryPoint& entry : entries)
            *entry.slot = nullptr;
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
