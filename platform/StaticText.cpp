#include "StaticText.h"

TCustomStaticText::TCustomStaticText(TComponent* owner) : TNativeControl(owner)
{
    width_ = 65;
    height_ = 17;
}

void TCustomStaticText::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    params.Style |= SS_LEFT;
}
