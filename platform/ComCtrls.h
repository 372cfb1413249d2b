// Common controls: the page control with its tab sheets, the status bar with panels and the tool
// bar with tool buttons, each over the comctl32 window of its kind.
//
// A native control is a window of a system class subclassed by the layer: its messages reach the
// object's WndProc/Dispatch like any control's, and what the handlers leave goes to the system
// class's own procedure. The notifications such a window sends its parent (WM_COMMAND, WM_NOTIFY,
// WM_DRAWITEM) are sent back to the control as CN_COMMAND, CN_NOTIFY and CN_DRAWITEM, so the
// control handles its own events wherever it sits. All state (tabs, panels, buttons) is kept in
// the object and written into the window whenever it is (re)made.
#pragma once

#include <vector>

#include "Controls.h"

#include <commctrl.h> // after <windows.h>

class TPopupMenu;

// Notifications reflected from the parent to the control that sent them.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// Parents call this for WM_COMMAND, WM_NOTIFY and WM_DRAWITEM: when the sender is a native
// control of the layer, it gets the CN_ message, its result becomes the message's, and true is
// returned. A colour question the control leaves unanswered (no brush) stays the parent's.
bool ReflectControlMessage(TMessage& message);
// The messages a parent sends back to the native control they came from.
inline bool IsReflectedMessage(unsigned msg)
{
    return msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_DRAWITEM || msg == WM_HSCROLL || msg == WM_VSCROLL ||
           msg == WM_CTLCOLORBTN || msg == WM_CTLCOLORSTATIC;
}

// InitCommonControlsEx for every class used here; runs once, whatever calls it first.
void InitCommonControlsOnce();

// Mouse and drag events of the controls that offer them.
enum TMouseButton
{
    mbLeft,
    mbRight,
    mbMiddle
};
using TMouseEvent = Closure<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
enum TDragState
{
    dsDragEnter,
    dsDragLeave,
    dsDragMove
};
using TDragOverEvent =
    Closure<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = Closure<void(TObject* sender, TObject* source, int x, int y)>;

// A windowed control over a window of a system class (see the header comment).
class TNativeControl : public TWinControl
{
public:
    explicit TNativeControl(TComponent* owner);

protected:
    virtual const wchar_t* NativeClassName() const = 0;
    // The window exists and is subclassed: write the object's state into it.
    virtual void HandleCreated() {}
    void CreateWnd() override;
    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void WMEraseBkgnd(TWMEraseBkgnd& message) override { DefaultHandler(message); }
    void CMFontChanged(TMessage& message) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
    WNDPROC nativeProc_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Page control

class TPageControl;

// One page of a page control: a plain windowed control shown while it is the active page.
class TTabSheet : public TWinControl
{
public:
    explicit TTabSheet(TComponent* owner);
    void BeforeDestruction() override;

    TPageControl* PageControl() const { return pageControl_; }
    // Puts the sheet last into the page control (or takes it out); the control becomes its parent.
    void SetPageControl(TPageControl* pageControl);
    // Position among all pages; setting it moves the page and its tab.
    int PageIndex() const;
    void SetPageIndex(int index);
    // Whether the page has a tab. A page without one can still be the active page.
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool visible);
    // Position among the visible tabs, -1 when the tab is hidden.
    int TabIndex() const;
    // A frame of this many pixels inside the page's window, round its client area, where what lies
    // behind the page shows (classically: the page's colour).
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);

protected:
    void TextChanged() override;
    void Dispatch(TMessage& message) override;
    void WMNCPaint(TMessage& message) override;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
    int borderWidth_ = 0;
};

enum TTabPosition
{
    tpTop,
    tpBottom
};

using TTabChangingEvent = Closure<void(TObject* sender, bool& allowChange)>;
using TDrawTabEvent = Closure<void(TPageControl* control, int tabIndex, const TRect& rect, bool active)>;
// A context menu is asked for at a client point (the keyboard's: the active tab's centre); set
// handled when the event showed one.
using TContextPopupEvent = Closure<void(TObject* sender, TPoint mousePos, bool& handled)>;

// Tabs over pages. Setting ActivePage, ActivePageIndex or TabIndex in code fires no event; a switch
// by the user (click, keys) or SelectNextPage fires OnChanging (which may refuse) before and
// OnChange after the active page changes.
//
// Owner-drawn tabs: OnDrawTab gets each tab with Canvas on the tab's DC, reset for every tab to the
// control's font and a solid clBtnFace brush, so one tab's bold font or clear brush never leaks
// into the next. Their widths are measured in the bold form of the font, so a caption drawn bold
// (the active tab's) still fits; a switch repaints the whole tab row.
//
// The context menu comes with the right button's release (and the menu key): OnContextPopup.
//
// Drag: a reduced model for moving tabs. BeginDrag (from OnMouseDown) starts a drag whose source is
// the control itself; while the mouse moves, OnDragOver decides whether a drop is accepted at a
// point inside the control; releasing the button over an accepted point fires OnDragDrop.
class TPageControl : public TNativeControl
{
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;

    int PageCount() const { return int(pages_.size()); }
    TTabSheet* Pages(int index) const; // EListError out of range
    TTabSheet* ActivePage() const { return activePage_; }
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The active page's position among the visible tabs; -1 when none.
    int TabIndex() const;
    void SetTabIndex(int tabIndex);
    int TabCount() const;
    // Caption of the tab at tabIndex, and the page it stands for (null out of range).
    AnsiString Tabs(int tabIndex) const;
    TTabSheet* TabPage(int tabIndex) const;
    // Tab under a client point, -1 when none; a tab's rectangle in client coordinates.
    int IndexOfTabAt(int x, int y);
    TRect TabRect(int tabIndex);

    // The next (or previous) page after current, wrapping; checkTabVisible skips pages without a
    // tab. Null when there is none (current itself when it is the only one).
    TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
    // A switch as by the user: OnChanging, then OnChange.
    void SelectNextPage(bool goForward, bool checkTabVisible = true);
    // Scrolls a tab row that does not fit by delta tabs (negative: back).
    void ScrollTabs(int delta);

    bool OwnerDraw() const { return ownerDraw_; }
    void SetOwnerDraw(bool ownerDraw);
    TTabPosition TabPosition() const { return tabPosition_; }
    void SetTabPosition(TTabPosition position);
    TCanvas* Canvas() const { return canvas_; }

    void BeginDrag(bool immediate, int threshold = -1);
    // Ends a drag; drop: as if the button were released where the mouse is.
    void EndDrag(bool drop);
    bool Dragging() const { return dragging_; }

    TNotifyEvent OnChange;
    TTabChangingEvent OnChanging;
    TDrawTabEvent OnDrawTab;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TContextPopupEvent OnContextPopup;

protected:
    const wchar_t* NativeClassName() const override { return WC_TABCONTROLW; }
    void CMFontChanged(TMessage& message) override;
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void WMSize(TWMSize& message) override;
    void WMLButtonDown(TWMMouse& message) override;
    void WMLButtonUp(TWMMouse& message) override;
    void WMRButtonDown(TWMMouse& message) override;
    void WMMouseMove(TWMMouse& message) override;
    virtual bool CanChange();
    virtual void Change();
    virtual void DrawTab(int tabIndex, const TRect& rect, bool active);

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void MovePage(TTabSheet* page, int index);
    void ChangeActivePage(TTabSheet* page);
    void UpdateTabs(); // all of them, when the window is made
    void InsertTab(TTabSheet* page);
    void DeleteTab(int tabIndex);
    void UpdateTabText(TTabSheet* page);
    void SyncSelection();
    void LayoutSheets();
    void UpdateStyle();
    void CNNotify(TMessage& message);
    void CNDrawItem(TMessage& message);
    bool DragAccepted(int x, int y);
    void StopDrag();
    void ApplyTabFont();
    void InvalidateTabRow();
    void WMContextMenu(TMessage& message);

    std::vector<TTabSheet*> pages_;
    TTabSheet* activePage_ = nullptr;
    TControlCanvas* canvas_;
    TFont* tabFont_; // what the tab control measures captions with
    bool ownerDraw_ = false;
    TTabPosition tabPosition_ = tpTop;
    bool inMouseDown_ = false; // a drag begun from OnMouseDown starts where the button went down
    TPoint mouseDown_;
    bool dragPending_ = false;
    bool dragging_ = false;
    int dragThreshold_ = 5;
    TPoint dragStart_;
    TPoint dragPos_;
};

// ---------------------------------------------------------------------------------------------
// Status bar

enum TAlignment
{
    taLeftJustify,
    taRightJustify,
    taCenter
};

class TStatusBar;

class TStatusPanel : public TObject
{
public:
    const AnsiString& Text() const { return text_; }
    void SetText(const AnsiString& text);
    int Width() const { return width_; }
    void SetWidth(int width);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    int Index() const;

private:
    friend class TStatusPanels;
    friend class TStatusBar;
    explicit TStatusPanel(TStatusBar* bar) : bar_(bar) {}
    TStatusBar* bar_;
    AnsiString text_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
};

class TStatusPanels : public TObject
{
public:
    ~TStatusPanels() override;
    TStatusPanel* Add();
    int Count() const { return int(items_.size()); }
    TStatusPanel* Items(int index) const; // EListError out of range
    void Clear();

private:
    friend class TStatusBar;
    friend class TStatusPanel;
    explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
    TStatusBar* bar_;
    std::vector<TStatusPanel*> items_;
};

// Bottom-aligned by default; each panel's right edge is the sum of the widths so far, the last one
// reaching to the right border.
class TStatusBar : public TNativeControl
{
public:
    explicit TStatusBar(TComponent* owner);
    ~TStatusBar() override;

    TStatusPanels* Panels() const { return panels_; }
    // The text the window shows in a panel (what a user sees), for checks.
    AnsiString PanelText(int index);
    // Width of text in the bar's font, in pixels; 0 before the window exists.
    int TextWidth(const AnsiString& text);

protected:
    const wchar_t* NativeClassName() const override { return STATUSCLASSNAMEW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void WMSize(TWMSize& message) override;

private:
    friend class TStatusPanel;
    friend class TStatusPanels;
    void UpdateParts();
    void UpdatePanelText(int index);
    TStatusPanels* panels_;
};

// ---------------------------------------------------------------------------------------------
// Tool bar

enum TToolButtonStyle
{
    tbsButton,
    tbsCheck,
    tbsDropDown,
    tbsSeparator,
    tbsDivider
};

class TToolBar;

// A button of a tool bar: a control without a window of its own; its tool bar draws it and takes
// its clicks. A press captures the mouse (csCaptureMouse, from construction): it clicks only when the
// button is released over it. Without the style the bar does not capture for the press, and the
// press is dropped when the mouse leaves the bar.
class TToolButton : public TControl
{
public:
    explicit TToolButton(TComponent* owner);
    void BeforeDestruction() override;
    void SetParent(TWinControl* parent) override;

    TToolButtonStyle Style() const { return style_; }
    void SetStyle(TToolButtonStyle style);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    bool Down() const;
    void SetDown(bool down);
    TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
    void SetDropdownMenu(TPopupMenu* menu) { dropdownMenu_ = menu; }
    int Index() const; // among the tool bar's buttons and controls, -1 when on none
    int Command() const { return command_; }

    virtual void Click();
    TNotifyEvent OnClick;

    void Notification(TComponent* component, TOperation operation) override;

protected:
    void VisibleChanged() override;
    void EnabledChanged() override;
    void TextChanged() override;

private:
    friend class TToolBar;
    TToolBar* Bar() const;
    TToolButtonStyle style_ = tbsButton;
    int imageIndex_ = -1;
    bool down_ = false;
    TPopupMenu* dropdownMenu_ = nullptr;
    int command_;
};

// Buttons in the order they were put on the bar; a windowed control put on the bar takes a slot of
// its own width among them. Without images the buttons show their captions. Items that do not fit
// the bar's width go on to further rows, and the bar's height follows its rows.
class TToolBar : public TNativeControl
{
public:
    explicit TToolBar(TComponent* owner);

    int ButtonCount() const;
    TToolButton* Buttons(int index) const; // EListError out of range
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool show);
    HIMAGELIST Images() const { return images_; }
    // An image list the caller keeps alive (nullptr: none).
    void SetImages(HIMAGELIST images);
    // Rewrites every button; call after putting a windowed control on the bar last.
    void RebuildButtons();
    // Screen rectangle of a button (for a drop-down menu), empty when it is not shown.
    TRect ButtonRect(TToolButton* button);
    // Shows its parent's background between and behind the buttons.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);

protected:
    const wchar_t* NativeClassName() const override { return TOOLBARCLASSNAMEW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void Resize() override;

private:
    friend class TToolButton;
    void UpdateButton(TToolButton* button);
    BYTE ItemState(int index) const;
    bool IsSeparator(int index) const;
    void WrapItems();
    void PlaceControls();
    void CNNotify(TMessage& message);
    TToolButton* FindButton(int command) const;
    int ButtonAt(LPARAM point) const; // command of the button under a client point, 0 when none
    bool PressWithoutCapture(const TMessage& message);
    void ReleasePress(const TMessage& message);
    void DropPress();
    bool showCaptions_ = true;
    HIMAGELIST images_ = nullptr;
    bool rebuilding_ = false;
    bool transparent_ = false;
    int pressed_ = 0; // command of a button pressed without the mouse's capture
    std::vector<int> widths_;     // each item's width on one row, 0 when hidden
    std::vector<BYTE> rowStates_; // TBSTATE_WRAP and TBSTATE_HIDDEN that the rows give each item
};

// ---------------------------------------------------------------------------------------------
// Tree view

class TTreeView;

// A node of a tree view: its text, the caller's data (not owned) and its place in the tree.
class TTreeNode
{
public:
    const AnsiString& Text() const { return text_; }
    void* Data() const { return data_; }
    TTreeNode* Parent() const { return parent_; }
    // 0 for a root.
    int Level() const { return parent_ ? parent_->Level() + 1 : 0; }
    int Count() const { return int(children_.size()); }
    TTreeNode* Item(int index) const { return children_.at(size_t(index)); }

private:
    friend class TTreeView;
    AnsiString text_;
    void* data_ = nullptr;
    TTreeNode* parent_ = nullptr;
    std::vector<TTreeNode*> children_;
    HTREEITEM item_ = nullptr;
};

using TTVChangedEvent = Closure<void(TObject* sender, TTreeNode* node)>;

// A tree of text nodes the user selects from (the texts are not edited in place). The nodes live
// in the object and are written into the window whenever it is made.
class TTreeView : public TNativeControl
{
public:
    explicit TTreeView(TComponent* owner);
    ~TTreeView() override;

    // A new node last under parent (null: a root).
    TTreeNode* AddChild(TTreeNode* parent, const AnsiString& text, void* data = nullptr);
    // Removes every node; OnDeletion sees each first, so the caller can free its data.
    void Clear();
    // Every node in tree order (a node before its children).
    std::vector<TTreeNode*> Nodes() const;
    int Count() const { return int(all_.size()); }
    TTreeNode* Selected() const { return selected_; }
    // Selects a node (null: none) and shows it; OnChange fires when the selection changes.
    void SetSelected(TTreeNode* node);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide) { hideSelection_ = hide; }

    TTVChangedEvent OnChange;
    TTVChangedEvent OnDeletion;

protected:
    const wchar_t* NativeClassName() const override { return WC_TREEVIEWW; }
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;
    void WMDestroy(TWMDestroy& message) override;

private:
    void InsertIntoWindow(TTreeNode* node);
    void Collect(TTreeNode* node, std::vector<TTreeNode*>& out) const;
    std::vector<TTreeNode*> roots_;
    std::vector<TTreeNode*> all_; // owned
    TTreeNode* selected_ = nullptr;
    bool hideSelection_ = true;
    int quiet_ = 0; // selection set by us: no event from the window
};
