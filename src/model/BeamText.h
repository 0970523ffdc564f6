#pragma once

#include <string>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/ScanReply.h"

// How beams and blanking read on screen: rows of 16 channels in the
// alignment grid, the channel editor and veltrixctl. Rows count from 0 here;
// channels count from 0 in data and from 1 wherever a person reads them.
//
// A channel count that is not a multiple of 16 gets one more, shorter row
// for the channels that do not fill a whole one, so no beam goes unseen.

inline constexpr int kChannelsPerRow = 16;

int ChannelRowCount(int channelCount);
int RowFirstChannel(int row);
// One past the row's last channel.
int RowEndChannel(int row, int channelCount);

// "1 - 16", "33 - 40": the alignment grid's channel column.
std::string BeamRowLabel(int row, int channelCount);
// "1-16", "33-40": the channel editor's row headers.
std::string ChannelRowHeader(int row, int channelCount);

// What one channel shows: blanked only when blanking marks are wanted (while
// auto blanking has cleared the controller's blanking they are not).
enum class BeamLook { Made, Blocked, Blanked };
BeamLook LookOf(const CBeamBitScan& scan, const CBlankingMap& map, int channel, bool marks);
// Channels a beam scan carries state bits for: 8 * (N / 8).
int ScannedChannels(const CBeamBitScan& scan);

// "0000 1111 1111 BBBB ": "1" made, "0" blocked, "B" blanked (with marks),
// a space after every fourth channel, trailing one included. Only channels
// the scan carries are drawn.
std::string BeamString(const CBeamBitScan& scan, const CBlankingMap& map, int row, bool marks);

struct BeamCounts {
    int blocked = 0;
    int made = 0;
};
// The controller reports blanked beams as made, so "Made" leaves them out,
// except while the controller's blanking is cleared for auto blanking.
BeamCounts CountBeams(const CBeamBitScan& scan, const CBlankingMap& map, bool blankingCleared);

// Blocked channels of a scan, counted from 0.
std::vector<int> BlockedChannels(const CBeamBitScan& scan);
// Blanked channels, counted from 1.
std::vector<int> BlankedChannels(const CBlankingMap& map);
// Channels counted from 1 as ranges: "1-4, 9"; "none" for an empty list.
std::string ChannelRanges(const std::vector<int>& channels);
std::string BlankedRanges(const CBlankingMap& map);
