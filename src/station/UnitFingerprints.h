#pragma once

#include <string>

#include "model/CBlankingMap.h"
#include "model/CPsfRecord.h"

// Short signatures of what a unit holds, for its record: eight capital hex
// digits of SHA-256 over bytes 2 to 153 of a set, and over a blanking map's
// channel count and bytes.
std::string PsfFingerprint(const CPsfRecord& psf);
std::string BlankingFingerprint(const CBlankingMap& map);
