#include "protocol/CControllerLink.h"

#include <cstring>
#include <utility>

#include "model/Checksum16.h"
#include "model/FrameBytes.h"
#include "platform/Clock.h"

namespace {

constexpr long kProbeWriteTimeoutMs = 50;
constexpr long kProbeReadTimeoutMs = 500;
constexpr int kRateCount = 3;

}  // namespace

CControllerLink::CControllerLink(std::unique_ptr<RS232> port)
    : m_port(std::move(port)),
      m_receive(new uint8_t[kReceiveBufferSize]()),
      m_transmit(new uint8_t[kTransmitBufferSize]()) {}

CControllerLink::~CControllerLink() {
    // The port goes first (closing the device), then the buffers.
    m_port.reset();
}

int CControllerLink::Connect(ProbeInfo& info) {
    m_connecting = true;
    ++m_connectsTried;
    const int result = ProbeAtEachRate(info);
    m_connecting = false;
    if (result) ++m_connectsAnswered;
    return result;
}

int CControllerLink::ProbeAtEachRate(ProbeInfo& info) {
    m_port->FlushInput();

    int index = m_baudIndex;
    if (m_port->SetLineParameters(kLinkBaudRates[index], -1, -1, -1) != 0) return 0;
    for (;;) {
        m_transmit[0] = kProbeByte;
        if (m_port->WriteWithTimeout(m_transmit.get(), 1, kProbeWriteTimeoutMs) != 0) return 0;

        ClearBuffer(m_receive.get(), kReceiveBufferSize);
        const int result =
            m_port->ReadWithTimeout(m_receive.get(), kReceiveBufferSize, kProbeReadTimeoutMs);
        if (result != kSerialSuccess && result != kSerialTimeout) return 0;

        // Only the tail counts: whatever arrived before the probe reply (line
        // noise, the end of an earlier reply) is ignored, as long as the
        // reply is the last thing received.
        const uint32_t count = m_port->ByteCount();
        if (count >= 4) {
            const uint8_t* tail = m_receive.get() + count - 4;
            if (tail[0] == kFs && tail[3] == kLf) {
                info.id = tail[1];
                info.extra = tail[2];
                m_baudIndex = index;
                m_controllerId = tail[1];
                return 1;
            }
        }

        index = (index + 1) % kRateCount;
        // Failing leaves the port at the last rate tried; the index keeps the
        // old rate, and the next Connect sets the port back to it.
        if (index == m_baudIndex) return 0;
        if (m_port->SetLineParameters(kLinkBaudRates[index], -1, -1, -1) != 0) return 0;
    }
}

int CControllerLink::SelectBaud(int index) {
    if (index == m_baudIndex) return 1;
    if (index < 0 || index >= kRateCount) return 0;
    if (m_port->SetLineParameters(kLinkBaudRates[index], -1, -1, -1) != 0) return 0;
    m_baudIndex = index;
    return 1;
}

uint16_t CControllerLink::Checksum16(const uint8_t* bytes, int count) {
    return ::Checksum16(bytes, count);
}

void CControllerLink::DelayMs(uint32_t ms) {
    Clock& clock = GetClock();
    const uint32_t start = clock.TickMs();
    for (;;) {
        const uint32_t passed = clock.TickMs() - start;
        if (passed >= ms) return;
        clock.SleepMs(ms - passed);
    }
}

void CControllerLink::ClearBuffer(uint8_t* buffer, int count) {
    if (buffer != nullptr && count > 0) std::memset(buffer, 0, static_cast<size_t>(count));
}
