// The replace dialog, and the replace operations it runs on an editor page: replace next and
// replace all, in the whole text, from the caret or in the selection, optionally asking per hit.
#pragma once

#include <functional>

#include "editor_page/Nsrichedit.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

enum TReplaceRange
{
    rrAllText = 0,
    rrFromCaret = 1,
    rrSelection = 2
};

struct TReplaceRequest
{
    AnsiString Pattern;
    AnsiString Replacement;
    bool CaseSensitive = false;
    bool WholeWord = false;
    bool Confirm = false;
    TReplaceRange Range = rrAllText;
};

// Asked before a replacement when Confirm is set, with the question text: 0 Yes, 1 No, 2 Cancel.
using TReplaceAsk = std::function<int(const AnsiString& question)>;
// Asked when replace all could not be undone (its undo record would not fit the history): true
// replaces all the same.
using TReplaceNoUndoAsk = std::function<bool()>;

enum TReplaceOutcome
{
    roNotFound,  // no hit inside the range
    roReplaced,
    roSkipped,   // answered No: the hit stays selected, the next search goes on after it
    roCancelled,
    roRefused    // a box selection cannot be the range
};

struct TReplaceAllResult
{
    int Hits = 0;
    int Replaced = 0;
    bool Cancelled = false;
    bool Refused = false;
    bool Declined = false; // it could not have been undone, and the answer was no
};

// The range as logical points: the end is one past the last byte that may be replaced.
TPoint ReplaceRangeStart(nsRichEdit& ed, TReplaceRange range);
TPoint ReplaceRangeEnd(nsRichEdit& ed, TReplaceRange range);
// Selects pattern's bytes from the logical hit point, the caret at the selection's end, shown.
void SelectFoundText(nsRichEdit& ed, const TPoint& hit, const AnsiString& pattern);
// The question of the confirmation dialog for a pattern.
AnsiString ReplaceQuestion(const AnsiString& pattern);

TReplaceOutcome ReplaceNext(nsRichEdit& ed, const TReplaceRequest& request, const TReplaceAsk& ask);
// Every hit inside the range, as one undo group. Without confirmation all of them at once (when the
// page can), asking noUndo first when the change could not be undone (no callback: not replaced).
TReplaceAllResult ReplaceAll(nsRichEdit& ed, const TReplaceRequest& request, const TReplaceAsk& ask,
                             const TReplaceNoUndoAsk& noUndo = {});

class TRePlaceForm : public TForm
{
public:
    explicit TRePlaceForm(TComponent* owner);

    TComboBox* SrchStrCBox = nullptr;
    TComboBox* ReStrCBox = nullptr;
    TGroupBox* RangeGroup = nullptr;
    TRadioButton* AllTextRBtn = nullptr;
    TRadioButton* CursorRBtn = nullptr;
    TRadioButton* SelAreaRBtn = nullptr;
    TCheckBox* WordChkBox = nullptr;
    TCheckBox* AlphaChkBox = nullptr;
    TCheckBox* ConfirmCBox = nullptr;
    TButton* OKBtn = nullptr;
    TButton* AllRePlaceBtn = nullptr;
    TButton* CancelBtn = nullptr;

    // The editor replaced in (the active page's); set by the main window.
    std::function<nsRichEdit*()> ActiveEditor;
    AnsiString SettingsKey;

    void OKBtnClick(TObject* sender);
    void AllRePlaceBtnClick(TObject* sender);
    void FormShow(TObject* sender);

    TReplaceRequest Request();
    void PushReplaceHistories();
    void ReadSettings();
    void WriteSettings();

private:
    int Ask(const AnsiString& question);
    void HideAndClose();
};

extern TRePlaceForm* RePlaceForm;
