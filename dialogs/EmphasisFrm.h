// The emphasized strings per file extension: the dialog edits a copy of the global list and puts
// it back only when the user confirms.
#pragma once

#include <functional>
#include <vector>

#include "common/WexmoorDef.h"
#include "editor_page/Nsrichedit.h"
#include "platform/ComCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

class TEmphasisForm : public TForm
{
public:
    explicit TEmphasisForm(TComponent* owner);

    TButton* ExtAddBtn = nullptr;
    TButton* ExtDelBtn = nullptr;
    TPageControl* ExtTabCtrl = nullptr;
    TListBox* EmphasisLBox = nullptr;
    TEdit* EmhEdit = nullptr;
    TButton* EmpAddBtn = nullptr;
    TButton* EmpDelBtn = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // Set by the main window before showing: an extension to add without asking, and a word for
    // the entry field. Both are forgotten once used.
    AnsiString AddExtension;
    AnsiString AddWord;
    // The active page (null: none), and how a page takes the emphasized strings of its file.
    std::function<nsRichEdit*()> ActiveEditor;
    std::function<void(nsRichEdit*)> RefreshEmphasis;
    // Registry key of the settings (tests use their own).
    AnsiString SettingsKey;

    void FormShow(TObject* sender);
    void ExtAddBtnClick(TObject* sender);
    void ExtDelBtnClick(TObject* sender);
    void ExtCBoxChange(TObject* sender);
    void EmpAddBtnClick(TObject* sender);
    void EmpDelBtnClick(TObject* sender);
    void OkBtnClick(TObject* sender);

    // The working copy (for the tests).
    nsList<VN::typEmphItem>& Working() { return work_; }

private:
    VN::typEmphItem* SelectedItem();
    void AddTab(VN::typEmphItem* item);
    void RebuildTabs();
    // Adds an entry for ext (taken as typed, without a leading dot); false when refused.
    bool AddExtensionEntry(AnsiString ext);
    void WriteWordsBack();

    nsList<VN::typEmphItem> work_;
    std::vector<VN::typEmphItem*> tabItems_; // the entry of each tab, in tab order
};

extern TEmphasisForm* EmphasisForm;
