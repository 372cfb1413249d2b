// Shared by the main window's tests: a main window started as the program starts it.
#pragma once

#include "main_window/MainFrm.h"
#include "platform/Forms.h"

// A main window reading and writing its settings under settingsKey, started on the command-line
// file with its start-up done.
inline TMainForm* StartMainWindow(const AnsiString& settingsKey, const AnsiString& commandLine)
{
    auto* form = Create<TMainForm>(nullptr);
    form->SettingsKey = settingsKey;
    form->MinStartupMs = 0;
    form->CommandLineFile = commandLine;
    form->Show();
    Application->ProcessMessages();
    return form;
}
