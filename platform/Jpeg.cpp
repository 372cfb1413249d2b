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

// Ink to light: Adobe's writers store CMYK inverted (0 is full ink), others as it is.
void CmykToBgr(const JSAMPLE* cmyk, int width, bool inverted, uint8_t* bgr)
{
    for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3)
    {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted)
        {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgr[0] = uint8_t((y * k + 127) / 255);
        bgr[1] = uint8_t((m * k + 127) / 255);
        bgr[2] = uint8_t((c * k + 127) / 255);
    }
}

// Decodes into out; false for a damaged file, one larger than any picture taken, or no memory.
// The sample row is a buffer of libjpeg's own, freed with the decoder.
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
    const int denom = PictureScaleDenom(int(cinfo.image_width), int(cinfo.image_height), fitWidth, fitHeight);
    // Refused from the header: decoding a picture that claims to be huge takes seconds even when
    // its data is missing.
    if (!PictureSizeAllowed(cinfo.image_width, cinfo.image_height, denom))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // libjpeg turns YCCK into CMYK; CMYK into RGB is ours.
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR; // the byte order of a DIB
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denom);
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != (cmyk ? 4 : 3) ||
        !AllocBitmap(out, int(cinfo.output_width), int(cinfo.output_height)))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPARRAY inks = cmyk ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                        cinfo.output_width * 4, 1)
                           : nullptr;
    while (cinfo.output_scanline < cinfo.output_height)
    {
        JSAMPROW row = out->ScanLine(int(cinfo.output_scanline));
        if (!inks)
        {
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, inks, 1);
        CmykToBgr(inks[0], int(cinfo.output_width), cinfo.saw_Adobe_marker, row);
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
    const std::vector<unsigned char> data = ReadPictureFile(path);
    auto* decoded = new TBitmap();
    if (!Decode(data.data(), (unsigned long)data.size(), fitWidth, fitHeight, decoded))
    {
        delete decoded;
        throw EInvalidGraphic("JPEG イメージ " + path + " を読めません");
    }
    delete bitmap_;
    bitmap_ = decoded;
}
