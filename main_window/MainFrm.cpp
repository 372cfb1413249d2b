#include "main_window/MainFrm.h"

#include <windows.h>

#include "platform/Cp932.h"
#include "platform/SysUtils.h"

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(TComponent* owner) : TForm(owner)
{
    SetCaption("Varnolet");
    SetBounds(CW_USEDEFAULT, CW_USEDEFAULT, 800, 600);
}

void TMainForm::AfterConstruction()
{
    TForm::AfterConstruction();
    FEdit = Create<TAFEdit>(this);
    FEdit->SetAlign(alClient);
    FEdit->SetVisible(true);
    SetActiveControl(FEdit);
}

bool TMainForm::OpenFile(const AnsiString& path)
{
    try
    {
        FEdit->LoadFromFile(path, TConvMode{cmFoldLine});
    }
    catch (const Exception& e)
    {
        Application->ShowException(e);
        return false;
    }
    UpdateCaption();
    return true;
}

void TMainForm::UpdateCaption()
{
    AnsiString name = ExtractFileName(FEdit->EditFilePath);
    SetCaption(name.IsEmpty() ? AnsiString("Varnolet") : name + " - Varnolet");
}

AnsiString CommandLineFileName(const wchar_t* commandLine)
{
    if (!commandLine)
        return AnsiString();
    const wchar_t* p = commandLine;
    while (*p == L' ' || *p == L'\t')
        ++p;
    // Skip the program's own name, quoted or not.
    if (*p == L'"')
    {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    }
    else
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    std::wstring rest(p);
    size_t b = rest.find_first_not_of(L" \t");
    size_t e = rest.find_last_not_of(L" \t");
    if (b == std::wstring::npos)
        return AnsiString();
    rest = rest.substr(b, e - b + 1);
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"')
        rest = rest.substr(1, rest.size() - 2);
    return WideToSjis(rest);
}
