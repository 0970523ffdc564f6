// The Win32 COM device: its mapping of Windows errors and of the device-
// control block, and a port on a COM number that does not exist.
#include <gtest/gtest.h>

#include "serial/CWindowsSerialPort.h"
#include "serial/CommDeviceFactory.h"
#include "serial/win32/Win32CommDevice.h"

namespace {

TEST(Win32CommDevice, OpenFailuresAreNamedAsTheLinuxPortNamesThem) {
    struct Case {
        DWORD error;
        int code;
    };
    for (const Case& c : {Case{ERROR_FILE_NOT_FOUND, kCommErrBadId}, Case{ERROR_PATH_NOT_FOUND, kCommErrBadId},
                          Case{ERROR_ACCESS_DENIED, kCommErrHardwareInUse},
                          Case{ERROR_SHARING_VIOLATION, kCommErrHardwareInUse},
                          Case{ERROR_GEN_FAILURE, static_cast<int>(ERROR_GEN_FAILURE)}}) {
        EXPECT_EQ(CommErrorFromWin32(c.error), c.code) << c.error;
    }
    const int inUse = CWindowsSerialPort::TranslateCommError(CommErrorFromWin32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(inUse, kSerialPortInUse);
}

TEST(Win32CommDevice, RemovalErrorsMeanTheDeviceWentAwayOthersDoNot) {
    for (const DWORD gone : {ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED, ERROR_DEVICE_NOT_CONNECTED,
                             ERROR_GEN_FAILURE, ERROR_FILE_NOT_FOUND, ERROR_OPERATION_ABORTED})
        EXPECT_TRUE(Win32ErrorMeansDeviceGone(gone)) << gone;
    for (const DWORD stays : {ERROR_SUCCESS, ERROR_INVALID_PARAMETER, ERROR_SEM_TIMEOUT, ERROR_IO_PENDING})
        EXPECT_FALSE(Win32ErrorMeansDeviceGone(stays)) << stays;
}

TEST(Win32CommDevice, TheBlockTakesTheLineWithEveryHandshakeOffAndTheLastModemLines) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // As another program may leave a port: hardware handshake and DTR
    // handshaking on, abort on error, 8N1 at 115200.
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.fOutxCtsFlow = TRUE;
    dcb.fOutxDsrFlow = TRUE;
    dcb.fDsrSensitivity = TRUE;
    dcb.fAbortOnError = TRUE;
    dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;

    CommState line;
    line.baud = 9600;
    line.parity = EVENPARITY;
    line.byteSize = 8;
    line.stopBits = TWOSTOPBITS;
    ApplyCommState(line, false, true, dcb);
    EXPECT_EQ(CommStateFromDcb(dcb), line);
    EXPECT_TRUE(dcb.fParity);
    EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fAbortOnError);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(dcb.XonChar, 0x11) << "fields the port does not set stay as found";

    ApplyCommState(line, true, false, dcb);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));

    line.parity = NOPARITY;
    line.outXonXoff = line.inXonXoff = true;
    ApplyCommState(line, true, false, dcb);
    EXPECT_FALSE(dcb.fParity);
    EXPECT_EQ(CommStateFromDcb(dcb), line);
}

TEST(Win32CommDevice, OnlyTheParityMayDifferForAPseudoTerminalsLine) {
    DCB wanted{};
    wanted.BaudRate = 38400;
    wanted.ByteSize = 8;
    wanted.StopBits = TWOSTOPBITS;
    wanted.Parity = EVENPARITY;
    DCB got = wanted;
    got.Parity = NOPARITY;
    got.fParity = FALSE;
    EXPECT_TRUE(SameButParity(got, wanted));
    got.BaudRate = 9600;
    EXPECT_FALSE(SameButParity(got, wanted));
    got = wanted;
    got.StopBits = ONESTOPBIT;
    EXPECT_FALSE(SameButParity(got, wanted));
}

TEST(Win32CommDevice, AMissingComPortIsPortNotFoundAndTouchesNothingLater) {
    CWindowsSerialPort port(MakeCommDevice(DefaultComDevicePath(198)), 198, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
    EXPECT_EQ(port.Status(), kSerialPortNotFound);
    EXPECT_STREQ(port.ErrorName(port.Status()), "Port not found");
    EXPECT_FALSE(port.IsOpen());
    uint8_t byte = 0;
    EXPECT_EQ(port.ReadBlock(&byte, 1), kSerialPortNotFound);
    EXPECT_EQ(DefaultComDevicePath(198), "\\\\.\\COM199");
}

}  // namespace
