// Real common controls under Wine: the page control, the status bar and the tool bar, driven by
// messages and read back from their windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/ComCtrls.h"
#include "platform/Cp932.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace
{

std::vector<std::wstring> NativeTabTexts(HWND tabs)
{
    std::vector<std::wstring> texts;
    int count = int(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        wchar_t buf[256] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = 256;
        SendMessageW(tabs, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        texts.push_back(buf);
    }
    return texts;
}

// A shown form holding a page control with named pages.
struct PageFixture
{
    TForm* form;
    TPageControl* pages;
    std::vector<std::string> log;

    explicit PageFixture(int count)
    {
        form = Create<TForm>(nullptr);
        form->SetBounds(50, 50, 500, 300);
        pages = Create<TPageControl>(form);
        pages->SetParent(form);
        pages->SetAlign(alClient);
        for (int i = 0; i < count; ++i)
            AddPage(std::string(1, char('A' + i)));
        form->Show();
    }
    ~PageFixture() { delete form; }

    TTabSheet* AddPage(const std::string& caption)
    {
        auto* sheet = Create<TTabSheet>(pages);
        sheet->SetCaption(caption.c_str());
        sheet->SetPageControl(pages);
        return sheet;
    }

    void Changing(TObject*, bool& allow)
    {
        log.push_back("changing " + pages->ActivePage()->Caption().str());
        allow = allowChange;
    }
    void Change(TObject*) { log.push_back("change " + pages->ActivePage()->Caption().str()); }
    void Listen()
    {
        pages->OnChanging = TTabChangingEvent(this, &PageFixture::Changing);
        pages->OnChange = TNotifyEvent(this, &PageFixture::Change);
    }

    void Click(int tab, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP)
    {
        TRect r = pages->TabRect(tab);
        LPARAM at = MAKELPARAM((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        SendMessageW(pages->Handle(), down, down == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, at);
        SendMessageW(pages->Handle(), up, 0, at);
    }

    std::string Order()
    {
        std::string s;
        for (int i = 0; i < pages->PageCount(); ++i)
            s += pages->Pages(i)->Caption().str();
        return s;
    }

    bool allowChange = true;
};

TEST(TPageControl, ActivePageSetInCodeFiresNoEvent)
{
    PageFixture f(3);
    f.Listen();
    HWND tabs = f.pages->Handle();
    EXPECT_EQ(f.pages->ActivePage(), f.pages->Pages(0)); // the first page put in becomes active

    struct Step
    {
        const char* how;
        int target;
    } steps[] = {
        {"ActivePage", 2}, {"ActivePageIndex", 1}, {"TabIndex", 0}, {"ActivePage", 0}, {"ActivePage", 2}};
    for (const Step& s : steps)
    {
        std::string how = s.how;
        if (how == "ActivePage")
            f.pages->SetActivePage(f.pages->Pages(s.target));
        else if (how == "ActivePageIndex")
            f.pages->SetActivePageIndex(s.target);
        else
            f.pages->SetTabIndex(s.target);
        EXPECT_EQ(f.pages->ActivePageIndex(), s.target) << how;
        EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), s.target) << how;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(IsWindowVisible(f.pages->Pages(i)->Handle()) != FALSE, i == s.target)
                << how << " page " << i;
    }
    EXPECT_TRUE(f.log.empty()) << f.log.front();
}

TEST(TPageControl, UserSwitchFiresChangingWithTheOldPageThenChangeWithTheNew)
{
    PageFixture f(3);
    f.Listen();

    f.Click(2);
    EXPECT_EQ(f.pages->ActivePage()->Caption(), "C");
    ASSERT_EQ(f.log, (std::vector<std::string>{"changing A", "change C"}));

    // A refused change leaves page, tab selection and visibility as they were.
    f.log.clear();
    f.allowChange = false;
    f.Click(0);
    EXPECT_EQ(f.pages->ActivePage()->Caption(), "C");
    EXPECT_EQ(SendMessageW(f.pages->Handle(), TCM_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(f.pages->Pages(2)->Handle()));
    EXPECT_EQ(f.log, (std::vector<std::string>{"changing C"}));

    // SelectNextPage is a switch as by the user, and wraps.
    f.log.clear();
    f.allowChange = true;
    f.pages->SelectNextPage(true);
    f.pages->SelectNextPage(false);
    f.pages->SelectNextPage(false);
    EXPECT_EQ(f.log, (std::vector<std::string>{"changing C", "change A", "changing A", "change C",
                                               "changing C", "change B"}));
}

TEST(TPageControl, NextPageSkipsHiddenTabsAndWraps)
{
    PageFixture f(4);
    f.pages->Pages(1)->SetTabVisible(false);
    struct Case
    {
        int from;
        bool forward;
        bool checkTabVisible;
        int expected;
    } cases[] = {
        {0, true, true, 2},  {0, true, false, 1},  {3, true, true, 0}, {0, false, true, 3},
        {2, false, true, 0}, {2, false, false, 1}, {1, true, true, 2}, {1, false, true, 0},
    };
    for (const Case& c : cases)
    {
        TTabSheet* next = f.pages->FindNextPage(f.pages->Pages(c.from), c.forward, c.checkTabVisible);
        EXPECT_EQ(next ? next->PageIndex() : -1, c.expected)
            << c.from << (c.forward ? " forward" : " back") << (c.checkTabVisible ? " visible" : " all");
    }
}

// Random page operations against a model: order, captions, tab visibility and the active page. The
// window's tabs must always be the visible pages' captions in order, with the active one selected.
TEST(TPageControl, TabsFollowThePagesThroughRandomOperations)
{
    const unsigned seed = 20240607;
    std::mt19937 rng(seed);
    PageFixture f(0);
    HWND tabs = f.pages->Handle();

    struct ModelPage
    {
        TTabSheet* sheet;
        std::string caption;
        bool tabVisible;
    };
    std::vector<ModelPage> model;
    TTabSheet* active = nullptr;
    const char* names[] = {"日本語", "表示ソ能", "a.txt", "無題", "*無題", "ｶﾀｶﾅ"};
    int made = 0;

    for (int step = 0; step < 400; ++step)
    {
        int op = int(rng() % 6);
        std::string what;
        if (model.empty() || op == 0)
        {
            std::string caption = std::string(names[rng() % 6]) + std::to_string(made++);
            TTabSheet* sheet = f.AddPage(caption);
            model.push_back({sheet, caption, true});
            if (!active)
                active = sheet;
            what = "add " + caption;
        }
        else
        {
            size_t i = rng() % model.size();
            ModelPage& m = model[i];
            switch (op)
            {
            case 1:
            {
                // Removing the active page activates the next page with a tab after it, wrapping.
                what = "delete " + m.caption;
                TTabSheet* next = nullptr;
                for (size_t k = 1; k < model.size() && !next; ++k)
                    if (model[(i + k) % model.size()].tabVisible)
                        next = model[(i + k) % model.size()].sheet;
                if (active == m.sheet)
                    active = next;
                delete m.sheet;
                model.erase(model.begin() + long(i));
                break;
            }
            case 2:
            {
                size_t to = rng() % model.size();
                what = "move " + m.caption + " to " + std::to_string(to);
                m.sheet->SetPageIndex(int(to));
                ModelPage moved = m;
                model.erase(model.begin() + long(i));
                model.insert(model.begin() + long(to), moved);
                break;
            }
            case 3:
                m.tabVisible = !m.tabVisible;
                what = "tab visible " + m.caption + " " + std::to_string(m.tabVisible);
                m.sheet->SetTabVisible(m.tabVisible);
                break;
            case 4:
                m.caption = "改" + m.caption.substr(0, 12);
                what = "caption " + m.caption;
                m.sheet->SetCaption(m.caption.c_str());
                break;
            default:
                what = "activate " + m.caption;
                f.pages->SetActivePage(m.sheet);
                active = m.sheet;
                break;
            }
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(step) + ": " + what);

        std::vector<std::wstring> expected;
        int activeTab = -1;
        for (const ModelPage& m : model)
            if (m.tabVisible)
            {
                if (m.sheet == active)
                    activeTab = int(expected.size());
                expected.push_back(SjisToWide(AnsiString(m.caption.c_str())));
            }
        ASSERT_EQ(NativeTabTexts(tabs), expected);
        ASSERT_EQ(f.pages->ActivePage(), active);
        ASSERT_EQ(f.pages->TabIndex(), activeTab);
        ASSERT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), activeTab);
        ASSERT_EQ(f.pages->PageCount(), int(model.size()));
        for (size_t k = 0; k < model.size(); ++k)
        {
            ASSERT_EQ(f.pages->Pages(int(k)), model[k].sheet);
            ASSERT_EQ(IsWindowVisible(model[k].sheet->Handle()) != FALSE, model[k].sheet == active) << k;
        }
    }
}

struct DrawProbe : TObject
{
    struct Call
    {
        int tab;
        bool active;
        bool bold;
        TColor fontColor;
        TColor brushColor;
        TBrushStyle brushStyle;
    };
    std::vector<Call> calls;

    void DrawTab(TPageControl* control, int tab, const TRect& rect, bool active)
    {
        TCanvas* c = control->Canvas();
        calls.push_back({tab, active, c->Font()->Style().Contains(fsBold), c->Font()->Color(),
                         c->Brush()->Color(), c->Brush()->Style()});
        // What the program's handler does to the active tab; none of it may reach the next tab.
        c->Brush()->SetColor(clWhite);
        c->FillRect(rect);
        c->Brush()->SetStyle(bsClear);
        c->Font()->SetColor(clBlue);
        c->Font()->SetStyle(c->Font()->Style() << fsBold);
        c->TextOut(rect.Left + 6, rect.Top + 4, control->Tabs(tab));
    }
};

TEST(TPageControl, OwnerDrawnTabsEachStartFromAFreshCanvas)
{
    PageFixture f(3);
    DrawProbe probe;
    f.pages->OnDrawTab = TDrawTabEvent(&probe, &DrawProbe::DrawTab);
    f.pages->SetOwnerDraw(true);
    f.pages->SetActivePageIndex(1);
    RedrawWindow(f.pages->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);

    ASSERT_GE(probe.calls.size(), 3u);
    std::vector<int> seen;
    for (const DrawProbe::Call& c : probe.calls)
    {
        seen.push_back(c.tab);
        EXPECT_EQ(c.active, c.tab == 1) << c.tab;
        EXPECT_FALSE(c.bold) << c.tab;
        EXPECT_EQ(c.fontColor, f.pages->Font()->Color()) << c.tab;
        EXPECT_EQ(c.brushColor, clBtnFace) << c.tab;
        EXPECT_EQ(c.brushStyle, bsSolid) << c.tab;
    }
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    EXPECT_NE(GetWindowLongW(f.pages->Handle(), GWL_STYLE) & TCS_OWNERDRAWFIXED, 0);
}

// The program's tab drag: a press starts a drag, a drop on another tab moves the active page there.
struct TabDragger : TObject
{
    TPageControl* pages;
    int drops = 0;
    void MouseDown(TObject*, TMouseButton button, TShiftState, int, int)
    {
        if (button == mbLeft)
            pages->BeginDrag(false, -1);
    }
    void DragOver(TObject* sender, TObject* source, int, int, TDragState, bool& accept)
    {
        accept = source == sender;
    }
    void DragDrop(TObject*, TObject*, int x, int y)
    {
        ++drops;
        for (int i = 0; i < pages->TabCount(); ++i)
        {
            TRect r = pages->TabRect(i);
            if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom && i != pages->TabIndex())
            {
                pages->ActivePage()->SetPageIndex(i);
                return;
            }
        }
    }
};

TEST(TPageControl, DraggingATabOntoAnotherMovesItsPage)
{
    struct Case
    {
        int from;
        // "tab N"; "inside" its own tab; "page" below the tabs; "outside" the control; "near" (a click)
        const char* to;
        const char* expected;
        int drops;
    } cases[] = {
        {2, "tab 0", "CAB", 1}, {0, "tab 2", "BCA", 1},   {1, "tab 0", "BAC", 1}, {1, "inside", "ABC", 1},
        {1, "page", "ABC", 1},  {1, "outside", "ABC", 0}, {0, "near", "ABC", 0},
    };
    for (const Case& c : cases)
    {
        PageFixture f(3);
        TabDragger dragger;
        dragger.pages = f.pages;
        f.pages->OnMouseDown = TMouseEvent(&dragger, &TabDragger::MouseDown);
        f.pages->OnDragOver = TDragOverEvent(&dragger, &TabDragger::DragOver);
        f.pages->OnDragDrop = TDragDropEvent(&dragger, &TabDragger::DragDrop);
        HWND h = f.pages->Handle();

        TRect from = f.pages->TabRect(c.from);
        POINT start{(from.Left + from.Right) / 2, (from.Top + from.Bottom) / 2};
        POINT end = start;
        std::string to = c.to;
        if (to.rfind("tab ", 0) == 0)
        {
            TRect r = f.pages->TabRect(std::stoi(to.substr(4)));
            end = {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
        }
        else if (to == "inside")
            end = {from.Left + 1, start.y};
        else if (to == "page")
            end = {start.x, f.pages->ClientHeight() - 10};
        else if (to == "outside")
            end = {start.x, -30}; // above the control: no drop is accepted there
        else
            end = {start.x + 1, start.y + 1}; // under the drag threshold: a plain click

        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
        EXPECT_EQ(f.pages->ActivePageIndex(), c.from) << c.to;
        SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((start.x + end.x) / 2, (start.y + end.y) / 2));
        SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(end.x, end.y));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(end.x, end.y));

        EXPECT_EQ(f.Order(), c.expected) << c.from << " -> " << c.to;
        EXPECT_EQ(dragger.drops, c.drops) << c.from << " -> " << c.to;
        EXPECT_FALSE(f.pages->Dragging());
        EXPECT_NE(GetCapture(), h);
        std::vector<std::wstring> expectedTabs;
        for (const char* p = c.expected; *p; ++p)
            expectedTabs.push_back(std::wstring(1, wchar_t(*p)));
        EXPECT_EQ(NativeTabTexts(h), expectedTabs) << c.to;
    }
}

TEST(TPageControl, EndDragWithoutDropCancels)
{
    PageFixture f(3);
    TabDragger dragger;
    dragger.pages = f.pages;
    f.pages->OnDragOver = TDragOverEvent(&dragger, &TabDragger::DragOver);
    f.pages->OnDragDrop = TDragDropEvent(&dragger, &TabDragger::DragDrop);
    f.pages->BeginDrag(true);
    EXPECT_TRUE(f.pages->Dragging());
    f.pages->EndDrag(false);
    EXPECT_FALSE(f.pages->Dragging());
    EXPECT_EQ(dragger.drops, 0);
    EXPECT_EQ(f.Order(), "ABC");
}

TEST(TStatusBar, PanelsShowTheirTextsAndWidths)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 400, 200);
    auto* bar = Create<TStatusBar>(form);
    // Set before the window exists: written when it is made.
    TStatusPanel* pos = bar->Panels()->Add();
    pos->SetWidth(70);
    pos->SetAlignment(taCenter);
    pos->SetText("0:0");
    TStatusPanel* mode = bar->Panels()->Add();
    mode->SetWidth(50);
    bar->SetParent(form);
    form->Show();

    EXPECT_EQ(bar->PanelText(0), "0:0");
    int edges[4] = {};
    ASSERT_EQ(SendMessageW(bar->Handle(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
    EXPECT_EQ(edges[0], 70);
    EXPECT_EQ(edges[1], -1);

    struct Case
    {
        int panel;
        AnsiString text;
    } cases[] = {
        {0, Format("%4d:%4d", {1, 1})},      {1, "挿入"}, {1, "上書"},
        {0, Format("%4d:%4d", {12345, 80})}, {1, ""},
    };
    for (const Case& c : cases)
    {
        bar->Panels()->Items(c.panel)->SetText(c.text);
        EXPECT_EQ(bar->PanelText(c.panel), c.text) << c.panel;
        EXPECT_EQ(bar->Panels()->Items(c.panel)->Text(), c.text);
    }
    // Bottom-aligned across the form.
    EXPECT_EQ(bar->Top() + bar->Height(), form->ClientHeight());
    EXPECT_EQ(bar->Width(), form->ClientWidth());
    delete form;
}

struct ClickLog : TObject
{
    std::vector<std::string> clicks;
    void Click(TObject* sender) { clicks.push_back(static_cast<TToolButton*>(sender)->Caption().str()); }
};

TEST(TToolBar, ButtonsClickAndFollowEnabledAndVisible)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 200);
    auto* bar = Create<TToolBar>(form);
    bar->SetParent(form);
    ClickLog log;
    const char* captions[] = {"新規", "開く", "保存"};
    std::vector<TToolButton*> buttons;
    for (const char* caption : captions)
    {
        auto* b = Create<TToolButton>(form);
        b->SetCaption(caption);
        b->OnClick = TNotifyEvent(&log, &ClickLog::Click);
        b->SetParent(bar);
        buttons.push_back(b);
    }
    form->Show();
    HWND h = bar->Handle();
    ASSERT_EQ(SendMessageW(h, TB_BUTTONCOUNT, 0, 0), 3);
    EXPECT_EQ(bar->ButtonCount(), 3);
    EXPECT_EQ(bar->Buttons(2), buttons[2]);

    auto click = [&](TToolButton* b) {
        RECT r{};
        SendMessageW(h, TB_GETITEMRECT, WPARAM(b->Index()), reinterpret_cast<LPARAM>(&r));
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(h, WM_LBUTTONUP, 0, at);
    };
    click(buttons[1]);
    EXPECT_EQ(log.clicks, (std::vector<std::string>{"開く"}));

    buttons[1]->SetEnabled(false);
    EXPECT_FALSE(SendMessageW(h, TB_GETSTATE, WPARAM(buttons[1]->Command()), 0) & TBSTATE_ENABLED);
    click(buttons[1]);
    EXPECT_EQ(log.clicks.size(), 1u);

    buttons[0]->SetVisible(false);
    EXPECT_TRUE(SendMessageW(h, TB_GETSTATE, WPARAM(buttons[0]->Command()), 0) & TBSTATE_HIDDEN);
    buttons[0]->SetVisible(true);
    buttons[1]->SetEnabled(true);
    click(buttons[2]);
    click(buttons[1]);
    EXPECT_EQ(log.clicks, (std::vector<std::string>{"開く", "保存", "開く"}));

    // Button texts are written as UTF-16.
    wchar_t text[64] = {};
    SendMessageW(h, TB_GETBUTTONTEXTW, WPARAM(buttons[2]->Command()), reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"\u4FDD\u5B58");

    // A freed button leaves the bar.
    delete buttons[0];
    EXPECT_EQ(SendMessageW(h, TB_BUTTONCOUNT, 0, 0), 2);
    delete form;
}

TEST(TToolBar, AButtonIsHotOnlyWhileTheMouseIsOverIt)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 200);
    auto* bar = Create<TToolBar>(form);
    bar->SetParent(form);
    for (const char* caption : {"新規", "開く"})
    {
        auto* b = Create<TToolButton>(form);
        b->SetCaption(caption);
        b->SetParent(bar);
    }
    form->Show();
    HWND h = bar->Handle();
    RECT r{};
    SendMessageW(h, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    EXPECT_EQ(SendMessageW(h, TB_GETHOTITEM, 0, 0), 1);
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(SendMessageW(h, TB_GETHOTITEM, 0, 0), -1);
    delete form;
}

TEST(TToolBar, AWindowedControlTakesASlotAmongTheButtons)
{
    auto* form = Create<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 200);
    auto* bar = Create<TToolBar>(form);
    bar->SetParent(form);
    auto* first = Create<TToolButton>(form);
    first->SetCaption("前");
    first->SetParent(bar);
    auto* field = Create<TPanel>(form);
    field->SetWidth(120);
    field->SetHeight(18);
    field->SetParent(bar);
    auto* last = Create<TToolButton>(form);
    last->SetCaption("後");
    last->SetParent(bar);
    form->Show();

    RECT slot{}, after{};
    SendMessageW(bar->Handle(), TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&slot));
    SendMessageW(bar->Handle(), TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&after));
    EXPECT_EQ(field->Left(), slot.left);
    EXPECT_EQ(slot.right - slot.left, 120);
    EXPECT_GE(after.left, field->Left() + field->Width());
    EXPECT_EQ(GetParent(field->Handle()), bar->Handle());
    delete form;
}

// A bar of buttons in groups with a field among them, as the main window has, and a panel under it.
struct TBarFixture
{
    TForm* form = Create<TForm>(nullptr);
    TToolBar* bar = Create<TToolBar>(form);
    TPanel* field = nullptr;
    TPanel* below = Create<TPanel>(form);

    TBarFixture()
    {
        form->SetBounds(0, 0, 700, 300);
        bar->SetParent(form);
        for (const char* caption : {"新規", "開く", "|", "元に戻す", "切取", "|", "検索", "[]", "次", "前",
                                    "ﾌｧｲﾙ検索", "|", "電卓", "ｺﾏﾝﾄﾞ", "ﾛｯｸ", "透明"})
        {
            const std::string text = caption;
            if (text == "[]")
            {
                field = Create<TPanel>(form);
                field->SetBounds(0, 0, 140, 22);
                field->SetParent(bar);
                continue;
            }
            auto* b = Create<TToolButton>(form);
            b->SetCaption(caption);
            b->SetStyle(text == "|" ? tbsSeparator : text == "ｺﾏﾝﾄﾞ" ? tbsDropDown : tbsButton);
            b->SetParent(bar);
        }
        below->SetAlign(alClient);
        below->SetParent(form);
        form->Show();
    }
    ~TBarFixture() { delete form; }

    // The window's rectangle of an item; the field's own bounds for its slot.
    RECT ItemRect(int index) const
    {
        if (bar->Controls(index) == field)
            return RECT{field->Left(), field->Top(), field->Left() + field->Width(),
                        field->Top() + field->Height()};
        RECT r{};
        SendMessageW(bar->Handle(), TB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r));
        return r;
    }
    std::string Layout() const
    {
        std::string text;
        for (int i = 0; i < bar->ControlCount(); ++i)
        {
            RECT r = ItemRect(i);
            text += Format("%d,%d-%d,%d ", {int(r.left), int(r.top), int(r.right), int(r.bottom)}).str();
        }
        return text;
    }
    bool IsSeparator(int index) const
    {
        auto* b = dynamic_cast<TToolButton*>(bar->Controls(index));
        return b && b->Style() == tbsSeparator;
    }
};

bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(TToolBar, ButtonsKeepTheirPlacesBesideTheFieldWhenTheirStatesChange)
{
    TBarFixture f;
    const std::string before = f.Layout();
    for (bool enabled : {false, true})
    {
        for (int i = 0; i < f.bar->ControlCount(); ++i)
            f.bar->Controls(i)->SetEnabled(enabled);
        EXPECT_EQ(f.Layout(), before) << enabled;
    }
    const RECT field{f.field->Left(), f.field->Top(), f.field->Left() + f.field->Width(),
                     f.field->Top() + f.field->Height()};
    for (int i = 0; i < f.bar->ControlCount(); ++i)
    {
        RECT r{};
        SendMessageW(f.bar->Handle(), TB_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&r));
        if (f.bar->Controls(i) != f.field)
        {
            EXPECT_FALSE(Overlap(r, field)) << i;
        }
    }
}

TEST(TToolBar, ItemsThatDoNotFitGoOnToFurtherRowsAndTheBarGrowsToShowThemAll)
{
    TBarFixture f;
    ASSERT_EQ(f.bar->Height(), 29);
    for (int width : {700, 520, 300, 160, 90, 700})
    {
        SCOPED_TRACE(width);
        f.form->SetBounds(0, 0, width, 400);
        Application->ProcessMessages();
        const int room = f.bar->ClientWidth();
        int rows = 0, lastTop = -1;
        std::vector<RECT> shown;
        for (int i = 0; i < f.bar->ControlCount(); ++i)
        {
            const RECT r = f.ItemRect(i);
            if (r.right <= r.left)
                continue;
            if (r.top != lastTop)
            {
                ++rows;
                lastTop = r.top;
                EXPECT_FALSE(f.IsSeparator(i)) << "a row starts with a gap at " << i;
            }
            // Inside the bar; wider than it only when alone on its row.
            EXPECT_GE(r.left, 0) << i;
            EXPECT_TRUE(r.right <= room || r.left == 0) << i;
            EXPECT_LE(r.bottom, f.bar->ClientHeight()) << i;
            if (f.IsSeparator(i))
                continue;
            for (const RECT& other : shown)
                EXPECT_FALSE(Overlap(r, other)) << i << " " << f.Layout();
            shown.push_back(r);
        }
        EXPECT_EQ(rows > 1, width < 700) << f.Layout();
        EXPECT_EQ(f.below->Top(), f.bar->Top() + f.bar->Height()); // what lies under the bar moved down
        if (width == 700)
        {
            EXPECT_EQ(f.bar->Height(), 29);
        }
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Tree view

namespace
{
std::string WindowText(HWND tree, HTREEITEM item)
{
    wchar_t buffer[128] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = 128;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return WideToSjis(std::wstring(buffer)).str();
}

// The window's items in tree order, each indented by its depth.
void WindowItems(HWND tree, HTREEITEM item, int depth, std::vector<std::string>& out)
{
    for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(item))))
    {
        out.push_back(std::string(size_t(depth), ' ') + WindowText(tree, item));
        WindowItems(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(item))),
                    depth + 1, out);
    }
}

struct TTreeEvents
{
    void Change(TObject*, TTreeNode* node) { changes.push_back(node); }
    void Deletion(TObject*, TTreeNode* node) { deleted.push_back(node->Text().str()); }
    std::vector<TTreeNode*> changes;
    std::vector<std::string> deleted;
};
} // namespace

TEST(TTreeView, NodesAddedBeforeOrAfterTheWindowShowInTreeOrderAndSelectionReportsOnce)
{
    TForm* form = Create<TForm>(nullptr);
    TTreeView* tree = Create<TTreeView>(form);
    TTreeEvents events;
    tree->OnChange = TTVChangedEvent(&events, &TTreeEvents::Change);
    tree->OnDeletion = TTVChangedEvent(&events, &TTreeEvents::Deletion);
    TTreeNode* file = tree->AddChild(nullptr, "ファイル");
    TTreeNode* open = tree->AddChild(file, "開く");
    tree->SetParent(form);
    form->Show();
    Application->ProcessMessages();
    TTreeNode* help = tree->AddChild(nullptr, "ヘルプ");
    TTreeNode* about = tree->AddChild(help, "バージョン情報", &events);
    tree->AddChild(file, "終了");
    std::vector<std::string> items;
    const HWND h = tree->Handle();
    WindowItems(h, reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0, items);
    const std::vector<std::string> expected{"ファイル", " 開く", " 終了", "ヘルプ", " バージョン情報"};
    EXPECT_EQ(items, expected);
    std::vector<std::string> nodes;
    for (TTreeNode* node : tree->Nodes())
        nodes.push_back(std::string(size_t(node->Level()), ' ') + node->Text().str());
    EXPECT_EQ(nodes, expected);
    EXPECT_EQ(about->Data(), &events);
    EXPECT_EQ(open->Parent(), file);

    // A selection made in the window reaches the object and its event once; one made in code too.
    SendMessageW(h, TVM_EXPAND, TVE_EXPAND, 0);
    HTREEITEM root = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    HTREEITEM second = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(root)));
    SendMessageW(h, TVM_SELECTITEM, TVGN_CARET, LPARAM(second));
    EXPECT_EQ(tree->Selected(), help);
    tree->SetSelected(open);
    EXPECT_EQ(events.changes, (std::vector<TTreeNode*>{help, open}));
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CARET, 0)),
              reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(root))));

    tree->Clear();
    EXPECT_EQ(tree->Count(), 0);
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(SendMessageW(h, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(events.deleted, (std::vector<std::string>{"ファイル", "開く", "終了", "ヘルプ", "バージョン情報"}));
    EXPECT_EQ(events.changes.size(), 2u);
    delete form;
}
