// The file search under Wine: the dialog's checks and the request it makes, and
// the driver that runs the worker over a temporary tree with the progress
// window, its stop button and the results window.
#include <gtest/gtest.h>

#include "tests/TestFiles.h"
#include "tests/TestKeys.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "search/SrchFrm.h"
#include "search/FileSrchFrm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/Regexp.h"

namespace
{

std::string S(const AnsiString& s) { return s.str(); }

// Keeps the boxes shown and answers the folder browser.
class TScriptServices : public TPlatformServices
{
public:
    TScriptServices() : previous_(SetServices(this)) {}
    ~TScriptServices() override { SetServices(previous_); }
    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned) override
    {
        boxes.push_back(S(text));
        return IDOK;
    }
    short GetKeyState(int) override { return 0; }
    bool BrowseForFolder(void*, const AnsiString& title, AnsiString& folder) override
    {
        titles.push_back(S(title));
        if (folders.empty() || folders.front().IsEmpty())
        {
            if (!folders.empty())
                folders.pop_front();
            return false;
        }
        folder = folders.front();
        folders.pop_front();
        return true;
    }
    std::vector<std::string> boxes;
    std::vector<std::string> titles;
    std::deque<AnsiString> folders; // "" for Cancel

private:
    TPlatformServices* previous_;
};

// A fresh folder tree under the temporary folder, removed afterwards.
class TTempTree : public TTempDir
{
public:
    const AnsiString& Root() const { return Path(); }
    AnsiString Dir(const AnsiString& name) const
    {
        const AnsiString path = Path() + "\\" + name;
        CreateDirectoryW(SjisToWide(path).c_str(), nullptr);
        return path;
    }
    AnsiString File(const AnsiString& name, const std::string& text) const
    {
        return Write(name, AnsiString(text.data(), int(text.size())));
    }
};

// The three windows of one search, made for one test.
struct TWindows
{
    TWindows()
    {
        dialog = Create<TFileSrchForm>(nullptr);
        monitor = Create<TFileSrchMonitorForm>(nullptr);
        results = Create<TMessageForm>(nullptr);
        results->Show();
    }
    ~TWindows()
    {
        delete dialog;
        delete monitor;
        delete results;
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (int i = 0; i < results->SrchResListBox->Items()->GetCount(); ++i)
            lines.push_back(S(results->SrchResListBox->Items()->Strings(i)));
        return lines;
    }
    std::vector<typGrepInf> Hits() const
    {
        std::vector<typGrepInf> hits;
        TStrings* items = results->SrchResListBox->Items();
        for (int i = 0; i < items->GetCount(); ++i)
            if (auto* hit = dynamic_cast<typGrepInf*>(items->GetObject(i)))
                hits.push_back(*hit);
        return hits;
    }
    TFileSrchForm* dialog;
    TFileSrchMonitorForm* monitor;
    TMessageForm* results;
};

// Reacts to the progress window while a search runs.
class TProgressScript : public TObject
{
public:
    explicit TProgressScript(TFileSrchMonitorForm* monitor) : monitor_(monitor)
    {
        monitor->OnShow = TNotifyEvent(this, &TProgressScript::Shown);
        monitor->OnProgress = TNotifyEvent(this, &TProgressScript::Progress);
    }
    // Holds the worker at its first hit, so the test decides when it goes on.
    bool pauseAtStart = false;
    // When the folder label shows this (or after very many rounds), press stop
    // (or close).
    AnsiString stopInFolder;
    bool closeInstead = false;
    AnsiString folderSeen;
    int rounds = 0;
    bool stopped = false;

private:
    void Shown(TObject* sender)
    {
        monitor_->FormShow(sender);
        if (pauseAtStart && monitor_->Thread)
            monitor_->Thread->Pause = true;
    }
    void Progress(TObject*)
    {
        ++rounds;
        if (stopped || stopInFolder.IsEmpty())
            return;
        if (monitor_->FolderLabel->Caption() == stopInFolder || rounds > 200000)
        {
            folderSeen = monitor_->FolderLabel->Caption();
            stopped = true;
            if (closeInstead)
                monitor_->Close();
            else
                monitor_->SrchStopBtn->Click();
            monitor_->Thread->Pause = false;
        }
    }
    TFileSrchMonitorForm* monitor_;
};

TGrepRequest Request(const AnsiString& folder, const AnsiString& pattern, const AnsiString& masks = "")
{
    TGrepRequest r;
    r.Folder = folder;
    r.Pattern = pattern;
    r.Masks = masks;
    return r;
}

} // namespace

TEST(FileSrchForm, SearchButton_ChecksFolderTextAndPatternWithTheCatalogueMessages)
{
    TTempTree tree;
    struct Case
    {
        const char* name;
        bool folderChosen;
        AnsiString folder;
        const char* text;
        bool regex;
        std::string box; // "" when the dialog is confirmed
    };
    const Case cases[] = {
        {"missing folder", true, tree.Root() + "\\nowhere", "x", false, msgGrepNoFolder},
        {"empty folder", true, "", "x", false, msgGrepNoFolder},
        {"empty text", true, tree.Root(), "", false, msgGrepNoText},
        {"regular expression that does not compile", true, tree.Root(), "a**", true, ""},
        {"same text, plain", true, tree.Root(), "a**", false, ""},
        {"folder with a trailing backslash", true, tree.Root() + "\\", "x", false, ""},
        {"folder with slashes", true, tree.Root() + "/", "x", true, ""},
        {"the file's folder", false, "", "x", false, ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TScriptServices services;
        TWindows w;
        TFileSrchForm& d = *w.dialog;
        d.ActiveFilePath = tree.Root() + "\\a.txt";
        d.FormShow(&d);
        (c.folderChosen ? d.SRCH_DIR_RBtn : d.PRJ_RBtn)->SetChecked(true);
        d.SrchDirCBox->SetText(c.folder);
        d.SrchStrCBox->SetText(c.text);
        d.RegExpChkBox->SetChecked(c.regex);
        d.SetModalResult(mrNone);
        d.SrchBtn->Click();
        if (c.box.empty())
        {
            EXPECT_TRUE(services.boxes.empty());
            EXPECT_EQ(d.ModalResult(), mrOk);
            EXPECT_EQ(S(d.SrchStrCBox->Items()->Strings(0)), c.text);
        }
        else
        {
            ASSERT_EQ(services.boxes.size(), 1u);
            EXPECT_EQ(services.boxes[0], c.box);
            EXPECT_EQ(d.ModalResult(), mrNone);
        }
    }
}

TEST(FileSrchForm, Request_TakesTheFilesFolderOrTheNormalisedFolderAndTheFlags)
{
    TWindows w;
    TFileSrchForm& d = *w.dialog;

    // An untitled page (or none) cannot give its folder.
    d.ActiveFilePath = "";
    d.PRJ_RBtn->SetChecked(true);
    d.FormShow(&d);
    EXPECT_FALSE(d.PRJ_RBtn->Enabled());
    EXPECT_TRUE(d.SRCH_DIR_RBtn->Checked());
    EXPECT_TRUE(d.SrchDirCBox->Enabled());
    EXPECT_TRUE(d.FLB_01->Enabled());

    d.ActiveFilePath = "C:\\work\\表\\a.txt";
    d.FormShow(&d);
    ASSERT_TRUE(d.PRJ_RBtn->Enabled());
    // Showing reads the stored flags and histories; the user's choices come after.
    d.SrchStrCBox->SetText("abc");
    d.FileNameCBox->SetText("*.txt, *.c");
    d.SubDirChkBox->SetChecked(false);
    d.AlphaChkBox->SetChecked(true);
    d.WordChkBox->SetChecked(true);
    d.RegExpChkBox->SetChecked(false);
    d.PRJ_RBtn->SetChecked(true);
    EXPECT_FALSE(d.SrchDirCBox->Enabled());
    EXPECT_EQ(d.SrchDirCBox->Color(), TColor(0xE6E6E6));
    EXPECT_FALSE(d.FLB_01->Enabled());
    TGrepRequest r = d.Request();
    EXPECT_EQ(S(r.Folder), "C:\\work\\表");
    EXPECT_EQ(S(r.Pattern), "abc");
    EXPECT_EQ(S(r.Masks), "*.txt, *.c");
    EXPECT_FALSE(r.Recurse);
    EXPECT_TRUE(r.CaseSensitive);
    EXPECT_TRUE(r.WholeWord);
    EXPECT_FALSE(r.Regex);

    d.SRCH_DIR_RBtn->SetChecked(true);
    EXPECT_EQ(d.SrchDirCBox->Color(), clWindow);
    for (const char* folder : {"C:/src/ソ\\", "C:\\src\\ソ\\\\", "C:\\src\\ソ"})
    {
        d.SrchDirCBox->SetText(folder);
        EXPECT_EQ(S(d.Request().Folder), "C:\\src\\ソ") << folder;
    }
}

TEST(FileSrchForm, History_KeepsEachTextOnceNewestFirstAndAtMostThirty)
{
    TWindows w;
    TComboBox* combo = w.dialog->SrchStrCBox;
    for (int i = 0; i < 40; ++i)
        PushComboHistory(combo, IntToStr(i % 35));
    PushComboHistory(combo, "20");
    TStrings* items = combo->Items();
    ASSERT_EQ(items->GetCount(), VN::kSearchHistoryMax);
    EXPECT_EQ(S(items->Strings(0)), "20");
    EXPECT_EQ(S(items->Strings(1)), "4");
    for (int i = 0; i < items->GetCount(); ++i)
        for (int j = i + 1; j < items->GetCount(); ++j)
            EXPECT_NE(S(items->Strings(i)), S(items->Strings(j)));
}

TEST(FileSrchForm, Settings_FlagsAndHistoriesComeBackAndLeaveTheFindPartAlone)
{
    const AnsiString key = "Software\\VarnoletTest\\filesrch" + IntToStr(int(GetCurrentProcessId()));
    VN::typSearchSetting find;
    find.searchHistory = "find me";
    find.searchCase = true;
    WriteSearchSettings(find, key);
    {
        TWindows w;
        w.dialog->SettingsKey = key;
        w.dialog->WordChkBox->SetChecked(true);
        w.dialog->RegExpChkBox->SetChecked(true);
        w.dialog->SubDirChkBox->SetChecked(false);
        PushComboHistory(w.dialog->SrchStrCBox, "表示");
        PushComboHistory(w.dialog->FileNameCBox, "*.c");
        w.dialog->WriteSettings();
    }
    {
        TWindows w;
        w.dialog->SettingsKey = key;
        w.dialog->ReadSettings();
        EXPECT_TRUE(w.dialog->WordChkBox->Checked());
        EXPECT_TRUE(w.dialog->RegExpChkBox->Checked());
        EXPECT_FALSE(w.dialog->SubDirChkBox->Checked());
        ASSERT_GE(w.dialog->SrchStrCBox->Items()->GetCount(), 1);
        EXPECT_EQ(S(w.dialog->SrchStrCBox->Items()->Strings(0)), "表示");
        EXPECT_EQ(S(w.dialog->FileNameCBox->Items()->Strings(0)), "*.c");
    }
    VN::typSearchSetting back;
    ReadSearchSettings(back, key);
    EXPECT_EQ(S(back.searchHistory), "find me\r\n");
    EXPECT_TRUE(back.searchCase);
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

// After a restart the dialog offers the last search: each string shows the first entry of its
// stored history (or stays as made when the history is empty), each time it is shown.
TEST(FileSrchForm, Showing_PutsTheFirstHistoryEntryIntoEachString)
{
    const AnsiString key = "Software\\VarnoletTest\\filesrchshow" + IntToStr(int(GetCurrentProcessId()));
    struct Case
    {
        const char *strings, *masks, *folders;
        std::vector<std::string> shown; // string, masks, folder
    } cases[] = {
        {"表示\r\nold\r\n", "*.c,*.h\r\n*.txt\r\n", "C:\\src\r\n", {"表示", "*.c,*.h", "C:\\src"}},
        {" \r\nnext\r\n", "", "", {"next", "*.*", ""}}, // a blank line is dropped on reading
        {"", "", "", {"", "*.*", ""}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.strings);
        VN::typSearchSetting stored;
        stored.fileSearchType = 1;
        stored.fileSearchStrHistory = c.strings;
        stored.fileSearchNameHistory = c.masks;
        stored.fileSearchDirHistory = c.folders;
        WriteSearchSettings(stored, key);
        TWindows w; // as at start-up
        w.dialog->SettingsKey = key;
        for (int showing = 0; showing < 2; ++showing)
        {
            w.dialog->Show();
            EXPECT_EQ((std::vector<std::string>{S(w.dialog->SrchStrCBox->Text()), S(w.dialog->FileNameCBox->Text()),
                                                S(w.dialog->SrchDirCBox->Text())}),
                      c.shown);
            w.dialog->Hide();
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

TEST(FileSrchForm, BrowseButton_PutsTheChosenFolderIntoTheComboAndCancelKeepsIt)
{
    TScriptServices services;
    TWindows w;
    TFileSrchForm& d = *w.dialog;
    d.SrchDirCBox->SetText("C:\\old");
    services.folders = {"C:\\新しい", ""};
    d.FLB_01->Click();
    EXPECT_EQ(S(d.SrchDirCBox->Text()), "C:\\新しい");
    d.FLB_01->Click();
    EXPECT_EQ(S(d.SrchDirCBox->Text()), "C:\\新しい");
    ASSERT_EQ(services.titles.size(), 2u);
    EXPECT_EQ(services.titles[0], msgGrepFolderTitle);
}

// Every button of the dialog shown modally, clicked as the mouse clicks it: the browse button puts
// the chosen folder in, Cancel ends without storing, and the search button ends it storing the
// strings at the heads of their histories.
TEST(FileSrchForm, EveryButtonClickedOnTheShownDialogDoesItsPart)
{
    const AnsiString key = "Software\\VarnoletTest\\filesrchbuttons" + IntToStr(int(GetCurrentProcessId()));
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
    TScriptServices services;
    TTempTree tree;
    TWindows w;
    TFileSrchForm& d = *w.dialog;
    d.SettingsKey = key;
    services.folders = {tree.Root()};
    auto click = [](TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); };

    {
        TModalScript first(&d, {[&] {
            d.SrchStrCBox->SetText("ねこ");
            click(d.FLB_01);
            EXPECT_EQ(S(d.SrchDirCBox->Text()), S(tree.Root()));
            click(d.CancelBtn);
        }});
        EXPECT_EQ(d.ShowModal(), mrCancel);
    }
    VN::typSearchSetting stored;
    ReadSearchSettings(stored, key);
    EXPECT_EQ(S(stored.fileSearchStrHistory), "");

    {
        TModalScript second(&d, {[&] {
            d.SrchStrCBox->SetText("ねこ");
            d.SRCH_DIR_RBtn->SetChecked(true);
            d.SrchDirCBox->SetText(tree.Root());
            click(d.SrchBtn);
        }});
        EXPECT_EQ(d.ShowModal(), mrOk);
    }
    ReadSearchSettings(stored, key);
    EXPECT_EQ(S(stored.fileSearchStrHistory), "ねこ\r\n");
    EXPECT_EQ(S(stored.fileSearchDirHistory), S(tree.Root()) + "\r\n");
    EXPECT_TRUE(services.boxes.empty());
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

TEST(RunGrep, ListsEveryHitOfTheTreeAndSaysSoWhenThereIsNone)
{
    TScriptServices services;
    TTempTree tree;
    tree.Dir("sub");
    tree.Dir("sub\\表");
    const AnsiString a = tree.File("a.txt", "xx needle\r\nnone\r\nneedle needle\r\n");
    const AnsiString b = tree.File("sub\\表\\b.TXT", "\tあneedle\n");
    tree.File("sub\\c.dat", "needle\n");
    TWindows w;
    typGrepProc* running = nullptr;
    TProgressScript script(w.monitor);

    const int hits = RunGrep(Request(tree.Root() + "/", "needle", "*.txt"), w.monitor, w.results, running);
    EXPECT_EQ(hits, 4);
    EXPECT_EQ(running, nullptr);
    EXPECT_FALSE(w.monitor->Visible());
    EXPECT_EQ(w.monitor->Thread, nullptr);
    std::vector<typGrepInf> found = w.Hits();
    ASSERT_EQ(found.size(), 4u);
    int inA = 0;
    for (const typGrepInf& h : found)
    {
        if (S(h.Path) == S(a))
            ++inA;
        else
        {
            EXPECT_EQ(S(h.Path), S(b));
            EXPECT_EQ(h.LineNo, 1);
            EXPECT_EQ(h.Position, 3);
            EXPECT_EQ(h.Length, 6);
        }
    }
    EXPECT_EQ(inA, 3);

    // A new search clears the last one's lines.
    EXPECT_EQ(RunGrep(Request(tree.Root(), "absent"), w.monitor, w.results, running), 0);
    EXPECT_EQ(w.Lines(), std::vector<std::string>{"検索文字列 'absent' は見つかりません。"});
    EXPECT_TRUE(services.boxes.empty());
}

TEST(RunGrep, AFileThatCannotBeOpenedIsPassedOverSilentlyAndTheOthersAreListed)
{
    struct Case
    {
        const char* name;
        DWORD share; // how the test holds b.txt open while the search runs
        const char* masks;
        std::vector<std::string> files; // the files listed, in order
    } cases[] = {
        {"held without sharing", 0, "*.txt", {"a.txt", "sub\\c.txt"}},
        {"held for writing by another program", FILE_SHARE_READ | FILE_SHARE_WRITE, "*.txt",
         {"a.txt", "b.txt", "sub\\c.txt"}},
        {"the only file, held", 0, "b.txt", {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TScriptServices services;
        TTempTree tree;
        tree.File("a.txt", "needle\n");
        const AnsiString held = tree.File("b.txt", "needle\n");
        tree.Dir("sub");
        tree.File("sub\\c.txt", "needle\n");
        HANDLE h = CreateFileW(SjisToWide(held).c_str(), GENERIC_READ | GENERIC_WRITE, c.share, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        TWindows w;
        typGrepProc* running = nullptr;
        const int hits = RunGrep(Request(tree.Root(), "needle", c.masks), w.monitor, w.results, running);
        CloseHandle(h);
        EXPECT_TRUE(services.boxes.empty());
        EXPECT_EQ(hits, int(c.files.size()));
        std::vector<std::string> listed;
        for (const typGrepInf& hit : w.Hits())
            listed.push_back(S(hit.Path).substr(size_t(tree.Root().Length()) + 1));
        EXPECT_EQ(listed, c.files);
        if (c.files.empty())
        {
            EXPECT_EQ(w.Lines(), std::vector<std::string>{"検索文字列 'needle' は見つかりません。"});
        }
    }
}

TEST(RunGrep, PastTheHitLimitTheSearchStopsAndSaysSoInsteadOfNotFound)
{
    TScriptServices services;
    TTempTree tree;
    tree.File("a.txt", "needle needle\nneedle\n");
    tree.File("b.txt", "needle\n");
    TWindows w;
    typGrepProc* running = nullptr;
    TGrepRequest r = Request(tree.Root(), "needle");
    r.MaxHits = 2;
    EXPECT_EQ(RunGrep(r, w.monitor, w.results, running), 2);
    const std::vector<std::string> lines = w.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines.back(), msgGrepHitLimit);
    EXPECT_EQ(w.Hits().size(), 2u);
    EXPECT_TRUE(services.boxes.empty());
}

// A regular expression that does not compile, or one whose escape is worth 0, finds nothing: the
// search runs and says so, with no box.
TEST(RunGrep, AnInvalidPatternFindsNothing)
{
    TScriptServices services;
    TTempTree tree;
    tree.File("a.txt", "a**\n*a\na\\x\nxa\n");
    TWindows w;
    typGrepProc* running = nullptr;
    for (const char* pattern : {"a**", "*a", "?", "a+*", "\\x", "a\\x"})
    {
        SCOPED_TRACE(pattern);
        TGrepRequest r = Request(tree.Root(), pattern);
        r.Regex = true;
        EXPECT_EQ(RunGrep(r, w.monitor, w.results, running), 0);
        EXPECT_TRUE(services.boxes.empty());
        EXPECT_EQ(running, nullptr);
        EXPECT_EQ(w.Lines(), std::vector<std::string>{"検索文字列 '" + std::string(pattern) + "' は見つかりません。"});
    }
}

// A failure of the interface while the search runs is reported (once, however often it comes back),
// and the search goes on to its end.
TEST(RunGrep, AFailureOfTheInterfaceIsReportedOnceAndTheSearchGoesOn)
{
    struct TFailing
    {
        int rounds = 0;
        void Progress(TObject*)
        {
            ++rounds;
            throw Exception("表示に失敗しました");
        }
    } failing;
    TScriptServices services;
    TTempTree tree;
    for (int i = 0; i < 30; ++i)
        tree.File("f" + IntToStr(i) + ".txt", std::string(200000, 'x') + " needle\n");
    TWindows w;
    w.monitor->OnProgress = TNotifyEvent(&failing, &TFailing::Progress);
    typGrepProc* running = nullptr;
    EXPECT_EQ(RunGrep(Request(tree.Root(), "needle"), w.monitor, w.results, running), 30);
    EXPECT_GE(failing.rounds, 1);
    EXPECT_EQ(w.Hits().size(), 30u);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0], "表示に失敗しました");
    EXPECT_EQ(running, nullptr);
}

TEST(RunGrep, StopEndsTheSearchAfterTheCurrentFileAndTheProgressShowsItsFolder)
{
    for (bool close : {false, true})
    {
        SCOPED_TRACE(close ? "closing the progress window" : "the stop button");
        TScriptServices services;
        TTempTree tree;
        tree.Dir("deep");
        const AnsiString deep = tree.Dir("deep\\深い");
        // Only the deep folder has files with hits: the worker is held at its first
        // one.
        for (int i = 0; i < 40; ++i)
            tree.File("deep\\深い\\f" + IntToStr(i) + ".txt", "one needle\nnone\n");
        TWindows w;
        typGrepProc* running = nullptr;
        TProgressScript script(w.monitor);
        script.pauseAtStart = true;
        script.stopInFolder = deep;
        script.closeInstead = close;

        const int hits = RunGrep(Request(tree.Root(), "needle"), w.monitor, w.results, running);
        EXPECT_TRUE(script.stopped);
        EXPECT_EQ(S(script.folderSeen), S(deep));
        // The held hit and the rest of its file (one hit per file).
        EXPECT_EQ(hits, 1);
        EXPECT_EQ(w.Hits().size(), 1u);
        EXPECT_EQ(running, nullptr);
        EXPECT_FALSE(w.monitor->Visible());
    }
}

TEST(RunGrep, ClosingTheWindowsAfterAStoppedSearchLeavesNothingRunning)
{
    TScriptServices services;
    TTempTree tree;
    for (int i = 0; i < 20; ++i)
        tree.File("f" + IntToStr(i) + ".txt", "needle\n");
    auto* w = new TWindows;
    typGrepProc* running = nullptr;
    TProgressScript script(w->monitor);
    script.pauseAtStart = true;
    script.stopInFolder = tree.Root();
    script.closeInstead = true;
    RunGrep(Request(tree.Root(), "needle"), w->monitor, w->results, running);
    EXPECT_EQ(running, nullptr);
    delete w;
    // A message pump after the windows are gone must find no pending hit for
    // them.
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    SUCCEED();
}

// The hits found so far are drawn while a long search runs, and all of them once it has ended,
// without a click into the list. Drawn: the screen shows dark text in the list's first line.
TEST(RunGrep, TheListDrawsItsHitsWhileTheSearchRunsAndAfterIt)
{
    TScriptServices services;
    TTempTree tree;
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "a needle here\n";
    for (int i = 0; i < 60; ++i)
        tree.File("f" + IntToStr(i) + ".txt", text);
    TWindows w;
    auto firstLineDrawn = [&w] {
        HWND list = w.results->SrchResListBox->Handle();
        POINT o{0, 0};
        ClientToScreen(list, &o);
        HDC screen = GetDC(nullptr);
        int dark = 0;
        for (int y = 1; y < 11; ++y)
            for (int x = 2; x < 200; x += 2)
                dark += (GetPixel(screen, o.x + x, o.y + y) & 0xFFFFFF) == 0 ? 1 : 0;
        ReleaseDC(nullptr, screen);
        return dark > 0;
    };
    struct TWatch : TObject
    {
        std::function<void()> check;
        void Progress(TObject*) { check(); }
    } watch;
    bool listedWhileRunning = false, drawnWhileRunning = false;
    int roundsWithHits = 0;
    // Once hits are listed the worker is held, so the search is still running while a few rounds
    // go by; then it goes on.
    watch.check = [&] {
        if (w.results->SrchResListBox->Count() == 0 || listedWhileRunning || !w.monitor->Thread)
            return;
        w.monitor->Thread->Pause = true;
        if (++roundsWithHits < 3)
            return;
        listedWhileRunning = true;
        drawnWhileRunning = firstLineDrawn();
        w.monitor->Thread->Pause = false;
    };
    w.monitor->OnProgress = TNotifyEvent(&watch, &TWatch::Progress);
    typGrepProc* running = nullptr;
    EXPECT_EQ(RunGrep(Request(tree.Root(), "needle"), w.monitor, w.results, running), 120000);
    ASSERT_TRUE(listedWhileRunning) << "the search ended before a round showed hits";
    EXPECT_TRUE(drawnWhileRunning);
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
    EXPECT_TRUE(firstLineDrawn());
}
