// The date and time insertion windows: each lists the current date or time in a fixed set of
// formats, refreshed once a second, and types the chosen line at the caret of the active page.
#pragma once

#include <functional>
#include <vector>

#include <windows.h>

#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"

// A date and time in the class library's format notation: y/yy/yyyy, m/mm, d/dd, dddd (weekday),
// h/hh, n/nn, s/ss, "AM/PM" and "ampm" (12-hour clock with AM/PM or 午前/午後), text in single
// quotes as is; any other character passes through.
AnsiString FormatStamp(const char* format, const SYSTEMTIME& when);
// The Japanese era and year of a date: "令和7年", "平成31年".
AnsiString JapaneseEraYear(const SYSTEMTIME& when);

class TStampInsertForm : public TForm
{
public:
    TStampInsertForm(TComponent* owner, const char* name, const char* caption, const char* helpKeyword);

    TListBox* TimeListBox = nullptr;
    TButton* OkBtn = nullptr;
    TButton* CancelBtn = nullptr;
    TTimer* Timer = nullptr;

    // Types text at the caret of the active page (set by the main window).
    std::function<void(const AnsiString&)> TypeIntoPage;
    // The clock (tests fix it); the local time unless set.
    std::function<SYSTEMTIME()> Clock;

    // The list's lines for a moment, in list order.
    virtual std::vector<AnsiString> Lines(const SYSTEMTIME& when) const = 0;

    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void TimerTimer(TObject* sender);
    void OkBtnClick(TObject* sender);
    void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);

private:
    const char* helpKeyword_;
};

class TDateInsertForm : public TStampInsertForm
{
public:
    explicit TDateInsertForm(TComponent* owner);
    std::vector<AnsiString> Lines(const SYSTEMTIME& when) const override;
};

class TTimeInsertForm : public TStampInsertForm
{
public:
    explicit TTimeInsertForm(TComponent* owner);
    std::vector<AnsiString> Lines(const SYSTEMTIME& when) const override;
};

extern TDateInsertForm* DateInsertForm;
extern TTimeInsertForm* TimeInsertForm;
