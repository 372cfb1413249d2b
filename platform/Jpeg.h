// JPEG pictures, decoded through libjpeg into a 24-bit bitmap.
#pragma once

#include "Graphics.h"

class TJPEGImage : public TGraphic
{
public:
    TJPEGImage();
    ~TJPEGImage() override;
    TJPEGImage(const TJPEGImage&) = delete;
    TJPEGImage& operator=(const TJPEGImage&) = delete;

    int Width() const override { return bitmap_->Width(); }
    int Height() const override { return bitmap_->Height(); }
    bool Empty() const override { return bitmap_->Empty(); }
    void LoadFromFile(const AnsiString& path) override { LoadFromFile(path, typPictureRead()); }
    // Decodes at the smallest of 1/1, 1/2, 1/4 and 1/8 of the full size that still covers
    // fitWidth x fitHeight (0: full size), so a big photo shown small never needs its full size in
    // memory. A picture that fails leaves the image as it was.
    void LoadFromFile(const AnsiString& path, int fitWidth, int fitHeight)
    {
        LoadFromFile(path, typPictureRead{fitWidth, fitHeight});
    }
    // Reduced or cut to its centre as read says. A file whose scans ask more of the decoder than
    // any picture taken (too many of them, or too many over a large picture) is refused before it is
    // decoded.
    void LoadFromFile(const AnsiString& path, const typPictureRead& read);
    void Draw(TCanvas* canvas, const TRect& dest) override { bitmap_->Draw(canvas, dest); }

    // The decoded picture.
    TBitmap* Bitmap() const { return bitmap_; }

private:
    TBitmap* bitmap_;
};
