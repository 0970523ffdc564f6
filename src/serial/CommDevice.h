#pragma once

#include <cstdint>
#include <functional>
#include <string>

// CommDevice: the device calls beneath CWindowsSerialPort. The port keeps
// every rule (settings mapping, error translation, return codes); a device
// only moves bytes and line settings. Backends: TermiosDevice (POSIX), a
// device server on the network (net/), the fake in the unit tests.
//
// Contract
// - Calls other than Open report failure by returning false; LastError() then
//   gives the failure value the port hands to TranslateCommError: one of the
//   classic device codes below, or a positive system error number (which the
//   port names "General Error").
// - Read returns once n bytes arrived or the read time-out (from the start of
//   the call) passed; a short read is a success with got < n.
// - Write gives up after the write time-out; a short write is a success with
//   sent < n.

// Line settings as the device holds them (the device-control block).
struct CommState {
    uint32_t baud = 9600;  // bits per second, or kCommRateUnknown
    uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t byteSize = 8;
    uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
    bool outXonXoff = false;
    bool inXonXoff = false;
    bool binary = true;

    bool operator==(const CommState&) const = default;
};

// A rate that is not a plain number of bits per second (bits 8 to 15 set, as
// the rate-index constants of the classic comm interface).
inline constexpr uint32_t kCommRateUnknown = 0xFFFF;

struct CommTimeouts {
    uint32_t readTotalMs = 95;
    uint32_t writeTotalMs = 200;

    bool operator==(const CommTimeouts&) const = default;
};

enum class ModemLine { Dtr, Rts };

// The classic device error codes that TranslateCommError knows.
enum CommDeviceError : int {
    kCommErrBadId = -1,  // no such port
    kCommErrOpen = -2,   // already open
    kCommErrNotOpen = -3,
    kCommErrNoMemory = -4,
    kCommErrDefaultParams = -5,
    kCommErrHardwareInUse = -10,
    kCommErrByteSize = -11,
    kCommErrBaudRate = -12,
};

// Line-error bits, as the port's error flags hold them.
inline constexpr uint32_t kLineErrInputOverflow = 0x01;
inline constexpr uint32_t kLineErrOverrun = 0x02;
inline constexpr uint32_t kLineErrParity = 0x04;
inline constexpr uint32_t kLineErrFraming = 0x08;
inline constexpr uint32_t kLineErrBreak = 0x10;

// Told while an open waits longer than a transfer would (a device server
// that is slow to accept the connection, up to its time-out): called every
// few tens of milliseconds with the milliseconds waited so far, then once
// with -1 when the wait is over. Runs on the thread that opens the device.
using DeviceWaitHook = std::function<void(int waitedMs)>;

class CommDevice {
  public:
    virtual ~CommDevice() = default;

    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual bool GetState(CommState& state) = 0;
    virtual bool SetState(const CommState& state) = 0;
    virtual bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) = 0;
    virtual bool GetTimeouts(CommTimeouts& timeouts) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;

    virtual bool Read(uint8_t* buffer, int n, int& got) = 0;
    virtual bool Write(const uint8_t* buffer, int n, int& sent) = 0;

    virtual bool SetModemLine(ModemLine line, bool on) = 0;
    virtual bool SetBreak(bool on) = 0;
    // Discard what is queued; neither waits for anything to be sent.
    virtual bool PurgeInput() = 0;
    virtual bool PurgeOutput() = 0;

    // The failure value of the last call that failed.
    virtual int LastError() const = 0;
    // True when the last failure means the device went away (an adapter
    // unplugged, the other end of a pseudo-terminal closed, a device server's
    // connection dropped).
    virtual bool Gone() const = 0;
    // What the last failure was, in words, where the device knows better than
    // the classic codes can say ("Connection refused"); empty otherwise.
    virtual std::string FailureText() const { return {}; }
    // Line-error bits seen since the previous call (0 when the device cannot
    // tell).
    virtual uint32_t LineErrors() = 0;
    // Devices that open at once never call it.
    virtual void SetWaitHook(DeviceWaitHook) {}
};
