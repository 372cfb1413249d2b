// The system clipboard as CP932 text, plus formats registered by name.
#pragma once

#include "AnsiString.h"

class TClipboard
{
public:
    // Nested opens share one real open; the outermost Close releases it.
    void Open();
    void Close();
    // Text goes in as Unicode text, converted explicitly from CP932.
    AnsiString GetAsText();
    void SetAsText(const AnsiString& text);
    bool HasFormat(unsigned format);
    void Clear();
    // Puts raw bytes under a format (an open clipboard is emptied only by Clear or SetAsText).
    void SetBuffer(unsigned format, const void* data, int size);
    AnsiString GetBuffer(unsigned format);

private:
    int openCount_ = 0;
    bool emptied_ = false;
};

TClipboard* Clipboard();
unsigned RegisterClipboardFormatSjis(const AnsiString& name);
