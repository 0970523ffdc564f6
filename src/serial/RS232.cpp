#include "serial/RS232.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace {

// Size of the text buffer FormatDebugLine may fill.
constexpr size_t kDebugLineSize = 128;

int32_t MsSince(uint32_t startTick) {
    return static_cast<int32_t>(GetClock().TickMs() - startTick);
}

bool TimedOut(long timeoutMs, uint32_t startTick) {
    return timeoutMs != -1 && static_cast<long>(MsSince(startTick)) >= timeoutMs;
}

}  // namespace

const char* BaseErrorName(int code) {
    switch (code) {
        case 0:
            return "Success";
        case -100:
            return "General Warning";
        case -99:
            return "Function not supported";
        case -98:
            return "Timeout";
        case -97:
            return "Illegal baud rate";
        case -96:
            return "Illegal parity setting";
        case -95:
            return "Illegal word length";
        case -94:
            return "Illegal stop bits";
        case -93:
            return "Illegal line number";
        case -92:
            return "No modem response";
        case -91:
            return "No terminator";
        case -90:
            return "DTR control not supported";
        case -89:
            return "RTS control not supported";
        case -88:
            return "RTS/CTS handshaking not supported";
        case -87:
            return "DTR/DSR handshaking not supported";
        case -86:
            return "XON/XOFF handshaking not supported";
        case -200:
            return "General Error";
        case -198:
            return "IRQ line in use";
        case -197:
            return "Port not found";
        case -196:
            return "Port in use";
        case -195:
            return "Illegal IRQ";
        case -194:
            return "Memory allocation error";
        default:
            return "???";
    }
}

int RS232::SendBreak(int) { return kSerialNotSupported; }
int RS232::InputOverflowSeen(int) { return kSerialNotSupported; }
int RS232::XonXoff(int) { return kSerialNotSupported; }
int RS232::Reserved1(int) { return kSerialNotSupported; }
int RS232::Reserved2(int) { return kSerialNotSupported; }
int RS232::Reserved3(int, int) { return kSerialNotSupported; }
int RS232::Reserved4() { return kSerialNotSupported; }
int RS232::Reserved5() { return kSerialNotSupported; }
int RS232::FlushOutput() { return kSerialNotSupported; }

int RS232::FlushInput() {
    uint8_t scratch[32];
    do {
        if (m_status != 0) return m_status;
        ReadBlock(scratch, sizeof scratch);
    } while (m_byteCount != 0);
    return kSerialSuccess;
}

const char* RS232::ErrorName(int code) const { return BaseErrorName(code); }

int RS232::Idle() {
    RunEventPumpHook();
    return 0;
}

int RS232::FormatDebugLine(char* buffer, int line) {
    if (buffer == nullptr) return 4;
    switch (line) {
        case 0:
            std::snprintf(buffer, kDebugLineSize, "Base class: RS232  COM%-2d  Status: %-35.35s",
                          m_portIndex + 1, ErrorName(m_status));
            return 0;
        case 1:
            std::snprintf(buffer, kDebugLineSize, "Byte count: %5u  Elapsed time: %9ld  ",
                          static_cast<unsigned>(m_byteCount), static_cast<long>(m_elapsedMs));
            return 0;
        case 2:
            std::snprintf(
                buffer, kDebugLineSize,
                "Saved port: %6ld,%c,%2d,%2d  DTR,RTS: %2d,%2d  XON/OFF,RTS/CTS,DTR/DSR: %2d",
                static_cast<long>(m_saved.baud), m_saved.parity, m_saved.wordLength,
                m_saved.stopBits, m_saved.dtr, m_saved.rts, m_saved.xonXoff);
            return 0;
        case 3:
            std::snprintf(
                buffer, kDebugLineSize,
                "Current port: %6ld,%c,%1d,%1d  DTR,RTS: %2d,%2d  XON/OFF,RTS/CTS,DTR/DSR: %2d",
                static_cast<long>(m_current.baud), m_current.parity, m_current.wordLength,
                m_current.stopBits, m_current.dtr, m_current.rts, m_current.xonXoff);
            return 0;
        default:
            return kSerialIllegalLine;
    }
}

void RS232::ApplySettings(long baud, int parity, int wordLength, int stopBits, int dtr, int rts,
                          int xonXoff, int /*rtsCts*/, int /*dtrDsr*/) {
    // No port supports the two hardware handshakes, so the record has no
    // field for them.
    if (baud != -1) m_current.baud = static_cast<int32_t>(baud);
    if (parity != -1) m_current.parity = static_cast<char>(std::toupper(parity & 0xFF));
    if (wordLength != -1) m_current.wordLength = wordLength;
    if (stopBits != -1) m_current.stopBits = stopBits;
    if (dtr != -1) m_current.dtr = dtr;
    if (rts != -1) m_current.rts = rts;
    if (xonXoff != -1) m_current.xonXoff = xonXoff;
}

int RS232::WriteWithTimeout(const uint8_t* data, int length, long timeoutMs,
                            const char* secondText) {
    m_byteCount = 0;
    m_elapsedMs = 0;
    if (m_status < 0) return m_status;

    const uint32_t start = GetClock().TickMs();
    uint32_t total = 0;
    const uint8_t* next = data;
    int left = length;
    if (length == 0)
        left = data ? static_cast<int>(std::strlen(reinterpret_cast<const char*>(data))) : 0;
    bool secondUsed = false;
    int result;
    for (;;) {
        result = WriteBlock(next, left);
        int moved = static_cast<int>(m_byteCount);
        if (moved > left) moved = left;
        if (moved < 0) moved = 0;
        total += static_cast<uint32_t>(moved);
        next += moved;
        left -= moved;

        if (left == 0 && secondText != nullptr && !secondUsed) {
            secondUsed = true;
            next = reinterpret_cast<const uint8_t*>(secondText);
            left = static_cast<int>(std::strlen(secondText));
            continue;
        }
        if (result == kSerialTimeout && left > 0) {
            if (TimedOut(timeoutMs, start)) break;
            Idle();
            continue;
        }
        Idle();
        break;
    }
    m_elapsedMs = MsSince(start);
    m_byteCount = total;
    if (result < 0) return result;
    return left == 0 ? kSerialSuccess : kSerialTimeout;
}

int RS232::ReadWithTimeout(uint8_t* buffer, int length, long timeoutMs) {
    m_byteCount = 0;
    m_elapsedMs = 0;
    if (m_status < 0) return m_status;

    const uint32_t start = GetClock().TickMs();
    int result = ReadBlock(buffer, length);
    int received = static_cast<int>(m_byteCount);
    int left = length - received;
    int idleResult = 0;
    bool stoppedEarly = false;
    while (result == kSerialTimeout && left > 0) {
        if (TimedOut(timeoutMs, start)) {
            stoppedEarly = true;
            break;
        }
        idleResult = Idle();
        if (idleResult < 0) {
            stoppedEarly = true;
            break;
        }
        result = ReadBlock(buffer + received, left);
        received += static_cast<int>(m_byteCount);
        left = length - received;
    }
    if (!stoppedEarly) Idle();

    m_byteCount = static_cast<uint32_t>(received);
    m_elapsedMs = MsSince(start);
    return idleResult < 0 ? idleResult : result;
}
