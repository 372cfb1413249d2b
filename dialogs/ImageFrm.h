// Shows a picture at its full size (as far as the screen allows).
#pragma once

#include "platform/ExtCtrls.h"
#include "platform/Forms.h"

class TImageForm : public TForm
{
public:
    explicit TImageForm(TComponent* owner);

    TImage* Image = nullptr;

    void FormShow(TObject* sender);
};

extern TImageForm* ImageForm;
