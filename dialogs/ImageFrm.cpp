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
    Image = Create<TImage>(this);
    Image->SetName("Image");
    Image->SetAutoSize(true);
    Image->SetStretch(true);
    Image->SetParent(this);
    OnShow = TNotifyEvent(this, &TImageForm::FormShow);
}

void TImageForm::FormShow(TObject*)
{
    // The picture unscaled, unless it is larger than the screen's work area: then the window fills
    // the work area and the picture is shrunk into it.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int frameW = Width() - ClientWidth(), frameH = Height() - ClientHeight();
    const int maxW = std::max(1, int(work.right - work.left) - frameW);
    const int maxH = std::max(1, int(work.bottom - work.top) - frameH);
    int w = std::max(1, Image->Picture()->Width()), h = std::max(1, Image->Picture()->Height());
    if (w > maxW || h > maxH)
    {
        const double f = std::min(double(maxW) / w, double(maxH) / h);
        w = std::max(1, int(w * f));
        h = std::max(1, int(h * f));
    }
    Image->SetBounds(0, 0, w, h);
    SetBounds(Left(), Top(), w + frameW, h + frameH);
}
