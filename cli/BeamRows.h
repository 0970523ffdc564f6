#pragma once

#include <string>

#include "model/BeamText.h"

// A grid row's beam string as the tool prints it: with blanking marks and
// without the dialog's closing space.
inline std::string RowText(const CBeamBitScan& scan, const CBlankingMap& map, int row) {
    std::string text = BeamString(scan, map, row, true);
    if (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}
