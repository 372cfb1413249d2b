#include "main_window/CommandLine.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/SysUtils.h"

namespace
{
// Who splits the parameters into arguments.
enum TReader
{
    rdProgram,     // the program's run-time library: blanks split outside quotes
    rdInterpreter, // the command interpreter running a batch file or the program's association
    rdCmd,         // the command interpreter itself, with its switches and what follows /C or /K
};

int CharLength(const AnsiString& text, int i)
{
    return i < text.Length() && IsSjisLead(static_cast<unsigned char>(text[i])) ? 2 : 1;
}

// Position of the first blank outside double quotes, or past the end.
int ProgramEnd(const AnsiString& line)
{
    bool quoted = false;
    for (int i = 1; i <= line.Length(); i += CharLength(line, i))
    {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ' ' && !quoted)
            return i;
    }
    return line.Length() + 1;
}

int SkipBlanks(const AnsiString& line, int i)
{
    while (i <= line.Length() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i;
}

bool IsCmdSpecial(char c)
{
    return c == ' ' || c == '\t' || c == '&' || c == '|' || c == '<' || c == '>' || c == '^' || c == '(' ||
           c == ')' || c == ',' || c == ';' || c == '=' || c == '@' || c == '"' || c == '!';
}

// A character that every reader takes as it is, wherever it stands.
bool IsPlain(const AnsiString& text, int i)
{
    const auto c = static_cast<unsigned char>(text[i]);
    return CharLength(text, i) == 2 || c >= 0x80 || (c > ' ' && c != '%' && !IsCmdSpecial(char(c)));
}

// The interpreter reads what follows its switches: by name, or as whatever %ComSpec% names.
bool IsCommandInterpreter(const AnsiString& program)
{
    if (AnsiSameText(ExtractFileName(program), "cmd.exe"))
        return true;
    const AnsiString comspec = LocateProgram(RemoveDoubleQuotes(ExpandEnvironmentText("%ComSpec%")));
    return !comspec.IsEmpty() && AnsiSameText(comspec, program);
}

TReader ReaderOf(const AnsiString& program)
{
    if (IsCommandInterpreter(program))
        return rdCmd;
    const AnsiString extension = ExtractFileExt(program);
    if (AnsiSameText(extension, ".exe") || AnsiSameText(extension, ".com"))
        return rdProgram;
    return rdInterpreter; // a batch file, or a document run through its file type
}

bool DelayedExpansionInRegistry()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    {
        DWORD value = 0, size = sizeof value;
        if (RegGetValueW(root, L"Software\\Microsoft\\Command Processor", L"DelayedExpansion", RRF_RT_REG_DWORD,
                         nullptr, &value, &size) == ERROR_SUCCESS)
            return value == 1;
    }
    return false;
}

// What the command interpreter makes of the line: where its command starts, whether the quote
// opening it and the line's last quote are taken away (/C "...": both ways when that depends on
// whether the quoted text names a program), and whether it expands "!".
struct TCmdLine
{
    int start = 1;
    bool mayStrip = false;
    bool mayKeep = true;
    bool delayed = false;
};

TCmdLine ReadCmdSwitches(const AnsiString& line, int paramsStart)
{
    TCmdLine cmd;
    cmd.delayed = DelayedExpansionInRegistry();
    bool slashS = false;
    int i = paramsStart;
    for (; i < line.Length(); i += CharLength(line, i))
    {
        if (line[i] != '/')
            continue;
        const char s = char(std::toupper(static_cast<unsigned char>(line[i + 1])));
        if (s == 'C' || s == 'K' || s == 'R')
            break;
        if (s == 'S')
            slashS = true;
        if (s == 'V')
            cmd.delayed = !(line.SubString(i + 2, 4).UpperCase() == ":OFF");
    }
    if (i >= line.Length())
    {
        cmd.start = paramsStart; // no command: the whole of it read as one
        return cmd;
    }
    cmd.start = SkipBlanks(line, i + 2);
    if (cmd.start > line.Length() || line[cmd.start] != '"')
        return cmd;
    // The quotes stay only for exactly two of them around blanks, no special character between
    // them, and (unknown here) the name of a program.
    std::vector<int> quotes;
    bool special = false, blank = false;
    for (int j = cmd.start; j <= line.Length(); j += CharLength(line, j))
    {
        if (line[j] == '"')
            quotes.push_back(j);
        else if (quotes.size() == 1)
        {
            special = special || std::strchr("&<>()@^|", line[j]) != nullptr;
            blank = blank || line[j] == ' ' || line[j] == '\t';
        }
    }
    cmd.mayStrip = true;
    cmd.mayKeep = !slashS && quotes.size() == 2 && !special && blank;
    return cmd;
}

// Whether each byte of the line from start stands inside double quotes as the interpreter reads
// it: a caret outside quotes takes the next character as it is, so a quote after it opens nothing.
std::vector<bool> InterpreterQuoting(const AnsiString& line, int start, bool strip)
{
    std::vector<bool> inside(size_t(line.Length()) + 2, false);
    int last = 0;
    for (int j = start; j <= line.Length(); ++j)
        if (line[j] == '"')
            last = j;
    bool quoted = false;
    for (int j = start; j <= line.Length(); j += CharLength(line, j))
    {
        if (strip && (j == start || j == last))
            continue;
        if (line[j] == '"')
            quoted = !quoted;
        else if (line[j] == '^' && !quoted)
            j += CharLength(line, j); // the escaped character stands outside quotes
        else
            inside[size_t(j)] = inside[size_t(j) + 1] = quoted;
    }
    return inside;
}

// The same for a program's run-time library: a quote after an odd number of backslashes is a
// character of the argument and toggles nothing.
std::vector<bool> ProgramQuoting(const AnsiString& line, int start)
{
    std::vector<bool> inside(size_t(line.Length()) + 2, false);
    bool quoted = false;
    int backslashes = 0;
    for (int j = start; j <= line.Length(); j += CharLength(line, j))
    {
        const bool toggles = line[j] == '"' && backslashes % 2 == 0;
        backslashes = line[j] == '\\' ? backslashes + 1 : 0;
        if (toggles)
            quoted = !quoted;
        else
            inside[size_t(j)] = inside[size_t(j) + 1] = quoted;
    }
    return inside;
}

// The first character of the path (at first..last in the line) that stands outside quotes where
// it would end the argument, or 0 when the path stays one argument.
int Unprotected(const AnsiString& line, int first, int last, const std::vector<bool>& inside)
{
    for (int i = first; i <= last; i += CharLength(line, i))
        if (!IsPlain(line, i) && !inside[size_t(i)])
            return i;
    return 0;
}

// The first character in the line at first..last that the reader would not take as part of one
// argument, or 0.
int FirstUnsafe(const AnsiString& line, int first, int last, TReader reader)
{
    const int programEnd = ProgramEnd(line);
    if (first < programEnd)
    {
        // The path is (part of) the program's name, handed to the shell as a file name.
        if (last >= programEnd)
            return programEnd;
        return 0;
    }
    const int params = SkipBlanks(line, programEnd);
    if (reader == rdProgram)
        return Unprotected(line, first, last, ProgramQuoting(line, params));
    TCmdLine cmd;
    if (reader == rdCmd)
        cmd = ReadCmdSwitches(line, params);
    else
        cmd.start = 1; // a batch file's line is read whole, program and all
    if (first < cmd.start)
        cmd = TCmdLine{params, false, true, cmd.delayed};
    for (bool strip : {false, true})
    {
        if ((strip && !cmd.mayStrip) || (!strip && !cmd.mayKeep))
            continue;
        if (const int at = Unprotected(line, first, last, InterpreterQuoting(line, cmd.start, strip)))
            return at;
    }
    return 0;
}

// The first character of the path that no quoting passes to the reader, or 0: a quote ends any
// quoted text; the interpreter expands "%" (and with delayed expansion "!") inside quotes too, and
// a control character ends its command. A file's path never ends with a backslash, which would
// take the closing quote into the argument.
int Unquotable(const AnsiString& path, TReader reader, bool delayed)
{
    int backslashAt = 0;
    for (int i = 1; i <= path.Length(); i += CharLength(path, i))
    {
        backslashAt = 0;
        if (CharLength(path, i) == 2)
            continue;
        const char c = path[i];
        if (c == '"')
            return i;
        if (reader != rdProgram && (static_cast<unsigned char>(c) < ' ' || c == '%' || (c == '!' && delayed)))
            return i;
        if (c == '\\')
            backslashAt = i;
    }
    return backslashAt;
}

// The program a line names, the path at first..last in its name (first 0: none there): the
// environment strings of the rest expanded, the quotes taken away, then looked for.
AnsiString ProgramOf(const AnsiString& line, int first, int last)
{
    const AnsiString name = line.SubString(1, ProgramEnd(line) - 1);
    if (first == 0)
        return LocateProgram(RemoveDoubleQuotes(ExpandEnvironmentText(name)));
    const AnsiString path = line.SubString(first, last - first + 1);
    return LocateProgram(RemoveDoubleQuotes(ExpandEnvironmentText(name.SubString(1, first - 1)) + path +
                           ExpandEnvironmentText(name.SubString(last + 1, name.Length()))));
}
} // namespace

typFileCommand ExpandFileMacro(const AnsiString& command, const AnsiString& path)
{
    typFileCommand result;
    const AnsiString text = command.Trim();
    const int at = text.AnsiPos("%F");
    const int programEnd = ProgramEnd(text);
    const bool inName = at != 0 && at < programEnd;
    if (!inName)
        result.program = ProgramOf(text, 0, 0);
    if (at == 0)
        result.line = text;
    else
    {
        const TReader reader = inName                      ? rdProgram
                               : result.program.IsEmpty() ? rdInterpreter
                                                          : ReaderOf(result.program);
        const int params = SkipBlanks(text, programEnd);
        bool delayed = false;
        if (reader == rdCmd)
            delayed = ReadCmdSwitches(text, params).delayed;
        else if (reader == rdInterpreter)
            delayed = DelayedExpansionInRegistry();
        if (const int bad = Unquotable(path, reader, delayed))
            result.refused = path.SubString(bad, CharLength(path, bad));
        else
        {
            // What the reader gets: the program's full path in quotes, as the shell hands it on,
            // then the parameters. A path in the program's name goes to the shell as a file name.
            const AnsiString head = inName ? AnsiString() : "\"" + result.program + "\" ";
            const int shift = inName ? 0 : head.Length() + 1 - params;
            const AnsiString before = text.SubString(1, at - 1);
            const AnsiString after = text.SubString(at + 2, text.Length());
            // As it is where that keeps it one argument (a plain name, or one inside quotes
            // already), else in quotes of its own.
            for (const AnsiString& quote : {AnsiString(), AnsiString("\"")})
            {
                const AnsiString line = before + quote + path + quote + after;
                const int first = at + quote.Length(), last = first + path.Length() - 1;
                const AnsiString read = inName ? line : head + line.SubString(params, line.Length());
                const int unsafe = FirstUnsafe(read, first + shift, last + shift, reader);
                if (unsafe == 0)
                {
                    result.line = line;
                    result.refused = "";
                    if (inName)
                        result.program = ProgramOf(line, first, last);
                    break;
                }
                result.refused = read.SubString(unsafe, CharLength(read, unsafe));
            }
        }
    }
    // A program found nowhere is reported as such, whatever the name would need.
    if (result.program.IsEmpty() && !inName)
        result.refused = "";
    if (!result.line.IsEmpty())
    {
        AnsiString name;
        SplitCommandLine(result.line, name, result.parameters);
    }
    return result;
}

AnsiString SystemCommandInterpreter()
{
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "";
    return WideToSjis(std::wstring(folder, n) + L"\\cmd.exe");
}

void SplitCommandLine(const AnsiString& command, AnsiString& program, AnsiString& parameters)
{
    const AnsiString line = command.Trim();
    const int blank = ProgramEnd(line);
    if (blank > line.Length())
    {
        program = line;
        parameters = "";
        return;
    }
    program = line.SubString(1, blank - 1);
    parameters = line.SubString(blank + 1, line.Length()).TrimLeft();
}
