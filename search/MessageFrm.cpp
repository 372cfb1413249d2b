// The search-results window.
#include "search/MessageFrm.h"

#include <algorithm>
#include <memory>
#include <cstdio>
#include <cstring>

#include <commctrl.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "platform/Clipbrd.h"
#include "platform/Cp932.h"
#include "platform/Menus.h"
#include "platform/SysUtils.h"

TMessageForm* MessageForm = nullptr;
TSrchJumpHost* SrchJumpHost = nullptr;

namespace
{
constexpr TColor kSelectedBack = TColor(0xE35400);
constexpr int kTabWidth = 8;
constexpr int kListedLineBytes = 1024;

// Text without its line end (CR, LF or both).
AnsiString WithoutLineEnd(const AnsiString& s)
{
    int n = s.Length();
    while (n > 0 && (s[n] == '\r' || s[n] == '\n'))
        --n;
    return s.SubString(1, n);
}

// A column moved back onto the start of the character it falls in.
int CharStart(const AnsiString& text, int column)
{
    column = std::clamp(column, 0, text.Length());
    if (column > 0 && column < text.Length() && ByteType(text, column + 1) == mbTrailByte)
        --column;
    return column;
}
} // namespace

// ---- THintListBox
// ------------------------------------------------------------------------------

AnsiString THintListBox::HintTextAt(TPoint clientPoint)
{
    if (ItemHeight() <= 0 || clientPoint.y < 0)
        return AnsiString();
    const int index = clientPoint.y / ItemHeight() + TopIndex();
    if (index < 0 || index >= Count())
        return AnsiString();
    const AnsiString text = Items()->Strings(index);
    if (Canvas()->TextWidth(text) <= ClientWidth())
        return AnsiString();
    return text;
}

void THintListBox::HandleCreated()
{
    TListBox::HandleCreated();
    tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           0, 0, 0, 0, Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tip_)
        return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    info.hwnd = Handle();
    info.uId = UINT_PTR(Handle());
    info.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tip_, TTM_ADDTOOLW, 0, LPARAM(&info));
    tipItem_ = -1;
}

void THintListBox::TrackHint(TPoint clientPoint)
{
    if (!tip_)
        return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = Handle();
    info.uId = UINT_PTR(Handle());
    const AnsiString text = HintTextAt(clientPoint);
    if (text.IsEmpty())
    {
        if (tipItem_ >= 0)
            SendMessageW(tip_, TTM_TRACKACTIVATE, FALSE, LPARAM(&info));
        tipItem_ = -1;
        return;
    }
    const int index = clientPoint.y / ItemHeight() + TopIndex();
    if (index == tipItem_)
        return;
    tipItem_ = index;
    tipText_ = SjisToWide(text);
    info.lpszText = tipText_.data();
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, LPARAM(&info));
    SendMessageW(tip_, WM_SETFONT, WPARAM(Font()->Handle()), TRUE);
    // The tip lies over the cut line.
    const TRect r = ItemRect(index);
    POINT p{r.Left - 1, r.Top - 3};
    ClientToScreen(Handle(), &p);
    SendMessageW(tip_, TTM_TRACKPOSITION, 0, MAKELPARAM(p.x, p.y));
    SendMessageW(tip_, TTM_TRACKACTIVATE, TRUE, LPARAM(&info));
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
    TrackMouseEvent(&track);
}

void THintListBox::Dispatch(TMessage& message)
{
    switch (message.Msg)
    {
    case WM_MOUSEMOVE: TrackHint(TPoint(short(LOWORD(message.LParam)), short(HIWORD(message.LParam)))); break;
    case WM_MOUSELEAVE:
    case WM_VSCROLL:
    case WM_MOUSEWHEEL: TrackHint(TPoint(-1, -1)); break;
    case WM_CONTEXTMENU:
        if (ContextMenu)
        {
            POINT p{short(LOWORD(message.LParam)), short(HIWORD(message.LParam))};
            if (message.LParam == -1) // from the keyboard: at the selected line
            {
                const TRect r = ItemIndex() >= 0 ? ItemRect(ItemIndex()) : TRect(0, 0, 0, 0);
                p = POINT{r.Left + 8, r.Bottom};
                ClientToScreen(Handle(), &p);
            }
            ContextMenu->Popup(p.x, p.y);
            message.Result = 0;
            return;
        }
        break;
    case WM_DESTROY:
        if (tip_)
            DestroyWindow(tip_);
        tip_ = nullptr;
        tipItem_ = -1;
        break;
    default: break;
    }
    TListBox::Dispatch(message);
}

// ---- TMessageForm
// ------------------------------------------------------------------------------

TMessageForm::TMessageForm(TComponent* owner) : TForm(owner)
{
    SetName("MessageForm");
    SetCaption("検索ウィンドウ");
    SetBorderStyle(bsSizeToolWin);
    SetBounds(120, 400, 600, 140);

    PageControl = Create<TPageControl>(this);
    PageControl->SetName("PageControl");
    PageControl->SetAlign(alClient);
    PageControl->SetTabPosition(tpBottom);
    PageControl->SetOwnerDraw(true);
    PageControl->OnDrawTab = TDrawTabEvent(this, &TMessageForm::PageControlDrawTab);
    PageControl->SetParent(this);

    Page2 = Create<TTabSheet>(this);
    Page2->SetName("Page2");
    Page2->SetCaption("検索結果");
    Page2->SetPageControl(PageControl);

    SrchResListBox = Create<THintListBox>(this);
    SrchResListBox->SetName("SrchResListBox");
    SrchResListBox->SetStyle(lbOwnerDrawFixed);
    SrchResListBox->SetItemHeight(12);
    SrchResListBox->SetAlign(alClient);
    SrchResListBox->OnDblClick = TNotifyEvent(this, &TMessageForm::SrchResListBoxDblClick);
    SrchResListBox->OnKeyPress = TKeyPressEvent(this, &TMessageForm::SrchResListBoxKeyPress);
    SrchResListBox->OnDrawItem = TDrawItemEvent(this, &TMessageForm::SrchResListBoxDrawItem);
    SrchResListBox->SetParent(Page2);

    PopupMenu = Create<TPopupMenu>(this);
    CompMesCopyMenu = NewMenuItem(this, PopupMenu->Items(), "CompMesCopyMenu", "コピー(&C)", scNone,
                                  TNotifyEvent(this, &TMessageForm::CompMesCopyMenuClick));
    CopyAllMenu = NewMenuItem(this, PopupMenu->Items(), "CopyAllMenu", "全コピー(&A)", scNone,
                              TNotifyEvent(this, &TMessageForm::CopyAllMenuClick));
    SrchResListBox->ContextMenu = PopupMenu;

    OnCreate = TNotifyEvent(this, &TMessageForm::FormCreate);
    OnShow = TNotifyEvent(this, &TMessageForm::FormShow);
    OnClose = TCloseEvent(this, &TMessageForm::FormClose);
}

TMessageForm::~TMessageForm()
{
    // A docked window goes with the main window's panel: nobody may reach it afterwards.
    if (MessageForm == this)
        MessageForm = nullptr;
    if (SrchResultsSink() == this)
        SetSrchResultsSink(nullptr);
    MsgForm_ClearResults();
}

// Floating, the window stays over the editor it lists hits of; docked it is a child window.
void TMessageForm::CreateParams(TCreateParams& params)
{
    TForm::CreateParams(params);
    if (!(params.Style & WS_CHILD))
        params.ExStyle |= WS_EX_TOPMOST;
}

void TMessageForm::Dispatch(TMessage& message)
{
    TForm::Dispatch(message);
    // Dragged by its caption and let go over the main window's results panel, it docks there.
    if (message.Msg == WM_EXITSIZEMOVE && !HostDockSite(this) && SrchJumpHost)
    {
        POINT p{};
        GetCursorPos(&p);
        SrchJumpHost->DockResultsAt(this, TPoint(p.x, p.y));
    }
}

void TMessageForm::CompMesCopyMenuClick(TObject*)
{
    const int index = SrchResListBox->ItemIndex();
    if (index >= 0 && index < SrchResListBox->Items()->GetCount())
        Clipboard()->SetAsText(SrchResListBox->Items()->Get(index));
}

void TMessageForm::CopyAllMenuClick(TObject*)
{
    TStrings* items = SrchResListBox->Items();
    AnsiString text;
    for (int i = 0; i < items->GetCount(); ++i)
        text += items->Get(i) + "\r\n";
    if (!text.IsEmpty())
        Clipboard()->SetAsText(text);
}

void TMessageForm::FormCreate(TObject*) { PageControl->SetActivePage(Page2); }

void TMessageForm::FormShow(TObject*)
{
    if (SrchJumpHost)
        SrchJumpHost->ResultsShownDocked(this);
}

void TMessageForm::FormClose(TObject*, TCloseAction&)
{
    // A docked window that closes gives its room back to the editor.
    if (TPanel* host = HostDockSite(this); host && host->OnUnDock)
    {
        bool allow = true;
        host->OnUnDock(host, this, nullptr, allow);
    }
}

void TMessageForm::MsgForm_ClearResults()
{
    TStrings* items = SrchResListBox->Items();
    for (int i = 0; i < items->GetCount(); ++i)
    {
        delete items->GetObject(i);
        items->PutObject(i, nullptr);
    }
    items->Clear();
}

void TMessageForm::MsgForm_AddLine(const AnsiString& text, TObject* object)
{
    SrchResListBox->Items()->AddObject(text, object);
}

void TMessageForm::MsgForm_ShowResults() { PageControl->SetActivePage(Page2); }

void TMessageForm::ShowResults()
{
    MsgForm_ShowResults();
    if (!Visible())
        Show();
}

void TMessageForm::MsgForm_AddGrepHit(const typGrepInf* hit)
{
    if (hit)
        AddGrepLine(std::make_unique<typGrepInf>(*hit));
}

void TMessageForm::GrepFileFound(TObject*, typGrepInf* hit)
{
    // The worker is done with the hit: its strings move here without touching their counts,
    // which the worker's next hits of the same file and line are changing.
    if (hit)
        AddGrepLine(std::make_unique<typGrepInf>(std::move(*hit)));
}

void TMessageForm::AddGrepLine(std::unique_ptr<typGrepInf> hit)
{
    // The hits of one line share its text; each listed line holds only its start, so a long line
    // with many hits cannot fill the memory. Made in one piece: a search may list a million.
    const char* line = hit->Line.c_str();
    int n = hit->Line.Length();
    while (n > 0 && (line[n - 1] == '\r' || line[n - 1] == '\n'))
        --n;
    if (n > kListedLineBytes)
        n = ByteTypeAt(line, n, kListedLineBytes) == mbTrailByte ? kListedLineBytes - 1 : kListedLineBytes;
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "(%d):", hit->LineNo);
    const int pathLength = hit->Path.Length();
    AnsiString text;
    text.SetLength(pathLength + digits + n);
    char* out = text.Unique();
    std::memcpy(out, hit->Path.c_str(), size_t(pathLength));
    std::memcpy(out + pathLength, number, size_t(digits));
    std::memcpy(out + pathLength + digits, line, size_t(n));
    MsgForm_AddLine(text, hit.get());
    hit.release(); // the list owns it now
}

void TMessageForm::AddLine(const AnsiString& text) { MsgForm_AddLine(text, nullptr); }

void TMessageForm::AddHit(typSrchPack* hit)
{
    if (!hit)
        return;
    const AnsiString text = ExtractFileName(hit->FileName) + "(" + IntToStr(hit->HitPoint.y + 1) +
                            "):" + WithoutLineEnd(hit->LineText);
    try
    {
        MsgForm_AddLine(text, hit);
    }
    catch (...)
    {
        delete hit;
        throw;
    }
}

void TMessageForm::BeginHits()
{
    if (updates_++ == 0)
        SrchResListBox->Items()->BeginUpdate();
}

void TMessageForm::EndHits()
{
    if (updates_ > 0 && --updates_ == 0)
        SrchResListBox->Items()->EndUpdate();
}

// ---- jumping to a hit
// --------------------------------------------------------------------------

TPoint TMessageForm::ParagraphPoint(nsRichEdit* editor, int lineNo, int byteOffset)
{
    const int rows = editor->GetLinesCount();
    int row = 0;
    for (int paragraph = 1; paragraph < lineNo; ++row)
    {
        if (row >= rows)
            return TPoint(-1, 0);
        if (editor->isCrLine(row))
            ++paragraph;
    }
    if (row >= rows)
        return TPoint(-1, 0);
    // The offset runs on through the paragraph's wrapped rows.
    int x = std::max(0, byteOffset);
    for (;;)
    {
        const AnsiString s = editor->GetLine(row);
        const bool cr = editor->isCrLine(row);
        const int len = s.Length() - (cr && s.Length() > 0 && s[s.Length()] == '\r' ? 1 : 0);
        if (x < len || cr || row + 1 >= rows)
            return TPoint(std::min(x, len), row);
        x -= len;
        ++row;
    }
}

TPoint TMessageForm::GrepHitPoint(nsRichEdit* editor, const typGrepInf& hit)
{
    // The file search splits lines at LF only; the editor also ends a paragraph at
    // a lone CR and reads LF CR as one line end. Only the hit's own line is seen
    // here: a CR opening it is taken as the partner of the LF before it, any
    // other CR before the match ends a paragraph of its own.
    const AnsiString& line = hit.Line;
    const int before = std::clamp(hit.Position, 0, line.Length());
    int paragraph = hit.LineNo;
    int start = hit.LineNo > 1 && before > 0 && line[1] == '\r' ? 1 : 0;
    for (int i = start; i < before; ++i)
        if (line[i + 1] == '\r')
        {
            ++paragraph;
            start = i + 1;
        }
    return ParagraphPoint(editor, paragraph, hit.LineOffset + hit.Position - start);
}

void TMessageForm::SelectHit(nsRichEdit* editor, TPoint start, int byteLength)
{
    const int rows = editor->GetLinesCount();
    if (rows <= 0)
        return;
    start.y = std::clamp(start.y, 0, rows - 1);
    auto contentLength = [&](int row)
    {
        const AnsiString s = editor->GetLine(row);
        return s.Length() - (editor->isCrLine(row) && s.Length() > 0 && s[s.Length()] == '\r' ? 1 : 0);
    };
    start.x = std::clamp(start.x, 0, contentLength(start.y));
    // The end, on across folds.
    TPoint end = start;
    int remaining = std::max(0, byteLength);
    while (remaining > 0)
    {
        const int room = contentLength(end.y) - end.x;
        if (remaining <= room)
        {
            end.x += remaining;
            break;
        }
        if (editor->isCrLine(end.y) || end.y + 1 >= rows)
        {
            end.x += room;
            break;
        }
        remaining -= room;
        ++end.y;
        end.x = 0;
    }
    const TPoint d = editor->DspPos(start);
    const TPoint e = editor->DspPos(end);
    TSelArea* sel = editor->SelArea();
    sel->RowReset();
    sel->PutStartPoint(d);
    sel->PutEndPoint(e);
    editor->SetCaretRaw(d);
    const bool scrolled = editor->ScrollIntoView(d.x, d.y);
    editor->TellSelectChange();
    if (!editor->HandleAllocated())
        return;
    editor->SetCaretPosition();
    if (!scrolled)
        editor->Invalidate();
    if (editor->Visible() && IsWindowVisible(editor->Handle()))
        editor->SetFocus();
}

void TMessageForm::JumpToItem(int index)
{
    if (index < 0 || index >= SrchResListBox->Count() || !SrchJumpHost)
        return;
    TObject* object = SrchResListBox->Items()->GetObject(index);
    if (auto* pack = dynamic_cast<typSrchPack*>(object))
    {
        nsRichEdit* editor = SrchJumpHost->ActivateEditor(pack->Editor);
        if (!editor || !editor->LocateSrchPack(*pack))
            return;
        SelectHit(editor, pack->HitPoint, pack->Pattern.Length());
    }
    else if (auto* hit = dynamic_cast<typGrepInf*>(object))
    {
        nsRichEdit* editor = SrchJumpHost->ShowFile(hit->Path);
        if (!editor)
        {
            // A file that fails to load has been reported by the open; one deleted since the
            // search is not even tried, so it is said here.
            if (!FileExists(hit->Path))
                ErrorBox(msgOpenFailed, hit->Path.c_str());
            return;
        }
        const TPoint p = GrepHitPoint(editor, *hit);
        if (p.x < 0)
        {
            // The file lost lines since the search.
            InfoBox(msgJumpNoSuchLine, IntToStr(hit->LineNo).c_str());
            return;
        }
        SelectHit(editor, p, hit->Length);
    }
}

void TMessageForm::SrchResListBoxDblClick(TObject*) { JumpToItem(SrchResListBox->ItemIndex()); }

void TMessageForm::SrchResListBoxKeyPress(TObject*, char& key)
{
    if (key == '\r')
    {
        JumpToItem(SrchResListBox->ItemIndex());
        key = 0;
    }
}

// ---- drawing
// -----------------------------------------------------------------------------------

AnsiString TMessageForm::ShownLine(const AnsiString& line, int byteOffset, int& column)
{
    const AnsiString raw = WithoutLineEnd(line);
    AnsiString shown;
    column = -1;
    const int n = raw.Length();
    for (int i = 0; i < n; ++i)
    {
        if (i == byteOffset)
            column = shown.Length();
        const unsigned char c = static_cast<unsigned char>(raw[i + 1]);
        if (c == '\t')
        {
            const int blanks = kTabWidth - shown.Length() % kTabWidth;
            shown += AnsiString::StringOfChar(' ', blanks);
        }
        else if (c < 0x20 || c == 0x7F)
            shown += ' ';
        else
            shown += char(c);
    }
    if (column < 0)
        column = shown.Length();
    return shown;
}

bool TMessageForm::LinePieces(const AnsiString&, TObject* object, TResultLinePieces& pieces)
{
    AnsiString shown;
    int column = 0;
    int length = 0;
    if (auto* pack = dynamic_cast<typSrchPack*>(object))
    {
        shown = WithoutLineEnd(pack->LineText);
        column = pack->SelPoint.x; // the listed row has its tabs expanded, as display columns are
        length = pack->Pattern.Length();
        pieces.Prefix = ExtractFileName(pack->FileName) + "(" + IntToStr(pack->HitPoint.y + 1) + "): ";
        pieces.MatchColor = TColor(pack->Color);
        pieces.MatchBold = false;
    }
    else if (auto* hit = dynamic_cast<typGrepInf*>(object))
    {
        int endColumn = 0;
        shown = ShownLine(hit->Line, hit->Position, column);
        ShownLine(hit->Line, hit->Position + std::max(0, hit->Length), endColumn);
        length = endColumn - column;
        pieces.Prefix = hit->Path + "(" + IntToStr(hit->LineNo) + "): ";
        pieces.MatchColor = clBlack;
        pieces.MatchBold = true;
    }
    else
        return false;
    column = CharStart(shown, column);
    int end = std::clamp(column + std::max(0, length), column, shown.Length());
    // A match never ends inside a double-byte character.
    if (end > column && end < shown.Length() && ByteType(shown, end + 1) == mbTrailByte)
        ++end;
    pieces.Before = shown.SubString(1, column);
    pieces.Match = shown.SubString(column + 1, end - column);
    pieces.After = shown.SubString(end + 1, shown.Length() - end);
    return true;
}

void TMessageForm::SrchResListBoxDrawItem(TWinControl*, int index, const TRect& rect, TOwnerDrawState state)
{
    TCanvas* canvas = SrchResListBox->Canvas();
    const bool selected = state.Contains(odSelected);
    canvas->Brush()->SetColor(selected ? kSelectedBack : clWhite);
    canvas->FillRect(rect);
    const TColor textColor = selected ? clWhite : clBlack;
    canvas->Font()->SetColor(textColor);
    canvas->Font()->SetStyle(TFontStyles{});
    const AnsiString text = SrchResListBox->Items()->Strings(index);
    TResultLinePieces pieces;
    if (!LinePieces(text, SrchResListBox->Items()->GetObject(index), pieces))
    {
        canvas->TextOut(rect.Left, rect.Top, text);
        return;
    }
    int x = rect.Left;
    auto draw = [&](const AnsiString& s)
    {
        canvas->TextOut(x, rect.Top, s);
        x += canvas->TextWidth(s);
    };
    draw(pieces.Prefix);
    draw(pieces.Before);
    canvas->Font()->SetColor(selected ? clWhite : pieces.MatchColor);
    canvas->Font()->SetStyle(selected || pieces.MatchBold ? TFontStyles{fsBold} : TFontStyles{});
    draw(pieces.Match);
    canvas->Font()->SetColor(textColor);
    canvas->Font()->SetStyle(TFontStyles{});
    draw(pieces.After);
}

void TMessageForm::PageControlDrawTab(TPageControl* control, int tabIndex, const TRect& rect, bool active)
{
    TCanvas* canvas = control->Canvas();
    const AnsiString text = control->Tabs(tabIndex);
    if (active)
    {
        canvas->Brush()->SetColor(clWhite);
        canvas->FillRect(rect);
        canvas->Font()->SetColor(TColor(0xFF0000));
        canvas->Font()->SetStyle(TFontStyles{fsBold});
    }
    const int x = rect.Left + (rect.Width() - canvas->TextWidth(text)) / 2;
    const int y = rect.Top + (rect.Height() - canvas->TextHeight(text)) / 2;
    canvas->TextOut(x, y, text);
}
