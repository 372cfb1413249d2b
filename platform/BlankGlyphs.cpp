#include "BlankGlyphs.h"

#include <algorithm>
#include <cwchar>

namespace
{
constexpr size_t kFacesKept = 4;

bool SameFont(const LOGFONTW& a, const LOGFONTW& b)
{
    return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
           a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
           a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
           a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
           std::wcsncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}
} // namespace

TBlankGlyphs::TFace& TBlankGlyphs::FaceOf(const LOGFONTW& font)
{
    auto it = std::find_if(faces_.begin(), faces_.end(), [&](const TFace& f) { return SameFont(f.font, font); });
    if (it != faces_.end())
    {
        std::rotate(faces_.begin(), it, it + 1); // the latest first
        return faces_.front();
    }
    if (faces_.size() >= kFacesKept)
        faces_.pop_back();
    faces_.insert(faces_.begin(), TFace{font, {}});
    return faces_.front();
}

TBlankGlyphs::TBox TBlankGlyphs::Measure(HDC dc, wchar_t ch, int ascent)
{
    TBox box;
    static const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    if (GetGlyphOutlineW(dc, ch, GGO_METRICS, &gm, 0, nullptr, &identity) == GDI_ERROR)
        return box;
    // An empty glyph reports a box of one pixel; only a bar at most two pixels thick can miss
    // every pixel centre, so only such a glyph is rasterized to be looked at.
    const UINT w = gm.gmBlackBoxX, h = gm.gmBlackBoxY;
    if ((w <= 1 && h <= 1) || std::min(w, h) > 2)
        return box;
    if (GetGlyphOutlineW(dc, ch, GGO_BITMAP, &gm, 0, nullptr, &identity) != 0)
        return box; // it has pixels (or cannot tell)
    box.blank = true;
    box.cell.left = gm.gmptGlyphOrigin.x;
    box.cell.top = ascent - gm.gmptGlyphOrigin.y;
    box.cell.right = box.cell.left + LONG(w);
    box.cell.bottom = box.cell.top + LONG(h);
    return box;
}

void TBlankGlyphs::Ink(HDC dc, int x, int y, const RECT* clip, const std::wstring& text,
                       const std::vector<int>& advances)
{
    if (text.empty() || advances.size() != text.size())
        return; // without advances the characters' places are the font's own: not told here
    if ((GetTextAlign(dc) & (TA_UPDATECP | TA_RIGHT | TA_CENTER | TA_BOTTOM | TA_BASELINE)) != 0)
        return;
    LOGFONTW font{};
    if (!GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font))
        return;
    TFace& face = FaceOf(font);
    int ascent = -1;
    HBRUSH ink = nullptr;
    int at = x;
    for (size_t i = 0; i < text.size(); at += advances[i], ++i)
    {
        auto it = face.boxes.find(text[i]);
        if (it == face.boxes.end())
        {
            if (ascent < 0)
            {
                TEXTMETRICW tm{};
                ascent = GetTextMetricsW(dc, &tm) ? tm.tmAscent : 0;
            }
            it = face.boxes.emplace(text[i], Measure(dc, text[i], ascent)).first;
        }
        if (!it->second.blank)
            continue;
        RECT r = it->second.cell;
        OffsetRect(&r, at, y);
        if (clip && !IntersectRect(&r, &r, clip))
            continue;
        if (!ink)
            ink = CreateSolidBrush(GetTextColor(dc));
        FillRect(dc, &r, ink);
    }
    if (ink)
        DeleteObject(ink);
}
