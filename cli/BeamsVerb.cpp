#include <ctime>
#include <iomanip>
#include <sys/stat.h>

#include "BeamText.h"
#include "CliSession.h"
#include "ExitCodes.h"
#include "InterruptFlag.h"
#include "JsonWriter.h"
#include "Verbs.h"
#include "command/AlignmentPsf.h"
#include "model/ScanReply.h"
#include "platform/Clock.h"

namespace {

constexpr const char* kUsage =
    "Usage: veltrixctl [OPTIONS] beams [--count N] [--channels N] [--save-original FILE]\n";
constexpr const char* kHelp =
    "\n"
    "Prepares the controller as the Alignment command does (diagnostics, an\n"
    "operational check, a one-second pause, its parameter set read and saved,\n"
    "a working set with All Mode, Binary, Host control and Straight scanning\n"
    "sent, its blanking fields read), takes N beam scans and prints each as\n"
    "rows of 16 channels (1 made, 0 blocked, B blanked) with the counts. The\n"
    "original parameter set is always sent back at the end.\n"
    "\n"
    "  --count N             scans to take, 1 to 1000000 (default 1)\n"
    "  --channels N          beam channels to scan, a multiple of 8 up to 384,\n"
    "                        instead of the emitter channel total of the\n"
    "                        diagnostics (a controller whose scans carry more\n"
    "                        beams than its diagnostics block can describe)\n"
    "  --save-original FILE  where to save the original parameter set should it\n"
    "                        not go back (default: a new file named\n"
    "                        veltrix-original-DATE-TIME.PSF here)\n"
    "\n"
    "\"Made\" leaves out the blanked channels, which the controller reports as\n"
    "made. With --json, each scan carries elapsed_ms: the time from the first\n"
    "scan request to the end of that scan.\n";

constexpr int kMaxChannels = 8 * CBlankingMap::kBlockBytes;  // what the blanking block carries

// A name in the working directory that holds no file yet, so that saving the
// original never replaces anything.
std::string FreshOriginalName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = std::string("veltrix-original-") + stamp;
    std::string name = base + ".PSF";
    struct stat info {};
    for (int n = 1; ::lstat(name.c_str(), &info) == 0; ++n) name = base + "-" + std::to_string(n) + ".PSF";
    return name;
}

struct ScanCounts {
    int blocked;
    int made;
};

ScanCounts CountsOf(const CBeamBitScan& scan, const CBlankingMap& map) {
    return {scan.Statistics().blockedCount, scan.Statistics().madeCount - map.BlankedCount(0)};
}

void PrintScanText(std::ostream& out, int number, const CBeamBitScan& scan, const CBlankingMap& map) {
    const int n = scan.ChannelCount();
    const ScanCounts counts = CountsOf(scan, map);
    out << "Scan " << number << "\n";
    for (int row = 0; 16 * row < 8 * (n / 8); ++row) {
        out << std::right << std::setw(11) << BeamRowLabel(row, n) << "   " << BeamRow(scan, map, row)
            << "\n";
    }
    out << "Total: " << n << "  Blocked: " << counts.blocked << "  Made: " << counts.made
        << "  Blanked: " << map.BlankedCount(0) << "\n";
    out.flush();
}

void AddScanJson(JsonWriter& json, int number, uint32_t elapsedMs, const CBeamBitScan& scan,
                 const CBlankingMap& map) {
    const ScanCounts counts = CountsOf(scan, map);
    json.BeginObject()
        .Field("scan", number)
        .Field("elapsed_ms", static_cast<long long>(elapsedMs))
        .Field("blocked", counts.blocked)
        .Field("made", counts.made)
        .Key("rows")
        .BeginArray();
    for (int row = 0; 16 * row < 8 * (scan.ChannelCount() / 8); ++row) json.String(BeamRow(scan, map, row));
    json.EndArray().EndObject();
}

struct BeamsRequest {
    int count = 1;
    int channels = 0;  // 0: from the diagnostics
    std::string saveOriginal;
};

// Scans and prints; returns kExitOk or kExitController after a failed scan.
int TakeScans(VerbContext& context, CControllerLink& link, const BeamsRequest& request,
              const CBlankingMap& map, JsonWriter& json) {
    CBeamBitScan scan(map.ChannelCount());
    const uint32_t start = GetClock().TickMs();
    json.Key("scans").BeginArray();
    int result = kExitOk;
    for (int i = 1; i <= request.count; ++i) {
        // Stopped by a signal or by a reader that went away: the scans end
        // here, the controller still gets its original back.
        if (InterruptFlag::Raised() || !context.out) {
            context.ui.Report("Stopped after " + std::to_string(i - 1) + " scans.");
            break;
        }
        if (!link.RequestScan(scan)) {
            context.ui.Report("Unable to Input Scan.");
            result = kExitController;
            break;
        }
        if (context.global.json) {
            AddScanJson(json, i, GetClock().TickMs() - start, scan, map);
        } else {
            PrintScanText(context.out, i, scan, map);
        }
    }
    json.EndArray();
    return result;
}

int Beams(VerbContext& context, const BeamsRequest& request) {
    const InterruptFlag interrupt;
    CliSession session(context.global, context.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CControllerLink& link = *session.Link();

    CDiagnosticsRecord record;
    if (const int rc = session.ReadOperationalDiagnostics(record); rc != kExitOk) return rc;
    CControllerLink::DelayMs(1000);
    if (!link.ReadPsf(session.OriginalPsf())) {
        context.ui.Report("Unable to input PSF.");
        return kExitController;
    }
    CPsfRecord working = MakeAlignmentPsf(session.OriginalPsf());
    if (!link.SendPsf(working)) {
        context.ui.Report("Unable to output PSF.");
        return kExitController;
    }
    session.SetRestoreFlag(1);

    const int channels = request.channels ? request.channels : record.emitterChannelTotal;
    CBlankingMap map(channels);
    JsonWriter json;
    json.BeginObject().Field("channels", channels);
    int result = kExitOk;
    if (!link.ReadBlanking(map)) {
        context.ui.Report("Unable to input blanking fields.");
        result = kExitController;
    } else {
        json.Field("blanked", map.BlankedCount(0));
        json.Key("blanked_channels").BeginArray();
        for (const int channel : BlankedChannels(map)) json.Number(channel);
        json.EndArray();
        result = TakeScans(context, link, request, map, json);
    }

    // Whatever happened since the working set went in, the original goes back.
    const std::string savePath = request.saveOriginal.empty() ? FreshOriginalName() : request.saveOriginal;
    const bool restored = session.RestoreIfChanged(savePath);
    if (!restored) result = kExitController;
    if (context.global.json) {
        json.Field("original_restored", restored).EndObject();
        context.out << json.Text() << "\n";
    }
    return result;
}

}  // namespace

int RunBeams(VerbContext& context, const VerbArgs& args) {
    ParsedArgs parsed;
    int exitCode = kExitOk;
    const std::vector<OptionDef> options = {{"--count", true}, {"--channels", true}, {"--save-original", true}};
    if (!ParseVerbArgs(context, args, options, kUsage, kHelp, 0, 0, parsed, exitCode)) return exitCode;

    BeamsRequest request;
    if (parsed.Has("--count")) {
        const auto count = ParseDecimal(parsed.options["--count"], 1, 1000000);
        if (!count) return UsageError(context, "--count needs a number from 1 to 1000000", kUsage);
        request.count = static_cast<int>(*count);
    }
    if (parsed.Has("--channels")) {
        const auto channels = ParseDecimal(parsed.options["--channels"], 8, kMaxChannels);
        if (!channels || *channels % 8 != 0) {
            return UsageError(context, "--channels needs a multiple of 8 from 8 to 384", kUsage);
        }
        request.channels = static_cast<int>(*channels);
    }
    if (parsed.Has("--save-original")) {
        request.saveOriginal = parsed.options["--save-original"];
        if (request.saveOriginal.empty()) return UsageError(context, "--save-original needs a file name", kUsage);
    }
    return Beams(context, request);
}
