#include "Forms.h"

#include <algorithm>
#include <vector>

#include "ComCtrls.h"
#include "Cp932.h"
#include "LayerObjects.h"
#include "Menus.h"
#include "Services.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace
{
// Every process-wide object of the layer, made in one order and freed in the reverse: the tables
// first, then Screen and Application. Freeing Application frees the forms, whose menu items and
// timers leave the tables on their way, so the tables must outlive it.
struct TLayerObjects
{
    TLayerTables tables;
    std::vector<void (*)()> exitProcs;

    TLayerObjects()
    {
        Screen = new TScreen(nullptr);
        Application = new TApplication(nullptr);
    }
    ~TLayerObjects()
    {
        while (!exitProcs.empty())
        {
            void (*proc)() = exitProcs.back();
            exitProcs.pop_back();
            proc();
        }
        delete Application;
        Application = nullptr;
        delete Screen;
        Screen = nullptr;
    }
};

TLayerObjects& LayerObjects()
{
    static TLayerObjects objects;
    return objects;
}

// Application and Screen exist before main, as in the class library.
const bool layerObjectsMade = (LayerObjects(), true);
} // namespace

TLayerTables& LayerTables()
{
    return LayerObjects().tables;
}

void AddLayerExitProc(void (*proc)())
{
    LayerObjects().exitProcs.push_back(proc);
}

AnsiString ExceptionText(const std::exception& e)
{
    if (auto* known = dynamic_cast<const Exception*>(&e))
        return known->Message;
    // A C++ library exception's own text is English and means nothing to the user.
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return SOutOfMemory;
    return "予期しない例外が発生しました";
}

void ReportCallbackException(TObject* sender, const std::exception* e) noexcept
{
    try
    {
        if (!Application)
            return;
        if (e)
        {
            Application->HandleException(sender, *e);
        }
        else
        {
            Exception unknown("予期しない例外が発生しました");
            Application->HandleException(sender, unknown);
        }
    }
    catch (...)
    {
        // Reporting failed too; the message is abandoned either way.
    }
}

TCustomForm* GetParentForm(TControl* control)
{
    while (control && control->Parent())
        control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

// ---------------------------------------------------------------------------------------------
// TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner)
{
    visible_ = false;
    left_ = 100;
    top_ = 100;
    width_ = 400;
    height_ = 300;
    if (Screen)
        Screen->AddForm(this);
}

TCustomForm::~TCustomForm()
{
    if (Screen)
    {
        Screen->RemoveForm(this);
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (Screen->Forms(i)->popupParent_ == this)
                Screen->Forms(i)->popupParent_ = nullptr;
    }
}

namespace
{
// Wine's display (its X11 driver) stacks a window that a click raises over the windows it owns,
// and moves a window on screen only when its place in the order really changes; Windows keeps
// owned windows over their owner itself.
bool DisplayNeedsOwnedRaise()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

constexpr UINT_PTR kRaiseOwnedTimer = 0x564E; // an id no caller of SetTimer on a form uses
constexpr UINT kRaiseOwnedDelayMs = 250;
} // namespace

// After the activation or the move that raised the form has been handled all through: a display
// that stacks the form over its owned windows does so on the way.
void TCustomForm::PostRaiseOwned()
{
    if (!handle_ || Parent() || !DisplayNeedsOwnedRaise())
        return;
    if (!raiseOwnedPosted_)
        raiseOwnedPosted_ = PostMessageW(handle_, CM_RAISEOWNED, 0, 0) != FALSE;
    // Once more when the display has done with the raise: it stacks some windows (one that was
    // just maximised or mapped) only when its own events for them come back.
    SetTimer(handle_, kRaiseOwnedTimer, kRaiseOwnedDelayMs, nullptr);
}

void TCustomForm::SetPopupParent(TCustomForm* form)
{
    if (form == this)
        form = nullptr;
    popupParent_ = form;
    if (handle_ && !Parent())
        SetWindowLongPtrW(handle_, GWLP_HWNDPARENT,
                          reinterpret_cast<LONG_PTR>(form && form->HandleAllocated() ? form->Handle() : nullptr));
}

void TCustomForm::AfterConstruction()
{
    TWinControl::AfterConstruction();
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::BeforeDestruction()
{
    if (OnDestroy)
        GuardedCall(this, [this] { OnDestroy(this); });
    TWinControl::BeforeDestruction();
}

void TCustomForm::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    if (Parent())
        return; // a form put inside another control is an ordinary child window
    params.Style = WS_CLIPCHILDREN;
    params.ExStyle = 0;
    switch (borderStyle_)
    {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; break;
    case bsSizeable: params.Style |= WS_OVERLAPPEDWINDOW; break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_DLGMODALFRAME;
        break;
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (!Enabled())
        params.Style |= WS_DISABLED;
    if (alphaBlend_)
        params.ExStyle |= WS_EX_LAYERED;
    params.WndParent = popupParent_ && popupParent_->HandleAllocated() ? popupParent_->Handle() : nullptr;
}

void TCustomForm::CreateWnd()
{
    TWinControl::CreateWnd();
    ApplyAlphaBlend();
}

void TCustomForm::SetAlphaBlend(bool on)
{
    if (on == alphaBlend_)
        return;
    alphaBlend_ = on;
    ApplyAlphaBlend();
}

void TCustomForm::SetAlphaBlendValue(int value)
{
    value = value < 0 ? 0 : value > 255 ? 255 : value;
    if (value == alphaBlendValue_)
        return;
    alphaBlendValue_ = value;
    ApplyAlphaBlend();
}

void TCustomForm::ApplyAlphaBlend()
{
    if (!handle_ || Parent())
        return;
    const LONG style = GetWindowLongW(handle_, GWL_EXSTYLE);
    if (!alphaBlend_)
    {
        if (style & WS_EX_LAYERED)
        {
            SetWindowLongW(handle_, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
            RedrawWindow(handle_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
        }
        return;
    }
    if (!(style & WS_EX_LAYERED))
        SetWindowLongW(handle_, GWL_EXSTYLE, style | WS_EX_LAYERED);
    SetLayeredWindowAttributes(handle_, 0, BYTE(alphaBlendValue_), LWA_ALPHA);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style)
{
    if (style == borderStyle_)
        return;
    borderStyle_ = style;
    if (!handle_)
        return;
    TCreateParams params;
    CreateParams(params);
    LONG visible = GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongW(handle_, GWL_STYLE, LONG(params.Style) | visible);
    SetWindowLongW(handle_, GWL_EXSTYLE, LONG(params.ExStyle));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace
{
// The text of the focused window (an edit, or the edit of a combo box) inside control is selected
// whole, as a dialog does when the focus arrives by the keyboard or on showing.
void SelectFocusedText(TWinControl* control)
{
    HWND focus = GetFocus();
    if (!focus || !control->HandleAllocated())
        return;
    if (focus != control->Handle() && !IsChild(control->Handle(), focus))
        return;
    if (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
        SendMessageW(focus, EM_SETSEL, 0, -1);
}
} // namespace

void TCustomForm::Show()
{
    const bool wasShown = visible_ && HandleAllocated() && IsWindowVisible(handle_);
    SetVisible(true);
    // Asked for again while open but behind the editor (Ctrl+F on an open find dialog): the user
    // wants to type in it.
    if (wasShown && !Parent())
    {
        SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(handle_);
        SelectFocusedText(this);
    }
}

void TCustomForm::VisibleChanged()
{
    if (Parent())
    {
        TWinControl::VisibleChanged();
        return;
    }
    if (!visible_)
    {
        if (handle_)
            ShowWindow(handle_, SW_HIDE);
        return;
    }
    HWND hwnd = Handle();
    ApplyPosition();
    const int width = width_, height = height_;
    ShowWindow(hwnd, SW_SHOWNORMAL); // WM_SHOWWINDOW fires OnShow
    // A form that sizes itself to its content in OnShow is centred at its new size.
    if (width_ != width || height_ != height)
        ApplyPosition();
    // A dialog opened again offers its old text selected, so that typing replaces it.
    SelectFocusedText(this);
}

namespace
{
// The form to centre on: shown, not minimized, and not the one being placed.
HWND CentreWindow(TCustomForm* self, TComponent* candidate)
{
    auto* form = dynamic_cast<TCustomForm*>(candidate);
    if (!form || form == self || !form->HandleAllocated())
        return nullptr;
    HWND hwnd = form->Handle();
    return IsWindowVisible(hwnd) && !IsIconic(hwnd) ? hwnd : nullptr;
}
} // namespace

void TCustomForm::ApplyPosition()
{
    if (position_ == poDesigned)
        return;
    HWND over = nullptr;
    if (position_ == poOwnerFormCenter)
        over = CentreWindow(this, Owner());
    if (!over && position_ != poScreenCenter && Application)
        over = CentreWindow(this, Application->MainForm());
    RECT work{};
    RECT around{};
    if (over)
    {
        GetWindowRect(over, &around);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoW(MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &info);
        work = info.rcWork;
    }
    else
    {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        around = work;
    }
    int left = around.left + (around.right - around.left - width_) / 2;
    int top = around.top + (around.bottom - around.top - height_) / 2;
    // Over a window near an edge the form would stick out of the screen: it stays inside, its
    // top left corner first when it is larger than the work area.
    left = std::max(int(work.left), std::min(left, int(work.right) - width_));
    top = std::max(int(work.top), std::min(top, int(work.bottom) - height_));
    SetBounds(left, top, width_, height_);
}

namespace
{
BOOL CALLBACK CollectOwnedWindow(HWND hwnd, LPARAM param)
{
    auto* list = reinterpret_cast<std::vector<HWND>*>(param);
    if (hwnd != list->front() && GetWindow(hwnd, GW_OWNER) == list->front() && IsWindowVisible(hwnd))
        list->push_back(hwnd);
    return TRUE;
}

bool IsTopmost(HWND hwnd)
{
    return (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// Puts the windows a form owns on top again, lowest first, keeping their order: each leaves its
// place and comes back, so that the display follows. One that stays on top keeps to the topmost
// band on the way unless it is alone there: Wine puts a window coming back into the band behind
// the windows it owns (the results list's hidden tool tip) and keeps it in the band only when a
// window of the band lies under it, so one that had left could come back without its style.
void RaiseOwnedWindows(HWND owner)
{
    if (!DisplayNeedsOwnedRaise())
        return;
    std::vector<HWND> owned{owner};
    EnumThreadWindows(GetCurrentThreadId(), CollectOwnedWindow, reinterpret_cast<LPARAM>(&owned));
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    for (size_t i = owned.size() - 1; i >= 1; --i)
    {
        const HWND hwnd = owned[i];
        if (!IsTopmost(hwnd))
        {
            SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, flags);
            SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags);
            continue;
        }
        // The lowest window of the band (of any program, shown or not) takes it under itself.
        HWND lowest = hwnd;
        for (HWND next = GetWindow(hwnd, GW_HWNDNEXT); next && IsTopmost(next);
             next = GetWindow(next, GW_HWNDNEXT))
            lowest = next;
        if (lowest != hwnd)
            SetWindowPos(hwnd, lowest, 0, 0, 0, 0, flags);
        else if (!GetWindow(hwnd, GW_HWNDPREV)) // alone in the band: nothing it owns lies over it
            SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, flags);
    }
}
} // namespace

void TCustomForm::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_WINDOWPOSCHANGED:
    {
        TWinControl::Dispatch(message);
        // Raised, or shown: a window the display maps anew lies over all others there.
        const UINT flags = reinterpret_cast<const WINDOWPOS*>(message.LParam)->flags;
        if (!(flags & SWP_NOZORDER) || (flags & SWP_SHOWWINDOW))
            PostRaiseOwned();
        break;
    }
    case WM_TIMER:
        if (message.WParam != kRaiseOwnedTimer)
        {
            TWinControl::Dispatch(message);
            break;
        }
        KillTimer(handle_, kRaiseOwnedTimer);
        RaiseOwnedWindows(handle_);
        message.Result = 0;
        break;
    case CM_RAISEOWNED:
        raiseOwnedPosted_ = false;
        if (handle_ && !Parent())
            RaiseOwnedWindows(handle_);
        break;
    case WM_CLOSE:
        Close(); // never the default handling, which would destroy the window
        message.Result = 0;
        break;
    case WM_SHOWWINDOW:
        DefaultHandler(message);
        if (message.WParam && OnShow)
            OnShow(this);
        break;
    case WM_ACTIVATE:
        if (LOWORD(message.WParam) != WA_INACTIVE)
        {
            PostRaiseOwned();
            if (activeControl_ && activeControl_->CanFocus())
            {
                ::SetFocus(activeControl_->Handle());
                message.Result = 0;
            }
            else
            {
                DefaultHandler(message);
            }
            if (OnActivate)
                OnActivate(this);
        }
        else
        {
            DefaultHandler(message);
        }
        break;
    case WM_ACTIVATEAPP:
        // Every top-level window hears it; the main form alone tells the application.
        TWinControl::Dispatch(message);
        if (message.WParam && Application && Application->MainForm() == this && Application->OnActivate)
            Application->OnActivate(Application);
        break;
    case CM_RELEASE:
        message.Result = 0;
        delete this; // nothing of the form may be touched after this
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_INITMENUPOPUP:
    case WM_DESTROY:
        // Menu commands, and the notifications of native controls sent back to them.
        if (!DispatchMenuMessage(handle_, message) && !ReflectControlMessage(message))
            TWinControl::Dispatch(message);
        break;
    default: TWinControl::Dispatch(message); break;
    }
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& action)
{
    if (OnClose)
        OnClose(this, action);
}

void TCustomForm::Close()
{
    if (modal_)
    {
        modalResult_ = mrCancel; // the modal loop asks CloseQuery and OnClose
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application && Application->MainForm() == this)
        Application->Terminate();
    else if (action == caHide)
        Hide();
    else if (action == caMinimize)
        ShowWindow(Handle(), SW_MINIMIZE);
    else
        Release();
}

void TCustomForm::CloseModal()
{
    TCloseAction action = caNone;
    if (CloseQuery())
    {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone)
        modalResult_ = mrNone;
    else if (action == caFree)
        Release();
}

namespace
{
// The forms in ShowModal, innermost last.
std::vector<TCustomForm*> modalForms;

BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM param)
{
    try
    {
        auto* list = reinterpret_cast<std::vector<HWND>*>(param);
        if (hwnd != list->front() && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
            list->push_back(hwnd);
        return TRUE;
    }
    catch (...)
    {
        return FALSE;
    }
}

// A window of the topmost band lies over every window outside it, owned or not: while a form of
// ours stays on top there, a modal window joins it, or that form would come over the modal one.
bool FormsStayOnTop(HWND except)
{
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
    {
        TCustomForm* form = Screen->Forms(i);
        if (form->HandleAllocated() && !form->Parent() && form->Handle() != except &&
            IsWindowVisible(form->Handle()) && (GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST))
            return true;
    }
    return false;
}

constexpr UINT kBandFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;

// The system's box or dialog joins the topmost band as it is activated. Our own windows (the
// owner activated again as the box goes) stay where they are.
LRESULT CALLBACK RaiseSystemModal(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE)
    {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t name[64] = {};
        GetClassNameW(hwnd, name, 64);
        if (lstrcmpW(name, VnWindowClassName()) != 0 && !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) &&
            !(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST))
            SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kBandFlags);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

TModalResult TCustomForm::ShowModal()
{
    if (visible_ || !Enabled() || modal_)
        throw EInvalidOperation("表示中または無効のウィンドウはモーダルにできません");
    if (GetCapture())
        ReleaseCapture();
    HWND previousActive = GetActiveWindow();
    HWND self = Handle();
    // The other windows of the thread are disabled while the form is modal (first entry: ourselves).
    std::vector<HWND> disabled{self};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled));
    for (size_t i = 1; i < disabled.size(); ++i)
        EnableWindow(disabled[i], FALSE);
    // Owned by the window it was opened from, the form stays in front of it whatever is activated.
    const LONG_PTR previousOwner = GetWindowLongPtrW(self, GWLP_HWNDPARENT);
    if (previousActive && previousActive != self && !Parent())
        SetWindowLongPtrW(self, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(previousActive));
    modalForms.push_back(this);
    const bool raised =
        !Parent() && FormsStayOnTop(self) && !(GetWindowLongW(self, GWL_EXSTYLE) & WS_EX_TOPMOST);
    if (raised)
        SetWindowPos(self, HWND_TOPMOST, 0, 0, 0, 0, kBandFlags);

    modal_ = true;
    modalResult_ = mrNone;
    auto restore = [&] {
        modalForms.erase(std::find(modalForms.begin(), modalForms.end(), this));
        for (size_t i = 1; i < disabled.size(); ++i)
            if (IsWindow(disabled[i]))
                EnableWindow(disabled[i], TRUE);
        Hide(); // after re-enabling, so activation returns to our windows
        if (!Parent() && HandleAllocated())
            SetWindowLongPtrW(Handle(), GWLP_HWNDPARENT, previousOwner);
        // Out of the topmost band once its own owner is back: while it belongs to the window it
        // was opened from, the system may keep it in the band.
        if (raised && HandleAllocated())
            SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, kBandFlags);
        if (previousActive && IsWindow(previousActive))
            SetActiveWindow(previousActive);
        modal_ = false;
    };
    try
    {
        Show();
        for (;;)
        {
            if (Application->Terminated())
            {
                modalResult_ = mrCancel;
                break;
            }
            if (modalResult_ != mrNone)
            {
                CloseModal();
                if (modalResult_ != mrNone)
                    break;
                continue;
            }
            Application->HandleMessage();
        }
    }
    catch (...)
    {
        restore();
        throw;
    }
    restore();
    return modalResult_;
}

TCustomForm* InnermostModalForm() { return modalForms.empty() ? nullptr : modalForms.back(); }

TSystemModalScope::TSystemModalScope(HWND owner) : previousActive_(GetActiveWindow())
{
    // The owner comes first so that it is left as it is: the system disables it and enables it
    // again before the box goes, which gives the activation back to it.
    disabled_.push_back(owner);
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow, reinterpret_cast<LPARAM>(&disabled_));
    for (size_t i = 1; i < disabled_.size(); ++i)
        EnableWindow(disabled_[i], FALSE);
    if (FormsStayOnTop(nullptr))
        hook_ = SetWindowsHookExW(WH_CBT, RaiseSystemModal, nullptr, GetCurrentThreadId());
}

TSystemModalScope::~TSystemModalScope()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    for (size_t i = 1; i < disabled_.size(); ++i)
        if (IsWindow(disabled_[i]))
            EnableWindow(disabled_[i], TRUE);
    // Without an owner to take it back, the activation went nowhere while all was disabled.
    if (!GetActiveWindow() && previousActive_ && IsWindow(previousActive_))
        SetActiveWindow(previousActive_);
}

HWND BoxOwnerWindow(HWND preferred)
{
    if (preferred && IsWindow(preferred) && IsWindowEnabled(preferred))
        return preferred;
    if (TCustomForm* modal = InnermostModalForm(); modal && modal->HandleAllocated())
        return modal->Handle();
    return preferred;
}

void TCustomForm::Release()
{
    PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    activeControl_ = control;
    if (control && handle_ && GetActiveWindow() == handle_ && control->CanFocus())
        ::SetFocus(control->Handle());
}

void TCustomForm::FocusMoved(TWinControl* control)
{
    // A display that stacks a window over its owned ones when it is raised does so when the focus
    // moves inside it as well (a click on a tab, on the search field).
    PostRaiseOwned();
    if (control == activeControl_)
        return;
    TWinControl* left = activeControl_;
    activeControl_ = control;
    // A move made by an exit or enter handler (a field that refuses to be left takes the focus
    // back) is taken as it is: firing again, two such fields would send it to and fro for ever.
    if (inFocusEvents_)
        return;
    inFocusEvents_ = true;
    struct TReset
    {
        bool& flag;
        ~TReset() { flag = false; }
    } reset{inFocusEvents_};
    if (left)
        left->DoExit();
    // Not entered when the exit handler kept the focus from it.
    if (activeControl_ == control)
        control->DoEnter();
}

void TCustomForm::ControlRemoving(TWinControl* control)
{
    for (TControl* c = activeControl_; c; c = c->Parent())
        if (c == control)
        {
            activeControl_ = nullptr;
            return;
        }
}

namespace
{
// Tab order: the form's windowed controls depth first, in the order they were put on their parents
// (those inside a hidden or disabled container left out).
void CollectControls(TWinControl* parent, std::vector<TWinControl*>& list)
{
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* control = dynamic_cast<TWinControl*>(parent->Controls(i)))
        {
            list.push_back(control);
            if (control->Visible() && control->Enabled())
                CollectControls(control, list);
        }
}

// Offers a dialog key or an access key to the visible, enabled controls in tab order.
bool OfferDialogMessage(TWinControl* parent, UINT msg, WPARAM key)
{
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* control = dynamic_cast<TWinControl*>(parent->Controls(i));
            control && control->Visible() && control->Enabled())
        {
            if (control->Perform(msg, key, 0) || OfferDialogMessage(control, msg, key))
                return true;
        }
    return false;
}

// The control of the layer a window belongs to: the window's own object or that of the nearest
// parent window that has one (the edit inside a combo box belongs to the combo box).
TWinControl* FindOwningControl(HWND hwnd)
{
    static const wchar_t* vnClass = VnWindowClassName();
    for (; hwnd; hwnd = GetParent(hwnd))
    {
        if (auto* native = static_cast<TWinControl*>(GetPropW(hwnd, L"VnNativeControl")))
            return native;
        wchar_t name[16] = {};
        if (GetClassNameW(hwnd, name, 16) && lstrcmpW(name, vnClass) == 0)
            return reinterpret_cast<TWinControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return nullptr;
}
} // namespace

namespace
{
// The page control that Ctrl+Tab and Ctrl+PageDown switch: the one the focus is in, else the
// first one of the form that is shown with pages to switch between.
TPageControl* KeyboardPageControl(TCustomForm* form)
{
    for (TControl* c = FindOwningControl(GetFocus()); c && c != form; c = c->Parent())
        if (auto* pages = dynamic_cast<TPageControl*>(c))
            return pages;
    std::vector<TWinControl*> list;
    CollectControls(form, list);
    for (TWinControl* c : list)
        if (auto* pages = dynamic_cast<TPageControl*>(c);
            pages && pages->TabCount() > 1 && pages->HandleAllocated() && IsWindowVisible(pages->Handle()) &&
            pages->Enabled())
            return pages;
    return nullptr;
}
} // namespace

bool TCustomForm::DialogKey(WORD key, TShiftState shift)
{
    if ((key == VK_TAB || key == VK_NEXT || key == VK_PRIOR) && shift.Contains(ssCtrl))
    {
        if (shift.Contains(ssAlt))
            return false;
        TPageControl* pages = KeyboardPageControl(this);
        if (!pages)
            return false;
        pages->SelectNextPage(key == VK_TAB ? !shift.Contains(ssShift) : key == VK_NEXT);
        return true;
    }
    switch (key)
    {
    case VK_TAB:
        if (shift.Contains(ssAlt))
            return false;
    {
        // The focus may sit in a window inside a control (the edit of a combo box).
        TWinControl* current = FindOwningControl(GetFocus());
        SelectNext(current && GetParentForm(current) == this ? current : activeControl_, !shift.Contains(ssShift));
    }
        return true;
    case VK_RETURN:
    case VK_ESCAPE: return OfferDialogMessage(this, CM_DIALOGKEY, key);
    default: return false;
    }
}

bool TCustomForm::DialogChar(wchar_t key)
{
    return OfferDialogMessage(this, CM_DIALOGCHAR, key);
}

void TCustomForm::SelectNext(TWinControl* current, bool goForward)
{
    std::vector<TWinControl*> list;
    CollectControls(this, list);
    size_t n = list.size();
    if (n == 0)
        return;
    // Without a current control, forward starts at the first one and backward at the last.
    auto it = std::find(list.begin(), list.end(), current);
    size_t from = it != list.end() ? size_t(it - list.begin()) : goForward ? n - 1 : 0;
    for (size_t step = 1; step <= n; ++step)
    {
        TWinControl* c = list[(from + (goForward ? step : n - step)) % n];
        if (c->TabStop() && c->CanFocus())
        {
            SelectControl(c);
            return;
        }
    }
}

void TCustomForm::SelectControl(TWinControl* control)
{
    control->SetFocus();
    SelectFocusedText(control);
}

namespace
{
// Alt+character, or a character typed where the focused control takes none (a button has the
// focus), is tried as an access key of the form's controls; one that matches none goes on (Alt+F
// still opens the menu).
bool IsDialogCharMessage(const MSG& msg)
{
    if (msg.wParam < L' ')
        return false;
    TWinControl* control = FindOwningControl(msg.hwnd);
    TCustomForm* form = control ? GetParentForm(control) : nullptr;
    if (!form || !form->Enabled())
        return false;
    if (msg.message == WM_CHAR &&
        (SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg)) &
         (DLGC_WANTCHARS | DLGC_WANTMESSAGE)))
        return false;
    bool used = false;
    GuardedCall(form, [&] { used = form->DialogChar(wchar_t(msg.wParam)); });
    return used;
}
} // namespace

bool IsDialogKeyMessage(const MSG& msg)
{
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR)
        return IsDialogCharMessage(msg);
    if (msg.message != WM_KEYDOWN)
        return false;
    UINT want = 0;
    switch (msg.wParam)
    {
    case VK_TAB: want = DLGC_WANTTAB; break;
    case VK_RETURN:
    case VK_ESCAPE: want = DLGC_WANTALLKEYS; break;
    case VK_NEXT:
    case VK_PRIOR:
        // Ctrl+PageDown and Ctrl+PageUp switch pages, except in a control that takes Tab as text
        // (the editor pages with them as with Ctrl+Tab it switches files itself).
        if (Services().GetKeyState(VK_CONTROL) >= 0)
            return false;
        want = DLGC_WANTTAB;
        break;
    default: return false;
    }
    TWinControl* control = FindOwningControl(msg.hwnd);
    TCustomForm* form = control ? GetParentForm(control) : nullptr;
    if (!form || !form->Enabled())
        return false;
    LRESULT code = SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & (want | DLGC_WANTMESSAGE))
        return false;
    bool used = false;
    GuardedCall(form, [&] { used = form->DialogKey(WORD(msg.wParam), KeyDataToShiftState(int(msg.lParam))); });
    return used;
}

// ---------------------------------------------------------------------------------------------
// TApplication

TApplication::TApplication(TComponent* owner) : TComponent(owner)
{
    // The default title is the program's file name without its extension.
    wchar_t path[MAX_PATH] = {};
    DWORD len = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, len);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    title_ = WideToSjis(name);
}

TApplication::~TApplication()
{
    if (handle_)
        DestroyWindow(handle_);
}

void TApplication::Initialize()
{
    if (handle_)
        return;
    std::wstring title = SjisToWide(title_);
    handle_ = CreateWindowExW(0, VnWindowClassName(), title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                              0, 0, nullptr, nullptr, HInstance, nullptr);
    if (!handle_)
        throw EOSError("アプリケーション ウィンドウを作成できません");
}

void TApplication::SetTitle(const AnsiString& title)
{
    title_ = title;
    if (handle_)
    {
        std::wstring w = SjisToWide(title_);
        SetWindowTextW(handle_, w.c_str());
    }
}

void TApplication::Run()
{
    if (!mainForm_)
        return;
    mainForm_->Show(); // a failure here is the caller's: the program cannot start
    while (!terminated_)
        GuardedCall(this, [this] { HandleMessage(); });
}

void TApplication::Terminate()
{
    PostQuitMessage(0); // Terminated becomes true when the loop takes WM_QUIT
}

bool TApplication::ProcessMessage(MSG& msg)
{
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT)
    {
        terminated_ = true;
        return true;
    }
    // Menu shortcuts come before the focused control sees the key.
    if (IsMenuShortCutMessage(msg))
        return true;
    if (IsDialogKeyMessage(msg))
        return true;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages()
{
    MSG msg;
    while (ProcessMessage(msg))
    {
    }
}

void TApplication::HandleMessage()
{
    MSG msg;
    if (!ProcessMessage(msg))
        WaitMessage();
}

void TApplication::HandleException(TObject* sender, const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    if (OnException)
    {
        if (auto* known = dynamic_cast<const Exception*>(&e))
        {
            OnException(sender, const_cast<Exception*>(known));
        }
        else
        {
            Exception wrapped{ExceptionText(e)};
            OnException(sender, &wrapped);
        }
        return;
    }
    ShowException(e);
}

void TApplication::ShowException(const std::exception& e)
{
    AnsiString message = ExceptionText(e);
    HWND owner = BoxOwnerWindow(GetActiveWindow());
    Services().MessageBox(owner ? owner : handle_, message, title_, MB_OK | MB_ICONSTOP);
}

void TApplication::Notification(TComponent* component, TOperation operation)
{
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == mainForm_)
        mainForm_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TScreen

TScreen::TScreen(TComponent* owner) : TComponent(owner)
{
}

void TScreen::AddForm(TCustomForm* form)
{
    forms_.push_back(form);
    // Not through its owner's insert: that one comes before the object is known as a form.
    if (Application)
        Application->Notification(form, opInsert);
}

void TScreen::RemoveForm(TCustomForm* form)
{
    std::erase(forms_, form);
}

HCURSOR TScreen::Cursors(TCursor index) const
{
    auto it = cursors_.find(index);
    if (it != cursors_.end())
        return it->second;
    LPCWSTR id = IDC_ARROW;
    switch (index)
    {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break; // crDefault, crArrow, crDrag (no drag cursor of our own yet), unknown slots
    }
    return LoadCursorW(nullptr, id);
}

void TScreen::SetCursors(TCursor index, HCURSOR cursor)
{
    if (cursor)
        cursors_[index] = cursor;
    else
        cursors_.erase(index);
}

void TScreen::SetCursor(TCursor cursor)
{
    cursor_ = cursor;
    if (cursor != crDefault)
    {
        ::SetCursor(Cursors(cursor));
        return;
    }
    // Back to the default: let the window under the mouse choose its own cursor again.
    POINT p{};
    if (!GetCursorPos(&p))
        return;
    HWND hwnd = WindowFromPoint(p);
    if (hwnd && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId())
    {
        LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
        SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, WM_MOUSEMOVE));
    }
}

int TScreen::Width() const
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int TScreen::Height() const
{
    return GetSystemMetrics(SM_CYSCREEN);
}

int TScreen::PixelsPerInch() const
{
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(nullptr, dc);
    return dpi;
}
