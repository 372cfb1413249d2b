// The pictures a wallpaper folder offers.
#pragma once

#include <vector>

#include "platform/AnsiString.h"

// The folder's .bmp, .jpg and .jpeg files (any case) as full paths, sorted; never folders, whatever
// their names. Empty for an empty name or a folder that cannot be listed.
std::vector<AnsiString> ListWallpaperPictures(const AnsiString& folder);
