#pragma once

#include <string>

// The device path of COM n (port index n - 1), first found of:
//   1. the environment variable VELTRIX_COM<n>;
//   2. value "COM<n>" of section "Ports" in the settings store, if one is
//      installed;
//   3. /dev/ttyS<n - 1>.
// Empty values count as unset.
std::string ComPortDevicePath(int portIndex);

// The name of the environment variable for port index i ("VELTRIX_COM<i+1>").
std::string ComPortEnvironmentName(int portIndex);
