// Makes the standard controls of every form paint with the desktop's visual style. The main
// manager puts a stub into the WindowProc of each control of a known class, keeps the procedure it
// found in a per-class list, and paints the control themed before, after or instead of it. It
// finds the forms by itself (all forms at Loaded, later ones as they are made) and follows
// controls as they join or leave their parents and as they are freed.
#pragma once

#include <unordered_set>
#include <vector>

#include "platform/CheckLst.h"
#include "platform/Controls.h"
#include "themes/ThemeSrv.h"

// Our member, not the A/W macro of the same name.
#undef DispatchMessage

class TThemeManager;
class TCustomForm;

// Messages of the manager: the hand-over to the application window, and the question a control
// may answer non-zero to stay out of the lists (both parameters 0).
constexpr UINT CM_MANAGERHANDOVER = CM_BASE + 3250;
constexpr UINT CM_REFUSESUBCLASSING = CM_BASE + 2000;

enum TThemeOption
{
    toAllowNonClientArea,
    toAllowControls,
    toAllowWebContent,
    toSubclassAnimate,
    toSubclassButtons,
    toSubclassCheckListbox,
    toSubclassDBLookup,
    toSubclassFrame,
    toSubclassGroupBox,
    toSubclassListView,
    toSubclassPanel,
    toSubclassTabSheet,
    toSubclassSpeedButtons,
    toSubclassSplitter,
    toSubclassStatusBar,
    toSubclassTrackBar,
    toSubclassWinControl,
    toResetMouseCapture,
    toSetTransparency,
    toAlternateTabSheetDraw
};
using TThemeOptions = TSet<TThemeOption>;
constexpr unsigned DefaultThemeOptions = 0x7FFF7;

using TAllowSubclassingEvent = Closure<void(TThemeManager* sender, TControl* control, bool& allow)>;
using TControlMessageEvent =
    Closure<void(TThemeManager* sender, TControl* control, TMessage& message, bool& handled)>;

// The classes the manager follows, one list each, in the order a control's class is tested.
// A class joins by a row here, a row in the class table of ThemeMgr.cpp and its window procedure.
enum TSubclassKind
{
    skButtonControl,
    skSpeedButton,
    skGroupBox,
    skTabSheet,
    skPanel,
    skFrame,
    skListView,
    skTrackBar,
    skCheckListBox,
    skStatusBar,
    skSplitter,
    skAnimate,
    skForm,
    skWinControl
};
constexpr int SubclassKindCount = skWinControl + 1;

struct TControlEntry;

// The subclassed controls of one class, with the procedure each had before. Appended unsorted;
// sorted by address on the next search after additions.
class TWindowProcList
{
public:
    TWindowProcList(TThemeManager* owner, TSubclassKind kind);
    ~TWindowProcList();
    TWindowProcList(const TWindowProcList&) = delete;
    TWindowProcList& operator=(const TWindowProcList&) = delete;

    // Index of the new entry, or -1 when the control is not of the list's class or listed already.
    int Add(TControl* control);
    // Gives the control its old procedure back.
    void Remove(TControl* control);
    bool Find(TControl* control, int& index);
    // Calls the control's old procedure (nothing when it is not listed).
    void DispatchMessage(TControl* control, TMessage& message);
    void Clear();
    int Count() const { return int(entries_.size()); }
    TSubclassKind Kind() const { return kind_; }

private:
    TThemeManager* owner_;
    TSubclassKind kind_;
    std::vector<TControlEntry*> entries_;
    std::unordered_set<TControl*> members_; // for Add, which must not sort
    bool dirty_ = false;
    TControl* lastControl_ = nullptr;
    int lastIndex_ = -1;
};

class TThemeManager : public TComponent
{
public:
    explicit TThemeManager(TComponent* owner);
    void AfterConstruction() override;
    void BeforeDestruction() override;
    ~TThemeManager() override;
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;

    TThemeOptions Options() const { return options_; }
    void SetOptions(TThemeOptions value);
    bool IsMainManager() const;
    static TThemeManager* CurrentThemeManager();
    void ForceAsMainManager();
    void UpdateThemes();
    void RegisterListener(TControlMessageEvent listener);
    void UnregisterListener(TControlMessageEvent listener);

    TNotifyEvent OnThemeChange;
    TControlMessageEvent OnControlMessage;
    TAllowSubclassingEvent OnAllowSubclassing;

    // The list a control of this kind goes to (for tests and the stubs).
    TWindowProcList* List(TSubclassKind kind) const { return lists_[kind]; }
    // The drawing procedure a stub hands a message to, by the kind of its list.
    void WindowProc(TSubclassKind kind, TControl* control, TMessage& message);

protected:
    void AddRecreationCandidate(TControl* control);
    void RemoveRecreationCandidate(TControl* control);
    bool IsRecreationCandidate(TControl* control) const;
    void BroadcastThemeChange();
    void ClearLists();
    void CollectForms(TCustomForm* form);
    void CollectControls(TWinControl* parent);
    void FixControls(TCustomForm* form);
    void HandleControlChange(TControl* control, bool inserting);
    void RemoveChildSubclassing(TWinControl* control);
    bool DoAllowSubclassing(TControl* control);
    bool DoControlMessage(TControl* control, TMessage& message);
    void DoOnThemeChange();
    bool FindListener(TControlMessageEvent listener, int& index) const;
    bool MainWindowHook(TMessage& message);
    void UpdateUIState(TControl* control, WORD keyCode);
    void PerformEraseBackground(TControl* control, HDC dc);

    void ButtonControlWindowProc(TControl* control, TMessage& message);
    void SpeedButtonWindowProc(TControl* control, TMessage& message);
    void GroupBoxWindowProc(TControl* control, TMessage& message);
    void TabSheetWindowProc(TControl* control, TMessage& message);
    void PanelWindowProc(TControl* control, TMessage& message);
    void TrackBarWindowProc(TControl* control, TMessage& message);
    void StatusBarWindowProc(TControl* control, TMessage& message);
    void FrameWindowProc(TControl* control, TMessage& message);
    void ListviewWindowProc(TControl* control, TMessage& message);
    void CheckListBoxWindowProc(TControl* control, TMessage& message);
    void SplitterWindowProc(TControl* control, TMessage& message);
    void AnimateWindowProc(TControl* control, TMessage& message);
    void FormWindowProc(TControl* control, TMessage& message);
    void WinControlWindowProc(TControl* control, TMessage& message);

private:
    friend class TWindowProcList;
    friend struct TControlEntry;
    friend void ShutdownThemeManagers();
    friend LRESULT CALLBACK ApplicationHookProc(HWND, UINT, WPARAM, LPARAM);
    void Forward(TControl* control, TMessage& message, TSubclassKind kind);
    void SetThemeOptionsLocked(TThemeOptions value);
    void DrawCheckListItem(TCheckListBox* list, const DRAWITEMSTRUCT& item);
    void DrawCheckListItemCheck(HDC dc, const TRect& r, TCheckBoxState state, bool enabled);
    void DrawGroupBoxCaption(TWinControl* box, HDC dc);
    void DrawPanel(TWinControl* panel, HDC dc);
    void DrawBitBtn(TWinControl* button, DRAWITEMSTRUCT& item);
    void DrawButton(TWinControl* control, TThemedButton state, bool focused, const TRect& r, HDC dc);
    void ParentBackground(TControl* control, HDC dc, const TThemedElementDetails* details, bool onlyIfTransparent,
                          const TRect* bounds = nullptr);

    TThemeOptions options_ = TThemeOptions::FromInt(DefaultThemeOptions);
    TWindowProcList* lists_[SubclassKindCount] = {};
    std::vector<TControlMessageEvent> listeners_;
    std::vector<TCustomForm*> pendingForms_;
    std::vector<TControl*> recreationList_;
    bool subclassingDisabled_ = false;
    bool hookInstalled_ = false;
};

// At exit, before the theme services go: frees every manager (the controls get their procedures
// back) without handing over. Runs by itself once a manager was made.
void ShutdownThemeManagers();

// Whether the control's own colour matches its parent's (the panel rule): then its parent's
// background shows through it.
bool SameColorAsParent(const TControl* control);

// A themed bitmap button draws itself: owner-drawn while on, its own button type back when off.
void SetOwnerDrawn(TControl* control, bool on);
