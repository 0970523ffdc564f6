#include "model/BlockedHistory.h"

#include <algorithm>

#include "model/BeamText.h"

void BlockedHistory::Clear(int channelCount) {
    m_blocked.assign(static_cast<std::size_t>(std::max(channelCount, 0)), false);
}

void BlockedHistory::Add(const CBeamBitScan& scan) {
    for (const int channel : BlockedChannels(scan))
        if (channel < ChannelCount()) m_blocked[static_cast<std::size_t>(channel)] = true;
}

bool BlockedHistory::WasBlocked(int channel) const {
    return channel >= 0 && channel < ChannelCount() && m_blocked[static_cast<std::size_t>(channel)];
}

bool SteadyBlockedSet::Add(const std::vector<int>& blocked) {
    if (m_run > 0 && blocked == m_blocked) {
        ++m_run;
    } else {
        m_blocked = blocked;
        m_run = 1;
    }
    return m_run >= m_needed;
}
