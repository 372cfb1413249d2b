// The panel that takes dropped files while no page is open.
#pragma once

#include "platform/ExtCtrls.h"

class nsPanel : public TPanel
{
public:
    explicit nsPanel(TComponent* owner);

    // Files only: dropped folders are left out, and nothing is called when no file remains.
    TDropFilesEvent OnFileDrop;

protected:
    void WMDropFiles(TMessage& message) override;
};
