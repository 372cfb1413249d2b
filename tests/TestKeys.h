// Keys played into the program's own message loop as a user types them: each key goes to whichever
// window has the focus at that moment, and becomes a character through the loop's TranslateMessage.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "tests/TestServices.h"

// One key pressed at target and handled through the message loop, with the keys in services.down
// held in the thread's key state as well, so that the character it makes is the one those keys
// would make. Nothing is held afterwards.
inline void PressWithHeldKeys(TBoxServices& services, HWND target, WORD key)
{
    BYTE before[256] = {}, held[256] = {};
    GetKeyboardState(before);
    std::copy(std::begin(before), std::end(before), held);
    for (int vk : services.down)
        held[vk] = 0x80;
    SetKeyboardState(held);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    Application->ProcessMessages();
    SetKeyboardState(before);
    services.down.clear();
}

struct TKeyStep
{
    WORD vk;
    bool alt = false;   // a system key (Alt held): WM_SYSKEYDOWN with bit 29, a WM_SYSCHAR follows
    bool shift = false; // Shift held, as the key-state seam reports it
};

// One key per timer tick. A tick comes only when no other message is waiting, so each key and the
// character made from it are handled before the next key goes out. After the last key, atEnd runs
// (a modal test ends its dialog there when the keys did not).
class TKeyScript
{
public:
    TKeyScript(TKeyServices& keys, std::vector<TKeyStep> steps, std::function<void()> atEnd = {})
        : keys_(keys), steps_(std::move(steps)), atEnd_(std::move(atEnd)), timer_(Create<TTimer>(nullptr))
    {
        timer_->SetInterval(1);
        timer_->OnTimer = TNotifyEvent(this, &TKeyScript::Tick);
    }
    ~TKeyScript() { delete timer_; }
    TKeyScript(const TKeyScript&) = delete;
    TKeyScript& operator=(const TKeyScript&) = delete;

    bool Done() const { return done_; }
    // The windows that had the focus when each key went out.
    std::vector<HWND> targets;

    void Tick(TObject*)
    {
        keys_.down.erase(VK_SHIFT);
        if (next_ == steps_.size())
        {
            timer_->SetEnabled(false);
            done_ = true;
            if (atEnd_)
                atEnd_();
            return;
        }
        const TKeyStep& step = steps_[next_++];
        if (step.shift)
            keys_.down.insert(VK_SHIFT);
        HWND target = GetFocus();
        targets.push_back(target);
        const LPARAM data = step.alt ? 0x20000001 : 1;
        PostMessageW(target, step.alt ? WM_SYSKEYDOWN : WM_KEYDOWN, step.vk, data);
        PostMessageW(target, step.alt ? WM_SYSKEYUP : WM_KEYUP, step.vk, data | LPARAM(0xC0000000));
    }

private:
    TKeyServices& keys_;
    std::vector<TKeyStep> steps_;
    std::function<void()> atEnd_;
    TTimer* timer_;
    size_t next_ = 0;
    bool done_ = false;
};

// Runs steps one per timer tick while a modal dialog's own loop runs. A step that sets Again runs
// once more on the next tick. Ticks past the last step end the dialog with mrAbort: a dialog that
// the steps failed to close fails the test instead of hanging it.
class TModalScript : public TObject
{
public:
    TModalScript(TCustomForm* form, std::vector<std::function<void()>> steps, UINT intervalMs = 20)
        : form_(form), steps_(std::move(steps)), timer_(Create<TTimer>(nullptr))
    {
        timer_->SetInterval(intervalMs);
        timer_->OnTimer = TNotifyEvent(this, &TModalScript::Tick);
    }
    ~TModalScript() override { delete timer_; }
    TModalScript(const TModalScript&) = delete;
    TModalScript& operator=(const TModalScript&) = delete;

    bool Again = false;

    void Tick(TObject*)
    {
        if (next_ < steps_.size())
        {
            Again = false;
            steps_[next_]();
            if (!Again)
                ++next_;
            return;
        }
        if (++idle_ > 100 && form_->ModalResult() == mrNone)
            form_->SetModalResult(mrAbort);
    }

private:
    TCustomForm* form_;
    std::vector<std::function<void()>> steps_;
    TTimer* timer_;
    size_t next_ = 0;
    int idle_ = 0;
};
