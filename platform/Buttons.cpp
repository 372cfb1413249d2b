#include "Buttons.h"

#include <algorithm>
#include <string>

#include "Cp932.h"

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
// Glyph buttons

void CalcButtonLayout(const TButtonPlacement& in, int width, int height, POINT& glyphPos, POINT& captionPos)
{
    TButtonLayout layout = in.layout;
    if (in.rightToLeft && layout == blGlyphLeft)
        layout = blGlyphRight;
    else if (in.rightToLeft && layout == blGlyphRight)
        layout = blGlyphLeft;
    const int gw = in.glyph.cx, gh = in.glyph.cy, tw = in.caption.cx, th = in.caption.cy;
    const bool across = layout == blGlyphLeft || layout == blGlyphRight;
    glyphPos = {};
    captionPos = {};
    if (across)
    {
        glyphPos.y = (height - gh + 1) / 2;
        captionPos.y = (height - th + 1) / 2;
    }
    else
    {
        glyphPos.x = (width - gw + 1) / 2;
        captionPos.x = (width - tw + 1) / 2;
    }
    int margin = in.margin;
    int spacing = in.spacing;
    if ((tw == 0 && th == 0) || (gw == 0 && gh == 0))
        spacing = 0;
    const int extent = across ? width : height;
    const int g = across ? gw : gh;
    const int c = across ? tw : th;
    if (margin == -1 && spacing == -1)
        margin = spacing = (extent - (g + c)) / 3;
    else if (margin == -1)
        margin = (extent - (g + spacing + c) + 1) / 2;
    else if (spacing == -1)
        spacing = (extent - (margin + g) - c) / 2;
    switch (layout)
    {
    case blGlyphLeft:
        glyphPos.x = margin;
        captionPos.x = glyphPos.x + gw + spacing;
        break;
    case blGlyphRight:
        glyphPos.x = width - margin - gw;
        captionPos.x = glyphPos.x - spacing - tw;
        break;
    case blGlyphTop:
        glyphPos.y = margin;
        captionPos.y = glyphPos.y + gh + spacing;
        break;
    case blGlyphBottom:
        glyphPos.y = height - margin - gh;
        captionPos.y = glyphPos.y - spacing - th;
        break;
    }
}

// Disabled, the image's shape in the highlight colour one pixel down and right under the same shape
// in the shadow colour.
void DrawGlyph(HDC dc, TBitmap* glyph, const TRect& source, int x, int y, bool enabled)
{
    const int w = source.Width(), h = source.Height(), sx = source.Left, sy = source.Top;
    if (glyph->Empty() || w <= 0 || h <= 0)
        return;
    HDC src = glyph->Canvas()->Handle();
    HDC maskDC = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    if (!maskDC || !mask)
    {
        if (mask)
            DeleteObject(mask);
        if (maskDC)
            DeleteDC(maskDC);
        return;
    }
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    // A monochrome copy is white where the source has its background colour.
    const COLORREF oldSrcBk = SetBkColor(src, GetPixel(src, sx, sy + h - 1));
    BitBlt(maskDC, 0, 0, w, h, src, sx, sy, SRCCOPY);
    SetBkColor(src, oldSrcBk);
    // Monochrome onto colour: white keeps, black clears.
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    if (enabled)
    {
        BitBlt(dc, x, y, w, h, src, sx, sy, SRCINVERT);
        BitBlt(dc, x, y, w, h, maskDC, 0, 0, SRCAND);
        BitBlt(dc, x, y, w, h, src, sx, sy, SRCINVERT);
    }
    else
    {
        const DWORD brushWhereMaskIsBlack = 0x00B8074A; // ((D ^ P) & S) ^ P
        const struct
        {
            int offset, colour;
        } layers[] = {{1, COLOR_BTNHIGHLIGHT}, {0, COLOR_BTNSHADOW}};
        for (const auto& l : layers)
        {
            HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(l.colour));
            BitBlt(dc, x + l.offset, y + l.offset, w, h, maskDC, 0, 0, brushWhereMaskIsBlack);
            SelectObject(dc, oldBrush);
        }
    }
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    SelectObject(maskDC, oldMask);
    DeleteObject(mask);
    DeleteDC(maskDC);
}

TGlyphButton::TGlyphButton(TComponent* owner) : TButton(owner), glyph_(new TBitmap) {}

TGlyphButton::~TGlyphButton()
{
    delete glyph_;
}

void TGlyphButton::CreateParams(TCreateParams& params)
{
    TButton::CreateParams(params);
    params.Style = (params.Style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TGlyphButton::SetNumGlyphs(int count)
{
    count = std::clamp(count, 1, 4);
    if (count == numGlyphs_)
        return;
    numGlyphs_ = count;
    Invalidate();
}

TRect TGlyphButton::GlyphImage(int index) const
{
    if (glyph_->Empty())
        return TRect(0, 0, 0, 0);
    const int w = glyph_->Width() / numGlyphs_;
    return TRect(index * w, 0, index * w + w, glyph_->Height());
}

void TGlyphButton::SetLayout(TButtonLayout layout)
{
    if (layout == layout_)
        return;
    layout_ = layout;
    Invalidate();
}

void TGlyphButton::SetMargin(int margin)
{
    margin = std::max(-1, margin);
    if (margin == margin_)
        return;
    margin_ = margin;
    Invalidate();
}

void TGlyphButton::SetSpacing(int spacing)
{
    spacing = std::max(-1, spacing);
    if (spacing == spacing_)
        return;
    spacing_ = spacing;
    Invalidate();
}

TButtonPlacement TGlyphButton::Placement(SIZE glyph, SIZE caption) const
{
    TButtonPlacement p;
    p.layout = layout_;
    p.margin = margin_;
    p.spacing = spacing_;
    p.rightToLeft = HandleAllocated() && (GetWindowLongW(handle_, GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
    p.glyph = glyph;
    p.caption = caption;
    return p;
}

int TGlyphButton::ImageIndex(bool enabled, bool pushed) const
{
    if (!enabled && numGlyphs_ > 1)
        return 1;
    if (enabled && pushed && numGlyphs_ >= 3)
        return 2;
    return 0;
}

bool TGlyphButton::DrawFrame(HDC dc, RECT& r, bool pushed)
{
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    return true;
}

void TGlyphButton::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_DRAWITEM:
        DrawFace(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
        message.Result = TRUE;
        return;
    case BM_SETSTYLE:
        // Becoming the default button must not turn the face back to the system's.
        message.WParam = (message.WParam & ~WPARAM(BS_TYPEMASK)) | BS_OWNERDRAW;
        break;
    case WM_LBUTTONDBLCLK:
        // The system reports a second quick click on a drawn button as a double click, not a
        // click: it is a press like the first.
        message.Msg = WM_LBUTTONDOWN;
        break;
    default: break;
    }
    TButton::Dispatch(message);
}

void TGlyphButton::DrawFace(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pushed = ShowsPushed(item);
    const bool enabled = !(item.itemState & ODS_DISABLED);
    const bool focused = item.itemState & ODS_FOCUS;
    if (Default() || focused)
    {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    DrawFrame(dc, r, pushed);

    const std::wstring text = SjisToWide(Caption());
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(handle_, WM_GETFONT, 0, 0)));
    RECT textRect{0, 0, 0, 0};
    if (!text.empty())
        DrawTextW(dc, text.c_str(), int(text.size()), &textRect, DT_SINGLELINE | DT_CALCRECT);
    const int image = ImageIndex(enabled, item.itemState & ODS_SELECTED);
    const TRect source = GlyphImage(image);
    POINT glyphAt{}, captionAt{};
    const RECT& area = item.rcItem;
    const SIZE caption{textRect.right - textRect.left, textRect.bottom - textRect.top};
    const TButtonPlacement placement = Placement({source.Width(), source.Height()}, caption);
    CalcButtonLayout(placement, area.right - area.left, area.bottom - area.top, glyphAt, captionAt);
    // Pushed in, the face's contents move a pixel down and right.
    const int shift = pushed ? 1 : 0;
    if (source.Width() > 0)
        DrawGlyph(dc, glyph_, source, area.left + glyphAt.x + shift, area.top + glyphAt.y + shift,
                  enabled || image == 1);
    if (!text.empty())
    {
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        RECT t{area.left + captionAt.x + shift, area.top + captionAt.y + shift, 0, 0};
        t.right = t.left + caption.cx;
        t.bottom = t.top + caption.cy;
        const UINT format = DT_SINGLELINE | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
        const COLORREF oldColour = GetTextColor(dc);
        if (!enabled)
        {
            SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
            RECT lit = t;
            OffsetRect(&lit, 1, 1);
            DrawTextW(dc, text.c_str(), int(text.size()), &lit, format);
        }
        SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_BTNSHADOW));
        DrawTextW(dc, text.c_str(), int(text.size()), &t, format);
        SetTextColor(dc, oldColour);
        SetBkMode(dc, oldMode);
    }
    SelectObject(dc, oldFont);
    if (focused && !(item.itemState & ODS_NOFOCUSRECT))
    {
        InflateRect(&r, -3, -3);
        DrawFocusRect(dc, &r);
    }
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGlyphButton(owner)
{
    SetTabStop(false);
}

void TSpeedButton::CreateParams(TCreateParams& params)
{
    TGlyphButton::CreateParams(params);
    params.Style &= ~DWORD(WS_TABSTOP);
}

void TSpeedButton::SetDown(bool down)
{
    if (down == down_)
        return;
    down_ = down;
    Invalidate();
}

void TSpeedButton::SetFlat(bool flat)
{
    if (flat == flat_)
        return;
    flat_ = flat;
    Invalidate();
}

int TSpeedButton::ImageIndex(bool enabled, bool pushed) const
{
    if (!enabled && NumGlyphs() > 1)
        return 1;
    if (enabled && down_)
        return NumGlyphs() >= 4 ? 3 : 0;
    return TGlyphButton::ImageIndex(enabled, pushed);
}

bool TSpeedButton::ShowsPushed(const DRAWITEMSTRUCT& item) const
{
    return down_ || TGlyphButton::ShowsPushed(item);
}

bool TSpeedButton::DrawFrame(HDC dc, RECT& r, bool pushed)
{
    if (!flat_)
        return TGlyphButton::DrawFrame(dc, r, pushed);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (pushed)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    else if (mouseIn_ && Enabled())
        DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
    return pushed || (mouseIn_ && Enabled());
}

void TSpeedButton::CMMouseEnter(TMessage& message)
{
    mouseIn_ = true;
    if (flat_)
        Invalidate();
    TGlyphButton::CMMouseEnter(message);
}

void TSpeedButton::CMMouseLeave(TMessage& message)
{
    mouseIn_ = false;
    if (flat_)
        Invalidate();
    TGlyphButton::CMMouseLeave(message);
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
