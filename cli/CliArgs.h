#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// Strict decimal: one or more digits, nothing else (no sign, no blanks, no
// suffix), and within [min, max]. Nothing for anything else, so "12A456" or
// "1e3" never turn into a number.
std::optional<unsigned long long> ParseDecimal(const std::string& text, unsigned long long min,
                                               unsigned long long max);

struct OptionDef {
    const char* name;  // with its dashes: "--count"
    bool takesValue;
};

// The options and positional arguments of one command. "--name value" and
// "--name=value" are both accepted; "--" ends the options; "-h" and
// "--help" ask for the command's help.
struct ParsedArgs {
    std::map<std::string, std::string> options;  // present options; empty value for flags
    std::vector<std::string> positionals;
    bool help = false;
    std::string error;  // set when the arguments are not acceptable

    bool Has(const std::string& name) const { return options.count(name) != 0; }
};

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known);
