// The drawing thread of the editor page: only the newest request is drawn, stale ones are dropped
// in halves, drawing happens on the interface thread, and a page closes cleanly whatever its
// thread is doing.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

#include "PageTestUtil.h"

namespace
{

TEST(DrawLineThread, TakeNewestServesTheLastRequestAndDropsStaleOnesFromTheFront)
{
    struct Case
    {
        int queued;
        int remaining; // after one step
    } cases[] = {{1, 0}, {2, 1}, {3, 2}, {4, 2}, {10, 5}, {11, 6}, {1000, 500}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.queued);
        std::unique_ptr<DrawLineThread> thread(Create<DrawLineThread>(true)); // never started
        for (int i = 0; i < c.queued; ++i)
            thread->AddRequest(nullptr, i, i + 30);
        ASSERT_TRUE(thread->TakeNewest());
        EXPECT_EQ(thread->Served().First, c.queued - 1);
        EXPECT_EQ(thread->Served().End, c.queued - 1 + 30);
        EXPECT_EQ(thread->RequestCount(), c.remaining);
        // What stays is the newest part of the queue: stepping on serves the same request.
        while (thread->RequestCount() > 0)
        {
            ASSERT_TRUE(thread->TakeNewest());
            EXPECT_EQ(thread->Served().First, c.queued - 1);
        }
        EXPECT_FALSE(thread->TakeNewest());
    }
}

TEST(DrawLineThread, ClearRequestsForgetsTheQueueAndTheServedTarget)
{
    std::unique_ptr<DrawLineThread> thread(Create<DrawLineThread>(true));
    TPageHost host(200, 100, false);
    for (int i = 0; i < 5; ++i)
        thread->AddRequest(host.page, i, i + 1);
    thread->TakeNewest();
    EXPECT_EQ(thread->Served().Target, host.page);
    thread->ClearRequests();
    EXPECT_EQ(thread->RequestCount(), 0);
    EXPECT_EQ(thread->Served().Target, nullptr);
}

TEST(DrawLineThread, APageDrawsOnlyTheNewestOfABatchAndAsFewTimesAsTheHalvingAllows)
{
    // Drawing passes for a batch queued at once: the newest is served each time.
    struct Case
    {
        int batch;
        std::vector<int> passes;
    } cases[] = {{1, {0}}, {2, {1, 1}}, {10, {9, 9, 9, 9, 9}}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.batch);
        TPageHost host(300, 200, false); // hidden: no paint of its own interferes
        TTestPage* page = host.page;
        DrawLineThread* thread = page->DrawThread();
        ASSERT_NE(thread, nullptr);
        host.Settle();
        page->Log().servedFirst.clear();
        {
            std::lock_guard<TCriticalSection> batch(thread->QueueLock());
            for (int i = 0; i < c.batch; ++i)
                thread->AddRequest(page, i, i + 10);
        }
        ASSERT_TRUE(PumpUntil([&] { return page->Log().servedFirst.size() >= c.passes.size(); }));
        host.Settle();
        EXPECT_EQ(page->Log().servedFirst, c.passes);
        EXPECT_EQ(thread->RequestCount(), 0);
    }
}

TEST(DrawLineThread, APaintIsDrawnLaterOnTheInterfaceThreadThroughTheOffscreenBitmap)
{
    TPageHost host;
    TTestPage* page = host.page;
    page->SetText("first\r\nsecond\r\nthird");
    host.Settle();
    page->Log().drawnRows.clear();
    page->Log().drawThreads.clear();
    page->Log().drawnOffscreen.clear();
    InvalidateRect(page->Handle(), nullptr, FALSE);
    UpdateWindow(page->Handle()); // WM_PAINT now: it only queues a request
    EXPECT_TRUE(page->Log().drawnRows.empty());
    ASSERT_TRUE(PumpUntil([&] { return !page->Log().drawnRows.empty(); }));
    host.Settle();
    for (DWORD id : page->Log().drawThreads)
        EXPECT_EQ(id, MainThreadID());
    for (bool off : page->Log().drawnOffscreen)
        EXPECT_TRUE(off);
    // The thread skips its wake-ups while a pass runs, and only then.
    for (bool busy : page->Log().drawnBusy)
        EXPECT_TRUE(busy);
    EXPECT_FALSE(page->DrawThread()->Busy());
    EXPECT_EQ(page->Log().drawnRows.front(), page->GetTopLine());
}

TEST(DrawLineThread, APageWithoutThreadDrawsWithinItsPaint)
{
    TPageHost host;
    TTestPage* page = host.page;
    host.Settle();
    page->StopDrawThread();
    EXPECT_EQ(page->DrawThread(), nullptr);
    page->Log().drawnRows.clear();
    InvalidateRect(page->Handle(), nullptr, FALSE);
    UpdateWindow(page->Handle());
    EXPECT_FALSE(page->Log().drawnRows.empty());
    page->StopDrawThread(); // twice is harmless
}

TEST(DrawLineThread, FreeingAPageWithQueuedRequestsDrawsNothing)
{
    TPageLog log;
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* page = Create<TTestPage>(form, &log);
    page->SetBounds(0, 0, 300, 200);
    page->HandleNeeded();
    DrawLineThread* thread = page->DrawThread();
    {
        std::lock_guard<TCriticalSection> batch(thread->QueueLock());
        for (int i = 0; i < 500; ++i)
            thread->AddRequest(page, i, i + 10);
    }
    log.drawnRows.clear();
    delete page;
    PumpFor(40);
    EXPECT_TRUE(log.drawnRows.empty());
    delete form;
}

TEST(DrawLineThread, FreeingAPageWhileItsThreadWaitsInSynchronizeNeitherDeadlocksNorDraws)
{
    TPageLog log;
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 200);
    auto* page = Create<TTestPage>(form, &log);
    page->SetBounds(0, 0, 300, 200);
    page->HandleNeeded();
    DrawLineThread* thread = page->DrawThread();
    thread->AddRequest(page, 0, 10);
    // The thread has taken the request and goes on to Synchronize; nothing is pumped here, so it
    // waits there for the interface thread.
    while (thread->RequestCount() > 0)
        Sleep(1);
    Sleep(20);
    log.drawnRows.clear();
    delete page; // Terminate and WaitFor: the waiting call is served without drawing
    PumpFor(20);
    EXPECT_TRUE(log.drawnRows.empty());
    delete form;
}

TEST(DrawLineThread, FreeingTheFormOfAPageWithQueuedRequestsDrawsNothing)
{
    TPageLog log;
    auto* form = Create<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 200);
    auto* page = Create<TTestPage>(form, &log);
    page->SetBounds(0, 0, 300, 200);
    page->SetVisible(true);
    form->Show();
    Application->ProcessMessages();
    DrawLineThread* thread = page->DrawThread();
    {
        std::lock_guard<TCriticalSection> batch(thread->QueueLock());
        for (int i = 0; i < 50; ++i)
            thread->AddRequest(page, i, i + 10);
    }
    while (thread->RequestCount() == 50)
        Sleep(1); // the thread is on its way to Synchronize
    log.drawnRows.clear();
    delete form; // the window goes first, then the page with its thread
    PumpFor(40);
    EXPECT_TRUE(log.drawnRows.empty());
}

TEST(DrawLineThread, ManyPagesOpenAndCloseWhilePainting)
{
    // Pages made and freed in a row while their threads are busy: nothing hangs or crashes.
    TPageLog log;
    auto* form = Create<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 300, 200);
    form->Show();
    for (int round = 0; round < 30; ++round)
    {
        auto* page = Create<TTestPage>(form, &log);
        page->SetBounds(0, 0, 300, 200);
        page->SetVisible(true);
        page->SetText("row\r\nrow\r\nrow");
        for (int i = 0; i < round % 5; ++i)
        {
            page->Invalidate();
            Application->ProcessMessages();
        }
        delete page;
    }
    delete form;
    PumpFor(20);
    SUCCEED();
}

} // namespace
