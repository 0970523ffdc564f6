// veltrixctl: the command-line tool over the core. This file sets up the
// options every command shares, lets each command add itself, installs the
// console UI and the settings store, and runs the command chosen.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <iostream>
#include <string>

#include "CommandEnv.h"
#include "CommandLine.h"
#include "Console.h"
#include "ConsoleUi.h"
#include "ExitCodes.h"
#include "StopSignals.h"
#include "platform/ErrorText.h"
#include "platform/ProgramVersion.h"
#include "platform/UserSettings.h"
#include "history/WriteRecord.h"
#include "serial/CommDeviceFactory.h"
#include "serial/TraceLog.h"
#include "serial/net/NetDeviceName.h"

namespace {

constexpr const char* kDescription =
    "Service tool for VELTRIX light curtain controllers on a serial line.";

std::string Footer() {
    return std::string("Data goes to stdout, messages to stderr. Exit status: 0 success, 1 the\n"
                       "controller failed or did not answer, 2 usage, 3 a file could not be read\n"
                       "or written (standard output included), 4 the port could not be opened;\n") +
           StopSignals::StatusHelp() + "\nCOMMAND --help shows a command's own options.";
}

// Every command of the tool, in the order the help lists them.
void AddCommands(CLI::App& app, CommandEnv& env) {
    AddProbeCommand(app, env);
    AddDiagCommand(app, env);
    AddPsfCommand(app, env);
    AddBlankingCommand(app, env);
    AddBeamsCommand(app, env);
    AddMonitorCommand(app, env);
    AddPartNumberCommand(app, env);
    AddRecoverCommand(app, env);
    AddHistoryCommand(app, env);
    AddAuditCommand(app, env);
    AddReportCommand(app, env);
    AddPortsCommand(app, env);
    AddDoctorCommand(app, env);
    AddStationCommand(app, env);
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& options) {
    app.add_option_function<std::string>(
           "--port",
           [&options](const std::string& value) {
               options.comNumber = static_cast<int>(DecimalOrUsageError(
                   value, 1, 255, "--port needs a COM number from 1 to 255, not '" + value + "'"));
           },
           std::string("use COM N: the device named by $VELTRIX_COM<N>, else by\n"
                       "\"COM<N>\" in section \"Ports\" of the settings, else\n") +
               DefaultComDeviceTemplate() +
               ". Default: the port the desktop program\n"
               "saved last, else COM2")
        ->type_name("N");
    app.add_option_function<std::string>(
           "--device",
           [&options](const std::string& value) {
               if (value.empty()) throw CLI::ValidationError("--device needs a path");
               std::string error;
               if (IsNetDeviceName(value) && !ParseNetDeviceName(value, &error))
                   throw CLI::ValidationError("--device: " + error);
               options.device = value;
           },
           "use the serial device at PATH, or a serial device server:\n"
           "rfc2217://HOST:PORT (RFC 2217: the tool sets the line) or\n"
           "tcp://HOST:PORT (raw: the line is set at the server)")
        ->type_name("PATH");
    app.add_flag("--json", options.json, "print one JSON object on stdout")
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option_function<std::string>(
           "--trace",
           [&options](const std::string& value) {
               if (value.empty()) throw CLI::ValidationError("--trace needs a file name");
               options.traceFile = value;
           },
           "append every byte sent and received to FILE, with a\n"
           "time stamp and its direction")
        ->type_name("FILE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_flag("--no-verify", options.noVerify,
                 "for scripts: do not read writes back to compare them (they\n"
                 "are kept in the history and audited as unverified)")
        ->disable_flag_override()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.final_callback([&options] {
        if (options.comNumber && options.device) {
            throw CLI::ValidationError("--port and --device exclude each other");
        }
    });
}

// Opens the trace file the command line asked for. The serial layer carries
// on without a trace it cannot write; asked for one, we would rather say so.
// Only a regular file is taken: a FIFO nobody reads would block the open.
bool StartTrace(const std::string& path) {
    std::string error;
    if (!UseTraceFile(path, error)) {
        std::cerr << "Unable to open trace file '" << path << "' - " << error << "\n";
        return false;
    }
    return true;
}

// Data that did not reach stdout (a full disk, a reader that went away) is
// a failed command, whatever the controller said.
int CheckOutput(int result) {
    errno = 0;
    std::cout.flush();
    if (std::cout) return result;
    const int error = errno;
    std::cerr << "Unable to write to standard output"
              << (error ? std::string(" - ") + ErrorText(error) : std::string()) << "\n";
    return result == kExitOk ? kExitFile : result;
}

}  // namespace

int main(int argc, char** argv) {
    const ConsoleSession console;

    ConsoleUi ui(std::cerr);
    CommandEnv env{GlobalOptions{}, ui, std::cout, {}};

    CLI::App app(kDescription, "veltrixctl");
    app.formatter(MakeHelpFormatter());
    app.set_help_flag("-h,--help", "this text");
    app.set_version_flag("--version", VersionLine("veltrixctl"), "the program's version");
    app.footer(Footer());
    // Options of the tool stay valid after the command word.
    app.fallthrough();
    app.require_subcommand(1);
    AddGlobalOptions(app, env.global);
    AddCommands(app, env);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return CheckOutput(kExitOk);
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << "\n";
        return CheckOutput(kExitOk);
    } catch (const CLI::ParseError& error) {
        std::cerr << "veltrixctl: " << UsageErrorText(app, error) << "\n" << UsageLine(app);
        return kExitUsage;
    }

    if (!env.global.traceFile.empty() && !StartTrace(env.global.traceFile)) return kExitFile;

    SetRecordingProgram("veltrixctl", ProgramVersion());
    ScopedUi uiScope(ui);
    const std::unique_ptr<SettingsStore> settings = OpenUserSettings();
    SetSettings(settings.get());
    // From here on SIGINT, SIGTERM and SIGHUP (Ctrl-C, Ctrl-Break and a
    // closed console on Windows) let the command end its own way: port
    // closed, controller restored.
    const StopSignals stopSignals;
    const int result = env.run();
    SetSettings(nullptr);
    return StopSignals::ExitStatus(CheckOutput(result));
}
