// The platform service wrappers: the screen saver's command line through the process seam, the
// reconversion block, the Japanese font list and folder listings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <imm.h>

#include "common/English.h"
#include "common/Nsimereconvert.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"

namespace
{
AnsiString PlatformTestKey()
{
    return Format("Software\\VarnoletTest\\p%u", {unsigned(GetCurrentProcessId())});
}
} // namespace

TEST(WexmoorDefPlatform, TheScreenSaverStartsQuotedAsItsOwnProgramAndNotAtAllWhenUnsetOrTooLong)
{
    TBoxServices services;
    const AnsiString key = PlatformTestKey();
    TTempDir dir;
    CreateDirectoryW(SjisToWide(dir / "スクリーン セーバー").c_str(), nullptr);
    const AnsiString saver = dir.Write("スクリーン セーバー\\mystify.scr", "");
    // Bare and relative names are never taken from the current folder.
    dir.Write("planted.scr", "");
    const AnsiString before = GetCurrentDir();
    SetCurrentDirectoryW(SjisToWide(dir.Path()).c_str());
    struct Case
    {
        AnsiString program;
        bool starts;
        const char* message;
    };
    const Case cases[] = {
        {"", false, ""},
        {saver, true, ""},
        {AnsiString("C:\\") + std::string(MAX_PATH, 'a').c_str() + ".scr", false, msgScreenSaverPathTooLong},
        {"planted.scr", false, nullptr},
        {".\\planted.scr", false, nullptr},
        {dir / "missing.scr", false, nullptr},
    };
    HWND window = reinterpret_cast<HWND>(uintptr_t(0x1234));
    for (const Case& c : cases)
    {
        services.started.clear();
        WriteScreenSaver(c.program, key);
        AnsiString message = "old";
        HANDLE process = StartScreenSaverPreview(window, message, key);
        EXPECT_EQ(process, nullptr); // the fake starts nothing
        if (c.starts)
        {
            ASSERT_EQ(services.started.size(), 1u);
            EXPECT_EQ(services.started[0], c.program.str() + "|\"" + c.program.str() + "\" /P 4660");
            EXPECT_EQ(message, Format(msgScreenSaverNotStarted, {c.program}));
        }
        else
        {
            EXPECT_TRUE(services.started.empty());
            EXPECT_EQ(message, c.message ? AnsiString(c.message) : Format(msgScreenSaverNotStarted, {c.program}));
        }
    }
    SetCurrentDirectoryW(SjisToWide(before).c_str());
    StopScreenSaverPreview(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

TEST(WexmoorDefPlatform, StoppingAPreviewThatEndedIsHarmless)
{
    wchar_t line[] = L"cmd.exe /c exit 0";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, 10000);
    StopScreenSaverPreview(info.hProcess);
}

TEST(WexmoorDefPlatform, TheReconversionBlockDescribesItsTextInBothForms)
{
    const AnsiString text = "変換a";
    for (bool wide : {true, false})
    {
        std::vector<unsigned char> block = ReconvertBlock(text, wide);
        RECONVERTSTRING header;
        ASSERT_GE(block.size(), sizeof header);
        std::memcpy(&header, block.data(), sizeof header);
        const DWORD chars = wide ? 3 : DWORD(text.Length());
        EXPECT_EQ(header.dwSize, block.size());
        EXPECT_EQ(header.dwStrOffset, sizeof header);
        EXPECT_EQ(header.dwStrLen, chars);
        EXPECT_EQ(header.dwCompStrLen, chars);
        EXPECT_EQ(header.dwTargetStrLen, chars);
        EXPECT_EQ(header.dwCompStrOffset, 0u);
        EXPECT_EQ(header.dwTargetStrOffset, 0u);
        const unsigned char* body = block.data() + header.dwStrOffset;
        if (wide)
            EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(body), chars), L"\u5909\u63DBa");
        else
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(body), chars), text.str());
    }
    struct Case
    {
        const char* description;
        bool recent;
    } cases[] = {{"ATOK12", true}, {"ATOK 2017", false}, {"JustSystems ATOK20 IME", true},
                 {"ATOK9", false}, {"ATOK1", false},     {"Microsoft IME", false}};
    for (const Case& c : cases)
        EXPECT_EQ(DescriptionIsRecentAtok(c.description), c.recent) << c.description;
}

TEST(WexmoorDefPlatform, TheJapaneseFontListHasNoVerticalFacesAndTheFixedOnesAreAmongAll)
{
    typFontList all, fixed;
    EnumJapaneseFonts(all, true);
    EnumJapaneseFonts(fixed, false);
    ASSERT_GT(fixed.count, 0);
    std::vector<std::string> allNames(all.names, all.names + all.count);
    for (const std::string& name : allNames)
        EXPECT_NE(name[0], '@') << name;
    for (int i = 0; i < fixed.count; ++i)
        EXPECT_NE(std::find(allNames.begin(), allNames.end(), std::string(fixed.names[i])), allNames.end());
    FreeFontList(all);
    FreeFontList(fixed);
    EXPECT_EQ(all.count, 0);
    EXPECT_EQ(all.names, nullptr);
}

TEST(WexmoorDefPlatform, FolderListingsFlagFoldersAndLeaveOutTheDotEntries)
{
    TTempDir dir;
    std::vector<typFolderEntry> list;
    EXPECT_EQ(ListFolder(list, dir / "*"), 0); // only "." and ".."
    EXPECT_TRUE(list.empty());
    dir.Write("壁紙.jpg", "jpg");
    CreateDirectoryW(SjisToWide(dir / "表示").c_str(), nullptr);
    ASSERT_EQ(ListFolder(list, dir / "*"), 0);
    ASSERT_EQ(list.size(), 2u);
    std::sort(list.begin(), list.end(), [](const typFolderEntry& a, const typFolderEntry& b) { return a.name < b.name; });
    for (const typFolderEntry& e : list)
        EXPECT_EQ(e.IsDirectory(), e.name == "表示") << e.name.c_str();
    EXPECT_EQ(ListFolder(list, dir / "*.png"), -1);
    EXPECT_TRUE(list.empty());
}
