// Line-breaking decision and the folding of loaded paragraphs into display rows.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "editor_control/AFDocument.h"
#include "editor_control/AFEditText.h"

int TAFDocument::WordBreak(const AnsiString& S, int p, int m)
{
    if (S.Length() <= p || m >= p)
        return p;
    int wrap = p;
    if (FHost->DocWordBreak(S, wrap))
        return wrap;
    // The budgets belong to this one decision, so the same text always breaks the same way.
    TBreakBudget budget;
    return WordBreakStep(S.view(), p, m, budget);
}

int TAFDocument::WordBreakStep(std::string_view S, int p, int m, TBreakBudget& budget)
{
    int len = int(S.size());
    if (len <= p || m >= p)
        return p;
    int& trail = budget.Trail;
    int& lead = budget.Lead;

    // The head character A (first of the next piece) and the end character B (last kept), as
    // views into S: a break decision allocates nothing.
    auto sub = [S, len](int index, int count) {
        index = std::max(index, 1);
        if (count <= 0 || index > len)
            return S.substr(0, 0);
        return S.substr(size_t(index - 1), size_t(std::min(count, len - index + 1)));
    };
    std::string_view A;
    int adj = 0;
    TMbcsByteType headType = ByteTypeAt(S.data(), len, p);
    if (headType == mbLeadByte)
        A = sub(p + 1, 2);
    else if (headType == mbTrailByte)
    {
        A = sub(p, 2);
        adj = -1;
    }
    else
        A = sub(p + 1, 1);
    std::string_view B;
    int endAt = p + adj;
    if (endAt >= 1)
    {
        if (ByteTypeAt(S.data(), len, endAt - 1) == mbTrailByte)
            B = sub(endAt - 1, 2);
        else
            B = sub(endAt, 1);
    }

    int result = -1;
    if (FOptions.Contains(aoJpnBanBreak) && (FBanHeadSet.Contains(A.data(), int(A.size())) || A == "\r"))
    {
        if (trail <= FWrapTrailBytes)
        {
            trail += 2;
            result = WordBreakStep(S, p + adj + 2, m, budget);
        }
        else if (lead <= FWrapLeadBytes)
        {
            lead += 1;
            result = WordBreakStep(S, p + adj - 1, m, budget);
        }
    }
    else if (FOptions.Contains(aoJpnBanBreak) && FBanEndSet.Contains(B.data(), int(B.size())))
    {
        if (lead <= FWrapLeadBytes)
        {
            lead += 2;
            result = WordBreakStep(S, p - 2, m, budget);
        }
    }
    else if (FOptions.Contains(aoWordWrap) && !A.empty() && !B.empty() && FWordChars[(unsigned char)A[0]] &&
             FWordChars[(unsigned char)B[0]])
    {
        if (lead <= FWrapLeadBytes)
        {
            lead += 1;
            result = WordBreakStep(S, p - 1, m, budget);
        }
    }
    else
    {
        trail = lead = 0;
        result = p + adj;
    }
    if (result == -1)
    {
        trail = lead = 0;
        result = p + adj;
    }
    return result;
}

namespace
{
// Length in bytes of the character starting at text[0] (a tab or a single byte counts one).
int FirstCharLength(const char* text, int len)
{
    if (len >= 2 && IsSjisLead(static_cast<unsigned char>(text[0])))
        return 2;
    return len > 0 ? 1 : 0;
}

// Copies s[0..n) to d up to its first tab, a word at a time; the count copied. Short runs between
// tabs are the rule, too short to be worth a call out for each.
int CopyToTab(char* d, const char* s, int n)
{
    int i = 0;
    for (; i + 4 <= n; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, s + i, 4);
        if (WordHasTab(w))
            break;
        std::memcpy(d + i, &w, 4);
    }
    for (; i < n && s[i] != '\t'; ++i)
        d[i] = s[i];
    return i;
}

// Moves a cut back (or, at the very start, forward) so it never splits a double-byte character.
int AlignCut(const char* text, int len, int cut)
{
    if (cut <= 0 || cut >= len)
        return cut;
    if (ByteTypeAt(text, len, cut) == mbTrailByte)
        return cut > 1 ? cut - 1 : cut + 1;
    return cut;
}
} // namespace


void TAFDocument::FoldParagraphInto(TStringList* lines, std::vector<TAttrListItem>& attrs,
                                      const AnsiString& text, const TAttrListItem& attr)
{
    TRowChunks rows;
    FoldParagraphInto(rows, attrs, text.view(), attr);
    rows.MoveInto(*lines, 0);
}

void TAFDocument::FoldBounds(const TAttrListItem& rec, int& indent, int& wrap) const
{
    indent = rec.Indent > 0 ? rec.Indent : 0;
    wrap = FOptions.Contains(aoAutoFormat) ? (rec.WrapPos ? rec.WrapPos : FDefWrapPos) : kNoWrap;
}

namespace
{
// Only the first wrap + a margin display bytes can influence a break decision; characters that may
// not begin a row hang past the wrap as far as the trail budget lets them.
int DecisionWindow(int wrap, int trail) { return int(std::min<int64_t>(int64_t(wrap) + std::max(0, trail) + 64, INT_MAX / 4)); }
} // namespace

int TAFDocument::FoldReach(int indent, int wrap) const { return indent + DecisionWindow(wrap, FWrapTrailBytes) + 16; }

void TAFDocument::FoldParagraphInto(TRowChunks& rows, std::vector<TAttrListItem>& attrs, std::string_view text,
                                      const TAttrListItem& attr)
{
    const char* base = text.data();
    const int total = int(text.size());
    int indent, wrap;
    FoldBounds(attr, indent, wrap);
    const bool endsParagraph = total > 0 && base[total - 1] == '\r';
    // A paragraph narrower than the wrap even with every byte a tab's width (no wrap, the usual
    // lines) is one row as it stands: its tabs need no look.
    if (int64_t(indent) + int64_t(total) * std::max(1, FTabSize) < wrap)
    {
        rows.Add(NewRowText(base, total));
        attrs.push_back(attr);
        NoteLineWidth(total);
        return;
    }
    // One buffer for every piece's display form, kept for the next paragraph unless a word-break
    // handler folds another one meanwhile.
    TPieceScratch own;
    TPieceScratch& scratch = FPieceScratch.busy ? own : FPieceScratch;
    struct TRelease
    {
        TPieceScratch& s;
        ~TRelease() { s.busy = false; }
    } release{scratch};
    scratch.busy = true;
    const bool direct = FHost == &FNoHost || FHost->DocRowHooksIdle();
    const char* tab = FindTab(base, size_t(total));
    for (int off = 0;;)
    {
        if (tab && tab < base + off)
            tab = FindTab(base + off, size_t(total - off));
        const int tabAt = tab ? int(tab - (base + off)) : INT_MAX;
        const int len = PieceLength(base + off, total - off, tabAt, endsParagraph, indent, wrap, scratch, direct);
        rows.Add(NewRowText(base + off, len));
        attrs.push_back(attr);
        NoteLineWidth(len);
        off += len;
        if (off >= total)
            return;
    }
}

int TAFDocument::PieceLength(const char* s, const int restLen, const int tabAt, const bool endsParagraph,
                             const int indent, const int wrap, TPieceScratch& scratch, const bool direct)
{
    const int window = DecisionWindow(wrap, FWrapTrailBytes);
    // A piece narrower than the wrap, without a tab, is one row as it stands: every decision would
    // find the break past its end.
    const bool narrow = int64_t(indent) + restLen < wrap;
    const char* narrowTab = narrow && tabAt < restLen ? s + tabAt : nullptr;
    if (narrow && !narrowTab)
        return restLen;

    const int tab = std::max(1, FTabSize);
    const int tabMask = (tab & (tab - 1)) == 0 ? tab - 1 : 0; // the usual sizes need no division
    AnsiString& D = scratch.display;
    std::vector<TPieceTab>& tabs = scratch.tabs;
    // The indent, then the bytes with tabs widened, up to the reach of a break decision (a tab
    // right after a run that reached the limit is still widened).
    const int limit = indent + window;
    const int reach = int(std::min<int64_t>(window, int64_t(restLen) * tab)) + tab;
    const size_t room = size_t(std::max(indent + reach, limit + 1)) + 8;
    if (scratch.bytes.size() < room)
        scratch.bytes.resize(room);
    char* d = scratch.bytes.data();
    tabs.clear();
    int n = indent;
    int i = 0;
    bool truncated = false;
    // Most pieces have neither indent nor tab in reach: their display form is their bytes. A
    // narrow piece's first tab is known already: the reach of a decision covers it whole.
    const char* firstTab = indent > 0 || tabAt > std::min(restLen - 1, limit) ? nullptr : s + tabAt;
    const bool plain = indent == 0 && !firstTab;
    if (plain)
    {
        n = std::min(restLen, limit);
        truncated = restLen > limit;
        i = restLen;
    }
    else if (indent > 0)
        std::memset(d, ' ', size_t(indent));
    else if (firstTab - s < limit)
    {
        // The bytes before the first tab are known to hold none: one copy, not a second scan.
        i = n = int(firstTab - s);
        std::memcpy(d, s, size_t(i));
    }
    while (i < restLen)
    {
        if (n >= limit)
        {
            truncated = true;
            break;
        }
        const int span = std::min(restLen - i, limit - n + 1);
        const int run = CopyToTab(d + n, s + i, span);
        const bool t = run < span;
        if (n + run > limit)
        {
            n = limit;
            truncated = true;
            break;
        }
        n += run;
        i += run;
        if (!t)
            break;
        const int w = tab - (tabMask ? (n - indent) & tabMask : (n - indent) % tab);
        for (int k = 0; k < w; ++k)
            d[n + k] = k + 1 < w ? '\x0B' : '\t';
        tabs.push_back(TPieceTab{n - indent, w, i});
        n += w;
        ++i;
    }
    const char* shown = plain ? s : d;
    const int dLen = n;
    if (!direct)
    {
        D.SetLength(n);
        if (n > 0)
            std::memcpy(D.Unique(), shown, size_t(n));
    }
    auto wordBreak = [&](int p, int m) {
        if (!direct)
            return WordBreak(D, p, m);
        if (dLen <= p || m >= p)
            return p;
        TBreakBudget budget;
        return WordBreakStep(std::string_view(shown, size_t(dLen)), p, m, budget);
    };

    int brk;
    if (endsParagraph)
    {
        const int first = wordBreak(wrap, indent + 2);
        if (!truncated && first >= dLen)
            return restLen;
        // A lower bound one less changes the decision only where the first one stopped at its
        // bound: elsewhere both take the same steps.
        brk = first != indent + 2 ? first : wordBreak(wrap, indent + 1);
        if (!truncated && dLen < brk)
            brk = dLen; // the CR stays on the piece
    }
    else
    {
        if (!truncated && wrap > dLen)
            return restLen;
        brk = wordBreak(wrap, indent + 1);
    }
    // The byte the break column falls on; past what was widened only a truncated form needs the
    // walk along the bytes.
    const int col = brk - indent;
    int lb;
    if (col < 0)
        lb = col;
    else if (col < dLen - indent)
    {
        lb = col;
        for (const TPieceTab& c : tabs)
        {
            if (col < c.col)
                break;
            if (col < c.col + c.width)
            {
                lb = c.source; // a column of a tab's room is the tab
                break;
            }
            lb = c.source + 1 + (col - c.col - c.width);
        }
    }
    else if (!truncated)
        lb = restLen;
    else
        lb = DspColToLogCol(s, restLen, FTabSize, col);
    lb = AlignCut(s, restLen, lb);
    if (lb <= 0)
        lb = FirstCharLength(s, restLen); // always make progress
    return std::min(lb, restLen); // the piece that takes the rest ends the paragraph: no empty row after it
}

// ---- folding an edited paragraph ----------------------------------------------------------------

// An edit leaves the rows of its paragraph cut where the text used to be: they are cut anew, as a
// folded load of the same text would cut them. Cuts only ever move in the edited paragraph (and
// in one that a typed line end split off it), and only until a new cut falls where the text
// already has one past the edited row: from there on a load would cut the same bytes the same way.
// Only rows whose text or record changes are touched, and the history gets runs of those.
struct TAFDocument::TRefold
{
    int First = 0;                    // the first row cut anew
    int OldRows = 0;                  // rows First .. First + OldRows - 1 are replaced
    TAttrListItem Rec;                // the indent and wrap every new row takes
    std::string Bytes;                // the text read, from where the next decision starts
    std::vector<int> OldStarts;       // where each row read starts in Bytes, and where the last ends
    std::vector<int> NewStarts;       // where each new row starts, and where the last ends
    std::vector<const TAttrListItem*> OldRecs; // the records of the rows read
    std::vector<char> Changed;    // which new rows differ from the row of their number
    std::vector<std::pair<int, AnsiString>> Texts; // the changed new rows' texts, in row order
    bool Lists = false;           // a row read has column records
    // Working room, kept from one fold to the next.
    std::vector<int> Crs;         // where the rows read hold a CR
    bool Busy = false;
};

namespace
{
// Where the bytes of a row list are read without copying a string per row.
class TRowReader
{
public:
    explicit TRowReader(TStrings* lines) : lines_(lines), list_(dynamic_cast<TStringList*>(lines)) {}
    // Valid until the next call or a change of the rows.
    const AnsiString& operator()(int row)
    {
        if (list_)
            return list_->Ref(row);
        copy_ = lines_->Get(row);
        return copy_;
    }

private:
    TStrings* lines_;
    TStringList* list_;
    AnsiString copy_;
};

bool EndsWithCr(const AnsiString& s) { return s.Length() > 0 && s.c_str()[s.Length() - 1] == '\r'; }

// A record a fold's new row takes: the row's own, with the paragraph's indent and wrap position.
bool SameBounds(const TAttrListItem& a, const TAttrListItem& b) { return a.Indent == b.Indent && a.WrapPos == b.WrapPos; }
} // namespace

int TAFDocument::RefoldStart(int edited)
{
    TRowReader row(FLines);
    int indent, wrap;
    FoldBounds(FAttrs->Peek(edited), indent, wrap);
    const int reach = FoldReach(indent, wrap);
    int first = edited;
    int64_t distance = 0; // from the start of row first - 1 to the start of the edited row
    while (first > 0)
    {
        const AnsiString& before = row(first - 1);
        if (EndsWithCr(before))
            break; // a paragraph's cuts never depend on the paragraph above
        distance += before.Length();
        if (distance >= reach)
            break; // its break decision ends before the edited row
        --first;
    }
    return first;
}

bool TAFDocument::PlanRefold(const int first, const int edited, TRefold& plan)
{
    const int n = GetLinesCount();
    TRowReader row(FLines);
    TRowReader compared(FLines);
    plan.First = first;
    plan.OldRows = 0;
    plan.Rec = FAttrs->Peek(first);
    if (FOptions.Contains(aoAutoFormat) && (plan.Rec.WrapPos == 0 || int(plan.Rec.WrapPos) <= plan.Rec.Indent + 1))
    {
        // A record that cannot hold a character would never settle: the defaults instead.
        plan.Rec.Indent = 0;
        plan.Rec.WrapPos = uint16_t(std::clamp(FDefWrapPos, 0, kNoWrap));
    }
    int indent, wrap;
    FoldBounds(plan.Rec, indent, wrap);
    const int reach = FoldReach(indent, wrap);
    // The bytes read slide along: only those from the cut on are kept, so a long paragraph is read
    // through a small buffer. Offsets count from the start of row first.
    std::string& bytes = plan.Bytes;
    int base = 0; // the offset bytes[0] stands for
    auto end = [&] { return base + int(bytes.size()); };
    std::vector<int>& oldStarts = plan.OldStarts;
    std::vector<int>& newStarts = plan.NewStarts;
    bytes.clear();
    oldStarts.assign(1, 0);
    newStarts.assign(1, 0);
    plan.OldRecs.clear();
    plan.Changed.clear();
    plan.Texts.clear();
    plan.Lists = false;
    std::vector<int>& crs = plan.Crs;
    crs.clear();
    size_t nextCr = 0; // the first CR not yet passed
    int next = first;  // the next row to read
    auto read = [&] {
        const AnsiString& t = row(next);
        const int at = end();
        bytes.append(t.c_str(), size_t(t.Length()));
        // Only an edited row can hold a CR before its end.
        if (next <= edited)
        {
            for (const char* p = t.c_str(); (p = static_cast<const char*>(std::memchr(p, '\r', size_t(t.c_str() + t.Length() - p)))); ++p)
                crs.push_back(at + int(p - t.c_str()));
        }
        else if (EndsWithCr(t))
            crs.push_back(end() - 1);
        // Read where it lies: nothing changes the records between the plan and the changes it makes.
        const TAttrListItem* rec = &FAttrs->Peek(next);
        plan.Lists = plan.Lists || rec->ColAttr;
        plan.OldRecs.push_back(rec);
        oldStarts.push_back(end());
        ++next;
    };

    TPieceScratch own;
    TPieceScratch& scratch = FPieceScratch.busy ? own : FPieceScratch;
    struct TRelease
    {
        TPieceScratch& s;
        ~TRelease() { s.busy = false; }
    } release{scratch};
    scratch.busy = true;
    const bool direct = FHost == &FNoHost || FHost->DocRowHooksIdle();

    int cut = 0;
    // The first tab at or after a place: the bytes are looked at once, as far as they are read.
    int nextTab = -1, tabsSeen = 0;
    auto tabFrom = [&](int at) {
        if (nextTab >= at)
            return nextTab;
        const int from = std::max(at, tabsSeen);
        const char* t = FindTab(bytes.data() + (from - base), size_t(end() - from));
        nextTab = t ? int(t - bytes.data()) + base : -1;
        tabsSeen = t ? nextTab + 1 : end();
        return nextTab;
    };
    size_t old = 0; // the first row read that starts at or after the cut
    // The row read (or the next to read) that starts at the cut, if any (the last when several do).
    auto rowAtCut = [&]() -> int {
        while (old < oldStarts.size() && oldStarts[old] < cut)
            ++old;
        if (old >= oldStarts.size() || oldStarts[old] != cut)
            return -1;
        size_t k = old;
        while (k + 1 < oldStarts.size() && oldStarts[k + 1] == cut && first + int(k) + 1 < n)
            ++k; // an empty row there goes
        return int(k);
    };
    // The new texts share small blocks, so a row that outlives its neighbours keeps little alive.
    TStringArena arena(16 * 1024);
    // Whether new row i, just cut, differs from the row of its number: in its text, its bounds, or
    // (checked at the end, when column records ride on the bytes) where it starts. A changed row's
    // text is made now, while its bytes are at hand.
    auto judge = [&](int i) {
        const int from = newStarts[size_t(i)], len = newStarts[size_t(i) + 1] - from;
        const char* p = bytes.data() + (from - base);
        bool same = false;
        if (first + i < n)
        {
            const AnsiString& t = compared(first + i);
            const TAttrListItem& rec = i < int(plan.OldRecs.size()) ? *plan.OldRecs[size_t(i)] : FAttrs->Peek(first + i);
            same = t.Length() == len && std::memcmp(t.c_str(), p, size_t(len)) == 0 && SameBounds(rec, plan.Rec);
        }
        plan.Changed.push_back(!same);
        if (!same)
            plan.Texts.emplace_back(i, arena.Make(p, len));
    };
    // Bytes from the cut up to sameUntil equal those sameShift further on.
    int sameShift = 0, sameUntil = 0;
    for (;;)
    {
        while (nextCr < crs.size() && crs[nextCr] < cut)
            ++nextCr;
        while (next < n && nextCr >= crs.size() && end() - cut < 2 * reach)
        {
            read();
            while (nextCr < crs.size() && crs[nextCr] < cut)
                ++nextCr;
        }
        const bool ends = nextCr < crs.size();
        const int rest = ends ? crs[nextCr] + 1 - cut : end() - cut;
        const int i = int(newStarts.size()) - 1;
        if (rest == 0)
        {
            // The end of the text after a line end, or of an empty text: an empty row ends it.
            newStarts.push_back(cut);
            judge(i);
            break;
        }
        // A row of the text past the edited one was cut by a decision on the bytes this one reads,
        // when those are the same (text that repeats itself): the cut is as long, and the row is that
        // row again.
        bool again = false;
        if (direct && first + i > edited && i + 1 < int(oldStarts.size()))
        {
            const int from = oldStarts[size_t(i)];
            const int later = std::max(from, cut);
            const int paragraphEnd = ends ? crs[nextCr] + 1 : next == n ? end() : INT_MAX;
            if (from != cut && from >= base && later + reach <= end() && later + reach <= paragraphEnd &&
                SameBounds(*plan.OldRecs[size_t(i)], plan.Rec))
            {
                // Rows that repeat one another go on the same distance apart: what the last row
                // compared is not compared again.
                const int shift = from - cut;
                const int known = shift == sameShift ? std::max(cut, sameUntil) : cut;
                again = std::memcmp(bytes.data() + (known - base), bytes.data() + (known + shift - base),
                                    size_t(cut + reach - known)) == 0;
                sameShift = shift;
                sameUntil = again ? cut + reach : 0;
            }
            if (again)
                cut += oldStarts[size_t(i) + 1] - from;
        }
        if (!again)
        {
            const int tab = tabFrom(cut);
            cut += PieceLength(bytes.data() + (cut - base), rest, tab >= 0 && tab - cut < rest ? tab - cut : INT_MAX,
                               ends, indent, wrap, scratch, direct);
        }
        newStarts.push_back(cut);
        if (again)
            plan.Changed.push_back(0);
        else
            judge(i);
        // What the next decisions read lies past the cut and the start of the next row of the text.
        const int keep = i + 2 < int(oldStarts.size()) ? std::min(cut, oldStarts[size_t(i) + 1]) : cut;
        if (keep - base > (256 << 10))
        {
            bytes.erase(0, size_t(keep - base));
            base = keep;
        }
        const bool atTextEnd = next == n && cut == end();
        if (atTextEnd && !ends)
            break; // the last paragraph ends without a line end
        // From a row of the text that starts here on, past the edited row, nothing moves: a
        // paragraph that starts there keeps its own record, a cut inside one needs ours.
        const int k = rowAtCut();
        if (k >= 0 && first + k > edited && first + k < n)
        {
            const TAttrListItem& rec = k < int(plan.OldRecs.size()) ? *plan.OldRecs[size_t(k)] : FAttrs->Peek(first + k);
            if ((ends && cut == crs[nextCr] + 1) || SameBounds(rec, plan.Rec))
            {
                plan.OldRows = k;
                break;
            }
        }
        if (atTextEnd)
            continue; // a line end ends the text: the empty row after it comes next
    }
    if (plan.OldRows == 0)
        plan.OldRows = n - first;
    oldStarts.resize(size_t(plan.OldRows) + 1);
    plan.OldRecs.resize(size_t(plan.OldRows));
    const int newRows = int(newStarts.size()) - 1;
    const int common = std::min(newRows, plan.OldRows);
    plan.Lists = false;
    for (const TAttrListItem* rec : plan.OldRecs)
        plan.Lists = plan.Lists || rec->ColAttr;
    // A row past the rows replaced is a new one, whatever row of the text it equals; so is one whose
    // bytes moved while column records ride on them. Its text is that row's.
    bool any = newRows != plan.OldRows;
    const size_t madeWhileCut = plan.Texts.size();
    for (int i = 0; i < newRows; ++i)
    {
        const bool moved = i < common && plan.Lists && newStarts[size_t(i)] != oldStarts[size_t(i)];
        if (!plan.Changed[size_t(i)] && (i >= common || moved))
        {
            plan.Changed[size_t(i)] = 1;
            plan.Texts.emplace_back(i, row(first + i));
        }
        any = any || plan.Changed[size_t(i)];
    }
    // Both parts are in row order already.
    std::inplace_merge(plan.Texts.begin(), plan.Texts.begin() + ptrdiff_t(madeWhileCut), plan.Texts.end(),
                       [](const std::pair<int, AnsiString>& a, const std::pair<int, AnsiString>& b) {
                           return a.first < b.first;
                       });
    return any;
}

void TAFDocument::FoldLine(int row)
{
    if (row < 0 || row >= GetLinesCount())
        return;
    // One working room serves every fold of the thread, so a long paragraph does not fetch fresh
    // pages for each keystroke; a fold that a view starts while told of another gets its own.
    static thread_local TRefold shared;
    TRefold own;
    TRefold& plan = shared.Busy ? own : shared;
    struct TRelease
    {
        TRefold& p;
        ~TRelease()
        {
            p.Busy = false;
            p.Texts.clear();
            // Holding on to the room of a very long paragraph would cost more than fetching it again.
            if (p.Bytes.capacity() > (32u << 20))
                p = TRefold();
        }
    } release{plan};
    plan.Busy = true;
    if (PlanRefold(RefoldStart(row), row, plan))
        ApplyRefold(plan);
}

void TAFDocument::ApplyRefold(TRefold& plan)
{
    const int first = plan.First;
    const int oldRows = plan.OldRows;
    const int newRows = int(plan.NewStarts.size()) - 1;
    const int common = std::min(oldRows, newRows);
    const std::vector<int>& oldAt = plan.OldStarts;
    const std::vector<int>& newAt = plan.NewStarts;
    const bool hooks = FHost != &FNoHost && !FHost->DocRowHooksIdle();
    const bool lists = plan.Lists;
    auto newLen = [&](int i) { return newAt[size_t(i) + 1] - newAt[size_t(i)]; };
    // Rows past the new ones are deleted: they change too.
    std::vector<char>& changed = plan.Changed;
    changed.resize(size_t(std::max(oldRows, newRows)), 1);
    // The changed rows' new texts, in row order.
    auto text = plan.Texts.begin();
    auto textOf = [&](int i) -> const AnsiString& {
        while (text->first < i)
            ++text;
        return text->second;
    };

    // A row that must land exactly as cut: a refused or rewritten one leaves every row as it is.
    if (hooks)
        for (int i = 0; i < common; ++i)
            if (changed[size_t(i)] && !AskChange(first + i, textOf(i)))
                return;

    // Where the caret and the block points stand in the bytes read, and the column records of
    // those bytes.
    TRowReader row(FLines);
    auto offsetOf = [&](int r, int col) {
        return oldAt[size_t(r - first)] + std::clamp(col, 0, oldAt[size_t(r - first) + 1] - oldAt[size_t(r - first)]);
    };
    const TPoint caretBefore = FCaret;
    const bool caretIn = FCaret.y >= first && FCaret.y < first + oldRows;
    const int caretAt = caretIn ? offsetOf(FCaret.y, LogicalPos(FCaret)) : 0;
    const bool caretKeepsIndent = caretIn && SameBounds(*plan.OldRecs[size_t(FCaret.y - first)], plan.Rec);
    struct TPointAt
    {
        int* row;
        int* col;
        int at;
    };
    std::vector<TPointAt> points;
    for (int i = 0; i < FBlkAttrs->GetCount(); ++i)
    {
        TBlkAttrListItem* b = FBlkAttrs->GetItem(i);
        for (auto p : {std::pair<int*, int*>{&b->StartRow, &b->StartCol}, {&b->EndRow, &b->EndCol}})
            if (*p.first >= first && *p.first < first + oldRows)
                points.push_back(TPointAt{p.first, p.second, offsetOf(*p.first, *p.second)});
            else if (*p.first >= first + oldRows)
                *p.first += newRows - oldRows;
    }
    std::vector<TColAttrListItem> cells;
    std::vector<char> listed;
    if (lists)
    {
        cells.resize(size_t(oldAt[size_t(oldRows)]));
        listed.resize(cells.size());
        for (int i = 0; i < oldRows; ++i)
            if (TColAttrList* list = plan.OldRecs[size_t(i)]->ColAttr)
                for (int b = oldAt[size_t(i)]; b < oldAt[size_t(i) + 1]; ++b)
                {
                    // A short list's missing records count as zeroed ones.
                    const int at = b - oldAt[size_t(i)];
                    auto* item = at < list->GetCount() ? static_cast<TColAttrListItem*>(list->Get(at)) : nullptr;
                    if (item)
                        cells[size_t(b)] = *item;
                    cells[size_t(b)].OwnColor = false; // a keyword hit is found again where it now stands
                    listed[size_t(b)] = 1;
                }
    }

    // The history: the rows each run of changes replaces, with their records.
    struct TRun
    {
        int from, to; // old rows from .. to - 1 go, new rows from .. to - 1 + (delta on the last run) come
        std::vector<AnsiString> rows;
        std::vector<TAttrListItem> attrs;
    };
    std::vector<TRun> runs;
    for (int i = 0; i < std::max(oldRows, newRows);)
    {
        if (!changed[size_t(i)])
        {
            ++i;
            continue;
        }
        int j = i;
        while (j < std::max(oldRows, newRows) && changed[size_t(j)])
            ++j;
        TRun run{i, j, {}, {}};
        const int gone = std::min(j, oldRows);
        run.rows.reserve(size_t(std::max(0, gone - i)));
        for (int k = i; k < gone; ++k)
            run.rows.push_back(row(first + k));
        // One record stands for rows whose records are alike, as the history keeps them.
        bool alike = true;
        for (int k = i + 1; k < gone && alike; ++k)
            alike = TUndoBuff::SameOnReplay(*plan.OldRecs[size_t(k)], *plan.OldRecs[size_t(i)]);
        for (int k = i; k < (alike ? std::min(i + 1, gone) : gone); ++k)
        {
            run.attrs.push_back(*plan.OldRecs[size_t(k)]);
            run.attrs.back().ColAttr = nullptr;
        }
        runs.push_back(std::move(run));
        i = j;
    }

    // The changes, in row order, so a watching list hears of each row once.
    const TAttrListItem model = *plan.OldRecs[size_t(oldRows - 1)];
    auto takeRecord = [&](TAttrListItem& rec, int i) {
        rec.Indent = plan.Rec.Indent;
        rec.WrapPos = plan.Rec.WrapPos;
        rec.Dirty = true;
        if (!lists)
            return;
        delete rec.ColAttr;
        rec.ColAttr = nullptr;
        const int from = newAt[size_t(i)], to = newAt[size_t(i) + 1];
        if (std::find(listed.begin() + from, listed.begin() + to, 1) == listed.begin() + to)
            return;
        auto* list = new TColAttrList();
        list->SetCapacity(to - from);
        for (int b = from; b < to; ++b)
            list->Add(cells[size_t(b)]);
        rec.ColAttr = list;
    };
    text = plan.Texts.begin();
    try
    {
        for (int i = 0; i < common; ++i)
            if (changed[size_t(i)])
            {
                FLines->Put(first + i, textOf(i));
                NoteLineWidth(newLen(i));
                takeRecord(*FAttrs->GetItem(first + i), i);
                if (hooks)
                    FHost->DocChanged();
            }
        if (newRows > oldRows)
        {
            const int at = first + oldRows;
            const int add = newRows - oldRows;
            // The records move once; the rows below shift in the list as each comes in.
            if (at <= FAttrs->GetCount())
                FAttrs->InsertEmpty(at, add);
            for (int i = oldRows; i < newRows; ++i)
            {
                AnsiString seen = textOf(i);
                if (hooks)
                    FHost->DocLineInserting(first + i, seen);
                FLines->Insert(first + i, textOf(i));
                NoteLineWidth(newLen(i));
                TAttrListItem rec = model;
                rec.ColAttr = nullptr;
                rec.States = TAttrStates();
                takeRecord(rec, i);
                FAttrs->SetItem(first + i, &rec);
                delete rec.ColAttr; // the slot holds a copy of its own
                FHost->DocSelRowInserted(first + i - 1);
            }
        }
        else if (newRows < oldRows)
        {
            for (int i = oldRows - 1; i >= newRows; --i)
            {
                if (hooks)
                    FHost->DocLineDeleting(first + i);
                FLines->Delete(first + i);
                FHost->DocSelRowDeleted(first + i);
            }
            if (first + newRows < FAttrs->GetCount())
                FAttrs->DeleteRange(first + newRows, oldRows - newRows);
        }
    }
    catch (...)
    {
        FUndo->MarkUnsaved(); // part of it landed unrecorded: the saved state is out of reach
        throw;
    }

    // Where a byte offset stands now: the row that starts at it or holds it (at a cut, the next
    // row), logical column.
    auto place = [&](int at) {
        int i = int(std::upper_bound(newAt.begin(), newAt.end(), at) - newAt.begin()) - 1;
        if (i >= newRows)
        {
            if (first + newRows < GetLinesCount())
                return TPoint(0, first + newRows);
            i = newRows - 1;
        }
        i = std::max(i, 0);
        return TPoint(at - newAt[size_t(i)], first + i);
    };
    for (const TPointAt& p : points)
    {
        const TPoint q = place(p.at);
        *p.row = q.y;
        *p.col = q.x;
    }
    if (caretIn)
    {
        const TPoint q = place(caretAt);
        const int i = q.y - first;
        // A caret that stays on its row, which starts where it did with the same indent, keeps its
        // column (in the indent, or past the end, too).
        const bool kept = q.y == caretBefore.y && i < common && newAt[size_t(i)] == oldAt[size_t(i)] &&
                          caretKeepsIndent;
        if (!kept)
            FCaret = DspPos(q);
    }
    else if (FCaret.y >= first + oldRows)
        FCaret.y += newRows - oldRows;
    if (newRows != oldRows)
    {
        FHost->DocRowCountChanged();
        FHost->DocMarkDirtyFrom(first + common);
    }

    // One record per run of changed rows, in row order, so undo replays the last first.
    for (TRun& run : runs)
    {
        const bool last = run.to >= common;
        const int rowsNow = last ? newRows - run.from : run.to - run.from;
        FUndo->PushBlock(FUndoGroupId, first + run.from, rowsNow, caretBefore, FCaret, std::move(run.rows),
                         std::move(run.attrs));
    }
    if (!runs.empty())
        FireUndoChange(FUndo->Kept(), false);
}

// ---- re-folding the whole text ------------------------------------------------------------

void TAFDocument::RefoldParagraphs()
{
    // Each paragraph is joined and cut again in one pass, as a load does: linear in the text.
    TStringArena arena;
    struct TArenaUse
    {
        TStringArena*& slot;
        ~TArenaUse() { slot = nullptr; }
    } arenaUse{FArena};
    FArena = &arena;
    auto lines = std::make_unique<TStringList>();
    TRowChunks rows;
    std::vector<TAttrListItem> attrs;
    const int n = GetLinesCount();
    attrs.reserve(size_t(n));
    const int savedLongest = FLongestLine;
    FLongestLine = 0;
    try
    {
        AnsiString para;
        int first = 0;
        bool startNew = true;
        for (int i = 0; i < n; ++i)
        {
            if (startNew)
            {
                first = i;
                para = FLines->Get(i);
            }
            else
                para += FLines->Get(i);
            startNew = isCrLine(i);
            if (startNew || i == n - 1)
            {
                TAttrListItem rec = FAttrs->Peek(first);
                rec.ColAttr = nullptr;
                rec.Dirty = true;
                if (para.IsEmpty())
                {
                    rows.Add(AnsiString());
                    attrs.push_back(rec);
                }
                else
                    FoldParagraphInto(rows, attrs, para.view(), rec);
            }
        }
        if (rows.Count() == 0 || rows.Last().view().ends_with('\r'))
        {
            // The added row starts a paragraph of its own: it takes no indent from the one before.
            TAttrListItem rec = attrs.empty() ? MakeAttr(true, 0, FDefWrapPos) : attrs.back();
            rec.Indent = 0;
            rec.ColAttr = nullptr;
            rows.Add(AnsiString());
            attrs.push_back(rec);
        }
        rows.MoveInto(*lines, 0);
    }
    catch (...)
    {
        FLongestLine = savedLongest;
        throw;
    }
    // Block attributes name rows and columns that no longer exist.
    FBlkAttrs->Clear();
    TakeRows(*lines);
    FAttrs->Clear();
    FAttrs->SetCapacity(int(attrs.size()));
    for (auto& rec : attrs)
        FAttrs->Add(rec);
}

