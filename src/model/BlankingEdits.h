#pragma once

#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

// How blanking is taught and edited by hand.

// Auto blanking's result for N channels: exactly the channels blocked in the
// scan. The scan's bits run least significant first and the map's most
// significant first, so this goes channel by channel.
CBlankingMap TaughtBlankingMap(const CBeamBitScan& scan, int channelCount);

// The channel editor lays the channels out in rows of 16 (a shorter last row
// when N is not a multiple of 16). The channel of the cell in row and column
// (both from 1), or -1 for a cell that stands for no channel.
int EditorCellChannel(int row, int col, int channelCount);

// The editor's map at OK: channel i for i < cellTexts.size() is blanked
// exactly when its cell reads "1"; every other channel keeps its bit from the
// map the editor opened with, so bits without a cell are never lost.
CBlankingMap CollectBlankingMap(const CBlankingMap& opening, const std::vector<std::string>& cellTexts);
