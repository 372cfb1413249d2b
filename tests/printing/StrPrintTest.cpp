#include "printing/StrPrint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "printing/Strppfm.h"
#include "tests/HexText.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"
#include "common/English.h"

namespace
{
int Dot(int mm) { return int(std::lround(300 * mm / 25.4)); }

std::string Join(const std::vector<typLinePiece>& pieces, const std::string& s)
{
    std::string out;
    for (const typLinePiece& p : pieces)
        out += s.substr(size_t(p.start), size_t(p.length)) + "|";
    return out;
}

// Width 1 for a single-byte character, 2 for a double-byte one.
std::vector<int> Widths(const std::string& s)
{
    std::vector<int> w;
    for (size_t i = 0; i < s.size();)
    {
        const bool pair = IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
        w.push_back(pair ? 2 : 1);
        i += pair ? 2 : 1;
    }
    return w;
}
} // namespace

TEST(SplitLineToWidth, PiecesFitTheWidthAndKeepCharactersAndWordsWhole)
{
    const struct
    {
        const char* line;
        int width;
        bool wordBreak;
        const char* pieces;
    } cases[] = {
        {"", 5, true, "|"},
        {"abcdef", 10, true, "abcdef|"},
        {"abcdef", 3, false, "abc|def|"},
        {"漢字漢字", 3, false, "漢|字|漢|字|"},
        {"a漢b", 2, false, "a|漢|b|"},
        {"ab\x82", 2, false, "ab|\x82|"},          // a final lead byte is a character of its own
        {"ab\x82", 10, false, "ab\x82|"},
        {"a漢b", 0, false, "a|漢|b|"},             // a column narrower than a character still moves on
        {"ab cd ef", 4, true, "ab |cd |ef|"},
        {"ab cd ef", 4, false, "ab c|d ef|"},
        {"abcdefgh", 4, true, "abcd|efgh|"},       // no break in the word: cut where it is full
        {"ab漢字cd", 5, true, "ab漢|字cd|"},       // a double-byte character allows a break after it
        {"\tab", 5, false, "\ta|b|"},              // a tab reaches the next stop (4)
        {"abcd\tx", 4, false, "abcd|\t|x|"},       // a tab starting a piece is a whole stop wide
        {"a\tb", 5, false, "a\tb|"},               // "a" then the tab to 4, "b" to 5: fits exactly
    };
    for (const auto& c : cases)
    {
        const std::string s = c.line;
        const std::vector<int> w = Widths(s);
        std::vector<typLinePiece> pieces;
        SplitLineToWidth(s.c_str(), int(s.size()), w.data(), 4, c.width, c.wordBreak, pieces);
        EXPECT_EQ(Hex(Join(pieces, s)), Hex(c.pieces)) << Hex(s) << " width " << c.width;
    }
}

TEST(SplitLineToWidth, RandomLinesSplitIntoWholeCharactersThatFit)
{
    const char* const alphabet[] = {"a", "b", " ", "\t", "漢", "ｱ", "\x82"};
    std::mt19937 rng(19);
    for (int round = 0; round < 2000; ++round)
    {
        std::string s;
        const int n = int(rng() % 40);
        for (int i = 0; i < n; ++i)
            s += alphabet[rng() % std::size(alphabet)];
        const int width = int(rng() % 12);
        const bool wordBreak = rng() % 2;
        const std::vector<int> w = Widths(s);
        std::vector<typLinePiece> pieces;
        SplitLineToWidth(s.c_str(), int(s.size()), w.data(), 4, width, wordBreak, pieces);
        // Pieces cover the line in order; none starts on the second byte of a pair.
        std::vector<bool> starts(s.size() + 1, s.empty());
        for (size_t i = 0; i < s.size();)
        {
            starts[i] = true;
            i += IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
        }
        int at = 0;
        for (const typLinePiece& p : pieces)
        {
            ASSERT_EQ(p.start, at) << "round " << round << " " << Hex(s);
            ASSERT_TRUE(s.empty() || p.length > 0) << "round " << round;
            ASSERT_TRUE(starts[size_t(p.start)]) << "round " << round << " " << Hex(s);
            // As drawn: tabs from the piece's start.
            int x = 0, chars = 0;
            for (int i = p.start; i < p.start + p.length; ++chars)
            {
                const bool pair = IsSjisLead(static_cast<unsigned char>(s[size_t(i)])) && i + 1 < int(s.size());
                x += s[size_t(i)] == '\t' ? 4 - x % 4 : pair ? 2 : 1;
                i += pair ? 2 : 1;
            }
            EXPECT_TRUE(x <= width || chars == 1) << "round " << round << " " << Hex(s) << " width " << width;
            at += p.length;
        }
        ASSERT_EQ(at, int(s.size())) << "round " << round;
    }
}

namespace
{
// What a printer driver answers about its papers: the number of papers, then what each filled
// answer returns and writes.
struct TPaperAnswers
{
    int count, names, sizes, ids;
    std::wstring nameBlock; // 64 characters a paper, without a terminator when full
    std::vector<POINT> tenths = {{2100, 2970}, {1820, 2575}};
    std::vector<WORD> numbers = {DMPAPER_A4, DMPAPER_B5};
    int operator()(WORD capability, wchar_t* out) const
    {
        if (!out)
            return capability == DC_PAPERS ? count : -1;
        if (capability == DC_PAPERNAMES)
        {
            std::copy(nameBlock.begin(), nameBlock.end(), out);
            return names;
        }
        if (capability == DC_PAPERSIZE)
        {
            std::copy(tenths.begin(), tenths.end(), reinterpret_cast<POINT*>(out));
            return sizes;
        }
        std::copy(numbers.begin(), numbers.end(), reinterpret_cast<WORD*>(out));
        return ids;
    }
};
} // namespace

TEST(PaperItemList, TakesOnlyConsistentDriverAnswersAndNamesOfAllSixtyFourCharacters)
{
    const std::wstring full(64, L'x');
    const std::wstring names = full + L"B5" + std::wstring(62, L'\0');
    const struct
    {
        const char* what;
        TPaperAnswers answers;
        std::vector<std::string> expected; // "name width height id"
    } cases[] = {
        {"driver cannot tell", {-1, -1, -1, -1, names}, {}},
        {"no papers", {0, 0, 0, 0, names}, {}},
        {"names refused", {2, -1, 2, 2, names}, {}},
        {"one size short", {2, 2, 1, 2, names}, {}},
        {"one number short", {2, 2, 2, 1, names}, {}},
        {"consistent", {2, 2, 2, 2, names}, {std::string(64, 'x') + " 210 297 9", "B5 182 258 13"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        TFakePrinter device;
        device.capabilities = c.answers;
        TStringsPrinter p(nullptr);
        TPaperItemList* list = p.PrinterInfo()->PaperList();
        list->UpdateList();
        std::vector<std::string> got;
        for (int i = 0; i < list->GetCount(); ++i)
        {
            const typPaperItem* item = list->GetPaperItem(i);
            got.push_back(item->name.str() + " " + std::to_string(item->width) + " " + std::to_string(item->height) +
                          " " + std::to_string(item->id));
        }
        EXPECT_EQ(got, c.expected);
        // The current paper (A4 without a device mode) is the driver's when listed, else the table's.
        const std::string a4 = c.expected.empty() ? "DMPAPER_A4" : std::string(64, 'x');
        EXPECT_EQ(p.PrinterInfo()->GetPaperName(), AnsiString(a4.c_str()));
    }
}

TEST(StringsPrinter, SettersClampIntoTheirRanges)
{
    TStringsPrinter p(nullptr);
    const struct
    {
        void (TStringsPrinter::*set)(int);
        int (TStringsPrinter::*get)() const;
        int lo, hi;
    } props[] = {
        {&TStringsPrinter::SetColumnCount, &TStringsPrinter::ColumnCount, 1, 3},
        {&TStringsPrinter::SetColumnSpace, &TStringsPrinter::ColumnSpace, 0, 100},
        {&TStringsPrinter::SetMarginLeft, &TStringsPrinter::MarginLeft, 0, 100},
        {&TStringsPrinter::SetMarginBottom, &TStringsPrinter::MarginBottom, 0, 100},
        {&TStringsPrinter::SetMarginLine, &TStringsPrinter::MarginLine, 0, 100},
        {&TStringsPrinter::SetStartPage, &TStringsPrinter::StartPage, 1, 999999},
        {&TStringsPrinter::SetFirstLineNumber, &TStringsPrinter::FirstLineNumber, 1, 999999},
    };
    for (const auto& prop : props)
    {
        (p.*prop.set)(prop.lo - 1);
        EXPECT_EQ((p.*prop.get)(), prop.lo);
        (p.*prop.set)(prop.hi + 50);
        EXPECT_EQ((p.*prop.get)(), prop.hi);
    }
}

TEST(StringsPrinter, HeaderMacrosExpand)
{
    TStringsPrinter p(nullptr);
    p.SetFileName("C:\\a\\表\\b.txt"); // 表 ends in 0x5C
    const struct
    {
        const char* format;
        const char* expanded;
    } cases[] = {
        {"%F", "b.txt"}, {"%f", "C:\\a\\表\\b.txt"}, {"100%%", "100%"}, {"abc%", "abc"},
        {"%x%", "x"},    {"%表", "表"},              {"表%%表", "表%表"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(p.ParseHeader(c.format).str()), Hex(c.expanded)) << c.format;
    p.SetFileName("C:\\a\\表");
    EXPECT_EQ(Hex(p.ParseHeader("[%F]").str()), Hex("[表]"));
}

TEST(StringsPrinter, PageChoiceFollowsRangeAndParity)
{
    const struct
    {
        TStringsPrinterRangeOption range;
        int start, last, first;
        TStringsPrinterPageOption parity;
        int pages;
        std::vector<int> kept; // 0-based layout indices
    } cases[] = {
        {roWhole, 1, 999999, 1, poBoth, 4, {0, 1, 2, 3}},
        {roWhole, 1, 999999, 1, poOdd, 4, {0, 2}},
        {roWhole, 1, 999999, 1, poEven, 4, {1, 3}},
        {roWhole, 1, 999999, 1, poEven, 1, {}},
        {roLimited, 3, 4, 3, poBoth, 6, {2, 3}},
        {roLimited, 3, 5, 3, poOdd, 6, {2, 4}},
        {roLimited, 5, 3, 5, poBoth, 6, {}}, // start after the last page
        {roLimited, 2, 9, 1, poEven, 3, {2}}, // the parity is that of the printed number
    };
    for (const auto& c : cases)
    {
        TStringsPrinter p(nullptr);
        p.SetRangeOption(c.range);
        p.SetStartPage(c.start);
        p.SetLastPage(c.last);
        p.SetFirstPageNumber(c.first);
        p.SetPageOption(c.parity);
        std::vector<int> kept;
        for (int i = 0; i < c.pages; ++i)
            if (p.PageChosen(i))
                kept.push_back(i);
        EXPECT_EQ(kept, c.kept) << "start " << c.start << " last " << c.last << " parity " << c.parity;
    }
}

namespace
{
struct typLaidOut
{
    bool ok = false;
    std::vector<std::vector<typTextRecord>> pages;
};

typLaidOut LayOut(TStringsPrinter& p, const std::vector<std::string>& lines)
{
    TStringList strings;
    for (const std::string& l : lines)
        strings.Add(l.c_str());
    TMetaFileList list;
    typLaidOut out;
    out.ok = p.DivideStringsToMetaFiles(&strings, &list, "test");
    for (int i = 0; i < list.GetCount(); ++i)
        out.pages.push_back(TextRecords(list.GetMetaFile(i)->Handle()));
    return out;
}

std::vector<std::string> Numbered(int n)
{
    std::vector<std::string> lines;
    for (int i = 1; i <= n; ++i)
        lines.push_back("L" + std::to_string(i));
    return lines;
}
} // namespace

// At 300 dpi on A4: the header and footer bands sit on the margins, the text stays between them,
// the gutter is as wide as the largest number printed and every source line appears once, in order.
TEST(StringsPrinterLayout, PagesKeepTheirBandsGutterAndColumns)
{
    TFakePrinter printer;
    TBoxServices services;
    const struct
    {
        int left, top, right, bottom, columns, gap, spacing;
        bool numbers;
        int firstLine;
    } cases[] = {
        {10, 10, 10, 10, 1, 4, 0, false, 1},
        {20, 15, 5, 25, 2, 10, 2, true, 1},
        {0, 0, 0, 0, 3, 0, 0, true, 9990}, // the numbers reach 5 digits
    };
    for (const auto& c : cases)
    {
        TStringsPrinter p(nullptr);
        p.Font()->SetName("ＭＳ ゴシック");
        p.Font()->SetSize(10);
        p.SetMarginLeft(c.left);
        p.SetMarginTop(c.top);
        p.SetMarginRight(c.right);
        p.SetMarginBottom(c.bottom);
        p.SetColumnCount(c.columns);
        p.SetColumnSpace(c.gap);
        p.SetMarginLine(c.spacing);
        p.SetLineNumber(c.numbers);
        p.SetFirstLineNumber(c.firstLine);
        p.SetHeader("H%p");
        p.SetHeaderAlign(haLeft);
        p.SetFooter("F%p");
        p.SetFooterAlign(haRight);
        const int lines = 400;
        typLaidOut out = LayOut(p, Numbered(lines));
        ASSERT_TRUE(out.ok);
        ASSERT_GE(out.pages.size(), 2u);
        const RECTL page{Dot(c.left), Dot(c.top), 2480 - Dot(c.right), 3508 - Dot(c.bottom)};
        int charWidth = 0;
        {
            TMetafile probe;
            TMetafileCanvas canvas(&probe, printer.Handle());
            canvas.SetFont(p.Font());
            canvas.Font()->SetSize(int(std::lround(p.Font()->Size() / p.Ratio())));
            TEXTMETRICW tm{};
            GetTextMetricsW(canvas.Handle(), &tm);
            charWidth = tm.tmAveCharWidth;
        }
        int next = 1;
        for (size_t i = 0; i < out.pages.size(); ++i)
        {
            const auto& recs = out.pages[i];
            const std::string number = std::to_string(i + 1);
            ASSERT_GE(recs.size(), 2u);
            const typTextRecord& header = recs.front();
            const typTextRecord& footer = recs.back();
            EXPECT_EQ(header.text, "H" + number);
            EXPECT_EQ(footer.text, "F" + number);
            EXPECT_EQ(header.clip.left, page.left);
            EXPECT_EQ(header.clip.top, page.top);
            EXPECT_EQ(footer.clip.right, page.right);
            EXPECT_EQ(footer.clip.bottom, page.bottom);
            std::vector<LONG> columnLefts;
            for (size_t r = 1; r + 1 < recs.size(); ++r)
            {
                const typTextRecord& t = recs[r];
                EXPECT_GE(t.clip.left, page.left);
                EXPECT_LE(t.clip.right, page.right);
                EXPECT_GE(t.ref.y, header.clip.bottom);
                EXPECT_LE(t.clip.bottom, footer.clip.top);
                if (t.text[0] != 'L')
                {
                    // A line number: right-aligned in a gutter that ends where the text begins.
                    const int expected = c.firstLine + next - 1;
                    EXPECT_EQ(t.text, std::to_string(expected) + ":");
                    const int largest = c.firstLine + lines - 1;
                    EXPECT_EQ(t.clip.right - t.clip.left, int(std::to_string(largest).size() + 2) * charWidth);
                    ASSERT_LT(r + 2, recs.size());
                    EXPECT_EQ(recs[r + 1].clip.left, t.clip.right);
                    continue;
                }
                EXPECT_EQ(t.text, "L" + std::to_string(next)) << "page " << i;
                ++next;
                if (std::find(columnLefts.begin(), columnLefts.end(), t.clip.left) == columnLefts.end())
                    columnLefts.push_back(t.clip.left);
            }
            EXPECT_LE(int(columnLefts.size()), c.columns);
        }
        EXPECT_EQ(next, lines + 1);
    }
}

TEST(StringsPrinterLayout, TextAfterATabIsNeverClipped)
{
    TFakePrinter printer;
    TBoxServices services;
    TStringsPrinter p(nullptr);
    p.Font()->SetName("ＭＳ ゴシック");
    p.SetMarginLeft(80);
    p.SetMarginRight(80);
    p.SetTabSize(8);
    typLaidOut out = LayOut(p, {"\t\t\t\t\tabcdefghijklmnopqrstuvwxyz0123456789"});
    ASSERT_TRUE(out.ok);
    std::string printed;
    for (const auto& page : out.pages)
        for (const typTextRecord& t : page)
        {
            printed += t.text;
            // Whatever is drawn begins inside its clip rectangle.
            EXPECT_LT(t.ref.x, t.clip.right) << t.text;
        }
    EXPECT_EQ(printed, "abcdefghijklmnopqrstuvwxyz0123456789");
}

TEST(StringsPrinterLayout, HeaderOnThirdPageNamesFileAndPage)
{
    TFakePrinter printer;
    TBoxServices services;
    TStringsPrinter p(nullptr);
    p.SetFileName("C:\\a\\b.txt");
    p.SetHeader("%F - %p");
    p.SetHeaderAlign(haCenter);
    typLaidOut out = LayOut(p, Numbered(400));
    ASSERT_TRUE(out.ok);
    ASSERT_GE(out.pages.size(), 3u);
    EXPECT_EQ(out.pages[2].front().text, "b.txt - 3");
}

TEST(StringsPrinterLayout, PagesHoldNoGdiObjectsAndLeaveNoneBehind)
{
    TFakePrinter printer;
    TBoxServices services;
    TStringsPrinter p(nullptr);
    p.SetHeader("%p");
    p.SetHeaderAlign(haCenter);
    TStringList lines;
    TMetaFileList pages;
    // The first layout makes what is made once (the progress window's class, cached fonts).
    lines.Add("x");
    ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &pages, "t"));
    pages.Clear();
    const int before = GdiObjectsInUse();
    for (int i = 0; i < 6000; ++i)
        lines.Add("表 line\twith a tab " + IntToStr(i));
    ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &pages, "t"));
    ASSERT_GE(pages.GetCount(), 50);
    EXPECT_LE(GdiObjectsInUse() - before, 2) << pages.GetCount() << " pages";
    pages.Clear();
    EXPECT_EQ(GdiObjectsInUse(), before);
}

TEST(StringsPrinterLayout, AnEmptyListGivesOnePageWithHeaderAndFooterOnly)
{
    TFakePrinter printer;
    TBoxServices services;
    TStringsPrinter p(nullptr);
    p.SetHeader("H");
    p.SetHeaderAlign(haLeft);
    p.SetFooter("F");
    p.SetFooterAlign(haLeft);
    typLaidOut out = LayOut(p, {});
    ASSERT_TRUE(out.ok);
    ASSERT_EQ(out.pages.size(), 1u);
    ASSERT_EQ(out.pages[0].size(), 2u);
    EXPECT_EQ(out.pages[0][0].text, "H");
    EXPECT_EQ(out.pages[0][1].text, "F");
}

TEST(StringsPrinterLayout, DegeneratePagesAreRefusedWithAMessage)
{
    const struct
    {
        int width, height;
        bool dc;
        int left, right, top, bottom, columns, gap;
    } cases[] = {
        {0, 3508, true, 0, 0, 0, 0, 1, 0},        // no paper
        {2480, 0, true, 0, 0, 0, 0, 1, 0},
        {2480, 3508, false, 0, 0, 0, 0, 1, 0},    // no printer DC
        {2480, 3508, true, 100, 100, 0, 0, 1, 0}, // 10 mm left: narrower than one character
        {2480, 3508, true, 0, 0, 0, 0, 3, 100},   // so do the column gaps
        {2480, 3508, true, 0, 0, 100, 100, 1, 0}, // no room for one line between the bands
    };
    for (const auto& c : cases)
    {
        TFakePrinter printer(c.width, c.height);
        printer.hasDC = c.dc;
        TBoxServices services;
        TStringsPrinter p(nullptr);
        p.Font()->SetSize(72);
        p.SetHeader("H");
        p.SetHeaderAlign(haLeft);
        p.SetFooter("F");
        p.SetFooterAlign(haLeft);
        p.SetMarginLeft(c.left);
        p.SetMarginRight(c.right);
        p.SetMarginTop(c.top);
        p.SetMarginBottom(c.bottom);
        p.SetColumnCount(c.columns);
        p.SetColumnSpace(c.gap);
        typLaidOut out = LayOut(p, Numbered(50));
        EXPECT_FALSE(out.ok) << c.width << "x" << c.height << " margins " << c.left << "," << c.top;
        EXPECT_TRUE(p.Reported());
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes[0], msgPrintNoRoom);
    }
}

namespace
{
// A page as the text it draws, each output with its place and clip.
std::vector<std::string> PageText(HENHMETAFILE page)
{
    std::vector<std::string> out;
    for (const typTextRecord& r : TextRecords(page))
        out.push_back(r.text + "@" + std::to_string(r.ref.x) + "," + std::to_string(r.ref.y) + "[" +
                      std::to_string(r.clip.left) + "," + std::to_string(r.clip.top) + "," +
                      std::to_string(r.clip.right) + "," + std::to_string(r.clip.bottom) + "]");
    return out;
}

// A document of many pages: numbered lines, tabs, and a long line that wraps over a page's end.
void FillDocument(TStringList& lines, int count)
{
    for (int i = 1; i <= count; ++i)
    {
        if (i % 97 == 0)
        {
            AnsiString longLine;
            for (int k = 0; k < 400; ++k)
                longLine += "語 word\t";
            lines.Add(longLine);
        }
        else
            lines.Add(("L" + std::to_string(i) + "\tx").c_str());
    }
}

// In the modal preview: every page's text, then the window is closed.
struct TPreviewPages
{
    std::vector<std::vector<std::string>> pages;
    void Shown(TObject* sender)
    {
        auto* form = static_cast<TFormStrPreview*>(sender);
        for (int i = 0; i < form->Pages()->GetCount(); ++i)
        {
            form->SetMetaFileIndex(i);
            pages.push_back(PageText(form->Pages()->GetMetaFile(i)->Handle()));
        }
        // Back to the first page: laid out again, it is the same.
        form->SetMetaFileIndex(0);
        if (!pages.empty())
        {
            EXPECT_EQ(PageText(form->Pages()->GetMetaFile(0)->Handle()), pages.front());
        }
        form->Close();
    }
};
} // namespace

TEST(StringsPrinterPages, PrintedAndPreviewedPagesAreTheLaidOutOnes)
{
    const struct
    {
        int columns;
        bool numbers;
        TStringsPrinterPageOption parity;
        TStringsPrinterRangeOption range;
        int start, last;
        int lines, firstLine, lastLine; // the source lines laid out (all when lastLine is 0)
        int bands, spacing;             // top and bottom margins, line spacing (mm)
    } cases[] = {
        {1, false, poBoth, roWhole, 1, 999999, 1200, 1, 0, 0, 0},
        {2, true, poOdd, roWhole, 1, 999999, 1200, 1, 0, 10, 1},
        {3, true, poEven, roLimited, 2, 5, 1200, 1, 0, 0, 0},
        {1, true, poBoth, roLimited, 4, 4, 1200, 1, 0, 0, 0},
        {2, true, poBoth, roWhole, 1, 999999, 1200, 90, 900, 0, 0},
        // No line fits with its spacing: each piece on a page of its own, the first page empty.
        {1, true, poBoth, roWhole, 1, 999999, 8, 1, 0, 100, 99},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.columns << " columns, parity " << c.parity << ", pages " << c.start << "-"
                                        << c.last << ", lines " << c.firstLine << "-" << c.lastLine << ", spacing "
                                        << c.spacing);
        TFakePrinter device;
        TBoxServices services;
        TStringsPrinter p(nullptr);
        p.SetColumnCount(c.columns);
        p.SetLineNumber(c.numbers);
        p.SetPageOption(c.parity);
        p.SetRangeOption(c.range);
        p.SetStartPage(c.start);
        p.SetLastPage(c.last);
        p.SetFirstPageNumber(c.range == roLimited ? c.start : 1);
        p.SetHeader("H%p %F");
        p.SetHeaderAlign(haCenter);
        p.SetFooter("F%p");
        p.SetFooterAlign(haRight);
        p.SetFileName("C:\\doc\\a.txt");
        p.SetLineRangeOption(c.lastLine ? roLimited : roWhole);
        p.SetStartLine(c.firstLine);
        p.SetLastLine(c.lastLine);
        p.SetMarginTop(c.bands);
        p.SetMarginBottom(c.bands);
        p.SetMarginLine(c.spacing);
        TStringList lines;
        FillDocument(lines, c.lines);
        std::vector<std::vector<std::string>> expected;
        {
            TMetaFileList all;
            ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &all, "t"));
            ASSERT_GE(all.GetCount(), 5);
            for (int i = 0; i < all.GetCount(); ++i)
                if (p.PageChosen(i))
                    expected.push_back(PageText(all.GetMetaFile(i)->Handle()));
        }
        ASSERT_FALSE(expected.empty());
        ASSERT_TRUE(p.PrintStrings(&lines));
        std::vector<std::vector<std::string>> printed;
        for (HENHMETAFILE page : device.jobPages)
            printed.push_back(PageText(page));
        EXPECT_EQ(printed, expected);
        TPreviewPages previewed;
        TFormStrPreview::OnShown = TNotifyEvent(&previewed, &TPreviewPages::Shown);
        EXPECT_TRUE(p.PreviewStrings(&lines));
        TFormStrPreview::OnShown = nullptr;
        EXPECT_EQ(previewed.pages, expected);
        EXPECT_TRUE(services.boxes.empty());
    }
}

namespace
{
// The most metafile bytes held at any moment a timer could look, while it runs.
struct THeldBytes
{
    static inline size_t most = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { most = std::max(most, MetafileBytesHeld()); }
    void Shown(TObject* sender)
    {
        Tick(nullptr, 0, 0, 0);
        auto* form = static_cast<TFormStrPreview*>(sender);
        form->SpeedButtonClick(form->SpeedButton4);
        Tick(nullptr, 0, 0, 0);
        form->Close();
    }
};
} // namespace

TEST(StringsPrinterPages, PrintingAndPreviewingHoldNoMoreThanAPageOrTwo)
{
    TFakePrinter device;
    TBoxServices services;
    TStringsPrinter p(nullptr);
    p.SetHeader("%p");
    p.SetHeaderAlign(haLeft);
    TStringList lines;
    FillDocument(lines, 6000);
    size_t page = 0;
    int pages = 0;
    {
        TMetaFileList all;
        ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &all, "t"));
        pages = all.GetCount();
        for (int i = 0; i < pages; ++i)
            page = std::max(page, all.GetMetaFile(i)->Size());
    }
    ASSERT_GE(pages, 50);
    const size_t before = MetafileBytesHeld();
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, THeldBytes::Tick);
    THeldBytes::most = 0;
    ASSERT_TRUE(p.PrintStrings(&lines));
    EXPECT_EQ(int(device.jobPages.size()), pages);
    EXPECT_LE(THeldBytes::most - before, 2 * page) << "printing, pages of " << page << " bytes";
    THeldBytes::most = 0;
    THeldBytes look;
    TFormStrPreview::OnShown = TNotifyEvent(&look, &THeldBytes::Shown);
    EXPECT_TRUE(p.PreviewStrings(&lines));
    TFormStrPreview::OnShown = nullptr;
    KillTimer(nullptr, timer);
    EXPECT_LE(THeldBytes::most - before, 2 * page) << "previewing, pages of " << page << " bytes";
    EXPECT_EQ(MetafileBytesHeld(), before);
}
