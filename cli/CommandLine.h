#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CommandEnv.h"

// The pieces of veltrixctl's command line that every command uses: its own
// number rules, how a command is added, the help layout and the wording of
// usage errors.

// Strict decimal: one or more digits, nothing else (no sign, no blanks, no
// suffix, no base prefix), and within [min, max]. Nothing for anything else,
// so "12A456", "1e3" or "0x10" never turn into a number.
std::optional<unsigned long long> ParseDecimal(const std::string& text, unsigned long long min,
                                               unsigned long long max);
// The same, for an option's or argument's value: a usage error worded
// `message` when the text is not such a number.
unsigned long long DecimalOrUsageError(const std::string& text, unsigned long long min,
                                       unsigned long long max, const std::string& message);

// A command word under parent, listed in the help's "Commands".
CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description);
// Makes action the work to do when command is chosen. It runs only after
// the whole command line was accepted, never halfway through parsing.
void RunWhenChosen(CLI::App* command, CommandEnv& env, std::function<int()> action);

// Help pages that open with their usage line, then the description, the
// arguments, options and commands, and the footer.
std::shared_ptr<CLI::Formatter> MakeHelpFormatter();

// After a failed parse of app's command line: the error as the tool words it
// ("unknown option '--frob'") and the usage line of the command it concerns.
std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& error);
std::string UsageLine(const CLI::App& app);
