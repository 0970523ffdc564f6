#pragma once

#include "model/CPsfRecord.h"

// The parameter set a controller works with while its bars are aligned: its
// own, with every scan answered in binary beam bits on the host's request
// (All Mode, Binary, no suppressed or compressed data, Host control,
// Straight scanning). Id, baud, measurement modes, scan count and outputs
// stay as they were.
CPsfRecord MakeAlignmentPsf(const CPsfRecord& original);
