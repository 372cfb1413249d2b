// Colours, fonts, brushes, pens, the canvas over a device context and the DIB-section bitmap.
// Text is CP932 bytes; it reaches GDI only through the W functions after explicit conversion.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>
#undef TextOut // our TCanvas::TextOut, not the A/W macro

#include "BlankGlyphs.h"
#include "Component.h"
#include "SysUtils.h"

// 0x00BBGGRR, or 0x80000000 | COLOR_xxx for a system colour.
using TColor = int;

constexpr TColor SysColor(int index) { return TColor(0x80000000u | unsigned(index)); }

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SysColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SysColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SysColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SysColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SysColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SysColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SysColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SysColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SysColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SysColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// A system colour becomes its current RGB value; any other colour is returned unchanged.
TColor ColorToRGB(TColor color);

struct TSize
{
    int cx = 0;
    int cy = 0;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>; // ToInt() fits one byte: bit 0 bold ... bit 3 strike-out
static_assert(TFontStyles{fsBold, fsItalic, fsUnderline, fsStrikeOut}.ToInt() == 0x0F);

enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = BYTE;
enum TBrushStyle { bsSolid, bsClear };
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psClear };
enum TPenMode { pmCopy, pmNot, pmXor, pmNotXor };
enum TFillStyle { fsSurface, fsBorder };

// Base of fonts, brushes and pens: a lazily made GDI handle and a change event. A setter fires
// OnChange only when the value changes. When the handle has to be remade, the old one is released
// after OnChange, so a canvas can first deselect it.
class TGraphicsObject : public TObject
{
public:
    TGraphicsObject() = default;
    TGraphicsObject(const TGraphicsObject&) = delete;
    TGraphicsObject& operator=(const TGraphicsObject&) = delete;
    ~TGraphicsObject() override;

    TNotifyEvent OnChange;
    // False while OnChange runs for a change that remakes the GDI object.
    bool HandleAllocated() const { return handle_ != nullptr; }

protected:
    // handleChanges: the GDI object depends on what changed and must be made again.
    void Changed(bool handleChanges);
    HGDIOBJ handle_ = nullptr;
};

class TFont : public TGraphicsObject
{
public:
    TFont();

    HFONT Handle();
    void Assign(const TFont& source);

    const AnsiString& Name() const { return name_; } // CP932 face name
    void SetName(const AnsiString& name);
    int Height() const { return height_; }            // pixels; negative = character height
    void SetHeight(int height);
    int Size() const;                                 // points, at the screen's pixels per inch
    void SetSize(int points);
    TFontStyles Style() const { return style_; }
    void SetStyle(TFontStyles style);
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFontCharset Charset() const { return charset_; }
    void SetCharset(TFontCharset charset);
    TFontPitch Pitch() const { return pitch_; }
    void SetPitch(TFontPitch pitch);

private:
    AnsiString name_;
    int height_;
    TFontStyles style_;
    TColor color_ = clWindowText;
    TFontCharset charset_ = SHIFTJIS_CHARSET;
    TFontPitch pitch_ = fpDefault;
};

class TBrush : public TGraphicsObject
{
public:
    HBRUSH Handle();
    void Assign(const TBrush& source);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

class TPen : public TGraphicsObject
{
public:
    HPEN Handle();
    void Assign(const TPen& source);

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);
    TPenMode Mode() const { return mode_; } // applied by the canvas (raster operation)
    void SetMode(TPenMode mode);

private:
    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = psSolid;
    TPenMode mode_ = pmCopy;
};

class TBitmap;

// Drawing on a device context. Reading Handle() for drawing selects the current font, brush and
// pen and sets the text colour (font), back colour and mode (brush) and raster operation (pen).
class TCanvas : public TObject
{
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle();
    void SetHandle(HDC dc); // a DC owned by the caller; nullptr detaches
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Deselects our objects and lets go of the DC (released if the canvas got it for itself).
    virtual void FreeHandle() { DetachHandle(); }

    TFont* Font() const { return font_; }
    void SetFont(const TFont* font) { font_->Assign(*font); }
    TBrush* Brush() const { return brush_; }
    void SetBrush(const TBrush* brush) { brush_->Assign(*brush); }
    TPen* Pen() const { return pen_; }
    void SetPen(const TPen* pen) { pen_->Assign(*pen); }

    TPoint PenPos();
    void SetPenPos(TPoint p) { MoveTo(p.x, p.y); }
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void FloodFill(int x, int y, TColor color, TFillStyle style);

    // Text output moves the pen to the end of the text, as the class library's did.
    void TextOut(int x, int y, const AnsiString& text);
    void TextRect(const TRect& r, int x, int y, const AnsiString& text);
    TSize TextExtent(const AnsiString& text);
    int TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
    int TextHeight(const AnsiString& text) { return TextExtent(text).cy; }
    // One run of the editor: ETO_xxx options, optional clip rectangle, and one advance per byte
    // (a double-byte character's two advances become its one UTF-16 unit's advance). A character
    // the font leaves blank at this size shows as its outline's box.
    void ExtTextOutSjis(int x, int y, unsigned options, const TRect* clip, const char* bytes, int len,
                        const int* byteAdvances);

    void Draw(int x, int y, TBitmap* bitmap);
    void StretchDraw(const TRect& dest, TBitmap* bitmap);
    void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);

protected:
    // Canvases that find their own DC (a window's, a bitmap's) get it here when it is first needed.
    virtual void CreateHandle() {}
    void DetachHandle(); // deselects our objects and forgets the DC
    HDC dc_ = nullptr;

private:
    void FontChanged(TObject*);
    void BrushChanged(TObject*);
    void PenChanged(TObject*);
    void SelectObjects();

    TFont* font_;
    TBrush* brush_;
    TPen* pen_;
    HGDIOBJ origFont_ = nullptr;
    HGDIOBJ origBrush_ = nullptr;
    HGDIOBJ origPen_ = nullptr;
    bool fontValid_ = false;
    bool brushValid_ = false;
    bool penValid_ = false;
    bool textColorValid_ = false; // the DC's text colour is the font's
    bool ropValid_ = false;       // the DC's raster operation is the pen's mode
    std::wstring runText_; // reused by ExtTextOutSjis
    std::vector<int> runAdvances_;
    TBlankGlyphs blankGlyphs_;
};

// CP932 run to UTF-16 with per-unit advances: each character of 1 or 2 bytes becomes one UTF-16
// unit whose advance is the sum of its bytes' advances. Bytes that do not convert become U+30FB.
void SjisRunToWide(const char* bytes, int len, const int* byteAdvances, std::wstring& text,
                   std::vector<int>& advances);

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit };

// A picture that can come from a file and be drawn on a canvas (bitmaps, JPEG images).
class TGraphic : public TObject
{
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    // Raises EInvalidGraphic when the file is missing or not a picture of this kind.
    virtual void LoadFromFile(const AnsiString& path) = 0;
    // Stretched to dest when the sizes differ.
    virtual void Draw(TCanvas* canvas, const TRect& dest) = 0;
};

// The file cannot be read as a picture.
VN_DECLARE_EXCEPTION(EInvalidGraphic, Exception)

// Pictures from files are reduced while they are decoded, to the smallest of 1/1, 1/2, 1/4 and 1/8
// of width x height that still covers fitWidth x fitHeight (1 with nothing to fit).
int PictureScaleDenom(int width, int height, int fitWidth, int fitHeight);
// A picture of width x height decoded into outWidth x outHeight pixels is refused from its header
// alone when it is larger than any picture taken: decoding it would take seconds and more memory
// than there is.
bool PictureSizeAllowed(int64_t width, int64_t height, int64_t outWidth, int64_t outHeight);

// How a picture file is read. pfReduce: at the smallest of 1/1, 1/2, 1/4 and 1/8 of its size that
// still covers width x height (PictureScaleDenom). pfCentre: only its middle, at most about width x
// height pixels of it (CentreSpan), at its own scale. 0 x 0: all of it at its own size. A read
// stops (EInvalidGraphic) once cancel is set.
enum TPictureFit
{
    pfReduce,
    pfCentre
};
struct typPictureRead
{
    int width = 0;
    int height = 0;
    TPictureFit fit = pfReduce;
    const std::atomic<bool>* cancel = nullptr;
};
// The part of a side of `side` pixels kept around its centre when at most `limit` are kept (all of
// it when limit is 0): from first, length pixels. The two margins cut off are equal, one more pixel
// kept when needed for that, so the part centred in any room up to limit shows exactly what the
// whole side centred there shows.
void CentreSpan(int side, int limit, int& first, int& length);
// The whole file; EInvalidGraphic when it is missing, unreadable or larger than any picture taken.
std::vector<uint8_t> ReadPictureFile(const AnsiString& path);

// A bitmap held as a DIB section, with a memory-DC canvas made when first drawn on.
class TBitmap : public TGraphic
{
public:
    TBitmap();
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void SetWidth(int w) { SetSize(w, height_); }
    void SetHeight(int h) { SetSize(width_, h); }
    // Keeps the overlapping part of the picture; new area is white.
    void SetSize(int w, int h);
    bool Empty() const override { return bitmap_ == nullptr; }
    HBITMAP Handle() const { return bitmap_; }
    TCanvas* Canvas();

    TPixelFormat PixelFormat() const { return format_; }
    // pf24bit and pf32bit; the picture is kept.
    void SetPixelFormat(TPixelFormat format);

    // Raises EOSError when the resource is missing.
    void LoadFromResourceName(HINSTANCE instance, const AnsiString& name);
    // A .bmp file, read by the program's own reader (BmpReader.h) into a 24-bit DIB section.
    void LoadFromFile(const AnsiString& path) override { LoadFromFile(path, 0, 0); }
    // Decoded at the reduced size that covers fitWidth x fitHeight (PictureScaleDenom). A file that
    // fails leaves the bitmap as it was.
    void LoadFromFile(const AnsiString& path, int fitWidth, int fitHeight)
    {
        LoadFromFile(path, typPictureRead{fitWidth, fitHeight});
    }
    void LoadFromFile(const AnsiString& path, const typPictureRead& read);
    void Draw(TCanvas* canvas, const TRect& dest) override;
    // The bytes of row y (0 = top) of a 24- or 32-bit bitmap, or null.
    uint8_t* ScanLine(int y);
    // A copy of source shrunk or stretched to w x h (halftone, so a big photo stays smooth).
    void AssignScaled(TBitmap* source, int w, int h);

private:
    class TBitmapCanvas;
    void Replace(HBITMAP bitmap, int w, int h, TPixelFormat format);

    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    TPixelFormat format_ = pf24bit;
    TBitmapCanvas* canvas_ = nullptr;
};

// The GDI objects the process holds: the system's own count where it keeps one, else (Wine reports
// none) the live entries of the process's handle table, counted one by one.
int GdiObjectsInUse();
