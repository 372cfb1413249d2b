#include "Dialogs.h"

#include <algorithm>

#include <commdlg.h>

#include "Forms.h"

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
