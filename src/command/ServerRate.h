#pragma once

#include <string>

#include "model/CPsfRecord.h"

class CControllerLink;

// Over a raw TCP device server (tcp://) the line keeps the rate the server
// gives it. A parameter set that gives the controller another baud rate
// leaves it answering at a rate the line no longer has: nothing this tool
// sends reaches it any more, not even its own set to put back.

// The warning due before toSend goes out over devicePath, given the
// controller's own set (nullptr: it could not be read); empty when none is
// due (not tcp://, or the same rate).
std::string ServerRateWarning(const std::string& devicePath, const CPsfRecord& toSend,
                              const CPsfRecord* controllers);
// The same, reading the controller's own set first when the device is
// tcp:// (one exchange more there, none elsewhere).
std::string CheckServerRate(CControllerLink& link, const std::string& devicePath,
                            const CPsfRecord& toSend);

// Why a trial of a set with another baud rate is refused over tcp:// (the
// port could not follow it, and the original could not be sent back); empty
// when it may go ahead.
std::string TrialRateRefusal(const std::string& devicePath, const CPsfRecord& trial,
                             const CPsfRecord& controllers);
