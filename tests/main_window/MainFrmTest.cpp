// The main window under Wine: start-up, pages, captions, the status bar, opening, saving and
// closing documents, drops and the docking panel, with message boxes and file dialogs answered
// through the services seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "common/FileTimeFixAccess.h"
#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "main_window/Nspanel.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "search/MessageFrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

#include <shlobj.h>

namespace
{
// Allocations of at least this many bytes fail while it is not 0: memory running out during a
// load, wherever the load needs a large block.
std::atomic<size_t> failAllocationsFrom{0};
} // namespace

// Memory that runs out on request (see TOutOfMemory below).
void* operator new(size_t size)
{
    size_t from = failAllocationsFrom.load();
    if (from != 0 && size >= from)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace
{

std::string Utf8(const AnsiString& s)
{
    std::wstring w = SjisToWide(s);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Answers boxes and dialogs from scripts and keeps what was shown.
class TScriptServices : public TPlatformServices
{
public:
    TScriptServices() : previous_(SetServices(this)) {}
    ~TScriptServices() override { SetServices(previous_); }

    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned flags) override
    {
        boxes.push_back(text);
        boxFlags.push_back(flags);
        if (onBox)
            onBox();
        if ((flags & MB_TYPEMASK) == MB_YESNOCANCEL || (flags & MB_TYPEMASK) == MB_YESNO)
        {
            if (answers.empty())
                return IDCANCEL;
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return IDOK;
    }
    short GetKeyState(int vk) override { return keysDown.count(vk) ? short(0x8000) : short(0); }
    bool OpenFileDialog(void*, TFileDialogData& data) override
    {
        openDialogs.push_back(data);
        return Answer(data);
    }
    bool SaveFileDialog(void*, TFileDialogData& data) override
    {
        saveDialogs.push_back(data);
        return Answer(data);
    }

    std::vector<AnsiString> boxes;
    std::vector<unsigned> boxFlags;
    std::deque<int> answers;              // IDYES, IDNO, IDCANCEL for the question boxes, in order
    std::deque<AnsiString> dialogAnswers; // a file name, or "" for Cancel
    std::vector<TFileDialogData> openDialogs; // as each was shown
    std::vector<TFileDialogData> saveDialogs;
    std::set<int> keysDown;
    std::function<void()> onBox; // runs while a box is "open"

    bool Shown(const char* text) const
    {
        for (const AnsiString& b : boxes)
            if (b.Pos(text) > 0)
                return true;
        return false;
    }

private:
    bool Answer(TFileDialogData& data)
    {
        if (dialogAnswers.empty())
            return false;
        AnsiString name = dialogAnswers.front();
        dialogAnswers.pop_front();
        if (name.IsEmpty())
            return false;
        data.FileName = name;
        return true;
    }
    TPlatformServices* previous_;
};

// The windows of these tests keep their settings under a key of their own, removed at the end, so
// the program's settings are never touched.
// Made anew each time: the clean-up at exit runs after function statics are gone.
AnsiString TestKey()
{
    return Format("Software\\VarnoletTest\\m%u", {unsigned(GetCurrentProcessId())});
}

void ClearTestKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VarnoletTest"); // only when no other run uses it
}

struct TTestKeyCleanup
{
    ~TTestKeyCleanup() { ClearTestKey(); }
} testKeyCleanup;

// A main window started with the given command-line file, its start-up done. Fresh settings
// start from an empty key; otherwise the window reads what an earlier window left.
TMainForm* StartMainForm(const AnsiString& commandLine, bool freshSettings = true)
{
    if (freshSettings)
        ClearTestKey();
    return StartMainWindow(TestKey(), commandLine);
}

// Runs messages until every page switch started so far has finished: its one-shot timer, owned
// by the form, has freed itself. The cap only turns a timer that never fires into a failure.
void FinishSwitches(TMainForm* form)
{
    auto pending = [form] {
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (dynamic_cast<TTimer*>(form->Components(i)))
                return true;
        return false;
    };
    DWORD start = GetTickCount();
    while (pending() && GetTickCount() - start < 10000)
    {
        Application->ProcessMessages();
        Sleep(1);
    }
    ASSERT_FALSE(pending());
}

std::wstring WindowText(HWND h)
{
    wchar_t buf[1024] = {};
    GetWindowTextW(h, buf, 1024);
    return buf;
}

const AnsiString kProgram = "Varnolet for Windows";

TEST(TMainForm, StartsWithAnUntitledPageWhenNoFileIsNamed)
{
    TScriptServices services;
    TMainForm* form = StartMainForm("");
    ASSERT_NE(form->Edit(), nullptr);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 1);
    EXPECT_TRUE(form->MainPageCtrl->Visible());
    EXPECT_EQ(form->MainPageCtrl->ActivePage()->Caption(), "無題");
    EXPECT_EQ(form->Caption(), kProgram + " - [無題]");
    EXPECT_EQ(Application->Title(), kProgram + " - [無題]");
    EXPECT_TRUE(form->SaveToolButton->Enabled());
    EXPECT_TRUE(services.boxes.empty());
    // Every page is an editor page set up alike.
    EXPECT_EQ(form->Edit()->PopupMenu, form->PopupMenu);
    EXPECT_EQ(form->Edit()->GetTopMgn(), 0);
    EXPECT_TRUE(form->Edit()->OnFileDrop);
    EXPECT_TRUE(form->Edit()->OnEnter);
    EXPECT_TRUE(form->Edit()->OnCtrlTabDown);
    delete form;
}

TEST(TMainForm, StartsWithTheNamedFileOrWithNoPageWhenItIsMissing)
{
    TTempDir dir;
    AnsiString file = dir.Write("起動.txt", "一行目\r\n二行目");
    struct Case
    {
        AnsiString commandLine;
        int pages;
        AnsiString caption;
    } cases[] = {
        {file, 1, kProgram + " - [" + file + "]"},
        {dir.Path() + "\\無い.txt", 0, kProgram},
        {dir.Path(), 0, kProgram}, // a folder is no file
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TMainForm* form = StartMainForm(c.commandLine);
        EXPECT_EQ(form->MainPageCtrl->PageCount(), c.pages) << Utf8(c.commandLine);
        EXPECT_EQ(form->Caption(), c.caption) << Utf8(c.commandLine);
        EXPECT_TRUE(services.boxes.empty()) << Utf8(services.boxes.front());
        if (c.pages == 0)
        {
            // No page is a normal state: nothing to edit, and only what needs no page is enabled.
            EXPECT_EQ(form->Edit(), nullptr);
            EXPECT_FALSE(form->MainPageCtrl->Visible());
            EXPECT_EQ(Application->Title(), kProgram);
            EXPECT_TRUE(form->NewToolButton->Enabled());
            EXPECT_TRUE(form->OpenFileSettingToolButton->Enabled());
            EXPECT_TRUE(form->GrepToolButton->Enabled());
            for (TToolButton* b : {form->SaveToolButton, form->PrintToolButton, form->UndoToolButton,
                                   form->CopyToolButton, form->PasteToolButton, form->NextSrchToolButton})
                EXPECT_FALSE(b->Enabled()) << b->Name();
        }
        else
        {
            EXPECT_EQ(form->Edit()->GetLine(1), "二行目"); // the last row, which has no line end
            EXPECT_EQ(form->MainPageCtrl->ActivePage()->Caption(), "起動.txt");
        }
        delete form;
    }
}

TEST(TMainForm, OpeningAFileUnderAnotherSpellingActivatesItsPage)
{
    TScriptServices services;
    TTempDir dir;
    CreateDirectoryW(SjisToWide(dir.Path() + "\\sub").c_str(), nullptr);
    AnsiString file = dir.Write("Same.txt", "x");
    AnsiString other = dir.Write("other.txt", "y");
    TMainForm* form = StartMainForm(file);
    TTabSheet* page = form->MainPageCtrl->ActivePage();
    ASSERT_NE(page, nullptr);
    form->OpenFile(other);
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 2);

    wchar_t oldDir[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, oldDir);
    SetCurrentDirectoryW(SjisToWide(dir.Path()).c_str());
    const AnsiString spellings[] = {
        file, "Same.txt", ".\\sub\\..\\Same.txt", dir.Path() + "\\sub\\..\\SAME.TXT", UpperCase(file),
    };
    for (const AnsiString& spelling : spellings)
    {
        form->SetActivePage(form->MainPageCtrl->Pages(1));
        EXPECT_EQ(form->OpenFile(spelling), page) << spelling;
        EXPECT_EQ(form->MainPageCtrl->ActivePage(), page) << spelling;
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 2) << spelling;
    }
    // A relative name opens the file of the current folder, under its full path.
    SetCurrentDirectoryW(oldDir);
    EXPECT_EQ(form->Edit()->EditFilePath, file);
    delete form;
}

TEST(TMainForm, ClosingAnEditedPageOffersToSaveAndNeverLosesTextOnAFailure)
{
    struct Case
    {
        const char* name;
        bool untitled;
        bool readOnly;
        std::deque<int> answers;
        std::deque<const char*> saveAs; // answers of the Save As dialog ("" cancels)
        bool pageStays;
        const char* fileAfter; // content of the file afterwards
    } cases[] = {
        {"Cancel keeps the page", false, false, {IDCANCEL}, {}, true, "old"},
        {"No closes without saving", false, false, {IDNO}, {}, false, "old"},
        {"Yes saves, then closes", false, false, {IDYES}, {}, false, "typedold"},
        {"Yes on untitled saves as", true, false, {IDYES}, {"new.txt"}, false, "typed"},
        {"a cancelled Save As keeps the page", true, false, {IDYES}, {""}, true, nullptr},
        {"a failing save keeps the page", false, true, {IDYES}, {}, true, "old"},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("doc.txt", "old");
        if (c.readOnly)
            SetFileAttributesW(SjisToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
        TMainForm* form = StartMainForm(c.untitled ? AnsiString() : file);
        TTabSheet* page = form->MainPageCtrl->ActivePage();
        ASSERT_NE(page, nullptr) << c.name;
        form->Edit()->KeyInput("typed");
        ASSERT_TRUE(form->Edit()->isEdited()) << c.name;
        services.boxes.clear();
        services.answers = c.answers;
        for (const char* a : c.saveAs)
            services.dialogAnswers.push_back(*a ? dir.Path() + "\\" + a : AnsiString());

        bool closed = form->ClosePage(page, true);
        EXPECT_EQ(!closed, c.pageStays) << c.name;
        EXPECT_EQ(form->IsPage(page), c.pageStays) << c.name;
        ASSERT_FALSE(services.boxes.empty()) << c.name;
        EXPECT_EQ(services.boxes[0],
                  c.untitled ? AnsiString("無題 を保存しますか") : file + " を保存しますか")
            << c.name;
        if (c.fileAfter)
        {
            AnsiString target = c.untitled ? dir.Path() + "\\new.txt" : file;
            EXPECT_EQ(TTempDir::Read(target), c.fileAfter) << c.name;
        }
        if (c.readOnly)
        {
            ASSERT_EQ(services.boxes.size(), 2u) << c.name; // the question, then the failure
            EXPECT_EQ(services.boxes[1].Pos("ファイル[" + file + "]の保存に失敗しました。\n"), 1) << c.name;
            EXPECT_TRUE(form->Edit()->isEdited()) << c.name;
        }
        delete form;
    }
}

TEST(TMainForm, TheWindowStaysOpenWhenAnyCloseStepIsRefusedOrFails)
{
    struct Case
    {
        const char* name;
        std::deque<int> answers;
        bool readOnlySecond;
        bool canClose;
    } cases[] = {
        {"No to both", {IDNO, IDNO}, false, true},
        {"Cancel at the second", {IDNO, IDCANCEL}, false, false},
        {"Yes to both", {IDYES, IDYES}, false, true},
        {"the second save fails", {IDYES, IDYES}, true, false},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString a = dir.Write("a.txt", "a");
        AnsiString b = dir.Write("b.txt", "b");
        if (c.readOnlySecond)
            SetFileAttributesW(SjisToWide(b).c_str(), FILE_ATTRIBUTE_READONLY);
        TMainForm* form = StartMainForm(a);
        form->OpenFile(b);
        for (int i = 0; i < 2; ++i)
            form->GetPageEditor(form->MainPageCtrl->Pages(i))->KeyInput("z");
        services.boxes.clear();
        services.answers = c.answers;
        bool canClose = true;
        form->FormCloseQuery(form, canClose);
        EXPECT_EQ(canClose, c.canClose) << c.name;
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 2) << c.name;
        EXPECT_EQ(services.boxes[0], "ﾌｧｲﾙ[" + a + "]の内容は変更されています\n変更を保存しますか?")
            << c.name;
        if (c.readOnlySecond)
        {
            EXPECT_TRUE(services.Shown("の保存に失敗しました")) << c.name;
            EXPECT_TRUE(form->GetPageEditor(form->MainPageCtrl->Pages(1))->isEdited()) << c.name;
        }
        delete form;
    }
}

TEST(TMainForm, CaptionsAndStatusFollowUntitledEditedAndSavedStates)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm("");
    TTabSheet* page = form->MainPageCtrl->ActivePage();
    TPageEditor* editor = form->Edit();
    form->EditStatusChange(editor);
    EXPECT_EQ(form->StatusBar->PanelText(0), "   1:   1");
    EXPECT_EQ(form->StatusBar->PanelText(1), "挿入");

    editor->KeyInput("あいう");
    form->EditStatusChange(editor);
    EXPECT_EQ(page->Caption(), "*無題");
    EXPECT_EQ(form->StatusBar->PanelText(0), "   1:   7"); // display column after three wide characters
    const int narrow = form->StatusBar->Panels()->Items(0)->Width();
    EXPECT_GT(narrow, form->StatusBar->TextWidth("   1:   7"));
    // A seven-digit row widens the panel to show the whole position.
    editor->SetCaretRaw(TPoint(6, 1234566)); // only the status reads it
    form->EditStatusChange(editor);
    EXPECT_EQ(form->StatusBar->PanelText(0), "1234567:   7");
    EXPECT_GT(form->StatusBar->Panels()->Items(0)->Width(), form->StatusBar->TextWidth("1234567:   7"));
    editor->SetCaretRaw(TPoint(6, 0));
    form->EditStatusChange(editor);
    EXPECT_EQ(form->StatusBar->Panels()->Items(0)->Width(), narrow);
    EXPECT_EQ(form->Caption(), kProgram + " - [無題]");

    services.dialogAnswers.push_back(dir.Path() + "\\保存先");
    form->SaveMenuClick(nullptr);
    AnsiString saved = dir.Path() + "\\保存先";
    EXPECT_EQ(editor->EditFilePath, saved); // the only filter row adds no extension
    EXPECT_EQ(page->Caption(), "保存先");
    EXPECT_EQ(form->Caption(), kProgram + " - [" + saved + "]");
    EXPECT_EQ(Application->Title(), kProgram + " - [保存先]");
    EXPECT_EQ(WindowText(form->Handle()), SjisToWide(form->Caption()));
    ASSERT_EQ(services.saveDialogs.size(), 1u);
    EXPECT_EQ(services.saveDialogs[0].Filter, "全てのファイル(*.*)|*.*|");
    EXPECT_TRUE(services.saveDialogs[0].Flags & 0x2); // OFN_OVERWRITEPROMPT

    editor->KeyInput("x");
    form->EditStatusChange(editor);
    EXPECT_EQ(page->Caption(), "*保存先");
    form->OverWriteMenuClick(nullptr);
    EXPECT_EQ(page->Caption(), "保存先");
    EXPECT_EQ(TTempDir::Read(saved), "あいうx");
    delete form;
}

TEST(TMainForm, CaptionsAreCutOnACharacter)
{
    struct Case
    {
        AnsiString text;
        int max;
        AnsiString expected;
    } cases[] = {
        {"abc", 5, "abc"}, {"あいう", 4, "あい"}, {"あいう", 5, "あい"}, {"aあ", 2, "a"},
        {"表示", 3, "表"}, {"", 0, ""},           {"ab", 0, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutOnCharacter(c.text, c.max), c.expected) << c.text << " " << c.max;

    TScriptServices services;
    TTempDir dir;
    AnsiString deep = dir.Path();
    for (int i = 0; i < 12; ++i)
    {
        deep += "\\ながいながいフォルダ名";
        CreateDirectoryW(SjisToWide(deep).c_str(), nullptr);
    }
    AnsiString file = deep + "\\文書.txt";
    {
        TFileStream f(file, fmCreate);
    }
    TMainForm* form = StartMainForm(file);
    ASSERT_NE(form->Edit(), nullptr);
    EXPECT_LE(form->Caption().Length(), 511);
    EXPECT_NE(ByteType(form->Caption(), form->Caption().Length()), mbLeadByte);
    delete form;
}

TEST(TMainForm, NoCommandFailsWithNoPageOpen)
{
    TScriptServices services;
    TMainForm* form = StartMainForm("無いファイル.txt");
    ASSERT_EQ(form->Edit(), nullptr);
    form->OverWriteMenuClick(nullptr);
    form->SaveMenuClick(nullptr);
    form->PageClosepMenuClick(nullptr);
    form->AllCloseMenuClick(nullptr);
    form->FileMenuClick(nullptr);
    form->EditStatusChange(nullptr);
    form->RefreshUiState();
    form->UpdateCaption(nullptr);
    form->SetActivePage(nullptr);
    EXPECT_FALSE(form->SaveFileAs());
    bool canClose = true;
    form->FormCloseQuery(form, canClose);
    EXPECT_TRUE(canClose);
    FinishSwitches(form);
    EXPECT_EQ(form->Caption(), kProgram);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(services.saveDialogs.empty());
    delete form;
}

TEST(TMainForm, ClosingAPageActivatesItsNeighbour)
{
    struct Case
    {
        int pages;
        int close;
        const char* left; // captions of what remains, and the active one
        const char* active;
    } cases[] = {
        {3, 2, "ab", "b"}, {4, 3, "abc", "c"}, {3, 0, "bc", "b"},
        {3, 1, "ac", "c"}, {2, 1, "a", "a"},   {1, 0, "", ""},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        TMainForm* form = StartMainForm(dir.Write("a", "a"));
        for (int i = 1; i < c.pages; ++i)
            form->OpenFile(dir.Write(AnsiString(char('a' + i)), "x"));
        form->SetActivePage(form->MainPageCtrl->Pages(c.close));
        form->ClosePage(form->MainPageCtrl->ActivePage(), true);
        std::string left;
        for (int i = 0; i < form->MainPageCtrl->PageCount(); ++i)
            left += form->MainPageCtrl->Pages(i)->Caption().str();
        EXPECT_EQ(left, c.left) << c.pages << " close " << c.close;
        TTabSheet* active = form->MainPageCtrl->ActivePage();
        EXPECT_EQ(active ? active->Caption().str() : std::string(), c.active)
            << c.pages << " close " << c.close;
        EXPECT_EQ(form->MainPageCtrl->Visible(), c.pages > 1);
        delete form;
    }
}

TEST(TMainForm, ASwitchFinishesLaterAndLeavesAClosedPageAlone)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm(dir.Write("一.txt", "1"));
    form->OpenFile(dir.Write("二.txt", "2"));
    form->OpenFile(dir.Write("三.txt", "3"));
    FinishSwitches(form);
    TTabSheet* first = form->MainPageCtrl->Pages(0);
    TTabSheet* second = form->MainPageCtrl->Pages(1);

    // Several quick switches, then the page left last closes before the finishes run.
    form->SetActivePage(first);
    form->SetActivePage(second);
    form->SetActivePage(first);
    int before = form->PageSwitchesFinished();
    form->ClosePage(second, false);
    FinishSwitches(form);
    EXPECT_GE(form->PageSwitchesFinished(), before + 3);
    EXPECT_EQ(form->MainPageCtrl->ActivePage(), first);
    EXPECT_EQ(form->Caption(), kProgram + " - [" + dir.Path() + "\\一.txt]");
    // Each one-shot timer has freed itself.
    for (int i = 0; i < form->ComponentCount(); ++i)
        EXPECT_EQ(dynamic_cast<TTimer*>(form->Components(i)), nullptr);
    delete form;
}

// A WM_DROPFILES handle with wide names.
HDROP MakeDrop(const std::vector<AnsiString>& names)
{
    std::wstring list;
    for (const AnsiString& n : names)
    {
        list += SjisToWide(n);
        list += L'\0';
    }
    list += L'\0';
    size_t bytes = list.size() * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(mem));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), bytes);
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

TEST(TMainForm, DropsOpenFilesSkipFoldersAndStopAtTheLimit)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm(dir.Path() + "\\none");
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 0);
    auto* drop = dynamic_cast<nsPanel*>(form->FindComponent("DropPanel"));
    ASSERT_NE(drop, nullptr);
    EXPECT_TRUE(GetWindowLongW(drop->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // A folder alone opens nothing; a folder and a file open the file.
    SendMessageW(drop->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir.Path()})), 0);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 0);
    AnsiString file = dir.Write("落とした.txt", "d");
    SendMessageW(drop->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir.Path(), file})), 0);
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 1);
    EXPECT_EQ(form->Edit()->EditFilePath, file);
    // A drop on the editor page opens the same way.
    AnsiString second = dir.Write("二つ目.txt", "e");
    SendMessageW(form->Edit()->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dir.Path(), second})),
                 0);
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 2);
    EXPECT_EQ(form->Edit()->EditFilePath, second);
    form->ClosePage(form->MainPageCtrl->ActivePage(), false);
    form->ClosePage(form->MainPageCtrl->ActivePage(), false);

    // Seventy files: sixty-five open, then the limit message, once.
    TStringList names;
    for (int i = 0; i < 70; ++i)
        names.Add(dir.Write("f" + IntToStr(i) + ".txt", "x"));
    services.boxes.clear();
    form->OnEditFileDrop(form, &names);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 65);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(services.Shown("上限に達したため"));
    delete form;
}

TEST(TMainForm, RecentFilesKeepFiveNewestFirstAndFillTheFileMenu)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm(dir.Path() + "\\none");
    form->FileMenuClick(form->FileMenu);
    EXPECT_FALSE(form->ReopenMenu->Enabled());
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(form->RP[i]->Visible());

    std::vector<AnsiString> files;
    for (int i = 0; i < 7; ++i)
        files.push_back(dir.Write("h" + IntToStr(i) + ".txt", "h"));
    for (const AnsiString& f : files)
        form->OpenFile(f);
    form->SetActivePage(form->MainPageCtrl->Pages(2));
    form->OpenFile(UpperCase(files[2])); // already open: no new history entry
    form->AddToHistory(UpperCase(files[4]));
    std::vector<AnsiString> expected = {UpperCase(files[4]), files[6], files[5], files[3], files[2]};
    EXPECT_EQ(form->History(), expected);

    form->FileMenuClick(form->FileMenu);
    EXPECT_TRUE(form->ReopenMenu->Enabled());
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_TRUE(form->RP[i]->Visible());
        EXPECT_EQ(form->RP[i]->Caption(), expected[size_t(i)]);
        EXPECT_EQ(form->PRP[i]->Caption(), expected[size_t(i)]);
    }

    // Choosing an entry whose file is gone says so and opens nothing.
    DeleteFileW(SjisToWide(files[3]).c_str());
    int pages = form->MainPageCtrl->PageCount();
    form->RPMenuClick(form->RP[3]);
    EXPECT_TRUE(services.Shown("のオープンに失敗しました"));
    EXPECT_EQ(form->MainPageCtrl->PageCount(), pages);
    delete form;
}

TEST(TMainForm, RecentFilesPersistNewestFirstAndFiveAtMostAcrossRuns)
{
    TScriptServices services;
    TTempDir dir;
    std::vector<AnsiString> files;
    for (int i = 0; i < 7; ++i)
        files.push_back(dir.Write("履歴" + IntToStr(i) + ".txt", "h"));

    TMainForm* first = StartMainForm("");
    EXPECT_TRUE(first->History().empty());
    for (int i = 0; i < 6; ++i)
        first->OpenFile(files[size_t(i)]);
    first->AddToHistory(UpperCase(files[2])); // the same file under another spelling moves up
    first->Close();
    delete first;

    // The next run starts with the list as it was, and changes go on from there.
    const std::vector<AnsiString> kept = {UpperCase(files[2]), files[5], files[4], files[3], files[1]};
    TMainForm* second = StartMainForm("", false);
    EXPECT_EQ(second->History(), kept);
    second->FileMenuClick(second->FileMenu);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(second->RP[i]->Caption(), kept[size_t(i)]);
    second->OpenFile(files[6]);
    delete second; // no orderly close: the list was already stored when it changed

    TMainForm* third = StartMainForm("", false);
    const std::vector<AnsiString> after = {files[6], UpperCase(files[2]), files[5], files[4], files[3]};
    EXPECT_EQ(third->History(), after);
    delete third;

    // A store with gaps gives only the real entries, in their order.
    ClearTestKey();
    {
        WXRegIni ini(TestKey());
        ini.WriteString("STANDARD", "履歴_02", files[0]);
        ini.WriteString("STANDARD", "履歴_04", files[1]);
    }
    TMainForm* gaps = StartMainForm("", false);
    EXPECT_EQ(gaps->History(), (std::vector<AnsiString>{files[0], files[1]}));
    delete gaps;
    EXPECT_TRUE(services.boxes.empty());
}

// "前回終了時の状態を再現する" as the settings dialog leaves it: in the record and in the store.
void StoreRemainOption(bool on)
{
    VN::EditSetting.IS_REMAIN = on;
    WriteEditSetting(VN::EditSetting, TestKey());
}

TEST(TMainForm, TheReopenListIsWrittenAtExitAndReopenedAtStartWhenAsked)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString a = dir.Write("a.txt", "a"), b = dir.Write("びー.txt", "b"), c = dir.Write("c.txt", "c");

    TMainForm* first = StartMainForm("");
    first->OpenFile(a);
    first->NewFileMenuClick(nullptr); // untitled pages are not listed
    first->OpenFile(b);
    StoreRemainOption(true);
    first->Close();
    EXPECT_EQ(first->MainPageCtrl->PageCount(), 0);
    delete first;

    nsList<VN::typReopen> stored;
    bool again = false;
    ReadReopenList(stored, again, TestKey());
    EXPECT_TRUE(again);
    ASSERT_EQ(stored.Count(), 2);
    EXPECT_EQ(NsStringToAnsi(stored.Get(0)->path), a);
    EXPECT_EQ(NsStringToAnsi(stored.Get(1)->path), b);
    EXPECT_EQ(stored.Get(0)->flag, 0);

    // A flagged entry is listed but not opened; a missing file is passed over silently; the
    // command-line file comes after the reopened ones.
    {
        WXRegIni ini(TestKey());
        ini.WriteInteger("REOPEN", "FILENUM", 4);
        ini.WriteString("REOPEN", "PURL_03", "@" + c);
        ini.WriteString("REOPEN", "PURL_04", dir.Path() + "\\gone.txt");
    }
    TMainForm* second = StartMainForm(c, false);
    EXPECT_TRUE(VN::EditSetting.IS_REMAIN);
    ASSERT_EQ(second->MainPageCtrl->PageCount(), 3);
    EXPECT_EQ(second->GetPageEditor(second->MainPageCtrl->Pages(0))->EditFilePath, a);
    EXPECT_EQ(second->GetPageEditor(second->MainPageCtrl->Pages(1))->EditFilePath, b);
    EXPECT_EQ(second->GetPageEditor(second->MainPageCtrl->Pages(2))->EditFilePath, c);
    EXPECT_TRUE(services.boxes.empty());
    StoreRemainOption(false);
    second->Close();
    delete second;

    // Without the option the list is stored but nothing is reopened.
    TMainForm* third = StartMainForm("", false);
    EXPECT_FALSE(VN::EditSetting.IS_REMAIN);
    ASSERT_EQ(third->MainPageCtrl->PageCount(), 1);
    EXPECT_TRUE(third->Edit()->EditFilePath.IsEmpty());
    ReadReopenList(stored, again, TestKey());
    EXPECT_FALSE(again);
    EXPECT_EQ(stored.Count(), 3);
    delete third;
}

TEST(TMainForm, WindowLayoutIsStoredAtExitAndRestoredAtStart)
{
    TScriptServices services;
    TMainForm* fresh = StartMainForm("");
    EXPECT_EQ(fresh->Left(), 100);
    EXPECT_EQ(fresh->Top(), 100);
    EXPECT_EQ(fresh->Width(), 800);
    EXPECT_EQ(fresh->Height(), 600);
    EXPECT_TRUE(fresh->StatusBar->Visible());
    fresh->SetBounds(50, 60, 700, 500);
    fresh->StatusBar->SetVisible(false);
    ShowWindow(fresh->Handle(), SW_MAXIMIZE);
    fresh->Close();
    delete fresh;

    VN::typWindowState stored = ReadWindowState(TestKey());
    EXPECT_TRUE(stored.maximized);
    EXPECT_EQ(stored.left, 50); // the normal bounds, not the maximised ones
    EXPECT_EQ(stored.top, 60);
    EXPECT_EQ(stored.width, 700);
    EXPECT_EQ(stored.height, 500);
    EXPECT_FALSE(stored.statusBar);

    TMainForm* next = StartMainForm("", false);
    EXPECT_TRUE(IsZoomed(next->Handle()));
    EXPECT_FALSE(next->StatusBar->Visible());
    ShowWindow(next->Handle(), SW_RESTORE);
    EXPECT_EQ(next->Left(), 50);
    EXPECT_EQ(next->Width(), 700);
    delete next;
}

TEST(TMainForm, OpeningFromTheMenuReplacesTheBlankStartPage)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString file = dir.Write("開く.txt", "o");
    TMainForm* form = StartMainForm("");
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 1);
    services.dialogAnswers = {"", file};
    form->OpenFileMenuClick(nullptr); // cancelled: nothing changes
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 1);
    form->OpenFileMenuClick(nullptr);
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 1);
    EXPECT_EQ(form->Edit()->EditFilePath, file);

    // An edited untitled page stays.
    form->NewFileMenuClick(nullptr);
    form->Edit()->KeyInput("keep");
    services.dialogAnswers = {dir.Write("別.txt", "b")};
    form->OpenFileMenuClick(nullptr);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 3);
    delete form;
}

TEST(TMainForm, MenuShortcutsReachTheCommandsFromTheEditor)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString file = dir.Write("鍵.txt", "k");
    TMainForm* form = StartMainForm(file);
    FinishSwitches(form);
    SetForegroundWindow(form->Handle());
    form->Edit()->SetFocus();
    Application->ProcessMessages();
    form->Edit()->KeyInput("s");
    services.keysDown = {VK_CONTROL};
    PostMessageW(form->Edit()->Handle(), WM_KEYDOWN, 'S', 1);
    Application->ProcessMessages();
    services.keysDown.clear();
    EXPECT_FALSE(form->Edit()->isEdited());
    EXPECT_EQ(TTempDir::Read(file), "sk");

    HMENU drop = GetSubMenu(GetMenu(form->Handle()), 0);
    wchar_t text[128] = {};
    GetMenuStringW(drop, form->OverWriteMenu->Command(), text, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(text), L"\u4E0A\u66F8\u304D\u4FDD\u5B58(&S)\tCtrl+S");
    delete form;
}

TEST(TMainForm, DockZonesSplitTheClientArea)
{
    TScriptServices services;
    TMainForm* form = StartMainForm("無い");
    auto* panel = Create<TPanel>(form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetParent(form);
    POINT origin{0, 0};
    ClientToScreen(panel->Handle(), &origin);
    struct Case
    {
        TPoint p;
        bool inside;
        TRect rect; // client coordinates
    } cases[] = {
        {{10, 25}, true, {0, 0, 50, 50}},
        {{50, 5}, true, {0, 0, 100, 25}},
        {{80, 25}, true, {50, 0, 100, 50}},
        {{50, 40}, true, {0, 25, 100, 50}},
        {{50, 25}, true, {0, 0, 100, 50}},
        {{5, 5}, true, {0, 0, 50, 50}},
        {{100, 25}, false, {}},
        {{-1, 25}, false, {}},
    };
    for (const Case& c : cases)
    {
        TRect r;
        EXPECT_EQ(TMainForm::DockZoneAt(panel, r, c.p), c.inside) << c.p.x << "," << c.p.y;
        if (c.inside)
        {
            EXPECT_EQ(r, TRect(c.rect.Left + origin.x, c.rect.Top + origin.y, c.rect.Right + origin.x,
                               c.rect.Bottom + origin.y))
                << c.p.x << "," << c.p.y;
        }
    }
    delete form;
}

TEST(TMainForm, TheResultsPanelOpensForADockedWindowAndCollapsesWhenItLeaves)
{
    TScriptServices services;
    TMainForm* form = StartMainForm("無い");
    EXPECT_EQ(form->SrchPanel->Height(), 0); // collapsed at start
    auto* results = Create<TForm>(nullptr);
    results->SetCaption("検索ウィンドウ");
    results->SetBounds(10, 10, 540, 140);
    results->Show();

    ASSERT_TRUE(ManualDock(results, form->SrchPanel));
    EXPECT_EQ(form->SrchPanel->Height(), 100);
    form->SrchPanel->SetHeight(150);
    ASSERT_TRUE(ManualFloat(results, TRect(10, 10, 550, 150)));
    EXPECT_EQ(form->SrchPanel->Height(), 0);
    ASSERT_TRUE(ManualDock(results, form->SrchPanel));
    EXPECT_EQ(form->SrchPanel->Height(), 150); // the height it had when the window left
    form->SrchPanel->SetHeight(20);
    form->RestoreSrchPanelHeight(results);
    EXPECT_EQ(form->SrchPanel->Height(), 150);
    form->CollapseSrchPanel();
    EXPECT_EQ(form->SrchPanel->Height(), 0);
    delete results;
    delete form;
}

TEST(TMainForm, CommandLineIsOneFileNameAfterTheProgram)
{
    struct Case
    {
        const wchar_t* line;
        const char* expected;
    } cases[] = {
        {L"varnolet.exe", ""},
        {L"\"C:\\Program Files\\varnolet.exe\"", ""},
        {L"varnolet.exe C:\\a b\\c.txt", "C:\\a b\\c.txt"},
        {L"\"C:\\x y\\varnolet.exe\"   \"C:\\a b\\c.txt\"  ", "C:\\a b\\c.txt"},
        {L"varnolet.exe \x65E5\x672C\x8A9E.txt", "日本語.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandLineFileName(c.line), c.expected) << c.expected;
}

// Another program holding a file open for writing (reading stays allowed).
class THeldFile
{
public:
    explicit THeldFile(const AnsiString& path)
        : h_(CreateFileW(SjisToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr))
    {
    }
    ~THeldFile()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    bool Held() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Rewrites a file and dates it a minute later than now, as another program would change it.
void ChangeOnDisk(const AnsiString& path, const AnsiString& text)
{
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer(text.c_str(), text.Length());
    }
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += 60ULL * 10000000ULL;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

TEST(TMainForm, OpeningTellsOfLockedWriteProtectedAndCutFilesAndShowsThem)
{
    struct Case
    {
        const char* name;
        AnsiString content;
        bool locked;
        bool readOnly;
        const char* warning; // catalogue text, or null for none
        AnsiString firstRow;
        const char* leftOut = ""; // bytes from the NUL on, for the NUL warnings
    } cases[] = {
        {"plain", "abc", false, false, nullptr, "abc"},
        {"locked by another program", "locked", true, false, msgFileLocked, "locked"},
        {"write-protected", "ro", false, true, msgWriteProtected, "ro"},
        {"stops at a NUL byte", AnsiString("ab\0cd", 5), false, false, msgTruncatedAtNul, "ab", "3"},
        {"stray NULs", AnsiString("0123456789abc\0defghijklmnopqrstuvwx\0yz", 39), false, false, msgTruncatedAtNul,
         "0123456789abc", "26"},
        {"UTF-16 with its mark", AnsiString("\xFF\xFE" "a\0b\0\r\0\n\0", 10), false, false, msgTruncatedUtf16,
         "\xFF\xFE" "a", "7"},
        {"UTF-16 big-endian with its mark", AnsiString("\xFE\xFF\0a\0b", 6), false, false, msgTruncatedUtf16,
         "\xFE\xFF", "4"},
        {"UTF-16 without a mark", AnsiString("a\0b\0c\0", 6), false, false, msgTruncatedUtf16, "a", "5"},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("文書.txt", c.content);
        if (c.readOnly)
            SetFileAttributesW(SjisToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
        TMainForm* form = StartMainForm("");
        {
            THeldFile held(c.locked ? file : dir.Path() + "\\none");
            ASSERT_EQ(held.Held(), c.locked) << c.name;
            EXPECT_NE(form->OpenFile(file), nullptr) << c.name;
        }
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        EXPECT_EQ(form->Edit()->EditFilePath, file) << c.name;
        EXPECT_EQ(form->Edit()->GetLine(0), c.firstRow) << c.name;
        EXPECT_FALSE(form->Edit()->isEdited()) << c.name;
        EXPECT_TRUE(form->Edit()->IsWordChar('_')) << c.name;
        if (c.warning)
        {
            ASSERT_EQ(services.boxes.size(), 1u) << c.name;
            EXPECT_EQ(services.boxes[0], *c.leftOut ? Format(c.warning, {file, c.leftOut}) : Format(c.warning, {file}))
                << c.name;
        }
        else
            EXPECT_TRUE(services.boxes.empty()) << c.name;
        delete form;
    }
}

TEST(TMainForm, SavingATextCutAtANulBackToItsFileAsksFirstWithNoAsTheDefault)
{
    const AnsiString cut("ab\0cd", 5);
    const AnsiString utf16("\xFF\xFE" "a\0b\0", 6);
    struct Case
    {
        const char* name;
        AnsiString content;
        std::deque<int> answers;
        bool saveAs; // to another name: nothing is lost, no question
        AnsiString fileAfter;
        bool editedAfter;
        const char* question; // with the bytes that would be lost
        const char* leftOut;
    } cases[] = {
        {"No keeps the file", cut, {IDNO}, false, cut, true, msgOverwriteTruncated, "3"},
        {"Cancel (the close box) keeps the file", cut, {IDCANCEL}, false, cut, true, msgOverwriteTruncated, "3"},
        {"Yes writes the text", cut, {IDYES}, false, "xab", false, msgOverwriteTruncated, "3"},
        {"a UTF-16 file is named so", utf16, {IDNO}, false, utf16, true, msgOverwriteTruncatedUtf16, "3"},
        {"another name needs no question", cut, {}, true, cut, false, nullptr, nullptr},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("cut.txt", c.content);
        TMainForm* form = StartMainForm(file);
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        form->Edit()->KeyInput("x");
        AnsiString typed = form->Edit()->GetText();
        services.boxes.clear();
        services.boxFlags.clear();
        services.answers = c.answers;
        if (c.saveAs)
        {
            services.dialogAnswers.push_back(dir.Path() + "\\copy.txt");
            form->SaveMenuClick(nullptr);
            EXPECT_EQ(TTempDir::Read(dir.Path() + "\\copy.txt"), typed) << c.name;
        }
        else
            form->OverWriteMenuClick(nullptr);
        EXPECT_EQ(TTempDir::Read(file), c.fileAfter) << c.name;
        EXPECT_EQ(form->Edit()->isEdited(), c.editedAfter) << c.name;
        if (!c.question)
            EXPECT_TRUE(services.boxes.empty()) << c.name;
        else
        {
            ASSERT_EQ(services.boxes.size(), 1u) << c.name;
            EXPECT_EQ(services.boxes[0], Format(c.question, {file, c.leftOut})) << c.name;
            // Enter answers No: the destructive answer is never the default.
            EXPECT_EQ(services.boxFlags[0] & (MB_DEFBUTTON2 | MB_DEFBUTTON3), unsigned(MB_DEFBUTTON2)) << c.name;
            EXPECT_EQ(services.boxFlags[0] & MB_TYPEMASK, unsigned(MB_YESNO)) << c.name;
        }
        // Once written whole, the next save asks nothing.
        if (!c.editedAfter)
        {
            services.boxes.clear();
            form->Edit()->KeyInput("y");
            form->OverWriteMenuClick(nullptr);
            EXPECT_TRUE(services.boxes.empty()) << c.name;
            EXPECT_FALSE(form->Edit()->isEdited()) << c.name;
        }
        delete form;
    }
}

TEST(TMainForm, AFailingSaveIsToldAndTheTextStaysEdited)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString file = dir.Write("ro.txt", "old");
    SetFileAttributesW(SjisToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
    TMainForm* form = StartMainForm(file);
    services.boxes.clear();
    form->Edit()->KeyInput("new");
    form->OverWriteMenuClick(nullptr);
    ASSERT_FALSE(services.boxes.empty());
    EXPECT_EQ(services.boxes.back().Pos("ファイル[" + file + "]の保存に失敗しました。\n"), 1);
    EXPECT_TRUE(form->Edit()->isEdited());
    EXPECT_EQ(form->MainPageCtrl->ActivePage()->Caption(), "*ro.txt");
    EXPECT_EQ(TTempDir::Read(file), "old");
    delete form;
}

TEST(TMainForm, BackupsFollowTheSettingOnEveryPage)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString file = dir.Write("b.txt", "first");
    TMainForm* form = StartMainForm(file);
    const VN::typEditSetting kept = VN::EditSetting;
    for (bool backup : {false, true})
    {
        DeleteFileW(SjisToWide(file + ".bak").c_str());
        VN::EditSetting.BACKUPFILE = backup;
        form->ApplySettingsToAllEditors();
        EXPECT_EQ(form->Edit()->BackupFile, backup);
        form->Edit()->KeyInput("x");
        AnsiString before = TTempDir::Read(file);
        form->OverWriteMenuClick(nullptr);
        EXPECT_EQ(GetFileAttributesW(SjisToWide(file + ".bak").c_str()) != INVALID_FILE_ATTRIBUTES, backup);
        if (backup)
        {
            EXPECT_EQ(TTempDir::Read(file + ".bak"), before);
        }
    }
    VN::EditSetting = kept;
    EXPECT_TRUE(services.boxes.empty());
    delete form;
}

TEST(TMainForm, AChangeOnDiskIsOfferedOnceAndAnsweredAsChosen)
{
    struct Case
    {
        const char* name;
        int answer;
        bool edited;  // the page has unsaved edits
        bool locked;  // another program holds the file at the reload
        AnsiString rowAfter;
        bool askedAgain; // at the next activation
    } cases[] = {
        {"Yes reloads", IDYES, false, false, "new", false},
        {"Yes reloads over edits", IDYES, true, false, "new", false},
        {"No keeps the text and stops asking", IDNO, false, false, "old", false},
        {"Cancel keeps the text and asks again", IDCANCEL, true, false, "xold", true},
        {"a locked file reloads with its warning", IDYES, false, true, "new", false},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("disk.txt", "old");
        TMainForm* form = StartMainForm(file);
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        // Nothing changed yet: no question.
        form->FormActivate(form);
        EXPECT_TRUE(services.boxes.empty()) << c.name;
        if (c.edited)
            form->Edit()->KeyInput("x");
        ChangeOnDisk(file, "new");

        // The box's closing activates the window and focuses the page again: no second box.
        services.answers = {c.answer};
        services.onBox = [&] {
            services.onBox = nullptr;
            form->FormActivate(form);
            form->CheckFileChangedOnDisk(false);
        };
        {
            THeldFile held(c.locked ? file : dir.Path() + "\\none");
            form->FormActivate(form);
        }
        ASSERT_GE(services.boxes.size(), 1u) << c.name;
        AnsiString question = Format(msgChangedOnDisk, {file});
        EXPECT_EQ(services.boxes[0].Pos(question), 1) << c.name;
        EXPECT_EQ(services.boxes[0].Pos("保存していない変更") > 0, c.edited) << c.name;
        // A reload over edits throws them away: then Enter answers No.
        EXPECT_EQ(services.boxFlags[0] & (MB_DEFBUTTON2 | MB_DEFBUTTON3),
                  c.edited ? unsigned(MB_DEFBUTTON2) : 0u)
            << c.name;
        EXPECT_EQ(services.boxes.size(), c.locked ? 2u : 1u) << c.name;
        if (c.locked)
        {
            EXPECT_EQ(services.boxes[1], Format(msgFileLocked, {file})) << c.name;
        }
        EXPECT_EQ(form->Edit()->GetLine(0), c.rowAfter) << c.name;
        EXPECT_EQ(form->Edit()->isEdited(), c.answer == IDCANCEL && c.edited) << c.name;

        services.boxes.clear();
        services.answers = {IDCANCEL};
        form->FormActivate(form);
        EXPECT_EQ(services.boxes.size(), c.askedAgain ? 1u : 0u) << c.name;
        delete form;
    }
}

TEST(TMainForm, AnInactivePageChangedOnDiskIsOfferedWhenItsEditorGetsTheFocus)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString first = dir.Write("一.txt", "one");
    TMainForm* form = StartMainForm(first);
    form->OpenFile(dir.Write("二.txt", "two"));
    FinishSwitches(form);
    SetForegroundWindow(form->Handle());
    Application->ProcessMessages();
    ChangeOnDisk(first, "ONE");
    EXPECT_TRUE(services.boxes.empty());

    services.answers = {IDYES};
    // Ctrl+Tab in the editor turns to the next page (from the last, the first).
    form->Edit()->OnCtrlTabDown(form->Edit());
    FinishSwitches(form);
    ASSERT_EQ(form->MainPageCtrl->ActivePage(), form->MainPageCtrl->Pages(0));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], Format(msgChangedOnDisk, {first}));
    EXPECT_EQ(form->Edit()->GetLine(0), "ONE");
    delete form;
}

struct TOutOfMemory
{
    explicit TOutOfMemory(size_t from) { failAllocationsFrom = from; }
    ~TOutOfMemory() { failAllocationsFrom = 0; }
};

// Many short lines: any way of holding them needs blocks of megabytes.
AnsiString ManyLines(int count)
{
    AnsiString text;
    text.SetLength(count * 5);
    char* p = text.Unique();
    for (int i = 0; i < count; ++i, p += 5)
        std::memcpy(p, "abc\r\n", 5);
    return text;
}

TEST(TMainForm, AnOpenOrReloadThatRunsOutOfMemorySaysWhichFileAndWhyAndKeepsThePages)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString small = dir.Write("小.txt", "old");
    AnsiString big = dir.Write("大.txt", ManyLines(1000000));
    TMainForm* form = StartMainForm(small);
    TTabSheet* page = form->MainPageCtrl->ActivePage();
    ASSERT_NE(page, nullptr);
    form->Edit()->KeyInput("x");
    services.boxes.clear();
    {
        TOutOfMemory oom(1 << 20);
        EXPECT_EQ(form->OpenFile(big), nullptr);
    }
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 1);
    EXPECT_EQ(form->MainPageCtrl->ActivePage(), page);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], Format(msgOpenFailedBecause, {big, msgOutOfMemory}));

    // The reload after a change on disk: the page keeps its text and its edits.
    ChangeOnDisk(small, ManyLines(1000000));
    services.boxes.clear();
    services.answers = {IDYES};
    {
        TOutOfMemory oom(1 << 20);
        form->FormActivate(form);
    }
    ASSERT_EQ(services.boxes.size(), 2u);
    EXPECT_EQ(services.boxes[1], Format(msgReloadFailed, {small, msgOutOfMemory}));
    EXPECT_EQ(form->Edit()->GetLine(0), "xold");
    EXPECT_TRUE(form->Edit()->isEdited());
    EXPECT_EQ(form->Edit()->EditFilePath, small);
    for (const AnsiString& box : services.boxes)
        EXPECT_EQ(box.Pos("bad_alloc"), 0) << Utf8(box);
    // Asked again next time, and then it loads.
    services.boxes.clear();
    services.answers = {IDYES};
    form->FormActivate(form);
    EXPECT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(form->Edit()->GetLine(0), "abc\r");
    delete form;
}

TEST(TMainForm, NamesTooLongForWindowsAreRefusedAtStartAndDroppedFromTheStoredLists)
{
    TTempDir dir;
    AnsiString real = dir.Write("本物.txt", "r");
    AnsiString oneLongName = dir.Path() + "\\" + AnsiString::StringOfChar('a', 4000) + ".txt";
    AnsiString deepName = dir.Path();
    while (deepName.Length() < 40000)
        deepName += "\\" + AnsiString::StringOfChar('b', 200);
    deepName += "\\f.txt";
    for (const AnsiString& name : {oneLongName, deepName})
    {
        TScriptServices services;
        TMainForm* form = StartMainForm(name);
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 0);
        ASSERT_EQ(services.boxes.size(), 1u);
        AnsiString head = "ファイル名が長すぎるため開けません（" + IntToStr(name.Length()) + " 文字）。\n" +
                          name.SubString(1, 40);
        EXPECT_EQ(services.boxes[0].Pos(head), 1) << Utf8(services.boxes[0].SubString(1, 200));
        EXPECT_LT(services.boxes[0].Length(), 1000); // the name is shown by its two ends
        delete form;
    }

    // Stored by an earlier run or damaged: such entries are dropped, the others open.
    ClearTestKey();
    {
        WXRegIni ini(TestKey());
        ini.WriteBool("REOPEN", "REOPEN", true);
        ini.WriteInteger("REOPEN", "FILENUM", 3);
        ini.WriteString("REOPEN", "PURL_01", deepName);
        ini.WriteString("REOPEN", "PURL_02", oneLongName);
        ini.WriteString("REOPEN", "PURL_03", real);
        ini.WriteString(VN::kStandardSection, "履歴_01", deepName);
        ini.WriteString(VN::kStandardSection, "履歴_02", oneLongName);
        ini.WriteString(VN::kStandardSection, "履歴_03", real);
    }
    TScriptServices services;
    TMainForm* form = StartMainForm("", false);
    ASSERT_EQ(form->MainPageCtrl->PageCount(), 1);
    EXPECT_EQ(form->Edit()->EditFilePath, real);
    EXPECT_EQ(form->History(), std::vector<AnsiString>{real});
    EXPECT_TRUE(services.boxes.empty());
    form->Close();
    delete form;
    nsList<VN::typReopen> stored;
    bool again = false;
    ReadReopenList(stored, again, TestKey());
    ASSERT_EQ(stored.Count(), 1);
    EXPECT_EQ(NsStringToAnsi(stored.Get(0)->path), real);
}

// A folder path of the given length under dir, made of names of at most 100 characters.
AnsiString DeepFolder(const TTempDir& dir, int length)
{
    AnsiString path = dir.Path();
    while (path.Length() < length)
    {
        int n = std::min(100, length - path.Length() - 1);
        path += "\\" + AnsiString::StringOfChar('d', std::max(1, n));
        CreateDirectoryW((L"\\\\?\\" + SjisToWide(path)).c_str(), nullptr);
    }
    return path;
}

TEST(TMainForm, FilesDeeperThanMaxPathOpenUnderTheirLongNames)
{
    TScriptServices services;
    TTempDir dir;
    for (int length : {400, 1000, 3000})
    {
        AnsiString folder = DeepFolder(dir, length);
        AnsiString file = folder + "\\" + "LongFileName.txt";
        {
            TFileStream f(file, fmCreate);
            f.WriteBuffer("deep", 4);
        }
        TMainForm* form = StartMainForm(file);
        ASSERT_NE(form->Edit(), nullptr) << length;
        EXPECT_EQ(form->Edit()->EditFilePath, file) << length;
        EXPECT_EQ(form->Edit()->GetLine(0), "deep") << length;
        // A short spelling of the file's name finds the same page.
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((L"\\\\?\\" + SjisToWide(file)).c_str(), &fd);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FindClose(h);
        ASSERT_NE(fd.cAlternateFileName[0], L'\0');
        AnsiString spelled = folder + "\\" + WideToSjis(fd.cAlternateFileName, int(wcslen(fd.cAlternateFileName)));
        EXPECT_EQ(form->OpenFile(spelled), form->MainPageCtrl->ActivePage()) << length;
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 1) << length;
        EXPECT_TRUE(services.boxes.empty()) << length;
        delete form;
    }
}

TEST(TMainForm, AFailedSaveOfALongPathShowsTheWholeReason)
{
    TScriptServices services;
    TTempDir dir;
    // A path of 259 characters: with the path named twice, the message passes 512 bytes.
    AnsiString folder = dir.Path() + "\\" + AnsiString::StringOfChar('f', 249 - dir.Path().Length());
    CreateDirectoryW(SjisToWide(folder).c_str(), nullptr);
    AnsiString file = folder + "\\ro.txt12";
    ASSERT_EQ(file.Length(), 259);
    {
        TFileStream f(file, fmCreate);
        f.WriteBuffer("old", 3);
    }
    SetFileAttributesW(SjisToWide(file).c_str(), FILE_ATTRIBUTE_READONLY);
    // What the page says about the failure, in full.
    AnsiString reason;
    {
        auto* page = Create<TPageEditor>(nullptr);
        try
        {
            page->SaveToFile(file, TConvMode());
        }
        catch (const Exception& e)
        {
            reason = e.Message;
        }
        delete page;
    }
    ASSERT_FALSE(reason.IsEmpty());
    TMainForm* form = StartMainForm(file);
    ASSERT_NE(form->Edit(), nullptr);
    services.boxes.clear();
    form->Edit()->KeyInput("new");
    form->OverWriteMenuClick(nullptr);
    ASSERT_EQ(services.boxes.size(), 1u);
    // The box starts with the file and ends with the system's reason (the rest may name a
    // temporary file that differs from one try to the next).
    const AnsiString& box = services.boxes[0];
    AnsiString head = Format(msgSaveFailed, {file, ""});
    EXPECT_EQ(box.SubString(1, head.Length()), head);
    int tail = std::min(24, reason.Length());
    EXPECT_EQ(box.SubString(box.Length() - tail + 1, tail), reason.SubString(reason.Length() - tail + 1, tail));
    EXPECT_EQ(TTempDir::Read(file), "old");
    SetFileAttributesW(SjisToWide(file).c_str(), FILE_ATTRIBUTE_NORMAL);
    delete form;
}

TEST(TMainForm, SaveAsUnderAShortFolderNameKeepsTheLongNameSoTheFileHasOnePage)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString folder = dir.Path() + "\\A Long Folder Name";
    CreateDirectoryW(SjisToWide(folder).c_str(), nullptr);
    wchar_t shortFolder[MAX_PATH] = {};
    GetShortPathNameW(SjisToWide(folder).c_str(), shortFolder, MAX_PATH);
    AnsiString shortSpelling = WideToSjis(shortFolder, int(wcslen(shortFolder)));
    ASSERT_NE(UpperCase(shortSpelling), UpperCase(folder)) << Utf8(shortSpelling);

    TMainForm* form = StartMainForm("");
    form->Edit()->KeyInput("saved");
    services.dialogAnswers = {shortSpelling + "\\Saved Under Short.txt"};
    ASSERT_TRUE(form->SaveFileAs());
    AnsiString longPath = folder + "\\Saved Under Short.txt";
    EXPECT_EQ(form->Edit()->EditFilePath, longPath);
    EXPECT_EQ(form->History().front(), longPath);
    EXPECT_EQ(form->Caption(), kProgram + " - [" + longPath + "]");
    TTabSheet* page = form->MainPageCtrl->ActivePage();
    EXPECT_EQ(form->OpenFile(longPath), page);
    EXPECT_EQ(form->MainPageCtrl->PageCount(), 1);
    delete form;
}

TEST(TMainForm, SaveAsOntoTheFileOfAnotherPageAsksWhenThatPageHasEditsAndLeavesOnePageOrATold)
{
    struct Case
    {
        const char* name;
        bool otherEdited;
        std::deque<int> answers;
        bool asked;
        bool saved;
        bool otherStays;
    } cases[] = {
        {"an unedited page of the file is closed", false, {}, false, true, false},
        {"edits there: No saves nothing", true, {IDNO}, true, false, true},
        {"edits there: the close box saves nothing", true, {IDCANCEL}, true, false, true},
        {"edits there: Yes saves and keeps that page's text", true, {IDYES}, true, true, true},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("共有.txt", "on disk");
        TMainForm* form = StartMainForm(file);
        TTabSheet* other = form->MainPageCtrl->ActivePage();
        TPageEditor* otherEditor = form->Edit();
        if (c.otherEdited)
            otherEditor->KeyInput("other ");
        form->NewFileMenuClick(nullptr);
        TTabSheet* mine = form->MainPageCtrl->ActivePage();
        form->Edit()->KeyInput("mine");
        FinishSwitches(form);
        services.boxes.clear();
        services.answers = c.answers;
        services.dialogAnswers = {file};
        EXPECT_EQ(form->SaveFileAs(), c.saved) << c.name;
        EXPECT_EQ(services.boxes.size(), c.asked ? 1u : 0u) << c.name;
        if (c.asked && !services.boxes.empty())
        {
            EXPECT_EQ(services.boxes[0], Format(msgSaveAsOpenElsewhere, {file})) << c.name;
            EXPECT_EQ(services.boxFlags[0] & (MB_DEFBUTTON2 | MB_DEFBUTTON3), unsigned(MB_DEFBUTTON2)) << c.name;
        }
        EXPECT_EQ(TTempDir::Read(file), c.saved ? "mine" : "on disk") << c.name;
        EXPECT_EQ(form->IsPage(other), c.otherStays) << c.name;
        EXPECT_EQ(form->MainPageCtrl->ActivePage(), mine) << c.name;
        EXPECT_EQ(form->Edit()->isEdited(), !c.saved) << c.name;
        if (c.otherStays)
        {
            // No text is lost there; once saved over, that page hears of it when entered.
            EXPECT_EQ(otherEditor->GetLine(0), "other on disk") << c.name;
            EXPECT_TRUE(otherEditor->isEdited()) << c.name;
            services.boxes.clear();
            services.answers = {IDNO};
            form->SetActivePage(other);
            FinishSwitches(form);
            form->CheckFileChangedOnDisk(false);
            EXPECT_EQ(services.Shown(Format(msgChangedOnDisk, {file}).c_str()), c.saved) << c.name;
            EXPECT_EQ(otherEditor->GetLine(0), "other on disk") << c.name;
        }
        delete form;
    }
}

} // namespace

TEST(TMainForm, TheViewMenuShowsAndHidesTheDockedResultsWindow)
{
    TScriptServices services;
    MessageForm = Create<TMessageForm>(nullptr);
    TMainForm* form = StartMainForm("無い");
    MainForm = form; // the results window reaches the panel through it
    form->AttachSearchWindows();
    ASSERT_EQ(HostDockSite(MessageForm), form->SrchPanel);
    for (int round = 0; round < 2; ++round)
    {
        const bool shown = MessageForm->Visible();
        form->DispMenu->Click();
        EXPECT_EQ(form->MessageWindowViewMenu->Checked(), shown);
        form->MessageWindowViewMenu->Click();
        Application->ProcessMessages();
        EXPECT_EQ(MessageForm->Visible(), !shown);
        form->DispMenu->Click();
        EXPECT_EQ(form->MessageWindowViewMenu->Checked(), !shown);
        if (shown)
            EXPECT_EQ(form->SrchPanel->Height(), 0); // the editor gets the room back
        else
            EXPECT_GT(form->SrchPanel->Height(), 16);
    }
    delete MessageForm;
    MessageForm = nullptr;
    MainForm = nullptr;
    delete form;
}

// ---- the status bar, the tabs and the results panel

TEST(TMainForm, TheStatusBarFollowsCaretMovesFromTheFindDialogAndEmptiesWithTheLastPage)
{
    TScriptServices services;
    TTempDir dir;
    AnsiString text = "あいう猫です\r\n";
    for (int i = 2; i < 12; ++i)
        text += "行\r\n";
    text += "十二行目の猫\r\n";
    TMainForm* form = StartMainForm(dir.Write("猫.txt", text));
    FinishSwitches(form);
    SrchForm = Create<TSrchForm>(nullptr);
    SrchForm->SettingsKey = TestKey() + "\\Find";
    SrchForm->SrchStrCBox->SetText("猫");
    SrchForm->Show(); // the dialog keeps the focus while it searches
    Application->ProcessMessages();
    TPageEditor* editor = form->Edit();
    for (int row : {0, 11})
    {
        form->NextSrchMenuClick(nullptr);
        ASSERT_FALSE(editor->Focused());
        TPoint caret = editor->GetCaret();
        EXPECT_EQ(caret.y, row);
        EXPECT_GT(caret.x, 0);
        EXPECT_EQ(form->StatusBar->PanelText(0), Format("%4d:%4d", {caret.y + 1, caret.x + 1})) << row;
    }
    // While the replace question is asked, the bar shows the hit it asks about.
    TReplaceRequest request;
    request.Pattern = "猫";
    request.Replacement = "犬";
    request.Confirm = true;
    std::vector<AnsiString> asked;
    std::vector<AnsiString> carets;
    ReplaceAll(*editor, request, [&](const AnsiString&) {
        TPoint caret = editor->GetCaret();
        asked.push_back(form->StatusBar->PanelText(0));
        carets.push_back(Format("%4d:%4d", {caret.y + 1, caret.x + 1}));
        return 1; // No: every hit is asked about once
    });
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked, carets);
    delete SrchForm;
    SrchForm = nullptr;

    form->ClosePage(form->MainPageCtrl->ActivePage(), false);
    EXPECT_EQ(form->Caption(), kProgram);
    EXPECT_EQ(Application->Title(), kProgram);
    EXPECT_EQ(form->StatusBar->PanelText(0), "");
    delete form;
}

TEST(TMainForm, ARefusedExitLeavesTheActivePageAndItsCaption)
{
    struct Case
    {
        const char* name;
        bool untitledFirst;      // the first page is an edited untitled one (its Save As switches to it)
        std::deque<int> answers; // to the save questions
    } cases[] = {
        {"Cancel at the second page", false, {IDCANCEL}},
        {"Save As cancelled on an untitled page", true, {IDYES}},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString a = dir.Write("a.txt", "a");
        AnsiString b = dir.Write("b.txt", "b");
        AnsiString last = dir.Write("last.txt", "c");
        TMainForm* form = StartMainForm(a);
        if (c.untitledFirst)
        {
            form->NewFileMenuClick(nullptr);
            form->Edit()->KeyInput("x");
            form->MainPageCtrl->ActivePage()->SetPageIndex(0);
        }
        form->OpenFile(b);
        form->Edit()->KeyInput("y");
        TTabSheet* active = form->OpenFile(last);
        FinishSwitches(form);
        services.answers = c.answers;
        services.dialogAnswers.push_back(""); // a Save As is cancelled
        SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
        FinishSwitches(form);
        EXPECT_TRUE(form->Visible()) << c.name;
        EXPECT_EQ(form->MainPageCtrl->ActivePage(), active) << c.name;
        EXPECT_EQ(form->Caption(), kProgram + " - [" + last + "]") << c.name;
        EXPECT_EQ(Application->Title(), kProgram + " - [last.txt]") << c.name;
        delete form;
    }
}

namespace
{
int BoldTextWidth(TWinControl* control, const AnsiString& text)
{
    TFont bold;
    bold.Assign(*control->Font());
    bold.SetStyle(bold.Style() << fsBold);
    HDC dc = GetDC(control->Handle());
    HGDIOBJ old = SelectObject(dc, bold.Handle());
    std::wstring w = SjisToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control->Handle(), dc);
    return size.cx;
}

int TextHeight(TWinControl* control)
{
    HDC dc = GetDC(control->Handle());
    HGDIOBJ old = SelectObject(dc, control->Font()->Handle());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(control->Handle(), dc);
    return tm.tmHeight;
}

// Passes each tab on to the form's drawing and keeps the rectangle it was given.
struct TTabDrawLog : public TObject
{
    TMainForm* form = nullptr;
    std::vector<TRect> rects;
    void Draw(TPageControl* control, int tabIndex, const TRect& rect, bool active)
    {
        rects.push_back(rect);
        form->MainPageCtrlDrawTab(control, tabIndex, rect, active);
    }
};

bool Covered(HRGN region, const TRect& r)
{
    return PtInRegion(region, r.Left + 1, r.Top + 1) && PtInRegion(region, r.Right - 2, r.Bottom - 2);
}
} // namespace

TEST(TMainForm, EveryTabFitsItsCaptionDrawnBoldAndASwitchRepaintsTheWholeTabRow)
{
    TScriptServices services;
    TTempDir dir;
    const char* names[] = {"neko.txt", "W.txt", "とても長い名前の猫のファイル.txt", "iiiiiiii.txt"};
    TMainForm* form = StartMainForm(dir.Write(names[0], "a"));
    for (size_t i = 1; i < std::size(names); ++i)
        form->OpenFile(dir.Write(names[i], "b"));
    FinishSwitches(form);
    TPageControl* tabs = form->MainPageCtrl;
    ASSERT_EQ(tabs->TabCount(), int(std::size(names)));
    for (int i = 0; i < tabs->TabCount(); ++i)
    {
        TRect r = tabs->TabRect(i);
        // The active tab's caption is drawn bold, 6 px in.
        EXPECT_LE(r.Left + 6 + BoldTextWidth(tabs, tabs->Tabs(i)), r.Right) << Utf8(tabs->Tabs(i));
    }
    // Captions are drawn 4 px below the top of the rectangle each tab is drawn in.
    TTabDrawLog log;
    log.form = form;
    tabs->OnDrawTab = TDrawTabEvent(&log, &TTabDrawLog::Draw);
    RedrawWindow(tabs->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_GE(log.rects.size(), std::size(names));
    for (const TRect& r : log.rects)
        EXPECT_LE(r.Top + 4 + TextHeight(tabs), r.Bottom) << r.Top << ".." << r.Bottom;
    tabs->OnDrawTab = TDrawTabEvent(form, &TMainForm::MainPageCtrlDrawTab);
    for (int target : {0, 2, 1})
    {
        UpdateWindow(tabs->Handle());
        form->SetActivePage(tabs->Pages(target));
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        GetUpdateRgn(tabs->Handle(), region, FALSE);
        for (int i = 0; i < tabs->TabCount(); ++i)
            EXPECT_TRUE(Covered(region, tabs->TabRect(i))) << "tab " << i << " after switching to " << target;
        TRect lastTab = tabs->TabRect(tabs->TabCount() - 1);
        EXPECT_TRUE(PtInRegion(region, lastTab.Right + 4, (lastTab.Top + lastTab.Bottom) / 2));
        DeleteObject(region);
        FinishSwitches(form);
    }
    delete form;
}

namespace
{
// Counts the tab menu's showings and closes it at once (its loop takes the posted Esc). A page
// switch still pending would take the focus and close the menu as soon as it opened.
struct TPopupWatch : public TObject
{
    TMainForm* form = nullptr;
    int shown = 0;
    int shownWithSwitchPending = 0;
    void Popup(TObject*)
    {
        ++shown;
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (dynamic_cast<TTimer*>(form->Components(i)))
                ++shownWithSwitchPending;
        PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    }
};
} // namespace

TEST(TMainForm, TheTabMenuOpensWhenTheRightButtonComesUpOverATab)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm(dir.Write("a.txt", "a"));
    form->OpenFile(dir.Write("b.txt", "b"));
    FinishSwitches(form);
    TPageControl* tabs = form->MainPageCtrl;
    TPopupWatch watch;
    watch.form = form;
    form->PagePopupMenu->OnPopup = TNotifyEvent(&watch, &TPopupWatch::Popup);
    TRect first = tabs->TabRect(0);
    LPARAM at = MAKELPARAM((first.Left + first.Right) / 2, (first.Top + first.Bottom) / 2);

    SendMessageW(tabs->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, at);
    EXPECT_EQ(watch.shown, 0); // nothing while the button is down
    SendMessageW(tabs->Handle(), WM_RBUTTONUP, 0, at);
    EXPECT_EQ(watch.shown, 1);
    EXPECT_EQ(tabs->ActivePage(), tabs->Pages(0)); // the tab clicked
    SendMessageW(tabs->Handle(), WM_CONTEXTMENU, WPARAM(tabs->Handle()), -1); // the menu key
    EXPECT_EQ(watch.shown, 2);
    TRect last = tabs->TabRect(1);
    SendMessageW(tabs->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(last.Right + 20, (last.Top + last.Bottom) / 2));
    EXPECT_EQ(watch.shown, 2); // no tab there
    EXPECT_EQ(watch.shownWithSwitchPending, 0);
    FinishSwitches(form);
    delete form;
}

TEST(TMainForm, TheResultsWindowClosesFloatsAndDocksAgainBelowTheEditorAboveTheStatusBar)
{
    TScriptServices services;
    MessageForm = Create<TMessageForm>(nullptr);
    // Stored docked and hidden, opening 100 high.
    ClearTestKey();
    WXRegIni(TestKey()).WriteString(VN::kStandardSection, "DOCK_MESSAGE", "1,0,0,0,800,100,540,140");
    TMainForm* form = StartMainForm("無い", false);
    MainForm = form;
    form->AttachSearchWindows();
    // The status bar lies on the bottom edge and the panel right above it, as high as asked.
    auto layout = [form](int panelHeight, const char* step) {
        const int bottom = form->ClientHeight();
        EXPECT_EQ(form->StatusBar->BoundsRect().Bottom, bottom) << step;
        EXPECT_EQ(form->SrchPanel->BoundsRect().Bottom, form->StatusBar->BoundsRect().Top) << step;
        EXPECT_EQ(form->SrchPanel->Height(), panelHeight) << step;
        EXPECT_EQ(form->MainPanel->BoundsRect().Bottom, form->SrchPanel->BoundsRect().Top) << step;
    };
    ASSERT_EQ(HostDockSite(MessageForm), form->SrchPanel);
    layout(0, "docked hidden at start");
    MessageForm->ShowResults();
    Application->ProcessMessages();
    layout(100, "shown docked");

    form->SrchResCloseBtn->Click();
    EXPECT_FALSE(MessageForm->Visible());
    layout(0, "closed by its button");
    MessageForm->ShowResults();
    layout(100, "shown again");

    // Dragging the bar out of the panel floats the window where it was let go.
    HWND bar = form->SrchDockBar->Handle();
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, -200));
    Application->ProcessMessages();
    EXPECT_EQ(HostDockSite(MessageForm), nullptr);
    EXPECT_EQ(GetParent(MessageForm->Handle()), nullptr);
    EXPECT_TRUE(GetWindowLongW(MessageForm->Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(IsWindowVisible(MessageForm->Handle()));
    layout(0, "floating");

    // A move that ends away from the panel leaves it floating; one that ends over its room docks it.
    POINT panelBottom{form->SrchPanel->Width() / 2, 0};
    ClientToScreen(form->SrchPanel->Handle(), &panelBottom);
    struct Drop
    {
        POINT at;
        bool docks;
    } drops[] = {{{panelBottom.x, panelBottom.y - 150}, false}, {{panelBottom.x, panelBottom.y - 30}, true}};
    for (const Drop& d : drops)
    {
        ASSERT_TRUE(PlaceCursor(d.at.x, d.at.y));
        SendMessageW(MessageForm->Handle(), WM_EXITSIZEMOVE, 0, 0);
        Application->ProcessMessages();
        EXPECT_EQ(HostDockSite(MessageForm) == form->SrchPanel, d.docks) << d.at.y;
    }
    layout(100, "docked again");
    EXPECT_TRUE(IsWindowVisible(MessageForm->Handle()));
    delete MessageForm;
    MessageForm = nullptr;
    MainForm = nullptr;
    delete form;
}

namespace
{
FILETIME WriteTime(const AnsiString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(SjisToWide(path).c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const AnsiString& path, const FILETIME& time)
{
    HANDLE h = CreateFileW(SjisToWide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
}
} // namespace

TEST(TMainForm, ASaveOverAFileAnotherProgramChangedAsksFirstWithNoAsTheDefault)
{
    enum TChange
    {
        chNone,
        chTimeAndSize,
        chSizeOnly, // the write time put back
        chTimeOnly, // as many bytes as before
        chRemoved,
        chKeptAtActivation, // and No answered to the question when the window was activated
    };
    enum TRoute
    {
        rtSave,
        rtClose,
        rtQuit,
    };
    struct Case
    {
        const char* name;
        TChange change;
        TRoute route;
        std::deque<int> answers; // to the close question, then to this one
        bool asked;
        bool written;
    } cases[] = {
        {"nothing changed: saved without a question", chNone, rtSave, {}, false, true},
        {"changed: No keeps the other program's text", chTimeAndSize, rtSave, {IDNO}, true, false},
        {"changed: the close box keeps it", chTimeAndSize, rtSave, {IDCANCEL}, true, false},
        {"changed: Yes overwrites", chTimeAndSize, rtSave, {IDYES}, true, true},
        {"only the size changed", chSizeOnly, rtSave, {IDNO}, true, false},
        {"only the time changed", chTimeOnly, rtSave, {IDNO}, true, false},
        {"removed: written again without a question", chRemoved, rtSave, {}, false, true},
        {"kept when asked at activation: no second question", chKeptAtActivation, rtSave, {}, false, true},
        {"closing the page asks too", chTimeAndSize, rtClose, {IDYES, IDNO}, true, false},
        {"quitting asks too", chTimeAndSize, rtQuit, {IDYES, IDNO}, true, false},
    };
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("外部.txt", "old");
        TMainForm* form = StartMainForm(file);
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        form->Edit()->KeyInput("mine ");
        const AnsiString mine = form->Edit()->GetText();
        AnsiString theirs = "other program";
        switch (c.change)
        {
        case chNone: theirs = "old"; break;
        case chTimeAndSize:
        case chKeptAtActivation: ChangeOnDisk(file, theirs); break;
        case chSizeOnly:
        {
            const FILETIME kept = WriteTime(file);
            dir.Write("外部.txt", theirs);
            SetWriteTime(file, kept);
            break;
        }
        case chTimeOnly: ChangeOnDisk(file, theirs = "new"); break;
        case chRemoved: DeleteFileW(SjisToWide(file).c_str()); break;
        }
        if (c.change == chKeptAtActivation)
        {
            services.answers = {IDNO};
            form->FormActivate(form);
            ASSERT_EQ(services.boxes.size(), 1u) << c.name;
        }
        services.boxes.clear();
        services.boxFlags.clear();
        services.answers = c.answers;
        // Each box's closing activates the window again: no question comes in the middle of these.
        services.onBox = [&] { form->FormActivate(form); };
        bool canClose = true;
        switch (c.route)
        {
        case rtSave: form->OverWriteMenuClick(nullptr); break;
        case rtClose:
            EXPECT_EQ(form->ClosePage(form->MainPageCtrl->ActivePage(), true), c.written) << c.name;
            break;
        case rtQuit:
            form->FormCloseQuery(form, canClose);
            EXPECT_EQ(canClose, c.written) << c.name;
            break;
        }
        services.onBox = nullptr;
        const AnsiString question = Format(msgOverwriteChangedOnDisk, {file});
        EXPECT_EQ(services.Shown(question.c_str()), c.asked) << c.name;
        EXPECT_FALSE(services.Shown(Format(msgChangedOnDisk, {file}).c_str())) << c.name;
        if (c.asked && !services.boxes.empty())
        {
            EXPECT_EQ(services.boxes.back(), question) << c.name;
            EXPECT_EQ(services.boxFlags.back() & MB_TYPEMASK, unsigned(MB_YESNO)) << c.name;
            EXPECT_EQ(services.boxFlags.back() & (MB_DEFBUTTON2 | MB_DEFBUTTON3), unsigned(MB_DEFBUTTON2))
                << c.name;
        }
        if (c.change == chRemoved || c.written)
            EXPECT_EQ(TTempDir::Read(file), mine) << c.name;
        else
            EXPECT_EQ(TTempDir::Read(file), theirs) << c.name;
        ASSERT_TRUE(form->IsPage(form->MainPageCtrl->ActivePage())) << c.name;
        EXPECT_EQ(form->Edit()->isEdited(), !c.written) << c.name;
        // Once written, what was written is what the next save compares with.
        if (c.written)
        {
            services.boxes.clear();
            form->Edit()->KeyInput("again ");
            const AnsiString again = form->Edit()->GetText();
            form->OverWriteMenuClick(nullptr);
            EXPECT_TRUE(services.boxes.empty()) << c.name;
            EXPECT_EQ(TTempDir::Read(file), again) << c.name;
        }
        delete form;
    }
}

TEST(TMainForm, ARewriteThatPutsTimeAndSizeBackOrAFileMovedIntoItsPlaceIsAskedAboutAtCtrlSAndOnReturning)
{
    enum TWay
    {
        wyRewritten,
        wyReplaced,
    };
    struct Case
    {
        const char* name;
        TWay way;
        bool backup;
    } cases[] = {
        {"rewritten in place, its times put back", wyRewritten, false},
        {"replaced by a file of the same size and write time", wyReplaced, true},
    };
    const VN::typEditSetting kept = VN::EditSetting;
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString file = dir.Write("戻し.txt", "old text");
        TMainForm* form = StartMainForm(file);
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        VN::EditSetting.BACKUPFILE = c.backup;
        form->ApplySettingsToAllEditors();
        FinishSwitches(form);
        SetForegroundWindow(form->Handle());
        form->Edit()->SetFocus();
        Application->ProcessMessages();
        auto ctrlS = [&]
        {
            services.keysDown = {VK_CONTROL};
            PostMessageW(form->Edit()->Handle(), WM_KEYDOWN, 'S', 1);
            Application->ProcessMessages();
            services.keysDown.clear();
        };
        form->Edit()->KeyInput("mine ");
        const FILETIME time = WriteTime(file);
        if (c.way == wyRewritten)
        {
            FileTimeFixAccess other(file.c_str());
            FILE* f = other.Open("r+b");
            ASSERT_NE(f, nullptr) << c.name;
            std::fwrite("new text", 1, 8, f);
        }
        else
        {
            const AnsiString theirs = dir.Write("新.txt", "new text");
            SetWriteTime(theirs, time);
            ASSERT_TRUE(MoveFileExW(SjisToWide(theirs).c_str(), SjisToWide(file).c_str(), MOVEFILE_REPLACE_EXISTING))
                << c.name;
        }
        const FILETIME now = WriteTime(file);
        ASSERT_EQ(CompareFileTime(&time, &now), 0) << c.name;
        ASSERT_EQ(TTempDir::Read(file), "new text") << c.name;

        services.answers = {IDNO};
        ctrlS();
        ASSERT_EQ(services.boxes.size(), 1u) << c.name;
        EXPECT_EQ(services.boxes[0], Format(msgOverwriteChangedOnDisk, {file})) << c.name;
        EXPECT_EQ(services.boxFlags[0] & MB_TYPEMASK, unsigned(MB_YESNO)) << c.name;
        EXPECT_EQ(services.boxFlags[0] & (MB_DEFBUTTON2 | MB_DEFBUTTON3), unsigned(MB_DEFBUTTON2)) << c.name;
        EXPECT_EQ(TTempDir::Read(file), "new text") << c.name;
        EXPECT_TRUE(form->Edit()->isEdited()) << c.name;

        // Coming back to the window tells of it too; No there lets the next save write.
        services.boxes.clear();
        services.answers = {IDNO};
        form->FormActivate(form);
        ASSERT_EQ(services.boxes.size(), 1u) << c.name;
        EXPECT_EQ(services.boxes[0].Pos(Format(msgChangedOnDisk, {file})), 1) << c.name;

        // The program's own saves, one after another, are never asked about.
        for (int i = 0; i < 3; ++i)
        {
            services.boxes.clear();
            form->Edit()->KeyInput("x");
            ctrlS();
            form->FormActivate(form);
            EXPECT_TRUE(services.boxes.empty()) << c.name << ", save " << i;
            EXPECT_FALSE(form->Edit()->isEdited()) << c.name << ", save " << i;
            EXPECT_EQ(TTempDir::Read(file), form->Edit()->GetText()) << c.name << ", save " << i;
        }
        delete form;
    }
    VN::EditSetting = kept;
}

TEST(TMainForm, SaveAsRefusesAFolderAndTheNamesWindowsKeepsForDevicesSayingWhyAndTouchingNothing)
{
    struct Case
    {
        const char* name;
        bool folder; // a folder of that name exists
        const char* shown; // the name the box gives
    } cases[] = {
        {"フォルダー", true, nullptr},
        {"con.txt", false, "con.txt"},
        {"aux.c", false, "aux.c"},
        {"Lpt1.txt", false, "Lpt1.txt"},
    };
    const VN::typEditSetting kept = VN::EditSetting;
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        AnsiString original = dir.Write("元.txt", "original");
        dir.Write("元.txt.bak", "older");
        if (c.folder)
            CreateDirectoryW(SjisToWide(dir / c.name).c_str(), nullptr);
        TMainForm* form = StartMainForm(original);
        VN::EditSetting.BACKUPFILE = true;
        form->ApplySettingsToAllEditors();
        form->Edit()->KeyInput("x");
        services.boxes.clear();
        services.answers = {IDYES, IDYES}; // whatever is asked
        services.dialogAnswers = {dir / c.name};
        EXPECT_FALSE(form->SaveFileAs()) << c.name;
        ASSERT_EQ(services.boxes.size(), 1u) << c.name;
        if (c.folder)
        {
            EXPECT_GT(services.boxes[0].Pos("はフォルダーです"), 0) << Utf8(services.boxes[0]);
        }
        else
        {
            EXPECT_EQ(services.boxes[0], Format(msgSaveDeviceName, {c.shown})) << Utf8(services.boxes[0]);
        }
        EXPECT_EQ(services.boxes[0].Pos("バックアップ"), 0) << Utf8(services.boxes[0]);
        EXPECT_EQ(form->Edit()->EditFilePath, original) << c.name;
        EXPECT_TRUE(form->Edit()->isEdited()) << c.name;
        EXPECT_EQ(TTempDir::Read(original), "original") << c.name;
        EXPECT_EQ(TTempDir::Read(original + ".bak"), "older") << c.name;
        delete form;
    }
    VN::EditSetting = kept;
}

TEST(TMainForm, DeviceNamesAreKnownByTheirLastPartWhateverTheCaseExtensionOrTrailingBlanks)
{
    const struct
    {
        const char* path;
        bool device;
    } cases[] = {
        {"con", true},           {"CON.TXT", true},          {"C:\\dir\\prn.tar.gz", true},
        {"aux.c", true},         {"nul.", true},             {"com1", true},
        {"COM9.log", true},      {"lpt5 .txt", true},        {"\\\\.\\con", true},
        {"console.txt", false},  {"com10.txt", false},       {"com0.txt", false},
        {"xcon.txt", false},     {"C:\\con\\a.txt", false},  {"nul\\", false},
        {"", false},             {"ＣＯＮ.txt", false},      {"表.txt", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsDeviceName(c.path), c.device) << c.path;
}

TEST(TMainForm, QuittingShowsEachEditedPageWithItsCaptionWhileItsQuestionIsAsked)
{
    TScriptServices services;
    TTempDir dir;
    const AnsiString a = dir.Write("a.txt", "a"), b = dir.Write("b.txt", "b"), c = dir.Write("c.txt", "c"),
                     d = dir.Write("d.txt", "d");
    TMainForm* form = StartMainForm(a);
    for (const AnsiString& path : {b, c, d})
        form->OpenFile(path);
    for (int i : {1, 3})
        form->GetPageEditor(form->MainPageCtrl->Pages(i))->KeyInput("z");
    TTabSheet* first = form->MainPageCtrl->Pages(0);
    form->SetActivePage(first);
    FinishSwitches(form);

    // What the window shows while each box is up: the active page's file, the form's caption and
    // whether that page's editor is on screen.
    struct TShown
    {
        AnsiString file, caption;
        bool visible;
    };
    std::vector<TShown> shown;
    services.onBox = [&] {
        TPageEditor* editor = form->Edit();
        shown.push_back({editor ? editor->EditFilePath : AnsiString(), form->Caption(),
                         editor && IsWindowVisible(editor->Handle())});
    };
    services.answers = {IDNO, IDNO};
    SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(services.boxes.size(), 2u);
    const AnsiString asked[] = {b, d};
    for (size_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(services.boxes[i], Format(msgFileChanged, {asked[i]}));
        EXPECT_EQ(shown[i].file, asked[i]);
        EXPECT_EQ(shown[i].caption, kProgram + " - [" + asked[i] + "]");
        EXPECT_TRUE(shown[i].visible) << i;
    }
    // The page that was active is the one to come back active.
    nsList<VN::typReopen> stored;
    bool reopen = false;
    int active = -1;
    ReadReopenList(stored, reopen, TestKey(), &active);
    EXPECT_EQ(stored.Count(), 4);
    EXPECT_EQ(active, 0);
    delete form;
}

TEST(TMainForm, QuittingWithFilesOpenReopensThemInTabOrderWithTheActiveOneActiveWhenTheOptionIsOn)
{
    enum TOption
    {
        opDefault, // a store that never held the option
        opOn,
        opOff,
    };
    struct Case
    {
        const char* name;
        TOption option;
        bool commandLineFile; // the next start names another file
        bool oneRemoved;      // the second file is removed before the next start
        std::vector<const char*> pages;
        const char* active;
    } cases[] = {
        {"on by default", opDefault, false, false, {"d.txt", "a.txt", "b.txt", "c.txt"}, "b.txt"},
        {"on", opOn, false, false, {"d.txt", "a.txt", "b.txt", "c.txt"}, "b.txt"},
        {"off: nothing comes back", opOff, false, false, {""}, ""},
        {"on, with a file named at the start: it comes last and active", opOn, true, false,
         {"d.txt", "a.txt", "b.txt", "c.txt", "e.txt"}, "e.txt"},
        {"on, a file removed meanwhile: the others", opOn, false, true, {"d.txt", "b.txt", "c.txt"}, "b.txt"},
    };
    const VN::typEditSetting kept = VN::EditSetting;
    for (const Case& c : cases)
    {
        TScriptServices services;
        TTempDir dir;
        TMainForm* form = StartMainForm("");
        if (c.option != opDefault)
            StoreRemainOption(c.option == opOn);
        for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
            form->OpenFile(dir.Write(name, name));
        const AnsiString e = dir.Write("e.txt", "e");
        // The untitled start page stays: it is not listed. The last tab is dragged to the front.
        TTabSheet* moved = form->MainPageCtrl->Pages(4);
        moved->SetPageIndex(0);
        form->SetActivePage(form->MainPageCtrl->Pages(3)); // b.txt
        FinishSwitches(form);
        SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 0) << c.name;
        delete form;
        if (c.oneRemoved)
            DeleteFileW(SjisToWide(dir / "a.txt").c_str());

        form = StartMainForm(c.commandLineFile ? e : AnsiString(), false);
        FinishSwitches(form);
        std::vector<AnsiString> pages;
        for (int i = 0; i < form->MainPageCtrl->PageCount(); ++i)
            pages.push_back(ExtractFileName(form->GetPageEditor(form->MainPageCtrl->Pages(i))->EditFilePath));
        EXPECT_EQ(pages, std::vector<AnsiString>(c.pages.begin(), c.pages.end())) << c.name;
        ASSERT_NE(form->Edit(), nullptr) << c.name;
        EXPECT_EQ(ExtractFileName(form->Edit()->EditFilePath), AnsiString(c.active)) << c.name;
        EXPECT_EQ(form->MainPageCtrl->ActivePage()->Caption(), AnsiString(*c.active ? c.active : "無題"))
            << c.name;
        EXPECT_TRUE(services.boxes.empty()) << c.name;
        delete form;
    }
    VN::EditSetting = kept;
}

TEST(TMainForm, TheOpenDialogStartsInTheFolderOfTheActiveFileOrTheNewestRecentOneShowingEveryFile)
{
    TScriptServices services;
    TTempDir one, two;
    CreateDirectoryW(SjisToWide(two / "下").c_str(), nullptr);
    const AnsiString inOne = one.Write("一.txt", "1"), inTwo = two.Write("下\\二.csv", "2");
    TMainForm* form = StartMainForm(inOne);
    form->AddToHistory(inTwo);

    struct Step
    {
        const char* name;
        std::function<void()> before;
        AnsiString folder;
    } steps[] = {
        {"the active file's folder", [] {}, one.Path()},
        {"an untitled page: the newest recent file's folder", [&] { form->NewFileMenuClick(nullptr); },
         two.Path() + "\\下"},
        {"back on the file", [&] { form->SetActivePage(form->MainPageCtrl->Pages(0)); }, one.Path()},
    };
    for (const Step& step : steps)
    {
        step.before();
        FinishSwitches(form);
        services.openDialogs.clear();
        services.dialogAnswers = {""};
        form->OpenFileMenuClick(nullptr);
        ASSERT_EQ(services.openDialogs.size(), 1u) << step.name;
        const TFileDialogData& shown = services.openDialogs[0];
        EXPECT_EQ(shown.InitialDir, step.folder) << step.name;
        EXPECT_TRUE(shown.FileName.IsEmpty()) << step.name;
        // The filter the dialog starts with lets every file through.
        AnsiString rest = shown.Filter;
        AnsiString pattern;
        for (int i = 0; i < 2 * shown.FilterIndex; ++i)
        {
            int bar = rest.Pos("|");
            pattern = bar ? rest.SubString(1, bar - 1) : rest;
            rest = bar ? rest.SubString(bar + 1, rest.Length()) : AnsiString();
        }
        EXPECT_EQ(pattern, AnsiString("*.*")) << step.name;
    }
    delete form;
}

TEST(TMainForm, ANameWindowsKeepsForADeviceOpensNoPageAndNoBox)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm("");
    for (const char* name : {"con.txt", "nul", "AUX.c", "com1.log"})
    {
        EXPECT_EQ(form->OpenFile(dir / name), nullptr) << name;
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 1) << name;
    }
    EXPECT_TRUE(services.boxes.empty()) << Utf8(services.boxes.front());
    delete form;
}

namespace
{
// Records which tool button a real click reached.
struct TClickRecorder : TObject
{
    std::vector<TObject*> clicked;
    void Click(TObject* sender) { clicked.push_back(sender); }
};

RECT ScreenRect(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

// A left click where the pointer is, through the input queue.
void Click()
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
}
} // namespace

// The window at the size it opens with and narrower: every tool button lies inside the window,
// none under another or under the search field, the page starts below the bar, and a real click
// on each reaches that button.
TEST(TMainFormToolBar, EveryButtonStaysInsideTheWindowAndTakesARealClickAtAnyWidth)
{
    TBoxServices services;
    services.answer = IDNO;
    TTempDir dir;
    const AnsiString key = Format("Software\\VarnoletTest\\mftb%u", {unsigned(GetCurrentProcessId())});
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
    TMainForm* form = StartMainWindow(key, dir.Write("t.txt", "text\r\n"));
    TToolBar* bar = form->ToolBar;
    for (int width : {800, 640, 480, 320, 800})
    {
        SCOPED_TRACE(width);
        form->SetBounds(0, 0, width, 600);
        SetForegroundWindow(form->Handle());
        for (int i = 0; i < 20; ++i)
            Application->ProcessMessages();
        ASSERT_EQ(bar->Width(), form->ClientWidth());
        const RECT barRect = ScreenRect(bar->Handle());
        EXPECT_GE(ScreenRect(form->MainPageCtrl->Handle()).top, barRect.bottom);
        const RECT field = ScreenRect(form->SrchEdit->Handle());
        EXPECT_TRUE(field.left >= barRect.left && field.right <= barRect.right &&
                    field.bottom <= barRect.bottom);

        std::vector<RECT> buttons;
        for (int i = 0; i < bar->ButtonCount(); ++i)
        {
            TToolButton* b = bar->Buttons(i);
            if (b->Style() == tbsSeparator)
                continue;
            SCOPED_TRACE(b->Name().str());
            const TRect r = bar->ButtonRect(b);
            const RECT rect{r.Left, r.Top, r.Right, r.Bottom};
            ASSERT_GT(r.Right, r.Left);
            EXPECT_TRUE(r.Left >= barRect.left && r.Right <= barRect.right && r.Top >= barRect.top &&
                        r.Bottom <= barRect.bottom);
            RECT common{};
            EXPECT_FALSE(IntersectRect(&common, &rect, &field));
            for (const RECT& other : buttons)
                EXPECT_FALSE(IntersectRect(&common, &rect, &other));
            buttons.push_back(rect);

            TClickRecorder recorder;
            const TNotifyEvent handler = b->OnClick;
            b->OnClick = TNotifyEvent(&recorder, &TClickRecorder::Click);
            // Left of a drop-down button's arrow.
            const int x = (r.Left + r.Right) / 2 - (b->Style() == tbsDropDown ? 6 : 0);
            ASSERT_TRUE(PlaceCursor(x, (r.Top + r.Bottom) / 2));
            Click();
            b->OnClick = handler;
            EXPECT_EQ(recorder.clicked, std::vector<TObject*>{b});
        }
        EXPECT_EQ(buttons.size(), 17u);
    }
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

namespace
{
// Mouse buttons and keys through the input queue, as the user gives them; each handled before
// the next goes out.
void SendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
}

void TypeKey(WORD vk)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
}

// Runs messages for a while (a timer, a second click not taken for a double click).
void Pump(int ms)
{
    for (int i = 0; i < ms / 5; ++i)
    {
        Application->ProcessMessages();
        Sleep(5);
    }
}
} // namespace

// After a click on a tab (the page shown, another page, a tab dragged to another place, a second
// click that ends a drag, the right button with its menu closed again) the keys typed go into the
// text of the page shown, at the caret: End then a letter ends the line with it.
TEST(TMainFormTabs, TheTextOfThePageShownTakesTheKeysAfterAnyClickOnATab)
{
    TScriptServices services;
    TTempDir dir;
    TMainForm* form = StartMainForm(dir.Write("a.txt", "a"));
    form->OpenFile(dir.Write("b.txt", "b"));
    form->SetBounds(0, 0, 800, 600);
    FinishSwitches(form);
    SetForegroundWindow(form->Handle());
    Pump(100);
    form->Edit()->SetFocus();
    TPageControl* tabs = form->MainPageCtrl;
    auto at = [tabs](int tab) {
        const TRect r = tabs->TabRect(tab);
        POINT p{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
        ClientToScreen(tabs->Handle(), &p);
        return p;
    };
    auto leftClick = [](POINT p) {
        ASSERT_TRUE(PlaceCursor(p.x, p.y));
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
    };
    TPopupWatch menu;
    menu.form = form;
    form->PagePopupMenu->OnPopup = TNotifyEvent(&menu, &TPopupWatch::Popup);
    auto rightClick = [&menu](POINT p) {
        const int shown = menu.shown;
        ASSERT_TRUE(PlaceCursor(p.x, p.y));
        SendMouse(MOUSEEVENTF_RIGHTDOWN);
        SendMouse(MOUSEEVENTF_RIGHTUP); // the menu's own loop takes the watch's Esc
        EXPECT_EQ(menu.shown, shown + 1);
    };
    struct Case
    {
        const char* name;
        std::function<void()> click;
        const char* page; // the page shown afterwards
    } cases[] = {
        {"the page shown", [&] { leftClick(at(1)); }, "b.txt"},
        {"another page", [&] { leftClick(at(0)); }, "a.txt"},
        {"a tab dragged onto the other",
         [&] {
             const POINT from = at(0), to = at(1);
             ASSERT_TRUE(PlaceCursor(from.x, from.y));
             SendMouse(MOUSEEVENTF_LEFTDOWN);
             Pump(50);
             for (int step = 1; step <= 4; ++step)
                 ASSERT_TRUE(PlaceCursor(from.x + (to.x - from.x) * step / 4, from.y));
             SendMouse(MOUSEEVENTF_LEFTUP);
         },
         "a.txt"},
        {"a second click that ends the drag",
         [&] {
             leftClick(at(0));
             leftClick(at(0));
         },
         "b.txt"},
        {"the right button on another page, the menu closed", [&] { rightClick(at(1)); }, "a.txt"},
        {"the right button on the page shown, the menu closed", [&] { rightClick(at(1)); }, "a.txt"},
    };
    char letter = 'Q';
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        // The focus somewhere else first: the tool bar's search field.
        form->SrchEdit->SetFocus();
        Pump(600); // no double click with the click before
        c.click();
        Pump(100);
        FinishSwitches(form);
        ASSERT_EQ(ExtractFileName(form->Edit()->EditFilePath), AnsiString(c.page));
        const AnsiString before = form->Edit()->GetText();
        TypeKey(VK_END);
        TypeKey(WORD(letter));
        EXPECT_EQ(form->Edit()->GetText(), before + AnsiString(char(letter + 'a' - 'A')));
        EXPECT_EQ(form->SrchEdit->Text(), AnsiString(""));
        ++letter;
    }
    for (int i = 0; i < tabs->PageCount(); ++i)
        form->GetPageEditor(tabs->Pages(i))->SetEdited(false);
    delete form;
}
