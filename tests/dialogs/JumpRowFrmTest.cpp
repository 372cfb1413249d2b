// Jump to line on a page longer than a 16-bit range: the bounds, the boxes naming the line as
// typed, and the caret with its selection afterwards.
#include <gtest/gtest.h>

#include <string>

#include "common/English.h"
#include "dialogs/JumpRowFrm.h"
#include "platform/SysUtils.h"
#include "tests/TestServices.h"
#include "tests/editor_page/PageTestUtil.h"

TEST(TJumpRowForm, JumpsWithinAllFortyThousandLinesAndNamesAnyOtherLineAsTyped)
{
    const int lines = 40000;
    TPageHost host(480, 320);
    AnsiString text;
    for (int i = 0; i < lines - 1; ++i)
        text += "x\r\n";
    text += "x";
    host.page->SetText(text);
    ASSERT_EQ(host.page->GetLinesCount(), lines);

    TBoxServices boxes;
    TJumpRowForm form(nullptr);
    form.ActiveEditor = [&] { return static_cast<nsRichEdit*>(host.page); };
    struct Case
    {
        const char* typed;
        int row; // caret row afterwards, -1: the dialog stays with a box
        std::string box;
    };
    const Case cases[] = {
        {"1", 0, ""},
        {"40000", 39999, ""},
        {"33000", 32999, ""}, // past a 16-bit range
        {"0", -1, Format(msgJumpNoSuchLine, {"0"}).str()},
        {"40001", -1, Format(msgJumpNoSuchLine, {"40001"}).str()},
        {"", -1, msgJumpNoNumber},
        {"99999999999", -1, Format(msgJumpNoSuchLine, {"99999999999"}).str()},
        {"4294967297", -1, Format(msgJumpNoSuchLine, {"4294967297"}).str()}, // 2^32 + 1 must not wrap to 1
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        host.page->SetCaret(TPoint(1, 5));
        host.page->SelArea()->PutStartPoint(TPoint(0, 3)); // a selection the jump must drop
        host.page->SelArea()->PutEndPoint(TPoint(1, 5));
        form.Show();
        EXPECT_EQ(form.RowUD->Max(), lines);
        EXPECT_EQ(form.RowSetEdit->Text(), "6");
        EXPECT_EQ(form.RowRangeLabel->Caption(), "(1-40000)");
        form.SetModalResult(mrNone);
        boxes.boxes.clear();
        form.RowSetEdit->SetText(c.typed);
        form.OkBtnClick(nullptr);
        if (c.row < 0)
        {
            EXPECT_EQ(boxes.boxes, std::vector<std::string>{c.box});
            EXPECT_EQ(form.ModalResult(), mrNone);
            EXPECT_EQ(host.page->GetCaret(), TPoint(1, 5));
        }
        else
        {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(form.ModalResult(), mrOk);
            EXPECT_EQ(host.page->GetCaret(), TPoint(0, c.row));
            EXPECT_EQ(host.page->SelArea()->GetStartPoint(), host.page->SelArea()->GetEndPoint());
            EXPECT_LE(host.page->GetTopLine(), c.row);
            EXPECT_GT(host.page->GetTopLine() + host.page->GetDspRowCount(), c.row);
        }
        form.Hide();
    }
    // The arrows stop at the page's ends and keep the edit in step.
    form.Show();
    bool allow = false;
    form.RowUDChangingEx(form.RowUD, allow, lines + 1, updUp);
    EXPECT_FALSE(allow);
    form.RowUDChangingEx(form.RowUD, allow, lines, updUp);
    EXPECT_TRUE(allow);
    EXPECT_EQ(form.RowSetEdit->Text(), "40000");
    form.Hide();
}
