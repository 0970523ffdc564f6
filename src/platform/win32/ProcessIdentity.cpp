#include "platform/ProcessIdentity.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace {

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return {};
    return Narrow(std::wstring(name, size));
}

// The process's creation time in 100 ns units since 1601: unique enough with
// the pid, and it tells a reused pid apart. Windows has no boot id; the
// creation time already differs after a reboot.
uint64_t CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

ProcessIdentity CurrentProcessIdentity() {
    ProcessIdentity identity;
    identity.host = HostName();
    identity.pid = static_cast<long>(GetCurrentProcessId());
    identity.startTicks = CreationTime(GetCurrentProcess());
    return identity;
}

ProcessIdentity ProcessIdentityOf(long pid) {
    ProcessIdentity identity;
    identity.host = HostName();
    if (pid <= 0) return identity;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) {
        // A process of another user still exists; only a missing one is gone.
        if (GetLastError() == ERROR_ACCESS_DENIED) identity.pid = pid;
        return identity;
    }
    DWORD exitCode = 0;
    // An ended process whose handle someone still holds is gone as well.
    if (GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE) {
        identity.pid = pid;
        identity.startTicks = CreationTime(process);
    }
    CloseHandle(process);
    return identity;
}

ProcessState StateOf(const ProcessIdentity& identity) {
    const ProcessIdentity now = ProcessIdentityOf(identity.pid);
    if (identity.host != now.host) return ProcessState::OtherHost;
    if (now.pid == 0) return ProcessState::Gone;
    if (identity.startTicks != 0 && now.startTicks != 0 && identity.startTicks != now.startTicks)
        return ProcessState::Gone;
    return ProcessState::Running;
}

std::string CurrentUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) return {};
    return Narrow(name);
}
