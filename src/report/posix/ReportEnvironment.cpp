#include "report/ReportEnvironment.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>

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

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
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
        port.holders = ProcessesHolding(devicePath);
    }
    return port;
}

std::vector<std::string> ProcessesHolding(const std::string& path, const std::string& procRoot) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target = fs::canonical(path, error);
    if (error) return {};
    const std::string self = std::to_string(::getpid());
    std::vector<std::string> holders;
    for (const fs::directory_entry& process : fs::directory_iterator(procRoot, error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
        std::error_code fdError;
        for (const fs::directory_entry& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError) == target && !linkError) {
                holders.push_back(pid + " " + FirstLine((process.path() / "comm").string()));
                break;
            }
        }
    }
    return holders;
}
