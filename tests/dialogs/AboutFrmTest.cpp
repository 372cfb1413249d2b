// The version dialog's links open their addresses through the shell; it and the other small
// dialogs open centred on the main window wherever that was moved.
#include <gtest/gtest.h>

#include <functional>

#include <windows.h>

#include "common/English.h"
#include "dialogs/AboutFrm.h"
#include "dialogs/DateInsertFrm.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/UnLockFrm.h"
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

TEST(TAboutBox, ItAndTheOtherSmallDialogsOpenCentredOnTheMovedMainWindow)
{
    TBoxServices services;
    ASSERT_EQ(Application->MainForm(), nullptr);
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->Show();
    const std::function<TForm*()> makers[] = {
        [] { return Create<TAboutBox>(Application); },
        [] { return Create<TDateInsertForm>(Application); },
        [] { return Create<TUnLockForm>(Application); },
        [] { return Create<TImageForm>(Application); }, // sizes itself to the picture as it opens
    };
    for (const TRect& at : {TRect(40, 30, 640, 530), TRect(300, 200, 1000, 700)})
    {
        main->SetBounds(at.Left, at.Top, at.Width(), at.Height());
        for (const auto& make : makers)
        {
            TForm* dialog = make();
            dialog->Show();
            RECT r{};
            GetWindowRect(dialog->Handle(), &r);
            EXPECT_NEAR((r.left + r.right) / 2, (at.Left + at.Right) / 2, 1) << dialog->Name().c_str();
            EXPECT_NEAR((r.top + r.bottom) / 2, (at.Top + at.Bottom) / 2, 1) << dialog->Name().c_str();
            dialog->Hide();
            delete dialog;
        }
    }
    delete main;
}
