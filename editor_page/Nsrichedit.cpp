// The editor page's frame: construction and teardown with its drawing thread, the line store that
// reports every change, the comment model's hooks, focus (OnEnter), the wheel and dropped files.
#include "editor_page/Nsrichedit.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

#include "editor_page/DrawLineThread.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Menus.h"

// ---- line store ---------------------------------------------------------------------------------

void nsStringList::Put(int index, const AnsiString& s)
{
    TStringList::Put(index, s);
    if (owner_)
        owner_->LineStoreChanged(lcPut, index);
}

void nsStringList::SwapString(int index, AnsiString& s)
{
    TStringList::SwapString(index, s);
    if (owner_)
        owner_->LineStoreChanged(lcPut, index);
}

int nsStringList::Add(const AnsiString& s)
{
    // Straight to the list's own insertion: through the virtual Insert it would be reported twice.
    int index = GetCount();
    TStringList::Insert(index, s);
    if (owner_)
        owner_->LineStoreChanged(lcAdd, index);
    return index;
}

void nsStringList::Appended(int first, int count)
{
    if (owner_)
        for (int i = first; i < first + count; ++i)
            owner_->LineStoreChanged(lcAdd, i);
}

void nsStringList::Clear()
{
    TStringList::Clear();
    if (owner_)
        owner_->LineStoreChanged(lcClear, -1);
}

void nsStringList::Delete(int index)
{
    TStringList::Delete(index);
    if (owner_)
        owner_->LineStoreChanged(lcDelete, index);
}

void nsStringList::Insert(int index, const AnsiString& s)
{
    TStringList::Insert(index, s);
    if (owner_)
        owner_->LineStoreChanged(lcInsert, index);
}

void nsStringList::Exchange(int index1, int index2)
{
    TStringList::Exchange(index1, index2);
    if (owner_)
    {
        owner_->LineStoreChanged(lcPut, index1);
        owner_->LineStoreChanged(lcPut, index2);
    }
}

// ---- construction and teardown ------------------------------------------------------------------

nsRichEdit::nsRichEdit(TComponent* owner) : TCustomAFEdit(owner) {}

nsRichEdit::~nsRichEdit() = default;

TStrings* nsRichEdit::MakeFLine() { return new nsStringList(this); }

void nsRichEdit::AfterConstruction()
{
    AttrList()->Clear();
    FBookmarkGap = 1;
    FBookmarkWidth = 12;
    RowDspFmt = "%5d";
    // Hit marks take random ids.
    std::srand(unsigned(std::time(nullptr)));
    // A window made while the control was put on its parent missed the style of CreateParams.
    if (HandleAllocated())
        DragAcceptFiles(handle_, TRUE);
    TCustomAFEdit::AfterConstruction();
    OnDrawLine = TDrawLineEvent(this, &nsRichEdit::SyntaxColorRow);
    FRuler = new TBitmap();
    FOffscreen = new TBitmap();
    FComment.Owner = this;
    FDrawThread = Create<DrawLineThread>();
    FWallPicture = new TPicture();
    FWallBack = new TBitmap();
    FWallText = new TBitmap();
    ColBookMarkBk = TColor(0xEEEEEE);
    ColBookMarkLine = TColor(0x808080);
    // No setting holds the syntax colours; these tell the kinds apart on a white page.
    ColComment = TColor(0x008000);
    ColString = TColor(0x000080);
    ColChr = TColor(0x808000);
    ColNumeric = TColor(0x800000);
    ColPreProc = TColor(0x800080);
    ColLabelNum = TColor(0xFF0000);
}

void nsRichEdit::BeforeDestruction()
{
    // The thread goes first, while the page and its window still exist: a draw it is waiting to
    // hand over is served by WaitFor and draws nothing.
    StopThread();
    FDrawingOffscreen = false;
    delete FRuler;
    FRuler = nullptr;
    delete FOffscreen;
    FOffscreen = nullptr;
    delete FWallPicture;
    FWallPicture = nullptr;
    delete FWallBack;
    FWallBack = nullptr;
    delete FWallText;
    FWallText = nullptr;
    FWallPaperSet = false;
    TCustomAFEdit::BeforeDestruction();
}

void nsRichEdit::StopThread()
{
    DrawLineThread* thread = FDrawThread;
    if (!thread)
        return;
    thread->Terminate();
    thread->WaitFor();
    thread->ClearRequests();
    FDrawThread = nullptr;
    delete thread;
}

void nsRichEdit::StopDrawThread() { StopThread(); }

void nsRichEdit::LineStoreChanged(typLineChange change, int index)
{
    switch (change)
    {
    case lcAdd:
    case lcPut: FComment.RebuildRow(index); break;
    case lcInsert: FComment.InsertRow(index); break;
    case lcDelete: FComment.DeleteRow(index); break;
    case lcClear: FComment.Clear(); break;
    }
}

void nsRichEdit::LeftAreaClick(int x, int y, int row)
{
    if (OnLeftAreaClick)
        OnLeftAreaClick(this, x, y, row);
}

// ---- messages -----------------------------------------------------------------------------------

void nsRichEdit::CreateParams(TCreateParams& params)
{
    TCustomAFEdit::CreateParams(params);
    params.ExStyle |= WS_EX_ACCEPTFILES; // what DragAcceptFiles sets, kept when the window is made anew
}

void nsRichEdit::WndProc(TMessage& message)
{
    if (message.Msg == WM_DROPFILES)
    {
        WMDropFiles(message);
        return;
    }
    if (message.Msg == WM_CONTEXTMENU && PopupMenu)
    {
        WMContextMenu(message);
        return;
    }
    TCustomAFEdit::WndProc(message);
}

void nsRichEdit::WMContextMenu(TMessage& message)
{
    message.Result = 0;
    int x = short(LOWORD(message.LParam));
    int y = short(HIWORD(message.LParam));
    if (x == -1 && y == -1)
    {
        // From the keyboard: at the caret.
        POINT p{0, 0};
        GetCaretPos(&p);
        ClientToScreen(handle_, &p);
        x = p.x;
        y = p.y;
    }
    PopupMenu->SetPopupComponent(this);
    PopupMenu->Popup(x, y);
}

void nsRichEdit::WMDropFiles(TMessage& message)
{
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    struct TFinish
    {
        HDROP drop;
        ~TFinish() { DragFinish(drop); }
    } finish{drop};
    message.Result = 0;
    if (!OnFileDrop)
        return;
    TStringList files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i)
    {
        UINT len = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(len + 1, L'\0');
        len = DragQueryFileW(drop, i, name.data(), len + 1);
        name.resize(len);
        DWORD attr = GetFileAttributesW(name.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        files.Add(WideToSjis(name));
    }
    if (files.GetCount() > 0)
        OnFileDrop(this, &files);
}

bool nsRichEdit::FocusInsideForm(HWND other)
{
    TCustomForm* form = GetParentForm(this);
    if (!other || !form || !form->HandleAllocated())
        return false;
    HWND formWnd = form->Handle();
    return other == formWnd || IsChild(formWnd, other);
}

void nsRichEdit::WMSetFocus(TWMSetFocus& message)
{
    // Entering means the form's active control became this page: the focus comes from another
    // control of the same form, or the page had lost its place to one. A focus that only returns
    // from another window (a dialog, another program) is no entry.
    HWND from = message.FocusedWnd;
    bool enter = !FEntered || (from && from != handle_ && FocusInsideForm(from));
    TCustomAFEdit::WMSetFocus(message);
    FEntered = true;
    if (enter && OnEnter)
        OnEnter(this);
}

void nsRichEdit::WMKillFocus(TWMKillFocus& message)
{
    HWND to = message.FocusedWnd;
    bool exit = FEntered && to && to != handle_ && FocusInsideForm(to);
    TCustomAFEdit::WMKillFocus(message);
    if (exit)
    {
        FEntered = false;
        if (OnExit)
            OnExit(this);
    }
}

void nsRichEdit::WMMouseWheel(TWMMouseWheel& message)
{
    if (message.WheelDelta > 0)
    {
        int top = std::max(0, GetTopLine() - 2);
        if (top != GetTopLine())
        {
            SetTopLineRaw(top);
            StoreVertPos(top);
            SetScrollBars(ScrollBars);
            Invalidate();
        }
    }
    else if (message.WheelDelta < 0)
        Perform(WM_VSCROLL, SB_LINEDOWN, 0);
    // The platform's default would hand the wheel on to the parent window as well.
    message.Result = 0;
}
