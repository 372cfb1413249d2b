#include "main_window/WallpaperLoader.h"

#include <atomic>
#include <mutex>
#include <optional>

#include "platform/Forms.h"
#include "platform/Threads.h"

namespace
{
constexpr UINT kResultReady = WM_APP + 7;
const wchar_t kWindowClass[] = L"VnWallpaperLoader";
} // namespace

// A page closing waits for its drawing thread, serving synchronised calls meanwhile: a result handed
// over there could give a picture to the page being destroyed.
class TWallpaperLoader::TWorker : public TThread
{
public:
    TWorker(HWND window) : TThread(false), window_(window), wake_(false, false) {}
    ~TWorker() override
    {
        Terminate();
        WaitFor();
    }

    bool Request(typWallpaperJob job)
    {
        if (busy_.exchange(true))
            return false;
        {
            std::lock_guard<TCriticalSection> guard(lock_);
            job_ = std::move(job);
        }
        wake_.SetEvent();
        return true;
    }
    bool Busy() const { return busy_; }
    std::optional<typWallpaperResult> Take()
    {
        std::lock_guard<TCriticalSection> guard(lock_);
        std::optional<typWallpaperResult> result;
        result.swap(result_);
        if (result)
            busy_ = false;
        return result;
    }

protected:
    void Execute() override
    {
        while (!Terminated())
        {
            wake_.WaitFor(INFINITE);
            std::optional<typWallpaperJob> job;
            {
                std::lock_guard<TCriticalSection> guard(lock_);
                job.swap(job_);
            }
            if (!job)
                continue;
            typWallpaperResult result;
            result.tag = job->tag;
            for (const AnsiString& file : job->files)
            {
                if (Terminated())
                    return;
                if (nsRichEdit::MakeWallPaper(file, job->maxWidth, job->maxHeight, job->blend, result.images, &stop_))
                {
                    result.file = file;
                    break;
                }
                result.failed.push_back(file);
            }
            {
                std::lock_guard<TCriticalSection> guard(lock_);
                result_ = std::move(result);
            }
            PostMessageW(window_, kResultReady, 0, 0);
        }
    }
    void TerminatedSet() override
    {
        // A picture being decoded stops at once: closing the window never waits for it.
        stop_ = true;
        wake_.SetEvent();
    }

private:
    std::atomic<bool> stop_{false};
    HWND window_;
    TEvent wake_;
    TCriticalSection lock_;
    std::optional<typWallpaperJob> job_;
    std::optional<typWallpaperResult> result_;
    std::atomic<bool> busy_{false};
};

LRESULT CALLBACK TWallpaperLoader::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg != kResultReady)
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    auto* self = reinterpret_cast<TWallpaperLoader*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try
    {
        if (self)
            self->Deliver();
    }
    catch (const std::exception& e)
    {
        Application->HandleException(nullptr, e);
    }
    catch (...)
    {
    }
    return 0;
}

TWallpaperLoader::TWallpaperLoader(std::function<void(typWallpaperResult&)> onReady) : onReady_(std::move(onReady))
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EOSError("壁紙の読み込みウィンドウ クラスを登録できません", GetLastError());
    window_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window_)
        throw EOSError("壁紙の読み込みウィンドウを作成できません", GetLastError());
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Bound here, on the window's thread, before the worker blends with it.
    SystemAlphaBlend();
    try
    {
        worker_ = Create<TWorker>(window_);
    }
    catch (...)
    {
        DestroyWindow(window_);
        throw;
    }
}

TWallpaperLoader::~TWallpaperLoader()
{
    delete worker_;
    DestroyWindow(window_);
}

bool TWallpaperLoader::Request(typWallpaperJob job) { return worker_->Request(std::move(job)); }

bool TWallpaperLoader::Busy() const { return worker_->Busy(); }

void TWallpaperLoader::Deliver()
{
    if (std::optional<typWallpaperResult> result = worker_->Take())
        onReady_(*result);
}

void TWallpaperLoader::Wait()
{
    while (worker_->Busy())
    {
        MSG msg;
        if (PeekMessageW(&msg, window_, kResultReady, kResultReady, PM_REMOVE))
            DispatchMessageW(&msg);
        else
            Sleep(1);
    }
}
