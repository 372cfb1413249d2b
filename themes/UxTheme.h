// Run-time binding of the visual-styles library, so that the program also
// starts where the library is missing. Every user counts itself in with
// InitThemeLibrary and out with FreeThemeLibrary; the library is loaded by the
// first and unloaded by the last. The entry points stay null while it is not
// loaded (or when it lacks one of them).
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

namespace UxTheme
{
extern decltype(&::OpenThemeData) OpenThemeData;
extern decltype(&::CloseThemeData) CloseThemeData;
extern decltype(&::DrawThemeBackground) DrawThemeBackground;
extern decltype(&::DrawThemeText) DrawThemeText;
extern decltype(&::GetThemeBackgroundContentRect) GetThemeBackgroundContentRect;
extern decltype(&::GetThemeBackgroundExtent) GetThemeBackgroundExtent;
extern decltype(&::GetThemePartSize) GetThemePartSize;
extern decltype(&::GetThemeTextExtent) GetThemeTextExtent;
extern decltype(&::GetThemeTextMetrics) GetThemeTextMetrics;
extern decltype(&::GetThemeBackgroundRegion) GetThemeBackgroundRegion;
extern decltype(&::HitTestThemeBackground) HitTestThemeBackground;
extern decltype(&::DrawThemeEdge) DrawThemeEdge;
extern decltype(&::DrawThemeIcon) DrawThemeIcon;
extern decltype(&::IsThemePartDefined) IsThemePartDefined;
extern decltype(&::IsThemeBackgroundPartiallyTransparent) IsThemeBackgroundPartiallyTransparent;
extern decltype(&::GetThemeColor) GetThemeColor;
extern decltype(&::GetThemeMetric) GetThemeMetric;
extern decltype(&::GetThemeString) GetThemeString;
extern decltype(&::GetThemeBool) GetThemeBool;
extern decltype(&::GetThemeInt) GetThemeInt;
extern decltype(&::GetThemeEnumValue) GetThemeEnumValue;
extern decltype(&::GetThemePosition) GetThemePosition;
extern decltype(&::GetThemeFont) GetThemeFont;
extern decltype(&::GetThemeRect) GetThemeRect;
extern decltype(&::GetThemeMargins) GetThemeMargins;
extern decltype(&::GetThemeIntList) GetThemeIntList;
extern decltype(&::GetThemePropertyOrigin) GetThemePropertyOrigin;
extern decltype(&::SetWindowTheme) SetWindowTheme;
extern decltype(&::GetThemeFilename) GetThemeFilename;
extern decltype(&::GetThemeSysColor) GetThemeSysColor;
extern decltype(&::GetThemeSysColorBrush) GetThemeSysColorBrush;
extern decltype(&::GetThemeSysBool) GetThemeSysBool;
extern decltype(&::GetThemeSysSize) GetThemeSysSize;
extern decltype(&::GetThemeSysFont) GetThemeSysFont;
extern decltype(&::GetThemeSysString) GetThemeSysString;
extern decltype(&::GetThemeSysInt) GetThemeSysInt;
extern decltype(&::IsThemeActive) IsThemeActive;
extern decltype(&::IsAppThemed) IsAppThemed;
extern decltype(&::GetWindowTheme) GetWindowTheme;
extern decltype(&::EnableThemeDialogTexture) EnableThemeDialogTexture;
extern decltype(&::IsThemeDialogTextureEnabled) IsThemeDialogTextureEnabled;
extern decltype(&::GetThemeAppProperties) GetThemeAppProperties;
extern decltype(&::SetThemeAppProperties) SetThemeAppProperties;
extern decltype(&::GetCurrentThemeName) GetCurrentThemeName;
extern decltype(&::GetThemeDocumentationProperty) GetThemeDocumentationProperty;
extern decltype(&::DrawThemeParentBackground) DrawThemeParentBackground;
extern decltype(&::EnableTheming) EnableTheming;
} // namespace UxTheme

// One entry point of the library: its name and the pointer it is bound to.
struct TThemeEntryPoint
{
    const char* name;
    FARPROC* slot;
};
// Every entry point in the order they are bound.
const TThemeEntryPoint* ThemeEntryPoints(int& count);

// Counts a user; loads and binds the library when it is not loaded. True when
// it is loaded.
bool InitThemeLibrary();
// Releases a user; the last one unloads the library and clears every entry
// point.
void FreeThemeLibrary();
// The library is loaded, the application is themed and a theme is active.
bool UseThemes();

// The loaded library (null when not loaded) and its user count, for diagnostics
// and tests.
HMODULE ThemeLibrary();
int ThemeLibraryReferenceCount();

// At exit: releases every remaining user and frees the lock; nothing loads
// afterwards.
void FinalizeUxTheme();
