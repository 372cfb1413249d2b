// The main window's side of the editor settings and emphasized-string dialogs: they reach the
// pages through callbacks set here, once every window exists.
#include "dialogs/EditSetting.h"
#include "dialogs/EmphasisFrm.h"
#include "main_window/MainFrm.h"

void TMainForm::AttachSettingsDialogs()
{
    if (EditSettingForm)
        EditSettingForm->ApplyToAllEditors = [this] { ApplySettingsToAllEditors(); };
    if (EmphasisForm)
    {
        EmphasisForm->ActiveEditor = [this]() -> nsRichEdit* { return Edit(); };
        EmphasisForm->RefreshEmphasis = [](nsRichEdit* ed) { FindEmphasisForFile(ed, ed->EditFilePath); };
    }
}

void TMainForm::HandEmphasisWord(const AnsiString& word)
{
    if (EmphasisForm)
        EmphasisForm->AddWord = word;
}
