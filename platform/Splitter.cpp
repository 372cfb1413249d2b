#include "Splitter.h"

TSplitter::TSplitter(TComponent* owner) : TCustomControl(owner)
{
    width_ = 3;
    height_ = 100;
    SetAlign(alLeft);
    SetCursor(crSizeWE);
}

void TSplitter::Paint()
{
    Canvas()->Brush()->SetColor(Color());
    Canvas()->FillRect(ClientRect());
}
