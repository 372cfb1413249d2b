// The main window's file search under Wine: the command runs a search through the dialog, the
// progress window and the results window; while it runs, a second one is refused, and closing the
// window stops it and waits for the worker unless the close is refused.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

#include <deque>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "platform/Threads.h"
#include "search/FileSrchFrm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/SrchResults.h"

namespace
{

// Records every box; the question boxes take their answers in order (Cancel when none is left).
class TAnswerServices : public TBoxServices
{
public:
    int MessageBox(void* owner, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        TBoxServices::MessageBox(owner, text, caption, flags);
        const unsigned type = flags & MB_TYPEMASK;
        if (type != MB_YESNOCANCEL && type != MB_YESNO)
            return IDOK;
        if (answers.empty())
            return IDCANCEL;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<int> answers;
};

const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\g%u", {unsigned(GetCurrentProcessId())});
    return key;
}

// The program's file-search windows and a main window attached to them, as the program makes
// them; all gone at the end, the results window first (it is docked in the main window).
struct TProgram
{
    TProgram()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        MessageForm = Create<TMessageForm>(nullptr);
        FileSrchForm = Create<TFileSrchForm>(nullptr);
        FileSrchForm->SettingsKey = TestKey();
        FileSrchMonitorForm = Create<TFileSrchMonitorForm>(nullptr);
        previousSink = SetSrchResultsSink(nullptr);
        previousHost = SrchJumpHost;
        form = StartMainWindow(TestKey(), "");
        form->AttachSearchWindows();
        previousMain = MainForm;
        MainForm = form;
    }
    ~TProgram()
    {
        delete MessageForm;
        MessageForm = nullptr;
        delete FileSrchMonitorForm;
        FileSrchMonitorForm = nullptr;
        delete FileSrchForm;
        FileSrchForm = nullptr;
        delete form;
        MainForm = previousMain;
        SetSrchResultsSink(previousSink);
        SrchJumpHost = previousHost;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    }
    int Hits() const
    {
        int n = 0;
        TStrings* items = MessageForm->SrchResListBox->Items();
        for (int i = 0; i < items->GetCount(); ++i)
            if (dynamic_cast<typGrepInf*>(items->GetObject(i)))
                ++n;
        return n;
    }

    TMainForm* form = nullptr;
    TMainForm* previousMain = nullptr;
    TSrchResultsSink* previousSink = nullptr;
    TSrchJumpHost* previousHost = nullptr;
};

// Fills in and confirms the dialog when it shows; holds the worker at its first hit and, once it
// is held there, does what the test asks (from within the search, as a click would) and lets it
// go on.
class TGrepScript : public TObject
{
public:
    enum TAction
    {
        None,
        CloseMainWindow,
        SearchAgain
    };

    TGrepScript(TMainForm* form, const AnsiString& folder) : form_(form), folder_(folder)
    {
        FileSrchForm->OnShow = TNotifyEvent(this, &TGrepScript::DialogShown);
        FileSrchMonitorForm->OnShow = TNotifyEvent(this, &TGrepScript::MonitorShown);
        FileSrchMonitorForm->OnProgress = TNotifyEvent(this, &TGrepScript::Progress);
    }

    TAction action = None;
    bool acted = false;
    bool finishedWhenActed = false;

private:
    void DialogShown(TObject* sender)
    {
        TFileSrchForm* d = FileSrchForm;
        d->FormShow(sender);
        d->SRCH_DIR_RBtn->SetChecked(true);
        d->SrchDirCBox->SetText(folder_);
        d->SrchStrCBox->SetText("needle");
        d->FileNameCBox->SetText("*.txt");
        d->SubDirChkBox->SetChecked(true);
        d->RegExpChkBox->SetChecked(false);
        d->SrchBtn->Click();
    }
    void MonitorShown(TObject* sender)
    {
        FileSrchMonitorForm->FormShow(sender);
        if (action != None && FileSrchMonitorForm->Thread)
            FileSrchMonitorForm->Thread->Pause = true;
    }
    void Progress(TObject*)
    {
        typGrepProc* worker = FileSrchMonitorForm->Thread;
        if (action == None || acted || !worker || worker->FilesSearched() == 0)
            return;
        acted = true;
        if (action == CloseMainWindow)
            SendMessageW(form_->Handle(), WM_CLOSE, 0, 0);
        else
            form_->FileSrchMenuClick(form_);
        finishedWhenActed = worker->Finished();
        worker->Pause = false;
    }

    TMainForm* form_;
    AnsiString folder_;
};

TEST(TMainFormGrep, ClosingTheWindowStopsARunningSearchAndWaitsForItUnlessTheCloseIsRefused)
{
    constexpr int kFiles = 12;
    struct Case
    {
        const char* name;
        TGrepScript::TAction action;
        bool edited;       // the page asks to be saved: the answer is Cancel
        bool stops;        // the search ends at the held hit's file
        const char* box;   // the box shown while the search runs
    } cases[] = {
        {"closing the window", TGrepScript::CloseMainWindow, false, true, nullptr},
        {"a refused close", TGrepScript::CloseMainWindow, true, false, "変更されています"},
        {"a second search", TGrepScript::SearchAgain, false, false, msgGrepRunning},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TAnswerServices services;
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        const std::wstring root =
            std::wstring(tmp) + L"vn_main_grep_" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(root);
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW((root + L"\\sub").c_str(), nullptr);
        for (int i = 0; i < kFiles; ++i)
        {
            const std::wstring name = root + (i % 2 ? L"\\sub\\f" : L"\\f") + std::to_wstring(i) + L".txt";
            HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            DWORD put = 0;
            WriteFile(h, "a needle\r\n", 10, &put, nullptr);
            CloseHandle(h);
        }
        {
            TProgram program;
            TMainForm* form = program.form;
            if (c.edited)
                form->Edit()->KeyInput("z");
            const TCloseEvent ownClose = form->OnClose;
            TGrepScript script(form, WideToSjis(root));
            script.action = c.action;
            form->FileSrchMenuClick(form);

            EXPECT_TRUE(script.acted);
            EXPECT_EQ(form->GrepProc, nullptr);
            EXPECT_FALSE(FileSrchMonitorForm->Visible());
            // A stopped worker had ended by the time the close returned.
            EXPECT_EQ(script.finishedWhenActed, c.stops);
            EXPECT_EQ(form->Visible(), !c.stops);
            // The held hit's file is read to its end; no other file is opened.
            EXPECT_EQ(program.Hits(), c.stops ? 1 : kFiles);
            if (c.box)
            {
                ASSERT_EQ(services.boxes.size(), 1u);
                EXPECT_NE(services.boxes[0].find(c.box), std::string::npos) << services.boxes[0];
            }
            else
                EXPECT_TRUE(services.boxes.empty());
            EXPECT_TRUE(form->OnClose == ownClose);
            EXPECT_FALSE(CheckSynchronize()); // nothing left to hand over

            // The program goes on: the next search runs to its end.
            script.action = TGrepScript::None;
            services.boxes.clear();
            form->FileSrchMenuClick(form);
            EXPECT_EQ(program.Hits(), kFiles);
            EXPECT_EQ(form->GrepProc, nullptr);
        }
        // The windows are gone: a message pump finds no hit on its way to them.
        for (int i = 0; i < 10; ++i)
            Application->ProcessMessages();
        EXPECT_FALSE(CheckSynchronize());
        RemoveTree(root);
    }
}

// A page switch finishes on a short timer: give it time.
void SettleSwitches()
{
    for (int i = 0; i < 20; ++i)
    {
        Sleep(5);
        Application->ProcessMessages();
    }
}

TEST(TMainFormGrep, AHitJumpsThroughTheMainWindowsPagesAndADeletedFileAddsNone)
{
    TBoxServices services;
    TTempDir dir;
    const AnsiString first = dir.Write("一.txt", "x\r\nline two needle\r\n");
    const AnsiString second = dir.Write("二.txt", "other\r\n");
    const AnsiString gone = dir.Write("消.txt", "a needle\r\n");
    TProgram program;
    TMainForm* form = program.form;
    ASSERT_NE(form->OpenFile(first), nullptr);
    ASSERT_NE(form->OpenFile(second), nullptr);
    SettleSwitches();
    const int pages = form->MainPageCtrl->PageCount();
    ASSERT_EQ(form->Edit()->EditFilePath, second);

    typGrepInf hit;
    hit.Path = first;
    hit.LineNo = 2;
    hit.Line = "line two needle\n";
    hit.Position = 9;
    hit.Length = 6;
    typGrepInf lost = hit;
    lost.Path = gone;
    lost.LineNo = 1;
    lost.Line = "a needle\n";
    lost.Position = 2;
    MessageForm->MsgForm_AddGrepHit(&hit);
    MessageForm->MsgForm_AddGrepHit(&lost);
    DeleteFileW(SjisToWide(gone).c_str());

    MessageForm->JumpToItem(0);
    SettleSwitches();
    EXPECT_EQ(form->MainPageCtrl->PageCount(), pages); // the open page, not a second one
    ASSERT_EQ(form->Edit()->EditFilePath, first);
    EXPECT_EQ(form->Edit()->GetSelText().str(), "needle");
    // The switch went the normal way: the caption names the file now shown.
    EXPECT_NE(form->Caption().str().find(first.str()), std::string::npos);
    EXPECT_TRUE(services.boxes.empty());

    MessageForm->JumpToItem(1);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), pages);
    EXPECT_EQ(form->Edit()->EditFilePath, first);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_NE(services.boxes[0].find(ExtractFileName(gone).str()), std::string::npos) << services.boxes[0];
}

} // namespace
