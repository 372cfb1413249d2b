#include "Graphics.h"

#include <algorithm>
#include <cstring>

#include "BmpReader.h"
#include "Classes.h"
#include "Cp932.h"
#include "SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Pictures from files

namespace
{
// Nothing larger is decoded, whatever it is reduced to: 128 million pixels in the file, 64 million
// decoded (192 MB).
constexpr int64_t kMaxSourcePixels = int64_t(1) << 27;
constexpr int64_t kMaxDecodedPixels = int64_t(1) << 26;
// Enough for the largest picture taken with room for its headers.
constexpr int64_t kMaxPictureFile = kMaxSourcePixels * 4 + (int64_t(1) << 20);
} // namespace

int PictureScaleDenom(int width, int height, int fitWidth, int fitHeight)
{
    if (fitWidth <= 0 || fitHeight <= 0)
        return 1;
    int denom = 1;
    while (denom < 8 && width / (denom * 2) >= fitWidth && height / (denom * 2) >= fitHeight)
        denom *= 2;
    return denom;
}

bool PictureSizeAllowed(int64_t width, int64_t height, int64_t outWidth, int64_t outHeight)
{
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || outWidth <= 0 || outHeight <= 0)
        return false;
    return width * height <= kMaxSourcePixels && outWidth * outHeight <= kMaxDecodedPixels;
}

void CentreSpan(int side, int limit, int& first, int& length)
{
    length = limit <= 0 || side <= limit ? side : limit + (side - limit) % 2;
    first = (side - length) / 2;
}

std::vector<uint8_t> ReadPictureFile(const AnsiString& path)
{
    std::vector<uint8_t> data;
    try
    {
        TFileStream file(path, fmOpenRead | fmShareDenyWrite);
        const int64_t size = file.GetSize();
        if (size <= 0 || size > kMaxPictureFile)
            throw EInvalidGraphic(path);
        data.resize(size_t(size));
        file.ReadBuffer(data.data(), int(data.size()));
    }
    catch (const std::exception&)
    {
        throw EInvalidGraphic("画像ファイル " + path + " を読めません");
    }
    return data;
}

TColor ColorToRGB(TColor color)
{
    if (color < 0)
        return TColor(GetSysColor(color & 0xFF));
    return color;
}

static int ScreenPixelsPerInch()
{
    static const int dpi = [] {
        HDC dc = GetDC(nullptr);
        int value = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

// ---------------------------------------------------------------------------------------------
// Fonts, brushes, pens

TGraphicsObject::~TGraphicsObject()
{
    if (handle_)
        DeleteObject(handle_);
}

void TGraphicsObject::Changed(bool handleChanges)
{
    HGDIOBJ old = nullptr;
    if (handleChanges)
        std::swap(old, handle_);
    try
    {
        if (OnChange)
            OnChange(this);
    }
    catch (...)
    {
        if (old)
            DeleteObject(old);
        throw;
    }
    if (old)
        DeleteObject(old);
}

TFont::TFont() : name_("ＭＳ Ｐゴシック"), height_(-MulDiv(9, ScreenPixelsPerInch(), 72))
{
}

HFONT TFont::Handle()
{
    if (!handle_)
    {
        std::wstring face = SjisToWide(name_);
        if (face.size() >= LF_FACESIZE)
            face.resize(LF_FACESIZE - 1);
        DWORD pitch = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
        handle_ = CreateFontW(height_, 0, 0, 0, style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL,
                              style_.Contains(fsItalic), style_.Contains(fsUnderline),
                              style_.Contains(fsStrikeOut), charset_, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, pitch | FF_DONTCARE, face.c_str());
        if (!handle_)
            throw EOSError("フォント " + name_ + " を作成できません");
    }
    return static_cast<HFONT>(handle_);
}

void TFont::Assign(const TFont& source)
{
    if (&source == this)
        return;
    bool handleChanges = name_ != source.name_ || height_ != source.height_ || style_ != source.style_ ||
                         charset_ != source.charset_ || pitch_ != source.pitch_;
    if (!handleChanges && color_ == source.color_)
        return;
    name_ = source.name_;
    height_ = source.height_;
    style_ = source.style_;
    charset_ = source.charset_;
    pitch_ = source.pitch_;
    color_ = source.color_;
    Changed(handleChanges);
}

void TFont::SetName(const AnsiString& name)
{
    if (name == name_ || name.IsEmpty())
        return;
    name_ = name;
    Changed(true);
}

void TFont::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    Changed(true);
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, ScreenPixelsPerInch());
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72));
}

void TFont::SetStyle(TFontStyles style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed(true);
}

void TFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed(false); // the colour is the canvas's text colour, not part of the GDI font
}

void TFont::SetCharset(TFontCharset charset)
{
    if (charset == charset_)
        return;
    charset_ = charset;
    Changed(true);
}

void TFont::SetPitch(TFontPitch pitch)
{
    if (pitch == pitch_)
        return;
    pitch_ = pitch;
    Changed(true);
}

HBRUSH TBrush::Handle()
{
    if (!handle_)
    {
        if (style_ == bsClear)
            handle_ = GetStockObject(NULL_BRUSH);
        else
            handle_ = CreateSolidBrush(COLORREF(ColorToRGB(color_)));
        if (!handle_)
            throw EOSError("ブラシを作成できません");
    }
    return static_cast<HBRUSH>(handle_);
}

void TBrush::Assign(const TBrush& source)
{
    if (&source == this || (color_ == source.color_ && style_ == source.style_))
        return;
    color_ = source.color_;
    style_ = source.style_;
    Changed(true);
}

void TBrush::SetColor(TColor color)
{
    if (color == color_ && style_ == bsSolid)
        return;
    color_ = color;
    style_ = bsSolid; // a colour means a solid brush, as in the class library
    Changed(true);
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed(true);
}

HPEN TPen::Handle()
{
    if (!handle_)
    {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_NULL};
        handle_ = CreatePen(styles[style_], width_, COLORREF(ColorToRGB(color_)));
        if (!handle_)
            throw EOSError("ペンを作成できません");
    }
    return static_cast<HPEN>(handle_);
}

void TPen::Assign(const TPen& source)
{
    if (&source == this)
        return;
    bool handleChanges = color_ != source.color_ || width_ != source.width_ || style_ != source.style_;
    if (!handleChanges && mode_ == source.mode_)
        return;
    color_ = source.color_;
    width_ = source.width_;
    style_ = source.style_;
    mode_ = source.mode_;
    Changed(handleChanges);
}

void TPen::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed(true);
}

void TPen::SetWidth(int width)
{
    if (width == width_)
        return;
    width_ = width;
    Changed(true);
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    Changed(true);
}

void TPen::SetMode(TPenMode mode)
{
    if (mode == mode_)
        return;
    mode_ = mode;
    Changed(false);
}

// ---------------------------------------------------------------------------------------------
// Canvas

TCanvas::TCanvas() : font_(new TFont), brush_(new TBrush), pen_(new TPen)
{
    font_->OnChange = TNotifyEvent(this, &TCanvas::FontChanged);
    brush_->OnChange = TNotifyEvent(this, &TCanvas::BrushChanged);
    pen_->OnChange = TNotifyEvent(this, &TCanvas::PenChanged);
}

TCanvas::~TCanvas()
{
    DetachHandle();
    delete font_;
    delete brush_;
    delete pen_;
}

HDC TCanvas::Handle()
{
    if (!dc_)
        CreateHandle();
    if (!dc_)
        throw EInvalidOperation("キャンバスに描画できません");
    SelectObjects();
    return dc_;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == dc_)
        return;
    FreeHandle();
    dc_ = dc;
}

void TCanvas::DetachHandle()
{
    if (dc_)
    {
        if (origFont_)
            SelectObject(dc_, origFont_);
        if (origBrush_)
            SelectObject(dc_, origBrush_);
        if (origPen_)
            SelectObject(dc_, origPen_);
    }
    origFont_ = origBrush_ = origPen_ = nullptr;
    fontValid_ = brushValid_ = penValid_ = false;
    dc_ = nullptr;
}

void TCanvas::SelectObjects()
{
    if (!fontValid_)
    {
        HGDIOBJ old = SelectObject(dc_, font_->Handle());
        if (!origFont_)
            origFont_ = old;
        fontValid_ = true;
        textColorValid_ = false;
    }
    if (!textColorValid_)
    {
        SetTextColor(dc_, COLORREF(ColorToRGB(font_->Color())));
        textColorValid_ = true;
    }
    if (!brushValid_)
    {
        HGDIOBJ old = SelectObject(dc_, brush_->Handle());
        if (!origBrush_)
            origBrush_ = old;
        SetBkColor(dc_, COLORREF(ColorToRGB(brush_->Color())));
        SetBkMode(dc_, brush_->Style() == bsClear ? TRANSPARENT : OPAQUE);
        brushValid_ = true;
    }
    if (!penValid_)
    {
        HGDIOBJ old = SelectObject(dc_, pen_->Handle());
        if (!origPen_)
            origPen_ = old;
        penValid_ = true;
        ropValid_ = false;
    }
    if (!ropValid_)
    {
        static const int rops[] = {R2_COPYPEN, R2_NOT, R2_XORPEN, R2_NOTXORPEN};
        SetROP2(dc_, rops[pen_->Mode()]);
        ropValid_ = true;
    }
}

// The object may be about to delete its handle: put the DC's own object back first.
void TCanvas::FontChanged(TObject*)
{
    // A colour alone keeps the selected font: selecting a font again costs the platform far more
    // than setting the text colour.
    if (fontValid_ && font_->HandleAllocated())
    {
        textColorValid_ = false;
        return;
    }
    if (dc_ && origFont_)
    {
        SelectObject(dc_, origFont_);
        origFont_ = nullptr;
    }
    fontValid_ = false;
}

void TCanvas::BrushChanged(TObject*)
{
    if (dc_ && origBrush_)
    {
        SelectObject(dc_, origBrush_);
        origBrush_ = nullptr;
    }
    brushValid_ = false;
}

void TCanvas::PenChanged(TObject*)
{
    if (penValid_ && pen_->HandleAllocated())
    {
        ropValid_ = false; // the mode alone: the selected pen stays
        return;
    }
    if (dc_ && origPen_)
    {
        SelectObject(dc_, origPen_);
        origPen_ = nullptr;
    }
    penValid_ = false;
}

TPoint TCanvas::PenPos()
{
    POINT p{};
    GetCurrentPositionEx(Handle(), &p);
    return TPoint(p.x, p.y);
}

void TCanvas::MoveTo(int x, int y)
{
    MoveToEx(Handle(), x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    ::LineTo(Handle(), x, y);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    ::Rectangle(Handle(), left, top, right, bottom);
}

void TCanvas::FillRect(const TRect& r)
{
    RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    HDC dc = Handle();
    ::FillRect(dc, &rc, brush_->Handle());
}

void TCanvas::FloodFill(int x, int y, TColor color, TFillStyle style)
{
    ExtFloodFill(Handle(), x, y, COLORREF(ColorToRGB(color)),
                 style == fsSurface ? FLOODFILLSURFACE : FLOODFILLBORDER);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text)
{
    std::wstring w = SjisToWide(text);
    HDC dc = Handle();
    ExtTextOutW(dc, x, y, 0, nullptr, w.c_str(), UINT(w.size()), nullptr);
    SIZE size{};
    GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &size);
    MoveToEx(dc, x + size.cx, y, nullptr);
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text)
{
    std::wstring w = SjisToWide(text);
    RECT rc{r.Left, r.Top, r.Right, r.Bottom};
    UINT options = ETO_CLIPPED | (brush_->Style() == bsClear ? 0 : ETO_OPAQUE);
    ExtTextOutW(Handle(), x, y, options, &rc, w.c_str(), UINT(w.size()), nullptr);
}

TSize TCanvas::TextExtent(const AnsiString& text)
{
    std::wstring w = SjisToWide(text);
    SIZE size{};
    GetTextExtentPoint32W(Handle(), w.c_str(), int(w.size()), &size);
    return TSize{size.cx, size.cy};
}

void SjisRunToWide(const char* bytes, int len, const int* byteAdvances, std::wstring& text,
                   std::vector<int>& advances)
{
    text.clear();
    advances.clear();
    if (len <= 0)
        return;
    auto advanceOf = [&](int i, int n) {
        if (!byteAdvances)
            return 0;
        return n == 2 ? byteAdvances[i] + byteAdvances[i + 1] : byteAdvances[i];
    };
    // Usually the whole run converts and yields one unit per character.
    text.resize(size_t(len));
    int units = MultiByteToWideChar(kCodePageSjis, MB_ERR_INVALID_CHARS, bytes, len, text.data(), len);
    int chars = 0;
    for (int i = 0; i < len; ++chars)
        i += IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < len ? 2 : 1;
    if (units == chars)
    {
        text.resize(size_t(units));
        advances.reserve(size_t(units));
        for (int i = 0; i < len;)
        {
            int n = IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < len ? 2 : 1;
            advances.push_back(advanceOf(i, n));
            i += n;
        }
        return;
    }
    // Some bytes do not convert: go character by character.
    text.clear();
    auto convertOne = [&](int i, int n) -> wchar_t {
        wchar_t out[2];
        int got = MultiByteToWideChar(kCodePageSjis, MB_ERR_INVALID_CHARS, bytes + i, n, out, 2);
        return got == 1 ? out[0] : L'\x30FB';
    };
    for (int i = 0; i < len;)
    {
        int n = IsSjisLead(static_cast<unsigned char>(bytes[i])) && i + 1 < len ? 2 : 1;
        wchar_t out[2];
        if (MultiByteToWideChar(kCodePageSjis, MB_ERR_INVALID_CHARS, bytes + i, n, out, 2) == 1)
        {
            text.push_back(out[0]);
            advances.push_back(advanceOf(i, n));
        }
        else
        {
            for (int k = 0; k < n; ++k)
            {
                text.push_back(convertOne(i + k, 1));
                advances.push_back(advanceOf(i + k, 1));
            }
        }
        i += n;
    }
}

void TCanvas::ExtTextOutSjis(int x, int y, unsigned options, const TRect* clip, const char* bytes, int len,
                             const int* byteAdvances)
{
    SjisRunToWide(bytes, len, byteAdvances, runText_, runAdvances_);
    RECT rc{};
    if (clip)
        rc = RECT{clip->Left, clip->Top, clip->Right, clip->Bottom};
    ExtTextOutW(Handle(), x, y, options, clip ? &rc : nullptr, runText_.c_str(), UINT(runText_.size()),
                byteAdvances ? runAdvances_.data() : nullptr);
    if (byteAdvances)
        blankGlyphs_.Ink(Handle(), x, y, clip ? &rc : nullptr, runText_, runAdvances_);
}

void TCanvas::Draw(int x, int y, TBitmap* bitmap)
{
    if (!bitmap || bitmap->Empty())
        return;
    HDC dc = Handle();
    BitBlt(dc, x, y, bitmap->Width(), bitmap->Height(), bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TCanvas::StretchDraw(const TRect& dest, TBitmap* bitmap)
{
    if (!bitmap || bitmap->Empty())
        return;
    HDC dc = Handle();
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), bitmap->Canvas()->Handle(), 0, 0,
               bitmap->Width(), bitmap->Height(), SRCCOPY);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect)
{
    HDC dc = Handle();
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), source->Handle(), sourceRect.Left,
               sourceRect.Top, sourceRect.Width(), sourceRect.Height(), SRCCOPY);
}

// ---------------------------------------------------------------------------------------------
// Bitmap

class TBitmap::TBitmapCanvas : public TCanvas
{
public:
    explicit TBitmapCanvas(TBitmap* owner) : owner_(owner) {}
    ~TBitmapCanvas() override { TBitmapCanvas::FreeHandle(); }

    void FreeHandle() override
    {
        HDC dc = memDC_;
        bool own = dc && dc == dc_;
        DetachHandle();
        if (own)
        {
            SelectObject(dc, origBitmap_);
            DeleteDC(dc);
        }
        memDC_ = nullptr;
        origBitmap_ = nullptr;
    }

protected:
    void CreateHandle() override
    {
        HDC dc = CreateCompatibleDC(nullptr);
        if (!dc)
            throw EOSError("メモリ DC を作成できません");
        origBitmap_ = owner_->bitmap_ ? SelectObject(dc, owner_->bitmap_) : nullptr;
        memDC_ = dc;
        dc_ = dc;
    }

private:
    TBitmap* owner_;
    HDC memDC_ = nullptr;
    HGDIOBJ origBitmap_ = nullptr;
};

static int BitsOf(TPixelFormat format)
{
    switch (format)
    {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return 24;
    }
}

static TPixelFormat FormatOf(int bits)
{
    switch (bits)
    {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfDevice;
    }
}

// A white DIB section of 1, 24 or 32 bits per pixel (not filled when every pixel is written next).
static HBITMAP CreateWhiteDib(int w, int h, int bits, bool fill = true)
{
    struct
    {
        BITMAPINFOHEADER header;
        RGBQUAD colors[2];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = h;
    info.header.biPlanes = 1;
    info.header.biBitCount = WORD(bits);
    info.header.biCompression = BI_RGB;
    if (bits == 1)
    {
        info.header.biClrUsed = 2;
        info.colors[1] = RGBQUAD{255, 255, 255, 0};
    }
    void* pixels = nullptr;
    HBITMAP bmp =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bmp || !pixels)
        throw EOSError("ビットマップを作成できません (" + AnsiString(w) + "x" + AnsiString(h) + ")");
    size_t stride = ((size_t(w) * size_t(bits) + 31) / 32) * 4;
    if (fill)
        std::memset(pixels, 0xFF, stride * size_t(h));
    GdiFlush();
    return bmp;
}

// Copies the overlapping part of one bitmap into another.
static void CopyBits(HBITMAP from, HBITMAP to, int w, int h)
{
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSrc = SelectObject(src, from);
    HGDIOBJ oldDst = SelectObject(dst, to);
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
    SelectObject(src, oldSrc);
    SelectObject(dst, oldDst);
    DeleteDC(src);
    DeleteDC(dst);
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    delete canvas_;
    if (bitmap_)
        DeleteObject(bitmap_);
}

TCanvas* TBitmap::Canvas()
{
    if (!canvas_)
        canvas_ = new TBitmapCanvas(this);
    return canvas_;
}

void TBitmap::Replace(HBITMAP bitmap, int w, int h, TPixelFormat format)
{
    if (canvas_)
        canvas_->FreeHandle(); // the old bitmap must leave the canvas DC before it is deleted
    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = bitmap;
    width_ = w;
    height_ = h;
    format_ = format;
}

void TBitmap::SetSize(int w, int h)
{
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == width_ && h == height_)
        return;
    TPixelFormat format = format_ == pf1bit || format_ == pf32bit ? format_ : pf24bit;
    if (w == 0 || h == 0)
    {
        Replace(nullptr, w, h, format);
        return;
    }
    HBITMAP bmp = CreateWhiteDib(w, h, BitsOf(format));
    if (canvas_)
        canvas_->FreeHandle();
    if (bitmap_)
        CopyBits(bitmap_, bmp, std::min(w, width_), std::min(h, height_));
    Replace(bmp, w, h, format);
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == format_)
        return;
    if (format != pf24bit && format != pf32bit)
        throw EInvalidOperation("この画素形式には変換できません");
    if (!bitmap_)
    {
        format_ = format;
        return;
    }
    HBITMAP bmp = CreateWhiteDib(width_, height_, BitsOf(format));
    if (canvas_)
        canvas_->FreeHandle();
    CopyBits(bitmap_, bmp, width_, height_);
    Replace(bmp, width_, height_, format);
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const AnsiString& name)
{
    std::wstring wname = SjisToWide(name);
    HANDLE image = LoadImageW(instance, wname.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!image)
        throw EOSError("ビットマップ リソース " + name + " が見つかりません");
    HBITMAP bmp = static_cast<HBITMAP>(image);
    DIBSECTION ds{};
    if (GetObjectW(bmp, sizeof ds, &ds) == 0)
    {
        DeleteObject(bmp);
        throw EOSError("ビットマップ リソース " + name + " を読めません");
    }
    Replace(bmp, ds.dsBm.bmWidth, ds.dsBm.bmHeight, FormatOf(ds.dsBm.bmBitsPixel));
}

void TBitmap::LoadFromFile(const AnsiString& path, const typPictureRead& read)
{
    const std::vector<uint8_t> data = ReadPictureFile(path);
    typBmpHeader header;
    if (!ReadBmpHeader(data.data(), data.size(), header))
        throw EInvalidGraphic("ビットマップ " + path + " を読めません");
    int denom = 1;
    typBmpWindow window;
    if (read.fit == pfCentre)
    {
        CentreSpan(header.width, read.width, window.left, window.width);
        CentreSpan(header.height, read.height, window.top, window.height);
    }
    else
    {
        denom = PictureScaleDenom(header.width, header.height, read.width, read.height);
        window.width = BmpScaled(header.width, denom);
        window.height = BmpScaled(header.height, denom);
    }
    const int w = window.width, h = window.height;
    if (!PictureSizeAllowed(header.width, header.height, w, h))
        throw EInvalidGraphic("ビットマップ " + path + " は大きすぎます");
    HBITMAP bmp = CreateWhiteDib(w, h, 24, false);
    DIBSECTION ds{};
    GetObjectW(bmp, sizeof ds, &ds);
    // A DIB section holds its bottom row first.
    const ptrdiff_t stride = ds.dsBm.bmWidthBytes;
    if (!DecodeBmp(data.data(), data.size(), header, denom, static_cast<uint8_t*>(ds.dsBm.bmBits) + stride * (h - 1),
                   -stride, read.fit == pfCentre ? window : typBmpWindow(), read.cancel))
    {
        DeleteObject(bmp);
        throw EInvalidGraphic("ビットマップ " + path + " の読み込みを止めました");
    }
    Replace(bmp, w, h, pf24bit);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& dest)
{
    if (dest.Width() == width_ && dest.Height() == height_)
        canvas->Draw(dest.Left, dest.Top, this);
    else
        canvas->StretchDraw(dest, this);
}

uint8_t* TBitmap::ScanLine(int y)
{
    if (!bitmap_ || y < 0 || y >= height_ || (format_ != pf24bit && format_ != pf32bit))
        return nullptr;
    DIBSECTION ds{};
    if (GetObjectW(bitmap_, sizeof ds, &ds) == 0 || !ds.dsBm.bmBits)
        return nullptr;
    GdiFlush();
    const size_t stride = size_t(ds.dsBm.bmWidthBytes);
    const int row = ds.dsBmih.biHeight > 0 ? height_ - 1 - y : y;
    return static_cast<uint8_t*>(ds.dsBm.bmBits) + stride * size_t(row);
}

void TBitmap::AssignScaled(TBitmap* source, int w, int h)
{
    w = std::max(w, 1);
    h = std::max(h, 1);
    HBITMAP bmp = CreateWhiteDib(w, h, 24);
    HDC dst = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dst, bmp);
    SetStretchBltMode(dst, HALFTONE);
    SetBrushOrgEx(dst, 0, 0, nullptr);
    StretchBlt(dst, 0, 0, w, h, source->Canvas()->Handle(), 0, 0, source->Width(), source->Height(), SRCCOPY);
    SelectObject(dst, old);
    DeleteDC(dst);
    Replace(bmp, w, h, pf24bit);
}

int GdiObjectsInUse()
{
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted > 0)
        return int(counted);
    // A handle's low word indexes the table; with a zero high word any generation matches.
    int live = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        live += GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return live;
}
