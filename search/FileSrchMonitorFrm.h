// The progress window of the file search (the folder being searched, the hits
// so far and a stop button) and the driver that runs one search with it.
#pragma once

#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "search/GrepProc.h"

class TMessageForm;

class TFileSrchMonitorForm : public TForm
{
public:
    explicit TFileSrchMonitorForm(TComponent* owner);

    TLabel* FolderLabel = nullptr;
    TLabel* FindNumLabel = nullptr;
    TLabel* Animation = nullptr; // a turning mark while the search runs
    TButton* SrchStopBtn = nullptr;
    TTimer* AnimationTimer = nullptr;
    // The running worker (null when none).
    typGrepProc* Thread = nullptr;

    // The labels from the worker's current folder and hit count; OnProgress
    // follows.
    void ShowProgress();
    // After each update of the labels while a search runs (the driver's every
    // round).
    TNotifyEvent OnProgress;

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void SrchStopBtnClick(TObject* sender);

private:
    void AnimationTimerTick(TObject* sender);
    int frame_ = 0;
};

extern TFileSrchMonitorForm* FileSrchMonitorForm;

// One file search as the dialog asks for it.
struct TGrepRequest
{
    AnsiString Folder; // as typed: trailing '\' and '/' separators are fine
    AnsiString Masks;
    AnsiString Pattern;
    bool Recurse = true;
    bool CaseSensitive = false;
    bool WholeWord = false;
    bool Regex = false;
    // Past this many hits the search stops and says so.
    int MaxHits = typGrepProc::kDefaultMaxHits;
};

// Runs one search: lists its hits in results while the progress window shows
// how far it got and offers to stop it, keeps the interface alive, and says so
// when nothing was found. running points at the worker while it runs. The
// search also stops when the application is closing. Returns the number of
// hits, or -1 when the search could not start (an invalid pattern: the error
// was shown).
int RunGrep(const TGrepRequest& request, TFileSrchMonitorForm* monitor, TMessageForm* results,
            typGrepProc*& running);

// Shown as the last line when the search stopped at its hit limit.
extern const char* const msgGrepHitLimit;
