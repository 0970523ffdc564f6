#include "BeamsWatch.h"

#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "BeamRows.h"
#include "Console.h"
#include "ExitCodes.h"
#include "StopSignals.h"
#include "JsonOutput.h"
#include "model/BlockedHistory.h"
#include "platform/Clock.h"

namespace {

// "x" under a beam that was blocked since the watch began, "." under one
// that was not, spaced like the beam string.
std::string MarksText(const BlockedHistory& history, const CBeamBitScan& scan, int row) {
    const int end = std::min(RowEndChannel(row, scan.ChannelCount()), ScannedChannels(scan));
    std::string text;
    for (int c = RowFirstChannel(row); c < end; ++c) {
        text += history.WasBlocked(c) ? 'x' : '.';
        if (c % 4 == 3 && c + 1 < end) text += ' ';
    }
    return text;
}

std::vector<std::string> BlockLines(int number, const CBeamBitScan& scan, const CBlankingMap& map,
                                    const BlockedHistory& history) {
    const BeamCounts counts = CountBeams(scan, map, false);
    std::vector<std::string> lines;
    std::ostringstream head;
    head << "Scan " << number << "  Total: " << scan.ChannelCount() << "  Blocked: " << counts.blocked
         << "  Made: " << counts.made << "  Blanked: " << map.BlankedCount(0);
    lines.push_back(head.str());
    lines.push_back("   Channels   State                 Was blocked");
    for (int row = 0; row < ChannelRowCount(ScannedChannels(scan)); ++row) {
        std::ostringstream line;
        line << std::right << std::setw(11) << BeamRowLabel(row, scan.ChannelCount()) << "   "
             << std::left << std::setw(19) << RowText(scan, map, row) << "   "
             << MarksText(history, scan, row);
        lines.push_back(line.str());
    }
    return lines;
}

Json WatchJson(int number, uint32_t elapsedMs, const CBeamBitScan& scan, const CBlankingMap& map,
               const BlockedHistory& history) {
    const BeamCounts counts = CountBeams(scan, map, false);
    Json rows = Json::array();
    for (int row = 0; row < ChannelRowCount(ScannedChannels(scan)); ++row) rows.push_back(RowText(scan, map, row));
    std::vector<int> wasBlocked;  // counted from 1, as the other beam lists
    for (int c = 0; c < history.ChannelCount(); ++c)
        if (history.WasBlocked(c)) wasBlocked.push_back(c + 1);
    return {{"scan", number},        {"elapsed_ms", elapsedMs},  {"blocked", counts.blocked},
            {"made", counts.made},   {"blanked", map.BlankedCount(0)}, {"rows", std::move(rows)},
            {"was_blocked", wasBlocked}};
}

}  // namespace

int WatchBeams(CommandEnv& env, CControllerLink& link, const CBlankingMap& map, int limit,
               LiveServer* live) {
    const bool terminal = !env.global.json && StdoutIsTerminal();
    const int channels = map.ChannelCount();
    CBeamBitScan scan(channels);
    CBeamBitScan shown(channels);
    BlockedHistory history;
    history.Clear(channels);
    std::size_t linesOnScreen = 0;
    const uint32_t start = GetClock().TickMs();
    int taken = 0;
    int64_t shownAt = 0;
    // The viewers keep the last scan, marked with how the watch ended.
    const auto publish = [&](LiveState state) {
        if (live && taken > 0)
            live->Publish(MakeLiveScan(taken, shown, map, true, history, state, shownAt));
    };
    for (int i = 1; limit <= 0 || i <= limit; ++i) {
        if (StopSignals::Raised() || !env.out) {
            env.ui.Report("Stopped after " + std::to_string(i - 1) + " scans.");
            break;
        }
        if (!link.RequestScan(scan)) {
            publish(LiveState::Stale);
            env.ui.Report("Unable to Input Scan.");
            return kExitController;
        }
        taken = i;
        // Every change of a beam is a change of the reply, so the history
        // misses no blocked beam by looking at changed scans only.
        const bool changed = i == 1 || scan != shown;
        if (changed) {
            shown = scan;
            history.Add(scan);
        }
        shownAt = WallClockMs();
        publish(LiveState::Scanning);
        if (env.global.json) {
            if (changed) env.out << JsonLine(WatchJson(i, GetClock().TickMs() - start, shown, map, history));
        } else if (changed || terminal) {
            const std::vector<std::string> lines = BlockLines(i, shown, map, history);
            // Up to the first line of the block on screen, and clear from there.
            if (terminal && linesOnScreen > 0) env.out << "\x1b[" << linesOnScreen << "A\x1b[J";
            for (const std::string& line : lines) env.out << line << "\n";
            if (!terminal) env.out << "\n";
            linesOnScreen = lines.size();
        }
        env.out.flush();
    }
    publish(LiveState::Stopped);
    return kExitOk;
}
