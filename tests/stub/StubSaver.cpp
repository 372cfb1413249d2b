// A stand-in screen saver for the lock's tests: writes the command line it was started with,
// as UTF-16, to "args.txt" beside itself and ends.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.erase(path.find_last_of(L'\\') + 1);
    path += L"args.txt";
    const std::wstring line = GetCommandLineW();
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, line.data(), DWORD(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(f);
    return 0;
}
