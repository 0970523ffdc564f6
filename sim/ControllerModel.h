#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/CPsfRecord.h"
#include "sim/BeamSource.h"
#include "sim/MeasurementScript.h"

namespace sim {

// One board of a bar as the diagnostics block describes it: 8 or 16
// channels, 0 for an invalid board type, -1 for an undefined one.
struct Board {
    int channels = 16;
    uint8_t errorCode = 0;
    bool operator==(const Board&) const = default;
};

// The state of one simulated controller. Plain data plus the few derived
// values every transport needs; the responder changes it as requests arrive.
class ControllerModel {
  public:
    static constexpr int kBlankingBytes = 48;
    static constexpr int kMaxBoardBytes = 24;  // the LF must come before offset 35

    ControllerModel();

    // The id and the rate follow the stored parameter set (bytes 2 and 3);
    // these keep all three consistent.
    uint8_t Id() const { return m_id; }
    long Baud() const { return m_baud; }
    void SetId(uint8_t id);
    bool SetBaud(long baud);  // false for a rate the controller cannot run
    const CPsfRecord& Psf() const { return m_psf; }
    // Stores a parameter set as received; id and rate follow it when its
    // codes are valid, otherwise they stay as they were.
    void StorePsf(const CPsfRecord& psf);

    std::vector<Board> emitter{Board{16, 0}, Board{16, 0}};
    std::vector<Board> receiver{Board{16, 0}, Board{16, 0}};
    uint32_t partNumber = 123456;
    uint16_t dateCode = 1102;
    uint8_t firmware = 0x23;  // high nibble major, low nibble minor
    std::array<uint8_t, kBlankingBytes> blanking{};
    BeamSource beams;
    // Channels a beam scan reports; 0 means the emitter channel total.
    int scanChannelOverride = 0;
    // When active, measurement scans carry these values instead of what the
    // beams give.
    MeasurementScript measurementScript;

    int EmitterChannelTotal() const;
    int ScanChannelCount() const;
    // Channels beyond the blanking block (384 and up) cannot be blanked.
    bool IsBlanked(int channel) const;
    void SetBlanked(int channel, bool blanked);
    // 1 = blocked for every scanned channel at that time; blanked beams read
    // as made, since the controller ignores them.
    std::vector<bool> BeamStates(uint32_t timeMs) const;
    // The board bytes of the diagnostics block, emitter bar first.
    std::vector<uint8_t> BoardBytes() const;

  private:
    CPsfRecord m_psf;
    uint8_t m_id = 'A';
    long m_baud = 9600;
};

// The rate of a parameter-set baud code ('A' 9600, 'B' 19200, 'C' 38400), or 0.
long BaudOfCode(uint8_t code);
uint8_t CodeOfBaud(long baud);  // 0 when the rate has no code

}  // namespace sim
