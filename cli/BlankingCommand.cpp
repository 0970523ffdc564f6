#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "JsonOutput.h"
#include "model/BeamText.h"
#include "model/BfsFile.h"

namespace {

constexpr int kFileMapChannels = 800;  // what a .BFS file can describe

void PrintResult(CommandEnv& env, const std::string& path, const CBlankingMap& map) {
    if (env.global.json) {
        Json json = Json::object();
        if (!path.empty()) json["file"] = path;
        json["channels"] = map.ChannelCount();
        json["blanked"] = map.BlankedCount(0);
        json["blanked_channels"] = BlankedChannels(map);
        env.out << JsonLine(json);
        return;
    }
    env.out << map.ChannelCount() << " channels, " << map.BlankedCount(0)
            << " blanked: " << BlankedRanges(map) << "\n";
}

int GetBlanking(CommandEnv& env, CliSession& session, int channels, const std::string& path) {
    CBlankingMap map(channels);
    if (!session.Link()->ReadBlanking(map)) {
        env.ui.Report("Unable to input blanking fields.");
        return kExitController;
    }
    env.ui.SetSavePath(path);
    if (!SaveBlankingFile(map)) return kExitFile;
    PrintResult(env, path, map);
    return kExitOk;
}

int PutBlanking(CommandEnv& env, CliSession& session, int channels, const std::string& path) {
    CBlankingMap working(channels);
    env.ui.SetOpenPath(path);
    if (!LoadBlankingFile(working)) return kExitFile;
    const WriteOutcome sent = session.WriteBlankingVerified(working, "blanking put");
    const int rc = session.WriteResult(sent, "Unable to download blanking fields to controller.");
    if (sent.Succeeded()) PrintResult(env, path, working);
    return rc;
}

int ClearBlanking(CommandEnv& env, CliSession& session, int channels) {
    const CBlankingMap cleared(channels);
    const WriteOutcome sent = session.WriteBlankingVerified(cleared, "blanking clear");
    const int rc = session.WriteResult(sent, "Unable to clear blanking fields in controller.");
    if (sent.Succeeded()) PrintResult(env, "", cleared);
    return rc;
}

// Runs one of blanking get|put|clear: the controller must be operational,
// since its channel count comes from the diagnostics.
int Blanking(CommandEnv& env, const std::string& action, const std::string& path) {
    if (action == "get") {
        // A file that cannot be written is found before the controller is asked.
        if (const std::string problem = BlankingFileSaveProblem(path); !problem.empty()) {
            env.ui.Report(problem);
            return kExitFile;
        }
    }
    if (action == "put") {
        // Check the file before the port is touched: the same checks, on a
        // map as large as the file, so that no warning can come up yet.
        CBlankingMap fileMap(kFileMapChannels);
        env.ui.SetOpenPath(path);
        if (!LoadBlankingFile(fileMap)) return kExitFile;
    }

    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CDiagnosticsRecord record;
    if (const int rc = session.ReadOperationalDiagnostics(record); rc != kExitOk) return rc;
    const int channels = record.emitterChannelTotal;

    if (action == "get") return GetBlanking(env, session, channels, path);
    if (action == "put") return PutBlanking(env, session, channels, path);
    return ClearBlanking(env, session, channels);
}

}  // namespace

void AddBlankingCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* blanking = AddCommand(app, "blanking", "blanking fields: controller <-> .BFS file");
    blanking->require_subcommand(1);
    blanking->footer(
        "The controller must be operational: its channel count comes from the\n"
        "diagnostics. Channels are printed counted from 1.");
    const auto path = std::make_shared<std::string>();
    const struct {
        const char* name;
        bool takesFile;
        const char* description;
    } actions[] = {
        {"get", true, "reads the controller's blanking fields into FILE (.BFS, 100 bytes)"},
        {"put", true,
         "sends the blanking fields in FILE to the controller, with the\n"
         "checks of the alignment dialog's \"Read From File\"; channels the\n"
         "controller does not have are dropped with a warning"},
        {"clear", false, "clears every blanking field in the controller"},
    };
    for (const auto& action : actions) {
        CLI::App* command = AddCommand(*blanking, action.name, action.description);
        if (action.takesFile)
            command->add_option("FILE", *path, "the .BFS file")->type_name("")->required();
        RunWhenChosen(command, env, [&env, name = std::string(action.name), path] {
            return Blanking(env, name, *path);
        });
    }
    AddBlankingTeachCommand(*blanking, env);
}
