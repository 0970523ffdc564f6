#include "serial/TracingPort.h"

#include <string>
#include <utility>

TracingPort::TracingPort(std::unique_ptr<RS232> inner, std::shared_ptr<TraceLog> log)
    : m_inner(std::move(inner)), m_log(std::move(log)) {
    m_portIndex = m_inner->PortIndex();
    m_saved = m_inner->SavedSettings();
    Mirror(0);
    if (m_log) {
        m_log->Note("OPEN COM" + std::to_string(m_portIndex + 1) + " " +
                    std::to_string(m_current.baud) + " status " + std::to_string(m_status) + " " +
                    m_inner->ErrorName(m_status));
    }
}

TracingPort::~TracingPort() {
    if (m_log) m_log->Note("CLOSE COM" + std::to_string(m_portIndex + 1));
}

int TracingPort::Mirror(int result) {
    m_status = m_inner->Status();
    m_byteCount = m_inner->ByteCount();
    m_current = m_inner->CurrentSettings();
    // A reader of the trace sees where the line went away and came back.
    if (m_inner->DeviceLost() != m_lost) {
        m_lost = !m_lost;
        if (m_log) m_log->Note(m_lost ? "DEVICE GONE" : "DEVICE REOPENED");
    }
    return result;
}

int TracingPort::ReadBlock(uint8_t* buffer, int count) {
    const int result = Mirror(m_inner->ReadBlock(buffer, count));
    if (m_log) m_log->Bytes(TraceDirection::Receive, buffer, static_cast<int>(m_byteCount));
    return result;
}

int TracingPort::WriteBlock(const uint8_t* buffer, int count) {
    const int result = Mirror(m_inner->WriteBlock(buffer, count));
    if (m_log) m_log->Bytes(TraceDirection::Transmit, buffer, static_cast<int>(m_byteCount));
    return result;
}

int TracingPort::ReadByte() {
    const int result = Mirror(m_inner->ReadByte());
    if (m_log && result >= 0) {
        const uint8_t byte = static_cast<uint8_t>(result);
        m_log->Bytes(TraceDirection::Receive, &byte, 1);
    }
    return result;
}

int TracingPort::WriteByte(int byte) {
    const int result = Mirror(m_inner->WriteByte(byte));
    if (m_log && result == 0) {
        const uint8_t b = static_cast<uint8_t>(byte);
        m_log->Bytes(TraceDirection::Transmit, &b, 1);
    }
    return result;
}

int TracingPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
    const int result = Mirror(m_inner->SetLineParameters(baud, parity, wordLength, stopBits));
    if (m_log && baud != -1) {
        std::string line = "BAUD " + std::to_string(baud);
        if (result != 0) line += " refused: " + std::string(m_inner->ErrorName(result));
        m_log->Note(line);
    }
    return result;
}

int TracingPort::ParityErrorSeen(int clear) { return Mirror(m_inner->ParityErrorSeen(clear)); }
int TracingPort::BreakSeen(int clear) { return Mirror(m_inner->BreakSeen(clear)); }
int TracingPort::FramingErrorSeen(int clear) { return Mirror(m_inner->FramingErrorSeen(clear)); }
int TracingPort::OverrunSeen(int clear) { return Mirror(m_inner->OverrunSeen(clear)); }

int TracingPort::SendBreak(int ms) {
    if (m_log) m_log->Note("BREAK " + std::to_string(ms) + " ms");
    return Mirror(m_inner->SendBreak(ms));
}

int TracingPort::InputOverflowSeen(int clear) { return Mirror(m_inner->InputOverflowSeen(clear)); }
int TracingPort::XonXoff(int setting) { return Mirror(m_inner->XonXoff(setting)); }
int TracingPort::Reserved1(int value) { return Mirror(m_inner->Reserved1(value)); }
int TracingPort::Reserved2(int value) { return Mirror(m_inner->Reserved2(value)); }
int TracingPort::Reserved3(int first, int second) {
    return Mirror(m_inner->Reserved3(first, second));
}
int TracingPort::Reserved4() { return Mirror(m_inner->Reserved4()); }
int TracingPort::Reserved5() { return Mirror(m_inner->Reserved5()); }

int TracingPort::FlushInput() {
    // What a purge discards never passes through this wrapper; the note
    // tells a reader of the trace that bytes may have gone here.
    const int result = Mirror(m_inner->FlushInput());
    if (m_log) m_log->Note("FLUSH RX");
    return result;
}

int TracingPort::FlushOutput() { return Mirror(m_inner->FlushOutput()); }

const char* TracingPort::ErrorName(int code) const { return m_inner->ErrorName(code); }

int TracingPort::Idle() { return m_inner->Idle(); }

std::unique_ptr<RS232> TraceIfEnabled(std::unique_ptr<RS232> port) {
    if (!port) return port;
    std::shared_ptr<TraceLog> log = ActiveTraceLog();
    if (!log) return port;
    return std::make_unique<TracingPort>(std::move(port), std::move(log));
}
