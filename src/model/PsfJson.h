#pragma once

#include <nlohmann/json.hpp>

#include "model/CPsfRecord.h"

// The parameter set's fields as JSON, shared by psf show and the service
// report: each coded field as {"code", "text"} (text null for a code in no
// table), the transmission flags decoded, the scan count and the sixteen
// outputs. Appended to json in that order, after what the caller put first.
void AppendPsfJson(nlohmann::ordered_json& json, const CPsfRecord& record);
