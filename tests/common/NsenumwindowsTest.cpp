#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "tests/TestServices.h"

namespace
{
// Answers every box with a set button and records what was shown.
class TAnsweringServices : public TPlatformServices
{
public:
    struct Shown
    {
        void* owner;
        std::string text;
        std::string caption;
        unsigned flags;
    };
    int answer = IDOK;
    std::vector<Shown> shown;

    int MessageBox(void* ownerHwnd, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        shown.push_back({ownerHwnd, text.str(), caption.str(), flags});
        return answer;
    }
    short GetKeyState(int) override { return 0; }
};

class MessageBoxes : public testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = SetServices(&fake);
        SetMsgCaption("Varnolet for Windows");
        SetMessageOwner(nullptr);
    }
    void TearDown() override
    {
        SetServices(previous_);
        SetMessageOwner(nullptr);
        SetMsgCaption("Varnolet for Windows");
    }
    const TAnsweringServices::Shown& Last() const { return fake.shown.back(); }

    TAnsweringServices fake;

private:
    TPlatformServices* previous_ = nullptr;
};

bool EndsOnWholeCharacter(const std::string& s)
{
    size_t i = 0;
    while (i < s.size())
        i += IsSjisLead((unsigned char)s[i]) ? 2 : 1;
    return i == s.size();
}
} // namespace

TEST_F(MessageBoxes, AnswersMapThroughTheSeam)
{
    const struct
    {
        int button; // what the platform reports
        TBoxAnswer yesNo;
        TBoxAnswer yesNoCancel;
    } cases[] = {
        {IDYES, baYes, baYes},
        {IDNO, baNo, baNo},
        {IDCANCEL, baNo, baCancel}, // Escape or the close box
        {0, baNo, baCancel},        // the box could not be shown: never Yes, never No
        {IDOK, baNo, baCancel},
    };
    for (const auto& c : cases)
    {
        fake.answer = c.button;
        EXPECT_EQ(YesNoBox(msgConfirmPicture, "a.jpg"), c.yesNo) << c.button;
        EXPECT_EQ(Last().flags, unsigned(MB_YESNO | MB_ICONINFORMATION));
        EXPECT_EQ(YesNoCancelBox(msgSaveChanges, "a.txt"), c.yesNoCancel) << c.button;
        EXPECT_EQ(Last().flags, unsigned(MB_YESNOCANCEL | MB_ICONINFORMATION));
        EXPECT_EQ(YesNoCancelBox(bdNo, msgSaveChanges, "a.txt"), c.yesNoCancel) << c.button;
        EXPECT_EQ(Last().flags, unsigned(MB_YESNOCANCEL | MB_ICONINFORMATION | MB_DEFBUTTON2));
    }
}

TEST_F(MessageBoxes, EachRoutineShowsItsIconWithTheCommonCaptionOverTheOwner)
{
    int owner = 0;
    SetMessageOwner(&owner);
    fake.answer = IDOK;
    EXPECT_EQ(ErrorBox(msgOpenFailed, "x.txt"), IDOK);
    EXPECT_EQ(Last().flags, unsigned(MB_ICONERROR));
    EXPECT_EQ(WarningBox("%s", "w"), IDOK);
    EXPECT_EQ(Last().flags, unsigned(MB_ICONWARNING));
    EXPECT_EQ(InfoBox("%s", "i"), IDOK);
    EXPECT_EQ(Last().flags, unsigned(MB_ICONINFORMATION));
    ASSERT_EQ(fake.shown.size(), 3u);
    for (const auto& s : fake.shown)
    {
        EXPECT_EQ(s.caption, "Varnolet for Windows");
        EXPECT_EQ(s.owner, &owner);
    }
    EXPECT_EQ(fake.shown[0].text, "ファイル[x.txt]のオープンに失敗しました。\nファイル名が正しいかチェックしてください。");
}

TEST_F(MessageBoxes, WhileADialogHasDisabledTheOwnerTheActiveDialogOwnsTheBox)
{
    auto popup = [](const wchar_t* title) {
        HWND w = CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 10, 10, 100, 60, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        return w;
    };
    HWND main = popup(L"main");
    HWND dialog = popup(L"dialog");
    SetMessageOwner(main);
    EnableWindow(main, FALSE);
    SetActiveWindow(dialog);
    ASSERT_EQ(GetActiveWindow(), dialog);
    InfoBox("%s", "modal");
    EXPECT_EQ(Last().owner, static_cast<void*>(dialog));
    EnableWindow(main, TRUE);
    SetActiveWindow(main);
    InfoBox("%s", "modeless");
    EXPECT_EQ(Last().owner, static_cast<void*>(main));
    DestroyWindow(dialog);
    DestroyWindow(main);
}

// A modal dialog that asks while it is being shown and again once it runs, as the emphasized-string
// dialog does; after each box it notes how the windows stand.
class TAskingDialog : public TForm
{
public:
    explicit TAskingDialog(TComponent* owner) : TForm(owner)
    {
        SetBounds(60, 60, 200, 120);
        OnShow = TNotifyEvent(this, &TAskingDialog::Shown);
    }
    struct TStand
    {
        bool mainEnabled, dialogActive, dialogAboveMain;
        bool operator==(const TStand&) const = default;
    };
    HWND main = nullptr;
    std::vector<TStand> stands;

    void Shown(TObject*)
    {
        YesNoBox("%s", "while showing");
        PostMessageW(Handle(), WM_APP, 0, 0);
    }

protected:
    void Dispatch(TMessage& m) override
    {
        if (m.Msg != WM_APP)
            return TForm::Dispatch(m);
        bool above = false;
        for (HWND w = GetWindow(Handle(), GW_HWNDNEXT); w && !above; w = GetWindow(w, GW_HWNDNEXT))
            above = w == main;
        stands.push_back({IsWindowEnabled(main) != FALSE, GetActiveWindow() == Handle(), above});
        if (m.WParam == 0)
        {
            InfoBox("%s", "running");
            PostMessageW(Handle(), WM_APP, 1, 0);
        }
        else
            SetModalResult(mrOk);
    }
};

// A box closing re-enables its owner and activates it: a box owned by the window the dialog has
// disabled would give that window the keys and bring it over the dialog.
TEST(MessageBoxOwner, BoxesOfAModalDialogLeaveTheMainWindowDisabledAndBehindIt)
{
    TRealBoxServices services;
    services.presses = {IDNO, IDOK};
    auto* main = Create<TForm>(nullptr);
    main->SetBounds(0, 0, 400, 300);
    main->Show();
    SetForegroundWindow(main->Handle());
    void* const before = MessageOwner();
    SetMessageOwner(main->Handle());
    auto* dialog = Create<TAskingDialog>(nullptr);
    dialog->main = main->Handle();
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    using S = TAskingDialog::TStand;
    EXPECT_EQ(dialog->stands, (std::vector<S>{{false, true, true}, {false, true, true}}));
    EXPECT_EQ(services.owners, (std::vector<HWND>{dialog->Handle(), dialog->Handle()}));
    EXPECT_TRUE(IsWindowEnabled(main->Handle()));
    SetMessageOwner(before);
    delete dialog;
    delete main;
}

TEST_F(MessageBoxes, CatalogueFormatTakesItsArgument)
{
    char line[16];
    std::snprintf(line, sizeof line, "%d", 120);
    InfoBox(msgJumpNoSuchLine, line);
    EXPECT_EQ(Last().text, "120 行目は存在しません");
}

TEST_F(MessageBoxes, PercentInAnArgumentIsShownLiterally)
{
    ErrorBox(msgOpenFailed, "C:\\100%s%d%n.txt");
    EXPECT_NE(Last().text.find("[C:\\100%s%d%n.txt]"), std::string::npos);
    InfoBox("%s", "50% off");
    EXPECT_EQ(Last().text, "50% off");
}

TEST_F(MessageBoxes, LongArgumentsAreShownWholeWithTheReasonAfterThem)
{
    // A long path followed by the reason: every byte of both reaches the box, at any length.
    for (size_t length : {250u, 511u, 600u, 5000u, 70000u})
    {
        std::string path = "C:\\x";
        while (path.size() < length)
            path += "表";
        ErrorBox(msgSaveFailed, path.c_str(), "アクセスが拒否されました。");
        EXPECT_EQ(Last().text, std::string("ファイル[") + path + "]の保存に失敗しました。\nアクセスが拒否されました。")
            << length;
    }
}

TEST_F(MessageBoxes, AQuestionCanMakeNoTheDefaultAnswer)
{
    const struct
    {
        TBoxDefault def;
        unsigned button;
    } cases[] = {{bdYes, MB_DEFBUTTON1}, {bdNo, MB_DEFBUTTON2}};
    for (const auto& c : cases)
    {
        for (int answer : {IDYES, IDNO, IDCANCEL, 0})
        {
            fake.answer = answer;
            EXPECT_EQ(YesNoBox(c.def, msgConfirmPicture, "a.jpg"), answer == IDYES ? baYes : baNo);
            EXPECT_EQ(Last().flags, unsigned(MB_YESNO | MB_ICONINFORMATION) | c.button);
            EXPECT_EQ(Last().text, "画像ファイル[a.jpg]を設定してもよろしいですか");
        }
    }
}

TEST_F(MessageBoxes, CaptionIsCopiedAsTextAndCutOnAWholeCharacter)
{
    SetMsgCaption("100% %s %d");
    InfoBox("%s", "t");
    EXPECT_EQ(Last().caption, "100% %s %d");

    std::string longCaption = "x";
    while (longCaption.size() < 100)
        longCaption += "窓";
    SetMsgCaption(longCaption.c_str());
    std::string caption = MsgCaption();
    EXPECT_LE(caption.size(), size_t(kMsgCaptionSize - 1));
    EXPECT_GE(caption.size(), size_t(kMsgCaptionSize - 2));
    EXPECT_TRUE(EndsOnWholeCharacter(caption));
    EXPECT_EQ(longCaption.compare(0, caption.size(), caption), 0);

    SetMsgCaption(nullptr);
    EXPECT_STREQ(MsgCaption(), "");
}
