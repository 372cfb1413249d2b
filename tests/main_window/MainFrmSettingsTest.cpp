// The program's pages in their syntax colours, read back as pixels, across a page switch; and the
// settings dialogs reaching every page through the main window.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "dialogs/EditSetting.h"
#include "main_window/MainFrm.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"

namespace
{
const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\mfs%u", {unsigned(GetCurrentProcessId())});
    return key;
}

// Pixels of a colour in one row of the page, painted as the screen would get it.
int PixelsOf(TPageEditor* page, int row, TColor colour)
{
    RECT r{};
    GetClientRect(page->Handle(), &r);
    TBitmap bitmap;
    bitmap.SetSize(r.right, r.bottom);
    HDC dc = bitmap.Canvas()->Handle();
    SendMessageW(page->Handle(), WM_PAINT, WPARAM(dc), 0);
    GdiFlush();
    const int top = page->EditRect().Top + (row - page->GetTopLine()) * page->GetRowHeight();
    int n = 0;
    for (int y = std::max(0, top); y < top + page->GetRowHeight() && y < r.bottom; ++y)
        for (int x = page->EditRect().Left; x < r.right; ++x)
            if (GetPixel(dc, x, y) == COLORREF(colour))
                ++n;
    return n;
}

struct TProgram
{
    explicit TProgram(const AnsiString& file)
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
        form = Create<TMainForm>(nullptr);
        form->SettingsKey = TestKey();
        form->MinStartupMs = 0;
        form->CommandLineFile = file;
        form->SetBounds(0, 0, 640, 480);
        form->Show();
        for (int i = 0; i < 20; ++i)
            Application->ProcessMessages();
    }
    ~TProgram()
    {
        delete form;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    }
    void SwitchTo(int index)
    {
        form->MainPageCtrl->SetActivePageIndex(index);
        form->MainPageCtrlChange(form->MainPageCtrl);
        for (int i = 0; i < 20; ++i)
            Application->ProcessMessages();
    }
    TMainForm* form = nullptr;
};
} // namespace

TEST(TMainFormSettings, CAndFortranFilesShowTheirSyntaxColoursAcrossAPageSwitch)
{
    TBoxServices boxes;
    TTempDir dir;
    const AnsiString c = dir.Write("a.c", "int x; /* note */\r\ns = \"str\" + 42;\r\n");
    const AnsiString f = dir.Write("b.f", "C comment row\r\n  100 CONTINUE\r\n");
    TProgram program(c);
    TPageEditor* cPage = program.form->Edit();
    ASSERT_NE(cPage, nullptr);
    EXPECT_EQ(cPage->CommentMode(), cmmCCPP);
    program.form->OpenFile(f);
    TPageEditor* fPage = program.form->Edit();
    ASSERT_NE(fPage, cPage);
    EXPECT_EQ(fPage->CommentMode(), cmmF77);
    program.form->OpenFile(dir.Write("c.txt", "x /* plain */ 1\r\n"));
    TPageEditor* tPage = program.form->Edit();
    EXPECT_EQ(tPage->CommentMode(), cmmNormal);

    struct Case
    {
        TPageEditor* page;
        int tab;
        int row;
        TColor TPageEditor::*colour;
        bool shown;
        const char* what;
    } cases[] = {
        {fPage, 1, 0, &TPageEditor::ColComment, true, "the F77 comment row"},
        {fPage, 1, 1, &TPageEditor::ColLabelNum, true, "the label"},
        {cPage, 0, 0, &TPageEditor::ColComment, true, "the C comment"},
        {cPage, 0, 1, &TPageEditor::ColString, true, "the string"},
        {cPage, 0, 1, &TPageEditor::ColNumeric, true, "the number"},
        {cPage, 0, 0, &TPageEditor::ColString, false, "no string on the comment row"},
        {tPage, 2, 0, &TPageEditor::ColComment, false, "plain text"},
        {tPage, 2, 0, &TPageEditor::ColNumeric, false, "plain text numbers"},
    };
    for (const Case& k : cases)
    {
        SCOPED_TRACE(k.what);
        program.SwitchTo(k.tab);
        ASSERT_EQ(program.form->Edit(), k.page);
        EXPECT_EQ(PixelsOf(k.page, k.row, k.page->*k.colour) > 0, k.shown);
    }
}

// The dialog as the program makes it: OK reaches every page, not only the active one.
TEST(TMainFormSettings, EditorSettingsOkChangesEveryPage)
{
    TBoxServices boxes;
    TTempDir dir;
    const VN::typEditSetting saved = VN::EditSetting;
    TProgram program(dir.Write("a.c", "x\r\n"));
    program.form->OpenFile(dir.Write("b.txt", "y\r\n"));
    EditSettingForm = Create<TEditSettingForm>(nullptr);
    EditSettingForm->SettingsKey = TestKey();
    program.form->AttachSettingsDialogs();
    EditSettingForm->HandleNeeded();
    EditSettingForm->FormShow(EditSettingForm);
    const int tab = VN::EditSetting.TABSIZE == 7 ? 5 : 7;
    EditSettingForm->mEdit_02->SetText(IntToStr(tab));
    EditSettingForm->OkBtnClick(EditSettingForm);
    for (int i = 0; i < program.form->MainPageCtrl->PageCount(); ++i)
        EXPECT_EQ(program.form->GetPageEditor(program.form->MainPageCtrl->Pages(i))->GetTabSize(), tab) << i;
    EXPECT_EQ(program.form->GetPageEditor(program.form->MainPageCtrl->Pages(0))->CommentMode(), cmmCCPP)
        << "the settings took the page's comment mode";
    delete EditSettingForm;
    EditSettingForm = nullptr;
    VN::EditSetting = saved;
}
