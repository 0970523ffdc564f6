// The command set of CControllerLink: one request, one reply each, framed
// ESC id letter ... CR / FS id letter ... LF, except the scan request and its
// reply. Every command but the scan probes first and makes a single attempt.

#include <algorithm>
#include <vector>

#include "model/CBlankingMap.h"
#include "model/Checksum16.h"
#include "model/CDiagnosticsRecord.h"
#include "model/CPsfRecord.h"
#include "model/FrameBytes.h"
#include "model/ScanReply.h"
#include "protocol/CControllerLink.h"

namespace {

constexpr uint32_t kReplyDelayMs = 100;
constexpr uint32_t kScanLeadDelayMs = 50;
constexpr long kSingleAttempt = 0;  // one block write, bounded by the port's write time-out
constexpr long kReplyTimeoutMs = 1000;
constexpr long kPsfReplyTimeoutMs = 1500;

constexpr int kShortRequestLength = 4;
constexpr int kAckLength = 4;
constexpr int kDiagnosticsMinLength = 11;
constexpr int kDiagnosticsMaxLength = 35;
constexpr int kBlankingFrameLength = 54;
constexpr int kBlankingChecksumAt = 51;
constexpr int kPartNumberRequestLength = 12;
constexpr int kScanRequestLength = 3;
constexpr int kScanAttempts = 3;

void BuildShortRequest(uint8_t* tx, uint8_t id, uint8_t letter) {
    tx[0] = kEsc;
    tx[1] = id;
    tx[2] = letter;
    tx[3] = kCr;
}

// The acknowledgement's id is not compared: the controller may answer under
// the id of a parameter set it has just taken.
bool IsAcknowledgement(const uint8_t* rx) { return rx[0] == kFs && rx[2] == 'J' && rx[3] == kLf; }

void PutU16(uint8_t* at, uint16_t sum) {
    at[0] = static_cast<uint8_t>(sum >> 8);
    at[1] = static_cast<uint8_t>(sum & 0xFF);
}

int BlankingBytes(const CBlankingMap& map) {
    const int n = map.ByteCount();
    return n < 0 ? 0 : (n > CBlankingMap::kBlockBytes ? CBlankingMap::kBlockBytes : n);
}

}  // namespace

int CControllerLink::SendPsf(CPsfRecord& record) {
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    ClearBuffer(tx, kTransmitBufferSize);
    record.Encode(tx, info.id);
    if (m_port->WriteWithTimeout(tx, kPsfFrameLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    if (m_port->ReadWithTimeout(rx, kAckLength, kPsfReplyTimeoutMs) != 0) return 0;
    if (!IsAcknowledgement(rx)) return 0;
    // A new parameter set may carry a new controller id; the controller
    // acknowledges under it, and later scans must be addressed to it.
    m_controllerId = rx[1];
    return 1;
}

int CControllerLink::ReadPsf(CPsfRecord& record) {
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    ClearBuffer(tx, kTransmitBufferSize);
    BuildShortRequest(tx, info.id, 'D');
    if (m_port->WriteWithTimeout(tx, kShortRequestLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    if (m_port->ReadWithTimeout(rx, kPsfFrameLength, kPsfReplyTimeoutMs) != 0) return 0;
    // The reply's id and checksum are not compared (the record checks FS, 'E', LF).
    return record.Decode(rx) ? 1 : 0;
}

int CControllerLink::ReadPsfChecked(CPsfRecord& record) {
    const auto checksumHolds = [](const uint8_t* frame) {
        return ::Checksum16(frame + 3, kPsfRecordSize - 2) == frame[155] * 256 + frame[156];
    };
    CPsfRecord first;
    if (!ReadPsf(first)) return 0;
    const std::vector<uint8_t> firstFrame(m_receive.get(), m_receive.get() + kPsfFrameLength);
    if (checksumHolds(firstFrame.data())) {
        record = first;
        return 1;
    }
    CPsfRecord second;
    if (!ReadPsf(second)) return 0;
    if (!checksumHolds(m_receive.get()) &&
        !std::equal(firstFrame.begin(), firstFrame.end(), m_receive.get()))
        return 0;
    record = second;
    return 1;
}

int CControllerLink::RequestDiagnostics(CDiagnosticsRecord& record) {
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    ClearBuffer(tx, kTransmitBufferSize);
    BuildShortRequest(tx, info.id, 'H');
    ClearBuffer(rx, kReceiveBufferSize);
    m_port->FlushInput();
    if (m_port->WriteWithTimeout(tx, kShortRequestLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    // The block's length follows the number of boards, so this read normally
    // ends by its time-out; only the count that arrived decides.
    m_port->ReadWithTimeout(rx, kDiagnosticsMaxLength, kReplyTimeoutMs);
    const int received = static_cast<int>(m_port->ByteCount());
    if (received < kDiagnosticsMinLength || received > kDiagnosticsMaxLength) return 0;
    return record.Decode(rx, received);
}

int CControllerLink::RequestScan(CScanReply& reply) {
    const int expected = reply.ExpectedLength();
    // A reply longer than the receive buffer cannot be read into it.
    if (expected < 0 || expected > kReceiveBufferSize) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    // No probe: the scan goes to the controller an earlier command found.
    ClearBuffer(rx, kReceiveBufferSize);
    tx[0] = kProbeByte;
    tx[1] = m_controllerId;
    tx[2] = 'S';
    DelayMs(kScanLeadDelayMs);
    for (int attempt = 0; attempt < kScanAttempts; ++attempt) {
        if (m_port->WriteWithTimeout(tx, kScanRequestLength, kSingleAttempt) == 0) {
            DelayMs(kReplyDelayMs);
            if (m_port->ReadWithTimeout(rx, expected, kReplyTimeoutMs) == 0)
                // A complete reply that Accept refuses is not retried.
                return reply.Accept(rx, static_cast<int>(m_port->ByteCount()));
        }
        m_port->FlushInput();
        m_port->FlushOutput();
    }
    return 0;
}

int CControllerLink::ReadBlanking(CBlankingMap& map) {
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    BuildShortRequest(tx, info.id, 'V');
    if (m_port->WriteWithTimeout(tx, kShortRequestLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    if (m_port->ReadWithTimeout(rx, kBlankingFrameLength, kReplyTimeoutMs) != 0) return 0;
    if (rx[0] != kFs || rx[1] != info.id || rx[2] != 'Y' || rx[kBlankingFrameLength - 1] != kLf)
        return 0;
    const int bytes = BlankingBytes(map);
    for (int k = 0; k < bytes; ++k) map.Data()[k] = rx[3 + k];
    // The map is already filled when the checksum turns out wrong; callers
    // treat 0 as "not read" and do not use it.
    const uint16_t sum = Checksum16(rx + 3, CBlankingMap::kBlockBytes);
    return sum == rx[kBlankingChecksumAt] * 256 + rx[kBlankingChecksumAt + 1] ? 1 : 0;
}

int CControllerLink::WriteBlanking(const CBlankingMap& map) {
    // A map the block cannot hold would reach the controller cut short.
    if (map.ByteCount() > CBlankingMap::kBlockBytes) return 0;
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    ClearBuffer(tx, kTransmitBufferSize);
    tx[0] = kEsc;
    tx[1] = info.id;
    tx[2] = 'W';
    tx[kBlankingFrameLength - 1] = kCr;
    const int bytes = BlankingBytes(map);
    for (int k = 0; k < bytes; ++k) tx[3 + k] = map.Data()[k];
    PutU16(tx + kBlankingChecksumAt, Checksum16(tx + 3, CBlankingMap::kBlockBytes));
    if (m_port->WriteWithTimeout(tx, kBlankingFrameLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    if (m_port->ReadWithTimeout(rx, kAckLength, kReplyTimeoutMs) != 0) return 0;
    return IsAcknowledgement(rx) ? 1 : 0;
}

int CControllerLink::WritePartNumber(uint32_t partNumber, uint32_t dateCode) {
    ProbeInfo info;
    if (!Connect(info)) return 0;
    uint8_t* tx = m_transmit.get();
    uint8_t* rx = m_receive.get();
    tx[0] = kEsc;
    tx[1] = info.id;
    tx[2] = 'X';
    for (int k = 0; k < 4; ++k) tx[3 + k] = static_cast<uint8_t>(partNumber >> (24 - 8 * k));
    // The controller keeps 16 bits of date code.
    PutU16(tx + 7, static_cast<uint16_t>(dateCode & 0xFFFF));
    PutU16(tx + 9, Checksum16(tx + 3, 6));
    tx[11] = kCr;
    if (m_port->WriteWithTimeout(tx, kPartNumberRequestLength, kSingleAttempt) != 0) return 0;
    DelayMs(kReplyDelayMs);
    if (m_port->ReadWithTimeout(rx, kAckLength, kReplyTimeoutMs) != 0) return 0;
    return IsAcknowledgement(rx) ? 1 : 0;
}
