#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "ConsoleUi.h"

namespace CLI {
class App;
}

// Options every command shares; they may stand before or after the command word.
struct GlobalOptions {
    std::optional<int> comNumber;       // --port N: COM N
    std::optional<std::string> device;  // --device PATH
    bool json = false;
    std::string traceFile;
    bool noVerify = false;  // --no-verify: writes are not read back
};

// What a command gets to work with. Data goes to out, messages through ui.
struct CommandEnv {
    GlobalOptions global;
    ConsoleUi& ui;
    std::ostream& out;
    // The chosen command's work, set while the command line is parsed and
    // run only once all of it was accepted. Returns an ExitCode.
    std::function<int()> run;
};

// Each command adds itself, its options and its help to the tool's command
// line; main.cpp calls these in one list. See README.md for adding one.
void AddProbeCommand(CLI::App& app, CommandEnv& env);
void AddDiagCommand(CLI::App& app, CommandEnv& env);
void AddPsfCommand(CLI::App& app, CommandEnv& env);
void AddBlankingCommand(CLI::App& app, CommandEnv& env);
void AddBlankingTeachCommand(CLI::App& blanking, CommandEnv& env);
void AddBeamsCommand(CLI::App& app, CommandEnv& env);
void AddPartNumberCommand(CLI::App& app, CommandEnv& env);
void AddRecoverCommand(CLI::App& app, CommandEnv& env);
void AddMonitorCommand(CLI::App& app, CommandEnv& env);
void AddReportCommand(CLI::App& app, CommandEnv& env);
void AddPortsCommand(CLI::App& app, CommandEnv& env);
void AddDoctorCommand(CLI::App& app, CommandEnv& env);
void AddStationCommand(CLI::App& app, CommandEnv& env);
void AddStationExportCommand(CLI::App& station, CommandEnv& env);
void AddStationRunOptions(CLI::App& station, CommandEnv& env);
void AddHistoryCommand(CLI::App& app, CommandEnv& env);
void AddAuditCommand(CLI::App& app, CommandEnv& env);
// Sub-words of psf, each in its own file.
void AddPsfSetCommand(CLI::App& psf, CommandEnv& env);
void AddPsfDiffCommand(CLI::App& psf, CommandEnv& env);

// The psf show part of the psf command, in its own file because of its size.
int ShowPsfFile(CommandEnv& env, const std::string& path);
