// The help file beside the program: it is there, the help viewer opens it at every keyword the
// program asks for, and every page its contents, its index and its pages point at is inside it.
// The compiled file is read through the platform's own storage of help files.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

// The storage interface of compiled help files (its first five methods are all this reads with).
// Outside the unnamed namespace: there the compiler, seeing no class derived from it, would take
// every call through it for unreachable.
struct IITStorage : IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR*, IStorage*, DWORD, SNB, DWORD,
                                                     IStorage**) = 0;
};

namespace
{
const wchar_t kHelpTitle[] = L"Varnolet for Windows ヘルプ";
const CLSID kClsidItStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
const IID kIidItStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

// The files of a compiled help file, read whole.
class THelpStorage
{
public:
    explicit THelpStorage(const std::wstring& path)
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IITStorage* its = nullptr;
        if (SUCCEEDED(CoCreateInstance(kClsidItStorage, nullptr, CLSCTX_INPROC_SERVER, kIidItStorage,
                                       reinterpret_cast<void**>(&its))))
        {
            its->StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                &storage_);
            its->Release();
        }
    }
    ~THelpStorage()
    {
        if (storage_)
            storage_->Release();
    }
    bool Opened() const { return storage_ != nullptr; }
    // The bytes of one file; false when the help file has no such file.
    bool Read(const std::string& name, std::string& bytes) const
    {
        bytes.clear();
        IStream* stream = nullptr;
        const std::wstring wide(name.begin(), name.end());
        if (!storage_ ||
            FAILED(storage_->OpenStream(wide.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream)))
            return false;
        char buffer[4096];
        ULONG got = 0;
        while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0)
            bytes.append(buffer, got);
        stream->Release();
        return true;
    }
    // The names of the files at the top of the help file.
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        IEnumSTATSTG* items = nullptr;
        if (!storage_ || FAILED(storage_->EnumElements(0, nullptr, 0, &items)))
            return names;
        STATSTG item{};
        ULONG got = 0;
        while (items->Next(1, &item, &got) == S_OK)
        {
            if (item.type == STGTY_STREAM)
                names.insert(WideToSjis(item.pwcsName, int(wcslen(item.pwcsName))).str());
            CoTaskMemFree(item.pwcsName);
        }
        items->Release();
        return names;
    }

private:
    IStorage* storage_ = nullptr;
};

// Every value of `attribute="..."` in a page or sitemap, in order.
std::vector<std::string> Values(const std::string& text, const std::string& attribute)
{
    std::vector<std::string> values;
    const std::string open = attribute + "=\"";
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1))
    {
        const size_t from = at + open.size();
        const size_t to = text.find('"', from);
        if (to != std::string::npos)
            values.push_back(text.substr(from, to - from));
    }
    return values;
}

std::string PageOf(const std::string& target)
{
    return target.substr(0, target.find('#'));
}

// The real help viewer for the while of a test: the tests' own services show no help.
class TRealServices
{
public:
    TRealServices() : previous_(SetServices(nullptr)) {}
    ~TRealServices() { SetServices(previous_); }

private:
    TPlatformServices* previous_;
};

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

BOOL CALLBACK CollectHelpWindow(HWND window, LPARAM data)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && TextOf(window) == kHelpTitle)
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

// The visible help windows of this program.
std::vector<HWND> HelpWindows()
{
    std::vector<HWND> found;
    EnumWindows(CollectHelpWindow, LPARAM(&found));
    return found;
}

BOOL CALLBACK CollectListEntries(HWND child, LPARAM data)
{
    if (ClassOf(child) != WC_LISTVIEWW || !IsWindowVisible(child))
        return TRUE;
    auto* out = reinterpret_cast<std::vector<std::wstring>*>(data);
    const int count = int(SendMessageW(child, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        wchar_t text[256] = {};
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = 256;
        SendMessageW(child, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&item));
        out->push_back(text);
    }
    return TRUE;
}

// The entries of the visible lists inside a window (the viewer's index is one).
std::vector<std::wstring> ListEntries(HWND window)
{
    std::vector<std::wstring> entries;
    EnumChildWindows(window, CollectListEntries, LPARAM(&entries));
    return entries;
}

void Pump(int milliseconds)
{
    const DWORD until = GetTickCount() + DWORD(milliseconds);
    while (GetTickCount() < until)
    {
        Application->ProcessMessages();
        Sleep(10);
    }
}

void CloseHelpWindows()
{
    for (HWND window : HelpWindows())
        SendMessageW(window, WM_CLOSE, 0, 0);
    Pump(100);
}

const char* const kKeywords[] = {msgHelpCalc, msgHelpDate, msgHelpTime};
} // namespace

TEST(WexmoorDefHelp, TheHelpFileLiesInTheProgramsFolder)
{
    EXPECT_TRUE(FileExists(HelpFilePath())) << HelpFilePath().str();
}

TEST(WexmoorDefHelp, ShowHelpOpensOneHelpWindowAtTheIndexOfEveryKeywordAndTheMenuAtItsFirstPage)
{
    ASSERT_TRUE(FileExists(HelpFilePath())); // a missing file brings up the viewer's own box
    TRealServices real;
    struct Case
    {
        AnsiString keyword; // what the caller passes; empty from the Help menu
        bool index;         // opened at the index, with the keyword in it
    };
    std::vector<Case> cases{{"", false}};
    for (const char* keyword : kKeywords)
        cases.push_back({keyword, true});
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.keyword.str());
        const bool shown = c.keyword.IsEmpty() ? Services().ShowHelp(nullptr, HelpFilePath(), "")
                                               : ShowHelp(nullptr, c.keyword);
        EXPECT_TRUE(shown);
        std::vector<std::wstring> entries;
        for (int tries = 0; tries < 50 && (HelpWindows().empty() || (c.index && entries.empty())); ++tries)
        {
            Pump(40);
            if (!HelpWindows().empty())
                entries = ListEntries(HelpWindows().front());
        }
        const std::vector<HWND> windows = HelpWindows();
        ASSERT_EQ(windows.size(), 1u);
        if (c.index)
        {
            const std::wstring keyword = SjisToWide(c.keyword);
            EXPECT_NE(std::find(entries.begin(), entries.end(), keyword), entries.end());
            EXPECT_GT(entries.size(), 50u); // the whole index, not the keyword alone
        }
        CloseHelpWindows();
        EXPECT_TRUE(HelpWindows().empty());
    }
}

TEST(WexmoorDefHelp, EveryPageTheContentsTheIndexAndThePagesPointAtIsInTheHelpFile)
{
    ASSERT_TRUE(FileExists(HelpFilePath()));
    THelpStorage help(SjisToWide(HelpFilePath()));
    ASSERT_TRUE(help.Opened());
    const std::set<std::string> names = help.Names();

    std::string contents, index;
    ASSERT_TRUE(help.Read("Varnolet.hhc", contents));
    ASSERT_TRUE(help.Read("Varnolet.hhk", index));
    // The keywords the program looks up are index entries, byte for byte as the program has them.
    const std::vector<std::string> keywords = Values(index, "value");
    for (const char* keyword : kKeywords)
        EXPECT_NE(std::find(keywords.begin(), keywords.end(), keyword), keywords.end()) << keyword;

    struct Source
    {
        std::string name;
        std::string text;
        const char* attribute; // where its targets stand
    };
    std::vector<Source> sources{{"Varnolet.hhc", contents, "value"}, {"Varnolet.hhk", index, "value"}};
    std::set<std::string> inContents;
    for (const std::string& name : names)
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".htm") == 0)
        {
            std::string page;
            ASSERT_TRUE(help.Read(name, page)) << name;
            EXPECT_NE(page.find("charset=Shift_JIS"), std::string::npos) << name;
            sources.push_back({name, page, "href"});
        }
    int targets = 0;
    for (const Source& source : sources)
        for (const std::string& value : Values(source.text, source.attribute))
        {
            if (value.find(".htm") == std::string::npos && value.find(".css") == std::string::npos)
                continue; // keyword names, and addresses outside the help
            if (value.find(':') != std::string::npos)
                continue;
            ++targets;
            std::string page;
            EXPECT_TRUE(help.Read(PageOf(value), page) && !page.empty()) << source.name << " -> " << value;
            if (source.name == "Varnolet.hhc")
                inContents.insert(PageOf(value));
        }
    EXPECT_GT(targets, 100);
    // Every page can be reached from the contents.
    for (const Source& source : sources)
        if (source.attribute == std::string("href"))
        {
            EXPECT_TRUE(inContents.count(source.name)) << source.name;
        }
}
