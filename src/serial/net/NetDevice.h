#pragma once

#include <memory>
#include <string>

#include "serial/CommDevice.h"

// The comm device of a serial device server (rfc2217:// or tcp://, see
// NetDeviceName.h). Built over libgensio where the build has it
// (net/gensio/); elsewhere every such device fails its open with
// kNetDevicesUnavailable as its failure text (net/none/).
//
// What a device server adds to the CommDevice contract:
// - Open connects (at most kConnectMs, telling the wait hook meanwhile; a
//   server that let that pass is not tried again for as long) and, for
//   RFC 2217, asks the server for
//   its line settings; a server that does not answer them is refused, so a
//   raw port named rfc2217:// fails at once with a clear text.
// - Over RFC 2217, a line setting waits for the server's answer (at most
//   kSettingAnswerMs); modem lines and break wait at most kControlAnswerMs
//   and count as set without an answer: ser2net on a pseudo-terminal never
//   answers them.
// - Over tcp:// line settings, modem lines and break change nothing and
//   succeed; GetState reports a rate that is not a plain number.
// - A connection that drops is a device that went away (Gone()).
std::unique_ptr<CommDevice> MakeNetDevice(const std::string& path);

inline constexpr int kConnectMs = 5000;
inline constexpr int kSettingAnswerMs = 1000;
inline constexpr int kControlAnswerMs = 100;

inline constexpr const char* kNetDevicesUnavailable =
    "Serial device servers (rfc2217://, tcp://) are not available in this build";
