// The emphasized-string dialog in a real window: it works on a copy, checks extensions and words
// as values, and stores only on a confirmed OK.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "dialogs/EmphasisFrm.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/SysUtils.h"
#include "tests/TestKeys.h"
#include "tests/TestServices.h"

namespace
{
const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\em%u", {unsigned(GetCurrentProcessId())});
    return key;
}

std::string Box(const char* format, const char* arg) { return Format(format, {arg}).str(); }

// The list as "ext=words|ext=words".
std::string Dump(nsList<VN::typEmphItem>& list)
{
    std::string out;
    for (int i = 0; i < list.Count(); ++i)
        out += (i ? "|" : "") + NsStringToAnsi(list.Get(i)->extension).str() + "=" +
               NsStringToAnsi(list.Get(i)->words).str();
    return out;
}

std::vector<std::string> Tabs(TEmphasisForm* form)
{
    std::vector<std::string> out;
    for (int i = 0; i < form->ExtTabCtrl->PageCount(); ++i)
        out.push_back(form->ExtTabCtrl->Pages(i)->Caption().str());
    return out;
}

class EmphasisDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        VN::EmphasisList.Clear();
        auto* c = new VN::typEmphItem(nsString("c"));
        c->words = "int\r\nwhile";
        VN::EmphasisList.AddSorted(c);
        auto* f90 = new VN::typEmphItem(nsString("f90"));
        VN::EmphasisList.AddSorted(f90);
        before = Dump(VN::EmphasisList);
        page.reset(Create<nsRichEdit>(nullptr));
        form = Create<TEmphasisForm>(nullptr);
        form->SettingsKey = TestKey();
        form->ActiveEditor = [this]() -> nsRichEdit* { return withPage ? page.get() : nullptr; };
        form->RefreshEmphasis = [this](nsRichEdit*) { ++refreshed; };
        form->HandleNeeded();
    }
    void TearDown() override
    {
        delete form;
        VN::EmphasisList.Clear();
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    }
    void Show(const char* path)
    {
        page->EditFilePath = path;
        form->FormShow(form);
    }
    std::string Selected() { return form->ExtTabCtrl->ActivePage()->Caption().str(); }

    std::unique_ptr<nsRichEdit> page;
    TEmphasisForm* form = nullptr;
    bool withPage = true;
    int refreshed = 0;
    std::string before;
    TBoxServices boxes;
};
} // namespace

TEST_F(EmphasisDialog, ShowingSelectsTheTabOfThePagesExtensionOrOffersToAddIt)
{
    struct Case
    {
        const char* path;
        int answer;
        std::vector<std::string> tabs;
        const char* selected;
        size_t questions;
    } cases[] = {
        {"x.C", IDYES, {"c", "f90", "拡張子なし"}, "c", 0},
        {"noext", IDYES, {"c", "f90", "拡張子なし"}, "c", 0},
        {"a.txt", IDYES, {"c", "f90", "拡張子なし", "txt"}, "txt", 1},
        {"a.txt", IDNO, {"c", "f90", "拡張子なし"}, "c", 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.path);
        boxes.boxes.clear();
        boxes.answer = c.answer;
        Show(c.path);
        EXPECT_EQ(Tabs(form), c.tabs);
        EXPECT_EQ(Selected(), c.selected);
        EXPECT_EQ(boxes.boxes.size(), c.questions);
    }
    withPage = false;
    Show("");
    EXPECT_EQ(Selected(), "c") << "no page open";
    EXPECT_EQ(form->EmphasisLBox->Items()->GetText(), "int\r\nwhile\r\n");
}

TEST_F(EmphasisDialog, ExtensionsAreComparedAsValues)
{
    struct Case
    {
        const char* typed;
        const char* refusedAs; // null: added
        const char* tab;
    } cases[] = {
        {"F90", "F90", nullptr},
        {"", "", nullptr},
        {"拡張子無", "拡張子無", nullptr},
        {".txt", nullptr, "txt"},
        {".TXT", "TXT", nullptr},
    };
    Show("noext");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        boxes.boxes.clear();
        boxes.queries.push_back(std::string(c.typed));
        const size_t tabs = Tabs(form).size();
        form->ExtAddBtnClick(form);
        if (c.refusedAs)
        {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0], Box(msgEmphasisExtExists, c.refusedAs));
            EXPECT_EQ(Tabs(form).size(), tabs);
        }
        else
        {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(Selected(), c.tab);
        }
    }
    // Cancel in the input box adds nothing; an extension handed over is not asked for.
    form->ExtAddBtnClick(form);
    form->AddExtension = "py";
    form->ExtAddBtnClick(form);
    EXPECT_EQ(Selected(), "py");
    EXPECT_EQ(Tabs(form).size(), 5u);
}

TEST_F(EmphasisDialog, WordsAreComparedByTheirBytesAndKeptInOrder)
{
    Show("a.f90");
    const struct
    {
        const char* word;
        bool added;
    } steps[] = {{"abc", true}, {"Abc", true}, {"abc", false}, {"", true}, {"", false}, {"\x83\x5C", true}};
    for (const auto& s : steps)
    {
        boxes.boxes.clear();
        form->EmhEdit->SetText(s.word);
        form->EmpAddBtnClick(form);
        EXPECT_EQ(boxes.boxes.empty(), s.added) << s.word;
    }
    EXPECT_NE(Dump(form->Working()).find("f90=\r\nAbc\r\nabc\r\n\x83\x5C|"), std::string::npos)
        << Dump(form->Working());
    EXPECT_EQ(Dump(VN::EmphasisList), before) << "the global list changed before OK";
}

TEST_F(EmphasisDialog, AHandedOverSelectionIsCutAtItsFirstLineBreak)
{
    form->AddWord = "first\r\nsecond";
    Show("x.c");
    EXPECT_EQ(form->EmhEdit->Text(), "first");
    form->FormShow(form);
    EXPECT_EQ(form->EmhEdit->Text(), "") << "the word is used once";
}

TEST_F(EmphasisDialog, OnlyAConfirmedOkReplacesTheListAndTheStore)
{
    Show("x.c");
    form->EmhEdit->SetText("for");
    form->EmpAddBtnClick(form);
    boxes.answer = IDYES;
    form->EmphasisLBox->SetItemIndex(form->EmphasisLBox->Items()->IndexOf("int"));
    form->EmpDelBtnClick(form);

    boxes.answer = IDNO;
    form->OkBtnClick(form);
    EXPECT_EQ(Dump(VN::EmphasisList), before);
    nsList<VN::typEmphItem> stored;
    ReadEmphasisList(stored, TestKey());
    EXPECT_EQ(stored.Count(), 0) << "No stored something";

    boxes.answer = IDYES;
    form->OkBtnClick(form);
    const std::string after = "=|c=for\r\nwhile|f90=";
    EXPECT_EQ(Dump(VN::EmphasisList), after);
    ReadEmphasisList(stored, TestKey());
    EXPECT_EQ(Dump(stored), after);
    EXPECT_EQ(refreshed, 1);
}

// Shown modally over a main window, with real boxes: the opening question, OK's question and the
// delete question each leave the main window disabled and the dialog active with the focus, so
// typing goes on into the dialog.
TEST_F(EmphasisDialog, ThroughItsBoxesTheDialogStaysInFrontOfTheDisabledMainWindow)
{
    TRealBoxServices real;
    real.presses = {IDYES, IDYES, IDNO, IDNO};
    real.queries = {std::string("h")};
    auto* main = Create<TForm>(nullptr);
    main->SetBounds(0, 0, 500, 400);
    main->Show();
    SetForegroundWindow(main->Handle());
    void* const ownerBefore = MessageOwner();
    SetMessageOwner(main->Handle());
    page->EditFilePath = "a.txt";

    struct TStand
    {
        bool mainEnabled, dialogActive, focusInDialog;
        bool operator==(const TStand&) const = default;
    };
    std::vector<TStand> stands;
    HWND typedAt = nullptr;
    // How the windows stand once the activation that follows a box has settled (it may take a few
    // ticks on a busy machine; a window that never gets it back is noted as it is).
    TModalScript* script = nullptr;
    int waited = 0;
    auto note = [&] {
        const HWND focus = GetFocus();
        const TStand stand{IsWindowEnabled(main->Handle()) != FALSE, GetActiveWindow() == form->Handle(),
                           focus && IsChild(form->Handle(), focus)};
        script->Again = !(stand.dialogActive && stand.focusInDialog) && ++waited < 30;
        if (!script->Again)
        {
            stands.push_back(stand);
            waited = 0;
        }
    };
    // Every button is clicked as the mouse clicks it.
    auto click = [](TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); };
    TModalScript steps(form, {
        note,
        [&] {
            click(form->ExtAddBtn); // asks for the extension: "h"
            EXPECT_EQ(Selected(), "h");
            form->EmhEdit->SetText("w");
            click(form->EmpAddBtn);
            EXPECT_EQ(form->EmphasisLBox->Items()->GetText(), "w\r\n");
            form->EmphasisLBox->SetItemIndex(0);
            click(form->EmpDelBtn); // Yes
            EXPECT_EQ(form->EmphasisLBox->Count(), 0);
        },
        note,
        [&] { click(form->OkBtn); }, // No: the dialog stays
        note,
        [&] { click(form->ExtDelBtn); }, // No: "h" stays
        note,
        [&] {
            // A key typed now goes to the dialog's focused control, not to the main window.
            typedAt = GetFocus();
            PostMessageW(typedAt, WM_CHAR, L'q', 1);
        },
        [&] { click(form->CancelBtn); },
    }, 30);
    script = &steps;
    EXPECT_EQ(form->ShowModal(), mrCancel);

    EXPECT_EQ(real.boxes, (std::vector<std::string>{Box(msgEmphasisAddExt, "txt"), Box(msgEmphasisDeleteWord, "w"),
                                                   msgEmphasisSave, Box(msgEmphasisDeleteExt, "h")}));
    EXPECT_EQ(real.owners, std::vector<HWND>(4, form->Handle()));
    EXPECT_EQ(stands, std::vector<TStand>(4, TStand{false, true, true}));
    EXPECT_EQ(Dump(VN::EmphasisList), before) << "nothing was confirmed";
    EXPECT_TRUE(typedAt && IsChild(form->Handle(), typedAt)) << "a key typed after the boxes goes into the dialog";
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    SetMessageOwner(ownerBefore);
    delete main;
}

// Ctrl+Tab and Ctrl+PageDown from the word field go through the extensions' tabs, each showing
// its words; Ctrl+Shift+Tab and Ctrl+PageUp go back.
TEST_F(EmphasisDialog, CtrlTabAndCtrlPageDownGoThroughTheExtensions)
{
    TKeyServices keys;
    page->EditFilePath = "x.c";
    form->Show();
    SetForegroundWindow(form->Handle());
    ASSERT_EQ(GetFocus(), form->EmhEdit->Handle());
    struct Step
    {
        TKeyStep key;
        const char* tab;
        const char* words;
    } steps[] = {
        {{VK_TAB}, "f90", ""},
        {{VK_NEXT}, "拡張子なし", ""},
        {{VK_NEXT}, "c", "int\r\nwhile\r\n"},
        {{VK_TAB, false, true}, "拡張子なし", ""},
        {{VK_PRIOR}, "f90", ""},
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.tab);
        keys.down.insert(VK_CONTROL);
        TKeyScript script(keys, {s.key});
        for (int i = 0; i < 2000 && !script.Done(); ++i)
        {
            Application->ProcessMessages();
            Sleep(1);
        }
        keys.down.erase(VK_CONTROL);
        EXPECT_EQ(Selected(), s.tab);
        EXPECT_EQ(form->EmphasisLBox->Items()->GetText(), s.words);
    }
    form->Hide();
}
