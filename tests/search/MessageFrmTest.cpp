// The search-results window under Wine: the lines it lists, where a line's
// match is highlighted, and the jump of a double click to a batch-search hit in
// its page or to a file-search hit in its file, through a host that stands for
// the main window.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "editor_page/Nsrichedit.h"
#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "search/MessageFrm.h"
#include "tests/TestServices.h"
#include "tests/editor_control/EditorTestUtil.h"
#include "platform/Clipbrd.h"

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

    void ResultsShownDocked(TControl*) override { ++shownDocked; }
    bool DockResultsAt(TCustomForm*, TPoint screenPoint) override
    {
        letGo.push_back(screenPoint);
        return false;
    }

    std::vector<nsRichEdit*> pages;
    nsRichEdit* fileEditor = nullptr;
    std::vector<AnsiString> opened;
    int activations = 0;
    int shownDocked = 0;
    std::vector<TPoint> letGo; // where the floating window was let go after a move

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

// Stands for the main window's pages of files: a file shows in at most one page,
// found by its path; a file no page shows is opened into a new page; a missing
// file opens none. Only the active page is visible.
class TFilePagesHost : public TSrchJumpHost
{
public:
    TFilePagesHost() : previous_(SrchJumpHost)
    {
        SrchJumpHost = this;
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(0, 0, 600, 300);
        form->Show();
    }
    ~TFilePagesHost() override
    {
        SrchJumpHost = previous_;
        delete form;
    }

    nsRichEdit* ActivateEditor(nsRichEdit*) override { return nullptr; }
    nsRichEdit* ShowFile(const AnsiString& path) override
    {
        for (nsRichEdit* page : pages)
            if (AnsiSameText(page->EditFilePath, path))
                return Activate(page);
        if (!FileExists(path))
            return nullptr;
        return Open(path);
    }

    nsRichEdit* Open(const AnsiString& path, TConvMode mode = TConvMode{cmFoldLine})
    {
        auto* page = Create<nsRichEdit>(form);
        page->SetBounds(0, 0, 600, 300);
        page->SetParent(form);
        page->StopDrawThread();
        pages.push_back(page);
        page->LoadFile(path, mode);
        return Activate(page);
    }
    void CloseAll()
    {
        for (nsRichEdit* page : pages)
            delete page;
        pages.clear();
        active = nullptr;
    }
    nsRichEdit* Activate(nsRichEdit* page)
    {
        for (nsRichEdit* p : pages)
            p->SetVisible(p == page);
        active = page;
        Pump();
        return page;
    }

    TForm* form;
    std::vector<nsRichEdit*> pages;
    nsRichEdit* active = nullptr;

private:
    TSrchJumpHost* previous_;
};

// A file of many paragraphs, most of them long enough to fold into several
// rows, with tabs and double-byte characters; every paragraph holds "needle"
// once. Paragraph k is paragraphs[k - 1], without its line end.
struct TWrappedFile
{
    TWrappedFile()
    {
        for (int k = 1; k <= 30; ++k)
        {
            std::string p = "k" + std::to_string(k) + ":";
            if (k % 3 == 0)
                p += " short needle";
            else
            {
                for (int i = 0; i < 2 + k % 4; ++i)
                    p += "\tあいう abc\tdef ｶﾅ ";
                p += "x\tneedle";
                for (int i = 0; i < k % 3; ++i)
                    p += "\tえお tail text of the paragraph";
            }
            paragraphs.push_back(p);
            text += p + "\r\n";
        }
    }
    // Where the hit on paragraph k lies in the rows of an editor holding the
    // file: the paragraph's start in the joined rows (line ends are one CR
    // there), on by the match's byte offset.
    TPoint Expected(nsRichEdit& ed, int k) const
    {
        size_t offset = 0;
        for (int i = 0; i + 1 < k; ++i)
            offset += paragraphs[size_t(i)].size() + 1;
        offset += Position(k);
        for (int row = 0; row < ed.GetLinesCount(); ++row)
        {
            const size_t len = size_t(ed.GetLine(row).Length());
            if (offset < len)
                return TPoint(int(offset), row);
            offset -= len;
        }
        return TPoint(-1, -1);
    }
    int Position(int k) const { return int(paragraphs[size_t(k - 1)].find("needle")); }
    typGrepInf Hit(const AnsiString& path, int k) const
    {
        return GrepHit(path, k, (paragraphs[size_t(k - 1)] + "\n").c_str(), Position(k), 6);
    }

    std::vector<std::string> paragraphs;
    std::string text;
};

// The selection is the hit, the caret at its start, and its row on screen.
void ExpectHitSelected(nsRichEdit& ed, const TPoint& logical)
{
    const TPoint d = ed.DspPos(logical);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), d);
    EXPECT_EQ(Shown(ed.GetSelText()), "needle");
    EXPECT_EQ(ed.GetCaret(), d);
    EXPECT_LE(ed.GetTopLine(), d.y);
    EXPECT_LT(d.y, ed.GetTopLine() + ed.GetDspRowCount());
}
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
    LoadRows(*host.editor, {"one\r", "\tあ needle x\r", "end"});
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

TEST(MessageForm, Window_ListsAHitAsPathLineAndTheLineWithoutItsEndCutOnACharacter)
{
    const std::string wide = std::string(1023, 'x') + "表示";  // 表 straddles byte 1,024
    const std::string exact = std::string(1024, 'y') + "z";
    const struct
    {
        const char* name;
        std::string line;
        std::string listed; // after "C:\d\f.txt(9):"
    } cases[] = {
        {"CR LF", "a 漢字\r\n", "a 漢字"},
        {"LF and CR", "b\n\r", "b"},
        {"no end", "ｶﾅ", "ｶﾅ"},
        {"empty", "\n", ""},
        {"cut before a character across the limit", wide + "\n", std::string(1023, 'x')},
        {"cut at the limit", exact + "\n", std::string(1024, 'y')},
    };
    TResults results;
    TMessageForm& w = *results.form;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        w.MsgForm_ClearResults();
        const typGrepInf hit = GrepHit("C:\\d\\f.txt", 9, c.line.c_str(), 0, 1);
        w.MsgForm_AddGrepHit(&hit);
        EXPECT_EQ(Shown(w.SrchResListBox->Items()->Strings(0)), "C:\\d\\f.txt(9):" + c.listed);
    }
}

TEST(MessageForm, Window_DrawsTheSelectedLineWhiteOnBlueAndTheOthersBlackOnWhite)
{
    TResults results;
    TMessageForm& w = *results.form;
    w.SetBounds(40, 40, 700, 160);
    const typGrepInf hit = GrepHit("C:\\d\\ソース.txt", 3, "abc 検索 needle xyz\n", 9, 6);
    w.MsgForm_AddGrepHit(&hit);
    w.MsgForm_AddGrepHit(&hit);
    w.AddLine("検索文字列 'q' は見つかりません。");
    w.SrchResListBox->SetItemIndex(0);
    Pump();
    HWND list = w.SrchResListBox->Handle();
    UpdateWindow(list);
    HDC dc = GetDC(list);
    auto count = [dc](const TRect& r, COLORREF rgb) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < std::min<int>(r.Right, 500); ++x)
                n += GetPixel(dc, x, y) == rgb;
        return n;
    };
    const TRect selected = w.SrchResListBox->ItemRect(0);
    const int area = selected.Height() * std::min<int>(selected.Width(), 500);
    EXPECT_GT(count(selected, 0xE35400), area / 2); // the blue of a selected line
    EXPECT_GT(count(selected, RGB(255, 255, 255)), 20); // its text in white
    for (int i : {1, 2})
    {
        const TRect r = w.SrchResListBox->ItemRect(i);
        EXPECT_GT(count(r, RGB(255, 255, 255)), area / 2) << "line " << i;
        EXPECT_GT(count(r, RGB(0, 0, 0)), 20) << "line " << i;
        EXPECT_EQ(count(r, 0xE35400), 0) << "line " << i;
    }
    ReleaseDC(list, dc);
}

TEST(MessageForm, Window_StaysOnTopWhileFloatingAndCopiesOneLineOrAll)
{
    TResults results;
    TMessageForm& w = *results.form;
    EXPECT_TRUE(GetWindowLongW(w.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(w.SrchResListBox->ContextMenu, w.PopupMenu);

    w.AddLine("一行目");
    w.AddLine("second");
    Clipboard()->SetAsText("before");
    w.CompMesCopyMenu->Click(); // nothing selected: the clipboard stays
    EXPECT_EQ(Shown(Clipboard()->GetAsText()), "before");
    w.SrchResListBox->SetItemIndex(0);
    w.CompMesCopyMenu->Click();
    EXPECT_EQ(Shown(Clipboard()->GetAsText()), "一行目");
    w.CopyAllMenu->Click();
    EXPECT_EQ(Shown(Clipboard()->GetAsText()), "一行目\r\nsecond\r\n");
    w.MsgForm_ClearResults();
    w.CopyAllMenu->Click(); // an empty list leaves the clipboard alone
    EXPECT_EQ(Shown(Clipboard()->GetAsText()), "一行目\r\nsecond\r\n");

    // Docked it is a child window, and the global pointer never outlives the window.
    auto* host = Create<TForm>(nullptr);
    auto* panel = Create<TPanel>(host);
    panel->SetParent(host);
    panel->SetDockSite(true);
    host->Show();
    MessageForm = &w;
    ASSERT_TRUE(ManualDock(&w, panel));
    EXPECT_FALSE(GetWindowLongW(w.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    delete host; // the panel takes its docked window with it
    results.form = nullptr;
    EXPECT_EQ(MessageForm, nullptr);
}

TEST(MessageForm, Window_TellsItsHostWhenShownDockedAndWhereAMoveEndedWhileFloating)
{
    TFakeHost fake;
    TResults results;
    TMessageForm& w = *results.form;
    auto* host = Create<TForm>(nullptr);
    auto* panel = Create<TPanel>(host);
    panel->SetParent(host);
    panel->SetDockSite(true);
    host->Show();
    ASSERT_TRUE(ManualDock(&w, panel));
    fake.shownDocked = 0;
    for (int round = 1; round <= 2; ++round)
    {
        w.Hide();
        w.Show();
        Pump();
        EXPECT_EQ(fake.shownDocked, round); // the panel takes back its room once per showing
    }
    SendMessageW(w.Handle(), WM_EXITSIZEMOVE, 0, 0);
    EXPECT_TRUE(fake.letGo.empty()); // a docked window is not let go anywhere

    ASSERT_TRUE(ManualFloat(&w, TRect(200, 200, 500, 340)));
    ASSERT_TRUE(PlaceCursor(250, 210));
    SendMessageW(w.Handle(), WM_EXITSIZEMOVE, 0, 0);
    ASSERT_EQ(fake.letGo.size(), 1u);
    EXPECT_EQ(fake.letGo[0], TPoint(250, 210));
    delete host;
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

    // A file that is gone stops the jump with a box: the selection stays as it
    // was.
    TBoxServices boxes;
    DeleteFileW(SjisToWide(path).c_str());
    host.editor->SelArea()->PointReset();
    w.JumpToItem(1);
    EXPECT_EQ(fake.opened.size(), 4u);
    EXPECT_EQ(Shown(host.editor->GetSelText()), "");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0], Shown(Format(msgOpenFailed, {path})));
}

TEST(MessageForm, DoubleClick_OnAFileHitLandsOnItsParagraphAfterManyWrappedOnes)
{
    const TWrappedFile file;
    const AnsiString path = TempFile("long.txt", file.text.c_str());
    const AnsiString other = TempFile("other.txt", "other\r\n");
    const int lines[] = {1, 2, 14, 25, 27, 30};
    // The file open in a page behind another one, then not open at all.
    for (const bool open : {true, false})
    {
        SCOPED_TRACE(open ? "open in a page" : "not open");
        TFilePagesHost host;
        nsRichEdit* page = open ? host.Open(path) : nullptr;
        nsRichEdit* otherPage = host.Open(other);
        TResults results;
        TMessageForm& w = *results.form;
        for (int k : lines)
        {
            const typGrepInf hit = file.Hit(path, k);
            w.MsgForm_AddGrepHit(&hit);
        }
        for (size_t i = 0; i < std::size(lines); ++i)
        {
            const int k = lines[i];
            SCOPED_TRACE("line " + std::to_string(k));
            host.Activate(otherPage);
            // Through the list box's own double click.
            w.SrchResListBox->SetItemIndex(int(i));
            w.SrchResListBox->SetTopIndex(int(i));
            const TRect r = w.SrchResListBox->ItemRect(int(i));
            SendMessageW(w.SrchResListBox->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON,
                         MAKELPARAM(r.Left + 2, r.Top + 2));
            Pump();
            ASSERT_EQ(host.pages.size(), 2u) << "one page per file";
            if (!page)
                page = host.pages.back();
            ASSERT_EQ(host.active, page);
            EXPECT_EQ(Shown(page->EditFilePath), Shown(path));
            EXPECT_EQ(Shown(otherPage->GetSelText()), "");
            const TPoint expected = file.Expected(*page, k);
            ASSERT_GE(expected.y, 0);
            ExpectHitSelected(*page, expected);
        }
        // The file is folded: most hits lie on a row that continues its
        // paragraph, after a tab.
        ASSERT_GT(page->GetLinesCount(), 60);
        const TPoint deep = file.Expected(*page, 25);
        EXPECT_FALSE(page->isCrLine(deep.y - 1));
        EXPECT_GT(page->DspPos(deep).x, deep.x);
    }
    DeleteFileW(SjisToWide(path).c_str());
    DeleteFileW(SjisToWide(other).c_str());
}

// Whatever row and column a hit starts on, and however it runs across folds, the jump shows all
// of it, from a view scrolled elsewhere.
TEST(MessageForm, DoubleClick_OnAFileHitShowsTheWholeHit)
{
    const int kHitLength = 40;
    std::string text;
    std::vector<int> starts;
    for (int k = 0; k < 90; ++k)
    {
        starts.push_back((k * 37) % 190);
        text += std::string(size_t(starts.back()), 'a') + std::string(kHitLength, 'N') + "tail\r\n";
    }
    const AnsiString path = TempFile("whole.txt", text.c_str());
    std::vector<typGrepInf> hits;
    for (int k = 0; k < 90; ++k)
        hits.push_back(GrepHit(path, k + 1, "", starts[size_t(k)], kHitLength));
    for (const bool folded : {true, false})
    {
        TFilePagesHost host;
        host.Open(path, folded ? TConvMode{cmFoldLine} : TConvMode{});
        TResults results;
        TMessageForm& w = *results.form;
        for (const typGrepInf& hit : hits)
            w.MsgForm_AddGrepHit(&hit);
        // From the top, from the end and from the far right of the file.
        for (int from = 0; from < 3; ++from)
            for (int i = 0; i < int(hits.size()); i += 1 + from)
            {
                SCOPED_TRACE(std::string(folded ? "folded" : "not folded") + ", from " + std::to_string(from) +
                             ", line " + std::to_string(i + 1));
                nsRichEdit& page = *host.active;
                page.SelArea()->PointReset();
                page.SetTopLine(from == 1 ? page.GetLinesCount() - 1 : 0);
                for (int n = 0; n < 8; ++n)
                    SendMessageW(page.Handle(), WM_HSCROLL, from == 2 ? SB_PAGERIGHT : SB_PAGELEFT, 0);
                Pump();
                w.SrchResListBox->SetItemIndex(i);
                w.SrchResListBox->SetTopIndex(i);
                const TRect r = w.SrchResListBox->ItemRect(i);
                SendMessageW(w.SrchResListBox->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON,
                             MAKELPARAM(r.Left + 2, r.Top + 2));
                Pump();
                ASSERT_EQ(host.active, &page);
                ASSERT_EQ(Shown(page.GetSelText()), std::string(kHitLength, 'N'));
                // The hit's first and last cells lie in the view.
                const TPoint d = page.SelArea()->GetStartPoint(), e = page.SelArea()->GetEndPoint();
                const TPoint last = e.x > 0 ? TPoint(e.x - 1, e.y) : TPoint(INT_MAX, e.y - 1);
                const int top = page.GetTopLine(), left = page.GetLeftCol();
                const int rows = page.GetDspRowCount(), cols = page.GetDspColCount();
                EXPECT_GE(d.y, top);
                EXPECT_LE(last.y, top + rows - 1);
                EXPECT_GE(d.x, left);
                if (last.x != INT_MAX)
                {
                    EXPECT_LE(last.x, left + cols - 1);
                }
            }
    }
    DeleteFileW(SjisToWide(path).c_str());
}

// The file search counts lines at LF; the editor ends a paragraph at CR, LF,
// CR LF or LF CR. Each file has "x needle" as its third paragraph, and the hit
// is given as the file search reports it.
TEST(MessageForm, DoubleClick_OnAFileHitFindsItsParagraphWhateverTheLineEnds)
{
    struct Case
    {
        const char* name;
        const char* text;
        int lineNo;
        const char* line;
        int position;
    } cases[] = {
        {"CR LF", "one\r\ntwo\r\nx needle\r\nend", 3, "x needle\n", 2},
        {"LF", "one\ntwo\nx needle\nend", 3, "x needle\n", 2},
        {"CR", "one\rtwo\rx needle\rend", 1, "one\rtwo\rx needle\rend", 10},
        {"LF CR", "one\n\rtwo\n\rx needle\n\rend", 3, "\rx needle\n", 3},
        {"CR inside an LF line", "one\ntwo\rx needle\nend", 2, "two\rx needle\n", 6},
        {"CR and LF CR", "one\n\r\rx needle\nend", 2, "\r\rx needle\n", 4},
    };
    TBoxServices boxes;
    TFilePagesHost host;
    TResults results;
    TMessageForm& w = *results.form;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const AnsiString path = TempFile("ends.txt", c.text);
        host.CloseAll();
        w.MsgForm_ClearResults();
        const typGrepInf hit = GrepHit(path, c.lineNo, c.line, c.position, 6);
        w.MsgForm_AddGrepHit(&hit);
        w.JumpToItem(0);
        ASSERT_EQ(host.pages.size(), 1u);
        nsRichEdit& page = *host.pages[0];
        ASSERT_EQ(Shown(page.GetLine(2)), "x needle\r");
        EXPECT_EQ(Shown(page.GetSelText()), "needle");
        EXPECT_EQ(page.SelArea()->GetStartPoint(), TPoint(2, 2));
        DeleteFileW(SjisToWide(path).c_str());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(MessageForm, AHitInAPieceOfAVeryLongLineIsListedShortAndJumpsToItsPlace)
{
    TBoxServices boxes;
    TFilePagesHost host;
    TResults results;
    TMessageForm& w = *results.form;
    const std::string line = std::string(3000, 'x') + "needle" + std::string(2000, 'y');
    const AnsiString path = TempFile("long.txt", ("first\n" + line + "\nlast").c_str());
    // The search took the line in pieces; this one starts 2,000 bytes in.
    const std::string piece = line.substr(2000) + "\n";
    typGrepInf hit = GrepHit(path, 2, piece.c_str(), 1000, 6);
    hit.LineOffset = 2000;
    w.MsgForm_AddGrepHit(&hit);
    const AnsiString listed = w.SrchResListBox->Items()->Strings(0);
    EXPECT_LE(listed.Length(), path.Length() + 8 + 1024);
    EXPECT_EQ(Shown(listed.SubString(1, path.Length() + 4)), Shown(path) + "(2):");
    w.JumpToItem(0);
    ASSERT_EQ(host.pages.size(), 1u);
    EXPECT_EQ(Shown(host.pages[0]->GetSelText()), "needle");
    EXPECT_TRUE(boxes.boxes.empty());
    host.CloseAll();
    DeleteFileW(SjisToWide(path).c_str());
}

TEST(MessageForm, DoubleClick_OnAFileHitThatNoLongerOpensStopsWithABoxAndAddsNoPage)
{
    const TWrappedFile file;
    const AnsiString path = TempFile("gone.txt", file.text.c_str());
    const AnsiString other = TempFile("other2.txt", "other needle\r\n");
    TBoxServices boxes;
    TFilePagesHost host;
    nsRichEdit* otherPage = host.Open(other);
    TResults results;
    TMessageForm& w = *results.form;
    const typGrepInf hit = file.Hit(path, 25);
    w.MsgForm_AddGrepHit(&hit);

    // Deleted while its page is open: the page still shows the text, so the jump
    // lands there.
    nsRichEdit* page = host.Open(path);
    host.Activate(otherPage);
    DeleteFileW(SjisToWide(path).c_str());
    w.JumpToItem(0);
    EXPECT_EQ(host.active, page);
    ExpectHitSelected(*page, file.Expected(*page, 25));
    EXPECT_TRUE(boxes.boxes.empty());
    host.pages.pop_back();
    delete page;
    host.Activate(otherPage);

    // Deleted and not open: a box, no page, the active page as it was.
    otherPage->SelArea()->PutStartPoint(TPoint(6, 0));
    otherPage->SelArea()->PutEndPoint(TPoint(12, 0));
    w.JumpToItem(0);
    EXPECT_EQ(host.pages.size(), 1u);
    EXPECT_EQ(host.active, otherPage);
    EXPECT_EQ(Shown(otherPage->GetSelText()), "needle");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0], Shown(Format(msgOpenFailed, {path})));

    // Written again with fewer lines than the hit's: the file opens, the jump
    // stops with a box.
    boxes.boxes.clear();
    TempFile("gone.txt", file.text.substr(0, file.text.find("k21:")).c_str());
    w.JumpToItem(0);
    ASSERT_EQ(host.pages.size(), 2u);
    EXPECT_GT(host.pages.back()->GetLinesCount(), 20);
    EXPECT_EQ(Shown(host.pages.back()->GetSelText()), "");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0], "25 行目は存在しません");
    DeleteFileW(SjisToWide(path).c_str());
    DeleteFileW(SjisToWide(other).c_str());
}

TEST(MessageForm, DoubleClick_OnABatchHitFindsItAfterRowsWereTypedAboveAndIgnoresClosedPages)
{
    TEditorHost host;
    TFakeHost fake;
    fake.pages.push_back(host.editor);
    std::vector<std::string> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back(i == 10 ? "xx needle yy\r" : "row " + std::to_string(i) + "\r");
    LoadRows(*host.editor, rows);
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
