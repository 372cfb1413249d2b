#include "ThemeMgr.h"

#include <algorithm>
#include <cstdint>

#include "platform/Animate.h"
#include "platform/Buttons.h"
#include "platform/CheckLst.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Frames.h"
#include "platform/LayerObjects.h"
#include "platform/ListView.h"
#include "platform/Splitter.h"
#include "platform/StaticText.h"
#include "platform/StdCtrls.h"
#include "platform/Threads.h"

#undef DispatchMessage
#undef DrawText

// One subclassed control: the procedure it had, and the stub that now stands in its WindowProc.
struct TControlEntry
{
    TControl* Control;
    TWndMethod OldWndProc;
    TSubclassKind Kind;
    bool Removed = false;
    void Stub(TMessage& message);
};

namespace
{
TThemeManager* GlobalMainManager = nullptr;
TCriticalSection* MainManagerLock = nullptr;

// The process-wide lists outlive every static object: the exit procedure that frees the managers
// runs after the statics of this file are gone.
template <int Id, class T> std::vector<T>& Lasting()
{
    static auto* list = new std::vector<T>;
    return *list;
}
std::vector<TThemeManager*>& allManagers = Lasting<0, TThemeManager*>();

// Entries taken out while a stub runs are freed once no stub runs: the stub that is running may
// be theirs. An entry whose stub still sits under a later subclass of the control is never freed.
int stubDepth = 0;
std::vector<TControlEntry*>& retiredEntries = Lasting<1, TControlEntry*>();
std::vector<TControlEntry*>& strandedEntries = Lasting<2, TControlEntry*>();

bool WindowsXPOrLater()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info))
        return false;
    return info.dwMajorVersion > 5 || (info.dwMajorVersion == 5 && info.dwMinorVersion >= 1);
}
const bool IsWindowsXPOrLater = WindowsXPOrLater();

class TLockScope
{
public:
    TLockScope() : lock_(MainManagerLock)
    {
        if (lock_)
            lock_->Enter();
    }
    ~TLockScope()
    {
        if (lock_)
            lock_->Leave();
    }
    TLockScope(const TLockScope&) = delete;
    TLockScope& operator=(const TLockScope&) = delete;

private:
    TCriticalSection* lock_;
};

void FreeRetiredEntries()
{
    std::vector<TControlEntry*> entries;
    entries.swap(retiredEntries);
    for (TControlEntry* entry : entries)
        delete entry;
}

// Speed buttons are buttons here, but paint as tool buttons of their own list.
bool IsButtonControl(TControl* c)
{
    return (dynamic_cast<TButton*>(c) && !dynamic_cast<TSpeedButton*>(c)) || dynamic_cast<TCheckBox*>(c) ||
           dynamic_cast<TRadioButton*>(c);
}
template <class T> bool IsA(TControl* c)
{
    return dynamic_cast<T*>(c) != nullptr;
}

// The classes in the order a control is tested; the first that accepts it takes it.
struct TClassRow
{
    TSubclassKind kind;
    bool (*accepts)(TControl*);
    TThemeOption option;
    bool always; // forms: whatever the options
};
constexpr TClassRow classRows[] = {
    {skButtonControl, IsButtonControl, toSubclassButtons, false},
    {skSpeedButton, IsA<TSpeedButton>, toSubclassSpeedButtons, false},
    {skGroupBox, IsA<TGroupBox>, toSubclassGroupBox, false},
    {skTabSheet, IsA<TTabSheet>, toSubclassTabSheet, false},
    {skPanel, IsA<TPanel>, toSubclassPanel, false},
    {skFrame, IsA<TCustomFrame>, toSubclassFrame, false},
    {skListView, IsA<TCustomListView>, toSubclassListView, false},
    {skTrackBar, IsA<TTrackBar>, toSubclassTrackBar, false},
    {skCheckListBox, IsA<TCheckListBox>, toSubclassCheckListbox, false},
    {skStatusBar, IsA<TStatusBar>, toSubclassStatusBar, false},
    {skSplitter, IsA<TSplitter>, toSubclassSplitter, false},
    {skAnimate, IsA<TAnimate>, toSubclassAnimate, false},
    {skForm, IsA<TCustomForm>, toSubclassWinControl, true},
    {skWinControl, IsA<TWinControl>, toSubclassWinControl, false},
};

const TClassRow& RowOf(TSubclassKind kind)
{
    for (const TClassRow& row : classRows)
        if (row.kind == kind)
            return row;
    return classRows[0];
}

// The application window's messages go to every manager that hooked it before the application
// sees them.
std::vector<TThemeManager*>& hookedManagers = Lasting<3, TThemeManager*>();
HWND hookedWindow = nullptr;
WNDPROC hookedWindowNext = nullptr;

void ShutdownThemeManagersProc();
bool shutdownAdded = false;

} // namespace

LRESULT CALLBACK ApplicationHookProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC next = hookedWindowNext;
    TMessage message;
    message.Msg = msg;
    message.WParam = wParam;
    message.LParam = lParam;
    std::vector<TThemeManager*> managers = hookedManagers;
    for (TThemeManager* manager : managers)
        if (std::find(hookedManagers.begin(), hookedManagers.end(), manager) != hookedManagers.end())
            GuardedCall(manager, [&] { manager->MainWindowHook(message); });
    return next ? CallWindowProcW(next, window, msg, wParam, lParam) : DefWindowProcW(window, msg, wParam, lParam);
}

namespace
{
void HookApplicationWindow(TThemeManager* manager)
{
    HWND app = Application ? Application->Handle() : nullptr;
    if (!app)
        return;
    if (hookedManagers.empty() && !hookedWindow)
    {
        hookedWindow = app;
        hookedWindowNext = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(app, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ApplicationHookProc)));
    }
    hookedManagers.push_back(manager);
}

void UnhookApplicationWindow(TThemeManager* manager)
{
    std::erase(hookedManagers, manager);
    if (!hookedManagers.empty() || !hookedWindow)
        return;
    // Put back only when ours is still on top; otherwise it stays in the chain, passing everything on.
    if (IsWindow(hookedWindow) &&
        reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hookedWindow, GWLP_WNDPROC)) == &ApplicationHookProc)
    {
        SetWindowLongPtrW(hookedWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hookedWindowNext));
        hookedWindow = nullptr;
        hookedWindowNext = nullptr;
    }
}
} // namespace

// At exit, before the theme services go: the lock first (so no manager hands over), then every
// manager still alive, each giving its controls their procedures back.
void ShutdownThemeManagers()
{
    delete MainManagerLock;
    MainManagerLock = nullptr;
    while (!allManagers.empty())
        delete allManagers.back();
}

namespace
{
void ShutdownThemeManagersProc()
{
    ShutdownThemeManagers();
}
} // namespace

void TControlEntry::Stub(TMessage& message)
{
    ++stubDepth;
    struct TLeave
    {
        ~TLeave()
        {
            if (--stubDepth == 0)
                FreeRetiredEntries();
        }
    } leave;
    TThemeManager* main = GlobalMainManager;
    int index = 0;
    if (!Removed && main && main->lists_[Kind]->Find(Control, index))
    {
        main->WindowProc(Kind, Control, message);
        return;
    }
    // Not listed any more (or no manager): the control handles the message as it did before.
    TWndMethod old = OldWndProc;
    if (old)
        old(message);
}

// ---------------------------------------------------------------------------------------------
// TWindowProcList

TWindowProcList::TWindowProcList(TThemeManager* owner, TSubclassKind kind) : owner_(owner), kind_(kind)
{
}

TWindowProcList::~TWindowProcList()
{
    Clear();
}

int TWindowProcList::Add(TControl* control)
{
    if (!control || !RowOf(kind_).accepts(control) || members_.count(control))
        return -1;
    auto* entry = new TControlEntry{control, control->WindowProc, kind_};
    control->WindowProc = TWndMethod(entry, &TControlEntry::Stub);
    entries_.push_back(entry);
    members_.insert(control);
    dirty_ = true;
    return int(entries_.size()) - 1;
}

bool TWindowProcList::Find(TControl* control, int& index)
{
    if (control && control == lastControl_)
    {
        index = lastIndex_;
        return true;
    }
    if (dirty_)
    {
        std::sort(entries_.begin(), entries_.end(), [](const TControlEntry* a, const TControlEntry* b) {
            return reinterpret_cast<std::uintptr_t>(a->Control) < reinterpret_cast<std::uintptr_t>(b->Control);
        });
        dirty_ = false;
        lastControl_ = nullptr;
        lastIndex_ = -1;
    }
    auto it = std::lower_bound(entries_.begin(), entries_.end(), reinterpret_cast<std::uintptr_t>(control),
                               [](const TControlEntry* e, std::uintptr_t key) {
                                   return reinterpret_cast<std::uintptr_t>(e->Control) < key;
                               });
    index = int(it - entries_.begin());
    if (it == entries_.end() || (*it)->Control != control)
        return false;
    lastControl_ = control;
    lastIndex_ = index;
    return true;
}

void TWindowProcList::Remove(TControl* control)
{
    int index = 0;
    if (!Find(control, index))
        return;
    TControlEntry* entry = entries_[size_t(index)];
    entries_.erase(entries_.begin() + index);
    members_.erase(control);
    lastControl_ = nullptr;
    lastIndex_ = -1;
    entry->Removed = true;
    bool stranded = control->WindowProc != TWndMethod(entry, &TControlEntry::Stub);
    if (!stranded)
        control->WindowProc = entry->OldWndProc;
    control->RemoveFreeNotification(owner_);
    SetOwnerDrawn(control, false);
    if (GlobalMainManager)
        GlobalMainManager->RemoveRecreationCandidate(control);
    if (stranded)
        strandedEntries.push_back(entry); // a later subclass still calls it
    else if (stubDepth > 0)
        retiredEntries.push_back(entry);
    else
        delete entry;
    if (auto* windowed = dynamic_cast<TWinControl*>(control))
        owner_->RemoveChildSubclassing(windowed);
}

void TWindowProcList::DispatchMessage(TControl* control, TMessage& message)
{
    int index = 0;
    if (!Find(control, index))
        return;
    if (message.Msg == CM_RECREATEWND && GlobalMainManager)
        GlobalMainManager->AddRecreationCandidate(control);
    // Copied: the call may take the entry out of the list.
    TWndMethod old = entries_[size_t(index)]->OldWndProc;
    old(message);
    if (message.Msg == WM_DESTROY)
    {
        bool recreating = !control->ComponentState().Contains(csDestroying) && GlobalMainManager &&
                          GlobalMainManager->IsRecreationCandidate(control);
        if (!recreating)
            Remove(control);
    }
}

void TWindowProcList::Clear()
{
    while (!entries_.empty())
        Remove(entries_.front()->Control);
}

// ---------------------------------------------------------------------------------------------
// TThemeManager

TThemeManager::TThemeManager(TComponent* owner) : TComponent(owner)
{
    for (const TClassRow& row : classRows)
        lists_[row.kind] = new TWindowProcList(this, row.kind);
}

void TThemeManager::AfterConstruction()
{
    TComponent::AfterConstruction();
    if (!shutdownAdded)
    {
        // Added after the theme services' own exit procedure, so it runs before it.
        ThemeServices();
        AddLayerExitProc(ShutdownThemeManagersProc);
        shutdownAdded = true;
    }
    if (!MainManagerLock)
        MainManagerLock = new TCriticalSection;
    allManagers.push_back(this);
    if (ThemeServices()->ThemesEnabled())
    {
        HookApplicationWindow(this);
        hookInstalled_ = true;
    }
    TLockScope lock;
    if (GlobalMainManager)
    {
        subclassingDisabled_ = true;
        options_ = GlobalMainManager->options_;
    }
    else
    {
        GlobalMainManager = this;
    }
}

void TThemeManager::BeforeDestruction()
{
    // Every list first: clearing one reaches the children of its controls in other lists.
    for (TWindowProcList* list : lists_)
        if (list)
            list->Clear();
    if (hookInstalled_)
        UnhookApplicationWindow(this);
    hookInstalled_ = false;
    std::erase(allManagers, this);
    if (MainManagerLock)
    {
        TLockScope lock;
        if (GlobalMainManager == this)
        {
            GlobalMainManager = nullptr;
            if (Application && Application->Handle())
                SendMessageW(Application->Handle(), CM_MANAGERHANDOVER, 0, 0);
        }
    }
    else if (GlobalMainManager == this)
    {
        GlobalMainManager = nullptr;
    }
    TComponent::BeforeDestruction();
}

TThemeManager::~TThemeManager()
{
    for (TWindowProcList*& list : lists_)
    {
        delete list;
        list = nullptr;
    }
}

void TThemeManager::Loaded()
{
    if (IsMainManager())
        CollectForms(nullptr);
    TComponent::Loaded();
}

void TThemeManager::Notification(TComponent* component, TOperation operation)
{
    if (operation == opInsert)
    {
        auto* form = dynamic_cast<TCustomForm*>(component);
        if (form && std::find(pendingForms_.begin(), pendingForms_.end(), form) == pendingForms_.end())
        {
            if (!IsMainManager())
            {
                if (GlobalMainManager && GlobalMainManager != this)
                    GlobalMainManager->Notification(component, operation);
            }
            else
            {
                pendingForms_.push_back(form);
                // A form freed before the hook collects it must leave the queue while it is still a
                // form: its owner's removal comes from ~TComponent, and an unowned one tells nobody.
                form->FreeNotification(this);
                if (Application && Application->Handle())
                    PostMessageW(Application->Handle(), WM_NULL, 0, 0);
            }
        }
    }
    else
    {
        // By address: a form in its base destructors is no form any more.
        std::erase_if(pendingForms_,
                      [component](TCustomForm* f) { return static_cast<TComponent*>(f) == component; });
        if (IsMainManager())
            if (auto* control = dynamic_cast<TControl*>(component))
                HandleControlChange(control, false);
    }
    TComponent::Notification(component, operation);
}

bool TThemeManager::IsMainManager() const
{
    return GlobalMainManager == this;
}

TThemeManager* TThemeManager::CurrentThemeManager()
{
    return GlobalMainManager;
}

void TThemeManager::HandleControlChange(TControl* control, bool inserting)
{
    if (!IsWindowsXPOrLater || !control)
        return;
    if (!inserting)
    {
        // Whatever it is now (it may be half destroyed): out of whichever list holds it.
        for (TWindowProcList* list : lists_)
            list->Remove(control);
        return;
    }
    const TClassRow* row = nullptr;
    for (const TClassRow& candidate : classRows)
        if (candidate.accepts(control))
        {
            row = &candidate;
            break;
        }
    // With the themes off only list views are followed, for their columns.
    if (!ThemeServices()->ThemesEnabled() && (!row || row->kind != skListView))
        return;
    if (!row || (!row->always && !options_.Contains(row->option)))
        return;
    if (row->kind == skListView)
    {
        // Its window is made anew under the stub.
        int index = 0;
        auto* view = static_cast<TWinControl*>(control);
        if (!lists_[skListView]->Find(control, index) && view->HandleAllocated())
            PostMessageW(view->Handle(), CM_RECREATEWND, 0, 0);
    }
    if (row->kind == skForm)
        std::erase(pendingForms_, static_cast<TCustomForm*>(dynamic_cast<TCustomForm*>(control)));
    TWindowProcList* list = lists_[row->kind];
    if (DoAllowSubclassing(control) && control->Perform(CM_REFUSESUBCLASSING, 0, 0) == 0)
    {
        list->Add(control);
        control->FreeNotification(this);
        if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->ControlCount() > 0)
            CollectControls(windowed);
    }
    else
    {
        list->Remove(control);
    }
}

void TThemeManager::CollectForms(TCustomForm* form)
{
    if (subclassingDisabled_)
        return;
    auto add = [this](TCustomForm* f) {
        lists_[skForm]->Add(f);
        f->FreeNotification(this);
        CollectControls(f);
    };
    if (form)
    {
        add(form);
    }
    else
    {
        ClearLists();
        for (int i = 0; Screen && i < Screen->FormCount(); ++i)
            add(Screen->Forms(i));
    }
    if (options_.ToInt() & 0x60000)
        FixControls(form);
}

void TThemeManager::CollectControls(TWinControl* parent)
{
    if (!parent)
        throw Exception("Parent of controls to be collected must be valid.");
    if (subclassingDisabled_)
        return;
    for (int i = 0; i < parent->ControlCount(); ++i)
    {
        TControl* child = parent->Controls(i);
        HandleControlChange(child, true);
        // A listed windowed child with children was collected by HandleControlChange already.
        if (auto* windowed = dynamic_cast<TWinControl*>(child); windowed && windowed->ControlCount() > 0)
        {
            int index = 0;
            bool listed = false;
            for (TWindowProcList* list : lists_)
                listed = listed || list->Find(windowed, index);
            if (!listed)
                CollectControls(windowed);
        }
    }
}

void TThemeManager::ClearLists()
{
    for (TWindowProcList* list : lists_)
        list->Clear();
}

void TThemeManager::RemoveChildSubclassing(TWinControl* control)
{
    for (int i = 0; i < control->ControlCount(); ++i)
        if (auto* child = dynamic_cast<TWinControl*>(control->Controls(i)))
        {
            RemoveChildSubclassing(child);
            HandleControlChange(child, false);
        }
}

void TThemeManager::FixControls(TCustomForm* form)
{
    const bool themed = ThemeServices()->ThemesEnabled() && UxTheme::EnableThemeDialogTexture;
    const bool transparency = options_.Contains(toSetTransparency);
    const bool resetCapture = options_.Contains(toResetMouseCapture);
    auto walk = [&](auto& self, TWinControl* parent) -> void {
        for (int i = 0; i < parent->ControlCount(); ++i)
        {
            TControl* child = parent->Controls(i);
            auto* windowed = dynamic_cast<TWinControl*>(child);
            if (windowed && themed)
                UxTheme::EnableThemeDialogTexture(windowed->Handle(), ETDT_ENABLETAB);
            if (auto* bar = dynamic_cast<TToolBar*>(child))
            {
                if (transparency)
                    bar->SetTransparent(true);
                // Drop-down buttons keep it: the system bar presses them, and it captures.
                for (int b = 0; resetCapture && b < bar->ButtonCount(); ++b)
                    if (TToolButton* button = bar->Buttons(b); button->Style() != tbsDropDown)
                    {
                        TControlStyle style = button->ControlStyle();
                        button->SetControlStyle(style >> csCaptureMouse);
                    }
            }
            else if (auto* label = dynamic_cast<TLabel*>(child))
            {
                if (transparency)
                    label->SetTransparent(true);
            }
            else if (windowed && windowed->ControlCount() > 0)
            {
                self(self, windowed);
            }
        }
    };
    if (form)
    {
        walk(walk, form);
        return;
    }
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
        walk(walk, Screen->Forms(i));
}

bool TThemeManager::MainWindowHook(TMessage& message)
{
    if (message.Msg == CM_MANAGERHANDOVER)
    {
        TLockScope lock;
        if (!GlobalMainManager)
        {
            GlobalMainManager = this;
            subclassingDisabled_ = false;
            CollectForms(nullptr);
        }
    }
    while (!pendingForms_.empty())
    {
        TCustomForm* form = pendingForms_.front();
        pendingForms_.erase(pendingForms_.begin());
        lists_[skForm]->Add(form);
        form->FreeNotification(this);
        if (IsMainManager())
            CollectControls(form);
        if (options_.ToInt() & 0x60000)
            FixControls(form);
        if (form->HandleAllocated())
            RedrawWindow(form->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_VALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    while (!recreationList_.empty())
    {
        TControl* control = recreationList_.front();
        if (auto* windowed = dynamic_cast<TWinControl*>(control))
        {
            windowed->HandleNeeded();
            CollectControls(windowed);
        }
        std::erase(recreationList_, control);
    }
    if (message.Msg == WM_THEMECHANGED)
    {
        UpdateThemes();
        DoOnThemeChange();
    }
    return false;
}

void TThemeManager::ForceAsMainManager()
{
    if (IsMainManager())
        return;
    TLockScope lock;
    if (TThemeManager* old = GlobalMainManager)
    {
        old->subclassingDisabled_ = true;
        old->ClearLists();
    }
    GlobalMainManager = this;
    subclassingDisabled_ = false;
    CollectForms(nullptr);
}

void TThemeManager::SetOptions(TThemeOptions value)
{
    TLockScope lock;
    SetThemeOptionsLocked(value);
}

void TThemeManager::SetThemeOptionsLocked(TThemeOptions value)
{
    if (GlobalMainManager && GlobalMainManager != this)
    {
        GlobalMainManager->SetThemeOptionsLocked(value);
        options_ = value;
        return;
    }
    if (value == options_)
        return;
    options_ = value;
    if (!ThemeServices()->ThemesAvailable() || subclassingDisabled_ || !UxTheme::SetThemeAppProperties)
        return;
    UxTheme::SetThemeAppProperties(value.ToInt() & 7);
    UpdateThemes();
    BroadcastThemeChange();
    if (Application && Application->Handle())
        SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
        if (Screen->Forms(i)->HandleAllocated())
            RedrawWindow(Screen->Forms(i)->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW |
                             RDW_ERASENOW | RDW_FRAME);
}

void TThemeManager::UpdateThemes()
{
    ThemeServices()->UpdateThemes();
    if (ThemeServices()->ThemesAvailable() && UxTheme::GetThemeAppProperties)
        options_ = TThemeOptions::FromInt((options_.ToInt() & ~7u) | (UxTheme::GetThemeAppProperties() & 7));
}

void TThemeManager::BroadcastThemeChange()
{
    auto walk = [](auto& self, TWinControl* parent) -> void {
        for (int i = 0; i < parent->ControlCount(); ++i)
            if (auto* child = dynamic_cast<TWinControl*>(parent->Controls(i)); child && child->HandleAllocated())
            {
                child->Perform(WM_THEMECHANGED, 0, 0);
                // A list view takes the change only with a new window.
                if (dynamic_cast<TCustomListView*>(child))
                    child->RecreateWnd();
                else
                    self(self, child);
            }
    };
    for (int i = 0; Screen && i < Screen->FormCount(); ++i)
    {
        TCustomForm* form = Screen->Forms(i);
        form->Perform(WM_THEMECHANGED, 0, 0);
        walk(walk, form);
    }
}

void TThemeManager::RegisterListener(TControlMessageEvent listener)
{
    int index = 0;
    if (!FindListener(listener, index))
        listeners_.push_back(listener);
}

void TThemeManager::UnregisterListener(TControlMessageEvent listener)
{
    int index = 0;
    if (FindListener(listener, index))
        listeners_.erase(listeners_.begin() + index);
}

bool TThemeManager::FindListener(TControlMessageEvent listener, int& index) const
{
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    index = int(it - listeners_.begin());
    return it != listeners_.end();
}

void TThemeManager::AddRecreationCandidate(TControl* control)
{
    if (!IsRecreationCandidate(control))
        recreationList_.push_back(control);
    // The hook collects its children again once its new window is there.
    if (Application && Application->Handle())
        PostMessageW(Application->Handle(), WM_NULL, 0, 0);
}

void TThemeManager::RemoveRecreationCandidate(TControl* control)
{
    std::erase(recreationList_, control);
}

bool TThemeManager::IsRecreationCandidate(TControl* control) const
{
    return std::find(recreationList_.begin(), recreationList_.end(), control) != recreationList_.end();
}

bool TThemeManager::DoAllowSubclassing(TControl* control)
{
    bool allow = true;
    if (OnAllowSubclassing)
        OnAllowSubclassing(this, control, allow);
    return allow;
}

bool TThemeManager::DoControlMessage(TControl* control, TMessage& message)
{
    bool handled = false;
    if (OnControlMessage)
        OnControlMessage(this, control, message, handled);
    for (size_t i = 0; !handled && i < listeners_.size(); ++i)
    {
        TControlMessageEvent listener = listeners_[i];
        listener(this, control, message, handled);
    }
    return handled;
}

void TThemeManager::DoOnThemeChange()
{
    if (OnThemeChange)
        OnThemeChange(this);
}

void TThemeManager::UpdateUIState(TControl* control, WORD keyCode)
{
    TCustomForm* form = GetParentForm(control);
    if (!form)
        return;
    if (keyCode == VK_TAB || (keyCode >= VK_LEFT && keyCode <= VK_DOWN))
        form->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    else if (keyCode == VK_MENU)
    {
        form->Perform(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
        // Static text does not repaint its underlined access key by itself.
        auto walk = [](auto& self, TWinControl* parent) -> void {
            for (int i = 0; i < parent->ControlCount(); ++i)
                if (auto* child = dynamic_cast<TWinControl*>(parent->Controls(i)))
                {
                    if (dynamic_cast<TCustomStaticText*>(child))
                        child->Invalidate();
                    self(self, child);
                }
        };
        walk(walk, form);
    }
}

void TThemeManager::PerformEraseBackground(TControl* control, HDC dc)
{
    if (!control->Parent())
        return;
    POINT origin{};
    GetWindowOrgEx(dc, &origin);
    SetWindowOrgEx(dc, origin.x + control->Left(), origin.y + control->Top(), nullptr);
    control->Parent()->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dc));
    SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
}

bool SameColorAsParent(const TControl* control)
{
    return control->Parent() && control->Parent()->Color() == control->Color();
}
