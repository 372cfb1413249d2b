// Timers, panels, dropped files and docking under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/ComCtrls.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "tests/TestServices.h"

#include <shlobj.h>

namespace
{

// Pumps messages until done() holds; a generous cap turns a timer that never fires into a failure
// instead of a hang. Nothing here measures time.
template <class F> bool PumpUntil(F done)
{
    DWORD start = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - start > 20000)
            return false;
        Application->ProcessMessages();
        Sleep(1);
    }
    return true;
}

struct TimerProbe : TObject
{
    std::vector<std::string> fired;
    TTimer* selfFreeing = nullptr;
    TTimer* victim = nullptr;

    void FreeSelf(TObject* sender)
    {
        fired.push_back("self");
        EXPECT_EQ(sender, selfFreeing);
        delete static_cast<TTimer*>(sender);
        selfFreeing = nullptr;
    }
    void FreeOther(TObject*)
    {
        fired.push_back("other");
        delete victim;
        victim = nullptr;
    }
    void Victim(TObject*) { fired.push_back("victim"); }
    void Count(TObject*) { fired.push_back("count"); }
};

TEST(TTimer, MayFreeItselfInItsOwnHandler)
{
    TimerProbe probe;
    auto* owner = Create<TForm>(nullptr);
    probe.selfFreeing = Create<TTimer>(owner);
    probe.selfFreeing->SetInterval(10);
    probe.selfFreeing->OnTimer = TNotifyEvent(&probe, &TimerProbe::FreeSelf);
    EXPECT_EQ(owner->ComponentCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return !probe.fired.empty(); }));
    EXPECT_EQ(probe.fired, (std::vector<std::string>{"self"}));
    EXPECT_EQ(owner->ComponentCount(), 0); // gone from its owner too

    // Stray WM_TIMER messages for freed timers find nothing.
    HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"VnTimerWindow", nullptr);
    ASSERT_NE(window, nullptr);
    for (WPARAM id = 1; id < 64; ++id)
        PostMessageW(window, WM_TIMER, id, 0);
    Application->ProcessMessages();
    EXPECT_EQ(probe.fired.size(), 1u);
    delete owner;
}

TEST(TTimer, AHandlerMayFreeAnotherTimerWhoseTickIsPending)
{
    TimerProbe probe;
    auto* killer = Create<TTimer>(nullptr);
    killer->SetInterval(5);
    killer->OnTimer = TNotifyEvent(&probe, &TimerProbe::FreeOther);
    probe.victim = Create<TTimer>(nullptr);
    probe.victim->SetInterval(5);
    probe.victim->OnTimer = TNotifyEvent(&probe, &TimerProbe::Victim);
    ASSERT_TRUE(PumpUntil([&] { return std::count(probe.fired.begin(), probe.fired.end(), "other") >= 3; }));
    // Once freed, the victim never runs again.
    auto firstOther = std::find(probe.fired.begin(), probe.fired.end(), "other");
    EXPECT_EQ(std::find(firstOther, probe.fired.end(), "victim"), probe.fired.end());
    delete killer;
}

// A handler that throws is reported through the application's handler (here: the box seam) and
// the timer goes on ticking; with OnException set, that handler gets it instead of a box.
TEST(TTimer, AHandlerThatThrowsIsReportedAndTheTimerGoesOn)
{
    struct TThrowing : TObject
    {
        int ticks = 0;
        std::vector<std::string> reported;
        void Tick(TObject*)
        {
            ++ticks;
            throw Exception("タイマーで失敗しました");
        }
        void OnException(TObject*, Exception* e) { reported.push_back(e->Message.str()); }
    } probe;
    for (bool handler : {false, true})
    {
        SCOPED_TRACE(handler ? "OnException" : "box");
        TBoxServices services;
        probe.ticks = 0;
        probe.reported.clear();
        if (handler)
            Application->OnException = TExceptionEvent(&probe, &TThrowing::OnException);
        auto* timer = Create<TTimer>(nullptr);
        timer->SetInterval(5);
        timer->OnTimer = TNotifyEvent(&probe, &TThrowing::Tick);
        EXPECT_TRUE(PumpUntil([&] { return probe.ticks >= 3; }));
        delete timer;
        Application->OnException = TExceptionEvent();
        const std::vector<std::string> expected(size_t(probe.ticks), "タイマーで失敗しました");
        EXPECT_EQ(handler ? probe.reported : services.boxes, expected);
        EXPECT_TRUE((handler ? services.boxes : probe.reported).empty());
    }
}

TEST(TTimer, RunsOnlyWhileEnabledWithAnInterval)
{
    TimerProbe probe;
    auto* timer = Create<TTimer>(nullptr);
    timer->OnTimer = TNotifyEvent(&probe, &TimerProbe::Count);
    timer->SetEnabled(false);
    timer->SetInterval(1);
    auto* marker = Create<TTimer>(nullptr); // fires long after the first would have
    marker->SetInterval(60);
    bool markerFired = false;
    struct Flag : TObject
    {
        bool* flag = nullptr;
        void Set(TObject*) { *flag = true; }
    } flag;
    flag.flag = &markerFired;
    marker->OnTimer = TNotifyEvent(&flag, &Flag::Set);
    ASSERT_TRUE(PumpUntil([&] { return markerFired; }));
    EXPECT_TRUE(probe.fired.empty());

    timer->SetInterval(0);
    timer->SetEnabled(true);
    markerFired = false;
    ASSERT_TRUE(PumpUntil([&] { return markerFired; }));
    EXPECT_TRUE(probe.fired.empty());

    timer->SetInterval(1);
    ASSERT_TRUE(PumpUntil([&] { return !probe.fired.empty(); }));
    delete marker;
    delete timer;
}

// A WM_DROPFILES handle as the shell makes it: the names after a DROPFILES header, each ended by a
// NUL, the list by one more.
HDROP MakeDrop(const std::vector<std::wstring>& names, bool wide)
{
    std::vector<char> payload;
    for (const std::wstring& n : names)
    {
        if (wide)
        {
            const char* p = reinterpret_cast<const char*>(n.c_str());
            payload.insert(payload.end(), p, p + (n.size() + 1) * sizeof(wchar_t));
        }
        else
        {
            AnsiString s = WideToSjis(n);
            payload.insert(payload.end(), s.c_str(), s.c_str() + s.Length() + 1);
        }
    }
    payload.insert(payload.end(), wide ? 2 : 1, '\0');
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + payload.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(mem));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = wide;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), payload.data(), payload.size());
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

struct DropProbe : TObject
{
    std::vector<AnsiString> names;
    int calls = 0;
    void Drop(TObject*, TStrings* files)
    {
        ++calls;
        for (int i = 0; i < files->GetCount(); ++i)
            names.push_back(files->Strings(i));
    }
};

TEST(TPanel, DroppedFilesArriveAsCp932NamesAtTheirRealLength)
{
    std::wstring longName =
        L"C:\\" + std::wstring(150, L'\u3042') + L"\\" + std::wstring(150, L'x') + L".txt";
    std::vector<std::wstring> names = {
        L"C:\\tmp\\\u65E5\u672C\u8A9E.txt",    // 日本語
        L"C:\\\u8868\u793A\\\u30BD\u80FD.txt", // 表示\ソ能: trail bytes 0x5C
        longName,
        L"D:\\a b\\c",
    };
    auto* form = Create<TForm>(nullptr);
    auto* panel = Create<TPanel>(form);
    panel->SetParent(form);
    panel->SetAcceptFiles(true);
    EXPECT_TRUE(GetWindowLongW(panel->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DropProbe probe;
    panel->OnDropFiles = TDropFilesEvent(&probe, &DropProbe::Drop);

    for (bool wide : {true, false})
    {
        probe.names.clear();
        LRESULT result =
            SendMessageW(panel->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names, wide)), 0);
        EXPECT_EQ(result, 0);
        ASSERT_EQ(probe.names.size(), names.size()) << wide;
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(probe.names[i], WideToSjis(names[i])) << wide << " " << i;
    }
    EXPECT_GT(probe.names[2].Length(), 400); // no 260- or 276-byte cut

    // Without a handler the drop is still finished; nothing is called.
    panel->OnDropFiles = nullptr;
    SendMessageW(panel->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(names, true)), 0);
    EXPECT_EQ(probe.calls, 2);
    delete form;
}

struct DockProbe : TObject
{
    std::vector<std::string> log;
    bool allowUndock = true;
    void DockDrop(TObject*, TDragDockObject* source, int, int)
    {
        log.push_back("dock " + static_cast<TCustomForm*>(source->Control())->Caption().str());
    }
    void UnDock(TObject*, TControl* client, TWinControl* target, bool& allow)
    {
        log.push_back("undock " + client->Caption().str() + (target ? " to a site" : ""));
        allow = allowUndock;
    }
};

TEST(TPanel, DocksAToolFormAsAChildAndFloatsItAgain)
{
    auto* main = Create<TForm>(nullptr);
    main->SetBounds(0, 0, 600, 400);
    auto* site = Create<TPanel>(main);
    site->SetParent(main);
    site->SetAlign(alBottom);
    site->SetHeight(120);
    site->SetDockSite(true);
    DockProbe probe;
    site->OnDockDrop = TDockDropEvent(&probe, &DockProbe::DockDrop);
    site->OnUnDock = TUnDockEvent(&probe, &DockProbe::UnDock);
    main->Show();

    auto* tool = Create<TForm>(nullptr);
    tool->SetCaption("検索ウィンドウ");
    tool->SetBounds(700, 100, 300, 150);
    // A native control inside: its tabs must survive the window being made anew on floating.
    auto* pages = Create<TPageControl>(tool);
    pages->SetParent(tool);
    pages->SetAlign(alClient);
    for (const char* caption : {"検索結果", "二"})
    {
        auto* sheet = Create<TTabSheet>(pages);
        sheet->SetCaption(caption);
        sheet->SetPageControl(pages);
    }
    tool->Show();

    EXPECT_EQ(HostDockSite(tool), nullptr);
    ASSERT_TRUE(ManualDock(tool, site));
    HWND h = tool->Handle();
    EXPECT_EQ(tool->Parent(), site);
    EXPECT_EQ(GetParent(h), site->Handle());
    EXPECT_TRUE(GetWindowLongW(h, GWL_STYLE) & WS_CHILD);
    EXPECT_FALSE((GetWindowLongW(h, GWL_STYLE) & WS_CAPTION) == WS_CAPTION);
    EXPECT_EQ(HostDockSite(tool), site);
    EXPECT_EQ(site->DockClientCount(), 1);
    EXPECT_EQ(site->DockClients(0), tool);
    TRect client = site->ClientRect();
    EXPECT_EQ(tool->BoundsRect(), client);
    EXPECT_EQ(UndockSize(tool).cx, 300);
    EXPECT_EQ(UndockSize(tool).cy, 150);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(probe.log, (std::vector<std::string>{"dock 検索ウィンドウ"}));

    // The site may refuse to let it go.
    probe.allowUndock = false;
    EXPECT_FALSE(ManualFloat(tool, TRect(100, 100, 400, 300)));
    EXPECT_EQ(HostDockSite(tool), site);

    probe.allowUndock = true;
    ASSERT_TRUE(ManualFloat(tool, TRect(100, 120, 400, 320)));
    h = tool->Handle();
    EXPECT_EQ(tool->Parent(), nullptr);
    EXPECT_EQ(GetAncestor(h, GA_ROOT), h);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(IsWindowVisible(h));
    EXPECT_EQ(site->DockClientCount(), 0);
    EXPECT_EQ(tool->Left(), 100);
    EXPECT_EQ(tool->Top(), 120);
    EXPECT_EQ(tool->Width(), 300);
    EXPECT_EQ(SendMessageW(pages->Handle(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(probe.log.back(), "undock 検索ウィンドウ");

    // Docking again works the same; a panel that is no dock site takes nothing.
    auto* plain = Create<TPanel>(main);
    plain->SetParent(main);
    EXPECT_FALSE(ManualDock(tool, plain));
    ASSERT_TRUE(ManualDock(tool, site));
    EXPECT_EQ(site->DockClientCount(), 1);
    delete tool; // a docked form may be freed; the site forgets it
    EXPECT_EQ(site->DockClientCount(), 0);
    delete main;
}

} // namespace

TEST(TPanel, BevelsSitBorderWidthApartAndASingleBorderSinksThePanel)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* panel = Create<TPanel>(form);
    panel->SetBounds(10, 10, 120, 80);
    panel->SetParent(form);
    panel->SetColor(clYellow);
    form->Show();
    auto row = [&] {
        RedrawWindow(panel->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC dc = GetDC(panel->Handle());
        std::vector<bool> edge; // along the middle row from the left: not the panel's colour
        for (int x = 0; x < 10; ++x)
            edge.push_back(GetPixel(dc, x, 40) != RGB(255, 255, 0));
        ReleaseDC(panel->Handle(), dc);
        return edge;
    };
    EXPECT_EQ(row(), (std::vector<bool>{true, false, false, false, false, false, false, false, false, false}));
    panel->SetBevelInner(bvLowered);
    panel->SetBorderWidth(3);
    EXPECT_EQ(row(), (std::vector<bool>{true, false, false, false, true, false, false, false, false, false}));
    EXPECT_FALSE(GetWindowLongW(panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    panel->SetBorderStyle(bsSingle);
    EXPECT_TRUE(GetWindowLongW(panel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(panel->ClientWidth(), 120 - 4);
    delete form;
}
