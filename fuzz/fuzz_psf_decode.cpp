// Decode of a parameter-set reply frame: any 158 bytes either leave the
// record alone or give a record that encodes back to the same parameter set.
#include <cstdint>
#include <cstring>

#include "model/CPsfRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < static_cast<size_t>(kPsfFrameLength)) return 0;
    CPsfRecord record;
    const CPsfRecord before = record;
    if (!record.Decode(data)) {
        if (!(record == before)) __builtin_trap();
        return 0;
    }
    uint8_t frame[kPsfFrameLength];
    record.Encode(frame, data[1]);
    if (std::memcmp(frame + 1, data + 1, 1) != 0 || frame[2] != 'C' ||
        std::memcmp(frame + 3, data + 3, kPsfRecordSize - 2) != 0)
        __builtin_trap();

    DiscreteOutput outputs[kDiscreteOutputCount];
    record.GetOutputs(outputs);
    CPsfRecord copy = record;
    copy.SetOutputs(outputs);
    if (!(copy == record)) __builtin_trap();

    record.GetTransmissionMode();
    LookupControllerId(record.GetControllerId());
    LookupMeasurementMode(record.GetMeasMode(1));
    return 0;
}
