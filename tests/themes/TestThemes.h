// Shared by the theme tests: the common-controls version answered while a test needs it, a
// control on a shown form, and the pixels a control paints.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/Forms.h"
#include "themes/ThemeSrv.h"

constexpr DWORD ComCtl581 = 0x50051; // what Wine's common controls report
constexpr DWORD ComCtl600 = 0x60000;

// Answers the common-controls version a test asks for while it lives.
class TComCtlVersion
{
public:
    explicit TComCtlVersion(DWORD version) : previous_(SetComCtlVersionFunc(&Answer)) { answer = version; }
    ~TComCtlVersion() { SetComCtlVersionFunc(previous_); }
    void Set(DWORD version) { answer = version; }

private:
    static DWORD Answer() { return answer; }
    static inline DWORD answer = 0;
    TComCtlVersionFunc previous_;
};

// A control of type T on a shown form; the form, and the control with it, go with this object.
// Zero sizes keep the form's or the control's own.
template <class T>
struct TShownControl
{
    explicit TShownControl(int x = 0, int y = 0, int width = 0, int height = 0, int formWidth = 0,
                           int formHeight = 0)
    {
        if (formWidth > 0)
            form->SetBounds(0, 0, formWidth, formHeight);
        form->Show();
        control->SetParent(form);
        if (width > 0)
            control->SetBounds(x, y, width, height);
    }
    ~TShownControl() { delete form; }
    TShownControl(const TShownControl&) = delete;
    TShownControl& operator=(const TShownControl&) = delete;

    TForm* form = Create<TForm>(nullptr);
    T* control = Create<T>(form);
};

// A control's pixels as the screen shows them once it has painted again: its client area, or with
// nonClient the whole window as its non-client painting leaves it.
struct TPainted
{
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels; // row by row

    COLORREF At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline TPainted Painted(TWinControl* control, bool nonClient = false)
{
    HWND window = control->Handle();
    if (nonClient)
        SendMessageW(window, WM_NCPAINT, 1, 0);
    else
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = nonClient ? GetWindowDC(window) : GetDC(window);
    TPainted painted{control->Width(), control->Height(), {}};
    for (int y = 0; y < painted.height; ++y)
        for (int x = 0; x < painted.width; ++x)
            painted.pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return painted;
}
