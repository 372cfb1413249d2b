// The seam for what a test cannot click or press: message boxes, the open and save dialogs, the
// text query, help, process start and the physical key state go through one replaceable object,
// so tests run headless, answer a box with Yes, No or Cancel, a dialog with a file name or Cancel,
// and record what would have run.
#pragma once

#include <string>

#include <windows.h>
#undef MessageBox // our TPlatformServices::MessageBox, not the A/W macro

#include "AnsiString.h"

// What a file dialog is shown with and what it answers (FileName, FilterIndex).
struct TFileDialogData
{
    AnsiString Title;
    AnsiString Filter;     // "description|pattern|description|pattern..."
    int FilterIndex = 1;   // from 1
    AnsiString InitialDir;
    AnsiString FileName;
    AnsiString DefaultExt; // without the dot
    unsigned Flags = 0;    // OFN_xxx
};

enum TMailResult
{
    mlSent,      // handed to the mail program
    mlCancelled, // the user closed it unsent
    mlFailed     // no mail program, or it refused
};

class TPlatformServices
{
public:
    virtual ~TPlatformServices() = default;
    // Returns the button pressed (IDOK, IDYES...), or 0 when the box could not be shown.
    virtual int MessageBox(void* ownerHwnd, const AnsiString& text, const AnsiString& caption,
                           unsigned flags) = 0;
    virtual short GetKeyState(int vk) = 0;
    // True when the user chose a file (data then holds it); false for Cancel. Services that do not
    // answer dialogs cancel them.
    virtual bool OpenFileDialog(void* ownerHwnd, TFileDialogData& data) { return false; }
    virtual bool SaveFileDialog(void* ownerHwnd, TFileDialogData& data) { return false; }
    // The folder browser: true when the user chose a folder (folder then holds it; it comes in as
    // the folder to start from); false for Cancel.
    virtual bool BrowseForFolder(void* ownerHwnd, const AnsiString& title, AnsiString& folder) { return false; }
    // The colour dialog: true when the user chose a colour (color, an RGB value, comes in as the
    // colour shown and goes out as the one chosen).
    virtual bool PickColor(void* ownerHwnd, int& color) { return false; }
    // The printer set-up dialog for the printer object: true when the user confirmed a printer and
    // its settings (the printer object then uses them).
    virtual bool PrinterSetup(void* ownerHwnd) { return false; }
    // A line of text asked for in a small dialog (value comes in as the text shown): true with value
    // set when confirmed; false for Cancel.
    virtual bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value) { return false; }
    // The help viewer on helpFile (a full path), at the index entry of keyword (empty: the first
    // page); false when no help window came up.
    virtual bool ShowHelp(void* ownerHwnd, const AnsiString& helpFile, const AnsiString& keyword) { return false; }
    // Starts a program (its full path) with a command line (the path quoted, then the arguments);
    // the process handle, which the caller closes, or null when it could not start.
    virtual HANDLE StartProcess(const AnsiString& program, const AnsiString& commandLine) { return nullptr; }
    // The shell's "open" of a program, document, folder or address with parameters, started in
    // folder (empty: the program's current one), shown normally; false when it could not start.
    // The program's own current folder never changes.
    virtual bool ShellOpen(void* ownerHwnd, const AnsiString& file, const AnsiString& parameters,
                           const AnsiString& folder) { return false; }
    // A new mail whose body is text, for the user to address and send.
    virtual TMailResult SendMail(void* ownerHwnd, const AnsiString& text) { return mlFailed; }
};

// A dialog filter as the system wants it: the parts separated and ended by NULs, the whole ended by
// one more; empty parts at the end (a trailing "|") are dropped.
std::wstring FileDialogFilter(const AnsiString& filter);
// Number of description-pattern pairs in a filter.
int FileDialogFilterCount(const AnsiString& filter);

// The services in use: the Win32 ones unless a test installed others.
TPlatformServices& Services();
// Installs services (nullptr: the Win32 ones again) and returns the previous ones.
TPlatformServices* SetServices(TPlatformServices* services);
