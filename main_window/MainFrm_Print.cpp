// The main window's side of printing: the print dialog reads the active page through it.
#include "main_window/MainFrm.h"
#include "main_window/PageEditor.h"
#include "printing/PrintFrm.h"

void TMainForm::AttachPrintWindow()
{
    if (!PrintForm)
        return;
    TMainForm* main = this;
    PrintForm->ActiveDocument = [main](typPrintDocument& doc) {
        TPageEditor* ed = main->Edit();
        if (!ed)
            return false;
        doc.text = ed->GetText();
        doc.filePath = ed->EditFilePath;
        doc.tabSize = ed->GetTabSize();
        return true;
    };
}
