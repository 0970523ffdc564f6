#include <cstdlib>
#include <memory>

#include "AlignmentSetup.h"
#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "platform/Environment.h"
#include "platform/ProgramVersion.h"
#include "report/CServiceReportCommand.h"
#include "report/ReportFile.h"
#include "report/ReportRender.h"
#include "serial/PortDevicePath.h"
#include "serial/TraceLog.h"

namespace {

constexpr long kBaudAtStart = 9600;

struct ReportRequestArgs {
    std::string out;  // empty: a new file named after the time; "-": stdout
    bool withScan = false;
};

// The port as the other commands pick it: --device (opened as COM1), --port,
// else the one the desktop program saved last.
int PortIndexFor(const GlobalOptions& options) {
    if (options.device) return 0;
    if (options.comNumber) return *options.comNumber - 1;
    return SavedPortIndex();
}

int ExitCodeOf(const ServiceReport& report) {
    if (report.port.status.state == SectionState::Failed) return kExitPort;
    return report.AllOk() ? kExitOk : kExitController;
}

int Report(CommandEnv& env, const ReportRequestArgs& args) {
    // A signal does not end the command while the alignment settings are in
    // the controller (the tool's stop signals only raise a flag): the report
    // is short, so it runs to its end.
    const GlobalOptions& global = env.global;
    const int portIndex = PortIndexFor(global);
    CServiceReportCommand::DeviceOrigin origin;
    if (global.device) {
        // Opened through the COM mapping, as CliSession opens a device.
        SetEnvironmentValue(ComPortEnvironmentName(portIndex), *global.device);
        origin = {*global.device, "--device"};
    }

    // The report shows the trace of this run, whether or not --trace asked for a file.
    KeepRecentTrace(true);
    CServiceReportCommand command(nullptr, portIndex, kBaudAtStart, VersionLine("veltrixctl"));
    ReportRequest request;
    request.withScan = args.withScan;
    // Should the original not go back, it is saved rather than lost.
    request.restore = [&env, &command] { return RestoreOriginal(command, env.ui, FreshOriginalName()); };
    const ServiceReport report = command.Gather(request, origin);

    for (const SummaryLine& line : Summarize(report)) {
        if (line.state == SectionState::Failed) env.ui.Report(line.section + ": " + line.text);
    }
    const bool toStdout = args.out == "-";
    const std::string text = global.json ? RenderReportJson(report, !toStdout) : RenderReportHtml(report);
    if (toStdout) {
        env.out << text;
        return ExitCodeOf(report);
    }
    const std::string path = args.out.empty() ? DefaultReportName("", global.json) : args.out;
    std::string error;
    if (!WriteReportFile(path, text, error)) {
        env.ui.Report("Unable to write service report '" + path + "' - " + error);
        return kExitFile;
    }
    env.out << path << "\n";
    return ExitCodeOf(report);
}

}  // namespace

void AddReportCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* report = AddCommand(app, "report", "write a service report for remote support");
    report->footer(
        "Reads the controller without changing it (probe, diagnostics, parameter\n"
        "set, blanking) and writes one self-contained HTML file: a summary first,\n"
        "then each section decoded, the serial device with its permissions and the\n"
        "processes holding it, and the last 200 lines of the protocol trace of this\n"
        "run. A step that fails is reported in its section with the system's\n"
        "message, on stderr too, and the file is written all the same (exit status\n"
        "1; 4 when the port could not be opened). With --json the same content is\n"
        "written as one JSON object. The path written is printed on stdout.");
    const auto args = std::make_shared<ReportRequestArgs>();
    report->add_option("--out", args->out,
                       "the file to write, - for stdout (default: a new\n"
                       "veltrix-report-DATE-TIME.html, or .json, here)")
        ->type_name("FILE");
    report->add_flag("--with-scan", args->withScan,
                     "also take one beam scan: the alignment settings go\n"
                     "into the controller for it; its own parameter set\n"
                     "is sent back and read again to check it");
    RunWhenChosen(report, env, [&env, args] { return Report(env, *args); });
}
