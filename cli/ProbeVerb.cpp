#include "CliSession.h"
#include "ExitCodes.h"
#include "JsonWriter.h"
#include "Verbs.h"

namespace {

constexpr const char* kUsage = "Usage: veltrixctl [OPTIONS] probe\n";
constexpr const char* kHelp =
    "\nSends the probe byte at 9600, 19200 and 38400 baud until a controller\n"
    "answers, and prints the rate it answered at and its id.\n";

}  // namespace

int RunProbe(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseVerbArgs(context, args, {}, kUsage, kHelp, 0, 0, parsed, exitCode)) return exitCode;

    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;

    ProbeInfo info;
    if (!session.Link()->Connect(info)) {
        context.ui.Report("No controller answered at 9600, 19200 or 38400 baud.");
        return kExitController;
    }
    const long baud = kLinkBaudRates[session.Link()->BaudIndex()];
    const std::string id(1, static_cast<char>(info.id));
    if (context.global.json) {
        JsonWriter json;
        json.BeginObject().Field("baud", static_cast<long long>(baud)).Field("id", id).EndObject();
        context.out << json.Text() << "\n";
    } else {
        context.out << "Controller " << id << " at " << baud << " baud\n";
    }
    return kExitOk;
}
