// The clipboard held by another thread, as another program holds it for a moment.
#pragma once

#include <windows.h>

// Another thread holds the clipboard open until released.
class TClipboardHolder
{
public:
    TClipboardHolder()
    {
        opened_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &TClipboardHolder::Run, this, 0, nullptr);
        WaitForSingleObject(opened_, INFINITE);
    }
    ~TClipboardHolder()
    {
        Release();
        CloseHandle(opened_);
        CloseHandle(release_);
    }
    TClipboardHolder(const TClipboardHolder&) = delete;
    TClipboardHolder& operator=(const TClipboardHolder&) = delete;
    bool Holding() const { return holding_; }
    void Release()
    {
        if (!thread_)
            return;
        SetEvent(release_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        auto* h = static_cast<TClipboardHolder*>(self);
        h->holding_ = OpenClipboard(nullptr) != 0;
        SetEvent(h->opened_);
        WaitForSingleObject(h->release_, INFINITE);
        if (h->holding_)
            CloseClipboard();
        return 0;
    }
    HANDLE opened_ = nullptr;
    HANDLE release_ = nullptr;
    HANDLE thread_ = nullptr;
    bool holding_ = false;
};
