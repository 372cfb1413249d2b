// The Edit, View, Tools and Help menus, the editor's context menu, the tab menu's folder item, the
// command drop-down and the tool buttons that share their commands; the text conversions and the
// row insertions of the Edit menu.
#include <algorithm>
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/Nsimereconvert.h"
#include "common/WexmoorDef.h"
#include "common/Wstr.h"
#include "main_window/MainFrm.h"
#include "main_window/TextConvert.h"
#include "platform/Dialogs.h"
#include "platform/StdCtrls.h"
#include "platform/SysUtils.h"

namespace
{
AnsiString Upper(const AnsiString& s) { return NsStringToAnsi(ToUpperConvert(AnsiToNsString(s))); }
AnsiString Lower(const AnsiString& s) { return NsStringToAnsi(ToLowerConvert(AnsiToNsString(s))); }
AnsiString Sentence(const AnsiString& s) { return NsStringToAnsi(ToSentenceCaseConvert(AnsiToNsString(s))); }
AnsiString FullWidth(const AnsiString& s) { return NsStringToAnsi(ToFullWidthConvert(AnsiToNsString(s))); }
AnsiString HalfWidth(const AnsiString& s) { return NsStringToAnsi(ToHalfWidthConvert(AnsiToNsString(s))); }

bool HasSelection(TPageEditor* ed)
{
    return ed->SelArea()->isPointAble() || ed->SelArea()->isRowAble();
}

// Display rows are pieces of paragraphs; a bookmark remembers its paragraph and its row in it, so
// it stays with its text when a replacement adds or removes rows.
struct typParaMark
{
    int para;
    int offset;
    AnsiString text;
};

// The first display row of every paragraph, and the row count as the last entry.
std::vector<int> ParagraphStarts(TPageEditor* ed)
{
    std::vector<int> starts{0};
    const int rows = ed->GetLinesCount();
    for (int row = 0; row < rows; ++row)
        if (ed->isCrLine(row) && row + 1 < rows)
            starts.push_back(row + 1);
    starts.push_back(rows);
    return starts;
}

int ParagraphOf(const std::vector<int>& starts, int row)
{
    auto it = std::upper_bound(starts.begin(), starts.end() - 1, row);
    return int(it - starts.begin()) - 1;
}

} // namespace

AnsiString MenuCaptionOf(const AnsiString& text)
{
    AnsiString out;
    for (int i = 0; i < text.Length(); ++i)
        out += text.c_str()[i] == '&' ? AnsiString("&&") : AnsiString(text.c_str() + i, 1);
    return out;
}

TCustomForm* TMainForm::ProgramForm(const char* name) const
{
    return Application ? dynamic_cast<TCustomForm*>(Application->FindComponent(name)) : nullptr;
}

void TMainForm::ShowProgramForm(const char* name, bool modal)
{
    TCustomForm* form = ProgramForm(name);
    if (!form)
        return;
    // A window already on screen is brought forward: it cannot become modal any more.
    if (modal && !form->Visible())
        form->ShowModal();
    else
        form->Show();
}

bool TMainForm::SrchEditFocused() const
{
    return SrchEdit && SrchEdit->HandleAllocated() && GetFocus() == SrchEdit->Handle();
}

bool TMainForm::SendToSrchEdit(UINT msg)
{
    if (!SrchEditFocused())
        return false;
    SendMessageW(SrchEdit->Handle(), msg, 0, 0);
    return true;
}

TPageEditor* TMainForm::IndentTarget()
{
    TPageEditor* ed = Edit();
    if (ed && SrchEditFocused())
    {
        ed->SetFocus();
        return nullptr;
    }
    return ed;
}

void TMainForm::BuildEditMenus()
{
    auto item = [this](TMenuItem* parent, const char* name, const char* caption, const char* keys,
                       void (TMainForm::*handler)(TObject*)) {
        return NewMenuItem(this, parent, name, caption, keys ? TextToShortCut(keys) : scNone,
                           handler ? TNotifyEvent(this, handler) : TNotifyEvent());
    };
    // The case and width conversions, alike in the Edit menu and the editor's popup menu.
    auto conversions = [&item](TMenuItem* parent, const char* upper, const char* lower, const char* sentence,
                               const char* wide, const char* narrow) {
        item(parent, upper, "大文字に変換(&U)", nullptr, &TMainForm::ToUpperMenuClick);
        item(parent, lower, "小文字に変換(&L)", nullptr, &TMainForm::ToLowerMenuClick);
        item(parent, sentence, "先頭は大文字、以降は小文字に変換(&S)", nullptr, &TMainForm::ToSUMenuClick);
        item(parent, wide, "全角に変換(&Z)", nullptr, &TMainForm::ToZenMenuClick);
        item(parent, narrow, "半角に変換(&H)", nullptr, &TMainForm::ToHanMenuClick);
    };
    TMenuItem* bar = MainMenu->Items();

    // File: print and mail go in before the line above Exit.
    PrintMenu = NewMenuItem(this, nullptr, "PrintMenu", "印刷(&P)...", TextToShortCut("Ctrl+P"),
                            TNotifyEvent(this, &TMainForm::PrintMenuClick));
    MailMenu = NewMenuItem(this, nullptr, "MailMenu", "メール作成", scNone, TNotifyEvent(this, &TMainForm::MailMenuClick));
    const int exitLine = FileMenu->IndexOf(EndMenu) - 1;
    FileMenu->Insert(exitLine, MailMenu);
    FileMenu->Insert(exitLine, PrintMenu);
    FileMenu->Insert(exitLine, NewMenuItem(this, nullptr, "N3", "-"));

    // Edit comes after File.
    EditMenus = NewMenuItem(this, nullptr, "EditMenus", "編集(&E)", scNone, TNotifyEvent(this, &TMainForm::EditMenusClick));
    bar->Insert(bar->IndexOf(FileMenu) + 1, EditMenus);
    UndoMenu = item(EditMenus, "UndoMenu", "元に戻す(&U)", "Ctrl+Z", &TMainForm::UndoMenuClick);
    RedoMenu = item(EditMenus, "RedoMenu", "やり直し", "Ctrl+Y", &TMainForm::RedoMenuClick);
    item(EditMenus, "N4", "-", nullptr, nullptr);
    item(EditMenus, "CutMenu", "切り取り(&T)", "Ctrl+X", &TMainForm::CutMenuClick);
    item(EditMenus, "CopyMenu", "コピー(&C)", "Ctrl+C", &TMainForm::CopyMenuClick);
    item(EditMenus, "PasteMenu", "貼り付け(&P)", "Ctrl+V", &TMainForm::PasteMenuClick);
    item(EditMenus, "DeleteMenu", "削除(&L)", nullptr, &TMainForm::DeleteMenuClick);
    item(EditMenus, "N5", "-", nullptr, nullptr);
    item(EditMenus, "SelectAllMenu", "すべて選択(&A)", "Ctrl+A", &TMainForm::SelectAllMenuClick);
    item(EditMenus, "OneLineSelMenu", "一行選択(&O)", "Ctrl+Q", &TMainForm::OneLineSelMenuClick);
    item(EditMenus, "N6", "-", nullptr, nullptr);
    item(EditMenus, "ImeRecovertMenu", "日本語再変換(&R)", nullptr, &TMainForm::ImeRecovertMenuClick);
    item(EditMenus, "IndentMenu", "インデント", "Tab", &TMainForm::IndentMenuClick);
    item(EditMenus, "UnIndentMenu", "インデントを戻す", "Shift+Tab", &TMainForm::UnIndentMenuClick);
    item(EditMenus, "InsertStrToRowHeadMainMenu", "行頭に文字列挿入(&F)", nullptr,
         &TMainForm::InsertStrToRowHeadMainMenuClick);
    item(EditMenus, "InsertStrToEndOfRowMainMenu", "行末に文字列挿入(&E)", nullptr,
         &TMainForm::InsertStrToEndOfRowMainMenuClick);
    item(EditMenus, "N7", "-", nullptr, nullptr);
    StringConvertMenu = item(EditMenus, "StringConvertMenu", "文字変換(&V)", nullptr, nullptr);
    conversions(StringConvertMenu, "ToUpperMenu", "ToLowerMenu", "ToSUMenu", "ToZenMenu", "ToHanMenu");
    UnicodeCovertMenu = item(EditMenus, "UnicodeCovertMenu", "Unicodeエスケープ変換", nullptr, nullptr);
    item(UnicodeCovertMenu, "SJISToUniESCMenu", "文字→\\u6587\\u5B57", nullptr, &TMainForm::SJISToUniESCMenuClick);
    item(UnicodeCovertMenu, "UniESCToSJISMenu", "\\u6587\\u5B57→文字", nullptr, &TMainForm::UniESCToSJISMenuClick);
    ISOLathin11 = item(EditMenus, "ISOLathin11", "ISO Lathin 1文字コード変換", nullptr, nullptr);
    item(ISOLathin11, "SJISToLathinMenu", "SJIS(文字→%95%B6%8E%9A)", nullptr, &TMainForm::SJISToLathinMenuClick);
    item(ISOLathin11, "LathinToSJISMenu", "SJIS(%95%B6%8E%9A→文字)", nullptr, &TMainForm::LathinToSJISMenuClick);
    item(EditMenus, "N8", "-", nullptr, nullptr);
    item(EditMenus, "InsertDateMenu", "日付の挿入", nullptr, &TMainForm::InsertDateMenuClick);
    item(EditMenus, "InsertTimeMenu", "時刻の挿入", nullptr, &TMainForm::InsertTimeMenuClick);
    item(EditMenus, "N9", "-", nullptr, nullptr);
    item(EditMenus, "CalcMenu", "電卓(&D)", nullptr, &TMainForm::CalcMenuClick);
    // Hidden, for their keys only.
    item(EditMenus, "NextBookmarkMenu", "次のしおり", "Ctrl+Down", &TMainForm::NextBookmarkMenuClick)->SetVisible(false);
    item(EditMenus, "PrevBookmarkMenu", "前のしおり", "Ctrl+Up", &TMainForm::PrevBookmarkMenuClick)->SetVisible(false);

    // Search: the jump after replace.
    JumpRowMenu = item(SearchMenu, "JumpRowMenu", "指定行にジャンプ(&J)", nullptr, &TMainForm::JumpRowMenuClick);

    // View.
    FileFolderMenu = item(DispMenu, "FileFolderMenu", "ファイル格納フォルダ", nullptr, &TMainForm::FileFolderMenuClick);
    item(DispMenu, "CmdMenu", "コマンドプロンプト", nullptr, &TMainForm::CmdMenuClick);
    StatusBarMenu = item(DispMenu, "StatusBarMenu", "ステータスバー", nullptr, &TMainForm::StatusBarMenuClick);

    // Tools and Help come last.
    ToolMenu = item(bar, "ToolMenu", "ツール(&T)", nullptr, &TMainForm::ToolMenuClick);
    item(ToolMenu, "EditSettingMenu", "エディタの設定(&E)", nullptr, &TMainForm::EditSettingMenuClick);
    item(ToolMenu, "WallPaperMenu", "壁紙の設定(&W)", nullptr, &TMainForm::WallPaperMenuClick);
    item(ToolMenu, "EmphMenu", "強調文字列の設定", nullptr, &TMainForm::EmphMenuClick);
    item(ToolMenu, "EditLockSettingMenu", "エディタロック設定(&L)", nullptr, &TMainForm::EditLockSettingMenuClick);
    item(ToolMenu, "SetShortCutKeyMenu", "ショートカットキー割り当て", nullptr, &TMainForm::SetShortCutKeyMenuClick);
    item(ToolMenu, "N10", "-", nullptr, nullptr);
    item(ToolMenu, "ComSetMenu", "コマンド設定(&C)", nullptr, &TMainForm::ComSetMenuClick);
    ComExecMenu = item(ToolMenu, "ComExecMenu", "コマンド実行(&E)", nullptr, nullptr);
    for (int i = 0; i < 3; ++i)
    {
        CE[i] = item(ComExecMenu, ("CE" + IntToStr(i + 1)).c_str(), "", nullptr, &TMainForm::CEClick);
        CE[i]->SetTag(i);
        CE[i]->SetVisible(false);
    }
    ComExecMenu->SetEnabled(false);
    item(ToolMenu, "N11", "-", nullptr, nullptr);
    TransparentMenu = item(ToolMenu, "TransparentMenu", "透明化のON/OFF", nullptr, &TMainForm::TransparentMenuClick);

    TMenuItem* help = item(bar, "HelpMenu", "ヘルプ(&H)", nullptr, &TMainForm::HelpMenuClick);
    item(help, "HelpDispMenu", "Varnolet for Windows ヘルプ(&H)", nullptr, &TMainForm::HelpDispMenuClick);
    item(help, "N12", "-", nullptr, nullptr);
    item(help, "OrvaneMenu", "Orvaneホームページ(&S)", nullptr, &TMainForm::OrvaneMenuClick);
    item(help, "WexmoorSupportPageMenu", "Varnolet for Windowsサポートページ(&G)", nullptr,
         &TMainForm::WexmoorSupportPageMenuClick);
    item(help, "ProductInfoMenu", "ソフトウェア更新情報の確認(&P)", nullptr, &TMainForm::ProductInfoMenuClick);
    item(help, "AskMenu", "作者への問合せ(&R)", nullptr, &TMainForm::AskMenuClick);
    item(help, "N13", "-", nullptr, nullptr);
    item(help, "VerInfMenu", "バージョン情報(&A)", nullptr, &TMainForm::VerInfMenuClick);

    // The editor's context menu: its edit items ahead of the batch search, the rest after it.
    TMenuItem* pop = PopupMenu->Items();
    PopupMenu->OnPopup = TNotifyEvent(this, &TMainForm::PopupMenuPopup);
    int at = 0;
    auto front = [&](const char* name, const char* caption, void (TMainForm::*handler)(TObject*)) {
        TMenuItem* m = NewMenuItem(this, nullptr, name, caption, scNone,
                                   handler ? TNotifyEvent(this, handler) : TNotifyEvent());
        pop->Insert(at++, m);
        return m;
    };
    front("UndoMenu1", "元に戻す(&U)", &TMainForm::UndoMenuClick);
    front("N14", "-", nullptr);
    front("CutMenu1", "切り取り(&T)", &TMainForm::CutMenuClick);
    front("CopyMenu1", "コピー(&C)", &TMainForm::CopyMenuClick);
    front("PasteMenu1", "貼り付け(&P)", &TMainForm::PasteMenuClick);
    front("DeleteMenu1", "削除(&L)", &TMainForm::DeleteMenuClick);
    front("N15", "-", nullptr);
    front("SelectAllMenu1", "すべて選択(&A)", &TMainForm::SelectAllMenuClick);
    front("N16", "-", nullptr);
    item(pop, "N17", "-", nullptr, nullptr);
    item(pop, "InsertStrToRowHeadMenu", "行頭に文字列を挿入", nullptr, &TMainForm::InsertStrToRowHeadMainMenuClick);
    item(pop, "InsertStrToEndOfRowMenu", "行末に文字列を追加", nullptr, &TMainForm::InsertStrToEndOfRowMainMenuClick);
    item(pop, "AddEmphStrMenu", "選択文字列を強調文字列に追加", nullptr, &TMainForm::AddEmphStrMenuClick);
    ChrConvertPopMenu = item(pop, "ChrConvertPopMenu", "文字変換(&V)", nullptr, nullptr);
    conversions(ChrConvertPopMenu, "U1", "L1", "S2", "Z1", "H2");

    // The tab menu's folder item, after its close item.
    TMenuItem* folder = NewMenuItem(this, nullptr, "FileFolderPopMenu", "ファイル格納フォルダ(&F)", scNone,
                                    TNotifyEvent(this, &TMainForm::FileFolderMenuClick));
    PagePopupMenu->Items()->Insert(PagePopupMenu->Items()->IndexOf(PageClosepMenu) + 1, folder);

    CommandPopupMenu = Create<TPopupMenu>(this);
    CommandPopupMenu->SetName("CommandPopupMenu");
    CommandPopupMenu->OnPopup = TNotifyEvent(this, &TMainForm::CommandPopupMenuPopup);
    for (int i = 0; i < 3; ++i)
    {
        PCE[i] = item(CommandPopupMenu->Items(), ("PCE" + IntToStr(i + 1)).c_str(), "", nullptr, &TMainForm::CEClick);
        PCE[i]->SetTag(i);
        PCE[i]->SetVisible(false);
    }

    PrintToolButton->OnClick = TNotifyEvent(this, &TMainForm::PrintMenuClick);
    MailToolButton->OnClick = TNotifyEvent(this, &TMainForm::MailMenuClick);
    UndoToolButton->OnClick = TNotifyEvent(this, &TMainForm::UndoMenuClick);
    CutToolButton->OnClick = TNotifyEvent(this, &TMainForm::CutMenuClick);
    CopyToolButton->OnClick = TNotifyEvent(this, &TMainForm::CopyMenuClick);
    PasteToolButton->OnClick = TNotifyEvent(this, &TMainForm::PasteMenuClick);
    CalcToolButton->OnClick = TNotifyEvent(this, &TMainForm::CalcMenuClick);
    CommandToolButton->OnClick = TNotifyEvent(this, &TMainForm::ComSetMenuClick);
    CommandToolButton->SetDropdownMenu(CommandPopupMenu);
    LockToolButton->OnClick = TNotifyEvent(this, &TMainForm::LockToolButtonClick);
    TransparentToolButton->OnClick = TNotifyEvent(this, &TMainForm::TransparentMenuClick);
}

// ---------------------------------------------------------------------------------------------
// Opening handlers

void TMainForm::EditMenusClick(TObject*)
{
    TPageEditor* ed = Edit();
    // A window docked in the panel keeps the editing keys for itself: they never reach the page
    // from there.
    HWND focus = GetFocus();
    const bool docked = focus && SrchPanel->HandleAllocated() && IsChild(SrchPanel->Handle(), focus);
    const bool open = ed != nullptr && !docked;
    // The search field takes undo, cut, copy, paste and select all itself.
    const bool field = SrchEditFocused();
    UndoMenu->SetEnabled(field || (open && ed->CanUndo() && (VN::EditSetting.UNDOBSAVE || ed->isEdited())));
    RedoMenu->SetEnabled(!field && open && ed->CanRedo());
    for (const char* name : {"CutMenu", "CopyMenu", "PasteMenu", "SelectAllMenu"})
        static_cast<TMenuItem*>(FindComponent(name))->SetEnabled(open || field);
    for (const char* name : {"DeleteMenu", "OneLineSelMenu", "ImeRecovertMenu", "IndentMenu", "UnIndentMenu",
                             "InsertStrToRowHeadMainMenu", "InsertStrToEndOfRowMainMenu", "InsertDateMenu",
                             "InsertTimeMenu"})
        static_cast<TMenuItem*>(FindComponent(name))->SetEnabled(open);
    const bool convertible = open && !ed->IsRangeSelect() && HasSelection(ed);
    for (TMenuItem* m : {StringConvertMenu, UnicodeCovertMenu, ISOLathin11})
        m->SetEnabled(convertible);
}

void TMainForm::PopupMenuPopup(TObject*)
{
    TPageEditor* ed = Edit();
    ChrConvertPopMenu->SetEnabled(ed && !ed->IsRangeSelect() && HasSelection(ed));
}

void TMainForm::ToolMenuClick(TObject*)
{
    CommandPopupMenuPopup(nullptr);
    StatusBarMenu->SetChecked(StatusBar->Visible());
    TransparentMenu->SetChecked((GetWindowLongW(Handle(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0);
}

void TMainForm::CommandPopupMenuPopup(TObject*)
{
    nsArray<nsString> commands;
    ReadCommandSettings(commands, SaveBeforeCommand, SettingsKey);
    Commands.assign(3, AnsiString());
    bool any = false;
    for (int i = 0; i < 3; ++i)
    {
        if (i < commands.Count())
            Commands[size_t(i)] = NsStringToAnsi(commands[i]);
        const AnsiString& line = Commands[size_t(i)];
        for (TMenuItem* m : {CE[i], PCE[i]})
        {
            m->SetCaption(MenuCaptionOf(line));
            m->SetVisible(!line.IsEmpty());
        }
        any = any || !line.IsEmpty();
    }
    ComExecMenu->SetEnabled(any);
}

void TMainForm::HelpMenuClick(TObject*) {}

// ---------------------------------------------------------------------------------------------
// Edit commands

void TMainForm::UndoMenuClick(TObject*)
{
    if (SendToSrchEdit(WM_UNDO))
        return;
    TPageEditor* ed = Edit();
    // Undo does not reach back past the last save unless the setting says so.
    if (!ed || (!VN::EditSetting.UNDOBSAVE && !ed->isEdited()))
        return;
    ed->Undo();
}

void TMainForm::RedoMenuClick(TObject*)
{
    if (SrchEditFocused())
        return;
    if (TPageEditor* ed = Edit())
        ed->Redo();
}

void TMainForm::CutMenuClick(TObject*)
{
    if (SendToSrchEdit(WM_CUT))
        return;
    // The editor's own cut: a box copies as a box, and nothing goes when the clipboard refuses.
    if (TPageEditor* ed = Edit(); ed && HasSelection(ed))
        ed->Perform(WM_CUT, 0, 0);
}

void TMainForm::CopyMenuClick(TObject*)
{
    if (SendToSrchEdit(WM_COPY))
        return;
    if (TPageEditor* ed = Edit(); ed && HasSelection(ed))
        ed->Perform(WM_COPY, 0, 0);
}

void TMainForm::PasteMenuClick(TObject*)
{
    if (SendToSrchEdit(WM_PASTE))
        return;
    if (TPageEditor* ed = Edit())
        ed->ClipInsert();
}

void TMainForm::DeleteMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
    {
        SendMessageW(ed->Handle(), WM_KEYDOWN, VK_DELETE, 0);
        SendMessageW(ed->Handle(), WM_KEYUP, VK_DELETE, 0);
    }
}

void TMainForm::SelectAllMenuClick(TObject*)
{
    if (SrchEditFocused())
        SrchEdit->SelectAll();
    else if (TPageEditor* ed = Edit())
        ed->SelectAll();
}

void TMainForm::OneLineSelMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
        ed->SelectCurrentLine();
}

void TMainForm::ImeRecovertMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
        ImeReconvert(ed->Handle(), ed->GetSelText());
}

void TMainForm::IndentMenuClick(TObject*)
{
    if (TPageEditor* ed = IndentTarget())
        SendMessageW(ed->Handle(), WM_CHAR, '\t', 0);
}

void TMainForm::UnIndentMenuClick(TObject*)
{
    if (TPageEditor* ed = IndentTarget())
        ed->UnIndentRows();
}

void TMainForm::InsertIntoRows(bool atHead)
{
    AnsiString text;
    const bool ok = atHead ? InputQuery("行頭に文字列を挿入", "挿入文字列", text)
                           : InputQuery("行末に文字列を挿入", "追加文字列", text);
    TPageEditor* ed = Edit();
    if (!ok || text.IsEmpty() || !ed)
        return;
    // Line ends would make new rows the block no longer knows.
    for (int i = 1; i <= text.Length(); ++i)
        if (text[i] == '\r' || text[i] == '\n')
            return;
    if (atHead)
        ed->InsertStrToRowHead(text);
    else
        ed->InsertStrToEndOfRow(text);
}

void TMainForm::InsertStrToRowHeadMainMenuClick(TObject*) { InsertIntoRows(true); }
void TMainForm::InsertStrToEndOfRowMainMenuClick(TObject*) { InsertIntoRows(false); }

void TMainForm::ConvertSelection(AnsiString (*convert)(const AnsiString&))
{
    TPageEditor* ed = Edit();
    if (!ed || ed->IsRangeSelect() || !HasSelection(ed))
        return;
    const AnsiString before = ed->GetSelText();
    // A page ends its lines with CR: a lone LF becomes one, or typing it in would drop it.
    AnsiString after;
    {
        const AnsiString converted = convert(before);
        const char* c = converted.c_str();
        for (int i = 0; i < converted.Length(); ++i)
            after += c[i] == '\n' && (i == 0 || c[i - 1] != '\r') ? AnsiString("\r\n") : AnsiString(c + i, 1);
    }
    if (after == before)
        return;

    const std::vector<int> startsBefore = ParagraphStarts(ed);
    TSelArea* sel = ed->SelArea();
    const int selFirst = ParagraphOf(startsBefore, sel->isPointAble() ? sel->GetStartPoint().y : sel->GetStartRow());
    const int selLast = ParagraphOf(startsBefore, sel->isPointAble() ? sel->GetEndPoint().y : sel->GetEndRow());
    std::vector<typParaMark> marks;
    for (int row = 0; row < ed->GetLinesCount(); ++row)
        if (AnsiString text; ed->IsBookmarked(row) && ed->BookmarkText(row, text))
        {
            const int para = ParagraphOf(startsBefore, row);
            marks.push_back({para, row - startsBefore[size_t(para)], text});
        }

    if (!ed->ReplaceSelText(after))
        return;

    // Paragraphs after the selection moved by the change in their count; those inside it keep
    // their place as far as the new text reaches.
    const std::vector<int> starts = ParagraphStarts(ed);
    const int paras = int(starts.size()) - 1;
    const int shift = paras - (int(startsBefore.size()) - 1);
    nsArray<typBMarkInf> list;
    for (const typParaMark& m : marks)
    {
        int para = m.para;
        if (para > selLast)
            para += shift;
        else if (para > selFirst)
            para = std::min(para, selLast + shift);
        if (para < 0 || para >= paras)
            continue;
        const int rows = starts[size_t(para) + 1] - starts[size_t(para)];
        const int row = starts[size_t(para)] + std::min(m.offset, std::max(0, rows - 1));
        if (list.Count() > 0 && list[list.Count() - 1].Row >= row)
            continue;
        list.Add(typBMarkInf{row, m.text});
    }
    ed->RestoreBookmarks(list);
    ed->Invalidate();
}

void TMainForm::ToUpperMenuClick(TObject*) { ConvertSelection(Upper); }
void TMainForm::ToLowerMenuClick(TObject*) { ConvertSelection(Lower); }
void TMainForm::ToSUMenuClick(TObject*) { ConvertSelection(Sentence); }
void TMainForm::ToZenMenuClick(TObject*) { ConvertSelection(FullWidth); }
void TMainForm::ToHanMenuClick(TObject*) { ConvertSelection(HalfWidth); }
void TMainForm::SJISToUniESCMenuClick(TObject*) { ConvertSelection(SjisToUnicodeEscape); }
void TMainForm::UniESCToSJISMenuClick(TObject*) { ConvertSelection(UnicodeEscapeToSjis); }
void TMainForm::SJISToLathinMenuClick(TObject*) { ConvertSelection(SjisToPercentEscape); }
void TMainForm::LathinToSJISMenuClick(TObject*) { ConvertSelection(PercentEscapeToSjis); }

void TMainForm::NextBookmarkMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
        ed->GoNextBookMark();
}

void TMainForm::PrevBookmarkMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
        ed->GoPrevBookMark();
}

void TMainForm::InsertDateMenuClick(TObject*)
{
    if (Edit())
        ShowProgramForm("DateInsertForm", true);
}

void TMainForm::InsertTimeMenuClick(TObject*)
{
    if (Edit())
        ShowProgramForm("TimeInsertForm", true);
}

void TMainForm::CalcMenuClick(TObject*) { ShowProgramForm("CalcFrm", false); }

// ---------------------------------------------------------------------------------------------
// File, Search and View commands

void TMainForm::PrintMenuClick(TObject*)
{
    if (!Edit())
        return;
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0)
    {
        ErrorBox("%s", msgNoPrinter);
        return;
    }
    ShowProgramForm("PrintForm", true);
}

void TMainForm::JumpRowMenuClick(TObject*)
{
    if (Edit())
        ShowProgramForm("JumpRowForm", true);
}

void TMainForm::StatusBarMenuClick(TObject*)
{
    StatusBar->SetVisible(!StatusBar->Visible());
}

// ---------------------------------------------------------------------------------------------
// Tools and Help

void TMainForm::EditSettingMenuClick(TObject*) { ShowProgramForm("EditSettingForm", true); }
void TMainForm::WallPaperMenuClick(TObject*) { ShowProgramForm("WallPaperForm", true); }
void TMainForm::EditLockSettingMenuClick(TObject*) { ShowProgramForm("EditLockPasswordForm", true); }
void TMainForm::SetShortCutKeyMenuClick(TObject*) { ShowProgramForm("ShortCutSetForm", true); }
void TMainForm::ComSetMenuClick(TObject*) { ShowProgramForm("CommandSetForm", true); }
void TMainForm::VerInfMenuClick(TObject*) { ShowProgramForm("AboutBox", true); }

void TMainForm::EmphMenuClick(TObject*)
{
    ShowProgramForm("EmphasisForm", true);
    if (TPageEditor* ed = Edit())
        ed->Invalidate();
}

void TMainForm::AddEmphStrMenuClick(TObject*)
{
    if (TPageEditor* ed = Edit())
    {
        HandEmphasisWord(ed->GetSelText());
        EmphMenuClick(nullptr);
    }
}

void TMainForm::LockToolButtonClick(TObject*) { ToggleEditLock(); }

void TMainForm::TransparentMenuClick(TObject*)
{
    SetAlphaBlendValue(VN::EditSetting.WINDOW_ALPHABLENDVALUE);
    SetAlphaBlend(!AlphaBlend());
}

void TMainForm::HelpDispMenuClick(TObject*)
{
    Services().ShowHelp(Handle(), HelpFilePath(), "");
}
