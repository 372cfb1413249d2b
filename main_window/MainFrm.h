// The main window: for now one editor filling the window, holding the file named on the command line.
#pragma once

#include "editor_control/AFEdit.h"
#include "platform/Forms.h"

class TMainForm : public TForm
{
public:
    explicit TMainForm(TComponent* owner);
    void AfterConstruction() override;

    // The editor of the active document.
    TAFEdit* Edit() const { return FEdit; }
    // Opens a file into the editor; failures are shown in a message box.
    bool OpenFile(const AnsiString& path);

private:
    void UpdateCaption();
    TAFEdit* FEdit = nullptr;
};

extern TMainForm* MainForm;

// The whole command line after the program's name, as one file name (quotes removed).
AnsiString CommandLineFileName(const wchar_t* commandLine);
