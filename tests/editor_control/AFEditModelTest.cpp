// Random edits through the user's own operations (typing, Tab, Enter, Backspace, Delete, typing
// over, pasting, with and without a selection, undo and redo), checked after every one against a
// plain string: the text, where the caret stands, the folded layout (the rows a folded load of
// the same text would have) and the blocks. Each episode
// has its own seed, printed when it fails; VN_MODEL_EDITS raises the number of edits and
// VN_MODEL_SEED picks the first episode (VN_MODEL_SEED=s VN_MODEL_EDITS=1 replays episode s).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "FreshFold.h"
#include "StringModel.h"
#include "tests/HexText.h"
#include "platform/Classes.h"

namespace
{
// What typing keeps of a string: no control bytes but TAB and CR.
std::string Typed(const std::string& s)
{
    std::string out;
    for (char c : s)
        if ((unsigned char)c >= 0x20 || c == '\t' || c == '\r')
            out += c;
    return out;
}

// A pasted text as it lands: CR LF, CR and LF all become one CR.
std::string Pasted(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
            ++i;
        out += s[i] == '\n' ? '\r' : s[i];
    }
    return Typed(out);
}

const char* const kPieces[] = {"a", "b",  "Z",  "word", "0",  " ",  "漢", "表", "ア", "ｶ", "。",
                               "、", "「", "」", "（",   ")",  ".",  "×",  "　", "\t", "\t", "ab cd"};
const int kPieceCount = sizeof kPieces / sizeof *kPieces;

struct TState
{
    std::string text;
    std::vector<std::string> rows;
    std::vector<std::pair<int, int>> records; // indent, wrap position
};

// A block as offsets into the text: it covers [start, end).
struct TSpan
{
    size_t start;
    size_t end;
};

class TEpisode
{
public:
    explicit TEpisode(unsigned seed) : rng_(seed) {}

    // Runs the episode's edits; an empty string when the editor kept to the model throughout.
    std::string Run(int& edits);

private:
    int Rand(int n) { return n <= 0 ? 0 : int(rng_() % unsigned(n)); }
    bool Chance(int percent) { return Rand(100) < percent; }
    std::string Piece() { return kPieces[Rand(kPieceCount)]; }
    std::string RandomText(int pieces, bool crs, bool noise);

    size_t RowStart(int row) const;
    TState Take() const;
    // A character boundary of some row (never after a row's CR) as a display point; with the
    // caret's freedoms when asked: inside the indent at a row start, inside a tab's fill.
    struct TPick
    {
        int row;
        int col;
        TPoint dsp;
        bool inIndent;
        size_t at;
    };
    TPick Pick(bool inIndent, bool inTab);
    TPoint PointAt(size_t offset);
    std::vector<TSpan> Blocks() const;

    void Fail(const std::string& what);
    void CheckLayout();
    void CheckBlocks(const std::vector<TSpan>& before, size_t from, size_t to, size_t inserted);
    void Edit();
    void UndoOrRedo(bool undo);

    std::mt19937 rng_;
    std::unique_ptr<TAFEdit> ed_;
    std::string model_;
    std::vector<TState> history_;
    size_t at_ = 0;
    std::string failure_;
    std::string step_;
};

std::string TEpisode::RandomText(int pieces, bool crs, bool noise)
{
    std::string s;
    for (int i = 0; i < pieces; ++i)
    {
        if (crs && Chance(12))
            s += "\r";
        else if (noise && Chance(4))
            s += Chance(50) ? "\n" : "\x01";
        else
            s += Piece();
    }
    return s;
}

size_t TEpisode::RowStart(int row) const
{
    size_t at = 0;
    for (int i = 0; i < row; ++i)
        at += size_t(ed_->GetLine(i).Length());
    return at;
}

TState TEpisode::Take() const
{
    TState s;
    s.text = model_;
    s.rows = RowsOf(*ed_);
    for (int i = 0; i < ed_->GetLinesCount(); ++i)
        s.records.emplace_back(ed_->GetLinesAttr(i)->Indent, ed_->GetLinesAttr(i)->WrapPos);
    return s;
}

TEpisode::TPick TEpisode::Pick(bool inIndent, bool inTab)
{
    TPick p{};
    p.row = Rand(ed_->GetLinesCount());
    const std::string t = ed_->GetLine(p.row).str();
    std::vector<int> starts = Starts(t);
    if (!t.empty() && t.back() == '\r')
        starts.pop_back();
    p.col = starts[size_t(Rand(int(starts.size())))];
    p.dsp = ed_->DspPos(TPoint(p.col, p.row));
    const int indent = ed_->GetLinesAttr(p.row)->Indent;
    if (inIndent && p.col == 0 && indent > 0 && Chance(30))
    {
        p.dsp.x = Rand(indent);
        p.inIndent = true;
    }
    else if (inTab && p.col < int(t.size()) && t[size_t(p.col)] == '\t' && Chance(50))
        p.dsp.x += Rand(ed_->DspPos(TPoint(p.col + 1, p.row)).x - p.dsp.x);
    p.at = RowStart(p.row) + size_t(p.col);
    return p;
}

TPoint TEpisode::PointAt(size_t offset)
{
    size_t at = 0;
    for (int row = 0; row < ed_->GetLinesCount(); ++row)
    {
        const std::string t = ed_->GetLine(row).str();
        // At the end of a wrapped piece either row names the place.
        const bool here = offset < at + t.size() || (offset == at + t.size() && t.back() != '\r' && Chance(50));
        if (here || row == ed_->GetLinesCount() - 1)
            return TPoint(int(offset - at), row);
        at += t.size();
    }
    return TPoint(0, 0);
}

std::vector<TSpan> TEpisode::Blocks() const
{
    std::vector<TSpan> out;
    for (int i = 0; i < ed_->BlkAttrList()->GetCount(); ++i)
    {
        TBlkAttrListItem* b = ed_->BlkAttrList()->GetItem(i);
        out.push_back(TSpan{RowStart(b->StartRow) + size_t(b->StartCol), RowStart(b->EndRow) + size_t(b->EndCol)});
    }
    return out;
}

void TEpisode::Fail(const std::string& what)
{
    if (!failure_.empty())
        return;
    auto show = [](const std::vector<std::string>& rows) {
        std::string out;
        for (const std::string& r : rows)
            out += " \"" + Hex(r) + "\"";
        return out;
    };
    std::string indents;
    for (const auto& rec : history_[at_].records)
        indents += " " + std::to_string(rec.first);
    failure_ = step_ + ": " + what + "\n  rows before:" + show(history_[at_].rows) + "\n  indents:" + indents +
               "\n  rows after: " + show(RowsOf(*ed_));
}

void TEpisode::CheckLayout()
{
    TCustomAFEdit& ed = *ed_;
    if (JoinedRows(ed) != model_)
        return Fail("text \"" + Hex(JoinedRows(ed)) + "\", the model \"" + Hex(model_) + "\"");
    const int n = ed.GetLinesCount();
    if (n < 1 || ed.isCrLine(n - 1))
        return Fail("the last row ends a paragraph");
    if (ed.AttrList()->GetCount() != n)
        return Fail(std::to_string(ed.AttrList()->GetCount()) + " records for " + std::to_string(n) +
                    " rows");
    std::string para;
    for (int i = 0; i < n; ++i)
    {
        const std::string row = ed.GetLine(i).str();
        const std::string at = " (row " + std::to_string(i) + " \"" + Hex(row) + "\")";
        const size_t cr = row.find('\r');
        if (cr != std::string::npos && cr != row.size() - 1)
            return Fail("a CR inside a row" + at);
        if (i < n - 1 && row.empty())
            return Fail("an empty row" + at);
        // The row before never ends on the first byte of a character this row finishes.
        if (!para.empty())
        {
            std::vector<int> s = Starts(para + row);
            if (std::find(s.begin(), s.end(), int(para.size())) == s.end())
                return Fail("a character split between rows" + at);
        }
        para = cr != std::string::npos ? std::string() : para + row;
        TAttrListItem* rec = ed.GetLinesAttr(i);
        if (rec->ColAttr && rec->ColAttr->GetCount() != int(row.size()))
            return Fail("column attributes for " + std::to_string(rec->ColAttr->GetCount()) + " bytes" + at);
        const int width = ed.DisplayText(i).Length() - (cr != std::string::npos ? 1 : 0);
        if (width > int(rec->WrapPos) + 8)
            return Fail("a row " + std::to_string(width) + " columns wide" + at);
    }
    // A load makes an empty last row only after a paragraph end: one after a wrapped piece
    // would glue what is typed there to the paragraph above.
    if (n > 1 && ed.GetLine(n - 1).IsEmpty() && !ed.isCrLine(n - 2))
        return Fail("an empty last row after a wrapped piece");
    // Every row is one a folded load of the same text could have.
    const std::string fresh = FreshFoldDifference(ed.Document());
    if (!fresh.empty())
        return Fail(fresh);
}

// Each block that kept its start and its end out of the deleted bytes [from, to) still covers its
// bytes, and the text typed at one of its edges at most.
void TEpisode::CheckBlocks(const std::vector<TSpan>& before, size_t from, size_t to, size_t inserted)
{
    // Where a point may stand after the edit: a point at the edit may take in any part of the
    // inserted text (a paste is typed in parts).
    auto places = [&](size_t x, size_t& lo, size_t& hi) {
        if (x < from)
            lo = hi = x;
        else
        {
            lo = hi = x - (to - from) + inserted;
            if (x - (to - from) == from)
                lo = from;
        }
    };
    const std::vector<TSpan> after = Blocks();
    for (const TSpan& b : before)
    {
        if ((b.start >= from && b.start < to) || (b.end >= from && b.end < to) || b.end <= b.start)
            continue;
        size_t startLo, startHi, endLo, endHi;
        places(b.start, startLo, startHi);
        places(b.end, endLo, endHi);
        bool found = false;
        for (const TSpan& a : after)
            found = found || (a.start >= startLo && a.start <= startHi && a.end >= endLo && a.end <= endHi);
        if (!found)
        {
            std::string now;
            for (const TSpan& a : after)
                now += " [" + std::to_string(a.start) + ", " + std::to_string(a.end) + ")";
            return Fail("the block [" + std::to_string(b.start) + ", " + std::to_string(b.end) + ") is lost; blocks:" +
                        now);
        }
    }
}

void TEpisode::Edit()
{
    TCustomAFEdit& ed = *ed_;
    ed.SelArea()->PointReset();
    ed.SetInsertMode(true);
    const std::vector<TSpan> blocksBefore = Blocks();
    const int positionBefore = ed.UndoBuff()->Position();
    size_t from = 0, to = 0, inserted = 0, caret = 0;
    bool checkBlocks = true;
    std::ostringstream what;
    const int kind = Rand(100);
    if (kind < 30)
    {
        // Typing, Tab or Enter at a caret.
        TPick p = Pick(true, true);
        ed.SetCaretRaw(p.dsp);
        std::string ins;
        const int key = Rand(10);
        if (key < 6)
        {
            std::string s = RandomText(1 + Rand(5), true, true);
            what << "type \"" << Hex(s) << "\"";
            ed.KeyInput(Ansi(s));
            ins = Typed(s);
        }
        else if (key < 8)
        {
            what << "Tab";
            ed.DoCtrlKeyPress(CharKey(VK_TAB));
            ins = "\t";
        }
        else
        {
            what << "Enter";
            ed.DoCtrlKeyPress(CharKey(VK_RETURN));
            ins = "\r";
            if (ed.GetOptions().Contains(aoAutoIndent))
            {
                // The blanks the row starts with, up to the caret.
                const std::string t = history_[at_].rows[size_t(p.row)];
                size_t k = 0;
                while (k < size_t(p.col) && (t[k] == ' ' || t[k] == '\t'))
                    ++k;
                ins += t.substr(0, k);
            }
        }
        what << " at " << p.at << " " << p.dsp;
        from = to = p.at;
        inserted = ins.size();
        model_.insert(p.at, ins);
        caret = p.at + ins.size();
    }
    else if (kind < 42)
    {
        // Backspace from inside a tab's fill takes the tab itself: only Delete stands there.
        const bool back = Chance(50);
        TPick p = Pick(true, !back);
        ed.SetCaretRaw(p.dsp);
        from = to = caret = p.at;
        const std::string t = ed.GetLine(p.row).str();
        if (back)
        {
            what << "Backspace at " << p.at << " " << p.dsp;
            ed.DoCtrlKeyPress(CharKey(VK_BACK));
            if (p.at > 0)
            {
                const std::string prev = p.col > 0 ? t : history_[at_].rows[size_t(p.row - 1)];
                std::vector<int> s = Starts(prev.substr(0, p.col > 0 ? size_t(p.col) : prev.size()));
                const size_t len = (p.col > 0 ? size_t(p.col) : prev.size()) - size_t(s[s.size() - 2]);
                from = caret = p.at - len;
            }
        }
        else
        {
            what << "Delete at " << p.at << " " << p.dsp;
            ed.DeleteAtCaret();
            if (p.col < int(t.size()))
                to = p.at + size_t(CharBytes(t, size_t(p.col)));
        }
        model_.erase(from, to - from);
    }
    else if (kind < 52)
    {
        // Typing over.
        TPick p = Pick(true, true);
        ed.SetCaretRaw(p.dsp);
        ed.SetInsertMode(false);
        const std::string s = RandomText(1 + Rand(3), Chance(20), false);
        what << "type over \"" << Hex(s) << "\" at " << p.at << " " << p.dsp;
        ed.KeyInput(Ansi(s));
        int row = p.row;
        int col = p.col;
        if (row > 0 && col == 0 && !p.inIndent && history_[at_].rows[size_t(row - 1)].back() != '\r')
        {
            --row; // at the start of a continuation piece: the end of the piece before
            col = int(history_[at_].rows[size_t(row)].size());
        }
        const std::string L = history_[at_].rows[size_t(row)];
        std::string next;
        if (int(L.size()) - col > int(s.size()))
        {
            next = L;
            next.replace(size_t(col), s.size(), s);
            const int last = col + int(s.size()) - 1;
            if (ByteTypeAt(L.data(), int(L.size()), last) == mbLeadByte)
                next[size_t(last + 1)] = ' ';
        }
        else
            next = L.substr(0, size_t(col)) + s + (!L.empty() && L.back() == '\r' ? "\r" : "");
        size_t rowStart = 0;
        for (int i = 0; i < row; ++i)
            rowStart += history_[at_].rows[size_t(i)].size();
        model_.replace(rowStart, L.size(), next);
        caret = rowStart + size_t(col) + s.size();
        checkBlocks = false; // typing over moves no block
    }
    else if (kind < 62)
    {
        // Pasting at a caret.
        TPick p = Pick(true, true);
        ed.SetCaretRaw(p.dsp);
        const char* breaks[] = {"\r\n", "\n", "\r"};
        std::string s = RandomText(Rand(6), false, true);
        for (int i = Rand(4); i > 0; --i)
            s += breaks[Rand(3)] + RandomText(Rand(8), false, true);
        if (Chance(30))
            s += breaks[Rand(3)];
        what << "paste \"" << Hex(s) << "\" at " << p.at << " " << p.dsp;
        ed.PasteText(Ansi(s));
        const std::string ins = Pasted(s);
        model_.insert(p.at, ins);
        from = to = p.at;
        inserted = ins.size();
        caret = p.at + ins.size();
    }
    else
    {
        // A selection typed over, pasted over, tabbed over or deleted with Backspace.
        TPick a = Pick(false, false);
        TPick b = Pick(false, false);
        if (a.at == b.at)
            return;
        if (b.at < a.at)
            std::swap(a, b);
        ed.SelArea()->PutStartPoint(a.dsp);
        ed.SelArea()->PutEndPoint(b.dsp);
        ed.SetCaretRaw(b.dsp);
        what << "select " << a.at << " " << a.dsp << " to " << b.at << " " << b.dsp << ", ";
        std::string ins;
        const int key = Rand(4);
        if (key == 0)
        {
            std::string s = RandomText(1 + Rand(4), true, true);
            what << "type \"" << Hex(s) << "\"";
            ed.SetInsertMode(Chance(70));
            ed.KeyInput(Ansi(s));
            ins = Typed(s);
        }
        else if (key == 1)
        {
            std::string s = RandomText(Rand(4), false, false) + "\r\n" + RandomText(Rand(6), false, false);
            what << "paste \"" << Hex(s) << "\"";
            ed.PasteText(Ansi(s));
            ins = Pasted(s);
        }
        else if (key == 2)
        {
            what << "Tab";
            ed.DoCtrlKeyPress(CharKey(VK_TAB));
            ins = "\t";
        }
        else
        {
            what << "Backspace";
            ed.DoCtrlKeyPress(CharKey(VK_BACK));
        }
        model_.replace(a.at, b.at - a.at, ins);
        from = a.at;
        to = b.at;
        inserted = ins.size();
        caret = a.at + ins.size();
    }
    step_ += what.str();
    CheckLayout();
    if (!failure_.empty())
        return;
    const size_t caretNow = OffsetOfDisplayPoint(ed, ed.GetCaret());
    if (caretNow != caret)
        return Fail("the caret stands at " + std::to_string(caretNow) + ", not at " + std::to_string(caret));
    if (checkBlocks)
        CheckBlocks(blocksBefore, from, to, inserted);
    if (ed.UndoBuff()->Position() != positionBefore)
    {
        history_.resize(at_ + 1);
        history_.push_back(Take());
        ++at_;
    }
    else if (model_ != history_[at_].text)
        Fail("a change that undo does not know of");
}

void TEpisode::UndoOrRedo(bool undo)
{
    TCustomAFEdit& ed = *ed_;
    const bool can = undo ? ed.CanUndo() : ed.CanRedo();
    const bool expected = undo ? at_ > 0 : at_ + 1 < history_.size();
    step_ += undo ? "Undo" : "Redo";
    if (can != expected)
        return Fail(std::string(can ? "can" : "cannot") + " go on");
    if (!can)
        return;
    if (undo)
    {
        ed.Undo();
        --at_;
    }
    else
    {
        ed.Redo();
        ++at_;
    }
    const TState now = Take();
    model_ = history_[at_].text;
    if (now.rows != history_[at_].rows || now.records != history_[at_].records)
        return Fail("the rows are not those of that state: \"" + Hex(JoinedRows(ed)) + "\"");
    CheckLayout();
}

std::string TEpisode::Run(int& edits)
{
    ed_.reset(Create<TAFEdit>(nullptr));
    TCustomAFEdit& ed = *ed_;
    const int wrap = 10 + Rand(15);
    const int tabs[] = {1, 2, 4, 8};
    const int tab = tabs[Rand(4)];
    TAFEditOptions options{aoAutoFormat};
    if (Chance(60))
        options << aoJpnBanBreak;
    if (Chance(50))
        options << aoWordWrap;
    if (Chance(50))
        options << aoAutoIndent;
    ed.SetOptions(options);
    ed.SetTabSize(tab);
    ed.SetDefWrapPos(wrap);
    std::string start = RandomText(Rand(40), true, false);
    std::string bytes;
    for (char c : start)
        bytes += c == '\r' ? std::string("\r\n") : std::string(1, c);
    LoadText(ed, bytes);
    // Paragraphs of their own indents, cut anew.
    const int maxIndent = std::min(8, wrap - 2);
    int indent = 0;
    for (int i = 0; i < ed.GetLinesCount(); ++i)
    {
        if (i == 0 || ed.isCrLine(i - 1))
            indent = Chance(50) ? 0 : Rand(maxIndent + 1);
        ed.GetLinesAttr(i)->Indent = int16_t(indent);
    }
    ed.RefoldParagraphs();
    model_ = start;
    history_.assign(1, Take());
    at_ = 0;
    std::ostringstream head;
    head << "wrap " << wrap << ", tab " << tab << (options.Contains(aoJpnBanBreak) ? ", banned characters" : "")
         << (options.Contains(aoWordWrap) ? ", words" : "") << (options.Contains(aoAutoIndent) ? ", auto indent" : "")
         << ", start \"" << Hex(start) << "\"";
    CheckLayout();
    if (!failure_.empty())
        return head.str() + ": " + failure_;

    edits = 50 + Rand(350);
    for (int i = 0; i < edits && failure_.empty(); ++i)
    {
        step_ = "edit " + std::to_string(i) + ": ";
        if (Chance(5) && ed.BlkAttrList()->GetCount() < 4 && !model_.empty())
        {
            // A new block between two character boundaries.
            size_t a = Pick(false, false).at, b = Pick(false, false).at;
            if (a > b)
                std::swap(a, b);
            TBlkAttrListItem block;
            TPoint s = PointAt(a), e = PointAt(b);
            block.StartCol = s.x;
            block.StartRow = s.y;
            block.EndCol = e.x;
            block.EndRow = e.y;
            ed.BlkAttrList()->Add(block);
        }
        if (Chance(4))
            ed.GetColAttrs(Rand(ed.GetLinesCount()));
        const int what = Rand(100);
        if (what < 8)
            UndoOrRedo(true);
        else if (what < 12)
            UndoOrRedo(false);
        else
            Edit();
    }
    if (failure_.empty())
    {
        // Undo of everything gives the start, and redo of everything the end, row for row.
        step_ = "undo of everything";
        while (failure_.empty() && at_ > 0)
            UndoOrRedo(true);
        if (failure_.empty() && ed.CanUndo())
            Fail("there is more to undo");
        step_ = "redo of everything";
        while (failure_.empty() && at_ + 1 < history_.size())
            UndoOrRedo(false);
        if (failure_.empty() && ed.CanRedo())
            Fail("there is more to redo");
    }
    return failure_.empty() ? std::string() : head.str() + ": " + failure_;
}
} // namespace

TEST(AFEditModel, RandomEditsKeepTheTextTheCaretTheLayoutAndTheBlocksOfAPlainStringModel)
{
    const unsigned first = unsigned(EnvNumber("VN_MODEL_SEED", 1));
    const long long edits = EnvNumber("VN_MODEL_EDITS", 10000);
    RunEpisodes("model check", first, edits, [](unsigned seed, long long& done) {
        int n = 0;
        std::string failure = TEpisode(seed).Run(n);
        done += n;
        return failure;
    });
}
