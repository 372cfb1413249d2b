#include "BorderEdit.h"

#include <algorithm>

#include "platform/Cp932.h"

namespace
{
constexpr TColor PlaceholderGreen = TColor(0xC0DCC0);
}

std::vector<AnsiString> SplitCharacters(const AnsiString& text)
{
    std::vector<AnsiString> characters;
    const char* bytes = text.c_str();
    int length = text.Length();
    for (int i = 0; i < length;)
    {
        int n = ByteTypeAt(bytes, length, i) == mbLeadByte && i + 1 < length ? 2 : 1;
        characters.emplace_back(AnsiString().Append(bytes + i, n));
        i += n;
    }
    return characters;
}

// The inner edit tells its host when the focus leaves both, and passes its mouse on.
class TBorderEdit::TInnerEdit : public TEdit
{
public:
    TInnerEdit(TBorderEdit* host) : TEdit(host), host_(host) {}

protected:
    void WMKillFocus(TWMKillFocus& message) override
    {
        TEdit::WMKillFocus(message);
        if (message.FocusedWnd != host_->handle_)
            host_->DoExit();
    }
    void WMLButtonDblClk(TWMMouse& message) override
    {
        TEdit::WMLButtonDblClk(message);
        if (host_->OnDblClick)
            host_->OnDblClick(host_);
    }
    void WMLButtonDown(TWMMouse& message) override
    {
        TEdit::WMLButtonDown(message);
        if (host_->OnMouseDown)
            host_->OnMouseDown(host_, mbLeft, KeyDataToShiftState(0), message.XPos, message.YPos);
    }

private:
    TBorderEdit* host_;
};

TBorderEdit::TBorderEdit(TComponent* owner)
    : TCustomControl(owner), colPen_(new TPen), pen_(new TPen), noCaptionPen_(new TPen), noCaptionFont_(new TFont)
{
    width_ = 121;
    height_ = 21;
    color_ = clWindow;
    noCaptionPen_->SetColor(PlaceholderGreen);
    noCaptionPen_->SetStyle(psDot);
    noCaptionFont_->SetColor(PlaceholderGreen);
    for (TGraphicsObject* object : {static_cast<TGraphicsObject*>(colPen_), static_cast<TGraphicsObject*>(pen_),
                                    static_cast<TGraphicsObject*>(noCaptionPen_),
                                    static_cast<TGraphicsObject*>(noCaptionFont_)})
        object->OnChange = TNotifyEvent(this, &TBorderEdit::InvalidateOnChange);
    edit_ = new TInnerEdit(this);
    edit_->SetVisible(false);
    edit_->SetBounds(0, 0, 1, 1);
    edit_->SetColor(color_);
    edit_->SetParent(this);
    SetTabStop(true);
}

TBorderEdit::~TBorderEdit()
{
    delete colPen_;
    delete pen_;
    delete noCaptionPen_;
    delete noCaptionFont_;
}

void TBorderEdit::InvalidateOnChange(TObject*)
{
    Invalidate();
}

LRESULT TBorderEdit::SendToEdit(UINT msg)
{
    return SendMessageW(edit_->Handle(), msg, 0, 0);
}

AnsiString TBorderEdit::Text() const
{
    return editing_ ? edit_->Text() : text_;
}

void TBorderEdit::SetText(const AnsiString& text)
{
    if (editing_)
    {
        edit_->SetText(text);
        return;
    }
    text_ = text;
    Invalidate();
}

void TBorderEdit::SetBorderDraw(bool value)
{
    borderDraw_ = value;
    Invalidate();
}

void TBorderEdit::SetAlignment(TAlignment value)
{
    alignment_ = value;
    if (edit_->HandleAllocated())
        SetAlignmentWindowHandle(edit_->Handle(), value);
    Invalidate();
}

void TBorderEdit::SetColSeparateDraw(bool value)
{
    colSeparateDraw_ = value;
    Invalidate();
}

void TBorderEdit::SetColSeparateNum(int value)
{
    colSeparateNum_ = value;
    Invalidate();
}

void TBorderEdit::SetNoCaption(const AnsiString& value)
{
    noCaption_ = value;
    Invalidate();
}

void TBorderEdit::SetNoCaptionDraw(bool value)
{
    noCaptionDraw_ = value;
    Invalidate();
}

void TBorderEdit::SetAlignmentWindowHandle(HWND window, TAlignment alignment)
{
    LONG style = GetWindowLongW(window, GWL_STYLE) & ~LONG(3);
    if (alignment == taRightJustify)
        style |= ES_RIGHT;
    else if (alignment == taCenter)
        style |= ES_CENTER;
    SetWindowLongW(window, GWL_STYLE, style);
    InvalidateRect(window, nullptr, TRUE);
}

AnsiString TBorderEdit::GetDispStr() const
{
    AnsiString text = text_;
    if (OnDispStr)
        OnDispStr(const_cast<TBorderEdit*>(this), text);
    return text;
}

void TBorderEdit::Paint()
{
    TCanvas* canvas = Canvas();
    int w = Width();
    int h = Height();
    int b = borderDraw_ ? 1 : 0;
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(color_);
    if (borderDraw_)
    {
        canvas->SetPen(pen_);
        canvas->Rectangle(0, 0, w, h);
    }
    else
    {
        canvas->FillRect(TRect(0, 0, w, h));
    }
    if (editing_)
        return; // the inner edit shows the text
    AnsiString disp = GetDispStr();
    bool placeholder = disp.IsEmpty() && noCaptionDraw_ && !borderDraw_;
    canvas->SetFont(placeholder ? noCaptionFont_ : Font());
    canvas->Brush()->SetStyle(bsClear);
    int textTop = (h - canvas->TextHeight(placeholder ? noCaption_ : disp)) / 2 - 1;
    if (colSeparateDraw_)
    {
        PaintCells(canvas, disp, textTop);
        return;
    }
    if (placeholder)
    {
        canvas->SetPen(noCaptionPen_);
        canvas->Rectangle(0, 0, w, h);
        disp = noCaption_;
    }
    UINT flags = DT_EXPANDTABS | DT_VCENTER;
    if (alignment_ == taRightJustify)
        flags |= DT_RIGHT;
    else if (alignment_ == taCenter)
        flags |= DT_CENTER;
    std::wstring wide = SjisToWide(disp);
    RECT r{b + 1, textTop, w - b, h - 1};
    DrawTextW(canvas->Handle(), wide.c_str(), int(wide.size()), &r, flags);
}

void TBorderEdit::PaintCells(TCanvas* canvas, const AnsiString& text, int textTop)
{
    int cells = std::max(1, colSeparateNum_);
    std::vector<AnsiString> characters = SplitCharacters(text);
    int length = int(characters.size());
    int w = Width();
    int x = 0;
    for (int i = 0; i < cells; ++i)
    {
        int cellWidth = w / cells + (i < w % cells ? 1 : 0);
        if (i < cells - 1)
        {
            canvas->SetPen(colPen_);
            canvas->MoveTo(x + cellWidth - 1, 0);
            canvas->LineTo(x + cellWidth - 1, Height());
        }
        // Filled from the right: the last character in the last cell.
        if (cells - i - 1 < length)
        {
            const AnsiString& character = characters[size_t(length - (cells - i))];
            canvas->TextOut(x + (cellWidth - canvas->TextWidth(character)) / 2, textTop, character);
        }
        x += cellWidth;
    }
}

void TBorderEdit::DoEnter()
{
    TNotifyEvent change = edit_->OnChange;
    edit_->OnChange = nullptr;
    edit_->SetFont(Font());
    edit_->SetColor(color_);
    edit_->SetText(text_);
    int b = borderDraw_ ? 1 : 0;
    TSize size = Canvas()->TextExtent("0");
    int editHeight = size.cy + 2;
    edit_->SetBounds(b, std::max(0, (Height() - editHeight) / 2), Width() - 2 * b, editHeight);
    SetAlignmentWindowHandle(edit_->Handle(), alignment_);
    editing_ = true;
    edit_->SetVisible(true);
    Invalidate();
    edit_->SelectAll();
    savedTabStop_ = TabStop();
    SetTabStop(false); // Shift+Tab from the inner edit leaves the field
    edit_->SetFocus();
    edit_->OnChange = change;
    if (OnEnter)
        OnEnter(this);
}

void TBorderEdit::DoExit()
{
    if (!editing_)
        return;
    editing_ = false;
    text_ = edit_->Text();
    edit_->SetVisible(false);
    SetTabStop(savedTabStop_);
    Invalidate();
    if (OnExit)
        OnExit(this);
}

void TBorderEdit::WMSetFocus(TWMSetFocus& message)
{
    TCustomControl::WMSetFocus(message);
    if (!editing_)
        DoEnter();
}

void TBorderEdit::WMLButtonDown(TWMMouse& message)
{
    TCustomControl::WMLButtonDown(message);
    SetFocus();
}
