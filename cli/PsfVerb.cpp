#include "CliSession.h"
#include "ExitCodes.h"
#include "JsonWriter.h"
#include "Verbs.h"
#include "model/PsfFile.h"

namespace {

constexpr const char* kUsage =
    "Usage: veltrixctl [OPTIONS] psf get FILE\n"
    "       veltrixctl [OPTIONS] psf put FILE\n"
    "       veltrixctl [OPTIONS] psf show FILE\n";
constexpr const char* kHelp =
    "\n"
    "get   reads the controller's parameter set into FILE (154 bytes); an\n"
    "      existing FILE is replaced only once the new one is complete\n"
    "put   sends the parameter set in FILE to the controller\n"
    "show  prints the parameter set in FILE, every field and the 16 outputs;\n"
    "      needs no controller\n";

void PrintDone(VerbContext& context, const char* action, const std::string& path, uint8_t id) {
    if (context.global.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("file", path)
            .Field("action", action)
            .Field("id", std::string(1, static_cast<char>(id)))
            .EndObject();
        context.out << json.Text() << "\n";
    } else if (std::string(action) == "get") {
        context.out << "Parameter set of controller " << static_cast<char>(id) << " saved to '" << path
                    << "'.\n";
    } else {
        context.out << "Parameter set in '" << path << "' sent to controller " << static_cast<char>(id)
                    << ".\n";
    }
}

int GetPsf(VerbContext& context, const std::string& path) {
    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CPsfRecord record;
    if (!session.Link()->ReadPsf(record)) {
        context.ui.Report("Unable to input PSF.");
        return kExitController;
    }
    if (const int status = WritePsfFile(record, path); status != kPsfOk) {
        context.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    PrintDone(context, "get", path, record.Data()[0]);
    return kExitOk;
}

int PutPsf(VerbContext& context, const std::string& path) {
    // The file is checked before the port is touched: a bad file must not
    // cost the controller an exchange.
    CPsfRecord record;
    if (const int status = ReadPsfFile(record, path); status != kPsfOk) {
        context.ui.Report(FormatPsfFileError(status));
        return kExitFile;
    }
    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    if (!session.Link()->SendPsf(record)) {
        context.ui.Report("Unable to output PSF.");
        return kExitController;
    }
    PrintDone(context, "put", path, session.Link()->ControllerId());
    return kExitOk;
}

}  // namespace

int RunPsf(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseVerbArgs(context, args, {}, kUsage, kHelp, 0, 2, parsed, exitCode)) return exitCode;
    if (parsed.positionals.empty()) return UsageError(context, "psf needs get, put or show", kUsage);
    const std::string& action = parsed.positionals[0];
    if (action != "get" && action != "put" && action != "show") {
        return UsageError(context, "unknown psf command '" + action + "'", kUsage);
    }
    if (parsed.positionals.size() < 2) return UsageError(context, "psf " + action + " needs a FILE", kUsage);
    const std::string& path = parsed.positionals[1];
    if (action == "get") return GetPsf(context, path);
    if (action == "put") return PutPsf(context, path);
    return ShowPsfFile(context, path);
}
