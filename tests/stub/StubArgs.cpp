// A stand-in external program for the command tests: writes the arguments it was started with to
// "args.txt" beside itself, as UTF-16, one a line: first each as the system splits the command
// line ("W:"), then each as the C run-time gives it to a program of the code page ("A:").
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.find_last_of(L'\\') + 1);
    path += L"args.txt";
    std::wstring text;
    int count = 0;
    if (wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count))
    {
        for (int i = 1; i < count; ++i)
            text += L"W:" + std::wstring(args[i]) + L"\n";
        LocalFree(args);
    }
    for (int i = 1; i < __argc; ++i)
    {
        wchar_t wide[1024] = {};
        MultiByteToWideChar(932, 0, __argv[i], -1, wide, 1023);
        text += L"A:" + std::wstring(wide) + L"\n";
    }
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
    return 0;
}
