// The edit lock on the real main window: what it hides and disables and gives back with 0 and 2
// pages, every way in refused while locked, the screen saver started inside the window, and the
// transparency toggle read back from the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "dialogs/UnLockFrm.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/StdCtrls.h"
#include "search/MessageFrm.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"

namespace
{
AnsiString LockTestKey() { return Format("Software\\VarnoletTest\\lock%u", {unsigned(GetCurrentProcessId())}); }

// Boxes answered OK, the open dialog answering `openAnswer` (counted), and processes really
// started (the screen saver must receive its command line).
class TLockServices : public TBoxServices
{
public:
    bool OpenFileDialog(void*, TFileDialogData& data) override
    {
        ++openDialogs;
        data.FileName = openAnswer;
        return true;
    }
    HANDLE StartProcess(const AnsiString& program, const AnsiString& commandLine) override
    {
        TBoxServices::StartProcess(program, commandLine);
        TPlatformServices* self = SetServices(nullptr);
        HANDLE process = Services().StartProcess(program, commandLine);
        SetServices(self);
        return process;
    }
    AnsiString openAnswer;
    int openDialogs = 0;
};

// A main window with its store file, the unlock dialog and a results window, and a text file.
struct TLockedWindow
{
    TLockedWindow(int pages)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(LockTestKey()).c_str());
        const std::vector<unsigned char> image = LockPasswordImage();
        store = dir.Write("store file.dll", AnsiString(reinterpret_cast<const char*>(image.data()), int(image.size())));
        SetLockPasswordFile(store);
        EXPECT_EQ(StoreLockPassword("", "鍵pass"), lsOk);
        file = dir.Write("a.txt", "text");
        UnLockForm = Create<TUnLockForm>(Application);
        UnLockForm->WrongPasswordDelayMs = 0;
        MessageForm = Create<TMessageForm>(nullptr);
        form = Create<TMainForm>(nullptr);
        form->SettingsKey = LockTestKey();
        form->MinStartupMs = 0;
        form->CommandLineFile = pages ? file : "";
        form->AttachSearchWindows();
        form->Show();
        Application->ProcessMessages();
        if (pages == 2)
            form->NewPage("無題");
        while (form->MainPageCtrl->PageCount() > pages)
            form->ClosePage(form->MainPageCtrl->Pages(0), false);
        EXPECT_EQ(form->MainPageCtrl->PageCount(), pages);
    }
    ~TLockedWindow()
    {
        if (form->Locked())
            Unlock("鍵pass");
        delete form;
        delete MessageForm;
        MessageForm = nullptr;
        delete UnLockForm;
        UnLockForm = nullptr;
        SetLockPasswordFile("");
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(LockTestKey()).c_str());
    }
    void Unlock(const char* password)
    {
        UnLockForm->P1->SetText(password);
        UnLockForm->OKBtnClick(nullptr);
        Application->ProcessMessages();
    }
    int EnabledMenuItems() const
    {
        int n = 0;
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (auto* item = dynamic_cast<TMenuItem*>(form->Components(i)))
                n += item->Enabled();
        return n;
    }

    TLockServices services;
    TTempDir dir;
    AnsiString store, file;
    TMainForm* form = nullptr;
};

std::wstring Caption(HWND hwnd)
{
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}
} // namespace

TEST(MainFrmLock, LockingHidesAndDisablesEverythingAndUnlockingGivesItBackWithNoneOrTwoPages)
{
    for (int pages : {0, 2})
    {
        for (bool resultsShown : {false, true})
        {
            SCOPED_TRACE(pages * 10 + resultsShown);
            TLockedWindow w(pages);
            MessageForm->SetVisible(resultsShown);
            const std::wstring caption = Caption(w.form->Handle());
            const int enabledBefore = w.EnabledMenuItems();
            const AnsiString titleBefore = Application->Title();
            void* const ownerBefore = MessageOwner();

            w.form->LockToolButtonClick(nullptr);
            ASSERT_TRUE(w.form->Locked());
            EXPECT_EQ(w.EnabledMenuItems(), 0);
            EXPECT_FALSE(w.form->ToolBar->Enabled());
            EXPECT_FALSE(w.form->MainPageCtrl->Visible());
            EXPECT_FALSE(MessageForm->Visible());
            EXPECT_FALSE(w.form->SrchPanel->Visible());
            EXPECT_FALSE(w.form->Enabled());
            EXPECT_TRUE(UnLockForm->Visible());
            EXPECT_EQ(Caption(w.form->Handle()), L"Varnolet for Windows - [ロック中]");
            EXPECT_EQ(Application->Title(), "[ロック中] - Varnolet for Windows");

            w.Unlock("鍵pas"); // wrong: a box, and still locked
            EXPECT_EQ(w.services.boxes.back(), "パスワードが違います");
            EXPECT_TRUE(w.form->Locked());
            EXPECT_TRUE(UnLockForm->Visible());

            EXPECT_EQ(MessageOwner(), static_cast<void*>(UnLockForm->Handle()));
            w.Unlock("鍵pass");
            EXPECT_FALSE(w.form->Locked());
            EXPECT_EQ(MessageOwner(), ownerBefore);
            EXPECT_FALSE(UnLockForm->Visible());
            EXPECT_EQ(UnLockForm->P1->Text(), ""); // no password left behind in the dialog
            EXPECT_TRUE(w.form->Enabled());
            EXPECT_GE(w.EnabledMenuItems(), enabledBefore);
            EXPECT_TRUE(w.form->ToolBar->Enabled());
            // Without a page the page control would cover the drop panel.
            EXPECT_EQ(w.form->MainPageCtrl->Visible(), pages > 0);
            if (pages)
            {
                EXPECT_TRUE(w.form->Edit()->Visible());
            }
            EXPECT_EQ(MessageForm->Visible(), resultsShown);
            EXPECT_TRUE(w.form->SrchPanel->Visible());
            EXPECT_EQ(Caption(w.form->Handle()), caption);
            EXPECT_EQ(Application->Title(), titleBefore);
        }
    }
}

TEST(MainFrmLock, TheToolBarsButtonsAreGreyedWhileLockedAndEachGetsItsOwnStateBack)
{
    for (int pages : {0, 1})
    {
        SCOPED_TRACE(pages);
        TLockedWindow w(pages);
        TToolBar* bar = w.form->ToolBar;
        w.form->CalcToolButton->SetEnabled(false); // off before the lock: stays off after it
        // Enabled as the window draws it: the bar's own button state, or the window of a control on it.
        auto drawnEnabled = [&](int i) {
            TControl* c = bar->Controls(i);
            if (auto* b = dynamic_cast<TToolButton*>(c))
                return (SendMessageW(bar->Handle(), TB_GETSTATE, WPARAM(b->Command()), 0) & TBSTATE_ENABLED) != 0;
            return IsWindowEnabled(static_cast<TWinControl*>(c)->Handle()) != FALSE;
        };
        std::vector<bool> before;
        for (int i = 0; i < bar->ControlCount(); ++i)
            before.push_back(drawnEnabled(i));
        ASSERT_GT(std::count(before.begin(), before.end(), true), 3);

        w.form->ToggleEditLock();
        ASSERT_TRUE(w.form->Locked());
        w.form->RefreshUiState(); // a page switch finishing late must not light them again
        for (int i = 0; i < bar->ControlCount(); ++i)
        {
            EXPECT_FALSE(drawnEnabled(i)) << bar->Controls(i)->Name().c_str();
            EXPECT_FALSE(bar->Controls(i)->Enabled()) << bar->Controls(i)->Name().c_str();
        }

        w.Unlock("鍵pass");
        ASSERT_FALSE(w.form->Locked());
        for (int i = 0; i < bar->ControlCount(); ++i)
            EXPECT_EQ(drawnEnabled(i), before[size_t(i)]) << bar->Controls(i)->Name().c_str();
        EXPECT_FALSE(w.form->CalcToolButton->Enabled());
    }
}

// Every item of the bar and where the search field is; a button under the field is marked.
std::string BarLayout(TMainForm* form)
{
    TToolBar* bar = form->ToolBar;
    const TWinControl* field = form->SrchEdit;
    const RECT fieldRect{field->Left(), field->Top(), field->Left() + field->Width(),
                         field->Top() + field->Height()};
    std::string text;
    for (int i = 0; i < bar->ControlCount(); ++i)
    {
        RECT r{}, common{};
        SendMessageW(bar->Handle(), TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
        text += Format("%d,%d-%d,%d ", {int(r.left), int(r.top), int(r.right), int(r.bottom)}).str();
        if (bar->Controls(i) != field && IntersectRect(&common, &r, &fieldRect))
            text += "(under the field) ";
    }
    return text + Format("field %d,%d", {field->Left(), field->Top()}).str();
}

TEST(MainFrmLock, TheToolBarsButtonsAndSearchFieldAreWhereTheyWereAfterALock)
{
    for (int pages : {0, 1})
    {
        SCOPED_TRACE(pages);
        TLockedWindow w(pages);
        const std::string before = BarLayout(w.form);
        EXPECT_EQ(before.find("under"), std::string::npos) << before;
        w.form->LockToolButtonClick(nullptr);
        ASSERT_TRUE(w.form->Locked());
        EXPECT_EQ(BarLayout(w.form), before);
        w.Unlock("鍵pass");
        ASSERT_FALSE(w.form->Locked());
        EXPECT_EQ(BarLayout(w.form), before);
    }
}

TEST(MainFrmLock, EveryWayInIsRefusedWhileLocked)
{
    TLockedWindow w(2);
    w.form->AddToHistory(w.dir.Write("history.txt", "h"));
    w.services.openAnswer = w.dir.Write("dialog.txt", "d");
    w.form->ToggleEditLock();
    ASSERT_TRUE(w.form->Locked());
    const int pages = w.form->MainPageCtrl->PageCount();
    TStringList dropped;
    dropped.Add(w.dir.Write("dropped.txt", "x"));

    w.form->OnEditFileDrop(w.form, &dropped); // the drop panel and every page end here
    w.form->RPMenuClick(w.form->RP[0]);
    w.form->OpenFileMenuClick(nullptr);
    EXPECT_EQ(w.form->OpenFile(w.file), nullptr);
    EXPECT_EQ(w.services.openDialogs, 0);
    EXPECT_EQ(w.form->MainPageCtrl->PageCount(), pages);

    // Boxes owned by the locked window would enable it again as they close.
    EXPECT_EQ(MessageOwner(), static_cast<void*>(UnLockForm->Handle()));
    w.services.boxes.clear();
    SendMessageW(w.form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(w.services.boxes, std::vector<std::string>{"ロック中は閉じられません"});
    EXPECT_TRUE(w.form->Visible());

    // The unlock dialog has no close box; Esc, Alt+F4 and a close message leave it up.
    EXPECT_FALSE(GetWindowLongW(UnLockForm->Handle(), GWL_STYLE) & WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongW(UnLockForm->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    UnLockForm->P1->SetFocus();
    for (UINT msg : {WM_KEYDOWN, WM_KEYUP})
        PostMessageW(UnLockForm->P1->Handle(), msg, VK_ESCAPE, 0);
    PostMessageW(UnLockForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageW(UnLockForm->Handle(), WM_CLOSE, 0, 0);
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    EXPECT_TRUE(UnLockForm->Visible());
    EXPECT_TRUE(w.form->Locked());
    EXPECT_FALSE(w.form->Enabled());

    // Activating the program again brings the dialog back, still asking.
    UnLockForm->Hide();
    SendMessageW(w.form->Handle(), WM_ACTIVATEAPP, TRUE, 0);
    Application->OnActivate(Application);
    EXPECT_TRUE(UnLockForm->Visible());
}

namespace
{
// Keys as the user types them: through the input queue to whichever window has the focus.
void Type(const std::vector<WORD>& keys)
{
    for (WORD vk : keys)
    {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = vk;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
        for (int i = 0; i < 10; ++i)
            Application->ProcessMessages();
    }
}
} // namespace

TEST(MainFrmLock, TheUnlockDialogForgetsAWrongPasswordAndEscNeverClosesIt)
{
    TLockedWindow w(1);
    ASSERT_EQ(StoreLockPassword("鍵pass", "abc"), lsOk);
    w.form->LockToolButtonClick(nullptr);
    ASSERT_TRUE(w.form->Locked());
    auto stillAsking = [&] {
        EXPECT_TRUE(IsWindowVisible(UnLockForm->Handle()));
        EXPECT_TRUE(w.form->Locked());
        EXPECT_FALSE(w.form->Enabled());
    };
    SetForegroundWindow(UnLockForm->Handle());
    Application->ProcessMessages();
    ASSERT_EQ(GetFocus(), UnLockForm->P1->Handle());

    Type({VK_ESCAPE});
    stillAsking();
    Type({'X', 'Y', VK_RETURN});
    EXPECT_EQ(w.services.boxes.back(), "パスワードが違います");
    EXPECT_EQ(UnLockForm->P1->Text(), ""); // the right password is typed afresh, not after the wrong one
    stillAsking();
    Type({VK_TAB, VK_ESCAPE}); // with the focus on the OK button
    stillAsking();

    // Shown again when the program is activated: empty, whatever was left typed in it.
    UnLockForm->P1->SetText("ab");
    Application->OnActivate(Application);
    EXPECT_EQ(UnLockForm->P1->Text(), "");
    stillAsking();

    // The right password, and a real click on OK.
    SetForegroundWindow(UnLockForm->Handle());
    UnLockForm->P1->SetFocus();
    Type({'A', 'B', 'C'});
    RECT ok{};
    GetWindowRect(UnLockForm->OKBtn->Handle(), &ok);
    ASSERT_TRUE(PlaceCursor((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2));
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    EXPECT_FALSE(w.form->Locked());
    EXPECT_FALSE(UnLockForm->Visible());
    EXPECT_TRUE(w.form->Enabled());
    if (w.form->Locked())
        w.Unlock("abc");
    EXPECT_EQ(StoreLockPassword("abc", "鍵pass"), lsOk);
}

TEST(MainFrmLock, NoLockWithoutAReadablePassword)
{
    TLockedWindow w(1);
    // Three of the password's stored bytes changed: no password the unlock dialog could be given.
    AnsiString damaged = TTempDir::Read(w.store);
    const std::vector<int> at = LockStoreBytePositions();
    for (int i : {2, 5, 9})
        damaged.Unique()[at[size_t(i)]] ^= 0x5A;
    for (const char* bytes : {static_cast<const char*>(nullptr), "short", damaged.c_str()})
    {
        const AnsiString path = w.dir / "other.dll";
        DeleteFileW(SjisToWide(path).c_str());
        if (bytes)
            w.dir.Write("other.dll", bytes == damaged.c_str() ? damaged : AnsiString(bytes));
        SetLockPasswordFile(path);
        w.services.boxes.clear();
        w.form->ToggleEditLock();
        EXPECT_FALSE(w.form->Locked());
        const AnsiString message = Format(bytes ? msgLockFileDamaged : msgLockFileUnusable, {path});
        EXPECT_EQ(w.services.boxes, std::vector<std::string>{message.str()});
        EXPECT_TRUE(w.form->MainPageCtrl->Visible());
        EXPECT_FALSE(UnLockForm->Visible());
    }
}

TEST(MainFrmLock, TheScreenSaverUnderAPathWithBlanksRunsInsideTheWindow)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring stub = self;
    stub.erase(stub.find_last_of(L'\\') + 1);
    stub += L"stub_saver.exe";
    TLockedWindow w(1);
    const AnsiString folder = w.dir / "スクリーン セーバー";
    CreateDirectoryW(SjisToWide(folder).c_str(), nullptr);
    const AnsiString saver = folder + "\\my saver.scr";
    ASSERT_TRUE(CopyFileW(stub.c_str(), SjisToWide(saver).c_str(), FALSE));
    WriteScreenSaver(saver, LockTestKey());

    w.form->ToggleEditLock();
    ASSERT_TRUE(w.form->Locked());
    const std::wstring args = SjisToWide(folder + "\\args.txt");
    std::wstring line;
    for (int i = 0; i < 500 && line.empty(); ++i)
    {
        Sleep(10);
        HANDLE f = CreateFileW(args.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            continue;
        wchar_t buffer[1024] = {};
        DWORD read = 0;
        ReadFile(f, buffer, sizeof buffer - sizeof(wchar_t), &read, nullptr);
        CloseHandle(f);
        line.assign(buffer, read / sizeof(wchar_t));
    }
    const std::wstring panel = std::to_wstring(reinterpret_cast<uintptr_t>(w.form->MainPanel->Handle()));
    EXPECT_EQ(line, L"\"" + SjisToWide(saver) + L"\" /P " + panel);
}

TEST(MainFrmLock, TransparencyTogglesTheLayeredWindowAtTheSettingsAlpha)
{
    TLockedWindow w(0);
    auto alpha = [&]() -> int {
        if (!(GetWindowLongW(w.form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED))
            return -1;
        BYTE a = 0;
        DWORD flags = 0;
        GetLayeredWindowAttributes(w.form->Handle(), nullptr, &a, &flags);
        return (flags & LWA_ALPHA) ? a : 256;
    };
    const int saved = VN::EditSetting.WINDOW_ALPHABLENDVALUE;
    VN::EditSetting.WINDOW_ALPHABLENDVALUE = 150;
    w.form->TransparentMenuClick(nullptr);
    EXPECT_EQ(alpha(), 150);
    VN::typEditSetting changed = VN::EditSetting;
    changed.WINDOW_ALPHABLENDVALUE = 90; // the settings dialog changed it meanwhile
    w.form->ApplyEditSetting(changed);
    EXPECT_EQ(alpha(), 90);
    w.form->TransparentToolButton->Click();
    EXPECT_EQ(alpha(), -1);
    w.form->TransparentMenuClick(nullptr);
    EXPECT_EQ(alpha(), 150);
    w.form->TransparentMenuClick(nullptr);
    VN::EditSetting.WINDOW_ALPHABLENDVALUE = saved;
}
