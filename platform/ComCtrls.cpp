#include "ComCtrls.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "Cp932.h"
#include "Forms.h"
#include "Menus.h"
#include "SysUtils.h"

namespace
{
// The property that ties a native window to its object; reflection looks only for it.
const wchar_t kControlProp[] = L"VnNativeControl";

// The objects of the native windows of this thread, for their window procedure: a window's
// properties live in the window server, and asking it for each message costs more than the
// message itself (a list box takes one per line added). A window's messages all come on the
// thread that made it.
std::unordered_map<HWND, TNativeControl*>& NativeControls()
{
    thread_local std::unordered_map<HWND, TNativeControl*> controls;
    return controls;
}

// Child-window ids: unique, so a parent never mistakes one control's notification for another's.
int NextControlId()
{
    static int next = 1000;
    if (++next > 0x7FFF)
        next = 1001;
    return next;
}
} // namespace

void InitCommonControlsOnce()
{
    static bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

bool ReflectControlMessage(TMessage& message)
{
    HWND from = nullptr;
    switch (message.Msg)
    {
    case WM_COMMAND: from = reinterpret_cast<HWND>(message.LParam); break; // null: a menu or accelerator
    case WM_NOTIFY:
        if (message.LParam)
            from = reinterpret_cast<NMHDR*>(message.LParam)->hwndFrom;
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: from = reinterpret_cast<HWND>(message.LParam); break; // null: the window's own bar
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: from = reinterpret_cast<HWND>(message.LParam); break;
    case WM_DRAWITEM:
        if (auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam); item && item->CtlType != ODT_MENU)
            from = item->hwndItem;
        break;
    default: return false;
    }
    if (!from)
        return false;
    auto* control = static_cast<TWinControl*>(GetPropW(from, kControlProp));
    if (!control)
        return false;
    LRESULT result = control->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
    if (!result && (message.Msg == WM_CTLCOLORBTN || message.Msg == WM_CTLCOLORSTATIC))
        return false;
    message.Result = result;
    return true;
}

// ---------------------------------------------------------------------------------------------
// TNativeControl

TNativeControl::TNativeControl(TComponent* owner) : TWinControl(owner)
{
}

void TNativeControl::CreateWnd()
{
    InitCommonControlsOnce();
    TCreateParams params;
    CreateParams(params);
    if (!params.WndParent)
        throw EInvalidOperation("コントロール " + Name() + " には親ウィンドウがありません");
    std::wstring caption = SjisToWide(text_);
    HWND hwnd = CreateWindowExW(params.ExStyle, NativeClassName(), caption.c_str(), params.Style, params.X,
                                params.Y, params.Width, params.Height, params.WndParent,
                                reinterpret_cast<HMENU>(INT_PTR(NextControlId())), HInstance, nullptr);
    if (!hwnd)
        throw EOSError("ウィンドウを作成できません (" + Name() + ")", GetLastError());
    handle_ = hwnd;
    SetPropW(hwnd, kControlProp, this);
    NativeControls()[hwnd] = this;
    nativeProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TNativeControl::SubclassProc)));
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
    HandleCreated();
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* windowed = dynamic_cast<TWinControl*>(Controls(i));
            windowed && !windowed->HandleAllocated())
            windowed->HandleNeeded();
    AlignControls();
}

LRESULT CALLBACK TNativeControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    auto& controls = NativeControls();
    const auto found = controls.find(hwnd);
    TNativeControl* control = found != controls.end() ? found->second : nullptr;
    if (!control)
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    TMessage message;
    message.Msg = msg;
    message.WParam = wparam;
    message.LParam = lparam;
    if (msg == WM_NCDESTROY)
    {
        WNDPROC native = control->nativeProc_;
        TWndMethod proc = control->WindowProc;
        GuardedCall(control, [&] { proc(message); });
        RemovePropW(hwnd, kControlProp);
        NativeControls().erase(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(native));
        control->handle_ = nullptr;
        control->nativeProc_ = nullptr;
        return message.Result;
    }
    // Copied first: the handler may put another procedure in its place.
    TWndMethod proc = control->WindowProc;
    GuardedCall(control, [&] { proc(message); });
    return message.Result;
}

void TNativeControl::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_CHAR:
        // The system class wants its UTF-16 characters, not the layer's CP932 bytes.
        DefaultHandler(message);
        return;
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
    default: break;
    }
    TWinControl::Dispatch(message);
}

void TNativeControl::DefaultHandler(TMessage& message)
{
    message.Result = handle_ && nativeProc_
                         ? CallWindowProcW(nativeProc_, handle_, message.Msg, message.WParam, message.LParam)
                         : 0;
}

void TNativeControl::CMFontChanged(TMessage& message)
{
    if (handle_)
        SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
}

// ---------------------------------------------------------------------------------------------
// TTabSheet

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner)
{
    visible_ = false; // shown while it is the active page
}

void TTabSheet::BeforeDestruction()
{
    if (pageControl_)
        pageControl_->RemovePage(this);
    TWinControl::BeforeDestruction();
}

void TTabSheet::SetPageControl(TPageControl* pageControl)
{
    if (pageControl == pageControl_)
        return;
    if (pageControl_)
        pageControl_->RemovePage(this);
    SetParent(pageControl);
    if (pageControl)
        pageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const
{
    if (!pageControl_)
        return -1;
    const auto& pages = pageControl_->pages_;
    return int(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int index)
{
    if (pageControl_)
        pageControl_->MovePage(this, index);
}

void TTabSheet::SetTabVisible(bool visible)
{
    if (visible == tabVisible_)
        return;
    if (!pageControl_)
    {
        tabVisible_ = visible;
        return;
    }
    int tab = TabIndex();
    tabVisible_ = visible;
    if (visible)
        pageControl_->InsertTab(this);
    else
        pageControl_->DeleteTab(tab);
}

int TTabSheet::TabIndex() const
{
    if (!pageControl_ || !tabVisible_)
        return -1;
    int index = 0;
    for (TTabSheet* page : pageControl_->pages_)
    {
        if (page == this)
            return index;
        if (page->tabVisible_)
            ++index;
    }
    return -1;
}

void TTabSheet::TextChanged()
{
    TWinControl::TextChanged();
    if (pageControl_)
        pageControl_->UpdateTabText(this);
}

void TTabSheet::SetBorderWidth(int width)
{
    width = std::max(width, 0);
    if (width == borderWidth_)
        return;
    borderWidth_ = width;
    // The client area shrinks or grows inside the same window; its children realign with it.
    if (handle_)
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TTabSheet::Dispatch(TMessage& message)
{
    if (IsReflectedMessage(message.Msg) &&
        ReflectControlMessage(message))
        return;
    if (message.Msg == WM_NCCALCSIZE)
    {
        // Both forms of the message carry the client rectangle first.
        DefaultHandler(message);
        auto* r = reinterpret_cast<RECT*>(message.LParam);
        r->left = std::min(r->left + borderWidth_, r->right);
        r->top = std::min(r->top + borderWidth_, r->bottom);
        r->right = std::max(r->right - borderWidth_, r->left);
        r->bottom = std::max(r->bottom - borderWidth_, r->top);
        return;
    }
    TWinControl::Dispatch(message);
}

void TTabSheet::WMNCPaint(TMessage& message)
{
    DefaultHandler(message);
    if (borderWidth_ <= 0 || !handle_)
        return;
    HDC dc = GetWindowDC(handle_);
    if (!dc)
        return;
    RECT window{};
    GetWindowRect(handle_, &window);
    OffsetRect(&window, -window.left, -window.top);
    RECT client{};
    GetClientRect(handle_, &client);
    ExcludeClipRect(dc, borderWidth_, borderWidth_, client.right + borderWidth_, client.bottom + borderWidth_);
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(dc, &window, brush);
    DeleteObject(brush);
    ReleaseDC(handle_, dc);
}

// ---------------------------------------------------------------------------------------------
// TPageControl

TPageControl::TPageControl(TComponent* owner)
    : TNativeControl(owner), canvas_(new TControlCanvas(this)), tabFont_(new TFont)
{
    width_ = 289;
    height_ = 193;
}

TPageControl::~TPageControl()
{
    // The sheets go with the control's children; they must not call back into a half-gone control.
    for (TTabSheet* page : pages_)
        page->pageControl_ = nullptr;
    pages_.clear();
    activePage_ = nullptr;
    delete canvas_;
    canvas_ = nullptr;
    // The window, which may still use the font, is gone by now (BeforeDestruction).
    delete tabFont_;
    tabFont_ = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const
{
    if (index < 0 || index >= PageCount())
        throw EListError("ページの番号が範囲外です (" + AnsiString(index) + ")");
    return pages_[size_t(index)];
}

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (page && page->pageControl_ != this)
        return;
    ChangeActivePage(page);
}

int TPageControl::ActivePageIndex() const
{
    return activePage_ ? activePage_->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int index)
{
    ChangeActivePage(index >= 0 && index < PageCount() ? pages_[size_t(index)] : nullptr);
}

int TPageControl::TabIndex() const
{
    return activePage_ ? activePage_->TabIndex() : -1;
}

void TPageControl::SetTabIndex(int tabIndex)
{
    if (TTabSheet* page = TabPage(tabIndex))
        ChangeActivePage(page);
}

int TPageControl::TabCount() const
{
    return int(std::count_if(pages_.begin(), pages_.end(), [](TTabSheet* p) { return p->tabVisible_; }));
}

TTabSheet* TPageControl::TabPage(int tabIndex) const
{
    if (tabIndex < 0)
        return nullptr;
    for (TTabSheet* page : pages_)
        if (page->tabVisible_ && tabIndex-- == 0)
            return page;
    return nullptr;
}

AnsiString TPageControl::Tabs(int tabIndex) const
{
    TTabSheet* page = TabPage(tabIndex);
    return page ? page->Caption() : AnsiString();
}

int TPageControl::IndexOfTabAt(int x, int y)
{
    if (!HandleAllocated())
        return -1;
    TCHITTESTINFO hit{{x, y}, 0};
    return int(SendMessageW(handle_, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

TRect TPageControl::TabRect(int tabIndex)
{
    RECT r{};
    if (HandleAllocated() &&
        SendMessageW(Handle(), TCM_GETITEMRECT, WPARAM(tabIndex), reinterpret_cast<LPARAM>(&r)))
        return TRect(r.left, r.top, r.right, r.bottom);
    return TRect();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const
{
    int count = PageCount();
    if (count == 0)
        return nullptr;
    auto it = std::find(pages_.begin(), pages_.end(), current);
    int start = it == pages_.end() ? (goForward ? count - 1 : 0) : int(it - pages_.begin());
    int i = start;
    for (int n = 0; n < count; ++n)
    {
        i = (i + (goForward ? 1 : count - 1)) % count;
        TTabSheet* page = pages_[size_t(i)];
        if (!checkTabVisible || page->tabVisible_)
            return page;
    }
    return nullptr;
}

void TPageControl::SelectNextPage(bool goForward, bool checkTabVisible)
{
    TTabSheet* next = FindNextPage(activePage_, goForward, checkTabVisible);
    if (!next || next == activePage_ || !CanChange())
        return;
    ChangeActivePage(next);
    Change();
}

void TPageControl::ScrollTabs(int delta)
{
    if (!HandleAllocated() || delta == 0)
        return;
    // A tab row that does not fit scrolls through the up-down control the tab control makes.
    HWND spin = FindWindowExW(handle_, nullptr, UPDOWN_CLASSW, nullptr);
    if (!spin)
        return;
    int low = 0, high = 0;
    SendMessageW(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    int pos = int(SendMessageW(spin, UDM_GETPOS32, 0, 0)) + delta;
    pos = std::clamp(pos, std::min(low, high), std::max(low, high));
    SendMessageW(spin, UDM_SETPOS32, 0, pos);
    SendMessageW(handle_, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(spin));
}

void TPageControl::SetOwnerDraw(bool ownerDraw)
{
    if (ownerDraw == ownerDraw_)
        return;
    ownerDraw_ = ownerDraw;
    UpdateStyle();
}

void TPageControl::SetTabPosition(TTabPosition position)
{
    if (position == tabPosition_)
        return;
    tabPosition_ = position;
    UpdateStyle();
}

void TPageControl::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    if (ownerDraw_)
        params.Style |= TCS_OWNERDRAWFIXED;
    if (tabPosition_ == tpBottom)
        params.Style |= TCS_BOTTOM;
}

void TPageControl::UpdateStyle()
{
    if (!HandleAllocated())
        return;
    LONG style = GetWindowLongW(handle_, GWL_STYLE) & ~LONG(TCS_OWNERDRAWFIXED | TCS_BOTTOM);
    if (ownerDraw_)
        style |= TCS_OWNERDRAWFIXED;
    if (tabPosition_ == tpBottom)
        style |= TCS_BOTTOM;
    SetWindowLongW(handle_, GWL_STYLE, style);
    ApplyTabFont();
    LayoutSheets();
    Invalidate();
}

void TPageControl::HandleCreated()
{
    ApplyTabFont();
    UpdateTabs();
}

void TPageControl::CMFontChanged(TMessage&)
{
    ApplyTabFont();
}

void TPageControl::ApplyTabFont()
{
    if (!HandleAllocated())
        return;
    tabFont_->Assign(*Font());
    if (ownerDraw_)
        tabFont_->SetStyle(tabFont_->Style() << fsBold);
    // An owner-drawn caption sits 4 px below the top of the rectangle it is given, which the tab
    // control makes a few pixels shorter than the tab: taller tabs keep its descenders inside.
    SendMessageW(handle_, TCM_SETPADDING, 0, MAKELPARAM(6, ownerDraw_ ? 6 : 3));
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(tabFont_->Handle()), TRUE);
    LayoutSheets();
}

// The tab control repaints only part of the tabs whose state changed; what the old active tab
// drew outside its new rectangle would stay.
void TPageControl::InvalidateTabRow()
{
    if (!HandleAllocated())
        return;
    RECT client{};
    GetClientRect(handle_, &client);
    RECT display = client;
    SendMessageW(handle_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    RECT row = client;
    if (tabPosition_ == tpBottom)
        row.top = std::max(client.top, display.bottom);
    else
        row.bottom = std::min(client.bottom, display.top);
    InvalidateRect(handle_, &row, TRUE);
}

void TPageControl::InsertPage(TTabSheet* page)
{
    pages_.push_back(page);
    page->pageControl_ = this;
    page->SetVisible(false);
    InsertTab(page);
    if (!activePage_)
        ChangeActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page)
{
    auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end())
        return;
    TTabSheet* next = FindNextPage(page, true, true);
    if (next == page)
        next = nullptr;
    int tab = page->TabIndex();
    pages_.erase(it);
    page->pageControl_ = nullptr;
    DeleteTab(tab);
    if (activePage_ == page)
    {
        activePage_ = nullptr;
        page->SetVisible(false);
        ChangeActivePage(next);
    }
}

void TPageControl::MovePage(TTabSheet* page, int index)
{
    auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end())
        return;
    index = std::clamp(index, 0, PageCount() - 1);
    if (int(it - pages_.begin()) == index)
        return;
    int tab = page->TabIndex();
    pages_.erase(it);
    pages_.insert(pages_.begin() + index, page);
    if (tab >= 0)
    {
        DeleteTab(tab);
        InsertTab(page);
    }
}

void TPageControl::ChangeActivePage(TTabSheet* page)
{
    if (page == activePage_)
    {
        SyncSelection();
        return;
    }
    TTabSheet* old = activePage_;
    activePage_ = page;
    if (page)
    {
        LayoutSheets();
        page->SetVisible(true);
    }
    if (old)
    {
        // Keystrokes must not keep going to a hidden page.
        bool hadFocus =
            old->HandleAllocated() && (GetFocus() == old->Handle() || IsChild(old->Handle(), GetFocus()));
        old->SetVisible(false);
        if (hadFocus && CanFocus())
            SetFocus();
    }
    SyncSelection();
    InvalidateTabRow();
}

void TPageControl::UpdateTabs()
{
    if (!HandleAllocated())
        return;
    SendMessageW(handle_, TCM_DELETEALLITEMS, 0, 0);
    int tab = 0;
    for (TTabSheet* page : pages_)
    {
        if (!page->tabVisible_)
            continue;
        std::wstring text = SjisToWide(page->Caption());
        TCITEMW item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = text.data();
        item.lParam = reinterpret_cast<LPARAM>(page);
        SendMessageW(handle_, TCM_INSERTITEMW, WPARAM(tab++), reinterpret_cast<LPARAM>(&item));
    }
    SyncSelection();
    LayoutSheets();
    Invalidate();
}

// Tabs change one at a time: the tab control lays its row out again on every change, so rewriting
// all of them each time grows with the square of the page count.
void TPageControl::InsertTab(TTabSheet* page)
{
    int tab = page->TabIndex();
    if (!HandleAllocated() || tab < 0)
        return;
    std::wstring text = SjisToWide(page->Caption());
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = text.data();
    item.lParam = reinterpret_cast<LPARAM>(page);
    SendMessageW(handle_, TCM_INSERTITEMW, WPARAM(tab), reinterpret_cast<LPARAM>(&item));
    SyncSelection();
    LayoutSheets();
}

void TPageControl::DeleteTab(int tabIndex)
{
    if (!HandleAllocated() || tabIndex < 0)
        return;
    SendMessageW(handle_, TCM_DELETEITEM, WPARAM(tabIndex), 0);
    SyncSelection();
    LayoutSheets();
}

void TPageControl::UpdateTabText(TTabSheet* page)
{
    int tab = page->TabIndex();
    if (!HandleAllocated() || tab < 0)
        return;
    std::wstring text = SjisToWide(page->Caption());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(handle_, TCM_SETITEMW, WPARAM(tab), reinterpret_cast<LPARAM>(&item));
}

void TPageControl::SyncSelection()
{
    if (HandleAllocated())
        SendMessageW(handle_, TCM_SETCURSEL, WPARAM(TabIndex()), 0); // sends no notification
}

void TPageControl::LayoutSheets()
{
    if (!HandleAllocated())
        return;
    RECT r{};
    GetClientRect(handle_, &r);
    SendMessageW(handle_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    // Hidden pages are placed when they become active: switching and adding stay cheap with many.
    if (activePage_)
        activePage_->SetBounds(r.left, r.top, std::max(0, int(r.right - r.left)),
                               std::max(0, int(r.bottom - r.top)));
}

void TPageControl::WMSize(TWMSize& message)
{
    TNativeControl::WMSize(message);
    LayoutSheets();
}

bool TPageControl::CanChange()
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    return allow;
}

void TPageControl::Change()
{
    if (OnChange)
        OnChange(this);
}

void TPageControl::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_NOTIFY: CNNotify(message); return;
    case CN_DRAWITEM: CNDrawItem(message); return;
    case WM_RBUTTONUP:
        // The tab control only notifies its parent of a right click; the context menu comes
        // from here.
        if (HandleAllocated())
        {
            POINT p{short(LOWORD(message.LParam)), short(HIWORD(message.LParam))};
            ClientToScreen(handle_, &p);
            SendMessageW(handle_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(handle_), MAKELPARAM(p.x, p.y));
        }
        message.Result = 0;
        return;
    case WM_CONTEXTMENU: WMContextMenu(message); return;
    case CM_DIALOGCHAR:
        // A tab's access key shows its page, as a click on the tab would.
        message.Result = 0;
        for (TTabSheet* page : pages_)
            if (page->tabVisible_ && IsAccel(unsigned(message.WParam), page->Caption()))
            {
                message.Result = 1;
                if (page != activePage_ && CanChange())
                {
                    ChangeActivePage(page);
                    Change();
                }
                return;
            }
        return;
    default: TNativeControl::Dispatch(message); return;
    }
}

void TPageControl::CNNotify(TMessage& message)
{
    auto* header = reinterpret_cast<NMHDR*>(message.LParam);
    switch (header->code)
    {
    case TCN_SELCHANGING: message.Result = CanChange() ? FALSE : TRUE; break;
    case TCN_SELCHANGE:
    {
        int tab = int(SendMessageW(handle_, TCM_GETCURSEL, 0, 0));
        ChangeActivePage(TabPage(tab));
        Change();
        message.Result = 0;
        break;
    }
    default: message.Result = 0; break;
    }
}

void TPageControl::CNDrawItem(TMessage& message)
{
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
    struct Scope
    {
        TCanvas* canvas;
        ~Scope() { canvas->SetHandle(nullptr); }
    } scope{canvas_};
    canvas_->SetHandle(item->hDC);
    // Each tab starts from the same canvas, whatever the previous one left in it.
    canvas_->SetFont(Font());
    canvas_->Brush()->SetColor(clBtnFace);
    canvas_->Brush()->SetStyle(bsSolid);
    canvas_->Pen()->SetColor(clBlack);
    canvas_->Pen()->SetStyle(psSolid);
    canvas_->Pen()->SetWidth(1);
    canvas_->Pen()->SetMode(pmCopy);
    TRect rect(item->rcItem.left, item->rcItem.top, item->rcItem.right, item->rcItem.bottom);
    DrawTab(int(item->itemID), rect, (item->itemState & ODS_SELECTED) != 0);
    message.Result = TRUE;
}

void TPageControl::DrawTab(int tabIndex, const TRect& rect, bool active)
{
    if (OnDrawTab)
    {
        OnDrawTab(this, tabIndex, rect, active);
        return;
    }
    canvas_->FillRect(rect);
    canvas_->Brush()->SetStyle(bsClear);
    canvas_->TextOut(rect.Left + 4, rect.Top + 3, Tabs(tabIndex));
}

void TPageControl::WMContextMenu(TMessage& message)
{
    TPoint p;
    if (message.LParam == -1)
    {
        // From the keyboard: at the active tab.
        TRect r = TabRect(TabIndex());
        p = TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    }
    else
    {
        POINT screen{short(LOWORD(message.LParam)), short(HIWORD(message.LParam))};
        ScreenToClient(handle_, &screen);
        p = TPoint(screen.x, screen.y);
    }
    bool handled = false;
    if (OnContextPopup)
        OnContextPopup(this, p, handled);
    if (handled)
        message.Result = 0;
    else
        DefaultHandler(message); // on to the parent
}

static TMouseButton ButtonOf(UINT msg)
{
    switch (msg)
    {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return mbRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP: return mbMiddle;
    default: return mbLeft;
    }
}

static TShiftState MouseShift(int keys)
{
    TShiftState shift;
    if (keys & MK_SHIFT)
        shift << ssShift;
    if (keys & MK_CONTROL)
        shift << ssCtrl;
    if (keys & MK_LBUTTON)
        shift << ssLeft;
    if (keys & MK_RBUTTON)
        shift << ssRight;
    if (keys & MK_MBUTTON)
        shift << ssMiddle;
    return shift;
}

void TPageControl::WMLButtonDown(TWMMouse& message)
{
    // The tab control switches pages first; OnMouseDown sees the page that was clicked.
    TNativeControl::WMLButtonDown(message);
    if (!OnMouseDown)
        return;
    mouseDown_ = TPoint(message.XPos, message.YPos);
    inMouseDown_ = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{inMouseDown_};
    OnMouseDown(this, mbLeft, MouseShift(message.Keys), message.XPos, message.YPos);
}

void TPageControl::WMRButtonDown(TWMMouse& message)
{
    TNativeControl::WMRButtonDown(message);
    if (OnMouseDown)
        OnMouseDown(this, ButtonOf(message.Msg), MouseShift(message.Keys), message.XPos, message.YPos);
}

void TPageControl::WMLButtonUp(TWMMouse& message)
{
    if (dragging_)
    {
        dragPos_ = TPoint(message.XPos, message.YPos);
        EndDrag(true);
        message.Result = 0;
    }
    else
    {
        if (dragPending_)
            StopDrag();
        TNativeControl::WMLButtonUp(message);
    }
    if (OnMouseUp)
        OnMouseUp(this, mbLeft, MouseShift(message.Keys), message.XPos, message.YPos);
}

void TPageControl::WMMouseMove(TWMMouse& message)
{
    TPoint p(message.XPos, message.YPos);
    if (dragPending_ && !dragging_ &&
        (std::abs(p.x - dragStart_.x) >= dragThreshold_ || std::abs(p.y - dragStart_.y) >= dragThreshold_))
        dragging_ = true;
    if (dragging_)
    {
        dragPos_ = p;
        bool accept = DragAccepted(p.x, p.y);
        if (Screen)
            ::SetCursor(Screen->Cursors(accept ? crDrag : crNo));
        message.Result = 0;
        return;
    }
    TNativeControl::WMMouseMove(message);
}

void TPageControl::BeginDrag(bool immediate, int threshold)
{
    if (!HandleAllocated())
        return;
    POINT p{mouseDown_.x, mouseDown_.y};
    if (!inMouseDown_)
    {
        GetCursorPos(&p);
        ScreenToClient(handle_, &p);
    }
    dragStart_ = dragPos_ = TPoint(p.x, p.y);
    dragThreshold_ = threshold >= 0 ? threshold : 5;
    dragPending_ = true;
    dragging_ = immediate;
    SetCapture(handle_);
}

void TPageControl::EndDrag(bool drop)
{
    if (!dragPending_)
        return;
    bool wasDragging = dragging_;
    TPoint p = dragPos_;
    StopDrag();
    if (drop && wasDragging && DragAccepted(p.x, p.y) && OnDragDrop)
        OnDragDrop(this, this, p.x, p.y);
}

void TPageControl::StopDrag()
{
    dragPending_ = false;
    dragging_ = false;
    if (HandleAllocated() && GetCapture() == handle_)
        ReleaseCapture();
}

bool TPageControl::DragAccepted(int x, int y)
{
    TRect r = ClientRect();
    if (x < r.Left || x >= r.Right || y < r.Top || y >= r.Bottom)
        return false;
    bool accept = false;
    if (OnDragOver)
        OnDragOver(this, this, x, y, dsDragMove, accept);
    return accept;
}

// ---------------------------------------------------------------------------------------------
// Status bar

void TStatusPanel::SetText(const AnsiString& text)
{
    if (text == text_)
        return;
    text_ = text;
    bar_->UpdatePanelText(Index());
}

void TStatusPanel::SetWidth(int width)
{
    if (width == width_)
        return;
    width_ = width;
    bar_->UpdateParts();
}

void TStatusPanel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    bar_->UpdatePanelText(Index());
}

int TStatusPanel::Index() const
{
    const auto& items = bar_->panels_->items_;
    return int(std::find(items.begin(), items.end(), this) - items.begin());
}

TStatusPanels::~TStatusPanels()
{
    for (TStatusPanel* p : items_)
        delete p;
}

TStatusPanel* TStatusPanels::Add()
{
    items_.push_back(new TStatusPanel(bar_));
    bar_->UpdateParts();
    return items_.back();
}

TStatusPanel* TStatusPanels::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("パネルの番号が範囲外です (" + AnsiString(index) + ")");
    return items_[size_t(index)];
}

void TStatusPanels::Clear()
{
    for (TStatusPanel* p : items_)
        delete p;
    items_.clear();
    bar_->UpdateParts();
}

TStatusBar::TStatusBar(TComponent* owner) : TNativeControl(owner), panels_(new TStatusPanels(this))
{
    height_ = 19;
    width_ = 200;
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar()
{
    delete panels_;
}

void TStatusBar::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    // The layer places the bar (Align); the window must not move itself to the parent's bottom.
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
}

void TStatusBar::HandleCreated()
{
    UpdateParts();
}

void TStatusBar::WMSize(TWMSize& message)
{
    TNativeControl::WMSize(message);
    UpdateParts();
}

void TStatusBar::UpdateParts()
{
    if (!HandleAllocated())
        return;
    std::vector<int> edges;
    int right = 0;
    for (TStatusPanel* p : panels_->items_)
    {
        right += std::max(0, p->width_);
        edges.push_back(right);
    }
    if (!edges.empty())
        edges.back() = -1;
    else
        edges.push_back(-1);
    SendMessageW(handle_, SB_SETPARTS, WPARAM(edges.size()), reinterpret_cast<LPARAM>(edges.data()));
    for (int i = 0; i < panels_->Count(); ++i)
        UpdatePanelText(i);
}

void TStatusBar::UpdatePanelText(int index)
{
    if (!HandleAllocated() || index < 0 || index >= panels_->Count())
        return;
    TStatusPanel* panel = panels_->items_[size_t(index)];
    // A tab in front centres the text, two align it right.
    std::wstring text = panel->alignment_ == taCenter         ? L"\t"
                        : panel->alignment_ == taRightJustify ? L"\t\t"
                                                              : L"";
    text += SjisToWide(panel->text_);
    SendMessageW(handle_, SB_SETTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(text.c_str()));
}

int TStatusBar::TextWidth(const AnsiString& text)
{
    if (!HandleAllocated())
        return 0;
    HDC dc = GetDC(handle_);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageW(handle_, WM_GETFONT, 0, 0)));
    const std::wstring wide = SjisToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), int(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    return size.cx;
}

AnsiString TStatusBar::PanelText(int index)
{
    if (!HandleAllocated())
        return AnsiString();
    LRESULT info = SendMessageW(handle_, SB_GETTEXTLENGTHW, WPARAM(index), 0);
    std::wstring text(size_t(LOWORD(info)) + 1, L'\0');
    SendMessageW(handle_, SB_GETTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    size_t start = text.find_first_not_of(L'\t');
    return WideToSjis(start == std::wstring::npos ? std::wstring() : text.substr(start));
}

// ---------------------------------------------------------------------------------------------
// Tool bar

namespace
{
constexpr int kButtonWidth = 23;
constexpr int kSeparatorWidth = 8;
constexpr int kOneRowHeight = 29;

int NextButtonCommand()
{
    static int next = 100;
    if (++next > 0x7FFF)
        next = 101;
    return next;
}
} // namespace

TToolButton::TToolButton(TComponent* owner) : TControl(owner), command_(NextButtonCommand())
{
    width_ = kButtonWidth;
    height_ = 22;
    SetControlStyle({csCaptureMouse});
}

void TToolButton::BeforeDestruction()
{
    TToolBar* bar = Bar();
    TControl::BeforeDestruction();
    if (bar)
    {
        TControl::SetParent(nullptr);
        bar->RebuildButtons();
    }
}

void TToolButton::SetParent(TWinControl* parent)
{
    TToolBar* old = Bar();
    TControl::SetParent(parent);
    if (old)
        old->RebuildButtons();
    if (TToolBar* bar = Bar())
        bar->RebuildButtons();
}

TToolBar* TToolButton::Bar() const
{
    return dynamic_cast<TToolBar*>(Parent());
}

void TToolButton::SetStyle(TToolButtonStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    // A gap between groups, not a button's width: the bar's room goes to the buttons.
    if ((style == tbsSeparator || style == tbsDivider) && width_ == kButtonWidth)
        width_ = kSeparatorWidth;
    if (TToolBar* bar = Bar())
        bar->RebuildButtons();
}

void TToolButton::SetImageIndex(int index)
{
    if (index == imageIndex_)
        return;
    imageIndex_ = index;
    if (TToolBar* bar = Bar())
        bar->UpdateButton(this);
}

bool TToolButton::Down() const
{
    TToolBar* bar = Bar();
    if (bar && bar->HandleAllocated())
        return (SendMessageW(bar->Handle(), TB_GETSTATE, WPARAM(command_), 0) &
                (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
    return down_;
}

void TToolButton::SetDown(bool down)
{
    down_ = down;
    if (TToolBar* bar = Bar())
        bar->UpdateButton(this);
}

int TToolButton::Index() const
{
    TToolBar* bar = Bar();
    if (!bar)
        return -1;
    for (int i = 0; i < bar->ControlCount(); ++i)
        if (bar->Controls(i) == this)
            return i;
    return -1;
}

void TToolButton::Click()
{
    if (OnClick)
        OnClick(this);
}

void TToolButton::Notification(TComponent* component, TOperation operation)
{
    TControl::Notification(component, operation);
    if (operation == opRemove && component == dropdownMenu_)
        dropdownMenu_ = nullptr;
}

void TToolButton::VisibleChanged()
{
    if (TToolBar* bar = Bar())
        bar->RebuildButtons();
}

void TToolButton::EnabledChanged()
{
    if (TToolBar* bar = Bar())
        bar->UpdateButton(this);
}

void TToolButton::TextChanged()
{
    if (TToolBar* bar = Bar())
        bar->RebuildButtons();
}

TToolBar::TToolBar(TComponent* owner) : TNativeControl(owner)
{
    height_ = kOneRowHeight;
    width_ = 150;
    SetAlign(alTop);
}

int TToolBar::ButtonCount() const { return ControlCountOf<TToolButton>(); }

TToolButton* TToolBar::Buttons(int index) const
{
    if (TToolButton* b = index >= 0 ? ControlOf<TToolButton>(index) : nullptr)
        return b;
    throw EListError("ボタンの番号が範囲外です (" + AnsiString(index) + ")");
}

void TToolBar::SetShowCaptions(bool show)
{
    if (show == showCaptions_)
        return;
    showCaptions_ = show;
    RebuildButtons();
}

void TToolBar::SetImages(HIMAGELIST images)
{
    images_ = images;
    if (HandleAllocated())
    {
        SendMessageW(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
        RebuildButtons();
    }
}

void TToolBar::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | TBSTYLE_FLAT | TBSTYLE_LIST;
    if (transparent_)
        params.Style |= TBSTYLE_TRANSPARENT;
}

void TToolBar::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    if (!HandleAllocated())
        return;
    LONG style = GetWindowLongW(handle_, GWL_STYLE);
    SetWindowLongW(handle_, GWL_STYLE, transparent ? style | TBSTYLE_TRANSPARENT : style & ~TBSTYLE_TRANSPARENT);
    InvalidateRect(handle_, nullptr, TRUE);
}

void TToolBar::HandleCreated()
{
    pressed_ = 0;
    SendMessageW(handle_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(handle_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
    SendMessageW(handle_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    RebuildButtons();
}

static BYTE ButtonState(TToolButton* b)
{
    BYTE state = 0;
    if (b->Enabled())
        state |= TBSTATE_ENABLED;
    if (!b->Visible())
        state |= TBSTATE_HIDDEN;
    return state;
}

// What the window shows of an item: a button's own state, or the slot of a windowed control (a
// blank that never takes a click), with what the rows add.
BYTE TToolBar::ItemState(int index) const
{
    TControl* c = Controls(index);
    BYTE state = 0;
    if (auto* b = dynamic_cast<TToolButton*>(c))
    {
        state = ButtonState(b);
        if (b->style_ == tbsCheck && b->down_)
            state |= TBSTATE_CHECKED;
    }
    else if (!c->Visible())
        state = TBSTATE_HIDDEN;
    if (size_t(index) < rowStates_.size())
        state |= rowStates_[size_t(index)];
    return state;
}

bool TToolBar::IsSeparator(int index) const
{
    auto* b = dynamic_cast<TToolButton*>(Controls(index));
    return b && (b->style_ == tbsSeparator || b->style_ == tbsDivider);
}

void TToolBar::RebuildButtons()
{
    if (!HandleAllocated() || rebuilding_)
        return;
    rebuilding_ = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{rebuilding_};
    while (SendMessageW(handle_, TB_BUTTONCOUNT, 0, 0) > 0)
        SendMessageW(handle_, TB_DELETEBUTTON, 0, 0);
    rowStates_.assign(size_t(ControlCount()), 0);
    std::vector<std::wstring> texts;
    texts.reserve(size_t(ControlCount()));
    for (int i = 0; i < ControlCount(); ++i)
    {
        TControl* c = Controls(i);
        TBBUTTON button{};
        button.fsState = ItemState(i);
        if (auto* b = dynamic_cast<TToolButton*>(c))
        {
            button.idCommand = b->command_;
            switch (b->style_)
            {
            case tbsSeparator:
            case tbsDivider:
                button.fsStyle = BTNS_SEP;
                button.iBitmap = b->width_ > 0 ? b->width_ : kSeparatorWidth;
                break;
            case tbsCheck: button.fsStyle = BTNS_CHECK | BTNS_AUTOSIZE; break;
            case tbsDropDown: button.fsStyle = BTNS_DROPDOWN | BTNS_AUTOSIZE; break;
            default: button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE; break;
            }
            if (button.fsStyle != BTNS_SEP)
            {
                button.iBitmap = images_ && b->imageIndex_ >= 0 ? b->imageIndex_ : I_IMAGENONE;
                if (showCaptions_ || !images_)
                {
                    button.fsStyle |= BTNS_SHOWTEXT;
                    texts.push_back(SjisToWide(b->text_));
                    button.iString = reinterpret_cast<INT_PTR>(texts.back().c_str());
                }
            }
        }
        else
        {
            // Not a separator: a row that ends with a separator is followed by a gap.
            button.fsStyle = BTNS_BUTTON;
            button.iBitmap = I_IMAGENONE;
        }
        SendMessageW(handle_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
        if (!dynamic_cast<TToolButton*>(c))
        {
            TBBUTTONINFOW info{};
            info.cbSize = sizeof info;
            info.dwMask = TBIF_BYINDEX | TBIF_SIZE;
            info.cx = WORD(std::max(c->Width(), 0));
            SendMessageW(handle_, TB_SETBUTTONINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&info));
        }
    }
    SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
    // Rows as high as the tallest control on the bar, so that a wrapped row does not overlap it.
    int controlHeight = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (!dynamic_cast<TToolButton*>(Controls(i)) && Controls(i)->Visible())
            controlHeight = std::max(controlHeight, Controls(i)->Height());
    const LRESULT size = SendMessageW(handle_, TB_GETBUTTONSIZE, 0, 0);
    if (controlHeight > HIWORD(size))
    {
        SendMessageW(handle_, TB_SETBUTTONSIZE, 0, MAKELPARAM(LOWORD(size), controlHeight));
        SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
    }
    // Each item's width on one row; the rows are made from them.
    widths_.assign(size_t(ControlCount()), 0);
    for (int i = 0; i < ControlCount(); ++i)
    {
        RECT r{};
        if (SendMessageW(handle_, TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)))
            widths_[size_t(i)] = std::max(0, int(r.right - r.left));
    }
    WrapItems();
    PlaceControls();
    Invalidate();
}

void TToolBar::WrapItems()
{
    if (!HandleAllocated() || widths_.size() != size_t(ControlCount()))
        return;
    const int n = ControlCount();
    const int room = ClientWidth();
    std::vector<BYTE> states(size_t(n), 0);
    int x = 0;
    int lastOnRow = -1; // the row's last item that is not a separator
    for (int i = 0; i < n && room > 0; ++i)
    {
        const int w = widths_[size_t(i)];
        if (w == 0)
            continue;
        if (x + w > room && lastOnRow >= 0)
        {
            states[size_t(lastOnRow)] |= TBSTATE_WRAP;
            for (int j = lastOnRow + 1; j < i; ++j)
                if (IsSeparator(j))
                    states[size_t(j)] |= TBSTATE_HIDDEN;
            x = 0;
            lastOnRow = -1;
        }
        // A row starts with a button, not with a gap.
        if (IsSeparator(i) && lastOnRow < 0)
        {
            states[size_t(i)] |= TBSTATE_HIDDEN;
            continue;
        }
        x += w;
        if (!IsSeparator(i))
            lastOnRow = i;
    }
    if (states != rowStates_)
    {
        rowStates_ = states;
        for (int i = 0; i < n; ++i)
        {
            TBBUTTONINFOW info{};
            info.cbSize = sizeof info;
            info.dwMask = TBIF_BYINDEX | TBIF_STATE;
            info.fsState = ItemState(i);
            SendMessageW(handle_, TB_SETBUTTONINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&info));
        }
        SendMessageW(handle_, TB_AUTOSIZE, 0, 0);
        PlaceControls();
        Invalidate();
    }
    // The first row keeps the bar's usual height; each further row adds its own.
    int rowHeight = 0, bottom = 0;
    for (int i = 0; i < n; ++i)
    {
        RECT r{};
        if (SendMessageW(handle_, TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)) && r.bottom > r.top)
        {
            if (!rowHeight)
                rowHeight = r.bottom - r.top;
            bottom = std::max(bottom, int(r.bottom));
        }
    }
    const int height = rowHeight ? std::max(kOneRowHeight, bottom + kOneRowHeight - rowHeight) : kOneRowHeight;
    if (height != height_)
        SetHeight(height);
}

void TToolBar::Resize()
{
    WrapItems();
    TNativeControl::Resize();
}

void TToolBar::UpdateButton(TToolButton* button)
{
    const int index = button->Index();
    if (!HandleAllocated() || index < 0)
        return;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_STATE;
    info.fsState = ItemState(index);
    // A separator's image is its width.
    if (!IsSeparator(index))
    {
        info.dwMask |= TBIF_IMAGE;
        info.iImage = images_ && button->imageIndex_ >= 0 ? button->imageIndex_ : I_IMAGENONE;
    }
    SendMessageW(handle_, TB_SETBUTTONINFOW, WPARAM(index), reinterpret_cast<LPARAM>(&info));
}

void TToolBar::PlaceControls()
{
    for (int i = 0; i < ControlCount(); ++i)
    {
        auto* c = dynamic_cast<TWinControl*>(Controls(i));
        if (!c)
            continue;
        RECT r{};
        if (SendMessageW(handle_, TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r)))
        {
            int top = r.top + std::max(0, int(r.bottom - r.top) - c->Height()) / 2;
            c->SetBounds(r.left, top, c->Width(), c->Height());
        }
    }
}

TRect TToolBar::ButtonRect(TToolButton* button)
{
    int index = button ? button->Index() : -1;
    RECT r{};
    if (index < 0 || !HandleAllocated() ||
        !SendMessageW(handle_, TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)))
        return TRect();
    MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return TRect(r.left, r.top, r.right, r.bottom);
}

TToolButton* TToolBar::FindButton(int command) const
{
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* b = dynamic_cast<TToolButton*>(Controls(i)); b && b->command_ == command)
            return b;
    return nullptr;
}

int TToolBar::ButtonAt(LPARAM point) const
{
    POINT at{short(LOWORD(point)), short(HIWORD(point))};
    const int index = int(SendMessageW(handle_, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&at)));
    if (index < 0 || index >= ControlCount() || IsSeparator(index))
        return 0;
    auto* b = dynamic_cast<TToolButton*>(Controls(index));
    return b ? b->command_ : 0;
}

// The system's tool bar captures the mouse for every press, so a button that must not capture is
// pressed by the bar itself. A drop-down button's arrow is the system's to handle.
bool TToolBar::PressWithoutCapture(const TMessage& message)
{
    TToolButton* b = FindButton(ButtonAt(message.LParam));
    if (!b || b->ControlStyle().Contains(csCaptureMouse) || b->style_ == tbsDropDown || !b->Enabled())
        return false;
    pressed_ = b->command_;
    SendMessageW(handle_, TB_PRESSBUTTON, WPARAM(pressed_), TRUE);
    return true;
}

// The press clicks when the button is released over the button it went down on, as the system's
// press does; a check button changes its state first.
void TToolBar::ReleasePress(const TMessage& message)
{
    const int command = pressed_;
    DropPress();
    TToolButton* b = FindButton(command);
    if (!b || ButtonAt(message.LParam) != command || !b->Enabled())
        return;
    if (b->style_ == tbsCheck)
        SendMessageW(handle_, TB_CHECKBUTTON, WPARAM(command),
                     (SendMessageW(handle_, TB_GETSTATE, WPARAM(command), 0) & TBSTATE_CHECKED) ? FALSE : TRUE);
    SendMessageW(GetParent(handle_), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(handle_));
}

void TToolBar::DropPress()
{
    if (pressed_ && handle_)
        SendMessageW(handle_, TB_PRESSBUTTON, WPARAM(pressed_), FALSE);
    pressed_ = 0;
}

void TToolBar::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (PressWithoutCapture(message))
        {
            message.Result = 0;
            return;
        }
        break;
    case WM_LBUTTONUP:
        if (pressed_)
        {
            ReleasePress(message);
            message.Result = 0;
            return;
        }
        break;
    case WM_MOUSEMOVE:
        TNativeControl::Dispatch(message);
        // Pressed while over the button it went down on, as a captured press looks.
        if (pressed_)
            SendMessageW(handle_, TB_PRESSBUTTON, WPARAM(pressed_), ButtonAt(message.LParam) == pressed_);
        return;
    case WM_MOUSELEAVE:
    case WM_CANCELMODE: DropPress(); break;
    default: break;
    }
    switch (message.Msg)
    {
    case CN_COMMAND:
        if (TToolButton* b = FindButton(LOWORD(message.WParam)))
        {
            if (b->style_ == tbsCheck)
                b->down_ =
                    (SendMessageW(handle_, TB_GETSTATE, WPARAM(b->command_), 0) & TBSTATE_CHECKED) != 0;
            b->Click();
        }
        message.Result = 0;
        return;
    case CN_NOTIFY: CNNotify(message); return;
    default: TNativeControl::Dispatch(message); return;
    }
}

void TToolBar::CNNotify(TMessage& message)
{
    auto* header = reinterpret_cast<NMHDR*>(message.LParam);
    message.Result = 0;
    if (header->code != TBN_DROPDOWN)
        return;
    auto* notify = reinterpret_cast<NMTOOLBARW*>(message.LParam);
    TToolButton* b = FindButton(notify->iItem);
    if (!b || !b->dropdownMenu_)
        return;
    TRect r = ButtonRect(b);
    b->dropdownMenu_->Popup(r.Left, r.Bottom);
    message.Result = TBDDRET_DEFAULT;
}

// ---------------------------------------------------------------------------------------------
// TTreeView

TTreeView::TTreeView(TComponent* owner) : TNativeControl(owner)
{
    width_ = 200;
    height_ = 200;
    SetTabStop(true);
}

TTreeView::~TTreeView()
{
    for (TTreeNode* node : all_)
        delete node;
}

void TTreeView::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | WS_TABSTOP | WS_BORDER;
    if (!hideSelection_)
        params.Style |= TVS_SHOWSELALWAYS;
}

void TTreeView::InsertIntoWindow(TTreeNode* node)
{
    const std::wstring text = SjisToWide(node->text_);
    TVINSERTSTRUCTW insert{};
    insert.hParent = node->parent_ ? node->parent_->item_ : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    node->item_ = reinterpret_cast<HTREEITEM>(SendMessageW(handle_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void TTreeView::HandleCreated()
{
    ++quiet_;
    for (TTreeNode* node : Nodes())
        InsertIntoWindow(node);
    if (selected_ && selected_->item_)
        SendMessageW(handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected_->item_));
    --quiet_;
}

void TTreeView::WMDestroy(TWMDestroy& message)
{
    for (TTreeNode* node : all_)
        node->item_ = nullptr;
    TNativeControl::WMDestroy(message);
}

TTreeNode* TTreeView::AddChild(TTreeNode* parent, const AnsiString& text, void* data)
{
    auto* node = new TTreeNode;
    node->text_ = text;
    node->data_ = data;
    node->parent_ = parent;
    all_.push_back(node);
    (parent ? parent->children_ : roots_).push_back(node);
    if (HandleAllocated() && (!parent || parent->item_))
    {
        ++quiet_;
        InsertIntoWindow(node);
        --quiet_;
    }
    return node;
}

void TTreeView::Collect(TTreeNode* node, std::vector<TTreeNode*>& out) const
{
    out.push_back(node);
    for (TTreeNode* child : node->children_)
        Collect(child, out);
}

std::vector<TTreeNode*> TTreeView::Nodes() const
{
    std::vector<TTreeNode*> out;
    for (TTreeNode* root : roots_)
        Collect(root, out);
    return out;
}

void TTreeView::Clear()
{
    const std::vector<TTreeNode*> nodes = Nodes();
    selected_ = nullptr;
    if (HandleAllocated())
    {
        ++quiet_;
        SendMessageW(handle_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        --quiet_;
    }
    for (TTreeNode* node : nodes)
        if (OnDeletion)
            OnDeletion(this, node);
    roots_.clear();
    all_.clear();
    for (TTreeNode* node : nodes)
        delete node;
}

void TTreeView::SetSelected(TTreeNode* node)
{
    if (node == selected_)
        return;
    selected_ = node;
    if (HandleAllocated())
    {
        ++quiet_;
        SendMessageW(handle_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? node->item_ : nullptr));
        --quiet_;
    }
    if (OnChange)
        OnChange(this, node);
}

void TTreeView::Dispatch(TMessage& message)
{
    if (message.Msg == CN_NOTIFY)
    {
        auto* header = reinterpret_cast<NMHDR*>(message.LParam);
        if (header->code == TVN_SELCHANGEDW && quiet_ == 0)
        {
            auto* info = reinterpret_cast<NMTREEVIEWW*>(message.LParam);
            TTreeNode* node = reinterpret_cast<TTreeNode*>(info->itemNew.lParam);
            if (node != selected_)
            {
                selected_ = node;
                if (OnChange)
                    OnChange(this, node);
            }
        }
        message.Result = 0;
        return;
    }
    TNativeControl::Dispatch(message);
}
