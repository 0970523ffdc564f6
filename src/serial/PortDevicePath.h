#pragma once

#include <map>
#include <string>

// The device path of COM n (port index n - 1), first found of:
//   1. the environment variable VELTRIX_COM<n>;
//   2. the device chosen for COM n during this run (ChoosePortDevice);
//   3. value "COM<n>" of section "Ports" in the settings store, if one is
//      installed;
//   4. /dev/ttyS<n - 1> (Windows: \\.\COM<n>).
// Empty values count as unset, except that an empty choice of this run
// means the default device even when the store names another.
std::string ComPortDevicePath(int portIndex);

// The same, with where the path came from.
struct ComPortSource {
    enum class Kind { Environment, Chosen, Stored, Default };
    std::string path;
    Kind kind = Kind::Default;
};
ComPortSource ResolveComPort(int portIndex);

// The name of the environment variable for port index i ("VELTRIX_COM<i+1>").
std::string ComPortEnvironmentName(int portIndex);

// Device choices made during this run ("Options > Port Devices..."): they
// take effect at once and reach the settings store only when the program
// writes its settings, by the same rule as every other setting. Keyed by
// COM number; an empty path goes back to the default device.
void ChoosePortDevice(int comNumber, const std::string& path);
const std::map<int, std::string>& ChosenPortDevices();
void ForgetChosenPortDevices();
// Writes the choices into section "Ports" of the installed settings store.
void StoreChosenPortDevices();
