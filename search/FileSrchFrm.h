// The file-search dialog: what to look for, in which files and where.
#pragma once

#include "common/WexmoorDef.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "search/FileSrchMonitorFrm.h"

class TFileSrchForm : public TForm
{
public:
    explicit TFileSrchForm(TComponent* owner);

    TComboBox* SrchStrCBox = nullptr;
    TComboBox* FileNameCBox = nullptr;
    TComboBox* SrchDirCBox = nullptr;
    TButton* FLB_01 = nullptr; // browse for the folder
    TCheckBox* SubDirChkBox = nullptr;
    TCheckBox* AlphaChkBox = nullptr;
    TCheckBox* WordChkBox = nullptr;
    TCheckBox* RegExpChkBox = nullptr;
    TRadioButton* PRJ_RBtn = nullptr;
    TRadioButton* SRCH_DIR_RBtn = nullptr;
    TButton* SrchBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // The active page's file, set before the dialog is shown; empty when no page
    // is open or the page is untitled (then the file's folder cannot be
    // searched).
    AnsiString ActiveFilePath;

    // The search the confirmed dialog asks for.
    TGrepRequest Request() const;

    // Puts text at the head of a combo box's list, once, keeping at most 30
    // entries.
    // The dialog's part of the SEARCH section: read when shown, written when a search starts.
    AnsiString SettingsKey = VN::kRegistryKey;
    void ReadSettings();
    void WriteSettings();

    void FormShow(TObject* sender);
    void FormKeyPress(TObject* sender, char& key);
    void SrchTypeRBtnClick(TObject* sender);
    void FLB_01Click(TObject* sender);
    void SrchBtnClick(TObject* sender);
};

extern TFileSrchForm* FileSrchForm;
