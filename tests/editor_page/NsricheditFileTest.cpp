#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PageTestUtil.h"
#include "common/English.h"
#include "editor_control/AFEditFile.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace
{
// Everything in a folder: name -> bytes.
std::map<std::string, std::string> Listing(const AnsiString& dir)
{
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(SjisToWide(dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do
    {
        AnsiString name = WideToSjis(fd.cFileName, int(wcslen(fd.cFileName)));
        if (name == "." || name == "..")
            continue;
        files[name.str()] = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? "<folder>" : TTempDir::Read(dir + "\\" + name).str();
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return files;
}

// Another program holds the file open for reading and writing, letting nobody rename it: its save
// writes it in place, so its backup is a copy made before.
struct THeldFile
{
    HANDLE h;
    explicit THeldFile(const AnsiString& path)
        : h(CreateFileW(SjisToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr))
    {
    }
    ~THeldFile() { Release(); }
    void Release()
    {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
};

// A disk that fills up while the backup is copied: half the file arrives, then the copy fails.
class TFullDiskPage : public nsRichEdit
{
public:
    using nsRichEdit::nsRichEdit;
    int copies = 0;

protected:
    bool CopyForBackup(const AnsiString& from, const AnsiString& to, unsigned long& error) override
    {
        ++copies;
        TFileStream in(from, fmOpenRead | fmShareDenyNone); // the file may be held
        AnsiString text;
        text.SetLength(int(in.GetSize()));
        if (text.Length() > 0)
            in.ReadBuffer(text.Unique(), text.Length());
        TFileStream f(to, fmCreate);
        f.WriteBuffer(text.c_str(), text.Length() / 2);
        error = ERROR_DISK_FULL;
        return false;
    }
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

TEST(nsRichEdit, ABackupThatCannotBeMadeLeavesTheOldOneAndSavesOnlyWhenTheUserSaysSo)
{
    enum TBefore
    {
        bkFile,   // an earlier backup
        bkNone,   // none yet
        bkFolder, // a folder has the backup's name
    };
    struct Case
    {
        const char* name;
        TBefore before;
        int answer; // to the question
        bool saved;
    } cases[] = {
        {"disk full, No", bkFile, IDNO, false},
        {"disk full, Enter (the default) or the close box", bkFile, IDCANCEL, false},
        {"disk full, Yes", bkFile, IDYES, true},
        {"disk full without an earlier backup, No", bkNone, IDNO, false},
        {"disk full without an earlier backup, Yes", bkNone, IDYES, true},
        {"backup name taken by a folder, No", bkFolder, IDNO, false},
        {"backup name taken by a folder, Yes", bkFolder, IDYES, true},
    };
    for (const Case& c : cases)
    {
        TTempDir dir;
        AnsiString path = dir.Write("文書.txt", "old text of the file");
        if (c.before == bkFile)
            dir.Write("文書.txt.bak", "the previous backup");
        else if (c.before == bkFolder)
            CreateDirectoryW(SjisToWide(dir / "文書.txt.bak").c_str(), nullptr);
        auto* page = Create<TFullDiskPage>(nullptr);
        page->BackupFile = true;
        page->SetText("new text");
        page->SetEdited(true);
        auto before = Listing(dir.Path());
        TBoxServices boxes;
        boxes.answer = c.answer;
        bool aborted = false;
        THeldFile held(path); // so the backup is copied
        try
        {
            page->SaveToFile(path, TConvMode());
        }
        catch (const EAbort&)
        {
            aborted = true;
        }
        held.Release();
        EXPECT_EQ(aborted, !c.saved) << c.name;
        EXPECT_EQ(page->copies, c.before == bkFolder ? 0 : 1) << c.name;
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes.flags[0] & MB_DEFBUTTON2, unsigned(MB_DEFBUTTON2)) << c.name;
        // The box speaks of an earlier backup only when there is one.
        const AnsiString reason = SysErrorMessage(c.before == bkFolder ? ERROR_ACCESS_DENIED : ERROR_DISK_FULL);
        EXPECT_EQ(boxes.boxes[0], Format(c.before == bkFile ? msgBackupFailed : msgBackupFailedNoEarlier,
                                         {path + ".bak", reason}).str())
            << c.name;
        // The old backup is untouched and no partial copy is left behind.
        auto after = Listing(dir.Path());
        if (c.saved)
            before["文書.txt"] = "new text";
        EXPECT_EQ(after, before) << c.name;
        EXPECT_EQ(page->isEdited(), !c.saved) << c.name;
        delete page;
    }
}

namespace
{
// The backup's name is taken by a folder while the copy is made: the copy cannot be put in place.
class TFolderAppearsPage : public nsRichEdit
{
public:
    using nsRichEdit::nsRichEdit;

protected:
    bool CopyForBackup(const AnsiString& from, const AnsiString& to, unsigned long& error) override
    {
        CreateDirectoryW(SjisToWide(from + ".bak").c_str(), nullptr);
        return nsRichEdit::CopyForBackup(from, to, error);
    }
};
} // namespace

TEST(nsRichEdit, ABackupThatCannotBePutInPlaceAfterTheSaveSaysWhetherAnEarlierOneWasReplaced)
{
    for (bool earlier : {true, false})
    {
        TTempDir dir;
        AnsiString path = dir.Write("保存.txt", "before");
        if (earlier)
            dir.Write("保存.txt.bak", "earlier");
        nsRichEdit* page = earlier ? Create<nsRichEdit>(nullptr) : Create<TFolderAppearsPage>(nullptr);
        page->BackupFile = true;
        page->SetText("after");
        TBoxServices boxes;
        {
            // An earlier backup held open by another program cannot be replaced.
            HANDLE held = earlier ? CreateFileW(SjisToWide(path + ".bak").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr)
                                  : INVALID_HANDLE_VALUE;
            // Without an earlier backup the file is held, so that its backup is a copy, during
            // which the folder appears.
            THeldFile heldFile(earlier ? AnsiString() : path);
            page->SaveToFile(path, TConvMode());
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
        }
        EXPECT_EQ(Read(path), "after") << earlier;
        ASSERT_EQ(boxes.boxes.size(), 1u) << earlier;
        const std::string& box = boxes.boxes[0];
        const std::string head = "ファイル[" + path.str() + "]は保存しましたが、バックアップファイル[" + path.str() +
                                 ".bak]を" + (earlier ? "置き換えられませんでした" : "作成できませんでした");
        EXPECT_EQ(box.rfind(head, 0), 0u) << box;
        // The file it names last holds the text from before the save.
        size_t open = box.rfind('['), close = box.rfind(']');
        ASSERT_TRUE(open != std::string::npos && close > open) << box;
        EXPECT_EQ(Read(box.substr(open + 1, close - open - 1).c_str()), "before") << box;
        delete page;
    }
}

// The file replaced by a save becomes its backup as it is, never copied: a disk on which no copy
// fits still gets the backup, and asks nothing. Held by another program, the file is copied first
// and written in place; taken between the look and the save, it is saved without a backup, as said.
TEST(nsRichEdit, TheReplacedFileBecomesTheBackupWithoutACopyUnlessAnotherProgramHoldsIt)
{
    const struct
    {
        const char* name;
        bool held;
        bool earlier;
    } cases[] = {{"free", false, false}, {"free, an earlier backup", false, true}, {"held", true, false},
                 {"held, an earlier backup", true, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        AnsiString path = dir.Write("元.txt", "before");
        if (c.earlier)
            dir.Write("元.txt.bak", "earlier");
        auto* page = Create<TFullDiskPage>(nullptr);
        page->BackupFile = true;
        page->SetText("after");
        TBoxServices boxes;
        boxes.answer = IDYES;
        {
            THeldFile held(c.held ? path : AnsiString());
            page->SaveToFile(path, TConvMode());
        }
        EXPECT_EQ(page->copies, c.held ? 1 : 0);
        std::map<std::string, std::string> expected{{"元.txt", "after"}, {"元.txt.bak", "before"}};
        if (c.held) // the copy failed on the full disk and the user said to save anyway
            expected["元.txt.bak"] = c.earlier ? "earlier" : "";
        if (c.held && !c.earlier)
            expected.erase("元.txt.bak");
        EXPECT_EQ(Listing(dir.Path()), expected);
        EXPECT_EQ(boxes.boxes.size(), c.held ? 1u : 0u);
        delete page;
    }
    // Taken by another program after the look: saved in place, and the missing backup is told.
    TTempDir dir;
    AnsiString path = dir.Write("取.txt", "before");
    struct TTakingWriter : TSaveWriter
    {
        AnsiString path;
        std::unique_ptr<THeldFile> held;
        bool Write(void* h, const void* data, unsigned long count, unsigned long& done) override
        {
            if (!held)
                held = std::make_unique<THeldFile>(path);
            return TSaveWriter::Write(h, data, count, done);
        }
    } writer;
    writer.path = path;
    auto* page = Create<nsRichEdit>(nullptr);
    page->BackupFile = true;
    page->SetText("after");
    TBoxServices boxes;
    TSaveWriter* previous = SetSaveWriter(&writer);
    page->SaveToFile(path, TConvMode());
    SetSaveWriter(previous);
    writer.held.reset();
    std::map<std::string, std::string> expected{{"取.txt", "after"}};
    EXPECT_EQ(Listing(dir.Path()), expected);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0], Format(msgBackupNotMadeHeld, {path, path + ".bak"}).str());
    delete page;
}

TEST(nsRichEdit, AFailedSaveLeavesTheFolderAsItWasAndASavedOneKeepsOnlyTheBackup)
{
    for (bool oldBackup : {false, true})
    {
        TTempDir dir;
        AnsiString path = dir.Write("readonly.txt", "read-only text");
        if (oldBackup)
            dir.Write("readonly.txt.bak", "older text");
        SetFileAttributesW(SjisToWide(path).c_str(), FILE_ATTRIBUTE_READONLY);
        auto* page = Create<nsRichEdit>(nullptr);
        page->BackupFile = true;
        page->SetText("edited");
        page->SetEdited(true);
        auto before = Listing(dir.Path());
        TBoxServices boxes;
        EXPECT_THROW(page->SaveToFile(path, TConvMode()), Exception) << oldBackup;
        EXPECT_EQ(Listing(dir.Path()), before) << oldBackup;
        EXPECT_TRUE(boxes.boxes.empty()) << oldBackup;

        // Once writable, the save keeps the file's previous text as the backup, and nothing else.
        SetFileAttributesW(SjisToWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
        page->SaveToFile(path, TConvMode());
        std::map<std::string, std::string> expected{{"readonly.txt", "edited"}, {"readonly.txt.bak", "read-only text"}};
        EXPECT_EQ(Listing(dir.Path()), expected) << oldBackup;
        EXPECT_TRUE(boxes.boxes.empty()) << oldBackup;
        delete page;
    }
}
