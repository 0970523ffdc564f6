#include "sim/BeamSource.h"

#include <algorithm>

namespace sim {

void BeamSource::SetBlocked(int channel, bool blocked) {
    if (channel < 0) return;
    if (static_cast<size_t>(channel) >= m_blocked.size()) {
        if (!blocked) return;
        m_blocked.resize(static_cast<size_t>(channel) + 1, false);
    }
    m_blocked[static_cast<size_t>(channel)] = blocked;
}

bool BeamSource::IsBlockedStatic(int channel) const {
    return channel >= 0 && static_cast<size_t>(channel) < m_blocked.size() &&
           m_blocked[static_cast<size_t>(channel)];
}

void BeamSource::ObjectAt(uint32_t timeMs, int channelCount, int& first, int& width) const {
    first = 0;
    width = 0;
    if (scenario != Scenario::Moving || channelCount <= 0 || sweepMs == 0) return;
    // An object about a sixteenth of the curtain high, at least two beams, so
    // that first/last, totals and transitions all move with it.
    width = std::min(channelCount, std::max(2, channelCount / 16));
    const int travel = channelCount - width;
    if (travel == 0) return;
    // Down and back up again: a triangle wave over two sweeps.
    const uint64_t phase = timeMs % (2ull * sweepMs);
    const uint64_t along = phase < sweepMs ? phase : 2ull * sweepMs - phase;
    first = static_cast<int>(along * static_cast<uint64_t>(travel) / sweepMs);
}

std::vector<bool> BeamSource::StatesAt(uint32_t timeMs, int channelCount) const {
    std::vector<bool> states(static_cast<size_t>(std::max(channelCount, 0)), false);
    for (int i = 0; i < channelCount; ++i) states[static_cast<size_t>(i)] = IsBlockedStatic(i);
    int first = 0;
    int width = 0;
    ObjectAt(timeMs, channelCount, first, width);
    for (int i = first; i < first + width && i < channelCount; ++i)
        states[static_cast<size_t>(i)] = true;
    return states;
}

}  // namespace sim
