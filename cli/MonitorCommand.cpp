#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AlignmentSetup.h"
#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "StopSignals.h"
#include "JsonOutput.h"
#include "model/MeasurementStatistics.h"
#include "model/PsfExecuteRules.h"
#include "model/PsfFields.h"
#include "model/ScanReply.h"
#include "platform/Clock.h"
#include "platform/ErrorText.h"

namespace {

constexpr int kMaxCount = 1000000;

struct MonitorRequest {
    std::optional<int> count;  // none: until interrupted
    std::string csv;
    std::vector<std::string> modes;  // "meas1=FBB", "meas2=None" as given
};

std::string ModeText(uint8_t code) {
    const int index = LookupMeasurementMode(code);
    return index >= 0 ? kMeasurementModes[index].text : "?";
}

// Why the dialog would not try this set out, or nothing.
std::string RefusalOf(const CPsfRecord& chosen) {
    const std::string missing = MissingChoiceMessage(ChoicesFromRecord(chosen));
    return missing.empty() ? ExecuteRefusal(chosen) : missing;
}

// What the scans are shown against: the two measurements and their statistics.
struct Watch {
    int selector = 0;
    std::string modes[2];
    MeasurementStatistics stats[2];
    bool shown = false;

    bool On(int which) const {
        return which == 0 ? SelectorShowsMeas1(selector) : SelectorShowsMeas2(selector);
    }
    uint16_t Value(const CMeasurementScan& scan, int which) const {
        return which == 0 ? scan.Value1() : scan.Value2();
    }
};

void PrintScanLine(std::ostream& out, const Watch& watch, uint32_t elapsedMs,
                   const CMeasurementScan& scan) {
    char line[96];
    int used = std::snprintf(line, sizeof line, "%8u ms", static_cast<unsigned>(elapsedMs));
    for (int which = 0; which < 2; ++which) {
        if (!watch.On(which)) continue;
        used += std::snprintf(line + used, sizeof line - static_cast<size_t>(used), "  %s %5u",
                              watch.modes[which].c_str(), watch.Value(scan, which));
    }
    out << line << "\n" << std::flush;
}

void WriteCsvRow(std::ofstream& csv, const Watch& watch, uint32_t elapsedMs,
                 const CMeasurementScan& scan) {
    csv << elapsedMs;
    for (int which = 0; which < 2; ++which) {
        csv << ',';
        if (watch.On(which)) csv << watch.Value(scan, which);
    }
    csv << '\n' << std::flush;
}

Json StatisticsJson(const Watch& watch, int which) {
    if (!watch.On(which)) return nullptr;
    const MeasurementStatistics& s = watch.stats[which];
    Json json = {{"mode", watch.modes[which]}, {"low", nullptr}, {"high", nullptr},
                 {"present", nullptr}};
    if (watch.shown) {
        json["low"] = s.low;
        json["high"] = s.high;
        json["present"] = s.present;
    }
    return json;
}

void PrintSummary(std::ostream& out, const Watch& watch) {
    for (int which = 0; which < 2; ++which) {
        out << "Meas " << which + 1;
        const MeasurementStatistics& s = watch.stats[which];
        if (!watch.On(which))
            out << ": off\n";
        else if (!watch.shown)
            out << " " << watch.modes[which] << ": no value\n";
        else
            out << " " << watch.modes[which] << ": low " << s.low << ", high " << s.high
                << ", present " << s.present << "\n";
    }
}

// The scans: every one to the CSV file, the ones that differ from the one
// before to stdout and the statistics. kExitOk, or kExitController after a
// failed request.
int TakeScans(CommandEnv& env, CControllerLink& link, const MonitorRequest& request,
              std::ofstream* csv, Watch& watch) {
    CMeasurementScan previous(watch.selector);
    CMeasurementScan current(watch.selector);
    const uint32_t start = GetClock().TickMs();
    int taken = 0;
    while (!request.count || taken < *request.count) {
        if (StopSignals::Raised() || !env.out) {
            env.ui.Report("Stopped after " + std::to_string(taken) + " scans.");
            break;
        }
        if (!link.RequestScan(current)) {
            env.ui.Report("Could not input scan");
            return kExitController;
        }
        ++taken;
        const uint32_t elapsed = GetClock().TickMs() - start;
        if (csv) WriteCsvRow(*csv, watch, elapsed, current);
        if (!watch.shown || current != previous) {
            UpdateStatistics(watch.selector, current, watch.stats);
            if (!env.global.json) PrintScanLine(env.out, watch, elapsed, current);
            watch.shown = true;
        }
        previous = current;
    }
    return kExitOk;
}

int Monitor(CommandEnv& env, const MonitorRequest& request) {
    // Both modes given: a set the dialog would not try out is refused before
    // the controller hears anything.
    if (request.modes.size() >= 2) {
        CPsfRecord asked;
        std::string error;
        ApplyPsfSettings(asked, request.modes, error);
        if (const std::string refusal = ExecuteRefusal(asked); !refusal.empty()) {
            env.ui.Report(refusal);
            return kExitUsage;
        }
    }
    std::unique_ptr<std::ofstream> csv;
    if (!request.csv.empty()) {
        csv = std::make_unique<std::ofstream>(request.csv, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!*csv) {
            env.ui.Report("Unable to create file '" + request.csv + "' - " + ErrorText(errno));
            return kExitFile;
        }
        *csv << "time_ms,meas1,meas2\n";
    }

    // Where the original goes should it not go back, found writable first.
    const std::string savePath = FreshOriginalName();
    if (const int rc = CheckSavePath(env, savePath); rc != kExitOk) return rc;

    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CControllerLink& link = *session.Link();
    // The controller's own set, its checksum checked: it goes back at the
    // end, whatever happens once the trial set is in.
    if (const int rc = session.ReadOriginal("Unable to input existing controller's PSF."); rc != kExitOk)
        return rc;
    CPsfRecord chosen = session.OriginalPsf();
    std::string error;
    ApplyPsfSettings(chosen, request.modes, error);  // the values were checked when parsed
    if (chosen.GetScanningMethod() == kScanningEdgeCode && !request.modes.empty())
        env.ui.Report("Edge scanning: Meas 1 is LBB and Meas 2 None.");
    if (const std::string refusal = RefusalOf(chosen); !refusal.empty()) {
        env.ui.Report(refusal);
        return kExitUsage;
    }
    if (StopSignals::Raised()) {
        env.ui.Report("Stopped before the controller was changed.");
        return kExitOk;
    }
    if (const int rc = session.JournalOriginal("monitor"); rc != kExitOk) return rc;
    CPsfRecord trial = MakeTrialPsf(chosen);
    // From here on the original goes back whatever happens: the controller
    // may take the trial set and lose only its acknowledgement.
    session.SetRestoreFlag(1);
    Watch watch;
    watch.selector = MeasurementSelector(trial.GetMeasMode(0), trial.GetMeasMode(1));
    watch.modes[0] = ModeText(trial.GetMeasMode(0));
    watch.modes[1] = ModeText(trial.GetMeasMode(1));
    int result = kExitOk;
    if (!link.SendPsf(trial)) {
        env.ui.Report("Unable to output PSF.");
        result = kExitController;
    } else {
        link.SelectBaud(LookupBaudRate(trial.GetBaudCode()));
        result = TakeScans(env, link, request, csv.get(), watch);
    }
    if (csv && !*csv) {
        // A full disk must not pass for a complete record of the scans.
        env.ui.Report("Error writing to file '" + request.csv + "'");
        if (result == kExitOk) result = kExitFile;
    }

    if (!session.RestoreIfChanged(savePath)) result = kExitController;
    if (env.global.json) {
        env.out << JsonLine({{"meas1", StatisticsJson(watch, 0)}, {"meas2", StatisticsJson(watch, 1)}});
    } else {
        PrintSummary(env.out, watch);
    }
    return result;
}

// A mode as "measN=TEXT", refused while parsing when the table has no such text.
std::string ModeSetting(const std::string& option, const std::string& value) {
    const std::string setting = option.substr(2) + "=" + value;
    CPsfRecord scratch;
    std::string error;
    if (!ApplyPsfSettings(scratch, {setting}, error))
        throw CLI::ValidationError(option + " needs one of FBB, FBM, LBB, LBM, TBB, TBM, CBB, "
                                            "CBM, TRN, SEG, None");
    return option.substr(2) + "=" + ModeText(scratch.GetMeasMode(option == "--meas1" ? 0 : 1));
}

}  // namespace

void AddMonitorCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* monitor = AddCommand(app, "monitor", "tries a parameter set out with live measurements");
    monitor->footer(
        "The Execute sequence of the PSF dialog without the dialog: reads the\n"
        "controller's parameter set, sends it back as a trial set (Host control,\n"
        "binary measurement results; Meas 1 and Meas 2 as given, else the\n"
        "controller's own) with the port following its baud rate, takes\n"
        "measurement scans and prints each one that differs from the one\n"
        "before, then the lowest, highest and present value of each measurement.\n"
        "The original parameter set always goes back at the end, also after\n"
        "Ctrl-C, SIGTERM or SIGHUP; should it not, it is saved to a new\n"
        "veltrix-original-DATE-TIME.PSF here.\n"
        "\n"
        "With --json, one object at the end: {\"meas1\": {\"mode\", \"low\",\n"
        "\"high\", \"present\"}, \"meas2\": ...}, null for a measurement that is off.\n"
        "A set the dialog would not try out (both measurements None, one of them\n"
        "SEG) is refused with its message and exit status 2.");
    const auto request = std::make_shared<MonitorRequest>();
    monitor
        ->add_option_function<std::string>(
            "--count",
            [request](const std::string& value) {
                request->count = static_cast<int>(DecimalOrUsageError(
                    value, 1, kMaxCount, "--count needs a number from 1 to 1000000"));
            },
            "scans to take, 1 to 1000000 (default: until Ctrl-C)")
        ->type_name("N");
    monitor
        ->add_option_function<std::string>(
            "--csv",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--csv needs a file name");
                request->csv = value;
            },
            "write every scan to FILE as time_ms,meas1,meas2\n"
            "(an empty field for a measurement that is off)")
        ->type_name("FILE");
    for (const char* option : {"--meas1", "--meas2"}) {
        const std::string name = option;
        monitor
            ->add_option_function<std::string>(
                name,
                [request, name](const std::string& value) {
                    request->modes.push_back(ModeSetting(name, value));
                },
                name == "--meas1" ? "analysis mode of measurement 1: FBB, FBM, LBB, LBM,\n"
                                    "TBB, TBM, CBB, CBM, TRN, SEG or None"
                                  : "analysis mode of measurement 2, as --meas1")
            ->type_name("MODE");
    }
    RunWhenChosen(monitor, env, [&env, request] { return Monitor(env, *request); });
}
