#include "Console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "StopSignals.h"

ConsoleSession::ConsoleSession() { std::signal(SIGPIPE, SIG_IGN); }

ConsoleSession::~ConsoleSession() = default;

bool StdoutIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

InputLine ReadInputLine(std::string& line) {
    line.clear();
    for (;;) {
        if (StopSignals::Raised()) return InputLine::Stopped;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
        char c = 0;
        const ssize_t n = ready > 0 ? ::read(STDIN_FILENO, &c, 1) : -1;
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return InputLine::End;
        if (c == '\n') return InputLine::Line;
        line += c;
    }
}
