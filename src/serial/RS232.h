#pragma once

#include <cstdint>

// RS232: the abstract serial port.
//
// Contract
// - One thread only (the UI thread). The timed transfers call Idle() between
//   block transfers, which runs the process's event-pump hook once, so other
//   handlers may run while a transfer waits; nothing guards against a second
//   transfer started from such a handler.
// - Results are signed codes: 0 success, negative failure. kSerialTimeout
//   (-98) means fewer bytes moved than were asked for; the bytes that did move
//   are counted in ByteCount() and, for reads, are in the buffer. Callers test
//   for -98 by value.
// - A port is usable exactly when Status() is 0 after construction. A failed
//   open leaves a negative status that every device operation returns
//   unchanged, without touching the device.
// - A setting argument of -1 keeps the setting.

// The serial layer's error codes.
enum SerialCode : int {
    kSerialSuccess = 0,
    kSerialGeneralWarning = -100,
    kSerialNotSupported = -99,
    kSerialTimeout = -98,
    kSerialIllegalBaud = -97,
    kSerialIllegalParity = -96,
    kSerialIllegalWordLength = -95,
    kSerialIllegalStopBits = -94,
    kSerialIllegalLine = -93,
    kSerialGeneralError = -200,
    kSerialPortNotFound = -197,
    kSerialPortInUse = -196,
    kSerialMemoryError = -194,
    kSerialDefaultParamsError = -193,
    kSerialPortNotOpen = -192,
    kSerialPortAlreadyOpen = -191,
    kSerialHandshakeInUse = -190,
};

// Line settings, as read from the device at open (saved) or as last
// requested (current).
struct SerialSettings {
    int32_t baud = -1;      // bits per second; -1 when not a plain number
    char parity = 'N';      // 'N', 'O', 'E', 'M', 'S'; '?' for anything else
    int32_t wordLength = 8;
    int32_t stopBits = 0;   // applied: 0 one, 1 or 2 two; read back: 0, 1 (1.5), 2, or -1
    int32_t dtr = -1;       // 0 drop, 1 raise, -1 leave
    int32_t rts = -1;
    int32_t xonXoff = 0;    // 0 off, non-zero on
};

class RS232 {
public:
    // The virtual operations, in the order of the port's virtual table.
    virtual int ReadBlock(uint8_t* buffer, int count) = 0;
    virtual int WriteBlock(const uint8_t* buffer, int count) = 0;
    virtual int ReadByte() = 0;
    virtual int WriteByte(int byte) = 0;
    virtual int SetLineParameters(long baud, int parity, int wordLength, int stopBits) = 0;
    // Line-error queries: a clear request of -1 or 0 only reads the flag; any
    // other value clears it after reading.
    virtual int ParityErrorSeen(int clear) = 0;
    virtual int BreakSeen(int clear) = 0;
    virtual int FramingErrorSeen(int clear) = 0;
    virtual int OverrunSeen(int clear) = 0;
    virtual ~RS232() = default;
    virtual int SendBreak(int ms);
    virtual int InputOverflowSeen(int clear);
    virtual int XonXoff(int setting);
    // Reserved operations: every port answers them with kSerialNotSupported.
    virtual int Reserved1(int);
    virtual int Reserved2(int);
    virtual int Reserved3(int, int);
    virtual int Reserved4();
    virtual int Reserved5();
    // Base: reads and discards 32-byte blocks until a read moves nothing.
    virtual int FlushInput();
    virtual int FlushOutput();
    virtual const char* ErrorName(int code) const;
    // Runs the event-pump hook once; always returns 0.
    virtual int Idle();
    // Writes report line 0 to 3 into buffer (at least 128 characters); with
    // no buffer returns the number of lines (4); other lines return -93.
    virtual int FormatDebugLine(char* buffer, int line);

    // Not in the classic table: a port whose device went away (an adapter
    // unplugged) closes it and opens it again at its next exchange. Lost is
    // true from the loss until that reopen succeeds; the count says how
    // often the device went away since the port was opened.
    virtual bool DeviceLost() const { return false; }
    virtual int DeviceLossCount() const { return 0; }

    // Each of the first seven values that is not -1 replaces its setting
    // (parity upper-cased); rtsCts and dtrDsr are accepted and ignored.
    void ApplySettings(long baud, int parity, int wordLength, int stopBits, int dtr, int rts,
                       int xonXoff, int rtsCts, int dtrDsr);

    // Sends length bytes (length 0: data is a zero-terminated text), then the
    // zero-terminated secondText if given. timeoutMs -1: no limit; 0: a single
    // WriteBlock attempt.
    int WriteWithTimeout(const uint8_t* data, int length, long timeoutMs,
                         const char* secondText = nullptr);
    int WriteWithTimeout(const char* text, long timeoutMs, const char* secondText = nullptr) {
        return WriteWithTimeout(reinterpret_cast<const uint8_t*>(text), 0, timeoutMs, secondText);
    }
    // Reads until length bytes arrived, the time-out passed or a read failed.
    int ReadWithTimeout(uint8_t* buffer, int length, long timeoutMs);

    int PortIndex() const { return m_portIndex; }
    int Status() const { return m_status; }
    uint32_t ByteCount() const { return m_byteCount; }
    int32_t ElapsedMs() const { return m_elapsedMs; }
    const SerialSettings& SavedSettings() const { return m_saved; }
    const SerialSettings& CurrentSettings() const { return m_current; }

protected:
    RS232() = default;

    int32_t m_portIndex = 0;
    SerialSettings m_saved;
    SerialSettings m_current;
    int32_t m_status = 0;
    uint32_t m_byteCount = 0;
    int32_t m_elapsedMs = 0;
};

// The name of a code in the base table ("???" for codes it does not know).
const char* BaseErrorName(int code);
