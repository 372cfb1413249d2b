// The editor-lock password store: what fits, what a damaged or unusable file gives, that a failed
// write keeps the old password, and that no access changes the file's times.
#include <gtest/gtest.h>

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
    // Only the password's bytes ever change.
    const AnsiString bytes = file.Bytes();
    const std::vector<unsigned char> image = LockPasswordImage();
    ASSERT_EQ(bytes.Length(), kLockImageSize);
    int changed = 0;
    for (int i = 0; i < kLockImageSize; ++i)
        changed += static_cast<unsigned char>(bytes.c_str()[i]) != image[size_t(i)];
    EXPECT_GT(changed, 0);
    EXPECT_LE(changed, kLockPasswordMax + 1);
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
    for (failAt = 0; failAt <= kLockPasswordMax; ++failAt)
    {
        SCOPED_TRACE(failAt);
        EXPECT_EQ(StoreLockPassword("old pass", "brand new"), lsNotWritten);
        EXPECT_TRUE(file.Bytes() == before); // not printed: 32 KB
    }
    SetLockWriteProbe(nullptr);
    EXPECT_EQ(Loaded(), "old pass");
}
