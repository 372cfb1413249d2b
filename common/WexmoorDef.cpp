// The settings store over the registry, the colour-record values and the program's folder.
#include "common/WexmoorDef.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/Cp932.h"

namespace VN
{
const char* const kRegistryKey = "Software\\Orvane\\Varnolet";
const char* const kEditSettingSection = "EDITSETTING";
const char* const kWallpaperSection = "WALLPAPER";

typEditSetting EditSetting;
} // namespace VN

namespace
{
[[noreturn]] void RaiseRegistry(const char* what, const AnsiString& name, LONG error)
{
    throw ERegistryException(AnsiString(what) + " \"" + name + "\". " + SysErrorMessage(DWORD(error)));
}

// Decimal text of a 32-bit signed number, blanks around it allowed.
bool ParseDecimal(const AnsiString& text, int& value)
{
    AnsiString t = text.Trim();
    const char* p = t.c_str();
    const char* end = p + t.Length();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end)
        return false;
    long long n = 0;
    for (; p < end; ++p)
    {
        if (*p < '0' || *p > '9')
            return false;
        n = n * 10 + (*p - '0');
        if (n > 0x80000000LL)
            return false;
    }
    if (negative)
        n = -n;
    if (n > 0x7FFFFFFFLL)
        return false;
    value = int(n);
    return true;
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

AnsiString TextOfData(const std::string& data)
{
    size_t units = data.size() / sizeof(wchar_t);
    std::wstring w(units, L'\0');
    if (units)
        std::memcpy(w.data(), data.data(), units * sizeof(wchar_t));
    // The stored terminator (or several, or none) is not part of the text.
    while (!w.empty() && w.back() == L'\0')
        w.pop_back();
    return WideToSjis(w);
}
} // namespace

// ---- WXRegIni ---------------------------------------------------------------------------------

WXRegIni::WXRegIni() : WXRegIni(AnsiString(VN::kRegistryKey)) {}

WXRegIni::WXRegIni(const AnsiString& rootKey) : rootKey_(rootKey)
{
    std::wstring name = SjisToWide(rootKey);
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &root_, nullptr);
    if (rc != ERROR_SUCCESS)
    {
        root_ = nullptr;
        RaiseRegistry("Failed to create key", rootKey, rc);
    }
}

WXRegIni::~WXRegIni()
{
    if (root_)
        RegCloseKey(root_);
}

HKEY WXRegIni::OpenSection(const AnsiString& section, bool forWrite)
{
    std::wstring name = SjisToWide(section);
    HKEY key = nullptr;
    if (forWrite)
    {
        LONG rc = RegCreateKeyExW(root_, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS)
            RaiseRegistry("Failed to create key", section, rc);
        return key;
    }
    if (RegOpenKeyExW(root_, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool WXRegIni::QueryValue(const AnsiString& section, const AnsiString& ident, DWORD& type, std::string& data)
{
    HKEY key = OpenSection(section, false);
    if (!key)
        return false;
    std::wstring name = SjisToWide(ident);
    bool found = false;
    for (int attempt = 0; attempt < 4 && !found; ++attempt)
    {
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        data.assign(size_t(size), '\0');
        LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                   size ? reinterpret_cast<BYTE*>(data.data()) : nullptr, &size);
        if (rc == ERROR_SUCCESS)
        {
            data.resize(size_t(size));
            found = true;
        }
        else if (rc != ERROR_MORE_DATA) // the value grew between the calls: ask again
            break;
    }
    RegCloseKey(key);
    return found;
}

void WXRegIni::SetValue(const AnsiString& section, const AnsiString& ident, DWORD type, const void* data,
                        DWORD size)
{
    HKEY key = OpenSection(section, true);
    std::wstring name = SjisToWide(ident);
    LONG rc = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        RaiseRegistry("Failed to set data for", ident, rc);
}

AnsiString WXRegIni::ReadString(const AnsiString& section, const AnsiString& ident, const AnsiString& def)
{
    DWORD type = 0;
    std::string data;
    if (!QueryValue(section, ident, type, data) || !IsTextType(type))
        return def;
    return TextOfData(data);
}

void WXRegIni::WriteString(const AnsiString& section, const AnsiString& ident, const AnsiString& value)
{
    std::wstring w = SjisToWide(value);
    SetValue(section, ident, REG_SZ, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
}

int WXRegIni::ReadInteger(const AnsiString& section, const AnsiString& ident, int def)
{
    DWORD type = 0;
    std::string data;
    if (!QueryValue(section, ident, type, data))
        return def;
    if (type == REG_DWORD && data.size() == sizeof(DWORD))
    {
        DWORD v;
        std::memcpy(&v, data.data(), sizeof v);
        return int(v);
    }
    int value = def;
    if (IsTextType(type) && ParseDecimal(TextOfData(data), value))
        return value;
    return def;
}

void WXRegIni::WriteInteger(const AnsiString& section, const AnsiString& ident, int value)
{
    DWORD type = 0;
    std::string data;
    if (QueryValue(section, ident, type, data) && IsTextType(type))
    {
        WriteString(section, ident, IntToStr(value));
        return;
    }
    DWORD v = DWORD(value);
    SetValue(section, ident, REG_DWORD, &v, sizeof v);
}

bool WXRegIni::ReadBool(const AnsiString& section, const AnsiString& ident, bool def)
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void WXRegIni::WriteBool(const AnsiString& section, const AnsiString& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void WXRegIni::ReadSection(const AnsiString& section, TStrings* idents)
{
    idents->Clear();
    HKEY key = OpenSection(section, false);
    if (!key)
        return;
    DWORD maxName = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS)
    {
        std::vector<wchar_t> buf(size_t(maxName) + 1);
        DWORD index = 0;
        for (;;)
        {
            DWORD len = DWORD(buf.size());
            LONG rc = RegEnumValueW(key, index, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_MORE_DATA) // a longer name arrived meanwhile
            {
                buf.resize(buf.size() * 2);
                continue;
            }
            if (rc != ERROR_SUCCESS)
                break;
            idents->Add(WideToSjis(buf.data(), int(len)));
            ++index;
        }
    }
    RegCloseKey(key);
}

void WXRegIni::EraseSection(const AnsiString& section)
{
    std::wstring name = SjisToWide(section);
    RegDeleteTreeW(root_, name.c_str());
    RegDeleteKeyW(root_, name.c_str());
}

void WXRegIni::DeleteKey(const AnsiString& section, const AnsiString& ident)
{
    std::wstring sectionName = SjisToWide(section);
    HKEY key = nullptr;
    if (RegOpenKeyExW(root_, sectionName.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    std::wstring name = SjisToWide(ident);
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

bool WXRegIni::SectionExists(const AnsiString& section)
{
    HKEY key = OpenSection(section, false);
    if (key)
        RegCloseKey(key);
    return key != nullptr;
}

bool WXRegIni::ValueExists(const AnsiString& section, const AnsiString& ident)
{
    DWORD type = 0;
    std::string data;
    return QueryValue(section, ident, type, data);
}

// ---- colour records, the program's folder ----------------------------------------------------------

typColorRec ReadColorRec(WXRegIni* ini, const AnsiString& section, const AnsiString& key, TColor colour,
                         TColor bkcolour)
{
    const typColorRec start(colour, bkcolour);
    typColorRec rec;
    if (!typColorRec::TryParse(ini->ReadString(section, key, AnsiString()), start, rec))
        return start;
    return rec;
}

void WriteColorRec(WXRegIni* ini, const AnsiString& section, const AnsiString& key, const typColorRec& rec)
{
    ini->WriteString(section, key, rec.ToString());
}

nsString GetAppDir() { return AnsiToNsString(ExtractFileDir(ParamStr(0))); }
