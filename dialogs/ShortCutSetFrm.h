// Shortcut-key assignment: the main menu as a tree, where a command gets one of a fixed list of
// shortcuts. Assignments go to the live menu items on confirmation and last while the program runs.
#pragma once

#include <memory>
#include <vector>

#include "platform/ComCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"

// The shortcuts offered, in list order.
const std::vector<AnsiString>& ShortCutTexts();

// What a tree node stands for: a menu item and the shortcut it is to get.
struct typShortCutNode
{
    TMenuItem* item = nullptr;
    TShortCut pending = scNone;
};

class TShortCutSetForm : public TForm
{
public:
    explicit TShortCutSetForm(TComponent* owner);

    TTreeView* MenuTreeView = nullptr;
    TComboBox* ShortCutCBox = nullptr;
    TLabel* SetShLabel = nullptr;
    TComboBox* NowShortCutCBox = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    // The menu whose items are shown (set by the main window).
    TMenu* Menu = nullptr;

    // The node records alive now (each node owns one while the tree is built).
    int RecordCount() const { return int(records_.size()); }

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void MenuTreeViewChange(TObject* sender, TTreeNode* node);
    void MenuTreeViewDeletion(TObject* sender, TTreeNode* node);
    void ShortCutCBoxSelect(TObject* sender);
    void OkBtnClick(TObject* sender);

private:
    void AddItems(TMenuItem* parent, TTreeNode* parentNode);
    std::vector<std::unique_ptr<typShortCutNode>> records_;
};

extern TShortCutSetForm* ShortCutSetForm;
