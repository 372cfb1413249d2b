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
extern decltype(&::DrawThemeEdge) DrawThemeEdge;
extern decltype(&::DrawThemeIcon) DrawThemeIcon;
extern decltype(&::IsThemeBackgroundPartiallyTransparent) IsThemeBackgroundPartiallyTransparent;
extern decltype(&::GetThemeSysColor) GetThemeSysColor;
extern decltype(&::IsThemeActive) IsThemeActive;
extern decltype(&::IsAppThemed) IsAppThemed;
extern decltype(&::EnableThemeDialogTexture) EnableThemeDialogTexture;
extern decltype(&::GetThemeAppProperties) GetThemeAppProperties;
extern decltype(&::SetThemeAppProperties) SetThemeAppProperties;
extern decltype(&::DrawThemeParentBackground) DrawThemeParentBackground;
} // namespace UxTheme

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
