#include "Buttons.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// Progress bar

TProgressBar::TProgressBar(TComponent* owner) : TStdControl(owner)
{
    width_ = 150;
    height_ = 16;
}

void TProgressBar::HandleCreated()
{
    SendMessageW(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
    SendMessageW(handle_, PBM_SETPOS, WPARAM(position_), 0);
}

void TProgressBar::SetRange(int min, int max)
{
    min_ = std::min(min, max);
    max_ = std::max(min, max);
    if (HandleAllocated())
        SendMessageW(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
    SetPosition(position_);
}

void TProgressBar::SetPosition(int value)
{
    position_ = std::clamp(value, min_, max_);
    if (HandleAllocated())
        SendMessageW(handle_, PBM_SETPOS, WPARAM(position_), 0);
}

// ---------------------------------------------------------------------------------------------
// Speed button

TSpeedButton::TSpeedButton(TComponent* owner) : TButton(owner)
{
    SetTabStop(false);
}

void TSpeedButton::CreateParams(TCreateParams& params)
{
    TButton::CreateParams(params);
    params.Style &= ~DWORD(WS_TABSTOP);
}

void TSpeedButton::WMSetFocus(TWMSetFocus& message)
{
    // A click would focus the button: hand the focus straight back.
    if (message.FocusedWnd && IsWindow(message.FocusedWnd))
        ::SetFocus(message.FocusedWnd);
    else
        DefaultHandler(message);
}

// ---------------------------------------------------------------------------------------------
// Scroll box

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner)
{
    width_ = 185;
    height_ = 41;
    color_ = clBtnFace;
}

void TScrollBox::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.Style |= WS_HSCROLL | WS_VSCROLL | WS_CLIPCHILDREN;
}

int TScrollBox::ContentWidth() const
{
    int w = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (Controls(i)->Visible())
            w = std::max(w, Controls(i)->Left() + Controls(i)->Width() + hpos_);
    return w;
}

int TScrollBox::ContentHeight() const
{
    int h = 0;
    for (int i = 0; i < ControlCount(); ++i)
        if (Controls(i)->Visible())
            h = std::max(h, Controls(i)->Top() + Controls(i)->Height() + vpos_);
    return h;
}

int TScrollBox::HorzRange()
{
    return std::max(0, ContentWidth() - ClientWidth());
}

int TScrollBox::VertRange()
{
    return std::max(0, ContentHeight() - ClientHeight());
}

void TScrollBox::UpdateScrollBars()
{
    if (!HandleAllocated() || updating_)
        return;
    updating_ = true;
    // Showing one bar narrows the client area, which may call for the other: settle in a few rounds.
    for (int round = 0; round < 3; ++round)
    {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMax = std::max(0, ContentWidth() - 1);
        si.nPage = UINT(std::max(0, ClientWidth()));
        si.nPos = hpos_;
        SetScrollInfo(handle_, SB_HORZ, &si, TRUE);
        si.nMax = std::max(0, ContentHeight() - 1);
        si.nPage = UINT(std::max(0, ClientHeight()));
        si.nPos = vpos_;
        SetScrollInfo(handle_, SB_VERT, &si, TRUE);
    }
    updating_ = false;
    ScrollTo(hpos_, vpos_);
}

void TScrollBox::ScrollTo(int h, int v)
{
    h = std::clamp(h, 0, HorzRange());
    v = std::clamp(v, 0, VertRange());
    const int dx = h - hpos_, dy = v - vpos_;
    if (dx == 0 && dy == 0)
        return;
    hpos_ = h;
    vpos_ = v;
    for (int i = 0; i < ControlCount(); ++i)
    {
        TControl* c = Controls(i);
        c->SetBounds(c->Left() - dx, c->Top() - dy, c->Width(), c->Height());
    }
    if (HandleAllocated())
    {
        SetScrollPos(handle_, SB_HORZ, hpos_, TRUE);
        SetScrollPos(handle_, SB_VERT, vpos_, TRUE);
        InvalidateRect(handle_, nullptr, TRUE);
    }
}

void TScrollBox::SetHorzPosition(int pos)
{
    ScrollTo(pos, vpos_);
}

void TScrollBox::SetVertPosition(int pos)
{
    ScrollTo(hpos_, pos);
}

void TScrollBox::WMSize(TWMSize& message)
{
    TWinControl::WMSize(message);
    UpdateScrollBars();
}

namespace
{
int NewScrollPos(HWND wnd, int bar, int code, int page)
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(wnd, bar, &si);
    switch (code)
    {
    case SB_LINEUP: return si.nPos - 16;
    case SB_LINEDOWN: return si.nPos + 16;
    case SB_PAGEUP: return si.nPos - page;
    case SB_PAGEDOWN: return si.nPos + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return si.nTrackPos;
    case SB_TOP: return 0;
    case SB_BOTTOM: return si.nMax;
    default: return si.nPos;
    }
}
} // namespace

void TScrollBox::WMHScroll(TWMScroll& message)
{
    ScrollTo(NewScrollPos(handle_, SB_HORZ, message.ScrollCode, ClientWidth()), vpos_);
}

void TScrollBox::WMVScroll(TWMScroll& message)
{
    ScrollTo(hpos_, NewScrollPos(handle_, SB_VERT, message.ScrollCode, ClientHeight()));
}

void TScrollBox::WMMouseWheel(TWMMouseWheel& message)
{
    ScrollTo(hpos_, vpos_ - message.WheelDelta);
}

// ---------------------------------------------------------------------------------------------
// Radio group

TRadioGroup::TRadioGroup(TComponent* owner) : TGroupBox(owner), items_(new TStringList)
{
    items_->OnChange = TNotifyEvent(this, &TRadioGroup::ItemsChanged);
}

TRadioGroup::~TRadioGroup()
{
    delete items_;
}

void TRadioGroup::ItemsChanged(TObject*)
{
    for (TRadioButton* b : buttons_)
        delete b;
    buttons_.clear();
    const int n = items_->GetCount();
    const int step = n > 0 ? std::max(18, (Height() - 22) / n) : 18;
    for (int i = 0; i < n; ++i)
    {
        auto* b = Create<TRadioButton>(this);
        b->SetCaption(items_->Get(i));
        b->SetBounds(8, 18 + i * step, std::max(16, Width() - 16), 18);
        b->SetChecked(i == itemIndex_);
        b->OnClick = TNotifyEvent(this, &TRadioGroup::ButtonClick);
        b->SetParent(this);
        buttons_.push_back(b);
    }
    if (itemIndex_ >= n)
        itemIndex_ = -1;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1 || index >= int(buttons_.size()))
        index = -1;
    if (index == itemIndex_)
        return;
    itemIndex_ = index;
    setting_ = true;
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->SetChecked(int(i) == index);
    setting_ = false;
    if (OnClick)
        OnClick(this);
}

void TRadioGroup::ButtonClick(TObject* sender)
{
    if (setting_)
        return;
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (buttons_[i] == sender && buttons_[i]->Checked())
            SetItemIndex(int(i));
}
