#pragma once

#include <ostream>
#include <vector>

#include "JsonOutput.h"
#include "model/PsfFields.h"

// How psf set and psf diff show differing fields: one "field: a -> b" line
// each, or a JSON array of {"field", "a", "b"}.
void PrintDifferences(std::ostream& out, const std::vector<PsfDifference>& differences);
Json DifferencesJson(const std::vector<PsfDifference>& differences);
