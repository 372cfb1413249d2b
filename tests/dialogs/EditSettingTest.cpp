// The editor settings dialog in a real window: filled from the settings, OK writes them back and
// stores them, Cancel changes nothing, bad numbers get their messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "common/English.h"
#include "dialogs/EditSetting.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/SysUtils.h"
#include "tests/TestKeys.h"
#include "tests/TestServices.h"

namespace
{
const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\es%u", {unsigned(GetCurrentProcessId())});
    return key;
}

bool KeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class EditSettingDialog : public testing::Test
{
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        saved = VN::EditSetting;
        VN::EditSetting = VN::EditSettingDefaults();
        VN::EditSetting.色_行番号 = typColorRec(0x123456, 0x654321, true, false, true);
        VN::EditSetting.WINDOW_ALPHABLENDVALUE = 200;
        start = VN::EditSetting;
        form = Create<TEditSettingForm>(nullptr);
        form->SettingsKey = TestKey();
        form->ApplyToAllEditors = [this] { ++applied; };
        form->HandleNeeded();
        form->FormShow(form);
    }
    void TearDown() override
    {
        delete form;
        VN::EditSetting = saved;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    }
    void SelectRow(int row)
    {
        form->EditStrTypeList->SetItemIndex(row);
        form->EditStrTypeListClick(form);
    }

    VN::typEditSetting saved, start;
    TEditSettingForm* form = nullptr;
    int applied = 0;
    TBoxServices boxes;
};
} // namespace

TEST_F(EditSettingDialog, OkWithoutChangesStoresWhatItWasShownAndAppliesItToEveryPage)
{
    EXPECT_EQ(form->mEdit_02->Text(), IntToStr(start.TABSIZE));
    EXPECT_EQ(form->WrapPosEdit->Text(), IntToStr(start.WRAPWIDTH));
    EXPECT_EQ(form->TransparentTrackBar->Position(), 255 - 200);
    SelectRow(1);
    EXPECT_EQ(int(form->CPanel_98->Color()), 0x123456);
    EXPECT_TRUE(form->BoldCBox->Checked());
    form->OkBtnClick(form);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
    EXPECT_TRUE(VN::EditSetting == start);
    VN::typEditSetting stored;
    ReadEditSetting(stored, TestKey());
    EXPECT_TRUE(stored == start) << "what a restart reads differs";
}

TEST_F(EditSettingDialog, EditedControlsReachTheSettingsAndTheStore)
{
    boxes.colorAnswer = 0x00FF00;
    SelectRow(6); // search string 2: no background, no styles
    EXPECT_FALSE(form->Btn_96->Visible());
    EXPECT_FALSE(form->StrStyleGrp->Visible());
    form->ColorChangeBtnClick(form->Btn_98);
    boxes.colorAnswer = 0x0000FF;
    form->ColorChangeBtnClick(form->Btn_99);
    form->mEdit_02->SetText("8");
    form->mEdit_01->SetText("");
    form->WrapCBox->SetChecked(!start.ISWRAP);
    form->TransparentTrackBar->SetPosition(form->TransparentTrackBar->Max());
    form->OkBtnClick(form);
    VN::typEditSetting stored;
    ReadEditSetting(stored, TestKey());
    for (const VN::typEditSetting* s : {&VN::EditSetting, &stored})
    {
        EXPECT_EQ(s->色_検索文字列[1].colour, 0x00FF00);
        EXPECT_EQ(int(s->色_文字), 0x0000FF);
        EXPECT_EQ(s->TABSIZE, 8);
        EXPECT_EQ(s->ROWPITCH, 2) << "an empty pitch is the usual one";
        EXPECT_EQ(s->ISWRAP, !start.ISWRAP);
        EXPECT_EQ(s->WINDOW_ALPHABLENDVALUE, kWindowAlphaFloor) << "the window must stay visible";
    }
}

TEST_F(EditSettingDialog, CancelLeavesSettingsStoreAndTheNextShowingAsTheyWere)
{
    boxes.colorAnswer = 0x00FF00;
    SelectRow(1);
    form->ColorChangeBtnClick(form->Btn_98);
    form->BoldCBox->SetChecked(false);
    form->mEdit_02->SetText("9");
    // Cancel: the dialog closes without OK.
    EXPECT_TRUE(VN::EditSetting == start);
    EXPECT_FALSE(KeyExists());
    form->FormShow(form);
    SelectRow(1);
    EXPECT_EQ(int(form->CPanel_98->Color()), 0x123456) << "colours of a cancelled session came back";
    EXPECT_TRUE(form->BoldCBox->Checked());
    EXPECT_EQ(form->mEdit_02->Text(), IntToStr(start.TABSIZE));
}

TEST_F(EditSettingDialog, NumbersOutOfRangeGetTheirMessageAndChangeNothing)
{
    struct Case
    {
        const char* tab;
        const char* wrap;
        const char* pitch;
        const char* message; // null: accepted
    } cases[] = {
        {"0", "80", "2", msgTabSizeRange},    {"17", "80", "2", msgTabSizeRange},
        {"", "80", "2", msgTabSizeRange},     {"4", "9", "2", msgWrapWidthRange},
        {"4", "1000", "2", msgWrapWidthRange}, {"4", "", "2", msgWrapWidthRange},
        {"4", "80", "-5", msgRowPitchRange},  {"4", "80", "x", nullptr},
        {"1", "10", "0", nullptr},            {"16", "999", "99", nullptr},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.tab) + "/" + c.wrap + "/" + c.pitch);
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        VN::EditSetting = start;
        form->FormShow(form);
        form->SetModalResult(mrNone);
        boxes.boxes.clear();
        form->mEdit_02->SetText(c.tab);
        form->WrapPosEdit->SetText(c.wrap);
        form->mEdit_01->SetText(c.pitch);
        form->OkBtnClick(form);
        if (c.message)
        {
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0], c.message);
            EXPECT_TRUE(VN::EditSetting == start);
            EXPECT_FALSE(KeyExists());
            EXPECT_EQ(form->ModalResult(), mrNone);
            EXPECT_EQ(form->mEdit_02->Text(), c.tab) << "what was typed stays";
        }
        else
        {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(VN::EditSetting.TABSIZE, StrToInt(c.tab));
            EXPECT_EQ(VN::EditSetting.WRAPWIDTH, StrToInt(c.wrap));
        }
    }
}

TEST_F(EditSettingDialog, AFontThatIsNotInstalledStaysTheSetting)
{
    VN::EditSetting.FONT_NAME = "NoSuchFontHere";
    form->FormShow(form);
    EXPECT_EQ(form->FontsCBox->Text(), "NoSuchFontHere");
    EXPECT_GT(form->FontsCBox->Items()->GetCount(), 1) << "the Japanese fonts are listed too";
    form->OkBtnClick(form);
    EXPECT_EQ(NsStringToAnsi(VN::EditSetting.FONT_NAME), "NoSuchFontHere");
}

TEST_F(EditSettingDialog, AnEditAndItsUpDownShowOneValueWithinTheRange)
{
    const struct
    {
        int value;
        bool allowed;
    } steps[] = {{5, true}, {16, true}, {17, false}, {0, false}};
    for (const auto& s : steps)
    {
        bool allow = false;
        form->UpDownChanging(form->UD_02, allow, s.value, updUp);
        EXPECT_EQ(allow, s.allowed) << s.value;
        if (allow)
        {
            EXPECT_EQ(form->mEdit_02->Text(), IntToStr(s.value));
        }
    }
    form->mEdit_01->SetText("42");
    EXPECT_EQ(form->UD_01->Position(), 42);
}

// From the keyboard every page is reached: Ctrl+Tab and Ctrl+PageDown go to the next page,
// Shift with Ctrl+Tab and Ctrl+PageUp to the one before, wrapping; Alt and a tab's access key to
// that tab. The focus never stays on a control of a page that was left.
TEST_F(EditSettingDialog, EveryPageIsReachedFromTheKeyboard)
{
    TKeyServices keys;
    form->Show();
    SetForegroundWindow(form->Handle());
    ASSERT_TRUE(IsChild(form->Handle(), GetFocus()));
    struct Step
    {
        TKeyStep key;
        bool ctrl;
        const char* page; // the sheet's name afterwards
    } steps[] = {
        {{VK_TAB}, true, "FontSheet"},         {{VK_TAB}, true, "ColorSheet"},
        {{VK_TAB}, true, "OptionSheet"},       {{VK_TAB, false, true}, true, "ColorSheet"},
        {{VK_NEXT}, true, "OptionSheet"},      {{VK_NEXT}, true, "FontSheet"},
        {{VK_PRIOR}, true, "OptionSheet"},     {{VK_PRIOR}, true, "ColorSheet"},
        {{'F', true}, false, "FontSheet"},     {{'O', true}, false, "OptionSheet"},
        {{'C', true}, false, "ColorSheet"},    {{VK_TAB}, false, "ColorSheet"}, // Tab alone moves the focus
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.page);
        if (s.ctrl)
            keys.down.insert(VK_CONTROL);
        TKeyScript script(keys, {s.key});
        for (int i = 0; i < 2000 && !script.Done(); ++i)
        {
            Application->ProcessMessages();
            Sleep(1);
        }
        keys.down.erase(VK_CONTROL);
        ASSERT_TRUE(script.Done());
        EXPECT_EQ(form->PageCtrl->ActivePage()->Name(), s.page);
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus && IsChild(form->Handle(), focus) && IsWindowVisible(focus));
    }
    form->Hide();
}

// Every button of the dialog shown modally, clicked as the mouse clicks it: the line-breaking
// default, the four colour buttons (the colour dialog answers), then OK stores what was chosen; a
// second showing's Cancel stores nothing.
TEST_F(EditSettingDialog, EveryButtonClickedOnTheShownDialogDoesItsPart)
{
    auto click = [](TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); };
    const VN::typEditSetting defaults = VN::EditSettingDefaults();
    {
        TModalScript first(form, {
            [&] {
                form->KinHeadEdit->SetText("x");
                click(form->KindefBtn);
                EXPECT_EQ(form->KinHeadEdit->Text(), NsStringToAnsi(defaults.BANHEAD));
                EXPECT_EQ(form->KinLastEdit->Text(), NsStringToAnsi(defaults.BANEND));
            },
            [&] {
                form->PageCtrl->SetActivePage(form->PageCtrl->Pages(2)); // the colour page
                boxes.colorAnswer = 0x0000FF;
                click(form->Btn_99);
                boxes.colorAnswer = 0x00FF00;
                click(form->Btn_97);
                SelectRow(0);
                boxes.colorAnswer = 0x112233;
                click(form->Btn_98);
                boxes.colorAnswer = 0x445566;
                click(form->Btn_96);
                EXPECT_EQ(int(form->CPanel_99->Color()), 0x0000FF);
                EXPECT_EQ(int(form->CPanel_97->Color()), 0x00FF00);
                EXPECT_EQ(int(form->CPanel_98->Color()), 0x112233);
                EXPECT_EQ(int(form->CPanel_96->Color()), 0x445566);
            },
            [&] { click(form->OkBtn); },
        });
        EXPECT_EQ(form->ShowModal(), mrOk);
    }
    EXPECT_EQ(boxes.colorsShown.size(), 4u);
    VN::typEditSetting stored;
    ReadEditSetting(stored, TestKey());
    EXPECT_EQ(stored.色_背景.colour, 0x112233);
    EXPECT_EQ(stored.色_背景.bkcolour, 0x445566);
    EXPECT_EQ(int(stored.色_文字), 0x0000FF);
    EXPECT_EQ(int(VN::EditSetting.STR_BKCOLOR), 0x00FF00);
    EXPECT_TRUE(stored == VN::EditSetting);

    {
        TModalScript second(form, {[&] {
            boxes.colorAnswer = 0x777777;
            click(form->Btn_99);
            click(form->CancelBtn);
        }});
        EXPECT_EQ(form->ShowModal(), mrCancel);
    }
    VN::typEditSetting again;
    ReadEditSetting(again, TestKey());
    EXPECT_TRUE(again == stored);
}
