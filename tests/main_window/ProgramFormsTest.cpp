// Every window of the program, made as the program makes it, checked for a layout a user can read:
// no control covers another, each lies inside its parent, and each caption fits its control.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/AboutFrm.h"
#include "dialogs/CalcForm.h"
#include "dialogs/CommandSetFrm.h"
#include "dialogs/DateInsertFrm.h"
#include "dialogs/EditLockPasswordFrm.h"
#include "dialogs/EditSetting.h"
#include "dialogs/EmphasisFrm.h"
#include "dialogs/ImageFrm.h"
#include "dialogs/JumpRowFrm.h"
#include "dialogs/ShortCutSetFrm.h"
#include "dialogs/UnLockFrm.h"
#include "dialogs/WallPaperFrm.h"
#include "main_window/MainFrm.h"
#include "main_window/ProgramForms.h"
#include "platform/Cp932.h"
#include "platform/ComCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "printing/PrintFrm.h"
#include "search/FileSrchFrm.h"
#include "search/FileSrchMonitorFrm.h"
#include "search/MessageFrm.h"
#include "search/Replacedlgfrm.h"
#include "search/Replacefrm.h"
#include "search/SrchFrm.h"
#include "tests/TestServices.h"

namespace
{

std::string Utf8(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Describe(TControl* c)
{
    std::ostringstream s;
    s << (c->Name().IsEmpty() ? std::string("(no name)") : c->Name().str()) << " \""
      << Utf8(SjisToWide(c->Caption())) << "\" at " << c->Left() << "," << c->Top() << " " << c->Width()
      << "x" << c->Height();
    return s.str();
}

// Where a control is on screen inside its parent: a window's real rectangle (a combo box is as
// high as its closed box, whatever height it was given), a tool button's place on its bar, else the
// layer's bounds.
RECT PlacedRect(TControl* c)
{
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated())
    {
        RECT r{};
        GetWindowRect(w->Handle(), &r);
        MapWindowPoints(nullptr, GetParent(w->Handle()), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    auto* button = dynamic_cast<TToolButton*>(c);
    auto* bar = dynamic_cast<TToolBar*>(c->Parent());
    TRect b = button && bar ? bar->ButtonRect(button) : c->BoundsRect();
    RECT r{b.Left, b.Top, b.Right, b.Bottom};
    if (button && bar)
        MapWindowPoints(nullptr, bar->Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The width a caption needs in the control's font, with the room the control itself takes around
// its text. The Windows UI fonts set some letters a little wider than their IPA stand-ins measured
// here, so a caption gets a tenth more than it measures.
struct TNeed
{
    bool applies = false;
    int width = 0;
};

TNeed CaptionNeed(TControl* c)
{
    auto* label = dynamic_cast<TLabel*>(c);
    auto* button = dynamic_cast<TButton*>(c);
    auto* check = dynamic_cast<TCheckBox*>(c);
    auto* radio = dynamic_cast<TRadioButton*>(c);
    if (!label && !button && !check && !radio)
        return {};
    std::wstring text = SjisToWide(c->Caption());
    if (text.empty())
        return {};
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, c->Font()->Handle());
    RECT r{0, 0, 0, 0};
    UINT format = DT_CALCRECT | DT_SINGLELINE | (label && !label->ShowAccelChar() ? DT_NOPREFIX : 0);
    DrawTextW(dc, text.c_str(), int(text.size()), &r, format);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    int frame = 0;
    if (button)
        frame = 12; // the raised edge and the focus rectangle on both sides
    else if (check || radio)
        frame = GetSystemMetrics(SM_CXMENUCHECK) + 6; // the box and the gap before the text
    int text11 = label ? r.right : (r.right * 11 + 9) / 10;
    return {true, text11 + frame};
}

bool Overlap(const RECT& a, const RECT& b)
{
    RECT both{};
    return IntersectRect(&both, &a, &b) != FALSE;
}

void CheckLayout(TWinControl* parent, std::vector<std::string>& faults)
{
    std::vector<TControl*> shown;
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (parent->Controls(i)->Visible())
            shown.push_back(parent->Controls(i));
    // A tool bar is a row that the window's right edge may cut, as any tool bar.
    const bool toolBar = dynamic_cast<TToolBar*>(parent) != nullptr;
    RECT client{};
    GetClientRect(parent->Handle(), &client);
    // A collapsed container shows none of its children.
    if (IsRectEmpty(&client))
        return;
    const std::string where = Describe(parent) + ": ";
    for (size_t i = 0; i < shown.size(); ++i)
    {
        TControl* c = shown[i];
        RECT r = PlacedRect(c);
        const bool inside = r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                            r.bottom <= client.bottom;
        if (!toolBar && !inside)
            faults.push_back(where + Describe(c) + " reaches outside its parent");
        for (size_t j = i + 1; j < shown.size(); ++j)
            if (Overlap(r, PlacedRect(shown[j])))
                faults.push_back(where + Describe(c) + " overlaps " + Describe(shown[j]));
        TNeed need = CaptionNeed(c);
        if (need.applies && need.width > r.right - r.left)
            faults.push_back(where + Describe(c) + " needs " + std::to_string(need.width) +
                             " px for its caption");
        if (auto* w = dynamic_cast<TWinControl*>(c))
            CheckLayout(w, faults);
    }
}

// The globals start-up sets, each put back as it was once the test has freed the forms: one left
// pointing at a freed form is written through by the next main window that attaches its dialogs.
class TProgramGlobals
{
public:
    TProgramGlobals()
    {
        Keep(MainForm), Keep(AboutBox), Keep(CalcFrm), Keep(CommandSetForm), Keep(DateInsertForm);
        Keep(TimeInsertForm), Keep(EditLockPasswordForm), Keep(EditSettingForm), Keep(EmphasisForm);
        Keep(ImageForm), Keep(JumpRowForm), Keep(ShortCutSetForm), Keep(UnLockForm), Keep(WallPaperForm);
        Keep(PrintForm), Keep(FileSrchForm), Keep(FileSrchMonitorForm), Keep(MessageForm);
        Keep(ReplaceDlgForm), Keep(RePlaceForm), Keep(SrchForm);
    }
    void Restore()
    {
        for (auto& restore : restore_)
            restore();
    }
    // The globals that point at one of the given (freed) forms.
    int PointingAt(const std::vector<TCustomForm*>& freed) const
    {
        int n = 0;
        for (auto& current : current_)
            n += std::count(freed.begin(), freed.end(), current()) > 0;
        return n;
    }

private:
    template <class T> void Keep(T*& global)
    {
        restore_.push_back([&global, old = global] { global = old; });
        current_.push_back([&global]() -> TCustomForm* { return global; });
    }
    std::vector<std::function<void()>> restore_;
    std::vector<std::function<TCustomForm*()>> current_;
};

TEST(ProgramForms, EveryFormHasNoOverlapsAndRoomForEveryCaption)
{
    TBoxServices services;
    const int before = Application->ComponentCount();
    TProgramGlobals globals;
    auto* previousHost = SrchJumpHost;
    TSrchResultsSink* previousSink = SrchResultsSink();
    CreateProgramForms();
    std::vector<TCustomForm*> forms;
    for (int i = before; i < Application->ComponentCount(); ++i)
        if (auto* form = dynamic_cast<TCustomForm*>(Application->Components(i)))
            forms.push_back(form);
    EXPECT_GE(forms.size(), 7u);

    std::vector<std::string> faults;
    for (TCustomForm* form : forms)
    {
        if (form->Parent())
            continue; // docked: checked with the window it is docked in
        form->HandleNeeded();
        CheckLayout(form, faults);
    }
    for (const std::string& f : faults)
        ADD_FAILURE() << f;

    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        delete *it;
    globals.Restore();
    SrchJumpHost = previousHost;
    SetSrchResultsSink(previousSink);
    EXPECT_EQ(globals.PointingAt(forms), 0);
}

} // namespace
