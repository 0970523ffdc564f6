// Accept of a beam scan: the first two input bytes give the channel count
// (0 to 1023), the rest is the reply.
#include <climits>
#include <cstdint>

#include "model/ScanReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int channels = (data[0] << 8 | data[1]) & 0x3FF;
    CBeamBitScan scan(channels);
    int count = size - 2 > INT_MAX ? INT_MAX : static_cast<int>(size - 2);
    int accepted = scan.Accept(data + 2, count);
    const BeamStatistics& s = scan.Statistics();
    if (!accepted && !(s == BeamStatistics())) __builtin_trap();
    if (accepted) {
        if (s.blockedCount + s.madeCount != channels) __builtin_trap();
        int blocked = 0;
        for (int i = -8; i < channels + 8; ++i) blocked += scan.BeamState(i);
        if (blocked != s.blockedCount) __builtin_trap();
    }
    CBeamBitScan copy(8);
    copy = scan;
    if (copy != scan) __builtin_trap();
    return 0;
}
