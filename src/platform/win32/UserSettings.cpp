#include "platform/UserSettings.h"

#include "platform/AppInfo.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/WideText.h"

std::unique_ptr<SettingsStore> OpenUserSettings() {
    return std::make_unique<RegistrySettingsStore>(Widen(std::string("Software\\") + kCompanyKey + "\\" + kAppName));
}
