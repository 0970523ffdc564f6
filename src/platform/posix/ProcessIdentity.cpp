#include "platform/ProcessIdentity.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>

namespace {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string BootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

// Field 22 of /proc/<pid>/stat; the command name in field 2 may hold blanks
// and parentheses, so counting starts after its last ')'.
uint64_t StartTicks(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22 && fields >> field; ++n) {
        if (n == 22) return std::strtoull(field.c_str(), nullptr, 10);
    }
    return 0;
}

}  // namespace

ProcessIdentity CurrentProcessIdentity() { return ProcessIdentityOf(static_cast<long>(getpid())); }

ProcessIdentity ProcessIdentityOf(long pid) {
    ProcessIdentity identity;
    identity.host = HostName();
    identity.bootId = BootId();
    if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) return identity;
    identity.pid = pid;
    identity.startTicks = StartTicks(pid);
    return identity;
}

ProcessState StateOf(const ProcessIdentity& identity) {
    const ProcessIdentity now = ProcessIdentityOf(identity.pid);
    if (identity.host != now.host) return ProcessState::OtherHost;
    if (identity.bootId != now.bootId) return ProcessState::Gone;  // rebooted since
    if (now.pid == 0) return ProcessState::Gone;
    // Where start times are known, a different one is another program that
    // got the same id.
    if (identity.startTicks != 0 && now.startTicks != 0 && identity.startTicks != now.startTicks)
        return ProcessState::Gone;
    return ProcessState::Running;
}

std::string CurrentUserName() {
    // The account, not $USER, which any caller may set.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return {};
}
