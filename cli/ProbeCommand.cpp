#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"

namespace {

int Probe(CommandEnv& env) {
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;

    ProbeInfo info;
    if (!session.Link()->Connect(info)) {
        env.ui.Report("No controller answered at 9600, 19200 or 38400 baud.");
        return kExitController;
    }
    const long baud = kLinkBaudRates[session.Link()->BaudIndex()];
    const std::string id(1, static_cast<char>(info.id));
    if (env.global.json) {
        env.out << JsonLine({{"baud", baud}, {"id", id}});
    } else {
        env.out << "Controller " << id << " at " << baud << " baud\n";
    }
    return kExitOk;
}

}  // namespace

void AddProbeCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* probe = AddCommand(app, "probe", "find the controller (baud, id)");
    probe->footer(
        "Sends the probe byte at 9600, 19200 and 38400 baud until a controller\n"
        "answers, and prints the rate it answered at and its id.");
    RunWhenChosen(probe, env, [&env] { return Probe(env); });
}
