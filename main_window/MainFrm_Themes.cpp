// The main window's theme manager: made once with the window, with its default options; it finds
// every window of the program by itself, the ones made later included.
#include "main_window/MainFrm.h"

#include "themes/ThemeMgr.h"

void TMainForm::BuildThemeManager()
{
    ThemeManager = Create<TThemeManager>(this);
    ThemeManager->SetName("ThemeManager");
    ThemeManager->Loaded();
}
