// The external commands dialog: up to three command lines and whether the edited file is saved
// before one runs; a file path, a folder or "%F" can be put in at the caret of a line.
#pragma once

#include <vector>

#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"

// The command lines as stored: each trimmed, empty ones left out (the others move up).
std::vector<AnsiString> CommandListOf(const std::vector<AnsiString>& typed);

class TCommandSetForm : public TForm
{
public:
    explicit TCommandSetForm(TComponent* owner);

    TEdit* CE[3] = {};
    TButton* FIB[3] = {};
    TButton* FLB[3] = {};
    TCheckBox* SaveChkBtn = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TPopupMenu* PopupMenu = nullptr;
    TMenuItem* FileRefMenu = nullptr;
    TMenuItem* EditFileMenu = nullptr;
    // Registry key of the settings (tests use their own).
    AnsiString SettingsKey;

    // Puts text in place of the edit's selection, quoted when it holds a blank.
    static void InsertIntoCommandEdit(TEdit* edit, const AnsiString& text);

    void FormShow(TObject* sender);
    void FIBtnClick(TObject* sender);
    void FLBtnClick(TObject* sender);
    void FileRefMenuClick(TObject* sender);
    void EditFileMenuClick(TObject* sender);
    void OkBtnClick(TObject* sender);

private:
    TEdit* MenuRowEdit() const;
    AnsiString lastFolder_;
};

extern TCommandSetForm* CommandSetForm;
