// Finding a pattern in a document's rows where they lie: no row is copied, and a match may run on
// across any number of rows. Each row pairs its bytes from its own start (a lead byte takes the
// byte after it), and a match never starts or ends inside a double-byte character.
#pragma once

#include <string>
#include <vector>

#include "editor_control/AFDocument.h"

// Byte kinds of a piece of text that starts on a character: 0 single, 1 lead, 2 trail.
void SjisByteKinds(const char* s, int len, std::vector<unsigned char>& kinds);
// The form the search compares when case is ignored: ASCII letters and every double-byte
// character whose upper case is a double-byte character too (full-width, Greek, Cyrillic) in upper
// case; kinds as SjisByteKinds gives them. Byte lengths never change.
void FoldSearchCase(std::string& s, const std::vector<unsigned char>& kinds);

class TRowFinder
{
public:
    TRowFinder(const TAFDocument& doc, const AnsiString& pattern, bool ignoreCase);
    // The first match that starts at or after from (a logical point) and ends at or before to (an
    // end at a row's end lies on that row); x = -1, with the last row looked at, when none does.
    TPoint Next(const TPoint& from, const TPoint& to);
    // Where the match found last ends.
    TPoint LastEnd() const { return lastEnd_; }

private:
    // The first place in s[from, to) holding a byte that can stand at pattern byte key_, or to.
    int NextKey(const char* s, int from, int to) const;
    // Whether the pattern matches from (row, col), a character start; end is then set.
    bool MatchAt(int row, int col, TPoint& end) const;

    const TAFDocument& doc_;
    std::string pattern_; // folded when case is ignored
    bool fold_;
    bool first_[256] = {}; // the bytes a match can start with
    // The pattern byte the rows are scanned for (the one likely rarest in a text), and the bytes
    // of a text that can stand there: in keys_ when there are at most four, else in key_.
    int keyAt_ = 0;
    bool key_[256] = {};
    unsigned char keys_[4] = {};
    int keyCount_ = 0; // 0: more than four
    TPoint lastEnd_;
};
