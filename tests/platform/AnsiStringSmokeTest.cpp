#include <gtest/gtest.h>

#include "platform/AnsiString.h"

TEST(AnsiStringSmoke, ConcatenatesAndIndexesFromOne)
{
    AnsiString s = AnsiString("ab") + "c";
    EXPECT_EQ(s.Length(), 3);
    EXPECT_EQ(s[1], 'a');
}
