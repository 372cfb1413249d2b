// The lock's password dialog: which entries change the password, what a store failure shows, the
// screen-saver setting on its own, and no password left in the fields once the dialog closes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "dialogs/EditLockPasswordFrm.h"
#include "platform/Cp932.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"

namespace
{
AnsiString DialogKey() { return Format("Software\\VarnoletTest\\lockdlg%u", {unsigned(GetCurrentProcessId())}); }

struct TStoreFile
{
    TStoreFile()
    {
        const std::vector<unsigned char> image = LockPasswordImage();
        path = dir.Write("store.dll", AnsiString(reinterpret_cast<const char*>(image.data()), int(image.size())));
        SetLockPasswordFile(path);
    }
    ~TStoreFile() { SetLockPasswordFile(""); }
    TTempDir dir;
    AnsiString path;
};

std::string Stored()
{
    nsString p;
    EXPECT_EQ(LoadLockPassword(p), lsOk);
    return p.c_str();
}
} // namespace

TEST(TEditLockPasswordForm, OnlyTheRightCurrentPasswordAndTwoEqualNewOnesChangeIt)
{
    TStoreFile store;
    TBoxServices boxes;
    TEditLockPasswordForm form(nullptr);
    const std::string bad = "パスワードの設定が不正です";
    struct Step
    {
        const char *p1, *p2, *p3;
        bool closes;
        const char* stored;
    };
    const Step steps[] = {
        {"", "secret", "secret", true, "secret"},          // nothing stored yet: empty current
        {"secret", "new1", "new2", false, "secret"},        // entries differ
        {"wrong", "new", "new", false, "secret"},           // wrong current
        {"secret", "パスワード日本", "パスワード日本", false, "secret"}, // 14 bytes typed past the field's limit
        {"secret", "パスワード日", "パスワード日", true, "パスワード日"},
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.p2);
        form.Show();
        form.SetModalResult(mrNone);
        boxes.boxes.clear();
        form.P1->SetText(s.p1);
        form.P2->SetText(s.p2);
        form.P3->SetText(s.p3);
        form.OKBtnClick(nullptr);
        EXPECT_EQ(form.ModalResult(), s.closes ? mrOk : mrNone);
        EXPECT_EQ(boxes.boxes, s.closes ? std::vector<std::string>{} : std::vector<std::string>{bad});
        EXPECT_EQ(Stored(), s.stored);
        form.Close();
        for (TEdit* e : {form.P1, form.P2, form.P3})
            EXPECT_EQ(e->Text(), ""); // cleared on closing, not only on the next showing
    }
}

TEST(TEditLockPasswordForm, AStoreThatCannotBeWrittenShowsWhyAndAScreenSaverIsSetWithoutOk)
{
    TStoreFile store;
    TBoxServices boxes;
    TEditLockPasswordForm form(nullptr);
    form.SettingsKey = DialogKey();
    SetFileAttributesW(SjisToWide(store.path).c_str(), FILE_ATTRIBUTE_READONLY);
    form.Show();
    form.P2->SetText("x");
    form.P3->SetText("x");
    form.OKBtnClick(nullptr);
    EXPECT_EQ(boxes.boxes, std::vector<std::string>{LockStoreMessage(lsUnusable).str()});
    EXPECT_EQ(Stored(), "");
    SetFileAttributesW(SjisToWide(store.path).c_str(), FILE_ATTRIBUTE_NORMAL);

    boxes.boxes.clear();
    form.ScrEdit->SetText("C:\\a b\\s.scr");
    form.ScrOkBtnClick(nullptr);
    form.CancelBtn->Click();
    form.Close();
    EXPECT_EQ(ReadScreenSaver(DialogKey()), "C:\\a b\\s.scr");
    EXPECT_EQ(boxes.boxes.size(), 1u);
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(DialogKey()).c_str());
}

TEST(TEditLockPasswordForm, TestRunOpensTheScreenSaverThroughTheShellAndReportsAFailure)
{
    TTempDir dir;
    CreateDirectoryW(SjisToWide(dir / "a b").c_str(), nullptr);
    const std::string path = dir.Write("a b\\s.scr", "").str();
    // A bare name is never taken from the current folder, where a document's folder may have left it.
    dir.Write("planted.scr", "");
    const AnsiString before = GetCurrentDir();
    SetCurrentDirectoryW(SjisToWide(dir.Path()).c_str());
    const struct
    {
        std::string edit;
        bool shellAnswer;
        std::vector<std::string> opened, boxes;
    } cases[] = {
        {path, true, {path + "||"}, {}},
        {path, false, {path + "||"}, {"スクリーンセーバー[" + path + "]の起動に失敗しました。"}},
        {"", true, {}, {"スクリーンセーバー[]の起動に失敗しました。"}},
        {"planted.scr", true, {}, {"スクリーンセーバー[planted.scr]の起動に失敗しました。"}},
        {".\\planted.scr", true, {}, {"スクリーンセーバー[.\\planted.scr]の起動に失敗しました。"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.edit);
        TBoxServices boxes;
        boxes.shellAnswer = c.shellAnswer;
        TEditLockPasswordForm form(nullptr);
        form.ScrEdit->SetText(c.edit.c_str());
        form.ScrRunBtnClick(nullptr);
        EXPECT_EQ(boxes.opened, c.opened);
        EXPECT_TRUE(boxes.started.empty()); // not started as a program of its own
        EXPECT_EQ(boxes.boxes, c.boxes);
    }
    SetCurrentDirectoryW(SjisToWide(before).c_str());
}
