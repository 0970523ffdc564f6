#include "ExitCodes.h"
#include "Verbs.h"

int UsageError(VerbContext& context, const std::string& message, const char* usage) {
    context.err << "veltrixctl: " << message << "\n" << usage;
    context.err.flush();
    return kExitUsage;
}

bool ParseVerbArgs(VerbContext& context, const VerbArgs& args, const std::vector<OptionDef>& known,
                   const char* usage, const char* help, std::size_t minPositionals,
                   std::size_t maxPositionals, ParsedArgs& parsed, int& exitCode) {
    parsed = ParseArgs(args, known);
    if (!parsed.error.empty()) {
        exitCode = UsageError(context, parsed.error, usage);
        return false;
    }
    if (parsed.help) {
        context.out << usage << help;
        exitCode = kExitOk;
        return false;
    }
    if (parsed.positionals.size() < minPositionals) {
        exitCode = UsageError(context, "missing argument", usage);
        return false;
    }
    if (parsed.positionals.size() > maxPositionals) {
        exitCode = UsageError(context, "unexpected argument '" + parsed.positionals[maxPositionals] + "'",
                              usage);
        return false;
    }
    return true;
}
