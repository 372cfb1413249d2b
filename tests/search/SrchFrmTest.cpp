// The find dialog on real editor pages: find next and previous across folds with the case and
// whole-word options, the not-found box, and the batch search handing its hits to a sink.
#include <gtest/gtest.h>

#include "tests/TestKeys.h"
#include "tests/TestServices.h"

#include <windows.h>

#include <string>
#include <vector>

#include "common/WexmoorDef.h"
#include "platform/Clipbrd.h"
#include "platform/Services.h"
#include "search/FileSrchFrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "search/SrchResults.h"
#include "tests/editor_page/PageTestUtil.h"

namespace
{
struct THit
{
    nsRichEdit* editor;
    TPoint point;
    std::string pattern;
    int color;
    bool operator==(const THit&) const = default;
};

class TFakeSink : public TSrchResultsSink
{
public:
    TFakeSink() : previous_(SetSrchResultsSink(this)) {}
    ~TFakeSink() override
    {
        SetSrchResultsSink(previous_);
        ClearHits();
    }
    void ClearHits() override
    {
        for (typSrchPack* p : packs)
            delete p;
        packs.clear();
        lines.clear();
        ++clears;
    }
    void AddHit(typSrchPack* pack) override
    {
        EXPECT_TRUE(inBatch);
        packs.push_back(pack);
        lines.push_back(pack->LineText.str());
    }
    void AddLine(const AnsiString& text) override { lines.push_back(text.str()); }
    void ShowResults() override { ++shows; }
    void BeginHits() override { inBatch = true; }
    void EndHits() override { inBatch = false; }

    std::vector<THit> Hits() const
    {
        std::vector<THit> hits;
        for (typSrchPack* p : packs)
            hits.push_back({p->Editor, p->HitPoint, p->Pattern.str(), p->Color});
        return hits;
    }
    std::vector<typSrchPack*> packs;
    std::vector<std::string> lines;
    int clears = 0;
    int shows = 0;
    bool inBatch = false;

private:
    TSrchResultsSink* previous_;
};

TSrchForm* NewForm(nsRichEdit* active, std::vector<nsRichEdit*> all = {})
{
    auto* form = Create<TSrchForm>(nullptr);
    form->SettingsKey = "Software\\VarnoletTest\\Find";
    form->ActiveEditor = [active] { return active; };
    form->OpenEditors = [all] { return all; };
    return form;
}

// Logical start of the selection after each press, until the not-found box.
std::vector<TPoint> Presses(TSrchForm* form, nsRichEdit& ed, TBoxServices& services, bool forward)
{
    std::vector<TPoint> hits;
    services.boxes.clear();
    for (int guard = 0; guard < 50 && services.boxes.empty(); ++guard)
    {
        const TPoint before = ed.GetCaret();
        forward ? form->NextBtnClick(form) : form->PrevBtnClick(form);
        if (!services.boxes.empty())
        {
            EXPECT_EQ(ed.GetCaret(), before) << "a failed search moved the caret";
            break;
        }
        const TPoint s = ed.SelArea()->GetStartPoint();
        hits.push_back(TPoint(ed.LogicalPos(s), s.y));
    }
    return hits;
}

TEST(Find, NextAndPrevious_FindEveryHitAcrossFoldsWithTheOptions)
{
    struct Case
    {
        std::vector<std::string> rows;
        const char* pattern;
        bool caseSensitive;
        bool wholeWord;
        std::vector<TPoint> hits;
    } cases[] = {
        {{"ab Ab\r", "xAB"}, "ab", false, false, {{0, 0}, {3, 0}, {1, 1}}},
        {{"ab Ab\r", "xAB"}, "ab", true, false, {{0, 0}}},
        {{"ab abc\r", "(ab)"}, "ab", false, true, {{0, 0}, {1, 1}}},
        // A hit that runs across a fold, and a word whose neighbour lies in the next row.
        {{"xx ab", "cd ab", "c\r"}, "abc", false, false, {{3, 0}, {3, 1}}},
        {{"xx ab", "c abc", "d\r"}, "abc", false, true, {{3, 0}}},
        {{"\tab\tab\r", "アab"}, "ab", true, false, {{1, 0}, {4, 0}, {2, 1}}},
    };
    TBoxServices services;
    for (const Case& c : cases)
    {
        TPageHost host(400, 200, false);
        nsRichEdit& ed = *host.page;
        LoadRows(ed, c.rows);
        TSrchForm* form = NewForm(&ed);
        form->SrchStrCBox->SetText(c.pattern);
        form->AlphaChkBox->SetChecked(c.caseSensitive);
        form->WordChkBox->SetChecked(c.wholeWord);
        EXPECT_EQ(Presses(form, ed, services, true), c.hits) << c.pattern;
        ASSERT_EQ(services.boxes.size(), 1u);
        EXPECT_EQ(services.boxes[0], "検索文字列 '" + std::string(c.pattern) + "' は見つかりません。");

        // Backward from the end: the same hits in reverse order.
        const TPoint end = ed.GetEndPos();
        ed.SelArea()->PointReset();
        ed.SetCaretRaw(ed.DspPos(TPoint(end.x + 1, end.y)));
        std::vector<TPoint> reversed(c.hits.rbegin(), c.hits.rend());
        EXPECT_EQ(Presses(form, ed, services, false), reversed) << c.pattern;
        delete form;
    }
}

TEST(Find, FunctionKeys_F3SearchesForwardShiftF3BackwardF5InBatch)
{
    TBoxServices services;
    TFakeSink sink;
    TPageHost host(400, 200, true);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"ab ab ab"});
    TSrchForm* form = NewForm(&ed, {&ed});
    form->Show();
    form->SrchStrCBox->SetText("ab");
    auto press = [&](WORD key, TShiftState shift) { form->FormKeyDown(form, key, shift); };
    press(VK_F3, TShiftState());
    press(VK_F3, TShiftState());
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(3, 0));
    press(VK_F3, TShiftState() << ssShift);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(0, 0));
    press(VK_F5, TShiftState());
    EXPECT_EQ(sink.packs.size(), 3u);
    EXPECT_FALSE(form->Visible()); // the batch search hides the dialog
    delete form;
}

TEST(Find, BatchSearch_HandsEveryHitOfEachStringOnEachPageToTheSink)
{
    TBoxServices services;
    TFakeSink sink;
    TPageHost host1(400, 200, false), host2(400, 200, false);
    nsRichEdit& ed1 = *host1.page;
    nsRichEdit& ed2 = *host2.page;
    LoadRows(ed1, {"foo bar\r", "barfoo"});
    LoadRows(ed2, {"qux foo"});
    // The user's selection on a hit does not hide that hit from the batch search.
    ed1.SelArea()->PutStartPoint(TPoint(4, 0));
    ed1.SelArea()->PutEndPoint(TPoint(7, 0));
    TSrchForm* form = NewForm(&ed1, {&ed1, &ed2});
    const int c1 = VN::EditSetting.色_検索文字列[0].colour;
    const int c2 = VN::EditSetting.色_検索文字列[1].colour;
    const int c3 = VN::EditSetting.色_検索文字列[2].colour;

    struct Case
    {
        bool allPages;
        const char* s1;
        const char* s2;
        const char* s3;
        std::vector<THit> hits;
    } cases[] = {
        {false, "foo", "bar", "", {{&ed1, {0, 0}, "foo", c1}, {&ed1, {3, 1}, "foo", c1},
                                   {&ed1, {4, 0}, "bar", c2}, {&ed1, {0, 1}, "bar", c2}}},
        {true, "foo", "qux", "bar", {{&ed1, {0, 0}, "foo", c1}, {&ed1, {3, 1}, "foo", c1},
                                     {&ed1, {4, 0}, "bar", c3}, {&ed1, {0, 1}, "bar", c3},
                                     {&ed2, {4, 0}, "foo", c1}, {&ed2, {0, 0}, "qux", c2}}},
        // An empty second string ends the list: the third is not searched.
        {true, "qux", "", "foo", {{&ed2, {0, 0}, "qux", c1}}},
    };
    for (const Case& c : cases)
    {
        form->ActivePageSrchRBtn->SetChecked(!c.allPages);
        form->AllOpenPageSrchRBtn->SetChecked(c.allPages);
        form->SrchStrCBox->SetText(c.s1);
        form->SrchStrCBox2->SetText(c.s2);
        form->SrchStrCBox3->SetText(c.s3);
        const int clears = sink.clears;
        form->AllSrchBtnClick(form);
        EXPECT_EQ(sink.clears, clears + 1);
        EXPECT_EQ(sink.Hits(), c.hits) << c.s1 << "/" << c.s2 << "/" << c.s3;
        // Each pack is marked in its page and found there again.
        for (typSrchPack* p : sink.packs)
        {
            EXPECT_GT(p->MarkId, 0);
            EXPECT_TRUE(p->Editor->LocateSrchPack(*p));
            EXPECT_EQ(p->LineText, p->Editor->GetLine(p->HitPoint.y).SubString(1, p->LineText.Length()));
        }
    }
    EXPECT_EQ(ed1.SelArea()->GetStartPoint(), TPoint(4, 0)); // the selection is as it was

    form->ActivePageSrchRBtn->SetChecked(true);
    form->SrchStrCBox->SetText("zz");
    form->SrchStrCBox2->SetText("yy");
    form->SrchStrCBox3->SetText("");
    form->AllSrchBtnClick(form);
    EXPECT_TRUE(sink.packs.empty());
    EXPECT_EQ(sink.lines, (std::vector<std::string>{"検索文字列 'zz' 'yy' は見つかりません。"}));
    EXPECT_TRUE(services.boxes.empty());
    delete form;
}

// ---- the dialog from the keyboard ---------------------------------------------------------------

// The control a focused window belongs to (the edit of a combo box belongs to the combo box).
TWinControl* FocusOwner(TSrchForm* form, HWND focus)
{
    for (TComboBox* c : {form->SrchStrCBox, form->SrchStrCBox2, form->SrchStrCBox3})
        if (focus == c->Handle() || focus == c->EditHandle())
            return c;
    for (int i = 0; i < form->ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(form->Controls(i));
            w && w->HandleAllocated() && w->Handle() == focus)
            return w;
    return nullptr;
}

bool WholeTextSelected(TComboBox* combo)
{
    DWORD start = 0, end = 0;
    SendMessageW(combo->Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return start == 0 && end == DWORD(GetWindowTextLengthW(combo->Handle())) && end > 0;
}

TEST(Find, Keyboard_TabCyclesAltSFocusesTheStringEscHidesAndReopeningSelectsTheOldPattern)
{
    TKeyServices keys;
    TSrchForm* form = NewForm(nullptr);
    form->SrchStrCBox2->SetText("二番目");
    form->Show();
    SetForegroundWindow(form->Handle());
    ASSERT_EQ(FocusOwner(form, GetFocus()), form->SrchStrCBox);
    auto play = [&](std::vector<TKeyStep> steps) {
        TKeyScript script(keys, std::move(steps));
        EXPECT_TRUE(PumpUntil([&] { return script.Done(); }));
        std::vector<TWinControl*> seen;
        for (size_t i = 1; i < script.targets.size(); ++i)
            seen.push_back(FocusOwner(form, script.targets[i]));
        seen.push_back(FocusOwner(form, GetFocus()));
        return seen;
    };

    // Tab visits every tab stop once, in order, and comes back; Shift+Tab walks the other way.
    // Of the two radio buttons only the checked one is a tab stop (the settings decide which).
    TWinControl* radio = form->AllOpenPageSrchRBtn;
    if (form->ActivePageSrchRBtn->Checked())
        radio = form->ActivePageSrchRBtn;
    const std::vector<TWinControl*> order = {form->SrchStrCBox2, form->SrchStrCBox3, form->AlphaChkBox,
                                             form->WordChkBox,   radio,              form->NextBtn,
                                             form->PrevBtn,      form->AllSrchBtn,   form->CancelBtn,
                                             form->SrchStrCBox};
    EXPECT_EQ(play(std::vector<TKeyStep>(order.size(), {VK_TAB})), order);
    std::vector<TWinControl*> backward(order.rbegin() + 1, order.rend());
    backward.push_back(form->SrchStrCBox);
    EXPECT_EQ(play(std::vector<TKeyStep>(order.size(), {VK_TAB, false, true})), backward);

    // A combo box reached by Tab offers its text selected.
    play({{VK_TAB}});
    EXPECT_TRUE(WholeTextSelected(form->SrchStrCBox2));

    // Alt+S from a button goes to the search string, selected, so that typing replaces it; a
    // letter typed there is text, not an access key.
    form->SrchStrCBox->SetText("ね.*ネ[コ]猫");
    form->NextBtn->SetFocus();
    play({{'S', true}});
    EXPECT_EQ(FocusOwner(form, GetFocus()), form->SrchStrCBox);
    EXPECT_TRUE(WholeTextSelected(form->SrchStrCBox));
    play({{'S'}});
    EXPECT_EQ(form->SrchStrCBox->Text(), AnsiString("s"));

    // Esc hides the dialog; opened again, the old pattern is selected and typing replaces it.
    form->SrchStrCBox->SetText("ね.*ネ[コ]猫");
    play({{VK_ESCAPE}});
    EXPECT_FALSE(form->Visible());
    form->Show();
    SetForegroundWindow(form->Handle());
    EXPECT_TRUE(WholeTextSelected(form->SrchStrCBox));
    play({{'X'}});
    EXPECT_EQ(form->SrchStrCBox->Text(), AnsiString("x"));

    // Asked for again while open behind another window (Ctrl+F from the editor), it comes to the
    // front with its pattern selected.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    form->Show();
    EXPECT_EQ(GetForegroundWindow(), form->Handle());
    EXPECT_EQ(FocusOwner(form, GetFocus()), form->SrchStrCBox);
    EXPECT_TRUE(WholeTextSelected(form->SrchStrCBox));
    DestroyWindow(other);
    delete form;
}


// Ctrl+V, pressed as the keyboard does (the character it makes included), pastes the clipboard
// once into whichever search string of the find, replace and file-search dialogs has the focus.
TEST(SearchDialogs, CtrlVPastesOnceIntoTheFocusedString)
{
    TBoxServices services;
    auto* find = NewForm(nullptr);
    auto* replace = Create<TRePlaceForm>(nullptr);
    replace->SettingsKey = "Software\\VarnoletTest\\Find";
    auto* files = Create<TFileSrchForm>(nullptr);
    files->SettingsKey = "Software\\VarnoletTest\\Find";
    struct Case
    {
        TForm* form;
        TComboBox* combo;
    } cases[] = {
        {find, find->SrchStrCBox},      {find, find->SrchStrCBox2},       {find, find->SrchStrCBox3},
        {replace, replace->SrchStrCBox}, {replace, replace->ReStrCBox},   {files, files->SrchStrCBox},
        {files, files->FileNameCBox},    {files, files->SrchDirCBox},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.combo->Name().str());
        c.form->Show();
        SetForegroundWindow(c.form->Handle());
        c.combo->SetText("ab");
        c.combo->SetFocus();
        SendMessageW(c.combo->EditHandle(), EM_SETSEL, 2, 2);
        Clipboard()->SetAsText("貼り付け");
        services.down.insert(VK_CONTROL);
        PressWithHeldKeys(services, c.combo->EditHandle(), 'V');
        EXPECT_EQ(c.combo->Text(), "ab貼り付け");
        c.form->Hide();
    }
    delete find;
    delete replace;
    delete files;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnoletTest\\Find");
}
} // namespace

namespace
{
// Every button of the shown find dialog, clicked as the mouse clicks it.
TEST(Find, EveryButtonClickedOnTheShownDialogDoesItsPart)
{
    TBoxServices services;
    TFakeSink sink;
    TPageHost host(400, 200, true);
    nsRichEdit& ed = *host.page;
    LoadRows(ed, {"ab ab"});
    TSrchForm* form = NewForm(&ed, {&ed});
    form->Show();
    form->SrchStrCBox->SetText("ab");
    auto click = [](TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); };
    click(form->NextBtn);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(0, 0));
    click(form->NextBtn);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(3, 0));
    click(form->PrevBtn);
    EXPECT_EQ(ed.SelArea()->GetStartPoint(), TPoint(0, 0));
    click(form->AllSrchBtn);
    EXPECT_EQ(sink.packs.size(), 2u);
    EXPECT_FALSE(form->Visible());
    form->Show();
    click(form->CancelBtn);
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(services.boxes.empty());
    delete form;
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnoletTest\\Find");
}
} // namespace
