// The comment model that follows the line store, and the colouring of a row just before it is
// drawn: comments, strings, character constants, numbers, preprocessor lines and labels.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "editor_page/F77Columns.h"
#include "editor_page/Nsrichedit.h"
#include "platform/SysUtils.h"

namespace
{
bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Bytes of the character at p.
int CharLen(const char* text, int length, int p)
{
    return p + 1 < length && IsLead(static_cast<unsigned char>(text[p])) ? 2 : 1;
}

bool StartsWith(const char* text, int length, int p, const AnsiString& s)
{
    return !s.IsEmpty() && p + s.Length() <= length && std::memcmp(text + p, s.c_str(), size_t(s.Length())) == 0;
}

// The row's text up to and including its first CR.
int CutLength(const AnsiString& text)
{
    const void* cr = std::memchr(text.c_str(), '\r', size_t(text.Length()));
    return cr ? int(static_cast<const char*>(cr) - text.c_str()) + 1 : text.Length();
}

bool MarkLess(const typCommentInf& a, const typCommentInf& b)
{
    if (a.Row != b.Row)
        return a.Row < b.Row;
    if (a.Position != b.Position)
        return a.Position < b.Position;
    return a.Kind < b.Kind;
}

char FirstChar(const AnsiString& s) { return s.IsEmpty() ? 0 : s[1]; }

// n bytes of text against a word that starts on a character: ignoring case folds ASCII letters
// only, never the second byte of a double-byte character.
bool SameWord(const char* text, const char* word, int n, bool caseSensitive)
{
    if (caseSensitive)
        return std::memcmp(text, word, size_t(n)) == 0;
    for (int i = 0; i < n; ++i)
    {
        const unsigned char a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(word[i]);
        if (IsLead(b) && i + 1 < n)
        {
            if (a != b || text[i + 1] != word[i + 1])
                return false;
            ++i;
        }
        else if (a != b && !(a < 0x80 && std::isalpha(a) && std::tolower(a) == std::tolower(b)))
            return false;
    }
    return true;
}

constexpr char kDelimiters[] = " \t\"'!#$&()~@[]{}/<>,|=;+:*%.";

bool IsDelimiter(char c) { return c != 0 && std::strchr(kDelimiters, c) != nullptr; }
} // namespace

// ---- quote state --------------------------------------------------------------------------------

int typQuoteScanner::Step(typCMRange& closed)
{
    if (at_ >= length_)
        return 0;
    const char c = text_[at_];
    if (IsLead(static_cast<unsigned char>(c)))
    {
        at_ += CharLen(text_, length_, at_);
        return 0;
    }
    if (escapes_ && Inside() && c == '\\')
    {
        at_ += 1;
        if (at_ < length_)
            at_ += CharLen(text_, length_, at_);
        return 0;
    }
    int kind = 0;
    // A quote opens its constant, or closes it (giving its kind) when it is the one open.
    auto toggle = [&](bool& in, int closingKind)
    {
        if (in)
        {
            closed = {openAt_, at_};
            kind = closingKind;
        }
        else
            openAt_ = at_;
        in = !in;
    };
    if (quote1_ && c == quote1_ && !in2_)
        toggle(in1_, 1);
    else if (quote2_ && c == quote2_ && !in1_)
        toggle(in2_, 2);
    ++at_;
    return kind;
}

bool typQuoteScanner::OutsideAt(int p)
{
    typCMRange closed;
    while (at_ < p)
        Step(closed);
    return at_ == p && !Inside();
}

// ---- comment model ------------------------------------------------------------------------------

typCommentMode CommentModeForFile(const AnsiString& path)
{
    const AnsiString ext = LowerCase(ExtractFileExt(path));
    for (const char* e : {".f", ".for", ".f77"})
        if (ext == e)
            return cmmF77;
    for (const char* e : {".f90", ".f95"})
        if (ext == e)
            return cmmF9095;
    for (const char* e : {".c", ".cpp", ".cc", ".cxx", ".h", ".hpp"})
        if (ext == e)
            return cmmCCPP;
    return cmmNormal;
}

void typCommentList::SetMode(typCommentMode mode)
{
    if (mode == FRequested)
        return;
    FRequested = mode;
    // Fields of an earlier mode never leak into the new one ("C" of F77 is no comment in C).
    EnableComment = false;
    EnableRangeComment = false;
    LineComment1 = LineComment2 = LineComment3 = "";
    RangeBegin = "/*";
    RangeEnd = "*/";
    ChrConstRange1 = ChrConstRange2 = "";
    switch (mode)
    {
    case cmmNormal: Mode = cmmNormal; break;
    case cmmF77:
        EnableComment = true;
        LineComment1 = "*";
        LineComment2 = "C";
        LineComment3 = "!";
        ChrConstRange1 = "'";
        ChrConstRange2 = "\"";
        Mode = cmmF77;
        break;
    case cmmF9095:
        EnableComment = true;
        LineComment1 = "!";
        ChrConstRange1 = "'";
        ChrConstRange2 = "\"";
        Mode = cmmF9095;
        break;
    case cmmCCPP:
        EnableComment = true;
        EnableRangeComment = true;
        LineComment1 = "//";
        ChrConstRange1 = "\"";
        ChrConstRange2 = "'";
        Mode = cmmCCPP;
        break;
    case cmmDEF:
        // Definition files are treated as the free-form dialect everywhere else.
        EnableComment = true;
        LineComment1 = ";";
        RangeBegin = RangeEnd = "";
        Mode = cmmF9095;
        break;
    }
    Marks.Clear();
    if (!Owner)
        return;
    FRebuildingAll = true;
    const int rows = Owner->GetLinesCount();
    for (int row = 0; row < rows; ++row)
        RebuildRow(row);
    FRebuildingAll = false;
    Owner->Invalidate();
}

int typCommentList::LowerBound(int row) const
{
    int lo = 0, hi = Marks.Count();
    while (lo < hi)
    {
        const int mid = (lo + hi) / 2;
        if (Marks.Get(mid)->Row < row)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void typCommentList::RebuildRow(int row)
{
    if (Mode == cmmNormal || !Owner || row < 0 || row >= Owner->GetLinesCount())
        return;
    const int first = LowerBound(row);
    int last = first;
    while (last < Marks.Count() && Marks.Get(last)->Row == row)
        ++last;
    std::vector<typCommentInf> old;
    for (int i = first; i < last; ++i)
        old.push_back(*Marks.Get(i));

    const AnsiString line = Owner->GetLine(row);
    const char* text = line.c_str();
    const int length = CutLength(line);
    const bool escapes = Mode == cmmCCPP;
    const char q1 = FirstChar(ChrConstRange1), q2 = FirstChar(ChrConstRange2);

    std::vector<typCommentInf> marks;
    auto add = [&](int position, uint8_t kind) { marks.push_back({position, row, kind}); };

    // One pass over the row: the line comment start (-1: none) and the range begins before it,
    // both at character starts outside constants. Quotes inside a range comment of this row
    // ("it's") do not count.
    int lineComment = -1;
    std::vector<int> begins;
    if (Mode == cmmF77 && IsColumn1CommentRow(*this, line))
        lineComment = 0;
    else
    {
        const AnsiString& a = Mode == cmmF77 ? LineComment3 : LineComment1;
        const AnsiString b = Mode == cmmF77 ? AnsiString() : LineComment2;
        typQuoteScanner quotes(text, length, q1, q2, escapes);
        const bool ranges = EnableRangeComment && !RangeBegin.IsEmpty() && !RangeEnd.IsEmpty();
        bool inRange = false;
        typCMRange closed;
        for (int p = 0; p < length;)
        {
            if (inRange)
            {
                if (StartsWith(text, length, p, RangeEnd))
                {
                    inRange = false;
                    p += RangeEnd.Length();
                    quotes.Restart(p);
                }
                else
                    p += CharLen(text, length, p);
                continue;
            }
            if (!quotes.Inside())
            {
                if (StartsWith(text, length, p, a) || StartsWith(text, length, p, b))
                {
                    lineComment = p;
                    break;
                }
                if (ranges && StartsWith(text, length, p, RangeBegin))
                {
                    begins.push_back(p);
                    inRange = true;
                    p += RangeBegin.Length();
                    continue;
                }
            }
            quotes.Step(closed);
            p = quotes.Place();
        }
    }

    if (EnableRangeComment)
    {
        if (lineComment >= 0)
            add(lineComment, 2);
        for (int p : begins)
            add(p, 0);
        for (int p = 0; p < length && !RangeEnd.IsEmpty();)
        {
            // "/*/" opens a comment; its "*/" is part of the opening.
            const bool overlapsBegin = std::any_of(begins.begin(), begins.end(), [&](int b) {
                return p > b && p < b + RangeBegin.Length();
            });
            if (!overlapsBegin && StartsWith(text, length, p, RangeEnd))
            {
                add(p + RangeEnd.Length() - 1, 1);
                p += RangeEnd.Length();
            }
            else
                p += CharLen(text, length, p);
        }
    }
    else if (lineComment >= 0)
    {
        add(lineComment, 0);
        add(length - 1, 1);
    }
    std::sort(marks.begin(), marks.end(), MarkLess);

    bool changed = old.size() != marks.size();
    for (size_t i = 0; !changed && i < marks.size(); ++i)
        changed = old[i].Position != marks[i].Position || old[i].Kind != marks[i].Kind;

    for (int i = last - 1; i >= first; --i)
        Marks.Delete(i);
    for (size_t i = 0; i < marks.size(); ++i)
        Marks.Insert(first + int(i), new typCommentInf(marks[i]), false);

    // A range comment that opened or closed here colours the rows below differently.
    if (changed && EnableRangeComment && !FRebuildingAll)
        Owner->Invalidate();
}

void typCommentList::InsertRow(int index)
{
    for (int i = Marks.Count() - 1; i >= 0; --i)
    {
        typCommentInf* mark = Marks.Get(i);
        if (mark->Row < index - 1)
            break;
        if (mark->Row == index - 1)
            Marks.Delete(i);
        else
            ++mark->Row;
    }
    RebuildRow(index - 1);
    RebuildRow(index);
}

void typCommentList::DeleteRow(int index)
{
    bool rangeMarks = false;
    for (int i = Marks.Count() - 1; i >= 0; --i)
    {
        typCommentInf* mark = Marks.Get(i);
        if (mark->Row < index)
            break;
        if (mark->Row == index)
        {
            rangeMarks = rangeMarks || mark->Kind != 2;
            Marks.Delete(i);
        }
        else
            --mark->Row;
    }
    if (rangeMarks && EnableRangeComment && Owner)
        Owner->Invalidate();
}

void typCommentList::Clear() { Marks.Clear(); }

bool typCommentList::GetRowRanges(int row, nsList<typCMRange>& ranges)
{
    ranges.Clear();
    OpenToEnd = false;
    if (Mode == cmmNormal || row < 0 || Marks.Count() == 0)
        return false;
    const int first = LowerBound(row);
    // After an end mark nothing is open; a begin mark leaves a comment open (its own or one it
    // lies in). Line-comment marks change neither.
    int j = first - 1;
    while (j >= 0 && Marks.Get(j)->Kind == 2)
        --j;
    bool open = j >= 0 && Marks.Get(j)->Kind == 0;
    int start = 0;
    int lastByte = -1;
    if (Owner && row < Owner->GetLinesCount())
        lastByte = Owner->GetLine(row).Length() - 1;
    auto emit = [&](int s, int e) {
        if (lastByte >= 0)
        {
            s = std::min(s, lastByte);
            if (e > lastByte)
                e = -1;
        }
        ranges.Add(new typCMRange{s, e});
    };
    for (int i = first; i < Marks.Count() && Marks.Get(i)->Row == row; ++i)
    {
        const typCommentInf* mark = Marks.Get(i);
        switch (mark->Kind)
        {
        case 0:
            if (!open)
            {
                open = true;
                start = mark->Position;
            }
            break;
        case 1:
            if (open)
            {
                emit(start, mark->Position);
                open = false;
                start = 0;
            }
            break;
        default:
            if (!open)
            {
                emit(mark->Position, -1);
                return true; // nothing after a line comment counts on its row
            }
            break;
        }
    }
    if (open)
    {
        emit(start, -1);
        OpenToEnd = true;
    }
    return ranges.Count() > 0;
}

// ---- colouring of a drawn row -------------------------------------------------------------------

void nsRichEdit::ScanSyntaxTokens(int row, const std::vector<typCMRange>& comments, typSyntaxTokens& tokens)
{
    tokens = typSyntaxTokens();
    const typCommentMode mode = FComment.Mode;
    const AnsiString line = GetLine(row);
    const char* text = line.c_str();
    const int length = line.Length();
    const bool escapes = mode == cmmCCPP;
    const char q1 = FirstChar(FComment.ChrConstRange1), q2 = FirstChar(FComment.ChrConstRange2);
    const bool fortran = mode == cmmF77 || mode == cmmF9095;

    int prevContinues = -1; // asked once, when a label needs it
    size_t span = 0;
    bool atHead = true;
    typQuoteScanner quotes(text, length, q1, q2, escapes);
    int i = 0;
    while (i < length)
    {
        while (span < comments.size() && comments[span].End < i)
            ++span;
        if (span < comments.size() && comments[span].Start <= i)
        {
            i = comments[span].End + 1;
            atHead = false;
            quotes.Restart(i); // a comment never lies inside a constant
            continue;
        }
        const char c = text[i];
        if (!quotes.Inside() && mode == cmmCCPP && atHead && c == '#')
        {
            int end = length - 1;
            if (span < comments.size())
                end = comments[span].Start - 1;
            tokens.PreProc = {i, end};
            i = end + 1;
            atHead = false;
            quotes.Restart(i);
            continue;
        }
        const bool wasInside = quotes.Inside();
        const bool isQuote = (q1 && c == q1) || (q2 && c == q2);
        if (wasInside || isQuote)
        {
            typCMRange closed;
            const int kind = quotes.Step(closed);
            if (kind == 1)
                tokens.Strings.push_back(closed);
            else if (kind == 2)
                tokens.Chars.push_back(closed);
            i = quotes.Place();
            atHead = false;
            continue;
        }
        if (c == ' ' || c == '\t')
        {
            quotes.OutsideAt(++i);
            continue;
        }
        if (IsDelimiter(c) || c == '\r')
        {
            quotes.OutsideAt(++i);
            atHead = false;
            continue;
        }
        int j = i;
        while (j < length && !IsDelimiter(text[j]) && text[j] != '\r')
            j += CharLen(text, length, j);
        j = std::min(j, length);
        const int last = j - 1;

        // The number test: digits, with one exponent and a sign after it in Fortran, or a "0x"
        // prefix in C.
        bool number = true, pure = true, digit = false, exponentE = false, exponentD = false;
        for (int k = i; k <= last && number; ++k)
        {
            const char ch = text[k];
            const int at = k - i;
            if (ch >= '0' && ch <= '9')
            {
                digit = true;
                continue;
            }
            pure = false;
            if (ch == 'E' || ch == 'e')
                number = !exponentE && !exponentD && at > 0 && (exponentE = true);
            else if (ch == 'D' || ch == 'd')
                number = fortran && !exponentD && !exponentE && at > 0 && (exponentD = true);
            else if (ch == '-')
                number = at == 0 || (fortran && std::strchr("EeDd", text[k - 1]) != nullptr);
            else if (ch == 'X' || ch == 'x')
                number = mode == cmmCCPP && at == 1 && text[i] == '0';
            else
                number = false;
        }
        number = number && digit; // a lone "-" or "e" is no number
        if (number)
        {
            const unsigned char after = j < length ? static_cast<unsigned char>(text[j]) : 0;
            switch (mode)
            {
            case cmmCCPP: tokens.Numbers.push_back({i, last}); break;
            case cmmF9095:
                if (!atHead)
                    tokens.Numbers.push_back({i, last});
                else if (pure && after < 33)
                {
                    if (prevContinues < 0)
                        prevContinues = row > 0 && ContinuesOnNextRow(row - 1, GetLine(row - 1)) ? 1 : 0;
                    if (!prevContinues)
                        tokens.Label = {i, last};
                }
                break;
            case cmmF77:
                if (!pure)
                {
                    if (i > 5)
                        tokens.Numbers.push_back({i, last});
                }
                else if (atHead && i < 5)
                {
                    if (last < 5 && after < 33)
                        tokens.Label = {i, last};
                }
                else if (i > 5)
                    tokens.Numbers.push_back({i, last});
                break;
            default: break;
            }
        }
        atHead = false;
        i = j;
        quotes.OutsideAt(i);
    }
}

void nsRichEdit::SyntaxColorRow(TObject*, int row, TRect, AnsiString, bool&)
{
    if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount())
        return;
    const AnsiString line = GetLine(row);
    const int length = line.Length();
    TColAttrList* list = AttrList()->GetItem(row)->ColAttr;
    // Every row starts plain: what was coloured for an earlier text never stays.
    bool marked = false;
    if (list)
        for (int i = 0; i < list->GetCount(); ++i)
            if (auto* item = static_cast<TColAttrListItem*>(list->Get(i)))
            {
                item->OwnColor = item->InComment = false;
                item->Color = 0;
                item->Style = 0;
                marked = marked || item->MarkId != 0;
            }
    if (length == 0)
        return;
    if ((ExColRowNum1 >= 0 && row == ExColRowNum1) || (GetExColRowNum2() >= 0 && row == GetExColRowNum2()))
        return;

    struct TPaint
    {
        int first, last;
        TColor color;
        uint8_t style;
        bool keyword;
    };
    std::vector<TPaint> paints;

    // Where the row's characters start: a keyword never matches from a trail byte.
    std::vector<bool> starts;
    const bool caseSensitive = KeywordCase();
    for (int k = 0; k < Keywords()->GetCount(); ++k)
    {
        const AnsiString word = Keywords()->Get(k);
        bool doubleByte = false;
        for (int b = 1; b <= word.Length() && !doubleByte; ++b)
            doubleByte = IsLead(static_cast<unsigned char>(word[b]));
        if (!doubleByte)
            continue; // the control draws single-byte keywords itself
        if (starts.empty())
        {
            starts.assign(size_t(length) + 1, false);
            for (int i = 0; i < length; i += CharLen(line.c_str(), length, i))
                starts[size_t(i)] = true;
        }
        const int n = word.Length();
        for (int at = 0; at + n <= length;)
        {
            if (starts[size_t(at)] && SameWord(line.c_str() + at, word.c_str(), n, caseSensitive))
            {
                paints.push_back(
                    {at, at + n - 1, GetKeywordColor(), uint8_t(TFontStyles{fsBold}.ToInt()), true});
                at += n;
            }
            else
                at += CharLen(line.c_str(), length, at);
        }
    }

    std::vector<typCMRange> comments;
    if (FComment.Mode != cmmNormal)
    {
        nsList<typCMRange> ranges;
        if (FComment.GetRowRanges(row, ranges))
            for (int k = 0; k < ranges.Count(); ++k)
            {
                typCMRange r = *ranges.Get(k);
                // "To the end of the row" becomes the row's last byte before anything jumps on it.
                if (r.End < 0 || r.End >= length)
                    r.End = length - 1;
                if (r.Start < 0 || r.Start > r.End)
                    continue;
                comments.push_back(r);
                paints.push_back({r.Start, r.End, ColComment, uint8_t(FStyComment.ToInt()), false});
            }
        typSyntaxTokens tokens;
        ScanSyntaxTokens(row, comments, tokens);
        for (const typCMRange& r : tokens.Strings)
            paints.push_back({r.Start, r.End, ColString, uint8_t(FStyString.ToInt()), false});
        for (const typCMRange& r : tokens.Chars)
            paints.push_back({r.Start, r.End, ColChr, uint8_t(FStyChr.ToInt()), false});
        for (const typCMRange& r : tokens.Numbers)
            paints.push_back({r.Start, r.End, ColNumeric, uint8_t(FStyNumeric.ToInt()), false});
        if (tokens.PreProc.Start >= 0)
            paints.push_back({tokens.PreProc.Start, tokens.PreProc.End, ColPreProc, uint8_t(FStyPreProc.ToInt()),
                              false});
        if (tokens.Label.Start >= 0)
            paints.push_back({tokens.Label.Start, tokens.Label.End, ColLabelNum, uint8_t(FStyLabelNum.ToInt()),
                              false});
    }

    if (paints.empty())
    {
        // Rows with nothing to colour keep no per-byte records (unless a search mark needs them).
        if (list && !marked)
            ColAttrFree(row);
        return;
    }
    if (!list)
    {
        FColouredRows.push_back(row);
        TrimColouredRows(row);
    }
    list = GetColAttrs(row);
    for (const TPaint& p : paints)
        for (int b = std::max(0, p.first); b <= std::min(p.last, length - 1); ++b)
        {
            TColAttrListItem* item = list->GetItem(b);
            item->Color = p.color;
            item->Style |= p.style;
            if (p.keyword)
                item->OwnColor = true;
            else
                item->InComment = true;
        }
}

void nsRichEdit::TrimColouredRows(int keepRow)
{
    const int view = std::max(1, GetDspRowCount()) + 1;
    if (int(FColouredRows.size()) <= 4 * view + 64)
        return;
    const int first = GetTopLine() - view, last = GetTopLine() + 2 * view;
    std::vector<int> kept;
    for (int row : FColouredRows)
    {
        if (row == keepRow || (row >= first && row <= last))
        {
            kept.push_back(row);
            continue;
        }
        if (row < 0 || row >= GetLinesCount() || row >= AttrList()->GetCount())
            continue;
        TColAttrList* list = AttrList()->GetItem(row)->ColAttr;
        bool marked = false;
        for (int i = 0; list && i < list->GetCount() && !marked; ++i)
            if (auto* item = static_cast<TColAttrListItem*>(list->Get(i)))
                marked = item->MarkId != 0;
        // A search mark must stay where it is; the row keeps its records.
        if (list && !marked)
            ColAttrFree(row);
    }
    FColouredRows.swap(kept);
}
