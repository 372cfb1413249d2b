// The check-list box under Wine: checks that follow their items, clicks and Space that turn them
// over, and the check drawn before each item.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/CheckLst.h"
#include "platform/Forms.h"

namespace
{
struct TCheckFixture
{
    TCheckFixture()
    {
        form->SetBounds(0, 0, 300, 300);
        list->SetBounds(10, 10, 200, 200);
        list->SetParent(form);
        form->Show();
        list->OnClickCheck = TNotifyEvent(this, &TCheckFixture::Clicked);
    }
    ~TCheckFixture() { delete form; }
    void Clicked(TObject*) { ++clicks; }
    LPARAM At(int index, int x) const
    {
        TRect r = list->ItemRect(index);
        return MAKELPARAM(x, (r.Top + r.Bottom) / 2);
    }

    TForm* form = Create<TForm>(nullptr);
    TCheckListBox* list = Create<TCheckListBox>(form);
    int clicks = 0;
};
} // namespace

TEST(TCheckListBox, ChecksFollowTheirItemsThroughRandomEdits)
{
    TCheckFixture f;
    struct TItem
    {
        AnsiString text;
        TCheckBoxState state;
        bool enabled;
    };
    std::vector<TItem> model;
    std::mt19937 random(5);
    for (int step = 0; step < 300; ++step)
    {
        const int count = int(model.size());
        const int index = count ? int(random() % count) : 0;
        switch (random() % 6)
        {
        case 0:
        case 1:
        {
            const int at = int(random() % (count + 1));
            AnsiString text = IntToStr(step);
            f.list->Items()->Insert(at, text);
            model.insert(model.begin() + at, {text, cbUnchecked, true});
            break;
        }
        case 2:
            if (count)
            {
                f.list->Items()->Delete(index);
                model.erase(model.begin() + index);
            }
            break;
        case 3:
            if (count)
            {
                TCheckBoxState s = TCheckBoxState(random() % 3);
                f.list->SetState(index, s);
                model[size_t(index)].state = s;
            }
            break;
        case 4:
            if (count)
            {
                f.list->Items()->Put(index, "p" + IntToStr(step)); // a replaced item keeps its check
                model[size_t(index)].text = "p" + IntToStr(step);
            }
            break;
        case 5:
            if (count)
            {
                f.list->SetItemEnabled(index, !model[size_t(index)].enabled);
                model[size_t(index)].enabled = !model[size_t(index)].enabled;
            }
            break;
        }
        ASSERT_EQ(f.list->Count(), int(model.size())) << step;
        for (int i = 0; i < f.list->Count(); ++i)
        {
            ASSERT_EQ(f.list->Items()->Get(i), model[size_t(i)].text) << step;
            ASSERT_EQ(f.list->State(i), model[size_t(i)].state) << step << " item " << i;
            ASSERT_EQ(f.list->ItemEnabled(i), model[size_t(i)].enabled) << step << " item " << i;
        }
    }
    f.list->Items()->Clear();
    f.list->Items()->Add("new");
    EXPECT_EQ(f.list->State(0), cbUnchecked);
}

TEST(TCheckListBox, AClickOnTheCheckOrSpaceTurnsItOverUnlessTheItemIsDisabledOrAHeader)
{
    TCheckFixture f;
    for (const char* text : {"一", "二", "三", "四"})
        f.list->Items()->Add(text);
    f.list->SetState(1, cbGrayed);
    f.list->SetItemEnabled(2, false);
    f.list->SetHeader(3, true);
    HWND h = f.list->Handle();
    const int onCheck = f.list->CheckWidth() / 2;
    struct TCase
    {
        int index;
        int x;
        TCheckBoxState after;
        int clicks;
    };
    const TCase cases[] = {
        {0, onCheck, cbChecked, 1}, {0, onCheck, cbUnchecked, 2}, {0, 100, cbUnchecked, 2}, // on the text
        {1, onCheck, cbChecked, 3}, {2, onCheck, cbUnchecked, 3}, {3, onCheck, cbUnchecked, 3},
    };
    for (const TCase& c : cases)
    {
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, f.At(c.index, c.x));
        SendMessageW(h, WM_LBUTTONUP, 0, f.At(c.index, c.x));
        EXPECT_EQ(f.list->State(c.index), c.after) << c.index << " at " << c.x;
        EXPECT_EQ(f.clicks, c.clicks) << c.index << " at " << c.x;
    }
    f.list->SetItemIndex(0);
    SendMessageW(h, WM_CHAR, L' ', 0);
    EXPECT_TRUE(f.list->Checked(0));
    EXPECT_EQ(f.clicks, 4);
}

TEST(TCheckListBox, DrawsACheckBeforeEachItemButAHeader)
{
    TCheckFixture f;
    for (const char* text : {"一", "二", "三"})
        f.list->Items()->Add(text);
    f.list->SetChecked(1, true);
    f.list->SetHeader(2, true);
    f.list->SetHeaderBackgroundColor(clRed);
    HDC dc = GetDC(f.list->Handle());
    RedrawWindow(f.list->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    auto checkArea = [&](int index) {
        TRect r = f.list->ItemRect(index);
        std::vector<COLORREF> pixels;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = 0; x < f.list->CheckWidth(); ++x)
                pixels.push_back(GetPixel(dc, x, y));
        return pixels;
    };
    const auto unchecked = checkArea(0), checked = checkArea(1);
    const TRect headerRow = f.list->ItemRect(2);
    const COLORREF headerBack = GetPixel(dc, 1, headerRow.Top + 1);
    ReleaseDC(f.list->Handle(), dc);
    EXPECT_NE(unchecked, checked);
    EXPECT_NE(unchecked, std::vector<COLORREF>(unchecked.size(), unchecked.front())); // a box is drawn
    EXPECT_EQ(headerBack, RGB(255, 0, 0)); // no check: the header's colour from the left edge
}
