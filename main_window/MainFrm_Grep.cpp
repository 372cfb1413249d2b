// The main window's side of the file search and of the search-results window:
// the menu command, the page lookup the results window jumps through, and the
// dock of the results window.
#include "main_window/MainFrm.h"

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "search/FileSrchFrm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/SrchFrm.h"

namespace
{
// The results window reaches pages only through the main window's normal page
// switch.
class TMainJumpHost : public TSrchJumpHost
{
public:
    nsRichEdit* ActivateEditor(nsRichEdit* editor) override
    {
        if (!MainForm || !editor)
            return nullptr;
        TPageControl* pages = MainForm->MainPageCtrl;
        // Untitled pages share one empty name: a batch-search hit knows its page by
        // the editor.
        for (int i = 0; i < pages->PageCount(); ++i)
        {
            TTabSheet* sheet = pages->Pages(i);
            if (MainForm->GetPageEditor(sheet) == editor)
            {
                if (pages->ActivePage() != sheet)
                    MainForm->SetActivePage(sheet);
                return editor;
            }
        }
        return nullptr;
    }

    nsRichEdit* ShowFile(const AnsiString& path) override
    {
        if (!MainForm || path.IsEmpty())
            return nullptr;
        TTabSheet* sheet = MainForm->FindPageByFileName(path);
        if (!sheet)
            // null: not opened (a failed load has been told; a missing file is told by the caller)
            sheet = MainForm->OpenFile(path);
        if (!sheet)
            return nullptr;
        if (MainForm->MainPageCtrl->ActivePage() != sheet)
            MainForm->SetActivePage(sheet);
        return MainForm->GetPageEditor(sheet);
    }

    void ResultsShownDocked(TControl* control) override
    {
        if (MainForm)
            MainForm->RestoreSrchPanelHeight(control);
    }

    bool DockResultsAt(TCustomForm* form, TPoint screenPoint) override
    {
        return MainForm && MainForm->DockFormAt(form, screenPoint);
    }
};

TMainJumpHost mainJumpHost;

bool SameFileName(const AnsiString& a, const AnsiString& b)
{
    const std::wstring wa = SjisToWide(a);
    const std::wstring wb = SjisToWide(b);
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, wa.c_str(), int(wa.size()), wb.c_str(),
                          int(wb.size())) == CSTR_EQUAL;
}
} // namespace

void TMainForm::AttachSearchWindows()
{
    SrchJumpHost = &mainJumpHost;
    if (MessageForm)
    {
        SetSrchResultsSink(MessageForm);
        ManualDock(MessageForm, SrchPanel);
    }
    // The find dialog and the progress window lie over the editor they serve, whatever is clicked.
    if (SrchForm)
        SrchForm->SetPopupParent(this);
    if (FileSrchMonitorForm)
        FileSrchMonitorForm->SetPopupParent(this);
    // Under the Search menu when there is one.
    TMenuItem* parent = dynamic_cast<TMenuItem*>(FindComponent("SearchMenu"));
    if (!FileSrchMenu)
    {
        FileSrchMenu = Create<TMenuItem>(this);
        FileSrchMenu->SetName("FileSrchMenu");
        FileSrchMenu->SetCaption("ファイル検索(&D)");
        FileSrchMenu->OnClick = TNotifyEvent(this, &TMainForm::FileSrchMenuClick);
        if (!parent)
        {
            parent = Create<TMenuItem>(this);
            parent->SetName("SearchMenu");
            parent->SetCaption("検索(&S)");
            MainMenu->Items()->Add(parent);
        }
        parent->Add(FileSrchMenu);
    }
    GrepToolButton->OnClick = TNotifyEvent(this, &TMainForm::FileSrchMenuClick);
}

TTabSheet* TMainForm::FindPageByFileName(const AnsiString& path) const
{
    if (path.IsEmpty())
        return nullptr;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
    {
        TTabSheet* sheet = MainPageCtrl->Pages(i);
        TPageEditor* editor = GetPageEditor(sheet);
        if (editor && !editor->EditFilePath.IsEmpty() && SameFileName(editor->EditFilePath, path))
            return sheet;
    }
    return nullptr;
}

void TMainForm::FileSrchMenuClick(TObject*)
{
    if (GrepProc)
    {
        ErrorBox("%s", msgGrepRunning);
        return;
    }
    if (!FileSrchForm || !FileSrchMonitorForm || !MessageForm)
        return;
    FileSrchForm->ActiveFilePath = Edit() ? Edit()->EditFilePath : AnsiString();
    if (FileSrchForm->ShowModal() != mrOk)
        return;
    if (!MessageForm->Visible())
        MessageForm->Show();
    RunGrep(FileSrchForm->Request(), FileSrchMonitorForm, MessageForm, GrepProc);
}

void TMainForm::StopGrep()
{
    typGrepProc* worker = GrepProc;
    if (!worker)
        return;
    worker->Terminate();
    try
    {
        worker->WaitFor(); // hands over the hits found before the stop
    }
    catch (...)
    {
        // The worker is gone either way; the driver reports what ended it.
    }
}
