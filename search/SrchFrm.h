// The find dialog: find next and previous in the active page, and the batch search of up to three
// strings in the active page or every open page, whose hits go to the results sink.
#pragma once

#include <functional>
#include <vector>

#include "common/WexmoorDef.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// The histories keep at most this many entries (the settings store keeps as many).
using VN::kSearchHistoryMax;

// Pushes text to the head of a combo's history (an equal entry moves up), keeping at most max.
void PushComboHistory(TComboBox* combo, const AnsiString& text, int max = kSearchHistoryMax);

// A logical point from a display point of the editor (the column never below 0).
TPoint LogicalPoint(TCustomAFEdit& ed, const TPoint& display);

// Keeps an editor's selection aside while searches run from explicit points: the page skips a hit
// already selected at the starting point, which a search of our own must not do. Restores the
// selection on destruction unless Release was called.
class TSelectionHold
{
public:
    explicit TSelectionHold(TCustomAFEdit& ed);
    ~TSelectionHold();
    TSelectionHold(const TSelectionHold&) = delete;
    TSelectionHold& operator=(const TSelectionHold&) = delete;
    void Collapse();
    void Release() { released_ = true; }

private:
    TCustomAFEdit& ed_;
    TPoint anchor_, end_;
    int startRow_, endRow_;
    bool released_ = false;
};

class TSrchForm : public TForm
{
public:
    explicit TSrchForm(TComponent* owner);

    TComboBox* SrchStrCBox = nullptr;
    TComboBox* SrchStrCBox2 = nullptr;
    TComboBox* SrchStrCBox3 = nullptr;
    TCheckBox* AlphaChkBox = nullptr;
    TCheckBox* WordChkBox = nullptr;
    TRadioButton* ActivePageSrchRBtn = nullptr;
    TRadioButton* AllOpenPageSrchRBtn = nullptr;
    TButton* NextBtn = nullptr;
    TButton* PrevBtn = nullptr;
    TButton* AllSrchBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // The editor of the active page (null: none) and every page's editor in tab order; the main
    // window sets both.
    std::function<nsRichEdit*()> ActiveEditor;
    std::function<std::vector<nsRichEdit*>()> OpenEditors;
    // Registry key of the settings (tests use their own).
    AnsiString SettingsKey;

    void NextBtnClick(TObject* sender);
    void PrevBtnClick(TObject* sender);
    void AllSrchBtnClick(TObject* sender);
    void CancelBtnClick(TObject* sender);
    void FormShow(TObject* sender);
    void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);
    void FormKeyPress(TObject* sender, char& key);

    // The three texts to the heads of their histories, then the settings written.
    void PushHistory();
    void ReadSettings();
    void WriteSettings();

protected:
    void CreateParams(TCreateParams& params) override;

private:
    void FindStep(bool forward);
    bool pastedOnKeyDown_ = false;
};

extern TSrchForm* SrchForm;
inline void SrchForm_PushHistory()
{
    if (SrchForm)
        SrchForm->PushHistory();
}
