// A frame: a plain container of controls placed as one, that passes the notifications of native
// controls on it back to them.
#pragma once

#include "Controls.h"

class TCustomFrame : public TWinControl
{
public:
    explicit TCustomFrame(TComponent* owner);

protected:
    void Dispatch(TMessage& message) override;
};

class TFrame : public TCustomFrame
{
public:
    using TCustomFrame::TCustomFrame;
};
