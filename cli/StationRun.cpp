#include <ctime>
#include <memory>

#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "StopSignals.h"
#include "model/PartNumbers.h"
#include "platform/IniFile.h"
#include "platform/LocalTime.h"
#include "platform/ProcessIdentity.h"
#include "serial/PortDevicePath.h"
#include "station/StationCycle.h"

namespace {

struct StationRequest {
    std::string recipe;
    std::string log;
    std::optional<int> count;
    std::string operatorName;
};

const char* LoggedText(RecordOutcome::Kind kind) {
    switch (kind) {
        case RecordOutcome::Kind::Stored: return "stored";
        case RecordOutcome::Kind::Spooled: return "spooled";
        case RecordOutcome::Kind::Lost: return "lost";
    }
    return "";
}

std::string LocalClock(int64_t utcMs) {
    std::tm local{};
    ToLocalTime(static_cast<std::time_t>(utcMs / 1000), local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// One line per unit on stdout, or one JSON object; what goes wrong around
// it on stderr.
class ConsoleStation : public StationObserver {
public:
    ConsoleStation(CommandEnv& env, std::string device, std::string logShown)
        : m_env(env), m_device(std::move(device)), m_logShown(std::move(logShown)) {}

    void WaitingForUnit() override { m_env.ui.Report("Waiting for a controller on " + m_device + "..."); }

    void UnitDone(const UnitOutcome& outcome, const RecordOutcome& logged) override {
        const UnitRecord& unit = outcome.record;
        const bool pass = unit.result == UnitRecord::Result::Pass;
        if (m_env.global.json) {
            m_env.out << JsonLine({{"result", ResultText(unit.result)},
                                   {"reason", unit.reason},
                                   {"step", UnitStepName(outcome.reached)},
                                   {"half_written", outcome.halfWritten},
                                   {"device", unit.device},
                                   {"controller_id", unit.controllerId},
                                   {"part_number", unit.partNumber},
                                   {"date_code", unit.dateCode},
                                   {"firmware", unit.firmware},
                                   {"layout", unit.layout},
                                   {"psf_fingerprint", unit.psfFingerprint},
                                   {"blanking_fingerprint", unit.blankingFingerprint},
                                   {"started_at", FormatUtc(unit.startedAtMs)},
                                   {"finished_at", FormatUtc(unit.finishedAtMs)},
                                   {"station", unit.station},
                                   {"operator", unit.operatorName},
                                   {"record_uid", unit.recordUid},
                                   {"logged", LoggedText(logged.kind)}});
        } else {
            m_env.out << LocalClock(unit.finishedAtMs) << (pass ? " PASS " : " FAIL ") << unit.device;
            if (!unit.controllerId.empty()) m_env.out << " controller " << unit.controllerId;
            if (pass) {
                m_env.out << " part number " << unit.partNumber << " date code " << unit.dateCode << " PSF "
                          << unit.psfFingerprint;
                if (!unit.blankingFingerprint.empty()) m_env.out << " blanking " << unit.blankingFingerprint;
            } else {
                m_env.out << ": " << unit.reason;
            }
            m_env.out << "\n";
        }
        m_env.out.flush();
        if (outcome.halfWritten)
            m_env.ui.Report("The unit on " + unit.device +
                            " is half-written: it holds part of the recipe. Program it again before it "
                            "leaves the station.");
        if (!outcome.recordsProblem.empty())
            m_env.ui.Report(outcome.recordsProblem + "\nThe unit was written, but the audit log does not show it.");
        if (logged.kind == RecordOutcome::Kind::Spooled)
            m_env.ui.Report("Spooling: the production log " + m_logShown + " cannot take records now (" +
                            logged.error + "); " + std::to_string(logged.pending) +
                            (logged.pending == 1 ? " record waits" : " records wait") + " in the spool.");
        if (logged.kind == RecordOutcome::Kind::Lost)
            m_env.ui.Report("The unit could not be recorded: " + logged.error);
        if (!outcome.stopped && !m_last) m_env.ui.Report("Take the unit away; waiting for the next one...");
    }

    void Flushed(const FlushOutcome& flushed) override {
        for (const std::string& damaged : flushed.damaged) m_env.ui.Report("Spool: " + damaged);
        if (flushed.sent > 0)
            m_env.ui.Report(std::to_string(flushed.sent) + (flushed.sent == 1 ? " spooled record" : " spooled records") +
                            " sent to the production log " + m_logShown + ".");
        if (!flushed.error.empty() && flushed.pending > 0)
            m_env.ui.Report("Spooling: " + std::to_string(flushed.pending) +
                            (flushed.pending == 1 ? " record waits" : " records wait") +
                            " in the spool; the production log " + m_logShown + " cannot take them now (" +
                            flushed.error + ").");
    }

    // The last unit of a --count run is not waited for.
    void SetLast(bool last) { m_last = last; }

private:
    CommandEnv& m_env;
    std::string m_device;
    std::string m_logShown;
    bool m_last = false;
};

// Counts units so that the console can leave out the "take the unit away"
// line after the last one.
class CountingStation : public ConsoleStation {
public:
    CountingStation(CommandEnv& env, std::string device, std::string logShown, std::optional<int> count)
        : ConsoleStation(env, std::move(device), std::move(logShown)), m_count(count) {}
    void Step(UnitStep step) override {
        if (step == UnitStep::Diagnostics) SetLast(m_count && ++m_started >= *m_count);
    }

private:
    std::optional<int> m_count;
    int m_started = 0;
};

std::string DevicePathOf(const GlobalOptions& options, int& comNumber) {
    if (options.device) {
        comNumber = 0;
        return *options.device;
    }
    const int index = options.comNumber ? *options.comNumber - 1 : SavedPortIndex();
    comNumber = index + 1;
    return ComPortDevicePath(index);
}

std::optional<LogTarget> LogTargetOf(CommandEnv& env, const StationRequest& request, const StationRecipe* recipe) {
    std::string error;
    std::optional<LogTarget> target;
    if (!request.log.empty())
        target = ParseLogTarget(request.log, error);
    else if (recipe && recipe->log)
        target = recipe->log;
    else
        target = DefaultLogTarget(error);
    if (!target) env.ui.Report("veltrixctl: " + error);
    return target;
}

// Only what the spool holds goes to the log.
int SendSpool(CommandEnv& env, const StationRequest& request) {
    const auto target = LogTargetOf(env, request, nullptr);
    if (!target) return kExitUsage;
    std::string error;
    const std::unique_ptr<StationLog> log = StationLog::Open(*target, error);
    if (!log) {
        env.ui.Report("veltrixctl: " + error);
        return kExitUsage;
    }
    ConsoleStation console(env, {}, target->shown);
    const FlushOutcome flushed = log->Flush();
    console.Flushed(flushed);
    if (flushed.pending > 0) return kExitFile;
    if (flushed.sent == 0) env.ui.Report("The spool of the production log " + target->shown + " is empty.");
    return kExitOk;
}

int RunStation(CommandEnv& env, const StationRequest& request) {
    if (request.count && *request.count == 0) return SendSpool(env, request);

    std::string error;
    const std::unique_ptr<ProfileFile> profile = OpenAppProfile();
    const ProfileFile* partNumbers = profile && HasPartNumbers(*profile) ? profile.get() : nullptr;
    const std::optional<StationRecipe> recipe = LoadRecipe(request.recipe, partNumbers, error);
    if (!recipe) {
        env.ui.Report(error);
        return kExitUsage;
    }
    const auto target = LogTargetOf(env, request, &*recipe);
    if (!target) return kExitUsage;
    const std::unique_ptr<StationLog> log = StationLog::Open(*target, error);
    if (!log) {
        env.ui.Report("veltrixctl: " + error);
        return kExitUsage;
    }

    int comNumber = 0;
    const std::string device = DevicePathOf(env.global, comNumber);
    UnitContext context;
    context.station = CurrentProcessIdentity().host;
    context.device = device;
    context.operatorName = request.operatorName;
    const std::unique_ptr<UnitAccess> unit = OpenUnitAccess(device, comNumber);
    CountingStation console(env, device, target->shown, request.count);
    StationCycle cycle(*recipe, context, *unit, *log, console, [] { return StopSignals::Raised(); });
    const StationSummary summary = cycle.Run(request.count ? *request.count : -1);

    if (summary.failed > 0) return kExitController;
    if (summary.spooled > 0 || summary.lost > 0) return kExitFile;
    return kExitOk;
}

}  // namespace

void AddStationRunOptions(CLI::App& station, CommandEnv& env) {
    const auto request = std::make_shared<StationRequest>();
    station
        .add_option_function<std::string>(
            "--recipe",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--recipe needs a file");
                request->recipe = value;
            },
            "the recipe (TOML) every unit is programmed with")
        ->type_name("FILE");
    station
        .add_option_function<std::string>(
            "--count",
            [request](const std::string& value) {
                request->count = static_cast<int>(DecimalOrUsageError(
                    value, 0, 1000000, "--count needs a number of units from 0 to 1000000, not '" + value + "'"));
            },
            "end once N units are recorded (0: only send what\n"
            "the spool holds)")
        ->type_name("N");
    station
        .add_option_function<std::string>(
            "--log",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--log needs a log (a path, sqlite://... or postgresql://...)");
                request->log = value;
            },
            "the production log (wins over the recipe's): a\n"
            "path, sqlite:///PATH or postgresql://...")
        ->type_name("URL");
    station.add_option("--operator", request->operatorName, "the operator's name, kept with every unit")
        ->type_name("NAME");
    station.callback([&env, &station, request] {
        // station export has its own work.
        if (!station.get_subcommands().empty()) return;
        if (request->recipe.empty() && !(request->count && *request->count == 0))
            throw CLI::RequiredError("--recipe");
        env.run = [&env, request] { return RunStation(env, *request); };
    });
}
