#include "serial/PortDeviceList.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/WideText.h"
#include "serial/CommDeviceFactory.h"

namespace {

// "COM12" -> 12; 0 for a name that is not a COM port.
int ComNumberOf(const std::wstring& name) {
    if (name.size() < 4 || _wcsnicmp(name.c_str(), L"COM", 3) != 0) return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9' || number > 10000) return 0;
        number = number * 10 + (name[i] - L'0');
    }
    return number;
}

// The COM ports present, as the serial drivers register them.
std::vector<int> PresentComNumbers() {
    std::vector<int> numbers;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return numbers;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[64];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        if (const int number = ComNumberOf(data)) numbers.push_back(number);
    }
    RegCloseKey(key);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

}  // namespace

// Windows keeps no owner or group rules on COM ports: whoever is first may
// open one, and a port another program holds reads "Port in use" at open.
std::string AccessHint(const DeviceOwnership&, const UserIdentity&) { return {}; }

std::vector<PortDevice> ListPortDevices(const std::string&, const std::string&) {
    std::vector<PortDevice> devices;
    for (const int number : PresentComNumbers()) devices.push_back(DescribePortDevice(DefaultComDevicePath(number - 1)));
    return devices;
}

PortDevice DescribePortDevice(const std::string& path) {
    PortDevice device;
    device.path = path;
    device.target = path;
    device.accessible = true;
    return device;
}

bool DeviceAccessDenied(const std::string&) { return false; }
