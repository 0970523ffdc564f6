#pragma once

#include <string>

// The console veltrixctl writes to and reads from; what differs per OS lives
// in posix/ and win32/.

// Set up for the whole run and put back at its end. On Windows: UTF-8
// output, virtual-terminal mode for beams --watch, standard output and
// error written byte for byte (line ends as on Linux), and 1 ms timer
// resolution for the delays between exchanges. On POSIX: a closed output
// pipe ends a command through its own error path (which still restores the
// controller) instead of killing the process.
class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;
};

// Whether standard output is a terminal (a console window on Windows), where
// beams --watch redraws in place; and whether standard input is one, which
// echoes what is typed.
bool StdoutIsTerminal();
bool StdinIsTerminal();

// One line from standard input, without its line end. A stop signal ends
// the wait (Stopped); so does the end of the input (End, with what was read).
enum class InputLine { Line, End, Stopped };
InputLine ReadInputLine(std::string& line);
