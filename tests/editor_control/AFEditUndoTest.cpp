#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "editor_control/AFEditUndo.h"

namespace
{
// A document that is only its history of changes: each change appends a token, and the undo
// buffer records the token in the record's index. Undoing a record must take exactly the token
// that is last in the text, and Edited may never read false while the text differs from the save.
class TDoc
{
public:
    explicit TDoc(int max) : buf(100) { buf.SetMax(max); }

    // A change whose record holds bytes bytes of text before it.
    void Change(int group, int bytes = 1)
    {
        int token = next++;
        text.push_back(token);
        groupOf.resize(size_t(token) + 1);
        groupOf[size_t(token)] = group;
        buf.Push(group, token, 0, TPoint(token, group), acChange, AnsiString::StringOfChar('b', bytes), "a",
                 TAttrListItem(), TAttrListItem());
    }
    // Walks one group back; returns the records undone.
    int Undo()
    {
        int n = 0;
        TUndoBuffItem* rec = buf.PrevPop();
        int id = rec ? rec->GroupId : 0;
        while (rec && rec->GroupId == id)
        {
            EXPECT_FALSE(text.empty());
            if (text.empty())
                return n;
            EXPECT_EQ(rec->Index, text.back()) << "an undo must reverse the latest change";
            lastUndone = text.back();
            text.pop_back();
            buf.ToPrev();
            ++n;
            rec = buf.PrevPop();
        }
        return n;
    }
    int Redo()
    {
        int n = 0;
        TUndoBuffItem* rec = buf.NextPop();
        int id = rec ? rec->GroupId : 0;
        while (rec && rec->GroupId == id)
        {
            text.push_back(rec->Index);
            buf.ToNext();
            ++n;
            rec = buf.NextPop();
        }
        return n;
    }
    void Save()
    {
        saved = text;
        buf.MarkSaved();
    }
    bool TextEdited() const { return text != saved; }

    TUndoBuff buf;
    std::vector<int> text;
    std::vector<int> saved;
    std::vector<int> groupOf; // group of each token
    int lastUndone = 0;
    int next = 1;
};

// Runs a script of steps and returns Edited after each, as a string of 0 and 1.
// p<g> change in group g, u undo, r redo, s save, m<n> set the limit, R reset.
std::string RunScript(TDoc& doc, const std::string& script)
{
    std::istringstream in(script);
    std::string step, out;
    while (in >> step)
    {
        switch (step[0])
        {
        case 'p': doc.Change(std::stoi(step.substr(1))); break;
        case 'u': doc.Undo(); break;
        case 'r': doc.Redo(); break;
        case 's': doc.Save(); break;
        case 'm': doc.buf.SetMax(std::stoi(step.substr(1))); break;
        case 'R':
            doc.buf.Reset();
            doc.text.clear();
            doc.saved.clear();
            break;
        }
        out += doc.buf.Edited() ? '1' : '0';
    }
    return out;
}
} // namespace

TEST(UndoBuff, EditedFollowsTheSavedStateThroughEditsUndoEvictionAndOverflow)
{
    struct Case
    {
        const char* name;
        int max;
        const char* script;
        const char* edited;
    };
    const Case cases[] = {
        {"save then edit", -1, "p1 s p2", "101"},
        {"save, undo, redo", -1, "p1 p2 s u r", "11010"},
        {"save, undo, edit: the saved state is gone", -1, "p1 p2 s u p3 u u", "1101111"},
        {"edit, save, undo back to before the save", -1, "p1 s u r", "1010"},
        {"undo to the start, save, redo", -1, "p1 p2 u u s r r", "1110011"},
        {"eviction after a save keeps the saved state reachable", 3, "p1 s p2 p3 u u", "101110"},
        {"eviction of the saved state", 3, "s p1 p2 p3 u u u", "0111111"},
        {"overflow of one operation after a save", 3, "p1 s p5 p5 p5 p5", "101111"},
        {"overflow, then save, then the same operation goes on", 3, "p5 p5 p5 s p5", "11101"},
        {"limit 0 records nothing but still marks the edit", 0, "s p1 s p2 u", "01011"},
        {"lowering the limit drops a saved state in the redo tail", -1, "p1 p2 p3 s u u u m2 r", "111011111"},
        {"lowering the limit below the position", -1, "p1 p2 s p3 m2 u u", "1101100"},
        {"lowering the limit keeps a reachable saved state", -1, "p1 p2 p3 s p4 m3 u", "1110110"},
        {"reset", -1, "p1 p2 R p3", "1101"},
    };
    for (const Case& c : cases)
    {
        TDoc doc(c.max);
        EXPECT_EQ(RunScript(doc, c.script), c.edited) << c.name << ": " << c.script;
    }
}

TEST(UndoBuff, LimitThreeKeepsTheLastTwoOneRecordOperations)
{
    TDoc doc(3);
    for (int g = 1; g <= 4; ++g)
        doc.Change(g);
    EXPECT_EQ(doc.Undo(), 1); // D
    EXPECT_EQ(doc.Undo(), 1); // C
    EXPECT_EQ(doc.Undo(), 0); // A and B were evicted
    EXPECT_EQ(doc.text, (std::vector<int>{1, 2}));
    EXPECT_EQ(doc.buf.PrevPop(), nullptr);
}

TEST(UndoBuff, LimitsOneAndTwoKeepTheLatestOneRecordOperation)
{
    for (int max : {1, 2})
    {
        TDoc doc(max);
        doc.Change(1);
        EXPECT_TRUE(doc.buf.Kept()) << max;
        doc.Change(2);
        EXPECT_TRUE(doc.buf.Kept()) << max;
        EXPECT_EQ(doc.Undo(), 1) << max;
        EXPECT_EQ(doc.Undo(), 0) << max;
        EXPECT_EQ(doc.Redo(), 1) << max;
        EXPECT_EQ(doc.Redo(), 0) << max;
    }
}

TEST(UndoBuff, EvictionDropsWholeOlderGroupsAndNeverThePushedOne)
{
    TDoc doc(4); // room for three records
    doc.Change(1);
    doc.Change(2);
    doc.Change(2);
    doc.Change(3); // evicts group 1 only
    doc.Change(3); // evicts the whole of group 2
    EXPECT_EQ(doc.buf.Position(), 2);
    EXPECT_EQ(doc.Undo(), 2);
    EXPECT_EQ(doc.Undo(), 0);
}

TEST(UndoBuff, AnOperationLargerThanTheBufferKeepsNoneOfItsRecords)
{
    TDoc doc(3);
    doc.Change(1);
    doc.Change(7);
    doc.Change(7); // evicts group 1: group 7 now fills the buffer
    EXPECT_TRUE(doc.buf.Kept());
    doc.Change(7); // would have to evict its own records: the history resets
    EXPECT_FALSE(doc.buf.Kept());
    EXPECT_EQ(doc.buf.PrevPop(), nullptr);
    EXPECT_EQ(doc.buf.Top(), 0);
    doc.Change(7); // the rest of the operation is refused
    EXPECT_FALSE(doc.buf.Kept());
    EXPECT_EQ(doc.buf.PrevPop(), nullptr);
    EXPECT_TRUE(doc.buf.Edited());
    doc.Change(8); // the next operation records again
    EXPECT_TRUE(doc.buf.Kept());
    EXPECT_EQ(doc.Undo(), 1);
    EXPECT_TRUE(doc.buf.Edited());
}

TEST(UndoBuff, ResetEndsTheRefusalOfAnOverflowedOperation)
{
    TDoc doc(2);
    doc.Change(4);
    doc.Change(4); // overflow
    EXPECT_FALSE(doc.buf.Kept());
    doc.buf.Reset();
    doc.text.clear();
    doc.Change(4);
    EXPECT_TRUE(doc.buf.Kept());
    EXPECT_EQ(doc.Undo(), 1);
}

TEST(UndoBuff, LimitZeroRefusesEveryPush)
{
    TDoc doc(0);
    for (int g = 1; g <= 5; ++g)
    {
        doc.Change(g);
        EXPECT_FALSE(doc.buf.Kept());
        EXPECT_EQ(doc.buf.PrevPop(), nullptr);
        EXPECT_TRUE(doc.buf.Edited());
    }
}

TEST(UndoBuff, UnboundedUndoesAThousandOperationsInReverse)
{
    TDoc doc(-1);
    for (int g = 1; g <= 1000; ++g)
        doc.Change(g);
    for (int g = 1000; g >= 1; --g)
    {
        TUndoBuffItem* rec = doc.buf.PrevPop();
        ASSERT_NE(rec, nullptr) << g;
        EXPECT_EQ(rec->GroupId, g);
        EXPECT_EQ(rec->Caret, TPoint(g, g));
        ASSERT_EQ(doc.Undo(), 1) << g;
    }
    EXPECT_TRUE(doc.text.empty());
    EXPECT_EQ(doc.buf.PrevPop(), nullptr);
    EXPECT_FALSE(doc.buf.Edited());
    for (int g = 1; g <= 1000; ++g)
        ASSERT_EQ(doc.Redo(), 1) << g;
    EXPECT_EQ(doc.buf.NextPop(), nullptr);
}

TEST(UndoBuff, APushAfterAnUndoForgetsTheRedoTail)
{
    TDoc doc(-1);
    doc.Change(1);
    doc.Change(2);
    doc.Change(3);
    doc.Undo();
    doc.Undo();
    ASSERT_NE(doc.buf.NextPop(), nullptr);
    doc.Change(4);
    EXPECT_EQ(doc.buf.NextPop(), nullptr);
    EXPECT_EQ(doc.buf.Top(), doc.buf.Position());
    EXPECT_EQ(doc.Undo(), 1);
    EXPECT_EQ(doc.Undo(), 1);
    EXPECT_EQ(doc.Undo(), 0);
}

TEST(UndoBuff, ResetAndAnEmptyBufferHaveNothingToWalk)
{
    TUndoBuff empty(100);
    EXPECT_EQ(empty.NextPop(), nullptr);
    EXPECT_EQ(empty.PrevPop(), nullptr);
    empty.ToPrev();
    empty.ToNext();
    EXPECT_EQ(empty.Position(), 0);
    EXPECT_FALSE(empty.Edited());

    TDoc doc(-1);
    doc.Change(1);
    doc.Change(2);
    doc.Undo();
    doc.buf.Reset();
    EXPECT_EQ(doc.buf.Top(), 0);
    EXPECT_EQ(doc.buf.Position(), 0);
    EXPECT_EQ(doc.buf.NextPop(), nullptr);
    EXPECT_EQ(doc.buf.PrevPop(), nullptr);
    EXPECT_FALSE(doc.buf.Edited());
    EXPECT_FALSE(doc.buf.Kept());

    TUndoBuff cleared(10);
    cleared.SetMax(-1);
    cleared.Push(1, 0, 0, TPoint(), acInsert, "", "x", TAttrListItem(), TAttrListItem());
    cleared.Clear();
    EXPECT_EQ(cleared.GetCount(), 0);
    EXPECT_EQ(cleared.NextPop(), nullptr);
    cleared.Push(2, 0, 0, TPoint(), acInsert, "", "y", TAttrListItem(), TAttrListItem());
    ASSERT_NE(cleared.PrevPop(), nullptr);
    EXPECT_EQ(cleared.PrevPop()->After, AnsiString("y"));
}

TEST(UndoBuff, StoredAttributeImagesNeverHoldAColumnList)
{
    TColAttrList cols;
    cols.GetItem(3)->MarkId = 9;
    TAttrListItem before;
    before.Indent = 2;
    before.ColAttr = &cols;
    TAttrListItem after = before;
    after.Indent = 5;
    TUndoBuff buf(100);
    buf.SetMax(-1);
    buf.Push(1, 4, 2, TPoint(3, 4), acMove, "old", "new", before, after);
    TUndoBuffItem* rec = buf.PrevPop();
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->AttrBefore.ColAttr, nullptr);
    EXPECT_EQ(rec->AttrAfter.ColAttr, nullptr);
    EXPECT_EQ(rec->AttrBefore.Indent, 2);
    EXPECT_EQ(rec->AttrAfter.Indent, 5);
    EXPECT_EQ(rec->Index, 4);
    EXPECT_EQ(rec->Index2, 2);
    EXPECT_EQ(rec->Action, acMove);
    EXPECT_EQ(rec->Before, AnsiString("old"));
    EXPECT_EQ(rec->After, AnsiString("new"));
    buf.Reset(); // frees the record; the list stays the caller's
    EXPECT_EQ(cols.GetItem(3)->MarkId, 9);
}

TEST(UndoBuff, LoweringTheLimitDropsWholeOldestGroupsAndTheRedoTail)
{
    TDoc doc(-1);
    doc.Change(1);
    doc.Change(2);
    doc.Change(2);
    doc.Change(3);
    doc.Change(4);
    doc.Undo(); // group 4 is redoable
    doc.buf.SetMax(3); // room for two records: group 1 and group 2 go, then one record is left
    EXPECT_EQ(doc.buf.Position(), 1);
    EXPECT_EQ(doc.buf.Top(), 1);
    EXPECT_EQ(doc.buf.NextPop(), nullptr);
    EXPECT_EQ(doc.Undo(), 1);
    EXPECT_EQ(doc.Undo(), 0);
    doc.buf.SetMax(-1);
    doc.Change(5);
    EXPECT_EQ(doc.Undo(), 1);
}

// Random operations against the token model: every undo reverses the latest change, every redo
// re-applies the next one, and Edited never reads false while the text differs from the save.
TEST(UndoBuff, RandomHistoryNeverLiesAboutEditedOrUndoOrder)
{
    const unsigned seeds[] = {1, 7, 42, 1234, 99991};
    for (unsigned seed : seeds)
    {
        std::mt19937 rng(seed);
        const int limits[] = {-1, 0, 1, 2, 3, 5, 8};
        TDoc doc(limits[rng() % 7]);
        int group = 1;
        for (int step = 0; step < 3000; ++step)
        {
            int op = int(rng() % 100);
            if (op < 45)
            {
                if (rng() % 3 == 0)
                    ++group;
                doc.Change(group);
            }
            else if (op < 70)
                doc.Undo();
            else if (op < 85)
                doc.Redo();
            else if (op < 93)
                doc.Save();
            else if (op < 96)
                doc.buf.SetMax(limits[rng() % 7]);
            else
                ++group;
            if (!doc.buf.Edited())
            {
                ASSERT_FALSE(doc.TextEdited()) << "seed " << seed << " step " << step;
            }
            if (TUndoBuffItem* rec = doc.buf.PrevPop())
            {
                ASSERT_FALSE(doc.text.empty()) << "seed " << seed << " step " << step;
                ASSERT_EQ(rec->Index, doc.text.back()) << "seed " << seed << " step " << step;
            }
            ASSERT_LE(doc.buf.Position(), doc.buf.Top()) << "seed " << seed << " step " << step;
            if (doc.buf.GetMax() > 0)
            {
                ASSERT_LE(doc.buf.Top(), std::max(1, doc.buf.GetMax() - 1))
                    << "seed " << seed << " step " << step;
            }
            if (doc.buf.GetMax() == 0)
            {
                ASSERT_EQ(doc.buf.Top(), 0) << "seed " << seed << " step " << step;
            }
            if (HasFailure())
                return;
        }
    }
}

// Records of up to a few hundred bytes under budgets of a few records: the records' memory never
// passes the budget, what goes is the oldest whole groups (or an operation that alone does not
// fit), every undo reverses the latest change and Edited never reads false while the text differs.
TEST(UndoBuff, AMemoryBudgetDropsWholeOldestGroupsAndNeverLiesAboutEdited)
{
    const int64_t slot = sizeof(TUndoBuffItem);
    const int64_t budgets[] = {slot * 3 + 200, slot * 8 + 1000, slot * 30 + 3000, TUndoBuff::kDefaultBudget};
    bool dropped = false;
    for (unsigned seed : {3u, 17u, 2024u, 65537u})
    {
        std::mt19937 rng(seed);
        TDoc doc(-1);
        doc.buf.SetBudget(budgets[seed % 4]);
        int group = 1;
        for (int step = 0; step < 3000; ++step)
        {
            const std::string at = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            const int op = int(rng() % 100);
            if (op < 50)
            {
                if (rng() % 3 == 0)
                    ++group;
                doc.Change(group, int(rng() % 400));
            }
            else if (op < 70)
                doc.Undo();
            else if (op < 82)
                doc.Redo();
            else if (op < 90)
                doc.Save();
            else if (op < 93)
                doc.buf.SetBudget(budgets[rng() % 4]);
            else
                ++group;
            ASSERT_LE(doc.buf.Bytes(), doc.buf.GetBudget()) << at;
            if (!doc.buf.Edited())
            {
                ASSERT_FALSE(doc.TextEdited()) << at;
            }
            if (TUndoBuffItem* rec = doc.buf.PrevPop())
            {
                ASSERT_FALSE(doc.text.empty()) << at;
                ASSERT_EQ(rec->Index, doc.text.back()) << at;
            }
            // Undo as far as the records go now and back: the oldest group kept is whole.
            if (step % 100 == 99)
            {
                std::vector<int> before = doc.text;
                doc.lastUndone = 0;
                int groups = 0;
                while (doc.Undo() > 0)
                    ++groups;
                if (!doc.text.empty() && doc.lastUndone)
                {
                    dropped = true;
                    ASSERT_NE(doc.groupOf[size_t(doc.text.back())], doc.groupOf[size_t(doc.lastUndone)])
                        << at << ": a group was cut";
                }
                while (groups-- > 0)
                    doc.Redo();
                ASSERT_EQ(doc.text, before) << at;
            }
        }
    }
    EXPECT_TRUE(dropped) << "no budget ever dropped a group";
}

