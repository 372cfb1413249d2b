// The program's windows, made once at start-up in a fixed order.
#include "main_window/ProgramForms.h"

#include "main_window/MainFrm.h"
#include "platform/Forms.h"
#include "printing/PrintFrm.h"
#include "search/FileSrchFrm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/Replacedlgfrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"

namespace
{
// The other windows, in the order they are made. Each is an empty hidden form until its own unit
// exists; then its line becomes Application->CreateForm(<its global>).
const char* const kOtherWindows[] = {
    "CalcFrm",        "CommandSetForm",  "DateInsertForm", "EditSettingForm",      "ImageForm",
    "JumpRowForm",    "PrintForm",       "ReplaceDlgForm", "RePlaceForm",          "TimeInsertForm",
    "AboutBox",       "ShortCutSetForm", "MessageForm",    "FileSrchForm",         "FileSrchMonitorForm",
    "DirSettingForm", "WallPaperForm",   "SrchForm",       "EditLockPasswordForm", "UnLockForm",
    "EmphasisForm",
};
} // namespace

void CreateProgramForms()
{
    Application->CreateForm(MainForm);
    for (const char* name : kOtherWindows)
    {
        const AnsiString n = name;
        if (n == "MessageForm")
            Application->CreateForm(MessageForm);
        else if (n == "FileSrchForm")
            Application->CreateForm(FileSrchForm);
        else if (n == "FileSrchMonitorForm")
            Application->CreateForm(FileSrchMonitorForm);
        else if (n == "SrchForm")
            Application->CreateForm(SrchForm);
        else if (n == "RePlaceForm")
            Application->CreateForm(RePlaceForm);
        else if (n == "PrintForm")
            Application->CreateForm(PrintForm);
        else if (n == "ReplaceDlgForm")
            Application->CreateForm(ReplaceDlgForm);
        else
        {
            TForm* form = nullptr;
            Application->CreateForm(form);
            form->SetName(name);
        }
    }
    MainForm->AttachSearchWindows();
    MainForm->AttachPrintWindow();
}
