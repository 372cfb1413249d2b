// Standard controls of the dialogs: button, edit, check box, radio button, combo box, label, group
// box, list box and up-down.
//
// The windowed ones are native controls (see ComCtrls.h): the system class draws and edits, the
// object keeps what must survive the window (text, items, state) and turns the notifications sent
// back to it into events. Text crosses into the windows as UTF-16 converted from CP932; lengths,
// limits and selections the callers see are CP932 bytes.
//
// Setting Edit Text, CheckBox Checked or RadioButton Checked in code fires the change event only
// when the value changes; ItemIndex, combo box Text and up-down Position set in code fire nothing.
#pragma once

#include <vector>

#include "ComCtrls.h"
#include "Forms.h"
// After <windows.h>: it undoes the GetObject macro.
#include "Classes.h"

// A native control whose key events (OnKeyDown, OnKeyPress, OnKeyUp, with the form's key preview)
// run before the system class sees the key. OnKeyPress gets CP932 bytes; a byte set to 0 drops
// the character.
class TStdControl : public TNativeControl
{
public:
    explicit TStdControl(TComponent* owner) : TNativeControl(owner) {}

protected:
    void Dispatch(TMessage& message) override;
    // A WM_CHAR after OnKeyPress; message.WParam holds the (possibly changed) UTF-16 unit.
    virtual void KeyChar(TMessage& message) { DefaultHandler(message); }
    // Key messages of this control or of a window inside it (the edit of a combo box); calls pass
    // for what the events leave.
    void HandleKeyMessage(TMessage& message, void (*pass)(TStdControl*, TMessage&));
};

// ---------------------------------------------------------------------------------------------
// Buttons

// A push button. Click sets the form's ModalResult to the button's, then fires OnClick. Enter
// clicks the Default button (or the focused button), Esc the Cancel button, its access key ("&Y"
// of "はい(&Y)") the button itself.
class TButton : public TStdControl
{
public:
    explicit TButton(TComponent* owner);

    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }

    virtual void Click();
    TNotifyEvent OnClick;

protected:
    const wchar_t* NativeClassName() const override { return L"BUTTON"; }
    void CreateParams(TCreateParams& params) override;
    void Dispatch(TMessage& message) override;

private:
    bool default_ = false;
    bool cancel_ = false;
    TModalResult modalResult_ = mrNone;
};

// Check box: a click by the user, or its access key, toggles Checked; OnClick fires whenever
// Checked changes.
class TCheckBox : public TStdControl
{
public:
    explicit TCheckBox(TComponent* owner);

    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    TNotifyEvent OnClick;

protected:
    const wchar_t* NativeClassName() const override { return L"BUTTON"; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;

private:
    bool checked_ = false;
};

// Radio button: at most one of the radio buttons on one parent is checked. Checking one unchecks
// its siblings; OnClick fires when a button becomes checked (by the user, its access key or code).
class TRadioButton : public TStdControl
{
public:
    explicit TRadioButton(TComponent* owner);

    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    TNotifyEvent OnClick;

protected:
    const wchar_t* NativeClassName() const override { return L"BUTTON"; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;

private:
    void ShowCheck();
    bool checked_ = false;
};

// ---------------------------------------------------------------------------------------------
// Edit

enum TImeMode
{
    imDontCare,
    imDisable, // no input method at all ("IME off")
    imClose,   // closed when the edit gets the focus
    imOpen     // opened when the edit gets the focus
};

// A single-line edit. MaxLength is in CP932 bytes (0: none): typing and pasting stop at it without
// splitting a double-byte character; Text set in code is not cut. OnChange fires for every change
// by the user and for Text set in code to a different value.
class TEdit : public TStdControl
{
public:
    explicit TEdit(TComponent* owner);

    AnsiString Text() const { return Caption(); }
    void SetText(const AnsiString& text);
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int bytes);
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char c);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    TImeMode ImeMode() const { return imeMode_; }
    void SetImeMode(TImeMode mode);

    // Selection in CP932 bytes from the start of the text.
    int SelStart();
    void SetSelStart(int bytes);
    int SelLength();
    void SetSelLength(int bytes);
    AnsiString SelText();
    void SetSelText(const AnsiString& text); // replaces the selection (MaxLength does not apply)
    void SelectAll();
    void Clear() { SetText(AnsiString()); }

    TNotifyEvent OnChange;

protected:
    const wchar_t* NativeClassName() const override { return L"EDIT"; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void TextChanged() override;
    void KeyChar(TMessage& message) override;
    void WMPaste(TMessage& message) override;
    void WMSetFocus(TWMSetFocus& message) override;
    void WMDestroy(TWMDestroy& message) override;
    virtual void Change();

private:
    void ApplyImeMode();
    // Bytes that may still be typed over the current selection (MaxLength 0: no limit, INT_MAX).
    int Room();
    void Select(int startBytes, int lengthBytes);

    int maxLength_ = 0;
    char passwordChar_ = 0;
    bool readOnly_ = false;
    TImeMode imeMode_ = imDontCare;
    int quiet_ = 0; // text written by us: no EN_CHANGE event
};

// ---------------------------------------------------------------------------------------------
// Items of combo and list boxes

// Strings kept by the control and mirrored into its window (written anew whenever it is made).
class TItemStrings : public TStrings
{
public:
    AnsiString Get(int index) override;
    void Put(int index, const AnsiString& s) override;
    TObject* GetObject(int index) override;
    void PutObject(int index, TObject* object) override;
    int GetCount() override { return int(items_.size()); }
    void Insert(int index, const AnsiString& s) override;
    void Delete(int index) override;
    void Clear() override;

protected:
    struct Item
    {
        AnsiString text;
        TObject* object = nullptr;
    };
    explicit TItemStrings(TNativeControl* control) : control_(control) {}
    virtual HWND Window() = 0; // null while the control has no window
    virtual UINT InsertMsg() const = 0;
    virtual UINT DeleteMsg() const = 0;
    virtual UINT ResetMsg() const = 0;
    // The window holds only how many items there are (it asks the control to draw them): while
    // the items are updated, those added at the end reach it as one count at the end.
    virtual bool CountOnly() { return false; }
    // Tells the window the count it is behind by (a count-only window).
    void SyncWindow();
    void CheckIndex(int index, bool inserting = false);
    void InsertIntoWindow(int index, const AnsiString& s);

private:
    friend class TComboBox;
    friend class TListBox;
    TNativeControl* control_;
    std::vector<Item> items_;
    bool countBehind_ = false;

protected:
    bool changed_ = false; // an item changed since the update began
};

enum TComboBoxStyle
{
    csDropDown,
    csDropDownList
};

// A combo box with a list. OnChange fires when the user edits the text or picks an item (OnClick
// too, for a pick); in OnChange Text is already the picked item.
class TComboBox : public TStdControl
{
public:
    explicit TComboBox(TComponent* owner);
    ~TComboBox() override;

    TStrings* Items() const { return items_; }
    int ItemIndex();
    void SetItemIndex(int index);
    AnsiString Text() const { return Caption(); }
    void SetText(const AnsiString& text) { SetCaption(text); }
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle style);
    int DropDownCount() const { return dropDownCount_; }
    void SetDropDownCount(int count) { dropDownCount_ = count; }
    bool DroppedDown();
    void SetDroppedDown(bool dropped);
    // The edit inside a drop-down combo box (null for a drop-down list or without a window).
    HWND EditHandle() const { return edit_; }

    TNotifyEvent OnChange;
    TNotifyEvent OnClick;

protected:
    const wchar_t* NativeClassName() const override { return L"COMBOBOX"; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void TextChanged() override;
    AnsiString ReadCaption() const override;
    void WMDestroy(TWMDestroy& message) override;
    virtual void Change();
    virtual void Click();

private:
    static LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    void UnhookEdit();
    TItemStrings* items_;
    TComboBoxStyle style_ = csDropDown;
    int dropDownCount_ = 8;
    int itemIndex_ = -1; // while there is no window
    int quiet_ = 0;
    HWND edit_ = nullptr;
    WNDPROC editProc_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// List box

enum TListBoxStyle
{
    lbStandard,
    lbOwnerDrawFixed
};

enum TOwnerDrawStateItem
{
    odSelected,
    odGrayed,
    odDisabled,
    odChecked,
    odFocused
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem>;
using TDrawItemEvent = Closure<void(TWinControl* control, int index, const TRect& rect, TOwnerDrawState state)>;

// A single-selection list box. Owner-drawn, OnDrawItem gets each item with Canvas on the item's DC
// (the control's font, a clWindow or selected clHighlight brush); the focus rectangle is drawn
// after it, and the window keeps no text of its own, only the number of items (typing a letter
// does not look for an item). Items->BeginUpdate suspends redrawing until the matching EndUpdate.
class TListBox : public TStdControl
{
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;

    TStrings* Items() const { return items_; }
    int Count() const { return items_->GetCount(); }
    int ItemIndex();
    void SetItemIndex(int index);
    int TopIndex();
    void SetTopIndex(int index);
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int height);
    TListBoxStyle Style() const { return style_; }
    void SetStyle(TListBoxStyle style);
    TRect ItemRect(int index);
    int ItemAtPos(TPoint p, bool existing); // -1 (existing) or Count past the last item
    void Clear() { items_->Clear(); }
    TCanvas* Canvas() const { return canvas_; }

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TDrawItemEvent OnDrawItem;

protected:
    const wchar_t* NativeClassName() const override { return L"LISTBOX"; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void WMDestroy(TWMDestroy& message) override;
    virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);
    // Items were inserted at index (delta 1) or deleted there (delta -1); delta 0: all were cleared.
    virtual void ItemsMoved(int index, int delta) {}

private:
    friend class TListBoxStrings;
    void CNDrawItem(TMessage& message);
    TItemStrings* items_;
    TControlCanvas* canvas_;
    TListBoxStyle style_ = lbStandard;
    int itemHeight_ = 16;
    int itemIndex_ = -1; // while there is no window
};

// ---------------------------------------------------------------------------------------------
// Label and group box (drawn by the layer)

// Static text in the control's font, on the control's colour. With AutoSize the label is exactly as
// large as its text, whatever bounds it is given, so it never covers its neighbours. With
// ShowAccelChar (the default) "&S" shows S underlined and "&&" shows "&"; a label showing a user's
// text (a file name, a pattern) turns it off so that every "&" shows. Its access key focuses
// FocusControl, or without one the next control in tab order.
class TLabel : public TCustomControl
{
public:
    explicit TLabel(TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool show);
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control) { focusControl_ = control; }
    // Shows what its parent paints behind it instead of its own colour.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);

    void SetBounds(int left, int top, int width, int height) override;
    void Notification(TComponent* component, TOperation operation) override;

protected:
    void Paint() override;
    void Dispatch(TMessage& message) override;
    void TextChanged() override;
    void CMFontChanged(TMessage& message) override;

private:
    UINT TextFormat() const;
    void AdjustSize();
    bool autoSize_ = true;
    bool showAccelChar_ = true;
    bool transparent_ = false;
    TAlignment alignment_ = taLeftJustify;
    TWinControl* focusControl_ = nullptr;
};

// A frame with a caption holding other controls; the notifications of native controls on it go
// back to them.
class TGroupBox : public TCustomControl
{
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void Paint() override;
    void Dispatch(TMessage& message) override;
    void TextChanged() override;
};

// ---------------------------------------------------------------------------------------------
// Up-down

enum TUpDownDirection
{
    updNone,
    updUp,
    updDown
};
using TUDChangingEvent = Closure<void(TObject* sender, bool& allowChange)>;
using TUDChangingEventEx =
    Closure<void(TObject* sender, bool& allowChange, int newValue, TUpDownDirection direction)>;

// Arrows over a 32-bit range. With an Associate, the up-down sits at its right and shows Position
// in it as a decimal number (Position is read back from it, the last good position while its text
// is no number in range). A click asks OnChanging and OnChangingEx first; either may refuse the
// change.
class TUpDown : public TStdControl
{
public:
    explicit TUpDown(TComponent* owner);

    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position();
    void SetPosition(int value); // clamped to Min..Max
    int Increment() const { return increment_; }
    void SetIncrement(int value);
    bool Wrap() const { return wrap_; }
    void SetWrap(bool wrap);
    bool Thousands() const { return thousands_; }
    void SetThousands(bool thousands);
    TWinControl* Associate() const { return associate_; }
    void SetAssociate(TWinControl* control);

    TUDChangingEvent OnChanging;
    TUDChangingEventEx OnChangingEx;

    void Notification(TComponent* component, TOperation operation) override;

protected:
    const wchar_t* NativeClassName() const override { return UPDOWN_CLASSW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void WMDestroy(TWMDestroy& message) override;
    virtual bool CanChange(int newValue, TUpDownDirection direction);

private:
    void UpdateStyle();
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int increment_ = 1;
    bool wrap_ = false;
    bool thousands_ = true;
    TWinControl* associate_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Track bar

enum TTrackBarOrientation
{
    trHorizontal,
    trVertical
};

// A slider over Min..Max. OnChange fires whenever the position changes, by the user or by
// SetPosition, once per change.
class TTrackBar : public TStdControl
{
public:
    explicit TTrackBar(TComponent* owner);

    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Position();
    void SetPosition(int value); // clamped to Min..Max
    int PageSize() const { return pageSize_; }
    void SetPageSize(int value);
    int Frequency() const { return frequency_; } // a tick every Frequency positions
    void SetFrequency(int value);
    TTrackBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TTrackBarOrientation orientation); // before the window exists

    TNotifyEvent OnChange;

protected:
    const wchar_t* NativeClassName() const override { return TRACKBAR_CLASSW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void WMDestroy(TWMDestroy& message) override;
    virtual void Changed();

private:
    void Reposition(int value, bool toWindow);
    int min_ = 0;
    int max_ = 10;
    int position_ = 0;
    int pageSize_ = 2;
    int frequency_ = 1;
    TTrackBarOrientation orientation_ = trHorizontal;
};

// Names a new control, gives it its caption (when not empty) and bounds, and puts it on parent:
// the one step every dialog takes for each of its controls.
template <class T>
T* PlaceControl(TWinControl* parent, T* control, const char* name, const AnsiString& caption, int x, int y, int w,
                int h)
{
    if (name)
        control->SetName(name);
    if (!caption.IsEmpty())
        control->SetCaption(caption);
    control->SetBounds(x, y, w, h);
    control->SetParent(parent);
    return control;
}
