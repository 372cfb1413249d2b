// A windowed label: text aligned on both axes, an optional frame, and a placeholder text shown
// in its own font and frame while the caption is empty.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/Controls.h"

enum TTextLayout
{
    tlTop,
    tlCenter,
    tlBottom
};

class TWinLabel : public TCustomControl
{
public:
    explicit TWinLabel(TComponent* owner);
    ~TWinLabel() override;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    bool BorderDraw() const { return borderDraw_; }
    void SetBorderDraw(bool value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    TPen* Pen() const { return pen_; }
    void SetPen(const TPen* value) { pen_->Assign(*value); }
    bool NoCaptionDraw() const { return noCaptionDraw_; }
    void SetNoCaptionDraw(bool value);
    TPen* NoCaptionPen() const { return noCaptionPen_; }
    void SetCaptionPen(const TPen* value) { noCaptionPen_->Assign(*value); }
    TFont* NoCaptionFont() const { return noCaptionFont_; }
    void SetNoCaptionFont(const TFont* value) { noCaptionFont_->Assign(*value); }
    const AnsiString& NoCaption() const { return noCaption_; }
    void SetNoCaption(const AnsiString& value);

protected:
    void Paint() override;
    void TextChanged() override;

private:
    void Repaint(TObject*) { Invalidate(); }

    TAlignment alignment_ = taLeftJustify;
    bool borderDraw_ = false;
    TTextLayout layout_ = tlTop;
    TPen* pen_;
    bool noCaptionDraw_ = false;
    TPen* noCaptionPen_;
    TFont* noCaptionFont_;
    AnsiString noCaption_;
};
