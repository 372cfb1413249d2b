// The editor-lock password in its data file beside the program.
#include <array>
#include <cstdint>
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
// Spare bytes of the image that keep a check value of the password's 13 bytes.
constexpr int kCheckBytes = 4;
constexpr std::array<int, kCheckBytes> kCheckPositions = {0x0a1d, 0x3e76, 0x5b93, 0x70e4};
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

using TStored = std::array<unsigned char, kLockBytes>;
using TCheck = std::array<unsigned char, kCheckBytes>;

// A CRC-32 of the stored bytes: any change of them shows, but for one chance in four billion.
TCheck CheckValue(const TStored& stored)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : stored)
    {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    return {static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
            static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24)};
}

// The check bytes of a file that was never written with them: as installed.
TCheck InstalledCheck()
{
    TCheck check{};
    for (int i = 0; i < kCheckBytes; ++i)
        check[size_t(i)] = static_cast<unsigned char>(kFiller[kCheckPositions[size_t(i)] % kFillerLength]);
    return check;
}

// Whether the password fields can give these bytes: characters only, no control codes, each as
// typing it gives it back (≒ of 87 90 comes back as 81 E0).
bool IsTypeable(const char* text, int length)
{
    for (int i = 0; i < length; ++i)
    {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (IsSjisLead(byte))
        {
            if (i + 1 >= length || !IsSjisTrail(static_cast<unsigned char>(text[i + 1])))
                return false;
            ++i;
        }
        else if (byte < 0x20 || byte == 0x7F || byte == 0x80 || byte == 0xA0 || byte >= 0xFD)
        {
            return false;
        }
    }
    const std::wstring wide = SjisToWide(text, length);
    const AnsiString back = WideToSjis(wide);
    return back.Length() == length && std::memcmp(back.c_str(), text, size_t(length)) == 0;
}

bool ReadAt(FILE* f, int position, unsigned char& byte)
{
    return std::fseek(f, position, SEEK_SET) == 0 && std::fread(&byte, 1, 1, f) == 1;
}

// The file position of stored byte `index`: the password's 13, then the check value's.
int PositionOf(int index)
{
    return index < kLockBytes ? kPositions[size_t(index)] : kCheckPositions[size_t(index - kLockBytes)];
}

bool WriteAt(FILE* f, int index, unsigned char byte)
{
    if (writeProbe && !writeProbe(index))
        return false;
    return std::fseek(f, PositionOf(index), SEEK_SET) == 0 && std::fwrite(&byte, 1, 1, f) == 1;
}

// The password's bytes and their check value, of an open file of the right size.
TLockStoreResult ReadStored(FILE* f, TStored& stored, TCheck& check)
{
    if (std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) != kLockImageSize)
        return lsDamaged;
    for (int i = 0; i < kLockBytes + kCheckBytes; ++i)
        if (!ReadAt(f, PositionOf(i), i < kLockBytes ? stored[size_t(i)] : check[size_t(i - kLockBytes)]))
            return lsDamaged;
    return lsOk;
}

// A file written before the check value was kept has the installed bytes in its place, and reads
// as before; any other value must be the one of the stored bytes. Either way, what the unlock
// dialog could not be given is no password: a lock with it would never end.
TLockStoreResult Decode(const TStored& stored, const TCheck& check, nsString& password)
{
    if (check != InstalledCheck() && check != CheckValue(stored))
        return lsDamaged;
    char plain[kLockBytes];
    for (int i = 0; i < kLockBytes; ++i)
        plain[i] = char(stored[size_t(i)] - kOffsets[size_t(i)] - kKey[size_t(i)]);
    const void* end = std::memchr(plain, 0, kLockBytes);
    if (!end)
        return lsDamaged;
    const int length = int(static_cast<const char*>(end) - plain);
    if (!IsTypeable(plain, length))
        return lsDamaged;
    password = nsString(plain, length);
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

std::vector<int> LockStoreBytePositions()
{
    std::vector<int> positions(kPositions.begin(), kPositions.end());
    positions.insert(positions.end(), kCheckPositions.begin(), kCheckPositions.end());
    return positions;
}

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
        TStored stored{};
        TCheck check{};
        const TLockStoreResult read = ReadStored(f, stored, check);
        return read == lsOk ? Decode(stored, check, password) : read;
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
    if (!IsTypeable(next.c_str(), next.Length()))
        return lsUntypeable;
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
        TStored oldStored{};
        TCheck oldCheck{};
        if (const TLockStoreResult r = ReadStored(f, oldStored, oldCheck); r != lsOk)
            return r;
        // Bytes after the NUL keep the key, as the reader expects nothing of them.
        TStored work = kKey;
        for (int i = 0; i <= next.Length(); ++i)
            work[size_t(i)] = static_cast<unsigned char>(work[size_t(i)] + static_cast<unsigned char>(next.c_str()[i]));
        for (int i = 0; i < kLockBytes; ++i)
            work[size_t(i)] = static_cast<unsigned char>(work[size_t(i)] + kOffsets[size_t(i)]);
        const TCheck check = CheckValue(work);
        auto byteOf = [](const TStored& stored, const TCheck& c, int i) {
            return i < kLockBytes ? stored[size_t(i)] : c[size_t(i - kLockBytes)];
        };

        bool ok = true;
        for (int i = 0; ok && i < kLockBytes + kCheckBytes; ++i)
            ok = WriteAt(f, i, byteOf(work, check, i));
        ok = ok && std::fflush(f) == 0;
        for (int i = 0; ok && i < kLockBytes + kCheckBytes; ++i)
        {
            unsigned char back = 0;
            ok = ReadAt(f, PositionOf(i), back) && back == byteOf(work, check, i);
        }
        if (ok)
            return lsOk;
        // Half a password would lock the user out: put every old byte back.
        const TLockWriteProbe probe = writeProbe;
        writeProbe = nullptr;
        for (int i = 0; i < kLockBytes + kCheckBytes; ++i)
            WriteAt(f, i, byteOf(oldStored, oldCheck, i));
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
