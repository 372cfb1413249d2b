#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CsvFields.h"

TEST(SplitCsvFields, SplitsAtCommasOutsideQuotes)
{
    const struct
    {
        const char* in;
        std::vector<std::string> out;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"*.txt,*.c", {"*.txt", "*.c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {",", {"", ""}},
        {" a , b ", {" a ", " b "}},
        {"\"a,b\",c", {"a,b", "c"}},
        {"\"x\"\"y\"", {"x\"y"}},
        {"\"\"", {""}},
        {"ソ,\"表,能\"", {"ソ", "表,能"}},
    };
    for (const auto& c : cases)
    {
        std::vector<AnsiString> got = SplitCsvFields(c.in);
        ASSERT_EQ(got.size(), c.out.size()) << c.in;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_EQ(got[i].str(), c.out[i]) << c.in << " field " << i;
    }
}
