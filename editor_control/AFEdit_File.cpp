// Loading and saving the editor's content: Shift-JIS text files and the raw document stream.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditText.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kReadBlock = 65536;
constexpr int kRawHeaderSize = 268;
// Longest row a text load creates from a line without a line end (without folding).
constexpr int kMaxPiece = 65536;

// Reads a byte stream as lines. A line keeps its line end as one CR byte; CR, LF, CR LF and LF CR
// all count as one line end, also when the two bytes arrive in different blocks. The text ends at
// its first NUL byte.
class TLineReader
{
public:
    explicit TLineReader(TStream* stream) : stream_(stream), start_(stream->GetPosition()) {}

    // False at the end of the text.
    bool Next(AnsiString& line)
    {
        for (;;)
        {
            if (pos_ >= end_ && !Fill())
                return false;
            if (stopped_ && pos_ >= nulAt_)
                return false;
            const char* b = buf_.data();
            size_t limit = stopped_ ? nulAt_ : end_;
            size_t i = pos_;
            while (i < limit && b[i] != '\r' && b[i] != '\n' && b[i] != '\0')
                ++i;
            if (i < limit)
            {
                char c = b[i];
                if (c == '\0')
                {
                    stopped_ = true;
                    nulAt_ = i;
                    nulOffset_ = start_ + consumed_ + int64_t(i);
                    if (i == pos_)
                        return false;
                    line = AnsiString(b + pos_, int(i - pos_));
                    pos_ = i;
                    return true;
                }
                // The partner byte of a two-byte line end may still be in the stream.
                if (i + 1 >= end_ && !eof_)
                {
                    Fill();
                    continue;
                }
                line = AnsiString(b + pos_, int(i - pos_));
                line += '\r';
                size_t next = i + 1;
                char partner = c == '\r' ? '\n' : '\r';
                if (next < end_ && b[next] == partner && !(stopped_ && next >= nulAt_))
                    ++next;
                pos_ = next;
                return true;
            }
            if (!eof_)
            {
                Fill();
                continue;
            }
            if (pos_ >= end_)
                return false;
            line = AnsiString(b + pos_, int(end_ - pos_));
            pos_ = end_;
            return true;
        }
    }

    bool Truncated() const { return stopped_; }
    int64_t NulOffset() const { return nulOffset_; }

private:
    // Keeps the unread bytes and appends the next block. False when nothing more came.
    bool Fill()
    {
        if (eof_)
            return false;
        if (pos_ > 0)
        {
            std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
            consumed_ += int64_t(pos_);
            end_ -= pos_;
            if (stopped_)
                nulAt_ -= pos_;
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

    TStream* stream_;
    int64_t start_;
    int64_t consumed_ = 0;
    std::vector<char> buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool stopped_ = false;
    size_t nulAt_ = 0;
    int64_t nulOffset_ = -1;
};

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

std::wstring WidePath(const AnsiString& path) { return SjisToWide(path); }

[[noreturn]] void RaiseCreateError(const AnsiString& path, DWORD err)
{
    throw EFCreateError("Cannot create file \"" + path + "\". " + SysErrorMessage(err), int(err));
}
} // namespace

// ---- loading ----------------------------------------------------------------------------------

void TCustomAFEdit::LoadFromStream(TStream* stream, TConvMode modes)
{
    // Everything is read into new lists first: a read error leaves the editor as it was.
    auto lines = std::make_unique<TStringList>();
    std::vector<TAttrListItem> attrs;
    TLoadTruncation truncation;
    int longest = 0;
    int savedLongest = FLongestLine;
    FLongestLine = 0;

    TAttrListItem def = MakeAttr(true, 0, FDefWrapPos);
    const bool fold = modes.Contains(cmFoldLine);

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
                lines->SetCapacity(count);
                attrs.reserve(size_t(count));
                size_t p = 0;
                for (int32_t i = 0; i < count; ++i)
                {
                    size_t lf = p < text.size() ? text.find('\n', p) : std::string::npos;
                    size_t e = lf == std::string::npos ? text.size() : lf;
                    if (p > text.size())
                        p = text.size();
                    AnsiString row(text.data() + p, int(e - p));
                    p = lf == std::string::npos ? text.size() : lf + 1;
                    TAttrListItem rec = TAttrListItem::FromImage(&images[size_t(i) * kAttrImageSize]);
                    if (rec.WrapPos < 10)
                        rec.WrapPos = uint16_t(FDefWrapPos);
                    int maxIndent = std::max(0, int(rec.WrapPos) - 8);
                    rec.Indent = int16_t(std::clamp(int(rec.Indent), 0, maxIndent));
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
                        FoldParagraphInto(lines.get(), attrs, para, rec);
                    }
                    else
                    {
                        lines->Add(row);
                        attrs.push_back(rec);
                        NoteLineWidth(row.Length());
                    }
                }
            }
        }
        else
        {
            int64_t size = stream->GetSize() - stream->GetPosition();
            if (size > 0)
            {
                int64_t estimate = std::min<int64_t>(size / 30 + 16, 64 * 1024 * 1024);
                lines->SetCapacity(int(estimate));
                attrs.reserve(size_t(estimate));
            }
            TLineReader reader(stream);
            AnsiString line;
            std::string expanded;
            const int maxIndent = std::max(0, FDefWrapPos - 8);
            const int tabsThatFit = maxIndent / std::max(1, FTabSize);
            while (reader.Next(line))
            {
                if (modes.Contains(cmTabToSp))
                {
                    expanded.clear();
                    AppendTabExpansion(expanded, line.c_str(), line.Length(), FTabSize, true);
                    line = AnsiString(expanded.data(), int(expanded.size()));
                }
                TAttrListItem rec = def;
                if (modes.Contains(cmTabToIndent))
                {
                    // Only as many leading tabs as fit below the wrap become indent; the last
                    // byte of a row is never taken.
                    int k = 0;
                    int n = line.Length();
                    const char* s = line.c_str();
                    while (k < n - 1 && s[k] == '\t' && k < tabsThatFit)
                        ++k;
                    if (k > 0)
                    {
                        line = line.SubString(k + 1, n - k);
                        rec.Indent = int16_t(k * FTabSize);
                    }
                }
                if (fold)
                    FoldParagraphInto(lines.get(), attrs, line, rec);
                else
                {
                    // A line longer than a row holds is kept as pieces, never splitting a character.
                    const char* s = line.c_str();
                    int n = line.Length();
                    int off = 0;
                    int content = n > 0 && s[n - 1] == '\r' ? n - 1 : n;
                    while (content - off > kMaxPiece)
                    {
                        int cut = kMaxPiece;
                        if (ByteTypeAt(s + off, n - off, cut) == mbTrailByte)
                            --cut;
                        lines->Add(AnsiString(s + off, cut));
                        attrs.push_back(rec);
                        NoteLineWidth(cut);
                        off += cut;
                    }
                    lines->Add(off == 0 ? line : AnsiString(s + off, n - off));
                    attrs.push_back(rec);
                    NoteLineWidth(n - off);
                }
            }
            if (reader.Truncated())
            {
                truncation.Truncated = true;
                truncation.ByteOffset = reader.NulOffset();
            }
        }
    }
    catch (...)
    {
        FLongestLine = savedLongest;
        throw;
    }
    longest = FLongestLine;

    // The last row never ends a paragraph.
    int n = lines->GetCount();
    if (n == 0 || (lines->Get(n - 1).Length() > 0 && lines->Get(n - 1)[lines->Get(n - 1).Length()] == '\r'))
    {
        lines->Add(AnsiString());
        attrs.push_back(attrs.empty() ? def : attrs.back());
        attrs.back().ColAttr = nullptr;
        attrs.back().Dirty = true;
    }

    // Commit.
    FBlkAttrs->Clear();
    FAttrs->Clear();
    TakeRows(*lines);
    lines.reset();
    FAttrs->SetCapacity(int(attrs.size()));
    for (auto& rec : attrs)
    {
        rec.ColAttr = nullptr;
        FAttrs->Add(rec);
    }
    FTopLine = 0;
    FLongestLine = longest;
    FLoadTruncation = truncation;
    FSelArea->RowReset();
    FSelArea->PutStartPoint(TPoint());
    FSelArea->PutEndPoint(TPoint());
    FUndo->Reset();
    FireUndoChange(FUndo->Kept(), false);
    FUndoGroupId = 0;
    FCaret = TPoint(0, 0);
    Invalidate();
    SetCaretPosition();
    SetScrollBars(ScrollBars);
}

void TCustomAFEdit::LoadFromFile(const AnsiString& path, TConvMode modes)
{
    TFileStream stream(path, fmOpenRead);
    LoadFromStream(&stream, modes);
    EditFilePath = path;
}

void TCustomAFEdit::SetText(const AnsiString& text)
{
    TStringStream stream(text);
    LoadFromStream(&stream, TConvMode());
}

AnsiString TCustomAFEdit::GetText()
{
    int n = GetLinesCount();
    int64_t total = 0;
    for (int i = 0; i < n; ++i)
        total += FLines->Get(i).Length() + 1;
    AnsiString out;
    out.Reserve(int(std::min<int64_t>(total, 0x7FFFFF00)));
    for (int i = 0; i < n; ++i)
    {
        AnsiString row = FLines->Get(i);
        out += row;
        if (isCrLine(i))
            out += '\n';
    }
    return out;
}

// ---- saving -----------------------------------------------------------------------------------

void TCustomAFEdit::SaveToStream(TStream* stream, TConvMode modes)
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
        int indent = FAttrs->GetItem(i)->Indent;
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
            FAttrs->GetItem(i)->ToImage(image);
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

void TCustomAFEdit::SaveToFile(const AnsiString& path, TConvMode modes)
{
    SaveFileSafely(path, modes);
    FUndo->MarkSaved();
    EditFilePath = path;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
        FFileDate = FileTimeToDateTime(data.ftLastWriteTime);
}

// Writes a temporary file beside the target and swaps it in, so a failed save never damages the
// file on disk.
void TCustomAFEdit::SaveFileSafely(const AnsiString& path, TConvMode modes)
{
    std::wstring target = WidePath(path);
    if (target.empty())
        RaiseCreateError(path, ERROR_INVALID_NAME);

    AnsiString dir = ExtractFilePath(path);
    std::wstring wdir = dir.IsEmpty() ? std::wstring(L".") : WidePath(dir);
    wchar_t tempName[MAX_PATH + 16];
    if (!GetTempFileNameW(wdir.c_str(), L"vn", 0, tempName))
        RaiseCreateError(path, GetLastError());
    AnsiString tempPath = WideToSjis(tempName, int(wcslen(tempName)));

    auto removeTemp = [&]() { DeleteFileW(tempName); };
    try
    {
        TFileStream stream(tempPath, fmCreate | fmShareExclusive);
        SaveToStream(&stream, modes);
        stream.Flush();
    }
    catch (...)
    {
        removeTemp();
        throw;
    }

    DWORD attrs = GetFileAttributesW(target.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
    {
        if (MoveFileExW(tempName, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        DWORD err = GetLastError();
        removeTemp();
        RaiseCreateError(path, err);
    }
    if (attrs & FILE_ATTRIBUTE_READONLY)
    {
        removeTemp();
        RaiseCreateError(path, ERROR_ACCESS_DENIED);
    }
    if (ReplaceFileW(target.c_str(), tempName, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return;
    DWORD err = GetLastError();
    bool heldOpen = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
                    err == ERROR_UNABLE_TO_REMOVE_REPLACED || err == ERROR_ACCESS_DENIED;
    if (!heldOpen)
    {
        removeTemp();
        RaiseCreateError(path, err);
    }

    // Another program holds the file open: write it in place. The temporary copy stays until that
    // write has succeeded, so the text survives a failure there.
    HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        DWORD openErr = GetLastError(); // nothing was written: the file is as it was
        removeTemp();
        RaiseCreateError(path, openErr);
    }
    try
    {
        THandleStream stream(h);
        SaveToStream(&stream, modes);
        if (!SetEndOfFile(h) || !FlushFileBuffers(h))
            RaiseLastOSError();
    }
    catch (const Exception& e)
    {
        CloseHandle(h);
        throw EWriteError(e.Message + " The text was kept in \"" + tempPath + "\".");
    }
    CloseHandle(h);
    removeTemp();
}

// The rows become those of lines, told to the line list's watchers as one change.
void TCustomAFEdit::TakeRows(TStringList& lines)
{
    FLines->BeginUpdate();
    try
    {
        FLines->Clear();
        FLines->SetCapacity(lines.GetCount());
        for (int i = 0; i < lines.GetCount(); ++i)
            FLines->Add(lines.Get(i));
    }
    catch (...)
    {
        FLines->EndUpdate();
        throw;
    }
    FLines->EndUpdate();
}
