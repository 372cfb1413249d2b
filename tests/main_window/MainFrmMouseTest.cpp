// The mouse on a page of the real main window: a drag selects, Alt+drag takes a box that the
// Edit menu's Copy and Paste carry elsewhere, a double click takes a word, a selection dragged
// elsewhere moves, and Undo puts the text back each time.
#include <gtest/gtest.h>

#include <windows.h>

#include "main_window/MainFrm.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"
#include "tests/TestMouse.h"
#include "tests/TestServices.h"
#include "tests/main_window/MainFrmTestUtil.h"

namespace
{
const AnsiString& TestKey()
{
    static const AnsiString key = Format("Software\\VarnoletTest\\mfm%u", {unsigned(GetCurrentProcessId())});
    return key;
}

void Settle()
{
    for (int i = 0; i < 20; ++i)
        Application->ProcessMessages();
}
} // namespace

TEST(TMainFormMouse, DragBoxCopyPasteDoubleClickAndMoveWorkOnTheProgramsPage)
{
    TKeyServices keys;
    TTempDir dir;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
    TMainForm* form = StartMainWindow(TestKey(), dir.Write("m.txt", "alpha beta\r\ngamma delta\r\nepsilon\r\n"));
    form->SetBounds(0, 0, 640, 480);
    Settle();
    TPageEditor* page = form->Edit();
    ASSERT_NE(page, nullptr);
    TMouse mouse{*page};
    const AnsiString start = page->GetText();

    mouse.Drag(mouse.At(6, 0), mouse.At(5, 1));
    EXPECT_EQ(page->GetSelText(), AnsiString("beta\r\ngamma"));

    mouse.DoubleClick(mouse.At(7, 1));
    EXPECT_EQ(page->GetSelText(), AnsiString("delta"));

    // A box of columns 0..2 of the first two rows, pasted at the start of "epsilon": its second
    // row goes into the empty row after it.
    keys.down.insert(VK_MENU);
    mouse.Drag(mouse.At(0, 0), mouse.At(2, 1));
    keys.down.clear();
    ASSERT_TRUE(page->IsRangeSelect());
    form->CopyMenuClick(nullptr);
    mouse.Click(mouse.At(0, 2));
    form->PasteMenuClick(nullptr);
    EXPECT_EQ(page->GetText(), AnsiString("alpha beta\r\ngamma delta\r\nalepsilon\r\nga"));
    page->Undo();
    EXPECT_EQ(page->GetText(), start);

    // "beta" dragged to the start of the text, then put back by one Undo.
    mouse.Drag(mouse.At(6, 0), mouse.At(10, 0));
    mouse.Down(mouse.At(7, 0));
    mouse.Up(mouse.At(0, 0));
    EXPECT_EQ(page->GetText(), AnsiString("betaalpha \r\ngamma delta\r\nepsilon\r\n"));
    page->Undo();
    EXPECT_EQ(page->GetText(), start);

    page->SetEdited(false);
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(TestKey()).c_str());
}
