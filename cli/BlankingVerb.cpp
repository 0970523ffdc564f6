#include "BeamText.h"
#include "CliSession.h"
#include "ExitCodes.h"
#include "JsonWriter.h"
#include "Verbs.h"
#include "model/BfsFile.h"

namespace {

constexpr const char* kUsage =
    "Usage: veltrixctl [OPTIONS] blanking get FILE\n"
    "       veltrixctl [OPTIONS] blanking put FILE\n"
    "       veltrixctl [OPTIONS] blanking clear\n";
constexpr const char* kHelp =
    "\n"
    "get    reads the controller's blanking fields into FILE (.BFS, 100 bytes)\n"
    "put    sends the blanking fields in FILE to the controller, with the\n"
    "       checks of the alignment dialog's \"Read From File\"; channels the\n"
    "       controller does not have are dropped with a warning\n"
    "clear  clears every blanking field in the controller\n"
    "\n"
    "The controller must be operational: its channel count comes from the\n"
    "diagnostics. Channels are printed counted from 1.\n";

constexpr int kFileMapChannels = 800;  // what a .BFS file can describe

void PrintResult(VerbContext& context, const std::string& path, const CBlankingMap& map) {
    if (context.global.json) {
        JsonWriter json;
        json.BeginObject();
        if (!path.empty()) json.Field("file", path);
        json.Field("channels", map.ChannelCount()).Field("blanked", map.BlankedCount(0));
        json.Key("blanked_channels").BeginArray();
        for (const int channel : BlankedChannels(map)) json.Number(channel);
        json.EndArray().EndObject();
        context.out << json.Text() << "\n";
        return;
    }
    context.out << map.ChannelCount() << " channels, " << map.BlankedCount(0)
                << " blanked: " << BlankedRanges(map) << "\n";
}

int GetBlanking(VerbContext& context, CliSession& session, int channels, const std::string& path) {
    CBlankingMap map(channels);
    if (!session.Link()->ReadBlanking(map)) {
        context.ui.Report("Unable to input blanking fields.");
        return kExitController;
    }
    context.ui.SetSavePath(path);
    if (!SaveBlankingFile(map)) return kExitFile;
    PrintResult(context, path, map);
    return kExitOk;
}

int PutBlanking(VerbContext& context, CliSession& session, int channels, const std::string& path) {
    CBlankingMap working(channels);
    context.ui.SetOpenPath(path);
    if (!LoadBlankingFile(working)) return kExitFile;
    if (!session.Link()->WriteBlanking(working)) {
        context.ui.Report("Unable to download blanking fields to controller.");
        return kExitController;
    }
    PrintResult(context, path, working);
    return kExitOk;
}

int ClearBlanking(VerbContext& context, CliSession& session, int channels) {
    const CBlankingMap cleared(channels);
    if (!session.Link()->WriteBlanking(cleared)) {
        context.ui.Report("Unable to clear blanking fields in controller.");
        return kExitController;
    }
    PrintResult(context, "", cleared);
    return kExitOk;
}

}  // namespace

int RunBlanking(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseVerbArgs(context, args, {}, kUsage, kHelp, 0, 2, parsed, exitCode)) return exitCode;
    if (parsed.positionals.empty()) return UsageError(context, "blanking needs get, put or clear", kUsage);
    const std::string& action = parsed.positionals[0];
    const bool needsFile = action == "get" || action == "put";
    if (!needsFile && action != "clear") {
        return UsageError(context, "unknown blanking command '" + action + "'", kUsage);
    }
    if (needsFile && parsed.positionals.size() < 2) {
        return UsageError(context, "blanking " + action + " needs a FILE", kUsage);
    }
    if (!needsFile && parsed.positionals.size() > 1) {
        return UsageError(context, "unexpected argument '" + parsed.positionals[1] + "'", kUsage);
    }
    const std::string path = needsFile ? parsed.positionals[1] : std::string();

    if (action == "put") {
        // Check the file before the port is touched: the same checks, on a
        // map as large as the file, so that no warning can come up yet.
        CBlankingMap fileMap(kFileMapChannels);
        context.ui.SetOpenPath(path);
        if (!LoadBlankingFile(fileMap)) return kExitFile;
    }

    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CDiagnosticsRecord record;
    if (const int rc = session.ReadOperationalDiagnostics(record); rc != kExitOk) return rc;
    const int channels = record.emitterChannelTotal;

    if (action == "get") return GetBlanking(context, session, channels, path);
    if (action == "put") return PutBlanking(context, session, channels, path);
    return ClearBlanking(context, session, channels);
}
