// The main window's frame: components, start-up and shut-down, captions, the status bar, page
// switching, the tabs and the docking panel. Documents are in MainFrm_Docs.cpp.
#include "main_window/MainFrm.h"

#include <algorithm>

#include <ole2.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "main_window/Nspanel.h"
#include "platform/Cp932.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

TMainForm* MainForm = nullptr;

const char* const kProgramCaption = "Varnolet for Windows";

namespace
{
// Captions and titles are formatted into 512-byte buffers: at most 511 bytes of text.
constexpr int kCaptionBytes = 511;
// The caret position's panel; it widens for a position that needs more.
constexpr int kPositionPanelWidth = 70;

using TDragOutEvent = Closure<void(TObject* sender, TPoint screenPoint)>;

// The bar over a docked window: pressed and let go outside the panel it lies on, it reports where.
class TDockBar : public TPanel
{
public:
    explicit TDockBar(TComponent* owner) : TPanel(owner) {}
    TDragOutEvent OnDragOut;

protected:
    void Dispatch(TMessage& message) override
    {
        switch (message.Msg)
        {
        case WM_LBUTTONDOWN:
            pressed_ = true;
            SetCapture(Handle());
            message.Result = 0;
            return;
        case WM_LBUTTONUP:
            if (!pressed_)
                break;
            pressed_ = false;
            ReleaseCapture();
            if (Parent() && Parent()->HandleAllocated())
            {
                POINT p{short(LOWORD(message.LParam)), short(HIWORD(message.LParam))};
                ClientToScreen(Handle(), &p);
                RECT site{};
                GetWindowRect(Parent()->Handle(), &site);
                if (!PtInRect(&site, p) && OnDragOut)
                    OnDragOut(this, TPoint(p.x, p.y));
            }
            message.Result = 0;
            return;
        case WM_CAPTURECHANGED: pressed_ = false; break;
        default: break;
        }
        TPanel::Dispatch(message);
    }

private:
    bool pressed_ = false;
};

// The number (from 1) of the filter whose pattern is pattern; 1 when none is. A bar is looked for
// only where a character starts: 0x7C is also a trail byte.
int FilterIndexOf(const AnsiString& filter, const AnsiString& pattern)
{
    AnsiString rest = filter;
    for (int index = 1;; ++index)
    {
        int bar = rest.AnsiPos("|"); // after the description
        if (bar == 0)
            return 1;
        rest = rest.SubString(bar + 1, rest.Length());
        bar = rest.AnsiPos("|");
        if ((bar ? rest.SubString(1, bar - 1) : rest) == pattern)
            return index;
        if (bar == 0)
            return 1;
        rest = rest.SubString(bar + 1, rest.Length());
    }
}
} // namespace

AnsiString CutOnCharacter(const AnsiString& text, int maxBytes)
{
    if (text.Length() <= maxBytes)
        return text;
    int n = std::max(0, maxBytes);
    // A lead byte whose trail byte would fall beyond the cut goes too.
    if (n > 0 && ByteType(text, n) == mbLeadByte)
        --n;
    return text.SubString(1, n);
}

TMainForm::TMainForm(TComponent* owner) : TForm(owner)
{
    SetName("MainForm");
    SetCaption(kProgramCaption);
    SetBounds(100, 100, 800, 600);
    CommandLineFile = CommandLineFileName(GetCommandLineW());
    BuildPanels();
    BuildMenus();
    BuildToolBar();
    BuildFindReplace(); // ---- find and replace ----
    BuildEditMenus();
    OnCreate = TNotifyEvent(this, &TMainForm::FormCreate);
    OnShow = TNotifyEvent(this, &TMainForm::FormShow);
    // Owned by no component: what waits for a page switch to finish counts every timer the form
    // owns as its pending one-shot timers.
    WPTimer = Create<TTimer>(nullptr);
    WPTimer->SetEnabled(false);
    WPTimer->SetInterval(3 * 60000);
    WPTimer->OnTimer = TNotifyEvent(this, &TMainForm::WPTimerTimer);
    OnActivate = TNotifyEvent(this, &TMainForm::FormActivate);
    OnCloseQuery = TCloseQueryEvent(this, &TMainForm::FormCloseQuery);
    OnClose = TCloseEvent(this, &TMainForm::FormClose);
}

TMainForm::~TMainForm()
{
    StopWallpaperLoader();
    delete WPTimer;
    if (Application && Application->OnActivate == TNotifyEvent(this, &TMainForm::AppEventsActivate))
        Application->OnActivate = TNotifyEvent();
    StopScreenSaverPreview(saverProcess_);
    if (MessageOwner() == static_cast<void*>(ownHandle_))
        SetMessageOwner(nullptr);
    if (oleInitialized_)
        OleUninitialize();
}

void TMainForm::BuildPanels()
{
    ToolBar = Create<TToolBar>(this);
    ToolBar->SetName("ToolBar");
    ToolBar->SetParent(this);

    // Bottom-aligned controls keep their order from the bottom edge: status bar, then the panel.
    StatusBar = Create<TStatusBar>(this);
    StatusBar->SetName("StatusBar");
    StatusBar->SetBounds(0, 2000, 800, 19);
    TStatusPanel* position = StatusBar->Panels()->Add();
    position->SetWidth(kPositionPanelWidth);
    position->SetAlignment(taCenter);
    position->SetText("0:0");
    StatusBar->Panels()->Add()->SetWidth(50);
    StatusBar->SetParent(this);

    SrchPanel = Create<TPanel>(this);
    SrchPanel->SetName("SrchPanel");
    SrchPanel->SetBevelOuter(bvNone);
    SrchPanel->SetBounds(0, 1000, 800, 100);
    SrchPanel->SetAlign(alBottom);
    SrchPanel->SetDockSite(true);
    SrchPanel->OnDockDrop = TDockDropEvent(this, &TMainForm::SrchPanelDockDrop);
    SrchPanel->OnUnDock = TUnDockEvent(this, &TMainForm::SrchPanelUnDock);
    SrchPanel->SetParent(this);

    auto* bar = Create<TDockBar>(this);
    bar->SetName("SrchDockBar");
    bar->SetCaption("検索ウィンドウ");
    bar->SetBounds(0, 0, 800, 18);
    bar->SetAlign(alTop);
    bar->OnDragOut = TDragOutEvent(this, &TMainForm::SrchDockBarDragOut);
    bar->SetParent(SrchPanel);
    SrchDockBar = bar;
    SrchResCloseBtn = Create<TButton>(this);
    SrchResCloseBtn->SetName("SrchResCloseBtn");
    SrchResCloseBtn->SetCaption("×");
    SrchResCloseBtn->SetBounds(776, 0, 24, 18);
    SrchResCloseBtn->SetAlign(alRight);
    SrchResCloseBtn->OnClick = TNotifyEvent(this, &TMainForm::SrchResCloseBtnClick);
    SrchResCloseBtn->SetParent(SrchDockBar);

    MainPanel = Create<TPanel>(this);
    MainPanel->SetName("MainPanel");
    MainPanel->SetBevelOuter(bvNone);
    MainPanel->SetAlign(alClient);
    MainPanel->SetParent(this);

    MainPageCtrl = Create<TPageControl>(this);
    MainPageCtrl->SetName("MainPageCtrl");
    MainPageCtrl->SetOwnerDraw(true);
    MainPageCtrl->SetAlign(alClient);
    MainPageCtrl->SetVisible(false); // shown while a page is open; the drop panel lies behind it
    MainPageCtrl->OnChanging = TTabChangingEvent(this, &TMainForm::MainPageCtrlChanging);
    MainPageCtrl->OnChange = TNotifyEvent(this, &TMainForm::MainPageCtrlChange);
    MainPageCtrl->OnMouseDown = TMouseEvent(this, &TMainForm::MainPageCtrlMouseDown);
    MainPageCtrl->OnMouseUp = TMouseEvent(this, &TMainForm::MainPageCtrlMouseUp);
    MainPageCtrl->OnContextPopup = TContextPopupEvent(this, &TMainForm::MainPageCtrlContextPopup);
    MainPageCtrl->OnDragOver = TDragOverEvent(this, &TMainForm::MainPageCtrlDragOver);
    MainPageCtrl->OnDragDrop = TDragDropEvent(this, &TMainForm::MainPageCtrlDragDrop);
    MainPageCtrl->OnDrawTab = TDrawTabEvent(this, &TMainForm::MainPageCtrlDrawTab);
    MainPageCtrl->SetParent(MainPanel);

    OpenDialog = Create<TOpenDialog>(this);
    OpenDialog->SetName("OpenDialog");
    SaveDialog = Create<TSaveDialog>(this);
    SaveDialog->SetName("SaveDialog");
    SaveDialog->SetOptions(SaveDialog->Options() << ofOverwritePrompt);
}

void TMainForm::BuildMenus()
{
    MainMenu = Create<TMainMenu>(this);
    MainMenu->SetName("MainMenu");
    TMenuItem* bar = MainMenu->Items();
    auto item = [this](TMenuItem* parent, const char* name, const char* caption, const char* keys,
                       void (TMainForm::*handler)(TObject*)) {
        return NewMenuItem(this, parent, name, caption, keys ? TextToShortCut(keys) : scNone,
                           handler ? TNotifyEvent(this, handler) : TNotifyEvent());
    };
    FileMenu = item(bar, "FileMenu", "ファイル(&F)", nullptr, &TMainForm::FileMenuClick);
    NewFileMenu = item(FileMenu, "NewFileMenu", "新規作成(&N)", "Ctrl+N", &TMainForm::NewFileMenuClick);
    OpenFileMenu = item(FileMenu, "OpenFileMenu", "開く(&O)", "Ctrl+O", &TMainForm::OpenFileMenuClick);
    ReopenMenu = item(FileMenu, "ReopenMenu", "開き直す(&R)", nullptr, nullptr);
    for (int i = 0; i < 5; ++i)
    {
        RP[i] = item(ReopenMenu, ("RP" + IntToStr(i + 1)).c_str(), "", nullptr, &TMainForm::RPMenuClick);
        RP[i]->SetVisible(false);
    }
    ReopenMenu->SetEnabled(false);
    item(FileMenu, "N1", "-", nullptr, nullptr);
    OverWriteMenu =
        item(FileMenu, "OverWriteMenu", "上書き保存(&S)", "Ctrl+S", &TMainForm::OverWriteMenuClick);
    SaveMenu = item(FileMenu, "SaveMenu", "名前を付けて保存(&A)", nullptr, &TMainForm::SaveMenuClick);
    PageCloseMenu =
        item(FileMenu, "PageCloseMenu", "ファイルを閉じる(&C)", nullptr, &TMainForm::PageClosepMenuClick);
    item(FileMenu, "N2", "-", nullptr, nullptr);
    EndMenu = item(FileMenu, "EndMenu", "終了(&X)", nullptr, &TMainForm::EndMenuClick);

    PagePopupMenu = Create<TPopupMenu>(this);
    PagePopupMenu->SetName("PagePopupMenu");
    PageClosepMenu = item(PagePopupMenu->Items(), "PageClosepMenu", "ファイルを閉じる(&C)", nullptr,
                          &TMainForm::PageClosepMenuClick);
    AllCloseMenu = item(PagePopupMenu->Items(), "AllCloseMenu", "全て閉じる(&X)", nullptr,
                        &TMainForm::AllCloseMenuClick);
    AllCloseMenu->SetVisible(false);

    // Its commands come with the edit menu.
    PopupMenu = Create<TPopupMenu>(this);
    PopupMenu->SetName("PopupMenu");

    OpenFilePopupMenu = Create<TPopupMenu>(this);
    OpenFilePopupMenu->SetName("OpenFilePopupMenu");
    OpenFilePopupMenu->OnPopup = TNotifyEvent(this, &TMainForm::FileMenuClick);
    for (int i = 0; i < 5; ++i)
    {
        PRP[i] = item(OpenFilePopupMenu->Items(), ("PRP" + IntToStr(i + 1)).c_str(), "", nullptr,
                      &TMainForm::RPMenuClick);
        PRP[i]->SetVisible(false);
    }
}

void TMainForm::BuildToolBar()
{
    auto button = [this](const char* name, const char* caption, TToolButtonStyle style = tbsButton) {
        auto* b = Create<TToolButton>(this);
        b->SetName(name);
        b->SetCaption(caption);
        b->SetStyle(style);
        b->SetParent(ToolBar);
        return b;
    };
    auto separator = [&] { button("", "", tbsSeparator); };
    NewToolButton = button("NewToolButton", "新規");
    NewToolButton->OnClick = TNotifyEvent(this, &TMainForm::NewFileMenuClick);
    OpenFileSettingToolButton = button("OpenFileSettingToolButton", "開く", tbsDropDown);
    OpenFileSettingToolButton->OnClick = TNotifyEvent(this, &TMainForm::OpenFileMenuClick);
    OpenFileSettingToolButton->SetDropdownMenu(OpenFilePopupMenu);
    SaveToolButton = button("SaveToolButton", "保存");
    SaveToolButton->OnClick = TNotifyEvent(this, &TMainForm::OverWriteMenuClick);
    separator();
    PrintToolButton = button("PrintToolButton", "印刷");
    MailToolButton = button("MailToolButton", "ﾒｰﾙ");
    separator();
    UndoToolButton = button("UndoToolButton", "元に戻す");
    CutToolButton = button("CutToolButton", "切取");
    CopyToolButton = button("CopyToolButton", "ｺﾋﾟｰ");
    PasteToolButton = button("PasteToolButton", "貼付");
    separator();
    SrchToolButton = button("SrchToolButton", "検索");
    // The search field stands between its buttons: the bar places its controls in this order.
    SrchEdit = Create<TEdit>(this);
    SrchEdit->SetName("SrchEdit");
    SrchEdit->SetBounds(0, 0, 140, 22);
    SrchEdit->SetParent(ToolBar);
    NextSrchToolButton = button("NextSrchToolButton", "次");
    PrevSrchToolButton = button("PrevSrchToolButton", "前");
    GrepToolButton = button("GrepToolButton", "ﾌｧｲﾙ検索");
    separator();
    CalcToolButton = button("CalcToolButton", "電卓");
    CommandToolButton = button("CommandToolButton", "ｺﾏﾝﾄﾞ", tbsDropDown);
    LockToolButton = button("LockToolButton", "ﾛｯｸ");
    TransparentToolButton = button("TransparentToolButton", "透明");
}

// ---------------------------------------------------------------------------------------------
// Pages

bool TMainForm::IsPage(const TTabSheet* sheet) const
{
    if (!sheet || !MainPageCtrl)
        return false;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
        if (MainPageCtrl->Pages(i) == sheet)
            return true;
    return false;
}

TPageEditor* TMainForm::GetPageEditor(TTabSheet* sheet) const
{
    if (!IsPage(sheet))
        return nullptr;
    for (int i = 0; i < sheet->ControlCount(); ++i)
        if (auto* editor = dynamic_cast<TPageEditor*>(sheet->Controls(i)))
            return editor;
    return nullptr;
}

TPageEditor* TMainForm::Edit() const
{
    return MainPageCtrl ? GetPageEditor(MainPageCtrl->ActivePage()) : nullptr;
}

void TMainForm::SetActivePage(TTabSheet* sheet)
{
    if (MainPageCtrl->OnChanging)
    {
        bool allow = true;
        MainPageCtrlChanging(MainPageCtrl, allow);
    }
    MainPageCtrl->SetActivePage(sheet);
    if (MainPageCtrl->OnChange)
        MainPageCtrlChange(MainPageCtrl);
}

void TMainForm::UpdateCaption(TTabSheet* sheet)
{
    if (locked_)
        return; // the lock's captions stay until it ends
    SetCaption(kProgramCaption);
    Application->SetTitle(kProgramCaption);
    TTabSheet* page = sheet ? sheet : MainPageCtrl->ActivePage();
    TPageEditor* editor = GetPageEditor(page);
    if (!editor)
        return;
    AnsiString path = editor->EditFilePath;
    AnsiString name = ExtractFileName(path);
    if (name.IsEmpty())
        path = name = "無題";
    page->SetCaption(CutOnCharacter(editor->isEdited() ? "*" + name : name, kCaptionBytes));
    Application->SetTitle(CutOnCharacter(AnsiString(kProgramCaption) + " - [" + name + "]", kCaptionBytes));
    SetCaption(CutOnCharacter(AnsiString(kProgramCaption) + " - [" + path + "]", kCaptionBytes));
}

void TMainForm::RefreshUiState()
{
    if (locked_)
        return; // the lock keeps every button greyed; unlocking refreshes them
    for (TToolButton* b : {NewToolButton, OpenFileSettingToolButton, GrepToolButton})
        b->SetEnabled(true);
    bool open = Edit() != nullptr;
    for (TToolButton* b :
         {SaveToolButton, PrintToolButton, MailToolButton, UndoToolButton, CutToolButton, CopyToolButton,
          PasteToolButton, SrchToolButton, NextSrchToolButton, PrevSrchToolButton})
        b->SetEnabled(open);
}

void TMainForm::EditStatusChange(TObject* sender)
{
    TPageEditor* editor = Edit();
    if (!editor)
    {
        // No page: no position, and the bare program title.
        StatusBar->Panels()->Items(0)->SetText("");
        UpdateCaption(nullptr);
        return;
    }
    TPoint caret = editor->GetCaret();
    const AnsiString position = Format("%4d:%4d", {caret.y + 1, caret.x + 1});
    // Past six digits the position no longer fits its panel, and a cut number reads as another.
    TStatusPanel* panel = StatusBar->Panels()->Items(0);
    const int wanted = std::max(kPositionPanelWidth, StatusBar->TextWidth(position) + 16);
    if (panel->Width() != wanted)
        panel->SetWidth(wanted);
    panel->SetText(position);
    StatusBar->Panels()->Items(1)->SetText(editor->GetInsertMode() ? msgInsertMode : msgOverwriteMode);
    if (editor->isEdited())
        pageEdited_ = true;
    bool starred = MainPageCtrl->ActivePage()->Caption().Pos("*") > 0;
    if (starred != editor->isEdited())
        UpdateCaption(nullptr);
}

void TMainForm::ApplySettingsToAllEditors()
{
    for (int i = MainPageCtrl->PageCount() - 1; i >= 0; --i)
        if (TPageEditor* editor = GetPageEditor(MainPageCtrl->Pages(i)))
            LoadEditSetting(editor);
    ApplyEditSetting(VN::EditSetting); // also without a page
    if (TPageEditor* editor = Edit())
        editor->Invalidate();
}

void TMainForm::EditEnter(TObject* sender)
{
    CheckFileChangedOnDisk(false);
}

void TMainForm::EditLeftAreaClick(TObject* sender, int x, int y, int row)
{
    if (TPageEditor* editor = Edit())
        editor->Invalidate();
}

void TMainForm::EditCtrlTab(TObject* sender)
{
    MainPageCtrl->SelectNextPage(true, true);
}

void TMainForm::FormActivate(TObject* sender)
{
    CheckFileChangedOnDisk(false);
}

void TMainForm::ShowEditor(TTabSheet* sheet)
{
    if (TPageEditor* editor = GetPageEditor(sheet))
        editor->Show();
}

// ---------------------------------------------------------------------------------------------
// Page switching: the switch itself, then a one-shot 10 ms timer that finishes it once the new
// page is on screen. Pages are always looked up again: one may have closed meanwhile.

void TMainForm::MainPageCtrlChanging(TObject* sender, bool& allowChange)
{
    oldPage_ = MainPageCtrl->ActivePage();
}

void TMainForm::MainPageCtrlChange(TObject* sender)
{
    newPage_ = MainPageCtrl->ActivePage();
    TPageEditor* oldEditor = GetPageEditor(oldPage_);
    TPageEditor* newEditor = GetPageEditor(newPage_);
    if (oldEditor || newEditor)
    {
        auto* timer = Create<TTimer>(this);
        timer->SetInterval(10);
        timer->OnTimer = TNotifyEvent(this, &TMainForm::PageSwitchFinish);
    }
    if (newEditor)
    {
        LoadEditSetting(newEditor);
        newEditor->Invalidate();
    }
    // The wallpaper moves to the page entered.
    MoveWallpaper(oldEditor, newEditor);
}

void TMainForm::ShowPageNow(TTabSheet* page)
{
    if (!IsPage(page) || page == MainPageCtrl->ActivePage())
        return;
    SetActivePage(page);
    const int finished = pageSwitchesFinished_;
    while (GetPageEditor(page) && pageSwitchesFinished_ == finished &&
           MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_ALLINPUT) == WAIT_OBJECT_0)
        Application->ProcessMessages();
}

void TMainForm::PageSwitchFinish(TObject* sender)
{
    delete static_cast<TTimer*>(sender);
    ++pageSwitchesFinished_;
    UpdateCaption(nullptr);
    EditStatusChange(nullptr); // the new page's caret
    RefreshUiState();
    newPage_ = MainPageCtrl->ActivePage();
    TPageEditor* editor = GetPageEditor(newPage_);
    if (!editor)
        return;
    try
    {
        Application->ProcessMessages();
        // The page may have closed while messages ran.
        editor = GetPageEditor(MainPageCtrl->ActivePage());
        if (editor && editor->CanFocus())
            editor->SetFocus();
    }
    catch (...)
    {
        // Focusing is a courtesy; a page that cannot take the focus now keeps the old one.
    }
}

// ---------------------------------------------------------------------------------------------
// Tabs

void TMainForm::MainPageCtrlMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft)
    {
        // A second press within the double-click time is no drag.
        DWORD now = GetTickCount();
        if (now - lastTabPress_ <= GetDoubleClickTime())
            MainPageCtrl->EndDrag(false);
        else
            MainPageCtrl->BeginDrag(false, -1);
        lastTabPress_ = now;
    }
}

// The tabs are for choosing the text, never for typing into: a click (one that ends a drag too)
// leaves the keys with the text shown, wherever they were before.
void TMainForm::MainPageCtrlMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)
{
    if (TPageEditor* editor = Edit(); editor && editor->CanFocus())
        editor->SetFocus();
}

// The tab menu comes with the right button's release: a menu opened while the button is still down
// closes again when it is let go.
void TMainForm::MainPageCtrlContextPopup(TObject* sender, TPoint mousePos, bool& handled)
{
    TTabSheet* page = MainPageCtrl->TabPage(MainPageCtrl->IndexOfTabAt(mousePos.x, mousePos.y));
    if (!page)
        return;
    // The switch finishes on a timer by focusing the new editor, which would close a menu already
    // open: the menu waits for it.
    ShowPageNow(page);
    if (TPageEditor* editor = Edit(); editor && editor->CanFocus())
        editor->SetFocus();
    POINT p{mousePos.x, mousePos.y};
    ClientToScreen(MainPageCtrl->Handle(), &p);
    PagePopupMenu->SetPopupComponent(MainPageCtrl);
    PagePopupMenu->Popup(p.x, p.y);
    handled = true;
}

void TMainForm::MainPageCtrlDragOver(TObject* sender, TObject* source, int x, int y, TDragState state,
                                     bool& accept)
{
    accept = source == MainPageCtrl;
}

void TMainForm::MainPageCtrlDragDrop(TObject* sender, TObject* source, int x, int y)
{
    TTabSheet* active = MainPageCtrl->ActivePage();
    if (!active)
        return;
    int activeTab = MainPageCtrl->TabIndex();
    for (int i = 0; i < MainPageCtrl->TabCount(); ++i)
    {
        TRect r = MainPageCtrl->TabRect(i);
        if (i != activeTab && x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom)
        {
            active->SetPageIndex(i);
            return;
        }
    }
}

void TMainForm::MainPageCtrlDrawTab(TPageControl* control, int tabIndex, const TRect& rect, bool active)
{
    TCanvas* canvas = control->Canvas();
    AnsiString caption = control->Tabs(tabIndex);
    if (active)
    {
        canvas->Brush()->SetColor(clBtnFace);
        canvas->Font()->SetColor(clBlue);
        canvas->Font()->SetStyle(canvas->Font()->Style() << fsBold);
        canvas->FillRect(rect);
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(rect.Left + 6, rect.Top + 4, caption);
    }
    else
    {
        canvas->Font()->SetColor(clBlack);
        canvas->FillRect(rect);
        canvas->Brush()->SetStyle(bsClear);
        canvas->TextOut(rect.Left + 4, rect.Top + 4, caption);
    }
}

// ---------------------------------------------------------------------------------------------
// The docking panel of the search-results window

void TMainForm::RestoreSrchPanelHeight(TControl* control)
{
    if (HostDockSite(control) == SrchPanel && SrchPanel->DockClientCount() == 1)
        SrchPanel->SetHeight(srchPanelUndockHeight_);
}

void TMainForm::CollapseSrchPanel()
{
    if (SrchPanel->Height() >= 2)
    {
        srchPanelCollapsedHeight_ = SrchPanel->Height();
        SrchPanel->SetHeight(0);
    }
}

void TMainForm::SrchResCloseBtnClick(TObject* sender)
{
    // The docked window closes, giving its room back as it goes.
    for (int i = 0; i < SrchPanel->DockClientCount(); ++i)
        if (auto* form = dynamic_cast<TCustomForm*>(SrchPanel->DockClients(i)); form && form->Visible())
            form->Close();
    CollapseSrchPanel();
}

void TMainForm::SrchPanelDockDrop(TObject* sender, TDragDockObject* source, int x, int y)
{
    // A window docked while hidden (at start-up) takes no room until it is shown.
    if (SrchPanel->DockClientCount() >= 1 && source && source->Control() && source->Control()->Visible())
        SrchPanel->SetHeight(srchPanelUndockHeight_);
}

void TMainForm::SrchPanelUnDock(TObject* sender, TControl* client, TWinControl* newTarget, bool& allow)
{
    if (SrchPanel->DockClientCount() == 1 && SrchPanel->DockClients(0) == client)
    {
        if (SrchPanel->Height() >= 2)
            srchPanelUndockHeight_ = SrchPanel->Height();
        SrchPanel->SetHeight(0);
    }
}

bool TMainForm::SrchPanelDockOver(TPoint screenPoint, TRect& dockRect)
{
    if (!SrchPanel->HandleAllocated() || !IsWindowVisible(SrchPanel->Handle()))
        return false;
    POINT origin{0, 0};
    ClientToScreen(SrchPanel->Handle(), &origin);
    TRect room(origin.x, origin.y, origin.x + SrchPanel->ClientWidth(), origin.y + SrchPanel->ClientHeight());
    if (SrchPanel->ClientHeight() < 5)
        room.Top = room.Bottom - srchPanelUndockHeight_;
    if (screenPoint.x < room.Left || screenPoint.x >= room.Right || screenPoint.y < room.Top ||
        screenPoint.y >= room.Bottom)
        return false;
    dockRect = room;
    return true;
}

bool TMainForm::DockFormAt(TCustomForm* form, TPoint screenPoint)
{
    TRect room;
    if (!form || HostDockSite(form) || !SrchPanelDockOver(screenPoint, room))
        return false;
    return ManualDock(form, SrchPanel);
}

void TMainForm::SrchDockBarDragOut(TObject* sender, TPoint screenPoint)
{
    for (int i = 0; i < SrchPanel->DockClientCount(); ++i)
        if (auto* form = dynamic_cast<TCustomForm*>(SrchPanel->DockClients(i)))
        {
            TSize size = UndockSize(form);
            ManualFloat(form,
                        TRect(screenPoint.x, screenPoint.y, screenPoint.x + size.cx, screenPoint.y + size.cy));
            return;
        }
}

bool TMainForm::DockZoneAt(TControl* control, TRect& rect, TPoint point)
{
    TRect client = control->ClientRect();
    int w = client.Width();
    int h = client.Height();
    if (point.x < 0 || point.y < 0 || point.x >= w || point.y >= h)
        return false;
    if (point.x < w / 5)
        rect = TRect(0, 0, w / 2, h);
    else if (point.y < h / 5)
        rect = TRect(0, 0, w, h / 2);
    else if (point.x >= w * 4 / 5)
        rect = TRect(w / 2, 0, w, h);
    else if (point.y >= h * 4 / 5)
        rect = TRect(0, h / 2, w, h);
    else
        rect = TRect(0, 0, w, h);
    if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->HandleAllocated())
    {
        POINT corners[2] = {{rect.Left, rect.Top}, {rect.Right, rect.Bottom}};
        MapWindowPoints(windowed->Handle(), nullptr, corners, 2);
        rect = TRect(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

void TMainForm::FormCreate(TObject* sender)
{
    OpenDialog->SetFilter(msgOpenFilter);
    // Every file shows at first: a text may have any extension (.c, .csv, .f90...).
    OpenDialog->SetFilterIndex(FilterIndexOf(msgOpenFilter, "*.*"));
    oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
    MainMenu->SetOwnerDraw(false);
    MainMenu->AttachTo(this);
    CollapseSrchPanel();
    SetMsgCaption(kProgramCaption);
    ownHandle_ = Handle();
    SetMessageOwner(ownHandle_);
    SrchPanel->SetHeight(0);

    dropPanel_ = Create<nsPanel>(this);
    dropPanel_->SetName("DropPanel");
    dropPanel_->SetBevelOuter(bvNone);
    dropPanel_->SetColor(clWhite);
    dropPanel_->SetAlign(alClient);
    dropPanel_->OnFileDrop = TDropFilesEvent(this, &TMainForm::OnEditFileDrop);
    dropPanel_->SetParent(MainPanel);
    dropPanel_->SetAcceptFiles(true);
    SetWindowPos(dropPanel_->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    BuildThemeManager();
    RefreshUiState();
}

void TMainForm::FormShow(TObject* sender)
{
    if (shown_)
        return; // start-up runs once, at the first showing
    shown_ = true;
    startupFinished_ = false;
    Application->ProcessMessages();
    DWORD t0 = GetTickCount();
    try
    {
        LoadEditSetting(nullptr, SettingsKey);
        ReadHistory();
        ReadEmphasisList(VN::EmphasisList, SettingsKey);
        UpdateCaption(nullptr);
        RestoreReopenListAndCommandLine();
        RefreshUiState();
        startupFinished_ = true;
        ReadWallpaper();
        LoadWallpaperSettings();
    }
    catch (const std::exception& e)
    {
        WarningBox("%s", ExceptionText(e).c_str());
    }
    DWORD elapsed = GetTickCount() - t0;
    if (elapsed < MinStartupMs)
        Sleep(MinStartupMs - elapsed);
    ForceForegroundWindow(Handle());
    try
    {
        ReadWindowLayout();
    }
    catch (const std::exception& e)
    {
        WarningBox("%s", ExceptionText(e).c_str());
    }
    UpdateCaption(nullptr);
}

void TMainForm::FormClose(TObject* sender, TCloseAction& action)
{
    // No hit and no picture may arrive after the pages are gone.
    StopGrep();
    StopWallpaperLoader();
    // The window goes whatever the registry says: a refused write loses only the settings.
    try
    {
        WriteReopenList();
    }
    catch (const std::exception&)
    {
    }
    MainPageCtrl->OnChange = nullptr;
    MainPageCtrl->OnChanging = nullptr;
    MainPageCtrl->Hide();
    while (MainPageCtrl->PageCount() > 0)
        ClosePage(MainPageCtrl->Pages(0), false);
    try
    {
        WriteWindowLayout();
    }
    catch (const std::exception&)
    {
    }
}
