// The main window's documents: opening into tab pages, new pages, saving, closing with the offer to
// save, the close query of the window, dropped files, the command line and the recent files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include <windows.h>

#include "common/English.h"
#include "common/Nsenumwindows.h"
#include "common/WexmoorDef.h"
#include "main_window/MainFrm.h"
#include "platform/Classes.h"
#include "platform/ExtCtrls.h"
#include "search/MessageFrm.h"
#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
constexpr int kHistoryLength = 5;
// More pages than this and a drop stops opening files.
constexpr int kDropPageLimit = 64;
// A floating window smaller than this is a damaged record, not a size to show.
constexpr int kMinFloatSize = 16;

const char* const kUntitled = "無題";
constexpr double kSameFileTime = 0.5 / 86400.0; // half a second, in days
// Both sides of a save's comparison come from the same clock through milliseconds.
constexpr double kSameWriteTime = 0.001 / 86400.0;

// Save As offers these rows; a name without an extension gets its row's extension.
struct typSaveFilter
{
    const char* description;
    const char* pattern;
    const char* extension;
};
const typSaveFilter kSaveFilters[] = {
    {"全てのファイル(*.*)", "*.*", ""},
};

DWORD Attributes(const AnsiString& path)
{
    return GetFileAttributesW(WideFilePath(path).c_str());
}

bool IsFile(const AnsiString& path)
{
    DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// What the file on disk shows of its state: its last-write time, its size and what no writer can
// put back.
struct typDiskStamp
{
    TDateTime time;
    int64_t length = 0;
    typFileIdentity identity;
};

// Read through a handle that lets every other program go on (an open handle knows a write another
// program has not closed yet); false when the file cannot be opened or its date is impossible.
bool DiskFileStamp(const AnsiString& path, typDiskStamp& stamp)
{
    HANDLE h = CreateFileW(WideFilePath(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written{};
    LARGE_INTEGER size{};
    const bool read = GetFileTime(h, nullptr, nullptr, &written) && GetFileSizeEx(h, &size);
    if (read)
        stamp.identity = ReadFileIdentity(h);
    CloseHandle(h);
    if (!read)
        return false;
    try
    {
        stamp.time = FileTimeToDateTime(written);
    }
    catch (const std::exception&)
    {
        return false;
    }
    stamp.length = size.QuadPart;
    return true;
}

// Written since the editor last read or wrote it, whatever time the writer put back: another
// size, another change time, or another file in its place.
bool RewrittenSince(TPageEditor* editor, const typDiskStamp& disk)
{
    return (editor->GetFileLength() >= 0 && disk.length != editor->GetFileLength()) ||
           !SameFileIdentity(editor->GetFileIdentity(), disk.identity);
}

// Whether the file on disk is no longer what the editor last read or wrote. A file that is gone or
// cannot be looked at gives nothing to keep.
bool ChangedSinceReadOrWritten(TPageEditor* editor, const AnsiString& path)
{
    typDiskStamp disk;
    if (!DiskFileStamp(path, disk))
        return false;
    return std::fabs(double(disk.time) - double(editor->GetFileDate())) >= kSameWriteTime ||
           RewrittenSince(editor, disk);
}

// Counts itself in while it lives: the pages are being asked about or saved.
class TAskingPages
{
public:
    explicit TAskingPages(int& count) : count_(count) { ++count_; }
    ~TAskingPages() { --count_; }
    TAskingPages(const TAskingPages&) = delete;
    TAskingPages& operator=(const TAskingPages&) = delete;

private:
    int& count_;
};

// Asks whether to save an edited page before it goes: baYes, baNo or baCancel.
TBoxAnswer AskSaveBeforeClosing(const AnsiString& path)
{
    if (path.IsEmpty())
        return YesNoCancelBox("%s", msgUntitledChanged);
    return YesNoCancelBox(msgFileChanged, path.c_str());
}

// Windows takes at most this many characters in a whole path (in its "\\?\" form, with the
// terminator) and in one folder or file name. Longer names go to no file function: some crash on
// them.
constexpr size_t kLongestPath = 32767 - 4 - 1;
constexpr size_t kLongestComponent = 255;

bool NameTooLong(const std::wstring& name)
{
    if (name.size() > kLongestPath)
        return true;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i)
        if (i == name.size() || name[i] == L'\\' || name[i] == L'/')
        {
            if (i - start > kLongestComponent)
                return true;
            start = i + 1;
        }
    return false;
}

bool NameTooLong(const AnsiString& name) { return NameTooLong(SjisToWide(name)); }

// Tells that the name is too long, showing its length and its two ends: the box names the file
// without growing to the name's size.
void ShowNameTooLong(const char* format, const AnsiString& name)
{
    ErrorBox(format, IntToStr(int(SjisToWide(name).size())).c_str(), NameForBox(name).c_str());
}

// The long form of a full path past MAX_PATH, found by listing each short ("~") name's folder:
// GetLongPathNameW cannot be given such a path (it overruns its own buffers under Wine).
std::wstring LongFormByListing(const std::wstring& full)
{
    size_t root = full.compare(0, 2, L"\\\\") == 0 ? full.find(L'\\', full.find(L'\\', 2) + 1) : 2;
    if (root == std::wstring::npos || root >= full.size())
        return full;
    std::wstring out = full.substr(0, root);
    size_t i = root;
    while (i < full.size())
    {
        size_t end = full.find(L'\\', i + 1);
        if (end == std::wstring::npos)
            end = full.size();
        std::wstring part = full.substr(i, end - i); // with its leading backslash
        if (part.find(L'~') != std::wstring::npos && part.find_first_of(L"*?") == std::wstring::npos)
        {
            WIN32_FIND_DATAW fd;
            HANDLE h = FindFirstFileW(WideFilePath(out + part).c_str(), &fd);
            if (h == INVALID_HANDLE_VALUE)
                return out + full.substr(i); // the rest does not exist yet
            FindClose(h);
            part = L"\\" + std::wstring(fd.cFileName);
        }
        out += part;
        i = end;
    }
    return out;
}

// Why a load or a save failed, for a box: called inside a catch block. A bare C++ exception name
// is never shown.
AnsiString FailureReason()
{
    try
    {
        throw;
    }
    catch (const std::bad_alloc&)
    {
        return msgOutOfMemory;
    }
    catch (const EOutOfMemory&)
    {
        return msgOutOfMemory;
    }
    catch (const Exception& e)
    {
        return e.Message.IsEmpty() ? AnsiString(msgUnexpectedError) : e.Message;
    }
    catch (...)
    {
        return msgUnexpectedError;
    }
}

// Whether the exception being handled is the page's "could not be opened" (called inside a catch).
bool IsOpenError()
{
    try
    {
        throw;
    }
    catch (const EFOpenError&)
    {
        return true;
    }
    catch (...)
    {
        return false;
    }
}

// What a load that stopped at a NUL byte left out: the bytes from the NUL to the end of the file,
// and whether the file looks like UTF-16 (which this editor reads as text cut at its first NUL).
struct typNulCut
{
    int64_t bytesLeftOut = 0;
    bool utf16 = false;
};

typNulCut DescribeNulCut(const AnsiString& path, int64_t nulOffset)
{
    typNulCut cut;
    HANDLE h = CreateFileW(WideFilePath(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return cut;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size))
        cut.bytesLeftOut = std::max<int64_t>(0, size.QuadPart - std::max<int64_t>(0, nulOffset));
    std::vector<unsigned char> head(65536);
    DWORD got = 0;
    if (!ReadFile(h, head.data(), DWORD(head.size()), &got, nullptr))
        got = 0;
    CloseHandle(h);
    if (got >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        cut.utf16 = true;
    else
    {
        // UTF-16 text puts its NUL bytes on one side of each pair (the high byte of ASCII
        // characters and line ends); a file of even length with several NULs, all on one side.
        int nuls[2] = {0, 0};
        for (DWORD i = 0; i < got; ++i)
            if (head[i] == 0)
                ++nuls[i & 1];
        cut.utf16 = size.QuadPart % 2 == 0 && nuls[0] + nuls[1] >= 2 && (nuls[0] == 0 || nuls[1] == 0);
    }
    return cut;
}
} // namespace

// The emphasized strings of the file's extension (read at start-up), on the editor; none when the
// extension has no entry.
void FindEmphasisForFile(TPageEditor* editor, const AnsiString& path)
{
    if (!editor)
        return;
    const VN::typEmphItem* item = FindEmphasis(VN::EmphasisList, path);
    const AnsiString words = item ? NsStringToAnsi(item->words) : AnsiString();
    editor->Keywords()->SetText(words);
}

AnsiString CommandLineFileName(const wchar_t* commandLine)
{
    if (!commandLine)
        return AnsiString();
    const wchar_t* p = commandLine;
    while (*p == L' ' || *p == L'\t')
        ++p;
    // Skip the program's own name, quoted or not.
    if (*p == L'"')
    {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    }
    else
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    std::wstring rest(p);
    size_t b = rest.find_first_not_of(L" \t");
    size_t e = rest.find_last_not_of(L" \t");
    if (b == std::wstring::npos)
        return AnsiString();
    rest = rest.substr(b, e - b + 1);
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"')
        rest = rest.substr(1, rest.size() - 2);
    return WideToSjis(rest);
}

AnsiString NormalizePath(const AnsiString& path)
{
    if (path.IsEmpty() || NameTooLong(path))
        return path;
    std::wstring full;
    if (!FullPathName(SjisToWide(path), full))
        return path;
    if (NameTooLong(full))
        return WideToSjis(full);
    if (full.size() >= MAX_PATH)
        return WideToSjis(LongFormByListing(full));
    DWORD m = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (m > 0)
    {
        std::wstring longForm(m, L'\0');
        m = GetLongPathNameW(full.c_str(), longForm.data(), m);
        if (m > 0 && m < longForm.size())
        {
            longForm.resize(m);
            full = longForm;
        }
    }
    return WideToSjis(full);
}

bool IsDeviceName(const AnsiString& path)
{
    // Windows reads "con.txt" or "nul ." as the device itself: only the part before the first dot
    // counts, without trailing blanks.
    AnsiString name = ExtractFileName(path);
    if (int dot = name.Pos("."); dot > 0)
        name = name.SubString(1, dot - 1);
    name = UpperCase(TrimRight(name));
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (name == device)
            return true;
    const AnsiString kind = name.SubString(1, 3);
    return name.Length() == 4 && (kind == "COM" || kind == "LPT") && name[4] >= '1' && name[4] <= '9';
}

// ---------------------------------------------------------------------------------------------

TTabSheet* TMainForm::OpenFile(const AnsiString& name, bool remember)
{
    if (locked_)
        return nullptr; // every way in (drops, history, the open dialog) ends here
    AnsiString path = name;
    if (path.IsEmpty())
    {
        PrepareOpenDialog();
        if (!OpenDialog->Execute())
            return nullptr;
        path = OpenDialog->FileName();
    }
    // One spelling per file: full, long form, so "x\..\a.txt" or a relative name finds its page.
    if (!NameTooLong(path))
        path = NormalizePath(path);
    if (NameTooLong(path))
    {
        ShowNameTooLong(msgNameTooLong, path);
        return nullptr;
    }
    if (!IsFile(path) || IsDeviceName(path))
        return nullptr;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
    {
        TTabSheet* page = MainPageCtrl->Pages(i);
        TPageEditor* editor = GetPageEditor(page);
        if (editor && AnsiSameText(editor->EditFilePath, path))
        {
            SetActivePage(page);
            return page;
        }
    }
    TTabSheet* previous = MainPageCtrl->ActivePage();
    if (Attributes(path) & FILE_ATTRIBUTE_READONLY)
        WarningBox(msgWriteProtected, path.c_str());

    TTabSheet* page = NewPage("");
    TPageEditor* editor = GetPageEditor(page);
    try
    {
        LoadEditor(editor, path, TConvMode{cmFoldLine});
    }
    catch (...)
    {
        // A read that failed halfway leaves no half-loaded page behind.
        AnsiString reason = FailureReason();
        bool notOpened = IsOpenError();
        ClosePage(page, false);
        if (IsPage(previous))
            SetActivePage(previous);
        if (notOpened)
            ErrorBox(msgOpenFailed, path.c_str());
        else
            ErrorBox(msgOpenFailedBecause, path.c_str(), reason.c_str());
        return nullptr;
    }
    if (remember)
        AddToHistory(path);
    UpdateCaption(page);
    MainPageCtrl->Show();
    SetActivePage(page);
    FindEmphasisForFile(editor, path);
    ShowEditor(page);
    RefreshUiState();
    editor->AddWordChar('_');
    return page;
}

void TMainForm::LoadEditor(TPageEditor* editor, const AnsiString& path, TConvMode mode)
{
    typOpenStatus status = editor->LoadFile(path, mode);
    if (status == osShared)
        WarningBox(msgFileLocked, path.c_str());
    if (editor->LoadTruncation().Truncated)
    {
        typNulCut cut = DescribeNulCut(path, editor->LoadTruncation().ByteOffset);
        WarningBox(cut.utf16 ? msgTruncatedUtf16 : msgTruncatedAtNul, path.c_str(),
                   IntToStr(cut.bytesLeftOut).c_str());
    }
}

TTabSheet* TMainForm::NewPage(const AnsiString& caption)
{
    MainPageCtrl->Show();
    auto* sheet = Create<TTabSheet>(MainPageCtrl);
    sheet->SetCaption(caption.IsEmpty() ? AnsiString(kUntitled) : caption);
    sheet->SetPageControl(MainPageCtrl);
    TPageEditor* editor = CreatePageEditor(sheet);
    editor->OnFileDrop = TFileDropEvent(this, &TMainForm::EditFileDrop);
    editor->OnStatusChange = TNotifyEvent(this, &TMainForm::EditStatusChange);
    editor->OnEnter = TNotifyEvent(this, &TMainForm::EditEnter);
    editor->OnLeftAreaClick = TLeftAreaClickEvent(this, &TMainForm::EditLeftAreaClick);
    editor->OnCtrlTabDown = TNotifyEvent(this, &TMainForm::EditCtrlTab);
    editor->PopupMenu = PopupMenu;
    editor->SetTopMgn(0);
    editor->SetDefWrapPos(80);
    TFont font;
    font.Assign(*editor->Font());
    font.SetSize(10);
    editor->SetFont(&font);
    editor->SetKeyWordStyle(TFontStyles());
    LoadEditSetting(editor);
    return sheet;
}

bool TMainForm::SavePage(TTabSheet* sheet)
{
    TPageEditor* editor = GetPageEditor(sheet);
    if (!editor)
        return true;
    if (editor->EditFilePath.IsEmpty())
    {
        SetActivePage(sheet);
        return SaveFileAs();
    }
    if (!SaveEditorTo(editor, editor->EditFilePath))
        return false;
    UpdateCaption(sheet);
    return true;
}

bool TMainForm::SaveEditorTo(TPageEditor* editor, const AnsiString& path)
{
    TAskingPages asking(askingPages_);
    // Another program wrote the file after it was read or saved here: overwriting its text is asked,
    // with No as the answer Enter gives.
    if (AnsiSameText(path, editor->EditFilePath) && ChangedSinceReadOrWritten(editor, path) &&
        YesNoBox(bdNo, msgOverwriteChangedOnDisk, path.c_str()) != baYes)
        return false;
    // Writing back a text that stopped at a NUL byte would drop the rest of the file: asked, with
    // No as the answer Enter gives.
    if (editor->LoadTruncation().Truncated && AnsiSameText(path, editor->EditFilePath))
    {
        typNulCut cut = DescribeNulCut(path, editor->LoadTruncation().ByteOffset);
        if (YesNoBox(bdNo, cut.utf16 ? msgOverwriteTruncatedUtf16 : msgOverwriteTruncated, path.c_str(),
                     IntToStr(cut.bytesLeftOut).c_str()) != baYes)
            return false;
    }
    try
    {
        editor->SaveToFile(path, TConvMode{});
        return true;
    }
    catch (const EAbort&)
    {
        // The user chose not to save (the page asked); nothing was written.
    }
    catch (...)
    {
        ErrorBox(msgSaveFailed, path.c_str(), FailureReason().c_str());
    }
    return false;
}

bool TMainForm::ClosePage(TTabSheet* sheet, bool askSave)
{
    if (!IsPage(sheet))
        return true;
    TPageEditor* editor = GetPageEditor(sheet);
    TAskingPages asking(askingPages_);
    if (askSave && editor && editor->isEdited())
    {
        AnsiString shown = editor->EditFilePath.IsEmpty() ? AnsiString(kUntitled) : editor->EditFilePath;
        TBoxAnswer answer = YesNoCancelBox(msgSaveChanges, shown.c_str());
        if (answer == baCancel)
            return false;
        if (answer == baYes && !SavePage(sheet))
            return false; // nothing is closed unsaved because a save failed or was cancelled
    }
    if (editor)
        editor->BeginUpdate();
    sheet->SetTabVisible(false);
    if (oldPage_ == sheet)
        oldPage_ = nullptr;
    if (newPage_ == sheet)
        newPage_ = nullptr;
    // The last of three or more pages: moved left first, so its left neighbour becomes active.
    int count = MainPageCtrl->PageCount();
    if (count > 2 && sheet->PageIndex() == count - 1)
    {
        sheet->SetPageIndex(sheet->PageIndex() - 1);
        MainPageCtrl->ScrollTabs(-1);
    }
    delete sheet;
    if (MainPageCtrl->PageCount() > 0)
        SetActivePage(MainPageCtrl->ActivePage());
    else
    {
        MainPageCtrl->Hide();
        EditStatusChange(nullptr); // nothing names the closed file any more
    }
    RefreshUiState();
    MainPageCtrl->Repaint();
    return true;
}

bool TMainForm::SaveFileAs()
{
    TPageEditor* editor = Edit();
    if (!editor)
        return false;
    AnsiString filter;
    for (const typSaveFilter& f : kSaveFilters)
        filter += AnsiString(f.description) + "|" + f.pattern + "|";
    SaveDialog->SetFilter(filter);
    if (!editor->EditFilePath.IsEmpty())
    {
        SaveDialog->SetInitialDir(ExtractFileDir(editor->EditFilePath));
        SaveDialog->SetFileName(editor->EditFilePath);
    }
    if (!SaveDialog->Execute())
        return false;
    AnsiString name = SaveDialog->FileName();
    // Named as the user gave it: the full form of "con.txt" is "\\.\con".
    if (IsDeviceName(name))
    {
        ErrorBox(msgSaveDeviceName, ExtractFileName(name).c_str());
        return false;
    }
    if (!NameTooLong(name))
        name = NormalizePath(name);
    if (NameTooLong(name))
    {
        ShowNameTooLong(msgSaveNameTooLong, name);
        return false;
    }
    int row = ClampFilterIndex(filter, SaveDialog->FilterIndex()) - 1;
    if (ExtractFileExt(name).IsEmpty() && *kSaveFilters[row].extension)
        name += AnsiString(".") + kSaveFilters[row].extension;
    // Another page showing that file with edits of its own: overwriting it is asked first.
    std::vector<TTabSheet*> others = PagesShowing(name, editor);
    if (std::any_of(others.begin(), others.end(), [this](TTabSheet* p) { return GetPageEditor(p)->isEdited(); }) &&
        YesNoBox(bdNo, msgSaveAsOpenElsewhere, name.c_str()) != baYes)
        return false;
    if (!SaveEditorTo(editor, name))
        return false;
    // Only now does the file exist, so a short folder or file name gets its long spelling.
    name = NormalizePath(name);
    editor->EditFilePath = name;
    // One page per file: a page that showed the old content goes; one with edits keeps them and
    // is told, when it is next entered, that its file changed.
    for (TTabSheet* other : PagesShowing(name, editor))
    {
        if (GetPageEditor(other)->isEdited())
            GetPageEditor(other)->SetFileDate(TDateTime(0.0));
        else
            ClosePage(other, false);
    }
    AddToHistory(name);
    UpdateCaption(nullptr);
    LoadEditSetting(editor);
    FindEmphasisForFile(editor, name);
    return true;
}

std::vector<TTabSheet*> TMainForm::PagesShowing(const AnsiString& path, TPageEditor* except) const
{
    std::vector<TTabSheet*> pages;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
    {
        TTabSheet* page = MainPageCtrl->Pages(i);
        TPageEditor* editor = GetPageEditor(page);
        if (editor && editor != except && !editor->EditFilePath.IsEmpty() &&
            AnsiSameText(editor->EditFilePath, path))
            pages.push_back(page);
    }
    return pages;
}

void TMainForm::AddToHistory(const AnsiString& path)
{
    AnsiString key = UpperCase(path);
    auto same = std::find_if(history_.begin(), history_.end(),
                             [&](const AnsiString& p) { return UpperCase(p) == key; });
    if (same != history_.end())
        history_.erase(same);
    history_.insert(history_.begin(), path);
    if (int(history_.size()) > kHistoryLength)
        history_.resize(kHistoryLength);
    nsList<nsString> list;
    for (const AnsiString& p : history_)
        list.Add(new nsString(AnsiToNsString(p)));
    try
    {
        WriteFileHistory(list, SettingsKey);
    }
    catch (const std::exception&)
    {
        // A registry that refuses the list must not stop the file from opening; the list in
        // memory stays right for this run.
    }
}

void TMainForm::ReadHistory()
{
    nsList<nsString> list;
    ReadFileHistory(list, SettingsKey);
    history_.clear();
    // Empty slots are only how the store keeps its five keys; a name too long for any file is a
    // damaged value.
    for (int i = 0; i < list.Count(); ++i)
    {
        AnsiString path = NsStringToAnsi(*list.Get(i));
        if (!path.IsEmpty() && !NameTooLong(path) && int(history_.size()) < kHistoryLength)
            history_.push_back(path);
    }
}

void TMainForm::WriteReopenList()
{
    nsList<VN::typReopen> list;
    int active = -1;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
    {
        TTabSheet* page = MainPageCtrl->Pages(i);
        TPageEditor* editor = GetPageEditor(page);
        if (!editor || editor->EditFilePath.IsEmpty())
            continue;
        if (page == MainPageCtrl->ActivePage())
            active = list.Count();
        auto* entry = new VN::typReopen;
        entry->path = AnsiToNsString(editor->EditFilePath);
        list.Add(entry);
    }
    // The option is the editor settings' one, as the user last set it.
    ::WriteReopenList(list, VN::EditSetting.IS_REMAIN, SettingsKey, active);
}

void TMainForm::ReadWindowLayout()
{
    VN::typWindowState state = ReadWindowState(SettingsKey);
    if (IsZoomed(Handle()))
        ShowWindow(Handle(), SW_RESTORE);
    // A place saved on a screen that is gone (or damaged) is brought into the nearest work area.
    RECT stored{state.left, state.top, state.left + state.width, state.top + state.height};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&stored, MONITOR_DEFAULTTONEAREST), &monitor))
    {
        const RECT& work = monitor.rcWork;
        state.width = std::min<int>(state.width, work.right - work.left);
        state.height = std::min<int>(state.height, work.bottom - work.top);
        state.left = std::clamp<int>(state.left, work.left, work.right - state.width);
        state.top = std::clamp<int>(state.top, work.top, work.bottom - state.height);
    }
    SetBounds(state.left, state.top, state.width, state.height);
    if (state.maximized)
        ShowWindow(Handle(), SW_MAXIMIZE);
    StatusBar->SetVisible(state.statusBar);
    srchPanelUndockHeight_ = state.dockBottomHeight;
    PlaceResultsWindow(state.dock);
}

void TMainForm::PlaceResultsWindow(const VN::typDockMessage& dock)
{
    TCustomForm* results = MessageForm;
    if (!results)
        return;
    if (dock.docked == 0)
    {
        const TRect place(dock.left, dock.top, dock.left + std::max(dock.width, 1), dock.top + dock.height);
        if (HostDockSite(results))
            ManualFloat(results, place);
        else
            results->SetBounds(place.Left, place.Top, place.Width(), place.Height());
        results->SetVisible(dock.visible != 0);
        return;
    }
    if (dock.docked != 1)
        return;
    if (!HostDockSite(results))
    {
        // The size it floats with later; a record without one keeps the window's own.
        if (dock.undockWidth >= kMinFloatSize && dock.undockHeight >= kMinFloatSize)
            results->SetBounds(dock.left, dock.top, dock.undockWidth, dock.undockHeight);
        results->SetVisible(false);
        ManualDock(results, SrchPanel);
    }
    srchPanelUndockHeight_ = dock.height;
    if (dock.visible)
    {
        results->Show();
        SrchPanel->SetHeight(dock.height);
    }
    else
    {
        results->Hide();
        CollapseSrchPanel();
    }
}

VN::typDockMessage TMainForm::ResultsWindowPlace(const VN::typDockMessage& stored)
{
    TCustomForm* results = MessageForm;
    if (!results)
        return stored;
    VN::typDockMessage dock;
    dock.visible = results->Visible() ? 1 : 0;
    dock.top = results->Top();
    dock.left = results->Left();
    if (HostDockSite(results) == SrchPanel)
    {
        dock.docked = 1;
        dock.width = SrchPanel->Width();
        // A hidden docked window has collapsed the panel: the height it opens with is kept.
        dock.height = dock.visible && SrchPanel->Height() >= 2 ? SrchPanel->Height() : srchPanelUndockHeight_;
        const TSize undocked = UndockSize(results);
        dock.undockWidth = undocked.cx;
        dock.undockHeight = undocked.cy;
    }
    else
    {
        dock.docked = 0;
        dock.width = dock.undockWidth = results->Width();
        dock.height = dock.undockHeight = results->Height();
    }
    return dock;
}

void TMainForm::WriteWindowLayout()
{
    VN::typWindowState state = ReadWindowState(SettingsKey);
    state.dock = ResultsWindowPlace(state.dock);
    state.maximized = IsZoomed(Handle()) != 0;
    if (state.maximized)
        ShowWindow(Handle(), SW_RESTORE); // the normal bounds are what is stored
    state.left = Left();
    state.top = Top();
    state.width = Width();
    state.height = Height();
    state.statusBar = StatusBar->Visible();
    state.dockBottomHeight = srchPanelUndockHeight_;
    WriteWindowState(state, SettingsKey);
}

void TMainForm::CloseUntitledUneditedPages(TTabSheet* keep)
{
    std::vector<TTabSheet*> pages;
    for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
        pages.push_back(MainPageCtrl->Pages(i));
    for (TTabSheet* page : pages)
    {
        TPageEditor* editor = GetPageEditor(page);
        if (page != keep && editor && editor->EditFilePath.IsEmpty() && !editor->isEdited())
            ClosePage(page, false);
    }
}

void TMainForm::EditFileDrop(TObject* sender, TStringList* files)
{
    OnEditFileDrop(sender, files);
}

void TMainForm::OnEditFileDrop(TObject* sender, TStrings* files)
{
    for (int i = 0; i < files->GetCount(); ++i)
    {
        if (MainPageCtrl->PageCount() > kDropPageLimit)
        {
            InfoBox("%s", msgPageLimit);
            return;
        }
        OpenFile(files->Strings(i));
    }
}

void TMainForm::RestoreReopenListAndCommandLine()
{
    nsList<VN::typReopen> reopen;
    bool stored = false; // what was stored with the list; the settings' option decides
    int active = -1;
    ReadReopenList(reopen, stored, SettingsKey, &active);
    TTabSheet* activePage = nullptr;
    if (VN::EditSetting.IS_REMAIN)
        for (int i = 0; i < reopen.Count(); ++i)
        {
            AnsiString path = NsStringToAnsi(reopen.Get(i)->path);
            // A name too long for any file is a damaged value: dropped, and gone at the next exit.
            if (reopen.Get(i)->flag == 1 || NameTooLong(path))
                continue;
            // Opened again, not anew: the recent files keep their order.
            TTabSheet* page = OpenFile(path, false);
            if (i == active)
                activePage = page;
        }
    // The file named now is the one to work on; else the page that was active at the exit.
    AnsiString file = Trim(CommandLineFile);
    if (!file.IsEmpty() && OpenFile(file))
        return;
    if (activePage && IsPage(activePage))
        SetActivePage(activePage);
    if (!file.IsEmpty() || MainPageCtrl->PageCount() > 0)
        return;
    TTabSheet* page = NewPage("");
    SetActivePage(page);
    ShowEditor(page);
    if (TPageEditor* editor = GetPageEditor(page); editor && editor->CanFocus())
        editor->SetFocus();
}

void TMainForm::CheckFileChangedOnDisk(bool silent)
{
    // The question's own box gives the activation and focus back when it closes: no second one.
    // Nor while the pages are asked about or saved: each box's closing activates the window, and a
    // save compares the file itself.
    if (diskQuestionOpen_ || askingPages_ > 0)
        return;
    TPageEditor* editor = Edit();
    if (!editor || editor->EditFilePath.IsEmpty())
        return;
    AnsiString path = editor->EditFilePath;
    typDiskStamp disk;
    // Disk times have two-second steps on some file systems and the two sides may be rounded
    // differently (x87 registers): only a difference of half a second or more is a change.
    if (!DiskFileStamp(path, disk) ||
        !(double(disk.time) - double(editor->GetFileDate()) >= kSameFileTime || RewrittenSince(editor, disk)))
        return;
    TBoxAnswer answer = baYes;
    if (!silent)
    {
        diskQuestionOpen_ = true;
        try
        {
            AnsiString text = Format(msgChangedOnDisk, {path});
            if (editor->isEdited())
                text += msgReloadDiscardsEdits;
            // A reload throws the edits away: then Enter keeps them.
            answer = YesNoCancelBox(editor->isEdited() ? bdNo : bdYes, "%s", text.c_str());
        }
        catch (...)
        {
            diskQuestionOpen_ = false;
            throw;
        }
        diskQuestionOpen_ = false;
        MainPageCtrl->EndDrag(false);
        // The page may have closed or changed while the box was up.
        if (Edit() != editor || editor->EditFilePath != path)
            return;
    }
    if (answer == baYes)
    {
        try
        {
            LoadEditor(editor, path, TConvMode{cmFoldLine});
        }
        catch (...)
        {
            // Whatever failed, the page keeps what it showed, and the question comes again at the
            // next activation.
            if (IsOpenError())
                ErrorBox(msgOpenFailed, path.c_str());
            else
                ErrorBox(msgReloadFailed, path.c_str(), FailureReason().c_str());
            return;
        }
        UpdateCaption(nullptr);
        editor->Invalidate();
    }
    else if (answer == baNo)
    {
        // Not asked again until the file changes again, and a save may write over it.
        editor->SetFileDate(disk.time);
        editor->SetFileLength(disk.length);
        editor->SetFileIdentity(disk.identity);
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void TMainForm::FileMenuClick(TObject* sender)
{
    bool any = false;
    for (int i = 0; i < 5; ++i)
    {
        AnsiString path = i < int(history_.size()) ? history_[size_t(i)] : AnsiString();
        // The entry is found by its index; the caption only shows it ("&" doubled to show).
        const AnsiString caption = MenuCaptionOf(path);
        for (TMenuItem* item : {RP[i], PRP[i]})
        {
            item->SetCaption(caption);
            item->SetTag(i);
            item->SetVisible(!path.IsEmpty());
        }
        any = any || !path.IsEmpty();
    }
    ReopenMenu->SetEnabled(any);
    const bool open = Edit() != nullptr;
    for (TMenuItem* item : {OverWriteMenu, SaveMenu, PageCloseMenu, MailMenu, PrintMenu})
        if (item)
            item->SetEnabled(open);
}

void TMainForm::NewFileMenuClick(TObject* sender)
{
    TTabSheet* page = NewPage("");
    SetActivePage(page);
    ShowEditor(page);
    if (TPageEditor* editor = GetPageEditor(page); editor && editor->CanFocus())
        editor->SetFocus();
}

void TMainForm::PrepareOpenDialog()
{
    // The folder of the file being worked on, else of the file opened or saved last.
    AnsiString nearby;
    if (TPageEditor* editor = Edit(); editor && !editor->EditFilePath.IsEmpty())
        nearby = editor->EditFilePath;
    else if (!history_.empty())
        nearby = history_.front();
    if (!nearby.IsEmpty())
        OpenDialog->SetInitialDir(ExtractFileDir(nearby));
    OpenDialog->SetFileName("");
}

void TMainForm::OpenFileMenuClick(TObject* sender)
{
    if (locked_)
        return;
    PrepareOpenDialog();
    if (!OpenDialog->Execute())
        return;
    if (TTabSheet* page = OpenFile(OpenDialog->FileName()))
        CloseUntitledUneditedPages(page);
}

void TMainForm::RPMenuClick(TObject* sender)
{
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item || item->Tag() < 0 || item->Tag() >= int(history_.size()))
        return;
    AnsiString path = history_[size_t(item->Tag())];
    if (!IsFile(path))
    {
        ErrorBox(msgRecentOpenFailed, path.c_str());
        return;
    }
    if (TTabSheet* page = OpenFile(path))
        CloseUntitledUneditedPages(page);
}

void TMainForm::OverWriteMenuClick(TObject* sender)
{
    TPageEditor* editor = Edit();
    if (!editor)
        return;
    if (editor->EditFilePath.IsEmpty())
    {
        SaveFileAs();
        return;
    }
    if (SaveEditorTo(editor, editor->EditFilePath))
        UpdateCaption(nullptr);
}

void TMainForm::SaveMenuClick(TObject* sender)
{
    if (Edit())
        SaveFileAs();
}

void TMainForm::PageClosepMenuClick(TObject* sender)
{
    if (TTabSheet* page = MainPageCtrl->ActivePage())
        ClosePage(page, true);
}

void TMainForm::AllCloseMenuClick(TObject* sender)
{
    TAskingPages asking(askingPages_);
    while (TTabSheet* page = MainPageCtrl->ActivePage())
    {
        TPageEditor* editor = GetPageEditor(page);
        if (editor && editor->isEdited())
        {
            TBoxAnswer answer = AskSaveBeforeClosing(editor->EditFilePath);
            if (answer == baCancel || (answer == baYes && !SavePage(page)))
                return; // pages closed so far stay closed
        }
        ClosePage(page, false);
        UpdateCaption(nullptr);
    }
}

void TMainForm::EndMenuClick(TObject* sender)
{
    Close();
}

void TMainForm::FormCloseQuery(TObject* sender, bool& canClose)
{
    if (locked_)
    {
        ErrorBox("%s", "ロック中は閉じられません");
        canClose = false;
        return;
    }
    TTabSheet* active = MainPageCtrl->ActivePage();
    TAskingPages asking(askingPages_);
    try
    {
        std::vector<TTabSheet*> pages;
        for (int i = 0; i < MainPageCtrl->PageCount(); ++i)
            pages.push_back(MainPageCtrl->Pages(i));
        for (TTabSheet* page : pages)
        {
            TPageEditor* editor = GetPageEditor(page);
            if (!editor || !editor->isEdited())
                continue;
            // The question names the page on screen: its tab, its text and the window's caption.
            ShowPageNow(page);
            TBoxAnswer answer = AskSaveBeforeClosing(editor->EditFilePath);
            if (answer == baCancel || (answer == baYes && !SavePage(page)))
                throw Exception("CANCEL");
            UpdateCaption(page);
        }
    }
    catch (...)
    {
        // Cancel, a cancelled Save As, a failed save or any other failure: the window stays.
        canClose = false;
    }
    // The page that was active before comes back, so it is also the one stored as active at exit.
    if (IsPage(active) && MainPageCtrl->ActivePage() != active)
        SetActivePage(active);
    UpdateCaption(nullptr);
}
