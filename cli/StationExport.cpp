#include <memory>

#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorText.h"
#include "station/StationLog.h"
#include "station/UnitsCsv.h"

namespace {

struct ExportRequest {
    std::string log;  // empty: the default log
    std::string csv;  // "-": stdout
    std::optional<int64_t> since;
};

// The log the command line names, else the default one; a refusal is a usage error.
std::optional<LogTarget> TargetOf(CommandEnv& env, const std::string& text) {
    std::string error;
    const auto target = text.empty() ? DefaultLogTarget(error) : ParseLogTarget(text, error);
    if (!target) env.ui.Report("veltrixctl: " + error);
    return target;
}

int Export(CommandEnv& env, const ExportRequest& request) {
    const auto target = TargetOf(env, request.log);
    if (!target) return kExitUsage;
    const bool toStdout = request.csv == "-";
    // A file that cannot be written is found before the log is asked.
    if (!toStdout) {
        if (const AtomicWriteResult check = CheckWritable(request.csv); !check.ok()) {
            env.ui.Report("Unable to create file '" + request.csv + "' - " + ErrorText(check.error));
            return kExitFile;
        }
    }
    std::string error;
    const std::unique_ptr<StationLog> log = StationLog::Open(*target, error);
    std::vector<UnitRecord> units;
    LogQuery query;
    query.sinceUtcMs = request.since;
    if (!log || !log->Log().Read(query, units, error)) {
        env.ui.Report("Unable to read the production log " + error);
        return kExitFile;
    }
    const std::string csv = UnitsCsv(units);
    if (toStdout) {
        env.out << csv;
    } else if (const AtomicWriteResult written = WriteFileAtomically(request.csv, csv.data(), csv.size());
               !written.ok()) {
        env.ui.Report("Unable to write file '" + request.csv + "' - " + ErrorText(written.error));
        return kExitFile;
    }
    // Units still in the spool are not in the log yet, so not in the export.
    const size_t pending = log->Pending();
    if (pending > 0)
        env.ui.Report(std::to_string(pending) + (pending == 1 ? " unit waits" : " units wait") +
                      " in the spool (" + log->Spool().Folder() + ") and " + (pending == 1 ? "is" : "are") +
                      " not in the export.");
    if (toStdout) return kExitOk;
    if (env.global.json) {
        env.out << JsonLine({{"file", request.csv}, {"units", units.size()}, {"spooled", pending}});
    } else {
        env.out << units.size() << (units.size() == 1 ? " unit" : " units") << " written to " << request.csv
                << ".\n";
    }
    return kExitOk;
}

}  // namespace

void AddStationExportCommand(CLI::App& station, CommandEnv& env) {
    CLI::App* command = AddCommand(station, "export", "write the production log out as CSV");
    command->footer(
        "Writes the units of the production log to a CSV file (RFC 4180, UTF-8):\n"
        "a header line with the log's column names, then one line per unit, oldest\n"
        "first, times in UTC (2026-03-15T10:02:03.004Z). The file is replaced only\n"
        "once it is complete. Units still waiting in the spool are not in the log\n"
        "yet; their number is reported.");
    const auto request = std::make_shared<ExportRequest>();
    command
        ->add_option_function<std::string>(
            "--log",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--log needs a log (a path, sqlite://... or postgresql://...)");
                request->log = value;
            },
            "the production log: sqlite:///PATH, a path, or\n"
            "postgresql://...; default: production.sqlite in\n"
            "the data folder")
        ->type_name("URL");
    command
        ->add_option_function<std::string>(
            "--csv",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--csv needs a file name");
                request->csv = value;
            },
            "the CSV file to write (- for standard output)")
        ->type_name("FILE")
        ->required();
    command
        ->add_option_function<std::string>(
            "--since",
            [request](const std::string& value) {
                request->since = ParseSince(value);
                if (!request->since)
                    throw CLI::ValidationError("--since needs a date (2026-03-15) or a local time (2026-03-15T06:00), not '" +
                                               value + "'");
            },
            "only units started from DATE on (YYYY-MM-DD, or\n"
            "YYYY-MM-DDTHH:MM[:SS], local time)")
        ->type_name("DATE");
    RunWhenChosen(command, env, [&env, request] { return Export(env, *request); });
}
