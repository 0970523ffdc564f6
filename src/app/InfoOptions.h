#pragma once

#include <optional>
#include <ostream>

// --help and --version of the desktop program, answered before Qt starts so
// that they work without a display. Returns the exit status when one of them
// was asked for (1 when the text could not be written), nothing otherwise;
// every other argument is left to Qt.
std::optional<int> AnswerInfoOptions(int argc, char** argv, std::ostream& out);
