#include "Picture.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "Classes.h"
#include "Forms.h"
#include "Jpeg.h"
#include "Threads.h"

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

// A new graphic read from path as read says; raises EInvalidGraphic.
TGraphic* ReadGraphic(const AnsiString& path, const typPictureRead& read)
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
            bmp->LoadFromFile(path, read);
            break;
        }
        case pkJpeg:
        {
            auto* jpeg = new TJPEGImage();
            loaded = jpeg;
            jpeg->LoadFromFile(path, read);
            break;
        }
        default: throw EInvalidGraphic("画像ファイルの形式が違います: " + path);
        }
        const int w = loaded->Width(), h = loaded->Height();
        const int maxWidth = read.width, maxHeight = read.height;
        if (read.fit == pfReduce && maxWidth > 0 && maxHeight > 0 && (w > maxWidth || h > maxHeight))
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
    return loaded;
}

// Reads a picture away from the window's thread; the graphic is handed over once it has ended.
class TPictureReader : public TThread
{
public:
    TPictureReader(const AnsiString& path, const typPictureRead& read) : TThread(false), path_(path), read_(read)
    {
        read_.cancel = &cancel;
    }
    ~TPictureReader() override
    {
        cancel = true;
        Terminate();
        WaitFor();
        delete graphic_;
    }
    TGraphic* Take() { return std::exchange(graphic_, nullptr); }

    std::atomic<bool> cancel{false};

protected:
    void Execute() override
    {
        graphic_ = ReadGraphic(path_, read_);
        // A device context belongs to the thread that made it.
        if (auto* bmp = dynamic_cast<TBitmap*>(graphic_))
            bmp->Canvas()->FreeHandle();
        else if (auto* jpeg = dynamic_cast<TJPEGImage*>(graphic_))
            jpeg->Bitmap()->Canvas()->FreeHandle();
    }

private:
    AnsiString path_;
    typPictureRead read_;
    TGraphic* graphic_ = nullptr;
};
} // namespace

void TPicture::LoadFromFile(const AnsiString& path, const typPictureRead& read) { Replace(ReadGraphic(path, read)); }

void TPicture::LoadFromFileAside(const AnsiString& path, const typPictureRead& read)
{
    std::unique_ptr<TPictureReader> reader(Create<TPictureReader>(path, read));
    const TCursor cursor = Screen ? Screen->Cursor() : crDefault;
    if (Screen)
        Screen->SetCursor(crHourGlass);
    // Everything but input: the input waits until the picture is there, so nothing the user does
    // acts on a half-loaded picture.
    const UINT kinds = QS_PAINT | QS_TIMER | QS_POSTMESSAGE | QS_SENDMESSAGE;
    const UINT peek = PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    HANDLE thread = reader->Handle();
    int quitCode = 0;
    bool quit = false;
    do
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, peek))
        {
            if (msg.message == WM_QUIT)
            {
                // The program ends: the picture is not wanted any more.
                quit = true;
                quitCode = int(msg.wParam);
                reader->cancel = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        CheckSynchronize();
    } while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, kinds) == WAIT_OBJECT_0 + 1);
    reader->WaitFor();
    if (Screen)
        Screen->SetCursor(cursor);
    if (quit)
        PostQuitMessage(quitCode);
    if (std::exception_ptr failure = reader->FatalException())
    {
        try
        {
            std::rethrow_exception(failure);
        }
        catch (const EInvalidGraphic&)
        {
            throw;
        }
        catch (const std::exception&)
        {
            throw EInvalidGraphic("画像ファイル " + path + " を読めません");
        }
    }
    Replace(reader->Take());
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
