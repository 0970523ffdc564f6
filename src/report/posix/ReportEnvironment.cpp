#include "report/ReportEnvironment.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <fstream>

#include "serial/PortDetails.h"
#include "serial/PortDeviceList.h"

namespace {

std::string FileTypeName(mode_t mode) {
    if (S_ISCHR(mode)) return "character device";
    if (S_ISREG(mode)) return "regular file";
    if (S_ISDIR(mode)) return "directory";
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISSOCK(mode)) return "socket";
    if (S_ISBLK(mode)) return "block device";
    return "other";
}

std::string OsReleaseName() {
    std::ifstream in("/etc/os-release");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        std::string value = line.substr(12);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return value;
    }
    return {};
}


}  // namespace

std::string ModeString(unsigned mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l"
                     : S_ISFIFO(mode) ? "p" : S_ISBLK(mode) ? "b" : S_ISSOCK(mode) ? "s" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) text += (mode & (0400u >> bit)) ? letters[bit] : '-';
    return text;
}

HostSection DescribeHost(const std::string& toolVersion) {
    HostSection host;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char date[64] = "";
    if (localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S %z", &local);
    host.date = date;
    host.toolVersion = toolVersion;
    utsname names{};
    if (uname(&names) == 0) {
        host.system = std::string(names.sysname) + " " + names.release + " " + names.machine;
        host.hostName = names.nodename;
    }
    host.distribution = OsReleaseName();
    if (const passwd* entry = getpwuid(geteuid())) host.userName = entry->pw_name;
    return host;
}

PortSection DescribePort(int comNumber, const std::string& devicePath, const std::string& source) {
    PortSection port;
    port.comNumber = comNumber;
    port.devicePath = devicePath;
    port.source = source;
    if (DescribeDeviceServer(devicePath, port)) return port;
    const PortDevice device = DescribePortDevice(devicePath);
    port.target = device.target;
    port.accessible = device.accessible;
    port.accessHint = device.hint;
    struct stat info {};
    if (::stat(devicePath.c_str(), &info) == 0) {
        port.exists = true;
        port.type = FileTypeName(info.st_mode);
        port.mode = ModeString(info.st_mode);
        const passwd* owner = getpwuid(info.st_uid);
        const group* group = getgrgid(info.st_gid);
        port.owner = owner ? owner->pw_name : std::to_string(info.st_uid);
        port.group = group ? group->gr_name : std::to_string(info.st_gid);
        for (const PortHolder& holder : ProcessesHoldingDevice(devicePath))
            port.holders.push_back(std::to_string(holder.pid) + " " + holder.name);
    }
    return port;
}
