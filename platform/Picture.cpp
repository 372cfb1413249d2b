#include "Picture.h"

#include <algorithm>
#include <string>

#include "Classes.h"
#include "Jpeg.h"

TBitmap* TPicture::Bitmap() const
{
    if (auto* bmp = dynamic_cast<TBitmap*>(graphic_))
        return bmp->Empty() ? nullptr : bmp;
    if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic_))
        return jpeg->Empty() ? nullptr : jpeg->Bitmap();
    return nullptr;
}

void TPicture::Replace(TGraphic* graphic)
{
    delete graphic_;
    graphic_ = graphic;
    if (OnChange)
        OnChange(this);
}

namespace
{
enum TPictureKind
{
    pkNone,
    pkBitmap,
    pkJpeg
};

// Told by the file's first bytes: a picture saved under the other extension still reads.
TPictureKind KindOf(const AnsiString& path)
{
    unsigned char head[3] = {};
    try
    {
        TFileStream file(path, fmOpenRead | fmShareDenyWrite);
        if (file.Read(head, 3) < 3)
            return pkNone;
    }
    catch (const std::exception&)
    {
        throw EInvalidGraphic("画像ファイル " + path + " を読めません");
    }
    if (head[0] == 'B' && head[1] == 'M')
        return pkBitmap;
    if (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return pkJpeg;
    return pkNone;
}
} // namespace

void TPicture::LoadFromFile(const AnsiString& path, int maxWidth, int maxHeight)
{
    const AnsiString ext = ExtractFileExt(path).UpperCase();
    TGraphic* loaded = nullptr;
    try
    {
        if (ext != ".BMP" && ext != ".JPG" && ext != ".JPEG")
            throw EInvalidGraphic("画像ファイルの形式が違います: " + path);
        switch (KindOf(path))
        {
        case pkBitmap:
        {
            auto* bmp = new TBitmap();
            loaded = bmp;
            bmp->LoadFromFile(path, maxWidth, maxHeight);
            break;
        }
        case pkJpeg:
        {
            auto* jpeg = new TJPEGImage();
            loaded = jpeg;
            jpeg->LoadFromFile(path, maxWidth, maxHeight);
            break;
        }
        default: throw EInvalidGraphic("画像ファイルの形式が違います: " + path);
        }
        const int w = loaded->Width(), h = loaded->Height();
        if (maxWidth > 0 && maxHeight > 0 && (w > maxWidth || h > maxHeight))
        {
            // The side that overshoots more decides; the other keeps the shape.
            int sw = maxWidth, sh = std::max(1, int(int64_t(h) * maxWidth / w));
            if (int64_t(w) * maxHeight <= int64_t(h) * maxWidth)
            {
                sh = maxHeight;
                sw = std::max(1, int(int64_t(w) * maxHeight / h));
            }
            auto* scaled = new TBitmap();
            try
            {
                TBitmap* src = dynamic_cast<TBitmap*>(loaded);
                if (!src)
                    src = static_cast<TJPEGImage*>(loaded)->Bitmap();
                scaled->AssignScaled(src, sw, sh);
            }
            catch (...)
            {
                delete scaled;
                throw;
            }
            delete loaded;
            loaded = scaled;
        }
    }
    catch (const EInvalidGraphic&)
    {
        delete loaded;
        throw;
    }
    catch (const std::exception&)
    {
        delete loaded;
        throw EInvalidGraphic("画像ファイル " + path + " を読めません");
    }
    Replace(loaded);
}

void TPicture::Assign(const TPicture* source) { Assign(source ? source->Bitmap() : nullptr); }

void TPicture::Assign(TBitmap* from)
{
    if (!from || from->Empty())
    {
        Clear();
        return;
    }
    auto* copy = new TBitmap();
    try
    {
        copy->SetSize(from->Width(), from->Height());
        copy->Canvas()->Draw(0, 0, from);
    }
    catch (...)
    {
        delete copy;
        throw;
    }
    Replace(copy);
}

void TPicture::Clear()
{
    if (graphic_)
        Replace(nullptr);
}

// ---- AlphaBlend -----------------------------------------------------------------------------------

namespace
{
TAlphaBlendFunc BindSystemAlphaBlend()
{
    wchar_t dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    std::wstring path = std::wstring(dir, n) + L"\\msimg32.dll";
    // Loaded for the life of the program: pages, labels and previews come and go.
    HMODULE lib = LoadLibraryW(path.c_str());
    return lib ? reinterpret_cast<TAlphaBlendFunc>(reinterpret_cast<void*>(GetProcAddress(lib, "AlphaBlend")))
               : nullptr;
}

bool gBound = false;
TAlphaBlendFunc gSystem = nullptr;
bool gOverridden = false;
TAlphaBlendFunc gOverride = nullptr;
} // namespace

TAlphaBlendFunc SystemAlphaBlend()
{
    if (gOverridden)
        return gOverride;
    if (!gBound)
    {
        gSystem = BindSystemAlphaBlend();
        gBound = true;
    }
    return gSystem;
}

void SetAlphaBlendForTesting(TAlphaBlendFunc func)
{
    gOverridden = true;
    gOverride = func;
}

void RestoreAlphaBlend() { gOverridden = false; }

bool AlphaBlendDraw(TCanvas* dest, int x, int y, TBitmap* source, int alpha)
{
    TAlphaBlendFunc blend = SystemAlphaBlend();
    if (!blend || !source || source->Empty())
        return false;
    BLENDFUNCTION f{AC_SRC_OVER, 0, BYTE(std::clamp(alpha, 0, 255)), 0};
    return blend(dest->Handle(), x, y, source->Width(), source->Height(), source->Canvas()->Handle(), 0, 0,
                 source->Width(), source->Height(), f) != FALSE;
}
