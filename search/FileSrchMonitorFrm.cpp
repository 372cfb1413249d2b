// The progress window of the file search and the driver of one search.
#include "search/FileSrchMonitorFrm.h"

#include <memory>
#include <utility>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/SysUtils.h"
#include "search/MessageFrm.h"

TFileSrchMonitorForm* FileSrchMonitorForm = nullptr;


namespace
{
// The interface thread wakes at least this often while the worker runs (labels,
// stop button).
constexpr DWORD kPollMs = 50;
const char* const kAnimationFrames[] = {"|", "/", "-", "\\"};
} // namespace

TFileSrchMonitorForm::TFileSrchMonitorForm(TComponent* owner) : TForm(owner)
{
    SetName("FileSrchMonitorForm");
    SetCaption("ファイル検索");
    SetBorderStyle(bsToolWindow);
    SetBounds(0, 0, 420, 130);

    Animation = Create<TLabel>(this);
    Animation->SetName("Animation");
    Animation->SetBounds(12, 12, 16, 16);
    Animation->SetCaption(kAnimationFrames[0]);
    Animation->SetParent(this);

    FolderLabel = Create<TLabel>(this);
    FolderLabel->SetName("FolderLabel");
    FolderLabel->SetAutoSize(false);
    FolderLabel->SetShowAccelChar(false); // a folder name may hold "&"
    FolderLabel->SetBounds(36, 12, 370, 16);
    FolderLabel->SetCaption("");
    FolderLabel->SetParent(this);

    FindNumLabel = Create<TLabel>(this);
    FindNumLabel->SetName("FindNumLabel");
    FindNumLabel->SetAutoSize(false);
    FindNumLabel->SetBounds(36, 36, 200, 16);
    FindNumLabel->SetCaption("0");
    FindNumLabel->SetParent(this);

    SrchStopBtn = Create<TButton>(this);
    SrchStopBtn->SetName("SrchStopBtn");
    SrchStopBtn->SetCaption("検索中止");
    SrchStopBtn->SetBounds(160, 64, 100, 25);
    SrchStopBtn->SetCancel(true);
    SrchStopBtn->OnClick = TNotifyEvent(this, &TFileSrchMonitorForm::SrchStopBtnClick);
    SrchStopBtn->SetParent(this);

    AnimationTimer = Create<TTimer>(this);
    AnimationTimer->SetEnabled(false);
    AnimationTimer->SetInterval(150);
    AnimationTimer->OnTimer = TNotifyEvent(this, &TFileSrchMonitorForm::AnimationTimerTick);

    OnShow = TNotifyEvent(this, &TFileSrchMonitorForm::FormShow);
    OnClose = TCloseEvent(this, &TFileSrchMonitorForm::FormClose);
}

void TFileSrchMonitorForm::ShowProgress()
{
    if (!Thread)
        return;
    const AnsiString folder = Thread->CurrentFolder();
    if (FolderLabel->Caption() != folder)
        FolderLabel->SetCaption(folder);
    const AnsiString hits = IntToStr(Thread->HitCount());
    if (FindNumLabel->Caption() != hits)
        FindNumLabel->SetCaption(hits);
    if (OnProgress)
        OnProgress(this);
}

void TFileSrchMonitorForm::FormShow(TObject*)
{
    if (TCustomForm* main = Application->MainForm(); main && main != this)
        SetBounds(main->Left(), main->Top(), Width(), Height());
    frame_ = 0;
    AnimationTimer->SetEnabled(true);
}

void TFileSrchMonitorForm::FormClose(TObject*, TCloseAction&)
{
    AnimationTimer->SetEnabled(false);
    // Closing the window is a stop too: a search nobody can see should not run
    // on.
    if (Thread)
        Thread->Terminate();
}

void TFileSrchMonitorForm::SrchStopBtnClick(TObject*)
{
    if (Thread)
        Thread->Terminate();
}

void TFileSrchMonitorForm::AnimationTimerTick(TObject*)
{
    frame_ = (frame_ + 1) % int(std::size(kAnimationFrames));
    Animation->SetCaption(kAnimationFrames[frame_]);
}

// ---- the driver
// --------------------------------------------------------------------------------

int RunGrep(const TGrepRequest& request, TFileSrchMonitorForm* monitor, TMessageForm* results,
            typGrepProc*& running)
{
    results->MsgForm_ClearGrepResults();
    results->MsgForm_ShowGrepResults();

    auto worker = std::make_unique<typGrepProc>(true);
    try
    {
        worker->Setup(request.Folder, request.Masks, request.Recurse, request.CaseSensitive,
                      request.WholeWord, request.Regex, request.Pattern);
    }
    catch (const Exception& e)
    {
        ErrorBox("%s", e.Message.c_str());
        return -1;
    }
    worker->MaxHits = request.MaxHits;
    worker->OnFileFind = TGrepFileFindEvent(results, &TMessageForm::GrepFileFound);

    struct TRunning
    {
        typGrepProc*& slot;
        TFileSrchMonitorForm* monitor;
        ~TRunning()
        {
            slot = nullptr;
            if (monitor)
            {
                monitor->Thread = nullptr;
                monitor->Hide();
            }
        }
    } guard{running, monitor};
    running = worker.get();
    if (monitor)
    {
        monitor->Thread = worker.get();
        monitor->FolderLabel->SetCaption(worker->StartFolder());
        monitor->FindNumLabel->SetCaption("0");
        monitor->Show();
    }
    worker->Start();

    // Woken by the worker's end, by hits piling up and by messages, not by a window to repaint:
    // the list repaints once a round, and each round's new lines would wake the next at once.
    const HANDLE handles[] = {worker->Handle(), worker->HitsWaiting()};
    const DWORD waitCount = handles[1] ? 2 : 1;
    // A failure of the interface must not leave the worker orphaned: the search goes on.
    // It is reported once; a failure that came back every round would bury the stop
    // button under boxes.
    bool reported = false;
    auto guarded = [&](auto&& step)
    {
        try
        {
            step();
        }
        catch (const std::exception& e)
        {
            if (!std::exchange(reported, true))
                ReportCallbackException(monitor, &e);
        }
        catch (...)
        {
            if (!std::exchange(reported, true))
                ReportCallbackException(monitor, nullptr);
        }
    };
    while (!worker->Finished())
    {
        if (Application->Terminated())
            worker->Terminate();
        // Each part on its own: a progress display that keeps failing must not keep the
        // hits and the messages (the worker's hand-overs among them) from being served.
        if (monitor)
            guarded([&] { monitor->ShowProgress(); });
        guarded([&] {
            // The hits queued since the last round, then the window's messages: the list
            // redraws once per round.
            results->BeginHits();
            try
            {
                worker->DeliverQueuedHits();
                Application->ProcessMessages();
            }
            catch (...)
            {
                results->EndHits();
                throw;
            }
            results->EndHits();
        });
        if (!worker->Finished())
            MsgWaitForMultipleObjects(waitCount, handles, FALSE, kPollMs, QS_ALLINPUT & ~QS_PAINT);
    }
    if (monitor)
    {
        guarded([&] { monitor->ShowProgress(); });
        monitor->Hide();
    }
    // The last batch is handed over while waiting.
    results->BeginHits();
    try
    {
        worker->WaitFor();
    }
    catch (...)
    {
        results->EndHits();
        throw;
    }
    results->EndHits();
    if (std::exception_ptr fatal = worker->FatalException())
    {
        try
        {
            std::rethrow_exception(fatal);
        }
        catch (const std::exception& e)
        {
            ErrorBox("%s", ExceptionText(e).c_str());
        }
        catch (...)
        {
            ReportCallbackException(monitor, nullptr);
        }
    }

    const int hits = worker->HitCount();
    if (worker->HitLimitReached())
        results->MsgForm_AddLine(msgGrepHitLimit, nullptr);
    else if (hits == 0)
        results->MsgForm_AddLine(Format(msgGrepNotFound, {request.Pattern}), nullptr);
    return hits;
}
