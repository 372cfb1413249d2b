// Comma-separated fields: a double quote groups (commas inside stay in the field), "" inside
// quotes is one quote, blanks are kept.
#pragma once

#include <vector>

#include "platform/AnsiString.h"

// An empty text gives no fields; "a," gives "a" and "".
std::vector<AnsiString> SplitCsvFields(const AnsiString& text);
