// Loading and saving the editor's content: Shift-JIS text files and the raw document stream.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor_control/AFEdit.h"
#include "editor_control/AFEditFile.h"
#include "editor_control/AFEditText.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kReadBlock = 65536;
constexpr int kRawHeaderSize = 268;
// Longest row a text load creates from a line without a line end (without folding).
constexpr int kMaxPiece = 65536;

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

// Writes all count bytes through the seam. False with the system's error.
bool WriteAll(HANDLE h, const char* data, unsigned long count, DWORD& error)
{
    unsigned long written = 0;
    while (written < count)
    {
        unsigned long done = 0;
        if (!SaveWriter().Write(h, data + written, count - written, done))
        {
            error = GetLastError();
            return false;
        }
        if (done == 0)
        {
            error = ERROR_DISK_FULL; // a file takes less than asked only when the disk is full
            return false;
        }
        written += done;
    }
    return true;
}

// A save's stream over a file handle: a failed write says why in the system's words.
class TSaveStream : public THandleStream
{
public:
    explicit TSaveStream(HANDLE h) : THandleStream(h) {}
    int Write(const void* buffer, int count) override
    {
        DWORD error = 0;
        if (count > 0 && !WriteAll(handle_, static_cast<const char*>(buffer), (unsigned long)count, error))
            throw EWriteError(SysErrorMessage(error));
        return count;
    }
};

// Which file, why, and that the file on disk is as it was (or that none was made).
AnsiString SaveFailureText(const AnsiString& path, const AnsiString& reason, bool existed)
{
    return Format(SSaveFailed, {path, reason}) + "\n" + (existed ? SSaveOriginalIntact : SSaveNothingCreated);
}

// A new empty file beside path, named vnXXXXXXXX.tmp; its path is sized from path, never fixed.
HANDLE CreateTempBeside(const AnsiString& path, AnsiString& tempPath, DWORD& error)
{
    static unsigned counter = 0;
    const AnsiString dir = ExtractFilePath(path);
    const unsigned seed = GetTickCount() ^ (GetCurrentProcessId() << 12);
    error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 64; ++attempt)
    {
        tempPath = dir + "vn" + IntToHex(int(seed + 2654435761u * ++counter), 8) + ".tmp";
        HANDLE h = CreateFileW(WideFilePath(tempPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            return h;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

bool SeekTo(HANDLE h, int64_t pos)
{
    LARGE_INTEGER at;
    at.QuadPart = pos;
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) != 0;
}

// Copies count bytes at offset from one file to the same offset of another, the writes through
// the seam. False with the system's error.
bool CopyRange(HANDLE from, HANDLE to, int64_t offset, int64_t count, DWORD& error)
{
    if (!SeekTo(from, offset) || !SeekTo(to, offset))
    {
        error = GetLastError();
        return false;
    }
    char buf[65536]; // no allocation: this runs while a file is half-written
    while (count > 0)
    {
        DWORD want = DWORD(std::min<int64_t>(count, int64_t(sizeof buf)));
        DWORD got = 0;
        if (!ReadFile(from, buf, want, &got, nullptr))
        {
            error = GetLastError();
            return false;
        }
        if (got != want)
        {
            error = ERROR_HANDLE_EOF; // the copy is shorter than it was written
            return false;
        }
        if (!WriteAll(to, buf, got, error))
            return false;
        count -= got;
    }
    return true;
}

int64_t FileSizeOf(HANDLE h)
{
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) ? size.QuadPart : -1;
}

TSaveWriter plainWriter;
TSaveWriter* currentWriter = &plainWriter;
} // namespace

// ---- the line reader --------------------------------------------------------------------------

TLineReader::TLineReader(TStream* stream) : stream_(stream), start_(stream->GetPosition()) {}

bool TLineReader::Next(AnsiString& line)
{
    for (;;)
    {
        // The search resumes where the last one stopped: a line longer than a block is not
        // looked at again after each refill.
        const char* b = buf_.data();
        size_t i = scan_;
        while (i < end_ && b[i] != '\r' && b[i] != '\n' && b[i] != '\0')
            ++i;
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
            char c = b[i];
            line = AnsiString(b + pos_, int(i - pos_));
            line += '\r';
            size_t next = i + 1;
            char partner = c == '\r' ? '\n' : '\r';
            if (next < end_ && b[next] == partner)
                ++next;
            pos_ = scan_ = next;
            return true;
        }
        if (Fill())
            continue;
        if (pos_ >= end_)
            return false;
        line = AnsiString(buf_.data() + pos_, int(end_ - pos_));
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

// ---- loading ----------------------------------------------------------------------------------

void TCustomAFEdit::LoadFromStream(TStream* stream, TConvMode modes)
{
    // Everything is built first, the rows and their records; only then is it swapped in, by steps
    // that cannot fail. A failure before the swap (a read error, memory running out) leaves the
    // editor as it was.
    auto lines = std::make_unique<TStringList>();
    auto records = std::make_unique<TAttrList>();
    std::vector<TAttrListItem> attrs; // the records of the rows of one line, then moved to records
    TLoadTruncation truncation;
    int longest = 0;
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
    auto reserve = [&](int64_t rows) {
        rows = std::min<int64_t>(rows, 64 * 1024 * 1024);
        lines->SetCapacity(int(rows));
        records->SetCapacity(int(rows));
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
                reserve(count);
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
                        FoldParagraphInto(lines.get(), attrs, para, rec);
                    }
                    else
                    {
                        lines->Add(row);
                        attrs.push_back(rec);
                        NoteLineWidth(row.Length());
                    }
                    keepAttrs();
                }
            }
        }
        else
        {
            int64_t size = stream->GetSize() - stream->GetPosition();
            if (size > 0)
                reserve(size / 30 + 16);
            TLineReader reader(stream);
            AnsiString line;
            std::string expanded;
            const int tabsThatFit = MaxIndentFor(FDefWrapPos) / std::max(1, FTabSize);
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
                keepAttrs();
            }
            if (reader.Truncated())
            {
                truncation.Truncated = true;
                truncation.ByteOffset = reader.NulOffset();
            }
        }

        // The last row never ends a paragraph. The row added for that starts a paragraph of its
        // own: it takes no indent from the line before.
        int n = lines->GetCount();
        if (n == 0 || (lines->Get(n - 1).Length() > 0 && lines->Get(n - 1)[lines->Get(n - 1).Length()] == '\r'))
        {
            TAttrListItem rec = n == 0 ? def : *records->GetItem(n - 1);
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
    longest = FLongestLine;

    // Commit: once the rows are taken, nothing can fail.
    TakeRows(*lines);
    FBlkAttrs->Clear();
    FAttrs->Swap(*records);
    FTopLine = 0;
    FLongestLine = longest;
    FLoadTruncation = truncation;
    FSelArea->RowReset();
    FSelArea->PutStartPoint(TPoint());
    FSelArea->PutEndPoint(TPoint());
    FUndo->Reset();
    FUndoGroupId = 0;
    FCaret = TPoint(0, 0);
    // The old rows go now; then the parts that tell others of the new content.
    lines.reset();
    records.reset();
    FireUndoChange(FUndo->Kept(), false);
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
    if (GetFileAttributesExW(WideFilePath(path).c_str(), GetFileExInfoStandard, &data))
        FFileDate = FileTimeToDateTime(data.ftLastWriteTime);
}

// ---- the writer seam ----------------------------------------------------------------------------

bool TSaveWriter::Write(void* handle, const void* data, unsigned long count, unsigned long& done)
{
    DWORD n = 0;
    BOOL ok = WriteFile(handle, data, count, &n, nullptr);
    done = n;
    return ok != 0;
}

TSaveWriter& SaveWriter() { return *currentWriter; }

TSaveWriter* SetSaveWriter(TSaveWriter* writer)
{
    TSaveWriter* previous = currentWriter == &plainWriter ? nullptr : currentWriter;
    currentWriter = writer ? writer : &plainWriter;
    return previous;
}

// ---- writing a file safely ------------------------------------------------------------------------

// Writes a temporary file beside the target and swaps it in, so a failed save never damages the
// file on disk. Every failure names the file the user saved and says why.
void TCustomAFEdit::SaveFileSafely(const AnsiString& path, TConvMode modes)
{
    if (path.IsEmpty())
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(ERROR_INVALID_NAME), false), ERROR_INVALID_NAME,
                            path);
    const std::wstring target = WideFilePath(path);
    const DWORD attrs = GetFileAttributesW(target.c_str());
    const bool existed = attrs != INVALID_FILE_ATTRIBUTES;
    // Checked before anything is written: a folder is never moved aside to make room for a file.
    if (existed && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        throw EFCreateError(Format(SSaveTargetIsFolder, {path}), ERROR_ACCESS_DENIED, path);
    if (existed && (attrs & FILE_ATTRIBUTE_READONLY))
        throw EFCreateError(SaveFailureText(path, SSaveReadOnly, true), ERROR_ACCESS_DENIED, path);

    AnsiString tempPath;
    DWORD err = 0;
    HANDLE th = CreateTempBeside(path, tempPath, err);
    if (th == INVALID_HANDLE_VALUE)
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), existed), int(err), path);
    const std::wstring temp = WideFilePath(tempPath);
    int64_t newSize = 0;
    try
    {
        TSaveStream stream(th);
        SaveToStream(&stream, modes);
        if (!FlushFileBuffers(th))
            throw EWriteError(SysErrorMessage(GetLastError()));
        newSize = FileSizeOf(th);
    }
    catch (const std::bad_alloc&)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw EOutOfMemory(SaveFailureText(path, SOutOfMemory, existed));
    }
    catch (const Exception& e)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw EWriteError(SaveFailureText(path, e.Message, existed));
    }
    catch (...)
    {
        CloseHandle(th);
        DeleteFileW(temp.c_str());
        throw;
    }
    CloseHandle(th);

    if (!existed)
    {
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        err = GetLastError();
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), false), int(err), path);
    }
    // A file another program holds without delete sharing cannot be replaced; it is written in
    // place instead, without trying (a failed replace may leave a file of its own behind).
    HANDLE probe = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE)
    {
        CloseHandle(probe);
        if (ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return;
    }
    err = GetLastError();
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
    {
        // The old file went but the new one did not take its place.
        if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        err = GetLastError();
        throw EWriteError(Format(SSaveFailed, {path, SysErrorMessage(err)}) + "\n" +
                          Format(SSaveTextKept, {tempPath}));
    }
    const bool held = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
                      err == ERROR_UNABLE_TO_REMOVE_REPLACED || err == ERROR_ACCESS_DENIED;
    if (!held)
    {
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), true), int(err), path);
    }
    WriteInPlace(path, tempPath, newSize);
    DeleteFileW(temp.c_str());
}

// Another program holds the file open, so it cannot be replaced: its bytes are overwritten with
// those of the temporary copy. The part past the old end is written first, before any old byte is
// touched: a disk too small fails there, and the file is cut back to what it was. The temporary
// copy stays until the whole text is in place, so a later failure still loses nothing.
void TCustomAFEdit::WriteInPlace(const AnsiString& path, const AnsiString& tempPath, int64_t newSize)
{
    const std::wstring temp = WideFilePath(tempPath);
    HANDLE h = CreateFileW(WideFilePath(path).c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        DWORD err = GetLastError();
        DeleteFileW(temp.c_str());
        throw EFCreateError(SaveFailureText(path, SysErrorMessage(err), true), int(err), path);
    }
    HANDLE src = CreateFileW(temp.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    const int64_t oldSize = FileSizeOf(h);
    DWORD err = 0;
    if (src == INVALID_HANDLE_VALUE || oldSize < 0 || newSize < 0)
    {
        err = GetLastError();
        if (src != INVALID_HANDLE_VALUE)
            CloseHandle(src);
        CloseHandle(h);
        DeleteFileW(temp.c_str());
        throw EWriteError(SaveFailureText(path, SysErrorMessage(err), true));
    }
    if (newSize > oldSize)
    {
        bool grown = CopyRange(src, h, oldSize, newSize - oldSize, err);
        if (grown && !FlushFileBuffers(h))
        {
            grown = false;
            err = GetLastError();
        }
        if (!grown)
        {
            if (SeekTo(h, oldSize))
                SetEndOfFile(h);
            CloseHandle(src);
            CloseHandle(h);
            throw EWriteError(SaveFailureText(path, SysErrorMessage(err), true) + "\n" +
                              Format(SSaveTextKept, {tempPath}));
        }
    }
    bool ok = CopyRange(src, h, 0, std::min(oldSize, newSize), err);
    if (ok && newSize < oldSize && !(SeekTo(h, newSize) && SetEndOfFile(h)))
    {
        ok = false;
        err = GetLastError();
    }
    if (ok && !FlushFileBuffers(h))
    {
        ok = false;
        err = GetLastError();
    }
    CloseHandle(src);
    CloseHandle(h);
    if (!ok)
        throw EWriteError(Format(SSaveOverwriteBroken, {path, SysErrorMessage(err)}) + "\n" +
                          Format(SSaveTextKept, {tempPath}));
}

// The rows become those of lines, told to the line list's watchers as a clear and an add of each
// row. Room for every row is made before the old rows go, so nothing after that can fail: either
// this throws with the rows as they were, or all the rows are in.
void TCustomAFEdit::TakeRows(TStringList& lines)
{
    auto* list = dynamic_cast<TStringList*>(FLines);
    TStringList room;
    room.SetCapacity(lines.GetCount());
    FLines->BeginUpdate();
    FLines->Clear();
    if (list)
        list->Swap(room);
    for (int i = 0; i < lines.GetCount(); ++i)
        FLines->Add(lines.Get(i));
    FLines->EndUpdate();
}
