// The program itself under Wine: started as a user starts it, closed as a user closes it, it must
// end cleanly. A fault while the process-wide objects are freed shows only in the exit code.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "tests/TestFiles.h"

namespace
{

// varnolet.exe of the same build: build/main_window beside build/tests.
std::wstring ProgramPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    dir.erase(dir.find_last_of(L"\\/"));
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + L"main_window\\varnolet.exe";
}

// The program's manifest resource as text, empty when it has none.
std::string ManifestOf(const std::wstring& path)
{
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return {};
    std::string text;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST))
        if (HGLOBAL loaded = LoadResource(module, found))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

struct TFind
{
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param)
{
    auto* f = reinterpret_cast<TFind*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    wchar_t text[64] = {};
    GetWindowTextW(hwnd, text, 64);
    if (owner == f->pid && IsWindowVisible(hwnd) && std::wstring(text).rfind(L"Varnolet for Windows", 0) == 0)
    {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible main window of the process (the application window stays hidden).
HWND MainWindowOf(DWORD pid)
{
    TFind find{pid, nullptr};
    EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

} // namespace

TEST(Varnolet, ClosingTheMainWindowEndsTheProcessWithCodeZero)
{
    TTempDir dir;
    const AnsiString file = dir.Write("終了.txt", "一行目\r\n二行目\r\n");
    struct Case
    {
        const char* name;
        AnsiString argument;
        UINT msg;
        WPARAM wparam;
    } cases[] = {
        {"WM_CLOSE with a page", file, WM_CLOSE, 0},
        {"Alt+F4 with a page", file, WM_SYSCOMMAND, SC_CLOSE},
        {"WM_CLOSE with no page", dir / "無い.txt", WM_CLOSE, 0},
    };
    for (const Case& c : cases)
    {
        std::wstring commandLine = L"\"" + ProgramPath() + L"\" " + SjisToWide(c.argument);
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi))
            << c.name;
        // Start-up takes a second at least; the cap only turns a hang into a failure.
        HWND main = nullptr;
        for (int i = 0; i < 300 && !main; ++i)
        {
            if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
                break;
            main = MainWindowOf(pi.dwProcessId);
        }
        EXPECT_NE(main, nullptr) << c.name;
        if (main)
        {
            // Start-up ends with the window's final caption; let it finish before closing.
            WaitForInputIdle(pi.hProcess, 10000);
            PostMessageW(main, c.msg, c.wparam, 0);
        }
        DWORD waited = WaitForSingleObject(pi.hProcess, 30000);
        EXPECT_EQ(waited, WAIT_OBJECT_0) << c.name;
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        DWORD code = 12345;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 0u) << c.name << ": exit code 0x" << std::hex << code;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

// A 32-bit program on 64-bit Windows gets 4 GB of address space only when its PE header says it
// copes with addresses above 2 GB; without it a file of a few hundred MB cannot be opened.
TEST(Varnolet, ProgramIsMarkedLargeAddressAware)
{
    HANDLE h = CreateFileW(ProgramPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char head[4096] = {};
    DWORD got = 0;
    const BOOL read = ReadFile(h, head, sizeof head, &got, nullptr);
    CloseHandle(h);
    ASSERT_TRUE(read);
    ASSERT_GE(got, sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(head);
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    const LONG at = dos->e_lfanew;
    ASSERT_TRUE(at > 0 && at + LONG(sizeof(IMAGE_NT_HEADERS32)) <= LONG(got));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(head + at);
    ASSERT_EQ(nt->Signature, DWORD(IMAGE_NT_SIGNATURE));
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE);
}

// Windows loads version 6 of the common controls, and so paints with the desktop's visual style,
// only for a program whose manifest asks for it.
TEST(Varnolet, ProgramAsksForVersion6OfTheCommonControls)
{
    const std::string manifest = ManifestOf(ProgramPath());
    ASSERT_FALSE(manifest.empty());
    const size_t dependency = manifest.find("<dependentAssembly>");
    ASSERT_NE(dependency, std::string::npos);
    for (const char* attribute : {"type=\"win32\"", "name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                                  "processorArchitecture=\"x86\"", "publicKeyToken=\"6595b64144ccf1df\""})
        EXPECT_NE(manifest.find(attribute, dependency), std::string::npos) << attribute;

    // The system takes it: a button made under it is the common controls' own, not the system's.
    const std::wstring program = ProgramPath();
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = program.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE activation = CreateActCtxW(&context);
    ASSERT_NE(activation, INVALID_HANDLE_VALUE);
    auto buttonOwner = [] {
        HWND button = CreateWindowExW(0, L"Button", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        HMODULE owner = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(GetClassLongPtrW(button, GCLP_WNDPROC)), &owner);
        DestroyWindow(button);
        return owner;
    };
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(activation, &cookie));
    HMODULE themed = buttonOwner();
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
    EXPECT_NE(themed, nullptr);
    EXPECT_EQ(themed, GetModuleHandleW(L"comctl32.dll"));
    EXPECT_EQ(buttonOwner(), GetModuleHandleW(L"user32.dll"));
}

// The test programs keep the version the system gives them: their themed paths run through the
// tests' own seam.
TEST(Varnolet, TestProgramsCarryNoManifest)
{
    EXPECT_EQ(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
}
