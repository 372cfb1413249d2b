#include "StdCtrls.h"

#include <algorithm>
#include <climits>

#include <imm.h>

#include "Clipbrd.h"
#include "Cp932.h"
#include "SysUtils.h"

namespace
{
// CP932 length of one UTF-16 unit (an unmappable one becomes one "?").
int SjisLength(wchar_t unit)
{
    return WideToSjis(&unit, 1).Length();
}

int SjisLength(const std::wstring& w, size_t from, size_t to)
{
    int n = 0;
    for (size_t i = from; i < to && i < w.size(); ++i)
        n += SjisLength(w[i]);
    return n;
}

// The UTF-16 offset that covers at most `bytes` CP932 bytes from the start of w.
int UnitsForBytes(const std::wstring& w, int bytes)
{
    int used = 0;
    size_t i = 0;
    for (; i < w.size(); ++i)
    {
        int n = SjisLength(w[i]);
        if (used + n > bytes)
            break;
        used += n;
    }
    return int(i);
}

std::wstring WindowTextW(HWND hwnd)
{
    int len = GetWindowTextLengthW(hwnd);
    std::wstring w(size_t(len) + 1, L'\0');
    len = GetWindowTextW(hwnd, w.data(), len + 1);
    w.resize(size_t(std::max(len, 0)));
    return w;
}

// The native control of the layer behind a window, or null.
TWinControl* NativeControlOf(HWND hwnd)
{
    return hwnd ? static_cast<TWinControl*>(GetPropW(hwnd, L"VnNativeControl")) : nullptr;
}

const wchar_t kComboEditProp[] = L"VnComboEdit";
} // namespace

// ---------------------------------------------------------------------------------------------
// TStdControl

void TStdControl::Dispatch(TMessage& message)
{
    if (message.Msg == WM_CHAR)
    {
        HandleKeyMessage(message, [](TStdControl* c, TMessage& m) { c->KeyChar(m); });
        return;
    }
    TNativeControl::Dispatch(message);
}

void TStdControl::HandleKeyMessage(TMessage& message, void (*pass)(TStdControl*, TMessage&))
{
    switch (message.Msg)
    {
    case WM_KEYDOWN:
    case WM_KEYUP:
    {
        TWMKey key(message);
        if (message.Msg == WM_KEYDOWN ? DoKeyDown(key) : DoKeyUp(key))
        {
            message.Result = 0;
            return;
        }
        message.WParam = key.WParam;
        break;
    }
    case WM_CHAR:
    {
        wchar_t unit = wchar_t(message.WParam);
        if (IS_HIGH_SURROGATE(unit) || IS_LOW_SURROGATE(unit))
            break;
        AnsiString bytes = WideToSjis(&unit, 1);
        AnsiString changed;
        for (int i = 1; i <= bytes.Length(); ++i)
        {
            TMessage part = message;
            part.WParam = bytes.Byte(i);
            TWMKey key(part);
            if (DoKeyPress(key))
            {
                message.Result = 0;
                return;
            }
            changed += char(key.CharCode);
        }
        if (changed != bytes)
        {
            std::wstring w = SjisToWide(changed);
            if (w.size() == 1)
                message.WParam = w[0];
        }
        break;
    }
    default: break;
    }
    pass(this, message);
}

// ---------------------------------------------------------------------------------------------
// TButton

TButton::TButton(TComponent* owner) : TStdControl(owner)
{
    width_ = 75;
    height_ = 25;
    SetTabStop(true);
}

void TButton::SetDefault(bool value)
{
    if (value == default_)
        return;
    default_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click()
{
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(modalResult_);
    if (OnClick)
        OnClick(this);
}

void TButton::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED)
            Click();
        message.Result = 0;
        return;
    case CM_DIALOGKEY:
    {
        // Enter belongs to the focused button, else to the default one unless another button
        // has the focus; Esc to the cancel button.
        bool take = false;
        if (message.WParam == VK_RETURN)
            take = Focused() || (default_ && !dynamic_cast<TButton*>(NativeControlOf(GetFocus())));
        else if (message.WParam == VK_ESCAPE)
            take = cancel_;
        if (take && Visible() && Enabled())
        {
            Click();
            message.Result = 1;
        }
        else
        {
            message.Result = 0;
        }
        return;
    }
    case CM_DIALOGCHAR:
        message.Result = IsAccel(unsigned(message.WParam), Caption()) ? 1 : 0;
        if (message.Result)
            Click();
        return;
    default: TStdControl::Dispatch(message); return;
    }
}

// ---------------------------------------------------------------------------------------------
// TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TStdControl(owner)
{
    width_ = 97;
    height_ = 17;
    SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= BS_CHECKBOX; // not automatic: the object owns the state
}

void TCheckBox::HandleCreated()
{
    SendMessageW(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == checked_)
        return;
    checked_ = checked;
    if (HandleAllocated())
        SendMessageW(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (OnClick)
        OnClick(this);
}

void TCheckBox::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED)
            SetChecked(!checked_);
        message.Result = 0;
        return;
    case CM_DIALOGCHAR:
        message.Result = IsAccel(unsigned(message.WParam), Caption()) ? 1 : 0;
        if (message.Result)
        {
            SetFocus();
            SetChecked(!checked_);
        }
        return;
    default: TStdControl::Dispatch(message); return;
    }
}

// ---------------------------------------------------------------------------------------------
// TRadioButton

TRadioButton::TRadioButton(TComponent* owner) : TStdControl(owner)
{
    width_ = 113;
    height_ = 17;
}

void TRadioButton::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= BS_RADIOBUTTON; // not automatic: the object owns the state and the group
}

void TRadioButton::HandleCreated()
{
    ShowCheck();
}

void TRadioButton::ShowCheck()
{
    if (HandleAllocated())
        SendMessageW(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
    // Only the checked button of a group is a tab stop, as in a dialog.
    SetTabStop(checked_);
}

void TRadioButton::SetChecked(bool checked)
{
    if (checked == checked_)
        return;
    checked_ = checked;
    ShowCheck();
    if (!checked)
        return;
    if (TWinControl* parent = Parent())
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* sibling = dynamic_cast<TRadioButton*>(parent->Controls(i)); sibling && sibling != this)
                sibling->SetChecked(false);
    if (OnClick)
        OnClick(this);
}

void TRadioButton::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED)
            SetChecked(true);
        message.Result = 0;
        return;
    case CM_DIALOGCHAR:
        message.Result = IsAccel(unsigned(message.WParam), Caption()) ? 1 : 0;
        if (message.Result)
        {
            SetChecked(true); // first: only the checked button of a group is a tab stop
            SetFocus();
        }
        return;
    default: TStdControl::Dispatch(message); return;
    }
}

// ---------------------------------------------------------------------------------------------
// TEdit

TEdit::TEdit(TComponent* owner) : TStdControl(owner)
{
    width_ = 121;
    height_ = 21;
    color_ = clWindow;
    SetTabStop(true);
}

void TEdit::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= ES_AUTOHSCROLL | ES_LEFT;
    if (passwordChar_)
        params.Style |= ES_PASSWORD;
    if (readOnly_)
        params.Style |= ES_READONLY;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::HandleCreated()
{
    // A character is at least one byte, so the unit limit never cuts below the byte limit.
    SendMessageW(handle_, EM_LIMITTEXT, WPARAM(maxLength_), 0);
    if (passwordChar_)
        SetPasswordChar(passwordChar_);
    ApplyImeMode();
}

void TEdit::SetText(const AnsiString& text)
{
    if (text == Text())
        return;
    text_ = text;
    TextChanged();
}

void TEdit::TextChanged()
{
    ++quiet_;
    try
    {
        TStdControl::TextChanged();
    }
    catch (...)
    {
        --quiet_;
        throw;
    }
    --quiet_;
    Change();
}

void TEdit::Change()
{
    if (OnChange)
        OnChange(this);
}

void TEdit::SetMaxLength(int bytes)
{
    maxLength_ = std::max(bytes, 0);
    if (HandleAllocated())
        SendMessageW(handle_, EM_LIMITTEXT, WPARAM(maxLength_), 0);
}

void TEdit::SetPasswordChar(char c)
{
    bool styleChange = (c != 0) != (passwordChar_ != 0);
    passwordChar_ = c;
    if (!HandleAllocated())
        return;
    wchar_t wide = 0;
    if (c)
    {
        std::wstring w = SjisToWide(&c, 1);
        wide = w.empty() ? L'*' : w[0];
    }
    SendMessageW(handle_, EM_SETPASSWORDCHAR, WPARAM(wide), 0);
    if (styleChange)
        Invalidate();
}

void TEdit::SetReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    if (HandleAllocated())
        SendMessageW(handle_, EM_SETREADONLY, readOnly, 0);
}

void TEdit::SetImeMode(TImeMode mode)
{
    imeMode_ = mode;
    if (HandleAllocated())
        ApplyImeMode();
}

void TEdit::ApplyImeMode()
{
    // With no input context the input method cannot be switched on in this edit at all.
    ImmAssociateContextEx(handle_, nullptr, imeMode_ == imDisable ? 0 : IACE_DEFAULT);
}

void TEdit::WMSetFocus(TWMSetFocus& message)
{
    TStdControl::WMSetFocus(message);
    if (imeMode_ != imClose && imeMode_ != imOpen)
        return;
    if (HIMC imc = ImmGetContext(handle_))
    {
        ImmSetOpenStatus(imc, imeMode_ == imOpen);
        ImmReleaseContext(handle_, imc);
    }
}

void TEdit::WMDestroy(TWMDestroy& message)
{
    text_ = Caption(); // the text outlives the window
    TStdControl::WMDestroy(message);
}

void TEdit::Dispatch(TMessage& message)
{
    if (message.Msg == CN_COMMAND)
    {
        if (HIWORD(message.WParam) == EN_CHANGE && !quiet_)
            Change();
        message.Result = 0;
        return;
    }
    TStdControl::Dispatch(message);
}

int TEdit::Room()
{
    if (maxLength_ <= 0)
        return INT_MAX;
    std::wstring w = WindowTextW(handle_);
    DWORD start = 0, end = 0;
    SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    int kept = SjisLength(w, 0, start) + SjisLength(w, end, w.size());
    return maxLength_ - kept;
}

void TEdit::KeyChar(TMessage& message)
{
    wchar_t unit = wchar_t(message.WParam);
    if (unit >= L' ' && !readOnly_ && SjisLength(unit) > Room())
    {
        MessageBeep(MB_OK);
        message.Result = 0;
        return;
    }
    DefaultHandler(message);
}

void TEdit::WMPaste(TMessage& message)
{
    if (maxLength_ <= 0 || readOnly_)
    {
        DefaultHandler(message);
        return;
    }
    // Paste what fits, the first line only, never half of a double-byte character.
    AnsiString text = Clipboard()->GetAsText();
    for (int i = 1; i <= text.Length(); ++i)
        if (text[i] == '\r' || text[i] == '\n')
        {
            text = text.SubString(1, i - 1);
            break;
        }
    std::wstring w = SjisToWide(text);
    w.resize(size_t(UnitsForBytes(w, std::max(Room(), 0))));
    if (w.size() < size_t(SjisToWide(text).size()))
        MessageBeep(MB_OK);
    SendMessageW(handle_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
    message.Result = 0;
}

int TEdit::SelStart()
{
    if (!HandleAllocated())
        return 0;
    DWORD start = 0, end = 0;
    SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return SjisLength(WindowTextW(handle_), 0, start);
}

int TEdit::SelLength()
{
    if (!HandleAllocated())
        return 0;
    DWORD start = 0, end = 0;
    SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return SjisLength(WindowTextW(handle_), start, end);
}

void TEdit::Select(int startBytes, int lengthBytes)
{
    std::wstring w = WindowTextW(Handle());
    int start = UnitsForBytes(w, std::max(startBytes, 0));
    int end = UnitsForBytes(w, std::max(startBytes, 0) + std::max(lengthBytes, 0));
    SendMessageW(handle_, EM_SETSEL, WPARAM(start), LPARAM(end));
}

void TEdit::SetSelStart(int bytes)
{
    Select(bytes, 0);
}

void TEdit::SetSelLength(int bytes)
{
    Select(SelStart(), bytes);
}

AnsiString TEdit::SelText()
{
    if (!HandleAllocated())
        return AnsiString();
    std::wstring w = WindowTextW(handle_);
    DWORD start = 0, end = 0;
    SendMessageW(handle_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    start = std::min<DWORD>(start, DWORD(w.size()));
    end = std::min<DWORD>(std::max(start, end), DWORD(w.size()));
    return WideToSjis(w.c_str() + start, int(end - start));
}

void TEdit::SetSelText(const AnsiString& text)
{
    std::wstring w = SjisToWide(text);
    SendMessageW(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(w.c_str()));
}

void TEdit::SelectAll()
{
    if (HandleAllocated())
        SendMessageW(handle_, EM_SETSEL, 0, -1);
}

// ---------------------------------------------------------------------------------------------
// TItemStrings

void TItemStrings::CheckIndex(int index, bool inserting)
{
    if (index < 0 || index > GetCount() || (!inserting && index == GetCount()))
        throw EListError("リストの番号が範囲外です (" + AnsiString(index) + ")");
}

AnsiString TItemStrings::Get(int index)
{
    CheckIndex(index);
    return items_[size_t(index)].text;
}

TObject* TItemStrings::GetObject(int index)
{
    CheckIndex(index);
    return items_[size_t(index)].object;
}

void TItemStrings::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    changed_ = true;
    items_[size_t(index)].object = object;
}

void TItemStrings::InsertIntoWindow(int index, const AnsiString& s)
{
    HWND hwnd = Window();
    if (!hwnd)
        return;
    LRESULT r = 0;
    if (CountOnly())
    {
        // Called before the item joins the list: an index at its end adds the item.
        if (UpdateCount() > 0 && index == GetCount())
        {
            countBehind_ = true;
            return;
        }
        SyncWindow();
        r = SendMessageW(hwnd, InsertMsg(), WPARAM(index), 0);
    }
    else
    {
        std::wstring w = SjisToWide(s);
        r = SendMessageW(hwnd, InsertMsg(), WPARAM(index), reinterpret_cast<LPARAM>(w.c_str()));
    }
    if (r < 0)
        throw EOutOfMemory("項目を追加できません");
}

void TItemStrings::SyncWindow()
{
    if (!countBehind_)
        return;
    countBehind_ = false;
    if (HWND hwnd = Window())
        if (SendMessageW(hwnd, LB_SETCOUNT, WPARAM(items_.size()), 0) < 0)
            throw EOutOfMemory("項目を追加できません");
}

void TItemStrings::Insert(int index, const AnsiString& s)
{
    CheckIndex(index, true);
    changed_ = true;
    InsertIntoWindow(index, s);
    items_.insert(items_.begin() + index, Item{s, nullptr});
}

void TItemStrings::Put(int index, const AnsiString& s)
{
    CheckIndex(index);
    TObject* object = items_[size_t(index)].object;
    HWND hwnd = Window();
    int selected = hwnd ? int(SendMessageW(hwnd, InsertMsg() == LB_INSERTSTRING ? LB_GETCURSEL : CB_GETCURSEL,
                                           0, 0))
                        : -1;
    Delete(index);
    Insert(index, s);
    items_[size_t(index)].object = object;
    if (hwnd && selected == index)
        SendMessageW(hwnd, InsertMsg() == LB_INSERTSTRING ? LB_SETCURSEL : CB_SETCURSEL, WPARAM(index), 0);
}

void TItemStrings::Delete(int index)
{
    CheckIndex(index);
    changed_ = true;
    SyncWindow();
    if (HWND hwnd = Window())
        SendMessageW(hwnd, DeleteMsg(), WPARAM(index), 0);
    items_.erase(items_.begin() + index);
}

void TItemStrings::Clear()
{
    changed_ = true;
    countBehind_ = false;
    if (HWND hwnd = Window())
        SendMessageW(hwnd, ResetMsg(), 0, 0);
    items_.clear();
}

namespace
{
class TComboBoxStrings : public TItemStrings
{
public:
    explicit TComboBoxStrings(TNativeControl* control) : TItemStrings(control), combo_(control) {}

protected:
    HWND Window() override { return combo_->HandleAllocated() ? combo_->Handle() : nullptr; }
    UINT InsertMsg() const override { return CB_INSERTSTRING; }
    UINT DeleteMsg() const override { return CB_DELETESTRING; }
    UINT ResetMsg() const override { return CB_RESETCONTENT; }

private:
    TNativeControl* combo_;
};
} // namespace

class TListBoxStrings : public TItemStrings
{
public:
    explicit TListBoxStrings(TListBox* control) : TItemStrings(control), list_(control) {}

protected:
    HWND Window() override { return list_->HandleAllocated() ? list_->Handle() : nullptr; }
    UINT InsertMsg() const override { return LB_INSERTSTRING; }
    UINT DeleteMsg() const override { return LB_DELETESTRING; }
    UINT ResetMsg() const override { return LB_RESETCONTENT; }
    // The list box hears of items coming and going; a replaced item stays where it was.
    void Insert(int index, const AnsiString& s) override
    {
        TItemStrings::Insert(index, s);
        if (!putting_)
            list_->ItemsMoved(index, 1);
    }
    void Delete(int index) override
    {
        TItemStrings::Delete(index);
        if (!putting_)
            list_->ItemsMoved(index, -1);
    }
    void Clear() override
    {
        TItemStrings::Clear();
        list_->ItemsMoved(0, 0);
    }
    void Put(int index, const AnsiString& s) override
    {
        putting_ = true;
        try
        {
            TItemStrings::Put(index, s);
        }
        catch (...)
        {
            putting_ = false;
            throw;
        }
        putting_ = false;
    }
    bool CountOnly() override { return list_->Style() == lbOwnerDrawFixed; }
    void SetUpdateState(bool updating) override
    {
        if (updating)
            changed_ = false;
        else
            SyncWindow();
        if (HWND hwnd = Window())
        {
            SendMessageW(hwnd, WM_SETREDRAW, updating ? FALSE : TRUE, 0);
            // Drawn anew only when something changed: a caller that holds the drawing around
            // each round of its work would otherwise keep the window painting.
            if (!updating && changed_)
                InvalidateRect(hwnd, nullptr, TRUE);
        }
    }

private:
    TListBox* list_;
    bool putting_ = false;
};

// ---------------------------------------------------------------------------------------------
// TComboBox

TComboBox::TComboBox(TComponent* owner) : TStdControl(owner), items_(new TComboBoxStrings(this))
{
    width_ = 145;
    height_ = 21;
    color_ = clWindow;
    SetTabStop(true);
}

TComboBox::~TComboBox()
{
    delete items_;
    items_ = nullptr;
}

void TComboBox::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | (style_ == csDropDownList ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    // The window's height includes the dropped-down list.
    params.Height = height_ + std::max(dropDownCount_, 1) * 18 + 2;
}

void TComboBox::HandleCreated()
{
    ++quiet_;
    for (size_t i = 0; i < items_->items_.size(); ++i)
        items_->InsertIntoWindow(int(i), items_->items_[i].text);
    if (itemIndex_ >= 0)
        SendMessageW(handle_, CB_SETCURSEL, WPARAM(itemIndex_), 0);
    else if (style_ == csDropDown)
    {
        std::wstring w = SjisToWide(text_);
        SetWindowTextW(handle_, w.c_str());
    }
    --quiet_;
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (style_ == csDropDown && GetComboBoxInfo(handle_, &info) && info.hwndItem)
    {
        // The edit inside gets the keys first; its key events are the combo box's.
        edit_ = info.hwndItem;
        SetPropW(edit_, kComboEditProp, this);
        editProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TComboBox::EditProc)));
    }
}

LRESULT CALLBACK TComboBox::EditProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    auto* combo = static_cast<TComboBox*>(GetPropW(hwnd, kComboEditProp));
    if (!combo || !combo->editProc_)
        return DefWindowProcW(hwnd, msg, wparam, lparam);
    WNDPROC native = combo->editProc_;
    if (msg == WM_NCDESTROY)
    {
        combo->UnhookEdit();
        return CallWindowProcW(native, hwnd, msg, wparam, lparam);
    }
    if (msg == WM_SETFOCUS)
    {
        // A click into the edit focuses the combo box as far as its form is concerned.
        LRESULT result = CallWindowProcW(native, hwnd, msg, wparam, lparam);
        GuardedCall(combo, [combo] { combo->FocusReceived(); });
        return result;
    }
    TMessage message;
    message.Msg = msg;
    message.WParam = wparam;
    message.LParam = lparam;
    if (msg != WM_KEYDOWN && msg != WM_KEYUP && msg != WM_CHAR)
        return CallWindowProcW(native, hwnd, msg, wparam, lparam);
    GuardedCall(combo, [&] {
        combo->HandleKeyMessage(message, [](TStdControl* c, TMessage& m) {
            auto* self = static_cast<TComboBox*>(c);
            m.Result = self->edit_ ? CallWindowProcW(self->editProc_, self->edit_, m.Msg, m.WParam, m.LParam) : 0;
        });
    });
    return message.Result;
}

void TComboBox::UnhookEdit()
{
    if (!edit_)
        return;
    SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editProc_));
    RemovePropW(edit_, kComboEditProp);
    edit_ = nullptr;
    editProc_ = nullptr;
}

void TComboBox::WMDestroy(TWMDestroy& message)
{
    itemIndex_ = int(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
    text_ = ReadCaption();
    UnhookEdit();
    TStdControl::WMDestroy(message);
}

void TComboBox::SetStyle(TComboBoxStyle style)
{
    if (style == style_)
        return;
    if (HandleAllocated())
    {
        // The style of a combo box is fixed when its window is made: make it anew.
        style_ = style;
        RecreateWnd();
        return;
    }
    style_ = style;
}

int TComboBox::ItemIndex()
{
    return HandleAllocated() ? int(SendMessageW(handle_, CB_GETCURSEL, 0, 0)) : itemIndex_;
}

void TComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= items_->GetCount())
        index = -1;
    itemIndex_ = index;
    if (index >= 0)
        text_ = items_->Get(index);
    if (HandleAllocated())
    {
        ++quiet_;
        SendMessageW(handle_, CB_SETCURSEL, WPARAM(index), 0);
        --quiet_;
    }
}

AnsiString TComboBox::ReadCaption() const
{
    if (!handle_)
        return itemIndex_ >= 0 || style_ == csDropDown ? text_ : AnsiString();
    return TStdControl::ReadCaption();
}

void TComboBox::TextChanged()
{
    if (!HandleAllocated())
        return;
    ++quiet_;
    if (style_ == csDropDownList)
    {
        // A drop-down list shows only its items: the text selects the item of that text.
        int index = items_->IndexOf(text_);
        itemIndex_ = index;
        SendMessageW(handle_, CB_SETCURSEL, WPARAM(index), 0);
    }
    else
    {
        std::wstring w = SjisToWide(text_);
        SetWindowTextW(handle_, w.c_str());
    }
    --quiet_;
}

bool TComboBox::DroppedDown()
{
    return HandleAllocated() && SendMessageW(handle_, CB_GETDROPPEDSTATE, 0, 0);
}

void TComboBox::SetDroppedDown(bool dropped)
{
    SendMessageW(Handle(), CB_SHOWDROPDOWN, dropped, 0);
}

void TComboBox::Change()
{
    if (OnChange)
        OnChange(this);
}

void TComboBox::Click()
{
    if (OnClick)
        OnClick(this);
}

void TComboBox::Dispatch(TMessage& message)
{
    if (message.Msg != CN_COMMAND)
    {
        TStdControl::Dispatch(message);
        return;
    }
    message.Result = 0;
    if (quiet_)
        return;
    switch (HIWORD(message.WParam))
    {
    case CBN_EDITCHANGE: Change(); break;
    case CBN_SELCHANGE:
    {
        // The system writes the picked item into the edit only afterwards; the events see it now.
        int index = int(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
        if (index >= 0 && index < items_->GetCount() && style_ == csDropDown)
        {
            ++quiet_;
            std::wstring w = SjisToWide(items_->Get(index));
            SetWindowTextW(handle_, w.c_str());
            SendMessageW(handle_, CB_SETCURSEL, WPARAM(index), 0);
            --quiet_;
        }
        Click();
        Change();
        break;
    }
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// TListBox

TListBox::TListBox(TComponent* owner)
    : TStdControl(owner), items_(new TListBoxStrings(this)), canvas_(new TControlCanvas(this))
{
    width_ = 121;
    height_ = 97;
    color_ = clWindow;
    SetTabStop(true);
}

TListBox::~TListBox()
{
    delete items_;
    items_ = nullptr;
    delete canvas_;
    canvas_ = nullptr;
}

void TListBox::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
    // Owner-drawn items are drawn from the control's own list: the window needs only their
    // number, and a search that lists many hits adds them without a message each.
    params.Style |= style_ == lbOwnerDrawFixed ? LBS_OWNERDRAWFIXED | LBS_NODATA : LBS_HASSTRINGS;
    params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TListBox::HandleCreated()
{
    if (style_ == lbOwnerDrawFixed)
    {
        SendMessageW(handle_, LB_SETITEMHEIGHT, 0, itemHeight_);
        items_->countBehind_ = !items_->items_.empty();
        items_->SyncWindow();
    }
    else
        for (size_t i = 0; i < items_->items_.size(); ++i)
            items_->InsertIntoWindow(int(i), items_->items_[i].text);
    if (itemIndex_ >= 0)
        SendMessageW(handle_, LB_SETCURSEL, WPARAM(itemIndex_), 0);
}

void TListBox::WMDestroy(TWMDestroy& message)
{
    canvas_->FreeHandle();
    itemIndex_ = int(SendMessageW(handle_, LB_GETCURSEL, 0, 0));
    TStdControl::WMDestroy(message);
}

void TListBox::SetStyle(TListBoxStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    RecreateWnd();
}

void TListBox::SetItemHeight(int height)
{
    if (height <= 0)
        return;
    itemHeight_ = height;
    if (HandleAllocated() && style_ == lbOwnerDrawFixed)
    {
        SendMessageW(handle_, LB_SETITEMHEIGHT, 0, height);
        Invalidate();
    }
}

int TListBox::ItemIndex()
{
    return HandleAllocated() ? int(SendMessageW(handle_, LB_GETCURSEL, 0, 0)) : itemIndex_;
}

void TListBox::SetItemIndex(int index)
{
    if (index < -1 || index >= Count())
        index = -1;
    itemIndex_ = index;
    items_->SyncWindow();
    if (HandleAllocated())
        SendMessageW(handle_, LB_SETCURSEL, WPARAM(index), 0);
}

int TListBox::TopIndex()
{
    return HandleAllocated() ? int(SendMessageW(handle_, LB_GETTOPINDEX, 0, 0)) : 0;
}

void TListBox::SetTopIndex(int index)
{
    items_->SyncWindow();
    SendMessageW(Handle(), LB_SETTOPINDEX, WPARAM(std::max(index, 0)), 0);
}

TRect TListBox::ItemRect(int index)
{
    RECT r{};
    items_->SyncWindow();
    if (SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)) == LB_ERR)
        return TRect();
    return TRect(r.left, r.top, r.right, r.bottom);
}

int TListBox::ItemAtPos(TPoint p, bool existing)
{
    TRect client = ClientRect();
    int height = int(SendMessageW(Handle(), LB_GETITEMHEIGHT, 0, 0));
    if (height <= 0 || p.x < client.Left || p.x >= client.Right || p.y < 0)
        return existing ? -1 : Count();
    int index = TopIndex() + p.y / height;
    if (index >= Count())
        return existing ? -1 : Count();
    return index;
}

void TListBox::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case CN_COMMAND:
        switch (HIWORD(message.WParam))
        {
        case LBN_SELCHANGE:
            if (OnClick)
                OnClick(this);
            break;
        case LBN_DBLCLK:
            if (OnDblClick)
                OnDblClick(this);
            break;
        default: break;
        }
        message.Result = 0;
        return;
    case CN_DRAWITEM: CNDrawItem(message); return;
    default: TStdControl::Dispatch(message); return;
    }
}

void TListBox::CNDrawItem(TMessage& message)
{
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
    message.Result = TRUE;
    if (int(item->itemID) < 0)
        return; // an empty list draws only its focus
    TOwnerDrawState state;
    if (item->itemState & ODS_SELECTED)
        state << odSelected;
    if (item->itemState & ODS_GRAYED)
        state << odGrayed;
    if (item->itemState & ODS_DISABLED)
        state << odDisabled;
    if (item->itemState & ODS_CHECKED)
        state << odChecked;
    if (item->itemState & ODS_FOCUS)
        state << odFocused;
    struct Scope
    {
        TCanvas* canvas;
        ~Scope() { canvas->SetHandle(nullptr); }
    } scope{canvas_};
    canvas_->SetHandle(item->hDC);
    // Each item starts from the same canvas, whatever the previous one left in it.
    canvas_->SetFont(Font());
    canvas_->Brush()->SetStyle(bsSolid);
    if (state.Contains(odSelected))
    {
        canvas_->Brush()->SetColor(clHighlight);
        canvas_->Font()->SetColor(clHighlightText);
    }
    else
    {
        canvas_->Brush()->SetColor(color_);
    }
    TRect rect(item->rcItem.left, item->rcItem.top, item->rcItem.right, item->rcItem.bottom);
    DrawItem(int(item->itemID), rect, state);
    if (state.Contains(odFocused))
    {
        RECT r = item->rcItem;
        DrawFocusRect(item->hDC, &r);
    }
}

void TListBox::DrawItem(int index, const TRect& rect, TOwnerDrawState state)
{
    if (OnDrawItem)
    {
        OnDrawItem(this, index, rect, state);
        return;
    }
    canvas_->FillRect(rect);
    if (index < Count())
        canvas_->TextOut(rect.Left + 2, rect.Top, items_->Get(index));
}

// ---------------------------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* owner) : TCustomControl(owner)
{
    width_ = 65;
    height_ = 17;
}

void TLabel::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetAlignment(TAlignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    Invalidate();
}

void TLabel::TextChanged()
{
    TCustomControl::TextChanged();
    AdjustSize();
    Invalidate();
}

void TLabel::CMFontChanged(TMessage& message)
{
    AdjustSize();
    TCustomControl::CMFontChanged(message);
}

void TLabel::SetShowAccelChar(bool show)
{
    if (show == showAccelChar_)
        return;
    showAccelChar_ = show;
    AdjustSize();
    Invalidate();
}

void TLabel::Notification(TComponent* component, TOperation operation)
{
    TCustomControl::Notification(component, operation);
    if (operation == opRemove && component == focusControl_)
        focusControl_ = nullptr;
}

UINT TLabel::TextFormat() const
{
    UINT format = DT_SINGLELINE | DT_TOP;
    if (!showAccelChar_)
        format |= DT_NOPREFIX;
    format |= alignment_ == taCenter ? DT_CENTER : alignment_ == taRightJustify ? DT_RIGHT : DT_LEFT;
    return format;
}

void TLabel::AdjustSize()
{
    if (autoSize_)
        SetBounds(left_, top_, width_, height_);
}

void TLabel::SetBounds(int left, int top, int width, int height)
{
    if (autoSize_)
    {
        if (HDC dc = GetDC(nullptr))
        {
            HGDIOBJ old = SelectObject(dc, Font()->Handle());
            std::wstring w = SjisToWide(text_);
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            RECT r{0, 0, 0, 0};
            if (!w.empty())
                DrawTextW(dc, w.c_str(), int(w.size()), &r, TextFormat() | DT_CALCRECT);
            SelectObject(dc, old);
            ReleaseDC(nullptr, dc);
            width = r.right - r.left;
            height = std::max<int>(r.bottom - r.top, tm.tmHeight);
        }
    }
    TCustomControl::SetBounds(left, top, width, height);
}

void TLabel::Dispatch(TMessage& message)
{
    if (message.Msg == WM_ERASEBKGND && transparent_)
    {
        message.Result = 1; // the paint shows the parent's background
        return;
    }
    if (message.Msg != CM_DIALOGCHAR)
    {
        TCustomControl::Dispatch(message);
        return;
    }
    message.Result = 0;
    TCustomForm* form = GetParentForm(this);
    if (!form || !showAccelChar_ || !IsAccel(unsigned(message.WParam), Caption()))
        return;
    if (focusControl_ && focusControl_->CanFocus())
        form->SelectControl(focusControl_);
    else
        form->SelectNext(this, true);
    message.Result = 1;
}

void TLabel::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    Invalidate();
}

void TLabel::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color_);
    TRect client = ClientRect();
    if (transparent_ && Parent())
    {
        // The parent erases its background under the label, as if the label were not there.
        HDC dc = canvas->Handle();
        POINT origin{};
        GetWindowOrgEx(dc, &origin);
        SetWindowOrgEx(dc, origin.x + Left(), origin.y + Top(), nullptr);
        Parent()->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc));
        SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
    }
    else
    {
        canvas->FillRect(client);
    }
    std::wstring w = SjisToWide(Caption());
    RECT r{client.Left, client.Top, client.Right, client.Bottom};
    UINT format = TextFormat();
    HDC dc = canvas->Handle();
    SetBkMode(dc, TRANSPARENT);
    if (!Enabled())
        SetTextColor(dc, ColorToRGB(clGrayText));
    DrawTextW(dc, w.c_str(), int(w.size()), &r, format);
}

// ---------------------------------------------------------------------------------------------
// TGroupBox

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner)
{
    width_ = 185;
    height_ = 105;
}

void TGroupBox::TextChanged()
{
    TCustomControl::TextChanged();
    Invalidate();
}

void TGroupBox::Dispatch(TMessage& message)
{
    if (IsReflectedMessage(message.Msg) &&
        ReflectControlMessage(message))
        return;
    TCustomControl::Dispatch(message);
}

void TGroupBox::Paint()
{
    TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color_);
    TRect client = ClientRect();
    canvas->FillRect(client);
    HDC dc = canvas->Handle();
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    RECT frame{client.Left, client.Top + tm.tmHeight / 2, client.Right, client.Bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    std::wstring w = SjisToWide(Caption());
    if (w.empty())
        return;
    // The caption breaks the frame's top line.
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &size);
    RECT text{client.Left + 8, client.Top, client.Left + 8 + size.cx + 4, client.Top + tm.tmHeight};
    canvas->FillRect(TRect(text.left, text.top, text.right, text.bottom));
    SetBkMode(dc, TRANSPARENT);
    if (!Enabled())
        SetTextColor(dc, ColorToRGB(clGrayText));
    text.left += 2;
    DrawTextW(dc, w.c_str(), int(w.size()), &text, DT_NOPREFIX | DT_SINGLELINE | DT_LEFT | DT_TOP);
}

// ---------------------------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(TComponent* owner) : TStdControl(owner)
{
    width_ = 17;
    height_ = 25;
}

void TUpDown::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= UDS_ARROWKEYS | UDS_ALIGNRIGHT | UDS_SETBUDDYINT;
    if (wrap_)
        params.Style |= UDS_WRAP;
    if (!thousands_)
        params.Style |= UDS_NOTHOUSANDS;
}

void TUpDown::HandleCreated()
{
    SendMessageW(handle_, UDM_SETRANGE32, WPARAM(min_), LPARAM(max_));
    UDACCEL accel{0, UINT(increment_)};
    SendMessageW(handle_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
    if (associate_)
        SendMessageW(handle_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(associate_->Handle()), 0);
    SendMessageW(handle_, UDM_SETPOS32, 0, LPARAM(position_));
}

void TUpDown::WMDestroy(TWMDestroy& message)
{
    position_ = Position();
    TStdControl::WMDestroy(message);
}

void TUpDown::UpdateStyle()
{
    if (!HandleAllocated())
        return;
    LONG style = GetWindowLongW(handle_, GWL_STYLE) & ~LONG(UDS_WRAP | UDS_NOTHOUSANDS);
    if (wrap_)
        style |= UDS_WRAP;
    if (!thousands_)
        style |= UDS_NOTHOUSANDS;
    SetWindowLongW(handle_, GWL_STYLE, style);
    SendMessageW(handle_, UDM_SETPOS32, 0, LPARAM(Position())); // rewrites the associate's text
}

void TUpDown::SetMin(int value)
{
    min_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, UDM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

void TUpDown::SetMax(int value)
{
    max_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, UDM_SETRANGE32, WPARAM(min_), LPARAM(max_));
}

int TUpDown::Position()
{
    if (!HandleAllocated())
        return position_;
    // The control answers its own position even when it raises its error flag, which says only
    // that no number was read from the associate (always so without one): the last good position.
    const int pos = int(SendMessageW(handle_, UDM_GETPOS32, 0, 0));
    position_ = std::clamp(pos, std::min(min_, max_), std::max(min_, max_));
    return position_;
}

void TUpDown::SetPosition(int value)
{
    position_ = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (HandleAllocated())
        SendMessageW(handle_, UDM_SETPOS32, 0, LPARAM(position_));
}

void TUpDown::SetIncrement(int value)
{
    increment_ = value;
    if (HandleAllocated())
    {
        UDACCEL accel{0, UINT(increment_)};
        SendMessageW(handle_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
    }
}

void TUpDown::SetWrap(bool wrap)
{
    wrap_ = wrap;
    UpdateStyle();
}

void TUpDown::SetThousands(bool thousands)
{
    thousands_ = thousands;
    UpdateStyle();
}

void TUpDown::SetAssociate(TWinControl* control)
{
    if (control == associate_)
        return;
    if (HandleAllocated() && associate_)
        SendMessageW(handle_, UDM_SETBUDDY, 0, 0);
    associate_ = control;
    if (HandleAllocated() && control)
    {
        SendMessageW(handle_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(control->Handle()), 0);
        SendMessageW(handle_, UDM_SETPOS32, 0, LPARAM(position_));
    }
}

void TUpDown::Notification(TComponent* component, TOperation operation)
{
    TStdControl::Notification(component, operation);
    if (operation == opRemove && component == associate_)
        SetAssociate(nullptr);
}

bool TUpDown::CanChange(int newValue, TUpDownDirection direction)
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    if (allow && OnChangingEx)
        OnChangingEx(this, allow, newValue, direction);
    return allow;
}

void TUpDown::Dispatch(TMessage& message)
{
    if (message.Msg == CN_NOTIFY)
    {
        auto* header = reinterpret_cast<NMHDR*>(message.LParam);
        message.Result = 0;
        if (header->code == UDN_DELTAPOS)
        {
            auto* ud = reinterpret_cast<NMUPDOWN*>(message.LParam);
            TUpDownDirection direction = ud->iDelta > 0 ? updUp : ud->iDelta < 0 ? updDown : updNone;
            if (!CanChange(ud->iPos + ud->iDelta, direction))
                message.Result = 1; // refuses the change
        }
        return;
    }
    TStdControl::Dispatch(message);
}

// ---------------------------------------------------------------------------------------------
// TTrackBar

TTrackBar::TTrackBar(TComponent* owner) : TStdControl(owner)
{
    width_ = 150;
    height_ = 45;
    SetTabStop(true);
}

void TTrackBar::CreateParams(TCreateParams& params)
{
    TStdControl::CreateParams(params);
    params.Style |= TBS_AUTOTICKS | WS_TABSTOP | (orientation_ == trVertical ? TBS_VERT : TBS_HORZ);
}

void TTrackBar::HandleCreated()
{
    SendMessageW(handle_, TBM_SETRANGEMIN, FALSE, min_);
    SendMessageW(handle_, TBM_SETRANGEMAX, FALSE, max_);
    SendMessageW(handle_, TBM_SETPAGESIZE, 0, pageSize_);
    SendMessageW(handle_, TBM_SETTICFREQ, frequency_, 0);
    SendMessageW(handle_, TBM_SETPOS, TRUE, position_);
}

void TTrackBar::WMDestroy(TWMDestroy& message)
{
    position_ = Position();
    TStdControl::WMDestroy(message);
}

void TTrackBar::SetMin(int value)
{
    min_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, TBM_SETRANGEMIN, TRUE, min_);
    Reposition(position_, true);
}

void TTrackBar::SetMax(int value)
{
    max_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, TBM_SETRANGEMAX, TRUE, max_);
    Reposition(position_, true);
}

int TTrackBar::Position()
{
    if (HandleAllocated())
        position_ = int(SendMessageW(handle_, TBM_GETPOS, 0, 0));
    return position_;
}

void TTrackBar::SetPosition(int value)
{
    Reposition(value, true);
}

// One place that moves the position, so OnChange fires once per real change.
void TTrackBar::Reposition(int value, bool toWindow)
{
    value = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
    if (toWindow && HandleAllocated())
        SendMessageW(handle_, TBM_SETPOS, TRUE, value);
    if (value == position_)
        return;
    position_ = value;
    Changed();
}

void TTrackBar::SetPageSize(int value)
{
    pageSize_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, TBM_SETPAGESIZE, 0, pageSize_);
}

void TTrackBar::SetFrequency(int value)
{
    frequency_ = value;
    if (HandleAllocated())
        SendMessageW(handle_, TBM_SETTICFREQ, frequency_, 0);
}

void TTrackBar::SetOrientation(TTrackBarOrientation orientation)
{
    orientation_ = orientation; // read when the window is made
}

void TTrackBar::Changed()
{
    if (OnChange)
        OnChange(this);
}

void TTrackBar::Dispatch(TMessage& message)
{
    if (message.Msg == CN_BASE + WM_HSCROLL || message.Msg == CN_BASE + WM_VSCROLL)
    {
        Reposition(int(SendMessageW(handle_, TBM_GETPOS, 0, 0)), false);
        message.Result = 0;
        return;
    }
    TStdControl::Dispatch(message);
}
