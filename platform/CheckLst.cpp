#include "CheckLst.h"

#include "Classes.h"
#include "SysUtils.h"

SIZE CheckBoxSize()
{
    static const SIZE size = [] {
        SIZE s{13, 13};
        constexpr int checkBoxesBitmap = 32759; // the system's four by three check box pictures
        if (HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(checkBoxesBitmap)))
        {
            BITMAP bm{};
            if (GetObjectW(bitmap, sizeof bm, &bm))
                s = SIZE{bm.bmWidth / 4, bm.bmHeight / 3};
            DeleteObject(bitmap);
        }
        return s;
    }();
    return size;
}

TCheckListBox::TCheckListBox(TComponent* owner) : TListBox(owner) {}

void TCheckListBox::CreateParams(TCreateParams& params)
{
    TListBox::CreateParams(params);
    params.Style |= LBS_OWNERDRAWFIXED;
}

int TCheckListBox::CheckWidth() const
{
    return CheckBoxSize().cx + 2;
}

TCheckListBox::TItemState& TCheckListBox::At(int index)
{
    if (index < 0 || index >= Count())
        throw EListError(Format(SListIndexError, {index}));
    if (states_.size() < size_t(Count()))
        states_.resize(size_t(Count()));
    return states_[size_t(index)];
}

const TCheckListBox::TItemState* TCheckListBox::Find(int index) const
{
    if (index < 0 || size_t(index) >= states_.size())
        return nullptr;
    return &states_[size_t(index)];
}

TCheckBoxState TCheckListBox::State(int index) const
{
    const TItemState* s = Find(index);
    return s ? s->state : cbUnchecked;
}

void TCheckListBox::SetState(int index, TCheckBoxState state)
{
    At(index).state = state;
    Repaint(index);
}

bool TCheckListBox::ItemEnabled(int index) const
{
    const TItemState* s = Find(index);
    return !s || s->enabled;
}

void TCheckListBox::SetItemEnabled(int index, bool enabled)
{
    At(index).enabled = enabled;
    Repaint(index);
}

bool TCheckListBox::Header(int index) const
{
    const TItemState* s = Find(index);
    return s && s->header;
}

void TCheckListBox::SetHeader(int index, bool header)
{
    At(index).header = header;
    Repaint(index);
}

void TCheckListBox::SetHeaderColor(TColor color)
{
    headerColor_ = color;
    Invalidate();
}

void TCheckListBox::SetHeaderBackgroundColor(TColor color)
{
    headerBackgroundColor_ = color;
    Invalidate();
}

void TCheckListBox::Repaint(int index)
{
    if (!HandleAllocated())
        return;
    TRect r = ItemRect(index);
    RECT rect{r.Left, r.Top, r.Right, r.Bottom};
    InvalidateRect(handle_, &rect, FALSE);
}

void TCheckListBox::ItemsMoved(int index, int delta)
{
    if (delta == 0)
        states_.clear();
    else if (delta > 0 && size_t(index) <= states_.size())
        states_.insert(states_.begin() + index, TItemState{});
    else if (delta < 0 && size_t(index) < states_.size())
        states_.erase(states_.begin() + index);
}

void TCheckListBox::Toggle(int index)
{
    if (index < 0 || index >= Count() || Header(index) || !ItemEnabled(index))
        return;
    SetState(index, State(index) == cbChecked ? cbUnchecked : cbChecked);
    if (OnClickCheck)
        OnClickCheck(this);
}

void TCheckListBox::Dispatch(TMessage& message)
{
    if (message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK)
    {
        const int x = short(LOWORD(message.LParam));
        const int index = ItemAtPos(TPoint(x, short(HIWORD(message.LParam))), true);
        if (index >= 0 && x < CheckWidth())
            Toggle(index);
    }
    TListBox::Dispatch(message);
}

void TCheckListBox::KeyChar(TMessage& message)
{
    if (message.WParam == L' ')
    {
        Toggle(ItemIndex());
        message.Result = 0;
        return;
    }
    TListBox::KeyChar(message);
}

void TCheckListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state)
{
    TCanvas* canvas = Canvas();
    HDC dc = canvas->Handle();
    TRect text = rect;
    if (Header(index))
    {
        canvas->Brush()->SetColor(headerBackgroundColor_);
        canvas->Font()->SetColor(headerColor_);
    }
    else
    {
        // The check stands on the list's own colour, outside the selection.
        RECT area{rect.Left, rect.Top, rect.Left + CheckWidth(), rect.Bottom};
        HBRUSH back = CreateSolidBrush(ColorToRGB(Color()));
        FillRect(dc, &area, back);
        DeleteObject(back);
        const SIZE box = CheckBoxSize();
        RECT square{area.left + (CheckWidth() - box.cx) / 2, area.top + (rect.Height() - box.cy) / 2, 0, 0};
        square.right = square.left + box.cx;
        square.bottom = square.top + box.cy;
        UINT look = DFCS_BUTTONCHECK;
        if (State(index) == cbChecked)
            look |= DFCS_CHECKED;
        else if (State(index) == cbGrayed)
            look = DFCS_BUTTON3STATE | DFCS_CHECKED;
        if (!ItemEnabled(index) || !Enabled())
            look |= DFCS_INACTIVE;
        DrawFrameControl(dc, &square, DFC_BUTTON, look);
        text.Left += CheckWidth();
    }
    if (!ItemEnabled(index) || !Enabled())
        canvas->Font()->SetColor(clGrayText);
    TListBox::DrawItem(index, text, state);
}
