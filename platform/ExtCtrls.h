// The timer, the panel, the image, docking of a tool form into a panel, and dropped files.
#pragma once

#include <map>

#include "ComCtrls.h"
#include "Forms.h"
#include "Picture.h"

#include <shellapi.h> // after <windows.h>

class TStrings;

// A window-message timer. It runs while Enabled and Interval > 0 (from construction: enabled,
// 1000 ms) and calls OnTimer, if set, on the user-interface thread. A handler may free the timer
// it was called by, or change it; nothing of the timer is touched after the handler returns.
class TTimer : public TComponent
{
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned milliseconds);

    TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    friend struct TTimerWindow;
    void UpdateTimer();
    bool enabled_ = true;
    unsigned interval_ = 1000;
    UINT_PTR id_ = 0; // of the running Win32 timer, 0 when stopped
};

enum TBevelCut
{
    bvNone,
    bvLowered,
    bvRaised
};

class TDragDockObject : public TObject
{
public:
    explicit TDragDockObject(TControl* control) : control_(control) {}
    TControl* Control() const { return control_; }

private:
    TControl* control_;
};

using TDockDropEvent = Closure<void(TObject* sender, TDragDockObject* source, int x, int y)>;
using TUnDockEvent = Closure<void(TObject* sender, TControl* client, TWinControl* newTarget, bool& allow)>;
using TDropFilesEvent = Closure<void(TObject* sender, TStrings* files)>;

// A plain container with a bevel and a caption (centred unless aligned otherwise). It passes the
// notifications of native controls on it back to them, can be a dock site for tool forms, and can
// take dropped files.
class TPanel : public TCustomControl
{
public:
    explicit TPanel(TComponent* owner);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut bevel);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut bevel);
    // Pixels between the outer and the inner bevel.
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int width);
    // bsSingle: a sunken edge around the panel; bsNone: none.
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    // Where the caption sits across the panel, inside the bevels; vertically it is always centred.
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

    // Docking: a form docked here is a child of the panel filling it (see ManualDock).
    bool DockSite() const { return dockSite_; }
    void SetDockSite(bool dockSite) { dockSite_ = dockSite; }
    int DockClientCount() const;
    TControl* DockClients(int index) const; // EListError out of range

    // Dropped files: DragAcceptFiles on the panel's window (kept when the window is remade).
    bool AcceptFiles() const { return acceptFiles_; }
    void SetAcceptFiles(bool accept);

    TDockDropEvent OnDockDrop;
    TUnDockEvent OnUnDock;
    // Every dropped name (folders included) as CP932 text; the list is the panel's, valid for the call.
    TDropFilesEvent OnDropFiles;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Paint() override;
    void Dispatch(TMessage& message) override;
    // WM_DROPFILES: OnDropFiles with the names, then DragFinish; the result is 0.
    virtual void WMDropFiles(TMessage& message);

private:
    friend bool ManualDock(TCustomForm* form, TPanel* site);
    friend bool ManualFloat(TCustomForm* form, const TRect& screenRect);
    friend TSize UndockSize(TControl* control);
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int borderWidth_ = 0;
    TFormBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
    bool dockSite_ = false;
    bool acceptFiles_ = false;
    // Size of each docked form before it was docked (entries of forms that left are dropped).
    std::map<const TControl*, TSize> undockSizes_;
};

// Docks a form into a dock-site panel: the form becomes a child window of the panel (its caption
// and frame go) and fills it; the panel's OnDockDrop follows. False when the panel is no dock site.
bool ManualDock(TCustomForm* form, TPanel* site);
// Takes a docked form out (its host's OnUnDock may refuse: false) and shows it as a floating tool
// window at screenRect. A floating form is only moved there. The form's window is made anew.
bool ManualFloat(TCustomForm* form, const TRect& screenRect);
// The dock-site panel a control is docked into, or null.
TPanel* HostDockSite(const TControl* control);
// A docked form's size from before it was docked; else the control's own size.
TSize UndockSize(TControl* control);

// The names in a WM_DROPFILES handle as CP932 text, each read at its real length, in order.
void GetDroppedFiles(HDROP drop, TStrings* files);

// Shows a picture, parent-painted. AutoSize makes the control the picture's size whenever the
// picture changes; Stretch fills the control with it, else it sits at the top left.
class TImage : public TGraphicControl
{
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    TPicture* Picture() const { return picture_; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);

protected:
    void Paint() override;

private:
    void PictureChanged(TObject*);
    TPicture* picture_;
    bool autoSize_ = false;
    bool stretch_ = false;
};

enum TBevelShape
{
    bsFrame,
    bsTopLine,
    bsBottomLine,
    bsLeftLine,
    bsRightLine
};

// An etched frame or line that groups or divides the controls of a dialog; parent-painted.
class TBevel : public TGraphicControl
{
public:
    explicit TBevel(TComponent* owner);

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape shape);

protected:
    void Paint() override;

private:
    TBevelShape shape_ = bsFrame;
};
