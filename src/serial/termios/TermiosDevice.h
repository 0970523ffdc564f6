#pragma once

#include <termios.h>

#include <memory>
#include <string>

#include "serial/CommDevice.h"
#include "serial/termios/UniqueFd.h"

// TermiosDevice: a CommDevice over a POSIX terminal device.
//
// Open takes the device exclusively: flock(LOCK_EX|LOCK_NB) (which holds for
// root too) and TIOCEXCL (which keeps other users' opens out). It saves the
// terminal settings and the modem lines and switches to raw mode with no
// handshaking at all (CRTSCTS, IXON, IXOFF and IXANY cleared, whatever was
// set), keeping the rate, parity, data and stop bits as found, so that
// GetState right after Open reports them as they were. HUPCL is cleared
// while the port is open, so that a process that dies leaves DTR where the
// caller put it.
// Close puts the line back as found: DTR and RTS as they were at open (when
// the saved settings do not drop them on close anyway), the saved settings
// with their own HUPCL, and TIOCNXCL.
//
// Reads and writes wait with poll() on the real clock (the time-outs are
// those of SetTimeouts; before that 95 ms and 200 ms).
//
// The device counts as gone (Gone()) after a hang-up, EIO, ENXIO or ENODEV,
// and when a read that timed out finds the path no longer leading to the
// device it has open (the link of a USB adapter removed, or pointing at
// another device by now).
class TermiosDevice : public CommDevice {
  public:
    explicit TermiosDevice(std::string path);
    ~TermiosDevice() override;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_fd.Valid(); }

    bool GetState(CommState& state) override;
    bool SetState(const CommState& state) override;
    bool SetQueueSizes(uint32_t inputBytes, uint32_t outputBytes) override;
    bool GetTimeouts(CommTimeouts& timeouts) override;
    bool SetTimeouts(const CommTimeouts& timeouts) override;

    bool Read(uint8_t* buffer, int n, int& got) override;
    bool Write(const uint8_t* buffer, int n, int& sent) override;

    bool SetModemLine(ModemLine line, bool on) override;
    bool SetBreak(bool on) override;
    bool PurgeInput() override;
    bool PurgeOutput() override;

    int LastError() const override { return m_lastError; }
    bool Gone() const override { return m_gone; }
    uint32_t LineErrors() override;

    const std::string& Path() const { return m_path; }

  private:
    bool Fail(int err);
    bool NotOpen();
    bool PathLeadsElsewhere() const;
    bool Apply(const termios& wanted);

    std::string m_path;
    UniqueFd m_fd;
    termios m_original{};
    CommTimeouts m_timeouts;
    int m_lastError = 0;
    bool m_gone = false;
    bool m_haveCounters = false;
    bool m_haveModemLines = false;
    int m_modemLinesAtOpen = 0;
    uint32_t m_counters[5] = {};  // overflow, overrun, parity, framing, break
};

std::unique_ptr<CommDevice> MakeTermiosDevice(const std::string& path);

// The one translation of an errno value into the failure values a CommDevice
// reports: a missing device is kCommErrBadId ("Port not found"), a device
// another process holds kCommErrHardwareInUse ("Port in use"); anything else
// stays the positive errno, which the port names "General Error".
int CommErrorFromErrno(int err);

// errno values that mean the device went away (an adapter unplugged, the
// other end of a pseudo-terminal closed).
bool ErrnoMeansDeviceGone(int err);

// The termios speed constant for a rate; B0 when there is none.
speed_t SpeedFromBaud(uint32_t baud);
// The rate of a termios speed constant; kCommRateUnknown when not a standard one.
uint32_t BaudFromSpeed(speed_t speed);
