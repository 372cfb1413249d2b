// Columns of the fixed-form F77 dialect: positions 0-4 hold the label, 5 the continuation mark,
// statements start at 6 (0-based byte positions).
#pragma once

#include "platform/AnsiString.h"

class typCommentList;

// Blanks from column col to the dialect's next tab stop.
int F77TabBlanks(int col, int tabSize);
// Blanks one unindent step takes from a row head holding `leading` blanks: never into the label
// field once a statement stands at position 6 or beyond.
int F77UnindentBlanks(int leading, int tabSize);
// The column-1 comment test of the dialect: the row's first character is the model's first or third
// line-comment mark exactly, or its second one in either case ("*", "C"/"c", "!"). The comment
// model asks this for every row it classifies; block indentation leaves such rows alone.
bool IsColumn1CommentRow(const typCommentList& model, const AnsiString& row);
