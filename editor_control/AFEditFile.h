// The text file reader and the save's writer seam of the editor control, and the texts of its save
// failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/AnsiString.h"

class TStream;

// Reads a byte stream as lines. A line keeps its line end as one CR byte; CR, LF, CR LF and LF CR
// all count as one line end, also when the two bytes arrive in different blocks. The text ends at
// its first NUL byte. Every byte is looked at once, however long its line.
class TLineReader
{
public:
    explicit TLineReader(TStream* stream);

    // False at the end of the text.
    bool Next(AnsiString& line);
    // The same, as a view of the reader's buffer valid until the next call.
    bool Next(std::string_view& line);

    bool Truncated() const { return stopped_; }
    int64_t NulOffset() const { return nulOffset_; }
    // Bytes the line-end search has looked at so far.
    int64_t Scanned() const { return scanned_; }

private:
    // Keeps the unread bytes and appends the next block. False when nothing more came.
    bool Fill();

    TStream* stream_;
    int64_t start_;
    int64_t consumed_ = 0;
    std::vector<char> buf_;
    size_t pos_ = 0;  // start of the unfinished line
    size_t scan_ = 0; // pos_..scan_ hold no line end and no NUL
    size_t end_ = 0;
    bool eof_ = false;
    bool stopped_ = false;
    int64_t nulOffset_ = -1;
    int64_t scanned_ = 0;
};

// The writes of a save go through this, so a test can run a disk full part-way or fail writes.
class TSaveWriter
{
public:
    virtual ~TSaveWriter() = default;
    // As WriteFile at the handle's position: false with the error in GetLastError.
    virtual bool Write(void* handle, const void* data, unsigned long count, unsigned long& done);
};

TSaveWriter& SaveWriter();
// Installs a writer (nullptr: the plain one again) and returns the previous one.
TSaveWriter* SetSaveWriter(TSaveWriter* writer);

// Texts of the save's failures: which file, why (the system's text), and what became of the file.
inline constexpr const char* SSaveTargetIsFolder =
    "[%s]はフォルダーです。ファイルとして保存することはできません。別のファイル名を指定してください。";
inline constexpr const char* SSaveFailed = "ファイル[%s]を保存できませんでした。%s";
inline constexpr const char* SSaveOriginalIntact = "元のファイルは変更されていません。";
inline constexpr const char* SSaveNothingCreated = "ファイルは作成されていません。";
inline constexpr const char* SSaveTextKept = "保存しようとした内容は一時ファイル[%s]に残してあります。";
inline constexpr const char* SSaveOverwriteBroken =
    "ファイル[%s]の上書きが途中で失敗したため、ファイルの内容は不完全です。%s";
inline constexpr const char* SSaveReadOnly = "ファイルは読み取り専用です。";
