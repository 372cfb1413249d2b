#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "platform/Classes.h"

namespace
{
void Select(TCustomAFEdit& ed, TPoint a, TPoint b)
{
    ed.SelArea()->PutStartPoint(a);
    ed.SelArea()->PutEndPoint(b);
    ed.SetCaretRaw(b);
}
} // namespace

TEST(AFEditText, GetTextAndRangesJoinPiecesAndKeepParagraphEnds)
{
    auto ed = NewEditor();
    ed->Lines()->Clear();
    ed->Lines()->Add("abc");
    ed->Lines()->Add("def\r");
    ed->Lines()->Add("gh");
    EXPECT_EQ(ed->GetText(), "abcdef\r\ngh");
    EXPECT_EQ(ed->GetRangeText(TPoint(1, 0), TPoint(2, 1), false), "bcde");
    // A paragraph's CR folded onto a row of its own ends the line once.
    LoadRows(*ed, {"ab", "\r", "c"});
    EXPECT_EQ(ed->GetRangeText(TPoint(1, 0), TPoint(1, 1), false), "b\r\n");
    EXPECT_EQ(ed->GetRangeText(TPoint(1, 0), TPoint(1, 1), true), " b\r\n\r\n") << "display rows stay rows";
    LoadText(*ed, "ab\r\ncd", TConvMode());
    EXPECT_EQ(ed->GetRangeText(TPoint(0, 0), TPoint(0, 1), false), "ab\r\n");
    EXPECT_EQ(ed->GetRangeText(TPoint(0, 0), TPoint(2, 0), false), "ab");
    EXPECT_EQ(ed->GetRangeText(TPoint(0, 0), TPoint(0, 0), false), "");
    LoadText(*ed, "a\tbc", TConvMode());
    EXPECT_EQ(ed->GetRangeText(TPoint(1, 0), TPoint(4, 0), true), "    bc");
    EXPECT_EQ(ed->GetSelText(), "");
    ed->SelArea()->PutStartRow(0);
    ed->SelArea()->PutEndRow(0);
    EXPECT_EQ(ed->GetSelText(), "a\tbc");
}

TEST(AFEditText, SelectionInsideTheIndentReturnsOnlyWhatIsSelected)
{
    auto ed = NewEditor();
    LoadText(*ed, "xyz", TConvMode());
    ed->GetLinesAttr(0)->Indent = 4;
    Select(*ed, TPoint(1, 0), TPoint(3, 0)); // both ends inside the indent
    EXPECT_EQ(ed->GetSelText(), "");
    Select(*ed, TPoint(1, 0), TPoint(6, 0));
    EXPECT_EQ(ed->GetSelText(), "xy");
}

TEST(AFEditKeyInput, TypingFollowsTheRules)
{
    auto ed = NewEditor();
    // At the start of a continuation piece the text goes to the end of the piece before.
    LoadText(*ed, std::string(70, 'a') + "\r\n");
    ed->SetCaretRaw(TPoint(0, 1));
    ed->KeyInput("あ");
    EXPECT_EQ(JoinedRows(*ed), std::string(60, 'a') + "あ" + std::string(10, 'a') + "\r");

    // Overwriting the lead byte of a double-byte character leaves a space for its trail byte.
    LoadText(*ed, "漢字\r\n", TConvMode());
    ed->SetInsertMode(false);
    ed->SetCaretRaw(TPoint(0, 0));
    ed->KeyInput("x");
    EXPECT_EQ(ed->GetLine(0), "x 字\r");
    // Overwrite keeps the CR and grows the row past its end.
    ed->SetCaretRaw(TPoint(2, 0));
    ed->KeyInput("abcdef");
    EXPECT_EQ(ed->GetLine(0), "x abcdef\r");
    ed->SetInsertMode(true);

    // Typing over a selection inserts even in overwrite mode.
    LoadText(*ed, "hello world", TConvMode());
    ed->SetInsertMode(false);
    Select(*ed, TPoint(0, 0), TPoint(5, 0));
    ed->KeyInput("HI");
    EXPECT_EQ(ed->GetLine(0), "HI world");
    ed->SetInsertMode(true);

    // With a free caret, typing past the end pads with spaces; control bytes but TAB and CR drop.
    LoadText(*ed, "ab", TConvMode());
    ed->SetOptions(ed->GetOptions() << aoFreeCaret);
    ed->SetCaretRaw(TPoint(5, 0));
    ed->KeyInput("c\n\x01\td");
    EXPECT_EQ(ed->GetLine(0), "ab   c\td");

    // Typing below the text with a free caret extends it down to the caret.
    ed->SetCaretRaw(TPoint(0, 3));
    ed->KeyInput("z");
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"ab   c\td\r", "\r", "\r", "z"}));
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"ab   c\td"}));
}

TEST(AFEditKeyInput, EnterSplitsTheParagraphKeepingTheIndent)
{
    auto ed = NewEditor();
    LoadText(*ed, "abcd", TConvMode());
    ed->GetLinesAttr(0)->Indent = 2;
    ed->SetCaretRaw(TPoint(4, 0)); // between b and c
    ed->KeyInput("\r");
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"ab\r", "cd"}));
    EXPECT_EQ(ed->GetLinesAttr(1)->Indent, 2);
    EXPECT_EQ(ed->GetCaret(), TPoint(2, 1));
}

TEST(AFEditPaste, LinesGoInAtTheCaretAndUndoAsOne)
{
    auto ed = NewEditor();
    LoadText(*ed, "xy", TConvMode());
    ed->SetCaretRaw(TPoint(1, 0));
    ed->PasteText("a\r\nb\r\nc");
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"xa\r", "b\r", "cy"}));
    EXPECT_EQ(ed->GetCaret(), TPoint(1, 2));
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"xy"}));
    EXPECT_FALSE(ed->CanUndo());
    ed->Redo();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"xa\r", "b\r", "cy"}));

    // Middle lines are filtered like the others and take the caret row's record.
    LoadText(*ed, "xy", TConvMode());
    ed->GetLinesAttr(0)->FontColor = 0x123456;
    ed->SetCaretRaw(TPoint(1, 0));
    ed->PasteText("a\r\nb\x01\x02\r\nc\r\n");
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"xa\r", "b\r", "c\r", "y"}));
    EXPECT_EQ(ed->GetLinesAttr(1)->FontColor, 0x123456);
    EXPECT_NE(ed->GetLinesAttr(1)->WrapPos, 0);
}

TEST(AFEditPaste, CopiedRowsComeBackWholeWithTheirRecords)
{
    auto ed = NewEditor();
    LoadText(*ed, "one\r\ntwo\r\nthree\r\nfour", TConvMode());
    ed->GetLinesAttr(1)->Indent = 3;
    ed->GetLinesAttr(2)->FontColor = 0x0000FF;
    ed->SelArea()->PutStartRow(1);
    ed->SelArea()->PutEndRow(2);
    ed->SelectAreaCopy(false);
    ed->SelArea()->RowReset();
    ed->SetCaretRaw(TPoint(2, 3));
    ed->ClipInsert();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"one\r", "two\r", "three\r", "two\r", "three\r", "four"}));
    EXPECT_EQ(ed->GetLinesAttr(3)->Indent, 3);
    EXPECT_EQ(ed->GetLinesAttr(4)->FontColor, 0x0000FF);
    EXPECT_EQ(ed->GetCaret().y, 5);
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"one\r", "two\r", "three\r", "four"}));
}

TEST(AFEditDelete, SelectionAcrossRowsLeavesOneRowAndOneUndoGroup)
{
    auto ed = NewEditor();
    LoadText(*ed, "abc\r\ndef\r\nghi\r\njkl", TConvMode());
    auto before = RowsOf(*ed);
    Select(*ed, TPoint(1, 0), TPoint(2, 2));
    ed->SelectAreaDel();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"ai\r", "jkl"}));
    EXPECT_EQ(ed->GetCaret(), TPoint(1, 0));
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), before);

    // Row selection including the last row empties it through an undoable change.
    ed->SelArea()->PutStartRow(2);
    ed->SelArea()->PutEndRow(3);
    ed->SelectAreaDel();
    EXPECT_EQ(RowsOf(*ed), (std::vector<std::string>{"abc\r", "def\r", ""}));
    ed->Undo();
    EXPECT_EQ(RowsOf(*ed), before);
}

TEST(AFEditEditing, RandomEditsMatchAModelAndUndoRestoresTheStart)
{
    const char* pieces[] = {"a", "bc", "漢", "。", "\t", " ", "\r", "ｶ", "word", "「」"};
    for (unsigned seed = 1; seed <= 8; ++seed)
    {
        std::mt19937 rng(seed);
        auto ed = NewEditor();
        ed->SetOptions(TAFEditOptions{aoAutoFormat, aoJpnBanBreak});
        ed->SetDefWrapPos(12 + int(seed % 3) * 7);
        std::string start = "first line\r\n漢字かな\tand more text here\r\nlast";
        LoadText(*ed, start);
        std::string model = "first line\r漢字かな\tand more text here\rlast";
        ASSERT_EQ(JoinedRows(*ed), model);
        const auto firstRows = RowsOf(*ed);
        for (int step = 0; step < 120; ++step)
        {
            std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            // Character boundaries of the model.
            std::vector<size_t> cuts{0};
            for (size_t k = 0; k < model.size();)
            {
                k += k + 1 < model.size() && IsSjisLead((unsigned char)model[k]) ? 2 : 1;
                cuts.push_back(k);
            }
            size_t at = cuts[rng() % cuts.size()];
            int op = int(rng() % 4);
            if (op <= 1)
            {
                std::string s = pieces[rng() % 10];
                ed->SelArea()->PutStartPoint(TPoint());
                ed->SelArea()->PutEndPoint(TPoint());
                ed->SetCaretRaw(PointOf(*ed, at));
                ed->KeyInput(AnsiString(s));
                model.insert(at, s);
            }
            else if (op == 2)
            {
                size_t to = cuts[rng() % cuts.size()];
                size_t a = std::min(at, to), b = std::max(at, to);
                if (a == b)
                    continue;
                Select(*ed, PointOf(*ed, a), PointOf(*ed, b));
                ed->SelectAreaDel();
                model.erase(a, b - a);
            }
            else
            {
                std::string t = std::string(pieces[rng() % 10]) + "\r\n" + pieces[rng() % 10];
                ed->SelArea()->PutStartPoint(TPoint());
                ed->SelArea()->PutEndPoint(TPoint());
                ed->SetCaretRaw(PointOf(*ed, at));
                ed->PasteText(AnsiString(t));
                std::string m = t;
                m.erase(m.find('\n'), 1);
                model.insert(at, m);
            }
            ASSERT_EQ(JoinedRows(*ed), model) << where;
            ASSERT_FALSE(ed->isCrLine(ed->GetLinesCount() - 1)) << where;
            ASSERT_LT(ed->GetCaret().y, ed->GetLinesCount()) << where;
        }
        const auto lastRows = RowsOf(*ed);
        while (ed->CanUndo())
            ed->Undo();
        EXPECT_EQ(RowsOf(*ed), firstRows) << "seed " << seed;
        while (ed->CanRedo())
            ed->Redo();
        EXPECT_EQ(RowsOf(*ed), lastRows) << "seed " << seed;
    }
}
