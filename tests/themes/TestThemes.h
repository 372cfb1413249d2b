// Shared by the theme tests: the common-controls version answered while a test needs it.
#pragma once

#include <windows.h>

#include "themes/ThemeSrv.h"

constexpr DWORD ComCtl581 = 0x50051; // what Wine's common controls report
constexpr DWORD ComCtl600 = 0x60000;

// Answers the common-controls version a test asks for while it lives.
class TComCtlVersion
{
public:
    explicit TComCtlVersion(DWORD version) : previous_(SetComCtlVersionFunc(&Answer)) { answer = version; }
    ~TComCtlVersion() { SetComCtlVersionFunc(previous_); }
    void Set(DWORD version) { answer = version; }

private:
    static DWORD Answer() { return answer; }
    static inline DWORD answer = 0;
    TComCtlVersionFunc previous_;
};
