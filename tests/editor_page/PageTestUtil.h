// Helpers of the editor page's tests: a page that records what it is told and what it draws, a
// borderless form that holds it, and message pumping with a bound.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "editor_page/DrawLineThread.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"
#include "tests/editor_control/EditorTestUtil.h"

// What the test page saw; kept outside the page so that it can be read after the page is gone.
struct TPageLog
{
    std::vector<std::pair<typLineChange, int>> changes;
    std::vector<int> drawnRows;
    std::vector<DWORD> drawThreads;
    std::vector<bool> drawnOffscreen;
    // The drawing thread's busy flag as each row was drawn (false without a thread).
    std::vector<bool> drawnBusy;
    // First row of the request being served, once per drawing pass (taken when the top row is drawn).
    std::vector<int> servedFirst;
};

class TTestPage : public nsRichEdit
{
public:
    explicit TTestPage(TComponent* owner, TPageLog* log = nullptr)
        : nsRichEdit(owner), log_(log ? log : &own_)
    {
    }

    TPageLog& Log() { return *log_; }
    void LineStoreChanged(typLineChange change, int index) override
    {
        log_->changes.emplace_back(change, index);
        nsRichEdit::LineStoreChanged(change, index);
    }
    void DrawLine(int row) override
    {
        log_->drawnRows.push_back(row);
        log_->drawThreads.push_back(GetCurrentThreadId());
        log_->drawnOffscreen.push_back(OffscreenBitmap() && GetMyCanvas() == OffscreenBitmap()->Canvas());
        log_->drawnBusy.push_back(DrawThread() && DrawThread()->Busy());
        if (row == GetTopLine() && DrawThread())
            log_->servedFirst.push_back(DrawThread()->Served().First);
        nsRichEdit::DrawLine(row);
    }
    void SetInsertModeRaw(bool on) { SetInsertMode(on); }
    using nsRichEdit::SetLeftColRaw;
    using nsRichEdit::SetTopLineRaw;

private:
    TPageLog own_;
    TPageLog* log_;
};

inline std::unique_ptr<TTestPage> NewPage() { return std::unique_ptr<TTestPage>(Create<TTestPage>(nullptr)); }

// Handles pending messages (and with them synchronised calls) until done() holds; false when it
// never did within a generous number of rounds.
template <class F>
bool PumpUntil(F done, int rounds = 5000)
{
    for (int i = 0; i < rounds; ++i)
    {
        Application->ProcessMessages();
        if (done())
            return true;
        Sleep(1);
    }
    return done();
}

// Lets the drawing thread settle: handles messages for a while, so that a pass that should not
// happen has had every chance to.
inline void PumpFor(int rounds)
{
    for (int i = 0; i < rounds; ++i)
    {
        Application->ProcessMessages();
        Sleep(1);
    }
}

// A borderless form whose client area is the page.
class TPageHost
{
public:
    explicit TPageHost(int width = 480, int height = 320, bool show = true, TPageLog* log = nullptr)
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, width, height);
        page = Create<TTestPage>(form, log);
        page->SetBounds(0, 0, width, height);
        page->SetVisible(true);
        form->HandleNeeded();
        page->HandleNeeded();
        if (show)
            form->Show();
    }
    ~TPageHost() { delete form; }
    TPageHost(const TPageHost&) = delete;
    TPageHost& operator=(const TPageHost&) = delete;

    // Waits until the drawing thread has nothing queued and no pass is pending.
    void Settle()
    {
        PumpUntil([&] { return !page->DrawThread() || page->DrawThread()->RequestCount() == 0; });
        PumpFor(30);
    }

    TForm* form = nullptr;
    TTestPage* page = nullptr;
};

