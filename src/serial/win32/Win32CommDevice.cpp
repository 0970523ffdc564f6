#include "serial/win32/Win32CommDevice.h"

#include <utility>

#include "platform/win32/WideText.h"

namespace {

constexpr DWORD kRawErrorFlags = CE_RXOVER | CE_OVERRUN | CE_RXPARITY | CE_FRAME | CE_BREAK;
static_assert(CE_RXOVER == kLineErrInputOverflow && CE_OVERRUN == kLineErrOverrun &&
                  CE_RXPARITY == kLineErrParity && CE_FRAME == kLineErrFraming && CE_BREAK == kLineErrBreak,
              "the port's line-error bits are the platform's comm-error bits");

}  // namespace

int CommErrorFromWin32(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_UNIT:
        case ERROR_DEV_NOT_EXIST:
            return kCommErrBadId;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return kCommErrHardwareInUse;
        default:
            return static_cast<int>(error);
    }
}

bool Win32ErrorMeansDeviceGone(DWORD error) {
    switch (error) {
        case ERROR_BAD_COMMAND:  // what usbser.sys and most adapter drivers report
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_GEN_FAILURE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_ACCESS_DENIED:  // I/O on an open handle of a removed device
        case ERROR_OPERATION_ABORTED:
            return true;
        default:
            return false;
    }
}

CommState CommStateFromDcb(const DCB& dcb) {
    CommState state;
    state.baud = dcb.BaudRate;
    state.parity = dcb.Parity;
    state.byteSize = dcb.ByteSize;
    state.stopBits = dcb.StopBits;
    state.outXonXoff = dcb.fOutX != 0;
    state.inXonXoff = dcb.fInX != 0;
    state.binary = dcb.fBinary != 0;
    return state;
}

void ApplyCommState(const CommState& state, bool dtrOn, bool rtsOn, DCB& dcb) {
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = state.baud;
    dcb.Parity = state.parity;
    dcb.fParity = state.parity != NOPARITY;
    dcb.ByteSize = state.byteSize;
    dcb.StopBits = state.stopBits;
    dcb.fOutX = state.outXonXoff;
    dcb.fInX = state.inXonXoff;
    dcb.fBinary = TRUE;
    // No handshaking of any kind, whatever another program left set.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // With abort on error every transfer after a line error would fail
    // until the error was cleared.
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = dtrOn ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
}

bool SameButParity(const DCB& a, const DCB& b) {
    return a.BaudRate == b.BaudRate && a.ByteSize == b.ByteSize && a.StopBits == b.StopBits &&
           a.fOutX == b.fOutX && a.fInX == b.fInX && a.fOutxCtsFlow == b.fOutxCtsFlow &&
           a.fOutxDsrFlow == b.fOutxDsrFlow;
}

bool RunningUnderWine() {
    static const bool wine = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

Win32CommDevice::Win32CommDevice(std::string path) : m_path(std::move(path)) {}

Win32CommDevice::~Win32CommDevice() { Close(); }

bool Win32CommDevice::Fail() {
    const DWORD error = GetLastError();
    m_lastError = CommErrorFromWin32(error);
    m_gone = false;
    if (Win32ErrorMeansDeviceGone(error) && IsOpen()) {
        // An aborted transfer on a device that still answers is no loss.
        DWORD errors = 0;
        m_gone = error != ERROR_OPERATION_ABORTED || !ClearCommError(m_handle, &errors, nullptr);
    }
    return false;
}

bool Win32CommDevice::NotOpen() {
    m_lastError = kCommErrNotOpen;
    m_gone = false;
    return false;
}

bool Win32CommDevice::Open() {
    if (IsOpen()) {
        m_lastError = kCommErrOpen;
        return false;
    }
    const HANDLE handle = CreateFileW(Widen(m_path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_lastError = CommErrorFromWin32(error);
        // A device that has gone does not come back under its old name.
        m_gone = error == ERROR_FILE_NOT_FOUND;
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) {
        // Not a comm device at all (a file named as the device, say).
        m_lastError = CommErrorFromWin32(GetLastError());
        m_gone = false;
        CloseHandle(handle);
        return false;
    }
    m_handle = handle;
    m_originalDcb = dcb;
    m_dtrOn = dcb.fDtrControl != DTR_CONTROL_DISABLE;
    m_rtsOn = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    m_haveOriginalTimeouts = GetCommTimeouts(handle, &m_originalTimeouts) != 0;
    SetCommMask(handle, 0);
    m_gone = false;
    return true;
}

void Win32CommDevice::Close() {
    if (!IsOpen()) return;
    SetCommState(m_handle, &m_originalDcb);
    if (m_haveOriginalTimeouts) SetCommTimeouts(m_handle, &m_originalTimeouts);
    CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

bool Win32CommDevice::GetState(CommState& state) {
    if (!IsOpen()) return NotOpen();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb)) return Fail();
    state = CommStateFromDcb(dcb);
    return true;
}

bool Win32CommDevice::SetState(const CommState& state) {
    if (!IsOpen()) return NotOpen();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_handle, &dcb)) return Fail();
    ApplyCommState(state, m_dtrOn, m_rtsOn, dcb);
    if (SetCommState(m_handle, &dcb)) return true;
    const DWORD error = GetLastError();
    DCB now{};
    now.DCBlength = sizeof now;
    if (RunningUnderWine() && GetCommState(m_handle, &now) && SameButParity(now, dcb)) return true;
    SetLastError(error);
    return Fail();
}

bool Win32CommDevice::SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) {
    if (!IsOpen()) return NotOpen();
    return SetupComm(m_handle, inputBytes, outputBytes) ? true : Fail();
}

bool Win32CommDevice::GetTimeouts(CommTimeouts& timeouts) {
    if (!IsOpen()) return NotOpen();
    COMMTIMEOUTS now{};
    if (!GetCommTimeouts(m_handle, &now)) return Fail();
    timeouts.readTotalMs = now.ReadTotalTimeoutConstant;
    timeouts.writeTotalMs = now.WriteTotalTimeoutConstant;
    return true;
}

bool Win32CommDevice::SetTimeouts(const CommTimeouts& timeouts) {
    if (!IsOpen()) return NotOpen();
    COMMTIMEOUTS wanted{};
    wanted.ReadIntervalTimeout = 0;
    wanted.ReadTotalTimeoutMultiplier = 0;
    wanted.ReadTotalTimeoutConstant = timeouts.readTotalMs;
    wanted.WriteTotalTimeoutMultiplier = 0;
    wanted.WriteTotalTimeoutConstant = timeouts.writeTotalMs;
    return SetCommTimeouts(m_handle, &wanted) ? true : Fail();
}

bool Win32CommDevice::Read(uint8_t* buffer, int n, int& got) {
    got = 0;
    if (!IsOpen()) return NotOpen();
    if (n <= 0) return true;
    DWORD read = 0;
    const BOOL ok = ReadFile(m_handle, buffer, static_cast<DWORD>(n), &read, nullptr);
    got = static_cast<int>(read);
    return ok ? true : Fail();
}

bool Win32CommDevice::Write(const uint8_t* buffer, int n, int& sent) {
    sent = 0;
    if (!IsOpen()) return NotOpen();
    if (n <= 0) return true;
    DWORD written = 0;
    const BOOL ok = WriteFile(m_handle, buffer, static_cast<DWORD>(n), &written, nullptr);
    sent = static_cast<int>(written);
    return ok ? true : Fail();
}

bool Win32CommDevice::SetModemLine(ModemLine line, bool on) {
    if (!IsOpen()) return NotOpen();
    // Remembered first: the next SetState writes the DCB's DTR and RTS
    // control to match, whether or not the line could be switched now.
    (line == ModemLine::Dtr ? m_dtrOn : m_rtsOn) = on;
    const DWORD function = line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
    return EscapeCommFunction(m_handle, function) ? true : Fail();
}

bool Win32CommDevice::SetBreak(bool on) {
    if (!IsOpen()) return NotOpen();
    return (on ? SetCommBreak(m_handle) : ClearCommBreak(m_handle)) ? true : Fail();
}

bool Win32CommDevice::PurgeInput() {
    if (!IsOpen()) return NotOpen();
    return PurgeComm(m_handle, PURGE_RXCLEAR) ? true : Fail();
}

bool Win32CommDevice::PurgeOutput() {
    if (!IsOpen()) return NotOpen();
    return PurgeComm(m_handle, PURGE_TXCLEAR) ? true : Fail();
}

uint32_t Win32CommDevice::LineErrors() {
    if (!IsOpen()) return 0;
    DWORD errors = 0;
    if (!ClearCommError(m_handle, &errors, nullptr)) return 0;
    return errors & kRawErrorFlags;
}
