// The commands that hand the document to the outside, seen through the services seam: what would
// run (program, parameters, working folder), what mail would be written, and what is reported.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "dialogs/CalcForm.h"
#include "dialogs/DateInsertFrm.h"
#include "main_window/MainFrm.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

namespace
{
struct TSplitRow
{
    const char* command;
    const char* path;
    const char* program;
    const char* parameters;
};

const TSplitRow kSplitRows[] = {
    {"\"C:\\Program Files\\x\\y.exe\" %F", "C:\\a\\b.txt", "\"C:\\Program Files\\x\\y.exe\"", "C:\\a\\b.txt"},
    {"notepad", "C:\\a.txt", "notepad", ""},
    {"  notepad  ", "", "notepad", ""},
    {"tool %F %F", "C:\\a.txt", "tool", "C:\\a.txt %F"},
    {"tool %F", "C:\\My Docs\\a b.txt", "tool", "\"C:\\My Docs\\a b.txt\""},
    {"tool \"%F\"", "C:\\My Docs\\a b.txt", "tool", "\"C:\\My Docs\\a b.txt\""},
    {"tool %F", "C:\\R&D\\a.txt", "tool", "\"C:\\R&D\\a.txt\""},
    {"tool %F", "C:\\Program Files (x86)\\a.txt", "tool", "\"C:\\Program Files (x86)\\a.txt\""},
    {"tool   -x   %F", "C:\\a.txt", "tool", "-x   C:\\a.txt"},
    {"\"C:\\p q\\t.exe\"", "", "\"C:\\p q\\t.exe\"", ""},
    {"\"C:\\p q\\t.exe\" -o \"%F\" -v", "C:\\d\\x.txt", "\"C:\\p q\\t.exe\"", "-o \"C:\\d\\x.txt\" -v"},
    {"%F", "C:\\d\\x.txt", "C:\\d\\x.txt", ""},
};

const char* const kKey = "Software\\Orvane\\VarnoletTest\\MainFrmTools";

TMainForm* StartWindow(const AnsiString& commandLine)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
    return StartMainWindow(kKey, commandLine);
}

void StoreCommands(const std::vector<const char*>& lines, bool saveFirst)
{
    nsArray<nsString> commands;
    for (size_t i = 0; i < lines.size(); ++i)
        commands[int(i)] = AnsiToNsString(lines[i]);
    WriteCommandSettings(commands, saveFirst, kKey);
}

AnsiString CurrentDir()
{
    wchar_t buffer[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, buffer);
    return WideToSjis(std::wstring(buffer));
}

AnsiString ReadAll(const AnsiString& path)
{
    TFileStream f(path, fmOpenRead);
    AnsiString text;
    text.SetLength(int(f.GetSize()));
    if (text.Length())
        f.ReadBuffer(text.Unique(), text.Length());
    return text;
}
} // namespace

TEST(ExternalCommands, TheFileMacroIsQuotedWhereNeededAndTheLineSplitsAtTheFirstBlankOutsideQuotes)
{
    for (const TSplitRow& row : kSplitRows)
    {
        SCOPED_TRACE(std::string(row.command) + " / " + row.path);
        AnsiString program, parameters;
        SplitCommandLine(ExpandFileMacro(row.command, row.path), program, parameters);
        EXPECT_EQ(program.str(), row.program);
        EXPECT_EQ(parameters.str(), row.parameters);
    }
}

TEST(ExternalCommands, RunFromTheirItemsInTheFilesFolderAfterSavingWhenAsked)
{
    TBoxServices services;
    services.answer = IDYES;
    TTempDir dir;
    const AnsiString file = dir.Write("a b.txt", "first\r\n");
    const AnsiString before = CurrentDir();
    TMainForm* form = StartWindow("");
    form->NewFileMenuClick(nullptr);
    Application->ProcessMessages();

    // An untitled page cannot stand for "%F"; a command without it runs.
    StoreCommands({"\"C:\\Program Files\\x\\y.exe\" %F", "notepad"}, false);
    form->CommandPopupMenuPopup(nullptr);
    form->CEClick(form->CE[0]);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], msgCommandUntitled);
    EXPECT_TRUE(services.opened.empty());
    form->CEClick(form->PCE[1]);
    EXPECT_EQ(services.opened, std::vector<std::string>{"notepad||"});

    // On a saved page: the path, quoted, as the parameter; the file's folder to start in.
    services.opened.clear();
    form->OpenFile(file);
    Application->ProcessMessages();
    const AnsiString path = form->Edit()->EditFilePath;
    form->CEClick(form->CE[0]);
    EXPECT_EQ(services.opened, std::vector<std::string>{"\"C:\\Program Files\\x\\y.exe\"|\"" + path.str() + "\"|" +
                                                         ExtractFileDir(path).str()});

    // Save first: what runs sees the edited text on disk.
    StoreCommands({"viewer %F"}, true);
    form->Edit()->KeyInput("edited ");
    services.opened.clear();
    form->CEClick(form->CE[0]);
    EXPECT_EQ(ReadAll(path).Pos("edited "), 1);
    EXPECT_FALSE(form->Edit()->isEdited());
    EXPECT_EQ(services.opened.size(), 1u);

    // A launch that fails is reported with the command line.
    services.shellAnswer = false;
    services.boxes.clear();
    form->CEClick(form->CE[0]);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_NE(services.boxes[0].find("viewer"), std::string::npos);
    services.shellAnswer = true;

    // The prompt and the folder open in the file's folder; the program's own folder stays.
    services.opened.clear();
    form->CmdMenuClick(nullptr);
    form->FileFolderMenuClick(nullptr);
    EXPECT_EQ(services.opened, (std::vector<std::string>{"cmd.exe||" + ExtractFileDir(path).str(),
                                                         ExtractFileDir(path).str() + "||"}));
    EXPECT_EQ(CurrentDir(), before);
    form->Edit()->KeyInput("x");
    services.answer = IDNO;
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
}

TEST(Mail, CarriesTheParagraphsAsWrittenAndReportsAFailureButNotACancel)
{
    TBoxServices services;
    services.answer = IDNO;
    TMainForm* form = StartWindow("");
    form->NewFileMenuClick(nullptr);
    Application->ProcessMessages();
    TPageEditor* ed = form->Edit();
    TAFEditOptions options = ed->GetOptions();
    options << aoAutoFormat;
    ed->SetOptions(options);
    ed->SetDefWrapPos(20);
    const std::string longLine = "abcdefghij abcdefghij abcdefghij abcdefghij";
    ed->KeyInput((longLine + "\r二行目\r").c_str());
    ASSERT_GT(ed->GetLinesCount(), 3); // the long line is folded into rows
    form->MailMenuClick(nullptr);
    EXPECT_EQ(services.mails, std::vector<std::string>{longLine + "\r\n二行目\r\n"});
    EXPECT_TRUE(services.boxes.empty());
    services.mailAnswer = mlCancelled;
    form->MailMenuClick(nullptr);
    EXPECT_TRUE(services.boxes.empty());
    services.mailAnswer = mlFailed;
    form->MailMenuClick(nullptr);
    EXPECT_EQ(services.boxes, std::vector<std::string>{msgMailFailed});
    delete form;
}

TEST(WebPages, EachHelpItemOpensItsAddress)
{
    TBoxServices services;
    TMainForm* form = StartWindow("");
    form->OrvaneMenuClick(nullptr);
    form->WexmoorSupportPageMenuClick(nullptr);
    form->ProductInfoMenuClick(nullptr);
    form->AskMenuClick(nullptr);
    EXPECT_EQ(services.opened, (std::vector<std::string>{std::string(msgUrlHome) + "||", std::string(msgUrlProduct) + "||",
                                                         std::string(msgUrlUpdate) + "||",
                                                         std::string(msgUrlContact) + "||"}));
    delete form;
}

// The tool windows type into whatever page is active when they are used, and into nothing when
// every page is closed.
TEST(ToolWindows, TypeIntoTheActivePageAndDoNothingWithoutOne)
{
    TBoxServices services;
    services.answer = IDNO;
    TMainForm* form = StartWindow("");
    Application->CreateForm(DateInsertForm);
    Application->CreateForm(CalcFrm);
    form->AttachToolWindows();
    form->NewFileMenuClick(nullptr);
    Application->ProcessMessages();
    SYSTEMTIME day{};
    day.wYear = 2019;
    day.wMonth = 5;
    day.wDay = 1;
    day.wDayOfWeek = 3;
    DateInsertForm->Clock = [day] { return day; };
    DateInsertForm->FormShow(nullptr);
    DateInsertForm->TimeListBox->SetItemIndex(3);
    DateInsertForm->OkBtnClick(nullptr);
    CalcFrm->CalcCommand(ccDigit, 7);
    CalcFrm->ForwardBtnClick(nullptr);
    EXPECT_EQ(form->Edit()->GetLine(0), AnsiString("令和1年5月1日7"));
    while (form->MainPageCtrl->PageCount() > 0)
        form->ClosePage(form->MainPageCtrl->Pages(0), false);
    ASSERT_EQ(form->Edit(), nullptr);
    DateInsertForm->OkBtnClick(nullptr);
    CalcFrm->ForwardBtnClick(nullptr);
    EXPECT_TRUE(services.boxes.empty());
    DateInsertForm->Timer->SetEnabled(false);
    delete DateInsertForm;
    delete CalcFrm;
    DateInsertForm = nullptr;
    CalcFrm = nullptr;
    delete form;
}
