// The commands that hand the document to the outside, seen through the services seam: what would
// run (program, parameters, working folder), what mail would be written, and what is reported.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "dialogs/CalcForm.h"
#include "dialogs/DateInsertFrm.h"
#include "main_window/CommandLine.h"
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
    // "/r" runs a command as "/c" does (a switch the interpreter under test does not know).
    {"cmd /r \"tool.bat %F\"", "C:\\a&b.txt", "cmd", "/r \"tool.bat \"C:\\a&b.txt\"\""},
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

std::wstring SystemFile(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

std::wstring Lower(std::wstring text)
{
    CharLowerW(text.data());
    return text;
}
} // namespace

TEST(ExternalCommands, TheFileMacroIsQuotedWhereNeededAndTheLineSplitsAtTheFirstBlankOutsideQuotes)
{
    for (const TSplitRow& row : kSplitRows)
    {
        SCOPED_TRACE(std::string(row.command) + " / " + row.path);
        AnsiString program, parameters;
        SplitCommandLine(ExpandFileMacro(row.command, row.path).line, program, parameters);
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

    // An untitled page cannot stand for "%F"; a command without it runs, found on the system's path.
    CreateDirectoryW(SjisToWide(dir / "p q").c_str(), nullptr);
    const AnsiString program = dir.Write("p q\\y.exe", "");
    const std::string quoted = "\"" + program.str() + "\" %F";
    StoreCommands({quoted.c_str(), "notepad"}, false);
    form->CommandPopupMenuPopup(nullptr);
    form->CEClick(form->CE[0]);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], msgCommandUntitled);
    EXPECT_TRUE(services.opened.empty());
    form->CEClick(form->PCE[1]);
    const std::string notepad = WideToSjis(SystemFile(L"notepad.exe")).str();
    EXPECT_EQ(services.opened, std::vector<std::string>{notepad + "||"});

    // On a saved page: the path, quoted, as the parameter; the file's folder to start in.
    services.opened.clear();
    form->OpenFile(file);
    Application->ProcessMessages();
    const AnsiString path = form->Edit()->EditFilePath;
    form->CEClick(form->CE[0]);
    EXPECT_EQ(services.opened,
              std::vector<std::string>{program.str() + "|\"" + path.str() + "\"|" + ExtractFileDir(path).str()});

    // Save first: what runs sees the edited text on disk.
    StoreCommands({"notepad %F"}, true);
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
    EXPECT_NE(services.boxes[0].find("notepad"), std::string::npos);
    services.shellAnswer = true;

    // The prompt (the system's own) and the folder open in the file's folder; the program's own
    // folder stays.
    services.opened.clear();
    form->CmdMenuClick(nullptr);
    form->FileFolderMenuClick(nullptr);
    const std::string cmd = WideToSjis(SystemFile(L"cmd.exe")).str(), folder = ExtractFileDir(path).str();
    EXPECT_EQ(services.opened, (std::vector<std::string>{cmd + "||" + folder, folder + "||"}));
    EXPECT_EQ(CurrentDir(), before);
    form->Edit()->KeyInput("x");
    services.answer = IDNO;
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
}

namespace
{
// The shell really runs what a command hands it, and each run is waited for: the program, or the
// interpreter with all it starts. What each started process really was is recorded by its image;
// one still running after waitMs (a prompt waiting for its user) is ended.
class TRunServices : public TBoxServices
{
public:
    bool ShellOpen(void* owner, const AnsiString& file, const AnsiString& parameters,
                   const AnsiString& folder) override
    {
        TBoxServices::ShellOpen(owner, file, parameters, folder);
        const std::wstring wfile = SjisToWide(file), wparameters = SjisToWide(parameters);
        const std::wstring wfolder = SjisToWide(folder);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        info.lpVerb = L"open";
        info.lpFile = wfile.c_str();
        info.lpParameters = wparameters.empty() ? nullptr : wparameters.c_str();
        info.lpDirectory = wfolder.empty() ? nullptr : wfolder.c_str();
        info.nShow = SW_HIDE;
        if (!ShellExecuteExW(&info))
            return false;
        if (info.hProcess)
        {
            wchar_t image[MAX_PATH] = {};
            DWORD size = MAX_PATH;
            if (QueryFullProcessImageNameW(info.hProcess, 0, image, &size))
                ran.push_back(image);
            if (WaitForSingleObject(info.hProcess, waitMs) == WAIT_TIMEOUT)
                TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
        }
        return true;
    }
    std::vector<std::wstring> ran;
    DWORD waitMs = 30000;
};

// The entries of a folder.
std::set<std::wstring> Entries(const AnsiString& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = FindFirstFileW((SjisToWide(folder) + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

// What the stand-in program wrote, or nothing when it did not run.
std::wstring ReadUtf16(const AnsiString& path)
{
    if (GetFileAttributesW(SjisToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
        return L"(not run)";
    const AnsiString bytes = TTempDir::Read(path);
    const auto* text = reinterpret_cast<const wchar_t*>(bytes.c_str());
    return std::wstring(text, size_t(bytes.Length()) / sizeof(wchar_t));
}

struct TNameRow
{
    const char* name;
    const char* refusedByAll; // no quoting passes it to any program
    const char* refusedByCmd; // the command interpreter expands it inside quotes too
};

// Blanks, the interpreter's special characters, its argument separators, characters a Windows
// name cannot hold (the path comes from the page, whatever made it), Japanese names, trail bytes
// 0x5C (表, ソ, 能) and one at the very end before the closing quote.
const TNameRow kNameRows[] = {
    {"a b.txt", "", ""},
    {"a&mkdir INJ1.txt", "", ""},
    {"(a)&mkdir INJ2.txt", "", ""},
    {"y&mkdir INJ3.txt", "", ""},
    {"a|mkdir INJ4 b.txt", "", ""},
    {"a<nul>INJ5.txt", "", ""},
    {"a^b(c) & (mkdir INJ6).txt", "", ""},
    {"p%PATH%q.txt", "", "%"},
    {"50% off.txt", "", "%"},
    {"wow!PATH!.txt", "", ""},
    {"comma,eq=x.txt", "", ""},
    {"semi;colon @at.txt", "", ""},
    {"say \"hi\".txt", "\"", "\""},
    {"日本語 ファイル.txt", "", ""},
    {"表ソ能.txt", "", ""},
    {"a ソ", "", ""},
};

struct TFormRow
{
    const char* command;
    bool interpreter; // the command interpreter reads the line
};

// "$" stands for the folder. The interpreter in every spelling and with every switch that runs a
// command; a program or batch file named by its path.
const TFormRow kFormRows[] = {
    {"\"$\\stub_args.exe\" %F", false},
    {"cmd /c tool.bat %F", true},
    {"cmd /c \"tool.bat %F\"", true},
    {"$\\tool.bat %F", true},
    {"%ComSpec% /c \"$\\tool.bat %F\"", true},
    {"%COMSPEC% /C tool.bat %F", true},
    {"\"%SystemRoot%\\system32\\cmd.exe\" /c \"tool.bat %F\"", true},
    {"CMD.EXE /d /s /c \"tool.bat %F\"", true},
    {"\"cmd\" /q/k \"tool.bat %F & exit\"", true},
};

// A page in a folder that holds the stand-in program, a batch file that hands it its first nine
// arguments, and a copy of the stand-in planted as "cmd.exe", which must never be what runs;
// commands run for real and are waited for.
struct TCommandFolder
{
    TRunServices services;
    TTempDir dir;
    std::set<std::wstring> before;
    TMainForm* form = nullptr;

    TCommandFolder()
    {
        services.answer = IDNO;
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring stub = self;
        stub.erase(stub.find_last_of(L'\\') + 1);
        const std::wstring copy = SjisToWide(dir / "stub_args.exe");
        EXPECT_TRUE(CopyFileW((stub + L"stub_args.exe").c_str(), copy.c_str(), FALSE));
        EXPECT_TRUE(CopyFileW((stub + L"stub_args.exe").c_str(), SjisToWide(dir / "cmd.exe").c_str(), FALSE));
        dir.Write("tool.bat", "@\"%~dp0stub_args.exe\" %1 %2 %3 %4 %5 %6 %7 %8 %9\r\n");
        before = Entries(dir.Path());
        form = StartWindow("");
        form->NewFileMenuClick(nullptr);
        Application->ProcessMessages();
    }
    ~TCommandFolder()
    {
        delete form;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(kKey).c_str());
    }

    // Runs the command on a page whose file has that name in the folder and checks the outcome:
    // the name refused with a box naming the character and nothing run, or the whole path given
    // as the one argument and nothing else done in the folder.
    void Check(const char* pattern, const char* name, const std::string& refused)
    {
        std::string line = pattern;
        for (size_t at = line.find('$'); at != std::string::npos; at = line.find('$'))
            line.replace(at, 1, dir.Path().str());
        const char* command = line.c_str();
        SCOPED_TRACE(line + " / " + name);
        const AnsiString path = dir / name;
        const AnsiString args = dir / "args.txt";
        form->Edit()->EditFilePath = path;
        services.boxes.clear();
        services.opened.clear();
        form->RunCommand(command);
        if (!refused.empty())
        {
            EXPECT_TRUE(services.opened.empty());
            const AnsiString box = Format(msgCommandUnsafeName, {refused.c_str(), command});
            EXPECT_EQ(services.boxes, std::vector<std::string>{box.str()});
            EXPECT_EQ(Entries(dir.Path()), before);
            return;
        }
        EXPECT_TRUE(services.boxes.empty());
        const std::wstring wide = SjisToWide(path);
        EXPECT_EQ(ReadUtf16(args), L"W:" + wide + L"\nA:" + wide + L"\n");
        std::set<std::wstring> after = Entries(dir.Path());
        after.erase(L"args.txt");
        EXPECT_EQ(after, before);
        // What an injected command made goes, so that the next row starts clean.
        for (const std::wstring& extra : after)
            if (!before.count(extra))
            {
                RemoveDirectoryW(SjisToWide(dir / WideToSjis(extra).c_str()).c_str());
                DeleteFileW(SjisToWide(dir / WideToSjis(extra).c_str()).c_str());
            }
        DeleteFileW(SjisToWide(args).c_str());
    }
};
} // namespace

// Each name in each form of command: the program is given the whole path as its one argument and
// nothing else runs (no folder made, no file written), or the command is refused with a box
// naming the character and nothing runs at all. Real cmd.exe, real batch file.
TEST(ExternalCommands, AFileNameArrivesAsOneArgumentAndNeverRunsAnythingElse)
{
    TCommandFolder folder;
    for (const TFormRow& command : kFormRows)
        for (const TNameRow& row : kNameRows)
            folder.Check(command.command, row.name,
                         *row.refusedByAll ? row.refusedByAll : command.interpreter ? row.refusedByCmd : "");
}

// Delayed expansion (a switch, or the registry's choice) makes "!" unsafe for the interpreter too;
// quotes of the command's own that the interpreter takes away protect nothing.
TEST(ExternalCommands, TheInterpretersOwnSwitchesAndQuotesDecideWhatANameMayHold)
{
    TCommandFolder folder;
    struct Row
    {
        const char* command;
        const char* name;
        const char* refused;
        bool delayedInRegistry;
    };
    const Row rows[] = {
        {"cmd /v:on /c tool.bat %F", "wow!PATH!.txt", "!", false},
        {"cmd /V /c tool.bat %F", "wow!x.txt", "!", false},
        {"cmd /c tool.bat %F", "wow!PATH!.txt", "!", true},
        {"$\\tool.bat %F", "wow!PATH!.txt", "!", true},
        {"cmd /v:off /c tool.bat %F", "wow!PATH!.txt", "", true},
        {"$\\stub_args.exe %F", "wow!PATH!.txt", "", true},
        // Taken away: the first quote and the line's last one, which here is the closing one of
        // the name's own quotes, so "tool.bat" "name" would leave the name outside.
        {"cmd /c \"tool.bat\" %F", "y&mkdir INJ7.txt", "&", false},
        {"cmd /c \"tool.bat\" %F", "plain.txt", "", false},
        {"cmd /c \"\"tool.bat\" %F\"", "y&mkdir INJ8.txt", "", false},
        {"cmd /s /c \"tool.bat \"%F\"\"", "a (b) & c.txt", "", false},
        {"cmd /c tool.bat \"%F\"", "semi;colon, a=b.txt", "", false},
        // A caret before the name would take its opening quote as a plain character.
        {"cmd /c tool.bat ^%F", "y&mkdir INJ9.txt", "&", false},
    };
    const std::wstring key = L"Software\\Microsoft\\Command Processor";
    for (const Row& row : rows)
    {
        if (row.delayedInRegistry)
        {
            const DWORD on = 1;
            RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"DelayedExpansion", REG_DWORD, &on, sizeof on);
        }
        folder.Check(row.command, row.name, row.refused);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"DelayedExpansion");
    }
}

// A bare program name is looked for in the system's folders and on PATH, never beside the file
// nor in the current folder (where the program starts when a file is opened with it); a relative
// path, or a name found nowhere, is reported and nothing runs. The prompt is the system's own.
TEST(ExternalCommands, AProgramPlantedBesideTheFileOrInTheCurrentFolderNeverRuns)
{
    TRunServices services;
    services.answer = IDNO;
    // The tools' folder has a blank and trail bytes 0x5C in its name.
    TTempDir top, doc;
    const AnsiString tools = top / "表ソ tools";
    CreateDirectoryW(SjisToWide(tools).c_str(), nullptr);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring stub = self;
    stub = stub.substr(0, stub.find_last_of(L'\\') + 1) + L"stub_args.exe";
    CreateDirectoryW(SjisToWide(doc / "sub").c_str(), nullptr);
    for (const AnsiString& copy : {tools + "\\vn_probe.exe", doc / "vn_probe.exe", doc / "sub\\vn_probe.exe",
                                   doc / "cmd.exe"})
        ASSERT_TRUE(CopyFileW(stub.c_str(), SjisToWide(copy).c_str(), FALSE));
    const AnsiString file = doc.Write("a.txt", "x");
    wchar_t savedDir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, savedDir);
    std::vector<wchar_t> savedPath(32768);
    GetEnvironmentVariableW(L"PATH", savedPath.data(), DWORD(savedPath.size()));
    SetEnvironmentVariableW(L"PATH", (std::wstring(savedPath.data()) + L";" + SjisToWide(tools)).c_str());
    SetEnvironmentVariableW(L"VN_PROBE", (L"\"" + SjisToWide(tools) + L"\\vn_probe.exe\"").c_str());
    SetCurrentDirectoryW(SjisToWide(doc.Path()).c_str());
    TMainForm* form = StartWindow("");
    form->OpenFile(file);
    Application->ProcessMessages();
    const std::wstring path = SjisToWide(form->Edit()->EditFilePath);

    // Found on PATH, and through an environment string that holds quotes.
    for (const char* command : {"vn_probe %F", "%VN_PROBE% %F"})
    {
        SCOPED_TRACE(command);
        services.ran.clear();
        EXPECT_TRUE(form->RunCommand(command));
        EXPECT_EQ(Lower(services.ran.empty() ? L"" : services.ran[0]), Lower(SjisToWide(tools + "\\vn_probe.exe")));
        EXPECT_EQ(ReadUtf16(tools + "\\args.txt"), L"W:" + path + L"\nA:" + path + L"\n");
        DeleteFileW(SjisToWide(tools + "\\args.txt").c_str());
    }
    for (const char* command : {"sub\\vn_probe.exe %F", ".\\vn_probe.exe %F", "vn_absent %F"})
    {
        SCOPED_TRACE(command);
        services.boxes.clear();
        services.opened.clear();
        EXPECT_FALSE(form->RunCommand(command));
        AnsiString program, parameters;
        SplitCommandLine(command, program, parameters);
        EXPECT_EQ(services.boxes, std::vector<std::string>{Format(msgCommandNotFound, {command, program}).str()});
        EXPECT_TRUE(services.opened.empty());
    }

    services.ran.clear();
    services.waitMs = 3000;
    form->CmdMenuClick(nullptr);
    EXPECT_EQ(Lower(services.ran.empty() ? L"" : services.ran[0]), Lower(SystemFile(L"cmd.exe")));
    // Nothing planted ran: the stand-in writes where it lies.
    for (const char* written : {"args.txt", "sub\\args.txt"})
        EXPECT_EQ(GetFileAttributesW(SjisToWide(doc / written).c_str()), INVALID_FILE_ATTRIBUTES) << written;

    delete form;
    SetCurrentDirectoryW(savedDir);
    SetEnvironmentVariableW(L"PATH", savedPath.data());
    SetEnvironmentVariableW(L"VN_PROBE", nullptr);
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
