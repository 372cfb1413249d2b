// The standard controls under Wine: real windows on a form, driven by messages (typed characters,
// clicks, notifications, posted keys through the message loop) and read back from the windows.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/Clipbrd.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "platform/StdCtrls.h"
#include "tests/TestKeys.h"
#include "tests/TestServices.h"

#include <imm.h> // after <windows.h>

namespace
{

// Counts events and remembers what the sender's text was when they fired.
struct TEventLog
{
    int count = 0;
    std::vector<std::string> texts;
    void Edit(TObject* sender)
    {
        ++count;
        texts.push_back(static_cast<TEdit*>(sender)->Text().str());
    }
    void Combo(TObject* sender)
    {
        ++count;
        texts.push_back(static_cast<TComboBox*>(sender)->Text().str());
    }
    void Any(TObject*) { ++count; }
};

// Records exceptions that reached a window procedure.
struct TExceptionLog
{
    std::vector<std::string> messages;
    void Handle(TObject*, Exception* e) { messages.push_back(e->Message.str()); }
};

struct FormFixture
{
    TForm* form;
    explicit FormFixture(bool show = true)
    {
        form = Create<TForm>(nullptr);
        form->SetBounds(40, 40, 480, 360);
        if (show)
        {
            form->Show();
            SetForegroundWindow(form->Handle());
        }
    }
    ~FormFixture() { delete form; }

    template <class T>
    T* Add(int left, int top, int width = -1, int height = -1, TWinControl* parent = nullptr)
    {
        auto* c = Create<T>(form);
        c->SetBounds(left, top, width < 0 ? c->Width() : width, height < 0 ? c->Height() : height);
        c->SetParent(parent ? parent : form);
        return c;
    }
};

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[512] = {};
    GetWindowTextW(hwnd, buf, 512);
    return buf;
}

void Type(HWND hwnd, const std::wstring& chars)
{
    for (wchar_t c : chars)
        SendMessageW(hwnd, WM_CHAR, c, 1);
}

// Sends a notification to the parent as the window itself would.
void Notify(TWinControl* control, WORD code)
{
    HWND hwnd = control->Handle();
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

// ---------------------------------------------------------------------------------------------
// Edit

TEST(TEdit, TextRoundTripsCp932ThroughTheWindow)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10, 300);
    const char* texts[] = {"", "abc", "日本語のテキスト", "ソ表能\\", "ｱｲｳｴｵ半角カナ", "①②㈱"};
    for (const char* t : texts)
    {
        edit->SetText(t);
        EXPECT_EQ(WindowText(edit->Handle()), SjisToWide(AnsiString(t))) << t;
        EXPECT_EQ(edit->Text(), AnsiString(t)) << t;
        // And back: what the window holds reads as the same bytes.
        SetWindowTextW(edit->Handle(), SjisToWide(AnsiString(t)).c_str());
        EXPECT_EQ(edit->Text(), AnsiString(t)) << t;
    }
    // The text outlives the window.
    edit->SetText("残る文字列");
    edit->DestroyHandle();
    EXPECT_EQ(edit->Text(), AnsiString("残る文字列"));
    EXPECT_EQ(WindowText(edit->Handle()), L"残る文字列");
}

TEST(TEdit, OnChangeFiresForUserEditsAndForCodeOnlyWhenTheTextChanges)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10);
    TEventLog log;
    edit->OnChange = TNotifyEvent(&log, &TEventLog::Edit);
    struct Step
    {
        const char* what;
        const char* arg;
        int count; // events so far
    } steps[] = {
        {"type", "あ", 1}, {"set", "あ", 1},     {"set", "い", 2},       {"set", "い", 2},
        {"notify", "", 3}, {"type", "a", 4},     {"set", "", 5},         {"set", "", 5},
    };
    for (const Step& s : steps)
    {
        std::string what = s.what;
        if (what == "type")
            Type(edit->Handle(), SjisToWide(AnsiString(s.arg)));
        else if (what == "set")
            edit->SetText(s.arg);
        else
            Notify(edit, EN_CHANGE);
        EXPECT_EQ(log.count, s.count) << what << " " << s.arg;
    }
    EXPECT_EQ(log.texts, (std::vector<std::string>{"あ", "い", "い", "aい", ""})); // typed at the caret
}

TEST(TEdit, MaxLengthCountsCp932BytesForTypingAndPasting)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10, 200);
    struct Case
    {
        int max;
        const char* start;
        int selStart, selLength; // bytes
        const char* typed;
        const char* pasted;
        const char* expected;
    } cases[] = {
        {4, "", 0, 0, "ああa", nullptr, "ああ"},
        {4, "ab", 2, 0, "あい", nullptr, "abあ"},
        {3, "", 0, 0, "aあい", nullptr, "aあ"},
        {5, "", 0, 0, "ｱｲｳｴｵｶ", nullptr, "ｱｲｳｴｵ"},
        {4, "abcd", 1, 2, "あい", nullptr, "aあd"}, // the selection is replaced
        {0, "", 0, 0, "ああああああ", nullptr, "ああああああ"},
        {5, "", 0, 0, nullptr, "あいう", "あい"},        // a double-byte character is not split
        {6, "x", 1, 0, nullptr, "abc\r\ndef", "xabc"}, // first line only
        {4, "ab", 0, 2, nullptr, "漢字表", "漢字"},
    };
    for (const Case& c : cases)
    {
        edit->SetMaxLength(0);
        edit->SetText(c.start);
        edit->SetMaxLength(c.max);
        edit->SetSelStart(c.selStart);
        edit->SetSelLength(c.selLength);
        if (c.typed)
            Type(edit->Handle(), SjisToWide(AnsiString(c.typed)));
        if (c.pasted)
        {
            Clipboard()->SetAsText(c.pasted);
            SendMessageW(edit->Handle(), WM_PASTE, 0, 0);
        }
        EXPECT_EQ(edit->Text(), AnsiString(c.expected)) << c.max << " " << c.start;
    }
}

TEST(TEdit, SelectionIsCountedInCp932Bytes)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10, 200);
    edit->SetText("あいabう");
    struct Case
    {
        int start, length;
        const char* selected;
        int readStart, readLength;
    } cases[] = {
        {0, 2, "あ", 0, 2}, {2, 3, "いa", 2, 3}, {4, 4, "abう", 4, 4}, {6, 9, "う", 6, 2},
        {1, 2, "あ", 0, 2}, // a half character is not selected: the ends move back to a boundary
    };
    for (const Case& c : cases)
    {
        edit->SetSelStart(c.start);
        edit->SetSelLength(c.length);
        EXPECT_EQ(edit->SelText(), AnsiString(c.selected)) << c.start;
        EXPECT_EQ(edit->SelStart(), c.readStart) << c.start;
        EXPECT_EQ(edit->SelLength(), c.readLength) << c.start;
    }
    edit->SetSelStart(2);
    edit->SetSelLength(2);
    edit->SetSelText("漢字");
    EXPECT_EQ(edit->Text(), AnsiString("あ漢字abう"));
}

TEST(TEdit, PasswordCharAndImeModeReachTheWindow)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10);
    edit->SetPasswordChar('*');
    EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), L'*');
    edit->SetText("秘密");
    EXPECT_EQ(edit->Text(), AnsiString("秘密")); // the text, not the stars

    auto* off = f.Add<TEdit>(10, 40);
    off->SetImeMode(imDisable);
    HIMC imc = ImmGetContext(off->Handle());
    EXPECT_EQ(imc, nullptr);
    if (imc)
        ImmReleaseContext(off->Handle(), imc);
    off->SetImeMode(imDontCare);
    imc = ImmGetContext(off->Handle());
    EXPECT_NE(imc, nullptr);
    if (imc)
        ImmReleaseContext(off->Handle(), imc);
}

struct TDigitsOnly
{
    void KeyPress(TObject*, char& key)
    {
        if (key == 13 || (static_cast<unsigned char>(key) >= 32 && (key < '0' || key > '9')))
            key = 0;
    }
    void ToUpper(TObject*, char& key)
    {
        if (key >= 'a' && key <= 'z')
            key = char(key - 32);
    }
};

TEST(TEdit, OnKeyPressCanDropOrChangeTypedCharacters)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10);
    TDigitsOnly filter;
    edit->OnKeyPress = TKeyPressEvent(&filter, &TDigitsOnly::KeyPress);
    Type(edit->Handle(), L"1a2\r3あ4");
    EXPECT_EQ(edit->Text(), AnsiString("1234"));
    edit->SetText("");
    edit->OnKeyPress = TKeyPressEvent(&filter, &TDigitsOnly::ToUpper);
    Type(edit->Handle(), L"abあ");
    EXPECT_EQ(edit->Text(), AnsiString("ABあ"));
}

// ---------------------------------------------------------------------------------------------
// Check box and radio buttons

TEST(TCheckBox, ClicksToggleAndCodeFiresOnlyOnChange)
{
    FormFixture f;
    auto* box = f.Add<TCheckBox>(10, 10);
    box->SetCaption("大文字と小文字を区別");
    TEventLog log;
    box->OnClick = TNotifyEvent(&log, &TEventLog::Any);
    struct Step
    {
        const char* what;
        bool value;
        bool checked;
        int count;
    } steps[] = {
        {"click", false, true, 1}, {"set", true, true, 1},    {"set", false, false, 2},
        {"set", false, false, 2},  {"click", false, true, 3}, {"click", false, false, 4},
    };
    for (const Step& s : steps)
    {
        if (std::string(s.what) == "click")
            SendMessageW(box->Handle(), BM_CLICK, 0, 0);
        else
            box->SetChecked(s.value);
        EXPECT_EQ(box->Checked(), s.checked);
        EXPECT_EQ(SendMessageW(box->Handle(), BM_GETCHECK, 0, 0), s.checked ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(log.count, s.count);
    }
    EXPECT_EQ(WindowText(box->Handle()), L"大文字と小文字を区別");
}

TEST(TRadioButton, OneCheckedPerParentWhateverChecksIt)
{
    FormFixture f;
    auto* group = f.Add<TGroupBox>(200, 10, 200, 120);
    group->SetCaption("範囲");
    std::vector<TRadioButton*> onForm, inGroup;
    for (int i = 0; i < 3; ++i)
        onForm.push_back(f.Add<TRadioButton>(10, 10 + 24 * i));
    for (int i = 0; i < 2; ++i)
        inGroup.push_back(f.Add<TRadioButton>(10, 20 + 24 * i, -1, -1, group));
    std::vector<TRadioButton*> all = onForm;
    all.insert(all.end(), inGroup.begin(), inGroup.end());
    std::vector<int> clicks(all.size());
    struct TCounter
    {
        int* n;
        void Click(TObject*) { ++*n; }
    };
    std::vector<TCounter> counters;
    counters.reserve(all.size());
    for (size_t i = 0; i < all.size(); ++i)
    {
        counters.push_back(TCounter{&clicks[i]});
        all[i]->OnClick = TNotifyEvent(&counters.back(), &TCounter::Click);
    }

    std::mt19937 rng(20261207);
    for (int step = 0; step < 60; ++step)
    {
        size_t i = rng() % all.size();
        int how = int(rng() % 3);
        bool was = all[i]->Checked();
        std::vector<int> before = clicks;
        if (how == 0)
            SendMessageW(all[i]->Handle(), BM_CLICK, 0, 0);
        else
            all[i]->SetChecked(how == 1);
        bool nowChecked = how != 2;
        ASSERT_EQ(all[i]->Checked(), nowChecked) << "seed 20261207 step " << step;
        // OnClick only for the button that became checked.
        for (size_t k = 0; k < all.size(); ++k)
            EXPECT_EQ(clicks[k] - before[k], k == i && nowChecked && !was ? 1 : 0) << "step " << step;
        for (const auto* list : {&onForm, &inGroup})
        {
            int checked = 0;
            for (TRadioButton* r : *list)
            {
                checked += r->Checked();
                EXPECT_EQ(SendMessageW(r->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED, r->Checked());
            }
            EXPECT_LE(checked, 1) << "seed 20261207 step " << step;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Items of combo and list boxes

std::wstring NativeItem(HWND hwnd, bool combo, int i)
{
    int len = int(SendMessageW(hwnd, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, WPARAM(i), 0));
    std::wstring w(size_t(std::max(len, 0)) + 1, L'\0');
    SendMessageW(hwnd, combo ? CB_GETLBTEXT : LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(w.data()));
    w.resize(size_t(std::max(len, 0)));
    return w;
}

TEST(TItemStrings, ComboAndListItemsFollowAModelThroughRandomEdits)
{
    FormFixture f;
    auto* combo = f.Add<TComboBox>(10, 10, 200);
    auto* list = f.Add<TListBox>(10, 60, 200, 150);
    const char* words[] = {"検索", "置換", "abc", "ソ表", "ｶﾅ", "", "長い文字列です"};
    for (int which = 0; which < 2; ++which)
    {
        TStrings* items = which == 0 ? combo->Items() : list->Items();
        HWND hwnd = which == 0 ? combo->Handle() : list->Handle();
        struct Entry
        {
            std::string text;
            TObject* object;
        };
        std::vector<Entry> model;
        std::vector<TObject> objects(8);
        unsigned seed = 4242 + which;
        std::mt19937 rng(seed);
        for (int step = 0; step < 200; ++step)
        {
            int op = int(rng() % 10);
            std::string word = words[rng() % 7];
            TObject* obj = &objects[rng() % objects.size()];
            int n = int(model.size());
            if (op < 3)
            {
                items->AddObject(word.c_str(), obj);
                model.push_back({word, obj});
            }
            else if (op < 5)
            {
                int at = int(rng() % (n + 1));
                items->Insert(at, word.c_str()); // the head insert of a history
                model.insert(model.begin() + at, {word, nullptr});
            }
            else if (op < 7 && n > 0)
            {
                int at = int(rng() % n);
                items->Delete(at);
                model.erase(model.begin() + at);
            }
            else if (op < 9 && n > 0)
            {
                int at = int(rng() % n);
                items->SetStrings(at, word.c_str()); // keeps the object
                model[size_t(at)].text = word;
            }
            else if (rng() % 8 == 0)
            {
                items->Clear();
                model.clear();
            }
            ASSERT_EQ(items->GetCount(), int(model.size())) << "seed " << seed << " step " << step;
            LRESULT native = SendMessageW(hwnd, which == 0 ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
            ASSERT_EQ(native, LRESULT(model.size())) << "seed " << seed << " step " << step;
            for (size_t i = 0; i < model.size(); ++i)
            {
                ASSERT_EQ(items->Strings(int(i)).str(), model[i].text) << "seed " << seed << " step " << step;
                ASSERT_EQ(items->Objects(int(i)), model[i].object) << "seed " << seed << " step " << step;
                ASSERT_EQ(NativeItem(hwnd, which == 0, int(i)), SjisToWide(AnsiString(model[i].text.c_str())))
                    << "seed " << seed << " step " << step;
            }
        }
        EXPECT_THROW(items->Strings(int(model.size())), EListError);
    }
}

// An owner-drawn list's window keeps only the number of items: inside an update the lines added at
// the end reach it at the update's end, and whatever asks the window about an item first brings it
// up to date.
TEST(TListBox, OwnerDrawnWindowFollowsTheItemCountThroughRandomEditsAndUpdates)
{
    FormFixture f;
    auto* list = f.Add<TListBox>(10, 10, 200, 150);
    list->SetStyle(lbOwnerDrawFixed);
    TStrings* items = list->Items();
    const HWND hwnd = list->Handle();
    std::vector<std::string> model;
    const unsigned seed = 777;
    std::mt19937 rng(seed);
    auto windowCount = [&] { return int(SendMessageW(hwnd, LB_GETCOUNT, 0, 0)); };
    int updates = 0;
    for (int step = 0; step < 400; ++step)
    {
        const int n = int(model.size());
        const int op = int(rng() % 12);
        const std::string word = "行" + std::to_string(step);
        if (op < 5)
        {
            items->Add(word.c_str());
            model.push_back(word);
        }
        else if (op == 5)
        {
            const int at = int(rng() % (n + 1));
            items->Insert(at, word.c_str());
            model.insert(model.begin() + at, word);
        }
        else if (op == 6 && n > 0)
        {
            const int at = int(rng() % n);
            items->Delete(at);
            model.erase(model.begin() + at);
        }
        else if (op == 7 && n > 0)
        {
            // Asked about the last line while the window may be behind.
            list->SetItemIndex(n - 1);
            ASSERT_EQ(list->ItemIndex(), n - 1) << "seed " << seed << " step " << step;
            ASSERT_EQ(list->ItemRect(n - 1).Height(), list->ItemHeight()) << "seed " << seed << " step " << step;
        }
        else if (op == 8)
        {
            items->BeginUpdate();
            ++updates;
        }
        else if (op == 9 && updates > 0)
        {
            items->EndUpdate();
            --updates;
        }
        else if (op == 10 && rng() % 6 == 0)
        {
            items->Clear();
            model.clear();
        }
        ASSERT_EQ(items->GetCount(), int(model.size())) << "seed " << seed << " step " << step;
        if (updates == 0)
            ASSERT_EQ(windowCount(), int(model.size())) << "seed " << seed << " step " << step;
        else
            ASSERT_LE(windowCount(), int(model.size())) << "seed " << seed << " step " << step;
    }
    for (; updates > 0; --updates)
        items->EndUpdate();
    EXPECT_EQ(windowCount(), int(model.size()));
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(items->Strings(int(i)).str(), model[i]);
    // The lines are the control's: the window keeps none.
    EXPECT_EQ(GetWindowLongW(hwnd, GWL_STYLE) & (LBS_NODATA | LBS_HASSTRINGS), LBS_NODATA);
    // A window made anew knows every line at once.
    list->SetStyle(lbStandard);
    list->SetStyle(lbOwnerDrawFixed);
    EXPECT_EQ(SendMessageW(list->Handle(), LB_GETCOUNT, 0, 0), LRESULT(model.size()));
}

TEST(TComboBox, ItemIndexAndTextInCodeFireNothingAndAPickFiresWithTheNewText)
{
    FormFixture f;
    auto* combo = f.Add<TComboBox>(10, 10, 200);
    combo->Items()->SetText("一行目\r\n二行目\r\nthird");
    TEventLog changes, clicks;
    combo->OnChange = TNotifyEvent(&changes, &TEventLog::Combo);
    combo->OnClick = TNotifyEvent(&clicks, &TEventLog::Any);

    combo->SetItemIndex(1);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), AnsiString("二行目"));
    combo->SetText("自由な文字");
    EXPECT_EQ(WindowText(combo->Handle()), L"自由な文字");
    EXPECT_EQ(changes.count, 0);

    // A pick by the user: the list's selection moves, then the notification.
    SendMessageW(combo->Handle(), CB_SETCURSEL, 2, 0);
    Notify(combo, CBN_SELCHANGE);
    EXPECT_EQ(changes.texts, (std::vector<std::string>{"third"}));
    EXPECT_EQ(clicks.count, 1);

    // Typing into the edit inside.
    ASSERT_NE(combo->EditHandle(), nullptr);
    SendMessageW(combo->EditHandle(), EM_SETSEL, 0, -1);
    Type(combo->EditHandle(), L"新");
    EXPECT_EQ(combo->Text(), AnsiString("新"));
    EXPECT_EQ(changes.texts.back(), "新");
    EXPECT_EQ(changes.count, 2);

    // Remade with another style, the window gets the items and the selection back.
    combo->SetItemIndex(0);
    combo->SetStyle(csDropDownList);
    EXPECT_EQ(combo->EditHandle(), nullptr);
    EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(combo->ItemIndex(), 0);
    EXPECT_EQ(combo->Text(), AnsiString("一行目"));
    combo->SetText("third"); // a drop-down list selects the item of that text
    EXPECT_EQ(combo->ItemIndex(), 2);
    EXPECT_EQ(changes.count, 2);
}

struct TKeyLog
{
    std::vector<int> downs;
    std::string presses;
    void KeyDown(TObject*, WORD& key, TShiftState)
    {
        downs.push_back(key);
        if (key == VK_F5)
            key = 0;
    }
    void KeyPress(TObject*, char& key)
    {
        presses += key;
        if (key == 'x')
            key = 0;
    }
};

TEST(TComboBox, KeysToTheEditInsideAreTheComboBoxsKeyEvents)
{
    FormFixture f;
    auto* combo = f.Add<TComboBox>(10, 10, 200);
    TKeyLog keys;
    combo->OnKeyDown = TKeyEvent(&keys, &TKeyLog::KeyDown);
    combo->OnKeyPress = TKeyPressEvent(&keys, &TKeyLog::KeyPress);
    HWND edit = combo->EditHandle();
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_KEYDOWN, VK_F5, 0);
    SendMessageW(edit, WM_KEYDOWN, 'A', 0);
    Type(edit, L"axb");
    EXPECT_EQ(keys.downs, (std::vector<int>{VK_F5, 'A'}));
    EXPECT_EQ(keys.presses, "axb");
    EXPECT_EQ(combo->Text(), AnsiString("ab"));
}

// ---------------------------------------------------------------------------------------------
// List box

struct TDrawLog
{
    TListBox* list = nullptr;
    std::vector<int> indexes;
    std::vector<TRect> rects;
    bool canvasHadDC = true;
    bool selectedBrush = false;
    void Draw(TWinControl* control, int index, const TRect& rect, TOwnerDrawState state)
    {
        EXPECT_EQ(control, list);
        indexes.push_back(index);
        rects.push_back(rect);
        canvasHadDC = canvasHadDC && list->Canvas()->HandleAllocated();
        if (state.Contains(odSelected))
            selectedBrush = list->Canvas()->Brush()->Color() == clHighlight;
        list->Canvas()->FillRect(rect);
        list->Canvas()->TextOut(rect.Left, rect.Top, list->Items()->Strings(index));
    }
};

TEST(TListBox, OwnerDrawnItemsAreDrawnByOnDrawItemOnTheCanvas)
{
    FormFixture f;
    auto* list = f.Add<TListBox>(10, 10, 200, 150);
    list->SetStyle(lbOwnerDrawFixed);
    list->SetItemHeight(12);
    TDrawLog log;
    log.list = list;
    list->OnDrawItem = TDrawItemEvent(&log, &TDrawLog::Draw);
    TObject hit1, hit2;
    list->Items()->AddObject("検索結果 1", &hit1);
    list->Items()->AddObject("検索結果 2", &hit2);
    list->Items()->Add("見つかりません");
    list->SetItemIndex(1);
    log.indexes.clear();
    log.rects.clear();
    list->Repaint();
    EXPECT_EQ(SendMessageW(list->Handle(), LB_GETITEMHEIGHT, 0, 0), 12);
    ASSERT_EQ(log.indexes, (std::vector<int>{0, 1, 2}));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(log.rects[size_t(i)], list->ItemRect(i));
    EXPECT_TRUE(log.canvasHadDC);
    EXPECT_TRUE(log.selectedBrush);
    EXPECT_FALSE(list->Canvas()->HandleAllocated()); // the item's DC is handed back
    EXPECT_EQ(list->Items()->Objects(0), &hit1);
    EXPECT_EQ(list->Items()->Objects(1), &hit2);
    EXPECT_EQ(list->Items()->Objects(2), nullptr);
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 13), true), 1);
    EXPECT_EQ(list->ItemAtPos(TPoint(5, 100), true), -1);
}

TEST(TListBox, BeginUpdateSuspendsRedrawUntilTheOutermostEndUpdate)
{
    FormFixture f;
    auto* list = f.Add<TListBox>(10, 10, 200, 150);
    list->SetStyle(lbOwnerDrawFixed);
    TDrawLog log;
    log.list = list;
    list->OnDrawItem = TDrawItemEvent(&log, &TDrawLog::Draw);
    list->Repaint();
    list->Items()->BeginUpdate();
    list->Items()->BeginUpdate();
    for (int i = 0; i < 50; ++i)
        list->Items()->Add(AnsiString("行 ") + AnsiString(i));
    list->Invalidate();
    list->Update();
    list->Items()->EndUpdate();
    list->Update();
    EXPECT_TRUE(log.indexes.empty()); // still inside the outer update
    list->Items()->EndUpdate();
    list->Update();
    EXPECT_FALSE(log.indexes.empty());
    EXPECT_EQ(SendMessageW(list->Handle(), LB_GETCOUNT, 0, 0), 50);
}

TEST(TListBox, AnUpdateThatChangesNothingLeavesNothingToRepaint)
{
    FormFixture f;
    for (TListBoxStyle style : {lbStandard, lbOwnerDrawFixed})
    {
        auto* list = f.Add<TListBox>(10, 10, 200, 150);
        list->SetStyle(style);
        list->Items()->Add("一行目");
        list->Repaint();
        const struct
        {
            const char* name;
            void (*change)(TStrings*);
            bool repaint;
        } rounds[] = {
            {"nothing", [](TStrings*) {}, false},
            {"a line added", [](TStrings* s) { s->Add("二行目"); }, true},
            {"an object set", [](TStrings* s) { s->PutObject(0, nullptr); }, true},
            {"a line deleted", [](TStrings* s) { s->Delete(s->GetCount() - 1); }, true},
        };
        for (const auto& r : rounds)
        {
            SCOPED_TRACE(r.name);
            ValidateRect(list->Handle(), nullptr);
            list->Items()->BeginUpdate();
            r.change(list->Items());
            list->Items()->EndUpdate();
            EXPECT_EQ(GetUpdateRect(list->Handle(), nullptr, FALSE) != FALSE, r.repaint) << "style " << int(style);
        }
    }
}

TEST(TListBox, SelectionAndDoubleClickEventsComeFromTheWindow)
{
    FormFixture f;
    auto* list = f.Add<TListBox>(10, 10, 200, 150);
    list->Items()->SetText("a\r\nb\r\nc");
    TEventLog clicks, doubles;
    list->OnClick = TNotifyEvent(&clicks, &TEventLog::Any);
    list->OnDblClick = TNotifyEvent(&doubles, &TEventLog::Any);
    list->SetItemIndex(2);
    EXPECT_EQ(clicks.count, 0);
    TRect r = list->ItemRect(1);
    LPARAM at = MAKELPARAM(r.Left + 3, r.Top + 2);
    SendMessageW(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(list->ItemIndex(), 1);
    EXPECT_EQ(clicks.count, 1);
    Notify(list, LBN_DBLCLK);
    EXPECT_EQ(doubles.count, 1);
}

// ---------------------------------------------------------------------------------------------
// Label and group box

TEST(TLabel, CaptionRoundTripsAndAutoSizeFollowsTheText)
{
    FormFixture f;
    auto* label = f.Add<TLabel>(10, 10);
    label->SetCaption("↓一括検索時有効↓");
    EXPECT_EQ(label->Caption(), AnsiString("↓一括検索時有効↓"));
    EXPECT_EQ(WindowText(label->Handle()), L"↓一括検索時有効↓");
    int wide = label->Width();
    label->SetCaption("短");
    EXPECT_LT(label->Width(), wide);
    EXPECT_GT(label->Width(), 0);
    label->SetAutoSize(false);
    label->SetWidth(300);
    label->SetCaption("固定幅");
    EXPECT_EQ(label->Width(), 300);
    label->Repaint(); // paints without the caller's help
}

// The pixels a label paints, row by row, and the height of its letters above the baseline.
struct TLabelImage
{
    std::vector<std::vector<DWORD>> rows;
    int ascent = 0;
};

TLabelImage PaintedLabel(FormFixture& f, const char* caption, bool showAccelChar)
{
    auto* label = f.Add<TLabel>(10, 200);
    label->SetShowAccelChar(showAccelChar);
    label->SetCaption(caption);
    const int w = 200, h = 40; // the same canvas for every caption, whatever the label's size
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    label->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    GdiFlush();
    TLabelImage image;
    auto* px = static_cast<const DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        image.rows.emplace_back(px + y * w, px + (y + 1) * w);
    SelectObject(dc, label->Font()->Handle());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    image.ascent = tm.tmAscent;
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    delete label;
    return image;
}

TEST(TLabel, AccessKeyShowsUnderlinedAndDoubledAmpersandShowsOnce)
{
    FormFixture f;
    // The access key is the letter underlined: above the baseline the label looks as the text
    // without "&", and below it something (the underline) is added.
    TLabelImage key = PaintedLabel(f, "検索文字列(&S)", true);
    TLabelImage plain = PaintedLabel(f, "検索文字列(S)", false);
    ASSERT_GT(key.ascent, 4);
    for (int y = 0; y < key.ascent; ++y)
        EXPECT_EQ(key.rows[size_t(y)], plain.rows[size_t(y)]) << "row " << y;
    EXPECT_NE(key.rows, plain.rows);
    // "&&" is one "&"; a label without access keys shows every "&" as typed.
    EXPECT_EQ(PaintedLabel(f, "A&&B", true).rows, PaintedLabel(f, "A&B", false).rows);
    EXPECT_NE(PaintedLabel(f, "A&B", false).rows, PaintedLabel(f, "AB", false).rows);

    // An auto-sized label is as wide as what it shows, whatever bounds it was given.
    auto* label = f.Add<TLabel>(10, 10, 300, 60);
    label->SetCaption("ファイル名(&F)");
    const int keyed = label->Width();
    label->SetShowAccelChar(false);
    EXPECT_GT(label->Width(), keyed); // now the "&" shows too
    label->SetCaption("ファイル名(F)");
    EXPECT_EQ(label->Width(), keyed);
    label->SetBounds(10, 10, 300, 60);
    EXPECT_EQ(label->Width(), keyed);
    EXPECT_LT(label->Height(), 30);
}

// ---------------------------------------------------------------------------------------------
// Up-down

struct TUpDownLog
{
    std::vector<std::pair<int, TUpDownDirection>> asked;
    bool allow = true;
    void ChangingEx(TObject*, bool& allowChange, int newValue, TUpDownDirection direction)
    {
        asked.push_back({newValue, direction});
        allowChange = allow;
    }
};

TEST(TUpDown, ThirtyTwoBitRangeShownInItsAssociate)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10, 120);
    auto* ud = f.Add<TUpDown>(130, 10);
    ud->SetThousands(false);
    ud->SetMin(-2000000000);
    ud->SetMax(2000000000);
    ud->SetAssociate(edit);
    struct Case
    {
        int set, expected;
    } cases[] = {{0, 0}, {1999999999, 1999999999}, {-2000000000, -2000000000}, {2147483647, 2000000000},
                 {-2147483647, -2000000000}, {70000, 70000}};
    for (const Case& c : cases)
    {
        ud->SetPosition(c.set);
        EXPECT_EQ(ud->Position(), c.expected) << c.set;
        EXPECT_EQ(edit->Text(), AnsiString(c.expected)) << c.set;
    }
    // Typed into the associate, the number is the position.
    edit->SetText("123456");
    EXPECT_EQ(ud->Position(), 123456);
    // The up-down sits at the associate's right.
    EXPECT_NEAR(ud->Left(), edit->Left() + edit->Width(), 2); // over the edit's border
}

TEST(TUpDown, ArrowKeysAskOnChangingExWhichMayRefuse)
{
    FormFixture f;
    auto* edit = f.Add<TEdit>(10, 10, 80);
    auto* ud = f.Add<TUpDown>(100, 10);
    ud->SetMin(1);
    ud->SetMax(16);
    ud->SetAssociate(edit);
    ud->SetPosition(4);
    TUpDownLog log;
    ud->OnChangingEx = TUDChangingEventEx(&log, &TUpDownLog::ChangingEx);
    TEventLog edits;
    edit->OnChange = TNotifyEvent(&edits, &TEventLog::Edit);

    SendMessageW(edit->Handle(), WM_KEYDOWN, VK_UP, 1);
    SendMessageW(edit->Handle(), WM_KEYUP, VK_UP, 0xC0000001);
    EXPECT_EQ(ud->Position(), 5);
    EXPECT_EQ(edit->Text(), AnsiString("5"));
    log.allow = false;
    SendMessageW(edit->Handle(), WM_KEYDOWN, VK_DOWN, 1);
    SendMessageW(edit->Handle(), WM_KEYUP, VK_DOWN, 0xC0000001);
    EXPECT_EQ(ud->Position(), 5);
    ASSERT_EQ(log.asked.size(), 2u);
    EXPECT_EQ(log.asked[0], std::make_pair(5, updUp));
    EXPECT_EQ(log.asked[1], std::make_pair(4, updDown));
    EXPECT_EQ(edits.texts, (std::vector<std::string>{"5"}));
}

// The up-downs of the program's dialogs, each as its dialog sets it up: what the arrows make of
// the position is what Position reads back, with or without an associate.
TEST(TUpDown, ClickedArrowsMoveThePositionReadBack)
{
    FormFixture f;
    const struct
    {
        const char* use;
        int min, max, start;
        bool thousands, associate;
        const char* clicks; // + up, - down
        int expected;
    } cases[] = {
        {"print margin", 0, 99, 38, true, false, "+++-", 40},
        {"print margin at its top", 0, 99, 98, true, false, "+++", 99},
        {"editor line spacing", 0, 99, 0, false, false, "--++", 2},
        {"editor tab size", 1, 16, 8, false, false, "----", 4},
        {"line to jump to", 1, 70000, 69998, false, false, "+++-", 69999},
        {"with an associate", 0, 99, 5, true, true, "++-+", 7},
    };
    int x = 10;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.use);
        TEdit* edit = c.associate ? f.Add<TEdit>(x, 10, 60) : nullptr;
        auto* ud = f.Add<TUpDown>(x + 60, 10, 16, 40);
        x += 80;
        ud->SetThousands(c.thousands);
        ud->SetMin(c.min);
        ud->SetMax(c.max);
        ud->SetAssociate(edit);
        ud->SetPosition(c.start);
        for (const char* k = c.clicks; *k; ++k)
            ASSERT_TRUE(ClickWindow(ud->Handle(), *k == '+' ? 0.25 : 0.75));
        if (edit)
        {
            EXPECT_EQ(edit->Text(), AnsiString(c.expected));
            // Text that is no number leaves the last good position, not 0.
            edit->SetText("abc");
        }
        EXPECT_EQ(ud->Position(), c.expected);
        if (!edit)
            continue;
        edit->SetText("12");
        EXPECT_EQ(ud->Position(), 12);
    }
}

TEST(TTrackBar, KeysAndCodeMoveThePositionWithinItsRangeAndOnChangeFiresOncePerChange)
{
    FormFixture f;
    auto* bar = f.Add<TTrackBar>(10, 10, 200);
    bar->SetMax(255);
    bar->SetPageSize(16);
    TEventLog changes;
    bar->OnChange = TNotifyEvent(&changes, &TEventLog::Any);
    bar->SetPosition(300); // clamped
    EXPECT_EQ(bar->Position(), 255);
    bar->SetPosition(255); // no change, no event
    EXPECT_EQ(changes.count, 1);
    // Keys reach the parent as WM_HSCROLL, which comes back to the bar.
    SendMessageW(bar->Handle(), WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_EQ(bar->Position(), 239);
    SendMessageW(bar->Handle(), WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(bar->Position(), 0);
    EXPECT_EQ(changes.count, 3);
}

// ---------------------------------------------------------------------------------------------
// Dialog keys

class TDialogForm : public TForm
{
public:
    using TForm::TForm;

protected:
    void Dispatch(TMessage& message) override
    {
        if (message.Msg == WM_APP) // the end of a plan: nothing ended the loop before
        {
            SetModalResult(mrAbort);
            return;
        }
        TForm::Dispatch(message);
    }
};

TEST(TCustomForm, EnterClicksTheDefaultButtonAndEscTheCancelButtonInAModalForm)
{
    struct Case
    {
        const char* focus; // "edit", "ok", "cancel", "combo", "check"
        std::vector<WPARAM> keys;
        bool withDefault;
        TModalResult expected;
        int okClicks;
    } cases[] = {
        {"edit", {VK_RETURN}, true, mrOk, 1},
        {"edit", {VK_ESCAPE}, true, mrCancel, 0},
        {"combo", {VK_RETURN}, true, mrOk, 1},
        {"check", {VK_ESCAPE}, true, mrCancel, 0},
        {"cancel", {VK_RETURN}, true, mrCancel, 0}, // the focused button takes Enter
        {"edit", {VK_RETURN, VK_ESCAPE}, false, mrCancel, 0},
        {"edit", {'A'}, true, mrAbort, 0},
    };
    for (const Case& c : cases)
    {
        auto* form = Create<TDialogForm>(nullptr);
        form->SetBounds(60, 60, 300, 200);
        form->SetBorderStyle(bsDialog);
        auto* edit = Create<TEdit>(form);
        edit->SetParent(form);
        auto* combo = Create<TComboBox>(form);
        combo->SetBounds(10, 40, 120, 21);
        combo->SetParent(form);
        auto* check = Create<TCheckBox>(form);
        check->SetBounds(10, 70, 120, 17);
        check->SetParent(form);
        auto* ok = Create<TButton>(form);
        ok->SetBounds(10, 120, 75, 25);
        ok->SetCaption("OK");
        ok->SetParent(form);
        ok->SetModalResult(mrOk);
        ok->SetDefault(c.withDefault);
        auto* cancel = Create<TButton>(form);
        cancel->SetBounds(100, 120, 75, 25);
        cancel->SetCaption("キャンセル");
        cancel->SetParent(form);
        cancel->SetModalResult(mrCancel);
        cancel->SetCancel(true);
        TEventLog okLog;
        ok->OnClick = TNotifyEvent(&okLog, &TEventLog::Any);

        std::string focus = c.focus;
        TWinControl* focused = focus == "edit"     ? static_cast<TWinControl*>(edit)
                               : focus == "ok"     ? ok
                               : focus == "cancel" ? cancel
                               : focus == "combo"  ? static_cast<TWinControl*>(combo)
                                                   : check;
        form->SetActiveControl(focused);
        form->HandleNeeded();
        HWND target = focused == combo ? combo->EditHandle() : focused->Handle();
        ASSERT_NE(target, nullptr);
        for (WPARAM key : c.keys)
            PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(form->Handle(), WM_APP, 0, 0);
        TModalResult result = form->ShowModal();
        EXPECT_EQ(result, c.expected) << c.focus << " " << c.keys[0];
        EXPECT_EQ(okLog.count, c.okClicks) << c.focus;
        delete form;
        Application->ProcessMessages(); // whatever the plan left goes to no window
    }
}

TEST(TCustomForm, AccessKeysClickButtonsToggleChecksAndLabelsFocusTheirControlsSelected)
{
    TKeyServices keys;
    FormFixture f;
    auto* first = f.Add<TEdit>(200, 10);
    auto* named = f.Add<TLabel>(10, 40);
    named->SetCaption("名前(&N)");
    auto* skipped = f.Add<TEdit>(200, 70);
    auto* target = f.Add<TEdit>(200, 100);
    named->SetFocusControl(target); // named explicitly, not the next one
    auto* next = f.Add<TLabel>(10, 130);
    next->SetCaption("次(&X)");
    auto* combo = f.Add<TComboBox>(200, 130);
    auto* run = f.Add<TButton>(10, 170);
    run->SetCaption("実行(&R)");
    auto* check = f.Add<TCheckBox>(10, 200, 150);
    check->SetCaption("大小(&C)");
    auto* radio = f.Add<TRadioButton>(10, 230, 150);
    radio->SetCaption("前方(&F)");
    auto* literal = f.Add<TLabel>(10, 260);
    literal->SetShowAccelChar(false);
    literal->SetCaption("a&Z");
    auto* after = f.Add<TEdit>(200, 260);
    TEventLog runs;
    run->OnClick = TNotifyEvent(&runs, &TEventLog::Any);
    for (TEdit* e : {first, skipped, target, after})
        e->SetText("ab");
    combo->SetText("cd");

    struct Case
    {
        const char* name;
        TWinControl* from;
        TKeyStep key;
        TWinControl* focus; // afterwards (its text selected whole when it has text)
        int runs;
        bool checked;
        bool radio;
        const char* firstText;
    } cases[] = {
        {"Alt+N", first, {'N', true}, target, 0, false, false, "ab"},
        {"N in an edit is text", first, {'N'}, first, 0, false, false, "abn"},
        {"X on a button", run, {'X'}, combo, 0, false, false, "ab"},
        {"Alt+X", first, {'X', true}, combo, 0, false, false, "ab"},
        {"Alt+R", first, {'R', true}, first, 1, false, false, "ab"},
        {"R on a button", check, {'R'}, check, 1, false, false, "ab"},
        {"Alt+C", first, {'C', true}, check, 0, true, false, "ab"},
        {"Alt+F", first, {'F', true}, radio, 0, false, true, "ab"},
        {"Alt+Z is no access key", first, {'Z', true}, first, 0, false, false, "ab"},
    };
    for (const Case& c : cases)
    {
        first->SetText("ab");
        check->SetChecked(false);
        radio->SetChecked(false);
        runs.count = 0;
        c.from->SetFocus();
        if (c.from == first)
            SendMessageW(first->Handle(), EM_SETSEL, 2, 2); // the caret at the end
        TKeyScript script(keys, {c.key});
        for (int guard = 0; guard < 10000 && !script.Done(); ++guard)
            Application->HandleMessage();
        Application->ProcessMessages();
        HWND focus = GetFocus();
        EXPECT_TRUE(focus == c.focus->Handle() || GetParent(focus) == c.focus->Handle()) << c.name;
        EXPECT_EQ(runs.count, c.runs) << c.name;
        EXPECT_EQ(check->Checked(), c.checked) << c.name;
        EXPECT_EQ(radio->Checked(), c.radio) << c.name;
        EXPECT_EQ(first->Text(), AnsiString(c.firstText)) << c.name;
        if (c.focus == target)
        {
            EXPECT_EQ(target->SelLength(), 2) << c.name;
        }
        if (c.focus == combo)
        {
            DWORD start = 0, end = 0;
            SendMessageW(combo->Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(std::make_pair(start, end), std::make_pair(DWORD(0), DWORD(2))) << c.name;
        }
    }
}

namespace
{
// Logs the enter and exit events by control name; the controls named in `refuse` take the focus
// back when left, as a field with a wrong value does (bounded, so a fault cannot loop for ever).
struct TFocusLog : TObject
{
    std::vector<std::string> events;
    std::set<std::string> refuse;
    void Enter(TObject* sender) { events.push_back("enter " + static_cast<TComponent*>(sender)->Name().str()); }
    void Exit(TObject* sender)
    {
        auto* control = static_cast<TWinControl*>(sender);
        events.push_back("exit " + control->Name().str());
        if (refuse.count(control->Name().str()) && events.size() < 40)
            control->SetFocus();
    }
    void Watch(TWinControl* control, const char* name)
    {
        control->SetName(name);
        control->OnEnter = TNotifyEvent(this, &TFocusLog::Enter);
        control->OnExit = TNotifyEvent(this, &TFocusLog::Exit);
    }
};
} // namespace

TEST(TCustomForm, FocusMovingBetweenItsControlsFiresExitThenEnterAndARefusedExitEndsThere)
{
    TKeyServices keys;
    FormFixture f;
    FormFixture other;
    TFocusLog log;
    auto* a = f.Add<TEdit>(10, 10);
    auto* b = f.Add<TEdit>(10, 40);
    auto* c = f.Add<TEdit>(10, 70);
    auto* combo = f.Add<TComboBox>(10, 100);
    auto* elsewhere = other.Add<TEdit>(10, 10);
    log.Watch(a, "a");
    log.Watch(b, "b");
    log.Watch(c, "c");
    log.Watch(combo, "combo");
    SetForegroundWindow(f.form->Handle());
    Application->ProcessMessages();
    HWND comboEdit = GetWindow(combo->Handle(), GW_CHILD);
    ASSERT_NE(comboEdit, nullptr);
    const struct
    {
        const char* name;
        std::function<void()> move;
        std::set<std::string> refuse;
        std::vector<std::string> events;
        TWinControl* focused; // afterwards (the form's active control too, unless in the other form)
    } steps[] = {
        {"to a", [&] { a->SetFocus(); }, {}, {"enter a"}, a},
        {"a to b", [&] { b->SetFocus(); }, {}, {"exit a", "enter b"}, b},
        {"b again", [&] { b->SetFocus(); }, {}, {}, b},
        {"a click into the combo box's edit", [&] { ::SetFocus(comboEdit); }, {}, {"exit b", "enter combo"},
         combo},
        {"to another form", [&] { SetForegroundWindow(other.form->Handle()); elsewhere->SetFocus(); }, {}, {},
         elsewhere},
        {"back to the form", [&] { SetForegroundWindow(f.form->Handle()); }, {}, {}, combo},
        {"combo to a", [&] { a->SetFocus(); }, {}, {"exit combo", "enter a"}, a},
        // a refuses to be left: c is not entered, so it is not left either when the focus goes back.
        {"a refuses c", [&] { c->SetFocus(); }, {"a", "c"}, {"exit a"}, a},
        {"a refuses c again", [&] { c->SetFocus(); }, {"a", "c"}, {"exit a"}, a},
        {"a refuses b", [&] { b->SetFocus(); }, {"a", "b", "c"}, {"exit a"}, a},
        {"a lets go", [&] { c->SetFocus(); }, {"c"}, {"exit a", "enter c"}, c},
    };
    for (const auto& s : steps)
    {
        log.events.clear();
        log.refuse = s.refuse;
        s.move();
        Application->ProcessMessages();
        EXPECT_EQ(log.events, s.events) << s.name;
        HWND focus = GetFocus();
        EXPECT_TRUE(focus == s.focused->Handle() || GetParent(focus) == s.focused->Handle()) << s.name;
        EXPECT_EQ(f.form->ActiveControl(), s.focused == elsewhere ? combo : s.focused) << s.name;
    }
}

TEST(TCustomForm, TabMovesTheFocusAlongTheTabStops)
{
    TKeyServices keys;
    FormFixture f;
    auto* first = f.Add<TEdit>(10, 10);
    auto* button = f.Add<TButton>(10, 40);
    auto* label = f.Add<TLabel>(10, 70); // no tab stop
    auto* group = f.Add<TGroupBox>(150, 10, 200, 120);
    auto* r1 = f.Add<TRadioButton>(10, 20, -1, -1, group);
    auto* r2 = f.Add<TRadioButton>(10, 44, -1, -1, group);
    auto* last = f.Add<TComboBox>(10, 100);
    auto* disabled = f.Add<TCheckBox>(10, 130);
    disabled->SetEnabled(false);
    r2->SetChecked(true); // only the checked radio button of a group is a tab stop
    (void)label;
    (void)r1;
    first->SetFocus();
    auto press = [&] {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        Application->ProcessMessages();
        return GetFocus();
    };
    auto owner = [&](HWND h) { return GetParent(h) == last->Handle() ? last->Handle() : h; };
    std::vector<HWND> forward = {button->Handle(), r2->Handle(), last->Handle(), first->Handle()};
    for (HWND expected : forward)
        EXPECT_EQ(owner(press()), expected);
    keys.down.insert(VK_SHIFT);
    std::vector<HWND> backward = {last->Handle(), r2->Handle(), button->Handle()};
    for (HWND expected : backward)
        EXPECT_EQ(owner(press()), expected);
}

// ---------------------------------------------------------------------------------------------
// Exceptions in handlers

struct TThrower
{
    void Notify(TObject*) { throw EInvalidOperation("通知で失敗"); }
    void Draw(TWinControl*, int, const TRect&, TOwnerDrawState) { throw EInvalidOperation("描画で失敗"); }
    void Key(TObject*, WORD&, TShiftState) { throw EInvalidOperation("キーで失敗"); }
    void Changing(TObject*, bool&, int, TUpDownDirection) { throw EInvalidOperation("変更で失敗"); }
};

TEST(TStdControl, NoExceptionFromAHandlerCrossesTheWindowProcedure)
{
    FormFixture f;
    TExceptionLog errors;
    Application->OnException = TExceptionEvent(&errors, &TExceptionLog::Handle);
    TThrower thrower;
    auto* button = f.Add<TButton>(10, 10);
    auto* edit = f.Add<TEdit>(10, 40);
    auto* check = f.Add<TCheckBox>(10, 70);
    auto* combo = f.Add<TComboBox>(10, 100);
    auto* list = f.Add<TListBox>(200, 10, 150, 100);
    auto* udEdit = f.Add<TEdit>(200, 150, 60);
    auto* ud = f.Add<TUpDown>(260, 150);
    button->OnClick = TNotifyEvent(&thrower, &TThrower::Notify);
    edit->OnChange = TNotifyEvent(&thrower, &TThrower::Notify);
    check->OnClick = TNotifyEvent(&thrower, &TThrower::Notify);
    combo->OnKeyDown = TKeyEvent(&thrower, &TThrower::Key);
    list->SetStyle(lbOwnerDrawFixed);
    list->Items()->Add("行");
    list->OnDrawItem = TDrawItemEvent(&thrower, &TThrower::Draw);
    ud->SetAssociate(udEdit);
    ud->OnChangingEx = TUDChangingEventEx(&thrower, &TThrower::Changing);

    SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    Type(edit->Handle(), L"a");
    SendMessageW(check->Handle(), BM_CLICK, 0, 0);
    SendMessageW(combo->EditHandle(), WM_KEYDOWN, 'A', 0);
    list->Repaint();
    SendMessageW(udEdit->Handle(), WM_KEYDOWN, VK_UP, 1);
    Application->OnException = nullptr;

    std::vector<std::string> expected = {"通知で失敗", "通知で失敗", "通知で失敗", "キーで失敗", "描画で失敗",
                                         "変更で失敗"};
    EXPECT_EQ(errors.messages, expected);
    // The controls go on working.
    EXPECT_EQ(edit->Text(), AnsiString("a"));
    EXPECT_EQ(udEdit->Text(), AnsiString(ud->Position()));
}

} // namespace

// A label painted by the layer greys its text when disabled: enabling or disabling it must bring
// a repaint, or it keeps the look it had.
TEST(TLabel, EnablingOrDisablingRepaintsIt)
{
    FormFixture f;
    auto* label = f.Add<TLabel>(10, 10);
    label->SetCaption("設定するショートカット");
    for (bool enabled : {false, true})
    {
        UpdateWindow(label->Handle());
        label->SetEnabled(enabled);
        RECT pending{};
        EXPECT_TRUE(GetUpdateRect(label->Handle(), &pending, FALSE)) << enabled;
    }
}

TEST(TLabel, ATransparentOneShowsWhatItsParentPaintsBehindIt)
{
    FormFixture f;
    f.form->SetColor(clRed);
    auto* label = f.Add<TLabel>(10, 10);
    label->SetCaption("あ");
    auto corner = [&] {
        label->Repaint();
        HDC dc = GetDC(label->Handle());
        COLORREF c = GetPixel(dc, label->Width() - 1, label->Height() - 1);
        ReleaseDC(label->Handle(), dc);
        return c;
    };
    EXPECT_EQ(corner(), GetSysColor(COLOR_BTNFACE));
    label->SetTransparent(true);
    EXPECT_EQ(corner(), RGB(255, 0, 0));
}
