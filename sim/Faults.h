#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Faults the simulated controller can be told to commit, named as on the
// command line of veltrix-sim (--fault, repeatable):
//   silent         answer nothing
//   every:N        answer only every Nth request (probes and scans included)
//   bad-checksum   replies that carry a checksum ('E', 'Y') carry a wrong one
//   wrong-id       framed replies and scan replies carry another id
//   wrong-letter   framed replies carry another reply letter
//   truncate       replies lack their last byte
//   overlong       replies carry one byte too many
//   delay:MS       every reply, the probe's too, leaves MS milliseconds late
//   hangup:N       the line goes dead when the host sends anything after the
//                  Nth request was answered (that reply still arrives whole)
//   fail-first     the first request of each kind (probe, scan, each letter)
//                  is dropped
//   lost-ack:N     the Nth request that is acknowledged ('C', 'W', 'X') is
//                  carried out, but its acknowledgement never leaves
//   late-scan:MS   scan replies leave MS milliseconds late (longer than the
//                  host waits, they arrive while it does something else)
//   flip:L         one payload byte of every reply to the request letter L
//                  is changed, a different one each time
//   flip-once:L    the same for the first reply to L only
//   bad-store:L    a write with the letter L ('C', 'W' or 'X') is acknowledged
//                  but stored with one byte changed (the scan count; the
//                  blanking byte of channels 1 to 8; the part number's low
//                  byte)
//   no-store:L     a write with the letter L is acknowledged and not stored
// The reply-changing faults spare the probe reply, so that a command gets past
// its Connect and meets the fault in its own reply.
struct FaultSet {
    bool silent = false;
    int everyN = 0;
    bool badChecksum = false;
    bool wrongId = false;
    bool wrongLetter = false;
    bool truncate = false;
    bool overlong = false;
    uint32_t delayMs = 0;
    int hangupAfter = 0;
    bool failFirst = false;
    int lostAck = 0;
    uint32_t lateScanMs = 0;
    char flipLetter = 0;
    bool flipOnce = false;
    std::string badStore;  // write letters
    std::string noStore;

    // Adds one fault from its command-line spelling; false with a message
    // in error when the spelling is not understood.
    bool Add(const std::string& spec, std::string& error);
    bool Any() const;
};

}  // namespace sim
