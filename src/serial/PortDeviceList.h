#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The serial devices a COM number can be mapped to, and whether the current
// user may open them (posix/: device nodes and their owners; win32/: the COM
// ports the system lists, which carry no access rules of their own).

// POSIX modes and ids, in types every OS has (the same types on Linux).
using DeviceMode = uint32_t;
using UserId = uint32_t;
using GroupId = uint32_t;

struct PortDevice {
    std::string path;    // as listed, e.g. /dev/serial/by-id/usb-FTDI_...-port0
    std::string target;  // the device it resolves to; equals path for a device node
    bool accessible = false;
    std::string group;  // the group that owns the device
    std::string hint;   // how to get access; empty when accessible
};

// One device and whether the current user may open it (the devices present
// are listed by PresentSerialDevices, PortDetails.h).
PortDevice DescribePortDevice(const std::string& path);
// Whether the device exists and its permissions keep this user out (the
// port layer calls that a "General Error"). Never on Windows, where a COM
// port has no permissions of its own.
bool DeviceAccessDenied(const std::string& path);

// What decides the access hint, gathered by ListPortDevices; separate so
// the rules can be checked without owning real devices.
struct DeviceOwnership {
    DeviceMode mode = 0;
    UserId ownerUid = 0;
    GroupId ownerGid = 0;
    std::string ownerName;
    std::string groupName;
};

struct UserIdentity {
    UserId uid = 0;
    std::vector<GroupId> sessionGroups;  // what this process runs with
    std::vector<GroupId> memberGroups;   // what the group database lists
};

std::string AccessHint(const DeviceOwnership& device, const UserIdentity& user);

// The device COM n opens, and why: the VELTRIX_COM<n> environment variable,
// the stored choice in section "Ports", value "COM<n>", else /dev/ttyS<n-1>.
struct ComMapping {
    enum class Source { Environment, Stored, Default };
    std::string path;
    Source source = Source::Default;
};
ComMapping CurrentComMapping(int comNumber);
