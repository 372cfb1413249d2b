#include <gtest/gtest.h>

#include <random>

#include "common/ColorRec.h"

TEST(ColorRec, DefaultIsBlackOnWhiteWithoutStyle)
{
    typColorRec r;
    EXPECT_EQ(r, typColorRec(0, 0xFFFFFF, false, false, false));
    EXPECT_EQ(r.ToString(), "0,16777215,0,0,0");
}

TEST(ColorRec, ReadsStoredTextOverItsStartValues)
{
    const typColorRec start(0x123, 0x456, false, true, false);
    const struct
    {
        const char* text;
        typColorRec expected;
    } cases[] = {
        {"", start},
        {"   ", start},
        {"255,16777215,1,0,1", {255, 0xFFFFFF, true, false, true}},
        {"1,2", {1, 2, false, true, false}},
        {" 7 , 8 ,2,0,-1", {7, 8, true, false, false}},
        {"-2147483635,-2147483634,0,0,0", {int(0x8000000D), int(0x8000000E), false, false, false}},
        {"2147483661,0", {int(0x8000000D), 0, false, true, false}}, // written unsigned
        {"99999999999,5", {0x123, 5, false, true, false}},           // not a 32-bit number
        {"abc,12px", {0, 12, false, true, false}},                   // read like atoi
        {"1,2,3,4,5,6", {1, 2, true, true, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(typColorRec(c.text, start), c.expected) << c.text;
}

TEST(ColorRec, StoredTextReadsBackTheSameRecord)
{
    const unsigned seed = 5;
    std::mt19937 rng(seed);
    for (int i = 0; i < 500; ++i)
    {
        const int colour = int(rng()), bk = int(rng());
        typColorRec r{colour, bk, (rng() & 1) != 0, (rng() & 1) != 0, (rng() & 1) != 0};
        EXPECT_EQ(typColorRec(r.ToString(), typColorRec()), r) << "seed " << seed << ": " << r.ToString().c_str();
    }
}
