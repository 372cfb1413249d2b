// The main window's menus, context menus and tool buttons against the real window: every item with
// its caption and key, its enabled state with and without a page, what it runs; the shortcuts with
// the focus in the editor and in the tool bar's search field; conversions keeping bookmarks.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "platform/Clipbrd.h"
#include "platform/Cp932.h"
#include "platform/StdCtrls.h"
#include "dialogs/CalcForm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "platform/SysUtils.h"
#include "tests/TestClipboard.h"
#include "tests/TestFiles.h"
#include "tests/TestKeys.h"
#include "tests/TestModalWatch.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

namespace
{
AnsiString MenusTestKey()
{
    return Format("Software\\VarnoletTest\\menus%u", {unsigned(GetCurrentProcessId())});
}

struct TMenusKeyCleanup
{
    ~TMenusKeyCleanup() { RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str()); }
} menusKeyCleanup;

// A main window started on the command-line file, from fresh settings unless asked otherwise.
TMainForm* StartWindow(const AnsiString& commandLine, bool fresh = true)
{
    if (fresh)
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
    return StartMainWindow(MenusTestKey(), commandLine);
}

// Runs messages until the page switches have finished (their timers are the form's).
void Settle(TMainForm* form)
{
    auto pending = [form] {
        for (int i = 0; i < form->ComponentCount(); ++i)
            if (dynamic_cast<TTimer*>(form->Components(i)))
                return true;
        return false;
    };
    for (int n = 0; pending() && n < 5000; ++n)
    {
        Application->ProcessMessages();
        Sleep(1);
    }
    Application->ProcessMessages();
}

// Opens a new, empty page and waits for the switch to it; its editor, or nullptr.
TPageEditor* OpenNewPage(TMainForm* form)
{
    form->NewFileMenuClick(nullptr);
    Settle(form);
    return form->Edit();
}

// The program's other windows as hidden empty forms, as at start-up before their units exist. A
// form shown modally is cancelled by a timer, and remembered.
class TProgramWindows
{
public:
    TProgramWindows()
    {
        for (const char* name : {"CalcFrm", "CommandSetForm", "DateInsertForm", "EditSettingForm", "JumpRowForm",
                                 "PrintForm", "TimeInsertForm", "AboutBox", "ShortCutSetForm", "WallPaperForm",
                                 "EditLockPasswordForm", "EmphasisForm"})
        {
            TForm* form = nullptr;
            Application->CreateForm(form);
            form->SetName(name);
            forms_.push_back(form);
        }
        self_ = this;
        timer_ = SetTimer(nullptr, 0, 20, Tick);
    }
    ~TProgramWindows()
    {
        KillTimer(nullptr, timer_);
        self_ = nullptr;
        for (TForm* form : forms_)
            delete form;
    }
    // Names of the windows shown since the last call; shown ones that are not modal are hidden.
    std::set<std::string> Shown()
    {
        for (TForm* form : forms_)
            if (form->Visible())
            {
                shown_.insert(form->Name().str());
                form->Hide();
            }
        std::set<std::string> out;
        out.swap(shown_);
        return out;
    }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (!self_)
            return;
        for (TForm* form : self_->forms_)
            if (form->Visible() && form->ModalResult() == mrNone)
            {
                self_->shown_.insert(form->Name().str());
                form->SetModalResult(mrCancel);
            }
    }
    static inline TProgramWindows* self_ = nullptr;
    std::vector<TForm*> forms_;
    std::set<std::string> shown_;
    UINT_PTR timer_ = 0;
};

enum TNeed
{
    ndNone,      // enabled either way
    ndPage,      // enabled exactly when a page is open
    ndSelection, // enabled exactly when a page with a (non-box) selection is open
    ndOther,     // depends on more than the page (history, undo, commands)
};

struct TItemRow
{
    const char* name;
    const char* caption;
    const char* keys;
    TNeed need;
    const char* window; // the program window it opens, or null
    bool click;         // clicked by the walk (items that close pages or the window are not)
};

const TItemRow kItems[] = {
    {"FileMenu", "ファイル(&F)", "", ndNone, nullptr, false},
    {"NewFileMenu", "新規作成(&N)", "Ctrl+N", ndNone, nullptr, true},
    {"OpenFileMenu", "開く(&O)", "Ctrl+O", ndNone, nullptr, true},
    {"ReopenMenu", "開き直す(&R)", "", ndOther, nullptr, false},
    {"OverWriteMenu", "上書き保存(&S)", "Ctrl+S", ndPage, nullptr, true},
    {"SaveMenu", "名前を付けて保存(&A)", "", ndPage, nullptr, true},
    {"PageCloseMenu", "ファイルを閉じる(&C)", "", ndPage, nullptr, false},
    {"PrintMenu", "印刷(&P)...", "Ctrl+P", ndPage, nullptr, true},
    {"MailMenu", "メール作成", "", ndPage, nullptr, true},
    {"EndMenu", "終了(&X)", "", ndNone, nullptr, false},
    {"EditMenus", "編集(&E)", "", ndNone, nullptr, false},
    {"UndoMenu", "元に戻す(&U)", "Ctrl+Z", ndOther, nullptr, true},
    {"RedoMenu", "やり直し", "Ctrl+Y", ndOther, nullptr, true},
    {"CutMenu", "切り取り(&T)", "Ctrl+X", ndPage, nullptr, true},
    {"CopyMenu", "コピー(&C)", "Ctrl+C", ndPage, nullptr, true},
    {"PasteMenu", "貼り付け(&P)", "Ctrl+V", ndPage, nullptr, true},
    {"DeleteMenu", "削除(&L)", "", ndPage, nullptr, true},
    {"SelectAllMenu", "すべて選択(&A)", "Ctrl+A", ndPage, nullptr, true},
    {"OneLineSelMenu", "一行選択(&O)", "Ctrl+Q", ndPage, nullptr, true},
    {"ImeRecovertMenu", "日本語再変換(&R)", "", ndPage, nullptr, true},
    {"IndentMenu", "インデント", "Tab", ndPage, nullptr, true},
    {"UnIndentMenu", "インデントを戻す", "Shift+Tab", ndPage, nullptr, true},
    {"InsertStrToRowHeadMainMenu", "行頭に文字列挿入(&F)", "", ndPage, nullptr, true},
    {"InsertStrToEndOfRowMainMenu", "行末に文字列挿入(&E)", "", ndPage, nullptr, true},
    {"StringConvertMenu", "文字変換(&V)", "", ndSelection, nullptr, false},
    {"ToUpperMenu", "大文字に変換(&U)", "", ndNone, nullptr, true},
    {"ToLowerMenu", "小文字に変換(&L)", "", ndNone, nullptr, true},
    {"ToSUMenu", "先頭は大文字、以降は小文字に変換(&S)", "", ndNone, nullptr, true},
    {"ToZenMenu", "全角に変換(&Z)", "", ndNone, nullptr, true},
    {"ToHanMenu", "半角に変換(&H)", "", ndNone, nullptr, true},
    {"UnicodeCovertMenu", "Unicodeエスケープ変換", "", ndSelection, nullptr, false},
    {"SJISToUniESCMenu", "文字→\\u6587\\u5B57", "", ndNone, nullptr, true},
    {"UniESCToSJISMenu", "\\u6587\\u5B57→文字", "", ndNone, nullptr, true},
    {"ISOLathin11", "ISO Lathin 1文字コード変換", "", ndSelection, nullptr, false},
    {"SJISToLathinMenu", "SJIS(文字→%95%B6%8E%9A)", "", ndNone, nullptr, true},
    {"LathinToSJISMenu", "SJIS(%95%B6%8E%9A→文字)", "", ndNone, nullptr, true},
    {"InsertDateMenu", "日付の挿入", "", ndPage, "DateInsertForm", true},
    {"InsertTimeMenu", "時刻の挿入", "", ndPage, "TimeInsertForm", true},
    {"CalcMenu", "電卓(&D)", "", ndNone, "CalcFrm", true},
    {"NextBookmarkMenu", "次のしおり", "Ctrl+Down", ndNone, nullptr, true},
    {"PrevBookmarkMenu", "前のしおり", "Ctrl+Up", ndNone, nullptr, true},
    {"SearchMenu", "検索(&S)", "", ndNone, nullptr, false},
    {"SrchMenu", "検索(&F)", "Ctrl+F", ndPage, nullptr, true},
    {"PrevSrchMenu", "前を検索(&P)", "Shift+F3", ndPage, nullptr, true},
    {"NextSrchMenu", "次を検索(&N)", "F3", ndPage, nullptr, true},
    {"ReplaceMenu", "置換(&R)", "Ctrl+R", ndPage, nullptr, true},
    {"JumpRowMenu", "指定行にジャンプ(&J)", "", ndPage, "JumpRowForm", true},
    {"DispMenu", "表示(&V)", "", ndNone, nullptr, false},
    {"MessageWindowViewMenu", "検索ウィンドウ(&S)", "", ndNone, nullptr, true},
    {"FileFolderMenu", "ファイル格納フォルダ", "", ndPage, nullptr, true},
    {"CmdMenu", "コマンドプロンプト", "", ndNone, nullptr, true},
    {"StatusBarMenu", "ステータスバー", "", ndNone, nullptr, false},
    {"ToolMenu", "ツール(&T)", "", ndNone, nullptr, false},
    {"EditSettingMenu", "エディタの設定(&E)", "", ndNone, "EditSettingForm", true},
    {"WallPaperMenu", "壁紙の設定(&W)", "", ndNone, "WallPaperForm", true},
    {"EmphMenu", "強調文字列の設定", "", ndNone, "EmphasisForm", true},
    {"EditLockSettingMenu", "エディタロック設定(&L)", "", ndNone, "EditLockPasswordForm", true},
    {"SetShortCutKeyMenu", "ショートカットキー割り当て", "", ndNone, "ShortCutSetForm", true},
    {"ComSetMenu", "コマンド設定(&C)", "", ndNone, "CommandSetForm", true},
    {"ComExecMenu", "コマンド実行(&E)", "", ndOther, nullptr, false},
    {"TransparentMenu", "透明化のON/OFF", "", ndNone, nullptr, false},
    {"HelpMenu", "ヘルプ(&H)", "", ndNone, nullptr, false},
    {"HelpDispMenu", "Varnolet for Windows ヘルプ(&H)", "", ndNone, nullptr, true},
    {"OrvaneMenu", "Orvaneホームページ(&S)", "", ndNone, nullptr, true},
    {"WexmoorSupportPageMenu", "Varnolet for Windowsサポートページ(&G)", "", ndNone, nullptr, true},
    {"ProductInfoMenu", "ソフトウェア更新情報の確認(&P)", "", ndNone, nullptr, true},
    {"AskMenu", "作者への問合せ(&R)", "", ndNone, nullptr, true},
    {"VerInfMenu", "バージョン情報(&A)", "", ndNone, "AboutBox", true},
    // The editor's context menu.
    {"UndoMenu1", "元に戻す(&U)", "", ndNone, nullptr, true},
    {"CutMenu1", "切り取り(&T)", "", ndNone, nullptr, true},
    {"CopyMenu1", "コピー(&C)", "", ndNone, nullptr, true},
    {"PasteMenu1", "貼り付け(&P)", "", ndNone, nullptr, true},
    {"DeleteMenu1", "削除(&L)", "", ndNone, nullptr, true},
    {"SelectAllMenu1", "すべて選択(&A)", "", ndNone, nullptr, true},
    {"AllSrchCurrentFileMenu", "現在のファイル(&C)", "", ndNone, nullptr, true},
    {"AllSrchAllOpenFilesMenu", "開いているファイル全て(&A)", "", ndNone, nullptr, true},
    {"InsertStrToRowHeadMenu", "行頭に文字列を挿入", "", ndNone, nullptr, true},
    {"InsertStrToEndOfRowMenu", "行末に文字列を追加", "", ndNone, nullptr, true},
    {"AddEmphStrMenu", "選択文字列を強調文字列に追加", "", ndNone, "EmphasisForm", true},
    {"ChrConvertPopMenu", "文字変換(&V)", "", ndSelection, nullptr, false},
    {"U1", "大文字に変換(&U)", "", ndNone, nullptr, true},
    {"L1", "小文字に変換(&L)", "", ndNone, nullptr, true},
    {"S2", "先頭は大文字、以降は小文字に変換(&S)", "", ndNone, nullptr, true},
    {"Z1", "全角に変換(&Z)", "", ndNone, nullptr, true},
    {"H2", "半角に変換(&H)", "", ndNone, nullptr, true},
    // The tab menu and the drop-down menus.
    {"FileFolderPopMenu", "ファイル格納フォルダ(&F)", "", ndNone, nullptr, true},
    {"PageClosepMenu", "ファイルを閉じる(&C)", "", ndNone, nullptr, false},
    {"AllCloseMenu", "全て閉じる(&X)", "", ndNone, nullptr, false},
    {"PRP1", "", "", ndOther, nullptr, false},
    {"PCE1", "", "", ndOther, nullptr, false},
};

// Runs the opening handlers above the item, top-down, as opening the menus does.
void OpenParents(TMainForm* form, TMenuItem* item)
{
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item->Parent(); p; p = p->Parent())
        chain.insert(chain.begin(), p);
    for (TMenuItem* p : chain)
        if (p->OnClick)
            p->OnClick(p);
    for (TPopupMenu* menu : {form->PopupMenu, form->PagePopupMenu, form->OpenFilePopupMenu, form->CommandPopupMenu})
        if (!chain.empty() && chain.front() == menu->Items() && menu->OnPopup)
            menu->OnPopup(menu);
}

bool InPopup(TMainForm* form, TMenuItem* item)
{
    while (item->Parent())
        item = item->Parent();
    return item != form->MainMenu->Items();
}

void PressKeys(TBoxServices& services, HWND target, const char* keys)
{
    WORD key = 0;
    TShiftState shift;
    ShortCutToKey(TextToShortCut(keys), key, shift);
    services.down.clear();
    if (shift.Contains(ssCtrl))
        services.down.insert(VK_CONTROL);
    if (shift.Contains(ssShift))
        services.down.insert(VK_SHIFT);
    // The thread's own key state too, so a key that goes on to a control makes the character a
    // held Ctrl would make.
    PressWithHeldKeys(services, target, key);
}
} // namespace

TEST(TMainFormMenus, EveryItemHasItsCaptionAndKeyAndRunsWithAndWithoutAPage)
{
    TBoxServices services;
    TProgramWindows windows;
    TMainForm* form = StartWindow("無いファイル.txt");
    Settle(form);
    ASSERT_EQ(form->Edit(), nullptr);
    for (bool page : {false, true})
    {
        for (const TItemRow& row : kItems)
        {
            SCOPED_TRACE(std::string(row.name) + (page ? " with a page" : " without a page"));
            if (page && !form->Edit())
                OpenNewPage(form);
            if (page)
            {
                form->Edit()->KeyInput("abc\rdef");
                form->Edit()->SelectAll();
            }
            auto* item = dynamic_cast<TMenuItem*>(form->FindComponent(row.name));
            ASSERT_NE(item, nullptr);
            if (row.caption[0])
            {
                EXPECT_EQ(item->Caption(), AnsiString(row.caption));
            }
            EXPECT_EQ(ShortCutToText(item->ShortCut()), AnsiString(row.keys));
            OpenParents(form, item);
            if (row.need == ndPage || row.need == ndSelection)
            {
                EXPECT_EQ(item->Enabled(), page);
            }
            else if (row.need == ndNone)
            {
                EXPECT_TRUE(item->Enabled());
            }
            windows.Shown();
            if (!row.click)
                continue;
            item->Click();
            Settle(form);
            while (!page && form->MainPageCtrl->PageCount() > 0) // a new page leaves the pass
                form->ClosePage(form->MainPageCtrl->Pages(0), false);
            Settle(form);
            std::set<std::string> shown = windows.Shown();
            if (std::string(row.name) == "PrintMenu" && page)
            {
                // The print window, or the word that there is no printer.
                const bool told = !services.boxes.empty() && services.boxes.back() == msgNoPrinter;
                EXPECT_EQ(shown, told ? std::set<std::string>{} : std::set<std::string>{"PrintForm"});
            }
            else if (row.window && (page || (row.need == ndNone && !InPopup(form, item))))
            {
                EXPECT_EQ(shown, std::set<std::string>{row.window});
            }
            else
            {
                EXPECT_TRUE(shown.empty());
            }
        }
    }
    // Printing without a printer says so; nothing else has anything to say.
    for (const std::string& box : services.boxes)
        EXPECT_EQ(box, msgNoPrinter);
    // Help opens the help file of the program's folder, by its full path.
    ASSERT_EQ(services.helps.size(), 2u);
    EXPECT_NE(services.helps[0].find(":\\"), std::string::npos);
    EXPECT_NE(services.helps[0].find("\\Varnolet.chm|"), std::string::npos);

    // Every tool button runs something.
    for (const char* name : {"NewToolButton", "OpenFileSettingToolButton", "SaveToolButton", "PrintToolButton",
                             "MailToolButton", "UndoToolButton", "CutToolButton", "CopyToolButton", "PasteToolButton",
                             "SrchToolButton", "NextSrchToolButton", "PrevSrchToolButton", "CalcToolButton",
                             "CommandToolButton", "LockToolButton", "TransparentToolButton"})
    {
        auto* button = dynamic_cast<TToolButton*>(form->FindComponent(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_TRUE(button->OnClick) << name;
    }
    EXPECT_EQ(form->CommandToolButton->DropdownMenu(), form->CommandPopupMenu);
    delete form;
}

TEST(TMainFormMenus, ShortcutsActOnThePageOrOnTheSearchFieldAndDoNothingWithoutAPage)
{
    TBoxServices services;
    TProgramWindows windows;
    TMainForm* form = StartWindow("無いファイル.txt");
    Settle(form);
    SetForegroundWindow(form->Handle());
    // Without a page no key does anything, and none fails.
    for (const TItemRow& row : kItems)
        if (row.keys[0] && std::string(row.keys) != "Ctrl+N" && std::string(row.keys) != "Ctrl+O")
            PressKeys(services, form->Handle(), row.keys);
    Settle(form);
    EXPECT_EQ(form->Edit(), nullptr);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_TRUE(windows.Shown().empty());

    TPageEditor* ed = OpenNewPage(form);
    ASSERT_NE(ed, nullptr);
    ed->SetFocus();
    Application->ProcessMessages();
    HWND editor = ed->Handle();
    ed->KeyInput("abc");
    PressKeys(services, editor, "Ctrl+Z");
    EXPECT_EQ(ed->GetText(), "");
    PressKeys(services, editor, "Ctrl+Y");
    EXPECT_EQ(ed->GetText(), "abc");
    PressKeys(services, editor, "Ctrl+A");
    PressKeys(services, editor, "Ctrl+X");
    EXPECT_EQ(ed->GetText(), "");
    EXPECT_EQ(Clipboard()->GetAsText(), "abc");
    PressKeys(services, editor, "Ctrl+V");
    const AnsiString once = ed->GetText();
    EXPECT_EQ(once.Pos("abc"), 1);
    PressKeys(services, editor, "Ctrl+V");
    const AnsiString twice = ed->GetText();
    EXPECT_EQ(twice, once + once);
    PressKeys(services, editor, "Ctrl+A");
    PressKeys(services, editor, "Ctrl+C");
    EXPECT_EQ(Clipboard()->GetAsText().Pos("abc\r\nabc"), 1);

    // The search field stands between 検索 and 次, where a window of the default width shows it.
    const TRect find = form->ToolBar->ButtonRect(form->SrchToolButton);
    const TRect next = form->ToolBar->ButtonRect(form->NextSrchToolButton);
    ASSERT_TRUE(form->SrchEdit->Visible());
    RECT box{};
    GetWindowRect(form->SrchEdit->Handle(), &box);
    EXPECT_GE(box.left, find.Right);
    EXPECT_LE(box.right, next.Left);
    RECT bar{};
    GetWindowRect(form->ToolBar->Handle(), &bar);
    EXPECT_LE(box.right, bar.right);

    // With the focus in the search field, the editing keys work there and leave the page alone.
    form->SrchEdit->SetFocus();
    Application->ProcessMessages();
    ASSERT_EQ(GetFocus(), form->SrchEdit->Handle());
    HWND field = form->SrchEdit->Handle();
    form->SrchEdit->SetText("find");
    PressKeys(services, field, "Ctrl+A");
    PressKeys(services, field, "Ctrl+X");
    EXPECT_EQ(form->SrchEdit->Text(), "");
    EXPECT_EQ(Clipboard()->GetAsText(), "find");
    PressKeys(services, field, "Ctrl+Z");
    EXPECT_EQ(form->SrchEdit->Text(), "find");
    PressKeys(services, field, "Ctrl+A");
    PressKeys(services, field, "Ctrl+V");
    EXPECT_EQ(form->SrchEdit->Text(), "find");
    EXPECT_EQ(ed->GetText(), twice);
    PressKeys(services, field, "Tab");
    EXPECT_EQ(GetFocus(), editor);
    EXPECT_EQ(ed->GetText(), twice);
    EXPECT_TRUE(services.boxes.empty());

    // Undo does not reach back past a save unless the setting says so.
    TTempDir dir;
    AnsiString file = dir / "saved.txt";
    ed->EditFilePath = file;
    PressKeys(services, editor, "Ctrl+S");
    ASSERT_FALSE(ed->isEdited());
    const bool undoPastSave = VN::EditSetting.UNDOBSAVE;
    VN::EditSetting.UNDOBSAVE = false;
    PressKeys(services, editor, "Ctrl+Z");
    EXPECT_EQ(ed->GetText(), twice);
    VN::EditSetting.UNDOBSAVE = true;
    PressKeys(services, editor, "Ctrl+Z");
    EXPECT_EQ(ed->GetText(), once);
    VN::EditSetting.UNDOBSAVE = undoPastSave;
    delete form;
}

TEST(TMainFormMenus, TheViewMenuTogglesTheStatusBarAndHistoryItemsOpenTheirEntryByIndex)
{
    TBoxServices services;
    TTempDir dir;
    const AnsiString file = dir.Write("a&b.txt", "amp");
    TMainForm* form = StartWindow("無いファイル.txt");
    Settle(form);
    form->DispMenu->Click();
    ASSERT_TRUE(form->StatusBarMenu->Checked());
    form->StatusBarMenu->Click();
    EXPECT_FALSE(form->StatusBar->Visible());
    form->DispMenu->Click();
    EXPECT_FALSE(form->StatusBarMenu->Checked());
    form->StatusBarMenu->Click();
    EXPECT_TRUE(form->StatusBar->Visible());

    form->AddToHistory(file);
    form->FileMenu->Click();
    // "&" shows as itself; the item opens the entry, not what the caption reads.
    EXPECT_EQ(form->RP[0]->Caption(), MenuCaptionOf(file));
    EXPECT_GT(form->RP[0]->Caption().Pos("a&&b"), 0);
    for (TMenuItem* item : {form->RP[0], form->PRP[0]})
    {
        item->Click();
        Settle(form);
        ASSERT_NE(form->Edit(), nullptr);
        EXPECT_EQ(form->Edit()->EditFilePath, file);
        EXPECT_EQ(form->MainPageCtrl->PageCount(), 1);
    }
    EXPECT_TRUE(services.boxes.empty());
    delete form;
}

TEST(TMainFormMenus, ConversionsReplaceTheSelectionAndBookmarksStayWithTheirParagraphs)
{
    TBoxServices services;
    TMainForm* form = StartWindow("無いファイル.txt");
    Settle(form);
    TPageEditor* ed = OpenNewPage(form);
    ASSERT_NE(ed, nullptr);
    struct Case
    {
        void (TMainForm::*command)(TObject*);
        const char* selected;
        const char* replaced;
    };
    const Case cases[] = {
        {&TMainForm::LathinToSJISMenuClick, "%41%0D%0A%42", "A\r\nB"},      // a paragraph more
        {&TMainForm::SJISToLathinMenuClick, "x\r\ny", "%78%D%A%79"},        // a paragraph less
        {&TMainForm::SJISToUniESCMenuClick, "文字", "\\u6587\\u5B57"},
        {&TMainForm::UniESCToSJISMenuClick, "\\u41\\u0", "A\\u0"},
        {&TMainForm::UniESCToSJISMenuClick, "x\\uAy", "x\r\ny"}, // a lone LF breaks the line
        {&TMainForm::ToUpperMenuClick, "abc", "ABC"},
        {&TMainForm::ToZenMenuClick, "ab", "ａｂ"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.selected);
        ed->SetText(AnsiString("head\r\n") + c.selected + "\r\nmark1\r\nmark2\r\ntail");
        ed->SetBookmark(0, true, "h");
        const int selRows = AnsiString(c.selected).Pos("\r") > 0 ? 2 : 1;
        ed->SetBookmark(1 + selRows, true, "m1");
        ed->SetBookmark(2 + selRows, true, "m2");
        // The selected text: from the start of row 1 to the end of its last row.
        const AnsiString last = ed->GetLine(selRows);
        ed->SelArea()->RowReset();
        ed->SelArea()->PutStartPoint(TPoint(0, 1));
        ed->SelArea()->PutEndPoint(TPoint(last.Length() - 1, selRows));
        ASSERT_EQ(ed->GetSelText(), AnsiString(c.selected));
        (form->*c.command)(nullptr);
        EXPECT_EQ(ed->GetText(), AnsiString("head\r\n") + c.replaced + "\r\nmark1\r\nmark2\r\ntail");
        std::vector<std::string> marked;
        for (int row = 0; row < ed->GetLinesCount(); ++row)
            if (AnsiString text; ed->IsBookmarked(row) && ed->BookmarkText(row, text))
                marked.push_back(ed->GetLine(row).str() + "=" + text.str());
        EXPECT_EQ(marked, (std::vector<std::string>{"head\r=h", "mark1\r=m1", "mark2\r=m2"}));
        ed->Undo();
        ed->SelArea()->PointReset();
    }
    delete form;
}

TEST(TMainFormSettings, AWindowSavedOffTheScreenReopensInsideTheWorkArea)
{
    TBoxServices services;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    struct Case
    {
        int left, top, width, height;
    } cases[] = {{-5000, -5000, 800, 600}, {work.right + 100, 50, 700, 500}, {10, 10, 30000, 30000}};
    for (const Case& c : cases)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
        VN::typWindowState state;
        state.left = c.left;
        state.top = c.top;
        state.width = c.width;
        state.height = c.height;
        WriteWindowState(state, MenusTestKey());
        TMainForm* form = StartWindow("", false);
        RECT r{};
        GetWindowRect(form->Handle(), &r);
        EXPECT_GE(r.left, work.left) << c.left;
        EXPECT_GE(r.top, work.top) << c.left;
        EXPECT_LE(r.right, work.right) << c.left;
        EXPECT_LE(r.bottom, work.bottom) << c.left;
        EXPECT_EQ(r.right - r.left, std::min<int>(c.width, work.right - work.left)) << c.left;
        delete form;
    }
}

TEST(TMainFormSettings, EmphasizedStringsAreReadAtStartAndFollowTheFilesExtension)
{
    TBoxServices services;
    TTempDir dir;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
    nsList<VN::typEmphItem> list;
    auto add = [&](const char* ext, const char* words) {
        auto* item = new VN::typEmphItem(AnsiToNsString(ext));
        item->words = AnsiToNsString(words);
        list.AddSorted(item);
    };
    add("txt", "foo\r\nbar");
    add("", "none");
    WriteEmphasisList(list, MenusTestKey());
    VN::EmphasisList.Clear();
    struct Case
    {
        const char* file;
        const char* keywords;
    } cases[] = {{"a.TXT", "bar\r\nfoo\r\n"}, {"noext", "none\r\n"}, {"b.c", ""}};
    TMainForm* form = StartWindow(dir.Write(cases[0].file, "x"), false);
    for (const Case& c : cases)
    {
        form->OpenFile(dir.Write(c.file, "x"));
        Settle(form);
        ASSERT_NE(form->Edit(), nullptr);
        EXPECT_EQ(form->Edit()->Keywords()->GetText(), AnsiString(c.keywords)) << c.file;
    }
    delete form;
    VN::EmphasisList.Clear();
}

TEST(TMainFormSettings, TheResultsWindowTakesItsStoredPlaceAtStartAndItsPlaceIsStoredAtExit)
{
    TBoxServices services;
    struct Case
    {
        const char* stored;
        bool docked, visible;
        int panelHeight; // while docked
        const char* written;
    } cases[] = {
        {"0,1,10,20,300,60,0,0", false, true, 0, "0,1,10,20,300,60,300,60"},
        {"1,0,0,0,540,120,500,200", true, false, 0, nullptr},
        {"1,1,0,0,540,130,500,200", true, true, 130, nullptr},
        {"damaged", true, true, 140, nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.stored);
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
        WXRegIni(MenusTestKey()).WriteString(VN::kStandardSection, "DOCK_MESSAGE", c.stored);
        MessageForm = Create<TMessageForm>(nullptr);
        // As at start-up: the windows meet before the main window is first shown.
        auto* form = Create<TMainForm>(nullptr);
        form->SettingsKey = MenusTestKey();
        form->MinStartupMs = 0;
        form->CommandLineFile = "無い";
        MainForm = form;
        form->AttachSearchWindows();
        form->Show();
        Application->ProcessMessages();
        EXPECT_EQ(HostDockSite(MessageForm) == form->SrchPanel, c.docked);
        EXPECT_EQ(MessageForm->Visible(), c.visible);
        if (c.docked)
        {
            EXPECT_EQ(form->SrchPanel->Height(), c.panelHeight);
        }
        else
        {
            EXPECT_EQ(MessageForm->Top(), 10);
            EXPECT_EQ(MessageForm->Left(), 20);
            EXPECT_EQ(MessageForm->Width(), 300);
            EXPECT_EQ(MessageForm->Height(), 60);
        }
        form->Close();
        const VN::typDockMessage written = ReadWindowState(MenusTestKey()).dock;
        if (c.written)
        {
            EXPECT_EQ(FormatDockMessage(written), AnsiString(c.written));
        }
        else
        {
            EXPECT_EQ(written.docked, 1);
            EXPECT_EQ(written.visible, c.visible ? 1 : 0);
            EXPECT_EQ(written.height, c.panelHeight ? c.panelHeight : 120);
        }
        delete form;
        delete MessageForm;
        MessageForm = nullptr;
        MainForm = nullptr;
    }
}

// The screen shows a window's caption as the window drew it (it is not covered there).
bool SeenOnScreen(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    HDC screen = GetDC(nullptr);
    HDC own = GetWindowDC(window);
    bool same = true;
    for (int dx : {40, 80, 120})
        same = same && GetPixel(screen, r.left + dx, r.top + 6) == GetPixel(own, dx, 6);
    ReleaseDC(window, own);
    ReleaseDC(nullptr, screen);
    return same;
}

// Runs messages while the display catches up with a raise (some come a quarter second late).
void SettleDisplay()
{
    for (int i = 0; i < 80; ++i)
    {
        Application->ProcessMessages();
        Sleep(5);
    }
}

// A left click at a screen point, as the mouse gives it.
void ClickAt(int x, int y)
{
    ASSERT_TRUE(PlaceCursor(x, y));
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    SettleDisplay();
}

// The tool windows the main window owns, made before it as at start-up (the results window stored
// as dockMessage), and the main window itself; all freed afterwards (the replace dialog too, when
// a test made it).
struct TToolWindows
{
    explicit TToolWindows(const char* dockMessage)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
        WXRegIni(MenusTestKey()).WriteString(VN::kStandardSection, "DOCK_MESSAGE", dockMessage);
        WXRegIni(MenusTestKey()).WriteInteger(VN::kStandardSection, "WIN_LEFT", 0);
        WXRegIni(MenusTestKey()).WriteInteger(VN::kStandardSection, "WIN_TOP", 0);
        MessageForm = Create<TMessageForm>(nullptr);
        SrchForm = Create<TSrchForm>(nullptr);
        SrchForm->SettingsKey = MenusTestKey();
        CalcFrm = Create<TCalcFrm>(nullptr);
        FileSrchMonitorForm = Create<TFileSrchMonitorForm>(nullptr);
    }
    TToolWindows(const TToolWindows&) = delete;
    TToolWindows& operator=(const TToolWindows&) = delete;
    ~TToolWindows()
    {
        if (form && form->Visible())
            form->Close();
        delete form;
        for (TCustomForm* tool : {static_cast<TCustomForm*>(MessageForm), static_cast<TCustomForm*>(SrchForm),
                                  static_cast<TCustomForm*>(CalcFrm), static_cast<TCustomForm*>(FileSrchMonitorForm),
                                  static_cast<TCustomForm*>(RePlaceForm)})
            delete tool;
        MessageForm = nullptr;
        SrchForm = nullptr;
        CalcFrm = nullptr;
        FileSrchMonitorForm = nullptr;
        RePlaceForm = nullptr;
        MainForm = nullptr;
    }

    // The main window on commandLineFile, shown with its tool windows attached.
    TMainForm* Show(const AnsiString& commandLineFile)
    {
        form = Create<TMainForm>(nullptr);
        form->SettingsKey = MenusTestKey();
        form->MinStartupMs = 0;
        form->CommandLineFile = commandLineFile;
        MainForm = form;
        form->AttachSearchWindows();
        form->AttachToolWindows();
        form->Show();
        return form;
    }

    TMainForm* form = nullptr;
};

// Stored floating, the results window is seen over the main window when the program starts,
// the main window maximised or not.
TEST(TMainFormSettings, AResultsWindowStoredFloatingIsSeenOverTheMainWindowAtStart)
{
    TBoxServices services;
    TTempDir dir;
    const AnsiString file = dir.Write("a.f90", "hello world\r\nsecond line\r\n");
    for (bool maximised : {false, true})
    {
        SCOPED_TRACE(maximised ? "maximised" : "normal");
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(MenusTestKey()).c_str());
        WXRegIni(MenusTestKey()).WriteString(VN::kStandardSection, "DOCK_MESSAGE", "0,1,300,200,400,120,0,0");
        WXRegIni(MenusTestKey()).WriteBool(VN::kStandardSection, "WIN_MAX", maximised);
        MessageForm = Create<TMessageForm>(nullptr);
        auto* form = Create<TMainForm>(nullptr);
        form->SettingsKey = MenusTestKey();
        form->MinStartupMs = 1000;
        form->CommandLineFile = file;
        MainForm = form;
        form->AttachSearchWindows();
        form->Show();
        for (int i = 0; i < 150; ++i) // the display has done with the start
        {
            Application->ProcessMessages();
            Sleep(5);
        }
        ASSERT_EQ(HostDockSite(MessageForm), nullptr);
        EXPECT_EQ(IsZoomed(form->Handle()) != FALSE, maximised);
        EXPECT_TRUE(SeenOnScreen(MessageForm->Handle()));
        form->Close();
        delete form;
        delete MessageForm;
        MessageForm = nullptr;
        MainForm = nullptr;
    }
}

// The tool windows that stay over the main window are seen there: the floating results window
// (floating at start as stored, or dragged out of its panel), the find dialog, the calculator and
// the file search's progress window; after a click on the main window and with that maximised too.
// Seen means the screen shows there what the window itself drew (its caption over the editor).
TEST(TMainFormSettings, ToolWindowsAreSeenOverTheMainWindowAfterAClickOnIt)
{
    TBoxServices services;
    auto seen = [](TCustomForm* tool) { return SeenOnScreen(tool->Handle()); };
    for (const char* stored : {"0,1,300,10,300,100,0,0", "1,1,0,0,540,130,300,100"})
    {
        SCOPED_TRACE(stored);
        TToolWindows windows(stored);
        TMainForm* form = windows.Show("無い");
        SettleDisplay();
        if (HostDockSite(MessageForm))
            form->SrchDockBarDragOut(form, TPoint(10, 300));
        ASSERT_EQ(HostDockSite(MessageForm), nullptr);
        // Side by side over the editor, none over another: the three that stay on top together,
        // then the progress window alone, as while a search runs.
        using TPlaced = std::vector<std::pair<TCustomForm*, TPoint>>;
        const TPlaced groups[] = {{{SrchForm, {10, 60}}, {CalcFrm, {560, 60}}, {MessageForm, {10, 300}}},
                                  {{CalcFrm, {560, 60}}},
                                  {{FileSrchMonitorForm, {330, 300}}}};
        for (const TPlaced& tools : groups)
        {
            ShowWindow(form->Handle(), SW_RESTORE);
            for (auto [tool, at] : groups[0])
                tool->SetVisible(false);
            for (auto [tool, at] : tools)
            {
                tool->Show();
                tool->SetBounds(at.x, at.y, tool->Width(), tool->Height());
            }
            // The last one shown is the active window, as when the user just typed into it.
            SetForegroundWindow(tools.back().first->Handle());
            SettleDisplay();
            for (auto [tool, at] : tools)
                EXPECT_TRUE(seen(tool)) << tool->Name().str() << " shown";

            // A click on the main window beside them.
            ClickAt(700, 500);
            EXPECT_EQ(GetForegroundWindow(), form->Handle());
            for (auto [tool, at] : tools)
                EXPECT_TRUE(seen(tool)) << tool->Name().str() << " after a click on the main window";

            // A click that moves the focus inside the main window: into the search field, at its left.
            RECT field{};
            GetWindowRect(form->SrchEdit->Handle(), &field);
            ClickAt(field.left + 4, (field.top + field.bottom) / 2);
            EXPECT_EQ(GetFocus(), form->SrchEdit->Handle());
            for (auto [tool, at] : tools)
                EXPECT_TRUE(seen(tool)) << tool->Name().str() << " after a click on the search field";

            ShowWindow(form->Handle(), SW_MAXIMIZE);
            SettleDisplay();
            for (auto [tool, at] : tools)
                EXPECT_TRUE(seen(tool)) << tool->Name().str() << " over the maximised main window";
        }
    }
}

// A modal dialog (the replace dialog, closed) leaves the tool windows that stay on top as they
// were: the floating results window alone over the editor, or the find dialog alone, then the
// calculator shown and moved aside, then a click on the main window. Each is still on top, over
// the main window in the window order and seen there.
TEST(TMainFormSettings, ToolWindowsStayOverTheMainWindowAfterAModalDialog)
{
    TBoxServices services;
    TTempDir dir;
    TToolWindows windows("1,1,0,0,540,130,300,100");
    RePlaceForm = Create<TRePlaceForm>(nullptr);
    TMainForm* form = windows.Show(dir.Write("a.txt", "abc"));
    Settle(form);
    form->SrchDockBarDragOut(form, TPoint(10, 300));
    ASSERT_EQ(HostDockSite(MessageForm), nullptr);
    auto overMain = [form](HWND tool) {
        for (HWND w = GetWindow(form->Handle(), GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
            if (w == tool)
                return true;
        return false;
    };
    for (TCustomForm* first : {static_cast<TCustomForm*>(MessageForm), static_cast<TCustomForm*>(SrchForm)})
    {
        SCOPED_TRACE(first->Name().str());
        for (TCustomForm* tool : {static_cast<TCustomForm*>(MessageForm), static_cast<TCustomForm*>(SrchForm),
                                  static_cast<TCustomForm*>(CalcFrm)})
            tool->SetVisible(false);
        first->Show();
        first->SetBounds(10, 300, first->Width(), first->Height());
        SetForegroundWindow(form->Handle());
        SettleDisplay();
        {
            TModalWatch watch(GetCurrentThreadId(), {first->Handle()}, {form->Handle()}, IDCANCEL);
            form->ReplaceMenuClick(nullptr);
            ASSERT_EQ(watch.Stands().size(), 1u);
        }
        SettleDisplay();
        EXPECT_TRUE(SeenOnScreen(first->Handle())) << "after the dialog";
        CalcFrm->Show();
        CalcFrm->SetBounds(560, 60, CalcFrm->Width(), CalcFrm->Height());
        SetForegroundWindow(CalcFrm->Handle());
        SettleDisplay();
        ClickAt(700, 500);
        EXPECT_EQ(GetForegroundWindow(), form->Handle());
        for (TCustomForm* tool : {first, static_cast<TCustomForm*>(CalcFrm)})
        {
            EXPECT_TRUE(GetWindowLongW(tool->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) << tool->Name().str();
            EXPECT_TRUE(overMain(tool->Handle())) << tool->Name().str();
            EXPECT_TRUE(SeenOnScreen(tool->Handle())) << tool->Name().str();
        }
    }
}

// At exit with two edited pages, both questions are seen whole over the tool windows lying where
// they come up (the results window dragged out of its panel, the find dialog, the calculator, the
// progress window), the second too: the first one's closing activates the main window, which puts
// its tool windows back on top. The questions are the system's own boxes, answered No.
TEST(TMainFormSettings, TheQuestionsAtExitAreSeenOverTheToolWindows)
{
    TTempDir dir;
    TToolWindows windows("1,1,0,0,540,130,300,100");
    TMainForm* form = windows.Show(dir.Write("a.txt", "a"));
    form->OpenFile(dir.Write("b.txt", "b"));
    Settle(form);
    form->SetBounds(60, 60, 1100, 860);
    for (int i = 0; i < form->MainPageCtrl->PageCount(); ++i)
        form->GetPageEditor(form->MainPageCtrl->Pages(i))->KeyInput("edited ");
    form->SrchDockBarDragOut(form, TPoint(300, 400));
    ASSERT_EQ(HostDockSite(MessageForm), nullptr);
    // Round the middle of the screen, where the questions come up.
    const std::pair<TCustomForm*, TRect> tools[] = {{MessageForm, TRect(280, 420, 1000, 620)},
                                                    {SrchForm, TRect(300, 300, 0, 0)},
                                                    {CalcFrm, TRect(700, 330, 0, 0)},
                                                    {FileSrchMonitorForm, TRect(520, 460, 0, 0)}};
    std::vector<HWND> toolHandles;
    for (auto [tool, r] : tools)
    {
        tool->Show();
        tool->SetBounds(r.Left, r.Top, r.Right ? r.Width() : tool->Width(),
                        r.Bottom ? r.Height() : tool->Height());
        toolHandles.push_back(tool->Handle());
    }
    SetForegroundWindow(form->Handle());
    SettleDisplay();
    {
        TModalWatch watch(GetCurrentThreadId(), toolHandles, {form->Handle()}, IDNO);
        form->Close();
        const auto& stands = watch.Stands();
        ASSERT_EQ(stands.size(), 2u);
        for (const TModalWatch::TStand& stand : stands)
        {
            EXPECT_FALSE(stand.toolAbove);
            EXPECT_TRUE(stand.seenWhole);
        }
    }
    EXPECT_FALSE(form->Visible()); // both answered No: the window closed
}

// Ctrl+PageDown in the editor pages down, as PageDown does; from the tool bar's search field it
// shows the next file, as Ctrl+Tab does there.
TEST(TMainFormMenus, CtrlPageDownPagesInTheEditorAndSwitchesFilesFromTheSearchField)
{
    TKeyServices keys;
    TTempDir dir;
    std::string lines;
    for (int i = 0; i < 300; ++i)
        lines += "line\r\n";
    TMainForm* form = StartWindow(dir.Write("a.txt", AnsiString(lines.data(), int(lines.size()))));
    form->OpenFile(dir.Write("b.txt", "b"));
    form->SetActivePage(form->MainPageCtrl->Pages(0));
    Settle(form);
    SetForegroundWindow(form->Handle());
    auto press = [&](TWinControl* at, WORD key) {
        at->SetFocus();
        keys.down.insert(VK_CONTROL);
        TKeyScript script(keys, {{key}});
        for (int i = 0; i < 2000 && !script.Done(); ++i)
        {
            Application->ProcessMessages();
            Sleep(1);
        }
        keys.down.erase(VK_CONTROL);
        Settle(form);
    };
    press(form->Edit(), VK_NEXT);
    EXPECT_EQ(form->MainPageCtrl->ActivePageIndex(), 0);
    EXPECT_GT(form->Edit()->GetCaret().y, 10);
    press(form->SrchEdit, VK_NEXT);
    EXPECT_EQ(form->MainPageCtrl->ActivePageIndex(), 1);
    press(form->SrchEdit, VK_PRIOR);
    EXPECT_EQ(form->MainPageCtrl->ActivePageIndex(), 0);
    delete form;
}

TEST(TMainFormMenus, RowInsertionsAndUnindentChangeEveryRowOfTheBlockAsOneStep)
{
    TBoxServices services;
    TMainForm* form = StartWindow("無いファイル.txt");
    TPageEditor* ed = OpenNewPage(form);
    ASSERT_NE(ed, nullptr);
    ed->SetTabSize(4);
    struct Case
    {
        void (TMainForm::*command)(TObject*);
        std::optional<std::string> answer;
        const char* text;
        int first, last; // the selected rows (the selection ends at the start of the row after)
        const char* result;
    } cases[] = {
        {&TMainForm::InsertStrToRowHeadMainMenuClick, "> ", "a\r\n\r\nc\r\nd", 0, 2, "> a\r\n> \r\n> c\r\nd"},
        {&TMainForm::InsertStrToEndOfRowMainMenuClick, ";", "a\r\nb\r\nc", 1, 1, "a\r\nb;\r\nc"},
        {&TMainForm::InsertStrToRowHeadMainMenuClick, std::nullopt, "a\r\nb", 0, 0, "a\r\nb"}, // cancelled
        {&TMainForm::InsertStrToRowHeadMainMenuClick, "", "a\r\nb", 0, 0, "a\r\nb"},           // empty
        {&TMainForm::UnIndentMenuClick, std::nullopt, "\tx\r\n  \ty\r\n      z\r\nw\r\n  v", 0, 3,
         "x\r\ny\r\n  z\r\nw\r\n  v"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        ed->SetText(c.text);
        ed->SelArea()->RowReset();
        ed->SelArea()->PutStartPoint(TPoint(0, c.first));
        ed->SelArea()->PutEndPoint(TPoint(0, c.last + 1));
        services.queries = {c.answer};
        (form->*c.command)(nullptr);
        EXPECT_EQ(ed->GetText(), AnsiString(c.result));
        ed->Undo();
        EXPECT_EQ(ed->GetText(), AnsiString(c.text)); // one step
    }
    delete form;
}

// Copy and Cut go the editor's own way: a box stays a box on the clipboard, and a cut whose
// copy the clipboard refused deletes nothing.
TEST(TMainFormMenus, CopyAndCutKeepABoxAndCutNothingWhenTheClipboardRefuses)
{
    TBoxServices services;
    TMainForm* form = StartWindow("無いファイル.txt");
    TPageEditor* ed = OpenNewPage(form);
    ASSERT_NE(ed, nullptr);
    auto selectBox = [&]
    {
        ed->SetText("abcdef\r\nghijkl");
        ed->SelArea()->RowReset();
        ed->SelArea()->PutStartPoint(TPoint(1, 0));
        ed->SelArea()->PutEndPoint(TPoint(3, 1));
        ed->SetRangeSelect(true);
    };
    selectBox();
    form->CopyMenuClick(nullptr);
    EXPECT_TRUE(Clipboard()->HasFormat(RegisterClipboardFormatSjis("VNEDIT_RANGE_SELECT")));
    EXPECT_EQ(Clipboard()->GetAsText(), AnsiString("bc\r\nhi\r\n"));
    {
        TClipboardHolder holder;
        ASSERT_TRUE(holder.Holding());
        form->CutMenuClick(nullptr);
    }
    EXPECT_EQ(ed->GetText(), AnsiString("abcdef\r\nghijkl"));
    EXPECT_EQ(services.boxes.size(), 1u);
    form->CutMenuClick(nullptr);
    EXPECT_EQ(ed->GetText(), AnsiString("adef\r\ngjkl"));
    delete form;
}

TEST(TMainFormMenus, EditingKeysInTheDockedResultsWindowLeaveThePageAlone)
{
    TBoxServices services;
    MessageForm = Create<TMessageForm>(nullptr);
    TMainForm* form = StartWindow("");
    MainForm = form;
    form->AttachSearchWindows();
    MessageForm->Show();
    Settle(form);
    ASSERT_NE(form->Edit(), nullptr);
    form->Edit()->KeyInput("abc");
    SetForegroundWindow(form->Handle());
    for (const char* keys : {"Ctrl+A", "Ctrl+X", "Ctrl+V", "Ctrl+Z", "Tab", "Shift+Tab"})
    {
        MessageForm->SrchResListBox->SetFocus();
        Application->ProcessMessages();
        ASSERT_EQ(GetFocus(), MessageForm->SrchResListBox->Handle());
        PressKeys(services, MessageForm->SrchResListBox->Handle(), keys);
        EXPECT_EQ(form->Edit()->GetText(), "abc") << keys;
    }
    delete form;
    delete MessageForm;
    MessageForm = nullptr;
    MainForm = nullptr;
}
