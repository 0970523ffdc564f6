#include "model/BlankingEdits.h"

#include "model/BeamText.h"

CBlankingMap TaughtBlankingMap(const CBeamBitScan& scan, int channelCount) {
    CBlankingMap map(channelCount);
    for (const int channel : BlockedChannels(scan))
        if (channel < channelCount) map.Blank(channel);
    return map;
}

int EditorCellChannel(int row, int col, int channelCount) {
    if (row < 1 || col < 1 || col > kChannelsPerRow) return -1;
    const int channel = RowFirstChannel(row - 1) + col - 1;
    return channel < channelCount ? channel : -1;
}

CBlankingMap CollectBlankingMap(const CBlankingMap& opening, const std::vector<std::string>& cellTexts) {
    CBlankingMap map = opening;
    const int cells = static_cast<int>(cellTexts.size());
    for (int channel = 0; channel < cells; ++channel) {
        if (cellTexts[static_cast<std::size_t>(channel)] == "1")
            map.Blank(channel);
        else
            map.Unblank(channel);
    }
    return map;
}
