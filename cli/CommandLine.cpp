#include "CommandLine.h"

#include <limits>
#include <sstream>

std::optional<unsigned long long> ParseDecimal(const std::string& text, unsigned long long min,
                                               unsigned long long max) {
    if (text.empty()) return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (value > (std::numeric_limits<unsigned long long>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

unsigned long long DecimalOrUsageError(const std::string& text, unsigned long long min,
                                       unsigned long long max, const std::string& message) {
    const auto value = ParseDecimal(text, min, max);
    if (!value) throw CLI::ValidationError(message);
    return *value;
}

CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& description) {
    // A command's footer is its own, not its parent's.
    return parent.add_subcommand(name, description)->group("Commands")->footer("");
}

void RunWhenChosen(CLI::App* command, CommandEnv& env, std::function<int()> action) {
    command->callback([&env, action = std::move(action)] { env.run = action; });
}

namespace {

class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        label("SUBCOMMAND", "COMMAND");
        label("Positionals", "Arguments");
    }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
        std::ostringstream out;
        out << make_usage(app, name);
        if (!app->get_description().empty()) out << "\n" << app->get_description() << "\n";
        out << make_positionals(app) << make_groups(app, mode) << make_subcommands(app, mode);
        if (!app->get_footer().empty()) out << "\n" << make_footer(app);
        return out.str();
    }
};

// The command the parse got deepest into.
const CLI::App& Deepest(const CLI::App& app) {
    const CLI::App* current = &app;
    while (!current->get_subcommands().empty()) current = current->get_subcommands().front();
    return *current;
}

// "psf get": the command words up to app, without the program's name.
std::string CommandWords(const CLI::App& app) {
    std::string words;
    for (const CLI::App* a = &app; a->get_parent(); a = a->get_parent()) {
        words = words.empty() ? a->get_name() : a->get_name() + " " + words;
    }
    return words;
}

std::string ProgramWords(const CLI::App& app) {
    const CLI::App* top = &app;
    while (top->get_parent()) top = top->get_parent();
    const std::string words = CommandWords(app);
    return words.empty() ? top->get_name() : top->get_name() + " " + words;
}

std::vector<const CLI::App*> CommandsOf(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

// "get, put or show"
std::string Alternatives(const CLI::App& app) {
    const auto commands = CommandsOf(app);
    std::string text;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (i > 0) text += i + 1 == commands.size() ? " or " : ", ";
        text += commands[i]->get_name();
    }
    return text;
}

// A word nobody asked for: an option no command has, a command word that
// does not exist, or an argument too many.
std::string ExtraText(const CLI::App& deepest, const std::string& extra) {
    if (extra.size() > 1 && extra[0] == '-')
        return "unknown option '" + extra.substr(0, extra.find('=')) + "'";
    if (!CommandsOf(deepest).empty()) {
        const std::string words = CommandWords(deepest);
        return "unknown " + (words.empty() ? "" : words + " ") + "command '" + extra + "'";
    }
    return "unexpected argument '" + extra + "'";
}

// A required command word or argument that is not there.
std::string MissingText(const CLI::App& deepest) {
    const std::string words = CommandWords(deepest);
    if (!CommandsOf(deepest).empty()) {
        return words.empty() ? "no command given" : words + " needs " + Alternatives(deepest);
    }
    for (const CLI::Option* option : deepest.get_options()) {
        if (option->get_positional() && option->get_required() && option->count() == 0) {
            return words + " needs a " + option->get_name();
        }
    }
    return "missing argument";
}

}  // namespace

std::shared_ptr<CLI::Formatter> MakeHelpFormatter() { return std::make_shared<HelpFormatter>(); }

std::string UsageErrorText(const CLI::App& app, const CLI::ParseError& error) {
    const CLI::App& deepest = Deepest(app);
    const std::vector<std::string> extras = app.remaining(true);
    if (dynamic_cast<const CLI::ExtrasError*>(&error) ||
        dynamic_cast<const CLI::RequiredError*>(&error)) {
        return extras.empty() ? MissingText(deepest) : ExtraText(deepest, extras.front());
    }
    const std::string what = error.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        // CLI11 names the option first: "--port: At Most 1 required but
        // received 2", "--device: 1 required TEXT missing", "json was given
        // a disallowed flag override" (without its dashes).
        std::string name = what.substr(0, what.find_first_of(": "));
        if (name.rfind("--", 0) != 0) name = "--" + name;
        if (what.find("flag override") != std::string::npos)
            return "option '" + name + "' takes no value";
        if (what.find("At Most") != std::string::npos) return "option '" + name + "' given twice";
        return "option '" + name + "' needs a value";
    }
    return what;
}

std::string UsageLine(const CLI::App& app) {
    const CLI::App& deepest = Deepest(app);
    return HelpFormatter().make_usage(&deepest, ProgramWords(deepest));
}
