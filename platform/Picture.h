// A picture of any kind the program reads (bitmap or JPEG), and alpha blending between canvases
// through the system's AlphaBlend.
#pragma once

#include "Graphics.h"

class TPicture : public TObject
{
public:
    TPicture() = default;
    ~TPicture() override { delete graphic_; }
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Null when empty.
    TGraphic* Graphic() const { return graphic_; }
    // The picture's pixels (a bitmap's own, a JPEG's decoded ones), or null when empty.
    TBitmap* Bitmap() const;
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    bool Empty() const { return !graphic_ || graphic_->Empty(); }

    // A .bmp, .jpg or .jpeg file, read as a bitmap or a JPEG image after its first bytes (whatever
    // its extension says). With a limit, a picture larger than maxWidth x maxHeight is shrunk to
    // fit, keeping its shape. Raises EInvalidGraphic for another extension or a file that cannot be
    // read (damaged, larger than any picture taken or asking too much of the decoder, no memory
    // left); the picture is then unchanged.
    void LoadFromFile(const AnsiString& path, int maxWidth = 0, int maxHeight = 0)
    {
        LoadFromFile(path, typPictureRead{maxWidth, maxHeight});
    }
    // pfReduce shrinks to fit as above; pfCentre keeps the middle of the picture (CentreSpan).
    void LoadFromFile(const AnsiString& path, const typPictureRead& read);
    // The same, read on a thread of its own while this one goes on serving its windows' paints,
    // timers and posted and sent messages (what the user types or clicks waits in the queue, and the
    // hourglass shows): a slow picture never freezes the program. Called from the window's thread.
    void LoadFromFileAside(const AnsiString& path, const typPictureRead& read = {});
    // A copy of source's pixels as a bitmap (empty when source is).
    void Assign(const TPicture* source);
    void Assign(TBitmap* source);
    void Clear();

    TNotifyEvent OnChange;

private:
    void Replace(TGraphic* graphic);
    TGraphic* graphic_ = nullptr;
};

// The system's AlphaBlend, bound once from the system folder's msimg32.dll (never by bare name, so
// no copy beside the program is taken). Null when the library or the export is missing.
using TAlphaBlendFunc = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
TAlphaBlendFunc SystemAlphaBlend();
// Tests put a function of their own (or null: none available) in place; restore puts back the
// system's binding.
void SetAlphaBlendForTesting(TAlphaBlendFunc func);
void RestoreAlphaBlend();

// Blends source (the whole of it) over dest at (x, y) with a constant source alpha 0..255 (clamped);
// false, with nothing drawn, when AlphaBlend is not available.
bool AlphaBlendDraw(TCanvas* dest, int x, int y, TBitmap* source, int alpha);
