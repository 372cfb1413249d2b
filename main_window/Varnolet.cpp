// Program entry: the application and its windows, then the message loop until the main window closes.
#include <windows.h>

#include "main_window/ProgramForms.h"
#include "platform/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try
    {
        Application->Initialize();
        Application->SetTitle("Varnolet");
        CreateProgramForms();
        Application->Run();
    }
    catch (const std::exception& e)
    {
        Application->ShowException(e);
        return 1;
    }
    catch (...)
    {
        Application->ShowException(Exception(""));
        return 1;
    }
    return 0;
}
