// Real windows under Wine: messages sent to a custom control, read back from its handlers.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "platform/StdCtrls.h"

namespace
{

// Records message boxes and answers key states, for the duration of a test.
class TRecordingServices : public TPlatformServices
{
public:
    TRecordingServices() : previous_(SetServices(this)) {}
    ~TRecordingServices() override { SetServices(previous_); }
    int MessageBox(void*, const AnsiString& text, const AnsiString& caption, unsigned) override
    {
        boxes.push_back(text.str());
        return IDOK;
    }
    short GetKeyState(int vk) override { return down.count(vk) ? short(0x8000) : short(0); }

    std::vector<std::string> boxes;
    std::set<int> down;

private:
    TPlatformServices* previous_;
};

std::string Hex(unsigned long v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%lx", v);
    return buf;
}

// Writes every handler call it gets into a log.
class TProbeControl : public TCustomControl
{
public:
    explicit TProbeControl(TComponent* owner, std::vector<std::string>* log = nullptr)
        : TCustomControl(owner), log_(log)
    {
    }
    ~TProbeControl() override { Log("~" + Name().str()); }

    std::vector<std::string> calls;
    int paints = 0;
    HDC paintDC = nullptr;
    std::string throwIn; // handler that throws ("KeyDown", "Paint")
    std::string throwKind;
    bool followMouse = false; // records the mouse coming and leaving

protected:
    void Log(const std::string& s)
    {
        if (log_)
            log_->push_back(s);
    }
    void Record(const std::string& s) { calls.push_back(s); }
    void MaybeThrow(const char* handler)
    {
        if (throwIn != handler)
            return;
        if (throwKind == "Exception")
            throw EInvalidOperation("ハンドラで失敗しました");
        if (throwKind == "std")
            throw std::runtime_error("standard failure");
        if (throwKind == "abort")
            throw EAbort();
        throw 42;
    }

    void Paint() override
    {
        ++paints;
        paintDC = Canvas()->Handle();
        MaybeThrow("Paint");
        Canvas()->Brush()->SetColor(clRed);
        Canvas()->FillRect(TRect(0, 0, 4, 4));
    }
    void WMKeyDown(TWMKey& m) override
    {
        Record("KeyDown " + std::to_string(m.CharCode) + " " + Hex(unsigned(m.KeyData)));
        MaybeThrow("KeyDown");
        TCustomControl::WMKeyDown(m);
    }
    void WMKeyUp(TWMKey& m) override
    {
        Record("KeyUp " + std::to_string(m.CharCode));
        TCustomControl::WMKeyUp(m);
    }
    void WMChar(TWMChar& m) override
    {
        Record("Char " + Hex(m.CharCode));
        TCustomControl::WMChar(m);
    }
    void Mouse(const char* what, TWMMouse& m)
    {
        Record(std::string(what) + " " + std::to_string(m.Keys) + " " + std::to_string(m.XPos) + "," +
               std::to_string(m.YPos));
    }
    void WMLButtonDown(TWMMouse& m) override { Mouse("LButtonDown", m); }
    void WMLButtonUp(TWMMouse& m) override { Mouse("LButtonUp", m); }
    void WMLButtonDblClk(TWMMouse& m) override { Mouse("LButtonDblClk", m); }
    void WMRButtonDown(TWMMouse& m) override { Mouse("RButtonDown", m); }
    void WMMouseMove(TWMMouse& m) override { Mouse("MouseMove", m); }
    void WMMouseWheel(TWMMouseWheel& m) override
    {
        Record("MouseWheel " + std::to_string(m.WheelDelta) + " " + std::to_string(m.XPos) + "," +
               std::to_string(m.YPos));
    }
    void WMVScroll(TWMScroll& m) override
    {
        Record("VScroll " + std::to_string(m.ScrollCode) + " " + std::to_string(m.Pos));
    }
    void WMHScroll(TWMScroll& m) override
    {
        Record("HScroll " + std::to_string(m.ScrollCode) + " " + std::to_string(m.Pos));
    }
    void WMTimer(TWMTimer& m) override { Record("Timer " + std::to_string(m.TimerID)); }
    void WMImeStartComposition(TMessage&) override { Record("ImeStart"); }
    void WMImeComposition(TMessage& m) override { Record("ImeComposition " + Hex(m.LParam)); }
    void WMImeEndComposition(TMessage&) override { Record("ImeEnd"); }
    void WMGetDlgCode(TWMGetDlgCode& m) override
    {
        Record("GetDlgCode");
        m.Result = DLGC_WANTCHARS;
    }
    void WMCopy(TMessage&) override { Record("Copy"); }
    void WMPaste(TMessage&) override { Record("Paste"); }
    void WMCut(TMessage&) override { Record("Cut"); }
    void WMClear(TMessage&) override { Record("Clear"); }
    void WMUndo(TMessage&) override { Record("Undo"); }
    void WMSetFocus(TWMSetFocus& m) override
    {
        Record("SetFocus");
        TCustomControl::WMSetFocus(m);
    }
    void WMSize(TWMSize& m) override
    {
        Record("Size " + std::to_string(m.Width) + "x" + std::to_string(m.Height));
        TCustomControl::WMSize(m);
    }
    void WMDestroy(TWMDestroy& m) override
    {
        Log("WMDestroy " + Name().str());
        TCustomControl::WMDestroy(m);
    }
    void CMFontChanged(TMessage& m) override
    {
        Record("FontChanged");
        TCustomControl::CMFontChanged(m);
    }
    void CMMouseEnter(TMessage&) override
    {
        if (followMouse)
            Record("MouseEnter");
    }
    void CMMouseLeave(TMessage&) override
    {
        if (followMouse)
            Record("MouseLeave");
    }

private:
    std::vector<std::string>* log_;
};

// A borderless form, so its client area is its whole size.
class ControlsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        form = Create<TForm>(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(50, 50, 300, 200);
        control = Create<TProbeControl>(form);
        control->SetName("probe");
        control->SetParent(form);
        control->SetBounds(10, 10, 100, 50);
        form->HandleNeeded();
        control->calls.clear();
    }
    void TearDown() override { delete form; }

    LRESULT Send(UINT msg, WPARAM wparam, LPARAM lparam)
    {
        return SendMessageW(control->Handle(), msg, wparam, lparam);
    }

    TForm* form = nullptr;
    TProbeControl* control = nullptr;
};

TEST_F(ControlsTest, MessagesReachTheirHandlersDecoded)
{
    struct Case
    {
        UINT msg;
        WPARAM wparam;
        LPARAM lparam;
        std::string expected;
    } cases[] = {
        {WM_KEYDOWN, VK_RIGHT, 0x014D0001, "KeyDown 39 14d0001"},
        {WM_KEYUP, VK_RIGHT, LPARAM(0xC14D0001), "KeyUp 39"},
        {WM_CHAR, 'a', 1, "Char 61"},
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 7), "LButtonDown 1 -5,7"},
        {WM_LBUTTONUP, 0, MAKELPARAM(30, 40), "LButtonUp 0 30,40"},
        {WM_LBUTTONDBLCLK, MK_LBUTTON | MK_SHIFT, MAKELPARAM(1, 2), "LButtonDblClk 5 1,2"},
        {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4), "RButtonDown 2 3,4"},
        {WM_MOUSEMOVE, 0, MAKELPARAM(60, 20), "MouseMove 0 60,20"},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), MAKELPARAM(100, 200), "MouseWheel -120 100,200"},
        {WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 42), 0, "VScroll 4 42"},
        {WM_HSCROLL, SB_LINELEFT, 0, "HScroll 0 0"},
        {WM_TIMER, 7, 0, "Timer 7"},
        {WM_IME_STARTCOMPOSITION, 0, 0, "ImeStart"},
        {WM_IME_COMPOSITION, 0, GCS_RESULTSTR, "ImeComposition 800"},
        {WM_IME_ENDCOMPOSITION, 0, 0, "ImeEnd"},
        {WM_COPY, 0, 0, "Copy"},
        {WM_CUT, 0, 0, "Cut"},
        {WM_PASTE, 0, 0, "Paste"},
        {WM_CLEAR, 0, 0, "Clear"},
        {WM_UNDO, 0, 0, "Undo"},
    };
    for (const Case& c : cases)
    {
        control->calls.clear();
        Send(c.msg, c.wparam, c.lparam);
        EXPECT_EQ(control->calls, std::vector<std::string>{c.expected}) << Hex(c.msg);
    }
    EXPECT_EQ(Send(WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS); // the handler's Result comes back
    EXPECT_EQ(control->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
}

TEST_F(ControlsTest, CharactersArriveAsCp932Bytes)
{
    struct Case
    {
        std::vector<wchar_t> units;
        std::vector<std::string> expected;
    } cases[] = {
        {{L'a'}, {"Char 61"}},
        {{L'あ'}, {"Char 82", "Char a0"}},
        {{L'表'}, {"Char 95", "Char 5c"}},
        {{L'ｱ'}, {"Char b1"}},
        {{0xD83D, 0xDE00}, {"Char 3f"}}, // a character outside CP932, sent as a surrogate pair
    };
    for (const Case& c : cases)
    {
        control->calls.clear();
        for (wchar_t unit : c.units)
            Send(WM_CHAR, unit, 1);
        EXPECT_EQ(control->calls, c.expected) << Hex(c.units[0]);
    }
}

TEST_F(ControlsTest, PaintDrawsOnTheCanvasOfThePaintDc)
{
    // A DC in WPARAM is painted into directly.
    TBitmap target;
    target.SetSize(8, 8);
    HDC dc = target.Canvas()->Handle();
    Send(WM_PAINT, WPARAM(dc), 0);
    EXPECT_EQ(control->paints, 1);
    EXPECT_EQ(control->paintDC, dc);
    EXPECT_EQ(GetPixel(dc, 1, 1), COLORREF(clRed));

    // A real paint goes through BeginPaint, and the canvas still works outside painting.
    form->Show();
    control->Invalidate();
    control->Update();
    EXPECT_EQ(control->paints, 2);
    EXPECT_NE(control->paintDC, dc);
    EXPECT_GT(control->Canvas()->TextWidth("あ"), 0);
}

TEST_F(ControlsTest, HandlerExceptionsAreReportedAndTheWindowLivesOn)
{
    TRecordingServices services;
    struct Case
    {
        const char* kind;
        std::vector<std::string> boxes;
    } cases[] = {
        {"Exception", {"ハンドラで失敗しました"}},
        {"std", {"予期しない例外が発生しました"}},
        {"unknown", {"予期しない例外が発生しました"}},
        {"abort", {}},
    };
    for (const Case& c : cases)
    {
        services.boxes.clear();
        control->throwIn = "KeyDown";
        control->throwKind = c.kind;
        Send(WM_KEYDOWN, 'A', 0);
        EXPECT_EQ(services.boxes, c.boxes) << c.kind;
        control->throwIn.clear();
        control->calls.clear();
        Send(WM_KEYUP, 'A', 0);
        EXPECT_EQ(control->calls, std::vector<std::string>{"KeyUp 65"}) << c.kind;
    }

    // A failing paint still ends the paint: the window is left valid, not repainted forever.
    services.boxes.clear();
    form->Show();
    control->throwIn = "Paint";
    control->throwKind = "Exception";
    control->Invalidate();
    control->Update();
    EXPECT_EQ(services.boxes.size(), 1u);
    EXPECT_FALSE(GetUpdateRect(control->Handle(), nullptr, FALSE));
    control->throwIn.clear();
}

// A window that cannot be made raises an exception naming the control, leaves no handle behind
// and can be freed; its parent lives on.
TEST_F(ControlsTest, AWindowThatCannotBeMadeRaisesAClearErrorAndLeavesNoHandle)
{
    struct TOrphan : TWinControl
    {
        explicit TOrphan(TComponent* owner) : TWinControl(owner) {}
        HWND parent = nullptr;
        void CreateParams(TCreateParams& params) override
        {
            TWinControl::CreateParams(params);
            params.WndParent = parent;
        }
    };
    // A parent window that no longer exists.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    auto* orphan = Create<TOrphan>(form);
    orphan->SetName("orphan");
    orphan->parent = gone;
    try
    {
        orphan->SetParent(form); // the form has its window: the child's is made at once
        orphan->HandleNeeded();
        ADD_FAILURE() << "no exception";
    }
    catch (const Exception& e)
    {
        EXPECT_NE(e.Message.str().find("orphan"), std::string::npos) << e.Message.str();
    }
    EXPECT_FALSE(orphan->HandleAllocated());
    delete orphan;
    EXPECT_TRUE(IsWindow(form->Handle()));
    Send(WM_KEYUP, 'A', 0);
    EXPECT_EQ(control->calls, std::vector<std::string>{"KeyUp 65"});
}

TEST_F(ControlsTest, FreeingAControlDestroysItsWindowAndItsChildren)
{
    std::vector<std::string> log;
    auto* panel = Create<TProbeControl>(form, &log);
    panel->SetName("panel");
    panel->SetParent(form);
    auto* child = Create<TProbeControl>(form, &log); // owned by the form, parented by the panel
    child->SetName("child");
    child->SetParent(panel);
    ASSERT_TRUE(child->HandleAllocated()); // made on parent assignment: the panel has its window
    HWND panelWnd = panel->Handle();
    HWND childWnd = child->Handle();
    int owned = form->ComponentCount();

    delete panel;
    EXPECT_FALSE(IsWindow(panelWnd));
    EXPECT_FALSE(IsWindow(childWnd));
    // Derived handlers still ran at WM_DESTROY; the panel freed its child.
    EXPECT_EQ(log, (std::vector<std::string>{"WMDestroy panel", "WMDestroy child", "~panel", "~child"}));
    EXPECT_EQ(form->ComponentCount(), owned - 2);
    EXPECT_EQ(form->ControlCount(), 1);

    HWND controlWnd = control->Handle();
    delete control;
    EXPECT_FALSE(IsWindow(controlWnd));
    EXPECT_EQ(form->ControlCount(), 0);
    control = nullptr;
}

TEST_F(ControlsTest, WindowIsMadeWithTheParentsWindow)
{
    auto* late = Create<TForm>(nullptr);
    auto* inner = Create<TProbeControl>(late);
    inner->SetParent(late);
    EXPECT_FALSE(inner->HandleAllocated());
    EXPECT_FALSE(late->HandleAllocated());
    HWND innerWnd = inner->Handle(); // asks the parent first, which makes its children
    EXPECT_TRUE(late->HandleAllocated());
    EXPECT_EQ(GetParent(innerWnd), late->Handle());
    inner->SetParent(nullptr); // a child window cannot outlive its parent link
    EXPECT_FALSE(inner->HandleAllocated());
    EXPECT_FALSE(IsWindow(innerWnd));
    EXPECT_THROW(inner->Handle(), EInvalidOperation);
    delete late; // frees inner as its owner
}

TEST_F(ControlsTest, AlignedChildrenShareTheClientArea)
{
    delete control;
    control = nullptr;
    auto add = [&](TAlign align, int w, int h) {
        auto* c = Create<TProbeControl>(form);
        c->SetBounds(0, 0, w, h);
        c->SetAlign(align);
        c->SetParent(form);
        return c;
    };
    TWinControl* top = add(alTop, 0, 20);
    TWinControl* top2 = add(alTop, 0, 10);
    TWinControl* bottom = add(alBottom, 0, 30);
    TWinControl* left = add(alLeft, 40, 0);
    TWinControl* right = add(alRight, 50, 0);
    TWinControl* client = add(alClient, 0, 0);
    auto check = [&](int w, int h) {
        EXPECT_EQ(top->BoundsRect(), TRect(0, 0, w, 20));
        EXPECT_EQ(top2->BoundsRect(), TRect(0, 20, w, 30));
        EXPECT_EQ(bottom->BoundsRect(), TRect(0, h - 30, w, h));
        EXPECT_EQ(left->BoundsRect(), TRect(0, 30, 40, h - 30));
        EXPECT_EQ(right->BoundsRect(), TRect(w - 50, 30, w, h - 30));
        EXPECT_EQ(client->BoundsRect(), TRect(40, 30, w - 50, h - 30));
    };
    check(300, 200);
    form->SetBounds(50, 50, 400, 300); // WM_SIZE realigns
    check(400, 300);
    top2->Hide();
    EXPECT_EQ(left->BoundsRect(), TRect(0, 20, 40, 270));
    RECT r{};
    GetWindowRect(client->Handle(), &r);
    MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(TRect(r.left, r.top, r.right, r.bottom), client->BoundsRect());
}

// A status bar below a panel: resizing the panel in place (collapsing it, opening it again) must
// never move it under the bar. The same holds for controls on the right edge.
TEST_F(ControlsTest, ControlsOnTheBottomOrRightEdgeKeepTheirOrderWhenResized)
{
    delete control;
    control = nullptr;
    form->SetBounds(50, 50, 400, 300);
    const int w = form->ClientWidth(), h = form->ClientHeight();
    // Placed first where they belong: the bars nearest their edges.
    auto add = [&](TAlign align, int at, int size) {
        auto* c = Create<TProbeControl>(form);
        c->SetBounds(at, at, size, size);
        c->SetAlign(align);
        c->SetParent(form);
        return c;
    };
    TWinControl* bar = add(alBottom, 1000, 20);
    TWinControl* panel = add(alBottom, 0, 100);
    TWinControl* rightBar = add(alRight, 1000, 20);
    TWinControl* rightPanel = add(alRight, 0, 60);
    for (int size : {0, 4, 100, 150, 1, 0, 100})
    {
        panel->SetHeight(size);
        rightPanel->SetWidth(size);
        EXPECT_EQ(bar->BoundsRect(), TRect(0, h - 20, w, h)) << size;
        EXPECT_EQ(panel->BoundsRect(), TRect(0, h - 20 - size, w, h - 20)) << size;
        EXPECT_EQ(rightBar->BoundsRect(), TRect(w - 20, 0, w, h - 20 - size)) << size;
        EXPECT_EQ(rightPanel->BoundsRect(), TRect(w - 20 - size, 0, w - 20, h - 20 - size)) << size;
    }
}

TEST_F(ControlsTest, SetFocusFocusesTheControlAndMakesItActive)
{
    EXPECT_FALSE(control->CanFocus()); // the form is hidden
    EXPECT_THROW(control->SetFocus(), EInvalidOperation);
    form->Show();
    ASSERT_TRUE(control->CanFocus());
    control->SetFocus();
    EXPECT_TRUE(control->Focused());
    EXPECT_EQ(form->ActiveControl(), control);
    EXPECT_EQ(control->calls, std::vector<std::string>{"SetFocus"});
    delete control; // the form forgets its active control
    control = nullptr;
    EXPECT_EQ(form->ActiveControl(), nullptr);
}

class TKeyLog : public TObject
{
public:
    void FormKeyDown(TObject*, WORD& key, TShiftState shift)
    {
        log.push_back("form down " + std::to_string(key) + (shift.Contains(ssCtrl) ? " ctrl" : ""));
        if (key == VK_F1)
            key = 0;
    }
    void FormKeyPress(TObject*, char& key)
    {
        log.push_back(std::string("form press ") + key);
        if (key == 'x')
            key = 0;
    }
    void ControlKeyDown(TObject*, WORD& key, TShiftState shift)
    {
        log.push_back("control down " + std::to_string(key) + (shift.Contains(ssShift) ? " shift" : ""));
    }
    void ControlKeyPress(TObject*, char& key) { log.push_back(std::string("control press ") + key); }
    std::vector<std::string> log;
};

TEST_F(ControlsTest, KeyPreviewLetsTheFormSeeAndSwallowKeysFirst)
{
    TRecordingServices services;
    TKeyLog keys;
    form->SetKeyPreview(true);
    form->OnKeyDown = TKeyEvent(&keys, &TKeyLog::FormKeyDown);
    form->OnKeyPress = TKeyPressEvent(&keys, &TKeyLog::FormKeyPress);
    control->OnKeyDown = TKeyEvent(&keys, &TKeyLog::ControlKeyDown);
    control->OnKeyPress = TKeyPressEvent(&keys, &TKeyLog::ControlKeyPress);
    struct Case
    {
        UINT msg;
        WPARAM key;
        std::set<int> down;
        std::vector<std::string> expected;
    } cases[] = {
        {WM_KEYDOWN, VK_F1, {}, {"form down 112"}},
        {WM_KEYDOWN, VK_F2, {VK_SHIFT}, {"form down 113", "control down 113 shift"}},
        {WM_KEYDOWN, 'S', {VK_CONTROL}, {"form down 83 ctrl", "control down 83"}},
        {WM_CHAR, 'x', {}, {"form press x"}},
        {WM_CHAR, 'y', {}, {"form press y", "control press y"}},
    };
    for (const Case& c : cases)
    {
        keys.log.clear();
        services.down = c.down;
        Send(c.msg, c.key, 0);
        EXPECT_EQ(keys.log, c.expected) << c.key;
    }
    form->SetKeyPreview(false);
    keys.log.clear();
    Send(WM_KEYDOWN, VK_F1, 0);
    EXPECT_EQ(keys.log, std::vector<std::string>{"control down 112"});
}

TEST(KeyDataToShiftState, ReadsShiftAndCtrlFromTheSeamAndAltFromTheKeyData)
{
    TRecordingServices services;
    struct Case
    {
        std::set<int> down;
        int keyData;
        unsigned expected;
    } cases[] = {
        {{}, 0, 0},
        {{VK_SHIFT}, 0, 1u << ssShift},
        {{VK_CONTROL}, 0, 1u << ssCtrl},
        {{}, 0x20000000, 1u << ssAlt},
        {{VK_SHIFT, VK_CONTROL}, 0x20000000, (1u << ssShift) | (1u << ssCtrl) | (1u << ssAlt)},
    };
    for (const Case& c : cases)
    {
        services.down = c.down;
        EXPECT_EQ(KeyDataToShiftState(c.keyData).ToInt(), c.expected) << c.keyData;
    }
}

TEST(IsAccel, MatchesTheLetterAfterTheFirstSingleAmpersandInAnyCase)
{
    struct Case
    {
        const char* caption;
        unsigned key;
        bool expected;
    } cases[] = {
        {"はい(&Y)", 'y', true},  {"はい(&Y)", 'Y', true},   {"はい(&Y)", 'N', false},
        {"&Open", 'o', true},     {"A&&B", 'B', false},      {"A&&&B", 'b', true},
        {"A&&B&C", 'c', true},    {"&X&Y", 'Y', false},      {"&", '&', false},
        {"&&", '&', false},       {"検索", 'S', false},      {"", 'a', false},
        {"ファイル(&F)", L'f', true}, {"&ｶﾅ", L'ｶ', true}, {"(&1)", '1', true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsAccel(c.key, c.caption), c.expected) << c.caption << " " << c.key;
}

TEST_F(ControlsTest, EachFontChangeNotifiesTheControl)
{
    control->Font()->SetHeight(-20);
    control->Font()->SetHeight(-20);
    control->Font()->SetColor(clRed);
    EXPECT_EQ(control->calls, (std::vector<std::string>{"FontChanged", "FontChanged"}));
}

TEST_F(ControlsTest, ScreenCursorOverridesTheControlsCursor)
{
    LPARAM clientHit = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    WPARAM self = reinterpret_cast<WPARAM>(control->Handle());
    control->SetCursor(crHandPoint);
    EXPECT_EQ(Send(WM_SETCURSOR, self, clientHit), 1);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crHandPoint));
    Screen->SetCursor(crIBeam);
    EXPECT_EQ(Send(WM_SETCURSOR, self, clientHit), 1);
    EXPECT_EQ(GetCursor(), Screen->Cursors(crIBeam));
    Screen->SetCursor(crDefault);
    control->SetCursor(crDefault);
}

} // namespace

namespace
{

// Follows a control's messages as code that subclasses controls does: keeps the procedure it found,
// notes each message and passes it on; it may put the kept one back from inside a message.
class TFollower : public TObject
{
public:
    explicit TFollower(TControl* control) : control_(control), kept_(control->WindowProc)
    {
        control_->WindowProc = TWndMethod(this, &TFollower::Follow);
    }
    void PutBack() { control_->WindowProc = kept_; }
    void Follow(TMessage& message)
    {
        seen.push_back(message.Msg);
        TWndMethod kept = kept_;
        if (message.Msg == putBackOn)
            PutBack();
        kept(message);
    }
    std::vector<UINT> seen;
    UINT putBackOn = 0;

private:
    TControl* control_;
    TWndMethod kept_;
};

} // namespace

TEST_F(ControlsTest, AReplacedWindowProcSeesEveryMessageAndIsPutBackExactly)
{
    auto* button = Create<TButton>(form);
    button->SetParent(form);
    button->SetBounds(10, 100, 75, 25);
    const UINT putBack = WM_USER + 7;
    for (TWinControl* target : {static_cast<TWinControl*>(control), static_cast<TWinControl*>(button)})
    {
        SCOPED_TRACE(target == control ? "layer window" : "native control");
        const TWndMethod original = target->WindowProc;
        TFollower lower(target);
        TFollower upper(target);
        upper.putBackOn = putBack;
        LRESULT code = SendMessageW(target->Handle(), WM_GETDLGCODE, 0, 0);
        target->Perform(WM_GETDLGCODE, 0, 0);
        // Passed on through both followers to the control's own handling.
        EXPECT_EQ(target->Perform(WM_GETDLGCODE, 0, 0), code);
        EXPECT_EQ(upper.seen, (std::vector<UINT>{WM_GETDLGCODE, WM_GETDLGCODE, WM_GETDLGCODE}));
        EXPECT_EQ(lower.seen, upper.seen);

        // The upper one lets go while handling a message; the message still goes on.
        SendMessageW(target->Handle(), putBack, 0, 0);
        EXPECT_EQ(upper.seen.back(), putBack);
        EXPECT_EQ(lower.seen.back(), putBack);
        target->Perform(WM_GETDLGCODE, 0, 0);
        EXPECT_EQ(upper.seen.size(), 4u);
        EXPECT_EQ(lower.seen.size(), 5u);

        lower.PutBack();
        EXPECT_TRUE(target->WindowProc == original);
        target->Perform(WM_GETDLGCODE, 0, 0);
        EXPECT_EQ(lower.seen.size(), 5u);
    }
}

TEST_F(ControlsTest, TheMouseComingInAndLeavingIsToldOnceEach)
{
    control->followMouse = true;
    SetCursorPos(form->Left() + 30, form->Top() + 30); // over the control, so its leave waits
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(21, 20));
    Send(WM_MOUSELEAVE, 0, 0);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(22, 20));
    EXPECT_EQ(control->calls, (std::vector<std::string>{"MouseEnter", "MouseMove 0 20,20", "MouseMove 0 21,20",
                                                        "MouseLeave", "MouseEnter", "MouseMove 0 22,20"}));
}

TEST_F(ControlsTest, ParentColorFollowsTheParentUntilTheControlIsGivenAColourOfItsOwn)
{
    // Each step: what is done, then the colour the control shows.
    struct TStep
    {
        const char* what;
        std::function<void()> act;
        TColor shown;
    };
    auto* host = Create<TProbeControl>(form);
    host->SetParent(form);
    form->SetColor(clWhite);
    host->SetColor(clRed);
    const TStep steps[] = {
        {"given ParentColor", [&] { control->SetParentColor(true); }, clWhite},
        {"the parent's colour changes", [&] { form->SetColor(clBlue); }, clBlue},
        {"moved to another parent", [&] { control->SetParent(host); }, clRed},
        {"that parent's colour changes", [&] { host->SetColor(clGreen); }, clGreen},
        {"a colour of its own", [&] { control->SetColor(clYellow); }, clYellow},
        {"the parent's colour changes again", [&] { host->SetColor(clBlack); }, clYellow},
    };
    for (const TStep& step : steps)
    {
        step.act();
        EXPECT_EQ(control->Color(), step.shown) << step.what;
    }
    EXPECT_FALSE(control->ParentColor());
}

TEST_F(ControlsTest, ADoubleBufferedControlShowsTheSameAndErasesOnlyIntoItsBitmap)
{
    form->Show();
    control->SetColor(clBlue);
    auto pixels = [&] {
        RedrawWindow(control->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        HDC dc = GetDC(control->Handle());
        std::vector<COLORREF> seen;
        for (int y = 0; y < control->Height(); y += 3)
            for (int x = 0; x < control->Width(); x += 3)
                seen.push_back(GetPixel(dc, x, y));
        ReleaseDC(control->Handle(), dc);
        return seen;
    };
    const auto direct = pixels();
    control->SetDoubleBuffered(true);
    const int paints = control->paints;
    EXPECT_EQ(pixels(), direct);
    EXPECT_EQ(control->paints, paints + 1);

    // A plain erase leaves the DC alone; one whose parameters are both the DC fills it.
    TBitmap bitmap;
    bitmap.SetSize(8, 8);
    HDC dc = bitmap.Canvas()->Handle();
    PatBlt(dc, 0, 0, 8, 8, WHITENESS);
    Send(WM_ERASEBKGND, WPARAM(dc), 0);
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(255, 255, 255));
    Send(WM_ERASEBKGND, WPARAM(dc), LPARAM(dc));
    EXPECT_EQ(GetPixel(dc, 5, 5), RGB(0, 0, 255));
}
