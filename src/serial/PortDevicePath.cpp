#include "serial/PortDevicePath.h"

#include <cstdlib>
#include <optional>

#include "platform/SettingsStore.h"

std::string ComPortEnvironmentName(int portIndex) {
    return "VELTRIX_COM" + std::to_string(portIndex + 1);
}

std::string ComPortDevicePath(int portIndex) {
    if (const char* path = std::getenv(ComPortEnvironmentName(portIndex).c_str());
        path != nullptr && *path != '\0') {
        return path;
    }
    if (SettingsStore* settings = Settings()) {
        std::optional<std::string> path =
            settings->GetString("Ports", "COM" + std::to_string(portIndex + 1));
        if (path && !path->empty()) return *path;
    }
    return "/dev/ttyS" + std::to_string(portIndex);
}
