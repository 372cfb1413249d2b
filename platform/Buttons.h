// The progress bar, the glyph buttons (speed and bitmap buttons), the radio group and the scroll box of the layer.
#pragma once

#include "StdCtrls.h"

// A bar over Min..Max (0..100 from construction).
class TProgressBar : public TStdControl
{
public:
    explicit TProgressBar(TComponent* owner);

    int Min() const { return min_; }
    int Max() const { return max_; }
    void SetRange(int min, int max);
    int Position() const { return position_; }
    void SetPosition(int value); // clamped to Min..Max

protected:
    const wchar_t* NativeClassName() const override { return PROGRESS_CLASSW; }
    void HandleCreated() override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};

// Where a glyph button's glyph sits against its caption.
enum TButtonLayout
{
    blGlyphLeft,
    blGlyphRight,
    blGlyphTop,
    blGlyphBottom
};

// Where a glyph button puts its glyph and caption inside an area of width by height. Margin (the
// glyph's distance from the area's edge) and spacing (between glyph and caption) of -1 are
// automatic; an empty glyph or caption is 0 by 0. Right-to-left reading swaps left and right.
struct TButtonPlacement
{
    TButtonLayout layout = blGlyphLeft;
    int margin = -1;
    int spacing = 4;
    bool rightToLeft = false;
    SIZE glyph{};
    SIZE caption{};
};
void CalcButtonLayout(const TButtonPlacement& in, int width, int height, POINT& glyphPos, POINT& captionPos);

// Draws the image of glyph within source at (x, y) without the pixels of the image's transparent
// colour (its bottom-left pixel's); disabled, as the image's shape embossed.
void DrawGlyph(HDC dc, TBitmap* glyph, const TRect& source, int x, int y, bool enabled);

// A push button that draws its own face: an optional glyph and the caption, placed by Layout,
// Margin and Spacing (by default the glyph left of the caption, the two centred together). The
// glyph holds NumGlyphs images side by side (up, disabled, pressed, down): the button shows one of
// them; a disabled button without an image of its own shows the first embossed.
class TGlyphButton : public TButton
{
public:
    explicit TGlyphButton(TComponent* owner);
    ~TGlyphButton() override;

    // Owned; empty until loaded (LoadFromResourceName, LoadFromFile).
    TBitmap* Glyph() const { return glyph_; }
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int count); // 1..4
    // Where image index lies in the glyph (empty without a glyph).
    TRect GlyphImage(int index) const;
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    // -1: glyph and caption centred together.
    int Margin() const { return margin_; }
    void SetMargin(int margin); // -1 or more
    // -1: the room left shared evenly.
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing); // -1 or more
    // Layout, Margin, Spacing and the reading order, for a glyph and caption of the sizes given.
    TButtonPlacement Placement(SIZE glyph, SIZE caption) const;

protected:
    void CreateParams(TCreateParams& params) override;
    void Dispatch(TMessage& message) override;
    // The image shown: the first unless the glyph has one for the state.
    virtual int ImageIndex(bool enabled, bool pushed) const;
    // Whether the face is drawn pushed in.
    virtual bool ShowsPushed(const DRAWITEMSTRUCT& item) const { return item.itemState & ODS_SELECTED; }
    // Draws the frame of the face; false when it draws none.
    virtual bool DrawFrame(HDC dc, RECT& r, bool pushed);

private:
    void DrawFace(const DRAWITEMSTRUCT& item);
    TBitmap* glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    int spacing_ = 4;
};

// A button for tool rows that never takes the focus: a click runs OnClick and leaves the focus
// where it was. Down keeps it shown pushed in; a Flat one shows its frame only while the mouse is
// in it or it is pushed.
class TSpeedButton : public TGlyphButton
{
public:
    explicit TSpeedButton(TComponent* owner);

    bool Down() const { return down_; }
    void SetDown(bool down);
    bool Flat() const { return flat_; }
    void SetFlat(bool flat);
    bool MouseInControl() const { return mouseIn_; }

protected:
    void CreateParams(TCreateParams& params) override;
    void WMSetFocus(TWMSetFocus& message) override;
    void CMMouseEnter(TMessage& message) override;
    void CMMouseLeave(TMessage& message) override;
    int ImageIndex(bool enabled, bool pushed) const override;
    bool ShowsPushed(const DRAWITEMSTRUCT& item) const override;
    bool DrawFrame(HDC dc, RECT& r, bool pushed) override;

private:
    bool down_ = false;
    bool flat_ = false;
    bool mouseIn_ = false;
};

// A push button of the dialogs with a glyph.
class TBitBtn : public TGlyphButton
{
public:
    using TGlyphButton::TGlyphButton;
};

// A container whose client area scrolls over its children: the scroll ranges cover the children's
// extent, and moving a position moves the children.
class TScrollBox : public TWinControl
{
public:
    explicit TScrollBox(TComponent* owner);

    // The children's extent beyond the client area (0 when they fit).
    int HorzRange();
    int VertRange();
    int HorzPosition() const { return hpos_; }
    int VertPosition() const { return vpos_; }
    void SetHorzPosition(int pos);
    void SetVertPosition(int pos);
    // Recomputes the ranges after a child moved or was resized.
    void UpdateScrollBars();

protected:
    void CreateParams(TCreateParams& params) override;
    void WMSize(TWMSize& message) override;
    void WMHScroll(TWMScroll& message) override;
    void WMVScroll(TWMScroll& message) override;
    void WMMouseWheel(TWMMouseWheel& message) override;

private:
    void ScrollTo(int h, int v);
    int ContentWidth() const;
    int ContentHeight() const;
    int hpos_ = 0;
    int vpos_ = 0;
    bool updating_ = false;
};

// A group box of radio buttons, one per item, one below the other. ItemIndex is the checked one
// (-1: none); OnClick fires when it changes, by the user or in code.
class TRadioGroup : public TGroupBox
{
public:
    explicit TRadioGroup(TComponent* owner);
    ~TRadioGroup() override;

    TStrings* Items() const { return items_; }
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);
    TRadioButton* Buttons(int index) const { return buttons_.at(size_t(index)); }

    TNotifyEvent OnClick;

private:
    void ItemsChanged(TObject*);
    void ButtonClick(TObject* sender);
    TStringList* items_;
    std::vector<TRadioButton*> buttons_;
    int itemIndex_ = -1;
    bool setting_ = false;
};
