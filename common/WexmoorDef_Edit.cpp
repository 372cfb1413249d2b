// The editor settings: their defaults, section EDITSETTING (with the text-blending keys of
// WALLPAPER) and their reader and writer.
#include <windows.h>

#include <string>

#include "common/WexmoorDef.h"
#include "platform/Cp932.h"

namespace
{
const char* const kDefaultFontName = "ＭＳ ゴシック";
const char* const kDefaultBanHead =
    "、。，．？！゛゜…‥’”）〕］｝〉》」』】≫ぁぃぅぇぉっゃゅょァィゥェォッャュョ)]},.;:";
const char* const kDefaultBanEnd = "（［｛「〔《『【〈≪‘“({[";
const char* const kSearchColourKeys[3] = {"色_検索文字列１", "色_検索文字列２", "色_検索文字列３"};

int ReadRanged(WXRegIni& ini, const AnsiString& section, const AnsiString& key, int def, int lo, int hi)
{
    int v = ini.ReadInteger(section, key, def);
    return v >= lo && v <= hi ? v : def;
}

TColor ReadColour(WXRegIni& ini, const AnsiString& section, const AnsiString& key, TColor def)
{
    TColor v = ini.ReadInteger(section, key, def);
    return IsStorableColor(v) ? v : def;
}

// At most max characters (a double-byte character counts one), never cutting one in two.
AnsiString FirstChars(const AnsiString& s, int max)
{
    const auto* b = reinterpret_cast<const unsigned char*>(s.c_str());
    const int n = s.Length();
    int i = 0;
    for (int chars = 0; i < n && chars < max; ++chars)
        i += IsSjisLead(b[i]) && i + 1 < n ? 2 : 1;
    return i < n ? s.SubString(1, i) : s;
}

// A face name GDI can take: not empty and within LF_FACESIZE with its terminator.
nsString ReadFontName(WXRegIni& ini, const AnsiString& section, const AnsiString& key, const nsString& def)
{
    AnsiString name = ini.ReadString(section, key, NsStringToAnsi(def));
    if (name.Trim().IsEmpty() || SjisToWide(name).size() >= LF_FACESIZE)
        return def;
    return AnsiToNsString(name);
}
} // namespace

namespace VN
{
bool operator==(const typEditSetting& a, const typEditSetting& b)
{
    for (int i = 0; i < 3; ++i)
        if (a.色_検索文字列[i] != b.色_検索文字列[i])
            return false;
    return a.IS_REMAIN == b.IS_REMAIN && a.FONT_NAME == b.FONT_NAME && a.FONT_SIZE == b.FONT_SIZE &&
           a.色_文字 == b.色_文字 && a.NORMAL_COLOR == b.NORMAL_COLOR && a.色_背景 == b.色_背景 &&
           a.色_選択文字 == b.色_選択文字 && a.色_強調文字列 == b.色_強調文字列 && a.色_行番号 == b.色_行番号 &&
           a.色_ルーラー == b.色_ルーラー && a.ROWPITCH == b.ROWPITCH && a.DISPROWNUM == b.DISPROWNUM &&
           a.DISPRULA == b.DISPRULA && a.AUTO_INDENT == b.AUTO_INDENT && a.TABSIZE == b.TABSIZE &&
           a.UNDOBSAVE == b.UNDOBSAVE && a.DISPTAB == b.DISPTAB && a.DISSPACE2 == b.DISSPACE2 &&
           a.BACKUPFILE == b.BACKUPFILE && a.ISWRAP == b.ISWRAP && a.WRAPWIDTH == b.WRAPWIDTH &&
           a.USETAB == b.USETAB && a.TRANSPARENCY == b.TRANSPARENCY && a.ALPHA_VALUE == b.ALPHA_VALUE &&
           a.STR_BKCOLOR == b.STR_BKCOLOR && a.STR_BK_ALPHA == b.STR_BK_ALPHA &&
           a.STR_TRANSPARENCY == b.STR_TRANSPARENCY && a.KINSOKU == b.KINSOKU && a.BANHEAD == b.BANHEAD &&
           a.BANEND == b.BANEND && a.WINDOW_ALPHABLENDVALUE == b.WINDOW_ALPHABLENDVALUE;
}

typEditSetting EditSettingDefaults()
{
    typEditSetting d;
    d.IS_REMAIN = true;
    d.FONT_NAME = kDefaultFontName;
    d.FONT_SIZE = 10;
    d.色_文字 = 0xFFFFFF;
    d.色_背景 = typColorRec(0, 0xFFFFFF);
    d.NORMAL_COLOR = d.色_背景.colour;
    d.色_選択文字 = typColorRec(clHighlightText, clHighlight);
    d.色_強調文字列 = typColorRec(0xFF0000, 0xFFFFFF);
    d.色_行番号 = typColorRec(0xFF0000, 0xFFFFFF);
    d.色_ルーラー = typColorRec(0xFF0000, 0xFFFFFF);
    for (auto& r : d.色_検索文字列)
        r = typColorRec(0xFF00, 0xFFFFFF);
    d.ROWPITCH = 2;
    d.DISPROWNUM = true;
    d.DISPRULA = true;
    d.AUTO_INDENT = true;
    d.TABSIZE = 4;
    d.UNDOBSAVE = true;
    d.DISPTAB = false;
    d.USETAB = false;
    d.DISSPACE2 = false;
    d.BACKUPFILE = true;
    d.ISWRAP = false;
    d.WRAPWIDTH = 80;
    d.TRANSPARENCY = false;
    d.ALPHA_VALUE = 128;
    d.STR_BKCOLOR = d.色_背景.bkcolour;
    d.STR_BK_ALPHA = 0;
    d.STR_TRANSPARENCY = true;
    d.KINSOKU = false;
    d.BANHEAD = kDefaultBanHead;
    d.BANEND = kDefaultBanEnd;
    d.WINDOW_ALPHABLENDVALUE = 128;
    return d;
}
} // namespace VN

void ReadEditSetting(VN::typEditSetting& s, const AnsiString& rootKey)
{
    using namespace VN;
    const typEditSetting d = EditSettingDefaults();
    WXRegIni ini(rootKey);
    WXRegIni* p = &ini;
    const AnsiString sec = kEditSettingSection;
    s.IS_REMAIN = ini.ReadBool(sec, "IS_REMAIN", d.IS_REMAIN);
    s.FONT_NAME = ReadFontName(ini, sec, "FONT_NAME", d.FONT_NAME);
    s.FONT_SIZE = ReadRanged(ini, sec, "FONT_SIZE", d.FONT_SIZE, kFontSizeMin, kFontSizeMax);
    s.色_文字 = ReadColour(ini, sec, "色_文字", d.色_文字);
    s.色_背景 = ReadColorRec(p, sec, "色_背景", d.色_背景.colour, d.色_背景.bkcolour);
    s.色_選択文字 = ReadColorRec(p, sec, "色_選択文字", d.色_選択文字.colour, d.色_選択文字.bkcolour);
    s.色_強調文字列 = ReadColorRec(p, sec, "色_強調文字列", d.色_強調文字列.colour, d.色_強調文字列.bkcolour);
    s.NORMAL_COLOR = s.色_背景.colour;
    s.色_行番号 = ReadColorRec(p, sec, "色_行番号", d.色_行番号.colour, d.色_行番号.bkcolour);
    s.色_ルーラー = ReadColorRec(p, sec, "色_ルーラー", d.色_ルーラー.colour, d.色_ルーラー.bkcolour);
    for (int i = 0; i < 3; ++i)
        s.色_検索文字列[i] =
            ReadColorRec(p, sec, kSearchColourKeys[i], d.色_検索文字列[i].colour, d.色_検索文字列[i].bkcolour);
    s.ROWPITCH = ReadRanged(ini, sec, "ROWPITCH", d.ROWPITCH, kRowPitchMin, kRowPitchMax);
    s.DISPROWNUM = ini.ReadBool(sec, "DISPROWNUM", d.DISPROWNUM);
    s.DISPRULA = ini.ReadBool(sec, "DISPRULA", d.DISPRULA);
    s.AUTO_INDENT = ini.ReadBool(sec, "AUTO_INDENT", d.AUTO_INDENT);
    s.TABSIZE = ReadRanged(ini, sec, "TABSIZE", d.TABSIZE, kTabSizeMin, kTabSizeMax);
    s.UNDOBSAVE = ini.ReadBool(sec, "UNDOBSAVE", d.UNDOBSAVE);
    s.DISPTAB = ini.ReadBool(sec, "DISPTAB", d.DISPTAB);
    s.USETAB = ini.ReadBool(sec, "USETAB", d.USETAB);
    s.DISSPACE2 = ini.ReadBool(sec, "DISSPACE2", d.DISSPACE2);
    s.BACKUPFILE = ini.ReadBool(sec, "BACKUPFILE", d.BACKUPFILE);
    s.ISWRAP = ini.ReadBool(sec, "ISWRAP", d.ISWRAP);
    s.WRAPWIDTH = ReadRanged(ini, sec, "WRAPWIDTH", d.WRAPWIDTH, kWrapWidthMin, kWrapWidthMax);

    const AnsiString wp = kWallpaperSection;
    s.TRANSPARENCY = ini.ReadBool(wp, "TRANSPARENCY", d.TRANSPARENCY);
    s.ALPHA_VALUE = ReadRanged(ini, wp, "ALPHA_VALUE", d.ALPHA_VALUE, kAlphaMin, kAlphaMax);
    // Behind text over a wallpaper the normal background is the natural default.
    s.STR_BKCOLOR = ReadColour(ini, wp, "STR_BKCOLOR", s.色_背景.bkcolour);
    s.STR_BK_ALPHA = ReadRanged(ini, wp, "STR_BK_ALPHA", d.STR_BK_ALPHA, kAlphaMin, kAlphaMax);
    s.STR_TRANSPARENCY = ini.ReadBool(wp, "STR_TRANSPARENCY", d.STR_TRANSPARENCY);

    s.KINSOKU = ini.ReadBool(sec, "KINSOKU", d.KINSOKU);
    s.BANHEAD = AnsiToNsString(FirstChars(ini.ReadString(sec, "BANHEAD", NsStringToAnsi(d.BANHEAD)), kBanCharsMax));
    s.BANEND = AnsiToNsString(FirstChars(ini.ReadString(sec, "BANEND", NsStringToAnsi(d.BANEND)), kBanCharsMax));
    s.WINDOW_ALPHABLENDVALUE =
        ReadRanged(ini, sec, "WINDOW_ALPHABLENDVALUE", d.WINDOW_ALPHABLENDVALUE, kAlphaMin, kAlphaMax);
}

void WriteEditSetting(const VN::typEditSetting& s, const AnsiString& rootKey)
{
    WXRegIni ini(rootKey);
    WXRegIni* p = &ini;
    const AnsiString sec = VN::kEditSettingSection;
    ini.WriteBool(sec, "IS_REMAIN", s.IS_REMAIN);
    ini.WriteString(sec, "FONT_NAME", NsStringToAnsi(s.FONT_NAME));
    ini.WriteInteger(sec, "FONT_SIZE", s.FONT_SIZE);
    ini.WriteInteger(sec, "色_文字", s.色_文字);
    WriteColorRec(p, sec, "色_背景", s.色_背景);
    WriteColorRec(p, sec, "色_選択文字", s.色_選択文字);
    WriteColorRec(p, sec, "色_強調文字列", s.色_強調文字列);
    WriteColorRec(p, sec, "色_行番号", s.色_行番号);
    WriteColorRec(p, sec, "色_ルーラー", s.色_ルーラー);
    for (int i = 0; i < 3; ++i)
        WriteColorRec(p, sec, kSearchColourKeys[i], s.色_検索文字列[i]);
    ini.WriteInteger(sec, "ROWPITCH", s.ROWPITCH);
    ini.WriteBool(sec, "DISPROWNUM", s.DISPROWNUM);
    ini.WriteBool(sec, "DISPRULA", s.DISPRULA);
    ini.WriteInteger(sec, "AUTO_INDENT", s.AUTO_INDENT ? 1 : 0);
    ini.WriteInteger(sec, "TABSIZE", s.TABSIZE);
    ini.WriteBool(sec, "UNDOBSAVE", s.UNDOBSAVE);
    ini.WriteBool(sec, "DISPTAB", s.DISPTAB);
    ini.WriteBool(sec, "USETAB", s.USETAB);
    ini.WriteBool(sec, "DISSPACE2", s.DISSPACE2);
    ini.WriteBool(sec, "BACKUPFILE", s.BACKUPFILE);
    ini.WriteBool(sec, "ISWRAP", s.ISWRAP);
    ini.WriteInteger(sec, "WRAPWIDTH", s.WRAPWIDTH);
    ini.WriteBool(sec, "KINSOKU", s.KINSOKU);
    ini.WriteString(sec, "BANHEAD", NsStringToAnsi(s.BANHEAD));
    ini.WriteString(sec, "BANEND", NsStringToAnsi(s.BANEND));
    ini.WriteInteger(sec, "WINDOW_ALPHABLENDVALUE", s.WINDOW_ALPHABLENDVALUE);
}
