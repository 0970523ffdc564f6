#pragma once

#include <ctime>
#include <string>

// The local calendar time of t (the date code, file names, report and trace
// stamps). False, with local zeroed, when the C library cannot convert t.
// One home for the thread-safe call, whose name differs per OS.
bool ToLocalTime(std::time_t t, std::tm& local);

// t as ISO 8601 local time with its offset from UTC:
// "2026-12-07T10:02:03+01:00". Empty when t cannot be converted.
std::string IsoLocalTime(std::time_t t);

// t in UTC for file names that sort by time: "20261207T090203Z".
std::string UtcStamp(std::time_t t);
// The time such a stamp stands for; false when text does not start with one.
bool ParseUtcStamp(const std::string& text, std::time_t& t);
