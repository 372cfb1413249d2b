// The program's windows, made once at start-up in a fixed order.
#include "main_window/ProgramForms.h"

#include "dialogs/AboutFrm.h"
#include "dialogs/CalcForm.h"
#include "dialogs/CommandSetFrm.h"
#include "dialogs/DateInsertFrm.h"
#include "dialogs/EditLockPasswordFrm.h"
#include "dialogs/EditSetting.h"
#include "dialogs/EmphasisFrm.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/JumpRowFrm.h"
#include "dialogs/ShortCutSetFrm.h"
#include "dialogs/UnLockFrm.h"
#include "dialogs/WallPaperFrm.h"
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
        else if (n == "EditSettingForm")
            Application->CreateForm(EditSettingForm);
        else if (n == "EmphasisForm")
            Application->CreateForm(EmphasisForm);
        else if (n == "CalcFrm")
            Application->CreateForm(CalcFrm);
        else if (n == "CommandSetForm")
            Application->CreateForm(CommandSetForm);
        else if (n == "DateInsertForm")
            Application->CreateForm(DateInsertForm);
        else if (n == "TimeInsertForm")
            Application->CreateForm(TimeInsertForm);
        else if (n == "AboutBox")
            Application->CreateForm(AboutBox);
        else if (n == "ShortCutSetForm")
            Application->CreateForm(ShortCutSetForm);
        else if (n == "ImageForm")
            Application->CreateForm(ImageForm);
        else if (n == "WallPaperForm")
            Application->CreateForm(WallPaperForm);
        else if (n == "JumpRowForm")
            Application->CreateForm(JumpRowForm);
        else if (n == "EditLockPasswordForm")
            Application->CreateForm(EditLockPasswordForm);
        else if (n == "UnLockForm")
            Application->CreateForm(UnLockForm);
        else
        {
            TForm* form = nullptr;
            Application->CreateForm(form);
            form->SetName(name);
        }
    }
    MainForm->AttachSearchWindows();
    MainForm->AttachSettingsDialogs();
    MainForm->AttachToolWindows();
    MainForm->AttachWallpaperWindow();
    MainForm->AttachLockWindows();
    MainForm->AttachPrintWindow();
}
