// Keyboard commands of the editor control: caret moves by character, word, row, page and document
// with Shift selection, Delete and the indent key, insert mode, the clipboard keys, typed
// characters and the input method's result strings.
#include <windows.h>
#include <imm.h>
#undef TextOut

#include <algorithm>
#include <string>

#include "editor_control/AFEdit.h"
#include "platform/Cp932.h"
#include "platform/Forms.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

namespace
{
bool KeyIsDown(int vk) { return Services().GetKeyState(vk) < 0; }

// Display width of a row's text in fill form, indent not counted: one pass, nothing allocated.
int DisplayWidth(const AnsiString& text, int tabSize)
{
    tabSize = std::max(1, tabSize);
    const char* s = text.c_str();
    int col = 0;
    for (int i = 0; i < text.Length(); ++i)
        col += s[i] == '\t' ? tabSize - col % tabSize : 1;
    return col;
}

// The character of text that covers display column dspCol (indent not counted), pairing bytes as
// the display does: its first byte, its byte count and its first display column. False when dspCol
// lies at or past the end. Walks the row once, up to the column.
bool CharUnder(const AnsiString& text, int tabSize, int dspCol, int& logCol, int& bytes, int& startCol)
{
    tabSize = std::max(1, tabSize);
    const auto* s = reinterpret_cast<const unsigned char*>(text.c_str());
    const int n = text.Length();
    int col = 0;
    for (int i = 0; i < n;)
    {
        int width = 1;
        int len = 1;
        if (s[i] == '\t')
            width = tabSize - col % tabSize;
        else if (IsSjisLead(s[i]) && i + 1 < n && s[i + 1] != '\t' && s[i + 1] != '\r')
            width = len = 2;
        if (dspCol < col + width)
        {
            logCol = i;
            bytes = len;
            startCol = col;
            return true;
        }
        col += width;
        i += len;
    }
    return false;
}

bool IsTypingKey(WORD key)
{
    return key == VK_SHIFT || key == VK_SPACE || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') ||
           (key >= 0xBA && key <= 0xC0) || (key >= 0xDB && key <= 0xE4);
}

// The hourglass while a clipboard command runs; the default cursor afterwards, whatever happens.
class THourGlass
{
public:
    THourGlass()
    {
        if (Screen)
            Screen->SetCursor(crHourGlass);
    }
    ~THourGlass()
    {
        if (Screen)
            Screen->SetCursor(crDefault);
    }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
};
} // namespace

// ---- key-down ---------------------------------------------------------------------------------

void TCustomAFEdit::WMKeyDown(TWMKey& message)
{
    const TShiftState shift = KeyDataToShiftState(message.KeyData);
    const TPoint before = FCaret;
    // The form's key preview and OnKeyDown see the key first and may change it.
    DoKeyDown(message);
    WMKeyDownProc(message);
    if (FCaret != before)
        ResetExColRowNum2();
    if (OnAfterCtrlKeyDown)
    {
        WORD key = message.CharCode;
        OnAfterCtrlKeyDown(this, key, shift);
    }
}

void TCustomAFEdit::WMKeyDownProc(TWMKey& message)
{
    const WORD key = message.CharCode;
    const TShiftState shift = KeyDataToShiftState(message.KeyData);
    const bool ctrl = shift.Contains(ssCtrl);
    const bool composing = FComposing;
    // An auto-repeated key runs again while it is held (bit 30: the key was already down).
    int repeats = std::min(AccelRate, (message.KeyData & 0x40000000) ? 4 : 0);

    if (shift.Contains(ssShift) && !composing)
    {
        if (!FSelArea->isPointAble() && key >= VK_PRIOR && key <= VK_DOWN)
        {
            // A new selection is anchored where the caret stands before the move.
            MarkRowsDirty(FSelArea->GetStartPoint().y, FSelArea->GetEndPoint().y);
            const TPoint anchor = PointAlign(FCaret);
            FSelArea->PutStartPoint(anchor);
            FSelArea->PutEndPoint(anchor);
            ValiPaint();
        }
        ShiftSelecting = true;
        MarkRowsDirty(FCaret.y, FCaret.y);
    }
    else
        ShiftSelecting = false;

    if (ctrl && !composing)
    {
        const UINT clip = key == 'C' ? WM_COPY : key == 'X' ? WM_CUT : key == 'V' ? WM_PASTE : 0;
        if (clip)
        {
            THourGlass busy;
            Perform(clip, 0, 0);
            return;
        }
        if (KeyIsDown(VK_TAB))
        {
            if (OnCtrlTabDown)
                OnCtrlTabDown(this);
            return;
        }
    }

    const int rows = GetLinesCount();
    const int vis = VisibleRows();
    const bool freeCaret = FOptions.Contains(aoFreeCaret);
    const bool inText = FCaret.y >= 0 && FCaret.y < rows;
    switch (key)
    {
    case VK_LEFT:
        if (ctrl)
            WordLeft();
        else
            CaretLeft();
        CaretMoveResultPaint();
        break;
    case VK_RIGHT:
        if (ctrl)
            WordRight();
        else
            CaretRight();
        CaretMoveResultPaint();
        break;
    case VK_UP:
        if (ctrl)
            break;
        if (FCaret.y == FTopLine && FTopLine > 0)
        {
            Perform(WM_VSCROLL, SB_LINEUP, 0);
            --FCaret.y;
            CaretMoveResultPaint();
            SetCaretPosition();
        }
        else if (FCaret.y > 0)
        {
            --FCaret.y;
            CaretMoveResultPaint();
        }
        break;
    case VK_DOWN:
        if (ctrl)
            break;
        if (FCaret.y >= FTopLine + vis - 2 && (FCaret.y < rows - 2 || freeCaret))
        {
            Perform(WM_VSCROLL, SB_LINEDOWN, 0);
            ++FCaret.y;
            CaretMoveResultPaint();
        }
        else if (FCaret.y < rows - 1 || freeCaret)
        {
            ++FCaret.y;
            CaretMoveResultPaint();
        }
        break;
    case VK_PRIOR:
        if (FTopLine > 0 || FCaret.y > 0)
        {
            FTopLine = std::max(0, FTopLine - vis);
            FCaret.y = std::max(0, FCaret.y - vis);
            Invalidate();
            CaretMoveResultPaint();
        }
        break;
    case VK_NEXT:
        if (rows - FTopLine > 0 && FCaret.y < rows - 1)
        {
            if (rows >= vis)
            {
                FCaret.y += vis;
                FTopLine += vis;
                if (!freeCaret)
                {
                    FCaret.y = std::min(FCaret.y, rows - 1);
                    FTopLine = std::min(FTopLine, rows - vis);
                }
            }
            else
                FCaret.y = rows - 1;
            Invalidate();
            CaretMoveResultPaint();
        }
        break;
    case VK_HOME:
        if (ctrl)
            FCaret = TPoint(RowIndent(0), 0);
        else
            FCaret.x = inText ? RowIndent(FCaret.y) : 0;
        if (FLeftCol != 0)
        {
            FLeftCol = 0;
            StoreHorzPos(0);
            Invalidate();
        }
        // Also when the view jumped left: Shift+Home selects, Ctrl+Home brings row 0 into view.
        CaretMoveResultPaint();
        break;
    case VK_END:
        if (ctrl)
        {
            const int last = rows - 1;
            FCaret = TPoint(RowIndent(last) + DisplayWidth(GetLine(last), FTabSize), last);
        }
        else
        {
            if (!inText)
                return;
            const AnsiString text = GetLine(FCaret.y);
            FCaret.x = RowIndent(FCaret.y) + DisplayWidth(text, FTabSize) - (isCrLine(FCaret.y) ? 1 : 0);
        }
        CaretMoveResultPaint();
        break;
    case VK_INSERT:
        if (shift.Contains(ssShift))
            Perform(WM_PASTE, 0, 0);
        else if (ctrl)
            Perform(WM_COPY, 0, 0);
        else
            FInsertMode = !FInsertMode;
        SetCaretPosition(); // the caret's shape follows the mode
        if (OnStatusChange)
            OnStatusChange(this);
        break;
    case VK_CLEAR:
        FInsertMode = !FInsertMode;
        break;
    case VK_DELETE:
        if (FReadOnly)
            return;
        KeyDelete(shift.Contains(ssShift));
        SetCaretPosition();
        ValiPaint();
        break;
    case VK_BACK:
    case VK_PROCESSKEY:
        if (FReadOnly)
            return;
        // Backspace itself arrives as a character; only Ctrl at the start of a row's text is a
        // command here. A caret in the indent stands at the start of the text.
        if (ctrl && FOptions.Contains(aoAutoFormat) && FCaret != TPoint(0, 0) && inText &&
            LogicalPos(FCaret) <= 0)
            Unindent();
        break;
    default:
        if (IsTypingKey(key))
        {
            ShiftSelecting = false;
            message.Result = 0;
        }
        break;
    }

    Perform(WM_VSCROLL, SB_ENDSCROLL, 0); // resets the scroll acceleration
    while (repeats > 1 && KeyIsDown(key))
    {
        --repeats;
        Perform(WM_KEYDOWN, key, 0);
    }
    TellSelectChange();
}

void TCustomAFEdit::WMKeyUp(TWMKey& message)
{
    if (message.CharCode == VK_SHIFT)
        ShiftSelecting = false;
    TCustomControl::WMKeyUp(message);
}

// ---- Delete and the indent key ------------------------------------------------------------------

void TCustomAFEdit::KeyDelete(bool cut)
{
    if (FSelArea->isPointAble() || FSelArea->isRowAble())
    {
        ++FUndoGroupId;
        if (cut && !CopyOrTell())
            return; // the text stays when it could not be kept on the clipboard
        SelectAreaDel();
        return;
    }
    DeleteAtCaret();
}

bool TCustomAFEdit::DeleteAtCaret()
{
    const int row = FCaret.y;
    if (row < 0 || row >= GetLinesCount())
        return false;
    const int indent = RowIndent(row);
    const AnsiString text = GetLine(row);
    // A caret in the indent deletes as if it stood at the start of the text.
    const int dspCol = std::max(FCaret.x, indent) - indent;
    int logCol = 0;
    int bytes = 0;
    int startCol = 0;
    if (!CharUnder(text, FTabSize, dspCol, logCol, bytes, startCol))
        return false;
    ++FUndoGroupId;
    const AnsiString next = text.SubString(1, logCol) + text.SubString(logCol + bytes + 1, text.Length());
    LineChange(row, next, false);
    if (GetLine(row) == text)
        return false; // refused by OnBeforeChange
    ColAttrEdit(row, logCol, bytes, emDelete);
    BlkAttrEdit(row, logCol, bytes, emDelete);
    FCaret.x = indent + startCol; // onto the start of the character (a tab's or a double-byte one's)
    AttrList()->SetDirty(row, true);
    FoldLine(row); // joins the next row when the CR went
    return true;
}

void TCustomAFEdit::Unindent()
{
    // The indent is the paragraph's, kept on its first row: every row of it takes the new one and
    // the paragraph is cut anew.
    int head = FCaret.y;
    while (head > 0 && !isCrLine(head - 1))
        --head;
    TAttrListItem* rec = AttrList()->GetItem(head);
    TAttrListItem before = *rec;
    before.ColAttr = nullptr;
    TAttrListItem after = before;
    after.Indent = int16_t(std::max(0, before.Indent - FTabSize));
    after.Dirty = true;
    ++FUndoGroupId; // an operation of its own, even when the indent is already 0
    const AnsiString text = GetLine(head);
    UndoBuff()->Push(FUndoGroupId, head, 0, FCaret, acChange, text, text, before, after);
    FireUndoChange(UndoBuff()->Kept(), false);
    FCaret.x = after.Indent;
    rec->Indent = after.Indent;
    rec->Dirty = true;
    FoldLine(head);
    MarkDirtyFrom(head);
    ValiPaint();
    CaretMoveResultPaint();
}

// ---- typed characters and the input method ------------------------------------------------------

void TCustomAFEdit::WMChar(TWMChar& message)
{
    // A double-byte character arrives as two calls, lead byte first; it is typed whole.
    const int lead = FPendingLead;
    const bool dropTrail = FDropTrail;
    FPendingLead = -1;
    FDropTrail = false;
    const auto original = static_cast<unsigned char>(message.CharCode);
    const bool isTrail = (lead >= 0 || dropTrail) && IsSjisTrail(original);
    if (DoKeyPress(message))
    {
        if (!isTrail && IsSjisLead(original))
            FDropTrail = true;
        return;
    }
    const auto byte = static_cast<unsigned char>(message.CharCode);
    if (isTrail)
    {
        if (dropTrail || FReadOnly)
            return;
        const char pair[2] = {char(lead), char(byte)};
        TypeText(AnsiString(pair, 2), message);
        return;
    }
    if (IsSjisLead(byte))
    {
        FPendingLead = byte;
        message.Result = 0;
        return;
    }
    if (DoCtrlKeyPress(message))
        return;
    if (byte == 0x7F || FReadOnly)
        return; // DEL (Ctrl+Backspace) is never text
    TypeText(AnsiString(char(byte)), message);
}

void TCustomAFEdit::TypeText(const AnsiString& s, const TWMKey& message)
{
    ShiftSelecting = false;
    KeyInput(s);
    if (OnAfterKeyDown)
    {
        WORD key = message.CharCode;
        OnAfterKeyDown(this, key, KeyDataToShiftState(message.KeyData));
    }
}

void TCustomAFEdit::WMImeStartComposition(TMessage& message)
{
    FComposing = true;
    TCustomControl::WMImeStartComposition(message);
}

void TCustomAFEdit::WMImeEndComposition(TMessage& message)
{
    FComposing = false;
    TCustomControl::WMImeEndComposition(message);
}

void TCustomAFEdit::WMImeComposition(TMessage& message)
{
    if (!(message.LParam & GCS_RESULTSTR))
    {
        TCustomControl::WMImeComposition(message);
        return;
    }
    // The whole result goes in as one insertion; the platform then sends no characters for it.
    ++FUndoGroupId;
    const AnsiString s = ImeResultString();
    if (!FReadOnly && !s.IsEmpty())
    {
        ShiftSelecting = false;
        KeyInput(s);
    }
    message.Result = 0;
}

AnsiString TCustomAFEdit::ImeResultString()
{
    if (!HandleAllocated())
        return AnsiString();
    HIMC imc = ImmGetContext(Handle());
    if (!imc)
        return AnsiString();
    std::wstring w;
    const LONG size = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0); // bytes
    if (size > 0)
    {
        w.resize(size_t(size) / sizeof(wchar_t));
        const LONG got =
            ImmGetCompositionStringW(imc, GCS_RESULTSTR, w.data(), DWORD(w.size() * sizeof(wchar_t)));
        w.resize(got > 0 ? std::min(size_t(got) / sizeof(wchar_t), w.size()) : 0);
    }
    ImmReleaseContext(Handle(), imc);
    return WideToSjis(w);
}

// ---- clipboard and undo messages ----------------------------------------------------------------

bool TCustomAFEdit::CopyOrTell()
{
    try
    {
        CopyToClipboard();
        return true;
    }
    catch (const Exception& e)
    {
        HWND owner = HandleAllocated() ? GetAncestor(Handle(), GA_ROOT) : nullptr;
        Services().MessageBox(owner, "クリップボードにコピーできませんでした。\r\n" + e.Message,
                              "Varnolet for Windows", MB_OK | MB_ICONERROR);
        return false;
    }
}

void TCustomAFEdit::WMCopy(TMessage& message)
{
    CopyOrTell();
    message.Result = 0;
}

void TCustomAFEdit::WMCut(TMessage& message)
{
    message.Result = 0;
    if (FReadOnly || (!FSelArea->isPointAble() && !FSelArea->isRowAble()))
        return;
    ++FUndoGroupId;
    if (!CopyOrTell())
        return; // the text stays when it could not be kept on the clipboard
    SelectAreaDel();
    FSelArea->SelectChanged(); // told below: the next key must not report it again
    if (OnDisSelect)
        OnDisSelect(this);
}

void TCustomAFEdit::WMPaste(TMessage& message)
{
    message.Result = 0;
    if (FReadOnly)
        return;
    ++FUndoGroupId;
    ClipInsert();
}

void TCustomAFEdit::WMClear(TMessage& message)
{
    message.Result = 0;
    if (!FReadOnly)
        SelectAreaDel();
}

void TCustomAFEdit::WMUndo(TMessage& message)
{
    message.Result = 0;
    if (!FReadOnly)
        Undo();
}
