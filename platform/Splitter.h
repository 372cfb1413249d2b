// A bar between two aligned controls, in the control's colour, that shows the sizing cursor.
#pragma once

#include "Controls.h"

class TSplitter : public TCustomControl
{
public:
    explicit TSplitter(TComponent* owner);

protected:
    void Paint() override;
};
