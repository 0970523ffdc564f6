// The warnings before a parameter set whose baud rate a raw TCP device
// server's line will not follow.
#include <gtest/gtest.h>

#include <string>

#include "command/ServerRate.h"

namespace {

CPsfRecord WithBaud(uint8_t code) {
    CPsfRecord psf;
    psf.SetBaudCode(code);
    return psf;
}

}  // namespace

TEST(ServerRateTest, OnlyAnotherRateOverRawTcpIsWarnedOf) {
    const CPsfRecord slow = WithBaud('A'), fast = WithBaud('C');
    EXPECT_EQ(ServerRateWarning("/dev/ttyUSB0", fast, &slow), "");
    EXPECT_EQ(ServerRateWarning("rfc2217://gw:4001", fast, &slow), "");
    EXPECT_EQ(ServerRateWarning("tcp://gw:4001", fast, &fast), "");
    EXPECT_EQ(ServerRateWarning("tcp://gw:4001", fast, &slow),
              "The controller will stop answering at the server's rate: this parameter set changes "
              "its baud rate from 9600 baud to 38400 baud, and the line through tcp://gw:4001 keeps "
              "the rate the device server gives it.");
    // Without the controller's own set there is no telling: warned all the same.
    EXPECT_EQ(ServerRateWarning("tcp://gw:4001", WithBaud('?'), nullptr),
              "The controller may stop answering at the server's rate: this parameter set gives it "
              "the code '?', its own set could not be read, and the line through tcp://gw:4001 "
              "keeps the rate the device server gives it.");
}

TEST(ServerRateTest, TrialAtAnotherRateIsRefusedOverRawTcpOnly) {
    const CPsfRecord slow = WithBaud('A'), middle = WithBaud('B');
    EXPECT_EQ(TrialRateRefusal("rfc2217://gw:4001", middle, slow), "");
    EXPECT_EQ(TrialRateRefusal("tcp://gw:4001", slow, slow), "");
    EXPECT_EQ(TrialRateRefusal("tcp://gw:4001", middle, slow),
              "A trial at 19200 baud cannot be followed: the line through tcp://gw:4001 keeps the "
              "rate the device server gives it, and the controller's own set could not be sent "
              "back. Choose its own rate, 9600 baud.");
}
