// The print preview: the laid-out pages one at a time, at 100 %, to the window's width or to its
// height, with page navigation and drag-scrolling.
#pragma once

#include "platform/Buttons.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Printers.h"
#include "platform/StdCtrls.h"

class TStringsPrinter;
class TMetaFileList;

enum TPreviewMode { pmHundred, pmWidth, pmHeight };

// The cursor slot of the open hand shown while a page can be dragged.
constexpr TCursor crOpenHand = 1960;

// The page: a white sheet with the page's metafile stretched over its printable part.
class TPreviewPage : public TCustomControl
{
public:
    explicit TPreviewPage(TComponent* owner);
    void SetPage(TMetafile* page, const TRect& printable);

    TMouseEvent OnMouseDown;
    Closure<void(TObject*, TShiftState, int, int)> OnMouseMove;

protected:
    void Paint() override;
    void WMLButtonDown(TWMMouse& message) override;
    void WMMouseMove(TWMMouse& message) override;
    void WMEraseBkgnd(TWMEraseBkgnd& message) override { message.Result = 1; }

private:
    TMetafile* page_ = nullptr;
    TRect printable_;
    TBlankGlyphs blankGlyphs_;
};

class TFormStrPreview : public TForm
{
public:
    explicit TFormStrPreview(TComponent* owner);

    TPanel* Panel1 = nullptr;
    TSpeedButton* SpeedButton1 = nullptr; // first page
    TSpeedButton* SpeedButton2 = nullptr; // previous
    TSpeedButton* SpeedButton3 = nullptr; // next
    TSpeedButton* SpeedButton4 = nullptr; // last
    TSpeedButton* SpeedButton5 = nullptr;
    TSpeedButton* SpeedButton6 = nullptr;
    TSpeedButton* SpeedButton7 = nullptr;
    TSpeedButton* SpeedButton8 = nullptr;
    TLabel* Label1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    TScrollBox* ScrollBox1 = nullptr;
    TPreviewPage* Image1 = nullptr;

    // Shows pages modally; OnShown (tests) runs once the window is up.
    static void Execute(TStringsPrinter* printer, TMetaFileList* pages);
    static inline TNotifyEvent OnShown;

    void Setup(TStringsPrinter* printer, TMetaFileList* pages);
    void SetMetaFileIndex(int index);
    void SetPreviewMode(TPreviewMode mode);
    void AdjustImagePosition();
    int MetaFileIndex() const { return index_; }
    TMetaFileList* Pages() const { return pages_; }
    TPreviewMode PreviewMode() const { return mode_; }

    void FormShow(TObject* sender);
    void FormResize(TObject* sender);
    void FormKeyPress(TObject* sender, char& key); // Esc closes
    void SpeedButtonClick(TObject* sender);
    void Image1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void Image1MouseMove(TObject* sender, TShiftState shift, int x, int y);
    void ShownTimer(TObject* sender);

protected:
    // The wheel scrolls the page wherever the focus is.
    void WMMouseWheel(TWMMouseWheel& message) override;

private:
    TStringsPrinter* printer_ = nullptr;
    TMetaFileList* pages_ = nullptr;
    int index_ = 0;
    TPreviewMode mode_ = pmHundred;
    TPoint down_;
    int vScrollWidth_ = 0;
    int hScrollHeight_ = 0;
};
