#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// The measurement a controller computes from one scan for an analysis mode
// code of the parameter set ('A' FBB to 'J' SEG). states[i] is channel i,
// true = blocked. Beams are counted from 1, as the display counts them, so a
// position of 0 means "no such beam":
//   FBB/FBM  first blocked / first made beam
//   LBB/LBM  last blocked / last made beam
//   TBB/TBM  total blocked / total made beams
//   CBB/CBM  longest run of adjacent blocked / made beams
//   TRN      transitions: neighbouring beams in different states
//   SEG      segments: separate runs of blocked beams
// Any other code (including 'K', None) gives 0. Results saturate at 65535.
uint16_t Measure(uint8_t modeCode, const std::vector<bool>& states);

}  // namespace sim
