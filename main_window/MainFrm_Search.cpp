// The main window's side of find and replace: the Search menu, the context menu's batch search
// of the selected text, and the find and replace dialogs reaching the pages.
#include "main_window/MainFrm.h"

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "search/MessageFrm.h"
#include "search/Replacefrm.h"
#include "platform/StdCtrls.h"
#include "search/SrchFrm.h"

namespace
{
// The dialogs are made after the main window: they learn where the pages are when first used.
TSrchForm* FindDialog(TMainForm* main)
{
    if (SrchForm && !SrchForm->ActiveEditor)
    {
        SrchForm->ActiveEditor = [main]() -> nsRichEdit* { return main->Edit(); };
        SrchForm->OpenEditors = [main] {
            std::vector<nsRichEdit*> editors;
            for (int i = 0; i < main->MainPageCtrl->PageCount(); ++i)
                if (TPageEditor* ed = main->GetPageEditor(main->MainPageCtrl->Pages(i)))
                    editors.push_back(ed);
            return editors;
        };
    }
    return SrchForm;
}

TRePlaceForm* ReplaceDialog(TMainForm* main)
{
    if (RePlaceForm && !RePlaceForm->ActiveEditor)
        RePlaceForm->ActiveEditor = [main]() -> nsRichEdit* { return main->Edit(); };
    return RePlaceForm;
}
} // namespace

void TMainForm::BuildFindReplace()
{
    auto item = [this](TMenuItem* parent, const char* name, const char* caption, const char* keys,
                       void (TMainForm::*handler)(TObject*)) {
        return NewMenuItem(this, parent, name, caption, keys ? TextToShortCut(keys) : scNone,
                           handler ? TNotifyEvent(this, handler) : TNotifyEvent());
    };
    // The file search adds its item to this menu when it finds it (by name).
    SearchMenu = dynamic_cast<TMenuItem*>(FindComponent("SearchMenu"));
    if (!SearchMenu)
        SearchMenu = item(MainMenu->Items(), "SearchMenu", "検索(&S)", nullptr, &TMainForm::SearchMenuClick);
    else
        SearchMenu->OnClick = TNotifyEvent(this, &TMainForm::SearchMenuClick);
    SrchMenu = item(SearchMenu, "SrchMenu", "検索(&F)", "Ctrl+F", &TMainForm::SrchMenuClick);
    PrevSrchMenu = item(SearchMenu, "PrevSrchMenu", "前を検索(&P)", "Shift+F3", &TMainForm::PrevSrchMenuClick);
    NextSrchMenu = item(SearchMenu, "NextSrchMenu", "次を検索(&N)", "F3", &TMainForm::NextSrchMenuClick);
    ReplaceMenu = item(SearchMenu, "ReplaceMenu", "置換(&R)", "Ctrl+R", &TMainForm::ReplaceMenuClick);
    DispMenu = dynamic_cast<TMenuItem*>(FindComponent("DispMenu"));
    if (!DispMenu)
        DispMenu = item(MainMenu->Items(), "DispMenu", "表示(&V)", nullptr, &TMainForm::DispMenuClick);
    else
        DispMenu->OnClick = TNotifyEvent(this, &TMainForm::DispMenuClick);
    MessageWindowViewMenu = item(DispMenu, "MessageWindowViewMenu", "検索ウィンドウ(&S)", nullptr,
                                 &TMainForm::MessageWindowViewMenuClick);

    TMenuItem* batch = item(PopupMenu->Items(), "AllSrchPopMenu", "選択範囲を一括検索", nullptr, nullptr);
    AllSrchCurrentFileMenu = item(batch, "AllSrchCurrentFileMenu", "現在のファイル(&C)", nullptr,
                                  &TMainForm::AllSrchCurrentFileMenuClick);
    AllSrchAllOpenFilesMenu = item(batch, "AllSrchAllOpenFilesMenu", "開いているファイル全て(&A)", nullptr,
                                   &TMainForm::AllSrchAllOpenFilesMenuClick);

    // The tool bar's search field: Enter runs the batch search of its text.
    if (!SrchEdit)
    {
        SrchEdit = Create<TEdit>(this);
        SrchEdit->SetName("SrchEdit");
        SrchEdit->SetBounds(0, 0, 140, 22);
        if (ToolBar)
            SrchEdit->SetParent(ToolBar);
    }
    SrchEdit->OnKeyDown = TKeyEvent(this, &TMainForm::SrchEditKeyDown);
    SrchEdit->OnKeyPress = TKeyPressEvent(this, &TMainForm::SrchEditKeyPress);

    if (SrchToolButton)
        SrchToolButton->OnClick = TNotifyEvent(this, &TMainForm::SrchMenuClick);
    if (NextSrchToolButton)
        NextSrchToolButton->OnClick = TNotifyEvent(this, &TMainForm::NextSrchMenuClick);
    if (PrevSrchToolButton)
        PrevSrchToolButton->OnClick = TNotifyEvent(this, &TMainForm::PrevSrchMenuClick);
}

void TMainForm::SearchMenuClick(TObject*)
{
    const bool open = Edit() != nullptr;
    for (TMenuItem* m : {SrchMenu, PrevSrchMenu, NextSrchMenu, ReplaceMenu})
        if (m)
            m->SetEnabled(open);
    if (auto* jump = dynamic_cast<TMenuItem*>(FindComponent("JumpRowMenu")))
        jump->SetEnabled(open);
}

void TMainForm::DispMenuClick(TObject*)
{
    MessageWindowViewMenu->SetChecked(MessageForm && MessageForm->Visible());
    if (FileFolderMenu)
        FileFolderMenu->SetEnabled(Edit() != nullptr);
    if (StatusBarMenu)
        StatusBarMenu->SetChecked(StatusBar->Visible());
}

// Closing goes through the window's own close, so a docked window gives its room back.
void TMainForm::MessageWindowViewMenuClick(TObject*)
{
    if (!MessageForm)
        return;
    if (MessageForm->Visible())
        MessageForm->Close();
    else
        MessageForm->Show();
}

void TMainForm::SrchMenuClick(TObject*)
{
    if (Edit() && FindDialog(this))
        SrchForm->Show();
}

void TMainForm::NextSrchMenuClick(TObject*)
{
    if (Edit() && FindDialog(this))
        SrchForm->NextBtnClick(SrchForm);
}

void TMainForm::PrevSrchMenuClick(TObject*)
{
    if (Edit() && FindDialog(this))
        SrchForm->PrevBtnClick(SrchForm);
}

void TMainForm::ReplaceMenuClick(TObject*)
{
    if (Edit() && ReplaceDialog(this))
        RePlaceForm->ShowModal();
}

void TMainForm::BatchSearchSelection(bool allPages)
{
    TPageEditor* ed = Edit();
    if (!ed || !FindDialog(this))
        return;
    const AnsiString text = ed->GetSelText();
    if (text.Pos("\r") > 0 || text.Pos("\n") > 0)
    {
        ErrorBox("%s", msgSearchHasLineEnd);
        return;
    }
    RunBatchSearch(text, allPages);
}

void TMainForm::RunBatchSearch(const AnsiString& text, bool allPages)
{
    if (!FindDialog(this))
        return;
    SrchForm->SrchStrCBox->SetText(text);
    SrchForm->ActivePageSrchRBtn->SetChecked(!allPages);
    SrchForm->AllOpenPageSrchRBtn->SetChecked(allPages);
    SrchForm->AllSrchBtnClick(SrchForm);
}

void TMainForm::AllSrchCurrentFileMenuClick(TObject*) { BatchSearchSelection(false); }

void TMainForm::AllSrchAllOpenFilesMenuClick(TObject*) { BatchSearchSelection(true); }

void TMainForm::SrchEditKeyDown(TObject*, WORD& key, TShiftState)
{
    if (key != VK_RETURN)
        return;
    key = 0;
    RunBatchSearch(SrchEdit->Text(), FindDialog(this) && SrchForm->AllOpenPageSrchRBtn->Checked());
}

void TMainForm::SrchEditKeyPress(TObject*, char& key)
{
    if (key == '\r')
        key = 0; // no beep for the Enter the key-down used
}
