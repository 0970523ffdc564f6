#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "serial/net/NetDeviceName.h"

namespace {

int Probe(CommandEnv& env) {
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;

    // Over a raw TCP device server the probe's rates switch nothing: the
    // controller answers at whatever rate the server's line has.
    const std::string device = session.DevicePath();
    ProbeInfo info;
    if (!session.Link()->Connect(info)) {
        env.ui.Report(NoControllerText(device));
        return kExitController;
    }
    const long baud = kLinkBaudRates[session.Link()->BaudIndex()];
    const std::string id(1, static_cast<char>(info.id));
    if (env.global.json) {
        Json rate = baud;
        if (RateIsTheServers(device)) rate = kServersRate;
        env.out << JsonLine({{"baud", rate}, {"id", id}});
    } else {
        env.out << "Controller " << id << " at " << LineRateText(device, baud) << "\n";
    }
    return kExitOk;
}

}  // namespace

void AddProbeCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* probe = AddCommand(app, "probe", "find the controller (baud, id)");
    probe->footer(
        "Sends the probe byte at 9600, 19200 and 38400 baud until a controller\n"
        "answers, and prints the rate it answered at and its id. Over tcp://\n"
        "the rate is the device server's: the tool cannot switch it, and\n"
        "says \"the server's rate\" instead of a number.");
    RunWhenChosen(probe, env, [&env] { return Probe(env); });
}
