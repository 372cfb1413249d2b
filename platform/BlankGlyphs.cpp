#include "BlankGlyphs.h"

#include <algorithm>
#include <cmath>
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

// The box of a glyph the font leaves blank; none for a glyph with pixels.
bool BlankBox(HDC dc, wchar_t ch, RECT& box)
{
    static const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    if (GetGlyphOutlineW(dc, ch, GGO_METRICS, &gm, 0, nullptr, &identity) == GDI_ERROR)
        return false;
    // An empty glyph reports a box of one pixel; only a bar at most two pixels thick can miss
    // every pixel centre, so only such a glyph is rasterized to be looked at.
    const UINT w = gm.gmBlackBoxX, h = gm.gmBlackBoxY;
    if ((w <= 1 && h <= 1) || std::min(w, h) > 2)
        return false;
    if (GetGlyphOutlineW(dc, ch, GGO_BITMAP, &gm, 0, nullptr, &identity) != 0)
        return false; // it has pixels (or cannot tell)
    box.left = gm.gmptGlyphOrigin.x;
    box.top = -gm.gmptGlyphOrigin.y;
    box.right = box.left + LONG(w);
    box.bottom = box.top + LONG(h);
    return true;
}
} // namespace

TBlankGlyphs::TFace& TBlankGlyphs::FaceOf(const LOGFONTW& font, FLOAT scaleX, FLOAT scaleY, DWORD mode)
{
    auto it = std::find_if(faces_.begin(), faces_.end(), [&](const TFace& f) {
        return f.scaleX == scaleX && f.scaleY == scaleY && f.mode == mode && SameFont(f.font, font);
    });
    if (it != faces_.end())
    {
        std::rotate(faces_.begin(), it, it + 1); // the latest first
        return faces_.front();
    }
    if (faces_.size() >= kFacesKept)
        faces_.pop_back();
    TFace face;
    face.font = font;
    face.scaleX = scaleX;
    face.scaleY = scaleY;
    face.mode = mode;
    faces_.insert(faces_.begin(), std::move(face));
    return faces_.front();
}

bool TBlankGlyphs::Known(const TFace& face, const wchar_t* text, size_t count)
{
    if (face.ascent < 0)
        return false;
    for (size_t i = 0; i < count; ++i)
        if (face.boxes.find(text[i]) == face.boxes.end())
            return false;
    return true;
}

void TBlankGlyphs::MeasureAscent(HDC dc, TFace& face, FLOAT scaleY)
{
    if (face.ascent >= 0)
        return;
    TEXTMETRICW tm{};
    face.ascent = GetTextMetricsW(dc, &tm) ? int(std::lround(tm.tmAscent * scaleY)) : 0;
}

const TBlankGlyphs::TBox& TBlankGlyphs::BoxOf(HDC dc, TFace& face, wchar_t ch)
{
    auto it = face.boxes.find(ch);
    if (it == face.boxes.end())
    {
        TBox box;
        box.blank = BlankBox(dc, ch, box.box);
        it = face.boxes.emplace(ch, box).first;
    }
    return it->second;
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
    TFace& face = FaceOf(font, 1, 1, 0);
    HBRUSH ink = nullptr;
    int at = x;
    for (size_t i = 0; i < text.size(); at += advances[i], ++i)
    {
        const TBox& box = BoxOf(dc, face, text[i]);
        if (!box.blank)
            continue;
        MeasureAscent(dc, face, 1);
        RECT r = box.box;
        OffsetRect(&r, at, y + face.ascent);
        if (clip && !IntersectRect(&r, &r, clip))
            continue;
        if (!ink)
            ink = CreateSolidBrush(GetTextColor(dc));
        FillRect(dc, &r, ink);
    }
    if (ink)
        DeleteObject(ink);
}

void TBlankGlyphs::Ink(HDC dc, const EMREXTTEXTOUTW& record)
{
    const EMRTEXT& t = record.emrtext;
    const size_t count = t.nChars, size = record.emr.nSize;
    // Characters with their advances, as every text output of our pages holds them.
    if (count == 0 || t.offDx == 0 || (t.fOptions & (ETO_GLYPH_INDEX | ETO_PDY)) != 0 || t.offString > size ||
        count > (size - t.offString) / sizeof(wchar_t) || t.offDx > size || count > (size - t.offDx) / sizeof(INT))
        return;
    // Top-left aligned, on a scale that neither turns nor mirrors.
    XFORM scale{};
    if ((GetTextAlign(dc) & (TA_UPDATECP | TA_RIGHT | TA_CENTER | TA_BOTTOM | TA_BASELINE)) != 0 ||
        GetMapMode(dc) != MM_TEXT || !GetWorldTransform(dc, &scale) || scale.eM12 != 0 || scale.eM21 != 0 ||
        scale.eM11 <= 0 || scale.eM22 <= 0)
        return;
    LOGFONTW font{};
    HGDIOBJ current = GetCurrentObject(dc, OBJ_FONT);
    if (!GetObjectW(current, sizeof font, &font) || font.lfEscapement != 0 || font.lfOrientation != 0)
        return;
    const auto* bytes = reinterpret_cast<const BYTE*>(&record);
    const auto* text = reinterpret_cast<const wchar_t*>(bytes + t.offString);
    const auto* advances = reinterpret_cast<const INT*>(bytes + t.offDx);

    TFace& face = FaceOf(font, scale.eM11, scale.eM22, record.iGraphicsMode);
    if (!Known(face, text, count))
    {
        // The record went out in its own graphics mode, which decides the size the font was
        // realized at: measured so, then the playback's mode back.
        const int mode = GetGraphicsMode(dc);
        SetGraphicsMode(dc, int(record.iGraphicsMode));
        SelectObject(dc, current);
        MeasureAscent(dc, face, scale.eM22);
        for (size_t i = 0; i < count; ++i)
            BoxOf(dc, face, text[i]);
        SetGraphicsMode(dc, mode);
        SelectObject(dc, current);
    }

    fills_.clear();
    LONG at = t.ptlReference.x;
    for (size_t i = 0; i < count; at += advances[i], ++i)
    {
        const TBox& box = face.boxes.find(text[i])->second;
        if (!box.blank)
            continue;
        POINT origin{at, t.ptlReference.y};
        LPtoDP(dc, &origin, 1);
        RECT r = box.box;
        OffsetRect(&r, origin.x, origin.y + face.ascent);
        fills_.push_back(r);
    }
    if (fills_.empty())
        return;
    RECT clip{};
    const bool clipped = (t.fOptions & ETO_CLIPPED) != 0;
    if (clipped)
    {
        POINT corners[2]{{t.rcl.left, t.rcl.top}, {t.rcl.right, t.rcl.bottom}};
        LPtoDP(dc, corners, 2);
        clip = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    }
    // Filled in device pixels, as the playback's scale would move the boxes: without the scale,
    // logical units are device pixels less the origins.
    POINT window{}, viewport{};
    GetWindowOrgEx(dc, &window);
    GetViewportOrgEx(dc, &viewport);
    const int mode = GetGraphicsMode(dc);
    if (mode != GM_ADVANCED)
        SetGraphicsMode(dc, GM_ADVANCED);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    HBRUSH ink = CreateSolidBrush(GetTextColor(dc));
    for (RECT& r : fills_)
        if (!clipped || IntersectRect(&r, &r, &clip))
        {
            OffsetRect(&r, window.x - viewport.x, window.y - viewport.y);
            FillRect(dc, &r, ink);
        }
    DeleteObject(ink);
    SetWorldTransform(dc, &scale);
    if (mode != GM_ADVANCED)
        SetGraphicsMode(dc, mode);
}
