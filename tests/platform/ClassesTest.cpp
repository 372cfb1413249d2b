// Lists, string lists and streams.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"
#include "tests/TestFiles.h"

using namespace std::string_literals;

namespace
{

void* P(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }

std::vector<std::string> Lines(TStrings& s)
{
    std::vector<std::string> r;
    for (int i = 0; i < s.GetCount(); ++i)
        r.push_back(s.Get(i).str());
    return r;
}

struct EventCounter : TObject
{
    int changes = 0;
    int changings = 0;
    void Changed(TObject*) { ++changes; }
    void Changing(TObject*) { ++changings; }
};

void WriteFileBytes(const AnsiString& path, const std::string& bytes)
{
    TFileStream f(path, fmCreate);
    f.WriteBuffer(bytes.data(), int(bytes.size()));
}

} // namespace

// ---- TList --------------------------------------------------------------------------------------------

TEST(TList, SetCountGrowsWithNullSlotsAndShrinksKeepingTheFront)
{
    TList list;
    list.Add(P(1));
    list.SetCount(4);
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.Get(0), P(1));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(list.Items(i), nullptr) << i;
    EXPECT_EQ(list.IndexOf(nullptr), 1);
    list.Put(3, P(7));
    list.SetCount(2);
    list.SetCount(4); // slots that come back are null again, not stale
    EXPECT_EQ(list.Get(3), nullptr);
    EXPECT_EQ(list.Remove(P(1)), 0);
    EXPECT_EQ(list.GetCount(), 3);
}

TEST(TList, OperationsMatchAVectorModel)
{
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    TList list;
    std::vector<void*> model;
    for (int step = 0; step < 4000; ++step)
    {
        int n = int(model.size());
        int op = int(rng() % 9);
        int i = n ? int(rng() % unsigned(n)) : 0;
        void* v = (rng() % 5 == 0) ? nullptr : P(int(rng() % 50) + 1);
        switch (op)
        {
        case 0:
        case 1:
            EXPECT_EQ(list.Add(v), n);
            model.push_back(v);
            break;
        case 2:
            i = int(rng() % unsigned(n + 1));
            list.Insert(i, v);
            model.insert(model.begin() + i, v);
            break;
        case 3:
            if (n)
            {
                list.Delete(i);
                model.erase(model.begin() + i);
            }
            break;
        case 4:
            if (n)
            {
                list.Put(i, v);
                model[size_t(i)] = v;
            }
            break;
        case 5:
            if (n)
            {
                int j = int(rng() % unsigned(n));
                list.Exchange(i, j);
                std::swap(model[size_t(i)], model[size_t(j)]);
            }
            break;
        case 6:
        {
            auto it = std::find(model.begin(), model.end(), v);
            EXPECT_EQ(list.Remove(v), it == model.end() ? -1 : int(it - model.begin()));
            if (it != model.end())
                model.erase(it);
            break;
        }
        case 7:
        {
            int count = int(rng() % 40);
            list.SetCount(count);
            model.resize(size_t(count), nullptr);
            break;
        }
        case 8:
        {
            auto it = std::find(model.begin(), model.end(), v);
            EXPECT_EQ(list.Extract(v), it == model.end() ? nullptr : v);
            if (it != model.end())
                model.erase(it);
            break;
        }
        }
        ASSERT_EQ(list.GetCount(), int(model.size())) << "seed " << seed << " step " << step;
        for (int k = 0; k < list.GetCount(); ++k)
            ASSERT_EQ(list.Get(k), model[size_t(k)]) << "seed " << seed << " step " << step << " slot " << k;
        ASSERT_GE(list.GetCapacity(), list.GetCount());
    }
}

TEST(TList, IndexOutOfRangeRaisesListError)
{
    TList list;
    list.Add(P(1));
    EXPECT_THROW(list.Get(1), EListError);
    EXPECT_THROW(list.Get(-1), EListError);
    EXPECT_THROW(list.Put(1, nullptr), EListError);
    EXPECT_THROW(list.Delete(1), EListError);
    EXPECT_THROW(list.Insert(2, nullptr), EListError);
    EXPECT_THROW(list.Exchange(0, 1), EListError);
    EXPECT_THROW(list.SetCount(-1), EListError);
    EXPECT_THROW(list.SetCapacity(0), EListError); // below Count
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(TList, AppendsGrowCapacityGeometrically)
{
    TList list;
    int reallocations = 0;
    for (int i = 0; i < 200000; ++i)
    {
        int before = list.GetCapacity();
        list.Add(P(i));
        reallocations += list.GetCapacity() != before;
    }
    EXPECT_LE(reallocations, 40); // 1.5x growth: about 30
    list.SetCapacity(list.GetCount());
    EXPECT_EQ(list.Capacity(), 200000);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCapacity(), 0);
}

TEST(TList, ClearIsReachedThroughTheBase)
{
    struct Owning : TList
    {
        int cleared = 0;
        void Clear() override
        {
            ++cleared;
            TList::Clear();
        }
    } owning;
    TList* base = &owning;
    base->Add(P(1));
    base->Clear();
    EXPECT_EQ(owning.cleared, 1);
    EXPECT_EQ(owning.GetCount(), 0);
}

// ---- TStringList ----------------------------------------------------------------------------------------

TEST(TStringList, SortedAddKeepsOrderAndFindLocatesInsertionPoint)
{
    TStringList list;
    list.SetSorted(true);
    for (const char* s :
         {"pear", "Apple", "ヂ", "ア", "banana", "apple"}) // "apple" is a duplicate of "Apple"
        list.Add(s);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"Apple", "banana", "pear", "ア", "ヂ"}));

    int index = -1;
    EXPECT_TRUE(list.Find("APPLE", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(list.Find("cherry", index));
    EXPECT_EQ(index, 2);
    // ア is 83 41, ヂ is 83 61: folding the trail byte would make them one name.
    EXPECT_TRUE(list.Find("ヂ", index));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(list.IndexOf("ア"), 3);
    EXPECT_THROW(list.Insert(0, "x"), EStringListError);
    EXPECT_THROW(list.Put(0, "x"), EStringListError);
}

TEST(TStringList, DuplicatesDecideWhatASortedAddDoes)
{
    struct Case
    {
        TDuplicates dup;
        int count;
        bool raises;
    };
    for (Case c : {Case{dupIgnore, 2, false}, Case{dupAccept, 3, false}, Case{dupError, 2, true}})
    {
        TStringList list;
        list.SetSorted(true);
        list.SetDuplicates(c.dup);
        list.Add("b");
        list.Add("a");
        if (c.raises)
            EXPECT_THROW(list.Add("A"), EStringListError) << c.dup;
        else
            EXPECT_EQ(list.Add("A"), 0) << c.dup; // the first equal slot either way
        EXPECT_EQ(list.GetCount(), c.count) << c.dup;
    }
}

TEST(TStringList, CaseSensitiveListKeepsCaseVariantsApartAndResorts)
{
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(dupAccept);
    for (const char* s : {"b", "B", "a", "A"})
        list.Add(s);
    EXPECT_EQ(list.IndexOf("b") / 2, 1); // case-insensitive: both b's sort after both a's
    list.SetCaseSensitive(true);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"A", "B", "a", "b"}));
    int index;
    EXPECT_TRUE(list.Find("a", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find("C", index));
    EXPECT_EQ(index, 2);
}

// Folded key: single-byte ASCII letters upper-cased, double-byte characters copied as they are.
static std::string FoldKey(const std::string& s)
{
    std::string k;
    for (size_t i = 0; i < s.size(); ++i)
    {
        unsigned char c = (unsigned char)s[i];
        if (IsSjisLead(c) && i + 1 < s.size())
        {
            k += s[i];
            k += s[++i];
        }
        else
            k += char(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    return k;
}

TEST(TStringList, SortedListMatchesAFoldedKeyModel)
{
    const unsigned seed = 77;
    std::mt19937 rng(seed);
    const char* units[] = {"a", "A", "b", "ア", "ヂ", "ソ", "\\", "z", "_"};
    for (TDuplicates dup : {dupAccept, dupIgnore})
    {
        TStringList list;
        list.SetSorted(true);
        list.SetDuplicates(dup);
        std::vector<std::string> model;
        auto lower = [&](const std::string& s)
        {
            return int(std::lower_bound(model.begin(), model.end(), s,
                                        [](const std::string& a, const std::string& b)
                                        { return FoldKey(a) < FoldKey(b); }) -
                       model.begin());
        };
        for (int step = 0; step < 3000; ++step)
        {
            std::string s;
            for (int u = int(rng() % 4); u > 0; --u)
                s += units[rng() % (sizeof units / sizeof units[0])];
            if (rng() % 4 == 0 && !model.empty())
            {
                int i = int(rng() % model.size());
                list.Delete(i);
                model.erase(model.begin() + i);
            }
            else
            {
                int at = lower(s);
                bool present = at < int(model.size()) && FoldKey(model[size_t(at)]) == FoldKey(s);
                EXPECT_EQ(list.Add(s.c_str()), at) << "seed " << seed << " step " << step;
                if (!(present && dup == dupIgnore))
                    model.insert(model.begin() + at, s);
            }
            int index;
            int at = lower(s);
            bool present = at < int(model.size()) && FoldKey(model[size_t(at)]) == FoldKey(s);
            ASSERT_EQ(list.Find(s.c_str(), index), present) << "seed " << seed << " step " << step;
            ASSERT_EQ(index, at) << "seed " << seed << " step " << step;
        }
        EXPECT_EQ(Lines(list), model) << "seed " << seed;
    }
}

TEST(TStringList, SortAndCustomSortMoveObjectsWithTheirStrings)
{
    TStringList list;
    TObject a, b, c;
    list.AddObject("c", &c);
    list.AddObject("A", &a);
    list.AddObject("b", &b);
    list.CustomSort([](TStringList* l, int i, int j) { return -CompareText(l->Get(i), l->Get(j)); });
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"c", "b", "A"}));
    EXPECT_EQ(list.Objects(0), &c);
    list.Sort();
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_EQ(list.Objects(0), &a);
    EXPECT_EQ(list.Objects(2), &c);
    list.Exchange(0, 2);
    EXPECT_EQ(list.Objects(0), &c);
    EXPECT_EQ(list.Get(0), "c");
}

TEST(TStringList, SortOrdersLargeRandomListsLikeStableReference)
{
    const unsigned seed = 5;
    std::mt19937 rng(seed);
    for (int n : {0, 1, 2, 3, 17, 1000})
    {
        TStringList list;
        std::vector<std::string> model;
        for (int i = 0; i < n; ++i)
        {
            std::string s = std::to_string(rng() % 50); // many duplicates, the hard case for partitioning
            list.Add(s.c_str());
            model.push_back(s);
        }
        list.Sort();
        std::sort(model.begin(), model.end());
        EXPECT_EQ(Lines(list), model) << "seed " << seed << " n " << n;
    }
}

TEST(TStrings, TextSplitsAtEveryLineEndAndJoinsWithCrLf)
{
    struct Case
    {
        const char* text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\rb", {"a", "", "b"}}, // LF then CR: two line ends
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"ソ\r\n表", {"ソ", "表"}},
    };
    for (const Case& c : cases)
    {
        TStringList list;
        list.SetText(c.text);
        EXPECT_EQ(Lines(list), c.lines) << "text \"" << c.text << "\"";
        std::string joined;
        for (const std::string& line : c.lines)
            joined += line + "\r\n";
        EXPECT_EQ(list.GetText().str(), joined) << "text \"" << c.text << "\"";
    }
}

TEST(TStringList, BeginUpdateHoldsChangeEventsUntilTheOutermostEnd)
{
    TStringList list;
    EventCounter counter;
    list.OnChange = TNotifyEvent(&counter, &EventCounter::Changed);
    list.OnChanging = TNotifyEvent(&counter, &EventCounter::Changing);
    list.Add("a");
    EXPECT_EQ(counter.changes, 1);
    EXPECT_EQ(counter.changings, 1);

    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.SetText("x\r\ny\r\nz");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(counter.changes, 1);
    list.EndUpdate();
    EXPECT_EQ(counter.changes, 2);
    EXPECT_EQ(counter.changings, 2);

    list.OnChange = nullptr;
    list.Clear();
    EXPECT_EQ(counter.changes, 2);
}

TEST(TStrings, AddTextAndAssignGoThroughTheVirtualInsertAndClear)
{
    struct Recording : TStringList
    {
        std::vector<std::string> log;
        void Insert(int index, const AnsiString& s) override
        {
            log.push_back("I" + std::to_string(index) + ":" + s.str());
            TStringList::Insert(index, s);
        }
        void Clear() override
        {
            log.push_back("C");
            TStringList::Clear();
        }
    } list;
    TObject o;
    list.Add("a");
    list.AddObject("b", &o);
    EXPECT_EQ(list.Objects(1), &o);
    list.SetText("x\ny");
    TStringList source;
    source.Add("s");
    list.Assign(&source);
    list.AddStrings(&source);
    EXPECT_EQ(list.log, (std::vector<std::string>{"I0:a", "I1:b", "C", "I0:x", "I1:y", "C", "I0:s", "I1:s"}));
}

TEST(TStringList, IndexOfIgnoresAsciiCaseOnly)
{
    TStringList list;
    list.SetText("Alpha\r\nア\r\nbeta");
    EXPECT_EQ(list.IndexOf("ALPHA"), 0);
    EXPECT_EQ(list.IndexOf("ヂ"), -1);
    EXPECT_EQ(list.IndexOf("BETA"), 2);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("ALPHA"), -1);
}

TEST(TStringList, CapacityReservesWithoutAddingAndRefusesToCutItems)
{
    TStringList list;
    list.SetCapacity(1000);
    EXPECT_GE(list.GetCapacity(), 1000);
    EXPECT_EQ(list.GetCount(), 0);
    list.Add("a");
    list.Add("b");
    EXPECT_THROW(list.SetCapacity(1), EStringListError);
    list.SetCapacity(2);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(list.Get(2), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
}

// Strings handed over in bulk land after the items wherever the last edit left the list's gap and
// whether or not room was reserved; the watchers hear of it once and the strings handed over are
// left empty. A sorted list, or a count there is no room for, changes nothing and tells no one.
// A list of a derived kind that notes what its bulk-append hook hears.
class TAppendSpy : public TStringList
{
public:
    std::vector<std::pair<int, int>> appended;

protected:
    void Appended(int first, int count) override { appended.emplace_back(first, count); }
};

TEST(TStringList, AppendMovingAndTakingAddAfterTheItemsOnceOrLeaveTheListAsItWas)
{
    TObject mark;
    TObject carried;
    const std::vector<std::pair<const char*, std::function<void(TStringList&)>>> starts = {
        {"empty", [](TStringList&) {}},
        {"gap in the middle",
         [&](TStringList& l) {
             l.SetText("a\r\nb\r\nc\r\nd\r\ne");
             l.Insert(2, "x");
             l.Delete(1);
             l.PutObject(0, &mark);
         }},
        {"room reserved",
         [&](TStringList& l) {
             l.SetCapacity(100);
             l.Add("a");
             l.PutObject(0, &mark);
         }},
        {"no room left",
         [](TStringList& l) {
             for (int i = 0; i < 16; ++i)
                 l.Add(AnsiString(i));
         }},
    };
    for (const auto& [name, prepare] : starts)
        for (int count : {1, 3, 50})
            for (bool taking : {false, true})
            {
                SCOPED_TRACE(std::string(name) + ", " + std::to_string(count) + " strings" +
                             (taking ? ", taken from a list" : ""));
                TAppendSpy list;
                prepare(list);
                const int before = list.GetCount();
                std::vector<std::string> model = Lines(list);
                TObject* first = list.GetCount() > 0 ? list.GetObject(0) : nullptr;
                std::vector<AnsiString> rows;
                TStringList from; // with a gap in it, and an object on its last item
                for (int i = 0; i < count; ++i)
                {
                    rows.push_back(AnsiString(("r" + std::to_string(i)).c_str()));
                    from.Add(rows.back());
                    model.push_back("r" + std::to_string(i));
                }
                from.Insert(0, "gone");
                from.Delete(0);
                from.PutObject(count - 1, &carried);
                EventCounter counter;
                list.OnChange = TNotifyEvent(&counter, &EventCounter::Changed);
                list.OnChanging = TNotifyEvent(&counter, &EventCounter::Changing);
                if (taking)
                    list.AppendTaking(from);
                else
                    list.AppendMoving(rows.data(), count);
                EXPECT_EQ(counter.changings, 1);
                EXPECT_EQ(counter.changes, 1);
                EXPECT_EQ(list.appended, (std::vector<std::pair<int, int>>{{before, count}}));
                EXPECT_EQ(Lines(list), model);
                if (taking)
                    EXPECT_EQ(from.GetCount(), 0);
                else
                    for (const AnsiString& r : rows)
                        EXPECT_TRUE(r.IsEmpty());
                if (first)
                {
                    EXPECT_EQ(list.GetObject(0), first);
                }
                EXPECT_EQ(list.GetObject(list.GetCount() - 1), taking ? &carried : nullptr);
                // Edits go on from there as on any list.
                list.Insert(1, "y");
                model.insert(model.begin() + 1, "y");
                list.Delete(list.GetCount() - 1);
                model.pop_back();
                list.Add("z");
                model.push_back("z");
                EXPECT_EQ(Lines(list), model);
            }

    TStringList sorted;
    sorted.SetSorted(true);
    sorted.Add("b");
    sorted.Add("a");
    TStringList plain;
    plain.SetText("a\r\nb");
    plain.Insert(1, "x");
    for (auto [list, count] : {std::pair<TStringList*, int>{&sorted, 1}, {&plain, INT_MAX}})
    {
        const std::vector<std::string> before = Lines(*list);
        AnsiString rows[1] = {AnsiString("r")};
        EventCounter counter;
        list->OnChange = TNotifyEvent(&counter, &EventCounter::Changed);
        list->OnChanging = TNotifyEvent(&counter, &EventCounter::Changing);
        EXPECT_THROW(list->AppendMoving(rows, count), EStringListError);
        if (list == &sorted)
        {
            TStringList from;
            from.Add("r");
            EXPECT_THROW(list->AppendTaking(from), EStringListError);
            EXPECT_EQ(from.GetCount(), 1);
        }
        EXPECT_EQ(Lines(*list), before);
        EXPECT_EQ(counter.changings + counter.changes, 0);
        EXPECT_EQ(rows[0], "r");
    }
}

TEST(TStrings, StreamRoundTripIsPlainTextFromThePosition)
{
    TStringStream in("skip|one\r\ntwo");
    in.SetPosition(5);
    TStringList list;
    list.LoadFromStream(&in);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two"}));
    TStringStream out;
    list.SaveToStream(&out);
    EXPECT_EQ(out.DataString(), "one\r\ntwo\r\n");
}

// ---- Streams --------------------------------------------------------------------------------------------

TEST(TFileStream, RoundTripsThroughAJapaneseFileName)
{
    TTempDir dir;
    AnsiString path = dir / "表ソ能テスト.txt";
    const std::string bytes = "ソ表能\r\n\0binary\xff"s;
    {
        TFileStream f(path, fmCreate | fmShareDenyWrite);
        EXPECT_EQ(f.FileName(), path);
        f.WriteBuffer(bytes.data(), int(bytes.size()));
        f.Flush();
        EXPECT_EQ(f.GetSize(), int64_t(bytes.size()));
    }
    // The name on disk is the Unicode name, not the bytes read in another code page.
    std::wstring wide = SjisToWide(path);
    EXPECT_NE(wide.find(L"\u8868\u30BD\u80FD\u30C6\u30B9\u30C8.txt"), std::wstring::npos);
    EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(FileExists(path));

    TFileStream f(path, fmOpenRead);
    std::string back(bytes.size(), '\0');
    f.ReadBuffer(back.data(), int(back.size()));
    EXPECT_EQ(back, bytes);
    char extra;
    EXPECT_EQ(f.Read(&extra, 1), 0);
}

TEST(TFileStream, OpenFailuresRaiseWithTheWin32ErrorCode)
{
    TTempDir dir;
    AnsiString held = dir / "held.txt";
    AnsiString folder = ExcludeTrailingBackslash(dir / "");
    TFileStream holder(held, fmCreate);

    struct Case
    {
        AnsiString path;
        unsigned mode;
        bool create;
        int error;
    };
    const Case cases[] = {
        {dir / "無い.txt", fmOpenRead, false, ERROR_FILE_NOT_FOUND},
        {dir / "無い\\a.txt", fmCreate, true, ERROR_PATH_NOT_FOUND},
        {held, fmOpenRead, false, ERROR_SHARING_VIOLATION},
        {held, fmOpenRead | fmShareDenyNone, false, ERROR_SHARING_VIOLATION}, // the holder is exclusive
        {folder, fmOpenRead, false, ERROR_ACCESS_DENIED},
        {folder, fmCreate, true, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases)
    {
        try
        {
            TFileStream f(c.path, c.mode);
            ADD_FAILURE() << "opened " << c.path.c_str();
        }
        catch (const EFileStreamError& e)
        {
            EXPECT_EQ(c.create, dynamic_cast<const EFCreateError*>(&e) != nullptr) << c.path.c_str();
            EXPECT_EQ(c.create, dynamic_cast<const EFOpenError*>(&e) == nullptr) << c.path.c_str();
            EXPECT_EQ(e.ErrorCode, c.error) << c.path.c_str();
            EXPECT_GT(e.Message.Pos(ExtractFileName(c.path)), 0) << e.Message.c_str();
        }
    }
}

TEST(TFileStream, SharedReadersCoexistAndAWriterIsRefused)
{
    TTempDir dir;
    AnsiString path = dir / "shared.txt";
    WriteFileBytes(path, "abc");
    TFileStream first(path, fmOpenRead | fmShareDenyNone);
    TFileStream second(path, fmOpenRead | fmShareDenyWrite); // first asks for read only: compatible
    EXPECT_EQ(second.GetSize(), 3);
    try
    {
        TFileStream writer(path, fmOpenWrite | fmShareDenyNone);
        ADD_FAILURE() << "second denies write";
    }
    catch (const EFOpenError& e)
    {
        EXPECT_EQ(e.ErrorCode, ERROR_SHARING_VIOLATION);
    }
}

TEST(TFileStream, WritingAReadOnlyStreamRaisesWriteError)
{
    TTempDir dir;
    AnsiString path = dir / "r.txt";
    WriteFileBytes(path, "abc");
    TFileStream f(path, fmOpenRead);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
}

TEST(TFileStream, SizeAndPositionAre64Bit)
{
    TTempDir dir;
    TFileStream f(dir / "big.bin", fmCreate);
    const int64_t farPos = 5LL * 1024 * 1024 * 1024 + 3;
    EXPECT_EQ(f.Seek(farPos, soFromBeginning), farPos);
    EXPECT_EQ(f.GetPosition(), farPos);
    EXPECT_EQ(f.GetSize(), 0);
    f.SetPosition(0);
    f.WriteBuffer("abcdef", 6);
    f.SetSize(4);
    EXPECT_EQ(f.GetSize(), 4);
    EXPECT_EQ(f.GetPosition(), 4); // was past the new end
    f.SetPosition(1);
    f.SetSize(3);
    EXPECT_EQ(f.GetPosition(), 1);
    char buf[4] = {};
    EXPECT_EQ(f.Read(buf, 4), 2);
    EXPECT_STREQ(buf, "bc");
    EXPECT_THROW(f.Seek(-10, soFromBeginning), EStreamError);
}

TEST(TStream, ReadBufferRaisesOnAShortRead)
{
    TTempDir dir;
    AnsiString path = dir / "short.bin";
    WriteFileBytes(path, "abc");
    TFileStream file(path, fmOpenRead);
    TMemoryStream memory;
    memory.WriteBuffer("abc", 3);
    memory.SetPosition(0);
    TStringStream text("abc");
    for (TStream* s : std::initializer_list<TStream*>{&file, &memory, &text})
    {
        char buf[8];
        s->ReadBuffer(buf, 2);
        EXPECT_THROW(s->ReadBuffer(buf, 2), EReadError);
        s->SetPosition(0);
        EXPECT_NO_THROW(s->ReadBuffer(buf, 3));
        EXPECT_NO_THROW(s->ReadBuffer(buf, 0));
    }
}

TEST(TMemoryStream, SeekSizeAndWritePastTheEnd)
{
    TMemoryStream m;
    EXPECT_EQ(m.Seek(4, soFromBeginning), 4);
    m.WriteBuffer("xy", 2);
    ASSERT_EQ(m.GetSize(), 6);
    EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 6), std::string("\0\0\0\0xy", 6));
    EXPECT_EQ(m.Seek(-1, soFromEnd), 5);
    EXPECT_EQ(m.Seek(-2, soFromCurrent), 3);
    EXPECT_THROW(m.Seek(-1, soFromBeginning), EStreamError);
    m.SetSize(2);
    EXPECT_EQ(m.GetPosition(), 2);
    m.SetSize(5);
    EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 5), std::string(5, '\0'));
    m.Clear();
    EXPECT_EQ(m.GetSize(), 0);
    EXPECT_EQ(m.GetPosition(), 0);
    EXPECT_EQ(m.Memory(), nullptr);
}

// Both in-memory streams against a std::string with a position.
TEST(TStream, MemoryAndStringStreamsMatchAByteModel)
{
    const unsigned seed = 4242;
    for (int kind = 0; kind < 2; ++kind)
    {
        std::mt19937 rng(seed);
        std::unique_ptr<TStream> s;
        if (kind == 0)
            s = std::make_unique<TMemoryStream>();
        else
            s = std::make_unique<TStringStream>();
        std::string model;
        size_t pos = 0;
        for (int step = 0; step < 3000; ++step)
        {
            switch (rng() % 4)
            {
            case 0:
            {
                std::string data(rng() % 20, '\0');
                for (char& c : data)
                    c = char('a' + rng() % 26);
                EXPECT_EQ(s->Write(data.data(), int(data.size())), int(data.size()));
                if (data.empty())
                    break; // an empty write does not extend
                if (pos > model.size())
                    model.resize(pos, '\0');
                model.replace(pos, std::min(data.size(), model.size() - pos), data);
                pos += data.size();
                break;
            }
            case 1:
            {
                int want = int(rng() % 20);
                std::string buf(size_t(want), '\0');
                int got = s->Read(buf.data(), want);
                size_t avail = pos < model.size() ? model.size() - pos : 0;
                ASSERT_EQ(got, int(std::min<size_t>(size_t(want), avail)))
                    << "seed " << seed << " step " << step;
                EXPECT_EQ(buf.substr(0, size_t(got)), model.substr(std::min(pos, model.size()), size_t(got)));
                pos += size_t(got);
                break;
            }
            case 2:
            {
                int origin = int(rng() % 3);
                int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(pos) : int64_t(model.size());
                int64_t target = int64_t(rng() % (model.size() + 10));
                EXPECT_EQ(s->Seek(target - base, TSeekOrigin(origin)), target);
                pos = size_t(target);
                break;
            }
            case 3:
                if (rng() % 3 == 0)
                {
                    size_t size = rng() % (model.size() + 10);
                    s->SetSize(int64_t(size));
                    model.resize(size, '\0');
                    pos = std::min(pos, size);
                }
                break;
            }
            ASSERT_EQ(s->GetSize(), int64_t(model.size()))
                << "kind " << kind << " seed " << seed << " step " << step;
            ASSERT_EQ(s->GetPosition(), int64_t(pos))
                << "kind " << kind << " seed " << seed << " step " << step;
        }
        const char* bytes = kind == 0
                                ? static_cast<const char*>(static_cast<TMemoryStream*>(s.get())->Memory())
                                : static_cast<TStringStream*>(s.get())->DataString().c_str();
        EXPECT_EQ(std::string(bytes ? bytes : "", model.size()), model)
            << "kind " << kind << " seed " << seed;
    }
}

TEST(TMemoryStream, FileRoundTripAndCopyFrom)
{
    TTempDir dir;
    AnsiString path = dir / "メモリ.bin";
    TMemoryStream m;
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    m.WriteBuffer(data.data(), int(data.size()));
    m.SaveToFile(path);

    TMemoryStream back;
    back.WriteBuffer("junk", 4);
    back.LoadFromFile(path);
    EXPECT_EQ(back.GetPosition(), 0);
    ASSERT_EQ(back.GetSize(), int64_t(data.size()));
    EXPECT_EQ(std::string(static_cast<const char*>(back.Memory()), data.size()), data);

    TStringStream all;
    EXPECT_EQ(all.CopyFrom(&back, 0), int64_t(data.size())); // 0: all of it, from the start
    EXPECT_EQ(all.DataString().str(), data);
    back.SetPosition(10);
    TStringStream part;
    EXPECT_EQ(part.CopyFrom(&back, 5), 5);
    EXPECT_EQ(part.DataString().str(), data.substr(10, 5));
    EXPECT_THROW(part.CopyFrom(&back, int64_t(data.size())), EReadError);
}

TEST(TStringStream, OverwritesInsideAndExtendsAtTheEnd)
{
    AnsiString original = "abcdef";
    TStringStream s(original);
    s.SetPosition(2);
    s.WriteBuffer("XYZWV", 5);
    EXPECT_EQ(s.DataString(), "abXYZWV");
    EXPECT_EQ(original, "abcdef"); // the source string is never written through
    s.SetSize(3);
    EXPECT_EQ(s.DataString(), "abX");
    EXPECT_EQ(s.GetPosition(), 3);
}

TEST(TStringList, RandomEditsAnywhereMatchAVectorModel)
{
    // Inserts and deletes walk around the list, so the stored order must survive every kind of
    // jump between edit points, a list grown from empty and one shrunk back to nothing.
    for (unsigned seed : {1u, 2u, 3u, 4u})
    {
        std::mt19937 rng(seed);
        TStringList list;
        std::vector<std::pair<std::string, TObject*>> model;
        TObject marks[4];
        for (int step = 0; step < 20000; ++step)
        {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            const int n = int(model.size());
            const unsigned op = rng() % 10;
            const int at = n == 0 ? 0 : int(rng() % (n + 1));
            if (op < 4 || n == 0)
            {
                const std::string s = "s" + std::to_string(step);
                TObject* obj = &marks[step % 4];
                list.Insert(at, AnsiString(s.c_str()));
                list.PutObject(at, obj);
                model.insert(model.begin() + at, {s, obj});
            }
            else if (op < 8 || (step / 5000) % 2 == 1)
            {
                const int i = std::min(at, n - 1);
                list.Delete(i);
                model.erase(model.begin() + i);
            }
            else if (op == 8)
            {
                const int i = std::min(at, n - 1), j = int(rng() % n);
                list.Exchange(i, j);
                std::swap(model[size_t(i)], model[size_t(j)]);
            }
            else
            {
                const int i = std::min(at, n - 1);
                list.Put(i, AnsiString(("p" + std::to_string(step)).c_str()));
                model[size_t(i)].first = "p" + std::to_string(step);
            }
            ASSERT_EQ(list.GetCount(), int(model.size()));
            if (step % 97 == 0 || step > 19900)
                for (int i = 0; i < int(model.size()); ++i)
                {
                    ASSERT_EQ(std::string(list.Get(i).c_str()), model[size_t(i)].first) << "index " << i;
                    ASSERT_EQ(list.GetObject(i), model[size_t(i)].second) << "index " << i;
                }
        }
        list.Sort();
        std::vector<std::string> sorted;
        for (auto& m : model)
            sorted.push_back(m.first);
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(list.GetCount(), int(sorted.size()));
        for (int i = 0; i < int(sorted.size()); ++i)
            EXPECT_EQ(std::string(list.Get(i).c_str()), sorted[size_t(i)]);
    }
}

// A list holds object slots only once an object is stored: the slots then follow every kind of
// edit, bulk appends from lists with and without objects, and a change of capacity.
TEST(TStringList, ObjectsStoredNowAndThenFollowTheirStringsThroughEveryEdit)
{
    for (unsigned seed : {5u, 6u, 7u})
    {
        std::mt19937 rng(seed);
        TStringList list;
        std::vector<std::pair<std::string, TObject*>> model;
        TObject marks[3];
        const int firstObject = int(rng() % 3000);
        for (int step = 0; step < 12000; ++step)
        {
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            const int n = int(model.size());
            const int at = n == 0 ? 0 : int(rng() % (n + 1));
            const std::string s = "s" + std::to_string(step);
            TObject* obj = step >= firstObject && rng() % 4 == 0 ? &marks[step % 3] : nullptr;
            switch (n == 0 ? 0 : rng() % 9)
            {
            case 0:
            case 1:
                list.Insert(at, AnsiString(s.c_str()));
                if (obj)
                    list.PutObject(at, obj);
                model.insert(model.begin() + at, {s, obj});
                break;
            case 2:
            case 3:
                list.Delete(std::min(at, n - 1));
                model.erase(model.begin() + std::min(at, n - 1));
                break;
            case 4:
            {
                const int i = std::min(at, n - 1), j = int(rng() % n);
                list.Exchange(i, j);
                std::swap(model[size_t(i)], model[size_t(j)]);
                break;
            }
            case 5:
                list.PutObject(std::min(at, n - 1), obj);
                model[size_t(std::min(at, n - 1))].second = obj;
                break;
            case 6:
            {
                AnsiString rows[3] = {AnsiString((s + "a").c_str()), AnsiString((s + "b").c_str()), AnsiString()};
                list.AppendMoving(rows, 3);
                for (const char* tail : {"a", "b", ""})
                    model.push_back({*tail ? s + tail : std::string(), nullptr});
                break;
            }
            case 7:
            {
                TStringList from;
                from.Add(AnsiString((s + "t").c_str()));
                from.AddObject(AnsiString((s + "u").c_str()), obj);
                list.AppendTaking(from);
                model.push_back({s + "t", nullptr});
                model.push_back({s + "u", obj});
                ASSERT_EQ(from.GetCount(), 0);
                break;
            }
            default:
                list.SetCapacity(n + int(rng() % 50));
                break;
            }
            ASSERT_EQ(list.GetCount(), int(model.size()));
            if (step % 53 == 0 || step > 11900)
                for (int i = 0; i < int(model.size()); ++i)
                {
                    ASSERT_EQ(std::string(list.Get(i).c_str()), model[size_t(i)].first) << "index " << i;
                    ASSERT_EQ(list.GetObject(i), model[size_t(i)].second) << "index " << i;
                }
        }
    }
}

namespace
{
// A text a Japanese user can read: no English words of the old texts, and some Japanese.
bool ReadsAsJapanese(const AnsiString& text)
{
    const char* english[] = {"Cannot", "Stream", "error", "Invalid", "out of", "too large"};
    for (const char* word : english)
        if (text.Pos(word) > 0)
            return false;
    for (int i = 1; i <= text.Length(); ++i)
        if (IsSjisLead(text.Byte(i)))
            return true;
    return false;
}
} // namespace

TEST(TStream, FailuresThatReachABoxAreJapaneseNameTheFileAndGiveTheSystemsReason)
{
    TTempDir dir;
    AnsiString plain = dir / "普通.txt";
    WriteFileBytes(plain, "abc");
    struct Case
    {
        const char* name;
        std::function<void()> fail;
        AnsiString file;   // named in the text when not empty
        DWORD error;       // its system text is in the text when not 0
    };
    const Case cases[] = {
        {"open a missing file", [&] { TFileStream f(dir / "無い.txt", fmOpenRead); }, dir / "無い.txt",
         ERROR_FILE_NOT_FOUND},
        {"create in a missing folder", [&] { TFileStream f(dir / "無い\\a.txt", fmCreate); }, dir / "無い\\a.txt",
         ERROR_PATH_NOT_FOUND},
        {"write to a file opened for reading",
         [&] {
             TFileStream f(plain, fmOpenRead);
             f.WriteBuffer("x", 1);
         },
         plain, ERROR_ACCESS_DENIED},
        {"read from a file opened for writing",
         [&] {
             TFileStream f(plain, fmOpenWrite);
             char c;
             f.Read(&c, 1);
         },
         plain, ERROR_ACCESS_DENIED},
        {"read past the end",
         [&] {
             TStringStream s("ab");
             char buf[4];
             s.ReadBuffer(buf, 4);
         },
         "", 0},
        {"resize a stream that cannot", [&] {
             struct TFixed : TStream
             {
                 int Read(void*, int) override { return 0; }
                 int Write(const void*, int) override { return 0; }
                 int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
             } fixed;
             fixed.SetSize(1);
         },
         "", 0},
        {"seek before the start", [&] { TMemoryStream().Seek(-1, soFromBeginning); }, "", 0},
        {"os error", [&] { RaiseLastOSError(ERROR_ACCESS_DENIED); }, "", ERROR_ACCESS_DENIED},
        {"list index", [&] { TStringList().Get(3); }, "", 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        try
        {
            c.fail();
            ADD_FAILURE() << "did not raise";
        }
        catch (const Exception& e)
        {
            EXPECT_TRUE(ReadsAsJapanese(e.Message)) << e.Message.c_str();
            if (!c.file.IsEmpty())
            {
                EXPECT_GT(e.Message.Pos("[" + c.file + "]"), 0) << e.Message.c_str();
            }
            if (c.error)
            {
                EXPECT_GT(e.Message.Pos(SysErrorMessage(c.error)), 0) << e.Message.c_str();
            }
            if (auto* fe = dynamic_cast<const EFileStreamError*>(&e))
            {
                EXPECT_EQ(fe->FileName, c.file);
            }
        }
    }
    // The system's own text for an error, in Japanese.
    EXPECT_TRUE(ReadsAsJapanese(SysErrorMessage(ERROR_DISK_FULL))) << SysErrorMessage(ERROR_DISK_FULL).c_str();
    EXPECT_TRUE(ReadsAsJapanese(SysErrorMessage(0x7FFF0000))) << SysErrorMessage(0x7FFF0000).c_str();
}
