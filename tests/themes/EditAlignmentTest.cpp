#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "platform/Forms.h"
#include "themes/EditAlignment.h"

namespace
{
// The whole window as the non-client painting leaves it, before the edit paints its client area.
std::vector<COLORREF> NonClientPainted(TEditAlignment* edit)
{
    HWND window = edit->Handle();
    SendMessageW(window, WM_NCPAINT, 1, 0);
    HDC dc = GetWindowDC(window);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < edit->Height(); ++y)
        for (int x = 0; x < edit->Width(); ++x)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
}
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
    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 300, 100);
    form->Show();
    TEditAlignment* edit = Create<TEditAlignment>(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 150, 24);
    edit->SetText("secret");
    std::vector<COLORREF> plain = NonClientPainted(edit);
    edit->SetText("hidden");
    EXPECT_NE(NonClientPainted(edit), plain); // the text shows: different words look different
    edit->SetPasswordChar('*');
    std::vector<COLORREF> masked = NonClientPainted(edit);
    edit->SetText("secret");
    EXPECT_EQ(NonClientPainted(edit), masked); // six characters either way
    delete form;
}
