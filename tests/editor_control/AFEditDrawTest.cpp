// Line drawing: the runs the editor hands to its run-drawing operation (recorded with their
// colours and places), and the pixels of a real window where colour and placement are the point.
#include <windows.h>
#include <imm.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "EditorViewTestUtil.h"
#include "editor_control/AFEditText.h"

namespace
{
constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00A000;
constexpr TColor kBlue = 0xFF0000;

TViewOptions AllBut(std::initializer_list<TViewOption> off, std::initializer_list<TViewOption> on = {})
{
    TViewOptions o = TViewOptions::FromInt(0x3FF);
    for (TViewOption v : off)
        o >> v;
    for (TViewOption v : on)
        o << v;
    return o;
}

// "col:text:who" for each run, who being N (font colour), M (mark colour), C (line-end colour),
// S (selected) or the colour in hex.
std::string Describe(TRecordingEdit& ed, const std::vector<TRun>& runs)
{
    std::ostringstream out;
    TColor font = ColorToRGB(ed.Font()->Color());
    for (const TRun& r : runs)
    {
        out << (out.tellp() > 0 ? " " : "") << ed.ColOf(r) << ":" << r.text << ":";
        if (r.selected)
            out << "S";
        else if (r.fg == font)
            out << "N";
        else if (r.fg == ed.GetMarkColor())
            out << "M";
        else if (r.fg == ColorToRGB(ed.ColCr))
            out << "C";
        else
            out << std::hex << r.fg << std::dec;
    }
    return out.str();
}

// The colour each display column was drawn in, from the recorded runs.
std::map<int, TColor> CellColours(TRecordingEdit& ed, const std::vector<TRun>& runs)
{
    std::map<int, TColor> cells;
    for (const TRun& r : runs)
        for (int i = 0; i < int(r.text.size()); ++i)
            cells[ed.ColOf(r) + i] = r.fg;
    return cells;
}

class DrawTest : public testing::Test
{
protected:
    TViewHost host;
    TRecordingEdit& ed = *host.edit;
};
} // namespace

TEST_F(DrawTest, MarksFollowTheirViewOptions)
{
    struct Case
    {
        const char* name;
        std::string text; // rows separated by CR LF unless built by rows
        int row;
        int indent;
        TViewOptions view;
        bool eof;
        std::string expected;
    } cases[] = {
        {"tab marks", "a\tb", 0, 0, AllBut({}), false, "0:a:N 1:-->:M 4:b:N"},
        {"tab as blanks", "a\tb", 0, 0, AllBut({voTab}), false, "0:a   b:N"},
        {"indent marks", "x", 0, 4, AllBut({}), false, "0:....:M 4:x:N"},
        {"indent as blanks", "x", 0, 4, AllBut({voIndent}), false, "0:    x:N"},
        {"full-width space mark", "a　b", 0, 0, AllBut({}), false, "0:a:N 1:□:M 3:b:N"},
        {"full-width space as text", "a　b", 0, 0, AllBut({voAnsiSpace}), false, "0:a　b:N"},
        {"paragraph end mark", "ab\r\ncd", 0, 0, AllBut({}), false, "0:ab:N 2:↓:C"},
        {"paragraph end unmarked", "ab\r\ncd", 0, 0, AllBut({voCr}), false, "0:ab :N"},
        {"no end of file mark by default", "ab\r\ncd", 1, 0, AllBut({}), false, "0:cd:N"},
        {"end of file mark", "ab\r\ncd", 1, 0, AllBut({}), true, "0:cd:N 2:[EOF]:C"},
        {"fold mark and end of file", "ab\r\ncd", 1, 0, AllBut({}, {voFoldMark}), true, "0:cd:N 2:←[EOF]:C"},
        {"empty last row", "ab\r\n", 1, 0, AllBut({}, {voFoldMark}), false, "0:←:C"},
        {"tab after indent", "\tb", 0, 2, AllBut({}), false, "0:..--->:M 6:b:N"},
        // A control byte of the text takes its one cell, as its letter in the mark colour.
        {"control byte", "a\x0C" "bcd", 0, 0, AllBut({}), false, "0:a:N 1:L:M 2:bcd:N"},
        {"control bytes in a row", "\x01\x0B\x1B\x7F" "x", 0, 0, AllBut({}), false, "0:AK[?:M 4:x:N"},
        {"control bytes without tab and indent marks", "\x01\x0B" "b", 0, 0, AllBut({voTab, voIndent}), false,
         "0:AK:M 2:b:N"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        host.Load(c.text);
        ed.SetViewOpt(c.view);
        ed.ShowEofMark = c.eof;
        ed.GetLinesAttr(c.row)->Indent = int16_t(c.indent);
        EXPECT_EQ(Describe(ed, ed.DrawRow(c.row)), c.expected);
    }
}

TEST_F(DrawTest, FoldMarkEndsAWrappedPieceOnlyWithItsOption)
{
    ed.Clear();
    ed.SetLine(0, "ab");
    ed.AddLine("cd");
    ed.SetViewOpt(AllBut({}, {voFoldMark}));
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:ab:N 2:←:C");
    ed.SetViewOpt(AllBut({}));
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:ab:N");
}

// Random rows of letters, tabs, double-byte characters and full-width spaces, with own-colour
// column attributes on random bytes: every byte is drawn in the colour of its own attribute at
// its own display column, whether tab marks are shown or not.
TEST_F(DrawTest, ColumnAttributesKeepTheirBytesThroughTabs)
{
    const unsigned seed = 20240607;
    std::mt19937 rng(seed);
    const char* pieces[] = {"a", "b", "Z", "\t", "\t", "漢", "　", " ", "ｱ"};
    for (int round = 0; round < 60; ++round)
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        std::string row;
        int n = 1 + int(rng() % 14);
        for (int i = 0; i < n; ++i)
            row += pieces[rng() % std::size(pieces)];
        host.Load(row);
        bool tabs = rng() % 2 == 0;
        ed.SetViewOpt(tabs ? AllBut({voHankana, voAnsiSpace}) : AllBut({voTab, voHankana, voAnsiSpace}));
        ed.SetTabSize(2 + int(rng() % 5));
        TColAttrList* attrs = ed.GetColAttrs(0);
        std::vector<TColor> colour(row.size(), ColorToRGB(ed.Font()->Color()));
        for (int i = 0; i < int(row.size()); ++i)
        {
            if (rng() % 3 == 0)
            {
                TColAttrListItem* item = attrs->GetItem(i);
                item->OwnColor = true;
                item->Color = TColor(0x100000 * (i % 15 + 1) + 0x20);
                colour[size_t(i)] = item->Color;
            }
        }
        std::map<int, TColor> cells = CellColours(ed, ed.DrawRow(0));
        for (int i = 0; i < int(row.size()); ++i)
        {
            unsigned char b = static_cast<unsigned char>(row[size_t(i)]);
            if (i > 0 && ByteTypeAt(row.data(), int(row.size()), i) == mbTrailByte)
                continue;
            int dsp = ed.DspPos(TPoint(i, 0)).x;
            if (b == '\t')
            {
                // The tab's last cell: a mark in the mark colour, or a blank in the tab's colour.
                int end = ed.DspPos(TPoint(i + 1, 0)).x - 1;
                EXPECT_EQ(cells[end], tabs ? ed.GetMarkColor() : colour[size_t(i)]) << "tab at byte " << i;
                continue;
            }
            EXPECT_EQ(cells[dsp], colour[size_t(i)]) << "byte " << i << " of " << row;
        }
    }
}

TEST_F(DrawTest, KeywordsAreHighlightedAndASelectionSplitsThemInTheirStyle)
{
    TStringList words;
    words.Add("int");
    ed.SetKeyWords(&words);
    TStringList ex;
    ex.Add("printf");
    ed.SetExKeyWords(&ex);
    ed.SetKeyWordColor(kBlue);
    ed.SetKeyWordStyle(TFontStyles{fsBold});
    ed.SetExKeyWordColor(kGreen);
    const unsigned bold = TFontStyles{fsBold}.ToInt();

    host.Load("int x; print(1); printf (2); printf;");
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:int:ff0000 3: x; print(1); :N 17:printf:a000 23: (2); printf;:N");

    // A selection from inside the keyword: one part unselected, one selected, both bold.
    ed.SelArea()->PutStartPoint(TPoint(1, 0));
    ed.SelArea()->PutEndPoint(TPoint(5, 0));
    std::vector<TRun> runs = ed.DrawRow(0);
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(Describe(ed, {runs[0], runs[1], runs[2]}), "0:i:ff0000 1:nt:S 3: x:S");
    EXPECT_EQ(runs[0].style, bold);
    EXPECT_EQ(runs[1].style, bold);
    EXPECT_EQ(runs[2].style, 0u);

    // Words longer than a keyword, or keywords inside a word, are plain text; "_" ends a word.
    ed.SelArea()->PutStartPoint(TPoint(0, 0));
    ed.SelArea()->PutEndPoint(TPoint(0, 0));
    host.Load("integer mint int2 int_");
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:integer mint int2 :N 18:int:ff0000 21:_:N");

    // With the case flag a word must match a keyword's own spelling.
    host.Load("int Int INT");
    ed.SetKeywordCase(false);
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:int:ff0000 3: :N 4:Int:ff0000 7: :N 8:INT:ff0000");
    ed.SetKeywordCase(true);
    EXPECT_TRUE(ed.KeywordCase());
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:int:ff0000 3: Int INT:N");
}

TEST_F(DrawTest, AClipAfterADoubleByteCharacterStartsAtTheClip)
{
    // ャ is 0x83 0x83: its trail byte looks like a lead byte to a test on the byte alone.
    host.Load("ャAB");
    struct Case
    {
        int clipCol;
        std::string expected;
    } cases[] = {{0, "0:ャAB:N"}, {1, "0:ャAB:N"}, {2, "2:AB:N"}, {3, "3:B:N"}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.clipCol);
        ed.Clean();
        TRect r = ed.EditRect();
        r.Left += c.clipCol * ed.GetColWidth();
        ed.SetPaintRect(r);
        ed.DrawLine(0);
        EXPECT_EQ(Describe(ed, ed.TextRuns()), c.expected);
    }
}

TEST_F(DrawTest, ALoneLeadByteIsDrawnAloneAndNeverPairsWithTheLineEnd)
{
    for (const char* text : {"ab\x83", "ab\x83\r\nx", "\x83", "a\x83\tb"})
    {
        SCOPED_TRACE(text);
        host.Load(text);
        ed.SetViewOpt(AllBut({}, {voFoldMark}));
        for (const TRun& r : ed.DrawRow(0))
        {
            size_t lead = r.text.find('\x83');
            if (lead != std::string::npos)
            {
                EXPECT_EQ(lead, r.text.size() - 1) << "a lone lead byte ends its run";
            }
            EXPECT_EQ(r.text.find('\r'), std::string::npos);
            EXPECT_EQ(r.text.find('\n'), std::string::npos);
        }
    }
}

TEST_F(DrawTest, DrawingRowsPastTheEndGivesThemNoRecords)
{
    host.Load("a\r\nb\r\nc");
    ASSERT_EQ(ed.AttrList()->GetCount(), 3);
    TSnapshot shot(host);
    for (int row = 3; row < 12; ++row)
        ed.DrawRow(row);
    EXPECT_EQ(ed.AttrList()->GetCount(), 3);
    EXPECT_EQ(ed.GetLinesCount(), 3);
}

TEST_F(DrawTest, NegativeIndentDrawsAsNone)
{
    host.Load("abc");
    ed.GetLinesAttr(0)->Indent = -3;
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:abc:N");
}

TEST_F(DrawTest, RowNumberFormatIsAcceptedOnlyWithOneIntegerConversion)
{
    struct Case
    {
        const char* fmt;
        bool accepted;
    } cases[] = {
        {"%5d ", true},  {"%d", true},       {"%-4d|", true},  {"%04x:", true}, {"%%%d%%", true},
        {"%5.3u", true}, {"%s", false},      {"%d %d", false}, {"abc", false},  {"%*d", false},
        {"%", false},    {"%99d", false},    {"%5d%", false},  {"%f", false},   {"%p", false},
    };
    host.Load("x");
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fmt);
        EXPECT_EQ(TCustomAFEdit::IsRowNumberFormat(c.fmt), c.accepted);
        ed.RowDspFmt = c.fmt;
        AnsiString used = ed.RowNumberFormat();
        EXPECT_EQ(used.str(), c.accepted ? std::string(c.fmt) : std::string("%5d "));
        ed.Clean();
        ed.SetPaintRect(ed.EditRect());
        ed.DrawLine(0); // never throws, whatever the user typed
        ASSERT_FALSE(ed.runs.empty());
        EXPECT_EQ(ed.runs.back().x, 0);
        EXPECT_EQ(ed.runs.back().text, Format(used, {1}).str());
        ed.SetRowDspFmt(c.fmt);
        EXPECT_EQ(ed.RowDspFmt.str(), used.str());
    }
}

TEST_F(DrawTest, BlockAttributeColoursItsColumnsThroughItsEndColumn)
{
    host.Load("abcdefgh");
    TBlkAttrListItem block;
    block.StartCol = 2;
    block.StartRow = 0;
    block.EndCol = 5;
    block.EndRow = 0;
    block.Color = kGreen;
    ed.BlkAttrList()->Add(block);
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:ab:N 2:cdef:a000 6:gh:N");
}

TEST_F(DrawTest, SelectionColoursAndItsLimits)
{
    host.Load("abcd\r\nefgh");
    const TColor hiText = ColorToRGB(clHighlightText);
    const TColor hiBack = ColorToRGB(clHighlight);

    // Never over the indent; the paragraph end cell is part of it.
    ed.GetLinesAttr(0)->Indent = 2;
    ed.SelArea()->PutStartPoint(TPoint(0, 0));
    ed.SelArea()->PutEndPoint(TPoint(1, 1));
    std::vector<TRun> runs = ed.DrawRow(0);
    EXPECT_EQ(Describe(ed, runs), "0:..:M 2:abcd↓:S");
    EXPECT_EQ(runs[1].fg, hiText);
    EXPECT_EQ(runs[1].bg, hiBack);

    // A row with a background of its own shows the selection in its two colours swapped.
    TAttrListItem* rec = ed.GetLinesAttr(1);
    rec->BackColor = kGreen;
    rec->FontColor = kRed;
    runs = ed.DrawRow(1);
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(ed.ColOf(runs[0]), 0);
    EXPECT_TRUE(runs[0].selected);
    EXPECT_EQ(runs[0].fg, kGreen);
    EXPECT_EQ(runs[0].bg, kRed);

    // A row selection covers the whole row.
    ed.SelArea()->PutStartPoint(TPoint(0, 0));
    ed.SelArea()->PutEndPoint(TPoint(0, 0));
    ed.SelArea()->PutStartRow(0);
    ed.SelArea()->PutEndRow(0);
    EXPECT_EQ(Describe(ed, ed.DrawRow(0)), "0:..abcd↓:S");
}

TEST_F(DrawTest, AHandlerCanTakeOverARowAndDrawingWaitsWhileUpdating)
{
    host.Load("abc");
    struct THandler : TObject
    {
        void OnDraw(TObject*, int, TRect, AnsiString text, bool& defaultDraw)
        {
            seen = text.str();
            defaultDraw = false;
        }
        std::string seen;
    } handler;
    ed.OnDrawLine = TDrawLineEvent(&handler, &THandler::OnDraw);
    ed.GetLinesAttr(0)->Dirty = true;
    EXPECT_TRUE(ed.DrawRow(0).empty());
    EXPECT_EQ(handler.seen, "abc\n");
    EXPECT_TRUE(ed.GetLinesAttr(0)->Dirty);
    ed.OnDrawLine = TDrawLineEvent();

    ed.BeginUpdate();
    ed.DrawRow(0);
    EXPECT_TRUE(ed.fills.empty());
    EXPECT_TRUE(ed.GetLinesAttr(0)->Dirty);
    ed.Updating = false;
    ed.DrawRow(0);
    EXPECT_FALSE(ed.GetLinesAttr(0)->Dirty);
}

// A 70,000-byte row with tabs: longer than the advance table and the old work buffer.
TEST_F(DrawTest, AVeryLongRowDrawsWhereverItIsScrolled)
{
    std::string row;
    while (row.size() < 70000)
        row += "abcdefgh\tijklmn漢字\t";
    host.Load(row);
    ed.SetViewOpt(AllBut({}));
    AnsiString dsp = ed.TabExpand(ed.GetLine(0), false);
    const int cols = ed.GetDspColCount();
    for (int left : {0, 20000, 40000, dsp.Length() - cols / 2, dsp.Length() + 5})
    {
        SCOPED_TRACE(left);
        ed.SetLeftColRaw(left);
        std::vector<TRun> runs = ed.DrawRow(0);
        // Every visible cell inside the row is drawn, with the glyph of the display form.
        std::map<int, char> cells;
        for (const TRun& r : runs)
            for (int i = 0; i < int(r.text.size()); ++i)
                cells[ed.ColOf(r) + i] = r.text[size_t(i)];
        for (int col = left; col < std::min(left + cols, dsp.Length()); ++col)
        {
            char expected = dsp[col + 1] == '\t' ? '>' : dsp[col + 1] == '\x0B' ? '-' : dsp[col + 1];
            ASSERT_EQ(cells.count(col), 1u) << "column " << col;
            ASSERT_EQ(cells[col], expected) << "column " << col;
        }
    }
    ed.SetLeftColRaw(35000);
    TSnapshot shot(host); // the whole paint, down to the platform's text output
    EXPECT_EQ(ed.GetLeftCol(), 35000);

    // One word of 70,000 bytes: drawn from the middle, and no keyword search runs the row.
    TStringList words;
    words.Add("int");
    ed.SetKeyWords(&words);
    host.Load(std::string(70000, 'a'));
    ed.SetLeftColRaw(35000);
    std::vector<TRun> runs = ed.DrawRow(0);
    ASSERT_FALSE(runs.empty());
    EXPECT_LE(ed.ColOf(runs.front()), 35000);
}

// ---- pixels ----

TEST_F(DrawTest, PixelsShowMarksSelectionLineEndAndWrapLine)
{
    host.Load("a\tb\r\ncd");
    ed.CrMark = ""; // the line-end bitmap instead of the arrow text
    ed.ColCr = kRed;
    ed.SetCrColor(kRed, ed.Color());
    ed.SelArea()->PutStartPoint(TPoint(4, 0));
    ed.SelArea()->PutEndPoint(TPoint(1, 1));
    TSnapshot shot(host);
    const int cw = ed.GetColWidth();
    const int rh = ed.GetRowHeight();
    const TRect er = ed.EditRect();
    auto cell = [&](int col, int row, int width = 1) {
        return TRect(er.Left + col * cw, er.Top + row * rh, er.Left + (col + width) * cw, er.Top + (row + 1) * rh);
    };
    const TColor window = ColorToRGB(clWindow);
    const TColor hiBack = ColorToRGB(clHighlight);
    // The tab's marks are drawn in the mark colour, the text in the font colour.
    EXPECT_GT(shot.Count(cell(1, 0, 3), ed.GetMarkColor()), 0);
    EXPECT_EQ(shot.Count(cell(1, 0, 3), ColorToRGB(ed.Font()->Color())), 0);
    // Selected: "b", the line end (bitmap over the selection brush) and "c" on the next row.
    EXPECT_GT(shot.Count(cell(4, 0), hiBack), 0);
    EXPECT_EQ(shot.Count(cell(0, 0), hiBack), 0);
    EXPECT_GT(shot.Count(cell(5, 0, 2), kRed), 0);
    EXPECT_GT(shot.Count(cell(5, 0, 2), hiBack), 0);
    EXPECT_GT(shot.Count(cell(0, 1), hiBack), 0);
    EXPECT_EQ(shot.Count(cell(1, 1), hiBack), 0);
    // The wrap line at column 60, the full height of the rows.
    const int wrapX = er.Left + 60 * cw;
    for (int y = er.Top; y < er.Top + 3 * rh; ++y)
        EXPECT_EQ(shot.At(wrapX, y), TColor(0x808080)) << y;
    EXPECT_EQ(shot.At(wrapX + 1, er.Top + 2 * rh), window);
    // The margin: its separator line, and the row number in the number colour.
    EXPECT_EQ(shot.At(er.Left - 5, er.Top + 1), TColor(0x808080));
    EXPECT_GT(shot.Count(TRect(0, er.Top, er.Left - 5, er.Top + rh), ColorToRGB(ed.ColRowNo)), 0);
    // The ruler marks the caret's column in the highlight colours.
    EXPECT_GT(shot.Count(TRect(er.Left, 0, er.Left + cw, er.Top), hiBack), 0);
    EXPECT_EQ(shot.Count(TRect(er.Left + cw, 0, er.Left + 2 * cw, er.Top), hiBack), 0);
}

TEST_F(DrawTest, RealWindowShowsJapaneseTextInItsCells)
{
    host.Load("日本語\tｶﾅ");
    host.form->Show();
    ed.Invalidate();
    ed.Update();
    host.Pump();
    HDC dc = GetDC(ed.Handle());
    const int cw = ed.GetColWidth();
    const TRect er = ed.EditRect();
    const TColor text = ColorToRGB(ed.Font()->Color());
    const TColor dep = ColorToRGB(ed.GetDependenceColor());
    auto count = [&](int col, int width, TColor rgb) {
        int n = 0;
        for (int y = er.Top; y < er.Top + ed.GetRowHeight(); ++y)
            for (int x = er.Left + col * cw; x < er.Left + (col + width) * cw; ++x)
                n += TColor(GetPixel(dc, x, y)) == rgb;
        return n;
    };
    // Each of the three kanji fills its two cells with ink; the half-width kana are in the
    // machine-dependent colour after the tab's marks.
    for (int k = 0; k < 3; ++k)
        EXPECT_GT(count(2 * k, 2, text), 4) << "kanji " << k;
    EXPECT_EQ(count(6, 2, text), 0);
    EXPECT_GT(count(8, 2, dep), 0);
    ReleaseDC(ed.Handle(), dc);
}

// Half-width kana and machine-dependent characters take the dependence colour: a run of kana goes
// out as one run, and a double-byte character is coloured exactly when the dependence string
// holds it at a character start (random strings and characters against a search of the string).
TEST_F(DrawTest, DependenceColourMarksKanaRunsAndTheCharactersOfItsString)
{
    ed.SetViewOpt(AllBut({}));
    const TColor dep = ColorToRGB(ed.GetDependenceColor());
    ASSERT_NE(dep, ColorToRGB(ed.Font()->Color()));
    host.Load("a\xB6\xC0\xB6\xC5" "b");
    const std::vector<TRun> kana = ed.DrawRow(0);
    ASSERT_EQ(kana.size(), 3u) << Describe(ed, kana);
    EXPECT_EQ(kana[1].text, "\xB6\xC0\xB6\xC5");
    EXPECT_EQ(kana[1].fg, dep);

    const unsigned seed = 77;
    std::mt19937 rng(seed);
    const unsigned char leads[] = {0x81, 0x82, 0x87, 0x88, 0xE0}; // trails from 0x41: no full-width space
    auto pick = [&](std::string& s) {
        switch (rng() % 3)
        {
        case 0: s += char('a' + rng() % 3); break;
        case 1: s += char(0xB1 + rng() % 3); break; // half-width kana
        default:
            s += char(leads[rng() % 5]);
            s += char(0x41 + rng() % 4);
            break;
        }
    };
    for (int round = 0; round < 40; ++round)
    {
        SCOPED_TRACE("seed " + std::to_string(seed) + " round " + std::to_string(round));
        std::string chars;
        for (int i = int(rng() % 12); i > 0; --i)
            pick(chars);
        ed.DependenceChar = AnsiString(chars.data(), int(chars.size()));
        for (int k = 0; k < 8; ++k)
        {
            const std::string ch{char(leads[rng() % 5]), char(0x41 + rng() % 4)};
            host.Load("x" + ch + "x");
            const bool expected = ed.DependenceChar.Length() > 0 && ed.DependenceChar.AnsiPos(AnsiString(ch.data(), 2)) > 0;
            const std::map<int, TColor> cells = CellColours(ed, ed.DrawRow(0));
            ASSERT_EQ(cells.at(1) == dep, expected) << "character " << int((unsigned char)ch[0]) << " "
                                                    << int((unsigned char)ch[1]);
        }
    }
}

namespace
{
// One paragraph that folds into about `pieces` pieces, every cut of which moves when a byte goes in
// at its front.
std::string LongParagraph(int pieces)
{
    const char* words[] = {"abc", "かな", "漢字", "value", "0123", "テキスト", "x", "表示"};
    std::string s;
    uint32_t x = 3;
    while (s.size() < size_t(pieces) * 60)
    {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 8) % 8];
    }
    return s + "\r\n";
}

// Each row drawn, with how often: none may be off screen, none drawn twice.
void ExpectEachShownRowOnce(TRecordingEdit& ed, const char* what)
{
    std::map<int, int> times;
    for (int r : ed.drawnRows)
        ++times[r];
    ASSERT_FALSE(times.empty()) << what;
    EXPECT_GE(times.begin()->first, ed.GetTopLine()) << what;
    EXPECT_LE(times.rbegin()->first, ed.GetTopLine() + ed.GetDspRowCount() + 1) << what;
    for (const auto& [row, n] : times)
        EXPECT_EQ(n, 1) << what << ": row " << row;
}
} // namespace

// Work, not time: a keystroke that moves every cut of a long paragraph costs the rows shown.
TEST_F(DrawTest, AKeystrokeThatRefoldsALongParagraphDrawsEachShownRowOnce)
{
    host.Focus();
    host.Load(LongParagraph(2000), TConvMode{cmFoldLine});
    ASSERT_GT(ed.GetLinesCount(), 10 * ed.GetDspRowCount());
    const std::string before = ed.GetLine(ed.GetDspRowCount() + 5).str();
    ed.SetCaret(TPoint(0, 0));
    host.Pump();
    for (const char* what : {"first keystroke", "the same keystroke after undoing it"})
    {
        ed.Clean();
        host.Send(WM_CHAR, 'a', 1);
        ExpectEachShownRowOnce(ed, what);
        EXPECT_NE(ed.GetLine(ed.GetDspRowCount() + 5).str(), before) << what << ": rows below moved too";
        ed.Clean();
        ed.Undo();
        EXPECT_TRUE(ed.drawnRows.empty()) << what << ": the undo repaints once, later";
        ed.SetCaret(TPoint(0, 0));
    }
    EXPECT_EQ(ed.GetLine(ed.GetDspRowCount() + 5).str(), before);
}

// The input method's window follows the caret; its font is the editor's, set when the focus comes
// and when the font changes, and moving the caret keeps it.
TEST_F(DrawTest, TheCompositionFontFollowsTheEditorsFontWhileTheCaretMoves)
{
    host.Focus();
    host.Load("abcdef\r\nghijkl\r\n");
    auto compositionFace = [&] {
        HIMC imc = ImmGetContext(ed.Handle());
        LOGFONTW lf{};
        const bool got = imc && ImmGetCompositionFontW(imc, &lf);
        if (imc)
            ImmReleaseContext(ed.Handle(), imc);
        return got ? std::wstring(lf.lfFaceName) : std::wstring(L"(none)");
    };
    auto editorFace = [&] {
        LOGFONTW lf{};
        GetObjectW(ed.Font()->Handle(), sizeof lf, &lf);
        return std::wstring(lf.lfFaceName);
    };
    ed.SetCaret(TPoint(1, 0));
    EXPECT_EQ(compositionFace(), editorFace());
    host.Send(WM_CHAR, 'x', 1);
    host.Send(WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(compositionFace(), editorFace());
    TFont other;
    other.Assign(*ed.Font());
    other.SetName(editorFace() == L"Arial" ? "Courier New" : "Arial");
    ed.SetFont(&other);
    host.Send(WM_CHAR, 'y', 1);
    EXPECT_EQ(compositionFace(), editorFace());
    EXPECT_NE(editorFace(), L"");
}
