// The open and save dialogs through the services seam, and the filter handed to the system.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Forms.h"
#include "platform/Services.h"

#include <commdlg.h>

namespace
{

// Answers each dialog with the next scripted answer and keeps what it was shown.
class TDialogServices : public TPlatformServices
{
public:
    struct Answer
    {
        bool chosen;
        AnsiString fileName;
        int filterIndex;
    };

    TDialogServices() : previous_(SetServices(this)) {}
    ~TDialogServices() override { SetServices(previous_); }
    int MessageBox(void*, const AnsiString&, const AnsiString&, unsigned) override { return IDOK; }
    short GetKeyState(int) override { return 0; }
    bool OpenFileDialog(void* owner, TFileDialogData& data) override { return Answer_("open", data); }
    bool SaveFileDialog(void* owner, TFileDialogData& data) override { return Answer_("save", data); }

    std::vector<Answer> answers;
    std::vector<std::string> kinds;
    std::vector<TFileDialogData> shown;

private:
    bool Answer_(const char* kind, TFileDialogData& data)
    {
        kinds.push_back(kind);
        shown.push_back(data);
        Answer a = answers.at(shown.size() - 1);
        if (!a.chosen)
            return false;
        data.FileName = a.fileName;
        data.FilterIndex = a.filterIndex;
        return true;
    }
    TPlatformServices* previous_;
};

const char* kFilter =
    "テキスト(*.txt,*.inf,*.bat,*.ini)|*.txt;*.inf;*.bat;*.ini|HTML関連(*.htm,*.html)|*.htm;*.html|"
    "全てのファイル(*.*)|*.*";

TEST(TOpenDialog, AnswersComeThroughTheSeam)
{
    TDialogServices services;
    services.answers = {{false, "", 0}, {true, "C:\\データ\\表示.txt", 2}, {true, "D:\\b.htm", 99}};
    auto* dialog = Create<TOpenDialog>(nullptr);
    dialog->SetFilter(kFilter);
    dialog->SetInitialDir("C:\\データ");
    dialog->SetFileName("前.txt");
    dialog->SetTitle("開く");

    EXPECT_FALSE(dialog->Execute()); // Cancel leaves the dialog's values alone
    EXPECT_EQ(dialog->FileName(), "前.txt");
    EXPECT_EQ(dialog->FilterIndex(), 1);

    EXPECT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->FileName(), "C:\\データ\\表示.txt");
    EXPECT_EQ(dialog->FilterIndex(), 2);

    EXPECT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->FilterIndex(), 3); // an answer past the filters is clamped

    ASSERT_EQ(services.shown.size(), 3u);
    const TFileDialogData& first = services.shown[0];
    EXPECT_EQ(first.Filter, kFilter);
    EXPECT_EQ(first.InitialDir, "C:\\データ");
    EXPECT_EQ(first.FileName, "前.txt");
    EXPECT_EQ(first.Title, "開く");
    EXPECT_TRUE(first.Flags & OFN_HIDEREADONLY);
    EXPECT_FALSE(first.Flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(services.shown[2].FileName, "C:\\データ\\表示.txt"); // each run starts from the last answer
    EXPECT_EQ(services.kinds, (std::vector<std::string>{"open", "open", "open"}));
    delete dialog;
}

TEST(TSaveDialog, IsShownAsASaveDialogWithItsOptions)
{
    TDialogServices services;
    services.answers = {{true, "C:\\新規.txt", 1}};
    auto* dialog = Create<TSaveDialog>(nullptr);
    dialog->SetFilter("全てのファイル(*.*)|*.*|");
    dialog->SetFilterIndex(5);
    dialog->SetOptions(dialog->Options() << ofOverwritePrompt);
    EXPECT_TRUE(dialog->Execute());
    EXPECT_EQ(services.kinds, (std::vector<std::string>{"save"}));
    EXPECT_EQ(services.shown[0].FilterIndex, 1); // clamped before showing
    EXPECT_TRUE(services.shown[0].Flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(dialog->FileName(), "C:\\新規.txt");
    delete dialog;
}

TEST(TOpenDialog, ServicesThatAnswerNoDialogsCancel)
{
    class TBoxesOnly : public TPlatformServices
    {
    public:
        int MessageBox(void*, const AnsiString&, const AnsiString&, unsigned) override { return IDOK; }
        short GetKeyState(int) override { return 0; }
    } boxesOnly;
    TPlatformServices* previous = SetServices(&boxesOnly);
    auto* dialog = Create<TOpenDialog>(nullptr);
    EXPECT_FALSE(dialog->Execute());
    SetServices(previous);
    delete dialog;
}

// The parts, each ended by a NUL, and one more NUL (nothing at all for no parts).
std::wstring Joined(std::initializer_list<const wchar_t*> parts)
{
    std::wstring s;
    for (const wchar_t* p : parts)
    {
        s += p;
        s += L'\0';
    }
    if (!s.empty())
        s += L'\0';
    return s;
}

TEST(FileDialogFilter, SplitsAtBarsOfTheTextNotOfTheBytes)
{
    struct Case
    {
        const char* filter;
        std::wstring wide;
        int count;
    } cases[] = {
        {"全てのファイル(*.*)|*.*|", Joined({L"\u5168\u3066\u306E\u30D5\u30A1\u30A4\u30EB(*.*)", L"*.*"}), 1},
        // ポ is 83 7C in CP932: its trail byte is a bar.
        {"ポ|*.p|文書|*.doc", Joined({L"\u30DD", L"*.p", L"\u6587\u66F8", L"*.doc"}), 2},
        {"", Joined({}), 0},
        {"テキスト|*.txt|半端", Joined({L"\u30C6\u30AD\u30B9\u30C8", L"*.txt", L"\u534A\u7AEF"}), 2},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(FileDialogFilter(c.filter), c.wide) << c.filter;
        EXPECT_EQ(FileDialogFilterCount(c.filter), c.count) << c.filter;
    }
}

TEST(FileDialogFilter, IndexIsClampedToTheFiltersThereAre)
{
    struct Case
    {
        int index;
        int expected;
    } cases[] = {{-3, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 3}, {1000, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(ClampFilterIndex(kFilter, c.index), c.expected) << c.index;
    EXPECT_EQ(ClampFilterIndex("", 7), 1);
}

} // namespace
