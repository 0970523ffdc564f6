#include "serial/CWindowsSerialPort.h"

#include <cctype>
#include <utility>

#include "platform/Clock.h"
#include "serial/PortDevicePath.h"
#include "serial/DeviceForPath.h"

namespace {

constexpr uint32_t kQueueBytes = 1024;
constexpr CommTimeouts kPortTimeouts{95, 200};

bool ClearRequested(int clear) { return clear != -1 && clear != 0; }

}  // namespace

CWindowsSerialPort::CWindowsSerialPort(int portIndex, long baud, int parity, int wordLength,
                                       int stopBits, int dtr, int rts, int xonXoff, int rtsCts,
                                       int dtrDsr)
    : m_device(MakeDeviceForPath(ComPortDevicePath(portIndex))) {
    Open(portIndex, baud, parity, wordLength, stopBits, dtr, rts, xonXoff, rtsCts, dtrDsr);
}

CWindowsSerialPort::CWindowsSerialPort(std::unique_ptr<CommDevice> device, int portIndex, long baud,
                                       int parity, int wordLength, int stopBits, int dtr, int rts,
                                       int xonXoff, int rtsCts, int dtrDsr)
    : m_device(std::move(device)) {
    Open(portIndex, baud, parity, wordLength, stopBits, dtr, rts, xonXoff, rtsCts, dtrDsr);
}

CWindowsSerialPort::~CWindowsSerialPort() {
    if (m_device && m_device->IsOpen()) m_device->Close();
}

void CWindowsSerialPort::Open(int portIndex, long baud, int parity, int wordLength, int stopBits,
                              int dtr, int rts, int xonXoff, int rtsCts, int dtrDsr) {
    OpenDevice(portIndex, baud, parity, wordLength, stopBits, dtr, rts, xonXoff, rtsCts, dtrDsr);
    // A device server says why better than "General Error" could.
    if (m_status < 0 && m_device) m_statusText = m_device->FailureText();
}

void CWindowsSerialPort::OpenDevice(int portIndex, long baud, int parity, int wordLength,
                                    int stopBits, int dtr, int rts, int xonXoff, int rtsCts,
                                    int dtrDsr) {
    m_status = kSerialSuccess;
    m_portIndex = portIndex;
    if (!m_device) {
        m_status = TranslateCommError(kCommErrBadId);
        return;
    }
    if (!m_device->Open()) {
        m_status = TranslateCommError(m_device->LastError());
        return;
    }
    // A device whose state cannot be read would otherwise be written with a
    // made-up state, and that write's success would hide the failure.
    if (ReadDeviceState() != kSerialSuccess) return;
    m_saved = m_current;
    m_savedState = m_workingState;

    ApplySettings(baud, parity, wordLength, stopBits, dtr, rts, xonXoff, rtsCts, dtrDsr);
    m_status = WriteDeviceState();

    CommTimeouts timeouts;
    if (!m_device->SetQueueSizes(kQueueBytes, kQueueBytes) || !m_device->GetTimeouts(timeouts)) {
        return;
    }
    m_device->SetTimeouts(kPortTimeouts);
}

int CWindowsSerialPort::ReadDeviceState() {
    CommState state;
    if (!m_device->GetState(state)) {
        m_status = TranslateCommError(m_device->LastError());
        return m_status;
    }
    m_workingState = state;

    m_current.baud = (state.baud & 0xFF00) == 0xFF00 ? -1 : static_cast<int32_t>(state.baud);
    static constexpr char kParityLetters[] = {'N', 'O', 'E', 'M', 'S'};
    m_current.parity = state.parity < 5 ? kParityLetters[state.parity] : '?';
    m_current.wordLength = state.byteSize;
    m_current.stopBits = state.stopBits <= 2 ? state.stopBits : -1;
    // The modem lines cannot be read back.
    m_current.dtr = -1;
    m_current.rts = -1;
    m_current.xonXoff = state.outXonXoff ? 1 : 0;
    return kSerialSuccess;
}

int CWindowsSerialPort::WriteDeviceState() {
    CommState& state = m_workingState;

    // 57600 and above were not accepted rates; such a request leaves the line
    // as it was and still succeeds. A rate of 0 or below is no rate at all
    // (and 0 would hang up a termios line), so it is left alone as well.
    const int32_t baud = m_current.baud;
    if (baud > 0 && (baud <= 19200 || baud == 38400)) state.baud = static_cast<uint32_t>(baud);

    switch (std::toupper(static_cast<unsigned char>(m_current.parity))) {
        case 'E':
            state.parity = 2;
            break;
        case 'M':
            state.parity = 3;
            break;
        case 'N':
            state.parity = 0;
            break;
        case 'O':
            state.parity = 1;
            break;
        case 'S':
            state.parity = 4;
            break;
        default:
            break;
    }

    if (m_current.wordLength >= 5 && m_current.wordLength <= 8) {
        state.byteSize = static_cast<uint8_t>(m_current.wordLength);
    }

    // Setting 1 means two stop bits, like 2: the controller link opens with
    // 1 and the line really carries two.
    if (m_current.stopBits == 0) {
        state.stopBits = 0;
    } else if (m_current.stopBits == 1 || m_current.stopBits == 2) {
        state.stopBits = 2;
    }

    SetModemLine(ModemLine::Rts, m_current.rts);
    SetModemLine(ModemLine::Dtr, m_current.dtr);

    state.outXonXoff = m_current.xonXoff != 0;
    state.inXonXoff = m_current.xonXoff != 0;
    state.binary = true;

    if (!m_device->SetState(state)) return TranslateCommError(m_device->LastError());
    return kSerialSuccess;
}

void CWindowsSerialPort::SetModemLine(ModemLine line, int setting) {
    // Lines a device cannot switch (a pseudo-terminal has none) are not an
    // error: the controller does not use them.
    if (setting == 0) {
        m_device->SetModemLine(line, false);
    } else if (setting == 1) {
        m_device->SetModemLine(line, true);
    }
}

int CWindowsSerialPort::TranslateCommError(int value) {
    switch (value) {
        case kCommErrBadId:
            return kSerialPortNotFound;
        case kCommErrOpen:
            return kSerialPortAlreadyOpen;
        case kCommErrNotOpen:
            return kSerialPortNotOpen;
        case kCommErrNoMemory:
            return kSerialMemoryError;
        case kCommErrDefaultParams:
            return kSerialDefaultParamsError;
        case kCommErrHardwareInUse:
            return kSerialPortInUse;
        case kCommErrByteSize:
            return kSerialIllegalWordLength;
        case kCommErrBaudRate:
            return kSerialIllegalBaud;
        default:
            return kSerialGeneralError;
    }
}

const char* CWindowsSerialPort::ErrorName(int code) const {
    if (code < 0 && code == m_status && !m_statusText.empty()) return m_statusText.c_str();
    if ((code >= -200 && code <= -194) || (code >= -100 && code <= -86) || code >= 0) {
        return RS232::ErrorName(code);
    }
    switch (code) {
        case -193:
            return "Default parameters in error";
        case -192:
            return "Port not open";
        case -191:
            return "Port already open";
        case -190:
            return "Handshake line in use";
        default:
            return "Undefined error";
    }
}

int CWindowsSerialPort::ReadBlock(uint8_t* buffer, int count) {
    if (m_status < 0) return m_status;
    m_byteCount = 0;
    if (count <= 0) return kSerialSuccess;
    int got = 0;
    const bool ok = m_device->Read(buffer, count, got);
    m_byteCount = static_cast<uint32_t>(got);
    if (ok) {
        m_errorFlags = m_device->LineErrors();
    } else {
        m_errorFlags |= m_device->LineErrors();
        // A vanished device fails every read at once; reporting that as a
        // short read would keep a timed read spinning until its time-out
        // (forever with no time-out).
        if (m_device->Gone()) return kSerialGeneralError;
    }
    return got < count ? kSerialTimeout : kSerialSuccess;
}

int CWindowsSerialPort::WriteBlock(const uint8_t* buffer, int count) {
    if (m_status < 0) return m_status;
    m_byteCount = 0;
    m_errorFlags |= m_device->LineErrors();
    if (count <= 0) return kSerialSuccess;
    int sent = 0;
    const bool ok = m_device->Write(buffer, count, sent);
    m_byteCount = static_cast<uint32_t>(sent);
    if (!ok) {
        m_errorFlags |= m_device->LineErrors();
        return kSerialGeneralError;
    }
    return sent < count ? kSerialTimeout : kSerialSuccess;
}

int CWindowsSerialPort::ReadByte() {
    if (m_status < 0) return m_status;
    uint8_t byte = 0;
    int got = 0;
    if (!m_device->Read(&byte, 1, got)) {
        m_errorFlags |= m_device->LineErrors();
        return m_device->Gone() ? kSerialGeneralError : kSerialTimeout;
    }
    return got == 1 ? static_cast<int>(byte) : static_cast<int>(kSerialTimeout);
}

int CWindowsSerialPort::WriteByte(int byte) {
    if (m_status < 0) return m_status;
    const uint8_t b = static_cast<uint8_t>(byte);
    int sent = 0;
    if (!m_device->Write(&b, 1, sent)) {
        m_errorFlags |= m_device->LineErrors();
        return kSerialTimeout;
    }
    return kSerialSuccess;
}

int CWindowsSerialPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
    if (m_status < 0) return m_status;
    ApplySettings(baud, parity, wordLength, stopBits, -1, -1, -1, -1, -1);
    return WriteDeviceState();
}

int CWindowsSerialPort::LineErrorQuery(uint32_t bit, int clear) {
    if (m_status < 0) return m_status;
    m_errorFlags |= m_device->LineErrors();
    const int seen = (m_errorFlags & bit) != 0 ? 1 : 0;
    if (ClearRequested(clear)) m_errorFlags &= ~bit;
    return seen;
}

int CWindowsSerialPort::ParityErrorSeen(int clear) { return LineErrorQuery(kLineErrParity, clear); }
int CWindowsSerialPort::BreakSeen(int clear) { return LineErrorQuery(kLineErrBreak, clear); }
int CWindowsSerialPort::FramingErrorSeen(int clear) {
    return LineErrorQuery(kLineErrFraming, clear);
}
int CWindowsSerialPort::OverrunSeen(int clear) { return LineErrorQuery(kLineErrOverrun, clear); }

int CWindowsSerialPort::InputOverflowSeen(int clear) {
    if (m_status < 0) return m_status;
    // Unlike the other queries this one takes the device's report as it is.
    m_errorFlags = m_device->LineErrors();
    const int seen = (m_errorFlags & kLineErrInputOverflow) != 0 ? 1 : 0;
    if (ClearRequested(clear)) m_errorFlags &= ~kLineErrInputOverflow;
    return seen;
}

int CWindowsSerialPort::SendBreak(int ms) {
    if (m_status < 0) return m_status;
    Clock& clock = GetClock();
    m_device->SetBreak(true);
    const uint32_t start = clock.TickMs();
    while (static_cast<int64_t>(clock.TickMs() - start) < ms) {
        Idle();
        // Keeps the loop from spinning a core (and lets virtual time move).
        clock.SleepMs(1);
    }
    m_device->SetBreak(false);
    return kSerialSuccess;
}

int CWindowsSerialPort::XonXoff(int setting) {
    if (m_status < 0) return m_status;
    if (setting != -1) {
        m_current.xonXoff = setting != 0 ? 1 : 0;
        WriteDeviceState();
    }
    return m_current.xonXoff;
}

int CWindowsSerialPort::FlushInput() {
    if (m_status < 0) return m_status;
    return m_device->PurgeInput() ? kSerialSuccess : TranslateCommError(m_device->LastError());
}

int CWindowsSerialPort::FlushOutput() {
    if (m_status < 0) return m_status;
    return m_device->PurgeOutput() ? kSerialSuccess : TranslateCommError(m_device->LastError());
}
