#pragma once

#include <string>
#include <vector>

#include "model/CPsfRecord.h"

// The fields of a parameter set whose code is in none of the option tables,
// each as its label and the code: "Control Mode 'Z'", "Output #3 source
// 0x01". Such a set came from a damaged or foreign file; no dialog can show
// it, and a controller may do anything with it. Empty when every coded
// field holds a known code.
std::vector<std::string> FieldsOutsideTables(const CPsfRecord& record);
