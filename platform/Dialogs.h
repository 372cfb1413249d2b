// The open and save dialogs. They are shown through the services seam, so a test answers them
// with a file name or Cancel.
#pragma once

#include "Component.h"
#include "Services.h"

enum TOpenOption
{
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofAllowMultiSelect,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofNoReadOnlyReturn,
    ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent
{
public:
    explicit TOpenDialog(TComponent* owner);

    // True when a file was chosen: FileName and FilterIndex then hold the answer.
    virtual bool Execute();

    const AnsiString& Filter() const { return filter_; }
    void SetFilter(const AnsiString& filter) { filter_ = filter; }
    // From 1; out-of-range values go to the nearest filter when the dialog is shown and answered.
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }
    const AnsiString& FileName() const { return fileName_; }
    void SetFileName(const AnsiString& name) { fileName_ = name; }
    const AnsiString& InitialDir() const { return initialDir_; }
    void SetInitialDir(const AnsiString& dir) { initialDir_ = dir; }
    const AnsiString& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const AnsiString& ext) { defaultExt_ = ext; }
    const AnsiString& Title() const { return title_; }
    void SetTitle(const AnsiString& title) { title_ = title; }
    TOpenOptions Options() const { return options_; }
    void SetOptions(TOpenOptions options) { options_ = options; }

protected:
    bool Run(bool save);

private:
    AnsiString filter_;
    int filterIndex_ = 1;
    AnsiString fileName_;
    AnsiString initialDir_;
    AnsiString defaultExt_;
    AnsiString title_;
    TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
};

class TSaveDialog : public TOpenDialog
{
public:
    using TOpenDialog::TOpenDialog;
    bool Execute() override;
};

// The filter index clamped to the filters there are (1 when there are none).
int ClampFilterIndex(const AnsiString& filter, int index);

// Asks for a line of text (through the services): true with value set when confirmed.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
// The Win32 dialog behind it, for the services.
bool RunInputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
