#include "Menus.h"

#include <algorithm>
#include <map>

#include "Cp932.h"
#include "Forms.h"
#include "LayerObjects.h"
#include "SysUtils.h"

namespace
{
// Every item by its command id, so a command from any menu finds its item.
std::map<UINT, TMenuItem*>& Commands()
{
    return LayerTables().menuCommands;
}

UINT NewCommand(TMenuItem* item)
{
    UINT& next = LayerTables().lastMenuCommand;
    auto& commands = Commands();
    // 16-bit ids (WM_COMMAND carries the low word); a free one is always found well before wrapping.
    do
        next = next >= 0x7FFF ? 1 : next + 1;
    while (commands.count(next));
    commands[next] = item;
    return next;
}

std::vector<TMainMenu*>& MainMenus()
{
    return LayerTables().mainMenus;
}

struct KeyName
{
    WORD key;
    const char* name;
};

const KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},     {VK_ESCAPE, "Esc"}, {VK_RETURN, "Enter"}, {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},   {VK_END, "End"},    {VK_HOME, "Home"},    {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},  {VK_INSERT, "Ins"},   {VK_DELETE, "Del"},
};

AnsiString KeyToText(WORD key)
{
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return AnsiString(char(key));
    if (key >= VK_F1 && key <= VK_F24)
        return "F" + IntToStr(int(key - VK_F1 + 1));
    for (const KeyName& k : kKeyNames)
        if (k.key == key)
            return k.name;
    return AnsiString();
}

WORD TextToKey(const AnsiString& text)
{
    if (text.Length() == 1)
    {
        char c = text[1];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return WORD(c);
        return 0;
    }
    if (text.Length() >= 2 && (text[1] == 'F' || text[1] == 'f'))
    {
        int n = StrToIntDef(text.SubString(2, text.Length() - 1), 0);
        if (n >= 1 && n <= 24 && text[2] != '$' && text[2] != '+' && text[2] != '-')
            return WORD(VK_F1 + n - 1);
    }
    for (const KeyName& k : kKeyNames)
        if (SameText(text, k.name))
            return k.key;
    return 0;
}

} // namespace

TShortCut ShortCut(WORD key, TShiftState shift)
{
    if (key & 0xFF00)
        return scNone;
    TShortCut s = key;
    if (shift.Contains(ssShift))
        s |= scShift;
    if (shift.Contains(ssCtrl))
        s |= scCtrl;
    if (shift.Contains(ssAlt))
        s |= scAlt;
    return s;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift)
{
    key = shortCut & 0xFF;
    shift = TShiftState();
    if (shortCut & scShift)
        shift << ssShift;
    if (shortCut & scCtrl)
        shift << ssCtrl;
    if (shortCut & scAlt)
        shift << ssAlt;
}

AnsiString ShortCutToText(TShortCut shortCut)
{
    AnsiString name = KeyToText(WORD(shortCut & 0xFF));
    if (name.IsEmpty())
        return AnsiString();
    AnsiString text;
    if (shortCut & scShift)
        text += "Shift+";
    if (shortCut & scCtrl)
        text += "Ctrl+";
    if (shortCut & scAlt)
        text += "Alt+";
    return text + name;
}

TShortCut TextToShortCut(const AnsiString& text)
{
    // Parts between '+', blanks trimmed: modifiers, then the key last.
    TShortCut modifiers = 0;
    AnsiString rest = text;
    for (;;)
    {
        int plus = rest.Pos("+");
        if (plus == 0)
            break;
        AnsiString part = Trim(rest.SubString(1, plus - 1));
        rest = rest.SubString(plus + 1, rest.Length() - plus);
        if (SameText(part, "Shift"))
            modifiers |= scShift;
        else if (SameText(part, "Ctrl"))
            modifiers |= scCtrl;
        else if (SameText(part, "Alt"))
            modifiers |= scAlt;
        else
            return scNone;
    }
    WORD key = TextToKey(Trim(rest));
    return key ? TShortCut(key | modifiers) : scNone;
}

// ---------------------------------------------------------------------------------------------
// TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NewCommand(this))
{
}

TMenuItem::~TMenuItem()
{
    Clear();
    if (parent_)
        parent_->Remove(this);
    if (handle_ && IsMenu(handle_))
        DestroyMenu(handle_);
    Commands().erase(command_);
}

void TMenuItem::SetCaption(const AnsiString& caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetShortCut(TShortCut shortCut)
{
    if (shortCut == shortCut_)
        return;
    shortCut_ = shortCut;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled)
{
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Changed();
}

void TMenuItem::SetChecked(bool checked)
{
    if (checked == checked_)
        return;
    checked_ = checked;
    Changed();
}

void TMenuItem::SetVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    Changed();
}

TMenuItem* TMenuItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("メニュー項目の番号が範囲外です (" + AnsiString(index) + ")");
    return items_[size_t(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : int(it - items_.begin());
}

int TMenuItem::MenuIndex() const
{
    return parent_ ? parent_->IndexOf(this) : -1;
}

void TMenuItem::Add(TMenuItem* item)
{
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item || item == this)
        throw EInvalidOperation("メニュー項目を挿入できません");
    for (TMenuItem* p = this; p; p = p->parent_)
        if (p == item)
            throw EInvalidOperation("メニュー項目を自分の下には置けません");
    if (item->parent_)
        item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    RebuildHandle();
    if (parent_)
        parent_->RebuildHandle(); // this item may have just become a drop-down
}

void TMenuItem::Remove(TMenuItem* item)
{
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end())
        return;
    items_.erase(it);
    item->parent_ = nullptr;
    RebuildHandle();
    if (parent_)
        parent_->RebuildHandle();
}

void TMenuItem::Delete(int index)
{
    delete Items(index);
}

void TMenuItem::Clear()
{
    while (!items_.empty())
        delete items_.back(); // each leaves this item on its way
}

HMENU TMenuItem::Handle()
{
    if (!handle_ && (menu_ || !items_.empty()))
    {
        handle_ = menuBar_ ? CreateMenu() : CreatePopupMenu();
        if (!handle_)
            throw EOSError("メニューを作成できません", GetLastError());
        FillHandle();
    }
    return handle_;
}

void TMenuItem::Changed()
{
    if (parent_)
        parent_->RebuildHandle();
}

void TMenuItem::RebuildHandle()
{
    if (handle_)
        FillHandle();
    if (menu_)
        menu_->MenuChanged();
}

void TMenuItem::FillHandle()
{
    while (GetMenuItemCount(handle_) > 0)
        RemoveMenu(handle_, 0, MF_BYPOSITION); // the sub-menus stay with their items
    for (TMenuItem* item : items_)
    {
        if (!item->visible_)
            continue;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.wID = item->command_;
        std::wstring text;
        if (item->IsLine())
        {
            info.fMask = MIIM_FTYPE | MIIM_ID;
            info.fType = MFT_SEPARATOR;
        }
        else
        {
            info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
            info.fType = MFT_STRING;
            info.fState = (item->enabled_ ? MFS_ENABLED : MFS_DISABLED) | (item->checked_ ? MFS_CHECKED : 0);
            text = SjisToWide(item->caption_);
            AnsiString keys = ShortCutToText(item->shortCut_);
            if (!keys.IsEmpty())
                text += L"\t" + SjisToWide(keys);
            info.dwTypeData = text.data();
            info.hSubMenu = item->items_.empty() ? nullptr : item->Handle();
        }
        InsertMenuItemW(handle_, UINT(GetMenuItemCount(handle_)), TRUE, &info);
    }
}

void TMenuItem::Click()
{
    if (OnClick)
        OnClick(this);
}

// ---------------------------------------------------------------------------------------------
// TMenu, TMainMenu, TPopupMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr))
{
    items_->menu_ = this;
}

TMenu::~TMenu()
{
    delete items_;
}

static TMenuItem* FindShortCutIn(const TMenuItem* parent, TShortCut shortCut)
{
    for (int i = 0; i < parent->Count(); ++i)
    {
        TMenuItem* item = parent->Items(i);
        if (!item->IsLine() && item->ShortCut() == shortCut)
            return item;
        if (TMenuItem* found = FindShortCutIn(item, shortCut))
            return found;
    }
    return nullptr;
}

TMenuItem* TMenu::FindShortCut(TShortCut shortCut) const
{
    return shortCut == scNone ? nullptr : FindShortCutIn(items_, shortCut);
}

bool TMenu::IsShortCut(TShortCut shortCut)
{
    TMenuItem* item = FindShortCut(shortCut);
    if (!item)
        return false;
    std::vector<TMenuItem*> above;
    for (TMenuItem* p = item->Parent(); p && p != items_; p = p->Parent())
        above.insert(above.begin(), p);
    for (TMenuItem* p : above)
        p->Click(); // the opening handlers set the enabled states
    // The handlers may have changed the menu: look again.
    item = FindShortCut(shortCut);
    if (!item)
        return true;
    for (TMenuItem* p = item; p && p != items_; p = p->Parent())
        if (!p->Enabled())
            return false;
    item->Click();
    return true;
}

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner)
{
    items_->menuBar_ = true;
    MainMenus().push_back(this);
}

TMainMenu::~TMainMenu()
{
    auto& menus = MainMenus();
    menus.erase(std::remove(menus.begin(), menus.end(), this), menus.end());
    // A form that is going away has taken the bar off already (WM_DESTROY).
    if (form_ && !form_->ComponentState().Contains(csDestroying) && form_->HandleAllocated())
        SetMenu(form_->Handle(), nullptr);
}

void TMainMenu::AttachTo(TCustomForm* form)
{
    if (form == form_)
        return;
    if (form_ && form_->HandleAllocated())
        SetMenu(form_->Handle(), nullptr);
    form_ = nullptr;
    if (!form)
        return;
    for (TMainMenu* other : MainMenus())
        if (other != this && other->form_ == form)
            other->AttachTo(nullptr);
    form_ = form;
    SetMenu(form->Handle(), Handle());
    DrawMenuBar(form->Handle());
}

void TMainMenu::MenuChanged()
{
    if (form_ && form_->HandleAllocated())
        DrawMenuBar(form_->Handle());
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner)
{
}

void TPopupMenu::Notification(TComponent* component, TOperation operation)
{
    TMenu::Notification(component, operation);
    if (operation == opRemove && component == popupComponent_)
        popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y)
{
    if (OnPopup)
        OnPopup(this);
    HMENU menu = Handle();
    // Drop-downs inside the menu tell their owner window as they open (WM_INITMENUPOPUP).
    HWND owner = nullptr;
    if (auto* control = dynamic_cast<TControl*>(popupComponent_))
        if (TCustomForm* form = GetParentForm(control); form && form->HandleAllocated())
            owner = form->Handle();
    if (!owner && Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        owner = Application->MainForm()->Handle();
    if (!owner && Application)
        owner = Application->Handle();
    SetForegroundWindow(owner);
    UINT command =
        UINT(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, x, y, owner, nullptr));
    PostMessageW(owner, WM_NULL, 0, 0);
    if (!command)
        return;
    auto it = Commands().find(command);
    if (it != Commands().end())
        it->second->Click();
}

// ---------------------------------------------------------------------------------------------

TMenuItem* NewMenuItem(TComponent* owner, TMenuItem* parent, const AnsiString& name,
                       const AnsiString& caption, TShortCut shortCut, TNotifyEvent onClick)
{
    auto* item = new TMenuItem(owner);
    item->SetName(name);
    item->SetCaption(caption);
    item->SetShortCut(shortCut);
    item->OnClick = onClick;
    if (parent)
        parent->Add(item);
    return item;
}

TMainMenu* FindMainMenu(const TCustomForm* form)
{
    if (!form)
        return nullptr;
    for (TMainMenu* menu : MainMenus())
        if (menu->Form() == form)
            return menu;
    return nullptr;
}

bool IsMenuShortCutMessage(const MSG& msg)
{
    if ((msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) || !msg.hwnd)
        return false;
    WORD key = WORD(msg.wParam);
    if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    TMainMenu* menu = nullptr;
    for (TMainMenu* m : MainMenus())
        if (m->Form() && m->Form()->HandleAllocated() && m->Form()->Handle() == root)
            menu = m;
    if (!menu)
        return false;
    TShortCut shortCut = ShortCut(key, KeyDataToShiftState(int(msg.lParam)));
    if (!menu->FindShortCut(shortCut))
        return false;
    bool used = true; // a handler that failed has still taken the key
    GuardedCall(menu, [&] { used = menu->IsShortCut(shortCut); });
    return used;
}

bool DispatchMenuMessage(HWND hwnd, TMessage& message)
{
    switch (message.Msg)
    {
    case WM_COMMAND:
    {
        if (message.LParam != 0 || HIWORD(message.WParam) != 0)
            return false;
        auto it = Commands().find(LOWORD(message.WParam));
        if (it == Commands().end())
            return false;
        it->second->Click();
        message.Result = 0;
        return true;
    }
    case WM_INITMENUPOPUP:
    {
        auto menu = reinterpret_cast<HMENU>(message.WParam);
        for (auto& [command, item] : Commands())
            if (item->handle_ == menu)
            {
                item->Click(); // the item's drop-down is opening
                break;
            }
        message.Result = 0;
        return true;
    }
    case WM_DESTROY:
        // Windows destroys a window's menu bar with it; ours belongs to its items.
        for (TMainMenu* menu : MainMenus())
            if (menu->Form() && menu->Form()->HandleAllocated() && menu->Form()->Handle() == hwnd)
            {
                SetMenu(hwnd, nullptr);
                menu->AttachTo(nullptr);
            }
        return false;
    default: return false;
    }
}
