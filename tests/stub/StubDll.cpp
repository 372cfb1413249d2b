// A library that does nothing: the library search test plants it where no library may be found.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
