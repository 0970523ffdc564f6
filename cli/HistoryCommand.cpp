// veltrixctl history: what each write replaced, and putting it back.
#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "history/ChangeHistory.h"
#include "platform/LocalTime.h"

namespace {

struct HistoryRequest {
    int number = 0;
    bool force = false;
};

Json ControllerJson(const ControllerIdentity& identity) {
    Json json = {{"id", ControllerIdText(identity.id)}};
    if (identity.hardware) {
        json["part_number"] = identity.hardware->partNumber;
        json["date_code"] = identity.hardware->dateCode;
        json["firmware"] = identity.hardware->firmware;
    }
    return json;
}

Json EntryJson(int number, const ChangeHistory::Item& item) {
    Json json = {{"number", number}, {"file", item.path}};
    if (!item.record) {
        json["problem"] = item.problem;
        return json;
    }
    const WriteRecord& r = *item.record;
    json["time"] = IsoLocalTime(r.time);
    json["what"] = WriteKindName(r.kind);
    json["command"] = r.command;
    json["device"] = r.device;
    json["stable_path"] = r.stablePath;
    json["controller"] = ControllerJson(r.controller);
    json["fingerprint_before"] = r.fingerprintBefore;
    json["fingerprint_after"] = r.fingerprintAfter;
    json["changes"] = ChangesJson(r.changes);
    return json;
}

int ListHistory(CommandEnv& env) {
    const std::vector<ChangeHistory::Item> items = ChangeHistory().List();
    Json list = Json::array();
    int number = 0;
    for (const ChangeHistory::Item& item : items) {
        ++number;
        if (env.global.json) {
            list.push_back(EntryJson(number, item));
            continue;
        }
        env.out << number << "  ";
        if (!item.record) {
            env.out << item.path << ": " << item.problem << "\n";
            continue;
        }
        const WriteRecord& r = *item.record;
        env.out << IsoLocalTime(r.time) << "  " << WriteKindName(r.kind) << "  "
                << r.fingerprintBefore << " -> " << r.fingerprintAfter << "  " << r.command << "  "
                << r.device << "  controller " << ControllerIdText(r.controller.id) << "\n";
    }
    if (env.global.json)
        env.out << JsonLine({{"folder", ChangeHistory().Folder()}, {"entries", list}});
    return kExitOk;
}

// Entry number N, or a message and nothing.
std::optional<ChangeHistory::Item> EntryOrReport(CommandEnv& env, int number) {
    std::optional<ChangeHistory::Item> item = ChangeHistory().Load(number);
    if (!item) {
        env.ui.Report("There is no history entry " + std::to_string(number) +
                      " ('veltrixctl history' lists them).");
        return std::nullopt;
    }
    if (!item->record) {
        env.ui.Report("History entry " + std::to_string(number) + " ('" + item->path +
                      "') cannot be used: " + item->problem + ".");
        return std::nullopt;
    }
    return item;
}

int ShowEntry(CommandEnv& env, int number) {
    const std::optional<ChangeHistory::Item> item = EntryOrReport(env, number);
    if (!item) return kExitFile;
    const WriteRecord& r = *item->record;
    if (env.global.json) {
        Json json = EntryJson(number, *item);
        if (r.kind == WriteKind::Blanking) json["channels"] = r.channels;
        json["replaced"] = BytesHex(r.before);
        json["sent"] = BytesHex(r.after);
        env.out << JsonLine(json);
        return kExitOk;
    }
    const auto line = [&env](const char* label) -> std::ostream& {
        return env.out << label << std::string(20 - std::string(label).size(), ' ');
    };
    line("Entry") << number << " (" << item->path << ")\n";
    line("Time") << IsoLocalTime(r.time) << "\n";
    line("Command") << r.command << "\n";
    line("Replaced") << WriteKindText(r.kind) << "\n";
    line("Device") << r.device
                   << (r.stablePath.empty() || r.stablePath == r.device ? ""
                                                                        : " (" + r.stablePath + ")")
                   << "\n";
    line("Controller") << ControllerIdText(r.controller.id);
    if (r.controller.hardware)
        env.out << ", part number " << r.controller.hardware->partNumber << ", date code "
                << r.controller.hardware->dateCode << ", firmware "
                << r.controller.hardware->firmware;
    env.out << "\n";
    line("Fingerprint before") << r.fingerprintBefore << "\n";
    line("Fingerprint after") << r.fingerprintAfter << "\n";
    if (!r.changes.empty()) env.out << "Changed:\n";
    for (const FieldChange& c : r.changes)
        env.out << "  " << c.field << ": " << c.before << " -> " << c.after << "\n";
    return kExitOk;
}

// Sends what entry N replaced back, read back and recorded like any write.
int RestoreEntry(CommandEnv& env, const HistoryRequest& request) {
    const std::optional<ChangeHistory::Item> item = EntryOrReport(env, request.number);
    if (!item) return kExitFile;
    const WriteRecord& r = *item->record;
    const std::optional<CPsfRecord> psf = r.ReplacedPsf();
    const std::optional<CBlankingMap> map = r.ReplacedBlanking();
    uint32_t partNumber = 0;
    uint16_t dateCode = 0;
    if (!psf && !map && !r.ReplacedPartNumber(partNumber, dateCode)) {
        env.ui.Report("History entry " + std::to_string(request.number) + " ('" + item->path +
                      "') holds no complete " + WriteKindText(r.kind) + ".");
        return kExitFile;
    }

    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    // What one controller held is not for another.
    session.IdentifyController();
    if (const std::string difference = IdentityDifference(r.IdentityAfter(), session.Identity());
        !difference.empty() && !request.force) {
        env.ui.Report("The controller on " + session.PortName() + " is not the one history entry " +
                      std::to_string(request.number) + " was made for (" + difference +
                      "). Nothing was sent (--force sends it all the same).");
        return kExitController;
    }

    const std::string command = "history restore " + std::to_string(request.number);
    WriteOutcome outcome;
    std::string failure;
    if (psf) {
        outcome = session.WritePsfVerified(*psf, command);
        failure = "Unable to output PSF.";
    } else if (map) {
        outcome = session.WriteBlankingVerified(*map, command);
        failure = "Unable to output blanking fields.";
    } else {
        outcome = session.WritePartNumberVerified(partNumber, dateCode, command);
        failure = "Error setting Part Number and Date Code.";
    }
    const int rc = session.WriteResult(outcome, failure);
    if (!outcome.Succeeded()) return rc;
    if (env.global.json) {
        env.out << JsonLine({{"restored", request.number},
                             {"what", WriteKindName(r.kind)},
                             {"fingerprint", r.fingerprintBefore},
                             {"verified", outcome.status == WriteOutcome::Status::Verified}});
    } else {
        env.out << "History entry " << request.number << ": the " << WriteKindText(r.kind)
                << " it replaced (" << r.fingerprintBefore << ") was sent back"
                << (outcome.status == WriteOutcome::Status::Verified ? " and read back" : "")
                << ".\n";
    }
    return rc;
}

void AddNumberedCommand(CLI::App& history, CommandEnv& env, const char* name,
                        const char* description, const std::shared_ptr<HistoryRequest>& request,
                        std::function<int()> action) {
    CLI::App* command = AddCommand(history, name, description);
    command
        ->add_option_function<std::string>(
            "N",
            [request](const std::string& value) {
                request->number = static_cast<int>(DecimalOrUsageError(
                    value, 1, 1000000,
                    "N needs an entry number from 'veltrixctl history', not '" + value + "'"));
            },
            "the entry's number in the list")
        ->type_name("")
        ->required();
    if (std::string(name) == "restore")
        command
            ->add_flag("--force", request->force,
                       "send it even to another controller than the one the\n"
                       "entry was made for")
            ->disable_flag_override();
    RunWhenChosen(command, env, std::move(action));
}

}  // namespace

void AddHistoryCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* history = AddCommand(app, "history",
                                   "what each write replaced in a controller, newest first;\n"
                                   "show one entry, or send what it replaced back");
    const auto request = std::make_shared<HistoryRequest>();
    // The list only when no sub-word was given (this runs after theirs).
    history->callback([&env, history] {
        if (history->get_subcommands().empty()) env.run = [&env] { return ListHistory(env); };
    });
    AddNumberedCommand(*history, env, "show",
                       "prints entry N: when, where, which controller, what changed", request,
                       [&env, request] { return ShowEntry(env, request->number); });
    AddNumberedCommand(*history, env, "restore",
                       "sends what entry N replaced back to the controller, read\n"
                       "back and itself kept in the history",
                       request, [&env, request] { return RestoreEntry(env, *request); });
}
