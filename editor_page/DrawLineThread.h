// The drawing thread of an editor page. The page's Paint only queues a request; the thread
// gathers requests for 10 ms, keeps the newest, drops stale ones from the front and has the page
// draw on the interface thread through Synchronize. A burst of paints (scrolling, typing, resizing)
// becomes few real redraws. When the queue is empty the thread sleeps until the next request.
#pragma once

#include <atomic>

#include "common/Nscontainers.h"
#include "platform/Threads.h"

class nsRichEdit;

class DrawLineThread : public TThread
{
public:
    // One paint request: the page and its first and end display rows.
    struct typPReq
    {
        nsRichEdit* Target = nullptr;
        int First = 0;
        int End = 0;
    };

    // Runs at once when made with Create<DrawLineThread>(); suspended threads start with Start().
    explicit DrawLineThread(bool createSuspended = false);
    // Stops the thread (serving what it waits for in Synchronize, without drawing), then frees
    // the requests still queued.
    ~DrawLineThread() override;

    // The producer side (the page's Paint, on the interface thread).
    void AddRequest(nsRichEdit* target, int first, int end);
    // Empties the queue and forgets the request being served: nothing queued before reaches a page.
    void ClearRequests();
    int RequestCount();
    // The copy of the request being served (read it while the page draws).
    typPReq Served();
    // A drawing pass is running on the interface thread.
    bool Busy() const { return FBusy.load(); }
    // Held around a batch of AddRequest calls, the thread sees the batch as one.
    TCriticalSection& QueueLock() { return FLock; }

    // One step of the loop: copies the newest request into the served copy and removes stale ones
    // from the front (count div 2 of them when there are 3 or more, else 1). False when there is
    // nothing to serve.
    bool TakeNewest();

protected:
    void Execute() override;
    void TerminatedSet() override;

private:
    // Runs on the interface thread through Synchronize.
    void DoDraw();

    TCriticalSection FLock;
    nsList<typPReq> FQueue;
    std::atomic<bool> FBusy{false}; // written on the interface thread, read by this one
    typPReq FServed;
    TEvent FWake;
};
