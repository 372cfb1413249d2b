#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "themes/UxTheme.h"

namespace
{

bool EveryEntryPoint(bool bound)
{
    const void* entries[] = {
        reinterpret_cast<const void*>(UxTheme::OpenThemeData),
        reinterpret_cast<const void*>(UxTheme::CloseThemeData),
        reinterpret_cast<const void*>(UxTheme::DrawThemeBackground),
        reinterpret_cast<const void*>(UxTheme::DrawThemeText),
        reinterpret_cast<const void*>(UxTheme::GetThemeBackgroundContentRect),
        reinterpret_cast<const void*>(UxTheme::DrawThemeEdge),
        reinterpret_cast<const void*>(UxTheme::DrawThemeIcon),
        reinterpret_cast<const void*>(UxTheme::IsThemeBackgroundPartiallyTransparent),
        reinterpret_cast<const void*>(UxTheme::GetThemeSysColor),
        reinterpret_cast<const void*>(UxTheme::IsThemeActive),
        reinterpret_cast<const void*>(UxTheme::IsAppThemed),
        reinterpret_cast<const void*>(UxTheme::EnableThemeDialogTexture),
        reinterpret_cast<const void*>(UxTheme::GetThemeAppProperties),
        reinterpret_cast<const void*>(UxTheme::SetThemeAppProperties),
        reinterpret_cast<const void*>(UxTheme::DrawThemeParentBackground),
    };
    for (const void* entry : entries)
        if ((entry != nullptr) != bound)
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
