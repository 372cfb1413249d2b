// Message boxes of the program: a catalogue text (English.h) formatted with its arguments and shown
// over the main window with the common caption. All boxes go through the platform's services, so
// tests can answer them.
#pragma once

#include <cstdio>

#if defined(__MINGW_PRINTF_FORMAT)
#define VN_PRINTF_CHECK(fmt, first) __attribute__((format(__MINGW_PRINTF_FORMAT, fmt, first)))
#else
#define VN_PRINTF_CHECK(fmt, first) __attribute__((format(printf, fmt, first)))
#endif

// The caption holds at most 64 bytes.
constexpr int kMsgCaptionSize = 65;

// Owner window of every box (the main window once it exists); null means none.
void SetMessageOwner(void* ownerHwnd);
void* MessageOwner();

// Sets the caption from `text` as it is ("%" has no meaning here). "Varnolet for Windows" until set.
void SetMsgCaption(const char* text);
const char* MsgCaption();

class AnsiString;
// A file or folder name as a box shows it: one of more than 181 characters keeps its first 120 and
// last 60 with "…" between, so that the box names it without growing to the name's size.
AnsiString NameForBox(const AnsiString& name);

// The format is a catalogue text or a literal; a text that may hold "%" goes in as a "%s" argument.
// The formatted text is shown whole, however long.
int ErrorBox(const char* format, ...) VN_PRINTF_CHECK(1, 2);
int WarningBox(const char* format, ...) VN_PRINTF_CHECK(1, 2);
int InfoBox(const char* format, ...) VN_PRINTF_CHECK(1, 2);

// A scoped type, so that an answer can never be compared with a Windows button code (IDYES is 6).
enum class TBoxAnswer
{
    baYes = 0,
    baNo = 1,
    baCancel = 2
};
using enum TBoxAnswer;

// Which button Enter presses in a question box.
enum TBoxDefault
{
    bdYes,
    bdNo
};

// baYes, or baNo for anything else (a box that could not be shown included). A question whose Yes
// destroys something passes bdNo, so Enter never answers it.
TBoxAnswer YesNoBox(const char* format, ...) VN_PRINTF_CHECK(1, 2);
TBoxAnswer YesNoBox(TBoxDefault def, const char* format, ...) VN_PRINTF_CHECK(2, 3);
// baYes, baNo, or baCancel for anything else: a box that could not be shown never counts as an
// answer that discards or overwrites something.
TBoxAnswer YesNoCancelBox(const char* format, ...) VN_PRINTF_CHECK(1, 2);
TBoxAnswer YesNoCancelBox(TBoxDefault def, const char* format, ...) VN_PRINTF_CHECK(2, 3);
