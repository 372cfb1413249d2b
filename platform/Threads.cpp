#include "Threads.h"

#include <process.h>

#include <deque>
#include <mutex>

namespace
{
// Runs on the interface thread while the program starts.
const DWORD gMainThreadId = GetCurrentThreadId();

constexpr UINT kSyncMessage = WM_APP + 1;

// One call waiting for the interface thread. It lives on the waiting thread's stack, so nothing
// may touch it once done is set.
struct TSyncRequest
{
    TThreadMethod Method;
    std::exception_ptr Error;
    HANDLE Done = nullptr;
};

struct TSyncQueue
{
    TCriticalSection Lock;
    std::deque<TSyncRequest*> Pending;
    // Set whenever a request is queued; WaitFor on the interface thread waits on it.
    HANDLE Signal = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWND Window = nullptr;
};

TSyncQueue& SyncQueue()
{
    static TSyncQueue* queue = new TSyncQueue(); // never freed: threads may still post at exit
    return *queue;
}

LRESULT CALLBACK SyncWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg != kSyncMessage)
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    try
    {
        CheckSynchronize();
    }
    catch (...)
    {
        // Each call's own exception goes back to its thread; nothing else may escape here.
    }
    return 0;
}

// The window whose messages carry synchronised calls; made on the interface thread.
void EnsureSyncWindow()
{
    if (GetCurrentThreadId() != gMainThreadId)
        return;
    TSyncQueue& q = SyncQueue();
    if (q.Window)
        return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SyncWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"VnSyncWindow";
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EOSError("同期ウィンドウ クラスを登録できません", GetLastError());
    HWND wnd =
        CreateWindowExW(0, L"VnSyncWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!wnd)
        throw EOSError("同期ウィンドウを作成できません", GetLastError());
    std::lock_guard<TCriticalSection> guard(q.Lock);
    q.Window = wnd;
}
} // namespace

DWORD MainThreadID() { return gMainThreadId; }

bool CheckSynchronize()
{
    if (GetCurrentThreadId() != gMainThreadId)
        return false;
    TSyncQueue& q = SyncQueue();
    bool ran = false;
    for (;;)
    {
        TSyncRequest* request = nullptr;
        {
            std::lock_guard<TCriticalSection> guard(q.Lock);
            if (q.Pending.empty())
                break;
            request = q.Pending.front();
            q.Pending.pop_front();
        }
        // One at a time and outside the lock: a call may pump messages and so come back here.
        try
        {
            request->Method();
        }
        catch (...)
        {
            request->Error = std::current_exception();
        }
        SetEvent(request->Done);
        ran = true;
    }
    return ran;
}

// ---------------------------------------------------------------------------------------------
// TThread

TThread::TThread(bool createSuspended) : createSuspended_(createSuspended) { EnsureSyncWindow(); }

TThread::~TThread()
{
    if (handle_)
    {
        if (!Finished())
        {
            Terminate();
            try
            {
                WaitFor();
            }
            catch (...)
            {
                // A destructor cannot report; the handle is closed either way.
            }
        }
        CloseHandle(handle_);
    }
}

void TThread::AfterConstruction()
{
    if (!createSuspended_)
        Start();
}

void TThread::Start()
{
    if (started_)
        throw EThread("スレッドは開始済みです");
    // Made suspended, so the handle and id are in place before Execute can look at them.
    uintptr_t h = _beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_);
    if (!h)
        throw EOSError("スレッドを作成できません", GetLastError());
    handle_ = reinterpret_cast<HANDLE>(h);
    started_ = true;
    ResumeThread(handle_);
}

unsigned __stdcall TThread::ThreadProc(void* param)
{
    auto* thread = static_cast<TThread*>(param);
    try
    {
        thread->Execute();
    }
    catch (...)
    {
        try
        {
            thread->fatal_ = std::current_exception();
        }
        catch (...)
        {
        }
    }
    unsigned result = unsigned(thread->ReturnValue);
    InterlockedExchange(&thread->finished_, 1);
    return result; // the object may be gone from here on
}

void TThread::Terminate()
{
    InterlockedExchange(&terminated_, 1);
    TerminatedSet();
}

bool TThread::Terminated() const
{
    return InterlockedCompareExchange(const_cast<LONG*>(&terminated_), 0, 0) != 0;
}

bool TThread::Finished() const
{
    return InterlockedCompareExchange(const_cast<LONG*>(&finished_), 0, 0) != 0;
}

int TThread::WaitFor()
{
    if (!started_)
        return ReturnValue;
    if (GetCurrentThreadId() == threadId_)
        throw EThread("スレッドは自分自身の終了を待てません");
    if (GetCurrentThreadId() != gMainThreadId)
    {
        if (WaitForSingleObject(handle_, INFINITE) == WAIT_FAILED)
            throw EOSError("スレッドの終了を待てません", GetLastError());
        return ReturnValue;
    }
    // The interface thread: the thread may be waiting for us in Synchronize or SendMessage.
    HANDLE handles[2] = {handle_, SyncQueue().Signal};
    for (;;)
    {
        CheckSynchronize();
        DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_OBJECT_0 + 1)
            continue;
        if (r == WAIT_OBJECT_0 + 2)
        {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE); // handles sent messages
            continue;
        }
        throw EOSError("スレッドの終了を待てません", GetLastError());
    }
    return ReturnValue;
}

void TThread::Synchronize(TThread* thread, TThreadMethod method)
{
    if (!method)
        return;
    if (GetCurrentThreadId() == gMainThreadId)
    {
        method();
        return;
    }
    TSyncRequest request;
    request.Method = method;
    request.Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!request.Done)
        throw EOSError("同期イベントを作成できません", GetLastError());
    TSyncQueue& q = SyncQueue();
    HWND window;
    {
        std::lock_guard<TCriticalSection> guard(q.Lock);
        q.Pending.push_back(&request);
        window = q.Window;
    }
    SetEvent(q.Signal);
    if (window)
        PostMessageW(window, kSyncMessage, 0, 0);
    WaitForSingleObject(request.Done, INFINITE);
    CloseHandle(request.Done);
    if (request.Error)
        std::rethrow_exception(request.Error);
}

// ---------------------------------------------------------------------------------------------
// TEvent

TEvent::TEvent(bool manualReset, bool initialState)
    : handle_(CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr))
{
    if (!handle_)
        throw EOSError("イベントを作成できません", GetLastError());
}

TEvent::~TEvent() { CloseHandle(handle_); }

void TEvent::SetEvent() { ::SetEvent(handle_); }

void TEvent::ResetEvent() { ::ResetEvent(handle_); }

TWaitResult TEvent::WaitFor(DWORD timeoutMs)
{
    switch (WaitForSingleObject(handle_, timeoutMs))
    {
    case WAIT_OBJECT_0: return wrSignaled;
    case WAIT_TIMEOUT: return wrTimeout;
    case WAIT_ABANDONED: return wrAbandoned;
    default: return wrError;
    }
}
