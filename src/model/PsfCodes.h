#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/CPsfRecord.h"

// A field of a parameter set that the controller does not define: a code in
// none of the option tables (its list shows no selection), or a scan count
// outside 1 to 9. Such a set came from a damaged or foreign file; no dialog
// can show it, and a controller may do anything with it.
struct UndefinedPsfField {
    enum class Kind { UnknownCode, ScanCountOutOfRange };
    Kind kind;
    std::string label;      // as the dialogs name it: "Control Mode Selection", "Output #3 source"
    std::string shortName;  // as messages of the command line name it: "Control Mode"
    uint8_t value;
};

// Every undefined field of the record, in the order of the image.
std::vector<UndefinedPsfField> UndefinedPsfFields(const CPsfRecord& record);

// One sentence naming the field and what it holds: "Control Mode Selection
// holds code 'o', which this program does not know."
std::string DescribeUndefinedField(const UndefinedPsfField& field);

// The question asked before such a set goes to a controller, one sentence per
// field and the question once; empty when every field is defined.
std::string UndefinedSetQuestion(const CPsfRecord& record);

// What is said after such a set was loaded from a file; empty when every
// field is defined.
std::string UndefinedSetLoadedNote(const CPsfRecord& record);

// The fields whose code is in none of the option tables, each as its short
// name and the code: "Control Mode 'Z'", "Output #3 source 0x01". Empty when
// every coded field holds a known code.
std::vector<std::string> FieldsOutsideTables(const CPsfRecord& record);
