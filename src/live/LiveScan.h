#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/BlockedHistory.h"
#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

// What the phone view shows of one scan: the beams as the alignment dialog
// (or veltrixctl beams) has them on screen, handed to the server by value.
//
// The state tells a live curtain from one that is not: "scanning" while
// scans come in, "stopped" once the loop has ended, "stale" when the last
// scan request failed and the picture is the last one that arrived.
enum class LiveState { Scanning, Stopped, Stale };

struct LiveScan {
    int scan = 0;  // counts every scan the source took, from 1
    int channels = 0;
    std::vector<int> blocked;     // channels from 0
    std::vector<int> blanked;     // shown as blanked (none while auto blanking)
    std::vector<int> wasBlocked;  // blocked at some scan since the marks were cleared
    LiveState state = LiveState::Stopped;
    int64_t timeMs = 0;  // wall-clock time of the scan, ms since 1970
};

// marks: blanked channels are shown (not while auto blanking has the
// controller's blanking cleared), as in the grid.
LiveScan MakeLiveScan(int number, const CBeamBitScan& scan, const CBlankingMap& map, bool marks,
                      const BlockedHistory& history, LiveState state, int64_t timeMs);
// Now, in ms since 1970.
int64_t WallClockMs();

const char* LiveStateName(LiveState state);
// {"scan":n,"channels":N,"blocked":[..],"blanked":[..],"was_blocked":[..],
//  "state":"scanning","time_ms":t}: one event of the stream.
std::string LiveScanJson(const LiveScan& scan);
