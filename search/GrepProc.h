// File search without its windows: file-name masks and the worker thread that searches a folder
// tree line by line and hands each hit to the interface thread.
//
// Names are handled in UTF-16 (the W functions), converted to and from CP932 explicitly; files
// are read as bytes. Hits wait in a queue under a lock that the interface thread empties as it waits;
// the stop request is seen between lines and inside the matching of a long line, and no hit found
// after it is handed over.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/Threads.h"
#include "search/Regexp.h"

// ---- file masks ---------------------------------------------------------------------------------

// One file mask: '*' any run of characters (backtracking), '?' one character, anything else
// itself; ASCII letters match either case, as Windows file names do.
class TSWildCardCL
{
public:
    TSWildCardCL() = default;
    explicit TSWildCardCL(const AnsiString& mask);
    bool Match(const AnsiString& name) const;
    bool MatchWide(const std::wstring& name) const;
    const std::wstring& Mask() const { return mask_; }

private:
    std::wstring mask_;
};

// A list of masks written as comma-separated fields: double quotes group a field ("" is a quote),
// blanks around a field are dropped, empty fields are no masks.
class TSWildCardsStringCL
{
public:
    void WildCards_Set(const AnsiString& text);
    // True when the list is empty or any mask matches.
    bool WildCards_MatchAny(const AnsiString& name) const;
    bool WildCards_MatchAnyWide(const std::wstring& name) const;
    int Count() const { return int(items_.size()); }
    const TSWildCardCL& Item(int i) const { return items_[size_t(i)]; }

private:
    std::vector<TSWildCardCL> items_;
};

// The folder as the search takes it: '/' becomes '\', trailing '\' are removed (never the second
// byte of a double-byte character such as 表; a drive root loses its '\' too, the search puts one
// before each name).
AnsiString NormalizeGrepFolder(const AnsiString& folder);

// ---- the worker ---------------------------------------------------------------------------------

// One hit: the file, its line (from 1), the line as read (with its line end, a CR LF read as LF,
// up to the line's first NUL byte) and the match's byte offset and length in it. The hits of one
// line share its text.
class typGrepInf : public TObject
{
public:
    typGrepInf() = default;
    typGrepInf(const typGrepInf&) = default;
    typGrepInf& operator=(const typGrepInf&) = default;
    // Hits move through the batch and the queue without touching their strings' counts.
    typGrepInf(typGrepInf&&) noexcept = default;
    typGrepInf& operator=(typGrepInf&&) noexcept = default;

    AnsiString Path;
    int LineNo = 0;
    AnsiString Line;
    int Position = 0;
    int Length = 0;
    int LineOffset = 0; // of Line in the file's line: not 0 only in a piece of a very long line
};

using TGrepFileFindEvent = Closure<void(TObject* sender, typGrepInf* hit)>;

class TByteWalk;

class typGrepProc : public TThread
{
public:
    // Past this many hits the search stops (HitLimitReached tells): hits never exhaust memory.
    static constexpr int kDefaultMaxHits = 1000000;
    // Folders nested deeper than this are not entered.
    static constexpr int kMaxDepth = 128;
    // A line longer than this is searched in pieces of at most this many bytes, each cut on a
    // character (a hit across a cut is missed): a file without line ends never exhausts memory.
    // The pieces keep their line's number; a hit's LineOffset says where its piece begins.
    static constexpr int kDefaultMaxLineBytes = 16 << 20;

    explicit typGrepProc(bool createSuspended = true);
    // Stops the search and waits for it.
    ~typGrepProc() override;

    // Prepares a search (before Start). The pattern is compiled once here: an invalid regular
    // expression raises ERegexpError; an empty pattern raises EThread.
    void Setup(const AnsiString& folder, const AnsiString& masks, bool recurse, bool caseSensitive, bool wholeWord,
               bool regex, const AnsiString& pattern);

    // Next hit of line from byte start (in/out): its position and length; every hit of a line is
    // reported once, left to right. start is 0 on the first call of each line.
    bool MatchLine(const char* line, int lineLength, int& start, int& position, int& length);
    bool MatchLine(const AnsiString& line, int& start, int& position, int& length)
    {
        return MatchLine(line.c_str(), line.Length(), start, position, length);
    }
    // The whole-word test of a byte match: every byte printable ASCII other than 0x3A-0x40 and
    // 0x60; a neighbour is never a double-byte character, nor a letter, digit or '_' next to an
    // alphanumeric edge, nor any such printable byte next to another edge.
    static bool IsWordBoundary(const char* line, int lineLength, int position, int length);

    // Read by the interface thread while the worker runs.
    AnsiString CurrentFolder();
    int HitCount() const { return hitCount_.load(); }
    int Depth() const { return depth_.load(); }
    bool HitLimitReached() const { return hitLimit_.load(); }
    int FilesSearched() const { return files_.load(); }

    const AnsiString& StartFolder() const { return startFolder_; }
    const AnsiString& Pattern() const { return pattern_; }
    // Hits wait while this is set (checked every 10 ms).
    std::atomic<bool> Pause{false};
    int MaxHits = kDefaultMaxHits;
    int MaxLineBytes = kDefaultMaxLineBytes;
    // Called on the interface thread for each hit; the hit lives until the call returns, and the
    // handler may move its contents away.
    TGrepFileFindEvent OnFileFind;
    // The hit being handed over (valid during OnFileFind).
    typGrepInf* CurrentHit() const { return currentHit_; }
    // Hands the hits found so far to OnFileFind; the interface thread calls it while it waits for
    // the search. The last hits, and hits piling up, come through Synchronize (WaitFor runs them).
    void DeliverQueuedHits();
    // Signalled when hits pile up for DeliverQueuedHits: the interface thread waits on it too.
    HANDLE HitsWaiting() const { return hitsWaiting_; }

protected:
    void Execute() override;

private:
    void SearchFolder(const std::wstring& folderW, const AnsiString& folder, int depth);
    void SearchFile(const std::wstring& pathW, const AnsiString& path);
    void SearchLine(const AnsiString& path, int lineNo, char* line, int length, long long offset,
                    bool mayHoldNul);
    void AddHit(const AnsiString& path, int lineNo, const AnsiString& line, int position, int matchLength,
                long long offset);
    void Flush(bool force);
    void Deliver();
    bool StopAsked() const { return Terminated() || hitLimit_.load(); }
    // IsWordBoundary over the line being searched, its bytes classified in one walk.
    bool WholeWordAt(const char* line, int lineLength, int position, int length);
    void SetCurrentFolder(const AnsiString& folder);

    AnsiString startFolder_;
    AnsiString folder_;
    bool recurse_ = false;
    bool caseSensitive_ = false;
    bool wholeWord_ = false;
    bool regex_ = false;
    AnsiString pattern_;         // folded when the case is ignored (plain search)
    std::string needle_;         // what a plain search looks for in the (folded) line
    std::vector<int> patternTrails_; // where the pattern has trail bytes (ignoring case)
    std::unique_ptr<TRegexp> re_;
    TSWildCardsStringCL masks_;
    std::atomic<int> depth_{0};
    std::atomic<int> hitCount_{0};
    std::atomic<int> files_{0};
    std::atomic<bool> hitLimit_{false};
    TCriticalSection lock_; // folder_
    typGrepInf* currentHit_ = nullptr;
    std::vector<typGrepInf> batch_;     // hits not yet handed over
    TCriticalSection queueLock_;
    std::vector<typGrepInf> queue_; // hits waiting for the interface thread
    std::vector<typGrepInf> spent_; // hits delivered, for the worker to free (under queueLock_)
    bool woken_ = false;            // hitsWaiting_ set since the last delivery (under queueLock_)
    HANDLE hitsWaiting_ = nullptr;
    DWORD lastFlush_ = 0;
    std::vector<char> block_; // the read buffer, shared by the files of one search
    std::string folded_; // the case-folded line
    const char* line_ = nullptr;
    int lineLength_ = -1;
    int cursor_ = 0; // a character start at or before the next candidate
    std::unique_ptr<TByteWalk> walk_;
};
