#include "Services.h"

#include <algorithm>
#include <vector>

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "Cp932.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Printers.h"
#include "SysUtils.h"

namespace
{
// The filter's parts, split after conversion: '|' (0x7C) can be the trail byte of a CP932 character.
std::vector<std::wstring> FilterParts(const AnsiString& filter)
{
    std::wstring wide = SjisToWide(filter);
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;)
    {
        size_t bar = wide.find(L'|', start);
        parts.push_back(wide.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    while (!parts.empty() && parts.back().empty())
        parts.pop_back();
    return parts;
}

bool RunFileDialog(bool save, void* ownerHwnd, TFileDialogData& data)
{
    std::wstring filter = FileDialogFilter(data.Filter);
    std::wstring title = SjisToWide(data.Title);
    std::wstring dir = SjisToWide(data.InitialDir);
    std::wstring ext = SjisToWide(data.DefaultExt);
    std::wstring initial = SjisToWide(data.FileName);
    std::vector<wchar_t> file(32768, L'\0'); // the longest path the system takes
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = static_cast<HWND>(ownerHwnd);
    ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = DWORD(data.FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrDefExt = ext.empty() ? nullptr : ext.c_str();
    ofn.Flags = data.Flags | OFN_EXPLORER;
    TSystemModalScope modal(ofn.hwndOwner);
    BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!ok)
    {
        DWORD error = CommDlgExtendedError();
        if (error)
            throw EOSError("ファイル ダイアログを表示できません (" + IntToStr(error) + ")", error);
        return false;
    }
    data.FileName = WideToSjis(file.data(), int(wcslen(file.data())));
    data.FilterIndex = int(ofn.nFilterIndex);
    return true;
}

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM data) noexcept
{
    // Opens the browser at the folder it was given.
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool RunFolderBrowser(void* ownerHwnd, const AnsiString& title, AnsiString& folder)
{
    std::wstring wtitle = SjisToWide(title);
    std::wstring start = SjisToWide(folder);
    std::vector<wchar_t> name(MAX_PATH + 1, L'\0');
    BROWSEINFOW info{};
    info.hwndOwner = static_cast<HWND>(ownerHwnd);
    info.pszDisplayName = name.data();
    info.lpszTitle = wtitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = start.empty() ? 0 : LPARAM(start.c_str());
    LPITEMIDLIST list = nullptr;
    {
        TSystemModalScope modal(info.hwndOwner);
        list = SHBrowseForFolderW(&info);
    }
    if (!list)
        return false;
    std::vector<wchar_t> path(MAX_PATH + 1, L'\0');
    const bool ok = SHGetPathFromIDListW(list, path.data()) != FALSE;
    CoTaskMemFree(list);
    if (!ok)
        return false;
    folder = WideToSjis(path.data(), int(wcslen(path.data())));
    return true;
}

// The help viewer's entry point, looked up once in its library (no import library needed).
using THtmlHelpW = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);
THtmlHelpW HtmlHelpEntry()
{
    static THtmlHelpW entry = [] {
        HMODULE lib = LoadLibraryW(L"hhctrl.ocx");
        return lib ? reinterpret_cast<THtmlHelpW>(reinterpret_cast<void*>(GetProcAddress(lib, "HtmlHelpW")))
                   : nullptr;
    }();
    return entry;
}

// The keyword look-up record of the help viewer.
struct THhAkLink
{
    int cbStruct;
    BOOL fReserved;
    const wchar_t* pszKeywords;
    const wchar_t* pszUrl;
    const wchar_t* pszMsgText;
    const wchar_t* pszMsgTitle;
    const wchar_t* pszWindow;
    BOOL fIndexOnFail;
};
constexpr UINT kHhDisplayTopic = 0, kHhDisplayIndex = 2, kHhKeywordLookup = 13;

bool RunHelp(void* ownerHwnd, const AnsiString& helpFile, const AnsiString& keyword)
{
    THtmlHelpW help = HtmlHelpEntry();
    if (!help)
        return false;
    const std::wstring file = SjisToWide(helpFile);
    const std::wstring word = SjisToWide(keyword);
    HWND owner = static_cast<HWND>(ownerHwnd);
    if (word.empty())
        return help(owner, file.c_str(), kHhDisplayTopic, 0) != nullptr;
    HWND shown = help(owner, file.c_str(), kHhDisplayIndex, DWORD_PTR(word.c_str()));
    THhAkLink link{sizeof(THhAkLink), FALSE, word.c_str(), nullptr, nullptr, nullptr, nullptr, TRUE};
    help(GetDesktopWindow(), file.c_str(), kHhKeywordLookup, DWORD_PTR(&link));
    return shown != nullptr;
}

HANDLE RunProcess(const AnsiString& program, const AnsiString& commandLine)
{
    const std::wstring application = SjisToWide(program);
    // The system may write into the command line: a copy of our own.
    std::wstring line = SjisToWide(commandLine);
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

bool RunColorDialog(void* ownerHwnd, int& color)
{
    static COLORREF custom[16] = {}; // the user's own colours, kept while the program runs
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = static_cast<HWND>(ownerHwnd);
    cc.rgbResult = COLORREF(color) & 0xFFFFFF;
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    TSystemModalScope modal(cc.hwndOwner);
    if (!ChooseColorW(&cc))
        return false;
    color = int(cc.rgbResult);
    return true;
}

bool RunShellOpen(void* ownerHwnd, const AnsiString& file, const AnsiString& parameters, const AnsiString& folder)
{
    const std::wstring wfile = SjisToWide(file);
    const std::wstring wparams = SjisToWide(parameters);
    const std::wstring wfolder = SjisToWide(folder);
    const HINSTANCE result = ShellExecuteW(static_cast<HWND>(ownerHwnd), L"open", wfile.c_str(),
                                           wparams.empty() ? nullptr : wparams.c_str(),
                                           wfolder.empty() ? nullptr : wfolder.c_str(), SW_SHOW);
    return INT_PTR(result) > 32;
}

// Simple MAPI's message records, as the mail interface defines them (only what a new mail uses).
struct TMapiMessage
{
    ULONG reserved;
    LPSTR subject;
    LPSTR noteText;
    LPSTR messageType;
    LPSTR dateReceived;
    LPSTR conversationId;
    ULONG flags;
    void* originator;
    ULONG recipCount;
    void* recips;
    ULONG fileCount;
    void* files;
};
using TMapiSendMail = ULONG(WINAPI*)(ULONG_PTR session, ULONG_PTR uiParam, TMapiMessage* message, ULONG flags,
                                     ULONG reserved);
constexpr ULONG kMapiLogonUi = 0x1;
constexpr ULONG kMapiDialog = 0x8;
constexpr ULONG kMapiUserAbort = 1;

TMailResult RunSendMail(void* ownerHwnd, const AnsiString& text)
{
    HMODULE mapi = LoadLibraryW(L"mapi32.dll");
    if (!mapi)
        return mlFailed;
    auto send = reinterpret_cast<TMapiSendMail>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")));
    TMailResult result = mlFailed;
    if (send)
    {
        // Simple MAPI takes the body in the program's code page, which is the users' CP932.
        std::string body = text.str();
        TMapiMessage message{};
        message.noteText = body.data();
        const ULONG status = send(0, ULONG_PTR(ownerHwnd), &message, kMapiLogonUi | kMapiDialog, 0);
        result = status == 0 ? mlSent : status == kMapiUserAbort ? mlCancelled : mlFailed;
    }
    FreeLibrary(mapi);
    return result;
}

class TWin32Services : public TPlatformServices
{
public:
    bool ShellOpen(void* ownerHwnd, const AnsiString& file, const AnsiString& parameters,
                   const AnsiString& folder) override
    {
        return RunShellOpen(ownerHwnd, file, parameters, folder);
    }
    TMailResult SendMail(void* ownerHwnd, const AnsiString& text) override { return RunSendMail(ownerHwnd, text); }
    bool PickColor(void* ownerHwnd, int& color) override { return RunColorDialog(ownerHwnd, color); }
    bool PrinterSetup(void* ownerHwnd) override
    {
        TSystemModalScope modal(static_cast<HWND>(ownerHwnd));
        return Printer()->RunSetupDialog(static_cast<HWND>(ownerHwnd));
    }
    bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) override
    {
        return RunInputQuery(caption, prompt, value);
    }
    bool ShowHelp(void* ownerHwnd, const AnsiString& helpFile, const AnsiString& keyword) override
    {
        return RunHelp(ownerHwnd, helpFile, keyword);
    }
    HANDLE StartProcess(const AnsiString& program, const AnsiString& commandLine) override
    {
        return RunProcess(program, commandLine);
    }
    int MessageBox(void* ownerHwnd, const AnsiString& text, const AnsiString& caption, unsigned flags) override
    {
        std::wstring wtext = SjisToWide(text);
        std::wstring wcaption = SjisToWide(caption);
        TSystemModalScope modal(static_cast<HWND>(ownerHwnd));
        return MessageBoxW(static_cast<HWND>(ownerHwnd), wtext.c_str(), wcaption.c_str(), flags);
    }

    short GetKeyState(int vk) override { return ::GetKeyState(vk); }

    bool OpenFileDialog(void* ownerHwnd, TFileDialogData& data) override
    {
        return RunFileDialog(false, ownerHwnd, data);
    }
    bool SaveFileDialog(void* ownerHwnd, TFileDialogData& data) override
    {
        return RunFileDialog(true, ownerHwnd, data);
    }
    bool BrowseForFolder(void* ownerHwnd, const AnsiString& title, AnsiString& folder) override
    {
        return RunFolderBrowser(ownerHwnd, title, folder);
    }
};

TWin32Services win32Services;
TPlatformServices* current = &win32Services;
} // namespace

TPlatformServices& Services()
{
    return *current;
}

TPlatformServices* SetServices(TPlatformServices* services)
{
    TPlatformServices* previous = current;
    current = services ? services : &win32Services;
    return previous;
}

std::wstring FileDialogFilter(const AnsiString& filter)
{
    std::wstring out;
    for (const std::wstring& part : FilterParts(filter))
    {
        out += part;
        out += L'\0';
    }
    if (!out.empty())
        out += L'\0';
    return out;
}

int FileDialogFilterCount(const AnsiString& filter)
{
    return int(FilterParts(filter).size() + 1) / 2;
}
