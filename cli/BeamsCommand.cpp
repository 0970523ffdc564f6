#include <iomanip>

#include "AlignmentSetup.h"
#include "BeamRows.h"
#include "BeamsWatch.h"
#include "CliSession.h"
#include "CommandLine.h"
#include "ExitCodes.h"
#include "StopSignals.h"
#include "JsonOutput.h"
#include "live/LiveServer.h"
#include "live/ServeAddress.h"
#include "model/ScanReply.h"
#include "platform/Clock.h"

namespace {

constexpr int kMaxChannels = 8 * CBlankingMap::kBlockBytes;  // what the blanking block carries

void PrintScanText(std::ostream& out, int number, const CBeamBitScan& scan, const CBlankingMap& map) {
    const int n = scan.ChannelCount();
    const BeamCounts counts = CountBeams(scan, map, false);
    out << "Scan " << number << "\n";
    for (int row = 0; row < ChannelRowCount(ScannedChannels(scan)); ++row)
        out << std::right << std::setw(11) << BeamRowLabel(row, n) << "   " << RowText(scan, map, row) << "\n";
    out << "Total: " << n << "  Blocked: " << counts.blocked << "  Made: " << counts.made
        << "  Blanked: " << map.BlankedCount(0) << "\n";
    out.flush();
}

Json ScanJson(int number, uint32_t elapsedMs, const CBeamBitScan& scan, const CBlankingMap& map) {
    const BeamCounts counts = CountBeams(scan, map, false);
    Json rows = Json::array();
    for (int row = 0; row < ChannelRowCount(ScannedChannels(scan)); ++row) rows.push_back(RowText(scan, map, row));
    return {{"scan", number},
            {"elapsed_ms", elapsedMs},
            {"blocked", counts.blocked},
            {"made", counts.made},
            {"rows", std::move(rows)}};
}


struct BeamsRequest {
    int count = 0;     // 0: not given (one scan; no limit with --watch)
    int channels = 0;  // 0: from the diagnostics
    std::string saveOriginal;
    bool watch = false;
    std::optional<ServeAddress> serve;
};

// Scans and prints, each scan as soon as it is in (with --json one object
// per line); returns kExitOk or kExitController after a failed scan.
int TakeScans(CommandEnv& env, CControllerLink& link, const BeamsRequest& request,
              const CBlankingMap& map, int& taken) {
    CBeamBitScan scan(map.ChannelCount());
    const uint32_t start = GetClock().TickMs();
    const int count = request.count > 0 ? request.count : 1;
    for (int i = 1; i <= count; ++i) {
        // Stopped by a signal or by a reader that went away: the scans end
        // here, the controller still gets its original back.
        if (StopSignals::Raised() || !env.out) {
            env.ui.Report("Stopped after " + std::to_string(i - 1) + " scans.");
            break;
        }
        if (!link.RequestScan(scan)) {
            env.ui.Report("Unable to Input Scan.");
            return kExitController;
        }
        ++taken;
        if (env.global.json) {
            env.out << JsonLine(ScanJson(i, GetClock().TickMs() - start, scan, map)) << std::flush;
        } else {
            PrintScanText(env.out, i, scan, map);
        }
    }
    return kExitOk;
}

int Beams(CommandEnv& env, const BeamsRequest& request) {
    // Listening before anything else, so that the address is the first line
    // a technician reads, and a wrong one is refused before the controller
    // is changed.
    LiveServer live;
    if (request.serve) {
        std::string error;
        if (!live.Start(request.serve->address, request.serve->port, error)) {
            env.ui.Report(error);
            return kExitUsage;
        }
        env.ui.Report("Open " + live.Url() + " on a phone");
    }
    // Where the original goes should it not go back, found writable before
    // the controller is changed rather than when it is too late.
    const std::string savePath = request.saveOriginal.empty() ? FreshOriginalName() : request.saveOriginal;
    if (const int rc = CheckSavePath(env, savePath); rc != kExitOk) return rc;
    CliSession session(env.global, env.ui);
    if (const int rc = session.Open(); rc != kExitOk) return rc;
    CControllerLink& link = *session.Link();
    CDiagnosticsRecord record;
    if (const int rc = PrepareForAlignment(env, session, record, "beams", savePath); rc != kExitOk) return rc;

    const int channels = request.channels ? request.channels : record.emitterChannelTotal;
    CBlankingMap map(channels);
    int result = kExitOk;
    int taken = 0;
    if (!link.ReadBlanking(map)) {
        env.ui.Report("Unable to input blanking fields.");
        result = kExitController;
    } else if (request.watch) {
        result = WatchBeams(env, link, map, request.count, request.serve ? &live : nullptr);
    } else {
        if (env.global.json) {
            env.out << JsonLine({{"channels", channels},
                                 {"blanked", map.BlankedCount(0)},
                                 {"blanked_channels", BlankedChannels(map)}})
                    << std::flush;
        }
        result = TakeScans(env, link, request, map, taken);
    }

    // Whatever happened since the working set went in, the original goes back.
    const bool restored = session.RestoreIfChanged(savePath);
    if (!restored) result = kExitController;
    if (env.global.json) {
        // A watch has streamed its scans already and counts none here.
        env.out << JsonLine(request.watch ? Json{{"original_restored", restored}}
                                          : Json{{"scans", taken}, {"original_restored", restored}});
    }
    return result;
}

}  // namespace

void AddBeamsCommand(CLI::App& app, CommandEnv& env) {
    CLI::App* beams = AddCommand(app, "beams", "take beam scans as the alignment does");
    beams->footer(
        "Prepares the controller as the Alignment command does (diagnostics, an\n"
        "operational check, a one-second pause, its parameter set read and saved,\n"
        "a working set with All Mode, Binary, Host control and Straight scanning\n"
        "sent, its blanking fields read), takes N beam scans and prints each as\n"
        "rows of 16 channels (1 made, 0 blocked, B blanked) with the counts. The\n"
        "original parameter set is always sent back at the end; until then it is\n"
        "kept in the recovery journal ('veltrixctl recover').\n"
        "\n"
        "\"Made\" leaves out the blanked channels, which the controller reports as\n"
        "made. With --json, one object per line as soon as it is known: the\n"
        "channels and blanking, then each scan (elapsed_ms: the time from the\n"
        "first scan request to the end of that scan), then the number of scans\n"
        "and whether the original went back.\n"
        "\n"
        "--watch scans until Ctrl-C (or --count scans). On a terminal it redraws\n"
        "the rows in place; on a pipe it prints one block per scan that differs\n"
        "from the one before (with --json one object per line, then one with\n"
        "original_restored). Beside each row an x marks every beam that was\n"
        "blocked at some scan since the watch began, so a beam that flickers\n"
        "stays marked.\n"
        "\n"
        "--serve [ADDR:]PORT also shows the scans on a phone: it serves a page\n"
        "at http://ADDR:PORT/TOKEN/ (printed first on stderr; TOKEN is random)\n"
        "that follows every scan, as --watch does, until the command ends. It\n"
        "listens only on ADDR (default: this computer's first IPv4 address\n"
        "other than 127.0.0.1), read-only, for at most 8 phones. PORT 0 takes\n"
        "any free port.");
    const auto request = std::make_shared<BeamsRequest>();
    beams->add_option_function<std::string>(
             "--count",
             [request](const std::string& value) {
                 request->count = static_cast<int>(
                     DecimalOrUsageError(value, 1, 1000000, "--count needs a number from 1 to 1000000"));
             },
             "scans to take, 1 to 1000000 (default 1; with\n"
             "--watch, no limit)")
        ->type_name("N");
    beams->add_flag_callback(
        "--watch", [request] { request->watch = true; },
        "scan until Ctrl-C, redrawing the rows in place on a\n"
        "terminal, a block per changed scan elsewhere");
    beams->add_option_function<std::string>(
             "--serve",
             [request](const std::string& value) {
                 std::string error;
                 request->serve = ParseServeAddress(value, error);
                 if (!request->serve) throw CLI::ValidationError("--serve: " + error);
                 request->watch = true;
             },
             "serve a live view of the scans to phones on\n"
             "ADDR (default: the first non-loopback IPv4\n"
             "address) and PORT; implies --watch")
        ->type_name("[ADDR:]PORT");
    beams->add_option_function<std::string>(
             "--channels",
             [request](const std::string& value) {
                 const auto channels = ParseDecimal(value, 8, kMaxChannels);
                 if (!channels || *channels % 8 != 0) {
                     throw CLI::ValidationError("--channels needs a multiple of 8 from 8 to 384");
                 }
                 request->channels = static_cast<int>(*channels);
             },
             "beam channels to scan, a multiple of 8 up to 384,\n"
             "instead of the emitter channel total of the\n"
             "diagnostics (a controller whose scans carry more\n"
             "beams than its diagnostics block can describe)")
        ->type_name("N");
    beams->add_option_function<std::string>(
             "--save-original",
             [request](const std::string& value) {
                 if (value.empty()) throw CLI::ValidationError("--save-original needs a file name");
                 request->saveOriginal = value;
             },
             "where to save the original parameter set should it\n"
             "not go back, checked before the controller is\n"
             "changed (default: a new file named\n"
             "veltrix-original-DATE-TIME.PSF here)")
        ->type_name("FILE");
    RunWhenChosen(beams, env, [&env, request] { return Beams(env, *request); });
}
