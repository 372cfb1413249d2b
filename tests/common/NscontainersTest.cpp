#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "common/Nscontainers.h"

namespace
{
std::string Bytes(const nsString& s) { return std::string(s.c_str(), size_t(s.Length())); }

// Element that counts live instances, to see what a list deletes.
struct Counted
{
    static int alive;
    nsString key;
    int id = 0;
    Counted(const char* k, int i) : key(k), id(i) { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

int NsListCompare(const Counted& a, const Counted& b) { return CompareNsString(a.key, b.key); }
} // namespace

// --- nsString ---------------------------------------------------------------------------------

TEST(NsString, EmptySourceHoldsNoBufferAndConvertsBackToEmpty)
{
    for (const nsString& s : {nsString(), nsString(""), nsString(nullptr), AnsiToNsString(AnsiString()),
                              nsString("abc", 0)})
    {
        EXPECT_EQ(s.Data(), nullptr);
        EXPECT_STREQ(s.c_str(), "");
        EXPECT_TRUE(NsStringToAnsi(s).IsEmpty());
    }
}

TEST(NsString, AssignmentFromItselfOrItsOwnBufferKeepsTheText)
{
    nsString s("漢字abc");
    const nsString& alias = s;
    s = alias;
    EXPECT_EQ(Bytes(s), "漢字abc");
    s = s.c_str() + 4; // the tail of its own buffer
    EXPECT_EQ(Bytes(s), "abc");
    s.Assign(s.c_str() + 1, 1);
    EXPECT_EQ(Bytes(s), "b");
}

TEST(NsString, CopiesOwnSeparateBuffersAndKeepEmbeddedNul)
{
    nsString a = AnsiToNsString(AnsiString("x\0y", 3));
    nsString b = a;
    EXPECT_EQ(b.Length(), 3);
    EXPECT_NE(a.Data(), b.Data());
    EXPECT_EQ(NsStringToAnsi(b), AnsiString("x\0y", 3));
    a = "z";
    EXPECT_EQ(Bytes(b), std::string("x\0y", 3));
}

// --- CompareNsString --------------------------------------------------------------------------

TEST(CompareNsString, FoldsAsciiLettersOnlyAndComparesBytesUnsigned)
{
    struct Case
    {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"ab", "AB", 0},
        {"ab", "abc", -1},
        {"abc", "ab", 1},
        {"", "a", -1},
        {"a", "", 1},
        {"", "", 0},
        {"txt", "TXT", 0},
        {"a", "b", -1},
        {"B", "a", 1},
        {"z", "ｱ", -1},       // 7A < B1 when unsigned
        {"ｱ", "z", 1},
        {"_", "a", 1},        // letters fold to upper case, which sorts before "_"
        {"ア", "ヂ", -1},     // 83 41 vs 83 61: trail bytes that look like A and a
        {"ヂ", "ア", 1},
        {"ィ", "ッ", -1},     // 83 42 vs 83 62
        {"イ", "ツ", -1},     // 83 43 vs 83 63
        {"ク", "ハ", -1},     // 83 4E vs 83 6E
        {"アa", "アA", 0},    // an ASCII letter after a double-byte character still folds
        {"Ａ", "ａ", -1},     // full-width letters are not folded
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(CompareNsString(c.a, c.b), c.expected) << "'" << c.a << "' vs '" << c.b << "'";
        EXPECT_EQ(CompareNsString(c.b, c.a), -c.expected) << "'" << c.b << "' vs '" << c.a << "'";
    }
    EXPECT_EQ(CompareNsString(nsString(nullptr), nsString("")), 0);
}

// --- nsArray ----------------------------------------------------------------------------------

TEST(NsArray, WritingPastTheEndExtendsWithEmptyElements)
{
    nsArray<nsString> a;
    a[5] = "x";
    EXPECT_EQ(a.Count(), 6);
    EXPECT_EQ(a.Capacity(), 64);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(a.At(i).Data(), nullptr) << i;
    EXPECT_EQ(Bytes(a.At(5)), "x");

    nsArray<wchar_t> w;
    w[99] = L'x';
    for (int i = 0; i < 99; ++i)
        ASSERT_EQ(w.At(i), L'\0') << i;
}

TEST(NsArray, ResizeRoundsUpToTheNextStep)
{
    const int cases[][2] = {{1, 64}, {63, 64}, {64, 128}, {65, 128}, {127, 128}, {128, 192}};
    for (const auto& c : cases)
    {
        nsArray<int> a;
        a.Resize(c[0]);
        EXPECT_EQ(a.Capacity(), c[1]) << c[0];
        EXPECT_EQ(a.Count(), 0);
    }
}

TEST(NsArray, BadIndexRaisesAndChangesNothing)
{
    nsArray<nsString> a;
    a.Add("a");
    a.Add("b");
    a.Add("c");
    const int cap = a.Capacity();
    const nsArray<nsString>& ro = a;
    EXPECT_THROW(a[-1], ERangeError);
    EXPECT_THROW(a[INT_MIN], ERangeError);
    EXPECT_THROW(a[INT_MAX], ERangeError);
    EXPECT_THROW(a[nsArray<nsString>::MaxCount()], ERangeError);
    EXPECT_THROW(a.At(3), ERangeError);
    EXPECT_THROW(ro[3], ERangeError);
    EXPECT_THROW(a.Resize(INT_MAX), EOutOfMemory);
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(a.Capacity(), cap);
    EXPECT_EQ(Bytes(ro[2]), "c");
}

TEST(NsArray, AddOfItsOwnElementSurvivesGrowth)
{
    nsArray<nsString> a;
    for (int i = 0; i < 64; ++i)
        a.Add(nsString(std::to_string(i).c_str()));
    ASSERT_EQ(a.Capacity(), a.Count()); // the next Add moves the elements
    a.Add(a.At(0));
    EXPECT_EQ(Bytes(a.At(a.Count() - 1)), "0");
}

TEST(NsArray, AppendingReallocatesOnlyLogarithmically)
{
    nsArray<wchar_t> a;
    int reallocations = 0;
    int cap = a.Capacity();
    for (int i = 0; i < 200000; ++i)
    {
        a.Add(wchar_t(i));
        if (a.Capacity() != cap)
        {
            ++reallocations;
            cap = a.Capacity();
        }
    }
    EXPECT_LE(reallocations, 20);
    nsArray<wchar_t> b;
    b.Reserve(1000);
    EXPECT_EQ(b.Capacity(), 1024);
    for (int i = 0; i < 1000; ++i)
        b.Add(L'x');
    EXPECT_EQ(b.Capacity(), 1024);
}

TEST(NsArray, RandomOperationsMatchAVectorModel)
{
    const unsigned seed = 20240605;
    std::mt19937 rng(seed);
    nsArray<nsString> a;
    std::vector<std::string> model;
    for (int step = 0; step < 5000; ++step)
    {
        std::string value = "v" + std::to_string(rng() % 1000);
        switch (rng() % 10)
        {
        case 0:
        case 1:
        case 2:
        {
            int index = int(rng() % (model.size() + 70));
            a[index] = value.c_str();
            if (size_t(index) >= model.size())
                model.resize(size_t(index) + 1);
            model[size_t(index)] = value;
            break;
        }
        case 3:
        case 4:
        case 5:
            ASSERT_EQ(a.Add(value.c_str()), int(model.size())) << "seed " << seed << " step " << step;
            model.push_back(value);
            break;
        case 6:
            if (rng() % 20 == 0)
            {
                a.Clear();
                model.clear();
            }
            break;
        default:
        {
            int index = int(rng() % (model.size() + 3)) - 1;
            if (index >= 0 && size_t(index) < model.size())
                ASSERT_EQ(Bytes(a.At(index)), model[size_t(index)]) << "seed " << seed << " step " << step;
            else
                ASSERT_THROW(a.At(index), ERangeError) << "seed " << seed << " step " << step;
        }
        }
        ASSERT_EQ(a.Count(), int(model.size())) << "seed " << seed << " step " << step;
    }
    nsArray<nsString> copy = a;
    for (int i = 0; i < copy.Count(); ++i)
        ASSERT_EQ(Bytes(copy.At(i)), model[size_t(i)]) << "seed " << seed;
}

// --- nsList -----------------------------------------------------------------------------------

TEST(NsList, AddAndInsertRefuseNullAndBadIndexes)
{
    nsList<nsString> l;
    l.Add(new nsString("a"));
    EXPECT_EQ(l.Add(nullptr), -1);
    EXPECT_EQ(l.Insert(0, nullptr), -1);
    EXPECT_EQ(l.Insert(1, nullptr), -1);
    nsString* stray = new nsString("b");
    EXPECT_EQ(l.Insert(-1, stray), -1);
    EXPECT_EQ(l.Insert(2, stray), -1);
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(l.Insert(1, stray), 1); // at the count: appends
    EXPECT_EQ(l.Insert(0, new nsString("c")), 1);
    ASSERT_EQ(l.Count(), 3);
    EXPECT_EQ(Bytes(*l.Get(0)), "c");
    EXPECT_EQ(Bytes(*l.Get(2)), "b");
    EXPECT_EQ(l.Get(3), nullptr);
    EXPECT_EQ(l.Get(-1), nullptr);
}

TEST(NsList, ClearDeletesOwnedItemsAndKeepsTheSlots)
{
    {
        nsList<Counted> l;
        for (int i = 0; i < 10; ++i)
            l.Add(new Counted("k", i));
        const int cap = l.Capacity();
        l.Clear();
        EXPECT_EQ(Counted::alive, 0);
        EXPECT_EQ(l.Count(), 0);
        EXPECT_EQ(l.Capacity(), cap);
        for (int i = 0; i < cap; ++i)
            l.Add(new Counted("k", i));
        EXPECT_EQ(l.Capacity(), cap);
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(NsList, DeleteFreesAnOwnedItemAndExtractHandsItOver)
{
    nsList<Counted> l;
    for (int i = 0; i < 4; ++i)
        l.Add(new Counted("k", i));
    EXPECT_TRUE(l.Delete(1));
    EXPECT_EQ(Counted::alive, 3);
    EXPECT_FALSE(l.Delete(3));
    EXPECT_FALSE(l.Delete(-1));
    Counted* c = l.Extract(1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->id, 2);
    EXPECT_EQ(Counted::alive, 3);
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Get(1)->id, 3);
    EXPECT_EQ(l.Extract(2), nullptr);
    delete c;
    l.SetOwns(false);
    Counted keep("k", 9);
    l.Add(&keep);
    EXPECT_TRUE(l.Delete(2));
    EXPECT_EQ(keep.id, 9);
    l.SetOwns(true);
    l.Clear();
    EXPECT_EQ(Counted::alive, 1); // only `keep`
}

TEST(NsList, AddSortedPutsANewEqualItemFirstAndFindReportsTheRun)
{
    nsList<Counted> l;
    const char* keys[] = {"txt", "c", "TXT", "h", "Txt", "cpp", "tXt", "ア", "ヂ"};
    int id = 0;
    for (const char* k : keys)
    {
        Counted* item = new Counted(k, id++);
        int at = l.AddSorted(item);
        ASSERT_GE(at, 0);
        EXPECT_EQ(l.Get(at), item);
        int first = -1, last = -1;
        ASSERT_TRUE(l.Find(item, first, last));
        EXPECT_EQ(first, at) << k;
    }
    Counted key("TxT", -1);
    int first = -1, last = -1;
    ASSERT_TRUE(l.Find(&key, first, last));
    EXPECT_EQ(last - first + 1, 4);
    EXPECT_EQ(l.Get(first)->id, 6); // the newest equal item leads the run
    EXPECT_EQ(l.Get(last)->id, 0);
    for (int i = first; i <= last; ++i)
        EXPECT_EQ(CompareNsString(l.Get(i)->key, "txt"), 0);
    EXPECT_TRUE(first == 0 || CompareNsString(l.Get(first - 1)->key, "txt") < 0);
    EXPECT_TRUE(last == l.Count() - 1 || CompareNsString(l.Get(last + 1)->key, "txt") > 0);

    Counted kana("ア", -1);
    ASSERT_NE(l.FindItem(&kana), nullptr);
    EXPECT_EQ(l.FindItem(&kana)->id, 7);
    Counted missing("hpp", -1);
    EXPECT_EQ(l.FindItem(&missing), nullptr);
    EXPECT_FALSE(l.Find(&missing, first, last));
    EXPECT_EQ(last, first + 1);
    EXPECT_EQ(CompareNsString(l.Get(first)->key, "h"), 0); // insertion point after "h"
}

TEST(NsList, FindOnAnEmptyOrUnsortedListWorks)
{
    nsList<nsString> l;
    nsString key("b");
    int first = 7, last = 7;
    EXPECT_FALSE(l.Find(&key, first, last));
    for (const char* k : {"d", "b", "a", "c", "b"})
        l.Add(new nsString(k));
    EXPECT_FALSE(l.IsSorted());
    ASSERT_TRUE(l.Find(&key, first, last));
    EXPECT_TRUE(l.IsSorted());
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
}

TEST(NsList, RandomSortedInsertsMatchASortedModel)
{
    const unsigned seed = 77;
    std::mt19937 rng(seed);
    const char* alphabet[] = {"a", "A", "b", "ab", "AB", "ア", "ヂ", "z", "_", "ｱ"};
    nsList<Counted> l;
    std::vector<std::string> model; // upper-folded keys, sorted
    auto fold = [](std::string s) {
        for (size_t i = 0; i < s.size(); ++i)
        {
            unsigned char b = (unsigned char)s[i];
            if (IsSjisLead(b) && i + 1 < s.size())
                ++i;
            else if (b >= 'a' && b <= 'z')
                s[i] = char(b - 0x20);
        }
        return s;
    };
    for (int step = 0; step < 400; ++step)
    {
        std::string k = std::string(alphabet[rng() % 10]) + alphabet[rng() % 10];
        if (step % 50 == 49)
            l.Sort(); // a resort must keep the order valid
        Counted* item = new Counted(k.c_str(), step);
        int at = l.AddSorted(item);
        model.push_back(fold(k));
        ASSERT_GE(at, 0) << "seed " << seed << " step " << step;
        int first = -1, last = -1;
        ASSERT_TRUE(l.Find(item, first, last)) << "seed " << seed << " step " << step;
        ASSERT_EQ(l.Get(first), item) << "seed " << seed << " step " << step;
        ASSERT_EQ(last - first + 1, int(std::count(model.begin(), model.end(), fold(k))))
            << "seed " << seed << " step " << step;
    }
    for (int i = 1; i < l.Count(); ++i)
        ASSERT_LE(CompareNsString(l.Get(i - 1)->key, l.Get(i)->key), 0) << "seed " << seed << " at " << i;
}

// --- nsWString --------------------------------------------------------------------------------

TEST(NsWString, CopiesAndKeepsEmbeddedNul)
{
    const wchar_t text[] = {L'a', 0, L'b'};
    nsWString a(text, 3);
    nsWString b = a;
    EXPECT_EQ(b.Length(), 3);
    EXPECT_NE(a.c_str(), b.c_str());
    b = b;
    EXPECT_EQ(b.c_str()[2], L'b');
    EXPECT_EQ(nsWString(L"").Length(), 0);
    EXPECT_STREQ(nsWString().c_str(), L"");
}
