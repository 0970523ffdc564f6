#include "serial/PortDevicePath.h"

#include <cstdlib>
#include <optional>

#include "platform/SettingsStore.h"
#include "serial/CommDeviceFactory.h"
#include "serial/PortDeviceList.h"

namespace {

std::map<int, std::string>& Choices() {
    static std::map<int, std::string> choices;
    return choices;
}

std::string KeyOf(int comNumber) { return "COM" + std::to_string(comNumber); }

}  // namespace

std::string ComPortEnvironmentName(int portIndex) {
    return "VELTRIX_COM" + std::to_string(portIndex + 1);
}

ComPortSource ResolveComPort(int portIndex) {
    using Kind = ComPortSource::Kind;
    if (const char* path = std::getenv(ComPortEnvironmentName(portIndex).c_str());
        path != nullptr && *path != '\0') {
        return {path, Kind::Environment};
    }
    const std::string fallback = DefaultComDevicePath(portIndex);
    if (const auto chosen = Choices().find(portIndex + 1); chosen != Choices().end())
        return chosen->second.empty() ? ComPortSource{fallback, Kind::Default}
                                      : ComPortSource{chosen->second, Kind::Chosen};
    if (SettingsStore* settings = Settings()) {
        std::optional<std::string> path = settings->GetString("Ports", KeyOf(portIndex + 1));
        if (path && !path->empty()) return {*path, Kind::Stored};
    }
    return {fallback, Kind::Default};
}

std::string ComPortDevicePath(int portIndex) { return ResolveComPort(portIndex).path; }

void ChoosePortDevice(int comNumber, const std::string& path) { Choices()[comNumber] = path; }

const std::map<int, std::string>& ChosenPortDevices() { return Choices(); }

void ForgetChosenPortDevices() { Choices().clear(); }

void StoreChosenPortDevices() {
    SettingsStore* settings = Settings();
    if (!settings) return;
    for (const auto& [comNumber, path] : Choices()) settings->SetString("Ports", KeyOf(comNumber), path);
}

ComMapping CurrentComMapping(int comNumber) {
    const ComPortSource source = ResolveComPort(comNumber - 1);
    switch (source.kind) {
        case ComPortSource::Kind::Environment:
            return {source.path, ComMapping::Source::Environment};
        case ComPortSource::Kind::Chosen:
        case ComPortSource::Kind::Stored:
            return {source.path, ComMapping::Source::Stored};
        case ComPortSource::Kind::Default:
            break;
    }
    return {source.path, ComMapping::Source::Default};
}
