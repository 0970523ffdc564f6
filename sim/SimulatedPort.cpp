#include "sim/SimulatedPort.h"

#include <cmath>

#include "platform/Clock.h"
#include "serial/PortFactory.h"

namespace sim {

namespace {

// Start, 8 data bits, parity and two stop bits.
constexpr double kBitsPerChar = 12.0;

double CharMs(long baud) {
    return baud > 0 ? kBitsPerChar * 1000.0 / static_cast<double>(baud) : 0.0;
}

// Rates the device takes; any other leaves the line as it was (the port's rule).
bool DeviceTakesRate(long baud) { return baud > 0 && (baud <= 19200 || baud == 38400); }

}  // namespace

std::vector<std::vector<uint8_t>> SimulatedLine::Writes() const {
    std::vector<std::vector<uint8_t>> writes;
    for (const PortEvent& e : m_events)
        if (e.kind == PortEvent::Kind::Write) writes.push_back(e.bytes);
    return writes;
}

SimulatedPort::SimulatedPort(std::shared_ptr<SimulatedLine> line, int portIndex, long baud,
                             int parity, int wordLength, int stopBits)
    : m_line(std::move(line)) {
    m_portIndex = portIndex;
    ++m_line->portsOpened;
    if (m_line->openStatus != 0) {
        m_status = m_line->openStatus;
        return;
    }
    m_saved = SerialSettings{9600, 'N', 8, 0, -1, -1, 0};
    m_current = m_saved;
    ApplySettings(baud, parity, wordLength, stopBits, 0, 0, 0, 0, 0);
    m_lineSpeed = DeviceTakesRate(baud) ? baud : m_saved.baud;
}

void SimulatedPort::Record(PortEvent::Kind kind, std::vector<uint8_t> bytes, int requested,
                           int result) {
    m_line->m_events.push_back(
        PortEvent{kind, GetClock().TickMs(), m_lineSpeed, std::move(bytes), requested, result});
}

void SimulatedPort::Deliver(const ResponderResult& result, double startMs) {
    for (const Outgoing& out : result.replies) {
        double due = startMs + out.delayMs + m_line->turnaroundMs;
        // Bytes on one wire cannot overtake each other.
        if (!m_incoming.empty() && due < m_incoming.back().dueMs) due = m_incoming.back().dueMs;
        const double charMs = m_line->pace ? CharMs(out.baud) : 0.0;
        for (uint8_t b : out.bytes) {
            due += charMs;
            m_incoming.push_back(Incoming{due, b});
        }
    }
}

int SimulatedPort::TakeArrived(uint8_t* buffer, int count, double nowMs) {
    int taken = 0;
    while (taken < count && !m_incoming.empty() && m_incoming.front().dueMs <= nowMs) {
        buffer[taken++] = m_incoming.front().byte;
        m_incoming.pop_front();
    }
    return taken;
}

int SimulatedPort::ReadBlock(uint8_t* buffer, int count) {
    m_byteCount = 0;
    if (m_status < 0) return m_status;
    Clock& clock = GetClock();
    const uint32_t start = clock.TickMs();
    int got = TakeArrived(buffer, count, start);
    int result = 0;
    if (got < count) {
        // Wait for the missing bytes, at most one block time.
        const size_t missing = static_cast<size_t>(count - got);
        uint32_t wait = kBlockReadMs;
        if (m_incoming.size() >= missing) {
            const double lastDue = m_incoming[missing - 1].dueMs;
            if (lastDue <= start + kBlockReadMs)
                wait = static_cast<uint32_t>(std::ceil(lastDue - start));
        }
        clock.SleepMs(wait);
        got += TakeArrived(buffer + got, count - got, start + wait);
        result = got < count ? kSerialTimeout : 0;
    }
    m_byteCount = static_cast<uint32_t>(got);
    Record(PortEvent::Kind::Read, std::vector<uint8_t>(buffer, buffer + got), count, result);
    return result;
}

int SimulatedPort::WriteBlock(const uint8_t* buffer, int count) {
    m_byteCount = 0;
    if (m_status < 0) return m_status;
    const uint32_t now = GetClock().TickMs();
    Record(PortEvent::Kind::Write, std::vector<uint8_t>(buffer, buffer + count), 0, 0);
    ResponderResult result =
        m_line->m_responder.Receive(buffer, static_cast<size_t>(count), now, m_lineSpeed, true);
    // Paced, the controller hears the request only once it has crossed the line.
    const double arrival = now + (m_line->pace ? count * CharMs(m_lineSpeed) : 0.0);
    Deliver(result, arrival);
    m_byteCount = static_cast<uint32_t>(count);
    return 0;
}

int SimulatedPort::ReadByte() {
    uint8_t b = 0;
    const int result = ReadBlock(&b, 1);
    if (result < 0 && m_status < 0) return m_status;
    return result == 0 ? static_cast<int>(b) : static_cast<int>(kSerialTimeout);
}

int SimulatedPort::WriteByte(int byte) {
    const uint8_t b = static_cast<uint8_t>(byte);
    const int result = WriteBlock(&b, 1);
    return result == 0 ? 0 : (m_status < 0 ? m_status : static_cast<int>(kSerialTimeout));
}

int SimulatedPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
    if (m_status < 0) return m_status;
    ApplySettings(baud, parity, wordLength, stopBits, -1, -1, -1, -1, -1);
    if (DeviceTakesRate(baud)) m_lineSpeed = baud;
    Record(PortEvent::Kind::SetLine);
    return 0;
}

int SimulatedPort::ParityErrorSeen(int) { return m_status < 0 ? m_status : 0; }
int SimulatedPort::BreakSeen(int) { return m_status < 0 ? m_status : 0; }
int SimulatedPort::FramingErrorSeen(int) { return m_status < 0 ? m_status : 0; }
int SimulatedPort::OverrunSeen(int) { return m_status < 0 ? m_status : 0; }
int SimulatedPort::InputOverflowSeen(int) { return m_status < 0 ? m_status : 0; }

int SimulatedPort::SendBreak(int ms) {
    if (m_status < 0) return m_status;
    Record(PortEvent::Kind::Break);
    GetClock().SleepMs(ms > 0 ? static_cast<uint32_t>(ms) : 0);
    return 0;
}

int SimulatedPort::XonXoff(int setting) {
    if (m_status < 0) return m_status;
    if (setting != -1) m_current.xonXoff = setting != 0 ? 1 : 0;
    return m_current.xonXoff;
}

int SimulatedPort::FlushInput() {
    if (m_status < 0) return m_status;
    // Only what has arrived is discarded; bytes still on the wire come later.
    const double now = GetClock().TickMs();
    while (!m_incoming.empty() && m_incoming.front().dueMs <= now) m_incoming.pop_front();
    Record(PortEvent::Kind::FlushInput);
    return 0;
}

int SimulatedPort::FlushOutput() {
    if (m_status < 0) return m_status;
    Record(PortEvent::Kind::FlushOutput);
    return 0;
}

void InstallSimulatedPorts(std::shared_ptr<SimulatedLine> line) {
    SetPortFactory([line](int portIndex, long baud) -> std::unique_ptr<RS232> {
        return std::make_unique<SimulatedPort>(line, portIndex, baud);
    });
}

ScopedSimulatedPorts::ScopedSimulatedPorts(std::shared_ptr<SimulatedLine> line) {
    InstallSimulatedPorts(std::move(line));
}

ScopedSimulatedPorts::~ScopedSimulatedPorts() { SetPortFactory({}); }

}  // namespace sim
