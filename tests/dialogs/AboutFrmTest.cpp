// The version dialog's links open their addresses through the shell.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/English.h"
#include "dialogs/AboutFrm.h"
#include "tests/TestServices.h"

TEST(TAboutBox, ClickingEitherAddressOpensItAndAFailureIsReported)
{
    TBoxServices services;
    TAboutBox* box = Create<TAboutBox>(nullptr);
    box->Show();
    Application->ProcessMessages();
    for (TURLLabel* label : {box->URLLabel, box->SupportURLLabel})
    {
        SendMessageW(label->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(label->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    EXPECT_EQ(services.opened, (std::vector<std::string>{std::string(msgUrlHome) + "||",
                                                         std::string(msgUrlProduct) + "||"}));
    EXPECT_TRUE(services.boxes.empty());
    services.shellAnswer = false;
    box->URLLabelClick(box->URLLabel);
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_NE(services.boxes[0].find(msgUrlHome), std::string::npos);
    box->Hide();
    delete box;
}
