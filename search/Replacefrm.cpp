// The replace dialog and replace next / replace all.
//
// Points are logical (byte column, row). The range end is kept as its distance in bytes from the
// end of the text: replacements before it change the text's length, and may fold the rows anew,
// but never the bytes after the end, so the end always stays right where the range ended.
#include <windows.h>

#include <algorithm>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "search/Replacedlgfrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"

TRePlaceForm* RePlaceForm = nullptr;

namespace
{

int RowLength(nsRichEdit& ed, int row) { return ed.GetLine(row).Length(); }

// One spelling for a point at a row's end and the next row's start, so points compare as offsets.
TPoint Normalize(nsRichEdit& ed, TPoint p)
{
    const int rows = ed.GetLinesCount();
    while (p.y + 1 < rows)
    {
        const int len = RowLength(ed, p.y);
        if (p.x < len)
            break;
        p.x -= len;
        ++p.y;
    }
    return p;
}

int Compare(nsRichEdit& ed, TPoint a, TPoint b)
{
    a = Normalize(ed, a);
    b = Normalize(ed, b);
    if (a.y != b.y)
        return a.y < b.y ? -1 : 1;
    return a.x < b.x ? -1 : (a.x > b.x ? 1 : 0);
}

// n bytes on from p; a point that reaches a row's end stays on that row.
TPoint EndOf(nsRichEdit& ed, TPoint p, int n)
{
    const int rows = ed.GetLinesCount();
    for (;;)
    {
        const int len = RowLength(ed, p.y);
        if (p.x + n <= len || p.y + 1 >= rows)
        {
            p.x += n;
            return p;
        }
        n -= std::max(0, len - p.x);
        ++p.y;
        p.x = 0;
    }
}

// The end of a range, kept so that it follows replacements before it: the rows after its paragraph
// (replacements never reach them) and its byte distance from that paragraph's end. Finding it
// again costs one paragraph, not the whole text.
struct TRangeEnd
{
    int rowsAfter = 0;
    long long tailInParagraph = 0;
};

TRangeEnd MarkEnd(nsRichEdit& ed, TPoint p)
{
    TRangeEnd mark;
    const int rows = ed.GetLinesCount();
    if (rows == 0 || p.y >= rows)
        return mark;
    int last = p.y;
    while (last + 1 < rows && !ed.isCrLine(last))
        ++last;
    mark.rowsAfter = rows - 1 - last;
    long long tail = RowLength(ed, p.y) - p.x;
    for (int r = p.y + 1; r <= last; ++r)
        tail += RowLength(ed, r);
    mark.tailInParagraph = std::max(0LL, tail);
    return mark;
}

TPoint PointOfEnd(nsRichEdit& ed, const TRangeEnd& mark)
{
    int r = std::max(0, ed.GetLinesCount() - 1 - mark.rowsAfter);
    long long tail = mark.tailInParagraph;
    while (r > 0 && tail > RowLength(ed, r) && !ed.isCrLine(r - 1))
    {
        tail -= RowLength(ed, r);
        --r;
    }
    return TPoint(int(std::max(0LL, RowLength(ed, r) - tail)), r);
}

// Types the replacement over the selection, in insert mode whatever the editor's mode is.
void ReplaceSelection(nsRichEdit& ed, const AnsiString& text)
{
    const bool insert = ed.GetInsertModeFlag();
    ed.SetInsertMode(true);
    try
    {
        if (text.IsEmpty())
            ed.SelectAreaDel();
        else
            ed.KeyInput(text);
    }
    catch (...)
    {
        ed.SetInsertMode(insert);
        throw;
    }
    ed.SetInsertMode(insert);
}

// The next hit at or after from that ends inside the range; x = -1 when none.
TPoint FindInRange(nsRichEdit& ed, const TReplaceRequest& request, const TPoint& from, const TRangeEnd& endMark)
{
    TSelectionHold hold(ed);
    hold.Collapse();
    const TPoint hit = ed.FindNext(from, request.Pattern, request.CaseSensitive, request.WholeWord, false);
    if (hit.x < 0)
        return hit;
    const TPoint end = PointOfEnd(ed, endMark);
    if (Compare(ed, EndOf(ed, hit, request.Pattern.Length()), end) > 0 || Compare(ed, hit, from) < 0)
        return TPoint(-1, hit.y);
    return hit;
}
} // namespace

// ---- ranges and selecting -----------------------------------------------------------------------

TPoint ReplaceRangeStart(nsRichEdit& ed, TReplaceRange range)
{
    TSelArea* sel = ed.SelArea();
    switch (range)
    {
    case rrSelection:
        if (sel->isRowAble())
            return TPoint(0, std::clamp(sel->GetStartRow(), 0, std::max(0, ed.GetLinesCount() - 1)));
        if (sel->isPointAble())
            return LogicalPoint(ed, sel->GetStartPoint());
        return LogicalPoint(ed, ed.GetCaret());
    case rrFromCaret: return LogicalPoint(ed, ed.GetCaret());
    default: return TPoint(0, 0);
    }
}

TPoint ReplaceRangeEnd(nsRichEdit& ed, TReplaceRange range)
{
    TSelArea* sel = ed.SelArea();
    const int last = std::max(0, ed.GetLinesCount() - 1);
    if (range == rrSelection)
    {
        if (sel->isRowAble())
        {
            const int row = std::clamp(sel->GetEndRow(), 0, last);
            return TPoint(RowLength(ed, row), row);
        }
        if (sel->isPointAble())
            return LogicalPoint(ed, sel->GetEndPoint());
        return LogicalPoint(ed, ed.GetCaret());
    }
    return TPoint(ed.GetLinesCount() ? RowLength(ed, last) : 0, last);
}

void SelectFoundText(nsRichEdit& ed, const TPoint& hit, const AnsiString& pattern)
{
    const TPoint d = ed.DspPos(hit);
    const TPoint e = ed.DspPos(EndOf(ed, hit, pattern.Length()));
    ed.SetRangeSelect(false);
    TSelArea* sel = ed.SelArea();
    sel->RowReset();
    sel->PutStartPoint(d);
    sel->PutEndPoint(e);
    ed.SetCaretRaw(e);
    bool scrolled = ed.ScrollIntoView(e.x, e.y);
    scrolled = ed.ScrollIntoView(d.x, d.y) || scrolled;
    ed.TellSelectChange();
    if (ed.Updating || !ed.HandleAllocated())
        return;
    ed.SetCaretPosition();
    if (!scrolled)
        ed.Invalidate();
}

AnsiString ReplaceQuestion(const AnsiString& pattern) { return "'" + pattern + msgReplaceQuestionTail; }

// ---- replace next and replace all ---------------------------------------------------------------

TReplaceOutcome ReplaceNext(nsRichEdit& ed, const TReplaceRequest& request, const TReplaceAsk& ask)
{
    if (request.Pattern.IsEmpty() || ed.GetLinesCount() == 0)
        return roNotFound;
    if (request.Range == rrSelection && ed.IsRangeSelect())
        return roRefused;
    const TPoint start = ReplaceRangeStart(ed, request.Range);
    const TPoint end = ReplaceRangeEnd(ed, request.Range);
    // The later of the caret and the range start: after a replacement or a No the caret stands
    // past the hit. A caret at or past the range's end (a selection made forward) is no guide.
    const TPoint caret = LogicalPoint(ed, ed.GetCaret());
    TPoint from = start;
    if (Compare(ed, caret, start) > 0 && (request.Range != rrSelection || Compare(ed, caret, end) < 0))
        from = caret;
    const TPoint hit = FindInRange(ed, request, from, MarkEnd(ed, end));
    if (hit.x < 0)
        return roNotFound;
    SelectFoundText(ed, hit, request.Pattern);
    if (request.Confirm && ask)
    {
        const int answer = ask(ReplaceQuestion(request.Pattern));
        if (answer == 1)
            return roSkipped;
        if (answer != 0)
            return roCancelled;
    }
    ReplaceSelection(ed, request.Replacement);
    return roReplaced;
}

TReplaceAllResult ReplaceAll(nsRichEdit& ed, const TReplaceRequest& request, const TReplaceAsk& ask,
                             const TReplaceNoUndoAsk& noUndo)
{
    TReplaceAllResult result;
    if (request.Pattern.IsEmpty() || ed.GetLinesCount() == 0)
        return result;
    if (request.Range == rrSelection && ed.IsRangeSelect())
    {
        result.Refused = true;
        return result;
    }
    const bool confirm = request.Confirm && ask;
    TPoint from = ReplaceRangeStart(ed, request.Range);
    if (!confirm)
    {
        // All at once: the window is set once, however many hits there are.
        const nsRichEdit::TReplaceEvery every =
            ed.ReplaceEvery(request.Pattern, request.Replacement, from, ReplaceRangeEnd(ed, request.Range),
                            request.CaseSensitive, request.WholeWord, noUndo);
        if (every.Done)
        {
            result.Hits = every.Hits;
            result.Replaced = every.Replaced;
            result.Declined = every.Declined;
            if (result.Replaced > 0 && ed.HandleAllocated())
            {
                const TPoint caret = ed.GetCaret();
                ed.ScrollIntoView(caret.x, caret.y);
                ed.SetCaretPosition();
            }
            return result;
        }
    }
    const TRangeEnd endMark = MarkEnd(ed, ReplaceRangeEnd(ed, request.Range));
    const int length = request.Pattern.Length();

    if (!confirm)
        ed.BeginUpdate();
    try
    {
        for (;;)
        {
            const TPoint hit = FindInRange(ed, request, from, endMark);
            if (hit.x < 0)
                break;
            ++result.Hits;
            SelectFoundText(ed, hit, request.Pattern);
            if (confirm)
            {
                const int answer = ask(ReplaceQuestion(request.Pattern));
                if (answer == 1)
                {
                    from = EndOf(ed, hit, length); // strictly after the hit left alone
                    continue;
                }
                if (answer != 0)
                {
                    result.Cancelled = true;
                    break;
                }
            }
            // Every piece after the first joins the first one's undo group.
            if (result.Replaced > 0)
                ed.SetUndoGroupId(ed.UndoGroupId() - 1);
            ReplaceSelection(ed, request.Replacement);
            ++result.Replaced;
            // The caret stands just after the replacement: the next hit lies after it.
            from = LogicalPoint(ed, ed.GetCaret());
        }
    }
    catch (...)
    {
        if (!confirm)
            ed.EndUpdate();
        throw;
    }
    if (!confirm)
        ed.EndUpdate();
    if (result.Replaced > 0 && ed.HandleAllocated())
    {
        const TPoint caret = ed.GetCaret();
        if (!ed.ScrollIntoView(caret.x, caret.y))
            ed.Invalidate();
        ed.SetCaretPosition();
    }
    return result;
}

// ---- the dialog ---------------------------------------------------------------------------------

TRePlaceForm::TRePlaceForm(TComponent* owner) : TForm(owner), SettingsKey(VN::kRegistryKey)
{
    SetName("RePlaceForm");
    SetCaption("置換");
    SetBorderStyle(bsDialog);
    SetBounds(200, 150, 525, 230);

    // Labels as wide as their texts left of the strings; the range and the options under them;
    // the buttons in a column on the right.
    auto label = [this](const char* caption, int y) {
        return PlaceControl(this, Create<TLabel>(this), nullptr, caption, 10, y, 0, 0);
    };
    auto combo = [this](const char* name, int y) {
        return PlaceControl(this, Create<TComboBox>(this), name, "", 100, y, 290, 22);
    };
    auto check = [this](const char* name, const char* caption, int y) {
        return PlaceControl(this, Create<TCheckBox>(this), name, caption, 170, y, 220, 20);
    };
    auto button = [this](const char* name, const char* caption, int y) {
        return PlaceControl(this, Create<TButton>(this), name, caption, 400, y, 110, 25);
    };

    TLabel* srchLabel = label("検索文字列(&S)", 12);
    SrchStrCBox = combo("SrchStrCBox", 8);
    srchLabel->SetFocusControl(SrchStrCBox);
    TLabel* reLabel = label("置換文字列(&R)", 42);
    ReStrCBox = combo("ReStrCBox", 38);
    reLabel->SetFocusControl(ReStrCBox);

    RangeGroup = PlaceControl(this, Create<TGroupBox>(this), "RangeGroup", "置換範囲", 10, 70, 150, 95);
    auto radio = [this](const char* name, const char* caption, int y) {
        return PlaceControl(RangeGroup, Create<TRadioButton>(this), name, caption, 10, y, 130, 20);
    };
    AllTextRBtn = radio("AllTextRBtn", "ファイル全体", 20);
    CursorRBtn = radio("CursorRBtn", "カーソル以降", 44);
    SelAreaRBtn = radio("SelAreaRBtn", "選択範囲のみ", 68);
    AllTextRBtn->SetChecked(true);

    WordChkBox = check("WordChkBox", "単語単位で検索", 78);
    AlphaChkBox = check("AlphaChkBox", "大文字と小文字を区別する", 102);
    ConfirmCBox = check("ConfirmCBox", "置き換え動作の確認", 126);

    OKBtn = button("OKBtn", "OK", 8);
    OKBtn->SetDefault(true);
    OKBtn->OnClick = TNotifyEvent(this, &TRePlaceForm::OKBtnClick);
    AllRePlaceBtn = button("AllRePlaceBtn", "全て置換", 38);
    AllRePlaceBtn->OnClick = TNotifyEvent(this, &TRePlaceForm::AllRePlaceBtnClick);
    CancelBtn = button("CancelBtn", "キャンセル", 68);
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);

    OnShow = TNotifyEvent(this, &TRePlaceForm::FormShow);
}

void TRePlaceForm::FormShow(TObject*)
{
    ReadSettings();
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    if (ed && (ed->SelArea()->isPointAble() || ed->SelArea()->isRowAble()))
        SelAreaRBtn->SetChecked(true);
    if (SrchStrCBox->HandleAllocated() && SrchStrCBox->CanFocus())
        SrchStrCBox->SetFocus();
}

TReplaceRequest TRePlaceForm::Request()
{
    TReplaceRequest r;
    r.Pattern = SrchStrCBox->Text();
    r.Replacement = ReStrCBox->Text();
    r.CaseSensitive = AlphaChkBox->Checked();
    r.WholeWord = WordChkBox->Checked();
    r.Confirm = ConfirmCBox->Checked();
    r.Range = SelAreaRBtn->Checked() ? rrSelection : (CursorRBtn->Checked() ? rrFromCaret : rrAllText);
    return r;
}

int TRePlaceForm::Ask(const AnsiString& question)
{
    return ReplaceDlgForm ? ReplaceDlgForm->Prepare(question) : 0;
}

void TRePlaceForm::HideAndClose()
{
    SetModalResult(mrOk); // ends the modal loop once the command is done
    Hide();
}

void TRePlaceForm::OKBtnClick(TObject*)
{
    const TReplaceRequest request = Request();
    PushReplaceHistories();
    HideAndClose();
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    if (!ed || request.Pattern.IsEmpty())
        return;
    switch (ReplaceNext(*ed, request, [this](const AnsiString& q) { return Ask(q); }))
    {
    case roNotFound: InfoBox(msgReplaceNotFound, request.Pattern.c_str()); break;
    case roRefused: ErrorBox("%s", msgBoxSelectionNoReplace); break;
    default: break;
    }
}

void TRePlaceForm::AllRePlaceBtnClick(TObject*)
{
    HideAndClose();
    const TReplaceRequest request = Request();
    PushReplaceHistories();
    nsRichEdit* ed = ActiveEditor ? ActiveEditor() : nullptr;
    if (!ed || request.Pattern.IsEmpty())
        return;
    const TReplaceAllResult result = ReplaceAll(*ed, request, [this](const AnsiString& q) { return Ask(q); },
                                                [] { return YesNoBox(bdNo, "%s", msgReplaceNoUndo) == baYes; });
    if (result.Refused)
        ErrorBox("%s", msgBoxSelectionNoReplace);
    else if (result.Hits == 0)
        InfoBox(msgReplaceNotFound, request.Pattern.c_str());
}

// ---- history and settings -----------------------------------------------------------------------

void TRePlaceForm::PushReplaceHistories()
{
    PushComboHistory(SrchStrCBox, SrchStrCBox->Text());
    PushComboHistory(ReStrCBox, ReStrCBox->Text());
    WriteSettings();
}

void TRePlaceForm::ReadSettings()
{
    VN::typReplaceSetting r;
    ReadReplaceSettings(r, SettingsKey);
    const AnsiString pattern = SrchStrCBox->Text();
    const AnsiString replacement = ReStrCBox->Text();
    SrchStrCBox->Items()->SetText(r.searchHistory);
    ReStrCBox->Items()->SetText(r.replaceHistory);
    SrchStrCBox->SetText(pattern);
    ReStrCBox->SetText(replacement);
    AlphaChkBox->SetChecked(r.replaceCase);
    WordChkBox->SetChecked(r.replaceWord);
    ConfirmCBox->SetChecked(r.confirm);
    (r.range == 1 ? CursorRBtn : AllTextRBtn)->SetChecked(true);
}

void TRePlaceForm::WriteSettings()
{
    VN::typReplaceSetting r;
    ReadReplaceSettings(r, SettingsKey);
    r.searchHistory = SrchStrCBox->Items()->GetText();
    r.replaceHistory = ReStrCBox->Items()->GetText();
    r.replaceCase = AlphaChkBox->Checked();
    r.replaceWord = WordChkBox->Checked();
    r.confirm = ConfirmCBox->Checked();
    r.range = int(Request().Range);
    WriteReplaceSettings(r, SettingsKey);
}
