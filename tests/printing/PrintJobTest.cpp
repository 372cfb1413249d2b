#include <gtest/gtest.h>

#include "printing/StrPrint.h"
#include "tests/TestFiles.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
int Count(const std::string& s, const std::string& what)
{
    int n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(PrintJob, FilePrinterReceivesTheChosenPagesUnderTheDocumentTitle)
{
    TTempDir dir;
    std::string why;
    ASSERT_TRUE(AddFilePrinter(L"VnFilePrinter", SjisToWide(dir.Path()), why)) << why;
    TBoxServices services;
    const struct
    {
        TStringsPrinterPageOption parity;
        int pages;
    } cases[] = {{poBoth, 3}, {poOdd, 2}, {poEven, 1}};
    for (const auto& c : cases)
    {
        const AnsiString out = dir / ("job" + std::to_string(int(c.parity)) + ".ps").c_str();
        Printer()->SetOutputFile(out);
        TStringsPrinter p(nullptr);
        p.SetFileName("C:\\doc\\report.txt");
        p.SetPageOption(c.parity);
        TStringList lines;
        // Three pages at the printer's own resolution: find how many lines one page takes first.
        TMetaFileList probe;
        for (int i = 0; i < 2000 && probe.GetCount() < 4; i += 50)
        {
            for (int k = 0; k < 50; ++k)
                lines.Add(("line " + std::to_string(i + k)).c_str());
            probe.Clear();
            ASSERT_TRUE(p.DivideStringsToMetaFiles(&lines, &probe, "t"));
            if (probe.GetCount() == 3)
                break;
        }
        ASSERT_EQ(probe.GetCount(), 3);
        ASSERT_TRUE(p.PrintStrings(&lines));
        const std::string ps = TTempDir::Read(out).str();
        EXPECT_EQ(PostScriptTitle(ps), "Varnolet[report.txt]");
        EXPECT_EQ(Count(ps, "%%Page:"), c.pages);
        EXPECT_TRUE(services.boxes.empty());
    }
    Printer()->SetOutputFile("");
}
