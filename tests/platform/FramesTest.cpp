// A frame under Wine: a container whose native controls still hear of their own clicks.
#include <gtest/gtest.h>

#include "platform/Forms.h"
#include "platform/Frames.h"
#include "platform/StdCtrls.h"

TEST(TFrame, ANativeControlOnItGetsItsOwnNotifications)
{
    TForm* form = Create<TForm>(nullptr);
    auto* frame = Create<TFrame>(form);
    frame->SetParent(form);
    auto* check = PlaceControl(frame, Create<TCheckBox>(form), "Check", "確認", 10, 10, 100, 20);
    form->Show();
    SendMessageW(check->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(check->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(check->Checked());
    delete form;
}
