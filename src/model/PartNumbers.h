#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/ProfileFile.h"

// The date code YYWW for a local calendar date (years since 1900, less 100
// from 2000 on; weeks in blocks of seven days from 1 January).
std::string MakeDateCode(const std::tm& localDate);

// The six-character part numbers of section "PartNumbers", in entry order.
// Every other value is left out with one warning through the UI services.
std::vector<std::string> FillPartNumbers(const ProfileFile& profile);

// True when the profile has at least one entry in section "PartNumbers".
bool HasPartNumbers(const ProfileFile& profile);
