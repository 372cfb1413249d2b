// Menus: items with captions, shortcuts and click events, the main menu of a form and pop-up
// menus, and the shortcut texts ("Ctrl+S", "Shift+F3").
//
// The item tree lives in the objects; each item with sub-items has a Win32 menu that is rewritten
// from its sub-items whenever one of them changes (a hidden item is simply left out). A chosen
// command reaches its item through the command id, wherever the menu was shown.
//
// Shortcuts: the application's message loop offers every key press to the main menu of the form
// that holds the focus before the focused control sees it (IsMenuShortCutMessage). The items
// above the matching one get their OnClick first, top-down, as when the menu is opened, so the
// opening handlers bring the enabled states up to date; an enabled item is then clicked and the
// key is used up. A disabled item leaves the key to the control. Hidden items keep their shortcuts.
#pragma once

#include <vector>

#include <windows.h>

#include "Component.h"
#include "Controls.h"

class TCustomForm;
class TMenu;

// A key with modifiers: the virtual-key code in the low byte.
using TShortCut = unsigned short;
constexpr TShortCut scNone = 0;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// Modifiers in the order "Shift+Ctrl+Alt+", then the key's name: "Ctrl+S", "Shift+F3", "Del",
// "Alt+BkSp". A key without a name gives "" (and so does scNone).
AnsiString ShortCutToText(TShortCut shortCut);
// The reverse, ignoring ASCII case and blanks around the parts; scNone for what it cannot read.
TShortCut TextToShortCut(const AnsiString& text);

class TMenuItem : public TComponent
{
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override; // frees its sub-items and leaves its parent

    const AnsiString& Caption() const { return caption_; }
    void SetCaption(const AnsiString& caption); // "-" makes a separator line
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(TShortCut shortCut);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool IsLine() const { return caption_ == "-"; }

    int Count() const { return int(items_.size()); }
    TMenuItem* Items(int index) const; // EListError out of range
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const; // -1 without a parent
    int IndexOf(const TMenuItem* item) const;
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item); // detaches, does not free
    void Delete(int index);       // frees
    void Clear();                 // frees all sub-items

    // The Win32 menu of the sub-items (made when first asked for); null for an item without any.
    HMENU Handle();
    // The command id under which the item appears in a Win32 menu.
    UINT Command() const { return command_; }

    virtual void Click();
    TNotifyEvent OnClick;

private:
    friend class TMenu;
    friend class TMainMenu;
    friend bool DispatchMenuMessage(HWND hwnd, TMessage& message);
    void Changed();
    void RebuildHandle();
    void FillHandle();

    AnsiString caption_;
    TShortCut shortCut_ = scNone;
    bool enabled_ = true;
    bool checked_ = false;
    bool visible_ = true;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
    HMENU handle_ = nullptr;
    bool menuBar_ = false;  // the root of a main menu: a menu bar, not a drop-down
    TMenu* menu_ = nullptr; // set on the root only
    UINT command_;
};

class TMenu : public TComponent
{
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;

    // The root; its sub-items are the menu's top-level items.
    TMenuItem* Items() const { return items_; }
    HMENU Handle() { return items_->Handle(); }
    // The first item in menu order with this shortcut, or null.
    TMenuItem* FindShortCut(TShortCut shortCut) const;
    // Runs the item with this shortcut as a key press would (see the header comment); true when
    // the key is used up.
    bool IsShortCut(TShortCut shortCut);

protected:
    friend class TMenuItem;
    // A top-level item or the set of them changed.
    virtual void MenuChanged() {}
    TMenuItem* items_;
};

// The menu bar of a form.
class TMainMenu : public TMenu
{
public:
    explicit TMainMenu(TComponent* owner);
    ~TMainMenu() override;

    // Shows the menu as the form's menu bar and lets it take the form's shortcut keys (nullptr:
    // detach). A menu sits on one form at a time.
    void AttachTo(TCustomForm* form);
    TCustomForm* Form() const { return form_; }
    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool ownerDraw) { ownerDraw_ = ownerDraw; } // menus are drawn by the system

protected:
    void MenuChanged() override;

private:
    TCustomForm* form_ = nullptr;
    bool ownerDraw_ = false;
};

class TPopupMenu : public TMenu
{
public:
    explicit TPopupMenu(TComponent* owner);

    // Shows the menu at a screen point and runs the chosen item; OnPopup first.
    virtual void Popup(int x, int y);
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* component) { popupComponent_ = component; }

    TNotifyEvent OnPopup;

    void Notification(TComponent* component, TOperation operation) override;

private:
    TComponent* popupComponent_ = nullptr;
};

// A new item owned by owner, added last under parent, named, with its caption, shortcut and
// click handler: the one-line way the program builds its menus.
TMenuItem* NewMenuItem(TComponent* owner, TMenuItem* parent, const AnsiString& name,
                       const AnsiString& caption, TShortCut shortCut = scNone,
                       TNotifyEvent onClick = nullptr);

// The main menu shown on a form, or null.
TMainMenu* FindMainMenu(const TCustomForm* form);
// For the application's message loop: offers a key press to the main menu of the form that holds
// msg.hwnd; true when an item took it (the message must then go no further).
bool IsMenuShortCutMessage(const MSG& msg);
// For a form's window procedure: a command chosen from a menu (WM_COMMAND from no control), a
// drop-down about to open (WM_INITMENUPOPUP: its item's OnClick), and the window going away
// (WM_DESTROY: the menu bar is taken off first, so it is not destroyed with the window). True when
// the message was handled.
bool DispatchMenuMessage(HWND hwnd, TMessage& message);
