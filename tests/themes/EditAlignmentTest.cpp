#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "platform/Forms.h"
#include "tests/themes/TestThemes.h"
#include "themes/EditAlignment.h"

namespace
{
// The whole window as the non-client painting leaves it, before the edit paints its client area.
std::vector<COLORREF> NonClientPainted(TEditAlignment* edit) { return Painted(edit, true).pixels; }
} // namespace

TEST(EditAlignment, AlignmentSetsTheEditStyleBits)
{
    const struct
    {
        TAlignment alignment;
        DWORD bits;
    } cases[] = {{taLeftJustify, ES_LEFT}, {taRightJustify, ES_RIGHT}, {taCenter, ES_CENTER}};
    TForm* form = Create<TForm>(nullptr);
    TEditAlignment* edit = Create<TEditAlignment>(form);
    edit->SetParent(form);
    for (auto c : cases)
    {
        EXPECT_EQ(AlignedEditStyle(WS_CHILD | ES_CENTER | ES_RIGHT, c.alignment), WS_CHILD | c.bits);
        edit->SetAlignment(c.alignment);
        EXPECT_EQ(DWORD(GetWindowLongW(edit->Handle(), GWL_STYLE)) & 3u, c.bits);
    }
    delete form;
}

TEST(EditAlignment, NonClientPaintingNeverShowsAPasswordInTheClear)
{
    TShownControl<TEditAlignment> shown(10, 10, 150, 24, 300, 100);
    TEditAlignment* edit = shown.control;
    edit->SetText("secret");
    std::vector<COLORREF> plain = NonClientPainted(edit);
    edit->SetText("hidden");
    EXPECT_NE(NonClientPainted(edit), plain); // the text shows: different words look different
    edit->SetPasswordChar('*');
    std::vector<COLORREF> masked = NonClientPainted(edit);
    edit->SetText("secret");
    EXPECT_EQ(NonClientPainted(edit), masked); // six characters either way
}
