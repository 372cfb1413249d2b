// The floor of opening a text: ReadFile in large blocks that stay as the text's storage, lines split
// at LF (a CR before it dropped) and one small record per line. What opening a file cannot do with
// less.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct TFloorRow
{
    const char* text;
    uint32_t length;
};

// Rows in chunks, so that growing never copies nor doubles the records.
class TFloorDoc
{
public:
    void Add(const char* text, uint32_t length)
    {
        if (used_ == kChunk || chunks_.empty())
        {
            chunks_.emplace_back(new TFloorRow[kChunk]);
            used_ = 0;
        }
        chunks_.back()[used_++] = TFloorRow{text, length};
        ++rows_;
    }
    const TFloorRow& Row(size_t i) const { return chunks_[i / kChunk][i % kChunk]; }
    std::vector<std::unique_ptr<char[]>> blocks;
    size_t Rows() const { return rows_; }

private:
    static constexpr size_t kChunk = 65536;
    std::vector<std::unique_ptr<TFloorRow[]>> chunks_;
    size_t used_ = 0;
    size_t rows_ = 0;
};

// Reads in 4 MB blocks; a line that runs past a block is carried to the front of the next one.
inline bool FloorLoad(const std::wstring& path, TFloorDoc& doc)
{
    constexpr size_t kBlock = 4 * 1024 * 1024;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    const char* carry = nullptr;
    size_t carryLen = 0;
    for (;;)
    {
        const size_t size = std::max(kBlock, carryLen * 2);
        std::unique_ptr<char[]> block(new char[size]);
        if (carryLen)
            std::memcpy(block.get(), carry, carryLen);
        DWORD got = 0;
        if (!ReadFile(f, block.get() + carryLen, DWORD(size - carryLen), &got, nullptr))
            break;
        char* p = block.get();
        char* const end = p + carryLen + got;
        for (;;)
        {
            auto* nl = static_cast<char*>(std::memchr(p, '\n', size_t(end - p)));
            if (!nl)
                break;
            const char* e = nl > p && nl[-1] == '\r' ? nl - 1 : nl;
            doc.Add(p, uint32_t(e - p));
            p = nl + 1;
        }
        carry = p;
        carryLen = size_t(end - p);
        doc.blocks.push_back(std::move(block));
        if (got == 0)
            break;
    }
    if (carryLen)
        doc.Add(carry, uint32_t(carryLen));
    CloseHandle(f);
    return true;
}
