#pragma once

#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

// Text forms of blanking maps and beam scans, shared by the command-line
// tool and the service report. Channels are shown counted from 1, as the
// desktop program shows them.

// The blanked channels as ranges counted from 1: "1-4, 9"; "none" if none.
std::string BlankedRanges(const CBlankingMap& map);
// The blanked channels counted from 1.
std::vector<int> BlankedChannels(const CBlankingMap& map);

// Channels 16 * row to 16 * row + 15 (or to the last channel) the way the
// alignment dialog draws a grid row: "1" made, "0" blocked, "B" blanked,
// a space after every fourth. No trailing space.
std::string BeamRow(const CBeamBitScan& scan, const CBlankingMap& map, int row);
// The label of that row: "1 - 16".
std::string BeamRowLabel(int row, int channelCount);
