#include <gtest/gtest.h>

#include <windows.h>

#include <vssym32.h>

#include <vector>

#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "tests/themes/TestThemes.h"
#include "themes/ThemeSrv.h"

namespace
{

constexpr DWORD ComCtl610 = 0x6000A;
constexpr DWORD AllowAll = STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS | STAP_ALLOW_WEBCONTENT;

// Keeps the library loaded and the application properties as they were.
class ThemeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitThemeLibrary());
        properties_ = UxTheme::GetThemeAppProperties();
        // Wine's default "light" style; without an active theme nothing here could
        // be themed.
        ASSERT_TRUE(UseThemes());
    }
    void TearDown() override
    {
        if (UxTheme::SetThemeAppProperties)
            UxTheme::SetThemeAppProperties(properties_);
        for (HWND window : windows_)
            if (IsWindow(window))
                DestroyWindow(window);
        FreeThemeLibrary();
    }
    HWND MakeWindow()
    {
        HWND window = CreateWindowExW(0, L"STATIC", L"before", WS_POPUP, 0, 0, 80, 40, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        windows_.push_back(window);
        return window;
    }
    static std::wstring TextOf(HWND window)
    {
        wchar_t text[64] = {};
        GetWindowTextW(window, text, 64);
        return text;
    }

private:
    DWORD properties_ = 0;
    std::vector<HWND> windows_;
};

// A later subclass over the services' procedure.
WNDPROC below = nullptr;
int seen = 0;
LRESULT CALLBACK above(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    ++seen;
    return CallWindowProcW(below, w, m, wp, lp);
}

class EventCounter : public TObject
{
public:
    void Changed(TObject*) { ++count; }
    int count = 0;
};

} // namespace

TEST_F(ThemeFixture, ThemesEnabledNeedsCommonControlsSixAndControlsAllowed)
{
    struct TCase
    {
        DWORD comctl;
        DWORD properties;
        bool enabled;
    };
    const TCase cases[] = {
        {ComCtl581, AllowAll, false},
        {ComCtl600, AllowAll, true},
        {ComCtl610, STAP_ALLOW_CONTROLS, true},
        {ComCtl600, STAP_ALLOW_NONCLIENT | STAP_ALLOW_WEBCONTENT, false},
        {ComCtl600, 0, false},
        {ComCtl581, 0, false},
    };
    for (const TCase& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << "comctl " << c.comctl << " properties " << c.properties);
        TComCtlVersion version(c.comctl);
        UxTheme::SetThemeAppProperties(c.properties);
        TThemeServices services(nullptr);
        EXPECT_TRUE(services.ThemesAvailable());
        EXPECT_EQ(services.ThemesEnabled(), c.enabled);
        if (c.comctl < ComCtl600)
        {
            EXPECT_EQ(services.GetTheme(teButton), nullptr);
        }
        if (c.enabled)
        {
            EXPECT_NE(services.GetTheme(teButton), nullptr);
        }
    }
}

TEST_F(ThemeFixture, ThemeChangeOnTheWindowRereadsTheRuleAndTellsTheListener)
{
    UxTheme::SetThemeAppProperties(AllowAll);
    TComCtlVersion version(ComCtl581);
    HWND window = MakeWindow();
    TThemeServices services(window);
    EventCounter counter;
    services.OnThemeChange = TNotifyEvent(&counter, &EventCounter::Changed);
    EXPECT_FALSE(services.ThemesEnabled());

    version.Set(ComCtl600);
    SendMessageW(window, WM_THEMECHANGED, 0, 0);
    EXPECT_TRUE(services.ThemesEnabled());
    EXPECT_NE(services.GetTheme(teEdit), nullptr);
    EXPECT_EQ(counter.count, 1);

    version.Set(ComCtl581);
    SendMessageW(window, WM_THEMECHANGED, 0, 0);
    EXPECT_FALSE(services.ThemesEnabled());
    EXPECT_EQ(services.GetTheme(teEdit), nullptr);
    EXPECT_EQ(counter.count, 2);
    // Every other message still reaches the window's own procedure.
    SetWindowTextW(window, L"after");
    EXPECT_EQ(TextOf(window), L"after");
}

TEST_F(ThemeFixture, WindowProcedureIsPutBackExactly)
{
    HWND window = MakeWindow();
    LONG_PTR original = GetWindowLongPtrW(window, GWLP_WNDPROC);
    {
        TThemeServices first(window);
        LONG_PTR hooked = GetWindowLongPtrW(window, GWLP_WNDPROC);
        EXPECT_NE(hooked, original);
        {
            // A second follower of the same window leaves the first in place.
            TThemeServices second(window);
            EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), hooked);
        }
        EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), hooked);
    }
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), original);

    // Subclassed again after us: freeing the services must not cut that subclass
    // off, and messages still pass through to the window's own procedure.
    auto* services = new TThemeServices(window);
    below = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    seen = 0;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(above));
    delete services;
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(above));
    SetWindowTextW(window, L"passed on");
    EXPECT_EQ(TextOf(window), L"passed on");
    EXPECT_GT(seen, 0);

    // A window destroyed under the services: they let go of it on the way.
    HWND other = MakeWindow();
    TThemeServices follower(other);
    DestroyWindow(other);
    EXPECT_EQ(GetPropW(other, L"VnThemeServices"), nullptr);
}

TEST(ThemeServices, ElementDetailsFollowTheSchemaForEveryElement)
{
    TThemeServices services(nullptr);
    struct TCase
    {
        TThemedElementDetails details;
        TThemedElement element;
        int part;
        int state;
    };
    // For each element: the root, the first part, a later part and the last
    // value.
    const TCase cases[] = {
        {services.GetElementDetails(tbButtonDontCare), teButton, 0, 1},
        {services.GetElementDetails(tbButtonRoot), teButton, 0, 2},
        {services.GetElementDetails(tbPushButtonHot), teButton, BP_PUSHBUTTON, PBS_HOT},
        {services.GetElementDetails(tbCheckBoxMixedDisabled), teButton, BP_CHECKBOX, CBS_MIXEDDISABLED},
        {services.GetElementDetails(tbGroupBoxDisabled), teButton, BP_GROUPBOX, GBS_DISABLED},
        {services.GetElementDetails(tbUserButton), teButton, BP_USERBUTTON, 1},
        {services.GetElementDetails(tcClockRoot), teClock, 0, 2},
        {services.GetElementDetails(tcTimeNormal), teClock, CLP_TIME, CLS_NORMAL},
        {services.GetElementDetails(tcbComboBoxRoot), teComboBox, 0, 2},
        {services.GetElementDetails(tcbDropDownButtonDisabled), teComboBox, CP_DROPDOWNBUTTON, CBXS_DISABLED},
        {services.GetElementDetails(teEditRoot), teEdit, 0, 2},
        {services.GetElementDetails(teEditTextAssist), teEdit, EP_EDITTEXT, ETS_ASSIST},
        {services.GetElementDetails(teCaret), teEdit, EP_CARET, 1},
        {services.GetElementDetails(tebExplorerBarRoot), teExplorerBar, 0, 2},
        {services.GetElementDetails(tebHeaderPinSelectedPressed), teExplorerBar, EBP_HEADERPIN,
         EBHP_SELECTEDPRESSED},
        {services.GetElementDetails(tebSpecialGroupHead), teExplorerBar, EBP_SPECIALGROUPHEAD, 1},
        {services.GetElementDetails(thHeaderRoot), teHeader, 0, 2},
        {services.GetElementDetails(thHeaderSortArrowSortedDown), teHeader, HP_HEADERSORTARROW, HSAS_SORTEDDOWN},
        {services.GetElementDetails(tlvListviewRoot), teListView, 0, 2},
        {services.GetElementDetails(tlvListItemSelectedNotFocus), teListView, LVP_LISTITEM, LISS_SELECTEDNOTFOCUS},
        {services.GetElementDetails(tlvEmptyText), teListView, LVP_EMPTYTEXT, 1},
        {services.GetElementDetails(tmMenuRoot), teMenu, 0, 2},
        {services.GetElementDetails(tmMenuItemNormal), teMenu, MENU_MENUITEM_TMSCHEMA, 1},
        {services.GetElementDetails(tmSeparatorDemoted), teMenu, MENU_SEPARATOR_TMSCHEMA, 3},
        {services.GetElementDetails(tpPageRoot), tePage, 0, 2},
        {services.GetElementDetails(tpDownHorzDisabled), tePage, PGRP_DOWNHORZ, DNHZS_DISABLED},
        {services.GetElementDetails(tprProgressRoot), teProgress, 0, 2},
        {services.GetElementDetails(tprChunkVert), teProgress, PP_CHUNKVERT, 1},
        {services.GetElementDetails(trRebarRoot), teRebar, 0, 2},
        {services.GetElementDetails(trChevronPressed), teRebar, RP_CHEVRON, CHEVS_PRESSED},
        {services.GetElementDetails(trChevronVert), teRebar, RP_CHEVRONVERT, 1},
        {services.GetElementDetails(tsbScrollBarRoot), teScrollBar, 0, 2},
        {services.GetElementDetails(tsbArrowBtnRightDisabled), teScrollBar, SBP_ARROWBTN, ABS_RIGHTDISABLED},
        {services.GetElementDetails(tsbSizeBoxLeftAlign), teScrollBar, SBP_SIZEBOX, SZB_LEFTALIGN},
        {services.GetElementDetails(tsSpinRoot), teSpin, 0, 2},
        {services.GetElementDetails(tsDownHorzDisabled), teSpin, SPNP_DOWNHORZ, DNHZS_DISABLED},
        {services.GetElementDetails(tspStartPanelRoot), teStartPanel, 0, 2},
        {services.GetElementDetails(tspLogOffButtonsPressed), teStartPanel, SPP_LOGOFFBUTTONS, SPLS_PRESSED},
        {services.GetElementDetails(tspPreview), teStartPanel, SPP_PREVIEW, 1},
        {services.GetElementDetails(tstStatusRoot), teStatus, 0, 2},
        {services.GetElementDetails(tstPane), teStatus, SP_PANE, 1},
        {services.GetElementDetails(tstGripper), teStatus, SP_GRIPPER, 1},
        {services.GetElementDetails(ttTabRoot), teTab, 0, 2},
        {services.GetElementDetails(ttTopTabItemBothEdgeFocused), teTab, TABP_TOPTABITEMBOTHEDGE, TTIBES_FOCUSED},
        {services.GetElementDetails(ttBody), teTab, TABP_BODY, 1},
        {services.GetElementDetails(ttdTaskBandRoot), teTaskBand, 0, 2},
        {services.GetElementDetails(ttdFlashButtonGroupMenu), teTaskBand, TDP_FLASHBUTTONGROUPMENU, 1},
        {services.GetElementDetails(ttkTaskBarRoot), teTaskBar, 0, 2},
        {services.GetElementDetails(ttkSizingBarLeft), teTaskBar, TBP_SIZINGBARLEFT, 1},
        {services.GetElementDetails(ttbToolBarRoot), teToolBar, 0, 2},
        {services.GetElementDetails(ttbButtonNormal), teToolBar, TP_BUTTON, TS_NORMAL},
        {services.GetElementDetails(ttbSeparatorVertHotChecked), teToolBar, TP_SEPARATORVERT, TS_HOTCHECKED},
        {services.GetElementDetails(tttToolTipRoot), teToolTip, 0, 2},
        {services.GetElementDetails(tttStandardLink), teToolTip, TTP_STANDARD, TTSS_LINK},
        {services.GetElementDetails(tttClosePressed), teToolTip, TTP_CLOSE, TTCS_PRESSED},
        {services.GetElementDetails(ttrTrackBarRoot), teTrackBar, 0, 2},
        {services.GetElementDetails(ttrThumbRightDisabled), teTrackBar, TKP_THUMBRIGHT, TUVRS_DISABLED},
        {services.GetElementDetails(ttrTicsVertNormal), teTrackBar, TKP_TICSVERT, 1},
        {services.GetElementDetails(ttnTrayNotifyRoot), teTrayNotify, 0, 2},
        {services.GetElementDetails(ttnAnimBackground), teTrayNotify, TNP_ANIMBACKGROUND, 1},
        {services.GetElementDetails(ttvTreeviewRoot), teTreeview, 0, 2},
        {services.GetElementDetails(ttvGlyphOpened), teTreeview, TVP_GLYPH, GLPS_OPENED},
        {services.GetElementDetails(ttvBranch), teTreeview, TVP_BRANCH, 1},
        {services.GetElementDetails(twWindowRoot), teWindow, 0, 2},
        {services.GetElementDetails(twCaptionDisabled), teWindow, WP_CAPTION, CS_DISABLED},
        {services.GetElementDetails(twSmallFrameBottomInactive), teWindow, WP_SMALLFRAMEBOTTOM, FS_INACTIVE},
        {services.GetElementDetails(twMdiHelpButtonDisabled), teWindow, WP_MDIHELPBUTTON, HBS_DISABLED},
        {services.GetElementDetails(twDialog), teWindow, WP_DIALOG, 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
    {
        const TCase& c = cases[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        EXPECT_EQ(c.details.Element, c.element);
        EXPECT_EQ(c.details.Part, c.part);
        EXPECT_EQ(c.details.State, c.state);
    }
}

namespace
{

// A 32-bit bitmap in a memory DC, filled white.
struct TProbe
{
    static constexpr int W = 60, H = 30;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    TProbe()
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = W;
        info.bmiHeader.biHeight = -H;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        old = SelectObject(dc, bitmap);
        RECT all{0, 0, W, H};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~TProbe()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<DWORD> Pixels()
    {
        GdiFlush();
        auto* p = static_cast<DWORD*>(bits);
        return std::vector<DWORD>(p, p + W * H);
    }
};

} // namespace

TEST_F(ThemeFixture, ThemedPushButtonIsNotTheClassicOne)
{
    UxTheme::SetThemeAppProperties(AllowAll);
    TComCtlVersion version(ComCtl600);
    HWND window = MakeWindow();
    TThemeServices services(window);
    ASSERT_TRUE(services.ThemesEnabled());
    TThemedElementDetails button = services.GetElementDetails(tbPushButtonNormal);
    const TRect bounds(0, 0, TProbe::W, TProbe::H);

    TProbe blank;
    TProbe classic;
    RECT r{0, 0, TProbe::W, TProbe::H};
    DrawFrameControl(classic.dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
    TProbe themed;
    services.DrawElement(themed.dc, button, bounds);

    EXPECT_NE(themed.Pixels(), blank.Pixels());
    EXPECT_NE(themed.Pixels(), classic.Pixels());
    TRect content = services.ContentRect(themed.dc, button, bounds);
    EXPECT_GT(content.Left, bounds.Left);
    EXPECT_LT(content.Right, bounds.Right);

    // System colours come from the theme as plain RGB; plain colours pass
    // unchanged.
    EXPECT_EQ(unsigned(services.ColorToRGB(clBtnFace, &button)) & 0xFF000000u, 0u);
    EXPECT_EQ(services.ColorToRGB(0x123456, &button), 0x123456);
}

TEST_F(ThemeFixture, PaintBorderFramesTheWindowAndLeavesTheClientArea)
{
    UxTheme::SetThemeAppProperties(AllowAll);
    TComCtlVersion version(ComCtl600);
    TThemeServices services(nullptr);
    ASSERT_TRUE(services.ThemesEnabled());
    TForm* form = Create<TForm>(nullptr);
    form->SetBounds(40, 40, 220, 140);
    auto* edit = Create<TEdit>(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 120, 60);
    form->Show();
    HWND window = edit->Handle();
    SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_HSCROLL | WS_VSCROLL);
    RECT bounds{};
    GetWindowRect(window, &bounds);
    const int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
    const COLORREF marker = RGB(255, 0, 255);
    const POINT corner{w - 3, h - 3}; // inside the square where the two scroll bars would meet

    for (bool eraseCorner : {false, true})
    {
        SCOPED_TRACE(eraseCorner ? "corner erased" : "corner kept");
        HDC dc = GetWindowDC(window);
        RECT all{0, 0, w, h};
        HBRUSH brush = CreateSolidBrush(marker);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        services.PaintBorder(edit, eraseCorner);
        EXPECT_NE(GetPixel(dc, 0, 0), marker);
        EXPECT_NE(GetPixel(dc, w - 2, h / 2), marker);
        EXPECT_EQ(GetPixel(dc, 2, 2), marker);
        EXPECT_EQ(GetPixel(dc, w / 2, h / 2), marker);
        EXPECT_EQ(GetPixel(dc, corner.x, corner.y), eraseCorner ? GetSysColor(COLOR_BTNFACE) : marker);
        ReleaseDC(window, dc);
    }
    delete form;
}
