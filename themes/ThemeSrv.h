// Process-wide access to the platform's visual styles: whether themed painting
// is possible, one theme handle per kind of element opened on demand and closed
// when the desktop theme changes, and drawing of an element's part in a given
// state.
#pragma once

#include <string>

#include "platform/Controls.h"
#include "platform/Graphics.h"
#include "platform/System.h"
#include "themes/UxTheme.h"

// Our members, not the A/W macros of the same names.
#undef DrawText

enum TThemedElement
{
    teButton,
    teClock,
    teComboBox,
    teEdit,
    teExplorerBar,
    teHeader,
    teListView,
    teMenu,
    tePage,
    teProgress,
    teRebar,
    teScrollBar,
    teSpin,
    teStartPanel,
    teStatus,
    teTab,
    teTaskBand,
    teTaskBar,
    teToolBar,
    teToolTip,
    teTrackBar,
    teTrayNotify,
    teTreeview,
    teWindow
};
constexpr int ThemedElementCount = teWindow + 1;

// Each element's parts and their states in the order of the visual-style
// schema: a don't-care and a root value, then one run per part listing its
// states (a part without states has one value).
enum TThemedButton
{
    tbButtonDontCare,
    tbButtonRoot,
    tbPushButtonNormal,
    tbPushButtonHot,
    tbPushButtonPressed,
    tbPushButtonDisabled,
    tbPushButtonDefaulted,
    tbRadioButtonUncheckedNormal,
    tbRadioButtonUncheckedHot,
    tbRadioButtonUncheckedPressed,
    tbRadioButtonUncheckedDisabled,
    tbRadioButtonCheckedNormal,
    tbRadioButtonCheckedHot,
    tbRadioButtonCheckedPressed,
    tbRadioButtonCheckedDisabled,
    tbCheckBoxUncheckedNormal,
    tbCheckBoxUncheckedHot,
    tbCheckBoxUncheckedPressed,
    tbCheckBoxUncheckedDisabled,
    tbCheckBoxCheckedNormal,
    tbCheckBoxCheckedHot,
    tbCheckBoxCheckedPressed,
    tbCheckBoxCheckedDisabled,
    tbCheckBoxMixedNormal,
    tbCheckBoxMixedHot,
    tbCheckBoxMixedPressed,
    tbCheckBoxMixedDisabled,
    tbGroupBoxNormal,
    tbGroupBoxDisabled,
    tbUserButton
};

enum TThemedClock
{
    tcClockDontCare,
    tcClockRoot,
    tcTimeNormal
};

enum TThemedComboBox
{
    tcbComboBoxDontCare,
    tcbComboBoxRoot,
    tcbDropDownButtonNormal,
    tcbDropDownButtonHot,
    tcbDropDownButtonPressed,
    tcbDropDownButtonDisabled
};

enum TThemedEdit
{
    teEditDontCare,
    teEditRoot,
    teEditTextNormal,
    teEditTextHot,
    teEditTextSelected,
    teEditTextDisabled,
    teEditTextFocused,
    teEditTextReadOnly,
    teEditTextAssist,
    teCaret
};

enum TThemedExplorerBar
{
    tebExplorerBarDontCare,
    tebExplorerBarRoot,
    tebHeaderBackground,
    tebHeaderCloseNormal,
    tebHeaderCloseHot,
    tebHeaderClosePressed,
    tebHeaderPinNormal,
    tebHeaderPinHot,
    tebHeaderPinPressed,
    tebHeaderPinSelectedNormal,
    tebHeaderPinSelectedHot,
    tebHeaderPinSelectedPressed,
    tebIEBarMenuNormal,
    tebIEBarMenuHot,
    tebIEBarMenuPressed,
    tebNormalGroupBackground,
    tebNormalGroupCollapseNormal,
    tebNormalGroupCollapseHot,
    tebNormalGroupCollapsePressed,
    tebNormalGroupExpandNormal,
    tebNormalGroupExpandHot,
    tebNormalGroupExpandPressed,
    tebNormalGroupHead,
    tebSpecialGroupBackground,
    tebSpecialGroupCollapseNormal,
    tebSpecialGroupCollapseHot,
    tebSpecialGroupCollapsePressed,
    tebSpecialGroupExpandNormal,
    tebSpecialGroupExpandHot,
    tebSpecialGroupExpandPressed,
    tebSpecialGroupHead
};

enum TThemedHeader
{
    thHeaderDontCare,
    thHeaderRoot,
    thHeaderItemNormal,
    thHeaderItemHot,
    thHeaderItemPressed,
    thHeaderItemLeftNormal,
    thHeaderItemLeftHot,
    thHeaderItemLeftPressed,
    thHeaderItemRightNormal,
    thHeaderItemRightHot,
    thHeaderItemRightPressed,
    thHeaderSortArrowSortedUp,
    thHeaderSortArrowSortedDown
};

enum TThemedListview
{
    tlvListviewDontCare,
    tlvListviewRoot,
    tlvListItemNormal,
    tlvListItemHot,
    tlvListItemSelected,
    tlvListItemDisabled,
    tlvListItemSelectedNotFocus,
    tlvListGroup,
    tlvListDetail,
    tlvListSortedDetail,
    tlvEmptyText
};

enum TThemedMenu
{
    tmMenuDontCare,
    tmMenuRoot,
    tmMenuItemNormal,
    tmMenuItemSelected,
    tmMenuItemDemoted,
    tmMenuDropDownNormal,
    tmMenuDropDownSelected,
    tmMenuDropDownDemoted,
    tmMenuBarItemNormal,
    tmMenuBarItemSelected,
    tmMenuBarItemDemoted,
    tmMenuBarDropDownNormal,
    tmMenuBarDropDownSelected,
    tmMenuBarDropDownDemoted,
    tmChevronNormal,
    tmChevronSelected,
    tmChevronDemoted,
    tmSeparatorNormal,
    tmSeparatorSelected,
    tmSeparatorDemoted
};

enum TThemedPage
{
    tpPageDontCare,
    tpPageRoot,
    tpUpNormal,
    tpUpHot,
    tpUpPressed,
    tpUpDisabled,
    tpDownNormal,
    tpDownHot,
    tpDownPressed,
    tpDownDisabled,
    tpUpHorzNormal,
    tpUpHorzHot,
    tpUpHorzPressed,
    tpUpHorzDisabled,
    tpDownHorzNormal,
    tpDownHorzHot,
    tpDownHorzPressed,
    tpDownHorzDisabled
};

enum TThemedProgress
{
    tprProgressDontCare,
    tprProgressRoot,
    tprBar,
    tprBarVert,
    tprChunk,
    tprChunkVert
};

enum TThemedRebar
{
    trRebarDontCare,
    trRebarRoot,
    trGripper,
    trGripperVert,
    trBand,
    trChevronNormal,
    trChevronHot,
    trChevronPressed,
    trChevronVert
};

enum TThemedScrollBar
{
    tsbScrollBarDontCare,
    tsbScrollBarRoot,
    tsbArrowBtnUpNormal,
    tsbArrowBtnUpHot,
    tsbArrowBtnUpPressed,
    tsbArrowBtnUpDisabled,
    tsbArrowBtnDownNormal,
    tsbArrowBtnDownHot,
    tsbArrowBtnDownPressed,
    tsbArrowBtnDownDisabled,
    tsbArrowBtnLeftNormal,
    tsbArrowBtnLeftHot,
    tsbArrowBtnLeftPressed,
    tsbArrowBtnLeftDisabled,
    tsbArrowBtnRightNormal,
    tsbArrowBtnRightHot,
    tsbArrowBtnRightPressed,
    tsbArrowBtnRightDisabled,
    tsbThumbBtnHorzNormal,
    tsbThumbBtnHorzHot,
    tsbThumbBtnHorzPressed,
    tsbThumbBtnHorzDisabled,
    tsbThumbBtnVertNormal,
    tsbThumbBtnVertHot,
    tsbThumbBtnVertPressed,
    tsbThumbBtnVertDisabled,
    tsbLowerTrackHorzNormal,
    tsbLowerTrackHorzHot,
    tsbLowerTrackHorzPressed,
    tsbLowerTrackHorzDisabled,
    tsbUpperTrackHorzNormal,
    tsbUpperTrackHorzHot,
    tsbUpperTrackHorzPressed,
    tsbUpperTrackHorzDisabled,
    tsbLowerTrackVertNormal,
    tsbLowerTrackVertHot,
    tsbLowerTrackVertPressed,
    tsbLowerTrackVertDisabled,
    tsbUpperTrackVertNormal,
    tsbUpperTrackVertHot,
    tsbUpperTrackVertPressed,
    tsbUpperTrackVertDisabled,
    tsbGripperHorzNormal,
    tsbGripperHorzHot,
    tsbGripperHorzPressed,
    tsbGripperHorzDisabled,
    tsbGripperVertNormal,
    tsbGripperVertHot,
    tsbGripperVertPressed,
    tsbGripperVertDisabled,
    tsbSizeBoxRightalign,
    tsbSizeBoxLeftAlign
};

enum TThemedSpin
{
    tsSpinDontCare,
    tsSpinRoot,
    tsUpNormal,
    tsUpHot,
    tsUpPressed,
    tsUpDisabled,
    tsDownNormal,
    tsDownHot,
    tsDownPressed,
    tsDownDisabled,
    tsUpHorzNormal,
    tsUpHorzHot,
    tsUpHorzPressed,
    tsUpHorzDisabled,
    tsDownHorzNormal,
    tsDownHorzHot,
    tsDownHorzPressed,
    tsDownHorzDisabled
};

enum TThemedStartPanel
{
    tspStartPanelDontCare,
    tspStartPanelRoot,
    tspUserPane,
    tspMorePrograms,
    tspMoreProgramsArrowNormal,
    tspMoreProgramsArrowHot,
    tspMoreProgramsArrowPressed,
    tspProgList,
    tspProgListSeparator,
    tspPlacesList,
    tspPlacesListSeparator,
    tspLogOff,
    tspLogOffButtonsNormal,
    tspLogOffButtonsHot,
    tspLogOffButtonsPressed,
    tspUserPicture,
    tspPreview
};

enum TThemedStatus
{
    tstStatusDontCare,
    tstStatusRoot,
    tstPane,
    tstGripperPane,
    tstGripper
};

enum TThemedTab
{
    ttTabDontCare,
    ttTabRoot,
    ttTabItemNormal,
    ttTabItemHot,
    ttTabItemSelected,
    ttTabItemDisabled,
    ttTabItemFocused,
    ttTabItemLeftEdgeNormal,
    ttTabItemLeftEdgeHot,
    ttTabItemLeftEdgeSelected,
    ttTabItemLeftEdgeDisabled,
    ttTabItemLeftEdgeFocused,
    ttTabItemRightEdgeNormal,
    ttTabItemRightEdgeHot,
    ttTabItemRightEdgeSelected,
    ttTabItemRightEdgeDisabled,
    ttTabItemRightEdgeFocused,
    ttTabItemBothEdgeNormal,
    ttTabItemBothEdgeHot,
    ttTabItemBothEdgeSelected,
    ttTabItemBothEdgeDisabled,
    ttTabItemBothEdgeFocused,
    ttTopTabItemNormal,
    ttTopTabItemHot,
    ttTopTabItemSelected,
    ttTopTabItemDisabled,
    ttTopTabItemFocused,
    ttTopTabItemLeftEdgeNormal,
    ttTopTabItemLeftEdgeHot,
    ttTopTabItemLeftEdgeSelected,
    ttTopTabItemLeftEdgeDisabled,
    ttTopTabItemLeftEdgeFocused,
    ttTopTabItemRightEdgeNormal,
    ttTopTabItemRightEdgeHot,
    ttTopTabItemRightEdgeSelected,
    ttTopTabItemRightEdgeDisabled,
    ttTopTabItemRightEdgeFocused,
    ttTopTabItemBothEdgeNormal,
    ttTopTabItemBothEdgeHot,
    ttTopTabItemBothEdgeSelected,
    ttTopTabItemBothEdgeDisabled,
    ttTopTabItemBothEdgeFocused,
    ttPane,
    ttBody
};

enum TThemedTaskBand
{
    ttdTaskBandDontCare,
    ttdTaskBandRoot,
    ttdGroupCount,
    ttdFlashButton,
    ttdFlashButtonGroupMenu
};

enum TThemedTaskBar
{
    ttkTaskBarDontCare,
    ttkTaskBarRoot,
    ttkBackgroundBottom,
    ttkBackgroundRight,
    ttkBackgroundTop,
    ttkBackgroundLeft,
    ttkSizingBarBottom,
    ttkSizingBarRight,
    ttkSizingBarTop,
    ttkSizingBarLeft
};

enum TThemedToolBar
{
    ttbToolBarDontCare,
    ttbToolBarRoot,
    ttbButtonNormal,
    ttbButtonHot,
    ttbButtonPressed,
    ttbButtonDisabled,
    ttbButtonChecked,
    ttbButtonHotChecked,
    ttbDropDownButtonNormal,
    ttbDropDownButtonHot,
    ttbDropDownButtonPressed,
    ttbDropDownButtonDisabled,
    ttbDropDownButtonChecked,
    ttbDropDownButtonHotChecked,
    ttbSplitButtonNormal,
    ttbSplitButtonHot,
    ttbSplitButtonPressed,
    ttbSplitButtonDisabled,
    ttbSplitButtonChecked,
    ttbSplitButtonHotChecked,
    ttbSplitButtonDropDownNormal,
    ttbSplitButtonDropDownHot,
    ttbSplitButtonDropDownPressed,
    ttbSplitButtonDropDownDisabled,
    ttbSplitButtonDropDownChecked,
    ttbSplitButtonDropDownHotChecked,
    ttbSeparatorNormal,
    ttbSeparatorHot,
    ttbSeparatorPressed,
    ttbSeparatorDisabled,
    ttbSeparatorChecked,
    ttbSeparatorHotChecked,
    ttbSeparatorVertNormal,
    ttbSeparatorVertHot,
    ttbSeparatorVertPressed,
    ttbSeparatorVertDisabled,
    ttbSeparatorVertChecked,
    ttbSeparatorVertHotChecked
};

enum TThemedToolTip
{
    tttToolTipDontCare,
    tttToolTipRoot,
    tttStandardNormal,
    tttStandardLink,
    tttStandardTitle,
    tttBalloonNormal,
    tttBalloonLink,
    tttBalloonTitle,
    tttCloseNormal,
    tttCloseHot,
    tttClosePressed
};

enum TThemedTrackBar
{
    ttrTrackBarDontCare,
    ttrTrackBarRoot,
    ttrTrackNormal,
    ttrTrackVertNormal,
    ttrThumbNormal,
    ttrThumbHot,
    ttrThumbPressed,
    ttrThumbFocused,
    ttrThumbDisabled,
    ttrThumbBottomNormal,
    ttrThumbBottomHot,
    ttrThumbBottomPressed,
    ttrThumbBottomFocused,
    ttrThumbBottomDisabled,
    ttrThumbTopNormal,
    ttrThumbTopHot,
    ttrThumbTopPressed,
    ttrThumbTopFocused,
    ttrThumbTopDisabled,
    ttrThumbVertNormal,
    ttrThumbVertHot,
    ttrThumbVertPressed,
    ttrThumbVertFocused,
    ttrThumbVertDisabled,
    ttrThumbLeftNormal,
    ttrThumbLeftHot,
    ttrThumbLeftPressed,
    ttrThumbLeftFocused,
    ttrThumbLeftDisabled,
    ttrThumbRightNormal,
    ttrThumbRightHot,
    ttrThumbRightPressed,
    ttrThumbRightFocused,
    ttrThumbRightDisabled,
    ttrTicsNormal,
    ttrTicsVertNormal
};

enum TThemedTrayNotify
{
    ttnTrayNotifyDontCare,
    ttnTrayNotifyRoot,
    ttnBackground,
    ttnAnimBackground
};

enum TThemedTreeview
{
    ttvTreeviewDontCare,
    ttvTreeviewRoot,
    ttvTreeItemNormal,
    ttvTreeItemHot,
    ttvTreeItemSelected,
    ttvTreeItemDisabled,
    ttvTreeItemSelectedNotFocus,
    ttvGlyphClosed,
    ttvGlyphOpened,
    ttvBranch
};

enum TThemedWindow
{
    twWindowDontCare,
    twWindowRoot,
    twCaptionActive,
    twCaptionInactive,
    twCaptionDisabled,
    twSmallCaptionActive,
    twSmallCaptionInactive,
    twSmallCaptionDisabled,
    twMinCaptionActive,
    twMinCaptionInactive,
    twMinCaptionDisabled,
    twSmallMinCaptionActive,
    twSmallMinCaptionInactive,
    twSmallMinCaptionDisabled,
    twMaxCaptionActive,
    twMaxCaptionInactive,
    twMaxCaptionDisabled,
    twSmallMaxCaptionActive,
    twSmallMaxCaptionInactive,
    twSmallMaxCaptionDisabled,
    twFrameLeftActive,
    twFrameLeftInactive,
    twFrameRightActive,
    twFrameRightInactive,
    twFrameBottomActive,
    twFrameBottomInactive,
    twSmallFrameLeftActive,
    twSmallFrameLeftInactive,
    twSmallFrameRightActive,
    twSmallFrameRightInactive,
    twSmallFrameBottomActive,
    twSmallFrameBottomInactive,
    twSysButtonNormal,
    twSysButtonHot,
    twSysButtonPushed,
    twSysButtonDisabled,
    twMdiSysButtonNormal,
    twMdiSysButtonHot,
    twMdiSysButtonPushed,
    twMdiSysButtonDisabled,
    twMinButtonNormal,
    twMinButtonHot,
    twMinButtonPushed,
    twMinButtonDisabled,
    twMdiMinButtonNormal,
    twMdiMinButtonHot,
    twMdiMinButtonPushed,
    twMdiMinButtonDisabled,
    twMaxButtonNormal,
    twMaxButtonHot,
    twMaxButtonPushed,
    twMaxButtonDisabled,
    twCloseButtonNormal,
    twCloseButtonHot,
    twCloseButtonPushed,
    twCloseButtonDisabled,
    twSmallCloseButtonNormal,
    twSmallCloseButtonHot,
    twSmallCloseButtonPushed,
    twSmallCloseButtonDisabled,
    twMdiCloseButtonNormal,
    twMdiCloseButtonHot,
    twMdiCloseButtonPushed,
    twMdiCloseButtonDisabled,
    twRestoreButtonNormal,
    twRestoreButtonHot,
    twRestoreButtonPushed,
    twRestoreButtonDisabled,
    twMdiRestoreButtonNormal,
    twMdiRestoreButtonHot,
    twMdiRestoreButtonPushed,
    twMdiRestoreButtonDisabled,
    twHelpButtonNormal,
    twHelpButtonHot,
    twHelpButtonPushed,
    twHelpButtonDisabled,
    twMdiHelpButtonNormal,
    twMdiHelpButtonHot,
    twMdiHelpButtonPushed,
    twMdiHelpButtonDisabled,
    twHorzScrollNormal,
    twHorzScrollHot,
    twHorzScrollPushed,
    twHorzScrollDisabled,
    twHorzThumbNormal,
    twHorzThumbHot,
    twHorzThumbPushed,
    twHorzThumbDisabled,
    twVertScrollNormal,
    twVertScrollHot,
    twVertScrollPushed,
    twVertScrollDisabled,
    twVertThumbNormal,
    twVertThumbHot,
    twVertThumbPushed,
    twVertThumbDisabled,
    twDialog
};

struct TThemedElementDetails
{
    TThemedElement Element = teButton;
    int Part = 0;
    int State = 0;
};

// The common-controls version as (major << 16) | minor. Replaceable so that
// tests can answer for a library the test machine does not have; returns the
// previous function.
using TComCtlVersionFunc = DWORD (*)();
DWORD SystemComCtlVersion();
TComCtlVersionFunc SetComCtlVersionFunc(TComCtlVersionFunc func);

class TThemeServices : public TObject
{
public:
    // Follows theme changes of window (when not null) by subclassing it.
    explicit TThemeServices(HWND window);
    ~TThemeServices() override;
    TThemeServices(const TThemeServices&) = delete;
    TThemeServices& operator=(const TThemeServices&) = delete;

    bool ThemesAvailable() const { return FThemesAvailable; }
    bool ThemesEnabled() const { return GetThemesEnabled(); }
    TNotifyEvent OnThemeChange;

    // The element's theme handle, opened on first use; null when themes are off.
    HTHEME GetTheme(TThemedElement element);

    TThemedElementDetails GetElementDetails(TThemedButton detail) const;
    TThemedElementDetails GetElementDetails(TThemedClock detail) const;
    TThemedElementDetails GetElementDetails(TThemedComboBox detail) const;
    TThemedElementDetails GetElementDetails(TThemedEdit detail) const;
    TThemedElementDetails GetElementDetails(TThemedExplorerBar detail) const;
    TThemedElementDetails GetElementDetails(TThemedHeader detail) const;
    TThemedElementDetails GetElementDetails(TThemedListview detail) const;
    TThemedElementDetails GetElementDetails(TThemedMenu detail) const;
    TThemedElementDetails GetElementDetails(TThemedPage detail) const;
    TThemedElementDetails GetElementDetails(TThemedProgress detail) const;
    TThemedElementDetails GetElementDetails(TThemedRebar detail) const;
    TThemedElementDetails GetElementDetails(TThemedScrollBar detail) const;
    TThemedElementDetails GetElementDetails(TThemedSpin detail) const;
    TThemedElementDetails GetElementDetails(TThemedStartPanel detail) const;
    TThemedElementDetails GetElementDetails(TThemedStatus detail) const;
    TThemedElementDetails GetElementDetails(TThemedTab detail) const;
    TThemedElementDetails GetElementDetails(TThemedTaskBand detail) const;
    TThemedElementDetails GetElementDetails(TThemedTaskBar detail) const;
    TThemedElementDetails GetElementDetails(TThemedToolBar detail) const;
    TThemedElementDetails GetElementDetails(TThemedToolTip detail) const;
    TThemedElementDetails GetElementDetails(TThemedTrackBar detail) const;
    TThemedElementDetails GetElementDetails(TThemedTrayNotify detail) const;
    TThemedElementDetails GetElementDetails(TThemedTreeview detail) const;
    TThemedElementDetails GetElementDetails(TThemedWindow detail) const;

    // A system colour as the element's theme has it; other colours unchanged.
    TColor ColorToRGB(TColor color, const TThemedElementDetails* details = nullptr);
    TRect ContentRect(HDC dc, const TThemedElementDetails& details, const TRect& boundingRect);
    void DrawEdge(HDC dc, const TThemedElementDetails& details, const TRect& r, UINT edge, UINT flags,
                  TRect* contentRect = nullptr);
    void DrawElement(HDC dc, const TThemedElementDetails& details, const TRect& r,
                     const TRect* clipRect = nullptr);
    void DrawIcon(HDC dc, const TThemedElementDetails& details, const TRect& r, HIMAGELIST images, int index);
    void DrawParentBackground(HWND window, HDC target, const TThemedElementDetails* details,
                              bool onlyIfTransparent, const TRect* bounds = nullptr);
    void DrawText(HDC dc, const TThemedElementDetails& details, const std::wstring& s, const TRect& r, DWORD flags,
                  DWORD flags2);
    bool HasTransparentParts(const TThemedElementDetails& details);
    // The themed edit border of a control with a client edge, drawn over its
    // non-client area.
    void PaintBorder(TWinControl* control, bool eraseLRCorner);
    void UpdateThemes();
    void UnloadThemeData();

protected:
    virtual void DoOnThemeChange();

private:
    bool GetThemesEnabled() const;
    void WindowProc(UINT msg);
    void Unsubclass();
    static LRESULT CALLBACK SubclassProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

    bool FThemesAvailable = false;
    bool FUseThemes = false;
    bool FControlsEnabled = false;
    HWND FWindow = nullptr;
    WNDPROC FOldWndProc = nullptr;
    HTHEME FThemeData[ThemedElementCount] = {};
};

// The singleton, made on first use with the application window and freed at
// exit before the application window goes.
TThemeServices* ThemeServices();
