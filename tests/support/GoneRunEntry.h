#pragma once

#include <string>

#include "command/RecoveryEntry.h"

// A journal entry as a run that has ended leaves it: written by "another
// process" that had this process's id (same host and boot, another start).
inline RecoveryEntry GoneRunEntry(const std::string& device, int comNumber, const std::string& command) {
    RecoveryEntry entry;
    entry.device = device;
    entry.resolved = device;
    entry.comNumber = comNumber;
    entry.controllerId = 'A';
    entry.command = command;
    entry.started = 1796638920;
    entry.writer = CurrentProcessIdentity();
    entry.writer.startTicks += 1;
    return entry;
}
