// Shortcut assignment on a menu of our own: the list of keys, the tree the dialog builds, and what
// reaches the live menu for Yes, No and Cancel.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "dialogs/ShortCutSetFrm.h"
#include "tests/TestServices.h"

TEST(ShortCutTexts, AreTheHundredAndFourDistinctKeysAndReadBackThroughTheShortcutTextRoutines)
{
    const std::vector<AnsiString>& texts = ShortCutTexts();
    ASSERT_EQ(texts.size(), 104u);
    std::set<TShortCut> values;
    for (const AnsiString& text : texts)
    {
        SCOPED_TRACE(text.str());
        const TShortCut value = TextToShortCut(text);
        EXPECT_NE(value, scNone);
        EXPECT_EQ(ShortCutToText(value), text);
        values.insert(value);
    }
    EXPECT_EQ(values.size(), 104u);
    EXPECT_EQ(texts.front(), AnsiString("Ctrl+A"));
    EXPECT_EQ(texts[2], AnsiString("Ctrl+C")); // Ctrl+D and Ctrl+K are not offered
    EXPECT_EQ(texts.back(), AnsiString("Shift+Alt+BkSp"));
}

namespace
{
struct TMenuFixture
{
    TMenuFixture()
    {
        owner = Create<TForm>(nullptr);
        menu = Create<TMainMenu>(owner);
        file = NewMenuItem(owner, menu->Items(), "FileMenu", "ファイル(&F)", scNone, TNotifyEvent());
        open = NewMenuItem(owner, file, "OpenMenu", "開く(&O)...", TextToShortCut("Ctrl+O"), TNotifyEvent());
        NewMenuItem(owner, file, "N1", "-", scNone, TNotifyEvent());
        quit = NewMenuItem(owner, file, "EndMenu", "終了(&X)", scNone, TNotifyEvent(this, &TMenuFixture::QuitClick));
        hidden = NewMenuItem(owner, file, "HiddenMenu", "隠れた項目", scNone, TNotifyEvent());
        hidden->SetVisible(false);
        TMenuItem* skipped = NewMenuItem(owner, menu->Items(), "Skipped", "除外", scNone, TNotifyEvent());
        skipped->SetTag(-1);
        NewMenuItem(owner, skipped, "SkippedChild", "除外の子", scNone, TNotifyEvent());
        help = NewMenuItem(owner, menu->Items(), "HelpMenu", "ヘルプ(&H)", scNone, TNotifyEvent());
        about = NewMenuItem(owner, help, "AboutMenu", "バージョン情報(&A)", scNone, TNotifyEvent());
        form = Create<TShortCutSetForm>(nullptr);
        form->Menu = menu;
    }
    ~TMenuFixture()
    {
        delete form;
        delete owner;
    }
    void QuitClick(TObject*) { ++quits; }
    TTreeNode* Node(const char* text)
    {
        for (TTreeNode* node : form->MenuTreeView->Nodes())
            if (node->Text() == AnsiString(text))
                return node;
        return nullptr;
    }
    void Choose(const char* node, const char* key)
    {
        form->MenuTreeView->SetSelected(Node(node));
        const std::vector<AnsiString>& texts = ShortCutTexts();
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i] == AnsiString(key))
                form->ShortCutCBox->SetItemIndex(int(i));
        form->ShortCutCBoxSelect(nullptr);
    }
    TForm* owner;
    TMainMenu* menu;
    TMenuItem *file, *open, *quit, *hidden, *help, *about;
    TShortCutSetForm* form;
    int quits = 0;
};
} // namespace

TEST(TShortCutSetForm, TheTreeShowsTheMenuWithoutLinesAndLeftOutItemsAndCutCaptions)
{
    TMenuFixture f;
    f.form->FormShow(nullptr);
    std::vector<std::string> tree;
    for (TTreeNode* node : f.form->MenuTreeView->Nodes())
        tree.push_back(std::string(size_t(node->Level()), ' ') + node->Text().str());
    EXPECT_EQ(tree, (std::vector<std::string>{"ファイル", " 開く", " 終了", " 隠れた項目", "ヘルプ", " バージョン情報"}));
    EXPECT_EQ(f.form->RecordCount(), 6);
    // A menu of the bar can be selected but gets no shortcut; a command shows its current one.
    f.form->MenuTreeView->SetSelected(f.Node("ファイル"));
    EXPECT_FALSE(f.form->ShortCutCBox->Enabled());
    f.form->MenuTreeView->SetSelected(f.Node(" 開く") ? f.Node(" 開く") : f.Node("開く"));
    EXPECT_TRUE(f.form->ShortCutCBox->Enabled());
    EXPECT_EQ(f.form->NowShortCutCBox->Items()->Get(f.form->NowShortCutCBox->ItemIndex()), AnsiString("Ctrl+O"));
    EXPECT_EQ(f.form->ShortCutCBox->ItemIndex(), -1);
}

TEST(TShortCutSetForm, YesAppliesOnlyChangedItemsNoDiscardsCancelStaysAndRecordsAreFreedOnClose)
{
    struct TRow
    {
        int answer;
        TModalResult result;
        bool applied;
    } rows[] = {{IDYES, mrOk, true}, {IDNO, mrOk, false}, {IDCANCEL, mrNone, false}};
    for (const TRow& row : rows)
    {
        SCOPED_TRACE(row.answer);
        TMenuFixture f;
        TBoxServices services;
        services.answer = row.answer;
        f.form->FormShow(nullptr);
        f.Choose("終了", "Ctrl+Q");
        f.Choose("開く", "Ctrl+O"); // the same as now: nothing to apply
        f.form->SetModalResult(mrNone);
        f.form->OkBtnClick(nullptr);
        EXPECT_EQ(f.form->ModalResult(), row.result);
        EXPECT_EQ(ShortCutToText(f.quit->ShortCut()), AnsiString(row.applied ? "Ctrl+Q" : ""));
        EXPECT_EQ(ShortCutToText(f.open->ShortCut()), AnsiString("Ctrl+O"));
        // The assigned key runs its command at once.
        EXPECT_EQ(f.menu->IsShortCut(TextToShortCut("Ctrl+Q")), row.applied);
        EXPECT_EQ(f.quits, row.applied ? 1 : 0);
        TCloseAction action = caHide;
        f.form->FormClose(nullptr, action);
        EXPECT_EQ(f.form->RecordCount(), 0);
        EXPECT_EQ(f.form->MenuTreeView->Count(), 0);
    }
}

namespace
{
int gWay = 0;
TShortCutSetForm* gForm = nullptr;
int gRecordsWhileShown = 0;
void CALLBACK CloseTheDialog(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    gRecordsWhileShown = gForm->RecordCount();
    if (gWay == 0)
        gForm->CancelBtn->Click();
    else if (gWay == 1)
        gForm->OkBtn->Click();
    else
        gForm->Close();
}
} // namespace

// Shown modally and closed by each way out, the dialog keeps no record behind.
TEST(TShortCutSetForm, EveryWayOutOfTheShownDialogFreesTheRecords)
{
    TMenuFixture f;
    TBoxServices services;
    services.answer = IDNO;
    gForm = f.form;
    for (gWay = 0; gWay < 3; ++gWay)
    {
        SCOPED_TRACE(gWay);
        gRecordsWhileShown = 0;
        SetTimer(nullptr, 0, 30, CloseTheDialog);
        f.form->ShowModal();
        EXPECT_EQ(gRecordsWhileShown, 6);
        EXPECT_EQ(f.form->RecordCount(), 0);
    }
}
