// A label whose background (and, if asked, its text) is alpha-blended over whatever lies behind
// it: parent-painted, so a picture under it shows through.
#pragma once

#include "platform/ComCtrls.h"
#include "platform/Controls.h"
#include "platform/Forms.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TAALabel : public TGraphicControl
{
public:
    explicit TAALabel(TComponent* owner);
    ~TAALabel() override;

    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool on);
    // 0..255; other values are ignored.
    int AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(int value);
    // The text is blended together with the background.
    bool StrAlphaBlend() const { return FStrAlphaBlend; }
    void SetStrAlphaBlend(bool on);
    int dX() const { return FdX; }
    void SetdX(int dx);
    int dY() const { return FdY; }
    void SetdY(int dy);
    // Any style but bsNone draws a one-pixel frame and keeps a 2-pixel margin.
    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor color);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment alignment);
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout layout);

    // Where the caption goes for the current size, font and settings.
    TPoint TextOrigin();

protected:
    void Paint() override;

private:
    void ReDraw() { Invalidate(); }
    void SetFontValue(TCanvas* canvas);
    void DrawFrame(TCanvas* canvas);

    TBitmap* FBitmap;
    bool FAlphaBlend = false;
    int FAlphaBlendValue = 0;
    bool FStrAlphaBlend = false;
    int FdX = 0;
    int FdY = 0;
    TFormBorderStyle FBorderStyle = bsNone;
    TColor FBorderColor = 0;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
};
