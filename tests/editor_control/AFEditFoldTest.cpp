#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "editor_control/AFEditText.h"
#include "tests/HexText.h"
#include "platform/Classes.h"

namespace
{
struct Listener : TObject
{
    int calls = 0;
    int wrapTo = 0;
    void OnBreak(TObject*, AnsiString, int& wrap)
    {
        ++calls;
        wrap = wrapTo;
    }
};
} // namespace

TEST(WordBreak, RuleTable)
{
    auto ed = NewEditor();
    struct Case
    {
        const char* name;
        TAFEditOptions options;
        std::string text;
        int wrap;
        int expected;
    } cases[] = {
        {"fits", {aoAutoFormat}, std::string(50, 'a'), 60, 60},
        {"plain cut", {aoAutoFormat}, std::string(80, 'a'), 60, 60},
        {"never splits a double-byte character", {aoAutoFormat}, "a" + std::string("漢漢漢漢漢漢漢漢漢漢"), 6, 5},
        {"banned head hangs", {aoAutoFormat, aoJpnBanBreak}, std::string(60, 'a') + "。b", 60, 62},
        {"two banned heads hang", {aoAutoFormat, aoJpnBanBreak}, std::string(60, 'a') + "。」b", 60, 64},
        // The trail budget (4) is tested before it is raised: 0, 2 and 4 let a character hang.
        {"three banned heads hang", {aoAutoFormat, aoJpnBanBreak}, std::string(60, 'a') + "。」。b", 60, 66},
        {"a fourth moves the break back before them", {aoAutoFormat, aoJpnBanBreak},
         std::string(60, 'a') + "。」。。b", 60, 59},
        {"cr hangs", {aoAutoFormat, aoJpnBanBreak}, std::string(60, 'a') + "\r", 60, 60},
        {"banned end moves back", {aoAutoFormat, aoJpnBanBreak}, std::string(58, 'a') + "（" + std::string(10, 'b'),
         60, 58},
        {"rules off", {aoAutoFormat}, std::string(60, 'a') + "。b", 60, 60},
        {"word moves whole", {aoAutoFormat, aoWordWrap}, std::string(54, ' ') + "abcdefghij", 60, 54},
        {"long word breaks eleven before", {aoAutoFormat, aoWordWrap}, std::string(40, ' ') + std::string(30, 'w'),
         60, 49},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ed->SetOptions(c.options);
        AnsiString s(c.text.data(), int(c.text.size()));
        int first = ed->WordBreak(s, c.wrap, 0);
        if (std::string(c.name) == "cr hangs")
            EXPECT_GE(first, s.Length()); // the CR stays on the piece
        else
            EXPECT_EQ(first, c.expected);
        // Another decision in between never changes the next one.
        ed->WordBreak(AnsiString(std::string(70, 'z') + "。。。。。。"), 70, 0);
        EXPECT_EQ(ed->WordBreak(s, c.wrap, 0), first);
    }
}

TEST(WordBreak, BanLookupAgreesWithSearchingTheRuleString)
{
    auto ed = NewEditor();
    const std::string sets[] = {
        ed->GetBanHead().str(), ed->GetBanEnd().str(), "", "a", "\x81", "a\x81", "\x81" "Aa", "x。y\x95\\",
        "\x81\x81\x81", "AA\x81", "\xB6\xDF.",
    };
    for (const std::string& set : sets)
    {
        const AnsiString scanned(set.data(), int(set.size()));
        TBanSet lookup;
        lookup.Assign(set.data(), int(set.size()));
        for (int first = 0; first < 256; ++first)
        {
            const char one[1] = {char(first)};
            ASSERT_EQ(lookup.Contains(one, 1), scanned.AnsiPos(AnsiString(one, 1)) > 0) << Hex(set) << " " << first;
            for (int second = 0; second < 256; ++second)
            {
                const char two[2] = {char(first), char(second)};
                ASSERT_EQ(lookup.Contains(two, 2), scanned.AnsiPos(AnsiString(two, 2)) > 0)
                    << Hex(set) << " " << first << " " << second;
            }
        }
    }
}

TEST(WordBreak, HandlerReplacesTheRules)
{
    auto ed = NewEditor();
    Listener l;
    l.wrapTo = 7;
    ed->OnWordBreak = TWordBreakNotifyEvent(&l, &Listener::OnBreak);
    EXPECT_EQ(ed->WordBreak(AnsiString(std::string(80, 'a')), 60, 0), 7);
    EXPECT_EQ(l.calls, 1);
    // A handler's break outside the row is clamped by folding: the text survives whole.
    l.wrapTo = -5;
    LoadText(*ed, std::string(100, 'q') + "\r\n");
    EXPECT_EQ(JoinedRows(*ed), std::string(100, 'q') + "\r");
    l.wrapTo = 1000;
    LoadText(*ed, std::string(100, 'q') + "\r\n");
    EXPECT_EQ(JoinedRows(*ed), std::string(100, 'q') + "\r");
}

namespace
{
// Layout invariants of the folded rows; model is the text with CR line ends.
void ExpectSettled(TCustomAFEdit& ed, const std::string& model, const std::string& where)
{
    ASSERT_EQ(JoinedRows(ed), model) << where;
    int n = ed.GetLinesCount();
    ASSERT_GE(n, 1) << where;
    ASSERT_FALSE(ed.isCrLine(n - 1)) << where << ": last row ends a paragraph";
    std::string para;
    for (int i = 0; i < n; ++i)
    {
        std::string row = ed.GetLine(i).str();
        size_t cr = row.find('\r');
        if (cr != std::string::npos)
        {
            ASSERT_EQ(cr, row.size() - 1) << where << ": CR inside row " << i;
        }
        if (i < n - 1)
        {
            ASSERT_FALSE(row.empty()) << where << ": empty row " << i;
        }
        // A row never starts on the second byte of a character of its paragraph.
        ASSERT_NE(ByteTypeAt((para + row).data(), int(para.size() + row.size()), int(para.size())), mbTrailByte)
            << where << ": row " << i << " splits a character";
        para = cr != std::string::npos ? std::string() : para + row;
        TAttrListItem* rec = ed.GetLinesAttr(i);
        if (rec->ColAttr)
        {
            ASSERT_EQ(rec->ColAttr->GetCount(), int(row.size())) << where << ": column list of row " << i;
        }
        if (cr == std::string::npos && i < n - 1 && ed.GetOptions().Contains(aoAutoFormat))
        {
            int width = ed.DisplayText(i).Length();
            ASSERT_LE(width, int(rec->WrapPos) + 8) << where << ": row " << i << " too wide";
        }
    }
}

int CharLen(const std::string& s, size_t at)
{
    return at + 1 < s.size() && IsSjisLead((unsigned char)s[at]) ? 2 : 1;
}
} // namespace

TEST(FoldLine, RandomEditsKeepTheLayoutAndUndoRestoresEverything)
{
    const char* pieces[] = {"a", "b", "word ", "漢字", "。", "「", "」", "\t", " ", "ｶﾅ", "\r", "、", "xyz"};
    const int kPieces = sizeof pieces / sizeof *pieces;
    for (unsigned seed = 1; seed <= 12; ++seed)
    {
        std::mt19937 rng(seed);
        auto ed = NewEditor();
        TAFEditOptions opts{aoAutoFormat};
        if (seed % 2)
            opts << aoJpnBanBreak;
        if (seed % 3 == 0)
            opts << aoWordWrap;
        ed->SetOptions(opts);
        ed->SetDefWrapPos(seed % 4 == 0 ? 10 : 20 + int(seed));
        std::string start;
        for (int i = 0; i < 60; ++i)
            start += pieces[rng() % kPieces];
        std::string model;
        for (char c : start)
            if (c != '\n')
                model += c;
        std::string loadBytes;
        for (char c : model)
            loadBytes += c == '\r' ? std::string("\r\n") : std::string(1, c);
        LoadText(*ed, loadBytes);
        const auto firstRows = RowsOf(*ed);
        ExpectSettled(*ed, model, "seed " + std::to_string(seed) + " load");
        for (int i = 0; i < ed->GetLinesCount(); i += 3)
            ed->GetColAttrs(i);

        for (int step = 0; step < 150; ++step)
        {
            std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            int row = int(rng() % unsigned(ed->GetLinesCount()));
            std::string text = ed->GetLine(row).str();
            // A character boundary of the row.
            std::vector<int> cuts{0};
            for (size_t k = 0; k < text.size(); k += size_t(CharLen(text, k)))
                cuts.push_back(int(k + size_t(CharLen(text, k))));
            int col = cuts[rng() % cuts.size()];
            size_t offset = 0;
            for (int i = 0; i < row; ++i)
                offset += ed->GetLine(i).Length();
            ed->SetUndoGroupId(ed->UndoGroupId() + 1);
            ed->SetCaretRaw(TPoint(0, row));
            if (rng() % 3 != 0 || text.empty())
            {
                std::string ins = pieces[rng() % kPieces];
                if (rng() % 4 == 0)
                    ins += pieces[rng() % kPieces];
                std::string next = text.substr(0, size_t(col)) + ins + text.substr(size_t(col));
                ed->ColAttrEdit(row, col, int(ins.size()), emInsert);
                ed->LineChange(row, AnsiString(next.data(), int(next.size())), false);
                model.insert(offset + size_t(col), ins);
            }
            else
            {
                int end = cuts[rng() % cuts.size()];
                int from = std::min(col, end), to = std::max(col, end);
                if (from == to)
                    continue;
                // The last row never ends a paragraph: keep its bytes CR-free by construction.
                std::string next = text.substr(0, size_t(from)) + text.substr(size_t(to));
                ed->ColAttrEdit(row, from, to - from, emDelete);
                ed->LineChange(row, AnsiString(next.data(), int(next.size())), false);
                model.erase(offset + size_t(from), size_t(to - from));
            }
            ed->FoldLine(row);
            ExpectSettled(*ed, model, where);
            if (HasFatalFailure())
                return;
            ASSERT_LT(ed->GetCaret().y, ed->GetLinesCount()) << where;
        }
        const auto lastRows = RowsOf(*ed);
        while (ed->CanUndo())
            ed->Undo();
        EXPECT_EQ(RowsOf(*ed), firstRows) << "seed " << seed << ": undo of everything";
        while (ed->CanRedo())
            ed->Redo();
        EXPECT_EQ(RowsOf(*ed), lastRows) << "seed " << seed << ": redo of everything";
        EXPECT_EQ(ed->AttrList()->GetCount() >= ed->GetLinesCount(), true);
    }
}

TEST(FoldLine, DegenerateWrapPositionsTerminate)
{
    auto ed = NewEditor();
    ed->SetOptions(TAFEditOptions{aoAutoFormat, aoJpnBanBreak, aoWordWrap});
    LoadText(*ed, std::string(40, 'x') + "\t\t\t漢字。。。。\r\n", TConvMode());
    for (int wrap : {0, 1, 2, 3, 9})
    {
        for (int indent : {0, 1, 5, 20})
        {
            LoadText(*ed, std::string(40, 'x') + "\t\t\t漢字。。。。\r\nnext", TConvMode());
            ed->GetLinesAttr(0)->WrapPos = uint16_t(wrap);
            ed->GetLinesAttr(0)->Indent = int16_t(indent);
            ed->SetTabSize(16);
            ed->FoldLine(0);
            EXPECT_EQ(JoinedRows(*ed), std::string(40, 'x') + "\t\t\t漢字。。。。\rnext") << wrap << "/" << indent;
        }
    }
}

TEST(FoldLine, TypingAtTheStartOfAParagraphRefoldsAndUndoesInOneStep)
{
    auto ed = NewEditor();
    LoadText(*ed, std::string(150, 'p') + "\r\nq");
    ASSERT_EQ(ed->GetLinesCount(), 4);
    auto before = RowsOf(*ed);
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->LineChange(0, AnsiString("ZZ" + std::string(60, 'p')), false);
    ed->FoldLine(0);
    EXPECT_EQ(JoinedRows(*ed), "ZZ" + std::string(150, 'p') + "\rq");
    EXPECT_EQ(ed->GetLine(1).Length(), 60);
    EXPECT_EQ(ed->GetLine(2).Length(), 33);
    EXPECT_EQ(ed->GetLine(3), "q");
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), before);
    EXPECT_FALSE(ed->CanUndo());
}

// Edits that empty the last piece of a wrapped paragraph: the rows are those a fresh load of the
// same text has, the caret stands at the end of the text, and undo gives the rows back.
TEST(FoldLine, AnEditThatEmptiesTheLastPieceLeavesTheRowsOfAFreshLoad)
{
    auto select = [](TCustomAFEdit& e, TPoint a, TPoint b) {
        e.SelArea()->PutStartPoint(a);
        e.SelArea()->PutEndPoint(b);
        e.SetCaretRaw(b);
    };
    struct TCase
    {
        const char* what;
        std::string text;
        std::function<void(TCustomAFEdit&)> edit;
    } cases[] = {
        {"Backspace after the last character", "abcdefghijk",
         [](TCustomAFEdit& e) {
             e.SetCaretRaw(TPoint(1, 1));
             e.DoCtrlKeyPress(CharKey(VK_BACK));
         }},
        {"Delete of the last character", "abcdefghijk",
         [](TCustomAFEdit& e) {
             e.SetCaretRaw(TPoint(0, 1));
             e.DeleteAtCaret();
         }},
        {"the last piece selected and deleted", "abcdefghijkl",
         [&](TCustomAFEdit& e) {
             select(e, TPoint(0, 1), TPoint(2, 1));
             e.SelectAreaDel();
         }},
        {"a selection from a CR-only row to the end", "abcdefghij\r\nxy",
         [&](TCustomAFEdit& e) {
             select(e, TPoint(0, 1), TPoint(2, 2));
             e.SelectAreaDel();
         }},
        {"the last piece deleted as a row selection", "abcdefghijk",
         [](TCustomAFEdit& e) {
             e.SelArea()->PutStartRow(1);
             e.SelArea()->PutEndRow(1);
             e.SetCaretRaw(TPoint(1, 1));
             e.SelectAreaDel();
         }},
        {"a double-byte piece", "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9",
         [](TCustomAFEdit& e) {
             e.SetCaretRaw(TPoint(2, 1));
             e.DoCtrlKeyPress(CharKey(VK_BACK));
         }},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        auto ed = NewEditor();
        ed->SetDefWrapPos(10);
        LoadText(*ed, c.text);
        const std::vector<std::string> before = RowsOf(*ed);
        c.edit(*ed);
        auto fresh = NewEditor();
        fresh->SetDefWrapPos(10);
        std::string bytes;
        for (char ch : JoinedRows(*ed))
            bytes += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
        LoadText(*fresh, bytes);
        EXPECT_EQ(RowsOf(*ed), RowsOf(*fresh));
        EXPECT_EQ(ed->AttrList()->GetCount(), ed->GetLinesCount());
        EXPECT_EQ(OffsetOfDisplayPoint(*ed, ed->GetCaret()), JoinedRows(*ed).size());
        ed->Undo();
        EXPECT_EQ(RowsOf(*ed), before);
    }
}

TEST(FoldLine, JoinKeepsTheCaretOnItsCharacter)
{
    auto ed = NewEditor();
    LoadText(*ed, std::string(100, 'j') + "\r\n");
    ASSERT_EQ(ed->GetLinesCount(), 3);
    ed->SetCaretRaw(TPoint(5, 1)); // on the 66th byte of the paragraph
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->LineChange(0, AnsiString(std::string(10, 'j')), false);
    ed->FoldLine(0);
    ASSERT_EQ(ed->GetLine(0).Length(), 51);
    EXPECT_EQ(ed->GetCaret(), TPoint(15, 0)); // 10 + 5, still before the same character
}

TEST(FoldLine, AVetoedHalfOfAFoldChangesNothing)
{
    struct Veto : TObject
    {
        int refuseRow = -1;
        void OnBefore(TObject*, int row, AnsiString& text, bool& can)
        {
            if (row == refuseRow)
                can = false;
        }
    } veto;
    auto ed = NewEditor();
    LoadText(*ed, std::string(100, 'v') + "\r\n");
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->LineChange(0, AnsiString(std::string(65, 'v')), false);
    veto.refuseRow = 1;
    ed->OnBeforeChange = TBeforeChangeNotifyEvent(&veto, &Veto::OnBefore);
    ed->FoldLine(0);
    EXPECT_EQ(JoinedRows(*ed), std::string(65, 'v') + std::string(40, 'v') + "\r");
}

namespace
{
// One user step of a reproduction.
struct Step
{
    enum Kind
    {
        type,
        over, // typing in overwrite mode
        tab,
        paste,
        del
    } kind;
    std::string text;
};

void RunStep(TCustomAFEdit& ed, const Step& s)
{
    switch (s.kind)
    {
    case Step::type:
    case Step::over:
        ed.SetInsertMode(s.kind == Step::type);
        ed.KeyInput(AnsiString(s.text.data(), int(s.text.size())));
        break;
    case Step::tab:
        ed.DoCtrlKeyPress(CharKey(VK_TAB));
        break;
    case Step::paste:
        ed.PasteText(AnsiString(s.text.data(), int(s.text.size())));
        break;
    case Step::del:
        ed.DeleteAtCaret();
        break;
    }
}

void SetRecords(TCustomAFEdit& ed, int indent, int wrap)
{
    for (int i = 0; i < ed.GetLinesCount(); ++i)
    {
        ed.GetLinesAttr(i)->Indent = int16_t(indent);
        ed.GetLinesAttr(i)->WrapPos = uint16_t(wrap);
    }
}
} // namespace

TEST(FoldLine, TheCaretStaysOnItsCharacterWhereverTheCutLands)
{
    struct Case
    {
        const char* name;
        TAFEditOptions options;
        int wrap;
        int tab;
        std::function<void(TCustomAFEdit&)> setup;
        std::vector<Step> steps;
        std::string text;   // the rows joined
        size_t caretOffset; // where the caret stands in it
    };
    const Case cases[] = {
        {"a tab cut back to its start", {aoAutoFormat}, 10, 4, [](TCustomAFEdit&) {},
         {{Step::type, "abcdefgh"}, {Step::tab, ""}, {Step::type, "x"}}, "abcdefgh\tx", 10},
        {"a tab after a double-byte character", {aoAutoFormat}, 10, 4, [](TCustomAFEdit&) {},
         {{Step::type, "abcdef漢"}, {Step::tab, ""}, {Step::type, "x"}}, "abcdef漢\tx", 10},
        {"a tab past the wrap", {aoAutoFormat}, 10, 4, [](TCustomAFEdit&) {},
         {{Step::type, "abcdefghi"}, {Step::tab, ""}, {Step::type, "x"}}, "abcdefghi\tx", 11},
        {"a pasted tab and line end", {aoAutoFormat}, 10, 4,
         [](TCustomAFEdit& ed) {
             LoadText(ed, "abcdefgh");
             ed.SetCaretRaw(TPoint(8, 0));
         },
         {{Step::paste, "\tone\r\ntwo"}}, "abcdefgh\tone\rtwo", 16},
        {"a break walked back by the rules", {aoAutoFormat, aoJpnBanBreak, aoWordWrap}, 16, 2,
         [](TCustomAFEdit& ed) {
             LoadText(ed, "\t\t Zwordbword×表db。.\r\n", TConvMode{cmFoldLine, cmTabToIndent});
             ed.SetCaretRaw(ed.DspPos(TPoint(1, 0)));
         },
         {{Step::type, "(0"}, {Step::type, "x"}}, " (0xZwordbword×表db。.\r", 4},
        {"typing over a selection across banned characters", {aoAutoFormat, aoJpnBanBreak, aoWordWrap}, 17, 8,
         [](TCustomAFEdit& ed) {
             LoadRows(ed, {"a0「ア.", "「　)", "「", "wordaword", "\t", "word"});
             SetRecords(ed, 8, 17);
             ed.SelArea()->PutStartPoint(ed.DspPos(TPoint(4, 0)));
             ed.SelArea()->PutEndPoint(ed.DspPos(TPoint(1, 3)));
             ed.SetCaretRaw(ed.DspPos(TPoint(1, 3)));
         },
         {{Step::type, "aア"}}, "a0「aアordaword\tword", 7},
        {"an indented empty paragraph joining one of indent 0", {aoAutoFormat}, 20, 4,
         [](TCustomAFEdit& ed) {
             LoadRows(ed, {"\r", "abc\r", ""});
             SetRecords(ed, 0, 20);
             ed.GetLinesAttr(0)->Indent = 4;
             ed.SetCaretRaw(TPoint(4, 0));
         },
         {{Step::del, ""}}, "abc\r", 0},
        {"typing over at the start of a continuation piece adds no line end", {aoAutoFormat}, 10, 4,
         [](TCustomAFEdit& ed) {
             LoadRows(ed, {"abcdefghij", "klm\r", ""});
             SetRecords(ed, 0, 10);
             ed.SetCaretRaw(TPoint(0, 1));
         },
         {{Step::over, "x"}}, "abcdefghijxklm\r", 11},
        {"a line end hanging past the wrap on the last row", {aoAutoFormat, aoJpnBanBreak}, 10, 4,
         [](TCustomAFEdit& ed) {
             SetRecords(ed, 8, 10);
             ed.SetCaretRaw(TPoint(8, 0));
         },
         {{Step::type, "rd"}, {Step::type, "\r"}, {Step::type, "x"}}, "rd\rx", 4},
        {"a pasted line longer than the wrap", {aoAutoFormat}, 10, 4, [](TCustomAFEdit&) {},
         {{Step::paste, "a\r\n0123456789abcdefghij\r\nb"}}, "a\r0123456789abcdefghij\rb", 24},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto ed = NewEditor();
        ed->SetOptions(c.options);
        ed->SetDefWrapPos(c.wrap);
        ed->SetTabSize(c.tab);
        LoadText(*ed, "");
        c.setup(*ed);
        for (const Step& s : c.steps)
            RunStep(*ed, s);
        EXPECT_EQ(JoinedRows(*ed), c.text);
        EXPECT_EQ(OffsetOfDisplayPoint(*ed, ed->GetCaret()), c.caretOffset);
        EXPECT_FALSE(ed->isCrLine(ed->GetLinesCount() - 1)) << "the last row ends a paragraph";
        for (int i = 0; i < ed->GetLinesCount(); ++i)
            EXPECT_LE(ed->DisplayText(i).Length(), c.wrap + 8) << "row " << i;
    }
}

TEST(FoldLine, ABlockKeepsTheBytesItStillCovers)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> rows;
        TPoint start, end;       // the block, logical
        TPoint selStart, selEnd; // a selection to delete, or the caret for Delete when empty
        std::string text;
        std::string covered;
    } cases[] = {
        {"the only character of a piece deleted", {"abcdefghij", "k", "lmn"}, {2, 0}, {1, 1}, {0, 1}, {0, 1},
         "abcdefghijlmn", "cdefghij"},
        {"a selection ending where the block ends, after a deleted line end",
         {"ab\r", "cd\r", "\r", "ef"}, {0, 0}, {1, 2}, {1, 0}, {0, 3}, "aef", "a"},
        {"a selection ending at the start of the emptied last row", {"ab cd\r", ""}, {1, 0}, {0, 1}, {4, 0},
         {0, 1}, "ab c", "b c"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        auto ed = NewEditor();
        ed->SetOptions(TAFEditOptions{aoAutoFormat});
        LoadRows(*ed, c.rows);
        SetRecords(*ed, 0, 10);
        TBlkAttrListItem block;
        block.StartCol = c.start.x;
        block.StartRow = c.start.y;
        block.EndCol = c.end.x;
        block.EndRow = c.end.y;
        ed->BlkAttrList()->Add(block);
        if (c.selStart == c.selEnd)
        {
            ed->SetCaretRaw(c.selStart);
            EXPECT_TRUE(ed->DeleteAtCaret());
        }
        else
        {
            ed->SelArea()->PutStartPoint(c.selStart);
            ed->SelArea()->PutEndPoint(c.selEnd);
            ed->SelectAreaDel();
        }
        EXPECT_EQ(JoinedRows(*ed), c.text);
        EXPECT_EQ(ed->BlkAttrList()->GetCount(), 1);
        if (ed->BlkAttrList()->GetCount() != 1)
            continue;
        TBlkAttrListItem* b = ed->BlkAttrList()->GetItem(0);
        EXPECT_EQ(ed->GetRangeText(TPoint(b->StartCol, b->StartRow), TPoint(b->EndCol, b->EndRow), false).str(),
                  c.covered);
    }
}

TEST(FoldLine, AJoinCountsTheNextPiecesTabsWhereTheyWillStand)
{
    // After "a" the tab takes 7 columns, not the 8 it takes at the start of its own row.
    auto ed = NewEditor();
    ed->SetOptions(TAFEditOptions{aoAutoFormat});
    ed->SetTabSize(8);
    LoadRows(*ed, {"abc", "a", "\tbcdefg\r", ""});
    SetRecords(*ed, 0, 16);
    ed->SetUndoGroupId(ed->UndoGroupId() + 1);
    ed->LineChange(0, "ab", false);
    ed->FoldLine(0);
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"aba\tbcdefg\r", ""}));
}
