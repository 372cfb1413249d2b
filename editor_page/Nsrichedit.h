// The editor page: the editor control as every tab of the main window holds it. It adds a line
// store that reports every change (so the comment model follows the text), painting through a
// drawing thread and an off-screen bitmap, a margin with a bookmark column, a column ruler of its
// own, dropped files, typing a text as one undo step, and the search the find dialogs use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/Nscontainers.h"
#include "common/WexmoorDef.h"
#include "editor_control/AFEdit.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Picture.h"

class nsRichEdit;
class DrawLineThread;
class TPopupMenu;

// ---- comment model ------------------------------------------------------------------------------

enum typCommentMode : uint8_t
{
    cmmNormal,
    cmmF77,
    cmmF9095,
    cmmCCPP,
    cmmDEF
};

// Where a comment begins (0), ends (1, at the last byte of the end string) or a line comment
// starts (2).
struct typCommentInf
{
    int Position = 0;
    int Row = 0;
    uint8_t Kind = 0;
};

// A comment span within a row: first byte and last byte (-1: to the end of the row).
struct typCMRange
{
    int Start = 0;
    int End = -1;
};

// The syntax of the page's comments and the marks that follow the line store, kept sorted by
// (row, position, kind). A line comment is a begin and end pair on its row, or, with range
// comments on, one mark of kind 2 that only counts outside a range comment.
class typCommentList
{
public:
    // Resets the syntax fields, then sets those of the mode and rebuilds every row. Asking for
    // the mode already chosen changes nothing.
    void SetMode(typCommentMode mode);
    void RebuildRow(int row);
    void InsertRow(int index);
    void DeleteRow(int index);
    void Clear();
    bool GetRowRanges(int row, nsList<typCMRange>& ranges);

    bool OpenToEnd = false;
    typCommentMode Mode = cmmNormal;
    nsRichEdit* Owner = nullptr;
    nsList<typCommentInf> Marks;
    AnsiString RangeEnd = "*/";
    AnsiString RangeBegin = "/*";
    bool EnableComment = false;
    bool EnableRangeComment = false;
    AnsiString LineComment1;
    AnsiString LineComment2;
    AnsiString LineComment3;
    AnsiString ChrConstRange1;
    AnsiString ChrConstRange2;

private:
    // First mark of a row at or after row (binary search).
    int LowerBound(int row) const;
    typCommentMode FRequested = cmmNormal;
    bool FRebuildingAll = false;
};

// Quote state of a row read from its start: a backslash inside a constant escapes the next byte
// (in C sources only), and a double-byte character is stepped over whole, so a 0x5C trail byte
// never escapes a quote.
class typQuoteScanner
{
public:
    typQuoteScanner(const char* text, int length, char quote1, char quote2, bool escapes)
        : text_(text), length_(length), quote1_(quote1), quote2_(quote2), escapes_(escapes)
    {
    }
    // Reads up to p (p is at a character start or past the end); true when p lies outside both
    // constants.
    bool OutsideAt(int p);
    // Reads the character at the current place: 1 when it closed a constant of quote 1, 2 of
    // quote 2 (closed = {opening quote, closing quote}), else 0.
    int Step(typCMRange& closed);
    int Place() const { return at_; }
    // Goes on from p with both constants closed (after a comment).
    void Restart(int p)
    {
        at_ = p;
        in1_ = in2_ = false;
    }
    bool Inside() const { return in1_ || in2_; }

private:
    const char* text_;
    int length_;
    char quote1_, quote2_;
    bool escapes_;
    int at_ = 0;
    bool in1_ = false, in2_ = false;
    int openAt_ = -1;
};

// The syntax spans of one row: each {first byte, last byte}; -1 for none.
struct typSyntaxTokens
{
    std::vector<typCMRange> Strings;
    std::vector<typCMRange> Chars;
    std::vector<typCMRange> Numbers;
    typCMRange PreProc{-1, -1};
    typCMRange Label{-1, -1};
};

// The comment mode the file name's extension asks for (Normal when none does).
typCommentMode CommentModeForFile(const AnsiString& path);

// ---- line store ---------------------------------------------------------------------------------

enum typLineChange
{
    lcAdd,    // a line appended at index
    lcPut,    // the line at index replaced
    lcInsert, // a line inserted at index
    lcDelete, // the line at index removed
    lcClear   // every line removed (index -1)
};

// The page's rows. Every change is reported to the owning page once, after it happened: an append
// is an append (never also an insertion), an exchange is two replacements.
class nsStringList : public TStringList
{
public:
    explicit nsStringList(nsRichEdit* owner) : owner_(owner) {}
    nsRichEdit* Owner() const { return owner_; }

    void Put(int index, const AnsiString& s) override;
    void SwapString(int index, AnsiString& s) override;
    int Add(const AnsiString& s) override;
    void Clear() override;
    void Delete(int index) override;
    void Insert(int index, const AnsiString& s) override;
    void Exchange(int index1, int index2) override;

protected:
    void Appended(int first, int count) override;

private:
    nsRichEdit* owner_;
};

// ---- the page -----------------------------------------------------------------------------------

using TFileDropEvent = Closure<void(TObject* sender, TStringList* files)>;
using TLeftAreaClickEvent = Closure<void(TObject* sender, int x, int y, int row)>;

// How a document was opened: osShared when another program held the file and it was read
// with every kind of sharing allowed.
enum typOpenStatus : unsigned char
{
    osNormal = 0,
    osShared = 2
};

// What a program that writes a file cannot put back as it was, unlike the write time and the
// size: the change time, which the file system sets at every write, and the file's identity (its
// volume and index), which a file moved or copied into its place does not share. A part the file
// system does not tell is not known.
struct typFileIdentity
{
    bool changeKnown = false;
    int64_t changeTime = 0; // 100 ns steps
    bool indexKnown = false;
    uint32_t volume = 0;
    uint64_t index = 0;
};

// Read through an open handle that has at least FILE_READ_ATTRIBUTES.
typFileIdentity ReadFileIdentity(void* handle);
// Whether two readings can be of the same, unchanged file: a part unknown on either side tells
// nothing.
bool SameFileIdentity(const typFileIdentity& a, const typFileIdentity& b);

// ---- search support, hit marks, bookmarks ----
// One hit of the batch search, owned by the results list. MarkId is written into the column
// attributes of the hit's bytes, so the hit is found again after edits.
class typSrchPack : public TObject
{
public:
    int MarkId = 0;
    TPoint HitPoint;   // logical (byte column, row), as found
    TPoint SelPoint;   // display point where the hit lies now
    AnsiString LineText; // the hit's row with tabs expanded to blanks
    AnsiString Pattern;  // the matched text (its length is the hit's length)
    nsRichEdit* Editor = nullptr;
    int Color = 0;
    AnsiString FileName;
};

// A bookmark kept across a replacement of the selection.
struct typBMarkInf
{
    int32_t Row = 0;
    AnsiString Text;
};

class nsRichEdit : public TCustomAFEdit, public TEditSettingTarget
{
public:
    explicit nsRichEdit(TComponent* owner);
    ~nsRichEdit() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    // ---- overrides of the control's operations ----
    void Paint() override;
    void DrawLeftMgnEX(int row) override;
    void LineChange(int row, const AnsiString& text, bool newGroup) override;
    void DrawColIndicate() override;
    void DrawLeftMgn(int row, const AnsiString& s) override;
    void MetricsUpdate(bool repaint) override;
    void FillEditRect(const TRect& rect) override;
    TCanvas* GetMyCanvas() override;
    TStrings* MakeFLine() override;
    void DrawWrapLine(int row, const TRect& rect, int top, int bottom) override;
    void ExtTextPaint(int x, int y, int left, const AnsiString& s) override;
    // Forward: the first match at or after from that ends at or before to; reverse (soReverse):
    // from is the later point, and the last match inside the range. Matches start and end on
    // character boundaries and may run on across any number of rows. X is -1 when there is none.
    TPoint Search(const AnsiString& pattern, const TPoint& from, const TPoint& to, TSearchOpts opts) override;
    // Types s at the caret as one undo step (control bytes other than TAB and CR are dropped).
    void StringInsert(const AnsiString& s) override;
    void LeftAreaClick(int x, int y, int row) override;
    // Loads the document; a file another program holds is read shared (see OpenStatus). A file
    // that opens in neither way raises EFOpenError "Open Error" and the page keeps its text.
    void LoadFromFile(const AnsiString& path, TConvMode mode) override;
    typOpenStatus LoadFile(const AnsiString& path, TConvMode mode);
    typOpenStatus OpenStatus() const { return FOpenStatus; }
    // The file's size in bytes when it was last read or written (-1: not known); with the file
    // date it tells whether another program has changed the file since.
    int64_t GetFileLength() const { return FFileLength; }
    void SetFileLength(int64_t length) { FFileLength = length; }
    // The file's change time and identity when it was last read or written.
    const typFileIdentity& GetFileIdentity() const { return FFileIdentity; }
    void SetFileIdentity(const typFileIdentity& identity) { FFileIdentity = identity; }
    // With BackupFile set, the existing file is kept as path + ".bak": copied under a temporary
    // name first and put in place only after the save succeeded, so a failed copy or a failed save
    // leaves the folder as it was. A copy that fails asks whether to save without a backup; No
    // raises EAbort (nothing is written). A successful save writes the whole text, so a load that
    // stopped at a NUL byte no longer matters.
    void SaveToFile(const AnsiString& path, TConvMode mode) override;
    // The page's own part of the editor settings: link and text-background colours, backup, tabs,
    // the Home key and the comment mode.
    void ApplyEditSetting(const VN::typEditSetting& setting) override;
    // Adds a byte to the word-character set (until the keywords change).
    void AddWordChar(unsigned char b) { MarkWordChar(b); }

    // Keeps the per-byte attributes of a row aligned with its bytes, when the row has them:
    // mode 0 inserts count empty records at column, 1 appends count, 2 deletes count at column.
    virtual void ColAttrListEdit(int row, int column, int mode, int count);

    // Called by the line store after each change of the rows.
    virtual void LineStoreChanged(typLineChange change, int index);

    // Draws the rows visible now (the arguments are those of the request being served) through
    // the off-screen bitmap and shows all of it. Nothing while Updating or without a window.
    void DrawRows(int first, int end);
    // Selects the caret row from its start to its end, the caret at its end.
    void SelectCurrentLine();

    // The drawing thread (null when the page paints at once).
    DrawLineThread* DrawThread() const { return FDrawThread; }
    // Stops and frees the drawing thread: from now on Paint draws at once.
    void StopDrawThread();

    void SetCommentMode(typCommentMode mode) { FComment.SetMode(mode); }
    typCommentMode CommentMode() const { return FComment.Mode; }
    typCommentList& CommentList() { return FComment; }
    // Rows past the text have no bookmark; reading never adds records.
    bool IsBookmarked(int row);
    int BookmarkColumnWidth() const { return FBookmarkWidth; }
    int BookmarkColumnGap() const { return FBookmarkGap; }
    TBitmap* OffscreenBitmap() const { return FOffscreen; }

    // ---- wallpaper ----
    // What a picture's blends are made of: the page's colours and opacities.
    struct typWallBlend
    {
        TColor back = 0;
        TColor textBack = 0;
        bool alphaBlend = false;
        int alpha = 0;
        int textAlpha = 0;
        bool operator==(const typWallBlend&) const = default;
    };
    // A picture ready to be shown: loaded, cut to its centre and blended for a page.
    struct typWallImages
    {
        std::unique_ptr<TPicture> picture;
        std::unique_ptr<TBitmap> back;
        std::unique_ptr<TBitmap> text;
        typWallBlend blend;
    };
    typWallBlend WallBlend() const;
    // The largest edit area a page can have: a window stretched over every screen. A wallpaper
    // keeps no more of its picture than this, around the picture's centre, which is all a page
    // ever shows of it.
    static TSize WallPaperArea();
    // Loads the centre of file, at most about maxWidth x maxHeight of it (CentreSpan), and blends
    // it. It touches no window, so a picture can be made away from the window's thread (then with
    // the bitmaps' device contexts let go again). False, with images untouched, for a file that
    // cannot be loaded, no memory, or a load stopped by cancel.
    static bool MakeWallPaper(const AnsiString& file, int maxWidth, int maxHeight, const typWallBlend& blend,
                              typWallImages& images, const std::atomic<bool>* cancel = nullptr);
    // Loads the picture's centre (WallPaperArea) and builds its blends. A file that cannot be
    // loaded, or blends there is no memory for, change nothing and give false.
    bool SetWallPaper(const AnsiString& file);
    // Shows images made for file, blending them again when they were made for other colours.
    bool SetWallPaper(const AnsiString& file, typWallImages&& images);
    // Hands the wallpaper over, leaving the page without one (empty images when it had none).
    typWallImages TakeWallPaper();
    bool ClearWallPaper();
    bool WallPaperSet() const { return FWallPaperSet; }
    const AnsiString& WallPaperFile() const { return FWallPaperFile; }
    // The picture behind the text, as loaded (null when none).
    TPicture* WallPaperPicture() const { return FWallPicture; }
    // Blending of the picture with the background and text-background colours.
    bool AlphaBlend() const { return FAlphaBlend; }
    void SetAlphaBlend(bool on);
    int AlphaBlendValue() const { return FAlphaBlendValue; }
    void SetAlphaBlendValue(int value);
    // The text background's opacity that goes with a wallpaper opacity (the automatic setting):
    // a more opaque wallpaper gets a relatively fainter text background.
    static int AutoTextBackAlpha(int alphaBlendValue);
    // The text background's opacity in use: automatic, or 255 - the stored transparency.
    int TextBackAlpha() const;
    // The picture over the background colour and over the text-background colour.
    TBitmap* WallPaperBack() const { return FWallBack; }
    TBitmap* WallPaperText() const { return FWallText; }
    bool DrawingOffscreen() const { return FDrawingOffscreen; }

    // Syntax colouring of a row just before it is drawn (the control's OnDrawLine).
    void SyntaxColorRow(TObject* sender, int index, TRect rect, AnsiString tabExStr, bool& defaultDraw);
    // Strings, character constants, numbers, the preprocessor span and the label of a row, given
    // its comment spans (each ending on a byte of the row).
    void ScanSyntaxTokens(int row, const std::vector<typCMRange>& comments, typSyntaxTokens& tokens);

    // ---- search support, hit marks, bookmarks ----
    // (length of the last row - 1, last row).
    TPoint GetEndPos();
    // Scrolls a display point into view; true when anything moved.
    bool ScrollIntoView(int col, int row);
    // The next (previous) hit from a logical point: a hit already selected at from is skipped.
    // With select the hit is selected, the caret at its start, and shown. x is -1 when none.
    TPoint FindNext(const TPoint& from, const AnsiString& pattern, bool caseSensitive, bool wholeWord,
                    bool select);
    TPoint FindPrev(const TPoint& from, const AnsiString& pattern, bool caseSensitive, bool wholeWord,
                    bool select);
    // The whole-word test of a hit (logical point, byte length); neighbours across a fold count.
    bool IsWholeWordHit(const TPoint& hit, int length);
    // Fills the pack from its HitPoint and Pattern and marks the hit's bytes with a new id.
    void MakeSrchPack(typSrchPack& pack);
    // Finds the pack's marked bytes again near its row; false when gone or partly overwritten.
    bool LocateSrchPack(typSrchPack& pack);
    // The next id a hit will get (ids start at 1, never 0, never repeat within 2^31 - 1 hits).
    int32_t PeekMarkId() const { return FNextMarkId; }
    void GoNextBookMark() override;
    void GoPrevBookMark() override;
    bool BookmarkText(int row, AnsiString& text);
    void SetBookmark(int row, bool on, const AnsiString& text = AnsiString());
    void SaveBookmarks(nsArray<typBMarkInf>& list);
    void RestoreBookmarks(const nsArray<typBMarkInf>& list);
    // Replaces the selection with text as one undo step; false (nothing changes) for a box
    // selection, which has no single text place to go to.
    bool ReplaceSelText(const AnsiString& text);
    // Replace all in one go: every hit of pattern from `from` on that ends by `to` (logical
    // points), as replacing them one after the other finds them, becomes the replacement (control
    // bytes but TAB and CR dropped), as one undo step, and the window is set once: the caret after
    // the last replacement, nothing selected. Done is false, with nothing changed, where that
    // cannot be (a row hook of the control is set, block attributes exist, or the replacement ends
    // inside a character): the hits are then replaced one by one. When the undo record would not
    // fit the history, noUndo is asked whether to replace without one (no callback: no, Declined).
    struct TReplaceEvery
    {
        bool Done = false;
        int Hits = 0;
        int Replaced = 0;
        bool Declined = false;
    };
    TReplaceEvery ReplaceEvery(const AnsiString& pattern, const AnsiString& replacement, const TPoint& from,
                               const TPoint& to, bool caseSensitive, bool wholeWord,
                               const std::function<bool()>& noUndo);
    // A box selection is on: an Alt drag made the selection, and no press came since.
    bool IsRangeSelect() const { return GetDragMode() == dmRangeSel; }
    void SetRangeSelect(bool on)
    {
        if (on || IsRangeSelect())
            SetDragMode(on ? dmRangeSel : dmNone);
    }

    // ---- clipboard, box selection, row indentation ----
    // Copies the selection: a box in the display form of its rows under the box format (blanks
    // for indent and tab cells in the plain text); anything else as the control copies it. Raises
    // when the clipboard cannot be opened.
    void CopySelToClipboard();
    // A box on the clipboard goes in row by row at the caret column; anything else as the control
    // pastes it.
    void ClipInsert() override;
    // A box deletes its columns of every row it covers; anything else as the control deletes it.
    void SelectAreaDel() override;
    bool isSelArea(int col, int row, int attrRow, const AnsiString& s) override;
    // The box: rows top..bottom, display columns left..right (right excluded); false outside box mode.
    bool BoxBounds(int& top, int& bottom, int& left, int& right) const;
    // The box's rows, each ended with CR LF: in display form (0x01 indent cells, 0x0B/0x09 tab
    // cells), or with blanks for those cells.
    AnsiString BoxText(bool displayForm);
    // Pastes a box given in display form, each line at the caret column of the next row.
    void PasteBox(const AnsiString& displayText);
    // One unindent step for every paragraph head of the block.
    void UnIndentRows();
    void InsertStrToRowHead(const AnsiString& text);
    void InsertStrToEndOfRow(const AnsiString& text);
    // Home at the start of a row goes to its end when HOMEKeyGoAndRet is set.
    void WMKeyDownProc(TWMKey& message) override;

private:
    class TRowBytes;
    // The whole-word test with the byte before the hit read from the text, or taken as given.
    bool IsWholeWordHit(const TPoint& hit, int length, TRowBytes& bytes, const bool* wordBefore = nullptr);
    bool WordBefore(const TPoint& hit, TRowBytes& bytes);
    // Search where a candidate must also pass accept (null: every one does): forward the first
    // that passes, reverse the last. Each row is prepared once, whatever accept rejects.
    TPoint SearchHits(const AnsiString& pattern, const TPoint& from, const TPoint& to, TSearchOpts opts,
                      const std::function<bool(const TPoint&)>& accept);
    // Logical point n bytes further on, across row ends.
    TPoint AdvanceBytes(TPoint p, int n);
    void ShowHit(const TPoint& hit, int length);
    void PutCaretOnRow(int row);
    int32_t FNextMarkId = 1;
    // The rows a block operation works on; false when there are none.
    bool BlockRows(int& first, int& last);
    // The Tab key; true when it was taken here.
    bool TabKey();
    // Writes text changes of the block's rows as one undo step and re-folds them. change (row,
    // text, at) puts bytes in or takes them out at byte at of the row; the selection's ends and the
    // caret stay on their characters.
    template <class F>
    void EditBlockRows(int first, int last, F change);

public:

    // ---- properties of the page ----
    TColor ColURL = 0;
    TColor ColMail = 0;
    TColor ColTxtBk = 0;
    int ColTxtBkAB = 0;
    bool TxtBkABMode = false;
    bool UseTab = false;
    TColor ColComment = 0;
    TColor ColString = 0;
    TColor ColChr = 0;
    TColor ColNumeric = 0;
    TColor ColPreProc = 0;
    TColor ColColLine = 0;
    TColor ColLabelNum = 0;
    TColor ColBookMarkBk = TColor(0xEEEEEE);
    TColor ColBookMarkLine = TColor(0x808080);
    TFontStyles FStyComment;
    TFontStyles FStyString;
    TFontStyles FStyChr;
    TFontStyles FStyNumeric;
    TFontStyles FStyPreProc;
    TFontStyles FStyLabelNum;
    bool BackupFile = false;
    bool DispColumnLine = false;
    bool HOMEKeyGoAndRet = false;

    // Shown on a right click or the menu key.
    TPopupMenu* PopupMenu = nullptr;

    TFileDropEvent OnFileDrop;
    TLeftAreaClickEvent OnLeftAreaClick;
    // The form's active control became this page, or stopped being it. A focus that only comes
    // back from another window (a dialog, another program) is neither.
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    typOpenStatus FOpenStatus = osNormal;
    int64_t FFileLength = -1;
    typFileIdentity FFileIdentity;
    // Copies the file for the backup (to a name that must not exist yet); false with the system's
    // error code on failure, when the destination may hold part of the copy.
    virtual bool CopyForBackup(const AnsiString& from, const AnsiString& to, unsigned long& error);
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void WMPaint(TWMPaint& message) override;
    void WMChar(TWMChar& message) override;
    void CopyToClipboard() override { CopySelToClipboard(); }
    void WMSize(TWMSize& message) override;
    void WMSetFocus(TWMSetFocus& message) override;
    void WMKillFocus(TWMKillFocus& message) override;
    void WMMouseWheel(TWMMouseWheel& message) override;
    void WMDropFiles(TMessage& message);
    void WMContextMenu(TMessage& message);

    enum TWallPaperPart
    {
        wpBackground,
        wpText
    };
    // The wallpaper behind a rectangle of the edit area, centred in it; where there is no picture
    // the background colour.
    void DrawWallPaperRect(const TRect& rect, TWallPaperPart part);

private:
    struct TRulerKey
    {
        TRect Band;
        int LeftCol = -1;
        TColor Indi = 0;
        TColor No = 0;
        int EditLeft = -1;
        int ColWidth = -1;
        bool operator==(const TRulerKey&) const = default;
    };
    void DrawRuler(const TRulerKey& key);
    // Margin fills shared by the rows of the text and the rows below it.
    void FillMargin(int row);
    // The row's text ends with "&" (its last printable ASCII character before any comment).
    bool ContinuesOnNextRow(int row, const AnsiString& text);
    bool FocusInsideForm(HWND other);
    void StopThread();

    // Frees the per-byte records of coloured rows far from the view (colouring makes them anew
    // when such a row is drawn again), so that scrolling through a large file keeps few of them.
    void TrimColouredRows(int keepRow);

    typCommentList FComment;
    std::vector<int> FColouredRows; // rows given per-byte records by the colouring (may be stale)
    DrawLineThread* FDrawThread = nullptr;
    TBitmap* FRuler = nullptr;
    TRulerKey FRulerKey;
    TBitmap* FOffscreen = nullptr;
    bool FDrawingOffscreen = false;
    bool FPaintIntoGivenDC = false;
    bool FEntered = false;
    int FBookmarkGap = 1;
    int FBookmarkWidth = 12;
    // Builds both blends of picture and puts them in place only when both were made.
    bool RebuildWallPaper();
    // Blends source into back and text (sized to it) for blend; raises when there is no memory.
    static void BlendWallPaper(TBitmap* source, const typWallBlend& blend, TBitmap* back, TBitmap* text);
    bool IsExColRow(int row) const;
    TPicture* FWallPicture = nullptr;
    TBitmap* FWallBack = nullptr;
    TBitmap* FWallText = nullptr;
    bool FWallPaperSet = false;
    AnsiString FWallPaperFile;
    bool FAlphaBlend = false;
    int FAlphaBlendValue = 128;
};
