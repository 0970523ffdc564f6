#pragma once

#include <string>
#include <vector>

#include "model/CPsfRecord.h"

// A parameter set field by field, as the command line names and spells it:
// id, baud, control, scanning, meas1, meas2 (the option tables' texts),
// transmission (none, meas, all), type (ascii, binary), suppress-clear,
// suppress-header, compress (on, off), scans (1 to 9) and output.1 to
// output.16 (SOURCE,A,B,C,D with SOURCE one of off, meas1, meas2, meas1-inv,
// meas2-inv, alarm, trigger). Bytes 0 and 1 (the addressed id and the
// command letter) are not fields: they say where a set travelled, not what
// it is.

struct PsfField {
    std::string name;
    std::string text;
    std::string label;  // as the PSF configuration dialog calls it: "Baud Rate"
};

// Every field of the record with its text, in the order above. A code that
// is in no option table reads "unknown 0xNN".
std::vector<PsfField> PsfFieldsOf(const CPsfRecord& record);

struct PsfDifference {
    std::string field;
    std::string a;
    std::string b;
    std::string label;
};

// The fields whose texts differ, in field order.
std::vector<PsfDifference> DiffPsf(const CPsfRecord& a, const CPsfRecord& b);

// Applies KEY=VALUE settings (values case-insensitive) with the rules of the
// PSF configuration dialog: Edge scanning makes Meas 1 LBB and Meas 2 None,
// transmission none clears the options (naming an option with it is an
// error), alarm and trigger only on output 16, and an output set here must
// keep its values consistent for its source. On false, error says what was
// refused and the record is unchanged.
bool ApplyPsfSettings(CPsfRecord& record, const std::vector<std::string>& settings,
                      std::string& error);
