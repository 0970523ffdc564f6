#include "model/BeamText.h"

#include <algorithm>

std::vector<int> BlankedChannels(const CBlankingMap& map) {
    std::vector<int> channels;
    for (int c = 0; c < map.ChannelCount(); ++c) {
        if (map.IsBlanked(c)) channels.push_back(c + 1);
    }
    return channels;
}

std::string BlankedRanges(const CBlankingMap& map) {
    const std::vector<int> channels = BlankedChannels(map);
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

std::string BeamRow(const CBeamBitScan& scan, const CBlankingMap& map, int row) {
    // A scan carries 8 * (N / 8) channels; nothing is drawn past them.
    const int last = std::min(16 * row + 16, 8 * (scan.ChannelCount() / 8));
    std::string text;
    for (int c = 16 * row; c < last; ++c) {
        if (c < map.ChannelCount() && map.IsBlanked(c)) {
            text += 'B';
        } else {
            text += scan.BeamState(c) == 1 ? '0' : '1';
        }
        if (c % 4 == 3 && c + 1 < last) text += ' ';
    }
    return text;
}

std::string BeamRowLabel(int row, int channelCount) {
    const int first = 16 * row + 1;
    const int last = std::min(16 * row + 16, channelCount);
    return std::to_string(first) + " - " + std::to_string(last);
}
