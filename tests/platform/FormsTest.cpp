// Real top-level windows under Wine: captions, closing, modal loops, the application object.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/Printers.h"
#include "platform/Services.h"
#include "tests/TestModalWatch.h"
#include "tests/TestServices.h"

namespace
{

class TRecordingServices : public TPlatformServices
{
public:
    TRecordingServices() : previous_(SetServices(this)) {}
    ~TRecordingServices() override { SetServices(previous_); }
    int MessageBox(void*, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        boxes.push_back({text.str(), caption.str()});
        lastFlags = flags;
        return IDOK;
    }
    short GetKeyState(int) override { return 0; }

    std::vector<std::pair<std::string, std::string>> boxes; // text, caption
    unsigned lastFlags = 0;

private:
    TPlatformServices* previous_;
};

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[256] = {};
    int n = GetWindowTextW(hwnd, buf, 256);
    return std::wstring(buf, size_t(n));
}

TEST(TCustomForm, CaptionRoundTripsThroughTheWindowAsUtf16)
{
    struct Case
    {
        const char* caption;
        const wchar_t* wide;
    } cases[] = {
        {"Varnolet", L"Varnolet"},
        {"日本語", L"\u65E5\u672C\u8A9E"},
        {"表示ソ能", L"\u8868\u793A\u30BD\u80FD"}, // trail bytes 0x5C
        {"ｶﾀｶﾅ", L"\uFF76\uFF80\uFF76\uFF85"},
        {"", L""},
    };
    auto* shown = Create<TForm>(nullptr);
    shown->HandleNeeded();
    for (const Case& c : cases)
    {
        shown->SetCaption(c.caption);
        EXPECT_EQ(WindowText(shown->Handle()), c.wide) << c.caption;
        EXPECT_EQ(shown->Caption(), c.caption);

        auto* fresh = Create<TForm>(nullptr); // caption set before the window exists
        fresh->SetCaption(c.caption);
        EXPECT_EQ(WindowText(fresh->Handle()), c.wide) << c.caption;
        delete fresh;
    }
    delete shown;

    AnsiString title = Application->Title();
    Application->SetTitle("ヴァルノレ");
    EXPECT_EQ(WindowText(Application->Handle()), L"\u30F4\u30A1\u30EB\u30CE\u30EC");
    Application->SetTitle(title);
}

class TCloseProbe : public TObject
{
public:
    void Query(TObject*, bool& canClose)
    {
        log.push_back("query");
        canClose = allow;
    }
    void Close(TObject*, TCloseAction& a)
    {
        log.push_back("close");
        a = action;
    }
    void Destroy(TObject*) { log.push_back("destroy"); }

    bool allow = true;
    TCloseAction action = caHide;
    std::vector<std::string> log;
};

TEST(TCustomForm, CloseAsksOnCloseQueryThenFollowsOnClose)
{
    struct Case
    {
        bool allow;
        TCloseAction action;
        std::vector<std::string> log;
        bool visible;
    } cases[] = {
        {false, caHide, {"query"}, true},
        {true, caNone, {"query", "close"}, true},
        {true, caHide, {"query", "close"}, false},
        {true, caMinimize, {"query", "close"}, true},
        {true, caFree, {"query", "close", "destroy"}, false},
    };
    for (const Case& c : cases)
    {
        TCloseProbe probe;
        probe.allow = c.allow;
        probe.action = c.action;
        auto* form = Create<TForm>(nullptr);
        form->OnCloseQuery = TCloseQueryEvent(&probe, &TCloseProbe::Query);
        form->OnClose = TCloseEvent(&probe, &TCloseProbe::Close);
        form->OnDestroy = TNotifyEvent(&probe, &TCloseProbe::Destroy);
        form->Show();
        HWND hwnd = form->Handle();
        SendMessageW(hwnd, WM_CLOSE, 0, 0); // what the close box does
        Application->ProcessMessages();     // a freed form goes once its message is done
        EXPECT_EQ(probe.log, c.log) << c.action;
        if (c.action == caFree && c.allow)
        {
            EXPECT_FALSE(IsWindow(hwnd));
            continue;
        }
        EXPECT_EQ(form->Visible(), c.visible) << c.action;
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, c.visible) << c.action;
        if (c.action == caMinimize)
        {
            EXPECT_TRUE(IsIconic(hwnd));
        }
        delete form;
    }
}

// A dialog driven by posted messages: WM_APP sets the modal result given in WPARAM.
class TModalProbe : public TForm
{
public:
    explicit TModalProbe(TComponent* owner) : TForm(owner)
    {
        OnShow = TNotifyEvent(this, &TModalProbe::PostPlan);
        OnCloseQuery = TCloseQueryEvent(this, &TModalProbe::Query);
    }
    std::vector<std::pair<UINT, WPARAM>> plan;
    int refusals = 0;
    HWND other = nullptr;
    std::vector<bool> otherEnabled;
    std::vector<HWND> owners; // the form's owner window at each WM_APP
    bool failWhileShown = false;

protected:
    void Dispatch(TMessage& m) override
    {
        if (m.Msg == WM_APP)
        {
            if (ModalResult() != mrNone)
                return; // both came while a box was up: the first decides
            otherEnabled.push_back(IsWindowEnabled(other) != FALSE);
            owners.push_back(GetWindow(Handle(), GW_OWNER));
            SetModalResult(TModalResult(m.WParam));
            return;
        }
        TForm::Dispatch(m);
    }

private:
    void PostPlan(TObject*)
    {
        for (auto [msg, wparam] : plan)
            PostMessageW(Handle(), msg, wparam, 0);
        PostMessageW(Handle(), WM_APP, mrAbort, 0); // reached only if the loop ran on too long
        if (failWhileShown)
            throw EInvalidOperation("表示中の失敗");
    }
    void Query(TObject*, bool& canClose)
    {
        canClose = refusals == 0;
        if (refusals > 0)
            --refusals;
    }
};

TEST(TCustomForm, ShowModalRunsUntilAResultWithTheOtherWindowsDisabled)
{
    struct Case
    {
        std::vector<std::pair<UINT, WPARAM>> plan;
        int refusals;
        TModalResult expected;
    } cases[] = {
        {{{WM_APP, mrOk}}, 0, mrOk},
        {{{WM_CLOSE, 0}}, 0, mrCancel},
        {{{WM_CLOSE, 0}, {WM_APP, mrYes}}, 1, mrYes}, // the first close is refused
        {{{WM_APP, mrNo}}, 1, mrNone},                // refused, then the guard ends it
    };
    auto* other = Create<TForm>(nullptr);
    other->Show();
    for (const Case& c : cases)
    {
        auto* dialog = Create<TModalProbe>(nullptr);
        dialog->plan = c.plan;
        dialog->refusals = c.refusals;
        dialog->other = other->Handle();
        TModalResult result = dialog->ShowModal();
        if (c.expected == mrNone)
            EXPECT_EQ(result, mrAbort);
        else
            EXPECT_EQ(result, c.expected);
        for (bool enabled : dialog->otherEnabled)
            EXPECT_FALSE(enabled);
        EXPECT_TRUE(IsWindowEnabled(other->Handle()));
        EXPECT_FALSE(dialog->Visible());
        EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
        delete dialog;
    }
    delete other;
}

// The form is owned by the window it was opened from while it is modal, so nothing brings that
// window over it; the box of a failure while it is being shown (before it is active) belongs to it,
// since a box re-enables its owner as it closes.
TEST(TCustomForm, AModalFormIsOwnedByTheWindowItWasOpenedFromWhichStaysDisabledThroughItsBoxes)
{
    TRealBoxServices services;
    auto* other = Create<TForm>(nullptr);
    other->Show();
    SetForegroundWindow(other->Handle());
    for (bool fail : {false, true})
    {
        auto* dialog = Create<TModalProbe>(nullptr);
        dialog->plan = {{WM_APP, mrOk}};
        dialog->other = other->Handle();
        dialog->failWhileShown = fail;
        services.owners.clear();
        EXPECT_EQ(dialog->ShowModal(), mrOk) << fail;
        EXPECT_EQ(dialog->owners, std::vector<HWND>{other->Handle()}) << fail;
        EXPECT_EQ(dialog->otherEnabled, std::vector<bool>{false}) << fail;
        EXPECT_EQ(services.owners, fail ? std::vector<HWND>{dialog->Handle()} : std::vector<HWND>{}) << fail;
        EXPECT_EQ(GetWindow(dialog->Handle(), GW_OWNER), nullptr) << fail;
        EXPECT_TRUE(IsWindowEnabled(other->Handle())) << fail;
        delete dialog;
    }
    delete other;
}

TEST(TCustomForm, ScreenCentreIsAppliedWhenShown)
{
    int shows = 0;
    struct TShowCounter : TObject
    {
        int* count;
        void Shown(TObject*) { ++*count; }
    } counter;
    counter.count = &shows;
    auto* form = Create<TForm>(nullptr);
    form->OnShow = TNotifyEvent(&counter, &TShowCounter::Shown);
    form->SetPosition(poScreenCenter);
    form->SetBounds(0, 0, 200, 100);
    form->Show();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(form->Left(), work.left + (work.right - work.left - 200) / 2);
    EXPECT_EQ(form->Top(), work.top + (work.bottom - work.top - 100) / 2);
    EXPECT_EQ(form->Width(), 200);
    EXPECT_EQ(shows, 1);
    form->Hide();
    form->Show();
    EXPECT_EQ(shows, 2);
    delete form;
}

TEST(TCustomForm, CentredOnTheMainFormOrItsOwnerInsideTheWorkArea)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    TForm* main = nullptr;
    Application->CreateForm(main);
    auto* owner = Create<TForm>(nullptr);
    owner->SetBounds(20, 30, 300, 200);
    owner->Show();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const TRect w(work.left, work.top, work.right, work.bottom);
    const TRect screenCentre(w.Left + (w.Width() - 200) / 2, w.Top + (w.Height() - 100) / 2, 0, 0);
    // A 200 x 100 dialog; the main form where it is put, and shown or not.
    const struct
    {
        const char* name;
        TPosition position;
        TComponent* owner;
        TRect mainAt;
        bool mainShown;
        TRect expected; // Right 0: only the top left corner checked
    } cases[] = {
        {"over the main form", poMainFormCenter, nullptr, TRect(300, 200, 800, 600), true,
         TRect(450, 350, 650, 450)},
        {"main form off the right bottom", poMainFormCenter, nullptr,
         TRect(w.Right - 100, w.Bottom - 50, w.Right + 300, w.Bottom + 250), true,
         TRect(w.Right - 200, w.Bottom - 100, w.Right, w.Bottom)},
        {"main form off the left top", poMainFormCenter, nullptr,
         TRect(w.Left - 400, w.Top - 300, w.Left + 50, w.Top + 40), true,
         TRect(w.Left, w.Top, w.Left + 200, w.Top + 100)},
        {"main form hidden", poMainFormCenter, nullptr, TRect(100, 120, 400, 420), false, screenCentre},
        {"owner form", poOwnerFormCenter, owner, TRect(300, 200, 800, 600), true, TRect(70, 80, 270, 180)},
        {"owner no form", poOwnerFormCenter, Application, TRect(300, 200, 800, 600), true,
         TRect(450, 350, 650, 450)},
    };
    for (const auto& c : cases)
    {
        main->SetBounds(c.mainAt.Left, c.mainAt.Top, c.mainAt.Width(), c.mainAt.Height());
        main->SetVisible(c.mainShown);
        auto* dialog = new TForm(c.owner);
        dialog->AfterConstruction();
        dialog->SetPosition(c.position);
        dialog->SetBounds(0, 0, 200, 100);
        dialog->Show();
        RECT r{};
        GetWindowRect(dialog->Handle(), &r);
        const bool whole = c.expected.Right != 0;
        EXPECT_EQ(TRect(r.left, r.top, whole ? r.right : 0, whole ? r.bottom : 0), c.expected) << c.name;
        delete dialog;
    }
    delete owner;
    delete main;
}

class TMainProbe;
TMainProbe* mainProbe = nullptr;

class TMainProbe : public TForm
{
public:
    explicit TMainProbe(TComponent* owner) : TForm(owner)
    {
        OnCreate = TNotifyEvent(this, &TMainProbe::FormCreate);
    }
    bool sawReference = false;

private:
    void FormCreate(TObject*) { sawReference = mainProbe == this; }
};

TEST(TApplication, CreateFormSetsTheReferenceBeforeOnCreateAndTheFirstIsTheMainForm)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    Application->CreateForm(mainProbe);
    ASSERT_NE(mainProbe, nullptr);
    EXPECT_TRUE(mainProbe->sawReference);
    EXPECT_EQ(mainProbe->Owner(), Application);
    EXPECT_EQ(Application->MainForm(), mainProbe);
    TForm* second = nullptr;
    Application->CreateForm(second);
    EXPECT_EQ(Application->MainForm(), mainProbe);
    delete mainProbe;
    mainProbe = nullptr;
    EXPECT_EQ(Application->MainForm(), nullptr);
    delete second;
}

TEST(TApplication, RunReturnsOnceTheMainFormCloses)
{
    // In a child process: the application stays terminated after Run.
    EXPECT_EXIT(
        {
            TForm* main = nullptr;
            Application->CreateForm(main);
            PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
            Application->Run();
            std::exit(Application->Terminated() && main->Visible() ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
}

class TExceptionHook : public TObject
{
public:
    void Handle(TObject* sender, Exception* e)
    {
        seen.push_back(e->Message.str());
        this->sender = sender;
    }
    std::vector<std::string> seen;
    TObject* sender = nullptr;
};

TEST(TApplication, HandleExceptionShowsTheMessageInJapaneseAndKeepsAbortSilent)
{
    TRecordingServices services;
    const std::string title = Application->Title().str();
    struct Case
    {
        std::exception_ptr error;
        std::vector<std::pair<std::string, std::string>> boxes;
    } cases[] = {
        {std::make_exception_ptr(EInvalidOperation("処理できません")), {{"処理できません", title}}},
        // A C++ library exception's English text never reaches the user.
        {std::make_exception_ptr(std::runtime_error("plain")), {{"予期しない例外が発生しました", title}}},
        {std::make_exception_ptr(std::bad_alloc()), {{SOutOfMemory, title}}},
        {std::make_exception_ptr(EAbort()), {}},
    };
    for (const Case& c : cases)
    {
        services.boxes.clear();
        try
        {
            std::rethrow_exception(c.error);
        }
        catch (const std::exception& e)
        {
            Application->HandleException(nullptr, e);
        }
        EXPECT_EQ(services.boxes, c.boxes);
    }
    EXPECT_EQ(services.lastFlags, unsigned(MB_OK | MB_ICONSTOP));

    TExceptionHook hook;
    Application->OnException = TExceptionEvent(&hook, &TExceptionHook::Handle);
    services.boxes.clear();
    Application->HandleException(Application, EInvalidOperation("フック"));
    Application->HandleException(Application, std::runtime_error("wrapped"));
    Application->OnException = nullptr;
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(hook.seen, (std::vector<std::string>{"フック", "予期しない例外が発生しました"}));
    EXPECT_EQ(hook.sender, Application);
}

TEST(TScreen, CursorSlotsHoldTheProgramsOwnCursors)
{
    HCURSOR rev = LoadCursorW(HInstance, L"RevCursor");
    ASSERT_NE(rev, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(rev, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 30u); // the tip, top right
    EXPECT_EQ(info.yHotspot, 1u);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);

    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_EQ(Screen->Cursors(5), arrow);
    Screen->SetCursors(5, rev);
    EXPECT_EQ(Screen->Cursors(5), rev);
    Screen->SetCursors(5, nullptr);
    EXPECT_EQ(Screen->Cursors(5), arrow);

    struct Case
    {
        TCursor cursor;
        LPCWSTR id;
    } cases[] = {{crDefault, IDC_ARROW}, {crIBeam, IDC_IBEAM}, {crSizeWE, IDC_SIZEWE}, {crHourGlass, IDC_WAIT}};
    for (const Case& c : cases)
        EXPECT_EQ(Screen->Cursors(c.cursor), LoadCursorW(nullptr, c.id)) << c.cursor;
    EXPECT_EQ(Screen->Width(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(Screen->Height(), GetSystemMetrics(SM_CYSCREEN));
}

TEST(Resources, ProgramIconIsThirtyTwoPixelsSquare)
{
    HICON icon = static_cast<HICON>(LoadImageW(HInstance, L"MAINICON", IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DestroyIcon(icon);
}

} // namespace

namespace
{
// The window's layered state as the system reports it: -1 when not layered, else the alpha.
int LayeredAlpha(HWND hwnd)
{
    if (!(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED))
        return -1;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return 256; // layered without an alpha: would draw nothing
    return alpha;
}
} // namespace

TEST(TCustomForm, AlphaBlendMakesTheWindowLayeredAtItsValueWhetherSetBeforeOrAfterTheHandle)
{
    struct Step
    {
        bool blend;
        int value;
        bool recreateBorder; // a border change rewrites the extended style
        int alpha;           // as read back
    };
    const Step steps[] = {
        {true, 128, false, 128}, {true, 200, false, 200}, {false, 200, false, -1}, {true, 300, false, 255},
        {true, -5, true, 0},     {false, 0, true, -1},    {true, 77, true, 77},
    };
    for (bool handleFirst : {false, true})
    {
        TForm form(nullptr);
        if (handleFirst)
            form.Handle();
        for (const Step& s : steps)
        {
            form.SetAlphaBlendValue(s.value);
            form.SetAlphaBlend(s.blend);
            if (s.recreateBorder)
                form.SetBorderStyle(form.BorderStyle() == bsSizeable ? bsSingle : bsSizeable);
            EXPECT_EQ(LayeredAlpha(form.Handle()), s.alpha) << handleFirst << " " << s.value;
            EXPECT_EQ(form.AlphaBlendValue(), std::clamp(s.value, 0, 255));
        }
    }
}

namespace
{
struct TActivationProbe : TObject
{
    int count = 0;
    void Activated(TObject*) { ++count; }
};
} // namespace

TEST(TApplication, OnActivateFiresWhenTheProgramIsActivatedNotWhenItIsLeft)
{
    ASSERT_EQ(Application->MainForm(), nullptr);
    TForm* main = nullptr;
    Application->CreateForm(main);
    TForm* other = nullptr;
    Application->CreateForm(other);
    TActivationProbe probe;
    Application->OnActivate = TNotifyEvent(&probe, &TActivationProbe::Activated);
    struct Case
    {
        TForm* to;
        BOOL active;
        int fired;
    };
    const Case cases[] = {{main, TRUE, 1}, {main, FALSE, 0}, {other, TRUE, 0}};
    for (const Case& c : cases)
    {
        probe.count = 0;
        SendMessageW(c.to->Handle(), WM_ACTIVATEAPP, WPARAM(c.active), 0);
        EXPECT_EQ(probe.count, c.fired);
    }
    Application->OnActivate = TNotifyEvent();
    delete other;
    delete main;
}

namespace
{
// A tool window that stays on top of the window that owns it (a floating results window, a find
// dialog).
class TStayOnTopForm : public TForm
{
public:
    using TForm::TForm;

protected:
    void CreateParams(TCreateParams& params) override
    {
        TForm::CreateParams(params);
        params.ExStyle |= WS_EX_TOPMOST;
    }
};

void Pump(int ms)
{
    for (int i = 0; i < ms / 5; ++i)
    {
        Application->ProcessMessages();
        Sleep(5);
    }
}
} // namespace

// Every kind of modal window, through the real system calls, lies over the tool windows that
// stay on top, the second of two in a row too (the first one's closing activates the main window
// again, which puts its tool windows back on top); the tools take no clicks meanwhile and stay on
// top afterwards.
TEST(TCustomForm, ModalWindowsOfEveryKindLieOverTheToolWindowsThatStayOnTop)
{
    auto* main = Create<TForm>(nullptr);
    main->SetBounds(100, 100, 1000, 760);
    main->Show();
    auto* tool = Create<TStayOnTopForm>(nullptr);
    tool->SetBorderStyle(bsSizeToolWin);
    tool->SetPopupParent(main);
    tool->SetBounds(300, 300, 680, 420); // over the middle of the screen, where dialogs come up
    tool->Show();
    auto* plain = Create<TForm>(nullptr); // owned the same way, not on top (a progress window)
    plain->SetBorderStyle(bsSizeToolWin);
    plain->SetPopupParent(main);
    plain->SetBounds(420, 200, 440, 200);
    plain->Show();
    struct Route
    {
        const char* name;
        std::function<void()> run;
    };
    HWND owner = main->Handle();
    std::vector<Route> routes = {
        {"message box", [owner] { Services().MessageBox(owner, "保存しますか", "Varnolet", MB_YESNOCANCEL); }},
        {"modal form",
         [] {
             std::unique_ptr<TForm> dialog(Create<TForm>(nullptr));
             dialog->SetBorderStyle(bsDialog);
             dialog->SetPosition(poScreenCenter);
             dialog->SetBounds(0, 0, 320, 160);
             dialog->ShowModal();
             EXPECT_FALSE(GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST); // back in its band
         }},
        {"open dialog", [] { std::unique_ptr<TOpenDialog>(Create<TOpenDialog>(nullptr))->Execute(); }},
        {"save dialog", [] { std::unique_ptr<TSaveDialog>(Create<TSaveDialog>(nullptr))->Execute(); }},
        {"colour dialog",
         [owner] {
             int color = 0;
             Services().PickColor(owner, color);
         }},
        {"folder browser",
         [owner] {
             AnsiString folder;
             Services().BrowseForFolder(owner, "フォルダー", folder);
         }},
        {"printer set-up", [owner] { Services().PrinterSetup(owner); }},
    };
    for (const Route& route : routes)
    {
        SCOPED_TRACE(route.name);
        if (std::string(route.name) == "printer set-up" && !Printer()->HasPrinter())
            continue;
        SetForegroundWindow(main->Handle());
        Pump(150);
        TModalWatch watch(GetCurrentThreadId(), {tool->Handle(), plain->Handle()}, {main->Handle()}, IDNO);
        route.run();
        route.run();
        const auto& stands = watch.Stands();
        ASSERT_EQ(stands.size(), 2u);
        for (const TModalWatch::TStand& stand : stands)
        {
            EXPECT_FALSE(stand.toolAbove);
            EXPECT_TRUE(stand.seenWhole);
            EXPECT_FALSE(stand.toolEnabled);
        }
        Pump(50);
        EXPECT_TRUE(GetWindowLongW(tool->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(IsWindowEnabled(tool->Handle()));
        EXPECT_TRUE(IsWindowEnabled(plain->Handle()));
        EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    }
    delete plain;
    delete tool;
    delete main;
}
