// The date and time lists from a fixed clock, era boundaries included, and the window's refresh
// and OK on a shown list.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/DateInsertFrm.h"
#include "tests/TestServices.h"

namespace
{
SYSTEMTIME At(int y, int m, int d, int dayOfWeek, int h = 0, int n = 0, int s = 0)
{
    SYSTEMTIME t{};
    t.wYear = WORD(y);
    t.wMonth = WORD(m);
    t.wDay = WORD(d);
    t.wDayOfWeek = WORD(dayOfWeek);
    t.wHour = WORD(h);
    t.wMinute = WORD(n);
    t.wSecond = WORD(s);
    return t;
}

std::vector<std::string> Strings(const std::vector<AnsiString>& lines)
{
    std::vector<std::string> out;
    for (const AnsiString& line : lines)
        out.push_back(line.str());
    return out;
}

struct TDateRow
{
    SYSTEMTIME when;
    std::vector<std::string> lines;
};

// The lines a form of type T lists at each row's moment.
template <class T, size_t N>
void ExpectLines(const TDateRow (&rows)[N])
{
    T* form = Create<T>(nullptr);
    for (const TDateRow& row : rows)
    {
        SCOPED_TRACE(row.lines[1]);
        EXPECT_EQ(Strings(form->Lines(row.when)), row.lines);
    }
    delete form;
}
} // namespace

TEST(TDateInsertForm, ListsEachFormatWithTheEraOfTheDate)
{
    const TDateRow rows[] = {
        {At(2011, 3, 5, 6),
         {"11/3/5", "2011/03/05", "3月5日(土曜日)", "平成23年3月5日", "平成23年3月5日(土曜日)"}},
        {At(2019, 4, 30, 2), {"19/4/30", "2019/04/30", "4月30日(火曜日)", "平成31年4月30日", "平成31年4月30日(火曜日)"}},
        {At(2019, 5, 1, 3), {"19/5/1", "2019/05/01", "5月1日(水曜日)", "令和1年5月1日", "令和1年5月1日(水曜日)"}},
        {At(2020, 1, 1, 3), {"20/1/1", "2020/01/01", "1月1日(水曜日)", "令和2年1月1日", "令和2年1月1日(水曜日)"}},
        {At(1989, 1, 7, 6), {"89/1/7", "1989/01/07", "1月7日(土曜日)", "昭和64年1月7日", "昭和64年1月7日(土曜日)"}},
        {At(1989, 1, 8, 0), {"89/1/8", "1989/01/08", "1月8日(日曜日)", "平成1年1月8日", "平成1年1月8日(日曜日)"}},
        {At(1926, 12, 25, 6),
         {"26/12/25", "1926/12/25", "12月25日(土曜日)", "昭和1年12月25日", "昭和1年12月25日(土曜日)"}},
        {At(1912, 7, 29, 1), {"12/7/29", "1912/07/29", "7月29日(月曜日)", "明治45年7月29日", "明治45年7月29日(月曜日)"}},
        {At(1912, 7, 30, 2), {"12/7/30", "1912/07/30", "7月30日(火曜日)", "大正1年7月30日", "大正1年7月30日(火曜日)"}},
        {At(2005, 12, 31, 6), {"05/12/31", "2005/12/31", "12月31日(土曜日)", "平成17年12月31日", "平成17年12月31日(土曜日)"}},
    };
    ExpectLines<TDateInsertForm>(rows);
}

TEST(TTimeInsertForm, ListsEachFormatOnBothClocks)
{
    const TDateRow rows[] = {
        {At(2011, 3, 5, 6, 14, 5, 9), {"14:5:9", "14:05:09", "PM 2:5:9", "14時5分9秒", "午後 2時5分9秒"}},
        {At(2011, 3, 5, 6, 0, 0, 0), {"0:0:0", "00:00:00", "AM 12:0:0", "0時0分0秒", "午前 12時0分0秒"}},
        {At(2011, 3, 5, 6, 12, 30, 59), {"12:30:59", "12:30:59", "PM 12:30:59", "12時30分59秒", "午後 12時30分59秒"}},
        {At(2011, 3, 5, 6, 9, 10, 11), {"9:10:11", "09:10:11", "AM 9:10:11", "9時10分11秒", "午前 9時10分11秒"}},
    };
    ExpectLines<TTimeInsertForm>(rows);
}

// The clock ticks while a line other than the first is chosen: the choice stays, and OK types
// the chosen line as it reads at that moment.
TEST(TTimeInsertForm, RefreshKeepsTheChosenLineAndOkTypesIt)
{
    TBoxServices services;
    TTimeInsertForm* form = Create<TTimeInsertForm>(nullptr);
    SYSTEMTIME now = At(2011, 3, 5, 6, 14, 5, 9);
    form->Clock = [&now] { return now; };
    std::vector<std::string> typed;
    form->TypeIntoPage = [&typed](const AnsiString& text) { typed.push_back(text.str()); };
    form->Show();
    Application->ProcessMessages();
    EXPECT_EQ(form->TimeListBox->ItemIndex(), 0);
    EXPECT_TRUE(form->Timer->Enabled());
    // The list has the focus, so the arrow keys choose the line.
    for (int i = 0; i < 3; ++i)
    {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(GetFocus(), WM_KEYUP, VK_DOWN, 0xC0000001);
        Application->ProcessMessages();
    }
    now.wSecond = 10;
    form->TimerTimer(nullptr);
    EXPECT_EQ(form->TimeListBox->ItemIndex(), 3);
    EXPECT_EQ(form->TimeListBox->Items()->Get(0), AnsiString("14:5:10"));
    form->OkBtnClick(nullptr);
    EXPECT_EQ(typed, std::vector<std::string>{"14時5分10秒"});
    form->Close();
    EXPECT_FALSE(form->Timer->Enabled());
    delete form;
}
