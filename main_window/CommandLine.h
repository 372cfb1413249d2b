// The external commands' command lines: the edited file's path put in for "%F" so that it stays
// one argument, whatever it holds and whoever reads the line (the program itself, or the command
// interpreter for "cmd", batch files and what the shell opens through an association), and the
// line cut into the program and its parameters.
#pragma once

#include "platform/AnsiString.h"

// A command line with its first "%F" replaced by path, and the program it runs. The program is
// looked for as the first word names it, environment strings expanded: a full path as it is, a
// bare name in the system's folders, on PATH and among the shell's registered programs, never in
// the current folder or beside the file; empty when found nowhere (a relative path is found
// nowhere). When the path holds a character that no quoting passes to that program as part of
// one argument (for the command interpreter: "%", which it expands inside quotes too, or "!" with
// delayed expansion on), the line is empty and refused holds that character.
struct typFileCommand
{
    AnsiString line;
    AnsiString program;    // full path
    AnsiString parameters; // the line's, as the program gets them
    AnsiString refused;
};
typFileCommand ExpandFileMacro(const AnsiString& command, const AnsiString& path);

// The system's own command interpreter by its full path.
AnsiString SystemCommandInterpreter();

// A command line cut at its first blank outside double quotes into the program and the parameters
// (blanks after the cut skipped; the quotes stay).
void SplitCommandLine(const AnsiString& command, AnsiString& program, AnsiString& parameters);
