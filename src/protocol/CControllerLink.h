#pragma once

#include <cstdint>
#include <memory>

#include "serial/RS232.h"

class CPsfRecord;
class CDiagnosticsRecord;
class CScanReply;
class CBlankingMap;

// What Connect learns from the probe reply: the controller id and the
// reply's third byte (carried, used by no command).
struct ProbeInfo {
    uint8_t id = 0;
    uint8_t extra = 0;
};

// Rates the link cycles through; the order matches the parameter set's baud
// codes 'A', 'B', 'C', so a baud code minus 'A' is an index here.
inline constexpr long kLinkBaudRates[3] = {9600, 19200, 38400};

// CControllerLink: the one connection to the controller for the duration of
// a menu command. Owns the port and both buffers. Every operation returns 1
// (or its decoder's result) on success and 0 on failure and shows nothing;
// the serial layer's codes do not leave the link.
class CControllerLink {
public:
    static constexpr int kReceiveBufferSize = 4000;
    static constexpr int kTransmitBufferSize = 1024;

    explicit CControllerLink(std::unique_ptr<RS232> port);
    ~CControllerLink();
    CControllerLink(const CControllerLink&) = delete;
    CControllerLink& operator=(const CControllerLink&) = delete;

    // Probes with 0xF8, cycling 9600/19200/38400 from the current index.
    int Connect(ProbeInfo& info);
    int SelectBaud(int index);
    static uint16_t Checksum16(const uint8_t* bytes, int count);
    // Waits on the clock without dispatching anything.
    static void DelayMs(uint32_t ms);
    static void ClearBuffer(uint8_t* buffer, int count);

    // The command set.
    int SendPsf(CPsfRecord& record);
    int ReadPsf(CPsfRecord& record);
    // ReadPsf for an original that may be written back later: the reply's
    // checksum is checked, and on a mismatch the set is read once more. A
    // reply is taken when its checksum holds, or when two replies in a row
    // are the same byte for byte (a controller that sums differently); else
    // 0 and the record is untouched.
    int ReadPsfChecked(CPsfRecord& record);
    int RequestDiagnostics(CDiagnosticsRecord& record);
    int RequestScan(CScanReply& reply);
    int ReadBlanking(CBlankingMap& map);
    int WriteBlanking(const CBlankingMap& map);
    int WritePartNumber(uint32_t partNumber, uint32_t dateCode);

    RS232& Port() { return *m_port; }
    // Progress for whoever shows it while the link waits: a Connect under
    // way, and how many were tried and answered since the link was made.
    bool Connecting() const { return m_connecting; }
    int ConnectsTried() const { return m_connectsTried; }
    int ConnectsAnswered() const { return m_connectsAnswered; }
    int BaudIndex() const { return m_baudIndex; }
    uint8_t ControllerId() const { return m_controllerId; }
    uint8_t* ReceiveBuffer() { return m_receive.get(); }
    uint8_t* TransmitBuffer() { return m_transmit.get(); }

private:
    int ProbeAtEachRate(ProbeInfo& info);

    std::unique_ptr<RS232> m_port;
    std::unique_ptr<uint8_t[]> m_receive;
    std::unique_ptr<uint8_t[]> m_transmit;
    int32_t m_baudIndex = 0;
    uint8_t m_controllerId = 0;
    bool m_connecting = false;
    int m_connectsTried = 0;
    int m_connectsAnswered = 0;
};
