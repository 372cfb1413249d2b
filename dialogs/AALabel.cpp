#include "dialogs/AALabel.h"

#include "platform/Picture.h"

TAALabel::TAALabel(TComponent* owner) : TGraphicControl(owner), FBitmap(new TBitmap()) {}

TAALabel::~TAALabel() { delete FBitmap; }

void TAALabel::SetAlphaBlend(bool on)
{
    FAlphaBlend = on;
    ReDraw();
}

void TAALabel::SetAlphaBlendValue(int value)
{
    if (value < 0 || value > 255)
        return;
    FAlphaBlendValue = value;
    ReDraw();
}

void TAALabel::SetStrAlphaBlend(bool on)
{
    FStrAlphaBlend = on;
    ReDraw();
}

void TAALabel::SetdX(int dx)
{
    FdX = dx;
    ReDraw();
}

void TAALabel::SetdY(int dy)
{
    FdY = dy;
    ReDraw();
}

void TAALabel::SetBorderStyle(TFormBorderStyle style)
{
    FBorderStyle = style;
    ReDraw();
}

void TAALabel::SetBorderColor(TColor color)
{
    FBorderColor = color;
    ReDraw();
}

void TAALabel::SetAlignment(TAlignment alignment)
{
    FAlignment = alignment;
    ReDraw();
}

void TAALabel::SetLayout(TTextLayout layout)
{
    FLayout = layout;
    ReDraw();
}

void TAALabel::SetFontValue(TCanvas* canvas) { canvas->SetFont(Font()); }

TPoint TAALabel::TextOrigin()
{
    const int m = FBorderStyle != bsNone ? 2 : 0;
    const int w = Width(), h = Height();
    SetFontValue(FBitmap->Canvas());
    const TSize size = FBitmap->Canvas()->TextExtent(Caption());
    const int tw = size.cx, th = size.cy;
    int x = m, y = m;
    // A caption that does not fit starts at the margin whatever the alignment.
    if (2 * m + tw < w)
    {
        if (FAlignment == taRightJustify)
            x = w - tw - m;
        else if (FAlignment == taCenter)
            x = (w - tw) / 2;
    }
    if (2 * m + th < h)
    {
        if (FLayout == tlBottom)
            y = h - th - m;
        else if (FLayout == tlCenter)
            y = (h - th) / 2;
    }
    return TPoint(x + FdX, y + FdY);
}

void TAALabel::DrawFrame(TCanvas* canvas)
{
    if (FBorderStyle == bsNone)
        return;
    canvas->Pen()->SetColor(FBorderColor);
    canvas->Pen()->SetStyle(psSolid);
    canvas->Brush()->SetStyle(bsClear);
    canvas->Rectangle(0, 0, Width(), Height());
    canvas->Brush()->SetStyle(bsSolid);
}

void TAALabel::Paint()
{
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0)
        return;
    if (FBitmap->Width() != w || FBitmap->Height() != h)
        FBitmap->SetSize(w, h);
    const TPoint at = TextOrigin();
    TCanvas* bc = FBitmap->Canvas();
    bc->Brush()->SetStyle(bsSolid);
    bc->Brush()->SetColor(Color());
    bc->FillRect(TRect(0, 0, w, h));
    DrawFrame(bc);
    bc->Brush()->SetStyle(bsClear);
    SetFontValue(bc);
    TCanvas* c = Canvas();
    // Without the system's AlphaBlend the label paints as an opaque one.
    if (FAlphaBlend && SystemAlphaBlend())
    {
        if (FStrAlphaBlend)
            bc->TextOut(at.x, at.y, Caption());
        AlphaBlendDraw(c, 0, 0, FBitmap, FAlphaBlendValue);
        if (!FStrAlphaBlend)
        {
            SetFontValue(c);
            c->Brush()->SetStyle(bsClear);
            c->TextOut(at.x, at.y, Caption());
            c->Brush()->SetStyle(bsSolid);
        }
    }
    else
    {
        bc->TextOut(at.x, at.y, Caption());
        c->Draw(0, 0, FBitmap);
    }
    bc->Brush()->SetStyle(bsSolid);
    DrawFrame(c);
}
