#include "report/ReportEnvironment.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

#include "platform/LocalTime.h"
#include "platform/win32/WideText.h"
#include "serial/PortDeviceList.h"
#include "serial/PortDetails.h"

namespace {

// "+0100": what strftime's %z gives on POSIX (Windows' gives the zone's name).
std::string UtcOffset(std::time_t now) {
    std::tm local{};
    std::tm utc{};
    if (!ToLocalTime(now, local) || gmtime_s(&utc, &now) != 0) return {};
    utc.tm_isdst = local.tm_isdst;
    const long minutes = static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)) / 60);
    char text[8];
    std::snprintf(text, sizeof text, "%c%02ld%02ld", minutes < 0 ? '-' : '+', std::labs(minutes) / 60,
                  std::labs(minutes) % 60);
    return text;
}

// "Windows 10.0.19045 x86_64", from the kernel's own version (the version
// functions of the API answer what the program's manifest claims).
std::string SystemName() {
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll ? reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    std::string name = "Windows";
    if (getVersion && getVersion(&version) == 0)
        name += " " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
                std::to_string(version.dwBuildNumber);
    return name + " x86_64";
}

}  // namespace

std::string ModeString(unsigned mode) {
    // The POSIX file-type bits (S_IFMT), which Windows has no macros for.
    const unsigned type = mode & 0170000u;
    std::string text = type == 0020000u   ? "c"
                       : type == 0040000u ? "d"
                       : type == 0120000u ? "l"
                       : type == 0010000u ? "p"
                       : type == 0060000u ? "b"
                       : type == 0140000u ? "s"
                                          : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) text += (mode & (0400u >> bit)) ? letters[bit] : '-';
    return text;
}

HostSection DescribeHost(const std::string& toolVersion) {
    HostSection host;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char date[64] = "";
    if (ToLocalTime(now, local)) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    host.date = std::string(date) + " " + UtcOffset(now);
    host.toolVersion = toolVersion;
    host.system = SystemName();
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &size)) host.hostName = Narrow(std::wstring(name, size));
    host.userName = EnvironmentText(L"USERNAME");
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
    // A COM port has no file type, mode or owners to show; whether it is
    // there is known from the system's list of ports.
    if (ReadPortDetails(devicePath).present) {
        port.exists = true;
        port.type = "COM port";
    }
    return port;
}
