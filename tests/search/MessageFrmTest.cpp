// The search-results window under Wine: the lines it lists, where a line's
// match is highlighted, and the jump of a double click to a batch-search hit in
// its page or to a file-search hit in its file, through a host that stands for
// the main window.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "editor_page/Nsrichedit.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "search/MessageFrm.h"

namespace
{

std::string Shown(const AnsiString& s) { return s.str(); }

void Pump(int rounds = 20)
{
    for (int i = 0; i < rounds; ++i)
        Application->ProcessMessages();
}

// A results window made and shown for one test.
struct TResults
{
    TResults()
    {
        form = Create<TMessageForm>(nullptr);
        form->Show();
        Pump();
    }
    ~TResults() { delete form; }
    TMessageForm* form;
};

// A form holding one editor page.
struct TEditorHost
{
    explicit TEditorHost(int width = 600, int height = 300)
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, width, height);
        editor = Create<nsRichEdit>(form);
        editor->SetBounds(0, 0, width, height);
        editor->SetParent(form);
        editor->StopDrawThread();
        form->Show();
        Pump();
    }
    ~TEditorHost() { delete form; }
    TForm* form;
    nsRichEdit* editor;
};

// Stands for the main window: pages are editors; a file is "opened" into the
// spare editor.
class TFakeHost : public TSrchJumpHost
{
public:
    TFakeHost() : previous_(SrchJumpHost) { SrchJumpHost = this; }
    ~TFakeHost() override { SrchJumpHost = previous_; }

    nsRichEdit* ActivateEditor(nsRichEdit* editor) override
    {
        ++activations;
        for (nsRichEdit* page : pages)
            if (page == editor)
                return page;
        return nullptr;
    }
    nsRichEdit* ShowFile(const AnsiString& path) override
    {
        opened.push_back(path);
        if (!fileEditor || GetFileAttributesW(SjisToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return nullptr;
        fileEditor->LoadFile(path, TConvMode{cmFoldLine});
        return fileEditor;
    }

    std::vector<nsRichEdit*> pages;
    nsRichEdit* fileEditor = nullptr;
    std::vector<AnsiString> opened;
    int activations = 0;

private:
    TSrchJumpHost* previous_;
};

AnsiString TempFile(const AnsiString& name, const AnsiString& text)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const AnsiString path =
        WideToSjis(std::wstring(tmp)) + "vn_msg_" + IntToStr(int(GetCurrentProcessId())) + "_" + name;
    TFileStream f(path, fmCreate);
    f.WriteBuffer(text.c_str(), text.Length());
    return path;
}

typGrepInf GrepHit(const AnsiString& path, int lineNo, const AnsiString& line, int position, int length)
{
    typGrepInf hit;
    hit.Path = path;
    hit.LineNo = lineNo;
    hit.Line = line;
    hit.Position = position;
    hit.Length = length;
    return hit;
}

// Rows given exactly: a row without a final CR is folded into the next one.
void SetRows(nsRichEdit& ed, const std::vector<std::string>& rows)
{
    ed.Lines()->Clear();
    ed.AttrList()->Clear();
    for (const std::string& r : rows)
    {
        ed.Lines()->Add(AnsiString(r.data(), int(r.size())));
        ed.AttrList()->Add(ed.MakeAttr(false, 0, 500));
    }
}

// A pack as the batch search makes it.
typSrchPack* PackOf(nsRichEdit& ed, const char* pattern)
{
    auto* pack = new typSrchPack;
    pack->Pattern = pattern;
    pack->HitPoint = ed.FindNext(TPoint(0, 0), pattern, true, false, false);
    ed.MakeSrchPack(*pack);
    return pack;
}

int deletedPacks = 0;
struct TCountedPack : typSrchPack
{
    ~TCountedPack() override { ++deletedPacks; }
};

} // namespace

TEST(MessageForm, LinePieces_HighlightTheMatchInTheShownTextsColumns)
{
    struct Case
    {
        const char* line;
        int position;
        int length;
        const char* before;
        const char* match;
        const char* after;
    };
    const Case cases[] = {
        {"abc\n", 1, 1, "a", "b", "c"},
        {"abc\r\n", 0, 3, "", "abc", ""},
        // A tab before the match moves it to the next tab stop of the shown text.
        {"\tx\n", 1, 1, "        ", "x", ""},
        {"a\tbc\n", 2, 2, "a       ", "bc", ""},
        {"あいう\n", 2, 2, "あ", "い", "う"},
        {"ｱabc\n", 1, 1, "ｱ", "a", "bc"},
        // Clamped: past the end, a negative length, a column inside a double-byte
        // character.
        {"abc\n", 100, 5, "abc", "", ""},
        {"abc\n", 1, -4, "a", "", "bc"},
        {"あい\n", 1, 2, "", "あ", "い"},
        {"あい\n", 0, 3, "", "あい", ""},
        // A control byte is shown as a blank, keeping the columns.
        {"a\x01"
         "b\n",
         2, 1, "a ", "b", ""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.line);
        typGrepInf hit = GrepHit("C:\\d\\f.txt", 7, c.line, c.position, c.length);
        TResultLinePieces pieces;
        ASSERT_TRUE(TMessageForm::LinePieces("", &hit, pieces));
        EXPECT_EQ(Shown(pieces.Prefix), "C:\\d\\f.txt(7): ");
        EXPECT_EQ(Shown(pieces.Before), c.before);
        EXPECT_EQ(Shown(pieces.Match), c.match);
        EXPECT_EQ(Shown(pieces.After), c.after);
        EXPECT_TRUE(pieces.MatchBold);
    }
}

TEST(MessageForm, LinePieces_TakeABatchHitsDisplayColumnInItsTabExpandedRow)
{
    TEditorHost host;
    SetRows(*host.editor, {"one\r", "\tあ needle x\r", "end"});
    host.editor->EditFilePath = "C:\\dir\\page.txt";
    std::unique_ptr<typSrchPack> pack(PackOf(*host.editor, "needle"));
    ASSERT_EQ(pack->HitPoint, TPoint(4, 1)); // logical: after the tab, あ and a blank
    TResultLinePieces pieces;
    ASSERT_TRUE(TMessageForm::LinePieces("", pack.get(), pieces));
    EXPECT_EQ(Shown(pieces.Prefix), "page.txt(2): ");
    EXPECT_EQ(Shown(pieces.Before), std::string(host.editor->DspPos(TPoint(4, 1)).x - 3, ' ') + "あ ");
    EXPECT_EQ(Shown(pieces.Match), "needle");
    EXPECT_EQ(Shown(pieces.After), " x");

    // A column beyond the row (a stale pack) is clamped to it.
    pack->SelPoint.x = 500;
    ASSERT_TRUE(TMessageForm::LinePieces("", pack.get(), pieces));
    EXPECT_EQ(Shown(pieces.Match), "");
    EXPECT_EQ(Shown(pieces.After), "");

    TObject plain;
    EXPECT_FALSE(TMessageForm::LinePieces("text", &plain, pieces));
    EXPECT_FALSE(TMessageForm::LinePieces("text", nullptr, pieces));
}

TEST(MessageForm, Window_ListsHitsAndMessageLinesAndFreesTheHitsItOwns)
{
    TResults results;
    TMessageForm& w = *results.form;
    typGrepInf hit = GrepHit("C:\\d\\ソース.txt", 12, "x\tあいう\r\n", 3, 2);
    w.BeginHits();
    w.MsgForm_AddGrepHit(&hit);
    w.MsgForm_AddGrepHit(&hit);
    w.EndHits();
    w.AddLine("検索文字列 'q' は見つかりません。");
    deletedPacks = 0;
    w.AddHit(new TCountedPack);
    Pump();
    TStrings* items = w.SrchResListBox->Items();
    ASSERT_EQ(items->GetCount(), 4);
    EXPECT_EQ(Shown(items->Strings(0)), "C:\\d\\ソース.txt(12):x\tあいう");
    auto* copy = dynamic_cast<typGrepInf*>(items->GetObject(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &hit); // the list keeps its own copy
    EXPECT_EQ(copy->Position, 3);
    EXPECT_EQ(items->GetObject(2), nullptr);

    // Drawing every kind of line, selected and not, must not fail.
    for (int i = 0; i < 4; ++i)
    {
        w.SrchResListBox->SetItemIndex(i);
        UpdateWindow(w.SrchResListBox->Handle());
    }
    w.MsgForm_ClearResults();
    EXPECT_EQ(items->GetCount(), 0);
    EXPECT_EQ(deletedPacks, 1);

    w.AddHit(new TCountedPack);
    w.ShowResults();
    EXPECT_EQ(w.PageControl->ActivePage(), w.Page2);
    delete results.form;
    results.form = nullptr;
    EXPECT_EQ(deletedPacks, 2);
}

TEST(MessageForm, DoubleClick_OnAFileHitOpensTheFileAndSelectsTheMatchInItsWrappedLine)
{
    // Line 2 is folded at column 60 into three rows; "target" starts on the
    // second and the hit on line 3 runs across a fold.
    const std::string line2 = std::string(70, 'a') + "target" + std::string(40, 'b');
    const std::string line3 = std::string(57, 'c') + "TARGET" + "d";
    const AnsiString path = TempFile("wrapped.txt", ("first\r\n" + line2 + "\r\n" + line3 + "\r\n").c_str());
    TEditorHost host;
    TFakeHost fake;
    fake.fileEditor = host.editor;
    TResults results;
    TMessageForm& w = *results.form;
    typGrepInf hit = GrepHit(path, 2, (line2 + "\n").c_str(), 70, 6);
    typGrepInf across = GrepHit(path, 3, (line3 + "\n").c_str(), 57, 6);
    w.MsgForm_AddGrepHit(&hit);
    w.MsgForm_AddGrepHit(&across);

    // Through the list box's own double click.
    w.SrchResListBox->SetItemIndex(0);
    const TRect r = w.SrchResListBox->ItemRect(0);
    SendMessageW(w.SrchResListBox->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(r.Left + 2, r.Top + 2));
    Pump();
    ASSERT_EQ(fake.opened.size(), 1u);
    EXPECT_EQ(Shown(fake.opened[0]), Shown(path));
    ASSERT_GT(host.editor->GetLinesCount(), 4); // the file is wrapped
    EXPECT_EQ(Shown(host.editor->GetSelText()), "target");
    EXPECT_EQ(host.editor->GetCaret().y, 2);

    w.JumpToItem(1);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "TARGET");

    // Enter jumps as well.
    host.editor->SelArea()->PointReset();
    w.SrchResListBox->SetItemIndex(0);
    char key = '\r';
    w.SrchResListBoxKeyPress(w.SrchResListBox, key);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "target");

    // A file that is gone stops the jump: the selection stays as it was.
    DeleteFileW(SjisToWide(path).c_str());
    host.editor->SelArea()->PointReset();
    w.JumpToItem(1);
    EXPECT_EQ(fake.opened.size(), 4u);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "");
}

TEST(MessageForm, DoubleClick_OnABatchHitFindsItAfterRowsWereTypedAboveAndIgnoresClosedPages)
{
    TEditorHost host;
    TFakeHost fake;
    fake.pages.push_back(host.editor);
    std::vector<std::string> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back(i == 10 ? "xx needle yy\r" : "row " + std::to_string(i) + "\r");
    SetRows(*host.editor, rows);
    TResults results;
    TMessageForm& w = *results.form;
    w.AddHit(PackOf(*host.editor, "needle"));
    w.AddLine("a message");

    host.editor->SetCaretRaw(TPoint(0, 2));
    host.editor->KeyInput("new\rnew\r");
    w.JumpToItem(0);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "needle");
    EXPECT_EQ(host.editor->GetCaret().y, 12);

    // A message line does nothing; nor does a hit whose page was closed.
    host.editor->SelArea()->PointReset();
    const int asked = fake.activations;
    w.JumpToItem(1);
    EXPECT_EQ(fake.activations, asked);
    fake.pages.clear();
    w.JumpToItem(0);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "");
}

TEST(MessageForm, HintListBox_ShowsTheFullTextOnlyForALineWiderThanTheList)
{
    TResults results;
    TMessageForm& w = *results.form;
    w.SetBounds(0, 0, 300, 150);
    Pump();
    w.AddLine("short");
    w.AddLine(AnsiString(std::string(300, 'w').c_str()));
    Pump();
    const int h = w.SrchResListBox->ItemHeight();
    EXPECT_EQ(Shown(w.SrchResListBox->HintTextAt(TPoint(5, h / 2))), "");
    EXPECT_EQ(w.SrchResListBox->HintTextAt(TPoint(5, h + h / 2)).Length(), 300);
    EXPECT_EQ(Shown(w.SrchResListBox->HintTextAt(TPoint(5, h * 5))), "");
}
