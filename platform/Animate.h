// An animation over the system's animation control. Transparent (the default): the area around the
// frames takes the colour its parent answers for static controls, not the control's own.
#pragma once

#include "ComCtrls.h"

class TAnimate : public TNativeControl
{
public:
    explicit TAnimate(TComponent* owner);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent); // before the window exists, or it is made anew

protected:
    const wchar_t* NativeClassName() const override { return ANIMATE_CLASSW; }
    void CreateParams(TCreateParams& params) override;

private:
    bool transparent_ = true;
};
