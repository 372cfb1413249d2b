// The floor for the file search: the least work that does the search's job on one thread. It finds
// the same hits by the same rules on any Shift-JIS text (never one that begins or ends inside a
// double-byte character, whole words and case as the search takes them), keeps for each hit its
// file, line, place and the line's text (once per line), and shows them in a list that draws only
// the rows in view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "GrepCases.h"
#include "platform/AnsiString.h"

class TRegexp;

// One hit as the results list needs it to show and reach it.
struct TFloorHit
{
    uint32_t file;
    uint32_t line;
    uint32_t position;
    uint32_t length;
    uint32_t text; // offset of the line's text in TGrepFloor::texts, NUL-ended
};

// Sums a digest of each hit (file path, line, place, length): the same hits in any order give
// the same sum.
uint64_t HitDigest(const char* path, int pathLength, int line, int position, int length);

class TGrepFloor
{
public:
    TGrepFloor();
    ~TGrepFloor();
    // Searches every *.txt file below root (Shift-JIS, as the search names it) and shows the hits.
    void Run(const TCase& c, const AnsiString& root);
    uint64_t Digest() const;

    std::vector<AnsiString> paths;
    std::vector<TFloorHit> hits;
    std::string texts;

private:
    void Folder(const std::wstring& folder, const AnsiString& name);
    void File(const std::wstring& path, const AnsiString& name);
    void Line(const char* s, size_t n, uint32_t lineNo, bool nul);
    bool WordAt(const char* s, size_t n, size_t at, size_t len) const;
    void Hit(const char* s, size_t n, uint32_t lineNo, size_t at, size_t len, uint32_t& text);
    void Show();

    const TCase* case_ = nullptr;
    std::string pattern_;
    std::vector<int> patternTrails_; // offsets of the pattern's trail bytes
    bool patternWhole_ = true;       // the pattern ends on a character
    std::unique_ptr<TRegexp> re_;
    std::vector<char> block_;
    std::string folded_;
    HWND window_ = nullptr;
    HWND list_ = nullptr;
};
