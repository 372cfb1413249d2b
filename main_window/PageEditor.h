// The editor each tab page holds, behind one alias and one factory: the plain editor control for
// now; switching both to the editor page (nsRichEdit) is the one change the main window needs.
#pragma once

#include "editor_control/AFEdit.h"

class TWinControl;

using TPageEditor = TAFEdit;

// A new editor owned and parented by sheet, hidden, filling it.
TPageEditor* CreatePageEditor(TWinControl* sheet);
