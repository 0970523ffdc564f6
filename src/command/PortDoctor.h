#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/PortInventory.h"

// What stands between this user and the controller on one serial device,
// checked in the order a technician would: the device is there, this user
// may open it, no other program holds it, ModemManager and brltty leave it
// alone, and a controller answers. Each problem names the command that
// mends it. Qt-free; the checks that do not apply to the OS are left out.
struct DoctorCheck {
    bool ok = false;
    std::string text;  // what was found
    std::string fix;   // for a problem: the command that mends it

    bool operator==(const DoctorCheck&) const = default;
};

struct DoctorRequest {
    std::string path;
    std::optional<int> com;  // the COM number the path was chosen by
    bool probe = true;       // last, look for a controller on the device
    InventoryRoot root;      // only tests move it
};

// Runs the checks, handing each to report as it is done; true when all
// were OK. A device that is not there ends the checks.
bool ExamineSerialDevice(const DoctorRequest& request, const std::function<void(const DoctorCheck&)>& report);

// USB ids of the adapters brltty takes for braille displays.
bool BrlttyClaims(const PortDetails& details);
