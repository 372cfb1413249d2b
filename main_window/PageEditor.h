// The editor each tab page holds, behind one alias and one factory.
#pragma once

#include "editor_page/Nsrichedit.h"

class TWinControl;

using TPageEditor = nsRichEdit;

// A new editor owned and parented by sheet, hidden, filling it.
TPageEditor* CreatePageEditor(TWinControl* sheet);
