// veltrixctl: the command-line tool over the core. This file only sorts out
// the options every command shares, installs the console UI and the
// settings store, and hands over to the command's own file.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "ExitCodes.h"
#include "Verbs.h"
#include "platform/IniFile.h"
#include "platform/SettingsStore.h"
#include "serial/TraceLog.h"

namespace {

constexpr const char* kUsage =
    "Usage: veltrixctl [--port N | --device PATH] [--json] [--trace FILE] COMMAND [ARGS]\n";

constexpr const char* kHelp =
    "\n"
    "Service tool for VELTRIX light curtain controllers on a serial line.\n"
    "\n"
    "Options:\n"
    "  --port N       use COM N: the device named by $VELTRIX_COM<N>, else by\n"
    "                 \"COM<N>\" in section \"Ports\" of the settings, else\n"
    "                 /dev/ttyS<N-1>. Default: the port the desktop program\n"
    "                 saved last, else COM2\n"
    "  --device PATH  use the serial device at PATH\n"
    "  --json         print one JSON object on stdout\n"
    "  --trace FILE   append every byte sent and received to FILE, with a\n"
    "                 time stamp and its direction\n"
    "  -h, --help     this text; COMMAND --help shows a command's own\n"
    "\n"
    "Commands:\n"
    "  probe                       find the controller (baud, id)\n"
    "  diag                        diagnostics: state, boards, identity\n"
    "  psf get FILE                controller's parameter set -> .PSF file\n"
    "  psf put FILE                .PSF file -> controller\n"
    "  psf show FILE               a .PSF file decoded\n"
    "  blanking get FILE           controller's blanking fields -> .BFS file\n"
    "  blanking put FILE           .BFS file -> controller\n"
    "  blanking clear              clear every blanking field\n"
    "  beams [--count N]           take N beam scans as the alignment does\n"
    "  partnumber NUMBER [--date-code CODE]\n"
    "                              write part number and date code\n"
    "\n"
    "Data goes to stdout, messages to stderr. Exit status: 0 success, 1 the\n"
    "controller failed or did not answer, 2 usage, 3 a file could not be read\n"
    "or written, 4 the port could not be opened.\n";

struct Verb {
    const char* name;
    int (*run)(VerbContext&, const VerbArgs&);
};

constexpr Verb kVerbs[] = {
    {"probe", RunProbe},       {"diag", RunDiag},   {"psf", RunPsf},
    {"blanking", RunBlanking}, {"beams", RunBeams}, {"partnumber", RunPartNumber},
};

// Splits "--name=value" and "--name value" for the shared options, which may
// stand before or after the command word. Returns false on a usage error.
bool ParseGlobalOptions(const std::vector<std::string>& args, GlobalOptions& options,
                        std::vector<std::string>& rest, bool& help, std::string& error) {
    bool commandSeen = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded) {
            rest.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            rest.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool takesValue = name == "--port" || name == "--device" || name == "--trace";
        if (takesValue) {
            std::string value;
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = "option '" + name + "' needs a value";
                return false;
            }
            if (name == "--port") {
                if (options.comNumber) {
                    error = "option '--port' given twice";
                    return false;
                }
                const auto number = ParseDecimal(value, 1, 255);
                if (!number) {
                    error = "--port needs a COM number from 1 to 255, not '" + value + "'";
                    return false;
                }
                options.comNumber = static_cast<int>(*number);
            } else if (name == "--device") {
                if (options.device || value.empty()) {
                    error = options.device ? "option '--device' given twice" : "--device needs a path";
                    return false;
                }
                options.device = value;
            } else {
                if (value.empty()) {
                    error = "--trace needs a file name";
                    return false;
                }
                options.traceFile = value;
            }
            continue;
        }
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (!commandSeen) {
            if (arg == "-h" || arg == "--help") {
                help = true;
                continue;
            }
            if (arg.size() > 1 && arg[0] == '-') {
                error = "unknown option '" + name + "'";
                return false;
            }
            commandSeen = true;
        }
        rest.push_back(arg);
    }
    if (options.comNumber && options.device) {
        error = "--port and --device exclude each other";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    GlobalOptions options;
    std::vector<std::string> rest;
    bool help = false;
    std::string error;
    if (!ParseGlobalOptions(args, options, rest, help, error)) {
        std::cerr << "veltrixctl: " << error << "\n" << kUsage;
        return kExitUsage;
    }
    if (help) {
        std::cout << kUsage << kHelp;
        return kExitOk;
    }
    if (rest.empty()) {
        std::cerr << "veltrixctl: no command given\n" << kUsage;
        return kExitUsage;
    }

    const Verb* verb = nullptr;
    for (const Verb& candidate : kVerbs) {
        if (rest.front() == candidate.name) verb = &candidate;
    }
    if (!verb) {
        std::cerr << "veltrixctl: unknown command '" << rest.front() << "'\n" << kUsage;
        return kExitUsage;
    }

    if (!options.traceFile.empty()) {
        // The serial layer carries on without a trace it cannot write; asked
        // for one on the command line, we would rather say so at once.
        std::ofstream probe(options.traceFile, std::ios::app);
        if (!probe) {
            std::cerr << "Unable to open trace file '" << options.traceFile << "' - "
                      << std::strerror(errno) << "\n";
            return kExitFile;
        }
        probe.close();
        SetTraceFile(options.traceFile);
    }

    // A closed output pipe must end a command through its own error path
    // (which still restores the controller), not kill the process.
    std::signal(SIGPIPE, SIG_IGN);

    ConsoleUi ui(std::cerr);
    ScopedUi uiScope(ui);
    IniSettingsStore settings;
    SetSettings(&settings);

    VerbContext context{options, ui, std::cout, std::cerr};
    const int result = verb->run(context, VerbArgs(rest.begin() + 1, rest.end()));
    std::cout.flush();
    SetSettings(nullptr);
    return result;
}
