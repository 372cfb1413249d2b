// The wallpaper of the editor page: a picture centred behind the text, blended once with the
// background colour and once with the text-background colour, and text drawn over it.
#include <windows.h>
#undef TextOut

#include <algorithm>
#include <cmath>
#include <memory>

#include "editor_page/Nsrichedit.h"

nsRichEdit::typWallBlend nsRichEdit::WallBlend() const
{
    return typWallBlend{Color(), ColTxtBk, FAlphaBlend, FAlphaBlendValue, TextBackAlpha()};
}

void nsRichEdit::BlendWallPaper(TBitmap* source, const typWallBlend& blend, TBitmap* back, TBitmap* text)
{
    const int w = source->Width(), h = source->Height();
    const TRect all(0, 0, w, h);
    back->SetSize(w, h);
    text->SetSize(w, h);
    back->Canvas()->Brush()->SetColor(blend.back);
    back->Canvas()->FillRect(all);
    text->Canvas()->Brush()->SetColor(blend.textBack);
    text->Canvas()->FillRect(all);
    // The blend source is the decoded bitmap: a JPEG itself has no device context.
    if (!blend.alphaBlend || !AlphaBlendDraw(back->Canvas(), 0, 0, source, blend.alpha) ||
        !AlphaBlendDraw(text->Canvas(), 0, 0, source, blend.textAlpha))
    {
        back->Canvas()->Draw(0, 0, source);
        text->Canvas()->Draw(0, 0, source);
    }
}

TSize nsRichEdit::WallPaperArea()
{
    // The largest a window may be dragged to covers every screen; its edit area is smaller still.
    return TSize(std::max(GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                 std::max(GetSystemMetrics(SM_CYMAXTRACK), GetSystemMetrics(SM_CYVIRTUALSCREEN)));
}

bool nsRichEdit::MakeWallPaper(const AnsiString& file, int maxWidth, int maxHeight, const typWallBlend& blend,
                               typWallImages& images, const std::atomic<bool>* cancel)
{
    typWallImages made;
    try
    {
        made.picture = std::make_unique<TPicture>();
        made.picture->LoadFromFile(file, typPictureRead{maxWidth, maxHeight, pfCentre, cancel});
        made.back = std::make_unique<TBitmap>();
        made.text = std::make_unique<TBitmap>();
        if (TBitmap* source = made.picture->Bitmap())
        {
            BlendWallPaper(source, blend, made.back.get(), made.text.get());
            // Device contexts are let go where they were made: the images may go to another thread.
            source->Canvas()->FreeHandle();
            made.back->Canvas()->FreeHandle();
            made.text->Canvas()->FreeHandle();
        }
    }
    catch (const std::exception&)
    {
        return false;
    }
    made.blend = blend;
    images = std::move(made);
    return true;
}

bool nsRichEdit::SetWallPaper(const AnsiString& file)
{
    // The working picture never exceeds what can be shown: a camera's photo would otherwise fill the
    // address space three times over (picture and two blends).
    typWallImages images;
    const TSize area = WallPaperArea();
    if (!MakeWallPaper(file, area.cx, area.cy, WallBlend(), images))
        return false;
    return SetWallPaper(file, std::move(images));
}

bool nsRichEdit::SetWallPaper(const AnsiString& file, typWallImages&& images)
{
    if (!images.picture || !images.back || !images.text)
        return false;
    TPicture* oldPicture = FWallPicture;
    TBitmap* oldBack = FWallBack;
    TBitmap* oldText = FWallText;
    const bool wasSet = FWallPaperSet;
    FWallPicture = images.picture.release();
    FWallBack = images.back.release();
    FWallText = images.text.release();
    FWallPaperSet = true;
    // Made for other colours (the settings changed meanwhile, or on another page): blended anew.
    if (images.blend != WallBlend() && !RebuildWallPaper())
    {
        delete FWallPicture;
        delete FWallBack;
        delete FWallText;
        FWallPicture = oldPicture;
        FWallBack = oldBack;
        FWallText = oldText;
        FWallPaperSet = wasSet;
        return false;
    }
    delete oldPicture;
    delete oldBack;
    delete oldText;
    FWallPaperFile = file;
    Invalidate();
    return true;
}

nsRichEdit::typWallImages nsRichEdit::TakeWallPaper()
{
    typWallImages images;
    if (!FWallPaperSet)
        return images;
    images.picture.reset(FWallPicture);
    images.back.reset(FWallBack);
    images.text.reset(FWallText);
    images.blend = WallBlend();
    FWallPicture = new TPicture();
    FWallBack = new TBitmap();
    FWallText = new TBitmap();
    FWallPaperSet = false;
    FWallPaperFile = "";
    Invalidate();
    return images;
}

bool nsRichEdit::ClearWallPaper()
{
    if (FWallPaperSet)
    {
        FWallPicture->Clear();
        FWallBack->SetSize(0, 0);
        FWallText->SetSize(0, 0);
        FWallPaperSet = false;
        Invalidate();
    }
    FWallPaperFile = "";
    return true;
}

void nsRichEdit::SetAlphaBlend(bool on)
{
    FAlphaBlend = on;
    RebuildWallPaper();
    Invalidate();
}

void nsRichEdit::SetAlphaBlendValue(int value)
{
    FAlphaBlendValue = std::clamp(value, 0, 255);
    RebuildWallPaper();
    Invalidate();
}

int nsRichEdit::AutoTextBackAlpha(int alphaBlendValue)
{
    const int a = std::clamp(alphaBlendValue, 0, 255);
    const int p = int(std::sin((255 - a) * 0.7853975 / 255) * 60 * 1.8 + 40);
    return p <= 100 ? a * p / 100 : a;
}

int nsRichEdit::TextBackAlpha() const
{
    return TxtBkABMode ? AutoTextBackAlpha(FAlphaBlendValue) : std::clamp(ColTxtBkAB, 0, 255);
}

bool nsRichEdit::RebuildWallPaper()
{
    if (!FWallPaperSet || !FWallPicture || !FWallBack)
        return true;
    auto back = std::make_unique<TBitmap>();
    auto text = std::make_unique<TBitmap>();
    try
    {
        if (TBitmap* source = FWallPicture->Bitmap())
            BlendWallPaper(source, WallBlend(), back.get(), text.get());
    }
    catch (const std::exception&)
    {
        return false;
    }
    delete FWallBack;
    FWallBack = back.release();
    delete FWallText;
    FWallText = text.release();
    return true;
}

void nsRichEdit::DrawWallPaperRect(const TRect& rect, TWallPaperPart part)
{
    const TRect edit = EditRect();
    if (rect.Right <= edit.Left)
        return;
    TCanvas* c = GetMyCanvas();
    c->Brush()->SetColor(Color());
    TBitmap* image = part == wpBackground ? FWallBack : FWallText;
    if (!FWallPaperSet || !image || image->Empty())
    {
        c->FillRect(rect);
        return;
    }
    const int w = image->Width(), h = image->Height();
    const int left = edit.Left + (edit.Width() - w) / 2;
    const int top = edit.Top + (edit.Height() - h) / 2;
    const TRect meet(std::max(rect.Left, left), std::max(rect.Top, top), std::min(rect.Right, left + w),
                     std::min(rect.Bottom, top + h));
    if (meet.Left >= meet.Right || meet.Top >= meet.Bottom)
    {
        c->FillRect(rect);
        return;
    }
    BitBlt(c->Handle(), meet.Left, meet.Top, meet.Width(), meet.Height(), image->Canvas()->Handle(),
           meet.Left - left, meet.Top - top, SRCCOPY);
    if (part != wpBackground)
        return;
    if (rect.Top < meet.Top)
        c->FillRect(TRect(rect.Left, rect.Top, rect.Right, meet.Top));
    if (meet.Bottom < rect.Bottom)
        c->FillRect(TRect(rect.Left, meet.Bottom, rect.Right, rect.Bottom));
    if (rect.Left < meet.Left)
        c->FillRect(TRect(rect.Left, meet.Top, meet.Left, meet.Bottom));
    if (meet.Right < rect.Right)
        c->FillRect(TRect(meet.Right, meet.Top, rect.Right, meet.Bottom));
}

void nsRichEdit::ExtTextPaint(int x, int y, int left, const AnsiString& s)
{
    TCanvas* c = GetMyCanvas();
    // Selected text, and runs with a background colour of their own, stay opaque.
    if (!FWallPaperSet || LastFontSelected() || c->Brush()->Color() != Color() || s.IsEmpty())
    {
        TCustomAFEdit::ExtTextPaint(x, y, left, s);
        return;
    }
    const int row = (y - EditRect().Top) / std::max(1, GetRowHeight()) + GetTopLine();
    if (!IsExColRow(row))
    {
        const TColor brush = c->Brush()->Color();
        const TRect cell(std::max(left, x), y, std::min(EditRect().Right, x + s.Length() * GetColWidth()),
                         y + GetRowHeight());
        if (cell.Left < cell.Right)
            DrawWallPaperRect(cell, wpText);
        c->Brush()->SetColor(brush);
    }
    c->Brush()->SetStyle(bsClear);
    try
    {
        TCustomAFEdit::ExtTextPaint(x, y, left, s);
    }
    catch (...)
    {
        c->Brush()->SetStyle(bsSolid);
        throw;
    }
    c->Brush()->SetStyle(bsSolid);
}
