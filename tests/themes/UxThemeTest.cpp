#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "themes/UxTheme.h"

namespace
{

bool EveryEntryPoint(bool bound)
{
    int count = 0;
    const TThemeEntryPoint* entries = ThemeEntryPoints(count);
    for (int i = 0; i < count; ++i)
        if ((*entries[i].slot != nullptr) != bound)
            return false;
    return true;
}

} // namespace

TEST(UxTheme, LibraryStaysLoadedUntilItsLastUserReleasesIt)
{
    ASSERT_EQ(ThemeLibraryReferenceCount(), 0);
    ASSERT_TRUE(InitThemeLibrary());
    HMODULE first = ThemeLibrary();
    ASSERT_TRUE(InitThemeLibrary());
    EXPECT_EQ(ThemeLibrary(), first);
    EXPECT_TRUE(EveryEntryPoint(true));

    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibrary(), first);
    EXPECT_TRUE(EveryEntryPoint(true));

    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibrary(), nullptr);
    EXPECT_TRUE(EveryEntryPoint(false));

    // A release too many must not leave a debt that keeps the next user's load
    // from counting.
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibraryReferenceCount(), 0);
    ASSERT_TRUE(InitThemeLibrary());
    FreeThemeLibrary();
    EXPECT_EQ(ThemeLibrary(), nullptr);
}

TEST(UxTheme, LibraryIsTheOneInTheSystemFolder)
{
    ASSERT_TRUE(InitThemeLibrary());
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(ThemeLibrary(), loaded, MAX_PATH);
    FreeThemeLibrary();
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    std::wstring expected = std::wstring(folder) + L"\\uxtheme.dll";
    EXPECT_EQ(CompareStringOrdinal(loaded, -1, expected.c_str(), -1, TRUE), CSTR_EQUAL);
}

TEST(UxTheme, UsersOnManyThreadsLeaveTheCountBalanced)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i)
            {
                InitThemeLibrary();
                FreeThemeLibrary();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(ThemeLibraryReferenceCount(), 0);
    EXPECT_EQ(ThemeLibrary(), nullptr);
}

TEST(UxTheme, EveryEntryPointIsBoundInItsOrderAndAMissingOneStaysEmpty)
{
    const char* const names[] = {
        "OpenThemeData", "CloseThemeData", "DrawThemeBackground", "DrawThemeText", "GetThemeBackgroundContentRect",
        "GetThemeBackgroundExtent", "GetThemePartSize", "GetThemeTextExtent", "GetThemeTextMetrics",
        "GetThemeBackgroundRegion", "HitTestThemeBackground", "DrawThemeEdge", "DrawThemeIcon",
        "IsThemePartDefined", "IsThemeBackgroundPartiallyTransparent", "GetThemeColor", "GetThemeMetric",
        "GetThemeString", "GetThemeBool", "GetThemeInt", "GetThemeEnumValue", "GetThemePosition", "GetThemeFont",
        "GetThemeRect", "GetThemeMargins", "GetThemeIntList", "GetThemePropertyOrigin", "SetWindowTheme",
        "GetThemeFilename", "GetThemeSysColor", "GetThemeSysColorBrush", "GetThemeSysBool", "GetThemeSysSize",
        "GetThemeSysFont", "GetThemeSysString", "GetThemeSysInt", "IsThemeActive", "IsAppThemed", "GetWindowTheme",
        "EnableThemeDialogTexture", "IsThemeDialogTextureEnabled", "GetThemeAppProperties",
        "SetThemeAppProperties", "GetCurrentThemeName", "GetThemeDocumentationProperty",
        "DrawThemeParentBackground", "EnableTheming",
    };
    int count = 0;
    const TThemeEntryPoint* entries = ThemeEntryPoints(count);
    ASSERT_EQ(count, int(std::size(names)));
    ASSERT_TRUE(InitThemeLibrary());
    for (int i = 0; i < count; ++i)
    {
        SCOPED_TRACE(names[i]);
        EXPECT_STREQ(entries[i].name, names[i]);
        // Whatever the library has: its own address, or nothing where it lacks the name.
        EXPECT_EQ(*entries[i].slot, GetProcAddress(ThemeLibrary(), names[i]));
        for (int j = 0; j < i; ++j)
            EXPECT_NE(entries[j].slot, entries[i].slot);
    }
    FreeThemeLibrary();
}
