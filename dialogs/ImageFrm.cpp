#include "dialogs/ImageFrm.h"

#include <algorithm>

TImageForm* ImageForm = nullptr;

TImageForm::TImageForm(TComponent* owner) : TForm(owner)
{
    SetName("ImageForm");
    SetCaption("画像表示");
    SetBorderStyle(bsSingle);
    SetPosition(poOwnerFormCenter);
    SetBounds(0, 0, 320, 240);
    ImageBox = Create<TScrollBox>(this);
    ImageBox->SetName("ImageBox");
    ImageBox->SetAlign(alClient);
    ImageBox->SetParent(this);
    Image = Create<TImage>(this);
    Image->SetName("Image");
    Image->SetAutoSize(true);
    Image->SetStretch(true);
    Image->SetParent(ImageBox);
    OnShow = TNotifyEvent(this, &TImageForm::FormShow);
}

void TImageForm::FormShow(TObject*)
{
    // The picture unscaled. One larger than the screen's work area gets a window that fills the
    // work area, and scrolls in it.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int frameW = Width() - ClientWidth(), frameH = Height() - ClientHeight();
    const int maxW = std::max(1, int(work.right - work.left) - frameW);
    const int maxH = std::max(1, int(work.bottom - work.top) - frameH);
    const int w = std::max(1, Image->Picture()->Width()), h = std::max(1, Image->Picture()->Height());
    int clientW = w, clientH = h;
    // A scroll bar takes room of its own, which may call for the other one.
    if (clientW > maxW)
        clientH += GetSystemMetrics(SM_CYHSCROLL);
    if (clientH > maxH)
        clientW += GetSystemMetrics(SM_CXVSCROLL);
    if (clientW > maxW && w <= maxW)
        clientH += GetSystemMetrics(SM_CYHSCROLL);
    clientW = std::min(clientW, maxW);
    clientH = std::min(clientH, maxH);
    ImageBox->SetHorzPosition(0);
    ImageBox->SetVertPosition(0);
    Image->SetBounds(0, 0, w, h);
    SetBounds(Left(), Top(), clientW + frameW, clientH + frameH);
    // Each bar as this picture needs it: one left from a larger picture would narrow the box below
    // a picture that fits.
    ShowScrollBar(ImageBox->Handle(), SB_HORZ, w > clientW);
    ShowScrollBar(ImageBox->Handle(), SB_VERT, h > clientH);
    ImageBox->UpdateScrollBars();
}
