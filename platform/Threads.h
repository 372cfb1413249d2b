// Worker threads, locks and events.
//
// A thread's Synchronize hands a method to the interface thread (the thread that started the
// program) and waits until it has run there. The call travels as a message to a hidden window of
// this unit, so every message loop serves it: the application's, a modal form's, a message box's.
// WaitFor and CheckSynchronize on the interface thread also run pending calls, so waiting there for
// a thread that is itself waiting in Synchronize never deadlocks.
//
// Two-phase start: a thread made with Create<T>(...) starts once the whole object exists (a thread
// started from TThread's constructor could run Execute before the derived class is built). One made
// suspended starts with Start().
#pragma once

#include <concepts>
#include <exception>
#include <utility>

#include <windows.h>

#include "SysUtils.h"
#include "System.h"

VN_DECLARE_EXCEPTION(EThread, Exception)

using TThreadMethod = Closure<void()>;

// Id of the program's interface thread (the one that ran the start-up of this unit).
DWORD MainThreadID();

// Runs the synchronised calls waiting for the interface thread; true when it ran any. Does
// nothing on another thread.
bool CheckSynchronize();

class TThread : public TObject
{
public:
    explicit TThread(bool createSuspended);
    // Stops and waits for a thread still running. A derived class whose Execute uses its own
    // members must stop the thread in its own destructor (Terminate, WaitFor) before they go.
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Runs by Create<T>: starts the thread unless it was made suspended.
    virtual void AfterConstruction();
    void Start();

    // Asks Execute to finish; it polls Terminated.
    void Terminate();
    bool Terminated() const;
    // Waits until Execute has returned and gives ReturnValue. On the interface thread it runs the
    // synchronised calls and sent messages that arrive meanwhile. A thread never started returns at once.
    int WaitFor();
    bool Finished() const;
    bool Started() const { return started_; }

    HANDLE Handle() const { return handle_; }
    DWORD ThreadID() const { return threadId_; }
    // The exception that ended Execute, if any (read it after WaitFor).
    std::exception_ptr FatalException() const { return fatal_; }

    // Runs method on the interface thread for thread (at once when called there), waits for it and
    // raises here what it raised there.
    static void Synchronize(TThread* thread, TThreadMethod method);

protected:
    virtual void Execute() = 0;
    void Synchronize(TThreadMethod method) { Synchronize(this, method); }
    // Called by Terminate, on the terminating thread: wake a thread that waits on something.
    virtual void TerminatedSet() {}

    int ReturnValue = 0;

private:
    static unsigned __stdcall ThreadProc(void* param);

    HANDLE handle_ = nullptr;
    unsigned threadId_ = 0;
    volatile LONG terminated_ = 0;
    volatile LONG finished_ = 0;
    bool started_ = false;
    bool createSuspended_;
    std::exception_ptr fatal_;
};

// Makes a thread and starts it once it is complete (see the header comment).
template <class T, class... A>
requires std::derived_from<T, TThread> T* Create(A&&... args)
{
    T* thread = new T(std::forward<A>(args)...);
    try
    {
        thread->AfterConstruction();
    }
    catch (...)
    {
        delete thread;
        throw;
    }
    return thread;
}

class TCriticalSection : public TObject
{
public:
    TCriticalSection() { InitializeCriticalSection(&section_); }
    ~TCriticalSection() override { DeleteCriticalSection(&section_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Acquire() { EnterCriticalSection(&section_); }
    void Release() { LeaveCriticalSection(&section_); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    bool TryEnter() { return TryEnterCriticalSection(&section_) != 0; }
    // For std::lock_guard.
    void lock() { Acquire(); }
    void unlock() { Release(); }

private:
    CRITICAL_SECTION section_;
};

enum TWaitResult
{
    wrSignaled,
    wrTimeout,
    wrAbandoned,
    wrError
};

// A Win32 event: manual reset stays set until reset; automatic reset lets one waiter through.
class TEvent : public TObject
{
public:
    TEvent(bool manualReset, bool initialState);
    ~TEvent() override;
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(DWORD timeoutMs);
    HANDLE Handle() const { return handle_; }

private:
    HANDLE handle_;
};
