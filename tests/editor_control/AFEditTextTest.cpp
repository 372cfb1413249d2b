// Byte-level text helpers of the editor control.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "editor_control/AFEditText.h"

// The word-at-a-time search finds the first tab wherever it stands in the word, next to bytes
// that differ from a tab in one bit or that carry into the next byte when a word is taken apart.
TEST(AFEditText, FindTabFindsTheFirstTabAsAByteByByteSearchDoes)
{
    const char kBytes[] = {'\t', 'a', '\x08', '\x0B', '\x19', '\x89', '\x00', '\x01', '\x80', '\xFF', '\x0A'};
    std::mt19937 rng(3);
    for (int round = 0; round < 20000; ++round)
    {
        std::string s(size_t(rng() % 24), 'x');
        const int tabs = int(rng() % 4);
        for (char& c : s)
            c = rng() % 8 < unsigned(tabs) ? '\t' : kBytes[1 + rng() % (sizeof kBytes - 1)];
        const size_t from = s.empty() ? 0 : rng() % s.size();
        const size_t n = s.size() - from;
        const char* found = FindTab(s.data() + from, n);
        const auto expected = std::find(s.begin() + ptrdiff_t(from), s.end(), '\t');
        ASSERT_EQ(found, expected == s.end() ? nullptr : &*expected) << "round " << round;
    }
}
