// Services fakes for tests, each installed while it lives. TBoxServices records every message
// box's text and flags and answers with `answer` (OK unless set), holds the keys in `down`, answers
// text queries from `queries` (none left, or no value: Cancel) and records the help asked for, the
// programs and command lines started (starting none), the shell's opens and the mails.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Services.h"

class TBoxServices : public TPlatformServices
{
public:
    TBoxServices() : previous_(SetServices(this)) {}
    ~TBoxServices() override { SetServices(previous_); }
    TBoxServices(const TBoxServices&) = delete;
    TBoxServices& operator=(const TBoxServices&) = delete;
    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned flags) override
    {
        boxes.push_back(text.str());
        this->flags.push_back(flags);
        return answer;
    }
    short GetKeyState(int vk) override { return down.count(vk) ? short(0x8000) : short(0); }
    bool InputQuery(const AnsiString& caption, const AnsiString&, AnsiString& value) override
    {
        queryCaptions.push_back(caption.str());
        if (queries.empty())
            return false;
        std::optional<std::string> answer = queries.front();
        queries.pop_front();
        if (!answer)
            return false;
        value = answer->c_str();
        return true;
    }
    bool ShowHelp(void*, const AnsiString& helpFile, const AnsiString& keyword) override
    {
        helps.push_back(helpFile.str() + "|" + keyword.str());
        return true;
    }
    HANDLE StartProcess(const AnsiString& program, const AnsiString& commandLine) override
    {
        started.push_back(program.str() + "|" + commandLine.str());
        return nullptr;
    }
    // The colour dialog answers colorAnswer (none: Cancel) and records the colour it was shown.
    bool PickColor(void*, int& color) override
    {
        colorsShown.push_back(color);
        if (!colorAnswer)
            return false;
        color = *colorAnswer;
        return true;
    }
    // The shell records "file|parameters|folder" and answers shellAnswer; mail records each body
    // and answers mailAnswer.
    bool ShellOpen(void*, const AnsiString& file, const AnsiString& parameters, const AnsiString& folder) override
    {
        opened.push_back(file.str() + "|" + parameters.str() + "|" + folder.str());
        return shellAnswer;
    }
    TMailResult SendMail(void*, const AnsiString& text) override
    {
        mails.push_back(text.str());
        return mailAnswer;
    }
    std::vector<std::string> opened;
    bool shellAnswer = true;
    std::vector<std::string> mails;
    TMailResult mailAnswer = mlSent;
    // The open dialog answers fileAnswer and the folder browser folderAnswer (none: Cancel); each
    // records the filter or the folder it was shown.
    bool OpenFileDialog(void*, TFileDialogData& data) override
    {
        fileDialogs.push_back(data.Filter.str());
        if (!fileAnswer)
            return false;
        data.FileName = fileAnswer->c_str();
        return true;
    }
    bool BrowseForFolder(void*, const AnsiString&, AnsiString& folder) override
    {
        foldersShown.push_back(folder.str());
        if (!folderAnswer)
            return false;
        folder = folderAnswer->c_str();
        return true;
    }
    std::optional<std::string> fileAnswer;
    std::vector<std::string> fileDialogs;
    std::optional<std::string> folderAnswer;
    std::vector<std::string> foldersShown;
    // The printer set-up dialog is counted and cancelled.
    bool PrinterSetup(void*) override
    {
        ++printerSetups;
        return false;
    }
    std::vector<std::string> boxes;
    std::vector<unsigned> flags;
    int answer = IDOK;
    std::set<int> down;
    std::deque<std::optional<std::string>> queries;
    std::vector<std::string> queryCaptions;
    std::vector<std::string> helps;
    std::vector<std::string> started;
    std::optional<int> colorAnswer;
    std::vector<int> colorsShown;
    int printerSetups = 0;

private:
    TPlatformServices* previous_;
};

// Shows each box as Windows does (a real box with its own modal loop, owned by the window asked
// for) and presses a button in it from another thread: the next of presses, or OK when none is
// left. Records what TBoxServices records, and each box's owner.
class TRealBoxServices : public TBoxServices
{
public:
    int MessageBox(void* owner, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        TBoxServices::MessageBox(owner, text, caption, flags);
        owners.push_back(static_cast<HWND>(owner));
        press_ = IDOK;
        if (!presses.empty())
        {
            press_ = presses.front();
            presses.pop_front();
        }
        shown_ = false;
        HANDLE t = CreateThread(nullptr, 0, &Closer, this, 0, nullptr);
        const std::wstring w = SjisToWide(text);
        const int r = MessageBoxW(static_cast<HWND>(owner), w.c_str(), L"box", flags);
        shown_ = true;
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
        return r;
    }
    std::deque<int> presses;
    std::vector<HWND> owners;

private:
    // Looks for the box until it is there (however slow the machine) or the call has returned.
    static DWORD WINAPI Closer(void* self)
    {
        auto* me = static_cast<TRealBoxServices*>(self);
        for (int i = 0; i < 3000 && !me->shown_; ++i)
        {
            Sleep(20);
            if (HWND box = FindWindowW(L"#32770", L"box"))
            {
                PostMessageW(box, WM_COMMAND, WPARAM(me->press_), 0);
                return 0;
            }
        }
        return 0;
    }
    int press_ = IDOK;
    std::atomic<bool> shown_{false};
};

// Answers key states (the keys in down are held) and OK to every box.
class TKeyServices : public TPlatformServices
{
public:
    TKeyServices() : previous_(SetServices(this)) {}
    ~TKeyServices() override { SetServices(previous_); }
    TKeyServices(const TKeyServices&) = delete;
    TKeyServices& operator=(const TKeyServices&) = delete;
    int MessageBox(void*, const AnsiString&, const AnsiString&, unsigned) override { return IDOK; }
    short GetKeyState(int vk) override { return down.count(vk) ? short(0x8000) : short(0); }
    std::set<int> down;

private:
    TPlatformServices* previous_;
};

// Puts the mouse at a screen point and waits (by count) until the system reports it there: a
// motion still queued from the display may otherwise move it back.
inline bool PlaceCursor(int x, int y)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        SetCursorPos(x, y);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        POINT p{};
        if (GetCursorPos(&p) && p.x == x && p.y == y)
            return true;
        Sleep(10);
    }
    return false;
}

// A left click at a screen point as the mouse gives it (through the display), its messages handled.
inline bool ClickScreen(int x, int y)
{
    if (!PlaceCursor(x, y))
        return false;
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    // Done when the button went down and came up again in the messages handled.
    bool wentDown = false;
    for (int i = 0; i < 500; ++i)
    {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            Sleep(2);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        const bool down = GetKeyState(VK_LBUTTON) < 0;
        wentDown |= down;
        if (wentDown && !down)
            return true;
    }
    return false;
}

// A click on a window, across its middle and at a fraction of its height from the top (an
// up-down's upper arrow at 0.25, its lower at 0.75).
inline bool ClickWindow(HWND window, double down = 0.5)
{
    RECT r{};
    GetWindowRect(window, &r);
    return ClickScreen((r.left + r.right) / 2, r.top + int((r.bottom - r.top) * down));
}
