#pragma once

#include <cstdint>
#include <string>

// Who wrote something, precisely enough to tell later whether that process
// still runs: a process id alone may have been given to another program
// since, so its start time and the boot it belongs to come with it.
struct ProcessIdentity {
    std::string host;       // the computer's name
    std::string bootId;     // the kernel's boot id; empty where there is none (Windows)
    long pid = 0;
    // The process's start: clock ticks after boot on Linux, the creation
    // time on Windows; 0 if unknown.
    uint64_t startTicks = 0;

    bool operator==(const ProcessIdentity&) const = default;
};

ProcessIdentity CurrentProcessIdentity();
// The identity of another process of this host, as it runs now (pid 0 when
// there is no such process).
ProcessIdentity ProcessIdentityOf(long pid);

enum class ProcessState { Running, Gone, OtherHost };
// Whether the process the identity describes still runs on this host.
ProcessState StateOf(const ProcessIdentity& identity);

// The name of the user this process runs as ("anna"); empty when the system
// does not say.
std::string CurrentUserName();
