// Accept of a measurement scan: the first input byte picks the selector,
// the rest is the reply.
#include <climits>
#include <cstdint>

#include "model/ScanReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    CMeasurementScan scan(static_cast<int8_t>(data[0]) % 4);
    const uint16_t value2 = scan.Value2();
    int count = size - 1 > INT_MAX ? INT_MAX : static_cast<int>(size - 1);
    int accepted = scan.Accept(data + 1, count);
    if (accepted && count != scan.ExpectedLength()) __builtin_trap();
    if (!accepted && (scan.Value1() != 0 || scan.Value2() != value2)) __builtin_trap();

    CMeasurementScan other(2);
    other = scan;
    if (other != scan) __builtin_trap();
    other.Accept(data + 1, count);
    return 0;
}
