#include "EditAlignment.h"

namespace
{
int CharacterCount(const AnsiString& text)
{
    int count = 0;
    for (int i = 0; i < text.Length(); ++i)
        count += ByteTypeAt(text.c_str(), text.Length(), i) != mbTrailByte;
    return count;
}
} // namespace

DWORD AlignedEditStyle(DWORD style, TAlignment alignment)
{
    style &= ~DWORD(3);
    if (alignment == taRightJustify)
        style |= ES_RIGHT;
    else if (alignment == taCenter)
        style |= ES_CENTER;
    return style;
}

void TEditAlignment::SetAlignment(TAlignment value)
{
    alignment_ = value;
    if (!HandleAllocated())
        return;
    SetWindowLongW(handle_, GWL_STYLE, LONG(AlignedEditStyle(DWORD(GetWindowLongW(handle_, GWL_STYLE)), value)));
    InvalidateRect(handle_, nullptr, TRUE);
}

void TEditAlignment::SetBorderColor(TColor value)
{
    borderColor_ = value;
    if (HandleAllocated())
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TEditAlignment::CreateParams(TCreateParams& params)
{
    TEdit::CreateParams(params);
    params.Style = AlignedEditStyle(params.Style, alignment_);
}

void TEditAlignment::WMNCPaint(TMessage& message)
{
    HDC dc = GetWindowDC(handle_);
    if (!dc)
        return;
    // The client rectangle in window coordinates.
    RECT window{};
    RECT client{};
    GetWindowRect(handle_, &window);
    GetClientRect(handle_, &client);
    MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    OffsetRect(&client, -window.left, -window.top);
    TRect r(client.left, client.top, client.right, client.bottom);
    PaintEdit(dc, r);
    SetBorder(dc, r);
    ReleaseDC(handle_, dc);
    message.Result = 0;
}

void TEditAlignment::PaintEdit(HDC dc, const TRect& client)
{
    RECT r{client.Left - 4, client.Top - 4, client.Right + 4, client.Bottom + 4};
    HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void TEditAlignment::SetBorder(HDC dc, const TRect& client)
{
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Pen()->SetColor(borderColor_);
    canvas.Brush()->SetStyle(bsClear);
    canvas.Rectangle(0, 0, Width(), Height());
    canvas.SetFont(Font());
    canvas.Pen()->SetColor(Font()->Color());
    canvas.Brush()->SetStyle(bsClear);
    // A password never shows in the clear, not even for the moment before the edit paints itself.
    AnsiString text = Text();
    if (PasswordChar())
        text = AnsiString::StringOfChar(PasswordChar(), CharacterCount(text));
    canvas.TextRect(client, 3, 3, text);
    canvas.SetHandle(nullptr);
}
