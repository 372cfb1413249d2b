// Small wrappers of platform services: help, the Japanese font list, folder listings, the screen
// saver shown while the editor is locked, and bringing the main window forward.
#include <cstring>
#include <string>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kFontSlots = 4096;

struct typFontScan
{
    std::vector<ENUMLOGFONTEXW> fonts;
    std::vector<NEWTEXTMETRICEXW> metrics;
};

int CALLBACK CollectFont(const LOGFONTW* font, const TEXTMETRICW* metric, DWORD, LPARAM data) noexcept
{
    auto* scan = reinterpret_cast<typFontScan*>(data);
    if (int(scan->fonts.size()) >= kFontSlots)
        return 0;
    scan->fonts.push_back(*reinterpret_cast<const ENUMLOGFONTEXW*>(font));
    scan->metrics.push_back(*reinterpret_cast<const NEWTEXTMETRICEXW*>(metric));
    return 1;
}
} // namespace

AnsiString HelpFilePath()
{
    AnsiString dir = NsStringToAnsi(GetAppDir());
    if (dir.IsEmpty() || dir[dir.Length()] != '\\' || ByteType(dir, dir.Length()) == mbTrailByte)
        dir += "\\";
    return dir + "Varnolet.chm";
}

bool ShowHelp(HWND owner, const AnsiString& keyword)
{
    return Services().ShowHelp(owner, HelpFilePath(), keyword);
}

void EnumJapaneseFonts(typFontList& list, bool allPitches)
{
    FreeFontList(list);
    typFontScan scan;
    scan.fonts.reserve(256);
    scan.metrics.reserve(256);
    HDC dc = GetDC(nullptr);
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &query, CollectFont, reinterpret_cast<LPARAM>(&scan), 0);
    ReleaseDC(nullptr, dc);

    std::vector<AnsiString> names;
    for (size_t i = 0; i < scan.fonts.size(); ++i)
    {
        const LOGFONTW& font = scan.fonts[i].elfLogFont;
        if (font.lfCharSet != SHIFTJIS_CHARSET || font.lfFaceName[0] == L'@')
            continue;
        // Bit 0 of the pitch-and-family byte is set for proportional fonts.
        if (!allPitches && (scan.metrics[i].ntmTm.tmPitchAndFamily & 1))
            continue;
        names.push_back(WideToSjis(font.lfFaceName, int(wcsnlen(font.lfFaceName, LF_FACESIZE))));
    }
    list.names = new char*[names.size() ? names.size() : 1];
    for (const AnsiString& name : names)
    {
        char* copy = new char[size_t(name.Length()) + 1];
        std::memcpy(copy, name.c_str(), size_t(name.Length()) + 1);
        list.names[list.count++] = copy;
    }
}

void FreeFontList(typFontList& list)
{
    for (int i = 0; i < list.count; ++i)
        delete[] list.names[i];
    delete[] list.names;
    list.names = nullptr;
    list.count = 0;
}

int ListFolder(std::vector<typFolderEntry>& list, const AnsiString& pattern)
{
    list.clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(WideFilePath(pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return -1;
    do
    {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0)
            continue;
        typFolderEntry entry;
        entry.name = WideToSjis(data.cFileName, int(wcslen(data.cFileName)));
        entry.attributes = data.dwFileAttributes;
        entry.size = (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        list.push_back(entry);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return 0;
}

HANDLE StartScreenSaverPreview(HWND window, AnsiString& message, const AnsiString& rootKey)
{
    message = "";
    const AnsiString stored = ReadScreenSaver(rootKey);
    if (stored.IsEmpty())
        return nullptr;
    if (SjisToWide(stored).size() >= MAX_PATH)
    {
        message = msgScreenSaverPathTooLong;
        return nullptr;
    }
    // A bare or relative name would otherwise be started from the current folder, which the open
    // dialog leaves at the last document's: a program planted there must not run.
    const AnsiString program = LocateProgram(RemoveDoubleQuotes(ExpandEnvironmentText(stored)));
    if (program.IsEmpty() || SjisToWide(program).size() >= MAX_PATH)
    {
        message = Format(msgScreenSaverNotStarted, {stored});
        return nullptr;
    }
    // The program's path goes to the system whole, as the program to start and quoted in the
    // command line: a path with blanks is one name.
    const AnsiString line = "\"" + program + "\" /P " + std::to_string(reinterpret_cast<uintptr_t>(window)).c_str();
    HANDLE process = Services().StartProcess(program, line);
    if (!process)
        message = Format(msgScreenSaverNotStarted, {program});
    return process;
}

void StopScreenSaverPreview(HANDLE process)
{
    if (!process)
        return;
    TerminateProcess(process, 0);
    CloseHandle(process);
}

void ForceForegroundWindow(HWND window)
{
    const DWORD own = GetCurrentThreadId();
    HWND front = GetForegroundWindow();
    const DWORD other = front ? GetWindowThreadProcessId(front, nullptr) : 0;
    // Only a thread that was attached is detached again.
    const bool attached = other && other != own && AttachThreadInput(own, other, TRUE);
    SetForegroundWindow(window);
    if (attached)
        AttachThreadInput(own, other, FALSE);
}
