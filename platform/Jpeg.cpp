#include "Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "Classes.h"

extern "C"
{
#include <jpeglib.h>
}

namespace
{
// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// decoder. No C++ object lives in the frames it jumps over.
struct TJpegError
{
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->jump, 1); }
// Warnings (a picture cut short is shown grey at the bottom) are not worth a message.
void OutputMessage(j_common_ptr) {}

// The bitmap of w x h, or false when there is no memory for it.
bool AllocBitmap(TBitmap* bitmap, int w, int h)
{
    try
    {
        bitmap->SetPixelFormat(pf24bit);
        bitmap->SetSize(0, 0);
        bitmap->SetSize(w, h);
        return true;
    }
    catch (...)
    {
        return false;
    }
}

int ScaleDenom(int width, int height, int fitWidth, int fitHeight)
{
    if (fitWidth <= 0 || fitHeight <= 0)
        return 1;
    int denom = 1;
    while (denom < 8 && width / (denom * 2) >= fitWidth && height / (denom * 2) >= fitHeight)
        denom *= 2;
    return denom;
}

// Decodes into out; false for a damaged file or no memory.
bool Decode(const unsigned char* data, unsigned long size, int fitWidth, int fitHeight, TBitmap* out)
{
    jpeg_decompress_struct cinfo{};
    TJpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = ErrorExit;
    err.mgr.output_message = OutputMessage;
    if (setjmp(err.jump))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_EXT_BGR; // the byte order of a DIB
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(ScaleDenom(int(cinfo.image_width), int(cinfo.image_height), fitWidth, fitHeight));
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 || !AllocBitmap(out, int(cinfo.output_width), int(cinfo.output_height)))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW row = out->ScanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}
} // namespace

TJPEGImage::TJPEGImage() : bitmap_(new TBitmap()) {}

TJPEGImage::~TJPEGImage() { delete bitmap_; }

void TJPEGImage::LoadFromFile(const AnsiString& path, int fitWidth, int fitHeight)
{
    std::vector<unsigned char> data;
    try
    {
        TFileStream file(path, fmOpenRead | fmShareDenyWrite);
        const int64_t size = file.GetSize();
        if (size > 0x40000000)
            throw EInvalidGraphic(path);
        data.resize(size_t(size));
        if (!data.empty())
            file.ReadBuffer(data.data(), int(data.size()));
    }
    catch (const std::exception&)
    {
        throw EInvalidGraphic("JPEG イメージ " + path + " を読めません");
    }
    auto* decoded = new TBitmap();
    if (data.empty() || !Decode(data.data(), (unsigned long)data.size(), fitWidth, fitHeight, decoded))
    {
        delete decoded;
        throw EInvalidGraphic("JPEG イメージ " + path + " を読めません");
    }
    delete bitmap_;
    bitmap_ = decoded;
}
