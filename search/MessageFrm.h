// The search-results window: one line per hit of the batch search (typSrchPack)
// or of the file search (typGrepInf), each line owning its hit; a double click
// or Enter jumps to the hit. It docks into the main window's search panel.
#pragma once

#include <memory>

#include "editor_page/Nsrichedit.h"
#include "platform/ComCtrls.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "search/GrepProc.h"
#include "search/SrchResults.h"

// What the results window needs of the main window to reach a hit. The window
// sits below the main window, so it asks through this seam instead of including
// it.
class TSrchJumpHost
{
public:
    virtual ~TSrchJumpHost() = default;
    // The open page whose editor is editor, made the active page; null when no
    // open page has it (the page was closed: the pointer is only compared, never
    // followed).
    virtual nsRichEdit* ActivateEditor(nsRichEdit* editor) = 0;
    // The page showing path, opened when no page shows it, made the active page;
    // null when the file no longer opens (a failed load has been reported; a
    // missing file is reported by the caller).
    virtual nsRichEdit* ShowFile(const AnsiString& path) = 0;
    // The window was shown docked (the panel takes back its height).
    virtual void ResultsShownDocked(TControl* control) {}
    // The window closed while docked (the panel collapses).
    virtual void ResultsClosedDocked(TControl* control) {}
    // The floating window was let go at a screen point: docked when that lies over the panel.
    virtual bool DockResultsAt(TCustomForm* form, TPoint screenPoint) { return false; }
};

extern TSrchJumpHost* SrchJumpHost;

// A list box that shows a line too wide for it in full as a tool tip lying over
// the line.
class THintListBox : public TListBox
{
public:
    explicit THintListBox(TComponent* owner) : TListBox(owner) {}
    // The text to show for the item under a client point: empty when there is no
    // item there or the item fits the list.
    AnsiString HintTextAt(TPoint clientPoint);
    // Shown on a right click or the menu key.
    TPopupMenu* ContextMenu = nullptr;

protected:
    void HandleCreated() override;
    void Dispatch(TMessage& message) override;

private:
    void TrackHint(TPoint clientPoint);
    HWND tip_ = nullptr;
    int tipItem_ = -1;
    std::wstring tipText_;
};

// The pieces a result line is drawn in, left to right.
struct TResultLinePieces
{
    AnsiString Prefix; // "file(line): "
    AnsiString Before;
    AnsiString Match;
    AnsiString After;
    TColor MatchColor = clBlack; // for an unselected line
    bool MatchBold = false;
};

class TMessageForm : public TForm, public TSrchResultsSink
{
public:
    explicit TMessageForm(TComponent* owner);
    ~TMessageForm() override;

    TPageControl* PageControl = nullptr;
    TTabSheet* Page2 = nullptr;
    THintListBox* SrchResListBox = nullptr;
    TPopupMenu* PopupMenu = nullptr;
    TMenuItem* CompMesCopyMenu = nullptr;
    TMenuItem* CopyAllMenu = nullptr;

    void MsgForm_ClearResults();
    void MsgForm_ClearGrepResults() { MsgForm_ClearResults(); }
    // The list owns object from now on.
    void MsgForm_AddLine(const AnsiString& text, TObject* object);
    void MsgForm_ShowResults();
    void MsgForm_ShowGrepResults() { MsgForm_ShowResults(); }
    // Lists a copy of the hit.
    void MsgForm_AddGrepHit(const typGrepInf* hit);
    // Hits added between these two are drawn once, at the end (they nest).
    void BeginHits() override;
    void EndHits() override;

    // TSrchResultsSink
    void ClearHits() override { MsgForm_ClearResults(); }
    void AddHit(typSrchPack* hit) override;
    void AddLine(const AnsiString& text) override;
    void ShowResults() override;

    // Jumps to the hit of a line (nothing for a line without one).
    void JumpToItem(int index);

    // How a line is split for drawing; false for a line without a hit. The match
    // column is taken in the shown text's own coordinates (tabs expanded, line
    // end dropped) and clamped to it.
    static bool LinePieces(const AnsiString& text, TObject* object, TResultLinePieces& pieces);
    // The shown form of a line as read: line end dropped, tabs expanded to 8
    // columns, other control bytes as blanks; column maps a byte offset of the
    // line into it.
    static AnsiString ShownLine(const AnsiString& line, int byteOffset, int& column);
    // A logical point, byte offset and length: selects the hit in the editor
    // (across folds), puts the caret at its start and shows it.
    static void SelectHit(nsRichEdit* editor, TPoint logicalStart, int byteLength);
    // The logical point of byte offset in paragraph (line from 1) of an editor's
    // text; x is -1 when the text has fewer paragraphs.
    static TPoint ParagraphPoint(nsRichEdit* editor, int lineNo, int byteOffset);
    // The logical point of a file-search hit in an editor holding its file; x is
    // -1 when the text has no such line.
    static TPoint GrepHitPoint(nsRichEdit* editor, const typGrepInf& hit);

    // The worker's OnFileFind: lists the hit, taking its contents.
    void GrepFileFound(TObject* sender, typGrepInf* hit);

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void SrchResListBoxDblClick(TObject* sender);
    void SrchResListBoxKeyPress(TObject* sender, char& key);
    void SrchResListBoxDrawItem(TWinControl* control, int index, const TRect& rect, TOwnerDrawState state);
    void PageControlDrawTab(TPageControl* control, int tabIndex, const TRect& rect, bool active);
    // Copy the selected line, or every line, as text.
    void CompMesCopyMenuClick(TObject* sender);
    void CopyAllMenuClick(TObject* sender);

protected:
    void CreateParams(TCreateParams& params) override;
    void Dispatch(TMessage& message) override;

private:
    void AddGrepLine(std::unique_ptr<typGrepInf> hit);
    int updates_ = 0;
};

extern TMessageForm* MessageForm;
