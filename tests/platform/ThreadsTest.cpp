// Worker threads under Wine: synchronised calls reach the interface thread through any message
// loop and through WaitFor, exceptions never leave a thread, locks and events.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Forms.h"
#include "platform/Threads.h"

namespace
{

// A thread whose body is given by the test; Sync runs a method through Synchronize.
class TBodyThread : public TThread
{
public:
    using Body = std::function<void(TBodyThread&)>;
    TBodyThread(Body body, bool suspended = false) : TThread(suspended), body_(std::move(body)) {}
    ~TBodyThread() override
    {
        Terminate();
        WaitFor();
    }
    void Sync(TThreadMethod method) { Synchronize(method); }
    using TThread::ReturnValue;

protected:
    void Execute() override { body_(*this); }

private:
    Body body_;
};

// What a synchronised call saw: the thread it ran on, and how often it ran.
struct TProbe : TObject
{
    std::vector<DWORD> threads;
    std::function<void()> extra;
    void Run()
    {
        threads.push_back(GetCurrentThreadId());
        if (extra)
            extra();
    }
};

TEST(TThread, SynchronizedCallRunsOnTheInterfaceThreadThroughTheApplicationLoop)
{
    TProbe probe;
    std::atomic<bool> returned{false};
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            self.Sync(TThreadMethod(&probe, &TProbe::Run));
            returned = true;
            PostThreadMessageW(MainThreadID(), WM_NULL, 0, 0); // wakes the waiting loop once more
        }));
    // Only the application's own message handling: the call must arrive as a message.
    while (!returned)
        Application->HandleMessage();
    ASSERT_EQ(probe.threads.size(), 1u);
    EXPECT_EQ(probe.threads[0], GetCurrentThreadId());
    EXPECT_EQ(probe.threads[0], MainThreadID());
    t->WaitFor();
}

TEST(TThread, SynchronizedCallRunsThroughAPlainMessageLoopToo)
{
    // Modal loops and message boxes pump with GetMessage and DispatchMessage only.
    TProbe probe;
    std::atomic<bool> returned{false};
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            for (int i = 0; i < 3; ++i)
                self.Sync(TThreadMethod(&probe, &TProbe::Run));
            returned = true;
            PostThreadMessageW(MainThreadID(), WM_NULL, 0, 0); // wakes GetMessage once more
        }));
    MSG msg;
    while (!returned && GetMessageW(&msg, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    t->WaitFor();
    ASSERT_EQ(probe.threads.size(), 3u);
    for (DWORD id : probe.threads)
        EXPECT_EQ(id, MainThreadID());
}

TEST(TThread, WaitForOnTheInterfaceThreadRunsPendingCallsInsteadOfDeadlocking)
{
    TProbe probe;
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            for (int i = 0; i < 50; ++i)
                self.Sync(TThreadMethod(&probe, &TProbe::Run));
            self.ReturnValue = 7;
        }));
    EXPECT_EQ(t->WaitFor(), 7); // no message is pumped by the test itself
    EXPECT_TRUE(t->Finished());
    ASSERT_EQ(probe.threads.size(), 50u);
    for (DWORD id : probe.threads)
        EXPECT_EQ(id, MainThreadID());
}

TEST(TThread, CheckSynchronizeServesWaitingCallsOnlyOnTheInterfaceThread)
{
    TProbe probe;
    std::atomic<bool> queued{false};
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            queued = true;
            self.Sync(TThreadMethod(&probe, &TProbe::Run));
        }));
    while (probe.threads.empty())
    {
        if (queued)
            CheckSynchronize();
        Sleep(0);
    }
    t->WaitFor();
    EXPECT_EQ(probe.threads, std::vector<DWORD>{MainThreadID()});

    std::atomic<int> fromWorker{-1};
    std::unique_ptr<TBodyThread> other(
        Create<TBodyThread>([&](TBodyThread&) { fromWorker = CheckSynchronize(); }));
    other->WaitFor();
    EXPECT_EQ(fromWorker, 0);
}

TEST(TThread, SynchronizeOnTheInterfaceThreadRunsAtOnce)
{
    TProbe probe;
    TThread::Synchronize(nullptr, TThreadMethod(&probe, &TProbe::Run));
    EXPECT_EQ(probe.threads, std::vector<DWORD>{MainThreadID()});
}

TEST(TThread, ExceptionOfASynchronizedCallIsRaisedAgainInTheWorker)
{
    TProbe probe;
    probe.extra = [] { throw EConvertError("bad value"); };
    std::string seen;
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            try
            {
                self.Sync(TThreadMethod(&probe, &TProbe::Run));
            }
            catch (const EConvertError& e)
            {
                seen = e.Message.str();
            }
        }));
    t->WaitFor();
    EXPECT_EQ(seen, "bad value");
    EXPECT_FALSE(t->FatalException());
}

TEST(TThread, ExceptionLeavingExecuteIsKeptAndNeverEndsTheProgram)
{
    struct Case
    {
        const char* name;
        std::function<void()> raise;
    } cases[] = {
        {"layer exception", [] { throw EListError("list"); }},
        {"standard exception", [] { throw std::runtime_error("runtime"); }},
        {"anything", [] { throw 42; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TBodyThread> t(Create<TBodyThread>([&](TBodyThread&) { c.raise(); }));
        t->WaitFor();
        EXPECT_TRUE(t->Finished());
        EXPECT_TRUE(t->FatalException());
    }
}

TEST(TThread, CreateStartsTheThreadOnlyOnceTheDerivedObjectIsBuilt)
{
    class TLateMember : public TThread
    {
    public:
        TLateMember() : TThread(false)
        {
            Sleep(30); // a thread started by TThread's constructor would run Execute meanwhile
            value = 42;
        }
        ~TLateMember() override { WaitFor(); }
        int value = 0;
        std::atomic<int> seen{-1};

    protected:
        void Execute() override { seen = value; }
    };
    std::unique_ptr<TLateMember> t(Create<TLateMember>());
    t->WaitFor();
    EXPECT_EQ(t->seen, 42);
}

TEST(TThread, SuspendedThreadRunsOnlyAfterStart)
{
    std::atomic<int> runs{0};
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>([&](TBodyThread&) { ++runs; }, true));
    EXPECT_FALSE(t->Started());
    EXPECT_EQ(t->WaitFor(), 0); // nothing to wait for yet
    EXPECT_EQ(runs, 0);
    t->Start();
    t->WaitFor();
    EXPECT_EQ(runs, 1);
    EXPECT_THROW(t->Start(), EThread);
}

TEST(TThread, TerminateReachesALoopAndWakesAWaitingThread)
{
    class TWaiter : public TThread
    {
    public:
        TWaiter() : TThread(false), waiting(true, false), wake(false, false) {}
        ~TWaiter() override
        {
            Terminate();
            WaitFor();
        }
        TEvent waiting;
        TEvent wake;
        std::atomic<int> rounds{0};

    protected:
        void Execute() override
        {
            while (!Terminated())
            {
                waiting.SetEvent();
                wake.WaitFor(INFINITE);
                ++rounds;
            }
        }
        void TerminatedSet() override { wake.SetEvent(); }
    };
    std::unique_ptr<TWaiter> t(Create<TWaiter>());
    t->waiting.WaitFor(INFINITE);
    t->Terminate();
    t->WaitFor();
    EXPECT_TRUE(t->Terminated());
    EXPECT_EQ(t->rounds, 1);
}

TEST(TThread, WaitingForItselfRaises)
{
    std::atomic<bool> raised{false};
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread& me)
        {
            try
            {
                me.WaitFor();
            }
            catch (const EThread&)
            {
                raised = true;
            }
        }));
    t->WaitFor();
    EXPECT_TRUE(raised);
}

TEST(TThread, FreeingARunningThreadStopsItFirst)
{
    std::atomic<bool> left{false};
    auto* t = Create<TBodyThread>(
        [&](TBodyThread& self)
        {
            while (!self.Terminated())
                Sleep(1);
            left = true;
        });
    delete t;
    EXPECT_TRUE(left);
}

TEST(TCriticalSection, KeepsConcurrentIncrementsWhole)
{
    TCriticalSection lock;
    long counter = 0;
    auto body = [&](TBodyThread&)
    {
        for (int i = 0; i < 20000; ++i)
        {
            std::lock_guard<TCriticalSection> guard(lock);
            long v = counter;
            if (i % 1000 == 0)
                Sleep(0); // invites a switch inside the guarded part
            counter = v + 1;
        }
    };
    std::vector<std::unique_ptr<TBodyThread>> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back(Create<TBodyThread>(body));
    for (auto& t : threads)
        t->WaitFor();
    EXPECT_EQ(counter, 80000);
}

TEST(TCriticalSection, TryEnterFailsWhileAnotherThreadHoldsIt)
{
    TCriticalSection lock;
    TEvent held(true, false), release(true, false);
    std::unique_ptr<TBodyThread> t(Create<TBodyThread>(
        [&](TBodyThread&)
        {
            lock.Enter();
            held.SetEvent();
            release.WaitFor(INFINITE);
            lock.Leave();
        }));
    held.WaitFor(INFINITE);
    EXPECT_FALSE(lock.TryEnter());
    release.SetEvent();
    t->WaitFor();
    EXPECT_TRUE(lock.TryEnter());
    lock.Leave();
}

TEST(TEvent, ManualResetStaysSetAndAutomaticResetLetsOneWaiterThrough)
{
    TEvent manual(true, false);
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), wrSignaled);
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), wrTimeout);

    TEvent automatic(false, true);
    EXPECT_EQ(automatic.WaitFor(0), wrSignaled);
    EXPECT_EQ(automatic.WaitFor(0), wrTimeout);
}

} // namespace
