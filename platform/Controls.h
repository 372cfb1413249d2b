// Controls: the control tree, windowed controls over one registered window class, message
// dispatch to virtual handlers, and the owner-drawn custom control.
//
// Every window of the layer belongs to the class "VnWindow"; its one window procedure finds the
// object (GWLP_USERDATA) and calls its virtual WndProc, which calls Dispatch, which calls the
// handler named after the message (WMPaint, WMKeyDown...). A handler that wants the platform's
// behaviour calls the inherited one; unhandled messages reach DefaultHandler (DefWindowProcW).
// The window procedure catches every exception and hands it to Application->HandleException:
// no exception unwinds into Win32.
//
// The windows are Unicode, but text is CP932 bytes: WM_CHAR is handed to WMChar as CP932 bytes,
// a double-byte character as two calls (lead byte, then trail byte), as an ANSI window receives it.
#pragma once

#include <vector>

#include <windows.h>

#include "Component.h"
#include "Graphics.h"

extern const HINSTANCE HInstance;
// The layer's window class, registered on first use.
const wchar_t* VnWindowClassName();

// Messages of the layer itself.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_FONTCHANGED = CM_BASE + 1; // the control's Font changed
constexpr UINT CM_MOUSELEAVE = CM_BASE + 2;  // the mouse left the window
constexpr UINT CM_RELEASE = CM_BASE + 3;     // a form frees itself (posted by Release)
constexpr UINT CM_DIALOGKEY = CM_BASE + 4;   // Enter or Esc offered to the form's controls (WParam: key);
                                             // Result 1 when one took it
constexpr UINT CM_DIALOGCHAR = CM_BASE + 5;  // an access key offered to the form's controls (WParam: the
                                             // UTF-16 character); Result 1 when one took it
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 6; // a control joined (LParam 1) or leaves (LParam 0) a
                                                   // parent (WParam: the control); passed up to the form
constexpr UINT CM_RECREATEWND = CM_BASE + 7;       // the control's window is made anew (RecreateWnd)
constexpr UINT CM_RAISEOWNED = CM_BASE + 8;        // a form puts the windows it owns over it again
constexpr UINT CM_MOUSEENTER = CM_BASE + 0x13;     // the mouse came into the window

struct TMessage
{
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// Typed views: a copy of the message with its parameters decoded. The dispatcher copies Result
// back; a handler that wants the default handling to see other parameters changes WParam/LParam.
struct TWMKey : TMessage
{
    explicit TWMKey(const TMessage& m) : TMessage(m), CharCode(WORD(m.WParam)), KeyData(int(m.LParam)) {}
    WORD CharCode;
    int KeyData;
};
using TWMChar = TWMKey;

struct TWMMouse : TMessage
{
    explicit TWMMouse(const TMessage& m)
        : TMessage(m), Keys(int(m.WParam)), XPos(short(LOWORD(m.LParam))), YPos(short(HIWORD(m.LParam)))
    {
    }
    int Keys;
    short XPos;
    short YPos;
};

struct TWMMouseWheel : TMessage
{
    explicit TWMMouseWheel(const TMessage& m)
        : TMessage(m), Keys(short(LOWORD(m.WParam))), WheelDelta(short(HIWORD(m.WParam))),
          XPos(short(LOWORD(m.LParam))), YPos(short(HIWORD(m.LParam)))
    {
    }
    short Keys;
    short WheelDelta;
    short XPos; // screen coordinates
    short YPos;
};

struct TWMScroll : TMessage
{
    explicit TWMScroll(const TMessage& m)
        : TMessage(m), ScrollCode(short(LOWORD(m.WParam))), Pos(short(HIWORD(m.WParam))),
          ScrollBar(reinterpret_cast<HWND>(m.LParam))
    {
    }
    short ScrollCode;
    short Pos;
    HWND ScrollBar;
};

struct TWMSize : TMessage
{
    explicit TWMSize(const TMessage& m)
        : TMessage(m), SizeType(int(m.WParam)), Width(LOWORD(m.LParam)), Height(HIWORD(m.LParam))
    {
    }
    int SizeType;
    int Width;
    int Height;
};

struct TWMPaint : TMessage
{
    explicit TWMPaint(const TMessage& m) : TMessage(m), DC(reinterpret_cast<HDC>(m.WParam)) {}
    HDC DC; // paint into this DC instead of the window's, when given
};
using TWMEraseBkgnd = TWMPaint;

struct TWMFocus : TMessage
{
    explicit TWMFocus(const TMessage& m) : TMessage(m), FocusedWnd(reinterpret_cast<HWND>(m.WParam)) {}
    HWND FocusedWnd; // the window that loses (WM_SETFOCUS) or gains (WM_KILLFOCUS) the focus
};
using TWMSetFocus = TWMFocus;
using TWMKillFocus = TWMFocus;

struct TWMTimer : TMessage
{
    explicit TWMTimer(const TMessage& m) : TMessage(m), TimerID(m.WParam) {}
    WPARAM TimerID;
};

struct TWMSetCursor : TMessage
{
    explicit TWMSetCursor(const TMessage& m)
        : TMessage(m), CursorWnd(reinterpret_cast<HWND>(m.WParam)), HitTest(short(LOWORD(m.LParam))),
          MouseMsg(HIWORD(m.LParam))
    {
    }
    HWND CursorWnd;
    short HitTest;
    WORD MouseMsg;
};

using TWMGetDlgCode = TMessage;
using TWMDestroy = TMessage;

// Screen cursors: slots above 0 are the program's own (TScreen::SetCursors).
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;
// Shift and Ctrl from the key-state seam (a sent message carries none), Alt from bit 29.
TShiftState KeyDataToShiftState(int keyData);

// Whether key is the access key of caption: the character after its first single "&" ("&&" is a
// literal "&"), compared without regard to case.
bool IsAccel(unsigned key, const AnsiString& caption);

using TKeyEvent = Closure<void(TObject*, WORD&, TShiftState)>;
using TKeyPressEvent = Closure<void(TObject*, char&)>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// What a control does by itself, read by whatever acts for it. csCaptureMouse: a mouse button
// pressed on the control keeps the mouse's messages coming to it until the button is released, so a
// release elsewhere is seen (and does not click).
enum TControlStyleItem
{
    csCaptureMouse
};
using TControlStyle = TSet<TControlStyleItem>;

class TWinControl;

using TWndMethod = Closure<void(TMessage&)>;

class TControl : public TComponent
{
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return TRect(left_, top_, left_ + width_, top_ + height_); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    TFont* Font() const { return font_; }
    void SetFont(const TFont* font) { font_->Assign(*font); }
    TColor Color() const { return color_; }
    // Setting a colour of its own ends ParentColor.
    void SetColor(TColor color);
    // The control takes its parent's colour, and takes it again whenever that changes.
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parentColor);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }
    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
    AnsiString Caption() const { return ReadCaption(); }
    void SetCaption(const AnsiString& caption);

    // Sends a message straight to the control's WindowProc (no window procedure, no guard).
    LRESULT Perform(UINT msg, WPARAM wparam, LPARAM lparam);
    virtual void Invalidate();

    TNotifyEvent OnResize;
    // Where the window procedure and Perform hand every message: the virtual WndProc unless code
    // that follows the control's messages put its own here (and puts back exactly what it found).
    TWndMethod WindowProc;

protected:
    virtual void WndProc(TMessage& message);
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message) {}

    virtual void VisibleChanged() {}
    virtual void EnabledChanged() {}
    virtual void TextChanged() {}
    virtual AnsiString ReadCaption() const { return text_; }
    virtual void Resize();
    void RequestAlign();

    AnsiString text_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    TColor color_ = clBtnFace;

private:
    friend class TWinControl;
    void FontChanged(TObject*);
    void ChangeColor(TColor color);

    TWinControl* parent_ = nullptr;
    bool enabled_ = true;
    TAlign align_ = alNone;
    TFont* font_;
    TCursor cursor_ = crDefault;
    TControlStyle controlStyle_;
    bool parentColor_ = false;
};

struct TCreateParams
{
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
};

// A control with a window. The window is made when first needed (Handle()), or at once when the
// control is put on a parent that has its window; freeing the control destroys its window (in
// BeforeDestruction, while derived handlers still exist) and frees its child controls.
class TWinControl : public TControl
{
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    void BeforeDestruction() override;
    void SetParent(TWinControl* parent) override;

    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { Handle(); }
    void DestroyHandle();
    // Makes the window anew (for a style fixed at creation), through CM_RECREATEWND.
    void RecreateWnd();

    void SetBounds(int left, int top, int width, int height) override;
    TRect ClientRect() const override;

    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(size_t(index)); }
    // The children of one kind, counted and picked in their order (null past the last).
    template <class T>
    int ControlCountOf() const
    {
        int n = 0;
        for (TControl* c : controls_)
            n += dynamic_cast<T*>(c) != nullptr;
        return n;
    }
    template <class T>
    T* ControlOf(int index) const
    {
        for (TControl* c : controls_)
            if (auto* t = dynamic_cast<T*>(c); t && index-- == 0)
                return t;
        return nullptr;
    }
    void AlignControls();

    void Invalidate() override;
    void Update();
    void Repaint();
    // Painting goes through a bitmap that is shown at once; the background is erased into it only
    // (an erase whose two parameters are the same DC still paints, for children showing it).
    bool DoubleBuffered() const { return doubleBuffered_; }
    void SetDoubleBuffered(bool doubleBuffered) { doubleBuffered_ = doubleBuffered; }
    virtual void SetFocus();
    bool Focused() const;
    bool CanFocus() const;
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);
    // The mouse's messages come to this window while it holds the capture, wherever the pointer is.
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    // The focus moved to this control from another control of its form (OnEnter), or from this
    // control to another one of its form (OnExit). Focus going to another window and coming back
    // fires neither; a focus move made by one of these handlers fires no further events.
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void TextChanged() override;
    AnsiString ReadCaption() const override;

    // Key events with the form's key preview first; true when the key was swallowed (set to 0).
    bool DoKeyDown(TWMKey& message);
    bool DoKeyUp(TWMKey& message);
    bool DoKeyPress(TWMKey& message);
    virtual void DoEnter();
    virtual void DoExit();
    // The window of this control (or one inside it) received the focus: tells the form.
    void FocusReceived();

    virtual void WMPaint(TWMPaint& message) { DefaultHandler(message); }
    virtual void WMEraseBkgnd(TWMEraseBkgnd& message);
    virtual void WMNCPaint(TMessage& message) { DefaultHandler(message); }
    virtual void WMSize(TWMSize& message);
    virtual void WMSetFocus(TWMSetFocus& message);
    virtual void WMKillFocus(TWMKillFocus& message) { DefaultHandler(message); }
    virtual void WMKeyDown(TWMKey& message);
    virtual void WMKeyUp(TWMKey& message);
    virtual void WMChar(TWMChar& message);
    virtual void WMLButtonDown(TWMMouse& message) { DefaultHandler(message); }
    virtual void WMLButtonUp(TWMMouse& message) { DefaultHandler(message); }
    virtual void WMLButtonDblClk(TWMMouse& message) { DefaultHandler(message); }
    virtual void WMRButtonDown(TWMMouse& message) { DefaultHandler(message); }
    virtual void WMMouseMove(TWMMouse& message) { DefaultHandler(message); }
    virtual void WMMouseWheel(TWMMouseWheel& message) { DefaultHandler(message); }
    virtual void WMVScroll(TWMScroll& message) { DefaultHandler(message); }
    virtual void WMHScroll(TWMScroll& message) { DefaultHandler(message); }
    virtual void WMTimer(TWMTimer& message) { DefaultHandler(message); }
    virtual void WMImeStartComposition(TMessage& message) { DefaultHandler(message); }
    virtual void WMImeComposition(TMessage& message) { DefaultHandler(message); }
    virtual void WMImeEndComposition(TMessage& message) { DefaultHandler(message); }
    virtual void WMSetCursor(TWMSetCursor& message);
    virtual void WMGetDlgCode(TWMGetDlgCode& message) { DefaultHandler(message); }
    virtual void WMCut(TMessage& message) { DefaultHandler(message); }
    virtual void WMCopy(TMessage& message) { DefaultHandler(message); }
    virtual void WMPaste(TMessage& message) { DefaultHandler(message); }
    virtual void WMClear(TMessage& message) { DefaultHandler(message); }
    virtual void WMUndo(TMessage& message) { DefaultHandler(message); }
    virtual void WMDestroy(TWMDestroy& message) { DefaultHandler(message); }
    virtual void CMFontChanged(TMessage& message) { Invalidate(); }
    virtual void CMMouseEnter(TMessage& message) {}
    virtual void CMMouseLeave(TMessage& message) {}
    // The graphic children meeting clip (client coordinates; null: all), in their order, each
    // over what the window and the earlier ones drew.
    void PaintGraphicControls(HDC dc, HRGN clip);

    HWND handle_ = nullptr;

private:
    friend class TControl;
    friend class TCustomForm;
    friend LRESULT CALLBACK VnWindowProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void UpdateBounds();
    void DispatchChar(TMessage& message);
    void PaintBuffered(TMessage& message);

    std::vector<TControl*> controls_;
    TBrush* brush_;
    bool tabStop_ = false;
    bool aligning_ = false;
    bool trackingMouse_ = false;
    bool doubleBuffered_ = false;
    wchar_t pendingHighSurrogate_ = 0;
};

// Draws on a control's window outside WM_PAINT, with a DC from GetDC released by FreeHandle.
class TControlCanvas : public TCanvas
{
public:
    explicit TControlCanvas(TWinControl* control) : control_(control) {}
    ~TControlCanvas() override { TControlCanvas::FreeHandle(); }
    void FreeHandle() override;

protected:
    void CreateHandle() override;

private:
    TWinControl* control_;
    HDC ownDC_ = nullptr;
    HWND ownWnd_ = nullptr;
};

// An owner-drawn control: Paint draws on Canvas, which inside WM_PAINT is the paint DC and outside
// a DC of the window.
class TCustomControl : public TWinControl
{
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;

    TCanvas* Canvas() const { return canvas_; }

protected:
    virtual void Paint() {}
    void WndProc(TMessage& message) override;
    void WMPaint(TWMPaint& message) override;

private:
    TControlCanvas* canvas_;
};

// A control without a window of its own: its parent paints it after painting itself, so it draws
// over whatever lies behind it (a picture, a translucent label over that picture).
class TGraphicControl : public TControl
{
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;

    // The canvas Paint draws on; null outside painting.
    TCanvas* Canvas() const { return painting_ ? canvas_ : nullptr; }
    // Paints the control into dc with its top left corner at (x, y), as its parent would.
    void PaintTo(HDC dc, int x, int y);
    void Repaint();

protected:
    virtual void Paint() {}
    void VisibleChanged() override { Invalidate(); }
    void TextChanged() override { Invalidate(); }
    void Dispatch(TMessage& message) override;

private:
    TCanvas* canvas_;
    bool painting_ = false;
};
