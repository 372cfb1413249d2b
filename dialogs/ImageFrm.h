// Shows a picture at its own size; one larger than the screen scrolls.
#pragma once

#include "platform/Buttons.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"

class TImageForm : public TForm
{
public:
    explicit TImageForm(TComponent* owner);

    TScrollBox* ImageBox = nullptr;
    TImage* Image = nullptr;

    void FormShow(TObject* sender);
};

extern TImageForm* ImageForm;
