#include "printing/Strppfm.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "platform/SysUtils.h"
#include "printing/StrPrint.h"

// ---------------------------------------------------------------------------------------------
// The page control

TPreviewPage::TPreviewPage(TComponent* owner) : TCustomControl(owner)
{
    color_ = clWhite;
}

void TPreviewPage::SetPage(TMetafile* page, const TRect& printable)
{
    page_ = page;
    printable_ = printable;
    Invalidate();
}

void TPreviewPage::Paint()
{
    TCanvas* c = Canvas();
    c->Brush()->SetColor(clWhite);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
    if (page_)
        page_->Draw(c->Handle(), printable_, &blankGlyphs_);
}

void TPreviewPage::WMLButtonDown(TWMMouse& message)
{
    if (HandleAllocated())
        SetCapture(handle_);
    if (OnMouseDown)
        OnMouseDown(this, mbLeft, KeyDataToShiftState(0), message.XPos, message.YPos);
    message.Result = 0;
}

void TPreviewPage::WMMouseMove(TWMMouse& message)
{
    if (!(message.Keys & MK_LBUTTON) && GetCapture() == handle_)
        ReleaseCapture();
    TShiftState shift;
    if (message.Keys & MK_LBUTTON)
        shift = TShiftState{ssLeft};
    if (OnMouseMove)
        OnMouseMove(this, shift, message.XPos, message.YPos);
    message.Result = 0;
}

// ---------------------------------------------------------------------------------------------
// The window

namespace
{
TSpeedButton* Tool(TWinControl* parent, TComponent* owner, const char* name, const AnsiString& caption, int x,
                   int w)
{
    return PlaceControl(parent, Create<TSpeedButton>(owner), name, caption, x, 4, w, 25);
}
} // namespace

TFormStrPreview::TFormStrPreview(TComponent* owner) : TForm(owner)
{
    static const bool handLoaded = [] {
        HCURSOR hand = LoadCursorW(HInstance, L"OpenHand");
        if (hand && Screen)
            Screen->SetCursors(crOpenHand, hand);
        return hand != nullptr;
    }();
    (void)handLoaded;
    SetName("FormStrPreview");
    SetCaption("印刷プレビュー");
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 640, 600);

    Panel1 = Create<TPanel>(this);
    Panel1->SetName("Panel1");
    Panel1->SetHeight(33);
    Panel1->SetAlign(alTop);
    Panel1->SetParent(this);
    SpeedButton1 = Tool(Panel1, this, "SpeedButton1", "", 4, 28);
    SpeedButton2 = Tool(Panel1, this, "SpeedButton2", "", 32, 28);
    SpeedButton3 = Tool(Panel1, this, "SpeedButton3", "", 60, 28);
    SpeedButton4 = Tool(Panel1, this, "SpeedButton4", "", 88, 28);
    SpeedButton1->Glyph()->LoadFromResourceName(HInstance, "FirstPage");
    SpeedButton2->Glyph()->LoadFromResourceName(HInstance, "PrevPage");
    SpeedButton3->Glyph()->LoadFromResourceName(HInstance, "NextPage");
    SpeedButton4->Glyph()->LoadFromResourceName(HInstance, "LastPage");
    SpeedButton5 = Tool(Panel1, this, "SpeedButton5", "ﾍﾟｰｼﾞ高さ基準", 124, 96);
    SpeedButton6 = Tool(Panel1, this, "SpeedButton6", "ﾍﾟｰｼﾞ幅基準", 220, 96);
    SpeedButton7 = Tool(Panel1, this, "SpeedButton7", "100%表示", 316, 80);
    SpeedButton8 = Tool(Panel1, this, "SpeedButton8", "閉じる", 396, 64);
    // Fixed bounds, so the indicator does not move as its numbers change: wide enough for seven
    // digits each, as a big text has hundreds of thousands of pages.
    Label1 = Create<TLabel>(this);
    Label1->SetAutoSize(false);
    int indicatorW = 0;
    {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, Label1->Font()->Handle());
        SIZE widest{};
        GetTextExtentPoint32W(dc, L"9999999 / 9999999", 17, &widest);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        indicatorW = widest.cx + 4;
    }
    PlaceControl(Panel1, Label1, "Label1", "", 470, 9, indicatorW, 16);
    for (TSpeedButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5, SpeedButton6,
                            SpeedButton7, SpeedButton8})
        b->OnClick = TNotifyEvent(this, &TFormStrPreview::SpeedButtonClick);

    StatusBar1 = Create<TStatusBar>(this);
    StatusBar1->SetName("StatusBar1");
    StatusBar1->SetAlign(alBottom);
    StatusBar1->SetParent(this);

    ScrollBox1 = Create<TScrollBox>(this);
    ScrollBox1->SetName("ScrollBox1");
    ScrollBox1->SetAlign(alClient);
    ScrollBox1->SetParent(this);

    Image1 = Create<TPreviewPage>(this);
    Image1->SetName("Image1");
    Image1->SetParent(ScrollBox1);
    Image1->OnMouseDown = TMouseEvent(this, &TFormStrPreview::Image1MouseDown);
    Image1->OnMouseMove = Closure<void(TObject*, TShiftState, int, int)>(this, &TFormStrPreview::Image1MouseMove);

    OnShow = TNotifyEvent(this, &TFormStrPreview::FormShow);
    OnResize = TNotifyEvent(this, &TFormStrPreview::FormResize);
    SetKeyPreview(true);
    OnKeyPress = TKeyPressEvent(this, &TFormStrPreview::FormKeyPress);
}

void TFormStrPreview::FormKeyPress(TObject*, char& key)
{
    if (key == 27)
        Close();
}

void TFormStrPreview::Setup(TStringsPrinter* printer, TMetaFileList* pages)
{
    printer_ = printer;
    pages_ = pages;
    if (printer->IsEnglish())
    {
        SetCaption("Print Preview");
        SpeedButton5->SetCaption("Fit Height");
        SpeedButton6->SetCaption("Fit Width");
        SpeedButton7->SetCaption("100% Size");
        SpeedButton8->SetCaption("Close");
    }
    mode_ = pmHundred;
    SetMetaFileIndex(0);
}

void TFormStrPreview::Execute(TStringsPrinter* printer, TMetaFileList* pages)
{
    std::unique_ptr<TFormStrPreview> form(Create<TFormStrPreview>(printer));
    form->Setup(printer, pages);
    if (OnShown)
    {
        // The test looks at the window once the modal loop runs.
        TFormStrPreview* f = form.get();
        TTimer* t = Create<TTimer>(f);
        t->SetInterval(10);
        t->OnTimer = TNotifyEvent(f, &TFormStrPreview::ShownTimer);
    }
    form->ShowModal();
}

void TFormStrPreview::ShownTimer(TObject* sender)
{
    static_cast<TTimer*>(sender)->SetEnabled(false);
    if (OnShown)
        OnShown(this);
}

void TFormStrPreview::SetMetaFileIndex(int index)
{
    const int count = pages_ ? pages_->GetCount() : 0;
    index_ = std::max(0, std::min(index, count - 1));
    Label1->SetCaption(Format("%3d / %3d", {index_ + 1, count}));
    SpeedButton1->SetEnabled(index_ >= 1);
    SpeedButton2->SetEnabled(index_ >= 1);
    SpeedButton3->SetEnabled(index_ < count - 1);
    SpeedButton4->SetEnabled(index_ < count - 1);
    if (HandleAllocated())
        Update();
    SetPreviewMode(mode_);
}

void TFormStrPreview::SetPreviewMode(TPreviewMode mode)
{
    mode_ = mode;
    if (!pages_ || pages_->GetCount() == 0)
        return;
    TMetafile* page = pages_->GetMetaFile(index_);
    const TRect off = printer_->PaperOffset();
    const int W = std::max(1, page->Width() + off.Left + off.Right);
    const int H = std::max(1, page->Height() + off.Top + off.Bottom);
    // A minimised window has no client area: the page keeps at least one pixel.
    int w = 1, h = 1;
    switch (mode)
    {
    case pmHundred:
        w = int(std::lround(printer_->Ratio() * W));
        h = int(std::lround(printer_->Ratio() * H));
        break;
    case pmWidth:
        w = ScrollBox1->Width() - vScrollWidth_;
        h = int(std::lround(double(w) * H / W));
        break;
    case pmHeight:
        h = ScrollBox1->Height() - hScrollHeight_;
        w = int(std::lround(double(h) * W / H));
        break;
    }
    w = std::max(1, w);
    h = std::max(1, h);
    const TRect printable(int(std::lround(double(off.Left) * w / W)), int(std::lround(double(off.Top) * h / H)),
                          int(std::lround(double(page->Width() + off.Left) * w / W)),
                          int(std::lround(double(page->Height() + off.Top) * h / H)));
    ScrollBox1->SetHorzPosition(0);
    ScrollBox1->SetVertPosition(0);
    Image1->SetBounds(Image1->Left(), Image1->Top(), w, h);
    Image1->SetPage(page, printable);
    AdjustImagePosition();
}

void TFormStrPreview::AdjustImagePosition()
{
    ScrollBox1->SetHorzPosition(0);
    ScrollBox1->SetVertPosition(0);
    const int boxW = ScrollBox1->Width(), boxH = ScrollBox1->Height();
    const int availH = boxH - (Image1->Width() > boxW ? hScrollHeight_ : 0);
    const int availW = boxW - (Image1->Height() > boxH ? vScrollWidth_ : 0);
    const int top = std::max(0, (availH - Image1->Height()) / 2);
    const int left = std::max(0, (availW - Image1->Width()) / 2);
    Image1->SetBounds(left, top, Image1->Width(), Image1->Height());
    ScrollBox1->UpdateScrollBars();
}

void TFormStrPreview::FormShow(TObject*)
{
    vScrollWidth_ = GetSystemMetrics(SM_CXVSCROLL);
    hScrollHeight_ = GetSystemMetrics(SM_CYHSCROLL);
    // As wide as the page at 100 %, and never narrower than the tools above it.
    int toolsRight = 0;
    for (int i = 0; i < Panel1->ControlCount(); ++i)
        toolsRight = std::max(toolsRight, Panel1->Controls(i)->Left() + Panel1->Controls(i)->Width());
    const int tools = toolsRight + 8 + (Width() - ClientWidth());
    const int w = std::min(Screen->Width(), std::max(tools, Image1->Width() + vScrollWidth_ + 16));
    const int h = Screen->Height() / 6 * 5;
    // Centred at the size it takes now, not the one it was centred at, so it stays on the screen.
    SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
    SetPreviewMode(pmHeight);
}

void TFormStrPreview::FormResize(TObject*)
{
    if (pages_)
        SetPreviewMode(mode_);
}

void TFormStrPreview::SpeedButtonClick(TObject* sender)
{
    if (sender == SpeedButton1)
        SetMetaFileIndex(0);
    else if (sender == SpeedButton2)
        SetMetaFileIndex(index_ - 1);
    else if (sender == SpeedButton3)
        SetMetaFileIndex(index_ + 1);
    else if (sender == SpeedButton4)
        SetMetaFileIndex(pages_->GetCount() - 1);
    else if (sender == SpeedButton5)
        SetPreviewMode(pmHeight);
    else if (sender == SpeedButton6)
        SetPreviewMode(pmWidth);
    else if (sender == SpeedButton7)
        SetPreviewMode(pmHundred);
    else if (sender == SpeedButton8)
        Close();
}

void TFormStrPreview::Image1MouseDown(TObject*, TMouseButton, TShiftState, int x, int y)
{
    down_ = TPoint(x, y);
}

void TFormStrPreview::Image1MouseMove(TObject*, TShiftState shift, int x, int y)
{
    if (ScrollBox1->HorzRange() == 0 && ScrollBox1->VertRange() == 0)
    {
        Image1->SetCursor(crDefault);
        return;
    }
    if (shift.Contains(ssLeft))
    {
        ScrollBox1->SetHorzPosition(ScrollBox1->HorzPosition() + (down_.x - x));
        ScrollBox1->SetVertPosition(ScrollBox1->VertPosition() + (down_.y - y));
    }
    else
        Image1->SetCursor(crOpenHand);
}

void TFormStrPreview::WMMouseWheel(TWMMouseWheel& message)
{
    ScrollBox1->SetVertPosition(ScrollBox1->VertPosition() - message.WheelDelta);
    message.Result = 0;
}
