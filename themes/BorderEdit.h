// A one-line field that paints its own text, optionally in equal cells like a comb form, and edits
// through a hidden inner edit box shown while it has the focus.
#pragma once

#include <vector>

#include "platform/StdCtrls.h"

using TDispStrEvent = Closure<void(TObject* sender, AnsiString& text)>;

class TBorderEdit : public TCustomControl
{
public:
    explicit TBorderEdit(TComponent* owner);
    ~TBorderEdit() override;

    AnsiString Text() const;
    void SetText(const AnsiString& text);
    TEdit* Edit() const { return edit_; }

    bool BorderDraw() const { return borderDraw_; }
    void SetBorderDraw(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    bool ColSeparateDraw() const { return colSeparateDraw_; }
    void SetColSeparateDraw(bool value);
    int ColSeparateNum() const { return colSeparateNum_; }
    void SetColSeparateNum(int value);
    TPen* ColPen() const { return colPen_; }
    void SetColPen(const TPen* value) { colPen_->Assign(*value); }
    TPen* Pen() const { return pen_; }
    void SetPen(const TPen* value) { pen_->Assign(*value); }
    TPen* NoCaptionPen() const { return noCaptionPen_; }
    void SetNoCaptionPen(const TPen* value) { noCaptionPen_->Assign(*value); }
    TFont* NoCaptionFont() const { return noCaptionFont_; }
    void SetNoCaptionFont(const TFont* value) { noCaptionFont_->Assign(*value); }
    const AnsiString& NoCaption() const { return noCaption_; }
    void SetNoCaption(const AnsiString& value);
    bool NoCaptionDraw() const { return noCaptionDraw_; }
    void SetNoCaptionDraw(bool value);

    // Editing, done by the inner edit.
    void SelectAll() { edit_->SelectAll(); }
    void CopyToClipboard() { SendToEdit(WM_COPY); }
    void CutToClipboard() { SendToEdit(WM_CUT); }
    void PasteFromClipboard() { SendToEdit(WM_PASTE); }
    void ClearSelection() { SendToEdit(WM_CLEAR); }
    void Undo() { SendToEdit(EM_UNDO); }
    bool CanUndo() { return SendToEdit(EM_CANUNDO) != 0; }
    int SelLength() { return edit_->SelLength(); }
    void SetSelLength(int bytes) { edit_->SetSelLength(bytes); }
    TImeMode ImeMode() const { return edit_->ImeMode(); }
    void SetImeMode(TImeMode mode) { edit_->SetImeMode(mode); }

    // The inner edit's events.
    TNotifyEvent GetOnChange() const { return edit_->OnChange; }
    void SetOnChange(TNotifyEvent e) { edit_->OnChange = e; }
    TKeyEvent GetOnKeyDown() const { return edit_->OnKeyDown; }
    void SetOnKeyDown(TKeyEvent e) { edit_->OnKeyDown = e; }
    TKeyPressEvent GetOnKeyPress() const { return edit_->OnKeyPress; }
    void SetOnKeyPress(TKeyPressEvent e) { edit_->OnKeyPress = e; }

    TDispStrEvent OnDispStr;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

    // The edit style bits of an alignment written into a window.
    static void SetAlignmentWindowHandle(HWND window, TAlignment alignment);

protected:
    void Paint() override;
    AnsiString GetDispStr() const;
    void DoEnter();
    void DoExit();
    void WMSetFocus(TWMSetFocus& message) override;
    void WMLButtonDown(TWMMouse& message) override;

private:
    class TInnerEdit;
    friend class TInnerEdit;
    LRESULT SendToEdit(UINT msg);
    void InvalidateOnChange(TObject*);
    void PaintCells(TCanvas* canvas, const AnsiString& text, int textTop);

    TEdit* edit_; // a TInnerEdit
    AnsiString text_;
    bool borderDraw_ = false;
    TAlignment alignment_ = taCenter;
    bool colSeparateDraw_ = false;
    int colSeparateNum_ = 0;
    TPen* colPen_;
    TPen* pen_;
    TPen* noCaptionPen_;
    TFont* noCaptionFont_;
    AnsiString noCaption_;
    bool noCaptionDraw_ = false;
    bool savedTabStop_ = true;
    bool editing_ = false;
};

// The characters of a CP932 text, each as its own string (a double-byte character whole).
std::vector<AnsiString> SplitCharacters(const AnsiString& text);
