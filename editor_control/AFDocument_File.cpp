// Reading a text or raw stream into rows and records, and writing them out again.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "editor_control/AFDocument.h"
#include "editor_control/AFEditFile.h"
#include "editor_control/AFEditText.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kReadBlock = 65536;
constexpr int kRawHeaderSize = 268;
// Longest row a text load creates from a line without a line end (without folding).
constexpr int kMaxPiece = 65536;
// Rows reserved before reading a text, at most.
constexpr int64_t kGuessedRows = 65536;

// Largest indent a row of this wrap position takes; the record's field is 16 bits.
int MaxIndentFor(int wrapPos) { return std::clamp(wrapPos - 8, 0, int(INT16_MAX)); }

int32_t ReadI32(const unsigned char* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void WriteI32(unsigned char* p, int32_t v)
{
    uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i)
        p[i] = (u >> (8 * i)) & 0xFF;
}

// Collects output and writes it in large blocks.
class TBlockWriter
{
public:
    explicit TBlockWriter(TStream* stream) : stream_(stream) { buf_.reserve(kBlock); }
    void Put(const char* data, size_t len)
    {
        if (buf_.size() + len > kBlock)
            Flush();
        if (len >= kBlock)
            stream_->WriteBuffer(data, int(len));
        else
            buf_.append(data, len);
    }
    void Put(const std::string& s) { Put(s.data(), s.size()); }
    void Flush()
    {
        if (!buf_.empty())
            stream_->WriteBuffer(buf_.data(), int(buf_.size()));
        buf_.clear();
    }

private:
    static constexpr size_t kBlock = 1 << 20;
    TStream* stream_;
    std::string buf_;
};

} // namespace

TLineReader::TLineReader(TStream* stream) : stream_(stream), start_(stream->GetPosition()) {}

namespace
{
// Where the first CR, LF or NUL of b[i..end) is, or end: four bytes at a time. All three are below
// 14, so one test passes most words; a tab fails it. In a word that holds one, the lowest byte
// flagged is the first match (a borrow only runs on from a byte that matched), so short lines
// need no byte-by-byte look.
size_t FindLineEnd(const char* b, size_t i, size_t end)
{
    static_assert(std::endian::native == std::endian::little);
    auto hasZero = [](uint32_t x) { return (x - 0x01010101u) & ~x & 0x80808080u; };
    for (; i + 4 <= end; i += 4)
    {
        uint32_t w;
        std::memcpy(&w, b + i, 4);
        if ((w - 0x0E0E0E0Eu) & ~w & 0x80808080u)
        {
            const uint32_t m = hasZero(w) | hasZero(w ^ 0x0D0D0D0Du) | hasZero(w ^ 0x0A0A0A0Au);
            if (m)
                return i + size_t(std::countr_zero(m) >> 3);
        }
    }
    while (i < end && b[i] != '\r' && b[i] != '\n' && b[i] != '\0')
        ++i;
    return i;
}
} // namespace

bool TLineReader::Next(AnsiString& line)
{
    std::string_view v;
    if (!Next(v))
        return false;
    // Into the caller's buffer when nobody else holds it: a line read is most often dropped once
    // its rows are made.
    const int n = int(v.size());
    line.Reserve(n);
    line.SetLength(n);
    std::memcpy(line.Unique(), v.data(), size_t(n));
    return true;
}

bool TLineReader::Next(std::string_view& line)
{
    for (;;)
    {
        // The search resumes where the last one stopped: a line longer than a block is not
        // looked at again after each refill.
        char* b = buf_.data();
        const size_t i = FindLineEnd(b, scan_, end_);
        scanned_ += int64_t(i - scan_);
        scan_ = i;
        if (i < end_ && b[i] == '\0')
        {
            // The text ends here: what follows is never read.
            stopped_ = true;
            nulOffset_ = start_ + consumed_ + int64_t(i);
            end_ = i;
        }
        if (i < end_)
        {
            // The partner byte of a two-byte line end may still be in the stream.
            if (i + 1 >= end_ && !eof_ && !stopped_)
            {
                Fill(); // moves the bytes: scan again from the line end
                continue;
            }
            const char c = b[i];
            // The line end becomes a CR, in place: the bytes up to it are never read again.
            b[i] = '\r';
            line = std::string_view(b + pos_, i - pos_ + 1);
            size_t next = i + 1;
            const char partner = c == '\r' ? '\n' : '\r';
            if (next < end_ && b[next] == partner)
                ++next;
            pos_ = scan_ = next;
            return true;
        }
        if (Fill())
            continue;
        if (pos_ >= end_)
            return false;
        line = std::string_view(buf_.data() + pos_, end_ - pos_);
        pos_ = scan_ = end_;
        return true;
    }
}

bool TLineReader::Fill()
{
    if (eof_ || stopped_)
        return false;
    if (pos_ > 0)
    {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        consumed_ += int64_t(pos_);
        end_ -= pos_;
        scan_ -= pos_;
        pos_ = 0;
    }
    if (buf_.size() < end_ + kReadBlock)
        buf_.resize(std::max(buf_.size() * 2, end_ + kReadBlock));
    int got = stream_->Read(buf_.data() + end_, kReadBlock);
    if (got <= 0)
    {
        eof_ = true;
        return false;
    }
    end_ += size_t(got);
    return true;
}

void TRowChunks::NextChunk()
{
    // Small at first, so a short text or a single paragraph takes little.
    chunks_.emplace_back();
    chunks_.back().reserve(std::clamp(size_t(count_), size_t(256), kRows));
}

void TRowChunks::MoveInto(TStringList& list, int extra)
{
    const int64_t total = list.GetCount() + count_ + extra;
    if (total >= INT_MAX)
        throw EOutOfMemory(SOutOfMemory);
    if (total > list.GetCapacity())
        list.SetCapacity(int(total));
    // A list of a derived kind hears of the rows through its append hook.
    for (std::vector<AnsiString>& chunk : chunks_)
    {
        list.AppendMoving(chunk.data(), int(chunk.size()));
        std::vector<AnsiString>().swap(chunk);
    }
    chunks_.clear();
    count_ = 0;
}

void TAFDocument::ReadRows(TStream* stream, TConvMode modes, TStringList& lineList, TAttrList& recordList,
                           TLoadTruncation& truncation)
{
    TAttrList* records = &recordList;
    TRowChunks rows;
    TStringArena arena;
    struct TArenaUse
    {
        TStringArena*& slot;
        ~TArenaUse() { slot = nullptr; }
    } arenaUse{FArena};
    FArena = &arena;
    std::vector<TAttrListItem> attrs; // the records of the rows of one line, then moved to records
    int savedLongest = FLongestLine;
    FLongestLine = 0;

    TAttrListItem def = MakeAttr(true, 0, FDefWrapPos);
    const bool fold = modes.Contains(cmFoldLine);
    auto keepAttrs = [&]() {
        for (TAttrListItem& rec : attrs)
        {
            rec.ColAttr = nullptr;
            records->Add(rec);
        }
        attrs.clear();
    };

    try
    {
        if (modes.Contains(cmRaw))
        {
            int64_t start = stream->GetPosition();
            int64_t size = stream->GetSize() - start;
            unsigned char header[kRawHeaderSize];
            bool valid = false;
            int32_t count = 0;
            int64_t attrOffset = 0;
            if (size >= kRawHeaderSize)
            {
                stream->ReadBuffer(header, kRawHeaderSize);
                int64_t total = ReadI32(header);
                attrOffset = ReadI32(header + 4);
                count = ReadI32(header + 8);
                valid = total == size && count >= 0 && attrOffset >= kRawHeaderSize &&
                        attrOffset + int64_t(kAttrImageSize) * count == total;
            }
            if (valid)
            {
                int64_t textLen = attrOffset - kRawHeaderSize;
                std::string text(size_t(textLen), '\0');
                if (textLen > 0)
                    stream->ReadBuffer(text.data(), int(textLen));
                std::vector<unsigned char> images(size_t(count) * kAttrImageSize);
                if (count > 0)
                    stream->ReadBuffer(images.data(), int(images.size()));
                records->SetCapacity(count);
                size_t p = 0;
                for (int32_t i = 0; i < count; ++i)
                {
                    size_t lf = p < text.size() ? text.find('\n', p) : std::string::npos;
                    size_t e = lf == std::string::npos ? text.size() : lf;
                    if (p > text.size())
                        p = text.size();
                    AnsiString row = NewRowText(text.data() + p, int(e - p));
                    p = lf == std::string::npos ? text.size() : lf + 1;
                    TAttrListItem rec = TAttrListItem::FromImage(&images[size_t(i) * kAttrImageSize]);
                    if (rec.WrapPos < 10)
                        rec.WrapPos = uint16_t(FDefWrapPos);
                    rec.Indent = int16_t(std::clamp(int(rec.Indent), 0, MaxIndentFor(rec.WrapPos)));
                    if (fold)
                    {
                        // Re-wrap whole paragraphs: gather the pieces up to the one ending it.
                        AnsiString para = row;
                        while (!(para.Length() > 0 && para[para.Length()] == '\r') && i + 1 < count)
                        {
                            size_t lf2 = p < text.size() ? text.find('\n', p) : std::string::npos;
                            size_t e2 = lf2 == std::string::npos ? text.size() : lf2;
                            para += AnsiString(text.data() + p, int(e2 - p));
                            p = lf2 == std::string::npos ? text.size() : lf2 + 1;
                            ++i;
                        }
                        FoldParagraphInto(rows, attrs, para.view(), rec);
                    }
                    else
                    {
                        rows.Add(row);
                        attrs.push_back(rec);
                        NoteLineWidth(row.Length());
                    }
                    keepAttrs();
                }
            }
        }
        else
        {
            // The size only suggests how many rows come (a NUL can end the text early, lines can
            // be long): room for a small text at most, then the lists grow as rows come.
            int64_t size = stream->GetSize() - stream->GetPosition();
            if (size > 0)
                records->SetCapacity(int(std::min<int64_t>(size / 30 + 16, kGuessedRows)));
            TLineReader reader(stream);
            std::string_view line;
            std::string expanded;
            const int tabsThatFit = MaxIndentFor(FDefWrapPos) / std::max(1, FTabSize);
            while (reader.Next(line))
            {
                if (modes.Contains(cmTabToSp))
                {
                    expanded.clear();
                    AppendTabExpansion(expanded, line.data(), int(line.size()), FTabSize, true);
                    line = expanded;
                }
                TAttrListItem rec = def;
                if (modes.Contains(cmTabToIndent))
                {
                    // Only as many leading tabs as fit below the wrap become indent; the last
                    // byte of a row is never taken.
                    int k = 0;
                    const int n = int(line.size());
                    while (k < n - 1 && line[size_t(k)] == '\t' && k < tabsThatFit)
                        ++k;
                    if (k > 0)
                    {
                        line.remove_prefix(size_t(k));
                        rec.Indent = int16_t(k * FTabSize);
                    }
                }
                if (fold)
                    FoldParagraphInto(rows, attrs, line, rec);
                else
                {
                    // A line longer than a row holds is kept as pieces, never splitting a character.
                    const char* s = line.data();
                    int n = int(line.size());
                    int off = 0;
                    int content = n > 0 && s[n - 1] == '\r' ? n - 1 : n;
                    while (content - off > kMaxPiece)
                    {
                        int cut = kMaxPiece;
                        if (ByteTypeAt(s + off, n - off, cut) == mbTrailByte)
                            --cut;
                        rows.Add(NewRowText(s + off, cut));
                        attrs.push_back(rec);
                        NoteLineWidth(cut);
                        off += cut;
                    }
                    rows.Add(NewRowText(s + off, n - off));
                    attrs.push_back(rec);
                    NoteLineWidth(n - off);
                }
                keepAttrs();
            }
            if (reader.Truncated())
            {
                truncation.Truncated = true;
                truncation.ByteOffset = reader.NulOffset();
            }
        }

        rows.MoveInto(lineList, 1); // and room for the row that may follow
        // The last row never ends a paragraph. The row added for that starts a paragraph of its
        // own: it takes no indent from the line before.
        TStringList* lines = &lineList;
        int n = lines->GetCount();
        if (n == 0 || (lines->Get(n - 1).Length() > 0 && lines->Get(n - 1)[lines->Get(n - 1).Length()] == '\r'))
        {
            TAttrListItem rec = n == 0 ? def : records->Peek(n - 1);
            rec.Indent = 0;
            rec.ColAttr = nullptr;
            rec.Dirty = true;
            lines->Add(AnsiString());
            records->Add(rec);
        }
    }
    catch (...)
    {
        FLongestLine = savedLongest;
        throw;
    }
}

void TAFDocument::WriteRows(TStream* stream, TConvMode modes)
{
    const bool raw = modes.Contains(cmRaw);
    int64_t start = stream->GetPosition();
    if (raw)
        stream->Seek(start + kRawHeaderSize, soFromBeginning);

    TBlockWriter out(stream);
    std::string piece;
    std::string expanded;
    bool previousEnded = true;
    const int n = GetLinesCount();
    for (int i = 0; i < n; ++i)
    {
        AnsiString row = FLines->Get(i);
        if (raw)
        {
            out.Put(row.c_str(), size_t(row.Length()));
            out.Put("\n", 1);
            continue;
        }
        bool endsParagraph = row.Length() > 0 && row.c_str()[row.Length() - 1] == '\r';
        piece.clear();
        int indent = FAttrs->Peek(i).Indent;
        if (indent > 0 && (modes.Contains(cmFoldToCr) || previousEnded))
        {
            if (modes.Contains(cmIndentToTab))
                piece.append(size_t((indent + FTabSize - 1) / FTabSize), '\t');
            else
                piece.append(size_t(indent), ' '); // an indent is never dropped
        }
        piece.append(row.c_str(), size_t(row.Length()));
        if (modes.Contains(cmTabToSp))
        {
            expanded.clear();
            AppendTabExpansion(expanded, piece.data(), int(piece.size()), FTabSize, true);
            piece.swap(expanded);
        }
        if (endsParagraph)
            piece.push_back('\n');
        else if (modes.Contains(cmFoldToCr) && i + 1 < n)
            piece.append("\r\n");
        out.Put(piece);
        previousEnded = endsParagraph;
    }
    out.Flush();

    if (raw)
    {
        int64_t attrOffset = stream->GetPosition() - start;
        FAttrs->SetCount(std::max(FAttrs->GetCount(), n));
        unsigned char image[kAttrImageSize];
        std::string block;
        for (int i = 0; i < n; ++i)
        {
            FAttrs->Peek(i).ToImage(image);
            block.append(reinterpret_cast<const char*>(image), kAttrImageSize);
            if (block.size() >= (1u << 20))
            {
                stream->WriteBuffer(block.data(), int(block.size()));
                block.clear();
            }
        }
        if (!block.empty())
            stream->WriteBuffer(block.data(), int(block.size()));
        int64_t total = stream->GetPosition() - start;
        if (total > 0x7FFFFFFF)
            throw EWriteError("The document is too large for the raw format");
        unsigned char header[kRawHeaderSize] = {};
        WriteI32(header, int32_t(total));
        WriteI32(header + 4, int32_t(attrOffset));
        WriteI32(header + 8, n);
        stream->Seek(start, soFromBeginning);
        stream->WriteBuffer(header, kRawHeaderSize);
        stream->Seek(start + total, soFromBeginning);
    }
}
