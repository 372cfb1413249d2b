#include "ExtCtrls.h"

#include <algorithm>

#include "Classes.h"
#include "Cp932.h"
#include "LayerObjects.h"
#include "SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Timers: one hidden message-only window runs them all, each under an id never used twice, so a
// WM_TIMER still queued for a timer that was freed finds nothing and is dropped.

struct TTimerWindow
{
    static std::map<UINT_PTR, TTimer*>& Timers() { return LayerTables().timers; }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
    {
        if (msg != WM_TIMER)
            return DefWindowProcW(hwnd, msg, wparam, lparam);
        auto it = Timers().find(wparam);
        if (it == Timers().end())
            return 0;
        TTimer* timer = it->second;
        // The handler may free the timer: nothing of it is used afterwards, not even as the sender.
        GuardedCall(nullptr, [timer] { timer->Timer(); });
        return 0;
    }

    static HWND Handle()
    {
        static HWND window = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &TTimerWindow::Proc;
            wc.hInstance = HInstance;
            wc.lpszClassName = L"VnTimerWindow";
            if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
                throw EOSError("タイマーのウィンドウ クラスを登録できません", GetLastError());
            HWND hwnd = CreateWindowExW(0, L"VnTimerWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        HInstance, nullptr);
            if (!hwnd)
                throw EOSError("タイマーのウィンドウを作成できません", GetLastError());
            return hwnd;
        }();
        return window;
    }

    static UINT_PTR NextId() { return ++LayerTables().lastTimerId; }
};

TTimer::TTimer(TComponent* owner) : TComponent(owner)
{
    UpdateTimer();
}

TTimer::~TTimer()
{
    enabled_ = false;
    UpdateTimer();
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned milliseconds)
{
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    UpdateTimer();
}

void TTimer::Timer()
{
    if (OnTimer)
        OnTimer(this);
}

void TTimer::UpdateTimer()
{
    if (id_)
    {
        KillTimer(TTimerWindow::Handle(), id_);
        TTimerWindow::Timers().erase(id_);
        id_ = 0;
    }
    if (!enabled_ || interval_ == 0)
        return;
    UINT_PTR id = TTimerWindow::NextId();
    if (!SetTimer(TTimerWindow::Handle(), id, interval_, nullptr))
        throw EOSError("タイマーを開始できません", GetLastError());
    id_ = id;
    TTimerWindow::Timers()[id] = this;
}

// ---------------------------------------------------------------------------------------------
// TPanel

TPanel::TPanel(TComponent* owner) : TCustomControl(owner)
{
    width_ = 185;
    height_ = 41;
}

void TPanel::SetBevelOuter(TBevelCut bevel)
{
    if (bevel == bevelOuter_)
        return;
    bevelOuter_ = bevel;
    Invalidate();
}

int TPanel::DockClientCount() const { return ControlCountOf<TCustomForm>(); }

TControl* TPanel::DockClients(int index) const
{
    if (TCustomForm* form = index >= 0 ? ControlOf<TCustomForm>(index) : nullptr)
        return form;
    throw EListError("ドッキングの番号が範囲外です (" + AnsiString(index) + ")");
}

void TPanel::SetAcceptFiles(bool accept)
{
    acceptFiles_ = accept;
    if (HandleAllocated())
        DragAcceptFiles(handle_, accept);
}

void TPanel::CreateParams(TCreateParams& params)
{
    TCustomControl::CreateParams(params);
    if (borderStyle_ == bsSingle)
        params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TPanel::SetBevelInner(TBevelCut bevel)
{
    if (bevel == bevelInner_)
        return;
    bevelInner_ = bevel;
    Invalidate();
}

void TPanel::SetBorderWidth(int width)
{
    if (width == borderWidth_)
        return;
    borderWidth_ = width;
    Invalidate();
}

void TPanel::SetBorderStyle(TFormBorderStyle style)
{
    if (style == borderStyle_)
        return;
    borderStyle_ = style;
    RecreateWnd();
}

void TPanel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    Invalidate();
}

void TPanel::CreateWnd()
{
    TCustomControl::CreateWnd();
    if (acceptFiles_)
        DragAcceptFiles(handle_, TRUE);
}

void TPanel::Paint()
{
    TCanvas* canvas = Canvas();
    RECT r{0, 0, Width(), Height()};
    if (HandleAllocated())
        GetClientRect(handle_, &r);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone)
            return;
        DrawEdge(canvas->Handle(), &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&r, -1, -1);
    };
    bevel(bevelOuter_);
    InflateRect(&r, -borderWidth_, -borderWidth_);
    bevel(bevelInner_);
    AnsiString caption = Caption();
    if (caption.IsEmpty())
        return;
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsClear);
    TSize size = canvas->TextExtent(caption);
    int x = (r.left + r.right - size.cx) / 2;
    if (alignment_ == taLeftJustify)
        x = r.left;
    else if (alignment_ == taRightJustify)
        x = r.right - size.cx;
    canvas->TextOut(x, (r.top + r.bottom - size.cy) / 2, caption);
}

void TPanel::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (ReflectControlMessage(message))
            return;
        break;
    case WM_DROPFILES: WMDropFiles(message); return;
    case WM_SIZE:
        TCustomControl::Dispatch(message);
        Invalidate(); // the bevel and the caption move with the size
        return;
    default: break;
    }
    TCustomControl::Dispatch(message);
}

void TPanel::WMDropFiles(TMessage& message)
{
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    struct Finish
    {
        HDROP drop;
        ~Finish() { DragFinish(drop); }
    } finish{drop};
    message.Result = 0;
    if (!OnDropFiles)
        return;
    TStringList files;
    GetDroppedFiles(drop, &files);
    OnDropFiles(this, &files);
}

// ---------------------------------------------------------------------------------------------
// Docking

TPanel* HostDockSite(const TControl* control)
{
    if (!control || !dynamic_cast<const TCustomForm*>(control))
        return nullptr;
    auto* panel = dynamic_cast<TPanel*>(control->Parent());
    return panel && panel->DockSite() ? panel : nullptr;
}

TSize UndockSize(TControl* control)
{
    if (TPanel* site = HostDockSite(control))
    {
        auto it = site->undockSizes_.find(control);
        if (it != site->undockSizes_.end())
            return it->second;
    }
    return TSize{control->Width(), control->Height()};
}

bool ManualDock(TCustomForm* form, TPanel* site)
{
    if (!form || !site || !site->DockSite())
        return false;
    TPanel* old = HostDockSite(form);
    if (old == site)
        return true;
    TSize undock = UndockSize(form);
    if (old)
        old->undockSizes_.erase(form);

    // A top-level window becomes a child: WS_CHILD before SetParent, and no caption or frame.
    HWND hwnd = form->Handle();
    // Only SetWindowPos takes a window out of the topmost band; a child cannot be in it.
    if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST)
        SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    style &= ~LONG(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    SetWindowLongW(hwnd, GWL_STYLE, style);
    LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    exStyle &= ~LONG(WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_APPWINDOW);
    SetWindowLongW(hwnd, GWL_EXSTYLE, exStyle);
    form->SetParent(site);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    form->SetAlign(alClient);
    site->AlignControls();

    // Only forms still docked here keep their entry.
    for (auto it = site->undockSizes_.begin(); it != site->undockSizes_.end();)
        it = HostDockSite(it->first) == site || it->first == form ? std::next(it)
                                                                  : site->undockSizes_.erase(it);
    site->undockSizes_[form] = undock;

    if (site->OnDockDrop)
    {
        TDragDockObject source(form);
        TRect r = site->ClientRect();
        site->OnDockDrop(site, &source, r.Width() / 2, r.Height() / 2);
    }
    return true;
}

bool ManualFloat(TCustomForm* form, const TRect& screenRect)
{
    if (!form)
        return false;
    TPanel* site = HostDockSite(form);
    if (!site)
    {
        form->SetBounds(screenRect.Left, screenRect.Top, screenRect.Width(), screenRect.Height());
        return true;
    }
    bool allow = true;
    if (site->OnUnDock)
        site->OnUnDock(site, form, nullptr, allow);
    if (!allow)
        return false;
    bool visible = form->Visible();
    form->Hide();
    form->SetAlign(alNone);
    site->undockSizes_.erase(form);
    form->SetParent(nullptr); // the child window goes; the next one is top-level
    // Floating, it stays over the form it was docked in.
    form->SetPopupParent(GetParentForm(site));
    form->SetBorderStyle(bsSizeToolWin);
    form->SetBounds(screenRect.Left, screenRect.Top, screenRect.Width(), screenRect.Height());
    if (visible)
        form->Show();
    return true;
}

// ---------------------------------------------------------------------------------------------

void GetDroppedFiles(HDROP drop, TStrings* files)
{
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i)
    {
        UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(size_t(len) + 1, L'\0');
        len = DragQueryFileW(drop, i, name.data(), len + 1);
        name.resize(len);
        files->Add(WideToSjis(name));
    }
}

// ---- image ----------------------------------------------------------------------------------------

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(new TPicture())
{
    picture_->OnChange = TNotifyEvent(this, &TImage::PictureChanged);
    SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { delete picture_; }

void TImage::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on)
        PictureChanged(nullptr);
}

void TImage::SetStretch(bool on)
{
    if (on == stretch_)
        return;
    stretch_ = on;
    Invalidate();
}

void TImage::PictureChanged(TObject*)
{
    if (autoSize_ && !picture_->Empty())
        SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
    Invalidate();
}

void TImage::Paint()
{
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty())
        return;
    TRect dest = stretch_ ? TRect(0, 0, Width(), Height()) : TRect(0, 0, g->Width(), g->Height());
    g->Draw(Canvas(), dest);
}

// ---------------------------------------------------------------------------------------------
// TBevel

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    if (shape == shape_)
        return;
    shape_ = shape;
    Invalidate();
}

void TBevel::Paint()
{
    RECT r{0, 0, Width(), Height()};
    UINT sides = BF_RECT;
    switch (shape_)
    {
    case bsFrame: break;
    case bsTopLine: sides = BF_TOP; break;
    case bsBottomLine: sides = BF_BOTTOM; break;
    case bsLeftLine: sides = BF_LEFT; break;
    case bsRightLine: sides = BF_RIGHT; break;
    }
    DrawEdge(Canvas()->Handle(), &r, EDGE_ETCHED, sides);
}
