// The main window: tab pages each holding one editor, the File menu, the tool bar, the status bar,
// the docking panel for the search-results window, and opening, saving and closing documents.
//
// No page open is a normal state (a missing command-line file, every page closed): Edit() is then
// null, and every command and timer handler tests for that first.
#pragma once

#include <memory>
#include <vector>

#include "main_window/PageEditor.h"
#include "main_window/WallpaperLoader.h"
#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/Menus.h"

class nsPanel;
class TButton;
class TEdit;
class typGrepProc;
class TThemeManager;
class TStrings;
class TStringList;

// The program's name in captions and message boxes.
extern const char* const kProgramCaption; // "Varnolet for Windows"

// The emphasized strings of the file's extension on the editor (none when it has no entry).
void FindEmphasisForFile(TPageEditor* editor, const AnsiString& path);

class TMainForm : public TForm, public TEditSettingTarget
{
public:
    explicit TMainForm(TComponent* owner);
    ~TMainForm() override;

    // ---- components ----
    TMainMenu* MainMenu = nullptr;
    TStatusBar* StatusBar = nullptr;
    TToolBar* ToolBar = nullptr;
    TPanel* MainPanel = nullptr;
    TPanel* SrchPanel = nullptr;
    TPageControl* MainPageCtrl = nullptr;
    TOpenDialog* OpenDialog = nullptr;
    TSaveDialog* SaveDialog = nullptr;
    TPopupMenu* PagePopupMenu = nullptr;
    TPopupMenu* PopupMenu = nullptr; // the context menu of every editor page
    TPopupMenu* OpenFilePopupMenu = nullptr;

    TToolButton* NewToolButton = nullptr;
    TToolButton* OpenFileSettingToolButton = nullptr;
    TToolButton* SaveToolButton = nullptr;
    TToolButton* PrintToolButton = nullptr;
    TToolButton* MailToolButton = nullptr;
    TToolButton* UndoToolButton = nullptr;
    TToolButton* CutToolButton = nullptr;
    TToolButton* CopyToolButton = nullptr;
    TToolButton* PasteToolButton = nullptr;
    TToolButton* SrchToolButton = nullptr;
    TToolButton* NextSrchToolButton = nullptr;
    TToolButton* PrevSrchToolButton = nullptr;
    TToolButton* GrepToolButton = nullptr;
    TToolButton* CalcToolButton = nullptr;
    TToolButton* CommandToolButton = nullptr;
    TToolButton* LockToolButton = nullptr;
    TToolButton* TransparentToolButton = nullptr;

    TMenuItem* FileMenu = nullptr;
    TMenuItem* NewFileMenu = nullptr;
    TMenuItem* OpenFileMenu = nullptr;
    TMenuItem* ReopenMenu = nullptr;
    TMenuItem* RP[5] = {};
    TMenuItem* OverWriteMenu = nullptr;
    TMenuItem* SaveMenu = nullptr;
    TMenuItem* PageCloseMenu = nullptr;
    TMenuItem* EndMenu = nullptr;
    TMenuItem* PageClosepMenu = nullptr;
    TMenuItem* AllCloseMenu = nullptr;
    TMenuItem* PRP[5] = {};

    // The command line's file (the whole line after the program as one name); set at construction,
    // read when the window is first shown.
    AnsiString CommandLineFile;
    // Start-up waits until this long after reading the settings before it brings the window forward.
    unsigned MinStartupMs = 1000;
    // The registry key the window's settings are read from and written to (tests use their own).
    AnsiString SettingsKey = VN::kRegistryKey;

    // ---- pages ----
    // The editor of the active page, or null when no page is open.
    TPageEditor* Edit() const;
    TPageEditor* GetActiveEdit() const { return Edit(); }
    // Null unless sheet is one of MainPageCtrl's pages; else the sheet's editor (or null).
    TPageEditor* GetPageEditor(TTabSheet* sheet) const;
    bool IsPage(const TTabSheet* sheet) const;
    // Page switches whose deferred finish has run (for tests waiting on it).
    int PageSwitchesFinished() const { return pageSwitchesFinished_; }
    // The recent files, newest first, at most five.
    const std::vector<AnsiString>& History() const { return history_; }
    void AddToHistory(const AnsiString& path);
    HWND MHANDLE() { return Handle(); }

    // A page change in code that runs the same switch logic as a click.
    void SetActivePage(TTabSheet* sheet);
    // Tab, window and task-bar captions of the sheet (null: the active page).
    void UpdateCaption(TTabSheet* sheet = nullptr);
    // Buttons that need a page are enabled exactly when one is open.
    void RefreshUiState();
    // Status bar and tab caption from the active editor.
    void EditStatusChange(TObject* sender);
    // The stored editor settings again on every page's editor (after the settings changed).
    void ApplySettingsToAllEditors();

    // ---- wallpaper (MainFrm_Wallpaper.cpp) ----
    // One picture, or a picture drawn at random from a folder every interval; only the active
    // page's editor holds it.
    TTimer* WPTimer = nullptr;
    bool WallpaperFolderMode = false;
    AnsiString WallpaperFile;
    AnsiString WallpaperFolder;
    std::vector<AnsiString> WallpaperList; // full paths
    AnsiString CurrentWallpaper;
    // The WALLPAPER section into the values above.
    void ReadWallpaper();
    void WriteWallpaper();
    // (Re)starts the wallpaper from the values above.
    void LoadWallpaperSettings();
    // Draws the next picture; it is loaded away from the window and shown once ready.
    void WPTimerTimer(TObject* sender);
    // Gives the editor the current picture: at once when it shows it already, else once loaded.
    void ApplyWallpaperToEditor(TPageEditor* editor);
    // The page switch: the picture moves from the page left to the page entered.
    void MoveWallpaper(TPageEditor* from, TPageEditor* to);
    // Waits until the picture asked for is shown or refused (tests and benchmarks).
    void WaitForWallpaper();
    int GetWallpaperMinutes() const;
    int GetWallpaperSeconds() const;
    // Clamped to 1 second .. 59 minutes 59 seconds.
    void SetWallpaperInterval(int minutes, int seconds);
    // Gives the wallpaper dialog (when it exists) the window's values and what to do with its result.
    void AttachWallpaperWindow();

    // ---- documents ----
    // The page showing the file (one already open under any spelling of its path, or a new one);
    // null when the dialog was cancelled or the file could not be opened. An empty path asks.
    // remember: the file goes to the head of the recent files.
    TTabSheet* OpenFile(const AnsiString& path, bool remember = true);
    TTabSheet* NewPage(const AnsiString& caption);
    // Closes a page, offering to save an edited one when asked; false when the page stays (Cancel,
    // a cancelled Save As, a failed save).
    bool ClosePage(TTabSheet* sheet, bool askSave);
    // Save As for the active page; false when cancelled.
    bool SaveFileAs();
    void OnEditFileDrop(TObject* sender, TStrings* files);
    // With "前回終了時の状態を再現する" on, the files open at the last exit come back in their tab
    // order with the page that was active; then the command line's file (else an untitled page).
    void RestoreReopenListAndCommandLine();
    // The recent files from the store (start-up).
    void ReadHistory();
    // The open files' paths in tab order, the active one, and the restore option, at exit.
    void WriteReopenList();
    // Window bounds, maximised state, status bar and the kept bottom dock height: applied at
    // start-up, stored at exit.
    void ReadWindowLayout();
    void WriteWindowLayout();
    // The results window to its stored place (docked or floating, shown or not), and its place now
    // (without a results window: what was stored).
    void PlaceResultsWindow(const VN::typDockMessage& dock);
    VN::typDockMessage ResultsWindowPlace(const VN::typDockMessage& stored);
    // Offers to reload the active document when the file on disk is newer than what was loaded
    // (silent: reload without asking). One question at a time.
    void CheckFileChangedOnDisk(bool silent);

    // ---- docking panel of the search-results window ----
    // The panel takes room only while a window is shown docked in it; collapsed it is 0 high.
    // Over a docked window lies a bar with its caption and the close button; dragging the bar
    // out of the panel floats the window.
    TPanel* SrchDockBar = nullptr;
    TButton* SrchResCloseBtn = nullptr;
    void RestoreSrchPanelHeight(TControl* control);
    void CollapseSrchPanel();
    void SrchResCloseBtnClick(TObject* sender);
    // Whether a window let go at the screen point docks into SrchPanel; dockRect gets the room it
    // would take (the panel, or for a collapsed panel the height it had when a window last left).
    bool SrchPanelDockOver(TPoint screenPoint, TRect& dockRect);
    // Docks a floating form let go at the screen point when SrchPanelDockOver accepts it.
    bool DockFormAt(TCustomForm* form, TPoint screenPoint);
    // Floats the docked window with its top-left at the screen point.
    void SrchDockBarDragOut(TObject* sender, TPoint screenPoint);
    // Which strip of the control's client area the screen point lies in; rect gets that half (the
    // whole area for the centre), in screen coordinates.
    static bool DockZoneAt(TControl* control, TRect& rect, TPoint point);

    // ---- file search and results ----
    TMenuItem* FileSrchMenu = nullptr;
    // The running file-search worker, null when none (one at a time).
    typGrepProc* GrepProc = nullptr;
    // The results, file-search and progress windows meet the main window: the results window
    // docks into SrchPanel and reaches pages through the main window; the menu item and the tool
    // button start the file search. Called once after every window exists.
    void AttachSearchWindows();
    // The settings dialogs reach the pages through the main window (MainFrm_Settings.cpp).
    void AttachSettingsDialogs();
    void HandEmphasisWord(const AnsiString& word);
    void AttachPrintWindow();
    // The first page whose editor shows path (any spelling of the name's case), or null.
    TTabSheet* FindPageByFileName(const AnsiString& path) const;
    void FileSrchMenuClick(TObject* sender);
    // Stops a running file search and waits for its worker.
    void StopGrep();

    // ---- find and replace ----
    TMenuItem* SearchMenu = nullptr;
    TMenuItem* SrchMenu = nullptr;
    TMenuItem* PrevSrchMenu = nullptr;
    TMenuItem* NextSrchMenu = nullptr;
    TMenuItem* ReplaceMenu = nullptr;
    TMenuItem* AllSrchCurrentFileMenu = nullptr;
    TMenuItem* AllSrchAllOpenFilesMenu = nullptr;
    void SearchMenuClick(TObject* sender);
    void SrchMenuClick(TObject* sender);
    void NextSrchMenuClick(TObject* sender);
    void PrevSrchMenuClick(TObject* sender);
    void ReplaceMenuClick(TObject* sender);
    void AllSrchCurrentFileMenuClick(TObject* sender);
    void AllSrchAllOpenFilesMenuClick(TObject* sender);
    TMenuItem* DispMenu = nullptr;
    TMenuItem* MessageWindowViewMenu = nullptr;
    void DispMenuClick(TObject* sender);
    void MessageWindowViewMenuClick(TObject* sender);
    // The batch search of text in the active page or every page (the tool bar's search field).
    void RunBatchSearch(const AnsiString& text, bool allPages);
    TEdit* SrchEdit = nullptr;
    void SrchEditKeyDown(TObject* sender, WORD& key, TShiftState shift);
    void SrchEditKeyPress(TObject* sender, char& key);
    // ---- end of find and replace ----

    // ---- edit, view, tools and help commands ----
    // The commands that need a page test for one; their items are disabled without one.
    TPopupMenu* CommandPopupMenu = nullptr;
    TMenuItem* PrintMenu = nullptr;
    TMenuItem* MailMenu = nullptr;
    TMenuItem* EditMenus = nullptr;
    TMenuItem* UndoMenu = nullptr;
    TMenuItem* RedoMenu = nullptr;
    TMenuItem* StringConvertMenu = nullptr;
    TMenuItem* UnicodeCovertMenu = nullptr;
    TMenuItem* ISOLathin11 = nullptr;
    TMenuItem* JumpRowMenu = nullptr;
    TMenuItem* FileFolderMenu = nullptr;
    TMenuItem* StatusBarMenu = nullptr;
    TMenuItem* ToolMenu = nullptr;
    TMenuItem* ComExecMenu = nullptr;
    TMenuItem* TransparentMenu = nullptr;
    TMenuItem* ChrConvertPopMenu = nullptr;
    TMenuItem* CE[3] = {};
    TMenuItem* PCE[3] = {};
    // The three external command lines (read when the Tools menu or the command drop-down opens)
    // and whether the document is saved before one runs.
    std::vector<AnsiString> Commands;
    bool SaveBeforeCommand = false;
    void EditMenusClick(TObject* sender);
    void UndoMenuClick(TObject* sender);
    void RedoMenuClick(TObject* sender);
    void CutMenuClick(TObject* sender);
    void CopyMenuClick(TObject* sender);
    void PasteMenuClick(TObject* sender);
    void DeleteMenuClick(TObject* sender);
    void SelectAllMenuClick(TObject* sender);
    void OneLineSelMenuClick(TObject* sender);
    void ImeRecovertMenuClick(TObject* sender);
    void IndentMenuClick(TObject* sender);
    void UnIndentMenuClick(TObject* sender);
    void InsertStrToRowHeadMainMenuClick(TObject* sender);
    void InsertStrToEndOfRowMainMenuClick(TObject* sender);
    void ToUpperMenuClick(TObject* sender);
    void ToLowerMenuClick(TObject* sender);
    void ToSUMenuClick(TObject* sender);
    void ToZenMenuClick(TObject* sender);
    void ToHanMenuClick(TObject* sender);
    void SJISToUniESCMenuClick(TObject* sender);
    void UniESCToSJISMenuClick(TObject* sender);
    void SJISToLathinMenuClick(TObject* sender);
    void LathinToSJISMenuClick(TObject* sender);
    void NextBookmarkMenuClick(TObject* sender);
    void PrevBookmarkMenuClick(TObject* sender);
    void InsertDateMenuClick(TObject* sender);
    void InsertTimeMenuClick(TObject* sender);
    void CalcMenuClick(TObject* sender);
    void PrintMenuClick(TObject* sender);
    void MailMenuClick(TObject* sender);
    void JumpRowMenuClick(TObject* sender);
    void FileFolderMenuClick(TObject* sender);
    void CmdMenuClick(TObject* sender);
    void StatusBarMenuClick(TObject* sender);
    void ToolMenuClick(TObject* sender);
    void EditSettingMenuClick(TObject* sender);
    void WallPaperMenuClick(TObject* sender);
    void EmphMenuClick(TObject* sender);
    void EditLockSettingMenuClick(TObject* sender);
    void SetShortCutKeyMenuClick(TObject* sender);
    void ComSetMenuClick(TObject* sender);
    void CEClick(TObject* sender);
    void TransparentMenuClick(TObject* sender);
    void LockToolButtonClick(TObject* sender);
    void HelpMenuClick(TObject* sender);
    void HelpDispMenuClick(TObject* sender);
    void OrvaneMenuClick(TObject* sender);
    void WexmoorSupportPageMenuClick(TObject* sender);
    void ProductInfoMenuClick(TObject* sender);
    void AskMenuClick(TObject* sender);
    void VerInfMenuClick(TObject* sender);
    void PopupMenuPopup(TObject* sender);
    void AddEmphStrMenuClick(TObject* sender);
    void CommandPopupMenuPopup(TObject* sender);
    // ---- external commands, mail, shell links and the tool windows ----
    // Replaces the first macro in text by value; false when text holds no macro.
    static bool ReplaceFirst(AnsiString& text, const AnsiString& macro, const AnsiString& value);
    // Runs a command line on the active page ("%F": its file), saving first when asked; false when
    // nothing ran (the reason has been shown).
    bool RunCommand(const AnsiString& command);
    void OpenAddress(const char* address);
    // The tool windows reach the page and the menu through the main window. Called once after
    // every window exists.
    void AttachToolWindows();
    // A window of the program by name (null when it does not exist), and showing it.
    TCustomForm* ProgramForm(const char* name) const;
    void ShowProgramForm(const char* name, bool modal);

    // ---- edit lock and transparency ----
    // While locked the pages are hidden, every menu item and the tool bar are disabled, the other
    // windows are hidden, nothing opens and the window does not close; the unlock dialog comes up
    // whenever the program is activated. The lock is refused unless the password can be read.
    bool Locked() const { return locked_; }
    void ToggleEditLock();
    void UnlockEditor();
    void AppEventsActivate(TObject* sender);
    // The jump and lock dialogs meet the main window. Called once after every window exists.
    void AttachLockWindows();
    // The window's alpha value from the settings.
    void ApplyEditSetting(const VN::typEditSetting& setting) override;

    // ---- handlers ----
    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormActivate(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void FormClose(TObject* sender, TCloseAction& action);
    void MainPageCtrlChanging(TObject* sender, bool& allowChange);
    void MainPageCtrlChange(TObject* sender);
    void MainPageCtrlMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void MainPageCtrlMouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void MainPageCtrlContextPopup(TObject* sender, TPoint mousePos, bool& handled);
    void MainPageCtrlDragOver(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept);
    void MainPageCtrlDragDrop(TObject* sender, TObject* source, int x, int y);
    void MainPageCtrlDrawTab(TPageControl* control, int tabIndex, const TRect& rect, bool active);
    void SrchPanelDockDrop(TObject* sender, TDragDockObject* source, int x, int y);
    void SrchPanelUnDock(TObject* sender, TControl* client, TWinControl* newTarget, bool& allow);
    void FileMenuClick(TObject* sender);
    void NewFileMenuClick(TObject* sender);
    void OpenFileMenuClick(TObject* sender);
    void RPMenuClick(TObject* sender);
    void OverWriteMenuClick(TObject* sender);
    void SaveMenuClick(TObject* sender);
    void PageClosepMenuClick(TObject* sender);
    void AllCloseMenuClick(TObject* sender);
    void EndMenuClick(TObject* sender);

    // ---- visual styles ----
    // Paints the standard controls of every window with the desktop's visual style.
    TThemeManager* ThemeManager = nullptr;
    void BuildThemeManager();

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildFindReplace(); // ---- find and replace ----
    void BuildEditMenus();
    bool SrchEditFocused() const;
    // Hands msg to the search field when it has the focus; true when it did.
    bool SendToSrchEdit(UINT msg);
    // The page the indent commands change; from the search field they only give the page the focus.
    TPageEditor* IndentTarget();
    // Replaces the active page's selection with convert(selection), keeping the bookmarks on their
    // paragraphs.
    void ConvertSelection(AnsiString (*convert)(const AnsiString&));
    void InsertIntoRows(bool atHead);
    void BatchSearchSelection(bool allPages);
    void BuildPanels();
    void PageSwitchFinish(TObject* sender);
    void CloseUntitledUneditedPages(TTabSheet* keep);
    // The open dialog starts in the folder of the active page's file (else of the newest recent file).
    void PrepareOpenDialog();
    // Makes the page active and lets its switch finish, so that it is on screen and captioned before
    // a box asks about it.
    void ShowPageNow(TTabSheet* page);
    // The pages other than except's whose editor shows path (any case).
    std::vector<TTabSheet*> PagesShowing(const AnsiString& path, TPageEditor* except) const;
    // Writes the sheet's editor to its path, or through Save As when untitled; false when cancelled
    // or failed (the failure has been shown).
    bool SavePage(TTabSheet* sheet);
    void ShowEditor(TTabSheet* sheet);
    // Writes the editor to path; false when the user declined or the save failed (the failure has
    // been shown). The text counts as saved only after a write that succeeded.
    bool SaveEditorTo(TPageEditor* editor, const AnsiString& path);
    // Loads path into the editor and tells of a shared open or a load that stopped at a NUL byte.
    void LoadEditor(TPageEditor* editor, const AnsiString& path, TConvMode mode);
    void EditFileDrop(TObject* sender, TStringList* files);
    void EditEnter(TObject* sender);
    void EditLeftAreaClick(TObject* sender, int x, int y, int row);
    void EditCtrlTab(TObject* sender);

    std::vector<AnsiString> history_;
    HWND ownHandle_ = nullptr;
    bool oleInitialized_ = false;
    bool shown_ = false;
    DWORD lastTabPress_ = 0;
    int pageSwitchesFinished_ = 0;
    TTabSheet* newPage_ = nullptr; // the page being entered and the one left, during a switch
    TTabSheet* oldPage_ = nullptr;
    bool startupFinished_ = false;
    nsPanel* dropPanel_ = nullptr;
    bool pageEdited_ = false;
    bool diskQuestionOpen_ = false; // the changed-on-disk question is on screen
    int askingPages_ = 0;           // pages are being asked about or saved (closing, saving)
    int srchPanelCollapsedHeight_ = 100; // height kept while the results panel is collapsed
    int srchPanelUndockHeight_ = 100;    // height kept when the last docked window leaves
    bool locked_ = false;
    HANDLE saverProcess_ = nullptr;              // the screen saver shown while locked
    AnsiString lockPassword_;                    // as read when the lock started
    std::vector<TCustomForm*> hiddenByLock_;     // windows the lock hid, shown again after it
    void* boxOwnerBeforeLock_ = nullptr;
    bool srchPanelShownBeforeLock_ = true;
    std::vector<std::pair<TControl*, bool>> toolStatesBeforeLock_; // each tool bar control's own state
    // ---- wallpaper loading (MainFrm_Wallpaper.cpp) ----
    void RequestWallpaper(size_t first);
    void WallpaperLoaded(typWallpaperResult& result);
    void StopWallpaperLoader();
    std::unique_ptr<TWallpaperLoader> wallpaperLoader_;
    std::vector<bool> wallpaperFailed_; // entries of WallpaperList known not to load
    unsigned wallpaperTag_ = 0;         // changes with the settings: results for older ones are dropped
    bool wallpaperPending_ = false;     // asked for while the loader was busy
    bool wallpaperFailureTold_ = false;
};

extern TMainForm* MainForm;

// The whole command line after the program's name, as one file name (quotes removed).
AnsiString CommandLineFileName(const wchar_t* commandLine);
// A path as the file system knows it: full (relative names and "..\" resolved against the current
// folder) and in long form when the file exists. A name too long for Windows comes back as it is.
AnsiString NormalizePath(const AnsiString& path);
// Whether the path's last part is a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9), whatever its case, extension or trailing blanks: such a name is no file.
bool IsDeviceName(const AnsiString& path);
// A path or command line as a menu caption: "&" doubled, so it shows and marks no letter.
AnsiString MenuCaptionOf(const AnsiString& text);
// Text cut to at most maxBytes bytes, never inside a double-byte character.
AnsiString CutOnCharacter(const AnsiString& text, int maxBytes);
