// Applying the editor settings to an editor. Kept apart from the store so that a program that
// only reads or writes settings does not link the editor control.
#include <cstdint>

#include "common/WexmoorDef.h"
#include "editor_control/AFEdit.h"
#include "editor_control/AFEditPlaces.h"
#include "platform/Forms.h"

namespace
{
// Folds every paragraph anew under the editor's current options; the text stays byte for byte
// what it was. The re-fold is no edit: it is not recorded, the history before it (which names
// rows that no longer exist) is dropped, and the edited state stays as it was.
void RefoldAll(TCustomAFEdit* e)
{
    const bool wasEdited = e->isEdited();
    try
    {
        e->RefoldParagraphs();
    }
    catch (...)
    {
        e->UndoBuff()->Reset();
        e->SetEdited(true); // partly re-folded: the text is whole, but say nothing false about it
        throw;
    }
    e->UndoBuff()->Reset();
    e->SetEdited(wasEdited);
    if (e->OnUndoChange)
        e->OnUndoChange(e, false, false);
    e->MarkDirtyFrom(0);
}

template <class E, class S>
S With(S set, E value, bool on)
{
    return on ? (set << value) : (set >> value);
}
} // namespace

void ApplyEditSetting(TCustomAFEdit* editor, const VN::typEditSetting& s)
{
    const TViewOptions oldView = editor->GetViewOpt();
    const TAFEditOptions oldOptions = editor->GetOptions();
    const int oldTabSize = editor->GetTabSize();
    const AnsiString oldBanHead = editor->GetBanHead(), oldBanEnd = editor->GetBanEnd();
    const int oldRowPich = editor->GetRowPich();
    TFont* current = editor->Font();
    const AnsiString oldFontName = current->Name();
    const int oldFontHeight = current->Height();
    const TFontStyles oldFontStyle = current->Style();
    // Decided before anything changes: anything that moves row breaks re-folds now, hidden
    // editor or not; a page folded under old settings would otherwise keep that folding until
    // each row happened to be edited.
    const bool wasWrapping = oldOptions.Contains(aoAutoFormat);
    const bool widthChanged = s.WRAPWIDTH != editor->GetDefWrapPos();
    const bool tabChanged = s.TABSIZE != oldTabSize;
    const bool breakRulesChanged =
        tabChanged || s.KINSOKU != oldOptions.Contains(aoJpnBanBreak) ||
        (s.KINSOKU && (NsStringToAnsi(s.BANHEAD) != oldBanHead || NsStringToAnsi(s.BANEND) != oldBanEnd));
    const bool refold = s.ISWRAP != wasWrapping || (s.ISWRAP && (widthChanged || breakRulesChanged));
    // Display columns depend on the tab size and rows on the folding: keep the caret and the
    // selection on their bytes.
    TKeptPlaces places;
    if (refold || tabChanged)
        places.Take(editor);

    const bool wasUpdating = editor->Updating;
    bool ended = false;
    if (!wasUpdating)
        editor->BeginUpdate();
    try
    {
        // Font, background and the colours of each kind of text. One font change, so the editor
        // measures once.
        TFont font;
        font.Assign(*current);
        font.SetName(NsStringToAnsi(s.FONT_NAME));
        font.SetSize(s.FONT_SIZE);
        font.SetColor(s.色_背景.colour);
        font.SetStyle(ColorRecToFontStyles(s.色_背景));
        editor->SetColor(s.色_文字);
        editor->SetFont(&font);
        editor->SetColDependence(s.NORMAL_COLOR);
        editor->SetCrColor(TColor(0x000080), editor->Color());
        editor->ColSelBrush = s.色_選択文字.bkcolour;
        editor->SetSelTextColor(s.色_選択文字.colour);
        editor->SetKeyWordColor(s.色_強調文字列.colour);
        editor->SetRowNoColor(s.色_行番号.colour);
        editor->SetMgnColor(s.色_行番号.bkcolour);
        editor->ColColumnNo = s.色_ルーラー.colour;
        editor->ColColumnIndi = s.色_ルーラー.bkcolour;
        editor->WrapLineColor = TColor(0x808080);
        editor->SetKeywordCase(true); // emphasized strings match in their own case

        editor->SetRowPich(s.ROWPITCH);
        editor->SetTabSize(s.TABSIZE);
        editor->SetBanHead(NsStringToAnsi(s.BANHEAD));
        editor->SetBanEnd(NsStringToAnsi(s.BANEND));

        TViewOptions view = oldView;
        view = With(view, voRowNum, s.DISPROWNUM);
        view = With(view, voColIndicate, s.DISPRULA);
        view = With(view, voCr, false); // line-end marks are always off here
        view = With(view, voTab, s.DISPTAB);
        view = With(view, voAnsiSpace, s.DISSPACE2);
        view = With(view, voWrapLine, s.ISWRAP);
        editor->SetViewOpt(view);

        TAFEditOptions options = oldOptions;
        options = With(options, aoJpnBanBreak, s.KINSOKU);
        options = With(options, aoAutoIndent, s.AUTO_INDENT);

        // The main window's alpha value, and the editor page's own settings (link colours,
        // wallpaper blending, backup, UseTab, Home key, comment mode).
        if (auto* form = dynamic_cast<TEditSettingTarget*>(GetParentForm(editor)))
            form->ApplyEditSetting(s);
        if (auto* page = dynamic_cast<TEditSettingTarget*>(editor))
            page->ApplyEditSetting(s);

        editor->SetDefWrapPos(s.WRAPWIDTH);
        options = With(options, aoAutoFormat, s.ISWRAP);
        editor->SetOptions(options);
        if (refold)
            RefoldAll(editor);
        if (refold || tabChanged)
            places.Restore(editor);

        const bool viewMetrics = oldView.Contains(voRowNum) != view.Contains(voRowNum) ||
                                 oldView.Contains(voColIndicate) != view.Contains(voColIndicate);
        const bool fontMetrics = current->Name() != oldFontName || current->Height() != oldFontHeight ||
                                 current->Style() != oldFontStyle || editor->GetRowPich() != oldRowPich;
        if (!wasUpdating)
        {
            editor->EndUpdate();
            ended = true;
        }
        if (viewMetrics || fontMetrics || (s.ISWRAP && widthChanged))
            editor->MetricsUpdate(true);
        if (refold || tabChanged)
        {
            // Rows and columns moved under the view: it keeps to the bar's range and the caret.
            editor->KeepLeftColInRange();
            editor->ShowRange(editor->GetCaret(), editor->GetCaret());
            editor->SetScrollBars(editor->ScrollBars);
        }
        editor->SetCaretPosition();
    }
    catch (...)
    {
        if (!wasUpdating && !ended)
            editor->EndUpdate();
        throw;
    }
}

void LoadEditSetting(TCustomAFEdit* editor, const AnsiString& rootKey)
{
    if (!editor)
        ReadEditSetting(VN::EditSetting, rootKey);
    else
        ApplyEditSetting(editor, VN::EditSetting);
}
