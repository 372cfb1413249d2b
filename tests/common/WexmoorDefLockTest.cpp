// The editor-lock password store: what fits, what a damaged or unusable file gives, that a failed
// write keeps the old password, and that no access changes the file's times.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <windows.h>

#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "tests/TestFiles.h"

namespace
{
// A store file of the test's own, with the given bytes, used by the store while this lives.
class TLockFile
{
public:
    explicit TLockFile(const std::vector<unsigned char>& bytes = LockPasswordImage())
    {
        path_ = dir_ / "ロック dir.dll";
        Put(bytes);
        SetLockPasswordFile(path_);
    }
    ~TLockFile()
    {
        SetLockPasswordFile("");
        SetFileAttributesW(SjisToWide(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    void Put(const std::vector<unsigned char>& bytes) const
    {
        dir_.Write("ロック dir.dll", AnsiString(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    }
    AnsiString Bytes() const { return TTempDir::Read(path_); }
    const AnsiString& Path() const { return path_; }
    std::vector<unsigned char> Image() const
    {
        const AnsiString bytes = Bytes();
        return std::vector<unsigned char>(bytes.c_str(), bytes.c_str() + bytes.Length());
    }

private:
    TTempDir dir_;
    AnsiString path_;
};

std::string Loaded()
{
    nsString password("not loaded");
    EXPECT_EQ(LoadLockPassword(password), lsOk);
    return password.c_str();
}

// Creation, last-access and last-write times, as raw 64-bit values.
std::vector<unsigned long long> TimesOf(const AnsiString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(SjisToWide(path).c_str(), GetFileExInfoStandard, &data));
    std::vector<unsigned long long> times;
    for (const FILETIME& t : {data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime})
        times.push_back((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return times;
}

int failAt = -1;
bool FailingWrite(int index) { return index != failAt; }

constexpr size_t kPasswordBytes = kLockPasswordMax + 1;

// The file as a writer without the check value leaves it: those bytes as installed.
void DropCheckValue(const TLockFile& file)
{
    std::vector<unsigned char> image = file.Image();
    const std::vector<unsigned char> installed = LockPasswordImage();
    const std::vector<int> at = LockStoreBytePositions();
    for (size_t i = kPasswordBytes; i < at.size(); ++i)
        image[size_t(at[i])] = installed[size_t(at[i])];
    file.Put(image);
}

// A file without a check value whose 13 bytes read as `plain` (its NUL included): the store holds
// "AAAAAAAAAAAA", and each stored byte moves by as much as its plain byte is to change.
void PutPlainBytes(const TLockFile& file, const std::string& plain)
{
    file.Put(LockPasswordImage());
    ASSERT_EQ(StoreLockPassword("", "AAAAAAAAAAAA"), lsOk);
    DropCheckValue(file);
    std::vector<unsigned char> image = file.Image();
    const std::vector<int> at = LockStoreBytePositions();
    for (size_t i = 0; i < plain.size() && i < kPasswordBytes; ++i)
    {
        const unsigned char was = i < kLockPasswordMax ? 'A' : 0;
        const int move = static_cast<unsigned char>(plain[i]) - was;
        image[size_t(at[i])] = static_cast<unsigned char>(image[size_t(at[i])] + move);
    }
    file.Put(image);
}
} // namespace

TEST(WexmoorDefLock, PasswordsUpToTwelveBytesAreStoredAndLongerOnesRefused)
{
    TLockFile file;
    EXPECT_EQ(Loaded(), ""); // as installed
    struct Step
    {
        const char* current;
        const char* next;
        TLockStoreResult result;
        const char* stored;
    };
    const Step steps[] = {
        {nullptr, "abcdefghijkl", lsOk, "abcdefghijkl"},
        {"abcdefghijkl", "abcdefghijklm", lsTooLong, "abcdefghijkl"},
        {"wrong", "x", lsWrongPassword, "abcdefghijkl"},
        {"", "x", lsWrongPassword, "abcdefghijkl"},
        {"abcdefghijkl", "パスワード日", lsOk, "パスワード日"},    // 12 bytes
        {"パスワード日", "パスワード日a", lsTooLong, "パスワード日"}, // 13
        {"パスワード", "x", lsWrongPassword, "パスワード日"},       // a prefix is not the password
        {"パスワード日", "", lsOk, ""},
        {"", "a", lsOk, "a"},
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(s.next);
        EXPECT_EQ(StoreLockPassword(s.current, s.next), s.result);
        EXPECT_EQ(Loaded(), s.stored);
    }
    // Only the password's bytes and their check value ever change.
    const AnsiString bytes = file.Bytes();
    const std::vector<unsigned char> image = LockPasswordImage();
    const std::vector<int> positions = LockStoreBytePositions();
    ASSERT_EQ(bytes.Length(), kLockImageSize);
    int changed = 0;
    for (int i = 0; i < kLockImageSize; ++i)
        if (static_cast<unsigned char>(bytes.c_str()[i]) != image[size_t(i)])
        {
            ++changed;
            EXPECT_NE(std::find(positions.begin(), positions.end(), i), positions.end()) << i;
        }
    EXPECT_GT(changed, 0);
}

TEST(WexmoorDefLock, LoadingAndStoringLeaveTheFileTimesAsTheyWere)
{
    TLockFile file;
    // Times far from now, so any access stamping the file would show.
    FILETIME old[3];
    for (int i = 0; i < 3; ++i)
        old[i] = {DWORD(0x10000000u * unsigned(i + 1)), DWORD(0x01c00000u + unsigned(i))};
    HANDLE h = CreateFileW(SjisToWide(file.Path()).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(h, &old[0], &old[1], &old[2]));
    CloseHandle(h);
    const std::vector<unsigned long long> before = TimesOf(file.Path());

    Loaded();
    EXPECT_EQ(TimesOf(file.Path()), before);
    EXPECT_EQ(StoreLockPassword("", "新しい"), lsOk);
    EXPECT_EQ(TimesOf(file.Path()), before);
    EXPECT_EQ(StoreLockPassword("wrong", "x"), lsWrongPassword);
    EXPECT_EQ(Loaded(), "新しい");
    EXPECT_EQ(TimesOf(file.Path()), before);
}

TEST(WexmoorDefLock, AShortDamagedReadOnlyHeldOrMissingFileFailsWithoutAWrite)
{
    enum TKind
    {
        kShort,
        kLong,
        kNoNul,
        kReadOnly,
        kHeld,
        kMissing
    };
    struct Case
    {
        TKind kind;
        TLockStoreResult load;
        TLockStoreResult store;
    };
    const Case cases[] = {
        {kShort, lsDamaged, lsDamaged},   {kLong, lsDamaged, lsDamaged},   {kNoNul, lsDamaged, lsDamaged},
        {kReadOnly, lsOk, lsUnusable},    {kHeld, lsUnusable, lsUnusable}, {kMissing, lsUnusable, lsUnusable},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(int(c.kind));
        TLockFile file;
        std::vector<unsigned char> bytes = LockPasswordImage();
        if (c.kind == kShort)
            bytes.resize(kLockImageSize - 1);
        if (c.kind == kLong)
            bytes.push_back('x');
        if (c.kind == kNoNul)
            bytes.assign(kLockImageSize, 0xFF); // no byte of it decodes to the password's end
        file.Put(bytes);
        const std::wstring wide = SjisToWide(file.Path());
        if (c.kind == kReadOnly)
            SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY);
        HANDLE held = c.kind == kHeld ? CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, 0, nullptr)
                                      : INVALID_HANDLE_VALUE;
        if (c.kind == kMissing)
            DeleteFileW(wide.c_str());

        nsString password("x");
        EXPECT_EQ(LoadLockPassword(password), c.load);
        EXPECT_EQ(password.c_str(), std::string()); // nothing half-read
        EXPECT_EQ(StoreLockPassword("", "new"), c.store);
        EXPECT_NE(LockStoreMessage(c.store), "");
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        if (c.kind == kMissing)
            EXPECT_EQ(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
        else
            EXPECT_TRUE(file.Bytes() == AnsiString(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    }
}

TEST(WexmoorDefLock, AWriteThatFailsAtAnyByteKeepsTheOldPassword)
{
    TLockFile file;
    ASSERT_EQ(StoreLockPassword("", "old pass"), lsOk);
    const AnsiString before = file.Bytes();
    SetLockWriteProbe(&FailingWrite);
    for (failAt = 0; failAt < int(LockStoreBytePositions().size()); ++failAt)
    {
        SCOPED_TRACE(failAt);
        EXPECT_EQ(StoreLockPassword("old pass", "brand new"), lsNotWritten);
        EXPECT_TRUE(file.Bytes() == before); // not printed: 32 KB
    }
    SetLockWriteProbe(nullptr);
    EXPECT_EQ(Loaded(), "old pass");
}

// Random damage of one to three stored bytes: with the check value every one is found, and the
// password is not changed over it; without one (a file written before the value was kept) the
// file may still read, but only as a password that the unlock dialog can take.
TEST(WexmoorDefLock, DamageIsFoundAndNeverReadAsAPasswordThatCannotBeTyped)
{
    TLockFile file;
    const std::vector<int> at = LockStoreBytePositions();
    ASSERT_GT(at.size(), kPasswordBytes);
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    const char* const letters[] = {"a", "Z", "0", " ", "!", "~", "ｱ", "ﾝ", "鍵", "表", "ソ"};
    int readWithoutCheck = 0;
    for (int round = 0; round < 400; ++round)
    {
        SCOPED_TRACE(Format("seed %u round %d", {seed, round}).str());
        std::string password;
        while (password.size() + 2 <= size_t(kLockPasswordMax) && random() % 4)
            password += letters[random() % std::size(letters)];
        file.Put(LockPasswordImage());
        ASSERT_EQ(StoreLockPassword("", password.c_str()), lsOk);
        const bool withCheck = round % 2 == 0;
        if (!withCheck)
            DropCheckValue(file);
        ASSERT_EQ(Loaded(), password);

        std::vector<unsigned char> image = file.Image();
        const size_t reach = withCheck ? at.size() : kPasswordBytes;
        for (unsigned n = 1 + random() % 3; n > 0; --n)
        {
            unsigned char& byte = image[size_t(at[random() % reach])];
            byte = static_cast<unsigned char>(byte + 1 + random() % 255);
        }
        file.Put(image);
        nsString read("x");
        const TLockStoreResult result = LoadLockPassword(read);
        if (withCheck)
        {
            EXPECT_EQ(result, lsDamaged);
        }
        else if (result == lsOk)
        {
            ++readWithoutCheck;
            const AnsiString text = read.c_str();
            EXPECT_EQ(WideToSjis(SjisToWide(text)), text);
            for (int i = 1; i <= text.Length(); ++i)
                EXPECT_GE(static_cast<unsigned char>(text[i]), 0x20) << i;
        }
        else
        {
            EXPECT_EQ(result, lsDamaged);
        }
        if (result != lsOk)
        {
            EXPECT_EQ(std::string(read.c_str()), "");
            EXPECT_EQ(StoreLockPassword(password.c_str(), "new"), lsDamaged);
            EXPECT_TRUE(file.Image() == image);
        }
    }
    EXPECT_GT(readWithoutCheck, 0);
}

// What a file without a check value holds in its 13 bytes, and what it reads as.
TEST(WexmoorDefLock, AFileWithoutACheckValueReadsOnlyAsAPasswordTheDialogCanTake)
{
    TLockFile file;
    struct Row
    {
        std::string plain; // the 13 bytes' first ones, NUL included
        TLockStoreResult result;
    };
    const Row rows[] = {
        {std::string("abc\0", 4), lsOk},
        {std::string("\0", 1), lsOk},
        {std::string("鍵pass\0", 7), lsOk},
        {std::string("ｱｲｳ ~\0", 6), lsOk},
        {std::string("\x01\x02pass\0", 7), lsDamaged},        // control characters
        {std::string("ab\tc\0", 5), lsDamaged},               // a tab moves the focus instead
        {std::string("a\x7f\0", 3), lsDamaged},               // DEL
        {std::string("ab\x82\0", 4), lsDamaged},              // a lead byte without its trail
        {std::string("\x81\x7f\0", 3), lsDamaged},           // not a trail byte
        {std::string("\x87\x90\0", 3), lsDamaged},           // ≒ typed comes back as 81 E0
        {std::string("a\xa0\0", 3), lsDamaged},               // no character at all
        {std::string("\xfd\xfe\0", 3), lsDamaged},
        {std::string("abcdefghijkl\x01", 13), lsDamaged},     // no end
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.plain);
        PutPlainBytes(file, row.plain);
        nsString read("x");
        EXPECT_EQ(LoadLockPassword(read), row.result);
        const std::string password = row.plain.substr(0, row.plain.size() - 1);
        EXPECT_EQ(std::string(read.c_str()), row.result == lsOk ? password : "");
    }
}

TEST(WexmoorDefLock, APasswordThatThePasswordFieldsCannotGiveIsNotStored)
{
    TLockFile file;
    for (const char* password : {"\x01", "ab\tc", "a\x7f", "ab\x82", "\x87\x90", "\xa0", "\xfd"})
    {
        SCOPED_TRACE(password);
        EXPECT_EQ(StoreLockPassword("", password), lsUntypeable);
        EXPECT_EQ(LockStoreMessage(lsUntypeable), "");
        EXPECT_EQ(Loaded(), "");
    }
    EXPECT_EQ(StoreLockPassword("", "表ソ能ｱ ~"), lsOk); // trail bytes 0x5C and half-width kana
    EXPECT_EQ(Loaded(), "表ソ能ｱ ~");
}
