// Forms, the application object with its message loop and exception reporting, and the screen.
#pragma once

#include <exception>
#include <map>
#include <type_traits>
#include <vector>

#include "Controls.h"
#include "SysUtils.h"

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// Where a top-level form is put each time it is shown: where its bounds say, centred on the
// screen's work area, centred on the application's main form, or centred on its owner when that
// is a form (else on the main form). A centred form is kept inside the work area of its monitor.
enum TPosition { poDesigned, poScreenCenter, poMainFormCenter, poOwnerFormCenter };

using TCloseEvent = Closure<void(TObject*, TCloseAction&)>;
using TCloseQueryEvent = Closure<void(TObject*, bool&)>;
using TExceptionEvent = Closure<void(TObject*, Exception*)>;

// A top-level window. Hidden until shown; OnCreate fires in AfterConstruction and OnDestroy in
// BeforeDestruction, so both see the complete form.
class TCustomForm : public TWinControl
{
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // Shows the form; a top-level form already shown comes to the front with the focus.
    void Show();
    void Close();
    bool CloseQuery();
    // Runs a message loop until ModalResult is set; other windows of the thread are disabled meanwhile.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // Frees the form once the message being handled is done.
    void Release();

    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool on) { keyPreview_ = on; }
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    // The form whose window owns this one while it is a top-level window: it then always lies over
    // that form. Null: none.
    TCustomForm* PopupParent() const { return popupParent_; }
    void SetPopupParent(TCustomForm* form);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    // While AlphaBlend is on the window is layered and drawn at AlphaBlendValue (0 clear, 255
    // opaque) over what lies behind it.
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool on);
    int AlphaBlendValue() const { return alphaBlendValue_; }
    void SetAlphaBlendValue(int value); // clamped to 0..255

    // Tab, Enter and Esc that the focused control does not ask for (WM_GETDLGCODE) come here from
    // the message loop: Tab moves the focus to the next TabStop control (Shift+Tab: the previous
    // one); Enter and Esc are offered to the controls as CM_DIALOGKEY (the default and the cancel
    // button take them); Ctrl+Tab and Ctrl+PageDown show the next page of the page control the
    // focus is in, else of the form's first one (Ctrl+Shift+Tab and Ctrl+PageUp the page before).
    // True when the key was used; it then goes no further.
    virtual bool DialogKey(WORD key, TShiftState shift);
    // An access key (Alt+letter, or the letter alone where the focused control takes no characters)
    // offered to the controls as CM_DIALOGCHAR: a button is clicked, a label focuses the control it
    // names. True when a control took it.
    virtual bool DialogChar(wchar_t key);
    // Focuses the next (or previous) enabled, visible TabStop control after current in tab order
    // (current need not be a tab stop itself), wrapping.
    void SelectNext(TWinControl* current, bool goForward);
    // Focuses a control as keyboard navigation does: an edit, or the edit of a combo box, has its
    // whole text selected, so typing replaces it.
    void SelectControl(TWinControl* control);

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnActivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void Dispatch(TMessage& message) override;
    void VisibleChanged() override;

private:
    friend class TWinControl;
    void ApplyAlphaBlend();
    void ApplyPosition();
    // The window of control (one of ours) received the focus: it becomes the active control, with
    // OnExit of the one before and OnEnter of the new one.
    void FocusMoved(TWinControl* control);
    void DoClose(TCloseAction& action);
    void PostRaiseOwned();
    void CloseModal();
    // A control leaves the form (or a container of it leaves): drop it as the active control.
    void ControlRemoving(TWinControl* control);

    TWinControl* activeControl_ = nullptr;
    TCustomForm* popupParent_ = nullptr;
    TModalResult modalResult_ = mrNone;
    TFormBorderStyle borderStyle_ = bsSizeable;
    TPosition position_ = poDesigned;
    bool keyPreview_ = false;
    bool modal_ = false;
    bool positioned_ = false;
    bool alphaBlend_ = false;
    int alphaBlendValue_ = 255;
    bool inFocusEvents_ = false;
    bool raiseOwnedPosted_ = false;
};

class TForm : public TCustomForm
{
public:
    using TCustomForm::TCustomForm;
};

// The innermost form in ShowModal, from the moment it is asked to show (before it is active), or
// null.
TCustomForm* InnermostModalForm();
// The window a box raised now should belong to: preferred when it is an enabled window, else the
// innermost modal form. A box re-enables its owner as it closes, and a window that a modal form
// disabled would then take the keys and come over the form.
HWND BoxOwnerWindow(HWND preferred);

// Lives while the system shows a box or a common dialog for us, which belongs to owner (the
// system disables that one itself): the program's other windows take no click meanwhile, and while
// a form of ours stays on top the box joins it there, so that no such form comes over it.
class TSystemModalScope
{
public:
    explicit TSystemModalScope(HWND owner);
    ~TSystemModalScope();
    TSystemModalScope(const TSystemModalScope&) = delete;
    TSystemModalScope& operator=(const TSystemModalScope&) = delete;

private:
    std::vector<HWND> disabled_;
    HWND previousActive_;
    HHOOK hook_ = nullptr;
};

// The form a control sits on (the control itself if it is a form), or null.
TCustomForm* GetParentForm(TControl* control);
// For the message loop: a Tab, Enter or Esc key-down that a form used as a dialog key, or a
// character that a form used as an access key.
bool IsDialogKeyMessage(const MSG& msg);

class TApplication : public TComponent
{
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Registers the window class and makes the hidden application window.
    void Initialize();
    HWND Handle() const { return handle_; }
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& title);
    TCustomForm* MainForm() const { return mainForm_; }
    bool Terminated() const { return terminated_; }

    // Makes a form owned by the application; the first one made becomes the main form. The
    // reference is set before AfterConstruction, so OnCreate handlers can use it.
    template <class T>
        requires std::is_base_of_v<TCustomForm, T>
    void CreateForm(T*& reference)
    {
        T* form = new T(this);
        reference = form;
        try
        {
            form->AfterConstruction();
        }
        catch (...)
        {
            reference = nullptr;
            delete form;
            throw;
        }
        if (!mainForm_)
            mainForm_ = form;
    }

    // Shows the main form and handles messages until Terminate (closing the main form calls it).
    void Run();
    void Terminate();
    void ProcessMessages();
    // Handles one message, waiting for one when the queue is empty.
    void HandleMessage();

    // Reports an exception that reached a callback: OnException if set, else a message box
    // (through the services seam); EAbort is silent.
    void HandleException(TObject* sender, const std::exception& e);
    void ShowException(const std::exception& e);

    TExceptionEvent OnException;
    // The program becomes the active one (any of its windows takes the activation from another
    // program's, or from none).
    TNotifyEvent OnActivate;

    void Notification(TComponent* component, TOperation operation) override;

private:
    bool ProcessMessage(MSG& msg);

    HWND handle_ = nullptr;
    AnsiString title_;
    TCustomForm* mainForm_ = nullptr;
    bool terminated_ = false;
};

class TScreen : public TComponent
{
public:
    explicit TScreen(TComponent* owner);

    // Built-in cursors (crArrow, crIBeam...) and the program's own slots (> 0).
    HCURSOR Cursors(TCursor index) const;
    void SetCursors(TCursor index, HCURSOR cursor);
    // A cursor other than crDefault overrides every control's cursor.
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);
    int Width() const;
    int Height() const;
    int PixelsPerInch() const;

    // Every form of the process, in the order they were made.
    int FormCount() const { return int(forms_.size()); }
    TCustomForm* Forms(int index) const { return forms_.at(size_t(index)); }

private:
    friend class TCustomForm;
    // A new form is announced to everything the application owns (Notification, opInsert).
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    std::vector<TCustomForm*> forms_;
    std::map<TCursor, HCURSOR> cursors_;
    TCursor cursor_ = crDefault;
};

extern TApplication* Application;
extern TScreen* Screen;

// Hands an exception caught in a callback to Application->HandleException (null e: not a
// std::exception); never throws.
// The text a box shows for an exception: never a C++ library's English name.
AnsiString ExceptionText(const std::exception& e);
void ReportCallbackException(TObject* sender, const std::exception* e) noexcept;

// Runs f; any exception goes to Application->HandleException instead of unwinding further. For
// every Win32 callback of the layer (window procedure, timers, hooks, enumerations).
template <class F>
void GuardedCall(TObject* sender, F&& f) noexcept
{
    try
    {
        f();
    }
    catch (const Exception& e)
    {
        ReportCallbackException(sender, &e);
    }
    catch (const std::exception& e)
    {
        ReportCallbackException(sender, &e);
    }
    catch (...)
    {
        ReportCallbackException(sender, nullptr);
    }
}
