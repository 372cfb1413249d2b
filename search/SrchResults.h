// Where the batch search delivers its hits: the search-results window implements this, the main
// window installs it. Without a sink the hits are dropped.
#pragma once

#include "platform/AnsiString.h"

class typSrchPack;

class TSrchResultsSink
{
public:
    virtual ~TSrchResultsSink() = default;
    // Deletes the listed hits and empties the list.
    virtual void ClearHits() = 0;
    // Lists the hit (its LineText) and takes ownership of the pack.
    virtual void AddHit(typSrchPack* pack) = 0;
    // A line without a hit (the "not found" message).
    virtual void AddLine(const AnsiString& text) = 0;
    // Brings the results page forward and shows the window.
    virtual void ShowResults() = 0;
    // Around a run of AddHit calls, so the list can hold its redraw.
    virtual void BeginHits() {}
    virtual void EndHits() {}
};

// The sink in use, or null.
TSrchResultsSink* SrchResultsSink();
// Installs a sink (null: none) and returns the previous one.
TSrchResultsSink* SetSrchResultsSink(TSrchResultsSink* sink);
