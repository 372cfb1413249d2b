// The editor-lock password in its data file beside the program.
#include <array>
#include <cstring>

#include "common/English.h"
#include "common/FileTimeFixAccess.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"

namespace
{
constexpr int kLockBytes = kLockPasswordMax + 1; // the password and its NUL

constexpr std::array<int, kLockBytes> kPositions = {
    0x1a37, 0x0455, 0x6c02, 0x2f91, 0x7e1c, 0x00c6, 0x53e8, 0x3b4d, 0x12f0, 0x6609, 0x4862, 0x7203, 0x2bb7,
};
constexpr std::array<unsigned char, kLockBytes> kKey = {
    0x7b, 0x3e, 0x91, 0xd4, 0x0a, 0x56, 0xc2, 0xef, 0x18, 0xa4, 0x73, 0x05, 0xdc,
};
// The installed file repeats this text; the build writes the same one (cmake/LockImage.cmake).
constexpr char kFiller[] = "Varnolet lock image, keep as is.";
constexpr int kFillerLength = sizeof kFiller - 1;

// Chosen so that the untouched file reads as the empty password.
constexpr std::array<unsigned char, kLockBytes> MakeOffsets()
{
    std::array<unsigned char, kLockBytes> offsets{};
    for (int i = 0; i < kLockBytes; ++i)
        offsets[size_t(i)] = static_cast<unsigned char>(kFiller[kPositions[size_t(i)] % kFillerLength] - kKey[size_t(i)]);
    return offsets;
}
constexpr std::array<unsigned char, kLockBytes> kOffsets = MakeOffsets();

AnsiString lockFile;
TLockWriteProbe writeProbe = nullptr;

bool ReadAt(FILE* f, int position, unsigned char& byte)
{
    return std::fseek(f, position, SEEK_SET) == 0 && std::fread(&byte, 1, 1, f) == 1;
}

bool WriteAt(FILE* f, int index, unsigned char byte)
{
    if (writeProbe && !writeProbe(index))
        return false;
    return std::fseek(f, kPositions[size_t(index)], SEEK_SET) == 0 && std::fwrite(&byte, 1, 1, f) == 1;
}

// The stored bytes at the password positions of an open file of the right size.
TLockStoreResult ReadStored(FILE* f, std::array<unsigned char, kLockBytes>& stored)
{
    if (std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) != kLockImageSize)
        return lsDamaged;
    for (int i = 0; i < kLockBytes; ++i)
        if (!ReadAt(f, kPositions[size_t(i)], stored[size_t(i)]))
            return lsDamaged;
    return lsOk;
}

TLockStoreResult Decode(const std::array<unsigned char, kLockBytes>& stored, nsString& password)
{
    char plain[kLockBytes];
    for (int i = 0; i < kLockBytes; ++i)
        plain[i] = char(stored[size_t(i)] - kOffsets[size_t(i)] - kKey[size_t(i)]);
    const void* end = std::memchr(plain, 0, kLockBytes);
    if (!end)
        return lsDamaged;
    password = nsString(plain, int(static_cast<const char*>(end) - plain));
    return lsOk;
}
} // namespace

AnsiString LockPasswordFile()
{
    if (!lockFile.IsEmpty())
        return lockFile;
    return AnsiString(GetAppDir().c_str()) + "\\Varnolet.dll";
}

void SetLockPasswordFile(const AnsiString& path) { lockFile = path; }
void SetLockWriteProbe(TLockWriteProbe probe) { writeProbe = probe; }

std::vector<unsigned char> LockPasswordImage()
{
    std::vector<unsigned char> image(kLockImageSize);
    for (int i = 0; i < kLockImageSize; ++i)
        image[size_t(i)] = static_cast<unsigned char>(kFiller[i % kFillerLength]);
    return image;
}

TLockStoreResult LoadLockPassword(nsString& password)
{
    password = nsString();
    try
    {
        FileTimeFixAccess access(LockPasswordFile().c_str());
        FILE* f = access.Open("rb");
        if (!f)
            return lsUnusable;
        std::array<unsigned char, kLockBytes> stored{};
        const TLockStoreResult read = ReadStored(f, stored);
        return read == lsOk ? Decode(stored, password) : read;
    }
    catch (int)
    {
        return lsUnusable;
    }
}

TLockStoreResult StoreLockPassword(const char* current, const char* newPassword)
{
    nsString stored;
    if (const TLockStoreResult r = LoadLockPassword(stored); r != lsOk)
        return r;
    if (stored != nsString(current))
        return lsWrongPassword;
    const nsString next(newPassword);
    if (next.Length() > kLockPasswordMax)
        return lsTooLong;
    // A privileged account may write a read-only file; the user marked it so as not to be changed.
    const DWORD attributes = GetFileAttributesW(SjisToWide(LockPasswordFile()).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
        return lsUnusable;
    try
    {
        FileTimeFixAccess access(LockPasswordFile().c_str());
        FILE* f = access.Open("r+b");
        if (!f)
            return lsUnusable;
        std::array<unsigned char, kLockBytes> old{};
        if (const TLockStoreResult r = ReadStored(f, old); r != lsOk)
            return r;
        // Bytes after the NUL keep the key, as the reader expects nothing of them.
        std::array<unsigned char, kLockBytes> work = kKey;
        for (int i = 0; i <= next.Length(); ++i)
            work[size_t(i)] = static_cast<unsigned char>(work[size_t(i)] + static_cast<unsigned char>(next.c_str()[i]));
        for (int i = 0; i < kLockBytes; ++i)
            work[size_t(i)] = static_cast<unsigned char>(work[size_t(i)] + kOffsets[size_t(i)]);

        bool ok = true;
        for (int i = 0; ok && i < kLockBytes; ++i)
            ok = WriteAt(f, i, work[size_t(i)]);
        ok = ok && std::fflush(f) == 0;
        for (int i = 0; ok && i < kLockBytes; ++i)
        {
            unsigned char back = 0;
            ok = ReadAt(f, kPositions[size_t(i)], back) && back == work[size_t(i)];
        }
        if (ok)
            return lsOk;
        // Half a password would lock the user out: put every old byte back.
        const TLockWriteProbe probe = writeProbe;
        writeProbe = nullptr;
        for (int i = 0; i < kLockBytes; ++i)
            WriteAt(f, i, old[size_t(i)]);
        std::fflush(f);
        writeProbe = probe;
        return lsNotWritten;
    }
    catch (int)
    {
        return lsUnusable;
    }
}

AnsiString LockStoreMessage(TLockStoreResult result)
{
    switch (result)
    {
    case lsUnusable:
        return Format(msgLockFileUnusable, {LockPasswordFile()});
    case lsDamaged:
        return Format(msgLockFileDamaged, {LockPasswordFile()});
    case lsNotWritten:
        return msgLockNotWritten;
    default:
        return "";
    }
}
