#pragma once

#include <ctime>

// The local calendar time of t (the date code, file names, report and trace
// stamps). False, with local zeroed, when the C library cannot convert t.
// One home for the thread-safe call, whose name differs per OS.
bool ToLocalTime(std::time_t t, std::tm& local);
