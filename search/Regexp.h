// Regular-expression engine of the file search: a small dialect over Shift-JIS lines.
//
// Dialect: literals, '.', '[set]' / '[^set]', postfix '*', '+', '?', '^' (first character only),
// '$' (last character only) and backslash escapes; no grouping, alternation or counted repetition.
// Matching works in whole characters: a match never begins or ends inside a double-byte character,
// '.' and a class consume a whole double-byte character, and a single-byte pattern character never
// matches a trail byte. A search backtracks for a few steps per byte of the line; past that it goes
// on over sets of pattern states, which finds the same match in time linear in the line for a given
// pattern, with no memory that grows with the line. Backtracking never recurses natively.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"

// A pattern that does not compile; Message is ready for an error box.
class ERegexpError : public Exception
{
public:
    ERegexpError(const AnsiString& msg, int status, int offset) : Exception(msg), Status(status), Offset(offset)
    {
    }
    int Status = 0; // TRegexp::rsEmpty or TRegexp::rsInvalid
    int Offset = 0; // byte offset in the pattern where compiling stopped
};

class TRegexp
{
public:
    // Size of the compiled program in the dialect's byte encoding, terminator included.
    static constexpr int ProgramSize = 128;

    enum
    {
        rsCompiled = 0, // ready
        rsEmpty = 1,    // empty, or starts with '*', '+' or '?'
        rsNoBuffer = 2, // kept for the status numbering; allocation failures throw instead
        rsInvalid = 3,  // a misplaced closure, a bad escape or range, or a program over ProgramSize
    };

    // Compiles the pattern (up to its first NUL or newline); raises ERegexpError when it is invalid.
    // With ignoreCase, ASCII letters match either case; nothing else is folded.
    explicit TRegexp(const char* pattern, bool ignoreCase = false);
    // Keeps the status instead of raising; a pattern that did not compile finds nothing.
    TRegexp(const char* pattern, bool ignoreCase, std::nothrow_t);
    ~TRegexp();

    int Status() const noexcept { return status_; }
    const AnsiString& ErrorMessage() const noexcept { return errorMessage_; }
    int ErrorOffset() const noexcept { return errorOffset_; }
    // Bytes the program takes in the dialect's encoding, terminator included (at most ProgramSize).
    int ProgramLength() const noexcept { return programLength_; }

    // Leftmost match beginning at or after byte offset start (from 0) of a NUL-terminated text:
    // its offset, and its length in bytes in *length; -1 and length 0 when there is none.
    // An empty match where the search began counts the character there (none at the text's end).
    // A start inside a double-byte character moves to the next character. '^' matches at the
    // search start, so a search from the middle of a line can anchor there.
    int find(const char* text, int* length, int start);
    // The same over exactly textLength bytes.
    int find(const char* text, int textLength, int* length, int start);

    // Steps through every hit of one line, left to right, each reported once. start must be 0 on the
    // first call and is left where the next search begins: after the hit, or one character past an
    // empty hit, so zero-width patterns always move on; it never goes further than textLength + 1.
    // An empty match at start counts the character there, as find does.
    // The line may keep its line end: a match never begins after a final "\n". '^' matches only
    // at the line's start, so an anchored pattern hits a line at most once.
    bool FindNext(const char* text, int textLength, int& start, int& position, int& length);
    bool FindNext(const AnsiString& line, int& start, int& position, int& length)
    {
        return FindNext(line.c_str(), line.Length(), start, position, length);
    }

    // Steps one search may backtrack before it goes on over state sets; negative restores the
    // default (a few times the line length). 0 uses the state sets from the start (tests use it).
    void SetBacktrackLimit(int steps) noexcept { backtrackLimit_ = steps; }
    // Steps (one element tried at one place) the last search took.
    long long Steps() const noexcept { return steps_; }
    // Asked every few thousand steps; once it answers true the search gives up and finds nothing.
    void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }

    TRegexp(const TRegexp&) = delete;
    TRegexp& operator=(const TRegexp&) = delete;

private:
    struct TElem
    {
        uint8_t Kind;
        uint8_t Quant;
        uint8_t B1; // literal byte, or lead byte of a pair
        uint8_t B2; // trail byte of a pair
        int Class;  // index into classes_
    };
    struct TClass
    {
        uint8_t Bits[16]; // single-byte members by their low seven bits, complement already applied
        bool Negated;
        std::vector<std::pair<uint16_t, uint16_t>> Wide; // double-byte members as code ranges
    };
    struct TState
    {
        int Elem;  // next element to match; elems_.size() for a match
        int Start; // where the match began
    };
    struct TFrame
    {
        int Elem;
        int Pos;  // where the element was tried
        int Cur;  // next position to go on from, -1 when only the last choice is left or none
        int Far;  // star: farthest position reached; opt: 1 while the skip is still to be tried
    };

    void Compile(const unsigned char* pat, int len);
    int ParseEscape(const unsigned char* pat, int len, int i, int& value, int& trail) const;
    int ParseClass(const unsigned char* pat, int len, int i, int& size);
    [[noreturn]] void Fail(int status, int offset, const char* what) const;

    int Search(const unsigned char* t, int n, int start, int bolAt, int* length);
    int MatchAt(const unsigned char* t, int n, int s);
    int MatchStates(const unsigned char* t, int n, int p, int last, int* length);
    void AddState(std::vector<TState>& list, int elem, const unsigned char* t, int n, int p, int start);
    int ScanFirstByte(const unsigned char* t, int n, int p) const;
    bool StopAsked();
    int Step(const TElem& e, const unsigned char* t, int n, int p);
    bool ClassHas(const TClass& c, const unsigned char* t, int p, int charLen) const;
    void PushFrame(int elem, const unsigned char* t, int n, int p);
    int Prev(int p) const;

    std::vector<TElem> elems_;
    std::vector<TClass> classes_;
    int status_ = rsCompiled;
    int errorOffset_ = 0;
    int programLength_ = 0;
    AnsiString errorMessage_;
    bool ignoreCase_ = false;
    bool leadsWithByte_ = false; // first element is one literal character: scan for its first byte
    bool anchored_ = false;      // starts with '^': only one position can match

    // Scratch of one search, kept to spare allocations per line; a TRegexp serves one thread.
    // Bit p: a character begins at p. Written by every step over the text, so the bits behind a
    // position reached in this search are always fresh and the map never needs clearing.
    std::vector<uint64_t> boundary_;
    int bolAt_ = 0;       // where '^' matches in this search
    int searchStart_ = 0; // where this search began
    long long steps_ = 0;
    long long stepLimit_ = 0; // of backtracking in this search
    int backtrackLimit_ = -1;
    long long nextStopCheck_ = 0;
    bool stopped_ = false;
    std::function<bool()> stop_;
    std::vector<TFrame> frames_;
    std::vector<TState> states_, nextStates_;
    std::vector<int> seen_; // per element: 1 + the position of the state list that holds it
};
