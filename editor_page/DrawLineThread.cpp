#include "editor_page/DrawLineThread.h"

#include <mutex>

#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"

namespace
{
constexpr DWORD kGatherMs = 10; // requests arriving meanwhile collapse into one drawing pass
}

DrawLineThread::DrawLineThread(bool createSuspended) : TThread(createSuspended), FWake(false, false) {}

DrawLineThread::~DrawLineThread()
{
    Terminate();
    WaitFor();
    ClearRequests();
}

void DrawLineThread::AddRequest(nsRichEdit* target, int first, int end)
{
    auto* request = new typPReq{target, first, end};
    {
        std::lock_guard<TCriticalSection> guard(FLock);
        FQueue.Add(request);
    }
    FWake.SetEvent();
}

void DrawLineThread::ClearRequests()
{
    std::lock_guard<TCriticalSection> guard(FLock);
    FQueue.Clear();
    FServed = typPReq();
}

int DrawLineThread::RequestCount()
{
    std::lock_guard<TCriticalSection> guard(FLock);
    return FQueue.Count();
}

DrawLineThread::typPReq DrawLineThread::Served()
{
    std::lock_guard<TCriticalSection> guard(FLock);
    return FServed;
}

bool DrawLineThread::TakeNewest()
{
    std::lock_guard<TCriticalSection> guard(FLock);
    const int count = FQueue.Count();
    if (count == 0)
        return false;
    FServed = *FQueue.Get(count - 1);
    // The newest stays queued unless it was the only one; a long backlog halves each time.
    int drop = count >= 3 ? count / 2 : 1;
    while (drop-- > 0)
        FQueue.Delete(0);
    return true;
}

void DrawLineThread::TerminatedSet() { FWake.SetEvent(); }

void DrawLineThread::Execute()
{
    while (!Terminated())
    {
        if (RequestCount() == 0)
        {
            FWake.WaitFor(INFINITE); // idle: no wake-ups until a page paints
            continue;
        }
        Sleep(kGatherMs);
        if (Terminated())
            break;
        if (FBusy || !TakeNewest())
            continue;
        if (Terminated())
            break;
        Synchronize(TThreadMethod(this, &DrawLineThread::DoDraw));
    }
}

void DrawLineThread::DoDraw()
{
    // A page being closed waits for this thread with Terminate and WaitFor, which may serve this
    // call: it must draw nothing then.
    if (Terminated())
        return;
    typPReq served = Served();
    nsRichEdit* page = served.Target;
    if (!page || !page->HandleAllocated() || page->ComponentState().Contains(csDestroying))
        return;
    FBusy = true;
    // Drawing errors are reported as a paint's would be; the thread goes on serving.
    GuardedCall(page, [&] { page->DrawRows(served.First, served.End); });
    FBusy = false;
}
