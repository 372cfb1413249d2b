// The editor's text without a window: display rows (a long paragraph is folded into pieces; only
// the piece that ends a paragraph keeps its CR byte), one attribute record per row, the block
// attributes, the undo history and the folding. A view watches it through TAFDocumentHost.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor_control/AFEditRecords.h"
#include "editor_control/AFEditText.h"
#include "editor_control/AFEditUndo.h"
#include "platform/Classes.h"

enum TEditMode
{
    emInsert,
    emAdd,
    emDelete,
    emChange
};

enum TAFEditOption
{
    aoFreeCaret,
    aoAutoIndent,
    aoAutoJpnIndent,
    aoAutoFormat,
    aoWordWrap,
    aoJpnBanBreak,
    aoTabToSp
};
using TAFEditOptions = TSet<TAFEditOption>;

enum TConvModeValue
{
    cmRaw,
    cmTabToSp,
    cmTabToIndent,
    cmIndentToTab,
    cmIndentToSp,
    cmFoldToCr,
    cmFoldLine
};
using TConvMode = TSet<TConvModeValue>;

// Where a text load stopped early: a NUL byte ends the text (the rest of the file is not shown).
struct TLoadTruncation
{
    bool Truncated = false;
    int64_t ByteOffset = -1; // offset of the NUL byte in the stream
};

// Rows a load or a whole re-fold builds, gathered in chunks of a bounded size and then handed to
// a row list at once: no list of them grows by copying or holds every row's slot twice.
class TRowChunks
{
public:
    void Add(AnsiString row)
    {
        if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity())
            NextChunk();
        chunks_.back().push_back(std::move(row));
        ++count_;
    }
    int64_t Count() const { return count_; }
    const AnsiString& Last() const { return chunks_.back().back(); } // not when empty
    // Appends every row to list (and room for extra more), freeing each chunk once moved.
    void MoveInto(TStringList& list, int extra);
    void MoveInto(std::vector<AnsiString>& out);

private:
    static constexpr size_t kRows = 131072; // the most a chunk holds
    void NextChunk();
    std::vector<std::vector<AnsiString>> chunks_;
    int64_t count_ = 0;
};

// What the document tells its view, and the hooks the view lends it. Every default does what a
// document without a view needs: nothing, or the change goes ahead as asked.
class TAFDocumentHost
{
public:
    virtual ~TAFDocumentHost() = default;
    // A row is about to be inserted at row with text; the hook may rewrite the text.
    virtual void DocLineInserting(int row, AnsiString& text) {}
    virtual void DocLineDeleting(int row) {}
    // False vetoes the change; the hook may rewrite the text.
    virtual bool DocBeforeChange(int row, AnsiString& text) { return true; }
    // A row's text changed; true when someone was told (and so may have changed the row again).
    virtual bool DocChanged() { return false; }
    virtual void DocUndoChanged(bool canUndo, bool canRedo) {}
    // True when the hook decided the break itself.
    virtual bool DocWordBreak(const AnsiString& line, int& wrapPos) { return false; }
    // The number of rows changed (one row at a time, outside of a load).
    virtual void DocRowCountChanged() {}
    // Folding moved rows: rows from row on must be redrawn; a row selection follows inserted
    // and deleted rows.
    virtual void DocMarkDirtyFrom(int row) {}
    virtual void DocSelRowInserted(int row) {}
    virtual void DocSelRowDeleted(int row) {}
    // True when none of the row hooks above (inserting, deleting, before-change, changed, word
    // break) does anything: a re-fold may then cut a paragraph in one pass without calling them.
    virtual bool DocRowHooksIdle() { return false; }
    // Colours of a fresh record.
    virtual void DocDefaultColors(TColorValue& fontColor, TColorValue& backColor)
    {
        fontColor = 0;
        backColor = 0;
    }
};

// What replacing many pieces of the text will do, worked out before the text changes.
struct TReplaceWork
{
    TReplaceWork() = default;
    TReplaceWork(const TReplaceWork&) = delete;
    TReplaceWork& operator=(const TReplaceWork&) = delete;
    ~TReplaceWork();
    TUndoSplice Splice;              // the paragraphs touched, with the rows they get
    std::vector<TColAttrList*> Cols; // none, or one per row made (null: no column records)
    int64_t UndoBytes = 0;           // what the undo record of the change takes
    TPoint CaretFirst;               // where an undo leaves the caret: after the first piece
    int LastSpan = 0;                // the caret ends after the last piece: that span's row
    int LastOffset = 0;
    int LastRow = 0;
    int LastCol = 0;
};

class TAFDocument
{
public:
    TAFDocument();
    ~TAFDocument();
    TAFDocument(const TAFDocument&) = delete;
    TAFDocument& operator=(const TAFDocument&) = delete;

    void SetHost(TAFDocumentHost* host) { FHost = host ? host : &FNoHost; }
    // Takes the row list (a view may hand in a list that reports its changes) and owns it.
    void SetLines(TStrings* lines);
    TStrings* Lines() const { return FLines; }
    TAttrList* Attrs() const { return FAttrs; }
    TBlkAttrList* BlkAttrs() const { return FBlkAttrs; }
    TUndoBuff* UndoBuff() const { return FUndo; }

    // ---- settings the folding and the coordinates follow ----
    TAFEditOptions& Options() { return FOptions; }
    int& DefWrapPos() { return FDefWrapPos; }
    int& TabSize() { return FTabSize; }
    int& WrapLeadBytes() { return FWrapLeadBytes; }
    int& WrapTrailBytes() { return FWrapTrailBytes; }
    bool (&WordChars())[256] { return FWordChars; }
    const AnsiString& GetBanEnd() const { return FBanEnd; }
    void SetBanEnd(const AnsiString& chars);
    const AnsiString& GetBanHead() const { return FBanHead; }
    void SetBanHead(const AnsiString& chars);

    // ---- state kept with the text ----
    // The edit point: undo records remember it, and folding keeps it on its character.
    TPoint& Caret() { return FCaret; }
    int& UndoGroupId() { return FUndoGroupId; }
    // Widest row seen plus two (it only grows until a load or a clear).
    int& LongestLine() { return FLongestLine; }

    // ---- rows and records ----
    int GetLinesCount() const;
    AnsiString GetLine(int row) const;
    // A row where it lies, for reading without a copy; valid until the rows change.
    const AnsiString& RowRef(int row) const { return FRowList ? FRowList->Ref(row) : RowCopy(row); }
    bool isCrLine(int row) const;
    TAttrListItem MakeAttr(bool dirty, int indent, int wrapPos);
    void NoteLineWidth(int length);
    AnsiString TabExpand(const AnsiString& s, bool toSpaces) const;
    TPoint DspPos(const TPoint& logical);
    int LogicalPos(const TPoint& display);
    void SetWrapPos(int row, int wrapPos);
    TColAttrList* GetColAttrs(int row);
    void ColAttrFree(int row);

    // ---- row primitives: every change pushes its undo record into the current group ----
    void AddLineP(const AnsiString& text, const TAttrListItem& attr);
    void InsertRow(int row, const AnsiString& text, const TAttrListItem& attr, bool hookMayRewrite);
    // The change hook for a change that must land as asked: false when vetoed or rewritten.
    bool AskChange(int row, const AnsiString& text);
    // Stores a row's text with its undo record, without asking the change hook.
    void ApplyLineChange(int row, const AnsiString& text);
    void DelLineP(int row);
    // Deletes count rows from first with one undo record per row, as DelLineP from the last
    // (lastFirst) or count times at first would; the rows below move once.
    void DeleteRowsAt(int first, int count, bool lastFirst);
    // Inserts whole rows at row with one undo record each; linear in the rows of the text.
    void InsertRowsAt(int row, const std::vector<AnsiString>& texts, const std::vector<TAttrListItem>& attrs);
    void BlkAttrShiftRows(int row, int n);
    // The rows become those of lines, told to the row list's watchers as a clear and one change;
    // a string list takes lines' items over (a derived one hears of them through its append hook)
    // and leaves lines empty. Either this throws with the rows as they were, or all the rows are in.
    void TakeRows(TStringList& lines);
    // One empty row, no blocks, no history.
    void Clear(const TAttrListItem& rec);

    // ---- replacing many pieces at once ----
    // Works out replacing each hit (its start; length bytes on, across rows; ascending, apart) by
    // with, each paragraph a hit touches cut into rows anew; false (nothing worked out) when the
    // hits are not so. The text is not changed.
    bool PlanReplace(const std::vector<TPoint>& hits, int length, std::string_view with, TReplaceWork& work);
    // Makes the change worked out, as one undo step when record (otherwise the history goes: the
    // change cannot be undone); the caret ends after the last replacement.
    void ApplyReplace(TReplaceWork& work, bool record);
    // No hook of the host sees rows one by one (see TAFDocumentHost::DocRowHooksIdle).
    bool RowHooksIdle();

    // ---- column and block attributes: they follow the bytes they describe, without undo ----
    void ColAttrEdit(int row, int col, int len, TEditMode mode);
    void ColAttrBlockEdit(int source, int dest, int len, TEditMode mode);
    void BlkAttrLineEdit(int row, TEditMode mode);
    void BlkAttrEdit(int row, int col, int len, TEditMode mode);
    void BlkAttrBlockEdit(int source, int dest, int len, TEditMode mode);
    void BlkAttrRowEndToNext(int row, int next);

    // ---- folding ----
    int WordBreak(const AnsiString& line, int wrapPos, int minPos);
    // Re-wraps from row downward until the layout is settled, under the current undo group.
    void FoldLine(int row);
    // Cuts every paragraph anew at its wrap position in one pass (no undo records; column lists
    // and block attributes are dropped). The text stays byte for byte.
    void RefoldParagraphs();
    // Appends a loaded paragraph folded at its wrap position (used while loading).
    void FoldParagraphInto(TStringList* lines, std::vector<TAttrListItem>& attrs, const AnsiString& text,
                           const TAttrListItem& attr);
    void FoldParagraphInto(TRowChunks& rows, std::vector<TAttrListItem>& attrs, std::string_view text,
                           const TAttrListItem& attr);

    // ---- reading and writing ----
    // Builds the rows and records of a text or raw stream into lines and records, leaving the
    // document's rows as they are; LongestLine is that of the rows built.
    void ReadRows(TStream* stream, TConvMode modes, TStringList& lines, TAttrList& records,
                  TLoadTruncation& truncation);
    void WriteRows(TStream* stream, TConvMode modes);

    // ---- undo and redo of whole groups ----
    bool CanUndo() const { return FUndo->PrevPop() != nullptr; }
    bool CanRedo() const { return FUndo->NextPop() != nullptr; }
    // Walk back (forward) one group; true when a record was replayed (when more groups follow).
    bool UndoGroup();
    bool RedoGroup();

private:
    struct TBreakBudget
    {
        int Trail = 0;
        int Lead = 0;
    };
    int WordBreakStep(std::string_view line, int wrapPos, int minPos, TBreakBudget& budget);
    void FireUndoChange(bool canUndo, bool canRedo) { FHost->DocUndoChanged(canUndo, canRedo); }
    // Replaying undo records: no undo records of their own.
    void ReplayDelete(int index);
    void ReplayInsert(int index, const AnsiString& text, const TAttrListItem& attr);
    void ReplayChange(int index, const AnsiString& text, const TAttrListItem& attr);
    // The document always keeps one row, and the caret stays inside the text.
    void SettleAfterReplay();
    // Puts a block record's rows in place of those the text holds there, and keeps those.
    void SwapBlock(TUndoBuffItem& rec);
    // Puts a splice's rows in place of those its spans name, and keeps those (see acSplice); cols,
    // when given, are the new rows' column records, taken.
    void SwapSplice(TUndoSplice& splice, std::vector<TColAttrList*>* cols = nullptr);
    void Resplice(TUndoBuffItem& rec);

    // The rows FoldLine cuts anew, worked out before any row changes (see AFDocument_Fold.cpp).
    struct TRefold;
    // Cuts the rows of the edited paragraph(s) from first on as a folded load would, until a cut
    // falls where the text already has one; false (nothing to change) when the rows stand.
    bool PlanRefold(int first, int edited, TRefold& plan);
    void ApplyRefold(TRefold& plan);
    // The first row whose cut a change of row edited can move: the edited paragraph's rows before
    // it end where a break decision never reads the edited row.
    int RefoldStart(int edited);

    // A folded load's buffers for a piece's display form and where its tabs went, kept from one
    // paragraph to the next (busy while in use: a word-break handler may fold meanwhile).
    struct TPieceTab
    {
        int col, width, source;
    };
    struct TPieceScratch
    {
        std::string bytes;  // the display form
        AnsiString display; // the same, for a word-break handler
        std::vector<TPieceTab> tabs;
        bool busy = false;
    };
    TPieceScratch FPieceScratch;
    // How many of the bytes at s the next piece of their paragraph takes. rest is what the
    // paragraph holds from s on (its CR included), or, when it goes on further, at least
    // FoldReach(indent, wrap): a break decision reads no further than that.
    // tabAt is where the first tab at or after s stands (INT_MAX when none does in rest).
    int PieceLength(const char* s, int rest, int tabAt, bool endsParagraph, int indent, int wrap,
                    TPieceScratch& scratch, bool direct);
    int FoldReach(int indent, int wrap) const;
    // The indent and wrap position a paragraph with record rec is cut at.
    void FoldBounds(const TAttrListItem& rec, int& indent, int& wrap) const;

    // While a load or a whole re-fold builds rows, their text goes to shared blocks.
    TStringArena* FArena = nullptr;
    AnsiString NewRowText(const char* s, int len) { return FArena ? FArena->Make(s, len) : AnsiString(s, len); }
    TAFDocumentHost FNoHost;
    TAFDocumentHost* FHost = &FNoHost;
    TStrings* FLines = nullptr;
    TStringList* FRowList = nullptr; // FLines, when it is a string list (read in place)
    mutable AnsiString FRowCopy;     // otherwise the row read last
    const AnsiString& RowCopy(int row) const;
    TAttrList* FAttrs = nullptr;
    TBlkAttrList* FBlkAttrs = nullptr;
    TUndoBuff* FUndo = nullptr;
    int FUndoGroupId = 0;
    TPoint FCaret;
    int FLongestLine = 0;
    TAFEditOptions FOptions;
    int FDefWrapPos = 60;
    int FTabSize = 4;
    int FWrapLeadBytes = 10;
    int FWrapTrailBytes = 4;
    bool FWordChars[256] = {};
    AnsiString FBanEnd;
    AnsiString FBanHead;
    TBanSet FBanEndSet;
    TBanSet FBanHeadSet;
};
