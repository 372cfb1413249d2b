#include "Animate.h"

TAnimate::TAnimate(TComponent* owner) : TNativeControl(owner)
{
    width_ = 100;
    height_ = 80;
}

void TAnimate::CreateParams(TCreateParams& params)
{
    TNativeControl::CreateParams(params);
    if (transparent_)
        params.Style |= ACS_TRANSPARENT;
}

void TAnimate::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    RecreateWnd();
}
