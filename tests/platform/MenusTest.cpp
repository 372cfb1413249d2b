// Menus under Wine: shortcut texts, the Win32 menu the items make, commands reaching their items
// and shortcut keys reaching them before the focused control.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/Services.h"
#include "tests/TestServices.h"
#include "platform/SysUtils.h"

namespace
{

TEST(ShortCutText, TheAssignableShortcutsRoundTrip)
{
    // The list the shortcut-assignment dialog offers.
    std::vector<std::string> texts;
    for (char c = 'A'; c <= 'Z'; ++c)
        if (c != 'D' && c != 'K')
            texts.push_back(std::string("Ctrl+") + c);
    for (char c = 'A'; c <= 'Z'; ++c)
        if (c != 'D' && c != 'K')
            texts.push_back(std::string("Ctrl+Alt+") + c);
    for (const char* prefix : {"", "Ctrl+", "Shift+", "Shift+Ctrl+"})
        for (int i = 1; i <= 12; ++i)
            texts.push_back(prefix + std::string("F") + std::to_string(i));
    for (const char* t :
         {"Ins", "Shift+Ins", "Ctrl+Ins", "Del", "Shift+Del", "Ctrl+Del", "Alt+BkSp", "Shift+Alt+BkSp"})
        texts.push_back(t);
    ASSERT_EQ(texts.size(), 104u);
    std::set<TShortCut> values;
    for (const std::string& t : texts)
    {
        TShortCut s = TextToShortCut(t.c_str());
        EXPECT_NE(s, scNone) << t;
        EXPECT_EQ(ShortCutToText(s), t.c_str()) << t;
        values.insert(s);
    }
    EXPECT_EQ(values.size(), texts.size()); // no two texts give the same key
}

TEST(ShortCutText, EveryNamedKeyWithEveryModifierRoundTrips)
{
    std::vector<WORD> keys = {VK_BACK, VK_TAB,  VK_ESCAPE, VK_RETURN, VK_SPACE, VK_PRIOR,  VK_NEXT,  VK_END,
                              VK_HOME, VK_LEFT, VK_UP,     VK_RIGHT,  VK_DOWN,  VK_INSERT, VK_DELETE};
    for (WORD k = 'A'; k <= 'Z'; ++k)
        keys.push_back(k);
    for (WORD k = '0'; k <= '9'; ++k)
        keys.push_back(k);
    for (WORD k = VK_F1; k <= VK_F24; ++k)
        keys.push_back(k);
    for (WORD key : keys)
        for (unsigned m = 0; m < 8; ++m)
        {
            TShortCut s =
                TShortCut(key | ((m & 1) ? scShift : 0) | ((m & 2) ? scCtrl : 0) | ((m & 4) ? scAlt : 0));
            AnsiString text = ShortCutToText(s);
            ASSERT_FALSE(text.IsEmpty()) << key << " " << m;
            EXPECT_EQ(TextToShortCut(text), s) << text;
            WORD back = 0;
            TShiftState shift;
            ShortCutToKey(s, back, shift);
            EXPECT_EQ(ShortCut(back, shift), s) << text;
        }
}

TEST(ShortCutText, ReadsLooselyAndRejectsWhatIsNoKey)
{
    struct Case
    {
        const char* text;
        TShortCut expected;
    } cases[] = {
        {"Ctrl+S", TShortCut(scCtrl | 'S')},
        {"ctrl+s", TShortCut(scCtrl | 'S')},
        {" Shift + F3 ", TShortCut(scShift | VK_F3)},
        {"Alt+Ctrl+Shift+Del", TShortCut(scShift | scCtrl | scAlt | VK_DELETE)},
        {"Ctrl+Down", TShortCut(scCtrl | VK_DOWN)},
        {"Tab", TShortCut(VK_TAB)},
        {"F", TShortCut('F')},
        {"", scNone},
        {"Ctrl+", scNone},
        {"Ctrl", scNone},
        {"F0", scNone},
        {"F25", scNone},
        {"F$1", scNone},
        {"Foo", scNone},
        {"Ctrl+日", scNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToShortCut(c.text), c.expected) << c.text;
    EXPECT_EQ(ShortCutToText(scNone), "");
    EXPECT_EQ(ShortCutToText(TShortCut(scCtrl | VK_F13)), "Ctrl+F13");
    EXPECT_EQ(ShortCutToText(TShortCut(scCtrl | 0xBA)), ""); // a key without a name
}

std::wstring ItemText(HMENU menu, int pos)
{
    wchar_t buf[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = buf;
    info.cch = 256;
    GetMenuItemInfoW(menu, UINT(pos), TRUE, &info);
    return buf;
}

UINT ItemState(HMENU menu, int pos)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_ID;
    GetMenuItemInfoW(menu, UINT(pos), TRUE, &info);
    return info.fState | (info.fType & MFT_SEPARATOR ? 0x10000 : 0);
}

// A form with a File menu: 新規作成, 開く, a line, 上書き保存 (Ctrl+S), 終了.
struct MenuFixture : TObject
{
    TForm* form;
    TMainMenu* menu;
    TMenuItem* file;
    TMenuItem* items[5];
    std::vector<std::string> log;

    MenuFixture()
    {
        form = Create<TForm>(nullptr);
        form->SetBounds(40, 40, 400, 300);
        menu = new TMainMenu(form);
        file = NewMenuItem(form, menu->Items(), "FileMenu", "ファイル(&F)", scNone,
                           TNotifyEvent(this, &MenuFixture::Open));
        items[0] = NewMenuItem(form, file, "NewFileMenu", "新規作成(&N)", TextToShortCut("Ctrl+N"),
                               TNotifyEvent(this, &MenuFixture::Click));
        items[1] = NewMenuItem(form, file, "OpenFileMenu", "開く(&O)", TextToShortCut("Ctrl+O"),
                               TNotifyEvent(this, &MenuFixture::Click));
        items[2] = NewMenuItem(form, file, "N1", "-");
        items[3] = NewMenuItem(form, file, "OverWriteMenu", "上書き保存(&S)", TextToShortCut("Ctrl+S"),
                               TNotifyEvent(this, &MenuFixture::Click));
        items[4] =
            NewMenuItem(form, file, "EndMenu", "終了(&X)", scNone, TNotifyEvent(this, &MenuFixture::Click));
        menu->AttachTo(form);
    }
    ~MenuFixture() override { delete form; }

    void Open(TObject* sender) { log.push_back("open " + static_cast<TMenuItem*>(sender)->Name().str()); }
    void Click(TObject* sender) { log.push_back(static_cast<TMenuItem*>(sender)->Name().str()); }
};

TEST(TMainMenu, ItemsMakeTheMenuBarWithCaptionsShortcutsAndStates)
{
    MenuFixture f;
    HMENU bar = GetMenu(f.form->Handle());
    ASSERT_EQ(bar, f.menu->Handle());
    ASSERT_EQ(GetMenuItemCount(bar), 1);
    EXPECT_EQ(ItemText(bar, 0), L"\u30D5\u30A1\u30A4\u30EB(&F)");
    HMENU drop = GetSubMenu(bar, 0);
    ASSERT_EQ(drop, f.file->Handle());
    ASSERT_EQ(GetMenuItemCount(drop), 5);
    EXPECT_EQ(ItemText(drop, 3), L"\u4E0A\u66F8\u304D\u4FDD\u5B58(&S)\tCtrl+S");
    EXPECT_EQ(ItemText(drop, 4), L"\u7D42\u4E86(&X)");
    EXPECT_TRUE(ItemState(drop, 2) & 0x10000); // the line

    f.items[3]->SetEnabled(false);
    f.items[1]->SetChecked(true);
    EXPECT_TRUE(ItemState(drop, 3) & MFS_DISABLED);
    EXPECT_TRUE(ItemState(drop, 1) & MFS_CHECKED);

    // Hidden items are left out; shown again they come back in their place.
    f.items[0]->SetVisible(false);
    ASSERT_EQ(GetMenuItemCount(drop), 4);
    EXPECT_EQ(ItemText(drop, 0), L"\u958B\u304F(&O)\tCtrl+O");
    f.items[0]->SetVisible(true);
    EXPECT_EQ(ItemText(drop, 0), L"\u65B0\u898F\u4F5C\u6210(&N)\tCtrl+N");

    f.items[4]->SetCaption("閉じる");
    f.items[4]->SetShortCut(TextToShortCut("Shift+F3"));
    EXPECT_EQ(ItemText(drop, 4), L"\u9589\u3058\u308B\tShift+F3");

    // An item that gets sub-items once the bar is shown becomes a drop-down.
    TMenuItem* reopen = NewMenuItem(f.form, f.file, "ReopenMenu", "開き直す(&R)");
    EXPECT_EQ(GetSubMenu(drop, 5), nullptr);
    NewMenuItem(f.form, reopen, "RP1", "C:\\a.txt");
    ASSERT_NE(GetSubMenu(drop, 5), nullptr);
    EXPECT_EQ(ItemText(GetSubMenu(drop, 5), 0), L"C:\\a.txt");

    // Freeing an item takes its sub-items and its place with it.
    delete reopen;
    EXPECT_EQ(GetMenuItemCount(drop), 5);
    EXPECT_EQ(f.form->FindComponent("RP1"), nullptr);
}

TEST(TMainMenu, CommandsAndOpeningDropDownsReachTheirItems)
{
    MenuFixture f;
    HWND h = f.form->Handle();
    SendMessageW(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(f.file->Handle()), 0);
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(f.items[3]->Command(), 0), 0);
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(f.items[0]->Command(), 0), 0);
    EXPECT_EQ(f.log, (std::vector<std::string>{"open FileMenu", "OverWriteMenu", "NewFileMenu"}));
}

// A focusable control that logs the keys it gets.
class TKeyProbe : public TCustomControl
{
public:
    using TCustomControl::TCustomControl;
    std::vector<std::string> keys;

protected:
    void WMKeyDown(TWMKey& m) override { keys.push_back("down " + std::to_string(m.CharCode)); }
    void WMChar(TWMChar& m) override { keys.push_back("char " + std::to_string(m.CharCode)); }
};

TEST(TMainMenu, ShortcutKeysReachTheirItemBeforeTheFocusedControl)
{
    struct Case
    {
        const char* name;
        std::set<int> down;
        WORD key;
        const char* item; // item clicked, or ""
        bool controlSeesKey;
    } cases[] = {
        {"Ctrl+S", {VK_CONTROL}, 'S', "OverWriteMenu", false},
        {"Ctrl+N", {VK_CONTROL}, 'N', "NewFileMenu", false},
        {"plain S", {}, 'S', "", true},
        {"Shift+Ctrl+S", {VK_CONTROL, VK_SHIFT}, 'S', "", true},
        {"Ctrl+Q (no item)", {VK_CONTROL}, 'Q', "", true},
        {"Shift+F3 (hidden item)", {VK_SHIFT}, VK_F3, "HiddenMenu", false},
        {"Ctrl+O (disabled item)", {VK_CONTROL}, 'O', "", true},
        {"Ctrl+E (enabled on opening)", {VK_CONTROL}, 'E', "LateMenu", false},
    };
    for (const Case& c : cases)
    {
        MenuFixture f;
        TKeyServices keys;
        f.items[1]->SetEnabled(false);
        TMenuItem* hidden = NewMenuItem(f.form, f.file, "HiddenMenu", "隠し", TextToShortCut("Shift+F3"),
                                        TNotifyEvent(&f, &MenuFixture::Click));
        hidden->SetVisible(false);
        // Disabled until the File menu's opening handler runs, which enables it.
        struct Enabler : TObject
        {
            TMenuItem* late;
            MenuFixture* f;
            void Open(TObject* sender)
            {
                f->Open(sender);
                late->SetEnabled(true);
            }
        } enabler;
        enabler.late = NewMenuItem(f.form, f.file, "LateMenu", "後で", TextToShortCut("Ctrl+E"),
                                   TNotifyEvent(&f, &MenuFixture::Click));
        enabler.late->SetEnabled(false);
        enabler.f = &f;
        f.file->OnClick = TNotifyEvent(&enabler, &Enabler::Open);

        auto* probe = Create<TKeyProbe>(f.form);
        probe->SetBounds(0, 0, 100, 100);
        probe->SetParent(f.form);
        f.form->Show();
        SetForegroundWindow(f.form->Handle());
        probe->SetFocus();
        Application->ProcessMessages();
        f.log.clear();

        keys.down = c.down;
        PostMessageW(probe->Handle(), WM_KEYDOWN, c.key, 1);
        Application->ProcessMessages();

        std::vector<std::string> clicked;
        for (const std::string& s : f.log)
            if (s.rfind("open ", 0) != 0)
                clicked.push_back(s);
        EXPECT_EQ(clicked,
                  std::string(c.item).empty() ? std::vector<std::string>{} : std::vector<std::string>{c.item})
            << c.name;
        bool sawKey = std::find(probe->keys.begin(), probe->keys.end(), "down " + std::to_string(c.key)) !=
                      probe->keys.end();
        EXPECT_EQ(sawKey, c.controlSeesKey) << c.name;
        if (!c.controlSeesKey)
        {
            EXPECT_TRUE(probe->keys.empty()) << c.name << ": " << probe->keys.front();
        }
    }
}

TEST(TMainMenu, AShortcutOnAnotherFormsMenuIsNotTaken)
{
    MenuFixture f;
    TKeyServices keys;
    auto* other = Create<TForm>(nullptr);
    auto* probe = Create<TKeyProbe>(other);
    probe->SetBounds(0, 0, 50, 50);
    probe->SetParent(other);
    other->Show();
    SetForegroundWindow(other->Handle());
    probe->SetFocus();
    Application->ProcessMessages();
    keys.down = {VK_CONTROL};
    PostMessageW(probe->Handle(), WM_KEYDOWN, 'S', 1);
    Application->ProcessMessages();
    EXPECT_TRUE(f.log.empty());
    EXPECT_FALSE(probe->keys.empty());
    delete other;
}

TEST(TMainMenu, FreeingTheFormFirstLeavesTheMenuItsOwn)
{
    // The form owns menu and items; its window goes before them and must not take the menus along.
    auto* form = Create<TForm>(nullptr);
    auto* menu = new TMainMenu(form);
    TMenuItem* top = NewMenuItem(form, menu->Items(), "Top", "上");
    NewMenuItem(form, top, "Sub", "下");
    menu->AttachTo(form);
    HMENU drop = top->Handle();
    form->DestroyHandle();
    EXPECT_TRUE(IsMenu(drop));
    EXPECT_EQ(FindMainMenu(form), nullptr);
    delete form;
    EXPECT_FALSE(IsMenu(drop));
}

} // namespace
