// Answers the modal windows the interface thread shows (message boxes, common dialogs, the
// program's own modal forms) from a thread of its own, as a user would once each has been up a
// while (the display and any raise after an activation have then been done), after noting how it
// stood: whether one of the given tool windows lay over it in the window order or could be clicked,
// and whether the screen showed the whole of it. The system's own boxes and dialogs are shown
// while it watches (the services seam is the real one).
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/Services.h"

class TModalWatch
{
public:
    struct TStand
    {
        bool toolAbove = false; // a tool window lay over it in the window order
        bool seenWhole = false; // the screen showed there what it drew itself
        bool toolEnabled = false; // a tool window would have taken a click meanwhile
    };

    // known: the windows that are no modal window (the main window, the tool windows); answer: the
    // button pressed in a box that has it (IDCANCEL in one that has not; a form of ours is closed).
    TModalWatch(DWORD uiThread, std::vector<HWND> tools, std::vector<HWND> known, int answer)
        : uiThread_(uiThread), tools_(std::move(tools)), known_(std::move(known)), answer_(answer),
          previous_(SetServices(nullptr))
    {
        known_.insert(known_.end(), tools_.begin(), tools_.end());
        thread_ = CreateThread(nullptr, 0, &TModalWatch::Run, this, 0, nullptr);
    }
    ~TModalWatch() { Stop(); }
    TModalWatch(const TModalWatch&) = delete;
    TModalWatch& operator=(const TModalWatch&) = delete;

    void Stop()
    {
        if (previous_)
            SetServices(previous_);
        previous_ = nullptr;
        stop_ = true;
        if (thread_)
        {
            WaitForSingleObject(thread_, INFINITE);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
    }
    // How each stood, once stopped.
    const std::vector<TStand>& Stands()
    {
        Stop();
        return stands_;
    }

private:
    struct TSearch
    {
        TModalWatch* self;
        HWND found;
    };
    static BOOL CALLBACK Candidate(HWND hwnd, LPARAM param)
    {
        auto* search = reinterpret_cast<TSearch*>(param);
        const auto& known = search->self->known_;
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (!IsWindowVisible(hwnd) || std::find(known.begin(), known.end(), hwnd) != known.end() ||
            lstrcmpiW(cls, L"tooltips_class32") == 0)
            return TRUE;
        search->found = hwnd;
        return FALSE;
    }

    // The screen shows at points all over the window what the window drew itself.
    static bool SeenWhole(HWND window)
    {
        RECT r{};
        GetWindowRect(window, &r);
        HDC screen = GetDC(nullptr);
        HDC own = GetWindowDC(window);
        bool same = true;
        const int w = r.right - r.left, h = r.bottom - r.top;
        for (int i = 1; i <= 5 && same; ++i)
            for (int j = 1; j <= 4 && same; ++j)
            {
                const int x = w * i / 6, y = h * j / 5;
                same = GetPixel(screen, r.left + x, r.top + y) == GetPixel(own, x, y);
            }
        ReleaseDC(window, own);
        ReleaseDC(nullptr, screen);
        return same;
    }

    static DWORD WINAPI Run(void* param)
    {
        auto* me = static_cast<TModalWatch*>(param);
        while (!me->stop_)
        {
            Sleep(20);
            TSearch search{me, nullptr};
            EnumThreadWindows(me->uiThread_, &TModalWatch::Candidate, reinterpret_cast<LPARAM>(&search));
            HWND modal = search.found;
            if (!modal)
                continue;
            Sleep(500);
            if (!IsWindowVisible(modal))
                continue;
            TStand stand;
            for (HWND w = GetWindow(modal, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
                if (IsWindowVisible(w) && std::find(me->tools_.begin(), me->tools_.end(), w) != me->tools_.end())
                    stand.toolAbove = true;
            for (HWND tool : me->tools_)
                stand.toolEnabled = stand.toolEnabled || (IsWindowVisible(tool) && IsWindowEnabled(tool));
            stand.seenWhole = SeenWhole(modal);
            me->stands_.push_back(stand);
            wchar_t cls[16] = {};
            GetClassNameW(modal, cls, 16);
            if (lstrcmpW(cls, L"#32770") != 0)
                PostMessageW(modal, WM_CLOSE, 0, 0);
            else
                PostMessageW(modal, WM_COMMAND, GetDlgItem(modal, me->answer_) ? me->answer_ : IDCANCEL, 0);
            // Gone before the next look.
            for (int i = 0; i < 250 && IsWindow(modal) && IsWindowVisible(modal); ++i)
                Sleep(20);
        }
        return 0;
    }

    DWORD uiThread_;
    std::vector<HWND> tools_;
    std::vector<HWND> known_;
    int answer_;
    TPlatformServices* previous_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::vector<TStand> stands_;
};
