// blanking teach: auto blanking without the desktop program. The controller
// is prepared as for the Alignment command and its blanking fields cleared;
// once the blocked beams have held still for a few scans they are offered as
// the new blanking fields. Anything but a yes puts the earlier fields back,
// and the original parameter set goes back in every case.

#include <cctype>

#include "AlignmentSetup.h"
#include "CliSession.h"
#include "CommandLine.h"
#include "Console.h"
#include "ExitCodes.h"
#include "StopSignals.h"
#include "JsonOutput.h"
#include "model/BeamText.h"
#include "model/BlankingEdits.h"
#include "model/BlockedHistory.h"

namespace {

constexpr int kSteadyScans = 3;
constexpr const char* kCommandName = "blanking teach";

struct TeachRequest {
    bool yes = false;
};

enum class Outcome { Taught, Declined, Failed, Interrupted };

// Channels counted from 0, as the teach command names them: "5, 6".
std::string ChannelList(const std::vector<int>& channels) {
    std::string text;
    for (const int channel : channels) text += (text.empty() ? "" : ", ") + std::to_string(channel);
    return text;
}

// One line from standard input; y or yes in any case is a yes, anything
// else (an empty line, the end of input) a no. A signal ends the wait.
Outcome ReadAnswer() {
    std::string line;
    if (ReadInputLine(line) == InputLine::Stopped) return Outcome::Interrupted;
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line == "y" || line == "yes" ? Outcome::Taught : Outcome::Declined;
}

// Scans until the blocked channels have been the same for kSteadyScans scans
// in a row; the scan holds the last of them.
Outcome WaitForSteadyBeams(CommandEnv& env, CControllerLink& link, CBeamBitScan& scan) {
    SteadyBlockedSet steady(kSteadyScans);
    for (;;) {
        if (StopSignals::Raised()) return Outcome::Interrupted;
        if (!link.RequestScan(scan)) {
            env.ui.Report("Unable to Input Scan.");
            return Outcome::Failed;
        }
        if (steady.Add(BlockedChannels(scan))) return Outcome::Taught;
    }
}

// Asks, unless --yes answered already.
Outcome Confirm(CommandEnv& env, const TeachRequest& request, const std::vector<int>& blocked) {
    if (!env.global.json) {
        env.out << (blocked.empty() ? "No beam blocked for " + std::to_string(kSteadyScans) + " scans in a row."
                                    : "Blocked for " + std::to_string(kSteadyScans) +
                                          " scans in a row: channels " + ChannelList(blocked) +
                                          " (counted from 0)")
                << "\n";
        env.out.flush();
    }
    if (request.yes) return Outcome::Taught;
    env.ui.Prompt(blocked.empty() ? "Clear every blanking field? [y/N]"
                                  : "Blank channels " + ChannelList(blocked) + "? [y/N]");
    const Outcome answer = ReadAnswer();
    // A terminal has echoed the answer; from a pipe, say what was read.
    if (answer != Outcome::Interrupted && !StdinIsTerminal())
        env.ui.Report(answer == Outcome::Taught ? "(answered Yes)" : "(answered No)");
    return answer;
}

// Clears the fields, teaches and sends the result. On a no, a failure or a
// signal the earlier fields go back; until the controller holds the fields
// the user wanted, the earlier ones wait in the recovery journal.
Outcome TeachFields(CommandEnv& env, CliSession& session, const TeachRequest& request,
                    const CBlankingMap& earlier, std::vector<int>& blanked) {
    CControllerLink& link = *session.Link();
    const int channels = earlier.ChannelCount();
    if (!session.JournalOriginalBlanking(earlier, kCommandName)) return Outcome::Failed;
    Outcome outcome = Outcome::Failed;
    // The controller's own fields (earlier) are cleared here; from now on
    // every way out sends them or the taught ones. A clear that seems to
    // fail may have been taken all the same, so the earlier ones go back.
    if (!link.WriteBlanking(CBlankingMap(channels))) {
        env.ui.Report("Unable to clear blanking fields in controller.");
    } else {
        env.ui.Report("Waiting for the blocked beams to stay the same for " + std::to_string(kSteadyScans) +
                      " scans in a row (Ctrl-C ends).");
        CBeamBitScan scan(channels);
        outcome = WaitForSteadyBeams(env, link, scan);
        if (outcome == Outcome::Taught) outcome = Confirm(env, request, BlockedChannels(scan));
        if (outcome == Outcome::Taught) {
            const CBlankingMap taught = TaughtBlankingMap(scan, channels);
            // The history keeps the fields the user had, not the cleared ones
            // the teaching started from.
            const WriteOutcome sent = session.WriteBlankingVerified(taught, "blanking teach", &earlier);
            if (sent.Succeeded()) {
                session.ForgetOriginalBlanking();
                blanked = BlockedChannels(scan);
                return Outcome::Taught;
            }
            if (sent.status != WriteOutcome::Status::Refused)
                env.ui.Report("Unable to download blanking fields to controller." + sent.Addendum());
            outcome = Outcome::Failed;
        }
    }
    if (outcome == Outcome::Declined) env.ui.Report("Nothing taught: the earlier blanking fields go back.");
    if (outcome == Outcome::Interrupted) env.ui.Report("Stopped: nothing taught, the earlier blanking fields go back.");
    const RestoringScope restoring;
    if (!session.RestoreOriginalBlanking(earlier)) {
        env.ui.Report("Unable to restore blanking fields in controller." + session.LastWrite().Addendum());
        if (outcome == Outcome::Declined) outcome = Outcome::Failed;
    }
    return outcome;
}

void PrintTaught(CommandEnv& env, Outcome outcome, const std::vector<int>& blanked) {
    if (env.global.json) {
        if (outcome == Outcome::Taught) env.out << JsonLine(Json{{"blanked", blanked}});
        if (outcome == Outcome::Declined) env.out << JsonLine(Json{{"blanked", nullptr}});
        return;
    }
    if (outcome != Outcome::Taught) return;
    env.out << (blanked.empty() ? std::string("Every blanking field cleared.")
                                : "Blanked channels " + ChannelList(blanked) + " (counted from 0).")
            << "\n";
}

int Teach(CommandEnv& env, const TeachRequest& request) {
    const std::string savePath = FreshOriginalName();
    if (const int rc = CheckSavePath(env, savePath); rc != kExitOk) return rc;
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CDiagnosticsRecord record;
    if (const int rc = PrepareForAlignment(env, session, record, kCommandName, savePath); rc != kExitOk)
        return rc;

    CBlankingMap earlier(record.emitterChannelTotal);
    Outcome outcome = Outcome::Failed;
    std::vector<int> blanked;
    if (!session.Link()->ReadBlanking(earlier))
        env.ui.Report("Unable to input blanking fields.");
    else
        outcome = TeachFields(env, session, request, earlier, blanked);

    const bool restored = session.RestoreIfChanged(savePath);
    PrintTaught(env, outcome, blanked);
    // A signal's own exit status is given by the tool once the command is over.
    if (outcome == Outcome::Interrupted) return kExitOk;
    if (outcome == Outcome::Failed || !restored) return kExitController;
    return kExitOk;
}

}  // namespace

void AddBlankingTeachCommand(CLI::App& blanking, CommandEnv& env) {
    CLI::App* teach = AddCommand(blanking, "teach", "auto blanking: blank the beams blocked now");
    teach->footer(
        "Prepares the controller as the Alignment command does and clears its\n"
        "blanking fields, then scans until the blocked beams have stayed the same\n"
        "for 3 scans in a row, prints them (channels counted from 0) and asks\n"
        "\"Blank channels 5, 6? [y/N]\" on stderr, the answer read from stdin.\n"
        "Yes sends exactly those channels as the blanking fields; no, any failure,\n"
        "Ctrl-C, SIGTERM or SIGHUP sends the earlier fields back. The original\n"
        "parameter set goes back in every case. With --json it prints\n"
        "{\"blanked\": [5, 6]} ({\"blanked\": null} after a no).\n"
        "\n"
        "Exit status: 0 taught or declined, 1 the controller failed, 128 + the\n"
        "signal's number when a signal ended it.");
    const auto request = std::make_shared<TeachRequest>();
    teach->add_flag_callback(
        "--yes", [request] { request->yes = true; }, "blank the blocked channels without asking");
    RunWhenChosen(teach, env, [&env, request] { return Teach(env, *request); });
}
