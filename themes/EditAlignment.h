// An edit box with aligned text and a one-pixel border of its own colour.
#pragma once

#include "platform/StdCtrls.h"

class TEditAlignment : public TEdit
{
public:
    explicit TEditAlignment(TComponent* owner) : TEdit(owner) {}

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor value);

protected:
    void CreateParams(TCreateParams& params) override;
    void WMNCPaint(TMessage& message) override;
    void PaintEdit(HDC dc, const TRect& client);
    void SetBorder(HDC dc, const TRect& client);

private:
    TAlignment alignment_ = taLeftJustify;
    TColor borderColor_ = TColor(0x808080);
};

// The edit style of an alignment in place of the low two style bits.
DWORD AlignedEditStyle(DWORD style, TAlignment alignment);
