#include "serial/PortDeviceList.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "serial/PortDevicePath.h"

namespace fs = std::filesystem;

namespace {

UserIdentity CurrentUser() {
    UserIdentity user;
    user.uid = geteuid();
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        user.sessionGroups.resize(static_cast<size_t>(count));
        // The list may change between the two calls; keep what the second one filled.
        const int filled = getgroups(count, user.sessionGroups.data());
        user.sessionGroups.resize(static_cast<size_t>(std::max(filled, 0)));
    }
    user.sessionGroups.push_back(getegid());
    if (const passwd* entry = getpwuid(user.uid)) {
        int n = 64;
        std::vector<gid_t> groups(static_cast<size_t>(n));
        if (getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &n) < 0) {
            groups.resize(static_cast<size_t>(n));
            getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &n);
        }
        groups.resize(static_cast<size_t>(std::max(n, 0)));
        user.memberGroups = groups;
    }
    return user;
}

PortDevice Describe(const fs::path& path, const UserIdentity& user) {
    PortDevice device;
    device.path = path.string();
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    device.target = error ? device.path : target.string();
    device.accessible = access(device.path.c_str(), R_OK | W_OK) == 0;

    struct stat info {};
    if (stat(device.path.c_str(), &info) == 0) {
        DeviceOwnership owner;
        owner.mode = info.st_mode;
        owner.ownerUid = info.st_uid;
        owner.ownerGid = info.st_gid;
        if (const group* entry = getgrgid(info.st_gid)) owner.groupName = entry->gr_name;
        if (const passwd* entry = getpwuid(info.st_uid)) owner.ownerName = entry->pw_name;
        if (owner.groupName.empty()) owner.groupName = std::to_string(info.st_gid);
        if (owner.ownerName.empty()) owner.ownerName = std::to_string(info.st_uid);
        device.group = owner.groupName;
        if (!device.accessible) device.hint = AccessHint(owner, user);
    } else if (!device.accessible) {
        device.hint = "The device cannot be examined (a broken link?).";
    }
    return device;
}

bool Contains(const std::vector<gid_t>& groups, gid_t gid) {
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

}  // namespace

std::string AccessHint(const DeviceOwnership& device, const UserIdentity& user) {
    const bool groupMayUse = (device.mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!groupMayUse) {
        if (user.uid == device.ownerUid)
            return "The device denies its owner read and write access (mode " +
                   std::to_string((device.mode >> 6) & 7) + std::to_string((device.mode >> 3) & 7) +
                   std::to_string(device.mode & 7) + ").";
        return "Only " + device.ownerName +
               " may open it: a udev rule must give a group read and write access, e.g. "
               "MODE=\"0660\", GROUP=\"dialout\".";
    }
    const std::string& group = device.groupName;
    if (!Contains(user.memberGroups, device.ownerGid))
        return "Join the group '" + group + "': sudo usermod -aG " + group +
               " $USER, then log out and log in again.";
    if (!Contains(user.sessionGroups, device.ownerGid))
        return "You are in the group '" + group +
               "' but this session started before you joined it: log out and log in again.";
    return "Access is refused although the group '" + group +
           "' may use the device (an access control list or security module?).";
}

PortDevice DescribePortDevice(const std::string& path) { return Describe(path, CurrentUser()); }

bool DeviceAccessDenied(const std::string& path) {
    return access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}
