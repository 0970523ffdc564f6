#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "CliArgs.h"
#include "ConsoleUi.h"

// Options that come before (or after) the command word.
struct GlobalOptions {
    std::optional<int> comNumber;       // --port N: COM N
    std::optional<std::string> device;  // --device PATH
    bool json = false;
    std::string traceFile;
};

// What a command gets to work with. Data goes to out, everything else to
// the console UI (messages) or err (usage).
struct VerbContext {
    const GlobalOptions& global;
    ConsoleUi& ui;
    std::ostream& out;
    std::ostream& err;
};

using VerbArgs = std::vector<std::string>;

// Each command returns an ExitCode.
int RunProbe(VerbContext& context, const VerbArgs& args);
int RunDiag(VerbContext& context, const VerbArgs& args);
int RunPsf(VerbContext& context, const VerbArgs& args);
int RunBlanking(VerbContext& context, const VerbArgs& args);
int RunBeams(VerbContext& context, const VerbArgs& args);
int RunPartNumber(VerbContext& context, const VerbArgs& args);

// The psf show part of RunPsf, in its own file because of its size.
int ShowPsfFile(VerbContext& context, const std::string& path);

// Prints "veltrixctl: message" and the usage text on err; returns kExitUsage.
int UsageError(VerbContext& context, const std::string& message, const char* usage);
// Parses a command's arguments; on a bad argument or --help prints what is
// due and sets exitCode (kExitUsage or kExitOk). Returns true when the
// command should go on.
bool ParseVerbArgs(VerbContext& context, const VerbArgs& args, const std::vector<OptionDef>& known,
                   const char* usage, const char* help, std::size_t minPositionals,
                   std::size_t maxPositionals, ParsedArgs& parsed, int& exitCode);
