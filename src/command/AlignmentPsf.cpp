#include "command/AlignmentPsf.h"

CPsfRecord MakeAlignmentPsf(const CPsfRecord& original) {
    CPsfRecord working = original;
    working.SetTransmissionMode(SerialTransmissionMode::AllMode);
    working.SetBinary(true);
    working.SetSuppressClearData(false);
    working.SetSuppressHeader(false);
    working.SetCompressData(false);
    working.SetControlMode('c');     // Host
    working.SetScanningMethod('a');  // Straight
    return working;
}
