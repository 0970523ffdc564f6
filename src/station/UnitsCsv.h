#pragma once

#include <string>
#include <vector>

#include "station/UnitRecord.h"

// Units as CSV (RFC 4180: fields with a comma, a quote or a line break are
// quoted, quotes doubled, lines end in CRLF): a header of "id" and the
// column names of the log, then one line per unit, NULL as an empty field.
std::string UnitsCsv(const std::vector<UnitRecord>& units);
