#pragma once

#include <cstdint>
#include <memory>

// CBlankingMap: one bit per channel, most significant bit first (channel i is
// 0x80 >> (i % 8) of byte i / 8), 1 = blanked. The same layout fills the
// controller's 48-byte blanking block and .BFS files. Note the beam scan uses
// the opposite bit order: convert channel by channel.
class CBlankingMap {
public:
    static constexpr int kBlockBytes = 48;  // the controller's blanking block

    explicit CBlankingMap(int channelCount = 0);
    CBlankingMap(const CBlankingMap& other);
    CBlankingMap& operator=(const CBlankingMap& other);  // deep copy
    bool operator==(const CBlankingMap& other) const;
    bool operator!=(const CBlankingMap& other) const { return !(*this == other); }

    int ChannelCount() const { return m_channelCount; }
    int ByteCount() const { return m_byteCount; }
    uint8_t* Data() { return m_data.get(); }
    const uint8_t* Data() const { return m_data.get(); }

    // Blanked channels from start to the last channel; 0 when start >= N.
    int BlankedCount(int start) const;
    bool IsBlanked(int channel) const;
    void Blank(int channel);
    void Unblank(int channel);

private:
    int32_t m_channelCount = 0;
    int32_t m_byteCount = 0;
    std::unique_ptr<uint8_t[]> m_data;
};
