#include "Frames.h"

#include "ComCtrls.h"

TCustomFrame::TCustomFrame(TComponent* owner) : TWinControl(owner)
{
    width_ = 320;
    height_ = 240;
}

void TCustomFrame::Dispatch(TMessage& message)
{
    if (IsReflectedMessage(message.Msg) && ReflectControlMessage(message))
        return;
    TWinControl::Dispatch(message);
}
