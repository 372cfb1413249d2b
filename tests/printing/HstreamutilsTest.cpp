// Streams as hexadecimal lines in an INI section or as a registry value, and the notification
// classes.
#include "printing/Hstreamutils.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <random>

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
    // A damaged count reads what there is, never more than the cap.
    WritePrivateProfileStringW(L"S", L"P_c", L"999999999", SjisToWide(file).c_str());
    TMemoryStream back;
    IniReadStream(&back, file, "S", "P");
    EXPECT_LE(back.GetSize(), int64_t(kMaxStoredStreamLines) * 32);
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
    TObject owner;
    TNotifyEventList list(&owner);
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

    auto* ext = Create<TFileExtComponent>(nullptr);
    TStringList exts;
    for (const char* e : {".txt", ".c", ".txt", ".h"})
        exts.Add(e);
    ext->SetFileExtList(&exts);
    EXPECT_EQ(ext->FileExtList()->GetCount(), 3);
    EXPECT_TRUE(ext->HasExt(".c"));
    EXPECT_FALSE(ext->HasExt(".cpp"));
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
