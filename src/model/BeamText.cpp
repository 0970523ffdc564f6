#include "model/BeamText.h"

#include <algorithm>

int ChannelRowCount(int channelCount) {
    return channelCount > 0 ? (channelCount + kChannelsPerRow - 1) / kChannelsPerRow : 0;
}

int RowFirstChannel(int row) { return kChannelsPerRow * row; }

int RowEndChannel(int row, int channelCount) {
    return std::min(RowFirstChannel(row) + kChannelsPerRow, channelCount);
}

namespace {

std::string RowRange(int row, int channelCount, const char* separator) {
    return std::to_string(RowFirstChannel(row) + 1) + separator +
           std::to_string(RowEndChannel(row, channelCount));
}

}  // namespace

std::string BeamRowLabel(int row, int channelCount) { return RowRange(row, channelCount, " - "); }

std::string ChannelRowHeader(int row, int channelCount) { return RowRange(row, channelCount, "-"); }

int ScannedChannels(const CBeamBitScan& scan) {
    return scan.ChannelCount() > 0 ? 8 * (scan.ChannelCount() / 8) : 0;
}

BeamLook LookOf(const CBeamBitScan& scan, const CBlankingMap& map, int channel, bool marks) {
    if (marks && map.IsBlanked(channel)) return BeamLook::Blanked;
    return scan.BeamState(channel) == 1 ? BeamLook::Blocked : BeamLook::Made;
}

std::string BeamString(const CBeamBitScan& scan, const CBlankingMap& map, int row, bool marks) {
    const int end = std::min(RowEndChannel(row, scan.ChannelCount()), ScannedChannels(scan));
    std::string text;
    for (int c = RowFirstChannel(row); c < end; ++c) {
        switch (LookOf(scan, map, c, marks)) {
            case BeamLook::Blanked:
                text += 'B';
                break;
            case BeamLook::Blocked:
                text += '0';
                break;
            case BeamLook::Made:
                text += '1';
                break;
        }
        if (c % 4 == 3) text += ' ';
    }
    return text;
}

BeamCounts CountBeams(const CBeamBitScan& scan, const CBlankingMap& map, bool blankingCleared) {
    BeamCounts counts;
    counts.blocked = scan.Statistics().blockedCount;
    counts.made = scan.Statistics().madeCount - (blankingCleared ? 0 : map.BlankedCount(0));
    return counts;
}

std::vector<int> BlockedChannels(const CBeamBitScan& scan) {
    std::vector<int> channels;
    const int scanned = ScannedChannels(scan);
    for (int c = 0; c < scanned; ++c)
        if (scan.BeamState(c) == 1) channels.push_back(c);
    return channels;
}

std::vector<int> BlankedChannels(const CBlankingMap& map) {
    std::vector<int> channels;
    for (int c = 0; c < map.ChannelCount(); ++c)
        if (map.IsBlanked(c)) channels.push_back(c + 1);
    return channels;
}

std::string ChannelRanges(const std::vector<int>& channels) {
    if (channels.empty()) return "none";
    std::string text;
    for (std::size_t i = 0; i < channels.size();) {
        std::size_t j = i;
        while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(channels[i]);
        if (j > i) text += "-" + std::to_string(channels[j]);
        i = j + 1;
    }
    return text;
}

std::string BlankedRanges(const CBlankingMap& map) { return ChannelRanges(BlankedChannels(map)); }
