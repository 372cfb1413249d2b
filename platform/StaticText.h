// Static text over the system's own static control: a caption in the control's font whose access
// key underline the system shows or hides with the form's keyboard cues.
#pragma once

#include "ComCtrls.h"

class TCustomStaticText : public TNativeControl
{
public:
    explicit TCustomStaticText(TComponent* owner);

protected:
    const wchar_t* NativeClassName() const override { return L"STATIC"; }
    void CreateParams(TCreateParams& params) override;
};

class TStaticText : public TCustomStaticText
{
public:
    using TCustomStaticText::TCustomStaticText;
};
