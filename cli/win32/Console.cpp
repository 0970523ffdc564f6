#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "StopSignals.h"
#include "platform/TimerResolution.h"

namespace {

struct SavedConsole {
    UINT outputCodePage = 0;
    DWORD outputMode = 0;
    bool haveOutputMode = false;
};

SavedConsole g_saved;

}  // namespace

ConsoleSession::ConsoleSession() {
    // Put back at the end: the console window outlives the program.
    g_saved.outputCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(output, &g_saved.outputMode)) {
        g_saved.haveOutputMode = true;
        SetConsoleMode(output, g_saved.outputMode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    // The same bytes as on Linux, in a file as on the screen.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    UseFineTimerResolution(true);
}

ConsoleSession::~ConsoleSession() {
    UseFineTimerResolution(false);
    if (g_saved.haveOutputMode) SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), g_saved.outputMode);
    if (g_saved.outputCodePage != 0) SetConsoleOutputCP(g_saved.outputCodePage);
}

bool StdoutIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool StdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

namespace {

// The line is read by a thread of its own: a read of a console or a pipe
// cannot wait for a stop signal at the same time.
struct LineReader {
    HANDLE input = INVALID_HANDLE_VALUE;
    std::string line;
    bool ended = false;
};

DWORD WINAPI ReadLine(void* context) {
    auto* reader = static_cast<LineReader*>(context);
    for (;;) {
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(reader->input, &c, 1, &got, nullptr) || got == 0) {
            reader->ended = true;
            return 0;
        }
        if (c == '\n') return 0;
        reader->line += c;
    }
}

}  // namespace

InputLine ReadInputLine(std::string& line) {
    line.clear();
    auto* reader = new LineReader;
    reader->input = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE thread = CreateThread(nullptr, 0, ReadLine, reader, 0, nullptr);
    if (!thread) {
        delete reader;
        return InputLine::End;
    }
    while (WaitForSingleObject(thread, 100) == WAIT_TIMEOUT) {
        if (!StopSignals::Raised()) continue;
        // The reader is left to the end of the process if it cannot be
        // woken; it owns nothing but its own record.
        CancelSynchronousIo(thread);
        if (WaitForSingleObject(thread, 200) == WAIT_OBJECT_0) delete reader;
        CloseHandle(thread);
        return InputLine::Stopped;
    }
    CloseHandle(thread);
    line = reader->line;
    const bool ended = reader->ended;
    delete reader;
    // The console ends a line with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return ended ? InputLine::End : InputLine::Line;
}
