#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/Animate.h"
#include "platform/Buttons.h"
#include "platform/CheckLst.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Frames.h"
#include "platform/ListView.h"
#include "platform/Splitter.h"
#include "platform/StaticText.h"
#include "platform/StdCtrls.h"
#include "tests/themes/TestThemes.h"
#include "themes/ThemeMgr.h"

namespace
{

// Theming as a test asks for it: the common-controls version the rule wants, re-read by the
// services; the application properties put back afterwards.
class ThemeState
{
public:
    explicit ThemeState(bool themed) : version_(themed ? ComCtl600 : ComCtl581)
    {
        properties_ = UxTheme::GetThemeAppProperties ? UxTheme::GetThemeAppProperties() : 0;
        if (UxTheme::SetThemeAppProperties)
            UxTheme::SetThemeAppProperties(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT);
        ThemeServices()->UpdateThemes();
    }
    ~ThemeState()
    {
        if (UxTheme::SetThemeAppProperties)
            UxTheme::SetThemeAppProperties(properties_);
        SetComCtlVersionFunc(nullptr);
        ThemeServices()->UpdateThemes();
    }

private:
    TComCtlVersion version_;
    DWORD properties_ = 0;
};

// Records the messages that reach a control's own procedure.
class TRecorder : public TObject
{
public:
    // Records the messages for which wanted holds (by default the tests' own, WM_USER on).
    explicit TRecorder(TControl* control, std::function<bool(const TMessage&)> wanted = nullptr)
        : control_(control), inner_(control->WindowProc), wanted_(std::move(wanted))
    {
        control->WindowProc = TWndMethod(this, &TRecorder::Proc);
    }
    ~TRecorder()
    {
        if (control_->WindowProc == TWndMethod(this, &TRecorder::Proc))
            control_->WindowProc = inner_;
    }
    // Only the tests' own messages: the manager and the system send others.
    void Proc(TMessage& message)
    {
        if (wanted_ ? wanted_(message) : message.Msg >= WM_USER && message.Msg < WM_USER + 100)
            seen.push_back(message.Msg);
        inner_(message);
    }
    std::vector<UINT> seen;

private:
    TControl* control_;
    TWndMethod inner_;
    std::function<bool(const TMessage&)> wanted_;
};

// A panel that answers the manager's question with a refusal.
class TRefusingPanel : public TPanel
{
public:
    using TPanel::TPanel;

protected:
    void Dispatch(TMessage& message) override
    {
        if (message.Msg == CM_REFUSESUBCLASSING)
        {
            message.Result = 1;
            return;
        }
        TPanel::Dispatch(message);
    }
};

// A parent-painted control showing one colour.
class TSwatch : public TGraphicControl
{
public:
    using TGraphicControl::TGraphicControl;
    COLORREF colour = RGB(255, 0, 0);

protected:
    void Paint() override
    {
        HBRUSH brush = CreateSolidBrush(colour);
        RECT all{0, 0, Width(), Height()};
        FillRect(Canvas()->Handle(), &all, brush);
        DeleteObject(brush);
    }
};

// One control of each class the manager knows, and the list it belongs in (none: it is painted by
// its parent, never subclassed). A class that joins the manager joins this table.
struct TClassCase
{
    const char* name;
    std::function<TControl*(TCustomForm*)> make;
    std::optional<TSubclassKind> kind;
};

template <class T> TControl* Put(TWinControl* parent)
{
    T* control = Create<T>(parent);
    control->SetParent(parent);
    return control;
}

std::vector<TClassCase> ClassCases()
{
    return {
        {"button", Put<TButton>, skButtonControl},
        {"check box", Put<TCheckBox>, skButtonControl},
        {"radio button", Put<TRadioButton>, skButtonControl},
        {"group box", Put<TGroupBox>, skGroupBox},
        {"panel", Put<TPanel>, skPanel},
        {"tab sheet",
         [](TCustomForm* form) {
             auto* pages = static_cast<TPageControl*>(Put<TPageControl>(form));
             TTabSheet* sheet = Create<TTabSheet>(form);
             sheet->SetPageControl(pages);
             return static_cast<TControl*>(sheet);
         },
         skTabSheet},
        {"track bar", Put<TTrackBar>, skTrackBar},
        {"status bar", Put<TStatusBar>, skStatusBar},
        {"list box", Put<TListBox>, skWinControl},
        {"edit", Put<TEdit>, skWinControl},
        {"tool bar", Put<TToolBar>, skWinControl},
        {"up-down", Put<TUpDown>, skWinControl},
        {"label", Put<TLabel>, skWinControl},
        {"combo box", Put<TComboBox>, skWinControl},
        {"page control", Put<TPageControl>, skWinControl},
        {"tree view", Put<TTreeView>, skWinControl},
        {"progress bar", Put<TProgressBar>, skWinControl},
        {"speed button", Put<TSpeedButton>, skSpeedButton},
        {"bitmap button", Put<TBitBtn>, skButtonControl},
        {"scroll box", Put<TScrollBox>, skWinControl},
        {"radio group", Put<TRadioGroup>, skGroupBox},
        {"list view", Put<TListView>, skListView},
        {"check-list box", Put<TCheckListBox>, skCheckListBox},
        {"splitter", Put<TSplitter>, skSplitter},
        {"animation", Put<TAnimate>, skAnimate},
        {"frame", Put<TFrame>, skFrame},
        {"static text", Put<TStaticText>, skWinControl},
        {"image", Put<TImage>, std::nullopt},
        {"graphic control", Put<TSwatch>, std::nullopt},
        {"form inside a panel",
         [](TCustomForm* form) { return Put<TForm>(static_cast<TWinControl*>(Put<TPanel>(form))); }, skForm},
    };
}

bool Listed(TThemeManager* manager, TControl* control, TSubclassKind kind)
{
    int index = 0;
    return manager->List(kind)->Find(control, index);
}

bool ListedAnywhere(TThemeManager* manager, TControl* control)
{
    bool listed = false;
    for (int k = 0; k < SubclassKindCount; ++k)
        listed = listed || Listed(manager, control, TSubclassKind(k));
    return listed;
}

int ListedCount(TThemeManager* manager)
{
    int n = 0;
    for (int k = 0; k < SubclassKindCount; ++k)
        n += manager->List(TSubclassKind(k))->Count();
    return n;
}

class ThemeMgrFixture : public ::testing::Test
{
protected:
    void TearDown() override
    {
        ShutdownThemeManagers();
        for (TCustomForm* form : forms_)
            delete form;
    }
    TForm* MakeForm()
    {
        TForm* form = Create<TForm>(nullptr);
        form->SetBounds(0, 0, 300, 200);
        forms_.push_back(form);
        return form;
    }
    void FreeForm(TCustomForm* form)
    {
        std::erase(forms_, form);
        delete form;
    }
    std::vector<TCustomForm*> forms_;
};

// Pixels of a control's client area as the screen shows them.
std::vector<COLORREF> Pixels(TWinControl* control)
{
    HWND window = control->Handle();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < r.bottom; y += 2)
        for (int x = 0; x < r.right; x += 2)
            pixels.push_back(GetPixel(dc, x, y));
    ReleaseDC(window, dc);
    return pixels;
}

// Caption text and dark glyphs, not a face, an edge or a background.
bool IsInk(COLORREF p)
{
    return GetRValue(p) < 80 && GetGValue(p) < 80 && GetBValue(p) < 80;
}

// The pixels of a painting within area that are wanted: how many, and their bounds (right and
// bottom inclusive; -1 when there are none).
struct TFound
{
    int count = 0;
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
};
TFound Find(const TPainted& painted, RECT area, const std::function<bool(COLORREF)>& wanted)
{
    area.right = std::min<LONG>(area.right, painted.width);
    area.bottom = std::min<LONG>(area.bottom, painted.height);
    TFound found;
    for (int y = std::max<LONG>(area.top, 0); y < area.bottom; ++y)
        for (int x = std::max<LONG>(area.left, 0); x < area.right; ++x)
            if (wanted(painted.At(x, y)))
            {
                ++found.count;
                found.left = std::min(found.left, x);
                found.top = std::min(found.top, y);
                found.right = std::max(found.right, x);
                found.bottom = std::max(found.bottom, y);
            }
    return found;
}

// What draw puts on a width by height bitmap filled with ground: a model of a themed part.
TPainted Model(int width, int height, COLORREF ground, const std::function<void(HDC)>& draw)
{
    TBitmap model;
    model.SetSize(width, height);
    HDC dc = model.Canvas()->Handle();
    HBRUSH brush = CreateSolidBrush(ground);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    TPainted painted{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            painted.pixels.push_back(GetPixel(dc, x, y));
    return painted;
}

// How many pixels of the rows top..bottom (exclusive) differ between two paintings of one size.
int DifferingRows(const TPainted& a, const TPainted& b, int top, int bottom)
{
    int differing = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < a.width; ++x)
            differing += a.At(x, y) != b.At(x, y);
    return differing;
}

// The extent of text in the control's font.
SIZE TextSize(TWinControl* control, const wchar_t* text)
{
    HDC dc = GetDC(control->Handle());
    HGDIOBJ old = SelectObject(dc, control->Font()->Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc, text, int(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(control->Handle(), dc);
    return size;
}

} // namespace

TEST(ThemeMgrList, AgreesWithAMapUnderRandomAddFindRemoveAndPutsEveryProcedureBack)
{
    ThemeState themed(true);
    TThemeManager* manager = Create<TThemeManager>(Application);
    TWindowProcList* list = manager->List(skPanel);
    std::vector<TPanel*> panels;
    std::map<TControl*, TWndMethod> original;
    for (int i = 0; i < 40; ++i)
    {
        panels.push_back(Create<TPanel>(nullptr));
        original[panels.back()] = panels.back()->WindowProc;
    }
    std::map<TControl*, bool> model;
    std::mt19937 random(23);
    for (int step = 0; step < 3000; ++step)
    {
        TPanel* panel = panels[random() % panels.size()];
        int index = 0;
        switch (random() % 4)
        {
        case 0:
            EXPECT_EQ(list->Add(panel) >= 0, !model[panel]) << step;
            model[panel] = true;
            break;
        case 1:
            list->Remove(panel);
            model[panel] = false;
            EXPECT_TRUE(panel->WindowProc == original[panel]) << step;
            break;
        case 2: EXPECT_EQ(list->Find(panel, index), model[panel]) << step; break;
        case 3:
            // Through the stub when listed: still answered by the panel's own procedure.
            EXPECT_EQ(panel->Perform(WM_GETTEXTLENGTH, 0, 0), 0) << step;
            break;
        }
        int count = 0;
        for (auto& [control, listed] : model)
            count += listed;
        ASSERT_EQ(list->Count(), count) << step;
    }
    EXPECT_EQ(list->Add(Create<TGroupBox>(manager)), -1); // not of the list's class
    delete manager;
    for (TPanel* panel : panels)
    {
        EXPECT_TRUE(panel->WindowProc == original[panel]);
        delete panel;
    }
}

TEST_F(ThemeMgrFixture, ThemedManagerSubclassesEveryKnownClassAndPutsEveryProcedureBackExactly)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    std::vector<std::pair<TClassCase, TControl*>> made;
    for (const TClassCase& c : ClassCases())
        made.push_back({c, c.make(form)});
    std::map<TControl*, TWndMethod> before;
    for (auto& [c, control] : made)
        before[control] = control->WindowProc;

    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->SetOptions(manager->Options() << toSubclassAnimate); // off by default
    manager->Loaded();
    EXPECT_TRUE(Listed(manager, form, skForm));
    for (auto& [c, control] : made)
    {
        SCOPED_TRACE(c.name);
        if (c.kind)
        {
            EXPECT_TRUE(Listed(manager, control, *c.kind));
            EXPECT_FALSE(control->WindowProc == before[control]);
        }
        else
        {
            EXPECT_FALSE(ListedAnywhere(manager, control));
            EXPECT_TRUE(control->WindowProc == before[control]);
        }
    }
    delete manager;
    for (auto& [c, control] : made)
    {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(control->WindowProc == before[control]);
    }
}

TEST_F(ThemeMgrFixture, UnthemedManagerLeavesEveryControlButListViewsAndItsPixelsAlone)
{
    ThemeState classic(false);
    TForm* form = MakeForm();
    form->Show();
    std::vector<TControl*> made;
    // Forms are followed whatever the theme, and list views for their columns.
    auto* view = static_cast<TListView*>(Put<TListView>(form));
    for (const TClassCase& c : ClassCases())
        if (c.kind != skForm && c.kind != skListView)
            made.push_back(c.make(form));
    auto* box = static_cast<TGroupBox*>(Put<TGroupBox>(form));
    box->SetBounds(10, 10, 120, 80);
    box->SetCaption("枠");
    std::vector<COLORREF> alone = Pixels(box);
    std::map<TControl*, TWndMethod> before;
    for (TControl* control : made)
        before[control] = control->WindowProc;

    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    for (TControl* control : made)
        EXPECT_TRUE(control->WindowProc == before[control]);
    EXPECT_EQ(Pixels(box), alone);
    EXPECT_TRUE(Listed(manager, view, skListView));
}

TEST_F(ThemeMgrFixture, ThemedGroupBoxShowsItsCaptionOverTheThemesFrame)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* box = static_cast<TGroupBox*>(Put<TGroupBox>(form));
    box->SetBounds(10, 10, 120, 80);
    box->SetCaption("枠");
    std::vector<COLORREF> classic = Pixels(box);
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    ASSERT_TRUE(Listed(manager, box, skGroupBox));
    EXPECT_NE(Pixels(box), classic);
    // The caption's text at the top left, and below it the theme's frame all round.
    const TPainted shown = Painted(box);
    const SIZE caption = TextSize(box, L"枠");
    EXPECT_GE(Find(shown, {8, 0, 8 + caption.cx, caption.cy}, IsInk).count, 10);
    const TPainted frame = Model(120, 80, COLORREF(ColorToRGB(form->Color())), [&](HDC dc) {
        ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(tbGroupBoxNormal),
                                     TRect(0, caption.cy / 2, 120, 80));
    });
    EXPECT_EQ(DifferingRows(shown, frame, caption.cy, 80), 0);
}

TEST_F(ThemeMgrFixture, ThemedPanelsShowTheirCaptionAndBevelsAsClassicOnesDo)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* panel = static_cast<TPanel*>(Put<TPanel>(form));
    panel->SetBounds(140, 10, 120, 80);
    panel->SetCaption("パネル");
    auto* ownColour = static_cast<TPanel*>(Put<TPanel>(form));
    ownColour->SetBounds(10, 100, 120, 80);
    ownColour->SetColor(clWhite);
    auto* bevelled = static_cast<TPanel*>(Put<TPanel>(form));
    bevelled->SetBounds(140, 100, 120, 80);
    bevelled->SetBevelInner(bvLowered);
    bevelled->SetBorderWidth(4);
    const TPainted classicPanel = Painted(panel);
    std::vector<COLORREF> classicOwn = Pixels(ownColour);
    std::vector<COLORREF> classicBevelled = Pixels(bevelled);

    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    // Over a plain parent the parent's background looks like the panel's own fill: bevel and
    // caption stay as they were, the caption in the middle. So do a panel with a colour of its own
    // and one with both bevels a border width apart.
    ASSERT_TRUE(Listed(manager, panel, skPanel));
    const TPainted themedPanel = Painted(panel);
    const TFound text = Find(themedPanel, {0, 0, 120, 80}, IsInk);
    ASSERT_GE(text.count, 10);
    EXPECT_NEAR((text.left + text.right) / 2.0, 60, 2);
    EXPECT_NEAR((text.top + text.bottom) / 2.0, 40, 3);
    EXPECT_EQ(DifferingRows(themedPanel, classicPanel, 0, text.top - 1), 0);
    EXPECT_EQ(DifferingRows(themedPanel, classicPanel, text.bottom + 2, 80), 0);
    EXPECT_EQ(Pixels(ownColour), classicOwn);
    EXPECT_EQ(Pixels(bevelled), classicBevelled);
}

TEST_F(ThemeMgrFixture, ThemedButtonsAndScrollBoxesPaintOverTheClassicOutputAndGiveItBackWhenFreed)
{
    // Themed, a button shows the theme's push button, its corners open to the white form, with its
    // caption on it; a scroll box shows the white form between its children.
    auto face = [](const TPainted& shown) {
        const TPainted model = Model(shown.width, shown.height, RGB(255, 255, 255), [&](HDC dc) {
            ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(tbPushButtonNormal),
                                         TRect(0, 0, shown.width, shown.height));
        });
        EXPECT_EQ(DifferingRows(shown, model, 0, 3), 0);
        EXPECT_EQ(DifferingRows(shown, model, shown.height - 3, shown.height), 0);
        EXPECT_GE(Find(shown, {3, 3, shown.width - 3, shown.height - 3}, IsInk).count, 10);
    };
    auto white = [](const TPainted& shown) {
        EXPECT_EQ(shown.At(shown.width / 2, shown.height / 2), RGB(255, 255, 255));
    };
    struct TCase
    {
        const char* name;
        std::function<TControl*(TCustomForm*)> make;
        std::optional<TThemeOption> option; // turned off: the classic output stays
        std::function<void(const TPainted&)> looks;
    };
    const TCase cases[] = {
        {"speed button", Put<TSpeedButton>, std::nullopt, face},
        {"bitmap button", Put<TBitBtn>, std::nullopt, face},
        {"scroll box on a white form", Put<TScrollBox>, std::nullopt, white},
        {"speed button with its option off", Put<TSpeedButton>, toSubclassSpeedButtons, nullptr},
    };
    ThemeState themed(true);
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        TForm* form = MakeForm();
        form->SetColor(clWhite);
        form->Show();
        auto* control = static_cast<TWinControl*>(c.make(form));
        control->SetBounds(10, 10, 90, 40);
        control->SetCaption("押す");
        std::vector<COLORREF> classic = Pixels(control);

        TThemeManager* manager = Create<TThemeManager>(Application);
        if (c.option)
            manager->SetOptions(manager->Options() >> *c.option);
        manager->Loaded();
        if (c.looks)
            c.looks(Painted(control));
        else
            EXPECT_EQ(Pixels(control), classic);
        delete manager;
        EXPECT_EQ(Pixels(control), classic);
        FreeForm(form);
    }
}

COLORREF PixelAt(TWinControl* control, int x, int y)
{
    HDC dc = GetDC(control->Handle());
    COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(control->Handle(), dc);
    return pixel;
}

// The pixel at (x, y) of what the control draws for msg into a DC of its own.
COLORREF PaintedInto(TWinControl* control, UINT msg, int x, int y)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, control->Width(), control->Height());
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, control->Width(), control->Height()};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    control->Perform(msg, reinterpret_cast<WPARAM>(memory), msg == WM_PRINTCLIENT ? PRF_CLIENT : 0);
    COLORREF pixel = GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixel;
}

TEST_F(ThemeMgrFixture, ParentPaintedChildrenShowOnThemedHostsAndFollowTheirChanges)
{
    struct TCase
    {
        const char* name;
        std::function<TControl*(TCustomForm*)> host;
        UINT msg; // 0: on the screen
    };
    const TCase cases[] = {
        {"group box", Put<TGroupBox>, 0},
        {"group box into a given DC", Put<TGroupBox>, WM_PAINT},
        {"panel", Put<TPanel>, 0},
        {"panel into a given DC", Put<TPanel>, WM_PAINT},
        {"panel printing its client", Put<TPanel>, WM_PRINTCLIENT},
        {"frame", Put<TFrame>, 0},
        {"frame into a given DC", Put<TFrame>, WM_PAINT},
    };
    constexpr COLORREF red = RGB(255, 0, 0);
    constexpr COLORREF blue = RGB(0, 0, 255);
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ThemeState themed(true);
        TForm* form = MakeForm();
        form->Show();
        auto* host = static_cast<TWinControl*>(c.host(form));
        host->SetBounds(10, 10, 120, 80);
        auto* swatch = static_cast<TSwatch*>(Put<TSwatch>(host));
        swatch->SetBounds(30, 30, 40, 30);
        swatch->Repaint();
        ASSERT_EQ(PixelAt(host, 50, 45), red); // classic
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->Loaded();
        ASSERT_TRUE(ListedAnywhere(manager, host));
        if (c.msg)
        {
            EXPECT_EQ(PaintedInto(host, c.msg, 50, 45), red);
        }
        else
        {
            RedrawWindow(host->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            EXPECT_EQ(PixelAt(host, 50, 45), red);
            swatch->colour = blue;
            swatch->Repaint();
            EXPECT_EQ(PixelAt(host, 50, 45), blue);
        }
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, ThemedButtonsAndTrackBarsShowTheirParentsBackgroundAndKeepTheirOwnParts)
{
    struct TCase
    {
        const char* name;
        std::function<TControl*(TCustomForm*)> make;
        POINT background;             // where the control fills with its own colour when classic
        std::vector<POINT> own;       // parts the control draws itself in both cases
        bool captioned = false;       // shows its caption, over the parent's background
    };
    const TCase cases[] = {
        {"check box", Put<TCheckBox>, {120, 12}, {}, true},
        {"radio button", Put<TRadioButton>, {120, 12}, {}, true},
        {"static text", Put<TStaticText>, {120, 12}, {}, true},
        {"splitter", Put<TSplitter>, {1, 12}, {}},
        {"frame", Put<TFrame>, {120, 12}, {}},
        // Above the channel; the channel's edge and the thumb.
        {"track bar", Put<TTrackBar>, {120, 2}, {{120, 12}, {13, 8}}},
        {"check box on a group box",
         [](TCustomForm* form) {
             auto* box = static_cast<TWinControl*>(Put<TGroupBox>(form));
             box->SetBounds(5, 5, 200, 60);
             return Put<TCheckBox>(box);
         },
         {120, 12},
         {},
         true},
        {"check box on a panel",
         [](TCustomForm* form) {
             auto* panel = static_cast<TWinControl*>(Put<TPanel>(form));
             panel->SetBounds(5, 5, 200, 60);
             panel->SetColor(clWhite);
             return Put<TCheckBox>(panel);
         },
         {120, 12},
         {},
         true},
        {"form inside a panel",
         [](TCustomForm* form) {
             auto* panel = static_cast<TWinControl*>(Put<TPanel>(form));
             panel->SetBounds(5, 5, 200, 60);
             panel->SetColor(clWhite);
             auto* inner = static_cast<TForm*>(Put<TForm>(panel));
             inner->SetBorderStyle(bsNone);
             inner->Show();
             return inner;
         },
         {120, 12},
         {}},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<COLORREF> seen[2];
        TPainted themedLook;
        for (bool themed : {false, true})
        {
            ThemeState theme(themed);
            TForm* form = MakeForm();
            form->SetColor(clWhite);
            form->Show();
            auto* control = static_cast<TWinControl*>(c.make(form));
            control->SetBounds(10, 10, 150, 24);
            if (c.captioned)
                control->SetCaption("確認");
            TThemeManager* manager = Create<TThemeManager>(form);
            manager->Loaded();
            RedrawWindow(control->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            seen[themed].push_back(PixelAt(control, c.background.x, c.background.y));
            for (POINT own : c.own)
                seen[themed].push_back(PixelAt(control, own.x, own.y));
            if (themed)
                themedLook = Painted(control);
            delete manager;
            FreeForm(form);
        }
        EXPECT_EQ(seen[false][0], GetSysColor(COLOR_BTNFACE));
        EXPECT_EQ(seen[true][0], RGB(255, 255, 255));
        for (size_t i = 1; i < seen[false].size(); ++i)
        {
            EXPECT_NE(seen[false][i], GetSysColor(COLOR_BTNFACE)); // the point does hit the part
            EXPECT_EQ(seen[true][i], seen[false][i]);
        }
        if (c.captioned)
        {
            // The caption's text with nothing of the control's own colour behind it.
            const RECT beside{16, 0, themedLook.width, themedLook.height};
            EXPECT_GE(Find(themedLook, beside, IsInk).count, 10);
            EXPECT_EQ(Find(themedLook, beside, [](COLORREF p) { return p == GetSysColor(COLOR_BTNFACE); }).count, 0);
        }
    }
}

TEST_F(ThemeMgrFixture, RefusedControlsKeepTheirProcedure)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TPanel* refusing = Create<TRefusingPanel>(form);
    refusing->SetParent(form);
    TControl* vetoed = Put<TButton>(form);
    TControl* taken = Put<TButton>(form);
    TWndMethod refusingProc = refusing->WindowProc;
    TWndMethod vetoedProc = vetoed->WindowProc;

    struct TVeto
    {
        TControl* vetoed;
        void Allow(TThemeManager*, TControl* control, bool& allow) { allow = control != vetoed; }
    } veto;
    veto.vetoed = vetoed;
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->OnAllowSubclassing = TAllowSubclassingEvent(&veto, &TVeto::Allow);
    manager->Loaded();
    EXPECT_TRUE(refusing->WindowProc == refusingProc);
    EXPECT_TRUE(vetoed->WindowProc == vetoedProc);
    EXPECT_TRUE(Listed(manager, taken, skButtonControl));
}

TEST_F(ThemeMgrFixture, HandledMessagesNeverReachTheControl)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TControl* button = Put<TButton>(form);
    TRecorder recorder(button);
    struct THandler
    {
        UINT take;
        void Handle(TThemeManager*, TControl*, TMessage& message, bool& handled) { handled = message.Msg == take; }
    } byEvent{.take = WM_USER + 1}, byListener{.take = WM_USER + 2};
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->OnControlMessage = TControlMessageEvent(&byEvent, &THandler::Handle);
    manager->RegisterListener(TControlMessageEvent(&byListener, &THandler::Handle));
    manager->Loaded();
    for (UINT msg : {WM_USER + 1, WM_USER + 2, WM_USER + 3})
        button->Perform(msg, 0, 0);
    EXPECT_EQ(recorder.seen, std::vector<UINT>{WM_USER + 3});
    delete manager;
}

TEST_F(ThemeMgrFixture, ControlsAndFormsMadeLaterAreFollowedAndFreedOnesLeaveNoEntry)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->Loaded();

    // A control put on a form later, and taken off again.
    TButton* later = Create<TButton>(nullptr);
    TWndMethod own = later->WindowProc;
    later->SetParent(form);
    EXPECT_TRUE(Listed(manager, later, skButtonControl));
    later->SetParent(nullptr);
    EXPECT_FALSE(Listed(manager, later, skButtonControl));
    EXPECT_TRUE(later->WindowProc == own);
    delete later;

    // A form made later: collected by the hook once messages are handled.
    TForm* second = MakeForm();
    TControl* box = Put<TGroupBox>(second);
    Put<TButton>(static_cast<TWinControl*>(box));
    Application->ProcessMessages();
    EXPECT_TRUE(Listed(manager, second, skForm));
    EXPECT_TRUE(Listed(manager, box, skGroupBox));
    EXPECT_EQ(ListedCount(manager), 4); // the two forms, the box and its button

    // Freed forms and controls take their entries with them.
    second->Show();
    FreeForm(second);
    EXPECT_EQ(ListedCount(manager), 1);
    TPanel* panel = Create<TPanel>(nullptr);
    panel->SetParent(form);
    EXPECT_EQ(ListedCount(manager), 2);
    delete panel;
    EXPECT_EQ(ListedCount(manager), 1);
}

// A windowed control of a form's size: the memory of a freed form is likely to become one.
class TFormSized : public TWinControl
{
public:
    using TWinControl::TWinControl;
    char room[sizeof(TForm) - sizeof(TWinControl)] = {};
};

TEST_F(ThemeMgrFixture, FormsFreedBeforeTheHookCollectsThemAreNeverReached)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->Loaded();
    // Made and freed with no message handled in between, owned by nobody or by the application
    // (told of its removal only once it is no longer a form); their memory goes to other controls.
    std::vector<TControl*> boxes;
    for (int i = 0; i < 6; ++i)
    {
        TForm* gone = i % 2 ? Create<TForm>(Application) : Create<TForm>(nullptr);
        delete gone;
        boxes.push_back(Put<TGroupBox>(Create<TFormSized>(form)));
    }
    Application->ProcessMessages();
    EXPECT_EQ(ListedCount(manager), 1);
    for (TControl* box : boxes)
        EXPECT_FALSE(ListedAnywhere(manager, box));
}

TEST_F(ThemeMgrFixture, ARecreatedControlKeepsItsEntry)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* list = static_cast<TListBox*>(Put<TListBox>(form));
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->Loaded();
    list->Handle();
    EXPECT_TRUE(Listed(manager, list, skWinControl));
    list->SetStyle(lbOwnerDrawFixed);
    EXPECT_TRUE(Listed(manager, list, skWinControl));
    Application->ProcessMessages();
    EXPECT_TRUE(list->HandleAllocated());
    EXPECT_TRUE(Listed(manager, list, skWinControl));
}

TEST_F(ThemeMgrFixture, TheSecondManagerFollowsTheFirstAndTakesOverWhenItGoes)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TControl* button = Put<TButton>(form);
    TWndMethod own = button->WindowProc;
    TThemeManager* first = Create<TThemeManager>(Application);
    first->Loaded();
    TThemeManager* second = Create<TThemeManager>(Application);
    second->Loaded();
    EXPECT_TRUE(first->IsMainManager());
    EXPECT_EQ(ListedCount(second), 0);

    TThemeOptions fewer = TThemeOptions::FromInt(DefaultThemeOptions) >> toSubclassPanel;
    second->SetOptions(fewer);
    EXPECT_EQ(first->Options().ToInt() & ~7u, fewer.ToInt() & ~7u);

    delete first;
    EXPECT_EQ(TThemeManager::CurrentThemeManager(), second);
    EXPECT_TRUE(Listed(second, button, skButtonControl));
    delete second;
    EXPECT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
    EXPECT_TRUE(button->WindowProc == own);
}

TEST_F(ThemeMgrFixture, AStubLeftUnderALaterSubclassPassesEveryMessageOn)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    TControl* button = Put<TButton>(form);
    TRecorder inner(button);
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->Loaded();
    TRecorder outer(button); // over the manager's stub
    delete manager;          // the stub stays under the outer procedure
    button->Perform(WM_USER + 7, 0, 0);
    EXPECT_EQ(outer.seen, std::vector<UINT>{WM_USER + 7});
    EXPECT_EQ(inner.seen, std::vector<UINT>{WM_USER + 7});
    FreeForm(form); // while both procedures still exist
}

TEST_F(ThemeMgrFixture, ThemeChangeReachesTheManagerThroughTheApplicationWindow)
{
    ThemeState themed(true);
    struct TCounter
    {
        int count = 0;
        void Changed(TObject*) { ++count; }
    } counter;
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->OnThemeChange = TNotifyEvent(&counter, &TCounter::Changed);
    SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(counter.count, 1);
    ShutdownThemeManagers();
    SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
    EXPECT_EQ(counter.count, 1);
}

TEST_F(ThemeMgrFixture, ThemedPaintingDrawsIntoTheDCItIsGiven)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* box = static_cast<TGroupBox*>(Put<TGroupBox>(form));
    box->SetBounds(10, 10, 120, 80);
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    ValidateRect(box->Handle(), nullptr);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 80);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, 120, 80};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    box->Perform(WM_PAINT, reinterpret_cast<WPARAM>(memory), 0);
    int drawn = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            drawn += GetPixel(memory, x, y) != RGB(255, 255, 255);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(drawn, 0); // the frame went into the given DC, not onto the window
}

namespace
{
const COLORREF kImageColours[] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 200, 0)};

// count images of 12 x 12 side by side, each a 6 x 6 square of its own colour on fuchsia.
void Strip(TBitmap* glyph, int count)
{
    glyph->SetSize(12 * count, 12);
    TCanvas* c = glyph->Canvas();
    c->Brush()->SetColor(TColor(RGB(255, 0, 255)));
    c->FillRect(TRect(0, 0, 12 * count, 12));
    for (int i = 0; i < count; ++i)
    {
        c->Brush()->SetColor(TColor(kImageColours[i]));
        c->FillRect(TRect(12 * i + 3, 3, 12 * i + 9, 9));
    }
}
} // namespace

TEST_F(ThemeMgrFixture, ThemedGlyphButtonsShowTheImageOfTheirStateBesideTheirCaption)
{
    enum TSetUp
    {
        Up,
        Disabled,
        Pressed,
        Down,
        Flat
    };
    struct TCase
    {
        bool speed;
        int images;
        TSetUp setUp;
        int shown; // -1: the first image greyed, its shape in the shadow colour
    };
    const TCase cases[] = {
        {false, 1, Up, 0},      {false, 1, Disabled, -1}, {false, 2, Disabled, 1}, {false, 3, Pressed, 2},
        {false, 2, Pressed, 0}, {true, 1, Up, 0},         {true, 1, Disabled, -1}, {true, 2, Disabled, 1},
        {true, 3, Pressed, 2},  {true, 3, Down, 0},       {true, 4, Down, 3},      {true, 2, Flat, 0},
    };
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->SetColor(clWhite);
    form->Show();
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.speed ? "speed " : "bit ") << c.images << " images, set-up " << c.setUp);
        TGlyphButton* b = c.speed ? static_cast<TGlyphButton*>(Create<TSpeedButton>(form)) : Create<TBitBtn>(form);
        PlaceControl(form, b, nullptr, "押す", 10, 10, 100, 32);
        ASSERT_TRUE(ListedAnywhere(manager, b));
        Strip(b->Glyph(), c.images);
        b->SetNumGlyphs(c.images);
        b->SetEnabled(c.setUp != Disabled);
        if (c.setUp == Pressed)
            SendMessageW(b->Handle(), BM_SETSTATE, TRUE, 0);
        if (c.setUp == Down)
            static_cast<TSpeedButton*>(b)->SetDown(true);
        if (c.setUp == Flat)
            static_cast<TSpeedButton*>(b)->SetFlat(true);
        const TPainted painted = Painted(b);
        int counts[4] = {};
        int glyphRight = -1, inkLeft = INT_MAX;
        for (int y = 0; y < painted.height; ++y)
            for (int x = 0; x < painted.width; ++x)
            {
                const COLORREF p = painted.At(x, y);
                for (int i = 0; i < 4; ++i)
                    if (p == kImageColours[i])
                    {
                        ++counts[i];
                        glyphRight = std::max(glyphRight, x);
                    }
                if (GetRValue(p) < 80 && GetGValue(p) < 80 && GetBValue(p) < 80 && x > 8 && x < painted.width - 8)
                    inkLeft = std::min(inkLeft, x);
                if (c.setUp == Disabled && p == RGB(0, 0, 0))
                {
                    ADD_FAILURE() << "black caption on a disabled button";
                }
            }
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_EQ(counts[i], i == c.shown ? 36 : 0) << "image " << i;
        }
        if (c.shown == -1)
        {
            const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
            const TFound grey = Find(painted, {0, 0, painted.width, painted.height},
                                     [&](COLORREF p) { return p == shadow; });
            bool square = false; // the image's 6 by 6 square, all in shadow
            for (int y = grey.top; grey.count > 0 && y + 6 <= grey.bottom + 1 && !square; ++y)
                for (int x = grey.left; x + 6 <= grey.right + 1 && !square; ++x)
                    square = Find(painted, {x, y, x + 6, y + 6}, [&](COLORREF p) { return p == shadow; }).count == 36;
            EXPECT_TRUE(square);
        }
        if (c.setUp != Disabled)
        {
            EXPECT_LT(glyphRight, inkLeft); // the glyph, then the caption
        }
        delete b;
    }
}

TEST_F(ThemeMgrFixture, GlyphButtonsPlaceGlyphAndCaptionByLayoutMarginAndSpacingThemedOrNot)
{
    struct TCase
    {
        bool speed;
        TButtonLayout layout;
    };
    const TCase cases[] = {
        {false, blGlyphRight}, {true, blGlyphRight},  {false, blGlyphTop},
        {true, blGlyphTop},    {false, blGlyphBottom}, {true, blGlyphBottom},
    };
    constexpr int margin = 5, spacing = 6, glyph = 12, square = 3; // the image's square is 3 in
    for (bool themed : {false, true})
    {
        ThemeState theme(themed);
        TForm* form = MakeForm();
        form->SetColor(clWhite);
        form->Show();
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->Loaded();
        for (const TCase& c : cases)
        {
            SCOPED_TRACE(testing::Message() << (themed ? "themed " : "classic ") << (c.speed ? "speed" : "bit")
                                            << " button, layout " << c.layout);
            TGlyphButton* b = c.speed ? static_cast<TGlyphButton*>(Create<TSpeedButton>(form)) : Create<TBitBtn>(form);
            PlaceControl(form, b, nullptr, "押す", 10, 10, 120, 80);
            Strip(b->Glyph(), 1);
            b->SetLayout(c.layout);
            b->SetMargin(margin);
            b->SetSpacing(spacing);
            // The area they are placed in: the whole face, or themed the element's content.
            TRect area(0, 0, 120, 80);
            if (themed)
            {
                HDC dc = GetDC(b->Handle());
                area = ThemeServices()->ContentRect(dc, ThemeServices()->GetElementDetails(tbPushButtonNormal), area);
                ReleaseDC(b->Handle(), dc);
            }
            const TPainted painted = Painted(b);
            const TFound red = Find(painted, {0, 0, 120, 80}, [](COLORREF p) { return p == kImageColours[0]; });
            ASSERT_EQ(red.count, 36);
            const TFound ink = Find(painted, {area.Left + 2, area.Top + 2, area.Right - 2, area.Bottom - 2}, IsInk);
            ASSERT_GT(ink.count, 10);
            const int glyphLeft = red.left - square, glyphTop = red.top - square;
            switch (c.layout)
            {
            case blGlyphRight:
                EXPECT_EQ(glyphLeft, area.Right - margin - glyph);
                EXPECT_LT(ink.right, glyphLeft - spacing);
                EXPECT_GE(ink.right, glyphLeft - spacing - 4);
                break;
            case blGlyphTop:
                EXPECT_EQ(glyphTop, area.Top + margin);
                EXPECT_GE(ink.top, glyphTop + glyph + spacing);
                EXPECT_LE(ink.top, glyphTop + glyph + spacing + 4);
                break;
            case blGlyphBottom:
                EXPECT_EQ(glyphTop, area.Bottom - margin - glyph);
                EXPECT_LT(ink.bottom, glyphTop - spacing);
                EXPECT_GE(ink.bottom, glyphTop - spacing - 5);
                break;
            default: break;
            }
            delete b;
        }
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, ThemedButtonsRepaintAsTheMouseComesAndLeaves)
{
    struct TCase
    {
        const char* name;
        std::function<TControl*(TCustomForm*)> make;
        std::function<void(TControl*)> setUp;
        bool repainted;
    };
    auto none = [](TControl*) {};
    const TCase cases[] = {
        {"bitmap button", Put<TBitBtn>, none, true},
        {"speed button", Put<TSpeedButton>, none, true},
        {"disabled speed button", Put<TSpeedButton>, [](TControl* c) { c->SetEnabled(false); }, false},
        {"flat speed button", Put<TSpeedButton>, [](TControl* c) { static_cast<TSpeedButton*>(c)->SetFlat(true); },
         true},
        {"push button", Put<TButton>, none, false},
    };
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    for (const TCase& c : cases)
        for (UINT msg : {CM_MOUSEENTER, CM_MOUSELEAVE})
        {
            SCOPED_TRACE(testing::Message() << c.name << (msg == CM_MOUSEENTER ? " entered" : " left"));
            auto* control = static_cast<TWinControl*>(c.make(form));
            control->SetBounds(10, 10, 80, 30);
            c.setUp(control);
            ASSERT_TRUE(ListedAnywhere(manager, control));
            UpdateWindow(control->Handle());
            control->Perform(msg, 0, 0);
            EXPECT_EQ(GetUpdateRect(control->Handle(), nullptr, FALSE) != FALSE, c.repainted);
            delete control;
        }
}

TEST_F(ThemeMgrFixture, AThemedSpeedButtonThatIsDownShowsPressedAndAFlatOneAToolButton)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->SetColor(clWhite);
    form->Show();
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    auto* speed = static_cast<TSpeedButton*>(Put<TSpeedButton>(form));
    speed->SetBounds(10, 10, 60, 30);
    std::map<std::string, std::vector<COLORREF>> seen;
    seen["up"] = Painted(speed).pixels;
    speed->SetDown(true);
    seen["down"] = Painted(speed).pixels;
    speed->SetDown(false);
    SendMessageW(speed->Handle(), BM_SETSTATE, TRUE, 0);
    seen["pushed"] = Painted(speed).pixels;
    SendMessageW(speed->Handle(), BM_SETSTATE, FALSE, 0);
    speed->SetFlat(true);
    seen["flat"] = Painted(speed).pixels;
    speed->Perform(CM_MOUSEENTER, 0, 0);
    seen["flat, mouse in"] = Painted(speed).pixels;
    EXPECT_EQ(seen["down"], seen["pushed"]);
    EXPECT_NE(seen["down"], seen["up"]);
    EXPECT_NE(seen["flat"], seen["up"]);
    EXPECT_NE(seen["flat, mouse in"], seen["flat"]);
}

namespace
{
// Whether the header of a list view shows an image on column index.
bool ColumnHasImage(TListView* view, int index)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(view->Handle(), LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item));
    return (item.fmt & HDF_IMAGE) != 0;
}
} // namespace

TEST_F(ThemeMgrFixture, AListViewIsMadeAnewOnceAndItsColumnsWithoutAnImageShowNoneWhateverTheTheme)
{
    for (bool themed : {false, true})
    {
        SCOPED_TRACE(themed ? "themed" : "classic");
        ThemeState theme(themed);
        TForm* form = MakeForm();
        form->Show();
        auto* view = static_cast<TListView*>(Put<TListView>(form));
        view->AddColumn({"名前", 80, -1});
        HWND before = view->Handle();
        TRecorder notes(view, [](const TMessage& m) {
            return m.Msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(m.LParam)->code == UINT(HDN_GETDISPINFOW);
        });
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->Loaded();
        ASSERT_TRUE(Listed(manager, view, skListView));
        Application->ProcessMessages();
        EXPECT_NE(view->Handle(), before); // made anew, with its column
        HWND now = view->Handle();
        Application->ProcessMessages();
        EXPECT_EQ(view->Handle(), now); // once
        EXPECT_TRUE(Listed(manager, view, skListView));
        view->AddColumn({"行", 40, -1});
        view->AddColumn({"絵", 40, 0});
        EXPECT_FALSE(ColumnHasImage(view, 0));
        EXPECT_FALSE(ColumnHasImage(view, 1));
        EXPECT_TRUE(ColumnHasImage(view, 2));

        NMHDR note{view->Handle(), 0, UINT(HDN_GETDISPINFOW)};
        view->Perform(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&note));
        EXPECT_TRUE(notes.seen.empty());
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, ThemedCheckListBoxDrawsEachCheckAsTheThemesCheckBoxOfItsState)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* list = static_cast<TCheckListBox*>(Put<TCheckListBox>(form));
    list->SetBounds(10, 10, 200, 150);
    TRecorder drawn(list, [](const TMessage& m) { return m.Msg == CN_DRAWITEM; });
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();

    // Empty: nothing is drawn and the list's own drawing is not asked either.
    DRAWITEMSTRUCT none{};
    none.CtlType = ODT_LISTBOX;
    none.itemID = UINT(-1);
    none.hwndItem = list->Handle();
    none.hDC = GetDC(list->Handle());
    list->Perform(CN_DRAWITEM, 0, reinterpret_cast<LPARAM>(&none));
    ReleaseDC(list->Handle(), none.hDC);
    EXPECT_TRUE(drawn.seen.empty());

    struct TItem
    {
        const char* text;
        TCheckBoxState state;
        bool enabled;
        TThemedButton shown;
    };
    const TItem items[] = {
        {"一", cbUnchecked, true, tbCheckBoxUncheckedNormal},    {"二", cbChecked, true, tbCheckBoxCheckedNormal},
        {"三", cbGrayed, true, tbCheckBoxMixedNormal},           {"四", cbChecked, false, tbCheckBoxCheckedDisabled},
        {"五", cbUnchecked, false, tbCheckBoxUncheckedDisabled},
    };
    for (const TItem& item : items)
    {
        int i = list->Items()->Add(item.text);
        list->SetState(i, item.state);
        list->SetItemEnabled(i, item.enabled);
    }
    list->Items()->Add("見出し");
    list->SetHeader(5, true);
    list->SetHeaderBackgroundColor(clRed);
    drawn.seen.clear();
    const TPainted painted = Painted(list);
    EXPECT_TRUE(drawn.seen.empty()); // drawn by the manager alone

    const SIZE box = CheckBoxSize();
    for (int i = 0; i < 5; ++i)
    {
        SCOPED_TRACE(items[i].text);
        const TRect row = list->ItemRect(i);
        const int left = (list->CheckWidth() - box.cx) / 2, top = row.Top + (row.Height() - box.cy) / 2;
        // The theme's check box of the state, drawn by itself over what lies under it.
        TBitmap model;
        model.SetSize(box.cx, box.cy);
        HDC dc = model.Canvas()->Handle();
        HBRUSH under = CreateSolidBrush(painted.At(0, row.Top));
        RECT all{0, 0, box.cx, box.cy};
        FillRect(dc, &all, under);
        DeleteObject(under);
        ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(items[i].shown),
                                     TRect(0, 0, box.cx, box.cy));
        int differing = 0;
        for (int y = 0; y < box.cy; ++y)
            for (int x = 0; x < box.cx; ++x)
                differing += painted.At(left + x, top + y) != GetPixel(dc, x, y);
        EXPECT_EQ(differing, 0);
    }
    const TRect header = list->ItemRect(5);
    EXPECT_EQ(painted.At(1, header.Top + 1), RGB(255, 0, 0)); // no check: the header's colour from the edge
}

TEST_F(ThemeMgrFixture, ThemedAnimationErasesNothingAndAnswersItsColourQuestionWithTheSystemBrush)
{
    for (bool themed : {false, true})
    {
        SCOPED_TRACE(themed ? "themed" : "classic");
        ThemeState theme(themed);
        TForm* form = MakeForm();
        form->Show();
        auto* animate = static_cast<TAnimate*>(Put<TAnimate>(form));
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->SetOptions(manager->Options() << toSubclassAnimate);
        manager->Loaded();
        EXPECT_EQ(PaintedInto(animate, WM_ERASEBKGND, 5, 5) == RGB(255, 255, 255), themed);
        HDC dc = GetDC(animate->Handle());
        LRESULT brush = animate->Perform(CN_CTLCOLORSTATIC, WPARAM(dc), LPARAM(animate->Handle()));
        ReleaseDC(animate->Handle(), dc);
        EXPECT_EQ(brush, themed ? reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)) : 0);
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, AltOnAThemedControlRepaintsTheFormsStaticText)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* panel = static_cast<TWinControl*>(Put<TPanel>(form));
    auto* text = static_cast<TWinControl*>(Put<TStaticText>(panel));
    text->SetCaption("名前(&N)");
    auto* button = static_cast<TWinControl*>(Put<TButton>(form));
    TThemeManager* manager = Create<TThemeManager>(form);
    manager->Loaded();
    for (WPARAM key : {WPARAM('A'), WPARAM(VK_MENU)})
    {
        UpdateWindow(text->Handle());
        button->Perform(WM_SYSKEYDOWN, key, 0);
        EXPECT_EQ(GetUpdateRect(text->Handle(), nullptr, FALSE) != FALSE, key == VK_MENU) << key;
    }
}

TEST_F(ThemeMgrFixture, ThemedFormsGetTheirTabTextureAndTransparentLabelsAndToolBarsByTheirOptions)
{
    ThemeState themed(true);
    for (bool transparency : {true, false})
    {
        SCOPED_TRACE(transparency ? "with transparency" : "without");
        TForm* form = MakeForm();
        auto* panel = static_cast<TWinControl*>(Put<TPanel>(form));
        auto* label = static_cast<TLabel*>(Put<TLabel>(panel));
        auto* bar = static_cast<TToolBar*>(Put<TToolBar>(form));
        TThemeManager* manager = Create<TThemeManager>(Application);
        if (!transparency)
            manager->SetOptions(manager->Options() >> toSetTransparency);
        manager->Loaded();
        EXPECT_EQ(label->Transparent(), transparency);
        EXPECT_EQ(bar->Transparent(), transparency);
        EXPECT_TRUE(UxTheme::IsThemeDialogTextureEnabled(panel->Handle()));
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, ThemedControlsShowADoubleBufferedParentsBackground)
{
    struct TCase
    {
        const char* name;
        std::function<TControl*(TCustomForm*)> make;
    };
    const TCase cases[] = {{"frame", Put<TFrame>}, {"splitter", Put<TSplitter>}, {"check box", Put<TCheckBox>}};
    ThemeState themed(true);
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        TForm* form = MakeForm();
        form->Show();
        auto* parent = static_cast<TPanel*>(Put<TPanel>(form));
        parent->SetBounds(0, 0, 250, 150);
        parent->SetColor(clYellow);
        parent->SetBevelOuter(bvNone);
        parent->SetDoubleBuffered(true);
        auto* control = static_cast<TWinControl*>(c.make(form));
        control->SetParent(parent);
        control->SetBounds(10, 10, 100, 40);
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->Loaded();
        RedrawWindow(parent->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        EXPECT_EQ(PixelAt(control, control->Width() - 3, 3), RGB(255, 255, 0));
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, AThemedTabSheetShowsThePageControlsBodyOrByItsOptionTheThemesTabBody)
{
    struct TCase
    {
        const char* name;
        bool themed, alternate;
    };
    const TCase cases[] = {{"classic", false, false}, {"themed", true, false}, {"themed, tab body", true, true}};
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ThemeState theme(c.themed);
        TForm* form = MakeForm();
        form->Show();
        auto* pages = static_cast<TPageControl*>(Put<TPageControl>(form));
        pages->SetBounds(10, 10, 200, 120);
        TTabSheet* sheet = Create<TTabSheet>(form);
        sheet->SetPageControl(pages);
        sheet->SetCaption("頁");
        TThemeManager* manager = Create<TThemeManager>(form);
        if (c.alternate)
            manager->SetOptions(manager->Options() << toAlternateTabSheetDraw);
        manager->Loaded();
        const TPainted shown = Painted(sheet);
        const POINT middle{shown.width / 2, shown.height / 2};
        const COLORREF seen = shown.At(middle.x, middle.y);
        if (!c.themed)
        {
            EXPECT_EQ(seen, GetSysColor(COLOR_BTNFACE));
        }
        else if (!c.alternate)
        {
            POINT onPages = middle;
            MapWindowPoints(sheet->Handle(), pages->Handle(), &onPages, 1);
            EXPECT_EQ(seen, PaintedInto(pages, WM_PRINTCLIENT, onPages.x, onPages.y));
        }
        else
        {
            const TPainted body = Model(shown.width, shown.height, RGB(255, 0, 255), [&](HDC dc) {
                ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(ttBody),
                                             TRect(0, 0, shown.width, shown.height));
            });
            EXPECT_EQ(seen, body.At(middle.x, middle.y));
        }
        if (c.themed)
        {
            EXPECT_NE(seen, GetSysColor(COLOR_BTNFACE));
        }
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, ChangingTheOptionsMakesListViewsAnew)
{
    ThemeState themed(true);
    TForm* form = MakeForm();
    form->Show();
    auto* view = static_cast<TListView*>(Put<TListView>(form));
    TThemeManager* manager = Create<TThemeManager>(Application);
    manager->Loaded();
    Application->ProcessMessages();
    HWND before = view->Handle();
    manager->SetOptions(manager->Options() >> toSubclassPanel);
    Application->ProcessMessages();
    EXPECT_NE(view->Handle(), before);
    EXPECT_TRUE(Listed(manager, view, skListView));
}

TEST_F(ThemeMgrFixture, AThemedPanelWithASingleBorderAndAnEditDrawTheirBordersInTheTheme)
{
    struct TCase
    {
        const char* name;
        std::function<TWinControl*(TCustomForm*)> make;
        std::function<void(HDC, const TRect&)> theme; // the border as the theme draws it
    };
    const TCase cases[] = {
        {"panel",
         [](TCustomForm* form) {
             auto* panel = static_cast<TPanel*>(Put<TPanel>(form));
             panel->SetBorderStyle(bsSingle);
             return panel;
         },
         [](HDC dc, const TRect& r) {
             ThemeServices()->DrawEdge(dc, ThemeServices()->GetElementDetails(trRebarRoot), r, EDGE_SUNKEN, BF_RECT);
         }},
        {"edit", [](TCustomForm* form) { return static_cast<TWinControl*>(Put<TEdit>(form)); },
         [](HDC dc, const TRect& r) {
             ThemeServices()->DrawElement(dc, ThemeServices()->GetElementDetails(teEditTextNormal), r);
         }},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        TPainted shown[2], model;
        for (bool themed : {false, true})
        {
            ThemeState theme(themed);
            TForm* form = MakeForm();
            form->Show();
            TWinControl* control = c.make(form);
            control->SetBounds(10, 10, 120, 60);
            TThemeManager* manager = Create<TThemeManager>(form);
            manager->Loaded();
            shown[themed] = Painted(control, true);
            if (themed)
                model = Model(120, 60, RGB(255, 0, 255), [&](HDC dc) { c.theme(dc, TRect(0, 0, 120, 60)); });
            delete manager;
            FreeForm(form);
        }
        EXPECT_NE(DifferingRows(shown[true], shown[false], 0, 2), 0);
        EXPECT_EQ(DifferingRows(shown[true], model, 0, 2), 0); // the top edge
        EXPECT_EQ(DifferingRows(shown[true], model, 58, 60), 0); // and the bottom one
    }
}

TEST_F(ThemeMgrFixture, APanelsCaptionSitsLeftRightOrCentredClassicOrThemed)
{
    for (bool themed : {false, true})
        for (TAlignment alignment : {taLeftJustify, taRightJustify, taCenter})
        {
            SCOPED_TRACE(std::to_string(themed) + " " + std::to_string(int(alignment)));
            ThemeState theme(themed);
            TForm* form = MakeForm();
            form->Show();
            auto* panel = static_cast<TPanel*>(Put<TPanel>(form));
            panel->SetBounds(10, 10, 200, 40);
            if (!themed)
                panel->SetColor(clWhite); // a colour of its own keeps it classic
            panel->SetCaption("WWW");
            panel->SetAlignment(alignment);
            TThemeManager* manager = Create<TThemeManager>(form);
            manager->Loaded();
            const TPainted painted = Painted(panel);
            int first = INT_MAX, last = -1; // the columns of the caption's dark ink
            for (int y = 0; y < painted.height; ++y)
                for (int x = 0; x < painted.width; ++x)
                    if (const COLORREF c = painted.At(x, y); GetRValue(c) + GetGValue(c) + GetBValue(c) < 300)
                        first = std::min(first, x), last = std::max(last, x);
            const int left = first - 1, right = painted.width - 2 - last; // to the bevels
            const int off = alignment == taLeftJustify ? left : alignment == taRightJustify ? right : left - right;
            EXPECT_LE(std::abs(off), 3);
            delete manager;
            FreeForm(form);
        }
}

TEST_F(ThemeMgrFixture, ATabSheetsBorderShowsThePageControlsBodyThemedAndItsOwnColourClassic)
{
    const int border = 6;
    for (bool themed : {false, true})
    {
        SCOPED_TRACE(themed);
        ThemeState theme(themed);
        TForm* form = MakeForm();
        form->Show();
        auto* pages = static_cast<TPageControl*>(Put<TPageControl>(form));
        pages->SetBounds(10, 10, 250, 150);
        TTabSheet* sheet = Create<TTabSheet>(form);
        sheet->SetPageControl(pages);
        pages->SetActivePage(sheet);
        auto* inside = static_cast<TPanel*>(Put<TPanel>(sheet));
        inside->SetAlign(alClient);
        TThemeManager* manager = Create<TThemeManager>(form);
        manager->Loaded();
        sheet->SetBorderWidth(border);
        EXPECT_EQ(inside->Width(), sheet->Width() - 2 * border);
        const COLORREF body = Painted(pages).At(sheet->Left() - 1, sheet->Top() + 30);
        HDC dc = GetWindowDC(sheet->Handle()); // whatever the border held is painted over
        RECT all{0, 0, sheet->Width(), sheet->Height()};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ReleaseDC(sheet->Handle(), dc);
        const TPainted painted = Painted(sheet, true);
        const int w = painted.width, h = painted.height;
        const COLORREF expected = themed ? body : COLORREF(ColorToRGB(sheet->Color()));
        for (POINT p : {POINT{0, 0}, POINT{border - 1, h / 2}, POINT{w - border, h / 2}, POINT{w - 1, h - 1}})
            EXPECT_EQ(painted.At(p.x, p.y), expected) << p.x << "," << p.y;
        EXPECT_EQ(painted.At(border, border), RGB(0, 0, 0)); // the client area is not the border's
        delete manager;
        FreeForm(form);
    }
}

TEST_F(ThemeMgrFixture, TabAndAltThroughTheMessageLoopShowTheFormsFocusAndAccessKeyCues)
{
    ThemeState themed(true);
    for (auto make : {Put<TButton>, Put<TEdit>})
        for (bool tab : {true, false})
        {
            SCOPED_TRACE(tab ? "Tab" : "Alt");
            TForm* form = MakeForm();
            form->Show();
            auto* first = static_cast<TWinControl*>(make(form));
            auto* second = static_cast<TWinControl*>(Put<TButton>(form));
            second->SetTop(50);
            first->SetTabStop(true);
            second->SetTabStop(true);
            TThemeManager* manager = Create<TThemeManager>(form);
            manager->Loaded();
            first->SetFocus();
            std::vector<WPARAM> changes;
            {
                TRecorder recorder(form, [&changes](const TMessage& m) {
                    if (m.Msg == WM_CHANGEUISTATE)
                        changes.push_back(m.WParam);
                    return false;
                });
                PostMessageW(GetFocus(), tab ? WM_KEYDOWN : WM_SYSKEYDOWN, tab ? VK_TAB : VK_MENU,
                             tab ? 1 : 0x20000001);
                Application->ProcessMessages();
            }
            EXPECT_EQ(changes, std::vector<WPARAM>{MAKEWPARAM(UIS_CLEAR, tab ? UISF_HIDEFOCUS : UISF_HIDEACCEL)});
            EXPECT_EQ(second->Focused(), tab); // the form took Tab as its dialog key
            delete manager;
            FreeForm(form);
        }
}

// A press on a button, then a release off it (no click) and a press and release on it (a click).
TEST_F(ThemeMgrFixture, ResettingTheMouseCaptureLeavesItOnlyToDropDownToolButtons)
{
    for (bool reset : {true, false})
        for (TToolButtonStyle style : {tbsButton, tbsCheck, tbsDropDown})
        {
            SCOPED_TRACE(std::to_string(reset) + " " + std::to_string(int(style)));
            TForm* form = MakeForm();
            form->Show();
            auto* bar = static_cast<TToolBar*>(Put<TToolBar>(form));
            struct TClicks : TObject
            {
                int count = 0;
                void Click(TObject*) { ++count; }
            } clicks;
            for (TToolButtonStyle each : {style, tbsButton})
            {
                auto* button = Create<TToolButton>(form);
                button->SetCaption("保存");
                button->SetStyle(each);
                button->OnClick = TNotifyEvent(&clicks, &TClicks::Click);
                button->SetParent(bar);
            }
            TThemeManager* manager = Create<TThemeManager>(form);
            if (!reset)
                manager->SetOptions(manager->Options() >> toResetMouseCapture);
            manager->Loaded();
            RECT r{}, other{};
            SendMessageW(bar->Handle(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
            SendMessageW(bar->Handle(), TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&other));
            const LPARAM on = MAKELPARAM(r.left + 4, r.top + 4), off = MAKELPARAM(other.left + 4, other.top + 4);
            SendMessageW(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, on);
            EXPECT_EQ(GetCapture() == bar->Handle(), !reset || style == tbsDropDown);
            SendMessageW(bar->Handle(), WM_MOUSEMOVE, MK_LBUTTON, off);
            SendMessageW(bar->Handle(), WM_LBUTTONUP, 0, off);
            EXPECT_EQ(clicks.count, 0);
            SendMessageW(bar->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, on);
            SendMessageW(bar->Handle(), WM_LBUTTONUP, 0, on);
            EXPECT_EQ(clicks.count, 1);
            if (reset) // the system's bar under Wine also checks a check button released off it
            {
                EXPECT_EQ(bar->Buttons(0)->Down(), style == tbsCheck);
            }
            delete manager;
            FreeForm(form);
        }
}
