#pragma once

#include <cstdint>
#include <memory>

// Replies to the scan request. The reply carries no length and no letter,
// so the requester must know how many bytes to read: each reply object
// states its ExpectedLength and checks and keeps the bytes it is given.

class CScanReply {
public:
    CScanReply() = default;
    ~CScanReply() = default;
    CScanReply& operator=(const CScanReply& other);  // copies the expected length only

    int ExpectedLength() const { return m_expectedLength; }
    // 1 when count equals the expected length, the first byte is FS (0x1C) and
    // the last LF (0x0A); the bytes are then stored. 0 leaves the store as it was.
    virtual int Accept(const uint8_t* bytes, int count);
    const uint8_t* Bytes() const { return m_buffer.get(); }

protected:
    // Sets the expected length and a zeroed buffer of that many bytes.
    void Allocate(int expectedLength);

    std::unique_ptr<uint8_t[]> m_buffer;
    int32_t m_expectedLength = 0;
    int32_t m_capacity = 0;  // bytes in m_buffer; may lag m_expectedLength after an assignment
};

class CMeasurementValues : public CScanReply {
public:
    uint16_t Value1() const { return m_value1; }
    uint16_t Value2() const { return m_value2; }
    int Selector() const { return m_selector; }
    bool operator==(const CMeasurementValues& other) const;
    bool operator!=(const CMeasurementValues& other) const { return !(*this == other); }

protected:
    uint16_t m_value1 = 0;
    uint16_t m_value2 = 0;
    int32_t m_selector = 0;
};

// Selector 0: value 1 only; 1: value 2 only; anything else: both (7 bytes).
class CMeasurementScan : public CMeasurementValues {
public:
    explicit CMeasurementScan(int selector);
    CMeasurementScan(const CMeasurementScan& other);
    CMeasurementScan& operator=(const CMeasurementScan& other);
    int Accept(const uint8_t* bytes, int count) override;
};

struct BeamStatistics {
    int32_t blockedCount = 0;
    int32_t madeCount = 0;
    int32_t firstBlocked = 2147483647;
    int32_t lastBlocked = -2147483647 - 1;
    int32_t firstMade = 2147483647;
    int32_t lastMade = -2147483647 - 1;
    bool operator==(const BeamStatistics&) const = default;
};

class CBeamScan : public CScanReply {
public:
    virtual int BeamState(int channel) const = 0;
    const BeamStatistics& Statistics() const { return m_statistics; }
    int ChannelCount() const { return m_channelCount; }

protected:
    BeamStatistics m_statistics;
    int32_t m_channelCount = 0;
};

// One state bit per beam channel, least significant bit first, 1 = blocked.
class CBeamBitScan : public CBeamScan {
public:
    explicit CBeamBitScan(int channelCount);
    CBeamBitScan(const CBeamBitScan& other);
    CBeamBitScan& operator=(const CBeamBitScan& other);  // deep copy
    int Accept(const uint8_t* bytes, int count) override;
    int BeamState(int channel) const override;
    bool operator==(const CBeamBitScan& other) const;
    bool operator!=(const CBeamBitScan& other) const { return !(*this == other); }
};
