#include "Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
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

// What the scans of a file ask of the decoder, read from its markers alone. Each scan goes over every
// block of its components once, spending a little on each and more the wider its band of
// coefficients: scans that add nothing still cost that, so a file of half a megabyte can make a
// picture take minutes by repeating one.
constexpr int kMaxScans = 100; // the coder's usual progression has ten
constexpr int kBlockVisit = 8; // what a visit costs over its band, in coefficients
// The coder's usual ten scans over 100 million pixels in full colour (or over the largest picture
// taken with its colour halved) stay within this; scans that add nothing reach it in about a second.
constexpr uint64_t kMaxScanWork = 7u << 27;

struct typScanWork
{
    int scans = 0;
    uint64_t work = 0; // coefficients (and visits) decoded, over all scans
};

// The markers are walked as the decoder walks them: bytes between segments are skipped, a scan's
// coded data runs to the next byte pair FF xx that is not a stuffed FF (xx 00), a restart marker or
// fill.
typScanWork ScanWork(const unsigned char* data, size_t size)
{
    struct TComponent
    {
        int id, h, v;
    };
    std::vector<TComponent> comps;
    int64_t width = 0, height = 0;
    int hmax = 1, vmax = 1;
    typScanWork w;
    auto u16 = [data](size_t at) { return size_t(data[at]) << 8 | data[at + 1]; };
    size_t p = 2;
    while (p + 1 < size)
    {
        const int code = data[p + 1];
        if (data[p] != 0xFF || code == 0xFF)
        {
            ++p;
            continue;
        }
        p += 2;
        if (code == 0xD9)
            break;
        if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD8))
            continue; // no length follows
        if (p + 2 > size || u16(p) < 2 || p + u16(p) > size)
            break;
        const unsigned char* seg = data + p + 2;
        const size_t len = u16(p) - 2;
        p += len + 2;
        const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame && len >= 6 && len >= 6 + size_t(seg[5]) * 3)
        {
            height = int64_t(seg[1]) << 8 | seg[2];
            width = int64_t(seg[3]) << 8 | seg[4];
            comps.clear();
            for (int i = 0; i < seg[5]; ++i)
            {
                const unsigned char* c = seg + 6 + i * 3;
                comps.push_back({c[0], std::max(1, c[1] >> 4), std::max(1, c[1] & 15)});
                hmax = std::max(hmax, comps.back().h);
                vmax = std::max(vmax, comps.back().v);
            }
        }
        if (code != 0xDA)
            continue;
        ++w.scans;
        if (len >= 1 && len >= 1 + size_t(seg[0]) * 2 + 3)
        {
            const int ss = seg[1 + seg[0] * 2], se = seg[2 + seg[0] * 2];
            const uint64_t band = uint64_t(std::max(1, se - ss + 1) + kBlockVisit);
            for (int i = 0; i < seg[0]; ++i)
                for (const TComponent& c : comps)
                    if (c.id == seg[1 + i * 2])
                    {
                        const uint64_t across = uint64_t((width * c.h + hmax * 8 - 1) / (hmax * 8));
                        const uint64_t down = uint64_t((height * c.v + vmax * 8 - 1) / (vmax * 8));
                        w.work += across * down * band;
                    }
        }
        // The coded data.
        for (;;)
        {
            const void* ff = p < size ? std::memchr(data + p, 0xFF, size - p) : nullptr;
            if (!ff)
            {
                p = size;
                break;
            }
            p = size_t(static_cast<const unsigned char*>(ff) - data);
            if (p + 1 >= size)
                break;
            const int next = data[p + 1];
            if (next != 0x00 && (next < 0xD0 || next > 0xD7))
                break;
            p += 2;
        }
    }
    return w;
}

// Stops the decoder when the read is cancelled, or at a scan past the most taken (a check of its own
// against files whose markers the walk above read otherwise).
struct TJpegProgress
{
    jpeg_progress_mgr mgr;
    const std::atomic<bool>* cancel;
};

void Progress(j_common_ptr cinfo)
{
    const auto* progress = reinterpret_cast<TJpegProgress*>(cinfo->progress);
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if ((progress->cancel && progress->cancel->load(std::memory_order_relaxed)) || d->input_scan_number > kMaxScans)
        ErrorExit(cinfo);
}

// Decodes into out; false for a damaged file, one larger than any picture taken or asking too much
// of the decoder, no memory, or a cancelled read. The sample rows are buffers of libjpeg's own,
// freed with the decoder.
bool Decode(const unsigned char* data, unsigned long size, const typPictureRead& read, TBitmap* out)
{
    const typScanWork work = ScanWork(data, size);
    if (work.scans > kMaxScans || work.work > kMaxScanWork)
        return false;
    jpeg_decompress_struct cinfo{};
    TJpegError err{};
    TJpegProgress progress{};
    progress.mgr.progress_monitor = Progress;
    progress.cancel = read.cancel;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = ErrorExit;
    err.mgr.output_message = OutputMessage;
    if (setjmp(err.jump))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress.mgr;
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    const bool centre = read.fit == pfCentre;
    const int fullW = int(cinfo.image_width), fullH = int(cinfo.image_height);
    const int denom = centre ? 1 : PictureScaleDenom(fullW, fullH, read.width, read.height);
    // The part kept: the middle of the picture, or all of it at 1/denom.
    int left = 0, top = 0, w = (fullW + denom - 1) / denom, h = (fullH + denom - 1) / denom;
    if (centre)
    {
        CentreSpan(fullW, read.width, left, w);
        CentreSpan(fullH, read.height, top, h);
    }
    // Refused from the header: decoding a picture that claims to be huge takes seconds even when
    // its data is missing.
    if (!PictureSizeAllowed(fullW, fullH, w, h))
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
    if (cinfo.output_components != (cmyk ? 4 : 3) || int(cinfo.output_width) < left + w ||
        int(cinfo.output_height) < top + h || !AllocBitmap(out, w, h))
    {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Only the columns kept are decoded (from the start of the block column they begin in), and the
    // rows above them are skipped.
    JDIMENSION from = JDIMENSION(left), across = JDIMENSION(w);
    if (w < int(cinfo.output_width))
        jpeg_crop_scanline(&cinfo, &from, &across);
    const int skip = left - int(from);
    if (top > 0)
        jpeg_skip_scanlines(&cinfo, JDIMENSION(top));
    const bool direct = !cmyk && skip == 0 && int(cinfo.output_width) == w;
    const JDIMENSION sampleRow = cinfo.output_width * JDIMENSION(cinfo.output_components);
    JSAMPARRAY samples =
        direct ? nullptr
               : (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, sampleRow, 1);
    for (int y = 0; y < h; ++y)
    {
        JSAMPROW row = out->ScanLine(y);
        if (direct)
        {
            jpeg_read_scanlines(&cinfo, &row, 1);
            continue;
        }
        jpeg_read_scanlines(&cinfo, samples, 1);
        if (cmyk)
            CmykToBgr(samples[0] + skip * 4, w, cinfo.saw_Adobe_marker, row);
        else
            std::memcpy(row, samples[0] + skip * 3, size_t(w) * 3);
    }
    // The rows below a centre are never decoded.
    jpeg_destroy_decompress(&cinfo);
    return true;
}
} // namespace

TJPEGImage::TJPEGImage() : bitmap_(new TBitmap()) {}

TJPEGImage::~TJPEGImage() { delete bitmap_; }

void TJPEGImage::LoadFromFile(const AnsiString& path, const typPictureRead& read)
{
    const std::vector<unsigned char> data = ReadPictureFile(path);
    auto* decoded = new TBitmap();
    if (!Decode(data.data(), (unsigned long)data.size(), read, decoded))
    {
        delete decoded;
        throw EInvalidGraphic("JPEG イメージ " + path + " を読めません");
    }
    delete bitmap_;
    bitmap_ = decoded;
}
