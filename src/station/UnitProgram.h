#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "station/Recipe.h"
#include "station/UnitAccess.h"
#include "station/UnitRecord.h"

// One unit through the station: check it, write the recipe into it, each
// write read back and compared (and what it replaced kept in the change
// history). The steps in their order; a failed unit's record names the step
// it reached.
enum class UnitStep {
    Diagnostics,      // operational, the recipe's layout and firmware
    KeepOriginal,     // the unit's own parameter set, read to be kept
    WritePsf,
    WriteBlanking,
    WritePartNumber,
    Done,
};

// "diagnostics", "keep original", "write parameter set", "write blanking",
// "write part number", "done": the words a record's reason starts with.
const char* UnitStepName(UnitStep step);

// What a unit is programmed with beyond the recipe.
struct UnitContext {
    std::string station;       // this computer's name
    std::string device;
    std::string operatorName;
    uint32_t dateCode = 0;     // today's, used when the recipe writes one
};

struct UnitOutcome {
    UnitRecord record;
    UnitStep reached = UnitStep::Diagnostics;
    // Something was written but not all of it: the unit holds a mix of its
    // own settings and the recipe's.
    bool halfWritten = false;
    // The operator stopped the station before the unit was done.
    bool stopped = false;
    // A write that was made but whose audit line could not be appended.
    std::string recordsProblem;
};

// Asked before each step after the diagnostics (for progress, and to stop):
// false ends the unit there, as far as it got, and its record says so.
using StepGate = std::function<bool(UnitStep next)>;

// Programs the unit a probe has just found.
UnitOutcome ProgramUnit(const StationRecipe& recipe, const UnitContext& context, UnitAccess& unit,
                        const StepGate& beforeStep);

// The recipe's blanking as the controller's block carries it.
CBlankingMap BlockBlanking(const CBlankingMap& fileMap);
