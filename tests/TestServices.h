// Services fakes for tests, each installed while it lives. TBoxServices records every message
// box's text and flags and answers with `answer` (OK unless set), with no key ever down.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

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
    short GetKeyState(int) override { return 0; }
    std::vector<std::string> boxes;
    std::vector<unsigned> flags;
    int answer = IDOK;

private:
    TPlatformServices* previous_;
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
