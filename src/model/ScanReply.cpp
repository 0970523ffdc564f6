#include "model/ScanReply.h"

#include <algorithm>
#include <cstring>

#include "model/FrameBytes.h"

namespace {

int MeasurementLength(int selector) { return selector == 0 || selector == 1 ? 5 : 7; }

uint16_t BigEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

// CScanReply

CScanReply& CScanReply::operator=(const CScanReply& other) {
    m_expectedLength = other.m_expectedLength;
    return *this;
}

void CScanReply::Allocate(int expectedLength) {
    m_expectedLength = std::max(expectedLength, 0);
    m_capacity = m_expectedLength;
    m_buffer = m_capacity > 0 ? std::make_unique<uint8_t[]>(m_capacity) : nullptr;
}

int CScanReply::Accept(const uint8_t* bytes, int count) {
    if (count != m_expectedLength || count < 1 || !bytes) return 0;
    if (bytes[0] != kFs || bytes[count - 1] != kLf) return 0;
    // An assignment may have changed the expected length without the buffer.
    if (m_capacity < count) {
        m_buffer = std::make_unique<uint8_t[]>(count);
        m_capacity = count;
    }
    std::memcpy(m_buffer.get(), bytes, count);
    return 1;
}

// CMeasurementValues / CMeasurementScan

bool CMeasurementValues::operator==(const CMeasurementValues& other) const {
    return m_expectedLength == other.m_expectedLength && m_value1 == other.m_value1 &&
           m_value2 == other.m_value2;
}

CMeasurementScan::CMeasurementScan(int selector) {
    m_selector = selector;
    Allocate(MeasurementLength(selector));
}

CMeasurementScan::CMeasurementScan(const CMeasurementScan& other) : CMeasurementValues() {
    Allocate(other.m_expectedLength);
    if (other.m_buffer)
        std::memcpy(m_buffer.get(), other.m_buffer.get(), std::min(m_capacity, other.m_capacity));
    m_selector = other.m_selector;
    m_value1 = other.m_value1;
    m_value2 = other.m_value2;
}

CMeasurementScan& CMeasurementScan::operator=(const CMeasurementScan& other) {
    if (this == &other) return *this;
    CScanReply::operator=(other);
    // The stored bytes are not copied; only the buffer size must follow.
    if (m_capacity != m_expectedLength) Allocate(m_expectedLength);
    m_selector = other.m_selector;
    m_value1 = other.m_value1;
    m_value2 = other.m_value2;
    return *this;
}

int CMeasurementScan::Accept(const uint8_t* bytes, int count) {
    m_value1 = 0;
    if (!CScanReply::Accept(bytes, count)) return 0;
    if (m_selector == 0) {
        m_value1 = BigEndian16(bytes + 2);
    } else if (m_selector == 1) {
        m_value2 = BigEndian16(bytes + 2);
    } else {
        m_value1 = BigEndian16(bytes + 2);
        m_value2 = BigEndian16(bytes + 4);
    }
    return 1;
}

// CBeamBitScan

CBeamBitScan::CBeamBitScan(int channelCount) {
    m_channelCount = channelCount;
    Allocate(std::max(channelCount, 0) / 8 + 3);
}

CBeamBitScan::CBeamBitScan(const CBeamBitScan& other) : CBeamScan() { *this = other; }

CBeamBitScan& CBeamBitScan::operator=(const CBeamBitScan& other) {
    if (this == &other) return *this;
    if (m_capacity != other.m_expectedLength || !m_buffer) Allocate(other.m_expectedLength);
    m_expectedLength = other.m_expectedLength;
    m_channelCount = other.m_channelCount;
    m_statistics = other.m_statistics;
    if (other.m_buffer && m_buffer)
        std::memcpy(m_buffer.get(), other.m_buffer.get(), std::min(m_capacity, other.m_capacity));
    return *this;
}

int CBeamBitScan::Accept(const uint8_t* bytes, int count) {
    m_statistics = BeamStatistics();
    if (!CScanReply::Accept(bytes, count)) return 0;
    BeamStatistics& s = m_statistics;
    for (int i = 0; i < m_channelCount; ++i) {
        if (BeamState(i) == 1) {
            ++s.blockedCount;
            s.firstBlocked = std::min(s.firstBlocked, i);
            s.lastBlocked = std::max(s.lastBlocked, i);
        } else {
            ++s.madeCount;
            s.firstMade = std::min(s.firstMade, i);
            s.lastMade = std::max(s.lastMade, i);
        }
    }
    return 1;
}

int CBeamBitScan::BeamState(int channel) const {
    // The reply carries only whole bytes of bits: channels past the last
    // whole byte (a count that is not a multiple of 8) are not reported and
    // read as made, like a blanked beam, so they never look blocked.
    if (channel < 0 || channel >= 8 * (std::max(m_channelCount, 0) / 8) || !m_buffer) return 0;
    return (m_buffer[2 + channel / 8] >> (channel % 8)) & 1;
}

bool CBeamBitScan::operator==(const CBeamBitScan& other) const {
    if (m_channelCount != other.m_channelCount || m_expectedLength != other.m_expectedLength)
        return false;
    int length = m_expectedLength;
    if (m_capacity < length || other.m_capacity < length) return false;
    return length == 0 || std::memcmp(m_buffer.get(), other.m_buffer.get(), length) == 0;
}
