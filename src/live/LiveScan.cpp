#include "live/LiveScan.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "model/BeamText.h"

LiveScan MakeLiveScan(int number, const CBeamBitScan& scan, const CBlankingMap& map, bool marks,
                      const BlockedHistory& history, LiveState state, int64_t timeMs) {
    LiveScan live;
    live.scan = number;
    live.channels = scan.ChannelCount();
    live.state = state;
    live.timeMs = timeMs;
    live.blocked = BlockedChannels(scan);
    if (marks)
        for (int c = 0; c < std::min(map.ChannelCount(), live.channels); ++c)
            if (map.IsBlanked(c)) live.blanked.push_back(c);
    for (int c = 0; c < std::min(history.ChannelCount(), live.channels); ++c)
        if (history.WasBlocked(c)) live.wasBlocked.push_back(c);
    return live;
}

int64_t WallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const char* LiveStateName(LiveState state) {
    switch (state) {
        case LiveState::Scanning:
            return "scanning";
        case LiveState::Stale:
            return "stale";
        case LiveState::Stopped:
            break;
    }
    return "stopped";
}

std::string LiveScanJson(const LiveScan& scan) {
    const nlohmann::ordered_json json = {
        {"scan", scan.scan},           {"channels", scan.channels},
        {"blocked", scan.blocked},     {"blanked", scan.blanked},
        {"was_blocked", scan.wasBlocked}, {"state", LiveStateName(scan.state)},
        {"time_ms", scan.timeMs}};
    return json.dump();
}
