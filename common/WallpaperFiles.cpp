#include "common/WallpaperFiles.h"

#include <algorithm>

#include "common/WexmoorDef.h"
#include "platform/SysUtils.h"

namespace
{
bool IsPictureName(const AnsiString& name)
{
    const AnsiString ext = ExtractFileExt(name).UpperCase();
    return ext == ".BMP" || ext == ".JPG" || ext == ".JPEG";
}
} // namespace

std::vector<AnsiString> ListWallpaperPictures(const AnsiString& folder)
{
    std::vector<AnsiString> pictures;
    if (folder.IsEmpty())
        return pictures;
    const AnsiString dir = IncludeTrailingBackslash(folder);
    std::vector<typFolderEntry> entries;
    if (ListFolder(entries, dir + "*.*") != 0)
        return pictures;
    for (const typFolderEntry& e : entries)
        if (!e.IsDirectory() && IsPictureName(e.name))
            pictures.push_back(dir + e.name);
    std::sort(pictures.begin(), pictures.end(),
              [](const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) < 0; });
    return pictures;
}
