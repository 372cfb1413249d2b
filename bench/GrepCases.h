// What the file-search benchmark and its floor share: the cases, the walk over the tree and the
// command line's choice of runs and cases.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/SysUtils.h"

constexpr double kMb = 1024.0 * 1024.0;
const char* const kRare = "xylophone";

struct TCase
{
    const char* name;
    const char* pattern;
    bool caseSensitive;
    bool wholeWord;
    bool regex;
};

// The tree grep_bench makes is such that a byte-wise grep finds exactly these hits too (see
// MakeLine in GrepBench.cpp).
const TCase kCases[] = {
    {"rare", kRare, true, false, false},
    {"common", "value", true, false, false},
    {"common-ja", "表示", true, false, false},
    {"word", "line", true, true, false},
    {"nocase", "editor", false, false, false},
    {"regex", "id_[0-9]*\\.t?[a-z]+", true, false, true},
    {"regex-ja", "^第[0-9]+章.", true, false, true},
};

// Calls file(folder + L"\\" + name, found) for every file below folder, subfolders as they come.
template <class TFile> void WalkTree(const std::wstring& folder, TFile&& file)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            WalkTree(folder + L"\\" + name, file);
        else
            file(folder + L"\\" + name, fd);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

inline uint64_t FileBytes(const WIN32_FIND_DATAW& fd) { return (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow; }

// "--runs N" before the folder: the runs (at least one); arg becomes where the folder stands.
inline int RunsArg(int& arg)
{
    arg = 1;
    if (ParamCount() >= 2 && ParamStr(1) == "--runs")
    {
        arg = 3;
        return std::max(1, StrToIntDef(ParamStr(2), 1));
    }
    return 1;
}

// Whether the cases named after the folder at arg take in c (all do when none is named).
inline bool CaseWanted(const TCase& c, int arg)
{
    bool wanted = ParamCount() <= arg;
    for (int i = arg + 1; i <= ParamCount(); ++i)
        wanted = wanted || ParamStr(i) == c.name;
    return wanted;
}
