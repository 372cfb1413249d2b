// Program entry.
#include <windows.h>

#include "main_window/MainFrm.h"
#include "platform/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->SetTitle("Varnolet");
        Application->CreateForm(MainForm);
        MainForm->Show();
        AnsiString file = CommandLineFileName(GetCommandLineW());
        if (!file.IsEmpty())
            MainForm->OpenFile(file);
        Application->Run();
    }
    catch (const std::exception& e)
    {
        Application->ShowException(e);
        return 1;
    }
    return 0;
}
