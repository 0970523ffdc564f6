#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "StopSignals.h"
#include "command/CRecoveryCommand.h"
#include "platform/UiServices.h"

namespace {

struct RecoverRequest {
    bool list = false;
    bool force = false;
    std::string discard;
};

// What became of one journal file.
struct Outcome {
    const RecoveryJournal::Item* item;
    // "restored", "failed", "refused", "running", "unusable", "pending"
    std::string state;
};

// The recovery as this tool runs it: another controller on the entry's
// device gets nothing unless --force says so.
class CliRecovery : public CRecoveryCommand {
  public:
    using CRecoveryCommand::CRecoveryCommand;
    bool Refused() const { return m_refused; }

  protected:
    bool SendToOtherController(const RecoveryEntry& entry, const std::string& difference) override {
        Ui().MessageBox("The controller on " + EntryPortName(entry) + " is not the one this entry was made for (" +
                            difference + "). Nothing was sent. Use --force to send it anyway.",
                        MsgButtons::Ok, MsgIcon::Exclamation);
        m_refused = true;
        return false;
    }

  private:
    bool m_refused = false;
};

std::string PortOf(const RecoveryJournal::Item& item) {
    if (!item.entry) return item.device.empty() ? item.path : item.device;
    const RecoveryEntry& entry = *item.entry;
    return entry.comNumber > 0 ? "COM" + std::to_string(entry.comNumber) + " (" + entry.device + ")"
                               : entry.device;
}

std::string Describe(const Outcome& outcome) {
    const RecoveryJournal::Item& item = *outcome.item;
    if (outcome.state == "unusable") return item.path + ": cannot be used: " + item.why + "; kept";
    const RecoveryEntry& entry = *item.entry;
    std::string text = PortOf(item) + ": " + entry.command + " started " + FormatStartTime(entry.started) +
                       ", original " + EntryContents(entry);
    if (outcome.state == "restored") return text + " sent back";
    if (outcome.state == "failed") return text + " could not be sent back; kept";
    if (outcome.state == "refused") return text + " not sent: another controller answers there; kept";
    if (outcome.state == "running") return text + ", still in use by process " + std::to_string(entry.writer.pid);
    return text + ", waiting to be sent back";
}

Json ToJson(const Outcome& outcome) {
    const RecoveryJournal::Item& item = *outcome.item;
    Json json = {{"file", item.path}, {"device", item.entry ? item.entry->device : item.device}};
    if (item.entry) {
        const RecoveryEntry& entry = *item.entry;
        json["com"] = entry.comNumber > 0 ? Json(entry.comNumber) : Json(nullptr);
        json["command"] = entry.command;
        json["started"] = FormatStartTime(entry.started);
        json["pid"] = entry.writer.pid;
        json["parameter_set"] = entry.psf.has_value();
        json["blanking"] = entry.blanking.has_value();
    }
    json["state"] = outcome.state;
    if (outcome.state == "unusable") json["why"] = item.why;
    return json;
}

// The state of a journal file before anything is done with it.
std::string StateOf(const RecoveryJournal::Item& item) {
    if (item.problem != EntryProblem::None) return "unusable";
    return ::StateOf(item.entry->writer) == ProcessState::Gone ? "pending" : "running";
}

void Print(CommandEnv& env, const std::vector<Outcome>& outcomes) {
    if (env.global.json) {
        Json entries = Json::array();
        for (const Outcome& outcome : outcomes) entries.push_back(ToJson(outcome));
        env.out << JsonLine({{"entries", std::move(entries)}});
        return;
    }
    if (outcomes.empty()) env.out << "Nothing to recover.\n";
    for (const Outcome& outcome : outcomes) env.out << Describe(outcome) << ".\n";
}

int List(CommandEnv& env, const std::vector<RecoveryJournal::Item>& items) {
    std::vector<Outcome> outcomes;
    for (const auto& item : items) outcomes.push_back({&item, StateOf(item)});
    Print(env, outcomes);
    return kExitOk;
}

// Every file that stands for the device: named by its path, its resolved
// path or "COM<n>".
int Discard(CommandEnv& env, const RecoveryJournal& journal, const std::vector<RecoveryJournal::Item>& items,
            const std::string& device) {
    const std::string resolved = ResolvedDevicePath(device);
    std::vector<Outcome> discarded;
    for (const auto& item : items) {
        const bool named = item.device == device || (item.entry && item.entry->resolved == resolved) ||
                           (item.entry && item.entry->comNumber > 0 &&
                            "COM" + std::to_string(item.entry->comNumber) == device);
        if (!named) continue;
        if (StateOf(item) == "running") {
            env.ui.Report("The recovery entry of " + PortOf(item) + " belongs to " + item.entry->command +
                          ", still running as process " + std::to_string(item.entry->writer.pid) +
                          "; it was kept.");
            return kExitController;
        }
        std::string error;
        if (!journal.Remove(item, error)) {
            env.ui.Report(error);
            return kExitFile;
        }
        discarded.push_back({&item, "discarded"});
    }
    if (discarded.empty()) {
        env.ui.Report("There is no recovery entry for " + device + ".");
        return kExitController;
    }
    if (env.global.json) {
        Print(env, discarded);
    } else {
        for (const Outcome& outcome : discarded) env.out << "Discarded " << outcome.item->path << ".\n";
    }
    return kExitOk;
}

int SendBack(CommandEnv& env, const std::vector<RecoveryJournal::Item>& items, bool force) {
    std::vector<Outcome> outcomes;
    int result = kExitOk;
    for (const auto& item : items) {
        Outcome outcome{&item, StateOf(item)};
        if (outcome.state == "unusable") result = kExitController;
        if (outcome.state == "pending" && !StopSignals::Raised()) {
            // Each original goes back to the device it was taken from.
            const RestoringScope restoring;
            CliRecovery command(nullptr, *item.entry);
            if (force) command.SkipIdentityCheck();
            outcome.state = command.Run() ? "restored" : command.Refused() ? "refused" : "failed";
            if (outcome.state != "restored") result = kExitController;
        }
        outcomes.push_back(outcome);
    }
    Print(env, outcomes);
    return result;
}

int Recover(CommandEnv& env, const RecoverRequest& request) {
    const RecoveryJournal journal;
    const std::vector<RecoveryJournal::Item> items = journal.List();
    if (request.list) return List(env, items);
    if (!request.discard.empty()) return Discard(env, journal, items, request.discard);
    return SendBack(env, items, request.force);
}

}  // namespace

void AddRecoverCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* recover = AddCommand(app, "recover", "send back what an interrupted run left in a controller");
    recover->footer(
        "Commands that put temporary settings into a controller (beams,\n"
        "monitor, blanking teach, report --with-scan, the desktop program's\n"
        "Alignment and Edit PSF) first keep what it held in the recovery\n"
        "journal ($XDG_STATE_HOME/veltrix/recovery, by default\n"
        "~/.local/state/veltrix/recovery), one entry per device. An entry stays\n"
        "when the program is killed, loses power or its terminal before the\n"
        "original went back.\n"
        "\n"
        "Without options every entry whose program is gone is sent back to its\n"
        "device and removed once it got there; an entry that could not be sent\n"
        "stays (exit status 1). First the controller's identity is read: an\n"
        "entry whose controller is not the one on the device now (another part\n"
        "number, date code, firmware, board layout or id) is not sent and stays,\n"
        "unless --force. Entries that cannot be used (damaged, made for\n"
        "another device or on another computer) are reported and kept, never\n"
        "sent. \"Nothing to recover.\" when there is no entry.");
    const auto request = std::make_shared<RecoverRequest>();
    CLI::Option* list = recover->add_flag("--list", request->list, "list the entries, send nothing")
                            ->disable_flag_override();
    CLI::Option* force = recover->add_flag("--force", request->force,
                                           "send even to a controller that is not the one\n"
                                           "an entry was made for")
                             ->disable_flag_override()
                             ->excludes(list);
    recover
        ->add_option_function<std::string>(
            "--discard",
            [request](const std::string& value) {
                if (value.empty()) throw CLI::ValidationError("--discard needs a device");
                request->discard = value;
            },
            "remove the entries of DEVICE (its path, or COM<N>)\n"
            "without sending them")
        ->type_name("DEVICE")
        ->excludes(list)
        ->excludes(force);
    RunWhenChosen(recover, env, [&env, request] { return Recover(env, *request); });
}
