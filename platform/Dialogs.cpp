#include "Dialogs.h"

#include <algorithm>
#include <memory>

#include <commdlg.h>

#include "Forms.h"
#include "StdCtrls.h"

namespace
{
unsigned OptionFlags(TOpenOptions options)
{
    struct Pair
    {
        TOpenOption option;
        unsigned flag;
    } const pairs[] = {
        {ofReadOnly, OFN_READONLY},
        {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
        {ofHideReadOnly, OFN_HIDEREADONLY},
        {ofNoChangeDir, OFN_NOCHANGEDIR},
        {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
        {ofPathMustExist, OFN_PATHMUSTEXIST},
        {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
        {ofEnableSizing, OFN_ENABLESIZING},
    };
    unsigned flags = 0;
    for (const Pair& p : pairs)
        if (options.Contains(p.option))
            flags |= p.flag;
    return flags;
}

// The dialog belongs to the active window of ours, else to the main form.
void* DialogOwner()
{
    HWND active = GetActiveWindow();
    if (active)
        return active;
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        return Application->MainForm()->Handle();
    return Application ? Application->Handle() : nullptr;
}
} // namespace

int ClampFilterIndex(const AnsiString& filter, int index)
{
    return std::clamp(index, 1, std::max(1, FileDialogFilterCount(filter)));
}

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner)
{
}

bool TOpenDialog::Execute()
{
    return Run(false);
}

bool TOpenDialog::Run(bool save)
{
    TFileDialogData data;
    data.Title = title_;
    data.Filter = filter_;
    data.FilterIndex = ClampFilterIndex(filter_, filterIndex_);
    data.InitialDir = initialDir_;
    data.FileName = fileName_;
    data.DefaultExt = defaultExt_;
    data.Flags = OptionFlags(options_);
    bool chosen = save ? Services().SaveFileDialog(DialogOwner(), data)
                       : Services().OpenFileDialog(DialogOwner(), data);
    if (!chosen)
        return false;
    fileName_ = data.FileName;
    filterIndex_ = ClampFilterIndex(filter_, data.FilterIndex);
    return true;
}

bool TSaveDialog::Execute()
{
    return Run(true);
}

bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)
{
    return Services().InputQuery(caption, prompt, value);
}

bool RunInputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value)
{
    std::unique_ptr<TForm> form(Create<TForm>(nullptr));
    form->SetCaption(caption);
    form->SetBorderStyle(bsDialog);
    form->SetPosition(poScreenCenter);
    form->SetBounds(0, 0, 328, 140);
    auto* label = Create<TLabel>(form.get());
    label->SetCaption(prompt);
    label->SetBounds(12, 10, 296, 18);
    label->SetParent(form.get());
    auto* edit = Create<TEdit>(form.get());
    edit->SetBounds(12, 32, 296, 22);
    edit->SetText(value);
    edit->SetParent(form.get());
    auto* ok = Create<TButton>(form.get());
    ok->SetCaption("OK");
    ok->SetBounds(148, 68, 76, 26);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    ok->SetParent(form.get());
    auto* cancel = Create<TButton>(form.get());
    cancel->SetCaption("キャンセル");
    cancel->SetBounds(232, 68, 76, 26);
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    cancel->SetParent(form.get());
    form->SetActiveControl(edit);
    edit->SelectAll();
    if (form->ShowModal() != mrOk)
        return false;
    value = edit->Text();
    return true;
}
