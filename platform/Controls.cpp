#include "Controls.h"

#include <algorithm>

#include "Cp932.h"
#include "Forms.h"
#include "Services.h"
#include "SysUtils.h"

const HINSTANCE HInstance = GetModuleHandleW(nullptr);

LRESULT CALLBACK VnWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

const wchar_t* VnWindowClassName()
{
    static const wchar_t* name = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = VnWindowProc;
        wc.hInstance = HInstance;
        wc.hIcon = LoadIconW(HInstance, L"MAINICON");
        if (!wc.hIcon)
            wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"VnWindow";
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw EOSError("ウィンドウ クラスを登録できません");
        return L"VnWindow";
    }();
    return name;
}

// The one window procedure: find the object, dispatch, and let no exception through.
LRESULT CALLBACK VnWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    auto* control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!control && msg == WM_NCCREATE)
    {
        control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        if (control)
        {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
            control->handle_ = hwnd;
        }
    }
    if (!control)
        return DefWindowProcW(hwnd, msg, wparam, lparam);

    TMessage message;
    message.Msg = msg;
    message.WParam = wparam;
    message.LParam = lparam;
    if (msg == WM_NCDESTROY)
    {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        TWndMethod proc = control->WindowProc;
        GuardedCall(control, [&] { proc(message); });
        control->handle_ = nullptr;
        control->trackingMouse_ = false;
        return message.Result;
    }
    bool creating = msg == WM_NCCREATE;
    bool ok = false;
    // Copied first: the handler may put another procedure in its place.
    TWndMethod proc = control->WindowProc;
    GuardedCall(control, [&] {
        proc(message);
        ok = true;
    });
    if (creating && !ok)
        return FALSE; // a failed WM_NCCREATE makes CreateWindowEx fail
    return message.Result;
}

TShiftState KeyDataToShiftState(int keyData)
{
    TShiftState shift;
    if (Services().GetKeyState(VK_SHIFT) < 0)
        shift << ssShift;
    if (Services().GetKeyState(VK_CONTROL) < 0)
        shift << ssCtrl;
    if (keyData & 0x20000000)
        shift << ssAlt;
    return shift;
}

static wchar_t UpperUnit(wchar_t c)
{
    // CharUpperW takes a single character in the low word of its pointer argument.
    return wchar_t(reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(UINT_PTR(c)))));
}

bool IsAccel(unsigned key, const AnsiString& caption)
{
    std::wstring w = SjisToWide(caption);
    for (size_t i = 0; i + 1 < w.size(); ++i)
    {
        if (w[i] != L'&')
            continue;
        if (w[i + 1] == L'&')
        {
            ++i;
            continue;
        }
        return key <= 0xFFFF && UpperUnit(w[i + 1]) == UpperUnit(wchar_t(key));
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// TControl

TControl::TControl(TComponent* owner) : TComponent(owner), font_(new TFont)
{
    WindowProc = TWndMethod(this, &TControl::WndProc);
    font_->OnChange = TNotifyEvent(this, &TControl::FontChanged);
}

TControl::~TControl()
{
    if (parent_)
        parent_->RemoveControl(this);
    delete font_;
}

void TControl::FontChanged(TObject*)
{
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == parent_)
        return;
    for (TControl* p = parent; p; p = p->parent_)
        if (p == this)
            throw EInvalidOperation("コントロールを自分の子にはできません");
    if (parent_)
        parent_->RemoveControl(this);
    if (parent)
        parent->InsertControl(this);
}

// A control aligned to the bottom or right edge that is resized in place grows inwards: it keeps
// its edge, and with it its place among the controls aligned to that edge (a status bar stays
// below a panel that opens).
static void KeepAlignedEdge(TAlign align, const TRect& now, int& left, int& top, int width, int height)
{
    if (align == alBottom && top == now.Top && height != now.Height())
        top = now.Bottom - height;
    if (align == alRight && left == now.Left && width != now.Width())
        left = now.Right - width;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    KeepAlignedEdge(align_, TRect(left_, top_, left_ + width_, top_ + height_), left, top, width, height);
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    Invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Invalidate();
    RequestAlign();
    Resize();
}

TRect TControl::ClientRect() const
{
    return TRect(0, 0, width_, height_);
}

void TControl::SetVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    VisibleChanged();
    RequestAlign();
}

void TControl::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    EnabledChanged();
}

void TControl::SetAlign(TAlign align)
{
    if (align == align_)
        return;
    align_ = align;
    if (parent_ && !parent_->aligning_)
        parent_->AlignControls();
}

void TControl::SetColor(TColor color)
{
    parentColor_ = false;
    ChangeColor(color);
}

void TControl::SetParentColor(bool parentColor)
{
    parentColor_ = parentColor;
    if (parentColor && parent_)
        ChangeColor(parent_->color_);
}

void TControl::ChangeColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
    if (auto* windowed = dynamic_cast<TWinControl*>(this))
        for (TControl* child : windowed->controls_)
            if (child->parentColor_)
                child->ChangeColor(color);
}

void TControl::SetCaption(const AnsiString& caption)
{
    if (caption == text_ && caption == ReadCaption())
        return;
    text_ = caption;
    TextChanged();
}

LRESULT TControl::Perform(UINT msg, WPARAM wparam, LPARAM lparam)
{
    TMessage message;
    message.Msg = msg;
    message.WParam = wparam;
    message.LParam = lparam;
    TWndMethod proc = WindowProc;
    proc(message);
    return message.Result;
}

void TControl::Invalidate()
{
    if (parent_ && parent_->HandleAllocated() && visible_)
    {
        RECT r{left_, top_, left_ + width_, top_ + height_};
        InvalidateRect(parent_->Handle(), &r, TRUE);
    }
}

void TControl::WndProc(TMessage& message)
{
    Dispatch(message);
}

void TControl::Dispatch(TMessage& message)
{
    DefaultHandler(message);
}

void TControl::Resize()
{
    if (OnResize)
        OnResize(this);
}

void TControl::RequestAlign()
{
    if (parent_ && align_ != alNone && !parent_->aligning_)
        parent_->AlignControls();
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner), brush_(new TBrush)
{
}

TWinControl::~TWinControl()
{
    DestroyHandle();
    // Here, not in ~TControl, so the parent still sees a windowed control (its form drops it as
    // the active control).
    if (Parent())
        Parent()->RemoveControl(this);
    // Children go with their parent; each is unlinked first so it does not call back.
    while (!controls_.empty())
    {
        TControl* child = controls_.back();
        controls_.pop_back();
        child->parent_ = nullptr;
        delete child;
    }
    delete brush_;
}

void TWinControl::BeforeDestruction()
{
    TControl::BeforeDestruction();
    DestroyHandle(); // while the handlers of the complete object still exist
}

void TWinControl::SetParent(TWinControl* parent)
{
    if (parent == Parent())
        return;
    if (handle_ && !parent)
        DestroyHandle(); // a child window cannot live without its parent
    TControl::SetParent(parent);
    if (!parent)
        return;
    if (handle_)
        ::SetParent(handle_, parent->Handle());
    else if (parent->HandleAllocated())
        CreateWnd();
}

void TWinControl::InsertControl(TControl* control)
{
    controls_.push_back(control);
    control->parent_ = this;
    if (control->parentColor_)
        control->ChangeColor(color_);
    if (control->align_ != alNone)
        AlignControls();
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control)
{
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 0);
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
        if (TCustomForm* form = GetParentForm(this))
            form->ControlRemoving(windowed);
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it != controls_.end())
        controls_.erase(it);
    control->parent_ = nullptr;
    if (control->align_ != alNone)
        AlignControls();
}

HWND TWinControl::Handle()
{
    if (!handle_)
    {
        if (Parent())
            Parent()->Handle(); // makes ours with its children
        if (!handle_)
            CreateWnd();
    }
    return handle_;
}

void TWinControl::CreateParams(TCreateParams& params)
{
    params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (visible_)
        params.Style |= WS_VISIBLE;
    if (!Enabled())
        params.Style |= WS_DISABLED;
    if (tabStop_)
        params.Style |= WS_TABSTOP;
    params.X = left_;
    params.Y = top_;
    params.Width = width_;
    params.Height = height_;
    params.WndParent = Parent() ? Parent()->handle_ : nullptr;
}

void TWinControl::CreateWnd()
{
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation("コントロール " + Name() + " には親ウィンドウがありません");
    std::wstring caption = SjisToWide(text_);
    HWND hwnd = CreateWindowExW(params.ExStyle, VnWindowClassName(), caption.c_str(), params.Style,
                                params.X, params.Y, params.Width, params.Height, params.WndParent, nullptr,
                                HInstance, this);
    if (!hwnd)
        throw EOSError("ウィンドウを作成できません (" + Name() + ")");
    for (TControl* child : controls_)
        if (auto* windowed = dynamic_cast<TWinControl*>(child); windowed && !windowed->handle_)
            windowed->CreateWnd();
    AlignControls();
}

void TWinControl::RecreateWnd()
{
    if (handle_)
        Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::DestroyHandle()
{
    if (handle_)
        DestroyWindow(handle_); // WM_NCDESTROY clears handle_ (and the children's)
    handle_ = nullptr;
}

void TWinControl::SetBounds(int left, int top, int width, int height)
{
    if (!handle_)
    {
        TControl::SetBounds(left, top, width, height);
        return;
    }
    KeepAlignedEdge(align_, TRect(left_, top_, left_ + width_, top_ + height_), left, top, width, height);
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    // WM_WINDOWPOSCHANGED stores what the window really got, then WM_SIZE realigns and resizes.
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RequestAlign();
}

void TWinControl::UpdateBounds()
{
    RECT r{};
    GetWindowRect(handle_, &r);
    if (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(nullptr, GetParent(handle_), reinterpret_cast<POINT*>(&r), 2);
    left_ = r.left;
    top_ = r.top;
    width_ = r.right - r.left;
    height_ = r.bottom - r.top;
}

TRect TWinControl::ClientRect() const
{
    if (!handle_)
        return TControl::ClientRect();
    RECT r{};
    GetClientRect(handle_, &r);
    return TRect(r.left, r.top, r.right, r.bottom);
}

void TWinControl::AlignControls()
{
    if (aligning_)
        return;
    aligning_ = true;
    try
    {
        TRect r = ClientRect();
        auto place = [&](TAlign align) {
            std::vector<TControl*> list;
            for (TControl* c : controls_)
                if (c->align_ == align && c->visible_)
                    list.push_back(c);
            // Controls of one alignment keep their order on screen (nearest the edge first).
            std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
                switch (align)
                {
                case alTop: return a->top_ < b->top_;
                case alBottom: return a->top_ + a->height_ > b->top_ + b->height_;
                case alLeft: return a->left_ < b->left_;
                case alRight: return a->left_ + a->width_ > b->left_ + b->width_;
                default: return false;
                }
            });
            for (TControl* c : list)
            {
                int w = std::max(r.Width(), 0);
                int h = std::max(r.Height(), 0);
                switch (align)
                {
                case alTop:
                    c->SetBounds(r.Left, r.Top, w, c->height_);
                    r.Top += c->height_;
                    break;
                case alBottom:
                    c->SetBounds(r.Left, r.Bottom - c->height_, w, c->height_);
                    r.Bottom -= c->height_;
                    break;
                case alLeft:
                    c->SetBounds(r.Left, r.Top, c->width_, h);
                    r.Left += c->width_;
                    break;
                case alRight:
                    c->SetBounds(r.Right - c->width_, r.Top, c->width_, h);
                    r.Right -= c->width_;
                    break;
                case alClient: c->SetBounds(r.Left, r.Top, w, h); break;
                default: break;
                }
            }
        };
        place(alTop);
        place(alBottom);
        place(alLeft);
        place(alRight);
        place(alClient);
    }
    catch (...)
    {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::Invalidate()
{
    if (handle_)
        InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update()
{
    if (handle_)
        UpdateWindow(handle_);
}

void TWinControl::Repaint()
{
    Invalidate();
    Update();
}

bool TWinControl::CanFocus() const
{
    const TControl* top = this;
    for (const TControl* c = this; c; c = c->Parent())
    {
        if (!c->Visible() || !c->Enabled())
            return false;
        top = c;
    }
    return dynamic_cast<const TCustomForm*>(top) != nullptr;
}

void TWinControl::SetFocus()
{
    if (!CanFocus())
        throw EInvalidOperation("無効または非表示のウィンドウにはフォーカスを移せません");
    // An inactive form takes it as the control to focus once activated; in the active form the
    // focus moves now, and the form hears of it (with the exit and enter events) from WM_SETFOCUS.
    if (TCustomForm* form = GetParentForm(this);
        form && form != this && !(form->HandleAllocated() && GetActiveWindow() == form->Handle()))
        form->activeControl_ = this;
    ::SetFocus(Handle());
}

bool TWinControl::Focused() const
{
    return handle_ && GetFocus() == handle_;
}

bool TWinControl::MouseCapture() const { return handle_ && GetCapture() == handle_; }

void TWinControl::SetMouseCapture(bool capture)
{
    if (capture)
        SetCapture(Handle());
    else if (MouseCapture())
        ReleaseCapture();
}

void TWinControl::SetTabStop(bool tabStop)
{
    if (tabStop == tabStop_)
        return;
    tabStop_ = tabStop;
    if (handle_)
    {
        LONG style = GetWindowLongW(handle_, GWL_STYLE);
        SetWindowLongW(handle_, GWL_STYLE, tabStop ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

void TWinControl::VisibleChanged()
{
    if (handle_)
        ShowWindow(handle_, visible_ ? SW_SHOW : SW_HIDE);
}

void TWinControl::EnabledChanged()
{
    if (!handle_)
        return;
    EnableWindow(handle_, Enabled());
    // Controls the layer paints (a label) look different when disabled; the system repaints only its own.
    InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::TextChanged()
{
    if (handle_)
    {
        std::wstring w = SjisToWide(text_);
        SetWindowTextW(handle_, w.c_str());
    }
}

AnsiString TWinControl::ReadCaption() const
{
    if (!handle_)
        return text_;
    int len = GetWindowTextLengthW(handle_);
    std::wstring w(size_t(len) + 1, L'\0');
    len = GetWindowTextW(handle_, w.data(), len + 1);
    return WideToSjis(w.c_str(), len);
}

void TWinControl::DefaultHandler(TMessage& message)
{
    message.Result = handle_ ? DefWindowProcW(handle_, message.Msg, message.WParam, message.LParam) : 0;
}

template <class V>
static void Call(TWinControl* control, void (TWinControl::*handler)(V&), TMessage& message)
{
    V view(message);
    (control->*handler)(view);
    message.Result = view.Result;
}

void TWinControl::Dispatch(TMessage& m)
{
    switch (m.Msg)
    {
    case CM_CONTROLLISTCHANGE:
        if (Parent())
            m.Result = Parent()->Perform(m.Msg, m.WParam, m.LParam);
        break;
    case CM_RECREATEWND:
        if (handle_)
        {
            DestroyHandle();
            if (!Parent() || Parent()->HandleAllocated())
                CreateWnd();
        }
        break;
    case WM_PAINT:
        if (doubleBuffered_ && !m.WParam && handle_)
            PaintBuffered(m);
        else if (ControlCountOf<TGraphicControl>() == 0)
            Call(this, &TWinControl::WMPaint, m);
        else
        {
            // The update region is gone once the window painted itself: keep it for the children.
            struct TPaintScope
            {
                HWND wnd;
                HRGN update = CreateRectRgn(0, 0, 0, 0);
                HDC dc = nullptr;
                ~TPaintScope()
                {
                    if (dc)
                        ReleaseDC(wnd, dc);
                    DeleteObject(update);
                }
            } scope{handle_};
            HDC given = reinterpret_cast<HDC>(m.WParam);
            int kind = given ? NULLREGION : GetUpdateRgn(handle_, scope.update, FALSE);
            Call(this, &TWinControl::WMPaint, m);
            if (given)
                PaintGraphicControls(given, nullptr);
            else if (kind != ERROR && kind != NULLREGION)
            {
                scope.dc = GetDC(handle_);
                PaintGraphicControls(scope.dc, scope.update);
            }
        }
        break;
    case WM_ERASEBKGND: Call(this, &TWinControl::WMEraseBkgnd, m); break;
    case WM_NCPAINT: Call(this, &TWinControl::WMNCPaint, m); break;
    case WM_SIZE: Call(this, &TWinControl::WMSize, m); break;
    case WM_WINDOWPOSCHANGED:
        UpdateBounds(); // before the WM_SIZE and WM_MOVE that the default handling sends
        DefaultHandler(m);
        break;
    case WM_SETFOCUS: Call(this, &TWinControl::WMSetFocus, m); break;
    case WM_KILLFOCUS: Call(this, &TWinControl::WMKillFocus, m); break;
    case WM_KEYDOWN: Call(this, &TWinControl::WMKeyDown, m); break;
    case WM_KEYUP: Call(this, &TWinControl::WMKeyUp, m); break;
    case WM_CHAR: DispatchChar(m); break;
    case WM_LBUTTONDOWN: Call(this, &TWinControl::WMLButtonDown, m); break;
    case WM_LBUTTONUP: Call(this, &TWinControl::WMLButtonUp, m); break;
    case WM_LBUTTONDBLCLK: Call(this, &TWinControl::WMLButtonDblClk, m); break;
    case WM_RBUTTONDOWN: Call(this, &TWinControl::WMRButtonDown, m); break;
    case WM_MOUSEMOVE:
        if (!trackingMouse_ && handle_)
        {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, handle_, 0};
            trackingMouse_ = TrackMouseEvent(&track) != FALSE;
            if (trackingMouse_)
                Perform(CM_MOUSEENTER, 0, 0);
        }
        Call(this, &TWinControl::WMMouseMove, m);
        break;
    case WM_MOUSELEAVE:
        trackingMouse_ = false;
        Perform(CM_MOUSELEAVE, 0, 0);
        // A system control that follows the mouse itself (a tool bar's hot button) waits for it too.
        DefaultHandler(m);
        break;
    case WM_MOUSEWHEEL: Call(this, &TWinControl::WMMouseWheel, m); break;
    case WM_VSCROLL: Call(this, &TWinControl::WMVScroll, m); break;
    case WM_HSCROLL: Call(this, &TWinControl::WMHScroll, m); break;
    case WM_TIMER: Call(this, &TWinControl::WMTimer, m); break;
    case WM_IME_STARTCOMPOSITION: Call(this, &TWinControl::WMImeStartComposition, m); break;
    case WM_IME_COMPOSITION: Call(this, &TWinControl::WMImeComposition, m); break;
    case WM_IME_ENDCOMPOSITION: Call(this, &TWinControl::WMImeEndComposition, m); break;
    case WM_SETCURSOR: Call(this, &TWinControl::WMSetCursor, m); break;
    case WM_GETDLGCODE: Call(this, &TWinControl::WMGetDlgCode, m); break;
    case WM_CUT: Call(this, &TWinControl::WMCut, m); break;
    case WM_COPY: Call(this, &TWinControl::WMCopy, m); break;
    case WM_PASTE: Call(this, &TWinControl::WMPaste, m); break;
    case WM_CLEAR: Call(this, &TWinControl::WMClear, m); break;
    case WM_UNDO: Call(this, &TWinControl::WMUndo, m); break;
    case WM_DESTROY: Call(this, &TWinControl::WMDestroy, m); break;
    case CM_FONTCHANGED: Call(this, &TWinControl::CMFontChanged, m); break;
    case CM_MOUSEENTER: Call(this, &TWinControl::CMMouseEnter, m); break;
    case CM_MOUSELEAVE: Call(this, &TWinControl::CMMouseLeave, m); break;
    default: TControl::Dispatch(m); break;
    }
}

// The background and the paint into a bitmap of the client area, then the bitmap onto the window.
void TWinControl::PaintBuffered(TMessage& m)
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(handle_, &ps);
    RECT client{};
    GetClientRect(handle_, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ old = SelectObject(memory, bitmap);
    struct TRelease
    {
        HWND wnd;
        PAINTSTRUCT* ps;
        HDC memory;
        HBITMAP bitmap;
        HGDIOBJ old;
        ~TRelease()
        {
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
            EndPaint(wnd, ps);
        }
    } release{handle_, &ps, memory, bitmap, old};
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), reinterpret_cast<LPARAM>(memory));
    m.Result = Perform(WM_PAINT, reinterpret_cast<WPARAM>(memory), 0);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
}

// WM_CHAR arrives as UTF-16; the handlers get CP932 bytes.
void TWinControl::DispatchChar(TMessage& m)
{
    wchar_t unit = wchar_t(m.WParam);
    std::wstring text;
    if (IS_HIGH_SURROGATE(unit))
    {
        pendingHighSurrogate_ = unit;
        m.Result = 0;
        return;
    }
    // CP932 has nothing outside the BMP: a surrogate pair is one unknown character.
    bool pair = IS_LOW_SURROGATE(unit) && pendingHighSurrogate_;
    pendingHighSurrogate_ = 0;
    text.push_back(unit);
    AnsiString bytes = pair ? AnsiString("?") : WideToSjis(text);
    for (int i = 1; i <= bytes.Length(); ++i)
    {
        TMessage part = m;
        part.WParam = bytes.Byte(i);
        Call(this, &TWinControl::WMChar, part);
        m.Result = part.Result;
    }
}

bool TWinControl::DoKeyDown(TWMKey& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyDown(message))
        return true;
    if (OnKeyDown)
    {
        WORD key = message.CharCode;
        OnKeyDown(this, key, KeyDataToShiftState(message.KeyData));
        message.CharCode = key;
        message.WParam = key;
        if (key == 0)
            return true;
    }
    return false;
}

bool TWinControl::DoKeyUp(TWMKey& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyUp(message))
        return true;
    if (OnKeyUp)
    {
        WORD key = message.CharCode;
        OnKeyUp(this, key, KeyDataToShiftState(message.KeyData));
        message.CharCode = key;
        message.WParam = key;
        if (key == 0)
            return true;
    }
    return false;
}

bool TWinControl::DoKeyPress(TWMKey& message)
{
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->KeyPreview() && static_cast<TWinControl*>(form)->DoKeyPress(message))
        return true;
    if (OnKeyPress)
    {
        char key = char(message.CharCode);
        OnKeyPress(this, key);
        message.CharCode = static_cast<unsigned char>(key);
        message.WParam = message.CharCode;
        if (key == 0)
            return true;
    }
    return false;
}

void TWinControl::WMKeyDown(TWMKey& message)
{
    if (!DoKeyDown(message))
        DefaultHandler(message);
}

void TWinControl::WMKeyUp(TWMKey& message)
{
    if (!DoKeyUp(message))
        DefaultHandler(message);
}

void TWinControl::WMChar(TWMChar& message)
{
    if (!DoKeyPress(message))
        DefaultHandler(message);
}

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd& message)
{
    if (doubleBuffered_ && message.WParam != WPARAM(message.LParam))
    {
        message.Result = 1; // erased into the bitmap when painting
        return;
    }
    RECT r{};
    GetClientRect(handle_, &r);
    brush_->SetColor(color_);
    ::FillRect(message.DC, &r, brush_->Handle());
    message.Result = 1;
}

void TWinControl::WMSize(TWMSize& message)
{
    DefaultHandler(message);
    AlignControls();
    Resize();
}

void TWinControl::WMSetFocus(TWMSetFocus& message)
{
    DefaultHandler(message);
    FocusReceived();
}

void TWinControl::FocusReceived()
{
    if (TCustomForm* form = GetParentForm(this); form && form != this)
        form->FocusMoved(this);
}

void TWinControl::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit()
{
    if (OnExit)
        OnExit(this);
}

void TWinControl::WMSetCursor(TWMSetCursor& message)
{
    if (message.CursorWnd == handle_ && message.HitTest == HTCLIENT)
    {
        TCursor cursor = Screen ? Screen->Cursor() : crDefault;
        if (cursor == crDefault)
            cursor = Cursor();
        if (cursor != crDefault && Screen)
        {
            ::SetCursor(Screen->Cursors(cursor));
            message.Result = 1;
            return;
        }
    }
    DefaultHandler(message);
}

// ---------------------------------------------------------------------------------------------
// Canvas of a control, custom control

void TControlCanvas::CreateHandle()
{
    HWND wnd = control_->Handle();
    HDC dc = GetDC(wnd);
    if (!dc)
        throw EOSError("ウィンドウの DC を取得できません");
    ownDC_ = dc;
    ownWnd_ = wnd;
    dc_ = dc;
}

void TControlCanvas::FreeHandle()
{
    HDC own = ownDC_;
    HWND wnd = ownWnd_;
    DetachHandle();
    ownDC_ = nullptr;
    ownWnd_ = nullptr;
    if (own)
        ReleaseDC(wnd, own);
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(new TControlCanvas(this))
{
}

TCustomControl::~TCustomControl()
{
    delete canvas_;
    canvas_ = nullptr;
}

void TCustomControl::WndProc(TMessage& message)
{
    if (message.Msg == WM_DESTROY)
        canvas_->FreeHandle();
    TWinControl::WndProc(message);
}

void TCustomControl::WMPaint(TWMPaint& message)
{
    // Hand the canvas back and end the paint even when Paint throws.
    struct PaintScope
    {
        TCanvas* canvas;
        HWND wnd;
        PAINTSTRUCT ps;
        bool begun;
        ~PaintScope()
        {
            canvas->SetHandle(nullptr);
            if (begun)
                EndPaint(wnd, &ps);
        }
    } scope{canvas_, handle_, {}, false};

    HDC dc = message.DC;
    if (!dc)
    {
        dc = BeginPaint(handle_, &scope.ps);
        scope.begun = true;
    }
    canvas_->SetHandle(dc);
    Paint();
    message.Result = 0;
}

// ---- graphic controls ----------------------------------------------------------------------------

void TWinControl::PaintGraphicControls(HDC dc, HRGN clip)
{
    for (TControl* c : controls_)
    {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0)
            continue;
        RECT r{g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height()};
        if (clip && !RectInRegion(clip, &r))
            continue;
        int saved = SaveDC(dc);
        if (clip)
            ExtSelectClipRgn(dc, clip, RGN_AND);
        g->PaintTo(dc, g->Left(), g->Top());
        RestoreDC(dc, saved);
    }
}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), canvas_(new TCanvas()) {}

TGraphicControl::~TGraphicControl()
{
    Invalidate();
    delete canvas_;
}

void TGraphicControl::PaintTo(HDC dc, int x, int y)
{
    if (Width() <= 0 || Height() <= 0)
        return;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, x, y, x + Width(), y + Height());
    POINT old{};
    OffsetViewportOrgEx(dc, x, y, &old);
    canvas_->SetHandle(dc);
    painting_ = true;
    try
    {
        Paint();
    }
    catch (...)
    {
        painting_ = false;
        canvas_->SetHandle(nullptr);
        RestoreDC(dc, saved);
        throw;
    }
    painting_ = false;
    canvas_->SetHandle(nullptr);
    RestoreDC(dc, saved);
}

void TGraphicControl::Repaint()
{
    Invalidate();
    if (Parent() && Parent()->HandleAllocated())
        Parent()->Update();
}

void TGraphicControl::Dispatch(TMessage& message)
{
    if (message.Msg == CM_FONTCHANGED)
        Invalidate();
    TControl::Dispatch(message);
}
