// The document without a window: random edits of its own operations (a row's text changed and
// re-folded, whole paragraphs inserted and deleted, undo and redo of whole groups), checked after
// every one against a plain string: the text, the folded layout (the rows a folded load of the
// same text would have), the edit point, Edited, and undo and redo giving back the earlier rows
// exactly. Built natively as well, where it runs a million edits; VN_DOC_EDITS sets the count,
// VN_DOC_SEED the first episode (each episode's seed is printed when it fails).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "editor_control/AFDocument.h"
#include "FreshFold.h"
#include "StringModel.h"
#include "tests/HexText.h"

#include "platform/Classes.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's count of the bytes handed out and not yet freed (its header is not everywhere).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#ifndef VN_DOC_DEFAULT_EDITS
#define VN_DOC_DEFAULT_EDITS 20000
#endif

namespace
{
// The rows a folded load of text builds, leaving the document's own as they are.
std::vector<std::string> FoldedRows(TAFDocument& d, const std::string& text)
{
    TStringStream in(Ansi(text));
    TStringList lines;
    TAttrList records;
    TLoadTruncation truncation;
    d.ReadRows(&in, TConvMode{cmFoldLine}, lines, records, truncation);
    std::vector<std::string> out;
    for (int r = 0; r < lines.GetCount(); ++r)
        out.push_back(lines.Get(r).str());
    return out;
}

// The document's rows become text's, folded as a load folds them, with no history.
void LoadFolded(TAFDocument& d, const std::string& text)
{
    TStringStream in(Ansi(text));
    TStringList lines;
    TAttrList records;
    TLoadTruncation truncation;
    d.ReadRows(&in, TConvMode{cmFoldLine}, lines, records, truncation);
    d.TakeRows(lines);
    d.Attrs()->Swap(records);
    d.UndoBuff()->Reset();
}

const char* const kPieces[] = {"a", "b", "Z", "word", "0", " ", "漢", "表", "ア", "ｶ", "。",
                               "、", "「", "」", "（", ")", ".", "×", "　", "\t", "ab cd"};
const int kPieceCount = sizeof kPieces / sizeof *kPieces;

// The rows as their text, where each ends, and their indents.
struct TState
{
    std::string text;
    std::vector<int> ends;
    std::vector<int> indents;
    bool operator==(const TState&) const = default;
};

class TEpisode
{
public:
    explicit TEpisode(unsigned seed) : rng_(seed) {}
    // Runs the episode; an empty string when the document kept to the model throughout.
    std::string Run(long long& edits);

private:
    int Rand(int n) { return n <= 0 ? 0 : int(rng_() % unsigned(n)); }
    bool Chance(int percent) { return Rand(100) < percent; }
    std::string RandomText(int pieces, bool crs);
    std::string Row(int row) const { return doc_->GetLine(row).str(); }
    size_t RowStart(int row) const;
    bool ParagraphStart(int row) const { return row == 0 || doc_->isCrLine(row - 1); }
    TState Take() const;
    void Fail(const std::string& what);
    void Check();
    void Record();

    void ChangeRow();
    void InsertParagraphs();
    void DeleteParagraphs();
    void ReplacePieces();
    void UndoOrRedo(bool undo);

    std::mt19937 rng_;
    // The pieces text is made of: now and then only one or two, so that long paragraphs repeat
    // themselves and their rows shift without changing.
    std::vector<std::string> pieces_;
    bool repeating_ = false;
    std::unique_ptr<TAFDocument> doc_;
    std::string model_;
    std::vector<TState> history_;
    size_t at_ = 0;
    std::string failure_;
    std::string step_;
};

std::string TEpisode::RandomText(int pieces, bool crs)
{
    std::string s;
    for (int i = 0; i < pieces; ++i)
        s += crs && Chance(repeating_ ? 1 : 12) ? "\r" : pieces_[size_t(Rand(int(pieces_.size())))];
    return s;
}

size_t TEpisode::RowStart(int row) const
{
    size_t at = 0;
    for (int i = 0; i < row; ++i)
        at += size_t(doc_->GetLine(i).Length());
    return at;
}

TState TEpisode::Take() const
{
    TState s;
    for (int i = 0; i < doc_->GetLinesCount(); ++i)
    {
        const AnsiString row = doc_->GetLine(i);
        s.text.append(row.c_str(), size_t(row.Length()));
        s.ends.push_back(int(s.text.size()));
        s.indents.push_back(doc_->Attrs()->GetItem(i)->Indent);
    }
    return s;
}

void TEpisode::Fail(const std::string& what)
{
    if (failure_.empty())
        failure_ = step_ + ": " + what;
}

void TEpisode::Check()
{
    TAFDocument& d = *doc_;
    const int n = d.GetLinesCount();
    std::string joined;
    for (int i = 0; i < n; ++i)
        joined += Row(i);
    if (joined != model_)
        return Fail("text \"" + Hex(joined) + "\", the model \"" + Hex(model_) + "\"");
    if (n < 1 || d.isCrLine(n - 1))
        return Fail("the last row ends a paragraph");
    if (d.Attrs()->GetCount() != n)
        return Fail(std::to_string(d.Attrs()->GetCount()) + " records for " + std::to_string(n) + " rows");
    std::string para;
    size_t next = 0; // where the next character of the paragraph starts
    for (int i = 0; i < n; ++i)
    {
        const std::string row = Row(i);
        auto at = [&] { return " (row " + std::to_string(i) + " \"" + Hex(row) + "\")"; };
        const size_t cr = row.find('\r');
        if (cr != std::string::npos && cr != row.size() - 1)
            return Fail("a CR inside a row" + at());
        if (i < n - 1 && row.empty())
            return Fail("an empty row" + at());
        // The row before never ends on the first byte of a character this row finishes.
        const size_t boundary = para.size();
        para += row;
        while (next < boundary)
            next += size_t(CharBytes(para, next));
        if (next != boundary)
            return Fail("a character split between rows" + at());
        if (cr != std::string::npos)
            para.clear(), next = 0;
        const int width = d.DspPos(TPoint(int(row.size()), i)).x - (cr != std::string::npos ? 1 : 0);
        if (width > int(d.Attrs()->GetItem(i)->WrapPos) + 8)
            return Fail("a row " + std::to_string(width) + " columns wide" + at());
    }
    // A load makes an empty last row only after a paragraph end: one after a wrapped piece
    // would glue what is typed there to the paragraph above.
    if (n > 1 && Row(n - 1).empty() && !d.isCrLine(n - 2))
        return Fail("an empty last row after a wrapped piece");
    // Every row is one a folded load of the same text could have.
    const std::string fresh = FreshFoldDifference(d);
    if (!fresh.empty())
        return Fail(fresh);
    if (d.UndoBuff()->Edited() != (at_ != 0))
        return Fail(std::string("Edited is ") + (d.UndoBuff()->Edited() ? "set" : "clear") + " at step " +
                    std::to_string(at_) + " of the history");
}

// A new group went in: the redo tail is gone.
void TEpisode::Record()
{
    history_.resize(at_ + 1);
    history_.push_back(Take());
    ++at_;
}

// Some characters of a row (its CR too, joining the next paragraph) replaced by typed text, and
// the paragraph folded again: the edit point stays on the byte after the inserted text.
void TEpisode::ChangeRow()
{
    TAFDocument& d = *doc_;
    const int r = Rand(d.GetLinesCount());
    const std::string row = Row(r);
    const std::vector<int> starts = Starts(row);
    const size_t k = size_t(Rand(int(starts.size())));
    const int p = starts[k];
    const int del = starts[std::min(starts.size() - 1, k + size_t(Rand(3)))] - p;
    const std::string ins = Chance(30) ? std::string() : RandomText(1 + Rand(4), true);
    if (del == 0 && ins.empty())
        return;
    step_ = "row " + std::to_string(r) + ": " + std::to_string(del) + " bytes at " + std::to_string(p) +
            " become \"" + Hex(ins) + "\"";
    const size_t at = RowStart(r) + size_t(p);
    std::string next = row;
    next.replace(size_t(p), size_t(del), ins);
    ++d.UndoGroupId();
    d.ApplyLineChange(r, Ansi(next));
    d.Caret() = d.DspPos(TPoint(p + int(ins.size()), r));
    d.FoldLine(r);
    model_.replace(at, size_t(del), ins);
    Record();
    Check();
    // The edit point names the same byte (at a cut, the end of one row is the start of the next).
    const TPoint c = d.Caret();
    if (failure_.empty() && (c.y < 0 || c.y >= d.GetLinesCount()))
        return Fail("the edit point left the rows: row " + std::to_string(c.y));
    const size_t caretAt = failure_.empty() ? RowStart(c.y) + size_t(std::max(0, d.LogicalPos(c))) : 0;
    if (failure_.empty() && caretAt != at + ins.size())
        Fail("the edit point stands at byte " + std::to_string(caretAt) + ", not " +
             std::to_string(at + ins.size()));
}

// Whole paragraphs inserted before a paragraph (one primitive or the other) and folded.
void TEpisode::InsertParagraphs()
{
    TAFDocument& d = *doc_;
    int r = Rand(d.GetLinesCount());
    while (!ParagraphStart(r))
        --r;
    const int count = 1 + Rand(3);
    std::vector<AnsiString> texts;
    std::vector<TAttrListItem> attrs;
    std::string all;
    for (int i = 0; i < count; ++i)
    {
        std::string t = RandomText(1 + Rand(12), false) + "\r";
        all += t;
        texts.push_back(Ansi(t));
        // No deeper than a load keeps (the raw stream is read back below).
        const int indent = Chance(20) ? 1 + Rand(std::min(4, d.DefWrapPos() - 8)) : 0;
        attrs.push_back(d.MakeAttr(true, indent, d.DefWrapPos()));
    }
    step_ = std::to_string(count) + " paragraphs \"" + Hex(all) + "\" inserted at row " + std::to_string(r);
    const size_t at = RowStart(r);
    ++d.UndoGroupId();
    if (Chance(50))
        d.InsertRowsAt(r, texts, attrs);
    else
        for (int i = count - 1; i >= 0; --i)
            d.InsertRow(r, texts[size_t(i)], attrs[size_t(i)], false);
    // From the last inserted row up, so the rows above keep their numbers.
    for (int i = count - 1; i >= 0; --i)
        d.FoldLine(r + i);
    model_.insert(at, all);
    Record();
    Check();
}

// Whole paragraphs deleted (by the batch primitive or row by row); the document keeps a row.
void TEpisode::DeleteParagraphs()
{
    TAFDocument& d = *doc_;
    const int n = d.GetLinesCount();
    int first = Rand(n);
    while (!ParagraphStart(first))
        --first;
    int last = first;
    while (last < n - 1 && !d.isCrLine(last))
        ++last;
    if (!d.isCrLine(last))
        return; // the last paragraph has no CR to delete with it
    if (last + 1 < n - 1 && Chance(40))
        while (last + 1 < n - 1 && !d.isCrLine(++last))
        {
        }
    if (!d.isCrLine(last))
        return;
    const int count = last - first + 1;
    step_ = "rows " + std::to_string(first) + " to " + std::to_string(last) + " deleted";
    const size_t from = RowStart(first);
    const size_t to = RowStart(last + 1);
    ++d.UndoGroupId();
    if (Chance(50))
        d.DeleteRowsAt(first, count, Chance(50));
    else
        for (int i = last; i >= first; --i)
            d.DelLineP(i);
    model_.erase(from, to - from);
    Record();
    Check();
}

// Pieces of one length anywhere in the text (CRs among them) replaced by one text, all as one
// step; the edit point ends after the last replacement.
void TEpisode::ReplacePieces()
{
    TAFDocument& d = *doc_;
    const std::vector<int> starts = Starts(model_);
    const int length = 1 + Rand(4);
    std::vector<size_t> at;
    for (size_t k = size_t(Rand(int(starts.size()))); k < starts.size() && at.size() < 6;)
    {
        const size_t p = size_t(starts[k]);
        if (p + size_t(length) > model_.size())
            break;
        at.push_back(p);
        while (k < starts.size() && size_t(starts[k]) < p + size_t(length) + size_t(Rand(12)))
            ++k;
    }
    if (at.empty())
        return;
    const std::string with = Chance(25) ? std::string() : RandomText(1 + Rand(4), true);
    step_ = std::to_string(at.size()) + " pieces of " + std::to_string(length) + " bytes from byte " +
            std::to_string(at.front()) + " become \"" + Hex(with) + "\"";
    std::vector<TPoint> hits;
    for (size_t p : at)
    {
        int row = 0;
        while (RowStart(row + 1) <= p && row + 1 < d.GetLinesCount())
            ++row;
        hits.push_back(TPoint(int(p - RowStart(row)), row));
    }
    TReplaceWork work;
    if (!d.PlanReplace(hits, length, with, work))
        return Fail("the pieces were refused");
    d.ApplyReplace(work, true);
    for (size_t i = at.size(); i-- > 0;)
        model_.replace(at[i], size_t(length), with);
    Record();
    Check();
    const TPoint c = d.Caret();
    const size_t want = at.back() + (at.size() - 1) * (with.size() - size_t(length)) + with.size();
    const size_t caretAt = failure_.empty() ? RowStart(c.y) + size_t(std::max(0, d.LogicalPos(c))) : 0;
    if (failure_.empty() && caretAt != want)
        Fail("the edit point stands at byte " + std::to_string(caretAt) + ", not " + std::to_string(want));
}

void TEpisode::UndoOrRedo(bool undo)
{
    TAFDocument& d = *doc_;
    if (undo ? at_ == 0 : at_ + 1 >= history_.size())
    {
        if (undo ? d.CanUndo() : d.CanRedo())
            Fail(undo ? "more to undo than was done" : "more to redo than was undone");
        return;
    }
    step_ = undo ? "undo" : "redo";
    if (undo ? !d.UndoGroup() : (d.RedoGroup(), false))
        return Fail("nothing was undone");
    at_ = undo ? at_ - 1 : at_ + 1;
    const TState now = Take();
    const TState& want = history_[at_];
    model_ = want.text;
    if (!(now == want))
    {
        auto show = [](const TState& st) {
            std::string out;
            for (size_t i = 0, from = 0; i < st.ends.size(); from = size_t(st.ends[i++]))
                out += " \"" + Hex(st.text.substr(from, size_t(st.ends[i]) - from)) + "\"/" +
                       std::to_string(st.indents[i]);
            return out;
        };
        return Fail("rows" + show(now) + ", before them" + show(want));
    }
    Check();
}

std::string TEpisode::Run(long long& edits)
{
    doc_ = std::make_unique<TAFDocument>();
    TAFDocument& d = *doc_;
    TAFEditOptions options{aoAutoFormat};
    if (Chance(50))
        options << aoJpnBanBreak;
    if (Chance(50))
        options << aoWordWrap;
    d.Options() = options;
    d.DefWrapPos() = 10 + Rand(30);
    d.TabSize() = 1 + Rand(16);
    d.SetBanHead("、。）」ぁ)]}.,");
    d.SetBanEnd("（「([{");
    for (int c = 0; c < 256; ++c)
        d.WordChars()[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    d.UndoBuff()->SetMax(-1);

    repeating_ = Chance(25);
    pieces_.clear();
    for (int k = repeating_ ? 1 + Rand(2) : kPieceCount; k > 0; --k)
        pieces_.push_back(kPieces[repeating_ ? Rand(kPieceCount) : k - 1]);

    // The start: a folded load of random paragraphs.
    model_ = RandomText(repeating_ ? 60 + Rand(100) : Rand(60), true);
    LoadFolded(d, model_);
    history_.assign(1, Take());
    at_ = 0;
    step_ = "load of \"" + Hex(model_) + "\"";
    Check();

    const int count = 50 + Rand(150);
    int i = 0;
    for (; i < count && failure_.empty(); ++i)
    {
        const int what = Rand(100);
        if (what < 10)
            UndoOrRedo(true);
        else if (what < 15)
            UndoOrRedo(false);
        else if (what < 25 && model_.size() < 400) // the text stays small: checks walk all of it
            InsertParagraphs();
        else if (what < 32 || (what < 35 && model_.size() >= 400))
            DeleteParagraphs();
        else if (what < 42)
            ReplacePieces();
        else
            ChangeRow();
    }
    edits += i;
    if (failure_.empty())
    {
        step_ = "undo of everything";
        while (failure_.empty() && at_ > 0)
            UndoOrRedo(true);
        step_ = "redo of everything";
        while (failure_.empty() && at_ + 1 < history_.size())
            UndoOrRedo(false);
    }
    if (failure_.empty())
    {
        // The raw stream gives back the rows and records, and a re-fold keeps the text.
        step_ = "raw stream";
        TStringStream out{AnsiString()};
        d.WriteRows(&out, TConvMode{cmRaw});
        out.Seek(0, soFromBeginning);
        TStringList back;
        TAttrList backRecords;
        TLoadTruncation truncation;
        d.ReadRows(&out, TConvMode{cmRaw}, back, backRecords, truncation);
        if (back.GetCount() != d.GetLinesCount())
            Fail(std::to_string(back.GetCount()) + " rows read back, not " + std::to_string(d.GetLinesCount()));
        for (int r = 0; failure_.empty() && r < back.GetCount(); ++r)
        {
            const TAttrListItem* a = backRecords.GetItem(r);
            const TAttrListItem* b = d.Attrs()->GetItem(r);
            if (back.Get(r) != d.GetLine(r) || a->Indent != b->Indent || a->WrapPos != b->WrapPos)
                Fail("row " + std::to_string(r) + " read back as \"" + Hex(back.Get(r).str()) + "\" indent " +
                     std::to_string(a->Indent) + " wrap " + std::to_string(a->WrapPos) + ", written \"" +
                     Hex(Row(r)) + "\" indent " + std::to_string(b->Indent) + " wrap " + std::to_string(b->WrapPos));
        }
        step_ = "re-fold";
        d.RefoldParagraphs();
        Check();
    }
    return failure_;
}
} // namespace

TEST(AFDocumentModel, RandomEditsKeepTheTextTheLayoutTheEditPointAndTheHistoryOfAPlainStringModel)
{
    const unsigned first = unsigned(EnvNumber("VN_DOC_SEED", 1));
    const long long edits = EnvNumber("VN_DOC_EDITS", VN_DOC_DEFAULT_EDITS);
    RunEpisodes("document model check", first, edits,
                [](unsigned seed, long long& done) { return TEpisode(seed).Run(done); });
}

namespace
{
// Says it is far larger than the text it gives, as a huge file whose text ends early at a NUL.
class TClaimingStream : public TStringStream
{
public:
    TClaimingStream(const AnsiString& s, int64_t claimed) : TStringStream(s), claimed_(claimed) {}
    int64_t GetSize() override { return claimed_; }

private:
    int64_t claimed_;
};
} // namespace

// A load reserves room from what it reads, not from what the stream's size suggests: a size the
// rows never fill must not cost the address space before a row is read.
TEST(AFDocument, ALoadReservesRowsByWhatItReadsNotByTheStreamSize)
{
    const TConvMode modes[] = {TConvMode(), TConvMode{cmFoldLine}};
    for (const TConvMode mode : modes)
    {
        TAFDocument doc;
        TClaimingStream in("one\rtwo\rthree", int64_t(1536) << 20);
        TStringList lines;
        TAttrList records;
        TLoadTruncation truncation;
        doc.ReadRows(&in, mode, lines, records, truncation);
        ASSERT_EQ(lines.GetCount(), 3);
        EXPECT_EQ(lines.Get(2), "three");
        EXPECT_LE(lines.GetCapacity(), 1 << 20);
        EXPECT_LE(records.GetCapacity(), 1 << 20);
    }
}

// What a loaded row costs beside its bytes: its slot in the row list, its record's slot and its
// string's header; rows alike share a record, and a row of one byte and its CR shares its string.
// Counted by the address sanitizer's allocator, so in the native build only.
TEST(AFDocument, LoadedRowsTakeLittleBesideTheirText)
{
#if defined(__SANITIZE_ADDRESS__)
    struct TCase
    {
        const char* name;
        std::string line; // '#': a letter of the row, a varying count of them
        size_t most;      // bytes a row beside its text, at most
    };
    const TCase cases[] = {
        {"lines of 0 to 9 letters", "#\r\n", 3 * sizeof(void*) + 12},
        {"nothing but line ends", "\n", 2 * sizeof(void*) + 4},
        {"lines of 40 letters", "########################################\r\n", 3 * sizeof(void*) + 12},
    };
    for (const TCase& c : cases)
        for (const TConvMode mode : {TConvMode(), TConvMode{cmFoldLine}})
        {
            SCOPED_TRACE(std::string(c.name) + (mode.Contains(cmFoldLine) ? ", folded" : ""));
            std::string text;
            for (int k = 0; k < 200000; ++k)
                for (char ch : c.line)
                    if (ch != '#')
                        text += ch;
                    else if (c.line.size() > 4)
                        text += char('a' + k % 26);
                    else
                        text.append(size_t(k % 10), char('a' + k % 26));
            const size_t before = __sanitizer_get_current_allocated_bytes();
            TAFDocument doc;
            {
                TStringStream in(Ansi(text));
                TStringList lines;
                TAttrList records;
                TLoadTruncation truncation;
                doc.ReadRows(&in, mode, lines, records, truncation);
                doc.TakeRows(lines);
                doc.Attrs()->Swap(records);
            }
            const size_t after = __sanitizer_get_current_allocated_bytes();
            ASSERT_EQ(doc.GetLinesCount(), 200001);
            size_t held = 0;
            for (int r = 0; r < doc.GetLinesCount(); ++r)
                held += size_t(doc.GetLine(r).Length());
            EXPECT_LE(double(after - before - held) / doc.GetLinesCount(), double(c.most));
        }
#else
    GTEST_SKIP() << "counted by the address sanitizer's allocator";
#endif
}

// A keystroke at the start of a long paragraph moves every piece's boundary: the re-fold goes to
// the history as one record however many rows it changed, and undo and redo give back the rows,
// the records and the edit point of either side.
TEST(AFDocument, ARefoldOfAWholeParagraphIsOneUndoRecordReplayedExactly)
{
    TAFDocument d;
    d.Options() = TAFEditOptions{aoAutoFormat};
    d.DefWrapPos() = 12;
    d.UndoBuff()->SetMax(-1);
    std::string para;
    for (int i = 0; i < 200; ++i)
        para += "abcdefghij";
    para += "\rtail\r";
    LoadFolded(d, para);
    ASSERT_GT(d.GetLinesCount(), 150);
    auto rows = [&] {
        std::vector<std::pair<std::string, int>> out;
        for (int i = 0; i < d.GetLinesCount(); ++i)
            out.emplace_back(d.GetLine(i).str(), d.Attrs()->GetItem(i)->Indent);
        return out;
    };
    const auto start = rows();

    ++d.UndoGroupId();
    d.Caret() = TPoint(0, 0);
    d.ApplyLineChange(0, "xyz" + d.GetLine(0));
    d.Caret() = TPoint(3, 0);
    d.FoldLine(0);
    EXPECT_LE(d.UndoBuff()->RecordCount(), 2);
    const auto typed = rows();
    const TPoint caretTyped = d.Caret();
    EXPECT_NE(typed, start);
    std::string joined;
    for (const auto& r : typed)
        joined += r.first;
    EXPECT_EQ(joined, "xyz" + para);

    for (int round = 0; round < 2; ++round)
    {
        EXPECT_TRUE(d.UndoGroup());
        EXPECT_EQ(rows(), start);
        EXPECT_EQ(d.Caret(), TPoint(0, 0));
        EXPECT_FALSE(d.UndoBuff()->Edited());
        d.RedoGroup();
        EXPECT_EQ(rows(), typed);
        EXPECT_EQ(d.Caret(), caretTyped);
        EXPECT_TRUE(d.UndoBuff()->Edited());
    }
}

// A folded load cuts each paragraph where folding it by editing would: random paragraphs of tabs,
// double-byte characters and words around the wrap position, loaded folded, against the same text
// loaded unfolded and folded paragraph by paragraph.
TEST(AFDocument, AFoldedLoadCutsEveryParagraphWhereFoldingItRowByRowDoes)
{
    // Runs of tabs and long runs without one put tabs at and around the end of what a break
    // decision looks at; a run of single-byte characters that may not end a row walks a break
    // back to the indent.
    const char* const pieces[] = {"a", "word ", "\t", "漢", "ｶ", "。", "「", "ab\tcd",
                                  "0123456789", "\t\t\t", "((((((", "。。。。。。。。。。。。",
                                  "漢字かな漢字かな漢字かな漢字かな漢字かな漢字かな漢字かな漢字かな漢字かな漢字かな"};
    std::mt19937 rng(5);
    // Tab sizes past the smallest wrap's room put a tab alone on a row, wider than the row.
    for (int round = 0; round < 1500; ++round)
    {
        std::string text;
        for (int k = int(rng() % 90); k > 0; --k)
            text += rng() % 10 == 0 ? (rng() % 2 ? (rng() % 2 ? "\r\t\t" : "\r\t") : "\r")
                                    : pieces[rng() % std::size(pieces)];
        const int wrap = 10 + int(rng() % 30);
        const int tab = 1 + int(rng() % 16);
        const TConvMode indents = rng() % 2 ? TConvMode{cmTabToIndent} : TConvMode();
        auto rowsOf = [&](bool foldedLoad) {
            TAFDocument d;
            d.Options() = rng() % 2 ? TAFEditOptions{aoAutoFormat, aoJpnBanBreak} : TAFEditOptions{aoAutoFormat};
            d.DefWrapPos() = wrap;
            d.TabSize() = tab;
            d.SetBanHead("、。）」");
            d.SetBanEnd("（「(");
            if (rng() % 4 == 0)
                d.WrapTrailBytes() = int(rng() % 100); // a long run that may not begin a row hangs
            TStringStream in(Ansi(text));
            TStringList lines;
            TAttrList records;
            TLoadTruncation truncation;
            TConvMode modes = indents;
            if (foldedLoad)
                modes << cmFoldLine;
            d.ReadRows(&in, modes, lines, records, truncation);
            d.TakeRows(lines);
            d.Attrs()->Swap(records);
            if (!foldedLoad)
                for (int r = 0; r < d.GetLinesCount(); ++r)
                    if (r == 0 || d.isCrLine(r - 1))
                        d.FoldLine(r);
            std::vector<std::string> out;
            for (int r = 0; r < d.GetLinesCount(); ++r)
            {
                const TAttrListItem* a = d.Attrs()->GetItem(r);
                out.push_back(std::to_string(a->Indent) + "/" + std::to_string(a->WrapPos) + "/" +
                              std::to_string(a->Dirty) + ":" + d.GetLine(r).str());
            }
            return out;
        };
        const unsigned state = rng();
        rng.seed(state);
        const auto loaded = rowsOf(true);
        rng.seed(state);
        const auto edited = rowsOf(false);
        size_t at = 0;
        while (at < loaded.size() && at < edited.size() && loaded[at] == edited[at])
            ++at;
        auto around = [at](const std::vector<std::string>& rows) {
            std::string s;
            for (size_t i = at > 0 ? at - 1 : 0; i < rows.size() && i < at + 2; ++i)
                s += " \"" + Hex(rows[i]) + "\"";
            return s;
        };
        ASSERT_EQ(loaded, edited) << "round " << round << ", wrap " << wrap << ", tab " << tab << ", text \""
                                  << Hex(text) << "\"\nrows from " << (at > 0 ? at - 1 : 0) << " loaded"
                                  << around(loaded) << "\n edited" << around(edited);
    }
}

// A tab wider than what a row has left stays on a row of its own, and the last piece of a paragraph
// is never followed by an empty row, whether the text is folded on loading or row by row.
TEST(AFDocument, ATabWiderThanItsRowStaysAloneOnItWithoutAnEmptyRowAfterIt)
{
    struct TCase
    {
        const char* text;
        int wrap, tab;
        bool indents;
        std::vector<std::string> rows; // indent:text
    };
    const TCase cases[] = {
        {"漢字\r\t\t", 28, 16, true, {"0:漢字\r", "16:\t"}},
        {"\t\tかな\r", 28, 16, true, {"16:\t", "16:かな\r", "0:"}},
        {"abcdefgh\t", 10, 12, false, {"0:abcdefgh", "0:\t"}},
        {"ab\t\t", 10, 9, false, {"0:ab\t", "0:\t"}},
    };
    for (const TCase& c : cases)
        for (bool foldedLoad : {true, false})
        {
            TAFDocument d;
            d.DefWrapPos() = c.wrap;
            d.TabSize() = c.tab;
            TStringStream in(Ansi(c.text));
            TStringList lines;
            TAttrList records;
            TLoadTruncation truncation;
            TConvMode modes = c.indents ? TConvMode{cmTabToIndent} : TConvMode();
            if (foldedLoad)
                modes << cmFoldLine;
            d.ReadRows(&in, modes, lines, records, truncation);
            d.TakeRows(lines);
            d.Attrs()->Swap(records);
            for (int r = 0; !foldedLoad && r < d.GetLinesCount(); ++r)
                d.FoldLine(r);
            std::vector<std::string> rows;
            for (int r = 0; r < d.GetLinesCount(); ++r)
                rows.push_back(std::to_string(d.Attrs()->GetItem(r)->Indent) + ":" + d.GetLine(r).str());
            EXPECT_EQ(rows, c.rows) << (foldedLoad ? "folded load" : "folded row by row") << " of \"" << Hex(c.text)
                                    << "\"";
        }
}

// A re-fold done in one pass (no row hook can watch) against the same re-fold step by step (a host
// that keeps its hooks): random paragraphs of tabs, double-byte text and characters the break rules
// hold back, random indents, wraps, dirty flags and edit points, and an edit that grows, shrinks,
// empties, splits or joins a row. Rows, records, the edit point, the widest row, the history's
// record, what the view is told, and the rows an undo gives back must all agree.
namespace
{
class TWatchingHost : public TAFDocumentHost
{
public:
    explicit TWatchingHost(bool idle) : idle_(idle) {}
    std::string log;
    bool DocRowHooksIdle() override { return idle_; }
    void DocRowCountChanged() override { log += "n"; }
    void DocMarkDirtyFrom(int row) override { log += "d" + std::to_string(row); }
    void DocSelRowInserted(int row) override { log += "i" + std::to_string(row); }
    void DocSelRowDeleted(int row) override { log += "x" + std::to_string(row); }
    void DocUndoChanged(bool canUndo, bool canRedo) override { log += canUndo ? "u" : "-"; }

private:
    bool idle_;
};

std::string RecordText(const TAttrListItem& a)
{
    return std::to_string(a.Indent) + "/" + std::to_string(a.WrapPos) + "/" + std::to_string(a.Dirty) + "/" +
           std::to_string(a.States.Contains(asChanged)) + "/" + std::to_string(a.FontColor) + "/" +
           std::to_string(a.ColAttr != nullptr);
}

std::string DocumentText(TAFDocument& d)
{
    std::string s = "caret " + std::to_string(d.Caret().x) + "," + std::to_string(d.Caret().y) + " longest " +
                    std::to_string(d.LongestLine()) + "\n";
    for (int i = 0; i < d.GetLinesCount(); ++i)
        s += RecordText(*d.Attrs()->GetItem(i)) + " " + Hex(d.GetLine(i).str()) + "\n";
    s += "undo " + std::to_string(d.UndoBuff()->Position()) + "/" + std::to_string(d.UndoBuff()->RecordCount());
    if (const TUndoBuffItem* u = d.UndoBuff()->PrevPop())
    {
        s += " #" + std::to_string(u->GroupId) + " " + std::to_string(u->Index) + "+" + std::to_string(u->Index2) +
             " caret " + std::to_string(u->Caret.x) + "," + std::to_string(u->Caret.y) + " to " +
             std::to_string(u->CaretLast.x) + "," + std::to_string(u->CaretLast.y) + " " + Hex(u->After.str());
        for (size_t i = 0; i < u->Rows.size(); ++i)
            s += "\n  " + RecordText(u->AttrOf(i)) + " " + Hex(u->Rows[i].str());
    }
    return s;
}
} // namespace

TEST(AFDocument, AOnePassRefoldDoesExactlyWhatTheStepByStepRefoldDoes)
{
    const char* const pieces[] = {"a", "word ", "\t", "漢", "ｶ", "。", "、", "「", "）", "ab\tcd", "0123456789", " ",
                                  "\t\t\t", "漢字かな漢字かな漢字かな", "x\t", "漢\t\t"};
    std::mt19937 rng(11);
    auto rand = [&](int n) { return int(rng() % unsigned(n)); };
    int onePass = 0;
    for (int round = 0; round < 3000; ++round)
    {
        std::string text;
        for (int k = 1 + rand(90); k > 0; --k)
            text += rand(14) == 0 ? "\r" : pieces[rand(int(std::size(pieces)))];
        const int wrap = 8 + rand(30);
        const int tab = 1 + rand(16);
        const TAFEditOptions options = rand(2) ? TAFEditOptions{aoAutoFormat, aoJpnBanBreak, aoWordWrap}
                                               : rand(2) ? TAFEditOptions{aoAutoFormat, aoJpnBanBreak}
                                                         : TAFEditOptions{aoAutoFormat};
        const unsigned layout = rng();
        std::string insert;
        for (int k = rand(4); k > 0; --k)
            insert += rand(6) == 0 ? "\r" : pieces[rand(int(std::size(pieces)))];
        const unsigned edit = rng();

        auto run = [&](bool idle, std::string& log, std::string& undone) {
            TWatchingHost host(idle);
            TAFDocument d;
            d.SetHost(&host);
            d.Options() = options;
            d.DefWrapPos() = wrap;
            d.TabSize() = tab;
            d.SetBanHead("、。）");
            d.SetBanEnd("「");
            d.UndoBuff()->SetMax(-1);
            LoadFolded(d, text);
            std::mt19937 r(layout);
            for (int i = 0; i < d.GetLinesCount(); ++i)
            {
                TAttrListItem* a = d.Attrs()->GetItem(i);
                a->Dirty = r() % 2;
                if (r() % 4 == 0)
                {
                    // Now and then a tab's width past the indent reaches or passes the wrap.
                    const int extra = r() % 4 == 0 ? tab : 0;
                    a->Indent = int16_t(extra + int(r() % 5));
                }
                if (r() % 8 == 0)
                    a->WrapPos = uint16_t(std::max<int>(a->Indent + 2, wrap + int(r() % 7) - 3));
                if (r() % 9 == 0)
                    a->States << asChanged;
                a->FontColor = r() % 3;
            }
            if (r() % 50 == 0)
                d.GetColAttrs(int(r() % unsigned(d.GetLinesCount())));
            // The edit: some bytes of a row replaced, as typing, deleting or pasting does.
            std::mt19937 e(edit);
            const int row = int(e() % unsigned(d.GetLinesCount()));
            std::string s = d.GetLine(row).str();
            size_t at = e() % (s.size() + 1);
            while (at > 0 && at < s.size() && ByteTypeAt(s.data(), int(s.size()), int(at)) == mbTrailByte)
                --at;
            size_t gone = std::min(s.size() - at, size_t(e() % 3 == 0 ? e() % 6 : 0));
            while (at + gone < s.size() && ByteTypeAt(s.data(), int(s.size()), int(at + gone)) == mbTrailByte)
                ++gone;
            s.replace(at, gone, insert);
            ++d.UndoGroupId();
            d.ApplyLineChange(row, Ansi(s));
            const int caretRow = std::clamp(row + int(e() % 7) - 1, 0, d.GetLinesCount() - 1);
            d.Caret() = TPoint(int(e() % 80) - 2, caretRow);
            host.log.clear();
            d.FoldLine(row);
            const std::string after = DocumentText(d);
            log = host.log;
            d.UndoGroup();
            undone = DocumentText(d);
            return after;
        };
        std::string stepLog, passLog, stepUndone, passUndone;
        const std::string stepwise = run(false, stepLog, stepUndone);
        const std::string onePassText = run(true, passLog, passUndone);
        ASSERT_EQ(onePassText, stepwise) << "round " << round << " text \"" << Hex(text) << "\" wrap " << wrap;
        ASSERT_EQ(passLog, stepLog) << "round " << round << " text \"" << Hex(text) << "\"";
        ASSERT_EQ(passUndone, stepUndone) << "round " << round << " text \"" << Hex(text) << "\"";
        onePass += stepLog.find('u') != std::string::npos;
    }
    EXPECT_GT(onePass, 1000); // most rounds changed rows, so the comparison had something to compare
}

// A view told of a one-pass re-fold's changes may re-fold another text right then (the folds
// share their working room): both texts, their histories and what the view hears come out as
// when each is folded alone.
namespace
{
class TRefoldingViewHost : public TWatchingHost
{
public:
    TRefoldingViewHost() : TWatchingHost(true) {}
    TAFDocument* other = nullptr;
    void DocMarkDirtyFrom(int row) override
    {
        TWatchingHost::DocMarkDirtyFrom(row);
        if (TAFDocument* d = std::exchange(other, nullptr))
            d->FoldLine(0);
    }
};

// A long paragraph folded at wrap, with text typed at its front: every row of it moves.
void TypeAtFront(TAFDocument& d, TAFDocumentHost& host, const std::string& text, int wrap, const char* typed)
{
    d.SetHost(&host);
    d.DefWrapPos() = wrap;
    LoadFolded(d, text);
    ++d.UndoGroupId();
    d.ApplyLineChange(0, Ansi(typed) + d.GetLine(0));
}
} // namespace

TEST(AFDocument, AOnePassRefoldThatTheViewInterruptsWithAnotherComesOutAsEachAlone)
{
    std::string outer, inner;
    for (int i = 0; i < 400; ++i)
        outer += i % 7 ? "ab" : "漢字\t";
    for (int i = 0; i < 300; ++i)
        inner += i % 5 ? "xyz" : "かな";
    auto alone = [](const std::string& text, int wrap, const char* typed, std::string& log) {
        TWatchingHost host(true);
        TAFDocument d;
        TypeAtFront(d, host, text, wrap, typed);
        d.FoldLine(0);
        log = host.log;
        std::string s = DocumentText(d);
        d.UndoGroup();
        return s + "\n" + DocumentText(d);
    };
    std::string outerLog, innerLog;
    const std::string outerAlone = alone(outer + "\r", 13, "wxyzwxyzwxyzwxyz", outerLog);
    const std::string innerAlone = alone(inner + "\r", 11, "qqqqqqqqqqqq", innerLog);

    TRefoldingViewHost host;
    TWatchingHost innerHost(true);
    TAFDocument d, other;
    TypeAtFront(d, host, outer + "\r", 13, "wxyzwxyzwxyzwxyz");
    TypeAtFront(other, innerHost, inner + "\r", 11, "qqqqqqqqqqqq");
    host.other = &other;
    d.FoldLine(0);
    ASSERT_EQ(host.other, nullptr); // the view did fold the other text in the middle
    std::string s = DocumentText(d);
    EXPECT_EQ(host.log, outerLog);
    d.UndoGroup();
    EXPECT_EQ(s + "\n" + DocumentText(d), outerAlone);
    s = DocumentText(other);
    other.UndoGroup();
    EXPECT_EQ(s + "\n" + DocumentText(other), innerAlone);
    EXPECT_EQ(innerHost.log, innerLog);
}

// Rows handed to the document: a plain row list takes the built list's slots over (the rows are
// never held twice, and its watchers hear one change), a list of another kind is told each row.
namespace
{
class TCountingList : public TStringList
{
public:
    int adds = 0;
    int appended = 0;
    int Add(const AnsiString& s) override
    {
        ++adds;
        return TStringList::Add(s);
    }

protected:
    void Appended(int, int count) override { appended += count; }
};

struct TChangeCount
{
    int changing = 0;
    int changed = 0;
    void Changing(TObject*) { ++changing; }
    void Changed(TObject*) { ++changed; }
};
} // namespace

// A word-break handler that folds a text of its own, in the middle of a folded load's decision.
namespace
{
class TRefoldingHost : public TAFDocumentHost
{
public:
    int calls = 0;
    bool DocWordBreak(const AnsiString&, int&) override
    {
        ++calls;
        TAFDocument other;
        other.DefWrapPos() = 10;
        other.TabSize() = 2;
        FoldedRows(other, "\tanother\ttext that\tfolds into\tmany rows\r\tand more\r");
        return false;
    }
};
} // namespace

TEST(AFDocument, AFoldedLoadCutsTheSameWhenAWordBreakHandlerFoldsAnotherTextMeanwhile)
{
    auto rowsOf = [](TAFDocumentHost* host) {
        TAFDocument d;
        if (host)
            d.SetHost(host);
        d.DefWrapPos() = 12;
        d.TabSize() = 4;
        return FoldedRows(d, "ab\tcd\tef 0123456789 gh\tij\r漢字\tかな漢字かな漢字\tかな\r");
    };
    TRefoldingHost host;
    const auto alone = rowsOf(nullptr);
    EXPECT_EQ(rowsOf(&host), alone);
    EXPECT_GT(host.calls, 0);
    EXPECT_GT(alone.size(), 4u);
}

TEST(AFDocument, TakenRowsMoveIntoTheRowListAndADerivedListHearsOfEachOfThem)
{
    for (bool plain : {true, false})
    {
        TAFDocument d;
        auto* counting = plain ? nullptr : new TCountingList();
        if (counting)
            d.SetLines(counting);
        d.Lines()->Add("old");
        if (counting)
            counting->adds = 0;
        TChangeCount count;
        auto* list = static_cast<TStringList*>(d.Lines());
        list->OnChanging = TNotifyEvent(&count, &TChangeCount::Changing);
        list->OnChange = TNotifyEvent(&count, &TChangeCount::Changed);
        TStringList lines;
        lines.SetCapacity(5000);
        for (int i = 0; i < 3000; ++i)
            lines.Add(AnsiString(std::to_string(i).c_str()));
        d.TakeRows(lines);
        ASSERT_EQ(d.GetLinesCount(), 3000) << plain;
        EXPECT_EQ(d.GetLine(2999).str(), "2999");
        EXPECT_EQ(count.changing, 1);
        EXPECT_EQ(count.changed, 1);
        EXPECT_EQ(d.Lines()->GetCapacity(), 5000); // the built list's slots, not a copy of them
        EXPECT_EQ(lines.GetCount(), 0);
        if (counting)
        {
            EXPECT_EQ(counting->appended, 3000);
            EXPECT_EQ(counting->adds, 0);
        }
    }
}
