#include <gtest/gtest.h>

#include <windows.h>

#include "main_window/MainFrm.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"

TEST(MainFrm, CommandLineIsOneFileNameAfterTheProgram)
{
    struct Case
    {
        const wchar_t* line;
        const char* expected;
    } cases[] = {
        {L"varnolet.exe", ""},
        {L"\"C:\\Program Files\\varnolet.exe\"", ""},
        {L"varnolet.exe C:\\a b\\c.txt", "C:\\a b\\c.txt"},
        {L"\"C:\\x y\\varnolet.exe\"   \"C:\\a b\\c.txt\"  ", "C:\\a b\\c.txt"},
        {L"varnolet.exe \x65E5\x672C\x8A9E.txt", "日本語.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandLineFileName(c.line), c.expected) << c.expected;
}

TEST(MainFrm, OpensAFileIntoTheEditorWithFolding)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    AnsiString path = WideToSjis(tmp, int(wcslen(tmp))) + "vn_mainfrm_test.txt";
    {
        TFileStream f(path, fmCreate);
        std::string text(130, 'a');
        text += "\r\n終わり";
        f.WriteBuffer(text.data(), int(text.size()));
    }
    TMainForm* form = Create<TMainForm>(nullptr);
    ASSERT_TRUE(form->OpenFile(path));
    EXPECT_EQ(form->Edit()->GetLinesCount(), 4); // 60 + 60 + 10 + CR, then the last line
    EXPECT_EQ(form->Edit()->GetLine(3), "終わり");
    EXPECT_EQ(form->Caption(), "vn_mainfrm_test.txt - Varnolet");
    delete form;
    DeleteFileW(SjisToWide(path).c_str());
}
