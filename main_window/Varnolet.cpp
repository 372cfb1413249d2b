// Program entry: the application and its windows, then the message loop until the main window closes.
#include <windows.h>

#include "main_window/ProgramForms.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Before anything loads a library by name: the program may start in the folder of a file.
    RestrictLibrarySearch();
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
