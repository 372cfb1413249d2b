#include "main_window/Nspanel.h"

#include "platform/Classes.h"
#include "platform/Cp932.h"

nsPanel::nsPanel(TComponent* owner) : TPanel(owner)
{
}

void nsPanel::WMDropFiles(TMessage& message)
{
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    struct Finish
    {
        HDROP drop;
        ~Finish() { DragFinish(drop); }
    } finish{drop};
    message.Result = 0;
    if (!OnFileDrop)
        return;
    TStringList dropped;
    GetDroppedFiles(drop, &dropped);
    TStringList files;
    for (int i = 0; i < dropped.GetCount(); ++i)
    {
        AnsiString name = dropped.Strings(i);
        DWORD attributes = GetFileAttributesW(SjisToWide(name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            files.Add(name);
    }
    if (files.GetCount() > 0)
        OnFileDrop(this, &files);
}
