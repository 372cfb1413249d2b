#include "ThemeMgr.h"

#include <algorithm>

#include "platform/Animate.h"
#include "platform/Buttons.h"
#include "platform/CheckLst.h"
#include "platform/ComCtrls.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Frames.h"
#include "platform/ListView.h"
#include "platform/Splitter.h"
#include "platform/StaticText.h"
#include "platform/StdCtrls.h"

#undef DispatchMessage
#undef DrawText

// The per-class window procedures of the main manager and what they draw.

namespace
{
// The button type a themed bitmap button had, kept on its window while it is owner-drawn.
const wchar_t kOldButtonType[] = L"VnThemeOldButtonType";
} // namespace

void SetOwnerDrawn(TControl* control, bool on)
{
    auto* button = dynamic_cast<TBitBtn*>(control);
    if (!button || !button->HandleAllocated())
        return;
    HWND window = button->Handle();
    LONG style = GetWindowLongW(window, GWL_STYLE);
    LONG type = style & BS_TYPEMASK;
    if (on && type != BS_OWNERDRAW)
    {
        SetPropW(window, kOldButtonType, reinterpret_cast<HANDLE>(INT_PTR(type) + 1));
        SetWindowLongW(window, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    }
    else if (!on && GetPropW(window, kOldButtonType))
    {
        type = LONG(reinterpret_cast<INT_PTR>(RemovePropW(window, kOldButtonType)) - 1);
        SetWindowLongW(window, GWL_STYLE, (style & ~BS_TYPEMASK) | type);
        InvalidateRect(window, nullptr, TRUE);
    }
}

void TThemeManager::WindowProc(TSubclassKind kind, TControl* control, TMessage& message)
{
    switch (kind)
    {
    case skButtonControl: ButtonControlWindowProc(control, message); break;
    case skSpeedButton: SpeedButtonWindowProc(control, message); break;
    case skGroupBox: GroupBoxWindowProc(control, message); break;
    case skTabSheet: TabSheetWindowProc(control, message); break;
    case skPanel: PanelWindowProc(control, message); break;
    case skTrackBar: TrackBarWindowProc(control, message); break;
    case skStatusBar: StatusBarWindowProc(control, message); break;
    case skFrame: FrameWindowProc(control, message); break;
    case skListView: ListviewWindowProc(control, message); break;
    case skCheckListBox: CheckListBoxWindowProc(control, message); break;
    case skSplitter: SplitterWindowProc(control, message); break;
    case skAnimate: AnimateWindowProc(control, message); break;
    case skForm: FormWindowProc(control, message); break;
    case skWinControl: WinControlWindowProc(control, message); break;
    }
}

void TThemeManager::Forward(TControl* control, TMessage& message, TSubclassKind kind)
{
    lists_[kind]->DispatchMessage(control, message);
}

namespace
{
HWND HandleOf(TControl* control)
{
    auto* windowed = dynamic_cast<TWinControl*>(control);
    return windowed && windowed->HandleAllocated() ? windowed->Handle() : nullptr;
}

// A key going down at the control: WM_KEYDOWN and WM_SYSKEYDOWN, and the question the message loop
// asks the focused control before its form takes Tab, Enter or Esc as a dialog key (WM_GETDLGCODE
// with the key's message): such a key never reaches the control itself.
bool KeyGoingDown(const TMessage& message, WORD& key)
{
    if (message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN)
    {
        key = WORD(message.WParam);
        return true;
    }
    if (message.Msg != WM_GETDLGCODE || !message.LParam)
        return false;
    const auto* asked = reinterpret_cast<const MSG*>(message.LParam);
    if (asked->message != WM_KEYDOWN && asked->message != WM_SYSKEYDOWN)
        return false;
    key = WORD(asked->wParam);
    return true;
}

// The paint DC: the one passed in wParam (double-buffered painting), else the window's own.
class TPaintDC
{
public:
    TPaintDC(HWND window, const TMessage& message) : window_(window)
    {
        dc_ = reinterpret_cast<HDC>(message.WParam);
        if (!dc_)
        {
            dc_ = BeginPaint(window_, &ps_);
            began_ = true;
        }
    }
    ~TPaintDC()
    {
        if (began_)
            EndPaint(window_, &ps_);
    }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;
    HDC Handle() const { return dc_; }
    // What needs painting: the update rectangle, or the whole client area of a given DC.
    RECT Area() const
    {
        RECT r = ps_.rcPaint;
        if (!began_)
            GetClientRect(window_, &r);
        return r;
    }

private:
    HWND window_;
    HDC dc_ = nullptr;
    PAINTSTRUCT ps_{};
    bool began_ = false;
};

TRect ClientOf(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    return TRect(r.left, r.top, r.right, r.bottom);
}

// The parent-painted children meeting area, in their order, each over what lies under it: a
// window whose painting is taken over draws them itself, or they vanish (and never refresh).
void PaintControls(TWinControl* parent, HDC dc, const RECT& area)
{
    for (int i = 0; i < parent->ControlCount(); ++i)
    {
        auto* graphic = dynamic_cast<TGraphicControl*>(parent->Controls(i));
        if (!graphic || !graphic->Visible())
            continue;
        RECT bounds{graphic->Left(), graphic->Top(), graphic->Left() + graphic->Width(),
                    graphic->Top() + graphic->Height()};
        RECT overlap{};
        if (IntersectRect(&overlap, &bounds, &area))
            graphic->PaintTo(dc, graphic->Left(), graphic->Top());
    }
}
} // namespace

void TThemeManager::ParentBackground(TControl* control, HDC dc, const TThemedElementDetails* details,
                                     bool onlyIfTransparent, const TRect* bounds)
{
    // A double-buffered parent erases only when asked with its DC in both parameters.
    if (control->Parent() && control->Parent()->DoubleBuffered())
    {
        if (onlyIfTransparent && details && !ThemeServices()->HasTransparentParts(*details))
            return;
        int saved = SaveDC(dc);
        if (bounds)
            IntersectClipRect(dc, bounds->Left, bounds->Top, bounds->Right, bounds->Bottom);
        PerformEraseBackground(control, dc);
        RestoreDC(dc, saved);
        return;
    }
    if (HWND window = HandleOf(control))
        ThemeServices()->DrawParentBackground(window, dc, details, onlyIfTransparent, bounds);
}

void TThemeManager::ButtonControlWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (message.Msg == WM_PAINT)
        SetOwnerDrawn(control, ThemeServices()->ThemesEnabled());
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skButtonControl);
    if (WORD key = 0; KeyGoingDown(message, key))
        UpdateUIState(control, key);
    switch (message.Msg)
    {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        if (HWND window = HandleOf(control); window && dynamic_cast<TBitBtn*>(control))
            InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_ERASEBKGND: message.Result = 1; return;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC:
        // The parent's background under the button, which then fills with nothing.
        ParentBackground(control, reinterpret_cast<HDC>(message.WParam), nullptr, false);
        message.Result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return;
    case CN_DRAWITEM:
    {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
        TThemedElementDetails details = ThemeServices()->GetElementDetails(tbPushButtonNormal);
        if (HWND window = HandleOf(control); window && item)
            ThemeServices()->DrawParentBackground(window, item->hDC, &details, true);
        if (auto* button = dynamic_cast<TBitBtn*>(control); button && item)
        {
            DrawBitBtn(button, *item);
            message.Result = 1;
            return;
        }
        break;
    }
    default: break;
    }
    Forward(control, message, skButtonControl);
}

namespace
{
// The image of a glyph button's glyph for the state it is drawn in.
int GlyphIndex(TGlyphButton* button, TThemedButton state)
{
    const int images = button->NumGlyphs();
    if (!button->Enabled())
        return images > 1 ? 1 : 0;
    if (auto* speed = dynamic_cast<TSpeedButton*>(button))
    {
        if (speed->Down())
            return images >= 4 ? 3 : 0;
        const bool pushed =
            speed->HandleAllocated() && (SendMessageW(speed->Handle(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
        return pushed && images >= 3 ? 2 : 0;
    }
    return state == tbPushButtonPressed && images >= 3 ? 2 : 0;
}

// A flat speed button is drawn as a tool-bar button.
TThemedElementDetails ButtonDetails(TWinControl* control, TThemedButton state)
{
    auto* speed = dynamic_cast<TSpeedButton*>(control);
    if (!speed || !speed->Flat())
        return ThemeServices()->GetElementDetails(state);
    switch (state)
    {
    case tbPushButtonHot: return ThemeServices()->GetElementDetails(ttbButtonHot);
    case tbPushButtonPressed: return ThemeServices()->GetElementDetails(ttbButtonPressed);
    case tbPushButtonDisabled: return ThemeServices()->GetElementDetails(ttbButtonDisabled);
    default: return ThemeServices()->GetElementDetails(ttbButtonNormal);
    }
}
} // namespace

void TThemeManager::DrawButton(TWinControl* control, TThemedButton state, bool focused, const TRect& r, HDC dc)
{
    TThemedElementDetails details = ButtonDetails(control, state);
    ThemeServices()->DrawElement(dc, details, r);
    TRect content = ThemeServices()->ContentRect(dc, details, r);

    auto* glyphButton = dynamic_cast<TGlyphButton*>(control);
    TRect image(0, 0, 0, 0);
    int index = 0;
    if (glyphButton && !glyphButton->Glyph()->Empty())
    {
        index = GlyphIndex(glyphButton, state);
        image = glyphButton->GlyphImage(index);
    }

    HGDIOBJ oldFont = SelectObject(dc, control->Font()->Handle());
    std::wstring caption = SjisToWide(control->Caption());
    SIZE captionSize{};
    if (!caption.empty())
    {
        RECT measured{0, 0, content.Width(), content.Height()};
        ::DrawTextW(dc, caption.c_str(), int(caption.size()), &measured, DT_CALCRECT);
        captionSize = {measured.right - measured.left, measured.bottom - measured.top};
    }
    const SIZE glyphSize{image.Width(), image.Height()};
    TButtonPlacement placement;
    if (glyphButton)
        placement = glyphButton->Placement(glyphSize, captionSize);
    else
    {
        placement.rightToLeft = (GetWindowLongW(control->Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING) != 0;
        placement.glyph = glyphSize;
        placement.caption = captionSize;
    }
    POINT glyphPos{}, captionPos{};
    CalcButtonLayout(placement, content.Width(), content.Height(), glyphPos, captionPos);
    RECT text{content.Left + captionPos.x, content.Top + captionPos.y,
              content.Left + captionPos.x + captionSize.cx, content.Top + captionPos.y + captionSize.cy};
    SetTextColor(dc, ColorToRGB(state == tbPushButtonDisabled ? clGrayText : control->Font()->Color()));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    if (!caption.empty())
        ::DrawTextW(dc, caption.c_str(), int(caption.size()), &text, DT_CENTER | DT_VCENTER);
    SetBkMode(dc, oldMode);
    // A disabled button without a disabled image of its own greys the first, as the classic face does.
    if (image.Width() > 0)
        DrawGlyph(dc, glyphButton->Glyph(), image, content.Left + glyphPos.x, content.Top + glyphPos.y,
                  glyphButton->Enabled() || index == 1);
    SelectObject(dc, oldFont);
    if (focused)
    {
        SetTextColor(dc, RGB(0, 0, 0));
        RECT focus{content.Left, content.Top, content.Right, content.Bottom};
        DrawFocusRect(dc, &focus);
    }
}

void TThemeManager::DrawBitBtn(TWinControl* button, DRAWITEMSTRUCT& item)
{
    POINT cursor{};
    if (GetCursorPos(&cursor) && WindowFromPoint(cursor) == button->Handle())
        item.itemState |= ODS_HOTLIGHT;
    TThemedButton state = tbPushButtonDefaulted;
    if (!button->Enabled())
        state = tbPushButtonDisabled;
    else if (item.itemState & ODS_SELECTED)
        state = tbPushButtonPressed;
    else if (item.itemState & ODS_HOTLIGHT)
        state = tbPushButtonHot;
    else if (!static_cast<TButton*>(button)->Default() && !(item.itemState & ODS_FOCUS))
        state = tbPushButtonNormal;
    const RECT& r = item.rcItem;
    DrawButton(button, state, (item.itemState & ODS_FOCUS) != 0, TRect(r.left, r.top, r.right, r.bottom), item.hDC);
}

void TThemeManager::SpeedButtonWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skSpeedButton);
    auto* button = static_cast<TWinControl*>(control);
    switch (message.Msg)
    {
    case WM_PAINT:
    {
        TPaintDC dc(button->Handle(), message);
        PerformEraseBackground(control, dc.Handle());
        auto* speed = dynamic_cast<TSpeedButton*>(control);
        const bool flat = speed && speed->Flat();
        POINT cursor{};
        TThemedButton state = tbPushButtonNormal;
        if (!button->Enabled())
            state = tbPushButtonDisabled;
        else if ((speed && speed->Down()) || (SendMessageW(button->Handle(), BM_GETSTATE, 0, 0) & BST_PUSHED))
            state = tbPushButtonPressed;
        else if (flat ? speed->MouseInControl() : GetCursorPos(&cursor) && WindowFromPoint(cursor) == button->Handle())
            state = tbPushButtonHot;
        DrawButton(button, state, false, ClientOf(button->Handle()), dc.Handle());
        message.Result = 0;
        return;
    }
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
        // A flat one repaints itself.
        if (auto* speed = dynamic_cast<TSpeedButton*>(control);
            (!speed || !speed->Flat()) && button->Enabled() && button->HandleAllocated())
            InvalidateRect(button->Handle(), nullptr, FALSE);
        break;
    default: break;
    }
    Forward(control, message, skSpeedButton);
    // The system button draws its classic face straight away on these: paint ours over it.
    switch (message.Msg)
    {
    case BM_SETSTATE:
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (button->HandleAllocated())
            InvalidateRect(button->Handle(), nullptr, FALSE);
        break;
    default: break;
    }
}

void TThemeManager::DrawGroupBoxCaption(TWinControl* box, HDC dc)
{
    HGDIOBJ oldFont = SelectObject(dc, box->Font()->Handle());
    std::wstring caption = SjisToWide(box->Caption());
    TRect captionRect(0, 0, 0, 0);
    if (!caption.empty())
    {
        SetTextColor(dc, ColorToRGB(box->Font()->Color()));
        SIZE size{};
        GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &size);
        captionRect = TRect(8, 0, 8 + size.cx, size.cy);
    }
    TRect boxRect = ClientOf(box->Handle());
    boxRect.Top = captionRect.Height() / 2;
    TThemedElementDetails details =
        ThemeServices()->GetElementDetails(box->Enabled() ? tbGroupBoxNormal : tbGroupBoxDisabled);
    int saved = SaveDC(dc);
    ExcludeClipRect(dc, captionRect.Left, captionRect.Top, captionRect.Right, captionRect.Bottom);
    ThemeServices()->DrawElement(dc, details, boxRect);
    RestoreDC(dc, saved);
    if (!caption.empty())
        ThemeServices()->DrawText(dc, details, caption, captionRect, DT_LEFT | DT_SINGLELINE, 0);
    SelectObject(dc, oldFont);
}

void TThemeManager::GroupBoxWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skGroupBox);
    auto* box = static_cast<TWinControl*>(control);
    if (WORD key = 0; KeyGoingDown(message, key))
        UpdateUIState(control, key);
    switch (message.Msg)
    {
    case WM_PAINT:
    {
        TPaintDC dc(box->Handle(), message);
        DrawGroupBoxCaption(box, dc.Handle());
        PaintControls(box, dc.Handle(), dc.Area());
        message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
    {
        TThemedElementDetails details = ThemeServices()->GetElementDetails(tbGroupBoxNormal);
        ParentBackground(control, reinterpret_cast<HDC>(message.WParam), &details, true);
        message.Result = 1;
        return;
    }
    default: break;
    }
    Forward(control, message, skGroupBox);
}

void TThemeManager::DrawPanel(TWinControl* panel, HDC dc)
{
    TRect r = ClientOf(panel->Handle());
    auto* asPanel = dynamic_cast<TPanel*>(panel);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone)
            return;
        COLORREF topLeft = ColorToRGB(cut == bvLowered ? clBtnShadow : clBtnHighlight);
        COLORREF bottomRight = ColorToRGB(cut == bvLowered ? clBtnHighlight : clBtnShadow);
        auto line = [dc](int x0, int y0, int x1, int y1, COLORREF color) {
            HPEN pen = CreatePen(PS_SOLID, 1, color);
            HGDIOBJ old = SelectObject(dc, pen);
            MoveToEx(dc, x0, y0, nullptr);
            LineTo(dc, x1, y1);
            SelectObject(dc, old);
            DeleteObject(pen);
        };
        line(r.Left, r.Bottom - 1, r.Left, r.Top, topLeft);
        line(r.Left, r.Top, r.Right - 1, r.Top, topLeft);
        line(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1, bottomRight);
        line(r.Right - 1, r.Bottom - 1, r.Left - 1, r.Bottom - 1, bottomRight);
        r = TRect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    };
    if (asPanel)
    {
        bevel(asPanel->BevelOuter());
        const int border = asPanel->BorderWidth();
        r = TRect(r.Left + border, r.Top + border, r.Right - border, r.Bottom - border);
        bevel(asPanel->BevelInner());
    }
    if (!panel->ParentColor() && !SameColorAsParent(panel))
    {
        HBRUSH brush = CreateSolidBrush(ColorToRGB(panel->Color()));
        RECT fill{r.Left, r.Top, r.Right, r.Bottom};
        FillRect(dc, &fill, brush);
        DeleteObject(brush);
    }
    else
    {
        TThemedElementDetails details = ThemeServices()->GetElementDetails(tbGroupBoxNormal);
        ParentBackground(panel, dc, &details, false, &r);
    }
    std::wstring caption = SjisToWide(panel->Caption());
    if (caption.empty())
        return;
    HGDIOBJ oldFont = SelectObject(dc, panel->Font()->Handle());
    SetTextColor(dc, ColorToRGB(panel->Font()->Color()));
    SetBkMode(dc, TRANSPARENT);
    RECT text{r.Left, r.Top, r.Right, r.Bottom};
    UINT across = DT_CENTER;
    if (asPanel && asPanel->Alignment() == taLeftJustify)
        across = DT_LEFT;
    else if (asPanel && asPanel->Alignment() == taRightJustify)
        across = DT_RIGHT;
    DrawTextW(dc, caption.c_str(), int(caption.size()), &text,
              DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | across);
    SelectObject(dc, oldFont);
}

void TThemeManager::PanelWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    // Without a colour of its own the panel shows its parent's background, themed or not.
    if (!(ThemeServices()->ThemesEnabled() && control->ParentColor()) && !SameColorAsParent(control))
        return Forward(control, message, skPanel);
    auto* panel = static_cast<TWinControl*>(control);
    switch (message.Msg)
    {
    case WM_PAINT:
    {
        TPaintDC dc(panel->Handle(), message);
        DrawPanel(panel, dc.Handle());
        PaintControls(panel, dc.Handle(), dc.Area());
        message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
    {
        TThemedElementDetails details = ThemeServices()->GetElementDetails(tbGroupBoxNormal);
        ParentBackground(control, reinterpret_cast<HDC>(message.WParam), &details, false);
        message.Result = 1;
        return;
    }
    case WM_NCPAINT:
        Forward(control, message, skPanel);
        if (auto* asPanel = dynamic_cast<TPanel*>(control); asPanel && asPanel->BorderStyle() == bsSingle)
        {
            // The sunken border in the theme's own edge.
            RECT window{};
            GetWindowRect(panel->Handle(), &window);
            OffsetRect(&window, -window.left, -window.top);
            if (HDC dc = GetWindowDC(panel->Handle()))
            {
                ThemeServices()->DrawEdge(dc, ThemeServices()->GetElementDetails(trRebarRoot),
                                          TRect(window.left, window.top, window.right, window.bottom), EDGE_SUNKEN,
                                          BF_RECT);
                ReleaseDC(panel->Handle(), dc);
            }
        }
        else
        {
            message.Result = 0;
        }
        return;
    case WM_PRINTCLIENT:
    {
        auto dc = reinterpret_cast<HDC>(message.WParam);
        DrawPanel(panel, dc);
        RECT client{};
        GetClientRect(panel->Handle(), &client);
        PaintControls(panel, dc, client);
        message.Result = 0;
        return;
    }
    default: break;
    }
    Forward(control, message, skPanel);
}

void TThemeManager::TabSheetWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skTabSheet);
    switch (message.Msg)
    {
    case WM_ERASEBKGND:
    case WM_PRINTCLIENT:
    {
        auto dc = reinterpret_cast<HDC>(message.WParam);
        if (options_.Contains(toAlternateTabSheetDraw))
        {
            if (HWND window = HandleOf(control))
                ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(ttBody), ClientOf(window));
        }
        else
        {
            ParentBackground(control, dc, nullptr, false);
        }
        message.Result = 1;
        return;
    }
    case WM_NCPAINT:
    {
        // The border shows what lies behind the page: the page control's body.
        auto* sheet = static_cast<TTabSheet*>(control);
        const int border = sheet->BorderWidth();
        HWND window = HandleOf(control);
        if (border <= 0 || !window)
            return;
        if (HDC dc = GetWindowDC(window))
        {
            const TRect client = ClientOf(window);
            ExcludeClipRect(dc, client.Left + border, client.Top + border, client.Right + border,
                            client.Bottom + border);
            SetWindowOrgEx(dc, -border, -border, nullptr);
            TThemedElementDetails details = ThemeServices()->GetElementDetails(ttBody);
            ThemeServices()->DrawParentBackground(window, dc, &details, false);
            ReleaseDC(window, dc);
        }
        return;
    }
    default: break;
    }
    Forward(control, message, skTabSheet);
}

void TThemeManager::TrackBarWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled() || message.Msg != CN_NOTIFY ||
        reinterpret_cast<NMHDR*>(message.LParam)->code != NM_CUSTOMDRAW)
        return Forward(control, message, skTrackBar);
    auto* draw = reinterpret_cast<NMCUSTOMDRAW*>(message.LParam);
    HWND window = draw->hdr.hwndFrom;
    if (draw->dwDrawStage == CDDS_PREPAINT)
    {
        message.Result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (draw->dwDrawStage != CDDS_ITEMPREPAINT)
        return;
    message.Result = 0;
    bool focused = GetFocus() == window && (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
    int focusWidth = 0;
    int focusHeight = 0;
    if (focused)
    {
        UINT w = 1;
        UINT h = 1;
        SystemParametersInfoW(SPI_GETFOCUSBORDERWIDTH, 0, &w, 0);
        SystemParametersInfoW(SPI_GETFOCUSBORDERHEIGHT, 0, &h, 0);
        focusWidth = int(w);
        focusHeight = int(h);
    }
    TRect client = ClientOf(window);
    if (draw->dwItemSpec == TBCD_TICS)
    {
        TRect r(client.Left + focusWidth, client.Top + focusHeight, client.Right - focusWidth,
                client.Bottom - focusHeight);
        // Some common controls draw the channel before the tics: leave it standing. Where the
        // channel comes later, its own stage fills the background around it.
        RECT channel{};
        SendMessageW(window, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        int saved = SaveDC(draw->hdc);
        ExcludeClipRect(draw->hdc, channel.left, channel.top, channel.right, channel.bottom);
        ThemeServices()->DrawParentBackground(window, draw->hdc, nullptr, false, &r);
        RestoreDC(draw->hdc, saved);
    }
    else if (draw->dwItemSpec == TBCD_CHANNEL)
    {
        RECT channel{};
        SendMessageW(window, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
        bool vertical = (GetWindowLongW(window, GWL_STYLE) & TBS_VERT) != 0;
        RECT clip = vertical ? RECT{channel.left, client.Top + focusHeight, channel.right, client.Bottom - focusHeight}
                             : RECT{client.Left + focusWidth, channel.top, client.Right - focusWidth, channel.bottom};
        int saved = SaveDC(draw->hdc);
        IntersectClipRect(draw->hdc, clip.left, clip.top, clip.right, clip.bottom);
        ThemeServices()->DrawParentBackground(window, draw->hdc, nullptr, false);
        RestoreDC(draw->hdc, saved);
    }
}

void TThemeManager::StatusBarWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skStatusBar);
    switch (message.Msg)
    {
    case WM_ERASEBKGND:
        if (HWND window = HandleOf(control))
            ThemeServices()->DrawElement(reinterpret_cast<HDC>(message.WParam),
                                         ThemeServices()->GetElementDetails(tstStatusRoot), ClientOf(window));
        message.Result = 1;
        return;
    case WM_NCCALCSIZE:
        Forward(control, message, skStatusBar);
        if (message.WParam)
            message.Result |= WVR_REDRAW;
        return;
    default: break;
    }
    Forward(control, message, skStatusBar);
}

void TThemeManager::FormWindowProc(TControl* control, TMessage& message)
{
    if (message.Msg == CM_CONTROLLISTCHANGE)
        HandleControlChange(reinterpret_cast<TControl*>(message.WParam), message.LParam != 0);
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skForm);
    if ((message.Msg == WM_ERASEBKGND || message.Msg == WM_PRINTCLIENT) && control->Parent())
    {
        auto dc = reinterpret_cast<HDC>(message.WParam);
        const bool formBuffered = static_cast<TWinControl*>(control)->DoubleBuffered();
        if (control->Parent()->DoubleBuffered())
            PerformEraseBackground(control, dc);
        else if (formBuffered)
        {
            // Its own bitmap's erase carries the DC twice; a plain erase goes into the bitmap later.
            if (message.Msg != WM_ERASEBKGND || message.LParam == LPARAM(message.WParam))
                PerformEraseBackground(control, dc);
        }
        else if (HWND window = HandleOf(control); window && UxTheme::DrawThemeParentBackground)
            UxTheme::DrawThemeParentBackground(window, dc, nullptr);
        message.Result = 1;
        return;
    }
    Forward(control, message, skForm);
}

void TThemeManager::FrameWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skFrame);
    auto* frame = static_cast<TWinControl*>(control);
    switch (message.Msg)
    {
    case WM_PAINT:
    {
        TPaintDC dc(frame->Handle(), message);
        PaintControls(frame, dc.Handle(), dc.Area());
        message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
    {
        TThemedElementDetails details = ThemeServices()->GetElementDetails(tbGroupBoxNormal);
        ParentBackground(control, reinterpret_cast<HDC>(message.WParam), &details, false);
        message.Result = 1;
        return;
    }
    default: break;
    }
    Forward(control, message, skFrame);
}

void TThemeManager::ListviewWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    // Whatever the themes: a column without an image must not ask for one.
    switch (message.Msg)
    {
    case LVM_SETCOLUMNA:
    case LVM_INSERTCOLUMNA:
    case LVM_SETCOLUMNW:
    case LVM_INSERTCOLUMNW:
        if (auto* column = reinterpret_cast<LVCOLUMNW*>(message.LParam); column && column->iImage == -1)
            column->mask &= ~UINT(LVCF_IMAGE);
        break;
    case WM_NOTIFY:
        if (message.LParam && reinterpret_cast<NMHDR*>(message.LParam)->code == UINT(HDN_GETDISPINFOW))
            return;
        break;
    default: break;
    }
    Forward(control, message, skListView);
}

void TThemeManager::CheckListBoxWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled() || message.Msg != CN_DRAWITEM)
        return Forward(control, message, skCheckListBox);
    auto* list = static_cast<TCheckListBox*>(control);
    if (list->Count() > 0)
    {
        DrawCheckListItem(list, *reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam));
        message.Result = TRUE;
    }
}

void TThemeManager::DrawCheckListItem(TCheckListBox* list, const DRAWITEMSTRUCT& item)
{
    const int index = int(item.itemID);
    const bool header = index >= 0 && list->Header(index);
    const bool rightToLeft = (GetWindowLongW(list->Handle(), GWL_EXSTYLE) & WS_EX_RIGHT) != 0;
    const TRect whole(item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
    TRect r = whole;
    TRect check = whole;
    if (!header)
    {
        if (rightToLeft)
        {
            r.Right -= list->CheckWidth();
            check.Left = r.Right;
        }
        else
        {
            r.Left += list->CheckWidth();
            check.Right = r.Left;
        }
    }
    TCanvas* canvas = list->Canvas();
    struct TScope
    {
        TCanvas* canvas;
        ~TScope() { canvas->SetHandle(nullptr); }
    } scope{canvas};
    canvas->SetHandle(item.hDC);
    canvas->SetFont(list->Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(list->Color());
    if ((item.itemState & ODS_SELECTED) && index >= 0)
    {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
    }
    if (index < 0)
    {
        canvas->FillRect(r);
    }
    else if (index < list->Count())
    {
        const bool enabled = list->Enabled() && list->ItemEnabled(index);
        if (!header)
        {
            DrawCheckListItemCheck(item.hDC, check, list->State(index), enabled);
        }
        else
        {
            canvas->Brush()->SetColor(list->HeaderBackgroundColor());
            canvas->Font()->SetColor(list->HeaderColor());
        }
        if (!enabled)
            canvas->Font()->SetColor(clGrayText);
        if (!list->OnDrawItem || list->Style() == lbStandard)
        {
            canvas->FillRect(r);
            std::wstring text = SjisToWide(list->Items()->Get(index));
            RECT t{r.Left + (rightToLeft ? 0 : 2), r.Top, r.Right - (rightToLeft ? 2 : 0), r.Bottom};
            HDC dc = canvas->Handle();
            SetBkMode(dc, TRANSPARENT);
            ::DrawTextW(dc, text.c_str(), int(text.size()), &t,
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (rightToLeft ? DT_RIGHT | DT_RTLREADING : 0));
        }
        else
        {
            TOwnerDrawState state;
            if (item.itemState & ODS_SELECTED)
                state << odSelected;
            if (item.itemState & ODS_FOCUS)
                state << odFocused;
            list->OnDrawItem(list, index, r, state);
        }
    }
    if (item.itemState & ODS_FOCUS)
    {
        RECT focus{r.Left, r.Top, r.Right, r.Bottom};
        DrawFocusRect(item.hDC, &focus);
    }
}

void TThemeManager::DrawCheckListItemCheck(HDC dc, const TRect& r, TCheckBoxState state, bool enabled)
{
    const SIZE box = CheckBoxSize();
    const int left = r.Left + (r.Width() - box.cx) / 2;
    const int top = r.Top + (r.Height() - box.cy) / 2;
    TThemedButton look = enabled ? tbCheckBoxUncheckedNormal : tbCheckBoxUncheckedDisabled;
    if (state == cbChecked)
        look = enabled ? tbCheckBoxCheckedNormal : tbCheckBoxCheckedDisabled;
    else if (state == cbGrayed)
        look = enabled ? tbCheckBoxMixedNormal : tbCheckBoxMixedDisabled;
    ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(look),
                                 TRect(left, top, left + box.cx, top + box.cy));
}

void TThemeManager::SplitterWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled() || message.Msg != WM_PAINT)
        return Forward(control, message, skSplitter);
    // Only its parent's background.
    TPaintDC dc(static_cast<TWinControl*>(control)->Handle(), message);
    PerformEraseBackground(control, dc.Handle());
    message.Result = 0;
}

void TThemeManager::AnimateWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skAnimate);
    switch (message.Msg)
    {
    case WM_ERASEBKGND: message.Result = 1; return;
    case CN_CTLCOLORSTATIC:
        // A system colour has its brush; any other colour is left to the control.
        if (auto* animate = static_cast<TAnimate*>(control);
            animate->Transparent() && (unsigned(animate->Color()) & 0x80000000u))
        {
            message.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(int(unsigned(animate->Color()) & 0x7FFFFFFFu)));
            return;
        }
        break;
    default: break;
    }
    Forward(control, message, skAnimate);
}

void TThemeManager::WinControlWindowProc(TControl* control, TMessage& message)
{
    if (DoControlMessage(control, message))
        return;
    if (!ThemeServices()->ThemesEnabled())
        return Forward(control, message, skWinControl);
    if (WORD key = 0; KeyGoingDown(message, key))
        UpdateUIState(control, key);
    if (message.Msg == WM_ERASEBKGND && dynamic_cast<TScrollBox*>(control))
    {
        // A scrolling container shows its parent's background between its children.
        auto dc = reinterpret_cast<HDC>(message.WParam);
        if (static_cast<TWinControl*>(control)->DoubleBuffered())
            PerformEraseBackground(control, dc);
        else if (HWND window = HandleOf(control))
            ThemeServices()->DrawParentBackground(window, dc, nullptr, false);
        message.Result = 1;
        return;
    }
    if (message.Msg == CN_CTLCOLORSTATIC && dynamic_cast<TCustomStaticText*>(control))
    {
        // The text over its parent's background, with no fill of its own.
        auto dc = reinterpret_cast<HDC>(message.WParam);
        SetBkMode(dc, TRANSPARENT);
        int saved = SaveDC(dc);
        if (HWND window = HandleOf(control))
            ThemeServices()->DrawParentBackground(window, dc, nullptr, false);
        Forward(control, message, skWinControl);
        RestoreDC(dc, saved);
        message.Result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return;
    }
    Forward(control, message, skWinControl);
    if (message.Msg == WM_NCPAINT)
        if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->HandleAllocated())
            ThemeServices()->PaintBorder(windowed, false);
}
