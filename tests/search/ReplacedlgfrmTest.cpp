// The replace confirmation answered from the keyboard alone, through the program's message loop.
#include <gtest/gtest.h>

#include "tests/TestKeys.h"

#include <windows.h>

#include <vector>

#include "search/Replacedlgfrm.h"

namespace
{

TEST(ReplaceDlgForm, KeyboardAnswersWithAccessKeysTabEnterAndEsc)
{
    struct Case
    {
        const char* name;
        std::vector<TKeyStep> keys;
        int answer; // of Prepare: 0 Yes, 1 No, 2 Cancel
        TModalResult result;
    } cases[] = {
        {"Y", {{'Y'}}, 0, mrYes},
        {"N", {{'N'}}, 1, mrNo},
        {"Alt+Y", {{'Y', true}}, 0, mrYes},
        {"Alt+N", {{'N', true}}, 1, mrNo},
        {"Esc", {{VK_ESCAPE}}, 2, mrCancel},
        {"Enter", {{VK_RETURN}}, 0, mrYes},
        {"Tab Enter", {{VK_TAB}, {VK_RETURN}}, 1, mrNo},
        {"Tab Tab Enter", {{VK_TAB}, {VK_TAB}, {VK_RETURN}}, 2, mrCancel},
        {"Tab Tab Tab Enter", {{VK_TAB}, {VK_TAB}, {VK_TAB}, {VK_RETURN}}, 0, mrYes},
        {"Shift+Tab Enter", {{VK_TAB, false, true}, {VK_RETURN}}, 2, mrCancel},
        // Keys that are no access key of the dialog answer nothing.
        {"Q Alt+Q", {{'Q'}, {'Q', true}}, 2, mrAbort},
    };
    TKeyServices keys;
    auto* dialog = Create<TReplaceDlgForm>(nullptr);
    for (const Case& c : cases)
    {
        // When the keys gave no answer, the dialog is ended with a result no key gives.
        TKeyScript script(keys, c.keys, [&] {
            if (dialog->Visible() && dialog->ModalResult() == mrNone)
                dialog->SetModalResult(mrAbort);
        });
        EXPECT_EQ(dialog->Prepare("'a&b' を置き換えますか"), c.answer) << c.name;
        EXPECT_EQ(dialog->ModalResult(), c.result) << c.name;
        ASSERT_FALSE(script.targets.empty());
        EXPECT_TRUE(script.targets[0] == dialog->YesBtn->Handle()) << c.name << ": Yes is focused first";
        Application->ProcessMessages();
    }
    delete dialog;
}

} // namespace
