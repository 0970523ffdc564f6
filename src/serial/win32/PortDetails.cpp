#include "serial/PortDetails.h"

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

std::vector<std::string> PresentSerialDevices(const InventoryRoot&) {
    std::vector<std::string> devices;
    for (const int number : PresentComNumbers()) devices.push_back(DefaultComDevicePath(number - 1));
    return devices;
}

PortDetails ReadPortDetails(const std::string& path, const InventoryRoot& root) {
    PortDetails details;
    for (const std::string& present : PresentSerialDevices(root))
        if (_stricmp(present.c_str(), path.c_str()) == 0) details.present = true;
    details.description = details.present ? "COM port" : "not present";
    return details;
}

// Windows does not tell which process holds a COM port, and has no services
// that take adapters away the way ModemManager and brltty do on Linux.
std::vector<PortHolder> ProcessesHoldingDevice(const std::string&, const InventoryRoot&) { return {}; }

InterferingServices FindInterferingServices(const InventoryRoot&) { return {}; }
