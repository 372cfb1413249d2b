// The list view under Wine: columns and rows written into the window, again after it is made anew.
#include <gtest/gtest.h>

#include <string>

#include "platform/Forms.h"
#include "platform/ListView.h"

TEST(TListView, ColumnsAndRowsReachTheWindowAndSurviveItsRecreation)
{
    TForm* form = Create<TForm>(nullptr);
    auto* view = Create<TListView>(form);
    view->AddColumn({"ファイル", 120, -1});
    view->SetParent(form); // the window is made with the first column
    view->AddColumn({"行", 40, 2});
    view->AddItem("a.txt");
    view->AddItem("b.txt");
    for (int round = 0; round < 2; ++round)
    {
        HWND h = view->Handle();
        HWND header = reinterpret_cast<HWND>(SendMessageW(h, LVM_GETHEADER, 0, 0));
        EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 2) << round;
        wchar_t text[32] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = 32;
        SendMessageW(h, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(std::wstring(text), L"\u30D5\u30A1\u30A4\u30EB") << round;
        EXPECT_EQ(column.cx, 120) << round;
        EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 2) << round;
        view->RecreateWnd();
    }
    delete form;
}
