#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "PageTestUtil.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace
{
class TBoxLog : public TPlatformServices
{
public:
    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned) override
    {
        texts.push_back(text);
        return IDOK;
    }
    short GetKeyState(int) override { return 0; }
    std::vector<AnsiString> texts;
};

AnsiString TempPath(const char* name)
{
    wchar_t buf[MAX_PATH];
    GetTempPathW(MAX_PATH, buf);
    AnsiString dir = WideToSjis(buf, int(wcslen(buf))) + "vn_page_files_" + AnsiString(int(GetCurrentProcessId())) + "\\";
    CreateDirectoryW(SjisToWide(dir).c_str(), nullptr);
    return dir + name;
}

void Write(const AnsiString& path, const std::string& bytes)
{
    TFileStream f(path, fmCreate);
    if (!bytes.empty())
        f.WriteBuffer(bytes.data(), int(bytes.size()));
}

std::string Read(const AnsiString& path)
{
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    std::string s(size_t(f.GetSize()), '\0');
    if (!s.empty())
        f.ReadBuffer(s.data(), int(s.size()));
    return s;
}

struct PageFixture : testing::Test
{
    void SetUp() override { page = Create<nsRichEdit>(nullptr); }
    void TearDown() override { delete page; }
    nsRichEdit* page = nullptr;
};
} // namespace

TEST_F(PageFixture, AFileHeldByAnotherProgramLoadsSharedAndSaysSo)
{
    AnsiString path = TempPath("held.txt");
    Write(path, "line 1\r\n漢字\r\n");
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(page->LoadFile(path, TConvMode{cmFoldLine}), osShared);
    CloseHandle(h);
    EXPECT_EQ(page->GetLine(1), "漢字\r");
    EXPECT_EQ(page->EditFilePath, path);
    EXPECT_GT(page->GetFileDate(), 30000.0);
    EXPECT_EQ(page->LoadFile(path, TConvMode{cmFoldLine}), osNormal);
}

TEST_F(PageFixture, AMissingFileRaisesOpenErrorAndKeepsThePage)
{
    page->SetText("keep");
    EXPECT_THROW(page->LoadFile(TempPath("missing.txt"), TConvMode()), EFOpenError);
    EXPECT_EQ(page->GetLine(0), "keep");
    try
    {
        page->LoadFromFile(TempPath("missing.txt"), TConvMode());
    }
    catch (const EFOpenError& e)
    {
        EXPECT_EQ(e.Message, "Open Error");
    }
}

TEST_F(PageFixture, BackupKeepsThePreviousSaveAndANewFileGetsNone)
{
    page->BackupFile = true;
    AnsiString path = TempPath("backup.txt");
    DeleteFileW(SjisToWide(path).c_str());
    DeleteFileW(SjisToWide(path + ".bak").c_str());
    page->SetText("first");
    page->SaveToFile(path, TConvMode());
    EXPECT_EQ(GetFileAttributesW(SjisToWide(path + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);
    page->SetText("second");
    page->SaveToFile(path, TConvMode());
    page->SetText("third");
    page->SaveToFile(path, TConvMode());
    EXPECT_EQ(Read(path), "third");
    EXPECT_EQ(Read(path + ".bak"), "second");
}

TEST_F(PageFixture, AFailedBackupIsReportedAndTheSaveGoesOn)
{
    TBoxLog boxes;
    TPlatformServices* old = SetServices(&boxes);
    page->BackupFile = true;
    AnsiString path = TempPath("nobackup.txt");
    Write(path, "old");
    // A folder where the backup should go: the copy cannot be made.
    CreateDirectoryW(SjisToWide(path + ".bak").c_str(), nullptr);
    page->SetText("new");
    page->SetEdited(true);
    page->SaveToFile(path, TConvMode());
    SetServices(old);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].Pos("nobackup.txt.bak"), 0);
    EXPECT_EQ(Read(path), "new");
    EXPECT_FALSE(page->isEdited());
}
