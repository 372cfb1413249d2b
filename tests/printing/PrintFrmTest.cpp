// The print dialog against its settings: what it shows from the PRINTER section, what it writes
// back on every close (Esc included), the edit and up-down pairs and the fallbacks of bad input.
#include "printing/PrintFrm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/English.h"
#include "common/WexmoorDef.h"
#include "platform/Cp932.h"
#include "platform/Picture.h"
#include "printing/Strppfm.h"
#include "tests/TestServices.h"
#include "tests/printing/PrintTestUtil.h"

namespace
{
AnsiString DialogKey()
{
    return Format("Software\\VarnoletTest\\printdlg%u", {unsigned(GetCurrentProcessId())});
}

struct TDialog
{
    TDialog()
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(DialogKey()).c_str());
        form = Create<TPrintForm>(nullptr);
        form->RegistryKey = DialogKey();
        form->ActiveDocument = [](typPrintDocument& doc) {
            doc.text = "a\r\nb";
            doc.tabSize = 4;
            return true;
        };
    }
    ~TDialog()
    {
        delete form;
        RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(DialogKey()).c_str());
    }
    void Type(TWinControl* c, const char* text)
    {
        for (const char* p = text; *p; ++p)
            SendMessageW(c->Handle(), WM_CHAR, WPARAM(static_cast<unsigned char>(*p)), 1);
    }
    TFakePrinter printer;
    TBoxServices services;
    TPrintForm* form;
};

VN::typPrinterSetting Saved()
{
    VN::typPrinterSetting s;
    ReadPrinterSettings(s, DialogKey());
    return s;
}
} // namespace

namespace
{
// While the modal dialog is up: runs look once, then presses Esc where the focus is, as a user
// would; a dialog the key did not close is ended with a result Esc never gives.
struct TLookThenEsc
{
    TLookThenEsc(TPrintForm* form, std::function<void()> look) : form(form), look(std::move(look))
    {
        timer->SetInterval(1);
        timer->OnTimer = TNotifyEvent(this, &TLookThenEsc::Tick);
    }
    ~TLookThenEsc() { delete timer; }
    void Tick(TObject*)
    {
        if (pressed)
        {
            timer->SetEnabled(false);
            if (form->Visible())
                form->SetModalResult(mrAbort);
            return;
        }
        pressed = true;
        look();
        HWND target = GetFocus();
        PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(target, WM_KEYUP, VK_ESCAPE, LPARAM(0xC0000001));
    }
    TPrintForm* form;
    std::function<void()> look;
    TTimer* timer = Create<TTimer>(nullptr);
    bool pressed = false;
};
} // namespace

TEST(TPrintForm, RoundTripShowsWhatWasSavedAndEscSavesWhatWasChanged)
{
    TDialog d;
    VN::typPrinterSetting s = VN::PrinterSettingDefaults();
    s.fontName = AnsiToNsString("どこにもない書体");
    s.fontSize = 12;
    s.marginLeft = 12;
    s.marginTop = 7;
    s.marginLine = 3;
    s.rangeOption = 1;
    s.startPage = 3;
    s.lastPage = 5;
    s.pageOption = 1;
    s.lineNumber = true;
    s.columnCount = 2;
    s.columnSpace = 6;
    s.header = AnsiToNsString("%F - %p");
    s.headerAlign = 2;
    s.footer = AnsiToNsString("%%");
    s.footerAlign = 3;
    WritePrinterSettings(s, DialogKey());
    TPrintForm* f = d.form;
    for (int showing = 0; showing < 2; ++showing)
    {
        TLookThenEsc esc(f, [&] {
            // The font the printer does not list stays chosen, once in the list however often shown.
            EXPECT_EQ(f->FontNameCBox->Text(), AnsiString("どこにもない書体"));
            EXPECT_EQ(f->FontNameCBox->Items()->GetCount(), d.printer.Fonts()->GetCount() + 1);
            EXPECT_EQ(f->FontSizeCBox->Text(), AnsiString(s.fontSize));
            EXPECT_EQ(f->PairEdit(1)->Text(), AnsiString("12"));
            EXPECT_EQ(f->PairEdit(2)->Text(), AnsiString(s.marginRight));
            EXPECT_EQ(f->PairUpDown(9)->Position(), 3);
            EXPECT_TRUE(f->PageDesignRBtn->Checked());
            EXPECT_TRUE(f->StartPageEdit->Enabled());
            EXPECT_EQ(f->StartPageEdit->Text(), AnsiString("3"));
            EXPECT_EQ(f->OddPageBtn->Checked(), s.pageOption == 1);
            EXPECT_TRUE(f->LineNumPrintCBox->Checked());
            EXPECT_EQ(f->ColCBox->ItemIndex(), s.columnCount - 1);
            EXPECT_EQ(f->HeaderEdit->Text(), NsStringToAnsi(s.header));
            EXPECT_EQ(f->HPosCBox->ItemIndex(), 2);
            EXPECT_EQ(f->Pri->FileName(), AnsiString("無題"));
            if (showing > 0)
                return;
            // What the user changes before Esc is what the next showing finds.
            f->FontSizeCBox->SetItemIndex(f->FontSizeCBox->Items()->IndexOf("20"));
            f->PairEdit(2)->SetText("31");
            f->EvenPageRBtn->SetChecked(true);
            f->ColCBox->SetItemIndex(2);
            f->HeaderEdit->SetText("頁 %p");
            s.fontSize = 20;
            s.marginRight = 31;
            s.pageOption = 2;
            s.columnCount = 3;
            s.header = AnsiToNsString("頁 %p");
        });
        EXPECT_EQ(f->ShowModal(), mrCancel);
        EXPECT_EQ(Saved(), s);
    }
}

TEST(TPrintForm, EditAndUpDownFollowEachOtherAndBadTextFallsBack)
{
    TDialog d;
    d.form->Show();
    d.form->PairEdit(1)->SetText("");
    d.Type(d.form->PairEdit(1), "1a2");
    EXPECT_EQ(d.form->PairEdit(1)->Text(), AnsiString("12"));
    EXPECT_EQ(d.form->PairUpDown(1)->Position(), 12);
    // The up-down asks before it moves: inside its range the edit follows, outside nothing moves.
    for (int value : {16, 100, -1})
    {
        bool allow = true;
        const AnsiString before = d.form->PairEdit(2)->Text();
        d.form->UD_ChangingEx(d.form->PairUpDown(2), allow, value, updUp);
        EXPECT_EQ(allow, value == 16);
        EXPECT_EQ(d.form->PairEdit(2)->Text(), value == 16 ? AnsiString("16") : before);
    }

    d.form->PageDesignRBtn->SetChecked(true);
    d.form->StartPageEdit->SetText("x");
    d.form->EndPageEdit->SetText("");
    d.form->PairEdit(11)->SetText("");
    d.form->FontSizeCBox->SetItemIndex(-1);
    d.form->UpdatePrinterProperties();
    EXPECT_EQ(d.form->Pri->StartPage(), 1);
    EXPECT_EQ(d.form->Pri->LastPage(), 9999);
    EXPECT_EQ(d.form->Pri->FirstPageNumber(), 1);
    EXPECT_EQ(d.form->Pri->ColumnSpace(), 4);
    EXPECT_EQ(d.form->Pri->Font()->Size(), 9);
    EXPECT_EQ(d.form->Pri->TabSize(), 4);
    d.form->StartPageEdit->SetText("3");
    d.form->UpdatePrinterProperties();
    EXPECT_EQ(d.form->Pri->FirstPageNumber(), 3);
    d.form->PrinterSetupBtn->Click();
    EXPECT_EQ(d.services.printerSetups, 1);
    d.form->AllPageRBtn->SetChecked(true);
    EXPECT_FALSE(d.form->StartPageEdit->Enabled());
    EXPECT_EQ(d.form->StartPageEdit->Color(), clBtnFace);
    d.form->Close();
}

namespace
{
// While a print's layout runs: whether the status panel is what shows at its corners.
struct TPanelOnTop
{
    static inline TPrintForm* form = nullptr;
    static inline bool seen = false, onTop = false;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        if (!form->PrintStatusPanel->Visible() || seen)
            return;
        seen = true;
        TPanel* panel = form->PrintStatusPanel;
        onTop = true;
        for (const POINT p : {POINT{panel->Left() + 4, panel->Top() + 4},
                              POINT{panel->Left() + panel->Width() - 4, panel->Top() + panel->Height() - 4}})
            onTop &= ChildWindowFromPointEx(form->Handle(), p, CWP_SKIPINVISIBLE) == panel->Handle();
    }
};
} // namespace

TEST(TPrintForm, NoPageToPrintOrPreviewSaysSoAndADegeneratePageSaysWhy)
{
    TDialog d;
    d.form->Show();
    EXPECT_FALSE(d.form->PrintBtn->Glyph()->Empty());
    EXPECT_FALSE(d.form->PreViewBtn->Glyph()->Empty());
    // The status picture stands on the panel's face: its own background colour is gone.
    TBitmap* picture = d.form->PrintStatusImage->Picture()->Bitmap();
    ASSERT_NE(picture, nullptr);
    const uint8_t* corner = picture->ScanLine(picture->Height() - 1);
    EXPECT_EQ(RGB(corner[2], corner[1], corner[0]), COLORREF(ColorToRGB(d.form->PrintStatusPanel->Color())));
    d.form->EvenPageRBtn->SetChecked(true); // one page: nothing even
    // The status panel shows above the controls it covers while the layout runs.
    TPanelOnTop::form = d.form;
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, TPanelOnTop::Tick);
    d.form->PrintBtnClick(nullptr);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(TPanelOnTop::seen);
    EXPECT_TRUE(TPanelOnTop::onTop);
    EXPECT_FALSE(d.form->PrintStatusPanel->Visible());
    d.form->PreViewBtnClick(nullptr);
    ASSERT_EQ(d.services.boxes.size(), 2u);
    EXPECT_EQ(d.services.boxes[0], msgNoPrintPage);
    EXPECT_EQ(d.services.boxes[1], msgNoPreviewPage);
    EXPECT_TRUE(d.form->Visible());
    d.services.boxes.clear();
    d.form->BothPageRBtn->SetChecked(true);
    d.form->ColCBox->SetItemIndex(2);
    d.form->PairEdit(11)->SetText("99");
    d.form->PrintBtnClick(nullptr);
    ASSERT_EQ(d.services.boxes.size(), 1u);
    EXPECT_EQ(d.services.boxes[0], msgPrintNoRoom);
    d.form->Close();
}

namespace
{
// While a preview's layout runs: how the progress window stands to the dialog, then an Esc to the
// dialog as a key reaching it would come, then the progress window's Cancel.
struct TDuringLayout
{
    static inline TPrintForm* form = nullptr;
    static inline HWND progress = nullptr;
    static inline LONG style = 0;
    static inline HWND owner = nullptr;
    static inline RECT place{}, dialog{};
    static inline bool dialogEnabled = true;
    static inline int ticks = 0;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND p = FindWindowW(nullptr, SjisToWide(AnsiString("処理中")).c_str());
        if (!p)
            return;
        if (++ticks == 1)
        {
            progress = p;
            style = GetWindowLongW(p, GWL_STYLE);
            owner = GetWindow(p, GW_OWNER);
            GetWindowRect(p, &place);
            GetWindowRect(form->Handle(), &dialog);
            dialogEnabled = IsWindowEnabled(form->Handle()) != 0;
            HWND focus = form->FontNameCBox->Handle();
            PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageW(focus, WM_CHAR, 27, 1);
            PostMessageW(focus, WM_KEYUP, VK_ESCAPE, LPARAM(0xC0000001));
            return;
        }
        // The Esc has been handled by now: the layout goes on, and Cancel ends it.
        KillTimer(nullptr, id);
        SendMessageW(FindWindowExW(p, nullptr, L"Button", nullptr), BM_CLICK, 0, 0);
    }
};
} // namespace

TEST(TPrintForm, TheProgressWindowBelongsToTheDialogOverItsCentreAndEscWaitsForTheLayout)
{
    TDialog d;
    d.form->ActiveDocument = [](typPrintDocument& doc)
    {
        for (int i = 0; i < 100000; ++i)
            doc.text += "a line of text to lay out\r\n";
        return true;
    };
    // Away from the screen's centre, so that centred on the screen and centred on the dialog differ.
    d.form->SetPosition(poDesigned);
    d.form->SetBounds(20, 30, d.form->Width(), d.form->Height());
    d.form->Show();
    TDuringLayout::form = d.form;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, TDuringLayout::Tick);
    d.form->PreViewBtnClick(nullptr);
    KillTimer(nullptr, timer);
    ASSERT_NE(TDuringLayout::progress, nullptr);
    EXPECT_EQ(TDuringLayout::style & WS_SYSMENU, 0) << "no border icons";
    EXPECT_EQ(TDuringLayout::owner, d.form->Handle());
    const RECT& p = TDuringLayout::place;
    const RECT& f = TDuringLayout::dialog;
    EXPECT_NEAR((p.left + p.right) / 2, (f.left + f.right) / 2, 1);
    EXPECT_NEAR((p.top + p.bottom) / 2, (f.top + f.bottom) / 2, 1);
    EXPECT_FALSE(TDuringLayout::dialogEnabled);
    // Cancelled: nothing to show, said once; the dialog is open and usable again.
    EXPECT_GE(TDuringLayout::ticks, 2);
    EXPECT_EQ(d.services.boxes, std::vector<std::string>{msgNoPreviewPage});
    EXPECT_TRUE(d.form->Visible());
    EXPECT_TRUE(IsWindowEnabled(d.form->Handle()));
    EXPECT_FALSE(IsWindow(TDuringLayout::progress));
    d.form->Close();
}

TEST(TPrintForm, OpensCentredOnItsOwner)
{
    TFakePrinter printer;
    TBoxServices services;
    std::unique_ptr<TForm> owner(Create<TForm>(nullptr));
    owner->SetBounds(10, 20, 800, 600);
    owner->Show();
    std::unique_ptr<TPrintForm> form(Create<TPrintForm>(owner.get()));
    form->RegistryKey = DialogKey();
    form->Show();
    RECT o{}, f{};
    GetWindowRect(owner->Handle(), &o);
    GetWindowRect(form->Handle(), &f);
    EXPECT_NEAR((f.left + f.right) / 2, (o.left + o.right) / 2, 1);
    EXPECT_NEAR((f.top + f.bottom) / 2, (o.top + o.bottom) / 2, 1);
    form->Close();
    RegDeleteTreeW(HKEY_CURRENT_USER, SjisToWide(DialogKey()).c_str());
}

namespace
{
// While the modal dialog is up: presses one button, then Cancel if the dialog is still open; every
// preview is closed by its own Close button as soon as it is up.
struct TPress
{
    using TWhich = TButton* (*)(TPrintForm*);
    TPress(TPrintForm* form, TWhich button) : form(form), button(button)
    {
        timer->SetInterval(20);
        timer->OnTimer = TNotifyEvent(this, &TPress::Tick);
    }
    ~TPress() { delete timer; }
    void Tick(TObject*)
    {
        timer->SetEnabled(false);
        form->HeaderEdit->SetText(header);
        button(form)->Click();
        stayed = form->Visible() && form->ModalResult() == mrNone;
        if (stayed)
            form->CancelBtn->Click();
    }
    void Shown(TObject* sender)
    {
        ++previews;
        static_cast<TFormStrPreview*>(sender)->SpeedButton8->Click();
    }
    TPrintForm* form;
    TWhich button;
    AnsiString header;
    TTimer* timer = Create<TTimer>(nullptr);
    bool stayed = false;
    int previews = 0;
};
} // namespace

TEST(TPrintForm, EachButtonDoesItsOwnThingAndEveryCloseSavesTheSettings)
{
    const struct
    {
        const char* name;
        TPress::TWhich button;
        bool stays;
        int previews, printed, setups;
    } cases[] = {
        {"preview", [](TPrintForm* f) -> TButton* { return f->PreViewBtn; }, true, 1, 0, 0},
        {"print", [](TPrintForm* f) -> TButton* { return f->PrintBtn; }, false, 0, 1, 0},
        {"printer set-up", [](TPrintForm* f) { return f->PrinterSetupBtn; }, true, 0, 0, 1},
        {"cancel", [](TPrintForm* f) { return f->CancelBtn; }, false, 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TDialog d;
        TPress press(d.form, c.button);
        TFormStrPreview::OnShown = TNotifyEvent(&press, &TPress::Shown);
        press.header = c.name;
        d.form->ShowModal();
        TFormStrPreview::OnShown = nullptr;
        EXPECT_EQ(press.stayed, c.stays);
        EXPECT_EQ(press.previews, c.previews);
        EXPECT_EQ(int(d.printer.jobPages.size()), c.printed);
        EXPECT_EQ(d.services.printerSetups, c.setups);
        EXPECT_TRUE(d.services.boxes.empty());
        EXPECT_EQ(NsStringToAnsi(Saved().header), AnsiString(c.name));
    }
}

namespace
{
int Dot(int mm)
{
    return int(std::lround(300 * mm / 25.4));
}

// A page's text outputs, one string each: text, reference point and clip.
std::vector<std::string> Outputs(HENHMETAFILE page)
{
    std::vector<std::string> out;
    for (const typTextRecord& r : TextRecords(page))
    {
        std::string s = r.text + "@" + std::to_string(r.ref.x) + "," + std::to_string(r.ref.y);
        for (LONG v : {r.clip.left, r.clip.top, r.clip.right, r.clip.bottom})
            s += " " + std::to_string(v);
        out.push_back(s);
    }
    return out;
}

// The first column and row of a window's client area where anything darker than light grey shows.
POINT FirstInk(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB};
    void* bits = nullptr;
    HDC dc = GetDC(window);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    POINT first{r.right, r.bottom};
    const auto* px = static_cast<const uint32_t*>(bits);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            if ((px[y * r.right + x] & 0xFF) < 0xC0)
            {
                first.x = std::min(first.x, LONG(x));
                first.y = std::min(first.y, LONG(y));
            }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(window, dc);
    return first;
}

// While the modal dialog is up: clicks the arrows of the margin pairs, looks at what the edits
// show, clicks Preview (the preview looks at its page and closes) and then Print.
struct TArrowClicks
{
    struct typPair
    {
        int tag, clicks, expected; // clicks on the upper arrow when positive, the lower when negative
    };
    TArrowClicks(TPrintForm* form, std::vector<typPair> pairs) : form(form), pairs(std::move(pairs))
    {
        timer->SetInterval(20);
        timer->OnTimer = TNotifyEvent(this, &TArrowClicks::Tick);
    }
    ~TArrowClicks() { delete timer; }
    void Tick(TObject*)
    {
        timer->SetEnabled(false);
        SetForegroundWindow(form->Handle());
        for (const typPair& p : pairs)
        {
            for (int i = 0; i < std::abs(p.clicks); ++i)
                EXPECT_TRUE(ClickWindow(form->PairUpDown(p.tag)->Handle(), p.clicks > 0 ? 0.25 : 0.75));
            shown.push_back(form->PairEdit(p.tag)->Text());
        }
        EXPECT_TRUE(ClickWindow(form->PreViewBtn->Handle()));
        EXPECT_TRUE(ClickWindow(form->PrintBtn->Handle()));
        closedByPrint = form->ModalResult() != mrNone;
        if (!closedByPrint)
            form->SetModalResult(mrAbort);
    }
    void Shown(TObject* sender)
    {
        auto* preview = static_cast<TFormStrPreview*>(sender);
        previewed = Outputs(preview->Pages()->GetMetaFile(0)->Handle());
        preview->Image1->Update();
        ink = FirstInk(preview->Image1->Handle());
        imageWidth = preview->Image1->ClientWidth();
        preview->SpeedButton8->Click();
    }
    TPrintForm* form;
    std::vector<typPair> pairs;
    TTimer* timer = Create<TTimer>(nullptr);
    std::vector<AnsiString> shown;
    std::vector<std::string> previewed;
    POINT ink{};
    int imageWidth = 0;
    bool closedByPrint = false;
};
} // namespace

TEST(TPrintForm, MarginsSetByClickingTheArrowsArePreviewedPrintedAndSaved)
{
    TDialog d;
    // From the defaults (15 mm each, 2 mm between lines), up and down.
    const std::vector<TArrowClicks::typPair> pairs = {
        {1, 25, 40}, {2, -5, 10}, {3, 25, 40}, {4, 5, 20}, {9, 3, 5}};
    TArrowClicks clicks(d.form, pairs);
    TFormStrPreview::OnShown = TNotifyEvent(&clicks, &TArrowClicks::Shown);
    d.form->ShowModal();
    TFormStrPreview::OnShown = nullptr;
    EXPECT_TRUE(clicks.closedByPrint);
    for (size_t i = 0; i < pairs.size(); ++i)
        EXPECT_EQ(clicks.shown.at(i), AnsiString(pairs[i].expected)) << pairs[i].tag;

    // The page laid out with those margins is the one previewed and the one printed.
    TStringsPrinter expected(nullptr);
    expected.SetFont(d.form->Pri->Font());
    expected.SetMarginLeft(40);
    expected.SetMarginRight(10);
    expected.SetMarginTop(40);
    expected.SetMarginBottom(20);
    expected.SetMarginLine(5);
    expected.SetTabSize(4);
    TStringList lines;
    lines.SetText("a\r\nb");
    TMetaFileList laidOut;
    ASSERT_TRUE(expected.DivideStringsToMetaFiles(&lines, &laidOut, "x"));
    const std::vector<std::string> page = Outputs(laidOut.GetMetaFile(0)->Handle());
    const std::vector<typTextRecord> records = TextRecords(laidOut.GetMetaFile(0)->Handle());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].clip.left, Dot(40));
    EXPECT_EQ(records[0].clip.top, Dot(40));
    EXPECT_EQ(clicks.previewed, page);
    ASSERT_EQ(d.printer.jobPages.size(), 1u);
    EXPECT_EQ(Outputs(d.printer.jobPages[0]), page);
    // On the screen the text begins 40 mm into the paper's 210.
    const double mm = clicks.imageWidth / 210.0;
    EXPECT_NEAR(clicks.ink.x, 40 * mm, 3);
    EXPECT_NEAR(clicks.ink.y, 40 * mm, 6);

    const VN::typPrinterSetting saved = Saved();
    EXPECT_EQ(saved.marginLeft, 40);
    EXPECT_EQ(saved.marginRight, 10);
    EXPECT_EQ(saved.marginTop, 40);
    EXPECT_EQ(saved.marginBottom, 20);
    EXPECT_EQ(saved.marginLine, 5);

    // Shown again, the dialog has them.
    TLookThenEsc esc(d.form, [&] {
        for (const auto& p : pairs)
        {
            EXPECT_EQ(d.form->PairEdit(p.tag)->Text(), AnsiString(p.expected)) << p.tag;
            EXPECT_EQ(d.form->PairUpDown(p.tag)->Position(), p.expected) << p.tag;
        }
    });
    d.form->ShowModal();
    EXPECT_EQ(Saved(), saved);
}

TEST(TPrintForm, EveryRangedSettingComesBackAtTheEdgesOfItsRange)
{
    TDialog d;
    // What the component holds is what the reader gives back; one past it gives the default.
    using S = VN::typPrinterSetting;
    using P = TStringsPrinter;
    const struct
    {
        const char* key;
        int S::*field;
        void (P::*set)(int);
        int (P::*get)() const;
        int lo, hi;
    } held[] = {
        {"左マージン", &S::marginLeft, &P::SetMarginLeft, &P::MarginLeft, 0, 100},
        {"右マージン", &S::marginRight, &P::SetMarginRight, &P::MarginRight, 0, 100},
        {"上マージン", &S::marginTop, &P::SetMarginTop, &P::MarginTop, 0, 100},
        {"下マージン", &S::marginBottom, &P::SetMarginBottom, &P::MarginBottom, 0, 100},
        {"行間", &S::marginLine, &P::SetMarginLine, &P::MarginLine, 0, 100},
        {"開始ページ", &S::startPage, &P::SetStartPage, &P::StartPage, 1, 999999},
        {"終了ページ", &S::lastPage, &P::SetLastPage, &P::LastPage, 1, 999999},
        {"段数", &S::columnCount, &P::SetColumnCount, &P::ColumnCount, 1, 3},
        {"段の間隔", &S::columnSpace, &P::SetColumnSpace, &P::ColumnSpace, 0, 100},
    };
    const VN::typPrinterSetting defaults = VN::PrinterSettingDefaults();
    for (const auto& r : held)
        for (int v : {r.lo - 1, r.lo, r.hi, r.hi + 1})
        {
            SCOPED_TRACE(std::string(r.key) + " " + std::to_string(v));
            (d.form->Pri->*r.set)(v);
            EXPECT_EQ((d.form->Pri->*r.get)(), std::clamp(v, r.lo, r.hi));
            VN::typPrinterSetting s = defaults;
            s.*r.field = v;
            WritePrinterSettings(s, DialogKey());
            EXPECT_EQ(Saved().*r.field, v >= r.lo && v <= r.hi ? v : defaults.*r.field);
        }

    // What is typed at the edges of what the dialog takes is shown again after a close.
    d.form->Show();
    d.form->PageDesignRBtn->SetChecked(true);
    const struct
    {
        TEdit* edit;
        const char* typed[2];
        const char* shown[2];
    } typed[] = {
        {d.form->StartPageEdit, {"999999", "0"}, {"999999", "1"}},
        {d.form->EndPageEdit, {"1000000", "1"}, {"999999", "1"}},
        {d.form->PairEdit(1), {"100", "0"}, {"10", "0"}},
        {d.form->PairEdit(2), {"100", "0"}, {"10", "0"}},
        {d.form->PairEdit(3), {"99", "0"}, {"99", "0"}},
        {d.form->PairEdit(4), {"150", "0"}, {"15", "0"}},
        {d.form->PairEdit(9), {"100", "0"}, {"10", "0"}},
        {d.form->PairEdit(11), {"100", "0"}, {"10", "0"}},
    };
    const struct
    {
        TComboBox* combo;
        const char* chosen[2];
    } chosen[] = {{d.form->FontSizeCBox, {"30", "7"}}, {d.form->ColCBox, {"3", "1"}}};
    for (int edge = 0; edge < 2; ++edge)
    {
        for (const auto& t : typed)
        {
            t.edit->SetText("");
            d.Type(t.edit, t.typed[edge]);
        }
        for (const auto& c : chosen)
            c.combo->SetItemIndex(c.combo->Items()->IndexOf(c.chosen[edge]));
        d.form->Close();
        d.form->Show();
        for (const auto& t : typed)
            EXPECT_EQ(t.edit->Text(), AnsiString(t.shown[edge])) << t.edit->Name().str() << " " << t.typed[edge];
        for (const auto& c : chosen)
            EXPECT_EQ(c.combo->Text(), AnsiString(c.chosen[edge])) << c.combo->Name().str();
    }
    d.form->Close();
}
