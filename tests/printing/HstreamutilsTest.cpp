// Streams as hexadecimal lines in an INI section or as a registry value, and the notification
// classes.
#include "printing/Hstreamutils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <random>
#include <type_traits>

#include "platform/Cp932.h"
#include "printing/StrPrint.h"
#include "printing/heClasses.h"
#include "tests/TestFiles.h"

namespace
{
std::string Bytes(TMemoryStream& m)
{
    return std::string(static_cast<const char*>(m.Memory()), size_t(m.GetSize()));
}

std::string Ini(const AnsiString& file, const char* key)
{
    wchar_t buf[256] = {};
    GetPrivateProfileStringW(L"S", SjisToWide(AnsiString(key)).c_str(), L"<none>", buf, 256,
                             SjisToWide(file).c_str());
    return WideToSjis(std::wstring(buf)).str();
}
} // namespace

TEST(Hstreamutils, HexLinesHoldThirtyTwoBytesEachAndReadBackBadTextAsZero)
{
    TMemoryStream m;
    for (int i = 0; i < 33; ++i)
    {
        const unsigned char b = static_cast<unsigned char>(i * 7 + 0xA0);
        m.WriteBuffer(&b, 1);
    }
    m.Seek(0, soFromBeginning);
    TStringList lines;
    StreamToStrings(&m, &lines);
    ASSERT_EQ(lines.GetCount(), 2);
    EXPECT_EQ(lines.Get(0).Length(), 64);
    EXPECT_EQ(lines.Get(1), AnsiString("80")); // 32 * 7 + 0xA0 = 0x180
    EXPECT_EQ(lines.Get(0).SubString(1, 4), AnsiString("A0A7"));
    const struct
    {
        const char* line;
        std::string bytes;
    } cases[] = {{"0aFf", std::string("\x0a\xff", 2)}, {"ABC", std::string("\xab\x0c", 2)}, {"zz41", std::string("\0A", 2)}};
    for (const auto& c : cases)
    {
        TStringList in;
        in.Add(c.line);
        TMemoryStream out;
        StringsToStream(&in, &out);
        EXPECT_EQ(Bytes(out), c.bytes) << c.line;
    }
}

TEST(Hstreamutils, IniKeepsExactlyTheLinesOfTheLastStreamWritten)
{
    TTempDir dir;
    const AnsiString file = dir / "store.ini";
    std::mt19937 rng(7);
    for (int size : {12 * 32, 10 * 32 - 5, 0, 33})
    {
        std::string bytes;
        for (int i = 0; i < size; ++i)
            bytes += char(rng());
        TMemoryStream m;
        if (size)
            m.WriteBuffer(bytes.data(), size);
        m.Seek(0, soFromBeginning);
        IniWriteStream(&m, file, "S", "P");
        const int lines = (size + 31) / 32;
        EXPECT_EQ(Ini(file, "P_c"), lines ? std::to_string(lines) : "<none>");
        EXPECT_EQ(Ini(file, ("P_d" + std::to_string(lines)).c_str()), "<none>"); // older lines are gone
        TMemoryStream back;
        IniReadStream(&back, file, "S", "P");
        EXPECT_EQ(Bytes(back), bytes);
    }
}

TEST(Hstreamutils, RegistryValueHoldsTheBytes)
{
    const AnsiString key = "Software\\VarnoletTest\\stream" + AnsiString(int(GetCurrentProcessId()));
    TStringStream in(AnsiString("\x01\x00\xff表", 5));
    RegWriteStream(&in, key, "S", "P");
    TMemoryStream out;
    RegReadStream(&out, key, "S", "P");
    EXPECT_EQ(Bytes(out), std::string("\x01\x00\xff表", 5));
    TMemoryStream none;
    RegReadStream(&none, key, "S", "Missing");
    EXPECT_EQ(none.GetSize(), 0);
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

TEST(HeClasses, ChangesAreHeldBackWhileUpdatingAndReachEveryHandler)
{
    struct TCounter
    {
        std::vector<TObject*> senders;
        void Changed(TObject* s) { senders.push_back(s); }
    } a, b;
    TPersistent owner;
    TNotifyEventList list(&owner);
    EXPECT_EQ(list.GetOwner(), &owner);
    list.Add(TNotifyEvent(&a, &TCounter::Changed));
    list.Add(TNotifyEvent(&b, &TCounter::Changed));
    list.Add(TNotifyEvent(&a, &TCounter::Changed));
    list.BeginUpdate();
    list.BeginUpdate();
    list.Changed();
    list.EndUpdate();
    EXPECT_TRUE(a.senders.empty());
    list.EndUpdate(); // once, at the last EndUpdate
    EXPECT_EQ(a.senders, std::vector<TObject*>({&owner, &owner}));
    EXPECT_EQ(b.senders.size(), 1u);
    list.Remove(TNotifyEvent(&a, &TCounter::Changed));
    list.ChangedProc(&list); // its own change is not echoed
    list.ChangedProc(&owner);
    EXPECT_EQ(a.senders.size(), 3u);
    EXPECT_EQ(b.senders.size(), 2u);

    static_assert(std::is_base_of_v<TPersistent, TNotifyPersistent>);
    static_assert(std::is_base_of_v<TStoreComponent, TFileExtComponent>);
    auto* ext = Create<TFileExtComponent>(nullptr);
    TStringList exts;
    for (const char* e : {".txt", ".c", ".txt", ".h"})
        exts.Add(e);
    ext->SetFileExtList(&exts);
    EXPECT_EQ(ext->FileExtList()->GetCount(), 3);
    EXPECT_TRUE(ext->HasExt(".c"));
    EXPECT_FALSE(ext->HasExt(".cpp"));
    // It stores its list as the component it is.
    TMemoryStream m;
    ComponentToStream(ext, &m);
    m.Seek(0, soFromBeginning);
    auto* read = Create<TFileExtComponent>(nullptr);
    StreamToComponent(&m, read);
    EXPECT_TRUE(read->HasExt(".h"));
    EXPECT_EQ(read->FileExtList()->GetCount(), 3);
    delete read;
    delete ext;
}

namespace
{
std::vector<std::string> Props(TStringsPrinter& p)
{
    std::vector<typStoredProperty> props;
    p.GetStoredProperties(props);
    std::vector<std::string> out;
    for (const typStoredProperty& prop : props)
        out.push_back(prop.name.str() + "=" + (prop.isText ? prop.text.str() : std::to_string(prop.number)));
    return out;
}

void Change(TStringsPrinter& p)
{
    p.SetColumnCount(3);
    p.SetMarginLeft(17);
    p.SetHeaderAlign(haRight);
    p.SetPageOption(poEven);
    p.SetLineNumber(true);
    p.SetWordBreak(false);
    p.SetHeader("%F 表");
    p.SetFileName("C:\\表\\a.txt");
    p.SetTabSize(3);
    p.Font()->SetName("ＭＳ 明朝");
    p.Font()->SetSize(14);
    p.Font()->SetStyle(TFontStyles{fsItalic});
}
} // namespace

TEST(TStoreComponent, PropertiesSurviveTheIniAndTheRegistryAndBadDataChangesNothing)
{
    TTempDir dir;
    const AnsiString key = "Software\\VarnoletTest\\store" + AnsiString(int(GetCurrentProcessId()));
    TStringsPrinter saved(nullptr);
    Change(saved);
    saved.WriteIni(dir / "p.ini", "S", "Pri");
    saved.WriteReg(key, "S", "Pri");
    for (bool fromIni : {true, false})
    {
        TStringsPrinter read(nullptr);
        const std::vector<std::string> before = Props(read);
        if (fromIni)
            read.ReadIni(dir / "p.ini", "S", "Nothing");
        else
            read.ReadReg(key, "S", "Nothing");
        EXPECT_EQ(Props(read), before); // nothing stored: nothing changes
        if (fromIni)
            read.ReadIni(dir / "p.ini", "S", "Pri");
        else
            read.ReadReg(key, "S", "Pri");
        EXPECT_EQ(Props(read), Props(saved));
    }
    // Cut short, or another class's: refused before anything is set.
    TMemoryStream whole;
    ComponentToStream(&saved, &whole);
    for (int cut : {3, 20, int(whole.GetSize()) - 1})
    {
        TMemoryStream part;
        part.WriteBuffer(whole.Memory(), cut);
        part.Seek(0, soFromBeginning);
        TStringsPrinter read(nullptr);
        const std::vector<std::string> before = Props(read);
        EXPECT_THROW(StreamToComponent(&part, &read), EReadError) << cut;
        EXPECT_EQ(Props(read), before);
    }
    TMemoryStream foreign;
    TStoreComponent plain(nullptr);
    ComponentToStream(&plain, &foreign);
    foreign.Seek(0, soFromBeginning);
    TStringsPrinter read(nullptr);
    EXPECT_THROW(StreamToComponent(&foreign, &read), EReadError);
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

namespace
{
struct TNamedItem : TCollectionItem
{
    using TCollectionItem::TCollectionItem;
    void Rename() { Changed(false); }
};
} // namespace

TEST(HeClasses, CollectionReportsEachChangeOnceOutsideUpdatesAndNeverItsOwnEcho)
{
    TPersistent owner;
    TNotifyCollection items(&owner, [](TCollection* c) -> TCollectionItem* { return new TNamedItem(c); });
    EXPECT_EQ(items.GetOwner(), &owner);
    int changes = 0;
    struct TCounter
    {
        int* n;
        void Changed(TObject*) { ++*n; }
    } counter{&changes};
    items.OnChange = TNotifyEvent(&counter, &TCounter::Changed);
    TPersistent other;
    // Each step with the changes it reports.
    const struct
    {
        const char* what;
        std::function<void()> step;
        int changes, count;
    } steps[] = {
        {"add", [&] { items.Add(); }, 1, 1},
        {"item changed", [&] { static_cast<TNamedItem*>(items.Items(0))->Rename(); }, 1, 1},
        {"held back",
         [&]
         {
             items.BeginUpdate();
             items.Add();
             items.Add();
             items.Delete(0);
         },
         0, 2},
        {"released once", [&] { items.EndUpdate(); }, 1, 2},
        {"own echo", [&] { items.ChangedProc(&items); }, 0, 2},
        {"another's change", [&] { items.ChangedProc(&other); }, 1, 2},
        {"item freed leaves", [&] { delete items.Items(1); }, 1, 1},
        {"cleared", [&] { items.Clear(); }, 1, 0},
    };
    for (const auto& s : steps)
    {
        changes = 0;
        s.step();
        EXPECT_EQ(changes, s.changes) << s.what;
        EXPECT_EQ(items.Count(), s.count) << s.what;
    }
    TCollectionItem* item = items.Add();
    EXPECT_EQ(item->Collection(), &items);
    EXPECT_EQ(item->GetOwner(), &items);
    EXPECT_EQ(item->Index(), 0);
}

TEST(Hstreamutils, OversizedStoredStreamsAreRefusedBeforeTheyAreRead)
{
    TTempDir dir;
    const AnsiString file = dir / "big.ini";
    // One megabyte stored by hand: 32,768 lines.
    {
        std::string ini = "[S]\r\nP_c=32768\r\n";
        for (int n = 0; n < 32768; ++n)
            ini += "P_d" + std::to_string(n) + "=" + std::string(64, 'A') + "\r\n";
        ini += "[T]\r\nP_c=2147483647\r\nP_d0=41\r\n";
        dir.Write("big.ini", AnsiString(ini.c_str(), int(ini.size())));
    }
    for (const char* section : {"S", "T"})
    {
        TMemoryStream back;
        EXPECT_THROW(IniReadStream(&back, file, section, "P"), EReadError) << section;
        EXPECT_EQ(back.GetSize(), 0) << section;
    }
    // The registry's value of the same size.
    const AnsiString key = "Software\\VarnoletTest\\big" + AnsiString(int(GetCurrentProcessId()));
    TMemoryStream big;
    big.SetSize(1 << 20);
    {
        HKEY h = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, SjisToWide(key + "\\S").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                        nullptr);
        RegSetValueExW(h, L"P", 0, REG_BINARY, static_cast<const BYTE*>(big.Memory()), DWORD(big.GetSize()));
        RegCloseKey(h);
    }
    TMemoryStream back;
    EXPECT_THROW(RegReadStream(&back, key, "S", "P"), EReadError);
    EXPECT_EQ(back.GetSize(), 0);
    // What could not be read back is not written: the stored stream stays.
    TStringStream small(AnsiString("ab"));
    IniWriteStream(&small, file, "U", "P");
    small.Seek(0, soFromBeginning);
    RegWriteStream(&small, key, "U", "P");
    big.Seek(0, soFromBeginning);
    EXPECT_THROW(IniWriteStream(&big, file, "U", "P"), EWriteError);
    big.Seek(0, soFromBeginning);
    EXPECT_THROW(RegWriteStream(&big, key, "U", "P"), EWriteError);
    TMemoryStream fromIni, fromReg;
    IniReadStream(&fromIni, file, "U", "P");
    RegReadStream(&fromReg, key, "U", "P");
    EXPECT_EQ(Bytes(fromIni), "ab");
    EXPECT_EQ(Bytes(fromReg), "ab");
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}

TEST(TStoreComponent, StoredTabSizeIsClampedLikeTheOtherIntegers)
{
    const struct
    {
        int stored, read;
    } cases[] = {{-5, 1}, {0, 1}, {4, 4}, {16, 16}, {17, 16}, {2147483647, 16}};
    for (const auto& c : cases)
    {
        TStringsPrinter saved(nullptr);
        saved.SetTabSize(c.stored);
        TMemoryStream m;
        ComponentToStream(&saved, &m);
        m.Seek(0, soFromBeginning);
        TStringsPrinter read(nullptr);
        StreamToComponent(&m, &read);
        EXPECT_EQ(read.TabSize(), c.read) << c.stored;
    }
}

TEST(TStoreComponent, TheReceiverReadsOnlyItsOwnClassAndTheRegistryFileReachesASection)
{
    TStringsPrinter saved(nullptr);
    saved.SetHeader("表 %p");
    TMemoryStream m;
    ComponentToStream(&saved, &m);
    m.Seek(0, soFromBeginning);
    TComponentReciever reciever(&m);
    EXPECT_EQ(reciever.Stream(), &m);
    std::vector<typStoredProperty> props = reciever.ReadProperties("TStringsPrinter");
    const auto header =
        std::find_if(props.begin(), props.end(), [](const typStoredProperty& p) { return p.name == "Header"; });
    ASSERT_NE(header, props.end());
    EXPECT_EQ(header->text, AnsiString("表 %p"));
    m.Seek(0, soFromBeginning);
    EXPECT_THROW(TComponentReciever(&m).ReadProperties("TOther"), EReadError);

    const AnsiString key = "Software\\VarnoletTest\\reg" + AnsiString(int(GetCurrentProcessId()));
    {
        TStreamReg reg(key);
        EXPECT_EQ(reg.OpenSectionKey("S", false), nullptr); // not there, not made by reading
        HKEY h = reg.OpenSectionKey("S", true);
        ASSERT_NE(h, nullptr);
        RegCloseKey(h);
        h = reg.OpenSectionKey("S", false);
        EXPECT_NE(h, nullptr);
        RegCloseKey(h);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(key).c_str());
}
