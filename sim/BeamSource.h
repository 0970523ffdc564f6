#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// What interrupts the beams: a fixed set of blocked channels, plus, in the
// moving scenario, an object that sweeps through the curtain and back so that
// live views keep changing.
class BeamSource {
  public:
    enum class Scenario { Static, Moving };

    void SetBlocked(int channel, bool blocked);
    bool IsBlockedStatic(int channel) const;
    void ClearBlocked() { m_blocked.clear(); }

    Scenario scenario = Scenario::Static;
    // One pass from the first channel to the last takes this long.
    uint32_t sweepMs = 4000;

    // Blocked state of channel 0 to channelCount - 1 at timeMs.
    std::vector<bool> StatesAt(uint32_t timeMs, int channelCount) const;
    // The object's first channel and width at timeMs (width 0 when static).
    void ObjectAt(uint32_t timeMs, int channelCount, int& first, int& width) const;

  private:
    std::vector<bool> m_blocked;
};

}  // namespace sim
