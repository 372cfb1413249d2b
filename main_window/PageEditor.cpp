#include "main_window/PageEditor.h"

TPageEditor* CreatePageEditor(TWinControl* sheet)
{
    auto* editor = Create<TPageEditor>(sheet);
    editor->SetVisible(false);
    editor->SetParent(sheet);
    editor->SetAlign(alClient);
    return editor;
}
