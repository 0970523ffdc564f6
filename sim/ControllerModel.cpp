#include "sim/ControllerModel.h"

#include <cstddef>

namespace sim {

long BaudOfCode(uint8_t code) {
    switch (code) {
        case 'A':
            return 9600;
        case 'B':
            return 19200;
        case 'C':
            return 38400;
        default:
            return 0;
    }
}

uint8_t CodeOfBaud(long baud) {
    switch (baud) {
        case 9600:
            return 'A';
        case 19200:
            return 'B';
        case 38400:
            return 'C';
        default:
            return 0;
    }
}

ControllerModel::ControllerModel() {
    m_psf.LoadDefaults();
    m_id = m_psf.GetControllerId();
    m_psf.Data()[0] = m_id;
}

void ControllerModel::SetId(uint8_t id) {
    m_id = id;
    m_psf.SetControllerId(id);
    m_psf.Data()[0] = id;
}

bool ControllerModel::SetBaud(long baud) {
    const uint8_t code = CodeOfBaud(baud);
    if (code == 0) return false;
    m_baud = baud;
    m_psf.SetBaudCode(code);
    return true;
}

void ControllerModel::StorePsf(const CPsfRecord& psf) {
    m_psf = psf;
    const uint8_t id = psf.GetControllerId();
    if (id >= 'A' && id <= 'O') m_id = id;
    const long baud = BaudOfCode(psf.GetBaudCode());
    if (baud != 0) m_baud = baud;
    m_psf.Data()[0] = m_id;
    m_psf.Data()[1] = 'C';
}

int ControllerModel::EmitterChannelTotal() const {
    int total = 0;
    for (const Board& b : emitter)
        if (b.channels > 0) total += b.channels;
    return total;
}

int ControllerModel::ScanChannelCount() const {
    return scanChannelOverride > 0 ? scanChannelOverride : EmitterChannelTotal();
}

bool ControllerModel::IsBlanked(int channel) const {
    if (channel < 0 || channel >= kBlankingBytes * 8) return false;
    return (blanking[static_cast<size_t>(channel / 8)] & (0x80 >> (channel % 8))) != 0;
}

void ControllerModel::SetBlanked(int channel, bool blanked) {
    if (channel < 0 || channel >= kBlankingBytes * 8) return;
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (channel % 8));
    uint8_t& byte = blanking[static_cast<size_t>(channel / 8)];
    byte = static_cast<uint8_t>(blanked ? (byte | bit) : (byte & ~bit));
}

std::vector<bool> ControllerModel::BeamStates(uint32_t timeMs) const {
    std::vector<bool> states = beams.StatesAt(timeMs, ScanChannelCount());
    for (size_t i = 0; i < states.size(); ++i)
        if (IsBlanked(static_cast<int>(i))) states[i] = false;
    return states;
}

namespace {
uint8_t BoardByte(const Board& board, bool receiver) {
    uint8_t type = 0x00;  // invalid
    if (board.channels == 8)
        type = 0x20;
    else if (board.channels == 16)
        type = 0x40;
    else if (board.channels < 0)
        type = 0x60;  // undefined
    return static_cast<uint8_t>((receiver ? 0x80 : 0x00) | type | (board.errorCode & 0x1F));
}
}  // namespace

std::vector<uint8_t> ControllerModel::BoardBytes() const {
    std::vector<uint8_t> bytes;
    for (const Board& b : emitter) bytes.push_back(BoardByte(b, false));
    for (const Board& b : receiver) bytes.push_back(BoardByte(b, true));
    if (bytes.size() > static_cast<size_t>(kMaxBoardBytes)) bytes.resize(kMaxBoardBytes);
    return bytes;
}

}  // namespace sim
