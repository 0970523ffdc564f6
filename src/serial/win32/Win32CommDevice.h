#pragma once

#include <windows.h>

#include <string>

#include "serial/CommDevice.h"

// Win32CommDevice: a CommDevice over a Windows COM device ("\\.\COM5").
//
// Open takes the device for reading and writing, exclusively and without
// overlapped mode, clears its event mask and keeps its device-control block
// (DCB) and time-outs as found; Close puts both back, so the line (and DTR
// and RTS, which the DCB drives) is as it was, and frees the device.
//
// The DCB this device writes has every handshake off (CTS, DSR, DSR
// sensitivity, error and null characters, abort on error) and binary mode
// on. DTR and RTS follow the last request of SetModemLine: a DCB whose DTR
// control said "enable" would raise DTR again at every SetCommState.
//
// Reads and writes are single ReadFile and WriteFile calls bounded by the
// COMMTIMEOUTS of SetTimeouts (read: total 95 ms, no interval limit; write:
// total 200 ms), so a short transfer is a success with fewer bytes.
//
// Under Wine on a Linux pseudo-terminal SetCommState fails because the
// kernel drops the parity bit; there (and only there) a state that holds
// everything but the parity counts as set, as the termios device does.
class Win32CommDevice : public CommDevice {
  public:
    explicit Win32CommDevice(std::string path);
    ~Win32CommDevice() override;
    Win32CommDevice(const Win32CommDevice&) = delete;
    Win32CommDevice& operator=(const Win32CommDevice&) = delete;

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return m_handle != INVALID_HANDLE_VALUE; }

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
    bool Fail();
    bool NotOpen();

    std::string m_path;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DCB m_originalDcb{};
    COMMTIMEOUTS m_originalTimeouts{};
    bool m_haveOriginalTimeouts = false;
    bool m_dtrOn = false;
    bool m_rtsOn = false;
    int m_lastError = 0;
    bool m_gone = false;
};

// The failure value a CommDevice reports for a Windows error at open: a
// missing port is kCommErrBadId ("Port not found"), a port another program
// holds (ERROR_ACCESS_DENIED on a COM port) kCommErrHardwareInUse ("Port in
// use"); anything else stays the positive error ("General Error").
int CommErrorFromWin32(DWORD error);

// Windows errors of an open device that mean it went away (an adapter
// unplugged). ERROR_OPERATION_ABORTED is one only when the device no longer
// answers at all; the caller checks that.
bool Win32ErrorMeansDeviceGone(DWORD error);

// The device-control block and the device's line settings, both ways.
CommState CommStateFromDcb(const DCB& dcb);
void ApplyCommState(const CommState& state, bool dtrOn, bool rtsOn, DCB& dcb);
// Whether two blocks agree in everything SetState writes but the parity.
bool SameButParity(const DCB& a, const DCB& b);

// Whether this program runs under Wine.
bool RunningUnderWine();
