#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CommDevice.h"
#include "serial/RS232.h"

// CWindowsSerialPort: the system's concrete port (the name is kept from the
// platform it was first written for). All the rules live here: the open
// sequence, the mapping between settings records and the device state, error
// translation and return codes. The device calls go through a CommDevice, by
// default the one for the path that ComPortDevicePath() names (MakeDeviceForPath).
//
// The constructor opens the device; the port is usable exactly when Status()
// is 0 afterwards. Every operation that touches the device returns a negative
// status unchanged without touching it. The destructor closes the device; the
// settings found at open are not written back. ErrorName of the status of a
// failed open is the device's own description when it has one (a device
// server's "Connection refused"), else the name from the tables.
class CWindowsSerialPort : public virtual RS232 {
  public:
    CWindowsSerialPort(int portIndex, long baud, int parity, int wordLength, int stopBits, int dtr,
                       int rts, int xonXoff, int rtsCts, int dtrDsr);
    // The same over a given device (another path, a fake in tests).
    CWindowsSerialPort(std::unique_ptr<CommDevice> device, int portIndex, long baud, int parity,
                       int wordLength, int stopBits, int dtr, int rts, int xonXoff, int rtsCts,
                       int dtrDsr);
    ~CWindowsSerialPort() override;
    CWindowsSerialPort(const CWindowsSerialPort&) = delete;
    CWindowsSerialPort& operator=(const CWindowsSerialPort&) = delete;

    int ReadBlock(uint8_t* buffer, int count) override;
    int WriteBlock(const uint8_t* buffer, int count) override;
    int ReadByte() override;
    int WriteByte(int byte) override;
    int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
    int ParityErrorSeen(int clear) override;
    int BreakSeen(int clear) override;
    int FramingErrorSeen(int clear) override;
    int OverrunSeen(int clear) override;
    int SendBreak(int ms) override;
    int InputOverflowSeen(int clear) override;
    int XonXoff(int setting) override;
    int FlushInput() override;
    int FlushOutput() override;
    const char* ErrorName(int code) const override;

    // Device state to current settings; returns 0 or the translated failure
    // (which also becomes the status).
    int ReadDeviceState();
    // Current settings to the device; returns 0 or the translated failure.
    int WriteDeviceState();
    // A device failure value (classic device code) to a serial error code.
    static int TranslateCommError(int value);

    bool IsOpen() const { return m_device && m_device->IsOpen(); }
    uint32_t ErrorFlags() const { return m_errorFlags; }
    const CommState& SavedDeviceState() const { return m_savedState; }
    const CommState& WorkingDeviceState() const { return m_workingState; }

  private:
    void Open(int portIndex, long baud, int parity, int wordLength, int stopBits, int dtr, int rts,
              int xonXoff, int rtsCts, int dtrDsr);
    void OpenDevice(int portIndex, long baud, int parity, int wordLength, int stopBits, int dtr,
                    int rts, int xonXoff, int rtsCts, int dtrDsr);
    int LineErrorQuery(uint32_t bit, int clear);
    void SetModemLine(ModemLine line, int setting);

    std::unique_ptr<CommDevice> m_device;
    std::string m_statusText;  // the device's own words for a failed open
    uint32_t m_errorFlags = 0;
    CommState m_savedState;
    CommState m_workingState;
};
