#include "CliArgs.h"

#include <limits>

std::optional<unsigned long long> ParseDecimal(const std::string& text, unsigned long long min,
                                               unsigned long long max) {
    if (text.empty()) return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (std::numeric_limits<unsigned long long>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionDef* match = nullptr;
        for (const OptionDef& option : known) {
            if (name == option.name) match = &option;
        }
        if (!match) {
            parsed.error = "unknown option '" + name + "'";
            return parsed;
        }
        if (parsed.Has(name)) {
            parsed.error = "option '" + name + "' given twice";
            return parsed;
        }
        if (!match->takesValue) {
            if (equals != std::string::npos) {
                parsed.error = "option '" + name + "' takes no value";
                return parsed;
            }
            parsed.options[name] = "";
            continue;
        }
        if (equals != std::string::npos) {
            parsed.options[name] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.options[name] = args[++i];
        } else {
            parsed.error = "option '" + name + "' needs a value";
            return parsed;
        }
    }
    return parsed;
}
