#include "printing/Hstreamutils.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/Cp932.h"

void StreamToStrings(TStream* stream, TStrings* strings)
{
    static const char digits[] = "0123456789ABCDEF";
    strings->BeginUpdate();
    strings->Clear();
    AnsiString line;
    unsigned char buf[4096];
    for (int got; (got = stream->Read(buf, sizeof buf)) > 0;)
        for (int i = 0; i < got; ++i)
        {
            line += digits[buf[i] >> 4];
            line += digits[buf[i] & 15];
            if (line.Length() >= 64)
            {
                strings->Add(line);
                line = AnsiString();
            }
        }
    if (!line.IsEmpty())
        strings->Add(line);
    strings->EndUpdate();
}

namespace
{
int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

void StringsToStream(TStrings* strings, TStream* stream)
{
    for (int n = 0; n < strings->GetCount(); ++n)
    {
        const AnsiString line = strings->Get(n);
        for (int i = 1; i <= line.Length(); i += 2)
        {
            const int hi = HexDigit(line[i]);
            const int lo = i + 1 <= line.Length() ? HexDigit(line[i + 1]) : -2;
            unsigned char byte = 0;
            if (lo == -2)
                byte = hi >= 0 ? static_cast<unsigned char>(hi) : 0; // a last single digit
            else if (hi >= 0 && lo >= 0)
                byte = static_cast<unsigned char>(hi * 16 + lo);
            stream->Write(&byte, 1);
        }
    }
}

namespace
{
const char* const kDamaged = "保存された設定が壊れています。";
const char* const kTooLarge = "保存する設定が大きすぎます。";

// Bytes from the stream's position to its end, refused when more than can be stored.
int StoredSize(TStream* stream)
{
    const int64_t size = std::max<int64_t>(0, stream->GetSize() - stream->GetPosition());
    if (size > kMaxStoredStreamBytes)
        throw EWriteError(kTooLarge);
    return int(size);
}

AnsiString IniRead(const std::wstring& file, const std::wstring& section, const AnsiString& key)
{
    std::vector<wchar_t> buf(256);
    for (;;)
    {
        const DWORD got = GetPrivateProfileStringW(section.c_str(), SjisToWide(key).c_str(), L"", buf.data(),
                                                   DWORD(buf.size()), file.c_str());
        if (got + 1 < buf.size())
            return WideToSjis(buf.data(), int(got));
        buf.resize(buf.size() * 2);
    }
}

// One stored line: at most 64 digits, else the store is damaged.
AnsiString IniReadLine(const std::wstring& file, const std::wstring& section, const AnsiString& key)
{
    wchar_t buf[66];
    const DWORD got = GetPrivateProfileStringW(section.c_str(), SjisToWide(key).c_str(), L"", buf,
                                               DWORD(std::size(buf)), file.c_str());
    if (got > 64)
        throw EReadError(kDamaged);
    return WideToSjis(buf, int(got));
}

void IniWrite(const std::wstring& file, const std::wstring& section, const AnsiString& key, const wchar_t* value)
{
    if (!WritePrivateProfileStringW(section.c_str(), SjisToWide(key).c_str(), value, file.c_str()))
        RaiseLastOSError();
}
} // namespace

void IniWriteStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident)
{
    StoredSize(stream);
    TStringList lines;
    StreamToStrings(stream, &lines);
    const std::wstring file = SjisToWide(fileName), sec = SjisToWide(section);
    const int oldCount = std::min(IniRead(file, sec, ident + "_c").ToIntDef(0), kMaxStoredStreamLines);
    for (int n = oldCount - 1; n >= lines.GetCount(); --n)
        IniWrite(file, sec, ident + "_d" + AnsiString(n), nullptr);
    if (lines.GetCount() == 0)
    {
        IniWrite(file, sec, ident + "_c", nullptr);
        return;
    }
    IniWrite(file, sec, ident + "_c", SjisToWide(AnsiString(lines.GetCount())).c_str());
    for (int n = 0; n < lines.GetCount(); ++n)
        IniWrite(file, sec, ident + "_d" + AnsiString(n), SjisToWide(lines.Get(n)).c_str());
}

void IniReadStream(TStream* stream, const AnsiString& fileName, const AnsiString& section, const AnsiString& ident)
{
    const std::wstring file = SjisToWide(fileName), sec = SjisToWide(section);
    const int count = IniRead(file, sec, ident + "_c").ToIntDef(0);
    if (count <= 0)
        return;
    if (count > kMaxStoredStreamLines)
        throw EReadError(kDamaged);
    TStringList lines;
    for (int n = 0; n < count; ++n)
        lines.Add(IniReadLine(file, sec, ident + "_d" + AnsiString(n)));
    StringsToStream(&lines, stream);
}

HKEY TStreamReg::OpenSectionKey(const AnsiString& section, bool create)
{
    const std::wstring path = SjisToWide(RootKey() + "\\" + section);
    HKEY h = nullptr;
    const LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                             nullptr, &h, nullptr)
                           : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h);
    return rc == ERROR_SUCCESS ? h : nullptr;
}

void RegWriteStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident)
{
    const int size = StoredSize(stream);
    TStreamReg reg(key);
    HKEY h = reg.OpenSectionKey(section, true);
    if (!h)
        return;
    std::vector<BYTE> bytes(static_cast<size_t>(size));
    if (size)
        stream->ReadBuffer(bytes.data(), size);
    RegSetValueExW(h, SjisToWide(ident).c_str(), 0, REG_BINARY, bytes.data(), DWORD(size));
    RegCloseKey(h);
}

void RegReadStream(TStream* stream, const AnsiString& key, const AnsiString& section, const AnsiString& ident)
{
    TStreamReg reg(key);
    HKEY h = reg.OpenSectionKey(section, false);
    if (!h)
        return;
    const std::wstring name = SjisToWide(ident);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(h, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0)
    {
        if (size > DWORD(kMaxStoredStreamBytes))
        {
            RegCloseKey(h);
            throw EReadError(kDamaged);
        }
        std::vector<BYTE> bytes(size);
        if (RegQueryValueExW(h, name.c_str(), nullptr, &type, bytes.data(), &size) == ERROR_SUCCESS)
            stream->WriteBuffer(bytes.data(), int(size));
    }
    RegCloseKey(h);
}
