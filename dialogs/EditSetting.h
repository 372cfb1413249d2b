// The editor settings dialog: options, font, the colours of each kind of text, line-breaking
// rules and the window's transparency. It edits a copy of the global settings; OK checks the
// numbers, stores the settings and applies them to every page.
#pragma once

#include <functional>

#include "common/WexmoorDef.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// The window never becomes fully transparent: the user could not find it any more.
constexpr int kWindowAlphaFloor = 16;

class TEditSettingForm : public TForm
{
public:
    explicit TEditSettingForm(TComponent* owner);

    TPageControl* PageCtrl = nullptr;
    TEdit* mEdit_01 = nullptr;
    TUpDown* UD_01 = nullptr;
    TEdit* mEdit_02 = nullptr;
    TUpDown* UD_02 = nullptr;
    TCheckBox* RowNumCBox = nullptr;
    TCheckBox* RuraCBox = nullptr;
    TCheckBox* AutoIndentCBox = nullptr;
    TCheckBox* UndoBSaveCBox = nullptr;
    TCheckBox* DispTabCBox = nullptr;
    TCheckBox* DispSpace2CBox = nullptr;
    TCheckBox* UseTabCBox = nullptr;
    TCheckBox* WrapCBox = nullptr;
    TEdit* WrapPosEdit = nullptr;
    TCheckBox* KinsokuCBox = nullptr;
    TEdit* KinHeadEdit = nullptr;
    TEdit* KinLastEdit = nullptr;
    TButton* KindefBtn = nullptr;
    TTrackBar* TransparentTrackBar = nullptr;
    TCheckBox* BackupFileCBox = nullptr;
    TCheckBox* RemainCBox = nullptr;
    TComboBox* FontsCBox = nullptr;
    TComboBox* FontSizeCBox = nullptr;
    TPanel* FontSamplePanel = nullptr;
    TPanel* CPanel_99 = nullptr;
    TPanel* CPanel_97 = nullptr;
    TPanel* CPanel_98 = nullptr;
    TPanel* CPanel_96 = nullptr;
    TButton* Btn_99 = nullptr;
    TButton* Btn_97 = nullptr;
    TButton* Btn_98 = nullptr;
    TButton* Btn_96 = nullptr;
    TLabel* BkLabel = nullptr;
    TListBox* EditStrTypeList = nullptr;
    TGroupBox* StrStyleGrp = nullptr;
    TCheckBox* BoldCBox = nullptr;
    TCheckBox* ItalicCBox = nullptr;
    TCheckBox* UnderCBox = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // Applies the global settings to every open page (the main window sets it).
    std::function<void()> ApplyToAllEditors;
    // Registry key of the settings (tests use their own).
    AnsiString SettingsKey;

    void FormShow(TObject* sender);
    void OkBtnClick(TObject* sender);
    void ColorChangeBtnClick(TObject* sender);
    void FontsCBoxChange(TObject* sender);
    void EditStrTypeListClick(TObject* sender);
    void StyleCBoxClick(TObject* sender);
    void NumEditKeyPress(TObject* sender, char& key);
    void NumEditChange(TObject* sender);
    void UpDownChanging(TObject* sender, bool& allow, int value, TUpDownDirection direction);
    // Puts the default line-breaking characters back into their edits.
    void KindefBtnClick(TObject* sender);

    // The controls from a settings record.
    void FillControls(const VN::typEditSetting& s);
    // The colour record of the selected row of EditStrTypeList, or null.
    typColorRec* SelectedColorRec();
    VN::typEditSetting& Working() { return work_; }

private:
    VN::typEditSetting work_;
};

extern TEditSettingForm* EditSettingForm;
