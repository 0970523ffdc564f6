#include "model/CPsfRecord.h"

#include <algorithm>
#include <iterator>

#include "model/Checksum16.h"
#include "model/FrameBytes.h"

namespace {

constexpr int kOutputsOffset = 10;
constexpr int kOutputSize = 9;

template <size_t N>
int Lookup(const PsfOption (&table)[N], uint8_t code) {
    for (size_t i = 0; i < N; ++i)
        if (table[i].code == code) return static_cast<int>(i);
    return -1;
}

}  // namespace

int LookupControllerId(uint8_t code) {
    for (size_t i = 0; i < std::size(kControllerIds); ++i)
        if (static_cast<uint8_t>(kControllerIds[i].text[0]) == code) return static_cast<int>(i);
    return -1;
}

int LookupBaudRate(uint8_t code) { return Lookup(kBaudRates, code); }
int LookupControlMode(uint8_t code) { return Lookup(kControlModes, code); }
int LookupScanningMethod(uint8_t code) { return Lookup(kScanningMethods, code); }
int LookupMeasurementMode(uint8_t code) { return Lookup(kMeasurementModes, code); }
int LookupOutputSource(uint8_t code) { return Lookup(kOutputSources, code); }

void CPsfRecord::LoadDefaults() {
    static constexpr uint8_t kHead[] = {'A', 'C', 'A', 'A', 'c', 'a', 'K', 'K', 0x00, 0x01};
    static constexpr uint8_t kOutput[kOutputSize] = {'x',  0x00, 0x01, 0x00, 0x01,
                                                     0x00, 0x00, 0x00, 0x02};
    std::copy(std::begin(kHead), std::end(kHead), m_image.begin());
    for (int k = 0; k < kDiscreteOutputCount; ++k)
        std::copy(std::begin(kOutput), std::end(kOutput),
                  m_image.begin() + kOutputsOffset + kOutputSize * k);
}

bool CPsfRecord::Decode(const uint8_t* frame) {
    if (frame[0] != kFs || frame[2] != 'E' || frame[kPsfFrameLength - 1] != kLf) return false;
    std::copy(frame + 1, frame + 1 + kPsfRecordSize, m_image.begin());
    // The reply carries 'E' here; the record must be sendable back as it is.
    m_image[1] = kPsfCommandLetter;
    // Device quirk kept on purpose: the checksum at 155/156 is never verified,
    // so a reply with a wrong one is still taken.
    return true;
}

void CPsfRecord::Encode(uint8_t* frame, uint8_t id) {
    m_image[0] = id;
    frame[0] = kEsc;
    std::copy(m_image.begin(), m_image.end(), frame + 1);
    // Byte 1 of an image loaded from a file may hold anything; sent as it
    // stands, another letter would make the controller take the frame for
    // another command (blanking, part number). A parameter set is always 'C'.
    frame[2] = kPsfCommandLetter;
    // Only the parameter set proper (frame bytes 3 to 154) is summed.
    uint16_t sum = Checksum16(frame + 3, kPsfRecordSize - 2);
    frame[155] = static_cast<uint8_t>(sum >> 8);
    frame[156] = static_cast<uint8_t>(sum & 0xFF);
    frame[157] = kCr;
}

SerialTransmissionMode CPsfRecord::GetTransmissionMode() const {
    uint8_t flags = m_image[8];
    if (flags == 0x00) return SerialTransmissionMode::None;
    if ((flags & 0x60) == 0x40) return SerialTransmissionMode::MeasurementResult;
    return SerialTransmissionMode::AllMode;
}

void CPsfRecord::SetTransmissionMode(SerialTransmissionMode mode) {
    switch (mode) {
        case SerialTransmissionMode::None:
            m_image[8] = 0x00;
            break;
        case SerialTransmissionMode::MeasurementResult:
            m_image[8] = static_cast<uint8_t>((m_image[8] & ~0x60) | 0x40);
            break;
        case SerialTransmissionMode::AllMode:
            m_image[8] = static_cast<uint8_t>((m_image[8] & ~0x60) | 0x20);
            break;
    }
}

void CPsfRecord::GetOutputs(DiscreteOutput outputs[kDiscreteOutputCount]) const {
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        const uint8_t* entry = &m_image[kOutputsOffset + kOutputSize * k];
        auto value = [entry](int i) {
            return static_cast<uint16_t>(entry[1 + 2 * i] * 256 + entry[2 + 2 * i]);
        };
        outputs[k].source = entry[0];
        outputs[k].setPointLow = value(0);
        outputs[k].setPointHigh = value(1);
        outputs[k].hysteresisLow = value(2);
        outputs[k].hysteresisHigh = value(3);
    }
}

void CPsfRecord::SetOutputs(const DiscreteOutput outputs[kDiscreteOutputCount]) {
    for (int k = 0; k < kDiscreteOutputCount; ++k) {
        uint8_t* entry = &m_image[kOutputsOffset + kOutputSize * k];
        const uint16_t values[] = {outputs[k].setPointLow, outputs[k].setPointHigh,
                                   outputs[k].hysteresisLow, outputs[k].hysteresisHigh};
        entry[0] = static_cast<uint8_t>(outputs[k].source & 0xFF);
        for (int i = 0; i < 4; ++i) {
            entry[1 + 2 * i] = static_cast<uint8_t>(values[i] >> 8);
            entry[2 + 2 * i] = static_cast<uint8_t>(values[i] & 0xFF);
        }
    }
}
