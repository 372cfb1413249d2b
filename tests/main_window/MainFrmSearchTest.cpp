// The main window's find dialog and batch search under Wine, with the real results window docked.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

#include <string>
#include <vector>

#include <windows.h>

#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "search/MessageFrm.h"
#include "search/SrchFrm.h"
#include "search/SrchResults.h"

namespace
{
const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\s%u", {unsigned(GetCurrentProcessId())});
    return key;
}

// The program's find dialog and results window with a main window showing one file, as the
// program makes them; all gone at the end, the results window first (it is docked).
struct TProgram
{
    explicit TProgram(const AnsiString& file)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        MessageForm = Create<TMessageForm>(nullptr);
        SrchForm = Create<TSrchForm>(nullptr);
        SrchForm->SettingsKey = TestKey();
        previousSink = SetSrchResultsSink(nullptr);
        previousHost = SrchJumpHost;
        form = StartMainWindow(TestKey(), file);
        form->AttachSearchWindows();
    }
    ~TProgram()
    {
        delete MessageForm;
        MessageForm = nullptr;
        delete SrchForm;
        SrchForm = nullptr;
        delete form;
        SetSrchResultsSink(previousSink);
        SrchJumpHost = previousHost;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    }
    int Listed() const { return MessageForm->SrchResListBox->Items()->GetCount(); }
    // A key pressed where the focus is, as the keyboard would send it.
    void Press(WORD key)
    {
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 0);
        PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
        for (int i = 0; i < 20; ++i)
            Application->ProcessMessages();
    }

    TMainForm* form = nullptr;
    TSrchResultsSink* previousSink = nullptr;
    TSrchJumpHost* previousHost = nullptr;
};

// Find next until the not-found box (a real one, closed as the user would), then F5 in the dialog
// and then its batch-search button: each lists every hit in the results window. The box used to
// hand the focus to the main window, where F5 does nothing.
TEST(TMainFormSearch, AfterTheNotFoundBoxF5AndTheBatchButtonListEveryHit)
{
    TRealBoxServices services;
    TTempDir dir;
    TProgram p(dir.Write("a.txt", "abc abc\r\nxyz abc\r\n"));
    p.form->SrchMenuClick(p.form);
    Application->ProcessMessages();
    ASSERT_TRUE(SrchForm->Visible());
    SrchForm->SrchStrCBox->SetText("abc");
    for (int i = 0; i < 4 && services.boxes.empty(); ++i)
    {
        SrchForm->NextBtn->Click();
        Application->ProcessMessages();
    }
    ASSERT_EQ(services.boxes, std::vector<std::string>{"検索文字列 'abc' は見つかりません。"});
    EXPECT_EQ(GetActiveWindow(), SrchForm->Handle());

    p.Press(VK_F5);
    EXPECT_FALSE(SrchForm->Visible());
    EXPECT_TRUE(MessageForm->Visible());
    EXPECT_EQ(p.Listed(), 3);

    p.form->SrchMenuClick(p.form);
    Application->ProcessMessages();
    SrchForm->AllSrchBtn->Click();
    Application->ProcessMessages();
    EXPECT_TRUE(MessageForm->Visible());
    EXPECT_EQ(p.Listed(), 3);
    EXPECT_EQ(services.boxes.size(), 1u);
}
} // namespace
