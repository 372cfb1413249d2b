// The commands that hand the document to the outside: the external commands, the command prompt
// and the file's folder, mail, and the maker's web pages; and the tool windows' hook-up.
#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "dialogs/AboutFrm.h"
#include "dialogs/CalcForm.h"
#include "dialogs/CommandSetFrm.h"
#include "dialogs/DateInsertFrm.h"
#include "dialogs/ShortCutSetFrm.h"
#include "main_window/CommandLine.h"
#include "main_window/MainFrm.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

bool TMainForm::ReplaceFirst(AnsiString& text, const AnsiString& macro, const AnsiString& value)
{
    const int pos = text.AnsiPos(macro);
    if (pos == 0)
        return false;
    text.Delete(pos, macro.Length());
    text.Insert(value, pos);
    return true;
}

bool TMainForm::RunCommand(const AnsiString& command)
{
    TPageEditor* ed = Edit();
    if (!ed)
        return false;
    if (SaveBeforeCommand && ed->isEdited())
    {
        TTabSheet* sheet = MainPageCtrl->ActivePage();
        if (!SavePage(sheet))
            return false;
        ed = Edit();
    }
    const AnsiString path = ed->EditFilePath;
    if (path.IsEmpty() && command.AnsiPos("%F") != 0)
    {
        ErrorBox("%s", msgCommandUntitled);
        return false;
    }
    const typFileCommand expanded = ExpandFileMacro(command, path);
    if (!expanded.refused.IsEmpty())
    {
        ErrorBox(msgCommandUnsafeName, expanded.refused.c_str(), command.c_str());
        return false;
    }
    if (expanded.program.IsEmpty())
    {
        AnsiString program, parameters;
        SplitCommandLine(command, program, parameters);
        ErrorBox(msgCommandNotFound, command.c_str(), program.c_str());
        return false;
    }
    // The command starts in the file's folder; the program's own current folder stays as it is.
    const AnsiString folder = path.IsEmpty() ? AnsiString() : ExtractFileDir(path);
    if (!Services().ShellOpen(Handle(), expanded.program, expanded.parameters, folder))
    {
        ErrorBox(msgCommandFailed, expanded.line.c_str());
        return false;
    }
    return true;
}

void TMainForm::CEClick(TObject* sender)
{
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item || !Edit())
        return;
    CommandPopupMenuPopup(nullptr); // the stored lines and the save flag as they are now
    const int index = item->Tag();
    if (index < 0 || index >= int(Commands.size()) || Commands[size_t(index)].IsEmpty())
        return;
    RunCommand(Commands[size_t(index)]);
}

void TMainForm::CmdMenuClick(TObject*)
{
    TPageEditor* ed = Edit();
    const AnsiString folder = ed && !ed->EditFilePath.IsEmpty() ? ExtractFileDir(ed->EditFilePath) : AnsiString();
    // By its full path: a "cmd.exe" beside the file would be found first.
    const AnsiString cmd = SystemCommandInterpreter();
    if (!Services().ShellOpen(Handle(), cmd, "", folder))
        ErrorBox(msgCommandFailed, cmd.c_str());
}

void TMainForm::FileFolderMenuClick(TObject*)
{
    TPageEditor* ed = Edit();
    if (!ed || ed->EditFilePath.IsEmpty())
        return;
    const AnsiString folder = ExtractFileDir(ed->EditFilePath);
    if (!Services().ShellOpen(Handle(), folder, "", ""))
        ErrorBox(msgCommandFailed, folder.c_str());
}

void TMainForm::MailMenuClick(TObject*)
{
    TPageEditor* ed = Edit();
    if (!ed)
        return;
    // Rows folded at the wrap width go back together: the mail gets the paragraphs as written.
    if (Services().SendMail(Handle(), ed->GetText()) == mlFailed)
        ErrorBox("%s", msgMailFailed);
}

void TMainForm::OpenAddress(const char* address)
{
    if (!Services().ShellOpen(Handle(), address, "", ""))
        ErrorBox(msgCommandFailed, address);
}

void TMainForm::OrvaneMenuClick(TObject*) { OpenAddress(msgUrlHome); }
void TMainForm::WexmoorSupportPageMenuClick(TObject*) { OpenAddress(msgUrlProduct); }
void TMainForm::ProductInfoMenuClick(TObject*) { OpenAddress(msgUrlUpdate); }
void TMainForm::AskMenuClick(TObject*) { OpenAddress(msgUrlContact); }

void TMainForm::AttachToolWindows()
{
    TMainForm* main = this;
    auto typeIntoPage = [main](const AnsiString& text) {
        if (TPageEditor* ed = main->Edit())
        {
            ed->KeyInput(text);
            ed->SetFocus();
        }
    };
    if (CalcFrm)
    {
        CalcFrm->TypeIntoPage = typeIntoPage;
        CalcFrm->SetPopupParent(this); // stays over the editor it types into
    }
    if (DateInsertForm)
        DateInsertForm->TypeIntoPage = typeIntoPage;
    if (TimeInsertForm)
        TimeInsertForm->TypeIntoPage = typeIntoPage;
    if (CommandSetForm)
        CommandSetForm->SettingsKey = SettingsKey;
    if (ShortCutSetForm)
        ShortCutSetForm->Menu = MainMenu;
}
