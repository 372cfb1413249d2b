// The owner-drawn Shift-JIS editor control: the view of a TAFDocument (display rows with their
// records, undo and folding). It draws the rows itself and handles keyboard, input method and mouse.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "editor_control/AFDocument.h"
#include "editor_control/AFEditRecords.h"
#include "editor_control/AFEditText.h"
#include "editor_control/AFEditUndo.h"
#include "platform/Classes.h"
#include "platform/Controls.h"
#include "platform/Graphics.h"

enum TCharKind
{
    ckNorm,
    ckJSpace,
    ckCrMark,
    ckNone,
    ckDependence,
    ckKeyWord,
    ckExKeyWord,
    ckCmt,
    ckColAttr
};

// The editor's own drag modes (mouse selection and dragging).
enum TDragMode
{
    dmNone,
    dmRowSel,
    dmFoldColSel,
    dmIndent,
    dmCharsSel,
    dmRangeSel,
    dmMoveSel
};


enum TMark
{
    mkFold,
    mkCR,
    mkEOF,
    mkTab
};

enum TOverlap
{
    olInclude,
    olExclude,
    olStart,
    olEnd,
    olRevInclude
};

enum TScrollStyle
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};



enum TViewOption
{
    voDependence,
    voHankana,
    voCr,
    voAnsiSpace,
    voTab,
    voIndent,
    voColIndicate,
    voKeyWord,
    voRowNum,
    voWrapLine,
    voFoldMark
};
using TViewOptions = TSet<TViewOption>;

enum TSearchOpt
{
    soIgnoreCase,
    soReverse
};
using TSearchOpts = TSet<TSearchOpt>;

using TBeforeChangeNotifyEvent = Closure<void(TObject* sender, int index, AnsiString& newLine, bool& canModify)>;
using TDrawLeftMgnEvent = Closure<void(TObject* sender, int index, TRect rect, AnsiString& str, bool& defaultDraw)>;
using TLineDeleteNotifyEvent = Closure<void(TObject* sender, int index)>;
using TLineInsertNotifyEvent = Closure<void(TObject* sender, int index, AnsiString& newLine)>;
using TUndoNotifyEvent = Closure<void(TObject* sender, bool canUndo, bool canRedo)>;
using TWordBreakNotifyEvent = Closure<void(TObject* sender, AnsiString line, int& wrapPos)>;
using TDrawLineEvent = Closure<void(TObject* sender, int index, TRect rect, AnsiString tabExStr, bool& defaultDraw)>;
using TDrawColIndiEvent = Closure<void(TObject* sender, TRect rect, bool& defaultDraw)>;
using TBlkAttrDeleteNotifyEvent = Closure<void(TObject* sender, int startRow, int endRow)>;


// The view of a TAFDocument: caret, scrolling, drawing, keys and the input method. The document's
// operations keep their names here as forwarders.
class TCustomAFEdit : public TCustomControl, private TAFDocumentHost
{
    // Declared first: the fields below that stand for the document's state bind to it.
    std::unique_ptr<TAFDocument> FDoc = std::make_unique<TAFDocument>();

public:
    explicit TCustomAFEdit(TComponent* owner);
    ~TCustomAFEdit() override;
    void AfterConstruction() override;
    void Loaded();

    // ---- the virtual operations, in their slot order ----
    virtual void SetFocus();
    void Paint() override;
    virtual void DelLineP(int row);
    virtual void DrawLeftMgnEX(int row);
    virtual void LineChange(int row, const AnsiString& text, bool newGroup);
    virtual void DrawColIndicate();
    virtual void ExtTextPaint(int x, int y, int left, const AnsiString& s);
    virtual void DrawLeftMgn(int row, const AnsiString& s);
    virtual void MetricsUpdate(bool repaint);
    virtual void CaretMoveResultPaint();
    virtual void FillEditRect(const TRect& rect);
    virtual void ExtSelTextPaint(int x, int y, int left, const AnsiString& s);
    virtual TCanvas* GetMyCanvas();
    virtual void GoNextBookMark() {}
    virtual void GoPrevBookMark() {}
    virtual TStrings* MakeFLine();
    virtual TPoint ColAdj(const TPoint& point, bool leftFirst);
    virtual void DrawWrapLine(int row, const TRect& rect, int top, int bottom);
    virtual void DrawCommentArea() {}
    virtual void DrawLine(int row);
    virtual void StringInsert(const AnsiString& s) {}
    virtual void LoadFromFile(const AnsiString& path, TConvMode modes);
    virtual void SaveToFile(const AnsiString& path, TConvMode modes);
    virtual AnsiString TabExpand(const AnsiString& s, bool toSpaces);
    virtual void LeftAreaClick(int x, int y, int row) {}
    virtual void MyDebug() {}

    // ---- caret steps and attribute upkeep ----
    // One character left or right (whole tabs, whole double-byte characters, across row ends).
    void CaretLeft();
    void CaretRight();
    // A typed control character; true when it was handled (and so must not be typed).
    bool DoCtrlKeyPress(const TWMKey& message);
    TKeyEvent OnCtrlKeyDown;
    TKeyEvent OnAfterCtrlKeyDown;
    // Set while a navigation key is held with Shift: the caret-move repaint extends the selection.
    bool ShiftSelecting = false;
    // Set by the key-down handler when Ctrl characters must pass through unswallowed.
    bool CtrlCharPassOn = false;
    // Column and block attributes follow the bytes they describe; columns are logical (bytes).
    // None of these records undo.
    void ColAttrEdit(int row, int col, int len, TEditMode mode) { FDoc->ColAttrEdit(row, col, len, mode); }
    // emInsert: the last len bytes of source go to the front of dest, which already holds them;
    // emAdd: the first len bytes of source go to the end of dest, which does not hold them yet.
    void ColAttrBlockEdit(int source, int dest, int len, TEditMode mode)
    {
        FDoc->ColAttrBlockEdit(source, dest, len, mode);
    }
    void BlkAttrLineEdit(int row, TEditMode mode) { FDoc->BlkAttrLineEdit(row, mode); }
    void BlkAttrEdit(int row, int col, int len, TEditMode mode) { FDoc->BlkAttrEdit(row, col, len, mode); }
    // Row lengths are those before the text moves.
    void BlkAttrBlockEdit(int source, int dest, int len, TEditMode mode)
    {
        FDoc->BlkAttrBlockEdit(source, dest, len, mode);
    }
    // Before row goes: its points at or past its end stand where row next (the first row kept
    // after it) begins, and move there, so a block keeps the bytes it still covers.
    void BlkAttrRowEndToNext(int row, int next) { FDoc->BlkAttrRowEndToNext(row, next); }

    // ---- text retrieval, typing and deleting ----
    AnsiString GetRangeText(const TPoint& start, const TPoint& end, bool display);
    AnsiString GetSelText();
    void SetSelText(const AnsiString& s) { KeyInput(s); }
    void KeyInput(const AnsiString& s);
    virtual void ClipInsert();
    // Pastes text as ClipInsert does with the clipboard's text.
    void PasteText(const AnsiString& text);
    void QuoteInsert(const AnsiString& text, const AnsiString& quote);
    virtual void SelectAreaDel();
    void SelectAreaCopy(bool box);
    void SelectAll();
    // Tells OnSelect or OnDisSelect when the selection appeared or went since the last telling.
    void TellSelectChange();
    void InsertLine(int row, const AnsiString& s);
    void DelLine(int row);
    bool GetInsertModeFlag() const { return FInsertMode; }
    void SetInsertMode(bool insert) { FInsertMode = insert; }

    // Logical point where pattern begins between from and to (reverse: from is the later point);
    // X is -1 when there is none.
    virtual TPoint Search(const AnsiString& pattern, const TPoint& from, const TPoint& to, TSearchOpts opts);

    // ---- records, coordinates ----
    TAttrListItem MakeAttr(bool dirty, int indent, int wrapPos) { return FDoc->MakeAttr(dirty, indent, wrapPos); }
    TPoint DspPos(const TPoint& logical) { return FDoc->DspPos(logical); }
    int LogicalPos(const TPoint& display) { return FDoc->LogicalPos(display); }
    static int DspColToLogicalCol(const AnsiString& dsp, int dspPos, int indent);
    // Indent as spaces followed by the row's text in fill form.
    AnsiString DisplayText(int row);

    // ---- text and rows ----
    void LoadFromStream(TStream* stream, TConvMode modes);
    void SaveToStream(TStream* stream, TConvMode modes);
    const TLoadTruncation& LoadTruncation() const { return FLoadTruncation; }
    int GetLinesCount() const { return FDoc->GetLinesCount(); }
    AnsiString GetLine(int row) const { return FDoc->GetLine(row); }
    void SetLine(int row, const AnsiString& text) { LineChange(row, text, true); }
    bool isCrLine(int row) const { return FDoc->isCrLine(row); }
    TAttrListItem* GetLinesAttr(int row) { return FDoc->Attrs()->GetItem(row); }
    int GetWrapPos(int row) { return FDoc->Attrs()->GetItem(row)->WrapPos; }
    void SetWrapPos(int row, int wrapPos) { FDoc->SetWrapPos(row, wrapPos); }
    TColAttrList* GetColAttrs(int row) { return FDoc->GetColAttrs(row); }
    void ColAttrFree(int row) { FDoc->ColAttrFree(row); }
    void AddLine(const AnsiString& s);
    void AddLineP(const AnsiString& text, const TAttrListItem& attr) { FDoc->AddLineP(text, attr); }
    void InsertLineP(int row, const AnsiString& text, const TAttrListItem& attr);
    // Re-wraps from row downward until the layout is settled, under the current undo group.
    void FoldLine(int row) { FDoc->FoldLine(row); }
    void MarkDirtyFrom(int row);
    // Cuts every paragraph anew at its wrap position in one pass (no undo records; column lists
    // and block attributes are dropped). The text stays byte for byte.
    void RefoldParagraphs();
    int WordBreak(const AnsiString& line, int wrapPos, int minPos) { return FDoc->WordBreak(line, wrapPos, minPos); }
    AnsiString GetText();
    void SetText(const AnsiString& text);
    TStrings* Lines() const { return FDoc->Lines(); }
    TAttrList* AttrList() const { return FDoc->Attrs(); }
    TBlkAttrList* BlkAttrList() const { return FDoc->BlkAttrs(); }
    TUndoBuff* UndoBuff() const { return FDoc->UndoBuff(); }
    TAFDocument& Document() const { return *FDoc; }

    void SetFont(TFont* font);
    TColor GetDependenceColor() const { return FColDependence; }
    void SetColDependence(TColor color);
    void BeginUpdate();
    void EndUpdate();
    void Clear();
    void ValiPaint();
    void ResetExColRowNum2();
    void SetCaretPosition();
    void SetScrollBars(TScrollStyle style);

    bool CanUndo();
    bool CanRedo();
    void Undo();
    void Redo();
    bool isEdited() const { return UndoBuff()->Edited(); }
    void SetEdited(bool edited);
    int GetUndoMax() const { return UndoBuff()->GetMax(); }
    void SetUndoMax(int max) { UndoBuff()->SetMax(max); }
    int UndoGroupId() const { return FUndoGroupId; }
    void SetUndoGroupId(int id) { FUndoGroupId = id; }

    // ---- properties ----
    TPoint GetCaret() const { return FCaret; }
    void SetCaretRaw(const TPoint& p) { FCaret = p; }
    int GetTabSize() const { return FTabSize; }
    void SetTabSize(int size);
    int GetDefWrapPos() const { return FDefWrapPos; }
    void SetDefWrapPos(int wrapPos);
    TAFEditOptions GetOptions() const { return FOptions; }
    void SetOptions(TAFEditOptions options) { FOptions = options; }
    TViewOptions GetViewOpt() const { return FViewOpt; }
    void SetViewOpt(TViewOptions options);
    int GetTopLine() const { return FTopLine; }
    int GetLeftCol() const { return FLeftCol; }
    int GetRowHeight() const { return FRowHeight; }
    int GetColWidth() const { return FColWidth; }
    int GetTextHeight() const { return FTextHeight; }
    bool GetInsertMode() const { return FInsertMode; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value) { FReadOnly = value; }
    TDateTime GetFileDate() const { return FFileDate; }
    void SetFileDate(TDateTime d) { FFileDate = d; }
    AnsiString EditFilePath;
    int GetLongestLine() const { return FLongestLine; }
    TStringList* Keywords() const { return FKeywords; }
    TStringList* ExKeywords() const { return FExKeywords; }
    bool IsWordChar(unsigned char b) const { return FWordChars[b]; }
    TSelArea* SelArea() const { return FSelArea; }

    int AccelRate = 2;
    // Characters that may not end and may not begin a display row; setting one rebuilds the
    // lookup that every break decision uses.
    const AnsiString& GetBanEnd() const { return FDoc->GetBanEnd(); }
    void SetBanEnd(const AnsiString& chars) { FDoc->SetBanEnd(chars); }
    const AnsiString& GetBanHead() const { return FDoc->GetBanHead(); }
    void SetBanHead(const AnsiString& chars) { FDoc->SetBanHead(chars); }
    TColor ColColumnIndi;
    TColor ColColumnNo;
    TColor ColCr;
    TColor ColLeftMgn;
    TColor ColRowNo;
    TColor ColSelBrush;
    AnsiString DependenceChar;
    AnsiString RowDspFmt;
    TScrollStyle ScrollBars = ssBoth;
    bool Updating = false;
    int& WrapLeadBytes = FDoc->WrapLeadBytes();
    int& WrapTrailBytes = FDoc->WrapTrailBytes();
    AnsiString EofMark;
    AnsiString CrMark;

    TBeforeChangeNotifyEvent OnBeforeChange;
    TNotifyEvent OnChange;
    TNotifyEvent OnDisSelect;
    TDrawLeftMgnEvent OnDrawLeftMgn;
    TDrawLineEvent OnDrawLine;
    TDrawColIndiEvent OnDrawColIndi;
    TLineDeleteNotifyEvent OnLineDelete;
    TLineInsertNotifyEvent OnLineInsert;
    TNotifyEvent OnStatusChange;
    TUndoNotifyEvent OnUndoChange;
    TWordBreakNotifyEvent OnWordBreak;
    TNotifyEvent OnSelect;
    TBlkAttrDeleteNotifyEvent OnBlkAttrDelete;

    int VisibleRows() const;
    int VisibleCols() const;
    const TRect& EditRect() const { return FEditRect; }

    // ---- view: properties, scrolling, drawing ----
    // Setters clamp what a caller or the registry may hand in.
    int GetRowPich() const { return FRowPich; }
    void SetRowPich(int pich); // 0 .. 99
    int GetCharPich() const { return FCharPich; }
    void SetCharPich(int pich); // 0 .. 99
    int GetTopMgn() const { return FTopMgn; }
    void SetTopMgn(int mgn); // 0 .. 999
    // Derived afresh by the metrics: what is stored here does not last.
    int GetLeftMgn() const { return FLeftMgn; }
    void SetLeftMgn(int mgn);
    void SetRowDspFmt(const AnsiString& fmt);
    // RowDspFmt is the user's: it is used only when it holds exactly one integer conversion.
    AnsiString RowNumberFormat() const;
    static bool IsRowNumberFormat(const AnsiString& fmt);
    // Hides TControl::SetColor: rows that had the old background follow the new one.
    void SetColor(TColor color);
    void SetCrColor(TColor cr, TColor back);
    void SetMgnColor(TColor color);
    void SetRowNoColor(TColor color);
    TColor GetKeywordColor() const;
    void SetKeyWordColor(TColor color);
    TFontStyles GetKeywordStyle() const;
    void SetKeyWordStyle(TFontStyles style);
    TColor GetExKeywordColor() const;
    void SetExKeyWordColor(TColor color);
    TFontStyles GetExKeywordStyle() const;
    void SetExKeyWordStyle(TFontStyles style);
    TColor GetSelTextColor() const;
    void SetSelTextColor(TColor color);
    void SetKeyWords(TStrings* words);
    void SetExKeyWords(TStrings* words);
    // The keyword case flag: set, a word matches a keyword only in the keyword's own case.
    bool KeywordCase() const { return FKeywords->GetCaseSensitive(); }
    void SetKeywordCase(bool caseSensitive);
    // Tab, full-width space and indent marks: the window colour 0x404040 darker, per channel.
    TColor GetMarkColor() const { return FMarkColor; }
    static TColor MarkColorOf(TColor windowColor);
    TBitmap* CrBitmap(bool selected) const { return FMarkBitmaps[selected ? 1 : 0]; }
    int GetDspRowCount() const { return VisibleRows(); }
    int GetDspColCount() const { return VisibleCols(); }
    // Largest indent and smallest wrap position over a row selection; nothing without one.
    void SetSelAreaMaxMin();
    // Sorts rows first..last with their records (an empty last row stays last); record pushes
    // the undo records of every exchange into the current group.
    void QuickSort(int first, int last, TStringListSortCompare compare, bool record);
    void CustomSort(int first, int last, TStringListSortCompare compare, bool newGroup);

    // Caret placement and scrolling.
    void SetCaret(const TPoint& p);
    TPoint PointAlign(const TPoint& p);
    void SetTopLine(int row);
    // Scrolls the least that brings the cells of the display points first and last (last on
    // first's row or below) into view; when they do not fit, first is shown. True when the view
    // moved (it is repainted then).
    bool ShowRange(const TPoint& first, const TPoint& last);
    // After the rows changed width all at once (a whole re-fold): the view stands no further
    // right than the horizontal range lets the bar go.
    void KeepLeftColInRange();
    bool ThumbTracking = true;
    // The system caret exists and its platform hide count is zero.
    bool CaretShown() const { return FCaretExists && FCaretLevel == 0; }
    int CaretHiddenCount() const { return FHiddenCount; }
    bool CaretIsBlock() const { return FCaretExists && !FCaretInsert; }
    int CaretWidth() const { return FCaretWidth; }
    // Consecutive vertical scroll messages, shared by every editor; 0 after an end-scroll.
    static int ScrollAcceleration();
    const SCROLLINFO& VertScrollInfo() const { return FVertInfo; }
    const SCROLLINFO& HorzScrollInfo() const { return FHorzInfo; }

    // Drawing.
    virtual bool isSelArea(int col, int row, int attrRow, const AnsiString& s);
    void SetPaintRect(const TRect& r) { FPaintRect = r; }
    const TRect& PaintRect() const { return FPaintRect; }
    bool LastFontSelected() const { return FLastFontSelected; }
    bool ShowEofMark = false;
    TColor WrapLineColor = TColor(0x808080);
    // clNone: keywords are drawn on the row's own background.
    TColor KeyWordBackColor = clNone;
    TColor ExKeyWordBackColor = clNone;
    // Rows drawn in a colour pair of their own (-1: none).
    int ExColRowNum1 = -1;
    TColor ExColText1 = clWindowText;
    TColor ExColBack1 = clWindow;
    int GetExColRowNum2() const { return FExColRowNum2; }
    void SetExColRowNum2(int row) { FExColRowNum2 = row; }
    TColor ExColText2 = clWindowText;
    TColor ExColBack2 = clWindow;
    AnsiString FoldMark = "←";
    AnsiString JSpaceMark = "□";

protected:
    void WMSize(TWMSize& message) override;
    void WMSetFocus(TWMSetFocus& message) override;
    void WMKillFocus(TWMKillFocus& message) override;
    void WMGetDlgCode(TWMGetDlgCode& message) override;
    void CMFontChanged(TMessage& message) override;
    void BlkAttrDelete(TObject* sender, int startRow, int endRow);
    void TakeRows(TStringList& lines) { FDoc->TakeRows(lines); }
    void KeywordsChange(TObject* sender);
    void FireUndoChange(bool canUndo, bool canRedo);
    void NoteLineWidth(int length) { FDoc->NoteLineWidth(length); }
    // Appends loaded paragraphs folded at their wrap positions (used while loading).
    void FoldParagraphInto(TStringList* lines, std::vector<TAttrListItem>& attrs, const AnsiString& text,
                           const TAttrListItem& attr)
    {
        FDoc->FoldParagraphInto(lines, attrs, text, attr);
    }
    // keepReplacedAs, when given, is a name that does not exist yet: the file replaced by the save
    // is kept under it (renamed, not copied); a file written in place is not kept.
    void SaveFileSafely(const AnsiString& path, TConvMode modes, const AnsiString& keepReplacedAs = AnsiString());
    // SaveToFile, keeping the replaced file under keepReplacedAs as SaveFileSafely does.
    void SaveToFileKeeping(const AnsiString& path, TConvMode modes, const AnsiString& keepReplacedAs);
    void WriteInPlace(const AnsiString& path, const AnsiString& tempPath, int64_t newSize);
    void InsertRow(int row, const AnsiString& text, const TAttrListItem& attr, bool hookMayRewrite)
    {
        FDoc->InsertRow(row, text, attr, hookMayRewrite);
    }
    // OnBeforeChange for a change that must land as asked: false when vetoed or rewritten.
    bool AskChange(int row, const AnsiString& text) { return FDoc->AskChange(row, text); }
    // Stores a row's text with its undo record, without asking OnBeforeChange.
    void ApplyLineChange(int row, const AnsiString& text) { FDoc->ApplyLineChange(row, text); }
    // Inserts whole rows at row with one undo record each; linear in the rows of the text.
    void InsertRowsAt(int row, const std::vector<AnsiString>& texts, const std::vector<TAttrListItem>& attrs)
    {
        FDoc->InsertRowsAt(row, texts, attrs);
    }
    void BlkAttrShiftRows(int row, int n) { FDoc->BlkAttrShiftRows(row, n); }
    void ScrollCaretIntoViewAfterPaste();
    void KeyInputInGroup(const AnsiString& s);
    // Moves the caret over n typed bytes (one step per character, wrapping at row ends), collapses
    // the selection onto it and repaints.
    void StepCaretOver(const char* text, int n);
    // Deletes count rows from first with one undo record per row, as DelLineP from the last
    // (lastFirst) or count times at first would; the rows below move once.
    void DeleteRowsAt(int first, int count, bool lastFirst) { FDoc->DeleteRowsAt(first, count, lastFirst); }
    // After a replay the selection collapses onto the caret.
    void SettleAfterReplay();
    void LoadEditorCursor();



    // ---- view: properties, scrolling, drawing ----
    void WMNCPaint(TMessage& message) override;
    void WMEraseBkgnd(TWMEraseBkgnd& message) override;
    void WMVScroll(TWMScroll& message) override;
    void WMHScroll(TWMScroll& message) override;
    void CMMouseLeave(TMessage& message) override;
    // The system caret, with the platform's cumulative hide count mirrored in FCaretLevel.
    void CaretCreate();
    void CaretHide();
    void CaretShow();
    void CaretDestroy();
    bool CaretOnDoubleByte();
    // Edit rectangle right and bottom from the client area.
    void SyncEditRect();
    // Wrap position of a row; DefWrapPos past the text, so reading never adds records.
    int RowWrapPos(int row) const;
    int RowIndent(int row) const;
    // Full repaint now (invalidate and update).
    void RepaintNow();
    void StoreVertPos(int pos);
    void StoreHorzPos(int pos);
    // Last column of the horizontal scroll range.
    int HorzRangeMax() const;
    void MarkRowsDirty(int from, int to);
    void SwapRows(int i, int j, bool record);
    void SortRange(TStringList* list, int first, int last, TStringListSortCompare compare, bool record);
    // One run of cells from x, clipped on the left at left: only the visible part is output, in
    // chunks the advance table covers, never splitting a double-byte character.
    void DrawTextRun(int x, int y, int left, const char* bytes, int len);
    void SetRunFont(TColor fg, TColor bg, uint8_t style);

    // ---- keyboard ----
public:
    // Ctrl + a key while Tab is held (the main window turns to the next page with it).
    TNotifyEvent OnCtrlTabDown;
    // After a typed character went into the text.
    TKeyEvent OnAfterKeyDown;
    // The commands of a key-down; the editor page overrides them.
    virtual void WMKeyDownProc(TWMKey& message);
    // By words: a word is a run of ASCII letters and digits, a double-byte character is passed one
    // at a time, a paragraph end stops the move. They move the caret only (no repaint).
    void WordLeft();
    void WordRight();
    // Deletes the character under the caret as one undo group and re-folds; false when there is
    // none. No repaint.
    bool DeleteAtCaret();
    // An input-method composition is in progress.
    bool Composing() const { return FComposing; }

protected:
    void WMKeyDown(TWMKey& message) override;
    void WMKeyUp(TWMKey& message) override;
    void WMChar(TWMChar& message) override;
    void WMImeStartComposition(TMessage& message) override;
    void WMImeComposition(TMessage& message) override;
    void WMImeEndComposition(TMessage& message) override;
    void WMCut(TMessage& message) override;
    void WMCopy(TMessage& message) override;
    void WMPaste(TMessage& message) override;
    void WMClear(TMessage& message) override;
    void WMUndo(TMessage& message) override;
    // The input method's result string in CP932; empty when there is none.
    virtual AnsiString ImeResultString();
    void Backspace();
    void NewLineWithIndent();
    void Unindent();
    void KeyDelete(bool cut);
    void TypeText(const AnsiString& s, const TWMKey& message);
    // Copies the selection; when the clipboard refuses, tells the user and returns false.
    bool CopyOrTell();

    // Where every copy of the selection goes (the clipboard keys and messages); the page copies a
    // box its own way.
    virtual void CopyToClipboard() { SelectAreaCopy(false); }

    // ---- mouse ----
public:
    // Cursor shapes while no button is held; the drags of the left button.
    virtual void MouseMoveFunc(TWMMouse& message);
    // Selects the word, keyword run or double-byte character under the caret.
    virtual void LButtonDblClkFunc(TWMMouse& message);
    // Display point under a client position: the column counts a click on the right part of a
    // cell for the next one; the row stays within the text.
    TPoint MousePoint(int x, int y) const;
    TDragMode GetDragMode() const { return FDragMode; }
    // The character drag scrolls the view on a timer while the pointer stays outside the rows.
    bool DragScrolling() const { return FDragScrollTimer; }
    // Moves the leading blanks of the selected paragraph-start rows into their indent, as one undo
    // step; the text keeps its place on screen.
    void SelAreaLeftSpaceToIndent();
    // Moves the selected text to the text offset `to` (outside the selection) and selects it
    // there, as one undo step; false when nothing moved. Nothing is taken out when nothing went in.
    bool MoveSelectedText(int64_t to);
    static constexpr int ClickSlop = 3;

protected:
    void WMLButtonDown(TWMMouse& message) override;
    void WMLButtonUp(TWMMouse& message) override;
    void WMLButtonDblClk(TWMMouse& message) override;
    void WMRButtonDown(TWMMouse& message) override;
    void WMMouseMove(TWMMouse& message) override;
    void WMTimer(TWMTimer& message) override;
    void SetDragMode(TDragMode mode) { FDragMode = mode; }

private:
    enum TMouseArea
    {
        maNone,
        maText,
        maRuler, // over the wrap or indent line of a row selection
        maLeftMargin
    };
    TMouseArea MouseAreaAt(int x, int y);
    void ShapeCursor(TCursor cursor);
    // A press point limited to its row's text: before the CR of a paragraph's end.
    TPoint LimitToRowEnd(const TPoint& p);
    void DragSelectTo(const TPoint& p);
    bool DragScrollStep();
    void StopDragScroll();
    void DrawDragLine(int col);
    void ApplyRulerDrag(bool wrap, bool shift);
    void DropSelection(const TPoint& p);
    TDragMode FDragMode = dmNone;
    POINT FDragPos{0, 0};
    bool FDragScrollTimer = false;

protected:
    // ---- view state for a derived view that draws and scrolls itself ----
    // Row and column of the view's top left, set without scrolling or repainting.
    void SetTopLineRaw(int row) { FTopLine = row; }
    void SetLeftColRaw(int col) { FLeftCol = col; }
    int GetLastPaintTop() const { return FLastPaintTop; }
    void SetLastPaintTop(int row) { FLastPaintTop = row; }
    // Cell size from the font: row height and column width add the pitches; every character
    // advance becomes the column width.
    void SetCellMetrics(int textHeight, int cellWidth);
    // Left margin and the edit rectangle's top left.
    void SetEditOrigin(int leftMgn, int top);
    // The marks' colour follows the window colour until someone sets it.
    void EnsureMarkColor();
    void ResetLoadTruncation() { FLoadTruncation = TLoadTruncation(); }
    const std::vector<int>& PixelTable() const { return FPixelTable; }
    // A byte that words are made of from now on (until the keywords change).
    void MarkWordChar(unsigned char b) { FWordChars[b] = true; }

private:
    // The document's settings, edit point, undo group and widest row are its own: these name them.
    TBitmap* FMarkBitmaps[3] = {nullptr, nullptr, nullptr};
    TPoint& FCaret = FDoc->Caret();
    int FLastCaretCol = -1;
    int FLastLeftCol = -1;
    int FColWidth = 1;
    TStringList* FRowClipTexts = nullptr;
    TAttrList* FRowClipAttrs = nullptr;
    int FRowHeight = 2;
    int& FDefWrapPos = FDoc->DefWrapPos();
    bool FInsertMode = true;
    TStringList* FKeywords = nullptr;
    TStringList* FExKeywords = nullptr;
    bool (&FWordChars)[256] = FDoc->WordChars();
    int FLeftCol = 0;
    TAFEditOptions& FOptions = FDoc->Options();
    bool FReadOnly = false;
    TSelArea* FSelArea = nullptr;
    int& FTabSize = FDoc->TabSize();
    int FTextHeight = 0;
    int FTopLine = 0;
    TViewOptions FViewOpt;
    TRect FEditRect;
    TFont* FFontDependence = nullptr;
    TFont* FFontKeyWord = nullptr;
    TFont* FFontExKeyWord = nullptr;
    TFont* FFontSelText = nullptr;
    int& FUndoGroupId = FDoc->UndoGroupId();
    std::vector<int> FPixelTable;
    int FLastPaintTop = -1;
    TDateTime FFileDate = 0;
    int& FLongestLine = FDoc->LongestLine();
    int FExColRowNum2 = -1;
    TColor FColDependence = 0xFF00FF;
    TLoadTruncation FLoadTruncation;
    TCanvas* FMeasureCanvas = nullptr;
    HDC FMeasureDC = nullptr;
    bool FInFontChange = false;
    bool FVertShown = false;
    bool FHorzShown = false;
    int FRowPich = 2;
    int FCharPich = 0;
    int FTopMgn = 0;
    int FLeftMgn = 40;
    TColor FMarkColor = clNone;
    int FCrKeyHeight = -1;
    TColor FCrKeyColor = 0;
    TColor FCrKeyBack = 0;
    TColor FCrKeySel = 0;
    SCROLLINFO FVertInfo{};
    SCROLLINFO FHorzInfo{};
    int FHiddenCount = 0;
    bool FCaretExists = false;
    int FCaretLevel = 0;
    bool FCaretInsert = true;
    bool FCaretDbcs = false;
    int FCaretWidth = 0;
    int FLastPlacedTop = -1;
    TRect FPaintRect;
    bool FLastFontSelected = false;
    bool FComposing = false;
    int FPlacements = 0; // caret placements made on screen
    POINT FImePos{-1, -1}; // where the input method's window was last put
    bool FRulerLater = false; // rows are repainted next, and the ruler with them
    int FPendingLead = -1;    // lead byte of a double-byte character whose trail byte is still to come
    bool FDropTrail = false;  // the lead byte was swallowed by a key-press handler: so is its trail

    // ---- what the document tells the view ----
    void DocLineInserting(int row, AnsiString& text) override;
    void DocLineDeleting(int row) override;
    bool DocBeforeChange(int row, AnsiString& text) override;
    bool DocChanged() override;
    void DocUndoChanged(bool canUndo, bool canRedo) override { FireUndoChange(canUndo, canRedo); }
    bool DocWordBreak(const AnsiString& line, int& wrapPos) override;
    void DocRowCountChanged() override;
    void DocMarkDirtyFrom(int row) override { MarkDirtyFrom(row); }
    void DocSelRowInserted(int row) override;
    void DocSelRowDeleted(int row) override;
    bool DocRowHooksIdle() override;
    void DocDefaultColors(TColorValue& fontColor, TColorValue& backColor) override;
};

// Publishes the editor for use as a component; adds nothing else.
class TAFEdit : public TCustomAFEdit
{
public:
    using TCustomAFEdit::TCustomAFEdit;
};
