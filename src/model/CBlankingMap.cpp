#include "model/CBlankingMap.h"

#include <algorithm>
#include <cstring>

CBlankingMap::CBlankingMap(int channelCount)
    : m_channelCount(channelCount), m_byteCount(std::max(channelCount, 0) / 8) {
    if (m_byteCount > 0) m_data = std::make_unique<uint8_t[]>(m_byteCount);
}

CBlankingMap::CBlankingMap(const CBlankingMap& other) { *this = other; }

CBlankingMap& CBlankingMap::operator=(const CBlankingMap& other) {
    if (this == &other) return *this;
    m_data.reset();
    m_channelCount = other.m_channelCount;
    m_byteCount = other.m_byteCount;
    if (m_byteCount > 0) {
        m_data = std::make_unique<uint8_t[]>(m_byteCount);
        std::memcpy(m_data.get(), other.m_data.get(), m_byteCount);
    }
    return *this;
}

bool CBlankingMap::operator==(const CBlankingMap& other) const {
    if (m_channelCount != other.m_channelCount || m_byteCount != other.m_byteCount) return false;
    return m_byteCount == 0 || std::memcmp(m_data.get(), other.m_data.get(), m_byteCount) == 0;
}

int CBlankingMap::BlankedCount(int start) const {
    int count = 0;
    const int end = std::min(m_channelCount, m_byteCount * 8);
    for (int channel = std::max(start, 0); channel < end; ++channel)
        if (IsBlanked(channel)) ++count;
    return count;
}

// Channels past the last whole byte have no bit and are never blanked.
bool CBlankingMap::IsBlanked(int channel) const {
    if (channel < 0 || channel / 8 >= m_byteCount) return false;
    return (m_data[channel / 8] & (0x80 >> (channel % 8))) != 0;
}

void CBlankingMap::Blank(int channel) {
    if (channel < 0 || channel / 8 >= m_byteCount) return;
    m_data[channel / 8] = static_cast<uint8_t>(m_data[channel / 8] | (0x80 >> (channel % 8)));
}

void CBlankingMap::Unblank(int channel) {
    if (channel < 0 || channel / 8 >= m_byteCount) return;
    m_data[channel / 8] = static_cast<uint8_t>(m_data[channel / 8] & ~(0x80 >> (channel % 8)));
}
