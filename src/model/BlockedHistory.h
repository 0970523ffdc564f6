#pragma once

#include <vector>

#include "model/ScanReply.h"

// Beams that were blocked at some scan since the history was last cleared:
// a beam that flickers while the bars are lined up shows here even when the
// latest scan has it made.
class BlockedHistory {
public:
    void Clear(int channelCount);
    void Add(const CBeamBitScan& scan);
    bool WasBlocked(int channel) const;
    int ChannelCount() const { return static_cast<int>(m_blocked.size()); }

private:
    std::vector<bool> m_blocked;
};

// The set of blocked channels once it has stayed the same for a number of
// scans in a row, so that a hand still moving through the curtain is not
// taught as a blanking field.
class SteadyBlockedSet {
public:
    explicit SteadyBlockedSet(int scansInARow = 3) : m_needed(scansInARow) {}

    // Takes the blocked channels of one scan; true once they were the same
    // in the last scansInARow scans.
    bool Add(const std::vector<int>& blocked);
    const std::vector<int>& Blocked() const { return m_blocked; }

private:
    int m_needed;
    int m_run = 0;
    std::vector<int> m_blocked;
};
