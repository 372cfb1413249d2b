// Wallpaper pictures loaded away from the window's thread, so that a rotation tick never waits for
// a picture to be read, decoded and blended: the tick asks for one (files to try in turn), and the
// first that loads comes back, ready to show, through the window's message loop (a posted message,
// so never in the middle of a wait that serves synchronised calls).
#pragma once

#include <functional>
#include <vector>

#include <windows.h>

#include "editor_page/Nsrichedit.h"

struct typWallpaperJob
{
    std::vector<AnsiString> files; // tried in turn until one loads
    int maxWidth = 0;
    int maxHeight = 0;
    nsRichEdit::typWallBlend blend;
    unsigned tag = 0; // handed back with the result
};

struct typWallpaperResult
{
    AnsiString file; // empty: none of the files loaded
    nsRichEdit::typWallImages images;
    std::vector<AnsiString> failed; // tried and not loaded
    unsigned tag = 0;
};

class TWallpaperLoader
{
public:
    // onReady runs on the window's thread with each result.
    explicit TWallpaperLoader(std::function<void(typWallpaperResult&)> onReady);
    // Stops the thread; a result not yet handed over is dropped.
    ~TWallpaperLoader();
    TWallpaperLoader(const TWallpaperLoader&) = delete;
    TWallpaperLoader& operator=(const TWallpaperLoader&) = delete;

    // False, with nothing asked, while the last job has not been handed back.
    bool Request(typWallpaperJob job);
    bool Busy() const;
    // Waits until the job asked for has been handed back (on the window's thread).
    void Wait();

private:
    class TWorker;
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    void Deliver();

    std::function<void(typWallpaperResult&)> onReady_;
    HWND window_ = nullptr; // the worker posts here that a result is ready
    TWorker* worker_ = nullptr;
};
