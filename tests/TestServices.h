// A services fake for tests: installed while it lives, it records every message box's text and
// answers OK; no key is ever down.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Services.h"

class TBoxServices : public TPlatformServices
{
public:
    TBoxServices() : previous_(SetServices(this)) {}
    ~TBoxServices() override { SetServices(previous_); }
    TBoxServices(const TBoxServices&) = delete;
    TBoxServices& operator=(const TBoxServices&) = delete;
    int MessageBox(void*, const AnsiString& text, const AnsiString&, unsigned) override
    {
        boxes.push_back(text.str());
        return IDOK;
    }
    short GetKeyState(int) override { return 0; }
    std::vector<std::string> boxes;

private:
    TPlatformServices* previous_;
};
