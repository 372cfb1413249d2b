#include "WinLabel.h"

namespace
{
constexpr TColor PlaceholderGrey = TColor(0xC0C0C0);

enum TPlace
{
    plNear,
    plFar,
    plMiddle
};

// Where text of the given extent starts along one axis; a text that does not fit between the
// margins starts at the margin.
int Place(int extent, int text, int margin, TPlace where)
{
    bool fits = 2 * margin + text < extent;
    switch (where)
    {
    case plFar: return fits ? extent - text - margin : margin;
    case plMiddle: return fits ? (extent - text) / 2 : margin;
    default: return margin;
    }
}
} // namespace

TWinLabel::TWinLabel(TComponent* owner)
    : TCustomControl(owner), pen_(new TPen), noCaptionPen_(new TPen), noCaptionFont_(new TFont)
{
    width_ = 65;
    height_ = 17;
    color_ = clWindow;
    noCaptionPen_->SetColor(PlaceholderGrey);
    noCaptionPen_->SetStyle(psDot);
    noCaptionFont_->SetColor(PlaceholderGrey);
    pen_->OnChange = TNotifyEvent(this, &TWinLabel::Repaint);
    noCaptionPen_->OnChange = TNotifyEvent(this, &TWinLabel::Repaint);
    noCaptionFont_->OnChange = TNotifyEvent(this, &TWinLabel::Repaint);
}

TWinLabel::~TWinLabel()
{
    delete pen_;
    delete noCaptionPen_;
    delete noCaptionFont_;
}

void TWinLabel::SetAlignment(TAlignment value)
{
    alignment_ = value;
    Invalidate();
}

void TWinLabel::SetBorderDraw(bool value)
{
    borderDraw_ = value;
    Invalidate();
}

void TWinLabel::SetLayout(TTextLayout value)
{
    layout_ = value;
    Invalidate();
}

void TWinLabel::SetNoCaptionDraw(bool value)
{
    noCaptionDraw_ = value;
    Invalidate();
}

void TWinLabel::SetNoCaption(const AnsiString& value)
{
    noCaption_ = value;
    Invalidate();
}

void TWinLabel::TextChanged()
{
    TCustomControl::TextChanged();
    Invalidate();
}

void TWinLabel::Paint()
{
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color_);
    canvas->FillRect(client);
    int margin = borderDraw_ ? 2 : 0;
    bool placeholder = noCaptionDraw_ && Caption().IsEmpty();
    AnsiString text = placeholder ? noCaption_ : Caption();
    canvas->SetFont(placeholder ? noCaptionFont_ : Font());
    canvas->Brush()->SetStyle(bsClear);
    TSize size = canvas->TextExtent(text);
    TPlace horizontal = alignment_ == taRightJustify ? plFar : alignment_ == taCenter ? plMiddle : plNear;
    TPlace vertical = layout_ == tlBottom ? plFar : layout_ == tlCenter ? plMiddle : plNear;
    canvas->TextOut(Place(client.Width(), size.cx, margin, horizontal),
                    Place(client.Height(), size.cy, margin, vertical), text);
    if (!borderDraw_ && !placeholder)
        return;
    canvas->SetPen(borderDraw_ ? pen_ : noCaptionPen_);
    canvas->Rectangle(0, 0, client.Width(), client.Height());
}
