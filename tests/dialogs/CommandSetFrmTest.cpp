// The external commands dialog against the settings store: what is stored for what was typed, and
// what the file and folder buttons put into a line.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "dialogs/CommandSetFrm.h"
#include "platform/Cp932.h"
#include "tests/TestServices.h"

namespace
{
const char* const kKey = "Software\\Orvane\\VarnoletTest\\CommandSet";

std::vector<std::string> Stored(bool& saved)
{
    nsArray<nsString> commands;
    ReadCommandSettings(commands, saved, kKey);
    std::vector<std::string> out;
    for (int i = 0; i < commands.Count(); ++i)
        out.push_back(NsStringToAnsi(commands[i]).str());
    return out;
}

struct TStoreRow
{
    std::vector<std::string> typed;
    std::vector<std::string> stored; // EXE_01..EXE_03
};
} // namespace

TEST(TCommandSetForm, OkStoresTheTrimmedLinesAsTypedWithoutGapsAndAllThreeKeys)
{
    const TStoreRow rows[] = {
        {{"", "notepad %F", ""}, {"notepad %F", "", ""}},
        {{"  a  ", " ", "b"}, {"a", "b", ""}},
        {{"\"C:\\Program Files\\x\\y.exe\" %F", "", ""}, {"\"C:\\Program Files\\x\\y.exe\" %F", "", ""}},
        {{"\"\"x\"\" %F", "", "tool \"%F\""}, {"\"\"x\"\" %F", "tool \"%F\"", ""}},
        {{std::string(3000, 'x'), "", ""}, {std::string(3000, 'x'), "", ""}},
        {{"", "", ""}, {"", "", ""}},
    };
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
    TBoxServices services;
    services.answer = IDYES;
    TCommandSetForm* form = Create<TCommandSetForm>(nullptr);
    form->SettingsKey = kKey;
    // Three commands first, so a line deleted later must not come back.
    nsArray<nsString> three;
    for (int i = 0; i < 3; ++i)
        three[i] = AnsiToNsString("old" + IntToStr(i));
    WriteCommandSettings(three, false, kKey);
    for (const TStoreRow& row : rows)
    {
        SCOPED_TRACE(row.typed[0] + "|" + row.typed[1] + "|" + row.typed[2]);
        form->FormShow(nullptr);
        for (int i = 0; i < 3; ++i)
            form->CE[i]->SetText(row.typed[size_t(i)].c_str());
        form->SaveChkBtn->SetChecked(!form->SaveChkBtn->Checked());
        const bool check = form->SaveChkBtn->Checked();
        form->SetModalResult(mrNone);
        form->OkBtnClick(nullptr);
        EXPECT_EQ(form->ModalResult(), mrOk);
        bool saved = false;
        std::vector<std::string> stored = Stored(saved);
        stored.resize(3);
        EXPECT_EQ(stored, row.stored);
        EXPECT_EQ(saved, check);
    }
    // No leaves the dialog open and the store as it was.
    services.answer = IDNO;
    form->FormShow(nullptr);
    form->CE[0]->SetText("changed");
    form->SetModalResult(mrNone);
    form->OkBtnClick(nullptr);
    EXPECT_EQ(form->ModalResult(), mrNone);
    bool saved = false;
    EXPECT_TRUE(Stored(saved).empty() || Stored(saved)[0].empty());
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
}

TEST(TCommandSetForm, InsertedPathsReplaceTheSelectionAndAreQuotedWhenTheyHoldABlank)
{
    struct TRow
    {
        const char* before;
        int selStart, selLength;
        const char* inserted;
        const char* after;
    } rows[] = {
        {"", 0, 0, "C:\\Program Files\\x.exe", "\"C:\\Program Files\\x.exe\""},
        {"", 0, 0, "C:\\bin\\x.exe", "C:\\bin\\x.exe"},
        {"run  now", 4, 0, "%F", "run %F now"},
        {"run x now", 4, 1, "%F", "run %F now"},
        {"abc", 0, 3, "C:\\a b", "\"C:\\a b\""},
    };
    TForm* host = Create<TForm>(nullptr);
    for (const TRow& row : rows)
    {
        SCOPED_TRACE(row.after);
        TEdit* edit = PlaceControl(host, Create<TEdit>(host), nullptr, "", 0, 0, 200, 22);
        edit->SetText(row.before);
        edit->SetSelStart(row.selStart);
        edit->SetSelLength(row.selLength);
        TCommandSetForm::InsertIntoCommandEdit(edit, row.inserted);
        EXPECT_EQ(edit->Text(), AnsiString(row.after));
        delete edit;
    }
    delete host;
}

TEST(TCommandSetForm, TheFolderButtonStartsAtTheLastFolderChosenAndFillsItsOwnRow)
{
    class TFolderServices : public TBoxServices
    {
    public:
        bool BrowseForFolder(void*, const AnsiString&, AnsiString& folder) override
        {
            startedAt.push_back(folder.str());
            folder = "D:\\my tools";
            return true;
        }
        std::vector<std::string> startedAt;
    } services;
    TCommandSetForm* form = Create<TCommandSetForm>(nullptr);
    form->FLBtnClick(form->FLB[1]);
    form->FLBtnClick(form->FLB[2]);
    EXPECT_EQ(services.startedAt, (std::vector<std::string>{"", "D:\\my tools"}));
    EXPECT_EQ(form->CE[0]->Text(), AnsiString(""));
    EXPECT_EQ(form->CE[1]->Text(), AnsiString("\"D:\\my tools\""));
    EXPECT_EQ(form->CE[2]->Text(), AnsiString("\"D:\\my tools\""));
    delete form;
}

namespace
{
void CALLBACK CloseTheMenu(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    EndMenu();
}
} // namespace

// The file button's menu belongs to the dialog: choosing from it leaves the dialog in front (a
// modal dialog behind its disabled main window could not be reached), with its first line ready
// for typing when it opens.
TEST(TCommandSetForm, TheFileMenuLeavesTheDialogInFrontAndTheFirstLineTakesTheFocus)
{
    TBoxServices services;
    TCommandSetForm* form = Create<TCommandSetForm>(nullptr);
    form->SettingsKey = kKey;
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), form->CE[0]->Handle());
    SetTimer(nullptr, 0, 50, CloseTheMenu);
    form->FIBtnClick(form->FIB[1]);
    Application->ProcessMessages();
    EXPECT_EQ(GetForegroundWindow(), form->Handle());
    form->Hide();
    delete form;
}
