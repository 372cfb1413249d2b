#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"

namespace
{
using TBlock = std::array<int, 4>; // start column, start row, end column, end row

void SetRows(TCustomAFEdit& ed, const std::vector<std::string>& rows)
{
    ed.Lines()->Clear();
    ed.AttrList()->Clear();
    ed.BlkAttrList()->Clear();
    for (const std::string& r : rows)
    {
        ed.Lines()->Add(AnsiString(r.data(), int(r.size())));
        ed.AttrList()->Add(ed.MakeAttr(false, 0, 60));
    }
}

void PutRow(TCustomAFEdit& ed, int row, const std::string& text)
{
    ed.Lines()->Put(row, AnsiString(text.data(), int(text.size())));
}

// Gives the row a column list whose records carry first, first + 1, ... as mark ids.
void MarkRow(TCustomAFEdit& ed, int row, int first)
{
    TColAttrList* list = ed.GetColAttrs(row);
    for (int i = 0; i < list->GetCount(); ++i)
    {
        list->GetItem(i)->MarkId = first + i;
        list->GetItem(i)->OwnColor = true;
    }
}

// Mark ids of the row's column list; {-1} when the row has none.
std::vector<int> Marks(TCustomAFEdit& ed, int row)
{
    TColAttrList* list = ed.GetLinesAttr(row)->ColAttr;
    if (!list)
        return {-1};
    std::vector<int> out;
    for (int i = 0; i < list->GetCount(); ++i)
        out.push_back(list->GetItem(i)->MarkId);
    return out;
}

void AddBlock(TCustomAFEdit& ed, const TBlock& b)
{
    TBlkAttrListItem item;
    item.StartCol = b[0];
    item.StartRow = b[1];
    item.EndCol = b[2];
    item.EndRow = b[3];
    ed.BlkAttrList()->Add(item);
}

std::vector<TBlock> Blocks(TCustomAFEdit& ed)
{
    std::vector<TBlock> out;
    for (int i = 0; i < ed.BlkAttrList()->GetCount(); ++i)
    {
        TBlkAttrListItem* b = ed.BlkAttrList()->GetItem(i);
        out.push_back({b->StartCol, b->StartRow, b->EndCol, b->EndRow});
    }
    return out;
}

struct TDeleteLog
{
    std::vector<std::array<int, 2>> fired;
    void Deleted(TObject*, int startRow, int endRow) { fired.push_back({startRow, endRow}); }
};

std::string Show(const std::vector<TBlock>& blocks)
{
    std::string s;
    for (const TBlock& b : blocks)
        s += "(" + std::to_string(b[0]) + "," + std::to_string(b[1]) + ")-(" + std::to_string(b[2]) + "," +
             std::to_string(b[3]) + ") ";
    return s;
}

std::vector<int> Range(int first, int n)
{
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(first + i);
    return v;
}

std::vector<int> Cat(std::vector<int> a, const std::vector<int>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
} // namespace

// ---- column attributes ----------------------------------------------------------------------

TEST(ColAttrEdit, InsertsAddsAndDeletesRecordsWithClampedIndexes)
{
    struct Case
    {
        const char* name;
        int col, len;
        TEditMode mode;
        std::vector<int> want;
    };
    const Case cases[] = {
        {"insert in the middle", 2, 2, emInsert, {1, 2, 0, 0, 3, 4, 5}},
        {"insert at the front", 0, 1, emInsert, {0, 1, 2, 3, 4, 5}},
        {"insert past the end lands at the end", 9, 1, emInsert, {1, 2, 3, 4, 5, 0}},
        {"insert at a negative column lands at the front", -3, 1, emInsert, {0, 1, 2, 3, 4, 5}},
        {"add", 0, 2, emAdd, {1, 2, 3, 4, 5, 0, 0}},
        {"delete", 1, 2, emDelete, {1, 4, 5}},
        {"delete past the end stops at the end", 3, 9, emDelete, {1, 2, 3}},
        {"delete from past the end does nothing", 7, 2, emDelete, {1, 2, 3, 4, 5}},
        {"delete from a negative column takes only what lies in the row", -1, 2, emDelete, {2, 3, 4, 5}},
        {"change does nothing", 1, 2, emChange, {1, 2, 3, 4, 5}},
        {"zero length does nothing", 1, 0, emInsert, {1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"abcde", "xyz"});
        MarkRow(*ed, 0, 1);
        ed->ColAttrEdit(0, c.col, c.len, c.mode);
        EXPECT_EQ(Marks(*ed, 0), c.want) << c.name;
        EXPECT_EQ(Marks(*ed, 1), std::vector<int>{-1}) << c.name;
    }
    // Rows without a list, or without a row at all, are skipped.
    auto ed = NewEditor();
    SetRows(*ed, {"abc"});
    ed->ColAttrEdit(0, 0, 2, emInsert);
    ed->ColAttrEdit(5, 0, 2, emInsert);
    ed->ColAttrEdit(-1, 0, 2, emInsert);
    EXPECT_EQ(Marks(*ed, 0), std::vector<int>{-1});
    EXPECT_EQ(ed->AttrList()->GetCount(), 1);
}

TEST(ColAttrBlockEdit, MovesRecordsWithTheBytesBetweenRows)
{
    struct Case
    {
        const char* name;
        bool srcList, destList;
        TEditMode mode;
        int len;
        std::vector<int> want0, want1; // marks of rows 0 and 1 afterwards; {-1}: no list
    };
    // Row 0 "abcdef" (marks 1..6), row 1 "XYZ" (marks 101..103). A split (emInsert) moves the tail
    // of row 0 to the front of row 1, whose text already holds it; a join (emAdd) moves the head of
    // row 1 to the end of row 0, whose text does not hold it yet.
    const Case cases[] = {
        {"split: both lists", true, true, emInsert, 2, Range(1, 4), Cat({5, 6}, Range(101, 3))},
        {"split: the source has none", false, true, emInsert, 2, {-1}, Cat({0, 0}, Range(101, 3))},
        {"split: the destination has none", true, false, emInsert, 2, Range(1, 4), {5, 6, 0, 0, 0}},
        {"split longer than the source list", true, true, emInsert, 8, {},
         Cat(Cat({0, 0}, Range(1, 6)), Range(101, 3))},
        {"split: neither has one", false, false, emInsert, 2, {-1}, {-1}},
        {"join: both lists", true, true, emAdd, 2, Cat(Range(1, 6), {101, 102}), {103}},
        {"join: the destination has none", true, false, emAdd, 2, {0, 0, 0, 0, 0, 0, 101, 102}, {103}},
        {"join: the source has none", false, true, emAdd, 2, Cat(Range(1, 6), {0, 0}), {-1}},
        {"join longer than the source list", true, true, emAdd, 5, Cat(Range(1, 6), {101, 102, 103, 0, 0}),
         {}},
        {"delete mode does nothing", true, true, emDelete, 2, Range(1, 6), Range(101, 3)},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"abcdef", "XYZ"});
        const bool split = c.mode != emAdd;
        const int source = split ? 0 : 1;
        const int dest = split ? 1 : 0;
        if (source == 0 ? c.srcList : c.destList)
            MarkRow(*ed, 0, 1);
        if (source == 1 ? c.srcList : c.destList)
            MarkRow(*ed, 1, 101);
        if (split)
            PutRow(*ed, 1, std::string("ef").substr(0, size_t(std::min(2, c.len))) + "XYZ");
        ed->ColAttrBlockEdit(source, dest, c.len, c.mode);
        EXPECT_EQ(Marks(*ed, 0), c.want0) << c.name;
        EXPECT_EQ(Marks(*ed, 1), c.want1) << c.name;
    }
}

TEST(ColAttrBlockEdit, ClearsKeywordHitsOfTheSourceOnly)
{
    auto ed = NewEditor();
    SetRows(*ed, {"abcd", "xy"});
    MarkRow(*ed, 0, 1);
    MarkRow(*ed, 1, 11);
    PutRow(*ed, 1, "cdxy");
    ed->ColAttrBlockEdit(0, 1, 2, emInsert);
    TColAttrList* src = ed->GetLinesAttr(0)->ColAttr;
    TColAttrList* dst = ed->GetLinesAttr(1)->ColAttr;
    ASSERT_EQ(src->GetCount(), 2);
    ASSERT_EQ(dst->GetCount(), 4);
    for (int i = 0; i < 2; ++i)
        EXPECT_FALSE(src->GetItem(i)->OwnColor) << i;
    EXPECT_FALSE(dst->GetItem(0)->OwnColor);
    EXPECT_FALSE(dst->GetItem(1)->OwnColor);
    EXPECT_TRUE(dst->GetItem(2)->OwnColor);
    EXPECT_TRUE(dst->GetItem(3)->OwnColor);
}

// Random splits and joins of adjacent rows in the documented order: every column list keeps one
// record per byte, and each record stays with its byte (bytes carry ids; bytes that came from a
// row without a list carry zeroed records).
TEST(ColAttrBlockEdit, RecordsTravelWithTheirBytesThroughRandomSplitsAndJoins)
{
    for (unsigned seed : {3u, 17u, 2024u})
    {
        std::mt19937 rng(seed);
        const int rowCount = 4;
        std::vector<std::vector<int>> ids(rowCount); // byte ids per row
        std::vector<bool> listed(rowCount);
        std::vector<std::vector<int>> want(rowCount); // expected mark per byte when listed
        auto ed = NewEditor();
        std::vector<std::string> rows;
        int nextId = 1;
        for (int r = 0; r < rowCount; ++r)
        {
            int n = 1 + int(rng() % 8);
            std::string text;
            for (int i = 0; i < n; ++i)
            {
                ids[r].push_back(nextId++);
                text += char('a' + ids[r].back() % 26);
            }
            rows.push_back(text);
        }
        SetRows(*ed, rows);
        for (int r = 0; r < rowCount; ++r)
        {
            listed[r] = rng() % 2 == 0;
            if (listed[r])
            {
                TColAttrList* list = ed->GetColAttrs(r);
                for (int i = 0; i < list->GetCount(); ++i)
                    list->GetItem(i)->MarkId = ids[r][size_t(i)];
                want[r] = ids[r];
            }
        }
        auto text = [&](int r) {
            std::string t;
            for (int id : ids[r])
                t += char('a' + id % 26);
            return t;
        };
        for (int step = 0; step < 400; ++step)
        {
            int r = int(rng() % (rowCount - 1));
            bool split = rng() % 2 == 0;
            int src = split ? r : r + 1, dst = split ? r + 1 : r;
            if (ids[size_t(src)].empty())
                continue;
            int len = 1 + int(rng() % ids[size_t(src)].size());
            std::vector<int> moved, movedWant;
            auto& s = ids[size_t(src)];
            auto& sw = want[size_t(src)];
            bool anyList = listed[size_t(src)] || listed[size_t(dst)];
            if (split)
            {
                moved.assign(s.end() - len, s.end());
                s.erase(s.end() - len, s.end());
                if (listed[size_t(src)])
                {
                    movedWant.assign(sw.end() - len, sw.end());
                    sw.erase(sw.end() - len, sw.end());
                }
                else
                    movedWant.assign(size_t(len), 0);
                if (anyList && !listed[size_t(dst)])
                    want[size_t(dst)].assign(ids[size_t(dst)].size(), 0);
                ids[size_t(dst)].insert(ids[size_t(dst)].begin(), moved.begin(), moved.end());
                want[size_t(dst)].insert(want[size_t(dst)].begin(), movedWant.begin(), movedWant.end());
                PutRow(*ed, dst, text(dst)); // the destination already holds the bytes
                ed->ColAttrBlockEdit(src, dst, len, emInsert);
                PutRow(*ed, src, text(src));
            }
            else
            {
                moved.assign(s.begin(), s.begin() + len);
                s.erase(s.begin(), s.begin() + len);
                if (listed[size_t(src)])
                {
                    movedWant.assign(sw.begin(), sw.begin() + len);
                    sw.erase(sw.begin(), sw.begin() + len);
                }
                else
                    movedWant.assign(size_t(len), 0);
                if (anyList && !listed[size_t(dst)])
                    want[size_t(dst)].assign(ids[size_t(dst)].size(), 0);
                ed->ColAttrBlockEdit(src, dst, len, emAdd); // before the destination grows
                ids[size_t(dst)].insert(ids[size_t(dst)].end(), moved.begin(), moved.end());
                want[size_t(dst)].insert(want[size_t(dst)].end(), movedWant.begin(), movedWant.end());
                PutRow(*ed, dst, text(dst));
                PutRow(*ed, src, text(src));
            }
            if (anyList)
                listed[size_t(dst)] = true;
            for (int k = 0; k < rowCount; ++k)
            {
                ASSERT_EQ(Marks(*ed, k), listed[size_t(k)] ? want[size_t(k)] : std::vector<int>{-1})
                    << "seed " << seed << " step " << step << " row " << k;
                if (listed[size_t(k)])
                {
                    ASSERT_EQ(int(want[size_t(k)].size()), ed->GetLine(k).Length());
                }
            }
        }
    }
}

// ---- block attributes: whole rows -------------------------------------------------------------

TEST(BlkAttrLineEdit, ShiftsRowsAndDropsBlocksOfTheChangedRow)
{
    struct Case
    {
        const char* name;
        int row;
        TEditMode mode;
        std::vector<TBlock> want;
        std::vector<int> dirty; // rows repainted because a block went
    };
    // Blocks: A on row 1, B from row 2 to row 4, C on row 5, D on row 0.
    const std::vector<TBlock> start = {{1, 1, 3, 1}, {0, 2, 2, 4}, {0, 5, 4, 5}, {2, 0, 5, 0}};
    const Case cases[] = {
        {"insert above everything moves all but row 0", 1, emInsert,
         {{1, 2, 3, 2}, {0, 3, 2, 5}, {0, 6, 4, 6}, {2, 0, 5, 0}}, {}},
        {"insert at the end row of a block moves its end", 4, emInsert,
         {{1, 1, 3, 1}, {0, 2, 2, 5}, {0, 6, 4, 6}, {2, 0, 5, 0}}, {}},
        {"insert below everything", 6, emInsert, start, {}},
        {"delete a row inside a block shrinks it", 3, emDelete,
         {{1, 1, 3, 1}, {0, 2, 2, 3}, {0, 4, 4, 4}, {2, 0, 5, 0}}, {}},
        {"delete the row of a block drops it; the next row's block stays", 1, emDelete,
         {{0, 1, 2, 3}, {0, 4, 4, 4}, {2, 0, 5, 0}}, {1}},
        {"delete the start row of a block drops it", 2, emDelete, {{1, 1, 3, 1}, {0, 4, 4, 4}, {2, 0, 5, 0}},
         {2, 3, 4}},
        {"delete the end row of a block drops it; the next row's block moves up", 4, emDelete,
         {{1, 1, 3, 1}, {0, 4, 4, 4}, {2, 0, 5, 0}},
         {2, 3, 4}},
        {"change drops the blocks on the row", 5, emChange, {{1, 1, 3, 1}, {0, 2, 2, 4}, {2, 0, 5, 0}}, {5}},
        {"change inside a block keeps it", 3, emChange, start, {}},
        {"add does nothing", 1, emAdd, start, {}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"r0abcd", "r1abcd", "r2abcd", "r3abcd", "r4abcd", "r5abcd", "r6abcd"});
        for (const TBlock& b : start)
            AddBlock(*ed, b);
        TDeleteLog log;
        ed->OnBlkAttrDelete = TBlkAttrDeleteNotifyEvent(&log, &TDeleteLog::Deleted);
        ed->BlkAttrLineEdit(c.row, c.mode);
        EXPECT_EQ(Show(Blocks(*ed)), Show(c.want)) << c.name;
        std::vector<int> dirty;
        for (int r = 0; r < ed->GetLinesCount(); ++r)
            if (ed->GetLinesAttr(r)->Dirty)
                dirty.push_back(r);
        EXPECT_EQ(dirty, c.dirty) << c.name;
        EXPECT_EQ(log.fired.size(), start.size() - c.want.size()) << c.name;
        EXPECT_EQ(ed->AttrList()->GetCount(), 7) << c.name; // repainting never creates records
    }
}

// ---- block attributes: bytes inside a row ---------------------------------------------------

TEST(BlkAttrEdit, InsertsAndDeletesMoveTheRightPoints)
{
    struct Case
    {
        const char* name;
        TBlock block;
        int row, col, len;
        TEditMode mode;
        std::vector<TBlock> want; // empty: removed
    };
    const Case cases[] = {
        {"insert before a one-row block moves both ends", {4, 1, 8, 1}, 1, 1, 3, emInsert, {{7, 1, 11, 1}}},
        {"insert at its start: the text joins it", {4, 1, 8, 1}, 1, 4, 3, emInsert, {{4, 1, 11, 1}}},
        {"insert inside it lengthens it", {4, 1, 8, 1}, 1, 6, 3, emInsert, {{4, 1, 11, 1}}},
        {"insert at its end: the text joins it", {4, 1, 8, 1}, 1, 8, 3, emInsert, {{4, 1, 11, 1}}},
        {"insert after it leaves it", {4, 1, 8, 1}, 1, 9, 3, emInsert, {{4, 1, 8, 1}}},
        {"insert on its start row of a multi-row block", {4, 1, 2, 3}, 1, 2, 3, emInsert, {{7, 1, 2, 3}}},
        {"insert on its end row of a multi-row block", {4, 1, 2, 3}, 3, 1, 3, emInsert, {{4, 1, 5, 3}}},
        {"insert on a row inside a multi-row block", {4, 1, 2, 3}, 2, 0, 3, emInsert, {{4, 1, 2, 3}}},
        {"insert on the next row", {4, 1, 8, 1}, 2, 0, 3, emInsert, {{4, 1, 8, 1}}},
        {"delete before it moves it back", {4, 1, 8, 1}, 1, 1, 3, emDelete, {{1, 1, 5, 1}}},
        {"delete right before its start", {4, 1, 8, 1}, 1, 0, 4, emDelete, {{0, 1, 4, 1}}},
        {"delete inside it shortens it", {4, 1, 8, 1}, 1, 5, 2, emDelete, {{4, 1, 6, 1}}},
        {"delete its last byte", {4, 1, 8, 1}, 1, 7, 1, emDelete, {{4, 1, 7, 1}}},
        {"delete its first byte removes it", {4, 1, 8, 1}, 1, 4, 1, emDelete, {}},
        {"delete over its end removes it", {4, 1, 8, 1}, 1, 6, 3, emDelete, {}},
        {"delete all of it removes it", {4, 1, 8, 1}, 1, 2, 9, emDelete, {}},
        {"delete after it leaves it", {4, 1, 8, 1}, 1, 9, 3, emDelete, {{4, 1, 8, 1}}},
        {"delete on its end row before the end", {4, 1, 5, 3}, 3, 1, 2, emDelete, {{4, 1, 3, 3}}},
        {"delete on the next row never touches it", {4, 1, 8, 1}, 2, 0, 6, emDelete, {{4, 1, 8, 1}}},
        {"delete on the previous row never touches it", {4, 2, 8, 2}, 1, 0, 6, emDelete, {{4, 2, 8, 2}}},
        {"change does nothing", {4, 1, 8, 1}, 1, 4, 2, emChange, {{4, 1, 8, 1}}},
        {"add does nothing", {4, 1, 8, 1}, 1, 4, 2, emAdd, {{4, 1, 8, 1}}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"0123456789ab", "0123456789ab", "0123456789ab", "0123456789ab"});
        AddBlock(*ed, c.block);
        ed->BlkAttrEdit(c.row, c.col, c.len, c.mode);
        EXPECT_EQ(Show(Blocks(*ed)), Show(c.want)) << c.name;
    }
}

// Random inserts and deletes on row 1 against a model that records which bytes each block covers.
// A block covers the bytes between its points; an insert joins the block when it lands inside it or
// at one of its edges; a delete that takes the byte at the block's start or at its end position
// ends the block. Blocks may start on row 0 or end on row 2, and blocks wholly on rows 0 or 2 must
// never move.
TEST(BlkAttrEdit, BlocksCoverTheBytesAModelSaysThroughRandomEdits)
{
    struct TModelBlock
    {
        bool startsBefore = false; // start on row 0
        bool endsAfter = false;    // end on row 2
        bool onOtherRow = false;   // wholly on row 0 or row 2: never changes
        TBlock fixed{};
        std::vector<bool> cover; // per byte of row 1
        bool alive = true;
    };
    for (unsigned seed : {5u, 77u, 31337u, 424242u})
    {
        std::mt19937 rng(seed);
        auto ed = NewEditor();
        int len = 10 + int(rng() % 20);
        SetRows(*ed, {"row zero text", std::string(size_t(len), 'x'), "row two text"});
        std::vector<TModelBlock> model;
        for (int i = 0; i < 8; ++i)
        {
            TModelBlock m;
            int kind = int(rng() % 6);
            int s = int(rng() % (len + 1)), e = int(rng() % (len + 1));
            if (s > e)
                std::swap(s, e);
            if (kind == 0)
            {
                m.onOtherRow = true;
                m.fixed = rng() % 2 ? TBlock{1, 0, 5, 0} : TBlock{0, 2, 3, 2};
                AddBlock(*ed, m.fixed);
            }
            else
            {
                m.startsBefore = kind == 1 || kind == 3;
                m.endsAfter = kind == 2 || kind == 3;
                if (!m.startsBefore && !m.endsAfter && s == e)
                {
                    if (e < len)
                        ++e;
                    else
                        --s;
                }
                int from = m.startsBefore ? 0 : s, to = m.endsAfter ? len : e;
                for (int b = 0; b < len; ++b)
                    m.cover.push_back(b >= from && b < to);
                AddBlock(*ed, {m.startsBefore ? 4 : s, m.startsBefore ? 0 : 1, m.endsAfter ? 2 : e,
                               m.endsAfter ? 2 : 1});
            }
            model.push_back(m);
        }
        // Start and end positions of a model block on row 1 (off-row ends lie outside the row).
        auto startOf = [&](const TModelBlock& m) {
            if (m.startsBefore)
                return -1000000;
            for (int b = 0; b < len; ++b)
                if (m.cover[size_t(b)])
                    return b;
            return len; // covers nothing on this row: it starts at the row's end
        };
        auto endOf = [&](const TModelBlock& m) {
            if (m.endsAfter)
                return 1000000;
            for (int b = len - 1; b >= 0; --b)
                if (m.cover[size_t(b)])
                    return b + 1;
            return 0; // covers nothing on this row: it ends at the row's start
        };
        for (int step = 0; step < 300; ++step)
        {
            bool insert = len == 0 || rng() % 2 == 0;
            int col = int(rng() % (len + 1));
            int n = 1 + int(rng() % 4);
            if (!insert)
            {
                col = std::min(col, len - 1);
                n = std::min(n, len - col);
            }
            for (TModelBlock& m : model)
            {
                if (m.onOtherRow || !m.alive)
                    continue;
                int s = startOf(m), e = endOf(m);
                if (insert)
                    m.cover.insert(m.cover.begin() + col, size_t(n), s <= col && col <= e);
                else if ((s >= col && s < col + n) || (e >= col && e < col + n))
                    m.alive = false;
                else
                    m.cover.erase(m.cover.begin() + col, m.cover.begin() + col + n);
            }
            ed->BlkAttrEdit(1, col, n, insert ? emInsert : emDelete);
            len += insert ? n : -n;
            std::vector<TBlock> want;
            for (const TModelBlock& m : model)
            {
                if (!m.alive)
                    continue;
                if (m.onOtherRow)
                    want.push_back(m.fixed);
                else
                    want.push_back({m.startsBefore ? 4 : startOf(m), m.startsBefore ? 0 : 1,
                                    m.endsAfter ? 2 : endOf(m), m.endsAfter ? 2 : 1});
            }
            ASSERT_EQ(Show(Blocks(*ed)), Show(want))
                << "seed " << seed << " step " << step << (insert ? " insert " : " delete ") << n << " at "
                << col;
        }
    }
}

// ---- block attributes: bytes moving between rows ----------------------------------------------

TEST(BlkAttrBlockEdit, SplitsAndJoinsCarryBlockPointsWithTheirBytes)
{
    struct Case
    {
        const char* name;
        int source, dest, len;
        TEditMode mode;
        std::vector<TBlock> want;
    };
    // Rows "abcdefgh" (8), "ijkl" (4), "mnop" (4). Blocks: A (2,0)-(7,0), B (6,0)-(2,1), C (1,1)-(3,1).
    const Case cases[] = {
        {"split: the last three bytes of row 0 go to row 1", 0, 1, 3, emInsert,
         {{2, 0, 2, 1}, {1, 1, 5, 1}, {4, 1, 6, 1}}},
        {"split at a block's start moves the start", 0, 1, 2, emInsert,
         {{2, 0, 1, 1}, {0, 1, 4, 1}, {3, 1, 5, 1}}},
        {"join: the first three bytes of row 1 go to row 0", 1, 0, 3, emAdd,
         {{2, 0, 7, 0}, {6, 0, 10, 0}, {9, 0, 11, 0}}},
        {"join of a whole row", 1, 0, 4, emAdd, {{2, 0, 7, 0}, {6, 0, 10, 0}, {9, 0, 11, 0}}},
        {"join of one byte: points after it move left", 1, 0, 1, emAdd,
         {{2, 0, 7, 0}, {6, 0, 1, 1}, {9, 0, 2, 1}}},
        {"split longer than the row is clamped", 0, 1, 20, emInsert,
         {{2, 1, 7, 1}, {6, 1, 10, 1}, {9, 1, 11, 1}}},
        {"delete mode does nothing", 0, 1, 3, emDelete, {{2, 0, 7, 0}, {6, 0, 2, 1}, {1, 1, 3, 1}}},
    };
    for (const Case& c : cases)
    {
        auto ed = NewEditor();
        SetRows(*ed, {"abcdefgh", "ijkl", "mnop"});
        for (const TBlock& b : std::vector<TBlock>{{2, 0, 7, 0}, {6, 0, 2, 1}, {1, 1, 3, 1}})
            AddBlock(*ed, b);
        ed->BlkAttrBlockEdit(c.source, c.dest, c.len, c.mode);
        EXPECT_EQ(Show(Blocks(*ed)), Show(c.want)) << c.name;
    }
}

// Moving bytes between rows never changes where a point is in the whole text: its offset (the
// lengths of the rows above plus its column) stays, and its column stays inside its row.
TEST(BlkAttrBlockEdit, PointsKeepTheirTextOffsetThroughRandomSplitsAndJoins)
{
    for (unsigned seed : {8u, 99u, 4711u})
    {
        std::mt19937 rng(seed);
        std::vector<std::string> rows;
        for (int r = 0; r < 5; ++r)
            rows.push_back(std::string(size_t(1 + rng() % 9), char('a' + r)));
        auto ed = NewEditor();
        SetRows(*ed, rows);
        auto offset = [&](int col, int row) {
            int off = col;
            for (int r = 0; r < row; ++r)
                off += int(rows[size_t(r)].size());
            return off;
        };
        std::vector<std::array<int, 2>> offsets;
        for (int i = 0; i < 10; ++i)
        {
            int r1 = int(rng() % 5), r2 = int(rng() % 5);
            int c1 = int(rng() % (rows[size_t(r1)].size() + 1));
            int c2 = int(rng() % (rows[size_t(r2)].size() + 1));
            if (offset(c1, r1) > offset(c2, r2))
            {
                std::swap(r1, r2);
                std::swap(c1, c2);
            }
            AddBlock(*ed, {c1, r1, c2, r2});
            offsets.push_back({offset(c1, r1), offset(c2, r2)});
        }
        for (int step = 0; step < 300; ++step)
        {
            int r = int(rng() % 4);
            bool split = rng() % 2 == 0;
            int src = split ? r : r + 1, dst = split ? r + 1 : r;
            int srcLen = int(rows[size_t(src)].size());
            if (srcLen == 0)
                continue;
            int len = 1 + int(rng() % srcLen);
            ed->BlkAttrBlockEdit(src, dst, len, split ? emInsert : emAdd);
            std::string& s = rows[size_t(src)];
            std::string& d = rows[size_t(dst)];
            if (split)
            {
                d = s.substr(size_t(srcLen - len)) + d;
                s.resize(size_t(srcLen - len));
            }
            else
            {
                d += s.substr(0, size_t(len));
                s.erase(0, size_t(len));
            }
            for (int k = 0; k < 5; ++k)
                PutRow(*ed, k, rows[size_t(k)]);
            std::vector<TBlock> now = Blocks(*ed);
            ASSERT_EQ(now.size(), offsets.size());
            for (size_t i = 0; i < now.size(); ++i)
            {
                const TBlock& b = now[i];
                std::string where = "seed " + std::to_string(seed) + " step " + std::to_string(step);
                ASSERT_EQ(offset(b[0], b[1]), offsets[i][0]) << where << " block " << i;
                ASSERT_EQ(offset(b[2], b[3]), offsets[i][1]) << where << " block " << i;
                ASSERT_GE(b[0], 0);
                ASSERT_LE(b[0], int(rows[size_t(b[1])].size())) << "seed " << seed << " step " << step;
                ASSERT_GE(b[2], 0);
                ASSERT_LE(b[2], int(rows[size_t(b[3])].size())) << "seed " << seed << " step " << step;
            }
        }
    }
}

// ---- the row primitives keep blocks in step --------------------------------------------------

TEST(BlkAttrLineEdit, RowPrimitivesShiftAndDropBlocks)
{
    auto ed = NewEditor();
    SetRows(*ed, {"a\r", "b\r", "c\r", "d"});
    AddBlock(*ed, {0, 1, 1, 1});
    AddBlock(*ed, {0, 2, 1, 2});
    ed->InsertLineP(1, "new\r", ed->MakeAttr(false, 0, 60));
    EXPECT_EQ(Show(Blocks(*ed)), Show({{0, 2, 1, 2}, {0, 3, 1, 3}}));
    ed->DelLineP(2);
    EXPECT_EQ(Show(Blocks(*ed)), Show({{0, 2, 1, 2}}));
    ed->DelLineP(0);
    EXPECT_EQ(Show(Blocks(*ed)), Show({{0, 1, 1, 1}}));
}
