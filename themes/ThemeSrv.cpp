#include "ThemeSrv.h"

#include <shlwapi.h>

#include "platform/Forms.h"
#include "platform/LayerObjects.h"

namespace
{
const wchar_t* const themeClassNames[ThemedElementCount] = {
    L"button",   L"clock",    L"combobox", L"edit",      L"explorerbar", L"header",     L"listview", L"menu",
    L"page",     L"progress", L"rebar",    L"scrollbar", L"spin",        L"startpanel", L"status",   L"tab",
    L"taskband", L"taskbar",  L"toolbar",  L"tooltip",   L"trackbar",    L"traynotify", L"treeview", L"window"};

// One part of an element enumeration: the schema's part number and the first value of its run.
struct TPartRun
{
    int part;
    int first;
};

constexpr TPartRun kButtonRuns[] = {{1, 2}, {2, 7}, {3, 15}, {4, 27}, {5, 29}};
constexpr TPartRun kClockRuns[] = {{1, 2}};
constexpr TPartRun kComboBoxRuns[] = {{1, 2}};
constexpr TPartRun kEditRuns[] = {{1, 2}, {2, 9}};
constexpr TPartRun kExplorerBarRuns[] = {{1, 2},  {2, 3},  {3, 6},  {4, 12},  {5, 15},  {6, 16},
                                         {7, 19}, {8, 22}, {9, 23}, {10, 24}, {11, 27}, {12, 30}};
constexpr TPartRun kHeaderRuns[] = {{1, 2}, {2, 5}, {3, 8}, {4, 11}};
constexpr TPartRun kListviewRuns[] = {{1, 2}, {2, 7}, {3, 8}, {4, 9}, {5, 10}};
constexpr TPartRun kMenuRuns[] = {{1, 2}, {2, 5}, {3, 8}, {4, 11}, {5, 14}, {6, 17}};
constexpr TPartRun kPageRuns[] = {{1, 2}, {2, 6}, {3, 10}, {4, 14}};
constexpr TPartRun kProgressRuns[] = {{1, 2}, {2, 3}, {3, 4}, {4, 5}};
constexpr TPartRun kRebarRuns[] = {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 8}};
constexpr TPartRun kScrollBarRuns[] = {{1, 2},  {2, 18}, {3, 22}, {4, 26}, {5, 30},
                                       {6, 34}, {7, 38}, {8, 42}, {9, 46}, {10, 50}};
constexpr TPartRun kSpinRuns[] = {{1, 2}, {2, 6}, {3, 10}, {4, 14}};
constexpr TPartRun kStartPanelRuns[] = {{1, 2},  {2, 3},  {3, 4},  {4, 7},   {5, 8},  {6, 9},
                                        {7, 10}, {8, 11}, {9, 12}, {10, 15}, {11, 16}};
constexpr TPartRun kStatusRuns[] = {{1, 2}, {2, 3}, {3, 4}};
constexpr TPartRun kTabRuns[] = {{1, 2},  {2, 7},  {3, 12}, {4, 17}, {5, 22},
                                 {6, 27}, {7, 32}, {8, 37}, {9, 42}, {10, 43}};
constexpr TPartRun kTaskBandRuns[] = {{1, 2}, {2, 3}, {3, 4}};
constexpr TPartRun kTaskBarRuns[] = {{1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9}};
constexpr TPartRun kToolBarRuns[] = {{1, 2}, {2, 8}, {3, 14}, {4, 20}, {5, 26}, {6, 32}};
constexpr TPartRun kToolTipRuns[] = {{1, 2}, {2, 4}, {3, 5}, {4, 7}, {5, 8}};
constexpr TPartRun kTrackBarRuns[] = {{1, 2},  {2, 3},  {3, 4},  {4, 9},  {5, 14},
                                      {6, 19}, {7, 24}, {8, 29}, {9, 34}, {10, 35}};
constexpr TPartRun kTrayNotifyRuns[] = {{1, 2}, {2, 3}};
constexpr TPartRun kTreeviewRuns[] = {{1, 2}, {2, 7}, {3, 9}};
constexpr TPartRun kWindowRuns[] = {{1, 2},   {2, 5},   {3, 8},   {4, 11},  {5, 14},  {6, 17},  {7, 20},  {8, 22},
                                    {9, 24},  {10, 26}, {11, 28}, {12, 30}, {13, 32}, {14, 36}, {15, 40}, {16, 44},
                                    {17, 48}, {18, 52}, {19, 56}, {20, 60}, {21, 64}, {22, 68}, {23, 72}, {24, 76},
                                    {25, 80}, {26, 84}, {27, 88}, {28, 92}, {29, 96}};

template <size_t N> TThemedElementDetails Details(TThemedElement element, const TPartRun (&runs)[N], int ordinal)
{
    int part = 0;
    int base = 0;
    for (const TPartRun& run : runs)
    {
        if (run.first > ordinal)
            break;
        part = run.part;
        base = run.first;
    }
    return {element, part, ordinal - base + 1};
}

RECT ToRECT(const TRect& r)
{
    return {r.Left, r.Top, r.Right, r.Bottom};
}

TComCtlVersionFunc comCtlVersionFunc = SystemComCtlVersion;

// Which object follows a window, and the procedure it passes the window's messages on to. The
// procedure stays even when the object has gone, for a later subclass that still calls ours.
const wchar_t ownerProperty[] = L"VnThemeServices";
const wchar_t nextProcProperty[] = L"VnThemeServicesNext";

TThemeServices* singleton = nullptr;

// At exit, before the application window goes: first the services (they put the window's procedure
// back and close their theme handles), then the library binding.
void ShutdownThemes()
{
    delete singleton;
    singleton = nullptr;
    FinalizeUxTheme();
}
const bool shutdownAdded = (AddLayerExitProc(ShutdownThemes), true);
} // namespace

DWORD SystemComCtlVersion()
{
    // The copy this process already uses (a manifest may have chosen one outside the system folder):
    // looked up among the loaded modules, never loaded here.
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    if (!comctl)
        return 0;
    auto getVersion =
        reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")));
    if (!getVersion)
        return 0;
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (FAILED(getVersion(&info)))
        return 0;
    return (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
}

TComCtlVersionFunc SetComCtlVersionFunc(TComCtlVersionFunc func)
{
    TComCtlVersionFunc previous = comCtlVersionFunc;
    comCtlVersionFunc = func ? func : SystemComCtlVersion;
    return previous;
}

TThemeServices::TThemeServices(HWND window) : FWindow(window)
{
    // A window some other object already follows keeps that one: the procedures could not be told apart.
    if (FWindow && !GetPropW(FWindow, ownerProperty))
    {
        auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(FWindow, GWLP_WNDPROC));
        SetPropW(FWindow, ownerProperty, this);
        SetPropW(FWindow, nextProcProperty, reinterpret_cast<HANDLE>(previous));
        FOldWndProc = previous;
        SetWindowLongPtrW(FWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
    }
    FThemesAvailable = InitThemeLibrary();
    UpdateThemes();
}

TThemeServices::~TThemeServices()
{
    Unsubclass();
    UnloadThemeData();
    FreeThemeLibrary();
}

void TThemeServices::Unsubclass()
{
    if (!FOldWndProc)
        return;
    RemovePropW(FWindow, ownerProperty);
    // Only when ours is still the window's procedure; otherwise the later subclass calls ours, which
    // passes everything on through the property left behind.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(FWindow, GWLP_WNDPROC)) == &SubclassProc)
    {
        SetWindowLongPtrW(FWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FOldWndProc));
        RemovePropW(FWindow, nextProcProperty);
    }
    FOldWndProc = nullptr;
}

LRESULT CALLBACK TThemeServices::SubclassProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // Read before the call: handling the message may unsubclass and free the object.
    auto next = reinterpret_cast<WNDPROC>(GetPropW(window, nextProcProperty));
    auto* self = static_cast<TThemeServices*>(GetPropW(window, ownerProperty));
    if (self)
    {
        try
        {
            self->WindowProc(msg);
        }
        catch (const std::exception& e)
        {
            ReportCallbackException(self, &e);
        }
        catch (...)
        {
            ReportCallbackException(self, nullptr);
        }
    }
    if (msg == WM_NCDESTROY)
    {
        RemovePropW(window, ownerProperty);
        RemovePropW(window, nextProcProperty);
    }
    if (!next)
        return DefWindowProcW(window, msg, wParam, lParam);
    return CallWindowProcW(next, window, msg, wParam, lParam);
}

void TThemeServices::WindowProc(UINT msg)
{
    switch (msg)
    {
    case WM_DESTROY: Unsubclass(); break;
    case WM_THEMECHANGED:
        UpdateThemes();
        DoOnThemeChange();
        break;
    }
}

bool TThemeServices::GetThemesEnabled() const
{
    return FThemesAvailable && FUseThemes && FControlsEnabled;
}

void TThemeServices::UpdateThemes()
{
    if (FUseThemes)
        UnloadThemeData();
    FUseThemes = UseThemes() && comCtlVersionFunc() >= 0x60000;
    FControlsEnabled = FUseThemes && UxTheme::GetThemeAppProperties &&
                       (UxTheme::GetThemeAppProperties() & STAP_ALLOW_CONTROLS) != 0;
}

void TThemeServices::UnloadThemeData()
{
    if (FWindow && !IsWindow(FWindow))
        return;
    for (HTHEME& theme : FThemeData)
    {
        if (theme && UxTheme::CloseThemeData)
            UxTheme::CloseThemeData(theme);
        theme = nullptr;
    }
}

HTHEME TThemeServices::GetTheme(TThemedElement element)
{
    if (FUseThemes && !FThemeData[element] && UxTheme::OpenThemeData)
        FThemeData[element] = UxTheme::OpenThemeData(FWindow, themeClassNames[element]);
    return FUseThemes ? FThemeData[element] : nullptr;
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedButton detail) const
{
    return Details(teButton, kButtonRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedClock detail) const
{
    return Details(teClock, kClockRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedComboBox detail) const
{
    return Details(teComboBox, kComboBoxRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedEdit detail) const
{
    return Details(teEdit, kEditRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedExplorerBar detail) const
{
    return Details(teExplorerBar, kExplorerBarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedHeader detail) const
{
    return Details(teHeader, kHeaderRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedListview detail) const
{
    return Details(teListView, kListviewRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedMenu detail) const
{
    return Details(teMenu, kMenuRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedPage detail) const
{
    return Details(tePage, kPageRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedProgress detail) const
{
    return Details(teProgress, kProgressRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedRebar detail) const
{
    return Details(teRebar, kRebarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedScrollBar detail) const
{
    return Details(teScrollBar, kScrollBarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedSpin detail) const
{
    return Details(teSpin, kSpinRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedStartPanel detail) const
{
    return Details(teStartPanel, kStartPanelRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedStatus detail) const
{
    return Details(teStatus, kStatusRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTab detail) const
{
    return Details(teTab, kTabRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTaskBand detail) const
{
    return Details(teTaskBand, kTaskBandRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTaskBar detail) const
{
    return Details(teTaskBar, kTaskBarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedToolBar detail) const
{
    return Details(teToolBar, kToolBarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedToolTip detail) const
{
    return Details(teToolTip, kToolTipRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTrackBar detail) const
{
    return Details(teTrackBar, kTrackBarRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTrayNotify detail) const
{
    return Details(teTrayNotify, kTrayNotifyRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedTreeview detail) const
{
    return Details(teTreeview, kTreeviewRuns, detail);
}

TThemedElementDetails TThemeServices::GetElementDetails(TThemedWindow detail) const
{
    return Details(teWindow, kWindowRuns, detail);
}

TColor TThemeServices::ColorToRGB(TColor color, const TThemedElementDetails* details)
{
    if (!details || (unsigned(color) & 0x80000000u) == 0 || !UxTheme::GetThemeSysColor)
        return color;
    return TColor(UxTheme::GetThemeSysColor(GetTheme(details->Element), int(unsigned(color) & 0x7FFFFFFFu)));
}

TRect TThemeServices::ContentRect(HDC dc, const TThemedElementDetails& details, const TRect& boundingRect)
{
    RECT bounds = ToRECT(boundingRect);
    RECT content = bounds;
    if (UxTheme::GetThemeBackgroundContentRect)
        UxTheme::GetThemeBackgroundContentRect(GetTheme(details.Element), dc, details.Part, details.State, &bounds,
                                               &content);
    return TRect(content.left, content.top, content.right, content.bottom);
}

void TThemeServices::DrawEdge(HDC dc, const TThemedElementDetails& details, const TRect& r, UINT edge, UINT flags,
                              TRect* contentRect)
{
    if (!UxTheme::DrawThemeEdge)
        return;
    RECT bounds = ToRECT(r);
    RECT content{};
    UxTheme::DrawThemeEdge(GetTheme(details.Element), dc, details.Part, details.State, &bounds, edge, flags,
                           contentRect ? &content : nullptr);
    if (contentRect)
        *contentRect = TRect(content.left, content.top, content.right, content.bottom);
}

void TThemeServices::DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& r,
                                 const TRect* clipRect)
{
    if (!UxTheme::DrawThemeBackground)
        return;
    RECT bounds = ToRECT(r);
    RECT clip = clipRect ? ToRECT(*clipRect) : RECT{};
    UxTheme::DrawThemeBackground(GetTheme(details.Element), dc, details.Part, details.State, &bounds,
                                 clipRect ? &clip : nullptr);
}

void TThemeServices::DrawIcon(HDC dc, const TThemedElementDetails& details, const TRect& r, HIMAGELIST images,
                              int index)
{
    if (!UxTheme::DrawThemeIcon)
        return;
    RECT bounds = ToRECT(r);
    UxTheme::DrawThemeIcon(GetTheme(details.Element), dc, details.Part, details.State, &bounds, images, index);
}

void TThemeServices::DrawParentBackground(HWND window, HDC target, const TThemedElementDetails* details,
                                          bool onlyIfTransparent, const TRect* bounds)
{
    if (onlyIfTransparent && details && !HasTransparentParts(*details))
        return;
    if (!UxTheme::DrawThemeParentBackground)
        return;
    RECT r = bounds ? ToRECT(*bounds) : RECT{};
    UxTheme::DrawThemeParentBackground(window, target, bounds ? &r : nullptr);
}

void TThemeServices::DrawText(HDC dc, const TThemedElementDetails& details, const std::wstring& s, const TRect& r,
                              DWORD flags, DWORD flags2)
{
    if (!UxTheme::DrawThemeText)
        return;
    RECT bounds = ToRECT(r);
    UxTheme::DrawThemeText(GetTheme(details.Element), dc, details.Part, details.State, s.c_str(), int(s.size()),
                           flags, flags2, &bounds);
}

bool TThemeServices::HasTransparentParts(const TThemedElementDetails& details)
{
    return UxTheme::IsThemeBackgroundPartiallyTransparent &&
           UxTheme::IsThemeBackgroundPartiallyTransparent(GetTheme(details.Element), details.Part,
                                                          details.State) != 0;
}

void TThemeServices::PaintBorder(TWinControl* control, bool eraseLRCorner)
{
    HWND window = control->Handle();
    if ((GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0)
        return;
    RECT windowRect{};
    GetWindowRect(window, &windowRect);
    OffsetRect(&windowRect, -windowRect.left, -windowRect.top);
    HDC dc = GetWindowDC(window);
    if (!dc)
        return;
    LONG style = GetWindowLongW(window, GWL_STYLE);
    if (eraseLRCorner && (style & WS_HSCROLL) && (style & WS_VSCROLL))
    {
        RECT inner = windowRect;
        InflateRect(&inner, -2, -2);
        RECT corner{inner.right - GetSystemMetrics(SM_CXVSCROLL), inner.bottom - GetSystemMetrics(SM_CYHSCROLL),
                    inner.right, inner.bottom};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
    ExcludeClipRect(dc, windowRect.left + 2, windowRect.top + 2, windowRect.right - 2, windowRect.bottom - 2);
    DrawElement(dc, GetElementDetails(teEditTextNormal),
                TRect(windowRect.left, windowRect.top, windowRect.right, windowRect.bottom));
    ReleaseDC(window, dc);
}

void TThemeServices::DoOnThemeChange()
{
    if (OnThemeChange)
        OnThemeChange(this);
}

TThemeServices* ThemeServices()
{
    if (!singleton)
    {
        singleton = new TThemeServices(Application ? Application->Handle() : nullptr);
    }
    return singleton;
}
