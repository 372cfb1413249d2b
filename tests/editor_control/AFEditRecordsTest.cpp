#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "editor_control/AFEditRecords.h"
#include "platform/Classes.h"

namespace
{
TAttrListItem Rec(int indent, int wrap)
{
    TAttrListItem r;
    r.FontColor = 0x112233;
    r.BackColor = 0x445566;
    r.Indent = int16_t(indent);
    r.WrapPos = uint16_t(wrap);
    r.Style = 5;
    r.Dirty = true;
    return r;
}
} // namespace

TEST(AttrList, GetItemPastTheEndGrowsWithEmptySlotsAndZeroRecord)
{
    TAttrList list;
    TAttrListItem* r = list.GetItem(5);
    EXPECT_EQ(list.GetCount(), 6);
    EXPECT_EQ(r->FontColor, 0);
    EXPECT_EQ(r->WrapPos, 0);
    EXPECT_EQ(r->ColAttr, nullptr);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.Get(i), nullptr) << i;
}

// Records of several lists made and freed in any order (hundreds of thousands, so storage is taken
// and given back many times) keep their values, their column lists and their slots.
TEST(AttrList, RandomInsertsDeletesAndRangesOfSeveralListsKeepEveryRecordOfAPlainModel)
{
    std::mt19937 rng(11);
    struct TPair
    {
        TAttrList list;
        std::vector<std::pair<int, int>> model; // indent and column count per slot
    };
    TPair pairs[3];
    auto check = [](TPair& p) {
        ASSERT_EQ(p.list.GetCount(), int(p.model.size()));
        for (int i = 0; i < p.list.GetCount(); ++i)
        {
            TAttrListItem* r = p.list.GetItem(i);
            ASSERT_EQ(r->Indent, p.model[size_t(i)].first) << i;
            ASSERT_EQ(r->ColAttr ? r->ColAttr->GetCount() : 0, p.model[size_t(i)].second) << i;
        }
    };
    int tag = 0;
    for (int step = 0; step < 3000; ++step)
    {
        TPair& p = pairs[rng() % 3];
        const int n = int(p.model.size());
        switch (rng() % 6)
        {
        case 0:
        case 1:
            for (int k = int(rng() % 400); k > 0; --k)
            {
                TAttrListItem rec = Rec(++tag % 1000, 60);
                TColAttrList cols;
                const int colCount = tag % 7 == 0 ? 3 : 0;
                cols.SetCount(colCount);
                rec.ColAttr = colCount ? &cols : nullptr;
                const int at = int(rng() % unsigned(p.model.size() + 1));
                p.list.Insert(at, rec);
                p.model.insert(p.model.begin() + at, {tag % 1000, colCount});
            }
            break;
        case 2:
            if (n > 0)
            {
                const int at = int(rng() % unsigned(n));
                p.list.Delete(at);
                p.model.erase(p.model.begin() + at);
            }
            break;
        case 3:
        {
            const int first = int(rng() % unsigned(n + 2));
            const int count = int(rng() % 500);
            p.list.DeleteRange(first, count);
            if (first < n && count > 0)
                p.model.erase(p.model.begin() + first, p.model.begin() + std::min(n, first + count));
            break;
        }
        case 4:
        {
            const int to = n > 0 ? int(rng() % unsigned(n)) : 0;
            p.list.SetCount(to);
            p.model.resize(size_t(to));
            break;
        }
        default:
            if (rng() % 8 == 0)
            {
                p.list.Clear();
                p.model.clear();
            }
            break;
        }
        check(p);
    }
}

// Rows whose records are alike share one record (a big text's rows mostly do) until a row is
// written through GetItem; every kind of change keeps each row's values as a plain model has
// them, and a write reaches its own row only.
TEST(AttrList, AlikeRowsShareARecordAndEveryChangeKeepsThePlainModel)
{
    struct TRow
    {
        int Indent = 0, Wrap = 0, Cols = 0;
        bool Dirty = false;
        bool Empty = true; // a slot without a record
        bool Own = false;  // written through GetItem: the row's own record
    };
    for (unsigned seed : {3u, 4u, 5u})
    {
        std::mt19937 rng(seed);
        TAttrList list;
        std::vector<TRow> model;
        auto value = [&](int cols) {
            TRow r;
            r.Indent = int(rng() % 3) * 4;
            r.Wrap = rng() % 2 ? 60 : 72;
            r.Dirty = rng() % 2;
            r.Cols = cols;
            r.Empty = false;
            return r;
        };
        auto record = [](const TRow& r, TColAttrList& cols) {
            TAttrListItem rec = Rec(r.Indent, r.Wrap);
            rec.Dirty = r.Dirty;
            cols.SetCount(r.Cols);
            rec.ColAttr = r.Cols ? &cols : nullptr;
            return rec;
        };
        for (int step = 0; step < 4000; ++step)
        {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            const int n = int(model.size());
            const int at = int(rng() % unsigned(n + 1));
            const int row = n ? std::min(at, n - 1) : 0;
            TColAttrList cols;
            const unsigned op = n == 0 ? 0 : rng() % 12;
            SCOPED_TRACE("change " + std::to_string(op) + " at row " + std::to_string(row));
            switch (op)
            {
            case 0:
            case 1:
            {
                const TRow r = value(rng() % 10 == 0 ? 2 : 0);
                list.Insert(at, record(r, cols));
                model.insert(model.begin() + at, r);
                model[size_t(at)].Own = r.Cols > 0;
                break;
            }
            case 2:
                list.Delete(row);
                model.erase(model.begin() + row);
                break;
            case 3:
            {
                const int count = int(rng() % 5);
                list.DeleteRange(row, count);
                model.erase(model.begin() + row, model.begin() + std::min(n, row + count));
                break;
            }
            case 4:
            {
                const int count = int(rng() % 3);
                list.InsertEmpty(at, count);
                model.insert(model.begin() + at, size_t(count), TRow());
                break;
            }
            case 5:
            {
                const TRow r = value(0);
                list.SetItem(row, nullptr); // the row's own record, all zero when it had none
                TAttrListItem rec = record(r, cols);
                list.SetItem(row, &rec);
                model[size_t(row)] = r;
                model[size_t(row)].Own = true; // its column list went with the values written
                break;
            }
            case 6:
            {
                const TRow r = value(0);
                list.Store(row, record(r, cols));
                model[size_t(row)] = r;
                break;
            }
            case 7:
            {
                const bool dirty = rng() % 2;
                list.SetDirty(row, dirty);
                TRow& m = model[size_t(row)];
                if (m.Empty)
                    m = TRow{0, 0, 0, dirty, false, false};
                m.Dirty = dirty;
                break;
            }
            case 8:
            {
                TRow& m = model[size_t(row)];
                list.GetItem(row)->Indent = int16_t(m.Indent = 8);
                m.Empty = false;
                m.Own = true;
                break;
            }
            case 9:
            {
                if (rng() % 2)
                {
                    auto swap = [](int wrap) { return wrap == 60 ? 72 : wrap == 72 ? 60 : wrap; };
                    list.ChangeEach([&](TAttrListItem& r) { r.WrapPos = uint16_t(swap(r.WrapPos)); });
                    for (TRow& m : model)
                        m.Wrap = swap(m.Wrap);
                    break;
                }
                // A change most rows come through alike, as a colour set again does.
                list.ChangeEach(
                    [&](TAttrListItem& r)
                    {
                        if (r.Indent == 4)
                            r.Dirty = true;
                    });
                for (TRow& m : model)
                    if (!m.Empty && m.Indent == 4)
                        m.Dirty = true;
                break;
            }
            case 10:
            {
                const int other = int(rng() % unsigned(n));
                list.Exchange(row, other);
                std::swap(model[size_t(row)], model[size_t(other)]);
                break;
            }
            default:
                delete list.TakeColAttr(row);
                model[size_t(row)].Cols = 0;
                break;
            }
            ASSERT_EQ(list.GetCount(), int(model.size()));
            // What each row reads, and which rows read one record.
            std::vector<const TAttrListItem*> shared;
            for (int i = 0; i < int(model.size()); ++i)
            {
                const TRow& m = model[size_t(i)];
                const TAttrListItem& r = list.Peek(i);
                ASSERT_EQ(list.Get(i) == nullptr, m.Empty) << i;
                ASSERT_EQ(r.Indent, m.Empty ? 0 : m.Indent) << i;
                ASSERT_EQ(r.WrapPos, m.Empty ? 0 : m.Wrap) << i;
                ASSERT_EQ(r.Dirty, !m.Empty && m.Dirty) << i;
                ASSERT_EQ(r.ColAttr ? r.ColAttr->GetCount() : 0, m.Empty ? 0 : m.Cols) << i;
                if (m.Empty || m.Own || m.Cols)
                    continue;
                for (int j = 0; j < i; ++j)
                {
                    const TRow& o = model[size_t(j)];
                    if (o.Empty || o.Own || o.Cols)
                        continue;
                    const bool alike = o.Indent == m.Indent && o.Wrap == m.Wrap && o.Dirty == m.Dirty;
                    ASSERT_EQ(&list.Peek(j) == &r, alike) << "rows " << j << " and " << i;
                }
            }
        }
    }
}

TEST(AttrList, NegativeIndexRaises)
{
    TAttrList list;
    EXPECT_THROW(list.GetItem(-1), EListError);
    TAttrListItem r;
    EXPECT_THROW(list.Insert(-1, r), EListError);
}

TEST(AttrList, CopiesNeverShareAColumnList)
{
    TAttrList list;
    TAttrListItem r = Rec(0, 60);
    list.Add(r);
    TColAttrList* cols = new TColAttrList();
    cols->GetItem(2)->MarkId = 7;
    list.GetItem(0)->ColAttr = cols;

    // Copying row 0's record into other rows gives each its own list.
    list.Add(*list.GetItem(0));
    list.Insert(1, *list.GetItem(0));
    list.SetItem(3, list.GetItem(0));
    ASSERT_EQ(list.GetCount(), 4);
    for (int i = 1; i < 4; ++i)
    {
        ASSERT_NE(list.GetItem(i)->ColAttr, nullptr) << i;
        EXPECT_NE(list.GetItem(i)->ColAttr, cols) << i;
        EXPECT_EQ(list.GetItem(i)->ColAttr->GetItem(2)->MarkId, 7) << i;
    }
    // Writing a row's own record back keeps its list; replacing it frees the old one (no leak
    // checker here, but a double free would crash this test).
    TAttrListItem own = *list.GetItem(0);
    own.Indent = 4;
    list.SetItem(0, &own);
    EXPECT_EQ(list.GetItem(0)->ColAttr, cols);
    EXPECT_EQ(list.GetItem(0)->Indent, 4);
    TAttrListItem plain = Rec(1, 20);
    list.SetItem(1, &plain);
    EXPECT_EQ(list.GetItem(1)->ColAttr, nullptr);
    list.Delete(2);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(AttrList, SaveToStreamWritesAZeroRecordForAnEmptySlot)
{
    TAttrList list;
    list.GetItem(0)->Indent = 1;
    list.GetItem(1)->Indent = 2;
    list.GetItem(3)->Indent = 4; // slot 2 stays empty
    TMemoryStream stream;
    list.SaveToStream(&stream);
    ASSERT_EQ(stream.GetSize(), 4 * kAttrImageSize);

    TAttrList back;
    stream.SetPosition(0);
    back.loadFromStream(&stream);
    ASSERT_EQ(back.GetCount(), 4);
    EXPECT_EQ(back.GetItem(2)->Indent, 0);
    EXPECT_EQ(back.GetItem(3)->Indent, 4); // still on its own row
}

TEST(AttrList, ImageRoundTripKeepsEveryStoredFieldAndNoWrap)
{
    TAttrListItem r = Rec(-3, kNoWrap);
    r.Reserve = -2;
    r.States << asCmtented;
    r.Str = "ignored";
    r.ColAttr = reinterpret_cast<TColAttrList*>(0x1234); // never written
    unsigned char image[kAttrImageSize];
    r.ToImage(image);
    EXPECT_EQ(image[16] | image[17] | image[18] | image[19], 0);
    EXPECT_EQ(image[21] | image[22] | image[23] | image[24], 0);
    TAttrListItem b = TAttrListItem::FromImage(image);
    EXPECT_EQ(b.FontColor, r.FontColor);
    EXPECT_EQ(b.BackColor, r.BackColor);
    EXPECT_EQ(b.Indent, -3);
    EXPECT_EQ(b.Reserve, -2);
    EXPECT_EQ(int(b.WrapPos), kNoWrap);
    EXPECT_EQ(b.Style, 5);
    EXPECT_TRUE(b.Dirty);
    EXPECT_TRUE(b.States.Contains(asCmtented));
    EXPECT_EQ(b.ColAttr, nullptr);
    EXPECT_TRUE(b.Str.IsEmpty());
}

TEST(AttrList, BareFileOfSixtyBytesLoadsTwoRecords)
{
    std::vector<unsigned char> bytes(60, 0);
    bytes[8] = 7;       // indent of the first record
    bytes[25 + 12] = 9; // wrap of the second
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), int(bytes.size()));
    stream.SetPosition(0);
    TAttrList list;
    list.loadFromStream(&stream);
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetItem(0)->Indent, 7);
    EXPECT_EQ(list.GetItem(1)->WrapPos, 9);
}

TEST(ColAttrList, GrowsOnReadAndShrinksFreeingRecords)
{
    TColAttrList list;
    list.GetItem(3)->Color = 5;
    EXPECT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.Get(1), nullptr);
    list.SetCount(2);
    EXPECT_EQ(list.GetCount(), 2);
    TColAttrListItem item;
    item.MarkId = 9;
    list.Insert(0, item);
    EXPECT_EQ(list.GetItem(0)->MarkId, 9);
    list.Delete(0);
    EXPECT_EQ(list.GetCount(), 2);
}

namespace
{
struct DeleteLog : TObject
{
    std::vector<std::pair<int, int>> calls;
    void OnDelete(TObject*, int startRow, int endRow) { calls.emplace_back(startRow, endRow); }
};

TBlkAttrListItem Block(int sc, int sr, int ec, int er, TColorValue color)
{
    TBlkAttrListItem b;
    b.StartCol = sc;
    b.StartRow = sr;
    b.EndCol = ec;
    b.EndRow = er;
    b.Color = color;
    return b;
}
} // namespace

TEST(BlkAttrList, NearestChangePosFindsTheNextBlockEdge)
{
    TBlkAttrList list;
    list.Add(Block(2, 1, 5, 1, 1));
    list.Add(Block(8, 1, 9, 1, 2));
    struct Case
    {
        int x;
        int expected;
    } cases[] = {{0, 2}, {3, 6}, {6, 8}, {9, -10000}};
    for (const auto& c : cases)
        EXPECT_EQ(list.NearestChangePos(TPoint(c.x, 1)), c.expected) << c.x;
}

TEST(BlkAttrList, GetPropertyReportsTheEarlierOfOverlappingBlocks)
{
    TBlkAttrList list;
    list.Add(Block(0, 0, 10, 0, 111));
    list.Add(Block(5, 0, 8, 0, 222));
    TColorValue color = 0;
    uint8_t style = 0;
    ASSERT_TRUE(list.GetProperty(TPoint(6, 0), color, style));
    EXPECT_EQ(color, 111);
    EXPECT_FALSE(list.GetProperty(TPoint(10, 0), color, style)); // end excluded
}

TEST(BlkAttrList, DeleteFiresWithRowsAndClearFiresNothing)
{
    DeleteLog log;
    TBlkAttrList list;
    list.OnDelete = TBlkAttrDeleteEvent(&log, &DeleteLog::OnDelete);
    list.Add(Block(0, 2, 3, 4, 1));
    list.Add(Block(0, 7, 3, 9, 1));
    list.Delete(0);
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0], std::make_pair(2, 4));
    EXPECT_EQ(list.GetCount(), 1);
    list.Clear();
    EXPECT_EQ(log.calls.size(), 1u);
}
