// Picture files made by the tests: 24-bit BMP files and JPEG files (through libjpeg) whose pixels
// come from a function of (x, y), and reading pixels back from bitmaps.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"

extern "C"
{
#include <jpeglib.h>
}

using TPixelFunc = std::function<COLORREF(int x, int y)>;

// Four solid quarters: red top left, lime top right, blue bottom left, white bottom right.
inline TPixelFunc Quarters(int w, int h)
{
    return [w, h](int x, int y) -> COLORREF {
        bool right = x >= w / 2, bottom = y >= h / 2;
        return !bottom ? (right ? RGB(0, 255, 0) : RGB(255, 0, 0)) : (right ? RGB(255, 255, 255) : RGB(0, 0, 255));
    };
}

inline TPixelFunc Solid(COLORREF c)
{
    return [c](int, int) { return c; };
}

inline void WriteBytes(const AnsiString& path, const std::string& bytes)
{
    TFileStream f(path, fmCreate);
    if (!bytes.empty())
        f.WriteBuffer(bytes.data(), int(bytes.size()));
}

inline std::string ReadBytes(const AnsiString& path)
{
    TFileStream f(path, fmOpenRead);
    std::string bytes(size_t(f.GetSize()), '\0');
    if (!bytes.empty())
        f.ReadBuffer(bytes.data(), int(bytes.size()));
    return bytes;
}

inline AnsiString WriteBmp(const AnsiString& path, int w, int h, const TPixelFunc& pixel)
{
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + DWORD(stride * h);
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&fh), sizeof fh);
    bytes.append(reinterpret_cast<const char*>(&ih), sizeof ih);
    std::string row(size_t(stride), '\0');
    for (int y = h - 1; y >= 0; --y)
    {
        for (int x = 0; x < w; ++x)
        {
            COLORREF c = pixel(x, y);
            row[size_t(x * 3)] = char(GetBValue(c));
            row[size_t(x * 3 + 1)] = char(GetGValue(c));
            row[size_t(x * 3 + 2)] = char(GetRValue(c));
        }
        bytes += row;
    }
    WriteBytes(path, bytes);
    return path;
}

// gray: a one-channel picture (the green channel of pixel); progressive: in the coder's usual ten
// scans (six for gray).
inline AnsiString WriteJpeg(const AnsiString& path, int w, int h, const TPixelFunc& pixel, int quality = 95,
                            bool gray = false, bool progressive = false)
{
    const int n = gray ? 1 : 3;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = n;
    cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(w) * size_t(n));
    while (cinfo.next_scanline < cinfo.image_height)
    {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < w; ++x)
        {
            COLORREF c = pixel(x, y);
            unsigned char rgb[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            for (int k = 0; k < n; ++k)
                row[size_t(x * n + k)] = gray ? rgb[1] : rgb[k];
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    WriteBytes(path, std::string(reinterpret_cast<char*>(out), size));
    free(out);
    return path;
}

// The pixel at (x, y) of a 24- or 32-bit bitmap as RGB.
inline COLORREF PixelOf(TBitmap* bmp, int x, int y)
{
    const uint8_t* row = bmp->ScanLine(y);
    if (!row)
        return CLR_INVALID;
    const int bpp = bmp->PixelFormat() == pf32bit ? 4 : 3;
    const uint8_t* p = row + x * bpp;
    return RGB(p[2], p[1], p[0]);
}

// Each channel within tolerance.
inline bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}

// What AlphaBlend with a constant alpha gives for one channel of source over dest.
inline int BlendChannel(int source, int dest, int alpha) { return (source * alpha + dest * (255 - alpha)) / 255; }
inline COLORREF Blend(COLORREF source, COLORREF dest, int alpha)
{
    return RGB(BlendChannel(GetRValue(source), GetRValue(dest), alpha),
               BlendChannel(GetGValue(source), GetGValue(dest), alpha),
               BlendChannel(GetBValue(source), GetBValue(dest), alpha));
}

inline std::string Hex(COLORREF c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
}

// A CMYK JPEG as Adobe's writers store it (inverted: 0 is full ink, the marker says so), with no
// black ink, so each pixel's colour comes back as its red, green and blue.
inline AnsiString WriteCmykJpeg(const AnsiString& path, int w, int h, const TPixelFunc& pixel)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_YCCK); // as photo editors write it; the reader gets CMYK back
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(w) * 4);
    while (cinfo.next_scanline < cinfo.image_height)
    {
        for (int x = 0; x < w; ++x)
        {
            COLORREF c = pixel(x, int(cinfo.next_scanline));
            unsigned char* p = &row[size_t(x) * 4];
            p[0] = GetRValue(c);
            p[1] = GetGValue(c);
            p[2] = GetBValue(c);
            p[3] = 255;
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    WriteBytes(path, std::string(reinterpret_cast<char*>(out), size));
    free(out);
    return path;
}

// Makes the frame header (baseline or progressive) of the JPEG at path claim width x height.
inline AnsiString ClaimJpegSize(const AnsiString& path, int width, int height)
{
    std::string bytes = ReadBytes(path);
    for (size_t i = 2; i + 9 < bytes.size(); ++i)
        if (uint8_t(bytes[i]) == 0xFF && (uint8_t(bytes[i + 1]) == 0xC0 || uint8_t(bytes[i + 1]) == 0xC2))
        {
            bytes[i + 5] = char(height >> 8);
            bytes[i + 6] = char(height & 255);
            bytes[i + 7] = char(width >> 8);
            bytes[i + 8] = char(width & 255);
            break;
        }
    WriteBytes(path, bytes);
    return path;
}

// A small JPEG whose frame header claims width x height.
inline AnsiString WriteJpegClaiming(const AnsiString& path, int width, int height)
{
    return ClaimJpegSize(WriteJpeg(path, 16, 16, Solid(RGB(9, 9, 9))), width, height);
}

// A progressive JPEG of `scans` scans (ten or more): the coder's usual ten, the last of them (the
// last bit of the luminance's detail) repeated until there are that many. Each one makes a reader go
// over the whole picture again; a solid picture keeps every repeat a few dozen bytes long.
inline AnsiString WriteScanHeavyJpeg(const AnsiString& path, int w, int h, int scans)
{
    WriteJpeg(path, w, h, Solid(RGB(40, 90, 160)), 90, false, true);
    std::string bytes = ReadBytes(path);
    // Coded data never holds FF DA: the last one found starts the last scan, which ends at EOI.
    const size_t last = bytes.rfind("\xFF\xDA");
    const size_t end = bytes.size() - 2;
    const std::string scan = bytes.substr(last, end - last);
    std::string out = bytes.substr(0, end);
    out.reserve(bytes.size() + scan.size() * size_t(std::max(0, scans - 10)));
    for (int i = 10; i < scans; ++i)
        out += scan;
    out += bytes.substr(end);
    WriteBytes(path, out);
    return path;
}
